// The database text of values as MariaDB itself writes it: each case's value
// is inserted into a column of its SQL type, fetched back by the client
// library (text protocol, utf8mb4 connection) and handed to the conversion
// holder as a fetched cell, into the fixed raw slot of an item (mode 3) and
// into a language value (mode 1). The expected record forms are computed from
// the value inserted, never from the text the server sent. A cell the item
// cannot hold (a TIME that is no time of day into a time or date-time item)
// is conversion error 53 and leaves the slot or the value as it was. The
// numbers are read again under a process locale whose decimal point is a
// comma: the server writes "." whatever the client's locale.
//
// Each test has its own table: CTest runs them in parallel.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/na_error.h"
#include "items/convert_variant.h"
#include "items/item_description.h"
#include "mariadb/mysql_connection.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/driver_server_fixture.h"
#include "tests/mariadb/server_session.h"
#include "tests/support/program_end.h"
#include "tests/values/bound_values.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept = kq230::test_support::KeepClientLibraryForTheProgram();

template <typename T>
std::string Le(T v) {
  return std::string(reinterpret_cast<const char*>(&v), sizeof v);
}
std::string Zeros(size_t n) { return std::string(n, '\0'); }

// ---- Values as inserted, and the record forms computed from them

// A date and a time of day as inserted; the fraction in microseconds.
struct Moment {
  int y, mo, d, h, mi, s, micro;
};

// The fraction of n digits (0 to 6) that a column of that precision keeps.
int KeptMicro(int nMicro, int nDigits) {
  int nDiv = 1;
  for (int i = nDigits; i < 6; ++i) nDiv *= 10;
  return nMicro / nDiv * nDiv;
}

std::string Two(int n) {
  char sz[8];
  std::snprintf(sz, sizeof sz, "%02d", n);
  return sz;
}
std::string Digits(int n, int nWidth) {
  char sz[16];
  std::snprintf(sz, sizeof sz, "%0*d", nWidth, n);
  return sz;
}
std::string Fraction(int nMicro, int nDigits) {
  return nDigits == 0 ? "" : "." + Digits(nMicro, 6).substr(0, static_cast<size_t>(nDigits));
}

std::string DateLiteral(const Moment& m) {
  return Digits(m.y, 4) + "-" + Two(m.mo) + "-" + Two(m.d);
}
std::string TimeLiteral(const Moment& m, int nDigits) {
  return Two(m.h) + ":" + Two(m.mi) + ":" + Two(m.s) + Fraction(m.micro, nDigits);
}

// The record form of NA_IT_DATETIME: the date word, then the milliseconds.
std::string DateTimeForm(int y, int mo, int d, int h, int mi, int s, int ms) {
  return Le<uint32_t>((uint32_t(y) << 16) | (uint32_t(mo) << 8) | uint32_t(d)) +
         Le<uint32_t>(uint32_t(h) * 3600000u + uint32_t(mi) * 60000u + uint32_t(s) * 1000u +
                      uint32_t(ms));
}
// NA_IT_DATE8: YYYYMMDD; NA_IT_HEURE: HHMMSS and the milliseconds.
std::string Date8Text(int y, int mo, int d) { return Digits(y, 4) + Two(mo) + Two(d); }
std::string HeureText(int h, int mi, int s, int ms) {
  return Two(h) + Two(mi) + Two(s) + Digits(ms, 3);
}

// ---- Cases

struct Case {
  std::string sqlType;  // the column
  std::string literal;  // the SQL literal inserted
  eNA_ITEMTYPE eItem;
  int nItemSize;
  int nInt = 0, nDec = 0;  // decimal digits of a decimal item
  // The slot's bytes (its whole size); none: the cell is refused.
  std::optional<std::string> slot;
  // The mode-1 value's leading data bytes; empty: the slot's.
  std::string any = "";
  // Decimals: the value's text, checked instead of bytes.
  std::string text = "";
  // Whether the slot read back as a language value equals the value read
  // directly (not for a slot that cut the value short).
  bool bReadBack = true;
};

