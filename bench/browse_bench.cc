// The server's browse of a table through the driver it loaded, against the
// client's own fetch loop on the same rows, in one process and one run.
//
// The driver's road is the server's: kq230maria.so loaded by the stand-in
// host (host/harness/host_harness.h) and started as the server starts it;
// a stand-in connection over the Unix socket with "KQ Cache Size=-2" in its
// extended information (windows of about 1 MiB of the longest row seen); the
// table object from INADriver::piGetTable over a stand-in description of the
// six items (id the primary key), opened for a context of its own; then
// INATable::bHLitxxx FIRST and NEXT on id until out of range, each row asked
// bHEnDehors and bGetRecord as the server asks them, and every byte of the
// record buffer read. The reference runs "SELECT ... ORDER BY id" on its own
// connection over the same socket in utf8mb4 through mysql_real_query,
// mysql_use_result, mysql_fetch_row and mysql_fetch_lengths
// (bench/fetch_reference.h). Tables: kqbench.fetch_reference (1,000,000
// rows, ids 1..N) and its first 10,000 and 100,000 rows copied into
// kqbench.browse_10000 and kqbench.browse_100000 (made once per server).
//
//   FullBrowse     1,000,000 rows: the client CPU per row of the browse over
//                  the reference's -> cpu_ratio (goal <= 1.5). Then, from
//                  where the browse ran out, 40,000 PREVIOUS reads: CPU per
//                  read over the reference's per row -> prev_ratio; beside
//                  it the client's own road back, mysql_data_seek then
//                  mysql_fetch_row over a stored result of the last 40,000
//                  rows read backwards (data_seek_ns_per_read; the client's
//                  data_seek walks its row list from the start each time).
//   CacheBytes     a browse of 200,000 rows by a fresh context: the heap's
//                  growth (mallinfo2, bytes in use) from before its first
//                  read to after its last, per row, over the client's
//                  buffered bytes per row of the same 200,000 rows stored
//                  (mysql_store_result) -> bytes_ratio (goal <= 1.2). The
//                  record cache's own count (llGetBytesHeld) lives behind
//                  the host boundary: the growth is everything the driver
//                  keeps for the browse, its cache first.
//   CostPerRow     full browses of 10^4, 10^5 and 10^6 rows, CPU per row of
//                  each (the curve is printed) -> flat_ratio, 10^6 over 10^4
//                  (goal <= 1.25), with the reference's per row at each size.
//   Seek/<rows>    2,000 bHRecherche, exact on id, of ids spread over the
//                  table, on 10^4 and 10^6 rows: wall and CPU time per seek.
//                  A driver that answers user error 8 (not offered) skips it.
//
// Figures (i386 native, Release, a shared 8-core machine: CPU figures vary
// by some 10-20% from run to run, six runs): FullBrowse 2.2-2.8 us of client
// CPU per row against 0.21-0.26 us for the reference, cpu_ratio 9.1-13.6
// (about 11); the browse ran 1,001 SELECTs (windows of 1,000 rows: the first
// browse of a data access sizes its windows before any row is seen, and
// keyset windows keep that count). PREVIOUS 0.7-1.4 us per read, prev_ratio
// 2.8-6.6 (about 3.2); the client's data_seek road back 260-330 us per read.
// CacheBytes 177.2 bytes per row against the client's 208.7, bytes_ratio
// 0.85. CostPerRow 2.3 / 2.4-2.6 / 2.1-2.7 us per row at 10^4 / 10^5 / 10^6,
// flat_ratio 0.90-1.15. Seek 140-190 us of wall time and 49-68 us of client
// CPU per exact seek at both sizes.
// Where the browse's instructions go (callgrind over CacheBytes' 200,000
// rows, about 19,000 instructions per row): the cells converted into the
// record through the conversion holder as each window is drained, 43%; the
// row packed into the record cache, 11%, and restored from it by the move,
// 12%; the three server calls per row (bHLitxxx, bHEnDehors, bGetRecord)
// with their error resets (six per row), 8%, and the browse item's statement
// found by name twice per row with the locale's comparison, 10%; the client
// library's own fetch, about 4%.
//
// CPU times are the process's (CLOCK_PROCESS_CPUTIME_ID): the client's own,
// the server being another process; the driver runs in this process. One
// iteration each; --benchmark_repetitions for more. The "i386" line says
// whether the figures are native.
//
// Running it:
//   scripts/mariadb-server.sh start /tmp/kqbench
//   KQ_MARIADB_ENV=/tmp/kqbench/server.env build/bench/browse_bench
//   scripts/mariadb-server.sh stop /tmp/kqbench
// The first run against a server generates the tables (some seconds).
// Without KQ_MARIADB_ENV the program says it skipped and succeeds.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <malloc.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_context.h"
#include "bench/fetch_reference.h"
#include "bench/reference_items.h"
#include "host/harness/host_harness.h"
#include "host/harness/standin_connection.h"
#include "host/harness/standin_descriptions.h"
#include "host/harness/standin_objects.h"
#include "kq230/item_type.h"
#include "kq230/na_error_interface.h"
#include "kq230/na_table_interface.h"
#include "kq230/zb_record.h"
#include "tests/support/standin_items.h"
#include "values/any.h"

