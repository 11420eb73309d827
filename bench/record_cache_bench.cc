// The record cache: storing and reading back rows of six columns shaped like
// the fetch reference table (bench/reference_fetch_bench.cc): id INT, code
// VARCHAR(12), name VARCHAR(40), amount DECIMAL(12,2), created DATETIME and
// note TEXT, the texts as Unicode slots of their utf8mb4 width, the note as a
// memo stored inline.
//
//   Append/0      100,000 rows stored into an emptied cache (its blocks
//                 given back: every page new), each with its identifier
//                 (the id's bytes) and its memo;
//   Append/1      the same into a cache emptied with its blocks kept (a
//                 statement going on after the cap), against
//   AppendMemcpy  the same buffers and memos copied whole into one
//                 preallocated arena (the floor: no packing, no index).
//   Read          the 100,000 rows read back into a record buffer, with
//                 their memo, against
//   ReadMemcpy    the same bytes copied back out of the arena.
//   Find          every row found again by its identifier.
//
// Counters: rows per second; cache_bytes_per_row (what the cap counts),
// held_bytes_per_row (every block of the cache), buffer_bytes_per_row (the
// record buffer and memo as the statement holds them).
//
// Stand-in descriptions only: no database, no binding to the stand-in.
//
// Running it: build-<dir>/bench/record_cache_bench (qemu-i386 when the
// machine runs i386 only under emulation; the "i386" line says which).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "bench/bench_context.h"
#include "host/harness/standin_descriptions.h"
#include "statements/record_buffer.h"
#include "statements/record_cache.h"

