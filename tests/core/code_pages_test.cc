// The tables between character sets, code pages, languages and
// nations, ChangeLocale, and the preparation of 8-bit/wide conversions.
#include "core/code_pages.h"

#include <gtest/gtest.h>

#include <clocale>
#include <set>
#include <string>

#include "core/module_entry.h"
#include "core/codepage_conversion.h"
#include "tests/support/bound_framework.h"

namespace {

// Every character set of the table, with its code page (table 1), language
// id (table 3) and the character set its code page goes back to (table 2).
struct CharsetRow {
  int nCharset;
  unsigned int nCodePage;
  unsigned short wLanguage;
  int nCharsetOfCodePage;
};
constexpr CharsetRow kCharsets[] = {
    {0, 1252, 0, 0},        {255, 1252, 0, 0},     {128, 932, 17, 128},   {129, 949, 18, 129},
    {130, 1361, 18, 130},   {134, 936, 2052, 134}, {136, 950, 1028, 136}, {161, 1253, 8, 161},
    {162, 1254, 31, 162},   {163, 1258, 42, 163},  {177, 1255, 13, 177},  {178, 1256, 1, 178},
    {186, 1257, 37, 186},   {204, 1251, 1049, 204}, {222, 874, 30, 222},  {238, 1250, 21, 238},
    {65001, 65001, 0, 65001},
};

TEST(CodePageTables, CharsetsMapToTheirCodePagesAndLanguages) {
  for (const CharsetRow& row : kCharsets) {
    SCOPED_TRACE(row.nCharset);
    EXPECT_EQ(dwGetCodePageFromCharset(row.nCharset), row.nCodePage);
    EXPECT_EQ(wGetLanguageID(row.nCharset), row.wLanguage);
    EXPECT_EQ(nGetCharsetFromCodePage(static_cast<int>(row.nCodePage)), row.nCharsetOfCodePage);
  }
}

TEST(CodePageTables, EveryOtherCharsetHasNoCodePageAndNoLanguage) {
  std::set<int> named;
  for (const CharsetRow& row : kCharsets) named.insert(row.nCharset);
  for (int nCharset = -300; nCharset <= 70000; ++nCharset) {
    if (named.count(nCharset) != 0) continue;
    ASSERT_EQ(dwGetCodePageFromCharset(nCharset), 0u) << nCharset;
    ASSERT_EQ(wGetLanguageID(nCharset), 0) << nCharset;
  }
}

TEST(CodePageTables, CodePagesOutsideTheTableHaveNoCharset) {
  std::set<int> named = {0};
  for (const CharsetRow& row : kCharsets) named.insert(static_cast<int>(row.nCodePage));
  EXPECT_EQ(nGetCharsetFromCodePage(0), 127);
  for (int nCodePage = -10; nCodePage <= 70000; ++nCodePage) {
    if (named.count(nCodePage) != 0) continue;
    ASSERT_EQ(nGetCharsetFromCodePage(nCodePage), -1) << nCodePage;
  }
  EXPECT_EQ(nGetCharsetFromCodePage(437), -1);
}

TEST(CodePageTables, EveryCharsetOfATableHasACodePageOfTheConversionTable) {
  // A character set the server reports converts through a real iconv name,
  // never through the default.
  for (const CharsetRow& row : kCharsets) {
    SCOPED_TRACE(row.nCharset);
    const std::string name = CodePageToIConv(static_cast<int>(row.nCodePage));
    if (row.nCodePage == 1252) {
      EXPECT_EQ(name, "CP1252");
    } else {
      EXPECT_NE(name, "CP1252");
    }
  }
}

// Table 4, written out: primary language -> charset, with the sub-language
// exceptions.
int ExpectedCharsetOfLanguage(unsigned int nPrimary, unsigned int nSub) {
  switch (nPrimary) {
    case 1: return 178;
    case 2: case 25: case 34: case 35: return 204;
    case 4: return nSub == 1 ? 136 : 134;
    case 5: case 14: case 21: case 24: case 27: case 28: case 36: case 47: return 238;
    case 8: return 161;
    case 13: return 177;
    case 17: return 128;
    case 18: return 129;
    case 26: return nSub == 3 ? 204 : 238;
    case 30: return 222;
    case 31: return 162;
    case 37: case 38: case 39: return 186;
    case 42: return 163;
    case 43: case 55: return 65001;
    case 67: return nSub == 2 ? 204 : 238;
    default: return 0;
  }
}

TEST(CodePageTables, EveryLanguageIdMapsToItsCharset) {
  for (unsigned int nLangId = 0; nLangId <= 0xFFFF; ++nLangId) {
    const int nExpected = ExpectedCharsetOfLanguage(nLangId & 0x3FF, (nLangId >> 10) & 0x3F);
    ASSERT_EQ(nGetCharsetFromLanguage(static_cast<unsigned short>(nLangId)), nExpected) << nLangId;
    ASSERT_EQ(GetCharSetFromLanguageID(nLangId), nExpected) << nLangId;
  }
  // Bits above the sub-language do not count.
  EXPECT_EQ(GetCharSetFromLanguageID(0x10404), 136);
}

TEST(CodePageTables, LanguageIdEdgeCasesOfThePart) {
  EXPECT_EQ(nGetCharsetFromLanguage(0x0404), 136);
  EXPECT_EQ(nGetCharsetFromLanguage(0x0804), 134);
  EXPECT_EQ(nGetCharsetFromLanguage(0x0C1A), 204);
  EXPECT_EQ(nGetCharsetFromLanguage(0x041A), 238);
}

TEST(CodePageTables, LanguageIdOfACharsetGoesBackToThatCharset) {
  // Tables 3 and 4 agree: the language of a character set has that character
  // set (Korean Johab, 130, shares Korean's id with 129).
  for (const CharsetRow& row : kCharsets) {
    if (row.wLanguage == 0 || row.nCharset == 130) continue;
    SCOPED_TRACE(row.nCharset);
    EXPECT_EQ(nGetCharsetFromLanguage(row.wLanguage), row.nCharset);
  }
}

TEST(NationTables, PrimaryLanguagesMapToNations) {
  struct Row { int nPrimary, nSub, nNation; };
  const Row rows[] = {
      {1, 0, 19},  {2, 0, 21},  {3, 0, 45},  {4, 1, 22},  {4, 2, 23},  {4, 0, 23},  {5, 0, 18},
      {6, 0, 6},   {7, 0, 1},   {8, 0, 27},  {9, 1, 2},   {9, 2, 3},   {9, 3, 4},   {9, 4, 3},
      {9, 5, 3},   {9, 6, 30},  {9, 7, 3},   {9, 0, 3},   {10, 0, 7},  {11, 0, 8},  {12, 3, 9},
      {12, 1, 5},  {13, 0, 28}, {14, 0, 29}, {15, 0, 10}, {16, 0, 11}, {17, 0, 31}, {18, 0, 24},
      {19, 0, 12}, {20, 0, 13}, {21, 0, 34}, {22, 1, 15}, {22, 2, 14}, {24, 0, 35}, {25, 0, 16},
      {26, 2, 36}, {26, 3, 36}, {26, 1, 25}, {27, 0, 37}, {29, 0, 17}, {30, 0, 39}, {31, 0, 40},
      {33, 0, 46}, {35, 0, 44}, {36, 0, 38}, {37, 0, 26}, {38, 0, 32}, {39, 0, 33}, {42, 0, 41},
      {47, 0, 47}, {54, 0, 42}, {57, 0, 50}, {69, 0, 43}, {70, 0, 48}, {89, 0, 49},
  };
  std::set<int> named;
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.nPrimary << "/" << row.nSub);
    EXPECT_EQ(nLangueVersNation(row.nPrimary, row.nSub), row.nNation);
    named.insert(row.nPrimary);
  }
  for (int nPrimary = -5; nPrimary < 1100; ++nPrimary) {
    if (named.count(nPrimary) != 0) continue;
    for (int nSub = 0; nSub < 8; ++nSub) ASSERT_EQ(nLangueVersNation(nPrimary, nSub), 0) << nPrimary;
  }
}

