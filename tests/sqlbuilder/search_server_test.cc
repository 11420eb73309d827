// Search conditions on the fixture's server. Every condition the search
// classes write (searches with and without a filter, filter bounds, exact and
// generic searches, continuation conditions) is run as
// "SELECT id FROM table WHERE " + the command's formatted text over fixture
// tables (NULLs, empty texts, zeros, negative amounts, dates from 1000-01-01
// to 9999-12-31, texts holding %, _, \ and quotes), and the rows the server
// returns must be those the reference evaluator (search_reference.h) picks
// from the meaning of the search. Browsing forward and backward by
// continuation conditions over a composite key, as a data access does, must
// visit every row exactly once. The hostile corpus of the command's tests is
// searched, continued from and used as filter bounds on 8-bit and Unicode
// texts in the default sql_mode, with NO_BACKSLASH_ESCAPES, with ANSI_QUOTES
// and with both: exact rows, and a canary table left untouched.
//
// The fixture tables are the session's own temporary tables, filled with
// literals that do not depend on the escaping under test; the record is built
// over a stand-in description whose logical name and item names are the
// table's and columns' names, on the session's real connection.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "items/column.h"
#include "items/na_operator.h"
#include "items/record.h"
#include "kq230/vm_values.h"
#include "mariadb/mysql_driver.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/expression.h"
#include "sqlbuilder/filter.h"
#include "sqlbuilder/record_search.h"
#include "tests/items/record_test_support.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/server_session.h"
#include "tests/sqlbuilder/hostile_corpus.h"
#include "tests/sqlbuilder/search_reference.h"
#include "tests/support/standin_items.h"
#include "tests/support/utf8_reference.h"
#include "tests/values/bound_values.h"
#include "values/any.h"
#include "values/date_time_base.h"
#include "values/money.h"

namespace kqtest {
namespace {

using searchref::Bound;
using searchref::Cell;
using searchref::Kind;
using searchref::Pred;
using searchref::Table;

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

constexpr unsigned short kPrimary = 0x8000, kUnique = 0x4000, kDuplicates = 0x2000,
                         kComposed = 0x1000;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// ---- Values of the language
CAny WideText(const std::wstring& text) {
  CAny v;
  v.__SetType(VX_DSTRW, 0);
  v.SetValueByte(text.data(), static_cast<unsigned int>(text.size() * sizeof(wchar_t)));
  return v;
}
CAny Money(long long nMillionths) {
  CMoney m;
  const unsigned long long u = static_cast<unsigned long long>(nMillionths);
  for (int i = 0; i < 4; ++i) m.w[i] = static_cast<unsigned short>(u >> (16 * i));
  m.w[4] = nMillionths < 0 ? 0xFFFF : 0;
  CAny v;
  v.__SetType(VX_CY, 0);
  v.pclGetIntern()->SetValue(&m);
  return v;
}
CAny DateTimeOf(long long n) {
  const long long d = n / 1000000000LL, t = n % 1000000000LL;
  CDateTime dt;
  dt.Set(static_cast<int>(d / 10000), static_cast<int>(d / 100 % 100), static_cast<int>(d % 100),
         static_cast<int>(t / 10000000), static_cast<int>(t / 100000 % 100),
         static_cast<int>(t / 1000 % 100), static_cast<int>(t % 1000));
  CAny v;
  v.SetDATETIME(dt);
  return v;
}

// The language's value of a cell, as the server's record commands give it.
// bNative: dates and times as the item's own 8-bit texts (else wide texts).
CAny ValueOf(Kind eKind, const Cell& c, bool bNative = false) {
  CAny v;
  if (c.null) {
    v.SetNull(true);
    return v;
  }
  switch (eKind) {
    case Kind::kNumber:
      v.SetI4(static_cast<int>(c.n));
      return v;
    case Kind::kMoney:
      return Money(c.n);
    case Kind::kText:
      return WideText(c.s);
    case Kind::kDate:
    case Kind::kTime: {
      const std::wstring d = searchref::Digits(eKind, c);
      if (bNative) {
        const std::string a(d.begin(), d.end());
        if (eKind == Kind::kDate) v.SetDATEA(a.c_str());
        else v.SetTIMEA(a.c_str());
      } else if (eKind == Kind::kDate) {
        v.SetDATEW(d.c_str());
      } else {
        v.SetTIMEW(d.c_str());
      }
      return v;
    }
    case Kind::kDateTime:
      return DateTimeOf(c.n);
  }
  return v;
}

// The type's extreme, made by the search's own extremes from a value of the
// item's language type.
CAny Extreme(Kind eKind, bool bMax) {
  CAny v;
  switch (eKind) {
    case Kind::kNumber: v.SetI4(1); break;
    case Kind::kMoney: v = Money(1); break;
    case Kind::kDate: v.SetDATEA("20000101"); break;
    case Kind::kTime: v.SetTIMEA("120000000"); break;
    case Kind::kDateTime: v = DateTimeOf(20000101120000000LL); break;
    case Kind::kText: v = WideText(L"a"); break;
  }
  if (bMax) CNARecherche::s_SetAnyToMax(&v);
  else CNARecherche::s_SetAnyToMin(&v);
  return v;
}

std::string Show(const std::wstring& text) { return Utf8(text); }

class SearchServerTest : public BoundValuesTest {
 protected:
  static void SetUpTestSuite() { ServerSession::ReadServer(); }
  static void TearDownTestSuite() { ServerSession::ForgetServer(); }
  void SetUp() override {
    BoundValuesTest::SetUp();
    ASSERT_EQ(ServerSession::SetupError(), "");
    m_nLiveBefore = StandInDescriptionCounts::g_nLive;
    m_pclDriver = new CMySQLDriver();
    m_pclDriver->ExternalAddRef();
    m_pclError = new CNAError();
    m_pclError->AddRef();
    ASSERT_TRUE(m_session.bOpen(L"Connection=search"));
  }
  void TearDown() override {
    DropRecord();
    m_access.reset();
    m_pclError->nRelease();
    m_session.Close();
    EXPECT_EQ(m_pclDriver->nExternalRelease(), 0);
    ServerSession::EndClientLibrary();
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, m_nLiveBefore) << "stand-in objects left";
    BoundValuesTest::TearDown();
  }

  CNAConnectionDescription* Connection() { return m_session.pclConnection(); }

