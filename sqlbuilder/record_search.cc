// CNARecherche: set-up of a search, its one-column, key and bound
// comparisons, the continuation states, the SQL it writes (with a filter's),
// equality and clones. The composite-key comparisons live in
// record_search_composite.cc, the extreme values in
// record_search_extremes.cc.
//
// Choices of this file where a plain reading of the rules would lose or
// invent rows:
// - A comparison that cannot be built because of memory or of a value the
//   column cannot hold (user error 53) fails the set-up (answer 0, the search
//   inactive): an inactive search writes nothing, which reads every row.
// - A filter bound is "no bound" only at the extreme on its own side: the
//   minimum under a lower bound, the maximum under an upper one. "c >= the
//   maximum" still bounds.
// - A continuation is allowed only when its condition exists: without one
//   (no continuations built, or none could be made) a continuation would
//   write no condition and read every row.
// - Over a table, an item is the record's only when the column at its index
//   carries it (or its name): the index of another file's item would name
//   another column.
// - bGetSQL answers the writer's failure even when the condition did not
//   turn constant (the NULL-selection copy alone would hide it).
#include "sqlbuilder/record_search.h"

#include <cwchar>
#include <new>

#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/column.h"
#include "items/convert_variant.h"
#include "items/record.h"
#include "kq230/item_description_interface.h"
#include "kq230/vm_values.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/filter.h"
#include "values/value_calc.h"

namespace {

constexpr unsigned int kErrNoMemory = 12;

// Sites of the debug lines.
constexpr int kSiteClone = 1;
constexpr int kSiteExpression = 2;
constexpr int kSiteVariant = 3;
constexpr int kSiteParameter = 4;
constexpr int kSiteTree = 5;

// Language types of the texts (the bound and maximal-text rules).
bool bIsTextVXType(unsigned int n) {
  return (n >= 16 && n <= 25) || n == 81 || n == 110 || n == 128 || n == 129 || n == 134;
}
// The texts whose strict upper bound becomes an inclusive generic one.
bool bIsPlainTextVXType(unsigned int n) {
  return (n >= 16 && n <= 23) || n == 81 || n == 110 || n == 134;
}
// Column types of the generic bounds: texts, dates, times, date-times.
bool bIsBoundGenericColumnType(unsigned int n) {
  return (n >= 16 && n <= 26) || n == 81 || n == 110 || n == 128 || n == 129 || n == 134;
}

template <class T>
void ReleaseRef(T*& p) {
  if (p != nullptr) {
    T* pOld = p;
    p = nullptr;
    pOld->nRelease();
  }
}

template <class T>
void SetRef(T*& pField, T* pNew) {
  if (pNew != nullptr) pNew->AddRef();
  ReleaseRef(pField);
  pField = pNew;
}

// Destroys an object born at count 0 that nobody took.
template <class T>
void DropUnowned(T* p) {
  if (p != nullptr && p->nGetRefCount() == 0) {
    p->AddRef();
    p->nRelease();
  }
}

bool bSameText(const wchar_t* a, const wchar_t* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return std::wcscmp(a, b) == 0;
}

// Equality of two searched values: both untyped, both NULL, or equal by the
// language.
bool bSameValue(const CAny& a, const CAny& b) {
  if (a.wGetType() == 0 || b.wGetType() == 0) return a.wGetType() == b.wGetType();
  if (a.bIsNull() || b.bIsNull()) return a.bIsNull() && b.bIsNull();
  int nResult = 0;
  return nEgalite(a, b, &nResult, 0) == 0 && nResult != 0;
}

}  // namespace

int g_bItemUniqueNotNull(INAItemDescription* piItem) {
  if (piItem == nullptr) return 0;
  if (piItem->bPrimary()) return 1;
  if (!piItem->bUnique()) return 0;
  if (piItem->nGetVersion() > 8) return piItem->vbConstraintNullAllowed() ? 0 : 1;
  const eNA_ITEMTYPE e = piItem->eNAGetItemType();
  return e == NA_IT_IDAUTO || e == NA_IT_IDAUTO4;
}

// ---- Life

CNARecherche::CNARecherche(CNAError* pclError, CNAConnectionDescription* pclConnection)
    : m_pclError(pclError), m_pclConnection(pclConnection) {
  if (m_pclError != nullptr) m_pclError->AddRef();
  KQAddRef(m_pclConnection);
}

CNARecherche::CNARecherche() = default;

