// The command's operations on a parsed query, over the stand-in parser: the
// positions of its clauses (or where an absent clause would go), the tail
// copied after its last clause, and the names it resolves and writes (physical
// table names, item names of the data source, aliases, output columns).
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "host/parser/standin_analysis.h"
#include "host/parser/standin_sql_parser.h"
#include "kq230/sql_parser_interface.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/parsed_query_info.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/sqlbuilder/backquote_connection.h"
#include "tests/support/bound_framework.h"

namespace kqtest {
namespace {

constexpr int kTexte = 2, kI4 = 5, kR8 = 7;
constexpr unsigned short kPrimary = 0x8000, kDup = 0x2000, kAsc = 0x0800;

using Kind = CNASqlElt::eSQLELT;

StandInItemDecl Item(const wchar_t* pszName, int nType, int nSize, unsigned short nKeyFlags = 0) {
  StandInItemDecl decl;
  decl.name = pszName;
  decl.type = nType;
  decl.size = nSize;
  decl.keyFlags = nKeyFlags;
  decl.nullAllowed = (nKeyFlags & kPrimary) == 0;
  return decl;
}

class CommandParsedClausesTest : public BoundFrameworkTest {
 protected:
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    m_nParserLive = StandInParserCounts::g_nLive;
    m_nDescriptionsLive = StandInDescriptionCounts::g_nLive;
    m_pclError = new CNAError;
    m_pclError->AddRef();
    m_pclConnection = new BackquoteConnection(&m_host, kServerKindMariaDB, 65001);
    m_pclConnection->AddRef();
    m_pclCommand = new CNACommand(m_pclError, m_pclConnection);
    m_pclCommand->AddRef();
    m_pAnalysis = std::make_unique<CStandInAnalysis>();
    Add(L"CUSTOMER", L"customer_tbl",
        {Item(L"CUSTID", kI4, 4, kPrimary | kAsc), Item(L"NAME", kTexte, 31, kDup | kAsc),
         Item(L"CITY", kTexte, 21)});
    Add(L"ORDERS", L"orders",
        {Item(L"ORDERID", kI4, 4, kPrimary | kAsc), Item(L"CUSTID", kI4, 4, kDup | kAsc),
         Item(L"AMOUNT", kR8, 8)});
  }

  void TearDown() override {
    m_pclCommand->nRelease();
    for (CSQLParserInfo* p : m_digests) p->nRelease();
    m_pclConnection->nRelease();
    m_pclError->nRelease();
    m_pAnalysis.reset();
    EXPECT_EQ(StandInParserCounts::g_nLive, m_nParserLive) << "parser objects left";
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, m_nDescriptionsLive) << "descriptions left";
    BoundFrameworkTest::TearDown();
  }

  void Add(const wchar_t* pszName, const wchar_t* pszPhysical,
           const std::vector<StandInItemDecl>& items) {
    CStandInDescription* p = CStandInDescription::pclNew(pszName, items, 12);
    ASSERT_NE(p, nullptr);
    m_pAnalysis->AddTable(p, pszPhysical);
    p->nExternalRelease();
  }

  // A command (one reference, the caller's) over the parse, which the
  // digest it makes takes over (released at the end of the test).
  CNACommand* CommandOnParse(CStandInSQLInfo* piInfo) {
    CSQLParserInfo* pclInfo = new CSQLParserInfo(m_pclError, piInfo, nullptr, 0);
    pclInfo->AddRef();
    piInfo->Release();
    m_digests.push_back(pclInfo);
    CNACommand* pclCommand = new CNACommand(m_pclError, m_pclConnection);
    pclCommand->AddRef();
    pclCommand->_SetSQLParserInfo(pclInfo);
    return pclCommand;
  }

  // A digest of the text, released at the end of the test.
  CSQLParserInfo* Digest(const wchar_t* pszText) {
    CStandInSQLParser clParser(m_pAnalysis.get());
    CStandInSQLInfo* piInfo = clParser.pclParse(pszText);
    EXPECT_TRUE(clParser.strGetLastError().empty()) << clParser.strGetLastError();
    CSQLParserInfo* p = new CSQLParserInfo(m_pclError, piInfo, nullptr, 0);
    p->AddRef();
    piInfo->Release();
    m_digests.push_back(p);
    return p;
  }

  std::pair<int, int> Pos(CSQLParserInfo* pclInfo, Kind eKind) {
    unsigned int nStart = 7, nEnd = 7;
    EXPECT_EQ(m_pclCommand->_bGetClausePos(&nStart, &nEnd, pclInfo, eKind), 1);
    EXPECT_EQ(m_pclCommand->_nGetClauseStart(pclInfo, eKind), static_cast<int>(nStart));
    EXPECT_EQ(m_pclCommand->_nGetClauseStop(pclInfo, eKind), static_cast<int>(nEnd));
    return {static_cast<int>(nStart), static_cast<int>(nEnd)};
  }

