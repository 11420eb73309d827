// The date-time value CDateTimeBase: calendar arithmetic checked against
// std::chrono over every Gregorian day it holds, shifts against a chrono model,
// the texts, the checked and unchecked readers, the 17-byte form and the
// digit routines.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>

#include "core/binary_buffer.h"
#include "core/counted_string.h"
#include "core/zstring.h"
#include "platform/file_time.h"
#include "tests/support/bound_framework.h"
#include "values/date_time_base.h"
#include "values/duration_base.h"

namespace {

using namespace std::chrono;

// Day number of 1970-01-01, the epoch of sys_days.
constexpr int kJour1970 = CDateTimeBase::kJour1970;

CDateTimeBase Date(int y, int m, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  CDateTimeBase dt;
  dt.Set(y, m, d, h, mi, s, ms);
  return dt;
}

std::string Texte(const CDateTimeBase& dt) {
  char sz[CDateTimeBase::kLongueurTexte + 1];
  dt.VersChaine(sz, CDateTimeBase::kLongueurTexte);
  return sz;
}

// The 17-digit text of the fields, as the server writes it.
std::string TexteAttendu(int y, int m, int d, unsigned int ms) {
  char sz[64];
  std::snprintf(sz, sizeof sz, "%04d%02d%02d%02u%02u%02u%03u", y, m, d, ms / 3600000u,
                ms / 60000u % 60u, ms / 1000u % 60u, ms % 1000u);
  return sz;
}

sys_days Jours(int y, int m, int d) { return sys_days{year{y} / month(unsigned(m)) / day(unsigned(d))}; }

bool MemeDate(const CDateTimeBase& dt, const year_month_day& ymd) {
  return dt.nGetAnnee() == int(ymd.year()) && dt.nGetMois() == int(unsigned(ymd.month())) &&
         dt.nGetJour() == int(unsigned(ymd.day()));
}

// ISO 8601 week date by the Thursday of the week: its year is the week's year,
// and its day of the year gives the week.
void IsoReference(sys_days sd, int& y, int& w, int& wd) {
  wd = int(weekday{sd}.iso_encoding());
  sys_days jeudi = sd + days{4 - wd};
  year_month_day ymd{jeudi};
  y = int(ymd.year());
  w = int((jeudi - sys_days{ymd.year() / January / 1}).count() / 7 + 1);
}

// ---------------------------------------------------------------------------
// Calendar

TEST(DateTimeCalendar, DayNumbersWeekdaysAndJulianDaysMatchChronoForEveryGregorianDay) {
  const sys_days debut = Jours(1583, 1, 1), fin = Jours(9999, 12, 31);
  for (sys_days sd = debut; sd <= fin; sd += days{1}) {
    year_month_day ymd{sd};
    int y = int(ymd.year()), m = int(unsigned(ymd.month())), d = int(unsigned(ymd.day()));
    CDateTimeBase dt = Date(y, m, d);
    int n = -1;
    int attendu = int(sd.time_since_epoch().count()) + kJour1970;
    if (dt.nVersEntier(&n) != 0 || n != attendu ||
        dt.nGetJourDeLaSemaine() != int(weekday{sd}.c_encoding()) ||
        dt.nVersJourJulien() != int(sd.time_since_epoch().count()) + 2440588 ||
        dt.nGetJourDansAnnee() != int((sd - sys_days{ymd.year() / January / 1}).count()) + 1) {
      ADD_FAILURE() << "at " << Texte(dt) << ": day number " << n << " expected " << attendu
                    << ", weekday " << dt.nGetJourDeLaSemaine() << ", Julian day "
                    << dt.nVersJourJulien();
      break;
    }
  }
}

TEST(DateTimeCalendar, IsoWeeksMatchTheThursdayRuleForEveryGregorianDay) {
  // From the first Monday of 1583: the week before it began in 1582, whose
  // October lost ten days to the change of calendar.
  const sys_days debut = Jours(1583, 1, 3), fin = Jours(9999, 12, 31);
  for (sys_days sd = debut; sd <= fin; sd += days{1}) {
    year_month_day ymd{sd};
    CDateTimeBase dt = Date(int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day())));
    int y, w, wd, ry, rw, rwd;
    dt.VersISO8601YWD(y, w, wd);
    IsoReference(sd, ry, rw, rwd);
    if (y != ry || w != rw || wd != rwd) {
      ADD_FAILURE() << "at " << Texte(dt) << ": " << y << "-W" << w << "-" << wd << " expected "
                    << ry << "-W" << rw << "-" << rwd;
      break;
    }
  }
}

TEST(DateTimeCalendar, EveryDayNumberFromYearOneToTheLastDayConvertsBackToItself) {
  // Also the years before 1500, where the first estimate of the year from the
  // day number is too low.
  int nPremier = 0;
  ASSERT_EQ(CDateTimeBase::__bDateVersEntier(1, 1, 1, &nPremier, 1), 1);
  for (int n = nPremier; n <= CDateTimeBase::kJourMax; ++n) {
    int d = 0, m = 0, y = 0, retour = 0;
    if (!CDateTimeBase::__bEntierVersDate(n, &d, &m, &y) ||
        !CDateTimeBase::__bDateVersEntier(d, m, y, &retour, 1) || retour != n) {
      ADD_FAILURE() << "day " << n << " gave " << y << "-" << m << "-" << d << " and back "
                    << retour;
      break;
    }
  }
}

TEST(DateTimeCalendar, TheInverseConversionAcceptsExactlyYearOneToTheFirstDayOf10000) {
  int nPremier = 0, d = 0, m = 0, y = 0;
  ASSERT_EQ(CDateTimeBase::__bDateVersEntier(1, 1, 1, &nPremier, 1), 1);
  EXPECT_EQ(CDateTimeBase::__bEntierVersDate(nPremier - 1, &d, &m, &y), 0);
  EXPECT_EQ(CDateTimeBase::__bEntierVersDate(INT_MIN, &d, &m, &y), 0);
  EXPECT_EQ(CDateTimeBase::__bEntierVersDate(2994990, &d, &m, &y), 0);
  EXPECT_EQ(CDateTimeBase::__bEntierVersDate(INT_MAX, &d, &m, &y), 0);
  ASSERT_EQ(CDateTimeBase::__bEntierVersDate(2994989, &d, &m, &y), 1);
  EXPECT_EQ(y * 10000 + m * 100 + d, 100000101);
}