CNARecherche::~CNARecherche() {
  _ReleaseTrees();
  m_tabParameters.SupprimeTout();
  if (m_piFetchItem != nullptr) m_piFetchItem->nExternalRelease();
  m_piFetchItem = nullptr;
  KQRelease(m_pclConnection);
  m_pclConnection = nullptr;
  ReleaseRef(m_pclError);
}

void CNARecherche::_ReleaseTrees() {
  ReleaseRef(m_pclCurrent);
  ReleaseRef(m_pclSearch);
  ReleaseRef(m_pclForward);
  ReleaseRef(m_pclBackward);
}

void CNARecherche::_RaiseNoMemory(int nSite) {
  m_bBuildFailed = 1;
  CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kNAFileRecordSearch, nSite, m_pclConnection,
                     nullptr, nullptr, kErrNoMemory);
}

// ---- Virtual operations

CNAExpression* CNARecherche::pclAllocExpression() {
  auto* p = new (std::nothrow) CNAExpression(m_pclError);
  if (p == nullptr) _RaiseNoMemory(kSiteExpression);
  return p;
}

CNARecherche* CNARecherche::_pclAllocRecherche() { return new (std::nothrow) CNARecherche(); }

CNARecherche* CNARecherche::pclClone() {
  CNARecherche* p = _pclAllocRecherche();
  if (p == nullptr) {
    _RaiseNoMemory(kSiteClone);
    return nullptr;
  }
  if (!p->m_tabParameters._Duplique(m_tabParameters)) {
    DropUnowned(p);
    _RaiseNoMemory(kSiteClone);
    return nullptr;
  }
  SetRef(p->m_pclError, m_pclError);
  KQAddRef(m_pclConnection);
  KQRelease(p->m_pclConnection);
  p->m_pclConnection = m_pclConnection;
  SetRef(p->m_pclSearch, m_pclSearch);
  SetRef(p->m_pclForward, m_pclForward);
  SetRef(p->m_pclBackward, m_pclBackward);
  SetRef(p->m_pclCurrent, m_pclCurrent);
  p->m_nState = m_nState;
  p->m_eDirection = m_eDirection;
  p->m_bFound = m_bFound;
  p->m_nFlags = m_nFlags;
  p->m_Value = m_Value;
  return p;
}

int CNARecherche::bGetSQL(CNACommand* pclCommand, CNAFilter* pclFilter, CNARecord* pclRecord) {
  pclCommand->ResetCommand(0);
  m_tabParameters.SupprimeTout();

  CNAExpression* pclSearch = m_nState != 0 ? m_pclCurrent : nullptr;
  CNAExpression* pclFilterCondition = nullptr;
  if (pclFilter != nullptr) {
    CNARecherche* pclAsSearch = pclFilter;
    if (pclAsSearch->m_nState != 0) pclFilterCondition = pclAsSearch->m_pclSearch;
  }
  CNAExpression* pclCondition = nullptr;
  if (pclSearch != nullptr && pclFilterCondition != nullptr) {
    pclCondition = pclFilterCondition->pclAllocExpression(
        NA_OP_AND, pclFilterCondition, pclSearch, bIsComposedKeySearch() ? kComposedKey : 0);
    if (pclCondition == nullptr) {
      _RaiseNoMemory(kSiteTree);
      return 0;
    }
  } else {
    pclCondition = pclSearch != nullptr ? pclSearch : pclFilterCondition;
  }
  if (pclCondition == nullptr) return 1;

  pclCondition->AddRef();
  int bConstant = 0;
  int bResult = pclCondition->bGetSQL(pclCommand, NA_OP_EMPTY, this, &bConstant, pclRecord);
  if (bConstant) {
    // An always-false condition still has to select nothing; an always-true
    // one is no condition at all.
    if (pclCondition->eGetOperator() == NA_OP_ALWAYS_FALSE && pclCommand->nGetTextLength() == 0)
      pclCommand->bComplete(CNAExpression::s_pszDumpOp(NA_OP_ALWAYS_FALSE));
  } else {
    const int bCopied =
        pclCommand->bCopyColumnValuesNullSelected(pclCondition->pclGetNullSelectionNoRef());
    bResult = bResult && bCopied;
  }
  pclCondition->nRelease();
  return bResult ? 1 : 0;
}

// ---- Set-up

int CNARecherche::bSetRecherche(CNARecord* pclRecord, INAItemDescription* piItem,
                                const CAny* pValue, eNA_PARSEDIRECTION eDirection, int bExact,
                                int /*nUnused*/) {
  return _bSetRecherche(pclRecord, piItem, pValue, eDirection, bExact ? 0u : kGeneric, nullptr);
}

