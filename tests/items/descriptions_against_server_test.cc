// The driver's descriptions against the server's own (the stand-in's
// analysis): a table checked against the server's description (error 20
// and its text), the item-lookup error 26 and its text, copies sharing the
// server's enumeration and combination objects, a result column completed
// from the server's item, and the type rules (bTypeMatch, bChangeType) as
// tables of cases with server items on the other side. Every stand-in
// object made in a test is gone at its end, and every counted buffer given
// back (and every conversion string and decimal of the stand-in's).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "items/data_source_description.h"
#include "items/item_description.h"
#include "items/item_types.h"
#include "tests/values/bound_values.h"
#include "values/any.h"

namespace {

constexpr unsigned short kPrimary = 0x8000, kUnique = 0x4000, kDup = 0x2000,
                         kComposed = 0x1000, kAsc = 0x0800, kDesc = 0x0400, kCase = 0x0080,
                         kPunct = 0x0040, kAccent = 0x0020;

// A declaration of one server item.
StandInItemDecl Decl(const wchar_t* pszName, int nType, int nSize, unsigned short wKeys = 0,
                     int nInteger = 0, int nDecimal = 0, int nDimension = 1) {
  StandInItemDecl d;
  d.name = pszName;
  d.type = nType;
  d.size = nSize;
  d.keyFlags = wKeys;
  d.integerDigits = nInteger;
  d.decimalDigits = nDecimal;
  d.dimension = nDimension;
  return d;
}

StandInItemDecl KeyOf(StandInItemDecl d, std::vector<std::wstring> components) {
  d.components = std::move(components);
  return d;
}

std::wstring UserMessage(CNAError* pclError) {
  const wchar_t* psz = pclError->pclGetXError()->pszGetUserMessage();
  return psz != nullptr ? psz : L"";
}

class DescriptionsAgainstServer : public kqtest::BoundValuesTest {
 protected:
  void SetUp() override {
    BoundValuesTest::SetUp();
    ASSERT_EQ(StandInDescriptionCounts::g_nLive, 0);
    m_pclError = new CNAError;
    m_pclError->AddRef();
    m_pclSource = new CNADataSourceDescription(nullptr, m_pclError);
    m_pclSource->ExternalAddRef();
    m_pclSource->SetLogicalName(L"CUSTOMER");
    m_pclSource->SetDBName(L"shop_customer");
  }
  void TearDown() override {
    EXPECT_EQ(m_pclSource->nExternalRelease(), 0);
    EXPECT_EQ(m_pclError->nRelease(), 0);
    // Nothing of the server's is left: every reference the driver took was
    // given back.
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, 0);
    BoundValuesTest::TearDown();
  }

  CNAItemDescription* Add(const wchar_t* pszName, int nType, int nSize,
                          unsigned short wFlags = 0, IEnumerationVM* piEnum = nullptr,
                          ICombinaisonVM* piComb = nullptr) {
    auto* p = new CNAItemDescription;
    EXPECT_EQ(p->bInit(pszName, L"src", L"insrc", 1, nSize, nType, -1, -1, wFlags, 0, 0, piEnum,
                       piComb),
              1);
    EXPECT_EQ(m_pclSource->_AddItem(p), 1);
    return p;
  }

  // A driver item of its own, for the type rules.
  static CNAItemDescription* NewItem(int nType, int nSize, int nInteger = 0, int nDecimal = 0) {
    auto* p = new CNAItemDescription;
    p->bInit(L"X", nullptr, nullptr, 1, nSize, nType, -1, -1, 0, nInteger, nDecimal, nullptr,
             nullptr);
    p->AddRef();
    return p;
  }

  CNAError* m_pclError = nullptr;
  CNADataSourceDescription* m_pclSource = nullptr;
};

