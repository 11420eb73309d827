// The record of a data access over the stand-in server's analysis: the
// columns and special columns it makes, the order-list rules, the row
// buffers with their defined and modified tests, memos, composed-key bytes,
// NULL rules by server kind, the unique-composed-key test under
// NULL-selection sets, the trace, and every reference given back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/counted_string.h"
#include "core/string_concat.h"
#include "driver/connection_description.h"
#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "items/column.h"
#include "items/column_null_selection.h"
#include "items/convert_variant.h"
#include "items/items_data_access_interface.h"
#include "items/parsed_query.h"
#include "items/record.h"
#include "items/statement_interface.h"
#include "kq230/sql_parser_interface.h"
#include "tests/items/record_test_support.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/support/standin_items.h"
#include "tests/values/bound_values.h"
#include "values/any_behaviour.h"

namespace {

constexpr unsigned short kPrimary = 0x8000, kUnique = 0x4000, kDup = 0x2000, kComposed = 0x1000;

// The items' test connection with an ORDER BY limit of the test's choice.
class TestConnection : public kqtest::ItemsTestConnection {
 public:
  TestConnection(INAConnectionDescription* piHost, int nKind, int nOrderByMax)
      : kqtest::ItemsTestConnection(piHost, nKind), m_nOrderByMax(nOrderByMax) {}
  int nGetOrderByMaxExpressionNbr() override { return m_nOrderByMax; }

 private:
  int m_nOrderByMax;
};

class TestRecordId : public CNARecordIdBase {
 public:
  void RecordIdToString(CXYString<wchar_t>* pOut, const wchar_t* pszPrefix, int) const override {
    const std::wstring str = std::wstring(pszPrefix) + L"row 7";
    *pOut = CXYString<wchar_t>(str.c_str());
  }
};

// An ORDER BY item of a parsed query: only its output-column index counts.
class TestOrderBy : public IInfoOrderBy {
 public:
  explicit TestOrderBy(int nIndex) : m_nIndex(nIndex) {}
  virtual ~TestOrderBy() = default;
  int Release() override { return 1; }
  eSENSTRI eGetSensTri() override { return eSENSTRI(0); }
  int nGetIndiceRubriqueOUT() override { return m_nIndex; }
  _stPositionSQL stGetPosition() override { return _stPositionSQL{}; }

 private:
  int m_nIndex;
};

// A parsed query that answers only its ORDER BY items.
class TestQuery : public CNAParsedQuery {
 public:
  explicit TestQuery(const std::vector<int>& indexes) {
    for (int n : indexes) m_items.emplace_back(n);
  }
  ~TestQuery() override = default;
  ISQLParserInformation* piGetParserInformationNoRef() const override { return nullptr; }
  const wchar_t* pszGetRequete() override { return nullptr; }
  int nGetFichierFromNbr() const override { return 1; }
  int nGetRubriqueOUTNbr() const override { return 0; }
  IInfoRubrique* piGetRubriqueOUT(int) const override { return nullptr; }
  IInfoRubrique* piEnumRubriqueOUT(int) override { return nullptr; }
  IInfoFrom* piEnumFichierFrom(int) override { return nullptr; }
  IInfoOrderBy* piEnumRubriqueClauseOrder(int bFirst) override {
    if (bFirst) m_nCursor = 0;
    if (m_nCursor >= static_cast<int>(m_items.size())) return nullptr;
    return &m_items[static_cast<size_t>(m_nCursor++)];
  }
  INAItemDescription* piGetItemDescription(const IInfoRubrique*) override { return nullptr; }
  const wchar_t* pszGetPhysicalName(const wchar_t*) override { return nullptr; }
  INADataSourceDescription* piGetNADataSourceDescription(const wchar_t*) override {
    return nullptr;
  }
  int bHOperationAllowed() override { return 1; }

 private:
  std::vector<TestOrderBy> m_items;
  int m_nCursor = 0;
};

// The items' test data access, which can also give a record identifier and
// tells which initialisation the record asked for.
class TestDataAccess : public kqtest::TestItemsDataAccess {
 public:
  TestDataAccess() : kqtest::TestItemsDataAccess(nullptr, L"CUSTOMER") {}
  bool bGiveRecordId = false;
  int nInitAsked = -1;

