// CNAStatement: the query engine of one data access: it holds one SQL
// command, runs it through a back-end statement (CNAStatementSQL, made by
// the driver's SQL side for the data access's connection) and moves through
// its rows, filling the data access's current record column by column from
// the current row, either straight on the server's result or through its
// record cache (CNARecordCache).
//
// Rows are numbered over the whole ordered result, from 0, whatever window
// of it the command's row limit and start offset select: a window that
// starts at offset k holds rows k, k+1, ... First counts from the command's
// own start (the data access places a window there to reach a far row), and
// so does the first next after an execution; last is the last row of the
// whole result. A browse with a unique order moves across windows: a move
// past the end of a window cut by its limit runs the next one (the same
// command at the offset after it), a move before its first row runs an
// earlier one.
//
// Without a record cache the result is stored in the client library (store
// mode) and a move seeks in it. With the cache on, each window is read with
// the client's streaming mode and drained into the cache in the same call:
// nothing stays open on the connection and the rows are kept once, packed.
// The cache is bounded (kRecordCacheDefaultCap unless lowered): on a browse
// with a unique order a window stops at the cap and the cache empties and
// goes on from the row after it when a move gets there; without a unique
// order no cap applies, since no later window could find its place again.
//
// The cell road of the items: bGetSQLColumnValue hands the current row's cell
// to a column's holder (the back end's bGetValue), which converts it into the
// record buffer's slot; a test that has no server hands rows in with
// SetCurrentRow instead.
//
// Ownership: counted (CInterf, born at 0). One reference on its connection,
// its error object, its back-end statement, its command, search, filter,
// original record value and record cache; the data access and its record are
// not counted (the data access owns both and outlives its statements, and
// detaches itself before it lets one go).
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_STATEMENTS_STATEMENT_H_
#define KQ230_STATEMENTS_STATEMENT_H_

#include <string>

#include "core/wide_string.h"
#include "driver/reference_counted.h"
#include "items/statement_interface.h"
#include "kq230/parse_direction.h"
#include "statements/statement_sql.h"

class CAny;
class CNAColumn;
class CNACommand;
class CNAConnectionDescription;
class CNAError;
class CNAFilter;
class CNARecherche;
class CNARecordCache;
class CNARecordIdLayout;
class CNARecordValueBase;
class CNAStatementsDataAccess;
class CNAZBRecord;
enum eOPEXPRESSION : int;
class CSQLParserInfo;
class INADataSourceDescription;
template <class T>
class CNARefArray;
template <class T>
class CTTableau;

class CNAStatement : public CNAStatementBase {
 public:
  // User errors of its cell reads: no current row, no such column.
  static constexpr unsigned int kErrNoCurrentRow = 7;
  static constexpr unsigned int kErrNoSuchColumn = 50;
  // An UPDATE that touched no row of a record read: user error 13 of the
  // driver's module, added as error 9, debug message 28591.
  static constexpr unsigned int kErrUpdateTouchedNothing = 13;
  static constexpr unsigned int kErrUpdateAddedAs = 9;
  static constexpr unsigned int kDebugUpdateTouchedNothing = 28591;
  // Query kinds of a command.
  static constexpr int kQuerySelect = 1;
  static constexpr int kQueryUpdate = 2;

  // The statement of a data access: its description's record, its
  // connection; with an error object, the back-end statement is made at
  // once (when none can be had the error says out of memory and the
  // statement is still made: bExecuteDirect tries again).
  CNAStatement(CNAStatementsDataAccess* pclDataAccess, CNAError* pclError);
  // A statement without data access (the record set with SetRecord): the
  // back-end statement is made on the first execution.
  CNAStatement(CNAConnectionDescription* pclConnection, CNAError* pclError);
  ~CNAStatement() override;
  CNAStatement(const CNAStatement&) = delete;
  CNAStatement& operator=(const CNAStatement&) = delete;

  // ---- CNAStatementBase
  // The current row's cell as its column's holder reads it: from the rows
  // handed in by SetCurrentRow when there are any, else the back-end
  // statement's bGetValue (its error copied into the statement's on
  // failure).
  int bGetSQLColumnValue(CNAConvertVariant* pclValue, unsigned int nColumn) override;
  unsigned int nGetBindDefineFlag() const override { return m_nBindDefineFlag; }
  CNARecord* pclGetRecordNoRef() const override { return m_pclRecord; }

