// The handle-level SQL interface (INADriverSQL) against the client's own
// fetch loop, in one process on one server and one table
// (kqbench.fetch_reference, bench/fetch_reference.h), and the catalogue's
// database list with its per-database table queries.
//
// The interface's road: a CMySQLDriver made in this process, its
// INADriverSQL (piGetInterface(1)), a connection by handle over the Unix
// socket (bOpenConnection with a stand-in description), then for each pass
// bExecute of the SELECT, bFetch per row and bGetValue per cell into one
// language value, bFreeStmt. The reference runs the same text through
// mysql_real_query, mysql_store_result (the interface's statements store
// their result) and mysql_fetch_row / mysql_fetch_lengths on a connection of
// its own, same route, same character set.
//
//   Cells/1      100,000 rows x 5 columns (id, code, name, amount,
//                created). Counters: client CPU of the interface's pass and
//                of the reference's (ms), their ratio, and the interface's
//                overhead per cell (ns).
//   Cells/0      the same rows fetched without reading a cell: what the
//                execution and the fetches cost apart from the values.
//   Cells/2      the same cells read on the statement itself (internal
//                execution, CNAStatementSQL::bFetch and bGetValue): the
//                values' cost without the interface's frame per call.
//   Databases/n  INADriver::bGetDatabaseList with flags 0x01 (each database
//                with its base tables: the database query and one table
//                query per database) over n databases of 3 tables each made
//                for the run (root grants them to the benchmark's user over
//                the server's socket; they are dropped at the end). Counters:
//                ms per list, us per database seen.
//
// CPU times are the process's (CLOCK_PROCESS_CPUTIME_ID): the client's own,
// the server being another process.
//
// Figures: see the report of the run in the closing note of the change that
// made this file; under qemu-i386 every CPU figure includes the emulation
// (the "i386" line says which), so the ratio is the figure to compare.
//
// Running it (the same server as bench/reference_fetch_bench.cc; root must
// reach the server's socket for the database list):
//   scripts/mariadb-server.sh start /tmp/kqbench
//   KQ_MARIADB_ENV=/tmp/kqbench/server.env qemu-i386 build/bench/sql_fetch_bench
// Without KQ_MARIADB_ENV the program says it skipped and succeeds.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_context.h"
#include "bench/fetch_reference.h"
#include "bench/stand_in_binding.h"
#include "core/counted_string.h"
#include "driver/driver_lock.h"
#include "driver/function_loader.h"
#include "driver/na_error.h"
#include "host/harness/standin_connection.h"
#include "kq230/na_driver_sql_interface.h"
#include "mariadb/mysql_connection.h"
#include "mariadb/mysql_driver.h"
#include "statements/driver_sql.h"
#include "values/any.h"

