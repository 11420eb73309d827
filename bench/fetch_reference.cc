// The fetch reference shared by the row-fetching benchmarks
// (bench/fetch_reference.h).
#include "bench/fetch_reference.h"

#include <malloc.h>
#include <time.h>

#include <cstdio>

namespace kqbench {
namespace {

size_t nHeapBytesInUse() {
  const struct mallinfo2 stInfo = mallinfo2();
  return stInfo.uordblks + stInfo.hblkhd;
}

}  // namespace

const char kFetchReferenceSelect[] =
    "SELECT id, code, name, amount, created, note FROM kqbench.fetch_reference";

bool CFetchReference::bStart(std::string* pstrError, bool* pbNoServer) {
  *pbNoServer = false;
  if (!kq230::test_support::ReadMariadbServer(nullptr, &m_server, pstrError)) {
    *pbNoServer = true;
    return false;
  }
  return m_library.Load(pstrError);
}

MYSQL* CFetchReference::pConnect(eTransport eRoute, std::string* pstrError,
                                 const char* pszDatabase) {
  MYSQL* pMySQL = m_library.init(nullptr);
  if (pMySQL == nullptr) {
    *pstrError = "mysql_init failed";
    return nullptr;
  }
  const bool bTcp = eRoute == eTransport::kTcp;
  unsigned int nProtocol = bTcp ? MYSQL_PROTOCOL_TCP : MYSQL_PROTOCOL_SOCKET;
  m_library.options(pMySQL, MYSQL_OPT_PROTOCOL, &nProtocol);
  // The driver reads in utf8mb4: the reference reads the same bytes.
  m_library.options(pMySQL, MYSQL_SET_CHARSET_NAME, "utf8mb4");
  if (m_library.real_connect(pMySQL, bTcp ? m_server.host.c_str() : "localhost",
                             m_server.user.c_str(), m_server.password.c_str(),
                             pszDatabase != nullptr ? pszDatabase : m_server.database.c_str(), bTcp ? m_server.port : 0,
                             bTcp ? nullptr : m_server.socket.c_str(), 0) == nullptr) {
    *pstrError = std::string("cannot connect: ") + m_library.error_of(pMySQL);
    m_library.close(pMySQL);
    return nullptr;
  }
  return pMySQL;
}

bool CFetchReference::bExecute(MYSQL* pMySQL, const std::string& sql, std::string* pstrError) {
  if (m_library.real_query(pMySQL, sql.data(), sql.size()) != 0) {
    *pstrError = sql.substr(0, 60) + ": " + m_library.error_of(pMySQL);
    return false;
  }
  return true;
}

long long CFetchReference::llSelectNumber(MYSQL* pMySQL, const std::string& sql,
                                          std::string* pstrError) {
  if (!bExecute(pMySQL, sql, pstrError)) return -1;
  MYSQL_RES* pResult = m_library.store_result(pMySQL);
  if (pResult == nullptr) {
    *pstrError = sql + ": no result";
    return -1;
  }
  MYSQL_ROW row = m_library.fetch_row(pResult);
  const long long llNumber = row != nullptr && row[0] != nullptr ? std::stoll(row[0]) : -1;
  m_library.free_result(pResult);
  if (llNumber < 0) *pstrError = sql + ": no number";
  return llNumber;
}

bool CFetchReference::bPrepareTable(MYSQL* pMySQL, std::string* pstrError) {
  if (m_bTableReady) return true;
  if (!bExecute(pMySQL, "CREATE DATABASE IF NOT EXISTS kqbench", pstrError) ||
      !bExecute(pMySQL,
                "CREATE TABLE IF NOT EXISTS kqbench.fetch_reference ("
                "  id INT NOT NULL PRIMARY KEY,"
                "  code VARCHAR(12) NOT NULL,"
                "  name VARCHAR(40) NOT NULL,"
                "  amount DECIMAL(12,2) NOT NULL,"
                "  created DATETIME NOT NULL,"
                "  note TEXT NOT NULL"
                ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4",
                pstrError)) {
    return false;
  }
  const long long llRows =
      llSelectNumber(pMySQL, "SELECT COUNT(*) FROM kqbench.fetch_reference", pstrError);
  if (llRows < 0) return false;
  if (llRows == kFetchReferenceRows) return m_bTableReady = true;

  std::fprintf(stderr, "fetch reference: generating %lld rows in kqbench.fetch_reference\n",
               kFetchReferenceRows);
  m_bTableReady =
      bExecute(pMySQL, "TRUNCATE TABLE kqbench.fetch_reference", pstrError) &&
      bExecute(pMySQL,
               "INSERT INTO kqbench.fetch_reference "
               "SELECT seq,"
               "  CONCAT('K', LPAD(seq, 9, '0')),"
               "  CONCAT('Customer ', seq MOD 9973, ' ', ELT(1 + seq MOD 4, 'North',"
               "    'South', 'East', 'West')),"
               "  (seq * 7919 MOD 100000000) / 100,"
               "  TIMESTAMP'2020-01-01 00:00:00' + INTERVAL seq * 37 SECOND,"
               "  CONCAT('Note for row ', seq, ': ', REPEAT('lorem ipsum ', seq MOD 12))"
               " FROM seq_1_to_1000000",
               pstrError);
  return m_bTableReady;
}

bool CFetchReference::bFetchAll(MYSQL* pMySQL, const std::string& sql, eFetch eMode,
                                long long llExpectedRows, FetchTally* pTally,
                                std::string* pstrError) {
  if (!bExecute(pMySQL, sql, pstrError)) return false;
  MYSQL_RES* pResult = eMode == eFetch::kUseResult ? m_library.use_result(pMySQL)
                                                   : m_library.store_result(pMySQL);
  if (pResult == nullptr) {
    *pstrError = std::string("no result: ") + m_library.error_of(pMySQL);
    return false;
  }
  const unsigned int nFields = m_library.num_fields(pResult);
  long long llFetched = 0;
  int64_t llBytes = 0;
  unsigned int nChecksum = pTally->nChecksum;
  while (MYSQL_ROW row = m_library.fetch_row(pResult)) {
    const unsigned long* anLengths = m_library.fetch_lengths(pResult);
    for (unsigned int i = 0; i < nFields; ++i) {
      llBytes += anLengths[i];
      if (anLengths[i] != 0) nChecksum += static_cast<unsigned char>(row[i][0]);
    }
    ++llFetched;
  }
  // With use_result the end of the rows and a broken transfer look alike
  // until mysql_errno is asked.
  const bool bFailed = m_library.errno_of(pMySQL) != 0;
  m_library.free_result(pResult);
  if (bFailed || (llExpectedRows >= 0 && llFetched != llExpectedRows)) {
    *pstrError = "fetched " + std::to_string(llFetched) + " rows, expected " +
                 std::to_string(llExpectedRows) + (bFailed ? " (transfer broken)" : "");
    return false;
  }
  pTally->llRows += llFetched;
  pTally->llBytes += llBytes;
  pTally->nChecksum = nChecksum;
  return true;
}

double CFetchReference::dStoredBytesPerRow(MYSQL* pMySQL, const std::string& sql,
                                           long long* pllRows, std::string* pstrError) {
  *pllRows = 0;
  if (!bExecute(pMySQL, sql, pstrError)) return -1;
  // uordblks counts the main arena only: this loop runs on one thread, so
  // the client's allocations for the result all land there. Blocks large
  // enough to be mapped on their own are counted apart (hblkhd).
  const size_t nBefore = nHeapBytesInUse();
  MYSQL_RES* pResult = m_library.store_result(pMySQL);
  const size_t nAfter = nHeapBytesInUse();
  if (pResult == nullptr) {
    *pstrError = std::string("no result: ") + m_library.error_of(pMySQL);
    return -1;
  }
  long long llRows = 0;
  while (m_library.fetch_row(pResult) != nullptr) ++llRows;
  m_library.free_result(pResult);
  *pllRows = llRows;
  if (llRows == 0) return 0;
  return (static_cast<double>(nAfter) - static_cast<double>(nBefore)) / static_cast<double>(llRows);
}

int64_t llProcessCpuNanoseconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

}  // namespace kqbench
