// The operands of parsed expressions, over the stand-in parser: columns
// written with their real table and item names (aliases of output columns,
// outer-join marks, dates and times compared as text), literals turned into
// typed parameters at their place (LIKE patterns with their escape, partial
// dates completed, times as text), literals that stay in the text written
// from their value, the literal types operators ask for, what an operator
// leaves of the current column, and comparisons of dates with an empty
// literal.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "host/parser/standin_analysis.h"
#include "host/parser/standin_sql_parser.h"
#include "items/convert_variant.h"
#include "items/data_source_description.h"
#include "items/record.h"
#include "kq230/item_description_interface.h"
#include "kq230/sql_parser_interface.h"
#include "kq230/vm_values.h"
#include "mariadb/mysql_connection.h"
#include "mariadb/mysql_driver.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/expression.h"
#include "sqlbuilder/filter.h"
#include "sqlbuilder/parsed_query_info.h"
#include "sqlbuilder/record_search.h"
#include "tests/host/standin_any_maker.h"
#include "tests/items/record_test_support.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/values/bound_values.h"
#include "values/any.h"

namespace kqtest {
namespace {

constexpr int kI4 = 5, kTexte = 2, kHeure = 11, kDate8 = 14, kDateTime = 24;
constexpr unsigned short kPrimary = 0x8000;
using Kind = CNASqlElt::eSQLELT;

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
// code page and its NULL order may be chosen.
class OperandConnection : public CMySQLConnection {
 public:
  OperandConnection(INAConnectionDescription* piHost, int nCodePage)
      : CMySQLConnection(L"Connection=operands", piHost) {
    _SetConnectionCodePage(nCodePage);
  }
  int bNULLBeforeNotNULL() override { return m_bNullFirst; }
  void SetCodePage(int nCodePage) { _SetConnectionCodePage(nCodePage); }
  int m_bNullFirst = 1;
};

// A command whose statement text the operand writers may be given directly.
class OperandCommand : public CNACommand {
 public:
  using CNACommand::CNACommand;
  CTStringConcatAW* Out() { return &m_clText; }
};

class CommandOperandsParsed : public BoundValuesTest {
 protected:
  void SetUp() override {
    BoundValuesTest::SetUp();
    m_nParserLive = StandInParserCounts::g_nLive;
    m_nDescriptionsLive = StandInDescriptionCounts::g_nLive;
    m_pclDriver = new CMySQLDriver();
    m_pclDriver->ExternalAddRef();
    m_pclError = new CNAError;
    m_pclError->AddRef();
    m_pclConnection = new OperandConnection(&m_host, 65001);
    m_pclConnection->AddRef();
    m_pAnalysis = std::make_unique<CStandInAnalysis>();
    CStandInDescription* p = CStandInDescription::pclNew(
        L"CUSTOMER",
        {Decl(L"CUSTID", kI4, 4, kPrimary), Decl(L"NAME", kTexte, 31), Decl(L"CITY", kTexte, 21),
         Decl(L"BORN", kDate8, 8), Decl(L"AT", kHeure, 9), Decl(L"STAMP", kDateTime, 17)},
        12);
    ASSERT_NE(p, nullptr);
    m_pAnalysis->AddTable(p, L"customer_tbl");
    p->nExternalRelease();
  }
  void TearDown() override {
    for (INAItemDescription* pi : m_items) pi->nExternalRelease();
    for (CNACommand* p : m_commands) p->nRelease();
    for (CSQLParserInfo* p : m_digests) p->nRelease();
    m_pclConnection->nRelease();
    m_pclError->nRelease();
    m_pAnalysis.reset();
    EXPECT_EQ(StandInParserCounts::g_nLive, m_nParserLive) << "parser objects left";
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, m_nDescriptionsLive) << "descriptions left";
    EXPECT_EQ(m_host.nOutstanding(), 0);
    EXPECT_EQ(m_pclDriver->nExternalRelease(), 0);
    BoundValuesTest::TearDown();
  }

  // A digest of the query, released at the end of the test.
  CSQLParserInfo* Digest(const std::wstring& q) {
    CStandInSQLParser clParser(m_pAnalysis.get());
    CStandInSQLInfo* piInfo = clParser.pclParse(q.c_str());
    EXPECT_EQ(clParser.strGetLastError(), L"") << testing::PrintToString(q);
    CSQLParserInfo* p = new CSQLParserInfo(m_pclError, piInfo, nullptr, 0);
    p->AddRef();
    piInfo->Release();
    m_digests.push_back(p);
    return p;
  }
  // A command over the digest, released at the end of the test.
  OperandCommand* Command(CSQLParserInfo* pclInfo) {
    auto* p = new OperandCommand(m_pclError, m_pclConnection);
    p->AddRef();
    p->_SetSQLParserInfo(pclInfo);
    m_commands.push_back(p);
    return p;
  }
  // The parser's description of a CUSTOMER item, released at the end.
  INAItemDescription* Item(CSQLParserInfo* pclInfo, const wchar_t* pszItem) {
    INAItemDescription* pi =
        pclInfo->piGetParserInformationNoRef()->piGetNAItemDescription(L"CUSTOMER", pszItem);
    EXPECT_NE(pi, nullptr);
    if (pi != nullptr) m_items.push_back(pi);
    return pi;
  }
  static CStandInExpression* Where(CSQLParserInfo* pclInfo) {
    return static_cast<CStandInExpression*>(pclInfo->piGetConditionWhereNoRef());
  }
  static std::wstring Text(CNACommand* pclCommand) { return pclCommand->pszGetOriginalSQL(); }
  static std::wstring Formatted(CNACommand* pclCommand) {
    const wchar_t* psz = pclCommand->pszGetFormatedSQL(CNACommand::NA_PTC_ALL);
    return psz != nullptr ? std::wstring(psz) : std::wstring(L"<refused>");
  }
  static unsigned int Start(IExpOpExpression* pi) {
    return static_cast<unsigned int>(pi->stGetPositionElement().nDebut);
  }
  static unsigned int End(IExpOpExpression* pi) {
    return static_cast<unsigned int>(pi->stGetPositionElement().nFin);
  }
  // The value a parameter holds now, as wide text.
  static std::wstring ValueText(CNAParameter* pclParameter) {
    CAny v;
    if (!pclParameter->pclGetValueNoRef()->bGetValue(&v)) return L"<unread>";
    CXYString<wchar_t> s;
    if (v.__nFillString(s, nullptr) > kVXLastSuccess) return L"<untext>";
    return std::wstring(s.pszGet(), static_cast<size_t>(s.nGetLongueur()));
  }

