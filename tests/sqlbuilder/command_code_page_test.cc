// The command's statement text and the connection's code page: a text given
// to the command (outside its literals) that holds a character the code
// page cannot hold is refused with an error naming the character when the
// formatted text is asked, never sent with "?" in its place; texts the code
// page holds go out as its bytes. Connections of code page 1252, UTF-8 and
// wide, without server.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "driver/na_error.h"
#include "mariadb/mysql_driver.h"
#include "sqlbuilder/command.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/sqlbuilder/backquote_connection.h"
#include "tests/values/bound_values.h"

namespace kqtest {
namespace {

class CommandCodePage : public BoundValuesTest {
 protected:
  void SetUp() override {
    BoundValuesTest::SetUp();
    m_pclDriver = new CMySQLDriver();
    m_pclDriver->ExternalAddRef();
    m_pclError = new CNAError();
    m_pclError->AddRef();
  }
  void TearDown() override {
    m_pclError->nRelease();
    EXPECT_EQ(m_host.nOutstanding(), 0);
    EXPECT_EQ(m_pclDriver->nExternalRelease(), 0);
    BoundValuesTest::TearDown();
  }

  // A command on a new connection of that code page; both released by
  // Release.
  CNACommand* New(int nCodePage) {
    m_pclConnection = new BackquoteConnection(&m_host, kServerKindMariaDB, nCodePage);
    m_pclConnection->AddRef();
    auto* p = static_cast<CNACommand*>(m_pclDriver->pclAllocCommand(m_pclError, m_pclConnection));
    p->AddRef();
    m_pclCommand = p;
    return p;
  }
  void Release() {
    m_pclCommand->nRelease();
    m_pclConnection->nRelease();
    m_pclCommand = nullptr;
    m_pclConnection = nullptr;
  }
  std::wstring UserMessage() {
    const wchar_t* psz = m_pclError->pclGetXError()->pszGetUserMessage();
    return psz != nullptr ? psz : L"";
  }

  HostConnectionFake m_host;
  CMySQLDriver* m_pclDriver = nullptr;
  BackquoteConnection* m_pclConnection = nullptr;
  CNACommand* m_pclCommand = nullptr;
  CNAError* m_pclError = nullptr;
};

using Build = std::function<void(CNACommand*)>;

TEST_F(CommandCodePage, AStatementTextTheCodePageCannotHoldIsRefusedNamingTheCharacter) {
  const struct {
    const char* what;
    int codePage;
    Build build;
    const wchar_t* character;  // the code point the message names
  } kCases[] = {
      {"a Chinese name in 1252", 1252,
       [](CNACommand* c) { c->bComplete(L"SELECT `\u4e2d` FROM t"); }, L"4E2D"},
      {"Greek in a query text in 1252", 1252,
       [](CNACommand* c) { c->bComplete(L"SELECT a FROM t WHERE b = '\u03a9'"); }, L"03A9"},
      {"inserted in 1252", 1252,
       [](CNACommand* c) {
         c->bComplete(L"SELECT a FROM t");
         c->Insert(7, L"\u0416, ");
       },
       L"0416"},
      {"replacing in 1252", 1252,
       [](CNACommand* c) {
         c->bComplete(L"SELECT a FROM t");
         c->Replace(7, 1, L"\u0101");
       },
       L"0101"},
      {"a returning clause in 1252", 1252,
       [](CNACommand* c) {
         c->bComplete(L"INSERT INTO t VALUES (1)");
         c->bAddReturning(L"\u4e2d");
       },
       L"4E2D"},
      {"the first of two characters is named", 1252,
       [](CNACommand* c) { c->bComplete(L"SELECT '\u00e9\u0101\u4e2d'"); }, L"0101"},
      {"a lone surrogate in UTF-8", 65001,
       [](CNACommand* c) { c->bComplete(L"SELECT 'a\xD800'"); }, L"D800"},
      {"a lone surrogate in wide text", -2,
       [](CNACommand* c) { c->bComplete(L"SELECT 'a\xDFFF'"); }, L"DFFF"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    m_pclError->Reset();
    CNACommand* pclCommand = New(c.codePage);
    c.build(pclCommand);
    EXPECT_EQ(pclCommand->pszGetFormatedSQLA(CNACommand::NA_PTC_ALL), nullptr);
    EXPECT_EQ(m_pclError->nGetUserErrorCode(), 44u);
    EXPECT_EQ(UserMessage(), std::wstring(L"The statement holds the character U+") + c.character +
                                 L", which the connection's code page " +
                                 std::to_wstring(c.codePage) + L" cannot hold: it is not sent.");
    const std::wstring dump = m_pclError->StringDump().pszGet();
    EXPECT_NE(dump.find(L"IEKQMARIA=10.11"), std::wstring::npos) << dump;
    // Asked again: refused again, never built with "?".
    EXPECT_EQ(pclCommand->pszGetFormatedSQL(CNACommand::NA_PTC_ALL), nullptr);
    Release();
  }
}

TEST_F(CommandCodePage, TextsTheCodePageHoldsGoOutAsItsBytes) {
  const struct {
    const char* what;
    int codePage;
    const wchar_t* text;
    std::string bytes;
  } kCases[] = {
      {"euro and accents in 1252", 1252, L"SELECT '\u20ac', `\u00e9t\u00e9` FROM t",
       "SELECT '\x80', `\xe9t\xe9` FROM t"},
      {"ASCII in 1252", 1252, L"SELECT 1", "SELECT 1"},
      {"Chinese and a 4-byte character in UTF-8", 65001, L"SELECT '\u4e2d\U0001F600'",
       "SELECT '\xe4\xb8\xad\xf0\x9f\x98\x80'"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    m_pclError->Reset();
    CNACommand* pclCommand = New(c.codePage);
    pclCommand->bComplete(c.text);
    const char* psz = pclCommand->pszGetFormatedSQLA(CNACommand::NA_PTC_ALL);
    ASSERT_NE(psz, nullptr) << m_pclError->StringDump().pszGet();
    EXPECT_EQ(std::string(psz), c.bytes);
    EXPECT_EQ(m_pclError->nGetUserErrorCode(), 0u);
    Release();
  }
}

TEST_F(CommandCodePage, TheRefusalFollowsAppendedCommandsAndEndsWithAReset) {
  CNACommand* pclOther = New(1252);
  BackquoteConnection* pclOtherConnection = m_pclConnection;
  pclOther->bComplete(L" WHERE b = '\u4e2d'");
  m_pclCommand = nullptr;
  m_pclConnection = nullptr;

  CNACommand* pclCommand = New(1252);
  pclCommand->bComplete(L"SELECT a FROM t");
  ASSERT_EQ(pclCommand->bAdd(pclOther, CNACommand::NA_ADD_SHARE), 1);
  EXPECT_EQ(pclCommand->pszGetFormatedSQL(CNACommand::NA_PTC_ALL), nullptr);
  EXPECT_EQ(m_pclError->nGetUserErrorCode(), 44u);

  // An emptied command starts over.
  m_pclError->Reset();
  pclCommand->ResetCommand(0);
  pclCommand->bComplete(L"SELECT '\u00e9'");
  const char* psz = pclCommand->pszGetFormatedSQLA(CNACommand::NA_PTC_ALL);
  ASSERT_NE(psz, nullptr) << m_pclError->StringDump().pszGet();
  EXPECT_EQ(std::string(psz), "SELECT '\xe9'");
  EXPECT_EQ(m_pclError->nGetUserErrorCode(), 0u);
  Release();
  pclOther->nRelease();
  pclOtherConnection->nRelease();
}

}  // namespace
}  // namespace kqtest
