// Zero-terminated string buffers: creation, bounded copies, cuts, the
// ellipsis, searches, replacement and trimming, with destination sizes of 0
// and 1 throughout.
#include "core/zstring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>

#include "core/xmalloc.h"
#include "tests/support/bound_framework.h"

namespace {

// A destination with guard units after it: a function that writes past the
// size it was given changes a guard.
template <class T>
struct Guarded {
  static constexpr T kGuard = T('#');
  T a[24];
  Guarded() {
    for (T& c : a) c = kGuard;
  }
  bool bUntouchedFrom(size_t n) const {
    for (size_t i = n; i < 24; ++i) {
      if (a[i] != kGuard) return false;
    }
    return true;
  }
};

// ---------------------------------------------------------------------------
// Creation

TEST(ZString, CreatesCopiesJoinsAndPrefixes) {
  wchar_t* p = STR_pszCreateW(L"abc");
  EXPECT_STREQ(p, L"abc");
  STR_DeleteW(p);
  EXPECT_EQ(STR_pszCreate(static_cast<const wchar_t*>(nullptr)), nullptr);

  char* pa = STR_pszCreateA("ab", "cd");
  EXPECT_STREQ(pa, "abcd");
  STR_DeleteA(pa);
  p = STR_pszCreateW(L"", nullptr);
  EXPECT_STREQ(p, L"");
  STR_Delete(p);

  p = STR_pszCreateW(5u, L"ab");  // zero-filled to the end
  for (int i = 2; i <= 5; ++i) EXPECT_EQ(p[i], L'\0') << i;
  EXPECT_STREQ(p, L"ab");
  STR_Delete(p);
  pa = STR_pszCreateA(2u, "abcdef");
  EXPECT_STREQ(pa, "ab");
  STR_DeleteA(pa);
  pa = STR_pszCreateA(0u, "abc");
  EXPECT_STREQ(pa, "");
  STR_DeleteA(pa);

  p = STR_pszConcatPoint(L"table", L"column");
  EXPECT_STREQ(p, L"table.column");
  STR_Delete(p);
  p = STR_pszConcat(L"a", nullptr, L"c");
  EXPECT_STREQ(p, L"ac");
  STR_Delete(p);
  STR_Delete(nullptr);
}

TEST(ZString, CreatesFromWideTextThatIsNotAligned) {
  alignas(4) char bytes[4 * 6 + 1];
  const wchar_t text[] = L"wide";
  std::memcpy(bytes + 1, text, sizeof text);
  const auto* pUnaligned = reinterpret_cast<const wchar_t*>(bytes + 1);
  wchar_t* p = STR_pszCreateW_UNALIGNED(pUnaligned);
  EXPECT_STREQ(p, L"wide");
  STR_Delete(p);
  p = STR_pszCreateW_UNALIGNED(2u, pUnaligned);
  EXPECT_STREQ(p, L"wi");
  STR_Delete(p);
  p = STR_pszCreateW_UNALIGNED(6u, pUnaligned);
  EXPECT_STREQ(p, L"wide");
  EXPECT_EQ(p[5], L'\0');
  STR_Delete(p);
}

TEST(ZString, RedefinesAndResizes) {
  wchar_t* p = STR_pszCreateW(L"old");
  EXPECT_TRUE(STR_bRedefine(&p, L"new text"));
  EXPECT_STREQ(p, L"new text");
  EXPECT_FALSE(STR_bRedefine(&p, nullptr));
  EXPECT_EQ(p, nullptr);

  char* pa = STR_pszCreateA("ab");
  EXPECT_EQ(STR_bResizeA(&pa, 10), 1);
  std::strcat(pa, "cdefgh");
  EXPECT_STREQ(pa, "abcdefgh");
  char* pBefore = pa;
  EXPECT_EQ(STR_bResizeA(&pa, 0), 0);  // would free the block: refused
  EXPECT_EQ(pa, pBefore);
  STR_DeleteA(pa);

  p = nullptr;
  EXPECT_EQ(STR_bResizeW(&p, 3), 1);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(STR_bResizeW(&p, 0x40000000), 0);  // 4 GiB does not fit a 32-bit size
  EXPECT_NE(p, nullptr);
  STR_DeleteW(p);
}

class ZStringBound : public kqtest::BoundFrameworkTest {};

// Upper case can make a text longer (ß is "SS"): the buffer must hold it.
TEST_F(ZStringBound, StandardFormIsUpperCaseWithoutAccentsAndWhole) {
  wchar_t* p = STR_pszCreateStandard(L"Stra\u00DFe \u00E9t\u00E9");
  EXPECT_STREQ(p, L"STRASSE ETE");
  STR_Delete(p);
  p = STR_pszCreateStandard(L"");
  EXPECT_STREQ(p, L"");
  STR_Delete(p);
  EXPECT_EQ(STR_pszCreateStandard(nullptr), nullptr);
}

// ---------------------------------------------------------------------------
// Bounded copies

TEST(ZString, BoundedCopyTakesTheSmallestOfCountLengthAndRoom) {
  struct Case {
    unsigned int nSize;
    const wchar_t* pszSrc;
    int nCount;
    const wchar_t* pszExpected;  // null: nothing written
  };
  const Case cases[] = {
      {4, L"abcdef", -1, L"abc"}, {10, L"abcdef", 2, L"ab"},   {10, L"abcdef", -1, L"abcdef"},
      {7, L"abcdef", -1, L"abcdef"}, {6, L"abcdef", 99, L"abcde"}, {10, L"abcdef", 0, L""},
      {10, L"", -1, L""},          {10, nullptr, -1, L""},     {1, L"abc", -1, L""},
      {0, L"abc", -1, nullptr},    {0, L"", 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.nSize << " count " << c.nCount);
    Guarded<wchar_t> dst;
    const int n = STR_nCopyW(dst.a, c.nSize, c.pszSrc, c.nCount);
    if (c.pszExpected == nullptr) {
      EXPECT_EQ(n, 0);
      EXPECT_TRUE(dst.bUntouchedFrom(0));
      continue;
    }
    EXPECT_STREQ(dst.a, c.pszExpected);
    EXPECT_EQ(n, static_cast<int>(std::wcslen(c.pszExpected)));
    EXPECT_TRUE(dst.bUntouchedFrom(c.nSize));

    Guarded<char> dstA;
    std::string src;
    if (c.pszSrc != nullptr)
      for (const wchar_t* p = c.pszSrc; *p != 0; ++p) src += static_cast<char>(*p);
    EXPECT_EQ(STR_nCopyA(dstA.a, c.nSize, c.pszSrc ? src.c_str() : nullptr, c.nCount), n);
    EXPECT_EQ(std::strlen(dstA.a), static_cast<size_t>(n));
    EXPECT_TRUE(dstA.bUntouchedFrom(c.nSize));
  }
}

TEST(ZString, BoundedCopyNeverReadsPastTheSourcesTerminator) {
  // The source ends at the page of its own allocation; a walk past the
  // terminator would be caught by the address sanitizer.
  char* pSrc = static_cast<char*>(XMALLOC_pNew_(3));
  std::memcpy(pSrc, "ab", 3);
  char dst[16];
  EXPECT_EQ(STR_nCopyA(dst, sizeof dst, pSrc, 100), 2);
  EXPECT_EQ(STR_nCut(dst, sizeof dst, pSrc), 2);
  XMALLOC_Del_(pSrc);
}

TEST(ZString, AppendUsesOnlyTheRoomLeftAndNothingWhenTheBufferIsFull) {
  struct Case {
    const wchar_t* pszStart;
    unsigned int nSize;
    const wchar_t* pszSrc;
    int nCount;
    const wchar_t* pszExpected;
    int nAppended;
  };
  const Case cases[] = {
      {L"ab", 10, L"cde", -1, L"abcde", 3}, {L"ab", 4, L"cde", -1, L"abc", 1},
      {L"ab", 3, L"cde", -1, L"ab", 0},     {L"ab", 10, L"cde", 1, L"abc", 1},
      {L"", 1, L"x", -1, L"", 0},            {L"", 2, L"xy", -1, L"x", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.pszStart << " + " << c.pszSrc << " in " << c.nSize);
    Guarded<wchar_t> dst;
    std::wcscpy(dst.a, c.pszStart);
    EXPECT_EQ(STR_nCatW(dst.a, c.nSize, c.pszSrc, c.nCount), c.nAppended);
    EXPECT_STREQ(dst.a, c.pszExpected);
    EXPECT_TRUE(dst.bUntouchedFrom(c.nSize));
  }
  // No terminator within the size: the buffer counts as full.
  Guarded<char> full;
  std::memcpy(full.a, "abcd", 4);
  EXPECT_EQ(STR_nCatA(full.a, 4, "x"), 0);
  EXPECT_EQ(std::string(full.a, 5), "abcd#");
  EXPECT_EQ(STR_nCat(nullptr, 0, L"x"), 0);
  EXPECT_EQ(STR_nCatA(full.a, 0, "x"), 0);
}

TEST(ZString, CutCopiesWhatFitsAndAlwaysTerminates) {
  struct Case {
    unsigned int nSize;
    const char* pszSrc;
    const char* pszExpected;  // null: nothing written
  };
  const Case cases[] = {
      {0, "abc", nullptr}, {1, "abc", ""},      {2, "abc", "a"},   {3, "abc", "ab"},
      {4, "abc", "abc"},   {9, "abc", "abc"},   {1, "", ""},       {5, nullptr, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.nSize);
    Guarded<char> dst;
    Guarded<wchar_t> wdst;
    std::wstring wsrc;
    if (c.pszSrc != nullptr)
      for (const char* p = c.pszSrc; *p != 0; ++p) wsrc += static_cast<wchar_t>(*p);
    const int n = STR_nCut(dst.a, c.nSize, c.pszSrc);
    const int nw = STR_nCut(wdst.a, c.nSize, c.pszSrc ? wsrc.c_str() : nullptr);
    if (c.pszExpected == nullptr) {
      EXPECT_EQ(n, 0);
      EXPECT_EQ(nw, 0);
      EXPECT_TRUE(dst.bUntouchedFrom(0));
      EXPECT_TRUE(wdst.bUntouchedFrom(0));
      continue;
    }
    EXPECT_STREQ(dst.a, c.pszExpected);
    EXPECT_EQ(n, static_cast<int>(std::strlen(c.pszExpected)));
    EXPECT_EQ(nw, n);
    EXPECT_TRUE(dst.bUntouchedFrom(c.nSize));
    EXPECT_TRUE(wdst.bUntouchedFrom(c.nSize));
  }
  Guarded<wchar_t> dst;
  std::wcscpy(dst.a, L"ab");
  EXPECT_EQ(STR_nCatCut(dst.a, 5, L"cdef"), 2);
  EXPECT_STREQ(dst.a, L"abcd");
  EXPECT_EQ(STR_nCatCut(dst.a, 5, L"x"), 0);
  EXPECT_TRUE(dst.bUntouchedFrom(5));
}

TEST(ZString, CompletePadsToTheSizeAndCutsLongerTexts) {
  struct Case {
    const char* pszStart;
    unsigned int nSize;
    const char* pszExpected;  // null: nothing written
  };
  const Case cases[] = {
      {"ab", 5, "ab**"}, {"abcdef", 4, "abc"}, {"", 3, "**"},
      {"ab", 1, ""},     {"ab", 0, nullptr},   {"ab", 3, "ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.pszStart << " to " << c.nSize);
    Guarded<char> dst;
    std::strcpy(dst.a, c.pszStart);
    STR_Complete(dst.a, c.nSize, '*');
    EXPECT_STREQ(dst.a, c.pszExpected ? c.pszExpected : c.pszStart);
    const size_t nWritten = std::max<size_t>(c.nSize, std::strlen(c.pszStart) + 1);
    EXPECT_TRUE(dst.bUntouchedFrom(nWritten));
  }
  wchar_t wsz[6] = L"x";
  STR_Complete(wsz, 6, L'-');
  EXPECT_STREQ(wsz, L"x----");
  STR_Complete(static_cast<wchar_t*>(nullptr), 6, L'-');
}

TEST(ZString, EllipsisShortensToTheMaximumAtTheChosenPlace) {
  struct Case {
    const wchar_t* pszSrc;
    unsigned int nMax;
    eELLIPSISPOSITION eWhere;
    const wchar_t* pszExpected;  // null: dst untouched
  };
  const auto kEnd = ELLIPSIS_END, kMiddle = ELLIPSIS_MIDDLE, kStart = ELLIPSIS_START;
  const Case cases[] = {
      {L"abcdefghijkl", 10, kEnd, L"abcdefg..."},
      {L"abcdefghijkl", 10, kMiddle, L"abc...ijkl"},
      {L"abcdefghijkl", 10, kStart, L"...fghijkl"},
      {L"abcdefghijkl", 11, kMiddle, L"abcd...ijkl"},
      {L"abcdefghijkl", 3, kEnd, L"..."},
      {L"abcdefghijkl", 3, kMiddle, L"..."},
      {L"abcdefghijkl", 4, kMiddle, L"...l"},
      {L"abcdefghijkl", 12, kMiddle, L"abcdefghijkl"},
      {L"abc", 3, kStart, L"abc"},
      {L"", 5, kEnd, L""},
      {L"abcdefghijkl", 2, kEnd, nullptr},
      {L"abcdefghijkl", 0, kEnd, nullptr},
      {L"abcdefghijkl", 10, static_cast<eELLIPSISPOSITION>(3), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "max " << c.nMax << " at " << c.eWhere);
    Guarded<wchar_t> dst;
    STR_Ellipsis(dst.a, c.pszSrc, c.nMax, c.eWhere);
    if (c.pszExpected == nullptr) {
      EXPECT_TRUE(dst.bUntouchedFrom(0));
      continue;
    }
    EXPECT_STREQ(dst.a, c.pszExpected);
    EXPECT_TRUE(dst.bUntouchedFrom(std::wcslen(c.pszExpected) + 1));
  }
}

// ---------------------------------------------------------------------------
// Searching

TEST(ZString, BoundedSearchLooksOnlyAtStartsThatLeaveRoomForTheSubstring) {
  const wchar_t* s = L"abcabc";
  struct Case {
    const wchar_t* pszSub;
    int n;
    int nExpected;  // position, -1: not found
  };
  const Case cases[] = {
      {L"bc", 6, 1}, {L"bc", 3, 1}, {L"bc", 2, -1}, {L"ca", 6, 2}, {L"abcabc", 6, 0},
      {L"abcabcd", 99, -1}, {L"c", 1, -1}, {L"a", 1, 0}, {L"x", 6, -1}, {L"", 0, 0},
      {nullptr, 0, 0}, {L"a", 0, -1}, {L"bc", 99, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.pszSub ? c.pszSub : L"(null)") << " within " << c.n);
    const wchar_t* p = STR_pszStrnstr(s, c.pszSub, c.n);
    EXPECT_EQ(p == nullptr ? -1 : static_cast<int>(p - s), c.nExpected);
  }
}

TEST(ZString, EightBitSearchesKeepTheOccurrenceWithinTheirCount) {
  char s[] = "xxABcab";
  struct Case {
    const char* pszSub;
    unsigned int n;
    int nWithCase;  // position, -1: not found
    int nWithoutCase;
  };
  const Case cases[] = {
      {"ab", 7, 5, 2}, {"ab", 4, -1, 2}, {"ab", 3, -1, -1}, {"AB", 7, 2, 2},
      {"x", 0, -1, -1}, {"x", 1, 0, 0},  {"", 0, 0, 0},     {"cab", 100, 4, 4},
      {"abc", 100, -1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.pszSub << " within " << c.n);
    char* p = STR_strnstrA(s, c.pszSub, c.n);
    EXPECT_EQ(p == nullptr ? -1 : static_cast<int>(p - s), c.nWithCase);
    p = STR_strnistrA(s, c.pszSub, c.n);
    EXPECT_EQ(p == nullptr ? -1 : static_cast<int>(p - s), c.nWithoutCase);
  }
}

TEST(ZString, CaseBlindSearchByTheCLibraryFindsAsciiLetters) {
  const wchar_t* s = L"Hello World";
  EXPECT_EQ(STR_StrIStr(s, L"WORLD"), s + 6);
  EXPECT_EQ(STR_StrIStr(s, L""), s);
  EXPECT_EQ(STR_StrIStr(s, L"worlds"), nullptr);
  EXPECT_EQ(STR_StrIStr(L"", L"a"), nullptr);
}

TEST_F(ZStringBound, CaseBlindSearchThroughTheLocaleFindsAccentedLetters) {
  const wchar_t* s = L"Gr\u00FC\u00DFe aus K\u00F6ln";
  EXPECT_EQ(STR_pszUpStrstr(s, L"K\u00D6LN"), s + 10);
  EXPECT_EQ(STR_pszUpStrstr(s, L"koln"), nullptr);  // case, not accents
  EXPECT_EQ(STR_pszUpStrstr(s, L"GR\u00DC"), s);
  EXPECT_EQ(STR_pszUpStrstr(s, L""), s);
  EXPECT_EQ(STR_pszUpStrstr(L"a", L"ab"), nullptr);
  std::wstring sLong(500, L'a');
  sLong += L"\u00E9T\u00E9";
  EXPECT_EQ(STR_pszUpStrstr(sLong.c_str(), L"\u00C9t\u00C9"), sLong.c_str() + 500);
}

TEST(ZString, BackwardSearchesStartAtTheirPositionAndStayInTheText) {
  const char* s = "abcabc";
  EXPECT_EQ(STRRSTRA(s, 5, "bc"), s + 4);
  EXPECT_EQ(STRRSTRA(s, 4, "bc"), s + 4);
  EXPECT_EQ(STRRSTRA(s, 3, "bc"), s + 1);
  EXPECT_EQ(STRRSTRA(s, 0, "bc"), nullptr);
  EXPECT_EQ(STRRSTRA(s, 0, "ab"), s);
  EXPECT_EQ(STRRSTRA(s, -1, "ab"), nullptr);
  EXPECT_EQ(STRRSTRA(s, 100, "bc"), s + 4);  // a position past the text reads as its end
  EXPECT_EQ(STRRSTRA("", 0, "a"), nullptr);
  const wchar_t* w = L"a.b.c";
  EXPECT_EQ(STRRSTRW(w, 4, L"."), w + 3);
  EXPECT_EQ(STRRSTR(w, 2, L"."), w + 1);

  EXPECT_EQ(strrchr(s, 5, 'a'), s + 3);
  EXPECT_EQ(strrchr(s, 2, 'a'), s);
  EXPECT_EQ(strrchr(s, 0, 'b'), nullptr);
  EXPECT_EQ(strrchr(s, -1, 'a'), nullptr);
  EXPECT_EQ(strrchr(s, 100, 'c'), s + 5);
  EXPECT_EQ(strrchr("", 0, 'a'), nullptr);
  EXPECT_EQ(wcsrchr(w, 4, L'.'), w + 3);
  EXPECT_EQ(wcsrchr(w, 1, L'.'), w + 1);

  EXPECT_EQ(STRRPBRK(w, L"b."), w + 3);
  EXPECT_EQ(STRRPBRK(w, L"x"), nullptr);
  EXPECT_EQ(STRRPBRK(w, L""), nullptr);
  EXPECT_EQ(STRRPBRK(L"", L"a"), nullptr);
}

// ---------------------------------------------------------------------------
// Replacing

TEST(ZString, ReplaceSubstitutesEveryOccurrenceFromLeftToRight) {
  struct Case {
    const wchar_t* s;
    const wchar_t* pszPattern;
    const wchar_t* pszReplacement;
    const wchar_t* pszExpected;  // null: no result
  };
  const Case cases[] = {
      {L"a.b.c", L".", L"::", L"a::b::c"},
      {L"aaaa", L"aa", L"b", L"bb"},
      {L"aaa", L"aa", L"b", L"ba"},
      {L"abc", L"x", L"y", L"abc"},
      {L"abcabc", L"abc", L"", L""},
      {L"abc", L"b", nullptr, L"ac"},
      {L"x", L"x", L"longer text", L"longer text"},
      {L"", L"x", L"y", nullptr},
      {L"abc", L"", L"y", nullptr},
      {nullptr, L"x", L"y", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.s ? c.s : L"(null)") << " / " << c.pszPattern);
    wchar_t* p = STR_RemplaceW(c.s, c.pszPattern, c.pszReplacement);
    if (c.pszExpected == nullptr) {
      EXPECT_EQ(p, nullptr);
      continue;
    }
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p, c.pszExpected);
    STR_Delete(p);
  }
}

