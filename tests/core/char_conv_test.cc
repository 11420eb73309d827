#include "core/char_conv.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/unicode.h"
#include "core/xmalloc.h"
#include "core/codepage_conversion.h"
#include "tests/support/bound_framework.h"
#include "tests/support/iconv_reference.h"

namespace {

using std::string;
using std::wstring;

using kqtest::Iconv;

wstring FromUtf32Bytes(const string& s) {
  wstring w(s.size() / 4, L'\0');
  std::memcpy(w.data(), s.data(), w.size() * 4);
  return w;
}

string ToUtf32Bytes(const wstring& w) { return string(reinterpret_cast<const char*>(w.data()), w.size() * 4); }

// Owns a result of the conversions (XMALLOC_ blocks).
template <typename T>
struct Owned {
  ~Owned() { XMALLOC_Del_(p); }
  T* p = nullptr;
};

const unsigned char kUndefinedBytes[] = {0x81, 0x8D, 0x8F, 0x90, 0x9D};

bool IsUndefined(unsigned char b) {
  return std::find(std::begin(kUndefinedBytes), std::end(kUndefinedBytes), b) != std::end(kUndefinedBytes);
}

}  // namespace

// ---------------------------------------------------------------------------
// Character and text tests

TEST(CharacterTests, ClassifyByFixedRanges) {
  struct Case {
    wchar_t c;
    int digit, upper, lower, unprintable, punctuation, extended;
  };
  const Case cases[] = {
      {L'0', 1, 0, 0, 0, 0, 0},  {L'9', 1, 0, 0, 0, 0, 0},   {L'A', 0, 1, 0, 0, 0, 0},
      {L'z', 0, 0, 1, 0, 0, 0},  {L'\t', 0, 0, 0, 1, 0, 0},  {L' ', 0, 0, 0, 0, 0, 0},
      {L'!', 0, 0, 0, 0, 1, 0},  {L'/', 0, 0, 0, 0, 1, 0},   {L'@', 0, 0, 0, 0, 1, 0},
      {L'_', 0, 0, 0, 0, 1, 0},  {L'`', 0, 0, 0, 0, 0, 0},   {L'~', 0, 0, 0, 0, 0, 0},
      {0xE9, 0, 0, 0, 0, 0, 1},  {static_cast<wchar_t>(-1), 0, 0, 0, 0, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.c));
    EXPECT_EQ(bEstUnChiffreW(c.c), c.digit);
    EXPECT_EQ(bMajusculeW(c.c), c.upper);
    EXPECT_EQ(bMinusculeW(c.c), c.lower);
    EXPECT_EQ(bUnprintable(c.c), c.unprintable);
    EXPECT_EQ(bPonctuation(c.c), c.punctuation);
    EXPECT_EQ(bExtendedASCII(c.c), c.extended);
    if (static_cast<unsigned>(c.c) < 128) {
      char b = static_cast<char>(c.c);
      EXPECT_EQ(bEstUnChiffreA(b), c.digit);
      EXPECT_EQ(bMajusculeA(b), c.upper);
      EXPECT_EQ(bMinusculeA(b), c.lower);
    }
  }
  EXPECT_EQ(nGetChiffre(L'7'), 7);
  EXPECT_EQ(bEstUnChiffreA('\xB2'), 0);
}

TEST(CharacterTests, TextPredicates) {
  EXPECT_EQ(bEstUnNombreEntierNaturel(L"0123"), 1);
  EXPECT_EQ(bEstUnNombreEntierNaturel(L""), 1);
  EXPECT_EQ(bEstUnNombreEntierNaturel(L"12a"), 0);

  EXPECT_EQ(STR_bNeContientRienDeLisibleW(L"\t \r\n"), 1);
  EXPECT_EQ(STR_bNeContientRienDeLisibleW(L"\t \r\n\f"), 0);
  EXPECT_EQ(STR_bNeContientRienDeLisibleA("\v"), 0);
  EXPECT_EQ(STR_bNeContientRienDeLisibleA(""), 1);

  EXPECT_EQ(STR_bContainSpace(L"a b"), 1);
  EXPECT_EQ(STR_bContainSpace(L"a\tb"), 0);
  EXPECT_EQ(STR_bContainSpace(nullptr), 0);

  EXPECT_EQ(bEstDuTexteRTF("{\\rtf1\\ansi"), 1);
  EXPECT_EQ(bEstDuTexteRTF(L"{\\RTF{x"), 1);
  EXPECT_EQ(bEstDuTexteRTFW(L"{\\rtf2"), 0);
  EXPECT_EQ(bEstDuTexteRTF(static_cast<const char*>(nullptr)), 0);
  EXPECT_EQ(bEstDuTexteRTF("{\\rt"), 0);

  EXPECT_EQ(STR_bIsANSI7(L"abc~"), 1);
  EXPECT_EQ(STR_bIsANSI7(L"ab\xE9"), 0);
  EXPECT_EQ(STR_bIsANSI7(L"ab\xE9", 2), 1);
  EXPECT_EQ(STR_bIsANSI7('\x7F'), 1);
  EXPECT_EQ(STR_bIsANSI7('\x80'), 0);
  EXPECT_EQ(STR_bIsCp1252(L"\x20AC\xE9\x178"), 1);
  EXPECT_EQ(STR_bIsCp1252(L"\x3A9"), 0);
}

