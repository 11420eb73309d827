// FILETIME and SYSTEMTIME conversions, checked against std::chrono's civil
// calendar, with the process time zone pinned for each test.
#include "platform/file_time.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>

namespace {

namespace chr = std::chrono;

constexpr int64_t kUnits = 10000000;
constexpr int64_t kEpoch = 116444736000000000LL;
constexpr uint64_t kMaxFileTime = 0x7FFFFFFFFFFFFFFFULL;

void UseZone(const char* zone) {
  setenv("TZ", zone, 1);
  tzset();
}

// Every test names its zone; afterwards the process is back on UTC, so that
// the C library's zone data is the same before and after each test.
class FileTimeIn : public testing::Test {
 protected:
  void TearDown() override { UseZone("UTC"); }
};

class FileTimeInUtc : public FileTimeIn {
 protected:
  void SetUp() override { UseZone("UTC"); }
};

class FileTimeInParis : public FileTimeIn {
 protected:
  void SetUp() override { UseZone("Europe/Paris"); }
};

FILETIME Ft(uint64_t v) { return U64ToFileTime(v); }

SYSTEMTIME St(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  SYSTEMTIME st = {};
  st.wYear = (unsigned short)y;
  st.wMonth = (unsigned short)mo;
  st.wDay = (unsigned short)d;
  st.wHour = (unsigned short)h;
  st.wMinute = (unsigned short)mi;
  st.wSecond = (unsigned short)s;
  st.wMilliseconds = (unsigned short)ms;
  return st;
}

// The record std::chrono gives for a FILETIME value.
SYSTEMTIME Expected(uint64_t v) {
  int64_t since1970 = int64_t(v) - kEpoch;
  auto units = chr::duration<int64_t, std::ratio<1, 10000000>>(since1970);
  auto tp = chr::sys_time<decltype(units)>(units);
  auto day = chr::floor<chr::days>(tp);
  chr::year_month_day ymd(day);
  chr::hh_mm_ss<chr::milliseconds> hms(chr::floor<chr::milliseconds>(tp - day));
  SYSTEMTIME st = St(int(ymd.year()), unsigned(ymd.month()), unsigned(ymd.day()), int(hms.hours().count()),
                     int(hms.minutes().count()), int(hms.seconds().count()),
                     int(hms.subseconds().count()));
  st.wDayOfWeek = (unsigned short)chr::weekday(day).c_encoding();
  return st;
}

std::string Text(const SYSTEMTIME& st) {
  char b[64];
  std::snprintf(b, sizeof b, "%04u-%02u-%02u %02u:%02u:%02u.%03u dow %u", st.wYear, st.wMonth, st.wDay,
                st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, st.wDayOfWeek);
  return b;
}

// ---------------------------------------------------------------------------
// UTC conversions.

TEST_F(FileTimeInUtc, TimeZeroIsTheEpochOfFileTimes) {
  FILETIME ft = {1, 2};
  EXPECT_EQ(TimeToFileTime(0, &ft), 116444736000000000ULL);
  EXPECT_EQ(FileTimeToU64(ft), 116444736000000000ULL);
  EXPECT_EQ(TimeToFileTime(-1, nullptr), 116444736000000000ULL - 10000000);
}

TEST_F(FileTimeInUtc, ASubSecondFileTimeBreaksDownAsDocumented) {
  FILETIME ft = Ft(116444736000000000ULL + 12345678);
  SYSTEMTIME st;
  ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
  EXPECT_EQ(Text(st), "1970-01-01 00:00:01.234 dow 4");
}

TEST_F(FileTimeInUtc, FileTimesBreakDownAsTheCivilCalendarSaysAcrossTheirRange) {
  // Random values over the whole range, weighted toward the years around 1970
  // on both sides.
  std::mt19937_64 rng(1);
  for (int i = 0; i < 20000; ++i) {
    uint64_t v = i % 2 ? rng() % (kMaxFileTime + 1)
                       : uint64_t(kEpoch + int64_t(rng() % (200ULL * 365 * 86400 * kUnits)) -
                                  100LL * 365 * 86400 * kUnits);
    FILETIME ft = Ft(v);
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &st)) << v;
    ASSERT_EQ(Text(st), Text(Expected(v))) << v;
    // And back, to the millisecond.
    FILETIME back;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &back)) << Text(st);
    ASSERT_EQ(FileTimeToU64(back), v - v % 10000) << Text(st);
  }
}

