// CXTime: conversions, texts out and in, and the lower and upper bounds of
// partial texts, each run with the process time zone pinned to UTC and to a
// zone with daylight-saving time.
#include "platform/broken_down_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <ctime>
#include <string>

#include "core/wide_string.h"

namespace {

// Central European time as a POSIX rule (summer time from the last Sunday of
// March to the last Sunday of October): the same offsets as Paris for the
// dates used here, without depending on the zone database being installed.
constexpr const char* kParis = "CET-1CEST,M3.5.0,M10.5.0/3";

void UseZone(const char* zone) {
  setenv("TZ", zone, 1);
  tzset();
}

struct Fields {
  int year, month, day, hour, minute, second, milli;
};

Fields FieldsOf(const CXTime& t) {
  const tm* p = t.nGetTimeTm();
  return {p->tm_year + 1900, p->tm_mon + 1, p->tm_mday, p->tm_hour, p->tm_min, p->tm_sec, t.nGetMilli()};
}

std::string Text(const Fields& f) {
  char sz[80];
  std::snprintf(sz, sizeof sz, "%04d-%02d-%02d %02d:%02d:%02d.%03d", f.year, f.month, f.day, f.hour,
                f.minute, f.second, f.milli);
  return sz;
}

std::string Text(const CXTime& t) { return Text(FieldsOf(t)); }

std::string Narrow(const wchar_t* p) { return std::string(p, p + std::wcslen(p)); }

// Every test of these suites runs in both zones; the texts and bounds do not
// depend on the zone, the Unix-time conversions do.
class BrokenDownTime : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override { UseZone(GetParam()); }
  void TearDown() override { UseZone("UTC"); }
};

INSTANTIATE_TEST_SUITE_P(Zones, BrokenDownTime, testing::Values("UTC", kParis),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param[0] == 'U' ? "Utc" : "Paris");
                         });

TEST_P(BrokenDownTime, ResetStateIsYearZeroJanuaryFirstMidnight) {
  CXTime t;
  EXPECT_EQ(Text(t), "0000-01-01 00:00:00.000");
  EXPECT_EQ(t.nGetTimeTm()->tm_wday, -1);
  EXPECT_EQ(t.nGetTimeTm()->tm_yday, -1);
}

TEST_P(BrokenDownTime, DaysInMonthFollowTheGregorianCalendar) {
  struct Case { int year, month, days; };
  const Case cases[] = {{1900, 2, 28}, {2000, 2, 29}, {2024, 2, 29}, {2023, 2, 28}, {2024, 4, 30},
                        {2024, 12, 31}, {2024, 13, -1}, {2024, 0, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.year * 100 + c.month);
    EXPECT_EQ(CXTime::nGetDayInMonth(c.year, c.month), c.days);
  }
  EXPECT_EQ(CXTime::nGetDayInMonth(L"202402"), 29);
  EXPECT_EQ(CXTime::nGetDayInMonth(L"2"), 31);  // year 2000, January
  EXPECT_TRUE(CXTime::bBissextile(L"2"));
  EXPECT_FALSE(CXTime::bBissextile(L"1900"));
}

TEST_P(BrokenDownTime, DosWordsGiveTheirDateAndTime) {
  CXTime t(static_cast<unsigned short>(0x5821), static_cast<unsigned short>(0x6000), 0);
  EXPECT_EQ(Text(t), "2024-01-01 12:00:00.000");
}

TEST_P(BrokenDownTime, SeparateFieldsTreatMonthAndDayBelowOneAsTheFirst) {
  CXTime t(2024, 0, -3, 1, 2, 3, 0);
  EXPECT_EQ(Text(t), "2024-01-01 01:02:03.000");
}

