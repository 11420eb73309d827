// CNADriver: the one driver object of the library, handed to the application
// server as INADriver, and the abstract factory of the driver's native-access
// objects (the back end, mariadb/mysql_driver.h, supplies the factories that
// have no generic behaviour). The rest of the driver finds it through
// CNADriver::s_pclDriver.
//
// What it owns:
//   - the current error (a CNAError with one reference), which the server
//     reads through piGetLastError after an operation answered 0;
//   - the table of connections, keyed by identification text (see
//     bBuildCnxIdentification), each connection with one reference held by
//     the table; connections with equal identifications are one shared
//     session;
//   - the table of table objects (driver/table_interface.h), keyed by
//     identification text: "Table=%s;%s" (data source, connection) for a
//     table shared by all contexts, "CTX=%u;Table=%s;%s" (server context,
//     query, connection) for the kept result of a query, private to its
//     context; one internal reference each;
//   - the table of contexts (driver/na_context.h), keyed by the server's
//     context identifier, one reference each;
//   - the 28 labels of the query dump and of the connections' native
//     information (25 loaded from the module's messages, 3 empty);
//   - the server's database-engine interface, library shop and
//     virtual-machine data, kept without references;
//   - the handle-level SQL interface (driver/driver_sql_base.h), made on
//     first need, one internal reference.
// The classes of the layers above the driver core (variants, data-source
// descriptions, statements, columns, commands, item descriptions, automatic
// identifiers, parameters, the handle-level SQL interface, table objects and
// data accesses) are made by the back end's factories; the generic driver's
// answer null.
//
// Identifications of connections and table objects: they compare and hash
// exactly (a user
// "Bob" is not "bob", a password "Secret1" not "secret1"), and the password
// appears in them only as a keyed digest whose key is drawn when the library
// starts, so that no printable form of an identification discloses it.
//
// Lifetime: made by piQueryInterface through the back end; the server holds
// external references (ExternalAddRef / nExternalRelease) and the last
// release destroys it: its contexts, table objects and connections are
// released (connections closed), its error released, s_pclDriver cleared.
// A table object that the server still holds then lives on by its external
// count alone, without a driver: its later operations fail with an error.
// Threads: every INADriver operation runs in one frame of the driver lock
// (driver/driver_lock.h); the factories and the operations that only touch
// the caller's error object do not lock.
#ifndef KQ230_DRIVER_NA_DRIVER_H_
#define KQ230_DRIVER_NA_DRIVER_H_

#include <cstdint>

#include "core/hash_table_bounce.h"
#include "core/wide_string.h"
#include "driver/driver_sql_base.h"
#include "driver/reference_counted.h"
#include "driver/table_interface.h"
#include "kq230/na_driver_interface.h"
#include "kq230/zb_for_na.h"

class CAny;
class CNAConnectionDescription;
class CNAContext;
class CNADataAccessBase;
class CNAError;
class CNAItemServices;
class CNATransactionBase;

// The parameter values that a query dump lists, in the order of their
// markers in the SQL text (the parser's table of markers, as the dump reads
// it). A null array with a count above 0 is read as no values.
struct _stQueryDumpParameters {
  const CAny* const* ppValues;
  unsigned int nCount;
};

// Labels of the query dump and of the connections' native information, in
// the order of the driver's table (each loaded with one blank appended).
enum eNAQueryDumpLabel : int {
  NAQDL_QUERY_TEXT,             // 25676
  NAQDL_PARAMETER_COUNT,        // 25679
  NAQDL_PARAMETER,              // 25678
  NAQDL_LANGUAGE_TYPE,          // 25675
  NAQDL_ADO_TYPE,               // 25680
  NAQDL_VALUE,                  // 25670
  NAQDL_CONVERSION_FAILURE,     // 25674
  NAQDL_BIND_INFORMATION,       // 25810
  NAQDL_CONNECTION_PARAMETERS,  // 25843
  NAQDL_DATA_SOURCE,            // 25846
  NAQDL_NATIVE_LIBRARY,         // 25869
  NAQDL_PROVIDER,               // 25849
  NAQDL_USER,                   // 25847
  NAQDL_DATABASE,               // 25848
  NAQDL_CONNECTION_TIMEOUT,     // 25834
  NAQDL_COMMAND_TIMEOUT,        // 25835
  NAQDL_LOCK_TIMEOUT,           // 25836
  NAQDL_CURSOR_POSITION,        // 25837
  NAQDL_UNICODE,                // 25838
  NAQDL_LOCK_TAG,               // 25839
  NAQDL_LOCK_MODE,              // 25840
  NAQDL_ENGINE_DATE_FORMAT,     // 25841
  NAQDL_CHARACTER_SET,          // 25842
  NAQDL_LANGUAGE_CODE_PAGE,     // 25844
  NAQDL_CONNECTION_CODE_PAGE,   // 25845
  NAQDL_LOADED_COUNT,           // 25: the three after it stay empty
  NAQDL_COUNT = 28,
};