  // Creates the table (the session's own) with the columns' SQL types and its
  // rows, and a record over a stand-in description of the items.
  bool Build(const Table& t, const std::vector<std::string>& sqlTypes,
             const std::vector<StandInItemDecl>& items) {
    std::string create = "CREATE OR REPLACE TEMPORARY TABLE " + t.name + " (id INT PRIMARY KEY";
    for (size_t k = 0; k < t.columns.size(); ++k) create += ", " + t.columns[k] + " " + sqlTypes[k];
    create += ")";
    if (!m_session.bRun(create)) return false;
    for (const std::string& sql : searchref::Inserts(t))
      if (!m_session.bRun(sql)) return false;
    DropRecord();
    const std::wstring name = Wide(t.name);
    m_access = std::make_unique<TestItemsDataAccess>(Connection(), name.c_str());
    m_piSource = CStandInDescription::pclNew(name.c_str(), items, 12);
    if (m_piSource == nullptr) return false;
    m_pclRecord = new CNARecord(m_pclError, m_access.get());
    m_pclRecord->AddRef();
    return m_pclRecord->bInitRecord(m_piSource, nullptr, Connection()) != 0;
  }
  void DropRecord() {
    if (m_pclRecord != nullptr) {
      EXPECT_EQ(m_pclRecord->nRelease(), 0);
    }
    m_pclRecord = nullptr;
    if (m_piSource != nullptr) m_piSource->nExternalRelease();
    m_piSource = nullptr;
  }

  CNAColumn* Column(const std::string& name) {
    return m_pclRecord->pclGetColumnNoRef(Wide(name).c_str());
  }
  INAItemDescription* Item(const std::string& name) {
    CNAColumn* c = Column(name);
    return c != nullptr ? c->piGetItemNoRef() : nullptr;
  }

  // Searches and filters of the connection, one reference for the caller.
  struct Release {
    void operator()(CInterf* p) const { p->nRelease(); }
  };
  using SearchPtr = std::unique_ptr<CNARecherche, Release>;
  using FilterPtr = std::unique_ptr<CNAFilter, Release>;
  SearchPtr NewSearch() {
    auto* p = new CNARecherche(m_pclError, Connection());
    p->AddRef();
    return SearchPtr(p);
  }
  FilterPtr NewFilter() {
    auto* p = new CNAFilter(m_pclError, Connection());
    p->AddRef();
    return FilterPtr(p);
  }

  // Writes the search's current condition (joined with the filter) and
  // answers its formatted text; false, with the error in *pText, when the
  // write or the formatting fails.
  bool Condition(CNARecherche* s, CNAFilter* f, std::wstring* pText) {
    auto* c = static_cast<CNACommand*>(m_pclDriver->pclAllocCommand(m_pclError, Connection()));
    c->AddRef();
    m_pclError->Reset();
    const int bOk = s->bGetSQL(c, f, m_pclRecord);
    const wchar_t* psz = bOk ? c->pszGetFormatedSQL(CNACommand::NA_PTC_ALL) : nullptr;
    if (psz != nullptr) *pText = psz;
    else *pText = L"<refused: " + std::wstring(m_pclError->StringDump().pszGet()) + L">";
    c->nRelease();
    // KQ_SEARCH_TRACE=1 shows every condition written (to read what a
    // passing case ran).
    if (std::getenv("KQ_SEARCH_TRACE") != nullptr)
      std::fprintf(stderr, "WHERE %s\n", Show(*pText).c_str());
    return psz != nullptr;
  }

  // The ids of "SELECT id FROM table WHERE cond ORDER BY order LIMIT n".
  std::vector<int> ServerIds(const std::string& table, const std::wstring& cond,
                             const std::string& order = "id", int nLimit = 0) {
    std::string sql = "SELECT id FROM " + table;
    if (!cond.empty()) sql += " WHERE " + Utf8(cond);
    sql += " ORDER BY " + order;
    if (nLimit > 0) sql += " LIMIT " + std::to_string(nLimit);
    std::vector<int> ids;
    for (const std::string& cell : m_session.FirstCells(sql))
      ids.push_back(std::atoi(cell.c_str()));
    return ids;
  }

  // The rows the search (with the filter) selects on the server equal the
  // reference's; answers the condition for the caller's messages.
  void ExpectRows(const Table& t, CNARecherche* s, CNAFilter* f, const Pred& p,
                  const std::string& label) {
    std::wstring cond;
    const bool bWritten = Condition(s, f, &cond);
    EXPECT_TRUE(bWritten) << label << ": " << Show(cond);
    ++m_nChecked;
    if (!bWritten) return;
    const std::vector<int> expected = searchref::Select(t, p);
    const std::vector<int> got = ServerIds(t.name, cond);
    EXPECT_EQ(searchref::Ids(got), searchref::Ids(expected)) << label << "\n  WHERE " << Show(cond);
  }

