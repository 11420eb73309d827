// CNADataAccess: a table (or a query's result) as one server context sees
// it. Its context (driver/na_context.h) keeps it under the server's data
// identifier; the driver makes it through its data-access factory. It owns
// the statements that browse the table, one per browse item, and the
// current record they fill; the statements call back into it through
// CNAStatementsDataAccess (statements/statements_data_access_interface.h).
//
// Opening (bHOuvre): the table's description is read from the database and
// must hold every item of the server's description (user error 20 names the
// first missing one); it becomes the imported description, and the record is
// laid out from the server's description with the imported items beside
// them. A failure leaves the data access closed with the error at level 2.
// Closing (bHFerme) closes and lets go of every statement, their caches and
// the record; closing a closed data access does nothing.
//
// Reading (na_data_access_read.cc): a read of the first, last, next or
// previous record of a browse picks the item's statement, builds and runs
// its SELECT when the browse starts (windows of the connection's cache
// size, kept in the statement's record cache and continued from the keys of
// a row), and moves it; a browse that must be rebuilt (its cache freed, a
// lost link outside a transaction) goes on from its row as read. Record
// numbers and positions (na_data_access_position.cc), searches and keys
// (na_data_access_search.cc); writes, locks, filters and queries answer user
// error 8 (na_data_access_unbuilt.cc).
//
// Internal queries (na_data_access_internal.cc): a data access without
// description runs the driver's own queries for the SQL builder
// (bExecuteQueryInternal, sqlbuilder/internal_query_interface.h): the
// statement learns the columns from the result, the record is laid out
// after them, and the rows are read through the statement without record
// cache. The automatic identifier's object (pclGetIDAuto) is made on first
// use.
//
// Existence (bFichierExiste) asks the server for the table by
// SHOW TABLES LIKE: the name is written as a pattern that matches only
// itself in every sql_mode (see the .cc).
//
// Names: the logical name is the description's (or "" without one); the
// database table name is the description's database name (its logical name
// when it has none) formatted for the connection when the data access is
// made; the alias is the context's next logical name when the data access
// joins a context that has one (again when it opens), else the logical
// name.
//
// Ownership: a CInterf; the context's table holds one reference (the table
// object one more, later). It holds one reference on its connection (given
// back through the driver), one on its error (its context's error for data
// accesses a context made), an external one on the server's description,
// an internal one on the imported description, one on its record and one
// on each statement of its table. Objects answered by the pclAlloc
// operations belong to the caller. The context pointer is not counted: the
// context outlives the data accesses it holds and clears it when it lets
// one go.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_TABLES_NA_DATA_ACCESS_H_
#define KQ230_TABLES_NA_DATA_ACCESS_H_

#include <map>
#include <string>
#include <unordered_map>

#include "core/hash_table_bounce.h"
#include "core/wide_string.h"
#include "kq230/connection_description_interface.h"
#include "kq230/parse_direction.h"
#include "kq230/table_types.h"
#include "sqlbuilder/internal_query_interface.h"
#include "statements/record_id.h"
#include "statements/statement.h"
#include "statements/statements_data_access_interface.h"

class CNACommand;
class CNAIDAuto;
class CNADataSourceDescription;
class CNAError;
class CNARecord;
class CNATransactionBase;
class CNAZBRecord;
class CNAZBRecordBase;
class INAQueryExecution;
class ISQLParserInformation;
class INADataSourceDescription;

class CNADataAccess : public CNAStatementsDataAccess, public CNAInternalQueryDataAccess {
 public:
  // File number of the data access's errors in their debug line.
  static constexpr int kErrorFile = 23;
  // What the data access cannot do without a connection or a result: user
  // error 8 of the driver's module.
  static constexpr unsigned int kErrNotOffered = 8;
  // The error level of a failed opening.
  static constexpr int kOpenFailureLevel = 2;
  // File number of the read's errors in their debug line.
  static constexpr int kReadErrorFile = 3;
  // User errors of a read: the data access is not open; a backward move
  // the statement cannot make; a filter on a query read as it is given; a
  // browse that cannot be rebuilt from its row as read.
  static constexpr unsigned int kErrNotOpened = 19;
  static constexpr unsigned int kErrCannotMoveBack = 82;
  static constexpr unsigned int kErrFilterOnQuery = 35;
  static constexpr unsigned int kErrCannotUpdateParse = 83;
  // An item number the record does not hold, or not a memo where one is
  // needed; a file that could not be written.
  static constexpr unsigned int kErrUnknownItemNumber = 17;
  static constexpr unsigned int kErrFileNotWritten = 15;

