// CNADriverSQL: the driver's handle-level SQL interface (INADriverSQL): plain
// SQL access in which connections and result sets are integer handles, and
// the catalogue lists (databases, tables, columns, links) in text form. It is
// also the factory of the back end's statements: a statement of a data
// access, and every list here, runs its SQL through a back-end statement
// made by pclAllocStatementSQL. The MariaDB back end derives its own
// (mariadb/mysql_driver_sql.h).
//
// Files: driver_sql.cc (the interface, handles, statements, transactions,
// locks), driver_sql_lists.cc (the catalogue lists), driver_sql_links.cc
// (the link list read from the table definition).
//
// Handles: a connection handle is the number of a connection in the driver
// object's table (CNADriver::pclGetConnectionByID); a statement handle is
// the number of a statement kept in this object's statement table, valid
// from the bExecute that made it until bFreeStmt or the object's end
// (closing the connection does not free it). Statement numbers never repeat
// a live handle and are never 0.
//
// Lists: wide texts, items separated by TAB, lines by "\r\n"; a list handed
// back in a CAny is a dynamic wide string.
//
// Ownership: two counts. The driver object holds one internal reference
// (AddRef / nRelease); the server holds external ones (ExternalAddRef /
// nExternalRelease); the object goes when both are 0. While the server
// holds it (external count above 0) it holds one external reference on the
// driver object, so that an interface the server still holds never reaches
// a driver that went; the driver's own internal reference on it would
// otherwise make a cycle. It holds one reference on its error object and
// one on each statement of its table.
// Threads: the public operations run under the driver lock (the statement
// operations after their handle test); the statement table and the
// counters are touched only under it.
#ifndef KQ230_STATEMENTS_DRIVER_SQL_H_
#define KQ230_STATEMENTS_DRIVER_SQL_H_

#include "core/hash_table_bounce.h"
#include "core/string_concat.h"
#include "driver/driver_lock.h"
#include "driver/driver_sql_base.h"
#include "statements/statement_sql.h"

class CNADriver;
class CTStringConcatAW;

// Bits of the list operations' flags (passed on as they are to every fetch
// of a list).
enum : unsigned int {
  kNAListBaseTables = 0x01,
  kNAListViews = 0x02,
  kNAListSystemTables = 0x04,
  kNAListSorted = 0x10,
  kNAListDetailed = 0x20,
};

class CNADriverSQL : public CNADriverSQLBase {
 public:
  // The update and delete rules of a foreign key.
  enum eSQLForeignKeysRules : int {
    kRuleCascade = 0,
    kRuleRestrict = 1,
    kRuleSetNull = 2,
    kRuleNoAction = 3,
    kRuleSetDefault = 4,
  };

  // Error file number of the interface's debug lines; user error of a lock
  // outside a transaction (sites 51.2 for a query, 51.3 for a table).
  static constexpr int kErrorFile = 51;
  static constexpr unsigned int kErrLockWithoutTransaction = 29;
  // A handle that names nothing open: user error 86 for a connection handle
  // (site 51.4), 87 for a statement handle (site 51.5), the handle as a
  // decimal insert. A missing connection description: user error 2 (51.6).
  static constexpr unsigned int kErrInvalidConnectionHandle = 86;
  static constexpr unsigned int kErrInvalidStatementHandle = 87;
  static constexpr unsigned int kErrNoDescription = 2;
  static constexpr int kSiteLockQuery = 2;
  static constexpr int kSiteLockTable = 3;
  static constexpr int kSiteBadConnectionHandle = 4;
  static constexpr int kSiteBadStatementHandle = 5;
  static constexpr int kSiteNoDescription = 6;

  // Stores the driver (counted only while the server holds this object, see
  // above) and the error object (one reference); the statement table starts
  // empty.
  CNADriverSQL(CNADriver* pclDriver, CNAError* pclError);
  CNADriverSQL(const CNADriverSQL&) = delete;
  CNADriverSQL& operator=(const CNADriverSQL&) = delete;

