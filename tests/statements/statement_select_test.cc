// The browse's SELECT of a statement: golden texts of the select list, the
// WHERE of a search or filter, the ORDER BY completed to a unique order and
// the row-limit forms, on a record over the stand-in's descriptions and a
// connection that reaches no server; then the same SELECTs run on the
// fixture's server, whose rows must come in the order a reference model
// gives for the order columns, ties included.
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/parser/standin_analysis.h"
#include "host/parser/standin_sql_parser.h"
#include "items/column.h"
#include "items/record.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/filter.h"
#include "sqlbuilder/parsed_query_info.h"
#include "sqlbuilder/record_search.h"
#include "statements/statement.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/server_session.h"
#include "tests/sqlbuilder/search_fixture.h"
#include "tests/support/standin_items.h"
#include "tests/support/utf8_reference.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

constexpr unsigned short kPrimary = 0x8000, kUnique = 0x4000, kDuplicates = 0x2000,
                         kComposed = 0x1000, kDescending = 0x0400;

// CUSTOMER: a primary key, a key with duplicates, a plain text, a unique
// key that allows NULL, a key with duplicates marked descending.
std::vector<StandInItemDecl> CustomerItems() {
  return {Decl(L"id", NA_IT_I4, 4, kPrimary, false), Decl(L"name", NA_IT_TEXTE, 21, kDuplicates),
          Decl(L"city", NA_IT_TEXTE, 21), Decl(L"code", NA_IT_I4, 4, kUnique),
          Decl(L"rank", NA_IT_I4, 4, kDuplicates | kDescending)};
}
const wchar_t kCustomerSelect[] = L"SELECT `id`,`name`,`city`,`code`,`rank` FROM CUSTOMER";

// The command with the statement's WHERE clause (its search and filter)
// written into it; null, with the command released and a failure, when the
// statement refuses the clause. pclCommand: a new command with one
// reference, which the answer carries on.
CNACommand* pclWithWhereClause(CNAStatement* pclStatement, CNACommand* pclCommand) {
  if (pclStatement->bGetClauseWHERE(pclCommand)) return pclCommand;
  ADD_FAILURE() << "no WHERE clause";
  pclCommand->nRelease();
  return nullptr;
}

// The query parsed by the stand-in over one table of those items, which the
// analysis (made anew in *pAnalysis: the digest reads it) knows as
// pszKnownAs. Its digest with one reference, the caller's; null when the
// table cannot be declared or the query does not parse (the test then fails
// on the parser's complaint).
CSQLParserInfo* pclParseOverTable(std::unique_ptr<CStandInAnalysis>* pAnalysis,
                                  CNAError* pclError, const wchar_t* pszTable,
                                  const wchar_t* pszKnownAs,
                                  const std::vector<StandInItemDecl>& items,
                                  const wchar_t* pszQuery) {
  *pAnalysis = std::make_unique<CStandInAnalysis>();
  CStandInDescription* pclTable = CStandInDescription::pclNew(pszTable, items, 12);
  if (pclTable == nullptr) return nullptr;
  (*pAnalysis)->AddTable(pclTable, pszKnownAs);
  pclTable->nExternalRelease();
  CStandInSQLParser clParser(pAnalysis->get());
  CStandInSQLInfo* piInfo = clParser.pclParse(pszQuery);
  EXPECT_TRUE(clParser.strGetLastError().empty()) << clParser.strGetLastError();
  if (piInfo == nullptr) return nullptr;
  auto* pclQuery = new CSQLParserInfo(pclError, piInfo, nullptr, 0);
  pclQuery->AddRef();
  piInfo->Release();
  return pclQuery;
}

class StatementSelectTest : public SearchFixture {
 protected:
  void TearDown() override {
    DropStatement();
    DropQuery();
    SearchFixture::TearDown();
  }

  // A record over the query, parsed by the stand-in over the table CUSTOMER
  // of tableItems; the query's output columns are declared by outputs (the
  // description the server would give its result). The statement comes
  // with it.
  bool BuildQuery(const std::vector<StandInItemDecl>& tableItems, const wchar_t* pszQuery,
                  const std::vector<StandInItemDecl>& outputs, int nKind = kServerKindMariaDB) {
    DropStatement();
    DropRecord();
    DropQuery();
    if (m_pclConnection != nullptr) m_pclConnection->nRelease();
    m_pclConnection = new ItemsTestConnection(&m_host, nKind);
    m_pclConnection->AddRef();
    m_pclQuery = pclParseOverTable(&m_pAnalysis, m_pclError, L"CUSTOMER", L"customer",
                                   tableItems, pszQuery);
    if (m_pclQuery == nullptr) return false;
    m_access = std::make_unique<TestItemsDataAccess>(m_pclConnection, L"QRY_CUSTOMER");
    m_access->m_bQuery = 1;
    m_access->m_pclQuery = m_pclQuery;
    m_piSource = CStandInDescription::pclNew(L"QRY_CUSTOMER", outputs, 12);
    if (m_piSource == nullptr) return false;
    m_pclRecord = new CNARecord(m_pclError, m_access.get());
    m_pclRecord->AddRef();
    if (!m_pclRecord->bInitRecord(m_piSource, nullptr, m_pclConnection)) return false;
    Statement();
    return true;
  }
  void DropQuery() {
    DropRecord();
    if (m_pclQuery != nullptr) m_pclQuery->nRelease();
    m_pclQuery = nullptr;
    m_pAnalysis.reset();
  }

  // A statement over the record built last (one reference, the test's).
  CNAStatement* Statement() {
    DropStatement();
    m_pclStatement = new CNAStatement(m_pclConnection, m_pclError);
    m_pclStatement->AddRef();
    m_pclStatement->SetRecord(m_pclRecord);
    return m_pclStatement;
  }
  void DropStatement() {
    if (m_pclStatement != nullptr) {
      m_pclStatement->SetRecord(nullptr);
      EXPECT_EQ(m_pclStatement->nRelease(), 0);
    }
    m_pclStatement = nullptr;
  }

