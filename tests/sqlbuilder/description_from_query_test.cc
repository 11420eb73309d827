// A data-source description completed from a parsed query (the stand-in
// parser over the stand-in's analysis): items appended from the server's
// items or from computed columns, items a statement described completed,
// key flags by the number of tables, keys and memos kept in step, source
// tables, the best item and directions from ORDER BY, composed keys and
// parser faults. Every test ends with no parser object and no stand-in
// description alive.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "host/parser/standin_analysis.h"
#include "host/parser/standin_sql_parser.h"
#include "items/data_source_description.h"
#include "items/item_description.h"
#include "sqlbuilder/parsed_query_info.h"
#include "tests/sqlbuilder/parsed_query_fixture.h"

namespace kqtest {
namespace {

class DescriptionFromQuery : public ParsedQueryTest {
 protected:
  void SetUp() override {
    ParsedQueryTest::SetUp();
    Add(L"CUSTOMER",
        {
            Decl(L"CUSTID", kI4, 4, kPrimary | kAsc, false),
            Decl(L"NAME", kTexte, 31, kDup | kAsc | kIgnoreCase),
            Decl(L"EMAIL", kTexte, 61, kUnique | kAsc),
            Decl(L"NOTES", kMemoTexte, 8),
            Decl(L"CITY", kTexte, 21, 0, true, {}, L"Town"),
            Decl(L"NAME_CITY", kTexte, 50, kComposed | kDup | kAsc, true, {L"NAME", L"CITY"}),
        },
        12, L"customer_tbl");
    Add(L"ORDERS",
        {
            Decl(L"ORDERID", kIdAuto4, 4, kUnique | kAsc),
            Decl(L"CUSTID", kI4, 4, kDup | kAsc),
            Decl(L"AMOUNT", kR8, 8),
        },
        12, L"orders");
    Add(L"PRODUCT", {Decl(L"LABEL", kTexte, 41)}, 12, nullptr);
    m_pclSource = new CNADataSourceDescription(nullptr, m_pclError);
    m_pclSource->ExternalAddRef();
    m_pclSource->SetLogicalName(L"QRY");
  }

  void TearDown() override {
    EXPECT_EQ(m_pclSource->nExternalRelease(), 0);
    if (m_pclInfo != nullptr) m_pclInfo->nRelease();
    ParsedQueryTest::TearDown();
  }

  // Completes the description from the text; the digest lives to the end.
  int Complete(const wchar_t* pszText) {
    CStandInSQLParser clParser(m_pAnalysis.get());
    CStandInSQLInfo* piInfo = clParser.pclParse(pszText);
    m_pclInfo = new CSQLParserInfo(m_pclError, piInfo, nullptr, 0);
    m_pclInfo->AddRef();
    piInfo->Release();
    return m_pclSource->bCompleteDescription(m_pclInfo);
  }

  // An item as a statement's result column describes it.
  void Prefill(const wchar_t* pszName, int nType, int nSize, unsigned short wKeyFlags = 0) {
    const int nKeyIndex = wKeyFlags != 0 ? m_pclSource->nGetNumKeys() : -1;
    ASSERT_EQ(m_pclSource->bAddItem(pszName, L"", pszName, 1, nSize, nType, -1, nKeyIndex,
                                    wKeyFlags, 0, 0),
              1);
  }

  CNAItemDescription* Item(const wchar_t* pszName) {
    CNAItemDescription* p = m_pclSource->pclNAGetItem(pszName, 0);
    EXPECT_NE(p, nullptr) << testing::PrintToString(std::wstring(pszName));
    return p;
  }

  // Every key's index is its place among the keys; every memo is a memo.
  void ExpectKeysAndMemosInStep() {
    for (int k = 0; k < m_pclSource->nGetNumKeys(); ++k) {
      EXPECT_EQ(m_pclSource->pclGetKey(k)->nGetKeyIndice(), k);
      EXPECT_TRUE(m_pclSource->pclGetKey(k)->bIsKey());
    }
    int nMemos = 0;
    for (int i = 0; i < m_pclSource->nGetNumItems(); ++i) {
      nMemos += m_pclSource->pclGetItem(i)->bMemo() ? 1 : 0;
      EXPECT_EQ(m_pclSource->pclGetItem(i)->nGetPhysicalIndice(), i);
    }
    EXPECT_EQ(m_pclSource->nGetNumMemos(), nMemos);
  }