  StandInAnyMakerScope m_values;
  HostConnectionFake m_host;
  CMySQLDriver* m_pclDriver = nullptr;
  CNAError* m_pclError = nullptr;
  OperandConnection* m_pclConnection = nullptr;
  std::unique_ptr<CStandInAnalysis> m_pAnalysis;
  std::vector<CSQLParserInfo*> m_digests;
  std::vector<CNACommand*> m_commands;
  std::vector<INAItemDescription*> m_items;
  int m_nParserLive = 0;
  int m_nDescriptionsLive = 0;
};

// ---- Columns

TEST_F(CommandOperandsParsed, AColumnIsWrittenWithItsRealTableAndItemName) {
  struct Case {
    const wchar_t* query;
    bool having;
    const wchar_t* expected;
    bool described;  // the parser knows the item
  };
  const Case cases[] = {
      {L"SELECT NAME FROM CUSTOMER WHERE CITY = 'x'", false, L"`CITY`", true},
      {L"SELECT NAME FROM CUSTOMER WHERE customer.city = 'x'", false, L"`customer_tbl`.`CITY`",
       true},
      // An output column's alias: the column's table (an alias of the query
      // stays) and its name in the table.
      {L"SELECT c.NAME AS N FROM CUSTOMER c WHERE N = 'x'", false, L"`c`.`NAME`", true},
      {L"SELECT c.NAME FROM CUSTOMER c WHERE c.city = 'x'", false, L"`c`.`CITY`", true},
      // In HAVING on MariaDB the name stays as the query writes it.
      {L"SELECT c.NAME AS N FROM CUSTOMER c GROUP BY c.NAME HAVING N > 'a'", true, L"`N`", false},
      {L"SELECT c.NAME AS N FROM CUSTOMER c GROUP BY c.NAME HAVING c.NAME > 'a'", true,
       L"`c`.`NAME`", false},
      {L"SELECT NAME FROM CUSTOMER GROUP BY NAME HAVING CUSTOMER.NAME > 'a'", true,
       L"`customer_tbl`.`NAME`", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.query)));
    CSQLParserInfo* pclInfo = Digest(c.query);
    OperandCommand* pclCommand = Command(pclInfo);
    auto* piTree = static_cast<CStandInExpression*>(c.having ? pclInfo->piGetConditionHavingNoRef()
                                                            : pclInfo->piGetConditionWhereNoRef());
    ASSERT_NE(piTree, nullptr);
    CStandInExpression* piColumn = piTree->pclGetOperand(0);
    unsigned int nCopy = Start(piColumn);
    INAItemDescription* piItem = nullptr;
    EXPECT_EQ(pclCommand->_bDoExpressionColonne(
                  pclInfo, nullptr, pclInfo->pszGetRequete(), piTree, piColumn,
                  c.having ? CNASqlElt::SQLELT_HAVING : CNASqlElt::SQLELT_WHERE, &nCopy,
                  pclCommand->Out(), &piItem),
              1)
        << m_pclError->StringDump().pszGet();
    EXPECT_EQ(Text(pclCommand), c.expected);
    EXPECT_EQ(nCopy, End(piColumn) + 1);
    if (!c.having) {
      EXPECT_EQ(piItem != nullptr, c.described);
    }
    if (piItem != nullptr) piItem->nExternalRelease();
  }
}

TEST_F(CommandOperandsParsed, AnOuterJoinColumnIsFollowedByItsMark) {
  CSQLParserInfo* pclInfo = Digest(L"SELECT NAME FROM CUSTOMER WHERE CITY = 'x'");
  OperandCommand* pclCommand = Command(pclInfo);
  CStandInExpression* piColumn = Where(pclInfo)->pclGetOperand(0);
  piColumn->m_bOuterJoin = true;
  unsigned int nCopy = Start(piColumn);
  INAItemDescription* piItem = nullptr;
  EXPECT_EQ(pclCommand->_bDoExpressionColonne(pclInfo, nullptr, pclInfo->pszGetRequete(),
                                              Where(pclInfo), piColumn, CNASqlElt::SQLELT_WHERE,
                                              &nCopy, pclCommand->Out(), &piItem),
            1);
  EXPECT_EQ(Text(pclCommand), L"`CITY`(+)");
  if (piItem != nullptr) piItem->nExternalRelease();
  // An UPDATE target: its physical table, and the mark.
  OperandCommand* pclTarget = Command(pclInfo);
  CSQLParserInfo* pclQualified = Digest(L"SELECT NAME FROM CUSTOMER WHERE CUSTOMER.CITY = 'x'");
  CStandInExpression* piQualified = Where(pclQualified)->pclGetOperand(0);
  piQualified->m_bOuterJoin = true;
  nCopy = Start(piQualified);
  EXPECT_EQ(pclTarget->_bDoExpressionColonne(pclQualified, pclQualified->pszGetRequete(),
                                             piQualified, &nCopy, pclTarget->Out()),
            1);
  EXPECT_EQ(Text(pclTarget), L"`customer_tbl`.`CITY`(+)");
  EXPECT_EQ(nCopy, End(piQualified) + 1);
}

