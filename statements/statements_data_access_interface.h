// CNAStatementsDataAccess: the data access as its statements see it. The
// data access (tables/na_data_access.h) sits one floor above the statements
// and owns them, one per browse item; a statement calls back into it for its
// description, its record, the imported description of a query's result and
// the notices of a statement closing or a row just read. The statements
// declare here what they call; the data access implements it.
//
// Ownership: the data access owns its statements; a statement keeps a plain
// pointer to its data access (never counted: counting would make a cycle),
// which the data access clears (CNAStatement::DetachDataAccess) before it
// lets a statement go.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_STATEMENTS_STATEMENTS_DATA_ACCESS_INTERFACE_H_
#define KQ230_STATEMENTS_STATEMENTS_DATA_ACCESS_INTERFACE_H_

#include "items/items_data_access_interface.h"

class CNARecord;
class CNAStatement;

class CNAStatementsDataAccess : public CNAItemsDataAccess {
 public:
  // The description the data access reads its table (or query result) by:
  // the server's, else the imported one; null before either exists.
  virtual INADataSourceDescription* piGetDataSourceNoRef() const = 0;
  // Its record (null before it was opened).
  virtual CNARecord* pclGetRecordNoRef() const = 0;
  // Whether a description exists; when none does, a statement that ran a
  // SELECT asks the data access to build the imported one from its result
  // (bInitImportedDataSourceDesc, 1 or 0 with the error).
  virtual int bHasDataSourceDescription() const = 0;
  virtual int bInitImportedDataSourceDesc(CNAStatement* pclStatement) = 0;
  // The statement is closing its result (its positions lose their rows).
  virtual void ClosingStatement(CNAStatement* pclStatement) = 0;
  // A move with the update flag read a row into the current record: the
  // data access refreshes what it derives from it. 1, or 0 with the error.
  virtual int bOnRecordRefreshed(CNAStatement* pclStatement) = 0;
  // The longest packed row seen by its statements (the data access sizes
  // its row limits by it); raised by the statements as they read.
  virtual void RaiseLongestRow(int nBytes) = 0;
  // The user code of the data access's errors (the server's file number).
  virtual unsigned int nGetUserCode() const = 0;
  // The rows of the next window of a browse whose windows hold llRows
  // (a limit sized by row length follows the rows seen since). Default: the
  // same.
  virtual long long llNextWindowRows(long long llRows) const { return llRows; }
};

#endif  // KQ230_STATEMENTS_STATEMENTS_DATA_ACCESS_INTERFACE_H_
