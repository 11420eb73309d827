// Executing a statement and moving through its rows on the fixture's server:
// every row a move reads into the record equals the row the client library
// itself reads for the same SELECT, forward and backward, through the
// record cache and without it; windows cut by a row limit or by the cache's
// byte cap are crossed without skipping or repeating a row; an empty result,
// a cache switched on after the execution, the server's errors (before the
// rows and in the middle of a stream), an UPDATE that touches nothing, the
// single-value reads and the row count.
#include <climits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "statements/record_cache.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/second_session.h"
#include "tests/statements/statement_test_support.h"
#include "tests/support/utf8_reference.h"
#include "values/any.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

// The browsed table: 10,000 rows computed from their number, so that every
// test program that makes it makes the same rows (programs run at the same
// time on one server: the first one creates it, the others wait for it and
// find it made). grp has many ties; lat holds latin text, u8 four-byte
// characters; opt is NULL on every 7th row.
constexpr int kRows = 10000;
const char kTable[] = "kq_fetch_rows_v1";
const wchar_t kTableW[] = L"kq_fetch_rows_v1";
const char kCreateTable[] =
    "CREATE TABLE IF NOT EXISTS kq_fetch_rows_v1 ("
    " id INT NOT NULL PRIMARY KEY, grp INT NOT NULL,"
    " lat VARCHAR(24) CHARACTER SET latin1 NOT NULL,"
    " u8 VARCHAR(24) CHARACTER SET utf8mb4 NOT NULL,"
    " amount DECIMAL(12,2) NOT NULL, at DATETIME NOT NULL, opt INT NULL, KEY (grp))"
    " ENGINE=InnoDB CHARACTER SET utf8mb4 "
    "SELECT n AS id, (n * 7919) % 97 AS grp,"
    " CONCAT('Zo\xC3\xAB ', n % 13, ' ', REPEAT('\xC3\xA9', n % 5)) AS lat,"
    " CONCAT('k', n % 17, REPEAT(_utf8mb4 x'F09F9880', n % 3), '\xE5\xAD\x97') AS u8,"
    " (n * 37 % 100000) / 100 - 250 AS amount,"
    " TIMESTAMP'2020-01-01 00:00:00' + INTERVAL ((n * 7919) % 1000000) MINUTE AS at,"
    " IF(n % 7 = 0, NULL, n % 11) AS opt"
    " FROM (SELECT a.d + 10 * b.d + 100 * c.d + 1000 * e.d + 1 AS n"
    " FROM (SELECT 0 d UNION ALL SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3"
    " UNION ALL SELECT 4 UNION ALL SELECT 5 UNION ALL SELECT 6 UNION ALL SELECT 7"
    " UNION ALL SELECT 8 UNION ALL SELECT 9) a,"
    " (SELECT 0 d UNION ALL SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3"
    " UNION ALL SELECT 4 UNION ALL SELECT 5 UNION ALL SELECT 6 UNION ALL SELECT 7"
    " UNION ALL SELECT 8 UNION ALL SELECT 9) b,"
    " (SELECT 0 d UNION ALL SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3"
    " UNION ALL SELECT 4 UNION ALL SELECT 5 UNION ALL SELECT 6 UNION ALL SELECT 7"
    " UNION ALL SELECT 8 UNION ALL SELECT 9) c,"
    " (SELECT 0 d UNION ALL SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3"
    " UNION ALL SELECT 4 UNION ALL SELECT 5 UNION ALL SELECT 6 UNION ALL SELECT 7"
    " UNION ALL SELECT 8 UNION ALL SELECT 9) e) numbers";
const wchar_t kSelectList[] =
    L"SELECT `id`,`grp`,`lat`,`u8`,`amount`,`at`,`opt` FROM kq_fetch_rows_v1";

std::wstring Widen(const std::string& utf8_ascii) {
  return std::wstring(utf8_ascii.begin(), utf8_ascii.end());
}

// A row's cells on one line, for failure messages.
std::string Show(const StatementServerTest::Row& row) {
  std::string s;
  for (const auto& cell : row) s += (s.empty() ? "" : " | ") + (cell ? *cell : "NULL");
  return s;
}

class StatementFetchTest : public StatementServerTest {
 protected:
  void SetUp() override {
    StatementServerTest::SetUp();
    if (HasFatalFailure()) return;
    static bool s_bTableMade = false;
    if (!s_bTableMade) {
      ASSERT_TRUE(Run(kCreateTable));
      s_bTableMade = true;
    }
    ASSERT_TRUE(OpenTable(kTableW));
  }

  // The client's row as the record reads it back: a DATETIME as its digits
  // with the milliseconds, a DECIMAL without the zeros after its point.
  static StatementServerTest::Row AsRecordReadsIt(StatementServerTest::Row row) {
    if (row.size() != 7) return row;
    if (std::optional<std::string>& at = row[5]) {
      std::erase_if(*at, [](char c) { return c < '0' || c > '9'; });
      *at += "000";
    }
    if (std::optional<std::string>& amount = row[4]) {
      if (amount->find('.') != std::string::npos) {
        while (amount->back() == '0') amount->pop_back();
        if (amount->back() == '.') amount->pop_back();
      }
    }
    return row;
  }