TEST_F(FileTimeInUtc, TheEdgesOfTheRangeConvert) {
  struct Case {
    uint64_t v;
    const char* text;
  } cases[] = {
      {0, "1601-01-01 00:00:00.000 dow 1"},
      {uint64_t(kEpoch) - 1, "1969-12-31 23:59:59.999 dow 3"},
      {uint64_t(kEpoch) - 10000000, "1969-12-31 23:59:59.000 dow 3"},
      {kMaxFileTime, "30828-09-14 02:48:05.477 dow 4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FILETIME ft = Ft(c.v);
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
    EXPECT_EQ(Text(st), c.text);
  }
}

TEST_F(FileTimeInUtc, ValuesPastTheWin32MaximumAndNullPointersAreRefused) {
  FILETIME ft = Ft(kMaxFileTime + 1), out;
  SYSTEMTIME st = St(2000, 1, 1);
  EXPECT_FALSE(FileTimeToSystemTime(&ft, &st));
  EXPECT_FALSE(FileTimeToLocalFileTime(&ft, &out));
  EXPECT_FALSE(LocalFileTimeToFileTime(&ft, &out));
  EXPECT_FALSE(FileTimeToSystemTime(nullptr, &st));
  EXPECT_FALSE(FileTimeToSystemTime(&ft, nullptr));
  EXPECT_FALSE(SystemTimeToFileTime(nullptr, &out));
  EXPECT_FALSE(SystemTimeToFileTime(&st, nullptr));
}

TEST_F(FileTimeInUtc, SystemTimesConvertAsTimegmNormalisesThem) {
  struct Case {
    const char* name;
    SYSTEMTIME st;
    const char* text;  // null: refused
  } cases[] = {
      {"a leap day", St(2024, 2, 29, 12, 30, 15, 250), "2024-02-29 12:30:15.250 dow 4"},
      {"the second before 1970", St(1969, 12, 31, 23, 59, 59), "1969-12-31 23:59:59.000 dow 3"},
      {"1900 is no leap year", St(1900, 2, 29), "1900-03-01 00:00:00.000 dow 4"},
      {"month 13", St(1999, 13, 1), "2000-01-01 00:00:00.000 dow 6"},
      {"second 60", St(2016, 12, 31, 23, 59, 60), "2017-01-01 00:00:00.000 dow 0"},
      {"the first day", St(1601, 1, 1), "1601-01-01 00:00:00.000 dow 1"},
      {"before 1601", St(1600, 12, 31, 23, 59, 59), nullptr},
      {"past the maximum", St(30828, 9, 14, 2, 48, 6), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FILETIME ft;
    int ok = SystemTimeToFileTime(&c.st, &ft);
    ASSERT_EQ(ok != 0, c.text != nullptr);
    if (!ok) continue;
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
    EXPECT_EQ(Text(st), c.text);
  }
}

// ---------------------------------------------------------------------------
// Local time.

TEST_F(FileTimeInUtc, LocalTimeInUtcIsTheSameTime) {
  std::mt19937_64 rng(2);
  for (int i = 0; i < 2000; ++i) {
    uint64_t v = rng() % (kMaxFileTime / 8);  // to about 5300
    FILETIME ft = Ft(v), local, back;
    ASSERT_TRUE(FileTimeToLocalFileTime(&ft, &local)) << v;
    EXPECT_EQ(FileTimeToU64(local), v);
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back)) << v;
    EXPECT_EQ(FileTimeToU64(back), v);
  }
}

