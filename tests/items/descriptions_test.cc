// The item and data-source descriptions: record layout, names, keys, the
// best item, clones, errors 20 / 26 / 30, 64-bit size checks, bounded
// server-facing getters, and both interfaces called through their raw tables
// of operations as the 32-bit server calls them.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "driver/na_error.h"
#include "items/data_source_description.h"
#include "items/item_description.h"
#include "tests/support/bound_framework.h"

namespace {

constexpr int kI4 = 5, kTexte = 2, kBinaire = 23, kUnicode = 29, kMemoTexte = 15, kIdAuto4 = 28;
constexpr unsigned short kComposed = 0x1000, kDup = 0x2000, kUnique = 0x4000, kPrimary = 0x8000;

// An item answering an older interface version (nothing about NULL).
class COldItem : public CNAItemDescription {
 public:
  int nGetVersion() override { return 8; }
};

// A description whose column hook succeeds with no column.
class CNoColumns : public CNADataSourceDescription {
 public:
  using CNADataSourceDescription::CNADataSourceDescription;
  int _bGetQueryShowColumns(CXYStringConcat<wchar_t>*) override { return 1; }
  int _bInitItemFromQueryShowColumns(CNAStatementSQL*, int) override { return 1; }
};

class Descriptions : public kqtest::BoundFrameworkTest {
 protected:
  void SetUp() override {
    kqtest::BoundFrameworkTest::SetUp();
    m_pclError = new CNAError;
    m_pclError->AddRef();
    m_pclSource = new CNADataSourceDescription(nullptr, m_pclError);
    m_pclSource->ExternalAddRef();
    m_pclSource->SetLogicalName(L"CUSTOMER");
    m_pclSource->SetDBName(L"customer");
  }
  void TearDown() override {
    if (m_pclSource != nullptr) {
      EXPECT_EQ(m_pclSource->nExternalRelease(), 0);
    }
    m_pclError->nRelease();
    kqtest::BoundFrameworkTest::TearDown();
  }

  // A fresh empty description in place of the current one.
  void Renew() {
    EXPECT_EQ(m_pclSource->nExternalRelease(), 0);
    m_pclSource = new CNADataSourceDescription(nullptr, m_pclError);
    m_pclSource->ExternalAddRef();
  }

  // A new item added to the description (the description's reference only).
  CNAItemDescription* Add(const wchar_t* pszName, int nType, int nSize, int nDimension = 1,
                          int nPhysical = -1, int nKeyIndex = -1, unsigned short wFlags = 0,
                          CNAItemDescription* pclItem = nullptr) {
    CNAItemDescription* p = pclItem != nullptr ? pclItem : new CNAItemDescription;
    EXPECT_EQ(p->bInit(pszName, nullptr, nullptr, nDimension, nSize, nType, nPhysical, nKeyIndex,
                       wFlags, 0, 0, nullptr, nullptr),
              1);
    p->AddRef();
    EXPECT_EQ(m_pclSource->_AddItem(p), 1);
    p->nRelease();
    return p;
  }

  std::vector<std::wstring> Names() {
    std::vector<std::wstring> names;
    for (int i = 0; i < m_pclSource->nGetNumItems(); ++i)
      names.emplace_back(m_pclSource->pclGetItem(i)->pszGetName());
    return names;
  }

