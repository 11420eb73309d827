// The locale-bound STR_ functions, run against the stand-in server's locale
// service: which slot each function asks, with which locale id and flags, and
// what the comparisons computed on top of the service answer.
#include "core/locale_compare.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/char_conv.h"
#include "core/module_entry.h"
#include "core/xmalloc.h"
#include "tests/support/bound_framework.h"

namespace {

int Sign(int n) { return (n > 0) - (n < 0); }

// Forwards every slot to the stand-in's service and remembers the last call,
// so that a test can see which slot a function used and with what.
class CRecordingLocale final : public IInfoLocale {
 public:
  struct Call {
    int nSlot = -1;
    unsigned int nLCID = 0;  // 0 for the slots that take none
    unsigned int dwFlags = 0;
    int nLengthA = 0;  // the (first) text's length as passed
    unsigned int nOutSize = 0;
  };

  explicit CRecordingLocale(IInfoLocale* piReal) : m_piReal(piReal) {}

  const Call& Last() const { return m_last; }
  int nCalls() const { return m_nCalls; }
  void SetCharset(int nCharset) { m_nCharset = nCharset; }

  int _vnReserved0() override { return Note(0), 0; }
  int _vnReserved1() override { return Note(1), 0; }
  int vnGetCurrentCharset() override {
    Note(2);
    return m_nCharset >= 0 ? m_nCharset : m_piReal->vnGetCurrentCharset();
  }
  int vnGetCurrentCodePage() override { return Note(3), m_piReal->vnGetCurrentCodePage(); }
  unsigned int vnGetCurrentLCID() override { return Note(4), m_piReal->vnGetCurrentLCID(); }
  int vnCompareA(unsigned int nLCID, unsigned int dwFlags, const char* a, int nA, const char* b,
                 int nB) override {
    Note(5, nLCID, dwFlags, nA);
    return m_piReal->vnCompareA(nLCID, dwFlags, a, nA, b, nB);
  }
  int vnCompareW(unsigned int nLCID, unsigned int dwFlags, const wchar_t* a, int nA,
                 const wchar_t* b, int nB) override {
    Note(6, nLCID, dwFlags, nA);
    return m_piReal->vnCompareW(nLCID, dwFlags, a, nA, b, nB);
  }
  int vnCompareCurrentA(unsigned int dwFlags, const char* a, int nA, const char* b,
                        int nB) override {
    Note(7, 0, dwFlags, nA);
    return m_piReal->vnCompareCurrentA(dwFlags, a, nA, b, nB);
  }
  int vnCompareCurrentW(unsigned int dwFlags, const wchar_t* a, int nA, const wchar_t* b,
                        int nB) override {
    Note(8, 0, dwFlags, nA);
    return m_piReal->vnCompareCurrentW(dwFlags, a, nA, b, nB);
  }
  int vnMapSortKeyA(unsigned int nLCID, unsigned int dwFlags, const char* in, int nIn, char* out,
                    unsigned int nOutSize) override {
    Note(9, nLCID, dwFlags, nIn, nOutSize);
    return m_piReal->vnMapSortKeyA(nLCID, dwFlags, in, nIn, out, nOutSize);
  }
  int _vnReserved10() override { return Note(10), 0; }
  int vnMapStringA(unsigned int nLCID, unsigned int dwFlags, const char* in, int nIn, char* out,
                   unsigned int nOutSize) override {
    Note(11, nLCID, dwFlags, nIn, nOutSize);
    return m_piReal->vnMapStringA(nLCID, dwFlags, in, nIn, out, nOutSize);
  }
  int vnMapStringW(unsigned int nLCID, unsigned int dwFlags, const wchar_t* in, int nIn,
                   wchar_t* out, unsigned int nOutSize) override {
    Note(12, nLCID, dwFlags, nIn, nOutSize);
    return m_piReal->vnMapStringW(nLCID, dwFlags, in, nIn, out, nOutSize);
  }
  int vnPrepareStringA(unsigned int dwFlags, char* out, unsigned int nOutSize, const char* in,
                       int nIn) override {
    Note(13, 0, dwFlags, nIn, nOutSize);
    return m_piReal->vnPrepareStringA(dwFlags, out, nOutSize, in, nIn);
  }
  int vnMapStringCurrentW(unsigned int dwFlags, wchar_t* out, unsigned int nOutSize,
                          const wchar_t* in, int nIn) override {
    Note(14, 0, dwFlags, nIn, nOutSize);
    return m_piReal->vnMapStringCurrentW(dwFlags, out, nOutSize, in, nIn);
  }
  unsigned int vnGetSafeCurrentLCID() override {
    return Note(15), m_piReal->vnGetSafeCurrentLCID();
  }

 private:
  void Note(int nSlot, unsigned int nLCID = 0, unsigned int dwFlags = 0, int nLengthA = 0,
            unsigned int nOutSize = 0) {
    m_last = {nSlot, nLCID, dwFlags, nLengthA, nOutSize};
    ++m_nCalls;
  }