class CNADriver : public INADriver {
 public:
  // The error file number of the driver object's debug lines.
  static constexpr int kErrorFile = 5;

  // ---- Process-wide state (set by the library's entry points)
  // The driver object: set by piQueryInterface, cleared when it dies.
  static CNADriver* s_pclDriver;
  // The library's own handle, as bExternalInitLibrary received it.
  static HINSTANCE s_hDllHandle;
  // Interface versions announced by the database-engine module (handshake
  // kind 7) and the SQL-parser library (kind 28); 0 until announced.
  static unsigned int s_nID_KQZB;
  static unsigned int s_nID_KQSQL;

  // Module initialisation, run by the first bExternalInitLibrary of a span:
  // keeps the handle, initialises the common layer, clears the announced
  // versions, makes the driver lock and draws the identification key. 1.
  static int g_NAInitModule(HINSTANCE hModule);
  // The generic part of the module termination: destroys the driver lock,
  // releases the client-library loader, ends the common layer and answers
  // its result. The back end's termination runs it last.
  static int g_NATermModule();

  // ---- Construction (the back end's constructor runs this first)
  // No external reference, no current error (bInitDriver or AllocError
  // makes it), record limit -1. Stores itself in s_pclDriver when that is
  // empty, and hands its database-engine slot to the key builder.
  CNADriver();
  CNADriver(const CNADriver&) = delete;
  CNADriver& operator=(const CNADriver&) = delete;

  // ---- INADriver (slot numbers in kq230/na_driver_interface.h)
  int nGetVersion() override;      // 18
  int nGetCompatSince() override;  // 17
  void ExternalAddRef() override;
  // One external reference less; at 0 the driver is destroyed. The new count.
  int nExternalRelease() override;
  // Identifier 1: the handle-level SQL interface (made on first need) with
  // one external reference, as INADriverSQL*; any other identifier, or no
  // interface made: null. Resets the current error.
  void* piGetInterface(int nIdentifier) override;
  // Gets (or joins) the connection of the description and opens it. 1, or 0
  // with the back end's error in the current error, level 2, and the
  // connection unregistered.
  int bOpenConnection(INAConnectionDescription* piConnection) override;
  // Drops one opening's reference while the connection has openings not yet
  // closed (a close beyond them, or without any, drops nothing); the last
  // user's release closes and unregisters the connection unless a
  // transaction is running on it. Always 1.
  int bCloseConnection(INAConnectionDescription* piConnection) override;
  int bCopyContext(INACopyCtx* piCopy, INAContext* piFrom, INAContext* piTo,
                   unsigned int dwFlags) override;  // 0
  INAError* piGetLastError() override;