  // ---- INADriverSQL
  int nGetVersion() override { return 4; }
  int nGetCompatSince() override { return 2; }
  INADriverSQL* ExternalAddRef() override;
  int nExternalRelease() override;
  INAError* piGetLastError() const override;
  void* piGetInterface(int) override { return nullptr; }
  void* pReservedFct1(unsigned char*) override { return nullptr; }
  void* pReservedFct2(unsigned char*) override { return nullptr; }
  void* pReservedFct3(unsigned char*) override { return nullptr; }
  void* pReservedFct4(unsigned char*) override { return nullptr; }
  void* pReservedFct5(unsigned char*) override { return nullptr; }
  int bLoadNativeDll(unsigned char*, unsigned int) override { return 1; }
  int bFreeNativeDll(unsigned char*, unsigned int) override { return 1; }
  int bOpenConnection(int* pnConnection, INAConnectionDescription* piConnection) override;
  int bCloseConnection(int nConnection) override;
  int bGetTableList(CAny* pValue, int nConnection, const wchar_t* pszCondition,
                    unsigned int nFlags) override;
  int bGetColumnList(CAny* pValue, int nConnection, const wchar_t* pszTable,
                     unsigned int nFlags) override;
  int bGetColumnList(CAny* pValue, int nConnection, int nStatement, unsigned int nFlags) override;
  INADataSourceDescription* piGetTableDesc(int nConnection, const wchar_t* pszTable,
                                           unsigned int nFlags) override;
  INADataSourceDescription* piGetTableDesc(int nConnection, int nStatement,
                                           unsigned int nFlags) override;
  int bGetColumnTypeList(CAny* pValue, int nConnection, unsigned int nFlags) override;
  int bExecute(int* pnStatement, int nConnection, const wchar_t* pszQuery,
               CTabValParser* pclParameters, unsigned int nFlags) override;
  int bFreeStmt(int nConnection, int nStatement, unsigned int nFlags) override;
  int bGetStmtLastError(INAError** ppiError, int nConnection, int nStatement) override;
  int bGetColumnNbr(int* pnCount, int nConnection, int nStatement, unsigned int nFlags) override;
  int bGetColumnName(CAny* pValue, int nConnection, int nStatement, unsigned int nColumn,
                     unsigned int nFlags) override;
  int bFetch(int nConnection, int nStatement, unsigned int nFlags) override;
  int bGetRow(CAny* pValue, int nConnection, int nStatement, const wchar_t* pszSeparator,
              int nColumns, unsigned int nFlags) override;
  int bGetValue(CAny* pValue, int nConnection, int nStatement, unsigned int nColumn,
                unsigned int nFlags) override;
  int bGetBLOBValue(CAny* pValue, int nConnection, int nStatement, unsigned int nColumn,
                    unsigned int nFlags) override;
  int bTrsBegin(int* pnTransaction, int nConnection, unsigned int nFlags) override;
  int bTrsCommit(int nConnection, int nTransaction, unsigned int nFlags) override;
  int bTrsRollBack(int nConnection, int nTransaction, unsigned int nFlags) override;
  int bSQLBloqueTable(int nConnection, const wchar_t* pszTable, unsigned int nFlags) override;
  int bSQLBloqueRequete(int nConnection, const wchar_t* pszQuery, unsigned int nFlags) override;
  int bSetVMAndLibShop(ILibShop* piLibShop, IVMData* piVMData) override;

  // ---- CNADriverSQLBase
  void AddRef() override;
  int nRelease() override;
  int nGetRef() const override { return m_nRefCount; }
  int bGetDatabaseList(CXYString<wchar_t>* pstrList, CNAConnectionDescription* pclConnection,
                       unsigned int nFlags) override;
  int bExecuteQueryNoResult(CNAError* pclError, CNAConnectionDescription* pclConnection,
                            const wchar_t* pszQuery) override;
  int bGetRequestedValue(CNAError* pclError, CNAConnectionDescription* pclConnection,
                         CAny* pValue, int nColumn, const wchar_t* pszQuery) override;