  int m_nLiveBefore = 0;
  CMySQLDriver* m_pclDriver = nullptr;
  CNAError* m_pclError = nullptr;
  ServerSession m_session;
  std::unique_ptr<TestItemsDataAccess> m_access;
  CStandInDescription* m_piSource = nullptr;
  CNARecord* m_pclRecord = nullptr;
  size_t m_nChecked = 0;
};

// ---- The one-column fixture: every kind of item, NULLs, empties, zeros,
// negative amounts, the first and last days MariaDB holds.

Table ValuesTable() {
  Table t;
  t.name = "kq_search_values";
  t.columns = {"T", "U", "N", "M", "D", "DT", "H"};
  t.kinds = {Kind::kText, Kind::kText,  Kind::kNumber, Kind::kMoney,
             Kind::kDate, Kind::kDateTime, Kind::kTime};
  const std::vector<std::vector<Cell>> lists = {
      {Cell::Null(), Cell::Text(L""), Cell::Text(L"a"), Cell::Text(L"ab"), Cell::Text(L"abc"),
       Cell::Text(L"abd"), Cell::Text(L"ab%"), Cell::Text(L"ab_"), Cell::Text(L"a\\b"),
       Cell::Text(L"O'Hara"), Cell::Text(L"x\"y"), Cell::Text(L"b"), Cell::Text(L"B"),
       Cell::Text(L"\u00e9t\u00e9"), Cell::Text(L"zz"), Cell::Text(L"a b"), Cell::Text(L"ab "),
       Cell::Text(L"%"), Cell::Text(L"_"), Cell::Text(L"\\"), Cell::Text(L"ab")},
      {Cell::Null(), Cell::Text(L""), Cell::Text(L"a"), Cell::Text(L"ab"), Cell::Text(L"abc"),
       Cell::Text(L"\u6f22\u5b57"), Cell::Text(L"\u6f22"), Cell::Text(L"\u00e9"),
       Cell::Text(L"emoji \U0001F600"), Cell::Text(L"ab%"), Cell::Text(L"a_b"),
       Cell::Text(L"O'Hara"), Cell::Text(L"\\"), Cell::Text(L"\u03a9"), Cell::Text(L"\u03c9"),
       Cell::Text(L"\uff07 x"), Cell::Text(L"a\\%")},
      {Cell::Null(), Cell::Num(0), Cell::Num(-5), Cell::Num(5), Cell::Num(20), Cell::Num(21),
       Cell::Num(-1000000), Cell::Num(1000000), Cell::Num(2147483647), Cell::Num(-2147483647),
       Cell::Num(7), Cell::Num(0), Cell::Null()},
      {Cell::Null(), Cell::Num(0), Cell::Num(-1500000), Cell::Num(1500000),
       Cell::Num(-999999999999000000LL), Cell::Num(123456789012345678LL), Cell::Num(-1),
       Cell::Num(20000000)},
      {Cell::Null(), Cell::Num(10000101), Cell::Num(99991231), Cell::Num(20231201),
       Cell::Num(20231231), Cell::Num(20240101), Cell::Num(20240220), Cell::Num(20240229),
       Cell::Num(20240301), Cell::Num(20230615), Cell::Num(19991231)},
      {Cell::Null(), Cell::Num(10000101000000000LL), Cell::Num(99991231235959999LL),
       Cell::Num(20231231235959999LL), Cell::Num(20240101000000000LL),
       Cell::Num(20240229120000500LL), Cell::Num(20240301000000000LL),
       Cell::Num(20230615083000000LL), Cell::Num(20240220000000000LL)},
      {Cell::Null(), Cell::Num(0), Cell::Num(235959999), Cell::Num(230000000),
       Cell::Num(120000500), Cell::Num(83000000), Cell::Num(225959999)},
  };
  for (int i = 0; i < 26; ++i) {
    searchref::Row r;
    r.id = i + 1;
    for (const auto& list : lists) r.cells.push_back(list[static_cast<size_t>(i) % list.size()]);
    t.rows.push_back(r);
  }
  return t;
}

const std::vector<std::string> kValuesSqlTypes = {
    "VARCHAR(20) CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin",
    "VARCHAR(20) CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin",
    "INT",
    "DECIMAL(24,6)",
    "DATE",
    "DATETIME(3)",
    "TIME(3)"};

std::vector<StandInItemDecl> ValuesItems() {
  return {Decl(L"id", NA_IT_I4, 4, kPrimary, false), Decl(L"T", NA_IT_TEXTE, 21),
          Decl(L"U", NA_IT_UNICODE, 42),            Decl(L"N", NA_IT_I4, 4),
          Decl(L"M", NA_IT_MONETAIRE, 10),          Decl(L"D", NA_IT_DATE8, 9),
          Decl(L"DT", NA_IT_DATETIME, 8),           Decl(L"H", NA_IT_HEURE, 10)};
}

// The distinct cells of a column and a few values that no row holds.
std::vector<Cell> SearchedValues(const Table& t, int k) {
  std::vector<Cell> values;
  for (const auto& r : t.rows) {
    bool bSeen = false;
    for (const Cell& v : values) bSeen = bSeen || searchref::Compare(v, r.cells[k]) == 0;
    if (!bSeen) values.push_back(r.cells[k]);
  }
  switch (t.kinds[k]) {
    case Kind::kText: values.push_back(Cell::Text(L"aa")); break;
    case Kind::kNumber: values.push_back(Cell::Num(3)); break;
    case Kind::kMoney: values.push_back(Cell::Num(-7)); break;
    case Kind::kDate: values.push_back(Cell::Num(20240228)); break;
    case Kind::kDateTime: values.push_back(Cell::Num(20240229120000499LL)); break;
    case Kind::kTime: values.push_back(Cell::Num(120000501)); break;
  }
  return values;
}

std::string Label(const Table& t, int k, const std::string& what, const std::wstring& value) {
  return t.columns[k] + " " + what + " " + testing::PrintToString(value) + " (" + Show(value) + ")";
}

TEST_F(SearchServerTest, ExactSearchesAndTheirContinuationsSelectTheReferenceRows) {
  const Table t = ValuesTable();
  ASSERT_TRUE(Build(t, kValuesSqlTypes, ValuesItems()));
  for (int k = 0; k < static_cast<int>(t.columns.size()); ++k) {
    for (const Cell& v : SearchedValues(t, k)) {
      const std::wstring shown = v.null ? L"NULL" : searchref::Digits(t.kinds[k], v);
      SearchPtr s = NewSearch();
      const CAny value = ValueOf(t.kinds[k], v);
      ASSERT_TRUE(s->bSetRecherche(m_pclRecord, Item(t.columns[k]), &value, NA_PARSE_FIRST, 1, 0));
      ExpectRows(t, s.get(), nullptr, searchref::Equal(t, k, v), Label(t, k, "=", shown));
      ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_FIRST));
      ExpectRows(t, s.get(), nullptr, searchref::Greater(t, k, v),
                 Label(t, k, "forward from", shown));
      // Back to the search: the same rows again.
      ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_FIRST));
      ExpectRows(t, s.get(), nullptr, searchref::Equal(t, k, v), Label(t, k, "= again", shown));
      ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_LAST));
      ExpectRows(t, s.get(), nullptr, searchref::Less(t, k, v),
                 Label(t, k, "backward from", shown));
    }
  }
}

// A generic search of each prefix on the column: the rows that begin with
// it; forward, the rows past the prefix's whole range; backward, the rows
// before the prefix (NULL first).
class GenericSearch : public SearchServerTest {
 protected:
  void Check(const Table& t, const char* column, const std::vector<std::wstring>& prefixes,
             bool bForward, bool bBackward) {
    const int k = t.Index(column);
    const Kind eKind = t.kinds[k];
    for (const std::wstring& prefix : prefixes) {
      SearchPtr s = NewSearch();
      const CAny value = WideText(prefix);
      ASSERT_TRUE(s->bSetRecherche(m_pclRecord, Item(column), &value, NA_PARSE_FIRST, 0, 0));
      const Pred begins = searchref::Begins(t, k, prefix);
      ExpectRows(t, s.get(), nullptr, begins, Label(t, k, "begins with", prefix));
      if (bForward) {
        ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_FIRST));
        const Pred after = [k, eKind, prefix, begins](const searchref::Row& r) {
          return !r.cells[k].null && searchref::Digits(eKind, r.cells[k]) > prefix && !begins(r);
        };
        ExpectRows(t, s.get(), nullptr, after, Label(t, k, "forward past prefix", prefix));
        ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_FIRST));
      }
      if (bBackward) {
        ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_LAST));
        const Pred before = [k, eKind, prefix](const searchref::Row& r) {
          return r.cells[k].null || searchref::Digits(eKind, r.cells[k]) < prefix;
        };
        ExpectRows(t, s.get(), nullptr, before, Label(t, k, "backward before prefix", prefix));
      }
    }
  }
};

const std::vector<std::wstring> kDatePrefixes = {L"2023", L"202312", L"2024022", L"9999",
                                                 L"1000", L"1"};
const std::vector<std::wstring> kDateTimePrefixes = {L"2024", L"2024022", L"202402291200",
                                                     L"9999", L"1000"};
const std::vector<std::wstring> kTimePrefixes = {L"23", L"2359", L"12", L"0830", L"0"};

// Texts begin with the prefix (LIKE characters, quotes and backslashes taken
// literally); both continuations leave the prefix's rows.
TEST_F(GenericSearch, TextPrefixesSelectTheRowsThatBeginWithThemAndContinueAroundThem) {
  const Table t = ValuesTable();
  ASSERT_TRUE(Build(t, kValuesSqlTypes, ValuesItems()));
  Check(t, "T", {L"", L"a", L"ab", L"ab%", L"ab_", L"a\\", L"O'", L"x\"", L"%", L"_", L"\\",
                 L"\u00e9", L"abc", L"q"}, true, true);
  Check(t, "U", {L"", L"a", L"ab", L"a_", L"a\\", L"\u6f22", L"emoji \U0001F600", L"\u03a9", L"%",
                 L"\uff07"}, true, true);
}

