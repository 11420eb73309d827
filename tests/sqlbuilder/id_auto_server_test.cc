// The automatic identifier's values (CNAIDAuto) on the fixture's server:
// the next value and the current maximum of a table's identifier, on an
// empty table, after identifiers up to 41, with hostile table and column
// names, for a query's column, and when the query fails or gives no row.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/string_concat.h"
#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "items/column.h"
#include "items/record.h"
#include "kq230/item_type.h"
#include "mariadb/mysql_data_access.h"
#include "mariadb/mysql_driver.h"
#include "sqlbuilder/id_auto.h"
#include "sqlbuilder/internal_parse.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/driver_server_fixture.h"
#include "tests/sqlbuilder/hostile_corpus.h"
#include "tests/support/standin_items.h"
#include "tests/support/utf8_reference.h"
#include "values/any.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

constexpr unsigned short kPrimary = 0x8000;

// The texts of the two queries, and a current-maximum query of our own.
class TextsIDAuto : public CNAIDAuto {
 public:
  std::wstring NextValueText(CNAItemsDataAccess* p, CNAColumn* c) {
    CXYStringConcat<wchar_t> clText;
    EXPECT_EQ(_bBuildQueryGetNextValue(&clText, p, c), 1);
    return clText.pszGet();
  }
  std::wstring MaxText(CNAItemsDataAccess* p, CNAColumn* c) {
    CXYStringConcat<wchar_t> clText;
    EXPECT_EQ(_bBuildQueryGetMaxCurrentValue(&clText, p, c), 1);
    return clText.pszGet();
  }
};

// Both queries replaced by one text (a query that gives no row).
class FixedQueryIDAuto : public CNAIDAuto {
 public:
  explicit FixedQueryIDAuto(std::wstring query) : m_query(std::move(query)) {}

 protected:
  int _bBuildQueryGetNextValue(CXYStringConcat<wchar_t>* pText, CNAItemsDataAccess*,
                               CNAColumn*) override {
    return pText->Add(m_query.c_str(), static_cast<int>(m_query.size()));
  }
  int _bBuildQueryGetMaxCurrentValue(CXYStringConcat<wchar_t>* pText, CNAItemsDataAccess*,
                                     CNAColumn*) override {
    return pText->Add(m_query.c_str(), static_cast<int>(m_query.size()));
  }

 private:
  std::wstring m_query;
};

// A data access over a query's result: its columns name the table and the
// column they come from.
class QuerySourceAccess : public CMySQLDataAccess {
 public:
  QuerySourceAccess(CNAConnectionDescription* pclConnection, CNAError* pclError)
      : CMySQLDataAccess(nullptr, pclConnection, pclError) {}
  int bSourceIsQuery() const override { return 1; }
};

