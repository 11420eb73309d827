#include "statements/record_buffer.h"

#include <cstring>
#include <new>

#include "core/error_object.h"
#include "core/unicode.h"
#include "core/xmalloc.h"
#include "items/item_types.h"
#include "kq230/data_source_description_interface.h"
#include "kq230/item_description_interface.h"
#include "values/any.h"
#include "values/date_time_base.h"

namespace {

// A memo's slot when it is NULL: eight 0xFF bytes (its record form tells the
// engine that no memo is attached); eight zero bytes when present.
constexpr unsigned char kMemoNull[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
constexpr unsigned char kMemoPresent[8] = {0, 0, 0, 0, 0, 0, 0, 0};

// Stack room for the scratch copies of a slot (a combination's record form,
// a misaligned Unicode slot read back): larger ones take a block.
constexpr unsigned int kScratch = 512;

bool bIsInvalid(const CAny* pValue) {
  return pValue == nullptr || (pValue->wGetType() & kVXNullFlag) != 0 ||
         pValue->nGetTypeCode() == 0;
}

bool bIsAnsiTextType(unsigned short n) {
  return n == 17 || n == 18 || n == 19 || n == 21 || n == 22 || n == 23 || n == 128 || n == 129 ||
         n == 134;
}

bool bIsWideTextType(unsigned short n) {
  return n == 16 || n == 20 || n == 24 || n == 25 || n == 81 || n == 110;
}

int nFlagFieldSizeFor(long long nPhysical) { return nPhysical <= 0 ? 0 : static_cast<int>((nPhysical - 1) / 8 + 1); }

int nReadInt32(const unsigned char* p) {
  return static_cast<int>(static_cast<unsigned int>(p[0]) | (static_cast<unsigned int>(p[1]) << 8) |
                          (static_cast<unsigned int>(p[2]) << 16) |
                          (static_cast<unsigned int>(p[3]) << 24));
}

void WriteInt32(unsigned char* p, int n) {
  const unsigned int u = static_cast<unsigned int>(n);
  p[0] = static_cast<unsigned char>(u);
  p[1] = static_cast<unsigned char>(u >> 8);
  p[2] = static_cast<unsigned char>(u >> 16);
  p[3] = static_cast<unsigned char>(u >> 24);
}

// Wide characters to UTF-16 units written as bytes (the slot need not be
// aligned), at most nUnits units; a pair that would not fit whole is not
// begun. Answers the units written.
unsigned int nPutUTF16(unsigned char* pOut, unsigned int nUnits, const unsigned char* pIn,
                       unsigned int nChars) {
  unsigned int nDone = 0;
  for (unsigned int i = 0; i < nChars; ++i) {
    wchar_t c;
    std::memcpy(&c, pIn + i * sizeof(wchar_t), sizeof c);
    unsigned short a[2];
    const int n = WideCharToUTF16(&c, 1, a, 2);
    if (n <= 0 || nDone + static_cast<unsigned int>(n) > nUnits) break;
    std::memcpy(pOut + 2 * nDone, a, 2 * static_cast<size_t>(n));
    nDone += static_cast<unsigned int>(n);
  }
  return nDone;
}

}  // namespace

CNAZBRecord::~CNAZBRecord() { _Free(); }

void CNAZBRecord::_Free() {
  XMALLOC_Del_(m_pbyBuffer);
  m_pbyBuffer = nullptr;
  m_pbyValues = nullptr;
  m_pbyNullValuesFlags = nullptr;
  m_nBufferLength = 0;
  m_nPhysicalItemCount = 0;
  m_nFlagFieldSize = 0;
}

int CNAZBRecord::_bAllocate(int nLength, int nPhysicalCount, int nFlagFieldSize, bool bZero) {
  unsigned char* p = m_pbyBuffer;
  if (p == nullptr || nLength != m_nBufferLength) {
    // One byte at least, so that an empty record still has its block and
    // its two inner pointers are never null once laid out.
    p = static_cast<unsigned char*>(XMALLOC_pNew_(static_cast<unsigned int>(nLength > 0 ? nLength : 1)));
    if (p == nullptr) return 0;
    XMALLOC_Del_(m_pbyBuffer);
  }
  if (bZero) std::memset(p, 0, static_cast<size_t>(nLength > 0 ? nLength : 1));
  m_pbyBuffer = p;
  m_nBufferLength = nLength;
  m_nPhysicalItemCount = nPhysicalCount;
  m_nFlagFieldSize = nFlagFieldSize;
  m_pbyNullValuesFlags = p;
  m_pbyValues = p + nFlagFieldSize;
  return 1;
}

int CNAZBRecord::bInit(INADataSourceDescription* piSource, eINITTYPE eInit) {
  if (piSource == nullptr) return 0;
  const int nPhysical = piSource->nGetNumItemPhysicallyInFic();
  const int nDisk = piSource->nGetDiskRecordSize();
  if (nPhysical < 0 || nDisk < 0) return 0;
  const int nFlags = nFlagFieldSizeFor(nPhysical);
  const long long nLength = static_cast<long long>(nFlags) + nDisk;
  // The serialised form adds its counters: it must fit a 32-bit size too.
  if (nLength > 0x7FFFFFFFLL - kSerializeHeaderSize) return 0;
  if (!_bAllocate(static_cast<int>(nLength), nPhysical, nFlags, true)) return 0;
  if (eInit == INIT_DEFAULT_VALUES) {
    const int nItems = piSource->nGetNumItems();
    for (int i = 0; i < nItems; ++i) {
      INAItemDescription* piItem = piSource->piNAGetItem(static_cast<unsigned int>(i));
      if (piItem == nullptr) continue;
      if (!piItem->bIsComposedKey()) _SetDefaultValue(piItem);
      piItem->nExternalRelease();
    }
  }
  return 1;
}

void CNAZBRecord::_SetDefaultValue(INAItemDescription* piItem) {
  const int nDimension = piItem->nGetDimension();
  const bool bMemo = piItem->bMemo() != 0;
  for (int i = 0; i < nDimension; ++i) {
    const CAny* pDefault = piItem->pclGetDefaultValue(i + 1);
    if (pDefault == nullptr || bMemo || bIsInvalid(pDefault) || !SetItemValue(piItem, pDefault, i))
      SetItemValueDefined(piItem, 0, i);
  }
}

unsigned char* CNAZBRecord::_pbyGetItemPtrAndSize(INAItemDescription* piItem, int nIndex,
                                                  unsigned int* pnSize) const {
  *pnSize = 0;
  if (piItem == nullptr || m_pbyValues == nullptr) return nullptr;
  const long long nOffset = piItem->nGetOffset(0);
  long long nSize;
  long long nAt = nOffset;
  if (nIndex < 0) {
    nSize = piItem->nGetTotalSize();
  } else {
    nSize = piItem->nGetItemSize();
    nAt += static_cast<long long>(nIndex) * nSize;
  }
  const long long nArea = static_cast<long long>(m_nBufferLength) - m_nFlagFieldSize;
  if (nOffset < 0 || nSize < 0 || nAt < 0 || nAt + nSize > nArea) return nullptr;
  *pnSize = static_cast<unsigned int>(nSize);
  return m_pbyValues + nAt;
}

void CNAZBRecord::SetValues(const unsigned char* p, int n) {
  if (m_pbyBuffer == nullptr) return;
  const int nArea = m_nBufferLength - m_nFlagFieldSize;
  if (p != nullptr && n > 0) std::memcpy(m_pbyValues, p, static_cast<size_t>(n < nArea ? n : nArea));
  std::memset(m_pbyNullValuesFlags, 0xFF, static_cast<size_t>(m_nFlagFieldSize));
}

void CNAZBRecord::SetItemValue(INAItemDescription* piItem, const unsigned char* p, unsigned int n,
                               int nIndex) {
  unsigned int nSlot;
  unsigned char* pSlot = _pbyGetItemPtrAndSize(piItem, nIndex, &nSlot);
  if (pSlot == nullptr) return;
  // What the source does not fill is zero: a short source is never read
  // past its end, and no byte of a former value stays behind.
  unsigned int nWritten = 0;
  if (p != nullptr) {
    switch (piItem->eNAGetItemType()) {
      case NA_IT_TEXTE:
      case NA_IT_DATE6:
      case NA_IT_HEURE:
      case NA_IT_DATE8: {
        const unsigned int nMax = n < nSlot ? n : nSlot;
        const void* pEnd = std::memchr(p, 0, nMax);
        nWritten = pEnd != nullptr ? static_cast<unsigned int>(static_cast<const unsigned char*>(pEnd) - p)
                                   : nMax;
        std::memcpy(pSlot, p, nWritten);
        // The last byte of the slot is the terminator whatever the length.
        if (nWritten == nSlot && nSlot > 0) --nWritten;
        break;
      }
      case NA_IT_BINAIRE:
        if (n != 0 && nSlot >= 2) {
          unsigned int nLen = n < nSlot - 2 ? n : nSlot - 2;
          if (nLen > 0xFFFF) nLen = 0xFFFF;
          pSlot[0] = static_cast<unsigned char>(nLen & 0xFF);
          pSlot[1] = static_cast<unsigned char>(nLen >> 8);
          std::memcpy(pSlot + 2, p, nLen);
          nWritten = nLen + 2;
        }
        break;
      case NA_IT_UNICODE:
      case NA_IT_MEMOUNICODE:
        // 4-byte wide characters in, S / 2 UTF-16 units at most out.
        if (n >= sizeof(wchar_t))
          nWritten = 2 * nPutUTF16(pSlot, nSlot / 2, p, n / static_cast<unsigned int>(sizeof(wchar_t)));
        break;
      default:
        nWritten = n < nSlot ? n : nSlot;
        std::memcpy(pSlot, p, nWritten);
        break;
    }
  }
  std::memset(pSlot + nWritten, 0, nSlot - nWritten);
  SetItemValueDefined(piItem, 1, nIndex < 0 ? 0 : nIndex);
}

int CNAZBRecord::SetItemValue(INAItemDescription* piItem, const CAny* pValue, int nIndex) {
  if (bIsInvalid(pValue)) {
    SetItemValueDefined(piItem, 0, nIndex);
    return 1;
  }
  unsigned int nSlot;
  if (_pbyGetItemPtrAndSize(piItem, nIndex, &nSlot) == nullptr) return 0;
  const eNA_ITEMTYPE eType = piItem->eNAGetItemType();
  const unsigned short nV = pValue->nGetTypeCode();
  if (eType == NA_IT_HEURE && nV == VX_DATETIME) {
    // The time of day as its 9-character text HHMMSSmmm.
    CDateTimeBase clDate;
    std::memcpy(&clDate, pValue->pbyGetValeur(), sizeof clDate);
    char sz[CDateTimeBase::kLongueurTexteHeure + 1] = {};
    if (clDate.nVersHeure(sz, CDateTimeBase::kLongueurTexteHeure) != 0) return 0;
    SetItemValue(piItem, reinterpret_cast<const unsigned char*>(sz), CDateTimeBase::kLongueurTexteHeure,
                 nIndex);
    return 1;
  }
  const unsigned short nT = ConverteItemToVXType(piItem);
  if (nT == nV || ((eType == NA_IT_DATE8 || eType == NA_IT_HEURE) && bIsAnsiTextType(nV)) ||
      (nT == VX_PSTRA && nV == VX_DSTRA) || (nT == VX_PSTRW && nV == VX_DSTRW))
    return _SetItemValue(piItem, pValue, nIndex);
  if (nT == 0) return 0;
  CAny clTemp(*pValue);
  if (nT == VX_CARA && (nV == VX_PSTRW || nV == VX_DSTRW) && clTemp.__nCastTo(VX_PSTRA, nullptr, 1) >= 100)
    return 0;
  if (clTemp.__nCastTo(nT, nullptr, 1) >= 100 || clTemp.nGetTypeCode() != nT) return 0;
  return _SetItemValue(piItem, &clTemp, nIndex);
}

int CNAZBRecord::_SetItemValue(INAItemDescription* piItem, const CAny* pValue, int nIndex) {
  unsigned int nSlot;
  unsigned char* pSlot = _pbyGetItemPtrAndSize(piItem, nIndex, &nSlot);
  if (pSlot == nullptr) return 0;
  switch (piItem->eNAGetItemType()) {
    case NA_IT_DECIMAL: {
      if (pValue->nGetTypeCode() != VX_DECIMAL || pValue->pGetPointeur() == nullptr) return 0;
      // Brought to the item's precision and scale on a copy: the caller's
      // value stays as it is.
      CAny clCopy(*pValue);
      IVXDecimal* piDecimal = static_cast<IVXDecimal*>(clCopy.pGetPointeur());
      if (piDecimal == nullptr) return 0;
      const int nScale = piItem->nGetDecimalPart();
      piDecimal->SetPrecisionScale(piItem->nGetIntegerPart() + nScale, nScale);
      SetItemValue(piItem, static_cast<const unsigned char*>(piDecimal->pGetData()),
                   piDecimal->nGetDataSize(), nIndex);
      return 1;
    }
    case NA_IT_ENUMERATION: {
      IEnumerationVM* piEnumeration = piItem->vpiGetEnumerationVM();
      if (piEnumeration == nullptr) return 0;
      _CXErrorModule76 clError;
      int nCode = 0;
      if (!piEnumeration->vbValueToCode(pValue, &nCode, &clError)) return 0;
      unsigned char aby[4];
      WriteInt32(aby, nCode);
      SetItemValue(piItem, aby, sizeof aby, nIndex);
      return 1;
    }
    case NA_IT_COMBINAISON: {
      ICombinaisonVM* piCombination = piItem->vpiGetCombinaisonVM();
      if (piCombination == nullptr) return 0;
      // Filled aside, so that a refusal leaves the slot as it was.
      unsigned char abyStack[kScratch];
      unsigned char* pScratch = abyStack;
      if (nSlot > kScratch) {
        pScratch = static_cast<unsigned char*>(XMALLOC_pNew_(nSlot));
        if (pScratch == nullptr) return 0;
      }
      std::memset(pScratch, 0, nSlot);
      _CXErrorModule76 clError;
      const int bOk = piCombination->vbValueToBytes(pValue, pScratch, nSlot, &clError);
      if (bOk) SetItemValue(piItem, pScratch, nSlot, nIndex);
      if (pScratch != abyStack) XMALLOC_Del_(pScratch);
      return bOk;
    }
    default: {
      const CAny_Intern* pclIntern = pValue->pclGetIntern();
      unsigned int nSize = 0;
      void* pData = nullptr;
      if (pclIntern->nGetDataSize(&nSize) != 0 || pclIntern->nGetDataAdr(&pData) != 0) return 0;
      SetItemValue(piItem, static_cast<const unsigned char*>(pData), pData != nullptr ? nSize : 0,
                   nIndex);
      return 1;
    }
  }
}

void CNAZBRecord::GetItemValue(CAny* pOut, INAItemDescription* piItem, int nIndex) const {
  if (pOut == nullptr) return;
  unsigned int nSlot;
  const unsigned char* p = _pbyGetItemPtrAndSize(piItem, nIndex, &nSlot);
  const unsigned short nT = piItem != nullptr ? ConverteItemToVXType(piItem) : 0;
  if (p == nullptr) {
    pOut->__SetType(nT, 0);
    pOut->SetNull(true);
    return;
  }
  switch (piItem->eNAGetItemType()) {
    case NA_IT_BINAIRE: {
      unsigned int nLen = nSlot >= 2 ? (p[0] | (p[1] << 8)) : 0;
      if (nLen > nSlot - 2 || nSlot < 2) nLen = nSlot >= 2 ? nSlot - 2 : 0;
      pOut->__SetType(nT, 0);
      pOut->SetValueByte(p + 2, nLen);
      break;
    }
    case NA_IT_DECIMAL: {
      pOut->__SetType(VX_DECIMAL, 0);
      IVXDecimal* piDecimal = static_cast<IVXDecimal*>(pOut->pGetPointeur());
      if (piDecimal == nullptr) break;
      const int nScale = piItem->nGetDecimalPart();
      const int nPrecision = piItem->nGetIntegerPart() + nScale;
      // The object reads its whole data form: a shorter slot is read
      // through a zero-padded copy.
      const unsigned int nForm = piDecimal->nGetDataSize();
      unsigned char aby[64] = {};
      if (nSlot >= nForm) {
        piDecimal->SetFromData(nPrecision, nScale, p);
      } else if (nForm <= sizeof aby) {
        // The slot keeps the low bytes of the two's-complement coefficient
        // (after precision and scale): a negative one reads back with its
        // sign carried into the bytes left out.
        std::memcpy(aby, p, nSlot);
        if (nSlot > 2 && (p[nSlot - 1] & 0x80) != 0) std::memset(aby + nSlot, 0xFF, nForm - nSlot);
        piDecimal->SetFromData(nPrecision, nScale, aby);
      }
      break;
    }
    case NA_IT_ENUMERATION:
    case NA_IT_COMBINAISON: {
      _CXErrorModule76 clError;
      int bOk = 0;
      if (piItem->eNAGetItemType() == NA_IT_ENUMERATION) {
        IEnumerationVM* piEnumeration = piItem->vpiGetEnumerationVM();
        unsigned char aby[4] = {};
        std::memcpy(aby, p, nSlot < 4 ? nSlot : 4);
        bOk = piEnumeration != nullptr && piEnumeration->vbCodeToValue(aby, pOut, &clError);
      } else {
        ICombinaisonVM* piCombination = piItem->vpiGetCombinaisonVM();
        bOk = piCombination != nullptr && piCombination->vbBytesToValue(p, nSlot, pOut, &clError);
      }
      if (!bOk) throw clError;
      break;
    }
    case NA_IT_UNICODE:
    case NA_IT_MEMOUNICODE: {
      // The units up to the first zero one, S / 2 at most; read through an
      // aligned copy when the slot is not aligned for them.
      const unsigned int nMax = nSlot / 2;
      unsigned int nUnits = 0;
      while (nUnits < nMax && (p[2 * nUnits] | p[2 * nUnits + 1]) != 0) ++nUnits;
      pOut->__SetType(VX_DSTRW, 0);
      if (reinterpret_cast<uintptr_t>(p) % alignof(unsigned short) == 0) {
        CAny_VXDSTRW::s_SetFromUTF16(pOut, reinterpret_cast<const unsigned short*>(p),
                                     static_cast<int>(nUnits));
      } else {
        unsigned short aStack[kScratch];
        unsigned short* pUnits = aStack;
        if (nUnits > kScratch) {
          pUnits = static_cast<unsigned short*>(XMALLOC_pNew_(nUnits * 2));
          if (pUnits == nullptr) break;
        }
        std::memcpy(pUnits, p, 2 * static_cast<size_t>(nUnits));
        CAny_VXDSTRW::s_SetFromUTF16(pOut, pUnits, static_cast<int>(nUnits));
        if (pUnits != aStack) XMALLOC_Del_(pUnits);
      }
      break;
    }
    default: {
      if (piItem->eNAGetItemType() == NA_IT_HEURE && nT == VX_DATETIME) {
        char sz[CDateTimeBase::kLongueurTexteHeure + 1] = {};
        std::memcpy(sz, p, strnlen(reinterpret_cast<const char*>(p),
                                   nSlot < CDateTimeBase::kLongueurTexteHeure ? nSlot : CDateTimeBase::kLongueurTexteHeure));
        CDateTime clDate;
        clDate.InitDate();
        clDate.__SetPartieHeure(sz);
        pOut->SetDATETIME(clDate);
        break;
      }
      unsigned int nLen = nSlot;
      if (bIsWideTextType(nT)) {
        unsigned int nChars = 0;
        const unsigned int nMax = nSlot / sizeof(wchar_t);
        wchar_t c = 1;
        while (nChars < nMax && (std::memcpy(&c, p + nChars * sizeof(wchar_t), sizeof c), c != 0)) ++nChars;
        nLen = nChars * static_cast<unsigned int>(sizeof(wchar_t));
      } else if (bIsAnsiTextType(nT)) {
        nLen = static_cast<unsigned int>(strnlen(reinterpret_cast<const char*>(p), nSlot));
      }
      pOut->__SetType(nT, 0);
      // Fixed-size types take their whole size from the address given: a
      // slot shorter than the value area is read through a zero-padded copy.
      if (nSlot < kVXValueAreaSize) {
        unsigned char aby[kVXValueAreaSize] = {};
        std::memcpy(aby, p, nSlot);
        pOut->SetValueByte(aby, nLen);
      } else {
        pOut->SetValueByte(p, nLen);
      }
      break;
    }
  }
  pOut->SetTypeWord(pOut->wGetType() & ~static_cast<unsigned short>(0x500));
}

void CNAZBRecord::GetItemValue(unsigned char* pOut, INAItemDescription* piItem, int nIndex) const {
  unsigned int nSlot;
  const unsigned char* pSlot = _pbyGetItemPtrAndSize(piItem, nIndex, &nSlot);
  if (pOut != nullptr && pSlot != nullptr) std::memcpy(pOut, pSlot, nSlot);
}

int CNAZBRecord::nCastTo(CAny* pValue, unsigned short nType, INAItemDescription* piItem) {
  if (pValue == nullptr) return 0;
  const unsigned short nV = pValue->nGetTypeCode();
  if (piItem != nullptr && piItem->eNAGetItemType() == NA_IT_HEURE && nType == VX_DATETIME &&
      (nV == VX_PSTRA || nV == VX_DSTRA)) {
    const char* psz = nullptr;
    pValue->pclGetIntern()->nGetPCASTR(&psz);
    char sz[CDateTimeBase::kLongueurTexteHeure + 1] = {};
    if (psz != nullptr) std::memcpy(sz, psz, strnlen(psz, CDateTimeBase::kLongueurTexteHeure));
    CDateTime clDate;
    clDate.InitDate();
    clDate.__SetPartieHeure(sz);
    pValue->SetDATETIME(clDate);
    pValue->SetTypeWord(pValue->wGetType() & ~static_cast<unsigned short>(0x500));
    return 0;
  }
  return pValue->__nCastTo(nType, nullptr, 1);
}

int CNAZBRecord::bItemValueDefined(INAItemDescription* piItem) const {
  if (m_pbyNullValuesFlags == nullptr || piItem == nullptr) return 0;
  int nBit = piItem->nGetPhysicalIndice();
  if (nBit < 0) nBit = 0;
  if (nBit / 8 >= m_nFlagFieldSize) return 0;
  return (m_pbyNullValuesFlags[nBit / 8] & (0x80 >> (nBit % 8))) != 0;
}

void CNAZBRecord::_MarkBit(int nBit, INAItemDescription* piItem, int bDefined, int nIndex) {
  if (m_pbyNullValuesFlags == nullptr) return;
  if (nBit < 0) nBit = 0;
  if (nBit / 8 >= m_nFlagFieldSize) return;
  const unsigned char byMask = static_cast<unsigned char>(0x80 >> (nBit % 8));
  const bool bMemo = piItem != nullptr && piItem->bMemo() != 0;
  unsigned int nSlot;
  if (bDefined) {
    m_pbyNullValuesFlags[nBit / 8] |= byMask;
    if (!bMemo) return;
    // The marks are bytes whatever the memo's type: no text to convert.
    unsigned char* pSlot = _pbyGetItemPtrAndSize(piItem, 0, &nSlot);
    if (pSlot != nullptr) std::memcpy(pSlot, kMemoPresent, nSlot < 8 ? nSlot : 8);
    return;
  }
  m_pbyNullValuesFlags[nBit / 8] &= static_cast<unsigned char>(~byMask);
  unsigned char* pSlot = _pbyGetItemPtrAndSize(piItem, bMemo ? 0 : nIndex, &nSlot);
  if (pSlot == nullptr) return;
  if (bMemo) {
    std::memcpy(pSlot, kMemoNull, nSlot < 8 ? nSlot : 8);
  } else {
    std::memset(pSlot, 0, nSlot);
  }
}

void CNAZBRecord::SetItemValueDefined(INAItemDescription* piItem, int bDefined, int nIndex) {
  if (piItem == nullptr) return;
  _MarkBit(piItem->nGetPhysicalIndice(), piItem, bDefined, nIndex);
}

void CNAZBRecord::SetTabItemValueDefined(INAItemDescription* const* ppiItems, int nCount,
                                         const int* pnPhysicalIndexes, const int* pbDefined) {
  if (ppiItems == nullptr || pnPhysicalIndexes == nullptr || pbDefined == nullptr) return;
  for (int i = 0; i < nCount; ++i) _MarkBit(pnPhysicalIndexes[i], ppiItems[i], pbDefined[i], 0);
}

CNAZBRecord* CNAZBRecord::pclGetClone() const {
  CNAZBRecord* pclClone = new (std::nothrow) CNAZBRecord;
  if (pclClone == nullptr) return nullptr;
  if (!pclClone->_bCopyWithInit(this)) {
    delete pclClone;
    return nullptr;
  }
  return pclClone;
}

int CNAZBRecord::_bCopyWithInit(const CNAZBRecordBase* pclOther) {
  if (pclOther == nullptr) return 0;
  if (pclOther == this) return 1;
  if (pclOther->pbyGetBuffer() == nullptr) {
    _Free();
    return 1;
  }
  const int n = pclOther->nGetBufferLength();
  if (!_bAllocate(n, pclOther->nGetPhysicalItemCount(), pclOther->nGetFlagFieldSize(), false)) return 0;
  if (n > 0) std::memcpy(m_pbyBuffer, pclOther->pbyGetBuffer(), static_cast<size_t>(n));
  return 1;
}

void CNAZBRecord::Copy(const CNAZBRecordBase* pclOther) {
  if (pclOther == nullptr || pclOther == this || m_pbyBuffer == nullptr) return;
  const int nOther = pclOther->pbyGetBuffer() != nullptr ? pclOther->nGetBufferLength() : 0;
  const int n = m_nBufferLength < nOther ? m_nBufferLength : nOther;
  if (n > 0) std::memcpy(m_pbyBuffer, pclOther->pbyGetBuffer(), static_cast<size_t>(n));
  if (n < m_nBufferLength) std::memset(m_pbyBuffer + n, 0, static_cast<size_t>(m_nBufferLength - n));
}

int CNAZBRecord::bEquals(const CNAZBRecordBase* pclOther) const {
  if (pclOther == nullptr) return 0;
  if (pclOther->nGetBufferLength() != m_nBufferLength ||
      pclOther->nGetFlagFieldSize() != m_nFlagFieldSize)
    return 0;
  if (m_nBufferLength == 0) return 1;
  if (m_pbyBuffer == nullptr || pclOther->pbyGetBuffer() == nullptr)
    return m_pbyBuffer == pclOther->pbyGetBuffer();
  return std::memcmp(m_pbyBuffer, pclOther->pbyGetBuffer(), static_cast<size_t>(m_nBufferLength)) == 0;
}

int CNAZBRecord::bSetBufferBytes(const unsigned char* p, int n) {
  if (p == nullptr || m_pbyBuffer == nullptr || n != m_nBufferLength) return 0;
  if (n > 0) std::memcpy(m_pbyBuffer, p, static_cast<size_t>(n));
  return 1;
}

int CNAZBRecord::Serialize(unsigned char* pOut, int nSize) const {
  if (pOut == nullptr || nSize < nGetSerializeSize()) return 0;
  WriteInt32(pOut, m_nBufferLength);
  WriteInt32(pOut + 4, m_nPhysicalItemCount);
  WriteInt32(pOut + 8, m_nFlagFieldSize);
  if (m_nBufferLength > 0 && m_pbyBuffer != nullptr)
    std::memcpy(pOut + kSerializeHeaderSize, m_pbyBuffer, static_cast<size_t>(m_nBufferLength));
  return 1;
}

unsigned char* CNAZBRecord::Deserialize(const unsigned char* pIn, int nSize) {
  if (pIn == nullptr || nSize < kSerializeHeaderSize) return nullptr;
  const int nLength = nReadInt32(pIn);
  const int nPhysical = nReadInt32(pIn + 4);
  const int nFlags = nReadInt32(pIn + 8);
  // Every counter is checked before a byte past them is read: the form may
  // come from a cache file or a damaged block.
  if (nLength < 0 || nPhysical < 0 || nFlags != nFlagFieldSizeFor(nPhysical) || nFlags > nLength ||
      nLength > nSize - kSerializeHeaderSize)
    return nullptr;
  if (!_bAllocate(nLength, nPhysical, nFlags, false)) return nullptr;
  if (nLength > 0) std::memcpy(m_pbyBuffer, pIn + kSerializeHeaderSize, static_cast<size_t>(nLength));
  return m_pbyValues;
}
