// The item types: names, the tables to and from the language's type codes,
// and the text and memo sets.
#include "items/item_types.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ItemTypes, NamesAreTheEnumeratorsAndUnknownCodesSayTypeInconnu) {
  EXPECT_EQ(std::wstring(g_pszGetNAItemTypeName(NA_IT_EMPTY)), L"NA_IT_EMPTY");
  EXPECT_EQ(std::wstring(g_pszGetNAItemTypeName(NA_IT_TEXTE)), L"NA_IT_TEXTE");
  EXPECT_EQ(std::wstring(g_pszGetNAItemTypeName(NA_IT_TIMELENGHT)), L"NA_IT_TIMELENGHT");
  EXPECT_EQ(std::wstring(g_pszGetNAItemTypeName(NA_IT_COMBINAISON)), L"NA_IT_COMBINAISON");
  for (int n : {8, 34, -1, 1000}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(std::wstring(g_pszGetNAItemTypeName(static_cast<eNA_ITEMTYPE>(n))), L"Type inconnu");
  }
}

TEST(ItemTypes, EveryItemTypeGoesToItsLanguageType) {
  const unsigned short kExpected[34] = {0,  9,  19, 7,  6,  8,   11, 12, 0,   3,   128, 129,
                                        2,  12, 128, 19, 28, 10, 28, 9,  5,   19,  4,   28,
                                        26, 27, 17, 1,  8,  16, 16, 13, 135, 136};
  for (int n = 0; n <= 33; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(ConverteItemToVXType(static_cast<eNA_ITEMTYPE>(n), 4), kExpected[n]);
    // The size never changes the answer.
    EXPECT_EQ(ConverteItemToVXType(static_cast<eNA_ITEMTYPE>(n), 1000), kExpected[n]);
  }
  EXPECT_EQ(ConverteItemToVXType(static_cast<eNA_ITEMTYPE>(34), 0), 0);
  EXPECT_EQ(ConverteItemToVXType(static_cast<eNA_ITEMTYPE>(-5), 0), 0);
}

TEST(ItemTypes, TheWayBackPicksOneItemTypePerLanguageType) {
  struct Row {
    unsigned short nVX;
    eNA_ITEMTYPE e;
  };
  const Row rows[] = {{1, NA_IT_BOOLEEN},   {2, NA_IT_UI1},         {3, NA_IT_UI2},
                      {4, NA_IT_UI4},       {5, NA_IT_UI8},         {6, NA_IT_I1},
                      {7, NA_IT_I2},        {8, NA_IT_I4},          {9, NA_IT_I8},
                      {10, NA_IT_MONETAIRE}, {11, NA_IT_R4},        {12, NA_IT_R8},
                      {13, NA_IT_DECIMAL},  {14, NA_IT_UI4},        {16, NA_IT_MEMOUNICODE},
                      {17, NA_IT_CHAR},     {18, NA_IT_TEXTE},      {19, NA_IT_MEMOTEXTE},
                      {24, NA_IT_DATE8},    {25, NA_IT_HEURE},      {26, NA_IT_DATETIME},
                      {27, NA_IT_TIMELENGHT}, {28, NA_IT_MEMOBINAIRE}, {81, NA_IT_UNICODE},
                      {110, NA_IT_UNICODE}, {128, NA_IT_DATE8},     {129, NA_IT_HEURE},
                      {135, NA_IT_ENUMERATION}, {136, NA_IT_COMBINAISON}};
  int nNonZero = 0;
  for (unsigned int n = 0; n <= 300; ++n) {
    eNA_ITEMTYPE eExpected = NA_IT_EMPTY;
    for (const Row& r : rows)
      if (r.nVX == n) eExpected = r.e;
    SCOPED_TRACE(n);
    EXPECT_EQ(ConvertVXTypeToeItem(static_cast<unsigned short>(n)), eExpected);
    if (ConvertVXTypeToeItem(static_cast<unsigned short>(n)) != NA_IT_EMPTY) ++nNonZero;
  }
  EXPECT_EQ(nNonZero, 29);
  EXPECT_EQ(ConvertVXTypeToeItem(65535), NA_IT_EMPTY);
}

TEST(ItemTypes, GoingThereAndBackIsNotAnIdentity) {
  auto there_and_back = [](eNA_ITEMTYPE e) { return ConvertVXTypeToeItem(ConverteItemToVXType(e)); };
  EXPECT_EQ(there_and_back(NA_IT_TEXTE), NA_IT_MEMOTEXTE);
  EXPECT_EQ(there_and_back(NA_IT_IDAUTO), NA_IT_I8);
  EXPECT_EQ(there_and_back(NA_IT_DATE6), NA_IT_DATE8);
  EXPECT_EQ(there_and_back(NA_IT_IMAGE), NA_IT_MEMOTEXTE);
  EXPECT_EQ(there_and_back(NA_IT_I4), NA_IT_I4);
}

TEST(ItemTypes, TextAndMemoSetsHoldExactlyTheirMembers) {
  for (int n = -1; n <= 35; ++n) {
    eNA_ITEMTYPE e = static_cast<eNA_ITEMTYPE>(n);
    SCOPED_TRACE(n);
    EXPECT_EQ(bIsTextUnicode(e), n == 29 || n == 30);
    EXPECT_EQ(bIsTextAnsi(e), n == 2 || n == 15);
    EXPECT_EQ(bIsTextAW(e), n == 2 || n == 15 || n == 29 || n == 30);
    EXPECT_EQ(bIsItemMemo(e), n == 15 || n == 16 || n == 18 || n == 30);
    EXPECT_EQ(bIsItemMemoBinaire(e), n == 16 || n == 18);
  }
  EXPECT_FALSE(bIsTextAW(NA_IT_CHAR));
  EXPECT_FALSE(bIsTextAnsi(NA_IT_IMAGE));
}

}  // namespace
