// CMySQLConnection: the MariaDB/MySQL connection. It owns one client-library
// handle (the MYSQL* of mysql_init), opens it with mysql_real_connect over TCP
// ("Server Port") or a Unix socket ("Unix Socket"), learns the client
// library's and the server's versions, and answers the version questions of
// the rest of the back end. The client library is loaded at the first opening
// of the process by the loader (driver/function_loader.h) and every call goes
// through its entry table, guarded: a stand-by entry's CTString becomes user
// error 37 naming the function, any other fault user error 23 "MariaDB" with
// the driver's fatal-error debug message.
//
// Text: the connection's code page is 65001 (UTF-8, character set utf8mb4,
// checked when it is set) whenever Unicode is on and the client library has
// the current interface (it exports mariadb_get_infov, or reports 4.1 or
// later), and 1252 otherwise. Parameters go to the library in that code page.
//
// Create mode (bOpenCreate) on a database that does not exist: connects
// without a database, runs CREATE DATABASE and USE with the quoted name on the
// same handle, and leaves the error empty on success. A handle whose opening
// fails is closed at once: nothing of it is kept.
//
// SSL: when any SSL setting is given the session must end up encrypted; the
// client library would otherwise fall back to plain text without a word.
//
// Transactions and locks: the connection's transaction is the table layer's
// one-level CNATransaction; a table lock is a locking read held until the
// transaction ends; a connection lost inside a transaction ends it as
// aborted and is not reopened under it (bExecuteQueryNoResult).
//
// Errors: failures answer 0 with the server's native code and message in the
// error (bInitError) under the driver's user error; no text holds the
// password.
//
// Ownership: a CInterf (driver/reference_counted.h), held by the driver's
// connection table; the handle is its own and is closed by bClose and by the
// destructor.
// Threads: none; every operation runs under the driver lock. The process-wide
// statics are written at the first load only.
#ifndef KQ230_MARIADB_MYSQL_CONNECTION_H_
#define KQ230_MARIADB_MYSQL_CONNECTION_H_

#include "driver/connection_description.h"

struct st_mysql;  // MYSQL of the client library

class CMySQLConnection : public CNAConnectionDescription {
 public:
  // Server kind 5, the backquote as both quotes.
  CMySQLConnection(const wchar_t* pszIdentification, INAConnectionDescription* piHost);
  ~CMySQLConnection() override;

  // ---- Opening and closing
  // _bOpenCreate(error, 0): 1, or 0 with the error filled.
  int bOpen(CNAError* pclError) override;
  int bIsOpen() const override { return m_bOpen; }
  // Closes the handle; 1 unless the client library faulted.
  int bClose(CNAError* pclError) override;
  // _bOpenCreate(error, 1): creates the database when the server says it
  // does not exist (1049).
  int bOpenCreate(CNAError* pclError) override;

  // ---- Dialect hooks of the back end
  // MariaDB sorts on memo columns.
  int bSupportOrderByMemo() override { return 1; }
  // A computed column of MariaDB takes no NOT NULL: 0 for an item that
  // reports itself computed (asked of items above version 8), else 1.
  int vbNotNullSupported(INAItemDescription* piItem) override;
  // "BEGIN". A session that was lost while idle (the server's idle time-out,
  // a restart, a kill) is reopened once and asked again: nothing had begun
  // in it, so nothing is lost by starting afresh.
  int bTransactionBeginDirect(CNAError* pclError) override;
  // A new closed transaction level (tables/na_transaction.h), no reference
  // taken; null when memory runs out.
  CNATransactionBase* pclAllocTransaction() override;
  // Locks the whole table until the transaction ends: a locking read of it,
  // "SELECT 1 FROM <quoted name> FOR UPDATE", its rows drained. MariaDB has
  // no "LOCK TABLE", and "LOCK TABLES" would commit the transaction. Only
  // inside an open transaction: without one, user error 29 with the table's
  // name (nothing is sent). A lock that waits longer than the server's lock
  // wait time-out fails with 1205. The read locks every row and the gaps
  // between them: others can neither change, lock nor insert rows until the
  // transaction ends (on an empty table only inserts wait, InnoDB's gap
  // locks not conflicting with each other).
  int bSQLBloque(CNAError* pclError, const wchar_t* pszTable) override;
  // The lock of a parsed query's tables: user error 29 outside a
  // transaction; inside one, not built yet (user error 8).
  int bSQLBloque(CNAError* pclError, ISQLParserInformation* piQuery) override;
  // The handle's mysql_errno and mysql_error into the error: user error 22
  // with the server's code (item 15) and message (item 18), error type from
  // eGetNAErrorType, debug line (nFile, nSite). 1 when the handle held an
  // error, 0 when it held none or there is no handle.
  int bInitError(CNAError* pclError, unsigned int nFile, unsigned int nSite) override;
  // 1062 -> 3 (duplicate), 1205 and 1213 -> 2 (lock), 1048 -> 8 (NULL), else 0.
  int eGetNAErrorType(unsigned int nNativeError) override;
  // The MariaDB name of a field-type code of the client library (MYSQL_TYPE_*
  // of a result's fields: "INT", "VARCHAR", "DATETIME" ...) into *pOut; 0,
  // *pOut untouched, for a code the library does not define.
  int bDBTypeToString(CTString* pOut, int nType) const override;
  // Text and binary literals that read back the same whatever the session's
  // sql_mode (mariadb/mysql_escaping.cc): a text holding a backslash or a
  // zero in the connection's code page as _<character set> X'...', any other
  // text quoted with its quotes doubled, a binary whole as X'...'. nSize
  // bytes exactly (no terminator counted). 1, or 0 with an out-of-memory
  // error.
  int _bEscapeString(CNAError* pclError, CTStringConcatAW* pclOut, unsigned short nType,
                     unsigned char* pData, unsigned int nSize) override;
  // mysql_real_query in the connection's code page; every result set stored
  // and freed (through mysql_next_result when it is bound). 2006/2013 (server
  // gone, connection lost) close the handle. Outside a transaction the next
  // opening reconnects; inside one the transaction ends as aborted with that
  // code, and nothing reconnects until the program has ended it (replaying
  // its later statements outside any transaction would commit part of it).
  // The client library's own reconnection is kept off for the same reason.
  // 1, or 0 with the error filled (bInitError).
  int bExecuteQueryNoResult(CNAError* pclError, const wchar_t* pszQuery) override;
  int bExecuteQueryIgnoreResult(CNAError* pclError, const wchar_t* pszQuery) override;
  // The MariaDB final type map, over the generic defaults of the
  // connection's one map (CNAConnectionDescription::pclGetNativeTypeMap):
  // every item type's column holds every value of the item type (64-bit and
  // unsigned integers in their own types, DOUBLE for double precision,
  // DATETIME(3) and TIME(3) for milliseconds without TIMESTAMP's 1970-2038
  // range and its automatic updates, LONGTEXT/LONGBLOB for memos, utf8mb4 for
  // Unicode items). Servers without fractional seconds get DATETIME and TIME.
  void _InitZB2NativeType() override;