// ---------------------------------------------------------------------------
// Trimming

TEST(ZString, TrimsWhiteSpaceOnEitherSide) {
  struct Case {
    const char* pszIn;
    const char* pszLeft;
    const char* pszRight;
    const char* pszSides;
    const char* pszAll;
  };
  const Case cases[] = {
      {"", "", "", "", ""},
      {" ", "", "", "", ""},
      {"a", "a", "a", "a", "a"},
      {" \t a b \r\n", "a b \r\n", " \t a b", "a b", "ab"},
      {"\v\fx", "x", "\v\fx", "x", "x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.pszIn << '"');
    char sz[32];
    wchar_t wsz[32];
    auto Wide = [](const char* p) {
      std::wstring w;
      for (; *p != 0; ++p) w += static_cast<wchar_t>(*p);
      return w;
    };
    auto Check = [&](auto pfnA, auto pfnW, const char* pszExpected) {
      std::strcpy(sz, c.pszIn);
      pfnA(sz);
      EXPECT_STREQ(sz, pszExpected);
      std::wcscpy(wsz, Wide(c.pszIn).c_str());
      pfnW(wsz);
      EXPECT_EQ(std::wstring(wsz), Wide(pszExpected));
    };
    Check([](char* p) { STR_SuppressLeftSpaces(p); }, [](wchar_t* p) { STR_SuppressLeftSpaces(p); },
          c.pszLeft);
    Check([](char* p) { STR_SuppressRightSpaces(p); },
          [](wchar_t* p) { STR_SuppressRightSpaces(p); }, c.pszRight);
    Check([](char* p) { STR_SuppressSideSpaces(p); },
          [](wchar_t* p) { STR_SuppressSideSpaces(p); }, c.pszSides);
    Check([](char* p) { STR_SuppressAllSpacesA(p); },
          [](wchar_t* p) {
            const wchar_t* pEnd = STR_SuppressAllSpacesW(p);
            EXPECT_EQ(pEnd, p + std::wcslen(p));
          },
          c.pszAll);
  }
  // Bytes above 127 are not white space in the C locale, and are read as
  // unsigned (a signed 0xA0 would be out of isspace's range).
  char sz[] = "\xA0x\xA0";
  STR_SuppressSideSpaces(sz);
  EXPECT_STREQ(sz, "\xA0x\xA0");
  STR_SuppressSideSpaces(static_cast<char*>(nullptr));
  EXPECT_EQ(STR_SuppressAllSpacesW(nullptr), nullptr);
}

TEST(ZString, TrimsRunsOfACharacter) {
  struct Case {
    const wchar_t* pszIn;
    const wchar_t* pszLeft;
    const wchar_t* pszRight;
    const wchar_t* pszSides;
  };
  const Case cases[] = {
      {L"xxaxx", L"axx", L"xxa", L"a"}, {L"", L"", L"", L""}, {L"x", L"", L"", L""},
      {L"a", L"a", L"a", L"a"},         {L"xxx", L"", L"", L""}, {L"axa", L"axa", L"axa", L"axa"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.pszIn);
    wchar_t wsz[16];
    std::wcscpy(wsz, c.pszIn);
    STR_SuppressLeftCar(wsz, L'x');
    EXPECT_STREQ(wsz, c.pszLeft);
    std::wcscpy(wsz, c.pszIn);
    STR_SuppressRightCar(wsz, L'x');
    EXPECT_STREQ(wsz, c.pszRight);
    std::wcscpy(wsz, c.pszIn);
    STR_SuppressSideCar(wsz, L'x');
    EXPECT_STREQ(wsz, c.pszSides);
  }
  char sz[] = "--a--";
  STR_SuppressLeftCar(sz, '-');
  EXPECT_STREQ(sz, "a--");
  STR_SuppressRightCar(sz, '-');
  EXPECT_STREQ(sz, "a");
  STR_SuppressRightCar(sz, '\0');  // the terminator is no character to trim
  EXPECT_STREQ(sz, "a");
}

}  // namespace
