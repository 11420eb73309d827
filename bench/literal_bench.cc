// The literal of one parameter value, as every search and write of the driver
// writes it (CMySQLConnection's bConvertValueToString into a UTF-8 builder),
// against the nearest bare work on the same bytes:
//   Literal/Text/<bytes>/<dense>   a counted wide text of 16 B, 1 KB or 64 KB
//                                  of ASCII, plain (dense 0) or with every
//                                  fourth character a quote or a backslash
//                                  (dense 1: a hexadecimal literal)
//   ClientEscape/<bytes>/<dense>   the client library's own
//                                  mysql_real_escape_string on the UTF-8 bytes
//                                  of the same text (bound here with dlopen, on
//                                  a handle that is not connected)
//   Literal/Int64, Literal/Double, Literal/DateTime  against snprintf of the
//                                  same value ("%lld", "%.17g" and the
//                                  date-time layout)
// The driver's figures include what the client's do not: the value's data
// read through its behaviour object, the conversion of wide text to UTF-8,
// and (double, date-time) the language's cast of the value to text.
//
// Figures (i386 native, RelWithDebInfo, one run on a shared 8-core machine
// under load; ns per value; compare within one run only):
//   text            plain: literal / client     dense: literal / client
//     16 B              119 / 64   (1.9x)            102 / 71    (1.4x)
//     1 KB             1730 / 3767 (0.46x)           987 / 4290  (0.23x)
//     64 KB          102100 / 242800 (0.42x)       56100 / 271900 (0.21x)
//   int64             115 / snprintf 88   (1.3x)
//   double            738 / snprintf 437  (1.7x)   the language's cast to text
//   date-time        1276 / snprintf 238  (5.4x)   cast to text, parse, format
// A dense text is written in hexadecimal, which is faster than any escaping;
// the short texts pay the value's read and the builder's conversion.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "bench/bench_context.h"
#include "core/mixed_width_concat.h"
#include "core/module_entry.h"
#include "driver/na_error.h"
#include "host/harness/host_harness.h"
#include "kq230/module_exports.h"
#include "mariadb/mysql_connection.h"
#include "tests/mariadb/host_connection_fake.h"
#include "values/any.h"
#include "values/date_time_base.h"
#include "values/value_conversion.h"