int CNARecherche::bRechercheEnreg(CNARecord* pclRecord, INAItemDescription* piItem,
                                  eNA_PARSEDIRECTION eDirection, int bNoContinuation,
                                  const CNARefArray<CNAColumn>* pTabColumns) {
  const unsigned int nFlags =
      kOnRecord | kRecordValues | (bNoContinuation ? kNoContinuation : 0u);
  return _bSetRecherche(pclRecord, piItem, nullptr, eDirection, nFlags, pTabColumns);
}

CNAColumn* CNARecherche::_pclGetColumnOfItem(CNARecord* pclRecord, INAItemDescription* piItem) {
  if (pclRecord == nullptr || piItem == nullptr) return nullptr;
  CNAColumn* pclColumn = pclRecord->pclGetColumnNoRef(piItem);
  if (pclColumn == nullptr || pclRecord->bSourceIsQuery()) return pclColumn;
  INAItemDescription* piOwn = pclColumn->piGetItemNoRef();
  if (piOwn == piItem) return pclColumn;
  if (piOwn != nullptr && bSameText(piOwn->pszGetName(), piItem->pszGetName())) return pclColumn;
  return nullptr;
}

CNAColumn* CNARecherche::_pclGetUniqueKeyWithValue(CNARecord* pclRecord,
                                                   const CNARefArray<CNAColumn>* pTabColumns) {
  if (pTabColumns == nullptr) return pclRecord->pclGetUniqueKeyNotNullNoRef();
  for (int i = 0; i < pTabColumns->nGetNbElement(); ++i) {
    CNAColumn* pclColumn = (*pTabColumns)[i];
    if (pclColumn != nullptr && pclColumn->bIsUnique() && pclColumn->bValueDefined())
      return pclColumn;
  }
  return nullptr;
}

int CNARecherche::_bSetRecherche(CNARecord* pclRecord, INAItemDescription* piItem,
                                 const CAny* pValue, eNA_PARSEDIRECTION eDirection,
                                 unsigned int nFlags, const CNARefArray<CNAColumn>* pTabColumns) {
  _ReleaseTrees();
  if (pValue != nullptr) m_Value = *pValue;
  m_nState = 1;
  m_bFound = 0;
  m_eDirection = eDirection;
  m_nFlags = nFlags;
  if (piItem != nullptr) piItem->ExternalAddRef();
  if (m_piFetchItem != nullptr) m_piFetchItem->nExternalRelease();
  m_piFetchItem = piItem;
  m_bBuildFailed = 0;

  CNAColumn* pclItemColumn = _pclGetColumnOfItem(pclRecord, piItem);
  const CAny* pSearched = pValue != nullptr ? &m_Value : nullptr;

  // Positioned on the record over an item that does not tell one row: the
  // row's unique key does.
  CNAExpression* pclSearch = nullptr;
  bool bBuilt = false;
  if ((nFlags & kOnRecord) != 0 && pclRecord != nullptr) {
    const bool bItemUnique = pclItemColumn != nullptr ? pclItemColumn->bIsUnique() != 0
                                                      : (piItem != nullptr && piItem->bUnique());
    if (!bItemUnique) {
      CNAColumn* pclKey = _pclGetUniqueKeyWithValue(pclRecord, pTabColumns);
      if (pclKey != nullptr) {
        pclSearch = _pclAddExpression(pclRecord, pclKey->piGetItemNoRef(), NA_OP_EQUAL, nullptr,
                                      nFlags, pTabColumns);
        bBuilt = true;
      }
    }
  }
  if (!bBuilt)
    pclSearch = _pclAddExpression(pclRecord, piItem, NA_OP_EQUAL, pSearched, nFlags, pTabColumns);
  if (pclSearch == nullptr) {
    m_nState = 0;
    return m_bBuildFailed ? 0 : 1;
  }
  SetRef(m_pclSearch, pclSearch);

  if ((nFlags & kNoContinuation) == 0) {
    const bool bRebuild = piItem == nullptr || (pclItemColumn != nullptr
                                                    ? pclItemColumn->bIsComposedKey() != 0
                                                    : piItem->bIsComposedKey() != 0) ||
                          ((nFlags & kOnRecord) != 0 && !g_bItemUniqueNotNull(piItem));
    m_pclForward = _pclBuildContinuation(pclRecord, piItem, pSearched, NA_OP_GREATER, pTabColumns,
                                         bRebuild);
    m_pclBackward = _pclBuildContinuation(pclRecord, piItem, pSearched, NA_OP_LESS, pTabColumns,
                                          bRebuild);
    if (m_bBuildFailed) {
      _ReleaseTrees();
      m_nState = 0;
      return 0;
    }
  }
  SetRef(m_pclCurrent, m_pclSearch);
  return 1;
}

