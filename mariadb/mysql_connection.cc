// The MariaDB connection: loading the client library, connecting (TCP or
// Unix socket, SSL, Unicode), creating a missing database, queries without a
// result, native errors and versions.
#include "mariadb/mysql_connection.h"

#include <dlfcn.h>

#include <cwchar>
#include <new>

#include "core/char_conv.h"
#include "core/string_parameter.h"
#include "driver/function_loader.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/code_page_converters.h"
#include "items/sql_type_map.h"
#include "kq230/item_description_interface.h"
#include "mariadb/client_call_guard.h"
#include "tables/na_transaction.h"

int CMySQLConnection::gbUseNextResult = 0;
int CMySQLConnection::gbCurrentClientInterface = 0;
int CMySQLConnection::m_nClientVersionMajor = 0;
int CMySQLConnection::m_nClientVersionMinor = 0;
int CMySQLConnection::m_nClientVersionRevision = 0;

namespace {

// The first item-description version that answers the computed-column slots.
constexpr int kItemVersionComputed = 9;

// The file number of this unit's debug lines, and its sites.
constexpr int kFile = 101;
constexpr int kSiteConnectError = 16;   // the server's answer to a refused connect
constexpr int kSiteSSLError = 19;       // the library's answer to refused SSL settings
constexpr int kSiteCharsetRefused = 20;
constexpr int kSiteInitFailed = 21;
constexpr int kSiteSSLRefused = 22;
constexpr int kSiteConnectRefused = 23;
constexpr int kSiteStandBy = 30;        // an optional client function missing
constexpr int kSiteFault = 31;          // the client library faulted
constexpr int kSiteQuery = 40;          // a query without result failed
constexpr int kSiteSSLMissing = 41;
constexpr int kSiteOptionsMissing = 42;
constexpr int kSiteLockNoTransaction = 43;  // a lock asked for outside a transaction
constexpr int kSiteLockNoName = 44;         // a lock of no table
constexpr int kSiteReconnectRefused = 45;   // an opening under a transaction the loss ended
constexpr int kSiteLockParsed = 46;         // a lock of a parsed query

// User errors raised here.
constexpr unsigned int kErrDataBase = 22;       // the server's error, code and message
constexpr unsigned int kErrClientFault = 23;    // ("MariaDB")
constexpr unsigned int kErrStandBy = 37;        // (function name)
constexpr unsigned int kErrNoSSL = 75;          // (client version)
constexpr unsigned int kErrCharsetOption = 76;  // (client version)
constexpr unsigned int kErrInitFailed = 78;
constexpr unsigned int kErrConnectRefused = 79;
constexpr unsigned int kErrQueryFailed = 54;
constexpr unsigned int kErrLockNeedsTransaction = 29;
constexpr unsigned int kErrSourceIncomplete = 5;
constexpr unsigned int kErrNotBuilt = 8;

// Client flags and server errors the connection knows.
constexpr unsigned long kClientFoundRows = 2;
constexpr unsigned long kClientMultiStatements = 0x10000;
constexpr unsigned int kErUnknownDatabase = 1049;
constexpr unsigned int kCrServerGone = 2006;
constexpr unsigned int kCrServerLost = 2013;
// MYSQL_OPT_RECONNECT of the client library's options (a my_bool).
constexpr KQ_MYSQL_OPTION kMysqlOptReconnect = 20;
// What a connection that asked for SSL and got plain text reports (the
// client library's own number for a TLS failure).
constexpr unsigned int kCrSSLConnectionError = 2026;

constexpr eNA_ERRORTYPE kTypeNone = eNA_ERRORTYPE(0);

// A failure that left no error number on the handle.
constexpr unsigned int kUnknownError = 0xFFFFFFFFu;

unsigned int nLastErrorOr(MYSQL* pMySQL) {
  unsigned int nError = __mysql_errno(pMySQL);
  return nError != 0 ? nError : kUnknownError;
}

bool bAscii(const wchar_t* psz) {
  if (psz == nullptr) return true;
  for (; *psz != L'\0'; ++psz)
    if (static_cast<unsigned int>(*psz) > 0x7F) return false;
  return true;
}

// at least (major, minor, release)
bool bAtLeast(int nMajor, int nMinor, int nRelease, int nWantMajor, int nWantMinor,
              int nWantRelease) {
  if (nMajor != nWantMajor) return nMajor > nWantMajor;
  if (nMinor != nWantMinor) return nMinor > nWantMinor;
  return nRelease >= nWantRelease;
}

// An empty wide text counts as absent for the SSL settings.
const wchar_t* pszOrNull(const CTString& cs) { return cs.nTaille() > 0 ? cs.pszGet() : nullptr; }

}  // namespace