  // The client's rows of the command's SELECT, as the record reads them.
  std::vector<Row> Reference(CNACommand* pclCommand) {
    std::vector<Row> rows = ClientRows(Sql(pclCommand));
    for (Row& r : rows) r = AsRecordReadsIt(std::move(r));
    return rows;
  }

  // The public direction that moves the way e goes over the rows of the
  // server's result: a command that reads in inverted order (a descending
  // browse) swaps them, since the public directions follow the item.
  static eNA_PARSEDIRECTION Public(CNAStatement* s, eNA_PARSEDIRECTION e) {
    CNACommand* pclCommand = s->pclGetCommandNoRef();
    if (pclCommand == nullptr || !pclCommand->bGetInvertedOrder()) return e;
    return CNAStatement::s_eInvertedDirection(e);
  }

  // One move over the result's rows (see Public); "" when it lands on row
  // llRow (-1: out of range) with the record equal to that reference row,
  // else what went wrong.
  std::string Move(CNAStatement* s, eNA_PARSEDIRECTION e, long long llRow,
                   const std::vector<Row>& rows) {
    static const char* const kNames[] = {"first", "last", "next", "previous", "current"};
    const std::string where = std::string(kNames[e]) + " to row " + std::to_string(llRow) + ": ";
    m_pclError->Reset();
    if (!s->bFetch(Public(s, e), 0, 1, nullptr)) return where + "failed: " + ErrorDump();
    if (llRow < 0) return s->HEndehors() ? "" : where + "not out of range";
    if (s->HEndehors()) return where + "out of range";
    if (s->llGetCurrentRow() != llRow)
      return where + "current row " + std::to_string(s->llGetCurrentRow());
    const Row got = RecordRow();
    if (got != rows[static_cast<size_t>(llRow)])
      return where + "record " + Show(got) + "\n  client " + Show(rows[static_cast<size_t>(llRow)]);
    return "";
  }

  // first, next to the end and past it, last, previous to the start and
  // past it: "" when every move read the reference row in its place.
  std::string WalkBothWays(CNAStatement* s, const std::vector<Row>& rows) {
    const long long n = static_cast<long long>(rows.size());
    std::string r = Move(s, NA_PARSE_FIRST, 0, rows);
    for (long long i = 1; r.empty() && i < n; ++i) r = Move(s, NA_PARSE_NEXT, i, rows);
    if (r.empty()) r = Move(s, NA_PARSE_NEXT, -1, rows);
    if (r.empty()) r = Move(s, NA_PARSE_LAST, n - 1, rows);
    for (long long i = n - 2; r.empty() && i >= 0; --i) r = Move(s, NA_PARSE_PREVIOUS, i, rows);
    if (r.empty()) r = Move(s, NA_PARSE_PREVIOUS, -1, rows);
    return r;
  }

  // The client's rows of the browse's SELECT without limit, written by a
  // statement of its own: a command's text is formatted once, and the
  // browsed command must be formatted only after its limit is set, as the
  // data access sets it.
  std::vector<Row> WholeResult(const wchar_t* pszItem, int bAscending) {
    CNACommand* pclCommand = BuildSelect(NewStatement(), pszItem, bAscending);
    if (pclCommand == nullptr) return {};
    return Reference(pclCommand);
  }

  // A statement whose current command is the browse's SELECT on the item.
  CNAStatement* Browse(const wchar_t* pszItem, int bAscending, CNACommand** ppCommand) {
    CNAStatement* s = NewStatement();
    *ppCommand = BuildSelect(s, pszItem, bAscending);
    return s;
  }
};

TEST_F(StatementFetchTest, BrowseSelectsOnTheServersDescriptionAreCompletedToAUniqueOrder) {
  struct Case {
    const wchar_t* item;
    int ascending;
    const wchar_t* orderBy;
  };
  const Case cases[] = {
      {L"id", 1, L"\r\nORDER BY 1"},    {L"id", 0, L"\r\nORDER BY 1 DESC"},
      {L"grp", 1, L"\r\nORDER BY 2,1"}, {L"grp", 0, L"\r\nORDER BY 2 DESC,1 DESC"},
      {L"opt", 1, L"\r\nORDER BY 7,1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.item) + (c.ascending ? " ascending" : " descending"));
    CNACommand* pclCommand = nullptr;
    CNAStatement* s = Browse(c.item, c.ascending, &pclCommand);
    ASSERT_NE(pclCommand, nullptr);
    EXPECT_EQ(Widen(Sql(pclCommand)), std::wstring(kSelectList) + c.orderBy);
    EXPECT_EQ(s->bHasUniqueOrder(), 1);
  }
}

TEST_F(StatementFetchTest, EveryMoveReadsTheClientsRowOfTheSameSelectCachedOrNot) {
  struct Case {
    const wchar_t* item;
    int ascending;
    int cached;
  };
  const Case cases[] = {
      {L"id", 1, 0},  {L"id", 1, 1},  {L"grp", 1, 0}, {L"grp", 1, 1},
      {L"grp", 0, 0}, {L"grp", 0, 1}, {L"opt", 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.item) + (c.ascending ? " ascending" : " descending") +
                 (c.cached ? ", cached" : ", not cached"));
    CNACommand* pclCommand = nullptr;
    CNAStatement* s = Browse(c.item, c.ascending, &pclCommand);
    ASSERT_NE(pclCommand, nullptr);
    const std::vector<Row> rows = Reference(pclCommand);
    ASSERT_EQ(rows.size(), static_cast<size_t>(kRows));
    if (c.cached) s->EnableCache(1);
    m_pclError->Reset();
    ASSERT_EQ(s->bExecute(0, 0), 1) << ErrorDump();
    EXPECT_EQ(s->bIsCacheEnabled(), c.cached);
    EXPECT_EQ(WalkBothWays(s, rows), "");
    EXPECT_EQ(s->llGetLimitReached(), -1);
  }
}

