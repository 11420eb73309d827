// The rewriting of parsed queries without a server, over the stand-in
// parser: the located-pieces walk and each clause writer (FROM and aliases,
// joins, select list and "*", INSERT, UPDATE, GROUP BY, HAVING, ORDER BY
// kept, dropped and inverted), sub-queries, computed columns, a condition
// merged into WHERE, the tokens of queries the parser did not split, the
// function names of other dialects, and where a plainer rewrite goes wrong
// (cycles of computed columns, markers before the first reference, a
// sub-query's ORDER BY, ORDER BY found in literals, directions after line
// breaks, operations MariaDB cannot express). What MariaDB makes of the
// texts is tests/sqlbuilder/query_library_server_test.cc.
//
// Expected statements are written as templates: "[x]" marks a parameter
// whose formatted literal is x (the statement text holds nothing there; the
// parameter stands where the "[" stands).
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "host/parser/standin_analysis.h"
#include "host/parser/standin_sql_parser.h"
#include "items/convert_variant.h"
#include "kq230/sql_parser_interface.h"
#include "kq230/tab_val_parser.h"
#include "mariadb/mysql_connection.h"
#include "mariadb/mysql_driver.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/parameter.h"
#include "sqlbuilder/parsed_query_info.h"
#include "tests/host/standin_any_maker.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/support/standin_items.h"
#include "tests/values/bound_values.h"
#include "values/any.h"

namespace kqtest {
namespace {

constexpr int kTexte = 2, kI4 = 5, kR8 = 7;
constexpr unsigned short kPrimary = 0x8000, kDup = 0x2000;
constexpr unsigned int kLiteral = 0x80000, kLikePattern = 0xC0000, kUserParameter = 0x10000;

StandInItemDecl Decl(const wchar_t* pszName, int nType, int nSize, unsigned short nKeyFlags = 0) {
  StandInItemDecl decl;
  decl.name = pszName;
  decl.type = nType;
  decl.size = nSize;
  decl.keyFlags = nKeyFlags;
  decl.nullAllowed = (nKeyFlags & kPrimary) == 0;
  return decl;
}

// The MariaDB connection's dialect and literal writer, never opened; its
// server kind may be changed to see other dialects' names.
class RewriteConnection : public CMySQLConnection {
 public:
  explicit RewriteConnection(INAConnectionDescription* piHost)
      : CMySQLConnection(L"Connection=rewrite", piHost) {
    _SetConnectionCodePage(65001);
  }
  void SetKind(int nKind) { _SetServerKind(nKind); }
  const wchar_t* pszGetNoLockHint() override { return m_strLockHint.c_str(); }
  std::wstring m_strLockHint;
};

// A parameter as the tests look at it.
struct Param {
  unsigned int position;
  unsigned int flags;
  int op;
  bool operator==(const Param& o) const {
    return position == o.position && flags == o.flags && op == o.op;
  }
};
std::ostream& operator<<(std::ostream& os, const Param& p) {
  return os << "{at " << p.position << ", flags 0x" << std::hex << p.flags << std::dec << ", op "
            << p.op << "}";
}

// The statement text of a template, and its parameters' positions.
std::wstring StatementOf(const std::wstring& tmpl, std::vector<unsigned int>* pPositions) {
  std::wstring out;
  for (size_t i = 0; i < tmpl.size(); ++i) {
    if (tmpl[i] != L'[') {
      out += tmpl[i];
      continue;
    }
    if (pPositions != nullptr) pPositions->push_back(static_cast<unsigned int>(out.size()));
    bool bQuoted = false;
    for (++i; i < tmpl.size() && (bQuoted || tmpl[i] != L']'); ++i)
      if (tmpl[i] == L'\'') bQuoted = !bQuoted;
  }
  return out;
}

// The formatted text of a template: the literals in place, each followed by
// a blank unless the text goes on with one (the formatted text keeps a
// parameter apart from the text after it).
std::wstring FormattedOf(const std::wstring& tmpl) {
  std::wstring out;
  bool bQuoted = false, bInside = false;
  for (size_t i = 0; i < tmpl.size(); ++i) {
    const wchar_t c = tmpl[i];
    if (bInside && c == L'\'') bQuoted = !bQuoted;
    if (!bQuoted && !bInside && c == L'[') {
      bInside = true;
      continue;
    }
    if (bInside && !bQuoted && c == L']') {
      bInside = false;
      if (i + 1 < tmpl.size() && tmpl[i + 1] != L' ') out += L' ';
      continue;
    }
    out += c;
  }
  return out;
}

struct Rewritten {
  int ok = 0;
  std::wstring statement;
  std::vector<Param> params;
  std::wstring formatted;
};

class CommandRewriteTest : public BoundValuesTest {
 protected:
  void SetUp() override {
    BoundValuesTest::SetUp();
    m_nParserLive = StandInParserCounts::g_nLive;
    m_nDescriptionsLive = StandInDescriptionCounts::g_nLive;
    m_pclDriver = new CMySQLDriver();
    m_pclDriver->ExternalAddRef();
    m_pclError = new CNAError;
    m_pclError->AddRef();
    m_pclConnection = new RewriteConnection(&m_host);
    m_pclConnection->AddRef();
    m_pAnalysis = std::make_unique<CStandInAnalysis>();
    AddTable(L"CUSTOMER", L"customer_tbl",
             {Decl(L"CUSTID", kI4, 4, kPrimary), Decl(L"NAME", kTexte, 31, kDup),
              Decl(L"CITY", kTexte, 21)});
    AddTable(L"ORDERS", L"orders_tbl",
             {Decl(L"ORDERID", kI4, 4, kPrimary), Decl(L"CUSTID", kI4, 4, kDup),
              Decl(L"AMOUNT", kR8, 8)});
  }

