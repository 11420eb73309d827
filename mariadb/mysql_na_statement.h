// CMySQLStatement: the statement of a MariaDB data access. It is the generic
// statement (statements/statement.h) but for the row count: MariaDB counts
// the rows of any SELECT, a query's too, with COUNT(*) over it as a derived
// table, where the generic statement fetches a query's rows one by one on
// servers without sub-queries.
//
// Ownership and threads: as its base.
#ifndef KQ230_MARIADB_MYSQL_NA_STATEMENT_H_
#define KQ230_MARIADB_MYSQL_NA_STATEMENT_H_

#include "statements/statement.h"

class CMySQLStatement final : public CNAStatement {
 public:
  CMySQLStatement(CNAStatementsDataAccess* pclDataAccess, CNAError* pclError)
      : CNAStatement(pclDataAccess, pclError) {}

  // COUNT(*) over the command's SELECT (without its row limit). -1 with 0
  // on failure.
  int bGetNbEnr(long long* pllCount) override;
};

#endif  // KQ230_MARIADB_MYSQL_NA_STATEMENT_H_