class IDAutoTest : public DriverServerTest {
 protected:
  IDAutoTest() : DriverServerTest(L"Connection=idauto") {}
  void SetUp() override {
    m_nLiveBefore = StandInDescriptionCounts::g_nLive;
    DriverServerTest::SetUp();
    m_pclIDAuto = static_cast<CNAIDAuto*>(m_pclDriver->pclAllocIDAuto());
    ASSERT_NE(m_pclIDAuto, nullptr);
    m_pclIDAuto->AddRef();
  }
  void TearDown() override {
    if (m_pclIDAuto != nullptr) {
      EXPECT_EQ(m_pclIDAuto->nRelease(), 0);
    }
    for (CNADataAccess* p : m_accesses) EXPECT_EQ(p->nRelease(), 0);
    m_accesses.clear();
    for (CStandInDescription* p : m_sources) p->nExternalRelease();
    m_sources.clear();
    DriverServerTest::TearDown();
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, m_nLiveBefore) << "stand-in objects left";
  }

  static std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
  // The name unique to this process.
  static std::wstring Unique(const wchar_t* pszBase) {
    return std::wstring(L"kqid_") + pszBase + L"_" + Wide(std::to_string(getpid()));
  }
  // A name as SQL writes it: in backquotes, a backquote inside doubled.
  static std::string Quoted(const std::wstring& name) {
    std::wstring q = L"`";
    for (wchar_t c : name) {
      q += c;
      if (c == L'`') q += L'`';
    }
    return Utf8(q + L"`");
  }

  // The table made with an AUTO_INCREMENT identifier column and a text,
  // holding the identifiers given, and its data access opened over a
  // description with the identifier as automatic identifier.
  CNADataAccess* OpenTable(const std::wstring& table, const std::wstring& column,
                           const std::vector<int>& ids) {
    CreateTable(Quoted(table), Quoted(column) +
                                   " BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY, v VARCHAR(10)");
    for (int id : ids) {
      EXPECT_TRUE(m_session.bRun("INSERT INTO " + Quoted(table) + " VALUES (" +
                                 std::to_string(id) + ", 'x')"));
    }
    CStandInDescription* piSource = CStandInDescription::pclNew(
        table.c_str(),
        {Decl(column.c_str(), NA_IT_IDAUTO, 8, kPrimary, false), Decl(L"v", NA_IT_TEXTE, 11)}, 12);
    m_sources.push_back(piSource);
    auto* p = static_cast<CNADataAccess*>(
        m_pclDriver->pclAllocDataAccess(piSource, m_session.pclConnection(), m_pclError));
    p->AddRef();
    m_accesses.push_back(p);
    m_pclError->Reset();
    EXPECT_EQ(p->bHOuvre(static_cast<_eNA_ACCESS>(0), table.c_str()), 1) << ErrorText();
    return p;
  }
  static CNAColumn* IdColumn(CNADataAccess* p) {
    return p->pclGetRecordNoRef() != nullptr ? p->pclGetRecordNoRef()->pclGetColumnIDAutoNoRef()
                                             : nullptr;
  }
  static long long Integer(CAny& value) {
    const wchar_t* psz = nullptr;
    if (value.bIsNull() || value.__nCastToString(&psz, nullptr) > 99 || psz == nullptr) return -1;
    return std::wcstoll(psz, nullptr, 10);
  }
  std::string ErrorText() const { return Utf8(m_pclError->StringDump().pszGet()); }

  int m_nLiveBefore = 0;
  CNAIDAuto* m_pclIDAuto = nullptr;
  std::vector<CNADataAccess*> m_accesses;
  std::vector<CStandInDescription*> m_sources;
};

TEST_F(IDAutoTest, OnAnEmptyTableTheNextValueIsTheInteger1Of64BitsAndTheMaximumIsNull) {
  CNADataAccess* p = OpenTable(Unique(L"empty"), L"id", {});
  ASSERT_NE(IdColumn(p), nullptr);
  CAny clValue;
  ASSERT_EQ(m_pclIDAuto->bGetNextValue(p, IdColumn(p), m_pclError, &clValue), 1) << ErrorText();
  ASSERT_FALSE(clValue.bIsNull());
  EXPECT_EQ(clValue.nGetTypeCode(), VX_I8);
  long long llValue = 0;
  std::memcpy(&llValue, clValue.pbyGetValeur(), sizeof llValue);
  EXPECT_EQ(llValue, 1);

  CAny clMax;
  ASSERT_EQ(m_pclIDAuto->bGetMaxCurrentValue(p, IdColumn(p), m_pclError, &clMax), 1)
      << ErrorText();
  EXPECT_TRUE(clMax.bIsNull());
}

TEST_F(IDAutoTest, AfterIdentifiersUpTo41TheNextValueIs42AndTheMaximum41) {
  CNADataAccess* p = OpenTable(Unique(L"upto41"), L"id", {1, 20, 41});
  CAny clNext;
  ASSERT_EQ(m_pclIDAuto->bGetNextValue(p, IdColumn(p), m_pclError, &clNext), 1) << ErrorText();
  EXPECT_EQ(Integer(clNext), 42);
  CAny clMax;
  ASSERT_EQ(m_pclIDAuto->bGetMaxCurrentValue(p, IdColumn(p), m_pclError, &clMax), 1)
      << ErrorText();
  EXPECT_EQ(Integer(clMax), 41);
}

TEST_F(IDAutoTest, TheQueriesOfATableAreTheMaxOfTheFormattedNamesWithoutOtherBlanks) {
  const std::wstring table = Unique(L"text");
  CNADataAccess* p = OpenTable(table, L"id", {});
  TextsIDAuto clTexts;
  EXPECT_EQ(clTexts.NextValueText(p, IdColumn(p)), L"SELECT MAX(`id`)+1 FROM `" + table + L"`");
  EXPECT_EQ(clTexts.MaxText(p, IdColumn(p)), L"SELECT MAX(`id`) FROM `" + table + L"`");
}