namespace {

using kqbench::CFetchReference;

constexpr long long kBytesRows = 200000;
constexpr int kPreviousReads = 40000;
constexpr int kSeeks = 2000;
// What a driver answers for an operation it does not offer yet.
constexpr unsigned int kErrNotOffered = 8;
const _eNA_ACCESS kReadWrite = static_cast<_eNA_ACCESS>(0);

struct SizedTable {
  long long llRows;
  const char* pszName;
  const wchar_t* pszWide;
};
const SizedTable kTables[] = {{10000, "browse_10000", L"browse_10000"},
                              {100000, "browse_100000", L"browse_100000"},
                              {1000000, "fetch_reference", L"fetch_reference"}};
const SizedTable& TableOf(long long llRows) {
  for (const SizedTable& t : kTables)
    if (t.llRows == llRows) return t;
  return kTables[2];
}

std::string SelectById(const SizedTable& t) {
  return std::string("SELECT id, code, name, amount, created, note FROM kqbench.") + t.pszName +
         " ORDER BY id";
}


size_t nHeapBytesInUse() {
  const struct mallinfo2 stInfo = mallinfo2();
  return stInfo.uordblks + stInfo.hblkhd;
}

int64_t llWallNanoseconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The reference, the driver loaded by the stand-in host and its connection,
// made once by main.
struct Setup {
  CFetchReference reference;
  MYSQL* pReference = nullptr;
  CHostHarness harness;
  INADriver* piDriver = nullptr;
  CStandInConnection* piHost = nullptr;
  unsigned int dwNextContext = 1;
  std::string strError;
};

Setup* g_pSetup = nullptr;

// kqbench.browse_<n>: the first n rows of the reference table, made when
// missing or of another size.
bool bPrepareSizedTable(Setup* s, const SizedTable& t) {
  if (t.llRows == kqbench::kFetchReferenceRows) return true;
  const std::string strTable = std::string("kqbench.") + t.pszName;
  if (!s->reference.bExecute(s->pReference,
                             "CREATE TABLE IF NOT EXISTS " + strTable +
                                 " LIKE kqbench.fetch_reference",
                             &s->strError))
    return false;
  const long long llRows =
      s->reference.llSelectNumber(s->pReference, "SELECT COUNT(*) FROM " + strTable, &s->strError);
  if (llRows < 0) return false;
  if (llRows == t.llRows) return true;
  return s->reference.bExecute(s->pReference, "TRUNCATE TABLE " + strTable, &s->strError) &&
         s->reference.bExecute(s->pReference,
                               "INSERT INTO " + strTable +
                                   " SELECT * FROM kqbench.fetch_reference WHERE id <= " +
                                   std::to_string(t.llRows),
                               &s->strError);
}

bool bMakeSetup(Setup* s, bool* pbNoServer) {
  if (!s->reference.bStart(&s->strError, pbNoServer)) return false;
  s->pReference = s->reference.pConnect(kqbench::eTransport::kUnixSocket, &s->strError);
  if (s->pReference == nullptr || !s->reference.bPrepareTable(s->pReference, &s->strError))
    return false;
  for (const SizedTable& t : kTables)
    if (!bPrepareSizedTable(s, t)) return false;

  _stServerFacts stFacts;
  if (!bReadServerFacts(std::getenv("KQ_MARIADB_ENV"), &stFacts, &s->strError)) return false;
  if (!s->harness.bLoad(&s->strError)) return false;
  s->piDriver = s->harness.piStartNativeAccess(&s->strError);
  if (s->piDriver == nullptr) return false;
  CStandInConnection::_stValues stValues =
      CStandInConnection::stFromFacts(stFacts, CStandInConnection::ROUTE_SOCKET);
  // The tables' database, so that the descriptions name the tables alone;
  // the cache size as a connection's extended parameter.
  stValues.strDefaultDataBase = L"kqbench";
  stValues.strExtendedInfo = *stValues.strExtendedInfo + L";KQ Cache Size=-2";
  s->piHost = CStandInConnection::pclNew(stValues);
  return true;
}

void EndSetup(Setup* s) {
  if (s->piHost != nullptr) s->piHost->nExternalRelease();
  s->piHost = nullptr;
  // The driver's stop ends the client library's global state: the
  // reference's connection goes first.
  if (s->pReference != nullptr) s->reference.Library().close(s->pReference);
  s->pReference = nullptr;
  if (s->piDriver != nullptr) s->harness.nStopNativeAccess(s->piDriver);
  s->piDriver = nullptr;
}

// One table opened by a context of its own, as the server holds it: its
// description, the driver's table object, the context; everything let go by
// the destructor (the context closed in the driver).
class HostTable {
 public:
  HostTable(Setup* s, const wchar_t* pszTable) : m_s(s), m_ctx(s->dwNextContext++, 1) {
    m_piSource = CStandInDescription::pclNew(pszTable, kqbench::ReferenceTableItems(), 12);
    if (m_piSource == nullptr) {
      m_strError = "no stand-in description";
      return;
    }
    m_piId = m_piSource->piNAGetItem(L"id");
    m_piTable = s->piDriver->piGetTable(s->piHost, m_piSource);
    if (m_piTable == nullptr) {
      m_strError = "piGetTable: " + kqbench::Narrow(s->piDriver->piGetLastError()->pszGetError());
      return;
    }
    if (m_piTable->bHOuvre(&m_ctx, kReadWrite, nullptr) != 1) {
      m_strError = "bHOuvre: " + LastError();
      return;
    }
    m_bReady = true;
  }
  ~HostTable() {
    if (m_piTable != nullptr) {
      if (m_bReady) m_piTable->bHFerme(&m_ctx);
      m_s->piDriver->bCloseContext(&m_ctx);
      m_piTable->nExternalRelease();
    }
    if (m_piId != nullptr) m_piId->nExternalRelease();
    if (m_piSource != nullptr) m_piSource->nExternalRelease();
  }
  HostTable(const HostTable&) = delete;
  HostTable& operator=(const HostTable&) = delete;