  // Every registered table object's bHMode for the context; the results
  // combined by "and" from 1.
  int bHMode(INAContext* piContext, _eNA_HMODE eMode) override;
  // The table object of the data source on the connection (shared by all
  // contexts), with one external reference for the server; null with the
  // error when the connection or the object cannot be had.
  INATable* piGetTable(INAConnectionDescription* piConnection,
                       INADataSourceDescription* piSource) override;
  // The connection opened, then the SQL interface's table list (no
  // condition). Without an SQL interface: 0.
  int bGetTableList(CAny* pValue, INAConnectionDescription* piConnection,
                    unsigned int dwFlags) override;
  // Opens the connection; then the table's description read from the
  // database (_piReadTableDesc) with one external reference, or null.
  INADataSourceDescription* piGetTableDesc(const wchar_t* pszTable,
                                           INAConnectionDescription* piConnection) override;
  // bHExecuteRequeteSQLEx without an execution object.
  int bHExecuteRequeteSQL(INATable** ppiTable, INAContext* piContext, const wchar_t* pszQuery,
                          INAConnectionDescription* piConnection,
                          ISQLParserInformation* piParsed, unsigned int dwFlags) override;
  // Closes and drops every data access of the context, forgets its next
  // logical name, then releases the context; 1, or 0 when the server context
  // has none.
  int bCloseContext(INAContext* piContext) override;
  // The connection's transaction hooks with the current error. Commit and
  // rollback on an unregistered connection: user error 14 (sites 5.4, 5.5).
  // A transaction's end is told to every table object of the connection
  // when the connection asks for it (bTransactionEndCloseParse).
  int bTransactionBegin(INAConnectionDescription* piConnection, const wchar_t* pszName) override;
  int bTransactionCommit(INAConnectionDescription* piConnection, const wchar_t* pszName) override;
  int bTransactionRollBack(INAConnectionDescription* piConnection,
                           const wchar_t* pszName) override;
  // The registered connection (else user error 14, sites 5.1, 5.2), opened,
  // then its bSQLBloque; the back end overrides both.
  int bSQLBloqueTable(INAConnectionDescription* piConnection, const wchar_t* pszTable) override;
  int bSQLBloqueRequete(INAConnectionDescription* piConnection,
                        ISQLParserInformation* piParsed) override;
  // The SQL interface's column type list for the connection (its native
  // type names, one per line); without an SQL interface the empty text.
  // Always 1.
  int bSQLFormatColonne(INAConnectionDescription* piConnection, CAny* pValue) override;
  // The registered connection's bDiagnose (else user error 14, site 5.3).
  int bHConnexionDiagnose(CAny* pValue, INAConnectionDescription* piConnection,
                          const wchar_t* pszText, unsigned int dwFlags) override;
  // Not offered: user error 8, type 7 (site 5.6); 0.
  int bGetProviderList(CAny* pValue) override;
  // Opens the connection; then _bTableExists. *pbExists is 0 unless found.
  int bTableExists(int* pbExists, const wchar_t* pszTable,
                   INAConnectionDescription* piConnection) override;
  // Gets the connection; _bGetLinkList (the SQL interface's link list).
  int bGetLinkList(CAny* pValue, const wchar_t* pszTable, INADataSourceDescription* piSource,
                   INAConnectionDescription* piConnection, unsigned int dwFlags) override;
  // The value becomes the empty text; 1.
  int bGetListeSource(CAny* pValue, int nKind) override;
  int bSetQueryParameters(INAContext* piContext, INAConnectionDescription* piConnection,
                          INAQueryParametersValue* piValues) override;  // 1
  // Keeps both (no references); 1.
  int bSetVMAndLibShop(ILibShop* piLibShop, IVMData* piVMData) override;
  // Not offered: user error 8, type 7, the table as the error's table name
  // (site 5.7); 0.
  int bFiltreAuto(INAContext* piContext, INAConnectionDescription* piConnection, int nMode,
                  const wchar_t* pszTable, INADataSourceDescription* piSource,
                  const wchar_t* pszLinked, INADataSourceDescription* piLinkedSource) override;
  // Gets (or makes) the context of the server context and sets its next
  // logical name.
  void SetNextLogicalName(INAContext* piContext, const wchar_t* pszName) override;
  // Runs a query on the query's table object of the context (see
  // na_driver.cc); a kept result is registered and handed out with one
  // external reference; otherwise *ppiTable (when given) is null.
  int bHExecuteRequeteSQLEx(INATable** ppiTable, INAContext* piContext, const wchar_t* pszQuery,
                            INAConnectionDescription* piConnection,
                            ISQLParserInformation* piParsed, unsigned int dwFlags,
                            const INAQueryExecution* piExecution) override;
  // Closes the context's data access on the query's kept result; 1 when the
  // context has none.
  int bFreeDataSource(INAContext* piContext, const wchar_t* pszQuery,
                      INAConnectionDescription* piConnection) override;
  int bValidConnection(INAConnectionDescription* piConnection) override;  // 1
  // Keeps the database-engine interface (no reference) and hands it to the
  // key builder while this is the driver object; 1.
  int bSetZB(IZBForNA* piZB) override;
  // Opens the connection and has the data source's table object delete its
  // table. The result of the opening and of the deletion; without a
  // data-source description nothing is deleted: user error 8.
  int bSupprimeFichier(INAContext* piContext, INAConnectionDescription* piConnection,
                       const wchar_t* pszTable, INADataSourceDescription* piSource) override;
  // The connection opened, then the SQL interface's database list. Without
  // an SQL interface: 0.
  int bGetDatabaseList(CXYString<wchar_t>* pstrList, INAConnectionDescription* piConnection,
                       unsigned int dwFlags) override;

