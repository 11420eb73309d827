// The command: writing a SELECT and its parameters, and a record's row copy.
//
//   Select<form>/k     A SELECT of the 20 columns of a record (10 integers,
//                      10 texts) with k conditions "`Cn` = value" joined by
//                      AND, each value a parameter typed after its column:
//                      the command made, the select list, the conditions and
//                      the parameters added, the formatted text built and
//                      read in the connection's primary form. Wide: a
//                      connection of wide texts (code page -2), read as wide
//                      text; Utf8: a UTF-8 connection, read as UTF-8.
//   Appends<form>/k    The same final text appended piece by piece (names,
//                      separators, literals) to a std::wstring / std::string:
//                      the floor of any builder of that text.
//   The ratio Select / Appends and the growth from k = 10 to 1000 (the
//   fitted complexity, and "per_param") say whether a parameter costs the
//   same whatever its rank.
//   SelectUtf8MeasuredPositions/k   SelectUtf8 with the wide text measured
//                      at each parameter (the wide form rebuilt from the
//                      UTF-8 one), as positions measured rather than counted
//                      would cost: the quadratic reference.
//
//   CopyOriginalToCurrent   the record's original row value copied into its
//                           current one (buffer, identifier, state, memos),
//                           once per row, against
//   Memcpy                  memcpy of the same buffer bytes.
//
// Bound in process to the stand-in server (string allocator, conversions)
// with the back end's driver object (it makes the commands, parameters,
// holders and columns). No database is reached.
//
// Running it: build-<dir>/bench/command_bench (qemu-i386 when the machine
// runs i386 only under emulation; the "i386" line says which).
#include <benchmark/benchmark.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "bench/bench_context.h"
#include "bench/stand_in_binding.h"
#include "core/codepage_conversion.h"
#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "items/column.h"
#include "items/record.h"
#include "kq230/vm_values.h"
#include "mariadb/mysql_driver.h"
#include "sqlbuilder/command.h"
#include "tests/items/record_test_support.h"
#include "tests/mariadb/host_connection_fake.h"
#include "values/any.h"
#include "values/value_conversion.h"