CNAExpression* CNARecherche::_pclBuildContinuation(CNARecord* pclRecord,
                                                   INAItemDescription* piItem,
                                                   const CAny* pValue, eNAOperator eOperator,
                                                   const CNARefArray<CNAColumn>* pTabColumns,
                                                   int bRebuild) {
  CNAExpression* pclResult = nullptr;
  if (bRebuild) {
    // Without an item the search condition is the unique key's equality:
    // its continuation is built on that key.
    INAItemDescription* piOn = piItem;
    if (piOn == nullptr) {
      CNAColumn* pclKey = pclRecord != nullptr ? _pclGetUniqueKeyWithValue(pclRecord, pTabColumns)
                                               : nullptr;
      if (pclKey == nullptr) return nullptr;
      piOn = pclKey->piGetItemNoRef();
    }
    pclResult = _pclAddExpression(pclRecord, piOn, eOperator, pValue, m_nFlags, pTabColumns);
    if (pclResult != nullptr) pclResult->AddRef();
    return pclResult;
  }
  CNAExpression* pclClone = m_pclSearch->pclClone();
  if (pclClone == nullptr) {
    _RaiseNoMemory(kSiteTree);
    return nullptr;
  }
  pclClone->AddRef();
  CNAExpression* pclTransformed = pclClone->pclTransformEqualTo(pclRecord, nullptr, eOperator);
  if (pclTransformed != nullptr) {
    // A new subtree (a generic text going forward) holds the clone itself.
    pclTransformed->AddRef();
    pclResult = pclTransformed;
  }
  pclClone->nRelease();
  return pclResult;
}

// ---- Building comparisons

CNAExpression* CNARecherche::_pclAddExpression(CNARecord* pclRecord, INAItemDescription* piItem,
                                               eNAOperator eOperator, const CAny* pValue,
                                               unsigned int nFlags,
                                               const CNARefArray<CNAColumn>* pTabColumns) {
  CNAColumn* pclColumn = _pclGetColumnOfItem(pclRecord, piItem);
  if (pclColumn == nullptr) return nullptr;
  if ((nFlags & (kOnRecord | kRecordValues)) == 0 && pValue != nullptr) {
    CNAConnectionDescription* pclConnection =
        m_pclConnection != nullptr ? m_pclConnection : pclRecord->pclGetConnectionNoRef();
    if (CNAExpression::s_bExpressionTrue(eOperator, pclConnection, pValue)) return nullptr;
  }
  if ((nFlags & kOnRecord) != 0) {
    if (pclColumn->bIsUnique() && !pclColumn->bIsComposedKey() && pclColumn->bValueDefined())
      return _pclAddExpression_OneItem(pclRecord, pclColumn, eOperator, pValue, nFlags);
    if (eOperator == NA_OP_EQUAL) {
      CNAColumn* pclKey = _pclGetUniqueKeyWithValue(pclRecord, pTabColumns);
      if (pclKey != nullptr && !pclKey->bIsComposedKey())
        return _pclAddExpression_OneItem(pclRecord, pclKey, eOperator, pValue, nFlags);
    }
    return _pclAddExpression_MultipleItems(pclRecord, pclColumn, eOperator, pValue, nFlags,
                                           pTabColumns);
  }
  if (pclColumn->bIsComposedKey())
    return _pclAddExpression_MultipleItems(pclRecord, pclColumn, eOperator, pValue, nFlags,
                                           pTabColumns);
  return _pclAddExpression_OneItem(pclRecord, pclColumn, eOperator, pValue, nFlags);
}