  // Read flags (NA_WRITEPARSEFLAGS) that steer a read.
  // Browse on the table cache.
  static constexpr NA_WRITEPARSEFLAGS kReadTableCache = 0x2000;
  // Go on with the current statement when it browses the same item.
  static constexpr NA_WRITEPARSEFLAGS kReadSameStatement = 0x4000;
  // A new statement takes the filter of the previous one.
  static constexpr NA_WRITEPARSEFLAGS kReadCopyFilter = 0x8000;
  // No record cache for the statement.
  static constexpr NA_WRITEPARSEFLAGS kReadNoRecordCache = 0x10000;
  // Browse on the default item (the unique key) instead of the one named.
  static constexpr NA_WRITEPARSEFLAGS kReadDefaultItem = 0x20000;
  // Out of range ends a search's browse: no continuation in its next part.
  static constexpr NA_WRITEPARSEFLAGS kReadNoSearchContinuation = 0x40000;
  // The record cache goes (and the table cache with it) when a read falls
  // back from a pending automatic filter.
  static constexpr NA_WRITEPARSEFLAGS kReadCacheOffOnFallback = 0x100000;

  // Native codes of a link lost to the server: gone away, lost during the
  // query. A read that meets one outside a transaction connects again.
  static constexpr unsigned int kNativeServerGone = 2006;
  static constexpr unsigned int kNativeServerLost = 2013;

  // Access flag: a query source read as the server gives it (its rows are
  // never limited to windows, a filter on it is refused).
  static constexpr int kAccessQueryAsGiven = 0x4;

  // The query mode of an internal query: its rows read as the server gives
  // them (kAccessQueryAsGiven among its bits), no record cache.
  static constexpr int kQueryModeInternal = 132;

  // The connection's cache size that asks for windows of about 1 MiB of
  // the longest row seen, at least kLeastRowLimit rows; kDefaultRowLimit
  // before any row was seen.
  static constexpr long long kCacheSizeByRowLength = -2;
  static constexpr long long kLeastRowLimit = 20;
  static constexpr long long kDefaultRowLimit = 1000;

  // The first record number given to a row without an integer key of its
  // own (below it, numbers are key values).
  static constexpr long long kFirstMappedRecNum = 1LL << 40;
  // User errors of a position or record number never given (or freed).
  static constexpr unsigned int kErrUnknownPosition = 84;
  static constexpr unsigned int kErrUnknownRecNum = 85;
  // States of bGetRecNumState.
  static constexpr unsigned int kRecNumPresent = 0;
  static constexpr unsigned int kRecNumDeleted = 1;

  // The description (may be null: a query's data access), the connection and
  // the error (either may be null).
  CNADataAccess(INADataSourceDescription* piSource, CNAConnectionDescription* pclConnection,
                CNAError* pclError);
  // Closes (bHFerme), then lets go of everything it holds.
  ~CNADataAccess() override;
  CNADataAccess(const CNADataAccess&) = delete;
  CNADataAccess& operator=(const CNADataAccess&) = delete;

  // ---- CNADataAccessBase
  // Binds it to its context (null: none) and takes the context's next
  // logical name as its alias when there is one.
  void SetContext(CNAContext* pclContext) override;
  int bIsOpened() override { return m_bOpened; }
  // Closes every statement (its result and cache), lets them go, and drops
  // the record and the imported description. Not opened afterwards; 1, also
  // when it was not open.
  int bHFerme() override;
  // Keeps the mode; 1.
  int bHMode(_eNA_HMODE eMode) override;
  const wchar_t* pszGetLogicalName() override { return m_csLogicalName.pszGet(); }
  const wchar_t* pszGetAliasName() override { return m_csAliasName.pszGet(); }
  const wchar_t* pszGetDBTableName() override { return m_csDBTableName.pszGet(); }
  CNAConnectionDescription* pclGetConnection() override { return m_pclConnection; }