namespace {

constexpr int kRows = 100000;
// Distinct rows made once and stored in turn.
constexpr int kPatterns = 997;

StandInItemDecl Item(const wchar_t* name, int type, int size) {
  StandInItemDecl d;
  d.name = name;
  d.type = type;
  d.size = size;
  return d;
}

struct World {
  CStandInDescription* piSource = nullptr;
  std::vector<CNAZBRecord*> rows;
  std::vector<std::string> notes;
  bool bOk = false;
};

void StoreWide(CNAZBRecord* r, INAItemDescription* piItem, const std::wstring& s) {
  r->SetItemValue(piItem, reinterpret_cast<const unsigned char*>(s.data()),
                  static_cast<unsigned int>(s.size() * sizeof(wchar_t)));
}

// Rows as the reference table's generator writes them.
World* pWorld() {
  static World* w = [] {
    auto* p = new World;
    p->piSource = CStandInDescription::pclNew(
        L"fetch_reference",
        {Item(L"id", NA_IT_I4, 4), Item(L"code", NA_IT_UNICODE, 26), Item(L"name", NA_IT_UNICODE, 82),
         Item(L"amount", NA_IT_DECIMAL, 8), Item(L"created", NA_IT_DATETIME, 8),
         Item(L"note", NA_IT_MEMOTEXTE, 8)},
        12);
    if (p->piSource == nullptr) return p;
    const wchar_t* const apszSides[] = {L"North", L"South", L"East", L"West"};
    for (int n = 1; n <= kPatterns; ++n) {
      auto* r = new CNAZBRecord;
      if (!r->bInit(p->piSource, INIT_ZEROED)) return p;
      r->SetItemValue(p->piSource->pclGetItem(0), reinterpret_cast<const unsigned char*>(&n), 4);
      wchar_t code[16];
      std::swprintf(code, 16, L"K%09d", n);
      StoreWide(r, p->piSource->pclGetItem(1), code);
      StoreWide(r, p->piSource->pclGetItem(2),
                L"Customer " + std::to_wstring(n % 9973) + L" " + apszSides[n % 4]);
      const long long llAmount = n * 7919LL % 100000000;
      r->SetItemValue(p->piSource->pclGetItem(3), reinterpret_cast<const unsigned char*>(&llAmount), 8);
      const long long llCreated = 1577836800000LL + n * 37000LL;
      r->SetItemValue(p->piSource->pclGetItem(4), reinterpret_cast<const unsigned char*>(&llCreated), 8);
      r->SetItemValueDefined(p->piSource->pclGetItem(5), 1);
      std::string note = "Note for row " + std::to_string(n) + ": ";
      for (int i = 0; i < n % 12; ++i) note += "lorem ipsum ";
      p->rows.push_back(r);
      p->notes.push_back(note);
    }
    p->bOk = true;
    return p;
  }();
  return w;
}

_stRecordCacheMemo MemoOf(const std::string& s) {
  _stRecordCacheMemo m;
  m.bPresent = 1;
  m.pbyData = reinterpret_cast<const unsigned char*>(s.data());
  m.nSize = static_cast<unsigned int>(s.size());
  return m;
}

bool bFill(CNARecordCache* pclCache, const World* w, bool bKeepBlocks) {
  if (bKeepBlocks)
    pclCache->EmptyFrom(0);
  else
    pclCache->SupprimeTout();
  for (int i = 0; i < kRows; ++i) {
    const CNAZBRecord* r = w->rows[static_cast<size_t>(i % kPatterns)];
    const _stRecordCacheMemo memo = MemoOf(w->notes[static_cast<size_t>(i % kPatterns)]);
    // The row number makes each identifier distinct.
    if (pclCache->eAppend(r, 0, reinterpret_cast<const unsigned char*>(&i), sizeof i, &memo, 1) != RCS_OK)
      return false;
  }
  return true;
}

double dBufferBytesPerRow(const World* w) {
  double d = 0;
  for (int i = 0; i < kPatterns; ++i)
    d += w->rows[static_cast<size_t>(i)]->nGetBufferLength() + static_cast<double>(w->notes[static_cast<size_t>(i)].size());
  return d / kPatterns;
}

void Counters(benchmark::State& state, const CNARecordCache& cache, const World* w) {
  state.SetItemsProcessed(state.iterations() * kRows);
  state.counters["cache_bytes_per_row"] = static_cast<double>(cache.llGetBytesUsed()) / kRows;
  state.counters["held_bytes_per_row"] = static_cast<double>(cache.llGetBytesHeld()) / kRows;
  state.counters["buffer_bytes_per_row"] = dBufferBytesPerRow(w);
}

CNARecordCache* pclNewCache(const World* w) {
  auto* pclCache = new CNARecordCache;
  pclCache->AddRef();
  if (pclCache->eInit(w->piSource) != RCS_OK) {
    pclCache->nRelease();
    return nullptr;
  }
  return pclCache;
}

void Append(benchmark::State& state) {
  World* w = pWorld();
  CNARecordCache* pclCache = w->bOk ? pclNewCache(w) : nullptr;
  if (pclCache == nullptr) {
    state.SkipWithError("no description");
    return;
  }
  for (auto _ : state) {
    if (!bFill(pclCache, w, state.range(0) != 0)) {
      state.SkipWithError("a row was refused");
      break;
    }
  }
  Counters(state, *pclCache, w);
  pclCache->nRelease();
}

// The arena the floor copies into: buffer bytes and memo bytes back to back.
struct Arena {
  std::vector<unsigned char> bytes;
  std::vector<size_t> offsets;
};

void CopyIntoArena(Arena* a, const World* w) {
  size_t n = 0;
  for (int i = 0; i < kRows; ++i) {
    const CNAZBRecord* r = w->rows[static_cast<size_t>(i % kPatterns)];
    const std::string& note = w->notes[static_cast<size_t>(i % kPatterns)];
    a->offsets[static_cast<size_t>(i)] = n;
    std::memcpy(a->bytes.data() + n, r->pbyGetBuffer(), static_cast<size_t>(r->nGetBufferLength()));
    n += static_cast<size_t>(r->nGetBufferLength());
    std::memcpy(a->bytes.data() + n, note.data(), note.size());
    n += note.size();
  }
}

Arena* pArena(const World* w) {
  static Arena* a = [w] {
    auto* p = new Arena;
    size_t n = 0;
    for (int i = 0; i < kRows; ++i)
      n += static_cast<size_t>(w->rows[static_cast<size_t>(i % kPatterns)]->nGetBufferLength()) +
           w->notes[static_cast<size_t>(i % kPatterns)].size();
    p->bytes.resize(n);
    p->offsets.resize(kRows);
    CopyIntoArena(p, w);
    return p;
  }();
  return a;
}

void AppendMemcpy(benchmark::State& state) {
  World* w = pWorld();
  if (!w->bOk) {
    state.SkipWithError("no description");
    return;
  }
  Arena* a = pArena(w);
  for (auto _ : state) {
    CopyIntoArena(a, w);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  state.counters["buffer_bytes_per_row"] = dBufferBytesPerRow(w);
}

void Read(benchmark::State& state) {
  World* w = pWorld();
  CNARecordCache* pclCache = w->bOk ? pclNewCache(w) : nullptr;
  if (pclCache == nullptr || !bFill(pclCache, w, false)) {
    state.SkipWithError("no cache");
    if (pclCache != nullptr) pclCache->nRelease();
    return;
  }
  CNAZBRecord out;
  out.bInit(w->piSource, INIT_ZEROED);
  for (auto _ : state) {
    unsigned int nMemoBytes = 0;
    for (int i = 0; i < kRows; ++i) {
      pclCache->eGetAt(i, &out);
      _stRecordCacheMemo memo;
      pclCache->eGetMemo(i, 0, &memo);
      nMemoBytes += memo.nSize;
    }
    benchmark::DoNotOptimize(nMemoBytes);
    benchmark::DoNotOptimize(out.pbyGetBuffer());
  }
  Counters(state, *pclCache, w);
  pclCache->nRelease();
}

void ReadMemcpy(benchmark::State& state) {
  World* w = pWorld();
  if (!w->bOk) {
    state.SkipWithError("no description");
    return;
  }
  Arena* a = pArena(w);
  CNAZBRecord out;
  out.bInit(w->piSource, INIT_ZEROED);
  const size_t nBuffer = static_cast<size_t>(out.nGetBufferLength());
  for (auto _ : state) {
    for (int i = 0; i < kRows; ++i) {
      const size_t nAt = a->offsets[static_cast<size_t>(i)];
      std::memcpy(out.pbyGetNullValuesFlags(), a->bytes.data() + nAt, nBuffer);
      // The memo is handed out in place by the cache: its address is taken.
      benchmark::DoNotOptimize(a->bytes.data() + nAt + nBuffer);
    }
    benchmark::DoNotOptimize(out.pbyGetBuffer());
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

void Find(benchmark::State& state) {
  World* w = pWorld();
  CNARecordCache* pclCache = w->bOk ? pclNewCache(w) : nullptr;
  if (pclCache == nullptr || !bFill(pclCache, w, false)) {
    state.SkipWithError("no cache");
    if (pclCache != nullptr) pclCache->nRelease();
    return;
  }
  for (auto _ : state) {
    long long llSum = 0;
    for (int i = 0; i < kRows; ++i)
      llSum += pclCache->llFindRow(reinterpret_cast<const unsigned char*>(&i), sizeof i);
    benchmark::DoNotOptimize(llSum);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  state.counters["buckets"] = pclCache->nGetBucketCount();
  pclCache->nRelease();
}

BENCHMARK(Append)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(AppendMemcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(Read)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadMemcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(Find)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return kqbench::nRunBenchmarks(argc, argv); }
