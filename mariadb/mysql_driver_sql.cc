#include "mariadb/mysql_driver_sql.h"

#include "mariadb/mysql_statement.h"

CNAStatementSQL* CMySQLDriverSQL::pclAllocStatementSQL(CNAConnectionDescription* pclConnection,
                                                       CNAError* pclError) {
  return CMySQLStatementSQL::s_pclAllocStatementSQL(pclConnection, pclError);
}

// TODO(sqlhandle): everything below.
int CMySQLDriverSQL::bGetColumnTypeList(CAny* pValue, int nConnection, unsigned int nFlags) {
  return CNADriverSQL::bGetColumnTypeList(pValue, nConnection, nFlags);
}
int CMySQLDriverSQL::bGetTableList(CAny* pValue, CNAConnectionDescription* pclConnection,
                                   const wchar_t* pszCondition, unsigned int nFlags) {
  return CNADriverSQL::bGetTableList(pValue, pclConnection, pszCondition, nFlags);
}
int CMySQLDriverSQL::bGetColumnList(CAny* pValue, CNAConnectionDescription* pclConnection,
                                    const wchar_t* pszTable, unsigned int nFlags) {
  return CNADriverSQL::bGetColumnList(pValue, pclConnection, pszTable, nFlags);
}
int CMySQLDriverSQL::_bGetDatabaseListQuery(CTStringConcatAW* pclQuery,
                                            CNAConnectionDescription* pclConnection,
                                            unsigned int nFlags) {
  return CNADriverSQL::_bGetDatabaseListQuery(pclQuery, pclConnection, nFlags);
}
int CMySQLDriverSQL::_bGetDatabaseTableListQuery(CTStringConcatAW* pclQuery,
                                                 const wchar_t* pszDatabase,
                                                 CNAConnectionDescription* pclConnection,
                                                 unsigned int nFlags) {
  return CNADriverSQL::_bGetDatabaseTableListQuery(pclQuery, pszDatabase, pclConnection, nFlags);
}
