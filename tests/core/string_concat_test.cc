// CXYStringConcat: growth in whole steps, appending text in both widths and
// across code pages, numbers in decimal, hexadecimal and binary, reading, and
// what a refused allocation leaves behind.
#include "core/string_concat.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <utility>

#include "core/codepage_conversion.h"
#include "tests/core/failing_heap.h"
#include "tests/support/bound_framework.h"

namespace {

using kqtest::FailingHeap;

std::string Text(const CXYStringConcat<char>& b) { return std::string(b.pszGet(), b.nGetLength()); }
std::wstring Text(const CXYStringConcat<wchar_t>& b) {
  return std::wstring(b.pszGet(), b.nGetLength());
}

// ---------------------------------------------------------------------------
// Growth

TEST(StringConcat, StartsWithoutBufferAndReadsAsEmpty) {
  CXYStringConcat<wchar_t> b(1024);
  EXPECT_EQ(b.pGetBuffer(), nullptr);
  EXPECT_EQ(b.nGetCapacity(), 0u);
  EXPECT_STREQ(b.pszGet(), L"");
  EXPECT_TRUE(b.bEstVide());
}

TEST(StringConcat, GrowsInWholeStepsWithOneMoreStepAtAnExactMultiple) {
  struct Case {
    unsigned int nStep;
    unsigned int nLength;
    unsigned int nCapacity;
  };
  const Case cases[] = {
      {1024, 1, 1024}, {1024, 1023, 1024}, {1024, 1024, 2048}, {1024, 1025, 2048},
      {10, 25, 30},    {10, 30, 40},       {1, 5, 6},          {0, 5, 6},  // step 0 is 1
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "step " << c.nStep << ", length " << c.nLength);
    CXYStringConcat<char> b(c.nStep);
    const std::string text(c.nLength, 'x');
    ASSERT_EQ(b.Add(text.data(), static_cast<int>(text.size())), 1);
    EXPECT_EQ(b.nGetCapacity(), c.nCapacity);
    EXPECT_EQ(b.nGetLength(), c.nLength);
    EXPECT_EQ(b.pGetBuffer()[c.nLength], 0);  // the terminator's place belongs to the buffer
  }
}

TEST(StringConcat, OnceTheTextIsLongTheCapacityAtLeastDoubles) {
  // Whole steps still, but a growth never gives less than twice the old
  // capacity: a megabyte in steps of 1024 is copied a few times, not a
  // thousand.
  CXYStringConcat<char> b(10);
  b.Add(std::string(25, 'x').c_str(), 25);
  EXPECT_EQ(b.nGetCapacity(), 30u);
  b.Add(std::string(6, 'x').c_str(), 6);  // 31: one more step would be 40
  EXPECT_EQ(b.nGetCapacity(), 60u);
  b.Add(std::string(100, 'x').c_str(), 100);  // 131: whole steps beyond the double
  EXPECT_EQ(b.nGetCapacity(), 140u);
  CXYStringConcat<char> big(1024);
  int nGrowths = 0;
  for (unsigned int nLast = 0; big.nGetLength() < (1u << 20); big.Add("0123456789abcdef", 16))
    if (big.nGetCapacity() != nLast) ++nGrowths, nLast = big.nGetCapacity();
  EXPECT_LE(nGrowths, 12);
}

TEST(StringConcat, AppendsThatFitTheCapacityDoNotReallocate) {
  CXYStringConcat<wchar_t> b(64);
  b.Add(L"a", 1);
  const wchar_t* p = b.pGetBuffer();
  for (int i = 1; i < 63; ++i) b.Add(L'b');
  EXPECT_EQ(b.pGetBuffer(), p);
  EXPECT_EQ(b.nGetCapacity(), 64u);
  b.Add(L'c');  // the 64th character still fits: the terminator has its own place
  EXPECT_EQ(b.pGetBuffer(), p);
  EXPECT_EQ(b.nGetCapacity(), 64u);
  b.Add(L'd');  // the 65th needs the next step
  EXPECT_EQ(b.nGetCapacity(), 128u);
}

TEST(StringConcat, MatchesAStringOverRandomAppends) {
  std::mt19937 rng(3);
  for (unsigned int nStep : {1u, 7u, 1024u}) {
    CXYStringConcat<char> b(nStep);
    std::string model;
    for (int k = 0; k < 2000; ++k) {
      switch (rng() % 5) {
        case 0: {
          const std::string chunk(rng() % 40, static_cast<char>('a' + rng() % 26));
          b.Add(chunk.data(), static_cast<int>(chunk.size()));
          model += chunk;
          break;
        }
        case 1:
          b.Add('\0');  // zeros are text like any other
          model += '\0';
          break;
        case 2: {
          const int v = static_cast<int>(rng() % 100000) - 50000;
          b.AddNumber(v, -1);
          model += std::to_string(v);
          break;
        }
        case 3: {
          const unsigned int n = static_cast<unsigned int>(rng() % (model.size() + 1));
          b.Tronque(n);
          model.resize(n);
          break;
        }
        default: {
          const auto v = static_cast<unsigned char>(rng());
          b.AddNumberHexa(v);
          char sz[3];
          std::snprintf(sz, sizeof sz, "%02X", v);
          model += sz;
          break;
        }
      }
      ASSERT_EQ(Text(b), model);
      ASSERT_GE(b.nGetCapacity(), b.nGetLength());
      ASSERT_EQ(b.nGetCapacity() % nStep, 0u);
    }
  }
}