  void TearDown() override {
    for (CNACommand* p : m_commands) p->nRelease();
    for (CSQLParserInfo* p : m_digests) p->nRelease();
    m_pclConnection->nRelease();
    m_pclError->nRelease();
    m_pAnalysis.reset();
    EXPECT_EQ(StandInParserCounts::g_nLive, m_nParserLive) << "parser objects left";
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, m_nDescriptionsLive) << "descriptions left";
    EXPECT_EQ(m_maker.Maker().nLive(), 0) << "stand-in values left";
    EXPECT_EQ(m_host.nOutstanding(), 0);
    EXPECT_EQ(m_pclDriver->nExternalRelease(), 0);
    BoundValuesTest::TearDown();
  }

  void AddTable(const wchar_t* pszName, const wchar_t* pszPhysical,
                const std::vector<StandInItemDecl>& items) {
    CStandInDescription* p = CStandInDescription::pclNew(pszName, items, 12);
    ASSERT_NE(p, nullptr);
    m_pAnalysis->AddTable(p, pszPhysical);
    p->nExternalRelease();
  }

  // A digest of the text, released at the end of the test.
  CSQLParserInfo* Digest(const std::wstring& q, bool bSplit = true) {
    CStandInSQLParser clParser(m_pAnalysis.get());
    CStandInSQLInfo* piInfo = clParser.pclParse(q.c_str());
    if (bSplit) {
      EXPECT_EQ(clParser.strGetLastError(), L"") << testing::PrintToString(q);
    }
    CSQLParserInfo* p = new CSQLParserInfo(m_pclError, piInfo, nullptr, 0);
    p->AddRef();
    piInfo->Release();
    m_digests.push_back(p);
    return p;
  }

  // A command of the driver, released at the end of the test.
  CNACommand* Command() {
    auto* p = static_cast<CNACommand*>(m_pclDriver->pclAllocCommand(m_pclError, m_pclConnection));
    p->AddRef();
    m_commands.push_back(p);
    return p;
  }

  static Rewritten Read(CNACommand* c, int ok) {
    Rewritten r;
    r.ok = ok;
    r.statement = c->pszGetOriginalSQL();
    for (unsigned int i = 0; i < c->nGetParameterNbr(); ++i) {
      CNAParameter* p = c->pclGetParameterNoRef(i);
      r.params.push_back({p->nGetPosition(), p->nGetFlags(), static_cast<int>(p->eGetOperator())});
    }
    const wchar_t* psz = c->pszGetFormatedSQL(CNACommand::NA_PTC_ALL);
    r.formatted = psz != nullptr ? psz : L"<refused>";
    return r;
  }

  Rewritten Rewrite(const std::wstring& q, int bKeepSort, int nMode,
                    CNACommand* pclOther = nullptr, bool bSplit = true) {
    CNACommand* c = Command();
    const int ok = c->bFormatCondition(Digest(q, bSplit), pclOther, bKeepSort, nMode);
    return Read(c, ok);
  }

  // The rewrite matches the template: statement, positions, formatted text.
  void ExpectTemplate(const Rewritten& r, const std::wstring& tmpl) {
    EXPECT_EQ(r.ok, 1) << m_pclError->StringDump().pszGet();
    std::vector<unsigned int> positions;
    EXPECT_EQ(r.statement, StatementOf(tmpl, &positions));
    std::vector<unsigned int> actual;
    for (const Param& p : r.params) actual.push_back(p.position);
    EXPECT_EQ(actual, positions);
    EXPECT_EQ(r.formatted, FormattedOf(tmpl));
  }

  // A command holding the text "X = " and one parameter of value n after
  // it: the condition of a filter or a search.
  CNACommand* OtherCondition(int n) {
    CNACommand* c = Command();
    c->bComplete(L"X = ");
    CAny v;
    v.SetI4(n);
    EXPECT_EQ(c->bAddParameter(&v, OPEXP_EGAL, 0, nullptr, 0, CNAParameter::NA_PARAM_IN), 1);
    return c;
  }

