// CNAUserSearch: whether the current record still matches the user's own
// search.
#include "sqlbuilder/user_search.h"

#include "items/column.h"
#include "items/record.h"
#include "kq230/item_description_interface.h"
#include "values/value_calc.h"

namespace {

// The language's text types, 8-bit and wide (dates and times given as text
// included: case does not change them).
bool bTextVX(unsigned int nType) {
  return (nType >= 16 && nType <= 25) || nType == 81 || nType == 110 || nType == 128 ||
         nType == 129 || nType == 134;
}

}  // namespace

CNAUserSearch::~CNAUserSearch() { CancelUserSearch(); }

void CNAUserSearch::SetUserSearch(INAItemDescription* piItem, const CAny* pValue,
                                  unsigned int nMode) {
  // The item may be the one held: take the new reference before the cancel
  // drops the old one.
  if (piItem != nullptr) piItem->ExternalAddRef();
  CancelUserSearch();
  if (piItem == nullptr) return;
  m_piItem = piItem;
  if (pValue != nullptr) m_Value = *pValue;
  m_nMode = nMode;
}

void CNAUserSearch::CancelUserSearch() {
  if (m_piItem != nullptr) m_piItem->nExternalRelease();
  m_piItem = nullptr;
  m_Value = CAny();
  m_nMode = 0;
}

void CNAUserSearch::Copy(CNAUserSearch* pclOther) {
  if (pclOther == this) return;
  if (pclOther == nullptr || pclOther->m_piItem == nullptr) {
    CancelUserSearch();
    return;
  }
  SetUserSearch(pclOther->m_piItem, &pclOther->m_Value, pclOther->m_nMode);
}

int CNAUserSearch::bGetHTrouve(CNARecord* pclRecord) {
  if (m_piItem == nullptr) return 1;
  if (pclRecord == nullptr) return 0;
  CNAColumn* pclColumn = pclRecord->pclGetColumnNoRef(m_piItem);
  if (pclColumn == nullptr) return 0;
  if (pclColumn->bSameValue(&m_Value, 0)) return 1;
  if ((m_nMode & kIgnoreCase) == 0) return 0;
  // Ignoring case is the language's "almost equal" on texts; on any other
  // value it would also bring close numbers together, so only texts get it.
  if (m_Value.bIsNull() || !bTextVX(m_Value.nGetTypeCode())) return 0;
  CAny clCurrent;
  if (!pclColumn->bGetCurrentValue(&clCurrent, 0)) return 0;
  if (clCurrent.bIsNull() || !bTextVX(clCurrent.nGetTypeCode())) return 0;
  int bEqual = 0;
  if (nPresqueEgal(clCurrent, m_Value, &bEqual, 0) >= 100) return 0;
  return bEqual != 0;
}