// ---------------------------------------------------------------------------
// Numbers

TEST(StringConcat, AppendsIntegersInDecimalWithWidthsAsDocumented) {
  struct Case {
    const char* name;
    long long value;
    bool b64;
    int width;
    const char* expected;
  };
  const Case cases[] = {
      {"padded", 7, false, 3, "007"},
      {"zero is never padded", 0, false, 3, "0"},
      {"negative is never padded", -7, false, 3, "-7"},
      {"a longer int is CUT to the width", 12345, false, 3, "123"},
      {"exact width", 123, false, 3, "123"},
      {"no width", 12345, false, -1, "12345"},
      {"width 0 counts as no width", 12345, false, 0, "12345"},
      {"most negative int", -2147483647LL - 1, false, 5, "-2147483648"},
      {"64-bit padded", 7, true, 3, "007"},
      {"a longer 64-bit number is never cut", 12345, true, 3, "12345"},
      {"64-bit large", 9223372036854775807LL, true, 25, "0000009223372036854775807"},
      {"64-bit most negative", -9223372036854775807LL - 1, true, 3, "-9223372036854775808"},
      {"a width wider than any digit buffer", 5, false, 40, "0000000000000000000000000000000000000005"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CXYStringConcat<char> a(8);
    CXYStringConcat<wchar_t> w(8);
    if (c.b64) {
      a.AddNumber(c.value, c.width);
      w.AddNumber(c.value, c.width);
    } else {
      a.AddNumber(static_cast<int>(c.value), c.width);
      w.AddNumber(static_cast<int>(c.value), c.width);
    }
    EXPECT_EQ(Text(a), c.expected);
    const std::string expected = c.expected;
    EXPECT_EQ(Text(w), std::wstring(expected.begin(), expected.end()));
  }
}

TEST(StringConcat, AppendsHexadecimalInFixedUpperCaseWidths) {
  CXYStringConcat<wchar_t> w(4);
  w.AddNumberHexa(static_cast<unsigned char>(0xAB));
  w.AddNumberHexa(static_cast<unsigned short>(0x1F));
  w.AddNumberHexa(0xDEADBEEFu);
  w.AddNumberHexa(1ULL);
  EXPECT_EQ(Text(w), L"AB001FDEADBEEF0000000000000001");
  CXYStringConcat<char> a(4);
  a.AddNumberHexa(0xFEDCBA9876543210ULL);
  a.AddNumberHexa(static_cast<unsigned char>(0));
  EXPECT_EQ(Text(a), "FEDCBA987654321000");
}

TEST(StringConcat, AppendsBinaryInEitherBitOrder) {
  struct Case {
    unsigned char value;
    int bMsbFirst;
    const char* expected;
  };
  const Case cases[] = {{0x81, 1, "10000001"}, {0x01, 0, "10000000"}, {0x01, 1, "00000001"},
                        {0xF0, 0, "00001111"}, {0x00, 1, "00000000"}, {0xFF, 0, "11111111"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    CXYStringConcat<char> a(4);
    a.AddNumberBinary(c.value, c.bMsbFirst);
    EXPECT_EQ(Text(a), c.expected);
    CXYStringConcat<wchar_t> w(4);
    w.AddNumberBinary(c.value, c.bMsbFirst);
    EXPECT_EQ(Text(w), std::wstring(c.expected, c.expected + 8));
  }
}

TEST(StringConcat, PrefixZeroFillsADigitTextInItsOwnBuffer) {
  char sz[8] = "42";
  EXPECT_EQ(CXYStringConcat<char>::_AddPrefix0(sz, 5), 5);
  EXPECT_STREQ(sz, "00042");
  EXPECT_EQ(CXYStringConcat<char>::_AddPrefix0(sz, 3), 5);  // not shorter: nothing done
  EXPECT_STREQ(sz, "00042");
  wchar_t wsz[8] = L"9";
  EXPECT_EQ(CXYStringConcat<wchar_t>::_AddPrefix0(wsz, 2), 2);
  EXPECT_STREQ(wsz, L"09");
}

// ---------------------------------------------------------------------------
// Text across widths and code pages

TEST(StringConcat, ConvertsBetweenWidthsOnAppend) {
  CXYStringConcat<char> a(4);
  a.AddWide(L"\u00E9t\u00E9", 3, 65001);
  EXPECT_EQ(Text(a), "\xC3\xA9t\xC3\xA9");
  a.AddWide(L"\u00E9", 1, 1252);
  EXPECT_EQ(Text(a), "\xC3\xA9t\xC3\xA9\xE9");

  CXYStringConcat<wchar_t> w(4);
  w.AddAnsi("\xE9t\xE9", 3, 1252);
  w.AddAnsi("\x83\x5C", 2, 932);
  EXPECT_EQ(Text(w), L"\u00E9t\u00E9\u30BD");
  w.AddAnsiToUTF8("\xE9", 1, 1252);  // the wide builder: as AddAnsi
  w.AddUTF8("\xC3\xA9", 2, 0);
  EXPECT_EQ(Text(w), L"\u00E9t\u00E9\u30BD\u00E9\u00E9");

  CXYStringConcat<char> u(4);
  u.AddAnsiToUTF8("\xE9", 1, 1252);
  u.AddAnsiToUTF8("\x83\x5C", 2, 932);
  u.AddAnsi("\xE9", 1, 65001);  // the 8-bit builder copies
  EXPECT_EQ(Text(u), "\xC3\xA9\xE3\x82\xBD\xE9");
}

TEST(StringConcat, WideTextIntoUtf8IsWhatTheCodePageConversionGives) {
  // The 8-bit builder writes UTF-8 itself; it must agree with
  // WideCharToMultiByte, replacements of surrogates and values beyond U+10FFFF
  // included.
  std::mt19937 rng(65001);
  const unsigned int kRanges[] = {0x80, 0x800, 0x10000, 0x110000, 0xFFFFFFFF};
  for (int k = 0; k < 2000; ++k) {
    std::wstring w;
    for (size_t n = rng() % 8 + 1; n > 0; --n)
      w += static_cast<wchar_t>(rng() % kRanges[rng() % 5]);
    if (k % 50 == 0) w += static_cast<wchar_t>(0xD800 + rng() % 0x800);
    CXYStringConcat<char> b(4);
    b.AddWide(w.data(), static_cast<int>(w.size()), 65001);
    const int n = WideCharToMultiByte(65001, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string expected(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(65001, 0, w.data(), static_cast<int>(w.size()), expected.data(), n, nullptr,
                        nullptr);
    ASSERT_EQ(Text(b), expected) << testing::PrintToString(w);
  }
}

TEST(StringConcat, ConversionsThatNeedMoreThanTheUsualRoomStillAppendEverything) {
  // ISO-2022-JP writes a shift sequence before and after a kanji: one
  // character becomes eight bytes, beyond four bytes per character.
  CXYStringConcat<char> a(1);
  a.AddWide(L"\u8868", 1, 50220);
  EXPECT_EQ(Text(a), "\x1B$B" "\x49\x3D" "\x1B(B");
  // GB18030 writes U+0080 (two bytes of UTF-8) in four.
  CXYStringConcat<char> g(1);
  g.AddUTF8("\xC2\x80", 2, 54936);
  EXPECT_EQ(Text(g), "\x81\x30\x81\x30");
  // UTF-8 into a UTF-8 builder is a copy.
  CXYStringConcat<char> c(1);
  c.AddUTF8("\xC3\xA9", 2, 65001);
  EXPECT_EQ(Text(c), "\xC3\xA9");
}

TEST(StringConcat, AFailedConversionAppendsNothing) {
  CXYStringConcat<wchar_t> w(4);
  w.Add(L"x", 1);
  EXPECT_EQ(w.AddUTF8("\xC3", 1, 0), 1);  // truncated UTF-8
  EXPECT_EQ(Text(w), L"x");
  EXPECT_FALSE(w.bEchec());  // nothing was refused: the text had nothing to give
}

TEST(StringConcat, NullTextsAndNonPositiveLengthsAppendNothing) {
  CXYStringConcat<char> a(4);
  EXPECT_EQ(a.Add(nullptr, 3), 1);
  EXPECT_EQ(a.Add("abc", 0), 1);
  EXPECT_EQ(a.Add("abc", -1), 1);
  EXPECT_EQ(a.AddWide(L"abc", -2, 65001), 1);
  EXPECT_EQ(a.AddAnsiToUTF8(nullptr, 2, 1252), 1);
  EXPECT_EQ(a.pGetBuffer(), nullptr);
}

// ---------------------------------------------------------------------------
// Reading

TEST(StringConcat, SearchesAndComparesAsDocumented) {
  CXYStringConcat<wchar_t> empty(4);
  EXPECT_EQ(empty.nPos(L"", 0), -1);
  EXPECT_EQ(empty.nPos(L'a', 0), -1);
  EXPECT_TRUE(empty.bEstEgal(L""));
  EXPECT_TRUE(empty.bEstEgal(nullptr));
  EXPECT_FALSE(empty.bEstEgal(L"a"));

  CXYStringConcat<char> b(4);
  b.Add("abcabc", 6);
  EXPECT_EQ(b.nPos("bc", 0), 1);
  EXPECT_EQ(b.nPos("bc", 2), 4);
  EXPECT_EQ(b.nPos("bc", 5), -1);
  EXPECT_EQ(b.nPos("bc", 600), -1);  // past the end: not found, nothing read
  EXPECT_EQ(b.nPos("bc", -3), 1);
  EXPECT_EQ(b.nPos('c', 3), 5);
  EXPECT_EQ(b.nPos('z', 0), -1);
  EXPECT_TRUE(b.bEstEgal("abcabc"));
  EXPECT_FALSE(b.bEstEgal("abc"));
  EXPECT_FALSE(b.bEstEgal(nullptr));
}

class StringConcatBound : public kqtest::BoundFrameworkTest {};

TEST_F(StringConcatBound, UpperCasesInPlaceThroughTheLocale) {
  CXYStringConcat<wchar_t> w(4);
  w.Add(L"select \u00e9t\u00e9", 10);
  w.Majuscule();
  EXPECT_EQ(Text(w), L"SELECT \u00C9T\u00C9");
  CXYStringConcat<char> empty(4);
  empty.Majuscule();
  EXPECT_EQ(empty.pGetBuffer(), nullptr);
}

// ---------------------------------------------------------------------------
// Ownership and failures

TEST(StringConcat, MovingHandsTheBufferOver) {
  CXYStringConcat<char> a(16);
  a.Add("abc", 3);
  CXYStringConcat<char> b(std::move(a));
  EXPECT_EQ(Text(b), "abc");
  EXPECT_EQ(a.pGetBuffer(), nullptr);  // NOLINT: checking the moved-from state
  CXYStringConcat<char> c(4);
  c.Add("x", 1);
  c = std::move(b);
  EXPECT_EQ(Text(c), "abc");
  c.Libere();
  EXPECT_EQ(c.pGetBuffer(), nullptr);
  EXPECT_EQ(c.nGetCapacity(), 0u);
}

TEST(StringConcat, ARefusedGrowthKeepsTheTextAndSaysSo) {
  CXYStringConcat<wchar_t> b(4);
  b.Add(L"abc", 3);
  kqtest::ForEachRefusedAllocation(
      [&] {
        b.Libere();
        b.Add(L"abc", 3);
      },
      [&] { b.Add(L"defgh", 5); },
      [&](int) {
        EXPECT_EQ(Text(b), L"abc");
        EXPECT_TRUE(b.bEchec());
        EXPECT_EQ(b.nGetCapacity(), 4u);
      });
  // Later appends work again; the flag stays until the buffer is released.
  EXPECT_EQ(b.Add(L"!", 1), 1);
  EXPECT_TRUE(b.bEchec());
  b.Libere();
  EXPECT_FALSE(b.bEchec());
}

TEST(StringConcat, EveryRefusedAllocationOfAConversionLeavesTheTextWhole) {
  CXYStringConcat<char> b(2);
  kqtest::ForEachRefusedAllocation(
      [&] {
        b.Libere();
        b.Add("ab", 2);
      },
      [&] {
        b.AddWide(L"\u00E9\u00E9", 2, 1252);
        b.AddAnsiToUTF8("\xE9", 1, 1252);
        b.AddUTF8("\xC3\xA9", 2, 1252);
      },
      [&](int k) {
        SCOPED_TRACE(k);
        const std::string text = Text(b);
        // Whatever was refused, each append is there whole or not at all.
        EXPECT_EQ(text.substr(0, 2), "ab");
        EXPECT_TRUE(b.bEchec() || text == "ab\xE9\xE9\xC3\xA9\xE9");
        EXPECT_EQ(b.pGetBuffer()[b.nGetLength()], 0);
      });
}

TEST(StringConcat, ALengthBeyondTheLimitIsRefusedWithoutAllocating) {
  CXYStringConcat<char> b(1024);
  EXPECT_EQ(b.bReserve(0x80000000ULL), 0);
  EXPECT_TRUE(b.bEchec());
  EXPECT_EQ(b.pGetBuffer(), nullptr);
  CXYStringConcat<wchar_t> w(0x7FFFFFFF);  // a huge step is clamped, not wrapped
  EXPECT_EQ(w.bReserve(0x40000000ULL), 0);  // 4 GB of wide characters
  EXPECT_EQ(w.pGetBuffer(), nullptr);
}

}  // namespace