TEST_F(StatementFetchTest, ADescendingBrowseTakesThePublicDirectionsFromTheEndOfItsResult) {
  CNACommand* pclCommand = nullptr;
  CNAStatement* s = Browse(L"grp", 0, &pclCommand);
  ASSERT_NE(pclCommand, nullptr);
  EXPECT_EQ(pclCommand->bGetInvertedOrder(), 1);
  const std::vector<Row> rows = Reference(pclCommand);
  ASSERT_EQ(s->bExecute(0, 0), 1) << ErrorDump();
  struct Case {
    eNA_PARSEDIRECTION direction;  // as the data access asks it
    long long row;                 // the row of the server's result read
  };
  const Case cases[] = {{NA_PARSE_FIRST, kRows - 1}, {NA_PARSE_NEXT, kRows - 2},
                        {NA_PARSE_NEXT, kRows - 3},  {NA_PARSE_PREVIOUS, kRows - 2},
                        {NA_PARSE_LAST, 0},          {NA_PARSE_PREVIOUS, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.direction << " to " << c.row);
    ASSERT_EQ(s->bFetch(c.direction, 0, 1, nullptr), 1) << ErrorDump();
    EXPECT_EQ(s->llGetCurrentRow(), c.row);
    EXPECT_EQ(RecordRow(), rows[static_cast<size_t>(c.row)]);
  }
}

TEST_F(StatementFetchTest, AnEmptyResultMovesSuccessfullyOutOfRange) {
  for (int cached : {0, 1}) {
    SCOPED_TRACE(cached ? "cached" : "not cached");
    CNAStatement* s = NewStatement();
    // The browse's SELECT over no row.
    CNACommand* pclEmpty =
        NewCommand(std::wstring(kSelectList) + L" WHERE `id` < 0 ORDER BY 1", NA_CMD_SELECT);
    if (cached) s->EnableCache(1);
    m_pclError->Reset();
    ASSERT_EQ(s->bExecuteDirectNewCommand(pclEmpty, 0, 0), 1) << ErrorDump();
    for (eNA_PARSEDIRECTION e : {NA_PARSE_FIRST, NA_PARSE_LAST, NA_PARSE_NEXT, NA_PARSE_PREVIOUS}) {
      SCOPED_TRACE(static_cast<int>(e));
      EXPECT_EQ(s->bFetch(e, 0, 1, nullptr), 1) << ErrorDump();
      EXPECT_EQ(s->HEndehors(), 1);
      EXPECT_EQ(s->EvalHTrouve(), 0);
      EXPECT_EQ(s->llGetCurrentRow(), -1);
    }
  }
}

