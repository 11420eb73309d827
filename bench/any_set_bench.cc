// Setting a dynamic value from one fetched cell: the per-cell cost of every
// fetch, paid once per column and row.
//
//   Utf8Text   a UTF-8 text of 28 bytes (26 characters, two accented) into a wide
//              counted text, through the wide-text class's code-page setter
//              (a conversion and a buffer of the server's allocator each time;
//              the previous buffer goes back).
//   Int64      SetI8.
//   Double     SetR8.
//   DateTime   the date-time fields of a cell into a CDateTime, then
//              SetDATETIME.
// Each runs 1,000,000 sets into one value, as a fetch reuses the values of
// its row. The text variant binds the framework to the stand-in server for
// its allocator.
//
// Running it: qemu-i386 build-<dir>/bench/any_set_bench. Under the emulator
// every figure includes the emulation; compare them with each other.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench/bench_context.h"
#include "bench/stand_in_binding.h"
#include "core/codepage_conversion.h"
#include "values/any.h"
#include "values/date_time_base.h"
#include "values/value_conversion.h"

namespace {

constexpr int64_t kSets = 1000000;


const char kCellText[] = "Fran\xC3\xA7ois Dupr\xC3\xA9 & Cie, Lyon";

void Utf8Text(benchmark::State& state) {
  if (!kqbench::bBindToStandIn()) return state.SkipWithError("the stand-in server did not bind");
  const unsigned int n = static_cast<unsigned int>(std::strlen(kCellText));
  CAny v;
  for (auto _ : state) {
    v.__SetType(VX_DSTRW, 0);
    v.pclGetIntern()->SetValueFromANSI_CP(65001, kCellText, n);
    v.SetTypeWord(v.wGetType() & kVXClearFlagsMask);
    benchmark::DoNotOptimize(v.pbyGetValeur());
  }
  const wchar_t* psz = nullptr;
  if (v.pclGetIntern()->nGetPCWSTR(&psz) != 0 || psz == nullptr || std::wcslen(psz) != 26)
    state.SkipWithError("the text did not convert");
  state.SetItemsProcessed(state.iterations());
}

// The conversion alone, into a buffer of ours: what the text cell costs
// beyond the string allocator's round trip (the stand-in's allocator takes a
// lock and keeps a registry of live buffers; the server's is its own).
void Utf8TextConversionOnly(benchmark::State& state) {
  const int n = static_cast<int>(std::strlen(kCellText));
  wchar_t szOut[64];
  for (auto _ : state) {
    const int nChars = MultiByteToWideChar(65001, 0, kCellText, n, nullptr, 0);
    benchmark::DoNotOptimize(MultiByteToWideChar(65001, 0, kCellText, n, szOut, nChars));
    benchmark::DoNotOptimize(szOut);
  }
  state.SetItemsProcessed(state.iterations());
}

void Int64(benchmark::State& state) {
  CAny v;
  long long n = 1234567890123LL;
  for (auto _ : state) {
    v.SetI8(n++);
    benchmark::DoNotOptimize(v.pbyGetValeur());
  }
  state.SetItemsProcessed(state.iterations());
}

void Double(benchmark::State& state) {
  CAny v;
  double d = 3.25;
  for (auto _ : state) {
    v.SetR8(d);
    d += 0.5;
    benchmark::DoNotOptimize(v.pbyGetValeur());
  }
  state.SetItemsProcessed(state.iterations());
}

void DateTime(benchmark::State& state) {
  CAny v;
  int nSecond = 0;
  for (auto _ : state) {
    CDateTime dt;
    dt.Set(2024, 5, 17, 12, 34, nSecond, 789);
    nSecond = (nSecond + 1) % 60;
    v.SetDATETIME(dt);
    benchmark::DoNotOptimize(v.pbyGetValeur());
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(Utf8Text)->Iterations(kSets);
BENCHMARK(Utf8TextConversionOnly)->Iterations(kSets);
BENCHMARK(Int64)->Iterations(kSets);
BENCHMARK(Double)->Iterations(kSets);
BENCHMARK(DateTime)->Iterations(kSets);

}  // namespace

int main(int argc, char** argv) { return kqbench::nRunBenchmarks(argc, argv); }