CNAExpression* CNARecherche::_pclAddExpression_OneItem(CNARecord* pclRecord, CNAColumn* pclColumn,
                                                       eNAOperator eOperator, const CAny* pValue,
                                                       unsigned int nFlags) {
  CAny clValue;
  if ((nFlags & (kOnRecord | kRecordValues)) != 0) {
    if (!pclColumn->bGetCurrentValue(&clValue, 0)) {
      // A value that cannot be read is no value to search for.
      m_bBuildFailed = 1;
      return nullptr;
    }
  } else if (pValue != nullptr) {
    clValue = *pValue;
  }

  CNARefArray<CNAColumn> tabColumns(1, 30);
  CTTableau<CAny*> tabValues(1, 30);
  if (!tabColumns.Ajoute(pclColumn) || !tabValues.Ajoute(&clValue)) {
    _RaiseNoMemory(kSiteTree);
    return nullptr;
  }

  if ((nFlags & kBound) != 0 && eOperator != NA_OP_EQUAL) {
    int bGeneric = (nFlags & kGeneric) != 0;
    if (!_GetValue(pclColumn, &clValue, &eOperator, &bGeneric)) return nullptr;
    nFlags = bGeneric ? (nFlags | kGeneric) : (nFlags & ~kGeneric);
    return _pclAddBorne(pclRecord, &tabColumns, &tabValues, nullptr, 0, eOperator, nFlags,
                        NA_OP_AND);
  }
  if (_bEndsWithZeroCharacter(&clValue)) nFlags &= ~kGeneric;
  return _pclAddKeyExpression(pclRecord, &tabColumns, &tabValues, nullptr, 0, 0, eOperator, nFlags,
                              NA_OP_AND);
}

int CNARecherche::_GetValue(CNAColumn* pclColumn, CAny* pValue, eNAOperator* peOperator,
                            int* pbGeneric) {
  const int eClass = eCheckValue(pValue);
  if (eClass == 0) return 1;
  const bool bLower = *peOperator == NA_OP_GREATER || *peOperator == NA_OP_GREATER_OR_EQUAL;
  const bool bUpper = *peOperator == NA_OP_LESS || *peOperator == NA_OP_LESS_OR_EQUAL;
  const unsigned int nType = pValue->nGetTypeCode();
  if (eClass == 2 && bIsTextVXType(nType) && _bIsMaximalText(pValue)) {
    // The text up to its marker is a prefix: the bound reaches every text
    // that begins with it.
    if (!_bCutHighMarker(pValue)) return 0;
    *pbGeneric = 1;
    if (*peOperator == NA_OP_LESS_OR_EQUAL && (nType == VX_DATEA || nType == VX_TIMEA)) {
      // An 8-bit date or time: up to the first instant after the prefix's
      // range; past MariaDB's last instant there is no upper bound.
      eNA_ITEMTYPE eItemType = pclColumn != nullptr ? pclColumn->eNAGetItemType()
                                                    : (nType == VX_DATEA ? NA_IT_DATE8 : NA_IT_HEURE);
      CAny clAfter;
      if (!CNAExpression::s_bGetBorneRechercheDateMax(eItemType, pValue, &clAfter)) return 0;
      *pValue = clAfter;
      *peOperator = NA_OP_LESS;
      *pbGeneric = 0;
    } else if (*peOperator == NA_OP_LESS && bIsPlainTextVXType(nType)) {
      *peOperator = NA_OP_LESS_OR_EQUAL;
    }
    return 1;
  }
  // An extreme on its own side bounds nothing; on the other side it still
  // selects (only) the rows at the extreme.
  if (eClass == 1 && bUpper) return 1;
  if (eClass == 2 && bLower) return 1;
  return 0;
}

