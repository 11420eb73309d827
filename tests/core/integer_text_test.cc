// Integer texts in every base, and the hexadecimal readers.
#include "core/integer_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

using std::string;

TEST(IntegerTexts, WriteDigitsSignAndTerminator) {
  char acOut[80];
  wchar_t awOut[80];
  EXPECT_STREQ(i64toa(LLONG_MIN, acOut, 10), "-9223372036854775808");
  EXPECT_STREQ(i64tow(LLONG_MIN, awOut, 10), L"-9223372036854775808");
  EXPECT_STREQ(itoa(255, acOut, 16), "ff");
  EXPECT_STREQ(itow(255, awOut, 16), L"ff");
  EXPECT_STREQ(itoa(-255, acOut, 16), "-ff");
  EXPECT_STREQ(itoa(INT_MIN, acOut, 2), ("-1" + string(31, '0')).c_str());
  EXPECT_STREQ(itoa(0, acOut, 10), "0");
  EXPECT_STREQ(ltoa(-35, acOut, 36), "-z");
  EXPECT_STREQ(ltow(LONG_MIN, awOut, 10), L"-2147483648");
  EXPECT_STREQ(ultoa(ULONG_MAX, acOut, 16), "ffffffff");
  EXPECT_STREQ(ultow(36, awOut, 36), L"10");
  EXPECT_STREQ(ui64toa(ULLONG_MAX, acOut, 2), string(64, '1').c_str());
  EXPECT_STREQ(ui64tow(ULLONG_MAX, awOut, 10), L"18446744073709551615");
  EXPECT_STREQ(ui64toa(0, acOut, 36), "0");
  EXPECT_EQ(itoa(7, acOut, 8), acOut);
  EXPECT_STREQ(itoa(7, acOut, 1), "");
  EXPECT_STREQ(itoa(7, acOut, 37), "");
}

TEST(HexadecimalTexts, ReadDigitsOfEitherCaseAndCountThem) {
  int nCount = -1;
  EXPECT_EQ(nGetEntierHexa(L"1aF;", nCount), 0x1AF);
  EXPECT_EQ(nCount, 3);
  EXPECT_EQ(nGetEntierHexa(L"xyz", nCount), 0);
  EXPECT_EQ(nCount, 0);
  EXPECT_EQ(nGetEntierHexa(L"FFFFFFFFFFFFFFFF", nCount), -1);
  EXPECT_EQ(nCount, 16);
  EXPECT_EQ(nGetEntierHexa(L"10000000000000001", nCount), 1);  // wraps
  EXPECT_EQ(nCount, 17);
  EXPECT_EQ(nGetEntierHexa(L"\xFF11", nCount), 0);  // a full-width digit is no digit
  EXPECT_EQ(nGetEntierHexa4(L"00e9zz"), 0xE9);
  EXPECT_EQ(nGetEntierHexa4(L"FFFF"), 0xFFFF);
  EXPECT_EQ(nGetEntierHexa4(L"12"), 0x12);  // a short text ends at its terminator
}

}  // namespace
