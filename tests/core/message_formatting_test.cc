// Message formatting: the format conversion from the Windows convention, the
// printf family over it, and the FormatMessage emulations.
#include "core/message_formatting.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/core/failing_heap.h"

namespace {

using kqtest::FailingHeap;

std::wstring Convert(const wchar_t* pszFormat) {
  std::wstring out(_nCalculeTailleChaineFormattageUnix(pszFormat), L'#');
  _ConvertFormatWindowsToUnix(pszFormat, out.data(), static_cast<unsigned int>(out.size()));
  EXPECT_EQ(std::wcslen(out.c_str()) + 1, out.size()) << "the size counts exactly";
  out.resize(std::wcslen(out.c_str()));
  return out;
}

TEST(FormatConversion, MapsTextConversionsAfterFlagsWidthAndPrecision) {
  struct Case {
    const wchar_t* windows;
    const wchar_t* unix;
  };
  const Case cases[] = {
      {L"%s", L"%ls"},
      {L"%S", L"%s"},
      {L"%hs", L"%s"},
      {L"%hS", L"%s"},
      {L"%ls", L"%ls"},
      {L"%lS", L"%ls"},
      {L"%ws", L"%ls"},
      {L"%hd", L"%hd"},
      {L"%1$s", L"%1$ls"},
      {L"%10s", L"%10ls"},
      {L"%-10s", L"%-10ls"},
      {L"%-10S", L"%-10s"},
      {L"%.3S", L"%.3s"},
      {L"%*.*s", L"%*.*ls"},
      {L"%c%C%hc%lc", L"%lc%c%c%lc"},
      {L"%%s", L"%%s"},
      {L"100%% %d", L"100%% %d"},
      {L"%I64d %I32u %Id", L"%lld %u %d"},
      {L"%08.3f", L"%08.3f"},
      {L"a%", L"a%"},
      {L"%-", L"%-"},
      {L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.windows, c.windows + std::wcslen(c.windows)));
    EXPECT_EQ(Convert(c.windows), c.unix);
  }
  EXPECT_EQ(_nCalculeTailleChaineFormattageUnix(nullptr), 0u);
  wchar_t sz[4] = L"abc";
  _ConvertFormatWindowsToUnix(nullptr, sz, 4);
  EXPECT_STREQ(sz, L"abc");
}

TEST(PrintfFamily, FormatsWideAndEightBitTextsTheWindowsWay) {
  wchar_t sz[64];
  EXPECT_EQ(swprintfWin(sz, L"%s/%S/%-4S|%.2S", L"w\u00e9", "n", "ab", "xyz"), 12);
  EXPECT_STREQ(sz, L"w\u00e9/n/ab  |xy");
  EXPECT_EQ(snwprintfWin(sz, 64, L"%I64d", -(1LL << 40)), 14);
  EXPECT_STREQ(sz, L"-1099511627776");
}

TEST(PrintfFamily, BoundedFormsCutAndAlwaysTerminate) {
  wchar_t sz[8];
  std::wmemset(sz, L'#', 8);
  EXPECT_EQ(sznwprintf(sz, 3, L"%s", L"abcde"), -1);
  EXPECT_STREQ(sz, L"abc");
  EXPECT_EQ(sz[4], L'#');
  EXPECT_EQ(sznwprintf(sz, 5, L"%s", L"abcde"), 5);
  EXPECT_STREQ(sz, L"abcde");
  std::wmemset(sz, L'#', 8);
  EXPECT_EQ(snwprintfWin(sz, 4, L"%s", L"abcde"), -1);
  EXPECT_STREQ(sz, L"abc");
  char sa[8];
  EXPECT_EQ(sznprintf(sa, 3, "%s", "abcde"), -1);
  EXPECT_STREQ(sa, "abc");
  EXPECT_EQ(sznprintf(sa, 3, "%d", 42), 2);
  EXPECT_STREQ(sa, "42");
}

int Vaswprintf(wchar_t** pp, const wchar_t* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  const int n = vaswprintf(pp, pszFormat, args);
  va_end(args);
  return n;
}

