// The stand-in server's locale service. The driver's own tests lean on these
// answers (hash tables keyed by mapped texts, sorted lists, buffer sizing), so
// its behaviour is pinned here through the IInfoLocale table, as the driver
// calls it.
#include "host/vm/locale_info.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr unsigned int kUpper = 0x1;
constexpr unsigned int kNoAccents = 0x2;
constexpr unsigned int kNoPunctuation = 0x4;
constexpr unsigned int kLower = 0x100;
constexpr unsigned int kLexicographic = 0x20000000;
constexpr unsigned int kEightBit = 0x40000000;

int Sign(int n) { return (n > 0) - (n < 0); }

// Every combination of the four mapping flags.
std::vector<unsigned int> AllMappingFlagSets() {
  std::vector<unsigned int> sets;
  for (unsigned int dwCase : {0u, kLower}) {
    for (unsigned int dwOthers = 0; dwOthers < 8; ++dwOthers) sets.push_back(dwCase | dwOthers);
  }
  return sets;
}

std::string Describe(const std::wstring& s) {
  std::string out;
  char buf[16];
  for (wchar_t c : s) {
    std::snprintf(buf, sizeof buf, "U+%04X ", static_cast<unsigned>(c));
    out += buf;
  }
  return out.empty() ? "(empty)" : out;
}

std::string Describe(const std::string& s) {
  std::string out;
  char buf[8];
  for (unsigned char c : s) {
    std::snprintf(buf, sizeof buf, "%02X ", c);
    out += buf;
  }
  return out.empty() ? "(empty)" : out;
}

// Maps through slot 14, asking first for the size as the driver does.
std::wstring MapW(IInfoLocale& locale, unsigned int dwFlags, const std::wstring& text) {
  const int nNeeded =
      locale.vnMapStringCurrentW(dwFlags, nullptr, 0, text.data(), static_cast<int>(text.size()));
  std::wstring out(nNeeded + 1, L'#');
  const int nWritten = locale.vnMapStringCurrentW(dwFlags, out.data(), nNeeded + 1, text.data(),
                                                  static_cast<int>(text.size()));
  EXPECT_EQ(nWritten, nNeeded);
  EXPECT_EQ(out[nWritten], L'\0');
  out.resize(nWritten);
  return out;
}

// Maps through slot 13 in the current code page.
std::string MapA(IInfoLocale& locale, unsigned int dwFlags, const std::string& text) {
  const int nNeeded =
      locale.vnPrepareStringA(dwFlags, nullptr, 0, text.data(), static_cast<int>(text.size()));
  std::string out(nNeeded + 1, '#');
  const int nWritten = locale.vnPrepareStringA(dwFlags, out.data(), nNeeded + 1, text.data(),
                                               static_cast<int>(text.size()));
  EXPECT_EQ(nWritten, nNeeded);
  EXPECT_EQ(out[nWritten], '\0');
  out.resize(nWritten);
  return out;
}

// The sort key of slot 9.
std::string SortKey(IInfoLocale& locale, unsigned int dwFlags, const std::string& text) {
  const int nNeeded =
      locale.vnMapSortKeyA(0, dwFlags, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::string out(nNeeded + 1, '#');
  const int nWritten = locale.vnMapSortKeyA(0, dwFlags, text.data(), static_cast<int>(text.size()),
                                            out.data(), nNeeded + 1);
  EXPECT_EQ(nWritten, nNeeded);
  EXPECT_EQ(out[nWritten], '\0');
  out.resize(nWritten);
  return out;
}

int CompareW(IInfoLocale& locale, unsigned int dwFlags, const std::wstring& a,
             const std::wstring& b) {
  return locale.vnCompareCurrentW(dwFlags, a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()));
}

int CompareA(IInfoLocale& locale, unsigned int dwFlags, const std::string& a,
             const std::string& b) {
  return locale.vnCompareCurrentA(dwFlags, a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()));
}