namespace {

constexpr long long kRows = 100000;
constexpr int kColumns = 5;
const char kSelect[] =
    "SELECT id, code, name, amount, created FROM kqbench.fetch_reference WHERE id <= 100000";
const wchar_t kSelectW[] =
    L"SELECT id, code, name, amount, created FROM kqbench.fetch_reference WHERE id <= 100000";

struct Setup {
  kqbench::CFetchReference reference;
  MYSQL* pReferenceConnection = nullptr;
  CMySQLDriver* pclDriver = nullptr;
  INADriverSQL* piSQL = nullptr;
  CStandInConnection* piHost = nullptr;
  int nConnection = 0;
  std::string strSocket;
  std::string strError;
};

Setup* g_pSetup = nullptr;

// ASCII of a driver's wide text (an error dump); other characters as '?'.
std::string Narrow(const wchar_t* psz) {
  std::string s;
  for (; psz != nullptr && *psz != 0; ++psz) s += *psz < 0x80 ? static_cast<char>(*psz) : '?';
  return s;
}

std::string LastError(INADriverSQL* piSQL) {
  return Narrow(piSQL->piGetLastError()->pszGetError());
}

bool bMakeSetup(Setup* s) {
  bool bNoServer = false;
  if (!s->reference.bStart(&s->strError, &bNoServer)) return false;
  s->pReferenceConnection = s->reference.pConnect(kqbench::eTransport::kUnixSocket, &s->strError);
  if (s->pReferenceConnection == nullptr ||
      !s->reference.bPrepareTable(s->pReferenceConnection, &s->strError))
    return false;
  s->strSocket = s->reference.Server().socket;
  if (!kqbench::bBindToStandIn()) {
    s->strError = "the stand-in server did not bind";
    return false;
  }
  if (!CNADriverLock::g_bExists()) CNADriverLock::g_bCreate();
  s->pclDriver = new CMySQLDriver();
  s->pclDriver->ExternalAddRef();
  s->pclDriver->bInitDriver();
  s->piSQL = static_cast<INADriverSQL*>(s->pclDriver->piGetInterface(1));
  if (s->piSQL == nullptr) {
    s->strError = "piGetInterface(1) answered null";
    return false;
  }
  _stServerFacts stFacts;
  if (!bReadServerFacts(std::getenv("KQ_MARIADB_ENV"), &stFacts, &s->strError)) return false;
  CStandInConnection::_stValues stValues =
      CStandInConnection::stFromFacts(stFacts, CStandInConnection::ROUTE_SOCKET);
  stValues.strDefaultDataBase = L"kqbench";
  s->piHost = CStandInConnection::pclNew(stValues);
  if (s->piSQL->bOpenConnection(&s->nConnection, s->piHost) != 1) {
    s->strError = "bOpenConnection: " + LastError(s->piSQL);
    return false;
  }
  return true;
}

void EndSetup() {
  Setup* s = g_pSetup;
  if (s == nullptr) return;
  if (s->piSQL != nullptr) {
    if (s->nConnection != 0) s->piSQL->bCloseConnection(s->nConnection);
    s->piSQL->nExternalRelease();
  }
  if (s->pclDriver != nullptr) s->pclDriver->nExternalRelease();
  if (s->piHost != nullptr) s->piHost->nExternalRelease();
  if (s->pReferenceConnection != nullptr) s->reference.Library().close(s->pReferenceConnection);
  CMySQLConnection::g_TermNativeLibrary();
  CNAFunctionLoader::g_Term();
  delete s;
  g_pSetup = nullptr;
}

// One pass of the interface: execute, every row, every cell. The rows read.
bool bInterfacePass(Setup* s, bool bValues, long long* pllRows, unsigned int* pnChecksum,
                    std::string* pstrError) {
  int nStatement = 0;
  if (s->piSQL->bExecute(&nStatement, s->nConnection, kSelectW, nullptr, 0) != 1 ||
      nStatement == 0) {
    *pstrError = "bExecute: " + LastError(s->piSQL);
    return false;
  }
  CAny clValue;
  long long llRows = 0;
  while (s->piSQL->bFetch(s->nConnection, nStatement, 0) == 1) {
    ++llRows;
    for (unsigned int nColumn = 1; bValues && nColumn <= kColumns; ++nColumn) {
      if (s->piSQL->bGetValue(&clValue, s->nConnection, nStatement, nColumn, 0) != 1) {
        *pstrError = "bGetValue: " + LastError(s->piSQL);
        s->piSQL->bFreeStmt(s->nConnection, nStatement, 0);
        return false;
      }
      *pnChecksum += clValue.wGetType();
    }
  }
  s->piSQL->bFreeStmt(s->nConnection, nStatement, 0);
  *pllRows = llRows;
  return true;
}

// The same pass on the statement itself (the interface's internal
// execution, then the statement's bFetch and bGetValue): the values'
// cost without the interface's frame, handle lookups and error resets.
bool bStatementPass(Setup* s, long long* pllRows, unsigned int* pnChecksum,
                    std::string* pstrError) {
  auto* pclSQL = static_cast<CNADriverSQL*>(s->pclDriver->pclGetDriverSQL());
  CNAConnectionDescription* pclConnection = s->pclDriver->pclGetConnectionByID(s->nConnection);
  if (pclSQL == nullptr || pclConnection == nullptr) {
    *pstrError = "no statement road";
    return false;
  }
  CNAStatementSQL* pclStatement = nullptr;
  const int bExecuted =
      pclSQL->bExecute(pclSQL->pclGetError(), &pclStatement, pclConnection, kSelectW, nullptr, 0);
  if (!bExecuted || pclStatement == nullptr) {
    pclConnection->nRelease();
    *pstrError = "internal bExecute failed";
    return false;
  }
  CAny clValue;
  long long llRows = 0;
  while (pclStatement->bFetch(0) && !pclStatement->bIsEndOfData()) {
    ++llRows;
    for (unsigned int nColumn = 0; nColumn < kColumns; ++nColumn) {
      pclStatement->bGetValue(&clValue, nColumn, 0);
      *pnChecksum += clValue.wGetType();
    }
  }
  pclStatement->bReset();
  pclStatement->nRelease();
  pclConnection->nRelease();
  *pllRows = llRows;
  return true;
}

void Cells(benchmark::State& state) {
  Setup* s = g_pSetup;
  const bool bValues = state.range(0) != 0;
  double dReference = 0;
  double dInterface = 0;
  unsigned int nChecksum = 0;
  std::string strError;
  for (auto _ : state) {
    kqbench::FetchTally tally;
    const int64_t llT0 = kqbench::llProcessCpuNanoseconds();
    if (!s->reference.bFetchAll(s->pReferenceConnection, kSelect, kqbench::eFetch::kStoreResult,
                                kRows, &tally, &strError)) {
      state.SkipWithError(("reference: " + strError).c_str());
      return;
    }
    const int64_t llT1 = kqbench::llProcessCpuNanoseconds();
    long long llRows = 0;
    const bool bDone = state.range(0) == 2
                           ? bStatementPass(s, &llRows, &nChecksum, &strError)
                           : bInterfacePass(s, bValues, &llRows, &nChecksum, &strError);
    if (!bDone) {
      state.SkipWithError(strError.c_str());
      return;
    }
    const int64_t llT2 = kqbench::llProcessCpuNanoseconds();
    if (llRows != kRows) {
      state.SkipWithError(("the interface read " + std::to_string(llRows) + " rows").c_str());
      return;
    }
    benchmark::DoNotOptimize(tally.nChecksum);
    dReference += static_cast<double>(llT1 - llT0);
    dInterface += static_cast<double>(llT2 - llT1);
  }
  benchmark::DoNotOptimize(nChecksum);
  const double n = static_cast<double>(state.iterations());
  state.counters["reference_ms"] = dReference / n / 1e6;
  state.counters["interface_ms"] = dInterface / n / 1e6;
  state.counters["ratio"] = dReference > 0 ? dInterface / dReference : 0;
  state.counters["overhead_ns_per_cell"] =
      (dInterface - dReference) / n / static_cast<double>(kRows * kColumns);
}
BENCHMARK(Cells)->Arg(1)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3);

