// CNAFilter: the bounds of a browse as a search condition; CNAFilterSave: a
// filter kept with the active state it had.
#include "sqlbuilder/filter.h"

#include <new>

#include "core/counted_string.h"
#include "driver/reference_counted.h"
#include "kq230/item_description_interface.h"
#include "values/value_calc.h"

namespace {

// Whether the two bounds are the same value by the language's equality (a
// NULL bound equals nothing).
bool bSameBound(const CAny& a, const CAny& b) {
  int bEqual = 0;
  if (nEgalite(a, b, &bEqual, 0) >= 100) return false;
  return bEqual != 0;
}

// Both absent, or both present and the same value (two NULL bounds are the
// same bound).
bool bSameOptionalBound(int bHasA, const CAny& a, int bHasB, const CAny& b) {
  if (!bHasA || !bHasB) return !bHasA && !bHasB;
  if (a.bIsNull() || b.bIsNull()) return a.bIsNull() && b.bIsNull();
  return a.nGetTypeCode() == b.nGetTypeCode() && bSameBound(a, b);
}

// Whether a lower bound stands for the engine's NULL: no value, 0, or the
// empty text (by its length: a text beginning with a character 0 is a value
// like any other).
bool bLowerBoundStandsForNull(const CAny& v) {
  const unsigned short n = v.nGetTypeCode();
  if (v.bIsNull() || n == VX_NONE) return true;
  const bool bText = (n >= 16 && n <= 25) || n == VX_CARW || n == VX_PSTRW || n == VX_DATEA ||
                     n == VX_TIMEA || n == 134;
  if (bText) {
    CXYString<wchar_t> clText;
    if (v.__nFillString(clText, nullptr) > kVXLastSuccess) return false;
    return clText.nGetLongueur() == 0;
  }
  double d = 1.0;
  return v.nGetREAL(&d) == 0 && d == 0.0;
}

}  // namespace

CNAFilter::CNAFilter(CNAError* pclError, CNAConnectionDescription* pclConnection)
    : CNARecherche(pclError, pclConnection) {}

CNAFilter::~CNAFilter() = default;

CNARecherche* CNAFilter::pclClone() { return pclCloneFilter(); }

CNARecherche* CNAFilter::_pclAllocRecherche() { return new (std::nothrow) CNAFilter(); }

CNAFilter* CNAFilter::pclCloneFilter() {
  // The search's clone allocates through _pclAllocRecherche: a CNAFilter.
  auto* pclClone = static_cast<CNAFilter*>(CNARecherche::pclClone());
  if (pclClone == nullptr) return nullptr;
  pclClone->m_Lower = m_Lower;
  pclClone->m_Upper = m_Upper;
  pclClone->m_bHasLower = m_bHasLower;
  pclClone->m_bHasUpper = m_bHasUpper;
  pclClone->m_bLowerIncluded = m_bLowerIncluded;
  pclClone->m_bUpperIncluded = m_bUpperIncluded;
  pclClone->m_bParsedCondition = m_bParsedCondition;
  pclClone->m_nFilterFlags = m_nFilterFlags;
  return pclClone;
}