TEST_F(CommandOperandsParsed, AComputedColumnIsItsExpressionAndNeverItself) {
  CSQLParserInfo* pclInfo =
      Digest(L"SELECT CUSTID + 1 AS NEXTID FROM CUSTOMER WHERE NEXTID * 2 > 10");
  CStandInExpression* piProduct = Where(pclInfo)->pclGetOperand(0);
  CStandInExpression* piColumn = piProduct->pclGetOperand(0);
  // In parentheses: the product takes the whole expression.
  OperandCommand* pclCommand = Command(pclInfo);
  pclCommand->bComplete(L"w ");
  unsigned int nCopy = Start(piColumn);
  INAItemDescription* piItem = nullptr;
  EXPECT_EQ(pclCommand->_bDoExpressionColonne(pclInfo, nullptr, pclInfo->pszGetRequete(),
                                              piProduct, piColumn, CNASqlElt::SQLELT_WHERE,
                                              &nCopy, pclCommand->Out(), &piItem),
            1)
      << m_pclError->StringDump().pszGet();
  EXPECT_EQ(Text(pclCommand), L"w (`CUSTID` + )");
  ASSERT_EQ(pclCommand->nGetParameterNbr(), 1u);
  EXPECT_EQ(pclCommand->pclGetParameterNoRef(0)->nGetPosition(), 14u);
  EXPECT_EQ(Formatted(pclCommand), L"w (`CUSTID` + 1 )");
  if (piItem != nullptr) piItem->nExternalRelease();

  // While that column is being written, naming it is user error 32.
  OperandCommand* pclSelf = Command(pclInfo);
  pclSelf->_SetComputedColumn(pclInfo->piEnumRubriqueOUT(L"NEXTID"));
  nCopy = Start(piColumn);
  m_pclError->Reset();
  EXPECT_EQ(pclSelf->_bDoExpressionColonne(pclInfo, nullptr, pclInfo->pszGetRequete(), piProduct,
                                           piColumn, CNASqlElt::SQLELT_WHERE, &nCopy,
                                           pclSelf->Out(), &piItem),
            0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 32u);
  EXPECT_EQ(Text(pclSelf), L"");
  pclSelf->_SetComputedColumn(nullptr);
}

TEST_F(CommandOperandsParsed, DateAndTimeColumnsAreComparedAsTextWhereTheOperatorNeedsIt) {
  struct Case {
    const wchar_t* condition;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"STAMP LIKE '2019%'", L"SUBSTR(DATE_FORMAT(`STAMP`,'%Y%m%d%H%i%S%f'), 1, 17)"},
      {L"BORN LIKE '2019%'", L"DATE_FORMAT(`BORN`,'%Y%m%d')"},
      {L"BORN = '20190101'", L"`BORN`"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.condition)));
    CSQLParserInfo* pclInfo = Digest(std::wstring(L"SELECT NAME FROM CUSTOMER WHERE ") + c.condition);
    OperandCommand* pclCommand = Command(pclInfo);
    CStandInExpression* piColumn = Where(pclInfo)->pclGetOperand(0);
    unsigned int nCopy = Start(piColumn);
    INAItemDescription* piItem = nullptr;
    EXPECT_EQ(pclCommand->_bDoExpressionColonne(pclInfo, nullptr, pclInfo->pszGetRequete(),
                                                Where(pclInfo), piColumn, CNASqlElt::SQLELT_WHERE,
                                                &nCopy, pclCommand->Out(), &piItem),
              1);
    EXPECT_EQ(Text(pclCommand), c.expected);
    if (piItem != nullptr) piItem->nExternalRelease();
  }
}

TEST_F(CommandOperandsParsed, ANameOfAnUnparsedConditionIsWrittenAsItsTablesItem) {
  CSQLParserInfo* pclInfo = Digest(L"SELECT c.NAME AS N FROM CUSTOMER c");
  ISQLParserInformation* piParser = pclInfo->piGetParserInformationNoRef();
  OperandCommand* pclCommand = Command(pclInfo);
  struct Case {
    const wchar_t* table;
    const wchar_t* item;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"CUSTOMER", L"city", L"`customer_tbl`.`CITY`"},
      {L"", L"N", L"`c`.`NAME`"},  // the output column's alias: its table's alias
      {L"CUSTOMER", L"NOPE", L"NOPE"},      // unknown: as the query writes it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.item)));
    CTString csItem(c.item);
    pclCommand->_FormatItemNameInWHEREClause(piParser, c.table, &csItem, nullptr);
    EXPECT_EQ(std::wstring(csItem.pszGet()), c.expected);
  }
}

// ---- Literals