  bool bReady() const { return m_bReady; }
  const std::string& Error() const { return m_strError; }
  INATable* Table() const { return m_piTable; }
  INAContext* Context() { return &m_ctx; }
  unsigned int nChecksum() const { return m_nChecksum; }

  std::string LastError() {
    INAError* pi = m_piTable->piGetLastError(&m_ctx);
    return pi != nullptr ? kqbench::Narrow(pi->pszGetError()) : "(no error)";
  }
  unsigned int nLastErrorId() {
    INAError* pi = m_piTable->piGetLastError(&m_ctx);
    return pi != nullptr ? pi->dwGetErrorId() : 0;
  }

  // The server's look at the row a command left current: out of range,
  // else the record, every byte of it read; *pnId the row's id (-1 out).
  bool bLookAtCurrent(int* pnId) {
    int bOut = 1;
    if (!m_piTable->bHEnDehors(&m_ctx, L"id", &bOut)) return bFail("bHEnDehors");
    if (bOut) {
      *pnId = -1;
      return true;
    }
    CNAZBRecordBase* pclRecord = nullptr;
    if (!m_piTable->bGetRecord(&m_ctx, &pclRecord) || pclRecord == nullptr)
      return bFail("bGetRecord");
    const unsigned char* pby = pclRecord->pbyGetBuffer();
    const int nLength = pclRecord->nGetBufferLength();
    unsigned int nSum = m_nChecksum;
    int i = 0;
    for (; i + 4 <= nLength; i += 4) {
      uint32_t dw;
      std::memcpy(&dw, pby + i, 4);
      nSum += dw;
    }
    for (; i < nLength; ++i) nSum += pby[i];
    m_nChecksum = nSum;
    const unsigned char* pbyId = pclRecord->vpbyGetItemValue(m_piId, -1);
    if (pbyId == nullptr) return bFail("no id in the record");
    std::memcpy(pnId, pbyId, sizeof(int));
    return true;
  }