  IInfoLocale* m_piReal;
  Call m_last;
  int m_nCalls = 0;
  int m_nCharset = -1;
};

class LocaleCompare : public kqtest::BoundFrameworkTest {
 protected:
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    ASSERT_NE(CInformationDLL::ms_piInfoLocale, nullptr);
  }
  void TearDown() override {
    if (m_pRecorder != nullptr) CInformationDLL::ms_piInfoLocale = m_piBound;
    delete m_pRecorder;
    BoundFrameworkTest::TearDown();
  }
  // Puts a recorder between the framework and the stand-in's service.
  CRecordingLocale& Record() {
    m_piBound = CInformationDLL::ms_piInfoLocale;
    m_pRecorder = new CRecordingLocale(m_piBound);
    CInformationDLL::ms_piInfoLocale = m_pRecorder;
    return *m_pRecorder;
  }

  IInfoLocale* m_piBound = nullptr;
  CRecordingLocale* m_pRecorder = nullptr;
};

// ---------------------------------------------------------------------------
// The server's locale state

TEST_F(LocaleCompare, ReportsTheServersCharsetWith127AsNoneOnlyInTheInternalForm) {
  CRecordingLocale& locale = Record();
  EXPECT_EQ(STR_nGetCurrentChangeCharset(), 0);
  locale.SetCharset(127);
  EXPECT_EQ(STR_nGetCurrentChangeCharset(), 0);
  EXPECT_EQ(STR_nGetCurrentChangeCharsetInterne(), 127);
  locale.SetCharset(204);
  EXPECT_EQ(STR_nGetCurrentChangeCharset(), 204);
  EXPECT_EQ(STR_piGetInfoLocale(), &locale);
}

TEST_F(LocaleCompare, ReportsTheCodePageAndLocaleIdsOfTheService) {
  EXPECT_EQ(STR_nGetCurrentCodePage(), 1252);
  Control().SetCurrentCodePage(65001);
  EXPECT_EQ(STR_nGetCurrentCodePage(), 65001);
  EXPECT_EQ(STR_nGetCurrentLCID(), 1036u);
  EXPECT_EQ(STR_nGetSafeCurrentLCID(), 1036u);
}

TEST_F(LocaleCompare, CodePageIsZeroWithoutAService) {
  IInfoLocale* piBound = CInformationDLL::ms_piInfoLocale;
  CInformationDLL::ms_piInfoLocale = nullptr;
  EXPECT_EQ(STR_nGetCurrentCodePage(), 0);
  EXPECT_EQ(STR_piGetInfoLocale(), nullptr);
  CInformationDLL::ms_piInfoLocale = piBound;
}

// ---------------------------------------------------------------------------
// Which slot, locale id and flags each function uses