TEST_F(CommandOperandsParsed, ALiteralBecomesATypedParameterAtItsPlace) {
  struct Case {
    const wchar_t* condition;
    const wchar_t* item;  // the column compared with
    unsigned int flags;
    int op;
    wchar_t escape;
    const wchar_t* value;      // the parameter's value once typed
    const wchar_t* formatted;  // after the column's text "c "
  };
  const Case cases[] = {
      {L"CUSTID = 5", L"CUSTID", 0x80000, 9, 0, L"5", L"c 5"},
      {L"NAME LIKE 'a!%%' ESCAPE '!'", L"NAME", 0xC0000, 32, L'!', L"a!%%",
       L"c 'a!%%' ESCAPE '!'"},
      // Without ESCAPE the backslash escapes, as the server's parser reads it.
      {L"NAME LIKE 'it''s\\%'", L"NAME", 0xC0000, 32, 0, L"it's\\%", L"c 'it''s!%' ESCAPE '!'"},
      // A partial date is completed at its minimum before the cast.
      {L"BORN = '2019'", L"BORN", 0x80000, 9, 0, L"20190101", L"c '2019-01-01'"},
      {L"BORN <> '201903'", L"BORN", 0x80000, 10, 0, L"20190301", L"c '2019-03-01'"},
      {L"STAMP = '20190305'", L"STAMP", 0x80000, 9, 0, L"20190305000000000",
       L"c '2019-03-05 00:00:00.000'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.condition)));
    CSQLParserInfo* pclInfo = Digest(std::wstring(L"SELECT NAME FROM CUSTOMER WHERE ") + c.condition);
    OperandCommand* pclCommand = Command(pclInfo);
    CStandInExpression* piLiteral = Where(pclInfo)->pclGetOperand(1);
    pclCommand->bComplete(L"c ");
    unsigned int nCopy = Start(piLiteral);
    ASSERT_EQ(pclCommand->_bDoExpressionLiteral(pclInfo, pclInfo->pszGetRequete(), Where(pclInfo),
                                                piLiteral, CNASqlElt::SQLELT_WHERE,
                                                Item(pclInfo, c.item), &nCopy, pclCommand->Out(),
                                                NA_IT_EMPTY),
              1)
        << m_pclError->StringDump().pszGet();
    EXPECT_EQ(nCopy, End(piLiteral) + 1);
    EXPECT_EQ(Text(pclCommand), L"c ");
    ASSERT_EQ(pclCommand->nGetParameterNbr(), 1u);
    CNAParameter* pclParameter = pclCommand->pclGetParameterNoRef(0);
    EXPECT_EQ(pclParameter->nGetPosition(), 2u);
    EXPECT_EQ(pclParameter->nGetFlags(), c.flags);
    EXPECT_EQ(static_cast<int>(pclParameter->eGetOperator()), c.op);
    EXPECT_EQ(pclParameter->cGetEscapeLike(), c.escape);
    EXPECT_EQ(ValueText(pclParameter), c.value);
    EXPECT_EQ(Formatted(pclCommand), c.formatted) << m_pclError->StringDump().pszGet();
  }
}

TEST_F(CommandOperandsParsed, ATimeComparedAsTextTakesTheDigitsOfItsColumn) {
  // Equality: the column's text, the literal completed at its minimum.
  CSQLParserInfo* pclInfo = Digest(L"SELECT NAME FROM CUSTOMER WHERE AT = '1230'");
  OperandCommand* pclCommand = Command(pclInfo);
  CStandInExpression* piRoot = Where(pclInfo);
  INAItemDescription* piAt = Item(pclInfo, L"AT");
  INAItemDescription* piItem = piAt;
  piItem->ExternalAddRef();
  EXPECT_EQ(pclCommand->_eTypeParameter(CNASqlElt::SQLELT_WHERE, piRoot, 1, NA_IT_EMPTY, &piItem),
            NA_IT_TEXTE);
  EXPECT_EQ(piItem, piAt);  // a comparison keeps the column
  piItem->nExternalRelease();
  unsigned int nCopy = Start(piRoot->pclGetOperand(1));
  ASSERT_EQ(pclCommand->_bDoExpressionLiteral(pclInfo, pclInfo->pszGetRequete(), piRoot,
                                              piRoot->pclGetOperand(1), CNASqlElt::SQLELT_WHERE,
                                              piAt, &nCopy, pclCommand->Out(), NA_IT_TEXTE),
            1);
  ASSERT_EQ(pclCommand->nGetParameterNbr(), 1u);
  EXPECT_EQ(ValueText(pclCommand->pclGetParameterNoRef(0)), L"123000000");

  // A time value under LIKE: its digits cut or padded to the column's
  // record text, a pattern's "%" kept at its end.
  struct Case {
    const wchar_t* time;
    int op;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"123456789", 32, L"12345678"},
      {L"12", 32, L"12000000"},
      {L"12%", 32, L"12%"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.time)));
    CNAConvertVariant* pclHolder = pclCommand->_vpclAllocVariant();
    pclHolder->AddRef();
    CAny v;
    v.__SetType(VX_TIMEW, 0);
    v.SetValueByte(c.time, static_cast<unsigned int>(std::wcslen(c.time) * sizeof(wchar_t)));
    pclHolder->InitTypeVariantAny(VX_TIMEW, 0);
    ASSERT_TRUE(pclHolder->bSetValue(&v));
    pclCommand->FormatExpressionLiteral(CNASqlElt::SQLELT_WHERE, static_cast<eOPEXPRESSION>(c.op),
                                        nullptr, piAt, NA_IT_TEXTE, pclHolder);
    CAny out;
    ASSERT_TRUE(pclHolder->bGetValue(&out));
    CXYString<wchar_t> s;
    out.__nFillString(s, nullptr);
    EXPECT_EQ(std::wstring(s.pszGet()), c.expected);
    pclHolder->nRelease();
  }
}

TEST_F(CommandOperandsParsed, ALiteralThatStaysInTheTextIsWrittenFromItsValue) {
  // The literal-binding flag at 0 (a computed column written as text): the
  // literal is written by the connection's writer, in a form every sql_mode
  // reads alike, never copied as the query spells it.
  struct Case {
    const wchar_t* condition;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"CUSTID = 5", L"5"},
      {L"NAME = 'it''s'", L"'it''s'"},
      {L"NAME = 'C:\\'", L"_utf8mb4 X'433A5C'"},
      {L"NAME = 'a\\'' OR 1=1 -- '", L"_utf8mb4 X'615C27204F5220313D31202D2D20'"},
      {L"NAME LIKE 'a\\%'", L"'a!%' ESCAPE '!'"},
      {L"NAME LIKE 'a#%\\' ESCAPE '#'", L"_utf8mb4 X'6121255C' ESCAPE '!'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.condition)));
    CSQLParserInfo* pclInfo = Digest(std::wstring(L"SELECT NAME FROM CUSTOMER WHERE ") + c.condition);
    OperandCommand* pclCommand = Command(pclInfo);
    pclCommand->_SetLiteralBinding(0);
    CStandInExpression* piRoot = Where(pclInfo);
    CStandInExpression* piLiteral = piRoot->pclGetOperand(1);
    unsigned int nCopy = Start(piLiteral);
    ASSERT_EQ(pclCommand->_bDoExpressionLiteral(pclInfo, pclInfo->pszGetRequete(), piRoot,
                                                piLiteral, CNASqlElt::SQLELT_WHERE, nullptr,
                                                &nCopy, pclCommand->Out(), NA_IT_EMPTY),
              1)
        << m_pclError->StringDump().pszGet();
    EXPECT_EQ(Text(pclCommand), c.expected);
    EXPECT_EQ(pclCommand->nGetParameterNbr(), 0u);
    // The query's own ESCAPE clause is not copied after the pattern.
    const unsigned int nEnd = static_cast<unsigned int>(piRoot->stGetPosition().nFin) + 1;
    EXPECT_EQ(nCopy, piRoot->cGetEscape() != 0 ? nEnd : End(piLiteral) + 1);
  }
}