TEST_F(DescriptionsAgainstServer, TheServersTableMustFindEachOfItsItemsButComposedKeysHere) {
  Add(L"ID", NA_IT_I4, 4, kPrimary | kAsc);
  Add(L"NAME ", NA_IT_TEXTE, 31);
  Add(L"Prénom", NA_IT_TEXTE, 21);
  std::vector<StandInItemDecl> server = {
      Decl(L"id", NA_IT_I4, 4, kPrimary | kAsc),
      Decl(L"NAME", NA_IT_TEXTE, 31),
      Decl(L"PRENOM", NA_IT_TEXTE, 21),
      KeyOf(Decl(L"ID_NAME", NA_IT_BINAIRE, 34, kComposed | kDup | kAsc), {L"id", L"NAME"}),
  };
  for (int nVersion : {8, 12}) {
    SCOPED_TRACE(nVersion);
    CStandInDescription* pclServer = CStandInDescription::pclNew(L"CUSTOMER", server, nVersion);
    ASSERT_NE(pclServer, nullptr);
    m_pclError->Reset();
    EXPECT_EQ(m_pclSource->bAreDescriptionCompatible(pclServer), 1);
    EXPECT_EQ(m_pclError->dwGetErrorId(), 0u);
    // Every item the driver asked for was given back.
    for (int i = 0; i < pclServer->nGetNumItems(); ++i)
      EXPECT_EQ(pclServer->pclGetItem(i)->nGetRefCount(), i < 2 ? 2 : 1) << i;
    EXPECT_EQ(pclServer->nExternalRelease(), 0);
  }
  server.push_back(Decl(L"EMAIL", NA_IT_TEXTE, 81));
  CStandInDescription* pclServer = CStandInDescription::pclNew(L"CUSTOMER", server, 12);
  m_pclError->Reset();
  EXPECT_EQ(m_pclSource->bAreDescriptionCompatible(pclServer), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 20u);
  const std::wstring text = UserMessage(m_pclError);
  EXPECT_NE(text.find(L"CUSTOMER"), std::wstring::npos) << std::string(text.begin(), text.end());
  EXPECT_NE(text.find(L"EMAIL"), std::wstring::npos);
  EXPECT_STREQ(m_pclError->pszGetLogicalTableName(), L"CUSTOMER");
  EXPECT_EQ(pclServer->nExternalRelease(), 0);
}

TEST_F(DescriptionsAgainstServer, AnItemNotFoundIsErrorTwentySixWithItsOwnText) {
  Add(L"ID", NA_IT_I4, 4);
  EXPECT_EQ(m_pclSource->pclNAGetCorrespondingItem(L"NO_SUCH%_ITEM"), nullptr);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 26u);
  EXPECT_EQ(m_pclError->pclGetXError()->eGetErrorLevel(), CXError::EL_ERROR);
  const std::wstring text = UserMessage(m_pclError);
  EXPECT_EQ(text, L"The data source shop_customer has no item NO_SUCH%_ITEM.");
  EXPECT_STREQ(m_pclError->pszGetLogicalTableName(), L"shop_customer");
  EXPECT_STREQ(m_pclError->pszGetItemName(), L"NO_SUCH%_ITEM");
  // The debug line names the description's file and the lookup's site.
  const std::wstring dump = m_pclError->pszGetError();
  EXPECT_NE(dump.find(L"IEKQMARIA=8.2"), std::wstring::npos);
  // The table's text of code 26 (a query past the packet limit) is still
  // the one a raise through the table gives.
  CNAError clPacket;
  CNAError::g_nRaise(&clPacket, eNA_ERRORTYPE(0), 1, 1, nullptr, nullptr, nullptr, 26u, L"db",
                     1153, 1024u, 2048u, L"SELECT");
  const std::wstring packet = UserMessage(&clPacket);
  EXPECT_NE(packet.find(L"1024"), std::wstring::npos);
  EXPECT_NE(packet.find(L"SELECT"), std::wstring::npos);
}