CMySQLConnection::CMySQLConnection(const wchar_t* pszIdentification,
                                   INAConnectionDescription* piHost)
    : CNAConnectionDescription(pszIdentification, piHost) {
  _SetServerKind(kServerKindMariaDB);
  _SetQuotes(L"`", L"`");
}

CMySQLConnection::~CMySQLConnection() {
  _DropHandle();
}

// ---------------------------------------------------------------------------
// Guarded client calls

int CMySQLConnection::_nReportFault(CNAError* pclError, const CTString* pStandByName) {
  if (pStandByName != nullptr)
    return CNAError::g_nRaise(pclError, kTypeNone, kFile, kSiteStandBy, this, nullptr, nullptr,
                              kErrStandBy, pStandByName->pszGet());
  CNAError::g_nRaise(pclError, kTypeNone, kFile, kSiteFault, this, nullptr, nullptr,
                     kErrClientFault, L"MariaDB");
  if (pclError != nullptr && CNADriver::s_pclDriver != nullptr)
    CNADriver::s_pclDriver->OnFatalErrorAddDebugMessage(pclError, this);
  return 0;
}

using kqmariadb::bGuarded;

#define KQ_GUARDED(pclError, ...)                                               \
  ([&]() -> bool {                                                               \
    std::optional<CTString> csStandBy;                                           \
    bool bStandBy = false;                                                       \
    bool bFault = false;                                                         \
    if (bGuarded([&]() { __VA_ARGS__; }, &csStandBy, &bStandBy, &bFault))        \
      return true;                                                               \
    _nReportFault(pclError, bStandBy ? &*csStandBy : nullptr);                    \
    return false;                                                                \
  }())

void CMySQLConnection::_DropHandle() {
  st_mysql* pMySQL = m_pMySQL;
  m_pMySQL = nullptr;
  m_bOpen = 0;
  if (pMySQL == nullptr) return;
  try {
    __mysql_close(pMySQL);
  } catch (...) {
    // A library that cannot close has nothing left to free here.
  }
}

// ---------------------------------------------------------------------------
// Opening and closing

int CMySQLConnection::bOpen(CNAError* pclError) { return _bOpenCreate(pclError, 0); }

int CMySQLConnection::bOpenCreate(CNAError* pclError) { return _bOpenCreate(pclError, 1); }

int CMySQLConnection::bClose(CNAError* pclError) {
  if (!m_bOpen) {
    _DropHandle();  // a handle left by a failed opening
    return 1;
  }
  st_mysql* pMySQL = m_pMySQL;
  m_pMySQL = nullptr;
  m_bOpen = 0;
  return KQ_GUARDED(pclError, __mysql_close(pMySQL)) ? 1 : 0;
}