TEST_F(CommandOperandsParsed, AParameterWithoutValueIsNamedAndAnUnlocatedLiteralStays) {
  CSQLParserInfo* pclInfo = Digest(L"SELECT NAME FROM CUSTOMER WHERE NAME = {pz9}");
  OperandCommand* pclCommand = Command(pclInfo);
  CStandInExpression* piLiteral = Where(pclInfo)->pclGetOperand(1);
  // Bound: a named parameter whose value the server gives when it runs.
  unsigned int nCopy = Start(piLiteral);
  m_pclError->Reset();
  EXPECT_EQ(pclCommand->_bDoExpressionLiteral(pclInfo, pclInfo->pszGetRequete(), Where(pclInfo),
                                              piLiteral, CNASqlElt::SQLELT_WHERE, nullptr, &nCopy,
                                              pclCommand->Out(), NA_IT_EMPTY),
            1);
  ASSERT_EQ(pclCommand->nGetParameterNbr(), 1u);
  CNAParameter* pclParameter = pclCommand->pclGetParameterNoRef(0);
  EXPECT_STREQ(pclParameter->pszGetName(), L"pz9");
  EXPECT_EQ(pclParameter->nGetFlags(), 0x80000u | 0x10000u);
  EXPECT_EQ(nCopy, End(piLiteral) + 1);
  // Written into the text (no binding), it has no value to be written from:
  // user error 44, the message naming it.
  pclCommand->_SetLiteralBinding(0);
  nCopy = Start(piLiteral);
  m_pclError->Reset();
  EXPECT_EQ(pclCommand->_bDoExpressionLiteral(pclInfo, pclInfo->pszGetRequete(), Where(pclInfo),
                                              piLiteral, CNASqlElt::SQLELT_WHERE, nullptr, &nCopy,
                                              pclCommand->Out(), NA_IT_EMPTY),
            0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 44u);
  EXPECT_NE(std::wstring(m_pclError->StringDump().pszGet()).find(L"pz9"), std::wstring::npos)
      << m_pclError->StringDump().pszGet();
  pclCommand->_SetLiteralBinding(1);
  pclCommand->ResetCommand(0);

  CSQLParserInfo* pclOther = Digest(L"SELECT NAME FROM CUSTOMER WHERE CUSTID = 5");
  CStandInExpression* piFive = Where(pclOther)->pclGetOperand(1);
  piFive->m_posElement = kStandInNoPosition;
  nCopy = 7;
  EXPECT_EQ(pclCommand->_bDoExpressionLiteral(pclOther, pclOther->pszGetRequete(), Where(pclOther),
                                              piFive, CNASqlElt::SQLELT_WHERE, nullptr, &nCopy,
                                              pclCommand->Out(), NA_IT_EMPTY),
            1);
  EXPECT_EQ(nCopy, 7u);
  EXPECT_EQ(pclCommand->nGetParameterNbr(), 0u);
}

TEST_F(CommandOperandsParsed, ALiteralTheColumnCannotHoldKeepsItsValue) {
  CSQLParserInfo* pclInfo = Digest(L"SELECT NAME FROM CUSTOMER WHERE BORN = 'soon'");
  OperandCommand* pclCommand = Command(pclInfo);
  CStandInExpression* piLiteral = Where(pclInfo)->pclGetOperand(1);
  pclCommand->bComplete(L"c ");
  unsigned int nCopy = Start(piLiteral);
  ASSERT_EQ(pclCommand->_bDoExpressionLiteral(pclInfo, pclInfo->pszGetRequete(), Where(pclInfo),
                                              piLiteral, CNASqlElt::SQLELT_WHERE,
                                              Item(pclInfo, L"BORN"), &nCopy, pclCommand->Out(),
                                              NA_IT_EMPTY),
            1);
  ASSERT_EQ(pclCommand->nGetParameterNbr(), 1u);
  EXPECT_EQ(ValueText(pclCommand->pclGetParameterNoRef(0)), L"soon");
  // Written as the text it is: the server finds no date equal to it.
  EXPECT_EQ(Formatted(pclCommand), L"c 'soon'");
}

// ---- Literal types and the current column

TEST_F(CommandOperandsParsed, EachOperatorAsksItsOperandsLiteralType) {
  CSQLParserInfo* pclInfo = Digest(L"SELECT NAME FROM CUSTOMER");
  OperandCommand* pclCommand = Command(pclInfo);
  struct Case {
    int op;
    unsigned int index;
    int literalType;      // passed down
    const wchar_t* item;  // the current column (null: none)
    int expected;
    bool dropped;
  };
  const Case cases[] = {
      {1, 0, kTexte, L"NAME", kTexte, false},       {1, 1, kTexte, L"NAME", 0, false},
      {59, 1, 0, L"NAME", 0, true},                 {59, 0, 0, L"NAME", 0, false},
      {74, 0, 0, L"NAME", 0, true},                 {94, 0, 0, L"NAME", 0, false},
      {94, 2, 0, L"NAME", 0, true},                 {94, 1, 0, L"NAME", 0, false},
      {94, 3, 0, L"NAME", 0, true},                 // the last of four operands
      {98, 0, 0, L"BORN", 0, false},                {98, 0, 0, L"NAME", kDateTime, false},
      {98, 0, 0, nullptr, kDateTime, false},        {98, 1, 0, L"BORN", kI4, true},
      {99, 0, 0, nullptr, kDate8, false},           {100, 3, 0, nullptr, kDate8, false},
      {101, 1, 0, L"BORN", 0, true},                {102, 0, 0, nullptr, kDateTime, false},
      {102, 2, 0, L"BORN", kTexte, true},           {32, 1, 0, L"STAMP", kTexte, false},
      {9, 1, 0, L"STAMP", 0, false},                {9, 1, 0, L"AT", kTexte, false},
      {9, 1, 0, nullptr, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "operator " << c.op << " operand " << c.index);
    CStandInExpression* piNode = CStandInExpression::pclNew(static_cast<eOPEXPRESSION>(c.op));
    for (int i = 0; i < 4; ++i) piNode->AddOperand(CStandInExpression::pclNew(OPEXP_LITTERAL));
    INAItemDescription* piItem = nullptr;
    if (c.item != nullptr) {
      piItem = Item(pclInfo, c.item);
      piItem->ExternalAddRef();
    }
    EXPECT_EQ(static_cast<int>(pclCommand->_eTypeParameter(
                  CNASqlElt::SQLELT_WHERE, piNode, c.index, static_cast<eNA_ITEMTYPE>(c.literalType),
                  &piItem)),
              c.expected);
    EXPECT_EQ(piItem == nullptr, c.item == nullptr || c.dropped);
    if (piItem != nullptr) piItem->nExternalRelease();
    piNode->Release();
  }
}

