// CNAStatementSQL: the base of the back end's SQL statement: one SQL text
// run on one connection, its result set, the description of its result
// columns and its last error. The MariaDB back end derives its statement from
// it (mariadb/mysql_statement.h) and supplies what talks to the server:
// running an 8-bit text, fetching, seeking, reading a cell into a value
// holder and building the column table from the client library's field
// descriptions.
//
// The base holds the state every back end shares (row count, current row,
// column count and table, end-of-data flag), inlines the parameters of a
// parsed text as SQL literals, converts a wide text into the connection's
// code page, gives column names, whole rows as text and single values, and
// builds the errors of the column lookups.
//
// Data-source descriptions read the columns through CNAResultColumns, the
// interface that the item layer declares for them (it sits below this
// folder and cannot name this class).
//
// Rows: numbered from 0. The row count is -1 while it is not known (after a
// reset, and for a result streamed from the server until its end); the
// current row is -1 before the first row.
//
// Ownership: counted (CInterf), born at 0; whoever uses a statement holds
// one reference while it does. It holds one reference on its connection and
// one on its error object, and one on the value holder it makes on first
// need. The column table is its own.
// Threads: none of its own; used under the driver lock (the process-wide
// statement counter relies on it).
#ifndef KQ230_STATEMENTS_STATEMENT_SQL_H_
#define KQ230_STATEMENTS_STATEMENT_SQL_H_

#include "core/string_concat.h"
#include "driver/reference_counted.h"
#include "items/column_sql.h"
#include "items/result_columns.h"

class CAny;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNAError;
class CTStringConcatAW;
class INAError;
struct CTabValParser;

// The read flags passed from the data access down to the statement; each
// bit is told where it acts.
typedef unsigned int NA_WRITEPARSEFLAGS;

class CNAStatementSQL : public CInterf, public CNAResultColumns {
 public:
  // File number of the statement's errors in their debug line.
  static constexpr int kErrorFile = 50;
  // User errors raised here.
  static constexpr unsigned int kErrNoCurrentRow = 7;
  static constexpr unsigned int kErrColumnPastCount = 50;
  static constexpr unsigned int kErrColumnNegative = 51;
  // A query dump keeps at most this many characters of the text.
  static constexpr int kDumpMaxChars = 5000;

  // Numbers the statement (g_nNextStmtNumber: the first gets 1) and takes
  // one reference on each of the connection and the error object (either
  // may be null).
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