// Partial dates and times stand for their whole range (carries: 202312,
// 2024022; ranges whose end cannot be written: 9999, 23); a complete value
// is one instant.
TEST_F(GenericSearch, PartialDatesAndTimesSelectTheirWholeRange) {
  const Table t = ValuesTable();
  ASSERT_TRUE(Build(t, kValuesSqlTypes, ValuesItems()));
  Check(t, "D", kDatePrefixes, false, false);
  Check(t, "DT", kDateTimePrefixes, false, false);
  Check(t, "H", kTimePrefixes, false, false);
  Check(t, "D", {L"20240229", L"99991231"}, true, true);
  Check(t, "DT", {L"99991231235959999", L"20231231235959999"}, true, true);
  Check(t, "H", {L"235959999"}, true, true);
}

TEST_F(GenericSearch, BackwardFromAPartialDateOrTimeReadsTheRowsBeforeItsRange) {
  const Table t = ValuesTable();
  ASSERT_TRUE(Build(t, kValuesSqlTypes, ValuesItems()));
  Check(t, "D", kDatePrefixes, false, true);
  Check(t, "H", kTimePrefixes, false, true);
}

// Continuations of a partial date go past the whole range forward (nothing
// after a range reaching the last instant) and below it backward; a time
// compared as its digits continues as a text prefix.
TEST_F(GenericSearch, ContinuationsOfAPartialDateOrTimeGoPastItsWholeRange) {
  const Table t = ValuesTable();
  ASSERT_TRUE(Build(t, kValuesSqlTypes, ValuesItems()));
  Check(t, "D", kDatePrefixes, true, false);
  Check(t, "DT", kDateTimePrefixes, true, true);
  Check(t, "H", kTimePrefixes, true, false);
}

// Comparisons added to a search (bAddExpression), alone and joined: the
// order with NULL first (greater never selects NULL, less and less-or-equal
// do), the joins as written.
TEST_F(SearchServerTest, ComparisonsAddedToASearchSelectTheReferenceRows) {
  const Table t = ValuesTable();
  ASSERT_TRUE(Build(t, kValuesSqlTypes, ValuesItems()));
  struct Part {
    const char* column;
    eNAOperator op;
    Cell value;
  };
  const auto pred = [&t](const Part& p) -> Pred {
    const int k = t.Index(p.column);
    switch (p.op) {
      case NA_OP_EQUAL: return searchref::Equal(t, k, p.value);
      case NA_OP_GREATER: return searchref::Greater(t, k, p.value);
      case NA_OP_LESS: return searchref::Less(t, k, p.value);
      case NA_OP_GREATER_OR_EQUAL: return searchref::Not(searchref::Less(t, k, p.value));
      case NA_OP_LESS_OR_EQUAL: return searchref::Not(searchref::Greater(t, k, p.value));
      default: return searchref::All();
    }
  };
  const struct {
    std::vector<Part> parts;
    eNAOperator join;
  } kCases[] = {
      {{{"N", NA_OP_GREATER, Cell::Num(5)}}, NA_OP_AND},
      {{{"N", NA_OP_GREATER_OR_EQUAL, Cell::Num(-5)}}, NA_OP_AND},
      {{{"N", NA_OP_LESS_OR_EQUAL, Cell::Num(0)}}, NA_OP_AND},
      {{{"N", NA_OP_LESS, Cell::Num(-5)}}, NA_OP_AND},
      {{{"M", NA_OP_LESS, Cell::Num(-1)}}, NA_OP_AND},
      {{{"M", NA_OP_GREATER_OR_EQUAL, Cell::Num(0)}}, NA_OP_AND},
      {{{"T", NA_OP_GREATER, Cell::Text(L"ab")}}, NA_OP_AND},
      {{{"T", NA_OP_LESS_OR_EQUAL, Cell::Text(L"ab%")}}, NA_OP_AND},
      {{{"U", NA_OP_GREATER_OR_EQUAL, Cell::Text(L"\u6f22")}}, NA_OP_AND},
      {{{"D", NA_OP_GREATER_OR_EQUAL, Cell::Num(10000101)}}, NA_OP_AND},
      {{{"D", NA_OP_LESS_OR_EQUAL, Cell::Num(99991231)}}, NA_OP_AND},
      {{{"DT", NA_OP_GREATER, Cell::Num(20240229120000499LL)}}, NA_OP_AND},
      {{{"H", NA_OP_LESS, Cell::Num(120000500)}}, NA_OP_AND},
      {{{"N", NA_OP_GREATER_OR_EQUAL, Cell::Num(-5)}, {"N", NA_OP_LESS, Cell::Num(20)}}, NA_OP_AND},
      {{{"T", NA_OP_LESS, Cell::Text(L"b")}, {"N", NA_OP_EQUAL, Cell::Num(0)}}, NA_OP_OR},
      {{{"D", NA_OP_GREATER, Cell::Num(20231231)}, {"M", NA_OP_LESS_OR_EQUAL, Cell::Num(0)},
        {"U", NA_OP_EQUAL, Cell::Text(L"a")}},
       NA_OP_AND},
  };
  for (const auto& c : kCases) {
    SearchPtr s = NewSearch();
    Pred expected;
    std::string label;
    for (const Part& p : c.parts) {
      const int k = t.Index(p.column);
      const CAny value = ValueOf(t.kinds[k], p.value);
      ASSERT_TRUE(s->bAddExpression(m_pclRecord, Item(p.column), p.op, &value, 0, c.join, 0));
      const Pred one = pred(p);
      if (!expected) {
        expected = one;
      } else if (c.join == NA_OP_AND) {
        expected = searchref::And(expected, one);
      } else {
        const Pred before = expected;
        expected = [before, one](const searchref::Row& r) { return before(r) || one(r); };
      }
      if (!label.empty()) label += c.join == NA_OP_AND ? " AND " : " OR ";
      label += std::string(p.column) + Show(CNAExpression::s_pszDumpOp(p.op)) +
               Show(searchref::Digits(t.kinds[k], p.value));
    }
    ExpectRows(t, s.get(), nullptr, expected, label);
  }
}

// A filter bound: a cell, or the type's extreme (no bound).
struct FilterBound {
  enum Form { kValue, kMin, kMax } form = kValue;
  Cell v;
  bool included = true;
};
FilterBound V(Cell v, bool included = true) {
  return {FilterBound::kValue, std::move(v), included};
}
FilterBound Min() { return {FilterBound::kMin, Cell::Null(), true}; }
FilterBound Max() { return {FilterBound::kMax, Cell::Null(), true}; }