  HostConnectionFake m_host;
  StandInAnyMakerScope m_maker;
  CMySQLDriver* m_pclDriver = nullptr;
  CNAError* m_pclError = nullptr;
  RewriteConnection* m_pclConnection = nullptr;
  std::unique_ptr<CStandInAnalysis> m_pAnalysis;
  std::vector<CSQLParserInfo*> m_digests;
  std::vector<CNACommand*> m_commands;
  int m_nParserLive = 0;
  int m_nDescriptionsLive = 0;
};

// ---- The located-pieces walk and the clause writers

TEST_F(CommandRewriteTest, EachClauseIsWrittenInTheDialectAndLiteralsBecomeParameters) {
  struct Case {
    const wchar_t* query;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"SELECT NAME FROM CUSTOMER WHERE CUSTID = 5",
       L"SELECT `customer_tbl`.`NAME` FROM `customer_tbl` WHERE `CUSTID` = [5]"},
      {L"SELECT c.NAME AS N FROM CUSTOMER AS c WHERE c.CITY = 'Paris'",
       L"SELECT `c`.`NAME` AS `N` FROM `customer_tbl` AS `c` WHERE `c`.`CITY` = ['Paris']"},
      {L"SELECT * FROM ORDERS",
       L"SELECT `orders_tbl`.`ORDERID`,`orders_tbl`.`CUSTID`,`orders_tbl`.`AMOUNT` FROM "
       L"`orders_tbl`"},
      {L"SELECT o.ORDERID FROM ORDERS o JOIN CUSTOMER c ON o.CUSTID = c.CUSTID AND c.CITY = 'x'",
       L"SELECT `o`.`ORDERID` FROM `orders_tbl` `o` JOIN `customer_tbl` `c` ON `o`.`CUSTID` = "
       L"`c`.`CUSTID` AND `c`.`CITY` = ['x']"},
      {L"SELECT CITY, COUNT(*) FROM CUSTOMER GROUP BY CITY HAVING COUNT(*) > 1",
       L"SELECT `customer_tbl`.`CITY`, COUNT(*) FROM `customer_tbl` GROUP BY "
       L"`customer_tbl`.`CITY` HAVING COUNT(*) > [1]"},
      {L"UPDATE CUSTOMER SET NAME = 'x', CITY = NAME WHERE CUSTID = 3",
       L"UPDATE `customer_tbl` SET `NAME` = ['x'], `CITY` = `NAME` WHERE `CUSTID` = [3]"},
      {L"INSERT INTO ORDERS (ORDERID, CUSTID, AMOUNT) VALUES (1, 2, 3.5)",
       L"INSERT INTO `orders_tbl` (ORDERID, CUSTID, AMOUNT) VALUES ([1], [2], [3.5])"},
      {L"DELETE FROM ORDERS WHERE AMOUNT < 0",
       L"DELETE FROM `orders_tbl` WHERE `AMOUNT` < [0]"},
      {L"SELECT NAME FROM CUSTOMER WHERE CUSTID IN (SELECT CUSTID FROM ORDERS WHERE AMOUNT > 5) "
       L"AND CITY LIKE 'P%'",
       L"SELECT `customer_tbl`.`NAME` FROM `customer_tbl` WHERE `CUSTID` IN (SELECT "
       L"`orders_tbl`.`CUSTID` FROM `orders_tbl` WHERE `AMOUNT` > [5]) AND `CITY` LIKE ['P%' "
       L"ESCAPE '!']"},
      {L"SELECT NAME FROM CUSTOMER WHERE CITY = 'x' LIMIT 3",
       L"SELECT `customer_tbl`.`NAME` FROM `customer_tbl` WHERE `CITY` = ['x'] LIMIT 3"},
      // A table known by an alias is written by its alias: MariaDB refuses
      // its own name then, and a table joined to itself needs both.
      {L"SELECT a.NAME, b.NAME FROM CUSTOMER a, CUSTOMER b WHERE a.CUSTID = b.CUSTID",
       L"SELECT `a`.`NAME`, `b`.`NAME` FROM `customer_tbl` `a`, `customer_tbl` `b` WHERE "
       L"`a`.`CUSTID` = `b`.`CUSTID`"},
      {L"SELECT COUNT(*) FROM CUSTOMER c GROUP BY c.CITY",
       L"SELECT COUNT(*) FROM `customer_tbl` `c` GROUP BY `c`.`CITY`"},
      {L"SELECT COUNT(*) FROM CUSTOMER GROUP BY CITY",
       L"SELECT COUNT(*) FROM `customer_tbl` GROUP BY `customer_tbl`.`CITY`"},
      // AS only as a word of its own; a name the dialect quotes already
      // stays.
      {L"SELECT NAME ASSET, CITY AS `C 1` FROM CUSTOMER",
       L"SELECT `customer_tbl`.`NAME` ASSET, `customer_tbl`.`CITY` AS `C 1` FROM `customer_tbl`"},
      {L"SELECT NAME FROM CUSTOMER ORDER BY CITY DESC",
       L"SELECT `customer_tbl`.`NAME` FROM `customer_tbl` ORDER BY `customer_tbl`.`CITY` DESC"},
      {L"INSERT INTO ORDERS VALUES (1, 2, 3.5)",
       L"INSERT INTO `orders_tbl` VALUES ([1], [2], [3.5])"},
      {L"UPDATE CUSTOMER c SET NAME = 'x' WHERE c.CUSTID = 1",
       L"UPDATE `customer_tbl` `c` SET `NAME` = ['x'] WHERE `c`.`CUSTID` = [1]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.query)));
    m_pclError->Reset();
    ExpectTemplate(Rewrite(c.query, 1, 0), c.expected);
  }
}

TEST_F(CommandRewriteTest, TheRecordLockHintFollowsEachTableOfASelectOnly) {
  m_pclConnection->m_strLockHint = L"WITH (NOLOCK)";
  struct Case {
    const wchar_t* query;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"SELECT c.NAME FROM CUSTOMER AS c, ORDERS WHERE ORDERID = 1",
       L"SELECT `c`.`NAME` FROM `customer_tbl` AS `c` WITH (NOLOCK), `orders_tbl` WITH (NOLOCK) "
       L"WHERE `ORDERID` = [1]"},
      {L"DELETE FROM ORDERS WHERE ORDERID = 1", L"DELETE FROM `orders_tbl` WHERE `ORDERID` = [1]"},
      {L"UPDATE ORDERS SET AMOUNT = 0", L"UPDATE `orders_tbl` SET `AMOUNT` = [0]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.query)));
    ExpectTemplate(Rewrite(c.query, 1, 0), c.expected);
  }
}

TEST_F(CommandRewriteTest, ParametersCarryTheLiteralFlagsAndTheirOperator) {
  const Rewritten r = Rewrite(
      L"SELECT NAME FROM CUSTOMER WHERE CUSTID >= 5 AND NAME LIKE 'A%' AND CITY <> 'x'", 1, 0);
  ASSERT_EQ(r.params.size(), 3u);
  EXPECT_EQ(r.params[0].flags, kLiteral);
  EXPECT_EQ(r.params[0].op, static_cast<int>(OPEXP_SUPERIEUR_EGAL));
  EXPECT_EQ(r.params[1].flags, kLikePattern);
  EXPECT_EQ(r.params[1].op, static_cast<int>(OPEXP_LIKE));
  EXPECT_EQ(r.params[2].flags, kLiteral);
  EXPECT_EQ(r.params[2].op, static_cast<int>(OPEXP_DIFFERENT));
}

TEST_F(CommandRewriteTest, ModeOneCopiesTheQueryAsItStandsAndKeepsOrDropsItsSort) {
  const std::wstring q = L"SELECT NAME FROM CUSTOMER WHERE CITY = 'x' ORDER BY NAME DESC LIMIT 2";
  ExpectTemplate(Rewrite(q, 0, 1), L"SELECT NAME FROM CUSTOMER WHERE CITY = 'x' ");
  ExpectTemplate(Rewrite(q, 1, 1),
                 L"SELECT NAME FROM CUSTOMER WHERE CITY = 'x' ORDER BY `customer_tbl`.`NAME` DESC "
                 L"LIMIT 2");
  ExpectTemplate(Rewrite(q, 0, 0),
                 L"SELECT `customer_tbl`.`NAME` FROM `customer_tbl` WHERE `CITY` = ['x'] ");
}

TEST_F(CommandRewriteTest, AnAdditionalSelectColumnFollowsTheListOrTheStar) {
  struct Case {
    const wchar_t* query;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"SELECT NAME FROM CUSTOMER", L"SELECT `customer_tbl`.`NAME`,1 AS K FROM `customer_tbl`"},
      {L"SELECT * FROM CUSTOMER",
       L"SELECT `customer_tbl`.`CUSTID`,`customer_tbl`.`NAME`,`customer_tbl`.`CITY`,1 AS K FROM "
       L"`customer_tbl`"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.query)));
    CNACommand* cmd = Command();
    CAny v;
    v.SetI4(0);
    CNAConvertVariant* h = cmd->_vpclGetNewVariant(nullptr, &v);
    ASSERT_NE(h, nullptr);
    h->AddRef();
    cmd->bAddSelectAdditionalColumnInQueryFormat(L"1 AS K", h);
    h->nRelease();
    const int ok = cmd->bFormatCondition(Digest(c.query), nullptr, 1, 0);
    ExpectTemplate(Read(cmd, ok), c.expected);
  }
}

