#include "core/unicode.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <climits>
#include <cstring>
#include <cwchar>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/locale_compare.h"
#include "core/xmalloc.h"
#include "tests/support/bound_framework.h"
#include "tests/support/iconv_reference.h"

namespace {

using std::string;
using std::u16string;
using std::wstring;

using kqtest::Iconv;

string WideBytes(const wstring& w) { return string(reinterpret_cast<const char*>(w.data()), w.size() * 4); }

// A copy of the bytes in a heap block of exactly their size, with no
// terminator: the sanitizer reports any read past them.
struct CountedBytes {
  explicit CountedBytes(const string& s) : v(s.begin(), s.end()) {}
  const char* data() const { return v.data(); }
  unsigned size() const { return static_cast<unsigned>(v.size()); }
  std::vector<char> v;
};

wstring DecodeAll(const char* s) {
  wstring w;
  while (*s) w.push_back(static_cast<wchar_t>(UTF8_GetNext(&s)));
  return w;
}

}  // namespace

// ---------------------------------------------------------------------------
// Reading UTF-8

TEST(Utf8Reader, DecodesWellFormedSequences) {
  struct Case {
    const char* name;
    string bytes;
    unsigned int code;
  };
  const Case cases[] = {
      {"ASCII", "A", 'A'},
      {"2-byte e acute", "\xC3\xA9", 0xE9},
      {"3-byte euro", "\xE2\x82\xAC", 0x20AC},
      {"4-byte grinning face", "\xF0\x9F\x98\x80", 0x1F600},
      {"last code point", "\xF4\x8F\xBF\xBF", 0x10FFFF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(UTF8ToUTF32(c.bytes.c_str()), c.code);
    EXPECT_EQ(UTF8Len(c.bytes.c_str()), static_cast<int>(c.bytes.size()));
    const char* p = c.bytes.c_str();
    EXPECT_EQ(UTF8_GetNext(&p), c.code);
    EXPECT_EQ(p, c.bytes.c_str() + c.bytes.size());
    int n = static_cast<int>(c.bytes.size());
    EXPECT_EQ(UTF8FirstChar(c.bytes.data(), n), static_cast<int>(c.code));
    EXPECT_EQ(n, static_cast<int>(c.bytes.size()));
    char out[5];
    EXPECT_EQ(UTF32ToUTF8(static_cast<wchar_t>(c.code), out), static_cast<int>(c.bytes.size()));
    EXPECT_EQ(string(out), c.bytes);
  }
}

TEST(Utf8Reader, MalformedInputBecomesQuestionMarksWithoutPassingTheTerminator) {
  struct Case {
    const char* name;
    string bytes;
    wstring decoded;
  };
  const Case cases[] = {
      {"truncated 4-byte lead at the end", "ab\xF0\x9F", L"ab?"},
      {"truncated 3-byte lead at the end", "\xE2\x82", L"?"},
      {"lead cut short by ASCII", "\xE2" "A", L"?A"},
      {"5-byte lead", "\xF8\x88\x80\x80\x80z", L"?z"},
      {"6-byte lead", "\xFC\x84\x80\x80\x80\x80z", L"?z"},
      {"lone 0xFE and 0xFF", "\xFE\xFF", L"??"},
      {"overlong slash", "\xC0\xAF", L"?"},
      {"overlong 3-byte slash", "\xE0\x80\xAF", L"?"},
      {"overlong 4-byte slash", "\xF0\x80\x80\xAF", L"?"},
      {"past U+10FFFF", "\xF4\x90\x80\x80", L"?"},
      {"continuation bytes as leads", "\x80\xBF" "a", L"??a"},
      {"lone high surrogate reads as itself", "\xED\xA0\x80", wstring(1, 0xD800)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // The text sits in a block that ends at its terminator.
    CountedBytes text(c.bytes + '\0');
    EXPECT_EQ(DecodeAll(text.data()), c.decoded);

    std::vector<wchar_t> out(c.bytes.size() + 1, L'#');
    int n = nUTF8ToWide(out.data(), static_cast<int>(out.size()), c.bytes.data(), static_cast<int>(c.bytes.size()));
    EXPECT_EQ(wstring(out.data(), n), c.decoded);
    EXPECT_EQ(UTF8ToWideStrict(c.bytes.data(), static_cast<int>(c.bytes.size()), nullptr, 0), -1);
  }
}

TEST(Utf8Reader, CountedReaderStopsAtTheEndOfItsInput) {
  CountedBytes text("a\xF0\x9F\x98");
  const char* p = text.data();
  unsigned int nRemaining = text.size();
  EXPECT_EQ(UTF8_GetNext(&p, &nRemaining), static_cast<unsigned>('a'));
  EXPECT_EQ(nRemaining, 3u);
  const char* pBefore = p;
  EXPECT_EQ(UTF8_GetNext(&p, &nRemaining), static_cast<unsigned>('?'));
  EXPECT_EQ(nRemaining, 0u);
  EXPECT_EQ(p, pBefore);
  EXPECT_EQ(UTF8_GetNext(&p, &nRemaining), static_cast<unsigned>('?'));  // nothing left: nothing read
}

TEST(Utf8Reader, NextStepsOverContinuationBytesOnly) {
  const char* s = "\xE2\x82" "A\x80\x80\x80\x80\x80\x80\x80";
  EXPECT_EQ(UTF8next(s), s + 2);  // cut short by "A"
  EXPECT_EQ(UTF8next(s + 3), s + 9);  // a continuation byte leads at most six
  EXPECT_EQ(UTF8ToWideLen("a\xC3\xA9\xF0\x9F\x98\x80"), 3);
}

TEST(Utf8Reader, FirstCharIsCheckedWithinItsCount) {
  struct Case {
    const char* name;
    const char* bytes;
    int available;
    int code;
    int length;
  };
  const Case cases[] = {
      {"too few bytes", "\xC3\xA9", 1, -1, 0},
      {"missing continuation", "\xC3" "A", 2, -1, 0},
      {"continuation as lead", "\xA9", 1, -1, 0},
      {"5-byte lead", "\xF8\x88\x80\x80\x80", 5, -1, 0},
      {"overlong", "\xC1\xBF", 2, -1, 0},
      {"nothing available", "a", 0, -1, 0},
      {"null text", nullptr, 4, -1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int n = c.available;
    EXPECT_EQ(UTF8FirstChar(c.bytes, n), c.code);
    EXPECT_EQ(n, c.length);
  }
}

TEST(Utf8Reader, ValidityFollowsTheSequenceShapes) {
  struct Case {
    const char* name;
    const char* bytes;
    int length;
    int valid;
  };
  const Case cases[] = {
      {"lead then terminator", "\xC3", -1, 0},
      {"null with length 0", nullptr, 0, 1},
      {"null with length -1", nullptr, -1, 0},
      {"non-positive length", "\xFF", -5, 1},
      {"well-formed", "a\xC3\xA9\xF0\x9F\x98\x80", -1, 1},
      {"count cuts a sequence", "\xC3\xA9", 1, 0},
      {"6-byte shape", "\xFC\x80\x80\x80\x80\x80", 6, 1},
      {"continuation as lead", "\x80", 1, 0},
      {"0xFE alone, a 6-byte shape cut short", "\xFE", 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(UTF8Valide(c.bytes, c.length), c.valid);
  }
}

TEST(Utf8Reader, CharacterCountsMatchAByteWiseCountAtEveryAlignment) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    string s;
    int n = static_cast<int>(rng() % 40);
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>(1 + rng() % 255));
    for (int offset = 0; offset < 4; ++offset) {
      string padded = string(offset, 'x') + s;
      const char* p = padded.c_str() + offset;
      int nExpected = 0;
      for (unsigned char b : s) nExpected += (b & 0xC0) != 0x80;
      ASSERT_EQ(StrLenUTF8(p), nExpected);
      int nBound = static_cast<int>(rng() % 45);
      int nBoundExpected = 0;
      for (int i = 0; i < nBound && i < static_cast<int>(s.size()); ++i)
        nBoundExpected += (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80;
      ASSERT_EQ(StrNLenUTF8(p, nBound), nBoundExpected);
    }
  }
  EXPECT_EQ(StrLenUTF8(nullptr), 0);
  EXPECT_EQ(StrNLenUTF8("abc", 0), 0);
}

TEST(Utf8Reader, ToWideHonoursOutputSizesZeroAndOne) {
  wchar_t out[4] = {L'#', L'#', L'#', L'#'};
  EXPECT_EQ(UTF8ToWide(out, 0, "abc"), 0u);
  EXPECT_EQ(out[0], L'#');
  EXPECT_EQ(UTF8ToWide(out, 1, "abc"), 0u);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(UTF8ToWide(out, 3, "a\xC3\xA9z"), 2u);
  EXPECT_EQ(wstring(out), L"a\xE9");

  EXPECT_EQ(nUTF8ToWide(out, 0, "abc", -1), 0);
  EXPECT_EQ(nUTF8ToWide(out, 4, "ab", -1), 3);  // the terminator is converted too
  EXPECT_EQ(out[2], 0);
}

TEST(Utf8Reader, StrictDecoderTakesOnlyWellFormedText) {
  wchar_t out[8];
  EXPECT_EQ(UTF8ToWideStrict("a\xC3\xA9\xF0\x9F\x98\x80", -1, out, 8), 3);
  EXPECT_EQ(wstring(out, 3), wstring(L"a\xE9") + wchar_t(0x1F600));
  EXPECT_EQ(UTF8ToWideStrict("abc", -1, out, 2), -1);  // too small an output
  EXPECT_EQ(UTF8ToWideStrict("\xED\xA0\x80", 3, out, 8), -1);  // a surrogate
  EXPECT_EQ(UTF8ToWideStrict("a\0b", 3, out, 8), 3);  // counted: a zero byte is a character
}

TEST(Utf8ToUtf16, APairIsWrittenOnlyWithThreeUnitsFree) {
  const string s = "a\xF0\x9F\x98\x80";
  EXPECT_EQ(UTF8ToUTF16Len(s.data(), static_cast<unsigned>(s.size())), 3u);
  unsigned short out[4] = {};
  EXPECT_EQ(UTF8ToUTF16(out, 3, s.data(), static_cast<unsigned>(s.size())), 1u);
  EXPECT_EQ(UTF8ToUTF16(out, 4, s.data(), static_cast<unsigned>(s.size())), 3u);
  EXPECT_EQ(out[1], 0xD83D);
  EXPECT_EQ(out[2], 0xDE00);
}

// ---------------------------------------------------------------------------
// Round trips and the writers

TEST(UnicodeRoundTrip, EveryCodePointButSurrogatesSurvivesUtf32ToUtf8ToUtf16ToUtf32) {
  wstring all;
  for (unsigned int c = 1; c <= 0x10FFFF; ++c)
    if (c < 0xD800 || c > 0xDFFF) all.push_back(static_cast<wchar_t>(c));

  int nUtf8 = UTF8ByteLen(all.c_str());
  string utf8(static_cast<size_t>(nUtf8) + 1, '\0');
  ASSERT_EQ(WideToUTF8(utf8.data(), all.c_str()), nUtf8);
  utf8.resize(static_cast<size_t>(nUtf8));
  // The UTF-8 is iconv's.
  std::optional<string> reference = Iconv("UTF-32LE", "UTF-8", WideBytes(all));
  ASSERT_TRUE(reference.has_value());
  ASSERT_TRUE(utf8 == *reference);
  ASSERT_EQ(UTF8Valide(utf8.c_str(), -1), 1);
  ASSERT_EQ(StrLenUTF8(utf8.c_str()), static_cast<int>(all.size()));

  unsigned int nUnits = UTF8ToUTF16Len(utf8.data(), static_cast<unsigned>(utf8.size()));
  std::vector<unsigned short> utf16(nUnits + 2);
  ASSERT_EQ(UTF8ToUTF16(utf16.data(), nUnits + 2, utf8.data(), static_cast<unsigned>(utf8.size())), nUnits);

  wstring back(all.size(), L'\0');
  ASSERT_EQ(UTF16ToWideChar(utf16.data(), static_cast<int>(nUnits), back.data(), static_cast<int>(back.size())),
            static_cast<int>(all.size()));
  ASSERT_TRUE(back == all);

  // And the other roads: the UTF-8 decoders and UTF-16 from wide text.
  wstring decoded(all.size() + 1, L'\0');
  ASSERT_EQ(UTF8ToWide(decoded.data(), static_cast<unsigned>(decoded.size()), utf8.c_str()), all.size());
  decoded.resize(all.size());
  ASSERT_TRUE(decoded == all);
  ASSERT_EQ(UTF8ToWideStrict(utf8.data(), static_cast<int>(utf8.size()), decoded.data(),
                             static_cast<int>(decoded.size())),
            static_cast<int>(all.size()));
  ASSERT_TRUE(decoded == all);
  std::vector<unsigned short> utf16b(nUnits);
  ASSERT_EQ(WideCharToUTF16(all.data(), static_cast<int>(all.size()), utf16b.data(), static_cast<int>(nUnits)),
            static_cast<int>(nUnits));
  ASSERT_TRUE(std::equal(utf16b.begin(), utf16b.end(), utf16.begin()));
  ASSERT_EQ(UTF16ToUtf8(utf16.data(), static_cast<int>(nUnits), nullptr, 0), nUtf8);
}

TEST(WideToUtf8, ValuesPastTheLastCodePointBecomeQuestionMarks) {
  char out[8];
  EXPECT_EQ(UTF32ToUTF8(static_cast<wchar_t>(0x110000), out), 1);
  EXPECT_STREQ(out, "?");
  const wchar_t text[] = {L'a', static_cast<wchar_t>(0x110000), static_cast<wchar_t>(-5), 0};
  EXPECT_EQ(WideToUTF8(out, text), 3);
  EXPECT_STREQ(out, "a??");
  EXPECT_EQ(UTF8ByteLen(text), 3);
}

TEST(WideToUtf8, BoundedWritersNeverCutASequence) {
  const wchar_t* text = L"a\xE9z";  // 1 + 2 + 1 bytes
  char out[8];
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(WideToUTF8(out, 0, text), 0);
  EXPECT_EQ(out[0], '#');
  EXPECT_EQ(WideToUTF8(out, 1, text), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(WideToUTF8(out, 3, text), 1);  // "é" would leave no room for the terminator
  EXPECT_STREQ(out, "a");
  EXPECT_EQ(WideToUTF8(out, 5, text), 4);

  std::memset(out, '#', sizeof out);
  EXPECT_EQ(nWideToUTF8(out, 2, text, -1), 1);
  EXPECT_EQ(nWideToUTF8(out, 8, text, -1), 5);  // through the terminator
  EXPECT_EQ(out[4], 0);
  EXPECT_EQ(nWideToUTF8(out, 8, nullptr, -1), 0);

  EXPECT_EQ(UTF8ByteLenTotal(text, 2), 3);
  EXPECT_EQ(UTF8ByteLenTotal(text, 10), 5);  // the terminator adds one and ends the count
}

// ---------------------------------------------------------------------------
// UTF-16

TEST(Utf16, SurrogatesPairUpOrStandAlone) {
  char utf8[8];
  const unsigned short lone[] = {0xD800, 0};
  EXPECT_EQ(UTF16ToUtf8(lone, 1, utf8, 8), 3);
  EXPECT_EQ(string(utf8, 3), "\xED\xA0\x80");

  const unsigned short pair[] = {0xD83D, 0xDE00, 0};
  wchar_t wide[4];
  EXPECT_EQ(UTF16ToWideChar(pair, -1, nullptr, 0), 3);  // an upper bound: the units
  EXPECT_EQ(UTF16ToWideChar(pair, -1, wide, 4), 2);
  EXPECT_EQ(wide[0], 0x1F600);

  const unsigned short highThenA[] = {0xD83D, 'A'};
  EXPECT_EQ(UTF16ToWideChar(highThenA, 2, wide, 4), 2);
  EXPECT_EQ(wide[0], 0xD83D);
  EXPECT_EQ(wide[1], L'A');

  EXPECT_EQ(UTF16ToUtf8(pair, 2, nullptr, 0), 4);
  EXPECT_EQ(UTF16ToUtf8(pair, 2, utf8, 3), 0);  // the sequence does not fit
}

TEST(Utf16, WideTextTakesOneUnitBelowU10000AndTwoFromIt) {
  const wchar_t text[] = {0xFFFF, 0x10000, 0};
  EXPECT_EQ(WideCharToUTF16(text, 1, nullptr, 0), 1);
  EXPECT_EQ(WideCharToUTF16(text + 1, 1, nullptr, 0), 2);
  EXPECT_EQ(WideCharToUTF16(L"", -1, nullptr, 0), 1);
  unsigned short out[4] = {};
  EXPECT_EQ(WideCharToUTF16(text, 2, out, 2), 1);  // the pair does not fit
  EXPECT_EQ(WideCharToUTF16(text, 2, out, 3), 3);
  EXPECT_EQ(out[1], 0xD800);
  EXPECT_EQ(out[2], 0xDC00);
  const wchar_t tooBig[] = {static_cast<wchar_t>(0x110000)};
  EXPECT_EQ(WideCharToUTF16(tooBig, 1, out, 4), 1);
  EXPECT_EQ(out[0], '?');
}

TEST(Utf16, LengthsCopiesAndCaseInsensitiveSearch) {
  const unsigned short text[] = {'H', 'e', 'L', 'l', 'o', 0};
  const unsigned short sub[] = {'l', 'L', 0};
  const unsigned short empty[] = {0};
  EXPECT_EQ(XALIGN_utf16len(text), 5);
  EXPECT_EQ(utf16nlen(text, 3), 3);
  EXPECT_EQ(utf16nlen(text, 0), 0);
  EXPECT_EQ(utf16nlen(empty, 9), 0);

  unsigned short copy[8];
  std::fill(std::begin(copy), std::end(copy), 0xEEEE);
  utf16ncpy(copy, text, 3);
  EXPECT_EQ(copy[2], 'L');
  EXPECT_EQ(copy[3], 0xEEEE);  // no terminator of its own

  const unsigned short hello[] = {'h', 'e', 'l', 'l', 'o', 0};
  EXPECT_EQ(utf16nicmp(text, hello, 10), 0);
  EXPECT_LT(utf16nicmp(hello, sub, 1), 0);

  unsigned short* s = const_cast<unsigned short*>(text);
  EXPECT_EQ(utf16niutf16(s, sub, 5), s + 2);
  EXPECT_EQ(utf16niutf16(s, sub, 3), nullptr);  // the match would end past the bound
  EXPECT_EQ(utf16niutf16(s, empty, 5), s);
}

TEST(Utf32, CopiesAreBoundedByBothSizes) {
  wchar_t out[4] = {L'#', L'#', L'#', L'#'};
  EXPECT_EQ(UTF32ToWideChar(L"abc", -1, nullptr, 0), 4);
  EXPECT_EQ(UTF32ToWideChar(L"abc", -1, out, 2), 2);
  EXPECT_EQ(out[2], L'#');
  EXPECT_EQ(WideCharToUTF32(L"abc", 2, out, 4), 2);
}

// ---------------------------------------------------------------------------
// Code pages and UTF-8

TEST(CodePageToUtf8, Utf8CopyUsesTheInputLengthAndNeverWritesAtSizeZero) {
  char out[4];
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(MultiByteToUTF8(65001, "abc", 3, out, 2, 0), 1);
  EXPECT_STREQ(out, "a");
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(MultiByteToUTF8(65001, "abc", 3, out, 0, 0), 0);
  EXPECT_EQ(out[0], '#');
  EXPECT_EQ(UTF8ToMultiByte(65001, "abc", 3, out, 0, 0, nullptr, nullptr), 0);
  EXPECT_EQ(out[0], '#');

  // A counted input without a terminator is read no further than its count.
  CountedBytes counted("xyz");
  EXPECT_EQ(MultiByteToUTF8(65001, counted.data(), counted.size(), out, 4, 0), 3);
  EXPECT_STREQ(out, "xyz");
  EXPECT_EQ(UTF8ToMultiByte(65001, counted.data(), 2, out, 4, 0, nullptr, nullptr), 2);
  EXPECT_STREQ(out, "xy");
  EXPECT_EQ(UTF8ToMultiByte(65001, counted.data(), counted.size(), out, 1, 0, nullptr, nullptr), 0);
  EXPECT_STREQ(out, "");
}

TEST(CodePageToUtf8, MultiByteCharactersWithLowTrailBytesConvertWhole) {
  // Code pages whose characters use bytes below 0x80 (or whose bytes below 0x80
  // are not ASCII) must not be cut into runs.
  struct Case {
    const char* name;
    unsigned int codePage;
    const char* iconvName;
    string utf8;
  };
  const Case cases[] = {
      {"CP932: 0x83 0x5C is one character", 932, "CP932", "a\xE3\x82\xBD" "b\xE3\x82\xBD\\"},
      {"CP936", 936, "CP936", "x\xE5\x95\x8Ay\xE4\xB8\x82z"},
      {"CP949", 949, "CP949", "k\xEA\xB0\x82o"},
      {"CP950", 950, "CP950", "t\xE4\xB8\x80w"},
      {"CP1361", 1361, "CP1361", "j\xEA\xB0\x80h"},
      {"GB18030 four-byte", 54936, "GB18030", "g\xC2\x80h"},
      {"ISO-2022-JP", 50220, "ISO-2022-JP", "ab\xE3\x81\x82" "cd"},
      {"EBCDIC 1047", 1047, "IBM1047", "Hello, \xC3\xA9t\xC3\xA9!"},
      {"CP1252", 1252, "CP1252", "caf\xC3\xA9 \xE2\x82\xAC"},
      {"CP1251", 1251, "CP1251", "\xD0\x9F\xD1\x80\xD0\xB8!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<string> bytes = Iconv("UTF-8", c.iconvName, c.utf8);
    ASSERT_TRUE(bytes.has_value());
    char out[64];
    std::memset(out, '#', sizeof out);
    int n = MultiByteToUTF8(c.codePage, bytes->data(), static_cast<unsigned>(bytes->size()), out, sizeof out, 0);
    EXPECT_EQ(string(out, n), c.utf8);
    EXPECT_EQ(out[n], 0);  // the rest is zero-filled
    EXPECT_EQ(MultiByteToUTF8(c.codePage, bytes->data(), static_cast<unsigned>(bytes->size()), nullptr, 0, 0), n);

    char back[64];
    int bUsed = 1;
    int m = UTF8ToMultiByte(c.codePage, c.utf8.data(), static_cast<unsigned>(c.utf8.size()), back, sizeof back, 0,
                            nullptr, &bUsed);
    EXPECT_EQ(string(back, m), *bytes);
    EXPECT_EQ(bUsed, 0);
  }
  char out[8];
  EXPECT_EQ(MultiByteToUTF8(932, "\x83\x5C", 2, out, sizeof out, 0), 3);
  EXPECT_STREQ(out, "\xE3\x82\xBD");
}

TEST(CodePageToUtf8, RandomTextMatchesIconv) {
  struct Target {
    unsigned int codePage;
    const char* iconvName;
  };
  const Target targets[] = {{1252, "CP1252"}, {932, "CP932"}, {936, "CP936"}, {1251, "CP1251"}, {20932, "EUC-JP"}};
  std::mt19937 rng(1165);
  for (const auto& t : targets) {
    SCOPED_TRACE(t.iconvName);
    for (int round = 0; round < 60; ++round) {
      // Characters of the code page's repertoire, mixed with ASCII.
      string bytes;
      for (int i = 0; i < 12; ++i) {
        wchar_t c = rng() % 3 == 0 ? static_cast<wchar_t>(0x20 + rng() % 0x5F)
                                   : static_cast<wchar_t>(0xA0 + rng() % 0x9F00);
        std::optional<string> one = Iconv("UTF-32LE", t.iconvName, WideBytes(wstring(1, c)));
        if (one && !(t.codePage == 1252 && c >= 0x80 && c < 0xA0)) bytes += *one;
      }
      std::optional<string> utf8 = Iconv(t.iconvName, "UTF-8", bytes);
      ASSERT_TRUE(utf8.has_value());
      std::vector<char> out(utf8->size() + 1);
      int n = MultiByteToUTF8(t.codePage, bytes.data(), static_cast<unsigned>(bytes.size()), out.data(),
                              static_cast<unsigned>(out.size()), 0);
      ASSERT_EQ(string(out.data(), n), *utf8);
      // Sized by the counting pass: exactly what the code page needs.
      int nNeeded = UTF8ToMultiByte(t.codePage, utf8->data(), static_cast<unsigned>(utf8->size()), nullptr, 0, 0,
                                    nullptr, nullptr);
      ASSERT_EQ(nNeeded, static_cast<int>(bytes.size()));
      std::vector<char> back(static_cast<size_t>(nNeeded));
      int m = UTF8ToMultiByte(t.codePage, utf8->data(), static_cast<unsigned>(utf8->size()), back.data(),
                              static_cast<unsigned>(back.size()), 0, nullptr, nullptr);
      ASSERT_EQ(string(back.data(), m), bytes);
    }
  }
}

TEST(CodePageToUtf8, ASegmentThatDoesNotFitMakesTheWholeResultZero) {
  char out[4];
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(MultiByteToUTF8(1252, "a\xE9\xE9", 3, out, sizeof out, 0), 0);  // needs 5 bytes
  EXPECT_EQ(out[0], 0);
  // Output full on an ASCII byte: what fits is kept, without a terminator.
  EXPECT_EQ(MultiByteToUTF8(1252, "abcdef", 6, out, sizeof out, 0), 4);
  EXPECT_EQ(string(out, 4), "abcd");
}

TEST(CodePageToUtf8, TheDefaultCharacterIsReportedFromAnySegment) {
  const string utf8 = "\xCE\xA9 x \xC3\xA9";  // "Ω x é"
  char out[16];
  int bUsed = 0;
  int n = UTF8ToMultiByte(1252, utf8.data(), static_cast<unsigned>(utf8.size()), out, sizeof out, 0, nullptr,
                          &bUsed);
  EXPECT_EQ(string(out, n), "? x \xE9");
  EXPECT_EQ(bUsed, 1);
  // Texts that need more bytes in the code page than in UTF-8: the counting
  // pass sizes them.
  const string c1 = "\xC2\x80";  // U+0080: 81 30 81 30 in GB18030
  EXPECT_EQ(UTF8ToMultiByte(54936, c1.data(), 2, nullptr, 0, 0, nullptr, nullptr), 4);
  const string brokenBar = "\xC2\xA6";  // U+00A6: 8F A2 C3 in EUC-JP
  EXPECT_EQ(UTF8ToMultiByte(20932, brokenBar.data(), 2, nullptr, 0, 0, nullptr, nullptr), 3);
}

TEST(CodePageToUtf16, ConvertsThroughWideText) {
  unsigned short out[8];
  EXPECT_EQ(MultiByteToUTF16(1252, 0, "\x80z", 2, out, 8), 2);
  EXPECT_EQ(out[0], 0x20AC);
  EXPECT_EQ(MultiByteToUTF16(932, 0, "\x83\x5C", -1, out, 8), 2);  // with the terminator
  EXPECT_EQ(out[0], 0x30BD);
  const unsigned short text[] = {0x20AC, 'a', 0x3A9, 0};
  char bytes[8];
  int bUsed = 0;
  EXPECT_EQ(UTF16ToMultiByte(1252, 0, text, 3, bytes, 8, nullptr, &bUsed), 3);
  EXPECT_EQ(string(bytes, 3), "\x80" "a?");
  EXPECT_EQ(bUsed, 1);
}

TEST(SevenBitText, BothDirectionsAlwaysTerminate) {
  char narrow[4];
  EXPECT_EQ(WideCharToANSI(narrow, 1, L"abc"), 0);
  EXPECT_STREQ(narrow, "");
  EXPECT_EQ(WideCharToANSI(narrow, 3, L"abc"), 2);
  EXPECT_STREQ(narrow, "ab");
  wchar_t wide[4] = {L'#', L'#', L'#', L'#'};
  EXPECT_EQ(ANSIToWideChar(wide, 0, "abc"), 0);
  EXPECT_EQ(wide[0], L'#');
  EXPECT_EQ(ANSIToWideChar(wide, 4, "a\xE9"), 2);
  EXPECT_EQ(wide[1], static_cast<wchar_t>(static_cast<signed char>('\xE9')));
}

TEST(NewTexts, CopiesAndCodePageConversions) {
  char* a = pszXSTR2CSTR(L"\x20AC\x3A9x", -1);
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(a, "\x80?x");
  XMALLOC_Del_(a);
  a = pszXSTR2CSTR(L"ab", 4);  // zero-filled past the text
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(std::memcmp(a, "ab\0\0", 5), 0);
  XMALLOC_Del_(a);

  struct Case {
    const char* name;
    const char* bytes;
    int n;
    int codePage;
    wstring expected;
  };
  const Case cases[] = {
      {"UTF-8", "\xC3\xA9t\xC3\xA9", -1, 65001, L"\xE9t\xE9"},
      {"CP1252", "\x80\x81", -1, 1252, L"\x20AC\x81"},
      {"code page 0 is CP1252", "\x80", 1, 0, L"\x20AC"},
      {"CP932", "\x83\x5C", 2, 932, L"\x30BD"},
      {"null", nullptr, -1, 1252, L""},
      {"counted", "abcdef", 2, 1252, L"ab"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    wchar_t* w = pszCSTR2XSTR(c.bytes, c.n, c.codePage);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(wstring(w), c.expected);
    XMALLOC_Del_(w);
  }

  wchar_t* w = pszWSTR2XSTR(L"abcdef", 3);
  EXPECT_EQ(wstring(w), L"abc");
  XMALLOC_Del_(w);
  w = pszXSTR2WSTR(L"abcdef", 0);
  EXPECT_EQ(wstring(w), L"abcdef");
  XMALLOC_Del_(w);
}

TEST(UnalignedWideText, CopiesAndMeasuresAtEveryOffset) {
  for (int offset = 0; offset < 4; ++offset) {
    SCOPED_TRACE(offset);
    alignas(4) char src[64] = {};
    alignas(4) char dst[64];
    const wchar_t text[] = {L'a', 0x1F600, L'z', 0};
    std::memcpy(src + offset, text, sizeof text);
    EXPECT_EQ(__UNALIGNED__UNICODE__STRLEN__(src + offset), 3);
    std::memset(dst, '#', sizeof dst);
    __UNALIGNED__UNICODE__STRCPY__(dst + 3 - offset, src + offset);
    EXPECT_EQ(std::memcmp(dst + 3 - offset, text, sizeof text), 0);
    std::memset(dst, '#', sizeof dst);
    __UNALIGNED__UNICODE__STRNCPY__(dst + offset, src + offset, 6);
    const wchar_t padded[] = {L'a', 0x1F600, L'z', 0, 0, 0};
    EXPECT_EQ(std::memcmp(dst + offset, padded, sizeof padded), 0);
    EXPECT_EQ(dst[offset + sizeof padded], '#');
  }
}

// ---------------------------------------------------------------------------
// Number texts

TEST(NumberTexts, WritesIntegersInAnyRadix) {
  struct Case {
    const char* name;
    long long value;
    int radix;
    const char* text;
  };
  const Case cases[] = {
      {"negative hexadecimal", -255, 16, "-ff"},
      {"zero", 0, 10, "0"},
      {"most negative", LLONG_MIN, 10, "-9223372036854775808"},
      {"base 36", 35, 36, "z"},
      {"binary", -5, 2, "-101"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    wchar_t wide[80];
    char narrow[80];
    EXPECT_EQ(wstring(_i64towQnt(c.value, wide, c.radix)), wstring(c.text, c.text + std::strlen(c.text)));
    EXPECT_STREQ(_i64toaQnt(c.value, narrow, c.radix), c.text);
  }
  char narrow[80];
  EXPECT_STREQ(_ui64toaQnt(~0ULL, narrow, 2), string(64, '1').c_str());
  wchar_t wide[80];
  EXPECT_EQ(wstring(_ui64towQnt(0, wide, 10)), L"0");
  EXPECT_EQ(wstring(_wgcvt(1.5, 5, wide)), L"1.5");
  EXPECT_EQ(wstring(_wgcvt(-1234567.0, 3, wide)), L"-1.23e+06");
}

TEST(NumberTexts, ParsesDExponents) {
  struct Case {
    const char* name;
    const char* text;
    double value;
    int consumed;
  };
  const string longNumber = string(40, '0') + "1.5D3";  // copied to the heap
  const string longPlain = "1" + string(40, '0');
  const Case cases[] = {
      {"D exponent", "1.5D3", 1500, 5},
      {"lower-case d and sign", "+2.5d-1x", 0.25, 7},
      {"E exponent", "1e2", 100, 3},
      {"leading blanks and minus", "  -2.5", -2.5, 6},
      {"hexadecimal refused", "0x10", 0, 0},
      {"letters refused", "inf", 0, 0},
      {"sign then letter", "-nan", 0, 0},
      {"empty", "", 0, 0},
      {"blanks only", "   ", 0, 0},
      {"D that is no exponent", "12 Dollars", 12, 2},
      {"longer than thirty characters", longNumber.c_str(), 1500, static_cast<int>(longNumber.size())},
      {"long without D", longPlain.c_str(), 1e40, static_cast<int>(longPlain.size())},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char* end = nullptr;
    EXPECT_DOUBLE_EQ(qnt::strtod(c.text, &end), c.value);
    EXPECT_EQ(end - c.text, c.consumed);
    wstring wide(c.text, c.text + std::strlen(c.text));
    wchar_t* wend = nullptr;
    EXPECT_DOUBLE_EQ(qnt::wcstod(wide.c_str(), &wend), c.value);
    EXPECT_EQ(wend - wide.c_str(), c.consumed);
  }
}

// ---------------------------------------------------------------------------
// The server's current code page

class CurrentCharsetTest : public kqtest::BoundFrameworkTest {};

TEST_F(CurrentCharsetTest, FollowsTheServersCodePage) {
  char out[8];
  Control().SetCurrentCodePage(65001);
  EXPECT_EQ(MultiByteToUTF8_CurrentCharset("\xC3\xA9", 2, out, sizeof out, 0), 2);
  EXPECT_STREQ(out, "\xC3\xA9");
  Control().SetCurrentCodePage(1252);
  EXPECT_EQ(MultiByteToUTF8_CurrentCharset("\xE9", 1, out, sizeof out, 0), 2);
  EXPECT_STREQ(out, "\xC3\xA9");
  EXPECT_EQ(UTF8ToMultiByte_CurrentCharset("\xC3\xA9", 2, out, sizeof out, 0), 1);
  EXPECT_STREQ(out, "\xE9");
  unsigned short utf16[4];
  EXPECT_EQ(MultiByteToUTF16_CurrentCharset("\x80", 1, utf16, 4, 0), 1);
  EXPECT_EQ(utf16[0], 0x20AC);
}