// Time of day into the three temporal items; a date-time column's value.
void AddDateTime(std::vector<Case>* pv, const std::string& sqlType, const Moment& m, int nDigits) {
  const int micro = KeptMicro(m.micro, nDigits);
  const int ms = micro / 1000;
  const std::string lit = "'" + DateLiteral(m) + " " + TimeLiteral(m, nDigits) + "'";
  const std::string dt = DateTimeForm(m.y, m.mo, m.d, m.h, m.mi, m.s, ms);
  pv->push_back({sqlType, lit, NA_IT_DATETIME, 8, 0, 0, dt});
  pv->push_back({sqlType, lit, NA_IT_DATE8, 9, 0, 0, Date8Text(m.y, m.mo, m.d) + Zeros(1),
                 Date8Text(m.y, m.mo, m.d)});
  pv->push_back({sqlType, lit, NA_IT_HEURE, 10, 0, 0, HeureText(m.h, m.mi, m.s, ms) + Zeros(1),
                 HeureText(m.h, m.mi, m.s, ms)});
}

// A TIME column's value of the day: into time and date-time items.
void AddTime(std::vector<Case>* pv, int nDigits, const Moment& m) {
  const std::string sqlType = "TIME(" + std::to_string(nDigits) + ")";
  const int ms = KeptMicro(m.micro, nDigits) / 1000;
  const std::string lit = "'" + TimeLiteral(m, nDigits) + "'";
  pv->push_back({sqlType, lit, NA_IT_HEURE, 10, 0, 0, HeureText(m.h, m.mi, m.s, ms) + Zeros(1),
                 HeureText(m.h, m.mi, m.s, ms)});
  pv->push_back({sqlType, lit, NA_IT_DATETIME, 8, 0, 0, DateTimeForm(0, 0, 0, m.h, m.mi, m.s, ms)});
}

// A TIME column's value outside a day: refused by both.
void AddTimeRefused(std::vector<Case>* pv, const std::string& sqlType, const std::string& lit) {
  pv->push_back({sqlType, lit, NA_IT_HEURE, 10, 0, 0, std::nullopt});
  pv->push_back({sqlType, lit, NA_IT_DATETIME, 8, 0, 0, std::nullopt});
}

std::vector<Case> TemporalCases() {
  std::vector<Case> v;
  const Moment m = {2024, 2, 29, 13, 45, 7, 123456};
  for (int p = 0; p <= 6; ++p) AddDateTime(&v, "DATETIME(" + std::to_string(p) + ")", m, p);
  AddDateTime(&v, "DATETIME(6)", {9999, 12, 31, 23, 59, 59, 999999}, 6);
  AddDateTime(&v, "DATETIME", {1000, 1, 1, 0, 0, 0, 0}, 0);
  AddDateTime(&v, "TIMESTAMP(3) NULL", {2024, 2, 29, 13, 45, 7, 125000}, 3);
  for (int p = 0; p <= 6; ++p) AddTime(&v, p, {0, 0, 0, 8, 5, 9, 987654});
  AddTime(&v, 3, {0, 0, 0, 23, 59, 59, 999000});
  AddTime(&v, 0, {0, 0, 0, 0, 0, 0, 0});
  AddTimeRefused(&v, "TIME(1)", "'-01:02:03.5'");
  AddTimeRefused(&v, "TIME(6)", "'-00:00:00.000001'");
  AddTimeRefused(&v, "TIME", "'100:00:00'");
  AddTimeRefused(&v, "TIME(3)", "'24:00:00.000'");
  AddTimeRefused(&v, "TIME(6)", "'-838:59:59.000000'");
  AddTimeRefused(&v, "TIME", "'838:59:59'");
  // A date alone: no time (a time item's time is all zeros).
  v.push_back({"DATE", "'2024-02-29'", NA_IT_DATE8, 9, 0, 0, Date8Text(2024, 2, 29) + Zeros(1),
               Date8Text(2024, 2, 29)});
  v.push_back({"DATE", "'2024-02-29'", NA_IT_DATETIME, 8, 0, 0, DateTimeForm(2024, 2, 29, 0, 0, 0, 0)});
  v.push_back({"DATE", "'2024-02-29'", NA_IT_HEURE, 10, 0, 0, HeureText(0, 0, 0, 0) + Zeros(1),
               HeureText(0, 0, 0, 0)});
  // The zero dates MariaDB keeps outside NO_ZERO_DATE. A date item's slot
  // keeps the digits; its language value is the empty date.
  v.push_back({"DATE", "'0000-00-00'", NA_IT_DATE8, 9, 0, 0, Date8Text(0, 0, 0) + Zeros(1),
               Zeros(8), "", false});
  v.push_back({"DATE", "'0000-00-00'", NA_IT_DATETIME, 8, 0, 0, Zeros(8)});
  v.push_back({"DATETIME", "'0000-00-00 00:00:00'", NA_IT_DATETIME, 8, 0, 0, Zeros(8)});
  v.push_back({"DATETIME(3)", "'0000-00-00 00:00:00.000'", NA_IT_DATE8, 9, 0, 0,
               Date8Text(0, 0, 0) + Zeros(1), Zeros(8), "", false});
  return v;
}