// ---- Computed columns

TEST_F(CommandRewriteTest, AComputedColumnIsReplacedByItsExpressionInParentheses) {
  // Its literals become parameters of the command at their place, shifted
  // by the text before the column.
  ExpectTemplate(Rewrite(L"SELECT CUSTID * 2 AS D FROM CUSTOMER WHERE D > 10", 1, 0),
                 L"SELECT `CUSTID` * [2] AS `D` FROM `customer_tbl` WHERE (`CUSTID` * [2]) > "
                 L"[10]");
  // One computed column through another: each in its own parentheses, so
  // that A * 2 stays (CUSTID + 1) * 2.
  ExpectTemplate(Rewrite(L"SELECT NAME, CUSTID + 1 AS A, A * 2 AS B FROM CUSTOMER WHERE B > 3", 1,
                         0),
                 L"SELECT `customer_tbl`.`NAME`, `CUSTID` + [1] AS `A`, (`CUSTID` + [1]) * [2] AS "
                 L"`B` FROM `customer_tbl` WHERE ((`CUSTID` + [1]) * [2]) > [3]");
}

TEST_F(CommandRewriteTest, AComputedColumnGroupedByIsWrittenAsItsExpression) {
  ExpectTemplate(
      Rewrite(L"SELECT CITY || 'x' AS C, COUNT(*) FROM CUSTOMER GROUP BY C", 1, 0),
      L"SELECT CONCAT(`CITY` , ['x']) AS `C`, COUNT(*) FROM `customer_tbl` GROUP BY "
      L"CONCAT(`CITY` , ['x'])");
}