TEST_F(StatementFetchTest, LastOnACacheSwitchedOnAfterTheExecutionReadsEveryRowLeft) {
  struct Case {
    const char* name;
    int nextsBeforeLast;  // moves made with the cache on before last
  };
  const Case cases[] = {{"last at once", 0}, {"after a few rows were cached", 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CNACommand* pclCommand = nullptr;
    CNAStatement* s = Browse(L"grp", 1, &pclCommand);
    ASSERT_NE(pclCommand, nullptr);
    const std::vector<Row> rows = Reference(pclCommand);
    m_pclError->Reset();
    ASSERT_EQ(s->bExecute(0, 0), 1) << ErrorDump();
    s->EnableCache(1);
    ASSERT_EQ(s->bIsCacheEnabled(), 1);
    CNARecordCache* pclCache = s->pclGetRecordCacheNoRef();
    ASSERT_NE(pclCache, nullptr);
    EXPECT_EQ(pclCache->bIsFetchComplete(), 0);
    if (c.nextsBeforeLast > 0) {
      EXPECT_EQ(Move(s, NA_PARSE_FIRST, 0, rows), "");
      for (int i = 1; i <= c.nextsBeforeLast; ++i) EXPECT_EQ(Move(s, NA_PARSE_NEXT, i, rows), "");
      EXPECT_EQ(pclCache->bIsFetchComplete(), 0);
    }
    EXPECT_EQ(Move(s, NA_PARSE_LAST, kRows - 1, rows), "");
    EXPECT_EQ(pclCache->bIsFetchComplete(), 1);
    EXPECT_EQ(pclCache->llGetEndRow(), kRows);
    // The rows are in the cache now: back a few and forward to the end.
    EXPECT_EQ(Move(s, NA_PARSE_PREVIOUS, kRows - 2, rows), "");
    EXPECT_EQ(Move(s, NA_PARSE_PREVIOUS, kRows - 3, rows), "");
    EXPECT_EQ(Move(s, NA_PARSE_NEXT, kRows - 2, rows), "");
    EXPECT_EQ(Move(s, NA_PARSE_NEXT, kRows - 1, rows), "");
    EXPECT_EQ(Move(s, NA_PARSE_NEXT, -1, rows), "");
  }
}

TEST_F(StatementFetchTest, WindowsCutByTheRowLimitFollowOnWithoutSkippingOrRepeating) {
  struct Case {
    const wchar_t* item;
    int ascending;
    long long limit;
    int cached;
    long long limitReached;  // after the execution
  };
  const Case cases[] = {
      {L"id", 1, 1000, 0, 1000},
      {L"id", 1, 3000, 1, 3000},
      {L"grp", 0, 3000, 0, 3000},
      {L"grp", 1, 2500, 1, 2500},
      // Cut exactly at the end: the window after it is empty.
      {L"id", 0, kRows, 0, kRows},
      // Never cut.
      {L"id", 1, 20000, 1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.item) + (c.ascending ? " ascending" : " descending") + ", limit " +
                 std::to_string(c.limit) + (c.cached ? ", cached" : ", not cached"));
    CNACommand* pclCommand = nullptr;
    CNAStatement* s = Browse(c.item, c.ascending, &pclCommand);
    ASSERT_NE(pclCommand, nullptr);
    const std::vector<Row> rows = WholeResult(c.item, c.ascending);
    ASSERT_EQ(rows.size(), static_cast<size_t>(kRows));
    pclCommand->SetRowLimit(c.limit);
    if (c.cached) s->EnableCache(1);
    m_pclError->Reset();
    ASSERT_EQ(s->bExecute(0, 0), 1) << ErrorDump();
    EXPECT_EQ(s->llGetLimitReached(), c.limitReached);
    EXPECT_EQ(s->bWindowStartsAtFirstRow(), 1);
    EXPECT_EQ(WalkBothWays(s, rows), "");
  }
}

TEST_F(StatementFetchTest, AWindowThatStartsAtAnOffsetReachesTheRowsBeforeIt) {
  for (int cached : {0, 1}) {
    SCOPED_TRACE(cached ? "cached" : "not cached");
    CNACommand* pclCommand = nullptr;
    CNAStatement* s = Browse(L"id", 1, &pclCommand);
    ASSERT_NE(pclCommand, nullptr);
    const std::vector<Row> rows = WholeResult(L"id", 1);
    pclCommand->SetRowLimit(1000);
    pclCommand->SetRowOffset(5000);
    if (cached) s->EnableCache(1);
    m_pclError->Reset();
    ASSERT_EQ(s->bExecute(0, 0), 1) << ErrorDump();
    EXPECT_EQ(s->bWindowStartsAtFirstRow(), 0);
    // Rows keep their numbers over the whole result: the window's first
    // row is row 5000, and the rows before it are an earlier window's.
    EXPECT_EQ(Move(s, NA_PARSE_NEXT, 5000, rows), "");
    std::string r;
    for (long long i = 4999; r.empty() && i >= 4000; --i) r = Move(s, NA_PARSE_PREVIOUS, i, rows);
    EXPECT_EQ(r, "");
    for (long long i = 4001; r.empty() && i <= 6500; ++i) r = Move(s, NA_PARSE_NEXT, i, rows);
    EXPECT_EQ(r, "");
    // First counts from the command's own start, where the data access
    // placed the window; last is the end of the whole result.
    EXPECT_EQ(Move(s, NA_PARSE_FIRST, 5000, rows), "");
    EXPECT_EQ(Move(s, NA_PARSE_LAST, kRows - 1, rows), "");
  }
}

TEST_F(StatementFetchTest, ACacheCappedAtAFewRowsStillBrowsesTheWholeTableBothWays) {
  struct Case {
    const wchar_t* item;
    int ascending;
    long long cap;
  };
  const Case cases[] = {{L"id", 1, 8192}, {L"grp", 0, 16384}};
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.item) + (c.ascending ? " ascending" : " descending") + ", cap " +
                 std::to_string(c.cap));
    CNACommand* pclCommand = nullptr;
    CNAStatement* s = Browse(c.item, c.ascending, &pclCommand);
    ASSERT_NE(pclCommand, nullptr);
    const std::vector<Row> rows = Reference(pclCommand);
    ASSERT_EQ(rows.size(), static_cast<size_t>(kRows));
    s->SetCacheByteCap(c.cap);
    s->EnableCache(1);
    m_pclError->Reset();
    ASSERT_EQ(s->bExecute(0, 0), 1) << ErrorDump();
    CNARecordCache* pclCache = s->pclGetRecordCacheNoRef();
    ASSERT_NE(pclCache, nullptr);
    EXPECT_EQ(pclCache->llGetByteCap(), c.cap);
    // The first window stopped at the cap: a few rows, not the table.
    EXPECT_GT(pclCache->llGetCount(), 0);
    EXPECT_LT(pclCache->llGetCount(), kRows / 10);
    EXPECT_LE(pclCache->llGetBytesUsed(), c.cap);
    EXPECT_EQ(WalkBothWays(s, rows), "");
    EXPECT_LE(pclCache->llGetBytesUsed(), c.cap);
  }
}

