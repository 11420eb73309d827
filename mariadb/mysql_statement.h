// CMySQLStatementSQL: the MariaDB back end's statement. It runs one SQL text
// through the client library (mysql_real_query), holds its result set, fetches
// rows with their cell lengths and hands cells to value holders.
//
// Modes: in store mode (the default) the whole result is read into client
// memory (mysql_store_result): the row count is known and the statement can
// seek. In use mode the rows are streamed (mysql_use_result): the row count
// is -1 ("not counted") until the last row was read, no seek is possible, and
// the connection is busy until the rows are read off (the reset does it).
//
// Several statements in one text: the first result set that carries rows is
// the statement's; the sets after it are read and freed, and a statement
// after it that fails fails the execution with the server's error (its error
// is not lost, and the connection is ready for the next text).
//
// Fetching: bFetch answers 1 with the end-of-data flag set after the last
// row; 0 only when the client library reports an error. Rows count from 0:
// bDataSeek(k) makes the next fetch read row k.
//
// Column table: built from the client library's field records (the layout
// of the loaded library's version; Connector/C numbers itself 3.x while it
// has the 4.1 layout of 84 bytes on i386). Integer columns marked UNSIGNED
// become unsigned items; a DECIMAL(p,s) column gets p - s integer digits.
//
// Errors: every client call is guarded: a stand-by entry is user error 37
// naming the function, any other fault user error 23 ("MariaDB") with the
// driver's fatal-error debug message; server errors are user error 22 with
// the native code and message. A query the server refuses as larger than its
// max_allowed_packet gets user error 26 first (packet limit, query length,
// the start of the query), the native code kept.
//
// Ownership: counted like its base; the result set is its own and freed by
// the reset and the destructor. The connection (a CMySQLConnection) is held
// by one reference through the base.
// Threads: none; used under the driver lock.
#ifndef KQ230_MARIADB_MYSQL_STATEMENT_H_
#define KQ230_MARIADB_MYSQL_STATEMENT_H_

#include "statements/statement_sql.h"

class CMySQLConnection;
class CTString;
typedef struct st_mysql_res MYSQL_RES;
typedef char** MYSQL_ROW;

class CMySQLStatementSQL : public CNAStatementSQL {
 public:
  // File number of this statement's debug lines.
  static constexpr int kFile = 100;
  // The client library's flag of an UNSIGNED column.
  static constexpr unsigned int kFieldUnsigned = 0x20;
  // The character set of binary strings.
  static constexpr int kCharsetBinary = 63;

  // Store mode; one reference on each of the connection and the error.
  CMySQLStatementSQL(CMySQLConnection* pclConnection, CNAError* pclError);
  ~CMySQLStatementSQL() override;

  // The back end's statement for a connection, no reference taken; null when
  // the connection is no MariaDB connection or memory runs out.
  static CMySQLStatementSQL* s_pclAllocStatementSQL(CNAConnectionDescription* pclConnection,
                                                    CNAError* pclError);

  // ---- Overrides
  // mysql_affected_rows of the connection. 1, or 0 when the call faulted.
  int bGetAffected_rows(unsigned long long* pnRows) override;
  // The next row (any direction reads the next one): 1 with the row, or 1
  // with the end-of-data flag set after the last one; 0 with the error when
  // the client library reports one (a use-mode stream cut, a later
  // statement of the text that failed).
  int bFetch(unsigned int nDirection) override;
  // Positions before row llRow (from 0) of a stored result: the next fetch
  // reads it (none past the end). 0 with user error 38 for a streamed
  // result, a negative row or no result.
  int bDataSeek(long long llRow) override;
  using CNAStatementSQL::bGetValue;
  // The cell of the current row into the holder (see the .cc for the
  // conversions by column type). 0 with user error 7 without a current row,
  // 51 or 50 for a column outside the result.
  int bGetValue(CNAConvertVariant* pclValue, unsigned int nColumn, unsigned int nFlags) override;
  // The raw cell: its bytes (null for NULL) and length. Same failures.
  int bGetValue(unsigned char** ppCell, unsigned int* pnLength, unsigned int nColumn);
  int nGetRowBytes() const override {
    if (m_pnLengths == nullptr) return 0;
    unsigned long long n = 0;
    for (int i = 0; i < nGetColumnCount(); ++i) n += m_pnLengths[i];
    return n > 0x7FFFFFFFull ? 0x7FFFFFFF : static_cast<int>(n);
  }
  int bGetRawCell(unsigned int nColumn, const unsigned char** ppCell,
                  unsigned int* pnLength) override {
    unsigned char* pCell = nullptr;
    const int bOk = bGetValue(&pCell, pnLength, nColumn);
    *ppCell = bOk ? pCell : nullptr;
    return bOk;
  }
  // A use-mode result is read off, the result freed, the rest of a
  // multi-statement text drained; then the base's close.
  int _bCloseParse() override;
  int _bInitTabNAColumn() override;
  // The base's error and dump; then, when the server refused the query as
  // too large (1153, or the connection dropped: 2006, 2013, 2020), user
  // error 26 first when max_allowed_packet is below the query's length.
  void _InitExecuteError(unsigned int nFile, unsigned int nSite, const wchar_t* pszQuery,
                         int nLength, unsigned int nFlags) override;
  using CNAStatementSQL::_bExecuteDirect;
  // mysql_real_query, then the result in the statement's mode and the
  // column table.
  int _bExecuteDirect(const char* pszText, const CTabValParser* pclParser,
                      NA_WRITEPARSEFLAGS nFlags) override;