  // One bHLitxxx on id; *pnId as bLookAtCurrent.
  bool bRead(eNA_PARSEDIRECTION eDirection, int* pnId) {
    eNA_LOCKTYPE eGot = NA_LOCK_DEFAULT;
    if (!m_piTable->bHLitxxx(&m_ctx, L"id", eDirection, 0, NA_LOCK_NONE, &eGot, 0)) {
      // A read past an end may answer 0 without an error.
      int bOut = 0;
      if (nLastErrorId() == 0 && m_piTable->bHEnDehors(&m_ctx, L"id", &bOut) && bOut) {
        *pnId = -1;
        return true;
      }
      return bFail("bHLitxxx");
    }
    return bLookAtCurrent(pnId);
  }

  // FIRST, then NEXT until out of range or llMax rows; each row's id must be
  // its rank + 1. The rows read, or -1 with Error().
  long long llBrowse(long long llMax) {
    long long llRows = 0;
    int nId = 0;
    if (!bRead(NA_PARSE_FIRST, &nId)) return -1;
    while (nId >= 0) {
      if (nId != llRows + 1) return llWrong(llRows, nId);
      if (++llRows >= llMax) break;
      if (!bRead(NA_PARSE_NEXT, &nId)) return -1;
    }
    return llRows;
  }

  // llCount PREVIOUS reads; the first must give nFirstId, each next the id
  // before. False with Error().
  bool bPrevious(int llCount, int nFirstId) {
    int nId = 0;
    for (int i = 0; i < llCount; ++i) {
      if (!bRead(NA_PARSE_PREVIOUS, &nId)) return false;
      if (nId != nFirstId - i) {
        m_strError = "PREVIOUS " + std::to_string(i) + " read id " + std::to_string(nId) +
                     ", expected " + std::to_string(nFirstId - i);
        return false;
      }
    }
    return true;
  }

 private:
  bool bFail(const char* pszWhat) {
    m_strError = std::string(pszWhat) + " failed: " + LastError();
    return false;
  }
  long long llWrong(long long llRows, int nId) {
    m_strError = "row " + std::to_string(llRows) + " has id " + std::to_string(nId);
    return -1;
  }

