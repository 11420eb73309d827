// The per-request cost of the automatic identifier's next value
// (CNAIDAuto::bGetNextValue), against the client library running the same
// SELECT MAX(...)+1 and reading its number, in one process on one server.
//
// The driver's road: a CMySQLDriver made in this process, its MariaDB
// connection over the Unix socket, a data access of the table made by the
// driver's factory and opened over a stand-in description (id the automatic
// identifier, v an integer), and its identifier object (pclGetIDAuto). Each
// request writes the query, makes an internal query (a data access of its
// own, its statement and command, the result's description and record),
// runs it, reads the value and lets everything go again. The reference runs
// the text the driver writes through mysql_real_query, mysql_store_result,
// mysql_fetch_row and strtoll on a connection of its own, same route, same
// character set. Table: kqidauto_bench in the test user's database, 10,000
// rows (ids 1..10000; MAX on the primary key is read from the index, so the
// server's part is small and the same for both).
//
//   NextValue        bGetNextValue: wall and CPU time per request.
//   MaxCurrentValue  bGetMaxCurrentValue, likewise.
//   ClientReference  the client library's own road with the same text.
//
// Figures (i386 native, -O2, a shared 8-core machine under load, three
// repetitions): NextValue 136 us of wall time and 49 us of client CPU per
// request; MaxCurrentValue 135 us and 50 us; ClientReference 107 us and
// 26 us. The driver's request costs about 1.3x the client's wall time and
// 1.9x its CPU: the server's round trip is the same, the rest is the
// internal query's objects made anew for every request (a data access, its
// statement and command, the description of the result and its record).
//
// Running it:
//   scripts/mariadb-server.sh start /tmp/kqbench
//   KQ_MARIADB_ENV=/tmp/kqbench/server.env build/bench/id_auto_bench
//   scripts/mariadb-server.sh stop /tmp/kqbench
// Without KQ_MARIADB_ENV the program says it skipped and succeeds.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_context.h"
#include "bench/fetch_reference.h"
#include "bench/reference_items.h"
#include "bench/stand_in_binding.h"
#include "driver/driver_lock.h"
#include "driver/function_loader.h"
#include "driver/na_error.h"
#include "host/harness/standin_connection.h"
#include "host/harness/standin_descriptions.h"
#include "items/record.h"
#include "kq230/item_type.h"
#include "mariadb/mysql_connection.h"
#include "mariadb/mysql_driver.h"
#include "sqlbuilder/id_auto.h"
#include "tables/na_data_access.h"
#include "tests/support/standin_items.h"
#include "values/any.h"

namespace {

using kqbench::CFetchReference;

constexpr wchar_t kTable[] = L"kqidauto_bench";
constexpr long long kRows = 10000;
const char kReferenceSql[] = "SELECT MAX(`id`)+1 FROM `kqidauto_bench`";

// The driver, its connection, the opened data access and the reference,
// made once by main.
struct Setup {
  CFetchReference reference;
  MYSQL* pReferenceConnection = nullptr;
  CMySQLDriver* pclDriver = nullptr;
  CNAError* pclError = nullptr;
  CStandInConnection* piHost = nullptr;
  CNAConnectionDescription* pclConnection = nullptr;
  CStandInDescription* piSource = nullptr;
  CNADataAccess* pclAccess = nullptr;
  std::string strError;

