// Record identifiers and the layout that builds them from a row.
#include "statements/record_id.h"

#include <cstdint>
#include <cstring>
#include <cwchar>

#include "core/counted_string.h"
#include "core/string_concat.h"
#include "core/xmalloc.h"
#include "items/record.h"
#include "kq230/item_description_interface.h"
#include "kq230/item_type.h"
#include "kq230/zb_record.h"

// ---------------------------------------------------------------------------
// CNARecordId

CNARecordId::~CNARecordId() { XMALLOC_Del_(m_pBytes); }

int CNARecordId::bSetBytes(const unsigned char* p, unsigned int n) {
  if (p == nullptr) n = 0;
  unsigned char* pNew = nullptr;
  if (n > kInlineBytes) {
    pNew = static_cast<unsigned char*>(XMALLOC_pNew_(n));
    if (pNew == nullptr) return 0;
    std::memcpy(pNew, p, n);
  }
  XMALLOC_Del_(m_pBytes);
  m_pBytes = pNew;
  if (pNew == nullptr && n > 0) std::memcpy(m_abyInline, p, n);
  m_nSize = n;
  return 1;
}

int CNARecordId::bEquals(const CNARecordId* pclOther) const {
  if (pclOther == nullptr || pclOther->m_eKind != m_eKind || pclOther->m_nSize != m_nSize)
    return 0;
  return m_nSize == 0 || std::memcmp(pbyGetBytes(), pclOther->pbyGetBytes(), m_nSize) == 0;
}

void CNARecordId::RecordIdToString(CXYString<wchar_t>* pOut, const wchar_t* pszPrefix,
                                   int) const {
  if (pOut == nullptr) return;
  CXYStringConcat<wchar_t> clText(2 * m_nSize + 16);
  if (pszPrefix != nullptr) clText.Add(pszPrefix, static_cast<int>(std::wcslen(pszPrefix)));
  if (m_eKind == KIND_ROWID)
    clText.Add(L"rowid ", 6);
  else
    clText.Add(L"values ", 7);
  const unsigned char* p = pbyGetBytes();
  for (unsigned int i = 0; i < m_nSize; ++i) clText.AddNumberHexa(p[i]);
  // A trace that could not be built whole says nothing rather than a part.
  *pOut = CXYString<wchar_t>(clText.bEchec() ? L"" : clText.pszGet());
}

// ---------------------------------------------------------------------------
// CNARecordIdLayout

namespace {

// Room an item may take in an identifier besides its slot: the defined byte
// and a text's byte count.
constexpr unsigned int kItemOverhead = 1 + 4;

void PutLength(unsigned char* p, unsigned int n) {
  p[0] = static_cast<unsigned char>(n);
  p[1] = static_cast<unsigned char>(n >> 8);
  p[2] = static_cast<unsigned char>(n >> 16);
  p[3] = static_cast<unsigned char>(n >> 24);
}

}  // namespace

CNARecordIdLayout::~CNARecordIdLayout() { _Clear(); }

void CNARecordIdLayout::_Clear() {
  XMALLOC_Del_(m_pItems);
  m_pItems = nullptr;
  m_nItems = 0;
  m_tabColumns.SupprimeTout();
  m_bWholeRow = 1;
  m_nMaxSize = 0;
}

int CNARecordIdLayout::_bAdd(CNAColumn* pclColumn) {
  if (pclColumn == nullptr || pclColumn->bIsMemo() || pclColumn->bIsComposedKey()) return 1;
  // A column named twice (a component of two keys) would only lengthen
  // every identifier.
  for (int i = 0; i < m_tabColumns.nGetNbElement(); ++i) {
    if (m_tabColumns[i] == pclColumn) return 1;
  }
  return m_tabColumns.Ajoute(pclColumn);
}

int CNARecordIdLayout::_bAddKey(CNAColumn* pclColumn) {
  if (!pclColumn->bIsComposedKey()) return _bAdd(pclColumn);
  const CNARefArray<CNAColumn>* pTab = pclColumn->pclGetTabComponent();
  if (pTab == nullptr) return 1;
  for (int k = 0; k < pTab->nGetNbElement(); ++k) {
    if (!_bAdd((*pTab)[k])) return 0;
  }
  return 1;
}