TEST_F(CommandOperandsParsed, ConcatenationAsksUnicodeOnAUnicodeConnection) {
  CSQLParserInfo* pclInfo = Digest(L"SELECT NAME FROM CUSTOMER");
  OperandCommand* pclCommand = Command(pclInfo);
  CStandInExpression* piNode = CStandInExpression::pclNew(OPEXP_CONCAT);
  for (const auto& c : {std::pair<int, int>{65001, NA_IT_UNICODE}, {-2, NA_IT_UNICODE},
                        {1252, NA_IT_TEXTE}}) {
    SCOPED_TRACE(c.first);
    m_pclConnection->SetCodePage(c.first);
    INAItemDescription* piItem = Item(pclInfo, L"NAME");
    piItem->ExternalAddRef();
    EXPECT_EQ(static_cast<int>(
                  pclCommand->_eTypeParameter(CNASqlElt::SQLELT_WHERE, piNode, 0, NA_IT_EMPTY, &piItem)),
              c.second);
    EXPECT_EQ(piItem, nullptr);  // its result is no longer the column
  }
  m_pclConnection->SetCodePage(65001);
  piNode->Release();
}

TEST_F(CommandOperandsParsed, AnOperatorKeepsTheCurrentColumnOnlyWhenItsResultIsOfItsType) {
  CSQLParserInfo* pclInfo = Digest(L"SELECT NAME FROM CUSTOMER");
  OperandCommand* pclCommand = Command(pclInfo);
  struct Case {
    int op;
    const wchar_t* item;
    bool kept;
  };
  const Case cases[] = {
      {2, L"CUSTID", true},  {183, L"CUSTID", true}, {8, L"CUSTID", true},  {47, L"BORN", true},
      {45, L"NAME", true},   {45, L"BORN", false},   {88, L"NAME", true},   {88, L"CUSTID", false},
      {98, L"BORN", true},   {98, L"NAME", false},   {15, L"CUSTID", false}, {9, L"CUSTID", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "operator " << c.op);
    CStandInExpression* piNode = CStandInExpression::pclNew(static_cast<eOPEXPRESSION>(c.op));
    INAItemDescription* piItem = Item(pclInfo, c.item);
    piItem->ExternalAddRef();
    pclCommand->_TypeRetour(CNASqlElt::SQLELT_WHERE, piNode, &piItem);
    EXPECT_EQ(piItem != nullptr, c.kept);
    if (piItem != nullptr) piItem->nExternalRelease();
    piNode->Release();
  }
  EXPECT_EQ(CNACommand::_bLastOperande(nullptr, 0), 0);
}

TEST_F(CommandOperandsParsed, TheLastOperandIsTheOneAtTheCount) {
  CStandInExpression* piNode = CStandInExpression::pclNew(OPEXP_FONCTION);
  for (int i = 0; i < 3; ++i) piNode->AddOperand(CStandInExpression::pclNew(OPEXP_LITTERAL));
  EXPECT_EQ(CNACommand::_bLastOperande(piNode, 2), 1);
  EXPECT_EQ(CNACommand::_bLastOperande(piNode, 1), 0);
  EXPECT_EQ(CNACommand::_bLastOperande(piNode, 3), 0);
  piNode->Release();
}

// ---- Empty dates

TEST_F(CommandOperandsParsed, ADateComparedWithAnEmptyLiteralBecomesANullTestOrAConstant) {
  struct Case {
    const wchar_t* op;
    const wchar_t* nullFirst;
    const wchar_t* nullLast;
  };
  // "w " before the column, the column written: a cut takes both back to
  // the mark and writes the constant alone.
  const Case cases[] = {
      {L"=", L"w `BORN` IS NULL ", L"w `BORN` IS NULL "},
      {L"<>", L"w `BORN` IS NOT NULL ", L"w `BORN` IS NOT NULL "},
      {L"<", L"w  0=1 ", L"w `BORN` IS NOT NULL "},
      {L"<=", L"w `BORN` IS NULL ", L"w  1=1 "},
      {L">", L"w `BORN` IS NOT NULL ", L"w  0=1 "},
      {L">=", L"w  1=1 ", L"w `BORN` IS NULL "},
  };
  for (int bNullFirst : {1, 0}) {
    m_pclConnection->m_bNullFirst = bNullFirst;
    for (const Case& c : cases) {
      for (const wchar_t* literal : {L"''", L"NULL"}) {
        SCOPED_TRACE(testing::Message() << "NULL first " << bNullFirst << ", BORN "
                                        << testing::PrintToString(std::wstring(c.op)) << " "
                                        << testing::PrintToString(std::wstring(literal)));
        CSQLParserInfo* pclInfo = Digest(std::wstring(L"SELECT NAME FROM CUSTOMER WHERE BORN ") +
                                         c.op + L" " + literal);
        OperandCommand* pclCommand = Command(pclInfo);
        CStandInExpression* piRoot = Where(pclInfo);
        pclCommand->bComplete(L"w ");
        const unsigned int nMark = pclCommand->nGetTextLength();
        pclCommand->bComplete(L"`BORN`");
        unsigned int nCopy = Start(piRoot->pclGetOperand(0));
        EXPECT_EQ(pclCommand->_bExpressionDateEmpty(pclCommand->Out(), &nCopy, piRoot,
                                                    pclInfo->pszGetRequete(), nMark,
                                                    Item(pclInfo, L"BORN")),
                  1);
        EXPECT_EQ(Text(pclCommand), bNullFirst ? c.nullFirst : c.nullLast);
        EXPECT_EQ(nCopy, End(piRoot->pclGetOperand(1)) + 1);
      }
    }
  }
  m_pclConnection->m_bNullFirst = 1;
}