TEST_F(FileTimeInParis, LocalFileTimesFollowTheZoneAndDaylightSaving) {
  struct Case {
    const char* name;
    SYSTEMTIME utc;
    const char* local;
  } cases[] = {
      {"winter", St(2024, 1, 15, 12, 0, 0, 500), "2024-01-15 13:00:00.500 dow 1"},
      {"summer", St(2024, 7, 1, 12, 0, 0, 5), "2024-07-01 14:00:00.005 dow 1"},
      {"before 1970", St(1950, 7, 1, 12), "1950-07-01 13:00:00.000 dow 6"},
      {"after 2038", St(2050, 7, 1, 12), "2050-07-01 14:00:00.000 dow 5"},
      {"spring forward", St(2024, 3, 31, 1, 0, 0), "2024-03-31 03:00:00.000 dow 0"},
      {"the second before", St(2024, 3, 31, 0, 59, 59), "2024-03-31 01:59:59.000 dow 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FILETIME utc, local;
    ASSERT_TRUE(SystemTimeToFileTime(&c.utc, &utc));
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToSystemTime(&local, &st));
    EXPECT_EQ(Text(st), c.local);
    SYSTEMTIME utcIn = c.utc, viaRecord;
    ASSERT_TRUE(bUTCVersLocal(&utcIn, &viaRecord));
    EXPECT_EQ(Text(viaRecord), c.local);
  }
}

TEST_F(FileTimeInParis, LocalAndBackGivesTheSameTimeOutsideTheRepeatedHour) {
  std::mt19937_64 rng(3);
  const int64_t from = kEpoch - 60LL * 365 * 86400 * kUnits;  // about 1910
  const int64_t span = 130LL * 365 * 86400 * kUnits;          // to about 2040
  for (int i = 0; i < 5000; ++i) {
    uint64_t v = uint64_t(from + int64_t(rng() % uint64_t(span)));
    FILETIME ft = Ft(v), local, back;
    ASSERT_TRUE(FileTimeToLocalFileTime(&ft, &local)) << v;
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back)) << v;
    if (FileTimeToU64(back) == v) continue;
    // Otherwise the wall-clock time is one that a change of clocks repeats:
    // both instants show it.
    FILETIME again;
    ASSERT_TRUE(FileTimeToLocalFileTime(&back, &again));
    ASSERT_EQ(FileTimeToU64(again), FileTimeToU64(local)) << v;
    ASSERT_EQ(FileTimeToU64(back) % kUnits, v % kUnits);
  }
}