TEST(Lengths, BoundedAndUtf8Leads) {
  EXPECT_EQ(STR_nLenA("abcdef", 4), 4);
  EXPECT_EQ(STR_nLenW(L"ab", 4), 2);
  EXPECT_EQ(STR_nLen("abc", 0), 0);
  EXPECT_EQ(STR_nLen(L"abc", -1), 0);
  EXPECT_EQ(STR_nLenA(nullptr, 5), 0);

  struct Case {
    unsigned char lead;
    int length;
  };
  const Case cases[] = {{0x41, 1}, {0xBF, 2}, {0xC3, 2}, {0xE2, 3}, {0xF0, 4},
                        {0xF8, 5}, {0xFC, 6}, {0xFD, 6}, {0xFE, 1}, {0xFF, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.lead));
    EXPECT_EQ(STR_nGetNbByteUTF8(c.lead), c.length);
  }
}

// ---------------------------------------------------------------------------
// The CP1252 table

TEST(Cp1252, EveryByteReadsAsOneCharacterThatMapsBack) {
  for (int i = 0; i < 256; ++i) {
    SCOPED_TRACE(i);
    unsigned char b = static_cast<unsigned char>(i);
    wchar_t c = STR_FromCP1252(static_cast<char>(b));
    unsigned char back = 0;
    if (IsUndefined(b)) {
      EXPECT_EQ(c, static_cast<wchar_t>(b));  // the C1 control of the same value
      EXPECT_EQ(STR_bIsCp1252(c, back), 0);
      continue;
    }
    EXPECT_EQ(STR_bIsCp1252(c, back), 1);
    EXPECT_EQ(back, b);
    // The defined bytes agree with iconv's CP1252.
    std::optional<string> reference = Iconv("CP1252", "UTF-32LE", string(1, static_cast<char>(b)));
    ASSERT_TRUE(reference.has_value());
    EXPECT_EQ(FromUtf32Bytes(*reference), wstring(1, c));
  }
}

TEST(Cp1252, OnlyTheTablesCharactersHaveAByte) {
  int nMapped = 0;
  for (unsigned int c = 0; c < 0x30000; ++c) {
    unsigned char b = 0;
    if (!STR_bIsCp1252(static_cast<wchar_t>(c), b)) continue;
    ++nMapped;
    ASSERT_EQ(static_cast<unsigned int>(STR_FromCP1252(static_cast<char>(b))), c);
  }
  EXPECT_EQ(nMapped, 256 - 5);
  unsigned char b = 0;
  EXPECT_EQ(STR_bIsCp1252(static_cast<wchar_t>(-1), b), 0);
}

TEST(Cp1252, BothRoadsGiveTheSameText) {
  // The table functions and the Win32 emulation's conversion for code page
  // 1252 read every byte alike, the five iconv rejects included.
  string all;
  for (int i = 1; i < 256; ++i) all.push_back(static_cast<char>(i));
  wstring byTable(all.size(), L'\0');
  ASSERT_EQ(STR_CP1252ToWideChar(all.data(), static_cast<int>(all.size()), byTable.data(),
                                 static_cast<int>(byTable.size())),
            255);
  wstring byEmulation(all.size(), L'\0');
  ASSERT_EQ(MultiByteToWideChar(1252, 0, all.data(), static_cast<int>(all.size()), byEmulation.data(),
                                static_cast<int>(byEmulation.size())),
            255);
  EXPECT_EQ(byEmulation, byTable);
  Owned<wchar_t> converted;
  int n = 0;
  ASSERT_EQ(STR_CharToWChar_AnyCodepage(all.data(), static_cast<int>(all.size()), 1252, &converted.p, &n, 0), 1);
  EXPECT_EQ(wstring(converted.p, n), byTable);

  // And back: every defined byte, the undefined five as "?".
  Owned<char> bytes;
  ASSERT_EQ(__STR_WCharToChar(byTable.c_str(), -1, &bytes.p, &n, 1252), 1);
  string expected = all;
  for (unsigned char u : kUndefinedBytes) expected[u - 1] = '?';
  EXPECT_EQ(string(bytes.p, n), expected);
  char viaEmulation[256];
  ASSERT_EQ(WideCharToMultiByte(1252, 0, byTable.data(), 255, viaEmulation, 256, nullptr, nullptr), 255);
  EXPECT_EQ(string(viaEmulation, 255), expected);
}