  CSQLParserInfo* m_pclInfo = nullptr;
  CNADataSourceDescription* m_pclSource = nullptr;
};

TEST_F(DescriptionFromQuery, EmptyDescriptionTakesOneItemPerOutputColumn) {
  ASSERT_EQ(Complete(L"SELECT C.CUSTID, C.NAME, C.EMAIL, C.NOTES, C.CITY, C.CUSTID * 2 AS TWICE "
                     L"FROM CUSTOMER C"),
            1);
  EXPECT_EQ(m_pclSource->nGetOrigin(), CNADataSourceDescription::ORIGIN_STATEMENT);
  ASSERT_EQ(m_pclSource->nGetNumItems(), 6);
  const struct {
    const wchar_t* name;
    int type;
    int size;
    unsigned short flags;
    int keyIndex;
  } expected[] = {
      {L"CUSTID", kI4, 4, kPrimary | kUnique | kAsc, 0},
      {L"NAME", kTexte, 31, kDup | kAsc | kIgnoreCase, 1},
      {L"EMAIL", kTexte, 61, kUnique | kAsc, 2},
      {L"NOTES", kMemoTexte, 8, 0, -1},
      {L"CITY", kTexte, 21, 0, -1},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(e.name)));
    CNAItemDescription* p = Item(e.name);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(static_cast<int>(p->eNAGetItemType()), e.type);
    EXPECT_EQ(p->nGetItemSize(), e.size);
    EXPECT_EQ(p->wGetKeyFlags(), e.flags);
    EXPECT_EQ(p->nGetKeyIndice(), e.keyIndex);
    EXPECT_FALSE(p->bGetCalculated());
    // Read through the alias C: the source table is the table's own name.
    EXPECT_STREQ(p->pszGetSourceTable(), L"CUSTOMER");
  }
  EXPECT_STREQ(Item(L"CITY")->pszGetCaption(), L"Town");
  CNAItemDescription* pclTwice = Item(L"TWICE");
  EXPECT_TRUE(pclTwice->bGetCalculated());
  EXPECT_FALSE(pclTwice->bIsKey());
  EXPECT_STREQ(pclTwice->pszGetSourceTable(), L"");
  EXPECT_EQ(m_pclSource->nGetNumKeys(), 3);
  EXPECT_EQ(m_pclSource->nGetNumMemos(), 1);
  ExpectKeysAndMemosInStep();
  // Laid out: the record holds every item.
  long long llTotal = 0;
  for (int i = 0; i < m_pclSource->nGetNumItems(); ++i)
    llTotal += m_pclSource->pclGetItem(i)->llGetTotalSize();
  EXPECT_EQ(m_pclSource->nGetMemoryRecordSize(), llTotal);
  INAItemDescription* piBest = m_pclSource->piGetBestParseItemDesc();
  ASSERT_NE(piBest, nullptr);
  EXPECT_STREQ(piBest->pszGetName(), L"CUSTID");
  piBest->nExternalRelease();
}

TEST_F(DescriptionFromQuery, SourceTableIsThePhysicalNameElseTheDatabaseName) {
  ASSERT_EQ(Complete(L"SELECT CUSTOMER.NAME, PRODUCT.LABEL FROM CUSTOMER, PRODUCT"), 1);
  EXPECT_STREQ(Item(L"NAME")->pszGetSourceTable(), L"customer_tbl");
  EXPECT_STREQ(Item(L"LABEL")->pszGetSourceTable(), L"PRODUCT");
}

