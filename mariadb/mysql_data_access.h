// CMySQLDataAccess: the data access of a MariaDB or MySQL table. It is the
// generic one (tables/na_data_access.h) but for the row count: the server
// counts a table's rows with COUNT(*), so counting needs no browse.
//
// Ownership and threads: those of CNADataAccess.
#ifndef KQ230_MARIADB_MYSQL_DATA_ACCESS_H_
#define KQ230_MARIADB_MYSQL_DATA_ACCESS_H_

#include "tables/na_data_access.h"

class CMySQLDataAccess : public CNADataAccess {
 public:
  CMySQLDataAccess(INADataSourceDescription* piSource, CNAConnectionDescription* pclConnection,
                   CNAError* pclError)
      : CNADataAccess(piSource, pclConnection, pclError) {}
  ~CMySQLDataAccess() override;

  // COUNT(*) answers the count: 0.
  int bNbEnrNeedParse() override { return 0; }
};

#endif  // KQ230_MARIADB_MYSQL_DATA_ACCESS_H_
