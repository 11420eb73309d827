// The command's formatted text against the fixture's server: golden texts
// of parameters of every value class, each also run on the server; and the
// hostile suite: every value of tests/sqlbuilder/hostile_corpus.txt written
// by the command as an equality parameter, a LIKE prefix and a binary, run in
// the default sql_mode, with NO_BACKSLASH_ESCAPES, with ANSI_QUOTES and with
// both. Each statement must parse and return exactly the rows the value
// names (the fixtures are inserted as hexadecimal literals, independent of
// the escaping under test), and a canary table must stay untouched.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/na_error.h"
#include "items/convert_variant.h"
#include "kq230/vm_values.h"
#include "mariadb/mysql_driver.h"
#include "sqlbuilder/command.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/server_session.h"
#include "tests/sqlbuilder/hostile_corpus.h"
#include "tests/support/utf8_reference.h"
#include "tests/values/bound_values.h"
#include "values/any.h"
#include "values/date_time_base.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

const eOPEXPRESSION kNoOperator = static_cast<eOPEXPRESSION>(-1);

CAny Wide(const std::wstring& text) {
  CAny v;
  v.__SetType(VX_DSTRW, 0);
  v.SetValueByte(text.data(), static_cast<unsigned int>(text.size() * sizeof(wchar_t)));
  return v;
}

std::vector<CorpusEntry> ReadCorpus() { return ReadHostileCorpus(KQ_HOSTILE_CORPUS); }

class CommandServerTest : public BoundValuesTest {
 protected:
  static void SetUpTestSuite() { ServerSession::ReadServer(); }
  static void TearDownTestSuite() { ServerSession::ForgetServer(); }
  void SetUp() override {
    BoundValuesTest::SetUp();
    ASSERT_EQ(ServerSession::SetupError(), "");
    m_pclDriver = new CMySQLDriver();
    m_pclDriver->ExternalAddRef();
    ASSERT_TRUE(m_session.bOpen(L"Connection=command"));
    m_pclError = new CNAError();
    m_pclError->AddRef();
  }
  void TearDown() override {
    m_pclError->nRelease();
    m_session.Close();
    EXPECT_EQ(m_pclDriver->nExternalRelease(), 0);
    ServerSession::EndClientLibrary();
    BoundValuesTest::TearDown();
  }

  CNACommand* NewCommand() {
    auto* p = static_cast<CNACommand*>(
        m_pclDriver->pclAllocCommand(m_pclError, m_session.pclConnection()));
    p->AddRef();
    return p;
  }
  // Adds v as a parameter at the end of the text (typed after the value).
  void Add(CNACommand* c, const CAny& v, unsigned int flags = 0, wchar_t escape = 0) {
    ASSERT_EQ(c->bAddParameter(&v, kNoOperator, flags, nullptr, escape, CNAParameter::NA_PARAM_IN), 1)
        << m_pclError->StringDump().pszGet();
  }
  // The formatted text of "SELECT " + v, or "<null>" when it cannot be built.
  std::wstring Selected(const CAny& v) {
    CNACommand* c = NewCommand();
    c->bComplete(L"SELECT ");
    Add(c, v);
    const wchar_t* psz = c->pszGetFormatedSQL(CNACommand::NA_PTC_ALL);
    std::wstring text = psz != nullptr ? psz : L"<null>";
    c->nRelease();
    return text;
  }

  CMySQLDriver* m_pclDriver = nullptr;
  CNAError* m_pclError = nullptr;
  ServerSession m_session;
};

TEST_F(CommandServerTest, ParametersOfEveryValueClassAreWrittenAsTheServerReadsThem) {
  CAny i4, i8, r8, b, date, bin, nul, text;
  i4.SetI4(-42);
  i8.SetI8(-9000000000123LL);
  r8.SetR8(2.5);
  b.SetBOOL(1);
  date.SetDATEW(L"20240229");
  const unsigned char bytes[] = {0x00, 0x27, 0x5C, 0xFF};
  bin.SetBIN(bytes, 4);
  nul.__SetType(VX_I4, 0);
  nul.SetNull(true);
  const struct {
    const char* label;
    CAny value;
    std::wstring text;     // the formatted text
    std::wstring checked;  // what the server must find equal to the selected value
  } kCases[] = {
      {"int", i4, L"SELECT -42", L"-42"},
      {"int64", i8, L"SELECT -9000000000123", L"-9000000000123"},
      {"real", r8, L"SELECT 2.5", L"2.5"},
      {"bool", b, L"SELECT 1", L"TRUE"},
      {"date", date, L"SELECT '2024-02-29'", L"DATE '2024-02-29'"},
      {"binary", bin, L"SELECT X'00275CFF'", L"UNHEX('00275CFF')"},
      {"text", Wide(L"O'Hara"), L"SELECT 'O''Hara'", L"CONCAT('O', CHAR(39), 'Hara')"},
      {"backslash", Wide(L"a\\b"), L"SELECT _utf8mb4 X'615C62'", L"CONCAT('a', CHAR(92), 'b')"},
  };
  for (const auto& k : kCases) {
    SCOPED_TRACE(k.label);
    const std::wstring text = Selected(k.value);
    EXPECT_EQ(text, k.text) << m_pclError->StringDump().pszGet();
    EXPECT_TRUE(m_session.bSays(L"(" + text + L") <=> " + k.checked));
  }
  EXPECT_EQ(Selected(nul), L"SELECT NULL");
  EXPECT_TRUE(m_session.bSays(L"(SELECT NULL) IS NULL"));
}

