// The driver object's costs on the server's road.
//
// Finding a registered connection (FindConnection/n): what every operation
// that names a connection pays before it works: the identification built
// from the server's description (its values asked one by one, the password's
// keyed digest), the lookup in the driver's table under the driver lock, and
// the release. n = 1, 1,000 and 100,000 connections registered; the lookups
// cycle over up to 1,000 distinct descriptions so that the table's memo of
// the last entry found does not answer them all. Against
// std::unordered_map<std::wstring, ...>::find on the finished identification
// texts (MapFind/n), the floor of a lookup by text.
//
// One run (i386 native, a loaded 8-core machine, so rough): finding a
// connection 735 ns with 1 registered (the lookup itself is the memo's; the
// identification and its digest are the cost), 1.43 us with 1,000, 2.31 us
// with 100,000; the map's find on the finished text 17 ns, 254 ns, 352 ns:
// 42x, 5.6x and 6.6x. Most of the driver's figure is building the
// identification from the description, which the map is spared.
//
//   build/bench/driver_bench --benchmark_filter=Find
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/bench_context.h"
#include "core/module_entry.h"
#include "driver/connection_description.h"
#include "driver/driver_lock.h"
#include "driver/na_driver.h"
#include "driver/password_digest.h"
#include "host/harness/host_harness.h"
#include "host/harness/standin_connection.h"
#include "kq230/module_exports.h"
#include "tests/mariadb/client_library.h"

