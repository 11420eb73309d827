// The driver's own queries (CNAInternalParse) on the fixture's server: rows
// read as language values and as text with their separators, no row, a
// query that fails, a read that fails half-way, and nothing kept after the
// last release.
#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

#include "core/string_concat.h"
#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "items/column.h"
#include "kq230/item_type.h"
#include "mariadb/mysql_connection.h"
#include "sqlbuilder/internal_parse.h"
#include "sqlbuilder/internal_query_interface.h"
#include "tables/na_data_access.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/driver_server_fixture.h"
#include "tests/support/standin_items.h"
#include "tests/support/utf8_reference.h"
#include "values/any.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

class InternalParseTest : public DriverServerTest {
 protected:
  InternalParseTest() : DriverServerTest(L"Connection=internalparse") {}

  // The table's name in SQL, unique to this process.
  std::string Table(const char* pszBase) const {
    return std::string("kqip_") + pszBase + "_" + std::to_string(getpid());
  }
  static std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

  // A query run on the session's connection, with the first reference
  // taken; null when it did not run.
  CNAInternalParse* Run(const std::wstring& query) {
    CNAInternalParse* p = CNAInternalParse::s_pclGetNAInternalParse(query.c_str(), m_pclError,
                                                                    m_session.pclConnection());
    if (p != nullptr) p->dwAddRef();
    return p;
  }
  // All rows of the query as text after pszBefore; the answer of
  // s_bDoInternalParse into *pbResult.
  std::wstring AllRows(const std::wstring& query, int* pbResult, const wchar_t* pszBefore = L"",
                       const wchar_t* pszRows = L"\r\n", const wchar_t* pszColumns = L"\t") {
    CXYStringConcat<wchar_t> clText;
    clText.Add(pszBefore, static_cast<int>(std::wcslen(pszBefore)));
    *pbResult = CNAInternalParse::s_bDoInternalParse(query.c_str(), m_pclError,
                                                     m_session.pclConnection(), &clText, pszRows,
                                                     pszColumns);
    return clText.pszGet();
  }
  std::string ErrorText() const { return Utf8(m_pclError->StringDump().pszGet()); }
};