  // ---- Virtual operations, in slot order
  // Preparing and running prepared text: not offered by the base (0).
  virtual int bPrepareSQL(CTStringConcatAW* pclText);
  virtual int bExecutePreparedQuery(NA_WRITEPARSEFLAGS nFlags);
  // Resets, then runs pszText with the parser's parameters written into it
  // as SQL literals (none without a parser). A text the connection's 8-bit
  // code page cannot hold is refused (user error 44): it would reach the
  // server with "?" in place of the characters. 1, or 0 with the error.
  virtual int bExecuteDirect(const wchar_t* pszText, const CTabValParser* pclParser,
                             NA_WRITEPARSEFLAGS nFlags);
  // The rows the last statement changed. Base: 0.
  virtual int bGetAffected_rows(unsigned long long* pnRows);
  // The next row. A back end answers 1 at the end of the rows too, with the
  // end-of-data flag set; 0 only for a failure. Base: 0.
  virtual int bFetch(unsigned int nDirection);
  // Positions before row llRow (from 0): the next fetch reads it. Base: 0.
  virtual int bDataSeek(long long llRow);
  // The current row's cell nColumn into the holder, converted to its type
  // (NULL for a NULL cell). Base: 0.
  virtual int bGetValue(CNAConvertVariant* pclValue, unsigned int nColumn, unsigned int nFlags);
  // The cell as a language value: wide text (type 16) for bGetValue, binary
  // (type 28) for bGetBLOBValue, through the statement's value holder.
  // 0 when the cell cannot be read (the value is then untouched).
  virtual int bGetValue(CAny* pValue, unsigned int nColumn, unsigned int nFlags);
  virtual int bGetBLOBValue(CAny* pValue, unsigned int nColumn, unsigned int nFlags);
  // The bytes of the current row's cells together (0 without a row).
  // Base: 0.
  virtual int nGetRowBytes() const { return 0; }
  // The current row's cell nColumn as the server sent it (the connection's
  // character set), *ppCell null for NULL; valid until the next fetch.
  // Base: 0 (no cells to give).
  virtual int bGetRawCell(unsigned int nColumn, const unsigned char** ppCell,
                          unsigned int* pnLength) {
    (void)nColumn;
    *ppCell = nullptr;
    *pnLength = 0;
    return 0;
  }
  // Closes the result (_bCloseParse) and forgets it: row count and current
  // row -1, no column, no table, end of data. 1.
  virtual int bReset();
  // Clears the result-open flag; 1.
  virtual int _bCloseParse();
  // Builds the column table of the open result. Base: 0 (a statement
  // without a server has no field description to read).
  virtual int _bInitTabNAColumn();
  // The connection's last native error into the statement's error, with the
  // debug pair (nFile, nSite). 1 when there was one.
  virtual int _bInitLastError(unsigned int nFile, unsigned int nSite);
  // A failed execution: the last native error, then the query dump of the
  // text. pszQuery is the text (or its start: the dump keeps at most
  // kDumpMaxChars characters); nLength is the length of the text as sent,
  // in bytes of the connection's code page (-1 when not known).
  virtual void _InitExecuteError(unsigned int nFile, unsigned int nSite, const wchar_t* pszQuery,
                                 int nLength, unsigned int nFlags);
  // Appends pValue as an SQL literal of the connection to the builder.
  // 1, or 0 with the error.
  virtual int _bAddParameter(CTStringConcatAW* pclText, unsigned int nIndex, const CAny* pValue);
  // Runs a built text: its wide form when the builder is wide, else its
  // 8-bit form.
  virtual int _bExecuteDirect(CTStringConcatAW* pclText, const CTabValParser* pclParser,
                              NA_WRITEPARSEFLAGS nFlags);
  // Converts the text to the connection's code page, then runs the 8-bit
  // form. 0 when the connection's code page is wide (-2) or cannot hold the
  // text.
  virtual int _bExecuteDirect(const wchar_t* pszText, const CTabValParser* pclParser,
                              NA_WRITEPARSEFLAGS nFlags);
  // Runs an 8-bit text of the connection's code page. Base: 0.
  virtual int _bExecuteDirect(const char* pszText, const CTabValParser* pclParser,
                              NA_WRITEPARSEFLAGS nFlags);
  // The next execution streams its rows (1: read as they come, no seek, row
  // count unknown until the end) or stores them (0). Base: always stored.
  virtual void SetStreamMode(int bStream);

  // ---- Own operations
  // Resets, then runs the 8-bit text without parameters.
  int bExecuteDirect(const char* pszText, NA_WRITEPARSEFLAGS nFlags);
  // Runs pszText, fetches one row and, when there is one, reads column
  // nColumn into pValue. The statement is reset in every case. A result
  // without rows succeeds and leaves the value untouched.
  int bGetRequestedValue(CAny* pValue, unsigned int nColumn, const wchar_t* pszText);
  // The error object, no reference added; 1.
  int bGetStmtLastError(INAError** ppiError);
  void ResetLastError();
  // The item type of column i (0 when it does not exist, with the error of
  // pclGetNAColumnSQL) and its name (null then).
  eNA_ITEMTYPE _eGetColumnType(int i);
  const wchar_t* _pszGetColumnName(int i);
  // The name of column i as a wide text value (type 110); 0 when it does not
  // exist.
  int bGetColumnName(CAny* pValue, int i, unsigned int nFlags);
  // The names of all columns joined with "\r\n" as a wide text value (type
  // 16). No column: 1, the value untouched. A column that cannot be had
  // ends the list with 0.
  int bGetColumnList(CAny* pValue, unsigned int nFlags);
  // The current row as text: the columns' texts (a NULL or empty cell adds
  // nothing) with pszSeparator between them. nCount > 0 and below the
  // column count takes the first nCount columns, else all. At the end of
  // the rows: user error 7 and 0. The first cell that cannot be read ends
  // the row with 0.
  int bGetRow(CXYStringConcat<wchar_t>* pclOut, const wchar_t* pszSeparator, int nCount,
              unsigned int nFlags);
  // The same as a wide text value (type 110; empty when nothing was
  // gathered).
  int bGetRow(CAny* pValue, const wchar_t* pszSeparator, int nCount, unsigned int nFlags);
  // Parameter nIndex of the parser: its start and length (characters) in the
  // text and its value. A parameter flagged as a file (bit 0) gets the
  // file's content (binary unless bits 0 and 4 are both set), and the load's
  // failure is the result. 0 for an index outside the parser.
  int _bGetParameter(CAny* pValue, int* pnStart, int* pnLength, const CTabValParser* pclParser,
                     int nIndex);
  // Debug message 28588 (database, default database, user), then the query
  // text (secrets masked) as a debug text, at most kDumpMaxChars characters
  // of it (nChars -1: up to its terminator). Nothing without an error
  // object.
  void _DumpQueryInError(const wchar_t* pszQuery, int nChars);