TEST_F(DescriptionFromQuery, OverTwoTablesUniqueKeysBecomeKeysWithDuplicates) {
  ASSERT_EQ(Complete(L"SELECT C.CUSTID, C.EMAIL, O.ORDERID, O.AMOUNT FROM CUSTOMER C, ORDERS O "
                     L"WHERE C.CUSTID = O.CUSTID"),
            1);
  for (const wchar_t* pszName : {L"CUSTID", L"EMAIL", L"ORDERID"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(pszName)));
    CNAItemDescription* p = Item(pszName);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->wGetKeyFlags(), kDup | kAsc);
    EXPECT_FALSE(p->bUnique());
    EXPECT_FALSE(p->bPrimary());
  }
  ExpectKeysAndMemosInStep();
}

TEST_F(DescriptionFromQuery, ItemsAStatementDescribedAreCompletedInStep) {
  // As the result columns give them: no keys known, NOTES read as a long
  // text, CITY as a memo, TWICE computed; the statement knew one key.
  Prefill(L"EMAIL", kTexte, 61, kDup | kAsc);
  Prefill(L"CUSTID", kI4, 4);
  Prefill(L"NOTES", kTexte, 100);
  Prefill(L"CITY", kMemoTexte, 8);
  Prefill(L"NAME", kTexte, 31);
  Prefill(L"TWICE", kI4, 4);
  ASSERT_EQ(m_pclSource->nGetNumKeys(), 1);
  ASSERT_EQ(m_pclSource->nGetNumMemos(), 1);
  ASSERT_EQ(Complete(L"SELECT EMAIL, CUSTID, NOTES, CITY, NAME, CUSTID * 2 AS TWICE "
                     L"FROM CUSTOMER"),
            1);
  ASSERT_EQ(m_pclSource->nGetNumItems(), 6);
  // EMAIL keeps its place among the keys; CUSTID and NAME join after it.
  ASSERT_EQ(m_pclSource->nGetNumKeys(), 3);
  EXPECT_STREQ(m_pclSource->pclGetKey(0)->pszGetName(), L"EMAIL");
  EXPECT_STREQ(m_pclSource->pclGetKey(1)->pszGetName(), L"CUSTID");
  EXPECT_STREQ(m_pclSource->pclGetKey(2)->pszGetName(), L"NAME");
  EXPECT_EQ(Item(L"EMAIL")->wGetKeyFlags(), kUnique | kAsc);
  EXPECT_TRUE(Item(L"CUSTID")->bPrimary());
  // NOTES became the memo the analysis says; CITY stopped being one.
  ASSERT_EQ(m_pclSource->nGetNumMemos(), 1);
  EXPECT_STREQ(m_pclSource->pclGetItem(2)->pszGetName(), L"NOTES");
  EXPECT_TRUE(Item(L"NOTES")->bMemo());
  EXPECT_FALSE(Item(L"CITY")->bMemo());
  EXPECT_EQ(Item(L"CITY")->nGetItemSize(), 21);
  EXPECT_STREQ(Item(L"CITY")->pszGetSourceTable(), L"customer_tbl");
  // The computed column: its own name in source, no source.
  CNAItemDescription* pclTwice = Item(L"TWICE");
  EXPECT_TRUE(pclTwice->bGetCalculated());
  EXPECT_STREQ(pclTwice->pszGetNameInSource(), L"TWICE");
  EXPECT_STREQ(pclTwice->pszGetSourceName(), L"");
  ExpectKeysAndMemosInStep();
}

TEST_F(DescriptionFromQuery, OrderByChoosesTheBestItemAndGivesDirections) {
  ASSERT_EQ(Complete(L"SELECT CITY, NAME, CUSTID FROM CUSTOMER ORDER BY NAME DESC, CITY"), 1);
  INAItemDescription* piBest = m_pclSource->piGetBestParseItemDesc();
  ASSERT_NE(piBest, nullptr);
  EXPECT_STREQ(piBest->pszGetName(), L"NAME");
  piBest->nExternalRelease();
  EXPECT_EQ(Item(L"NAME")->wGetKeyFlags() & (kAsc | kDesc), kDesc);
  EXPECT_EQ(Item(L"CITY")->wGetKeyFlags() & (kAsc | kDesc), kAsc);
  EXPECT_EQ(Item(L"CUSTID")->wGetKeyFlags() & (kAsc | kDesc), kAsc);
}

