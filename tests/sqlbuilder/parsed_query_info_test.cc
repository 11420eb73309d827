// The digest of a parsed query (CSQLParserInfo) over the stand-in parser and
// its analysis: lists and cursors, the best / unique / key columns at item
// versions 8 and 12, physical names in bounded buffers, aliases, ORDER BY and
// GROUP BY lookups from record columns, memo sources, when record operations
// are allowed, reduced digests, parser exceptions answered as null, and a
// data-source description completed from a parsed query. Every test ends
// with no parser object and no stand-in description alive.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "host/parser/standin_analysis.h"
#include "host/parser/standin_query_parameters.h"
#include "host/parser/standin_sql_parser.h"
#include "items/column.h"
#include "items/data_source_description.h"
#include "items/item_description.h"
#include "sqlbuilder/parsed_query_info.h"
#include "tests/sqlbuilder/parsed_query_fixture.h"

namespace kqtest {
namespace {

std::wstring Text(const wchar_t* psz) { return psz != nullptr ? psz : L"(null)"; }
std::wstring NameOf(IInfoRubrique* pi) { return pi != nullptr ? pi->pszGetNom() : L"(none)"; }

class ParsedQueryInfo : public ParsedQueryTest {
 protected:
  void SetUp() override {
    ParsedQueryTest::SetUp();
    BuildAnalysis(12);
  }

  void TearDown() override {
    for (CSQLParserInfo* p : m_digests) p->nRelease();
    m_digests.clear();
    if (m_pclDescription != nullptr) {
      EXPECT_EQ(m_pclDescription->nExternalRelease(), 0);
      m_pclDescription = nullptr;
    }
    ParsedQueryTest::TearDown();
  }

  // CUSTOMER (physical name customer_tbl), ORDERS (orders) and PRODUCT (no
  // physical name), every item of the given version.
  void BuildAnalysis(int nVersion) {
    m_pAnalysis.reset();
    m_pAnalysis = std::make_unique<CStandInAnalysis>();
    std::vector<StandInItemDecl> customer = {
        Decl(L"CUSTID", kI4, 4, kPrimary | kAsc, false),
        Decl(L"NAME", kTexte, 31, kDup | kAsc),
        Decl(L"EMAIL", kTexte, 61, kUnique | kAsc),
        Decl(L"CODE", kI4, 4, kUnique | kAsc, false),
        Decl(L"NOTES", kMemoTexte, 8),
        Decl(L"CITY", kTexte, 21, 0, true, {}, L"Town"),
        Decl(L"NAME_CITY", kTexte, 50, kComposed | kDup | kAsc, true, {L"NAME", L"CITY"}),
    };
    std::vector<StandInItemDecl> orders = {
        Decl(L"ORDERID", kIdAuto4, 4, kUnique | kAsc),
        Decl(L"CUSTID", kI4, 4, kDup | kAsc),
        Decl(L"AMOUNT", kR8, 8),
    };
    std::vector<StandInItemDecl> product = {
        Decl(L"PRODID", kIdAuto, 8, kUnique | kAsc),
        Decl(L"LABEL", kTexte, 41),
    };
    Add(L"CUSTOMER", customer, nVersion, L"customer_tbl");
    Add(L"ORDERS", orders, nVersion, L"orders");
    Add(L"PRODUCT", product, nVersion, nullptr);
  }

  // A digest of the text (one reference, released at the end of the test).
  CSQLParserInfo* Digest(const wchar_t* pszText, int bReduced = 0,
                         CStandInQueryParameters* pclValues = nullptr) {
    CStandInSQLParser clParser(m_pAnalysis.get());
    CStandInSQLInfo* piInfo = clParser.pclParse(pszText, pclValues);
    EXPECT_TRUE(clParser.strGetLastError().empty())
        << Text(pszText) << ": " << clParser.strGetLastError();
    CSQLParserInfo* p = new CSQLParserInfo(m_pclError, piInfo, pclValues, bReduced);
    p->AddRef();
    piInfo->Release();
    m_digests.push_back(p);
    return p;
  }

  // A record column over a driver item of that name, name in source and
  // type, read through the table alias.
  CNAColumn* Column(const wchar_t* pszName, const wchar_t* pszNameInSource, int nType,
                    const wchar_t* pszAlias) {
    CNAItemDescription* pclItem = new CNAItemDescription;
    pclItem->AddRef();
    EXPECT_EQ(pclItem->bInit(pszName, nullptr, pszNameInSource, 1, 8, nType, 0, -1, 0, 0, 0,
                             nullptr, nullptr),
              1);
    CNAColumn* pclColumn = new CNAColumn(m_pclError, pclItem);
    pclColumn->AddRef();
    pclItem->nRelease();
    EXPECT_EQ(pclColumn->bSetAliasNomTable(pszAlias), 1);
    return pclColumn;
  }