TEST_F(FileTimeInParis, LocalRecordsConvertToUtcKeepingTheMilliseconds) {
  struct Case {
    const char* name;
    SYSTEMTIME local;
    const char* utc;
  } cases[] = {
      {"winter", St(2024, 1, 15, 13, 0, 0, 500), "2024-01-15 12:00:00.500 dow 1"},
      {"summer", St(2024, 7, 1, 14, 0, 0, 999), "2024-07-01 12:00:00.999 dow 1"},
      {"new year before 1970", St(1960, 1, 1, 0, 30), "1959-12-31 23:30:00.000 dow 4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SYSTEMTIME local = c.local, utc;
    ASSERT_TRUE(bLocalVersUTC(&local, &utc));
    EXPECT_EQ(Text(utc), c.utc);
  }
}

TEST_F(FileTimeIn, LocalRecordsWhoseUtcYearTheRecordCannotHoldAreRefused) {
  // Near the ends of the 16-bit year the zone offset crosses into a year the
  // record has no room for (65536) or takes for "no year" (0).
  struct Case {
    const char* zone;
    SYSTEMTIME local;
    const char* utc;  // null: refused
  } cases[] = {
      {"America/New_York", St(65535, 12, 31, 23), nullptr},
      {"America/New_York", St(65535, 12, 31, 18, 59, 59), "65535-12-31 23:59:59.000 dow 2"},
      {"Europe/Paris", St(1, 1, 1, 0, 0), nullptr},
      {"Europe/Paris", St(1, 1, 1, 1, 0), "0001-01-01 00:50:39.000 dow 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.zone) + " " + Text(c.local));
    UseZone(c.zone);
    SYSTEMTIME local = c.local, utc = St(1234, 5, 6);
    if (c.utc == nullptr) {
      EXPECT_FALSE(bLocalVersUTC(&local, &utc));
      EXPECT_EQ(Text(utc), Text(St(1234, 5, 6)));
    } else {
      ASSERT_TRUE(bLocalVersUTC(&local, &utc));
      EXPECT_EQ(Text(utc), c.utc);
    }
  }
}

TEST_F(FileTimeInUtc, TheSecondBefore1970IsNotTakenForAFailure) {
  SYSTEMTIME local = St(1969, 12, 31, 23, 59, 59, 7), utc;
  ASSERT_TRUE(bLocalVersUTC(&local, &utc));
  EXPECT_EQ(Text(utc), "1969-12-31 23:59:59.007 dow 3");
  FILETIME ft = Ft(uint64_t(kEpoch) - kUnits), out;
  ASSERT_TRUE(LocalFileTimeToFileTime(&ft, &out));
  EXPECT_EQ(FileTimeToU64(out), uint64_t(kEpoch) - kUnits);
}

TEST_F(FileTimeInParis, RecordsWithoutYearOrMonthAreRefusedBeforeConversion) {
  const SYSTEMTIME cases[] = {St(0, 1, 1), St(2024, 0, 1), St(0, 0, 0)};
  for (const SYSTEMTIME& c : cases) {
    SCOPED_TRACE(Text(c));
    SYSTEMTIME in = c;
    SYSTEMTIME out = St(1234, 5, 6);
    EXPECT_FALSE(bUTCVersLocal(&in, &out));
    EXPECT_FALSE(bLocalVersUTC(&in, &out));
    EXPECT_EQ(Text(out), Text(St(1234, 5, 6)));
  }
}

// ---------------------------------------------------------------------------
// The clock.

int64_t NowUnits() {
  return chr::duration_cast<chr::microseconds>(chr::system_clock::now().time_since_epoch()).count() * 10 +
         kEpoch;
}

TEST_F(FileTimeInUtc, TheCurrentTimeAgreesWithTheSystemClock) {
  int64_t before = NowUnits();
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  SYSTEMTIME st;
  GetSystemTime(&st);
  int64_t after = NowUnits();
  int64_t v = int64_t(FileTimeToU64(ft));
  EXPECT_GE(v, before);
  EXPECT_LE(v, after);
  // The record is the same instant to within the calls' time.
  FILETIME fromRecord;
  ASSERT_TRUE(SystemTimeToFileTime(&st, &fromRecord));
  EXPECT_LE(std::llabs(int64_t(FileTimeToU64(fromRecord)) - v), 2 * kUnits);
}

TEST_F(FileTimeInParis, TheLocalClockIsTheSystemClockInTheZone) {
  SYSTEMTIME utc, local, expected;
  GetSystemTime(&utc);
  GetLocalTime(&local);
  ASSERT_TRUE(bUTCVersLocal(&utc, &expected));
  FILETIME a, b;
  ASSERT_TRUE(SystemTimeToFileTime(&local, &a));
  ASSERT_TRUE(SystemTimeToFileTime(&expected, &b));
  EXPECT_LE(std::llabs(int64_t(FileTimeToU64(a)) - int64_t(FileTimeToU64(b))), 2 * kUnits);
}

TEST_F(FileTimeInUtc, TheTickCountIsMillisecondsSince1970WrappedAt32Bits) {
  int64_t before = (NowUnits() - kEpoch) / 10000;
  uint32_t tick = GetTickCount();
  int64_t after = (NowUnits() - kEpoch) / 10000;
  // Compared modulo 2^32, the wrap included.
  EXPECT_LE(uint32_t(tick - uint32_t(before)), uint32_t(after - before));
}

// ---------------------------------------------------------------------------
// File times.

class FileTimesOfAFile : public FileTimeInUtc {
 protected:
  void SetUp() override {
    FileTimeInUtc::SetUp();
    char pattern[] = "/tmp/kq_file_time_XXXXXX";
    fd_ = mkstemp(pattern);
    ASSERT_GE(fd_, 0);
    path_ = pattern;
  }
  void TearDown() override {
    if (fd_ >= 0) close(fd_);
    unlink(path_.c_str());
    FileTimeInUtc::TearDown();
  }
  std::wstring WidePath(bool backslashes) const {
    std::wstring w(path_.begin(), path_.end());
    if (backslashes)
      for (wchar_t& c : w)
        if (c == L'/') c = L'\\';
    return w;
  }
  int fd_ = -1;
  std::string path_;
};

TEST_F(FileTimesOfAFile, TimesSetByPathReadBackInWholeSeconds) {
  struct Case {
    const char* name;
    SYSTEMTIME access, write;
  } cases[] = {
      {"after 1970", St(2001, 2, 3, 4, 5, 6, 789), St(1999, 12, 31, 23, 59, 59, 999)},
      {"before 1970", St(1960, 6, 1, 12), St(1950, 1, 1)},
      {"after 2038", St(2040, 1, 1), St(2100, 3, 1, 1, 2, 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FILETIME access, write;
    ASSERT_TRUE(SystemTimeToFileTime(&c.access, &access));
    ASSERT_TRUE(SystemTimeToFileTime(&c.write, &write));
    ASSERT_TRUE(SetFileTime(WidePath(true).c_str(), nullptr, &access, &write));
    FILETIME change, gotAccess, gotWrite;
    ASSERT_TRUE(GetFileTime(fd_, &change, &gotAccess, &gotWrite));
    EXPECT_EQ(FileTimeToU64(gotAccess), FileTimeToU64(access) - FileTimeToU64(access) % kUnits);
    EXPECT_EQ(FileTimeToU64(gotWrite), FileTimeToU64(write) - FileTimeToU64(write) % kUnits);
  }
}

TEST_F(FileTimesOfAFile, ATimeNotGivenIsKept) {
  FILETIME a0, w0, a1, w1, got;
  SYSTEMTIME sa = St(2010, 1, 1), sw = St(2011, 1, 1), sa1 = St(2012, 1, 1), sw1 = St(2013, 1, 1);
  SystemTimeToFileTime(&sa, &a0);
  SystemTimeToFileTime(&sw, &w0);
  SystemTimeToFileTime(&sa1, &a1);
  SystemTimeToFileTime(&sw1, &w1);
  std::wstring path = WidePath(false);
  ASSERT_TRUE(SetFileTime(path.c_str(), nullptr, &a0, &w0));
  ASSERT_TRUE(SetFileTime(path.c_str(), nullptr, &a1, nullptr));
  ASSERT_TRUE(GetFileTime(fd_, nullptr, nullptr, &got));
  EXPECT_EQ(FileTimeToU64(got), FileTimeToU64(w0));
  ASSERT_TRUE(SetFileTime(path.c_str(), nullptr, nullptr, &w1));
  ASSERT_TRUE(GetFileTime(fd_, nullptr, &got, nullptr));
  EXPECT_EQ(FileTimeToU64(got), FileTimeToU64(a1));
  EXPECT_TRUE(SetFileTime(path.c_str(), &a0, nullptr, nullptr));  // nothing to set
  ASSERT_TRUE(GetFileTime(fd_, nullptr, &got, nullptr));
  EXPECT_EQ(FileTimeToU64(got), FileTimeToU64(a1));
}

TEST_F(FileTimesOfAFile, MissingFilesAndClosedDescriptorsAreFailures) {
  FILETIME t = Ft(uint64_t(kEpoch));
  std::wstring missing = WidePath(false) + L".missing";
  EXPECT_FALSE(SetFileTime(missing.c_str(), nullptr, &t, &t));
  EXPECT_FALSE(SetFileTime(missing.c_str(), nullptr, &t, nullptr));
  EXPECT_FALSE(GetFileTime(-1, &t, &t, &t));
  FILETIME tooLate = Ft(kMaxFileTime + 1);
  EXPECT_FALSE(SetFileTime(WidePath(false).c_str(), nullptr, &tooLate, &t));
}

}  // namespace
