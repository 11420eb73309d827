// CMySQLDriverSQL: the MariaDB back end's handle-level SQL interface. It makes
// the back-end statements (CMySQLStatementSQL) that the statements of data
// accesses and the interface's own lists run their SQL through, lists the
// native type names, lists a table's columns with SHOW COLUMNS, and for
// servers of major version 4 or lower writes the catalogue lists with SHOW
// statements (those servers have no INFORMATION_SCHEMA). The MariaDB driver
// object makes one on first need (CMySQLDriver::_pclAllocDriverSQL).
//
// Ownership and threads: as CNADriverSQL's.
#ifndef KQ230_MARIADB_MYSQL_DRIVER_SQL_H_
#define KQ230_MARIADB_MYSQL_DRIVER_SQL_H_

#include "statements/driver_sql.h"

class CMySQLDriverSQL final : public CNADriverSQL {
 public:
  CMySQLDriverSQL(CNADriver* pclDriver, CNAError* pclError) : CNADriverSQL(pclDriver, pclError) {}

  // The connection's native type names (its type map), one per line: each
  // name once, in the order of the item types, without the size
  // placeholders ("VARCHAR", "DECIMAL(24,6)", "TINYINT(1)").
  int bGetColumnTypeList(CAny* pValue, int nConnection, unsigned int nFlags) override;
  // SHOW TABLES for an old server, and when the generic list fails without
  // a caller's condition (a failing condition stays the caller's failure);
  // else the generic list.
  int bGetTableList(CAny* pValue, CNAConnectionDescription* pclConnection,
                    const wchar_t* pszCondition, unsigned int nFlags) override;
  using CNADriverSQL::bGetTableList;
  // "SHOW COLUMNS FROM " and the formatted table name, first column only.
  int bGetColumnList(CAny* pValue, CNAConnectionDescription* pclConnection,
                     const wchar_t* pszTable, unsigned int nFlags) override;
  using CNADriverSQL::bGetColumnList;
  // A CMySQLStatementSQL on the connection (count 0); null when the
  // connection is no MariaDB connection or memory runs out.
  CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription* pclConnection,
                                        CNAError* pclError) override;
  // "SHOW DATABASES" and "SHOW TABLES FROM " for an old server, else the
  // generic queries.
  int _bGetDatabaseListQuery(CTStringConcatAW* pclQuery, CNAConnectionDescription* pclConnection,
                             unsigned int nFlags) override;
  int _bGetDatabaseTableListQuery(CTStringConcatAW* pclQuery, const wchar_t* pszDatabase,
                                  CNAConnectionDescription* pclConnection,
                                  unsigned int nFlags) override;

 protected:
  ~CMySQLDriverSQL() override = default;
};

#endif  // KQ230_MARIADB_MYSQL_DRIVER_SQL_H_