  // ---- Own virtual operations (the back end overrides some)
  virtual ~CNADriver();
  virtual int bSetCharset(unsigned int nCharset, void* pData);  // 1
  // Writes the connection's identification:
  // "Connection=%s;Provider=%s;ExtendedInformation=%s;Data source=%s;
  // user id=%s;password=#%s;access=%s" with the connection object's name,
  // provider, extended information, data source and user ("NULL" for an
  // absent one), "#" and the keyed digest of the password (32 hex digits;
  // "NULL" for an absent password), and "R" for read-only
  // access, else "RW". 1, or 0 for a null description (*pOut untouched).
  virtual int bBuildCnxIdentification(CTString* pOut,
                                      INAConnectionDescription* piConnection) const;
  // The handle-level SQL interface, made on first need (_pclAllocDriverSQL
  // with the current error) and held with one internal reference until the
  // driver goes; null when none can be made. No reference for the caller.
  virtual CNADriverSQLBase* pclGetDriverSQL();
  // A new context (no reference taken); null when memory runs out.
  virtual CNAContext* pclAllocContext() const;
  // A new data access on the description and connection (no reference
  // taken). The data access lives above the driver core: the back end makes
  // it; the generic driver has none (null).
  virtual CNADataAccessBase* pclAllocDataAccess(INADataSourceDescription* piSource,
                                                CNAConnectionDescription* pclConnection,
                                                CNAError* pclError) const;
  // A new table object for the identification (no reference taken; the
  // description may be null for a query). Made by the back end; the generic
  // driver has none (null).
  virtual CNATableBase* _pclAllocTable(const wchar_t* pszIdentification,
                                       INADataSourceDescription* piSource,
                                       CNAConnectionDescription* pclConnection,
                                       CNAError* pclError);
  // Factories of the classes of the layers above the driver core (variant,
  // data-source description, statement, column, command, item description,
  // automatic identifier, parameter). The driver
  // core cannot name those classes: each answers its object as void*, the
  // caller casts it back to the class the factory is documented to make.
  // The generic driver makes none of them: each answers null, which callers
  // treat as memory running out. The back end makes the value holder
  // (CNAConvertVariant), the item description and the data-source
  // description (mariadb/mysql_driver.h); the others stay null until their
  // classes are built.
  virtual void* pclAllocVariant(CNAError* pclError, CNAConnectionDescription* pclConnection);
  virtual void* pclAllocVariantRowID(CNAError* pclError, CNAConnectionDescription* pclConnection);
  virtual void* pclAllocDataSourceDescription(CNAConnectionDescription* pclConnection,
                                              CNAError* pclError) const;
  virtual void* pclAllocStatement(CNADataAccessBase* pclAccess,
                                  CNAConnectionDescription* pclConnection,
                                  CNAError* pclError) const;
  virtual void* pclAllocColumn(CNAError* pclError, void* piItem) const;
  virtual void* pclAllocCommand(CNAError* pclError, CNAConnectionDescription* pclConnection) const;
  virtual void* pclAllocIDAuto();
  virtual void* pclAllocParameter(void* pclVariant, unsigned int nIndex, unsigned int nFlags,
                                  const wchar_t* pszName);
  virtual void* pclAllocItemDescription();
  // The back end's handle-level SQL interface (counts 0); the generic
  // driver has none (null).
  virtual CNADriverSQLBase* _pclAllocDriverSQL(CNAError* pclError);
  // Whether the table exists on the connection (open): *pbExists 1 or 0, and
  // 1; 0 when the test itself failed (the reason in the current error).
  // Base: reads the table's description (_piReadTableDesc); not found is
  // an answer (0, result 1) when the error is user error 30.
  virtual int _bTableExists(int* pbExists, const wchar_t* pszTable,
                            CNAConnectionDescription* pclConnection);
  // The description of a table read from the database (piGetTableDesc, the
  // connection open), with one external reference; null when it cannot be
  // read, the reason in the current error. The data-source description lives
  // above the driver core: the back end reads it; the generic driver has
  // none (user error 8).
  virtual INADataSourceDescription* _piReadTableDesc(const wchar_t* pszTable,
                                                     CNAConnectionDescription* pclConnection);
  // Every registered table object's CancelRecordLock with the same
  // arguments.
  virtual void CancelRecordLock(INAConnectionDescription* piConnection,
                                CNATransactionBase* pclTransaction);
  // A new CNAError with no reference.
  virtual CNAError* pclAllocError();
  // Adds the back end's note for a failure inside the client library. Base:
  // nothing.
  virtual void OnFatalErrorAddDebugMessage(CNAError* pclError,
                                           CNAConnectionDescription* pclConnection);
  // The back end's connection for an identification and the server's
  // description, with no reference taken; null when it cannot be made. The
  // generic driver has no connection of its own: null.
  virtual CNAConnectionDescription* _pclAllocConnectionDescription(
      const wchar_t* pszIdentification, INAConnectionDescription* piHost);
  // Last step of the teardown. Base: nothing.
  virtual void _BeforeDeath();

