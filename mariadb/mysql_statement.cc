// The MariaDB statement: running a text, result sets, fetching, seeking,
// cells into value holders, the column table and the execution errors.
#include "mariadb/mysql_statement.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <string>

#include "driver/function_loader.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/code_page_converters.h"
#include "items/convert_variant.h"
#include "items/item_description.h"
#include "mariadb/client_call_guard.h"
#include "mariadb/mysql_connection.h"

namespace {

// Sites of this file's debug lines: one per guarded call or failure.
constexpr int kSiteRealQuery = 1;
constexpr int kSiteQueryRefused = 2;
constexpr int kSiteStoreResult = 3;
constexpr int kSiteUseResult = 4;
constexpr int kSiteNextResult = 5;
constexpr int kSiteFetchRow = 6;
constexpr int kSiteFetchLengths = 7;
constexpr int kSiteDataSeek = 8;
constexpr int kSiteAffectedRows = 9;
constexpr int kSiteFreeResult = 10;
constexpr int kSiteFetchFields = 11;
constexpr int kSiteNoConnection = 12;
constexpr int kSiteNoCurrentRow = 13;
constexpr int kSiteColumnNegative = 14;
constexpr int kSiteColumnPastCount = 15;
constexpr int kSiteSeekRefused = 16;
constexpr int kSiteFieldLayout = 17;
constexpr int kSitePacketLimit = 18;
constexpr int kSiteStoreError = 22;  // mysql_store_result gave no result and an error
constexpr int kSiteUseError = 24;    // mysql_use_result likewise
constexpr int kSiteDrainError = 25;  // a later statement of the text failed
constexpr int kSiteFetchError = 26;  // a row could not be read

// User errors raised here.
constexpr unsigned int kErrClientFault = 23;
constexpr unsigned int kErrPacketTooLarge = 26;
constexpr unsigned int kErrStandBy = 37;
constexpr unsigned int kErrNotAvailable = 38;
constexpr unsigned int kErrNotOpen = 2;
// The debug text of a query larger than the server's packet limit.
constexpr unsigned int kMsgPacketTooLarge = 3221;

// Native errors of a query that was too large for the server, or of a
// connection it dropped for that reason.
constexpr unsigned int kErNetPacketTooLarge = 1153;
constexpr unsigned int kCrServerGone = 2006;
constexpr unsigned int kCrServerLost = 2013;
constexpr unsigned int kCrNetPacketTooLarge = 2020;

// Client column types.
enum : int {
  kTypeDecimal = 0,
  kTypeTiny = 1,
  kTypeShort = 2,
  kTypeLong = 3,
  kTypeFloat = 4,
  kTypeDouble = 5,
  kTypeNull = 6,
  kTypeTimestamp = 7,
  kTypeLongLong = 8,
  kTypeInt24 = 9,
  kTypeDate = 10,
  kTypeTime = 11,
  kTypeDateTime = 12,
  kTypeYear = 13,
  kTypeNewDate = 14,
  kTypeBit = 16,
  kTypeNewDecimal = 246,
  kTypeEnum = 247,
  kTypeSet = 248,
  kTypeTinyBlob = 249,
  kTypeMediumBlob = 250,
  kTypeLongBlob = 251,
  kTypeBlob = 252,
};

// The field records of the client library, by version. Connector/C (3.x,
// with the current interface) and MySQL clients from 5.1 on: 84 bytes on
// i386; 4.1 and 5.0: the same without the extension (80); 4.0: 40; older: 32.
struct stField41 {
  char* name;
  char* org_name;
  char* table;
  char* org_table;
  char* db;
  char* catalog;
  char* def;
  unsigned long length;
  unsigned long max_length;
  unsigned int name_length;
  unsigned int org_name_length;
  unsigned int table_length;
  unsigned int org_table_length;
  unsigned int db_length;
  unsigned int catalog_length;
  unsigned int def_length;
  unsigned int flags;
  unsigned int decimals;
  unsigned int charsetnr;
  int type;
  void* extension;
};
struct stField40 {
  char* name;
  char* table;
  char* org_table;
  char* db;
  char* def;
  unsigned long length;
  unsigned long max_length;
  unsigned int flags;
  unsigned int decimals;
  int type;
};
struct stField323 {
  char* name;
  char* table;
  char* def;
  int type;
  unsigned int length;
  unsigned int max_length;
  unsigned int flags;
  unsigned int decimals;
};
#if defined(__i386__)
static_assert(sizeof(stField41) == 84, "Connector/C's MYSQL_FIELD is 84 bytes on i386");
static_assert(offsetof(stField41, extension) == 80, "4.1/5.0 records end before the extension");
static_assert(sizeof(stField40) == 40, "MySQL 4.0's MYSQL_FIELD is 40 bytes on i386");
static_assert(sizeof(stField323) == 32, "MySQL 3.23's MYSQL_FIELD is 32 bytes on i386");
#endif

// One field as the statement reads it, whatever the layout.
struct stFieldFacts {
  const char* pszName = nullptr;
  unsigned int nNameLength = 0;
  const char* pszTable = nullptr;
  unsigned int nTableLength = 0;
  const char* pszNameInTable = nullptr;
  unsigned int nNameInTableLength = 0;
  long long llLength = 0;
  unsigned int dwFlags = 0;
  int nDecimals = 0;
  int nCharset = 0;
  int nType = 0;
};

unsigned int nLength(const char* psz) {
  return psz != nullptr ? static_cast<unsigned int>(std::strlen(psz)) : 0;
}

void ReadField(const unsigned char* pRecord, int nRecordSize, stFieldFacts* pst) {
  if (nRecordSize >= static_cast<int>(offsetof(stField41, extension))) {
    stField41 f;
    std::memcpy(&f, pRecord, offsetof(stField41, extension));
    pst->pszName = f.name;
    pst->nNameLength = f.name != nullptr ? f.name_length : 0;
    pst->pszTable = f.org_table;
    pst->nTableLength = f.org_table != nullptr ? f.org_table_length : 0;
    pst->pszNameInTable = f.org_name;
    pst->nNameInTableLength = f.org_name != nullptr ? f.org_name_length : 0;
    pst->llLength = static_cast<long long>(f.length != 0 ? f.length : f.max_length);
    pst->dwFlags = f.flags;
    pst->nDecimals = static_cast<int>(f.decimals);
    pst->nCharset = static_cast<int>(f.charsetnr);
    pst->nType = f.type;
  } else if (nRecordSize == static_cast<int>(sizeof(stField40))) {
    stField40 f;
    std::memcpy(&f, pRecord, sizeof f);
    pst->pszName = f.name;
    pst->nNameLength = nLength(f.name);
    pst->pszTable = f.org_table;
    pst->nTableLength = nLength(f.org_table);
    pst->llLength = static_cast<long long>(f.length != 0 ? f.length : f.max_length);
    pst->dwFlags = f.flags;
    pst->nDecimals = static_cast<int>(f.decimals);
    pst->nType = f.type;
  } else {
    stField323 f;
    std::memcpy(&f, pRecord, sizeof f);
    pst->pszName = f.name;
    pst->nNameLength = nLength(f.name);
    pst->pszTable = f.table;
    pst->nTableLength = nLength(f.table);
    pst->llLength = static_cast<long long>(f.length != 0 ? f.length : f.max_length);
    pst->dwFlags = f.flags;
    pst->nDecimals = static_cast<int>(f.decimals);
    pst->nType = f.type;
  }
}

bool bIsBlobType(int nType) { return nType >= kTypeTinyBlob && nType <= kTypeBlob; }

using kqmariadb::bGuarded;

}  // namespace