TEST_F(LocaleCompare, EachFunctionAsksItsSlotWithItsLocaleIdAndFlags) {
  CRecordingLocale& locale = Record();
  constexpr unsigned int kCurrent = STR_FLAG_CURRENT_LCID;
  char szOut[16];
  wchar_t wszOut[16];
  struct Case {
    const char* pszName;
    void (*pfnCall)(char*, wchar_t*);
    int nSlot;
    unsigned int nLCID;
    unsigned int dwFlags;
  };
  const Case cases[] = {
      {"map 8-bit", [](char* o, wchar_t*) { STR_nMapStringEx(3, o, 16, "a", -1); }, 11, 1036, 3},
      {"map 8-bit, current",
       [](char* o, wchar_t*) { STR_nMapStringEx(kCurrent | 1, o, 16, "a", -1); }, 11, 1036, 1},
      {"map wide", [](char*, wchar_t* o) { STR_nMapStringEx(2, o, 16, L"a", -1); }, 12, 1036, 2},
      {"map wide with an id",
       [](char*, wchar_t* o) { STR_nMapStringEx_LCID(1033, kCurrent | 1, o, 16, L"a", -1); }, 12,
       1033, kCurrent | 1},
      {"map with a charset",
       [](char* o, wchar_t*) { STR_nMapStringEx_Charset(204, 1, o, 16, "a", -1); }, 11, 1049, 1},
      {"map with an unknown charset",
       [](char*, wchar_t* o) { STR_nMapStringEx_Charset(7, 1, o, 16, L"a", -1); }, 12, 0, 1},
      {"mapped length",
       [](char*, wchar_t*) { STR_nGetMapStringLenEx(kCurrent | 1, L"a", -1); }, 12, 1036,
       kCurrent | 1},
      {"sort key", [](char* o, wchar_t*) { STR_MapStringSortEx(o, 16, "a", -1, 0); }, 9, 1036, 0},
      {"sort key, current", [](char* o, wchar_t*) { STR_MapStringSortEx(o, 16, "a", -1, 1); }, 9,
       1036, 0},
      {"sort key with a charset",
       [](char* o, wchar_t*) { STR_MapStringSortEx_Charset(128, o, 16, "a", -1); }, 9, 17, 0},
      {"one wide character", [](char*, wchar_t*) { STR_nMapCharEx(1, nullptr, L'a'); }, 12, 1036,
       1},
      {"one 8-bit character", [](char*, wchar_t*) { STR_nMapCharExANSI(1, nullptr, 'a'); }, 11,
       1036, 1},
      {"one character without case and accent",
       [](char*, wchar_t*) { STR_nMapCharIgnoreCaseAccent(nullptr, L'a'); }, 12, 1036, 3},
      {"white or punctuation, 8-bit", [](char*, wchar_t*) { STR_bWhiteCharOrPunctA(','); }, 11,
       1036, 4},
      {"white or punctuation, wide", [](char*, wchar_t*) { STR_bWhiteCharOrPunctW(L','); }, 12,
       1024, 4},
      {"upper case 8-bit", [](char* o, wchar_t*) { std::strcpy(o, "a"), STR_ToUpper(o); }, 11,
       1024, 1},
      {"lower case 8-bit", [](char* o, wchar_t*) { std::strcpy(o, "A"), STR_ToLower(o); }, 11,
       1024, 0x100},
      {"upper case wide", [](char*, wchar_t* o) { std::wcscpy(o, L"a"), STR_ToUpper(o); }, 14, 0,
       1},
      {"lower case wide", [](char*, wchar_t* o) { std::wcscpy(o, L"A"), STR_ToLowerBuff(o, 1); },
       14, 0, 0x100},
      {"compare wide", [](char*, wchar_t*) { STR_nCompareW(L"a", L"b", 4); }, 6, 1024, 4},
      {"compare wide, current", [](char*, wchar_t*) { STR_nCompareW(L"a", L"b", kCurrent | 4); },
       8, 0, 4},
      {"compare 8-bit", [](char*, wchar_t*) { STR_nCompareA("a", "b", 0); }, 5, 1024,
       STR_FLAG_ANSI},
      {"compare 8-bit, current", [](char*, wchar_t*) { STR_nUpCompareA("a", "b", kCurrent); }, 7,
       0, STR_FLAG_ANSI | 1},
      {"compare without case", [](char*, wchar_t*) { STR_nUpCompareW(L"a", L"b", 0); }, 6, 1024,
       1},
      {"compare without accents", [](char*, wchar_t*) { STR_nAcCompare(L"a", L"b", 1); }, 6, 1024,
       3},
      {"wide characters lexicographic",
       [](char*, wchar_t*) { STR_nCompareCharLexicoW(L'a', L'b', 1); }, 6, 1024,
       STR_FLAG_LEXICO | 1},
      {"8-bit characters lexicographic",
       [](char*, wchar_t*) { STR_nCompareCharLexicoA('a', 'b', 0); }, 5, 1036, STR_FLAG_LEXICO},
      {"8-bit characters lexicographic, current",
       [](char*, wchar_t*) { STR_nCompareCharLexicoA('a', 'b', kCurrent); }, 7, 0,
       STR_FLAG_LEXICO},
      {"texts lexicographic",
       [](char*, wchar_t*) { STR_nCompareStringLexicoW(L"ab", 2, L"b", 1, 0x80000000u); }, 6,
       1024, 0x80000000u | STR_FLAG_LEXICO},
      {"wide characters loosely", [](char*, wchar_t*) { STR_nCompareCharSoupleW(L'a', L'b'); }, 6,
       1024, 3},
      {"8-bit characters loosely", [](char*, wchar_t*) { STR_nCompareCharSoupleA('a', 'b'); }, 5,
       1036, 3},
      {"counted, three-way",
       [](char*, wchar_t*) { __STR_CompareStringEx<wchar_t>(1, L"a", 1, L"b", 1); }, 6, 1036, 1},
      {"bounded", [](char*, wchar_t*) { STR_nNCompare<char>("ab", "ac", 1, 2); }, 5, 1036, 2},
      {"bounded, current",
       [](char*, wchar_t*) { STR_nNCompare<wchar_t>(L"ab", L"ac", 1, kCurrent | 2); }, 8, 0, 2},
      {"prefix", [](char*, wchar_t*) { STR_bDebut(L"ab", L"abc"); }, 6, 1036, 3},
      {"prepared wide", [](char*, wchar_t* o) { STR_PrepareChaineW(0x10, L"a", -1, o, 16); }, 14,
       0, 1},
      {"prepared 8-bit", [](char* o, wchar_t*) { STR_PrepareChaineA(0x44, "a", -1, o, 16); }, 13,
       0, 0x102},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    c.pfnCall(szOut, wszOut);
    EXPECT_EQ(locale.Last().nSlot, c.nSlot);
    // Slots 9 and 11/12 with the current id read it from slot 4 first: the
    // stand-in's current id is 1036.
    EXPECT_EQ(locale.Last().nLCID, c.nLCID);
    EXPECT_EQ(locale.Last().dwFlags, c.dwFlags);
  }
}

TEST_F(LocaleCompare, BoundedComparisonPassesEachTextsLengthWithinTheBound) {
  CRecordingLocale& locale = Record();
  EXPECT_EQ(STR_nNCompare<wchar_t>(L"abcX", L"abcY", 3, 0), 0);
  EXPECT_EQ(locale.Last().nLengthA, 3);
  EXPECT_EQ(STR_nNCompare<wchar_t>(L"ab", L"abcY", 3, 0), -1);
  EXPECT_EQ(locale.Last().nLengthA, 2);
  EXPECT_EQ(STR_nNCompare<char>(nullptr, "", 3, 0), 0);
  EXPECT_EQ(locale.Last().nLengthA, 0);
  EXPECT_EQ(STR_nNCompare<char>("b", "a", -5, 0), 0);  // a negative bound reads nothing
}

