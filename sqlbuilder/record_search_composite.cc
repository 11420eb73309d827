// CNARecherche, composite keys: the component list of a composite
// comparison, composite equality, the lexicographic comparison that orders
// rows by several columns, and the cutting of a composite key value (the
// language's bytes of the whole key) into one value per component.
//
// A composite value is laid out as the record's composed key
// (items/column.cc): each component in turn, over its logical size (doubled
// for wide texts, which the key holds in UTF-16; a binary component is its
// 16-bit length and its logical size in bytes), zero-filled. A value may be
// shorter than the key: its last component may then be partial, and a
// partial component of a bound or generic search may mark the component's
// minimum (one 0 byte; for a wide text the unit 0) or maximum (a first byte
// 0xFF; for a wide text the unit 0xFFFF). Bytes past the last component are
// not read.
#include <cstring>
#include <cwchar>
#include <new>

#include "core/counted_string.h"
#include "items/column.h"
#include "items/column_null_selection.h"
#include "items/convert_variant.h"
#include "items/record.h"
#include "kq230/item_description_interface.h"
#include "kq230/vm_values.h"
#include "sqlbuilder/expression.h"
#include "sqlbuilder/record_search.h"
#include "values/any.h"

namespace {

// Sites of the debug line of this file's errors (file kNAFileRecordSearch).
constexpr int kSiteComponentValue = 201;
constexpr int kSiteComponentList = 202;
constexpr int kSiteComponentValueList = 203;
constexpr int kSiteNullSelection = 204;

bool bIsWideTextVX(unsigned short n) {
  return n == VX_DSTRW || n == 20 || n == VX_DATEW || n == VX_TIMEW || n == VX_CARW ||
         n == VX_PSTRW;
}

bool bIsAnsiTextVX(unsigned short n) {
  return n == VX_CARA || n == VX_PSTRA || n == VX_DSTRA || n == VX_DATEA || n == VX_TIMEA;
}

// A one-byte number: its single byte is a value, never a mark.
bool bIsOneByteNumberVX(unsigned short n) { return n == VX_UI1 || n == VX_I1; }

// Bytes the component occupies in the key.
unsigned int nComponentWidth(const CNAColumn* pclColumn) {
  int n = pclColumn->nGetLogicalSize();
  if (n < 0) n = 0;
  if (bIsWideTextVX(pclColumn->eGetVXType())) n *= 2;
  if (pclColumn->bBinaryString()) n += 2;
  return static_cast<unsigned int>(n);
}

// Bytes a fixed-size component needs to be read at all: its width, but a
// decimal is whole in its 18-byte form.
unsigned int nComponentNeeded(const CNAColumn* pclColumn, unsigned int nWidth) {
  if (pclColumn->eGetVXType() == VX_DECIMAL && nWidth > kVXDecimalFormSize)
    return kVXDecimalFormSize;
  return nWidth;
}

// Texts and binaries are read from however many bytes there are; every
// other type is fixed-size.
bool bIsFixedSize(const CNAColumn* pclColumn) {
  const unsigned short n = pclColumn->eGetVXType();
  return !bIsWideTextVX(n) && !bIsAnsiTextVX(n) && !pclColumn->bBinaryString() && n != VX_BIN;
}

// The bytes of the composite value (none for a missing or NULL value).
void ReadValueBytes(const CAny* pValue, const unsigned char** pp, unsigned int* pn) {
  *pp = nullptr;
  *pn = 0;
  if (pValue == nullptr || pValue->bIsNull() || pValue->nGetTypeCode() == VX_NONE) return;
  void* p = nullptr;
  unsigned int n = 0;
  if (pValue->pclGetIntern()->nGetDataAdr(&p) != 0 || p == nullptr) return;
  if (pValue->pclGetIntern()->nGetDataSize(&n) != 0) return;
  *pp = static_cast<const unsigned char*>(p);
  *pn = n;
}

// The component's value from its bytes in the key, read as the record reads
// the item's slot (the slot form is the key's, plus room for a terminator).
// 0 when memory is refused.
int bDecodeComponent(CNAColumn* pclColumn, const unsigned char* p, unsigned int n,
                     unsigned int nWidth, CAny* pOut) {
  INAItemDescription* piItem = pclColumn->piGetItemNoRef();
  unsigned int nSlot = nWidth + 2;
  const int nTotal = piItem != nullptr ? piItem->nGetTotalSize() : 0;
  if (nTotal > 0 && static_cast<unsigned int>(nTotal) > nSlot) nSlot = static_cast<unsigned int>(nTotal);
  if (nSlot < kVXDecimalFormSize) nSlot = kVXDecimalFormSize;
  unsigned char* pSlot = new (std::nothrow) unsigned char[nSlot]();
  if (pSlot == nullptr) return 0;
  const unsigned short nVX = pclColumn->eGetVXType();
  // A wide text keeps whole UTF-16 units only.
  if (bIsWideTextVX(nVX)) n &= ~1u;
  if (n > nWidth) n = nWidth;
  if (n > 0) std::memcpy(pSlot, p, n);
  if (pclColumn->bBinaryString()) {
    // A cut binary holds no more bytes than were given, whatever its length
    // says.
    unsigned int nLength = n >= 2 ? static_cast<unsigned int>(pSlot[0] | (pSlot[1] << 8)) : 0;
    const unsigned int nHeld = n >= 2 ? n - 2 : 0;
    if (nLength > nHeld) nLength = nHeld;
    pSlot[0] = static_cast<unsigned char>(nLength & 0xFF);
    pSlot[1] = static_cast<unsigned char>(nLength >> 8);
    nSlot = nLength + 2;
  }
  CNAConvertVariant clHolder(nullptr, nullptr);
  int bOk = clHolder.bInitTypeVariant(NA_VT_BUFFER, pSlot, nSlot, nVX);
  if (bOk) {
    clHolder.SetItemDesc(piItem, nullptr);
    bOk = clHolder.bGetValue(pOut);
  }
  clHolder.ResetVariant();
  delete[] pSlot;
  pOut->SetTypeWord(pOut->wGetType() & static_cast<unsigned short>(~0x500u));
  return bOk;
}

// Destroys a node that nobody holds yet (count 0).
void DropNode(CNAExpression* pclNode) {
  if (pclNode == nullptr) return;
  pclNode->AddRef();
  pclNode->nRelease();
}

// The values this file makes are its own: deleted with their list.
class CValueList {
 public:
  CValueList() = default;
  ~CValueList() {
    for (int i = 0; i < m_tab.nGetNbElement(); ++i) delete m_tab[i];
  }
  CValueList(const CValueList&) = delete;
  CValueList& operator=(const CValueList&) = delete;
  CTTableau<CAny*>* pGet() { return &m_tab; }
  int nGetCount() const { return m_tab.nGetNbElement(); }
  // Drops the values from index n on.
  void Truncate(int n) {
    while (m_tab.nGetNbElement() > n) {
      const int nLast = m_tab.nGetNbElement() - 1;
      delete m_tab[nLast];
      m_tab.SupprimeDernier(1);
    }
  }

