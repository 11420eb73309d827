// SQL text building and escaping, against std::string with its geometric
// growth doing the same work:
//   - a 1 MB SQL text built from short appends (INSERT rows: keywords,
//     numbers, short quoted texts), with the builder's step of 1024 and
//     through the mixed-width builder in UTF-8 and wide mode;
//   - a 1 MB text escaped into a literal (about 5% quotes and backslashes),
//     by the literal writer, by pszEscape and pszVerrueEscapeMySQL, and by a
//     plain std::string loop.
// Pure computation: no server, nothing bound.
//
// Figures (i386 native, medians of 3, on a shared 8-core machine under load;
// compare within one run only):
//   1 MB of INSERT text in short appends:
//     CXYStringConcat<char>, step 1024      1.4 ms   (std::string  1.6 ms)
//     CTStringConcatAW, UTF-8 mode          2.0 ms
//     CTStringConcatAW, wide mode           3.2 ms   (4-byte characters)
//   1 MB escaped into a literal:
//     AddSqlStringLiteral, backslash form   1.8 ms
//     AddSqlStringLiteral, any-mode form    2.0 ms   (text without backslash)
//     AddSqlStringLiteral, Shift-JIS        2.3 ms
//     pszEscape                             4.0 ms
//     pszVerrueEscapeMySQL                  4.4 ms   (copy, purge, escape)
//     std::string loop, geometric growth    3.1 ms
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

#include "bench/bench_context.h"
#include "core/mixed_width_concat.h"
#include "core/sql_escape.h"
#include "core/sql_literal.h"
#include "core/string_concat.h"
#include "core/xmalloc.h"

namespace {

constexpr size_t kTarget = 1 << 20;

// One row: about 60 bytes in 5 appends.
const char* const kNames[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot"};

void BM_BuildSql_Concat(benchmark::State& state) {
  for (auto _ : state) {
    CXYStringConcat<char> sql(1024);
    for (int i = 0; sql.nGetLength() < kTarget; ++i) {
      sql.Add("INSERT INTO t (id, name) VALUES (", 33);
      sql.AddNumber(i, -1);
      sql.Add(", '", 3);
      const char* name = kNames[i % 6];
      sql.Add(name, static_cast<int>(std::char_traits<char>::length(name)));
      sql.Add("');\n", 4);
    }
    benchmark::DoNotOptimize(sql.pszGet());
    state.SetBytesProcessed(state.bytes_processed() + sql.nGetLength());
  }
}
BENCHMARK(BM_BuildSql_Concat)->Unit(benchmark::kMillisecond);

void BM_BuildSql_StdString(benchmark::State& state) {
  for (auto _ : state) {
    std::string sql;
    char digits[16];
    for (int i = 0; sql.size() < kTarget; ++i) {
      sql.append("INSERT INTO t (id, name) VALUES (", 33);
      sql.append(digits, static_cast<size_t>(std::snprintf(digits, sizeof digits, "%d", i)));
      sql.append(", '", 3);
      sql.append(kNames[i % 6]);
      sql.append("');\n", 4);
    }
    benchmark::DoNotOptimize(sql.data());
    state.SetBytesProcessed(state.bytes_processed() + static_cast<int64_t>(sql.size()));
  }
}
BENCHMARK(BM_BuildSql_StdString)->Unit(benchmark::kMillisecond);

// The mixed builder with wide arguments, as the SQL builder calls it; the
// 8-bit form is asked for once at the end, as the client library would.
void BM_BuildSql_MixedWidth(benchmark::State& state) {
  const int nMode = static_cast<int>(state.range(0));
  const wchar_t* const kWideNames[] = {L"alpha", L"bravo", L"charlie", L"delta", L"echo", L"foxtrot"};
  for (auto _ : state) {
    CTStringConcatAW sql(nMode, 65001);
    for (int i = 0; sql.nGetLength() < kTarget; ++i) {
      sql.Add(L"INSERT INTO t (id, name) VALUES (", 33);
      sql.AddNumber(i, -1);
      sql.Add(L", '", 3);
      sql.Add(kWideNames[i % 6]);
      sql.Add(L"');\n", 4);
    }
    benchmark::DoNotOptimize(sql.pszGetA());
    state.SetBytesProcessed(state.bytes_processed() + sql.nGetLength());
  }
}
BENCHMARK(BM_BuildSql_MixedWidth)->Arg(65001)->Arg(-2)->Unit(benchmark::kMillisecond);

// 1 MB of text: letters, with a quote or a backslash about every 20 bytes.
std::string Text(bool bWithBackslash) {
  std::mt19937 rng(5);
  std::string s;
  s.reserve(kTarget);
  while (s.size() < kTarget) {
    const unsigned r = rng() % 20;
    s += r == 0 ? '\'' : r == 1 && bWithBackslash ? '\\' : static_cast<char>('a' + rng() % 26);
  }
  return s;
}

void BM_Escape_Literal(benchmark::State& state) {
  const auto eForm = static_cast<eSQLLITERALFORM>(state.range(0));
  const std::string text = Text(eForm != eSqlLiteralAnyMode);
  for (auto _ : state) {
    CXYStringConcat<char> out(1024);
    AddSqlStringLiteral(out, text.data(), static_cast<int>(text.size()), 65001, eForm, "utf8mb4");
    benchmark::DoNotOptimize(out.pszGet());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Escape_Literal)
    ->Arg(eSqlLiteralBackslash)
    ->Arg(eSqlLiteralAnyMode)
    ->Unit(benchmark::kMillisecond);

// The literal writer with a double-byte code page: every byte is split as the
// server splits it.
void BM_Escape_LiteralShiftJis(benchmark::State& state) {
  const std::string text = Text(true);
  for (auto _ : state) {
    CXYStringConcat<char> out(1024);
    AddSqlStringLiteral(out, text.data(), static_cast<int>(text.size()), 932, eSqlLiteralBackslash,
                        nullptr);
    benchmark::DoNotOptimize(out.pszGet());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Escape_LiteralShiftJis)->Unit(benchmark::kMillisecond);

void BM_Escape_PszEscape(benchmark::State& state) {
  const std::string text = Text(true);
  for (auto _ : state) {
    char* p = pszEscape(text.c_str(), 1, 0, 1, 0, 0, 0, 0, 1, '\\', '\\', 65001);
    benchmark::DoNotOptimize(p);
    XMALLOC_Del_(p);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Escape_PszEscape)->Unit(benchmark::kMillisecond);

void BM_Escape_Verrue(benchmark::State& state) {
  const std::string text = Text(true);
  for (auto _ : state) {
    char* p = pszVerrueEscapeMySQL(text.c_str(), L'\\', 65001);
    benchmark::DoNotOptimize(p);
    XMALLOC_Del_(p);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Escape_Verrue)->Unit(benchmark::kMillisecond);

// The reference: the same backslash form, byte by byte into a std::string
// that grows geometrically.
void BM_Escape_StdString(benchmark::State& state) {
  const std::string text = Text(true);
  for (auto _ : state) {
    std::string out;
    out += '\'';
    for (char c : text) {
      if (c == '\'' || c == '\\') out += '\\';
      else if (c == 0) {
        out += "\\0";
        continue;
      }
      out += c;
    }
    out += '\'';
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Escape_StdString)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return kqbench::nRunBenchmarks(argc, argv); }