  // ---- CNAItemsDataAccess
  // A table's data access: 0.
  int bSourceIsQuery() const override { return 0; }
  CNAParsedQuery* pclGetSourceQueryNoRef() const override { return nullptr; }
  // A CNAZBRecord laid out for the description; over the server's own
  // description always zeroed (its items are never asked a default).
  CNAZBRecordBase* pclAllocZBRecord(CNAError* pclError, INADataSourceDescription* piSource,
                                    eINITTYPE eInit) override;
  // A CNARecordValue without buffer.
  CNARecordValueBase* pclAllocRecordValue(CNAError* pclError) override;
  // An empty CNARecordId of the record-values kind (MariaDB has no row
  // identifier); null when memory runs out.
  CNARecordIdBase* pclAllocRecordID(const CNARecordValueBase* pclValue) override;

  // ---- CNAStatementsDataAccess
  // The server's description, else the imported one.
  INADataSourceDescription* piGetDataSourceNoRef() const override;
  CNARecord* pclGetRecordNoRef() const override { return m_pclRecord; }
  int bHasDataSourceDescription() const override { return piGetDataSourceNoRef() != nullptr; }
  // A data access with a description has nothing to import: 1. Otherwise the
  // imported description is made from the columns of the statement's
  // result (its logical name the data access's); 0 with the error when the
  // statement has no result or memory runs out.
  int bInitImportedDataSourceDesc(CNAStatement* pclStatement) override;
  // The current statement closing its result stays current (its item is
  // still browsed); nothing else derives from it yet.
  void ClosingStatement(CNAStatement* pclStatement) override;
  // Nothing derives from the record yet: 1.
  int bOnRecordRefreshed(CNAStatement* pclStatement) override;
  void RaiseLongestRow(int nBytes) override {
    if (nBytes > m_nLongestRow) m_nLongestRow = nBytes;
  }
  unsigned int nGetUserCode() const override { return m_nUserCode; }
  // A cache size given by row length follows the longest row seen.
  long long llNextWindowRows(long long llRows) const override;

  // ---- Opening, closing, existence
  // Opens the table for the context with the access the server asks
  // (pszName, the name the server opens it under, is kept; may be null).
  // An open data access answers 1 at once. 1, or 0 with the error (level 2).
  virtual int bHOuvre(_eNA_ACCESS eAccess, const wchar_t* pszName);
  // Whether the table pszName exists on the connection's database, into
  // *pbExists. 1, or 0 with the server's error (*pbExists then 0).
  // REQUIRES: pbExists non-null.
  virtual int bFichierExiste(const wchar_t* pszName, int* pbExists);
  // Whether counting the rows needs a browse of them. Base: 1.
  virtual int bNbEnrNeedParse() { return 1; }
  // The description of table pszName read from the database, with one
  // (internal) reference for the caller; null with the error. The connection
  // is opened first when it is not open.
  virtual CNADataSourceDescription* pclGetDataSourceDescriptionFromDB(const wchar_t* pszName);
  // Makes the current record: laid out from the server's description (a
  // query's data access: the imported one) with the imported items and the
  // connection, and the record identifier's layout chosen for it. 1, or 0
  // with the error (no record then).
  virtual int _bInitCurrentRecord();
  // The imported description (one internal reference taken; null: none).
  virtual void _SetImportedDataSourceDesc(CNADataSourceDescription* pclImported);
  // A new statement of this data access on its error (count 0): the
  // driver's (pclAllocStatement) when it makes one, else the generic one;
  // null when memory runs out.
  virtual CNAStatement* _pclAllocStatement();
  // A new record of this data access (count 0); null when memory runs out.
  virtual CNARecord* _pclAllocRecord();