int CMySQLConnection::_bOpenCreate(CNAError* pclError, int bCreate) {
  if (m_bOpen) return 1;
  // The connection was lost inside a transaction: a new session would run
  // the rest of the transaction's statements outside it.
  if (_bTransactionAborted(nullptr))
    return pclGetTransaction()->nReportAborted(pclError, kFile, kSiteReconnectRefused);
  _DropHandle();
  _InitCodePageFromVX();
  _SetConnectionCodePage(1252);

  if (!CNAFunctionLoader::g_bLoaded()) {
    if (!_bLoadClientLibrary(pclError)) return 0;
  } else if (!_bCheckClientLibraryWanted(pclError)) {
    return 0;
  }

  st_mysql* pMySQL = nullptr;
  if (!KQ_GUARDED(pclError, pMySQL = __mysql_init(nullptr))) return 0;
  if (pMySQL == nullptr) {
    if (pclError != nullptr) {
      pclError->AddErrorFirst(kTypeNone, kFile, kSiteInitFailed, this, kErrInitFailed);
      pclError->AddDebugMessageNoFormat(L"mysql_init returned NULL");
    }
    return 0;
  }
  m_pMySQL = pMySQL;

  CTString csSocket;
  int bSocket = bGetUnixSocket(&csSocket);
  const CTString* apSSL[] = {&csGetSSLKey(), &csGetSSLCert(), &csGetSSLCA(), &csGetSSLCAPath(),
                             &csGetSSLCipher()};
  bool bSSL = false;
  for (const CTString* p : apSSL) bSSL = bSSL || p->nTaille() > 0;
  CTString csServer(pszGetDataBase()), csUser(pszGetUserName()),
      csDatabase(pszGetDefaultDataBaseEx());
  const CTString* apParams[] = {&csServer, &csUser, &csDatabase, &csSocket};

  bool bDone = (!bUnicodeSupport() ||
                _bProcessUnicodeCnxParameters(pclError, apParams, 4, bSSL)) &&
               (!bSSL || _bSetSSLParameters(pclError));
  if (bDone) {
    // The connection time-out, when the library takes options.
    int nTimeout = nGetConnectionTimeout();
    if (nTimeout > 0 && __mysql_options != DefaultError_mysql_options) {
      unsigned int nSeconds = static_cast<unsigned int>(nTimeout);
      KQ_GUARDED(pclError, __mysql_options(m_pMySQL, kMysqlOptConnectTimeout, &nSeconds));
    }
    // The library's own reconnection stays off, whatever its default: a
    // session it reopened silently would run the rest of a transaction
    // outside it (the driver decides when to reconnect).
    if (__mysql_options != DefaultError_mysql_options) {
      char bReconnect = 0;
      KQ_GUARDED(pclError, __mysql_options(m_pMySQL, kMysqlOptReconnect, &bReconnect));
    }
    bDone = _bOpenCreateDatabase(pclError, bCreate, pszGetDataBase(), pszGetUserName(),
                                 pszGetPassword(), csDatabase.pszGet(),
                                 bSocket ? csSocket.pszGet() : nullptr) &&
            _bGetServerVersion(pclError) && (!bSSL || _bCheckEncrypted(pclError));
  }
  if (bDone && bUnicodeSupport()) {
    if (!bServerVersionGreaterThan4_1() || !bClientVersionGreaterThan4_1()) {
      _SetUnicodeSupport(0);
    } else {
      // utf8mb4 carries every character; a server too old for it gets utf8.
      static const char kNames[] = "SET NAMES 'utf8mb4'";
      unsigned int nError = 0;
      if (!KQ_GUARDED(pclError, nError = _nRunQuery(kNames, sizeof kNames - 1)))
        bDone = false;
      else if (nError == 0 || bExecuteQueryNoResult(pclError, L"SET NAMES 'utf8'"))
        _SetConnectionCodePage(65001);
      else
        bDone = false;
    }
  }
  // A session left at code page 1252 (no Unicode wanted, or a client library
  // too old for it) must speak latin1, the server's name for that code page:
  // at the client library's default character set (utf8mb4 for Connector/C 3)
  // the server would read the driver's 8-bit texts as UTF-8 and send UTF-8
  // back. A server older than 4.1 has no session character set to set.
  if (bDone && nGetConnectionCodePage() == 1252 && bServerVersionGreaterThan4_1() &&
      !bExecuteQueryNoResult(pclError, L"SET NAMES 'latin1'"))
    bDone = false;
  if (!bDone) {
    _DropHandle();
    return 0;
  }
  return m_bOpen;
}

int CMySQLConnection::_bLoadClientLibrary(CNAError* pclError) {
  if (pclError == nullptr) return 0;  // the loader reports into an error object only
  if (!CNAFunctionLoader::g_bInitNative(pclError, &m_csClientLibrary,
                                        csGetClientLibraryWanted().pszGet(), 0))
    return 0;
  gbUseNextResult = __mysql_next_result != DefaultError_mysql_next_result ? 1 : 0;
  if (!KQ_GUARDED(pclError, _bGetClientLibraryVersion())) return 0;
  return 1;
}

int CMySQLConnection::_bGetClientLibraryVersion() {
  const char* pszVersion = __mysql_get_client_info();
  m_csClientVersion.SetANSIEx(pszVersion != nullptr ? pszVersion : "", -1, 1252);
  s_ScanClientVersion(m_csClientVersion.pszGet(), &m_nClientVersionMajor, &m_nClientVersionMinor,
                      &m_nClientVersionRevision);
  // Connector/C numbers itself 3.x while it has the current interface of
  // 4.1 and later: recognise it by its own extension, exported by the very
  // object that gives the version (a forwarding library that only passes it
  // through does not count).
  gbCurrentClientInterface = 0;
  void* hLibrary = CNAFunctionLoader::g_hGetNativeLibHandle();
  void* pInfov = hLibrary != nullptr ? dlsym(hLibrary, "mariadb_get_infov") : nullptr;
  Dl_info stInfov, stVersion;
  if (pInfov != nullptr && dladdr(pInfov, &stInfov) != 0 &&
      dladdr(reinterpret_cast<void*>(__mysql_get_client_info), &stVersion) != 0 &&
      stInfov.dli_fbase == stVersion.dli_fbase)
    gbCurrentClientInterface = 1;
  return 1;
}

void CMySQLConnection::s_ScanClientVersion(const wchar_t* pszText, int* pnMajor, int* pnMinor,
                                           int* pnRevision) {
  int* apOut[] = {pnMajor, pnMinor, pnRevision};
  for (int* p : apOut) *p = 0;
  int nPart = 0;
  for (const wchar_t* p = pszText; p != nullptr && *p != L'\0'; ++p) {
    if (*p >= L'0' && *p <= L'9') {
      *apOut[nPart] = *apOut[nPart] * 10 + static_cast<int>(*p - L'0');
    } else if (nPart == 2) {
      break;
    } else {
      ++nPart;
    }
  }
}