// ---------------------------------------------------------------------------
// Mapping

TEST_F(LocaleCompare, CaseMappingInPlaceKeepsTheLengthAndTakesTheFirstCharacterOfTheImage) {
  wchar_t wsz[] = L"stra\u00DFe \u00E0 1";
  STR_ToUpper(wsz);
  EXPECT_STREQ(wsz, L"STRASE \u00C0 1");
  STR_ToLower(wsz);
  EXPECT_STREQ(wsz, L"strase \u00E0 1");
  char sz[] = "\xE9t\xE9 \x9C";  // été œ in code page 1252
  STR_ToUpper(sz);
  EXPECT_STREQ(sz, "\xC9T\xC9 \x8C");
  STR_ToLower(sz);
  EXPECT_STREQ(sz, "\xE9t\xE9 \x9C");
}

TEST_F(LocaleCompare, BufferCaseMappingStopsAtItsCountAndMapsZerosAsCharacters) {
  char sz[] = "abc\0d";
  STR_ToUpperBuff(sz, 0);
  EXPECT_EQ(std::string(sz, 5), std::string("abc\0d", 5));
  STR_ToUpperBuff(sz, 2);
  EXPECT_EQ(std::string(sz, 5), std::string("ABc\0d", 5));
  STR_ToUpperBuff(sz, 5);
  EXPECT_EQ(std::string(sz, 5), std::string("ABC\0D", 5));
  wchar_t wsz[] = L"xy";
  STR_ToUpperBuff(wsz, 1);
  EXPECT_STREQ(wsz, L"Xy");
  STR_ToUpper(static_cast<char*>(nullptr));
  STR_ToLower(static_cast<wchar_t*>(nullptr));
}

// A byte of a UTF-8 sequence is no character: mapped alone it would come back
// as '?' and destroy the text.
TEST_F(LocaleCompare, EightBitCaseMappingLeavesMultiByteCharactersOfUtf8Alone) {
  Control().SetCurrentCodePage(65001);
  char sz[] = "\xC3\xA9t\xC3\xA9 ok";
  STR_ToUpper(sz);
  EXPECT_STREQ(sz, "\xC3\xA9T\xC3\xA9 OK");
}

TEST_F(LocaleCompare, CreatesTheMappedFormOfATextInABufferOfTheNeededSize) {
  wchar_t* pwsz = nullptr;
  EXPECT_EQ(STR_nCreateMapString(STR_MAP_STANDARD, &pwsz, L"Stra\u00DFe \u00E9t\u00E9"), 11);
  ASSERT_NE(pwsz, nullptr);
  EXPECT_STREQ(pwsz, L"STRASSE ETE");
  XMALLOC_Del_(pwsz);
  char* psz = nullptr;
  EXPECT_EQ(STR_nCreateMapString(0x100, &psz, "ABC"), 3);
  ASSERT_NE(psz, nullptr);
  EXPECT_STREQ(psz, "abc");
  XMALLOC_Del_(psz);
  EXPECT_EQ(STR_nGetMapStringLenEx(1, L"\u00DF", -1), 3);
  EXPECT_EQ(STR_nGetMapStringLenEx(1, "", -1), 1);
}

TEST_F(LocaleCompare, MapsOneCharacterIntoItsFirstImageCharacter) {
  wchar_t c = L'#';
  EXPECT_EQ(STR_nMapCharEx(1, &c, L'\u00DF'), 1);
  EXPECT_EQ(c, L'S');
  EXPECT_EQ(STR_nMapCharIgnoreCaseAccent(&c, L'\u00E9'), 1);
  EXPECT_EQ(c, L'E');
  EXPECT_EQ(STR_nMapCharEx(4, &c, L','), 0);  // dropped
  EXPECT_EQ(c, L'\0');
  char b = '#';
  EXPECT_EQ(STR_nMapCharEx(1, &b, '\xE0'), 1);
  EXPECT_EQ(b, '\xC0');
  EXPECT_EQ(STR_nMapCharEx(2u | STR_FLAG_CURRENT_LCID, &b, '\xE0'), 1);
  EXPECT_EQ(b, 'a');
}

TEST_F(LocaleCompare, TellsWhiteSpaceAndPunctuationFromOtherCharacters) {
  struct Case {
    wchar_t c;
    bool bExpected;
  };
  const Case cases[] = {{L' ', true}, {L'\t', true}, {L',', true},   {L'\u00BF', true},
                        {L'a', false}, {L'7', false}, {L'\u00E9', false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.c));
    EXPECT_EQ(STR_bWhiteCharOrPunctW(c.c), c.bExpected);
    if (c.c < 0x100) {
      EXPECT_EQ(STR_bWhiteCharOrPunctA(static_cast<char>(c.c)), c.bExpected);
    }
  }
}

