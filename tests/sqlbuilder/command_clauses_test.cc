// The command's clause operations without a server: the row limits its
// formatted text receives by server kind, and the names it writes through
// the connection's dialect (quoted, doubled, refused when empty or not
// representable in the connection's code page).
#include <climits>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "driver/na_error.h"
#include "sqlbuilder/command.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/sqlbuilder/backquote_connection.h"
#include "tests/support/bound_framework.h"

namespace kqtest {
namespace {

class CommandClausesTest : public BoundFrameworkTest {
 protected:
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    m_pclError = new CNAError;
    m_pclError->AddRef();
  }
  void TearDown() override {
    m_pclError->nRelease();
    BoundFrameworkTest::TearDown();
  }

  // A command of a new connection of that kind and code page; both released
  // by Release().
  CNACommand* New(int nServerKind = kServerKindMariaDB, int nCodePage = 65001) {
    m_pclConnection = new BackquoteConnection(&m_host, nServerKind, nCodePage);
    m_pclConnection->AddRef();
    m_pclCommand = new CNACommand(m_pclError, m_pclConnection);
    m_pclCommand->AddRef();
    return m_pclCommand;
  }
  void Release() {
    m_pclCommand->nRelease();
    m_pclConnection->nRelease();
    m_pclCommand = nullptr;
    m_pclConnection = nullptr;
  }

  HostConnectionFake m_host;
  CNAError* m_pclError = nullptr;
  BackquoteConnection* m_pclConnection = nullptr;
  CNACommand* m_pclCommand = nullptr;
};

TEST_F(CommandClausesTest, TheFormattedTextCarriesTheRowLimitOfAMariadbConnection) {
  struct Case {
    const char* name;
    const wchar_t* text;
    long long limit;
    long long offset;
    const wchar_t* formatted;
    long long limitAfter;
  };
  const Case cases[] = {
      {"limit", L"SELECT a FROM t", 100, -1, L"SELECT a FROM t LIMIT 100", 100},
      {"limit and offset", L"SELECT a FROM t", 100, 200, L"SELECT a FROM t LIMIT 200, 100", 100},
      {"TOP", L"SELECT TOP 10 a FROM t", -1, -1, L"SELECT  a FROM t LIMIT 10", -1},
      {"2^31", L"SELECT a FROM t", 2147483648LL, -1, L"SELECT a FROM t LIMIT 2147483648",
       2147483648LL},
      {"2^32 + 5 with an offset past 32 bits", L"SELECT a FROM t", 4294967301LL, 4294967297LL,
       L"SELECT a FROM t LIMIT 4294967297, 4294967301", 4294967301LL},
      {"2^63 - 1", L"SELECT a FROM t", LLONG_MAX, -1, L"SELECT a FROM t LIMIT 9223372036854775807",
       LLONG_MAX},
      {"no limit", L"SELECT a FROM t", -1, 5, L"SELECT a FROM t", -1},
      {"limit 0", L"SELECT a FROM t", 0, 5, L"SELECT a FROM t", 0},
      {"before a semicolon and a comment", L"SELECT a FROM t; -- x", 3, -1,
       L"SELECT a FROM t LIMIT 3; -- x", 3},
      {"before FOR UPDATE", L"SELECT a FROM t FOR UPDATE", 3, -1,
       L"SELECT a FROM t LIMIT 3 FOR UPDATE", 3},
      {"multi-byte text before the place", L"SELECT a FROM t WHERE b='\u00e9\u20ac\U0001F600' -- z",
       3, -1, L"SELECT a FROM t WHERE b='\u00e9\u20ac\U0001F600' LIMIT 3 -- z", 3},
  };
  for (int nCodePage : {65001, kCodePageWide}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (nCodePage == 65001 ? " (UTF-8)" : " (wide)"));
      CNACommand* pclCommand = New(kServerKindMariaDB, nCodePage);
      pclCommand->_SetQueryKind(NA_CMD_SELECT);
      pclCommand->bComplete(c.text);
      pclCommand->SetRowLimit(c.limit);
      pclCommand->SetRowOffset(c.offset);
      const wchar_t* pszFormatted = pclCommand->pszGetFormatedSQL(CNACommand::NA_PTC_ALL);
      ASSERT_NE(pszFormatted, nullptr);
      EXPECT_EQ(std::wstring(pszFormatted), c.formatted);
      EXPECT_EQ(pclCommand->llGetRowLimit(), c.limitAfter);
      // The statement text itself is never rewritten.
      EXPECT_EQ(std::wstring(pclCommand->pszGetOriginalSQL()), c.text);
      Release();
    }
  }
}

TEST_F(CommandClausesTest, TheUtf8FormOfTheFormattedTextHoldsTheClauseAfterMultiByteText) {
  CNACommand* pclCommand = New(kServerKindMariaDB, 65001);
  pclCommand->bComplete(L"SELECT a FROM t WHERE b='\u00e9' # c");
  pclCommand->SetRowLimit(7);
  const char* pszBytes = pclCommand->pszGetFormatedSQLA(CNACommand::NA_PTC_ALL);
  ASSERT_NE(pszBytes, nullptr);
  EXPECT_STREQ(pszBytes, "SELECT a FROM t WHERE b='\xC3\xA9' LIMIT 7 # c");
  Release();
}