TEST_F(DescriptionFromQuery, OrderByIndexOutsideTheItemsIsNotUsed) {
  ASSERT_EQ(Complete(L"SELECT CITY, CUSTID FROM CUSTOMER ORDER BY 7"), 1);
  INAItemDescription* piBest = m_pclSource->piGetBestParseItemDesc();
  ASSERT_NE(piBest, nullptr);
  EXPECT_STREQ(piBest->pszGetName(), L"CUSTID");  // the keys' rule: the primary key
  piBest->nExternalRelease();
}

TEST_F(DescriptionFromQuery, ComposedKeysOfTheServerAddNoItem) {
  ASSERT_EQ(Complete(L"SELECT NAME_CITY, CITY FROM CUSTOMER"), 1);
  ASSERT_EQ(m_pclSource->nGetNumItems(), 1);
  EXPECT_STREQ(m_pclSource->pclGetItem(0)->pszGetName(), L"CITY");
}

TEST_F(DescriptionFromQuery, QueryWithoutPartsChangesNothing) {
  Prefill(L"A", kI4, 4);
  ASSERT_EQ(Complete(L"SHOW TABLES"), 1);
  EXPECT_EQ(m_pclSource->nGetNumItems(), 1);
  EXPECT_EQ(m_pclSource->nGetOrigin(), CNADataSourceDescription::ORIGIN_STATEMENT);
  EXPECT_EQ(m_pclSource->bCompleteDescription(nullptr), 1);
}

TEST_F(DescriptionFromQuery, WithoutServerItemsColumnsStandAlone) {
  m_pAnalysis->SetFaults(CStandInAnalysis::kFaultItemDescription |
                         CStandInAnalysis::kFaultPhysicalName);
  ASSERT_EQ(Complete(L"SELECT CUSTID, NAME FROM CUSTOMER"), 1);
  ASSERT_EQ(m_pclSource->nGetNumItems(), 2);
  EXPECT_EQ(m_pclSource->nGetNumKeys(), 0);
  EXPECT_STREQ(Item(L"NAME")->pszGetName(), L"NAME");
  EXPECT_FALSE(Item(L"NAME")->bGetCalculated());
  ExpectKeysAndMemosInStep();
}

}  // namespace

namespace {

// An expression node that answers only its operator.
class CFakeExpression final : public IExpOpExpression {
 public:
  explicit CFakeExpression(int nOperator) : m_nOperator(nOperator) {}
  int AddRef() override { return ++m_nRef; }
  int Release() override { return --m_nRef; }
  eOPEXPRESSION eGetOperateur() override { return static_cast<eOPEXPRESSION>(m_nOperator); }
  IExpOpExpression* piGetOperandeGauche() override { return nullptr; }
  IExpOpExpression* piGetOperandeDroit() override { return nullptr; }
  int nGetNbOperande() override { return 0; }
  const wchar_t* pszGetNomParametre() override { return nullptr; }
  const wchar_t* pszGetTexteLitteral() override { return nullptr; }
  const wchar_t* pszGetNomRubrique() override { return nullptr; }
  int bGetValeur(CAny*) override { return 0; }
  _stPositionSQL stGetPositionElement() override { return {0, 0, 0, 0}; }
  const wchar_t* pszGetNomFichier() override { return L""; }
  _stPositionSQL stGetPosition() override { return {0, 0, 0, 0}; }
  int bJointureExterne() override { return 0; }
  eZBTYPES eGetZBType() override { return static_cast<eZBTYPES>(0); }
  wchar_t cGetEscape() override { return 0; }
  IExpOpExpression* piEnumOperande(int*) override { return nullptr; }
  ISQLParserInformation* piGetSousRequete() override { return nullptr; }
  int m_nRef = 1;