TEST_F(StatementFetchTest, MovesOfManyRowsLandOnTheClientsRowAcrossWindows) {
  struct Mode {
    const char* name;
    int cached;
    long long limit;  // -1: none
    long long cap;    // -1: the default
  };
  const Mode modes[] = {{"stored result", 0, -1, -1},
                        {"cache", 1, -1, -1},
                        {"windows of 1000 rows", 0, 1000, -1},
                        {"cached windows of 1000 rows", 1, 1000, -1},
                        {"cache capped at a few rows", 1, -1, 8192},
                        {"windows of 1000 rows capped at a few rows", 1, 1000, 8192}};
  struct Step {
    eNA_PARSEDIRECTION direction;
    long long step;
    long long row;  // where it lands; -1: out of range
  };
  const Step steps[] = {
      {NA_PARSE_FIRST, 10, 9},
      {NA_PARSE_NEXT, 2500, 2509},
      {NA_PARSE_CURRENT, 1, 2509},
      {NA_PARSE_PREVIOUS, 1234, 1275},
      {NA_PARSE_NEXT, 7000, 8275},
      {NA_PARSE_LAST, 3, kRows - 3},
      {NA_PARSE_PREVIOUS, 9000, kRows - 9003},
      {NA_PARSE_NEXT, 1, kRows - 9002},
      {NA_PARSE_NEXT, kRows, -1},
  };
  for (const Mode& m : modes) {
    SCOPED_TRACE(m.name);
    CNACommand* pclCommand = nullptr;
    CNAStatement* s = Browse(L"grp", 1, &pclCommand);
    ASSERT_NE(pclCommand, nullptr);
    const std::vector<Row> rows = WholeResult(L"grp", 1);
    ASSERT_EQ(rows.size(), static_cast<size_t>(kRows));
    pclCommand->SetRowLimit(m.limit);
    if (m.cap > 0) s->SetCacheByteCap(m.cap);
    if (m.cached) s->EnableCache(1);
    m_pclError->Reset();
    ASSERT_EQ(s->bExecute(0, 0), 1) << ErrorDump();
    for (const Step& st : steps) {
      SCOPED_TRACE(testing::Message() << "direction " << st.direction << " by " << st.step);
      m_pclError->Reset();
      ASSERT_EQ(s->bFetch(st.direction, 0, st.step, nullptr), 1) << ErrorDump();
      if (st.row < 0) {
        EXPECT_EQ(s->HEndehors(), 1);
        continue;
      }
      ASSERT_EQ(s->HEndehors(), 0);
      EXPECT_EQ(s->llGetCurrentRow(), st.row);
      EXPECT_EQ(RecordRow(), rows[static_cast<size_t>(st.row)]);
    }
  }
}

TEST_F(StatementFetchTest, StepsOfAnySizeLandOutsideTheResultWithoutWrapping) {
  struct Move {
    eNA_PARSEDIRECTION e;
    long long step;
  };
  const Move moves[] = {{NA_PARSE_NEXT, LLONG_MAX},     {NA_PARSE_PREVIOUS, LLONG_MAX},
                        {NA_PARSE_FIRST, LLONG_MAX},    {NA_PARSE_LAST, LLONG_MAX},
                        {NA_PARSE_NEXT, LLONG_MIN},     {NA_PARSE_FIRST, LLONG_MIN},
                        {NA_PARSE_PREVIOUS, LLONG_MIN}, {NA_PARSE_LAST, -LLONG_MAX}};
  for (int cached : {0, 1}) {
    SCOPED_TRACE(cached ? "cached" : "not cached");
    CNACommand* pclCommand = nullptr;
    CNAStatement* s = Browse(L"id", 1, &pclCommand);
    ASSERT_NE(pclCommand, nullptr);
    if (cached) s->EnableCache(1);
    ASSERT_EQ(s->bExecute(0, 1), 1) << ErrorDump();
    for (const Move& m : moves) {
      SCOPED_TRACE(std::to_string(m.e) + " by " + std::to_string(m.step));
      ASSERT_EQ(s->bFetch(NA_PARSE_FIRST, 0, 1, nullptr), 1) << ErrorDump();
      ASSERT_EQ(s->HEndehors(), 0);
      m_pclError->Reset();
      EXPECT_EQ(s->bFetch(m.e, 0, m.step, nullptr), 1) << ErrorDump();
      EXPECT_EQ(s->HEndehors(), 1);
    }
  }
}