CNAExpression* CNARecherche::_pclAddKeyExpression(CNARecord* pclRecord,
                                                  const CNARefArray<CNAColumn>* pTabColumns,
                                                  CTTableau<CAny*>* pTabValues,
                                                  CNAColumn* pclComposite, int nFirst, int nLast,
                                                  eNAOperator eOperator, unsigned int nFlags,
                                                  eNAOperator eJoin) {
  if (pTabColumns == nullptr || nFirst < 0 || nFirst >= pTabColumns->nGetNbElement())
    return nullptr;
  CNAColumn* pclColumn = (*pTabColumns)[nFirst];
  if (pclColumn == nullptr) return nullptr;

  eNAOperator eLeaf = eOperator;
  const int bDescending = pclComposite == nullptr
                              ? CNAExpression::s_eGetSensTriColonne(pclRecord, pclColumn)
                              : pclComposite->bGetDescendantComponent(nFirst + 1);
  if (bDescending) eLeaf = CNAExpression::s_eInvertOperator(eLeaf);

  const unsigned short nColumnType = pclColumn->eGetVXType();
  CAny clEmpty;
  const CAny* pValue = nullptr;
  if (pTabValues != nullptr && nFirst < pTabValues->nGetNbElement())
    pValue = (*pTabValues)[nFirst];
  if (pValue == nullptr || pValue->wGetType() == 0) {
    // Beyond the values given: the column's empty value, which for a
    // date-time or an 8-bit date is NULL. Only an equality becomes IS NULL:
    // a strict comparison with NULL is the NULL writer's (IS NOT NULL or a
    // constant), and IS NULL there would select the wrong rows.
    clEmpty.__SetType(nColumnType, 0);
    if (nColumnType == VX_DATETIME || nColumnType == VX_DATEA) {
      clEmpty.SetNull(true);
      if (eLeaf == NA_OP_EQUAL) eLeaf = NA_OP_IS_NULL;
    }
    pValue = &clEmpty;
  }

  const bool bGeneric = (nFlags & kGeneric) != 0;
  const bool bTypedByValue =
      bGeneric &&
      (nColumnType == VX_DATETIME || nColumnType == VX_DATEA || nColumnType == VX_TIMEA) &&
      bIsPlainTextVXType(pValue->nGetTypeCode());
  CNAConvertVariant* pclHolder = _pclNewVariant(bTypedByValue ? nullptr : pclColumn, pValue);
  if (pclHolder == nullptr) return nullptr;
  pclHolder->AddRef();

  const unsigned int nLeafFlags = nFlags | (pclComposite != nullptr ? kComposedKey : 0u);
  CNAExpression* pclFactory = pclAllocExpression();
  CNAExpression* pclLeaf = nullptr;
  if (pclFactory != nullptr) {
    pclFactory->AddRef();
    pclLeaf = pclFactory->pclAllocExpression(eLeaf, pclColumn, pclHolder, nLeafFlags);
    pclFactory->nRelease();
  }
  pclHolder->nRelease();
  if (pclLeaf == nullptr) {
    _RaiseNoMemory(kSiteTree);
    return nullptr;
  }
  if (nFirst >= nLast) return pclLeaf;

  CNAExpression* pclRest = _pclAddKeyExpression(pclRecord, pTabColumns, pTabValues, pclComposite,
                                                nFirst + 1, nLast, eOperator, nFlags, eJoin);
  if (pclRest == nullptr) {
    // A failure already marked the build; otherwise the rest gave nothing
    // and the first comparison stands alone.
    if (!m_bBuildFailed) return pclLeaf;
    DropUnowned(pclLeaf);
    return nullptr;
  }
  CNAExpression* pclResult = pclLeaf->pclAddOperation(eJoin, pclRest);
  if (pclResult == nullptr) {
    DropUnowned(pclLeaf);
    DropUnowned(pclRest);
    _RaiseNoMemory(kSiteTree);
  }
  return pclResult;
}

CNAExpression* CNARecherche::_pclAddBorne(CNARecord* pclRecord,
                                          const CNARefArray<CNAColumn>* pTabColumns,
                                          CTTableau<CAny*>* pTabValues, CNAColumn* pclComposite,
                                          int nIndex, eNAOperator eOperator, unsigned int nFlags,
                                          eNAOperator eJoin) {
  CNAColumn* pclColumn = pTabColumns != nullptr && nIndex >= 0 &&
                                 nIndex < pTabColumns->nGetNbElement()
                             ? (*pTabColumns)[nIndex]
                             : nullptr;
  const bool bGeneric = (nFlags & kGeneric) != 0;
  if (pclColumn == nullptr || !bGeneric || !bIsBoundGenericColumnType(pclColumn->eGetVXType()) ||
      (eOperator != NA_OP_GREATER && eOperator != NA_OP_LESS_OR_EQUAL)) {
    return _pclAddKeyExpression(pclRecord, pTabColumns, pTabValues, pclComposite, nIndex, nIndex,
                                eOperator, nFlags, eJoin);
  }
  // After the prefix's range: greater than it and not beginning with it. Up
  // to the end of the range: less than it or beginning with it.
  const bool bAfter = eOperator == NA_OP_GREATER;
  CNAExpression* pclExact =
      _pclAddKeyExpression(pclRecord, pTabColumns, pTabValues, pclComposite, nIndex, nIndex,
                           bAfter ? NA_OP_GREATER : NA_OP_LESS, nFlags & ~kGeneric, eJoin);
  if (pclExact == nullptr) return nullptr;
  pclExact->AddRef();
  CNAExpression* pclPrefix =
      _pclAddKeyExpression(pclRecord, pTabColumns, pTabValues, pclComposite, nIndex, nIndex,
                           bAfter ? NA_OP_DIFFERENT : NA_OP_EQUAL, nFlags, eJoin);
  CNAExpression* pclResult = nullptr;
  if (pclPrefix != nullptr) {
    pclPrefix->AddRef();
    pclResult = pclExact->pclAllocExpression(bAfter ? NA_OP_AND : NA_OP_OR, pclExact, pclPrefix,
                                             nFlags);
    if (pclResult == nullptr) _RaiseNoMemory(kSiteTree);
    pclPrefix->nRelease();
  }
  pclExact->nRelease();
  return pclResult;
}