namespace {

constexpr int kColumns = 20;
const eOPEXPRESSION kNoOperator = static_cast<eOPEXPRESSION>(-1);


// A record of 20 columns over a stand-in description, on a connection of
// the given code page; everything made once for the process and kept.
struct World {
  kqtest::HostConnectionFake host;
  CMySQLDriver* pclDriver = nullptr;
  CNAError* pclError = nullptr;
  kqtest::ItemsTestConnection* pclConnection = nullptr;
  kqtest::TestItemsDataAccess* pclAccess = nullptr;
  CStandInDescription* piSource = nullptr;
  CNARecord* pclRecord = nullptr;
  bool bOk = false;
};

// The connection of the items' tests, with its code page chosen.
class BenchConnection : public kqtest::ItemsTestConnection {
 public:
  BenchConnection(INAConnectionDescription* piHost, int nCodePage)
      : kqtest::ItemsTestConnection(piHost, kServerKindMariaDB) {
    _SetConnectionCodePage(nCodePage);
  }
};

World* pWorld(int nCodePage) {
  static World* s_apWorld[2] = {nullptr, nullptr};
  World*& p = s_apWorld[nCodePage == kConcatModeWide ? 0 : 1];
  if (p != nullptr) return p;
  p = new World;
  if (!kqbench::bBindToStandIn()) return p;
  if (CNADriver::s_pclDriver == nullptr) {
    p->pclDriver = new CMySQLDriver;
    p->pclDriver->ExternalAddRef();
  }
  p->pclError = new CNAError;
  p->pclError->AddRef();
  p->pclConnection = new BenchConnection(&p->host, nCodePage);
  p->pclConnection->AddRef();
  p->pclAccess = new kqtest::TestItemsDataAccess(p->pclConnection, L"CUSTOMER");
  std::vector<StandInItemDecl> items;
  for (int i = 0; i < kColumns; ++i) {
    StandInItemDecl d;
    d.name = L"C" + std::to_wstring(i);
    d.type = i % 2 == 0 ? NA_IT_I4 : NA_IT_TEXTE;
    d.size = i % 2 == 0 ? 4 : 21;
    items.push_back(d);
  }
  p->piSource = CStandInDescription::pclNew(L"CUSTOMER", items, 12);
  if (p->piSource == nullptr) return p;
  p->pclRecord = new CNARecord(p->pclError, p->pclAccess);
  p->pclRecord->AddRef();
  p->bOk = p->pclRecord->bInitRecord(p->piSource, nullptr, p->pclConnection) != 0 &&
           p->pclRecord->nGetColumnNbr() == kColumns;
  return p;
}

CAny Value(int i) {
  CAny v;
  if (i % 2 == 0) {
    v.SetI4(i);
  } else {
    const std::wstring text = L"value " + std::to_wstring(i);
    v.__SetType(VX_DSTRW, 0);
    v.SetValueByte(text.data(), static_cast<unsigned int>(text.size() * sizeof(wchar_t)));
  }
  return v;
}

// The command's SELECT with k conditions, formatted; null on a failure.
// bMeasure: each parameter also measures the wide text, as positions taken
// from a rebuilt wide form would (the reference for the growth).
CNACommand* pclBuildSelect(World* w, int k, const std::vector<CAny>& values,
                           bool bMeasure = false) {
  auto* c = static_cast<CNACommand*>(
      CNADriver::s_pclDriver->pclAllocCommand(w->pclError, w->pclConnection));
  c->AddRef();
  c->_SetQueryKind(NA_CMD_SELECT);
  c->bComplete(L"SELECT ");
  bool bOk = c->bAddSelectColumns(w->pclRecord, 1) != 0;
  c->bComplete(L" FROM `CUSTOMER` WHERE ");
  for (int i = 0; i < k && bOk; ++i) {
    CNAColumn* pclColumn = w->pclRecord->pclGetColumnNoRef(i % kColumns);
    if (i > 0) c->bComplete(L" AND ");
    c->bComplete(pclColumn->pszGetFormatedName());
    c->bComplete(L" = ");
    if (bMeasure) benchmark::DoNotOptimize(std::wcslen(c->pszGetOriginalSQL()));
    bOk = c->bAddParameter(&values[static_cast<size_t>(i)], kNoOperator, 0, pclColumn, 0,
                           CNAParameter::NA_PARAM_IN) != 0;
  }
  if (!bOk) {
    c->nRelease();
    return nullptr;
  }
  return c;
}

// The same text as pieces: names, separators and the literals the command
// writes (2n and 'value n').
std::vector<std::wstring> Pieces(World* w, int k) {
  std::vector<std::wstring> pieces{L"SELECT "};
  for (int i = 0; i < kColumns; ++i) {
    if (i > 0) pieces.emplace_back(L",");
    pieces.emplace_back(w->pclRecord->pclGetColumnNoRef(i)->pszGetFormatedName());
  }
  pieces.emplace_back(L" FROM `CUSTOMER` WHERE ");
  for (int i = 0; i < k; ++i) {
    if (i > 0) pieces.emplace_back(L" AND ");
    pieces.emplace_back(w->pclRecord->pclGetColumnNoRef(i % kColumns)->pszGetFormatedName());
    pieces.emplace_back(L" = ");
    pieces.emplace_back(i % 2 == 0 ? std::to_wstring(i) : L"'value " + std::to_wstring(i) + L"'");
  }
  return pieces;
}

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return "";
  const int n = WideCharToMultiByte(65001, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(65001, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

void SetCounters(benchmark::State& state, int k) {
  state.SetComplexityN(k);
  state.counters["per_param"] = benchmark::Counter(
      static_cast<double>(k), benchmark::Counter::kIsIterationInvariantRate |
                                  benchmark::Counter::kInvert);
}

template <bool kWide, bool kMeasure = false>
void Select(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0));
  World* w = pWorld(kWide ? kConcatModeWide : 65001);
  if (!w->bOk) return state.SkipWithError("the record was not built");
  std::vector<CAny> values;
  for (int i = 0; i < k; ++i) values.push_back(Value(i));
  // The text must be the one the appends build.
  std::wstring expected;
  for (const auto& s : Pieces(w, k)) expected += s;
  {
    CNACommand* c = pclBuildSelect(w, k, values);
    const wchar_t* psz = c != nullptr ? c->pszGetFormatedSQL(CNACommand::NA_PTC_ALL) : nullptr;
    const bool bSame = psz != nullptr && expected == psz;
    if (c != nullptr) c->nRelease();
    if (!bSame) return state.SkipWithError("the command wrote another text");
  }
  for (auto _ : state) {
    CNACommand* c = pclBuildSelect(w, k, values, kMeasure);
    if (kWide) {
      benchmark::DoNotOptimize(c->pszGetFormatedSQL(CNACommand::NA_PTC_ALL));
    } else {
      benchmark::DoNotOptimize(c->pszGetFormatedSQLA(CNACommand::NA_PTC_ALL));
    }
    c->nRelease();
  }
  SetCounters(state, k);
}

template <bool kWide>
void Appends(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0));
  World* w = pWorld(kWide ? kConcatModeWide : 65001);
  if (!w->bOk) return state.SkipWithError("the record was not built");
  const std::vector<std::wstring> wide = Pieces(w, k);
  std::vector<std::string> narrow;
  for (const auto& s : wide) narrow.push_back(Utf8(s));
  for (auto _ : state) {
    if (kWide) {
      std::wstring text;
      for (const auto& s : wide) text += s;
      benchmark::DoNotOptimize(text.data());
    } else {
      std::string text;
      for (const auto& s : narrow) text += s;
      benchmark::DoNotOptimize(text.data());
    }
  }
  SetCounters(state, k);
}