// A guarded client call at a site: true when it ran; false with 37 or 23
// reported on the statement's error.
#define KQ_STMT_GUARDED(nSite, ...)                                           \
  ([&]() -> bool {                                                             \
    std::optional<CTString> csStandBy;                                         \
    bool bStandBy = false;                                                     \
    bool bFault = false;                                                       \
    if (bGuarded([&]() { __VA_ARGS__; }, &csStandBy, &bStandBy, &bFault))      \
      return true;                                                             \
    _nReportFault(nSite, bStandBy ? &*csStandBy : nullptr);                     \
    return false;                                                              \
  }())

CMySQLStatementSQL::CMySQLStatementSQL(CMySQLConnection* pclConnection, CNAError* pclError)
    : CNAStatementSQL(pclConnection, pclError) {}

CMySQLStatementSQL::~CMySQLStatementSQL() { _bCloseParse(); }

CMySQLStatementSQL* CMySQLStatementSQL::s_pclAllocStatementSQL(
    CNAConnectionDescription* pclConnection, CNAError* pclError) {
  auto* pclMySQL = dynamic_cast<CMySQLConnection*>(pclConnection);
  if (pclMySQL == nullptr) return nullptr;
  return new (std::nothrow) CMySQLStatementSQL(pclMySQL, pclError);
}

CMySQLConnection* CMySQLStatementSQL::pclGetMySQLConnection() const {
  return static_cast<CMySQLConnection*>(pclGetConnection());
}

int CMySQLStatementSQL::_nReportFault(int nSite, const CTString* pStandByName) {
  CNAError* pclError = pclGetError();
  if (pclError == nullptr && CNADriver::s_pclDriver != nullptr)
    pclError = CNADriver::s_pclDriver->pclGetCurrentError();
  if (pStandByName != nullptr)
    return CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kFile, nSite, pclGetConnection(),
                              nullptr, nullptr, kErrStandBy, pStandByName->pszGet());
  CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kFile, nSite, pclGetConnection(), nullptr,
                     nullptr, kErrClientFault, L"MariaDB");
  if (pclError != nullptr && CNADriver::s_pclDriver != nullptr)
    CNADriver::s_pclDriver->OnFatalErrorAddDebugMessage(pclError, pclGetConnection());
  return 0;
}