TEST_F(DescriptionsAgainstServer, CopiesShareTheServersEnumerationAndCombination) {
  CStandInEnumeration* pclEnum = CStandInEnumeration::pclNew();
  CStandInCombination* pclComb = CStandInCombination::pclNew();
  Add(L"STATE", NA_IT_I4, 4, 0, pclEnum, pclComb);
  Add(L"BORN", NA_IT_DATE8, 9);
  Add(L"NOTE", NA_IT_MEMOTEXTE, 8);
  EXPECT_EQ(pclEnum->nGetRefCount(), 2);
  ASSERT_EQ(m_pclSource->UpdateRecordSize(), 1);
  CNADataSourceDescription* pclCopy = m_pclSource->pclGetCloneDataSourceDescription(
      static_cast<CNAItemDescription::eCLONEDESC>(CNAItemDescription::CLONE_AS_KEY |
                                                  CNAItemDescription::CLONE_DATE_AS_TEXT));
  ASSERT_NE(pclCopy, nullptr);
  pclCopy->ExternalAddRef();
  EXPECT_EQ(pclEnum->nGetRefCount(), 3);
  EXPECT_EQ(pclComb->nGetRefCount(), 3);
  CNAItemDescription* pclState = pclCopy->pclGetItem(0);
  EXPECT_EQ(pclState->vpiGetEnumerationVM(), pclEnum);
  EXPECT_EQ(pclState->vpiGetCombinaisonVM(), pclComb);
  // Non-keys became keys with duplicates, but not the memo; the date became
  // text with an 8-bit text default that is not NULL.
  EXPECT_EQ(pclState->wGetKeyFlags(), kDup | kAsc);
  EXPECT_EQ(pclCopy->pclGetItem(2)->wGetKeyFlags(), 0);
  EXPECT_EQ(pclCopy->nGetNumKeys(), 2);
  CNAItemDescription* pclBorn = pclCopy->pclGetItem(1);
  EXPECT_EQ(pclBorn->eNAGetItemType(), NA_IT_TEXTE);
  EXPECT_EQ(pclBorn->pclGetDefaultValue(0)->nGetTypeCode(), 18);
  EXPECT_EQ(pclBorn->pclGetDefaultValue(0)->wGetType() & 0x100, 0);
  EXPECT_EQ(pclCopy->nExternalRelease(), 0);
  EXPECT_EQ(pclEnum->nGetRefCount(), 2);
  // The server drops its own references; the driver's item still holds one.
  EXPECT_EQ(pclEnum->nRelease(), 1);
  EXPECT_EQ(pclComb->nRelease(), 1);
}

TEST_F(DescriptionsAgainstServer, AResultColumnIsCompletedFromTheServersItem) {
  struct Case {
    const char* what;
    StandInItemDecl server;
    int bExact;
    int nType;
    unsigned short wFlags;
  } cases[] = {
      {"a unique key of one table stays unique",
       Decl(L"CODE", NA_IT_TEXTE, 11, kUnique | kAsc | kCase),
       1, NA_IT_TEXTE, kUnique | kAsc | kCase},
      {"over two tables a unique key has duplicates",
       Decl(L"CODE", NA_IT_TEXTE, 11, kUnique | kDesc | kPunct),
       0, NA_IT_TEXTE, kDup | kDesc | kPunct},
      {"a primary key keeps its automatic identifier when exact",
       Decl(L"ID", NA_IT_IDAUTO, 8, kPrimary | kAsc), 1,
       NA_IT_IDAUTO, kPrimary | kUnique | kAsc},
      {"and loses it over two tables",
       Decl(L"ID", NA_IT_IDAUTO4, 4, kPrimary | kAsc | kAccent),
       0, NA_IT_I4, kPrimary | kDup | kAsc | kAccent},
      {"a composed key's bit is not taken",
       Decl(L"K", NA_IT_BINAIRE, 20, kComposed | kDup | kAsc), 1,
       NA_IT_BINAIRE, kDup | kAsc},
      {"a plain item keeps the column's key flags",
       Decl(L"QTY", NA_IT_I2, 2), 1, NA_IT_I2, 0},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.server.caption = L"Caption";
    c.server.extendedInfo = L"Info";
    c.server.nameInSource = L"col_in_table";
    c.server.sourceName = L"TABLE1";
    c.server.dbType = L"SERVERTYPE";
    for (int nVersion : {8, 12}) {
      CStandInItem* pclServer = CStandInItem::pclNew(c.server, nVersion);
      CNAItemDescription* p = NewItem(NA_IT_TEXTE, 50);
      p->SetNativeType(L"VARCHAR", 253);
      ASSERT_EQ(p->bCompleteDescription(pclServer, c.bExact, 3), 1);
      EXPECT_EQ(static_cast<int>(p->eNAGetItemType()), c.nType);
      EXPECT_EQ(p->nGetItemSize(), c.server.size);
      EXPECT_EQ(p->wGetKeyFlags(), c.wFlags);
      EXPECT_EQ(p->nGetKeyIndice(), c.wFlags != 0 ? 3 : -1);
      EXPECT_STREQ(p->pszGetCaption(), L"Caption");
      EXPECT_STREQ(p->pszGetExtendedInfo(), L"Info");
      EXPECT_STREQ(p->pszGetNameInSource(), L"col_in_table");
      EXPECT_STREQ(p->pszGetSourceName(), L"TABLE1");
      EXPECT_STREQ(p->pszGetDBType(), L"SERVERTYPE");
      EXPECT_EQ(p->nGetNativeTypeCode(), 0);
      EXPECT_EQ(p->pclGetDefaultValue(0)->nGetTypeCode(), p->eGetItemVXType());
      p->nRelease();
      EXPECT_EQ(pclServer->nExternalRelease(), 0);
    }
  }
}