// The 80-bit count of millionths of money, little-endian two's complement,
// from the decimal text of the count.
std::string MoneyForm(const char* pszMillionths) {
  bool bNegative = *pszMillionths == '-';
  if (bNegative) ++pszMillionths;
  unsigned char aby[10] = {};
  for (const char* p = pszMillionths; *p != 0; ++p) {
    unsigned int nCarry = static_cast<unsigned int>(*p - '0');
    for (unsigned char& by : aby) {
      const unsigned int n = by * 10u + nCarry;
      by = static_cast<unsigned char>(n & 0xFF);
      nCarry = n >> 8;
    }
  }
  if (bNegative) {
    unsigned int nCarry = 1;
    for (unsigned char& by : aby) {
      const unsigned int n = static_cast<unsigned char>(~by) + nCarry;
      by = static_cast<unsigned char>(n & 0xFF);
      nCarry = n >> 8;
    }
  }
  return std::string(reinterpret_cast<const char*>(aby), sizeof aby);
}

// A double from its C text, whatever the process locale.
double Real(const char* psz) {
  double d = 0;
  std::from_chars(psz, psz + std::strlen(psz), d);
  return d;
}
float Real4(const char* psz) {
  float f = 0;
  std::from_chars(psz, psz + std::strlen(psz), f);
  return f;
}