// nLocaleVersNation borrows a counted buffer of the server's allocator.
class LocaleNation : public kqtest::BoundFrameworkTest {};

TEST_F(LocaleNation, LocaleNamesMapToNationsByTheirFirstMatchingPrefix) {
  struct Row { const wchar_t* pszLocale; int nNation; };
  const Row rows[] = {
      {L"fr_FR", 5}, {L"fr", 5},     {L"en_US.UTF-8", 3}, {L"es", 7},  {L"de_CH", 1}, {L"it", 11},
      {L"ja_JP", 31}, {L"pt_BR", 14}, {L"zh_TW", 23},     {L"ar", 19}, {L"bg", 21},   {L"ko", 24},
      {L"hr_HR", 25}, {L"sh_YU", 25}, {L"da", 6},         {L"et", 26}, {L"fi", 8},    {L"el", 27},
      {L"iw", 28},   {L"hu", 29},    {L"is", 10},        {L"lv", 32}, {L"lt", 33},   {L"nl", 12},
      {L"no", 13},   {L"pl", 34},    {L"ro", 35},        {L"ru", 16}, {L"sk", 37},   {L"sl", 38},
      {L"sv", 17},   {L"cs", 18},    {L"th", 39},        {L"tr", 40}, {L"vi", 41},   {L"be", 44},
      {L"mk", 47},   {L"af", 42},    {L"bn", 43},        {L"ca", 45}, {L"id", 46},   {L"pa", 48},
      {L"sd", 49},   {L"hi", 50},
      // Case-sensitive; no prefix; a prefix only half there.
      {L"FR", -1},   {L"Fr_fr", -1}, {L"xx_XX", -1},     {L"f", -1},  {L"C", -1},    {L"", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.pszLocale);
    EXPECT_EQ(nLocaleVersNation(row.pszLocale), row.nNation);
  }
  EXPECT_EQ(nLocaleVersNation(nullptr), 0);
  EXPECT_EQ(Control().nLiveStrBuffers(), 0);
}