TEST_F(DescriptionsAgainstServer, ChangingTypeTakesTheServersTypeAndDigits) {
  struct Case {
    StandInItemDecl server;
    int bKeepAutoId;
    int nType, nSize, nInteger, nDecimal;
  } cases[] = {
      {Decl(L"A", NA_IT_IDAUTO, 8, 0, 4), 0, NA_IT_I8, 8, 0, 0},
      {Decl(L"A", NA_IT_IDAUTO4, 4), 0, NA_IT_I4, 4, 0, 0},
      {Decl(L"A", NA_IT_IDAUTO, 8), 1, NA_IT_IDAUTO, 8, 0, 0},
      {Decl(L"A", NA_IT_DECIMAL, 9, 0, 15, 3), 0, NA_IT_DECIMAL, 9, 15, 3},
      // Time and date-time take the fraction digits only.
      {Decl(L"A", NA_IT_HEURE, 10, 0, 9, 3), 0, NA_IT_HEURE, 10, 7, 3},
      {Decl(L"A", NA_IT_DATETIME, 8, 0, 0, 6), 0, NA_IT_DATETIME, 8, 7, 6},
      {Decl(L"A", NA_IT_TEXTE, 21, 0, 3), 0, NA_IT_TEXTE, 21, 0, 0},
      {Decl(L"A", NA_IT_UNICODE, 42, 0, 0, 0, 3), 0, NA_IT_UNICODE, 42, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.server.type);
    CStandInItem* pclServer = CStandInItem::pclNew(c.server, 12);
    // A decimal item of 7 and 2 digits, with a value as default.
    CNAItemDescription* p = NewItem(NA_IT_DECIMAL, 5, 7, 2);
    p->SetNativeType(L"DECIMAL", 246);
    ASSERT_EQ(p->bChangeType(pclServer, c.bKeepAutoId), 1);
    EXPECT_EQ(static_cast<int>(p->eNAGetItemType()), c.nType);
    EXPECT_EQ(p->nGetItemSize(), c.nSize);
    EXPECT_EQ(p->nGetDimension(), c.server.dimension);
    EXPECT_EQ(p->nGetIntegerPart(), c.nInteger);
    EXPECT_EQ(p->nGetDecimalPart(), c.nDecimal);
    EXPECT_EQ(p->nGetNativeTypeCode(), 0);
    EXPECT_EQ(p->pclGetDefaultValue(0)->nGetTypeCode(), p->eGetItemVXType());
    p->nRelease();
    EXPECT_EQ(pclServer->nExternalRelease(), 0);
  }
}

