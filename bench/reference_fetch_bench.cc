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
// "CPU" is the client's own CPU time. The store_result runs also say what the
// client holds for the stored result: client_buffered_bytes_per_row, the
// heap's bytes in use (glibc's mallinfo2) after mysql_store_result less
// before, per row. The table, the connection and the loop are shared with
// the driver's fetch benchmarks (bench/fetch_reference.h).
#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_context.h"
#include "bench/fetch_reference.h"

namespace {

using kqbench::eFetch;
using kqbench::eTransport;

// Set once by main() before any benchmark runs.
kqbench::CFetchReference* g_pReference = nullptr;

void FetchAll(benchmark::State& state, eTransport eRoute, eFetch eMode) {
  kqbench::CFetchReference& ref = *g_pReference;
  std::string strError;
  MYSQL* pMySQL = ref.pConnect(eRoute, &strError);
  if (pMySQL == nullptr) {
    state.SkipWithError(strError.c_str());
    return;
  }
  if (!ref.bPrepareTable(pMySQL, &strError)) {
    state.SkipWithError(strError.c_str());
    ref.Library().close(pMySQL);
    return;
  }

  kqbench::FetchTally tally;
  for (auto _ : state) {
    if (!ref.bFetchAll(pMySQL, kqbench::kFetchReferenceSelect, eMode,
                       kqbench::kFetchReferenceRows, &tally, &strError)) {
      state.SkipWithError(strError.c_str());
      break;
    }
  }
  benchmark::DoNotOptimize(tally.nChecksum);
  state.counters["rows"] =
      benchmark::Counter(static_cast<double>(tally.llRows), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(tally.llBytes);
  if (eMode == eFetch::kStoreResult && !state.error_occurred()) {
    // Outside the timed loop: one more stored result, measured.
    long long llRows = 0;
    const double dBytes =
        ref.dStoredBytesPerRow(pMySQL, kqbench::kFetchReferenceSelect, &llRows, &strError);
    if (dBytes < 0)
      state.SkipWithError(strError.c_str());
    else
      state.counters["client_buffered_bytes_per_row"] = dBytes;
  }
  ref.Library().close(pMySQL);
}

BENCHMARK_CAPTURE(FetchAll, use_result/tcp, eTransport::kTcp, eFetch::kUseResult)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK_CAPTURE(FetchAll, store_result/tcp, eTransport::kTcp, eFetch::kStoreResult)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK_CAPTURE(FetchAll, use_result/unix_socket, eTransport::kUnixSocket, eFetch::kUseResult)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK_CAPTURE(FetchAll, store_result/unix_socket, eTransport::kUnixSocket,
                  eFetch::kStoreResult)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  kqbench::AddEmulationContext();

  kqbench::CFetchReference reference;
  std::string strError;
  bool bNoServer = false;
  if (!reference.bStart(&strError, &bNoServer)) {
    std::fprintf(stderr, "reference_fetch_bench: %s%s\n", bNoServer ? "skipped: " : "",
                 strError.c_str());
    return bNoServer ? 0 : 1;
  }
  g_pReference = &reference;

  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
