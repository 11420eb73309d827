// Counted strings: sharing, copy on write, release, limits, allocation
// failures, multiple assignment, conversions and the high marker, checked
// against the stand-in server's instrumented allocator.
#include <gtest/gtest.h>
#include <iconv.h>
#include <pthread.h>

#include <cstdarg>
#include <cstring>
#include <functional>
#include <latch>
#include <random>
#include <string>
#include <vector>

#include "core/binary_buffer.h"
#include "core/counted_string.h"
#include "core/xmalloc.h"
#include "core/codepage_conversion.h"
#include "tests/support/bound_framework.h"

namespace {

const _stStrMemHeader& HeaderOf(const void* pData) {
  return *StrMemHeader(static_cast<unsigned char*>(const_cast<void*>(pData)));
}
template <typename T>
int RefCount(const CXYString<T>& s) {
  return __atomic_load_n(&HeaderOf(s.pGetData()).nRefCount, __ATOMIC_ACQUIRE);
}
std::wstring Text(const CWString& s) { return std::wstring(s.pszGet(), s.nGetLongueur()); }
std::string Text(const CAString& s) { return std::string(s.pszGet(), s.nGetLongueur()); }

CWString Wide(const wchar_t* p) {
  CWString s;
  EXPECT_EQ(s.nAffecteConversion(p, -1), 0);
  return s;
}
CAString Ansi(const char* p, int n = -1) {
  CAString s;
  EXPECT_EQ(s.nAffecte(p, n), 0);
  return s;
}

// Runs body(0) ... body(n - 1) on n threads at once. Threads get small stacks:
// under qemu the sanitizer cannot map the shadow of eight default 8 MB stacks.
void RunOnThreads(int n, const std::function<void(int)>& body) {
  struct Start {
    const std::function<void(int)>* pBody;
    int nIndex;
  };
  std::vector<Start> starts(n);
  std::vector<pthread_t> threads(n);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 256 * 1024);
  for (int i = 0; i < n; ++i) {
    starts[i] = {&body, i};
    ASSERT_EQ(pthread_create(&threads[i], &attr,
                             [](void* p) -> void* {
                               auto* pStart = static_cast<Start*>(p);
                               (*pStart->pBody)(pStart->nIndex);
                               return nullptr;
                             },
                             &starts[i]),
              0);
  }
  pthread_attr_destroy(&attr);
  for (pthread_t& t : threads) pthread_join(t, nullptr);
}

// The text and its buffer, compared after a failure to show nothing moved.
template <typename T>
struct Snapshot {
  explicit Snapshot(const CXYString<T>& s) : pData(s.pGetData()), text(Text(s)) {}
  T* pData;
  std::basic_string<T> text;
};

class CountedString : public kqtest::BoundFrameworkTest {
 protected:
  int Allocations() const { return Control().nStrAllocations(); }

  // Runs op with the allocator failing at its 1st, 2nd, ... allocation, until
  // op gets through without reaching the failure; check sees each attempt's
  // result and whether the failure was injected. Setup runs with the
  // allocator sound.
  struct Road {
    std::function<void()> setup;
    std::function<int()> op;
    std::function<void(int nResult, bool bFailed)> check;
    std::function<void()> teardown;
  };
  void RunWithFailures(const Road& road) {
    for (int nAt = 1; nAt < 64; ++nAt) {
      SCOPED_TRACE(testing::Message() << "allocation " << nAt << " fails");
      road.setup();
      const int nBefore = Allocations();
      Control().FailStrAllocationAt(nAt);
      const int nResult = road.op();
      const bool bFailed = Allocations() - nBefore >= nAt;
      Control().FailStrAllocationAt(0);
      road.check(nResult, bFailed);
      road.teardown();
      ASSERT_EQ(Control().nLiveStrBuffers(), 0);
      if (!bFailed) {
        EXPECT_GT(nAt, 1) << "the road asked nothing of the allocator";
        return;
      }
    }
    FAIL() << "the road never got through";
  }
};

// ---------------------------------------------------------------------------
// Sharing and release