// "||" is a logical OR in MariaDB's default sql_mode: a concatenation
// written so reaches it as CONCAT, chains nested; the function keeps its
// own text; a column named as the computed column it is used in is the
// table's column.
TEST_F(CommandRewriteTest, AConcatenationWithPipesIsWrittenAsConcat) {
  ExpectTemplate(Rewrite(L"SELECT NAME FROM CUSTOMER WHERE NAME || CITY || '!' = 'ab'", 0, 0),
                 L"SELECT `customer_tbl`.`NAME` FROM `customer_tbl` WHERE "
                 L"CONCAT(CONCAT(`customer_tbl`.`NAME` , `CITY`) , ['!']) = ['ab']");
  ExpectTemplate(Rewrite(L"SELECT CITY || 'x' AS CITY FROM CUSTOMER", 0, 0),
                 L"SELECT CONCAT(`CITY` , ['x']) AS `CITY` FROM `customer_tbl`");
}

TEST_F(CommandRewriteTest, AComputedColumnInAChainOfItselfFailsWithError32WithoutCrashing) {
  struct Case {
    const wchar_t* name;
    const wchar_t* query;
  };
  const Case cases[] = {
      {L"itself", L"SELECT NAME, A + 1 AS A FROM CUSTOMER WHERE A > 3"},
      {L"A through B", L"SELECT NAME, B + 1 AS A, A * 2 AS B FROM CUSTOMER WHERE A > 3"},
      {L"A through B through C",
       L"SELECT NAME, B + 1 AS A, C * 2 AS B, A - 1 AS C FROM CUSTOMER WHERE A > 3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
    m_pclError->Reset();
    const Rewritten r = Rewrite(c.query, 1, 0);
    EXPECT_EQ(r.ok, 0);
    EXPECT_EQ(m_pclError->nGetUserErrorCode(), 32u);
  }
  // Without a command: the text of a cyclic column is refused, empty.
  m_pclError->Reset();
  CTString csOut;
  EXPECT_EQ(CNACommand::s_bFormatExpressionColonneCalculee(
                &csOut, Digest(L"SELECT NAME, B + 1 AS A, A * 2 AS B FROM CUSTOMER"), L"A",
                CNASqlElt::SQLELT_WHERE, m_pclError, m_pclConnection),
            0);
  EXPECT_EQ(std::wstring(csOut.pszGet()), L"");
  EXPECT_EQ(m_pclError->nGetUserErrorCode(), 32u);
}

TEST_F(CommandRewriteTest, AComputedColumnForACallerWithoutCommandKeepsItsLiteralsInTheText) {
  struct Case {
    const wchar_t* column;
    const wchar_t* expected;
  };
  // B's own literal and those of A inside it all stay in the text: none
  // becomes a parameter of a command whose parameters go nowhere.
  const Case cases[] = {
      {L"A", L"`CUSTID` + 1"},
      {L"B", L"(`CUSTID` + 1) * 2"},
      {L"NAME", L""},  // not a computed column
  };
  CSQLParserInfo* pclInfo = Digest(L"SELECT NAME, CUSTID + 1 AS A, A * 2 AS B FROM CUSTOMER");
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.column)));
    CTString csOut;
    const int ok = CNACommand::s_bFormatExpressionColonneCalculee(
        &csOut, pclInfo, c.column, CNASqlElt::SQLELT_WHERE, m_pclError, m_pclConnection);
    EXPECT_EQ(ok, *c.expected != L'\0' ? 1 : 0);
    EXPECT_EQ(std::wstring(csOut.pszGet()), c.expected);
  }
}

// ---- ORDER BY

TEST_F(CommandRewriteTest, TheSortIsKeptDroppedOrInvertedAfterAnyBlank) {
  struct Case {
    const wchar_t* items;
    int keepDirection;
    const wchar_t* expected;  // the clause and what follows it
    int stop;
  };
  const Case cases[] = {
      {L"NAME\nDESC, CITY\r\nASC", 0,
       L"ORDER BY `customer_tbl`.`NAME` ASC, `customer_tbl`.`CITY` DESC", 0},
      {L"NAME\nDESC, CITY\r\nASC", 1,
       L"ORDER BY `customer_tbl`.`NAME`\nDESC, `customer_tbl`.`CITY`\r\nASC", 0},
      {L"NAME, CITY", 0, L"ORDER BY `customer_tbl`.`NAME` DESC, `customer_tbl`.`CITY` DESC", 0},
      {L"NAME\tasc LIMIT 5", 0, L"ORDER BY `customer_tbl`.`NAME` DESC LIMIT 5", 0},
      {L"NAME LIMIT 5", 0, L"ORDER BY `customer_tbl`.`NAME` DESC LIMIT 5", 0},
      {L"2 DESC", 0, L"ORDER BY `customer_tbl`.`CITY` ASC", 0},
      // A unique, never-NULL column orders the rows totally: the items
      // after it are not part of the sort.
      {L"CUSTID, NAME DESC", 0, L"ORDER BY `customer_tbl`.`CUSTID` DESC", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.items)));
    const std::wstring q = std::wstring(L"SELECT NAME, CITY, CUSTID FROM CUSTOMER ORDER BY ") +
                           c.items;
    CSQLParserInfo* pclInfo = Digest(q);
    CNACommand* cmd = Command();
    unsigned int nCopy = static_cast<unsigned int>(q.find(L"ORDER"));
    int bStop = -1;
    EXPECT_EQ(cmd->_bFormatORDERBY(pclInfo, &nCopy, q.c_str(), 1, c.keepDirection, 0, &bStop), 1);
    EXPECT_EQ(std::wstring(cmd->pszGetOriginalSQL()) + q.substr(nCopy), c.expected);
    EXPECT_EQ(bStop, c.stop);
  }
}