  void SetRecord(CNARecord* pclRecord) { m_pclRecord = pclRecord; }
  // The description the record cache lays its rows out by (the data
  // access's, taken at construction; not counted).
  void SetDataSource(INADataSourceDescription* piSource) { m_piSource = piSource; }
  void SetBindDefineFlag(unsigned int nFlags) { m_nBindDefineFlag = nFlags; }
  // A row handed in without a server (tests of the items): nCount cells
  // (apCells[i] null for SQL NULL) of anLengths[i] bytes in code page
  // nCodePage. 0 (the row forgotten) when memory runs out.
  int SetCurrentRow(const char* const* apCells, const unsigned long* anLengths, int nCount,
                    unsigned int nCodePage);
  // No row handed in any more.
  void ClearCurrentRow();
  CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
  CNAError* pclGetError() const { return m_pclError; }
  CNAStatementsDataAccess* pclGetDataAccessNoRef() const { return m_pclDataAccess; }
  // The data access lets the statement go: no call back any more, and no
  // use of its record or description, which go with it.
  void DetachDataAccess() {
    m_pclDataAccess = nullptr;
    m_pclRecord = nullptr;
    m_piSource = nullptr;
  }

  // ---- Lifecycle, execution and fetching (statement.cc, statement_fetch.cc)
  // Close, no longer positioned, the command released.
  virtual void ResetQuery();
  // Frees the result and the record-save state: not started, no current
  // row, cache off, window back at the first row, back-end statement reset
  // (a block fetch in progress keeps its parse state).
  virtual void Close();
  // Runs the current command: Close first when a parse started; an empty
  // command succeeds without a server call. After a SELECT that yields
  // columns, a data access without description builds the imported one
  // from this statement. 1, or 0 with the error.
  virtual int bExecute(NA_WRITEPARSEFLAGS nFlags, int nPrepareMode);
  // Makes pclCommand the current command (one reference), then bExecute.
  virtual int bExecuteDirectNewCommand(CNACommand* pclCommand, NA_WRITEPARSEFLAGS nFlags,
                                       int nPrepareMode);
  // Runs the command's text as it stands (an empty text: success, no
  // server call); with the cache on, the window is drained into the cache.
  // An UPDATE that touched no row while a record is current fails (user
  // error 13).
  virtual int bExecuteDirect(NA_WRITEPARSEFLAGS nFlags, int nPrepareMode);
  // Executes, fetches the first row, reads the first nCount columns into
  // pValues and closes in every case. A result without rows succeeds with
  // the values untouched.
  virtual int bExecuteAndFetch(CAny* pValues, int nCount, int nPrepareMode);
  // Executes the current command and reads column nColumn of its first row
  // into pValue; Close in every case. No row: 1, value untouched.
  virtual int bGetRequestedValue(CAny* pValue, unsigned int nColumn);
  int bExecuteAndFetchColumn(CAny* pValue, unsigned int nColumn);
  // Fetches one row of the back-end result and reads column nColumn as a
  // language value. At the end of the rows: user error 7.
  virtual int bGetResultValue(CAny* pValue, unsigned int nColumn);
  // The current row's cell as a language value (the back end's reading).
  virtual int bGetSQLColumnValue(CAny* pValue, unsigned int nColumn);
  // 1: a stored result and the record cache both move backwards.
  virtual int bCanFetchBackward() { return 1; }
  // The number of rows the command selects: a COUNT(*) over it (the rows
  // fetched one by one when the connection runs no sub-query). The query is
  // reset and the cache switched off first. -1 with 0 on failure.
  virtual int bGetNbEnr(long long* pllCount);
  // The count as a COUNT(*) over the command's SELECT as a derived table.
  int _bCountWithSubQuery(long long* pllCount);
  // Whether a browse of this statement wants the record cache; base: 0.
  virtual int bDefaultParseNeedRecordCache() { return 0; }
  // The move without the public bookkeeping: on the cache when it is on,
  // else on the stored result.
  virtual int _bFetch(eNA_PARSEDIRECTION eDirection, long long llStep);
  // Writes into pclCommand "SELECT COUNT(*) FROM (" the current command's
  // text ") KQ_COUNT". 0 without a current command.
  virtual int _bBuildQueryCOUNT(CNACommand* pclCommand);
  // Fills the current record from the current row.
  virtual int _bUpdateNARecord() { return _bUpdateNARecordFromDB(); }
  // Each column in order, up to the first composed key, reads its cell
  // (bSetValueFromDB); the first failure stops and is the result.
  virtual int _bUpdateNARecordFromDB();
  // Cached row llRow into the original record, then into the current one.
  virtual int _RestaureRecordFromCache(long long llRow);
  // Base: nothing.
  virtual void _SetBestCacheMethod() {}