void CMySQLStatementSQL::_TakeLastError(int nSite) {
  CMySQLConnection* pclConnection = pclGetMySQLConnection();
  unsigned int nNative = 0;
  pclConnection->bGetLastError(&nNative);
  if (!_bInitLastError(kFile, static_cast<unsigned int>(nSite)))
    CNAError::g_nRaise(pclGetError(), eNA_ERRORTYPE(0), kFile, nSite, pclConnection, nullptr,
                       nullptr, 54u);
  if (nNative == kCrServerGone || nNative == kCrServerLost) {
    // The server is gone, and any transaction it ran with it: end ours as
    // aborted (nothing reconnects under it), then close the handle.
    const wchar_t* pszMessage =
        pclGetError() != nullptr ? pclGetError()->pszGetSystemErrorMessage() : nullptr;
    pclConnection->_AbortTransaction(nNative, pszMessage);
    pclConnection->bClose(nullptr);
  }
}

// ---------------------------------------------------------------------------
// Running

int CMySQLStatementSQL::_bExecuteDirect(const char* pszText, const CTabValParser*,
                                        NA_WRITEPARSEFLAGS) {
  CMySQLConnection* pclConnection = pclGetMySQLConnection();
  if (pclConnection == nullptr)
    return CNAError::g_nRaise(pclGetError(), eNA_ERRORTYPE(0), kFile, kSiteNoConnection, nullptr,
                              nullptr, nullptr, kErrNotOpen);
  if (!pclConnection->bIsOpen() && !pclConnection->bOpen(pclGetError())) return 0;
  MYSQL* pMySQL = pclConnection->pGetHandle();
  m_bAffectedKept = 0;
  const char* psz = pszText != nullptr ? pszText : "";
  const unsigned long nBytes = static_cast<unsigned long>(std::strlen(psz));
  int nResult = 0;
  if (!KQ_STMT_GUARDED(kSiteRealQuery, nResult = __mysql_real_query(pMySQL, psz, nBytes)))
    return 0;
  if (nResult != 0) {
    // The dump needs only the start of the text: a text of many megabytes
    // is not converted whole.
    const int nDumpBytes =
        nBytes > static_cast<unsigned long>(kDumpMaxChars) * 4 ? kDumpMaxChars * 4
                                                               : static_cast<int>(nBytes);
    CNACodePageCnvOUTPtr clStart(psz, nDumpBytes, pclConnection->nGetConnectionCodePage());
    _InitExecuteError(kFile, kSiteQueryRefused, clStart.pszGetForZB(),
                      nBytes > 0x7FFFFFFFul ? 0x7FFFFFFF : static_cast<int>(nBytes), 0);
    return 0;
  }
  const int bOpened = m_bStoreMode ? _bGetStoreResult() : _bGetUseResult();
  if (!bOpened) return 0;
  if (nGetColumnCount() > 0 && !_bInitTabNAColumn()) return 0;
  return 1;
}

int CMySQLStatementSQL::_bGetStoreResult() {
  MYSQL* pMySQL = pclGetMySQLConnection()->pGetHandle();
  const int bMulti = pclGetMySQLConnection()->bMultipleRecordsetEnabled();
  for (;;) {
    MYSQL_RES* pResult = nullptr;
    if (!KQ_STMT_GUARDED(kSiteStoreResult, pResult = __mysql_store_result(pMySQL))) return 0;
    if (pResult != nullptr) {
      m_pResult = pResult;
      unsigned long long nRows = 0;
      unsigned int nFields = 0;
      if (!KQ_STMT_GUARDED(kSiteStoreResult, nRows = __mysql_num_rows(pResult);
                           nFields = __mysql_num_fields(pResult)))
        return 0;
      _SetRowCount(static_cast<long long>(nRows));
      _SetColumnCount(static_cast<int>(nFields));
      _SetResultOpen(1);
      // The sets after the first one with rows are read and freed; a
      // statement among them that failed fails the text.
      return !bMulti || _bDrainMoreResults(1);
    }
    unsigned int nError = 0;
    if (!KQ_STMT_GUARDED(kSiteStoreResult, nError = __mysql_errno(pMySQL))) return 0;
    if (nError != 0) {
      _TakeLastError(kSiteStoreError);
      return 0;
    }
    _KeepAffectedRows();
    int nNext = -1;
    if (bMulti && !KQ_STMT_GUARDED(kSiteNextResult, nNext = __mysql_next_result(pMySQL)))
      return 0;
    if (nNext < 0) {
      // No result set: a statement that gives no rows.
      _SetRowCount(0);
      _SetColumnCount(0);
      return 1;
    }
    if (nNext > 0) {
      _TakeLastError(kSiteDrainError);
      return 0;
    }
  }
}