TEST(PrintfFamily, VaswprintfOfAnEmptyFormatGivesAnEmptyText) {
  wchar_t* p = nullptr;
  EXPECT_EQ(Vaswprintf(&p, L""), 0);
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p, L"");
  std::free(p);
}

// The buffer doubles: a megabyte of text takes a handful of attempts, not
// one per format length.
TEST(PrintfFamily, VaswprintfGrowsByDoublingForLargeTexts) {
  const std::wstring big(1 << 20, L'x');
  wchar_t* p = nullptr;
  FailingHeap::Arm(0);
  const int n = Vaswprintf(&p, L"<%s>", big.c_str());
  const int nAllocations = FailingHeap::Disarm();
  ASSERT_EQ(n, (1 << 20) + 2);
  EXPECT_EQ(std::wstring(p), L"<" + big + L">");
  EXPECT_LE(nAllocations, 24);
  std::free(p);
}

TEST(PrintfFamily, VaswprintfStopsOnErrorsThatAreNotForLackOfRoom) {
  wchar_t* p = nullptr;
  EXPECT_EQ(Vaswprintf(&p, L"a long enough text, then a lone %"), -1);
  EXPECT_EQ(errno, EINVAL);
  std::free(p);
  // Text with no wide form: the caller gets the format itself.
  p = nullptr;
  EXPECT_EQ(Vaswprintf(&p, L"<%C>", 0xE9), 4);
  EXPECT_EQ(errno, EILSEQ);
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p, L"<%C>");
  std::free(p);
}

// ---------------------------------------------------------------------------
// FormatMessageW / FormatMessageA

unsigned int MessageW(unsigned int dwFlags, const wchar_t* pszSource, wchar_t* pszBuffer,
                      unsigned int nSize, ...) {
  va_list args;
  va_start(args, nSize);
  const unsigned int n = FormatMessageW(dwFlags, pszSource, 0, 0, pszBuffer, nSize, &args);
  va_end(args);
  return n;
}

TEST(FormatMessageW, AllocatesAndFormatsPrintfStyle) {
  wchar_t* p = nullptr;
  EXPECT_EQ(MessageW(0x500, L"%s=%d", reinterpret_cast<wchar_t*>(&p), 0, L"n", 42), 4u);
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p, L"n=42");
  std::free(p);

  wchar_t sz[8];
  EXPECT_EQ(MessageW(0x400, L"%d", sz, 8, 123), 3u);
  EXPECT_STREQ(sz, L"123");
  EXPECT_EQ(MessageW(0x400, L"%s", sz, 3, L"toolong"), 0u);
}

TEST(FormatMessageW, WithoutArgumentsConversionsReadNothingFromTheStack) {
  wchar_t* p = nullptr;
  EXPECT_EQ(FormatMessageW(0x500, L"[%s|%d]", 0, 0, reinterpret_cast<wchar_t*>(&p), 0, nullptr),
            10u);
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p, L"[(null)|0]");
  std::free(p);
}

TEST(FormatMessageW, TheSystemTextOfErrno) {
  wchar_t* p = nullptr;
  errno = ENOENT;
  const unsigned int n =
      FormatMessageW(0x1100, nullptr, 0, 0, reinterpret_cast<wchar_t*>(&p), 0, nullptr);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(n, std::wcslen(p));
  EXPECT_STREQ(p, L"No such file or directory");
  std::free(p);
}

unsigned int MessageA(unsigned int dwFlags, const char* pszSource, char* pszBuffer,
                      unsigned int nSize, ...) {
  va_list args;
  va_start(args, nSize);
  const unsigned int n = FormatMessageA(dwFlags, pszSource, 0, 0, pszBuffer, nSize, &args);
  va_end(args);
  return n;
}