std::vector<Case> NumberCases() {
  std::vector<Case> v;
  auto Int = [&](const char* sqlType, const char* lit, eNA_ITEMTYPE e, const std::string& form) {
    v.push_back({sqlType, lit, e, static_cast<int>(form.size()), 0, 0, form});
  };
  Int("BIGINT", "-9223372036854775808", NA_IT_I8, Le<int64_t>(INT64_MIN));
  Int("BIGINT", "9223372036854775807", NA_IT_I8, Le<int64_t>(INT64_MAX));
  Int("BIGINT", "-1", NA_IT_I8, Le<int64_t>(-1));
  Int("BIGINT UNSIGNED", "18446744073709551615", NA_IT_UI8, Le<uint64_t>(UINT64_MAX));
  Int("INT", "-2147483648", NA_IT_I4, Le<int32_t>(INT32_MIN));
  Int("INT", "2147483647", NA_IT_I4, Le<int32_t>(INT32_MAX));
  Int("INT UNSIGNED", "4294967295", NA_IT_UI4, Le<uint32_t>(4294967295u));
  Int("SMALLINT", "-32768", NA_IT_I2, Le<int16_t>(INT16_MIN));
  Int("SMALLINT UNSIGNED", "65535", NA_IT_UI2, Le<uint16_t>(65535));
  Int("TINYINT", "-128", NA_IT_I1, Le<int8_t>(-128));
  Int("TINYINT UNSIGNED", "255", NA_IT_UI1, Le<uint8_t>(255));
  for (const char* psz : {"0.1234567890123", "12.5", "-1.7976931348623157e308",
                          "2.2250738585072014e-308", "4.9406564584124654e-324", "-0.5"})
    Int("DOUBLE", psz, NA_IT_R8, Le<double>(Real(psz)));
  for (const char* psz : {"0.5", "-1.25", "1e30"}) Int("FLOAT", psz, NA_IT_R4, Le<float>(Real4(psz)));
  // Money: the count of millionths.
  Int("DECIMAL(24,6)", "-604462909807314587.353087", NA_IT_MONETAIRE,
      MoneyForm("-604462909807314587353087"));
  Int("DECIMAL(24,6)", "12.5", NA_IT_MONETAIRE, MoneyForm("12500000"));
  // Decimals of every scale: the value's text.
  auto Dec = [&](int nPrec, int nScale, const std::string& lit) {
    Case c{"DECIMAL(" + std::to_string(nPrec) + "," + std::to_string(nScale) + ")", lit,
           NA_IT_DECIMAL, 18, nPrec - nScale, nScale, std::string()};
    c.text = lit;
    v.push_back(c);
  };
  Dec(38, 0, "99999999999999999999999999999999999999");
  Dec(38, 0, "-99999999999999999999999999999999999999");
  Dec(38, 8, "-123456789012345678901234567890.12345678");
  Dec(38, 10, "1234567890123456789012345678.0123456789");
  Dec(38, 38, "0.12345678901234567890123456789012345678");
  Dec(12, 2, "-12.50");
  return v;
}

std::vector<Case> BooleanAndBinaryCases() {
  std::vector<Case> v;
  auto Bool = [&](const char* sqlType, const char* lit, bool b) {
    v.push_back({sqlType, lit, NA_IT_BOOLEEN, 1, 0, 0, std::string(1, b ? '\x01' : '\0')});
  };
  Bool("TINYINT(1)", "1", true);
  Bool("TINYINT(1)", "0", false);
  Bool("BOOL", "TRUE", true);
  Bool("BOOL", "FALSE", false);
  Bool("VARCHAR(8)", "'true'", true);
  Bool("VARCHAR(8)", "'false'", false);
  Bool("VARCHAR(8)", "'F'", false);
  Bool("VARCHAR(8)", "'f'", false);
  Bool("VARCHAR(8)", "'T'", true);
  Bool("VARCHAR(8)", "'x'", true);
  // Every byte, in a binary item (length word, bytes) and a binary memo.
  std::string all, hex;
  for (int i = 0; i < 256; ++i) {
    all.push_back(static_cast<char>(i));
    char sz[3];
    std::snprintf(sz, sizeof sz, "%02X", i);
    hex += sz;
  }
  v.push_back({"VARBINARY(256)", "X'" + hex + "'", NA_IT_BINAIRE, 260, 0, 0,
               Le<uint16_t>(256) + all + Zeros(2), all});
  // A slot too small keeps what fits after the length word.
  v.push_back({"VARBINARY(256)", "X'" + hex + "'", NA_IT_BINAIRE, 100, 0, 0,
               Le<uint16_t>(98) + all.substr(0, 98), all, "", false});
  // A binary memo's value (memos never live in a slot of the record).
  v.push_back({"LONGBLOB", "X'" + hex + "'", NA_IT_MEMOBINAIRE, 262, 0, 0,
               Le<uint16_t>(256) + all + Zeros(4), all, "", false});
  return v;
}

// ---- The fixture

constexpr unsigned char kFill = 0xAB;

