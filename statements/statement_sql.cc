#include "statements/statement_sql.h"

#include <new>

#include "driver/connection_description.h"
#include "driver/na_error.h"

namespace {

// User errors of the column lookup and their sites in the debug line.
constexpr unsigned int kErrorColumnIndexPastCount = 50;
constexpr unsigned int kErrorColumnIndexNegative = 51;
constexpr int kSitePastCount = 1;
constexpr int kSiteNegative = 2;

}  // namespace

int CNAStatementSQL::m_gnStmtGenerator = 0;

CNAStatementSQL::CNAStatementSQL(CNAConnectionDescription* pclConnection, CNAError* pclError)
    : m_pclError(pclError), m_pclConnection(pclConnection), m_nNumber(++m_gnStmtGenerator) {
  if (m_pclConnection != nullptr) m_pclConnection->AddRef();
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNAStatementSQL::~CNAStatementSQL() {
  _FreeTabNAColumn();
  if (m_pclConnection != nullptr) m_pclConnection->nRelease();
  if (m_pclError != nullptr) m_pclError->nRelease();
}

int CNAStatementSQL::bGetColumnNbr(int* pnCount, unsigned int) {
  if (pnCount != nullptr) *pnCount = m_nColumnCount;
  return 1;
}

CNAColumnSQL* CNAStatementSQL::pclGetNAColumnSQL(int i) {
  if (i < 0) {
    CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, kSiteNegative, m_pclConnection,
                       nullptr, nullptr, kErrorColumnIndexNegative);
    return nullptr;
  }
  if (i >= m_nColumnCount) {
    CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, kSitePastCount, m_pclConnection,
                       nullptr, nullptr, kErrorColumnIndexPastCount);
    return nullptr;
  }
  if (m_pTabColumns == nullptr && !_bInitTabNAColumn()) return nullptr;
  if (m_pTabColumns == nullptr) return nullptr;
  return &m_pTabColumns[i];
}

int CNAStatementSQL::bReset() {
  _bCloseParse();
  m_nColumnCount = 0;
  _FreeTabNAColumn();
  return 1;
}

int CNAStatementSQL::_bCloseParse() {
  m_bResultOpen = 0;
  return 1;
}

int CNAStatementSQL::_bInitTabNAColumn() { return 0; }

void CNAStatementSQL::_SetColumnCount(int nCount) {
  _FreeTabNAColumn();
  m_nColumnCount = nCount < 0 ? 0 : nCount;
}

int CNAStatementSQL::_bAllocTabNAColumn() {
  _FreeTabNAColumn();
  if (m_nColumnCount == 0) return 1;
  m_pTabColumns = new (std::nothrow) CNAColumnSQL[static_cast<unsigned int>(m_nColumnCount)];
  if (m_pTabColumns == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  return 1;
}

CNAColumnSQL* CNAStatementSQL::_pclGetColumnForFill(int i) {
  if (m_pTabColumns == nullptr || i < 0 || i >= m_nColumnCount) return nullptr;
  return &m_pTabColumns[i];
}

void CNAStatementSQL::_FreeTabNAColumn() {
  delete[] m_pTabColumns;
  m_pTabColumns = nullptr;
}