TEST_F(LocaleNation, BorrowsOneBufferPerNameAndGivesItBack) {
  const int nBefore = Control().nStrAllocations();
  EXPECT_EQ(nLocaleVersNation(L"de_DE"), 1);
  EXPECT_EQ(Control().nStrAllocations(), nBefore + 1);
  EXPECT_EQ(Control().nLiveStrBuffers(), 0);
  // null and "" need no buffer.
  EXPECT_EQ(nLocaleVersNation(L""), 0);
  EXPECT_EQ(Control().nStrAllocations(), nBefore + 1);
}

TEST_F(LocaleNation, MatchesNothingWhenTheBufferCannotBeHad) {
  Control().FailStrAllocationAt(1);
  EXPECT_EQ(nLocaleVersNation(L"fr_FR"), -1);
  EXPECT_EQ(nLocaleVersNation(L"fr_FR"), 5);
}

TEST(LocaleNationUnbound, MatchesNothingWithoutTheServersAllocator) {
  IStrMemAlloc* const piSaved = CInformationModule::ms_piStrMemAlloc;
  CInformationModule::ms_piStrMemAlloc = nullptr;
  EXPECT_EQ(nLocaleVersNation(L"fr_FR"), -1);
  EXPECT_EQ(nLocaleVersNation(L""), 0);
  CInformationModule::ms_piStrMemAlloc = piSaved;
}

class CountedPrefix : public kqtest::BoundFrameworkTest {
 protected:
  // A counted buffer of the stand-in's allocator holding nLength characters.
  unsigned char* pMake(const wchar_t* pszText, unsigned int nLength) {
    unsigned char* pData = nullptr;
    EXPECT_EQ(CInformationModule::ms_piStrMemAlloc->vnAllocStrMemEx(
                  &pData, nLength * sizeof(wchar_t), 0), 0);
    std::wmemcpy(reinterpret_cast<wchar_t*>(pData), pszText, nLength);
    StrMemHeader(pData)->nLength = nLength * sizeof(wchar_t);
    return pData;
  }
  void Release(unsigned char* pData) {
    StrMemHeader(pData)->nRefCount = 0;
    CInformationModule::ms_piStrMemAlloc->vReleaseStrMem(pData);
  }
};