class DatabaseTextServer : public ServerSuite<BoundValuesTest> {
 protected:
  void SetUp() override {
    BoundValuesTest::SetUp();
    ASSERT_TRUE(m_session.bOpen(L"Connection=dbtext"));
    m_pcl = m_session.pclConnection();
    // Zero dates are kept; TIMESTAMP reads back as written.
    Run("SET SESSION sql_mode = 'STRICT_ALL_TABLES', time_zone = '+00:00'");
  }
  void TearDown() override {
    m_session.Close();
    ServerSession::EndClientLibrary();
    BoundValuesTest::TearDown();
  }

  void Run(const std::string& sql) { ASSERT_TRUE(m_session.bRun(sql)); }

  // The cells of the one row of a query, as the client library gives them.
  ServerSession::Row FetchRow(const std::string& sql) {
    std::vector<ServerSession::Row> rows = m_session.Rows(sql);
    return rows.empty() ? ServerSession::Row() : std::move(rows[0]);
  }

  // One column per case in one row of a table of the test's own; the cells.
  std::vector<std::optional<std::string>> StoreAndFetch(const std::string& table,
                                                        const std::vector<Case>& cases) {
    std::string create = "CREATE TABLE " + table + " (", insert = "INSERT INTO " + table + " VALUES (",
                select = "SELECT ";
    for (size_t i = 0; i < cases.size(); ++i) {
      const std::string sep = i == 0 ? "" : ", ";
      create += sep + "c" + std::to_string(i) + " " + cases[i].sqlType;
      insert += sep + cases[i].literal;
      select += sep + "c" + std::to_string(i);
    }
    Run("DROP TABLE IF EXISTS " + table);
    Run(create + ") CHARACTER SET utf8mb4");
    Run(insert + ")");
    auto cells = FetchRow(select + " FROM " + table);
    Run("DROP TABLE IF EXISTS " + table);
    return cells;
  }

  void CheckCells(const std::vector<Case>& cases, const std::vector<std::optional<std::string>>& cells);

  ServerSession m_session;
  CMySQLConnection* m_pcl = nullptr;
};

struct Error {
  Error() : p(new CNAError) { p->AddRef(); }
  ~Error() { p->nRelease(); }
  CNAError* p;
};

struct Item {
  explicit Item(const Case& c) : p(new CNAItemDescription) {
    p->AddRef();
    EXPECT_TRUE(p->bInit(L"c", L"t", L"c", 1, c.nItemSize, c.eItem, 0, 0, 0, c.nInt, c.nDec,
                         nullptr, nullptr));
  }
  ~Item() { p->nRelease(); }
  CNAItemDescription* p;
};

struct Holder {
  Holder(CNAError* pclError, CNAConnectionDescription* pclConnection)
      : p(new CNAConvertVariant(pclError, pclConnection)) {
    p->AddRef();
  }
  ~Holder() {
    p->SetItemDesc(nullptr, nullptr);
    p->nRelease();
  }
  CNAConvertVariant* operator->() const { return p; }
  CNAConvertVariant* p;
};

std::string Hex(const std::string& s, size_t nMax = 48) {
  std::string r;
  char sz[4];
  for (size_t i = 0; i < s.size() && i < nMax; ++i) {
    std::snprintf(sz, sizeof sz, "%02x", static_cast<unsigned char>(s[i]));
    r += sz;
  }
  if (s.size() > nMax) r += "...";
  return r;
}

std::string Narrow(const CTString& cs) {
  std::string r;
  for (const wchar_t* p = cs.pszGet(); p != nullptr && *p != 0; ++p) r.push_back(static_cast<char>(*p));
  return r;
}