void CMySQLConnection::g_TermNativeLibrary() {
  gbUseNextResult = 0;
  gbCurrentClientInterface = 0;
  m_nClientVersionMajor = m_nClientVersionMinor = m_nClientVersionRevision = 0;
  g_ResetClientLibraryInfo();
}

int CMySQLConnection::_bProcessUnicodeCnxParameters(CNAError* pclError,
                                                    const CTString* apParams[], int nParams,
                                                    int bSSL) {
  // ASCII reads alike in every code page: nothing to ask of the library.
  bool bPlain = bAscii(pszGetPassword());
  for (int i = 0; i < nParams; ++i) bPlain = bPlain && bAscii(apParams[i]->pszGet());
  if (bSSL) {
    const CTString* apSSL[] = {&csGetSSLKey(), &csGetSSLCert(), &csGetSSLCA(), &csGetSSLCAPath(),
                               &csGetSSLCipher()};
    for (const CTString* p : apSSL) bPlain = bPlain && bAscii(p->pszGet());
  }
  if (bPlain) return 1;
  if (__mysql_options == DefaultError_mysql_options)
    return CNAError::g_nRaise(pclError, kTypeNone, kFile, kSiteOptionsMissing, this, nullptr,
                              nullptr, kErrCharsetOption, m_csClientVersion.pszGet());
  int nResult = 0;
  if (!KQ_GUARDED(pclError,
                  nResult = __mysql_options(m_pMySQL, kMysqlSetCharsetName, "utf8mb4")))
    return 0;
  if (nResult != 0) {
    if (pclError != nullptr)
      pclError->AddErrorFirst(kTypeNone, kFile, kSiteCharsetRefused, this, kErrCharsetOption,
                              m_csClientVersion.pszGet());
    return 0;
  }
  _SetConnectionCodePage(65001);
  return 1;
}

int CMySQLConnection::_bSetSSLParameters(CNAError* pclError) {
  if (__mysql_ssl_set == DefaultError_mysql_ssl_set)
    return CNAError::g_nRaise(pclError, kTypeNone, kFile, kSiteSSLMissing, this, nullptr, nullptr,
                              kErrNoSSL, m_csClientVersion.pszGet());
  int nCodePage = nGetConnectionCodePage();
  CNACodePageCnvIN clKey(pszOrNull(csGetSSLKey()), -1, nCodePage);
  CNACodePageCnvIN clCert(pszOrNull(csGetSSLCert()), -1, nCodePage);
  CNACodePageCnvIN clCA(pszOrNull(csGetSSLCA()), -1, nCodePage);
  CNACodePageCnvIN clCAPath(pszOrNull(csGetSSLCAPath()), -1, nCodePage);
  CNACodePageCnvIN clCipher(pszOrNull(csGetSSLCipher()), -1, nCodePage);
  int nResult = 0;
  if (!KQ_GUARDED(pclError, nResult = __mysql_ssl_set(m_pMySQL, clKey.pszGetForDB(),
                                                      clCert.pszGetForDB(), clCA.pszGetForDB(),
                                                      clCAPath.pszGetForDB(),
                                                      clCipher.pszGetForDB())))
    return 0;
  if (nResult != 0) {
    bInitError(pclError, kFile, kSiteSSLError);
    if (pclError != nullptr)
      pclError->AddErrorFirst(kTypeNone, kFile, kSiteSSLRefused, this, kErrConnectRefused);
    return 0;
  }
  return 1;
}

int CMySQLConnection::_bCheckEncrypted(CNAError* pclError) {
  // The client library falls back to plain text when the server offers no
  // TLS, even with SSL settings given: the SSL asked for would be dropped
  // without a word. Ask the session itself.
  static const char kQuery[] = "SHOW SESSION STATUS LIKE 'Ssl_cipher'";
  bool bEncrypted = false;
  if (!KQ_GUARDED(pclError, {
        if (__mysql_real_query(m_pMySQL, kQuery, sizeof kQuery - 1) == 0) {
          MYSQL_RES* pResult = __mysql_store_result(m_pMySQL);
          if (pResult != nullptr) {
            MYSQL_ROW pRow = __mysql_fetch_row(pResult);
            bEncrypted = pRow != nullptr && __mysql_num_fields(pResult) >= 2 &&
                         pRow[1] != nullptr && pRow[1][0] != '\0';
            __mysql_free_result(pResult);
          }
        }
      }))
    return 0;
  if (bEncrypted) return 1;
  if (pclError != nullptr) {
    pclError->_SetDataBaseError(kTypeNone, this, kErrDataBase, kCrSSLConnectionError,
                                L"TLS/SSL error: SSL was asked for, but the connection is not "
                                L"encrypted",
                                nullptr, nullptr);
    pclError->AddDebugInfo(kFile, kSiteSSLError);
    pclError->AddErrorFirst(kTypeNone, kFile, kSiteConnectRefused, this, kErrConnectRefused);
  }
  return 0;
}