TEST_F(LocaleCompare, SortKeysOrderAsTheLexicographicComparison) {
  const char* texts[] = {"", "a", "B", "e", "\xE9", "\xC9", "f", "ab", "a b"};
  for (const char* a : texts) {
    for (const char* b : texts) {
      SCOPED_TRACE(std::string(a) + " / " + b);
      char keyA[64], keyB[64];
      ASSERT_GT(STR_MapStringSortEx(keyA, sizeof keyA, a, -1, 0), 0);
      ASSERT_GT(STR_MapStringSortEx_Charset(0, keyB, sizeof keyB, b, -1), 0);
      EXPECT_EQ(Sign(std::strcmp(keyA, keyB)), Sign(STR_nCompareA(a, b, STR_FLAG_LEXICO)));
    }
  }
}

// ---------------------------------------------------------------------------
// Comparisons through the service

TEST_F(LocaleCompare, NullTextsCompareAsDocumented) {
  EXPECT_EQ(STR_nNullCompare(nullptr, nullptr), 0);
  EXPECT_EQ(STR_nNullCompare(nullptr, L"x"), -1);
  EXPECT_EQ(STR_nNullCompare(L"x", nullptr), 1);
  EXPECT_EQ(STR_nNullCompare(nullptr, L""), -1);
  EXPECT_EQ(Sign(STR_nNullCompare(L"a", L"B", 1)), -1);
  EXPECT_EQ(STR_nEmptyNullCompare(L"", nullptr), 0);
  EXPECT_EQ(STR_nEmptyNullCompare(nullptr, L""), 0);
  EXPECT_EQ(STR_nEmptyNullCompare(L"x", nullptr), 1);
  EXPECT_EQ(Sign(STR_nEmptyNullCompare(nullptr, L"x")), -1);  // the service reads null as ""
  EXPECT_EQ(STR_nNullNCompare(L"abc", nullptr, 2, 0), 1);
  EXPECT_EQ(STR_nNullNCompare(static_cast<const char*>(nullptr), "abc", 2, 0), -1);
  EXPECT_EQ(STR_nNullNCompare(L"abX", L"ABY", 2, 1), 0);
}

TEST_F(LocaleCompare, ComparesIgnoringWhatTheFlagsSay) {
  EXPECT_NE(STR_nCompareW(L"abc", L"ABC"), 0);
  EXPECT_EQ(STR_nUpCompareW(L"abc", L"ABC"), 0);
  EXPECT_EQ(STR_nUpCompareA("abc", "ABC"), 0);
  EXPECT_NE(STR_nCompareA("\xE9t\xE9", "ete"), 0);
  EXPECT_EQ(STR_nAcCompare(L"\u00E9t\u00E9", L"ete"), 0);
  EXPECT_EQ(STR_nCompareW(L"a-b", L"ab", 4), 0);
  EXPECT_EQ(STR_nCompareCharSoupleW(L'\u00C9', L'e'), 0);
  EXPECT_EQ(STR_nCompareCharSoupleA('\xC9', 'e'), 0);
  EXPECT_LT(STR_nCompareCharLexicoW(L'\u00E9', L'f', 0), 0);
  EXPECT_LT(STR_nCompareCharLexicoA('\xE9', 'f', 0), 0);
}

TEST_F(LocaleCompare, ThreeWayCountedComparisonAnswersOneTwoOrThree) {
  EXPECT_EQ(__STR_CompareStringEx<wchar_t>(0, L"a", 1, L"b", 1), 1);
  EXPECT_EQ(__STR_CompareStringEx<wchar_t>(1, L"abX", 2, L"AB", -1), 2);
  EXPECT_EQ(__STR_CompareStringEx<char>(0, "b", -1, "a", -1), 3);
}

TEST_F(LocaleCompare, PrefixTestIgnoresCaseAndAccents) {
  struct Case {
    const wchar_t* pszPrefix;
    const wchar_t* pszText;
    bool bExpected;
  };
  const Case cases[] = {
      {L"ABC", L"abcdef", true},   {L"abcdef", L"abc", false}, {L"\u00C9t", L"et\u00E9", true},
      {L"", L"abc", true},         {L"", L"", true},           {L"abd", L"abcdef", false},
      {L"abc", L"abc", true},      {nullptr, L"x", true},      {L"x", nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.pszPrefix ? c.pszPrefix : L"(null)") << " / "
                                    << (c.pszText ? c.pszText : L"(null)"));
    EXPECT_EQ(STR_bDebut(c.pszPrefix, c.pszText), c.bExpected);
  }
}

// ---------------------------------------------------------------------------
// The fixed CP1252 comparison