void SelectWide(benchmark::State& state) { Select<true>(state); }
void SelectUtf8(benchmark::State& state) { Select<false>(state); }
void SelectUtf8MeasuredPositions(benchmark::State& state) { Select<false, true>(state); }
void AppendsWide(benchmark::State& state) { Appends<true>(state); }
void AppendsUtf8(benchmark::State& state) { Appends<false>(state); }

void CopyOriginalToCurrent(benchmark::State& state) {
  World* w = pWorld(65001);
  if (!w->bOk) return state.SkipWithError("the record was not built");
  for (auto _ : state) benchmark::DoNotOptimize(w->pclRecord->bCopyOriginalRecordToCurrentRecord());
  state.SetItemsProcessed(state.iterations());
  state.counters["bytes_per_row"] = w->pclRecord->pclGetNAZBRecord()->nGetBufferLength();
}

void Memcpy(benchmark::State& state) {
  World* w = pWorld(65001);
  if (!w->bOk) return state.SkipWithError("the record was not built");
  const size_t n = static_cast<size_t>(w->pclRecord->pclGetNAZBRecord()->nGetBufferLength());
  std::vector<unsigned char> from(n, 0x5A), to(n);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), n);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["bytes_per_row"] = static_cast<double>(n);
}

BENCHMARK(SelectWide)->Arg(10)->Arg(100)->Arg(1000)->Complexity();
BENCHMARK(AppendsWide)->Arg(10)->Arg(100)->Arg(1000)->Complexity();
BENCHMARK(SelectUtf8)->Arg(10)->Arg(100)->Arg(1000)->Complexity();
BENCHMARK(AppendsUtf8)->Arg(10)->Arg(100)->Arg(1000)->Complexity();
BENCHMARK(SelectUtf8MeasuredPositions)->Arg(10)->Arg(100)->Arg(1000)->Complexity();
BENCHMARK(CopyOriginalToCurrent);
BENCHMARK(Memcpy);

}  // namespace

int main(int argc, char** argv) { return kqbench::nRunBenchmarks(argc, argv); }