int CMySQLConnection::_bOpenCreateDatabase(CNAError* pclError, int bCreate,
                                           const wchar_t* pszServer, const wchar_t* pszUser,
                                           const wchar_t* pszPassword,
                                           const wchar_t* pszDatabase, const wchar_t* pszSocket) {
  unsigned int nPort = static_cast<unsigned int>(nGetPort());
  unsigned long dwFlags = static_cast<unsigned long>(nGetClientFlag()) | kClientFoundRows;
  if (bMultipleRecordsetEnabled()) dwFlags |= kClientMultiStatements;

  int nCodePage = nGetConnectionCodePage();
  CNACodePageCnvIN clServer(pszServer, -1, nCodePage);
  CNACodePageCnvIN clUser(pszUser, -1, nCodePage);
  CNACodePageCnvIN clPassword(pszPassword, -1, nCodePage);
  CNACodePageCnvIN clDatabase(pszDatabase, -1, nCodePage);
  CNACodePageCnvIN clSocket(pszSocket, -1, nCodePage);

  st_mysql* pResult = nullptr;
  auto bConnect = [&](const char* pszDb) {
    return KQ_GUARDED(pclError, pResult = __mysql_real_connect(
                                    m_pMySQL, clServer.pszGetForDB(), clUser.pszGetForDB(),
                                    clPassword.pszGetForDB(), pszDb, nPort,
                                    clSocket.pszGetForDB(), dwFlags));
  };
  if (!bConnect(clDatabase.pszGetForDB())) return 0;
  m_bOpen = pResult != nullptr;
  if (m_bOpen) return 1;

  unsigned int nNative = 0;
  bGetLastError(&nNative);
  int bKnown = bInitError(pclError, kFile, kSiteConnectError);
  if (pclError != nullptr)
    pclError->AddErrorFirst(kTypeNone, kFile, kSiteConnectRefused, this, kErrConnectRefused);
  if (!bKnown || nNative != kErUnknownDatabase || !bCreate) return 0;

  // Create mode: connect without a database on the same handle (a failed
  // connect leaves it reusable), create the database and make it current
  // with USE (a second connect on a connected handle is refused).
  if (!bConnect(nullptr)) return 0;
  m_bOpen = pResult != nullptr;
  if (!m_bOpen) {
    bInitError(pclError, kFile, kSiteConnectError);
    return 0;
  }
  // A database name is one identifier, whatever "." it holds.
  CTString csName;
  bFormatItemName(pclError, pszDatabase, &csName);
  CTString csCreate(L"CREATE DATABASE ", csName.pszGet(), nullptr);
  CTString csUse(L"USE ", csName.pszGet(), nullptr);
  if (!bExecuteQueryNoResult(pclError, csCreate.pszGet()) ||
      !bExecuteQueryNoResult(pclError, csUse.pszGet())) {
    bClose(pclError);
    return 0;
  }
  if (pclError != nullptr) pclError->Reset();
  return 1;
}

int CMySQLConnection::_bGetServerVersion(CNAError* pclError) {
  const char* pszVersion = nullptr;
  if (!KQ_GUARDED(pclError, pszVersion = __mysql_get_server_info(m_pMySQL))) return 0;
  CNACodePageCnvOUT clVersion(pszVersion, nGetConnectionCodePage());
  const wchar_t* pszText = clVersion.pszGetForZB();
  _SetServerVersion(pszText != nullptr ? pszText : L"");
  CTString csUpper(pszGetServerVersion());
  m_bMariaDB = csUpper.nUpPos(L"MARIADB") >= 0 ? 1 : 0;
  return _bDecomposeServerVersion(pclError);
}

// ---------------------------------------------------------------------------
// Native errors

int CMySQLConnection::bGetLastError(unsigned int* pnError) {
  *pnError = 0;
  if (m_pMySQL == nullptr) return 0;
  try {
    *pnError = __mysql_errno(m_pMySQL);
    return 1;
  } catch (...) {
    return 0;
  }
}

