// CNAItemsDataAccess: the data access as the items see it. The data access
// (tables/na_data_access.h) sits two floors above the items, yet the record
// of a data access asks it whether its source is a query, for its parsed
// query, for the record buffers and record values of its rows (classes of
// the statements, which the items cannot name) and for a record identifier.
// The items therefore declare here what they call, on top of what the
// driver core already asks (driver/data_access_interface.h); the data access
// implements it.
//
// Ownership: objects answered by the pclAlloc operations belong to the
// caller: a buffer is a plain object (delete), a record value and a record
// identifier are born with count 0. The parsed query and the connection
// carry no reference.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_ITEMS_ITEMS_DATA_ACCESS_INTERFACE_H_
#define KQ230_ITEMS_ITEMS_DATA_ACCESS_INTERFACE_H_

#include "driver/data_access_interface.h"
#include "items/record_buffer_interface.h"

class CNAError;
class CNAParsedQuery;
class CNARecordIdBase;
class CNARecordValueBase;
class INADataSourceDescription;

class CNAItemsDataAccess : public CNADataAccessBase {
 public:
  // Whether the data access runs over a query (not a table).
  virtual int bSourceIsQuery() const = 0;
  // The parsed query of a query source; null otherwise.
  virtual CNAParsedQuery* pclGetSourceQueryNoRef() const = 0;
  // A new record buffer initialised from the description; null with the
  // out-of-memory error on pclError when it cannot be made.
  virtual CNAZBRecordBase* pclAllocZBRecord(CNAError* pclError,
                                            INADataSourceDescription* piSource,
                                            eINITTYPE eInit) = 0;
  // A new record value without buffer (count 0) on the error object; null
  // when memory runs out.
  virtual CNARecordValueBase* pclAllocRecordValue(CNAError* pclError) = 0;
  // A record identifier for the value (count 0); null when the data access
  // gives none.
  virtual CNARecordIdBase* pclAllocRecordID(const CNARecordValueBase* pclValue) = 0;
};

#endif  // KQ230_ITEMS_ITEMS_DATA_ACCESS_INTERFACE_H_