  // ---- The server's record commands, forwarded by the table object (its
  // operations of the same names). Each answers 1 or 0 with the error in
  // the data access's error object. Writes, locks, filters, queries and
  // reindexing are not offered yet: they answer user error 8.
  virtual int bHCreation(const wchar_t* pszName, int bReplace);
  virtual int bHCreationSiInexistant(_eNA_ACCESS eAccess, const wchar_t* pszPassword);
  virtual int bSupprimeFichier();
  virtual int bSupprimeTout();
  virtual int bHReindexe(unsigned int dwOptions, IGaugeControl* piGauge);
  virtual int bHAjoute(unsigned int dwFlags, eNA_LOCKTYPE eLock);
  virtual int bHEcrit(long long llRecNum, unsigned int dwFlags, eNA_LOCKTYPE eLock);
  virtual int bHRaye(long long llRecNum, eNA_LOCKTYPE eLock);
  virtual int bHSupprime(long long llRecNum, eNA_LOCKTYPE eLock);
  virtual int bHModifie(long long llRecNum, unsigned int dwFlags, eNA_LOCKTYPE eLock);
  virtual int bHBloqueFichier(eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLockOut);
  virtual int bHDebloqueFichier();
  virtual int bHBloqueNumEnr(long long llRecNum, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLockOut);
  virtual int bHDebloqueNumEnr(long long llRecNum);
  virtual int bHLibere();
  virtual int bHFiltre(ISQLParserInformation* piQuery, wchar_t* pszText);
  virtual int bHFiltre(const wchar_t* pszItem, const CAny* pMin, int bMinIncluded,
                       const CAny* pMax, int bMaxIncluded, ISQLParserInformation* piQuery);
  virtual int bHActiveFiltre(const wchar_t* pszItem);
  virtual int bHDesactiveFiltre(const wchar_t* pszItem);
  virtual int bSetBLOB(unsigned int nItem, const CAny* pValue);
  virtual int bSetRecord(CNAZBRecordBase* pRecord);
  virtual int bHAttacheMemo(unsigned int nItem, const wchar_t* pszFile);
  virtual int bExecuteQuery(int* pbResultSet, const wchar_t* pszQuery,
                            ISQLParserInformation* piQuery, unsigned int dwMode,
                            const INAQueryExecution* piExecution);
  virtual int bHNbEnr(long long* pllCount, unsigned int dwWhat, unsigned int dwFlags);
  virtual int bHVersion(int* pnVersion);
  // The transaction of the connection ended; the transaction's record locks
  // are given up.
  virtual void SetTransactionTermined() {}
  virtual void CancelRecordLock(INAConnectionDescription* piConnection,
                                CNATransactionBase* pclTransaction);

  // Reading and browsing (tables/na_data_access_read.cc).
  virtual int bHLitxxx(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection, int nOption,
                       eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLockOut, NA_WRITEPARSEFLAGS nFlags);
  virtual int bSkipRecord(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection,
                          long long llStep, int nOption, eNA_LOCKTYPE eLock,
                          eNA_LOCKTYPE* peLockOut, NA_WRITEPARSEFLAGS nFlags);
  virtual int bHLit(long long llRecNum, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLockOut);
  virtual int bHEndehors(const wchar_t* pszItem, int* pbOut);
  virtual int bEvalHTrouve(const wchar_t* pszItem, int* pbFound, int* pbEvaluated);
  virtual int bSetNextOperation(eNA_OPERATION eOperation);
  virtual long long llGetRecNum();
  virtual int bGetRecNumState(long long llRecNum, unsigned int* pdwState);
  virtual int bGetRecord(CNAZBRecordBase** ppRecord);
  virtual int bGetBLOB(unsigned int nItem, CAny* pValue);
  virtual int bExtraitMemo(unsigned int nItem, const wchar_t* pszFile);
  virtual int bFreeCache();