  // ---- Mode
  int bGetStoreMode() const { return m_bStoreMode; }
  void SetStoreMode(int bStore) { m_bStoreMode = bStore ? 1 : 0; }
  void SetStreamMode(int bStream) override { SetStoreMode(!bStream); }

  // ---- Column types
  // The item type and size of a client column type (see the .cc's table).
  // nPrecision is the integer digits of a DECIMAL; bUnsigned makes integer
  // columns unsigned items.
  static void s_ConvertItemType(eNA_ITEMTYPE* peType, int* pnSize, int nClientType,
                                long long llLength, int nPrecision, int nDecimals,
                                int nCharset, int bUnsigned);
  // Whether a character-set number is one of Unicode.
  static int s_bCharsetUnicode(int nCharset);
  // The integer digits of a DECIMAL column of that length (the client's
  // display length: digits, the point when there are decimals, the sign
  // unless UNSIGNED).
  static int s_nDecimalIntegerDigits(long long llLength, int nDecimals, int bUnsigned);
  // The size of one field record of the loaded client library; 0 when no
  // library is loaded.
  static int s_nFieldRecordSize();

  CMySQLConnection* pclGetMySQLConnection() const;

 protected:
  int _bGetStoreResult();
  int _bGetUseResult();
  MYSQL_ROW __pFetchRow();
  int _bFetch();

 private:
  // Reads and frees the result sets that follow the current one. 1, or 0
  // (with the error when bReport) when a later statement failed.
  int _bDrainMoreResults(int bReport);
  // Keeps mysql_affected_rows for bGetAffected_rows.
  void _KeepAffectedRows();
  // The last error of the handle at a site; a lost connection ends the
  // transaction as aborted and closes the handle.
  void _TakeLastError(int nSite);
  // A fault of a guarded call: 37 or 23. 0.
  int _nReportFault(int nSite, const CTString* pStandByName);
  // The server's max_allowed_packet, asked on the connection (reopened once
  // when it was lost, outside a transaction); 0 when it cannot be had.
  unsigned long long _llAskPacketLimit();
  // The cell checks shared by both bGetValue: 1 with the cell, else 0 and
  // the error.
  int _bGetCell(unsigned int nColumn, const char** ppCell, unsigned long* pnLength);

  MYSQL_RES* m_pResult = nullptr;
  MYSQL_ROW m_pRow = nullptr;
  int m_bUseResultOpen = 0;
  unsigned long* m_pnLengths = nullptr;
  int m_bStoreMode = 1;
  // The current result is streamed (use mode): no seek.
  int m_bStreamed = 0;
  // The affected rows of the text's statement without rows, read before
  // mysql_next_result resets them.
  unsigned long long m_nAffectedRows = 0;
  int m_bAffectedKept = 0;
  // The last __pFetchRow faulted (the error is reported).
  int m_bFetchFault = 0;
  // Further result sets of a use-mode text may follow the current one.
  int m_bMoreResults = 0;
  // Inside the max_allowed_packet check: it runs statements itself.
  int m_bInPacketCheck = 0;
};

#endif  // KQ230_MARIADB_MYSQL_STATEMENT_H_