int CNARecordIdLayout::bInit(const CNARecord* pclRecord) {
  _Clear();
  if (pclRecord == nullptr) return 0;
  const int n = pclRecord->nGetColumnNbr();
  CNAColumn* pclKey = nullptr;
  for (int i = 0; i < n && pclKey == nullptr; ++i) {
    CNAColumn* pclColumn = pclRecord->pclGetColumnNoRef(i);
    if (!pclColumn->bIsMemo() && pclColumn->bPrimary()) pclKey = pclColumn;
  }
  // A unique key that refuses NULL tells rows apart as well as a primary
  // one; a nullable one does not (several rows may hold NULL).
  for (int nPass = 0; nPass < 2 && pclKey == nullptr; ++nPass) {
    const bool bComposed = nPass == 1;
    for (int i = 0; i < n && pclKey == nullptr; ++i) {
      CNAColumn* pclColumn = pclRecord->pclGetColumnNoRef(i);
      if ((pclColumn->bIsComposedKey() != 0) != bComposed || pclColumn->bIsMemo()) continue;
      if (pclColumn->bIsUnique() && pclColumn->bUniqueNotNull()) pclKey = pclColumn;
    }
  }
  int bOk = 1;
  if (pclKey != nullptr) {
    bOk = _bAddKey(pclKey);
    // A key whose components could not be found identifies nothing.
    m_bWholeRow = m_tabColumns.nGetNbElement() == 0;
  }
  if (bOk && m_tabColumns.nGetNbElement() == 0) {
    m_bWholeRow = 1;
    for (int i = 0; i < n && bOk; ++i) bOk = _bAdd(pclRecord->pclGetColumnNoRef(i));
  }
  const int nItems = m_tabColumns.nGetNbElement();
  if (bOk && nItems > 0) {
    m_pItems = static_cast<stItem*>(
        XMALLOC_pNew_(static_cast<unsigned int>(sizeof(stItem)) * static_cast<unsigned int>(nItems)));
    bOk = m_pItems != nullptr;
  }
  if (!bOk) {
    _Clear();
    return 0;
  }
  uint64_t nMax = 0;
  for (int i = 0; i < nItems; ++i) {
    INAItemDescription* piItem = m_tabColumns[i]->piGetItemNoRef();
    stItem& item = m_pItems[i];
    item.piItem = piItem;
    const int nSize = piItem != nullptr ? piItem->nGetTotalSize() : 0;
    item.nSlot = nSize > 0 ? static_cast<unsigned int>(nSize) : 0;
    switch (piItem != nullptr ? piItem->eNAGetItemType() : NA_IT_EMPTY) {
      case NA_IT_TEXTE:
        item.eSlot = SLOT_TEXT;
        break;
      case NA_IT_UNICODE:
        item.eSlot = SLOT_UNICODE;
        break;
      case NA_IT_DATE6:
      case NA_IT_HEURE:
      case NA_IT_DATE8:
        item.eSlot = SLOT_TERMINATED;
        break;
      case NA_IT_BINAIRE:
        item.eSlot = SLOT_BINARY;
        break;
      default:
        item.eSlot = SLOT_WHOLE;
        break;
    }
    nMax += kItemOverhead + item.nSlot;
  }
  m_nItems = nItems;
  m_nMaxSize = nMax > 0xFFFFFFF0u ? 0xFFFFFFF0u : static_cast<unsigned int>(nMax);
  return 1;
}

unsigned int CNARecordIdLayout::nBuild(const CNAZBRecordBase* pclBuffer, unsigned char* pbyOut,
                                       unsigned int nCap) const {
  if (pclBuffer == nullptr || (pbyOut == nullptr && nCap > 0)) return 0;
  unsigned int nAt = 0;
  for (int i = 0; i < m_nItems; ++i) {
    const stItem& item = m_pItems[i];
    const unsigned char* pSlot =
        item.nSlot > 0 ? pclBuffer->vpbyGetItemValue(item.piItem, -1) : nullptr;
    const bool bDefined = pSlot != nullptr && pclBuffer->bItemValueDefined(item.piItem);
    if (nAt >= nCap) return 0;
    pbyOut[nAt++] = bDefined ? 1 : 0;
    if (!bDefined) continue;
    unsigned int nUsed = item.nSlot;
    bool bCounted = false;
    switch (item.eSlot) {
      case SLOT_TEXT: {
        const void* pEnd = std::memchr(pSlot, 0, item.nSlot);
        if (pEnd != nullptr) nUsed = static_cast<unsigned int>(static_cast<const unsigned char*>(pEnd) - pSlot);
        while (nUsed > 0 && pSlot[nUsed - 1] == ' ') --nUsed;
        bCounted = true;
        break;
      }
      case SLOT_UNICODE: {
        // UTF-16 units, little-endian, byte by byte: the slot need not be
        // aligned.
        unsigned int nUnits = 0;
        while (nUnits < item.nSlot / 2 && (pSlot[2 * nUnits] != 0 || pSlot[2 * nUnits + 1] != 0))
          ++nUnits;
        while (nUnits > 0 && pSlot[2 * nUnits - 2] == ' ' && pSlot[2 * nUnits - 1] == 0) --nUnits;
        nUsed = 2 * nUnits;
        bCounted = true;
        break;
      }
      case SLOT_TERMINATED: {
        const void* pEnd = std::memchr(pSlot, 0, item.nSlot);
        if (pEnd != nullptr) nUsed = static_cast<unsigned int>(static_cast<const unsigned char*>(pEnd) - pSlot);
        bCounted = true;
        break;
      }
      case SLOT_BINARY: {
        // The length word, then only the bytes it counts (never past the
        // slot, whatever the word says).
        if (item.nSlot >= 2) {
          const unsigned int nLength = static_cast<unsigned int>(pSlot[0]) |
                                       (static_cast<unsigned int>(pSlot[1]) << 8);
          nUsed = 2 + (nLength < item.nSlot - 2 ? nLength : item.nSlot - 2);
        }
        break;
      }
      case SLOT_WHOLE:
        break;
    }
    if (bCounted) {
      if (nCap - nAt < 4) return 0;
      PutLength(pbyOut + nAt, nUsed);
      nAt += 4;
    }
    if (nCap - nAt < nUsed) return 0;
    std::memcpy(pbyOut + nAt, pSlot, nUsed);
    nAt += nUsed;
  }
  return nAt;
}