  // ---- Own virtual operations (the back end replaces some)
  // Per connection: the table list (type filter of the flags and the
  // caller's condition), the column list of a table (its description's
  // items before the first composed key, "\r\n"-separated), the link list.
  int bGetTableList(CAny* pValue, CNAConnectionDescription* pclConnection,
                    const wchar_t* pszCondition, unsigned int nFlags) override;
  virtual int bGetColumnList(CAny* pValue, CNAConnectionDescription* pclConnection,
                             const wchar_t* pszTable, unsigned int nFlags);
  int bGetLinkList(CAny* pValue, CNAConnectionDescription* pclConnection, const wchar_t* pszTable,
                   INADataSourceDescription* piSource, unsigned int nFlags) override;
  // Per connection: the locks (the connection opened first for a table).
  virtual int bSQLBloqueRequete(CNAConnectionDescription* pclConnection, const wchar_t* pszQuery,
                                unsigned int nFlags);
  virtual int bSQLBloqueTable(CNAError* pclError, CNAConnectionDescription* pclConnection,
                              const wchar_t* pszTable, unsigned int nFlags);
  // The back end's statement on the connection (count 0); null when the
  // connection is not the back end's or memory runs out.
  virtual CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription* pclConnection,
                                                CNAError* pclError) = 0;
  // The type filter of the flags: "TABLE_TYPE='BASE TABLE'", "...'SYSTEM
  // TABLE'", "...'VIEW'" joined by " OR ", in parentheses when there are
  // several; a caller's condition follows as " AND (condition)".
  virtual void _GetTableList_GetFilter(CXYStringConcat<wchar_t>* pclOut,
                                       const wchar_t* pszCondition, unsigned int nFlags);
  virtual int _bGetDatabaseList(CXYStringConcat<wchar_t>* pclOut,
                                CNAConnectionDescription* pclConnection, unsigned int nFlags);
  virtual int _bGetDatabaseListQuery(CTStringConcatAW* pclQuery,
                                     CNAConnectionDescription* pclConnection, unsigned int nFlags);
  virtual int _bGetDatabaseTableListQuery(CTStringConcatAW* pclQuery, const wchar_t* pszDatabase,
                                          CNAConnectionDescription* pclConnection,
                                          unsigned int nFlags);
  virtual int _bGetTableList(CAny* pValue, CNAConnectionDescription* pclConnection,
                             const wchar_t* pszFilter, unsigned int nFlags);

  // ---- Internal execution (lists, links, descriptions, the back end):
  // a statement for the connection runs the text; *ppclStatement receives it
  // with one reference when it has result columns, else null (a text
  // without a result set succeeds without a statement).
  int bExecute(CNAError* pclError, CNAStatementSQL** ppclStatement,
               CNAConnectionDescription* pclConnection, const wchar_t* pszQuery,
               CTabValParser* pclParameters, NA_WRITEPARSEFLAGS nFlags);
  // The rows of a query as text: each row's first nColumns columns joined
  // by TAB, rows joined by pszRowSeparator. 1 when the rows ran out
  // normally; 0 when the execution, a fetch or a row read failed (what was
  // gathered stays).
  int _bGetList(CXYStringConcat<wchar_t>* pclOut, CNAConnectionDescription* pclConnection,
                const wchar_t* pszQuery, unsigned int nColumns, unsigned int nFlags,
                const wchar_t* pszRowSeparator);
  // The same with "\r\n" between rows, into a dynamic wide string.
  int _bGetList(CAny* pValue, CNAConnectionDescription* pclConnection, const wchar_t* pszQuery,
                unsigned int nColumns, unsigned int nFlags);

  // ---- Links
  // The rule word at the text (upper-cased first): NO ACTION 3, RESTRICT 1,
  // SET NULL 2, SET DEFAULT 4, CASCADE 0, else -1. 1.
  static int _bTextToeSQLForeignKeysRules(eSQLForeignKeysRules* peRule, const wchar_t* pszText);
  // Appends one link line made from its parts (see driver_sql_links.cc). 1.
  static int s_bConcatConstraint(CXYStringConcat<wchar_t>* pclOut, unsigned int nFlags,
                                 const wchar_t* pszOwner1, const wchar_t* pszTable1,
                                 const wchar_t* pszColumns1, const wchar_t* pszOwner2,
                                 const wchar_t* pszTable2, const wchar_t* pszColumns2,
                                 eSQLForeignKeysRules eRule1, eSQLForeignKeysRules eRule2);
  // Parses the foreign keys of a table definition (SHOW CREATE TABLE) into
  // link lines. 0 when no description of the table can be had, else 1.
  int _bExtraitLink_FromShowCreateTable(CXYStringConcat<wchar_t>* pclOut,
                                        const wchar_t* pszDefinition, const wchar_t* pszTable,
                                        CNAConnectionDescription* pclConnection,
                                        INADataSourceDescription* piSource, int nFlags);
  // Replaces a ","-joined column group by the name of the table's composed
  // key that has exactly those components (case-insensitive), when one
  // has. 0 when no description can be had, else 1.
  int _bGetNomCleComposee(INADataSourceDescription* piSource, CXYString<wchar_t>* pstrColumns,
                          int nColumns, const wchar_t* pszTable,
                          CNAConnectionDescription* pclConnection);

  // The driver object's SQL interface, or null when the driver has none (no
  // driver object, or a driver without a back end).
  static CNADriverSQL* s_pclGetFromDriver();

  CNADriver* pclGetDriver() const { return m_pclDriver; }
  CNAError* pclGetError() const { return m_pclError; }
  // The number of statements in the table (for tests and the dump).
  unsigned int nGetStatementCount() const { return m_clStatements.dwGetNumElement(); }

  // The process-wide counter that makes the identification of every
  // connection opened here unique (";SQLConnecte%d").
  static int m_gnCnxNameGenerator;

 protected:
  ~CNADriverSQL() override;

  // The frame of a public operation: the driver lock for its length, and the
  // interface's error reset once the lock is held (reset before it, the
  // reset would race another thread writing the same error object).
  class COperationFrame {
   public:
    explicit COperationFrame(const CNADriverSQL* pclSQL);
    COperationFrame(const COperationFrame&) = delete;
    COperationFrame& operator=(const COperationFrame&) = delete;

   private:
    CNADriverLockFrame m_clLock;  // constructed before the body's reset
  };

  // A connection handle's connection for one operation, with one reference
  // given back through the driver when the holder goes (so that a
  // connection closed by handle meanwhile really closes). Null, with the
  // "invalid handle" error (_nBadConnectionHandle) raised, when the handle
  // names no open connection.
  // REQUIRES: made inside a COperationFrame.
  class CConnectionHandle {
   public:
    CConnectionHandle(CNADriverSQL* pclSQL, int nConnection);
    ~CConnectionHandle();
    CConnectionHandle(const CConnectionHandle&) = delete;
    CConnectionHandle& operator=(const CConnectionHandle&) = delete;
    CNAConnectionDescription* pcl() const { return m_pclConnection; }
    explicit operator bool() const { return m_pclConnection != nullptr; }

   private:
    CNADriverSQL* m_pclSQL;
    CNAConnectionDescription* m_pclConnection;
  };

  // A statement handle's statement for one operation, with one more
  // reference and (unless told otherwise) its last error cleared. Null, with
  // the "invalid handle" error raised, for handle 0 or a handle not in the
  // table.
  // REQUIRES: made inside a COperationFrame.
  class CStatementHandle {
   public:
    CStatementHandle(CNADriverSQL* pclSQL, int nStatement, bool bResetLastError = true);
    ~CStatementHandle();
    CStatementHandle(const CStatementHandle&) = delete;
    CStatementHandle& operator=(const CStatementHandle&) = delete;
    CNAStatementSQL* operator->() const { return m_pclStatement; }
    CNAStatementSQL* pcl() const { return m_pclStatement; }
    explicit operator bool() const { return m_pclStatement != nullptr; }

   private:
    CNADriverSQL* m_pclSQL;
    CNAStatementSQL* m_pclStatement;
  };

  // Gives back one reference of a connection through the driver (a
  // connection that was closed and is held by nothing else then closes).
  void _ReleaseConnection(CNAConnectionDescription* pclConnection);
  // Releases one reference of a statement; when that was its last, the
  // reference it held on its connection goes back through the driver too.
  void _ReleaseStatement(CNAStatementSQL* pclStatement);
  // The driver's current error into the interface's after a driver
  // operation failed (they are one object unless the driver's was replaced).
  void _CopyDriverError();
  // A list handed back in a value: a dynamic wide string (type 16) of n
  // characters, no flag set. Nothing for a null value.
  static void s_SetListText(CAny* pValue, const wchar_t* psz, unsigned int n);

  // A new registered connection for the server's description, never shared
  // with another opening; one reference for the caller. Null when the
  // identification cannot be built or the connection made.
  CNAConnectionDescription* _pclGetNewConnection(INAConnectionDescription* piConnection);
  // The connection of a handle with one reference, or null: also null for
  // a connection opened here and closed by handle since, which a statement
  // may still hold (the handle names nothing open any more).
  CNAConnectionDescription* _pclGetConnection(int nConnection);
  // The errors of a handle that names nothing (0, unknown, freed, or of a
  // closed connection): an "invalid handle" error naming the handle in the
  // interface's error object; 0 for the operation to return.
  int _nBadConnectionHandle(int nConnection);
  int _nBadStatementHandle(int nStatement);
  // The table description of a table by name, read from the database, with
  // one internal reference (released with CNADataSourceDescription's
  // nRelease); null with the reason in the error object.
  INADataSourceDescription* _pclGetTableDesc(const wchar_t* pszTable,
                                             CNAConnectionDescription* pclConnection);

 private:
  int m_nRefCount = 0;
  int m_nExternalCount = 0;
  CNADriver* m_pclDriver;
  CNAError* m_pclError;
  CNARefHashTable<int, CNAStatementSQL*> m_clStatements{7};
};

#endif  // KQ230_STATEMENTS_DRIVER_SQL_H_