// Code points as unsigned values, a proper prefix first.
int CompareCodePoints(const std::wstring& a, const std::wstring& b) {
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    const auto ca = static_cast<uint32_t>(a[i]);
    const auto cb = static_cast<uint32_t>(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return (a.size() > b.size()) - (a.size() < b.size());
}

std::wstring RandomText(std::mt19937& rng, const std::vector<std::wstring>& alphabet,
                        size_t nMaxLength) {
  std::uniform_int_distribution<size_t> length(0, nMaxLength);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  std::wstring text;
  for (size_t n = length(rng); n > 0; --n) text += alphabet[pick(rng)];
  return text;
}

std::string RandomBytes(std::mt19937& rng, const std::vector<std::string>& alphabet,
                        size_t nMaxLength) {
  std::uniform_int_distribution<size_t> length(0, nMaxLength);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  std::string text;
  for (size_t n = length(rng); n > 0; --n) text += alphabet[pick(rng)];
  return text;
}

// Letters that fold together in some mappings but not others, plus dropped
// characters, so that random pairs often tie at some level.
const std::vector<std::wstring> kWideAlphabet = {
    L"a",      L"A",      L"\u00E1", L"\u00C1", L"b",      L"e",      L"E",      L"\u00E9",
    L"\u00C9", L"\u00E8", L"s",      L"S",      L"\u00DF", L"\u017F", L"i",      L"I",
    L"\u0131", L"\u0130", L"\u00E6", L"\u00C6", L"\u0142", L"\u0141", L"\u00FF", L"\u0178",
    L" ",      L"-",      L",",      L"\u00A0", L"\u00BF"};

// The same letters in code page 1252, with bytes of the 0x80..0x9F row.
const std::vector<std::string> kCp1252Alphabet = {
    "a",    "A",    "\xE1", "\xC1", "b", "e",    "E",    "\xE9", "\xC9",
    "\xE8", "s",    "S",    "\xDF", "i", "I",    "\xE6", "\xC6", "\xFF",
    "\x9F", "\x8A", "\x9A", " ",    "-", "\xA0", "\x81", "\x93"};

// The same letters in UTF-8, with bytes that do not read as characters.
const std::vector<std::string> kUtf8Alphabet = {
    "a",        "A",        "\xC3\xA1", "\xC3\x81", "b",        "e",    "E",    "\xC3\xA9",
    "\xC3\x89", "s",        "S",        "\xC3\x9F", "\xC5\xBF", "i",    "I",    "\xC4\xB1",
    "\xC4\xB0", "\xC5\x82", "\xC5\x81", " ",        ",",        "\xFF", "\xC3", "\x80"};

TEST(StandInLocale, ReportsItsSettingsAndZeroFromTheReservedSlots) {
  CStandInInfoLocale standIn;
  IInfoLocale& locale = standIn;
  EXPECT_EQ(locale.vnGetCurrentCodePage(), 1252);
  EXPECT_EQ(locale.vnGetCurrentCharset(), 0);
  EXPECT_EQ(locale.vnGetCurrentLCID(), 1036u);
  EXPECT_EQ(locale.vnGetSafeCurrentLCID(), 1036u);
  EXPECT_EQ(locale._vnReserved0(), 0);
  EXPECT_EQ(locale._vnReserved1(), 0);
  EXPECT_EQ(locale._vnReserved10(), 0);

  standIn.SetCurrentCodePage(65001);
  standIn.SetCurrentCharset(127);
  standIn.SetCurrentLCID(1033);
  standIn.SetSafeLCID(2057);
  EXPECT_EQ(locale.vnGetCurrentCodePage(), 65001);
  EXPECT_EQ(locale.vnGetCurrentCharset(), 127);
  EXPECT_EQ(locale.vnGetCurrentLCID(), 1033u);
  EXPECT_EQ(locale.vnGetSafeCurrentLCID(), 2057u);
}

TEST(StandInLocale, AnUnknownCodePageIsReportedAndAppliedAs1252) {
  CStandInInfoLocale standIn;
  IInfoLocale& locale = standIn;
  standIn.SetCurrentCodePage(65001);
  standIn.SetCurrentCodePage(437);
  EXPECT_EQ(locale.vnGetCurrentCodePage(), 1252);
  EXPECT_EQ(MapA(locale, kUpper, "\xE9\x9A"), "\xC9\x8A");  // é š in 1252
}

TEST(StandInLocale, MapsLatinLettersThroughTheCaseAndAccentTables) {
  struct Case {
    const char* name;
    std::wstring in;
    unsigned int dwFlags;
    std::wstring expected;
  };
  const Case cases[] = {
      {"ASCII upper", L"azAZ09", kUpper, L"AZAZ09"},
      {"ASCII lower", L"azAZ09", kLower, L"azaz09"},
      {"upper wins over lower", L"aB", kUpper | kLower, L"AB"},
      {"no flags copy", L"\u00E9\u00DF\u0142", 0, L"\u00E9\u00DF\u0142"},
      {"Latin-1 upper", L"\u00E0\u00E9\u00EE\u00F5\u00FC\u00E7\u00F1\u00F8\u00FE\u00F0", kUpper,
       L"\u00C0\u00C9\u00CE\u00D5\u00DC\u00C7\u00D1\u00D8\u00DE\u00D0"},
      {"Latin-1 lower", L"\u00C0\u00C9\u00CE\u00D5\u00DC\u00C7\u00D1\u00D8\u00DE\u00D0", kLower,
       L"\u00E0\u00E9\u00EE\u00F5\u00FC\u00E7\u00F1\u00F8\u00FE\u00F0"},
      {"y diaeresis pairs with U+0178", L"\u00FF\u0178", kUpper, L"\u0178\u0178"},
      {"U+0178 lowers to y diaeresis", L"\u0178", kLower, L"\u00FF"},
      {"Latin-1 accents removed", L"\u00E9\u00C5\u00E7\u00D1\u00F6\u00FD\u00FF", kNoAccents,
       L"eAcNoyy"},
      {"stroke letters lose the stroke", L"\u0142\u0141\u00F8\u00D8\u0111\u0110\u0127", kNoAccents,
       L"lLoOdDh"},
      {"eth becomes d", L"\u00F0\u00D0", kNoAccents, L"dD"},
      {"ligatures and own letters stay", L"\u00E6\u00C6\u0153\u0152\u00DF\u00FE\u0133\u014B",
       kNoAccents, L"\u00E6\u00C6\u0153\u0152\u00DF\u00FE\u0133\u014B"},
      {"ae and oe change case only", L"\u00E6\u0153", kUpper | kNoAccents, L"\u00C6\u0152"},
      {"Extended-A upper", L"\u0101\u0107\u010D\u011B\u0142\u0144\u0151\u0159\u0161\u017E", kUpper,
       L"\u0100\u0106\u010C\u011A\u0141\u0143\u0150\u0158\u0160\u017D"},
      {"Extended-A lower", L"\u0100\u0106\u010C\u011A\u0141\u0143\u0150\u0158\u0160\u017D", kLower,
       L"\u0101\u0107\u010D\u011B\u0142\u0144\u0151\u0159\u0161\u017E"},
      {"Extended-A accents removed", L"\u0101\u010D\u011A\u0150\u0161\u017B\u0165", kNoAccents,
       L"acEOsZt"},
      {"upper and no accents", L"\u00E9\u0142\u017E\u00E7", kUpper | kNoAccents, L"ELZC"},
      {"lower and no accents", L"\u00C9\u0141\u017D\u00C7", kLower | kNoAccents, L"elzc"},
      {"dotless i uppers to I", L"\u0131", kUpper, L"I"},
      {"dotted I lowers to i", L"\u0130", kLower, L"i"},
      {"dotted I loses its dot", L"\u0130", kNoAccents, L"I"},
      {"long s uppers to S", L"\u017F", kUpper, L"S"},
      {"micro sign keeps its case", L"\u00B5", kUpper, L"\u00B5"},
      {"kra and n apostrophe stay", L"\u0138\u0149", kUpper, L"\u0138\u0149"},
      {"sharp s lower stays", L"\u00DF", kLower, L"\u00DF"},
      {"sharp s without accents stays", L"\u00DF", kNoAccents, L"\u00DF"},
      {"sharp s upper is SS", L"\u00DF", kUpper, L"SS"},
      {"sharp s upper without accents is SS", L"\u00DF", kUpper | kNoAccents, L"SS"},
      {"beyond the tables nothing changes", L"\u03B1\u0416\u4E2D\U0001F600", kUpper | kNoAccents,
       L"\u03B1\u0416\u4E2D\U0001F600"},
  };
  CStandInInfoLocale standIn;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Describe(MapW(standIn, c.dwFlags, c.in)), Describe(c.expected));
  }
}

