// The handle-level SQL interface: handles, statements, transactions, locks.
#include "statements/driver_sql.h"

#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"

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
int CNADriverSQL::bGetTableList(CAny*, int, const wchar_t*, unsigned int) { return 0; }
int CNADriverSQL::bGetColumnList(CAny*, int, const wchar_t*, unsigned int) { return 0; }
int CNADriverSQL::bGetColumnList(CAny*, int, int, unsigned int) { return 0; }
INADataSourceDescription* CNADriverSQL::piGetTableDesc(int, const wchar_t*, unsigned int) {
  return nullptr;
}
INADataSourceDescription* CNADriverSQL::piGetTableDesc(int, int, unsigned int) { return nullptr; }
int CNADriverSQL::bGetColumnTypeList(CAny*, int, unsigned int) { return 0; }
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
int CNADriverSQL::bExecute(CNAError*, CNAStatementSQL** pp, CNAConnectionDescription*,
                           const wchar_t*, CTabValParser*, NA_WRITEPARSEFLAGS) {
  *pp = nullptr;
  return 0;
}
CNAConnectionDescription* CNADriverSQL::_pclGetNewConnection(INAConnectionDescription*) {
  return nullptr;
}
CNAConnectionDescription* CNADriverSQL::_pclGetConnection(int) { return nullptr; }
INADataSourceDescription* CNADriverSQL::_pclGetTableDesc(const wchar_t*,
                                                         CNAConnectionDescription*) {
  return nullptr;
}
