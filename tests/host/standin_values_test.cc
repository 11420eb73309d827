// The stand-in server's conversion entries and decimal objects: conversions
// both ways, failure codes, forced results, ownership of what the entries
// hand out, and decimal keys that sort as the numbers.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/host/standin_values_fixture.h"

namespace {

using namespace kqtest_standin;

// ---------------------------------------------------------------------------
// Conversions.

TEST_F(StandInValues, NumbersDatesAndDurationsConvertToWideText) {
  unsigned char abyMoney[10] = {};
  int64_t nMillionths = 12500000;  // 12.5
  std::memcpy(abyMoney, &nMillionths, 8);
  Area money;
  std::memcpy(money.b, abyMoney, 10);
  unsigned char abyNegMoney[10];
  std::memset(abyNegMoney, 0xFF, 10);
  int64_t nNeg = -3000000;  // -3
  std::memcpy(abyNegMoney, &nNeg, 8);
  Area negMoney;
  std::memcpy(negMoney.b, abyNegMoney, 10);
  Area dateTime;
  dateTime.b[0] = 15;
  dateTime.b[1] = 1;
  uint16_t nYear = 2024;
  std::memcpy(dateTime.b + 2, &nYear, 2);
  uint32_t nMs = 45296789;  // 12:34:56.789
  std::memcpy(dateTime.b + 4, &nMs, 4);
  Area dateA;
  std::memcpy(dateA.b, "20240229", 9);
  Area point = AreaOf<int64_t>(0);
  int32_t xy[2] = {3, -4};
  std::memcpy(point.b, xy, 8);

  struct Case {
    const char* name;
    Area area;
    unsigned int nType;
    const wchar_t* expected;
  } cases[] = {
      {"I4", AreaOf<int32_t>(-42), VX_I4, L"-42"},
      {"alias 15", AreaOf<int32_t>(7), VX_I4_ALIAS, L"7"},
      {"UI8 max", AreaOf<uint64_t>(~0ull), VX_UI8, L"18446744073709551615"},
      {"I8 min", AreaOf<int64_t>(std::numeric_limits<int64_t>::min()), VX_I8,
       L"-9223372036854775808"},
      {"I1", AreaOf<int8_t>(-128), VX_I1, L"-128"},
      {"BOOL non-zero", AreaOf<int32_t>(5), VX_BOOL, L"1"},
      {"R8", AreaOf<double>(1.5), VX_R8, L"1.5"},
      {"R4 shortest", AreaOf<float>(0.1f), VX_R4, L"0.1"},
      {"R8 large", AreaOf<double>(1e300), VX_R8, L"1e+300"},
      {"CY", money, VX_CY, L"12.5"},
      {"CY negative whole", negMoney, VX_CY, L"-3"},
      {"DATETIME", dateTime, VX_DATETIME, L"20240115123456789"},
      {"DATEA", dateA, VX_DATEA, L"20240229"},
      {"DUREE", AreaOf<int64_t>(-(86400000LL * 2 + 3723004)), VX_DUREE, L"-2010203004"},
      {"DUREE zero", AreaOf<int64_t>(0), VX_DUREE, L"0000000000"},
      {"POINT", point, VX_POINT, L"3,-4"},
      {"CARA in 1252", AreaOf<uint16_t>(0xE9), VX_CARA, L"\u00E9"},
      {"CARW", AreaOf<uint64_t>(0x20AC), VX_CARW, L"\u20AC"},
      {"CARA zero", AreaOf<uint16_t>(0), VX_CARA, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int r;
    EXPECT_EQ(Text(c.area, c.nType, &r), c.expected);
    EXPECT_EQ(r, 0);
    // The counted form gives the same text.
    Area dest;
    ASSERT_EQ(Convert(c.area, c.nType, &dest, VX_DSTRW), 0);
    unsigned char* pBuffer = static_cast<unsigned char*>(Word(dest));
    std::wstring counted;
    if (pBuffer) {
      EXPECT_EQ(StrMemHeader(pBuffer)->nRefCount, 1);
      counted.assign(reinterpret_cast<const wchar_t*>(pBuffer),
                     StrMemHeader(pBuffer)->nLength / sizeof(wchar_t));
      EXPECT_EQ(reinterpret_cast<const wchar_t*>(pBuffer)[counted.size()], L'\0');
    }
    EXPECT_EQ(counted, c.expected);
    Fin(&dest, VX_DSTRW);
  }
}

TEST_F(StandInValues, TextConvertsToNumbersWithRangeAndSyntaxChecks) {
  struct Case {
    const wchar_t* text;
    unsigned int nType;
    int nCode;
    int64_t nExpected;  // integer types and BOOL
  } cases[] = {
      {L"42", VX_I4, 0, 42},
      {L"  -7 ", VX_I1, 0, -7},
      {L"", VX_I4, 0, 0},
      {L"1.9", VX_I4, 0, 1},
      {L"-1.9", VX_I4, 0, -1},
      {L"1e3", VX_I2, 0, 1000},
      {L"1,5", VX_I2, 0, 1},
      {L"255", VX_UI1, 0, 255},
      {L"256", VX_UI1, kStandInOverflow, 0},
      {L"-1", VX_UI4, kStandInOverflow, 0},
      {L"2147483648", VX_I4, kStandInOverflow, 0},
      {L"-2147483648", VX_I4, 0, std::numeric_limits<int32_t>::min()},
      {L"9223372036854775807", VX_I8, 0, std::numeric_limits<int64_t>::max()},
      {L"9223372036854775808", VX_I8, kStandInOverflow, 0},
      {L"abc", VX_I4, kStandInNotANumber, 0},
      {L"12abc", VX_I4, kStandInNotANumber, 0},
      {L"1e", VX_I4, kStandInNotANumber, 0},
      {L"nan", VX_I4, kStandInOverflow, 0},
      {L"TRUE", VX_BOOL, 0, 1},
      {L"faux", VX_BOOL, 0, 0},
      {L"0.5", VX_BOOL, 0, 1},
      {L"oui", VX_BOOL, kStandInNotANumber, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text) + " to type " + std::to_string(c.nType));
    Area dest;
    std::memset(dest.b, 0xAB, sizeof dest.b);
    Area before = dest;
    ASSERT_EQ(FromText(c.text, c.nType, &dest), c.nCode);
    if (c.nCode != 0) {
      EXPECT_EQ(std::memcmp(dest.b, before.b, sizeof dest.b), 0) << "a failure writes nothing";
      continue;
    }
    int64_t v = 0;
    switch (c.nType) {
      case VX_I1: v = Get<int8_t>(dest); break;
      case VX_I2: v = Get<int16_t>(dest); break;
      case VX_UI1: v = Get<uint8_t>(dest); break;
      case VX_UI4: v = Get<uint32_t>(dest); break;
      case VX_I8: v = Get<int64_t>(dest); break;
      default: v = Get<int32_t>(dest); break;
    }
    EXPECT_EQ(v, c.nExpected);
  }
}

TEST_F(StandInValues, TextConvertsToReals) {
  struct Case {
    const wchar_t* text;
    unsigned int nType;
    int nCode;
    double expected;
  } cases[] = {
      {L"0.1", VX_R8, 0, 0.1},
      {L"-2.5e-3", VX_R8, 0, -0.0025},
      {L"1e308", VX_R8, 0, 1e308},
      {L"3.4028235e38", VX_R4, 0, static_cast<double>(std::numeric_limits<float>::max())},
      {L"1e39", VX_R4, kStandInOverflow, 0},
      {L"inf", VX_R8, 0, std::numeric_limits<double>::infinity()},
      {L"x1", VX_R8, kStandInNotANumber, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    Area dest;
    ASSERT_EQ(FromText(c.text, c.nType, &dest), c.nCode);
    if (c.nCode) continue;
    double d = c.nType == VX_R4 ? Get<float>(dest) : Get<double>(dest);
    EXPECT_EQ(d, c.expected);
  }
}

// Reference model: std::in_range decides whether a value fits each type.
TEST_F(StandInValues, IntegerConversionsMatchTheirRangesForRandomValues) {
  std::mt19937_64 rng(20261210);
  auto Check = [&](const Area& src, unsigned int nSrcType, auto value) {
    auto Expect = [&](unsigned int nType, auto sample) {
      using T = decltype(sample);
      Area dest;
      int r = Convert(src, nSrcType, &dest, nType);
      if (std::in_range<T>(value)) {
        ASSERT_EQ(r, 0) << value << " to " << nType;
        EXPECT_EQ(static_cast<long long>(Get<T>(dest)) == static_cast<long long>(value) ||
                      static_cast<unsigned long long>(Get<T>(dest)) ==
                          static_cast<unsigned long long>(value),
                  true)
            << value << " to " << nType;
      } else {
        EXPECT_EQ(r, kStandInOverflow) << value << " to " << nType;
      }
    };
    Expect(VX_UI1, uint8_t{});
    Expect(VX_UI2, uint16_t{});
    Expect(VX_UI4, uint32_t{});
    Expect(VX_UI8, uint64_t{});
    Expect(VX_I1, int8_t{});
    Expect(VX_I2, int16_t{});
    Expect(VX_I4, int32_t{});
    Expect(VX_I8, int64_t{});
  };
  for (int i = 0; i < 300; ++i) {
    int nBits = static_cast<int>(rng() % 64) + 1;
    uint64_t u = rng() >> (64 - nBits);
    int64_t s = static_cast<int64_t>(rng()) >> (64 - nBits);
    Check(AreaOf(u), VX_UI8, u);
    Check(AreaOf(s), VX_I8, s);
  }
}

// Property: for every type with a text form, value -> wide text -> value
// gives the value back, bit for bit.
TEST_F(StandInValues, ValuesSurviveARoundTripThroughWideText) {
  std::mt19937_64 rng(99);
  auto RandomArea = [&](unsigned int nType) {
    Area a;
    uint64_t r = rng();
    switch (nType) {
      case VX_BOOL: return AreaOf<int32_t>(static_cast<int32_t>(r & 1));
      case VX_R4: {
        float f;
        do {
          uint32_t bits = static_cast<uint32_t>(r);
          std::memcpy(&f, &bits, 4);
          r = rng();
        } while (!std::isfinite(f));
        return AreaOf(f);
      }
      case VX_R8: {
        double d;
        do {
          std::memcpy(&d, &r, 8);
          r = rng();
        } while (!std::isfinite(d));
        return AreaOf(d);
      }
      case VX_CY:
        std::memcpy(a.b, &r, 8);
        a.b[8] = static_cast<unsigned char>(rng());
        a.b[9] = static_cast<unsigned char>(rng());
        return a;
      case VX_DATETIME: {
        // Days 1 to 28 are valid in every month.
        a.b[0] = static_cast<unsigned char>(1 + r % 28);
        a.b[1] = static_cast<unsigned char>(1 + (r >> 8) % 12);
        uint16_t y = static_cast<uint16_t>(1 + (r >> 16) % 9999);
        uint32_t ms = static_cast<uint32_t>((r >> 32) % 86400000u);
        std::memcpy(a.b + 2, &y, 2);
        std::memcpy(a.b + 4, &ms, 4);
        return a;
      }
      default:
        std::memcpy(a.b, &r, 8);
        return a;
    }
  };
  struct Type {
    unsigned int nType;
    size_t nBytes;
  } types[] = {{VX_BOOL, 4}, {VX_UI1, 1},  {VX_UI2, 2}, {VX_UI4, 4}, {VX_UI8, 8},
               {VX_I1, 1},   {VX_I2, 2},   {VX_I4, 4},  {VX_I8, 8},  {VX_UIX, 4},
               {VX_R4, 4},   {VX_R8, 8},   {VX_CY, 10}, {VX_DUREE, 8}, {VX_DATETIME, 8}};
  for (const Type& t : types) {
    for (int i = 0; i < 200; ++i) {
      Area value = RandomArea(t.nType);
      Area text;
      ASSERT_EQ(Convert(value, t.nType, &text, VX_DSTRW), 0) << t.nType;
      Area back;
      ASSERT_EQ(Convert(text, VX_DSTRW, &back, t.nType), 0) << t.nType;
      EXPECT_EQ(std::memcmp(value.b, back.b, t.nBytes), 0)
          << "type " << t.nType << ": " << Narrow(Text(value, t.nType));
      Fin(&text, VX_DSTRW);
    }
  }
}

// Every conversion between well-formed areas either succeeds, and the
// release entry gives back what it made, or fails without writing.
TEST_F(StandInValues, EveryConversionSucceedsOrFailsCleanly) {
  unsigned char* pWide;
  unsigned char* p8 = Counted("2024", 4);
  unsigned char* pBin = Counted("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
  Area wide = WideArea(L"12.5", &pWide);
  IVXDecimal* pDecimal = DecimalOf(L"-3.75");
  const wchar_t* pszWide = L"20240115";
  const char* psz8 = "1";
  Area dateW, timeA, money;
  ASSERT_EQ(FromText(L"20240115", VX_DATEW, &dateW), 0);
  ASSERT_EQ(FromText(L"1230", VX_TIMEA, &timeA), 0);
  ASSERT_EQ(FromText(L"-7.25", VX_CY, &money), 0);
  struct Source {
    unsigned int nType;
    Area area;
  } sources[] = {{VX_BOOL, AreaOf<int32_t>(1)},       {VX_UI1, AreaOf<uint8_t>(200)},
                 {VX_I2, AreaOf<int16_t>(-300)},      {VX_UI8, AreaOf<uint64_t>(~0ull)},
                 {VX_I8, AreaOf<int64_t>(-5)},        {VX_R4, AreaOf<float>(2.5f)},
                 {VX_R8, AreaOf<double>(-1e20)},      {VX_CY, money},
                 {VX_DECIMAL, AreaOf(pDecimal)},      {VX_DSTRW, wide},
                 {VX_DSTRA, AreaOf(p8)},              {VX_PSTRW, AreaOf(pszWide)},
                 {VX_PSTRA, AreaOf(psz8)},            {VX_CARA, AreaOf<uint16_t>('7')},
                 {VX_CARW, AreaOf<uint64_t>(L'x')},   {VX_DATEW, dateW},
                 {VX_TIMEA, timeA},                   {VX_DUREE, AreaOf<int64_t>(-1)},
                 {VX_BIN, AreaOf(pBin)},              {VX_POINT, AreaOf<uint64_t>(0)}};
  for (const Source& src : sources) {
    for (unsigned int nDest = 0; nDest < 256; ++nDest) {
      Area dest;
      std::memset(dest.b, 0xC3, sizeof dest.b);
      Area before = dest;
      int r = Convert(src.area, src.nType, &dest, nDest);
      if (r > kVXLastSuccess) {
        EXPECT_EQ(std::memcmp(dest.b, before.b, sizeof dest.b), 0) << src.nType << " to " << nDest;
      } else {
        Fin(&dest, nDest);
      }
    }
  }
  EXPECT_EQ(Control().nLiveDecimals(), 1);
  EXPECT_EQ(Control().nLiveStrBuffers(), 3);
  Bound().factory->DestroyDecimal(pDecimal);
  Release(pWide);
  Release(p8);
  Release(pBin);
}

TEST_F(StandInValues, MoneyIsAnExactEightyBitCountOfMillionths) {
  struct Case {
    const wchar_t* text;
    int nCode;
    const wchar_t* back;
  } cases[] = {
      {L"604462909807314587.353087", 0, L"604462909807314587.353087"},
      {L"604462909807314587.353088", kStandInOverflow, nullptr},
      {L"-604462909807314587.353088", 0, L"-604462909807314587.353088"},
      {L"-604462909807314587.353089", kStandInOverflow, nullptr},
      {L"0.0000005", 0, L"0.000001"},
      {L"-0.0000005", 0, L"-0.000001"},
      {L"0.0000004", 0, L"0"},
      {L"123456789012.345678", 0, L"123456789012.345678"},
      {L"1.10", 0, L"1.1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    Area money;
    ASSERT_EQ(FromText(c.text, VX_CY, &money), c.nCode);
    if (c.nCode == 0) {
      EXPECT_EQ(Text(money, VX_CY), c.back);
    }
  }
  // The layout: R = value x 10^6, 10 bytes little-endian two's complement.
  Area one;
  ASSERT_EQ(FromText(L"-1", VX_CY, &one), 0);
  const unsigned char expected[10] = {0xC0, 0xBD, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(std::memcmp(one.b, expected, 10), 0);
}

TEST_F(StandInValues, DatesAndTimesConvertBetweenTextAndTheirTypes) {
  struct Case {
    const wchar_t* text;
    unsigned int nType;
    int nCode;
    const wchar_t* back;
  } cases[] = {
      {L"20240229", VX_DATEW, 0, L"20240229"},
      {L"2024-02-29", VX_DATEA, 0, L"20240229"},
      {L"20230229", VX_DATEW, kStandInBadDate, nullptr},
      {L"15000229", VX_DATEW, 0, L"15000229"},  // a Julian leap year
      {L"17000229", VX_DATEW, kStandInBadDate, nullptr},
      {L"2024011", VX_DATEA, kStandInBadDate, nullptr},
      {L"", VX_DATEW, 0, L""},
      {L"1234567", VX_TIMEA, 0, L"123456700"},
      {L"12", VX_TIMEW, 0, L"120000000"},
      {L"12:30:15.250", VX_TIMEW, 0, L"123015250"},
      {L"123", VX_TIMEA, kStandInBadTime, nullptr},
      {L"1260", VX_TIMEA, kStandInBadTime, nullptr},
      {L"20240115123456789", VX_DATETIME, 0, L"20240115123456789"},
      {L"2024-01-15 12:30", VX_DATETIME, 0, L"20240115123000000"},
      {L"20240115", VX_DATETIME, 0, L"20240115000000000"},
      {L"20241315", VX_DATETIME, kStandInBadDate, nullptr},
      {L"2024011525", VX_DATETIME, kStandInBadTime, nullptr},
      {L"", VX_DATETIME, 0, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text) + " to type " + std::to_string(c.nType));
    Area dest;
    ASSERT_EQ(FromText(c.text, c.nType, &dest), c.nCode);
    if (c.nCode == 0) {
      EXPECT_EQ(Text(dest, c.nType), c.back);
    }
  }
}

TEST_F(StandInValues, DateTimeAndItsPartsConvertToEachOther) {
  Area dateW;
  ASSERT_EQ(FromText(L"20240115", VX_DATEW, &dateW), 0);
  Area dt;
  ASSERT_EQ(Convert(dateW, VX_DATEW, &dt, VX_DATETIME), 0);
  EXPECT_EQ(dt.b[0], 15);
  EXPECT_EQ(dt.b[1], 1);
  EXPECT_EQ(Get<uint16_t>(Area(dt)) >> 0, 15 | (1 << 8));  // day and month bytes
  EXPECT_EQ(Text(dt, VX_DATETIME), L"20240115000000000");

  Area full;
  ASSERT_EQ(FromText(L"20240115123456789", VX_DATETIME, &full), 0);
  Area timeA, dateA;
  ASSERT_EQ(Convert(full, VX_DATETIME, &timeA, VX_TIMEA), 0);
  ASSERT_EQ(Convert(full, VX_DATETIME, &dateA, VX_DATEA), 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(timeA.b), "123456789");
  EXPECT_STREQ(reinterpret_cast<const char*>(dateA.b), "20240115");
  // A date has no time and a time no date.
  Area out;
  EXPECT_EQ(Convert(dateA, VX_DATEA, &out, VX_TIMEW), kStandInNotConvertible);
  EXPECT_EQ(Convert(timeA, VX_TIMEA, &out, VX_DATEW), kStandInNotConvertible);
}

TEST_F(StandInValues, DurationsConvertToAndFromTextAndMilliseconds) {
  struct Case {
    const wchar_t* text;
    int nCode;
    int64_t ms;
  } cases[] = {
      {L"0000000000", 0, 0},
      {L"1230000000", 0, 86400000LL + 23 * 3600000LL},
      {L"-1000000001", 0, -86400001LL},
      {L"106751991167300000000", kStandInBadDuration, 0},  // beyond 64 bits
      {L"12", kStandInBadDuration, 0},
      {L"1240000000", kStandInBadDuration, 0},
      {L"12x0000000", kStandInBadDuration, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    Area d;
    ASSERT_EQ(FromText(c.text, VX_DUREE, &d), c.nCode);
    if (c.nCode) continue;
    EXPECT_EQ(Get<int64_t>(d), c.ms);
    EXPECT_EQ(Text(d, VX_DUREE), c.text);
  }
  Area d = AreaOf<int64_t>(5000000000LL), out;
  ASSERT_EQ(Convert(d, VX_DUREE, &out, VX_I8), 0);
  EXPECT_EQ(Get<int64_t>(out), 5000000000LL);
  EXPECT_EQ(Convert(d, VX_DUREE, &out, VX_I4), kStandInOverflow);
  ASSERT_EQ(Convert(AreaOf<int32_t>(-5), VX_I4, &out, VX_DUREE), 0);
  EXPECT_EQ(Get<int64_t>(out), -5);
}

TEST_F(StandInValues, BinaryValuesConvertRawOnlyAtEightBytes) {
  const unsigned char bytes[8] = {1, 2, 3, 4, 5, 6, 7, 0x80};
  unsigned char* p8 = Counted(bytes, 8);
  unsigned char* p7 = Counted(bytes, 7);
  for (unsigned int nType : {VX_I8, VX_UI8, VX_R8, VX_DUREE, VX_DATETIME}) {
    SCOPED_TRACE(nType);
    Area out;
    ASSERT_EQ(Convert(AreaOf(p8), VX_BIN, &out, nType), 0);
    EXPECT_EQ(std::memcmp(out.b, bytes, 8), 0);
    EXPECT_EQ(Convert(AreaOf(p7), VX_BIN, &out, nType), kStandInBinNot8Bytes);
  }
  Area text;
  ASSERT_EQ(Convert(AreaOf(p7), VX_BIN, &text, VX_DSTRA), 0);
  unsigned char* pText = static_cast<unsigned char*>(Word(text));
  ASSERT_NE(pText, nullptr);
  EXPECT_EQ(StrMemHeader(pText)->nLength, 7u);
  EXPECT_EQ(std::memcmp(pText, bytes, 7), 0) << "bytes pass as they are";
  Fin(&text, VX_DSTRA);
  Release(p8);
  Release(p7);
}

TEST_F(StandInValues, EightBitTextIsReadAndWrittenInItsCodePage) {
  const CodePage cp1252{1252}, utf8{65001}, cp1251{1251}, unknown{777}, zero{0};
  struct Case {
    const char* name;
    std::string bytes;
    CodePage cp;
    int nCode;
    std::wstring text;
  } cases[] = {
      {"1252", "\xE9\x80", cp1252, 0, L"\u00E9\u20AC"},
      {"utf-8", "\xC3\xA9\xE2\x82\xAC", utf8, 0, L"\u00E9\u20AC"},
      {"1251 through iconv", "\xC6", cp1251, 0, L"\u0416"},
      {"unknown is 1252", "\x80", unknown, 0, L"\u20AC"},
      {"0 is 1252", "\x9C", zero, 0, L"\u0153"},
      {"invalid utf-8", "\xC3\x28", utf8, kStandInBadCodePage, L""},
      {"truncated utf-8", "\xE2\x82", utf8, kStandInBadCodePage, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unsigned char* p = Counted(c.bytes.data(), c.bytes.size());
    int r;
    std::wstring s = Text(AreaOf(p), VX_DSTRA, &r, c.cp.p());
    EXPECT_EQ(r, c.nCode);
    if (r == 0) {
      EXPECT_EQ(s, c.text);
      // And back to the same bytes.
      unsigned char* pWide;
      Area wide = WideArea(c.text, &pWide);
      Area back;
      ASSERT_EQ(Convert(wide, VX_DSTRW, &back, VX_DSTRA, c.cp.p()), 0);
      unsigned char* pBack = static_cast<unsigned char*>(Word(back));
      EXPECT_EQ(std::string(reinterpret_cast<char*>(pBack), StrMemHeader(pBack)->nLength),
                c.bytes);
      Fin(&back, VX_DSTRA);
      Release(pWide);
    }
    Release(p);
  }
}

TEST_F(StandInValues, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  const CodePage cp1252{1252};
  unsigned char* pWide;
  Area wide = WideArea(L"a\u65E5b", &pWide);
  Area out;
  ASSERT_EQ(Convert(wide, VX_DSTRW, &out, VX_PSTRA, cp1252.p()), 0);
  EXPECT_STREQ(static_cast<const char*>(Word(out)), "a?b");
  Fin(&out, VX_PSTRA);
  Release(pWide);
}

TEST_F(StandInValues, WithoutCodePageTheLocalesCurrentOneApplies) {
  const char bytes[] = "\xC3\xA9";
  unsigned char* p = Counted(bytes, 2);
  EXPECT_EQ(Text(AreaOf(p), VX_DSTRA), L"\u00C3\u00A9");
  Control().SetCurrentCodePage(65001);
  EXPECT_EQ(Text(AreaOf(p), VX_DSTRA), L"\u00E9");
  const CodePage current{-1};
  EXPECT_EQ(Text(AreaOf(p), VX_DSTRA, nullptr, current.p()), L"\u00E9");
  Release(p);
}

// Ownership: a counted result has count 1; the caller shares it, and
// FinConversion drops the entry's reference only.
TEST_F(StandInValues, ReleaseEntryDropsOnlyTheEntrysReference) {
  Area out;
  ASSERT_EQ(Convert(AreaOf<int32_t>(123), VX_I4, &out, VX_DSTRW), 0);
  unsigned char* pBuffer = static_cast<unsigned char*>(Word(out));
  ASSERT_NE(pBuffer, nullptr);
  ++StrMemHeader(pBuffer)->nRefCount;  // the caller's share
  Fin(&out, VX_DSTRW);
  EXPECT_EQ(Word(out), nullptr);
  EXPECT_EQ(Control().nLiveStrBuffers(), 1);
  EXPECT_EQ(StrMemHeader(pBuffer)->nRefCount, 1);
  Release(pBuffer);

  ASSERT_EQ(Convert(AreaOf<int32_t>(5), VX_I4, &out, VX_PSTRA), 0);
  EXPECT_EQ(Control().nLiveConversionStrings(), 1);
  Fin(&out, VX_PSTRA);
  EXPECT_EQ(Control().nLiveConversionStrings(), 0);
  Fin(&out, VX_PSTRA);  // a second release finds nothing
  EXPECT_EQ(Control().nFinConversionCalls(), 3);
}

TEST_F(StandInValues, AnEmptyTextIsTheNullBuffer) {
  Area empty = AreaOf<void*>(nullptr), out;
  ASSERT_EQ(Convert(empty, VX_DSTRW, &out, VX_DSTRA), 0);
  EXPECT_EQ(Word(out), nullptr);
  Fin(&out, VX_DSTRA);
  ASSERT_EQ(Convert(empty, VX_DSTRA, &out, VX_PSTRW), 0);
  ASSERT_NE(Word(out), nullptr);
  EXPECT_STREQ(static_cast<const wchar_t*>(Word(out)), L"");
  Fin(&out, VX_PSTRW);
}

TEST_F(StandInValues, CountedTextIntoAHandleWritesOnlyThePointer) {
  struct {
    unsigned char* pBuffer;
    uint32_t nGuard;
  } handle = {nullptr, 0xFEEDFACE};
  int32_t n = 77;
  ASSERT_EQ(Bound().conv(&n, VX_I4, &handle, VX_DSTRA, 0, nullptr), 0);
  EXPECT_EQ(handle.nGuard, 0xFEEDFACE);
  ASSERT_NE(handle.pBuffer, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(handle.pBuffer), 2), "77");
  Bound().fin(&handle, VX_DSTRA);
}

TEST_F(StandInValues, UnknownTypesAndObjectsDoNotConvert) {
  Area out;
  struct Case {
    unsigned int nFrom, nTo;
  } cases[] = {{VX_NONE, VX_DSTRW}, {VX_I4, VX_NONE}, {VX_OBJET_BASE, VX_DSTRW},
               {VX_I4, VX_BUFFER},  {VX_I4, VX_POINT}, {200, VX_I4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.nFrom) + " to " + std::to_string(c.nTo));
    EXPECT_EQ(Convert(AreaOf<int32_t>(1), c.nFrom, &out, c.nTo), kStandInNotConvertible);
  }
}

TEST_F(StandInValues, AForcedConversionResultAppliesToTheNextCallOnly) {
  Area out;
  std::memset(out.b, 0x5A, sizeof out.b);
  Area before = out;
  Control().ForceNextConversionResult(120);
  EXPECT_EQ(Convert(AreaOf<int32_t>(1), VX_I4, &out, VX_R8), 120);
  EXPECT_EQ(std::memcmp(out.b, before.b, sizeof out.b), 0);
  EXPECT_EQ(Convert(AreaOf<int32_t>(1), VX_I4, &out, VX_R8), 0);
  EXPECT_EQ(Get<double>(out), 1.0);
  // A forced success code still converts.
  Control().ForceNextConversionResult(7);
  EXPECT_EQ(Convert(AreaOf<int32_t>(2), VX_I4, &out, VX_R8), 7);
  EXPECT_EQ(Get<double>(out), 2.0);
  EXPECT_EQ(Control().nConversionCalls(), 3);
}

// ---------------------------------------------------------------------------
// Decimal objects.

TEST_F(StandInValues, DecimalObjectsAreCountedFromCreationToDestruction) {
  IVXDecimal* a = Bound().factory->pCreateDecimal(0);
  IVXDecimal* b = Bound().factory->pCreateDecimal(0);
  EXPECT_EQ(Control().nLiveDecimals(), 2);
  EXPECT_EQ(a->bIsNegative(), 0);
  EXPECT_EQ(a->nReserved4(), 38);
  EXPECT_EQ(a->nReserved5(), 0);
  Bound().factory->DestroyDecimal(a);
  Bound().factory->DestroyDecimal(nullptr);
  EXPECT_EQ(Control().nLiveDecimals(), 1);
  Bound().factory->DestroyDecimal(b);
}

TEST_F(StandInValues, TheFactoryThrowsWhenToldToAndThenWorksAgain) {
  Control().FailDecimalCreateAt(2);
  IVXDecimal* a = Bound().factory->pCreateDecimal(0);
  EXPECT_THROW(Bound().factory->pCreateDecimal(0), CStandInDecimalCreateFailure);
  IVXDecimal* c = Bound().factory->pCreateDecimal(0);
  EXPECT_EQ(Control().nLiveDecimals(), 2);
  Bound().factory->DestroyDecimal(a);
  Bound().factory->DestroyDecimal(c);
}

TEST_F(StandInValues, DecimalsConvertToAndFromTextWithTheirScale) {
  struct Case {
    const wchar_t* text;
    int nCode;
    const wchar_t* back;
  } cases[] = {
      {L"12.50", 0, L"12.50"},
      {L"-0.001", 0, L"-0.001"},
      {L"-0", 0, L"0"},
      {L"99999999999999999999999999999999999999", 0, L"99999999999999999999999999999999999999"},
      {L"999999999999999999999999999999999999999", kStandInOverflow, nullptr},
      {L"1.23456789012345678901234567890123456789", 0,
       L"1.2345678901234567890123456789012345679"},
      {L"1e-40", 0, L"0.00000000000000000000000000000000000000"},
      // Digits beyond the 38th are rounded away in one step, not one at a time.
      {L"1.000000000000000000000000000000000000445", 0, L"1.0000000000000000000000000000000000004"},
      {L"-2.000000000000000000000000000000000001449", 0, L"-2.0000000000000000000000000000000000014"},
      {L"9.999999999999999999999999999999999999995", 0, L"10.000000000000000000000000000000000000"},
      {L"x", kStandInNotANumber, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    Area d;
    ASSERT_EQ(FromText(c.text, VX_DECIMAL, &d), c.nCode);
    if (c.nCode) continue;
    EXPECT_EQ(Text(d, VX_DECIMAL), c.back);
    Fin(&d, VX_DECIMAL);
    EXPECT_EQ(Word(d), nullptr);
  }
}

TEST_F(StandInValues, DecimalsConvertToOtherNumbers) {
  IVXDecimal* d = DecimalOf(L"-1234.5678");
  Area a = AreaOf(d), out;
  ASSERT_EQ(Convert(a, VX_DECIMAL, &out, VX_I4), 0);
  EXPECT_EQ(Get<int32_t>(out), -1234);
  ASSERT_EQ(Convert(a, VX_DECIMAL, &out, VX_R8), 0);
  EXPECT_EQ(Get<double>(out), -1234.5678);
  ASSERT_EQ(Convert(a, VX_DECIMAL, &out, VX_CY), 0);
  EXPECT_EQ(Text(out, VX_CY), L"-1234.5678");
  ASSERT_EQ(Convert(a, VX_DECIMAL, &out, VX_I1), kStandInOverflow);
  Bound().factory->DestroyDecimal(d);
  // A DECIMAL area without a live object is refused, not read.
  EXPECT_EQ(Convert(AreaOf<void*>(nullptr), VX_DECIMAL, &out, VX_I4), kStandInBadDecimal);
  EXPECT_EQ(Convert(AreaOf(d), VX_DECIMAL, &out, VX_I4), kStandInBadDecimal);
}

TEST_F(StandInValues, DecimalFormRoundTripsAndMalformedFormsAreRefused) {
  IVXDecimal* d = DecimalOf(L"-987654321.123");
  unsigned char form[kVXDecimalFormSize];
  d->WriteForm(form);
  EXPECT_EQ(form[0], 38);
  EXPECT_EQ(form[1], 3);
  IVXDecimal* e = Bound().factory->pCreateDecimal(0);
  e->SetFromForm(form);
  EXPECT_EQ(e->nReserved9(), 0);
  EXPECT_EQ(Text(AreaOf(e), VX_DECIMAL), L"-987654321.123");
  EXPECT_EQ(e->bIsNegative(), 1);

  struct Bad {
    const char* name;
    unsigned char nPrecision, nScale;
  } bad[] = {{"precision 0", 0, 0}, {"precision 39", 39, 0}, {"scale over precision", 5, 6},
             {"too many digits", 4, 0}};
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.name);
    unsigned char f[kVXDecimalFormSize];
    std::memcpy(f, form, sizeof f);
    f[0] = b.nPrecision;
    f[1] = b.nScale;
    e->SetFromForm(f);
    EXPECT_EQ(e->nReserved9(), 1);
    EXPECT_EQ(Text(AreaOf(e), VX_DECIMAL), L"-987654321.123") << "unchanged";
  }
  Bound().factory->DestroyDecimal(d);
  Bound().factory->DestroyDecimal(e);
}

TEST_F(StandInValues, SettingPrecisionAndScaleRoundsOrRefuses) {
  struct Case {
    const wchar_t* text;
    int nPrecision, nScale;
    int bRefused;
    const wchar_t* after;
  } cases[] = {
      {L"1.235", 10, 2, 0, L"1.24"},
      {L"-1.235", 10, 2, 0, L"-1.24"},
      {L"1.5", 10, 4, 0, L"1.5000"},
      {L"123.4", 3, 1, 1, L"123.4"},
      {L"99.96", 3, 1, 1, L"99.96"},  // rounds to 100.0: four digits
      {L"0.5", 50, 60, 0, L"0.50000000000000000000000000000000000000"},  // clamped to 38, 38
      {L"12.345", 50, 60, 1, L"12.345"},  // no room for the integer digits at scale 38
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    IVXDecimal* d = DecimalOf(c.text);
    d->SetPrecisionScale(c.nPrecision, c.nScale);
    EXPECT_EQ(d->nReserved9(), c.bRefused);
    EXPECT_EQ(Text(AreaOf(d), VX_DECIMAL), c.after);
    Bound().factory->DestroyDecimal(d);
  }
}

TEST_F(StandInValues, AssignCopiesAnotherDecimal) {
  IVXDecimal* a = DecimalOf(L"-5.25");
  IVXDecimal* b = Bound().factory->pCreateDecimal(0);
  b->Assign(a);
  EXPECT_EQ(Text(AreaOf(b), VX_DECIMAL), L"-5.25");
  b->Assign(nullptr);
  EXPECT_EQ(Text(AreaOf(b), VX_DECIMAL), L"-5.25");
  Bound().factory->DestroyDecimal(a);
  Bound().factory->DestroyDecimal(b);
}

TEST_F(StandInValues, DecimalKeysSortAsTheNumbersForRandomDecimals) {
  std::mt19937 rng(42);
  std::vector<std::pair<std::string, std::vector<unsigned char>>> items;
  for (int i = 0; i < 200; ++i) {
    int nDigits = 1 + static_cast<int>(rng() % 38);
    int nScale = static_cast<int>(rng() % (nDigits + 1));
    std::string s;
    for (int k = 0; k < nDigits; ++k) s.push_back(static_cast<char>('0' + rng() % 10));
    if (rng() % 4 == 0) s.assign(static_cast<size_t>(nDigits), '0'), s.back() = '1';
    if (nScale) s.insert(s.size() - nScale, ".");
    if (s[0] == '.') s.insert(0, "0");
    if (rng() % 2) s.insert(0, "-");
    IVXDecimal* d = DecimalOf(std::wstring(s.begin(), s.end()));
    std::vector<unsigned char> key(kVXDecimalKeySize);
    d->WriteKey(key.data());
    Bound().factory->DestroyDecimal(d);
    items.emplace_back(s, key);
  }
  for (size_t i = 0; i < items.size(); ++i) {
    for (size_t j = 0; j < items.size(); ++j) {
      int expected = CompareDecimalTexts(items[i].first, items[j].first);
      int got = std::memcmp(items[i].second.data(), items[j].second.data(), kVXDecimalKeySize);
      got = got < 0 ? -1 : got > 0 ? 1 : 0;
      ASSERT_EQ(got, expected) << items[i].first << " vs " << items[j].first;
    }
  }
}

TEST_F(StandInValues, DecimalKeysIgnoreTheScaleOfEqualNumbers) {
  IVXDecimal* a = DecimalOf(L"1.5");
  IVXDecimal* b = DecimalOf(L"1.50000");
  unsigned char ka[32], kb[32];
  a->WriteKey(ka);
  b->WriteKey(kb);
  EXPECT_EQ(std::memcmp(ka, kb, 32), 0);
  Bound().factory->DestroyDecimal(a);
  Bound().factory->DestroyDecimal(b);
}

// The key encoder's route: precision and scale set on the value's object,
// its data read, a fresh object set from (precision, scale, data).
TEST_F(StandInValues, DataCarriesTheNumberToAFreshObject) {
  IVXDecimal* d = DecimalOf(L"-42.125");
  d->SetPrecisionScale(10, 2);
  ASSERT_EQ(d->nGetDataSize(), kVXDecimalFormSize);
  IVXDecimal* e = Bound().factory->pCreateDecimal(0);
  e->SetFromData(10, 2, d->pGetData());
  EXPECT_EQ(e->nReserved9(), 0);
  EXPECT_EQ(Text(AreaOf(e), VX_DECIMAL), L"-42.13");
  unsigned char k1[32], k2[32];
  d->WriteKey(k1);
  e->WriteKey(k2);
  EXPECT_EQ(std::memcmp(k1, k2, 32), 0);
  e->SetFromData(3, 1, d->pGetData());  // 42.1 needs no more than 3 digits
  EXPECT_EQ(Text(AreaOf(e), VX_DECIMAL), L"-42.1");
  Bound().factory->DestroyDecimal(d);
  Bound().factory->DestroyDecimal(e);
}

}  // namespace