// Comparisons compute their primary level by mapping an already mapped text
// again; that is only sound if mapping twice equals mapping once with both
// sets of flags, for every character of the tables.
TEST(StandInLocale, MappingTwiceEqualsMappingOnceWithBothFlags) {
  CStandInInfoLocale standIn;
  std::vector<wchar_t> characters;
  for (wchar_t c = 0; c < 0x180; ++c) characters.push_back(c);
  for (wchar_t c : {0x2013, 0x20AC, 0xFFFD}) characters.push_back(c);
  for (wchar_t c : characters) {
    const std::wstring text(1, c);
    for (unsigned int first = 0; first < 8; ++first) {
      for (unsigned int second = 0; second < 8; ++second) {
        SCOPED_TRACE(Describe(text) + " flags " + std::to_string(first) + " then " +
                     std::to_string(second));
        EXPECT_EQ(MapW(standIn, second, MapW(standIn, first, text)),
                  MapW(standIn, first | second, text));
      }
    }
  }
}

TEST(StandInLocale, NoCharacterMapsToMoreThanTwo) {
  CStandInInfoLocale standIn;
  IInfoLocale& locale = standIn;
  for (unsigned int dwFlags : AllMappingFlagSets()) {
    SCOPED_TRACE("flags " + std::to_string(dwFlags));
    for (wchar_t c = 0; c < 0x200; ++c) {
      EXPECT_LE(locale.vnMapStringCurrentW(dwFlags, nullptr, 0, &c, 1), 2)
          << Describe(std::wstring(1, c));
    }
    // In bytes as well: callers size an 8-bit buffer as twice the input.
    for (int nCodePage : {1252, 65001}) {
      standIn.SetCurrentCodePage(nCodePage);
      std::string allBytes;
      for (int b = 1; b < 256; ++b) allBytes += static_cast<char>(b);
      EXPECT_LE(MapA(locale, dwFlags, allBytes).size(), 2 * allBytes.size()) << nCodePage;
      for (const std::string& s : {std::string("\xDF"), std::string("\xC3\x9F"),
                                   std::string("\xFF"), std::string("\xE2\x82")}) {
        EXPECT_LE(MapA(locale, dwFlags, s).size(), 2 * s.size()) << nCodePage << Describe(s);
      }
    }
  }
  standIn.SetCurrentCodePage(1252);
  EXPECT_EQ(MapA(locale, kUpper, "gro\xDF"), "GROSS");
}