TEST_F(CommandServerTest, NumbersThatAreNoNumbersAreRefused) {
  for (double d : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    CAny v;
    v.SetR8(d);
    m_pclError->Reset();
    EXPECT_EQ(Selected(v), L"<null>") << d;
    EXPECT_NE(m_pclError->nGetUserErrorCode(), 0u);
  }
}

TEST_F(CommandServerTest, LikeParametersCarryTheirOwnEscapeClauseInEverySqlMode) {
  ASSERT_TRUE(m_session.bRun(
      L"CREATE OR REPLACE TABLE kq_like (id INT PRIMARY KEY, v VARCHAR(20) "
      L"CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin)"));
  // 50%, 50\b, 50x, 5!0
  ASSERT_TRUE(m_session.bRun(L"INSERT INTO kq_like VALUES (1, X'353025'), (2, X'35305C62'), "
                             L"(3, X'353078'), (4, X'352130')"));
  const struct {
    const wchar_t* pattern;
    wchar_t escape;
    const wchar_t* ids;  // the rows matched, as GROUP_CONCAT gives them
  } kCases[] = {{L"50\\%", 0, L"1"},      {L"50%", 0, L"1,2,3"}, {L"50\\\\b", 0, L"2"},
                {L"5!0", 0, L"4"},        {L"50#%", L'#', L"1"}, {L"5_0", 0, L"4"},
                {L"50\\b", 0, L"2"}};
  for (const wchar_t* mode : {L"DEFAULT", L"'NO_BACKSLASH_ESCAPES'", L"'ANSI_QUOTES'",
                              L"'NO_BACKSLASH_ESCAPES,ANSI_QUOTES'"}) {
    ASSERT_TRUE(m_session.bRun(std::wstring(L"SET SESSION sql_mode = ") + mode));
    for (const auto& k : kCases) {
      SCOPED_TRACE(testing::Message() << "mode " << testing::PrintToString(std::wstring(mode))
                                      << " pattern " << testing::PrintToString(std::wstring(k.pattern)));
      CNACommand* c = NewCommand();
      c->bComplete(L"SELECT GROUP_CONCAT(id ORDER BY id) FROM kq_like WHERE v LIKE ");
      Add(c, Wide(k.pattern), kNAParamLike, k.escape);
      const wchar_t* psz = c->pszGetFormatedSQL(CNACommand::NA_PTC_ALL);
      ASSERT_NE(psz, nullptr) << m_pclError->StringDump().pszGet();
      const std::wstring text = psz;
      EXPECT_NE(text.find(L" ESCAPE '!'"), std::wstring::npos) << text;
      EXPECT_TRUE(m_session.bSays(L"IFNULL((" + text + L"), '') = '" + k.ids + L"'")) << text;
      c->nRelease();
    }
  }
  ASSERT_TRUE(m_session.bRun(L"SET SESSION sql_mode = DEFAULT"));
  ASSERT_TRUE(m_session.bRun(L"DROP TABLE kq_like"));
}

TEST_F(CommandServerTest, AStatementsOwnEscapeClauseGivesWayToTheCommands) {
  CNACommand* c = NewCommand();
  c->bComplete(L"SELECT 'a%' LIKE ");
  Add(c, Wide(L"a#%"), kNAParamLike, L'#');
  c->bComplete(L" ESCAPE '#'");
  const wchar_t* psz = c->pszGetFormatedSQL(CNACommand::NA_PTC_ALL);
  ASSERT_NE(psz, nullptr);
  EXPECT_STREQ(psz, L"SELECT 'a%' LIKE 'a!%' ESCAPE '!'");
  EXPECT_TRUE(m_session.bSays(std::wstring(L"(") + psz + L") = 1"));
  c->nRelease();
}