TEST_F(CommandRewriteTest, TheSortIsDroppedWhereTheParserFoundItNeverInALiteral) {
  struct Case {
    const wchar_t* query;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"SELECT NAME FROM CUSTOMER WHERE CITY = 'ORDER BY x'",
       L"SELECT NAME FROM CUSTOMER WHERE CITY = 'ORDER BY x'"},
      {L"SELECT NAME FROM CUSTOMER WHERE CITY = 'order by' Order By NAME",
       L"SELECT NAME FROM CUSTOMER WHERE CITY = 'order by' "},
      {L"SELECT NAME FROM CUSTOMER\r\nORDER\r\nBY NAME", L"SELECT NAME FROM CUSTOMER\r\n"},
      {L"SELECT NAME FROM CUSTOMER WHERE CUSTID IN (SELECT CUSTID FROM ORDERS ORDER BY "
       L"AMOUNT)",
       L"SELECT NAME FROM CUSTOMER WHERE CUSTID IN (SELECT CUSTID FROM ORDERS ORDER BY "
       L"AMOUNT)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.query)));
    ExpectTemplate(Rewrite(c.query, 0, 1), c.expected);
  }
}

TEST_F(CommandRewriteTest, ASubQueryKeepsItsOwnSortAndTheTextAfterIt) {
  ExpectTemplate(
      Rewrite(L"SELECT NAME FROM CUSTOMER WHERE CUSTID IN (SELECT CUSTID FROM ORDERS ORDER BY "
              L"AMOUNT DESC) AND CITY = 'x' ORDER BY NAME",
              0, 0),
      L"SELECT `customer_tbl`.`NAME` FROM `customer_tbl` WHERE `CUSTID` IN (SELECT "
      L"`orders_tbl`.`CUSTID` FROM `orders_tbl` ORDER BY `orders_tbl`.`AMOUNT` DESC) AND `CITY` = "
      L"['x'] ");
}

TEST_F(CommandRewriteTest, AnOrderByOnAnExpressionOutsideTheListWritesTheExpression) {
  ExpectTemplate(Rewrite(L"SELECT NAME FROM CUSTOMER ORDER BY CUSTID * 2 DESC", 1, 0),
                 L"SELECT `customer_tbl`.`NAME` FROM `customer_tbl` ORDER BY `CUSTID` * [2] DESC");
  ExpectTemplate(Rewrite(L"SELECT NAME, CUSTID * 2 FROM CUSTOMER ORDER BY CUSTID * 2 DESC", 1, 0),
                 L"SELECT `customer_tbl`.`NAME`, `CUSTID` * [2] FROM `customer_tbl` ORDER BY 2 "
                 L"DESC");
}

// ---- Another command's condition in WHERE

TEST_F(CommandRewriteTest, AnotherConditionIsMergedIntoWhereWithAnd) {
  struct Case {
    const wchar_t* query;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"SELECT NAME FROM CUSTOMER WHERE CUSTID = 5 ORDER BY NAME",
       L"SELECT `customer_tbl`.`NAME` FROM `customer_tbl` WHERE ( `CUSTID` = [5]) AND (X = [7]) "
       L"ORDER BY `customer_tbl`.`NAME`"},
      {L"SELECT NAME FROM CUSTOMER ORDER BY NAME",
       L"SELECT `customer_tbl`.`NAME` FROM `customer_tbl` WHERE  X = [7] ORDER BY "
       L"`customer_tbl`.`NAME`"},
      {L"SELECT CITY FROM CUSTOMER GROUP BY CITY",
       L"SELECT `customer_tbl`.`CITY` FROM `customer_tbl` WHERE  X = [7] GROUP BY "
       L"`customer_tbl`.`CITY`"},
      {L"SELECT NAME FROM CUSTOMER",
       L"SELECT `customer_tbl`.`NAME` FROM `customer_tbl` WHERE X = [7] "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.query)));
    ExpectTemplate(Rewrite(c.query, 1, 0, OtherCondition(7)), c.expected);
  }
}

// ---- Tokens of a query the parser did not split

