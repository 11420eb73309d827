// The driver's hot road against the client's own fetch loop, in one process
// on one server and one table (kqbench.fetch_reference, 1,000,000 rows of id,
// code, name, amount, created, note; bench/fetch_reference.h).
//
// The driver's road: a CMySQLDriver made in this process, its MariaDB
// connection over the Unix socket, a data access of the table made by the
// driver's factory and opened (its record laid out from a stand-in server's
// description of the six items, id the primary key), a statement of that data
// access with the record cache on, its browse SELECT on id written by the
// statement into a command of the driver's; then bExecute, which streams the
// whole result (mysql_use_result) and drains every row into the record cache,
// and bFetch FIRST, NEXT, ... until the statement runs off the end, each move
// restoring a cached row into the record. The reference runs the very SQL
// text the command formatted through mysql_real_query, mysql_use_result and
// mysql_fetch_row / mysql_fetch_lengths on a connection of its own, same
// route, same character set.
//
//   Browse/0     the full browse with the cache's cap raised so that the
//                whole result is one window: execute+drain and the moves
//                apart. Counters: the client CPU time of each part and of
//                the reference's loop (ms), their ratios driver/reference
//                (full, execute_drain, moves), the record cache's bytes per
//                row (llGetBytesUsed) and the client's buffered bytes per row
//                of the same SELECT stored (mallinfo2 around
//                mysql_store_result).
//   Browse/1     the same with the cache's default cap: on this unique order
//                the cache fills to its cap, and later moves run the windows
//                after it (so execute+drain is the first window only).
//   Column/<c>   one column alone, through a data access whose description
//                holds that item only (SELECT c FROM fetch_reference, no
//                ORDER BY): ns_per_cell, the driver's full browse less the
//                reference's loop on the same text, per row.
//
// CPU times are the process's (CLOCK_PROCESS_CPUTIME_ID): the client's own,
// the server being another process. Each iteration is one full pass of both
// roads; the row counts of both are checked every time.
//
// Figures (i386 under qemu-i386 on a loaded machine, so rough; every figure
// includes the emulation): the full browse costs the client 11.5 s of CPU
// for 1,000,000 rows against 0.59 s for the reference's loop, 19.6x
// (execute+drain 9.5 s, moves 2.0 s, 3.4x of the loop alone); with the
// default cap the first window holds 393,934 rows and the later windows run
// during the moves, 20x in all. Cache 170.5 bytes per row against the
// client's 208.2 for the stored result. Per cell over the reference, each
// figure carrying the whole per-row cost of the road (the move, the record
// copies, the row's identifier and its place in the cache), which id alone
// nearly is: id 2.3 us, code 2.7, name 3.1, amount 2.3, created 2.5, note
// (a memo) 5.3.
//
// Running it (the same server as bench/reference_fetch_bench.cc):
//   scripts/mariadb-server.sh start /tmp/kqbench
//   KQ_MARIADB_ENV=/tmp/kqbench/server.env qemu-i386 build/bench/statement_fetch_bench
// Under qemu-i386 every CPU figure includes the emulation (the "i386" line
// says which); the ratios are the figures to compare. Without KQ_MARIADB_ENV
// the program says it skipped and succeeds.
#include <benchmark/benchmark.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_context.h"
#include "bench/fetch_reference.h"
#include "bench/reference_items.h"
#include "bench/stand_in_binding.h"
#include "driver/driver_lock.h"
#include "driver/function_loader.h"
#include "driver/na_error.h"
#include "host/harness/standin_connection.h"
#include "host/harness/standin_descriptions.h"
#include "mariadb/mysql_connection.h"
#include "mariadb/mysql_driver.h"
#include "sqlbuilder/command.h"
#include "statements/record_cache.h"
#include "statements/statement.h"
#include "tables/na_data_access.h"
#include "tests/support/standin_items.h"

namespace {

using kqbench::CFetchReference;
using kqbench::kFetchReferenceRows;

constexpr wchar_t kTable[] = L"fetch_reference";


// The driver, its connection and the reference, made once by main.
struct Setup {
  CFetchReference reference;
  MYSQL* pReferenceConnection = nullptr;
  CMySQLDriver* pclDriver = nullptr;
  CNAError* pclError = nullptr;
  CStandInConnection* piHost = nullptr;
  CNAConnectionDescription* pclConnection = nullptr;
  std::string strError;