TEST(Cp1252, SingleCharacterConversions) {
  int bReplaced = 0;
  EXPECT_EQ(STR_ToCP1252(0x20AC, '?', &bReplaced), '\x80');
  EXPECT_EQ(bReplaced, 0);
  EXPECT_EQ(STR_ToCP1252(0x0100, '?', &bReplaced), '?');
  EXPECT_EQ(bReplaced, 1);
  EXPECT_EQ(STR_ToCP1252(L'a', '?', &bReplaced), 'a');
  EXPECT_EQ(bReplaced, 1);  // never reset
  EXPECT_EQ(STR_ToCP1252(0x0100, '#', nullptr), '#');

  EXPECT_EQ(STR_FromCP1252('\x81'), 0x81);
  EXPECT_EQ(STR_bIsCp1252(static_cast<wchar_t>(0x81)), 0);
  EXPECT_EQ(STR_ToAnsi7(0xE9, '_'), '_');
  EXPECT_EQ(STR_ToAnsi7(L'x', '_'), 'x');
  EXPECT_EQ(STR_FromAnsi7('\xE9', L'_'), L'_');
  EXPECT_EQ(STR_FromAnsi7('x', L'_'), L'x');

  EXPECT_EQ(STR_WCharToAChar(0x20AC, 0, 1252), '\x80');
  EXPECT_EQ(STR_WCharToAChar(0x3A9, 0, 1253), '\xD9');
  EXPECT_EQ(STR_CharToWChar('\x80', 0, 1252), 0x20AC);
  EXPECT_EQ(STR_CharToWChar('\xD9', 0, 1253), 0x3A9);
  EXPECT_EQ(STR_CharToWChar('\x83', 0, 932), 0);  // a lead byte alone is no character
}

TEST(Cp1252, ToWideCharHonoursSizesAndCounts) {
  EXPECT_EQ(STR_CP1252ToWideChar("ab", -1, nullptr, 0), 3);
  EXPECT_EQ(STR_CP1252ToWideChar("ab", 2, nullptr, 0), 2);
  wchar_t out[4] = {L'#', L'#', L'#', L'#'};
  EXPECT_EQ(STR_CP1252ToWideChar("ab", -1, out, 1), 1);
  EXPECT_EQ(out[1], L'#');
  EXPECT_EQ(STR_CP1252ToWideChar("ab", -1, out, 4), 3);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(STR_CP1252ToWideChar("ab", 0, out, 4), 0);
  EXPECT_EQ(STR_CP1252ToWideChar(nullptr, -1, out, 4), 0);
  std::vector<char> counted = {'\x80', 'x'};  // no terminator
  EXPECT_EQ(STR_CP1252ToWideChar(counted.data(), 2, out, 4), 2);
  EXPECT_EQ(out[0], 0x20AC);
}

// ---------------------------------------------------------------------------
// Conversions into new buffers