CNAConvertVariant* CNARecherche::_pclNewVariant(CNAColumn* pclColumn, const CAny* pValue) {
  CNAConvertVariant* pclValue = nullptr;
  if (CNADriver::s_pclDriver != nullptr) {
    CNAConnectionDescription* pclConnection =
        m_pclConnection != nullptr ? m_pclConnection
                                   : (pclColumn != nullptr ? pclColumn->pclGetCnx() : nullptr);
    pclValue = static_cast<CNAConvertVariant*>(
        CNADriver::s_pclDriver->pclAllocVariant(m_pclError, pclConnection));
  }
  if (pclValue == nullptr) {
    _RaiseNoMemory(kSiteVariant);
    return nullptr;
  }
  if (pclColumn != nullptr) {
    pclColumn->bInitVariant_NV_Any(m_pclError, pclValue, 0);
  } else {
    pclValue->InitTypeVariantAny(pValue != nullptr ? pValue->nGetTypeCode() : 0, 0);
  }
  if (pValue != nullptr && pValue->bIsNull()) {
    pclValue->SetNull();
  } else if (pValue != nullptr && !pclValue->bSetValue(pValue)) {
    // The holder recorded user error 53: the value cannot be the column's.
    m_bBuildFailed = 1;
    DropUnowned(pclValue);
    return nullptr;
  }
  return pclValue;
}

int CNARecherche::bAddExpression(CNARecord* pclRecord, INAItemDescription* piItem,
                                 eNAOperator eOperator, const CAny* pValue, int bGeneric,
                                 eNAOperator eJoin, int bBound) {
  if (m_nState == 0) _ReleaseTrees();
  m_bBuildFailed = 0;
  const unsigned int nFlags = (bGeneric ? kGeneric : 0u) | (bBound ? kBound : 0u);
  CNAExpression* pclNew = _pclAddExpression(pclRecord, piItem, eOperator, pValue, nFlags, nullptr);
  if (pclNew == nullptr) {
    if (m_bBuildFailed) return 0;
  } else {
    pclNew->AddRef();
    CNAExpression** appTrees[] = {&m_pclSearch, &m_pclForward, &m_pclBackward};
    const bool bFresh = m_pclSearch == nullptr;
    bool bFirst = true;
    int bResult = 1;
    for (CNAExpression** ppTree : appTrees) {
      // A continuation that was never built stays so (joining the comparison
      // alone would continue past the search).
      if (*ppTree == nullptr && !bFresh) continue;
      // Each tree gets a comparison of its own: writing changes nodes.
      CNAExpression* pclPart = bFirst ? pclNew : pclNew->pclClone();
      bFirst = false;
      if (pclPart == nullptr) {
        _RaiseNoMemory(kSiteTree);
        bResult = 0;
        break;
      }
      if (*ppTree == nullptr) {
        SetRef(*ppTree, pclPart);
        continue;
      }
      pclPart->AddRef();
      CNAExpression* pclJoined = (*ppTree)->pclAddOperation(eJoin, pclPart);
      pclPart->nRelease();
      if (pclJoined == nullptr) {
        _RaiseNoMemory(kSiteTree);
        bResult = 0;
        break;
      }
      SetRef(*ppTree, pclJoined);
    }
    pclNew->nRelease();
    if (!bResult) return 0;
  }
  m_nState = 1;
  SetRef(m_pclCurrent, m_pclSearch);
  return 1;
}

// ---- States

void CNARecherche::Activate() {
  m_nState = 1;
  SetRef(m_pclCurrent, m_pclSearch);
}

void CNARecherche::Desactivate() {
  m_nState = 0;
  ReleaseRef(m_pclCurrent);
}

int CNARecherche::bPeutContinuerParcours(eNA_PARSEDIRECTION eDirection) const {
  if (m_nState == 1)
    return (eDirection == NA_PARSE_LAST ? m_pclBackward : m_pclForward) != nullptr ? 1 : 0;
  if (m_nState == 2) return eDirection != m_eDirection ? 1 : 0;
  return 0;
}

int CNARecherche::bSetContinueParcours(eNA_PARSEDIRECTION eDirection) {
  ReleaseRef(m_pclCurrent);
  if (m_nState == 1) {
    m_nState = 2;
    SetRef(m_pclCurrent, eDirection == NA_PARSE_LAST ? m_pclBackward : m_pclForward);
  } else {
    m_nState = 1;
    SetRef(m_pclCurrent, m_pclSearch);
  }
  m_eDirection = eDirection;
  return 1;
}

