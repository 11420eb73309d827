// The readers of the database text of values, on their own: temporal text by
// its separators, numbers whatever the locale, booleans and binaries, and
// slots of every small capacity (nothing written past one, under ASan).
#include "items/database_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "values/money.h"

namespace {

struct Parsed {
  bool bOk;
  stDBTemporal st;
};

Parsed Parse(const std::string& s) {
  Parsed r;
  r.bOk = DBText_bParseTemporal(s.data(), s.size(), &r.st);
  return r;
}

TEST(DatabaseText, TemporalTextIsReadBySeparators) {
  struct Case {
    const char* psz;
    bool bDate;
    int y, mo, d;
    bool bTime;
    bool bNeg;
    int h, mi, s, ms;
  };
  const Case cases[] = {
      {"2024-02-29", true, 2024, 2, 29, false, false, 0, 0, 0, 0},
      {"2024-02-29 13:45:07", true, 2024, 2, 29, true, false, 13, 45, 7, 0},
      {"2024-02-29 13:45:07.1", true, 2024, 2, 29, true, false, 13, 45, 7, 100},  // was a wrong date
      {"2024-02-29 13:45:07.12", true, 2024, 2, 29, true, false, 13, 45, 7, 120},
      {"2024-02-29 13:45:07.125", true, 2024, 2, 29, true, false, 13, 45, 7, 125},
      {"2024-02-29 13:45:07.1259", true, 2024, 2, 29, true, false, 13, 45, 7, 125},
      {"2024-02-29 13:45:07.12599", true, 2024, 2, 29, true, false, 13, 45, 7, 125},
      {"9999-12-31 23:59:59.999999", true, 9999, 12, 31, true, false, 23, 59, 59, 999},
      {"2024-02-29T01:02:03", true, 2024, 2, 29, true, false, 1, 2, 3, 0},
      {"0000-00-00", true, 0, 0, 0, false, false, 0, 0, 0, 0},
      {"0000-00-00 00:00:00", true, 0, 0, 0, true, false, 0, 0, 0, 0},
      {"13:45:07", false, 0, 0, 0, true, false, 13, 45, 7, 0},
      {"13:45:07.5", false, 0, 0, 0, true, false, 13, 45, 7, 500},
      {"13:45:07.123456", false, 0, 0, 0, true, false, 13, 45, 7, 123},
      {"-01:02:03.5", false, 0, 0, 0, true, true, 1, 2, 3, 500},
      {"100:00:00", false, 0, 0, 0, true, false, 100, 0, 0, 0},
      {"-838:59:59.000000", false, 0, 0, 0, true, true, 838, 59, 59, 0},
      {"13:45", false, 0, 0, 0, true, false, 13, 45, 0, 0},
      {"1345", false, 0, 0, 0, true, false, 13, 45, 0, 0},
      {"134507", false, 0, 0, 0, true, false, 13, 45, 7, 0},
      {"20240229", true, 2024, 2, 29, false, false, 0, 0, 0, 0},
      {"20240229134507", true, 2024, 2, 29, true, false, 13, 45, 7, 0},
      {"20240229 13:45:07.125", true, 2024, 2, 29, true, false, 13, 45, 7, 125},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.psz);
    const Parsed r = Parse(c.psz);
    ASSERT_TRUE(r.bOk);
    EXPECT_EQ(r.st.bHasDate, c.bDate);
    EXPECT_EQ(r.st.nYear, c.y);
    EXPECT_EQ(r.st.nMonth, c.mo);
    EXPECT_EQ(r.st.nDay, c.d);
    EXPECT_EQ(r.st.bHasTime, c.bTime);
    EXPECT_EQ(r.st.bNegative, c.bNeg);
    EXPECT_EQ(r.st.nHours, c.h);
    EXPECT_EQ(r.st.nMinutes, c.mi);
    EXPECT_EQ(r.st.nSeconds, c.s);
    EXPECT_EQ(r.st.nMilliseconds, c.ms);
  }
}

TEST(DatabaseText, TextOfAnyOtherShapeIsRefused) {
  const char* const bad[] = {
      "", "2024/02/29", "2024-2-29", "2024-02-29 ", "2024-02-29 13:45:07.", "2024-02-29 13:45:07.1234567",
      "2024-13-01", "2024-01-32", "2024-02-29 24:00:00", "2024-02-29 -01:00:00", "13:60:00",
      "13:45:61", "1:2:3", "abcd", "12345", "1234567", "2024022913450", "13:45:07x", "-", "::",
      "2024-02-29 13:45:07.12a", "0000:00:00:00", "x2024-02-29",
  };
  for (const char* psz : bad) {
    SCOPED_TRACE(psz);
    EXPECT_FALSE(Parse(psz).bOk);
  }
  stDBTemporal st;
  EXPECT_FALSE(DBText_bParseTemporal(nullptr, 0, &st));
  // A NUL inside the text is not a separator.
  EXPECT_FALSE(Parse(std::string("2024-02-29\0 13:45:07", 20)).bOk);
}