int CMySQLStatementSQL::_bGetUseResult() {
  MYSQL* pMySQL = pclGetMySQLConnection()->pGetHandle();
  MYSQL_RES* pResult = nullptr;
  if (!KQ_STMT_GUARDED(kSiteUseResult, pResult = __mysql_use_result(pMySQL))) return 0;
  m_bMoreResults = pclGetMySQLConnection()->bMultipleRecordsetEnabled();
  if (pResult != nullptr) {
    m_pResult = pResult;
    m_bStreamed = 1;
    unsigned int nFields = 0;
    if (!KQ_STMT_GUARDED(kSiteUseResult, nFields = __mysql_num_fields(pResult))) return 0;
    m_bUseResultOpen = 1;
    _SetResultOpen(1);
    _SetRowCount(-1);  // not counted until the last row was read
    _SetColumnCount(static_cast<int>(nFields));
    return 1;
  }
  unsigned int nError = 0;
  if (!KQ_STMT_GUARDED(kSiteUseResult, nError = __mysql_errno(pMySQL))) return 0;
  if (nError != 0) {
    _TakeLastError(kSiteUseError);
    return 0;
  }
  _KeepAffectedRows();
  _SetRowCount(0);
  _SetColumnCount(0);
  // Nothing to stream: what follows in the text is read now.
  return !m_bMoreResults || _bDrainMoreResults(1);
}

int CMySQLStatementSQL::_bDrainMoreResults(int bReport) {
  m_bMoreResults = 0;
  CMySQLConnection* pclConnection = pclGetMySQLConnection();
  if (!pclConnection->bIsOpen() || !pclConnection->bMultipleRecordsetEnabled()) return 1;
  MYSQL* pMySQL = pclConnection->pGetHandle();
  for (;;) {
    int nNext = -1;
    if (!KQ_STMT_GUARDED(kSiteNextResult, nNext = __mysql_next_result(pMySQL))) return 0;
    if (nNext < 0) return 1;
    if (nNext > 0) {
      if (bReport) _TakeLastError(kSiteDrainError);
      return 0;
    }
    MYSQL_RES* pResult = nullptr;
    unsigned int nError = 0;
    if (!KQ_STMT_GUARDED(kSiteStoreResult, pResult = __mysql_store_result(pMySQL);
                         if (pResult != nullptr) __mysql_free_result(pResult);
                         else nError = __mysql_errno(pMySQL)))
      return 0;
    if (nError != 0) {
      if (bReport) _TakeLastError(kSiteDrainError);
      return 0;
    }
  }
}

int CMySQLStatementSQL::_bCloseParse() {
  if (m_pResult != nullptr) {
    MYSQL_RES* pResult = m_pResult;
    m_pResult = nullptr;
    // The rows a stream still holds are read off: the connection serves no
    // other statement before.
    const int bReadOff = m_bUseResultOpen;
    KQ_STMT_GUARDED(kSiteFreeResult, {
      if (bReadOff)
        while (__mysql_fetch_row(pResult) != nullptr) {
        }
      __mysql_free_result(pResult);
    });
  }
  m_bUseResultOpen = 0;
  m_bStreamed = 0;
  m_pRow = nullptr;
  m_pnLengths = nullptr;
  if (m_bMoreResults) _bDrainMoreResults(0);
  return CNAStatementSQL::_bCloseParse();
}

void CMySQLStatementSQL::_KeepAffectedRows() {
  unsigned long long n = 0;
  if (KQ_STMT_GUARDED(kSiteAffectedRows,
                      n = __mysql_affected_rows(pclGetMySQLConnection()->pGetHandle()))) {
    m_nAffectedRows = n;
    m_bAffectedKept = 1;
  }
}

int CMySQLStatementSQL::bGetAffected_rows(unsigned long long* pnRows) {
  CMySQLConnection* pclConnection = pclGetMySQLConnection();
  if (pnRows != nullptr) *pnRows = 0;
  // mysql_next_result, asked after a statement without rows, resets the
  // handle's count: the one kept then is the statement's.
  if (m_bAffectedKept) {
    if (pnRows != nullptr) *pnRows = m_nAffectedRows;
    return 1;
  }
  if (pclConnection == nullptr || pclConnection->pGetHandle() == nullptr) return 0;
  unsigned long long n = 0;
  if (!KQ_STMT_GUARDED(kSiteAffectedRows, n = __mysql_affected_rows(pclConnection->pGetHandle())))
    return 0;
  if (pnRows != nullptr) *pnRows = n;
  return 1;
}

// ---------------------------------------------------------------------------
// Rows

