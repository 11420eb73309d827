// CNADriverSQL: the driver's SQL side: the factory of the back end's
// statements. A statement of a data access asks it for the back-end
// statement that runs its SQL on the data access's connection; the back end
// derives its own (mariadb/mysql_driver_sql.h) and the driver object hands
// it out through pclGetDriverSQL (an untyped pointer: the driver core sits
// below this folder and cannot name this class).
//
// Ownership: counted (CInterf); the driver object holds the one it made.
// Objects it answers are born at count 0: the caller takes the first
// reference.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_STATEMENTS_DRIVER_SQL_H_
#define KQ230_STATEMENTS_DRIVER_SQL_H_

#include "driver/reference_counted.h"

class CNAConnectionDescription;
class CNAError;
class CNAStatementSQL;

class CNADriverSQL : public CInterf {
 public:
  // A back-end statement on the connection (count 0); null when the
  // connection is not the back end's or memory runs out.
  virtual CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription* pclConnection,
                                                CNAError* pclError) = 0;

  // The driver object's SQL side, or null when the driver has none (no
  // driver object, or a driver without a back end).
  static CNADriverSQL* s_pclGetFromDriver();
};

#endif  // KQ230_STATEMENTS_DRIVER_SQL_H_