// The upper-case letter without accent of every CP1252 byte, written as the
// letters that share an image, so that it does not repeat the code's ranges.
std::vector<unsigned char> LogicalImages() {
  std::vector<unsigned char> images(256);
  for (int c = 0; c < 256; ++c) images[c] = static_cast<unsigned char>(c);
  for (int c = 'a'; c <= 'z'; ++c) images[c] = static_cast<unsigned char>(c - 'a' + 'A');
  const struct {
    const char* pszBytes;
    unsigned char nImage;
  } groups[] = {
      {"\xC0\xC1\xC2\xC3\xC4\xC5\xE0\xE1\xE2\xE3\xE4\xE5", 'A'},
      {"\xC7\xE7", 'C'},
      {"\xC8\xC9\xCA\xCB\xE8\xE9\xEA\xEB", 'E'},
      {"\xCC\xCD\xCE\xCF\xEC\xED\xEE\xEF", 'I'},
      {"\xD1\xF1", 'N'},
      {"\xD2\xD3\xD4\xD5\xD6\xD8\xF2\xF3\xF4\xF5\xF6\xF8", 'O'},
      {"\x8A\x9A", 'S'},
      {"\xD9\xDA\xDB\xDC\xF9\xFA\xFB\xFC", 'U'},
      {"\x9F\xDD\xFD\xFF", 'Y'},
      {"\x8E\x9E", 'Z'},
      {"\x9C", 0x8C},  // oe
      {"\xE6", 0xC6},  // ae
      {"\xF0", 0xD0},  // eth
      {"\xFE", 0xDE},  // thorn
  };
  for (const auto& g : groups) {
    for (const char* p = g.pszBytes; *p != 0; ++p)
      images[static_cast<unsigned char>(*p)] = g.nImage;
  }
  return images;
}

TEST(LogicalAnsiComparison, EveryByteComparesByItsUpperCaseLetterWithoutAccent) {
  const std::vector<unsigned char> images = LogicalImages();
  for (int a = 1; a < 256; ++a) {
    const char szA[] = {static_cast<char>(a), 0};
    const char szImage[] = {static_cast<char>(images[a]), 0};
    ASSERT_EQ(STR_nCmpLogiqueAnsiFast(szA, szImage), 0) << "byte " << a;
    for (int b = 1; b < 256; ++b) {
      const char szB[] = {static_cast<char>(b), 0};
      ASSERT_EQ(STR_nCmpLogiqueAnsiFast(szA, szB), Sign(int(images[a]) - int(images[b])))
          << "bytes " << a << " and " << b;
    }
  }
}

TEST(LogicalAnsiComparison, TheShorterTextComesFirstWhenOneIsAPrefix) {
  struct Case {
    const char* a;
    const char* b;
    int nExpected;
  };
  const Case cases[] = {
      {"", "", 0},           {"", "a", -1},          {"a", "", 1},
      {"ab", "AB", 0},       {"ab", "abc", -1},      {"\xE9t\xE9", "ETE", 0},
      {"\xE6", "\xC6", 0},   {"caf\xE9", "cafe", 0}, {"\xFF", "\x7F", -1},
      {"a", "\x80", -1},     {nullptr, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a ? c.a : "(null)") + " / " + c.b);
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast(c.a, c.b), c.nExpected);
  }
}

// ---------------------------------------------------------------------------
// Numeric-aware comparison

struct NumericCase {
  const char* a;
  const char* b;
  unsigned int dwFlags;
  int nExpected;
};

std::wstring Widen(const char* psz) {
  std::wstring w;
  for (const char* p = psz; *p != 0; ++p) w += STR_FromCP1252(*p);
  return w;
}

const NumericCase kNumericCases[] = {
    {"file9", "file10", 0, -1},
    {"file10", "file9", 0, 1},
    {"a2", "a10", 0, -1},
    {"x007", "x7", 0, -1},  // equal but for the tie: the extra zeros first
    {"x7", "x007", 0, 1},
    {"a010", "a10", 0, -1},
    {"x07a", "x007a", 0, 1},
    {"x007y2", "x7y1", 0, 1},  // a later difference beats the tie
    {"x007y1", "x07y1", 0, -1},  // the first difference in zeros sets the tie
    {"x07y1", "x7y001", 0, -1},
    {"ab", "abc", 0, -1},
    {"abc", "ab", 0, 1},
    {"", "", 0, 0},
    {"", "0", 0, -1},
    {"0", "", 0, 1},
    {"12", "12", 0, 0},
    {"0", "00", 0, 1},
    {"a", "1", 0, 1},  // a digit against a letter: the characters decide
    {"1", "a", 0, -1},
    {"123456789012345678901234567890", "123456789012345678901234567891", 0, -1},
    {"v2.10.1", "v2.9.12", 0, 1},
    {"B1", "a1", 0, -1},  // code units: 'B' < 'a'
    {"B1", "a1", STR_FLAG_LEXICO, 1},  // the locale: 'a' < 'B'
    {"file10", "File9", STR_FLAG_LEXICO, -1},  // the letters differ in case first
    {"file10", "File9", STR_FLAG_LEXICO | STR_FLAG_UPPER, 1},
    {"e1", "\xE9" "0", STR_FLAG_LEXICO, -1},
    {"\xE9" "10", "\xE9" "9", STR_FLAG_LEXICO | STR_FLAG_CURRENT_LCID, 1},
    {"x007", "X7", STR_FLAG_LEXICO | STR_FLAG_UPPER, -1},
};

