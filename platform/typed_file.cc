#include "platform/typed_file.h"

#include <cstring>
#include <cwchar>
#include <cwctype>
#include <new>

#include "core/error_object.h"
#include "core/module_info.h"
#include "platform/disk_file.h"

uint8_t CKQFile::ms_byCodeProduitCourant = 0;

namespace {

constexpr unsigned int kMsgHeaderNotWritten = 28009;
constexpr unsigned int kMsgHeaderTooShort = 28011;
constexpr unsigned int kMsgUnexpectedType = 28259;
constexpr unsigned int kMsgNotThisVersion = 28555;
constexpr unsigned char kUnreadByte = 0xCD;

uint32_t Get32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void Put32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
void Put16(unsigned char* p, uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

// The 20 bytes as the structure; reads no byte past them.
void Decode(const unsigned char* ab, CKQFile::_stENTETE_FICHIER_MORVEX* p) {
  p->dwSignature = Get32(ab);
  p->dwTailleEntete = Get32(ab + 4);
  p->dwIdFichier = Get32(ab + 8);
  p->wReserve = Get16(ab + 12);
  p->byVersion = ab[14];
  p->byCodeProduit = ab[15];
  p->wFormat = Get16(ab + 16);
  p->wReserve2 = Get16(ab + 18);
}

void Encode(const CKQFile::_stENTETE_FICHIER_MORVEX& st, unsigned char* ab) {
  Put32(ab, st.dwSignature);
  Put32(ab + 4, st.dwTailleEntete);
  Put32(ab + 8, st.dwIdFichier);
  Put16(ab + 12, st.wReserve);
  ab[14] = st.byVersion;
  ab[15] = st.byCodeProduit;
  Put16(ab + 16, st.wFormat);
  Put16(ab + 18, st.wReserve2);
}

bool IsWindowType(uint32_t dw) { return dw == 2 || dw == 8 || dw == 18 || dw == 20 || (dw >= 258 && dw <= 261); }

// Inclusive ranges of the known type ids.
struct _stIdRange {
  uint32_t dwFirst;
  uint32_t dwLast;
};
constexpr _stIdRange kKnownIds[] = {
    {1, 0x10007},         {0x60001, 0x60001},   {0x70001, 0x70006},   {0x80001, 0x80002},
    {0xA0001, 0xA0001},   {0xB0001, 0xB0005},   {0xC0001, 0xC0005},   {0xD0001, 0xD0007},
    {0xE0001, 0xE0003},   {0xF0001, 0xF0002},   {0x100001, 0x100002}, {0x110001, 0x110006},
    {0x120001, 0x120001}, {0x130001, 0x130001}, {0x160001, 0x160001},
};

// The maker's product codes as this driver names them.
struct _stProductName {
  int nCode;
  const wchar_t* pszName;
};
constexpr _stProductName kProductNames[] = {
    {0, L"QUILAN"},
    {1, L"QUILAN Mobile"},
    {2, L"QUILAN Web"},
};
constexpr const wchar_t* kUnknownProduct = L"Produit inconnu";

}  // namespace

CKQFile::CKQFile(uint32_t dwIdAttendu) : m_dwIdFichier(dwIdAttendu) {}

CKQFile::CKQFile(IXStream* pStream, uint32_t dwIdAttendu) : CXFile(pStream), m_dwIdFichier(dwIdAttendu) {}

CKQFile::~CKQFile() = default;

void CKQFile::_RecordHeaderFailure(const wchar_t* pszDebug, unsigned int nMessage, bool bVersionInsert) {
  CXError* pError = _pclGetXError();
  if (pError == nullptr) return;
  const wchar_t* pszName = pszGetName();
  if (pszName == nullptr) pszName = L"";
  pError->RAZ();
  pError->InitModInfo(&gstMyModuleInfo76, 1);
  pError->SetErrorLevel(CXError::EL_ERROR);
  pError->SetSystemError(0, nullptr);
  pError->AddDebugMessageNoFormat(pszDebug);
  if (bVersionInsert) {
    pError->AddUserMessageFirst(&gstMyModuleInfo76, nMessage, L"23.0", pszName);
  } else if (nMessage == kMsgHeaderNotWritten) {
    pError->AddUserMessageFirst(&gstMyModuleInfo76, nMessage);
  } else {
    pError->AddUserMessageFirst(&gstMyModuleInfo76, nMessage, pszName);
  }
  pError->AddInfo(CXError::EIT_SRCFILE, pszName);
}

int CKQFile::bOpen(const wchar_t* pszPath, eFORMAT eFormat, IXStream::eACCESS eAccess, IXStream::eSHARE eShare,
                   IXStream::eCREATE eCreate, IXStream::eFLAG eFlag) {
  return bOpenEx(pszPath, eFormat, eAccess, eShare, eCreate, eFlag, 0);
}

int CKQFile::_bHeaderStep(bool bWrite, eFORMAT eFormat) {
  long long nPosition = 0;
  int bOk;
  if (bWrite) {
    m_wFormat = static_cast<uint16_t>(eFormat);
    bOk = bWriteHeader(&nPosition);
  } else {
    bOk = bReadHeader(&nPosition);
  }
  if (!bOk) Close();
  return bOk;
}

int CKQFile::bOpenEx(const wchar_t* pszPath, eFORMAT eFormat, IXStream::eACCESS eAccess,
                     IXStream::eSHARE eShare, IXStream::eCREATE eCreate, IXStream::eFLAG eFlag, int bForce) {
  int bCreated = 0;
  if (!CXFile::bOpen(pszPath, eAccess, eShare, eCreate, eFlag, &bCreated)) return 0;
  // The created flag alone decides for mode 0x40: errno after the open may
  // hold anything, and trusting it overwrote existing headers.
  const bool bWrite = eCreate == IXStream::eCREATE_CREATE_OR_EMPTY ||
                      (eCreate == IXStream::eCREATE_OPEN_OR_CREATE && bCreated != 0) || bForce != 0;
  return _bHeaderStep(bWrite, eFormat);
}

int CKQFile::bReopen(eFORMAT eFormat, IXStream::eACCESS eAccess, IXStream::eSHARE eShare,
                     IXStream::eCREATE eCreate, IXStream::eFLAG eFlag) {
  if (!CXFile::bReopen(eAccess, eShare, eCreate, eFlag)) return 0;
  // Without a created flag, an empty file is the one a header is due to.
  const bool bWrite = eCreate == IXStream::eCREATE_CREATE_OR_EMPTY ||
                      (eCreate == IXStream::eCREATE_OPEN_OR_CREATE && oGetSize() == 0);
  return _bHeaderStep(bWrite, eFormat);
}

int CKQFile::bTryOpen(const wchar_t* pszPath, TryOpen::EModeOuverture eMode, IXStream::eSHARE eShare) {
  if (!CXFile::bOpen(pszPath, IXStream::eACCESS_READ, eShare, IXStream::eCREATE_EXISTING,
                     IXStream::eFLAG_NONE, nullptr)) {
    return 0;
  }
  unsigned char ab[kTailleEntete];
  std::memset(ab, kUnreadByte, sizeof ab);
  unsigned int nRead = 0;
  if (!bRead(ab, kTailleEntete, &nRead)) return 0;
  _stENTETE_FICHIER_MORVEX st;
  Decode(ab, &st);
  if (nRead == kTailleEntete && st.dwSignature == kSignature && st.dwTailleEntete >= kTailleEntete) {
    if (eMode == TryOpen::eRevenirAuDebut && !bSeek(0, IXStream::eSEEK_BEGIN)) return 0;
    m_dwIdFichier = st.dwIdFichier;
    m_dwTailleEntete = st.dwTailleEntete;
    m_wReserve = st.wReserve;
    m_wVersion = st.byVersion;
    m_byCodeProduit = st.byCodeProduit;
    m_wFormat = st.wFormat;
    m_wReserve2 = st.wReserve2;
    return 1;
  }
  if (!bSeek(0, IXStream::eSEEK_BEGIN)) return 0;
  m_dwIdFichier = 0;
  return 1;
}

int CKQFile::bWriteHeader(long long* pnPosition) {
  _stENTETE_FICHIER_MORVEX st;
  return bWriteHeaderEx(pnPosition, &st);
}

int CKQFile::bWriteHeaderEx(long long* pnPosition, _stENTETE_FICHIER_MORVEX* pst) {
  pst->dwSignature = kSignature;
  pst->dwTailleEntete = m_dwTailleEntete = kTailleEntete;
  if (m_dwIdFichier == kIdFenetreToutProduit) m_dwIdFichier = 2;
  pst->dwIdFichier = m_dwIdFichier;
  pst->wReserve = m_wReserve = 0;
  m_wVersion = kVersion;
  pst->byVersion = kVersion;
  pst->byCodeProduit = m_byCodeProduit = ms_byCodeProduitCourant;
  pst->wFormat = m_wFormat;
  pst->wReserve2 = m_wReserve2 = 0;
  unsigned char ab[kTailleEntete];
  Encode(*pst, ab);
  if (!bSeek(*pnPosition, IXStream::eSEEK_BEGIN)) return 0;
  unsigned int nWritten = 0;
  if (!bWrite(ab, kTailleEntete, &nWritten)) return 0;
  if (nWritten < kTailleEntete) {
    wchar_t szDebug[96];
    std::swprintf(szDebug, 96, L"##(IXStream)-A ecrire=<%u>, ecrit=<%u>##", kTailleEntete, nWritten);
    _RecordHeaderFailure(szDebug, kMsgHeaderNotWritten, false);
    return 0;
  }
  *pnPosition += kTailleEntete;
  return 1;
}

int CKQFile::bReadHeader(long long* pnPosition) {
  unsigned char ab[kTailleEntete];
  std::memset(ab, kUnreadByte, sizeof ab);  // bytes a short read leaves never match
  unsigned int nRead = 0;
  if (!bSeek(*pnPosition, IXStream::eSEEK_BEGIN) || !bRead(ab, kTailleEntete, &nRead)) return 0;
  _stENTETE_FICHIER_MORVEX st;
  Decode(ab, &st);
  wchar_t szDebug[128];
  // A header cut short is no header: its missing bytes must not be taken as
  // a size or a type, even after a whole magic.
  if (st.dwSignature != kSignature || nRead < kTailleEntete) {
    std::swprintf(szDebug, 128, L"##(CKQFile)-Signature geree=<%u>, signature lue=<%u>##", kSignature,
                  st.dwSignature);
    _RecordHeaderFailure(szDebug, kMsgNotThisVersion, true);
    return 0;
  }
  m_wReserve = st.wReserve;
  m_wFormat = st.wFormat;
  m_wVersion = st.byVersion;
  m_dwTailleEntete = st.dwTailleEntete;
  m_byCodeProduit = st.byCodeProduit;
  if (m_dwIdFichier == 0 || (m_dwIdFichier == kIdFenetreToutProduit && IsWindowType(st.dwIdFichier))) {
    m_dwIdFichier = st.dwIdFichier;
  } else if (_vbAutoriseIdFichier(st.dwIdFichier)) {
    m_dwIdFichier = st.dwIdFichier;
  } else {
    std::swprintf(szDebug, 128, L"##(CKQFile)-Type demande=<%u>, type lu=<%u>##", m_dwIdFichier,
                  st.dwIdFichier);
    _RecordHeaderFailure(szDebug, kMsgUnexpectedType, false);
    return 0;
  }
  if (st.dwTailleEntete < kTailleEntete) {
    std::swprintf(szDebug, 128, L"##(CKQFile)-Taille entete attendue=<%u>, Taille entete lue=<%u>##",
                  kTailleEntete, st.dwTailleEntete);
    _RecordHeaderFailure(szDebug, kMsgHeaderTooShort, false);
    return 0;
  }
  *pnPosition += st.dwTailleEntete;
  return 1;
}

int CKQFile::_vbAutoriseIdFichier(unsigned int dwIdFichier) { return dwIdFichier == m_dwIdFichier; }

// ---------------------------------------------------------------------------
// Statics

uint8_t CKQFile::byGetCodeProduit(const wchar_t* pszPath) {
  CDiskFile* pFile = new (std::nothrow) CDiskFile;
  if (pFile == nullptr) return 0;
  pFile->dwAddRef();
  uint8_t byCode = 0;
  if (pFile->bOpen(pszPath, IXStream::eACCESS_READ, IXStream::eSHARE_NONE, IXStream::eCREATE_EXISTING,
                   IXStream::eFLAG_NONE, nullptr)) {
    unsigned char ab[kTailleEntete];
    if (pFile->bRead(ab, kTailleEntete, nullptr)) byCode = ab[15];
    pFile->Close();
  }
  pFile->dwRelease();
  return byCode;
}

int CKQFile::s_eGetEnteteFichierInconnu(_stENTETE_FICHIER_MORVEX& stHeader, IXStream* pStream,
                                        const wchar_t* pszPath) {
  if (pszPath != nullptr &&
      !pStream->bOpen(pszPath, IXStream::eACCESS_READ, IXStream::eSHARE_NONE, IXStream::eCREATE_EXISTING,
                      IXStream::eFLAG_NONE, nullptr)) {
    return 0;
  }
  unsigned char ab[kTailleEntete];
  std::memset(ab, kUnreadByte, sizeof ab);
  const int bRead = pStream->bRead(0, ab, kTailleEntete, nullptr);
  Decode(ab, &stHeader);
  if (!bRead || stHeader.dwSignature != kSignature) return 1;
  if (stHeader.dwIdFichier != 0x70002) return 2;
  const wchar_t* pszName = pStream->pszGetName();
  const wchar_t* pszExtension = pszName != nullptr ? CDiskFile::pszGetPtrToExtension(pszName) : nullptr;
  if (pszExtension != nullptr && *pszExtension == L'.' && wcscasecmp(pszExtension + 1, L"ftx") == 0) {
    stHeader.dwIdFichier = 0x70006;
  }
  return 2;
}

int CKQFile::s_eGetEnteteFichierInconnu(const wchar_t* pszPath, _stENTETE_FICHIER_MORVEX& stHeader) {
  CDiskFile* pFile = new (std::nothrow) CDiskFile;
  if (pFile == nullptr) return 0;
  pFile->dwAddRef();
  const int nResult = s_eGetEnteteFichierInconnu(stHeader, pFile, pszPath);
  pFile->Close();
  pFile->dwRelease();
  return nResult;
}

uint32_t CKQFile::dwIdFichierInconnu(IXStream* pStream, const wchar_t* pszPath) {
  _stENTETE_FICHIER_MORVEX st;
  switch (s_eGetEnteteFichierInconnu(st, pStream, pszPath)) {
    case 0:
      return 0xFFFFFFFFu;
    case 1:
      return 0;
    default:
      return st.dwIdFichier;
  }
}

uint32_t CKQFile::dwIdFichierInconnu(const wchar_t* pszPath) {
  _stENTETE_FICHIER_MORVEX st;
  switch (s_eGetEnteteFichierInconnu(pszPath, st)) {
    case 0:
      return 0xFFFFFFFFu;
    case 1:
      return 0;
    default:
      return st.dwIdFichier;
  }
}

bool CKQFile::bIdReconnu(unsigned int dwId) {
  for (const _stIdRange& r : kKnownIds) {
    if (dwId >= r.dwFirst && dwId <= r.dwLast) return true;
  }
  return false;
}

bool CKQFile::s_bIsProjet(unsigned int dwId) { return dwId == 1 || dwId == 257 || dwId == 4097 || dwId == 65537; }

bool CKQFile::s_bTypeFenetreToutProduit(unsigned int dwId, const wchar_t*) { return IsWindowType(dwId); }

bool CKQFile::s_bTypeCompatible(unsigned int dwA, unsigned int dwB, const wchar_t*) {
  if (dwA == dwB) return true;
  return (dwB == 2 && dwA == 258) || (dwB == 8 && dwA == 259) || (dwB == 18 && dwA == 260) ||
         (dwB == 20 && dwA == 261);
}

unsigned int CKQFile::s_dwMigreTypeFenetreMobile_AVERIFIER(unsigned int dwId) {
  switch (dwId) {
    case 258:
      return 2;
    case 259:
      return 8;
    case 260:
      return 18;
    case 261:
      return 20;
    default:
      return dwId;
  }
}

unsigned int CKQFile::s_dwMigreAncienType(unsigned int dwId) {
  return dwId == 65540 ? 7 : s_dwMigreTypeFenetreMobile_AVERIFIER(dwId);
}

const wchar_t* CKQFile::s_pszVerNomProduit(int nCodeProduit) {
  for (const _stProductName& row : kProductNames) {
    if (row.nCode == nCodeProduit) return row.pszName;
  }
  return kUnknownProduct;
}