  // Searches and keys (tables/na_data_access_search.cc).
  virtual int bHRecherche(const wchar_t* pszItem, const CAny* pValue, int bGeneric,
                          int nCompare, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLockOut, int nOption,
                          NA_WRITEPARSEFLAGS nFlags);
  virtual int bHAnnuleRecherche(const wchar_t* pszItem);
  virtual int bHChangeCle(const wchar_t* pszItem, unsigned int dwFlags);
  virtual int bHConstruitValCle(CAny* pOut, const wchar_t* pszItem, unsigned int nCount,
                                CAny** ppValues);

  // Positions (tables/na_data_access_position.cc).
  virtual int bHSauvePosition(int* pnPosition, const wchar_t* pszItem, unsigned int dwKind);
  virtual int bHRetourPosition(int nPosition, wchar_t* pszItem, int bKeep, unsigned int dwKind);
  virtual int bHLiberePosition(int nPosition);
  virtual int bHPositionCourante(int* pnPosition, const wchar_t* pszItem,
                                 eNA_PRECISION ePrecision);
  virtual int bHPositionne(const wchar_t* pszItem, unsigned int dwPosition,
                           eNA_PRECISION ePrecision, unsigned int dwFlags);
  virtual int bCompareTablePosition(int nFirst, int nSecond, int* pnOrder);

  // ---- The read's steps (tables/na_data_access_read.cc)
  // Writes the browse's SELECT into pclCommand: the statement's search and
  // filter, its ORDER BY on the item, and the row limit. A skip of
  // *pllStep rows at or beyond the limit reads only the window that ends on
  // its target: the start offset is set and *pllStep becomes the rows left
  // in it.
  virtual int bBuildSelect(CNAStatement* pclStatement, CNACommand* pclCommand,
                           const wchar_t* pszItem, int bAscending, NA_WRITEPARSEFLAGS nFlags,
                           long long* pllStep);
  // Rebuilds the browse of the statement from its row as read and moves it
  // (next: the rows after it, previous: before it, read again: from it).
  virtual int bGoToOriginalRecord(int nPositionMode, CNAStatement* pclStatement, int nOption,
                                  eNA_PARSEDIRECTION eDirection, long long llStep);
  // Applies or releases the lock of the current record.
  virtual int bLockUnlockRecord(CNAStatement* pclStatement, eNA_LOCKTYPE eLock, int bUnlock,
                                eNA_LOCKTYPE* peLockOut);
  // The fetch of a read: reopens the browse when it starts or must be
  // rebuilt, then moves it.
  virtual int _bFetch(CNAStatement* pclStatement, const wchar_t* pszItem,
                      eNA_PARSEDIRECTION eDirection, long long llStep, int nOption,
                      eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLockOut, NA_WRITEPARSEFLAGS nFlags,
                      int bRestart);
  // A failed read's second chance: a lost link outside a transaction
  // connects again and the read is made once more; 0: none.
  virtual int _bRepriseErreurParcours(CNAStatement* pclStatement, const wchar_t* pszItem,
                                      eNA_PARSEDIRECTION eDirection, eNA_LOCKTYPE eLock,
                                      eNA_LOCKTYPE* peLockOut, NA_WRITEPARSEFLAGS nFlags);

  // ---- Statements by browse item (names compared without regard to case)
  // The statement of the item; null when it has none.
  CNAStatement* pclGetItemStatementNoRef(const wchar_t* pszItem) const;
  // The statement of the item, made and entered in the table when it has
  // none (it becomes the current statement). Null with the error when it
  // cannot be made.
  CNAStatement* _pclInitStatement(const wchar_t* pszItem);
  int nGetStatementCount() const { return static_cast<int>(m_tabStatements.dwGetNumElement()); }
  CNAStatement* pclGetCurrentStatementNoRef() const { return m_pclCurrentStatement; }

  // ---- Automatic filter and access flags
  // An automatic filter is pending (the next read on the same browse falls
  // back to the table cache).
  virtual void SetFiltreAuto(int bPending) { m_bFiltreAutoPending = bPending ? 1 : 0; }
  int bIsFiltreAutoPending() const { return m_bFiltreAutoPending; }
  void SetAccessFlags(int nFlags) { m_nAccessFlags = nFlags; }
  int nGetAccessFlags() const { return m_nAccessFlags; }

