// A library of parsed queries rewritten for MariaDB (bFormatCondition over
// the stand-in parser) and run on the fixture's server: for each, the exact
// statement text, its parameters (positions, flags, operators, types), the
// formatted text and the rows it returns (writes inside a transaction that
// is rolled back). Computed columns in a cycle fail with user error 32. A
// filter's parsed condition merged into queries with a WHERE clause,
// without one and with GROUP BY.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kq230/tab_val_parser.h"
#include "kq230/vm_values.h"
#include "tests/sqlbuilder/rewrite_server_fixture.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

constexpr unsigned int kLit = 0x80000, kLike = 0xC0000, kUser = kTabValFlagUserParameter;
// Language types of the parameters' values: a wide text stays the parser's
// own (a cast to a wide text takes it as it is).
constexpr unsigned short kI4 = VX_I4, kR8 = VX_R8, kText8 = VX_DSTRA, kPTextW = VX_PSTRW,
                         kDate8 = VX_DATEA, kTime = VX_TIMEA;

enum Sort { kDrop = 0, kKeep = 1 };

struct Case {
  const char* label;
  const wchar_t* query;
  int keepSort;
  int mode;
  const wchar_t* expected;  // template (rewrite_server_fixture.h)
  std::vector<RwParam> params;
  const char* rows;                    // rows of the formatted text, or of check after a write
  bool ordered = false;                // rows compared in their order
  const wchar_t* check = nullptr;      // a write: the query that reads its effect
  const wchar_t* formatted = nullptr;  // when the formatted text is not the template's
};

class QueryLibraryServerTest : public RewriteServerTest {
 protected:
  void SetUp() override {
    RewriteServerTest::SetUp();
    if (HasFatalFailure()) return;
    Table(L'C', L"CUSTOMER", Unique(L"kq_rw_cust"),
          {Decl(L"CUSTID", kRwI4, 4, kRwPrimary | kRwAsc, false),
           Decl(L"NAME", kRwTexte, 30, kRwDup | kRwAsc), Decl(L"CITY", kRwTexte, 20),
           Decl(L"BORN", kRwDate8, 8), Decl(L"OPENS", kRwHeure, 9)},
          L"CUSTID INT PRIMARY KEY, NAME VARCHAR(30), CITY VARCHAR(20), BORN DATE, OPENS TIME(3)",
          L"(1, 'Ann', 'Paris', '2019-03-04', '08:30:00'), (2, 'Bob', 'Lyon', NULL, '12:00:00'),"
          L"(3, 'Cy', 'Paris', '2020-01-01', NULL), (4, 'Di%', 'Nice', '2019-01-01', '23:59:59'),"
          L"(5, 'O''Hara', 'Lyon', '2018-12-31', '00:00:00')");
    Table(L'O', L"ORDERS", Unique(L"kq_rw_ord"),
          {Decl(L"ORDERID", kRwI4, 4, kRwPrimary | kRwAsc, false),
           Decl(L"CUSTID", kRwI4, 4, kRwDup | kRwAsc), Decl(L"AMOUNT", kRwR8, 8),
           Decl(L"NOTE", kRwTexte, 40)},
          L"ORDERID INT PRIMARY KEY, CUSTID INT, AMOUNT DOUBLE, NOTE VARCHAR(40)",
          L"(10, 1, 100, 'first'), (11, 1, 50.5, 'second'), (12, 2, 20, 'third'),"
          L"(13, 3, 75, NULL), (14, 9, 5, 'orphan')");
    // A table whose logical name is its physical name: for the queries copied
    // as they stand (mode 1, queries the parser does not split).
    m_strPlain = Unique(L"kq_rw_plain");
    Table(L'P', m_strPlain.c_str(), m_strPlain,
          {Decl(L"ID", kRwI4, 4, kRwPrimary | kRwAsc, false), Decl(L"LABEL", kRwTexte, 20)},
          L"ID INT PRIMARY KEY, LABEL VARCHAR(20)", L"(1, 'x'), (2, 'y'), (3, 'C:\\\\')");
  }