TEST_F(CommandServerTest, HostileValuesReturnExactlyTheirRowsInEverySqlModeAndInjectNothing) {
  const std::vector<CorpusEntry> corpus = ReadCorpus();
  ASSERT_GT(corpus.size(), 30u);
  ASSERT_TRUE(m_session.bRun(
      L"CREATE OR REPLACE TABLE kq_hostile (id INT PRIMARY KEY, v VARCHAR(300) CHARACTER SET "
      L"utf8mb4 COLLATE utf8mb4_nopad_bin, b VARBINARY(1200))"));
  ASSERT_TRUE(m_session.bRun(L"CREATE OR REPLACE TABLE kq_canary (n INT)"));
  ASSERT_TRUE(m_session.bRun(L"INSERT INTO kq_canary VALUES (7)"));
  // Fixtures as hexadecimal literals only.
  for (size_t i = 0; i < corpus.size(); ++i) {
    const std::wstring hex = Hex(Utf8(corpus[i].value));
    const std::wstring lit = hex.empty() ? L"''" : L"X'" + hex + L"'";
    ASSERT_TRUE(m_session.bRun(L"INSERT INTO kq_hostile VALUES (" + std::to_wstring(i + 1) +
                               L", CONVERT(" + lit + L" USING utf8mb4), " + lit + L")"))
        << corpus[i].label;
  }
  const auto expectedIds = [&](bool prefix, const std::wstring& value) {
    std::wstring ids;
    for (size_t j = 0; j < corpus.size(); ++j) {
      const std::wstring& other = corpus[j].value;
      const bool match = prefix ? other.compare(0, value.size(), value) == 0 : other == value;
      if (!match) continue;
      if (!ids.empty()) ids += L",";
      ids += std::to_wstring(j + 1);
    }
    return ids;
  };
  size_t nChecked = 0;
  for (const wchar_t* mode : {L"DEFAULT", L"'NO_BACKSLASH_ESCAPES'", L"'ANSI_QUOTES'",
                              L"'NO_BACKSLASH_ESCAPES,ANSI_QUOTES'"}) {
    ASSERT_TRUE(m_session.bRun(std::wstring(L"SET SESSION sql_mode = ") + mode));
    // The mode really is the session's.
    const std::wstring m = mode;
    const bool bNoBackslash = m.find(L"NO_BACKSLASH") != std::wstring::npos;
    const bool bAnsiQuotes = m.find(L"ANSI_QUOTES") != std::wstring::npos;
    ASSERT_TRUE(m_session.bSays(
        std::wstring(L"(FIND_IN_SET('NO_BACKSLASH_ESCAPES', @@SESSION.sql_mode) > 0) = ") +
        (bNoBackslash ? L"TRUE" : L"FALSE") +
        L" AND (FIND_IN_SET('ANSI_QUOTES', @@SESSION.sql_mode) > 0) = " +
        (bAnsiQuotes ? L"TRUE" : L"FALSE")))
        << testing::PrintToString(m);
    for (const CorpusEntry& e : corpus) {
      SCOPED_TRACE(testing::Message() << e.label << " in " << testing::PrintToString(std::wstring(mode)));
      for (int form = 0; form < 3; ++form) {
        CNACommand* c = NewCommand();
        c->bComplete(L"SELECT GROUP_CONCAT(id ORDER BY id) FROM kq_hostile WHERE ");
        std::wstring ids;
        if (form == 0) {
          c->bComplete(L"v = ");
          Add(c, Wide(e.value));
          ids = expectedIds(false, e.value);
        } else if (form == 1) {
          // Begins with: the value matched literally, then "%".
          CXYString<wchar_t> clPattern;
          ASSERT_EQ(c->bEscapeLIKEParamAsZBParam(&clPattern, e.value.c_str(), 0), 1);
          std::wstring pattern(clPattern.pszGet(), clPattern.nGetLongueur());
          pattern += L"%";
          c->bComplete(L"v LIKE ");
          Add(c, Wide(pattern), kNAParamLike);
          // A value holding a zero is cut there by the literal-match writer
          // (a C string): compare with what it saw.
          ids = expectedIds(true, std::wstring(e.value.c_str()));
        } else {
          const std::string bytes = Utf8(e.value);
          CAny v;
          v.SetBIN(reinterpret_cast<const unsigned char*>(bytes.data()),
                   static_cast<unsigned int>(bytes.size()));
          c->bComplete(L"b = ");
          Add(c, v);
          ids = expectedIds(false, e.value);
        }
        const wchar_t* psz = c->pszGetFormatedSQL(CNACommand::NA_PTC_ALL);
        ASSERT_NE(psz, nullptr) << m_pclError->StringDump().pszGet();
        const std::wstring text = psz;
        EXPECT_TRUE(m_session.bSays(L"IFNULL((" + text + L"), '') = '" + ids + L"'"))
            << "form " << form << ": " << testing::PrintToString(text);
        ++nChecked;
        c->nRelease();
      }
    }
    EXPECT_TRUE(m_session.bSays(L"(SELECT COUNT(*) FROM kq_canary) = 1 AND "
                                L"(SELECT n FROM kq_canary) = 7"));
    EXPECT_TRUE(m_session.bSays(L"(SELECT COUNT(*) FROM kq_hostile) = " +
                                std::to_wstring(corpus.size())));
  }
  // Every value ran in every form and mode (a loop cut short proves nothing).
  EXPECT_EQ(nChecked, corpus.size() * 3 * 4);
  ASSERT_TRUE(m_session.bRun(L"SET SESSION sql_mode = DEFAULT"));
  ASSERT_TRUE(m_session.bRun(L"DROP TABLE kq_hostile, kq_canary"));
}

}  // namespace
}  // namespace kqtest