  // ---- Current error
  // Releases the current error and makes a new one (one reference held).
  void AllocError();
  // AllocError; 1.
  int bInitDriver();
  CNAError* pclGetCurrentError() const { return m_pclError; }

  // ---- The item layer's services (driver/item_services.h), handed over by
  // the back end; null until then.
  void SetItemServices(const CNAItemServices* pclServices) { m_pclItemServices = pclServices; }
  const CNAItemServices* pclGetItemServices() const { return m_pclItemServices; }

  // ---- Connections (callers hold the driver lock, or take it here where
  // said). Each pointer answered carries one reference for the caller.
  // The registered connection with that identification, or null.
  CNAConnectionDescription* _pclFindConnection(const wchar_t* pszIdentification);
  CNAConnectionDescription* _pclFindConnection(INAConnectionDescription* piConnection);
  // Find, else a new connection from the back end registered under its own
  // identification (one reference for the table). Null when the description
  // is null (user error 2) or the back end made none (out-of-memory error on
  // the current error).
  CNAConnectionDescription* _pclGetConnection(INAConnectionDescription* piConnection);
  // A new connection from the back end registered under pszIdentification
  // (one reference for the table, one for the caller), whether or not the
  // description's own identification is registered: the handle-level SQL
  // interface opens connections that are never shared this way. Null when
  // the identification is registered already (nothing raised), or with the
  // out-of-memory error when none can be made or registered.
  CNAConnectionDescription* _pclAddConnection(const wchar_t* pszIdentification,
                                              INAConnectionDescription* piConnection);
  // The openings of the connection not yet closed (see bCloseConnection).
  int nGetOpeningCount(CNAConnectionDescription* pclConnection) const {
    return _nGetOpenings(pclConnection);
  }
  // bOpen with the current error. Success: one more reference (held until
  // bCloseConnection) and the automatic close cleared; 1. Failure: the
  // connection unregistered, the current error at level 2; 0.
  int _bOpenConnection(CNAConnectionDescription* pclConnection);
  // One reference less. When only the table's reference is left and the
  // connection may close automatically, it is closed and unregistered
  // (which destroys it). Answers the remaining count (0 when gone).
  int nReleaseConnection(CNAConnectionDescription* pclConnection);
  // Sets the automatic close, then nReleaseConnection; 1.
  int _bCloseConnection(CNAConnectionDescription* pclConnection);
  // The connection with that number, then as _bCloseConnection; 1.
  int _bCloseConnectionById(int nID);
  // Under the lock: the first registered connection whose connection name
  // equals the text (without regard to case and accents), or whose number
  // is nID; null when none.
  CNAConnectionDescription* pclGetConnectionByName(const wchar_t* pszName);
  CNAConnectionDescription* pclGetConnectionByID(int nID);
  unsigned int nGetConnectionCount() const { return m_clConnections.dwGetNumElement(); }