TEST(CharToWide, ConvertsAnyCodePageIntoANewTerminatedBuffer) {
  struct Case {
    const char* name;
    string bytes;
    int length;
    unsigned int codePage;
    wstring expected;
  };
  const Case cases[] = {
      {"UTF-8", "\xC3\xA9t\xC3\xA9", -1, 65001, L"\xE9t\xE9"},
      {"UTF-8 four-byte", "\xF0\x9F\x98\x80", 4, 65001, wstring(1, 0x1F600)},
      {"UTF-8 counted with a zero byte", string("a\0b", 3), 3, 65001, wstring(L"a\0b", 3)},
      {"CP1252", "\x80\x9D", -1, 1252, L"\x20AC\x9D"},
      {"unknown code page is CP1252", "\x80", -1, 12345, L"\x20AC"},
      {"CP932 trail byte is a backslash", "\x83\x5C\\", -1, 932, L"\x30BD\\"},
      {"CP936", "\xB0\xA1", -1, 936, L"\x554A"},
      {"CP1251", "\xC0\xFF", -1, 1251, L"\x410\x44F"},
      {"empty with -1", "", -1, 65001, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Owned<wchar_t> out;
    int n = -7;
    ASSERT_EQ(STR_CharToWChar_AnyCodepage(c.bytes.data(), c.length, c.codePage, &out.p, &n, 0), 1);
    EXPECT_EQ(wstring(out.p, n), c.expected);
    EXPECT_EQ(out.p[n], 0);
  }
}

TEST(CharToWide, NothingToConvertGivesNullAndZero) {
  struct Case {
    const char* name;
    const char* bytes;
    int length;
    unsigned int codePage;
  };
  const Case cases[] = {
      {"null", nullptr, -1, 65001},
      {"zero length", "abc", 0, 1252},
      {"malformed UTF-8", "a\xC3", 2, 65001},
      {"truncated CP932 character", "\x83", 1, 932},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    wchar_t* out = reinterpret_cast<wchar_t*>(8);
    int n = 5;
    EXPECT_EQ(__STR_CharToWChar(c.bytes, c.length, c.codePage, &out, &n, 0), 0);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(n, 0);
  }
}

TEST(CharToWide, RandomUtf8MatchesIconv) {
  // The road of every fetched column: well-formed text is decoded without
  // iconv, so it is checked against it; anything else goes to the emulation.
  std::mt19937 rng(1163);
  for (int round = 0; round < 400; ++round) {
    string bytes;
    int n = static_cast<int>(rng() % 24);
    for (int i = 0; i < n; ++i) {
      switch (rng() % 4) {
        case 0:
          bytes.push_back(static_cast<char>(1 + rng() % 0x7F));
          break;
        case 1:
          bytes.push_back(static_cast<char>(0x80 + rng() % 0x80));  // often malformed
          break;
        default: {
          wchar_t c = static_cast<wchar_t>(1 + rng() % 0x10FFFF);
          if (c >= 0xD800 && c <= 0xDFFF) c = L'x';
          char seq[5];
          bytes.append(seq, static_cast<size_t>(UTF32ToUTF8(c, seq)));
        }
      }
    }
    std::optional<string> reference = Iconv("UTF-8", "UTF-32LE", bytes);
    Owned<wchar_t> out;
    int nOut = 0;
    int bOk = STR_CharToWChar_AnyCodepage(bytes.data(), static_cast<int>(bytes.size()), 65001, &out.p, &nOut, 0);
    if (!reference || bytes.empty()) {
      EXPECT_EQ(bOk, 0);
      continue;
    }
    ASSERT_EQ(bOk, 1);
    ASSERT_EQ(wstring(out.p, nOut), FromUtf32Bytes(*reference));
  }
}

TEST(WideToChar, ConvertsAndReplacesWhatTheCodePageLacks) {
  struct Case {
    const char* name;
    wstring text;
    int codePage;
    string expected;
  };
  const Case cases[] = {
      {"CP1252", L"\x20AC\xE9\x3A9", 1252, "\x80\xE9?"},
      {"UTF-8", wstring(L"\xE9") + wchar_t(0x1F600), 65001, "\xC3\xA9\xF0\x9F\x98\x80"},
      {"UTF-8 lone surrogate", wstring(1, 0xD800) + L"a", 65001, "?a"},
      {"UTF-8 past the last code point", wstring(1, 0x110000), 65001, "?"},
      {"CP932", L"\x30BD\\", 932, "\x83\x5C\\"},
      {"CP1251", L"\x410\xE9", 1251, "\xC0?"},
      {"empty", L"", 1252, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Owned<char> out;
    int n = -1;
    ASSERT_EQ(__STR_WCharToChar(c.text.c_str(), -1, &out.p, &n, c.codePage), 1);
    EXPECT_EQ(string(out.p, n), c.expected);
    EXPECT_EQ(out.p[n], 0);
  }
  char* out = nullptr;
  int n = 3;
  EXPECT_EQ(STR_WCharToChar_AnyCodepage(L"abc", 0, &out, &n, 1252), 0);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(n, 0);
}

TEST(WideToChar, CodePagesMatchIconv) {
  struct Target {
    int codePage;
    const char* iconvName;
    wstring text;
  };
  const Target targets[] = {
      {932, "CP932", L"Tokyo \x6771\x4EAC \x30BD\\ \xFF76"},
      {936, "CP936", L"\x554A\x4E2D 12 \x3002"},
      {1251, "CP1251", L"\x41F\x440\x438\x432\x435\x442 \x2116"},
      {65001, "UTF-8", L"Gr\xFC\xDF \x20AC \x410 \x30BD" + wstring(1, 0x1F600)},
  };
  for (const Target& t : targets) {
    SCOPED_TRACE(t.iconvName);
    std::optional<string> reference = Iconv("UTF-32LE", t.iconvName, ToUtf32Bytes(t.text));
    ASSERT_TRUE(reference.has_value());
    Owned<char> out;
    int n = 0;
    ASSERT_EQ(__STR_WCharToChar(t.text.c_str(), static_cast<int>(t.text.size()), &out.p, &n, t.codePage), 1);
    EXPECT_EQ(string(out.p, n), *reference);
  }
}

TEST(CharToChar, CopiesOrConvertsThroughWideText) {
  Owned<char> copy;
  int n = 0;
  ASSERT_EQ(STR_CharToChar_AnyCodepage("abc", 2, 932, &copy.p, &n, 932), 1);
  EXPECT_STREQ(copy.p, "ab");
  EXPECT_EQ(n, 2);

  Owned<char> utf8;
  ASSERT_EQ(STR_CharToChar_AnyCodepage("caf\xE9", -1, 1252, &utf8.p, &n, 65001), 1);
  EXPECT_STREQ(utf8.p, "caf\xC3\xA9");
  EXPECT_EQ(n, 5);

  Owned<char> sjis;
  ASSERT_EQ(STR_CharToChar_AnyCodepage("\xE3\x82\xBD", -1, 65001, &sjis.p, &n, 932), 1);
  EXPECT_STREQ(sjis.p, "\x83\x5C");

  Owned<char> empty;
  ASSERT_EQ(STR_CharToChar_AnyCodepage("", -1, 1252, &empty.p, &n, 65001), 1);
  EXPECT_STREQ(empty.p, "");

  char* none = nullptr;
  EXPECT_EQ(STR_CharToChar_AnyCodepage("a\xC3", -1, 65001, &none, &n, 1252), 0);
  EXPECT_EQ(none, nullptr);
}

TEST(AnsiCompatible, TrueWhenTheTextSurvivesTheCodePage) {
  struct Case {
    const char* name;
    const wchar_t* text;
    unsigned int codePage;
    int compatible;
  };
  const Case cases[] = {
      {"euro in 1252", L"\x20AC", 1252, 1},
      {"omega in 1252", L"\x3A9", 1252, 0},
      {"empty", L"", 1252, 1},
      {"null", nullptr, 1252, 1},
      {"C1 control in 1252", L"\x81", 1252, 0},
      {"question mark itself", L"a?", 1252, 1},
      {"omega in 1253", L"\x3A9", 1253, 1},
      {"katakana in 932", L"\x30BD", 932, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(bAnsiCompatible(c.text, c.codePage), c.compatible);
  }
  EXPECT_EQ(bLatin1(L"d\xE9j\xE0"), 1);
  EXPECT_EQ(bLatin1(L"\x141\xF3""d\x17A"), 0);
}

// ---------------------------------------------------------------------------
// The server's current code page

class CurrentCharsetTest : public kqtest::BoundFrameworkTest {};

TEST_F(CurrentCharsetTest, ConversionsFollowTheServersCodePage) {
  Control().SetCurrentCodePage(65001);
  Owned<wchar_t> wide;
  ASSERT_EQ(STR_CharToWChar_CurrentCharset(&wide.p, "\xC3\xA9", 0, -1), 1);
  EXPECT_EQ(wstring(wide.p), L"\xE9");
  Owned<char> narrow;
  ASSERT_EQ(STR_WCharToChar_CurrentCharset(&narrow.p, L"\xE9", -1), 1);
  EXPECT_STREQ(narrow.p, "\xC3\xA9");
  EXPECT_EQ(STR_CharToWChar_CurrentCharset('\xE9', 0), 0);  // half a character

  Control().SetCurrentCodePage(1252);
  EXPECT_EQ(STR_CharToWChar_CurrentCharset('\xE9', 0), 0xE9);
  wchar_t* none = reinterpret_cast<wchar_t*>(8);
  EXPECT_EQ(STR_CharToWChar_CurrentCharset(&none, nullptr, 0, -1), 1);
  EXPECT_EQ(none, nullptr);
  Owned<wchar_t> western;
  ASSERT_EQ(STR_CharToWChar(&western.p, "\x80"), 1);
  EXPECT_EQ(wstring(western.p), L"\x20AC");
}