  // The public move: directions swapped for a command in inverted order,
  // found and out of range set, the row as read kept as the original record
  // and, with bUpdate, the data access told. *pllMoved (may be null): the
  // rows moved. 1, or 0 with the error (out of range then).
  int bFetch(eNA_PARSEDIRECTION eDirection, int bUpdate, long long llStep, long long* pllMoved);
  // The direction a move takes over the rows of a command that sorts
  // against the browse (first and last, next and previous swapped).
  static eNA_PARSEDIRECTION s_eInvertedDirection(eNA_PARSEDIRECTION e);
  // bFetch by one row, then the first min(nCount, columns) columns of the
  // current record into pValues; *pbOutOfRange (may be null) the verdict.
  int bFetchData(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange, CAny* pValues, int nCount);
  // Cache on: made on first need (one reference); off: emptied and freed.
  void EnableCache(int bOn);
  int bIsCacheEnabled() const { return m_pclCache != nullptr && m_bCacheEnabled; }
  CNARecordCache* pclGetRecordCacheNoRef() const { return m_pclCache; }
  // The byte cap of the record caches this statement makes (tests lower
  // it; the default is kRecordCacheDefaultCap).
  void SetCacheByteCap(long long llBytes);

  // ---- Parse state
  int HEndehors() const { return m_bOutOfRange; }
  int EvalHTrouve() const { return m_bFound; }
  int bIsParseStarted() const { return m_bParseStarted; }
  int bIsPositioned() const { return m_bPositioned; }
  // The current row (over the whole result; -1: none, also after a move
  // ran off either end).
  long long llGetCurrentRow() const { return m_llCurrentRow; }
  // The row count at which the last window was cut by its limit; -1 when
  // it was not.
  long long llGetLimitReached() const { return m_llLimitReached; }
  int bWindowStartsAtFirstRow() const { return m_bWindowAtFirstRow; }
  // The browse item (empty for the record-number statement).
  const wchar_t* pszGetBrowseItem() const { return m_strBrowseItem.pszGet(); }
  void SetBrowseItem(const wchar_t* pszItem);
  // Whether the last SELECT built was completed to a unique order (rows in
  // windows can then be found again).
  int bHasUniqueOrder() const { return m_bUniqueOrder; }
  void SetUniqueOrder(int bUnique) { m_bUniqueOrder = bUnique ? 1 : 0; }
  CNAStatementSQL* pclGetStatementSQLNoRef() const { return m_pclStatementSQL; }