TEST_F(StatementFetchTest, TheDataAccessIsToldOfTheRowsReadWithTheUpdateFlagAndOfTheClosing) {
  CNACommand* pclCommand = nullptr;
  CNAStatement* s = Browse(L"id", 1, &pclCommand);
  ASSERT_NE(pclCommand, nullptr);
  s->EnableCache(1);
  ASSERT_EQ(s->bExecute(0, 0), 1) << ErrorDump();
  EXPECT_GT(m_pclAccess->nLongestRow, 0) << "the drained rows' longest";
  const int nClosings = m_pclAccess->nClosings;
  ASSERT_EQ(s->bFetch(NA_PARSE_FIRST, 1, 1, nullptr), 1) << ErrorDump();
  EXPECT_EQ(m_pclAccess->nRefreshes, 1);
  ASSERT_EQ(s->bFetch(NA_PARSE_NEXT, 0, 1, nullptr), 1) << ErrorDump();
  EXPECT_EQ(m_pclAccess->nRefreshes, 1);
  EXPECT_EQ(s->EvalHTrouve(), 1);
  EXPECT_EQ(s->bIsParseStarted(), 1);
  s->Close();
  EXPECT_EQ(m_pclAccess->nClosings, nClosings + 1);
  EXPECT_EQ(s->bIsParseStarted(), 0);
  EXPECT_EQ(s->llGetCurrentRow(), -1);
  EXPECT_EQ(s->bIsCacheEnabled(), 0);
}

// ---- Errors

TEST_F(StatementFetchTest, AnUnknownBrowseItemIsUserError6) {
  CNAStatement* s = NewStatement();
  CNACommand* pclCommand = NewCommand();
  m_pclError->Reset();
  EXPECT_EQ(s->bBuildQuerySELECT(pclCommand, 0, L"no_such_item", 1, nullptr), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), CNAStatement::kErrUnknownItem);
  EXPECT_STREQ(m_pclError->pszGetItemName(), L"no_such_item");
}