  CNAError* m_pclError = nullptr;
  CNADataSourceDescription* m_pclSource = nullptr;
};

TEST_F(Descriptions, TheRecordLayoutPlacesComposedKeysInMemoryButNotOnDisk) {
  Add(L"ID", kI4, 4);
  Add(L"NAME", kTexte, 21, 2);
  Add(L"KEY", kBinaire, 25, 1, -1, -1, kComposed | kDup);
  ASSERT_EQ(m_pclSource->UpdateRecordSize(), 1);
  const int offsets[] = {0, 4, 46};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(m_pclSource->pclGetItem(i)->nGetOffset(0), offsets[i]);
  EXPECT_EQ(m_pclSource->pclGetItem(1)->nGetOffset(1), 25);
  EXPECT_EQ(m_pclSource->nGetMemoryRecordSize(), 71);
  EXPECT_EQ(m_pclSource->nGetDiskRecordSize(), 46);
  EXPECT_EQ(m_pclSource->nGetElementCount(), 4);
  EXPECT_EQ(m_pclSource->pclGetItem(2)->nGetSubItemRecordIndice(0), 3);
}

TEST_F(Descriptions, UnnamedAndDuplicateNamesAreGeneratedAndNumbered) {
  Add(nullptr, kI4, 4);
  Add(L"", kI4, 4);
  Add(L"NAME", kTexte, 5);
  Add(L"name", kTexte, 5);
  Add(L"Name", kTexte, 5);
  EXPECT_EQ(Names(), (std::vector<std::wstring>{L"Expr1000", L"Expr10002", L"NAME", L"name2",
                                                L"Name3"}));
}

TEST_F(Descriptions, AnItemAddedAtPhysicalIndexZeroGoesFirstAndRenumbersTheOthers) {
  Add(L"A", kI4, 4);
  Add(L"B", kI4, 4);
  Add(L"C", kI4, 4);
  Add(L"FIRST", kI4, 4, 1, 0);
  EXPECT_EQ(Names(), (std::vector<std::wstring>{L"FIRST", L"A", L"B", L"C"}));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(m_pclSource->pclGetItem(i)->nGetPhysicalIndice(), i);
}

TEST_F(Descriptions, AKeyRemovedMidListLeavesTheOthersNumberedByPosition) {
  CNAItemDescription* keys[4];
  for (int i = 0; i < 4; ++i) {
    keys[i] = Add((L"K" + std::to_wstring(i)).c_str(), kI4, 4, 1, -1, -1, kDup | 0x0800);
  }
  ASSERT_EQ(m_pclSource->nGetNumKeys(), 4);
  m_pclSource->_RemoveKey(keys[1]);
  ASSERT_EQ(m_pclSource->nGetNumKeys(), 3);
  const wchar_t* expected[] = {L"K0", L"K2", L"K3"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(m_pclSource->pclGetKey(i)->pszGetName(), expected[i]);
    EXPECT_EQ(m_pclSource->pclGetKey(i)->nGetKeyIndice(), i);
  }
}

TEST_F(Descriptions, TheBestItemFollowsKeysAndTheNullRuleOfEachVersion) {
  struct Case {
    const char* what;
    int nVersionOfUnique;  // 8 or 12
    bool bNotNull;         // the unique key excludes NULL (version 12)
    int nTypeOfUnique;
    const wchar_t* pszBest;
  } cases[] = {
      {"a version-12 unique key excluding NULL beats an earlier unique one", 12, true, kI4, L"U2"},
      {"a version-12 key allowing NULL: the first unique key", 12, false, kI4, L"U1"},
      {"version 8: only an automatic identifier excludes NULL", 8, false, kIdAuto4, L"U2"},
      {"version 8 without identifier: the first unique key", 8, false, kI4, L"U1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Renew();
    Add(L"MEMO", kMemoTexte, 8);
    Add(L"DUP", kI4, 4, 1, -1, -1, kDup);
    Add(L"U1", kI4, 4, 1, -1, -1, kUnique);
    CNAItemDescription* pclU2 = c.nVersionOfUnique == 8 ? new COldItem : new CNAItemDescription;
    Add(L"U2", c.nTypeOfUnique, 4, 1, -1, -1, kUnique, pclU2);
    // U1 allows NULL; U2 excludes it only as the case says.
    pclU2->SetNullable(c.bNotNull ? 0 : 1);
    INAItemDescription* pi = m_pclSource->piGetBestParseItemDesc();
    ASSERT_NE(pi, nullptr);
    EXPECT_STREQ(pi->pszGetName(), c.pszBest);
    pi->nExternalRelease();
  }
  // A primary key wins as soon as it is met; without keys the first non-memo.
  Renew();
  Add(L"MEMO", kMemoTexte, 8);
  Add(L"PLAIN", kI4, 4);
  INAItemDescription* pi = m_pclSource->piGetBestParseItemDesc();
  EXPECT_STREQ(pi->pszGetName(), L"PLAIN");
  pi->nExternalRelease();
  Renew();
  Add(L"U", kI4, 4, 1, -1, -1, kUnique);
  Add(L"P", kI4, 4, 1, -1, -1, kPrimary);
  pi = m_pclSource->piGetBestParseItemDesc();
  EXPECT_STREQ(pi->pszGetName(), L"P");
  pi->nExternalRelease();
}

TEST_F(Descriptions, AComposedKeyGrowsByItsComponentsInUtf16) {
  CNAItemDescription* pclId = Add(L"ID", kI4, 4);
  CNAItemDescription* pclName = Add(L"NAME", kUnicode, 22);
  CNAItemDescription* pclKey = Add(L"KEY", kBinaire, 0, 1, -1, -1, kComposed | kDup);
  EXPECT_EQ(m_pclSource->_bAddItemComponent(pclKey, 0u), 1);
  EXPECT_EQ(m_pclSource->_bAddItemComponent(pclKey, L"name"), 1);
  EXPECT_EQ(pclKey->nGetItemSize(), 24);
  EXPECT_EQ(pclKey->nGetNumComponents(), 2);
  EXPECT_TRUE(CNAItemDescription::bIsComponentOf(pclKey, pclName));
  EXPECT_TRUE(CNAItemDescription::bIsComponentOf(pclKey, pclId));
  // Component indexes outside 1 .. count answer null.
  for (int n : {-1, 0, 3, 1000}) EXPECT_EQ(pclKey->piGetItemComponent(n), nullptr) << n;
  // A missing component name: error 26, nothing added.
  EXPECT_EQ(m_pclSource->_bAddItemComponent(pclKey, L"NOPE"), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 26u);
  EXPECT_EQ(pclKey->nGetNumComponents(), 2);
}

TEST_F(Descriptions, ACloneCopiesItemsKeysAndBestItemAndFailsOnAMissingComponent) {
  Add(L"ID", kI4, 4);
  Add(L"NAME", kTexte, 21);
  CNAItemDescription* pclKey = Add(L"KEY", kBinaire, 0, 1, -1, -1, kComposed | kDup);
  ASSERT_EQ(m_pclSource->_bAddItemComponent(pclKey, L"ID"), 1);
  ASSERT_EQ(m_pclSource->_bAddItemComponent(pclKey, L"NAME"), 1);
  ASSERT_EQ(m_pclSource->UpdateRecordSize(), 1);
  ASSERT_EQ(m_pclSource->_SetBestParseItem(L"NAME"), 1);
  CNADataSourceDescription* pclClone =
      m_pclSource->pclGetCloneDataSourceDescription(CNAItemDescription::CLONE_AS_KEY);
  ASSERT_NE(pclClone, nullptr);
  pclClone->ExternalAddRef();
  EXPECT_STREQ(pclClone->pszGetLogicalName(), L"CUSTOMER");
  EXPECT_EQ(pclClone->nGetNumItems(), 3);
  EXPECT_EQ(pclClone->nGetMemoryRecordSize(), m_pclSource->nGetMemoryRecordSize());
  EXPECT_EQ(pclClone->nGetDiskRecordSize(), m_pclSource->nGetDiskRecordSize());
  EXPECT_EQ(pclClone->nGetOrigin(), 0);
  // Plain items became keys with duplicates; the key's components are the
  // clone's own items.
  EXPECT_EQ(pclClone->nGetNumKeys(), 3);
  CNAItemDescription* pclKeyCopy = pclClone->pclGetItem(2);
  ASSERT_EQ(pclKeyCopy->nGetNumComponents(), 2);
  EXPECT_EQ(pclKeyCopy->pclGetComponent(0), pclClone->pclGetItem(0));
  INAItemDescription* piBest = pclClone->piGetBestParseItemDesc();
  EXPECT_EQ(piBest, pclClone->pclGetItem(1));
  piBest->nExternalRelease();
  EXPECT_EQ(pclClone->nExternalRelease(), 0);

  // An item clone into a description that lacks a component: error 26 and no
  // item (never a key with a hole).
  auto* pclEmpty = new CNADataSourceDescription(nullptr, m_pclError);
  pclEmpty->ExternalAddRef();
  m_pclError->Reset();
  EXPECT_EQ(pclKey->pclGetCloneItemDescription(pclEmpty, CNAItemDescription::CLONE_PLAIN),
            nullptr);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 26u);
  EXPECT_EQ(pclEmpty->nExternalRelease(), 0);
}

TEST_F(Descriptions, CompatibilityNeedsEveryItemButComposedKeys) {
  Add(L"ID", kI4, 4);
  Add(L"NAME ", kTexte, 21);
  auto* pclServer = new CNADataSourceDescription(nullptr, nullptr);
  pclServer->ExternalAddRef();
  CNAItemDescription* p = new CNAItemDescription;
  p->bInit(L"id", nullptr, nullptr, 1, 4, kI4, -1, -1, 0, 0, 0, nullptr, nullptr);
  pclServer->_AddItem(p);
  p = new CNAItemDescription;
  p->bInit(L"NAME", nullptr, nullptr, 1, 21, kTexte, -1, -1, 0, 0, 0, nullptr, nullptr);
  pclServer->_AddItem(p);
  p = new CNAItemDescription;
  p->bInit(L"KEY", nullptr, nullptr, 1, 0, kBinaire, -1, -1, kComposed | kDup, 0, 0, nullptr,
           nullptr);
  pclServer->_AddItem(p);
  EXPECT_EQ(m_pclSource->bAreDescriptionCompatible(pclServer), 1);
  p = new CNAItemDescription;
  p->bInit(L"EXTRA", nullptr, nullptr, 1, 4, kI4, -1, -1, 0, 0, 0, nullptr, nullptr);
  pclServer->_AddItem(p);
  EXPECT_EQ(m_pclSource->bAreDescriptionCompatible(pclServer), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 20u);
  EXPECT_EQ(pclServer->nExternalRelease(), 0);
}

TEST_F(Descriptions, ATableWithoutColumnsIsErrorThirty) {
  auto* pclDesc = new CNoColumns(nullptr, m_pclError);
  pclDesc->ExternalAddRef();
  EXPECT_EQ(pclDesc->bInitDataSourceDescriptionFromDB(L"EMPTYTABLE", 0), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 30u);
  EXPECT_STREQ(pclDesc->pszGetPhysicalName(), L"EMPTYTABLE");
  EXPECT_STREQ(pclDesc->pszGetDBTableName(), L"EMPTYTABLE");
  EXPECT_EQ(pclDesc->nGetOrigin(), 1);
  EXPECT_EQ(pclDesc->nExternalRelease(), 0);
}

TEST_F(Descriptions, ServerFacingGettersAnswerNullPastTheirCounts) {
  Add(L"ID", kI4, 4, 1, -1, -1, kDup);
  Add(L"MEMO", kMemoTexte, 8);
  for (unsigned int n : {2u, 100u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    EXPECT_EQ(m_pclSource->piNAGetItem(n), nullptr) << n;
    EXPECT_EQ(m_pclSource->piNAGetKey(n), nullptr) << n;
    EXPECT_EQ(m_pclSource->piNAGetMemo(n), nullptr) << n;
  }
  INAItemDescription* pi = m_pclSource->piNAGetMemo(0);
  ASSERT_NE(pi, nullptr);
  EXPECT_STREQ(pi->pszGetName(), L"MEMO");
  pi->nExternalRelease();
  EXPECT_EQ(m_pclSource->piNAGetItem(static_cast<const wchar_t*>(nullptr)), nullptr);
  EXPECT_EQ(m_pclSource->_bSetKeyType(5u, kDup), 0);
}

TEST_F(Descriptions, SizesPast31BitsAreRefusedNeverWrapped) {
  CNAItemDescription* p = new CNAItemDescription;
  p->AddRef();
  struct Bad {
    int nType, nSize, nDimension;
  } bad[] = {{kTexte, 65536, 65536}, {kTexte, 0x7FFFFFFF, 2}, {kTexte, 0, 1},
             {kUnicode, 1, 1},      {kBinaire, 1, 1},        {kI4, -4, 1},
             {kI4, 4, 0},           {kI4, 4, -1}};
  for (const Bad& b : bad) {
    EXPECT_EQ(p->bInit(L"X", nullptr, nullptr, b.nDimension, b.nSize, b.nType, -1, -1, 0, 0, 0,
                       nullptr, nullptr),
              0)
        << b.nType << " " << b.nSize << " x " << b.nDimension;
  }
  // The logical size never goes below 0, whatever the size.
  for (int nType : {kTexte, kUnicode, kBinaire}) {
    for (int nSize : {0, 1}) {
      ASSERT_EQ(p->bInit(L"X", nullptr, nullptr, 1, nSize, nType, -1, -1, kComposed, 0, 0,
                         nullptr, nullptr),
                1);
      EXPECT_GE(p->nGetLogicalSize(-1), 0) << nType << " " << nSize;
      EXPECT_GE(p->nGetLogicalSize(0), 0) << nType << " " << nSize;
    }
  }
  p->nRelease();
  // Two items of 1.5 GB each: the record is refused, nothing wraps.
  Add(L"A", kBinaire, 1536 * 1024 * 1024);
  Add(L"B", kBinaire, 1536 * 1024 * 1024);
  EXPECT_EQ(m_pclSource->UpdateRecordSize(), 0);
  EXPECT_EQ(m_pclSource->nGetMemoryRecordSize(), 0);
  EXPECT_EQ(m_pclSource->nGetDiskRecordSize(), 0);
  EXPECT_EQ(CNAItemDescription::s_nGetZBSize(kTexte, 0xFFFFFFFFu, 0), 0x100000000LL);
  EXPECT_EQ(CNAItemDescription::s_nGetZBSize(kUnicode, 10, 0), 22);
}

TEST_F(Descriptions, ItemTypesFromFormatsAndEngineCodes) {
  struct Case {
    int i, d, nType;
    unsigned int nSize;
  } cases[] = {{10, 6, 17, 10}, {11, 6, 31, 8}, {19, 0, 19, 8}, {20, 0, 31, 9}, {0, 0, 7, 8},
               {2, 0, 4, 1},    {4, 0, 3, 2},   {9, 0, 5, 4},   {30, 10, 7, 8}, {-1, 2, 7, 8},
               {38, 0, 31, 16}, {1, 38, 7, 8}};
  for (const Case& c : cases) {
    int nType = -1;
    unsigned int nSize = 0;
    CNAItemDescription::s_GetTypeFromFormat(c.i, c.d, &nType, &nSize);
    EXPECT_EQ(nType, c.nType) << c.i << "," << c.d;
    EXPECT_EQ(nSize, c.nSize) << c.i << "," << c.d;
  }
  EXPECT_EQ(CNADataSourceDescription::g_eGetNAItemType(44), kMemoTexte);
  EXPECT_EQ(CNADataSourceDescription::g_eGetNAItemType(24), 1);
  EXPECT_EQ(CNADataSourceDescription::g_eGetNAItemType(-3), kMemoTexte);
  CNAItemDescription* p = Add(L"D", 31, 0);
  p->bInit(L"D", nullptr, nullptr, 1, 5, 31, -1, -1, 0, 10, 2, nullptr, nullptr);
  EXPECT_EQ(static_cast<int>(p->eNAGetItemType()), 31);
  EXPECT_EQ(p->nGetIntegerPart(), 10);
  p->bInit(L"D", nullptr, nullptr, 1, 5, 31, -1, -1, 0, 30, 10, nullptr, nullptr);
  EXPECT_EQ(static_cast<int>(p->eNAGetItemType()), 7);
  EXPECT_EQ(p->nGetItemSize(), 8);
}

// ---------------------------------------------------------------------------
// The 32-bit server's view: slot n of the table of operations.

template <class R, class... A>
R CallSlot(void* pObject, int nSlot, A... args) {
  using Fn = R (*)(void*, A...);
  void** ppTable = *static_cast<void***>(pObject);
  return reinterpret_cast<Fn>(ppTable[nSlot])(pObject, args...);
}

TEST_F(Descriptions, EverySlotOfBothInterfacesAnswersThroughTheRawTable) {
  CNAItemDescription* pclItem = Add(L"NAME", kTexte, 21, 3);
  pclItem->bSetKey(0, kUnique | 0x0400 | 0x0080 | 0x0040 | 0x0020);
  m_pclSource->_AddKey(pclItem);
  Add(L"MEMO", kMemoTexte, 8);
  ASSERT_EQ(m_pclSource->UpdateRecordSize(), 1);
  void* pi = static_cast<INAItemDescription*>(pclItem);
  EXPECT_EQ(CallSlot<int>(pi, 0), 12);
  EXPECT_EQ(CallSlot<int>(pi, 1), 1);
  EXPECT_EQ(CallSlot<int>(pi, 2), -1);
  EXPECT_EQ(CallSlot<int>(pi, 3), -1);
  CallSlot<void>(pi, 4);
  EXPECT_EQ(CallSlot<void*>(pi, 5), pi);
  EXPECT_EQ(CallSlot<int>(pi, 6), 2);  // the item and key arrays still hold it
  EXPECT_STREQ(CallSlot<const wchar_t*>(pi, 7), L"NAME");
  const struct {
    int nSlot, nArg, nAnswer;
  } ints[] = {{8, 0, 3},   {9, 0, 21},  {10, 0, 20}, {10, -1, 60}, {11, 0, 63}, {12, 0, kTexte},
              {13, 0, 0},  {14, 0, 1},  {15, 0, 0},  {16, 0, 0},   {17, 0, 0},  {18, 0, 0},
              {19, 0, 1},  {20, 0, 0},  {21, 0, 0},  {22, 0, 0},   {23, 0, 1},  {24, 0, 0},
              {25, 0, 0},  {26, -1, 0}, {27, -1, 1}, {28, -1, 1},  {29, -1, 1}, {30, -1, 1},
              {32, 2, 42}, {40, 0, 0},  {41, 0, 0},  {44, 0, 0},   {46, 0, 0},  {48, 0, 1},
              {52, 0, 0},  {54, 0, 1},  {58, 0, 0},  {60, 0, 0},   {61, 0, 0}};
  for (const auto& c : ints) EXPECT_EQ(CallSlot<int>(pi, c.nSlot, c.nArg), c.nAnswer) << c.nSlot;
  EXPECT_EQ(CallSlot<void*>(pi, 31, 1), nullptr);
  CallSlot<void>(pi, 33);
  EXPECT_EQ(CallSlot<CAny*>(pi, 34, 0), pclItem->pclGetDefaultValue(0));
  for (int nSlot : {35, 36, 37, 42, 43}) EXPECT_STREQ(CallSlot<const wchar_t*>(pi, nSlot), L"");
  for (int nSlot : {38, 39, 53, 55, 56}) EXPECT_EQ(CallSlot<void*>(pi, nSlot), nullptr);
  CallSlot<void>(pi, 45, 7u);
  CallSlot<void>(pi, 47, 7u, 0);
  CallSlot<void>(pi, 49, 0);
  EXPECT_EQ(pclItem->bUpdatable(), 0);
  EXPECT_EQ(CallSlot<void*>(pi, 50, nullptr, nullptr), nullptr);
  EXPECT_EQ(CallSlot<void*>(pi, 51, 0u, nullptr, nullptr), nullptr);
  CXYString<wchar_t> strExpression;
  int nKind = -1;
  EXPECT_EQ((CallSlot<int, unsigned int, CXYString<wchar_t>*, int*>(pi, 57, 0u, &strExpression,
                                                                      &nKind)),
            0);
  EXPECT_STREQ(CallSlot<const wchar_t*>(pi, 59), L"");

  void* ps = static_cast<INADataSourceDescription*>(m_pclSource);
  EXPECT_EQ(CallSlot<int>(ps, 0), 6);
  EXPECT_EQ(CallSlot<int>(ps, 1), 1);
  EXPECT_EQ(CallSlot<int>(ps, 2), -1);
  EXPECT_EQ(CallSlot<int>(ps, 3), -1);
  CallSlot<void>(ps, 4);
  CallSlot<void>(ps, 5);
  EXPECT_EQ(CallSlot<int>(ps, 6), 1);
  EXPECT_STREQ(CallSlot<const wchar_t*>(ps, 7), L"CUSTOMER");
  EXPECT_STREQ(CallSlot<const wchar_t*>(ps, 8), L"CUSTOMER");
  EXPECT_STREQ(CallSlot<const wchar_t*>(ps, 9), L"");
  EXPECT_EQ(CallSlot<int>(ps, 10), 71);
  CallSlot<void>(ps, 11);
  EXPECT_EQ(CallSlot<int>(ps, 12), 2);
  EXPECT_EQ(CallSlot<int>(ps, 13), 1);
  EXPECT_EQ(CallSlot<int>(ps, 14), 1);
  EXPECT_EQ(CallSlot<int>(ps, 15), 2);
  for (int nSlot = 16; nSlot <= 19; ++nSlot) {
    INAItemDescription* piGot =
        nSlot == 16 ? CallSlot<INAItemDescription*>(ps, 16, L"name")
                    : CallSlot<INAItemDescription*>(ps, nSlot, nSlot == 19 ? 0u : 0u);
    ASSERT_NE(piGot, nullptr) << nSlot;
    EXPECT_STREQ(piGot->pszGetName(), nSlot == 19 ? L"MEMO" : L"NAME") << nSlot;
    piGot->nExternalRelease();
    EXPECT_EQ(CallSlot<void*>(ps, nSlot == 16 ? 17 : nSlot, 9u), nullptr);
  }
  EXPECT_EQ(CallSlot<int>(ps, 20), 1);
  EXPECT_STREQ(CallSlot<const wchar_t*>(ps, 21), L"customer");
  INAItemDescription* piBest = CallSlot<INAItemDescription*>(ps, 22);
  EXPECT_EQ(piBest, static_cast<INAItemDescription*>(pclItem));
  piBest->nExternalRelease();
  for (int nSlot : {23, 24, 25}) EXPECT_STREQ(CallSlot<const wchar_t*>(ps, nSlot), L"");
  for (int nSlot : {26, 27, 28}) EXPECT_EQ(CallSlot<void*>(ps, nSlot), nullptr);
  EXPECT_EQ(CallSlot<int>(ps, 29), 1);
  for (int nSlot = 30; nSlot <= 39; ++nSlot) CallSlot<void>(ps, nSlot);
}

}  // namespace