  // ---- What the data access keeps on a browse statement
  // Statement flag: the statement keeps its own browse (a pending
  // automatic filter does not move it to the table cache).
  static constexpr unsigned int kStatementOwnBrowse = 0x2;
  void SetStatementFlags(unsigned int nFlags) { m_nStatementFlags = nFlags; }
  unsigned int nGetStatementFlags() const { return m_nStatementFlags; }
  // The read flags of the browse's start.
  void SetParseFlags(NA_WRITEPARSEFLAGS nFlags) { m_nParseFlags = nFlags; }
  NA_WRITEPARSEFLAGS nGetParseFlags() const { return m_nParseFlags; }
  // The lock the next moves take (the data access applies it).
  int bSetLockType(int nLockType) {
    m_nLockType = nLockType;
    return 1;
  }
  int nGetLockType() const { return m_nLockType; }
  // 0: the browse goes on as it is; 2: it must be rebuilt from the row it
  // read last before the next move.
  int nGetParseNeedUpdate() const { return m_nParseNeedUpdate; }
  void SetParseNeedUpdate(int nCause) { m_nParseNeedUpdate = nCause; }
  // What HEndehors and EvalHTrouve answer until the next move: a browse
  // handed a row it did not read itself (a change of browse item) stands
  // on it.
  void SetBrowseState(int bOutOfRange, int bFound) {
    m_bOutOfRange = bOutOfRange ? 1 : 0;
    m_bFound = bFound ? 1 : 0;
  }
  // Whether a browse can be rebuilt from its row as read: its order tells
  // every row apart.
  int bCanUpdateParse() const { return m_bUniqueOrder; }
  // Whether rows can still be read from the result (open in the back end
  // or held by the cache).
  int bHasOpenResult() const;
  // Whether windows of this browse go on from the keys of a row: a SELECT
  // on the table whose order tells every row apart.
  int bKeysetWindows() const;
  // Runs the browse again from its row as read (pclGetOriginalRecordValueNoRef),
  // its current command as the data access built it: with
  // NA_PARSE_NEXT the rows after that row follow, with NA_PARSE_PREVIOUS
  // those before it precede, with NA_PARSE_CURRENT the next move reads it
  // again (bKeptRowGone tells when it was deleted meanwhile: the next row
  // then comes). Without the record cache or keyset windows the browse runs
  // from its start and walks to the row. A move in the direction asked
  // follows. 1, or 0 with the error (no row read yet: user error 7).
  int bExecuteFromKeptRow(eNA_PARSEDIRECTION eDirection);
  int bKeptRowGone() const { return m_bKeptRowGone; }
  // The rows of the browse (its search and filter, no window), or those
  // before its row as read, counted on the server into *pllCount. Only a
  // browse with keyset windows: user error 8 otherwise.
  int bCountRows(int bBeforeKeptRow, long long* pllCount);
  // Moves onto the cached row with the identifier of pclRow when the cache
  // holds it (1); 0, and nothing changed, when it does not.
  int bGoToCachedRow(const CNAZBRecord* pclRow);
  // The browse stands out of range (a row read again that was deleted).
  void MarkOutOfRange() {
    m_bOutOfRange = 1;
    m_bFound = 0;
  }

  // ---- The browse's SELECT and its ORDER BY (statement_select.cc)
  // The statement writes the SELECT of a browse on its record's table (or
  // on the query of a query data access) into a command: the select list,
  // " FROM " and the data access's table text, the WHERE of a search or
  // filter, and an ORDER BY on the browse item completed with the record's
  // order columns until no two rows can tie, so that a browse cut into
  // windows and continued from its last row neither skips nor repeats one
  // (bHasUniqueOrder tells whether it got there). The data access then sets
  // the row limit and start offset on the same command.

  // User error of an unknown browse item.
  static constexpr unsigned int kErrUnknownItem = 6;
  // User error of a condition on a query that only a sub-query could carry,
  // on a connection that runs none.
  static constexpr unsigned int kErrNeedsSubQuery = 41;
  // Options: complete the ORDER BY to a unique order on an ascending (bit 0)
  // and on a descending (bit 1) browse. Both are set at construction.
  static constexpr unsigned int kOptionUniqueOrderAscending = 0x1;
  static constexpr unsigned int kOptionUniqueOrderDescending = 0x2;
  // Option: the data access's query runs as it was written, without
  // correction (its text is not rewritten: a condition is put around it,
  // never into it, and its own ORDER BY is not written again). Clear at
  // construction; the data access sets it for such a query.
  static constexpr unsigned int kOptionQueryWithoutCorrection = 0x4;
  // Read flags that act on the ORDER BY: keep a query's own order; write no
  // completion to a unique order.
  static constexpr unsigned int kReadKeepQueryOrder = 0x20000;
  static constexpr unsigned int kReadNoUniqueOrder = 0x100000;