TEST_F(DescriptionsAgainstServer, ValuesOfTheServersItemFitThisOneByTheTypeRules) {
  struct Side {
    Side(int nTypeIn, int nSizeIn, int nIntegerIn = 0, int nDecimalIn = 0)
        : nType(nTypeIn), nSize(nSizeIn), nInteger(nIntegerIn), nDecimal(nDecimalIn) {}
    int nType, nSize, nInteger, nDecimal;
  };
  struct Case {
    Side self, server;
    int bAnsi, bLenient, bMatch;
  } cases[] = {
      // Same type: sizes, digits, fraction digits.
      {{NA_IT_TEXTE, 31}, {NA_IT_TEXTE, 21}, 0, 0, 1},
      {{NA_IT_TEXTE, 21}, {NA_IT_TEXTE, 31}, 0, 0, 0},
      {{NA_IT_BINAIRE, 10}, {NA_IT_BINAIRE, 10}, 0, 0, 1},
      {{NA_IT_DECIMAL, 9, 10, 2}, {NA_IT_DECIMAL, 9, 8, 2}, 0, 0, 1},
      {{NA_IT_DECIMAL, 9, 10, 2}, {NA_IT_DECIMAL, 9, 10, 3}, 0, 0, 0},
      {{NA_IT_DATETIME, 8, 0, 3}, {NA_IT_DATETIME, 8, 0, 6}, 0, 0, 0},
      {{NA_IT_DATETIME, 8, 0, 3}, {NA_IT_DATETIME, 8, 0, 6}, 0, 1, 1},
      {{NA_IT_I4, 4}, {NA_IT_I4, 4}, 0, 0, 1},
      {{32, 4}, {32, 400}, 0, 0, 1},
      // Unicode against 8-bit text, with and without the ANSI reading.
      {{NA_IT_UNICODE, 42}, {NA_IT_TEXTE, 21}, 0, 0, 1},
      {{NA_IT_UNICODE, 42}, {NA_IT_TEXTE, 21}, 1, 0, 1},
      {{NA_IT_UNICODE, 42}, {NA_IT_TEXTE, 23}, 1, 0, 0},
      {{NA_IT_UNICODE, 10}, {NA_IT_TEXTE, 21}, 0, 0, 0},
      // Numbers by their digits.
      {{NA_IT_I8, 8}, {NA_IT_I4, 4}, 0, 0, 1},
      {{NA_IT_I4, 4}, {NA_IT_I8, 8}, 0, 0, 0},
      {{NA_IT_MONETAIRE, 10}, {NA_IT_I4, 4}, 0, 0, 1},
      {{NA_IT_I4, 4}, {NA_IT_MONETAIRE, 10}, 0, 0, 0},
      {{NA_IT_DECIMAL, 9, 20, 0}, {NA_IT_I8, 8}, 0, 0, 1},
      {{NA_IT_DECIMAL, 9, 10, 0}, {NA_IT_I8, 8}, 0, 0, 0},
      {{NA_IT_R8, 8}, {NA_IT_R4, 4}, 0, 0, 1},
      {{NA_IT_R4, 4}, {NA_IT_R8, 8}, 0, 0, 0},
      // Dates, times and date-times.
      {{NA_IT_DATE8, 9}, {NA_IT_DATE6, 7}, 0, 0, 1},
      {{NA_IT_DATE8, 9}, {NA_IT_DATETIME, 8}, 0, 0, 0},
      {{NA_IT_DATE8, 9}, {NA_IT_DATETIME, 8}, 0, 1, 1},
      {{NA_IT_HEURE, 10}, {NA_IT_DATETIME, 8}, 0, 1, 1},
      {{NA_IT_HEURE, 10}, {NA_IT_DATETIME, 8}, 0, 0, 0},
      {{NA_IT_DATETIME, 8}, {NA_IT_DATE8, 9}, 0, 0, 1},
      {{NA_IT_DATETIME, 8}, {NA_IT_HEURE, 10}, 0, 0, 1},
      // Memos.
      {{NA_IT_MEMOTEXTE, 8}, {NA_IT_TEXTE, 21}, 0, 0, 1},
      {{NA_IT_MEMOTEXTE, 8}, {NA_IT_UNICODE, 42}, 0, 0, 0},
      {{NA_IT_MEMOBINAIRE, 8}, {NA_IT_BINAIRE, 10}, 0, 0, 1},
      {{NA_IT_MEMOUNICODE, 8}, {NA_IT_UNICODE, 42}, 0, 0, 1},
      {{NA_IT_MEMOUNICODE, 8}, {NA_IT_MEMOTEXTE, 8}, 0, 0, 1},
      // No rule: no match.
      {{NA_IT_TEXTE, 21}, {NA_IT_I4, 4}, 0, 0, 0},
      {{NA_IT_BINAIRE, 10}, {NA_IT_TEXTE, 5}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.self.nType << "/" << c.self.nSize << " <- "
                                    << c.server.nType << "/" << c.server.nSize << " ansi "
                                    << c.bAnsi << " lenient " << c.bLenient);
    const StandInItemDecl decl =
        Decl(L"S", c.server.nType, c.server.nSize, 0, c.server.nInteger, c.server.nDecimal);
    CStandInItem* pclServer = CStandInItem::pclNew(decl, 8);
    CNAItemDescription* p = NewItem(c.self.nType, c.self.nSize, c.self.nInteger, c.self.nDecimal);
    p->SetIntegerPart(c.self.nInteger);
    p->SetDecimalPart(c.self.nDecimal);
    EXPECT_EQ(p->bTypeMatch(pclServer, c.bAnsi, c.bLenient), c.bMatch);
    p->nRelease();
    EXPECT_EQ(pclServer->nExternalRelease(), 0);
  }
}

}  // namespace