TEST_P(BrokenDownTime, DateTimeTextsReadTheirFixedPositions) {
  struct Case { const char* text; int ok; const char* expected; };
  const Case cases[] = {
      {"20240102 030405678", 1, "2024-01-02 03:04:05.678"},
      {"2024010203040567", 1, "2024-01-02 03:04:05.670"},
      {"20240102030405678", 1, "2024-01-02 03:04:05.678"},
      {"20240102 0304056", 1, "2024-01-02 03:04:05.000"},
      {"202401020304056", 0, "0000-01-01 00:00:00.000"},
      {"", 0, "0000-01-01 00:00:00.000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    CXTime t;
    EXPECT_EQ(t.bSetVXDateTime(c.text, 0), c.ok);
    EXPECT_EQ(Text(t), c.expected);
    std::wstring wide(c.text, c.text + std::strlen(c.text));
    CXTime w;
    EXPECT_EQ(w.bSetVXDateTime(wide.c_str(), 0), c.ok);
    EXPECT_EQ(Text(w), c.expected);
  }
  CXTime t;
  EXPECT_EQ(t.bSetVXDateTime(static_cast<const char*>(nullptr), 0), 0);
}

TEST_P(BrokenDownTime, DateAndTimeTextsReadTheirParts) {
  CXTime t;
  EXPECT_EQ(t.bSetVXDate(L"20240229"), 1);
  EXPECT_EQ(Text(t), "2024-02-29 00:00:00.000");
  EXPECT_EQ(t.bSetVXDate(L"2024022"), 0);
  EXPECT_EQ(t.bSetVXDate(L"20240000"), 1);
  EXPECT_EQ(Text(t), "2024-01-01 00:00:00.000");

  struct Case { const wchar_t* text; int ok; const char* expected; };
  const Case cases[] = {
      {L"1234", 1, "0000-01-01 12:34:00.000"},
      {L"12345", 1, "0000-01-01 12:34:00.000"},
      {L"123456", 1, "0000-01-01 12:34:56.000"},
      {L"12345678", 1, "0000-01-01 12:34:56.780"},
      {L"123456789", 1, "0000-01-01 12:34:56.789"},
      {L"123", 0, "0000-01-01 00:00:00.000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    EXPECT_EQ(t.bSetVXTime(c.text), c.ok);
    EXPECT_EQ(Text(t), c.expected);
  }
  EXPECT_EQ(t.bSetVXTime(nullptr), 0);
}

TEST_P(BrokenDownTime, LowerBoundsCompletePartialTextsWithZeros) {
  struct Case { const wchar_t* text; const char* expected; };
  const Case cases[] = {
      {L"", "0000-01-01 00:00:00.000"},
      {L"2", "2000-01-01 00:00:00.000"},
      {L"2024", "2024-01-01 00:00:00.000"},
      {L"20241", "2024-10-01 00:00:00.000"},
      {L"202402", "2024-02-01 00:00:00.000"},
      {L"2024021", "2024-02-10 00:00:00.000"},
      {L"20240200", "2024-02-01 00:00:00.000"},
      {L"202402291", "2024-02-29 10:00:00.000"},
      {L"20240229 1230", "2024-02-29 12:30:00.000"},
      {L"2024022912345", "2024-02-29 12:34:50.000"},
      {L"202402291234567", "2024-02-29 12:34:56.700"},
      {L"2024022912345678", "2024-02-29 12:34:56.780"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    CXTime t;
    EXPECT_EQ(t.bSetVXDateTimeMin(c.text, 0), 1);
    EXPECT_EQ(Text(t), c.expected);
  }
}

TEST_P(BrokenDownTime, TimeLowerBoundSetsOnlyThePartsTheTextReaches) {
  CXTime t(2024, 5, 6, 7, 8, 9, 0);
  t.SetMilli(321);
  EXPECT_EQ(t.bSetVXTimeMin(L"1", 1), 1);
  EXPECT_EQ(Text(t), "2024-05-06 10:08:09.321");
  EXPECT_EQ(t.nGetTimeTm()->tm_isdst, 1);
  EXPECT_EQ(t.bSetVXTimeMin(L"123", 0), 1);
  EXPECT_EQ(Text(t), "2024-05-06 12:30:09.321");
}

TEST_P(BrokenDownTime, TimeUpperBoundIncreasesTheLastDigitWithCarries) {
  struct Case { const wchar_t* text; int ok; const char* expected; };
  const Case cases[] = {
      {L"1", 1, "0000-01-01 20:00:00.000"},
      {L"1259", 1, "0000-01-01 13:00:00.000"},
      {L"09", 1, "0000-01-01 10:00:00.000"},
      {L"05", 1, "0000-01-01 06:00:00.000"},
      {L"22", 1, "0000-01-01 23:00:00.000"},
      {L"1234", 1, "0000-01-01 12:35:00.000"},
      {L"123459", 1, "0000-01-01 12:35:00.000"},
      {L"12345699", 1, "0000-01-01 12:34:57.000"},
      {L"235959998", 1, "0000-01-01 23:59:59.999"},
      {L"235959999", 0, nullptr},
      {L"2", 0, nullptr},
      {L"3", 0, nullptr},
      {L"23", 0, nullptr},
      {L"24", 0, nullptr},
      {L"", 0, nullptr},
      {L"1234567890", 0, nullptr},
      {L"1a", 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    CXTime t;
    EXPECT_EQ(t.bSetVXTimeMax(c.text, 0), c.ok);
    if (c.ok) {
      EXPECT_EQ(Text(t), c.expected);
    }
  }
  CXTime t;
  EXPECT_EQ(t.bSetVXTimeMax(nullptr, 0), 0);
}

TEST_P(BrokenDownTime, DateTimeUpperBoundFollowsTheCalendar) {
  struct Case { const wchar_t* text; int ok; const char* expected; };
  const Case cases[] = {
      {L"2024", 1, "2025-01-01 00:00:00.000"},
      {L"202402", 1, "2024-03-01 00:00:00.000"},
      {L"202409", 1, "2024-10-01 00:00:00.000"},
      {L"20240", 1, "2024-10-01 00:00:00.000"},
      {L"202412", 1, "2025-01-01 00:00:00.000"},
      {L"20241231", 1, "2025-01-01 00:00:00.000"},
      {L"2024021", 1, "2024-02-20 00:00:00.000"},
      {L"2024022", 1, "2024-03-01 00:00:00.000"},
      {L"2024013", 1, "2024-02-01 00:00:00.000"},
      {L"20240228", 1, "2024-02-29 00:00:00.000"},
      {L"20240219", 1, "2024-02-20 00:00:00.000"},
      {L"20230228", 1, "2023-03-01 00:00:00.000"},
      {L"20240229 12", 1, "2024-02-29 13:00:00.000"},
      {L"2024022905", 1, "2024-02-29 06:00:00.000"},
      {L"2024022919", 1, "2024-02-29 20:00:00.000"},
      {L"2024022923", 1, "2024-03-01 00:00:00.000"},
      {L"202402291259", 1, "2024-02-29 13:00:00.000"},
      {L"20240229235959999", 1, "2024-03-01 00:00:00.000"},
      {L"20240229 120000000", 1, "2024-02-29 12:00:00.001"},
      {L"20240229120000000999", 0, nullptr},
      {L"9999", 0, nullptr},
      {L"99991231235959999", 0, nullptr},
      {L"", 0, nullptr},
      {L"2024x", 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    CXTime t;
    EXPECT_EQ(t.bSetVXDateTimeMax(c.text, 0), c.ok);
    if (c.ok) {
      EXPECT_EQ(Text(t), c.expected);
    }
  }
}

TEST_P(BrokenDownTime, TextsOutWriteTheLanguageAndSqlForms) {
  CXTime t(2024, 3, 4, 5, 6, 7, 0);
  t.SetMilli(89);
  CTString s;
  t.GetVXDate(s);
  EXPECT_STREQ(s.pszGet(), L"20240304");
  t.GetVXTimeHHMMSS(s);
  EXPECT_STREQ(s.pszGet(), L"050607");
  t.GetVXTimeHHMM(s);
  EXPECT_STREQ(s.pszGet(), L"0506");
  t.GetVXTimeAAAAMMJJ_HHMMSS(s);
  EXPECT_STREQ(s.pszGet(), L"20240304 050607");
  t.GetVXTimeHHMMSSCCm(s);
  EXPECT_STREQ(s.pszGet(), L"050607089");
  t.GetVXTimeAAAAMMJJHHMMSSCCm(s);
  EXPECT_STREQ(s.pszGet(), L"20240304050607089");
  t.GetVXTimeReadableSS(s);
  EXPECT_STREQ(s.pszGet(), L"04/03/2024 05:06:07");
  t.GetVXTimeReadable(s);
  EXPECT_STREQ(s.pszGet(), L"04/03/2024 05:06:07,089");
  t.FormatToOdbcTimeStamp(s);
  EXPECT_STREQ(s.pszGet(), L"{ts '2024-03-04 05:06:07.089'}");
  t.FormatToOdbcDate(s);
  EXPECT_STREQ(s.pszGet(), L"{d '2024-03-04'}");
  t.FormatToOdbcTime(s);
  EXPECT_STREQ(s.pszGet(), L"{t '05:06:07.089'}");

  wchar_t sz[CXTime::kOdbcTimeStampSize];
  t.FormatToOdbcTimeStamp(sz);
  EXPECT_STREQ(sz, L"{ts '2024-03-04 05:06:07.089'}");
  t.FormatToSQLServerTimeStamp(sz);
  EXPECT_STREQ(sz, L"20240304 05:06:07.089");
  t.FormatToOdbcDate(sz);
  EXPECT_STREQ(sz, L"{d '2024-03-04'}");
  t.FormatToOdbcTime(sz);
  EXPECT_STREQ(sz, L"{t '05:06:07.089'}");
  t.GetVXDate(sz);
  EXPECT_STREQ(sz, L"20240304");
  t.GetVXTime(sz);
  EXPECT_STREQ(sz, L"050607089");
  char sz8[CXTime::kVXTimeBufferSize];
  t.GetVXDate(sz8);
  EXPECT_STREQ(sz8, "20240304");
  t.GetVXTime(sz8);
  EXPECT_STREQ(sz8, "050607089");
}

TEST_P(BrokenDownTime, FixedBuffersCutFieldsOutOfRangeInsteadOfOverrunningThem) {
  CXTime t(123456, 3, 4, 100, 6, 7, 0);
  wchar_t sz[CXTime::kVXDateBufferSize + 4];
  std::wmemset(sz, L'#', CXTime::kVXDateBufferSize + 4);
  t.GetVXDate(sz);
  EXPECT_EQ(std::wcslen(sz), CXTime::kVXDateBufferSize - 1);
  EXPECT_EQ(sz[CXTime::kVXDateBufferSize], L'#');
  char sz8[CXTime::kVXTimeBufferSize + 4];
  std::memset(sz8, '#', sizeof sz8);
  t.SetMilli(123456);
  t.GetVXTime(sz8);
  EXPECT_EQ(std::strlen(sz8), CXTime::kVXTimeBufferSize - 1);
  EXPECT_EQ(sz8[CXTime::kVXTimeBufferSize], '#');
}

TEST_P(BrokenDownTime, FormatThatDoesNotFitGivesTheEmptyText) {
  CXTime t(2024, 1, 2, 3, 4, 5, 0);
  std::wstring pattern(300, L'x');
  wchar_t sz[CXTime::kFormatBufferSize];
  EXPECT_EQ(t.Format(pattern.c_str(), sz), 0);
  EXPECT_STREQ(sz, L"");
  CTString s(L"before");
  EXPECT_EQ(t.Format(pattern.c_str(), s), 0);
  EXPECT_STREQ(s.pszGet(), L"");
  EXPECT_EQ(t.Format(L"%Y-%m-%d", sz), 10);
  EXPECT_STREQ(sz, L"2024-01-02");
}

TEST_P(BrokenDownTime, UtcTimeIsTimegmOfTheFieldsInEverySeason) {
  // 2024-07-01 12:00 and 2024-01-01 12:00 UTC: in summer the zone's standard
  // offset is an hour off, so mktime plus that offset would be wrong there.
  CXTime summer(2024, 7, 1, 12, 0, 0, -1);
  EXPECT_EQ(summer.nGetTime32_t_UTC(), 1719835200L);
  CXTime winter(2024, 1, 1, 12, 0, 0, -1);
  EXPECT_EQ(winter.nGetTime32_t_UTC(), 1704110400L);
  tm stTm = {};
  stTm.tm_year = 124;
  stTm.tm_mon = 6;
  stTm.tm_mday = 1;
  stTm.tm_hour = 12;
  EXPECT_EQ(CXTime::s_nGetTime_t_UTC(stTm), 1719835200L);
}

TEST_P(BrokenDownTime, UnixTimesConvertToLocalAndUtcFields) {
  const bool bParis = std::string(GetParam()) == kParis;
  CXTime t(1719835200L);  // 2024-07-01 12:00 UTC
  EXPECT_EQ(Text(t), bParis ? "2024-07-01 14:00:00.000" : "2024-07-01 12:00:00.000");
  EXPECT_EQ(t.nGetTime32_t(), 1719835200L);
  t.SetUTCTime(1719835200L);
  EXPECT_EQ(Text(t), "2024-07-01 12:00:00.000");
  t = -1L;
  EXPECT_EQ(Text(t), "0000-01-01 00:00:00.000");

  tm stLocal = *CXTime(1704110400L).nGetTimeTm();
  tm stUTC = {};
  CXTime::Local2UTC(stLocal, stUTC);
  EXPECT_EQ(stUTC.tm_hour, 12);
  tm stBack = {};
  CXTime::UTC2Local(stUTC, stBack);
  EXPECT_EQ(stBack.tm_hour, bParis ? 13 : 12);
}

TEST_P(BrokenDownTime, FileTimesConvertBothWays) {
  const _FILETIME ft = CXTime::UnixTimeToFileTime(0);
  EXPECT_EQ(FileTimeToU64(ft), 116444736000000000ULL);
  EXPECT_EQ(CXTime::FileTimeToUnixTime(CXTime::UnixTimeToFileTime(1719835200L)), 1719835200LL);
  EXPECT_EQ(CXTime::FileTimeToUnixTime(U64ToFileTime(0)), -11644473600LL);

  const bool bParis = std::string(GetParam()) == kParis;
  CXTime t(CXTime::UnixTimeToFileTime(1719835200L), 0);
  EXPECT_EQ(Text(t), bParis ? "2024-07-01 14:00:00.000" : "2024-07-01 12:00:00.000");
  _FILETIME back;
  ASSERT_EQ(t.bGetAsFileTime(back), 1);
  EXPECT_EQ(CXTime::FileTimeToUnixTime(back), 1719835200LL);

  _SYSTEMTIME st;
  CXTime::UnixTimeToSystemTime(1719835200L, st);
  EXPECT_EQ(st.wHour, 12);
  EXPECT_EQ(CXTime::SystemTimeToUnixTime(st), 1719835200LL);
}

TEST_P(BrokenDownTime, SystemTimesCarryTheirFieldsAndMilliseconds) {
  _SYSTEMTIME st = {2024, 2, 4, 29, 23, 58, 57, 654};
  CXTime t(st, 0);
  EXPECT_EQ(Text(t), "2024-02-29 23:58:57.654");
  EXPECT_EQ(t.nGetTimeTm()->tm_wday, 4);
  _SYSTEMTIME out = {};
  EXPECT_EQ(t.bGetAsSystemTime(out), 1);
  EXPECT_EQ(0, std::memcmp(&out, &st, sizeof st));
}

// The language's date-time value as CXTime's template reads and fills it.
struct FakeDateTime {
  int nAnnee = 2023, nMois = 0, nJour = 0;
  unsigned int dwMilli = 45296789;  // 12:34:56.789
  _SYSTEMTIME stInit = {};
  int nGetAnnee() const { return nAnnee; }
  int nGetMois() const { return nMois; }
  int nGetJour() const { return nJour; }
  unsigned int dwGetMilli() const { return dwMilli; }
  int InitDate(_SYSTEMTIME* pst) {
    stInit = *pst;
    return 1;
  }
};

TEST_P(BrokenDownTime, LanguageDateTimeConvertsBothWays) {
  FakeDateTime dt;
  CXTime t;
  t.SetTime(dt);
  EXPECT_EQ(Text(t), "2023-01-01 12:34:56.789");
  FakeDateTime out;
  t.GetVXDateTime(&out);
  EXPECT_EQ(out.stInit.wYear, 2023);
  EXPECT_EQ(out.stInit.wMonth, 1);
  EXPECT_EQ(out.stInit.wMilliseconds, 789);
}

TEST_P(BrokenDownTime, ComparisonOrdersFieldsThenMilliseconds) {
  CXTime a(2024, 1, 1, 0, 0, 0, 0), b(2024, 1, 1, 0, 0, 0, 0);
  EXPECT_FALSE(a > b);
  EXPECT_TRUE(a >= b);
  a.SetMilli(1);
  EXPECT_TRUE(a > b);
  b = CXTime(2024, 2, 1, 0, 0, 0, 0);
  EXPECT_FALSE(a >= b);
  EXPECT_LT(CXTime::snCompare(a.nGetTimeTm(), b.nGetTimeTm()), 0);
}

TEST_P(BrokenDownTime, ClockReadingsAreNearTheSystemClock) {
  CXTime utc;
  utc.SetFromUTCTime();
  EXPECT_EQ(utc.nGetTimeTm()->tm_isdst, -1);
  CXTime reference;
  reference.SetUTCTime(static_cast<long>(time(nullptr)));
  EXPECT_LE(std::abs(utc.nGetTime32_t_UTC() - reference.nGetTime32_t_UTC()), 2);
  CXTime local;
  local.SetFromLocalTime();
  EXPECT_LE(std::abs(local.nGetTime32_t() - static_cast<long>(time(nullptr))), 2);
  EXPECT_LE(std::abs(CXTime::nGetCurrentTime() - static_cast<long>(time(nullptr))), 2);
}

}  // namespace
