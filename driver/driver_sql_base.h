// CNADriverSQLBase: what the driver core asks of the handle-level SQL
// interface. The interface itself (CNADriverSQL, statements/driver_sql.h)
// runs statements, which sit above the driver core; the driver object and
// the connection's base reach it through this class, which the driver core
// declares and the statements layer implements.
//
// The driver object makes one through its factory (_pclAllocDriverSQL), holds
// one internal reference on it (AddRef / nRelease) and hands it to the server
// as INADriverSQL with one external reference (piGetInterface(1)). The object
// goes when both counts are 0.
//
// Threads: every operation runs under the driver lock (the caller's or its
// own); the counts are touched only under it.
#ifndef KQ230_DRIVER_DRIVER_SQL_BASE_H_
#define KQ230_DRIVER_DRIVER_SQL_BASE_H_

#include "core/counted_string.h"
#include "kq230/na_driver_sql_interface.h"

class CAny;
class CNAConnectionDescription;
class CNAError;
class INADataSourceDescription;

class CNADriverSQLBase : public INADriverSQL {
 public:
  // ---- The internal count (the driver object's reference).
  virtual void AddRef() = 0;
  // The new count; the object goes when both counts reach 0.
  virtual int nRelease() = 0;
  virtual int nGetRef() const = 0;

  // ---- Lists for the driver object's slots. The connection is registered
  // and open; the caller holds the driver lock. Results in the interface's
  // error object (piGetLastError) unless an error object is passed.
  // The databases of the server (flags: kq230 list bits): one line per
  // database with its tables when a type bit is set, else TAB-separated
  // names.
  virtual int bGetDatabaseList(CXYString<wchar_t>* pstrList, CNAConnectionDescription* pclConnection,
                               unsigned int nFlags) = 0;
  // The tables of the connection's current database; pszCondition, when not
  // null, is added to the type filter as a condition of its own.
  using INADriverSQL::bGetTableList;
  virtual int bGetTableList(CAny* pValue, CNAConnectionDescription* pclConnection,
                            const wchar_t* pszCondition, unsigned int nFlags) = 0;
  // The links (foreign keys) of a table; piSource, when given, is its
  // description.
  virtual int bGetLinkList(CAny* pValue, CNAConnectionDescription* pclConnection,
                           const wchar_t* pszTable, INADataSourceDescription* piSource,
                           unsigned int nFlags) = 0;

  // ---- SQL run for the connection's base (a statement made for the
  // connection, held while it runs). Errors go to pclError.
  // Runs a text that gives no result (a result set is read and dropped).
  virtual int bExecuteQueryNoResult(CNAError* pclError, CNAConnectionDescription* pclConnection,
                                    const wchar_t* pszQuery) = 0;
  // Runs pszQuery and places column nColumn (from 0) of its first row in
  // *pValue; no row leaves the value untouched and succeeds.
  virtual int bGetRequestedValue(CNAError* pclError, CNAConnectionDescription* pclConnection,
                                 CAny* pValue, int nColumn, const wchar_t* pszQuery) = 0;

 protected:
  // Not deleted through this class: the counts end the object.
  virtual ~CNADriverSQLBase() = default;
};

#endif  // KQ230_DRIVER_DRIVER_SQL_BASE_H_