TEST_F(CountedPrefix, TheCountedLengthBoundsTheText) {
  // "abc\0de" held as 6 characters: the zero inside is a character.
  unsigned char* pData = pMake(L"abc\0de", 6);
  const wchar_t* pText = reinterpret_cast<const wchar_t*>(pData);
  EXPECT_TRUE(CountedWideBeginsWith(pText, L"abc"));
  EXPECT_TRUE(CountedWideBeginsWith(pText, L""));
  EXPECT_TRUE(CountedWideBeginsWith(pText, nullptr));
  EXPECT_FALSE(CountedWideBeginsWith(pText, L"abd"));
  EXPECT_FALSE(CountedWideBeginsWith(pText, L"ABC"));
  Release(pData);
  // Two characters of "abc": the third is beyond the length.
  pData = pMake(L"abc", 2);
  EXPECT_TRUE(CountedWideBeginsWith(reinterpret_cast<const wchar_t*>(pData), L"ab"));
  EXPECT_FALSE(CountedWideBeginsWith(reinterpret_cast<const wchar_t*>(pData), L"abc"));
  Release(pData);
}

TEST(CountedPrefixNull, TheNullStringHasLengthZero) {
  EXPECT_TRUE(CountedWideBeginsWith(nullptr, L""));
  EXPECT_TRUE(CountedWideBeginsWith(nullptr, nullptr));
  EXPECT_FALSE(CountedWideBeginsWith(nullptr, L"a"));
}

// ChangeLocale must not leave the process locale changed behind a test.
class ChangeLocaleTest : public testing::Test {
 protected:
  void SetUp() override { m_sSaved = std::setlocale(LC_ALL, nullptr); }
  void TearDown() override { std::setlocale(LC_ALL, m_sSaved.c_str()); }
  std::string m_sSaved;
};

TEST_F(ChangeLocaleTest, AsksForTheLocaleOfTheCharsetsThatNeedOne) {
  char szName[257];
  EXPECT_STREQ(ChangeLocale_pszLocaleName(161, szName), "greek_greece.1253");
  EXPECT_STREQ(ChangeLocale_pszLocaleName(162, szName), "turkey_turkish.1254");
  EXPECT_STREQ(ChangeLocale_pszLocaleName(204, szName), "russian_russia.1251");
  EXPECT_STREQ(ChangeLocale_pszLocaleName(177, szName), ".1255");
  EXPECT_STREQ(ChangeLocale_pszLocaleName(178, szName), ".1256");
  for (int nCharset : {0, 1, 128, 134, 238, 255, 65001}) {
    EXPECT_EQ(ChangeLocale_pszLocaleName(nCharset, szName), nullptr) << nCharset;
  }
}

TEST_F(ChangeLocaleTest, LeavesTheLocaleAloneForOtherCharsets) {
  EXPECT_EQ(ChangeLocale(0), 1252);
  EXPECT_EQ(ChangeLocale(128), 932);
  EXPECT_EQ(ChangeLocale(65001), 65001);
  EXPECT_EQ(ChangeLocale(1), 0);  // no code page: nothing at all
  EXPECT_EQ(m_sSaved, std::setlocale(LC_ALL, nullptr));
}

TEST_F(ChangeLocaleTest, ReportsWhetherTheSystemTookTheLocale) {
  // Whether glibc knows "greek_greece.1253" or ".1255" is the system's
  // business; the answer says which, and a refusal changes nothing.
  for (int nCharset : {161, 162, 177, 178, 204}) {
    SCOPED_TRACE(nCharset);
    const int nResult = ChangeLocale(nCharset);
    EXPECT_TRUE(nResult == 0 || nResult == 1);
    if (nResult == 0) {
      EXPECT_EQ(m_sSaved, std::setlocale(LC_ALL, nullptr));
    }
    std::setlocale(LC_ALL, m_sSaved.c_str());
  }
}

// Table 7 reads the server's current code page for 130 and 131.
class PrepareConversion : public kqtest::BoundFrameworkTest {};