namespace {

TEST_F(DescriptionsAgainstServer, ADefaultValueIsAlwaysOfTheItemsLanguageType) {
  CNAItemDescription* p = NewItem(NA_IT_I4, 4);
  const unsigned short wI4 = p->eGetItemVXType();
  CAny clValue;
  clValue.SetR8(12.0);
  EXPECT_EQ(p->SetDefaultValue(&clValue, 0), 0);
  EXPECT_EQ(p->pclGetDefaultValue(0)->nGetTypeCode(), wI4);
  EXPECT_FALSE(p->pclGetDefaultValue(0)->bIsNull());
  // A text that is no number: the cast's code, and an empty NULL value of
  // the item's type rather than the text.
  CAny clText;
  clText.SetDATEW(L"not a number");
  EXPECT_NE(p->SetDefaultValue(&clText, 0), 0);
  EXPECT_EQ(p->pclGetDefaultValue(0)->nGetTypeCode(), wI4);
  EXPECT_TRUE(p->pclGetDefaultValue(0)->bIsNull());
  // An expression instead of a value empties the value.
  p->SetDefaultExpression(L"CURRENT_TIMESTAMP");
  CXYString<wchar_t> strExpression;
  int nKind = -1;
  EXPECT_EQ(p->vbGetDefaultExpression(0, strExpression, nKind), 1);
  EXPECT_STREQ(strExpression.pszGet(), L"CURRENT_TIMESTAMP");
  EXPECT_EQ(nKind, 0);
  strExpression.ReleaseDynStr();
  p->nRelease();
}

TEST_F(DescriptionsAgainstServer, TheTypeFactsAndTheDatabaseTypeOfAnItem) {
  StandInItemDecl decl = Decl(L"D", NA_IT_DECIMAL, 9, 0, 15, 3);
  CStandInItem* pclServer = CStandInItem::pclNew(decl, 12);
  stNATypeItemFacts st = CNAItemDescription::s_stGetTypeFacts(pclServer);
  EXPECT_EQ(st.eItemType, NA_IT_DECIMAL);
  EXPECT_EQ(st.nItemSize, 9);
  EXPECT_EQ(st.nIntegerPart, 15);
  EXPECT_EQ(st.nDecimalPart, 3);
  EXPECT_EQ(pclServer->nExternalRelease(), 0);
  CNAItemDescription* p = NewItem(NA_IT_UNICODE, 42);
  st = CNAItemDescription::s_stGetTypeFacts(p);
  EXPECT_EQ(st.nLogicalSize, 20);
  EXPECT_EQ(CNAItemDescription::s_stGetTypeFacts(nullptr).eItemType, NA_IT_EMPTY);
  // No native type code: no database type; with one, the item's type.
  EXPECT_EQ(p->eNAGetDBType(nullptr), 0);
  p->SetNativeType(L"VARCHAR", 253);
  EXPECT_EQ(p->eNAGetDBType(nullptr), NA_IT_UNICODE);
  p->nRelease();
}

}  // namespace
