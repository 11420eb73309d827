#include "values/memo_image.h"

#include <new>

#include "core/error_object.h"
#include "core/simple_buffer.h"
#include "core/zstring.h"
#include "platform/disk_file.h"
#include "values/any.h"

namespace {

// The first image-object version that has the byte operation.
constexpr int kFirstVersionWithBytes = 8;

void ReplaceText(wchar_t** ppsz, const wchar_t* pszText) {
  // The copy first: pszText may be the text held.
  wchar_t* pszCopy = pszText != nullptr ? STR_pszCreate(pszText) : nullptr;
  STR_Delete(*ppsz);
  *ppsz = pszCopy;
}

bool NotEmpty(const wchar_t* psz) { return psz != nullptr && psz[0] != 0; }

}  // namespace

CVXMemoImage::CVXMemoImage() = default;

CVXMemoImage::~CVXMemoImage() {
  STR_Delete(m_pszNomImage);
  STR_Delete(m_pszNomTable);
  STR_Delete(m_pszNomRubrique);
  STR_Delete(m_pszNomTableNumEnr);
  STR_Delete(m_pszNomRubriqueNumEnr);
  if (m_piImage != nullptr) m_piImage->vdwRelease();
  if (m_piSource != nullptr) m_piSource->vdwRelease();
}

void CVXMemoImage::SetNomImage(const wchar_t* pszName) { ReplaceText(&m_pszNomImage, pszName); }
void CVXMemoImage::SetNomTable(const wchar_t* pszName) { ReplaceText(&m_pszNomTable, pszName); }
void CVXMemoImage::SetNomRubrique(const wchar_t* pszName) { ReplaceText(&m_pszNomRubrique, pszName); }
void CVXMemoImage::SetChamp(void* pChamp) { m_pChamp = pChamp; }
void CVXMemoImage::SetCallback(void* pCallback) { m_pCallback = pCallback; }
void CVXMemoImage::SetContexteZB(void* pContexte) { m_pContexteZB = pContexte; }
void CVXMemoImage::SetNumEnr(long long llNumEnr) { m_llNumEnr = llNumEnr; }
void CVXMemoImage::SetNomTableNumEnr(const wchar_t* pszName) { ReplaceText(&m_pszNomTableNumEnr, pszName); }
void CVXMemoImage::SetNomRubriqueNumEnr(const wchar_t* pszName) {
  ReplaceText(&m_pszNomRubriqueNumEnr, pszName);
}

void CVXMemoImage::SetBinData(const CVXBIN& clBin) {
  m_clBin = clBin;  // shares the buffer
  m_nFlags |= kFlagBytes;
}

void CVXMemoImage::SetCallbackSauveVXBin(void* pfn) { m_pfnSauveVXBin = reinterpret_cast<PFNSAUVEVXBIN>(pfn); }

void CVXMemoImage::SetCallbackGetSourceImage(void* pfn) {
  m_pfnGetSourceImage = reinterpret_cast<PFNGETSOURCEIMAGE>(pfn);
}

void CVXMemoImage::SetVXImage(IImageVX* piImage) {
  // Take before giving back: the image held may be the one given.
  if (piImage != nullptr) piImage->vdwAddRef();
  IImageVX* piOld = m_piImage;
  m_piImage = piImage;
  if (piOld != nullptr) piOld->vdwRelease();
  if (piImage != nullptr) {
    m_nFlags |= kFlagImageObject;
  } else {
    m_nFlags &= ~kFlagImageObject;
  }
}

void CVXMemoImage::SetSourceBinaire(ISourceBinaire* piSource) {
  if (piSource != nullptr) piSource->vdwAddRef();
  ISourceBinaire* piOld = m_piSource;
  m_piSource = piSource;
  if (piOld != nullptr) piOld->vdwRelease();
  if (piSource != nullptr) {
    m_nFlags |= kFlagByteSource;
  } else {
    m_nFlags &= ~kFlagByteSource;
  }
}

void CVXMemoImage::SetLoadType(eLOADTYPE eType) {
  switch (eType) {
    case eLT_DEFAUT:
    case eLT_SANS_MARQUE:
      m_nFlags &= ~kFlagLoadMark15;
      break;
    case eLT_MARQUE:
      m_nFlags |= kFlagLoadMark15;
      break;
    case eLT_IMAGE:
      m_nFlags = (m_nFlags | kFlagImageObject) & ~kFlagLoadMark15;
      break;
    case eLT_CHARGEE:
      m_nFlags |= kFlagLoadMark6;
      break;
    case eLT_SOURCE:
      m_nFlags = (m_nFlags | kFlagByteSource) & ~kFlagLoadMark15;
      break;
    default:
      break;
  }
}