TEST_F(LocaleCompare, NumericAwareComparisonOrdersRunsOfDigitsByValue) {
  for (const NumericCase& c : kNumericCases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b + " flags " + std::to_string(c.dwFlags));
    const std::wstring a = Widen(c.a), b = Widen(c.b);
    EXPECT_EQ(Sign(STR_nCompareRespecteNumeriqueW(a.data(), a.size(), b.data(), b.size(),
                                                  c.dwFlags)),
              c.nExpected);
    EXPECT_EQ(Sign(STR_nCompareRespecteNumeriqueA(c.a, std::strlen(c.a), c.b, std::strlen(c.b),
                                                  c.dwFlags)),
              c.nExpected);
  }
}

TEST_F(LocaleCompare, NumericAwareComparisonReadsOnlyTheCountedUnits) {
  EXPECT_EQ(STR_nCompareRespecteNumeriqueW(L"file10", 5, L"file1X", 5, 0), 0);
  EXPECT_EQ(STR_nCompareRespecteNumeriqueA("ab9", 2, "ab1", 2, 0), 0);
  EXPECT_EQ(STR_nCompareRespecteNumeriqueA(nullptr, 0, "", 0, STR_FLAG_LEXICO), 0);
  EXPECT_EQ(STR_nCompareRespecteNumeriqueW(L"a", 1, nullptr, 5, 0), 1);
}

// The locale orders characters: the bytes 0x80..0xFF of an 8-bit text must
// reach it as the characters they are in the text's code page, not as
// negative numbers.
TEST_F(LocaleCompare, EightBitLexicographicNumericOrderReadsBytesInTheirCodePage) {
  const char* const kOthers[] = {"a", "E", "e", "f", "z", "Z", "~", "\x80", "\xC0", "\xFF"};
  for (int nByte = 0x80; nByte <= 0xFF; ++nByte) {
    const char szByte[] = {static_cast<char>(nByte), 0};
    for (const char* pszOther : kOthers) {
      SCOPED_TRACE(testing::Message() << "byte " << nByte << " / " << int(pszOther[0] & 0xFF));
      const std::wstring a = Widen(szByte), b = Widen(pszOther);
      ASSERT_EQ(Sign(STR_nCompareRespecteNumeriqueA(szByte, 1, pszOther, 1, STR_FLAG_LEXICO)),
                Sign(STR_nCompareCharLexicoW(a[0], b[0], 0)));
    }
  }
  EXPECT_LT(STR_nCompareRespecteNumeriqueA("\xE9" "2", 2, "f1", 2, STR_FLAG_LEXICO), 0);
}

TEST_F(LocaleCompare, EightBitLexicographicNumericOrderReadsUtf8AsCharacters) {
  Control().SetCurrentCodePage(65001);
  const char* kE = "\xC3\xA9";  // é
  EXPECT_LT(STR_nCompareRespecteNumeriqueA(kE, 2, "f", 1, STR_FLAG_LEXICO), 0);
  EXPECT_GT(STR_nCompareRespecteNumeriqueA(kE, 2, "e", 1, STR_FLAG_LEXICO), 0);
  EXPECT_GT(STR_nCompareRespecteNumeriqueA("\xC3\xA9" "10", 4, "\xC3\xA9" "9", 3,
                                           STR_FLAG_LEXICO),
            0);
}

// ---------------------------------------------------------------------------
// The language's comparison options

TEST(OptionFlags, TurnTheLanguagesOptionsIntoMappingFlags) {
  struct Case {
    int nOptions;
    unsigned int dwExpected;
  };
  const Case cases[] = {
      {0, 0},         {0x001, 0},     {0x002, 0x4},   {0x004, 0x2},   {0x008, 0},
      {0x010, 0x1},   {0x020, 0x1},   {0x040, 0x100}, {0x050, 0x100}, {0x060, 0x100},
      {0x080, 0},     {0x100, 0},     {0x036, 0x7},   {int(0x80000000u), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nOptions);
    EXPECT_EQ(OptionVX2FlagSTR(c.nOptions), c.dwExpected);
  }
}

TEST_F(LocaleCompare, PreparedFormTrimsMapsAndRemovesInnerWhiteSpace) {
  struct Case {
    int nOptions;
    const wchar_t* pszIn;
    const wchar_t* pszExpected;
  };
  const Case cases[] = {
      {0, L" a b ", L" a b "},
      {0x001, L" \t a b \r\n", L"a b"},
      {0x001, L" \t\n ", L""},
      {0x100, L" a b", L" ab"},  // the leading blank stays without 0x001
      {0x100, L"a \t b  ", L"ab  "},
      {0x101, L"  a b c  ", L"abc"},
      {0x010, L"stra\u00DFe", L"STRASSE"},
      {0x040, L"ABC", L"abc"},
      {0x006, L"\u00E9-t\u00E9!", L"ete"},
      {0x111, L" a, b ", L"A,B"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.nOptions << " " << c.pszIn);
    wchar_t wsz[32];
    const int n = STR_PrepareChaineW(c.nOptions, c.pszIn, -1, wsz, 32);
    EXPECT_STREQ(wsz, c.pszExpected);
    EXPECT_EQ(n, static_cast<int>(std::wcslen(c.pszExpected)));
  }
}