MYSQL_ROW CMySQLStatementSQL::__pFetchRow() {
  MYSQL_ROW pRow = nullptr;
  unsigned long* pnLengths = nullptr;
  m_bFetchFault = 0;
  if (!KQ_STMT_GUARDED(kSiteFetchRow, pRow = __mysql_fetch_row(m_pResult);
                       if (pRow != nullptr) pnLengths = __mysql_fetch_lengths(m_pResult))) {
    m_bFetchFault = 1;
    pRow = nullptr;
  }
  m_pRow = pRow;
  m_pnLengths = pRow != nullptr ? pnLengths : nullptr;
  return pRow;
}

int CMySQLStatementSQL::_bFetch() {
  if (m_pResult == nullptr) {
    // No result set (a statement without rows, or none run): nothing to read.
    m_pRow = nullptr;
    m_pnLengths = nullptr;
    _SetEndOfData(1);
    return 1;
  }
  if (__pFetchRow() != nullptr) {
    _SetCurrentRow(llGetCurrentRow() + 1);
    _SetEndOfData(0);
    return 1;
  }
  _SetEndOfData(1);
  if (m_bFetchFault) return 0;
  // No row: the end of the result, or a stream that broke off. The current
  // row number goes one past the last row.
  const long long llRead = llGetCurrentRow() + 1;
  _SetCurrentRow(llRead);
  if (!m_bUseResultOpen) return 1;
  m_bUseResultOpen = 0;
  unsigned int nError = 0;
  if (!KQ_STMT_GUARDED(kSiteFetchError,
                       nError = __mysql_errno(pclGetMySQLConnection()->pGetHandle())))
    return 0;
  if (nError != 0) {
    _TakeLastError(kSiteFetchError);
    return 0;
  }
  _SetRowCount(llRead);
  return m_bMoreResults ? _bDrainMoreResults(1) : 1;
}

int CMySQLStatementSQL::bFetch(unsigned int) { return _bFetch(); }

int CMySQLStatementSQL::bDataSeek(long long llRow) {
  if (m_pResult == nullptr || m_bStreamed || llRow < 0) {
    CNAError::g_nRaise(pclGetError(), eNA_ERRORTYPE(0), kFile, kSiteSeekRefused,
                       pclGetConnection(), nullptr, nullptr, kErrNotAvailable);
    return 0;
  }
  m_pRow = nullptr;
  m_pnLengths = nullptr;
  _SetEndOfData(1);
  _SetCurrentRow(llRow - 1);
  MYSQL_RES* pResult = m_pResult;
  return KQ_STMT_GUARDED(kSiteDataSeek,
                         __mysql_data_seek(pResult, static_cast<unsigned long long>(llRow)))
             ? 1
             : 0;
}

// ---------------------------------------------------------------------------
// Cells

int CMySQLStatementSQL::_bGetCell(unsigned int nColumn, const char** ppCell,
                                  unsigned long* pnLength) {
  if (m_pRow == nullptr || m_pnLengths == nullptr)
    return CNAError::g_nRaise(pclGetError(), eNA_ERRORTYPE(0), kFile, kSiteNoCurrentRow,
                              pclGetConnection(), nullptr, nullptr, kErrNoCurrentRow);
  // A column number comes from the caller as unsigned: one read as negative
  // is -1 and such.
  if (static_cast<int>(nColumn) < 0)
    return CNAError::g_nRaise(pclGetError(), eNA_ERRORTYPE(0), kFile, kSiteColumnNegative,
                              pclGetConnection(), nullptr, nullptr, kErrColumnNegative);
  if (static_cast<int>(nColumn) >= nGetColumnCount())
    return CNAError::g_nRaise(pclGetError(), eNA_ERRORTYPE(0), kFile, kSiteColumnPastCount,
                              pclGetConnection(), nullptr, nullptr, kErrColumnPastCount);
  *ppCell = m_pRow[nColumn];
  *pnLength = m_pnLengths[nColumn];
  return 1;
}

int CMySQLStatementSQL::bGetValue(unsigned char** ppCell, unsigned int* pnLength,
                                  unsigned int nColumn) {
  const char* pCell = nullptr;
  unsigned long nBytes = 0;
  if (!_bGetCell(nColumn, &pCell, &nBytes)) return 0;
  *ppCell = reinterpret_cast<unsigned char*>(const_cast<char*>(pCell));
  *pnLength = static_cast<unsigned int>(nBytes);
  return 1;
}