TEST_F(IDAutoTest, HostileTableAndColumnNamesReadTheirOwnTable) {
  const std::vector<CorpusEntry> corpus = ReadHostileCorpus(KQ_HOSTILE_CORPUS);
  ASSERT_GT(corpus.size(), 20u);
  int nTried = 0;
  for (const CorpusEntry& e : corpus) {
    // What no table or column can be called: empty, a zero character, a
    // blank at the end, longer than the server takes, a character beyond
    // the server's names (outside the BMP); and a "." the table's name
    // would be split at (owner.table).
    const std::wstring& v = e.value;
    bool bUsable = !v.empty() && v.size() <= 40 && v.back() != L' ' &&
                   v.find(L'\0') == std::wstring::npos && v.find(L'.') == std::wstring::npos;
    for (wchar_t c : v) bUsable = bUsable && static_cast<unsigned int>(c) <= 0xFFFF;
    if (!bUsable) continue;
    SCOPED_TRACE(e.label);
    ++nTried;
    const std::wstring table = Unique(L"h") + L"_" + v;
    const std::wstring column = L"c_" + v;
    CNADataAccess* p = OpenTable(table, column, {5, 17});
    ASSERT_NE(IdColumn(p), nullptr) << ErrorText();
    CAny clNext;
    CAny clMax;
    m_pclError->Reset();
    EXPECT_EQ(m_pclIDAuto->bGetNextValue(p, IdColumn(p), m_pclError, &clNext), 1) << ErrorText();
    EXPECT_EQ(m_pclIDAuto->bGetMaxCurrentValue(p, IdColumn(p), m_pclError, &clMax), 1)
        << ErrorText();
    EXPECT_EQ(Integer(clNext), 18);
    EXPECT_EQ(Integer(clMax), 17);
    // The table is dropped at once: a name the server folds could meet it
    // again later in the corpus.
    ASSERT_TRUE(m_session.bRun("DROP TABLE " + Quoted(table)));
  }
  EXPECT_GE(nTried, 25);
}

TEST_F(IDAutoTest, AQueryColumnReadsTheTableAndColumnItComesFrom) {
  const std::wstring table = Unique(L"source");
  OpenTable(table, L"id", {3, 41});
  // The column of a query's result names its source table and column.
  CNAInternalParse* pclQuery = CNAInternalParse::s_pclGetNAInternalParse(
      (L"SELECT q.id AS shown FROM `" + table + L"` AS q").c_str(), m_pclError,
      m_session.pclConnection());
  ASSERT_NE(pclQuery, nullptr) << ErrorText();
  pclQuery->dwAddRef();
  CNAColumn* pclColumn = pclQuery->pclGetColumnNoRef(L"shown");
  ASSERT_NE(pclColumn, nullptr);
  auto* pclAccess = new QuerySourceAccess(m_session.pclConnection(), m_pclError);
  pclAccess->AddRef();
  TextsIDAuto clTexts;
  EXPECT_EQ(clTexts.NextValueText(pclAccess, pclColumn),
            L"SELECT MAX(`id`)+1 FROM `" + table + L"`");
  CAny clNext;
  EXPECT_EQ(m_pclIDAuto->bGetNextValue(pclAccess, pclColumn, m_pclError, &clNext), 1)
      << ErrorText();
  EXPECT_EQ(Integer(clNext), 42);
  EXPECT_EQ(pclAccess->nRelease(), 0);
  pclQuery->dwRelease();
}

TEST_F(IDAutoTest, AFailingQueryGivesZeroWithMessage28576BeforeTheServersError) {
  const std::wstring table = Unique(L"dropped");
  CNADataAccess* p = OpenTable(table, L"id", {1});
  ASSERT_TRUE(m_session.bRun("DROP TABLE " + Quoted(table)));
  m_pclError->Reset();
  CAny clValue;
  EXPECT_EQ(m_pclIDAuto->bGetNextValue(p, IdColumn(p), m_pclError, &clValue), 0);
  EXPECT_EQ(m_pclError->dwGetDataBaseErrorCode(), 1146u) << ErrorText();
  const std::string dump = ErrorText();
  const size_t nPrefix =
      dump.find("Error while computing the next value of " + Utf8(table) + ".id:");
  const size_t nServer = dump.find("1146");
  ASSERT_NE(nPrefix, std::string::npos) << dump;
  ASSERT_NE(nServer, std::string::npos) << dump;
  EXPECT_LT(nPrefix, nServer) << dump;

  // The current maximum keeps the server's error as it is.
  m_pclError->Reset();
  EXPECT_EQ(m_pclIDAuto->bGetMaxCurrentValue(p, IdColumn(p), m_pclError, &clValue), 0);
  EXPECT_EQ(m_pclError->dwGetDataBaseErrorCode(), 1146u) << ErrorText();
}

