// Reference figures for fetching rows: the client library's own text-protocol
// loop (mysql_real_query, then mysql_use_result or mysql_store_result, then
// mysql_fetch_row and mysql_fetch_lengths) over 1,000,000 rows of six columns.
// Every driver benchmark that fetches rows is read against these figures.
//
// Running it:
//   scripts/mariadb-server.sh start /tmp/kqbench
//   KQ_MARIADB_ENV=/tmp/kqbench/server.env qemu-i386 build/bench/reference_fetch_bench
//   scripts/mariadb-server.sh stop /tmp/kqbench
// Drop qemu-i386 where the kernel runs i386 programs itself; under the emulator
// every figure, the client's CPU time above all, includes the emulation.
//
// The first run against a server generates kqbench.fetch_reference inside the
// server (its sequence engine; some seconds), later runs reuse it. "Time" is
// wall time and "rows" is rows per wall second: server and transport included.
// "CPU" is the client's own CPU time.
#include <cstdint>
#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_context.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/server_env.h"

namespace kq230 {
namespace {

using test_support::ClientLibrary;
using test_support::MariadbServer;

constexpr long long kRows = 1000000;

constexpr char kSelect[] =
    "SELECT id, code, name, amount, created, note FROM kqbench.fetch_reference";

// Set once by main() before any benchmark runs.
ClientLibrary* library = nullptr;
MariadbServer server;

enum class Transport { kTcp, kUnixSocket };
enum class Fetch { kUseResult, kStoreResult };

// Connects as the test user; returns null with *error set on failure.
MYSQL* Connect(Transport transport, std::string* error) {
  MYSQL* mysql = library->init(nullptr);
  if (mysql == nullptr) {
    *error = "mysql_init failed";
    return nullptr;
  }
  unsigned protocol = transport == Transport::kTcp ? MYSQL_PROTOCOL_TCP : MYSQL_PROTOCOL_SOCKET;
  library->options(mysql, MYSQL_OPT_PROTOCOL, &protocol);
  bool tcp = transport == Transport::kTcp;
  if (library->real_connect(mysql, tcp ? server.host.c_str() : "localhost", server.user.c_str(),
                            server.password.c_str(), server.database.c_str(),
                            tcp ? server.port : 0, tcp ? nullptr : server.socket.c_str(),
                            0) == nullptr) {
    *error = std::string("cannot connect: ") + library->error_of(mysql);
    library->close(mysql);
    return nullptr;
  }
  return mysql;
}

bool Execute(MYSQL* mysql, const std::string& sql, std::string* error) {
  if (library->real_query(mysql, sql.data(), sql.size()) != 0) {
    *error = sql.substr(0, 60) + ": " + library->error_of(mysql);
    return false;
  }
  return true;
}

// Returns the single integer `sql` selects, or -1 with *error set.
long long SelectNumber(MYSQL* mysql, const std::string& sql, std::string* error) {
  if (!Execute(mysql, sql, error)) return -1;
  MYSQL_RES* result = library->store_result(mysql);
  if (result == nullptr) {
    *error = sql + ": no result";
    return -1;
  }
  MYSQL_ROW row = library->fetch_row(result);
  long long number = row != nullptr && row[0] != nullptr ? std::stoll(row[0]) : -1;
  library->free_result(result);
  if (number < 0) *error = sql + ": no number";
  return number;
}

// Makes kqbench.fetch_reference hold exactly kRows rows, generating them in
// the server unless an earlier run already did. Row n is a function of n only,
// so the figures of two runs compare.
bool PrepareTable(MYSQL* mysql, std::string* error) {
  if (!Execute(mysql, "CREATE DATABASE IF NOT EXISTS kqbench", error) ||
      !Execute(mysql,
               "CREATE TABLE IF NOT EXISTS kqbench.fetch_reference ("
               "  id INT NOT NULL PRIMARY KEY,"
               "  code VARCHAR(12) NOT NULL,"
               "  name VARCHAR(40) NOT NULL,"
               "  amount DECIMAL(12,2) NOT NULL,"
               "  created DATETIME NOT NULL,"
               "  note TEXT NOT NULL"
               ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4",
               error)) {
    return false;
  }
  long long rows = SelectNumber(mysql, "SELECT COUNT(*) FROM kqbench.fetch_reference", error);
  if (rows < 0) return false;
  if (rows == kRows) return true;

  std::fprintf(stderr, "reference_fetch_bench: generating %lld rows in kqbench.fetch_reference\n",
               kRows);
  return Execute(mysql, "TRUNCATE TABLE kqbench.fetch_reference", error) &&
         Execute(mysql,
                 "INSERT INTO kqbench.fetch_reference "
                 "SELECT seq,"
                 "  CONCAT('K', LPAD(seq, 9, '0')),"
                 "  CONCAT('Customer ', seq MOD 9973, ' ', ELT(1 + seq MOD 4, 'North',"
                 "    'South', 'East', 'West')),"
                 "  (seq * 7919 MOD 100000000) / 100,"
                 "  TIMESTAMP'2020-01-01 00:00:00' + INTERVAL seq * 37 SECOND,"
                 "  CONCAT('Note for row ', seq, ': ', REPEAT('lorem ipsum ', seq MOD 12))"
                 " FROM seq_1_to_1000000",
                 error);
}

void FetchAll(benchmark::State& state, Transport transport, Fetch fetch) {
  std::string error;
  MYSQL* mysql = Connect(transport, &error);
  if (mysql == nullptr) {
    state.SkipWithError(error.c_str());
    return;
  }
  // Once per process, whichever benchmark runs first.
  static bool table_ready = false;
  if (!table_ready && !(table_ready = PrepareTable(mysql, &error))) {
    state.SkipWithError(error.c_str());
    library->close(mysql);
    return;
  }

  long long rows = 0;
  int64_t bytes = 0;
  unsigned checksum = 0;
  for (auto _ : state) {
    if (!Execute(mysql, kSelect, &error)) {
      state.SkipWithError(error.c_str());
      break;
    }
    MYSQL_RES* result =
        fetch == Fetch::kUseResult ? library->use_result(mysql) : library->store_result(mysql);
    if (result == nullptr) {
      error = std::string("no result: ") + library->error_of(mysql);
      state.SkipWithError(error.c_str());
      break;
    }
    unsigned fields = library->num_fields(result);
    long long fetched = 0;
    while (MYSQL_ROW row = library->fetch_row(result)) {
      unsigned long* lengths = library->fetch_lengths(result);
      for (unsigned i = 0; i < fields; ++i) {
        bytes += lengths[i];
        if (lengths[i] != 0) checksum += static_cast<unsigned char>(row[i][0]);
      }
      ++fetched;
    }
    // With use_result the end of the rows and a broken transfer look alike
    // until mysql_errno is asked.
    bool failed = library->errno_of(mysql) != 0;
    library->free_result(result);
    if (failed || fetched != kRows) {
      error = "fetched " + std::to_string(fetched) + " rows, expected " + std::to_string(kRows);
      state.SkipWithError(error.c_str());
      break;
    }
    rows += fetched;
  }
  benchmark::DoNotOptimize(checksum);
  state.counters["rows"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(bytes);
  library->close(mysql);
}

BENCHMARK_CAPTURE(FetchAll, use_result/tcp, Transport::kTcp, Fetch::kUseResult)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK_CAPTURE(FetchAll, store_result/tcp, Transport::kTcp, Fetch::kStoreResult)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK_CAPTURE(FetchAll, use_result/unix_socket, Transport::kUnixSocket, Fetch::kUseResult)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK_CAPTURE(FetchAll, store_result/unix_socket, Transport::kUnixSocket, Fetch::kStoreResult)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace
}  // namespace kq230

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  kqbench::AddEmulationContext();

  std::string error;
  if (!kq230::test_support::ReadMariadbServer(nullptr, &kq230::server, &error)) {
    std::fprintf(stderr, "reference_fetch_bench: skipped: %s\n", error.c_str());
    return 0;
  }
  kq230::test_support::ClientLibrary library;
  if (!library.Load(&error)) {
    std::fprintf(stderr, "reference_fetch_bench: %s\n", error.c_str());
    return 1;
  }
  kq230::library = &library;

  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