TEST_F(CommandOperandsParsed, OnlyAnEmptyLiteralComparedWithADateIsRewritten) {
  struct Case {
    const wchar_t* condition;
    const wchar_t* item;
  };
  const Case cases[] = {
      {L"BORN = '20190101'", L"BORN"},  // not empty
      {L"NAME = ''", L"NAME"},          // not a date
      {L"BORN LIKE ''", L"BORN"},       // not a comparison
      {L"BORN = CITY", L"BORN"},        // not a literal
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.condition)));
    CSQLParserInfo* pclInfo = Digest(std::wstring(L"SELECT NAME FROM CUSTOMER WHERE ") + c.condition);
    OperandCommand* pclCommand = Command(pclInfo);
    pclCommand->bComplete(L"`X`");
    unsigned int nCopy = 3;
    EXPECT_EQ(pclCommand->_bExpressionDateEmpty(pclCommand->Out(), &nCopy, Where(pclInfo),
                                                pclInfo->pszGetRequete(), 0,
                                                Item(pclInfo, c.item)),
              0);
    EXPECT_EQ(Text(pclCommand), L"`X`");
    EXPECT_EQ(nCopy, 3u);
  }
}

// ---- Through the expression walk

TEST_F(CommandOperandsParsed, AConditionIsWrittenWithItsColumnsAndItsLiteralsAsParameters) {
  struct Case {
    const wchar_t* query;
    const wchar_t* text;       // the statement text
    const wchar_t* formatted;  // every parameter written out
    std::vector<unsigned int> flags;
  };
  const Case cases[] = {
      {L"SELECT NAME FROM CUSTOMER WHERE CUSTID = 5", L"`CUSTID` = ", L"`CUSTID` = 5", {0x80000}},
      // NAME is an output column: written with its table.
      {L"SELECT NAME FROM CUSTOMER WHERE NAME LIKE 'a%' AND CITY = 'x'",
       L"`customer_tbl`.`NAME` LIKE  AND `CITY` = ",
       L"`customer_tbl`.`NAME` LIKE 'a%' ESCAPE '!' AND `CITY` = 'x'", {0xC0000, 0x80000}},
      // The tree ends with the pattern; its own ESCAPE clause is the
      // caller's to copy, and gives way to the command's.
      {L"SELECT CITY FROM CUSTOMER WHERE NAME LIKE '50!%%' ESCAPE '!'", L"`NAME` LIKE ",
       L"`NAME` LIKE '50!%%' ESCAPE '!'", {0xC0000}},
      {L"SELECT NAME FROM CUSTOMER WHERE BORN = '2019'", L"`BORN` = ", L"`BORN` = '2019-01-01'",
       {0x80000}},
      {L"SELECT NAME FROM CUSTOMER WHERE BORN = '' OR CUSTID = 1",
       L"`BORN` IS NULL  OR `CUSTID` = ", L"`BORN` IS NULL  OR `CUSTID` = 1", {0x80000}},
      {L"SELECT NAME FROM CUSTOMER WHERE CUSTID = 1 AND BORN < ''", L"`CUSTID` =  AND  0=1 ",
       L"`CUSTID` = 1 AND  0=1 ", {0x80000}},
      {L"SELECT NAME FROM CUSTOMER WHERE (BORN >= '') AND CITY = 'x'",
       L"( 1=1 ) AND `CITY` = ", L"( 1=1 ) AND `CITY` = 'x'", {0x80000}},
      {L"SELECT c.NAME AS N FROM CUSTOMER c WHERE N = 'x'", L"`c`.`NAME` = ", L"`c`.`NAME` = 'x'",
       {0x80000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.query)));
    CSQLParserInfo* pclInfo = Digest(c.query);
    OperandCommand* pclCommand = Command(pclInfo);
    IExpOpExpression* piTree = pclInfo->piGetConditionWhereNoRef();
    unsigned int nCopy = static_cast<unsigned int>(piTree->stGetPosition().nDebut);
    ASSERT_EQ(pclCommand->bAddTreeExpression(pclInfo, nullptr, pclInfo->pszGetRequete(), nullptr,
                                             piTree, CNASqlElt::SQLELT_WHERE, &nCopy, nullptr),
              1)
        << m_pclError->StringDump().pszGet();
    EXPECT_EQ(Text(pclCommand), c.text);
    EXPECT_EQ(Formatted(pclCommand), c.formatted) << m_pclError->StringDump().pszGet();
    std::vector<unsigned int> flags;
    for (unsigned int i = 0; i < pclCommand->nGetParameterNbr(); ++i)
      flags.push_back(pclCommand->pclGetParameterNoRef(i)->nGetFlags());
    EXPECT_EQ(flags, c.flags);
  }
}

// ---- Parsed conditions and computed columns in search conditions

// A record of CUSTOMER (over the table, or over a query of it when a digest
// is given) for the search-condition trees; released by the fixture.
class ParsedSearchConditions : public CommandOperandsParsed {
 protected:
  void TearDown() override {
    if (m_pclRecord != nullptr) {
      EXPECT_EQ(m_pclRecord->nRelease(), 0);
    }
    if (m_piTable != nullptr) m_piTable->nExternalRelease();
    if (m_pclQuerySource != nullptr) {
      EXPECT_EQ(m_pclQuerySource->nExternalRelease(), 0);
    }
    m_access.reset();
    CommandOperandsParsed::TearDown();
  }
  void RecordOnTable() {
    m_access = std::make_unique<TestItemsDataAccess>(m_pclConnection, L"CUSTOMER");
    m_piTable = CStandInDescription::pclNew(
        L"CUSTOMER",
        {Decl(L"CUSTID", kI4, 4, kPrimary), Decl(L"NAME", kTexte, 31), Decl(L"CITY", kTexte, 21)},
        12);
    ASSERT_NE(m_piTable, nullptr);
    m_pclRecord = new CNARecord(m_pclError, m_access.get());
    m_pclRecord->AddRef();
    ASSERT_EQ(m_pclRecord->bInitRecord(m_piTable, nullptr, m_pclConnection), 1);
  }
  void RecordOnQuery(CSQLParserInfo* pclInfo) {
    m_access = std::make_unique<TestItemsDataAccess>(m_pclConnection, L"QRY");
    m_access->m_bQuery = 1;
    m_access->m_pclQuery = pclInfo;
    m_pclQuerySource = new CNADataSourceDescription(m_pclConnection, m_pclError);
    m_pclQuerySource->ExternalAddRef();
    m_pclQuerySource->SetLogicalName(L"QRY");
    ASSERT_EQ(m_pclQuerySource->bCompleteDescription(pclInfo), 1);
    m_pclRecord = new CNARecord(m_pclError, m_access.get());
    m_pclRecord->AddRef();
    ASSERT_EQ(m_pclRecord->bInitRecord(m_pclQuerySource, m_pclQuerySource, m_pclConnection), 1);
  }