TEST(StandInLocale, OutputIsCutToWholeCharactersAndAlwaysTerminated) {
  struct Case {
    const char* name;
    int nCodePage;
    std::string in;
    unsigned int nOutSize;
    int expectedAnswer;
    std::string expectedOut;  // what precedes the terminator
  };
  const Case cases[] = {
      {"size 0 answers the count needed", 1252, "a\xDFx", 0, 4, ""},
      {"size 1 holds only the terminator", 1252, "a\xDFx", 1, 0, ""},
      {"exact fit", 1252, "a\xDFx", 5, 4, "ASSX"},
      {"one short", 1252, "a\xDFx", 4, 3, "ASS"},
      {"cut between the two S", 1252, "a\xDFx", 3, 2, "AS"},
      {"larger than needed", 1252, "a\xDFx", 9, 4, "ASSX"},
      {"empty input", 1252, "", 4, 0, ""},
      {"a UTF-8 sequence is not split", 65001, "\xC3\xA9", 2, 0, ""},
      {"a UTF-8 sequence that fits", 65001, "\xC3\xA9", 3, 2, "\xC3\x89"},
      {"nothing after the first piece that did not fit", 65001, "\xC3\xA9z", 2, 0, ""},
  };
  CStandInInfoLocale standIn;
  IInfoLocale& locale = standIn;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    standIn.SetCurrentCodePage(c.nCodePage);
    std::string buffer(16, '#');
    const int nAnswer = locale.vnPrepareStringA(kUpper, buffer.data(), c.nOutSize, c.in.data(),
                                                static_cast<int>(c.in.size()));
    EXPECT_EQ(nAnswer, c.expectedAnswer);
    if (c.nOutSize == 0) {
      EXPECT_EQ(buffer, std::string(16, '#'));
    } else {
      EXPECT_EQ(Describe(buffer.substr(0, c.expectedOut.size())), Describe(c.expectedOut));
      EXPECT_EQ(buffer[c.expectedOut.size()], '\0');
      EXPECT_EQ(buffer.substr(c.nOutSize), std::string(16 - c.nOutSize, '#'));
    }
  }

  standIn.SetCurrentCodePage(1252);
  EXPECT_EQ(locale.vnPrepareStringA(kUpper, nullptr, 10, "a\xDF", -1), 3);
  wchar_t wide[4] = {L'#', L'#', L'#', L'#'};
  EXPECT_EQ(locale.vnMapStringCurrentW(kUpper, wide, 3, L"\u00DF\u00DF", -1), 2);
  EXPECT_EQ(std::wstring(wide, 4), std::wstring(L"SS\0#", 4));
  char key[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(locale.vnMapSortKeyA(0, 0, "abc", -1, key, 1), 0);
  EXPECT_EQ(std::string(key, 4), std::string("\0###", 4));
  EXPECT_GT(locale.vnMapSortKeyA(0, 0, "abc", -1, key, 0), 3);
}

TEST(StandInLocale, MapsInPlaceWhenTheOutputIsTheInput) {
  CStandInInfoLocale standIn;
  IInfoLocale& locale = standIn;
  char text[16] = "a\xDFx";
  EXPECT_EQ(locale.vnPrepareStringA(kUpper, text, sizeof text, text, -1), 4);
  EXPECT_STREQ(text, "ASSX");
  wchar_t wide[16] = L"\u00DF\u00E9";
  EXPECT_EQ(locale.vnMapStringCurrentW(kUpper | kNoAccents, wide, 16, wide, -1), 3);
  EXPECT_EQ(std::wstring(wide), L"SSE");
  char key[32] = "ab";
  const std::string expected = SortKey(locale, 0, "ab");
  EXPECT_EQ(locale.vnMapSortKeyA(0, 0, key, -1, key, sizeof key), int(expected.size()));
  EXPECT_EQ(std::string(key), expected);
}