 private:
  int m_nOperator;
};

// A computed output column of a given engine type, size and operator.
class CFakeComputedColumn final : public IInfoRubrique {
 public:
  CFakeComputedColumn(int nZBType, int nSize, int nOperator)
      : m_nZBType(nZBType), m_nSize(nSize), m_expression(nOperator) {}
  int Release() override { return --m_nRefParser; }
  const wchar_t* pszGetNomFichier() override { return L""; }
  const wchar_t* pszGetNom() override { return L"EXPR"; }
  const wchar_t* pszGetNomOriginal() override { return L"EXPR"; }
  const wchar_t* pszGetTexte() override { return L"f(x)"; }
  _stPositionSQL stGetPosition() override { return {0, 0, 0, 0}; }
  int bCalcul() override { return 1; }
  int nGetTaille() override { return m_nSize; }
  eZBTYPES eGetZBType() override { return static_cast<eZBTYPES>(m_nZBType); }
  IExpOpExpression* piGetExpression() override {
    m_expression.AddRef();
    return &m_expression;
  }
  const wchar_t* pszGetNomTableAlias() override { return L""; }
  int bVisible() override { return 1; }

  int m_nZBType;
  int m_nSize;
  CFakeExpression m_expression;
};

TEST(ComputedColumnCompletion, EngineTypeGivesTypeAndSize) {
  kqtest::BoundFramework clFramework;
  constexpr int kUnicode = 29, kMemoUnicode = 30, kBinaire = 23, kMemoBinaire = 18,
                kDecimal = 31;
  const struct {
    const char* what;
    int type, size, zbType, columnSize, op;
    int wantType, wantSize;
  } cases[] = {
      {"no engine type: unchanged", kI4, 4, 0, 12, 47, kI4, 4},
      {"decimal: unchanged", kDecimal, 9, 41, 12, 47, kDecimal, 9},
      {"an 8-bit text expression of a Unicode item", kUnicode, 42, 39, 42, 95, kTexte, 21},
      {"an 8-bit text expression of a Unicode memo", kMemoUnicode, 8, 40, 8, 96, kMemoTexte, 8},
      {"memo text over a text item: unchanged", kTexte, 41, 29, 0, 47, kTexte, 41},
      {"memo binary over a binary item: unchanged", kBinaire, 20, 30, 0, 47, kBinaire, 20},
      {"memo Unicode over a Unicode item: unchanged", kUnicode, 42, 40, 0, 47, kUnicode, 42},
      {"memo text over a number", kI4, 4, 29, 0, 47, kMemoTexte, 8},
      {"memo binary over a text", kTexte, 41, 30, 0, 47, kMemoBinaire, 8},
      {"an integer of the column's size", kTexte, 41, 5, 4, 4, kI4, 4},
      {"a double", kDecimal, 9, 7, 8, 16, kR8, 8},
      {"a size the parser cannot give keeps the result's", kTexte, 41, 2, 0, 88, kTexte, 41},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CNAItemDescription* pclItem = new CNAItemDescription;
    pclItem->AddRef();
    ASSERT_EQ(pclItem->bInit(L"EXPR", L"T", L"X", 1, c.size, c.type, 0, -1, 0, 10, 2, nullptr,
                             nullptr),
              1);
    CFakeComputedColumn clColumn(c.zbType, c.columnSize, c.op);
    EXPECT_EQ(pclItem->bCompleteDescriptionCalcul(&clColumn), 1);
    EXPECT_EQ(static_cast<int>(pclItem->eNAGetItemType()), c.wantType);
    EXPECT_EQ(pclItem->nGetItemSize(), c.wantSize);
    EXPECT_TRUE(pclItem->bGetCalculated());
    EXPECT_STREQ(pclItem->pszGetNameInSource(), L"EXPR");
    EXPECT_STREQ(pclItem->pszGetSourceName(), L"");
    if (c.type == kDecimal && c.wantType != kDecimal) {
      EXPECT_EQ(pclItem->nGetIntegerPart(), 0);
      EXPECT_EQ(pclItem->nGetDecimalPart(), 0);
    }
    EXPECT_EQ(clColumn.m_expression.m_nRef, 1) << "expression released";
    pclItem->nRelease();
  }
}

}  // namespace
}  // namespace kqtest