TEST(FormatMessageA, FormatsEightBitTextsWithoutConversion) {
  char* p = nullptr;
  EXPECT_EQ(MessageA(0x500, "%s-%d", reinterpret_cast<char*>(&p), 0, "a", 1), 3u);
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p, "a-1");
  std::free(p);
  char sz[4];
  EXPECT_EQ(MessageA(0x400, "%s", sz, 4, "abc"), 3u);
  EXPECT_EQ(MessageA(0x400, "%s", sz, 4, "abcd"), 0u);
}

// ---------------------------------------------------------------------------
// FormatMessageWin

struct WinResult {
  unsigned int n;
  int nErrno;
  std::wstring text;
};

WinResult Win(unsigned int dwFlags, const wchar_t* pszSource, unsigned int nSize, ...) {
  va_list args;
  va_start(args, nSize);
  WinResult r;
  errno = 0;
  if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    wchar_t* p = nullptr;
    r.n = FormatMessageWin(dwFlags, pszSource, 0, 0, reinterpret_cast<wchar_t*>(&p), nSize, &args);
    r.nErrno = errno;
    if (p != nullptr) r.text = p;
    std::free(p);
  } else {
    std::wstring buffer(nSize + 8, L'#');
    r.n = FormatMessageWin(dwFlags, pszSource, 0, 0, buffer.data(), nSize, &args);
    r.nErrno = errno;
    r.text = buffer.c_str();
    // Nothing is written past the caller's size.
    EXPECT_EQ(buffer.substr(nSize), std::wstring(8, L'#'));
  }
  va_end(args);
  return r;
}

TEST(FormatMessageWin, InsertsTakeTheirSpecificationOrString) {
  const WinResult r = Win(0x400, L"%1!d! %2", 64, 7, L"abc");
  EXPECT_EQ(r.n, 5u);
  EXPECT_EQ(r.text, L"7 abc");
  EXPECT_EQ(Win(0x500, L"%2 %1 %2", 0, L"a", L"b").text, L"b a b");
  EXPECT_EQ(Win(0x500, L"[%1!5d!|%2!-4S!]", 0, 42, "ab").text, L"[   42|ab  ]");
}