TEST(StandInLocale, NullTextsAndLengthsReadAsDocumented) {
  struct Case {
    const char* name;
    const char* psz;
    int n;
    std::string expected;
  };
  const Case cases[] = {
      {"null, to the terminator", nullptr, -1, ""},
      {"null with a length", nullptr, 5, ""},
      {"to the terminator", "abc", -1, "ABC"},
      {"explicit length", "abcdef", 3, "ABC"},
      {"a zero inside the length is a character", "ab\0cd", 5, std::string("AB\0CD", 5)},
      {"other negative lengths read as 0", "abc", -2, ""},
      {"the most negative length reads as 0", "abc", INT_MIN, ""},
  };
  CStandInInfoLocale standIn;
  IInfoLocale& locale = standIn;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char out[8];
    const int nWritten = locale.vnPrepareStringA(kUpper, out, sizeof out, c.psz, c.n);
    EXPECT_EQ(std::string(out, nWritten), c.expected);
    EXPECT_EQ(locale.vnCompareCurrentA(kUpper, c.psz, c.n, c.expected.data(),
                                       static_cast<int>(c.expected.size())),
              0);
  }
  EXPECT_EQ(locale.vnMapStringCurrentW(0, nullptr, 0, nullptr, 3), 0);
  EXPECT_EQ(locale.vnMapStringCurrentW(0, nullptr, 0, L"abc", -7), 0);
  EXPECT_EQ(locale.vnCompareCurrentW(0, nullptr, -1, L"", -1), 0);
  EXPECT_EQ(locale.vnCompareCurrentW(kLexicographic, nullptr, 2, L"a", -1), -1);
  EXPECT_EQ(locale.vnMapSortKeyA(0, 0, nullptr, 4, nullptr, 0),
            locale.vnMapSortKeyA(0, 0, "", -1, nullptr, 0));
}

TEST(StandInLocale, DropsWhiteSpaceAndPunctuation) {
  struct Case {
    const char* name;
    std::wstring in;
    std::wstring expected;
  };
  const Case cases[] = {
      {"white space", L"a b\tc\nd\re\vf\fg\u00A0h", L"abcdefgh"},
      {"ASCII punctuation and symbols", L"l'\u00E9t\u00E9, (2024)! $5+x_y@z",
       L"l\u00E9t\u00E920245xyz"},
      {"Latin-1 punctuation", L"\u00BFQu\u00E9?\u00A1Ol\u00E1!\u00ABx\u00BB\u00B7y\u00A7\u00B6",
       L"Qu\u00E9Ol\u00E1xy"},
      {"Latin-1 symbols", L"\u00A9\u00AE\u00B0\u00B1\u00D7\u00F7\u00AC\u00A3\u00AD1", L"1"},
      {"letters and numbers of Latin-1 stay", L"\u00AA\u00BA\u00B5\u00B2\u00B3\u00B9\u00BD",
       L"\u00AA\u00BA\u00B5\u00B2\u00B3\u00B9\u00BD"},
      {"general punctuation", L"a\u2014b\u2026c\u201Cd\u201D\u2022e\u2039f\u203A\u2030", L"abcdef"},
      {"code page 1252 symbols", L"\u20AC5\u2122\u02C6\u02DC", L"5"},
      {"controls other than white space stay", L"\x01\x1F\x7F", L"\x01\x1F\x7F"},
      {"other scripts stay", L"\u03B1 \u4E2D", L"\u03B1\u4E2D"},
  };
  CStandInInfoLocale standIn;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Describe(MapW(standIn, kNoPunctuation, c.in)), Describe(c.expected));
  }
  EXPECT_EQ(MapA(standIn, kNoPunctuation, "\x93x\x94 \x85\x80\xA0y"), "xy");  // in 1252
  EXPECT_EQ(CompareW(standIn, kNoPunctuation, L"a-b c", L"abc"), 0);
  EXPECT_NE(CompareW(standIn, 0, L"a-b c", L"abc"), 0);
}

TEST(StandInLocale, EightBitMappingsReadAndWriteTheCurrentCodePage) {
  struct Case {
    const char* name;
    int nCodePage;
    unsigned int dwFlags;
    std::string in;
    std::string expected;
  };
  const Case cases[] = {
      {"1252 Latin-1 upper", 1252, kUpper, "\xE9t\xE9", "\xC9T\xC9"},
      {"1252 row 0x80 upper", 1252, kUpper, "\x9A\x9C\x9E\xFF", "\x8A\x8C\x8E\x9F"},
      {"1252 row 0x80 no accents", 1252, kNoAccents, "\x8A\x9A\x8E\x9F", "SsZY"},
      {"1252 undefined bytes survive", 1252, kUpper | kNoAccents, "\x81\x8D\x8F\x90\x9D",
       "\x81\x8D\x8F\x90\x9D"},
      {"1252 reads UTF-8 bytes as two letters", 1252, kLower, "\xC3\xA9", "\xE3\xA9"},
      {"1252 sharp s", 1252, kUpper, "\xDF", "SS"},
      {"UTF-8 upper", 65001, kUpper, "\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"},
      {"UTF-8 lower leaves a lower letter", 65001, kLower, "\xC3\xA9", "\xC3\xA9"},
      {"UTF-8 y diaeresis to U+0178", 65001, kUpper, "\xC3\xBF", "\xC5\xB8"},
      {"UTF-8 dotless i", 65001, kUpper, "\xC4\xB1", "I"},
      {"UTF-8 no accents", 65001, kNoAccents, "\xC5\x82\xC3\x85\xC4\x8D", "lAc"},
      {"UTF-8 beyond the tables", 65001, kUpper, "\xE2\x82\xAC\xF0\x9F\x98\x80",
       "\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"UTF-8 stray bytes", 65001, 0, "a\xFFz\x80z", "a?z?z"},
      {"UTF-8 truncated sequence", 65001, 0, "a\xE2\x82", "a??"},
      {"UTF-8 overlong form", 65001, 0, "\xC0\xAF", "??"},
      {"UTF-8 surrogate", 65001, 0, "\xED\xA0\x80", "???"},
      {"UTF-8 beyond U+10FFFF", 65001, 0, "\xF4\x90\x80\x80", "????"},
      {"UTF-8 lead cut short by a letter", 65001, kUpper, "\xC3z", "?Z"},
  };
  CStandInInfoLocale standIn;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    standIn.SetCurrentCodePage(c.nCodePage);
    EXPECT_EQ(Describe(MapA(standIn, c.dwFlags, c.in)), Describe(c.expected));
  }
}

