// CMySQLDriverSQL: the MariaDB back end's SQL side: it makes the back-end
// statements (CMySQLStatementSQL) that the statements of data accesses run
// their SQL through. The MariaDB driver object makes one on first need and
// hands it out through pclGetDriverSQL.
//
// Ownership: counted (CInterf); the driver object holds the one reference.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_MARIADB_MYSQL_DRIVER_SQL_H_
#define KQ230_MARIADB_MYSQL_DRIVER_SQL_H_

#include "statements/driver_sql.h"

class CMySQLDriverSQL final : public CNADriverSQL {
 public:
  // A CMySQLStatementSQL on the connection (count 0); null when the
  // connection is no MariaDB connection or memory runs out.
  CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription* pclConnection,
                                        CNAError* pclError) override;
};

#endif  // KQ230_MARIADB_MYSQL_DRIVER_SQL_H_
