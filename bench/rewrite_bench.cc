// Rewriting a parsed query: the located-pieces walk of a fresh command
// (CNACommand::bFormatCondition, mode 0, sort kept) and its formatted text
// read in the UTF-8 primary form (every literal a parameter written back as
// a literal of the dialect), against one plain copy of the query's text.
//
//   Rewrite/<n>   A SELECT over one table whose WHERE clause is n / 2
//                 terms "(ORDERS.K = <6 digits> OR ORDERS.NAME = 'customer
//                 <5 digits> with a longer name')" joined by OR: n literals,
//                 76 characters of text per two literals (n = 500: about
//                 19 KB). The query is parsed once, outside
//                 the timed loop, by the stand-in parser over an analysis of
//                 the table; each iteration makes a command, rewrites the
//                 query into it, reads the formatted text and releases the
//                 command.
//   Copy/<n>      The same query's text copied once into a new std::wstring
//                 (allocation and copy): the floor of any rewrite, which at
//                 least copies the text it does not replace.
//   n = 50, 500 and 5000: the text and the literals grow together, so a
//   linear rewrite keeps its time per literal ("per_literal").
//
// Bound in process to the stand-in server (string allocator, conversions)
// with the back end's driver object. No database is reached.
//
// Figures (i386 native, RelWithDebInfo, medians of 3, on a shared 8-core
// machine under load; compare within one run only):
//   literals  text      rewrite    per literal   copy       rewrite / copy
//   50        1.9 K     0.33 ms    6.6 us        0.15 us    ~2200
//   500       19 K      3.3 ms     6.5 us        1.8 us     ~1800
//   5000      190 K     43 ms      8.5 us        21 us      ~2000
//   The time per literal stays nearly flat from 50 to 5000 (a third more at
//   5000, whose 190 K text and 2500-deep tree leave the caches): the
//   rewrite is linear in the text and its literals. Each literal costs a
//   parameter (a value holder, its typing after the column) and its literal
//   in the formatted text; each column name a lookup of its item
//   description (names compared without regard to case) and the dialect's
//   quoting; each node a few virtual calls and reference counts on the
//   parser's objects.
//
// Running it: build-<dir>/bench/rewrite_bench (the "i386" line says whether
// it ran natively or under emulation).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_context.h"
#include "bench/stand_in_binding.h"
#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "host/parser/standin_analysis.h"
#include "host/parser/standin_sql_parser.h"
#include "mariadb/mysql_driver.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/parsed_query_info.h"
#include "tests/host/standin_any_maker.h"
#include "tests/items/record_test_support.h"
#include "tests/mariadb/host_connection_fake.h"