bool CVXMemoImage::_bImageBytes(CVXBIN* pclBin) {
  return m_piImage != nullptr && m_piImage->vnGetVersion() >= kFirstVersionWithBytes &&
         m_piImage->vbGetBinData(pclBin) != 0;
}

CVXBIN* CVXMemoImage::pclGetBinDataEx() {
  if ((m_nFlags & kFlagBytes) == 0) {
    if (m_pfnSauveVXBin != nullptr) {
      m_pfnSauveVXBin(this);
    } else if (m_piImage != nullptr && m_piImage->vnGetVersion() >= kFirstVersionWithBytes) {
      m_piImage->vbGetBinData(&m_clBin);
    } else if (m_piSource != nullptr) {
      m_piSource->vbGetBinData(&m_clBin);
    }
  }
  return &m_clBin;
}

IImageVX* CVXMemoImage::piGetSourceImage() {
  return m_pfnGetSourceImage != nullptr ? m_pfnGetSourceImage(this) : nullptr;
}

void CVXMemoImage::CopieFrom(const CVXMemoImage& other) {
  if (&other == this) return;  // every setter below would free what it then copies
  SetNomImage(other.m_pszNomImage);
  SetNomTable(other.m_pszNomTable);
  SetNomRubrique(other.m_pszNomRubrique);
  SetChamp(other.m_pChamp);
  SetCallback(other.m_pCallback);
  SetContexteZB(other.m_pContexteZB);
  SetNumEnr(other.m_llNumEnr);
  SetNomTableNumEnr(other.m_pszNomTableNumEnr);
  SetNomRubriqueNumEnr(other.m_pszNomRubriqueNumEnr);
  SetBinData(other.m_clBin);
  SetCallbackSauveVXBin(reinterpret_cast<void*>(other.m_pfnSauveVXBin));
  SetCallbackGetSourceImage(reinterpret_cast<void*>(other.m_pfnGetSourceImage));
  SetVXImage(other.m_piImage);
  SetSourceBinaire(other.m_piSource);
  m_nFlags = other.m_nFlags;
}

int CVXMemoImage::bConvertToBIN(IImageLoader* piLoader) {
  if (m_nFlags & kFlagBytes) return 1;
  if (NotEmpty(m_pszNomImage)) {
    if (piLoader != nullptr) {
      CSimpleBuffer clBuffer;
      _CXErrorModule76 clError;
      int nOut = 0;
      if (piLoader->vbLoadImage(m_pszNomImage, &clBuffer, &nOut, &clError)) {
        CVXBIN clBin;
        const unsigned int nSize = clBuffer.pGetData() != nullptr ? clBuffer.nGetSize() : 0;
        // A copy that cannot be made is a failed way, not empty bytes.
        const bool bCopied =
            nSize == 0 || clBin._nNew(static_cast<int>(nSize), static_cast<const unsigned char*>(clBuffer.pGetData()),
                                      static_cast<int>(nSize), 0) == 0;
        if (bCopied) {
          SetNomImage(nullptr);
          SetBinData(clBin);
          return 1;
        }
      }
    } else {
      CVXBIN clBin;
      if (CDiskFile::bChargeFichier(clBin, m_pszNomImage, nullptr)) {
        SetNomImage(nullptr);
        SetBinData(clBin);
        return 1;
      }
    }
  }
  if (m_pfnSauveVXBin != nullptr) {
    m_pfnSauveVXBin(this);
    return 1;
  }
  if (m_piImage != nullptr) {
    // The same version check as pclGetBinDataEx: an older image object has
    // no byte operation in that slot.
    CVXBIN clBin;
    if (_bImageBytes(&clBin)) {
      SetVXImage(nullptr);
      SetBinData(clBin);
      return 1;
    }
  }
  if (m_piSource != nullptr) {
    CVXBIN clBin;
    if (m_piSource->vbGetBinData(&clBin) == 0) return 0;
    SetSourceBinaire(nullptr);
    SetBinData(clBin);
    return 1;
  }
  return 0;
}

CAny* CVXMemoImage::s_pclBinFromMemoImage(CVXMemoImage* pImage, IImageLoader* piLoader) {
  CVXMemoImage* pCopy = new (std::nothrow) CVXMemoImage;
  if (pCopy == nullptr) return nullptr;
  pCopy->dwAddRef();
  pCopy->CopieFrom(*pImage);
  CAny* pValue = nullptr;
  if (pCopy->bConvertToBIN(piLoader)) {
    pValue = new (std::nothrow) CAny;
    if (pValue != nullptr) {
      pValue->__SetType(VX_BIN, 0);
      pValue->pclGetIntern()->SetValue(&pCopy->m_clBin);  // shares the buffer
      pValue->SetTypeWord(static_cast<unsigned short>(pValue->wGetType() & kVXClearFlagsMask));
    }
  }
  pCopy->dwRelease();
  return pValue;
}