  Setup* m_s;
  CStandInContext m_ctx;
  CStandInDescription* m_piSource = nullptr;
  INAItemDescription* m_piId = nullptr;
  INATable* m_piTable = nullptr;
  std::string m_strError;
  unsigned int m_nChecksum = 0;
  bool m_bReady = false;
};

// The reference loop over every row of the table in the browse's order; its
// CPU in ns, or -1 with *pstrError.
double dReferencePass(Setup* s, const SizedTable& t, std::string* pstrError) {
  kqbench::FetchTally tally;
  const int64_t llT0 = kqbench::llProcessCpuNanoseconds();
  if (!s->reference.bFetchAll(s->pReference, SelectById(t), kqbench::eFetch::kUseResult, t.llRows,
                              &tally, pstrError))
    return -1;
  const int64_t llT1 = kqbench::llProcessCpuNanoseconds();
  benchmark::DoNotOptimize(tally.nChecksum);
  return static_cast<double>(llT1 - llT0);
}

// The client's own road back: a stored result of the last nReads rows of
// the reference table, read backwards by mysql_data_seek + mysql_fetch_row.
// CPU ns per read (the store not counted), or -1 with *pstrError.
double dDataSeekNsPerRead(Setup* s, int nReads, std::string* pstrError) {
  using DataSeek = void (*)(MYSQL_RES*, my_ulonglong);
  static DataSeek pfnDataSeek = [] {
    void* h = dlopen("libmariadb.so.3", RTLD_NOW | RTLD_NOLOAD);
    if (h == nullptr) h = dlopen("libmariadb.so", RTLD_NOW | RTLD_NOLOAD);
    return h != nullptr ? reinterpret_cast<DataSeek>(dlsym(h, "mysql_data_seek")) : nullptr;
  }();
  if (pfnDataSeek == nullptr) {
    *pstrError = "the client library has no mysql_data_seek";
    return -1;
  }
  auto& lib = s->reference.Library();
  const std::string sql =
      "SELECT id, code, name, amount, created, note FROM kqbench.fetch_reference WHERE id > " +
      std::to_string(kqbench::kFetchReferenceRows - nReads) + " ORDER BY id";
  if (!s->reference.bExecute(s->pReference, sql, pstrError)) return -1;
  MYSQL_RES* pResult = lib.store_result(s->pReference);
  if (pResult == nullptr) {
    *pstrError = std::string("no stored result: ") + lib.error_of(s->pReference);
    return -1;
  }
  const unsigned int nFields = lib.num_fields(pResult);
  unsigned int nChecksum = 0;
  int nRead = 0;
  const int64_t llT0 = kqbench::llProcessCpuNanoseconds();
  for (int i = nReads - 1; i >= 0; --i) {
    pfnDataSeek(pResult, static_cast<my_ulonglong>(i));
    MYSQL_ROW row = lib.fetch_row(pResult);
    if (row == nullptr) break;
    const unsigned long* anLengths = lib.fetch_lengths(pResult);
    for (unsigned int c = 0; c < nFields; ++c)
      if (anLengths[c] != 0) nChecksum += static_cast<unsigned char>(row[c][0]);
    ++nRead;
  }
  const int64_t llT1 = kqbench::llProcessCpuNanoseconds();
  lib.free_result(pResult);
  benchmark::DoNotOptimize(nChecksum);
  if (nRead != nReads) {
    *pstrError = "data_seek read " + std::to_string(nRead) + " rows";
    return -1;
  }
  return static_cast<double>(llT1 - llT0) / nReads;
}

// The SELECTs the server ran so far, every session's (this asking
// included), or -1 with *pstrError.
long long llSelects(Setup* s, std::string* pstrError) {
  return s->reference.llSelectNumber(
      s->pReference,
      "SELECT VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS WHERE VARIABLE_NAME = "
      "'COM_SELECT'",
      pstrError);
}

void FullBrowse(benchmark::State& state) {
  Setup* s = g_pSetup;
  const SizedTable& t = TableOf(kqbench::kFetchReferenceRows);
  double dReference = 0, dBrowse = 0, dPrevious = 0, dWindows = 0;
  std::string strError;
  for (auto _ : state) {
    HostTable table(s, t.pszWide);
    if (!table.bReady()) return state.SkipWithError(table.Error().c_str());
    const double dRef = dReferencePass(s, t, &strError);
    if (dRef < 0) return state.SkipWithError(("reference: " + strError).c_str());
    const long long llSelectsBefore = llSelects(s, &strError);
    const int64_t llT0 = kqbench::llProcessCpuNanoseconds();
    const long long llRows = table.llBrowse(t.llRows + 1);
    const int64_t llT1 = kqbench::llProcessCpuNanoseconds();
    if (llRows != t.llRows)
      return state.SkipWithError(("browse: " + std::to_string(llRows) + " rows; " + table.Error()).c_str());
    const long long llSelectsAfter = llSelects(s, &strError);
    if (llSelectsBefore < 0 || llSelectsAfter < 0)
      return state.SkipWithError(("Com_select: " + strError).c_str());
    // The second asking counts itself.
    dWindows += static_cast<double>(llSelectsAfter - llSelectsBefore - 1);
    // Out of range after the last row: PREVIOUS reads the last row first.
    if (!table.bPrevious(kPreviousReads, static_cast<int>(t.llRows)))
      return state.SkipWithError(("previous: " + table.Error()).c_str());
    const int64_t llT2 = kqbench::llProcessCpuNanoseconds();
    benchmark::DoNotOptimize(table.nChecksum());
    dReference += dRef;
    dBrowse += static_cast<double>(llT1 - llT0);
    dPrevious += static_cast<double>(llT2 - llT1);
  }
  const double dDataSeek = dDataSeekNsPerRead(s, kPreviousReads, &strError);
  if (dDataSeek < 0) return state.SkipWithError(("data_seek: " + strError).c_str());

  const double n = static_cast<double>(state.iterations());
  const double dRows = static_cast<double>(t.llRows) * n;
  const double dRefPerRow = dReference / dRows;
  state.counters["reference_cpu_ms"] = dReference / n / 1e6;
  state.counters["browse_cpu_ms"] = dBrowse / n / 1e6;
  state.counters["reference_ns_per_row"] = dRefPerRow;
  state.counters["browse_ns_per_row"] = dBrowse / dRows;
  state.counters["cpu_ratio"] = dBrowse / dReference;
  state.counters["browse_selects"] = dWindows / n;
  const double dPrevPerRead = dPrevious / (kPreviousReads * n);
  state.counters["prev_ns_per_read"] = dPrevPerRead;
  state.counters["prev_ratio"] = dPrevPerRead / dRefPerRow;
  state.counters["data_seek_ns_per_read"] = dDataSeek;
  state.counters["data_seek_ratio"] = dDataSeek / dRefPerRow;
}

void CacheBytes(benchmark::State& state) {
  Setup* s = g_pSetup;
  const SizedTable& t = TableOf(kqbench::kFetchReferenceRows);
  double dGrowth = 0;
  std::string strError;
  for (auto _ : state) {
    HostTable table(s, t.pszWide);
    if (!table.bReady()) return state.SkipWithError(table.Error().c_str());
    const size_t nBefore = nHeapBytesInUse();
    const long long llRows = table.llBrowse(kBytesRows);
    const size_t nAfter = nHeapBytesInUse();
    if (llRows != kBytesRows)
      return state.SkipWithError(("browse: " + std::to_string(llRows) + " rows; " + table.Error()).c_str());
    dGrowth += static_cast<double>(nAfter) - static_cast<double>(nBefore);
  }
  long long llStored = 0;
  const double dClient = s->reference.dStoredBytesPerRow(
      s->pReference, SelectById(t) + " LIMIT " + std::to_string(kBytesRows), &llStored, &strError);
  if (dClient <= 0 || llStored != kBytesRows)
    return state.SkipWithError(("store_result: " + strError).c_str());
  const double dDriver = dGrowth / static_cast<double>(state.iterations()) / kBytesRows;
  state.counters["driver_heap_bytes_per_row"] = dDriver;
  state.counters["client_buffered_bytes_per_row"] = dClient;
  state.counters["bytes_ratio"] = dDriver / dClient;
}

void CostPerRow(benchmark::State& state) {
  Setup* s = g_pSetup;
  // Small tables browse more often, so that each figure rests on a second or so.
  const int anPasses[] = {40, 6, 1};
  double adBrowse[3] = {}, adReference[3] = {};
  std::string strError;
  for (auto _ : state) {
    for (int k = 0; k < 3; ++k) {
      const SizedTable& t = kTables[k];
      HostTable table(s, t.pszWide);
      if (!table.bReady()) return state.SkipWithError(table.Error().c_str());
      for (int p = 0; p < anPasses[k]; ++p) {
        const double dRef = dReferencePass(s, t, &strError);
        if (dRef < 0) return state.SkipWithError(("reference: " + strError).c_str());
        const int64_t llT0 = kqbench::llProcessCpuNanoseconds();
        const long long llRows = table.llBrowse(t.llRows + 1);
        const int64_t llT1 = kqbench::llProcessCpuNanoseconds();
        if (llRows != t.llRows)
          return state.SkipWithError(
              ("browse: " + std::to_string(llRows) + " rows; " + table.Error()).c_str());
        adBrowse[k] += static_cast<double>(llT1 - llT0);
        adReference[k] += dRef;
      }
    }
  }
  const char* apszLabel[] = {"1e4", "1e5", "1e6"};
  double adPerRow[3];
  std::printf("browse cost per row (client CPU):\n");
  for (int k = 0; k < 3; ++k) {
    const double dRows =
        static_cast<double>(kTables[k].llRows) * anPasses[k] * static_cast<double>(state.iterations());
    adPerRow[k] = adBrowse[k] / dRows;
    const double dRefPerRow = adReference[k] / dRows;
    std::printf("  %8lld rows  driver %8.1f ns/row  reference %7.1f ns/row  ratio %5.2f\n",
                kTables[k].llRows, adPerRow[k], dRefPerRow, adPerRow[k] / dRefPerRow);
    state.counters[std::string("ns_per_row_") + apszLabel[k]] = adPerRow[k];
    state.counters[std::string("reference_ns_per_row_") + apszLabel[k]] = dRefPerRow;
  }
  std::fflush(stdout);
  state.counters["flat_ratio"] = adPerRow[2] / adPerRow[0];
}

void Seek(benchmark::State& state) {
  Setup* s = g_pSetup;
  const SizedTable& t = TableOf(state.range(0));
  // Ids spread over the whole table (a fixed stride prime to its size).
  std::vector<int> anIds;
  for (int i = 0; i < kSeeks; ++i)
    anIds.push_back(static_cast<int>((static_cast<long long>(i) * 7919 * 131 + 17) % t.llRows) + 1);
  double dWall = 0, dCpu = 0;
  for (auto _ : state) {
    HostTable table(s, t.pszWide);
    if (!table.bReady()) return state.SkipWithError(table.Error().c_str());
    CAny clValue;
    const int64_t llW0 = llWallNanoseconds();
    const int64_t llC0 = kqbench::llProcessCpuNanoseconds();
    for (int nId : anIds) {
      clValue.SetI4(nId);
      eNA_LOCKTYPE eGot = NA_LOCK_DEFAULT;
      if (!table.Table()->bHRecherche(table.Context(), L"id", &clValue, 0, 0, NA_LOCK_NONE, &eGot,
                                      0, 0)) {
        if (table.nLastErrorId() == kErrNotOffered) {
          const std::string strSkip =
              "skipped: bHRecherche is not offered by this driver yet (user error 8: " +
              table.LastError() + ")";
          std::fprintf(stderr, "browse_bench: Seek/%lld %s\n", t.llRows, strSkip.c_str());
          return state.SkipWithError(strSkip.c_str());
        }
        return state.SkipWithError(("bHRecherche: " + table.LastError()).c_str());
      }
      int bFound = 0, bEvaluated = 0;
      int nGot = -1;
      if (!table.Table()->bEvalHTrouve(table.Context(), L"id", &bFound, &bEvaluated) || !bFound ||
          !table.bLookAtCurrent(&nGot) || nGot != nId)
        return state.SkipWithError(("seek of id " + std::to_string(nId) + " found " +
                                    std::to_string(nGot) + " " + table.Error())
                                       .c_str());
    }
    const int64_t llC1 = kqbench::llProcessCpuNanoseconds();
    const int64_t llW1 = llWallNanoseconds();
    dWall += static_cast<double>(llW1 - llW0);
    dCpu += static_cast<double>(llC1 - llC0);
  }
  const double dSeeks = static_cast<double>(kSeeks) * static_cast<double>(state.iterations());
  state.counters["seek_wall_us"] = dWall / dSeeks / 1e3;
  state.counters["seek_cpu_us"] = dCpu / dSeeks / 1e3;
}

// One pass of 10^6 rows is seconds: one iteration each.
BENCHMARK(FullBrowse)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(CacheBytes)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(CostPerRow)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Seek)->Arg(10000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  kqbench::AddEmulationContext();

  auto* s = new Setup;
  bool bNoServer = false;
  if (!bMakeSetup(s, &bNoServer)) {
    std::fprintf(stderr, "browse_bench: %s%s\n", bNoServer ? "skipped: " : "", s->strError.c_str());
    EndSetup(s);
    delete s;
    return bNoServer ? 0 : 1;
  }
  g_pSetup = s;
  // The server's pages of the table warm before any figure is taken.
  std::string strError;
  if (dReferencePass(s, TableOf(kqbench::kFetchReferenceRows), &strError) < 0) {
    std::fprintf(stderr, "browse_bench: %s\n", strError.c_str());
    EndSetup(s);
    delete s;
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  EndSetup(s);
  delete s;
  g_pSetup = nullptr;
  return 0;
}