TEST_F(CountedString, AnEmptyTextANullTextOrALengthNotAboveZeroLeavesNoBuffer) {
  struct Case {
    const char* name;
    const wchar_t* p;
    int n;
  };
  const Case cases[] = {
      {"empty text", L"", -1}, {"null text", nullptr, -1}, {"null text with a length", nullptr, 3},
      {"length 0", L"abc", 0}, {"negative length", L"abc", -7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CWString s = Wide(L"before");
    EXPECT_EQ(s.nAffecteConversion(c.p, c.n), 0);
    EXPECT_EQ(s.pGetData(), nullptr);
    EXPECT_STREQ(s.pszGet(), L"");
    EXPECT_EQ(s.nGetLongueur(), 0);
  }
}

TEST_F(CountedString, CopiesShareOneBufferCountedOncePerHolder) {
  CWString a = Wide(L"shared");
  {
    CWString b(a);
    CWString c;
    c = b;
    EXPECT_EQ(b.pGetData(), a.pGetData());
    EXPECT_EQ(c.pGetData(), a.pGetData());
    EXPECT_EQ(RefCount(a), 3);
    c = c;  // self-assignment keeps the count
    EXPECT_EQ(RefCount(a), 3);
  }
  EXPECT_EQ(RefCount(a), 1);
  EXPECT_EQ(Control().nLiveStrBuffers(), 1);
}

TEST_F(CountedString, WritingToACopyLeavesTheOriginalIntact) {
  struct Case {
    const char* name;
    std::function<int(CWString&)> write;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {"append", [](CWString& s) { return s.nConcat(L"++", 2); }, L"origin++"},
      {"assign", [](CWString& s) { return s.nAffecteConversion(L"new", -1); }, L"new"},
      {"multiple assignment", [](CWString& s) { return s.__nAffecteMultiple(2, L"a", L"b"); }, L"ab"},
      {"room for writing",
       [](CWString& s) {
         const int n = s.nSetLength(10);
         if (n == 0) s.pGetData()[0] = L'O';
         return n;
       },
       L"Origin"},
      {"flags", [](CWString& s) { return s.nSetFlags(1); }, L"origin"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CWString original = Wide(L"origin");
    CWString copy(original);
    ASSERT_EQ(c.write(copy), 0);
    EXPECT_EQ(Text(original), L"origin");
    EXPECT_EQ(original.dwGetFlags(), 0u);
    EXPECT_EQ(Text(copy), c.expected);
    EXPECT_NE(copy.pGetData(), original.pGetData());
    EXPECT_EQ(RefCount(original), 1);
    EXPECT_EQ(RefCount(copy), 1);
  }
}

TEST_F(CountedString, EightThreadsReleasingCopiesOfOneBufferFreeItExactlyOnce) {
  constexpr int kThreads = 8;
  for (int nRound = 0; nRound < 200; ++nRound) {
    std::vector<CWString> copies;
    {
      CWString s = Wide(L"one buffer, many holders");
      copies.assign(kThreads, s);
      ASSERT_EQ(RefCount(s), kThreads + 1);
    }
    std::latch start(kThreads);
    RunOnThreads(kThreads, [&](int i) {
      CWString mine = std::move(copies[i]);
      // Copies made and dropped on every thread at once, then the last ones.
      start.arrive_and_wait();
      for (int k = 0; k < 50; ++k) CWString extra(mine);
      mine.ReleaseDynStr();
    });
    ASSERT_EQ(Control().nLiveStrBuffers(), 0);
    ASSERT_EQ(Control().nBadStrReleases(), 0);
  }
}

TEST_F(CountedString, ReleasingTheSizeToZeroOfASharedBufferDropsOnlyOneReference) {
  CWString a = Wide(L"keep");
  CWString b(a);
  EXPECT_EQ(b.SetUtilLength(0), 0);
  EXPECT_EQ(b.pGetData(), nullptr);
  EXPECT_EQ(Text(a), L"keep");
  EXPECT_EQ(RefCount(a), 1);
}

// ---------------------------------------------------------------------------
// Assignment and append

TEST_F(CountedString, AssignmentReusesAnOwnBufferAndKeepsItsFlagsWord) {
  CWString s = Wide(L"a longer text");
  ASSERT_EQ(s.nSetFlags(1), 0);
  wchar_t* pBefore = s.pGetData();
  EXPECT_EQ(s.nAffecteConversion(L"short", -1), 0);
  EXPECT_EQ(s.pGetData(), pBefore);
  EXPECT_EQ(Text(s), L"short");
  EXPECT_EQ(s.dwGetFlags(), 1u);
  EXPECT_EQ(s.pszGet()[5], L'\0');
}

TEST_F(CountedString, EightBitTextIsFollowedByAZeroWord) {
  CAString s = Ansi("abcdefgh");
  ASSERT_EQ(s.nAffecte("xy", 2), 0);
  const unsigned char zero[4] = {};
  EXPECT_EQ(std::memcmp(s.pGetData() + 2, zero, 4), 0);
  EXPECT_EQ(HeaderOf(s.pGetData()).nLength, 2u);
}

TEST_F(CountedString, AStringCanBeAppendedToAndAssignedFromItself) {
  CWString s = Wide(L"abc");
  for (int i = 0; i < 6; ++i) ASSERT_EQ(s.nConcat(s.pszGet(), s.nGetLongueur()), 0);
  EXPECT_EQ(s.nGetLongueur(), 3 * 64);
  EXPECT_EQ(Text(s).substr(0, 9), L"abcabcabc");
  ASSERT_EQ(s.nAffecteConversion(s.pszGet() + 3, 4), 0);
  EXPECT_EQ(Text(s), L"abca");
  CWString shared(s);
  ASSERT_EQ(s.nConcat(shared.pszGet(), 2), 0);
  EXPECT_EQ(Text(s), L"abcaab");
  EXPECT_EQ(Text(shared), L"abca");
}

TEST_F(CountedString, AppendingClearsTheHighMarkerBit) {
  CWString s = Wide(L"abc");
  ASSERT_EQ(s.nSetFlags(1), 0);
  CWString other(s);
  ASSERT_EQ(s.nConcat(L"d", 1), 0);
  EXPECT_EQ(s.dwGetFlags(), 0u);
  EXPECT_EQ(other.dwGetFlags(), 1u);
  ASSERT_EQ(other.Add(L"e"), 0);
  EXPECT_EQ(other.dwGetFlags(), 0u);
}

TEST_F(CountedString, RoomForWritingThenTheUsedLengthMakeTheText) {
  CWString s;
  ASSERT_EQ(s.nSetLength(5), 0);
  EXPECT_EQ(s.nGetLongueur(), 0);
  std::wmemcpy(s.pGetData(), L"hello", 5);
  EXPECT_EQ(s.SetUtilLength(5), 5);
  EXPECT_EQ(Text(s), L"hello");
  EXPECT_EQ(HeaderOf(s.pGetData()).nLength, 20u);
  EXPECT_EQ(s.pszGet()[5], L'\0');

  struct Case {
    const char* name;
    int n;
  };
  for (const Case& c : {Case{"negative", -1}, Case{"beyond the capacity", 1000}}) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(s.SetUtilLength(c.n), -1);
    EXPECT_EQ(Text(s), L"hello");
  }
  CWString shared(s);
  EXPECT_EQ(s.SetUtilLength(2), -1) << "a shared buffer is not written";
  EXPECT_EQ(Text(shared), L"hello");
}

TEST_F(CountedString, FillingBeyondTheCapacityIsRefused) {
  CWString s;
  ASSERT_EQ(s.nSetLength(4), 0);
  const unsigned int nCapacity = HeaderOf(s.pGetData()).nCapacity / sizeof(wchar_t);
  s.__FillDynStr(L"ab", 2, 0);
  EXPECT_EQ(Text(s), L"ab");
  s.__FillDynStr(L"xyz", 3, static_cast<int>(nCapacity) - 1);
  EXPECT_EQ(Text(s), L"ab");
  s.__FillDynStr(L"cd", 2, 2);
  EXPECT_EQ(Text(s), L"abcd");
}

// ---------------------------------------------------------------------------
// Limits

TEST_F(CountedString, LengthsPastTheLimitAnswer108AndLeaveTheStringUnchanged) {
  constexpr int kLimit = kCountedMaxUnits;
  struct Case {
    const char* name;
    std::function<int(CWString&)> op;
  };
  const Case cases[] = {
      {"assign limit + 1", [](CWString& s) { return s.nAffecteConversion(L"x", kLimit + 1); }},
      {"room for the limit (its bytes do not fit)", [](CWString& s) { return s.nSetLength(kLimit); }},
      {"room for 2^30 characters", [](CWString& s) { return s.nSetLength(1 << 30); }},
      {"room for a negative length", [](CWString& s) { return s.nSetLength(-1); }},
      {"new of the limit (its bytes do not fit)", [](CWString& s) { return s.__nNew(kLimit, nullptr, 0, 0); }},
      {"new of a negative length", [](CWString& s) { return s.__nNew(-5, nullptr, 0, 0); }},
      {"append up to the limit + 1", [](CWString& s) { return s.nConcat(L"x", kLimit - 2); }},
      {"append to 2^30 characters", [](CWString& s) { return s.nConcat(L"x", (1 << 30) - 3); }},
      {"prepare the limit + 1", [](CWString& s) { return s.__nPrepareModification(kLimit + 1, 0); }},
      {"convert past the limit",
       [](CWString& s) { return s.__nConversion("x", 1, kLimit, 1252, 0, nullptr); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CWString s = Wide(L"abc");
    CWString shared(s);
    const Snapshot<wchar_t> before(s);
    const int nAllocations = Allocations();
    EXPECT_EQ(c.op(s), kCountedTooLong);
    EXPECT_EQ(Allocations(), nAllocations) << "nothing asked of the allocator";
    if (std::string(c.name) != "convert past the limit") {  // conversions empty first
      EXPECT_EQ(s.pGetData(), before.pData);
      EXPECT_EQ(Text(s), before.text);
    }
    EXPECT_EQ(Text(shared), L"abc");
  }
}

TEST_F(CountedString, EightBitLengthsPastTheLimitAnswer108) {
  CAString s = Ansi("abc");
  EXPECT_EQ(s.nAffecte("x", kCountedMaxUnits + 1), kCountedTooLong);
  EXPECT_EQ(s.nSetLength(kCountedMaxUnits + 1), kCountedTooLong);
  EXPECT_EQ(s.nConcat("x", kCountedMaxUnits - 2), kCountedTooLong);
  EXPECT_EQ(s.nAffecteToUTF8("x", kCountedMaxUnits / 4 + 1, 1252), kCountedTooLong)
      << "the 4n + 1 reservation must not wrap";
  EXPECT_EQ(Text(Ansi("abc")), "abc");
}

// ---------------------------------------------------------------------------
// Allocation failures

TEST_F(CountedString, AFailedAllocationLeavesTheStringAsItWas) {
  struct Case {
    const char* name;
    std::function<int(CWString&)> op;
    bool bShare;
  };
  const Case cases[] = {
      {"append to a shared buffer", [](CWString& s) { return s.nConcat(L"-more", 5); }, true},
      {"append with regrowth", [](CWString& s) { return s.nConcat(std::wstring(500, L'x').c_str(), 500); }, false},
      {"assign over a shared buffer", [](CWString& s) { return s.nAffecteConversion(L"other", -1); }, true},
      {"assign with regrowth", [](CWString& s) { return s.nAffecteConversion(std::wstring(300, L'y').c_str(), 300); }, false},
      {"unshare for writing", [](CWString& s) { return s.__nPrepareModification(40, 0); }, true},
      {"regrow for writing", [](CWString& s) { return s.nSetLength(400); }, false},
      {"unshare for the flags", [](CWString& s) { return s.nSetFlags(1); }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CWString s, shared;
    std::wstring before;
    wchar_t* pBefore = nullptr;
    RunWithFailures({[&] {
                       s = Wide(L"original");
                       if (c.bShare) shared = s;
                       before = Text(s);
                       pBefore = s.pGetData();
                     },
                     [&] { return c.op(s); },
                     [&](int nResult, bool bFailed) {
                       if (!bFailed) {
                         EXPECT_EQ(nResult, 0);
                         return;
                       }
                       EXPECT_EQ(nResult, kStandInAllocFailure);
                       EXPECT_EQ(s.pGetData(), pBefore);
                       EXPECT_EQ(Text(s), before);
                       if (c.bShare) {
                         EXPECT_EQ(RefCount(s), 2);
                       }
                     },
                     [&] {
                       s.ReleaseDynStr();
                       shared.ReleaseDynStr();
                     }});
  }
}

TEST_F(CountedString, AFailedConversionOrMultipleAssignmentLeavesTheStringEmpty) {
  const unsigned short utf16[] = {0x48, 0xD83D, 0xDE00, 0};
  struct Case {
    const char* name;
    std::function<int(CWString&, CAString&)> op;
    bool bWideTarget;
  };
  const Case cases[] = {
      {"multiple", [](CWString& w, CAString&) { return w.__nAffecteMultiple(3, L"AS (", L"x", L")"); }, true},
      {"cp1252 to wide", [](CWString& w, CAString&) { return w.__nConversion("caf\xE9", -1, 0, 1252, 0, nullptr); }, true},
      {"UTF-8 to wide", [](CWString& w, CAString&) { return w.nAffecteUTF8("caf\xC3\xA9", -1); }, true},
      {"UTF-16 to wide", [&](CWString& w, CAString&) { return w.nAffecteUTF16(utf16, -1); }, true},
      {"UTF-32 to wide", [](CWString& w, CAString&) { return w.nAffecteUTF32(L"abc", -1); }, true},
      {"wide to cp1252", [](CWString&, CAString& a) { return a.__nConversion(L"caf\xE9", -1, 0, 1252, 0, nullptr); }, false},
      {"UTF-8 to cp1252", [](CWString&, CAString& a) { return a.nAffecteUTF8("caf\xC3\xA9", -1, 1252, 0, nullptr, nullptr); }, false},
      {"cp1252 to UTF-8", [](CWString&, CAString& a) { return a.nAffecteToUTF8("caf\xE9", -1, 1252); }, false},
      {"UTF-16 to cp1252", [&](CWString&, CAString& a) { return a.nAffecteUTF16(utf16, -1, 1252, 0, nullptr); }, false},
      {"marked wide to cp1252", [](CWString& w, CAString& a) { return a.nAffecteConversionExplicite(w, 1252, 0, nullptr); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CWString w;
    CAString a;
    RunWithFailures({[&] {
                       w = Wide(L"ab\xFFFFFFFF");
                       ASSERT_EQ(w.nSetFlags(1), 0);
                       a = Ansi("old");
                     },
                     [&] { return c.op(w, a); },
                     [&](int nResult, bool bFailed) {
                       if (!bFailed) {
                         EXPECT_EQ(nResult, 0);
                         return;
                       }
                       EXPECT_EQ(nResult, kStandInAllocFailure);
                       EXPECT_EQ(c.bWideTarget ? static_cast<void*>(w.pGetData())
                                               : static_cast<void*>(a.pGetData()),
                                 nullptr);
                     },
                     [&] {
                       w.ReleaseDynStr();
                       a.ReleaseDynStr();
                     }});
  }
}

TEST_F(CountedString, FreeConvertersAnswerAnEmptyStringWhenTheAllocatorFails) {
  CAString marked;
  RunWithFailures({[&] {
                     marked = Ansi("ab\xFF");
                     ASSERT_EQ(marked.nSetFlags(1), 0);
                   },
                   [&] {
                     const CAString utf8 = CAString_To_UTF8(marked, 1252);
                     return utf8.pGetData() == nullptr ? 1 : 0;
                   },
                   [&](int nEmpty, bool bFailed) { EXPECT_EQ(nEmpty, bFailed ? 1 : 0); },
                   [&] { marked.ReleaseDynStr(); }});
}

// ---------------------------------------------------------------------------
// Multiple assignment

TEST_F(CountedString, MultipleAssignmentJoinsThePiecesInOneBuffer) {
  CWString s;
  ASSERT_EQ(s.__nAffecteMultiple(3, L"AS (", L"x", L")"), 0);
  EXPECT_EQ(Text(s), L"AS (x)");
  EXPECT_EQ(HeaderOf(s.pGetData()).nLength, 24u);
  EXPECT_EQ(s.pszGet()[6], L'\0');

  EXPECT_EQ(s.__nAffecteMultiple(2, static_cast<const wchar_t*>(nullptr), L""), 0);
  EXPECT_EQ(s.pGetData(), nullptr);
  EXPECT_EQ(s.__nAffecteMultiple(0), 0);
  EXPECT_EQ(s.pGetData(), nullptr);
}

int LengthsOf(const CWString& s, int* pnLengths, int count, ...) {
  va_list args;
  va_start(args, count);
  const int nSum = s.__nGetLongueurMultiple(count, args, pnLengths);
  va_end(args);
  return nSum;
}

TEST_F(CountedString, TheLengthsOfThePiecesAreMeasuredAndSummed) {
  int anLengths[3] = {-1, -1, -1};
  EXPECT_EQ(LengthsOf(CWString(), anLengths, 3, L"abc", static_cast<const wchar_t*>(nullptr), L"de"), 5);
  EXPECT_EQ(anLengths[0], 3);
  EXPECT_EQ(anLengths[1], 0);
  EXPECT_EQ(anLengths[2], 2);
}

TEST_F(CountedString, MultipleAssignmentTakesPiecesFromTheStringItself) {
  CWString s = Wide(L"name");
  const wchar_t* pSelf = s.pszGet();
  ASSERT_EQ(s.__nAffecteMultiple(3, L"(", pSelf, L")"), 0);
  EXPECT_EQ(Text(s), L"(name)");
}

TEST_F(CountedString, MultipleAssignmentOfManyPiecesMeasuresThemAll) {
  CWString s;
  const wchar_t* p = L"ab";
  // 40 pieces: more than the lengths kept aside.
  ASSERT_EQ(s.__nAffecteMultiple(40, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p,
                                 p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, L"!"),
            0);
  EXPECT_EQ(s.nGetLongueur(), 79);
  EXPECT_EQ(Text(s).substr(76), L"ab!");
}

// ---------------------------------------------------------------------------
// Conversions and the high marker

TEST_F(CountedString, TheHighMarkerSurvivesConversionsBetweenWidths) {
  CWString wide = Wide(L"abc\xFFFFFFFF");
  ASSERT_EQ(wide.nSetFlags(1), 0);

  CAString ansi;
  ASSERT_EQ(ansi.nAffecteConversionExplicite(wide, 1252, 0, nullptr), 0);
  EXPECT_EQ(Text(ansi), "abc\xFF");
  EXPECT_EQ(ansi.dwGetFlags(), 1u);

  CAString utf8;
  ASSERT_EQ(utf8.nAffecteConversionExplicite(wide, 65001, 0, nullptr), 0);
  EXPECT_EQ(Text(utf8), "abc?") << "UTF-8 converts the marker like any other character";
  EXPECT_EQ(utf8.dwGetFlags(), 0u);

  char* p8 = nullptr;
  ASSERT_EQ(wide.bCreateY(p8, 1252), 1);
  EXPECT_STREQ(p8, "abc\xFF");
  XMALLOC_Del_(p8);

  wchar_t* pWide = nullptr;
  ASSERT_EQ(ansi.bCreateY(pWide, 1252), 1);
  EXPECT_EQ(std::wstring(pWide), std::wstring(L"abc\xFFFFFFFF"));
  XMALLOC_Del_(pWide);

  CVXBIN bin(reinterpret_cast<const unsigned char*>(wide.pGetData()), 16);
  StrMemHeader(bin.pbyGet())->dwFlags = 1;
  CVXBIN bytes;
  ASSERT_EQ(bytes.nAffecteToANSI(&bin, 1252, 0, nullptr, nullptr), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.pbyGet()), bytes.nGetSize()), "abc\xFF");
  EXPECT_EQ(bytes.dwGetFlags(), 1u);
}

TEST_F(CountedString, AMarkerAloneConvertsToTheOtherWidthsMarkerAlone) {
  CWString wide = Wide(L"\xFFFFFFFF");
  ASSERT_EQ(wide.nSetFlags(1), 0);
  CAString ansi;
  ASSERT_EQ(ansi.nAffecteConversionExplicite(wide, 1252, 0, nullptr), 0);
  EXPECT_EQ(Text(ansi), "\xFF");
  char* p = nullptr;
  ASSERT_EQ(wide.bCreateY(p, 1252), 1);
  EXPECT_STREQ(p, "\xFF");
  XMALLOC_Del_(p);
  const CAString utf8 = CAString_To_UTF8(ansi, 1252);
  EXPECT_EQ(Text(utf8), "?");
}

TEST_F(CountedString, AnUnmarkedTextConvertsItsLastCharacterAsAnyOther) {
  CAString ansi = Ansi("ab\xFF");  // flags 0: 0xFF is "ÿ"
  wchar_t* p = nullptr;
  ASSERT_EQ(ansi.bCreateY(p, 1252), 1);
  EXPECT_EQ(std::wstring(p), L"ab\xFF");
  XMALLOC_Del_(p);
  EXPECT_EQ(Text(CAString_To_UTF8(ansi, 1252)), "ab\xC3\xBF");
}

TEST_F(CountedString, FreeConvertersGiveTheTextInTheAskedForm) {
  EXPECT_EQ(Text(UTF8_To_CAString("caf\xC3\xA9 \xFF", 65001)), "caf\xC3\xA9 \xFF") << "copied unchanged";
  EXPECT_EQ(Text(UTF8_To_CAString("caf\xC3\xA9", 1252)), "caf\xE9");
  EXPECT_EQ(Text(UTF8_To_CWString("caf\xC3\xA9")), L"caf\xE9");
  EXPECT_EQ(Text(UTF8_To_CWString("caf\xC3\xA9", 3)), L"caf");
  EXPECT_EQ(Text(PCASTR_To_CWString("caf\xE9", 1252, -1)), L"caf\xE9");
  EXPECT_EQ(Text(PCASTR_To_UTF8("caf\xE9", 1252)), "caf\xC3\xA9");
  EXPECT_EQ(Text(PCASTR_N_To_UTF8("caf\xE9", 3, 1252)), "caf");
  EXPECT_EQ(Text(PCWSTR_To_CAString(L"\x20AC", 1252, -1)), "\x80");
  EXPECT_EQ(Text(PCWSTR_To_UTF8(L"\x20AC")), "\xE2\x82\xAC");
  EXPECT_EQ(Text(PCWSTR_N_To_UTF8(L"ab", 1)), "a");
  EXPECT_EQ(Text(CWString_To_UTF8(Wide(L"\xE9"))), "\xC3\xA9");
  const CAString utf8 = Ansi("already");
  const CAString same = CAString_To_UTF8(utf8, 65001);
  EXPECT_EQ(same.pGetData(), utf8.pGetData()) << "shared, not copied";
}

TEST_F(CountedString, CodePageMinusOneIsTheServersCurrentOne) {
  Control().SetCurrentCodePage(65001);
  EXPECT_EQ(Text(PCASTR_To_CWString("\xC3\xA9", -1, -1)), L"\xE9");
  Control().SetCurrentCodePage(1252);
  EXPECT_EQ(Text(PCASTR_To_CWString("\xC3\xA9", -1, -1)), L"\xC3\xA9");
}

TEST_F(CountedString, AConversionThatGivesNothingAnswers105) {
  struct Case {
    const char* name;
    std::function<int(CWString&, CAString&)> op;
    bool bWide;
  };
  // A lone lead byte of Shift-JIS is a truncated character.
  const Case cases[] = {
      {"code page to wide", [](CWString& w, CAString&) { return w.__nConversion("\x81", 1, 0, 932, 0, nullptr); }, true},
      {"code page to UTF-8", [](CWString&, CAString& a) { return a.nAffecteToUTF8("\x81", 1, 932); }, false},
      {"binary from code page", [](CWString&, CAString&) { CVXBIN b; return b.nAffecteToUNICODE("\x81", 1, 932, 0); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CWString w;
    CAString a;
    EXPECT_EQ(c.op(w, a), kCountedNothingConverted);
    EXPECT_EQ(c.bWide ? w.nGetLongueur() : a.nGetLongueur(), 0);
  }
}

TEST_F(CountedString, UTF8ToACodePageMakesRoomForCharactersThatGrow) {
  // "À" is two bytes in UTF-8 and four in GB18030.
  CAString s;
  ASSERT_EQ(s.nAffecteUTF8("\xC3\x80\xC3\x80", -1, 54936, 0, nullptr, nullptr), 0);
  EXPECT_EQ(Text(s), "\x81\x30\x86\x38\x81\x30\x86\x38");
}

TEST_F(CountedString, UTF16AndUTF32AssignmentsGiveTheCharacters) {
  const unsigned short utf16[] = {0x41, 0xD83D, 0xDE00, 0x42, 0};
  CWString w;
  ASSERT_EQ(w.nAffecteUTF16(utf16, -1), 0);
  EXPECT_EQ(Text(w), L"A\x1F600" L"B");
  CAString a;
  ASSERT_EQ(a.nAffecteUTF16(utf16, 4, 65001, 0, nullptr), 0);
  EXPECT_EQ(Text(a), "A\xF0\x9F\x98\x80" "B");
  ASSERT_EQ(w.nAffecteUTF32(L"xyz", 2), 0);
  EXPECT_EQ(Text(w), L"xy");
  ASSERT_EQ(a.nAffecteUTF32(L"\xE9t\xE9", -1, 1252, 0, nullptr), 0);
  EXPECT_EQ(Text(a), "\xE9t\xE9");
  ASSERT_EQ(a.nAffecteToUTF8(L"\xE9", -1, 0), 0);
  EXPECT_EQ(Text(a), "\xC3\xA9");
  EXPECT_EQ(w.nAffecteToUTF8("x", 1, 1252), 0) << "a wide string holds no UTF-8";
}

// Random ISO-8859-15 texts against iconv called directly, both ways.
TEST_F(CountedString, CodePageConversionsAgreeWithIconv) {
  iconv_t toWide = iconv_open("UTF-32LE", "ISO-8859-15");
  iconv_t toBytes = iconv_open("ISO-8859-15", "UTF-32LE");
  ASSERT_NE(toWide, reinterpret_cast<iconv_t>(-1));
  ASSERT_NE(toBytes, reinterpret_cast<iconv_t>(-1));
  std::mt19937 rng(20240611);
  for (int nRound = 0; nRound < 300; ++nRound) {
    std::string bytes(1 + rng() % 40, ' ');
    for (char& c : bytes) c = static_cast<char>(1 + rng() % 255);
    std::wstring expected(bytes.size(), L'\0');
    char* pIn = bytes.data();
    size_t nIn = bytes.size();
    char* pOut = reinterpret_cast<char*>(expected.data());
    size_t nOut = expected.size() * sizeof(wchar_t);
    ASSERT_NE(iconv(toWide, &pIn, &nIn, &pOut, &nOut), static_cast<size_t>(-1));
    SCOPED_TRACE(bytes);

    CWString w;
    ASSERT_EQ(w.__nConversion(bytes.data(), static_cast<int>(bytes.size()), 0, 28605, 0, nullptr), 0);
    EXPECT_EQ(Text(w), expected);
    CAString back;
    ASSERT_EQ(back.__nConversion(w.pszGet(), w.nGetLongueur(), 0, 28605, 0, nullptr), 0);
    EXPECT_EQ(Text(back), bytes);
  }
  iconv_close(toWide);
  iconv_close(toBytes);
}

// Short texts are decoded once through the stack, long ones twice into the
// buffer: both roads must give iconv's text, and both must refuse alike.
TEST_F(CountedString, Utf8ConversionsAgreeWithIconvOnBothSidesOfTheShortTextRoad) {
  iconv_t toWide = iconv_open("UTF-32LE", "UTF-8");
  ASSERT_NE(toWide, reinterpret_cast<iconv_t>(-1));
  const char* const kPieces[] = {"a", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"};
  std::mt19937 rng(20261210);
  for (size_t nBytes : {1u, 255u, 256u, 257u, 1000u}) {
    std::string text;
    while (text.size() < nBytes) {
      const char* piece = kPieces[rng() % 4];
      if (text.size() + std::strlen(piece) > nBytes) piece = "a";
      text += piece;
    }
    SCOPED_TRACE(nBytes);
    std::wstring expected(text.size(), L'\0');
    char* pIn = text.data();
    size_t nIn = text.size();
    char* pOut = reinterpret_cast<char*>(expected.data());
    size_t nOut = expected.size() * sizeof(wchar_t);
    ASSERT_NE(iconv(toWide, &pIn, &nIn, &pOut, &nOut), static_cast<size_t>(-1));
    expected.resize(expected.size() - nOut / sizeof(wchar_t));

    CWString w;
    ASSERT_EQ(w.__nConversion(text.data(), static_cast<int>(text.size()), 0, 65001, 0, nullptr), 0);
    EXPECT_EQ(Text(w), expected);

    std::string invalid = text;
    invalid.back() = '\xFF';
    CWString strict;
    EXPECT_EQ(strict.__nConversion(invalid.data(), static_cast<int>(invalid.size()), 0, 65001,
                                   MB_ERR_INVALID_CHARS, nullptr),
              105);
    EXPECT_EQ(Text(strict), L"");
  }
  iconv_close(toWide);
}

// ---------------------------------------------------------------------------
// The view over a value's buffer

TEST_F(CountedString, TheViewReportsSizesByType) {
  CWString wide = Wide(L"abc");
  CAString ansi = Ansi("abc");
  const unsigned char bytes[] = {1, 2, 3, 4, 5};
  CVXBIN bin(bytes, 5);
  struct Case {
    const char* name;
    unsigned char* pData;
    unsigned short nType;
    int nLength;
    unsigned int nUseful, nContent;
  };
  const Case cases[] = {
      {"wide", reinterpret_cast<unsigned char*>(wide.pGetData()), 16, 3, 12, 16},
      {"8-bit", reinterpret_cast<unsigned char*>(ansi.pGetData()), 19, 3, 3, 4},
      {"binary", bin.pbyGet(), 28, 5, 5, 5},
      {"wide without buffer", nullptr, 16, 0, 0, 0},
      {"wide-string kind 148", reinterpret_cast<unsigned char*>(wide.pGetData()), 148, 3, 12, 16},
      {"wide-string kind 149", reinterpret_cast<unsigned char*>(wide.pGetData()), 149, 3, 12, 16},
      {"another type", reinterpret_cast<unsigned char*>(wide.pGetData()), 8, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const STManipAUB view = {c.pData, c.nType, 0};
    EXPECT_EQ(view.nGetLongueur(), c.nLength);
    EXPECT_EQ(view.nGetTailleUtile(), c.nUseful);
    unsigned int n = 99;
    const unsigned char* p = view.pbyGetContenu(n);
    EXPECT_EQ(n, c.nContent);
    if (c.nType == 8) {
      EXPECT_NE(p, nullptr);  // the empty text
    } else {
      EXPECT_EQ(p, c.pData);
    }
    p = view.pbyGetContenuUtile(n);
    EXPECT_EQ(n, c.nUseful);
  }
  const STManipAUB empty = {nullptr, 16, 0};
  EXPECT_STREQ(empty.pszGetStringW(), L"");
  EXPECT_STREQ(empty.pszGetStringA(), "");
}


// ---------------------------------------------------------------------------
// Binary replacement

TEST_F(CountedString, BinaryReplacementReplacesEveryOccurrenceZeroBytesIncluded) {
  using namespace std::string_literals;
  struct Case {
    const char* name;
    std::string text, pattern, replacement;
    int from;
    std::string expected;
  };
  const Case cases[] = {
      {"a date loses its dashes", "2024-03-09", "-", "", 0, "20240309"},
      {"zero bytes inside the text stay", "a\0b\0c-d"s, "-", "", 0, "a\0b\0cd"s},
      {"a zero byte is a pattern like any other", "a\0b\0c"s, "\0"s, "", 0, "abc"},
      {"a zero byte can be put in", "a,b,c", ",", "\0"s, 0, "a\0b\0c"s},
      {"a pattern holding a zero byte", "x\0\1y\0z"s, "\0\1"s, "--", 0, "x--y\0z"s},
      {"the replacement may be longer", "a.b.c", ".", "<->", 0, "a<->b<->c"},
      {"the replacement may be shorter", "a::b::c", "::", ":", 0, "a:b:c"},
      {"the pattern at both ends", "-ab-", "-", "", 0, "ab"},
      {"the whole text matched away", "----", "-", "", 0, ""},
      {"the whole text is the pattern", "abc", "abc", "xyz", 0, "xyz"},
      {"overlaps are taken from the left", "aaaaa", "aa", "b", 0, "bba"},
      {"what was put in is not searched again", "aa", "a", "aa", 0, "aaaa"},
      {"no occurrence", "abc", "x", "y", 0, "abc"},
      {"a pattern longer than the text", "ab", "abc", "y", 0, "ab"},
      {"occurrences before the start stay", "a-b-c", "-", "", 2, "a-bc"},
      {"an occurrence at the start is replaced", "a-b-c", "-", "+", 1, "a+b+c"},
      {"a start at the end changes nothing", "a-", "-", "", 2, "a-"},
      {"a start past the end changes nothing", "a-", "-", "", 9, "a-"},
      {"bytes above 127 compare as bytes", "\xe9-\xff", "\xff", "\x80", 0, "\xe9-\x80"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CAString s = Ansi(c.text.data(), static_cast<int>(c.text.size()));
    EXPECT_EQ(s.RemplaceBinaire(c.pattern.data(), static_cast<int>(c.pattern.size()),
                                c.replacement.data(), static_cast<int>(c.replacement.size()),
                                c.from),
              0);
    EXPECT_EQ(Text(s), c.expected);
    if (s.pGetData() != nullptr) {
      // Terminated by the zero word, as every 8-bit text.
      unsigned int nWord = 1;
      std::memcpy(&nWord, s.pGetData() + s.nGetLongueur(), 4);
      EXPECT_EQ(nWord, 0u);
    }
  }
}

TEST_F(CountedString, BinaryReplacementRefusesAPatternThatWouldMatchEverywhere) {
  struct Case {
    const char* name;
    const char* pattern;
    int patternLength;
    const char* replacement;
    int replacementLength;
    int from;
  };
  const Case cases[] = {
      {"empty pattern", "-", 0, "x", 1, 0},
      {"null pattern", nullptr, 1, "x", 1, 0},
      {"negative pattern length", "-", -1, "x", 1, 0},
      {"negative replacement length", "-", 1, "x", -1, 0},
      {"null replacement with a length", "-", 1, nullptr, 1, 0},
      {"negative start", "-", 1, "x", 1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CAString s = Ansi("a-b");
    const Snapshot<char> before(s);
    EXPECT_EQ(s.RemplaceBinaire(c.pattern, c.patternLength, c.replacement, c.replacementLength,
                                c.from),
              kCountedBadArgument);
    EXPECT_EQ(s.pGetData(), before.pData);
    EXPECT_EQ(Text(s), before.text);
  }
  // An empty string has nothing to replace, even with a null replacement.
  CAString empty;
  EXPECT_EQ(empty.RemplaceBinaire("-", 1, nullptr, 0, 0), 0);
  EXPECT_EQ(empty.pGetData(), nullptr);
}

TEST_F(CountedString, BinaryReplacementLeavesCopiesAndTheirBufferAlone) {
  CAString s = Ansi("2024-03-09");
  CAString copy = s;
  ASSERT_EQ(RefCount(s), 2);
  EXPECT_EQ(s.RemplaceBinaire("-", 1, "", 0), 0);
  EXPECT_EQ(Text(s), "20240309");
  EXPECT_EQ(Text(copy), "2024-03-09");
  EXPECT_EQ(RefCount(copy), 1);
  EXPECT_EQ(RefCount(s), 1);
  // Nothing matched: the shared buffer is not copied.
  CAString again = s;
  char* pShared = s.pGetData();
  EXPECT_EQ(s.RemplaceBinaire("-", 1, "", 0), 0);
  EXPECT_EQ(s.pGetData(), pShared);
  EXPECT_EQ(RefCount(s), 2);
}

TEST_F(CountedString, BinaryReplacementTakesPatternAndReplacementFromTheStringItself) {
  CAString s = Ansi("ab-ab");
  // Pattern "ab" and replacement "b-a", both read from the buffer replaced.
  EXPECT_EQ(s.RemplaceBinaire(s.pGetData(), 2, s.pGetData() + 1, 3), 0);
  EXPECT_EQ(Text(s), "b-a-b-a");
}

TEST_F(CountedString, BinaryReplacementClearsTheHighMarkerOnlyWhenItReplaced) {
  CAString s = Ansi("a-\xff");
  ASSERT_EQ(s.nSetFlags(kCountedFlagHighMarker | 0x10), 0);
  EXPECT_EQ(s.RemplaceBinaire("x", 1, "", 0), 0);
  EXPECT_EQ(s.dwGetFlags(), kCountedFlagHighMarker | 0x10);
  EXPECT_EQ(s.RemplaceBinaire("-", 1, "", 0), 0);
  EXPECT_EQ(Text(s), "a\xff");
  EXPECT_EQ(s.dwGetFlags(), 0x10u);
}

TEST_F(CountedString, WideBinaryReplacementWorksOnCharacters) {
  CWString s;
  const wchar_t text[] = {L'a', 0, L'\x263A', L'b', 0, L'\x263A'};
  ASSERT_EQ(s.nAffecteConversion(text, 6), 0);
  const wchar_t pattern[] = {0, L'\x263A'};
  EXPECT_EQ(s.RemplaceBinaire(pattern, 2, L"--", 2), 0);
  EXPECT_EQ(Text(s), L"a--b--");
  EXPECT_EQ(s.RemplaceBinaire(L"", 0, L"x", 1), kCountedBadArgument);
}

TEST_F(CountedString, AFailedBinaryReplacementLeavesTheStringAsItWas) {
  CAString s;
  char* pBefore = nullptr;
  RunWithFailures({[&] {
                     s = Ansi("a-b-c");
                     pBefore = s.pGetData();
                   },
                   [&] { return s.RemplaceBinaire("-", 1, "==", 2); },
                   [&](int nResult, bool bFailed) {
                     if (!bFailed) {
                       EXPECT_EQ(nResult, 0);
                       EXPECT_EQ(Text(s), "a==b==c");
                       return;
                     }
                     EXPECT_EQ(nResult, kStandInAllocFailure);
                     EXPECT_EQ(s.pGetData(), pBefore);
                     EXPECT_EQ(Text(s), "a-b-c");
                   },
                   [&] { s.ReleaseDynStr(); }});
}

TEST_F(CountedString, ABinaryReplacementPastTheLimitAnswers108) {
  // Two units grow to kCountedMaxUnits / 2 + 1 each: the result would pass
  // the limit by a few units, and no buffer is asked for.
  CAString s = Ansi("--");
  const int nBig = kCountedMaxUnits / 2 + 1;
  const int nBefore = Allocations();
  // The replacement is never read when the size is refused first.
  static const char kOne[1] = {'x'};
  EXPECT_EQ(s.RemplaceBinaire("-", 1, kOne, nBig), kCountedTooLong);
  EXPECT_EQ(Allocations(), nBefore);
  EXPECT_EQ(Text(s), "--");
}

}  // namespace
