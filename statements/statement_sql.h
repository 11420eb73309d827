// CNAStatementSQL: the base of the back end's SQL statement: one SQL text
// run on one connection, its result set and the description of its result
// columns. The MariaDB back end derives its statement from it and supplies
// what talks to the server: running the text and building the column table
// from the client library's field descriptions (_bInitTabNAColumn).
//
// So far the base holds what describing a result needs: the column count,
// the column table (one CNAColumnSQL per result column) and the statement's
// number. Running, fetching, values and rows come with the statements that
// drive it.
//
// Data-source descriptions read the columns through CNAResultColumns, the
// interface that the item layer declares for them (it sits below this
// folder and cannot name this class).
//
// Ownership: counted (CInterf), born at 0; whoever uses a statement holds
// one reference while it does. It holds one reference on its connection and
// one on its error object. The column table is its own.
// Threads: none of its own; used under the driver lock (the process-wide
// statement counter relies on it).
#ifndef KQ230_STATEMENTS_STATEMENT_SQL_H_
#define KQ230_STATEMENTS_STATEMENT_SQL_H_

#include "driver/reference_counted.h"
#include "items/column_sql.h"
#include "items/result_columns.h"

class CNAConnectionDescription;
class CNAError;

class CNAStatementSQL : public CInterf, public CNAResultColumns {
 public:
  // File number of the statement's errors in their debug line.
  static constexpr int kErrorFile = 50;

  // Numbers the statement (the first gets 1) and takes one reference on
  // each of the connection and the error object (either may be null).
  CNAStatementSQL(CNAConnectionDescription* pclConnection, CNAError* pclError);
  ~CNAStatementSQL() override;
  CNAStatementSQL(const CNAStatementSQL&) = delete;
  CNAStatementSQL& operator=(const CNAStatementSQL&) = delete;

  // ---- CNAResultColumns
  // The column count; 1.
  int bGetColumnNbr(int* pnCount, unsigned int nFlags) override;
  // Column i. The table is built on first need (_bInitTabNAColumn) when the
  // count is not 0; its failure answers null with no further error. An
  // index below 0 is user error 51, one not below the count user error 50.
  CNAColumnSQL* pclGetNAColumnSQL(int i) override;

  // ---- Own virtual operations
  // Closes the result (_bCloseParse) and forgets it: no column, no table.
  // 1.
  virtual int bReset();
  // Clears the result-open flag; 1.
  virtual int _bCloseParse();
  // Builds the column table of the open result. Base: 0 (a statement
  // without a server has no field description to read).
  virtual int _bInitTabNAColumn();

  int nGetStatementNumber() const { return m_nNumber; }
  CNAError* pclGetError() const { return m_pclError; }
  CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }

  // The process-wide counter of statements (not atomic: statements are
  // made under the driver lock).
  static int m_gnStmtGenerator;

 protected:
  // The back end, when it opens a result: its number of columns (below 0
  // counts as 0); an existing column table is destroyed.
  void _SetColumnCount(int nCount);
  // A fresh table of the column-count records (zeroed); 0 and the
  // out-of-memory error when it cannot be had.
  int _bAllocTabNAColumn();
  // Record i of the table being built (null outside it or without table).
  CNAColumnSQL* _pclGetColumnForFill(int i);
  void _SetResultOpen(int b) { m_bResultOpen = b; }
  int _bIsResultOpen() const { return m_bResultOpen; }

 private:
  void _FreeTabNAColumn();

  CNAError* m_pclError;
  CNAConnectionDescription* m_pclConnection;
  int m_bResultOpen = 0;
  int m_nColumnCount = 0;
  CNAColumnSQL* m_pTabColumns = nullptr;
  int m_nNumber;
};

#endif  // KQ230_STATEMENTS_STATEMENT_SQL_H_