  // Makes pclCommand the statement's current command (one reference), no
  // unique order yet (SetUniqueOrder(0)), and writes into it, on a table,
  // "SELECT " (no DISTINCT on a table), the record's select list, then
  // _bBuildQuerySELECTFromTable; on a query data access, every column of
  // the record as a define, then _bBuildQuerySELECTFromQuery (a data access
  // without parsed query is user error 8). pszItem (null or empty: no ORDER
  // BY on a table, the browse item on a query) is the browse item's name;
  // pclWhere (may be null) a condition from bGetClauseWHERE. 1, or 0 with
  // the error in the statement's error object; the command then holds what
  // was written before the failure.
  // REQUIRES: pclCommand non-null, on the statement's connection.
  virtual int bBuildQuerySELECT(CNACommand* pclCommand, unsigned int nFlags,
                                const wchar_t* pszItem, int bAscending, CNACommand* pclWhere);
  // Writes into pclCommand the condition of the active search joined with
  // the active filter's; without either, 1 and nothing written.
  virtual int bGetClauseWHERE(CNACommand* pclCommand);
  // A new search of the statement's connection (count 0); null when memory
  // runs out.
  virtual CNARecherche* pclAllocRecherche();
  // The text of one ORDER BY item into *pOut: with bFormatedNames the
  // column's formatted name; else its position in the select list (from 1)
  // when the connection sorts by position and the column is selected; else
  // its formatted select name. 0 when no text can be had.
  virtual int _FormatItemORDERBY(CNACommand* pclCommand, CNAColumn* pclColumn,
                                 int bFormatedNames, CTString* pOut);

  // The part after the select list: query kind SELECT, " FROM " and the
  // table text, the connection's record-lock hint, " WHERE " and pclWhere's
  // text and parameters (with its NULL selection), then, with bOrderBy, the
  // ORDER BY.
  int _bBuildQuerySELECTFromTable(CNACommand* pclCommand, unsigned int nFlags,
                                  const wchar_t* pszItem, int bAscending, CNACommand* pclWhere,
                                  int bOrderBy);
  // The SELECT over the parsed query pclInfo (the command takes it as its
  // parsed query; kind SELECT when it had none). Two forms:
  //  - in place: the query's text, a condition put into its WHERE clause
  //    ("WHERE (its own) AND (pclWhere)", or " WHERE " and pclWhere where
  //    the clause would stand), its own ORDER BY left out when another is
  //    written, then, with bOrderBy and when the query does not limit its
  //    rows itself, the ORDER BY (_bFormatOrderBy on the query), then the
  //    query's end (what follows its last clause). A query that limits its
  //    rows keeps its own order: sorting them again before its LIMIT would
  //    change which rows it selects.
  //  - wrapped: "SELECT * FROM (" the query ")" (_bCloseSubQuery), " WHERE "
  //    and pclWhere, then, with bOrderBy, the ORDER BY by output names.
  //    Taken when bWrap asks for it, and for a condition on a query that
  //    runs without correction, groups its rows (GROUP BY, HAVING) or
  //    limits them: there a condition inside would change what it means.
  // A wrap on a connection without sub-queries, or on a command that is not
  // a SELECT, is user error 41.
  int _bBuildQuerySELECTFromQuery(CNACommand* pclCommand, CSQLParserInfo* pclInfo,
                                  unsigned int nFlags, const wchar_t* pszItem, int bAscending,
                                  CNACommand* pclWhere, int bOrderBy, int bWrap);
  // Whether the data access's query runs without correction (the option).
  int bRequeteSansCorrection() const {
    return (m_nOptions & kOptionQueryWithoutCorrection) != 0 ? 1 : 0;
  }
  // The ORDER BY of the browse item and the command's inverted-order flag
  // (set when the rows come sorted descending). An item the record does not
  // hold is user error 6. On a query (bOnTable 0, pclInfo its digest):
  // kReadKeepQueryOrder keeps the query's own order, written again by the
  // command (bFormatORDERBY) and completed, unless the query runs without
  // correction; no item then means the statement's browse item; a
  // descending browse of a query that limits its rows is sorted ascending.
  // REQUIRES: on a query, the command holds the query's text without its
  // own ORDER BY whenever one is to be written.
  int _bFormatOrderBy(CNACommand* pclCommand, int bOnTable, CSQLParserInfo* pclInfo,
                      unsigned int nFlags, const wchar_t* pszItem, int bAscending,
                      int bFormatedNames);
  // Writes "\r\nORDER BY " and the list: the column (a composed key: its
  // components), then the completion to a unique order. pclColumn may be
  // null (the completion alone). Nothing at all when no item is left. On a
  // query whose own ORDER BY was just written again (kReadKeepQueryOrder,
  // no column), the list goes on after it with "," and no keyword, its
  // columns counted as placed; a LIMIT clause at the end of the command's
  // text is set aside and put back after the list. On a query the server's
  // limit on ORDER BY items is shared with the query's own items, and a
  // column of a corrected query's own ORDER BY marked descending there takes
  // the opposite direction. SetUniqueOrder(1) when every item needed for a
  // unique order was written.
  int _FormatORDERBYList(CNACommand* pclCommand, CNAColumn* pclColumn, int bAscending,
                         CSQLParserInfo* pclInfo, int bFormatedNames, unsigned int nFlags);
  // Closes a sub-query: ")" and, for the server kinds 2, 4 and 7,
  // " KQ_SUBQUERY".
  int _bCloseSubQuery(CNACommand* pclCommand);
  // Whether the SELECT of a table says DISTINCT: never.
  int _bAddDistinct(unsigned int nFlags) const;
  // The condition that finds the row this statement read last again, after
  // " WHERE " when bAddWhere: the row as read is put in the record for the
  // time of the writing, then the record's current values come back. A row
  // never read is user error 7. pTabColumns (may be null) replaces the
  // record's order columns. Identifiers here are never of the row-id kind.
  int _bAddWHERELatestRead(CNACommand* pclCommand, int bAddWhere,
                           const CNARefArray<CNAColumn>* pTabColumns);
  // The condition that finds the record's current row: a search positioned
  // on the record (its unique key) writes it with its parameters. A row no
  // condition can tell (no unique key with a value) is user error 8: an
  // empty condition would find every row.
  int _bAddWHERECurrentRecord(CNACommand* pclCommand, int bAddWhere,
                              const CNARefArray<CNAColumn>* pTabColumns);