TEST_F(CommandClausesTest, ALimitSetAfterTheTextWasFormattedReachesTheNextText) {
  CNACommand* pclCommand = New(kServerKindMariaDB, 65001);
  pclCommand->_SetQueryKind(NA_CMD_SELECT);
  pclCommand->bComplete(L"SELECT a FROM t ORDER BY a");
  ASSERT_STREQ(pclCommand->pszGetFormatedSQLA(CNACommand::NA_PTC_ALL),
               "SELECT a FROM t ORDER BY a");
  pclCommand->SetRowLimit(10);
  EXPECT_STREQ(pclCommand->pszGetFormatedSQLA(CNACommand::NA_PTC_ALL),
               "SELECT a FROM t ORDER BY a LIMIT 10");
  pclCommand->SetRowOffset(20);
  EXPECT_STREQ(pclCommand->pszGetFormatedSQLA(CNACommand::NA_PTC_ALL),
               "SELECT a FROM t ORDER BY a LIMIT 20, 10");
  Release();
}

TEST_F(CommandClausesTest, RowLimitsFollowTheServerKindAndStayOutOfRewrittenQueries) {
  // Kinds 1 to 3 write TOP; kinds other than 1 to 3, 5 and 6 rewrite nothing.
  struct Case {
    int kind;
    const wchar_t* text;
    long long limit;
    const wchar_t* formatted;
  };
  const Case cases[] = {
      {2, L"SELECT a FROM t LIMIT 5", -1, L"SELECT TOP 5  a FROM t"},
      {6, L"SELECT TOP 4 a FROM t", -1, L"SELECT  a FROM t LIMIT 4"},
      {4, L"SELECT TOP 4 a FROM t", 9, L"SELECT TOP 4 a FROM t"},
      {0, L"SELECT a FROM t", 9, L"SELECT a FROM t"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    CNACommand* pclCommand = New(c.kind);
    pclCommand->bComplete(c.text);
    pclCommand->SetRowLimit(c.limit);
    EXPECT_EQ(std::wstring(pclCommand->pszGetFormatedSQL(CNACommand::NA_PTC_ALL)), c.formatted);
    Release();
  }
  // While a parsed query is rewritten as a whole, its own text decides.
  CNACommand* pclCommand = New();
  pclCommand->_SetQueryRewrite(1);
  pclCommand->bComplete(L"SELECT TOP 3 a FROM t");
  pclCommand->SetRowLimit(9);
  EXPECT_EQ(std::wstring(pclCommand->pszGetFormatedSQL(CNACommand::NA_PTC_ALL)),
            L"SELECT TOP 3 a FROM t");
  EXPECT_EQ(pclCommand->llGetRowLimit(), 9);
  Release();
}

TEST_F(CommandClausesTest, NamesAreQuotedThroughTheDialectAndUnusableOnesRefused) {
  struct Case {
    const char* name;
    int codePage;
    bool table;
    const wchar_t* input;
    const wchar_t* written;  // null: refused
  };
  const Case cases[] = {
      {"plain table", 65001, true, L"orders", L"`orders`"},
      {"database and table", 65001, true, L"shop.orders", L"`shop`.`orders`"},
      {"inner backquote doubled", 65001, true, L"a`b", L"`a``b`"},
      {"injection attempt stays a name", 65001, false, L"x` FROM t; DROP TABLE t; -- ",
       L"`x`` FROM t; DROP TABLE t; -- `"},
      {"well-formed quoted name kept", 65001, false, L"`a``b`", L"`a``b`"},
      {"leading backquote only is quoted again", 65001, false, L"`a", L"```a`"},
      {"4-byte character in UTF-8", 65001, false, L"\U0001F600", L"`\U0001F600`"},
      {"Greek in 1252", 1252, false, L"\u03a9mega", nullptr},
      {"euro in 1252", 1252, false, L"\u20ac", L"`\u20ac`"},
      {"lone surrogate", 65001, true, L"a\xD800", nullptr},
      {"empty item", 65001, false, L"", nullptr},
      {"empty table", 65001, true, L"", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_pclError->Reset();
    CNACommand* pclCommand = New(kServerKindMariaDB, c.codePage);
    CTString csOut(L"before");
    const int bOk = c.table ? pclCommand->_FormatTableName(c.input, &csOut)
                            : pclCommand->_FormatItemName(c.input, &csOut);
    if (c.written != nullptr) {
      EXPECT_EQ(bOk, 1);
      EXPECT_EQ(std::wstring(csOut.pszGet()), c.written);
    } else {
      EXPECT_EQ(bOk, 0);
      EXPECT_EQ(m_pclError->nGetUserErrorCode(), 44u);
      EXPECT_EQ(std::wstring(csOut.pszGet()), L"before");  // nothing written
    }
    Release();
  }
  CNACommand* pclCommand = New();
  CTString csOut;
  EXPECT_EQ(pclCommand->_FormatItemName(nullptr, &csOut), 0);
  Release();
}

}  // namespace
}  // namespace kqtest
