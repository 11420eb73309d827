// CColumnList: the column-name list of a SELECT, an INSERT or an index.
#include "items/column_list.h"

#include <cstring>
#include <cwchar>

#include "core/xmalloc.h"
#include "items/column.h"
#include "items/record.h"
#include "items/statement_interface.h"

CColumnList::~CColumnList() { XMALLOC_Del_(m_pszText); }

void CColumnList::Empty() {
  m_nLength = 0;
  m_nColumnCount = 0;
  if (m_pszText != nullptr) m_pszText[0] = L'\0';
}

int CColumnList::_bReserve(long long nNeeded) {
  // The terminator needs one more character; capacities are whole growth
  // steps, the next multiple that exceeds the needed length.
  if (nNeeded < m_nCapacity) return 1;
  const long long nStep = m_nGrowthStep;
  const long long nCapacity = (nNeeded / nStep + 1) * nStep;
  const long long nBytes = nCapacity * static_cast<long long>(sizeof(wchar_t));
  if (nCapacity > 0x7FFFFFFFLL || nBytes > 0xFFFFFFFFLL) return 0;
  void* p = XMALLOC_pResize_(m_pszText, static_cast<unsigned int>(nBytes));
  if (p == nullptr) return 0;
  m_pszText = static_cast<wchar_t*>(p);
  if (m_nCapacity == 0) m_pszText[0] = L'\0';
  m_nCapacity = static_cast<int>(nCapacity);
  return 1;
}

int CColumnList::_bAppend(const wchar_t* psz, int n) {
  std::memcpy(m_pszText + m_nLength, psz, static_cast<size_t>(n) * sizeof(wchar_t));
  m_nLength += n;
  m_pszText[m_nLength] = L'\0';
  return 1;
}

int CColumnList::AddColumn(const wchar_t* pszName) {
  const bool bComma = m_nColumnCount > 0;
  const size_t nName = pszName != nullptr ? std::wcslen(pszName) : 0;
  const long long nNeeded =
      static_cast<long long>(m_nLength) + (bComma ? 1 : 0) + static_cast<long long>(nName);
  if (nNeeded > 0x7FFFFFFELL) return 0;
  // Reserve even for an empty first name, so that the text exists.
  if (!_bReserve(nNeeded)) return 0;
  if (bComma) _bAppend(L",", 1);
  if (nName > 0) _bAppend(pszName, static_cast<int>(nName));
  ++m_nColumnCount;
  return 1;
}

int CColumnList::BuildColumnList(CNAStatementBase* pclStatement, int bWithIdAuto) {
  const unsigned int nFlags = pclStatement->nGetBindDefineFlag();
  const CNARecord* pclRecord = pclStatement->pclGetRecordNoRef();
  if (pclRecord == nullptr) return 1;
  const int n = pclRecord->nGetColumnNbr();
  for (int i = 0; i < n; ++i) {
    CNAColumn* pclColumn = pclRecord->pclGetColumnNoRef(i);
    if (!pclColumn->bMustDefine(nFlags)) continue;
    if (!bWithIdAuto && pclColumn->bIsIdAuto()) continue;
    if (!AddColumn(pclColumn->pszGetFormatedName())) return 0;
  }
  return 1;
}