// The cell goes to the holder as the database text of the connection's code
// page, with these exceptions by client type:
// - DATE, DATETIME and TIMESTAMP lose their "-" (the holders' date form is
//   YYYYMMDD; both forms read the same into date and date-time items);
// - NEWDECIMAL goes unchanged (the server writes it with a "." and digits);
// - a blob to a binary holder goes as its bytes; a binary blob to a text
//   holder as wide text of its bytes (Unicode holder) or as text of the
//   language's code page.
int CMySQLStatementSQL::bGetValue(CNAConvertVariant* pclValue, unsigned int nColumn,
                                  unsigned int) {
  const char* pCell = nullptr;
  unsigned long nBytes = 0;
  if (!_bGetCell(nColumn, &pCell, &nBytes)) return 0;
  if (pCell == nullptr) {
    pclValue->SetNull();
    return 1;
  }
  CMySQLConnection* pclConnection = pclGetMySQLConnection();
  const unsigned int nCodePage = static_cast<unsigned int>(pclConnection->nGetConnectionCodePage());
  const unsigned int n = static_cast<unsigned int>(nBytes);
  CNAColumnSQL* pclColumn = _pclGetColumnNoError(static_cast<int>(nColumn));
  const int nType = pclColumn != nullptr ? pclColumn->nGetNativeTypeCode() : -1;
  if (nType == kTypeDate || nType == kTypeDateTime || nType == kTypeTimestamp) {
    char szDate[64];
    if (n < sizeof szDate) {
      unsigned int k = 0;
      for (unsigned int i = 0; i < n; ++i)
        if (pCell[i] != '-') szDate[k++] = pCell[i];
      szDate[k] = '\0';
      return pclValue->bSetValueDB(szDate, k, nCodePage);
    }
    std::string clDate;
    for (unsigned int i = 0; i < n; ++i)
      if (pCell[i] != '-') clDate.push_back(pCell[i]);
    return pclValue->bSetValueDB(clDate.data(), static_cast<unsigned int>(clDate.size()),
                                 nCodePage);
  }
  if (bIsBlobType(nType)) {
    const eNA_ITEMTYPE eAnalysis = pclValue->eNAGetItemTypeAnalyse();
    if (eAnalysis == NA_IT_MEMOBINAIRE || eAnalysis == NA_IT_BINAIRE)
      return pclValue->bSetValue(reinterpret_cast<const unsigned char*>(pCell), n);
    const eNA_ITEMTYPE eDatabase = pclValue->eNAGetItemTypeDatabase();
    if (eDatabase == NA_IT_MEMOBINAIRE || eDatabase == NA_IT_BINAIRE ||
        (eDatabase == NA_IT_EMPTY && pclColumn->nGetCharsetNumber() == kCharsetBinary)) {
      const eNA_ITEMTYPE eItem = pclValue->eNAGetItemType();
      if (eItem == NA_IT_UNICODE || eItem == NA_IT_MEMOUNICODE) {
        // The bytes are wide characters as the program stored them.
        std::wstring clWide(n / sizeof(wchar_t), L'\0');
        if (!clWide.empty()) std::memcpy(clWide.data(), pCell, clWide.size() * sizeof(wchar_t));
        return pclValue->bSetValue(clWide.c_str(), static_cast<unsigned int>(clWide.size()));
      }
      return pclValue->bSetValueDB(
          pCell, n, static_cast<unsigned int>(pclConnection->nGetLanguageCodePage()));
    }
  }
  return pclValue->bSetValueDB(pCell, n, nCodePage);
}

// ---------------------------------------------------------------------------
// Column table

int CMySQLStatementSQL::s_nFieldRecordSize() {
  if (!CNAFunctionLoader::g_bLoaded()) return 0;
  // Connector/C reports 3.x while it has the 4.1 interface: its own
  // extension tells it apart from a real 3.23 client.
  if (CMySQLConnection::gbCurrentClientInterface) return 84;
  const int nMajor = CMySQLConnection::m_nClientVersionMajor;
  const int nMinor = CMySQLConnection::m_nClientVersionMinor;
  if (nMajor < 4) return 32;
  if (nMajor == 4 && nMinor == 0) return 40;
  if (nMajor == 4 || (nMajor == 5 && nMinor == 0)) return 80;
  return 84;
}

int CMySQLStatementSQL::s_nDecimalIntegerDigits(long long llLength, int nDecimals, int bUnsigned) {
  long long n = llLength - nDecimals - (nDecimals > 0 ? 1 : 0) - (bUnsigned ? 0 : 1);
  return n < 0 ? 0 : static_cast<int>(n);
}

