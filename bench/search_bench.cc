// Record searches: writing the condition of one browse step.
//
//   CompositeSearch    An exact search on a composite key of 8 components
//                      (4 integers, 4 texts), built with its two
//                      continuation conditions, joined with an active filter
//                      on another item (from 10 to 1000000): the search's
//                      bGetSQL into a command and the formatted text read in
//                      the UTF-8 primary form. 10 terms: the 8 component
//                      equalities and the filter's 2 bounds.
//   CompositeNext      The same search switched to its forward continuation
//                      (the lexicographic "after this key" over the 8
//                      components, 15 comparisons) with the same filter.
//   OneColumnExact     An exact search on one text item, no filter.
//   OneColumnGeneric   A generic search on one text item (LIKE, its escape
//                      clause), no filter.
//   Appends<name>      The same final text appended piece by piece (names,
//                      operators, literals, parentheses) to a std::string:
//                      the floor of any builder of that text.
//   The ratio of each write to its Appends is the cost of the condition
//   trees, the parameters and the literals over bare text.
//
// Each write goes into one command that the search resets, as a statement
// that browses on writes each step; the text is checked once to be the same
// from one write to the next (writing may leave a tree simplified), and the
// appends build that very text.
//
// Bound in process to the stand-in server (string allocator, conversions)
// with the back end's driver object. No database is reached.
//
// Running it: build-<dir>/bench/search_bench (qemu-i386 when the machine
// runs i386 only under emulation; the "i386" line says which).
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_context.h"
#include "bench/stand_in_binding.h"
#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "items/column.h"
#include "items/record.h"
#include "kq230/vm_values.h"
#include "mariadb/mysql_driver.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/filter.h"
#include "sqlbuilder/record_search.h"
#include "tests/items/record_test_support.h"
#include "tests/mariadb/host_connection_fake.h"
#include "values/any.h"
#include "values/value_conversion.h"

namespace {

constexpr int kComponents = 8;
constexpr int kTextSize = 11;  // 10 characters and the terminator
constexpr unsigned short kComposed = 0x1000, kDuplicates = 0x2000;


// The connection of the items' tests on UTF-8, the probe's and the
// fixture's code page.
class BenchConnection : public kqtest::ItemsTestConnection {
 public:
  explicit BenchConnection(INAConnectionDescription* piHost)
      : kqtest::ItemsTestConnection(piHost, kServerKindMariaDB) {
    _SetConnectionCodePage(65001);
  }
};

// A record of the 8 components K1..K8, their composite key KEY8, a filter
// item AMOUNT and a text item NAME; made once for the process and kept.
struct World {
  kqtest::HostConnectionFake host;
  CMySQLDriver* pclDriver = nullptr;
  CNAError* pclError = nullptr;
  BenchConnection* pclConnection = nullptr;
  kqtest::TestItemsDataAccess* pclAccess = nullptr;
  CStandInDescription* piSource = nullptr;
  CNARecord* pclRecord = nullptr;
  bool bOk = false;
};

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
  p->pclAccess = new kqtest::TestItemsDataAccess(p->pclConnection, L"ORDERS");
  std::vector<StandInItemDecl> items;
  StandInItemDecl key;
  key.name = L"KEY8";
  key.type = NA_IT_BINAIRE;
  key.keyFlags = kComposed | kDuplicates;
  for (int i = 0; i < kComponents; ++i) {
    StandInItemDecl d;
    d.name = L"K" + std::to_wstring(i + 1);
    d.type = i % 2 == 0 ? NA_IT_I4 : NA_IT_TEXTE;
    d.size = i % 2 == 0 ? 4 : kTextSize;
    key.size += i % 2 == 0 ? 4 : kTextSize - 1;
    key.components.push_back(d.name);
    items.push_back(d);
  }
  StandInItemDecl amount;
  amount.name = L"AMOUNT";
  amount.type = NA_IT_I4;
  amount.size = 4;
  items.push_back(amount);
  StandInItemDecl name;
  name.name = L"NAME";
  name.type = NA_IT_TEXTE;
  name.size = 41;
  items.push_back(name);
  // The key last: the stand-in places the items declared after a composed
  // key past the record's disk size (their offsets count the key's bytes),
  // and the record refuses them.
  items.push_back(key);
  p->piSource = CStandInDescription::pclNew(L"ORDERS", items, 12);
  if (p->piSource == nullptr) return p;
  p->pclRecord = new CNARecord(p->pclError, p->pclAccess);
  p->pclRecord->AddRef();
  p->bOk = p->pclRecord->bInitRecord(p->piSource, nullptr, p->pclConnection) != 0;
  return p;
}