TEST(DateTimeCalendar, ReferenceDatesHaveTheirKnownNumbers) {
  struct Case {
    int y, m, d, nJour, nJulien, nSemaine;
  };
  const Case cases[] = {
      {1799, 12, 31, 0, 2378496, 2},        {1800, 1, 1, 1, 2378497, 3},
      {1970, 1, 1, 62092, 2440588, 4},      {2000, 1, 1, 62092 + 10957, 2451545, 6},
      {9999, 12, 31, 2994988, 5373484, 5},
      // The change of calendar: Thursday 4 October 1582 (Julian) was followed
      // by Friday 15 October (Gregorian); the days between count as the 15th.
      {1582, 10, 4, -79336, 2299160, 4},    {1582, 10, 15, -79335, 2299161, 5},
      {1582, 10, 10, -79335, 2299161, 5},   {1000, 1, 1, 2086308 - 2378496, 2086308, 1},
      {1, 1, 1, 1721424 - 2378496, 1721424, 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(TexteAttendu(c.y, c.m, c.d, 0));
    CDateTimeBase dt = Date(c.y, c.m, c.d);
    int n = INT_MIN;
    EXPECT_EQ(dt.nVersEntier(&n), 0);
    EXPECT_EQ(n, c.nJour);
    EXPECT_EQ(dt.nVersJourJulien(), c.nJulien);
    EXPECT_EQ(dt.nGetJourDeLaSemaine(), c.nSemaine);
  }
}

TEST(DateTimeCalendar, LeapYearsFollowTheJulianRuleBefore1583AndTheGregorianAfter) {
  struct Case {
    int y;
    int bBissextile;
  };
  const Case cases[] = {{1500, 1}, {1580, 1}, {1582, 0}, {1584, 1}, {1600, 1}, {1700, 0},
                        {1800, 0}, {1900, 0}, {2000, 1}, {2023, 0}, {2024, 1}, {2100, 0},
                        {4, 1},    {100, 1},  {9996, 1}, {9999, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.y);
    EXPECT_EQ(CDateTimeBase::__nBissextile(c.y), c.bBissextile);
    EXPECT_EQ(CDateTimeBase::s_nGetNbJourMois(2, c.y), 28 + c.bBissextile);
  }
  EXPECT_EQ(CDateTimeBase::s_nGetNbJourMois(0, 2024), 0);
  EXPECT_EQ(CDateTimeBase::s_nGetNbJourMois(13, 2024), 0);
}

TEST(DateTimeCalendar, InvalidDatesHaveNoDayNumber) {
  struct Case {
    const char* name;
    int y, m, d;
  };
  const Case cases[] = {
      {"February 30", 2024, 2, 30}, {"February 29 of an ordinary year", 2023, 2, 29},
      {"1900 was no leap year", 1900, 2, 29}, {"April 31", 2024, 4, 31},
      {"month 13", 2024, 13, 1},    {"month 0", 2024, 0, 1},
      {"day 0", 2024, 1, 0},        {"year 0", 0, 1, 1},
      {"year 10000", 10000, 1, 1},  {"the empty value", 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CDateTimeBase dt = Date(c.y, c.m, c.d);
    int n = 12345;
    EXPECT_EQ(dt.nVersEntier(&n), kDateInvalide);
    EXPECT_EQ(n, 12345);
    EXPECT_EQ(CDateTimeBase::s_nDateVersEntier(c.d, c.m, c.y), 0);
    EXPECT_EQ(dt.nGetJourDeLaSemaine(), -1);
    int y = 1, w = 1, wd = 1;
    dt.VersISO8601YWD(y, w, wd);
    EXPECT_EQ(y + w + wd, 0);
  }
}

TEST(DateTimeCalendar, IsoWeeksAtTheTurnOfTheYear) {
  struct Case {
    int y, m, d, iy, iw, iwd;
  };
  const Case cases[] = {
      {2021, 1, 3, 2020, 53, 7}, {2024, 12, 30, 2025, 1, 1}, {2021, 1, 4, 2021, 1, 1},
      {2020, 12, 31, 2020, 53, 4}, {2026, 12, 10, 2026, 50, 4}, {1, 1, 1, 0, 53, 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(TexteAttendu(c.y, c.m, c.d, 0));
    int y, w, wd;
    Date(c.y, c.m, c.d).VersISO8601YWD(y, w, wd);
    EXPECT_EQ(y, c.iy);
    EXPECT_EQ(w, c.iw);
    EXPECT_EQ(wd, c.iwd);
  }
}

TEST(DateTimeCalendar, MillisecondsSince1970MatchChrono) {
  std::mt19937 rng(1970);
  std::uniform_int_distribution<int> jour(Jours(1583, 1, 1).time_since_epoch().count(),
                                          Jours(9999, 12, 31).time_since_epoch().count());
  std::uniform_int_distribution<int> milli(0, 86399999);
  for (int i = 0; i < 20000; ++i) {
    sys_days sd{days{jour(rng)}};
    year_month_day ymd{sd};
    int ms = milli(rng);
    CDateTimeBase dt = Date(int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day())),
                            0, 0, 0, ms);
    long long attendu = (sd + milliseconds{ms}).time_since_epoch().count();
    ASSERT_EQ(dt.VersMsDepuis1Janvier1970(), attendu) << Texte(dt);
    ASSERT_EQ(dt.VersTime32(), attendu / 1000) << Texte(dt);
  }
  EXPECT_EQ(Date(1970, 1, 1).VersMsDepuis1Janvier1970(), 0);
  // An invalid date counts as day 0 (1799-12-31).
  EXPECT_EQ(Date(2024, 2, 30, 0, 0, 0, 5).VersMsDepuis1Janvier1970(), 5 - 5364748800000LL);
}

TEST(DateTimeCalendar, DurationsAndDayDifferencesMatchChrono) {
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> jour(Jours(1583, 1, 1).time_since_epoch().count(),
                                          Jours(9999, 12, 31).time_since_epoch().count());
  std::uniform_int_distribution<int> milli(0, 86399999);
  auto tire = [&](sys_time<milliseconds>& t) {
    sys_days sd{days{jour(rng)}};
    year_month_day ymd{sd};
    int ms = milli(rng);
    t = sd + milliseconds{ms};
    return Date(int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day())), 0, 0, 0, ms);
  };
  for (int i = 0; i < 20000; ++i) {
    sys_time<milliseconds> ta, tb;
    CDateTimeBase a = tire(ta), b = tire(tb);
    CDureeBase duree;
    ASSERT_EQ(CDateTimeBase::nCalculeDuree(&a, &b, &duree), 0);
    ASSERT_EQ(duree.llGetDuree(), (ta - tb).count());
    int nJours = 0;
    ASSERT_EQ(CDateTimeBase::bCalculeDiffJour(&a, &b, &nJours), 1);
    ASSERT_EQ(nJours, (floor<days>(ta) - floor<days>(tb)).count());
  }
}

TEST(DateTimeCalendar, DifferencesWithAnInvalidDate) {
  CDateTimeBase valide = Date(1800, 1, 2, 0, 0, 0, 7), invalide = Date(2024, 2, 30);
  CDureeBase duree(99);
  EXPECT_EQ(CDateTimeBase::nCalculeDuree(&valide, &invalide, &duree), kDateInvalide);
  EXPECT_EQ(duree.llGetDuree(), 99);
  EXPECT_EQ(CDateTimeBase::nCalculeDureeEx(&invalide, &valide, 1, &duree), kDateInvalide);
  // Unchecked, the invalid date counts as day 0.
  EXPECT_EQ(CDateTimeBase::nCalculeDureeEx(&valide, &invalide, 0, &duree), 0);
  EXPECT_EQ(duree.llGetDuree(), 2 * 86400000LL + 7);
  int n = 5;
  EXPECT_EQ(CDateTimeBase::bCalculeDiffJour(&invalide, &valide, &n), 0);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(CDateTimeBase::bCalculeDiffJour(&valide, &invalide, &n), 0);
  EXPECT_EQ(n, 2);
}