TEST(StandInLocale, EightBitComparisonsReadTheCurrentCodePage) {
  CStandInInfoLocale standIn;
  IInfoLocale& locale = standIn;
  const std::string utf8E = "\xC3\xA9";  // é in UTF-8; Ã© in 1252
  standIn.SetCurrentCodePage(65001);
  EXPECT_EQ(CompareA(locale, kNoAccents, utf8E, "e"), 0);
  EXPECT_EQ(CompareA(locale, kUpper, utf8E, "\xC3\x89"), 0);
  EXPECT_EQ(SortKey(locale, kNoAccents, utf8E), SortKey(locale, kNoAccents, "e"));
  EXPECT_EQ(CompareA(locale, 0, "\xFF", "\xEF\xBF\xBD"), 0);  // a stray byte reads as U+FFFD
  standIn.SetCurrentCodePage(1252);
  EXPECT_NE(CompareA(locale, kNoAccents, utf8E, "e"), 0);
  EXPECT_EQ(CompareA(locale, kNoAccents, "\xE9", "e"), 0);
  EXPECT_NE(SortKey(locale, kNoAccents, utf8E), SortKey(locale, kNoAccents, "e"));
}

TEST(StandInLocale, LexicographicOrderPutsAccentsAndCaseAfterTheLetter) {
  // Strictly ascending under 0x20000000 alone.
  const std::vector<std::wstring> ascending = {
      L"",       L"a", L"A", L"\u00E1", L"\u00C1", L"ab",     L"b",
      L"B",      L"c", L"e", L"E",      L"\u00E8", L"\u00E9", L"\u00C9",
      L"\u00EA", L"f", L"i", L"\u0131", L"s",      L"\u00DF", L"ss"};
  CStandInInfoLocale standIn;
  for (size_t i = 0; i < ascending.size(); ++i) {
    for (size_t j = 0; j < ascending.size(); ++j) {
      SCOPED_TRACE(Describe(ascending[i]) + "vs " + Describe(ascending[j]));
      EXPECT_EQ(CompareW(standIn, kLexicographic, ascending[i], ascending[j]), (i > j) - (i < j));
    }
  }

  struct Case {
    const char* name;
    std::wstring a;
    std::wstring b;
    unsigned int dwFlags;
    int expected;
  };
  const Case cases[] = {
      {"case is not primary", L"a", L"B", kLexicographic, -1},
      {"case is not primary, other way", L"B", L"c", kLexicographic, -1},
      {"accent is not primary", L"\u00E9a", L"eb", kLexicographic, -1},
      {"ignoring case", L"\u00E1", L"\u00C1", kLexicographic | kUpper, 0},
      {"ignoring case keeps accents", L"a", L"\u00C1", kLexicographic | kUpper, -1},
      {"ignoring accents", L"e", L"\u00E9", kLexicographic | kNoAccents, 0},
      {"ignoring accents keeps case", L"\u00E9", L"E", kLexicographic | kNoAccents, -1},
      {"ignoring both", L"\u00C9t\u00E9", L"ETE", kLexicographic | kUpper | kNoAccents, 0},
      {"sharp s against SS ignoring case", L"\u00DF", L"SS", kLexicographic | kUpper, 0},
      {"ignoring punctuation", L"l'\u00E9t\u00E9", L"lete", kLexicographic | kNoPunctuation, 1},
      {"the 8-bit mark changes nothing", L"a", L"A", kLexicographic | kUpper | kEightBit, 0},
      {"lower case flag does not fold", L"a", L"A", kLexicographic | kLower, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CompareW(standIn, c.dwFlags, c.a, c.b), c.expected);
    EXPECT_EQ(CompareW(standIn, c.dwFlags, c.b, c.a), -c.expected);
  }
}