INAItemDescription* piItem(World* w, const wchar_t* pszName) {
  CNAColumn* pclColumn = w->pclRecord->pclGetColumnNoRef(pszName);
  return pclColumn != nullptr ? pclColumn->piGetItemNoRef() : nullptr;
}

CAny Wide(const std::wstring& text) {
  CAny v;
  v.__SetType(VX_DSTRW, 0);
  v.SetValueByte(text.data(), static_cast<unsigned int>(text.size() * sizeof(wchar_t)));
  return v;
}
CAny Int(int n) {
  CAny v;
  v.SetI4(n);
  return v;
}

// The composite key's value: each component's bytes at its width, integers
// little-endian, texts zero-padded.
CAny CompositeValue() {
  std::vector<unsigned char> bytes;
  for (int i = 0; i < kComponents; ++i) {
    if (i % 2 == 0) {
      const int n = 1000 * (i + 1) + 7;
      unsigned char ab[4];
      std::memcpy(ab, &n, 4);
      bytes.insert(bytes.end(), ab, ab + 4);
    } else {
      std::string text = "part " + std::to_string(i + 1);
      text.resize(kTextSize - 1, '\0');
      bytes.insert(bytes.end(), text.begin(), text.end());
    }
  }
  CAny v;
  v.SetBIN(bytes.data(), static_cast<unsigned int>(bytes.size()));
  return v;
}

// One benchmark's objects: a search (with a filter or none) and the command
// it writes into, kept across iterations.
struct Step {
  CNARecherche* pclSearch = nullptr;
  CNAFilter* pclFilter = nullptr;
  CNACommand* pclCommand = nullptr;
  ~Step() {
    if (pclSearch != nullptr) pclSearch->nRelease();
    if (pclFilter != nullptr) pclFilter->nRelease();
    if (pclCommand != nullptr) pclCommand->nRelease();
  }
};

enum class Shape { kComposite, kCompositeNext, kOneExact, kOneGeneric };

// Sets the step up; false when a piece refused.
bool bSetUp(World* w, Shape eShape, Step* pStep) {
  pStep->pclCommand = static_cast<CNACommand*>(
      CNADriver::s_pclDriver->pclAllocCommand(w->pclError, w->pclConnection));
  pStep->pclCommand->AddRef();
  pStep->pclSearch = new CNARecherche(w->pclError, w->pclConnection);
  pStep->pclSearch->AddRef();
  if (eShape == Shape::kOneExact || eShape == Shape::kOneGeneric) {
    const CAny value = Wide(L"Smith");
    return pStep->pclSearch->bSetRecherche(w->pclRecord, piItem(w, L"NAME"), &value,
                                           NA_PARSE_FIRST, eShape == Shape::kOneExact, 0) != 0;
  }
  pStep->pclFilter = new CNAFilter(w->pclError, w->pclConnection);
  pStep->pclFilter->AddRef();
  const CAny lo = Int(10), hi = Int(1000000);
  if (!pStep->pclFilter->bSetFilter(w->pclRecord, piItem(w, L"AMOUNT"), &lo, 1, &hi, 1, nullptr,
                                    0))
    return false;
  pStep->pclFilter->ActivateFilter(1);
  const CAny key = CompositeValue();
  if (!pStep->pclSearch->bSetRecherche(w->pclRecord, piItem(w, L"KEY8"), &key, NA_PARSE_FIRST,
                                       1, 0))
    return false;
  if (eShape == Shape::kCompositeNext) pStep->pclSearch->bSetContinueParcours(NA_PARSE_FIRST);
  return true;
}

// One write: the condition and its formatted UTF-8 text; null on a failure.
const char* pszWrite(World* w, Step* pStep) {
  if (!pStep->pclSearch->bGetSQL(pStep->pclCommand, pStep->pclFilter, w->pclRecord))
    return nullptr;
  return pStep->pclCommand->pszGetFormatedSQLA(CNACommand::NA_PTC_ALL);
}

