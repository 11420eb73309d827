// Turning fetched cells into values: the per-cell cost of every browse, paid
// once per column and row after the client library has handed the row over.
//
// 100,000 rows of eight columns are fetched once (text protocol, UTF-8
// connection, mysql_store_result) and kept in the client library's memory:
//
//   Int       INT                 "-123456789"       NA_IT_I4          4-byte slot
//   BigInt    BIGINT              "265443576043912"  NA_IT_I8          8-byte slot
//   Decimal   DECIMAL(12,2)       "-249876.43"       NA_IT_DECIMAL     18-byte slot
//   Double    DOUBLE              "14287.47142857"   NA_IT_R8          8-byte slot
//   Ascii     VARCHAR(40), ASCII  "Customer 17 East" NA_IT_TEXTE       41-byte slot
//   Utf8      VARCHAR(40), 2- to 4-byte characters   NA_IT_UNICODE     82-byte slot (UTF-16)
//   DateTime  DATETIME(3)                            NA_IT_DATETIME    8-byte slot
//   Blob      BLOB of 1,024 bytes                    NA_IT_BINAIRE     1,026-byte slot
//
// Each benchmark iteration converts every cell of one column (or of the whole
// row: All) through CNAConvertVariant::bSetValueDB, as the column of a record
// does:
//   Slots   into the column's fixed raw slot of one record buffer (mode 3);
//   Any     into the holder's language value (mode 1);
//   Copy    a bare memcpy of the same cells into the same slots, bounded by
//           the slot: the floor any conversion is read against.
//   Fetch   (All only) the raw fetch of the same rows over TCP, wall time:
//           what a browse pays before any cell becomes a value.
// The holders, their analysis items (CNAItemDescription) and the record
// buffer are set up once, outside the timed loop. "items" are cells per
// second; "per_cell" its inverse. The per-type ratio is Slots/Copy and
// Any/Copy. The per-column benchmarks read each column's cells packed one
// after the other (so that they time the conversion, not a cache miss per
// cell); All reads the rows where the client library keeps them.
//
// One run (i386 native, a loaded 8-core machine, medians of 5), ns per cell,
// slots / language value / bare copy:
//   Int 37 / 50 / 2.3       BigInt 50 / 61 / 2.2      Decimal 1695 / 1798 / 2.2
//   Double 58 / 68 / 2.2    Ascii 26 / 28 / 2.7       Utf8 81 / 61 / 3.7
//   DateTime 45 / 75 / 2.3  Blob 146 / 133 / 123 (1 KB: the copy itself)
//   All 278 / 300 / 22 (2.2 / 2.4 us a row); Fetch 225 ns a cell (1.8 us a row).
// The decimal is the stand-in's decimal factory reading the text (nine
// tenths of a row); without it a row converts in about 0.55 us.
// The binary column is a fixed binary item (a 16-bit length and the bytes):
// a binary memo has no slot of its own in the record, only a language value.
//
// Texts and decimals go through the server's string allocator and decimal
// factory: the framework is bound to the stand-in server for them, whose
// allocator takes a lock and keeps a registry of live buffers, so the figures
// of those columns include that bookkeeping.
//
// Running it:
//   scripts/mariadb-server.sh start /tmp/kqbench
//   KQ_MARIADB_ENV=/tmp/kqbench/server.env build/bench/value_conversion_bench
//   scripts/mariadb-server.sh stop /tmp/kqbench
// Prefix qemu-i386 where the kernel does not run i386 programs itself; under
// the emulator compare the figures with each other only. The first run
// against a server generates kqbench.value_conversion inside it (some
// seconds); later runs reuse it.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_context.h"
#include "core/module_entry.h"
#include "driver/na_error.h"
#include "host/harness/host_harness.h"
#include "items/convert_variant.h"
#include "items/item_description.h"
#include "kq230/module_exports.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/server_env.h"
#include "values/value_calc.h"
#include "values/value_conversion.h"