  // ---- Table objects (callers hold the driver lock). Answers carry one
  // internal reference for the caller unless said otherwise.
  // The registered table object with that identification, or null.
  CNATableBase* _pclFindTable(const wchar_t* pszIdentification);
  // The same for the data source on the connection; *pclIdentification
  // receives "Table=%s;%s". Null for a null source or connection.
  CNATableBase* _pclFindTable(INADataSourceDescription* piSource,
                              CNAConnectionDescription* pclConnection,
                              CTString* pclIdentification);
  // Find, else a new one (_pclAllocTable with the current error) registered
  // by _AddTable. Null with the error when none can be made.
  CNATableBase* _pclGetTable(INADataSourceDescription* piSource,
                             CNAConnectionDescription* pclConnection);
  // Registers the table object under its identification with one reference,
  // unless one is registered there already (then nothing). 1 when
  // registered.
  int _AddTable(CNATableBase* pclTable);
  // The query's table object of the server context ("CTX=%u;Table=%s;%s"),
  // with one reference; absent and bCreate: a new, unregistered one (no
  // data-source description, the current error). Else null.
  CNATableBase* _pclGetQuery(INAContext* piContext, const wchar_t* pszQuery,
                             CNAConnectionDescription* pclConnection, int bCreate);
  // Under the lock: removes the table object's own entry (an entry of
  // another object under the same identification stays) and releases the
  // table's reference. 1 when it was registered.
  int _bReleaseTable(CNATableBase* pclTable);
  // Its bHFerme for the context, then _bReleaseTable.
  int _bReleaseTable(INAContext* piContext, CNATableBase* pclTable);
  // One internal reference less; when only the registration's is left,
  // unregisters it and answers 0; else the remaining count.
  int nReleaseTable(CNATableBase* pclTable);
  // SetTransactionTermined on every table object of the connection.
  void _SetTransactionTermined(CNAConnectionDescription* pclConnection);
  // Under the lock: the next table object on the connection from *pdwPos
  // (start at 0), with one reference; null at the end.
  CNATableBase* pclEnumTableByConnection(unsigned int* pdwPos,
                                         CNAConnectionDescription* pclConnection);
  unsigned int nGetTableCount() const { return m_clTables.dwGetNumElement(); }

  // ---- Contexts (under the lock)
  // The context of the server context with one reference, or null (also for
  // a null server context).
  CNAContext* pclFindContext(INAContext* piContext);
  // Find, else a new one from pclAllocContext registered under the context
  // identifier (*pbCreated, may be null, set to 1). Null for a null server
  // context (user error 8) and when none can be made (out of memory).
  CNAContext* pclGetContext(INAContext* piContext, int* pbCreated);
  // Drops one reference; when the context then holds no data access and no
  // pending next logical name it is unregistered (the table's reference
  // released) and 0 is answered; else the remaining count.
  int nReleaseContext(INAContext* piContext, CNAContext* pclContext);
  unsigned int nGetContextCount() const { return m_clContexts.dwGetNumElement(); }

  // ---- Identifications
  // "Table=%s;%s" from the data source's name and the connection's
  // identification; "CTX=%u;Table=%s;%s" with the server context's
  // identifier first. 1, or 0 for a null context or output.
  int bBuildTableIdentification(CTString* pOut, const wchar_t* pszTable,
                                const wchar_t* pszConnection) const;
  int bBuildQueryIdentification(CTString* pOut, const wchar_t* pszQuery,
                                const wchar_t* pszConnection, INAContext* piContext) const;
  // "Expr" and n + 1000.
  static void g_GenerateItemName(CTString* pOut, int n);