  std::string ErrorText(const char* pszWhat) const {
    std::string s = pszWhat;
    if (pclError != nullptr) s += ": " + kqbench::Narrow(pclError->StringDump().pszGet());
    return s;
  }
};

Setup* g_pSetup = nullptr;

// The table with ids 1..kRows, made afresh.
bool bMakeTable(Setup* s) {
  if (!s->reference.bExecute(s->pReferenceConnection, "DROP TABLE IF EXISTS kqidauto_bench",
                             &s->strError) ||
      !s->reference.bExecute(s->pReferenceConnection,
                             "CREATE TABLE kqidauto_bench (id BIGINT NOT NULL AUTO_INCREMENT "
                             "PRIMARY KEY, v INT NOT NULL)",
                             &s->strError))
    return false;
  for (long long i = 0; i < kRows / 1000; ++i) {
    std::string sql = "INSERT INTO kqidauto_bench (v) VALUES (0)";
    for (int j = 1; j < 1000; ++j) sql += ",(0)";
    if (!s->reference.bExecute(s->pReferenceConnection, sql, &s->strError)) return false;
  }
  return true;
}

// False with strError set when anything fails.
bool bMakeSetup(Setup* s) {
  bool bNoServer = false;
  if (!s->reference.bStart(&s->strError, &bNoServer)) return false;
  s->pReferenceConnection = s->reference.pConnect(kqbench::eTransport::kUnixSocket, &s->strError);
  if (s->pReferenceConnection == nullptr || !bMakeTable(s)) return false;
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
  s->piHost = CStandInConnection::pclNew(stValues);
  s->pclConnection =
      s->pclDriver->_pclAllocConnectionDescription(L"Connection=idauto-bench", s->piHost);
  if (s->pclConnection == nullptr) {
    s->strError = "the driver made no connection";
    return false;
  }
  s->pclConnection->AddRef();
  if (s->pclConnection->bOpen(s->pclError) != 1) {
    s->strError = s->ErrorText("the driver's connection did not open");
    return false;
  }
  s->piSource = CStandInDescription::pclNew(
      kTable,
      {kqtest::Decl(L"id", NA_IT_IDAUTO, 8, 0x8000, false), kqtest::Decl(L"v", NA_IT_I4, 4)},
      12);
  s->pclAccess = static_cast<CNADataAccess*>(
      s->pclDriver->pclAllocDataAccess(s->piSource, s->pclConnection, s->pclError));
  if (s->pclAccess == nullptr) {
    s->strError = "the driver made no data access";
    return false;
  }
  s->pclAccess->AddRef();
  if (!s->pclAccess->bHOuvre(static_cast<_eNA_ACCESS>(0), kTable)) {
    s->strError = s->ErrorText("the data access did not open");
    return false;
  }
  return true;
}

void EndSetup() {
  Setup* s = g_pSetup;
  if (s == nullptr) return;
  if (s->pclAccess != nullptr) s->pclAccess->nRelease();
  if (s->piSource != nullptr) s->piSource->nExternalRelease();
  if (s->pclConnection != nullptr) {
    CNAError clError;
    s->pclConnection->bClose(&clError);
    s->pclConnection->nRelease();
  }
  if (s->piHost != nullptr) s->piHost->nExternalRelease();
  if (s->pclError != nullptr) s->pclError->nRelease();
  if (s->pclDriver != nullptr) s->pclDriver->nExternalRelease();
  if (s->pReferenceConnection != nullptr) {
    std::string strError;
    s->reference.bExecute(s->pReferenceConnection, "DROP TABLE IF EXISTS kqidauto_bench",
                          &strError);
    s->reference.Library().close(s->pReferenceConnection);
  }
  CMySQLConnection::g_TermNativeLibrary();
  CNAFunctionLoader::g_Term();
  delete s;
  g_pSetup = nullptr;
}

long long llValue(CAny* pValue) {
  const wchar_t* psz = nullptr;
  if (pValue->bIsNull() || pValue->__nCastToString(&psz, nullptr) > 99 || psz == nullptr) return -1;
  return std::wcstoll(psz, nullptr, 10);
}

// One request of the identifier's object per iteration; bNext: the next
// value, else the current maximum.
void Request(benchmark::State& state, bool bNext) {
  Setup* s = g_pSetup;
  CNAColumn* pclColumn = s->pclAccess->pclGetRecordNoRef()->pclGetColumnIDAutoNoRef();
  CNAIDAuto* pclIDAuto = s->pclAccess->pclGetIDAuto();
  if (pclColumn == nullptr || pclIDAuto == nullptr) {
    state.SkipWithError("no automatic identifier");
    return;
  }
  const long long llExpected = bNext ? kRows + 1 : kRows;
  for (auto _ : state) {
    CAny clValue;
    const int bOk = bNext ? pclIDAuto->bGetNextValue(s->pclAccess, pclColumn, s->pclError, &clValue)
                          : pclIDAuto->bGetMaxCurrentValue(s->pclAccess, pclColumn, s->pclError,
                                                           &clValue);
    if (!bOk || llValue(&clValue) != llExpected) {
      state.SkipWithError(s->ErrorText("the request failed").c_str());
      return;
    }
  }
}

void NextValue(benchmark::State& state) { Request(state, true); }
void MaxCurrentValue(benchmark::State& state) { Request(state, false); }

void ClientReference(benchmark::State& state) {
  Setup* s = g_pSetup;
  for (auto _ : state) {
    std::string strError;
    if (s->reference.llSelectNumber(s->pReferenceConnection, kReferenceSql, &strError) !=
        kRows + 1) {
      state.SkipWithError(strError.c_str());
      return;
    }
  }
}

BENCHMARK(NextValue)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(MaxCurrentValue)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(ClientReference)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  kqbench::AddEmulationContext();

  const char* pszEnv = std::getenv("KQ_MARIADB_ENV");
  if (pszEnv == nullptr || *pszEnv == 0) {
    std::fprintf(stderr, "id_auto_bench: skipped: no server (set KQ_MARIADB_ENV)\n");
    return 0;
  }
  g_pSetup = new Setup;
  if (!bMakeSetup(g_pSetup)) {
    std::fprintf(stderr, "id_auto_bench: %s\n", g_pSetup->strError.c_str());
    EndSetup();
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  EndSetup();
  return 0;
}
