// Building and concatenating the framework's strings against std::wstring,
// and the growing formatter over large results.
//
//   Append/*    a text of n characters built by appending pieces of 10:
//               CTString::Add (exact-size realloc at every step, no spare
//               capacity), CXYString<wchar_t>::nConcat (the server's
//               allocator, through the stand-in), std::wstring::append.
//   Concat/*    two texts of n / 2 characters joined into a new one:
//               CTString::operator+, a counted copy (shared) then nConcat
//               (which unshares), std::wstring operator+.
//   Vaswprintf  "<%s>" of a text of n characters into a buffer grown from
//               nothing: the time per character must stay flat up to 1 MB
//               (the buffer doubles; it used to grow by the format's length).
//   VswprintfPreallocated  the C library alone into a buffer allocated once:
//               what Vaswprintf cannot beat; VswprintfFreshBuffer the same
//               into a block of the text's size allocated each time.
//
// Running it: qemu-i386 build-<dir>/bench/string_bench. Under the emulator
// every figure includes the emulation; compare them with each other.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdarg>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "bench/bench_context.h"
#include "core/counted_string.h"
#include "core/module_entry.h"
#include "core/wide_string.h"
#include "host/harness/host_harness.h"
#include "kq230/module_exports.h"
#include "core/message_formatting.h"

namespace {

// Counted strings need the server's allocator: bind the framework to the
// stand-in once, as the driver is bound at load.
bool BindOnce() {
  static const bool bBound = [] {
    void* hVM = dlopen(CHostHarness::pszDefaultVMPath(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (hVM == nullptr) return false;
    _stModuleInitRecord stRecord = {sizeof stRecord, static_cast<HINSTANCE>(hVM), 0, 0, nullptr};
    return ModuleEntry_nExecution(MODULE_CODE_INIT, &stRecord) == 1;
  }();
  return bBound;
}

const wchar_t kPiece[] = L"0123456789";

void AppendCTString(benchmark::State& state) {
  const int64_t n = state.range(0);
  for (auto _ : state) {
    CTString s;
    for (int64_t i = 0; i < n; i += 10) s.Add(kPiece, 10);
    benchmark::DoNotOptimize(s.pszGet());
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void AppendCXYString(benchmark::State& state) {
  if (!BindOnce()) {
    state.SkipWithError("the stand-in did not bind");
    return;
  }
  const int64_t n = state.range(0);
  for (auto _ : state) {
    CXYString<wchar_t> s;
    for (int64_t i = 0; i < n; i += 10) s.nConcat(kPiece, 10);
    benchmark::DoNotOptimize(s.pszGet());
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void AppendStdWstring(benchmark::State& state) {
  const int64_t n = state.range(0);
  for (auto _ : state) {
    std::wstring s;
    for (int64_t i = 0; i < n; i += 10) s.append(kPiece, 10);
    benchmark::DoNotOptimize(s.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}

std::wstring Half(int64_t n) { return std::wstring(static_cast<size_t>(n / 2), L'x'); }

void ConcatCTString(benchmark::State& state) {
  const std::wstring half = Half(state.range(0));
  const CTString a(half.c_str());
  for (auto _ : state) {
    CTString s = a + half.c_str();
    benchmark::DoNotOptimize(s.pszGet());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void ConcatCXYString(benchmark::State& state) {
  if (!BindOnce()) {
    state.SkipWithError("the stand-in did not bind");
    return;
  }
  const std::wstring half = Half(state.range(0));
  const CXYString<wchar_t> a(half.c_str());
  for (auto _ : state) {
    CXYString<wchar_t> s(a);
    s.nConcat(half.c_str(), static_cast<int>(half.size()));
    benchmark::DoNotOptimize(s.pszGet());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void ConcatStdWstring(benchmark::State& state) {
  const std::wstring half = Half(state.range(0));
  const std::wstring a = half;
  for (auto _ : state) {
    std::wstring s = a + half;
    benchmark::DoNotOptimize(s.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

int Format(wchar_t** pp, const wchar_t* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  const int n = vaswprintf(pp, pszFormat, args);
  va_end(args);
  return n;
}

void Vaswprintf(benchmark::State& state) {
  const std::wstring text(static_cast<size_t>(state.range(0)), L'x');
  for (auto _ : state) {
    wchar_t* p = nullptr;
    benchmark::DoNotOptimize(Format(&p, L"<%s>", text.c_str()));
    std::free(p);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The C library alone: the same text into a buffer allocated once.
void VswprintfPreallocated(benchmark::State& state) {
  const std::wstring text(static_cast<size_t>(state.range(0)), L'x');
  std::wstring buffer(text.size() + 3, L' ');
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::swprintf(buffer.data(), buffer.size(), L"<%ls>", text.c_str()));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The same into a buffer of exactly the text's size allocated each time:
// from 1 MB on, the fresh pages of a new block dominate (under qemu above all).
void VswprintfFreshBuffer(benchmark::State& state) {
  const std::wstring text(static_cast<size_t>(state.range(0)), L'x');
  const size_t n = text.size() + 3;
  for (auto _ : state) {
    wchar_t* p = static_cast<wchar_t*>(std::malloc(n * sizeof(wchar_t)));
    benchmark::DoNotOptimize(std::swprintf(p, n, L"<%ls>", text.c_str()));
    std::free(p);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(AppendCTString)->Name("Append/CTString")->RangeMultiplier(10)->Range(10, 10000);
BENCHMARK(AppendCXYString)->Name("Append/CXYString")->RangeMultiplier(10)->Range(10, 10000);
BENCHMARK(AppendStdWstring)->Name("Append/std::wstring")->RangeMultiplier(10)->Range(10, 10000);
BENCHMARK(ConcatCTString)->Name("Concat/CTString")->RangeMultiplier(10)->Range(10, 10000);
BENCHMARK(ConcatCXYString)->Name("Concat/CXYString")->RangeMultiplier(10)->Range(10, 10000);
BENCHMARK(ConcatStdWstring)->Name("Concat/std::wstring")->RangeMultiplier(10)->Range(10, 10000);
BENCHMARK(Vaswprintf)->RangeMultiplier(16)->Range(1 << 10, 1 << 20);
BENCHMARK(VswprintfPreallocated)->RangeMultiplier(16)->Range(1 << 10, 1 << 20);
BENCHMARK(VswprintfFreshBuffer)->RangeMultiplier(16)->Range(1 << 10, 1 << 20);

}  // namespace

int main(int argc, char** argv) { return kqbench::nRunBenchmarks(argc, argv); }