  // ---- Internal queries and automatic identifiers (na_data_access_internal.cc)
  // CNAInternalQueryDataAccess: the text run with the query mode
  // kQueryModeInternal on the record-number statement (its cache off); a
  // data access without description takes pszName as its logical name, and
  // forgets the columns of an earlier internal query first.
  int bExecuteQueryInternal(CNAInternalQueryStatement** ppStatement, const wchar_t* pszName,
                            const wchar_t* pszText) override;
  // The data access's automatic-identifier object, made on first use
  // (_pclAllocIDAuto); null with the out-of-memory error when none can be
  // had. No reference for the caller: the data access keeps it.
  CNAIDAuto* pclGetIDAuto();
  // The next value of the record's automatic identifier into its column:
  // a forecast for the user to see, never to be written by an INSERT (see
  // sqlbuilder/id_auto.h). 1 (also without such a column), or 0 with the
  // error.
  int bSetNewAutoId();
  // A new automatic-identifier object (count 0): the driver's
  // (pclAllocIDAuto) when it makes one, else the generic one; null when
  // memory runs out.
  virtual CNAIDAuto* _pclAllocIDAuto();

  // ---- Read by tests and the later layers
  CNAContext* pclGetContext() const { return m_pclContext; }
  CNAError* pclGetError() const { return m_pclError; }
  INADataSourceDescription* piGetSource() const { return m_piSource; }
  CNADataSourceDescription* pclGetImportedNoRef() const { return m_pclImported; }
  const CNARecordIdLayout* pclGetRecordIdLayout() const { return &m_clRecordIdLayout; }
  _eNA_HMODE eGetMode() const { return m_eMode; }
  _eNA_ACCESS eGetAccess() const { return m_eAccess; }
  int nGetLongestRow() const { return m_nLongestRow; }
  void SetUserCode(unsigned int nCode) { m_nUserCode = nCode; }

 protected:
  // Every item of the server's description must exist in the database's
  // description; that description becomes the imported one. 1, or 0 with
  // the error (20 for an item the table lacks).
  int _bCheckCompatibility();
  // Closes, detaches and releases every statement.
  void _CloseStatements();
  // The name the database knows the table by: the description's database
  // name, else its logical name.
  const wchar_t* _pszGetRawTableName() const;
  int _nRaise(int nSite, unsigned int nCode, const wchar_t* pszItem);
  // The answer of an operation not offered yet: user error 8 with the
  // debug text "<pszOperation>: not built yet"; 0.
  int _nNotBuiltYet(const wchar_t* pszOperation, int nSite);
  int _nRaiseRead(int nLine, unsigned int nCode, const wchar_t* pszItem);
  // The read's helpers (tables/na_data_access_read.cc).
  const wchar_t* _pszGetDefaultParseItem() const;
  // The statement of the item (made when missing), now the current one,
  // with one reference for the caller; null with the error.
  CNAStatement* _pclGetNewItemStatement(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection,
                                        NA_WRITEPARSEFLAGS nFlags);
  int _bEnableRecordLimit(CNAStatement* pclStatement, const wchar_t* pszItem) const;
  long long _llGetRowLimit() const;
  CNACommand* _pclNewCommand();
  int _bOpenStatement(CNAStatement* pclStatement, const wchar_t* pszItem, int bAscending,
                      NA_WRITEPARSEFLAGS nFlags, long long* pllStep, int nPrepareMode,
                      eNA_PARSEDIRECTION eFromKeptRow);
  int _bMoveStatement(CNAStatement* pclStatement, const wchar_t* pszItem,
                      eNA_PARSEDIRECTION eDirection, long long llStep, int nOption,
                      eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLockOut, NA_WRITEPARSEFLAGS nFlags);
  int _bUpdateParse(int nPositionMode, CNAStatement* pclStatement, int nOption,
                    eNA_PARSEDIRECTION eDirection, long long llStep);
  // The column of item nItem (the description's order) of the current
  // record, and its place among the memos into *pnMemo (-1: no memo; may be
  // null); null with user error 17 (or 19 not open).
  CNAColumn* _pclGetItemColumn(unsigned int nItem, int* pnMemo);
  // Switches the statement's record cache off; a browse under way is
  // rebuilt from its row as read at its next move.
  void _DropStatementCache(CNAStatement* pclStatement);
  // The statement of the item named, else the current one (may be null).
  CNAStatement* _pclGetAskedStatement(const wchar_t* pszItem) const;