struct FilterCase {
  const char* column;
  FilterBound lo, hi;
};

const FilterCase kFilterCases[] = {
    {"N", V(Cell::Num(0)), V(Cell::Num(20))},
    {"N", V(Cell::Num(0)), V(Cell::Num(20), false)},
    {"N", V(Cell::Num(0), false), V(Cell::Num(20))},
    {"N", V(Cell::Num(-5)), V(Cell::Num(5))},
    {"N", Min(), V(Cell::Num(20))},
    {"N", V(Cell::Num(0)), Max()},
    {"N", V(Cell::Num(-1000000)), Max()},
    {"N", Min(), Max()},
    {"N", V(Cell::Num(5)), V(Cell::Num(5))},
    {"N", V(Cell::Num(0)), V(Cell::Num(0))},
    {"N", V(Cell::Num(20)), V(Cell::Num(0))},
    {"M", V(Cell::Num(0)), V(Cell::Num(1500000))},
    {"M", Min(), V(Cell::Num(0))},
    {"M", Min(), Max()},
    {"M", V(Cell::Num(-1500000)), V(Cell::Num(1500000))},
    {"M", V(Cell::Num(-999999999999000000LL)), V(Cell::Num(-1))},
    {"T", V(Cell::Text(L"a")), V(Cell::Text(L"b"))},
    {"T", V(Cell::Text(L"ab%")), V(Cell::Text(L"ab_"))},
    {"T", V(Cell::Text(L"a"), false), V(Cell::Text(L"abc"), false)},
    {"T", V(Cell::Text(L"")), V(Cell::Text(L""))},
    {"T", V(Cell::Text(L"\\")), V(Cell::Text(L"\u00e9t\u00e9"))},
    {"U", V(Cell::Text(L"a")), V(Cell::Text(L"\u6f22"))},
    {"D", V(Cell::Num(10000101)), V(Cell::Num(99991231))},
    {"D", Min(), V(Cell::Num(20240229))},
    {"D", V(Cell::Num(20231201)), Max()},
    {"D", Min(), Max()},
    {"D", V(Cell::Num(20240229)), V(Cell::Num(20240229))},
    {"DT", Min(), Max()},
    {"DT", V(Cell::Num(10000101000000000LL)), V(Cell::Num(99991231235959999LL))},
    {"DT", V(Cell::Num(20240101000000000LL)), Max()},
    {"DT", Min(), V(Cell::Num(20240229120000500LL), false)},
    {"H", Min(), Max()},
    {"H", V(Cell::Num(0)), V(Cell::Num(120000500))},
    {"H", V(Cell::Num(230000000)), Max()},
};

// Sets the filter of the case on the record and activates it; the
// reference's bounds.
bool SetFilter(CNAFilter* f, CNARecord* pclRecord, INAItemDescription* piItem, Kind eKind,
               const FilterCase& c, Bound* pLo, Bound* pHi) {
  const auto value = [&](const FilterBound& b) {
    return b.form == FilterBound::kValue ? ValueOf(eKind, b.v, true)
                                         : Extreme(eKind, b.form == FilterBound::kMax);
  };
  const CAny lo = value(c.lo), hi = value(c.hi);
  // A date's minimum is the empty date text, the engine's NULL.
  *pLo = {c.lo.form == FilterBound::kValue, c.lo.v, c.lo.included,
          c.lo.form == FilterBound::kMin && eKind == Kind::kDate};
  *pHi = {c.hi.form == FilterBound::kValue, c.hi.v, c.hi.included};
  const int bOk = f->bSetFilter(pclRecord, piItem, &lo, c.lo.included, &hi, c.hi.included,
                                nullptr, 0);
  f->ActivateFilter(1);
  return bOk != 0;
}

std::string FilterLabel(const Table& t, int k, const FilterCase& c) {
  const auto show = [&](const FilterBound& b) {
    if (b.form == FilterBound::kMin) return std::string("{min}");
    if (b.form == FilterBound::kMax) return std::string("{max}");
    return b.v.null ? std::string("NULL") : Show(searchref::Digits(t.kinds[k], b.v));
  };
  return t.columns[k] + " in " + (c.lo.included ? "[" : "(") + show(c.lo) + ", " + show(c.hi) +
         (c.hi.included ? "]" : ")");
}

// Empty-text lower bounds: they let NULL through, and then the upper bound
// too.
const FilterCase kEmptyTextLowerBounds[] = {
    {"T", V(Cell::Text(L"")), V(Cell::Text(L"ab"))},
    {"U", V(Cell::Text(L"")), V(Cell::Text(L"\u03a9"))},
    {"T", V(Cell::Text(L"")), V(Cell::Text(L"zz"))},
};

class FilterOnServer : public SearchServerTest {
 protected:
  void Check(const Table& t, const FilterCase& c) {
    const int k = t.Index(c.column);
    FilterPtr f = NewFilter();
    Bound lo, hi;
    ASSERT_TRUE(SetFilter(f.get(), m_pclRecord, Item(c.column), t.kinds[k], c, &lo, &hi))
        << FilterLabel(t, k, c);
    const Pred p = searchref::Filter(t, k, lo, hi);
    // The filter alone (an inactive search writes only the filter), and the
    // filter itself as the search written.
    SearchPtr none = NewSearch();
    ExpectRows(t, none.get(), f.get(), p, FilterLabel(t, k, c) + " under an inactive search");
    ExpectRows(t, f.get(), nullptr, p, FilterLabel(t, k, c) + " written by itself");
  }
};

TEST_F(FilterOnServer, FiltersSelectTheRowsBetweenTheirBoundsWithNullLetThroughOnlyFromZero) {
  const Table t = ValuesTable();
  ASSERT_TRUE(Build(t, kValuesSqlTypes, ValuesItems()));
  for (const FilterCase& c : kFilterCases) Check(t, c);
}

// An empty-text lower bound lets NULL through, and then the upper bound too.
TEST_F(FilterOnServer, AnEmptyTextLowerBoundLetsNullThroughBothBounds) {
  const Table t = ValuesTable();
  ASSERT_TRUE(Build(t, kValuesSqlTypes, ValuesItems()));
  for (const FilterCase& c : kEmptyTextLowerBounds) Check(t, c);
}