  unsigned int nGetOptions() const { return m_nOptions; }
  void SetOptions(unsigned int nOptions) { m_nOptions = nOptions; }
  // The current command; null before the first SELECT was built.
  CNACommand* pclGetCommandNoRef() const;
  // The search and the filter that bGetClauseWHERE writes (one reference
  // each; null: none). The filter counts only while active.
  void SetRecherche(CNARecherche* pclSearch);
  CNARecherche* pclGetRechercheNoRef() const;
  void SetFilter(CNAFilter* pclFilter);
  CNAFilter* pclGetFilterNoRef() const;
  // The row as this statement read it last (one reference; null: none
  // read yet).
  void SetOriginalRecordValue(CNARecordValueBase* pclValue);
  CNARecordValueBase* pclGetOriginalRecordValueNoRef() const;

 private:
  // One item of an ORDER BY being written.
  struct stOrderItem {
    CNAColumn* pclColumn;  // the record's (the record keeps it alive)
    int bAscending;
  };
  // Appends the column unless the list holds it already (same source and
  // column names) or it is a memo the connection cannot sort on; then tells
  // whether the list now orders the rows uniquely. 0 when memory runs out.
  int _bAddOrderItem(CNACommand* pclCommand, CTTableau<stOrderItem>* pTabItems,
                     CNAColumn* pclColumn, int bAscending, int* pbUnique);
  int _nRaiseSelect(int nSite, unsigned int nCode, const wchar_t* pszItem);

  struct stCell {
    char* pText;  // null: SQL NULL
    unsigned int nLength;
  };

  // ---- Execution and moves (statement.cc, statement_fetch.cc)
  int _bAllocStatementSQL();
  int _bCount(int bBySubQuery, long long* pllCount);
  // Runs the command's window starting at row llFirstRow (its offset: the
  // command's own start plus the rows before), drained into the cache when
  // it is on. The command's offset is put back afterwards.
  int _bRunWindow(long long llFirstRow);
  int _bDrainIntoCache(long long llLimit);
  // Runs pclWindow (a SELECT of this browse) as the window whose first row
  // is llFirstRow, drained into the cache when it is on.
  int _bRunWindowCommand(CNACommand* pclWindow, long long llFirstRow);
  // The browse from its first row again (after a rebuild from a row).
  int _bRestartFromFirstRow();
  // What an execution starts from.
  void _ResetExecution();
  // Stores the current record as row llRow of the cache.
  int _nCacheCurrentRecord(long long llRow);
  int _bMoveUncached(eNA_PARSEDIRECTION eDirection, long long llStep);
  int _bMoveCached(eNA_PARSEDIRECTION eDirection, long long llStep);
  int _bSeekAndFetch(long long llTarget);
  // Moves to row llTarget of the stored result, running the windows that
  // lead to it.
  int _bSeekTarget(long long llTarget);
  int _bCanRunAnotherWindow() const;
  // Where first counts from: the command's own start offset (the window the
  // data access chose), 0 without one.
  long long _llFirstRowOfCommand() const;
  long long _llEarlierWindowStart(long long llTarget) const;
  int _bCopyBackEndError();
  int _nRaiseStatement(int nSite, unsigned int nCode);