namespace {

// The connection of the items' tests on UTF-8, the fixture's code page.
class BenchConnection : public kqtest::ItemsTestConnection {
 public:
  explicit BenchConnection(INAConnectionDescription* piHost)
      : kqtest::ItemsTestConnection(piHost, kServerKindMariaDB) {
    _SetConnectionCodePage(65001);
  }
};

// The driver, the connection and the analysis of the table ORDERS (K, NAME,
// AMOUNT), made once for the process and kept.
struct World {
  kqtest::HostConnectionFake host;
  CMySQLDriver* pclDriver = nullptr;
  CNAError* pclError = nullptr;
  BenchConnection* pclConnection = nullptr;
  std::unique_ptr<kqtest::StandInAnyMakerScope> pValues;
  std::unique_ptr<CStandInAnalysis> pAnalysis;
  bool bOk = false;
};

StandInItemDecl Item(const wchar_t* pszName, int nType, int nSize) {
  StandInItemDecl d;
  d.name = pszName;
  d.type = nType;
  d.size = nSize;
  return d;
}

World* pWorld() {
  static World* s_p = nullptr;
  if (s_p != nullptr) return s_p;
  World* p = s_p = new World;
  if (!kqbench::bBindToStandIn()) return p;
  if (CNADriver::s_pclDriver == nullptr) {
    p->pclDriver = new CMySQLDriver;
    p->pclDriver->ExternalAddRef();
  }
  p->pclError = new CNAError;
  p->pclError->AddRef();
  p->pclConnection = new BenchConnection(&p->host);
  p->pclConnection->AddRef();
  p->pValues = std::make_unique<kqtest::StandInAnyMakerScope>();
  p->pAnalysis = std::make_unique<CStandInAnalysis>();
  CStandInDescription* pclTable = CStandInDescription::pclNew(
      L"ORDERS", {Item(L"K", NA_IT_I4, 4), Item(L"NAME", NA_IT_TEXTE, 41), Item(L"AMOUNT", NA_IT_R8, 8)},
      12);
  if (pclTable == nullptr) return p;
  p->pAnalysis->AddTable(pclTable, L"orders_tbl");
  pclTable->nExternalRelease();
  p->bOk = true;
  return p;
}

// The query of n literals (n even).
std::wstring QueryText(int nLiterals) {
  std::wstring text = L"SELECT K, NAME, AMOUNT FROM ORDERS WHERE ";
  wchar_t term[128];
  for (int i = 0; i < nLiterals / 2; ++i) {
    std::swprintf(term, 128, L"%ls(ORDERS.K = %06d OR ORDERS.NAME = 'customer %05d with a longer name')",
                  i == 0 ? L"" : L" OR ", 100000 + i, i);
    text += term;
  }
  text += L" ORDER BY K";
  return text;
}

// The parse of the query, kept by its digest for the benchmark's life.
struct Parsed {
  CSQLParserInfo* pclInfo = nullptr;
  std::wstring text;
  ~Parsed() {
    if (pclInfo != nullptr) pclInfo->nRelease();
  }
};

bool bParse(World* w, int nLiterals, Parsed* pParsed) {
  pParsed->text = QueryText(nLiterals);
  CStandInSQLParser clParser(w->pAnalysis.get());
  CStandInSQLInfo* piInfo = clParser.pclParse(pParsed->text.c_str());
  const bool bSplit = piInfo->piGetInfoRequete() != nullptr;
  pParsed->pclInfo = new CSQLParserInfo(w->pclError, piInfo, nullptr, 0);
  pParsed->pclInfo->AddRef();
  piInfo->Release();
  return bSplit;
}

// One rewrite: a fresh command, the walk, the formatted text. Null when a
// step failed.
const char* pszRewrite(World* w, CSQLParserInfo* pclInfo, CNACommand** ppclCommand) {
  CNACommand* pclCommand = static_cast<CNACommand*>(
      CNADriver::s_pclDriver->pclAllocCommand(w->pclError, w->pclConnection));
  pclCommand->AddRef();
  *ppclCommand = pclCommand;
  if (!pclCommand->bFormatCondition(pclInfo, nullptr, 1, 0)) return nullptr;
  return pclCommand->pszGetFormatedSQLA(CNACommand::NA_PTC_ALL);
}

void Rewrite(benchmark::State& state) {
  World* w = pWorld();
  const int nLiterals = static_cast<int>(state.range(0));
  Parsed parsed;
  if (!w->bOk || !bParse(w, nLiterals, &parsed)) {
    state.SkipWithError("the stand-in or its parser refused the query");
    return;
  }
  // Once outside the loop: the rewrite succeeds and binds every literal.
  CNACommand* pclCommand = nullptr;
  const char* pszFormated = pszRewrite(w, parsed.pclInfo, &pclCommand);
  const bool bAll = pszFormated != nullptr &&
                    pclCommand->nGetParameterNbr() == static_cast<unsigned int>(nLiterals);
  const size_t nFormated = pszFormated != nullptr ? std::char_traits<char>::length(pszFormated) : 0;
  pclCommand->nRelease();
  if (!bAll) {
    state.SkipWithError("the command did not rewrite the query with one parameter a literal");
    return;
  }
  for (auto _ : state) {
    pszFormated = pszRewrite(w, parsed.pclInfo, &pclCommand);
    benchmark::DoNotOptimize(pszFormated);
    pclCommand->nRelease();
  }
  state.counters["text_chars"] = static_cast<double>(parsed.text.size());
  state.counters["formatted_bytes"] = static_cast<double>(nFormated);
  state.counters["per_literal"] = benchmark::Counter(
      nLiterals, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Copy(benchmark::State& state) {
  const int nLiterals = static_cast<int>(state.range(0));
  const std::wstring text = QueryText(nLiterals);
  for (auto _ : state) {
    std::wstring copy(text);
    benchmark::DoNotOptimize(copy.data());
  }
  state.counters["text_chars"] = static_cast<double>(text.size());
  state.counters["per_literal"] = benchmark::Counter(
      nLiterals, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(Rewrite)->Arg(50)->Arg(500)->Arg(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Copy)->Arg(50)->Arg(500)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return kqbench::nRunBenchmarks(argc, argv); }