TEST_F(InternalParseTest, RowsComeAsTextWithTheirRowAndColumnSeparators) {
  const std::string t = Table("rows");
  CreateTable(t, "id INT PRIMARY KEY, v VARCHAR(20)");
  ASSERT_TRUE(m_session.bRun("INSERT INTO " + t + " VALUES (1, 'caf\xC3\xA9'), (2, 'b')"));
  struct Case {
    const char* name;
    const wchar_t* rows;
    const wchar_t* columns;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {"CR LF and TAB", L"\r\n", L"\t", L"1\tcaf\u00E9\r\n2\tb"},
      {"several characters each", L"<>", L", ", L"1, caf\u00E9<>2, b"},
      {"no separators", L"", nullptr, L"1caf\u00E92b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int bResult = 0;
    EXPECT_EQ(AllRows(L"SELECT id, v FROM " + Wide(t) + L" ORDER BY id", &bResult, L"", c.rows,
                      c.columns),
              c.expected);
    EXPECT_EQ(bResult, 1) << ErrorText();
  }
}

TEST_F(InternalParseTest, ANullValueIsAnEmptyFieldBetweenItsSeparators) {
  int bResult = 0;
  EXPECT_EQ(AllRows(L"SELECT 1, NULL, 'x' UNION ALL SELECT NULL, NULL, NULL", &bResult),
            L"1\t\tx\r\n\t\t");
  EXPECT_EQ(bResult, 1) << ErrorText();
}

TEST_F(InternalParseTest, TextThatAlreadyHoldsDataGetsTheRowSeparatorBeforeTheFirstRow) {
  int bResult = 0;
  EXPECT_EQ(AllRows(L"SELECT 7, 'seven'", &bResult, L"before"), L"before\r\n7\tseven");
  EXPECT_EQ(bResult, 1) << ErrorText();
}

TEST_F(InternalParseTest, AQueryWithoutRowsLeavesTheTextAsItWasAndReportsOutOfRange) {
  int bResult = 0;
  EXPECT_EQ(AllRows(L"SELECT 1 FROM DUAL WHERE 1 = 0", &bResult, L"kept"), L"kept");
  EXPECT_EQ(bResult, 1) << ErrorText();

  CNAInternalParse* p = Run(L"SELECT 1 AS a FROM DUAL WHERE 1 = 0");
  ASSERT_NE(p, nullptr) << ErrorText();
  CAny clValue;
  clValue.SetI4(5);
  int bOutOfRange = 0;
  EXPECT_EQ(p->bFetchData(NA_PARSE_FIRST, &bOutOfRange, &clValue, 1), 1) << ErrorText();
  EXPECT_EQ(bOutOfRange, 1);
  EXPECT_FALSE(clValue.bIsNull()) << "no row: the value is left as it was";
  p->dwRelease();
}

TEST_F(InternalParseTest, TheFirstColumnsOfARowComeAsLanguageValues) {
  CNAInternalParse* p = Run(L"SELECT 41 + 1 AS answer, 'abc' AS txt, NULL AS nothing");
  ASSERT_NE(p, nullptr) << ErrorText();
  ASSERT_EQ(p->nGetColumnNbr(), 3);
  CAny aValues[4];
  int bOutOfRange = 1;
  // Four asked, three there: the fourth is left alone.
  aValues[3].SetI4(9);
  ASSERT_EQ(p->bFetchData(NA_PARSE_FIRST, &bOutOfRange, aValues, 4), 1) << ErrorText();
  EXPECT_EQ(bOutOfRange, 0);
  const wchar_t* psz = nullptr;
  ASSERT_LE(aValues[0].__nCastToString(&psz, nullptr), 99);
  EXPECT_STREQ(psz, L"42");
  ASSERT_LE(aValues[1].__nCastToString(&psz, nullptr), 99);
  EXPECT_STREQ(psz, L"abc");
  EXPECT_TRUE(aValues[2].bIsNull());
  EXPECT_EQ(aValues[3].nGetTypeCode(), VX_I4);
  // The next move runs off the only row.
  EXPECT_EQ(p->bFetch(NA_PARSE_NEXT, &bOutOfRange), 1);
  EXPECT_EQ(bOutOfRange, 1);
  p->dwRelease();
}

TEST_F(InternalParseTest, ColumnsAreFoundByNameAndByIndexAndNothingOutsideThem) {
  CNAInternalParse* p = Run(L"SELECT 1 AS first_one, 2 AS Second_One");
  ASSERT_NE(p, nullptr) << ErrorText();
  ASSERT_NE(p->pclGetColumnNoRef(L"SECOND_ONE"), nullptr);
  EXPECT_STREQ(p->pclGetColumnNoRef(L"second_one")->pszGetName(), L"Second_One");
  EXPECT_EQ(p->pclGetColumnNoRef(L"third"), nullptr);
  EXPECT_EQ(p->pclGetColumnNoRef(0), p->pclGetColumnNoRef(L"first_one"));
  EXPECT_EQ(p->pclGetColumnNoRef(2), nullptr);
  EXPECT_EQ(p->pclGetColumnNoRef(-1), nullptr);
  EXPECT_EQ(p->pclGetColumnNoRef(nullptr), nullptr);
  p->dwRelease();
}

TEST_F(InternalParseTest, RunningAgainStartsTheRowsOverWithWhatTheTableHoldsThen) {
  const std::string t = Table("again");
  CreateTable(t, "id INT PRIMARY KEY");
  ASSERT_TRUE(m_session.bRun("INSERT INTO " + t + " VALUES (1)"));
  CNAInternalParse* p = Run(L"SELECT COUNT(*) FROM " + Wide(t));
  ASSERT_NE(p, nullptr) << ErrorText();
  CXYStringConcat<wchar_t> clText;
  ASSERT_EQ(p->bFetchAll(&clText, L"|", L","), 1) << ErrorText();
  EXPECT_STREQ(clText.pszGet(), L"1");
  ASSERT_TRUE(m_session.bRun("INSERT INTO " + t + " VALUES (2)"));
  ASSERT_EQ(p->bReExecute(), 1) << ErrorText();
  ASSERT_EQ(p->bFetchAll(&clText, L"|", L","), 1) << ErrorText();
  EXPECT_STREQ(clText.pszGet(), L"1|2");
  p->dwRelease();
}

TEST_F(InternalParseTest, AQueryThatFailsGivesNoInternalQueryAndKeepsTheServersError) {
  const std::wstring query = L"SELECT MAX(id) FROM " + Wide(Table("missing"));
  m_pclError->Reset();
  EXPECT_EQ(Run(query), nullptr);
  EXPECT_EQ(m_pclError->dwGetDataBaseErrorCode(), 1146u) << ErrorText();
  m_pclError->Reset();
  int bResult = 1;
  EXPECT_EQ(AllRows(query, &bResult, L"kept"), L"kept");
  EXPECT_EQ(bResult, 0);
  EXPECT_EQ(m_pclError->dwGetDataBaseErrorCode(), 1146u) << ErrorText();
}

TEST_F(InternalParseTest, ADataAccessWithItsOwnDescriptionRunsNoInternalQuery) {
  // Its rows would be read by the table's layout, not the query's.
  CStandInDescription* piSource =
      CStandInDescription::pclNew(L"kqip_described", {Decl(L"id", NA_IT_I4, 4)}, 12);
  auto* pclAccess = static_cast<CNADataAccess*>(
      m_pclDriver->pclAllocDataAccess(piSource, m_session.pclConnection(), m_pclError));
  pclAccess->AddRef();
  CNAInternalQueryStatement* pclStatement = nullptr;
  m_pclError->Reset();
  EXPECT_EQ(pclAccess->bExecuteQueryInternal(&pclStatement, CNAInternalParse::kQueryName,
                                             L"SELECT 1"),
            0);
  EXPECT_EQ(pclStatement, nullptr);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 8u) << ErrorText();
  EXPECT_EQ(pclAccess->nRelease(), 0);
  piSource->nExternalRelease();
}