TEST_F(LocaleCompare, PreparedFormNeverWritesPastItsBuffer) {
  wchar_t wsz[4] = {L'#', L'#', L'#', L'#'};
  EXPECT_EQ(STR_PrepareChaineW(0, L"abc", -1, wsz, 1), 0);
  EXPECT_EQ(wsz[0], L'\0');
  EXPECT_EQ(wsz[1], L'#');
  EXPECT_EQ(STR_PrepareChaineW(0x010, L"abc", -1, wsz, 3), 2);
  EXPECT_STREQ(wsz, L"AB");
  EXPECT_EQ(wsz[3], L'#');
  EXPECT_EQ(STR_PrepareChaineW(0, L"abc", -1, wsz, 0), 0);
  char sz[3] = {'#', '#', '#'};
  EXPECT_EQ(STR_PrepareChaineA(0x001, "  abc", 4, sz, 2), 1);
  EXPECT_STREQ(sz, "a");
  EXPECT_EQ(sz[2], '#');
  EXPECT_EQ(STR_PrepareChaineA(0, nullptr, -1, sz, 3), 0);
  EXPECT_STREQ(sz, "");
}

struct OptionCase {
  const char* a;  // code page 1252
  const char* b;
  int nOptions;
  int nExpected;
};

const OptionCase kOptionCases[] = {
    {"abc", "abc", 0, 0},
    {"a", "B", 0, 1},  // byte-wise: 'a' > 'B'
    {"ab", "abc", 0, -1},
    {" abc\t", "abc", 0, -1},
    {" abc\t", "abc", 0x001, 0},
    {"a-b.c", "abc", 0x002, 0},
    {"\xE9t\xE9", "ete", 0, 1},
    {"\xE9t\xE9", "ete", 0x004, 0},
    {"a", "B", 0x008, -1},  // the locale's order
    {"e", "\xE9", 0x008, -1},
    {"\xE9", "f", 0x008, -1},
    {"\xE9", "f", 0, 1},
    {"ABC", "abc", 0x010, 0},
    {"ABC", "abc", 0x020, 0},
    {"ABC", "abc", 0x040, 0},
    {"ABC", "abd", 0x050, -1},
    {"STRASSE", "stra\xDF" "e", 0x010, 0},  // a mapping that grows the text
    {"file9", "file10", 0, 1},
    {"file9", "file10", 0x080, -1},
    {"x007", "x7", 0x080, -1},
    {"File9", "file10", 0x088, 1},  // the locale: "File" after "file"
    {"File9", "file10", 0x098, -1},
    {"a b", "ab", 0x100, 0},
    {" ab", "ab", 0x100, -1},
    {" a b ", "ab", 0x101, 0},
    {"a", "B", int(0x80000008u), -1},
    {"", "", 0x1FF, 0},
};

TEST_F(LocaleCompare, ComparisonUnderOptionsFollowsEachOption) {
  for (const OptionCase& c : kOptionCases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b + " options " + std::to_string(c.nOptions));
    const std::wstring a = Widen(c.a), b = Widen(c.b);
    EXPECT_EQ(Sign(STR_ChaineCompareW(a.data(), -1, b.data(), static_cast<int>(b.size()),
                                      c.nOptions)),
              c.nExpected);
    EXPECT_EQ(Sign(STR_ChaineCompareA(c.a, static_cast<int>(std::strlen(c.a)), c.b, -1,
                                      c.nOptions)),
              c.nExpected);
    EXPECT_EQ(Sign(STR_ChaineCompareW(b.data(), -1, a.data(), -1, c.nOptions)), -c.nExpected);
  }
}

TEST_F(LocaleCompare, ComparisonUnderOptionsHandlesTextsBeyondTheAutomaticBuffers) {
  std::wstring a(6000, L'x'), b(6000, L'X');
  b.back() = L'Y';
  EXPECT_EQ(Sign(STR_ChaineCompareW(a.data(), -1, b.data(), -1, 0x010)), -1);
  a.back() = L'y';
  EXPECT_EQ(STR_ChaineCompareW(a.data(), -1, b.data(), -1, 0x010), 0);
  std::string sa(20000, 'q'), sb(20000, 'q');
  sb.back() = 'r';
  EXPECT_EQ(Sign(STR_ChaineCompareA(sa.data(), -1, sb.data(), -1, 0x008)), -1);
  EXPECT_EQ(Sign(STR_ChaineCompareA(sa.data(), -1, sb.data(), -1, 0x080)), -1);
}

TEST_F(LocaleCompare, EightBitLexicographicOptionComparesUtf8ByCharacters) {
  Control().SetCurrentCodePage(65001);
  const char* kEAcute = "\xC3\xA9";  // é
  const char* kEGrave = "\xC3\xA8";  // è
  EXPECT_GT(STR_ChaineCompareA(kEAcute, -1, kEGrave, -1, 0x008), 0);
  EXPECT_LT(STR_ChaineCompareA(kEAcute, -1, "f", -1, 0x008), 0);
  EXPECT_EQ(STR_ChaineCompareA(kEAcute, -1, "E", -1, 0x01C), 0);
}

}  // namespace