  // The handle's last error number (mysql_errno); 0 without a handle. 1 when
  // it could be read.
  int bGetLastError(unsigned int* pnError);

  // ---- Parameters from the extended information
  // "Client Flag" / "Server Port" read as "%d"; 0 when absent or unreadable.
  int nGetClientFlag();
  int nGetPort();
  // "Unix Socket"; answers whether it is there.
  int bGetUnixSocket(CTString* pSocket);

  // ---- Versions
  int bClientVersionGreaterThan4_1() const;
  int bServerVersionGreaterThan4_1() const;
  int bServerVersionGreaterThan4_1_2() const;
  int bServerIsMariaDB() const { return m_bMariaDB; }
  int bServerMySQLVersionGreaterThan5_7_6() const;
  int bServerMySQLVersionGreaterThan5_6_4OrMariaDBVersionGreaterThan5_3() const;
  int bMultipleRecordsetEnabled() const;

  st_mysql* pGetHandle() const { return m_pMySQL; }

  // ---- Process-wide
  // Ends the back end's use of the client library: the versions and flags
  // learnt at load are forgotten. The loader closes the library afterwards.
  static void g_TermNativeLibrary();
  // Scans a client version text: digits accumulate into major, then minor,
  // then revision; a non-digit moves on, and ends the scan in the revision
  // ("10.5.12-x" gives 10, 5, 12).
  static void s_ScanClientVersion(const wchar_t* pszText, int* pnMajor, int* pnMinor,
                                  int* pnRevision);
  // 1 once the library is loaded and mysql_next_result is bound.
  static int gbUseNextResult;
  // The library has the current interface (mariadb_get_infov exported by the
  // object that also gives mysql_get_client_info).
  static int gbCurrentClientInterface;
  static int m_nClientVersionMajor;
  static int m_nClientVersionMinor;
  static int m_nClientVersionRevision;

 private:
  int _bOpenCreate(CNAError* pclError, int bCreate);
  int _bLoadClientLibrary(CNAError* pclError);
  static int _bGetClientLibraryVersion();
  int _bProcessUnicodeCnxParameters(CNAError* pclError, const CTString* apParams[], int nParams,
                                    int bSSL);
  int _bSetSSLParameters(CNAError* pclError);
  int _bOpenCreateDatabase(CNAError* pclError, int bCreate, const wchar_t* pszServer,
                           const wchar_t* pszUser, const wchar_t* pszPassword,
                           const wchar_t* pszDatabase, const wchar_t* pszSocket);
  int _bGetServerVersion(CNAError* pclError);
  // SSL was asked for: 1 when the session is encrypted, else a 2026 error.
  int _bCheckEncrypted(CNAError* pclError);
  // Closes and forgets the handle without touching any error.
  void _DropHandle();
  // Runs a query on the handle, every result set stored and freed: 0 on
  // success, else the client's error number (the handle's error state left
  // for bInitError). Lets the client entries' exceptions through: callers
  // guard it.
  unsigned int _nRunQuery(const char* pszQuery, unsigned long nLength);
  // Reports a fault thrown by a client call (37 for a stand-by entry's
  // CTString, else 23 and the fatal-error debug message). 0.
  int _nReportFault(CNAError* pclError, const CTString* pStandByName);

  // The code page the server reads literals in, and the name of its
  // character set for a hexadecimal literal's introducer (null: none).
  int _nLiteralCodePage() const;
  const char* _pszCharsetIntroducer(int nCodePage) const;
  // The literal of n wide characters, escaped in nCodePage, into the builder.
  int _bAddTextLiteral(CNAError* pclError, CTStringConcatAW* pclOut, const wchar_t* pText,
                       int n, int nCodePage, const char* pszIntroducer);

  int m_bMariaDB = 0;
  int m_bOpen = 0;
  st_mysql* m_pMySQL = nullptr;
};

#endif  // KQ230_MARIADB_MYSQL_CONNECTION_H_
