// CNATableBase: what the driver core asks of a table object, the object that
// the server holds (as INATable) for one database table or for the kept
// result of one query. The table object itself (tables/na_table.h) lives
// above the driver core; the driver makes it through its _pclAllocTable
// factory, which the back end supplies, and keeps it in its table of table
// objects under its identification ("Table=%s;%s" for a table shared by all
// contexts, "CTX=%u;Table=%s;%s" for a query result private to one context).
//
// Counts: two. The internal one (AddRef / nRelease) is the driver's: its
// table of table objects holds one, each running operation one more. The
// external one is the server's (ExternalAddRef / nExternalRelease of
// INATable). The object dies when both are 0.
//
// Results: 1 for success, 0 for failure with the detail in pclGetError().
// Threads: none of its own; the driver calls it under the driver lock.
#ifndef KQ230_DRIVER_TABLE_INTERFACE_H_
#define KQ230_DRIVER_TABLE_INTERFACE_H_

#include "kq230/na_driver_interface.h"
#include "kq230/na_table_interface.h"

class CNAConnectionDescription;
class CNAError;
class CNATransactionBase;

class CNATableBase : public INATable {
 public:
  // ---- Internal count
  virtual void AddRef() = 0;
  // One internal reference less; answers the remaining internal count (the
  // object is gone when both counts reached 0).
  virtual int nRelease() = 0;

  // ---- What the driver reads
  // The identification it was made under.
  virtual const wchar_t* pszGetIdentification() = 0;
  // Its connection (no reference added).
  virtual CNAConnectionDescription* pclGetConnection() = 0;
  // Its error object (no reference added).
  virtual CNAError* pclGetError() = 0;
  // The logical name of its data-source description ("" when none).
  virtual const wchar_t* pszGetLogicalName() = 0;
  // Whether its bound parameter set reports that the last query was
  // prepared (such a query stays registered after a failure or without a
  // result); 0 without a parameter set.
  virtual int bQueryPrepared() = 0;

  // ---- What the driver asks of it
  // Closes the calling context's data access on it.
  virtual int bHFerme(INAContext* piContext) = 0;
  // Sets its lock mode for the context.
  virtual int bHMode(INAContext* piContext, _eNA_HMODE eMode) = 0;
  // The transaction of its connection ended (commit, rollback).
  virtual void SetTransactionTermined() = 0;
  // The transaction's record locks are given up (the transaction is passed
  // through).
  virtual void CancelRecordLock(INAConnectionDescription* piConnection,
                                CNATransactionBase* pclTransaction) = 0;
  // Deletes its table from the database, for the context.
  virtual int bSupprimeFichier(INAContext* piContext) = 0;
  // Runs a query for the context; *pbKept is set to 1 when the table object
  // then holds a browsable result that the driver registers (the driver
  // clears it first).
  virtual int bExecuteQuery(int* pbKept, INAContext* piContext, const wchar_t* pszQuery,
                            ISQLParserInformation* piParsed, unsigned int dwFlags,
                            const INAQueryExecution* piExecution) = 0;

 protected:
  // Only the table object ends itself (when both counts reached 0).
  virtual ~CNATableBase() = default;
};

// The reference operations of the reference tables (found by
// argument-dependent lookup): the internal count. Null is skipped.
inline void KQAddRef(CNATableBase* p) {
  if (p != nullptr) p->AddRef();
}
inline void KQRelease(CNATableBase* p) {
  if (p != nullptr) p->nRelease();
}

#endif  // KQ230_DRIVER_TABLE_INTERFACE_H_