  std::unique_ptr<TestItemsDataAccess> m_access;
  CStandInDescription* m_piTable = nullptr;
  CNADataSourceDescription* m_pclQuerySource = nullptr;
  CNARecord* m_pclRecord = nullptr;
};

TEST_F(ParsedSearchConditions, AFiltersParsedConditionIsWrittenWithItsLiteralsAsParameters) {
  RecordOnTable();
  struct Case {
    bool search;  // with an active search of CUSTID = 3
    const wchar_t* text;
    const wchar_t* formatted;
    int parameters;
  };
  // The condition is one operand of the AND with the search: its OR stays
  // inside its parentheses.
  const Case cases[] = {
      {false, L"(`CITY` =  OR `CUSTID` > )", L"(`CITY` = 'Paris' OR `CUSTID` > 5 )", 2},
      {true, L"(`CITY` =  OR `CUSTID` > ) AND `CUSTID`=",
       L"(`CITY` = 'Paris' OR `CUSTID` > 5 ) AND `CUSTID`=3", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.search);
    CStandInSQLParser clParser(m_pAnalysis.get());
    CStandInSQLInfo* piCondition =
        clParser.pclParseCondition(L"CUSTOMER", L"CITY = 'Paris' OR CUSTID > 5");
    auto* pclFilter = new CNAFilter(m_pclError, m_pclConnection);
    pclFilter->AddRef();
    EXPECT_EQ(pclFilter->bSetFilter(m_pclRecord, nullptr, nullptr, 0, nullptr, 0, piCondition, 0),
              1);
    piCondition->Release();
    pclFilter->ActivateFilter(1);
    auto* pclSearch = new CNARecherche(m_pclError, m_pclConnection);
    pclSearch->AddRef();
    if (c.search) {
      CAny three;
      three.SetI4(3);
      EXPECT_EQ(pclSearch->bSetRecherche(m_pclRecord,
                                         m_pclRecord->pclGetColumnNoRef(L"CUSTID")->piGetItemNoRef(),
                                         &three, NA_PARSE_FIRST, 1, 0),
                1);
    }
    OperandCommand* pclCommand = Command(nullptr);
    EXPECT_EQ(pclSearch->bGetSQL(pclCommand, pclFilter, m_pclRecord), 1)
        << m_pclError->StringDump().pszGet();
    EXPECT_EQ(Text(pclCommand), c.text);
    EXPECT_EQ(Formatted(pclCommand), c.formatted);
    // The condition's literals are parameters of the command and of the
    // search, in text order.
    EXPECT_EQ(pclCommand->nGetParameterNbr(), static_cast<unsigned int>(c.parameters));
    EXPECT_EQ(pclSearch->nGetNbParameter(), c.parameters);
    for (unsigned int i = 0; i < 2 && i < pclCommand->nGetParameterNbr(); ++i) {
      EXPECT_EQ(pclCommand->pclGetParameterNoRef(i)->nGetFlags(), 0x80000u);
      CNAParameter* pclHeld = pclSearch->pclGetParameter(static_cast<int>(i));
      EXPECT_EQ(pclHeld, pclCommand->pclGetParameterNoRef(i));
      if (pclHeld != nullptr) pclHeld->nRelease();
    }
    pclSearch->nRelease();
    pclFilter->nRelease();
  }
}

TEST_F(ParsedSearchConditions, AComputedColumnOfTheQueryIsComparedAsItsExpression) {
  CSQLParserInfo* pclInfo = Digest(
      L"SELECT CUSTID, CUSTID * 2 AS DOUBLED, CONCAT(NAME, 'C:\\') AS TAGGED FROM CUSTOMER");
  RecordOnQuery(pclInfo);
  struct Case {
    const wchar_t* column;
    const wchar_t* text;
    const wchar_t* formatted;
  };
  const Case cases[] = {
      // CUSTID is an output column: written with its table.
      {L"DOUBLED", L"(`customer_tbl`.`CUSTID` * 2)=", L"(`customer_tbl`.`CUSTID` * 2)=10"},
      // The expression's literal is written from its value; the value is
      // compared as the column's text.
      {L"TAGGED", L"(CONCAT(`NAME`, _utf8mb4 X'433A5C'))=",
       L"(CONCAT(`NAME`, _utf8mb4 X'433A5C'))='10'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.column)));
    CNAColumn* pclColumn = m_pclRecord->pclGetColumnNoRef(c.column);
    ASSERT_NE(pclColumn, nullptr);
    ASSERT_NE(pclColumn->eGetTypeColonne(), 0);
    CAny ten;
    ten.SetI4(10);
    CNAConvertVariant* pclValue = static_cast<CNAConvertVariant*>(
        m_pclDriver->pclAllocVariant(m_pclError, m_pclConnection));
    pclValue->InitTypeVariantAny(ten.nGetTypeCode(), 0);
    pclValue->bSetValue(&ten);
    auto* pclRoot = new CNAExpression(m_pclError);
    pclRoot->AddRef();
    CNAExpression* pclLeaf = pclRoot->pclAllocExpression(NA_OP_EQUAL, pclColumn, pclValue, 0);
    ASSERT_NE(pclLeaf, nullptr);
    pclLeaf->AddRef();
    OperandCommand* pclCommand = Command(nullptr);
    int bConstant = 0;
    EXPECT_EQ(pclLeaf->bGetSQL(pclCommand, NA_OP_EMPTY, nullptr, &bConstant, m_pclRecord), 1)
        << m_pclError->StringDump().pszGet();
    EXPECT_EQ(Text(pclCommand), c.text);
    EXPECT_EQ(Formatted(pclCommand), c.formatted);
    pclLeaf->nRelease();
    pclRoot->nRelease();
  }
}

}  // namespace
}  // namespace kqtest