TEST_F(StatementFetchTest, ColumnsOutsideTheResultAreErrorsOfTheCellRead) {
  CNACommand* pclCommand = nullptr;
  CNAStatement* s = Browse(L"id", 1, &pclCommand);
  ASSERT_NE(pclCommand, nullptr);
  ASSERT_EQ(s->bExecute(0, 0), 1) << ErrorDump();
  ASSERT_EQ(s->bFetch(NA_PARSE_FIRST, 0, 1, nullptr), 1) << ErrorDump();
  struct Case {
    unsigned int column;
    unsigned int error;
    const char* cell;  // null: an error
  };
  const Case cases[] = {
      {static_cast<unsigned int>(-1), 51, nullptr},
      {7, 50, nullptr},
      {1000000, 50, nullptr},
      {0, 0, "1"},
      {6, 0, "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.column));
    m_pclError->Reset();
    CAny v;
    if (c.cell == nullptr) {
      EXPECT_EQ(s->bGetSQLColumnValue(&v, c.column), 0);
      EXPECT_EQ(m_pclError->dwGetErrorId(), c.error);
    } else {
      EXPECT_EQ(s->bGetSQLColumnValue(&v, c.column), 1) << ErrorDump();
      EXPECT_EQ(Utf8(AsText(v)), c.cell);
    }
  }
}

TEST_F(StatementFetchTest, AMissingTableIsTheServersErrorWithItsNativeCode) {
  for (int cached : {0, 1}) {
    SCOPED_TRACE(cached ? "cached" : "not cached");
    CNAStatement* s = NewStatement();
    if (cached) s->EnableCache(1);
    CNACommand* pclCommand = NewCommand(L"SELECT * FROM kq_fetch_no_such_table", NA_CMD_SELECT);
    m_pclError->Reset();
    EXPECT_EQ(s->bExecuteDirectNewCommand(pclCommand, 0, 0), 0);
    EXPECT_EQ(m_pclError->dwGetDataBaseErrorCode(), 1146u) << ErrorDump();
    // Nothing to move on: whatever the move answers, it finds no row.
    s->bFetch(NA_PARSE_FIRST, 0, 1, nullptr);
    EXPECT_EQ(s->HEndehors(), 1);
    EXPECT_EQ(s->EvalHTrouve(), 0);
  }
}

// A row whose WHERE runs a sub-query that answers two rows: the server
// raises "Subquery returns more than 1 row" (1242) when it reaches that row,
// after it has sent the rows before it.
std::wstring FailingSelect(int nFailingId) {
  return std::wstring(kSelectList) +
         L" WHERE (SELECT 1 UNION ALL SELECT 2 FROM DUAL WHERE `id` = " +
         std::to_wstring(nFailingId) + L") IS NOT NULL\r\nORDER BY 1";
}

TEST_F(StatementFetchTest, TheReferenceServerFailsTheFailingSelectInTheMiddleOfItsStream) {
  unsigned int nError = 0;
  const std::vector<Row> rows = ClientRowsStreamed(Utf8(FailingSelect(3000)), &nError);
  EXPECT_EQ(nError, 1242u);
  EXPECT_GT(rows.size(), 0u) << "the rows before the failing one came first";
  EXPECT_LT(rows.size(), 3000u);
}

TEST_F(StatementFetchTest, AServerErrorInsideADrainedWindowFailsTheMoveAndLeavesTheCacheOpen) {
  // Without cap the first window holds the failing row: the execution
  // fails, as it does when the client stores the result. With a small cap
  // the first window stops before it; the move that drains the window
  // holding it fails.
  struct Case {
    const char* name;
    int cached;
    long long cap;  // -1: the default cap
  };
  const Case cases[] = {{"stored result", 0, -1},
                        {"failing row in the first window", 1, -1},
                        {"failing row in a later window", 1, 8192}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CNAStatement* s = NewStatement();
    CNACommand* pclCommand = NewCommand(FailingSelect(3000), NA_CMD_SELECT);
    s->SetUniqueOrder(1);
    if (c.cap > 0) s->SetCacheByteCap(c.cap);
    if (c.cached) s->EnableCache(1);
    m_pclError->Reset();
    const int bExecuted = s->bExecuteDirectNewCommand(pclCommand, 0, 0);
    CNARecordCache* pclCache = s->pclGetRecordCacheNoRef();
    if (c.cap < 0) {
      EXPECT_EQ(bExecuted, 0);
      EXPECT_EQ(m_pclError->dwGetDataBaseErrorCode(), 1242u) << ErrorDump();
      if (pclCache != nullptr) {
        EXPECT_EQ(pclCache->bIsFetchComplete(), 0);
      }
      // Nothing of the failed stream is left on the connection.
      EXPECT_EQ(ClientRows("SELECT 5"), (std::vector<Row>{{Cell("5")}}));
      continue;
    }
    ASSERT_EQ(bExecuted, 1) << ErrorDump();
    ASSERT_NE(pclCache, nullptr);
    EXPECT_EQ(s->bFetch(NA_PARSE_FIRST, 0, 1, nullptr), 1) << ErrorDump();
    int bMoved = 1;
    long long i = 0;
    for (; bMoved && i < kRows; ++i) {
      m_pclError->Reset();
      bMoved = s->bFetch(NA_PARSE_NEXT, 0, 1, nullptr);
      if (bMoved) {
        ASSERT_EQ(s->HEndehors(), 0) << "the rows ended without the error";
      }
    }
    EXPECT_EQ(bMoved, 0);
    EXPECT_LE(i, 3000);
    EXPECT_EQ(m_pclError->dwGetDataBaseErrorCode(), 1242u) << ErrorDump();
    EXPECT_EQ(s->HEndehors(), 1);
    EXPECT_EQ(pclCache->bIsFetchComplete(), 0);
    EXPECT_EQ(ClientRows("SELECT 5"), (std::vector<Row>{{Cell("5")}}));
  }
}

TEST_F(StatementFetchTest, AnUpdateThatTouchesNoRowOfTheRecordReadIsUserError13) {
  const std::string table = kq230::test_support::UniqueName("kq_fetch_upd");
  ASSERT_TRUE(Run("DROP TABLE IF EXISTS " + table));
  ASSERT_TRUE(Run("CREATE TABLE " + table + " (id INT PRIMARY KEY, v INT)"));
  ASSERT_TRUE(Run("INSERT INTO " + table + " VALUES (1, 10), (2, 20)"));
  // The fixture's own table is not the one updated here.
  CNAStatement* s = NewStatement();
  CNACommand* pclSelect = BuildSelect(s, L"id", 1);
  ASSERT_NE(pclSelect, nullptr);
  ASSERT_EQ(s->bExecute(0, 0), 1) << ErrorDump();
  ASSERT_EQ(s->bFetch(NA_PARSE_FIRST, 0, 1, nullptr), 1) << ErrorDump();
  struct Case {
    const char* set;
    int ok;
  };
  const Case cases[] = {
      {"v = v + 1 WHERE id = 1", 1},
      {"v = v + 1 WHERE id = 99", 0},
      // The connection counts the rows found, not those changed: writing a
      // row's own values back is an UPDATE done.
      {"v = v WHERE id = 2", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set);
    CNACommand* pclUpdate = NewCommand(Widen("UPDATE " + table + " SET " + c.set), NA_CMD_UPDATE);
    m_pclError->Reset();
    EXPECT_EQ(s->bExecuteDirectNewCommand(pclUpdate, 0, 0), c.ok) << ErrorDump();
    if (!c.ok) {
      EXPECT_EQ(m_pclError->dwGetErrorId(), CNAStatement::kErrUpdateTouchedNothing) << ErrorDump();
      EXPECT_EQ(static_cast<unsigned int>(m_pclError->eGetErrorType()),
                CNAStatement::kErrUpdateAddedAs);
      EXPECT_STREQ(m_pclError->pszGetLogicalTableName(), kTableW);
      // The row read, for whoever reads the error: its latin text among it.
      EXPECT_NE(ErrorDump().find("Zo\xC3\xAB 1 \xC3\xA9"), std::string::npos) << ErrorDump();
    }
  }
  EXPECT_EQ(ClientRows("SELECT v FROM " + table + " ORDER BY id"),
            (std::vector<Row>{{Cell("11")}, {Cell("20")}}));
  ASSERT_TRUE(Run("DROP TABLE " + table));
}

// ---- Single values and the row count

TEST_F(StatementFetchTest, ExecuteAndFetchReadsTheFirstRowsColumnsAndLeavesThemOnNoRow) {
  struct Case {
    const char* where;
    int nCount;
    int bCached;  // a cache on must not drain the values away
  };
  const Case cases[] = {
      {"`id` = 42", 3, 0}, {"`id` = 4242", 7, 1}, {"`id` > 9990", 2, 0}, {"`id` < 0", 3, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    const std::string sql = Utf8(kSelectList) + " WHERE " + c.where + " ORDER BY 1";
    const std::vector<Row> rows = ClientRows(sql);
    CNAStatement* s = NewStatement();
    CNACommand* pclCommand = NewCommand(Widen(sql), NA_CMD_SELECT);
    ASSERT_EQ(s->bExecuteDirectNewCommand(pclCommand, 0, 0), 1) << ErrorDump();
    CAny values[7];
    for (CAny& v : values) v.SetI4(-5);
    if (c.bCached) s->EnableCache(1);
    m_pclError->Reset();
    EXPECT_EQ(s->bExecuteAndFetch(values, c.nCount, 0), 1) << ErrorDump();
    for (int i = 0; i < 7; ++i) {
      SCOPED_TRACE(i);
      if (rows.empty() || i >= c.nCount) {
        EXPECT_EQ(Utf8(AsText(values[i])), "-5");
      } else if (!rows[0][static_cast<size_t>(i)]) {
        EXPECT_TRUE(values[i].bIsNull());
      } else if (i <= 3 || i == 6) {  // the cells whose text the value keeps
        EXPECT_EQ(Utf8(AsText(values[i])), *rows[0][static_cast<size_t>(i)]);
      }
    }
    EXPECT_EQ(s->bIsParseStarted(), 0) << "closed in every case";
  }
}

TEST_F(StatementFetchTest, RequestedValuesAndRowCountsEqualTheClients) {
  struct Case {
    const char* where;  // "" for the whole table
  };
  const Case cases[] = {{""}, {" WHERE `grp` = 5"}, {" WHERE `opt` IS NULL"}, {" WHERE `id` < 0"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    const std::string select = Utf8(kSelectList) + c.where;
    const std::vector<Row> count =
        ClientRows("SELECT COUNT(*) FROM " + std::string(kTable) + c.where);
    ASSERT_EQ(count.size(), 1u);
    const std::vector<Row> rows = ClientRows(select + " ORDER BY 1");

    // The count of the statement's command, through its COUNT(*) text.
    CNAStatement* s = NewStatement();
    CNACommand* pclCommand = NewCommand(Widen(select), NA_CMD_SELECT);
    ASSERT_EQ(s->bExecuteDirectNewCommand(pclCommand, 0, 0), 1) << ErrorDump();
    s->EnableCache(1);
    long long llCount = -9;
    m_pclError->Reset();
    EXPECT_EQ(s->bGetNbEnr(&llCount), 1) << ErrorDump();
    EXPECT_EQ(std::to_string(llCount), *count[0][0]);
    EXPECT_EQ(s->bIsCacheEnabled(), 0);

    // A value of the first row.
    CNAStatement* t = NewStatement();
    CNACommand* pclOrdered = NewCommand(Widen(select + " ORDER BY 1"), NA_CMD_SELECT);
    ASSERT_EQ(t->bExecuteDirectNewCommand(pclOrdered, 0, 0), 1) << ErrorDump();
    t->EnableCache(1);  // the value is read from the server's result all the same
    CAny v;
    v.SetI4(-5);
    m_pclError->Reset();
    EXPECT_EQ(t->bGetRequestedValue(&v, 3), 1) << ErrorDump();
    EXPECT_EQ(Utf8(AsText(v)), rows.empty() ? std::string("-5") : *rows[0][3]);
    EXPECT_EQ(t->bIsParseStarted(), 0);
  }
}

// ---- The row read last

TEST_F(StatementFetchTest, TheRowReadLastIsUserError7BeforeAnyMoveThenFindsThatRow) {
  CNACommand* pclCommand = nullptr;
  CNAStatement* s = Browse(L"grp", 0, &pclCommand);
  ASSERT_NE(pclCommand, nullptr);
  const std::vector<Row> rows = Reference(pclCommand);
  CNACommand* pclWhere = NewCommand(L"SELECT `id` FROM kq_fetch_rows_v1", NA_CMD_SELECT);
  m_pclError->Reset();
  EXPECT_EQ(s->_bAddWHERELatestRead(pclWhere, 1, nullptr), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), CNAStatement::kErrNoCurrentRow);

  ASSERT_EQ(s->bExecute(0, 0), 1) << ErrorDump();
  EXPECT_EQ(Move(s, NA_PARSE_FIRST, 0, rows), "");
  EXPECT_EQ(Move(s, NA_PARSE_NEXT, 1, rows), "");
  EXPECT_EQ(Move(s, NA_PARSE_NEXT, 2, rows), "");
  CNACommand* pclAgain = NewCommand(L"SELECT `id` FROM kq_fetch_rows_v1", NA_CMD_SELECT);
  m_pclError->Reset();
  ASSERT_EQ(s->_bAddWHERELatestRead(pclAgain, 1, nullptr), 1) << ErrorDump();
  EXPECT_EQ(ClientRows(Sql(pclAgain)), (std::vector<Row>{{rows[2][0]}})) << Sql(pclAgain);
}

}  // namespace
}  // namespace kqtest
