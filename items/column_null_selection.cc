// CColumnNullValueExcluded: the NULL-selection set of a search condition.
#include "items/column_null_selection.h"

#include <wchar.h>

#include "items/column.h"

CColumnNullValueExcluded::~CColumnNullValueExcluded() = default;

void CColumnNullValueExcluded::Reset() {
  m_tabColumns.SupprimeDernier(m_tabColumns.nGetNbElement());
  m_tabNullSelected.SupprimeDernier(m_tabNullSelected.nGetNbElement());
}

int CColumnNullValueExcluded::_nGetColumnValuesNullSelectedIndice(
    const CNAColumn* pclColumn) const {
  const int n = m_tabColumns.nGetNbElement();
  for (int i = 0; i < n; ++i) {
    if (m_tabColumns[i] == pclColumn) return i;
  }
  return -1;
}

int CColumnNullValueExcluded::_nGetColumnValuesNullSelectedIndice(const wchar_t* pszName) const {
  if (pszName == nullptr) return -1;
  const int n = m_tabColumns.nGetNbElement();
  for (int i = 0; i < n; ++i) {
    const CNAColumn* pclColumn = m_tabColumns[i];
    if (pclColumn == nullptr) continue;
    const wchar_t* pszOriginal = pclColumn->pszGetOriginalName();
    if (pszOriginal != nullptr && ::wcscasecmp(pszOriginal, pszName) == 0) return i;
  }
  return -1;
}

int CColumnNullValueExcluded::bColumnValuesNullSelected(const CNAColumn* pclColumn) const {
  const int i = _nGetColumnValuesNullSelectedIndice(pclColumn);
  return i < 0 ? 1 : m_tabNullSelected[i];
}

int CColumnNullValueExcluded::bColumnValuesNullSelected(const wchar_t* pszName) const {
  const int i = _nGetColumnValuesNullSelectedIndice(pszName);
  return i < 0 ? 1 : m_tabNullSelected[i];
}

int CColumnNullValueExcluded::_bAppend(CNAColumn* pclColumn, int bNullSelected) {
  // The arrays must stay parallel: when the second cannot grow the first
  // gives its new entry back.
  if (!m_tabColumns.Ajoute(pclColumn)) return 0;
  if (!m_tabNullSelected.Ajoute(bNullSelected)) {
    m_tabColumns.SupprimeDernier(1);
    return 0;
  }
  return 1;
}

int CColumnNullValueExcluded::bSetColumnValuesNullSelected(CNAColumn* pclColumn,
                                                           int bNullSelected) {
  if (pclColumn == nullptr) return 1;
  const int i = _nGetColumnValuesNullSelectedIndice(pclColumn);
  if (i >= 0) {
    m_tabNullSelected[i] = bNullSelected;
    return 1;
  }
  return _bAppend(pclColumn, bNullSelected);
}

int CColumnNullValueExcluded::bCombineColumnValuesNullSelected(eNAOperator eOperator,
                                                               CNAColumn* pclColumn,
                                                               int bNullSelected) {
  const int bFlag = bNullSelected != 0 ? 1 : 0;
  const int i = _nGetColumnValuesNullSelectedIndice(pclColumn);
  if (i >= 0) {
    const int bOld = m_tabNullSelected[i] != 0 ? 1 : 0;
    m_tabNullSelected[i] = eOperator == NA_OP_AND ? (bOld & bFlag) : (bOld | bFlag);
    return 1;
  }
  // Absent counts as 1: only AND with a condition that excludes NULLs
  // changes anything.
  if (eOperator == NA_OP_AND && bFlag == 0) return _bAppend(pclColumn, 0);
  return 1;
}

int CColumnNullValueExcluded::bCombineColumnValuesNullSelected(
    eNAOperator eOperator, CColumnNullValueExcluded* pclOther) {
  if (pclOther == nullptr) {
    // An operand that says nothing about NULLs lets them all through: OR
    // with it lets every column's NULLs through.
    if (eOperator == NA_OP_OR) Reset();
    return 1;
  }
  // Entries are read by index each turn: combining a set into itself may
  // not grow it (every column is present), but reading through indexes
  // stays right even if the storage moved.
  const int n = pclOther->nGetCount();
  for (int i = 0; i < n; ++i) {
    if (!bCombineColumnValuesNullSelected(eOperator, pclOther->m_tabColumns[i],
                                          pclOther->m_tabNullSelected[i])) {
      return 0;
    }
  }
  return 1;
}

int CColumnNullValueExcluded::bCombineColumnValuesNullSelected(eNAOperator eOperator,
                                                               CColumnNullValueExcluded* pclA,
                                                               CColumnNullValueExcluded* pclB) {
  if (pclA == nullptr && pclB == nullptr) return 1;
  if (eOperator == NA_OP_OR && (pclA == nullptr || pclB == nullptr)) return 1;
  if (pclA != nullptr && !bCopyColumnValuesNullSelected(pclA, 0)) return 0;
  if (pclB != nullptr) {
    if (pclA != nullptr) return bCombineColumnValuesNullSelected(eOperator, pclB);
    return bCopyColumnValuesNullSelected(pclB, 0);
  }
  return 1;
}

int CColumnNullValueExcluded::bCopyColumnValuesNullSelected(CColumnNullValueExcluded* pclOther,
                                                            int bNegate) {
  if (pclOther == nullptr) return 1;
  // The count is taken once: copying a set into itself doubles it instead
  // of running on for ever.
  const int n = pclOther->nGetCount();
  for (int i = 0; i < n; ++i) {
    CNAColumn* pclColumn = pclOther->m_tabColumns[i];
    int bFlag = pclOther->m_tabNullSelected[i];
    if (bNegate) bFlag = bFlag == 0 ? 1 : 0;
    if (!_bAppend(pclColumn, bFlag)) return 0;
  }
  return 1;
}