  CNAStatementsDataAccess* m_pclDataAccess = nullptr;
  CNAConnectionDescription* m_pclConnection;
  CNAError* m_pclError;
  CNARecord* m_pclRecord = nullptr;
  INADataSourceDescription* m_piSource = nullptr;
  unsigned int m_nBindDefineFlag = 0;
  stCell* m_pCells = nullptr;
  int m_nCells = -1;  // -1: no row handed in
  unsigned int m_nCodePage = 0;
  CNAStatementSQL* m_pclStatementSQL = nullptr;
  CNARecordCache* m_pclCache = nullptr;
  int m_bCacheEnabled = 0;
  long long m_llCacheCap = -1;  // -1: the cache's default

  // Parse state.
  int m_bParseStarted = 0;
  int m_bOutOfRange = 1;
  int m_bFound = 0;
  int m_nLockType = 1;
  eNA_PARSEDIRECTION m_eLastDirection = NA_PARSE_FIRST;
  int m_bPositioned = 0;
  long long m_llCurrentRow = -1;
  long long m_llRowsBeforeBlock = 0;
  long long m_llLimitReached = -1;
  int m_bWindowAtFirstRow = 1;
  int m_bBlockFetch = 0;
  int m_nParseNeedUpdate = 0;
  NA_WRITEPARSEFLAGS m_nParseFlags = 0;
  unsigned int m_nStatementFlags = 0;
  int m_nSecondUpdate = -1;
  CTString m_strBrowseItem;
  int m_bUniqueOrder = 0;
  // The window open in the back end: its first row over the whole result,
  // whether it was cut by its limit or by the cache's cap, and the command's
  // own start offset (what the first window began at).
  long long m_llWindowBase = 0;
  int m_bWindowCutByCap = 0;
  long long m_llCommandOffset = -1;
  int m_bWindowOpen = 0;
  // No move since the last execution: next starts at the command's first
  // row.
  int m_bMovedSinceExecute = 0;
  // Rows one filling of the cache up to its cap held: how far back an
  // earlier window starts.
  long long m_llCapRows = 0;
  // The longest packed row of the cache, told to the data access.
  int m_nLongestRow = 0;
  // A cached row read last whose values are not copied into the kept
  // original value yet (-1: none): a browse on the cache copies them only
  // when the row as read is asked for.
  long long m_llKeptCachedRow = -1;
  void _KeepCachedRow();
  // Which items make a row's identifier, chosen once per execution.
  CNARecordIdLayout* m_pIdLayout = nullptr;
  int m_bIdLayoutReady = 0;