TEST_F(InternalParseTest, NothingIsHeldAfterTheLastRelease) {
  const int nErrorRefs = m_pclError->nGetRefCount();
  const int nConnectionRefs = m_session.pclConnection()->nGetRefCount();
  CNAInternalParse* p = Run(L"SELECT 1, 'a' UNION ALL SELECT 2, 'b'");
  ASSERT_NE(p, nullptr) << ErrorText();
  EXPECT_GT(m_pclError->nGetRefCount(), nErrorRefs) << "the data access holds the error";
  CXYStringConcat<wchar_t> clText;
  EXPECT_EQ(p->bFetchAll(&clText, L"\r\n", L"\t"), 1);
  EXPECT_EQ(p->dwRelease(), 0u);
  EXPECT_EQ(m_pclError->nGetRefCount(), nErrorRefs);
  EXPECT_EQ(m_session.pclConnection()->nGetRefCount(), nConnectionRefs);
  // A failed one is gone as well.
  EXPECT_EQ(Run(L"SELECT * FROM " + Wide(Table("missing"))), nullptr);
  EXPECT_EQ(m_pclError->nGetRefCount(), nErrorRefs);
  EXPECT_EQ(m_session.pclConnection()->nGetRefCount(), nConnectionRefs);
}

TEST_F(InternalParseTest, AReadThatFailsHalfWayFailsTheWholeRead) {
  // The rows are stored on the client when the query runs, so a server-side
  // error among them fails the query itself; a row whose value the language
  // cannot hold (a time beyond one day) fails the read at that row.
  const std::string t = Table("half");
  CreateTable(t, "id INT PRIMARY KEY");
  ASSERT_TRUE(m_session.bRun("INSERT INTO " + t + " VALUES (1), (2), (3)"));
  const std::string d = Table("dup");
  CreateTable(d, "k INT, v INT");
  ASSERT_TRUE(m_session.bRun("INSERT INTO " + d + " VALUES (1, 10), (2, 20), (2, 21)"));
  struct Case {
    const char* name;
    std::wstring query;
    const wchar_t* appended;  // what the rows before the failure left
    unsigned int nUserError;
    unsigned int nServerError;
  };
  const Case cases[] = {
      {"a value of the second row the language cannot hold",
       L"SELECT CAST('10:00:00' AS TIME) UNION ALL SELECT CAST('838:59:59' AS TIME)", nullptr, 53,
       0},
      {"the server fails at the second row (sub-query of two rows)",
       L"SELECT id, (SELECT v FROM " + Wide(d) + L" WHERE k = id) FROM " + Wide(t) +
           L" ORDER BY id",
       L"", 0, 1242},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_pclError->Reset();
    int bResult = 1;
    const std::wstring text = AllRows(c.query, &bResult);
    EXPECT_EQ(bResult, 0) << Utf8(text);
    if (c.appended != nullptr) {
      EXPECT_EQ(text, c.appended);
    }
    if (c.nUserError != 0) {
      EXPECT_EQ(m_pclError->dwGetErrorId(), c.nUserError) << ErrorText();
    }
    if (c.nServerError != 0) {
      EXPECT_EQ(m_pclError->dwGetDataBaseErrorCode(), c.nServerError) << ErrorText();
    }
  }
  // Read row by row: the first row is there, the second fails.
  m_pclError->Reset();
  CNAInternalParse* p = Run(cases[0].query);
  ASSERT_NE(p, nullptr) << ErrorText();
  CXYStringConcat<wchar_t> clText;
  int bOutOfRange = 1;
  EXPECT_EQ(p->bFetchData(NA_PARSE_FIRST, &bOutOfRange, &clText, L"\r\n", L"\t"), 1);
  EXPECT_EQ(bOutOfRange, 0);
  EXPECT_FALSE(clText.bEstVide());
  EXPECT_EQ(p->bFetchData(NA_PARSE_NEXT, &bOutOfRange, &clText, L"\r\n", L"\t"), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 53u) << ErrorText();
  p->dwRelease();
}

TEST_F(InternalParseTest, ALostConnectionGivesNoInternalQuery) {
  CNAError clKill;
  m_session.pclConnection()->bExecuteQueryNoResult(&clKill, L"KILL CONNECTION_ID()");
  m_pclError->Reset();
  int bResult = 1;
  EXPECT_EQ(AllRows(L"SELECT 1", &bResult), L"");
  EXPECT_EQ(bResult, 0);
  const unsigned int nNative = m_pclError->dwGetDataBaseErrorCode();
  EXPECT_TRUE(nNative == 2006 || nNative == 2013) << ErrorText();
}

}  // namespace
}  // namespace kqtest
