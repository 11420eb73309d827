// The handle-level SQL interface: handles, statements, transactions, locks.
#include "statements/driver_sql.h"

#include <new>

#include "driver/connection_description.h"
#include "driver/driver_lock.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/data_source_description.h"

int CNADriverSQL::m_gnCnxNameGenerator = 0;

CNADriverSQL::CNADriverSQL(CNADriver* pclDriver, CNAError* pclError)
    : m_pclDriver(pclDriver), m_pclError(pclError) {
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNADriverSQL::~CNADriverSQL() {
  if (m_pclError != nullptr) m_pclError->nRelease();
}

CNADriverSQL* CNADriverSQL::s_pclGetFromDriver() {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  if (pclDriver == nullptr) return nullptr;
  // Every back end's SQL interface is of this class.
  return static_cast<CNADriverSQL*>(pclDriver->pclGetDriverSQL());
}

// TODO(sqlhandle): everything below.
INADriverSQL* CNADriverSQL::ExternalAddRef() { ++m_nExternalCount; return this; }
int CNADriverSQL::nExternalRelease() { return --m_nExternalCount; }
INAError* CNADriverSQL::piGetLastError() const { return m_pclError; }
void CNADriverSQL::AddRef() { ++m_nRefCount; }
int CNADriverSQL::nRelease() {
  const int n = --m_nRefCount;
  if (n == 0 && m_nExternalCount == 0) delete this;
  return n;
}
int CNADriverSQL::bOpenConnection(int*, INAConnectionDescription*) { return 0; }
int CNADriverSQL::bCloseConnection(int) { return 0; }
int CNADriverSQL::bGetColumnList(CAny*, int, int, unsigned int) { return 0; }
INADataSourceDescription* CNADriverSQL::piGetTableDesc(int, int, unsigned int) { return nullptr; }
int CNADriverSQL::bExecute(int*, int, const wchar_t*, CTabValParser*, unsigned int) { return 0; }
int CNADriverSQL::bFreeStmt(int, int, unsigned int) { return 1; }
int CNADriverSQL::bGetStmtLastError(INAError**, int, int) { return 0; }
int CNADriverSQL::bGetColumnNbr(int*, int, int, unsigned int) { return 0; }
int CNADriverSQL::bGetColumnName(CAny*, int, int, unsigned int, unsigned int) { return 0; }
int CNADriverSQL::bFetch(int, int, unsigned int) { return 0; }
int CNADriverSQL::bGetRow(CAny*, int, int, const wchar_t*, int, unsigned int) { return 0; }
int CNADriverSQL::bGetValue(CAny*, int, int, unsigned int, unsigned int) { return 0; }
int CNADriverSQL::bGetBLOBValue(CAny*, int, int, unsigned int, unsigned int) { return 0; }
int CNADriverSQL::bTrsBegin(int*, int, unsigned int) { return 0; }
int CNADriverSQL::bTrsCommit(int, int, unsigned int) { return 0; }
int CNADriverSQL::bTrsRollBack(int, int, unsigned int) { return 0; }
int CNADriverSQL::bSQLBloqueTable(int, const wchar_t*, unsigned int) { return 0; }
int CNADriverSQL::bSQLBloqueRequete(int, const wchar_t*, unsigned int) { return 0; }
int CNADriverSQL::bSetVMAndLibShop(ILibShop*, IVMData*) { return 0; }
int CNADriverSQL::bExecuteQueryNoResult(CNAError*, CNAConnectionDescription*, const wchar_t*) {
  return 0;
}
int CNADriverSQL::bGetRequestedValue(CNAError*, CNAConnectionDescription*, CAny*, int,
                                     const wchar_t*) {
  return 0;
}
int CNADriverSQL::bSQLBloqueRequete(CNAConnectionDescription*, const wchar_t*, unsigned int) {
  return 0;
}
int CNADriverSQL::bSQLBloqueTable(CNAError*, CNAConnectionDescription*, const wchar_t*,
                                  unsigned int) {
  return 0;
}
CNAConnectionDescription* CNADriverSQL::_pclGetNewConnection(INAConnectionDescription*) {
  return nullptr;
}

// ---------------------------------------------------------------------------
// Shared by the interface's operations, the lists and the links

int CNADriverSQL::bExecute(CNAError* pclError, CNAStatementSQL** ppclStatement,
                           CNAConnectionDescription* pclConnection, const wchar_t* pszQuery,
                           CTabValParser* pclParameters, NA_WRITEPARSEFLAGS nFlags) {
  *ppclStatement = nullptr;
  CNAStatementSQL* pclStatement = pclAllocStatementSQL(pclConnection, pclError);
  if (pclStatement == nullptr) return 0;
  pclStatement->AddRef();
  int bResult = pclStatement->bExecuteDirect(pszQuery, pclParameters, nFlags);
  if (bResult) {
    int nColumns = 0;
    // Only a result set is worth a statement: an UPDATE or DDL text
    // succeeds without one.
    if (pclStatement->bGetColumnNbr(&nColumns, 0) && nColumns > 0) {
      *ppclStatement = pclStatement;
      return bResult;
    }
  }
  pclStatement->nRelease();
  return bResult;
}

int CNADriverSQL::_nBadConnectionHandle(int) { return 0; }
int CNADriverSQL::_nBadStatementHandle(int) { return 0; }

CNAConnectionDescription* CNADriverSQL::_pclGetConnection(int nConnection) {
  if (m_pclDriver == nullptr || nConnection == 0) return nullptr;
  return m_pclDriver->pclGetConnectionByID(nConnection);
}

INADataSourceDescription* CNADriverSQL::_pclGetTableDesc(const wchar_t* pszTable,
                                                         CNAConnectionDescription* pclConnection) {
  if (m_pclDriver == nullptr) return nullptr;
  auto* pclSource = static_cast<CNADataSourceDescription*>(
      m_pclDriver->pclAllocDataSourceDescription(pclConnection, m_pclError));
  if (pclSource == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  pclSource->AddRef();
  if (!pclSource->bInitDataSourceDescriptionFromDB(pszTable, 0)) {
    pclSource->nRelease();
    return nullptr;
  }
  return pclSource;
}