int CMySQLConnection::bInitError(CNAError* pclError, unsigned int nFile, unsigned int nSite) {
  if (m_pMySQL == nullptr) return 0;
  unsigned int nNative = 0;
  const char* pszMessage = nullptr;
  if (!KQ_GUARDED(pclError, nNative = __mysql_errno(m_pMySQL); pszMessage = __mysql_error(m_pMySQL)))
    return 0;
  if (nNative == 0) return 0;
  if (pclError == nullptr) return 1;
  // The library's texts follow the connection's character set once it is
  // set; before, they are its own (ASCII) texts.
  CNACodePageCnvOUT clMessage(pszMessage, nGetConnectionCodePage());
  const wchar_t* pszText = clMessage.pszGetForZB();
  pclError->_SetDataBaseError(eNA_ERRORTYPE(eGetNAErrorType(nNative)), this, kErrDataBase, nNative,
                              pszText != nullptr ? pszText : L"", nullptr, nullptr);
  pclError->AddDebugInfo(static_cast<int>(nFile), static_cast<int>(nSite));
  return 1;
}

int CMySQLConnection::eGetNAErrorType(unsigned int nNativeError) {
  switch (nNativeError) {
    case 1062: return 3;  // duplicate key
    case 1205:            // lock wait time-out
    case 1213: return 2;  // deadlock
    case 1048: return 8;  // NULL in a NOT NULL column
    default: return 0;
  }
}

// ---------------------------------------------------------------------------
// Queries without result

unsigned int CMySQLConnection::_nRunQuery(const char* pszQuery, unsigned long nLength) {
  if (__mysql_real_query(m_pMySQL, pszQuery, nLength) != 0) return nLastErrorOr(m_pMySQL);
  // Every result set is stored and freed, so that the connection is ready
  // for the next statement whatever this one returned.
  for (;;) {
    MYSQL_RES* pResult = __mysql_store_result(m_pMySQL);
    if (pResult != nullptr) {
      __mysql_free_result(pResult);
    } else if (unsigned int nError = __mysql_errno(m_pMySQL); nError != 0) {
      return nError;
    }
    if (!gbUseNextResult) return 0;
    int nNext = __mysql_next_result(m_pMySQL);
    if (nNext < 0) return 0;  // no more results
    if (nNext > 0) return nLastErrorOr(m_pMySQL);
  }
}

int CMySQLConnection::bExecuteQueryNoResult(CNAError* pclError, const wchar_t* pszQuery) {
  if (!m_bOpen && !bOpen(pclError)) return 0;
  CNACodePageCnvIN clQuery(pszQuery != nullptr ? pszQuery : L"", -1, nGetConnectionCodePage());
  const char* pszText = clQuery.pszGetForDB();
  if (clQuery.bFailed()) {
    if (pclError != nullptr) pclError->pclGetLastXError()->SetErrorNoMemory();
    return 0;
  }
  unsigned long nLength = static_cast<unsigned long>(clQuery.nGetLengthForDB());
  unsigned int nError = 0;
  if (!KQ_GUARDED(pclError, nError = _nRunQuery(pszText, nLength))) return 0;
  if (nError == 0) return 1;
  if (nError == kUnknownError || !bInitError(pclError, kFile, kSiteQuery))
    CNAError::g_nRaise(pclError, kTypeNone, kFile, kSiteQuery, this, nullptr, nullptr,
                       kErrQueryFailed);
  if (nError == kCrServerGone || nError == kCrServerLost) {
    // The server is gone, and with it any transaction it ran: end ours as
    // aborted (nothing reconnects under it), then close the handle.
    const char* pszMessage = nullptr;
    try {
      pszMessage = __mysql_error(m_pMySQL);
    } catch (...) {
      pszMessage = nullptr;
    }
    CNACodePageCnvOUT clMessage(pszMessage != nullptr ? pszMessage : "",
                                nGetConnectionCodePage());
    _AbortTransaction(nError, clMessage.pszGetForZB());
    _DropHandle();
  }
  return 0;
}

int CMySQLConnection::bExecuteQueryIgnoreResult(CNAError* pclError, const wchar_t* pszQuery) {
  return bExecuteQueryNoResult(pclError, pszQuery);
}

int CMySQLConnection::bSQLBloque(CNAError* pclError, ISQLParserInformation*) {
  if (!_bTransactionOpened())
    return CNAError::g_nRaise(pclError, kTypeNone, kFile, kSiteLockNoTransaction, this, nullptr,
                              nullptr, kErrLockNeedsTransaction);
  // The tables of a parsed query are read from the server's parser
  // information, which comes with the SQL builder.
  CNAError::g_nRaise(pclError, kTypeNone, kFile, kSiteLockParsed, this, nullptr, nullptr,
                     kErrNotBuilt);
  if (pclError != nullptr)
    pclError->AddDebugMessageNoFormat(L"bSQLBloque of a parsed query: not built yet");
  return 0;
}