TEST(StandInLocale, WithoutTheLexicographicFlagCodePointsDecide) {
  struct Case {
    const char* name;
    std::wstring a;
    std::wstring b;
    unsigned int dwFlags;
    int expected;
  };
  const Case cases[] = {
      {"upper before lower", L"B", L"a", 0, -1},
      {"accented after every ASCII letter", L"f", L"\u00E9", 0, -1},
      {"a proper prefix first", L"ab", L"abc", 0, -1},
      {"empty first", L"", L"a", 0, -1},
      {"equal", L"abc", L"abc", 0, 0},
      {"ignoring case", L"a\u00E9", L"A\u00C9", kUpper, 0},
      {"sharp s is SS ignoring case", L"stra\u00DFe", L"STRASSE", kUpper, 0},
      {"ignoring accents", L"\u00E9l\u00E8ve", L"eleve", kNoAccents, 0},
      {"lower case flag does not fold", L"a", L"A", kLower, 1},
      {"the 8-bit mark changes nothing", L"a", L"A", kUpper | kEightBit, 0},
      {"wide values compare unsigned", std::wstring(1, static_cast<wchar_t>(-1)), L"a", 0, 1},
      {"values past U+10FFFF are characters", std::wstring(1, static_cast<wchar_t>(0x110000)),
       std::wstring(1, static_cast<wchar_t>(0x10FFFF)), kUpper, 1},
  };
  CStandInInfoLocale standIn;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CompareW(standIn, c.dwFlags, c.a, c.b), c.expected);
    EXPECT_EQ(CompareW(standIn, c.dwFlags, c.b, c.a), -c.expected);
  }
}

// The reference model: comparing without the lexicographic flag is comparing
// the mapped texts' code points.
TEST(StandInLocale, CodePointComparisonAgreesWithComparingTheMappedTexts) {
  CStandInInfoLocale standIn;
  std::mt19937 rng(20240611);
  for (int i = 0; i < 1500; ++i) {
    const std::wstring a = RandomText(rng, kWideAlphabet, 6);
    const std::wstring b = RandomText(rng, kWideAlphabet, 6);
    for (unsigned int dwFlags = 0; dwFlags < 8; ++dwFlags) {
      SCOPED_TRACE(Describe(a) + "vs " + Describe(b) + "flags " + std::to_string(dwFlags));
      ASSERT_EQ(CompareW(standIn, dwFlags, a, b),
                CompareCodePoints(MapW(standIn, dwFlags, a), MapW(standIn, dwFlags, b)));
    }
  }
}

// The driver's hash tables hash map(text, 3) and test keys with compare(3):
// both must agree on which texts are the same key, in either order.
TEST(StandInLocale, FlagsThreeCompareEqualExactlyWhenTheMappedTextsAreEqual) {
  CStandInInfoLocale standIn;
  std::mt19937 rng(7);
  int nEqualPairs = 0;
  for (int i = 0; i < 3000; ++i) {
    const std::wstring a = RandomText(rng, kWideAlphabet, 4);
    const std::wstring b = RandomText(rng, kWideAlphabet, 4);
    const unsigned int kSameKey = kUpper | kNoAccents;
    const bool bSameKey = MapW(standIn, kSameKey, a) == MapW(standIn, kSameKey, b);
    nEqualPairs += bSameKey;
    for (unsigned int dwFlags : {kSameKey, kSameKey | kLexicographic}) {
      SCOPED_TRACE(Describe(a) + "vs " + Describe(b) + "flags " + std::to_string(dwFlags));
      ASSERT_EQ(CompareW(standIn, dwFlags, a, b) == 0, bSameKey);
    }
  }
  // The alphabet is small enough that the equal side of the property is met.
  EXPECT_GT(nEqualPairs, 50);

  // Every other flag set keeps the same promise in the locale's order.
  for (int i = 0; i < 1000; ++i) {
    const std::wstring a = RandomText(rng, kWideAlphabet, 4);
    const std::wstring b = RandomText(rng, kWideAlphabet, 4);
    for (unsigned int dwFlags = 0; dwFlags < 8; ++dwFlags) {
      SCOPED_TRACE(Describe(a) + "vs " + Describe(b) + "flags " + std::to_string(dwFlags));
      ASSERT_EQ(CompareW(standIn, dwFlags | kLexicographic, a, b) == 0,
                MapW(standIn, dwFlags, a) == MapW(standIn, dwFlags, b));
    }
  }
}

TEST(StandInLocale, SortKeysOrderAsTheLexicographicComparison) {
  CStandInInfoLocale standIn;
  std::mt19937 rng(1252);
  for (int nCodePage : {1252, 65001}) {
    standIn.SetCurrentCodePage(nCodePage);
    const auto& alphabet = nCodePage == 1252 ? kCp1252Alphabet : kUtf8Alphabet;
    for (int i = 0; i < 1500; ++i) {
      const std::string a = RandomBytes(rng, alphabet, 5);
      const std::string b = RandomBytes(rng, alphabet, 5);
      for (unsigned int dwFlags = 0; dwFlags < 8; ++dwFlags) {
        SCOPED_TRACE(std::to_string(nCodePage) + ": " + Describe(a) + "vs " + Describe(b) +
                     "flags " + std::to_string(dwFlags));
        const std::string keyA = SortKey(standIn, dwFlags, a);
        // A sort key is in the locale's order with or without the flag.
        ASSERT_EQ(keyA, SortKey(standIn, dwFlags | kLexicographic, a));
        ASSERT_EQ(keyA.find('\0'), std::string::npos);
        // std::string compares as memcmp on unsigned bytes, shorter first.
        ASSERT_EQ(Sign(keyA.compare(SortKey(standIn, dwFlags, b))),
                  CompareA(standIn, dwFlags | kLexicographic, a, b));
      }
    }
  }
}