TEST(FormatMessageWin, EscapesAndLineBreaks) {
  struct Case {
    const char* name;
    unsigned int flags;
    const wchar_t* source;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {"%0 ends without a line break", 0x500, L"abc%0def", L"abc"},
      {"%n", 0x500, L"a%nb", L"a\r\nb"},
      {"%r", 0x500, L"a%rb", L"a\rb"},
      {"%t", 0x500, L"a%tb", L"a\tb"},
      {"%b", 0x500, L"a%bb", L"a b"},
      {"%% and %!", 0x500, L"100%% %!", L"100% !"},
      {"line feed kept at width 0", 0x500, L"a\nb\r\nc\n\rd", L"a\r\nb\r\nc\r\nd"},
      {"width 255: line feeds become blanks", 0x5FF, L"a\nb c", L"a b c"},
      {"width 255 never wraps", 0x5FF, L"aaaa bbbb cccc dddd eeee", L"aaaa bbbb cccc dddd eeee"},
      {"wrapping at the last blank", 0x50A, L"aaaa bbbb cccc dddd", L"aaaa bbbb\r\ncccc dddd"},
      {"wrapping without a blank", 0x504, L"abcdefgh", L"abcd\r\nefgh\r\n"},
      {"wrapping at a blank of an insert", 0x506, L"%1 dd", L"aa bb\r\ncc dd"},
      {"ignored inserts are copied", 0x700, L"%1!d! %2 %x", L"%1!d! %2 %x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const WinResult r = Win(c.flags, c.source, 0, L"aa bb cc", 2);
    EXPECT_EQ(r.text, c.expected);
    EXPECT_EQ(r.n, std::wcslen(c.expected));
  }
}

TEST(FormatMessageWin, MalformedInsertsAndFlagsFailWith22) {
  struct Case {
    const char* name;
    unsigned int flags;
    const wchar_t* source;
  };
  const Case cases[] = {
      {"percent at the end", 0x500, L"abc%"},
      {"three digits", 0x500, L"%100"},
      {"specification not closed", 0x500, L"%1!d"},
      {"specification too long", 0x500, L"%1!-------------------------------d!"},
      {"three stars", 0x500, L"%1!*.**d!"},
      {"writing through an argument", 0x500, L"%1!n!"},
      {"two conversions in one specification", 0x500, L"%1!d%s!"},
      {"from a module", 0xC00, L"x"},
      {"no source flag", 0x100, L"x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const WinResult r = Win(c.flags, c.source, 0, 1, 2, 3);
    EXPECT_EQ(r.n, 0u);
    EXPECT_EQ(r.nErrno, 22);
    if (c.flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
      EXPECT_EQ(r.text, L"");
    }
  }
  wchar_t* p = nullptr;
  errno = 0;
  EXPECT_EQ(FormatMessageWin(0x500, L"%1", 0, 0, reinterpret_cast<wchar_t*>(&p), 0, nullptr), 0u);
  EXPECT_EQ(errno, 22);
  EXPECT_EQ(p, nullptr);
}

TEST(FormatMessageWin, StarsTakeTheArgumentsAfterTheInsert) {
  // Width 6 from the first argument, the text from the second; %3 then reads
  // the third.
  EXPECT_EQ(Win(0x500, L"[%1!*s!]%3", 0, 6, L"ab", L"c").text, L"[    ab]c");
  EXPECT_EQ(Win(0x500, L"[%1!-*.*s!]", 0, 5, 2, L"abcdef").text, L"[ab   ]");
}

TEST(FormatMessageWin, AnArrayOfArgumentsIsReadWith0x2000) {
  const wchar_t* pszText = L"txt";
  const uint32_t aArgs[] = {9, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pszText))};
  wchar_t* p = nullptr;
  const unsigned int n =
      FormatMessageWin(0x2500, L"%1!u!-%2", 0, 0, reinterpret_cast<wchar_t*>(&p), 0,
                       reinterpret_cast<va_list*>(const_cast<uint32_t*>(aArgs)));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(n, 5u);
  EXPECT_STREQ(p, L"9-txt");
  std::free(p);
}

TEST(FormatMessageWin, AFullCallersBufferKeepsATerminatedPrefixAndAnswersItsLength) {
  const WinResult r = Win(0x400, L"abcdefgh", 5);
  EXPECT_EQ(r.n, 4u);
  EXPECT_EQ(r.nErrno, EOVERFLOW);
  EXPECT_EQ(r.text, L"abcd");
  const WinResult insert = Win(0x400, L"ab%1", 5, L"cdefgh");
  EXPECT_EQ(insert.n, 4u);
  EXPECT_EQ(insert.nErrno, EOVERFLOW);
  EXPECT_EQ(insert.text, L"abcd");
  const WinResult exact = Win(0x400, L"abcd", 5);
  EXPECT_EQ(exact.n, 4u);
  EXPECT_EQ(exact.nErrno, 0);
  // A width beyond any room is an overflow at once; the answer is what the
  // buffer holds.
  const WinResult wide = Win(0x400, L"ab%1!999999999s!", 5, L"x");
  EXPECT_EQ(wide.n, 2u);
  EXPECT_EQ(wide.nErrno, EOVERFLOW);
  EXPECT_EQ(wide.text, L"ab");
  const WinResult lineBreak = Win(0x400, L"abc%nd", 5);
  EXPECT_EQ(lineBreak.n, 3u);
  EXPECT_EQ(lineBreak.text, L"abc");
}

TEST(FormatMessageWin, AnAllocatedBlockThatOverflowsIsFreedAndNotHandedOver) {
  const std::wstring big(70000, L'x');
  const WinResult r = Win(0x500, L"%1", 0, big.c_str());
  EXPECT_EQ(r.n, 0u);
  EXPECT_EQ(r.nErrno, EOVERFLOW);
  EXPECT_EQ(r.text, L"");
  // A larger size asks for a larger block.
  const WinResult fits = Win(0x500, L"%1", 70000, big.c_str());
  EXPECT_EQ(fits.n, 70000u);
}