TEST_F(CommandRewriteTest, EachTokenIsReplacedOnceAtItsOwnPlace) {
  struct Ref {
    const wchar_t* table;
    const wchar_t* item;
    int start, length;
  };
  struct Mark {
    const wchar_t* name;
    int start, length;
  };
  struct Case {
    const wchar_t* name;
    const wchar_t* text;
    std::vector<Ref> refs;
    std::vector<Mark> marks;
    const wchar_t* expected;  // "[]" marks a parameter
  };
  const Case cases[] = {
      {L"marker at the text's start, before the first reference", L"{p} = a AND b = {q}",
       {{L"", L"a", 6, 1}, {L"", L"b", 12, 1}}, {{L"p", 0, 3}, {L"q", 16, 3}},
       L"[] = `a` AND `b` = []"},
      {L"reference at the text's start", L"t.a = {p} OR a<{q}",
       {{L"t", L"a", 0, 3}, {L"", L"a", 13, 1}}, {{L"p", 6, 3}, {L"q", 15, 3}},
       L"`t`.`a` = [] OR `a`<[]"},
      {L"two markers after one reference", L"a BETWEEN {p} AND {q}", {{L"", L"a", 0, 1}},
       {{L"p", 10, 3}, {L"q", 18, 3}}, L"`a` BETWEEN [] AND []"},
      {L"tokens back to back", L"{p}{q}a", {{L"", L"a", 6, 1}}, {{L"p", 0, 3}, {L"q", 3, 3}},
       L"[][]`a`"},
      {L"no token", L"SELECT 1", {}, {}, L"SELECT 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
    std::vector<_stTabValReference> refs;
    for (const Ref& r : c.refs) refs.push_back({r.table, r.item, r.start, r.length});
    std::vector<_stTabValMarqueur> marks;
    for (const Mark& m : c.marks) marks.push_back({nullptr, m.start, m.length, kUserParameter, m.name});
    CTabValParser tokens{static_cast<int32_t>(marks.size()), marks.empty() ? nullptr : marks.data(),
                         static_cast<int32_t>(refs.size()), refs.empty() ? nullptr : refs.data()};
    CNACommand* cmd = Command();
    EXPECT_EQ(cmd->_bAddClause(&tokens, c.text, nullptr, 0), 1);
    std::vector<unsigned int> positions;
    std::wstring expected = StatementOf(c.expected, &positions);
    EXPECT_EQ(std::wstring(cmd->pszGetOriginalSQL()), expected);
    ASSERT_EQ(cmd->nGetParameterNbr(), marks.size());
    for (unsigned int i = 0; i < cmd->nGetParameterNbr(); ++i) {
      CNAParameter* p = cmd->pclGetParameterNoRef(i);
      EXPECT_EQ(p->nGetPosition(), positions[i]) << i;
      EXPECT_EQ(p->nGetFlags(), kUserParameter);
      EXPECT_EQ(std::wstring(p->pszGetName()), std::wstring(c.marks[i].name));
    }
  }
}

TEST_F(CommandRewriteTest, NamesOfAConditionTextAreWrittenFromWhatTheParserKnows) {
  // The parser's whole token table in WHERE mode: known columns are
  // written through the dialect (an output column with its table), an
  // unknown one stays as written, each marker becomes the parameter at its
  // place.
  CSQLParserInfo* pclInfo =
      Digest(L"SELECT NAME FROM CUSTOMER WHERE CITY = {p} AND x.ZIP = {q}", false);
  CNACommand* cmd = Command();
  EXPECT_EQ(cmd->bComplete(pclInfo->piGetParserInformationNoRef()), 1);
  std::vector<unsigned int> positions;
  EXPECT_EQ(std::wstring(cmd->pszGetOriginalSQL()),
            StatementOf(L"SELECT `customer_tbl`.`NAME` FROM CUSTOMER WHERE `CITY` = [] AND "
                        L"x.ZIP = []",
                        &positions));
  ASSERT_EQ(cmd->nGetParameterNbr(), 2u);
  EXPECT_EQ(cmd->pclGetParameterNoRef(0)->nGetPosition(), positions[0]);
  EXPECT_EQ(cmd->pclGetParameterNoRef(1)->nGetPosition(), positions[1]);
}

TEST_F(CommandRewriteTest, ATokenOutsideTheTextOrOverAnotherIsRefused) {
  const wchar_t* pszText = L"a = {p}";
  const std::vector<std::vector<_stTabValMarqueur>> tables = {
      {{nullptr, 4, 9, kUserParameter, L"p"}},                                       // past the end
      {{nullptr, -1, 3, kUserParameter, L"p"}},                                      // before it
      {{nullptr, 4, 3, kUserParameter, L"p"}, {nullptr, 5, 2, kUserParameter, L"q"}},  // overlap
  };
  for (const auto& marks : tables) {
    m_pclError->Reset();
    CTabValParser tokens{static_cast<int32_t>(marks.size()), marks.data(), 0, nullptr};
    EXPECT_EQ(Command()->_bAddClause(&tokens, pszText, nullptr, 0), 0);
    EXPECT_EQ(m_pclError->nGetUserErrorCode(), 44u);
  }
}

TEST_F(CommandRewriteTest, AQueryOutsideTheSubsetGetsItsMarkersAsParameters) {
  const std::wstring q = L"CALL proc({first}, 'it''s {not}', {second})";
  const Rewritten r = Rewrite(q, 1, 0, nullptr, false);
  EXPECT_EQ(r.ok, 1);
  EXPECT_EQ(r.statement, L"CALL proc(, 'it''s {not}', )");
  ASSERT_EQ(r.params.size(), 2u);
  EXPECT_EQ(r.params[0], (Param{10, kUserParameter, -1}));
  EXPECT_EQ(r.params[1], (Param{27, kUserParameter, -1}));
  // Through the parser's whole token table, as an unsplit condition is
  // completed.
  CNACommand* cmd = Command();
  EXPECT_EQ(cmd->bComplete(Digest(q, false)->piGetParserInformationNoRef()), 1);
  EXPECT_EQ(std::wstring(cmd->pszGetOriginalSQL()), L"CALL proc(, 'it''s {not}', )");
  EXPECT_EQ(cmd->nGetParameterNbr(), 2u);
}

// ---- What the dialect cannot express, and other dialects

TEST_F(CommandRewriteTest, AnOperationMariaDBCannotExpressFailsWithError48) {
  CSQLParserInfo* pclInfo = Digest(L"SELECT NAME FROM CUSTOMER WHERE CITY = UPPER(NAME)");
  // The parser gives such a node for a function the dialect has no words
  // for; the comparison's second operand plays it here.
  auto* pclWhere = static_cast<CStandInExpression*>(pclInfo->piGetConditionWhereNoRef());
  pclWhere->pclGetOperand(1)->m_eOp = OPEXP_INEXPRIMABLE;
  CNACommand* cmd = Command();
  EXPECT_EQ(cmd->bFormatCondition(pclInfo, nullptr, 1, 0), 0);
  EXPECT_EQ(m_pclError->nGetUserErrorCode(), 48u);
  EXPECT_NE(std::wstring(m_pclError->pszGetError()).find(L"MariaDB"), std::wstring::npos)
      << m_pclError->pszGetError();
}

TEST_F(CommandRewriteTest, ANodeWithoutPositionIsLeftInTheCopiedText) {
  // A literal the parser did not locate is no parameter: its text goes with
  // the text around it.
  CSQLParserInfo* pclInfo = Digest(L"SELECT NAME FROM CUSTOMER WHERE CITY = 'x' AND CUSTID = 2");
  auto* pclWhere = static_cast<CStandInExpression*>(pclInfo->piGetConditionWhereNoRef());
  CStandInExpression* pclLiteral = pclWhere->pclGetOperand(0)->pclGetOperand(1);
  pclLiteral->m_posElement = pclLiteral->m_posWhole = kStandInNoPosition;
  CNACommand* cmd = Command();
  const int ok = cmd->bFormatCondition(pclInfo, nullptr, 1, 0);
  ExpectTemplate(Read(cmd, ok),
                 L"SELECT `customer_tbl`.`NAME` FROM `customer_tbl` WHERE `CITY` = 'x' AND "
                 L"`CUSTID` = [2]");
}

TEST_F(CommandRewriteTest, FunctionNamesAreReplacedOnlyForOtherServerKinds) {
  struct Case {
    int kind;
    const wchar_t* condition;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {5, L"UPPER(NAME) = 'X'", L"UPPER(`customer_tbl`.`NAME`) = "},
      {5, L"SUBSTRING(NAME, 1, 2) = 'X'", L"SUBSTRING(`customer_tbl`.`NAME`, [1], [2]) = "},
      {7, L"UPPER(NAME) = 'X'", L"UCASE(`customer_tbl`.`NAME`) = "},
      {7, L"SUBSTRING(NAME, 1, 2) = 'X'", L"SYSIBM.SUBSTR(`customer_tbl`.`NAME`, [1], [2]) = "},
      {1, L"SUBSTR(NAME, 1, 2) = 'X'", L"SUBSTR(customer_tbl.NAME, [1], [2]) = "},
      {11, L"LTRIM(NAME) = 'X'", L"TRIM(LEADING FROM `customer_tbl`.`NAME`) = "},
      {11, L"COALESCE(NAME, CITY) = 'X'", L"NVL(`customer_tbl`.`NAME`, `CITY`) = "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.condition)) + " kind " +
                 std::to_string(c.kind));
    m_pclConnection->SetKind(c.kind);
    const std::wstring q = std::wstring(L"SELECT NAME FROM CUSTOMER WHERE ") + c.condition;
    CNACommand* cmd = Command();
    EXPECT_EQ(cmd->bFormatCondition(Digest(q), nullptr, 1, 0), 1);
    const std::wstring statement = cmd->pszGetOriginalSQL();
    const std::wstring where = statement.substr(statement.find(L"WHERE ") + 6);
    EXPECT_EQ(where, StatementOf(c.expected, nullptr));
  }
  m_pclConnection->SetKind(kServerKindMariaDB);
}

}  // namespace
}  // namespace kqtest