TEST(StandInLocale, SlotsWithALocaleIdAnswerAsTheCurrentLocaleSlots) {
  CStandInInfoLocale standIn;
  IInfoLocale& locale = standIn;
  std::mt19937 rng(1036);
  const unsigned int kLocaleIds[] = {0, 1033, 1036, 0x7F, 0xFFFFFFFF};
  for (int nCodePage : {1252, 65001}) {
    standIn.SetCurrentCodePage(nCodePage);
    const auto& alphabet = nCodePage == 1252 ? kCp1252Alphabet : kUtf8Alphabet;
    for (int i = 0; i < 300; ++i) {
      const std::string a = RandomBytes(rng, alphabet, 5);
      const std::string b = RandomBytes(rng, alphabet, 5);
      const std::wstring wa = RandomText(rng, kWideAlphabet, 5);
      const std::wstring wb = RandomText(rng, kWideAlphabet, 5);
      const unsigned int nLCID = kLocaleIds[i % std::size(kLocaleIds)];
      const int nA = static_cast<int>(a.size()), nB = static_cast<int>(b.size());
      const int nWA = static_cast<int>(wa.size()), nWB = static_cast<int>(wb.size());
      for (unsigned int dwFlags : {0u, kUpper, kUpper | kNoAccents, kLower | kNoPunctuation,
                                   kLexicographic, kLexicographic | kUpper | kEightBit}) {
        SCOPED_TRACE(Describe(a) + "vs " + Describe(b) + "flags " + std::to_string(dwFlags));
        ASSERT_EQ(locale.vnCompareA(nLCID, dwFlags, a.data(), nA, b.data(), nB),
                  locale.vnCompareCurrentA(dwFlags, a.data(), nA, b.data(), nB));
        ASSERT_EQ(locale.vnCompareW(nLCID, dwFlags, wa.data(), nWA, wb.data(), nWB),
                  locale.vnCompareCurrentW(dwFlags, wa.data(), nWA, wb.data(), nWB));
        char out1[16], out2[16];
        const int n1 = locale.vnMapStringA(nLCID, dwFlags, a.data(), nA, out1, sizeof out1);
        const int n2 = locale.vnPrepareStringA(dwFlags, out2, sizeof out2, a.data(), nA);
        ASSERT_EQ(std::string(out1, n1), std::string(out2, n2));
        wchar_t wout1[16], wout2[16];
        const int nw1 = locale.vnMapStringW(nLCID, dwFlags, wa.data(), nWA, wout1, 16);
        const int nw2 = locale.vnMapStringCurrentW(dwFlags, wout2, 16, wa.data(), nWA);
        ASSERT_EQ(std::wstring(wout1, nw1), std::wstring(wout2, nw2));
      }
    }
  }
}

// The driver passes on bits that only it gives meaning to (0x10000000, the
// language's 0x80000000): they must not change an answer.
TEST(StandInLocale, BitsOutsideTheDocumentedFlagsChangeNothing) {
  CStandInInfoLocale standIn;
  IInfoLocale& locale = standIn;
  std::mt19937 rng(0x1000);
  for (int i = 0; i < 200; ++i) {
    const std::wstring a = RandomText(rng, kWideAlphabet, 5);
    const std::wstring b = RandomText(rng, kWideAlphabet, 5);
    const std::string a8 = RandomBytes(rng, kCp1252Alphabet, 5);
    const std::string b8 = RandomBytes(rng, kCp1252Alphabet, 5);
    for (unsigned int dwFlags : {0u, kUpper | kNoAccents, kLower | kNoPunctuation,
                                 kLexicographic | kUpper}) {
      for (unsigned int dwExtra : {0x10000000u, 0x80000000u, 0x90000000u}) {
        SCOPED_TRACE(Describe(a) + "vs " + Describe(b) + "flags " + std::to_string(dwFlags) +
                     " extra " + std::to_string(dwExtra));
        ASSERT_EQ(CompareW(locale, dwFlags | dwExtra, a, b), CompareW(locale, dwFlags, a, b));
        ASSERT_EQ(CompareA(locale, dwFlags | dwExtra, a8, b8), CompareA(locale, dwFlags, a8, b8));
        ASSERT_EQ(MapW(locale, dwFlags | dwExtra, a), MapW(locale, dwFlags, a));
        ASSERT_EQ(MapA(locale, dwFlags | dwExtra, a8), MapA(locale, dwFlags, a8));
        ASSERT_EQ(SortKey(locale, dwFlags | dwExtra, a8), SortKey(locale, dwFlags, a8));
      }
    }
  }
}

}  // namespace
