// Money texts, the road of every DECIMAL-as-money column: 1,000,000 decimal
// texts read into CMoney and 1,000,000 values written back, against the
// standard library's integer conversions on the same fields.
//
//   MoneyRead      pstChaineVersMonetaire of a wide text "-123456.789".
//   FromChars      std::from_chars of the same text's fields, in 8-bit: the
//                  integer digits into a 64-bit integer and the decimals into
//                  a 32-bit one (no sign, no scaling, no overflow test to 80
//                  bits): the floor under any reader.
//   MoneyWrite     pszMonetaireVersChaineC of a value (shortest text).
//   ToChars        std::to_chars of the value's integer part (64 bits) and
//                  its millionths (32 bits, neither padded nor trimmed), with
//                  the sign and the point: again the floor.
//
// Values: integer parts of 1 to 18 digits (uniform in the digit count) and
// 0 to 6 decimals, half of them negative.
//
// Running it: qemu-i386 build-<dir>/bench/money_text_bench. Under the
// emulator every figure includes the emulation; compare them with each other.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_context.h"
#include "values/money.h"

namespace {

constexpr int kCount = 1000000;

struct Fields {
  bool negative;
  uint64_t integer;
  uint32_t fraction;  // millionths
};

struct Corpus {
  std::vector<Fields> fields;
  std::vector<std::string> narrow;
  std::vector<std::wstring> wide;
  std::vector<CMoney> values;
};

const Corpus& TheCorpus() {
  static const Corpus corpus = [] {
    Corpus c;
    std::mt19937_64 rng(42);
    c.fields.reserve(kCount);
    for (int i = 0; i < kCount; ++i) {
      int digits = 1 + int(rng() % 18);
      uint64_t limit = 1;
      for (int k = 0; k < digits; ++k) limit *= 10;
      Fields f{rng() % 2 == 0, rng() % limit, 0};
      int decimals = int(rng() % 7);
      uint32_t scale = 1;
      for (int k = decimals; k < 6; ++k) scale *= 10;
      f.fraction = uint32_t(rng() % 1000000) / scale * scale;
      std::string s = (f.negative ? "-" : "") + std::to_string(f.integer);
      if (decimals > 0) {
        std::string d = std::to_string(1000000 + f.fraction).substr(1, size_t(decimals));
        s += "." + d;
      }
      c.fields.push_back(f);
      c.narrow.push_back(s);
      c.wide.emplace_back(s.begin(), s.end());
      CMoney m;
      pstChaineVersMonetaire(&m, c.wide.back().c_str());
      c.values.push_back(m);
    }
    return c;
  }();
  return corpus;
}

void MoneyRead(benchmark::State& state) {
  const Corpus& c = TheCorpus();
  for (auto _ : state) {
    for (const std::wstring& text : c.wide) {
      CMoney m;
      benchmark::DoNotOptimize(pstChaineVersMonetaire(&m, text.c_str()));
      benchmark::DoNotOptimize(m);
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kCount);
}

void FromChars(benchmark::State& state) {
  const Corpus& c = TheCorpus();
  for (auto _ : state) {
    for (const std::string& text : c.narrow) {
      const char* p = text.data();
      const char* end = p + text.size();
      if (*p == '-') ++p;
      uint64_t integer = 0;
      uint32_t fraction = 0;
      auto r = std::from_chars(p, end, integer);
      if (r.ptr != end && *r.ptr == '.') std::from_chars(r.ptr + 1, end, fraction);
      benchmark::DoNotOptimize(integer);
      benchmark::DoNotOptimize(fraction);
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kCount);
}

void MoneyWrite(benchmark::State& state) {
  const Corpus& c = TheCorpus();
  wchar_t buffer[kMoneyDecimalTextSize];
  for (auto _ : state) {
    for (const CMoney& m : c.values) {
      benchmark::DoNotOptimize(pszMonetaireVersChaineC(buffer, &m));
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kCount);
}

void ToChars(benchmark::State& state) {
  const Corpus& c = TheCorpus();
  char buffer[32];
  for (auto _ : state) {
    for (const Fields& f : c.fields) {
      char* p = buffer;
      if (f.negative) *p++ = '-';
      p = std::to_chars(p, buffer + 22, f.integer).ptr;  // 20 digits at most
      if (f.fraction != 0) {
        *p++ = '.';
        p = std::to_chars(p, buffer + 31, f.fraction).ptr;
      }
      *p = 0;
      benchmark::DoNotOptimize(buffer);
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kCount);
}

BENCHMARK(MoneyRead)->Unit(benchmark::kMillisecond);
BENCHMARK(FromChars)->Unit(benchmark::kMillisecond);
BENCHMARK(MoneyWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(ToChars)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return kqbench::nRunBenchmarks(argc, argv); }