TEST(FormatMessageWin, TheSystemTextIsTerminatedWithinTheCallersSize) {
  const std::wstring full = L"No such file or directory";
  wchar_t sz[12];
  std::wmemset(sz, L'#', 12);
  errno = 0;
  EXPECT_EQ(FormatMessageWin(0x1000, nullptr, ENOENT, 0, sz, 10, nullptr), 9u);
  EXPECT_EQ(errno, EOVERFLOW);
  EXPECT_EQ(std::wstring(sz), full.substr(0, 9));
  EXPECT_EQ(sz[10], L'#');
  wchar_t szExact[26];
  EXPECT_EQ(FormatMessageWin(0x1000, nullptr, ENOENT, 0, szExact, 26, nullptr), 25u);
  EXPECT_EQ(std::wstring(szExact), full);
  wchar_t* p = nullptr;
  EXPECT_EQ(
      FormatMessageWin(0x1100, nullptr, ENOENT, 0, reinterpret_cast<wchar_t*>(&p), 0, nullptr),
      25u);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(std::wstring(p), full);
  std::free(p);
}

TEST(FormatMessageWin, ARefusedAllocationFailsCleanly) {
  wchar_t* p = reinterpret_cast<wchar_t*>(1);
  FailingHeap::Arm(1);
  errno = 0;
  const unsigned int n =
      FormatMessageWin(0x500, L"text", 0, 0, reinterpret_cast<wchar_t*>(&p), 0, nullptr);
  FailingHeap::Disarm();
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(errno, FORMAT_MESSAGE_ERROR_NO_MEMORY);
  EXPECT_EQ(p, nullptr);
}

// Every allocation of each road refused in turn: the call fails or succeeds,
// outputs stay consistent, and nothing leaks (the sanitized build's leak check
// sees every block).
TEST(MessageFormatting, ARefusedAllocationFailsCleanlyOnEveryRoad) {
  const std::wstring big(3000, L'y');
  const std::wstring longFormat = L"%s" + std::wstring(300, L'.');
  struct Case {
    const char* name;
    bool (*call)(const std::wstring& big, const std::wstring& longFormat);  // true: succeeded
  };
  const Case cases[] = {
      {"vaswprintf",
       [](const std::wstring& b, const std::wstring& f) {
         wchar_t* p = nullptr;
         const int n = Vaswprintf(&p, f.c_str(), b.c_str());
         std::free(p);
         return n >= 0;
       }},
      {"vsnwprintfWin with a long format",
       [](const std::wstring&, const std::wstring& f) {
         wchar_t sz[400];
         return snwprintfWin(sz, 400, f.c_str(), L"x") >= 0;
       }},
      {"FormatMessageW allocating",
       [](const std::wstring& b, const std::wstring&) {
         wchar_t* p = nullptr;
         const unsigned int n = MessageW(0x500, L"%s!", reinterpret_cast<wchar_t*>(&p), 9000,
                                         b.c_str());
         const bool bOk = p != nullptr;
         EXPECT_EQ(bOk, n != 0);
         std::free(p);
         return bOk;
       }},
      {"FormatMessageWin allocating",
       [](const std::wstring& b, const std::wstring&) {
         const WinResult r = Win(0x500, L"%1 %2!d!", 0, b.c_str(), 5);
         return r.n != 0;
       }},
      {"FormatMessageWin from the system",
       [](const std::wstring&, const std::wstring&) {
         wchar_t* p = nullptr;
         const unsigned int n =
             FormatMessageWin(0x1100, nullptr, ENOENT, 0, reinterpret_cast<wchar_t*>(&p), 40,
                              nullptr);
         std::free(p);
         return n != 0;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(c.call(big, longFormat));
    int nRefused = 0;
    kqtest::ForEachRefusedAllocation([] {}, [&] { c.call(big, longFormat); },
                                     [&](int) { ++nRefused; });
    EXPECT_GT(nRefused, 0);
  }
}

}  // namespace