std::vector<unsigned char> Slot(eNA_ITEMTYPE e, const std::string& text, size_t nCapacity,
                                bool* pbOk) {
  stDBTemporal st;
  EXPECT_TRUE(DBText_bParseTemporal(text.data(), text.size(), &st)) << text;
  // Exactly the capacity: ASan sees any byte written past it.
  std::vector<unsigned char> v(nCapacity, 0xCC);
  *pbOk = DBText_bWriteTemporal(e, st, v.data(), v.size());
  return v;
}

std::string Chars(const std::vector<unsigned char>& v) { return std::string(v.begin(), v.end()); }

TEST(DatabaseText, TemporalValuesBecomeTheRecordFormOfTheItem) {
  bool bOk;
  // Date-time: the date word and the milliseconds.
  auto v = Slot(NA_IT_DATETIME, "2024-02-29 13:45:07.125", 8, &bOk);
  ASSERT_TRUE(bOk);
  uint32_t adw[2];
  std::memcpy(adw, v.data(), 8);
  EXPECT_EQ(adw[0], 2024u * 65536 + 2 * 256 + 29);
  EXPECT_EQ(adw[1], 49507125u);
  v = Slot(NA_IT_DATETIME, "13:45:07", 8, &bOk);
  std::memcpy(adw, v.data(), 8);
  EXPECT_EQ(adw[0], 0u);
  EXPECT_EQ(adw[1], 49507000u);
  // Date: YYYYMMDD and its terminator.
  EXPECT_EQ(Chars(Slot(NA_IT_DATE8, "2024-02-29 13:45:07", 9, &bOk)), std::string("20240229\0", 9));
  EXPECT_EQ(Chars(Slot(NA_IT_DATE8, "0000-00-00", 9, &bOk)), std::string("00000000\0", 9));
  EXPECT_EQ(Chars(Slot(NA_IT_DATE8, "13:45:07", 9, &bOk)), std::string(9, '\0'));
  // Time: as many fraction digits as the slot holds before its last byte.
  EXPECT_EQ(Chars(Slot(NA_IT_HEURE, "13:45:07.125", 7, &bOk)), std::string("134507\0", 7));
  EXPECT_EQ(Chars(Slot(NA_IT_HEURE, "13:45:07.125", 10, &bOk)), std::string("134507125\0", 10));
  EXPECT_EQ(Chars(Slot(NA_IT_HEURE, "2024-02-29", 10, &bOk)), std::string("000000000\0", 10));
  // Other items: zeroed, true.
  EXPECT_EQ(Chars(Slot(NA_IT_DATE6, "2024-02-29", 7, &bOk)), std::string(7, '\0'));
  EXPECT_TRUE(bOk);
}

TEST(DatabaseText, TimesThatAreNoTimeOfDayAndHoldersWithoutItemFail) {
  bool bOk;
  for (const char* psz : {"-01:00:00", "100:00:00", "24:00:00"}) {
    for (eNA_ITEMTYPE e : {NA_IT_HEURE, NA_IT_DATETIME}) {
      auto v = Slot(e, psz, 10, &bOk);
      EXPECT_FALSE(bOk) << psz;
      EXPECT_EQ(Chars(v), std::string(10, '\0')) << psz;
    }
  }
  Slot(NA_IT_EMPTY, "2024-02-29", 10, &bOk);
  EXPECT_FALSE(bOk);
}

TEST(DatabaseText, SmallSlotsReceiveWhatFitsAndNothingMore) {
  for (eNA_ITEMTYPE e : {NA_IT_DATE8, NA_IT_DATETIME, NA_IT_HEURE}) {
    for (size_t nCap = 0; nCap <= 11; ++nCap) {
      SCOPED_TRACE(nCap);
      bool bOk;
      auto v = Slot(e, "2024-02-29 13:45:07.125", nCap, &bOk);
      EXPECT_TRUE(bOk);
      if (nCap > 0 && e != NA_IT_DATETIME) {
        EXPECT_EQ(v.back(), 0) << "the terminator is kept";
      }
    }
  }
}

TEST(DatabaseText, BooleansFollowTheFirstCharacter) {
  for (const char* psz : {"0", "F", "f", "false", ""}) EXPECT_FALSE(DBText_bBoolean(psz, std::strlen(psz))) << psz;
  for (const char* psz : {"1", "T", "x", "true", "-1"}) EXPECT_TRUE(DBText_bBoolean(psz, std::strlen(psz))) << psz;
  EXPECT_FALSE(DBText_bBoolean("\0" "1", 2));
}

template <class T>
T Number(const char* psz, unsigned short nType, bool* pbOk) {
  T v{};
  *pbOk = DBText_bParseNumber(psz, std::strlen(psz), nType, &v);
  return v;
}