  // "%P" in a text: the plain table's name as it stands ("@P" in a
  // template: the name quoted).
  std::wstring Query(const wchar_t* psz) const {
    std::wstring s = psz;
    for (size_t at; (at = s.find(L"%P")) != std::wstring::npos;) s.replace(at, 2, m_strPlain);
    return s;
  }

  // Checks one case: texts, parameters, rows.
  void Check(const Case& k, CStandInQueryParameters* pclValues = nullptr,
             bool bServerValues = false) {
    SCOPED_TRACE(k.label);
    const RwResult r =
        Rewritten(Query(k.query), k.keepSort, k.mode, nullptr, pclValues, bServerValues);
    ExpectResult(k, r);
  }

  void ExpectResult(const Case& k, const RwResult& r) {
    const std::wstring tmpl = Expand(Query(k.expected));
    std::vector<unsigned int> positions;
    EXPECT_EQ(r.bOk, 1) << Utf8(std::wstring(m_pclError->StringDump().pszGet()));
    EXPECT_EQ(Utf8(r.statement), Utf8(StatementOf(tmpl, &positions)));
    EXPECT_EQ(r.positions, positions);
    EXPECT_EQ(r.params, k.params);
    const std::wstring formatted =
        k.formatted != nullptr ? Expand(Query(k.formatted)) : FormattedOf(tmpl);
    EXPECT_EQ(Utf8(r.formatted), Utf8(formatted));
    if (r.bOk != 1 || r.formatted.compare(0, 6, L"<null:") == 0) return;
    if (k.check == nullptr) {
      EXPECT_EQ(Rows(r.formatted, k.ordered), k.rows) << Utf8(r.formatted);
      return;
    }
    ASSERT_TRUE(m_session.bRun(L"START TRANSACTION"));
    // The write must run; its effect is read back inside the transaction.
    const bool bRan = m_session.bRun(r.formatted);
    EXPECT_TRUE(bRan) << Utf8(r.formatted);
    if (bRan) {
      EXPECT_EQ(Rows(Expand(k.check), k.ordered), k.rows) << Utf8(r.formatted);
    }
    ASSERT_TRUE(m_session.bRun(L"ROLLBACK"));
  }

  std::wstring m_strPlain;
};