 private:
  CTTableau<CAny*> m_tab{4, 30};
};

bool bSameColumn(const CNAColumn* a, const CNAColumn* b) {
  if (a == b) return true;
  if (a == nullptr || b == nullptr) return false;
  return wcscasecmp(a->pszGetName(), b->pszGetName()) == 0;
}

bool bListHolds(const CNARefArray<CNAColumn>* pTab, const CNAColumn* pclColumn) {
  for (int i = 0; i < pTab->nGetNbElement(); ++i)
    if (bSameColumn((*pTab)[i], pclColumn)) return true;
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// Composite comparison

CNAExpression* CNARecherche::_pclAddExpression_MultipleItems(
    CNARecord* pclRecord, CNAColumn* pclColumn, eNAOperator eOperator, const CAny* pValue,
    unsigned int nFlags, const CNARefArray<CNAColumn>* pTabColumns) {
  if (pclRecord == nullptr || pclColumn == nullptr) return nullptr;
  CNARefArray<CNAColumn> tabColumns(4, 30);
  CValueList values;
  CNAColumn* pclComposite = nullptr;
  int bMin = 0;
  int bMax = 0;

  if ((nFlags & kOnRecord) != 0) {
    CNAColumn* pclUnique = _pclGetUniqueKeyWithValue(pclRecord, pTabColumns);
    const bool bUniqueComposite = pclColumn->bIsUnique() && pclColumn->bValueDefined();
    if (!bUniqueComposite && eOperator == NA_OP_EQUAL && pclUnique != nullptr &&
        pclUnique->bIsComposedKey() && pclUnique->pclGetTabComponent() != nullptr) {
      // Positioned on the record: its unique key finds the row alone.
      const CNARefArray<CNAColumn>* pTab = pclUnique->pclGetTabComponent();
      for (int i = 0; i < pTab->nGetNbElement(); ++i) {
        CAny* pclValue = new (std::nothrow) CAny;
        if (pclValue == nullptr || !values.pGet()->Ajoute(pclValue)) {
          delete pclValue;
          _RaiseNoMemory(kSiteComponentValueList);
          return nullptr;
        }
        if (!(*pTab)[i]->bGetCurrentValue(pclValue, 0)) {
          m_bBuildFailed = 1;  // a value that cannot be read is no value to search for
          return nullptr;
        }
      }
      return _pclAddKeyExpressionEq(pclRecord, pTab, values.pGet(), pclUnique, nFlags);
    }
    if (pTabColumns != nullptr) {
      if (!tabColumns._Duplique(*pTabColumns)) {
        _RaiseNoMemory(kSiteComponentList);
        return nullptr;
      }
    } else if (!_AddAllItem(pclRecord, pclColumn, &tabColumns)) {
      return nullptr;
    }
    // Each column's current value; past a unique column holding a value the
    // rows are told apart already.
    int nKept = tabColumns.nGetNbElement();
    for (int i = 0; i < tabColumns.nGetNbElement(); ++i) {
      CNAColumn* pclItem = tabColumns[i];
      CAny* pclValue = new (std::nothrow) CAny;
      if (pclValue == nullptr || !values.pGet()->Ajoute(pclValue)) {
        delete pclValue;
        _RaiseNoMemory(kSiteComponentValueList);
        return nullptr;
      }
      if (!pclItem->bGetCurrentValue(pclValue, 0)) {
        m_bBuildFailed = 1;
        return nullptr;
      }
      if (pclItem->bIsUnique() && !pclItem->bIsComposedKey() &&
          !pclItem->bNullOrEquivalent(pclValue)) {
        nKept = i + 1;
        break;
      }
    }
    if (nKept < tabColumns.nGetNbElement())
      tabColumns.Supprime(nKept, tabColumns.nGetNbElement() - nKept);
  } else {
    const CNARefArray<CNAColumn>* pTab = pclColumn->pclGetTabComponent();
    if (pTab == nullptr) return nullptr;
    if (!tabColumns._Duplique(*pTab)) {
      _RaiseNoMemory(kSiteComponentList);
      return nullptr;
    }
    pclComposite = pclColumn;
    if ((nFlags & kRecordValues) != 0) {
      for (int i = 0; i < tabColumns.nGetNbElement(); ++i) {
        CAny* pclValue = new (std::nothrow) CAny;
        if (pclValue == nullptr || !values.pGet()->Ajoute(pclValue)) {
          delete pclValue;
          _RaiseNoMemory(kSiteComponentValueList);
          return nullptr;
        }
        if (!tabColumns[i]->bGetCurrentValue(pclValue, 0)) {
          m_bBuildFailed = 1;
          return nullptr;
        }
      }
    } else if (!_GetComponentValue(&tabColumns, pValue, values.pGet(), &bMin, &bMax,
                                   (nFlags & (kBound | kGeneric)) != 0)) {
      return nullptr;
    }
  }

  if (eOperator == NA_OP_EQUAL)
    return _pclAddKeyExpressionEq(pclRecord, &tabColumns, values.pGet(), pclComposite, nFlags);
  if (eOperator < NA_OP_GREATER || eOperator > NA_OP_LESS_OR_EQUAL) return nullptr;
  int nCount = values.nGetCount();
  if ((nFlags & (kOnRecord | kBound | kGeneric)) == 0) {
    // An exact search found the rows equal on every component (those past
    // the value compared with their empty values): its continuation starts
    // after that whole key, or a browse would skip the rows that share the
    // components given and follow in key order.
    nCount = tabColumns.nGetNbElement();
  }
  if (nCount > tabColumns.nGetNbElement()) nCount = tabColumns.nGetNbElement();
  if ((nFlags & kOnRecord) == 0 && (nFlags & kBound) != 0 &&
      ((bMax && eOperator == NA_OP_LESS_OR_EQUAL) ||
       (bMin && eOperator == NA_OP_GREATER_OR_EQUAL))) {
    // Up to the maximum of the last component (from its minimum) bounds
    // nothing more than the components before it.
    --nCount;
  }
  if (nCount <= 0) return nullptr;
  return _pclAddKeyExpressionInfSup(pclRecord, &tabColumns, values.pGet(), pclComposite, nCount,
                                    eOperator, nFlags);
}

// ---------------------------------------------------------------------------
// Composite equality

CNAExpression* CNARecherche::_pclAddKeyExpressionEq(CNARecord* pclRecord,
                                                    const CNARefArray<CNAColumn>* pTabColumns,
                                                    CTTableau<CAny*>* pTabValues,
                                                    CNAColumn* pclComposite, unsigned int nFlags) {
  if (pTabColumns == nullptr || pTabValues == nullptr) return nullptr;
  const int nColumns = pTabColumns->nGetNbElement();
  const int nValues = pTabValues->nGetNbElement();
  const bool bGeneric = (nFlags & kGeneric) != 0;
  int n = ((nFlags & kBound) != 0 || bGeneric) ? nValues : nColumns;
  if (n > nColumns) n = nColumns;
  if (n <= 0) return nullptr;
  const unsigned int nExact = nFlags & ~kGeneric;

  if ((nFlags & kOnRecord) == 0) {
    // A unique component that holds a value finds the row alone, unless it
    // is the prefix a generic search ends with.
    for (int i = 0; i < n; ++i) {
      CNAColumn* pclItem = (*pTabColumns)[i];
      const bool bGiven = i < nValues && (*pTabValues)[i] != nullptr &&
                          !pclItem->bNullOrEquivalent((*pTabValues)[i]);
      if ((pclItem->bUniqueNotNull() || (pclItem->bIsUnique() && bGiven)) &&
          !(bGeneric && i == n - 1)) {
        CNAExpression* pclLeaf = _pclAddKeyExpression(pclRecord, pTabColumns, pTabValues,
                                                      pclComposite, i, i, NA_OP_EQUAL, nExact,
                                                      NA_OP_AND);
        if (pclLeaf == nullptr) m_bBuildFailed = 1;
        return pclLeaf;
      }
    }
  }

  CNAExpression* pclResult = nullptr;
  for (int i = 0; i < n; ++i) {
    CNAExpression* pclLeaf =
        _pclAddKeyExpression(pclRecord, pTabColumns, pTabValues, pclComposite, i, i, NA_OP_EQUAL,
                             i == n - 1 ? nFlags : nExact, NA_OP_AND);
    if (pclLeaf == nullptr) {
      // Each component gives a comparison: none is a failure, never "no
      // condition" (which would select every row).
      m_bBuildFailed = 1;
      DropNode(pclResult);
      return nullptr;
    }
    if (pclResult == nullptr) {
      pclResult = pclLeaf;
      continue;
    }
    CNAExpression* pclAnd = pclResult->pclAllocExpression(NA_OP_AND, pclResult, pclLeaf, nExact);
    if (pclAnd == nullptr) {
      m_bBuildFailed = 1;
      DropNode(pclResult);
      DropNode(pclLeaf);
      return nullptr;
    }
    pclResult = pclAnd;
  }
  return pclResult;
}

// ---------------------------------------------------------------------------
// Lexicographic comparison

CNAExpression* CNARecherche::_pclAddKeyExpressionInfSup(CNARecord* pclRecord,
                                                        const CNARefArray<CNAColumn>* pTabColumns,
                                                        CTTableau<CAny*>* pTabValues,
                                                        CNAColumn* pclComposite, int nCount,
                                                        eNAOperator eOperator,
                                                        unsigned int nFlags) {
  if (pclRecord == nullptr || pTabColumns == nullptr || pTabValues == nullptr) return nullptr;
  if (eOperator < NA_OP_GREATER || eOperator > NA_OP_LESS_OR_EQUAL) return nullptr;
  if (nCount > pTabColumns->nGetNbElement()) nCount = pTabColumns->nGetNbElement();
  if (nCount <= 0) return nullptr;
  const unsigned int nExact = nFlags & ~kGeneric;
  const bool bStrict = eOperator == NA_OP_GREATER || eOperator == NA_OP_LESS;
  const eNAOperator eStrict = eOperator == NA_OP_LESS_OR_EQUAL      ? NA_OP_LESS
                              : eOperator == NA_OP_GREATER_OR_EQUAL ? NA_OP_GREATER
                                                                    : eOperator;

  // Where the condition ends: at the last component, or earlier when the
  // components so far complete a unique composite key whose NULLs are
  // excluded (equal on all of them is the current row alone, which a
  // strict comparison leaves out).
  int nLast = nCount - 1;
  bool bUniqueEnd = false;
  if (bStrict && nCount > 1 && pclRecord->pclGetTabUniqueComposedKey()->nGetNbElement() > 0) {
    CColumnNullValueExcluded clNullSet;
    for (int i = 0; i < nCount - 1 && !bUniqueEnd; ++i) {
      // The equality on the component lets its NULLs through only when its
      // value is NULL (or counts as NULL).
      CNAColumn* pclItem = (*pTabColumns)[i];
      const CAny* pclValue = i < pTabValues->nGetNbElement() ? (*pTabValues)[i] : nullptr;
      if (!clNullSet.bCombineColumnValuesNullSelected(NA_OP_AND, pclItem,
                                                      pclItem->bNullOrEquivalent(pclValue))) {
        _RaiseNoMemory(kSiteNullSelection);
        return nullptr;
      }
      if (pclRecord->bComposedKeyUniqueNotNullAdded(pTabColumns, i + 1, &clNullSet)) {
        nLast = i;
        bUniqueEnd = true;
      }
    }
  }

  // Built from the end: the last component's bound, then for each
  // component before it OR(c strict v, AND(c = v, rest)).
  CNAExpression* pclResult = nullptr;
  if (bUniqueEnd) {
    pclResult = _pclAddKeyExpression(pclRecord, pTabColumns, pTabValues, pclComposite, nLast,
                                     nLast, eStrict, nExact, NA_OP_AND);
  } else {
    unsigned int nLastFlags = nFlags;
    if (eOperator == NA_OP_LESS_OR_EQUAL && nLast < pTabValues->nGetNbElement() &&
        _bGenericSearchDueTohValMax((*pTabValues)[nLast])) {
      nLastFlags |= kGeneric;
    }
    pclResult = _pclAddBorne(pclRecord, pTabColumns, pTabValues, pclComposite, nLast, eOperator,
                             nLastFlags, NA_OP_AND);
  }
  if (pclResult == nullptr) {
    m_bBuildFailed = 1;
    return nullptr;
  }
  for (int i = nLast - 1; i >= 0; --i) {
    CNAExpression* pclStrict = _pclAddKeyExpression(pclRecord, pTabColumns, pTabValues,
                                                    pclComposite, i, i, eStrict, nExact, NA_OP_AND);
    CNAExpression* pclEqual = pclStrict == nullptr
                                  ? nullptr
                                  : _pclAddKeyExpression(pclRecord, pTabColumns, pTabValues,
                                                         pclComposite, i, i, NA_OP_EQUAL, nExact,
                                                         NA_OP_AND);
    CNAExpression* pclAnd =
        pclEqual == nullptr ? nullptr
                            : pclEqual->pclAllocExpression(NA_OP_AND, pclEqual, pclResult, nExact);
    CNAExpression* pclOr =
        pclAnd == nullptr ? nullptr
                          : pclStrict->pclAllocExpression(NA_OP_OR, pclStrict, pclAnd, nExact);
    if (pclOr == nullptr) {
      m_bBuildFailed = 1;
      if (pclAnd != nullptr) {
        DropNode(pclAnd);  // holds the equality and the rest
      } else {
        DropNode(pclEqual);
        DropNode(pclResult);
      }
      DropNode(pclStrict);
      return nullptr;
    }
    pclResult = pclOr;
  }
  return pclResult;
}

// ---------------------------------------------------------------------------
// Component list of a positioned search

int CNARecherche::_AddAllItem(CNARecord* pclRecord, CNAColumn* pclColumn,
                              CNARefArray<CNAColumn>* pTabOut) {
  if (pclRecord == nullptr || pclColumn == nullptr || pTabOut == nullptr) return 0;
  auto Add = [&](CNAColumn* pclItem) -> int {
    if (bListHolds(pTabOut, pclItem)) return 1;
    if (pTabOut->Ajoute(pclItem)) return 1;
    _RaiseNoMemory(kSiteComponentList);
    return 0;
  };
  const CNARefArray<CNAColumn>* pTabComponents = pclColumn->pclGetTabComponent();
  if (pclColumn->bIsComposedKey() && pTabComponents != nullptr) {
    for (int i = 0; i < pTabComponents->nGetNbElement(); ++i)
      if (!Add((*pTabComponents)[i])) return 0;
  } else if (!Add(pclColumn)) {
    return 0;
  }
  // A unique column that cannot be NULL orders the rows totally: nothing
  // after it tells rows apart. (A unique column that may be NULL does not:
  // the columns after it order its NULL rows.)
  if (!pclColumn->bIsComposedKey() && pclColumn->bUniqueNotNull()) return 1;
  const CNARefArray<CNAColumn>* pTabOrder = pclRecord->pclGetTabColumnOrder();
  for (int i = 0; i < pTabOrder->nGetNbElement(); ++i) {
    CNAColumn* pclItem = (*pTabOrder)[i];
    if (!Add(pclItem)) return 0;
    if (!pclItem->bIsComposedKey() && pclItem->bUniqueNotNull()) break;
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Maximal text of a composite value

int CNARecherche::_bGenericSearchDueTohValMax(CAny* pValue) {
  if (pValue == nullptr || pValue->bIsNull()) return 0;
  const unsigned short nVX = pValue->nGetTypeCode();
  void* p = nullptr;
  unsigned int n = 0;
  if (bIsWideTextVX(nVX)) {
    if (nVX == VX_CARW || nVX == VX_DATEW || nVX == VX_TIMEW) {
      // Fixed areas: read as the text they hold.
      CXYString<wchar_t> str;
      if (pValue->__nFillString(str, nullptr) != 0) return 0;
      n = static_cast<unsigned int>(str.nGetLongueur());
      if (n == 0) return 0;
      const wchar_t c = str.pszGet()[n - 1];
      if (static_cast<unsigned int>(c) != 0xFFFFu && static_cast<unsigned int>(c) != 0xFFFFFFFFu)
        return 0;
      CAny clText;
      clText.__SetType(VX_DSTRW, 0);
      clText.SetValueByte(str.pszGet(), (n - 1) * sizeof(wchar_t));
      *pValue = clText;
      return 1;
    }
    if (pValue->pclGetIntern()->nGetDataAdr(&p) != 0 || p == nullptr) return 0;
    if (pValue->pclGetIntern()->nGetDataSize(&n) != 0) return 0;
    unsigned int nChars = n / sizeof(wchar_t);
    const wchar_t* psz = static_cast<const wchar_t*>(p);
    // The size may count the terminator.
    while (nChars > 0 && psz[nChars - 1] == 0) --nChars;
    if (nChars == 0) return 0;
    const unsigned int c = static_cast<unsigned int>(psz[nChars - 1]);
    if (c != 0xFFFFu && c != 0xFFFFFFFFu) return 0;
    CAny clText;
    clText.__SetType(VX_DSTRW, 0);
    clText.SetValueByte(psz, (nChars - 1) * sizeof(wchar_t));
    *pValue = clText;
    return 1;
  }
  if (!bIsAnsiTextVX(nVX)) return 0;
  if (nVX == VX_CARA || nVX == VX_DATEA || nVX == VX_TIMEA) {
    CXYString<char> str;
    if (pValue->__nFillString(str, nullptr) != 0) return 0;
    n = static_cast<unsigned int>(str.nGetLongueur());
    if (n == 0 || static_cast<unsigned char>(str.pszGet()[n - 1]) != 0xFF) return 0;
    CAny clText;
    clText.__SetType(VX_DSTRA, 0);
    clText.SetValueByte(str.pszGet(), n - 1);
    *pValue = clText;
    return 1;
  }
  if (pValue->pclGetIntern()->nGetDataAdr(&p) != 0 || p == nullptr) return 0;
  if (pValue->pclGetIntern()->nGetDataSize(&n) != 0) return 0;
  const unsigned char* pby = static_cast<const unsigned char*>(p);
  // A zero-terminated text's size may count its terminator.
  while (n > 0 && pby[n - 1] == 0) --n;
  if (n == 0 || pby[n - 1] != 0xFF) return 0;
  CAny clText;
  clText.__SetType(VX_DSTRA, 0);
  clText.SetValueByte(pby, n - 1);
  *pValue = clText;
  return 1;
}

// ---------------------------------------------------------------------------
// Cutting a composite value into its components

int CNARecherche::_GetComponentValue(const CNARefArray<CNAColumn>* pTabComponents,
                                     const CAny* pValue, CTTableau<CAny*>* pTabValues, int* pbMin,
                                     int* pbMax, int bBound) {
  if (pbMin != nullptr) *pbMin = 0;
  if (pbMax != nullptr) *pbMax = 0;
  if (pTabComponents == nullptr || pTabValues == nullptr) return 0;
  const unsigned char* pBytes = nullptr;
  unsigned int nBytes = 0;
  ReadValueBytes(pValue, &pBytes, &nBytes);
  unsigned int nAt = 0;
  for (int i = 0; i < pTabComponents->nGetNbElement() && nAt < nBytes; ++i) {
    CNAColumn* pclColumn = (*pTabComponents)[i];
    const unsigned short nVX = pclColumn->eGetVXType();
    const bool bWide = bIsWideTextVX(nVX);
    const unsigned int nWidth = nComponentWidth(pclColumn);
    const unsigned int nLeft = nBytes - nAt;
    const bool bPartial = nLeft < nWidth;
    const unsigned int nTake = bPartial ? nLeft : nWidth;
    const unsigned char* p = pBytes + nAt;
    nAt += nTake;

    // 1 minimum, 2 maximum.
    int eMark = 0;
    if (bPartial && bBound && !bIsOneByteNumberVX(nVX)) {
      if (bWide) {
        if (nTake >= 2) {
          const unsigned int nUnit = static_cast<unsigned int>(p[0] | (p[1] << 8));
          if (nTake == 2 && nUnit == 0) eMark = 1;
          else if (nUnit == 0xFFFF) eMark = 2;
        }
      } else if (nTake == 1 && p[0] == 0) {
        eMark = 1;
      } else if (p[0] == 0xFF) {
        eMark = 2;
      }
    }

    const bool bExtreme = eMark != 0 && !bWide && !bIsAnsiTextVX(nVX) &&
                          !pclColumn->bBinaryString() && nVX != VX_BIN;
    // A fixed-size component cut short designates no value: it and every
    // component after it are left out. (A component marked as its type's
    // extreme is a whole value.)
    if (!bExtreme && bPartial && bIsFixedSize(pclColumn) &&
        nTake < nComponentNeeded(pclColumn, nWidth)) {
      break;
    }
    CAny* pclOut = new (std::nothrow) CAny;
    if (pclOut == nullptr) {
      _RaiseNoMemory(kSiteComponentValue);
      return 0;
    }
    int bOk = 1;
    if (bExtreme) {
      pclOut->__SetType(nVX, 0);
      if (eMark == 1) s_SetAnyToMin(pclOut);
      else s_SetAnyToMax(pclOut);
    } else {
      bOk = bDecodeComponent(pclColumn, p, nTake, nWidth, pclOut);
    }
    if (!bOk || !pTabValues->Ajoute(pclOut)) {
      delete pclOut;
      _RaiseNoMemory(kSiteComponentValue);
      return 0;
    }
    if (eMark == 1 && pbMin != nullptr) *pbMin = 1;
    if (eMark == 2 && pbMax != nullptr) *pbMax = 1;
  }
  return 1;
}