namespace kq230 {
namespace {

using test_support::ClientLibrary;
using test_support::MariadbServer;

constexpr long long kRows = 100000;
constexpr unsigned int kUtf8CodePage = 65001;

// The columns in the order of the SELECT.
enum Column : int { kInt, kBigInt, kDecimal, kDouble, kAscii, kUtf8, kDateTime, kBlob, kColumns };

struct ColumnSpec {
  const char* pszName;
  eNA_ITEMTYPE eItem;
  int nItemSize;  // the slot's bytes
  int nIntegerDigits;
  int nDecimalDigits;
};

const ColumnSpec kSpecs[kColumns] = {
    {"Int", NA_IT_I4, 4, 0, 0},
    {"BigInt", NA_IT_I8, 8, 0, 0},
    // The decimal's record form is the 18 bytes of the language's decimal.
    {"Decimal", NA_IT_DECIMAL, 18, 10, 2},
    {"Double", NA_IT_R8, 8, 0, 0},
    {"Ascii", NA_IT_TEXTE, 41, 0, 0},
    // 40 characters of UTF-16 and the terminator.
    {"Utf8", NA_IT_UNICODE, 82, 0, 0},
    {"DateTime", NA_IT_DATETIME, 8, 0, 3},
    {"Blob", NA_IT_BINAIRE, 1026, 0, 0},
};

// Set once by main() before any benchmark runs: the stored result (its rows
// stay in the client library's memory until main frees it), each row's cells
// and their lengths; and each column's cells again, one after the other.
struct Fetched {
  std::vector<MYSQL_ROW> rows;
  std::vector<unsigned long> lengths;  // kColumns per row
  // The column's cells packed: the per-column benchmarks read them, so that
  // they measure the conversion and not a cache miss per cell scattered over
  // the library's 120 MB of rows (a browse converts a row as it arrives).
  struct Packed {
    std::vector<char> bytes;
    std::vector<unsigned int> offsets;  // kRows + 1
  } columns[kColumns];