int CMySQLStatementSQL::_bInitTabNAColumn() {
  if (m_pResult == nullptr) return 0;
  if (!_bAllocTabNAColumn()) return 0;
  const int nRecordSize = s_nFieldRecordSize();
  MYSQL_FIELD* pFields = nullptr;
  if (!KQ_STMT_GUARDED(kSiteFetchFields, pFields = __mysql_fetch_fields(m_pResult))) return 0;
  if (pFields == nullptr || nRecordSize == 0)
    return CNAError::g_nRaise(pclGetError(), eNA_ERRORTYPE(0), kFile, kSiteFieldLayout,
                              pclGetConnection(), nullptr, nullptr, kErrNotAvailable);
  CMySQLConnection* pclConnection = pclGetMySQLConnection();
  const int nCodePage = pclConnection->nGetConnectionCodePage();
  const unsigned char* pRecords = reinterpret_cast<const unsigned char*>(pFields);
  for (int i = 0; i < nGetColumnCount(); ++i) {
    CNAColumnSQL* pclColumn = _pclGetColumnForFill(i);
    stFieldFacts st;
    ReadField(pRecords + static_cast<size_t>(i) * static_cast<size_t>(nRecordSize), nRecordSize,
              &st);
    CNACodePageCnvOUTPtr clName(st.pszName != nullptr ? st.pszName : "",
                                static_cast<int>(st.nNameLength), nCodePage);
    CNACodePageCnvOUTPtr clTable(st.pszTable != nullptr ? st.pszTable : "",
                                 static_cast<int>(st.nTableLength), nCodePage);
    CNACodePageCnvOUTPtr clInTable(st.pszNameInTable != nullptr ? st.pszNameInTable : "",
                                   static_cast<int>(st.nNameInTableLength), nCodePage);
    pclColumn->SetNames(clName.pszGetForZB(), clTable.pszGetForZB(), clInTable.pszGetForZB());
    pclColumn->SetField(st.llLength, st.dwFlags, st.nCharset);
    const int bUnsigned = (st.dwFlags & kFieldUnsigned) != 0;
    int nPrecision = 0;
    if (st.nType == kTypeDecimal || st.nType == kTypeNewDecimal)
      nPrecision = s_nDecimalIntegerDigits(st.llLength, st.nDecimals, bUnsigned);
    eNA_ITEMTYPE eType = NA_IT_EMPTY;
    int nSize = 0;
    s_ConvertItemType(&eType, &nSize, st.nType, st.llLength, nPrecision, st.nDecimals,
                      st.nCharset, bUnsigned);
    pclColumn->SetItemType(eType, nSize, nPrecision, st.nDecimals);
    CTString csTypeName;
    pclConnection->bDBTypeToString(&csTypeName, st.nType);
    pclColumn->SetNativeType(csTypeName.pszGet(), st.nType);
  }
  return 1;
}

int CMySQLStatementSQL::s_bCharsetUnicode(int nCharset) {
  if (nCharset > 98) return 1;
  switch (nCharset) {
    case 12: case 17: case 33: case 35: case 45: case 46: case 54: case 55: case 56:
    case 60: case 61: case 62: case 76: case 83: case 90: case 91:
      return 1;
    default:
      return 0;
  }
}

void CMySQLStatementSQL::s_ConvertItemType(eNA_ITEMTYPE* peType, int* pnSize, int nClientType,
                                           long long llLength, int nPrecision, int nDecimals,
                                           int nCharset, int bUnsigned) {
  const bool bUnicode = s_bCharsetUnicode(nCharset) != 0;
  auto Set = [&](eNA_ITEMTYPE e, int n) {
    *peType = e;
    *pnSize = n;
  };
  switch (nClientType) {
    case kTypeDecimal:
    case kTypeNewDecimal: {
      int nType = 0;
      unsigned int nSize = 0;
      CNAItemDescription::s_GetTypeFromFormat(nPrecision, nDecimals, &nType, &nSize);
      // Nineteen nines pass a signed 64-bit integer (9223372036854775807):
      // such a column keeps its values as a decimal, or, unsigned, in UI8.
      if (nType == NA_IT_I8 && nPrecision >= 19) {
        if (bUnsigned) {
          Set(NA_IT_UI8, 8);
        } else {
          Set(NA_IT_DECIMAL, CNAItemDescription::s_nDecimalSize(nPrecision));
        }
        return;
      }
      Set(static_cast<eNA_ITEMTYPE>(nType), static_cast<int>(nSize));
      return;
    }
    case kTypeTiny: Set(bUnsigned ? NA_IT_UI1 : NA_IT_I1, 1); return;
    case kTypeShort: Set(bUnsigned ? NA_IT_UI2 : NA_IT_I2, 2); return;
    case kTypeLong:
    case kTypeInt24: Set(bUnsigned ? NA_IT_UI4 : NA_IT_I4, 4); return;
    case kTypeEnum:
    case kTypeSet: Set(NA_IT_I4, 4); return;
    case kTypeFloat: Set(NA_IT_R4, 4); return;
    case kTypeDouble: Set(NA_IT_R8, 8); return;
    case kTypeNull: Set(NA_IT_EMPTY, 0); return;
    case kTypeTimestamp:
    case kTypeTime:
    case kTypeDateTime:
    case kTypeYear:
    case kTypeNewDate: Set(NA_IT_DATETIME, 8); return;
    case kTypeLongLong: Set(bUnsigned ? NA_IT_UI8 : NA_IT_I8, 8); return;
    case kTypeDate: Set(NA_IT_DATE8, 9); return;
    case kTypeBit: Set(NA_IT_BINAIRE, llLength > 0 ? static_cast<int>(llLength) + 2 : 3); return;
    case kTypeTinyBlob:
    case kTypeMediumBlob:
    case kTypeLongBlob:
    case kTypeBlob:
      if (nCharset == kCharsetBinary) Set(NA_IT_MEMOBINAIRE, 8);
      else if (nCharset != 0 && bUnicode) Set(NA_IT_MEMOUNICODE, 8);
      else Set(NA_IT_MEMOTEXTE, 8);
      return;
    default:
      break;
  }
  if (llLength <= 0 || llLength > 65534) {
    Set(bUnicode ? NA_IT_MEMOUNICODE : NA_IT_MEMOTEXTE, 8);
    return;
  }
  const int n = static_cast<int>(llLength) + 1;
  if (bUnicode) {
    if (2 * n > 65534) Set(NA_IT_MEMOUNICODE, 8);
    else Set(NA_IT_UNICODE, 2 * n);
  } else {
    Set(NA_IT_TEXTE, n);
  }
}

