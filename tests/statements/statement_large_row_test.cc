// Memos through the record cache: rows of memos come back from the cache as
// the client reads them, and a row the cache cannot hold (a memo longer than
// one of its chunks) does not stop a cached browse: the statement goes on
// without the cache, on the stored result.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sqlbuilder/command.h"
#include "statements/record_cache.h"
#include "statements/statement.h"
#include "tests/mariadb/client_library.h"
#include "tests/statements/statement_test_support.h"

namespace kqtest {
namespace {

// Before main: see KeepClientLibraryForTheProgram.
[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

constexpr wchar_t kTable[] = L"kq_fetch_large_v1";
// Longer than the cache's largest chunk.
constexpr int kLargeBytes = kRecordCacheChunkMax + 4096;

// A move and the row it must land on.
struct Step {
  eNA_PARSEDIRECTION e;
  long long row;
};

// The moves made in order: "" when each lands in range on its row with the
// record equal to the client's row, else what went wrong (cells are named,
// not printed: some are megabytes long).
std::string WalkRows(CNAStatement* s, const std::vector<Step>& steps,
                     const std::vector<StatementServerTest::Row>& rows,
                     const std::function<StatementServerTest::Row()>& recordRow) {
  for (size_t i = 0; i < steps.size(); ++i) {
    const std::string where = "move " + std::to_string(i) + ": ";
    if (!s->bFetch(steps[i].e, 0, 1, nullptr)) return where + "failed";
    if (s->HEndehors()) return where + "out of range";
    if (s->llGetCurrentRow() != steps[i].row)
      return where + "row " + std::to_string(s->llGetCurrentRow());
    const StatementServerTest::Row got = recordRow();
    const StatementServerTest::Row& want = rows[static_cast<size_t>(steps[i].row)];
    if (got.size() != want.size()) return where + "column count";
    for (size_t c = 0; c < got.size(); ++c) {
      if (got[c] != want[c]) return where + "column " + std::to_string(c) + " differs";
    }
  }
  return "";
}

class StatementLargeRowTest : public StatementServerTest {
 protected:
  void SetUp() override {
    StatementServerTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Run("CREATE TABLE IF NOT EXISTS kq_fetch_large_v1 (id INT PRIMARY KEY, "
                    "body LONGTEXT) CHARACTER SET latin1"));
    ASSERT_TRUE(Run("REPLACE INTO kq_fetch_large_v1 VALUES (1, 'small'), (2, REPEAT('x', " +
                    std::to_string(kLargeBytes) + ")), (3, 'after'), (4, NULL)"));
    ASSERT_TRUE(OpenTable(kTable));
  }
};

TEST_F(StatementLargeRowTest, ARowLargerThanACacheChunkIsReadWithoutTheCache) {
  CNAStatement* s = NewStatement();
  CNACommand* pclCommand = BuildSelect(s, L"id", 1);
  ASSERT_NE(pclCommand, nullptr);
  const std::vector<Row> rows = ClientRows(Sql(pclCommand));
  ASSERT_EQ(rows.size(), 4u);
  s->EnableCache(1);
  ASSERT_EQ(s->bExecute(0, 1), 1) << ErrorDump();
  // The cache gave up on the row it cannot hold.
  EXPECT_EQ(s->bIsCacheEnabled(), 0);
  EXPECT_EQ(WalkRows(s,
                     {{NA_PARSE_FIRST, 0}, {NA_PARSE_NEXT, 1}, {NA_PARSE_NEXT, 2},
                      {NA_PARSE_NEXT, 3}, {NA_PARSE_PREVIOUS, 2}, {NA_PARSE_PREVIOUS, 1}},
                     rows, [this] { return RecordRow(); }),
            "") << ErrorDump();
}

class StatementMemoRowTest : public StatementServerTest {
 protected:
  void SetUp() override {
    StatementServerTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Run("CREATE TABLE IF NOT EXISTS kq_fetch_memo_v1 (id INT PRIMARY KEY, "
                    "body TEXT) CHARACTER SET utf8mb4"));
    ASSERT_TRUE(Run("REPLACE INTO kq_fetch_memo_v1 VALUES (1, 'first'), (2, NULL), (3, ''), "
                    "(4, 'fourth \xC3\xA9\xF0\x9F\x98\x80'), (5, NULL)"));
    ASSERT_TRUE(OpenTable(L"kq_fetch_memo_v1"));
  }
};

TEST_F(StatementMemoRowTest, MemosComeBackFromTheCacheWithTheirRowsBothWays) {
  CNAStatement* s = NewStatement();
  CNACommand* pclCommand = BuildSelect(s, L"id", 1);
  ASSERT_NE(pclCommand, nullptr);
  const std::vector<Row> rows = ClientRows(Sql(pclCommand));
  ASSERT_EQ(rows.size(), 5u);
  s->EnableCache(1);
  ASSERT_EQ(s->bExecute(0, 1), 1) << ErrorDump();
  ASSERT_EQ(s->bIsCacheEnabled(), 1);
  EXPECT_EQ(WalkRows(s,
                     {{NA_PARSE_FIRST, 0}, {NA_PARSE_NEXT, 1}, {NA_PARSE_NEXT, 2},
                      {NA_PARSE_NEXT, 3}, {NA_PARSE_NEXT, 4}, {NA_PARSE_PREVIOUS, 3},
                      {NA_PARSE_PREVIOUS, 2}, {NA_PARSE_PREVIOUS, 1}, {NA_PARSE_LAST, 4}},
                     rows, [this] { return RecordRow(); }),
            "") << ErrorDump();
}

}  // namespace
}  // namespace kqtest
