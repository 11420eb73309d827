// The browse's SELECT of a statement: golden texts of the select list, the
// WHERE of a search or filter, the ORDER BY completed to a unique order and
// the row-limit forms, on a record over the stand-in's descriptions and a
// connection that reaches no server; then the same SELECTs run on the
// fixture's server, whose rows must come in the order a reference model
// gives for the order columns, ties included.
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "items/column.h"
#include "items/record.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/filter.h"
#include "sqlbuilder/record_search.h"
#include "statements/statement.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/server_session.h"
#include "tests/sqlbuilder/search_fixture.h"
#include "tests/support/utf8_reference.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

constexpr unsigned short kPrimary = 0x8000, kUnique = 0x4000, kDuplicates = 0x2000,
                         kComposed = 0x1000, kDescending = 0x0400;

StandInItemDecl Decl(const wchar_t* pszName, int nType, int nSize, unsigned short wKey = 0,
                     bool bNull = true, std::vector<std::wstring> components = {}) {
  StandInItemDecl d;
  d.name = pszName;
  d.type = nType;
  d.size = nSize;
  d.keyFlags = wKey;
  d.nullAllowed = bNull;
  d.components = std::move(components);
  return d;
}

// CUSTOMER: a primary key, a key with duplicates, a plain text, a unique
// key that allows NULL, a key with duplicates marked descending.
std::vector<StandInItemDecl> CustomerItems() {
  return {Decl(L"id", NA_IT_I4, 4, kPrimary, false), Decl(L"name", NA_IT_TEXTE, 21, kDuplicates),
          Decl(L"city", NA_IT_TEXTE, 21), Decl(L"code", NA_IT_I4, 4, kUnique),
          Decl(L"rank", NA_IT_I4, 4, kDuplicates | kDescending)};
}
const wchar_t kCustomerSelect[] = L"SELECT `id`,`name`,`city`,`code`,`rank` FROM CUSTOMER";

class StatementSelectTest : public SearchFixture {
 protected:
  void TearDown() override {
    DropStatement();
    SearchFixture::TearDown();
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
  auto* s = new CNARecherche(m_pclError, m_pclConnection);
  const CAny value = Wide(L"O'Hara");
  ASSERT_TRUE(s->bSetRecherche(m_pclRecord, Item(L"name"), &value, NA_PARSE_FIRST, 1, 0));
  m_pclStatement->SetRecherche(s);
  w = NewCommand();
  ASSERT_TRUE(m_pclStatement->bGetClauseWHERE(w));
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

TEST_F(StatementSelectTest, AQuerySourceIsRefusedUntilItsFormIsBuilt) {
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
    m_access = std::make_unique<TestItemsDataAccess>(Connection(), L"kq_browse");
    m_piSource = CStandInDescription::pclNew(
        L"kq_browse",
        {Decl(L"id", NA_IT_I4, 4, kPrimary, false), Decl(L"grp", NA_IT_I4, 4, kDuplicates, false),
         Decl(L"val", NA_IT_I4, 4), Decl(L"code", NA_IT_I4, 4, kUnique)},
        12);
    if (m_piSource == nullptr) return false;
    m_pclRecord = new CNARecord(m_pclError, m_access.get());
    m_pclRecord->AddRef();
    if (!m_pclRecord->bInitRecord(m_piSource, nullptr, Connection())) return false;
    m_pclStatement = new CNAStatement(Connection(), m_pclError);
    m_pclStatement->AddRef();
    m_pclStatement->SetRecord(m_pclRecord);
    return true;
  }

  // The ids of the statement's SELECT on the server (empty on failure).
  std::vector<int> ServerIds(const wchar_t* pszItem, int bAscending, long long llLimit = -1,
                             long long llOffset = -1, CNACommand* pclWhere = nullptr) {
    auto* c = static_cast<CNACommand*>(m_pclDriver->pclAllocCommand(m_pclError, Connection()));
    c->AddRef();
    std::vector<int> ids;
    if (m_pclStatement->bBuildQuerySELECT(c, 0, pszItem, bAscending, pclWhere)) {
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
  auto* f = new CNAFilter(m_pclError, Connection());
  f->AddRef();
  CAny lo, hi;
  lo.SetI4(1);
  hi.SetI4(3);
  ASSERT_TRUE(f->bSetFilter(m_pclRecord, m_pclRecord->pclGetColumnNoRef(L"val")->piGetItemNoRef(),
                            &lo, 1, &hi, 1, nullptr, 0));
  f->ActivateFilter(1);
  m_pclStatement->SetFilter(f);
  auto* w = static_cast<CNACommand*>(m_pclDriver->pclAllocCommand(m_pclError, Connection()));
  w->AddRef();
  ASSERT_TRUE(m_pclStatement->bGetClauseWHERE(w));
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
  w->nRelease();
  m_pclStatement->SetFilter(nullptr);
  f->nRelease();
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
  auto* c = static_cast<CNACommand*>(m_pclDriver->pclAllocCommand(m_pclError, Connection()));
  c->AddRef();
  ASSERT_TRUE(c->bComplete(L"SELECT id FROM kq_browse"));
  ASSERT_TRUE(m_pclStatement->_bAddWHERELatestRead(c, 1, nullptr));
  const wchar_t* psz = c->pszGetFormatedSQL(CNACommand::NA_PTC_ALL);
  ASSERT_NE(psz, nullptr);
  EXPECT_EQ(m_session.FirstCells(Utf8(psz)), std::vector<std::string>{"17"}) << Utf8(psz);
  c->nRelease();
}

}  // namespace
}  // namespace kqtest