  CNAZBRecordBase* pclAllocZBRecord(CNAError* pclError, INADataSourceDescription* piSource,
                                    eINITTYPE eInit) override {
    nInitAsked = eInit;
    return kqtest::TestItemsDataAccess::pclAllocZBRecord(pclError, piSource, eInit);
  }
  CNARecordIdBase* pclAllocRecordID(const CNARecordValueBase*) override {
    return bGiveRecordId ? new TestRecordId : nullptr;
  }
};

using kqtest::Decl;

class Records : public kqtest::BoundValuesTest {
 protected:
  void SetUp() override {
    kqtest::BoundValuesTest::SetUp();
    m_nLiveBefore = StandInDescriptionCounts::g_nLive;
    m_pclError = new CNAError;
    m_pclError->AddRef();
  }
  void TearDown() override {
    Drop();
    if (m_pclConnection != nullptr) {
      EXPECT_EQ(m_pclConnection->nRelease(), 0);
    }
    m_pclError->nRelease();
    EXPECT_EQ(m_host.nOutstanding(), 0);
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, m_nLiveBefore) << "stand-in objects left";
    kqtest::BoundValuesTest::TearDown();
  }

  // A record over a new stand-in description of these items.
  bool Build(const std::vector<StandInItemDecl>& items, int nKind = kServerKindMariaDB,
             int nOrderByMax = 0x7FFFFFFF, int nVersion = 12) {
    Drop();
    if (m_pclConnection != nullptr) m_pclConnection->nRelease();
    m_pclConnection = new TestConnection(&m_host, nKind, nOrderByMax);
    m_pclConnection->AddRef();
    m_piSource = CStandInDescription::pclNew(L"CUSTOMER", items, nVersion);
    if (m_piSource == nullptr) return false;
    m_pclRecord = new CNARecord(m_pclError, &m_access);
    m_pclRecord->AddRef();
    return m_pclRecord->bInitRecord(m_piSource, nullptr, m_pclConnection) != 0;
  }
  void Drop() {
    if (m_pclRecord != nullptr) {
      EXPECT_EQ(m_pclRecord->nRelease(), 0);
    }
    m_pclRecord = nullptr;
    if (m_piSource != nullptr) m_piSource->nExternalRelease();
    m_piSource = nullptr;
  }

  CNAColumn* Column(const wchar_t* pszName) { return m_pclRecord->pclGetColumnNoRef(pszName); }
  std::vector<std::wstring> OrderNames() const {
    std::vector<std::wstring> names;
    for (int i = 0; i < m_pclRecord->nGetColumnOrderNbr(); ++i) {
      names.emplace_back(m_pclRecord->pclGetColumnOrderNoRef(i)->pszGetName());
    }
    return names;
  }
  static CAny Text(const wchar_t* psz) {
    CAny v;
    v.__SetType(VX_DSTRW, 0);
    v.SetValueByte(psz, static_cast<unsigned int>(std::wcslen(psz) * sizeof(wchar_t)));
    return v;
  }
  static CAny Int(int n) {
    CAny v;
    v.SetI4(n);
    return v;
  }

  int m_nLiveBefore = 0;
  kqtest::HostConnectionFake m_host;
  CNAError* m_pclError = nullptr;
  TestConnection* m_pclConnection = nullptr;
  TestDataAccess m_access;
  CStandInDescription* m_piSource = nullptr;
  CNARecord* m_pclRecord = nullptr;
};

TEST_F(Records, ADescriptionWithoutItemsIsUserErrorOneNamingTheDataSource) {
  EXPECT_FALSE(Build({}));
  EXPECT_EQ(m_pclError->dwGetErrorId(), 1u);
  EXPECT_STREQ(m_pclError->pszGetLogicalTableName(), L"CUSTOMER");
  EXPECT_NE(std::wstring(m_pclError->pszGetError()).find(L"IEKQMARIA=11.2"), std::wstring::npos);
  EXPECT_EQ(m_pclRecord->nGetColumnNbr(), 0);
  EXPECT_EQ(m_pclRecord->pclGetNAZBRecord(), nullptr);
}