int CNARecherche::bReviensParcoursPrecedent(eNA_PARSEDIRECTION eDirection) {
  return bSetContinueParcours(eDirection);
}

int CNARecherche::bIsComposedKeySearch() const {
  return (m_nFlags & kOnRecord) == 0 && m_piFetchItem != nullptr &&
                 m_piFetchItem->bIsComposedKey()
             ? 1
             : 0;
}

// ---- Trees and parameters

CNAExpression* CNARecherche::pclGetExpression() const {
  if (m_pclSearch != nullptr) m_pclSearch->AddRef();
  return m_pclSearch;
}

CNAParameter* CNARecherche::pclGetParameter(int n) const {
  if (n < 0 || n >= m_tabParameters.nGetNbElement()) return nullptr;
  CNAParameter* p = m_tabParameters[n];
  if (p != nullptr) p->AddRef();
  return p;
}

CNAParameter* CNARecherche::_pclAddParameter(CNAColumn* pclColumn, CNAConvertVariant* pclValue,
                                             unsigned int nPosition, unsigned int nOptions) {
  CNAParameter* pclParameter = nullptr;
  if (CNADriver::s_pclDriver != nullptr)
    pclParameter = static_cast<CNAParameter*>(
        CNADriver::s_pclDriver->pclAllocParameter(pclValue, nPosition, nOptions, nullptr));
  if (pclParameter == nullptr) {
    _RaiseNoMemory(kSiteParameter);
    return nullptr;
  }
  if (pclColumn != nullptr) pclParameter->SetColum(pclColumn);
  if (!m_tabParameters.Ajoute(pclParameter)) {
    DropUnowned(pclParameter);
    _RaiseNoMemory(kSiteParameter);
    return nullptr;
  }
  return pclParameter;
}

void CNARecherche::_RemoveParameterByPos(unsigned int nPosition) {
  while (m_tabParameters.nGetNbElement() > 0) {
    CNAParameter* p = m_tabParameters[m_tabParameters.nGetNbElement() - 1];
    if (p != nullptr && p->nGetPosition() < nPosition) break;
    m_tabParameters.SupprimeDernier(1);
  }
}

void CNARecherche::GetParameterFromQuery(CNACommand* pclCommand, unsigned int nFrom) {
  if (pclCommand == nullptr) return;
  const unsigned int n = pclCommand->nGetParameterNbr();
  for (unsigned int i = nFrom; i < n; ++i) {
    if (!m_tabParameters.Ajoute(pclCommand->pclGetParameterNoRef(i))) {
      _RaiseNoMemory(kSiteParameter);
      return;
    }
  }
}

// ---- Equality

int CNARecherche::bEqualsSearch(const CNARecherche* pclOther) const {
  if (pclOther == this) return 1;
  if (pclOther == nullptr) return 0;
  if (m_nState != pclOther->m_nState || m_eDirection != pclOther->m_eDirection ||
      m_nFlags != pclOther->m_nFlags)
    return 0;
  if ((m_piFetchItem == nullptr) != (pclOther->m_piFetchItem == nullptr)) return 0;
  if (m_piFetchItem != nullptr &&
      !bSameText(m_piFetchItem->pszGetName(), pclOther->m_piFetchItem->pszGetName()))
    return 0;
  if (!bSameValue(m_Value, pclOther->m_Value)) return 0;
  const int n = m_tabParameters.nGetNbElement();
  if (n != pclOther->m_tabParameters.nGetNbElement()) return 0;
  for (int i = 0; i < n; ++i) {
    const CNAParameter* a = m_tabParameters[i];
    const CNAParameter* b = pclOther->m_tabParameters[i];
    if (a == nullptr || b == nullptr) {
      if (a != b) return 0;
      continue;
    }
    if (!a->bEqualsParameter(b)) return 0;
  }
  return 1;
}

int CNARecherche::g_bEqualsSearch(const CNARecherche* pclA, const CNARecherche* pclB) {
  if (pclA == nullptr && pclB == nullptr) return 1;
  if (pclA == nullptr) return pclB->m_nState == 0 ? 1 : 0;
  if (pclB == nullptr) return pclA->m_nState == 0 ? 1 : 0;
  return pclA->bEqualsSearch(pclB);
}

// ---- Statics

int CNARecherche::s_bEspaceSQL(wchar_t c) { return CNACommand::s_bEspaceSQL(c); }