  // ---- Record numbers and positions (tables/na_data_access_position.cc)
  struct stSavedPosition;
  int _nRaiseNumber(int nLine, unsigned int nCode, long long llNumber);
  void _FreePositionsAndNumbers();
  // The one integer column that numbers rows by its value; null when the
  // identifier is another.
  CNAColumn* _pclGetNumberKey() const;
  int _bRowIdentifier(const CNAZBRecord* pclBuffer, std::string* pOut) const;
  // The condition that finds the row of record number llRecNum (user
  // error 85 for a number never given).
  int _bWriteRecNumCondition(long long llRecNum, CNACommand* pclCondition);
  // Reads the row of record number llRecNum into the record.
  virtual int _bMove(long long llRecNum, int bRead);
  // The rows before pclRow (null: all the rows) in the browse of the item.
  int _bRowsBefore(const wchar_t* pszItem, CNARecordValueBase* pclRow, long long* pllBefore);
  // The item's statement with its SELECT written, one reference for the
  // caller; null with the error (user error 8 when its order does not tell
  // rows apart).
  CNAStatement* _pclGetBuiltStatement(const wchar_t* pszItem);

  // ---- Searches (na_data_access_search.cc)
  // The record's column of the item named; null with user error 6 (an
  // unknown item, named in the error) at debug line nSite.
  CNAColumn* _pclGetItemColumn(const wchar_t* pszItem, int nSite);
  // User error 19 (not open), its message given the table's name.
  int _nRaiseNotOpened(int nSite, const wchar_t* pszItem);

 private:
  void _ReleaseRecord();

  CNAError* m_pclError;
  CNARecord* m_pclRecord = nullptr;
  CNAConnectionDescription* m_pclConnection;
  INADataSourceDescription* m_piSource;
  CNADataSourceDescription* m_pclImported = nullptr;
  int m_bOpened = 0;
  CRefStringHashTable<CNAStatement*> m_tabStatements{7};
  // One of the table's statements (not counted again).
  CNAStatement* m_pclCurrentStatement = nullptr;
  CTString m_csDBTableName;
  CNAContext* m_pclContext = nullptr;
  unsigned int m_nUserCode = 0;
  _eNA_HMODE m_eMode = static_cast<_eNA_HMODE>(1);
  _eNA_ACCESS m_eAccess = static_cast<_eNA_ACCESS>(0);
  int m_nLongestRow = 0;
  CTString m_csLogicalName;
  CTString m_csAliasName;
  CTString m_csOpenName;
  CNARecordIdLayout m_clRecordIdLayout;
  // Record numbers given to rows that have no integer key of their own,
  // and saved positions.
  std::unordered_map<std::string, long long> m_recNumByKey;
  std::unordered_map<long long, CNAZBRecord*> m_rowByRecNum;
  long long m_llNextRecNum = kFirstMappedRecNum;
  std::map<int, stSavedPosition*> m_positions;
  int m_nNextPosition = 1;
  // The read's state.
  int m_nAccessFlags = 0;
  int m_bFiltreAutoPending = 0;
  int m_bResuming = 0;
  eNA_OPERATION m_eNextOperation = NA_OPERATION_NONE;
  // The automatic identifier's object (one reference; null before first use).
  CNAIDAuto* m_pclIDAuto = nullptr;
};

#endif  // KQ230_TABLES_NA_DATA_ACCESS_H_