TEST_F(Records, ColumnsFollowTheItemsWithTheirSpecialColumnsAndMemos) {
  ASSERT_TRUE(Build({Decl(L"ID", NA_IT_IDAUTO4, 4, kUnique, false),
                     Decl(L"NAME", NA_IT_TEXTE, 21, kDup),
                     Decl(L"CODE", NA_IT_TEXTE, 11, kUnique),
                     Decl(L"NOTES", NA_IT_MEMOTEXTE, 8),
                     Decl(L"PHOTO", NA_IT_MEMOBINAIRE, 8),
                     Decl(L"AGE", NA_IT_I4, 4)}));
  EXPECT_EQ(m_access.nInitAsked, INIT_DEFAULT_VALUES) << "the template takes the default values";
  ASSERT_EQ(m_pclRecord->nGetColumnNbr(), 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(m_pclRecord->pclGetColumnNoRef(i)->nGetPhysicalIndice(), i);
    EXPECT_EQ(m_pclRecord->pclGetColumnNoRef(i)->pclGetRecordNoRef(), m_pclRecord);
  }
  EXPECT_EQ(m_pclRecord->pclGetColumnIDAutoNoRef(), Column(L"ID"));
  EXPECT_EQ(m_pclRecord->pclGetUniqueKeyNoRef(), Column(L"ID")) << "the first unique item";
  EXPECT_EQ(Column(L"name"), m_pclRecord->pclGetColumnNoRef(1)) << "names ignore case";
  EXPECT_EQ(Column(L"MISSING"), nullptr);
  ASSERT_EQ(m_pclRecord->pclGetTabColumnMemo()->nGetNbElement(), 2);
  EXPECT_EQ((*m_pclRecord->pclGetTabColumnMemo())[0], Column(L"NOTES"));
  EXPECT_EQ(Column(L"PHOTO")->nGetMemoIndice(), 1);
  EXPECT_STREQ(m_pclRecord->pszGetTableName(), L"CUSTOMER");
  EXPECT_EQ(m_pclRecord->pclGetConnectionNoRef(), m_pclConnection);
  EXPECT_STREQ(Column(L"NAME")->pszGetFormatedName(), L"`NAME`");
  // Over a table an item finds its column by its physical index.
  INAItemDescription* piCode = m_piSource->piNAGetItem(2u);
  EXPECT_EQ(m_pclRecord->pclGetColumnNoRef(piCode), Column(L"CODE"));
  piCode->nExternalRelease();
  ASSERT_NE(m_pclRecord->pclGetNAZBRecord(), nullptr);
  ASSERT_NE(m_pclRecord->pclGetCurrentRecordNoRef(), m_pclRecord->pclGetOriginalRecordNoRef());
}

