#include "statements/record_buffer.h"

#include <cstring>
#include <new>

#include "core/unicode.h"
#include "items/convert_variant.h"
#include "items/item_types.h"
#include "kq230/data_source_description_interface.h"
#include "kq230/item_description_interface.h"
#include "values/any.h"

namespace {

// A memo's slot when it is NULL: eight 0xFF bytes (its record form tells the
// engine that no memo is attached).
constexpr unsigned char kMemoNull[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
constexpr unsigned char kMemoPresent[8] = {0, 0, 0, 0, 0, 0, 0, 0};

bool bIsFlagged(const CAny* pValue) {
  return pValue == nullptr || (pValue->wGetType() & kVXNullFlag) != 0 ||
         pValue->nGetTypeCode() == 0;
}

}  // namespace

CNAZBRecord::~CNAZBRecord() { delete[] m_pbyBuffer; }

int CNAZBRecord::_bAlloc(int nLength) {
  unsigned char* p = new (std::nothrow) unsigned char[nLength > 0 ? nLength : 1]();
  if (p == nullptr) return 0;
  delete[] m_pbyBuffer;
  m_pbyBuffer = p;
  m_nBufferLength = nLength;
  m_pbyNullValuesFlags = p;
  m_pbyValues = p + m_nFlagFieldSize;
  return 1;
}

int CNAZBRecord::bInit(INADataSourceDescription* piSource, eINITTYPE eInit) {
  if (piSource == nullptr) return 0;
  const int nPhysical = piSource->nGetNumItemPhysicallyInFic();
  const int nDisk = piSource->nGetDiskRecordSize();
  if (nPhysical < 0 || nDisk < 0) return 0;
  const long long nFlags = nPhysical == 0 ? 0 : (nPhysical - 1) / 8 + 1;
  const long long nLength = nFlags + nDisk;
  if (nLength > 0x7FFFFFFFLL) return 0;
  m_nPhysicalItemCount = nPhysical;
  m_nFlagFieldSize = static_cast<int>(nFlags);
  if (!_bAlloc(static_cast<int>(nLength))) {
    m_nPhysicalItemCount = 0;
    m_nFlagFieldSize = 0;
    return 0;
  }
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
  for (int i = 0; i < nDimension; ++i) {
    const CAny* pDefault = piItem->pclGetDefaultValue(i + 1);
    if (pDefault == nullptr || piItem->bMemo() || bIsFlagged(pDefault)) {
      SetItemValueDefined(piItem, 0, i);
    } else if (!SetItemValue(piItem, pDefault, i)) {
      SetItemValueDefined(piItem, 0, i);
    }
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
  const long long nArea = m_nBufferLength - m_nFlagFieldSize;
  if (nOffset < 0 || nSize < 0 || nAt < 0 || nAt + nSize > nArea) return nullptr;
  *pnSize = static_cast<unsigned int>(nSize);
  return m_pbyValues + nAt;
}

unsigned char* CNAZBRecord::vpbyGetItemValue(INAItemDescription* piItem, int nIndex) {
  unsigned int n;
  return _pbyGetItemPtrAndSize(piItem, nIndex, &n);
}

const unsigned char* CNAZBRecord::vpbyGetItemValue(INAItemDescription* piItem, int nIndex) const {
  unsigned int n;
  return _pbyGetItemPtrAndSize(piItem, nIndex, &n);
}

void CNAZBRecord::vSetValues(const unsigned char* p, int n) {
  if (m_pbyBuffer == nullptr) return;
  const int nArea = m_nBufferLength - m_nFlagFieldSize;
  if (p != nullptr && n > 0) std::memcpy(m_pbyValues, p, static_cast<size_t>(n < nArea ? n : nArea));
  std::memset(m_pbyNullValuesFlags, 0xFF, static_cast<size_t>(m_nFlagFieldSize));
}

void CNAZBRecord::vSetItemValue(INAItemDescription* piItem, const unsigned char* p, unsigned int n,
                                int nIndex) {
  unsigned int nSlot;
  unsigned char* pSlot = _pbyGetItemPtrAndSize(piItem, nIndex, &nSlot);
  if (pSlot == nullptr) return;
  std::memset(pSlot, 0, nSlot);
  switch (piItem->eNAGetItemType()) {
    case NA_IT_TEXTE:
    case NA_IT_DATE6:
    case NA_IT_HEURE:
    case NA_IT_DATE8:
      if (p != nullptr && nSlot > 0) {
        unsigned int i = 0;
        for (; i < nSlot && i < n && p[i] != 0; ++i) pSlot[i] = p[i];
        pSlot[nSlot - 1] = 0;
      }
      break;
    case NA_IT_BINAIRE:
      if (p != nullptr && n != 0 && nSlot >= 2) {
        unsigned int nLen = n < nSlot - 2 ? n : nSlot - 2;
        if (nLen > 0xFFFF) nLen = 0xFFFF;
        pSlot[0] = static_cast<unsigned char>(nLen & 0xFF);
        pSlot[1] = static_cast<unsigned char>(nLen >> 8);
        std::memcpy(pSlot + 2, p, nLen);
      }
      break;
    case NA_IT_UNICODE:
    case NA_IT_MEMOUNICODE:
      if (p != nullptr && n >= sizeof(wchar_t)) {
        // Whole characters only; a pair that would not fit is not written.
        const unsigned int nUnits = nSlot / 2;
        const unsigned int nChars = n / sizeof(wchar_t);
        const int nMax = static_cast<int>(nUnits < nChars ? nUnits : nChars);
        unsigned short aUnits[256];
        const wchar_t* pw = reinterpret_cast<const wchar_t*>(p);
        unsigned short* pOut = nUnits <= 256 ? aUnits : new (std::nothrow) unsigned short[nUnits];
        if (pOut == nullptr) break;
        const int nWritten = WideCharToUTF16(pw, nMax, pOut, static_cast<int>(nUnits));
        std::memcpy(pSlot, pOut, static_cast<size_t>(nWritten) * 2);
        if (pOut != aUnits) delete[] pOut;
      }
      break;
    default:
      if (p != nullptr && n != 0) std::memcpy(pSlot, p, nSlot < n ? nSlot : n);
      break;
  }
  vSetItemValueDefined(piItem, 1, nIndex < 0 ? 0 : nIndex);
}

int CNAZBRecord::vSetItemValue(INAItemDescription* piItem, const CAny* pValue, int nIndex) {
  if (bIsFlagged(pValue)) {
    vSetItemValueDefined(piItem, 0, nIndex);
    return 1;
  }
  unsigned int nSlot;
  unsigned char* pSlot = _pbyGetItemPtrAndSize(piItem, nIndex, &nSlot);
  if (pSlot == nullptr) return 0;
  // The conversion holder's record form is this buffer's: it converts the
  // value in place. A value it refuses leaves the slot as it was.
  unsigned char* pSaved = new (std::nothrow) unsigned char[nSlot > 0 ? nSlot : 1];
  if (pSaved == nullptr) return 0;
  std::memcpy(pSaved, pSlot, nSlot);
  CNAConvertVariant clHolder(nullptr, nullptr);
  clHolder.bInitTypeVariant(NA_VT_BUFFER, pSlot, nSlot, ConverteItemToVXType(piItem->eNAGetItemType()));
  clHolder.SetItemDesc(piItem, nullptr);
  const int bOk = clHolder.bSetValue(pValue);
  if (bOk) {
    vSetItemValueDefined(piItem, 1, nIndex);
  } else {
    std::memcpy(pSlot, pSaved, nSlot);
  }
  delete[] pSaved;
  clHolder.ResetVariant();
  return bOk;
}

void CNAZBRecord::vGetItemValue(CAny* pOut, INAItemDescription* piItem, int nIndex) const {
  if (pOut == nullptr) return;
  unsigned int nSlot;
  unsigned char* pSlot = _pbyGetItemPtrAndSize(piItem, nIndex, &nSlot);
  const unsigned short nType =
      piItem != nullptr ? ConverteItemToVXType(piItem->eNAGetItemType()) : 0;
  if (pSlot == nullptr) {
    pOut->__SetType(nType, 0);
    pOut->SetNull(true);
    return;
  }
  CNAConvertVariant clHolder(nullptr, nullptr);
  clHolder.bInitTypeVariant(NA_VT_BUFFER, pSlot, nSlot, nType);
  clHolder.SetItemDesc(piItem, nullptr);
  clHolder.bGetValue(pOut);
  clHolder.ResetVariant();
  pOut->SetTypeWord(pOut->wGetType() & ~static_cast<unsigned short>(0x500));
}

void CNAZBRecord::vGetItemValue(unsigned char* pOut, INAItemDescription* piItem, int nIndex) const {
  unsigned int nSlot;
  unsigned char* pSlot = _pbyGetItemPtrAndSize(piItem, nIndex, &nSlot);
  if (pOut != nullptr && pSlot != nullptr) std::memcpy(pOut, pSlot, nSlot);
}

void CNAZBRecord::_WriteMemoMark(INAItemDescription* piItem, const unsigned char* pMark) {
  // Written as bytes whatever the memo's type: the mark is no text.
  unsigned int nSlot;
  unsigned char* pSlot = _pbyGetItemPtrAndSize(piItem, 0, &nSlot);
  if (pSlot != nullptr) std::memcpy(pSlot, pMark, nSlot < 8 ? nSlot : 8);
}

int CNAZBRecord::_nBit(INAItemDescription* piItem) const {
  int n = piItem != nullptr ? piItem->nGetPhysicalIndice() : 0;
  if (n < 0) n = 0;
  return n;
}

void CNAZBRecord::vSetItemValueDefined(INAItemDescription* piItem, int bDefined, int nIndex) {
  if (piItem == nullptr || m_pbyNullValuesFlags == nullptr) return;
  const int nBit = _nBit(piItem);
  if (nBit / 8 >= m_nFlagFieldSize) return;
  const unsigned char byMask = static_cast<unsigned char>(0x80 >> (nBit % 8));
  const bool bMemo = piItem->bMemo() != 0;
  if (bDefined) {
    m_pbyNullValuesFlags[nBit / 8] |= byMask;
    if (bMemo) _WriteMemoMark(piItem, kMemoPresent);
  } else {
    m_pbyNullValuesFlags[nBit / 8] &= static_cast<unsigned char>(~byMask);
    if (bMemo) {
      _WriteMemoMark(piItem, kMemoNull);
    } else {
      unsigned int nSlot;
      unsigned char* pSlot = _pbyGetItemPtrAndSize(piItem, nIndex, &nSlot);
      if (pSlot != nullptr) std::memset(pSlot, 0, nSlot);
    }
  }
}

int CNAZBRecord::vbItemValueDefined(INAItemDescription* piItem) const {
  if (m_pbyNullValuesFlags == nullptr) return 0;
  const int nBit = _nBit(piItem);
  if (nBit / 8 >= m_nFlagFieldSize) return 0;
  return (m_pbyNullValuesFlags[nBit / 8] & (0x80 >> (nBit % 8))) != 0;
}

CNAZBRecord* CNAZBRecord::pclGetClone() const {
  CNAZBRecord* pclClone = new (std::nothrow) CNAZBRecord;
  if (pclClone == nullptr) return nullptr;
  pclClone->m_nPhysicalItemCount = m_nPhysicalItemCount;
  pclClone->m_nFlagFieldSize = m_nFlagFieldSize;
  if (!pclClone->_bAlloc(m_nBufferLength)) {
    delete pclClone;
    return nullptr;
  }
  if (m_pbyBuffer != nullptr && m_nBufferLength > 0)
    std::memcpy(pclClone->m_pbyBuffer, m_pbyBuffer, static_cast<size_t>(m_nBufferLength));
  return pclClone;
}

void CNAZBRecord::Copy(const CNAZBRecordBase* pclOther) {
  if (pclOther == nullptr || pclOther == this || m_pbyBuffer == nullptr ||
      pclOther->pbyGetBuffer() == nullptr)
    return;
  const int n = m_nBufferLength < pclOther->nGetBufferLength() ? m_nBufferLength
                                                               : pclOther->nGetBufferLength();
  std::memcpy(m_pbyBuffer, pclOther->pbyGetBuffer(), static_cast<size_t>(n));
}

int CNAZBRecord::bEquals(const CNAZBRecordBase* pclOther) const {
  if (pclOther == nullptr) return 0;
  if (pclOther->nGetBufferLength() != m_nBufferLength ||
      pclOther->nGetFlagFieldSize() != m_nFlagFieldSize)
    return 0;
  if (m_nBufferLength == 0) return 1;
  return std::memcmp(m_pbyBuffer, pclOther->pbyGetBuffer(), static_cast<size_t>(m_nBufferLength)) == 0;
}