void DatabaseTextServer::CheckCells(const std::vector<Case>& cases,
                                    const std::vector<std::optional<std::string>>& cells) {
  ASSERT_EQ(cells.size(), cases.size());
  const unsigned int nCodePage = static_cast<unsigned int>(m_pcl->nGetConnectionCodePage());
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    ASSERT_TRUE(cells[i].has_value()) << c.sqlType;
    const std::string& cell = *cells[i];
    SCOPED_TRACE(testing::Message() << c.sqlType << " " << c.literal.substr(0, 40) << " -> \""
                                    << cell.substr(0, 40) << "\" item " << c.eItem << " size "
                                    << c.nItemSize);
    Error err;
    Item item(c);
    const unsigned short nVX = ConverteItemToVXType(c.eItem, 0);

    // Mode 3: the item's slot, exactly its size on the heap.
    const size_t nCap = static_cast<size_t>(c.nItemSize);
    std::unique_ptr<unsigned char[]> slot(new unsigned char[nCap]);
    std::memset(slot.get(), kFill, nCap);
    Holder raw(err.p, m_pcl);
    ASSERT_TRUE(raw->bInitTypeVariant(NA_VT_BUFFER, slot.get(), static_cast<unsigned int>(nCap), nVX));
    raw->SetItemDesc(item.p, nullptr);
    ASSERT_EQ(raw->nGetVXType(), nVX);
    const int bRaw = raw->bSetValueDB(cell.data(), static_cast<unsigned int>(cell.size()), nCodePage);
    const std::string bytes(reinterpret_cast<const char*>(slot.get()), nCap);

    // Mode 1: a language value of the item's type, NULL before.
    Holder any(err.p, m_pcl);
    any->InitTypeVariantAny(nVX, 0);
    any->SetItemDesc(item.p, nullptr);
    any->SetNull();
    const int bAny = any->bSetValueDB(cell.data(), static_cast<unsigned int>(cell.size()), nCodePage);

    if (!c.slot) {
      EXPECT_FALSE(bRaw);
      EXPECT_FALSE(bAny);
      EXPECT_EQ(err.p->nGetUserErrorCode(), 53u);
      EXPECT_EQ(bytes, std::string(nCap, static_cast<char>(kFill))) << "a refused cell changed the slot";
      EXPECT_TRUE(any->bIsNull()) << "a refused cell changed the value";
      continue;
    }
    ASSERT_TRUE(bRaw) << Narrow(err.p->StringDump());
    ASSERT_TRUE(bAny) << Narrow(err.p->StringDump());
    EXPECT_FALSE(raw->bIsNull());
    EXPECT_FALSE(any->bIsNull());
    EXPECT_EQ(any->nGetVXType(), nVX);
    EXPECT_LE(raw->nGetUsedLength(), nCap);

    // The slot read back as a language value equals the value read directly.
    CAny fromSlot;
    ASSERT_TRUE(raw->bGetValue(&fromSlot));
    if (c.bReadBack) {
      EXPECT_TRUE(any->bEqualsNAVariant(&fromSlot)) << "the slot and the value differ";
    }

    if (!c.text.empty()) {
      CTString csSlot, csAny;
      nGetString(&csSlot, &fromSlot, nullptr, 0);
      any->GetString(&csAny, nullptr, 0);
      EXPECT_EQ(Narrow(csSlot), c.text);
      EXPECT_EQ(Narrow(csAny), c.text);
      continue;
    }
    EXPECT_EQ(Hex(bytes, 600), Hex(*c.slot, 600));
    const std::string& expected = c.any.empty() ? *c.slot : c.any;
    const size_t nCompare = nVX == VX_BOOL ? 1 : expected.size();
    ASSERT_GE(any->nGetSize(), nCompare);
    const std::string got(static_cast<const char*>(any->pGetData()), nCompare);
    EXPECT_EQ(Hex(got, 600), Hex(expected.substr(0, nCompare), 600)) << "the language value";
  }
}

TEST_F(DatabaseTextServer, TemporalCellsOfEveryPrecisionFillSlotsAndValuesOrAreRefused) {
  const auto cases = TemporalCases();
  const auto cells = StoreAndFetch("kq_dbtext_temporal", cases);
  CheckCells(cases, cells);
}