// The order list: which columns, in which order, for each layout.
TEST_F(Records, TheOrderListFollowsTheKeyRules) {
  struct Case {
    const char* name;
    std::vector<StandInItemDecl> items;
    std::vector<int> queryOrder;  // empty: a table
    int nOrderByMax;
    std::vector<std::wstring> expected;
  };
  const std::vector<Case> cases = {
      {"an automatic identifier alone, whatever the query orders by",
       {Decl(L"NAME", NA_IT_TEXTE, 21, kDup), Decl(L"ID", NA_IT_IDAUTO, 8, kUnique, false),
        Decl(L"CITY", NA_IT_TEXTE, 21)},
       {0, 2},
       100,
       {L"ID"}},
      {"a unique key refusing NULL alone, dropping the ORDER BY columns before it",
       {Decl(L"NAME", NA_IT_TEXTE, 21, kDup), Decl(L"CODE", NA_IT_TEXTE, 11, kUnique, false),
        Decl(L"CITY", NA_IT_TEXTE, 21)},
       {2, 0},
       100,
       {L"CODE"}},
      {"nullable unique keys, then keys with duplicates, then the other non-memos",
       {Decl(L"NOTES", NA_IT_MEMOTEXTE, 8), Decl(L"CITY", NA_IT_TEXTE, 21),
        Decl(L"NAME", NA_IT_TEXTE, 21, kDup), Decl(L"CODE", NA_IT_TEXTE, 11, kUnique),
        Decl(L"AGE", NA_IT_I4, 4)},
       {},
       100,
       {L"CODE", L"NAME", L"CITY", L"AGE"}},
      {"query ORDER BY items come first and are not repeated",
       {Decl(L"CITY", NA_IT_TEXTE, 21), Decl(L"NAME", NA_IT_TEXTE, 21, kDup),
        Decl(L"AGE", NA_IT_I4, 4)},
       {2, 0, 7, -1},
       100,
       {L"AGE", L"CITY", L"NAME"}},
      {"a composed key gives its components, never twice",
       {Decl(L"LAST", NA_IT_TEXTE, 21), Decl(L"FIRST", NA_IT_TEXTE, 21),
        Decl(L"BIRTH", NA_IT_I4, 4, kDup),
        Decl(L"FULL", NA_IT_BINAIRE, 46, kComposed | kUnique, true, {L"LAST", L"FIRST", L"BIRTH"}),
        Decl(L"BYBIRTH", NA_IT_BINAIRE, 25, kComposed | kDup, true, {L"BIRTH", L"LAST"})},
       {},
       100,
       {L"LAST", L"FIRST", L"BIRTH"}},
      {"a composed unique key refusing NULL alone",
       {Decl(L"CITY", NA_IT_TEXTE, 21, kUnique), Decl(L"A", NA_IT_I4, 4),
        Decl(L"B", NA_IT_I4, 4),
        Decl(L"AB", NA_IT_BINAIRE, 8, kComposed | kUnique, false, {L"A", L"B"})},
       {},
       100,
       {L"A", L"B"}},
      {"never more columns than the connection allows",
       {Decl(L"C1", NA_IT_I4, 4), Decl(L"C2", NA_IT_I4, 4), Decl(L"C3", NA_IT_I4, 4),
        Decl(L"K", NA_IT_BINAIRE, 8, kComposed | kDup, true, {L"C3", L"C1"})},
       {},
       2,
       {L"C3", L"C1"}},
      {"a connection that allows no ORDER BY gets an empty list",
       {Decl(L"C1", NA_IT_I4, 4, kUnique, false)},
       {},
       0,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestQuery query(c.queryOrder);
    m_access.m_bQuery = c.queryOrder.empty() ? 0 : 1;
    m_access.m_pclQuery = c.queryOrder.empty() ? nullptr : &query;
    ASSERT_TRUE(Build(c.items, kServerKindMariaDB, c.nOrderByMax));
    EXPECT_EQ(OrderNames(), c.expected);
    Drop();
    m_access.m_bQuery = 0;
    m_access.m_pclQuery = nullptr;
  }
}

TEST_F(Records, AValueDefinesAndModifiesItsItemUntilTheOriginalTakesIt) {
  ASSERT_TRUE(Build({Decl(L"NAME", NA_IT_TEXTE, 21), Decl(L"AGE", NA_IT_I4, 4)}));
  CNAColumn* pclAge = Column(L"AGE");
  CAny v;
  ASSERT_TRUE(pclAge->bGetCurrentValue(&v, 0));
  EXPECT_TRUE(v.bIsNull()) << "an item not defined reads as NULL";
  EXPECT_FALSE(pclAge->bValueDefined());
  EXPECT_FALSE(pclAge->bValueModified());

  const CAny five = Int(5);
  ASSERT_TRUE(pclAge->bSetValue(&five, 0));
  EXPECT_TRUE(pclAge->bValueDefined());
  EXPECT_TRUE(pclAge->bValueModified()) << "defined now, not in the original";
  EXPECT_FALSE(Column(L"NAME")->bValueModified());

  ASSERT_TRUE(m_pclRecord->bCopyCurrentRecordToOriginalRecord());
  EXPECT_FALSE(pclAge->bValueModified());
  EXPECT_TRUE(m_pclRecord->bEquals(m_pclRecord->pclGetOriginalRecordNoRef(), 1));

  const CAny six = Int(6);
  ASSERT_TRUE(pclAge->bSetValue(&six, 0));
  EXPECT_TRUE(pclAge->bValueModified()) << "the bytes differ";
  EXPECT_FALSE(m_pclRecord->bEquals(m_pclRecord->pclGetOriginalRecordNoRef(), 1));

  ASSERT_TRUE(m_pclRecord->bCopyOriginalRecordToCurrentRecord());
  EXPECT_FALSE(pclAge->bValueModified());
  int n = 0;
  ASSERT_TRUE(pclAge->bGetCurrentValue(&v, 0));
  EXPECT_EQ(v.nGetINT(&n), 0);
  EXPECT_EQ(n, 5);

  // A buffer set from outside: the holders' NULL flags follow it.
  CNAZBRecordBase* pclCopy = m_pclRecord->pclGetTemplateNoRef()->pclGetCloneBase();
  ASSERT_NE(pclCopy, nullptr);
  ASSERT_TRUE(m_pclRecord->bSetNAZBRecord(pclCopy));
  delete pclCopy;
  EXPECT_FALSE(pclAge->bValueDefined());
  EXPECT_TRUE(pclAge->pclGetNAValue()->bIsNull());

  m_pclRecord->SetDeleted();
  EXPECT_EQ(m_pclRecord->pclGetCurrentRecordNoRef()->nGetState(), kRecordValueDeleted);
}

TEST_F(Records, AMemoKeepsItsValueInTheHolderTheCurrentRowShares) {
  ASSERT_TRUE(Build({Decl(L"NAME", NA_IT_TEXTE, 21), Decl(L"NOTES", NA_IT_MEMOTEXTE, 8)}));
  CNAColumn* pclNotes = Column(L"NOTES");
  EXPECT_EQ(m_pclRecord->pclGetCurrentRecordNoRef()->pclGetMemoValueNoRef(0),
            pclNotes->pclGetNAValue());

  const CAny x = Text(L"first");
  ASSERT_TRUE(pclNotes->bSetValue(&x, 0));
  EXPECT_TRUE(pclNotes->bValueDefined());
  EXPECT_FALSE(pclNotes->bValueModified()) << "a value read is not a change";
  ASSERT_TRUE(pclNotes->bSetValueToDB(&x, 0));
  EXPECT_FALSE(pclNotes->bValueModified()) << "the same value again";
  const CAny y = Text(L"second");
  ASSERT_TRUE(pclNotes->bSetValueToDB(&y, 0));
  EXPECT_TRUE(pclNotes->bValueModified());
  CXYStringConcat<wchar_t> text;
  pclNotes->bCurrentValueToString(&text, 0);
  EXPECT_STREQ(text.pszGet(), L"second");
  pclNotes->SetNotModified();
  EXPECT_FALSE(pclNotes->bValueModified());
  EXPECT_FALSE(pclNotes->bMustDefine(0)) << "memos are defined only when asked";
  EXPECT_TRUE(pclNotes->bMustDefine(kStatementMemoDefined));
}

TEST_F(Records, AComposedKeyValueIsItsComponentsBytesZeroFilled) {
  ASSERT_TRUE(Build({Decl(L"CODE", NA_IT_TEXTE, 11), Decl(L"N", NA_IT_I4, 4),
                     Decl(L"K", NA_IT_BINAIRE, 15, kComposed | kUnique, true, {L"CODE", L"N"})}));
  CNAColumn* pclKey = Column(L"K");
  ASSERT_NE(pclKey->pclGetTabComponent(), nullptr);
  ASSERT_EQ(pclKey->pclGetTabComponent()->nGetNbElement(), 2);
  EXPECT_EQ((*pclKey->pclGetTabComponent())[0], Column(L"CODE"));
  EXPECT_EQ(m_pclRecord->pclGetTabUniqueComposedKey()->nGetNbElement(), 1);
  const CAny code = Text(L"abc");
  const CAny n = Int(0x01020304);
  ASSERT_TRUE(Column(L"CODE")->bSetValue(&code, 0));
  ASSERT_TRUE(Column(L"N")->bSetValue(&n, 0));
  CAny v;
  ASSERT_TRUE(pclKey->bGetCurrentValue(&v, 0));
  unsigned int nSize = 0;
  void* p = nullptr;
  ASSERT_EQ(v.pclGetIntern()->nGetDataSize(&nSize), 0);
  ASSERT_EQ(v.pclGetIntern()->nGetDataAdr(&p), 0);
  const unsigned char expected[14] = {'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0, 4, 3, 2, 1};
  ASSERT_GE(nSize, 14u);
  EXPECT_EQ(std::memcmp(p, expected, sizeof expected), 0);
  EXPECT_TRUE(pclKey->bValueDefined());
  EXPECT_FALSE(pclKey->bMustDefine(kStatementMemoDefined)) << "a composed key is never defined";
}

// A binary component enters the key as it lies in the record: its 16-bit
// length, then its bytes, zero-filled; a searched composite value is cut back
// into components by that form, so the two must agree.
TEST_F(Records, ABinaryComponentEntersTheKeyWithItsLength) {
  ASSERT_TRUE(Build({Decl(L"B", NA_IT_BINAIRE, 6), Decl(L"N", NA_IT_I4, 4),
                     Decl(L"K", NA_IT_BINAIRE, 12, kComposed | kUnique, true, {L"B", L"N"})}));
  CAny bin;
  bin.__SetType(VX_BIN, 0);
  const unsigned char bytes[3] = {0xAA, 0x00, 0xBB};
  bin.SetValueByte(bytes, sizeof bytes);
  const CAny n = Int(7);
  ASSERT_TRUE(Column(L"B")->bSetValue(&bin, 0));
  ASSERT_TRUE(Column(L"N")->bSetValue(&n, 0));
  CAny v;
  ASSERT_TRUE(Column(L"K")->bGetCurrentValue(&v, 0));
  unsigned int nSize = 0;
  void* p = nullptr;
  ASSERT_EQ(v.pclGetIntern()->nGetDataSize(&nSize), 0);
  ASSERT_EQ(v.pclGetIntern()->nGetDataAdr(&p), 0);
  ASSERT_GE(nSize, 2u + sizeof bytes);
  const unsigned char* pKey = static_cast<const unsigned char*>(p);
  EXPECT_EQ(pKey[0] | (pKey[1] << 8), 3);
  EXPECT_EQ(std::memcmp(pKey + 2, bytes, sizeof bytes), 0);
}

// Whether a value counts as NULL for a column, by server kind (1 is the
// server that stores empty texts as NULL; every connection of this driver
// is kind 5).
TEST_F(Records, WhatCountsAsNullDependsOnTheServerKind) {
  struct Case {
    const char* name;
    int nKind;
    const wchar_t* pszColumn;
    CAny value;
    int bExpected;
  };
  CAny nullText = Text(L"");
  nullText.SetNull(true);
  CAny emptyBin;
  emptyBin.SetBIN(reinterpret_cast<const unsigned char*>(""), 0);
  const Case cases[] = {
      {"a NULL flag on any server", 5, L"TEXT", nullText, 1},
      {"an empty text on kind 1, nullable text", 1, L"TEXT", Text(L""), 1},
      {"an empty text on kind 1, text refusing NULL", 1, L"TEXTNN", Text(L""), 0},
      {"a text on kind 1", 1, L"TEXT", Text(L"a"), 0},
      {"an empty binary on kind 1", 1, L"BIN", emptyBin, 1},
      {"a zero on kind 1", 1, L"AGE", Int(0), 0},
      {"an empty text on kind 5", 5, L"TEXT", Text(L""), 0},
      {"an empty date on kind 5", 5, L"DAY", Text(L""), 1},
      {"a date on kind 5", 5, L"DAY", Text(L"20240229"), 0},
      {"a zero on kind 5", 5, L"AGE", Int(0), 0},
  };
  for (int nKind : {1, 5}) {
    ASSERT_TRUE(Build({Decl(L"TEXT", NA_IT_TEXTE, 11), Decl(L"TEXTNN", NA_IT_TEXTE, 11, 0, false),
                       Decl(L"BIN", NA_IT_BINAIRE, 10), Decl(L"AGE", NA_IT_I4, 4),
                       Decl(L"DAY", NA_IT_DATE8, 9)},
                      nKind));
    for (const Case& c : cases) {
      if (c.nKind != nKind) continue;
      SCOPED_TRACE(c.name);
      EXPECT_EQ(Column(c.pszColumn)->bNullOrEquivalent(&c.value), c.bExpected);
    }
  }
}

TEST_F(Records, AUniqueComposedKeyExcludesNullsByItsRuleOrByTheConditionSet) {
  ASSERT_TRUE(Build({Decl(L"A", NA_IT_I4, 4), Decl(L"B", NA_IT_I4, 4), Decl(L"C", NA_IT_I4, 4),
                     Decl(L"AB", NA_IT_BINAIRE, 8, kComposed | kUnique, true, {L"A", L"B"})}));
  CNAColumn* a = Column(L"A");
  CNAColumn* b = Column(L"B");
  CNAColumn* c = Column(L"C");
  CColumnNullValueExcluded excludesA;
  excludesA.bSetColumnValuesNullSelected(a, 0);
  CColumnNullValueExcluded letsThrough;
  letsThrough.bSetColumnValuesNullSelected(a, 1);
  struct Case {
    const char* name;
    std::vector<CNAColumn*> columns;
    CColumnNullValueExcluded* pclSet;
    bool bDefineA;
    int bExpected;
  };
  const Case cases[] = {
      {"a count of one", {a}, &excludesA, true, 0},
      {"both components, the set excludes A's NULLs", {a, b}, &excludesA, false, 1},
      {"both components, the set lets every NULL through", {a, b}, &letsThrough, true, 0},
      {"both components, no set, nothing defined", {a, b}, nullptr, false, 0},
      {"both components, no set, A defined", {b, a}, nullptr, true, 1},
      {"a component missing", {a, c}, &excludesA, true, 0},
      {"the column just added is no component", {a, b, c}, &excludesA, true, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    CAny v;
    if (k.bDefineA) {
      v = Int(1);
    } else {
      v.SetI4(0);
      v.SetNull(true);
    }
    ASSERT_TRUE(a->bSetValue(&v, 0));
    CNARefArray<CNAColumn> tab;
    for (CNAColumn* p : k.columns) tab.Ajoute(p);
    EXPECT_EQ(m_pclRecord->bComposedKeyUniqueNotNullAdded(&tab, tab.nGetNbElement(), k.pclSet),
              k.bExpected);
  }
  // A key that refuses NULL needs nothing more.
  ASSERT_TRUE(Build({Decl(L"A", NA_IT_I4, 4), Decl(L"B", NA_IT_I4, 4),
                     Decl(L"AB", NA_IT_BINAIRE, 8, kComposed | kUnique, false, {L"A", L"B"})}));
  CNARefArray<CNAColumn> tab;
  tab.Ajoute(Column(L"B"));
  tab.Ajoute(Column(L"A"));
  EXPECT_TRUE(m_pclRecord->bComposedKeyUniqueNotNullAdded(&tab, 2, nullptr));
  EXPECT_TRUE(m_pclRecord->bComposedKeyUniqueNotNullAdded(&tab, 5, nullptr))
      << "a count past the array is cut to it";
}

TEST_F(Records, TheUniqueKeyWithAValueIsFoundInItsOrder) {
  ASSERT_TRUE(Build({Decl(L"NAME", NA_IT_TEXTE, 21), Decl(L"CODE", NA_IT_TEXTE, 11, kUnique),
                     Decl(L"MAIL", NA_IT_TEXTE, 31, kUnique)}));
  EXPECT_EQ(m_pclRecord->pclGetUniqueKeyNoRef(), Column(L"CODE"));
  EXPECT_EQ(m_pclRecord->pclGetUniqueKeyNotNullNoRef(), nullptr);
  const CAny mail = Text(L"a@b");
  ASSERT_TRUE(Column(L"MAIL")->bSetValue(&mail, 0));
  EXPECT_EQ(m_pclRecord->pclGetUniqueKeyNotNullNoRef(), Column(L"MAIL"));
  const CAny code = Text(L"X1");
  ASSERT_TRUE(Column(L"CODE")->bSetValue(&code, 0));
  EXPECT_EQ(m_pclRecord->pclGetUniqueKeyNotNullNoRef(), Column(L"CODE"));
  EXPECT_EQ(m_pclRecord->pclGetNAColumnIdentityNoRef(), nullptr) << "no imported item";
}

TEST_F(Records, TheTraceShowsTheIdentifierTheDefinedBitsAndEachValue) {
  ASSERT_TRUE(Build({Decl(L"NAME", NA_IT_TEXTE, 21), Decl(L"AGE", NA_IT_I4, 4),
                     // The stand-in places a key after its components: with
                     // no size of its own CITY's slot stays inside the record.
                     Decl(L"K", NA_IT_BINAIRE, 0, kComposed | kDup, true, {L"NAME", L"AGE"}),
                     Decl(L"CITY", NA_IT_TEXTE, 21)}));
  const CAny name = Text(L"Ann");
  ASSERT_TRUE(Column(L"NAME")->bSetValue(&name, 0));
  CXYStringConcat<wchar_t> text;
  text.Add(L"old", 3);
  m_pclRecord->CurrentRecordToString(&text);
  EXPECT_STREQ(text.pszGet(),
               L"<Record ID> : NULL\n<NullValuesFlags (0=NULL)> : 10000000"
               L"\n<NAME> = <Ann>\n<AGE> = <NULL>")
      << "the columns stop at the first composed key";

  m_access.bGiveRecordId = true;
  ASSERT_TRUE(Build({Decl(L"AGE", NA_IT_I4, 4)}));
  m_pclRecord->CurrentRecordToString(&text);
  EXPECT_STREQ(text.pszGet(),
               L"<Record ID> : row 7\n<NullValuesFlags (0=NULL)> : 00000000\n<AGE> = <NULL>");
  m_access.bGiveRecordId = false;
}

TEST_F(Records, OverAQueryAnItemFindsItsColumnByTableAndName) {
  StandInItemDecl custName = Decl(L"NAME", NA_IT_TEXTE, 21);
  custName.sourceName = L"CUST";
  custName.nameInSource = L"NAME";
  StandInItemDecl orderName = Decl(L"NAME2", NA_IT_TEXTE, 21);
  orderName.sourceName = L"ORDERS";
  orderName.nameInSource = L"NAME";
  m_access.m_bQuery = 1;
  ASSERT_TRUE(Build({custName, orderName, Decl(L"TOTAL", NA_IT_I4, 4)}));

  StandInItemDecl askedOther = Decl(L"OTHER", NA_IT_TEXTE, 21);
  askedOther.sourceName = L"orders";
  askedOther.nameInSource = L"name";
  StandInItemDecl askedTotal = Decl(L"total", NA_IT_I4, 4);
  CStandInDescription* piAsked =
      CStandInDescription::pclNew(L"ASKED", {orderName, askedOther, askedTotal, custName}, 12);
  ASSERT_NE(piAsked, nullptr);
  struct Case {
    const char* name;
    unsigned int nItem;
    const wchar_t* pszExpected;
  };
  const Case cases[] = {
      {"same table, same name in it, same item name", 0, L"NAME2"},
      {"same table and name in it, another item name: the candidate", 1, L"NAME2"},
      {"no table on either side: the item name", 2, L"TOTAL"},
      {"the other table", 3, L"NAME"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    INAItemDescription* pi = piAsked->piNAGetItem(c.nItem);
    CNAColumn* pclColumn = m_pclRecord->pclGetColumnNoRef(pi);
    pi->nExternalRelease();
    ASSERT_NE(pclColumn, nullptr);
    EXPECT_STREQ(pclColumn->pszGetName(), c.pszExpected);
  }
  piAsked->nExternalRelease();
  m_access.m_bQuery = 0;
}

TEST_F(Records, AnOlderAnalysisIsNeverAskedItsNullRule) {
  // Version-8 items end the process when asked for their NULL rule: the
  // record must decide by primary key and type alone.
  ASSERT_TRUE(Build({Decl(L"CODE", NA_IT_TEXTE, 11, kUnique), Decl(L"NR", NA_IT_I4, 4, kPrimary)},
                    kServerKindMariaDB, 100, 8));
  EXPECT_EQ(OrderNames(), std::vector<std::wstring>{L"NR"});
  EXPECT_TRUE(Column(L"CODE")->bIsNullable());
  EXPECT_FALSE(Column(L"NR")->bIsNullable());
}

TEST_F(Records, NewBuffersAfterATypeChangeStartEmptyAndStillWork) {
  ASSERT_TRUE(Build({Decl(L"NOTES", NA_IT_MEMOTEXTE, 8), Decl(L"AGE", NA_IT_I4, 4)}));
  const CAny five = Int(5);
  ASSERT_TRUE(Column(L"AGE")->bSetValue(&five, 0));
  ASSERT_TRUE(m_pclRecord->bUpdateChangedTypeInCurrentRecord(m_piSource));
  EXPECT_FALSE(Column(L"AGE")->bValueDefined());
  ASSERT_TRUE(Column(L"AGE")->bSetValue(&five, 0));
  EXPECT_TRUE(Column(L"AGE")->bValueDefined());
  EXPECT_EQ(m_pclRecord->pclGetCurrentRecordNoRef()->pclGetMemoValueNoRef(0),
            Column(L"NOTES")->pclGetNAValue())
      << "the memo holder is shared with the new current row";
}

TEST_F(Records, ARecordWithoutDataAccessHasNoBuffersAndSaysSo) {
  m_pclConnection = new TestConnection(&m_host, kServerKindMariaDB, 10);
  m_pclConnection->AddRef();
  m_piSource = CStandInDescription::pclNew(L"T", {Decl(L"A", NA_IT_I4, 4)}, 12);
  m_pclRecord = new CNARecord(m_pclError, nullptr);
  m_pclRecord->AddRef();
  EXPECT_FALSE(m_pclRecord->bInitRecord(m_piSource, nullptr, m_pclConnection));
  EXPECT_NE(m_pclError->dwGetErrorId(), 0u);
  EXPECT_STREQ(m_pclRecord->pszGetTableName(), L"");
  EXPECT_EQ(m_pclRecord->pclGetSourceQueryNoRef(), nullptr);
}

}  // namespace