// ---------------------------------------------------------------------------
// Execution errors

void CMySQLStatementSQL::_InitExecuteError(unsigned int nFile, unsigned int nSite,
                                           const wchar_t* pszQuery, int nLength,
                                           unsigned int nFlags) {
  CMySQLConnection* pclConnection = pclGetMySQLConnection();
  unsigned int nNative = 0;
  pclConnection->bGetLastError(&nNative);
  CNAStatementSQL::_InitExecuteError(nFile, nSite, pszQuery, nLength, nFlags);
  const bool bTooLarge = nNative == kErNetPacketTooLarge || nNative == kCrServerGone ||
                         nNative == kCrServerLost || nNative == kCrNetPacketTooLarge;
  if (nNative == kCrServerGone || nNative == kCrServerLost) {
    const wchar_t* pszMessage =
        pclGetError() != nullptr ? pclGetError()->pszGetSystemErrorMessage() : nullptr;
    pclConnection->_AbortTransaction(nNative, pszMessage);
    pclConnection->bClose(nullptr);
  }
  if (!bTooLarge || m_bInPacketCheck || pclGetError() == nullptr || nLength <= 0) return;
  const unsigned long long llLimit = _llAskPacketLimit();
  if (llLimit == 0 || llLimit >= static_cast<unsigned long long>(nLength)) return;
  CTString csStart(pszQuery != nullptr ? pszQuery : L"");
  if (csStart.nTaille() > 20) csStart = CTString(csStart.pszGet(), 20);
  const wchar_t* pszDataBase = pclConnection->pszGetDataBase();
  pclGetError()->AddErrorFirst(eNA_ERRORTYPE(0), kFile, kSitePacketLimit, pclConnection,
                               kErrPacketTooLarge, pszDataBase != nullptr ? pszDataBase : L"",
                               static_cast<int>(nNative), static_cast<unsigned int>(llLimit),
                               static_cast<unsigned int>(nLength), csStart.pszGet());
  pclGetError()->AddDebugMessage(kMsgPacketTooLarge);
  pclGetError()->SetDataBaseErrorCode(nNative);
}

unsigned long long CMySQLStatementSQL::_llAskPacketLimit() {
  CMySQLConnection* pclConnection = pclGetMySQLConnection();
  // The check's own failures are not the caller's: they go to an error of
  // its own.
  CNAError* pclScratch = new (std::nothrow) CNAError;
  if (pclScratch == nullptr) return 0;
  pclScratch->AddRef();
  unsigned long long llLimit = 0;
  for (int nTry = 0; nTry < 2 && llLimit == 0; ++nTry) {
    if (!pclConnection->bIsOpen() && !pclConnection->bOpen(pclScratch)) break;
    CMySQLStatementSQL clCheck(pclConnection, pclScratch);
    clCheck.AddRef();
    clCheck.SetHold(1);
    clCheck.m_bInPacketCheck = 1;
    if (clCheck.bExecuteDirect("show variables like 'max_allowed_packet'", 0) &&
        clCheck.bFetch(0) && !clCheck.bIsEndOfData()) {
      unsigned char* pCell = nullptr;
      unsigned int nCell = 0;
      if (clCheck.bGetValue(&pCell, &nCell, 1) && pCell != nullptr) {
        for (unsigned int i = 0; i < nCell && pCell[i] >= '0' && pCell[i] <= '9'; ++i)
          llLimit = llLimit * 10 + (pCell[i] - '0');
      }
    }
    clCheck.bReset();
    clCheck.nRelease();
    if (llLimit != 0) break;
    unsigned int nNative = pclScratch->dwGetDataBaseErrorCode();
    if (nNative != kCrServerGone && nNative != kCrServerLost) break;
    // Lost again: the connection is opened afresh once.
    pclConnection->bClose(nullptr);
    pclScratch->Reset();
  }
  pclScratch->nRelease();
  return llLimit;
}