int CNAFilter::bSetFilter(CNARecord* pclRecord, INAItemDescription* piItem, const CAny* pLower,
                          int bLowerIncluded, const CAny* pUpper, int bUpperIncluded,
                          ISQLParserInformation* piCondition, unsigned int nFlags) {
  _ReleaseTrees();
  m_bHasLower = pLower != nullptr;
  m_Lower = pLower != nullptr ? *pLower : CAny();
  m_bHasUpper = pUpper != nullptr;
  m_Upper = pUpper != nullptr ? *pUpper : CAny();
  m_bLowerIncluded = bLowerIncluded ? 1 : 0;
  m_bUpperIncluded = bUpperIncluded ? 1 : 0;
  m_bParsedCondition = piCondition != nullptr;
  m_nFilterFlags = nFlags;
  if (piItem != m_piFetchItem) {
    if (piItem != nullptr) piItem->ExternalAddRef();
    if (m_piFetchItem != nullptr) m_piFetchItem->nExternalRelease();
    m_piFetchItem = piItem;
  }

  // The bounds are given in the browse's order: on a descending item the
  // first bound is the greater value.
  if (pLower != nullptr && pUpper != nullptr && piItem != nullptr && piItem->bGetDescendant(-1)) {
    const CAny* pSwap = pLower;
    pLower = pUpper;
    pUpper = pSwap;
  }

  const bool bRecordValues = (nFlags & kRecordValues) != 0;
  CInterfRef<CNAExpression> clLower;
  CInterfRef<CNAExpression> clUpper;
  if (pLower != nullptr || bRecordValues) {
    eNAOperator eOperator;
    // Equal inclusive bounds are one equality. Equal bounds of which one is
    // excluded select nothing: they keep both comparisons, which say so.
    if (pLower != nullptr && pUpper != nullptr && !bRecordValues && bLowerIncluded &&
        bUpperIncluded && bSameBound(*pLower, *pUpper)) {
      eOperator = NA_OP_EQUAL;
      pUpper = nullptr;
    } else if (!bRecordValues || pUpper != nullptr) {
      eOperator = bLowerIncluded ? NA_OP_GREATER_OR_EQUAL : NA_OP_GREATER;
    } else {
      // The duplicate check: the item equal to the record's own value.
      eOperator = NA_OP_EQUAL;
    }
    m_bBuildFailed = 0;
    clLower.Reset(_pclAddExpression(pclRecord, piItem, eOperator, pLower,
                                    nFlags | kBound | kLowerBound, nullptr));
    // No part because it could not be made (memory, a bound the item cannot
    // hold) is a failure: a filter without that part would let every row in.
    if (!clLower && m_bBuildFailed) return 0;
  }
  if (pUpper != nullptr) {
    m_bBuildFailed = 0;
    clUpper.Reset(_pclAddExpression(pclRecord, piItem,
                                    bUpperIncluded ? NA_OP_LESS_OR_EQUAL : NA_OP_LESS, pUpper,
                                    nFlags | kBound | kUpperBound, nullptr));
    if (!clUpper && m_bBuildFailed) return 0;
  }

  // A lower bound at 0 or the empty text lets the NULL rows through (the
  // engine's records hold those values for NULL). When it made no part
  // (always true, or its type's minimum), the upper part must still let
  // them through, or the filter drops them: an always-true lower leaf tells
  // the AND to do so while it writes the upper part.
  if (!clLower && clUpper && pLower != nullptr && !bRecordValues && bLowerIncluded &&
      bLowerBoundStandsForNull(*pLower)) {
    CNAColumn* pclColumn = _pclGetColumnOfItem(pclRecord, piItem);
    if (pclColumn != nullptr && !pclColumn->bIsComposedKey()) {
      clLower.Reset(clUpper->pclAllocExpression(NA_OP_ALWAYS_TRUE, pclColumn, nullptr,
                                                nFlags | kBound | kLowerBound));
      if (!clLower) return 0;
    }
  }

  // A bound at its type's extreme made no part.
  CInterfRef<CNAExpression> clCondition;
  if (clLower && clUpper) {
    clCondition.Reset(
        clLower->pclAllocExpression(NA_OP_AND, clLower.pGet(), clUpper.pGet(), nFlags | kBound));
    if (!clCondition) return 0;
  } else if (clLower) {
    clCondition = clLower;
  } else if (clUpper) {
    clCondition = clUpper;
  }

  if (piCondition != nullptr) {
    // Any node makes the parsed one; without a condition yet, an empty one.
    CInterfRef<CNAExpression> clMaker(clCondition ? clCondition.pGet() : pclAllocExpression());
    if (!clMaker) return 0;
    CInterfRef<CNAExpression> clParsed(clMaker->pclAllocExpression(piCondition, 0));
    if (!clParsed) return 0;
    if (clCondition) {
      clCondition.Reset(clCondition->pclAllocExpression(NA_OP_AND, clCondition.pGet(),
                                                        clParsed.pGet(), nFlags | kBound));
      if (!clCondition) return 0;
    } else {
      clCondition = clParsed;
    }
  }

  if (!clCondition) return 1;
  m_pclSearch = clCondition.pGet();
  m_pclSearch->AddRef();
  m_pclCurrent = m_pclSearch;
  m_pclCurrent->AddRef();
  return 1;
}

void CNAFilter::ActivateFilter(int bActive) {
  if (bActive)
    Activate();
  else
    Desactivate();
}

int CNAFilter::bEqualsFilter(const CNAFilter* pclOther) const {
  if (pclOther == this) return 1;
  if (pclOther == nullptr) return 0;
  if (m_bParsedCondition || pclOther->m_bParsedCondition) return 0;
  if (m_nFilterFlags != pclOther->m_nFilterFlags) return 0;
  if (!bSameOptionalBound(m_bHasLower, m_Lower, pclOther->m_bHasLower, pclOther->m_Lower) ||
      !bSameOptionalBound(m_bHasUpper, m_Upper, pclOther->m_bHasUpper, pclOther->m_Upper)) {
    return 0;
  }
  if (m_bHasLower && m_bLowerIncluded != pclOther->m_bLowerIncluded) return 0;
  if (m_bHasUpper && m_bUpperIncluded != pclOther->m_bUpperIncluded) return 0;
  return bEqualsSearch(pclOther);
}

int CNAFilter::g_bEqualsFilter(const CNAFilter* pclA, const CNAFilter* pclB) {
  if (pclA == nullptr && pclB == nullptr) return 1;
  if (pclA == nullptr) return !pclB->bIsFilterActive();
  if (pclB == nullptr) return !pclA->bIsFilterActive();
  return pclA->bEqualsFilter(pclB);
}

// ---- CNAFilterSave

CNAFilterSave::CNAFilterSave(CNAFilter* pclFilter) {
  if (pclFilter != nullptr) SetFilter(pclFilter);
}

CNAFilterSave::~CNAFilterSave() { KQRelease(m_pclFilter); }

void CNAFilterSave::SetFilter(CNAFilter* pclFilter) {
  if (pclFilter == m_pclFilter) return;
  KQAddRef(pclFilter);
  CNAFilter* pclOld = m_pclFilter;
  m_pclFilter = pclFilter;
  // No filter saved is no filter active: a stale flag would make the saved
  // "none" differ from no filter in force.
  m_bActive = pclFilter != nullptr ? pclFilter->bIsFilterActive() : 0;
  KQRelease(pclOld);
}

void CNAFilterSave::Copy(CNAFilterSave& clOther) {
  SetFilter(clOther.m_pclFilter);
  m_bActive = clOther.m_bActive;
}

int CNAFilterSave::bFilterEquals(CNAFilter* pclFilter) const {
  const int bNowActive = pclFilter != nullptr && pclFilter->bIsFilterActive() ? 1 : 0;
  if ((m_bActive != 0) != (bNowActive != 0)) return 0;
  if (!m_bActive) return 1;
  return CNAFilter::g_bEqualsFilter(m_pclFilter, pclFilter);
}