// The text cut as a builder appends it: each operator, parenthesis and
// keyword text of the writers, each quoted name, each literal (quoted,
// hexadecimal or a number).
std::vector<std::string> Pieces(const std::string& text) {
  static const char* const kTokens[] = {
      " ESCAPE '!'", " IS NOT NULL", " IS NULL", " NOT LIKE ", " LIKE ", " AND ", " OR ",
      " NOT ", "0=1", "1=1", "<>", ">=", "<=", "=", "<", ">", "(", ")", "_utf8mb4 "};
  std::vector<std::string> pieces;
  size_t i = 0;
  auto tokenAt = [&](size_t at) -> size_t {
    for (const char* psz : kTokens) {
      const size_t n = std::strlen(psz);
      if (text.compare(at, n, psz) == 0) return n;
    }
    return 0;
  };
  auto quotedAt = [&](size_t at) -> size_t {  // `name`, 'text' or X'hex', doubled quotes kept
    size_t start = at;
    if (text[at] == 'X' && at + 1 < text.size() && text[at + 1] == '\'') ++at;
    const char q = text[at];
    if (q != '`' && q != '\'') return 0;
    size_t j = at + 1;
    while (j < text.size()) {
      if (text[j] == '\\' && q == '\'') {
        j += 2;
        continue;
      }
      if (text[j] == q) {
        if (j + 1 < text.size() && text[j + 1] == q) {
          j += 2;
          continue;
        }
        return j + 1 - start;
      }
      ++j;
    }
    return text.size() - start;
  };
  while (i < text.size()) {
    size_t n = tokenAt(i);
    if (n == 0) n = quotedAt(i);
    if (n == 0) {  // a number or any other run, up to the next token or quote
      size_t j = i + 1;
      while (j < text.size() && tokenAt(j) == 0 && quotedAt(j) == 0) ++j;
      n = j - i;
    }
    pieces.push_back(text.substr(i, n));
    i += n;
  }
  return pieces;
}

void Write(benchmark::State& state, Shape eShape) {
  World* w = pWorld();
  if (!w->bOk) return state.SkipWithError("the record was not built");
  Step step;
  if (!bSetUp(w, eShape, &step)) return state.SkipWithError("the search was not set up");
  const char* psz = pszWrite(w, &step);
  if (psz == nullptr || *psz == '\0') return state.SkipWithError("the search wrote nothing");
  const std::string first = psz;
  psz = pszWrite(w, &step);
  if (psz == nullptr || first != psz)
    return state.SkipWithError("a second write gave another text");
  for (auto _ : state) benchmark::DoNotOptimize(pszWrite(w, &step));
  state.SetLabel(first.size() > 120 ? first.substr(0, 117) + "..." : first);
  state.counters["bytes"] = static_cast<double>(first.size());
  state.counters["pieces"] = static_cast<double>(Pieces(first).size());
  state.counters["params"] = step.pclSearch->nGetNbParameter();
}

void Appends(benchmark::State& state, Shape eShape) {
  World* w = pWorld();
  if (!w->bOk) return state.SkipWithError("the record was not built");
  Step step;
  if (!bSetUp(w, eShape, &step)) return state.SkipWithError("the search was not set up");
  const char* psz = pszWrite(w, &step);
  if (psz == nullptr) return state.SkipWithError("the search wrote nothing");
  const std::string text = psz;
  const std::vector<std::string> pieces = Pieces(text);
  std::string check;
  for (const auto& s : pieces) check += s;
  if (check != text) return state.SkipWithError("the pieces do not rebuild the text");
  for (auto _ : state) {
    std::string out;
    for (const auto& s : pieces) out += s;
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes"] = static_cast<double>(text.size());
  state.counters["pieces"] = static_cast<double>(pieces.size());
}

void CompositeSearch(benchmark::State& s) { Write(s, Shape::kComposite); }
void AppendsCompositeSearch(benchmark::State& s) { Appends(s, Shape::kComposite); }
void CompositeNext(benchmark::State& s) { Write(s, Shape::kCompositeNext); }
void AppendsCompositeNext(benchmark::State& s) { Appends(s, Shape::kCompositeNext); }
void OneColumnExact(benchmark::State& s) { Write(s, Shape::kOneExact); }
void AppendsOneColumnExact(benchmark::State& s) { Appends(s, Shape::kOneExact); }
void OneColumnGeneric(benchmark::State& s) { Write(s, Shape::kOneGeneric); }
void AppendsOneColumnGeneric(benchmark::State& s) { Appends(s, Shape::kOneGeneric); }

BENCHMARK(CompositeSearch);
BENCHMARK(AppendsCompositeSearch);
BENCHMARK(CompositeNext);
BENCHMARK(AppendsCompositeNext);
BENCHMARK(OneColumnExact);
BENCHMARK(AppendsOneColumnExact);
BENCHMARK(OneColumnGeneric);
BENCHMARK(AppendsOneColumnGeneric);

}  // namespace

int main(int argc, char** argv) { return kqbench::nRunBenchmarks(argc, argv); }
