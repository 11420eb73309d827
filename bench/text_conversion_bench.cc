// UTF-8 to wide text, the road of every fetched text column: the client
// library hands over UTF-8 and the value needs the framework's wide text in a
// new buffer. Compared here over texts of 10 B, 100 B, 10 kB and 1 MB:
//
//   Framework        STR_CharToWChar_AnyCodepage (.., 65001, ..): the whole
//                    road, a new terminated buffer included.
//   Emulation        MultiByteToWideChar (65001): counting call, buffer,
//                    converting call, the way the Win32 emulation is used.
//   IconvCached      iconv with one descriptor opened once: a new buffer of
//                    the upper bound, one iconv call, terminator.
//   IconvNoAlloc     the same into a buffer allocated once: iconv alone.
//   DecoderNoAlloc   the framework's decoder alone, into a buffer allocated
//                    once: the counterpart of IconvNoAlloc.
//
// Texts: "latin" is French-like text (about one character in ten takes two
// bytes), "cjk" mostly three-byte characters with ASCII punctuation.
//
// Running it: qemu-i386 build-<dir>/bench/text_conversion_bench. Under the
// emulator every figure includes the emulation; compare them with each other.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/bench_context.h"
#include "core/char_conv.h"
#include "core/unicode.h"
#include "core/xmalloc.h"
#include "core/codepage_conversion.h"

namespace {

std::string MakeText(size_t nBytes, bool bCjk) {
  static const char* const kLatin[] = {"le ", "caf\xC3\xA9 ", "d\xC3\xA9j\xC3\xA0 ", "num\xC3\xA9ro ", "client ",
                                       "adresse ", "ann\xC3\xA9" "e ", "2024 ", "fa\xC3\xA7" "ade ", "montant "};
  static const char* const kCjk[] = {"\xE6\x9D\xB1\xE4\xBA\xAC", "\xE9\x83\xBD\xE5\xB8\x82", ", ",
                                     "\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF", "\xE5\x9F\xBA\xE7\x9B\xA4 "};
  std::string s;
  for (size_t i = 0; s.size() < nBytes; ++i) s += bCjk ? kCjk[i % 5] : kLatin[(i * 7) % 10];
  // Cut on a character boundary at or below the size.
  size_t n = nBytes;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  s.resize(n);
  return s;
}

const std::string& Text(int64_t nBytes, bool bCjk) {
  static std::string texts[2][4];
  int nIndex = nBytes == 10 ? 0 : nBytes == 100 ? 1 : nBytes == 10000 ? 2 : 3;
  std::string& s = texts[bCjk][nIndex];
  if (s.empty()) s = MakeText(static_cast<size_t>(nBytes), bCjk);
  return s;
}

void Framework(benchmark::State& state, bool bCjk) {
  const std::string& text = Text(state.range(0), bCjk);
  for (auto _ : state) {
    wchar_t* pOut = nullptr;
    int nOut = 0;
    if (!STR_CharToWChar_AnyCodepage(text.data(), static_cast<int>(text.size()), 65001, &pOut, &nOut, 0)) {
      state.SkipWithError("conversion failed");
      break;
    }
    benchmark::DoNotOptimize(pOut);
    XMALLOC_Del_(pOut);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void Emulation(benchmark::State& state, bool bCjk) {
  const std::string& text = Text(state.range(0), bCjk);
  for (auto _ : state) {
    int n = MultiByteToWideChar(65001, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    wchar_t* pOut = static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<unsigned>(n + 1) * sizeof(wchar_t)));
    n = MultiByteToWideChar(65001, 0, text.data(), static_cast<int>(text.size()), pOut, n);
    if (n <= 0) {
      XMALLOC_Del_(pOut);
      state.SkipWithError("conversion failed");
      break;
    }
    pOut[n] = 0;
    benchmark::DoNotOptimize(pOut);
    XMALLOC_Del_(pOut);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

iconv_t CachedDescriptor() {
  static iconv_t cd = iconv_open("UCS-4LE", "UTF-8");
  return cd;
}

// One iconv call into pOut (room for text.size() characters); the count.
size_t IconvOnce(const std::string& text, wchar_t* pOut) {
  iconv_t cd = CachedDescriptor();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* pIn = const_cast<char*>(text.data());
  size_t nIn = text.size();
  char* pTo = reinterpret_cast<char*>(pOut);
  size_t nRoom = text.size() * sizeof(wchar_t);
  if (iconv(cd, &pIn, &nIn, &pTo, &nRoom) == static_cast<size_t>(-1)) return static_cast<size_t>(-1);
  return (text.size() * sizeof(wchar_t) - nRoom) / sizeof(wchar_t);
}

void IconvCached(benchmark::State& state, bool bCjk) {
  const std::string& text = Text(state.range(0), bCjk);
  if (CachedDescriptor() == reinterpret_cast<iconv_t>(-1)) state.SkipWithError("iconv_open failed");
  for (auto _ : state) {
    wchar_t* pOut = static_cast<wchar_t*>(std::malloc((text.size() + 1) * sizeof(wchar_t)));
    size_t n = IconvOnce(text, pOut);
    if (n == static_cast<size_t>(-1)) {
      std::free(pOut);
      state.SkipWithError("iconv failed");
      break;
    }
    pOut[n] = 0;
    benchmark::DoNotOptimize(pOut);
    std::free(pOut);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void IconvNoAlloc(benchmark::State& state, bool bCjk) {
  const std::string& text = Text(state.range(0), bCjk);
  if (CachedDescriptor() == reinterpret_cast<iconv_t>(-1)) state.SkipWithError("iconv_open failed");
  std::wstring out(text.size() + 1, L'\0');
  for (auto _ : state) {
    size_t n = IconvOnce(text, out.data());
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void DecoderNoAlloc(benchmark::State& state, bool bCjk) {
  const std::string& text = Text(state.range(0), bCjk);
  std::wstring out(text.size() + 1, L'\0');
  for (auto _ : state) {
    int n = UTF8ToWideStrict(text.data(), static_cast<int>(text.size()), out.data(), static_cast<int>(out.size()));
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

#define KQ_TEXT_BENCH(fn)                                                                   \
  BENCHMARK_CAPTURE(fn, latin, false)->Arg(10)->Arg(100)->Arg(10000)->Arg(1000000);         \
  BENCHMARK_CAPTURE(fn, cjk, true)->Arg(10)->Arg(100)->Arg(10000)->Arg(1000000)

KQ_TEXT_BENCH(Framework);
KQ_TEXT_BENCH(Emulation);
KQ_TEXT_BENCH(IconvCached);
KQ_TEXT_BENCH(IconvNoAlloc);
KQ_TEXT_BENCH(DecoderNoAlloc);

}  // namespace

int main(int argc, char** argv) { return kqbench::nRunBenchmarks(argc, argv); }