// ---------------------------------------------------------------------------
// Setters

TEST(DateTimeSetters, FieldsOutOfRangeAreRefusedAndLeaveTheValueUnchanged) {
  struct Case {
    const char* name;
    int (CDateTimeBase::*pfn)(int);
    int v;
  };
  const Case cases[] = {
      {"hour 24", &CDateTimeBase::bModifieHeure, 24},
      {"hour -1", &CDateTimeBase::bModifieHeure, -1},
      {"minute 60", &CDateTimeBase::bModifieMinute, 60},
      {"minute 99", &CDateTimeBase::bModifieMinute, 99},
      {"second 60", &CDateTimeBase::bModifieSeconde, 60},
      {"millisecond 1000", &CDateTimeBase::bModifieMilli, 1000},
      {"day 0", &CDateTimeBase::bModifieJour, 0},
      {"day 32", &CDateTimeBase::bModifieJour, 32},
      {"month 0", &CDateTimeBase::bModifieMois, 0},
      {"month 13", &CDateTimeBase::bModifieMois, 13},
      {"year 0", &CDateTimeBase::bModifieAnnee, 0},
      {"year 10000", &CDateTimeBase::bModifieAnnee, 10000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CDateTimeBase dt = Date(2024, 5, 17, 13, 14, 15, 16);
    EXPECT_EQ((dt.*c.pfn)(c.v), 0);
    EXPECT_EQ(Texte(dt), "20240517131415016");
  }
}

TEST(DateTimeSetters, EachSetterReplacesOnlyItsFieldAndCorrectsTheMonthEnd) {
  struct Case {
    const char* name;
    int (CDateTimeBase::*pfn)(int);
    int v;
    const char* texte;
  };
  const Case cases[] = {
      {"hour", &CDateTimeBase::bModifieHeure, 23, "20240131231415016"},
      {"minute", &CDateTimeBase::bModifieMinute, 0, "20240131130015016"},
      {"second", &CDateTimeBase::bModifieSeconde, 59, "20240131131459016"},
      {"millisecond", &CDateTimeBase::bModifieMilli, 999, "20240131131415999"},
      {"day", &CDateTimeBase::bModifieJour, 1, "20240101131415016"},
      {"month to February of a leap year", &CDateTimeBase::bModifieMois, 2, "20240229131415016"},
      {"month to April", &CDateTimeBase::bModifieMois, 4, "20240430131415016"},
      {"year", &CDateTimeBase::bModifieAnnee, 1999, "19990131131415016"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CDateTimeBase dt = Date(2024, 1, 31, 13, 14, 15, 16);
    EXPECT_EQ((dt.*c.pfn)(c.v), 1);
    EXPECT_EQ(Texte(dt), c.texte);
  }
  CDateTimeBase fevrier = Date(2023, 2, 1);
  EXPECT_EQ(fevrier.bModifieJour(31), 1);
  EXPECT_EQ(fevrier.nGetJour(), 28);
}

TEST(DateTimeSetters, ASystemTimeIsTakenFieldByFieldAndAnyRefusalIsReported) {
  CDateTimeBase dt = Date(2024, 1, 31);
  SYSTEMTIME st{2023, 2, 0, 28, 23, 59, 58, 999};
  EXPECT_EQ(dt.InitDate(&st), 1);
  EXPECT_EQ(Texte(dt), "20230228235958999");
  SYSTEMTIME faux{10000, 13, 0, 5, 24, 7, 60, 5};
  EXPECT_EQ(dt.InitDate(&faux), 0);
  // The refused fields kept their values, the others were taken.
  EXPECT_EQ(Texte(dt), "20230205230758005");
  SYSTEMTIME retour{};
  retour.wDayOfWeek = 77;
  EXPECT_EQ(dt.nVersSysteme(&retour), 0);
  EXPECT_EQ(retour.wYear, 2023);
  EXPECT_EQ(retour.wMonth, 2);
  EXPECT_EQ(retour.wDay, 5);
  EXPECT_EQ(retour.wHour, 23);
  EXPECT_EQ(retour.wMinute, 7);
  EXPECT_EQ(retour.wSecond, 58);
  EXPECT_EQ(retour.wMilliseconds, 5);
  EXPECT_EQ(retour.wDayOfWeek, 77);
}

TEST(DateTimeSetters, TheEmptyValueIsAllZero) {
  CDateTimeBase dt = Date(2024, 1, 2, 3, 4, 5, 6);
  dt.InitDate();
  EXPECT_TRUE(dt.bDateVide());
  EXPECT_EQ(dt.dwGetMilli(), 0u);
  CDateTime neuf;
  EXPECT_TRUE(neuf.bDateVide());
  EXPECT_EQ(Date(2024, 3, 9).dwGetDate(), 2024u * 65536 + 3 * 256 + 9);
}

class TimeZone {
 public:
  explicit TimeZone(const char* tz) {
    const char* p = std::getenv("TZ");
    m_bAvait = p != nullptr;
    if (m_bAvait) m_sAncien = p;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~TimeZone() {
    if (m_bAvait)
      setenv("TZ", m_sAncien.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  bool m_bAvait = false;
  std::string m_sAncien;
};

TEST(DateTimeClock, TheLocalDateIsTheUtcDateShiftedByTheZoneOffset) {
  struct Case {
    const char* tz;
    long long minMs, maxMs;  // local minus UTC
  };
  const Case cases[] = {{"UTC", 0, 0}, {"Europe/Paris", 3600000, 7200000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tz);
    TimeZone zone(c.tz);
    CDateTimeBase local, utc;
    ASSERT_EQ(local.InitDateCourante(), 1);
    utc.InitDateCouranteUTC();
    long long ecart = local.VersMsDepuis1Janvier1970() - utc.VersMsDepuis1Janvier1970();
    // The two readings of the clock are a few milliseconds apart at most.
    EXPECT_GE(ecart, c.minMs - 5000);
    EXPECT_LE(ecart, c.maxMs + 5000);
    EXPECT_TRUE(local.bDateValide());
    CDateTimeBase jour;
    ASSERT_EQ(jour.InitDateCouranteSansHeures(), 1);
    EXPECT_EQ(jour.dwGetMilli(), 0u);
  }
}

// ---------------------------------------------------------------------------
// Shifts

TEST(DateTimeShifts, MonthAndYearShiftsCorrectTheMonthEnd) {
  struct Case {
    const char* name;
    int y, m, d;
    int nMois, nAnnees;
    const char* texte;
  };
  const Case cases[] = {
      {"January 31 to a leap February", 2024, 1, 31, 1, 0, "20240229000000000"},
      {"January 31 to an ordinary February", 2023, 1, 31, 1, 0, "20230228000000000"},
      {"a leap day to the next year", 2024, 2, 29, 0, 1, "20250228000000000"},
      {"one month back over the year", 2024, 1, 15, -1, 0, "20231215000000000"},
      {"thirteen months back", 2024, 1, 15, -13, 0, "20221215000000000"},
      {"twelve months on", 2024, 3, 31, 12, 0, "20250331000000000"},
      {"eleven months on", 2024, 3, 31, 11, 0, "20250228000000000"},
      {"to the last year", 9998, 12, 31, 0, 1, "99991231000000000"},
      {"to the first year", 2, 1, 1, -12, 0, "00010101000000000"},
      {"October 30 to a leap February of the next year", 2023, 10, 30, 4, 0, "20240229000000000"},
      {"March 31 to an ordinary February of the year before", 2024, 3, 31, -13, 0,
       "20230228000000000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CDateTimeBase dt = Date(c.y, c.m, c.d);
    EXPECT_EQ(c.nMois != 0 ? dt.bDecaleMois(c.nMois) : dt.bDecaleAnnee(c.nAnnees), 1);
    EXPECT_EQ(Texte(dt), c.texte);
  }
}

TEST(DateTimeShifts, ShiftsPastTheYears1To9999AreRefusedAndLeaveTheValueUnchanged) {
  struct Case {
    const char* name;
    int y, m, d;
    int (CDateTimeBase::*pfn)(int);
    int n;
  };
  const Case cases[] = {
      {"a year past 9999", 9999, 6, 1, &CDateTimeBase::bDecaleAnnee, 1},
      {"a year before 1", 1, 6, 1, &CDateTimeBase::bDecaleAnnee, -1},
      {"a year that would wrap 16 bits", 2024, 6, 1, &CDateTimeBase::bDecaleAnnee, 65536},
      {"the largest shift in years", 2024, 6, 1, &CDateTimeBase::bDecaleAnnee, INT_MAX},
      {"the smallest shift in years", 2024, 6, 1, &CDateTimeBase::bDecaleAnnee, INT_MIN},
      {"a month past December 9999", 9999, 12, 15, &CDateTimeBase::bDecaleMois, 1},
      {"a month before January of year 1", 1, 1, 15, &CDateTimeBase::bDecaleMois, -1},
      {"the largest shift in months", 2024, 6, 1, &CDateTimeBase::bDecaleMois, INT_MAX},
      {"the smallest shift in months", 2024, 6, 1, &CDateTimeBase::bDecaleMois, INT_MIN},
      {"a day past 9999-12-31", 9999, 12, 31, &CDateTimeBase::bDecaleJour, 1},
      {"a day before 0001-01-01", 1, 1, 1, &CDateTimeBase::bDecaleJour, -1},
      {"the largest shift in days", 2024, 6, 1, &CDateTimeBase::bDecaleJour, INT_MAX},
      {"the smallest shift in days", 2024, 6, 1, &CDateTimeBase::bDecaleJour, INT_MIN},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CDateTimeBase dt = Date(c.y, c.m, c.d, 1, 2, 3, 4);
    std::string avant = Texte(dt);
    EXPECT_EQ((dt.*c.pfn)(c.n), 0);
    EXPECT_EQ(Texte(dt), avant);
  }
}

TEST(DateTimeShifts, ShiftsOfInvalidOrEmptyDates) {
  CDateTimeBase vide;
  vide.InitDate();
  EXPECT_EQ(vide.bDecaleJour(5), 1);
  EXPECT_TRUE(vide.bDateVide());
  CDateTimeBase fevrier30 = Date(2024, 2, 30);
  EXPECT_EQ(fevrier30.bDecaleJour(1), 0);
  EXPECT_EQ(Texte(fevrier30), "20240230000000000");
  CDateTimeBase mois13 = Date(2024, 13, 1);
  EXPECT_EQ(mois13.bDecaleMois(1), 0);
  EXPECT_EQ(Texte(mois13), "20241301000000000");
  // With the year itself out of range, the month moves and the year shift is
  // refused.
  CDateTimeBase annee0 = Date(0, 5, 31);
  EXPECT_EQ(annee0.bDecaleMois(1), 0);
  EXPECT_EQ(Texte(annee0), "00000631000000000");
}

TEST(DateTimeShifts, MonthShiftsMatchAChronoModel) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> annee(1583, 9999), mois(1, 12), jour(1, 31);
  std::uniform_int_distribution<int> decalage(-130000, 130000);
  for (int i = 0; i < 50000; ++i) {
    int y = annee(rng), m = mois(rng), d = std::min<int>(jour(rng), CDateTimeBase::s_nGetNbJourMois(m, y));
    int n = i % 3 == 0 ? decalage(rng) : decalage(rng) % 25;
    year_month cible = year{y} / month(unsigned(m)) + months{n};
    CDateTimeBase dt = Date(y, m, d, 0, 0, 0, 1);
    int r = dt.bDecaleMois(n);
    int ny = int(cible.year());
    if (ny < 1 || ny > 9999) {
      ASSERT_EQ(r, 0);
      ASSERT_EQ(Texte(dt), TexteAttendu(y, m, d, 1));
      continue;
    }
    if (ny < 1583) continue;  // the chrono model is Gregorian only
    unsigned dernier = unsigned((cible / last).day());
    ASSERT_EQ(r, 1);
    ASSERT_EQ(Texte(dt), TexteAttendu(ny, int(unsigned(cible.month())), std::min<int>(d, int(dernier)), 1))
        << y << "-" << m << "-" << d << " + " << n << " months";
  }
}

TEST(DateTimeShifts, DayAndMillisecondShiftsMatchAChronoModel) {
  std::mt19937 rng(11);
  const int premier = Jours(1583, 1, 1).time_since_epoch().count();
  const int dernier = Jours(9999, 12, 31).time_since_epoch().count();
  std::uniform_int_distribution<int> jour(premier, dernier), milli(0, 86399999);
  std::uniform_int_distribution<long long> decalage(-400000LL * 86400000, 400000LL * 86400000);
  for (int i = 0; i < 50000; ++i) {
    sys_days sd{days{jour(rng)}};
    year_month_day ymd{sd};
    int ms = milli(rng);
    long long n = i % 2 == 0 ? decalage(rng) : decalage(rng) % 200000000;
    CDateTimeBase dt = Date(int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day())),
                            0, 0, 0, ms);
    sys_time<milliseconds> cible = sd + milliseconds{ms} + milliseconds{n};
    long long jourCible = floor<days>(cible).time_since_epoch().count();
    int r = dt.bDecaleMilli(n);
    // The time of day is kept even when the day shift is refused.
    ASSERT_EQ(dt.dwGetMilli(), unsigned((cible - floor<days>(cible)).count()));
    if (jourCible > dernier) {
      ASSERT_EQ(r, 0);
      ASSERT_TRUE(MemeDate(dt, ymd));
    } else if (jourCible >= premier) {
      ASSERT_EQ(r, 1);
      ASSERT_TRUE(MemeDate(dt, year_month_day{floor<days>(cible)})) << Texte(dt);
    }
  }
}

TEST(DateTimeShifts, MillisecondShiftsCarryIntoTheDay) {
  struct Case {
    const char* name;
    const char* avant;
    long long n;
    const char* apres;
  };
  const Case cases[] = {
      {"one back over midnight", "20240301000000000", -1, "20240229235959999"},
      {"one on over midnight", "20231231235959999", 1, "20240101000000000"},
      {"a whole day", "20240115120000000", 86400000, "20240116120000000"},
      {"a day and a half back", "20240115060000000", -129600000, "20240113180000000"},
      {"nothing", "20240115060000000", 0, "20240115060000000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CDateTimeBase dt;
    ASSERT_EQ(dt.__bSetPartieDateValide(c.avant), 1);
    ASSERT_EQ(dt.__bSetPartieHeureValide(c.avant + 8), 1);
    EXPECT_EQ(dt.bDecaleMilli(c.n), 1);
    EXPECT_EQ(Texte(dt), c.apres);
  }
  CDateTimeBase fin = Date(9999, 12, 31, 23, 59, 59, 999);
  EXPECT_EQ(fin.bDecaleMilli(LLONG_MAX), 0);
  EXPECT_EQ(fin.nGetAnnee(), 9999);
  EXPECT_EQ(fin.bDecaleMilli(LLONG_MIN), 0);
}

// ---------------------------------------------------------------------------
// Comparisons

TEST(DateTimeComparisons, ValuesCompareByDateThenTime) {
  CDateTimeBase a = Date(2024, 1, 15, 10), b = Date(2024, 1, 15, 11), c = Date(2024, 1, 16);
  EXPECT_EQ(CDateTimeBase::nCompare(&a, &b), -1);
  EXPECT_EQ(CDateTimeBase::nCompare(&b, &a), 1);
  EXPECT_EQ(CDateTimeBase::nCompare(&a, &a), 0);
  EXPECT_EQ(CDateTimeBase::nCompare(&b, &c), -1);
  EXPECT_EQ(CDateTimeBase::s_nCompareDateSeule(&a, &b), 0);
  EXPECT_EQ(CDateTimeBase::s_nCompareDateSeule(&c, &a), 1);
  // The date word orders years before months before days.
  CDateTimeBase d = Date(2023, 12, 31), e = Date(2024, 1, 1);
  EXPECT_EQ(CDateTimeBase::nCompare(&d, &e), -1);
}

TEST(DateTimeComparisons, TextsCompareOverTheShorterLength) {
  struct Case {
    const wchar_t* a;
    const wchar_t* b;
    int r;
  };
  const Case cases[] = {
      {nullptr, nullptr, 0},   {L"", nullptr, 0},          {nullptr, L"2024", -1},
      {L"2024", L"", 1},       {L"2024", L"20240115", 0},  {L"20240115", L"2024", 0},
      {L"2023", L"20240115", -1}, {L"20250101", L"2024", 1}, {L"1200", L"1159", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CDateTimeBase::nCompareDate(c.a, c.b), c.r);
    EXPECT_EQ(CDateTimeBase::nCompareHeure(c.a, c.b), c.r);
  }
}

TEST(DateTimeComparisons, AValueComparesWithAPartialText) {
  for (CDateTimeBase dt : {Date(2024, 1, 1), Date(2024, 12, 31, 23, 59, 59, 999)})
    EXPECT_EQ(CDateTimeBase::nCompare(&dt, L"2024"), 0);
  CDateTimeBase dt = Date(2024, 1, 15, 12);
  EXPECT_EQ(CDateTimeBase::nCompare(&dt, L"20240115"), 0);
  EXPECT_EQ(CDateTimeBase::nCompare(&dt, L"20240116"), -1);
  EXPECT_EQ(CDateTimeBase::nCompare(&dt, L"20240115115959999"), 1);
  EXPECT_EQ(CDateTimeBase::nCompare(&dt, L""), 1);
}

TEST(DateTimeComparisons, FieldsWiderThanTheTextAreComparedWithoutOverrun) {
  // What an unchecked setter or a raw record may hold: every field at its
  // widest. The text is formatted in full and bounded.
  CDateTimeBase dt = Date(65535, 255, 255, 0, 0, 0, -1);
  EXPECT_EQ(CDateTimeBase::nCompare(&dt, L"65535"), 0);
  EXPECT_EQ(CDateTimeBase::nCompare(&dt, L"9999"), -1);
  wchar_t sz[CDateTimeBase::kLongueurMaxTexte];
  EXPECT_EQ(dt.nFormateTexte(sz), 22u);
  EXPECT_STREQ(sz, L"6553525525511930247295");
}

// ---------------------------------------------------------------------------
// Texts

TEST(DateTimeTexts, TextsAreCutToTheRoomGiven) {
  CDateTimeBase dt = Date(2024, 1, 5, 7, 8, 9, 45);
  struct Case {
    unsigned int n;
    const char* chaine;
    const char* date;
    const char* heure;
  };
  const Case cases[] = {
      {0, "", "", ""},
      {4, "2024", "2024", "0708"},
      {8, "20240105", "20240105", "07080904"},
      {9, "202401050", "20240105", "070809045"},
      {17, "20240105070809045", "20240105", "070809045"},
      {100, "20240105070809045", "20240105", "070809045"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.n);
    char sz[40];
    wchar_t wsz[40];
    std::memset(sz, 'x', sizeof sz);
    dt.VersChaine(sz, c.n);
    EXPECT_STREQ(sz, c.chaine);
    EXPECT_EQ(dt.nVersDate(sz, c.n), 0);
    EXPECT_STREQ(sz, c.date);
    EXPECT_EQ(dt.nVersHeure(sz, c.n), 0);
    EXPECT_STREQ(sz, c.heure);
    dt.VersChaine(wsz, c.n);
    EXPECT_EQ(std::wstring(wsz), std::wstring(c.chaine, c.chaine + std::strlen(c.chaine)));
  }
}

TEST(DateTimeTexts, FullAndDisplayTexts) {
  CDateTimeBase dt = Date(2024, 1, 5, 7, 8, 9, 45);
  EXPECT_STREQ(dt.VersChaine().pszGet(), L"20240105070809045");
  CTString s;
  dt.VersChaine(&s);
  EXPECT_STREQ(s.pszGet(), L"20240105070809045");
  EXPECT_STREQ(dt.VersChaineFormate().pszGet(), L"2024-1-5 7:8:9,45");
  wchar_t* psz = dt.pszCreeChaine();
  ASSERT_NE(psz, nullptr);
  EXPECT_STREQ(psz, L"20240105070809045");
  STR_Delete(psz);
}

TEST(DateTimeTexts, FixedWidthTextsRefuseValuesTheirDigitsCannotHold) {
  struct Case {
    const char* name;
    CDateTimeBase dt;
    int rDate, rHeure;
  };
  const Case cases[] = {
      {"year 10000", Date(10000, 1, 1), kDateInvalide, 0},
      {"month 100", Date(2024, 100, 1), kDateInvalide, 0},
      {"100 hours", Date(2024, 1, 1, 100), 0, kHeureInvalide},
      {"every field at its widest", Date(65535, 255, 255, 0, 0, 0, -1), kDateInvalide, kHeureInvalide},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char sz[CDateTimeBase::kLongueurTexte + 1];
    std::memset(sz, 'x', sizeof sz);
    EXPECT_EQ(c.dt.nVersDate(sz, 100), c.rDate);
    if (c.rDate != 0) {
      EXPECT_STREQ(sz, "");
    }
    EXPECT_EQ(c.dt.nVersHeure(sz, 100), c.rHeure);
    if (c.rHeure != 0) {
      EXPECT_STREQ(sz, "");
    }
    // The free-form outputs stay within 17 characters.
    char garde[CDateTimeBase::kLongueurTexte + 8];
    std::memset(garde, 'x', sizeof garde);
    c.dt.VersChaine(garde, 100);
    EXPECT_EQ(std::strlen(garde), CDateTimeBase::kLongueurTexte);
    EXPECT_EQ(garde[CDateTimeBase::kLongueurTexte + 1], 'x');
  }
}

// ---------------------------------------------------------------------------
// Readers

TEST(DateTimeReaders, CheckedTimeTexts) {
  struct Case {
    const char* texte;
    int r;
    unsigned int ms;
  };
  const Case cases[] = {
      {"", 1, 0},
      {"12", 1, 12 * 3600000u},
      {"1234", 1, 12 * 3600000u + 34 * 60000u},
      {"123456", 1, 45296000u},
      {"1234567", 1, 45296700u},
      {"12345678", 1, 45296780u},
      {"123456789", 1, 45296789u},
      {"1234567891234", 1, 45296789u},  // only nine characters count
      {"123456x89", 1, 45296000u},      // a non-digit from index 6 ends the text
      {"1234567x9", 1, 45296700u},
      {"235959999", 1, 86399999u},
      {"000000000", 1, 0u},
      {"1", 0, 0},
      {"123", 0, 0},
      {"12345", 0, 0},
      {"1260", 0, 0},        // minute 60
      {"129900000", 0, 0},   // 99 minutes
      {"240000001", 0, 0},   // 24:00:00.001
      {"240000", 0, 0},
      {"125960", 0, 0},      // second 60
      {"1x3456", 0, 0},
      {"12345x", 0, 0},
      {" 23456", 0, 0},
      {"-12345", 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.texte);
    CDateTimeBase dt = Date(2024, 1, 1, 1, 1, 1, 1);
    EXPECT_EQ(dt.__bSetPartieHeureValide(c.texte), c.r);
    EXPECT_EQ(dt.dwGetMilli(), c.r ? c.ms : 3661001u);
    EXPECT_EQ(dt.nGetJour(), 1);
    // The wide reader agrees.
    std::wstring w(c.texte, c.texte + std::strlen(c.texte));
    CDateTimeBase dw = Date(2024, 1, 1, 1, 1, 1, 1);
    EXPECT_EQ(dw.__bSetPartieHeureValide(w.c_str()), c.r);
    EXPECT_EQ(dw.dwGetMilli(), dt.dwGetMilli());
  }
  CDateTimeBase dt = Date(2024, 1, 1, 1);
  EXPECT_EQ(dt.__bSetPartieHeureValide(static_cast<const char*>(nullptr)), 1);
  EXPECT_EQ(dt.dwGetMilli(), 0u);
  // Fullwidth digits are not digits.
  EXPECT_EQ(dt.__bSetPartieHeureValide(L"\xFF11\xFF12"), 0);
}

TEST(DateTimeReaders, CheckedDateTexts) {
  struct Case {
    const char* texte;
    int r;
  };
  const Case cases[] = {
      {"20240115", 1},  {"20240229", 1},   {"00010101", 1},  {"99991231", 1},
      {"2024011512", 1}, {"20240230", 0},  {"20230229", 0},  {"20241301", 0},
      {"20240001", 0},  {"20240100", 0},   {"00000101", 0},  {"00000000", 0},
      {"2024011", 0},   {"", 0},           {"2024-1-5", 0},  {" 2024011", 0},
      {"+2024011", 0},  {"2024013x", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.texte);
    CDateTimeBase dt = Date(1999, 9, 9, 9);
    EXPECT_EQ(dt.__bSetPartieDateValide(c.texte), c.r);
    if (c.r) {
      EXPECT_EQ(Texte(dt).substr(0, 8), std::string(c.texte, 8));
    } else {
      EXPECT_EQ(Texte(dt), "19990909090000000");
    }
    EXPECT_EQ(dt.dwGetMilli(), 9 * 3600000u);
  }
}

// The checked readers' rules written over std::string and std::from_chars:
// the answer and the milliseconds (or -1 for a refusal) of a time text.
long long ModeleHeure(const std::string& texte) {
  if (texte.empty()) return 0;
  std::string s = texte.substr(0, 9);
  size_t p = s.find_first_not_of("0123456789");
  if (p != std::string::npos && p <= 5) return -1;
  if (p != std::string::npos) s.resize(p);
  if (s.size() == 1 || s.size() == 3 || s.size() == 5) return -1;
  auto champ = [&](size_t at, size_t n) {
    int v = 0;
    if (at < s.size()) std::from_chars(s.data() + at, s.data() + std::min(s.size(), at + n), v);
    return v;
  };
  int h = champ(0, 2), m = champ(2, 2), sec = champ(4, 2), ms = champ(6, 3);
  if (s.size() == 7) ms *= 100;
  if (s.size() == 8) ms *= 10;
  if (h > 23 || m > 59 || sec > 59) return -1;
  return h * 3600000LL + m * 60000LL + sec * 1000LL + ms;
}

TEST(DateTimeReaders, CheckedReadersOfRandomTextsAgreeWithAModel) {
  std::mt19937 rng(2);
  const char alphabet[] = "0123456789012345678901234567890123456789 x-+";
  std::uniform_int_distribution<int> longueur(0, 12), lettre(0, int(sizeof alphabet) - 2);
  std::uniform_int_distribution<int> heure(0, 29), minute(0, 69);
  for (int i = 0; i < 30000; ++i) {
    std::string t;
    if (i % 2 == 0) {
      // Mostly well-formed times near the limits.
      char sz[16];
      std::snprintf(sz, sizeof sz, "%02d%02d%02d%03d", heure(rng), minute(rng), minute(rng), i % 1000);
      t.assign(sz, size_t(longueur(rng) % 10));
    } else {
      for (int n = longueur(rng); n > 0; --n) t += alphabet[lettre(rng)];
    }
    CDateTimeBase dt = Date(2024, 1, 1, 0, 0, 0, 7);
    long long attendu = ModeleHeure(t);
    ASSERT_EQ(dt.__bSetPartieHeureValide(t.c_str()), attendu >= 0 ? 1 : 0) << '"' << t << '"';
    ASSERT_EQ(dt.dwGetMilli(), attendu >= 0 ? attendu : 7) << '"' << t << '"';
    // Dates: 8 digits, a year from 1, a month and a day of that month.
    CDateTimeBase dd = Date(1999, 9, 9);
    std::string d8 = t.size() >= 8 ? t.substr(0, 8) : std::string();
    bool bValide = d8.size() == 8 && d8.find_first_not_of("0123456789") == std::string::npos;
    if (bValide) {
      int y = std::stoi(d8.substr(0, 4)), m = std::stoi(d8.substr(4, 2)), d = std::stoi(d8.substr(6, 2));
      bValide = y >= 1 && m >= 1 && m <= 12 && d >= 1 &&
                (y < 1583 || year_month_day{year{y}, month(unsigned(m)), day(unsigned(d))}.ok()) &&
                d <= CDateTimeBase::s_nGetNbJourMois(m, y);
    }
    ASSERT_EQ(dd.__bSetPartieDateValide(t.c_str()), bValide ? 1 : 0) << '"' << t << '"';
  }
}

TEST(DateTimeReaders, UncheckedTimeTextsTakeAnyDigits) {
  struct Case {
    const char* texte;
    unsigned int ms;
  };
  const Case cases[] = {
      {"1234565", 45296500u},  {"12345605", 45296050u}, {"123456", 45296000u},
      {"12", 43200000u},       {"", 0u},                {"999999999", 99u * 3600000 + 99u * 60000 + 99u * 1000 + 999},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.texte);
    CDateTimeBase dt = Date(2024, 1, 1);
    EXPECT_EQ(dt.__SetPartieHeure(c.texte), c.ms);
    EXPECT_EQ(dt.dwGetMilli(), c.ms);
  }
}

TEST(DateTimeReaders, SystemTimesFromTexts) {
  SYSTEMTIME st{1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(CDateTimeBase::nHeureVersSysteme(L"1234565", &st), 0);
  EXPECT_EQ(st.wYear + st.wMonth + st.wDay, 0);
  EXPECT_EQ(st.wHour, 12);
  EXPECT_EQ(st.wMinute, 34);
  EXPECT_EQ(st.wSecond, 56);
  EXPECT_EQ(st.wMilliseconds, 500);
  EXPECT_EQ(st.wDayOfWeek, 3);
  EXPECT_EQ(CDateTimeBase::nDateVersSysteme(L"20240115", &st), 0);
  EXPECT_EQ(st.wYear, 2024);
  EXPECT_EQ(st.wMonth, 1);
  EXPECT_EQ(st.wDay, 15);
  EXPECT_EQ(st.wHour + st.wMinute + st.wSecond + st.wMilliseconds, 0);
  EXPECT_EQ(st.wDayOfWeek, 3);
  EXPECT_EQ(CDateTimeBase::nDateVersSysteme(nullptr, &st), 0);
  EXPECT_EQ(st.wYear, 0);
}

// ---------------------------------------------------------------------------
// Digit routines

TEST(DateTimeDigits, NumbersAreReadFromAFieldOfTheText) {
  struct Case {
    const char* texte;
    unsigned int start, len;
    int bEchelle;
    int r;
  };
  const Case cases[] = {
      {"2024011512", 8, 3, 1, 120},
      {"2024011512", 8, 3, 0, 0},
      {"2024011512", 0, 4, 0, 2024},
      {"2024011512", 4, 2, 0, 1},
      {"2024011512", 10, 2, 1, 0},  // start at the end: not inside
      {"2024011512", 20, 2, 1, 0},
      {"", 0, 2, 1, 0},
      {"  12", 0, 4, 0, 12},
      {"-5", 0, 2, 0, -5},
      {"+7", 0, 2, 0, 7},
      {"1x", 0, 2, 0, 1},
      {"x1", 0, 2, 0, 0},
      {"12", 0, 0, 0, 0},
      {"99999999999", 0, 11, 0, INT_MAX},
      {"-99999999999", 0, 12, 0, INT_MIN},
      {"2147483647", 0, 10, 0, INT_MAX},
      {"-2147483648", 0, 11, 0, INT_MIN},
      {"9", 0, 12, 1, INT_MAX},     // the scaling saturates
      {"-9", 0, 12, 1, INT_MIN},
      {"12", 0, 4294967295u, 1, INT_MAX},
      {"12", 1, 4294967295u, 1, INT_MAX},
      {"12", 4294967295u, 2, 1, 0},  // start + len past 32 bits
      {"0", 0, 4294967295u, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.texte) + " " + std::to_string(c.start) + " " + std::to_string(c.len));
    EXPECT_EQ(CDateTimeBase::nGetPropDateTime(c.texte, c.start, c.len, c.bEchelle), c.r);
    std::wstring w(c.texte, c.texte + std::strlen(c.texte));
    EXPECT_EQ(CDateTimeBase::nGetPropDateTime(w.c_str(), c.start, c.len, c.bEchelle), c.r);
  }
  EXPECT_EQ(CDateTimeBase::nGetPropDateTime(static_cast<const char*>(nullptr), 0, 2, 1), 0);
  EXPECT_EQ(CDateTimeBase::nGetPropDateTime(static_cast<const wchar_t*>(nullptr), 0, 2, 1), 0);
  EXPECT_EQ(CDateTimeBase::nGetPropDateTime(L"\xFF11\xFF12", 0, 2, 0), 0);
}

TEST(DateTimeDigits, FieldsAreWrittenZeroPaddedAndWideValuesAreRefused) {
  struct Case {
    const char* name;
    unsigned int start, width;
    int value;
    unsigned int total;
    int r;
    const char* apres;  // the 12-character buffer afterwards, '\0' shown as '|'
  };
  const Case cases[] = {
      {"padded", 2, 4, 7, 6, 1, "xx0007|xxxxx"},
      {"full width", 0, 3, 999, 3, 1, "999|xxxxxxxx"},
      {"terminator further on", 0, 2, 5, 4, 1, "05xx|xxxxxxx"},
      {"total cuts the field", 2, 4, 7, 4, 1, "xx00|xxxxxxx"},
      {"total before the field", 5, 4, 7, 3, 1, "xxx|xxxxxxxx"},
      {"value wider than the field", 0, 2, 100, 4, 0, "xxxxxxxxxxxx"},
      {"negative value", 0, 4, -1, 4, 0, "xxxxxxxxxxxx"},
      {"zero width", 0, 0, 0, 4, 0, "xxxxxxxxxxxx"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char sz[12];
    wchar_t wsz[12];
    std::memset(sz, 'x', sizeof sz);
    std::fill(wsz, wsz + 12, L'x');
    EXPECT_EQ(CDateTimeBase::SetPropDateTime(sz, c.start, c.width, c.value, c.total), c.r);
    EXPECT_EQ(CDateTimeBase::SetPropDateTime(wsz, c.start, c.width, c.value, c.total), c.r);
    std::string vu;
    for (int i = 0; i < 12; ++i) {
      vu += sz[i] == 0 ? '|' : sz[i];
      EXPECT_EQ(wsz[i], static_cast<wchar_t>(static_cast<unsigned char>(sz[i])));
    }
    EXPECT_EQ(vu, c.apres);
  }
}

TEST(DateTimeDigits, FastDigitsWriteTheGivenCount) {
  struct Case {
    int v, n;
    const char* texte;
  };
  const Case cases[] = {{2024, 4, "2024"}, {7, 4, "0007"}, {2024, 6, "2024"}, {5, 3, "005"},
                        {999, 3, "999"},   {9, 2, "09"},   {42, 2, "42"},     {7, 1, "7"},
                        {3, 0, "3"}};
  for (const auto& c : cases) {
    char sz[8] = {};
    wchar_t wsz[8] = {};
    FAST_SETI2DATE(sz, c.v, c.n);
    FAST_SETI2DATE(wsz, c.v, c.n);
    EXPECT_STREQ(sz, c.texte);
    EXPECT_EQ(std::wstring(wsz), std::wstring(c.texte, c.texte + std::strlen(c.texte)));
  }
}

// ---------------------------------------------------------------------------
// Counted outputs and the 17-byte form (need the server's string allocator)

class DateTimeBinary : public kqtest::BoundFrameworkTest {};

std::string Octets(const CVXBIN& b) {
  return b.pbyGet() == nullptr ? std::string()
                               : std::string(reinterpret_cast<const char*>(b.pbyGet()), b.nGetSize());
}

CVXBIN Binaire(const std::string& s) {
  CVXBIN b;
  EXPECT_EQ(b.nAssign(reinterpret_cast<const unsigned char*>(s.data()), int(s.size()), 0), 0);
  return b;
}

TEST_F(DateTimeBinary, ValuesRoundTripThroughTheSeventeenByteForm) {
  std::mt19937 rng(17);
  std::uniform_int_distribution<int> annee(1, 9999), mois(1, 12), jour(1, 31), milli(0, 86399999);
  for (int i = 0; i < 5000; ++i) {
    int y = annee(rng), m = mois(rng), d = std::min(jour(rng), CDateTimeBase::s_nGetNbJourMois(m, y));
    unsigned int ms = unsigned(milli(rng));
    CDateTimeBase dt = Date(y, m, d, 0, 0, 0, int(ms));
    CVXBIN b;
    ASSERT_EQ(dt.nVersBinaire(&b, 0), 0);
    ASSERT_EQ(Octets(b), TexteAttendu(y, m, d, ms));
    CDateTimeBase verifie, brut;
    verifie.InitDate();
    ASSERT_EQ(verifie.nDepuisBinaireValide(&b, 0), 0);
    brut.DepuisBinaire(&b, 0);
    ASSERT_EQ(CDateTimeBase::nCompare(&verifie, &dt), 0) << Octets(b);
    ASSERT_EQ(CDateTimeBase::nCompare(&brut, &dt), 0) << Octets(b);
  }
}

TEST_F(DateTimeBinary, CheckedReadingRefusesBadDatesAndTimesAndKeepsTheValue) {
  struct Case {
    const char* name;
    std::string octets;
    int r;
    const char* apres;
  };
  const Case cases[] = {
      {"date only", "20240115", 0, "20240115000000000"},
      {"date and hours", "2024011512", 0, "20240115120000000"},
      {"one digit of milliseconds", "202401151234567", 0, "20240115123456700"},
      {"more than 17 bytes", "20240115123456789123", 0, "20240115123456789"},
      {"February 30", "20240230", kDateInvalide, nullptr},
      {"month 13", "20241301120000000", kDateInvalide, nullptr},
      {"year 0", "00000101", kDateInvalide, nullptr},
      {"the empty date", "00000000000000000", kDateInvalide, nullptr},
      {"short", "2024011", kDateInvalide, nullptr},
      {"nothing", "", kDateInvalide, nullptr},
      {"24:00:00.001", "20240115240000001", kHeureInvalide, nullptr},
      {"99 minutes", "20240115129900000", kHeureInvalide, nullptr},
      {"one character of time", "202401151", kHeureInvalide, nullptr},
      {"a letter in the time", "2024011512a456789", kHeureInvalide, nullptr},
      {"a zero byte in the date", std::string("2024\0" "115", 8), kDateInvalide, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CVXBIN b = Binaire(c.octets);
    CDateTimeBase dt = Date(1999, 9, 9, 9, 9, 9, 9);
    EXPECT_EQ(dt.nDepuisBinaireValide(&b, 0), c.r);
    EXPECT_EQ(Texte(dt), c.apres != nullptr ? c.apres : "19990909090909009");
  }
  CDateTimeBase dt = Date(1999, 9, 9);
  EXPECT_EQ(dt.nDepuisBinaireValide(nullptr, 0), kDateInvalide);
}

TEST_F(DateTimeBinary, UncheckedReadingStoresTheDigitsAsTheyAre) {
  struct Case {
    const char* name;
    std::string octets;
    const char* apres;
  };
  const Case cases[] = {
      {"a date at midnight", "20240115", "20240115000000000"},
      {"February 30 kept", "20240230", "20240230000000000"},
      {"hours beyond the day", "20240115990000000", "20240115990000000"},
      {"one digit of milliseconds", "202401151234565", "20240115123456500"},
      {"nothing", "", "00000000000000000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CVXBIN b = Binaire(c.octets);
    CDateTimeBase dt = Date(1999, 9, 9, 9);
    dt.DepuisBinaire(&b, 0);
    EXPECT_EQ(Texte(dt), c.apres);
  }
  CDateTimeBase dt = Date(1999, 9, 9, 9);
  dt.DepuisBinaire(nullptr, 0);
  EXPECT_TRUE(dt.bDateVide());
  EXPECT_EQ(dt.dwGetMilli(), 0u);
}

TEST_F(DateTimeBinary, ValuesBeyondSeventeenDigitsHaveNoFixedForm) {
  struct Case {
    const char* name;
    CDateTimeBase dt;
    int r;
  };
  const Case cases[] = {
      {"year 10000", Date(10000, 1, 1), kDateInvalide},
      {"100 hours", Date(2024, 1, 1, 100), kHeureInvalide},
      {"every field at its widest", Date(65535, 255, 255, 0, 0, 0, -1), kDateInvalide},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CVXBIN b = Binaire("keep");
    EXPECT_EQ(c.dt.nVersBinaire(&b, 0), c.r);
    EXPECT_EQ(Octets(b), "keep");
    CXYString<wchar_t> s(L"keep");
    EXPECT_EQ(c.dt.nVersChaine(&s), c.r);
    EXPECT_STREQ(s.pszGet(), L"keep");
  }
}

TEST_F(DateTimeBinary, TheFullTextGoesToACountedString) {
  CXYString<wchar_t> s;
  EXPECT_EQ(Date(2024, 1, 5, 7, 8, 9, 45).nVersChaine(&s), 0);
  EXPECT_STREQ(s.pszGet(), L"20240105070809045");
  EXPECT_EQ(s.nGetLongueur(), 17);
}

}  // namespace