int CMySQLConnection::bTransactionBeginDirect(CNAError* pclError) {
  if (CNAConnectionDescription::bTransactionBeginDirect(pclError)) return 1;
  const unsigned int nError = pclError != nullptr ? pclError->dwGetDataBaseErrorCode() : 0;
  if (m_bOpen || (nError != kCrServerGone && nError != kCrServerLost)) return 0;
  if (!bOpen(pclError) || !CNAConnectionDescription::bTransactionBeginDirect(pclError)) return 0;
  pclError->Reset();  // the loss is behind us: the transaction runs
  return 1;
}

CNATransactionBase* CMySQLConnection::pclAllocTransaction() {
  return new (std::nothrow) CNATransaction(this);
}

int CMySQLConnection::bSQLBloque(CNAError* pclError, const wchar_t* pszTable) {
  const wchar_t* pszName = pszTable != nullptr ? pszTable : L"";
  // Outside a transaction a locking read would let its lock go at once: the
  // caller would believe the table locked.
  if (!_bTransactionOpened())
    return CNAError::g_nRaise(pclError, kTypeNone, kFile, kSiteLockNoTransaction, this, pszName,
                              nullptr, kErrLockNeedsTransaction);
  if (*pszName == L'\0')
    return CNAError::g_nRaise(pclError, kTypeNone, kFile, kSiteLockNoName, this, nullptr, nullptr,
                              kErrSourceIncomplete);
  // The name is quoted part by part, each closing quote inside doubled: a
  // name holding "`", ";" or "--" stays one name.
  CTString csTable;
  if (!bFormatTableName(pclError, pszName, &csTable)) return 0;
  CTString csQuery(L"SELECT 1 FROM ", csTable.pszGet(), L" FOR UPDATE");
  return bExecuteQueryIgnoreResult(pclError, csQuery.pszGet());
}

int CMySQLConnection::vbNotNullSupported(INAItemDescription* piItem) {
  // The slots after vbConstraintNullAllowed are asked, like it, only of item
  // descriptions above version 8.
  if (!m_bMariaDB || piItem == nullptr || piItem->nGetVersion() < kItemVersionComputed) return 1;
  return piItem->vbIsComputedColumnAll() ? 0 : 1;
}

int CMySQLConnection::bDBTypeToString(CTString* pOut, int nType) const {
  // Connector/C's enum_field_types: 0 to 19 in order, then 245 to 255.
  static constexpr const wchar_t* kLow[] = {
      L"DECIMAL",   L"TINYINT",  L"SMALLINT", L"INT",      L"FLOAT",     L"DOUBLE",
      L"NULL",      L"TIMESTAMP", L"BIGINT",  L"MEDIUMINT", L"DATE",     L"TIME",
      L"DATETIME",  L"YEAR",     L"DATE",     L"VARCHAR",  L"BIT",       L"TIMESTAMP",
      L"DATETIME",  L"TIME"};
  static constexpr const wchar_t* kHigh[] = {
      L"JSON",     L"DECIMAL", L"ENUM", L"SET",     L"TINYBLOB", L"MEDIUMBLOB",
      L"LONGBLOB", L"BLOB",    L"VARCHAR", L"CHAR", L"GEOMETRY"};
  const wchar_t* pszName = nullptr;
  if (nType >= 0 && nType < static_cast<int>(sizeof kLow / sizeof kLow[0]))
    pszName = kLow[nType];
  else if (nType >= 245 && nType <= 255)
    pszName = kHigh[nType - 245];
  if (pszName == nullptr) return 0;
  *pOut = pszName;
  return 1;
}

// ---------------------------------------------------------------------------
// Parameters and versions

int CMySQLConnection::nGetClientFlag() {
  CTString csValue;
  int bFound = 0;
  _bGetExtendedParameter(&csValue, &bFound, L"Client Flag", 0);
  int n = 0;
  return bFound && std::swscanf(csValue.pszGet(), L"%d", &n) == 1 ? n : 0;
}

int CMySQLConnection::nGetPort() {
  CTString csValue;
  int bFound = 0;
  _bGetExtendedParameter(&csValue, &bFound, L"Server Port", 0);
  int n = 0;
  return bFound && std::swscanf(csValue.pszGet(), L"%d", &n) == 1 ? n : 0;
}

int CMySQLConnection::bGetUnixSocket(CTString* pSocket) {
  int bFound = 0;
  _bGetExtendedParameter(pSocket, &bFound, L"Unix Socket", 0);
  return bFound;
}

