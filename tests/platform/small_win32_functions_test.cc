// Standard handles, language ids, version information, MulDiv and the fills.
#include "platform/small_win32_functions.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

TEST(SmallWin32Functions, StandardHandlesAreTheFileDescriptors) {
  EXPECT_EQ(GetStdHandle(static_cast<unsigned int>(-10)), 0);
  EXPECT_EQ(GetStdHandle(static_cast<unsigned int>(-11)), 1);
  EXPECT_EQ(GetStdHandle(static_cast<unsigned int>(-12)), 2);
  EXPECT_EQ(GetStdHandle(0), -1);
  EXPECT_EQ(GetSystemDefaultLangID(), 0x800);
  EXPECT_EQ(GetUserDefaultLangID(), 0x800);
}

TEST(SmallWin32Functions, VersionInformationKeepsOnlyTheLengthAndNamesLinux) {
  _OSVERSIONINFO info;
  std::memset(&info, 0x5A, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  EXPECT_TRUE(GetVersionEx(&info));
  EXPECT_EQ(info.dwOSVersionInfoSize, sizeof info);
  EXPECT_EQ(info.dwMajorVersion, 0u);
  EXPECT_EQ(info.dwPlatformId, 1000u);
  EXPECT_EQ(info.szCSDVersion[127], 0);
}

TEST(SmallWin32Functions, MulDivRoundsHalfAwayFromZeroWithA64BitProduct) {
  struct Case { int a, b, c, expected; };
  const Case cases[] = {
      {7, 3, 2, 11},        {-7, 3, 2, -11},      {7, -3, 2, -11},   {-7, -3, 2, 11},
      {7, 3, -2, -11},      {-7, 3, -2, 11},      {1, 1, 0, -1},     {10, 10, 3, 33},
      {100000, 100000, 100000, 100000},  // the 32-bit product would wrap
      {INT_MAX, 2, 2, INT_MAX},          {INT_MAX, 2, 1, -1},    // does not fit
      {INT_MIN, 1, 1, -1},               {0, 5, 7, 0},
      {5, 1, 10, 1},                     {4, 1, 10, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a << " * " << c.b << " / " << c.c);
    EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected);
  }
}

TEST(SmallWin32Functions, FillsStopAtTheTerminatorOrTheCount) {
  char sz[] = "abcdef";
  EXPECT_EQ(_strset(sz, 'x'), sz);
  EXPECT_STREQ(sz, "xxxxxx");
  char sz2[] = "abcdef";
  EXPECT_EQ(_strnset(sz2, 'y', 3), sz2 + 3);
  EXPECT_STREQ(sz2, "yyydef");
  EXPECT_EQ(_strnset(sz2, 'z', 100), sz2 + 6);
  EXPECT_STREQ(sz2, "zzzzzz");
  EXPECT_EQ(_strnset(sz2, 'q', 0), sz2);
  char empty[] = "";
  EXPECT_EQ(_strnset(empty, 'q', 4), empty);
  EXPECT_EQ(_strnset(nullptr, 'q', 4), nullptr);
  EXPECT_TRUE(LinuxIsCharAlphaNumericA('Q'));
  EXPECT_FALSE(LinuxIsCharAlphaNumericA(' '));
}

}  // namespace