namespace {

// Identifications ask the locale service (the connection's keywords): bind
// the framework to the stand-in once, as the driver is bound at load; the
// driver lock and the digest key as the library's start makes them.
bool BindOnce() {
  static const bool bBound = [] {
    void* hVM = dlopen(CHostHarness::pszDefaultVMPath(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (hVM == nullptr) return false;
    _stModuleInitRecord stRecord = {sizeof stRecord, static_cast<HINSTANCE>(hVM), 0, 0, nullptr};
    if (ModuleEntry_nExecution(MODULE_CODE_INIT, &stRecord) != 1) return false;
    CNADriverLock::g_bCreate();
    CNAPasswordDigest::g_DrawKey();
    return true;
  }();
  return bBound;
}

// A connection that is never opened: registration and lookup only.
class CBenchConnection : public CNAConnectionDescription {
 public:
  using CNAConnectionDescription::CNAConnectionDescription;
  int bOpen(CNAError*) override { return 1; }
  int bIsOpen() const override { return 0; }
  int bClose(CNAError*) override { return 1; }
  void _InitZB2NativeType() override {}
};

class CBenchDriver : public CNADriver {
 public:
  CNAConnectionDescription* _pclAllocConnectionDescription(
      const wchar_t* pszIdentification, INAConnectionDescription* piHost) override {
    return new CBenchConnection(pszIdentification, piHost);
  }
};

struct ReleaseHost {
  void operator()(CStandInConnection* p) const { p->nExternalRelease(); }
};

// n registered connections, their descriptions and identifications.
struct Registry {
  CBenchDriver* pclDriver = nullptr;
  std::vector<std::unique_ptr<CStandInConnection, ReleaseHost>> hosts;
  std::vector<std::wstring> identifications;
  ~Registry() {
    if (pclDriver != nullptr) {
      pclDriver->ExternalAddRef();
      pclDriver->nExternalRelease();
    }
  }
};

std::unique_ptr<Registry> MakeRegistry(int64_t n) {
  auto p = std::make_unique<Registry>();
  p->pclDriver = new CBenchDriver();
  p->pclDriver->bInitDriver();
  for (int64_t i = 0; i < n; ++i) {
    CStandInConnection::_stValues st;
    st.strUser = L"user" + std::to_wstring(i);
    st.strPassword = L"Secret-" + std::to_wstring(i * 7919);
    st.strDataSource = L"127.0.0.1";
    st.strExtendedInfo = L"Server Port=3306";
    st.strProvider = L"MariaDB";
    st.strConnectionName = L"CNX" + std::to_wstring(i);
    p->hosts.emplace_back(CStandInConnection::pclNew(st));
    CNAConnectionDescription* pcl = p->pclDriver->_pclGetConnection(p->hosts.back().get());
    // Registered: the table's reference stays, the caller's goes.
    pcl->nRelease();
    p->identifications.emplace_back(pcl->pszGetIdentification());
  }
  return p;
}

constexpr int64_t kCycle = 1000;

void BM_FindConnection(benchmark::State& state) {
  if (!BindOnce()) return state.SkipWithError("the stand-in server did not bind");
  const std::unique_ptr<Registry> p = MakeRegistry(state.range(0));
  const int64_t nCycle = std::min<int64_t>(kCycle, state.range(0));
  int64_t i = 0;
  for (auto _ : state) {
    CNADriverLockFrame clFrame;
    CNAConnectionDescription* pcl = p->pclDriver->_pclFindConnection(p->hosts[i].get());
    benchmark::DoNotOptimize(pcl);
    p->pclDriver->nReleaseConnection(pcl);
    if (++i == nCycle) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_MapFind(benchmark::State& state) {
  if (!BindOnce()) return state.SkipWithError("the stand-in server did not bind");
  const std::unique_ptr<Registry> p = MakeRegistry(state.range(0));
  std::unordered_map<std::wstring, void*> map;
  for (size_t k = 0; k < p->identifications.size(); ++k)
    map.emplace(p->identifications[k], p->hosts[k].get());
  const int64_t nCycle = std::min<int64_t>(kCycle, state.range(0));
  int64_t i = 0;
  for (auto _ : state) {
    auto it = map.find(p->identifications[i]);
    benchmark::DoNotOptimize(it);
    if (++i == nCycle) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_FindConnection)->Arg(1)->Arg(1000)->Arg(100000);
BENCHMARK(BM_MapFind)->Arg(1)->Arg(1000)->Arg(100000);

}  // namespace

// ---- transactions (begin + commit through the host)

// Begin + commit through the driver as the server calls it
// (INADriver::bTransactionBegin / bTransactionCommit on kq230maria.so loaded
// by the stand-in, the connection opened once) against "BEGIN" + "COMMIT" by
// mysql_real_query on a bare client connection, both over TCP: what the
// driver adds to a transaction's two round trips.
//
// One run (i386 native, a loaded 8-core machine, so rough; 3 repetitions):
// driver 18.9 us, client 14.8 us per begin + commit: 1.28x. The driver's part
// is the lock frame, the error reset, the connection's lookup by its
// identification (digest included) and the draining of each statement's
// results; the two round trips to the server dominate both.
//
//   KQ_MARIADB_ENV=/tmp/kqdb/server.env build/bench/driver_bench --benchmark_filter=BeginCommit

namespace {
namespace transactions {


// The driver, the client library and the server's facts, made on first use
// and ended by Stop() (main calls it after the run).
struct Setup {
  bool bReady = false;
  std::string strError;
  _stServerFacts stFacts;
  CHostHarness harness;
  INADriver* piDriver = nullptr;
  kq230::test_support::ClientLibrary library;
};

Setup* g_pSetup = nullptr;

Setup* pclSetup() {
  if (g_pSetup != nullptr) return g_pSetup;
  g_pSetup = new Setup;
  Setup& s = *g_pSetup;
  const char* pszEnv = std::getenv("KQ_MARIADB_ENV");
  if (pszEnv == nullptr || *pszEnv == 0) {
    s.strError = "no server: set KQ_MARIADB_ENV";
  } else if (bReadServerFacts(pszEnv, &s.stFacts, &s.strError) && s.library.Load(&s.strError) &&
             s.harness.bLoad(&s.strError)) {
    s.piDriver = s.harness.piStartNativeAccess(&s.strError);
    s.bReady = s.piDriver != nullptr;
  }
  return g_pSetup;
}

void Stop() {
  if (g_pSetup == nullptr) return;
  if (g_pSetup->piDriver != nullptr) g_pSetup->harness.nStopNativeAccess(g_pSetup->piDriver);
  delete g_pSetup;
  g_pSetup = nullptr;
}

void BM_DriverBeginCommit(benchmark::State& state) {
  Setup* s = pclSetup();
  if (!s->bReady) {
    state.SkipWithError(s->strError.c_str());
    return;
  }
  CStandInConnection* piHost = CStandInConnection::pclNew(
      CStandInConnection::stFromFacts(s->stFacts, CStandInConnection::ROUTE_TCP));
  if (!s->piDriver->bOpenConnection(piHost)) {
    state.SkipWithError("the driver could not open the connection");
  } else {
    for (auto _ : state) {
      if (!s->piDriver->bTransactionBegin(piHost, L"bench") ||
          !s->piDriver->bTransactionCommit(piHost, L"bench")) {
        state.SkipWithError("begin or commit failed");
        break;
      }
    }
    s->piDriver->bCloseConnection(piHost);
  }
  piHost->nExternalRelease();
}

void BM_ClientBeginCommit(benchmark::State& state) {
  Setup* s = pclSetup();
  if (!s->bReady) {
    state.SkipWithError(s->strError.c_str());
    return;
  }
  kq230::test_support::ClientLibrary& lib = s->library;
  MYSQL* pMySQL = lib.init(nullptr);
  if (lib.real_connect(pMySQL, s->stFacts.strHost.c_str(), s->stFacts.strUser.c_str(),
                       s->stFacts.strPassword.c_str(), s->stFacts.strDatabase.c_str(),
                       s->stFacts.nPort, nullptr, 2 | 0x10000) == nullptr) {
    state.SkipWithError("the client library could not connect");
  } else {
    static const char kBegin[] = "BEGIN";
    static const char kCommit[] = "COMMIT";
    for (auto _ : state) {
      if (lib.real_query(pMySQL, kBegin, sizeof kBegin - 1) != 0 ||
          lib.real_query(pMySQL, kCommit, sizeof kCommit - 1) != 0) {
        state.SkipWithError("BEGIN or COMMIT failed");
        break;
      }
    }
  }
  lib.close(pMySQL);
}

BENCHMARK(BM_DriverBeginCommit)->UseRealTime();
BENCHMARK(BM_ClientBeginCommit)->UseRealTime();

}  // namespace transactions
}  // namespace

int main(int argc, char** argv) {
  const int nResult = kqbench::nRunBenchmarks(argc, argv);
  transactions::Stop();  // the driver and the client library of part 2
  return nResult;
}