int CMySQLConnection::bClientVersionGreaterThan4_1() const {
  return gbCurrentClientInterface ||
         bAtLeast(m_nClientVersionMajor, m_nClientVersionMinor, 0, 4, 1, 0);
}
int CMySQLConnection::bServerVersionGreaterThan4_1() const {
  return bAtLeast(nGetServerVersionMajor(), nGetServerVersionMinor(), 0, 4, 1, 0);
}
int CMySQLConnection::bServerVersionGreaterThan4_1_2() const {
  return bAtLeast(nGetServerVersionMajor(), nGetServerVersionMinor(), nGetServerVersionRelease(),
                  4, 1, 2);
}
int CMySQLConnection::bServerMySQLVersionGreaterThan5_7_6() const {
  return !m_bMariaDB && bAtLeast(nGetServerVersionMajor(), nGetServerVersionMinor(),
                                 nGetServerVersionRelease(), 5, 7, 6);
}
int CMySQLConnection::bServerMySQLVersionGreaterThan5_6_4OrMariaDBVersionGreaterThan5_3() const {
  int nMajor = nGetServerVersionMajor(), nMinor = nGetServerVersionMinor();
  if (m_bMariaDB) return bAtLeast(nMajor, nMinor, 0, 5, 3, 0);
  return bAtLeast(nMajor, nMinor, nGetServerVersionRelease(), 5, 6, 4);
}
int CMySQLConnection::bMultipleRecordsetEnabled() const {
  return gbUseNextResult && bClientVersionGreaterThan4_1();
}

// ---------------------------------------------------------------------------
// Type map

void CMySQLConnection::_InitZB2NativeType() {
  CNAMapConvertType* pclMap = _pclNativeTypeMap();
  if (pclMap == nullptr) return;
  const bool bFractions = bServerMySQLVersionGreaterThan5_6_4OrMariaDBVersionGreaterThan5_3() != 0 ||
                          nGetServerVersionMajor() < 0;  // not opened yet: a current server
  struct Entry {
    eNA_ITEMTYPE eType;
    const wchar_t* pszText;
    int bTakesSize;
  };
  const Entry aEntries[] = {
      {NA_IT_IDAUTO, L"BIGINT", 0},
      {NA_IT_IDAUTO4, L"INT", 0},
      {NA_IT_I1, L"TINYINT", 0},
      {NA_IT_I2, L"SMALLINT", 0},
      {NA_IT_I4, L"INT", 0},
      {NA_IT_I8, L"BIGINT", 0},
      {NA_IT_UI1, L"TINYINT UNSIGNED", 0},
      {NA_IT_UI2, L"SMALLINT UNSIGNED", 0},
      {NA_IT_UI4, L"INT UNSIGNED", 0},
      {NA_IT_UI8, L"BIGINT UNSIGNED", 0},
      {NA_IT_BOOLEEN, L"TINYINT(1)", 0},
      // Money: 18 integer digits and the 6 decimals of its 80 bits.
      {NA_IT_MONETAIRE, L"DECIMAL(24,6)", 0},
      {NA_IT_DECIMAL, L"DECIMAL(%d,%d)", 1},
      {NA_IT_R4, L"FLOAT", 0},
      {NA_IT_R8, L"DOUBLE", 0},
      {NA_IT_REELTURBO, L"DOUBLE", 0},
      {NA_IT_CHAR, L"CHAR(1)", 0},
      // VARCHAR, not CHAR: CHAR drops trailing blanks.
      {NA_IT_IMAGE, L"VARCHAR(%d)", 1},
      {NA_IT_TEXTE, L"VARCHAR(%d)", 1},
      {NA_IT_MEMOTEXTE, L"LONGTEXT", 0},
      {NA_IT_UNICODE, L"VARCHAR(%d) CHARACTER SET utf8mb4", 1},
      {NA_IT_MEMOUNICODE, L"LONGTEXT CHARACTER SET utf8mb4", 0},
      {NA_IT_BINAIRE, L"VARBINARY(%d)", 1},
      {NA_IT_MEMOBINAIRE, L"LONGBLOB", 0},
      {NA_IT_MEMOBINAIRE4, L"LONGBLOB", 0},
      {NA_IT_DATE6, L"DATE", 0},
      {NA_IT_DATE8, L"DATE", 0},
      {NA_IT_HEURE, bFractions ? L"TIME(3)" : L"TIME", 0},
      {NA_IT_DATETIME, bFractions ? L"DATETIME(3)" : L"DATETIME", 0},
      // A duration counts signed 64-bit milliseconds.
      {NA_IT_TIMELENGHT, L"BIGINT", 0},
      {NA_IT_ENUMERATION, L"INT", 0},
      {NA_IT_COMBINAISON, L"VARBINARY(%d)", 1},
  };
  for (const Entry& e : aEntries) pclMap->Add(e.eType, e.pszText, e.bTakesSize);
}