  // ---- Keyset windows (statement_keyset.cc)
  static constexpr int kMaxKeysetItems = 32;
  // Where a rebuilt browse numbers its row as read: far from 0, so that the
  // rows before it keep numbers above -1.
  static constexpr long long kKeysetOrigin = 1LL << 40;
  // The rows after, from or before a row; every row (no condition).
  enum eKEYSETRELATION : int { KEYSET_AFTER, KEYSET_FROM, KEYSET_BEFORE, KEYSET_ALL };
  // The order values of a row as the server sent them, with the row's
  // identifier: a text of the record ends at its first NUL, so a window
  // that goes on from a value holding one writes the server's bytes.
  struct stRawAnchor {
    long long llRow = -1;  // -1: none
    std::string strId;
    std::string aCells[kMaxKeysetItems];
    unsigned char abNull[kMaxKeysetItems] = {};
  };
  // Keeps the order cells of the back end's current row, which the cache
  // holds as row llRow, in slot nSlot (0: the first row held, 1: the last
  // row of the latest window).
  void _CaptureRawAnchor(int nSlot, long long llRow);
  // The capture of cached row llRow when one holds that very row; null.
  const stRawAnchor* _pGetRawAnchor(long long llRow);
  stRawAnchor m_aRawAnchor[2];
  void _ClearKeyset();
  void _KeepKeysetOrder(const stOrderItem* pItems, int nItems, int nOrderAt);
  int _bWriteKeysetComparison(CNACommand* pclCommand, int i, const CAny& clValue, int bAfter,
                              int bAscending, const stRawAnchor* pRaw, int* pbWritten);
  int _bWriteKeysetEquality(CNACommand* pclCommand, int i, const CAny& clValue,
                            const stRawAnchor* pRaw);
  // The condition of the rows after, from or before the record's current
  // row in the browse's order.
  int _bWriteKeysetCondition(CNACommand* pclCommand, eKEYSETRELATION eRelation,
                             const stRawAnchor* pRaw);
  // Writes item i's value: the server's bytes when the raw anchor holds a
  // text with a NUL (a literal in the connection's utf8mb4), else the
  // record's value as a parameter.
  int _bWriteKeysetValue(CNACommand* pclCommand, int i, const CAny& clValue, eOPEXPRESSION eOperator,
                         const stRawAnchor* pRaw);
  CNACommand* _pclNewCommand();
  // A new SELECT of the window from the record's current row, or from
  // pclRow; empty with the error.
  CInterfRef<CNACommand> _refNewKeysetWindow(eKEYSETRELATION eRelation, long long llCount,
                                             const stRawAnchor* pRaw = nullptr);
  CInterfRef<CNACommand> _refNewKeysetWindowFromRow(const CNAZBRecord* pclRow,
                                                    eKEYSETRELATION eRelation, long long llCount,
                                                    const stRawAnchor* pRaw = nullptr);
  long long _llKeysetWindowCount() const;
  // The window after cached row llAnchorRow, drained after it.
  int _bRunKeysetAfter(long long llAnchorRow);
  // The window before cached row llAnchorRow (or pclRow numbered so): the
  // cache then holds it, nearest row last; the rows it held are read again
  // later. *pllShift: how far every row number moved up.
  int _bRunKeysetBefore(long long llAnchorRow, long long* pllShift);
  int _bRunKeysetBeforeRow(const CNAZBRecord* pclRow, long long llAnchorRow, long long* pllShift,
                           const stRawAnchor* pRaw = nullptr);
  // The window from pclRow itself on (the cache emptied), its first row
  // numbered llFirst.
  int _bRunKeysetFrom(const CNAZBRecord* pclRow, long long llFirst);
  // The row as read, when the cache holds no row to go on from: its buffer;
  // null without one.
  const CNAZBRecord* _pclKeptRowBuffer();
  void _ShiftRowNumbers(long long llShift);
  CNAZBRecord* _pclScratchRow();
  int _bCachedRowIs(long long llRow, const CNAZBRecord* pclRow);
  int _bReadyIdLayout();
  int _bFindKeptRowByScan(const CNAZBRecord* pclRow);


  stOrderItem m_aKeysetItems[kMaxKeysetItems];
  int m_nKeysetItems = 0;
  int m_nKeysetOrderAt = -1;
  int m_nKeysetWhereAt = -1;
  int m_bKeysetTable = 0;
  // Whether where the result starts is known (m_llStartRow: no row below).
  int m_bStartKnown = 1;
  long long m_llStartRow = 0;
  // Rows after the last row held are still to be read (a window before
  // the rows held replaced them).
  int m_bMoreAfter = 0;
  int m_bKeptRowGone = 0;
  // Out of range, the row number the browse stands at (one past the last
  // row, or one before the first); LLONG_MIN: none.
  long long m_llOutsideRow = -0x7FFFFFFFFFFFFFFFLL - 1;
  long long _llMovesFrom() const;
  CNAZBRecord* m_pclScratchRow = nullptr;

  // ---- The browse's SELECT (statement_select.cc)
  unsigned int m_nOptions = kOptionUniqueOrderAscending | kOptionUniqueOrderDescending;
  // Held as CInterf so that this header needs only their declarations.
  CInterfRef<CInterf> m_refCommand;
  CInterfRef<CInterf> m_refRecherche;
  CInterfRef<CInterf> m_refFilter;
  CInterfRef<CInterf> m_refOriginalValue;
};

#endif  // KQ230_STATEMENTS_STATEMENT_H_