  const char* pCell(long long nRow, int nColumn) const { return rows[nRow][nColumn]; }
  unsigned int nLength(long long nRow, int nColumn) const {
    return static_cast<unsigned int>(lengths[nRow * kColumns + nColumn]);
  }
  void Pack() {
    for (int c = 0; c < kColumns; ++c) {
      Packed& column = columns[c];
      column.offsets.assign(1, 0);
      for (long long r = 0; r < static_cast<long long>(rows.size()); ++r) {
        column.bytes.insert(column.bytes.end(), pCell(r, c), pCell(r, c) + nLength(r, c));
        column.offsets.push_back(static_cast<unsigned int>(column.bytes.size()));
      }
    }
  }
};
const Fetched* fetched = nullptr;
bool bBound = false;
// The open connection, for the raw fetch the conversions are read against.
ClientLibrary* library = nullptr;
MYSQL* connection = nullptr;

constexpr char kSelect[] =
    "SELECT i, b, d, r, a, u, t, x FROM kqbench.value_conversion ORDER BY id";

// ---- The server and the rows

MYSQL* Connect(ClientLibrary& library, const MariadbServer& server, std::string* pstrError) {
  MYSQL* mysql = library.init(nullptr);
  if (mysql == nullptr) {
    *pstrError = "mysql_init failed";
    return nullptr;
  }
  unsigned int nProtocol = MYSQL_PROTOCOL_TCP;
  library.options(mysql, MYSQL_OPT_PROTOCOL, &nProtocol);
  library.options(mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4");
  if (library.real_connect(mysql, server.host.c_str(), server.user.c_str(),
                           server.password.c_str(), server.database.c_str(), server.port,
                           nullptr, 0) == nullptr) {
    *pstrError = std::string("cannot connect: ") + library.error_of(mysql);
    library.close(mysql);
    return nullptr;
  }
  return mysql;
}

bool bExecute(ClientLibrary& library, MYSQL* mysql, const std::string& strSQL,
              std::string* pstrError) {
  if (library.real_query(mysql, strSQL.data(), strSQL.size()) != 0) {
    *pstrError = strSQL.substr(0, 60) + ": " + library.error_of(mysql);
    return false;
  }
  return true;
}

long long llSelectNumber(ClientLibrary& library, MYSQL* mysql, const std::string& strSQL,
                         std::string* pstrError) {
  if (!bExecute(library, mysql, strSQL, pstrError)) return -1;
  MYSQL_RES* result = library.store_result(mysql);
  if (result == nullptr) {
    *pstrError = strSQL + ": no result";
    return -1;
  }
  MYSQL_ROW row = library.fetch_row(result);
  const long long ll = row != nullptr && row[0] != nullptr ? std::stoll(row[0]) : -1;
  library.free_result(result);
  if (ll < 0) *pstrError = strSQL + ": no number";
  return ll;
}

// Makes kqbench.value_conversion hold exactly kRows rows, generating them in
// the server unless an earlier run did. Row n is a function of n only, so
// the figures of two runs compare.
bool bPrepareTable(ClientLibrary& library, MYSQL* mysql, std::string* pstrError) {
  if (!bExecute(library, mysql, "CREATE DATABASE IF NOT EXISTS kqbench", pstrError) ||
      !bExecute(library, mysql,
                "CREATE TABLE IF NOT EXISTS kqbench.value_conversion ("
                "  id INT NOT NULL PRIMARY KEY,"
                "  i INT NOT NULL,"
                "  b BIGINT NOT NULL,"
                "  d DECIMAL(12,2) NOT NULL,"
                "  r DOUBLE NOT NULL,"
                "  a VARCHAR(40) CHARACTER SET ascii NOT NULL,"
                "  u VARCHAR(40) NOT NULL,"
                "  t DATETIME(3) NOT NULL,"
                "  x BLOB NOT NULL"
                ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4",
                pstrError)) {
    return false;
  }
  const long long llRows =
      llSelectNumber(library, mysql, "SELECT COUNT(*) FROM kqbench.value_conversion", pstrError);
  if (llRows < 0) return false;
  if (llRows == kRows) return true;

  // Every byte value in the binaries: 1,280 bytes of 0..255 repeated, of
  // which each row takes 1,024 from its own start.
  std::string strHex;
  for (int i = 0; i < 256; ++i) {
    char sz[3];
    std::snprintf(sz, sizeof sz, "%02X", i);
    strHex += sz;
  }
  std::fprintf(stderr, "value_conversion_bench: generating %lld rows in kqbench.value_conversion\n",
               kRows);
  return bExecute(library, mysql, "TRUNCATE TABLE kqbench.value_conversion", pstrError) &&
         bExecute(library, mysql,
                  "INSERT INTO kqbench.value_conversion "
                  "SELECT seq,"
                  "  (seq * 7919 MOD 2000000000) - 1000000000 + seq * 10007,"
                  "  seq * 2654435761 - 100000000000000,"
                  "  (seq * 7919 MOD 100000000) / 100 - 250000,"
                  "  seq / 7.0 * 1000.123,"
                  "  CONCAT('Customer ', seq MOD 9973, ' ', ELT(1 + seq MOD 4, 'North',"
                  "    'South', 'East', 'West')),"
                  "  CONCAT('Zo\xC3\xAB \xC5\x81\xC3\xB3\x64\xC5\xBA \xE6\x9D\xB1\xE4\xBA\xAC ',"
                  "    seq MOD 977, ' ', ELT(1 + seq MOD 3, '\xC4\x89\x65\xC4\xA5o',"
                  "    '\xE1\xBC\x88\xCE\xB8\xE1\xBF\x86\xCE\xBD\xCE\xB1\xCE\xB9',"
                  "    '\xF0\x9F\x98\x80 \xD0\x9A\xD0\xB8\xD1\x80')),"
                  "  TIMESTAMP'2020-01-01 00:00:00' + INTERVAL seq * 37 SECOND"
                  "    + INTERVAL (seq MOD 1000) * 1000 MICROSECOND,"
                  "  SUBSTRING(REPEAT(UNHEX('" + strHex + "'), 5), 1 + seq MOD 256, 1024)"
                  " FROM (SELECT CAST(seq AS SIGNED) AS seq FROM seq_1_to_" +
                      std::to_string(kRows) + ") AS s",
                  pstrError);
}

// Fetches the rows into *pOut; the result stays with the caller (*ppResult).
bool bFetch(ClientLibrary& library, MYSQL* mysql, Fetched* pOut, MYSQL_RES** ppResult,
            std::string* pstrError) {
  if (!bExecute(library, mysql, kSelect, pstrError)) return false;
  MYSQL_RES* result = library.store_result(mysql);
  if (result == nullptr) {
    *pstrError = std::string("no result: ") + library.error_of(mysql);
    return false;
  }
  *ppResult = result;
  if (library.num_fields(result) != kColumns) {
    *pstrError = "unexpected column count";
    return false;
  }
  pOut->rows.reserve(kRows);
  pOut->lengths.reserve(kRows * kColumns);
  while (MYSQL_ROW row = library.fetch_row(result)) {
    const unsigned long* pnLengths = library.fetch_lengths(result);
    for (int i = 0; i < kColumns; ++i) {
      if (row[i] == nullptr) {
        *pstrError = "a NULL cell";
        return false;
      }
      pOut->lengths.push_back(pnLengths[i]);
    }
    pOut->rows.push_back(row);
  }
  if (static_cast<long long>(pOut->rows.size()) != kRows) {
    *pstrError = "fetched " + std::to_string(pOut->rows.size()) + " rows, expected " +
                 std::to_string(kRows);
    return false;
  }
  return true;
}

// Texts and decimals need the server's allocator and decimal factory: bind
// the framework to the stand-in once, as the driver is bound at load.
bool bBindOnce() {
  void* hVM = dlopen(CHostHarness::pszDefaultVMPath(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (hVM == nullptr) return false;
  _stModuleInitRecord stRecord = {sizeof stRecord, static_cast<HINSTANCE>(hVM), 0, 0, nullptr};
  if (ModuleEntry_nExecution(MODULE_CODE_INIT, &stRecord) != 1) return false;
  return bInitVXConvFromVM(static_cast<HINSTANCE>(hVM), 2, 2) == 1 &&
         bInitVXCalcFromVM(hVM, 2, 2) == 1;
}

// ---- The holders

enum class Target { kSlots, kAny, kCopy };

// One record's holders over one record buffer, with their analysis items.
class Record {
 public:
  explicit Record(Target eTarget) : m_pclError(new CNAError) {
    m_pclError->AddRef();
    size_t nOffset = 0;
    for (int i = 0; i < kColumns; ++i) {
      m_anOffset[i] = nOffset;
      nOffset += static_cast<size_t>(kSpecs[i].nItemSize);
    }
    m_buffer.assign(nOffset, 0);
    if (eTarget == Target::kCopy) return;
    for (int i = 0; i < kColumns; ++i) {
      const ColumnSpec& spec = kSpecs[i];
      CNAItemDescription* pclItem = new CNAItemDescription;
      pclItem->AddRef();
      const std::wstring strName(spec.pszName, spec.pszName + std::strlen(spec.pszName));
      if (!pclItem->bInit(strName.c_str(), L"value_conversion", strName.c_str(), 1,
                          spec.nItemSize, spec.eItem, i + 1, 0, 0, spec.nIntegerDigits,
                          spec.nDecimalDigits, nullptr, nullptr))
        m_bReady = false;
      m_apclItem[i] = pclItem;
      CNAConvertVariant* pclHolder = new CNAConvertVariant(m_pclError, nullptr);
      pclHolder->AddRef();
      const unsigned short nVX = ConverteItemToVXType(spec.eItem);
      if (eTarget == Target::kSlots) {
        if (!pclHolder->bInitTypeVariant(NA_VT_BUFFER, pSlot(i), nSlotSize(i), nVX))
          m_bReady = false;
      } else {
        pclHolder->InitTypeVariantAny(nVX, 0);
      }
      pclHolder->SetItemDesc(pclItem, nullptr);
      m_apclHolder[i] = pclHolder;
    }
  }
  ~Record() {
    for (int i = 0; i < kColumns; ++i) {
      if (m_apclHolder[i] != nullptr) {
        m_apclHolder[i]->SetItemDesc(nullptr, nullptr);
        m_apclHolder[i]->nRelease();
      }
      if (m_apclItem[i] != nullptr) m_apclItem[i]->nRelease();
    }
    m_pclError->nRelease();
  }
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;

  bool bReady() const { return m_bReady; }
  CNAConvertVariant* pclHolder(int i) const { return m_apclHolder[i]; }
  unsigned char* pSlot(int i) { return m_buffer.data() + m_anOffset[i]; }
  unsigned int nSlotSize(int i) const { return static_cast<unsigned int>(kSpecs[i].nItemSize); }

 private:
  CNAError* m_pclError;
  CNAItemDescription* m_apclItem[kColumns] = {};
  CNAConvertVariant* m_apclHolder[kColumns] = {};
  size_t m_anOffset[kColumns] = {};
  std::vector<unsigned char> m_buffer;
  bool m_bReady = true;
};

// One cell into its holder, or copied into its slot; false when refused.
inline bool bConvert(Record& record, Target eTarget, int nColumn, const char* p, unsigned int n) {
  if (eTarget == Target::kCopy) {
    const unsigned int nSlot = record.nSlotSize(nColumn);
    std::memcpy(record.pSlot(nColumn), p, n < nSlot ? n : nSlot);
    return true;
  }
  return record.pclHolder(nColumn)->bSetValueDB(p, n, kUtf8CodePage) != 0;
}

void SetCounters(benchmark::State& state, int64_t nCells) {
  state.SetItemsProcessed(nCells);
  state.counters["per_cell"] = benchmark::Counter(
      static_cast<double>(nCells), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

bool bCanRun(benchmark::State& state) {
  if (fetched == nullptr) {
    state.SkipWithError("no rows fetched");
    return false;
  }
  if (!bBound) {
    state.SkipWithError("the stand-in server did not bind");
    return false;
  }
  return true;
}

// Every cell of one column, per iteration.
void ConvertColumn(benchmark::State& state, Target eTarget, int nColumn) {
  if (!bCanRun(state)) return;
  Record record(eTarget);
  if (!record.bReady()) return state.SkipWithError("the holders could not be set up");
  const Fetched::Packed& column = fetched->columns[nColumn];
  const char* pBytes = column.bytes.data();
  const unsigned int* pnOffsets = column.offsets.data();
  long long nRefused = 0;
  for (auto _ : state) {
    for (long long r = 0; r < kRows; ++r)
      if (!bConvert(record, eTarget, nColumn, pBytes + pnOffsets[r],
                    pnOffsets[r + 1] - pnOffsets[r]))
        ++nRefused;
    benchmark::ClobberMemory();
  }
  if (nRefused != 0) {
    const std::string strError = std::to_string(nRefused) + " cells refused";
    return state.SkipWithError(strError.c_str());
  }
  SetCounters(state, state.iterations() * kRows);
}

// Every cell of every row, row by row as a browse reads them, in the client
// library's own memory, per iteration.
void ConvertRows(benchmark::State& state, Target eTarget) {
  if (!bCanRun(state)) return;
  Record record(eTarget);
  if (!record.bReady()) return state.SkipWithError("the holders could not be set up");
  long long nRefused = 0;
  for (auto _ : state) {
    for (long long r = 0; r < kRows; ++r)
      for (int c = 0; c < kColumns; ++c)
        if (!bConvert(record, eTarget, c, fetched->pCell(r, c), fetched->nLength(r, c)))
          ++nRefused;
    benchmark::ClobberMemory();
  }
  if (nRefused != 0) {
    const std::string strError = std::to_string(nRefused) + " cells refused";
    return state.SkipWithError(strError.c_str());
  }
  SetCounters(state, state.iterations() * kRows * kColumns);
  state.counters["rows"] = benchmark::Counter(static_cast<double>(state.iterations() * kRows),
                                              benchmark::Counter::kIsRate);
}

// The raw fetch of the same rows (query, mysql_use_result, every row and its
// lengths over TCP), per iteration: what a browse costs before any cell
// becomes a value.
void FetchRows(benchmark::State& state) {
  if (connection == nullptr) return state.SkipWithError("no connection");
  std::string strError;
  long long nFetched = 0;
  unsigned int nChecksum = 0;
  for (auto _ : state) {
    if (!bExecute(*library, connection, kSelect, &strError))
      return state.SkipWithError(strError.c_str());
    MYSQL_RES* result = library->use_result(connection);
    if (result == nullptr) return state.SkipWithError("no result");
    long long nRows = 0;
    while (MYSQL_ROW row = library->fetch_row(result)) {
      const unsigned long* pnLengths = library->fetch_lengths(result);
      nChecksum += static_cast<unsigned int>(pnLengths[0]) + static_cast<unsigned char>(row[0][0]);
      ++nRows;
    }
    const bool bFailed = library->errno_of(connection) != 0;
    library->free_result(result);
    if (bFailed || nRows != kRows) return state.SkipWithError("the fetch broke off");
    nFetched += nRows;
  }
  benchmark::DoNotOptimize(nChecksum);
  SetCounters(state, nFetched * kColumns);
  state.counters["rows"] =
      benchmark::Counter(static_cast<double>(nFetched), benchmark::Counter::kIsRate);
}

void RegisterAll() {
  benchmark::RegisterBenchmark("Fetch/All", FetchRows)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  const struct {
    const char* pszName;
    Target eTarget;
  } kTargets[] = {{"Slots", Target::kSlots}, {"Any", Target::kAny}, {"Copy", Target::kCopy}};
  for (int c = 0; c <= kColumns; ++c) {
    for (const auto& target : kTargets) {
      const std::string strName =
          std::string(target.pszName) + "/" + (c < kColumns ? kSpecs[c].pszName : "All");
      benchmark::internal::Benchmark* pBench =
          c < kColumns
              ? benchmark::RegisterBenchmark(strName.c_str(), ConvertColumn, target.eTarget, c)
              : benchmark::RegisterBenchmark(strName.c_str(), ConvertRows, target.eTarget);
      pBench->Unit(benchmark::kMillisecond);
    }
  }
}

}  // namespace
}  // namespace kq230

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  kqbench::AddEmulationContext();

  std::string strError;
  kq230::test_support::MariadbServer server;
  if (!kq230::test_support::ReadMariadbServer(nullptr, &server, &strError)) {
    std::fprintf(stderr, "value_conversion_bench: skipped: %s\n", strError.c_str());
    return 0;
  }
  kq230::test_support::ClientLibrary library;
  if (!library.Load(&strError)) {
    std::fprintf(stderr, "value_conversion_bench: %s\n", strError.c_str());
    return 1;
  }
  MYSQL* mysql = kq230::Connect(library, server, &strError);
  if (mysql == nullptr) {
    std::fprintf(stderr, "value_conversion_bench: %s\n", strError.c_str());
    return 1;
  }
  kq230::Fetched rows;
  MYSQL_RES* result = nullptr;
  const bool bFetched = kq230::bPrepareTable(library, mysql, &strError) &&
                        kq230::bFetch(library, mysql, &rows, &result, &strError);
  int nStatus = 0;
  if (!bFetched) {
    std::fprintf(stderr, "value_conversion_bench: %s\n", strError.c_str());
    nStatus = 1;
  } else {
    rows.Pack();
    kq230::fetched = &rows;
    kq230::library = &library;
    kq230::connection = mysql;
    kq230::bBound = kq230::bBindOnce();
    kq230::RegisterAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    kq230::fetched = nullptr;
  }
  if (result != nullptr) library.free_result(result);
  library.close(mysql);
  return nStatus;
}