// Selections: names, literals, joins, aliases, "*", functions, sub-queries.
const Case kSelections[] = {
    {"equality on a number",
     L"SELECT NAME FROM CUSTOMER WHERE CUSTID = 2",
     kKeep,
     0,
     L"SELECT @C.`NAME` FROM @C WHERE `CUSTID` = [2]",
     {{9, kLit, kI4}},
     "Bob"},
    {"text and number under AND",
     L"SELECT NAME FROM CUSTOMER WHERE CITY = 'Paris' AND CUSTID > 1",
     kKeep,
     0,
     L"SELECT @C.`NAME` FROM @C WHERE `CITY` = ['Paris'] AND `CUSTID` > [1]",
     {{9, kLit, kText8}, {13, kLit, kI4}},
     "Cy"},
    {"a doubled quote",
     L"SELECT CUSTID FROM CUSTOMER WHERE NAME = 'O''Hara'",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE `NAME` = ['O''Hara']",
     {{9, kLit, kText8}},
     "5"},
    {"star",
     L"SELECT * FROM CUSTOMER WHERE CUSTID = 1",
     kKeep,
     0,
     L"SELECT @C.`CUSTID`,@C.`NAME`,@C.`CITY`,@C.`BORN`,@C.`OPENS` FROM @C WHERE @C.`CUSTID` = [1]",
     {{9, kLit, kI4}},
     "1|Ann|Paris|2019-03-04|08:30:00.000"},
    {"two tables separated by a comma, a computed column in the list",
     L"SELECT NAME, AMOUNT * 2 AS DOUBLED FROM ORDERS, CUSTOMER "
     L"WHERE ORDERS.CUSTID = CUSTOMER.CUSTID AND AMOUNT > 60",
     kKeep,
     0,
     L"SELECT @C.`NAME`, `AMOUNT` * [2] AS `DOUBLED` FROM @O, @C "
     L"WHERE @O.`CUSTID` = @C.`CUSTID` AND `AMOUNT` > [60]",
     {{15, kLit, kR8}, {13, kLit, kR8}},
     "Ann|200;Cy|150"},
    {"JOIN ON with aliases",
     L"SELECT c.NAME, o.AMOUNT FROM CUSTOMER c JOIN ORDERS o "
     L"ON o.CUSTID = c.CUSTID WHERE o.AMOUNT < 60",
     kKeep,
     0,
     L"SELECT `c`.`NAME`, `o`.`AMOUNT` FROM @C `c` JOIN @O `o` ON `o`.`CUSTID` = `c`.`CUSTID` "
     L"WHERE `o`.`AMOUNT` < [60]",
     {{11, kLit, kR8}},
     "Ann|50.5;Bob|20"},
    {"LEFT JOIN with a literal in its condition, sorted",
     L"SELECT c.CUSTID, o.ORDERID FROM CUSTOMER c LEFT JOIN ORDERS o "
     L"ON o.CUSTID = c.CUSTID AND o.AMOUNT > 60 ORDER BY c.CUSTID",
     kKeep,
     0,
     L"SELECT `c`.`CUSTID`, `o`.`ORDERID` FROM @C `c` LEFT JOIN @O `o` "
     L"ON `o`.`CUSTID` = `c`.`CUSTID` AND `o`.`AMOUNT` > [60] ORDER BY `c`.`CUSTID`",
     {{13, kLit, kR8}},
     "1|10;2|NULL;3|13;4|NULL;5|NULL",
     true},
    {"a function keeps its name",
     L"SELECT CUSTID FROM CUSTOMER WHERE UPPER(CITY) = 'LYON'",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE UPPER(`CITY`) = ['LYON']",
     {{9, kLit, kText8}},
     "2;5"},
    {"CONCAT asks for wide texts",
     L"SELECT CUSTID FROM CUSTOMER WHERE CONCAT(NAME, '!') = 'Bob!'",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE CONCAT(`NAME`, ['!']) = ['Bob!']",
     {{88, kLit, kPTextW}, {9, kLit, kText8}},
     "2"},
    {"|| concatenates (as CONCAT: MariaDB reads || as OR)",
     L"SELECT CUSTID FROM CUSTOMER WHERE NAME || '!' = 'Bob!'",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE CONCAT(`NAME` , ['!']) = ['Bob!']",
     {{88, kLit, kPTextW}, {9, kLit, kText8}},
     "2"},
    {"NOT, parentheses, OR",
     L"SELECT CUSTID FROM CUSTOMER WHERE NOT (CITY = 'Lyon' OR CUSTID >= 4)",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE NOT (`CITY` = ['Lyon'] OR @C.`CUSTID` >= [4])",
     {{9, kLit, kText8}, {14, kLit, kI4}},
     "1;3"},
    {"IS NULL",
     L"SELECT ORDERID FROM ORDERS WHERE NOTE IS NULL",
     kKeep,
     0,
     L"SELECT @O.`ORDERID` FROM @O WHERE `NOTE` IS NULL",
     {},
     "13"},
    {"IN a list",
     L"SELECT NAME FROM CUSTOMER WHERE CUSTID IN (1, 3, 5)",
     kKeep,
     0,
     L"SELECT @C.`NAME` FROM @C WHERE `CUSTID` IN ([1], [3], [5])",
     {{22, kLit, kI4}, {22, kLit, kI4}, {22, kLit, kI4}},
     "Ann;Cy;O'Hara"},
    {"IN a sub-query",
     L"SELECT NAME FROM CUSTOMER WHERE CUSTID IN "
     L"(SELECT CUSTID FROM ORDERS WHERE AMOUNT > 60)",
     kKeep,
     0,
     L"SELECT @C.`NAME` FROM @C WHERE `CUSTID` IN (SELECT @O.`CUSTID` FROM @O WHERE `AMOUNT` > "
     L"[60])",
     {{13, kLit, kR8}},
     "Ann;Cy"},
    {"a sub-query with its own ORDER BY and text after it",
     L"SELECT NAME FROM CUSTOMER WHERE CUSTID IN (SELECT CUSTID FROM ORDERS WHERE AMOUNT > 60 "
     L"ORDER BY AMOUNT DESC) AND CITY = 'Paris'",
     kKeep,
     0,
     L"SELECT @C.`NAME` FROM @C WHERE `CUSTID` IN (SELECT @O.`CUSTID` FROM @O WHERE @O.`AMOUNT` > "
     L"[60] "
     L"ORDER BY @O.`AMOUNT` DESC) AND `CITY` = ['Paris']",
     {{13, kLit, kR8}, {9, kLit, kText8}},
     "Ann;Cy"},
    {"a marker of a parsed query",
     L"SELECT NAME FROM CUSTOMER WHERE CUSTID = {who}",
     kKeep,
     0,
     L"SELECT @C.`NAME` FROM @C WHERE `CUSTID` = [4]",
     {{9, kLit, kI4}},
     "Di%"},
};

