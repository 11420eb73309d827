#include "mariadb/mysql_driver_sql.h"

#include "mariadb/mysql_statement.h"

CNAStatementSQL* CMySQLDriverSQL::pclAllocStatementSQL(CNAConnectionDescription* pclConnection,
                                                       CNAError* pclError) {
  return CMySQLStatementSQL::s_pclAllocStatementSQL(pclConnection, pclError);
}