// A filter joined with searches and their continuations on another item.
TEST_F(SearchServerTest, SearchesUnderAFilterSelectTheRowsOfBoth) {
  const Table t = ValuesTable();
  ASSERT_TRUE(Build(t, kValuesSqlTypes, ValuesItems()));
  const int n = t.Index("N"), tx = t.Index("T"), d = t.Index("D");
  const struct {
    FilterCase filter;
    const char* column;
    Cell value;
    bool exact;
  } kCases[] = {
      {{"N", V(Cell::Num(0)), V(Cell::Num(20))}, "T", Cell::Text(L"ab"), true},
      {{"N", V(Cell::Num(0)), V(Cell::Num(20))}, "T", Cell::Text(L"a"), false},
      {{"N", Min(), V(Cell::Num(5))}, "T", Cell::Text(L"ab%"), false},
      {{"D", Min(), Max()}, "N", Cell::Num(0), true},
      {{"D", V(Cell::Num(20231201)), Max()}, "N", Cell::Null(), true},
      {{"T", V(Cell::Text(L"a")), V(Cell::Text(L"b"))}, "N", Cell::Num(5), true},
      {{"M", Min(), V(Cell::Num(0))}, "D", Cell::Num(20240229), true},
  };
  for (const auto& c : kCases) {
    const int kf = t.Index(c.filter.column), ks = t.Index(c.column);
    FilterPtr f = NewFilter();
    Bound lo, hi;
    ASSERT_TRUE(SetFilter(f.get(), m_pclRecord, Item(c.filter.column), t.kinds[kf], c.filter, &lo,
                          &hi));
    const Pred pf = searchref::Filter(t, kf, lo, hi);
    SearchPtr s = NewSearch();
    const CAny value = ValueOf(t.kinds[ks], c.value);
    ASSERT_TRUE(s->bSetRecherche(m_pclRecord, Item(c.column), &value, NA_PARSE_FIRST, c.exact, 0));
    const std::wstring shown = c.value.null ? L"NULL" : searchref::Digits(t.kinds[ks], c.value);
    const std::string label = FilterLabel(t, kf, c.filter) + " and " +
                              Label(t, ks, c.exact ? "=" : "begins with", shown);
    const Pred match = c.exact ? searchref::Equal(t, ks, c.value)
                               : searchref::Begins(t, ks, c.value.s);
    ExpectRows(t, s.get(), f.get(), searchref::And(pf, match), label);
    ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_FIRST));
    const Pred forward =
        c.exact ? searchref::Greater(t, ks, c.value)
                : searchref::And(searchref::Greater(t, ks, c.value), searchref::Not(match));
    ExpectRows(t, s.get(), f.get(), searchref::And(pf, forward), label + ", forward");
    ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_FIRST));
    ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_LAST));
    ExpectRows(t, s.get(), f.get(), searchref::And(pf, searchref::Less(t, ks, c.value)),
               label + ", backward");
  }
  (void)n;
  (void)tx;
  (void)d;
}

// ---- Composite keys: browsing by continuation conditions.

// Rows over three components of every width, NULLs, duplicates of whole
// keys (the id orders them), texts with LIKE and quoting characters; the
// unique key P, Q, R holds no NULL and no duplicate.
Table KeysTable() {
  Table t;
  t.name = "kq_search_keys";
  t.columns = {"A", "B", "C", "P", "Q", "R"};
  t.kinds = {Kind::kText, Kind::kNumber, Kind::kText, Kind::kText, Kind::kNumber, Kind::kText};
  const std::vector<Cell> as = {Cell::Null(), Cell::Text(L""), Cell::Text(L"a"),
                                Cell::Text(L"ab"), Cell::Text(L"a%"), Cell::Text(L"a_"),
                                Cell::Text(L"O'H"), Cell::Text(L"a\\")};
  const std::vector<Cell> bs = {Cell::Num(0), Cell::Null(), Cell::Num(-3), Cell::Num(7)};
  const std::vector<Cell> cs = {Cell::Text(L"\u6f22"), Cell::Text(L""), Cell::Null(),
                                Cell::Text(L"x")};
  const std::vector<Cell> ps = {Cell::Text(L""), Cell::Text(L"a"), Cell::Text(L"a%"),
                                Cell::Text(L"a_b"), Cell::Text(L"b\\"), Cell::Text(L"it's")};
  const std::vector<Cell> qs = {Cell::Num(-2147483647), Cell::Num(-1), Cell::Num(0),
                                Cell::Num(1), Cell::Num(2147483647)};
  const std::vector<Cell> rs = {Cell::Text(L""), Cell::Text(L"\u00e9"), Cell::Text(L"\u6f22\u5b57"),
                                Cell::Text(L"%_")};
  int id = 0;
  // A, B, C: every fourth combination, twice for some (duplicates).
  for (size_t i = 0; i < as.size() * bs.size(); ++i) {
    searchref::Row r;
    r.id = ++id;
    r.cells = {as[i % as.size()], bs[i / as.size()], cs[(i * 7) % cs.size()],
               ps[i % ps.size()], qs[(i / ps.size()) % qs.size()], rs[(i * 3) % rs.size()]};
    t.rows.push_back(r);
  }
  // Duplicates of (A, B, C).
  for (int i = 0; i < 4; ++i) {
    searchref::Row r = t.rows[static_cast<size_t>(i * 5)];
    r.id = ++id;
    r.cells[3] = Cell::Text(L"dup");
    r.cells[4] = Cell::Num(i);
    r.cells[5] = Cell::Text(L"d");
    t.rows.push_back(r);
  }
  return t;
}

const std::vector<std::string> kKeysSqlTypes = {
    "VARCHAR(10) CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin",
    "INT",
    "VARCHAR(10) CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin",
    "VARCHAR(10) CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin NOT NULL",
    "INT NOT NULL",
    "VARCHAR(10) CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin NOT NULL"};

std::vector<StandInItemDecl> KeysItems() {
  // A composed key's width is the sum of its components' (UTF-16 for
  // Unicode): 10 + 4 + 20.
  return {Decl(L"id", NA_IT_I4, 4, kPrimary, false),
          Decl(L"A", NA_IT_TEXTE, 11),
          Decl(L"B", NA_IT_I4, 4),
          Decl(L"C", NA_IT_UNICODE, 22),
          Decl(L"P", NA_IT_TEXTE, 11, 0, false),
          Decl(L"Q", NA_IT_I4, 4, 0, false),
          Decl(L"R", NA_IT_UNICODE, 22, 0, false),
          Decl(L"ABC", NA_IT_BINAIRE, 34, kComposed | kDuplicates, true, {L"A", L"B", L"C"}),
          Decl(L"PQR", NA_IT_BINAIRE, 34, kComposed | kUnique, false, {L"P", L"Q", L"R"})};
}

class CompositeBrowse : public SearchServerTest {
 protected:
  // Puts the row's values in the record's columns (id and the key's).
  void Position(const Table& t, int id, const std::vector<std::string>& columns) {
    const searchref::Row& r = t.rows[static_cast<size_t>(id - 1)];
    CAny v;
    v.SetI4(id);
    ASSERT_TRUE(Column("id")->bSetValue(&v, 0));
    for (const std::string& name : columns) {
      const int k = t.Index(name);
      const CAny value = ValueOf(t.kinds[k], r.cells[k]);
      ASSERT_TRUE(Column(name)->bSetValue(&value, 0)) << name;
    }
  }
  std::string OrderBy(const std::vector<std::string>& columns, bool bDescending) {
    std::string s;
    for (const std::string& c : columns) s += c + (bDescending ? " DESC," : ",");
    return s + (bDescending ? "id DESC" : "id");
  }
};