TEST_F(QueryLibraryServerTest, SelectionsAreRewrittenWithPhysicalNamesAndBoundLiterals) {
  CStandInQueryParameters* pclValues = CStandInQueryParameters::pclNew();
  pclValues->SetValue(L"who", StandInValue::Integer(4));
  for (const Case& k : kSelections) Check(k, pclValues);
  pclValues->Release();
}

// Computed columns, GROUP BY and HAVING.
const Case kComputed[] = {
    {"GROUP BY and HAVING",
     L"SELECT CUSTID, COUNT(*) FROM ORDERS GROUP BY CUSTID HAVING COUNT(*) > 1",
     kKeep,
     0,
     L"SELECT @O.`CUSTID`, COUNT(*) FROM @O GROUP BY @O.`CUSTID` HAVING COUNT(*) > [1]",
     {{13, kLit, kI4}},
     "1|2"},
    {"GROUP BY a computed column",
     L"SELECT UPPER(CITY) AS TOWN, COUNT(*) FROM CUSTOMER GROUP BY TOWN",
     kKeep,
     0,
     L"SELECT UPPER(`CITY`) AS TOWN, COUNT(*) FROM @C GROUP BY UPPER(`CITY`)",
     {},
     "LYON|2;NICE|1;PARIS|2"},
    {"a computed column referenced in WHERE",
     L"SELECT CUSTID, AMOUNT * 2 AS DOUBLED FROM ORDERS WHERE DOUBLED > 100",
     kKeep,
     0,
     L"SELECT @O.`CUSTID`, `AMOUNT` * [2] AS `DOUBLED` FROM @O WHERE (`AMOUNT` * [2]) > [100]",
     {{15, kLit, kR8}, {15, kLit, kR8}, {13, kLit, kI4}},
     "1|101;1|200;3|150"},
};

TEST_F(QueryLibraryServerTest, ComputedColumnsAreWrittenAsTheirExpressions) {
  for (const Case& k : kComputed) Check(k);
}

// A computed column that refers to itself, directly or through others,
// cannot be written: user error 32, and nothing runs away.
TEST_F(QueryLibraryServerTest, AComputedColumnInACycleFailsWithError32) {
  const wchar_t* const kQueries[] = {
      L"SELECT AMOUNT + A AS A FROM ORDERS",
      L"SELECT ORDERID, AMOUNT + B AS A, A * 2 AS B FROM ORDERS",
      L"SELECT ORDERID, AMOUNT + B AS A, C - 1 AS B, A / 2 AS C FROM ORDERS WHERE ORDERID > 1",
      L"SELECT ORDERID, A * 2 AS B, AMOUNT + B AS A FROM ORDERS WHERE A > 1",
  };
  for (const wchar_t* q : kQueries) {
    SCOPED_TRACE(Utf8(std::wstring(q)));
    const RwResult r = Rewritten(q, kKeep, 0);
    EXPECT_EQ(r.bOk, 0) << Utf8(r.statement);
    EXPECT_EQ(r.nUserError, 32u);
  }
}