TEST_F(DatabaseTextServer, NumericExtremesBooleansAndEveryByteFillSlotsAndValues) {
  auto cases = NumberCases();
  for (const Case& c : BooleanAndBinaryCases()) cases.push_back(c);
  const auto cells = StoreAndFetch("kq_dbtext_numbers", cases);
  CheckCells(cases, cells);
}

// ---- A decimal-comma locale, built for the program into a directory of its
// own (LOCPATH): the machine's installed locales are not relied upon.

// Plain storage: a static with a destructor would register it at exit, and
// that registration's memory would count against the program's balance.
char gszLocaleDir[4096];

std::string LocaleDir() { return gszLocaleDir; }

void RemoveLocaleDir() {
  if (gszLocaleDir[0] == '\0') return;
  std::error_code ec;
  std::filesystem::remove_all(gszLocaleDir, ec);
  gszLocaleDir[0] = '\0';
}
ProgramEndRelease gLocaleDirRelease(&RemoveLocaleDir);

constexpr char kCommaLocale[] = "fr_FR.UTF-8";

// Builds fr_FR.UTF-8 once for the program; an empty answer when it could be
// built, else why not.
std::string BuildCommaLocale() {
  if (!LocaleDir().empty()) return "";
  if (std::system("command -v localedef >/dev/null 2>&1") != 0) return "localedef is not installed";
  struct stat st;
  if (stat("/usr/share/i18n/locales/fr_FR", &st) != 0)
    return "the locale source /usr/share/i18n/locales/fr_FR is not installed";
  const char* pszTmp = std::getenv("TMPDIR");
  std::string tmpl = std::string(pszTmp != nullptr && *pszTmp != 0 ? pszTmp : "/tmp") + "/kq-locale-XXXXXX";
  if (mkdtemp(tmpl.data()) == nullptr) return "no private directory for the locale";
  const std::string cmd = "localedef -i fr_FR -f UTF-8 " + tmpl + "/" + kCommaLocale + " >/dev/null 2>&1";
  // localedef answers 1 for mere warnings: the locale's files decide.
  (void)std::system(cmd.c_str());
  if (stat((tmpl + "/" + kCommaLocale + "/LC_NUMERIC").c_str(), &st) != 0) {
    std::error_code ec;
    std::filesystem::remove_all(tmpl, ec);
    return "localedef made no fr_FR.UTF-8 locale";
  }
  if (tmpl.size() >= sizeof gszLocaleDir) {
    std::error_code ec;
    std::filesystem::remove_all(tmpl, ec);
    return "the temporary directory's path is too long";
  }
  std::memcpy(gszLocaleDir, tmpl.c_str(), tmpl.size() + 1);
  return "";
}

// The process locale for the length of a scope; C again afterwards.
class ProcessLocale {
 public:
  explicit ProcessLocale(const char* pszName) {
    setenv("LOCPATH", LocaleDir().c_str(), 1);
    m_bSet = std::setlocale(LC_ALL, pszName) != nullptr;
  }
  ~ProcessLocale() {
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
  }
  bool bSet() const { return m_bSet; }

 private:
  bool m_bSet = false;
};

TEST_F(DatabaseTextServer, NumbersReadTheSameUnderADecimalCommaLocale) {
  const std::string why = BuildCommaLocale();
  if (!why.empty()) GTEST_SKIP() << why;
  // Fetched in the C locale: the cells are the server's, whatever the client.
  auto cases = NumberCases();
  for (const Case& c : BooleanAndBinaryCases()) cases.push_back(c);
  const auto cells = StoreAndFetch("kq_dbtext_comma", cases);
  ProcessLocale locale(kCommaLocale);
  ASSERT_TRUE(locale.bSet()) << "the locale built in " << LocaleDir() << " does not load";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  char sz[16];
  std::snprintf(sz, sizeof sz, "%.1f", 12.5);
  ASSERT_STREQ(sz, "12,5") << "the C library does not write the comma";
  CheckCells(cases, cells);
}

}  // namespace
}  // namespace kqtest