  // ---- Query dump
  // The SQL text and its parameter values as one text for an error: the
  // labelled text, then (with parameters) their count and each one's
  // language type and value, cut to dwMaxLength characters (all bits set:
  // no limit; 0 or what reads as negative: empty). Literals that follow
  // IDENTIFIED BY and the argument of PASSWORD( are masked. 1.
  int bGetQueryDump(CTString* pOut, const wchar_t* pszQuery,
                    const _stQueryDumpParameters* pstParameters, unsigned int dwMaxLength);

  // ---- Labels
  // Loads the labels when the first one is empty.
  void InitQueryDumpRessources();
  // The label (loaded on first need); "" for the three unloaded ones and an
  // index out of range.
  const wchar_t* pszGetQueryDumpLabel(int eLabel);
  // The label of the driver object, or, without one, the label's default
  // text with its blank.
  static CTString g_csGetQueryDumpLabel(int eLabel);

  // ---- Kept server interfaces and settings
  IZBForNA* piGetZB() const { return m_piZB; }
  ILibShop* piGetLibShop() const { return m_piLibShop; }
  IVMData* piGetVMData() const { return m_piVMData; }
  int64_t llGetDefaultRecordLimit() const { return m_llDefaultRecordLimit; }
  int nGetExternalCount() const { return m_nExternalCount; }

 protected:
  void _SetDefaultRecordLimit(int64_t llLimit) { m_llDefaultRecordLimit = llLimit; }
  // The answer of an operation not built yet: resets the current error (when
  // bReset), raises user error 8 (type 7, site 100) with the debug text
  // "<pszOperation>: not built yet"; 0.
  // A new table object from the back end with one reference, not
  // registered; null with the out-of-memory error when none can be made.
  CNATableBase* _pclNewTable(const wchar_t* pszIdentification, INADataSourceDescription* piSource,
                             CNAConnectionDescription* pclConnection);
  int _nNotBuiltYet(const wchar_t* pszOperation, bool bReset = true);
  // User error 14 (type 0, site nSite) naming the description's connection;
  // 0.
  int _nConnectionNotRegistered(INAConnectionDescription* piConnection, int nSite);
  // A failed list of the SQL interface: its error into the current error
  // (when they are not one object). Answers bResult.
  int _bCopyListError(int bResult, CNADriverSQLBase* pclSQL);
  // Drops one opening's reference of the connection (see bCloseConnection).
  void _DropOpening(CNAConnectionDescription* pclConnection);

 private:
  // Removes the connection's entry (memo cleared, the table's reference
  // released, key freed). 1 when it was registered.
  int _bRemoveConnection(CNAConnectionDescription* pclConnection);
  // Successful openings not yet closed, per connection (no reference: the
  // openings' own references keep the connections alive while counted).
  int _nGetOpenings(CNAConnectionDescription* pclConnection) const;
  void _AddOpening(CNAConnectionDescription* pclConnection, int nDelta);
  // The teardown of the tables and the current error.
  void _Term();

  CTString m_acsLabels[NAQDL_COUNT];
  int m_nExternalCount = 0;
  // Connections: exact comparison and hash of the identification; the memo
  // remembers the last entry found.
  CRefStringHashTable<CNAConnectionDescription*> m_clConnections;
  const wchar_t* m_pszMemoKey = nullptr;
  CNAConnectionDescription* m_pclMemoValue = nullptr;
  // Table objects: keys as the connections'; memo of the last one found.
  CRefStringHashTable<CNATableBase*> m_clTables;
  const wchar_t* m_pszTableMemoKey = nullptr;
  CNATableBase* m_pclTableMemoValue = nullptr;
  // Contexts by the server's context identifier.
  CNARefHashTable<unsigned int, CNAContext*> m_clContexts;
  // Openings per connection (key: the connection; value: the count).
  CHashTableBounce m_clOpenings{7};
  CNAError* m_pclError = nullptr;
  const CNAItemServices* m_pclItemServices = nullptr;
  int64_t m_llDefaultRecordLimit = -1;
  ILibShop* m_piLibShop = nullptr;
  IVMData* m_piVMData = nullptr;
  IZBForNA* m_piZB = nullptr;
  // The handle-level SQL interface, one internal reference; null until made.
  CNADriverSQLBase* m_pclDriverSQL = nullptr;
};

#endif  // KQ230_DRIVER_NA_DRIVER_H_