// Sorts: kept, dropped, and the tail after them.
const Case kSorts[] = {
    {"kept with its direction",
     L"SELECT NAME FROM CUSTOMER WHERE CUSTID < 4 ORDER BY NAME DESC",
     kKeep,
     0,
     L"SELECT @C.`NAME` FROM @C WHERE `CUSTID` < [4] ORDER BY @C.`NAME` DESC",
     {{11, kLit, kI4}},
     "Cy;Bob;Ann",
     true},
    {"dropped",
     L"SELECT NAME FROM CUSTOMER WHERE CUSTID < 4 ORDER BY NAME DESC",
     kDrop,
     0,
     L"SELECT @C.`NAME` FROM @C WHERE `CUSTID` < [4] ",
     {{11, kLit, kI4}},
     "Ann;Bob;Cy"},
    {"a unique key ends the sort and the tail follows",
     L"SELECT NAME FROM CUSTOMER ORDER BY CUSTID DESC, NAME LIMIT 2",
     kKeep,
     0,
     L"SELECT @C.`NAME` FROM @C ORDER BY @C.`CUSTID` DESC LIMIT 2",
     {},
     "O'Hara;Di%",
     true},
    {"copied whole, sort kept",
     L"SELECT LABEL FROM %P WHERE ID > 1 ORDER BY LABEL",
     kKeep,
     1,
     L"SELECT LABEL FROM %P WHERE ID > 1 ORDER BY @P.`LABEL`",
     {},
     "C:\\;y",
     true},
    {"copied whole, sort in mixed case over a line break dropped",
     L"SELECT LABEL FROM %P WHERE ID < 3 Order\r\nBy LABEL DESC",
     kDrop,
     1,
     L"SELECT LABEL FROM %P WHERE ID < 3 ",
     {},
     "x;y"},
};

TEST_F(QueryLibraryServerTest, SortsAreKeptOrDropped) {
  for (const Case& k : kSorts) Check(k);
}

// The sort written against the browse direction: every item's direction
// turned, whatever blanks stand before it.
TEST_F(QueryLibraryServerTest, AnInvertedSortTurnsEveryDirection) {
  const struct {
    const char* label;
    const wchar_t* query;
    const wchar_t* expected;
    const char* rows;
  } kCases[] = {
      {"spaces", L"SELECT NAME, CITY FROM CUSTOMER ORDER BY CITY ASC, NAME",
       L"SELECT @C.`NAME`, @C.`CITY` FROM @C ORDER BY @C.`CITY` DESC, @C.`NAME` DESC",
       "Cy|Paris;Ann|Paris;Di%|Nice;O'Hara|Lyon;Bob|Lyon"},
      {"a line break before the direction",
       L"SELECT NAME, CITY FROM CUSTOMER ORDER BY CITY\r\nDESC, NAME",
       L"SELECT @C.`NAME`, @C.`CITY` FROM @C ORDER BY @C.`CITY` ASC, @C.`NAME` DESC",
       "O'Hara|Lyon;Bob|Lyon;Di%|Nice;Cy|Paris;Ann|Paris"},
      {"a tab before the last direction",
       L"SELECT NAME, CITY FROM CUSTOMER ORDER BY CITY, NAME\tASC",
       L"SELECT @C.`NAME`, @C.`CITY` FROM @C ORDER BY @C.`CITY` DESC, @C.`NAME` DESC",
       "Cy|Paris;Ann|Paris;Di%|Nice;O'Hara|Lyon;Bob|Lyon"},
  };
  for (const auto& k : kCases) {
    SCOPED_TRACE(k.label);
    CSQLParserInfo* pclInfo = Digest(k.query);
    CNACommand* c = NewCommand();
    EXPECT_EQ(c->bFormatCondition(pclInfo, nullptr, kDrop, 0), 1);
    unsigned int nCopy =
        static_cast<unsigned int>(pclInfo->piGetParserInformationNoRef()->nGetDebutOrderBy());
    int bStop = -1;
    EXPECT_EQ(c->_bFormatORDERBY(pclInfo, &nCopy, pclInfo->pszGetRequete(), 1, 0, 0, &bStop), 1);
    EXPECT_EQ(bStop, 0);
    const RwResult r = Read(c, 1);
    EXPECT_EQ(Utf8(r.statement), Utf8(Expand(k.expected)));
    EXPECT_EQ(Rows(r.formatted, true), k.rows) << Utf8(r.formatted);
    c->nRelease();
    pclInfo->nRelease();
  }
}