// As a data access positioned on the current record: the search on the
// record (bRechercheEnreg), switched to its continuation, read on in key
// order a few rows at a time, the last row read the new position.
TEST_F(CompositeBrowse, BrowsingFromTheCurrentRecordVisitsEveryRowOnceInEachDirection) {
  const Table t = KeysTable();
  ASSERT_TRUE(Build(t, kKeysSqlTypes, KeysItems()));
  const std::vector<std::string> key = {"A", "B", "C"};
  const std::vector<int> ks = {t.Index("A"), t.Index("B"), t.Index("C")};
  for (const bool bBackward : {false, true}) {
    SCOPED_TRACE(bBackward ? "backward" : "forward");
    const std::vector<int> expected = searchref::Ordered(t, ks, bBackward, searchref::All());
    const eNA_PARSEDIRECTION eDir = bBackward ? NA_PARSE_LAST : NA_PARSE_FIRST;
    std::vector<int> visited = ServerIds(t.name, L"", OrderBy(key, bBackward), 1);
    ASSERT_EQ(visited.size(), 1u);
    for (int nStep = 0; nStep < 200; ++nStep) {
      Position(t, visited.back(), key);
      SearchPtr s = NewSearch();
      ASSERT_TRUE(s->bRechercheEnreg(m_pclRecord, Item("ABC"), eDir, 0, nullptr));
      ASSERT_TRUE(s->bSetContinueParcours(eDir));
      std::wstring cond;
      ASSERT_TRUE(Condition(s.get(), nullptr, &cond)) << Show(cond);
      const std::vector<int> next = ServerIds(t.name, cond, OrderBy(key, bBackward), 3);
      if (next.empty()) break;
      for (int id : next) {
        // Each row read must be the next one in key order.
        const size_t at = visited.size();
        ASSERT_LT(at, expected.size()) << "read past the last row: " << id << "\n  WHERE "
                                       << Show(cond);
        ASSERT_EQ(id, expected[at]) << "after row " << visited.back() << "\n  WHERE " << Show(cond);
        visited.push_back(id);
      }
    }
    EXPECT_EQ(searchref::Ids(visited), searchref::Ids(expected));
  }
}

// As a browse on a searched value: the exact search on the unique key's
// value (the record's composed-key bytes) reads its row, the continuation
// reads the next row in key order, whose key becomes the next search value.
TEST_F(CompositeBrowse, BrowsingBySearchedKeyValuesVisitsEveryRowOnceInEachDirection) {
  const Table t = KeysTable();
  ASSERT_TRUE(Build(t, kKeysSqlTypes, KeysItems()));
  const std::vector<std::string> key = {"P", "Q", "R"};
  const std::vector<int> ks = {t.Index("P"), t.Index("Q"), t.Index("R")};
  for (const bool bBackward : {false, true}) {
    SCOPED_TRACE(bBackward ? "backward" : "forward");
    const std::vector<int> expected = searchref::Ordered(t, ks, bBackward, searchref::All());
    const eNA_PARSEDIRECTION eDir = bBackward ? NA_PARSE_LAST : NA_PARSE_FIRST;
    std::vector<int> next = ServerIds(t.name, L"", OrderBy(key, bBackward), 1);
    std::vector<int> visited;
    for (int nStep = 0; nStep < 200 && !next.empty(); ++nStep) {
      Position(t, next.front(), key);
      CAny value;
      ASSERT_EQ(Column("PQR")->bGetCurrentValue(&value, 0), 1);
      SearchPtr s = NewSearch();
      ASSERT_TRUE(s->bSetRecherche(m_pclRecord, Item("PQR"), &value, eDir, 1, 0));
      std::wstring cond;
      ASSERT_TRUE(Condition(s.get(), nullptr, &cond)) << Show(cond);
      const std::vector<int> found = ServerIds(t.name, cond, OrderBy(key, bBackward));
      ASSERT_EQ(searchref::Ids(found), std::to_string(next.front()))
          << "the search of row " << next.front() << "'s key\n  WHERE " << Show(cond);
      visited.push_back(found.front());
      ASSERT_TRUE(s->bSetContinueParcours(eDir));
      ASSERT_TRUE(Condition(s.get(), nullptr, &cond)) << Show(cond);
      next = ServerIds(t.name, cond, OrderBy(key, bBackward), 1);
      if (!next.empty() && visited.size() < expected.size()) {
        ASSERT_EQ(next.front(), expected[visited.size()])
            << "after row " << visited.back() << "\n  WHERE " << Show(cond);
      }
    }
    EXPECT_EQ(searchref::Ids(visited), searchref::Ids(expected));
  }
}

// Composite values that hold the first components only: a generic search
// compares the components given, the last as a prefix (a whole component
// too: the item begins with the value).
TEST_F(CompositeBrowse, PartialCompositeValuesSearchTheComponentsTheyHold) {
  const Table t = KeysTable();
  ASSERT_TRUE(Build(t, kKeysSqlTypes, KeysItems()));
  const int p = t.Index("P"), q = t.Index("Q");
  const struct {
    std::wstring p;
    int nBytes;  // of the composed value: the P component is 10 bytes
    Pred expected;
  } kCases[] = {
      {L"a", 1, searchref::Begins(t, p, L"a")},
      {L"a%", 2, searchref::Begins(t, p, L"a%")},
      {L"b\\", 2, searchref::Begins(t, p, L"b\\")},
      {L"it's", 4, searchref::Begins(t, p, L"it's")},
      {L"a_b", 10, searchref::Begins(t, p, L"a_b")},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(Show(c.p));
    const CAny pv = WideText(c.p);
    ASSERT_TRUE(Column("P")->bSetValue(&pv, 0));
    CAny qv;
    qv.SetI4(0);
    ASSERT_TRUE(Column("Q")->bSetValue(&qv, 0));
    const CAny rv = WideText(L"");
    ASSERT_TRUE(Column("R")->bSetValue(&rv, 0));
    CAny whole;
    ASSERT_EQ(Column("PQR")->bGetCurrentValue(&whole, 0), 1);
    void* pData = nullptr;
    whole.pclGetIntern()->nGetDataAdr(&pData);
    CAny value;
    value.SetBIN(static_cast<const unsigned char*>(pData), static_cast<unsigned int>(c.nBytes));
    SearchPtr s = NewSearch();
    ASSERT_TRUE(s->bSetRecherche(m_pclRecord, Item("PQR"), &value, NA_PARSE_FIRST, 0, 0));
    ExpectRows(t, s.get(), nullptr, c.expected, "generic composite " + Show(c.p));
  }
  (void)q;
}

// ---- The hostile corpus

std::vector<CorpusEntry> ReadCorpus() { return ReadHostileCorpus(KQ_HOSTILE_CORPUS); }

// Whether an 8-bit text item holds the value: Latin-1 characters outside the
// control block 0x80-0x9F, which every 8-bit code page of the language
// writes alike.
bool FitsEightBit(const std::wstring& s) {
  for (wchar_t c : s)
    if (c > 0xFF || (c >= 0x80 && c < 0xA0)) return false;
  return true;
}

