// The driver's hash table against std::unordered_map, with pointer keys and
// with wide-string keys, at 1,000 and 1,000,000 entries.
//
//   Insert/*   an empty table (CHashTableBounce built with 7, as the driver
//              builds its tables) filled with n entries: the growth through
//              the levels is part of the figure.
//   Find/*     n lookups of present keys in a table of n entries.
//   Delete/*   n removals down to an empty table: the shrinks are part of it.
//
//   */Bounce    CHashTableBounce; pointer keys compared and hashed by value
//               (CRefHashTable's functions), string keys compared and hashed
//               without regard to case and accents through the locale
//               service (the stand-in's here), as CRefStringHashTable does.
//   */StdMap    std::unordered_map<void*, void*> and
//               std::unordered_map<std::wstring, void*> (exact keys, std::hash).
//               The string figures therefore compare a locale-aware table with
//               an exact one: the difference is mostly the mapping.
//
// Each 1,000,000-entry benchmark runs once, to keep it bounded under the
// emulator. Running it: qemu-i386 build-<dir>/bench/hash_table_bench. Under the
// emulator every figure includes the emulation; compare them with each other.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/bench_context.h"
#include "core/hash_table_bounce.h"
#include "core/module_entry.h"
#include "host/harness/host_harness.h"
#include "kq230/module_exports.h"

namespace {

// String keys are compared through the server's locale service: bind the
// framework to the stand-in once, as the driver is bound at load.
bool BindOnce() {
  static const bool bBound = [] {
    void* hVM = dlopen(CHostHarness::pszDefaultVMPath(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (hVM == nullptr) return false;
    _stModuleInitRecord stRecord = {sizeof stRecord, static_cast<HINSTANCE>(hVM), 0, 0, nullptr};
    return ModuleEntry_nExecution(MODULE_CODE_INIT, &stRecord) == 1;
  }();
  return bBound;
}

// Keys shared by every benchmark of a size: distinct object addresses, and
// texts such as "clé-123456".
struct Keys {
  std::vector<int> objects;
  std::vector<void*> pointers;
  std::vector<std::wstring> texts;
};

const Keys& KeysOf(int64_t n) {
  static std::unordered_map<int64_t, std::unique_ptr<Keys>> cache;
  std::unique_ptr<Keys>& p = cache[n];
  if (!p) {
    p = std::make_unique<Keys>();
    p->objects.resize(size_t(n));
    for (int64_t i = 0; i < n; ++i) {
      p->pointers.push_back(&p->objects[size_t(i)]);
      p->texts.push_back(L"clé-" + std::to_wstring(i * 7919 % 1000003));
    }
  }
  return *p;
}

// One adapter per kind of table, so that each benchmark body is written once.
struct BouncePointer {
  CHashTableBounce t{7};
  BouncePointer() {
    t.SetCmp(_nHTBDefaultCompare);
    t.SetHashVal(_dwHTBDefaultHashVal);
  }
  static const std::vector<void*>& Of(const Keys& k) { return k.pointers; }
  void Insert(void* p) { t.bAddElement(p, p); }
  bool Find(void* p) const { return t.bGetElement(p, nullptr, nullptr) != 0; }
  void Delete(void* p) { t.bDeleteElement(p, nullptr, nullptr); }
};

struct StdPointer {
  std::unordered_map<void*, void*> t;
  static const std::vector<void*>& Of(const Keys& k) { return k.pointers; }
  void Insert(void* p) { t.emplace(p, p); }
  bool Find(void* p) const { return t.find(p) != t.end(); }
  void Delete(void* p) { t.erase(p); }
};

struct BounceString {
  CHashTableBounce t{7};
  BounceString() {
    t.SetCmp(CHashTableBounce::nStringLogiqueCompare);
    t.SetHashVal(CHashTableBounce::dwStringLogiqueHashVal);
  }
  static const std::vector<std::wstring>& Of(const Keys& k) { return k.texts; }
  void Insert(const std::wstring& s) { t.bAddElement(const_cast<wchar_t*>(s.c_str()), nullptr); }
  bool Find(const std::wstring& s) const { return t.bGetElement(s.c_str(), nullptr, nullptr) != 0; }
  void Delete(const std::wstring& s) { t.bDeleteElement(s.c_str(), nullptr, nullptr); }
};

struct StdString {
  std::unordered_map<std::wstring, void*> t;
  static const std::vector<std::wstring>& Of(const Keys& k) { return k.texts; }
  void Insert(const std::wstring& s) { t.emplace(s, nullptr); }
  bool Find(const std::wstring& s) const { return t.find(s) != t.end(); }
  void Delete(const std::wstring& s) { t.erase(s); }
};

template <class Table>
void Insert(benchmark::State& state) {
  if (!BindOnce()) return state.SkipWithError("the stand-in server did not bind");
  const auto& keys = Table::Of(KeysOf(state.range(0)));
  for (auto _ : state) {
    auto t = std::make_unique<Table>();
    for (const auto& k : keys) t->Insert(k);
    benchmark::DoNotOptimize(t.get());
    state.PauseTiming();
    t.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class Table>
void Find(benchmark::State& state) {
  if (!BindOnce()) return state.SkipWithError("the stand-in server did not bind");
  const auto& keys = Table::Of(KeysOf(state.range(0)));
  Table t;
  for (const auto& k : keys) t.Insert(k);
  for (auto _ : state) {
    int64_t nFound = 0;
    for (const auto& k : keys) nFound += t.Find(k);
    if (nFound != state.range(0)) return state.SkipWithError("a key was not found");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class Table>
void Delete(benchmark::State& state) {
  if (!BindOnce()) return state.SkipWithError("the stand-in server did not bind");
  const auto& keys = Table::Of(KeysOf(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    auto t = std::make_unique<Table>();
    for (const auto& k : keys) t->Insert(k);
    state.ResumeTiming();
    for (const auto& k : keys) t->Delete(k);
    state.PauseTiming();
    t.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// 1,000 entries as often as the library likes; 1,000,000 entries once.
void Sizes(benchmark::internal::Benchmark* b) { b->Arg(1000)->Unit(benchmark::kMicrosecond); }
void Large(benchmark::internal::Benchmark* b) {
  b->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
}

#define KQ_HASH_BENCH(OP, TABLE, NAME)                                   \
  BENCHMARK_TEMPLATE(OP, TABLE)->Name(#OP "/" NAME)->Apply(Sizes);       \
  BENCHMARK_TEMPLATE(OP, TABLE)->Name(#OP "/" NAME)->Apply(Large)

KQ_HASH_BENCH(Insert, BouncePointer, "Pointer/Bounce");
KQ_HASH_BENCH(Insert, StdPointer, "Pointer/StdMap");
KQ_HASH_BENCH(Find, BouncePointer, "Pointer/Bounce");
KQ_HASH_BENCH(Find, StdPointer, "Pointer/StdMap");
KQ_HASH_BENCH(Delete, BouncePointer, "Pointer/Bounce");
KQ_HASH_BENCH(Delete, StdPointer, "Pointer/StdMap");
KQ_HASH_BENCH(Insert, BounceString, "String/Bounce");
KQ_HASH_BENCH(Insert, StdString, "String/StdMap");
KQ_HASH_BENCH(Find, BounceString, "String/Bounce");
KQ_HASH_BENCH(Find, StdString, "String/StdMap");
KQ_HASH_BENCH(Delete, BounceString, "String/Bounce");
KQ_HASH_BENCH(Delete, StdString, "String/StdMap");

}  // namespace

int main(int argc, char** argv) { return kqbench::nRunBenchmarks(argc, argv); }