// Empty dates, partial dates, times compared as text, LIKE.
const Case kDatesAndPatterns[] = {
    {"= empty date",
     L"SELECT CUSTID FROM CUSTOMER WHERE BORN = ''",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE `BORN` IS NULL ",
     {},
     "2"},
    {"<> empty date",
     L"SELECT CUSTID FROM CUSTOMER WHERE BORN <> ''",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE `BORN` IS NOT NULL ",
     {},
     "1;3;4;5"},
    {"< empty date",
     L"SELECT CUSTID FROM CUSTOMER WHERE BORN < ''",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE  0=1 ",
     {},
     ""},
    {"<= empty date",
     L"SELECT CUSTID FROM CUSTOMER WHERE BORN <= ''",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE `BORN` IS NULL ",
     {},
     "2"},
    {"> empty date",
     L"SELECT CUSTID FROM CUSTOMER WHERE BORN > ''",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE `BORN` IS NOT NULL ",
     {},
     "1;3;4;5"},
    {">= empty date, then another condition",
     L"SELECT CUSTID FROM CUSTOMER WHERE BORN >= '' AND CUSTID < 3",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE  1=1  AND @C.`CUSTID` < [3]",
     {{11, kLit, kI4}},
     "1;2"},
    {"a year against a DATE8",
     L"SELECT CUSTID FROM CUSTOMER WHERE BORN = '2019'",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE `BORN` = ['2019-01-01']",
     {{9, kLit, kDate8}},
     "4"},
    {"a month against a DATE8",
     L"SELECT CUSTID FROM CUSTOMER WHERE BORN <> '201901'",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE `BORN` <> ['2019-01-01']",
     {{10, kLit, kDate8}},
     "1;3;5"},
    {"a partial date under < and >= stands for its first instant",
     L"SELECT CUSTID FROM CUSTOMER WHERE BORN < '2019' OR BORN >= '202001'",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE `BORN` < ['2019-01-01'] OR `BORN` >= ['2020-01-01']",
     {{11, kLit, kDate8}, {14, kLit, kDate8}},
     "3;5"},
    {"a full date",
     L"SELECT CUSTID FROM CUSTOMER WHERE BORN > '20190101'",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE `BORN` > ['2019-01-01']",
     {{13, kLit, kDate8}},
     "1;3"},
    {"a time against text",
     L"SELECT CUSTID FROM CUSTOMER WHERE OPENS < '09'",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE @T(`OPENS`) < ['09']",
     {{11, kLit, kText8}},
     "1;5"},
    {"a time against a number",
     L"SELECT CUSTID FROM CUSTOMER WHERE OPENS >= 120000",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE @T(`OPENS`) >= ['12000000']",
     {{14, kLit, kPTextW}},
     "2;4"},
    {"LIKE with its own ESCAPE",
     L"SELECT CUSTID FROM CUSTOMER WHERE NAME LIKE 'Di#%' ESCAPE '#'",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE `NAME` LIKE ['Di!%'] ESCAPE '#'",
     {{32, kLike, kText8}},
     "4",
     false,
     nullptr,
     L"SELECT @C.`CUSTID` FROM @C WHERE `NAME` LIKE 'Di!%' ESCAPE '!'"},
    // The query's own '\' would swallow the quote after it under the default
    // sql_mode: it is written from its value.
    {"a computed pattern with ESCAPE '\\'",
     L"SELECT CUSTID FROM CUSTOMER WHERE NAME LIKE CONCAT('Di', '\\%') ESCAPE '\\'",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE `NAME` LIKE CONCAT(['Di'], [_utf8mb4 X'5C25']) "
     L"ESCAPE _utf8mb4 X'5C'",
     {{88, kLit, kPTextW}, {88, kLit, kPTextW}},
     "4"},
    {"LIKE without ESCAPE",
     L"SELECT CUSTID FROM CUSTOMER WHERE NAME LIKE 'O''%'",
     kKeep,
     0,
     L"SELECT @C.`CUSTID` FROM @C WHERE `NAME` LIKE ['O''%' ESCAPE '!']",
     {{32, kLike, kText8}},
     "5"},
};