// Which checks of the hostile suite run: the main suite leaves out the
// generic searches and filters of values holding a character 0 and the
// filters from the empty text, which the second suite runs alone.
enum class HostilePart { kMain, kZeroAndEmptyBounds };

class HostileSearch : public SearchServerTest {
 protected:
  void Run(HostilePart ePart);
};

TEST_F(HostileSearch, HostileValuesSearchedContinuedAndFilteredSelectExactRowsInEverySqlMode) {
  Run(HostilePart::kMain);
}

// A text holding a character 0 is searched and bounded as a whole (never cut
// at the 0, never counted as empty), and an empty-text lower bound lets NULL
// through.
TEST_F(HostileSearch, ValuesHoldingZeroAndFiltersFromTheEmptyTextSelectExactRows) {
  Run(HostilePart::kZeroAndEmptyBounds);
}

void HostileSearch::Run(HostilePart ePart) {
  const std::vector<CorpusEntry> corpus = ReadCorpus();
  ASSERT_GT(corpus.size(), 30u);
  Table t;
  t.name = "kq_search_hostile";
  t.columns = {"T", "U"};
  t.kinds = {Kind::kText, Kind::kText};
  for (size_t i = 0; i < corpus.size(); ++i) {
    const std::wstring& v = corpus[i].value;
    t.rows.push_back({static_cast<int>(i + 1),
                      {FitsEightBit(v) ? Cell::Text(v) : Cell::Null(), Cell::Text(v)}});
  }
  t.rows.push_back({static_cast<int>(corpus.size() + 1), {Cell::Null(), Cell::Null()}});
  ASSERT_TRUE(Build(t,
                    {"VARCHAR(300) CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin",
                     "VARCHAR(300) CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin"},
                    {Decl(L"id", NA_IT_I4, 4, kPrimary, false), Decl(L"T", NA_IT_TEXTE, 301),
                     Decl(L"U", NA_IT_UNICODE, 602)}));
  ASSERT_TRUE(m_session.bRun(L"CREATE OR REPLACE TEMPORARY TABLE kq_search_canary (n INT)"));
  ASSERT_TRUE(m_session.bRun(L"INSERT INTO kq_search_canary VALUES (7)"));
  for (const wchar_t* mode : {L"DEFAULT", L"'NO_BACKSLASH_ESCAPES'", L"'ANSI_QUOTES'",
                              L"'NO_BACKSLASH_ESCAPES,ANSI_QUOTES'"}) {
    ASSERT_TRUE(m_session.bRun(std::wstring(L"SET SESSION sql_mode = ") + mode));
    const std::wstring m = mode;
    ASSERT_TRUE(m_session.bSays(
        std::wstring(L"(FIND_IN_SET('NO_BACKSLASH_ESCAPES', @@SESSION.sql_mode) > 0) = ") +
        (m.find(L"NO_BACKSLASH") != std::wstring::npos ? L"TRUE" : L"FALSE") +
        L" AND (FIND_IN_SET('ANSI_QUOTES', @@SESSION.sql_mode) > 0) = " +
        (m.find(L"ANSI_QUOTES") != std::wstring::npos ? L"TRUE" : L"FALSE")));
    for (size_t i = 0; i < corpus.size(); ++i) {
      const CorpusEntry& e = corpus[i];
      const std::wstring& other = corpus[(i + 1) % corpus.size()].value;
      for (int k = 0; k < 2; ++k) {
        if (k == 0 && (!FitsEightBit(e.value) || !FitsEightBit(other))) continue;
        const std::string label = e.label + " on " + t.columns[k] + " in " + Show(m);
        const Cell v = Cell::Text(e.value);
        const CAny value = WideText(e.value);
        const bool bZero = e.value.find(L'\0') != std::wstring::npos;
        const bool bMain = ePart == HostilePart::kMain;
        const bool bFirst = e.value <= other;
        const Bound lo{true, Cell::Text(bFirst ? e.value : other), true};
        const Bound hi{true, Cell::Text(bFirst ? other : e.value), true};
        const bool bFilterApart =
            bZero || other.find(L'\0') != std::wstring::npos || lo.v.s.empty();
        if (bMain) {
          // Exact search and its continuations.
          SearchPtr s = NewSearch();
          ASSERT_TRUE(s->bSetRecherche(m_pclRecord, Item(t.columns[k]), &value, NA_PARSE_FIRST,
                                       1, 0));
          ExpectRows(t, s.get(), nullptr, searchref::Equal(t, k, v), label + ": =");
          ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_FIRST));
          ExpectRows(t, s.get(), nullptr, searchref::Greater(t, k, v), label + ": forward");
          ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_FIRST));
          ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_LAST));
          ExpectRows(t, s.get(), nullptr, searchref::Less(t, k, v), label + ": backward");
        }
        // Generic search (prefix) and its forward continuation.
        if (bMain != bZero) {
          SearchPtr g = NewSearch();
          ASSERT_TRUE(g->bSetRecherche(m_pclRecord, Item(t.columns[k]), &value, NA_PARSE_FIRST,
                                       0, 0));
          const Pred begins = searchref::Begins(t, k, e.value);
          ExpectRows(t, g.get(), nullptr, begins, label + ": begins with");
          ASSERT_TRUE(g->bSetContinueParcours(NA_PARSE_FIRST));
          ExpectRows(t, g.get(), nullptr,
                     searchref::And(searchref::Greater(t, k, v), searchref::Not(begins)),
                     label + ": forward past the prefix");
        }
        // Filter bounds: this value and the next one, in order.
        if (bMain == bFilterApart) continue;
        FilterPtr f = NewFilter();
        const CAny loValue = WideText(lo.v.s), hiValue = WideText(hi.v.s);
        ASSERT_TRUE(f->bSetFilter(m_pclRecord, Item(t.columns[k]), &loValue, 1, &hiValue, 1,
                                  nullptr, 0));
        f->ActivateFilter(1);
        SearchPtr none = NewSearch();
        ExpectRows(t, none.get(), f.get(), searchref::Filter(t, k, lo, hi), label + ": filter");
      }
    }
    EXPECT_TRUE(m_session.bSays(L"(SELECT COUNT(*) FROM kq_search_canary) = 1"));
    EXPECT_EQ(m_session.FirstCells("SELECT n FROM kq_search_canary"),
              std::vector<std::string>{"7"});
    EXPECT_EQ(m_session.FirstCells("SELECT COUNT(*) FROM " + t.name),
              std::vector<std::string>{std::to_string(t.rows.size())});
  }
  // Every value ran in every mode (a loop cut short proves nothing): at
  // least its exact search and both continuations on the Unicode item.
  if (ePart == HostilePart::kMain) {
    EXPECT_GE(m_nChecked, corpus.size() * 4 * 3);
  }
  ASSERT_TRUE(m_session.bRun(L"SET SESSION sql_mode = DEFAULT"));
}

}  // namespace
}  // namespace kqtest