  HostConnectionFake m_host;
  CNAError* m_pclError = nullptr;
  BackquoteConnection* m_pclConnection = nullptr;
  CNACommand* m_pclCommand = nullptr;
  std::unique_ptr<CStandInAnalysis> m_pAnalysis;
  std::vector<CSQLParserInfo*> m_digests;
  int m_nParserLive = 0;
  int m_nDescriptionsLive = 0;
};

TEST_F(CommandParsedClausesTest, EachClauseIsLocatedAndAnAbsentOneIsPlacedBeforeTheNext) {
  const std::wstring q =
      L"SELECT NAME, COUNT(*) FROM CUSTOMER WHERE CITY = 'it''s' GROUP BY NAME, CITY "
      L"HAVING COUNT(*) > 1 ORDER BY NAME";
  CSQLParserInfo* pclInfo = Digest(q.c_str());
  const int nFrom = static_cast<int>(q.find(L"FROM"));
  const int nWhere = static_cast<int>(q.find(L"WHERE"));
  const int nGroup = static_cast<int>(q.find(L"GROUP"));
  const int nHaving = static_cast<int>(q.find(L"HAVING"));
  const int nOrder = static_cast<int>(q.find(L"ORDER"));
  const int nLength = static_cast<int>(q.size());
  struct Case {
    Kind kind;
    std::pair<int, int> expected;
  };
  const Case cases[] = {
      {CNASqlElt::SQLELT_SELECT, {nFrom - 1, nFrom - 1}},
      {CNASqlElt::SQLELT_SELECT_LIST, {nFrom - 1, nFrom - 1}},
      {CNASqlElt::SQLELT_FROM, {nFrom, nWhere - 2}},
      {CNASqlElt::SQLELT_WHERE, {nWhere, nGroup - 2}},
      {CNASqlElt::SQLELT_GROUPBY, {nGroup, nHaving - 2}},
      {CNASqlElt::SQLELT_HAVING, {nHaving, nOrder - 2}},
      {CNASqlElt::SQLELT_ORDERBY, {nOrder, nLength}},
      {CNASqlElt::SQLELT_ASSIGNMENT, {nLength, nLength}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    EXPECT_EQ(Pos(pclInfo, c.kind), c.expected);
  }
}

TEST_F(CommandParsedClausesTest, AMissingWhereGoesJustBeforeTheNextClauseOrAtTheEnd) {
  const std::wstring q = L"SELECT NAME FROM CUSTOMER ORDER BY NAME";
  const int nOrder = static_cast<int>(q.find(L"ORDER"));
  EXPECT_EQ(Pos(Digest(q.c_str()), CNASqlElt::SQLELT_WHERE),
            std::make_pair(nOrder - 1, nOrder - 1));
  EXPECT_EQ(Pos(Digest(q.c_str()), CNASqlElt::SQLELT_GROUPBY),
            std::make_pair(nOrder - 1, nOrder - 1));
  const std::wstring r = L"SELECT c.NAME FROM CUSTOMER c, ORDERS o";
  const int nLength = static_cast<int>(r.size());
  EXPECT_EQ(Pos(Digest(r.c_str()), CNASqlElt::SQLELT_WHERE), std::make_pair(nLength, nLength));
  // The FROM clause runs to the last table's end.
  const int nFrom = static_cast<int>(r.find(L"FROM"));
  EXPECT_EQ(Pos(Digest(r.c_str()), CNASqlElt::SQLELT_FROM),
            std::make_pair(nFrom, static_cast<int>(r.find(L"ORDERS")) + 5));
  // Without a parsed query: nothing.
  EXPECT_EQ(Pos(nullptr, CNASqlElt::SQLELT_WHERE), std::make_pair(0, 0));
}

TEST_F(CommandParsedClausesTest, TheTailAfterTheLastClauseIsCopiedUnlessTheQueryIsRewritten) {
  struct Case {
    const wchar_t* query;
    const wchar_t* tail;
  };
  const Case cases[] = {
      {L"SELECT NAME FROM CUSTOMER WHERE CITY = 'x' ORDER BY NAME LIMIT 5", L" LIMIT 5"},
      {L"SELECT NAME FROM CUSTOMER WHERE CITY = 'x' FOR UPDATE", L" FOR UPDATE"},
      {L"SELECT NAME FROM CUSTOMER GROUP BY NAME HAVING COUNT(*) > 1;", L";"},
      {L"SELECT NAME FROM CUSTOMER WHERE CITY = 'x'", L""},
      {L"SELECT NAME FROM CUSTOMER LIMIT 3", L""},  // no clause after FROM: nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.query)));
    CNACommand* pclCommand = new CNACommand(m_pclError, m_pclConnection);
    pclCommand->AddRef();
    pclCommand->_SetSQLParserInfo(Digest(c.query));
    pclCommand->bComplete(L"X");
    EXPECT_EQ(pclCommand->bFormatEndOfQuery(), 1);
    EXPECT_EQ(std::wstring(pclCommand->pszGetOriginalSQL()), std::wstring(L"X") + c.tail);
    pclCommand->_SetQueryRewrite(1);
    pclCommand->ResetCommand(0);
    EXPECT_EQ(pclCommand->bFormatEndOfQuery(), 1);
    EXPECT_EQ(std::wstring(pclCommand->pszGetOriginalSQL()), L"");
    pclCommand->nRelease();
  }
}

TEST_F(CommandParsedClausesTest, AClauseEndAtOrPastTheTextsEndCopiesNoTail) {
  const std::wstring q = L"SELECT NAME FROM CUSTOMER ORDER BY NAME LIMIT 5";
  const int nLength = static_cast<int>(q.size());
  // The largest position a parser can give included: one past it must not
  // be computed.
  for (int nEnd : {nLength - 1, nLength, nLength + 1, INT_MAX - 1, INT_MAX}) {
    SCOPED_TRACE(nEnd);
    CStandInSQLParser clParser(m_pAnalysis.get());
    CStandInSQLInfo* piInfo = clParser.pclParse(q.c_str());
    ASSERT_NE(piInfo, nullptr);
    piInfo->m_nOrderByEnd = nEnd;
    CNACommand* pclCommand = CommandOnParse(piInfo);
    pclCommand->bComplete(L"X");
    EXPECT_EQ(pclCommand->bFormatEndOfQuery(), 1);
    EXPECT_EQ(std::wstring(pclCommand->pszGetOriginalSQL()), L"X");
    pclCommand->nRelease();
  }
}

TEST_F(CommandParsedClausesTest, TableAndItemNamesResolveToTheirPhysicalAndOriginalForms) {
  CSQLParserInfo* pclInfo = Digest(L"SELECT c.NAME, CITY FROM CUSTOMER c, ORDERS WHERE 1 = 1");
  CTString csTable(L"CUSTOMER"), csItem(L"name");
  m_pclCommand->_GetOriginalTableNameAndItemName(pclInfo, &csTable, &csItem);
  EXPECT_EQ(std::wstring(csTable.pszGet()), L"customer_tbl");
  EXPECT_EQ(std::wstring(csItem.pszGet()), L"NAME");
  // An alias stays as it is, and its items are not looked up.
  csTable = L"c";
  csItem = L"name";
  m_pclCommand->_GetOriginalTableNameAndItemName(pclInfo, &csTable, &csItem);
  EXPECT_EQ(std::wstring(csTable.pszGet()), L"c");
  EXPECT_EQ(std::wstring(csItem.pszGet()), L"name");
  csTable = L"ORDERS";
  csItem = L"amount";
  m_pclCommand->_GetFormatedOriginalTableNameAndItemName(pclInfo, &csTable, &csItem);
  EXPECT_EQ(std::wstring(csTable.pszGet()), L"`orders`");
  EXPECT_EQ(std::wstring(csItem.pszGet()), L"`AMOUNT`");

  INAItemDescription* piItem = m_pclCommand->_pclGetOriginalItemDesc(pclInfo, L"CUSTOMER", L"city");
  ASSERT_NE(piItem, nullptr);
  EXPECT_EQ(std::wstring(piItem->pszGetName()), L"CITY");
  piItem->nExternalRelease();
  EXPECT_EQ(m_pclCommand->_pclGetOriginalItemDesc(pclInfo, L"CUSTOMER", L"nothing"), nullptr);

  // FROM tables: the physical name, and the alias, each quoted.
  CTString csOut;
  IInfoFrom* piFrom = pclInfo->piEnumFichierFrom(1);
  ASSERT_NE(piFrom, nullptr);
  m_pclCommand->_FormatTableClauseFROM(pclInfo, nullptr, piFrom, &csOut);
  EXPECT_EQ(std::wstring(csOut.pszGet()), L"`customer_tbl`");
  m_pclCommand->_FormatTableAliasClauseFROM(pclInfo, piFrom, &csOut);
  EXPECT_EQ(std::wstring(csOut.pszGet()), L"`c`");
}

TEST_F(CommandParsedClausesTest, AnOutputColumnIsFoundByTableOrAliasAndName) {
  CSQLParserInfo* pclInfo =
      Digest(L"SELECT c.NAME, o.AMOUNT, CITY, o.AMOUNT * 2 AS DOUBLED FROM CUSTOMER c, ORDERS o");
  ISQLParserInformation* piParser = pclInfo->piGetParserInformationNoRef();
  struct Case {
    const wchar_t* table;
    const wchar_t* name;
    const wchar_t* found;  // null: none
  };
  const Case cases[] = {
      {L"c", L"name", L"NAME"},      {L"CUSTOMER", L"NAME", L"NAME"}, {L"o", L"AMOUNT", L"AMOUNT"},
      {L"", L"CITY", L"CITY"},       {nullptr, L"city", L"CITY"},     {L"x", L"NAME", nullptr},
      {L"o", L"DOUBLED", nullptr},  // a computed column has no table
      {L"", L"DOUBLED", L"DOUBLED"}, {L"c", L"AMOUNT", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
    IInfoRubrique* piColumn = CNACommand::_piGetInfoRubriqueFromAlias(piParser, c.table, c.name);
    if (c.found == nullptr) {
      EXPECT_EQ(piColumn, nullptr);
    } else {
      ASSERT_NE(piColumn, nullptr);
      EXPECT_EQ(std::wstring(piColumn->pszGetNom()), c.found);
    }
  }
  EXPECT_EQ(CNACommand::_piGetInfoRubriqueFromAlias(nullptr, L"c", L"NAME"), nullptr);
}


TEST_F(CommandParsedClausesTest, TheQuerysOwnOrderByIsWrittenAgainInTheBrowseDirection) {
  struct Case {
    const char* name;
    const wchar_t* query;
    int formatedNames;
    int ascending;
    const wchar_t* expected;
  };
  const wchar_t kTwo[] = L"SELECT CUSTID, NAME, CITY FROM CUSTOMER ORDER BY NAME DESC, CITY";
  const wchar_t kQualified[] =
      L"SELECT c.CUSTID, c.NAME AS N FROM CUSTOMER c ORDER BY c.NAME, 1 DESC";
  const Case cases[] = {
      {"as written", kTwo, 0, 1, L"\r\nORDER BY NAME DESC,CITY"},
      {"as written, read backwards", kTwo, 0, 0, L"\r\nORDER BY NAME,CITY DESC"},
      {"by output name", kTwo, 1, 1, L"\r\nORDER BY `NAME` DESC,`CITY`"},
      {"by output name, read backwards", kTwo, 1, 0, L"\r\nORDER BY `NAME`,`CITY` DESC"},
      {"qualified names and positions as written", kQualified, 0, 1,
       L"\r\nORDER BY c.NAME,1 DESC"},
      {"qualified names and positions by output name", kQualified, 1, 1,
       L"\r\nORDER BY `N`,`CUSTID` DESC"},
      {"no ORDER BY: nothing", L"SELECT NAME FROM CUSTOMER WHERE CITY = 'x'", 0, 1, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CNACommand* pclCommand = new CNACommand(m_pclError, m_pclConnection);
    pclCommand->AddRef();
    pclCommand->_SetSQLParserInfo(Digest(c.query));
    EXPECT_EQ(pclCommand->bFormatORDERBY(c.formatedNames, c.ascending), 1);
    EXPECT_EQ(std::wstring(pclCommand->pszGetOriginalSQL()), c.expected);
    pclCommand->nRelease();
  }
  // Without parsed query there is nothing to write.
  EXPECT_EQ(m_pclCommand->bFormatORDERBY(0, 1), 1);
  EXPECT_TRUE(m_pclCommand->bIsEmpty());
}

TEST_F(CommandParsedClausesTest, AnOrderByItemOutsideTheQuerysTextIsRefusedNotLeftOut) {
  const std::wstring q = L"SELECT NAME FROM CUSTOMER ORDER BY NAME";
  const int nLength = static_cast<int>(q.size());
  const struct {
    int start, end;
  } cases[] = {{nLength - 4, nLength}, {-1, 3}, {10, 9}, {nLength, INT_MAX}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << ".." << c.end);
    CStandInSQLParser clParser(m_pAnalysis.get());
    CStandInSQLInfo* piInfo = clParser.pclParse(q.c_str());
    ASSERT_NE(piInfo, nullptr);
    auto* pParts = static_cast<CStandInParts*>(piInfo->piGetInfoRequete());
    ASSERT_EQ(pParts->m_orders.size(), 1u);
    pParts->m_orders[0]->m_pos = StandInPosition(c.start, c.end);
    CNACommand* pclCommand = CommandOnParse(piInfo);
    m_pclError->Reset();
    EXPECT_EQ(pclCommand->bFormatORDERBY(0, 1), 0);
    EXPECT_EQ(m_pclError->dwGetErrorId(), 44u);
    // The output name does not need the text.
    pclCommand->ResetCommand(0);
    EXPECT_EQ(pclCommand->bFormatORDERBY(1, 1), 1);
    EXPECT_EQ(std::wstring(pclCommand->pszGetOriginalSQL()), L"\r\nORDER BY `NAME`");
    pclCommand->nRelease();
  }
}

}  // namespace
}  // namespace kqtest