TEST(DatabaseText, IntegersTakeTheirWholeRangeAndNothingBeyond) {
  bool b;
  EXPECT_EQ(Number<int64_t>("-9223372036854775808", 9, &b), std::numeric_limits<int64_t>::min());
  EXPECT_TRUE(b);
  EXPECT_EQ(Number<int64_t>("9223372036854775807", 9, &b), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(Number<uint64_t>("18446744073709551615", 5, &b), UINT64_MAX);
  EXPECT_TRUE(b);
  EXPECT_EQ(Number<uint32_t>("4294967295", 4, &b), 4294967295u);
  EXPECT_EQ(Number<int32_t>("-2147483648", 8, &b), INT32_MIN);
  EXPECT_EQ(Number<int16_t>("-32768", 7, &b), -32768);
  EXPECT_EQ(Number<uint16_t>("65535", 3, &b), 65535);
  EXPECT_EQ(Number<int8_t>("-128", 6, &b), -128);
  EXPECT_EQ(Number<uint8_t>("255", 2, &b), 255);
  EXPECT_EQ(Number<int32_t>(" 12.99 ", 8, &b), 12);
  EXPECT_TRUE(b);
  EXPECT_EQ(Number<int32_t>("-12.99", 8, &b), -12);
  EXPECT_EQ(Number<uint32_t>("-0", 4, &b), 0u);
  EXPECT_TRUE(b);
  const struct {
    const char* psz;
    unsigned short nType;
  } bad[] = {{"9223372036854775808", 9}, {"-9223372036854775809", 9}, {"18446744073709551616", 5},
             {"4294967296", 4}, {"-1", 4}, {"256", 2}, {"128", 6}, {"-129", 6}, {"", 8}, {"  ", 8},
             {"1e3", 8}, {"12,5", 8}, {"0x10", 8}, {"+", 8}, {".", 8}, {"1 2", 8}, {"1", 13}, {"1", 19}};
  for (const auto& c : bad) {
    int64_t v = 77;
    EXPECT_FALSE(DBText_bParseNumber(c.psz, std::strlen(c.psz), c.nType, &v)) << c.psz;
    EXPECT_EQ(v, 77) << "nothing written for " << c.psz;
  }
}

TEST(DatabaseText, RealsAndMoneyReadTheDotWhateverTheLocale) {
  // Any decimal-comma locale the machine has; the readers must not care.
  const char* const locales[] = {"C", "de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "fr_FR"};
  for (const char* pszLocale : locales) {
    if (std::setlocale(LC_ALL, pszLocale) == nullptr) continue;
    SCOPED_TRACE(pszLocale);
    bool b;
    EXPECT_EQ(Number<double>("12.5", 12, &b), 12.5);
    EXPECT_EQ(Number<double>("0.1234567890123", 12, &b), 0.1234567890123);
    EXPECT_EQ(Number<double>("-1.7976931348623157e308", 12, &b), -1.7976931348623157e308);
    EXPECT_EQ(Number<double>("2.2250738585072014E-308", 12, &b), 2.2250738585072014e-308);
    EXPECT_EQ(Number<double>("+5", 12, &b), 5.0);
    EXPECT_EQ(Number<float>("3.40282e38", 11, &b), 3.40282e38f);
    EXPECT_TRUE(b);
    EXPECT_EQ(Number<float>("0.1", 11, &b), 0.1f);
    double d = 9;
    for (const char* psz : {"12,5", "1e400", "inf", "nan", "0x1p3", "1e", "--1", "1.2.3"}) {
      EXPECT_FALSE(DBText_bParseNumber(psz, std::strlen(psz), 12, &d)) << psz;
    }
    EXPECT_EQ(d, 9);
    CMoney m;
    ASSERT_TRUE(DBText_bParseNumber("-604462909807314587.353088", 26, 10, &m));
    CMoney ref;
    ASSERT_NE(pstChaineVersMonetaire(&ref, L"-604462909807314587.353088"), nullptr);
    EXPECT_EQ(std::memcmp(&m, &ref, sizeof m), 0);
    ASSERT_TRUE(DBText_bParseNumber("12.50", 5, 10, &m));
    ASSERT_NE(pstChaineVersMonetaire(&ref, L"12.5"), nullptr);
    EXPECT_EQ(std::memcmp(&m, &ref, sizeof m), 0);
    EXPECT_FALSE(DBText_bParseNumber("12,50", 5, 10, &m));
    EXPECT_FALSE(DBText_bParseNumber("999999999999999999999", 21, 10, &m));
  }
  std::setlocale(LC_ALL, "C");
}

TEST(DatabaseText, BinariesCarryTheirLengthAndAreCutToTheSlot) {
  std::vector<unsigned char> bytes(256);
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<unsigned char>(i);
  for (size_t nCap = 0; nCap <= 260; nCap += (nCap < 8 ? 1 : 63)) {
    SCOPED_TRACE(nCap);
    std::vector<unsigned char> slot(nCap, 0xCC);
    DBText_WriteBinary(bytes.data(), bytes.size(), slot.data(), slot.size());
    const size_t nExpected = nCap < 2 ? 0 : std::min<size_t>(nCap - 2, 256);
    if (nCap >= 2) {
      EXPECT_EQ(slot[0] | (slot[1] << 8), static_cast<int>(nExpected));
      EXPECT_EQ(std::memcmp(slot.data() + 2, bytes.data(), nExpected), 0);
    }
    for (size_t i = (nCap >= 2 ? 2 + nExpected : 0); i < nCap; ++i) EXPECT_EQ(slot[i], 0);
  }
}

}  // namespace