TEST_F(QueryLibraryServerTest, DatesTimesAndPatternsAreWrittenForTheServer) {
  // The text form of a time column is the connection's (its own tests).
  CTStringConcatAW clTime;
  CSQLParserInfo* pclInfo = Digest(L"SELECT OPENS FROM CUSTOMER");
  INAItemDescription* piItem =
      pclInfo->piGetParserInformationNoRef()->piGetNAItemDescription(L"CUSTOMER", L"OPENS");
  ASSERT_NE(piItem, nullptr);
  m_session.pclConnection()->bConvertExpressionToString(m_pclError, &clTime, L"`OPENS`", piItem,
                                                        nullptr);
  piItem->nExternalRelease();
  pclInfo->nRelease();
  const std::wstring strTime = clTime.pszGetW();
  for (const Case& k : kDatesAndPatterns) {
    Case copy = k;
    std::wstring expected = k.expected;
    for (size_t at; (at = expected.find(L"@T(`OPENS`)")) != std::wstring::npos;)
      expected.replace(at, 11, strTime);
    copy.expected = expected.c_str();
    Check(copy);
  }
}

// Writes, run inside a transaction that is rolled back.
const Case kWrites[] = {
    {"INSERT with its columns",
     L"INSERT INTO ORDERS (ORDERID, CUSTID, AMOUNT, NOTE) VALUES (20, 4, 12.5, 'new')",
     kKeep,
     0,
     L"INSERT INTO @O (ORDERID, CUSTID, AMOUNT, NOTE) VALUES ([20], [4], [12.5], ['new'])",
     {{-1, kLit, kI4}, {-1, kLit, kI4}, {-1, kLit, kR8}, {-1, kLit, kText8}},
     "20|4|12.5|new",
     false,
     L"SELECT ORDERID, CUSTID, AMOUNT, NOTE FROM @O WHERE ORDERID = 20"},
    {"INSERT of every item",
     L"INSERT INTO CUSTOMER VALUES (6, 'Eve', 'Nice', '20210203', '101500')",
     kKeep,
     0,
     L"INSERT INTO @C VALUES ([6], ['Eve'], ['Nice'], ['2021-02-03'], ['10:15:00.000'])",
     {{-1, kLit, kI4},
      {-1, kLit, kText8},
      {-1, kLit, kText8},
      {-1, kLit, kDate8},
      {-1, kLit, kTime}},
     "6|Eve|Nice|2021-02-03|10:15:00.000",
     false,
     L"SELECT CUSTID, NAME, CITY, BORN, OPENS FROM @C WHERE CUSTID = 6"},
    {"UPDATE",
     L"UPDATE ORDERS SET AMOUNT = AMOUNT + 1.5, NOTE = 'upd' WHERE ORDERID = 12",
     kKeep,
     0,
     L"UPDATE @O SET `AMOUNT` = `AMOUNT` + [1.5], `NOTE` = ['upd'] WHERE `ORDERID` = [12]",
     {{4, kLit, kR8}, {-1, kLit, kText8}, {9, kLit, kI4}},
     "10|100|first;11|50.5|second;12|21.5|upd;"
     "13|75|NULL;14|5|orphan",
     false,
     L"SELECT ORDERID, AMOUNT, NOTE FROM @O"},
};