  std::string ErrorText(const char* pszWhat) const {
    std::string s = pszWhat;
    if (pclError != nullptr) s += ": " + kqbench::Narrow(pclError->StringDump().pszGet());
    return s;
  }
};

Setup* g_pSetup = nullptr;

// False with strError set when anything fails.
bool bMakeSetup(Setup* s) {
  bool bNoServer = false;
  if (!s->reference.bStart(&s->strError, &bNoServer)) return false;
  s->pReferenceConnection = s->reference.pConnect(kqbench::eTransport::kUnixSocket, &s->strError);
  // Then on the table's database, as the driver's connection: the same text
  // runs on both.
  if (s->pReferenceConnection == nullptr ||
      !s->reference.bPrepareTable(s->pReferenceConnection, &s->strError) ||
      !s->reference.bExecute(s->pReferenceConnection, "USE kqbench", &s->strError))
    return false;
  if (!kqbench::bBindToStandIn()) {
    s->strError = "the stand-in server did not bind";
    return false;
  }
  if (!CNADriverLock::g_bExists()) CNADriverLock::g_bCreate();
  s->pclDriver = new CMySQLDriver();
  s->pclDriver->ExternalAddRef();
  s->pclDriver->bInitDriver();
  s->pclError = new CNAError;
  s->pclError->AddRef();

  _stServerFacts stFacts;
  if (!bReadServerFacts(std::getenv("KQ_MARIADB_ENV"), &stFacts, &s->strError)) return false;
  CStandInConnection::_stValues stValues =
      CStandInConnection::stFromFacts(stFacts, CStandInConnection::ROUTE_SOCKET);
  // The table's database, so that the data access names the table alone.
  stValues.strDefaultDataBase = L"kqbench";
  s->piHost = CStandInConnection::pclNew(stValues);
  s->pclConnection = s->pclDriver->_pclAllocConnectionDescription(L"Connection=fetch-bench", s->piHost);
  if (s->pclConnection == nullptr) {
    s->strError = "the driver made no connection";
    return false;
  }
  s->pclConnection->AddRef();
  if (s->pclConnection->bOpen(s->pclError) != 1) {
    s->strError = s->ErrorText("the driver's connection did not open");
    return false;
  }
  return true;
}

void EndSetup() {
  Setup* s = g_pSetup;
  if (s == nullptr) return;
  if (s->pclConnection != nullptr) {
    CNAError clError;
    s->pclConnection->bClose(&clError);
    s->pclConnection->nRelease();
  }
  if (s->piHost != nullptr) s->piHost->nExternalRelease();
  if (s->pclError != nullptr) s->pclError->nRelease();
  if (s->pclDriver != nullptr) s->pclDriver->nExternalRelease();
  if (s->pReferenceConnection != nullptr) s->reference.Library().close(s->pReferenceConnection);
  CMySQLConnection::g_TermNativeLibrary();
  CNAFunctionLoader::g_Term();
  delete s;
  g_pSetup = nullptr;
}

// One opened data access of the table over the given items, its statement
// and its browse SELECT; everything let go by the destructor.
class Road {
 public:
  // pszBrowseItem: the ORDER BY item (empty: none). llCap: the cache's byte
  // cap (-1: the default).
  Road(Setup* s, std::vector<StandInItemDecl> items, const wchar_t* pszBrowseItem, long long llCap)
      : m_s(s) {
    m_piSource = CStandInDescription::pclNew(kTable, items, 12);
    if (m_piSource == nullptr) {
      m_strError = "no stand-in description";
      return;
    }
    s->pclError->Reset();
    m_pclAccess = static_cast<CNADataAccess*>(
        s->pclDriver->pclAllocDataAccess(m_piSource, s->pclConnection, s->pclError));
    if (m_pclAccess == nullptr) {
      m_strError = "the driver made no data access";
      return;
    }
    m_pclAccess->AddRef();
    if (!m_pclAccess->bHOuvre(static_cast<_eNA_ACCESS>(0), kTable)) {
      m_strError = s->ErrorText("the data access did not open");
      return;
    }
    m_pclStatement = new CNAStatement(m_pclAccess, s->pclError);
    m_pclStatement->AddRef();
    m_pclCommand = static_cast<CNACommand*>(s->pclDriver->pclAllocCommand(s->pclError, s->pclConnection));
    if (m_pclCommand == nullptr) {
      m_strError = "the driver made no command";
      return;
    }
    m_pclCommand->AddRef();
    if (!m_pclStatement->bBuildQuerySELECT(m_pclCommand, 0, pszBrowseItem, 1, nullptr)) {
      m_strError = s->ErrorText("the browse SELECT was refused");
      return;
    }
    const char* pszSql = m_pclCommand->pszGetFormatedSQLA(CNACommand::NA_PTC_ALL);
    if (pszSql == nullptr) {
      m_strError = "the command formatted no text";
      return;
    }
    m_strSql = pszSql;
    m_pclStatement->EnableCache(1);
    if (llCap >= 0) m_pclStatement->SetCacheByteCap(llCap);
    m_bReady = true;
  }