// Runs SQL as root over the server's socket; false when it fails.
bool bRunAsRoot(const std::string& socket, const std::string& sql) {
  const std::string command =
      "mariadb --no-defaults --protocol=socket --socket='" + socket + "' --user=root --batch";
  std::FILE* pipe = popen(command.c_str(), "w");
  if (pipe == nullptr) return false;
  std::fwrite(sql.data(), 1, sql.size(), pipe);
  return pclose(pipe) == 0;
}

void Databases(benchmark::State& state) {
  Setup* s = g_pSetup;
  const int nDatabases = static_cast<int>(state.range(0));
  const std::string prefix = "kqbenchdl_" + std::to_string(getpid()) + "_";
  const std::string grant = "`kqbenchdl\\_" + std::to_string(getpid()) + "\\_%`.*";
  std::string make = "GRANT ALL PRIVILEGES ON " + grant + " TO 'kqtest'@'localhost';";
  std::string drop;
  for (int i = 0; i < nDatabases; ++i) {
    const std::string db = "`" + prefix + std::to_string(i) + "`";
    make += "CREATE DATABASE " + db + ";";
    for (int t = 0; t < 3; ++t)
      make += "CREATE TABLE " + db + ".t" + std::to_string(t) + " (id INT PRIMARY KEY);";
    drop += "DROP DATABASE IF EXISTS " + db + ";";
  }
  drop += "REVOKE ALL PRIVILEGES ON " + grant + " FROM 'kqtest'@'localhost';";
  if (!bRunAsRoot(s->strSocket, make)) {
    bRunAsRoot(s->strSocket, drop);
    state.SkipWithError("root could not make the databases over the server's socket");
    return;
  }
  double dCpu = 0;
  size_t nLines = 0;
  for (auto _ : state) {
    CXYString<wchar_t> clList;
    const int64_t llT0 = kqbench::llProcessCpuNanoseconds();
    const int bResult = s->pclDriver->bGetDatabaseList(&clList, s->piHost, 0x01);
    const int64_t llT1 = kqbench::llProcessCpuNanoseconds();
    if (bResult != 1) {
      state.SkipWithError(
          ("bGetDatabaseList: " + Narrow(s->pclDriver->piGetLastError()->pszGetError()))
              .c_str());
      break;
    }
    nLines = 1;
    for (const wchar_t* p = clList.pszGet(); *p != 0; ++p) nLines += *p == L'\n';
    clList.ReleaseDynStr();
    dCpu += static_cast<double>(llT1 - llT0);
  }
  bRunAsRoot(s->strSocket, drop);
  const double n = static_cast<double>(state.iterations());
  state.counters["databases_seen"] = static_cast<double>(nLines);
  state.counters["cpu_ms_per_list"] = dCpu / n / 1e6;
  state.counters["cpu_us_per_database"] = nLines > 0 ? dCpu / n / 1e3 / nLines : 0;
}
BENCHMARK(Databases)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  kqbench::AddEmulationContext();
  const char* pszEnv = std::getenv("KQ_MARIADB_ENV");
  if (pszEnv == nullptr || *pszEnv == 0) {
    std::fprintf(stderr, "sql_fetch_bench: skipped: no server (set KQ_MARIADB_ENV)\n");
    return 0;
  }
  g_pSetup = new Setup;
  if (!bMakeSetup(g_pSetup)) {
    std::fprintf(stderr, "sql_fetch_bench: %s\n", g_pSetup->strError.c_str());
    EndSetup();
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  EndSetup();
  return 0;
}
