// Building sortable index keys: the per-row cost of every cached index.
//
// Each benchmark builds 1,000,000 keys of pre-made values of one type (the
// values are made once, outside the timing):
//   Encoder/*   the byte encoder alone (CZBConvertKey::__nConvertKey) on the
//               raw value bytes: int32, int64, double, date-time, and a
//               20-character wide text (UTF-32 to UTF-16, unmapped and with
//               the fast sort table's weights).
//   Value/*     the whole road from a dynamic value (CConvertKey): private
//               copy, cast to the key's type (a no-op for the value's own
//               type), data address, encoder. The text is a counted wide
//               string of 20 characters (the copy shares its buffer).
//
// Running it: qemu-i386 build-<dir>/bench/index_key_bench. Under the emulator
// every figure includes the emulation; compare them with each other.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "bench/bench_context.h"
#include "core/module_entry.h"
#include "host/harness/host_harness.h"
#include "kq230/module_exports.h"
#include "values/any.h"
#include "values/index_key.h"
#include "values/value_conversion.h"

namespace {

constexpr int kKeys = 1000000;

// Dynamic values need the server's allocator (texts) and conversion entry:
// bind the framework to the stand-in once, as the driver is bound at load.
bool BindOnce() {
  static const bool bBound = [] {
    void* hVM = dlopen(CHostHarness::pszDefaultVMPath(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (hVM == nullptr) return false;
    _stModuleInitRecord stRecord = {sizeof stRecord, static_cast<HINSTANCE>(hVM), 0, 0, nullptr};
    if (ModuleEntry_nExecution(MODULE_CODE_INIT, &stRecord) != 1) return false;
    return bInitVXConvFromVM(static_cast<HINSTANCE>(hVM), 4, 1) == 1;
  }();
  return bBound;
}

// A small ring of values, so that the data stays in the cache and the figure
// is the encoder's, not the memory's.
constexpr int kRing = 1024;

template <class T>
std::vector<T> RandomValues() {
  std::mt19937 rng(42);
  std::vector<T> v(kRing);
  for (T& x : v) {
    uint64_t n = (uint64_t{rng()} << 32) | rng();
    std::memcpy(&x, &n, sizeof x);
  }
  return v;
}

std::vector<uint64_t> RandomDateTimes() {
  std::mt19937 rng(42);
  std::vector<uint64_t> v(kRing);
  for (uint64_t& x : v) {
    uint32_t nDate = (1900u + rng() % 200) << 16 | (1 + rng() % 12) << 8 | (1 + rng() % 28);
    x = uint64_t{rng() % 86400000u} << 32 | nDate;
  }
  return v;
}

std::vector<std::wstring> RandomTexts() {
  std::mt19937 rng(42);
  std::vector<std::wstring> v(kRing);
  for (std::wstring& s : v)
    for (int i = 0; i < 20; ++i) s += static_cast<wchar_t>(L'a' + rng() % 26);
  return v;
}

template <class T>
void EncodeFixed(benchmark::State& state, eITEMTYPE eType) {
  const std::vector<T> values = RandomValues<T>();
  unsigned char key[16];
  for (auto _ : state) {
    for (int i = 0; i < kKeys; ++i) {
      CZBConvertKey::__nConvertKey(key, sizeof(T), &values[i & (kRing - 1)], sizeof(T), eType, 0, 0,
                                   0, 0, 0);
      benchmark::DoNotOptimize(key);
    }
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}

void EncoderInt32(benchmark::State& s) { EncodeFixed<int32_t>(s, KEY_ITEM_I4); }
void EncoderInt64(benchmark::State& s) { EncodeFixed<int64_t>(s, KEY_ITEM_I8); }
void EncoderDouble(benchmark::State& s) { EncodeFixed<double>(s, KEY_ITEM_R8); }

void EncoderDateTime(benchmark::State& state) {
  const std::vector<uint64_t> values = RandomDateTimes();
  unsigned char key[8];
  for (auto _ : state) {
    for (int i = 0; i < kKeys; ++i) {
      CZBConvertKey::__nConvertKey(key, 8, &values[i & (kRing - 1)], 8, KEY_ITEM_DATETIME, 0, 0, 0, 0,
                                   0);
      benchmark::DoNotOptimize(key);
    }
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}

void EncoderText20(benchmark::State& state) {
  const std::vector<std::wstring> values = RandomTexts();
  const unsigned int nFlags = static_cast<unsigned int>(state.range(0));
  // 20 characters and the terminator, 4 bytes each: a key of 2 x 84 + 2.
  const unsigned int nValueSize = 21 * sizeof(wchar_t);
  const unsigned int nKeySize = CZBConvertKey::nCalculateKeySize(KEY_ITEM_DSTRW, nValueSize);
  std::vector<unsigned char> key(nKeySize);
  for (auto _ : state) {
    for (int i = 0; i < kKeys; ++i) {
      CZBConvertKey::__nConvertKey(key.data(), nKeySize, values[i & (kRing - 1)].c_str(), nValueSize,
                                   KEY_ITEM_DSTRW, nFlags, 0, 0, 0, KEY_SOURCE_WIDE32);
      benchmark::DoNotOptimize(key.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}

void ValueKeys(benchmark::State& state, std::vector<CAny>& values, unsigned int nKeySize) {
  if (!BindOnce()) {
    state.SkipWithError("the stand-in server did not bind");
    return;
  }
  std::vector<unsigned char> key(nKeySize);
  for (auto _ : state) {
    for (int i = 0; i < kKeys; ++i) {
      int n = CConvertKey::nConvertKeyAndGetSize(&values[i & (kRing - 1)], key.data(), nKeySize, 0, 0,
                                                 0, 0);
      benchmark::DoNotOptimize(n);
    }
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}

void ValueInt32(benchmark::State& state) {
  std::vector<CAny> v(kRing);
  std::vector<int32_t> raw = RandomValues<int32_t>();
  for (int i = 0; i < kRing; ++i) v[i].SetI4(raw[i]);
  ValueKeys(state, v, 4);
}
void ValueInt64(benchmark::State& state) {
  std::vector<CAny> v(kRing);
  std::vector<int64_t> raw = RandomValues<int64_t>();
  for (int i = 0; i < kRing; ++i) v[i].SetI8(raw[i]);
  ValueKeys(state, v, 8);
}
void ValueDouble(benchmark::State& state) {
  std::vector<CAny> v(kRing);
  std::vector<double> raw = RandomValues<double>();
  for (int i = 0; i < kRing; ++i) v[i].SetR8(raw[i]);
  ValueKeys(state, v, 8);
}
void ValueDateTime(benchmark::State& state) {
  std::vector<CAny> v(kRing);
  std::vector<uint64_t> raw = RandomDateTimes();
  for (int i = 0; i < kRing; ++i) {
    v[i].__SetType(VX_DATETIME, 0);
    v[i].pclGetIntern()->SetValue(&raw[i]);
  }
  ValueKeys(state, v, 8);
}
void ValueText20(benchmark::State& state) {
  if (!BindOnce()) {
    state.SkipWithError("the stand-in server did not bind");
    return;
  }
  std::vector<CAny> v(kRing);
  std::vector<std::wstring> raw = RandomTexts();
  for (int i = 0; i < kRing; ++i) {
    v[i].__SetType(VX_DSTRW, 0);
    v[i].pclGetIntern()->SetValue(raw[i].c_str(), 20 * sizeof(wchar_t));
  }
  ValueKeys(state, v, CZBConvertKey::nCalculateKeySize(static_cast<unsigned short>(VX_DSTRW), 84u));
}

}  // namespace

BENCHMARK(EncoderInt32)->Unit(benchmark::kMillisecond);
BENCHMARK(EncoderInt64)->Unit(benchmark::kMillisecond);
BENCHMARK(EncoderDouble)->Unit(benchmark::kMillisecond);
BENCHMARK(EncoderDateTime)->Unit(benchmark::kMillisecond);
BENCHMARK(EncoderText20)->Arg(0)->Arg(KEY_FLAG_WEIGHTS)->Unit(benchmark::kMillisecond);
BENCHMARK(ValueInt32)->Unit(benchmark::kMillisecond);
BENCHMARK(ValueInt64)->Unit(benchmark::kMillisecond);
BENCHMARK(ValueDouble)->Unit(benchmark::kMillisecond);
BENCHMARK(ValueDateTime)->Unit(benchmark::kMillisecond);
BENCHMARK(ValueText20)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return kqbench::nRunBenchmarks(argc, argv); }
