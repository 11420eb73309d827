// Clause location on SQL text: keywords found backwards as whole words outside
// literals, quoted names and comments; the shapes of SET statements and of
// SELECTs that limit their rows; item names; and the row-limit rewriting,
// placed where the server reads it (golden texts here; the rows the rewritten
// statements return are checked on the server in row_limit_server_test.cc).
#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "driver/connection_description.h"
#include "sqlbuilder/clause_location.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/sqlbuilder/backquote_connection.h"
#include "tests/support/bound_framework.h"

namespace kqtest {
namespace {

using L = CNAClauseLocation;

class ClauseLocationTest : public BoundFrameworkTest {
 protected:
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    m_pclConnection = new BackquoteConnection(&m_host);
    m_pclConnection->AddRef();
  }
  void TearDown() override {
    m_pclConnection->nRelease();
    BoundFrameworkTest::TearDown();
  }

  HostConnectionFake m_host;
  BackquoteConnection* m_pclConnection = nullptr;
};

TEST_F(ClauseLocationTest, KeywordsAreFoundAsWholeWordsOutsideLiteralsNamesAndComments) {
  struct Case {
    const char* name;
    const wchar_t* text;
    const wchar_t* keyword;
    int start;
    int expected;
  };
  const Case cases[] = {
      {"plain", L"SELECT a FROM t LIMIT 5", L"LIMIT", -1, 16},
      {"any case", L"select a from t limit 5", L"LIMIT", -1, 16},
      {"lower-case keyword asked", L"SELECT a FROM t LIMIT 5", L"limit", -1, 16},
      {"in a literal", L"SELECT 'x LIMIT 5' FROM t", L"LIMIT", -1, -1},
      {"literal with a doubled quote before it", L"SELECT 'it''s LIMIT 5' FROM t", L"LIMIT", -1,
       -1},
      {"literal with an escaped quote before it", L"SELECT 'it\\'s LIMIT 5' FROM t", L"LIMIT", -1,
       -1},
      {"literal ending in an escaped backslash", L"SELECT 'a\\\\' FROM t LIMIT 5", L"LIMIT", -1,
       20},
      {"in a backquoted name", L"SELECT `a LIMIT b` FROM t", L"LIMIT", -1, -1},
      {"in a backquoted name that ends the text", L"SELECT * FROM `my limit 5 table`", L"LIMIT",
       -1, -1},
      {"in a name with a doubled backquote", L"SELECT `a`` LIMIT 1` FROM t", L"LIMIT", -1, -1},
      {"in a double-quoted text", L"SELECT \"x LIMIT 1\" FROM t", L"LIMIT", -1, -1},
      {"in a -- comment", L"SELECT a FROM t -- LIMIT 5\n", L"LIMIT", -1, -1},
      {"in a # comment", L"SELECT a FROM t # LIMIT 5", L"LIMIT", -1, -1},
      {"in a block comment", L"SELECT a /* LIMIT 5 */ FROM t", L"LIMIT", -1, -1},
      {"after a comment line", L"SELECT a -- x\nFROM t LIMIT 5", L"LIMIT", -1, 21},
      {"--x is no comment", L"SELECT a --LIMIT 5\n", L"LIMIT", -1, 11},
      {"in an executable comment", L"SELECT a FROM t /*!50000 LIMIT 5 */", L"LIMIT", -1, 25},
      {"at the very start", L"LIMIT 5", L"LIMIT", -1, -1},
      {"ending the text", L"SELECT a FROM t LIMIT", L"LIMIT", -1, -1},
      {"part of a longer word", L"SELECT limited FROM t", L"LIMIT", -1, -1},
      {"after a dot", L"SELECT t.limit FROM t", L"LIMIT", -1, -1},
      {"after a closing parenthesis", L"SELECT a FROM t WHERE x=(1)LIMIT 5", L"LIMIT", -1, 27},
      {"after a quote", L"SELECT 'a'LIMIT 5", L"LIMIT", -1, -1},
      {"after a separator sign", L"SELECT a+LIMIT 1", L"LIMIT", -1, 9},
      {"the last of two", L"SELECT (SELECT b FROM u LIMIT 1) FROM t LIMIT 2", L"LIMIT", -1, 40},
      {"at or before the start", L"SELECT (SELECT b FROM u LIMIT 1) FROM t LIMIT 2", L"LIMIT",
       39, 24},
      {"start inside the keyword", L"SELECT a FROM t LIMIT 5", L"LIMIT", 17, 16},
      {"start past the text", L"SELECT a FROM t LIMIT 5", L"LIMIT", 1000, 16},
      {"start 0", L"SELECT a FROM t LIMIT 5", L"LIMIT", 0, -1},
      {"start below -1", L"SELECT a FROM t LIMIT 5", L"LIMIT", -7, -1},
      {"two words", L"SELECT a FROM t ORDER  BY a, b ORDER BY c", L"ORDER BY", -1, 31},
      {"percent signs around", L"SELECT a FROM t WHERE b LIKE '%d%s' LIMIT 5", L"LIMIT", -1, 36},
      {"empty text", L"", L"LIMIT", -1, -1},
      {"empty keyword", L"SELECT a", L"", -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(L::s_nGetClauseStart(m_pclConnection, c.text, c.keyword, c.start), c.expected);
  }
  EXPECT_EQ(L::s_nGetClauseStart(m_pclConnection, nullptr, L"LIMIT", -1), -1);
  EXPECT_EQ(L::s_nGetClauseStart(m_pclConnection, L"SELECT a LIMIT 1", nullptr, -1), -1);
  // Without a connection no quote marks a name: the backquotes are text.
  EXPECT_EQ(L::s_nGetClauseStart(nullptr, L"SELECT `a LIMIT b` FROM t", L"LIMIT", -1), 10);
}

TEST_F(ClauseLocationTest, ALimitedSelectIsOneWhoseOwnStatementLimitsItsRows) {
  struct Case {
    const char* name;
    const wchar_t* text;
    bool limited;
  };
  const Case cases[] = {
      {"LIMIT clause", L"SELECT a FROM t LIMIT 5", true},
      {"lower case", L"select a from t limit 5, 10", true},
      {"TOP and a number", L"SELECT TOP 10 a FROM t", true},
      {"top, blanks and a number", L"select\ttop \n 3 a from t", true},
      {"TOP running on into a word", L"SELECT TOPIC FROM t", false},
      {"TOP without a number", L"SELECT TOP FROM t", false},
      {"TOP glued to its number", L"SELECT TOP5 FROM t", false},
      {"LIMIT in a literal", L"SELECT a FROM t WHERE b = 'x LIMIT 5'", false},
      {"LIMIT in a literal with doubled quotes", L"SELECT a FROM t WHERE b = 'it''s LIMIT 5'",
       false},
      {"LIMIT in a backquoted name", L"SELECT `a LIMIT 5` FROM t", false},
      {"LIMIT in a backquoted name at the end", L"SELECT a FROM `limit 5`", false},
      {"LIMIT in a comment", L"SELECT a FROM t -- LIMIT 5", false},
      {"LIMIT only in a sub-query", L"SELECT a FROM t WHERE a IN (SELECT b FROM u LIMIT 5)",
       false},
      {"LIMIT in a derived table and outside", L"SELECT * FROM (SELECT b FROM u LIMIT 5) x LIMIT 2",
       true},
      {"not a SELECT", L"UPDATE t SET a = 1 LIMIT 5", false},
      {"blanks before SELECT", L" SELECT a FROM t LIMIT 5", false},
      {"short", L"SELECT 1", false},
      {"empty", L"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(L::s_bQueryResultsetLimited(m_pclConnection, c.text), c.limited);
  }
  EXPECT_FALSE(L::s_bQueryResultsetLimited(m_pclConnection, nullptr));
}

TEST_F(ClauseLocationTest, SetStatementsAreRecognisedByTheirShape) {
  struct Case {
    const wchar_t* text;
    bool set;
  };
  const Case cases[] = {
      {L"SET @a=1", true},
      {L"  set @a=1;", true},
      {L"SET NAMES utf8", true},
      {L"SET NAMES utf8;", true},
      {L"SET NAMES utf8 ;  ", true},
      {L"SET autocommit=0", true},
      {L"SET", true},
      {L"SET @a", true},
      {L"SET @a =1", true},
      {L"SET @a= 1", false},  // "=" is the run, "1" a second one
      {L"SET @a = 1", false},
      {L"SET a=1, b=2", false},
      {L"SET NAMES utf8 COLLATE utf8_bin", false},
      {L"SELECT 1", false},
      {L"", false},
      {L"SE", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
    EXPECT_EQ(L::s_bIsQuerySet(c.text), c.set);
  }
  EXPECT_FALSE(L::s_bIsQuerySet(nullptr));
}

TEST_F(ClauseLocationTest, SuffixesAndLeadingWordsAreComparedWithoutRegardToCase) {
  EXPECT_TRUE(L::s_bRequeteTerminePar(L"SELECT a FROM t LIMIT 0", L"LIMIT 0"));
  EXPECT_TRUE(L::s_bRequeteTerminePar(L"SELECT a FROM t limit 0  \r\n", L"LIMIT 0"));
  EXPECT_TRUE(L::s_bRequeteTerminePar(L"SELECT a FROM t LIMIT 0)", L"LIMIT 0"));
  EXPECT_FALSE(L::s_bRequeteTerminePar(L"SELECT a FROM t LIMIT 10", L"LIMIT 0"));
  EXPECT_FALSE(L::s_bRequeteTerminePar(L"SELECT a FROM tLIMIT 0", L"LIMIT 0"));
  EXPECT_FALSE(L::s_bRequeteTerminePar(L" LIMIT 0", L"LIMIT 0"));  // begins at index 1
  EXPECT_TRUE(L::s_bRequeteTerminePar(L"  LIMIT 0", L"LIMIT 0"));
  EXPECT_FALSE(L::s_bRequeteTerminePar(L"0", L"LIMIT 0"));
  EXPECT_FALSE(L::s_bRequeteTerminePar(nullptr, L"LIMIT 0"));

  EXPECT_EQ(L::s_nGetPosSuiteRequete(L" \t\r\nas x", L"AS"), 4);
  EXPECT_EQ(L::s_nGetPosSuiteRequete(L"ASC", L"AS"), 0);
  EXPECT_EQ(L::s_nGetPosSuiteRequete(L" x AS", L"AS"), -1);
  EXPECT_EQ(L::s_nGetPosSuiteRequete(L"  ", L"AS"), -1);
  EXPECT_EQ(L::s_nGetPosSuiteRequete(nullptr, L"AS"), -1);
  EXPECT_TRUE(L::s_bSuiteRequeteCommencePar(L" ASC", L"AS"));
  EXPECT_FALSE(L::s_bSuiteRequeteCommenceParMot(L" ASC", L"AS"));
  EXPECT_TRUE(L::s_bSuiteRequeteCommenceParMot(L" * FROM t", L"*"));
  EXPECT_TRUE(L::s_bSuiteRequeteCommenceParMot(L" *", L"*"));
  EXPECT_FALSE(L::s_bSuiteRequeteCommenceParMot(L" *.a", L"*"));
}

TEST_F(ClauseLocationTest, ItemNamesAreReadQuotedOrUpToASeparator) {
  const unsigned int kNone = static_cast<unsigned int>(-1);
  struct Case {
    const char* name;
    const wchar_t* text;
    unsigned int pos;
    bool found;
    const wchar_t* item;
    unsigned int start;
    unsigned int end;
  };
  const Case cases[] = {
      {"plain", L"a AS name FROM t", 4, true, L"name", 5, 8},
      {"up to a sign", L"x AS total,b", 4, true, L"total", 5, 9},
      {"ending the text", L"a AS x", 4, true, L"x", 5, 5},
      {"before a semicolon", L"a AS x;", 4, true, L"x", 5, 5},
      {"bracketed", L"a AS [my name] FROM t", 4, true, L"my name", 5, 13},
      {"double-quoted", L"a AS \"my name\"", 4, true, L"my name", 5, 13},
      {"empty quotes", L"a AS \"\" x", 4, false, L"", 5, 6},
      {"bracket never closed", L"a AS [my name", 4, false, L"stale", 5, kNone},
      {"only separators left", L"a AS   ", 4, false, L"stale", kNone, kNone},
      {"position at the end", L"a AS", 4, false, L"stale", kNone, kNone},
      {"position past the end", L"a AS", 99, false, L"stale", kNone, kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTString csName(L"stale");
    unsigned int nStart = 7, nEnd = 7;
    EXPECT_EQ(L::s_bGetItemNameAndPos(&csName, &nStart, &nEnd, c.text, c.pos), c.found);
    EXPECT_EQ(std::wstring(csName.pszGet()), c.item);
    EXPECT_EQ(nStart, c.start);
    EXPECT_EQ(nEnd, c.end);
  }
}

// The TOP-to-LIMIT rewriting of a MariaDB connection's formatted text.
TEST_F(ClauseLocationTest, RowLimitsAreWrittenInSixtyFourBitsWhereTheServerReadsThem) {
  struct Case {
    const char* name;
    const wchar_t* text;
    long long limit;
    long long offset;
    const wchar_t* expected;
    long long limitAfter;
  };
  const Case cases[] = {
      {"limit", L"SELECT a FROM t ORDER BY a", 100, -1, L"SELECT a FROM t ORDER BY a LIMIT 100",
       100},
      {"limit and offset", L"SELECT a FROM t", 100, 200, L"SELECT a FROM t LIMIT 200, 100", 100},
      {"offset 0", L"SELECT a FROM t", 100, 0, L"SELECT a FROM t LIMIT 100", 100},
      {"TOP", L"SELECT TOP 10 a FROM t", -1, -1, L"SELECT  a FROM t LIMIT 10", -1},
      {"TOP wins over the row limit", L"select top 10 a from t", 99, 5,
       L"select  a from t LIMIT 5, 10", -1},
      {"2^31", L"SELECT a FROM t", 2147483648LL, -1, L"SELECT a FROM t LIMIT 2147483648",
       2147483648LL},
      {"2^32 + 5", L"SELECT a FROM t", 4294967301LL, 4294967296LL,
       L"SELECT a FROM t LIMIT 4294967296, 4294967301", 4294967301LL},
      {"2^63 - 1", L"SELECT a FROM t", LLONG_MAX, LLONG_MAX,
       L"SELECT a FROM t LIMIT 9223372036854775807, 9223372036854775807", LLONG_MAX},
      {"TOP of 2^32 + 5", L"SELECT TOP 4294967301 a FROM t", -1, -1,
       L"SELECT  a FROM t LIMIT 4294967301", -1},
      {"TOP past 2^63 - 1 is left to the server", L"SELECT TOP 99999999999999999999 a FROM t", 5,
       -1, L"SELECT TOP 99999999999999999999 a FROM t LIMIT 5", 5},
      {"limit 0 is none", L"SELECT a FROM t", 0, 3, L"SELECT a FROM t", 0},
      {"negative limit is none", L"SELECT a FROM t", -7, 3, L"SELECT a FROM t", -7},
      {"TOP 0 means no rows", L"SELECT TOP 0 a FROM t", 8, -1, L"SELECT  a FROM t LIMIT 0", -1},
      {"trailing semicolon", L"SELECT a FROM t;", 5, -1, L"SELECT a FROM t LIMIT 5;", 5},
      {"semicolons and blanks", L"SELECT a FROM t ; ;\r\n", 5, -1,
       L"SELECT a FROM t LIMIT 5 ; ;\r\n", 5},
      {"FOR UPDATE", L"SELECT a FROM t WHERE b=1 FOR UPDATE", 5, 2,
       L"SELECT a FROM t WHERE b=1 LIMIT 2, 5 FOR UPDATE", 5},
      {"FOR UPDATE NOWAIT;", L"select a from t for update nowait;", 5, -1,
       L"select a from t LIMIT 5 for update nowait;", 5},
      {"FOR SHARE", L"SELECT a FROM t FOR SHARE", 5, -1, L"SELECT a FROM t LIMIT 5 FOR SHARE", 5},
      {"LOCK IN SHARE MODE", L"SELECT a FROM t ORDER BY a LOCK IN SHARE MODE", 5, -1,
       L"SELECT a FROM t ORDER BY a LIMIT 5 LOCK IN SHARE MODE", 5},
      {"FOR UPDATE in a literal", L"SELECT a FROM t WHERE b='x FOR UPDATE'", 5, -1,
       L"SELECT a FROM t WHERE b='x FOR UPDATE' LIMIT 5", 5},
      {"-- comment at the end", L"SELECT a FROM t ORDER BY a -- all of them", 5, -1,
       L"SELECT a FROM t ORDER BY a LIMIT 5 -- all of them", 5},
      {"# comment after a line", L"SELECT a FROM t\n# all of them\n", 5, -1,
       L"SELECT a FROM t LIMIT 5\n# all of them\n", 5},
      {"block comment", L"SELECT a FROM t /* ; FOR UPDATE */", 5, -1,
       L"SELECT a FROM t LIMIT 5 /* ; FOR UPDATE */", 5},
      {"semicolon then comment", L"SELECT a FROM t; -- done", 5, -1,
       L"SELECT a FROM t LIMIT 5; -- done", 5},
      {"percent signs", L"SELECT a FROM t WHERE b LIKE '%d%s%n'", 5, -1,
       L"SELECT a FROM t WHERE b LIKE '%d%s%n' LIMIT 5", 5},
      {"LIMIT in a literal at the end", L"SELECT a FROM t WHERE b='LIMIT 0'", 5, -1,
       L"SELECT a FROM t WHERE b='LIMIT 0' LIMIT 5", 5},
      {"already LIMIT 0", L"SELECT a FROM t LIMIT 0", 5, -1, L"SELECT a FROM t LIMIT 0", 5},
      {"already LIMIT 0;", L"SELECT a FROM t LIMIT 0;", 5, -1, L"SELECT a FROM t LIMIT 0;", 5},
      {"TOP glued to a name is a name", L"SELECT TOP5 FROM t", 5, -1,
       L"SELECT TOP5 FROM t LIMIT 5", 5},
      {"TOP without a number", L"SELECT TOP FROM t", -1, -1, L"SELECT TOP FROM t", -1},
      {"not a SELECT", L"UPDATE t SET a = 1", 5, -1, L"UPDATE t SET a = 1", 5},
      {"only a SELECT keyword", L"SELECT", 5, -1, L"SELECT LIMIT 5", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTString csText(c.text);
    long long llLimit = c.limit;
    const bool bChanged = L::s_bRemplaceTopParLimit(m_pclConnection, &csText, &llLimit, c.offset);
    EXPECT_EQ(std::wstring(csText.pszGet()), c.expected);
    EXPECT_EQ(bChanged, std::wstring(c.text) != c.expected);
    EXPECT_EQ(llLimit, c.limitAfter);
  }
}

TEST_F(ClauseLocationTest, ALimitClauseBecomesTopForTheKindsThatWriteTop) {
  struct Case {
    const wchar_t* text;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"SELECT a FROM t LIMIT 5", L"SELECT TOP 5  a FROM t"},
      {L"SELECT a FROM t  limit 4294967301 ;", L"SELECT TOP 4294967301  a FROM t"},
      {L"SELECT a FROM t LIMIT 5, 0", L"SELECT TOP 5  a FROM t"},
      {L"SELECT a FROM t LIMIT 5, 10", L"SELECT a FROM t LIMIT 5, 10"},  // an offset: kept
      {L"SELECT a FROM t LIMIT 5 OFFSET 10", L"SELECT a FROM t LIMIT 5 OFFSET 10"},
      {L"SELECT a FROM t limit 5 offset 0;", L"SELECT a FROM t limit 5 offset 0;"},
      {L"SELECT a FROM t LIMIT x", L"SELECT a FROM t LIMIT x"},          // no number
      {L"SELECT a FROM t WHERE b='LIMIT 5'", L"SELECT a FROM t WHERE b='LIMIT 5'"},
      {L"DELETE FROM t LIMIT 5", L"DELETE FROM t LIMIT 5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
    CTString csText(c.text);
    EXPECT_EQ(L::s_bRemplaceLimitParTop(m_pclConnection, &csText),
              std::wstring(c.text) != c.expected);
    EXPECT_EQ(std::wstring(csText.pszGet()), c.expected);
  }
}

}  // namespace
}  // namespace kqtest