  std::vector<CSQLParserInfo*> m_digests;
  CNADataSourceDescription* m_pclDescription = nullptr;
};

// ---------------------------------------------------------------------------
// Lists and cursors

TEST_F(ParsedQueryInfo, EnumeratorsStartBeforeTheFirstElementAndStayAtTheEnd) {
  CSQLParserInfo* p = Digest(L"SELECT CUSTID, NAME, CITY FROM CUSTOMER ORDER BY NAME, CITY DESC");
  // Cursors start at -1: a continuing call before any restart gives nothing.
  EXPECT_EQ(p->piEnumRubriqueOUT(0), nullptr);
  EXPECT_EQ(p->piEnumFichierFrom(0), nullptr);
  EXPECT_EQ(p->piEnumRubriqueClauseOrder(0), nullptr);
  EXPECT_EQ(NameOf(p->piEnumRubriqueOUT(1)), L"CUSTID");
  EXPECT_EQ(NameOf(p->piEnumRubriqueOUT(0)), L"NAME");
  EXPECT_EQ(NameOf(p->piEnumRubriqueOUT(0)), L"CITY");
  EXPECT_EQ(p->piEnumRubriqueOUT(0), nullptr);
  EXPECT_EQ(p->piEnumRubriqueOUT(0), nullptr);
  EXPECT_EQ(NameOf(p->piEnumRubriqueOUT(1)), L"CUSTID");  // restart

  EXPECT_EQ(p->nGetFichierFromNbr(), 1);
  IInfoFrom* piFrom = p->piEnumFichierFrom(1);
  ASSERT_NE(piFrom, nullptr);
  EXPECT_STREQ(piFrom->pszGetNomTable(), L"CUSTOMER");
  EXPECT_EQ(p->piEnumFichierFrom(0), nullptr);

  IInfoOrderBy* piFirst = p->piEnumRubriqueClauseOrder(1);
  IInfoOrderBy* piSecond = p->piEnumRubriqueClauseOrder(0);
  ASSERT_NE(piFirst, nullptr);
  ASSERT_NE(piSecond, nullptr);
  EXPECT_EQ(piFirst->nGetIndiceRubriqueOUT(), 1);
  EXPECT_EQ(piSecond->nGetIndiceRubriqueOUT(), 2);
  EXPECT_EQ(piSecond->eGetSensTri(), SENSTRI_DESCENDANT);
  EXPECT_EQ(p->piEnumRubriqueClauseOrder(0), nullptr);

  EXPECT_EQ(p->nGetRubriqueOUTNbr(), 3);
  EXPECT_EQ(p->piGetRubriqueOUT(-1), nullptr);
  EXPECT_EQ(p->piGetRubriqueOUT(3), nullptr);
  EXPECT_EQ(NameOf(p->piGetRubriqueOUT(2)), L"CITY");
  EXPECT_EQ(NameOf(p->piEnumRubriqueOUT(L"city")), L"CITY");
  EXPECT_EQ(p->piEnumRubriqueOUT(L"COUNTRY"), nullptr);
  EXPECT_EQ(p->piEnumRubriqueOUT(static_cast<const wchar_t*>(nullptr)), nullptr);
  EXPECT_STREQ(p->pszGetRequete(),
               L"SELECT CUSTID, NAME, CITY FROM CUSTOMER ORDER BY NAME, CITY DESC");
  EXPECT_EQ(static_cast<int>(p->eGetTypeRequete()), TYPEREQUETE_SELECT);
}

TEST_F(ParsedQueryInfo, UpdateAndInsertItemsAreListedForTheirKindOnly) {
  CSQLParserInfo* pUpdate = Digest(L"UPDATE CUSTOMER SET NAME = 'a', CITY = 'b' WHERE CUSTID = 1");
  EXPECT_EQ(static_cast<int>(pUpdate->eGetTypeRequete()), TYPEREQUETE_UPDATE);
  ASSERT_NE(pUpdate->piEnumRubriqueUpdate(1), nullptr);
  ASSERT_NE(pUpdate->piEnumRubriqueUpdate(0), nullptr);
  EXPECT_EQ(pUpdate->piEnumRubriqueUpdate(0), nullptr);
  EXPECT_EQ(pUpdate->piEnumRubriqueInsert(1), nullptr);
  EXPECT_NE(pUpdate->piGetConditionWhereNoRef(), nullptr);

  CSQLParserInfo* pInsert = Digest(L"INSERT INTO CUSTOMER (CUSTID, NAME) VALUES (1, 'x')");
  EXPECT_EQ(static_cast<int>(pInsert->eGetTypeRequete()), TYPEREQUETE_INSERT);
  EXPECT_NE(pInsert->piEnumRubriqueInsert(1), nullptr);
  EXPECT_NE(pInsert->piEnumRubriqueInsert(0), nullptr);
  EXPECT_EQ(pInsert->piEnumRubriqueInsert(0), nullptr);
  EXPECT_EQ(pInsert->piEnumRubriqueUpdate(1), nullptr);
}

// ---------------------------------------------------------------------------
// Best, unique and key columns

struct BestCase {
  const wchar_t* text;
  int version;
  int reduced;
  const wchar_t* best;
  const wchar_t* uniqueNotNull;
  const wchar_t* unique;
  const wchar_t* key;
  const wchar_t* orderBy;
};

TEST_F(ParsedQueryInfo, BestColumnFollowsOrderByThenKeysThenTheFirstColumn) {
  const BestCase cases[] = {
      // Version 12 items say whether they take NULL: CODE excludes it.
      {L"SELECT NAME, EMAIL, CODE, CUSTID FROM CUSTOMER", 12, 0, L"CODE", L"CODE", L"CODE",
       L"CODE", L"(none)"},
      // Version 8 items say nothing of NULL: only the primary key (CUSTID)
      // and automatic identifiers exclude it; EMAIL stays the unique column.
      {L"SELECT NAME, EMAIL, CODE, CUSTID FROM CUSTOMER", 8, 0, L"CUSTID", L"CUSTID", L"CUSTID",
       L"CUSTID", L"(none)"},
      {L"SELECT NAME, EMAIL FROM CUSTOMER", 8, 0, L"EMAIL", L"(none)", L"EMAIL", L"EMAIL",
       L"(none)"},
      {L"SELECT ORDERID, AMOUNT FROM ORDERS", 8, 0, L"ORDERID", L"ORDERID", L"ORDERID",
       L"ORDERID", L"(none)"},
      {L"SELECT ORDERID, AMOUNT FROM ORDERS", 12, 0, L"ORDERID", L"(none)", L"ORDERID",
       L"ORDERID", L"(none)"},
      {L"SELECT CITY, NAME FROM CUSTOMER", 12, 0, L"NAME", L"(none)", L"(none)", L"NAME",
       L"(none)"},
      {L"SELECT CITY, NOTES FROM CUSTOMER", 12, 0, L"CITY", L"(none)", L"(none)", L"(none)",
       L"(none)"},
      // Two tables: no column identifies a row of the join.
      {L"SELECT C.CITY, C.CUSTID, O.ORDERID FROM CUSTOMER C, ORDERS O", 12, 0, L"CITY",
       L"(none)", L"(none)", L"(none)", L"(none)"},
      {L"SELECT C.CITY, O.ORDERID FROM CUSTOMER C JOIN ORDERS O ON C.CUSTID = O.CUSTID "
       L"ORDER BY O.ORDERID",
       12, 0, L"ORDERID", L"(none)", L"(none)", L"(none)", L"ORDERID"},
      {L"SELECT CITY, CODE FROM CUSTOMER ORDER BY CITY", 12, 0, L"CITY", L"CODE", L"CODE",
       L"CODE", L"CITY"},
      // An ORDER BY index outside the output columns: no ORDER BY column.
      {L"SELECT CITY, CODE FROM CUSTOMER ORDER BY 5", 12, 0, L"CODE", L"CODE", L"CODE", L"CODE",
       L"(none)"},
      // A reduced digest keeps no ORDER BY.
      {L"SELECT CITY, NAME FROM CUSTOMER ORDER BY CITY", 12, 1, L"NAME", L"(none)", L"(none)",
       L"NAME", L"(none)"},
      // A computed column is never classified.
      {L"SELECT CODE + 1 AS NEXTCODE, CITY FROM CUSTOMER", 12, 0, L"NEXTCODE", L"(none)",
       L"(none)", L"(none)", L"(none)"},
  };
  for (const BestCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "v" << c.version << " r" << c.reduced << " "
                                    << testing::PrintToString(std::wstring(c.text)));
    for (CSQLParserInfo* p : m_digests) p->nRelease();
    m_digests.clear();
    BuildAnalysis(c.version);
    CSQLParserInfo* p = Digest(c.text, c.reduced);
    EXPECT_EQ(NameOf(p->piGetBestColumnNoRef()), c.best);
    EXPECT_EQ(Text(p->pszGetBestParseItem()), c.best);
    EXPECT_EQ(NameOf(p->piGetUniqueNotNullColumnNoRef()), c.uniqueNotNull);
    EXPECT_EQ(NameOf(p->piGetUniqueColumnNoRef()), c.unique);
    EXPECT_EQ(NameOf(p->piGetKeyColumnNoRef()), c.key);
    EXPECT_EQ(NameOf(p->piGetOrderByColumnNoRef()), c.orderBy);
    EXPECT_EQ(p->pszGetOrderByItem() == nullptr, std::wstring(c.orderBy) == L"(none)");
  }
}

TEST_F(ParsedQueryInfo, UniqueTestsAskTheServerItemOfEachColumn) {
  for (int nVersion : {8, 12}) {
    SCOPED_TRACE(nVersion);
    for (CSQLParserInfo* p : m_digests) p->nRelease();
    m_digests.clear();
    BuildAnalysis(nVersion);
    CSQLParserInfo* p = Digest(L"SELECT NAME, EMAIL, CODE, CUSTID, CODE * 2 AS C2 FROM CUSTOMER");
    IInfoRubrique* piName = p->piGetRubriqueOUT(0);
    IInfoRubrique* piEmail = p->piGetRubriqueOUT(1);
    IInfoRubrique* piCode = p->piGetRubriqueOUT(2);
    IInfoRubrique* piCustId = p->piGetRubriqueOUT(3);
    IInfoRubrique* piComputed = p->piGetRubriqueOUT(4);
    EXPECT_FALSE(p->bRubriqueUnique(piName));
    EXPECT_TRUE(p->bRubriqueUnique(piEmail));
    EXPECT_TRUE(p->bRubriqueUnique(piCode));
    EXPECT_TRUE(p->bRubriqueUnique(piCustId));
    EXPECT_FALSE(p->bRubriqueUnique(piComputed));
    EXPECT_FALSE(p->bRubriqueUniqueNotNull(piName));
    EXPECT_FALSE(p->bRubriqueUniqueNotNull(piEmail));
    EXPECT_EQ(p->bRubriqueUniqueNotNull(piCode), nVersion > 8 ? 1 : 0);
    EXPECT_TRUE(p->bRubriqueUniqueNotNull(piCustId));
    EXPECT_FALSE(p->bRubriqueUniqueNotNull(piComputed));
    EXPECT_EQ(p->piGetItemDescription(piComputed), nullptr);
  }
}

TEST_F(ParsedQueryInfo, AutomaticIdentifiersCountOverOneTableOnly) {
  EXPECT_TRUE(Digest(L"SELECT ORDERID, AMOUNT FROM ORDERS")->bQueryContainIdAuto());
  EXPECT_TRUE(Digest(L"SELECT PRODID FROM PRODUCT")->bQueryContainIdAuto());
  EXPECT_FALSE(Digest(L"SELECT AMOUNT FROM ORDERS")->bQueryContainIdAuto());
  EXPECT_FALSE(Digest(L"SELECT O.ORDERID, C.NAME FROM ORDERS O, CUSTOMER C WHERE "
                      L"O.CUSTID = C.CUSTID")
                   ->bQueryContainIdAuto());
  EXPECT_FALSE(CSQLParserInfo::bQueryContainIdAuto(nullptr));
}

// ---------------------------------------------------------------------------
// Record operations

TEST_F(ParsedQueryInfo, RecordOperationsAreRefusedOnDistinctGroupedOrHiddenResults) {
  const struct {
    const wchar_t* text;
    int allowed;
  } cases[] = {
      {L"SELECT NAME, CITY FROM CUSTOMER", 1},
      {L"SELECT DISTINCT NAME FROM CUSTOMER", 0},
      {L"select distinct NAME from CUSTOMER", 0},
      {L"SELECT Distinct NAME FROM CUSTOMER", 0},
      {L"SELECT\tDISTINCT\tNAME FROM CUSTOMER", 0},
      {L"SELECT\nDISTINCT\r\nNAME FROM CUSTOMER", 0},
      {L"SELECT NAME AS DISTINCTNAME FROM CUSTOMER", 1},
      {L"SELECT NAME AS NODISTINCT FROM CUSTOMER", 1},
      {L"SELECT COUNT(*) FROM CUSTOMER", 0},
      {L"SELECT CITY, MAX(CODE) FROM CUSTOMER GROUP BY CITY", 0},
      {L"SELECT CITY FROM CUSTOMER GROUP BY CITY", 0},
      {L"SELECT NAME FROM CUSTOMER ORDER BY CITY", 0},  // CITY is a hidden column
      {L"SELECT NAME FROM CUSTOMER ORDER BY NAME", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
    EXPECT_EQ(Digest(c.text)->bHOperationAllowed(), c.allowed);
  }
  // A reduced digest keeps no GROUP BY copies, yet the query still groups.
  EXPECT_EQ(Digest(L"SELECT CITY FROM CUSTOMER GROUP BY CITY", 1)->bHOperationAllowed(), 0);
}

TEST_F(ParsedQueryInfo, ReducedDigestKeepsNoGroupOrderOrHaving) {
  const wchar_t* pszText =
      L"SELECT CITY, COUNT(*) AS N FROM CUSTOMER WHERE CODE > 1 GROUP BY CITY "
      L"HAVING COUNT(*) > 1 ORDER BY CITY";
  CSQLParserInfo* pFull = Digest(pszText, 0);
  CSQLParserInfo* pReduced = Digest(pszText, 1);
  EXPECT_EQ(pFull->nGetRubriqueClauseGroupeNbr(), 1);
  EXPECT_EQ(pFull->nGetRubriqueClauseOrderNbr(), 1);
  EXPECT_NE(pFull->piGetConditionHavingNoRef(), nullptr);
  EXPECT_NE(pFull->piGetConditionWhereNoRef(), nullptr);
  EXPECT_EQ(pReduced->nGetRubriqueClauseGroupeNbr(), 0);
  EXPECT_EQ(pReduced->nGetRubriqueClauseOrderNbr(), 0);
  EXPECT_EQ(pReduced->piEnumRubriqueClauseGroupe(1), nullptr);
  EXPECT_EQ(pReduced->piGetConditionHavingNoRef(), nullptr);
  EXPECT_NE(pReduced->piGetConditionWhereNoRef(), nullptr);

  // The GROUP BY copy answers the parser's item's seven values.
  CInfoGroupe* pclGroup = pFull->piEnumRubriqueClauseGroupe(1);
  ASSERT_NE(pclGroup, nullptr);
  EXPECT_STREQ(pclGroup->pszGetNomRubriqueAlias(), L"CITY");
  EXPECT_STREQ(pclGroup->pszGetNomTable(), L"CUSTOMER");
  const _stPositionSQL pos = pclGroup->stGetPosition();
  EXPECT_EQ(std::wstring(pszText + pos.nDebut, pos.nFin - pos.nDebut + 1), L"CITY");
}

// ---------------------------------------------------------------------------
// Physical names

TEST_F(ParsedQueryInfo, PhysicalNamesAreCopiedPerDigestAndBounded) {
  CSQLParserInfo* pA = Digest(L"SELECT NAME FROM CUSTOMER");
  CSQLParserInfo* pB = Digest(L"SELECT AMOUNT FROM ORDERS");
  const wchar_t* pszA = pA->pszGetPhysicalName(L"customer");
  EXPECT_EQ(Text(pszA), L"customer_tbl");
  // Another digest's answer does not overwrite this one's.
  EXPECT_EQ(Text(pB->pszGetPhysicalName(L"ORDERS")), L"orders");
  EXPECT_EQ(Text(pszA), L"customer_tbl");
  EXPECT_EQ(pA->pszGetPhysicalName(L"PRODUCT"), nullptr);  // known, no physical name
  EXPECT_EQ(pA->pszGetPhysicalName(L"UNKNOWN"), nullptr);
  EXPECT_EQ(pA->pszGetPhysicalName(L""), nullptr);
  EXPECT_EQ(pA->pszGetPhysicalName(static_cast<const wchar_t*>(nullptr)), nullptr);

  CTString str;
  EXPECT_EQ(CSQLParserInfo::s_bGetPhysicalName(nullptr, L"CUSTOMER", &str), 0);
  EXPECT_EQ(CSQLParserInfo::s_bGetPhysicalName(pA->piGetParserInformationNoRef(), L"CUSTOMER",
                                                &str),
            1);
  EXPECT_STREQ(str.pszGet(), L"customer_tbl");

  // A column's physical table, else its table text itself.
  CSQLParserInfo* pAlias = Digest(L"SELECT C.NAME, P.LABEL FROM CUSTOMER C, PRODUCT P");
  EXPECT_EQ(Text(pAlias->pszGetPhysicalName(pAlias->piGetRubriqueOUT(0))), L"C");
  CSQLParserInfo* pPlain = Digest(L"SELECT NAME FROM CUSTOMER");
  EXPECT_EQ(Text(pPlain->pszGetPhysicalName(pPlain->piGetRubriqueOUT(0))), L"customer_tbl");
}

TEST_F(ParsedQueryInfo, PhysicalNamesOf261CharactersOrMoreAreRefusedWhole) {
  for (int nLength : {259, 260, 261, 262, 1000}) {
    SCOPED_TRACE(nLength);
    m_pAnalysis = std::make_unique<CStandInAnalysis>();
    const std::wstring strPhysical(static_cast<size_t>(nLength), L'p');
    Add(L"LONGT", {Decl(L"A", kI4, 4)}, 12, strPhysical.c_str());
    CSQLParserInfo* p = Digest(L"SELECT A FROM LONGT");
    const wchar_t* psz = p->pszGetPhysicalName(L"LONGT");
    if (nLength < CSQLParserInfo::kPhysicalNameRoom) {
      EXPECT_EQ(Text(psz), strPhysical);
    } else {
      EXPECT_EQ(psz, nullptr);
    }
    for (CSQLParserInfo* pd : m_digests) pd->nRelease();
    m_digests.clear();
  }
}

// ---------------------------------------------------------------------------
// Aliases

TEST_F(ParsedQueryInfo, AliasTestGivesTheDescriptionOfATableNamedByItself) {
  CSQLParserInfo* p = Digest(L"SELECT C.NAME, ORDERS.AMOUNT FROM CUSTOMER C, ORDERS");
  INADataSourceDescription* piOut = reinterpret_cast<INADataSourceDescription*>(0x1);
  EXPECT_TRUE(p->bIsTableAlias(L"c", &piOut));
  EXPECT_EQ(piOut, reinterpret_cast<INADataSourceDescription*>(0x1)) << "alias: left as it was";

  piOut = nullptr;
  EXPECT_FALSE(p->bIsTableAlias(L"ORDERS", &piOut));
  ASSERT_NE(piOut, nullptr);
  EXPECT_STREQ(piOut->pszGetLogicalName(), L"ORDERS");
  piOut->nExternalRelease();

  // No FROM table of that name: the parser's description of the name.
  piOut = nullptr;
  EXPECT_FALSE(p->bIsTableAlias(L"PRODUCT", &piOut));
  ASSERT_NE(piOut, nullptr);
  EXPECT_STREQ(piOut->pszGetLogicalName(), L"PRODUCT");
  piOut->nExternalRelease();

  piOut = reinterpret_cast<INADataSourceDescription*>(0x1);
  EXPECT_FALSE(p->bIsTableAlias(L"NOWHERE", &piOut));
  EXPECT_EQ(piOut, nullptr);
  EXPECT_FALSE(p->bIsTableAlias(L"C", nullptr) == 0);

  EXPECT_EQ(p->csGetFichierFrom_DBTableName(0), CTString(L"CUSTOMER"));
  EXPECT_EQ(p->csGetFichierFrom_DBTableName(1), CTString(L"ORDERS"));
  EXPECT_EQ(p->csGetFichierFrom_DBTableName(2).nTaille(), 0);
  EXPECT_EQ(p->csGetFichierFrom_DBTableName(-1).nTaille(), 0);
}

TEST_F(ParsedQueryInfo, OutputColumnFromAliasSkipsComputedColumnsAndMatchesByNameAlone) {
  CSQLParserInfo* p =
      Digest(L"SELECT C.NAME, C.CODE * 2 AS DOUBLED, O.AMOUNT FROM CUSTOMER C, ORDERS O");
  EXPECT_EQ(NameOf(p->piGetInfoRubriqueFromAlias(L"CUSTOMER", L"name")), L"NAME");
  EXPECT_EQ(NameOf(p->piGetInfoRubriqueFromAlias(L"ORDERS", L"AMOUNT")), L"AMOUNT");
  EXPECT_EQ(p->piGetInfoRubriqueFromAlias(L"ORDERS", L"NAME"), nullptr);
  EXPECT_EQ(p->piGetInfoRubriqueFromAlias(L"CUSTOMER", L"DOUBLED"), nullptr);
  EXPECT_EQ(NameOf(p->piGetInfoRubriqueFromAlias(L"", L"DOUBLED")), L"DOUBLED");
  EXPECT_EQ(NameOf(p->piGetInfoRubriqueFromAlias(nullptr, L"AMOUNT")), L"AMOUNT");
  EXPECT_EQ(p->piGetInfoRubriqueFromAlias(L"", L"MISSING"), nullptr);
}

// ---------------------------------------------------------------------------
// Parser exceptions

TEST_F(ParsedQueryInfo, ParserExceptionsAnswerNull) {
  m_pAnalysis->SetFaults(CStandInAnalysis::kFaultItemDescription |
                         CStandInAnalysis::kFaultPhysicalName |
                         CStandInAnalysis::kFaultAliasSearch);
  CSQLParserInfo* p = Digest(L"SELECT CITY, CODE FROM CUSTOMER");
  // No item description could be had: nothing is classified.
  EXPECT_EQ(NameOf(p->piGetBestColumnNoRef()), L"CITY");
  EXPECT_EQ(p->piGetUniqueColumnNoRef(), nullptr);
  EXPECT_EQ(p->piGetItemDescription(p->piGetRubriqueOUT(1)), nullptr);
  EXPECT_EQ(p->pszGetPhysicalName(L"CUSTOMER"), nullptr);
  CTString str(L"stale");
  EXPECT_EQ(CSQLParserInfo::s_bGetPhysicalName(p->piGetParserInformationNoRef(), L"CUSTOMER",
                                                &str),
            0);
  EXPECT_EQ(str.nTaille(), 0);
  EXPECT_EQ(p->piGetInfoRubriqueFromAlias(L"CUSTOMER", L"CITY"), nullptr);
}

// ---------------------------------------------------------------------------
// Parameter values

TEST_F(ParsedQueryInfo, ParameterValuesAreHeldAndHandedOutWithAReference) {
  CStandInQueryParameters* pclValues = CStandInQueryParameters::pclNew();
  pclValues->SetPrepared(true);
  CSQLParserInfo* p = Digest(L"SELECT NAME FROM CUSTOMER WHERE CODE = {code}", 0, pclValues);
  const int nHeld = pclValues->nGetRefCount();
  EXPECT_TRUE(p->bHPrepareRequeteCalled());
  INAQueryParametersValue* pi = p->piGetUserBindVariable();
  EXPECT_EQ(pi, pclValues);
  EXPECT_EQ(pclValues->nGetRefCount(), nHeld + 1);
  pi->Release();
  pclValues->Release();

  CSQLParserInfo* pNone = Digest(L"SELECT NAME FROM CUSTOMER");
  EXPECT_EQ(pNone->piGetUserBindVariable(), nullptr);
  EXPECT_FALSE(pNone->bHPrepareRequeteCalled());
}

TEST_F(ParsedQueryInfo, SettingAgainReleasesTheFormerQueryAndChosenColumns) {
  CSQLParserInfo* p = Digest(L"SELECT CODE, NAME FROM CUSTOMER ORDER BY NAME");
  CStandInSQLParser clParser(m_pAnalysis.get());
  CStandInSQLInfo* piOther = clParser.pclParse(L"SELECT AMOUNT FROM ORDERS");
  p->Set(piOther, nullptr, 0);
  piOther->Release();
  EXPECT_EQ(NameOf(p->piGetBestColumnNoRef()), L"AMOUNT");
  EXPECT_EQ(p->piGetOrderByColumnNoRef(), nullptr);
  EXPECT_EQ(p->piGetUniqueColumnNoRef(), nullptr);
  EXPECT_EQ(p->piEnumRubriqueOUT(0), nullptr);  // cursor back before the first
  // The same query given again is kept alive through the exchange.
  p->Set(p->piGetParserInformationNoRef(), nullptr, 0);
  EXPECT_STREQ(p->pszGetRequete(), L"SELECT AMOUNT FROM ORDERS");
  p->Set(nullptr, nullptr, 0);
  EXPECT_EQ(p->pszGetRequete(), nullptr);
  EXPECT_EQ(p->nGetRubriqueOUTNbr(), 0);
}

// ---------------------------------------------------------------------------
// Lookups from record columns

TEST_F(ParsedQueryInfo, OrderAndGroupItemsOfARecordColumn) {
  CSQLParserInfo* p = Digest(
      L"SELECT C.CITY AS TOWN, C.NAME, COUNT(*) AS N FROM CUSTOMER C GROUP BY C.CITY, C.NAME "
      L"ORDER BY C.NAME DESC, TOWN");
  CNAColumn* pclTown = Column(L"TOWN", L"CITY", kTexte, L"C");
  CNAColumn* pclName = Column(L"NAME", L"NAME", kTexte, L"C");
  // Found by the original name within the physical table of the alias.
  CNAColumn* pclByOrigin = Column(L"OTHER", L"NAME", kTexte, L"customer_tbl");
  CNAColumn* pclMissing = Column(L"ZIP", L"ZIP", kTexte, L"C");

  IInfoOrderBy* piOrder = p->piGetRubriqueClauseOrder(pclName);
  ASSERT_NE(piOrder, nullptr);
  EXPECT_EQ(piOrder->eGetSensTri(), SENSTRI_DESCENDANT);
  piOrder = p->piGetRubriqueClauseOrder(pclTown);
  ASSERT_NE(piOrder, nullptr);
  EXPECT_EQ(piOrder->eGetSensTri(), SENSTRI_ASCENDANT);
  EXPECT_EQ(p->piGetRubriqueClauseOrder(pclMissing), nullptr);
  EXPECT_EQ(p->piGetRubriqueClauseOrder(nullptr), nullptr);

  // The alias C has no physical name of its own: the original-name rule
  // needs the parser's physical name of the column's table text.
  EXPECT_EQ(p->piGetRubriqueClauseOrder(pclByOrigin), nullptr);
  CSQLParserInfo* pPlain = Digest(L"SELECT NAME FROM CUSTOMER ORDER BY NAME");
  EXPECT_NE(pPlain->piGetRubriqueClauseOrder(pclByOrigin), nullptr);

  CInfoGroupe* pclGroup = p->piGetRubriqueClauseGroupe(pclName);
  ASSERT_NE(pclGroup, nullptr);
  EXPECT_STREQ(pclGroup->pszGetNomRubriqueAlias(), L"NAME");
  EXPECT_EQ(p->piGetRubriqueClauseGroupe(pclMissing), nullptr);

  for (CNAColumn* pc : {pclTown, pclName, pclByOrigin, pclMissing}) pc->nRelease();
}

TEST_F(ParsedQueryInfo, MemoSourcesFollowTheColumnOrItsExpression) {
  CSQLParserInfo* p = Digest(
      L"SELECT NOTES, CITY, UPPER(NOTES) AS UN, UPPER(CITY) AS UC, 'x' AS LIT FROM CUSTOMER");
  const struct {
    const wchar_t* name;
    int type;
    int memo;
  } cases[] = {
      {L"NOTES", kMemoTexte, 1},  // a table column answers its record column
      {L"CITY", kTexte, 0},
      {L"UN", kTexte, 1},         // a function over a memo column
      {L"UC", kTexte, 0},
      {L"LIT", kTexte, 0},
      {L"ABSENT", kMemoTexte, 0},  // no output column of that name
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
    CNAColumn* pclColumn = Column(c.name, c.name, c.type, L"");
    EXPECT_EQ(p->bRubriqueSourceIsMemo(pclColumn), c.memo);
    pclColumn->nRelease();
  }
}

// ---------------------------------------------------------------------------
// Operator classes

TEST(ParsedQueryOperators, FunctionAndGroupingRanges) {
  auto Op = [](int n) { return static_cast<eOPEXPRESSION>(n); };
  const int functions[] = {6, 8, 27, 31, 34, 39, 42, 46, 50, 57, 59, 66, 68, 72, 74, 95,
                           97, 103, 108, 136, 148, 150, 151, 155, 162, 170, 172, 182};
  const int others[] = {0, 5, 9, 26, 32, 33, 40, 41, 47, 48, 49, 58, 67, 73, 96,
                        104, 107, 109, 135, 149, 152, 154, 163, 169, 171, 183, -1};
  for (int n : functions) EXPECT_TRUE(CSQLParserInfo::s_bIsFunction(Op(n))) << n;
  for (int n : others) EXPECT_FALSE(CSQLParserInfo::s_bIsFunction(Op(n))) << n;
  for (int n = -1; n <= 40; ++n) {
    EXPECT_EQ(CSQLParserInfo::s_bIsGroupmentColumn(Op(n)), n >= 27 && n <= 31) << n;
  }
}

}  // namespace
}  // namespace kqtest