TEST_F(PrepareConversion, AnsiToUnicodeFollowsTableSeven) {
  Control().SetCurrentCodePage(65001);
  struct Row { unsigned int nType; bool bSetsCodePage; unsigned int nCodePage; unsigned int nStatic, nDynamic; };
  const Row rows[] = {
      {18, false, 0, 18, 19},     {110, false, 0, 110, 16},  {121, true, 1252, 16, 16},
      {122, true, 1252, 110, 16}, {126, true, 0, 16, 16},    {127, true, 0, 110, 16},
      {130, true, 65001, 16, 16}, {131, true, 65001, 110, 16}, {16, false, 0, 16, 16},
      {19, false, 0, 19, 19},     {123, false, 0, 123, 123}, {0, false, 0, 0, 0},
  };
  for (const Row& row : rows) {
    for (int bDynamic : {0, 1}) {
      SCOPED_TRACE(testing::Message() << row.nType << " dynamic " << bDynamic);
      STOCAW stInfo = {777};
      unsigned int nOptions = 0x1;
      EXPECT_EQ(PrepareConversionAnsiUnicode(row.nType, nOptions, stInfo, bDynamic, 0),
                bDynamic ? row.nDynamic : row.nStatic);
      EXPECT_EQ(stInfo.nCodePage, row.bSetsCodePage ? row.nCodePage : 777u);
      EXPECT_EQ(nOptions, 0x1u);
    }
  }
}

TEST_F(PrepareConversion, TheMarkSetsOption0x40ForTypes121To131) {
  for (unsigned int nType = 100; nType < 140; ++nType) {
    STOCAW stInfo = {0};
    unsigned int nOptions = 0x1;
    PrepareConversionAnsiUnicode(nType, nOptions, stInfo, 0, 1);
    EXPECT_EQ(nOptions, nType >= 121 && nType <= 131 ? 0x41u : 0x1u) << nType;
  }
  // The documented case: type 130 with the mark.
  Control().SetCurrentCodePage(1252);
  STOCAW stInfo = {0};
  unsigned int nOptions = 0;
  EXPECT_EQ(PrepareConversionAnsiUnicode(130, nOptions, stInfo, 0, 1), 16u);
  EXPECT_EQ(stInfo.nCodePage, 1252u);
  EXPECT_EQ(nOptions, 0x40u);
}

TEST_F(PrepareConversion, UnicodeToAnsiSetsTheCodePageOfSixTypes) {
  Control().SetCurrentCodePage(65001);
  struct Row { unsigned short nType; unsigned int nCodePage; };
  for (const Row& row : {Row{121, 1252}, Row{122, 1252}, Row{126, 0}, Row{127, 0},
                         Row{130, 65001}, Row{131, 65001}}) {
    STOCAW stInfo = {777};
    EXPECT_EQ(PrepareConversionUnicodeAnsi(row.nType, stInfo), 1) << row.nType;
    EXPECT_EQ(stInfo.nCodePage, row.nCodePage) << row.nType;
  }
  for (unsigned short nType : {0, 16, 18, 19, 110, 120, 123, 124, 125, 128, 129, 132}) {
    STOCAW stInfo = {777};
    EXPECT_EQ(PrepareConversionUnicodeAnsi(nType, stInfo), 0) << nType;
    EXPECT_EQ(stInfo.nCodePage, 777u) << nType;
  }
}

TEST(InterfaceLanguages, WindowsLanguagesMapToTheProductsThreeAndBack) {
  EXPECT_EQ(LANG_To_ELangueProduit(4), LANGUE_PRODUIT_CHINOIS);
  EXPECT_EQ(LANG_To_ELangueProduit(12), LANGUE_PRODUIT_FRANCAIS);
  EXPECT_EQ(LANG_To_ELangueProduit(9), LANGUE_PRODUIT_ANGLAIS);
  EXPECT_EQ(LANG_To_ELangueProduit(7), LANGUE_PRODUIT_ANGLAIS);
  EXPECT_EQ(LANG_To_ELangueProduit(0), LANGUE_PRODUIT_ANGLAIS);
  EXPECT_EQ(ELangueProduit_To_LANG(LANGUE_PRODUIT_FRANCAIS), 12u);
  EXPECT_EQ(ELangueProduit_To_LANG(LANGUE_PRODUIT_ANGLAIS), 9u);
  EXPECT_EQ(ELangueProduit_To_LANG(LANGUE_PRODUIT_CHINOIS), 4u);
  EXPECT_EQ(ELangueProduit_To_LANG(static_cast<_ELangueProduit>(3)), 9u);
  for (unsigned int nLang : {4u, 9u, 12u}) {
    EXPECT_EQ(ELangueProduit_To_LANG(LANG_To_ELangueProduit(nLang)), nLang);
  }
}

}  // namespace