TEST_F(IDAutoTest, AQueryWithoutARowIsUserError59NamingTheTableAndTheItem) {
  const std::wstring table = Unique(L"norow");
  CNADataAccess* p = OpenTable(table, L"id", {1});
  FixedQueryIDAuto clNoRow(L"SELECT id FROM `" + table + L"` WHERE 1 = 0");
  CAny clValue;
  m_pclError->Reset();
  EXPECT_EQ(clNoRow.bGetMaxCurrentValue(p, IdColumn(p), m_pclError, &clValue), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 59u) << ErrorText();
  EXPECT_STREQ(m_pclError->pszGetLogicalTableName(), table.c_str());
  EXPECT_STREQ(m_pclError->pszGetItemName(), L"id");
  // A next value made up from no row could collide: a failure as well.
  m_pclError->Reset();
  EXPECT_EQ(clNoRow.bGetNextValue(p, IdColumn(p), m_pclError, &clValue), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 59u) << ErrorText();
  EXPECT_NE(ErrorText().find("Error while computing the next value of"), std::string::npos);
}

TEST_F(IDAutoTest, AValueThatCannotBeReadGivesZeroWithMessage28576BeforeTheReadsError) {
  CNADataAccess* p = OpenTable(Unique(L"unread"), L"id", {1});
  // A time beyond one day: the language's time cannot hold it.
  FixedQueryIDAuto clUnread(L"SELECT CAST('838:59:59' AS TIME)");
  CAny clValue;
  m_pclError->Reset();
  EXPECT_EQ(clUnread.bGetNextValue(p, IdColumn(p), m_pclError, &clValue), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 53u) << ErrorText();
  EXPECT_NE(ErrorText().find("Error while computing the next value of"), std::string::npos)
      << ErrorText();
}

TEST_F(IDAutoTest, TheDataAccessMakesItsObjectOnceAndShowsTheForecastInItsRecord) {
  CNADataAccess* p = OpenTable(Unique(L"record"), L"id", {7});
  CNAIDAuto* pclIDAuto = p->pclGetIDAuto();
  ASSERT_NE(pclIDAuto, nullptr);
  EXPECT_EQ(p->pclGetIDAuto(), pclIDAuto);
  ASSERT_EQ(p->bSetNewAutoId(), 1) << ErrorText();
  CAny clValue;
  ASSERT_EQ(IdColumn(p)->bGetCurrentValue(&clValue, 0), 1);
  EXPECT_EQ(Integer(clValue), 8);
}

TEST_F(IDAutoTest, ARequestKeepsNothingOnceItReturnsAndRefusesMissingArguments) {
  CNADataAccess* p = OpenTable(Unique(L"held"), L"id", {2});
  const int nErrorRefs = m_pclError->nGetRefCount();
  const int nConnectionRefs = m_session.pclConnection()->nGetRefCount();
  CAny clValue;
  EXPECT_EQ(m_pclIDAuto->bGetNextValue(p, IdColumn(p), m_pclError, &clValue), 1);
  EXPECT_EQ(m_pclIDAuto->bGetMaxCurrentValue(p, IdColumn(p), m_pclError, &clValue), 1);
  EXPECT_EQ(m_pclError->nGetRefCount(), nErrorRefs);
  EXPECT_EQ(m_session.pclConnection()->nGetRefCount(), nConnectionRefs);
  EXPECT_EQ(m_pclIDAuto->bGetNextValue(nullptr, IdColumn(p), m_pclError, &clValue), 0);
  EXPECT_EQ(m_pclIDAuto->bGetNextValue(p, nullptr, m_pclError, &clValue), 0);
  EXPECT_EQ(m_pclIDAuto->bGetMaxCurrentValue(p, IdColumn(p), m_pclError, nullptr), 0);
  // Without an error object a failure still answers 0.
  ASSERT_TRUE(m_session.bRun("DROP TABLE " + Quoted(Unique(L"held"))));
  EXPECT_EQ(m_pclIDAuto->bGetNextValue(p, IdColumn(p), nullptr, &clValue), 0);
}

}  // namespace
}  // namespace kqtest
