// The fetch reference shared by the benchmarks that fetch rows: the client
// library loaded at run time by name (as the driver loads it), the facts of
// the throwaway server, the table kqbench.fetch_reference of 1,000,000 rows
// of six columns generated inside the server, and the client's own fetch
// loop over a query's rows (mysql_real_query, mysql_use_result or
// mysql_store_result, mysql_fetch_row and mysql_fetch_lengths), the figure
// every driver road is read against.
//
// The table: id INT primary key, code VARCHAR(12), name VARCHAR(40), amount
// DECIMAL(12,2), created DATETIME, note TEXT, all NOT NULL, utf8mb4. Row n is
// a function of n only, so the figures of two runs compare.
//
// Ownership: CFetchReference owns the loaded client library; connections it
// answers belong to the caller (mysql_close through Library().close).
// Threads: one benchmark thread at a time.
#ifndef KQ230_BENCH_FETCH_REFERENCE_H_
#define KQ230_BENCH_FETCH_REFERENCE_H_

#include <cstdint>
#include <string>

#include "tests/mariadb/client_library.h"
#include "tests/mariadb/server_env.h"

namespace kqbench {

// Rows of kqbench.fetch_reference.
constexpr long long kFetchReferenceRows = 1000000;
// Every column of the table, in the table's order.
extern const char kFetchReferenceSelect[];

enum class eTransport { kTcp, kUnixSocket };
enum class eFetch { kUseResult, kStoreResult };

// What one pass of the client's loop saw.
struct FetchTally {
  long long llRows = 0;
  int64_t llBytes = 0;        // the cells' lengths, summed
  unsigned int nChecksum = 0;  // first byte of each non-empty cell, so no cell goes unread
};

class CFetchReference {
 public:
  CFetchReference() = default;
  CFetchReference(const CFetchReference&) = delete;
  CFetchReference& operator=(const CFetchReference&) = delete;

  // Reads the server's facts (KQ_MARIADB_ENV) and loads the client library.
  // False with *pstrError when either fails; *pbNoServer says the facts are
  // missing (the benchmark program skips rather than fails).
  bool bStart(std::string* pstrError, bool* pbNoServer);

  kq230::test_support::ClientLibrary& Library() { return m_library; }
  const kq230::test_support::MariadbServer& Server() const { return m_server; }

  // A connection of the test user in utf8mb4, the driver's character set,
  // on pszDatabase (null: the test user's own database); null with
  // *pstrError on failure.
  MYSQL* pConnect(eTransport eRoute, std::string* pstrError, const char* pszDatabase = nullptr);
  // Runs sql; false with *pstrError (the start of the text and the server's
  // message).
  bool bExecute(MYSQL* pMySQL, const std::string& sql, std::string* pstrError);
  // The single integer sql selects, or -1 with *pstrError.
  long long llSelectNumber(MYSQL* pMySQL, const std::string& sql, std::string* pstrError);
  // Makes kqbench.fetch_reference hold exactly kFetchReferenceRows rows,
  // generating them in the server unless an earlier run already did (once
  // per process; some seconds the first time).
  bool bPrepareTable(MYSQL* pMySQL, std::string* pstrError);

  // The client's loop over every row of sql. False with *pstrError when the
  // query fails, the transfer breaks, or the rows are not llExpectedRows
  // (-1: any count).
  bool bFetchAll(MYSQL* pMySQL, const std::string& sql, eFetch eMode, long long llExpectedRows,
                 FetchTally* pTally, std::string* pstrError);

  // What the client holds for sql's stored result: the heap's bytes in use
  // (glibc's mallinfo2().uordblks) after mysql_store_result less before, per
  // row. The result is freed again. -1 with *pstrError on failure.
  double dStoredBytesPerRow(MYSQL* pMySQL, const std::string& sql, long long* pllRows,
                            std::string* pstrError);

 private:
  kq230::test_support::ClientLibrary m_library;
  kq230::test_support::MariadbServer m_server;
  bool m_bTableReady = false;
};

// The process's CPU time in nanoseconds (the client's own: the server is
// another process).
int64_t llProcessCpuNanoseconds();

}  // namespace kqbench

#endif  // KQ230_BENCH_FETCH_REFERENCE_H_