  ~Road() {
    if (m_pclStatement != nullptr) {
      m_pclStatement->Close();
      m_pclStatement->DetachDataAccess();
      m_pclStatement->nRelease();
    }
    if (m_pclCommand != nullptr) m_pclCommand->nRelease();
    if (m_pclAccess != nullptr) {
      m_pclAccess->bHFerme();
      m_pclAccess->nRelease();
    }
    if (m_piSource != nullptr) m_piSource->nExternalRelease();
  }
  Road(const Road&) = delete;
  Road& operator=(const Road&) = delete;

  bool bReady() const { return m_bReady; }
  const std::string& Error() const { return m_strError; }
  const std::string& Sql() const { return m_strSql; }
  CNAStatement* Statement() const { return m_pclStatement; }

  // bExecute: the result streamed and drained into the cache.
  bool bExecute() {
    m_s->pclError->Reset();
    if (m_pclStatement->bExecute(0, 1)) return true;
    m_strError = m_s->ErrorText("bExecute failed");
    return false;
  }

  // FIRST, then NEXT until out of range; the rows reached into *pllRows.
  bool bMoves(long long* pllRows) {
    long long llRows = 0;
    int bOk = m_pclStatement->bFetch(NA_PARSE_FIRST, 0, 1, nullptr);
    while (bOk && !m_pclStatement->HEndehors()) {
      ++llRows;
      bOk = m_pclStatement->bFetch(NA_PARSE_NEXT, 0, 1, nullptr);
    }
    *pllRows = llRows;
    if (bOk) return true;
    m_strError = m_s->ErrorText(("bFetch failed after " + std::to_string(llRows) + " rows").c_str());
    return false;
  }