  // Sets on the statement a search for the text on name and writes the
  // statement's WHERE clause into a new command, answered with one
  // reference (the caller releases it, then clears the search). Null, and
  // a failure, when the search or the clause is refused.
  CNACommand* WhereOfSearchOnName(const wchar_t* pszText) {
    auto* pclSearch = new CNARecherche(m_pclError, m_pclConnection);
    const CAny value = Wide(pszText);
    if (!pclSearch->bSetRecherche(m_pclRecord, Item(L"name"), &value, NA_PARSE_FIRST, 1, 0)) {
      ADD_FAILURE() << "the search was refused";
      return nullptr;
    }
    m_pclStatement->SetRecherche(pclSearch);
    return pclWithWhereClause(m_pclStatement, NewCommand());
  }

  // The SELECT of a browse on the item, as the statement writes it (the
  // formatted text, every value written out); "<failed>" when it fails.
  std::wstring Select(const wchar_t* pszItem, int bAscending, unsigned int nFlags = 0,
                      CNACommand* pclWhere = nullptr, int* pbInverted = nullptr,
                      long long llLimit = -1, long long llOffset = -1) {
    CNACommand* c = NewCommand();
    m_pclError->Reset();
    std::wstring text = L"<failed>";
    if (m_pclStatement->bBuildQuerySELECT(c, nFlags, pszItem, bAscending, pclWhere)) {
      EXPECT_EQ(m_pclStatement->pclGetCommandNoRef(), c);
      EXPECT_EQ(c->eGetQueryType(), NA_CMD_SELECT);
      if (pbInverted != nullptr) *pbInverted = c->bGetInvertedOrder();
      c->SetRowLimit(llLimit);
      c->SetRowOffset(llOffset);
      text = Formatted(c);
    }
    c->nRelease();
    return text;
  }

  CNAStatement* m_pclStatement = nullptr;
  std::unique_ptr<CStandInAnalysis> m_pAnalysis;
  CSQLParserInfo* m_pclQuery = nullptr;
};