namespace {

// Dynamic values need the server's allocator and conversion entry: bound to
// the stand-in once, as the driver is bound at load.
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

// The MariaDB connection as an open UTF-8 session has it, without a server.
class Utf8Connection : public CMySQLConnection {
 public:
  using CMySQLConnection::CMySQLConnection;
  void SetUtf8() { _SetConnectionCodePage(65001); }
};

struct Session {
  kqtest::HostConnectionFake host;
  Utf8Connection* pclConnection = nullptr;
  Session() {
    pclConnection = new Utf8Connection(L"Connection=bench", &host);
    pclConnection->AddRef();
    pclConnection->SetUtf8();
  }
  ~Session() { pclConnection->nRelease(); }
};

Session& TheSession() {
  static Session* p = new Session();  // lives for the program
  return *p;
}

std::wstring Text(size_t nBytes, bool bDense) {
  std::wstring s;
  for (size_t i = 0; i < nBytes; ++i)
    s += (bDense && i % 4 == 3) ? (i % 8 == 3 ? L'\'' : L'\\') : static_cast<wchar_t>(L'a' + i % 26);
  return s;
}

void Run(benchmark::State& state, const CAny& v) {
  CTStringConcatAW clOut(65001, -1);
  CNAError clError;
  Utf8Connection* p = TheSession().pclConnection;
  for (auto _ : state) {
    p->bConvertValueToString(&clError, &clOut, &v, 0, 0, 0, 0);
    benchmark::DoNotOptimize(clOut.pszGetA());
  }
}

void BM_LiteralText(benchmark::State& state) {
  if (!BindOnce()) return state.SkipWithError("the stand-in could not be bound");
  const std::wstring text = Text(static_cast<size_t>(state.range(0)), state.range(1) != 0);
  CAny v;
  v.__SetType(VX_DSTRW, 0);
  v.SetValueByte(text.data(), static_cast<unsigned int>(text.size() * sizeof(wchar_t)));
  Run(state, v);
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LiteralText)->ArgsProduct({{16, 1024, 65536}, {0, 1}});

// The client library's escaping, bound by name as the driver binds it.
struct ClientEscape {
  void* hLib = nullptr;
  void* pMySQL = nullptr;
  unsigned long (*pfnEscape)(void*, char*, const char*, unsigned long) = nullptr;
  void (*pfnClose)(void*) = nullptr;
  ClientEscape() {
    hLib = dlopen("libmariadb.so.3", RTLD_NOW | RTLD_LOCAL);
    if (hLib == nullptr) hLib = dlopen("libmariadb.so", RTLD_NOW | RTLD_LOCAL);
    if (hLib == nullptr) return;
    auto pfnInit = reinterpret_cast<void* (*)(void*)>(dlsym(hLib, "mysql_init"));
    pfnEscape = reinterpret_cast<decltype(pfnEscape)>(dlsym(hLib, "mysql_real_escape_string"));
    pfnClose = reinterpret_cast<decltype(pfnClose)>(dlsym(hLib, "mysql_close"));
    if (pfnInit != nullptr) pMySQL = pfnInit(nullptr);
  }
  bool bReady() const { return pMySQL != nullptr && pfnEscape != nullptr; }
};

ClientEscape& TheClient() {
  static ClientEscape* p = new ClientEscape();  // lives for the program
  return *p;
}

void BM_ClientEscape(benchmark::State& state) {
  ClientEscape& c = TheClient();
  if (!c.bReady()) return state.SkipWithError("libmariadb could not be bound");
  const std::wstring text = Text(static_cast<size_t>(state.range(0)), state.range(1) != 0);
  const std::string bytes(text.begin(), text.end());  // ASCII: the same bytes in UTF-8
  std::string out(bytes.size() * 2 + 3, '\0');
  for (auto _ : state) {
    out[0] = '\'';
    const unsigned long n = c.pfnEscape(c.pMySQL, out.data() + 1, bytes.data(), bytes.size());
    out[n + 1] = '\'';
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ClientEscape)->ArgsProduct({{16, 1024, 65536}, {0, 1}});

void BM_LiteralInt64(benchmark::State& state) {
  if (!BindOnce()) return state.SkipWithError("the stand-in could not be bound");
  CAny v;
  v.SetI8(-9223372036854775807LL);
  Run(state, v);
}
BENCHMARK(BM_LiteralInt64);

void BM_SnprintfInt64(benchmark::State& state) {
  char sz[32];
  long long ll = -9223372036854775807LL;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ll);
    std::snprintf(sz, sizeof sz, "%lld", ll);
    benchmark::DoNotOptimize(sz);
  }
}
BENCHMARK(BM_SnprintfInt64);

void BM_LiteralDouble(benchmark::State& state) {
  if (!BindOnce()) return state.SkipWithError("the stand-in could not be bound");
  CAny v;
  v.SetR8(-1234.5678901234567);
  Run(state, v);
}
BENCHMARK(BM_LiteralDouble);

void BM_SnprintfDouble(benchmark::State& state) {
  char sz[40];
  double d = -1234.5678901234567;
  for (auto _ : state) {
    benchmark::DoNotOptimize(d);
    std::snprintf(sz, sizeof sz, "%.17g", d);
    benchmark::DoNotOptimize(sz);
  }
}
BENCHMARK(BM_SnprintfDouble);

void BM_LiteralDateTime(benchmark::State& state) {
  if (!BindOnce()) return state.SkipWithError("the stand-in could not be bound");
  CDateTimeBase base;
  base.Set(2019, 3, 4, 5, 6, 7, 89);
  CAny v;
  v.SetDATETIME(CDateTime(base));
  Run(state, v);
}
BENCHMARK(BM_LiteralDateTime);

void BM_SnprintfDateTime(benchmark::State& state) {
  char sz[40];
  int a[7] = {2019, 3, 4, 5, 6, 7, 89};
  for (auto _ : state) {
    benchmark::DoNotOptimize(a);
    std::snprintf(sz, sizeof sz, "'%04d-%02d-%02d %02d:%02d:%02d.%03d'", a[0], a[1], a[2], a[3],
                  a[4], a[5], a[6]);
    benchmark::DoNotOptimize(sz);
  }
}
BENCHMARK(BM_SnprintfDateTime);

}  // namespace

int main(int argc, char** argv) { return kqbench::nRunBenchmarks(argc, argv); }
