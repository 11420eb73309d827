// What the driver adds to a connection: opening and closing one through the
// driver as the server does (INADriver::bOpenConnection / bCloseConnection on
// kq230maria.so loaded by the stand-in), against the client library's own
// mysql_init + mysql_real_connect + mysql_close, over TCP and the Unix socket;
// and the driver-lock frame, alone and nested three deep, against a bare
// recursive pthread mutex.
//
// One run (i386 native, a loaded 8-core machine, so rough): driver / client
// open + close 3.1x over TCP (731 vs 237 us) and 1.5x over the socket (350 vs
// 236 us); the driver also sets utf8mb4 with one more round trip. Lock frame
// 2.2x a bare recursive mutex (25 vs 12 ns), 2.3x nested three deep (105 vs
// 45 ns).
//
//   scripts/mariadb-server.sh start /tmp/kqdb
//   KQ_MARIADB_ENV=/tmp/kqdb/server.env build/bench/connect_bench
#include <pthread.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_context.h"
#include "driver/driver_lock.h"
#include "host/harness/host_harness.h"
#include "host/harness/standin_connection.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/server_env.h"

namespace {

kq230::test_support::ClientLibrary* g_pLibrary = nullptr;
_stServerFacts g_stFacts;
INADriver* g_piDriver = nullptr;

void BM_DriverOpenClose(benchmark::State& state, CStandInConnection::eRoute eRoute) {
  if (g_piDriver == nullptr) {
    state.SkipWithError("no server: set KQ_MARIADB_ENV");
    return;
  }
  CStandInConnection* p =
      CStandInConnection::pclNew(CStandInConnection::stFromFacts(g_stFacts, eRoute));
  for (auto _ : state) {
    if (!g_piDriver->bOpenConnection(p) || !g_piDriver->bCloseConnection(p)) {
      state.SkipWithError("the driver could not open the connection");
      break;
    }
  }
  p->nExternalRelease();
}

void BM_ClientOpenClose(benchmark::State& state, CStandInConnection::eRoute eRoute) {
  if (g_pLibrary == nullptr) {
    state.SkipWithError("no server: set KQ_MARIADB_ENV");
    return;
  }
  bool bTcp = eRoute == CStandInConnection::ROUTE_TCP;
  for (auto _ : state) {
    MYSQL* pMySQL = g_pLibrary->init(nullptr);
    if (g_pLibrary->real_connect(pMySQL, bTcp ? g_stFacts.strHost.c_str() : "localhost",
                                 g_stFacts.strUser.c_str(), g_stFacts.strPassword.c_str(),
                                 g_stFacts.strDatabase.c_str(), bTcp ? g_stFacts.nPort : 0,
                                 bTcp ? nullptr : g_stFacts.strSocket.c_str(),
                                 2 | 0x10000) == nullptr) {
      g_pLibrary->close(pMySQL);
      state.SkipWithError("the client library could not connect");
      break;
    }
    g_pLibrary->close(pMySQL);
  }
}

BENCHMARK_CAPTURE(BM_DriverOpenClose, tcp, CStandInConnection::ROUTE_TCP)->UseRealTime();
BENCHMARK_CAPTURE(BM_ClientOpenClose, tcp, CStandInConnection::ROUTE_TCP)->UseRealTime();
BENCHMARK_CAPTURE(BM_DriverOpenClose, socket, CStandInConnection::ROUTE_SOCKET)->UseRealTime();
BENCHMARK_CAPTURE(BM_ClientOpenClose, socket, CStandInConnection::ROUTE_SOCKET)->UseRealTime();

// The lock frame of the driver linked here (its own lock, made for the run).
void BM_LockFrame(benchmark::State& state) {
  int nDepth = static_cast<int>(state.range(0));
  for (auto _ : state) {
    if (nDepth == 1) {
      CNADriverLockFrame a;
      benchmark::ClobberMemory();
    } else {
      CNADriverLockFrame a;
      CNADriverLockFrame b;
      CNADriverLockFrame c;
      benchmark::ClobberMemory();
    }
  }
}

void BM_RecursiveMutex(benchmark::State& state) {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_t mutex;
  pthread_mutex_init(&mutex, &attr);
  int nDepth = static_cast<int>(state.range(0));
  for (auto _ : state) {
    for (int i = 0; i < nDepth; ++i) pthread_mutex_lock(&mutex);
    benchmark::ClobberMemory();
    for (int i = 0; i < nDepth; ++i) pthread_mutex_unlock(&mutex);
  }
  pthread_mutex_destroy(&mutex);
  pthread_mutexattr_destroy(&attr);
}

BENCHMARK(BM_LockFrame)->Arg(1)->Arg(3);
BENCHMARK(BM_RecursiveMutex)->Arg(1)->Arg(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  kqbench::AddEmulationContext();

  CNADriverLock::g_bCreate();
  const char* pszEnv = std::getenv("KQ_MARIADB_ENV");
  std::string strError;
  CHostHarness harness;
  kq230::test_support::ClientLibrary library;
  if (pszEnv == nullptr || !bReadServerFacts(pszEnv, &g_stFacts, &strError)) {
    std::fprintf(stderr, "connect_bench: no server (%s): the lock only\n",
                 pszEnv == nullptr ? "KQ_MARIADB_ENV unset" : strError.c_str());
    benchmark::RunSpecifiedBenchmarks();
  } else {
    if (!library.Load(&strError) || !harness.bLoad(&strError) ||
        (g_piDriver = harness.piStartNativeAccess(&strError)) == nullptr) {
      std::fprintf(stderr, "connect_bench: %s\n", strError.c_str());
      return 1;
    }
    g_pLibrary = &library;
    benchmark::RunSpecifiedBenchmarks();
    harness.nStopNativeAccess(g_piDriver);
  }
  CNADriverLock::g_Destroy();
  benchmark::Shutdown();
  return 0;
}