TEST_F(QueryLibraryServerTest, WritesAreRewrittenAndRunInARolledBackTransaction) {
  for (const Case& k : kWrites) Check(k);
  // Nothing stayed.
  EXPECT_EQ(Rows(Expand(L"SELECT COUNT(*) FROM @O WHERE ORDERID = 20 OR NOTE = 'upd'"), false),
            "0");
  EXPECT_EQ(Rows(Expand(L"SELECT COUNT(*) FROM @C"), false), "5");
}

// A query the parser does not split: its markers become parameters in
// place, named after them so that they take the server's values, and the
// rest of its text stands as written.
TEST_F(QueryLibraryServerTest, MarkersOfAnUnsplitQueryBecomeParametersInPlace) {
  CStandInQueryParameters* pclValues = CStandInQueryParameters::pclNew();
  pclValues->SetValue(L"a", StandInValue::Integer(2));
  pclValues->SetValue(L"b", StandInValue::Text(L"x"));
  const Case kCases[] = {
      {"two markers",
       L"SELECT LABEL FROM %P WHERE ID = {a} OR LABEL = {b} -- two markers",
       kKeep,
       0,
       L"SELECT LABEL FROM %P WHERE ID = [2] OR LABEL = ['x'] -- two markers",
       {{-1, kUser, kI4}, {-1, kUser, kPTextW}},
       "x;y"},
      {"a marker first",
       L"SELECT {a} + ID FROM %P WHERE ID = 1 # first",
       kKeep,
       0,
       L"SELECT [2] + ID FROM %P WHERE ID = 1 # first",
       {{-1, kUser, kI4}},
       "3"},
  };
  for (const Case& k : kCases) Check(k, pclValues, true);
  pclValues->Release();
}

// A filter's condition merged into the query's WHERE clause, or where the
// clause would stand.
TEST_F(QueryLibraryServerTest, AFiltersConditionIsMergedIntoTheQuery) {
  const Case kCases[] = {
      {"with WHERE",
       L"SELECT NAME FROM CUSTOMER WHERE CITY = 'Lyon'",
       kKeep,
       0,
       L"SELECT @C.`NAME` FROM @C WHERE ( `CITY` = ['Lyon']) AND (`CUSTID` > [2])",
       {{9, kLit, kText8}, {13, kLit, kI4}},
       "O'Hara"},
      {"without WHERE",
       L"SELECT NAME FROM CUSTOMER ORDER BY NAME",
       kKeep,
       0,
       L"SELECT @C.`NAME` FROM @C WHERE  `CUSTID` > [2] ORDER BY @C.`NAME`",
       {{13, kLit, kI4}},
       "Cy;Di%;O'Hara",
       true},
      {"with GROUP BY",
       L"SELECT CITY, COUNT(*) FROM CUSTOMER GROUP BY CITY",
       kKeep,
       0,
       L"SELECT @C.`CITY`, COUNT(*) FROM @C WHERE  `CUSTID` > [2] GROUP BY @C.`CITY`",
       {{13, kLit, kI4}},
       "Lyon|1;Nice|1;Paris|1"},
  };
  for (const Case& k : kCases) {
    SCOPED_TRACE(k.label);
    CSQLParserInfo* pclFilter = ConditionDigest(L"CUSTOMER", L"CUSTID > 2");
    CNACommand* pclOther = NewCommand();
    EXPECT_EQ(pclOther->bAddFilterExpression(pclFilter), 1);
    EXPECT_EQ(Utf8(std::wstring(pclOther->pszGetOriginalSQL())), "`CUSTID` > ");
    const RwResult r = Rewritten(k.query, k.keepSort, k.mode, pclOther);
    ExpectResult(k, r);
    pclOther->nRelease();
    pclFilter->nRelease();
  }
}

}  // namespace
}  // namespace kqtest
