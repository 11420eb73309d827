// Memos through the record cache: rows of memos come back from the cache as
// the client reads them, and a row the cache cannot hold (a memo longer than
// one of its chunks) does not stop a cached browse: the statement goes on
// without the cache, on the stored result.
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
  const eNA_PARSEDIRECTION moves[] = {NA_PARSE_FIRST, NA_PARSE_NEXT, NA_PARSE_NEXT,
                                      NA_PARSE_NEXT, NA_PARSE_PREVIOUS, NA_PARSE_PREVIOUS};
  const long long expected[] = {0, 1, 2, 3, 2, 1};
  for (size_t i = 0; i < std::size(moves); ++i) {
    SCOPED_TRACE("move " + std::to_string(i));
    ASSERT_EQ(s->bFetch(moves[i], 0, 1, nullptr), 1) << ErrorDump();
    ASSERT_EQ(s->HEndehors(), 0);
    ASSERT_EQ(s->llGetCurrentRow(), expected[i]);
    const Row got = RecordRow();
    const Row& want = rows[static_cast<size_t>(expected[i])];
    ASSERT_EQ(got.size(), want.size());
    for (size_t c = 0; c < got.size(); ++c) {
      ASSERT_EQ(got[c].has_value(), want[c].has_value()) << "column " << c;
      if (got[c]) {
        EXPECT_TRUE(*got[c] == *want[c]) << "column " << c << " differs";
      }
    }
  }
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
  const eNA_PARSEDIRECTION moves[] = {NA_PARSE_FIRST, NA_PARSE_NEXT,     NA_PARSE_NEXT,
                                      NA_PARSE_NEXT,  NA_PARSE_NEXT,     NA_PARSE_PREVIOUS,
                                      NA_PARSE_PREVIOUS, NA_PARSE_PREVIOUS, NA_PARSE_LAST};
  const long long expected[] = {0, 1, 2, 3, 4, 3, 2, 1, 4};
  for (size_t i = 0; i < std::size(moves); ++i) {
    SCOPED_TRACE("move " + std::to_string(i));
    ASSERT_EQ(s->bFetch(moves[i], 0, 1, nullptr), 1) << ErrorDump();
    ASSERT_EQ(s->HEndehors(), 0);
    ASSERT_EQ(s->llGetCurrentRow(), expected[i]);
    EXPECT_EQ(RecordRow(), rows[static_cast<size_t>(expected[i])]);
  }
}

}  // namespace
}  // namespace kqtest