TEST_F(StatementSelectTest, BrowseOrdersAreCompletedUntilNoTwoRowsCanTie) {
  ASSERT_TRUE(Build(CustomerItems()));
  Statement();
  struct Case {
    const char* name;
    const wchar_t* item;
    int ascending;
    unsigned int flags;
    const wchar_t* orderBy;  // after the FROM clause
    int inverted;
  };
  const Case cases[] = {
      {"unique not-null key alone", L"id", 1, 0, L"\r\nORDER BY 1", 0},
      {"unique not-null key descending", L"id", 0, 0, L"\r\nORDER BY 1 DESC", 1},
      {"key with duplicates completed by the primary key", L"name", 1, 0, L"\r\nORDER BY 2,1", 0},
      {"descending completion follows the browse", L"name", 0, 0,
       L"\r\nORDER BY 2 DESC,1 DESC", 1},
      {"item names are found whatever their case", L"NAME", 1, 0, L"\r\nORDER BY 2,1", 0},
      {"plain item completed", L"city", 1, 0, L"\r\nORDER BY 3,1", 0},
      {"unique key allowing NULL completed", L"code", 1, 0, L"\r\nORDER BY 4,1", 0},
      {"item marked descending reads descending", L"rank", 1, 0,
       L"\r\nORDER BY 5 DESC,1 DESC", 1},
      {"item marked descending browsed backwards", L"rank", 0, 0, L"\r\nORDER BY 5,1", 0},
      {"no completion asked", L"name", 1, CNAStatement::kReadNoUniqueOrder, L"\r\nORDER BY 2",
       0},
      {"no item: no order", L"", 1, 0, L"", 0},
      {"null item: no order", nullptr, 0, 0, L"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int bInverted = -1;
    EXPECT_EQ(Select(c.item, c.ascending, c.flags, nullptr, &bInverted),
              std::wstring(kCustomerSelect) + c.orderBy);
    EXPECT_EQ(bInverted, c.inverted);
  }
}

TEST_F(StatementSelectTest, OptionBitsTurnTheCompletionOffPerDirection) {
  ASSERT_TRUE(Build(CustomerItems()));
  Statement();
  EXPECT_EQ(m_pclStatement->nGetOptions(), 3u);
  m_pclStatement->SetOptions(CNAStatement::kOptionUniqueOrderAscending);
  EXPECT_EQ(Select(L"name", 1), std::wstring(kCustomerSelect) + L"\r\nORDER BY 2,1");
  EXPECT_EQ(Select(L"name", 0), std::wstring(kCustomerSelect) + L"\r\nORDER BY 2 DESC");
  m_pclStatement->SetOptions(CNAStatement::kOptionUniqueOrderDescending);
  EXPECT_EQ(Select(L"name", 1), std::wstring(kCustomerSelect) + L"\r\nORDER BY 2");
  EXPECT_EQ(Select(L"name", 0), std::wstring(kCustomerSelect) + L"\r\nORDER BY 2 DESC,1 DESC");
}

TEST_F(StatementSelectTest, ComposedKeysOrderByTheirComponentsAndCompleteAUniqueOrder) {
  ASSERT_TRUE(Build({Decl(L"a", NA_IT_I4, 4), Decl(L"b", NA_IT_I4, 4), Decl(L"c", NA_IT_TEXTE, 9),
                     Decl(L"ab", NA_IT_BINAIRE, 10, kUnique | kComposed, false, {L"a", L"b"})}));
  Statement();
  const std::wstring select = L"SELECT `a`,`b`,`c` FROM CUSTOMER";
  struct Case {
    const wchar_t* item;
    int ascending;
    const wchar_t* orderBy;
  };
  const Case cases[] = {
      {L"ab", 1, L"\r\nORDER BY 1,2"},
      {L"ab", 0, L"\r\nORDER BY 1 DESC,2 DESC"},
      {L"c", 1, L"\r\nORDER BY 3,1,2"},
      // b then a covers the key: nothing more is needed.
      {L"b", 1, L"\r\nORDER BY 2,1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.item));
    EXPECT_EQ(Select(c.item, c.ascending), select + c.orderBy);
  }
}

TEST_F(StatementSelectTest, AMemoIsSortedOnlyWhereTheConnectionSortsMemos) {
  ASSERT_TRUE(Build({Decl(L"id", NA_IT_I4, 4, kPrimary, false), Decl(L"note", NA_IT_MEMOTEXTE, 8),
                     Decl(L"city", NA_IT_TEXTE, 9)}));
  Statement();
  const std::wstring select = L"SELECT `id`,`note`,`city` FROM CUSTOMER";
  // This connection cannot sort on memos: the completion alone orders the
  // rows, and without it no ORDER BY is written at all (never an empty one).
  EXPECT_EQ(Select(L"note", 1), select + L"\r\nORDER BY 1");
  EXPECT_EQ(Select(L"note", 1, CNAStatement::kReadNoUniqueOrder), select);
  EXPECT_EQ(Select(L"city", 0), select + L"\r\nORDER BY 3 DESC,1 DESC");
}

TEST_F(StatementSelectTest, AServerThatSortsOnFewColumnsGetsNoMoreThanItTakes) {
  std::vector<StandInItemDecl> items;
  std::vector<std::wstring> names;
  for (int i = 0; i < 40; ++i) names.push_back(L"c" + std::to_wstring(i));
  for (const std::wstring& n : names) items.push_back(Decl(n.c_str(), NA_IT_I4, 4));
  // Server kind 4 sorts on at most 31 expressions.
  ASSERT_TRUE(Build(items, 4));
  Statement();
  CNACommand* c = NewCommand();
  ASSERT_TRUE(m_pclStatement->bBuildQuerySELECT(c, 0, L"c39", 1, nullptr));
  const std::wstring text = Text(c);
  c->nRelease();
  const size_t nOrder = text.find(L"\r\nORDER BY ");
  ASSERT_NE(nOrder, std::wstring::npos);
  const std::wstring list = text.substr(nOrder + 11);
  EXPECT_EQ(std::count(list.begin(), list.end(), L',') + 1, 31) << Utf8(list);
  EXPECT_EQ(list.substr(0, 5), L"40,1,");
}

TEST_F(StatementSelectTest, SearchAndFilterConditionsGoIntoTheWhereClause) {
  ASSERT_TRUE(Build(CustomerItems()));
  Statement();

  // Without search or filter nothing is written.
  CNACommand* w = NewCommand();
  EXPECT_TRUE(m_pclStatement->bGetClauseWHERE(w));
  EXPECT_TRUE(w->bIsEmpty());
  EXPECT_EQ(Select(L"name", 1, 0, w), std::wstring(kCustomerSelect) + L"\r\nORDER BY 2,1");
  w->nRelease();

  // A search on name.
  w = WhereOfSearchOnName(L"O'Hara");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(Select(L"name", 1, 0, w),
            std::wstring(kCustomerSelect) + L" WHERE `name`='O''Hara' \r\nORDER BY 2,1");
  w->nRelease();
  m_pclStatement->SetRecherche(nullptr);

  // A filter on the unique key that allows NULL: its bounds leave the NULL
  // rows out, so the key alone orders what remains.
  auto* f = new CNAFilter(m_pclError, m_pclConnection);
  f->AddRef();
  const CAny lo = Int(5), hi = Int(10);
  ASSERT_TRUE(f->bSetFilter(m_pclRecord, Item(L"code"), &lo, 1, &hi, 1, nullptr, 0));
  m_pclStatement->SetFilter(f);
  // Set but inactive: no condition.
  w = NewCommand();
  ASSERT_TRUE(m_pclStatement->bGetClauseWHERE(w));
  EXPECT_TRUE(w->bIsEmpty());
  w->nRelease();
  f->ActivateFilter(1);
  w = NewCommand();
  ASSERT_TRUE(m_pclStatement->bGetClauseWHERE(w));
  EXPECT_EQ(Select(L"code", 1, 0, w),
            std::wstring(kCustomerSelect) + L" WHERE `code`>=5 AND `code`<=10 \r\nORDER BY 4");
  // The same condition written into a second SELECT (the next window's)
  // keeps its values in their places; the filter does not exclude the
  // NULLs of other unique columns.
  EXPECT_EQ(Select(L"name", 0, 0, w),
            std::wstring(kCustomerSelect) +
                L" WHERE `code`>=5 AND `code`<=10 \r\nORDER BY 2 DESC,1 DESC");
  w->nRelease();
  f->nRelease();
}

TEST_F(StatementSelectTest, RowLimitsFollowTheOrderBy) {
  ASSERT_TRUE(Build(CustomerItems()));
  Statement();
  struct Case {
    long long limit, offset;
    const wchar_t* tail;
  };
  const Case cases[] = {
      {-1, -1, L""},
      {0, -1, L""},
      {20, -1, L" LIMIT 20"},
      {20, 0, L" LIMIT 20"},
      {20, 40, L" LIMIT 40, 20"},
      {5000000000LL, 9000000000LL, L" LIMIT 9000000000, 5000000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.limit << " " << c.offset);
    EXPECT_EQ(Select(L"name", 0, 0, nullptr, nullptr, c.limit, c.offset),
              std::wstring(kCustomerSelect) + L"\r\nORDER BY 2 DESC,1 DESC" + c.tail);
  }
}

TEST_F(StatementSelectTest, AnUnknownBrowseItemIsUserError6NamingIt) {
  ASSERT_TRUE(Build(CustomerItems()));
  Statement();
  CNACommand* c = NewCommand();
  m_pclError->Reset();
  EXPECT_FALSE(m_pclStatement->bBuildQuerySELECT(c, 0, L"nosuch", 1, nullptr));
  EXPECT_EQ(m_pclError->dwGetErrorId(), 6u);
  EXPECT_STREQ(m_pclError->pszGetLogicalTableName(), L"CUSTOMER");
  EXPECT_STREQ(m_pclError->pszGetItemName(), L"nosuch");
  EXPECT_NE(std::wstring(m_pclError->pszGetError()).find(L"nosuch"), std::wstring::npos);
  c->nRelease();
}

TEST_F(StatementSelectTest, AQueryDataAccessWithoutParsedQueryIsUserError8) {
  ASSERT_TRUE(Build(CustomerItems()));
  Statement();
  m_access->m_bQuery = 1;
  CNACommand* c = NewCommand();
  m_pclError->Reset();
  EXPECT_FALSE(m_pclStatement->bBuildQuerySELECT(c, 0, L"name", 1, nullptr));
  EXPECT_EQ(m_pclError->dwGetErrorId(), 8u);
  c->nRelease();
  m_access->m_bQuery = 0;
}

// ---- On a query

// The query's output columns: the key, a key with duplicates, a plain text.
std::vector<StandInItemDecl> QueryOutputs() {
  return {Decl(L"id", NA_IT_I4, 4, kPrimary, false), Decl(L"name", NA_IT_TEXTE, 21, kDuplicates),
          Decl(L"city", NA_IT_TEXTE, 21)};
}
const wchar_t kOrderedQuery[] = L"SELECT id, name, city FROM CUSTOMER ORDER BY name DESC";

TEST_F(StatementSelectTest, AQueryIsBrowsedInItsOwnTextWithTheOrderOfTheBrowse) {
  ASSERT_TRUE(BuildQuery(CustomerItems(), kOrderedQuery, QueryOutputs()));
  const std::wstring body = L"SELECT id, name, city FROM CUSTOMER";
  struct Case {
    const char* name;
    const wchar_t* item;
    int ascending;
    unsigned int flags;
    unsigned int options;
    const wchar_t* browseItem;
    std::wstring expected;
    int inverted;
    int unique;
  };
  const unsigned int kBoth =
      CNAStatement::kOptionUniqueOrderAscending | CNAStatement::kOptionUniqueOrderDescending;
  const unsigned int kRaw = kBoth | CNAStatement::kOptionQueryWithoutCorrection;
  const unsigned int kKeep = CNAStatement::kReadKeepQueryOrder;
  const Case cases[] = {
      {"the browse item replaces the query's order", L"city", 1, 0, kBoth, L"",
       body + L"\r\nORDER BY 3,1", 0, 1},
      {"descending", L"city", 0, 0, kBoth, L"", body + L"\r\nORDER BY 3 DESC,1 DESC", 1, 1},
      {"an item of the query's order keeps its direction", L"name", 1, 0, kBoth, L"",
       body + L"\r\nORDER BY 2 DESC,1", 0, 1},
      {"no item: the statement's browse item", nullptr, 1, 0, kBoth, L"city",
       body + L"\r\nORDER BY 3,1", 0, 1},
      {"no item and no browse item: the query as written", nullptr, 1, 0, kBoth, L"",
       kOrderedQuery, 0, 0},
      {"the query's order kept and completed", nullptr, 1, kKeep, kBoth, L"city",
       body + L"\r\nORDER BY name DESC,1", 0, 1},
      {"the query's order kept, read backwards", nullptr, 0, kKeep, kBoth, L"",
       body + L"\r\nORDER BY name,1 DESC", 1, 1},
      {"the query's order kept, no completion", nullptr, 1,
       kKeep | CNAStatement::kReadNoUniqueOrder, kBoth, L"", body + L"\r\nORDER BY name DESC", 0,
       0},
      {"the query's order kept without correction: as written", nullptr, 1, kKeep, kRaw, L"",
       kOrderedQuery, 0, 0},
      {"without correction a browse item still orders", L"city", 1, 0, kRaw, L"",
       body + L"\r\nORDER BY 3,1", 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_pclStatement->SetOptions(c.options);
    m_pclStatement->SetBrowseItem(c.browseItem);
    m_pclStatement->SetUniqueOrder(1 - c.unique);
    int bInverted = -1;
    EXPECT_EQ(Select(c.item, c.ascending, c.flags, nullptr, &bInverted), c.expected);
    EXPECT_EQ(bInverted, c.inverted);
    EXPECT_EQ(m_pclStatement->bHasUniqueOrder(), c.unique);
    // The query's columns are the command's defines, in order.
  }
}

TEST_F(StatementSelectTest, TheQuerysColumnsAreTheCommandsDefinesInTheirOrder) {
  ASSERT_TRUE(BuildQuery(CustomerItems(), kOrderedQuery, QueryOutputs()));
  CNACommand* c = NewCommand();
  ASSERT_TRUE(m_pclStatement->bBuildQuerySELECT(c, 0, L"city", 1, nullptr));
  ASSERT_EQ(c->nGetDefineNbr(), 3u);
  for (unsigned int i = 0; i < 3; ++i)
    EXPECT_EQ(c->pclGetDefineNoRef(i)->pclGetColumnNoRef(), m_pclRecord->pclGetColumnNoRef(int(i)));
  EXPECT_EQ(c->eGetQueryType(), NA_CMD_SELECT);
  EXPECT_EQ(c->pclGetSQLParserInfoNoRef(), m_pclQuery);
  c->nRelease();
}

TEST_F(StatementSelectTest, AQueryThatLimitsItsRowsKeepsItsOwnOrder) {
  const wchar_t kLimited[] = L"SELECT id, name, city FROM CUSTOMER ORDER BY name LIMIT 5";
  ASSERT_TRUE(BuildQuery(CustomerItems(), kLimited, QueryOutputs()));
  for (int bAscending = 0; bAscending < 2; ++bAscending) {
    SCOPED_TRACE(bAscending);
    int bInverted = -1;
    m_pclStatement->SetUniqueOrder(1);
    EXPECT_EQ(Select(L"city", bAscending, 0, nullptr, &bInverted), kLimited);
    EXPECT_EQ(bInverted, 0);
    EXPECT_EQ(m_pclStatement->bHasUniqueOrder(), 0);
  }
}

TEST_F(StatementSelectTest, AnOrderWrittenOnAQueryEndingWithLimitGoesBeforeIt) {
  const wchar_t kLimited[] = L"SELECT id, name, city FROM CUSTOMER LIMIT 10";
  ASSERT_TRUE(BuildQuery(CustomerItems(), kLimited, QueryOutputs()));
  struct Case {
    int ascending;
    const wchar_t* expected;
  };
  // A descending browse of a query that limits its rows is sorted ascending.
  const Case cases[] = {
      {1, L"SELECT id, name, city FROM CUSTOMER\r\nORDER BY 3,1 LIMIT 10"},
      {0, L"SELECT id, name, city FROM CUSTOMER\r\nORDER BY 3,1 LIMIT 10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ascending);
    CNACommand* pclCommand = NewCommand();
    for (int i = 0; i < m_pclRecord->nGetColumnNbr(); ++i)
      ASSERT_TRUE(pclCommand->AddDefine(m_pclRecord->pclGetColumnNoRef(i)));
    ASSERT_TRUE(pclCommand->bComplete(kLimited));
    ASSERT_TRUE(m_pclStatement->_bFormatOrderBy(pclCommand, 0, m_pclQuery, 0, L"city",
                                                c.ascending, 0));
    EXPECT_EQ(Text(pclCommand), c.expected);
    EXPECT_EQ(pclCommand->bGetInvertedOrder(), 0);
    pclCommand->nRelease();
  }
}

TEST_F(StatementSelectTest, ASearchOnAQueryJoinsItsConditionToTheQuerysOwn) {
  struct Case {
    const char* name;
    const wchar_t* query;
    std::wstring expected;
  };
  const std::wstring search = L"`name`='O''Hara' ";
  const Case cases[] = {
      {"a WHERE of its own", L"SELECT id, name, city FROM CUSTOMER WHERE city = 'Oslo' OR id > 3",
       L"SELECT id, name, city FROM CUSTOMER WHERE (city = 'Oslo' OR id > 3) AND (" + search +
           L")\r\nORDER BY 2,1"},
      {"a WHERE of its own before its ORDER BY",
       L"SELECT id, name, city FROM CUSTOMER WHERE city = 'Oslo' ORDER BY city",
       L"SELECT id, name, city FROM CUSTOMER WHERE (city = 'Oslo') AND (" + search +
           L")\r\nORDER BY 2,1"},
      {"no WHERE of its own", kOrderedQuery,
       L"SELECT id, name, city FROM CUSTOMER WHERE " + search + L"\r\nORDER BY 2 DESC,1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(BuildQuery(CustomerItems(), c.query, QueryOutputs()));
    CNACommand* w = WhereOfSearchOnName(L"O'Hara");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(Select(L"name", 1, 0, w), c.expected);
    w->nRelease();
    m_pclStatement->SetRecherche(nullptr);
  }
}

TEST_F(StatementSelectTest, AConditionAroundAQueryNeedsASubQuery) {
  struct Case {
    const char* name;
    const wchar_t* query;
    unsigned int options;
    int kind;
    std::wstring expected;  // empty: user error 41
  };
  const unsigned int kRaw = CNAStatement::kOptionUniqueOrderAscending |
                            CNAStatement::kOptionUniqueOrderDescending |
                            CNAStatement::kOptionQueryWithoutCorrection;
  const wchar_t kGrouped[] = L"SELECT id, name, city FROM CUSTOMER GROUP BY id, name, city";
  const std::wstring search = L"`name`='O''Hara' ";
  const Case cases[] = {
      {"a query run as written", kOrderedQuery, kRaw, 2,
       std::wstring(L"SELECT * FROM (") + kOrderedQuery + L") KQ_SUBQUERY WHERE " + search +
           L"\r\nORDER BY `name`,`id`"},
      {"a grouping query", kGrouped, 3, 2,
       std::wstring(L"SELECT * FROM (") + kGrouped + L") KQ_SUBQUERY WHERE " + search +
           L"\r\nORDER BY `name`,`id`"},
      {"a query run as written, no sub-query", kOrderedQuery, kRaw, kServerKindMariaDB, L""},
      {"a grouping query, no sub-query", kGrouped, 3, kServerKindMariaDB, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(BuildQuery(CustomerItems(), c.query, QueryOutputs(), c.kind));
    m_pclStatement->SetOptions(c.options);
    CNACommand* w = WhereOfSearchOnName(L"O'Hara");
    ASSERT_NE(w, nullptr);
    const std::wstring text = Select(L"name", 1, 0, w);
    if (c.expected.empty()) {
      EXPECT_EQ(text, L"<failed>");
      EXPECT_EQ(m_pclError->dwGetErrorId(), 41u);
      EXPECT_STREQ(m_pclError->pszGetLogicalTableName(), L"QRY_CUSTOMER");
    } else {
      EXPECT_EQ(text, c.expected);
    }
    w->nRelease();
    m_pclStatement->SetRecherche(nullptr);
  }
}

TEST_F(StatementSelectTest, TheStatementRecordsWhetherTheOrderWrittenIsUnique) {
  ASSERT_TRUE(Build(CustomerItems()));
  Statement();
  struct Case {
    const char* name;
    const wchar_t* item;
    unsigned int flags;
    int unique;
  };
  const Case cases[] = {
      {"a unique not-null key", L"id", 0, 1},
      {"completed", L"name", 0, 1},
      {"no completion asked", L"name", CNAStatement::kReadNoUniqueOrder, 0},
      {"no order", L"", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_pclStatement->SetUniqueOrder(1 - c.unique);
    Select(c.item, 1, c.flags);
    EXPECT_EQ(m_pclStatement->bHasUniqueOrder(), c.unique);
  }
}

TEST_F(StatementSelectTest, AQuerysOwnOrderItemsCountAgainstTheServersLimit) {
  // Server kind 4 sorts on at most 31 expressions: a query that keeps its
  // own 31 leaves no room for the key that would make the order unique,
  // and 30 leave room for it alone.
  for (int nOwn : {31, 30}) {
    SCOPED_TRACE(nOwn);
    std::vector<StandInItemDecl> items;
    std::vector<std::wstring> names;
    for (int i = 0; i < nOwn; ++i) names.push_back(L"c" + std::to_wstring(i));
    std::wstring query = L"SELECT ", order;
    for (const std::wstring& n : names) {
      items.push_back(Decl(n.c_str(), NA_IT_I4, 4));
      query += n + L", ";
      order += (order.empty() ? L"" : L",") + n;
    }
    items.push_back(Decl(L"id", NA_IT_I4, 4, kPrimary, false));
    query += L"id FROM CUSTOMER ORDER BY " + order;
    ASSERT_TRUE(BuildQuery(items, query.c_str(), items, 4));
    m_pclStatement->SetUniqueOrder(1);
    const std::wstring text = Select(nullptr, 1, CNAStatement::kReadKeepQueryOrder);
    const std::wstring own = L"\r\nORDER BY " + order;
    if (nOwn == 31) {
      EXPECT_EQ(text.substr(text.size() - own.size()), own);
      EXPECT_EQ(m_pclStatement->bHasUniqueOrder(), 0);
    } else {
      const std::wstring completed = own + L"," + std::to_wstring(nOwn + 1);
      EXPECT_EQ(text.substr(text.size() - completed.size()), completed);
      EXPECT_EQ(m_pclStatement->bHasUniqueOrder(), 1);
    }
  }
}

TEST_F(StatementSelectTest, TheRowReadLastIsFoundAgainByItsKeyAndTheCurrentValuesComeBack) {
  ASSERT_TRUE(Build(CustomerItems()));
  Statement();
  const CAny read = Int(7), edited = Int(9);
  ASSERT_TRUE(Column(L"id")->bSetValue(&read, 0));
  CNARecordValueBase* pclRead = m_pclRecord->pclGetCurrentRecordNoRef()->pclGetClone(COPY_ALL);
  ASSERT_NE(pclRead, nullptr);
  m_pclStatement->SetOriginalRecordValue(pclRead);
  ASSERT_TRUE(Column(L"id")->bSetValue(&edited, 0));

  for (int bAddWhere = 0; bAddWhere < 2; ++bAddWhere) {
    CNACommand* c = NewCommand();
    // Without bAddWhere the caller has written the keyword itself.
    ASSERT_TRUE(c->bComplete(bAddWhere ? L"DELETE FROM CUSTOMER" : L"DELETE FROM CUSTOMER WHERE "));
    ASSERT_TRUE(m_pclStatement->_bAddWHERELatestRead(c, bAddWhere, nullptr));
    EXPECT_EQ(Formatted(c), L"DELETE FROM CUSTOMER WHERE `id`=7");
    c->nRelease();
  }
  EXPECT_TRUE(Column(L"id")->bSameValue(&edited, 0));
}

TEST_F(StatementSelectTest, ARowNeverReadIsUserError7) {
  ASSERT_TRUE(Build(CustomerItems()));
  Statement();
  CNACommand* c = NewCommand();
  m_pclError->Reset();
  EXPECT_FALSE(m_pclStatement->_bAddWHERELatestRead(c, 1, nullptr));
  EXPECT_EQ(m_pclError->dwGetErrorId(), 7u);
  EXPECT_STREQ(m_pclError->pszGetLogicalTableName(), L"CUSTOMER");
  EXPECT_TRUE(c->bIsEmpty());
  c->nRelease();
}

TEST_F(StatementSelectTest, SubQueriesCloseWithTheMarkOfTheServerKindsThatNeedIt) {
  ASSERT_TRUE(Build(CustomerItems()));
  Statement();
  const struct {
    int kind;
    const wchar_t* text;
  } cases[] = {{2, L") KQ_SUBQUERY"}, {4, L") KQ_SUBQUERY"}, {7, L") KQ_SUBQUERY"},
               {5, L")"},             {0, L")"},             {8, L")"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    m_pclConnection->SetServerKind(c.kind);
    CNACommand* pclCommand = NewCommand();
    EXPECT_TRUE(m_pclStatement->_bCloseSubQuery(pclCommand));
    EXPECT_EQ(Text(pclCommand), c.text);
    pclCommand->nRelease();
  }
  m_pclConnection->SetServerKind(kServerKindMariaDB);
}

// ---- On the fixture's server

// One row of the reference model: the id and the order columns' cells.
struct ModelRow {
  int id;
  int grp;
  std::optional<int> val;
  std::optional<int> code;
};

class StatementSelectServerTest : public BoundValuesTest {
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
    ASSERT_TRUE(m_session.bOpen(L"Connection=browse"));
  }
  void TearDown() override {
    if (m_pclStatement != nullptr) {
      m_pclStatement->SetRecord(nullptr);
      EXPECT_EQ(m_pclStatement->nRelease(), 0);
    }
    if (m_pclRecord != nullptr) {
      EXPECT_EQ(m_pclRecord->nRelease(), 0);
    }
    if (m_piSource != nullptr) m_piSource->nExternalRelease();
    m_access.reset();
    if (m_pclQuery != nullptr) m_pclQuery->nRelease();
    m_pAnalysis.reset();
    m_pclError->nRelease();
    m_session.Close();
    EXPECT_EQ(m_pclDriver->nExternalRelease(), 0);
    ServerSession::EndClientLibrary();
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, m_nLiveBefore) << "stand-in objects left";
    BoundValuesTest::TearDown();
  }

  CNAConnectionDescription* Connection() { return m_session.pclConnection(); }

  // The table kq_browse: many ties on grp and val, NULLs in val and code;
  // the rows inserted in a shuffled order so that no storage order
  // happens to match.
  bool Build() {
    if (!m_session.bRun("CREATE OR REPLACE TEMPORARY TABLE kq_browse (id INT PRIMARY KEY, "
                        "grp INT NOT NULL, val INT NULL, code INT NULL UNIQUE)"))
      return false;
    std::srand(7);
    std::vector<int> ids;
    for (int i = 1; i <= 60; ++i) ids.push_back(i);
    for (int i = 59; i > 0; --i) std::swap(ids[i], ids[std::rand() % (i + 1)]);
    for (int id : ids) {
      ModelRow r{id, id % 4, std::nullopt, std::nullopt};
      if (id % 5 != 0) r.val = (id * 7) % 6;
      if (id % 3 != 0) r.code = 1000 - id;
      m_rows.push_back(r);
      auto cell = [](const std::optional<int>& v) {
        return v ? std::to_string(*v) : std::string("NULL");
      };
      if (!m_session.bRun("INSERT INTO kq_browse VALUES (" + std::to_string(r.id) + "," +
                          std::to_string(r.grp) + "," + cell(r.val) + "," + cell(r.code) + ")"))
        return false;
    }
    return BuildRecord(L"kq_browse", BrowseItems(), nullptr);
  }

  // After Build: the record and statement over the query instead, parsed
  // by the stand-in over kq_browse. The query selects the table's columns
  // in their order.
  bool BuildQuery(const wchar_t* pszQuery) {
    m_pclStatement->SetRecord(nullptr);
    m_pclStatement->nRelease();
    m_pclStatement = nullptr;
    m_pclRecord->nRelease();
    m_pclRecord = nullptr;
    m_piSource->nExternalRelease();
    m_piSource = nullptr;
    m_pclQuery = pclParseOverTable(&m_pAnalysis, m_pclError, L"kq_browse", L"kq_browse",
                                   BrowseItems(), pszQuery);
    if (m_pclQuery == nullptr) return false;
    return BuildRecord(L"qry_browse", BrowseItems(), m_pclQuery);
  }

  // kq_browse as the stand-in's analysis declares it.
  static std::vector<StandInItemDecl> BrowseItems() {
    return {Decl(L"id", NA_IT_I4, 4, kPrimary, false),
            Decl(L"grp", NA_IT_I4, 4, kDuplicates, false), Decl(L"val", NA_IT_I4, 4),
            Decl(L"code", NA_IT_I4, 4, kUnique)};
  }
  // A record over a new stand-in description pszName of the items, on a
  // new data access of that name (reading the query pclQuery when one is
  // given, else the table), and a statement over the record. False when
  // the description or the record cannot be made.
  bool BuildRecord(const wchar_t* pszName, const std::vector<StandInItemDecl>& items,
                   CSQLParserInfo* pclQuery) {
    m_access = std::make_unique<TestItemsDataAccess>(Connection(), pszName);
    if (pclQuery != nullptr) {
      m_access->m_bQuery = 1;
      m_access->m_pclQuery = pclQuery;
    }
    m_piSource = CStandInDescription::pclNew(pszName, items, 12);
    if (m_piSource == nullptr) return false;
    m_pclRecord = new CNARecord(m_pclError, m_access.get());
    m_pclRecord->AddRef();
    if (!m_pclRecord->bInitRecord(m_piSource, nullptr, Connection())) return false;
    m_pclStatement = new CNAStatement(Connection(), m_pclError);
    m_pclStatement->AddRef();
    m_pclStatement->SetRecord(m_pclRecord);
    return true;
  }

  // The model's ids sorted by a comparator (a strict weak order).
  std::vector<int> SortedIds(const std::function<bool(const ModelRow&, const ModelRow&)>& less,
                             const std::vector<ModelRow>& rows) const {
    std::vector<ModelRow> sorted = rows;
    std::stable_sort(sorted.begin(), sorted.end(), less);
    std::vector<int> ids;
    for (const ModelRow& r : sorted) ids.push_back(r.id);
    return ids;
  }

  // The ids of the statement's SELECT on the server (empty on failure).
  std::vector<int> ServerIds(const wchar_t* pszItem, int bAscending, long long llLimit = -1,
                             long long llOffset = -1, CNACommand* pclWhere = nullptr,
                             unsigned int nFlags = 0) {
    CNACommand* c = NewCommand();
    std::vector<int> ids;
    m_sql = "<not built>";
    if (m_pclStatement->bBuildQuerySELECT(c, nFlags, pszItem, bAscending, pclWhere)) {
      c->SetRowLimit(llLimit);
      c->SetRowOffset(llOffset);
      const wchar_t* psz = c->pszGetFormatedSQL(CNACommand::NA_PTC_ALL);
      if (psz != nullptr) {
        m_sql = Utf8(psz);
        for (const ServerSession::Row& row : m_session.Rows(m_sql))
          ids.push_back(row.empty() || !row[0] ? -1 : std::atoi(row[0]->c_str()));
      }
    }
    c->nRelease();
    return ids;
  }

  // A new command of the connection, with one reference (the caller
  // releases it).
  CNACommand* NewCommand() {
    auto* p = static_cast<CNACommand*>(m_pclDriver->pclAllocCommand(m_pclError, Connection()));
    p->AddRef();
    return p;
  }

  // Sets on the statement an active filter on val from nLo to nHi (both
  // kept) and writes the statement's WHERE clause into a new command, which
  // it answers with one reference (DropFilter releases both). Null, and a
  // failure, when the filter or the clause is refused.
  CNACommand* FilterOnVal(int nLo, int nHi) {
    m_pclFilter = new CNAFilter(m_pclError, Connection());
    m_pclFilter->AddRef();
    CAny lo, hi;
    lo.SetI4(nLo);
    hi.SetI4(nHi);
    if (!m_pclFilter->bSetFilter(m_pclRecord,
                                 m_pclRecord->pclGetColumnNoRef(L"val")->piGetItemNoRef(), &lo, 1,
                                 &hi, 1, nullptr, 0)) {
      ADD_FAILURE() << "the filter was refused";
      return nullptr;
    }
    m_pclFilter->ActivateFilter(1);
    m_pclStatement->SetFilter(m_pclFilter);
    return pclWithWhereClause(m_pclStatement, NewCommand());
  }
  void DropFilter(CNACommand* pclWhere) {
    pclWhere->nRelease();
    m_pclStatement->SetFilter(nullptr);
    m_pclFilter->nRelease();
    m_pclFilter = nullptr;
  }

  // The reference: the rows sorted on the columns, each in the direction
  // given, NULL below every value (MariaDB's rule).
  using Key = std::vector<std::optional<int>>;
  std::vector<int> ModelIds(Key (*key)(const ModelRow&), bool bAscending) const {
    std::vector<ModelRow> rows = m_rows;
    std::stable_sort(rows.begin(), rows.end(), [&](const ModelRow& a, const ModelRow& b) {
      return bAscending ? key(a) < key(b) : key(b) < key(a);
    });
    std::vector<int> ids;
    for (const ModelRow& r : rows) ids.push_back(r.id);
    return ids;
  }

  int m_nLiveBefore = 0;
  CMySQLDriver* m_pclDriver = nullptr;
  CNAError* m_pclError = nullptr;
  ServerSession m_session;
  std::unique_ptr<TestItemsDataAccess> m_access;
  CStandInDescription* m_piSource = nullptr;
  CNARecord* m_pclRecord = nullptr;
  CNAStatement* m_pclStatement = nullptr;
  std::vector<ModelRow> m_rows;
  std::string m_sql;
  std::unique_ptr<CStandInAnalysis> m_pAnalysis;
  CSQLParserInfo* m_pclQuery = nullptr;
  CNAFilter* m_pclFilter = nullptr;  // FilterOnVal's, one reference
};

TEST_F(StatementSelectServerTest, BrowseSelectsReturnTheRowsInTheModelsTotalOrder) {
  ASSERT_TRUE(Build());
  struct Case {
    const wchar_t* item;
    int ascending;
    Key (*key)(const ModelRow&);
  };
  // std::optional orders nullopt first, as MariaDB orders NULL.
  const Case cases[] = {
      {L"id", 1, [](const ModelRow& r) { return Key{r.id}; }},
      {L"id", 0, [](const ModelRow& r) { return Key{r.id}; }},
      {L"grp", 1, [](const ModelRow& r) { return Key{r.grp, r.id}; }},
      {L"grp", 0, [](const ModelRow& r) { return Key{r.grp, r.id}; }},
      {L"val", 1, [](const ModelRow& r) { return Key{r.val, r.id}; }},
      {L"val", 0, [](const ModelRow& r) { return Key{r.val, r.id}; }},
      {L"code", 1, [](const ModelRow& r) { return Key{r.code, r.id}; }},
      {L"code", 0, [](const ModelRow& r) { return Key{r.code, r.id}; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.item) + (c.ascending ? " ascending" : " descending"));
    const std::vector<int> expected = ModelIds(c.key, c.ascending != 0);
    EXPECT_EQ(ServerIds(c.item, c.ascending), expected) << m_sql;
    // Windows of the same order cut the same sequence.
    const std::vector<int> window = ServerIds(c.item, c.ascending, 7, 14);
    EXPECT_EQ(window, std::vector<int>(expected.begin() + 14, expected.begin() + 21)) << m_sql;
  }
}

TEST_F(StatementSelectServerTest, AFilteredBrowseReturnsTheFilteredRowsInOrder) {
  ASSERT_TRUE(Build());
  CNACommand* w = FilterOnVal(1, 3);
  ASSERT_NE(w, nullptr);
  for (int bAscending = 0; bAscending < 2; ++bAscending) {
    SCOPED_TRACE(bAscending);
    std::vector<ModelRow> kept;
    for (const ModelRow& r : m_rows)
      if (r.val && *r.val >= 1 && *r.val <= 3) kept.push_back(r);
    std::stable_sort(kept.begin(), kept.end(), [&](const ModelRow& a, const ModelRow& b) {
      const Key ka{a.val, a.id}, kb{b.val, b.id};
      return bAscending ? ka < kb : kb < ka;
    });
    std::vector<int> expected;
    for (const ModelRow& r : kept) expected.push_back(r.id);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(ServerIds(L"val", bAscending, -1, -1, w), expected) << m_sql;
    EXPECT_EQ(ServerIds(L"val", bAscending, 5, 3, w),
              std::vector<int>(expected.begin() + 3, expected.begin() + 8))
        << m_sql;
  }
  DropFilter(w);
}

TEST_F(StatementSelectServerTest, TheConditionOnTheRowReadLastSelectsThatRowAlone) {
  ASSERT_TRUE(Build());
  CAny read, edited;
  read.SetI4(17);
  edited.SetI4(18);
  CNAColumn* pclId = m_pclRecord->pclGetColumnNoRef(L"id");
  ASSERT_TRUE(pclId->bSetValue(&read, 0));
  m_pclStatement->SetOriginalRecordValue(
      m_pclRecord->pclGetCurrentRecordNoRef()->pclGetClone(COPY_ALL));
  ASSERT_TRUE(pclId->bSetValue(&edited, 0));
  CNACommand* c = NewCommand();
  ASSERT_TRUE(c->bComplete(L"SELECT id FROM kq_browse"));
  ASSERT_TRUE(m_pclStatement->_bAddWHERELatestRead(c, 1, nullptr));
  const wchar_t* psz = c->pszGetFormatedSQL(CNACommand::NA_PTC_ALL);
  ASSERT_NE(psz, nullptr);
  EXPECT_EQ(m_session.FirstCells(Utf8(psz)), std::vector<std::string>{"17"}) << Utf8(psz);
  c->nRelease();
}


TEST_F(StatementSelectServerTest, AQueryBrowsedByAnItemReturnsItsRowsInTheModelsTotalOrder) {
  ASSERT_TRUE(Build());
  ASSERT_TRUE(BuildQuery(L"SELECT id, grp, val, code FROM kq_browse ORDER BY grp DESC"));
  for (int bAscending = 0; bAscending < 2; ++bAscending) {
    SCOPED_TRACE(bAscending);
    // val, then the key (which orders every row by itself), both in the
    // browse direction; the query's own order is gone.
    auto less = [&](const ModelRow& a, const ModelRow& b) {
      if (a.val != b.val) return bAscending ? a.val < b.val : b.val < a.val;
      return bAscending ? a.id < b.id : b.id < a.id;
    };
    const std::vector<int> expected = SortedIds(less, m_rows);
    EXPECT_EQ(ServerIds(L"val", bAscending), expected) << m_sql;
    EXPECT_EQ(m_pclStatement->bHasUniqueOrder(), 1);
    EXPECT_EQ(ServerIds(L"val", bAscending, 9, 20),
              std::vector<int>(expected.begin() + 20, expected.begin() + 29))
        << m_sql;
  }
}

TEST_F(StatementSelectServerTest, AQuerysOwnOrderKeptIsCompletedAndReadsBackwards) {
  ASSERT_TRUE(Build());
  ASSERT_TRUE(BuildQuery(L"SELECT id, grp, val, code FROM kq_browse ORDER BY grp DESC"));
  auto less = [](const ModelRow& a, const ModelRow& b) {
    return a.grp != b.grp ? b.grp < a.grp : a.id < b.id;
  };
  std::vector<int> expected = SortedIds(less, m_rows);
  EXPECT_EQ(ServerIds(nullptr, 1, -1, -1, nullptr, CNAStatement::kReadKeepQueryOrder), expected)
      << m_sql;
  std::reverse(expected.begin(), expected.end());
  EXPECT_EQ(ServerIds(nullptr, 0, -1, -1, nullptr, CNAStatement::kReadKeepQueryOrder), expected)
      << m_sql;
}

TEST_F(StatementSelectServerTest, AFilterOnAQueryKeepsTheQuerysOwnCondition) {
  ASSERT_TRUE(Build());
  ASSERT_TRUE(BuildQuery(L"SELECT id, grp, val, code FROM kq_browse WHERE grp <> 2 OR id < 10"));
  CNACommand* w = FilterOnVal(1, 3);
  ASSERT_NE(w, nullptr);
  std::vector<ModelRow> kept;
  for (const ModelRow& r : m_rows)
    if ((r.grp != 2 || r.id < 10) && r.val && *r.val >= 1 && *r.val <= 3) kept.push_back(r);
  ASSERT_FALSE(kept.empty());
  auto less = [](const ModelRow& a, const ModelRow& b) {
    return a.val != b.val ? a.val < b.val : a.id < b.id;
  };
  EXPECT_EQ(ServerIds(L"val", 1, -1, -1, w), SortedIds(less, kept)) << m_sql;
  DropFilter(w);
}

}  // namespace
}  // namespace kqtest