  int nGetStatementNumber() const { return m_nNumber; }
  CNAError* pclGetError() const { return m_pclError; }
  CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
  long long llGetRowCount() const { return m_llRowCount; }
  long long llGetCurrentRow() const { return m_llCurrentRow; }
  int bIsEndOfData() const { return m_bEndOfData; }
  int nGetColumnCount() const { return m_nColumnCount; }

  // The process-wide counter of statements (not atomic: statements are
  // made under the driver lock). Unsigned, so that it wraps without
  // overflowing; the numbers it gives stay positive ints.
  static unsigned int m_gnStmtGenerator;
  // The next statement number: 1 to INT_MAX, then 1 again, never 0 (0 is
  // "no statement" at the handle-level interface).
  static int g_nNextStmtNumber();

 protected:
  // The back end, when it opens a result: its number of columns (below 0
  // counts as 0); an existing column table is destroyed.
  void _SetColumnCount(int nCount);
  // A fresh table of the column-count records (zeroed); 0 and the
  // out-of-memory error when it cannot be had.
  int _bAllocTabNAColumn();
  // Record i of the table being built (null outside it or without table).
  CNAColumnSQL* _pclGetColumnForFill(int i);
  // Column i of a built table, no error raised (null when missing).
  CNAColumnSQL* _pclGetColumnNoError(int i) const;
  void _SetResultOpen(int b) { m_bResultOpen = b; }
  int _bIsResultOpen() const { return m_bResultOpen; }
  void _SetRowCount(long long ll) { m_llRowCount = ll; }
  void _SetCurrentRow(long long ll) { m_llCurrentRow = ll; }
  void _SetEndOfData(int b) { m_bEndOfData = b; }
  // The statement's value holder, made on first need through the driver's
  // factory; null (with the out-of-memory error) when it cannot be had.
  CNAConvertVariant* _pclGetValueHolder();
  // Raises user error nCode with the debug pair (kErrorFile, nSite) on the
  // statement's error object; 0.
  int _nRaise(int nSite, unsigned int nCode);

 private:
  void _FreeTabNAColumn();
  // The cell through the value holder set to the language type.
  int _bGetValueAs(CAny* pValue, unsigned int nColumn, unsigned int nFlags,
                   unsigned short nVXType);

  CNAError* m_pclError;
  CNAConnectionDescription* m_pclConnection;
  int m_bResultOpen = 0;
  long long m_llRowCount = 0;
  long long m_llCurrentRow = -1;
  int m_nColumnCount = 0;
  CNAColumnSQL* m_pTabColumns = nullptr;
  int m_bEndOfData = 1;
  // Per result, zeroed on every reset; no back end reads it.
  int m_nResultWord = 0;
  int m_nNumber;
  CNAConvertVariant* m_pclValue = nullptr;
};

#endif  // KQ230_STATEMENTS_STATEMENT_SQL_H_
