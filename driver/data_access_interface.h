// CNADataAccessBase: what the driver core asks of a data access, the object
// that one file object of a server context opens on a table or a query. The
// data access itself (tables/na_data_access.h) lives above the driver core;
// the driver makes it through its pclAllocDataAccess factory, which the back
// end supplies, and the context (driver/na_context.h) keeps it under the
// server's data identifier.
//
// Results: 1 for success, 0 for failure with the detail in the data access's
// error (the context's error for data accesses that a context made).
// Ownership: a CInterf: counted; the context's table holds one reference, and
// the table object one more.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_DRIVER_DATA_ACCESS_INTERFACE_H_
#define KQ230_DRIVER_DATA_ACCESS_INTERFACE_H_

#include "driver/reference_counted.h"
#include "kq230/na_driver_interface.h"

class CNAConnectionDescription;
class CNAContext;

class CNADataAccessBase : public CInterf {
 public:
  // Binds the data access to its context (no reference taken: the context
  // outlives the data accesses it holds).
  virtual void SetContext(CNAContext* pclContext) = 0;
  virtual int bIsOpened() = 0;
  // Closes it.
  virtual int bHFerme() = 0;
  // Sets the lock mode of its table for its context.
  virtual int bHMode(_eNA_HMODE eMode) = 0;
  // The logical name of the table or query ("" when none).
  virtual const wchar_t* pszGetLogicalName() = 0;
  // Its alias: the context's next logical name when it was made, else the
  // logical name.
  virtual const wchar_t* pszGetAliasName() = 0;
  // The table's name in the database, formatted for the connection ("" when
  // none).
  virtual const wchar_t* pszGetDBTableName() = 0;
  // Its connection (no reference added).
  virtual CNAConnectionDescription* pclGetConnection() = 0;
};

#endif  // KQ230_DRIVER_DATA_ACCESS_INTERFACE_H_