 private:
  Setup* m_s;
  CStandInDescription* m_piSource = nullptr;
  CNADataAccess* m_pclAccess = nullptr;
  CNAStatement* m_pclStatement = nullptr;
  CNACommand* m_pclCommand = nullptr;
  std::string m_strSql;
  std::string m_strError;
  bool m_bReady = false;
};

// Client CPU times of one pass of both roads, in nanoseconds.
struct PassTimes {
  double dReference = 0;
  double dExecuteDrain = 0;
  double dMoves = 0;
};

// One pass: the reference's loop on the road's text, then the road's
// execute+drain and its moves. False with *pstrError (row counts included).
bool bOnePass(Setup* s, Road* pRoad, PassTimes* pTimes, long long* pllCachedRows,
              std::string* pstrError) {
  kqbench::FetchTally tally;
  const int64_t llT0 = kqbench::llProcessCpuNanoseconds();
  if (!s->reference.bFetchAll(s->pReferenceConnection, pRoad->Sql(), kqbench::eFetch::kUseResult,
                              kFetchReferenceRows, &tally, pstrError)) {
    *pstrError = "reference: " + *pstrError;
    return false;
  }
  const int64_t llT1 = kqbench::llProcessCpuNanoseconds();
  if (!pRoad->bExecute()) {
    *pstrError = pRoad->Error();
    return false;
  }
  const int64_t llT2 = kqbench::llProcessCpuNanoseconds();
  const CNARecordCache* pclCache = pRoad->Statement()->pclGetRecordCacheNoRef();
  *pllCachedRows = pclCache != nullptr ? pclCache->llGetCount() : 0;
  long long llMoved = 0;
  if (!pRoad->bMoves(&llMoved)) {
    *pstrError = pRoad->Error();
    return false;
  }
  const int64_t llT3 = kqbench::llProcessCpuNanoseconds();
  benchmark::DoNotOptimize(tally.nChecksum);
  if (llMoved != kFetchReferenceRows) {
    *pstrError = "the statement moved over " + std::to_string(llMoved) + " rows, expected " +
                 std::to_string(kFetchReferenceRows);
    return false;
  }
  pTimes->dReference += static_cast<double>(llT1 - llT0);
  pTimes->dExecuteDrain += static_cast<double>(llT2 - llT1);
  pTimes->dMoves += static_cast<double>(llT3 - llT2);
  return true;
}

void Browse(benchmark::State& state) {
  Setup* s = g_pSetup;
  const bool bDefaultCap = state.range(0) != 0;
  // Raised: the whole result in one window (a 32-bit process holds it).
  Road road(s, kqbench::ReferenceTableItems(), L"id", bDefaultCap ? -1 : LLONG_MAX);
  if (!road.bReady()) return state.SkipWithError(road.Error().c_str());

  PassTimes times;
  long long llCachedRows = 0;
  double dCacheBytesPerRow = 0;
  std::string strError;
  for (auto _ : state) {
    if (!bOnePass(s, &road, &times, &llCachedRows, &strError)) {
      state.SkipWithError(strError.c_str());
      break;
    }
    const CNARecordCache* pclCache = road.Statement()->pclGetRecordCacheNoRef();
    if (pclCache != nullptr && pclCache->llGetCount() > 0)
      dCacheBytesPerRow = static_cast<double>(pclCache->llGetBytesUsed()) /
                          static_cast<double>(pclCache->llGetCount());
  }
  if (state.error_occurred()) return;
  road.Statement()->Close();

  const double n = static_cast<double>(state.iterations());
  const double dDriver = times.dExecuteDrain + times.dMoves;
  state.counters["reference_cpu_ms"] = times.dReference / n / 1e6;
  state.counters["execute_drain_cpu_ms"] = times.dExecuteDrain / n / 1e6;
  state.counters["moves_cpu_ms"] = times.dMoves / n / 1e6;
  state.counters["ratio_full"] = dDriver / times.dReference;
  state.counters["ratio_execute_drain"] = times.dExecuteDrain / times.dReference;
  state.counters["ratio_moves"] = times.dMoves / times.dReference;
  state.counters["rows_cached_by_execute"] = static_cast<double>(llCachedRows);
  state.counters["cache_bytes_per_row"] = dCacheBytesPerRow;
  long long llStored = 0;
  const double dClient =
      s->reference.dStoredBytesPerRow(s->pReferenceConnection, road.Sql(), &llStored, &strError);
  if (dClient < 0 || llStored != kFetchReferenceRows)
    return state.SkipWithError(("store_result: " + strError).c_str());
  state.counters["client_buffered_bytes_per_row"] = dClient;
}

void Column(benchmark::State& state, int nColumn) {
  Setup* s = g_pSetup;
  Road road(s, {kqbench::ReferenceTableItems()[static_cast<size_t>(nColumn)]}, L"", -1);
  if (!road.bReady()) return state.SkipWithError(road.Error().c_str());

  PassTimes times;
  long long llCachedRows = 0;
  std::string strError;
  for (auto _ : state) {
    if (!bOnePass(s, &road, &times, &llCachedRows, &strError)) {
      state.SkipWithError(strError.c_str());
      break;
    }
  }
  if (state.error_occurred()) return;
  const double dRows = static_cast<double>(state.iterations()) * kFetchReferenceRows;
  const double dDriver = times.dExecuteDrain + times.dMoves;
  state.counters["ns_per_cell"] = (dDriver - times.dReference) / dRows;
  state.counters["reference_ns_per_cell"] = times.dReference / dRows;
  state.counters["ratio_full"] = dDriver / times.dReference;
  state.counters["ratio_execute_drain"] = times.dExecuteDrain / times.dReference;
  state.counters["ratio_moves"] = times.dMoves / times.dReference;
}

// One pass of 1,000,000 rows is seconds (minutes under emulation): one
// iteration each; --benchmark_repetitions for more.
BENCHMARK(Browse)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Column, id, 0)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Column, code, 1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Column, name, 2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Column, amount, 3)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Column, created, 4)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Column, note, 5)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  kqbench::AddEmulationContext();

  const char* pszEnv = std::getenv("KQ_MARIADB_ENV");
  if (pszEnv == nullptr || *pszEnv == 0) {
    std::fprintf(stderr, "statement_fetch_bench: skipped: no server (set KQ_MARIADB_ENV)\n");
    return 0;
  }
  g_pSetup = new Setup;
  if (!bMakeSetup(g_pSetup)) {
    std::fprintf(stderr, "statement_fetch_bench: %s\n", g_pSetup->strError.c_str());
    EndSetup();
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  EndSetup();
  return 0;
}
