// CXTime: the framework's calendar time, a POSIX tm plus milliseconds. It
// reads the clock (UTC or local), converts between tm, SYSTEMTIME, FILETIME,
// MS-DOS date and time words, Unix times and the language's date-time value,
// compares, formats (strftime patterns, the language's compact texts, a
// readable form, ODBC and SQL Server literals) and parses the language's
// compact texts, including the lower and upper bounds that a search on a
// partial date or time uses.
//
// Texts of the language: a date is YYYYMMDD, a time HHMMSSmmm, a date-time
// YYYYMMDDHHMMSSmmm with one optional blank between date and time.
//
// The reset state (default constructor, SetTo0 and every failed conversion):
// year 0 (tm_year = -1900), January 1, 00:00:00.000, day of week and day of
// year -1. The reset leaves the daylight-saving flag, the GMT offset and the
// zone name as they were. The operations that set fields one by one do not
// write the GMT offset or the zone name either.
//
// Ranges are not checked: fields hold what the caller or the text gave. Every
// writer of a fixed-size buffer is nevertheless bounded by the size its
// contract names, so out-of-range fields cut the text rather than overrun it.
//
// Ownership: a plain value (its tm's zone name points to the C library's
// static zone names or is null). Threads: no shared state; the re-entrant
// localtime_r and gmtime_r are used; mktime and timegm follow the process's
// time zone (TZ).
#ifndef KQ230_PLATFORM_BROKEN_DOWN_TIME_H_
#define KQ230_PLATFORM_BROKEN_DOWN_TIME_H_

#include <ctime>

#include "platform/file_time.h"

class CTString;

class CXTime {
 public:
  // Days per month of a common year.
  static const int tabMonth[12];

  // Buffer sizes (characters, terminator included) that the fixed-buffer
  // writers require; a text longer than its buffer (fields out of range) is
  // cut there.
  static constexpr unsigned int kFormatBufferSize = 256;
  static constexpr unsigned int kVXDateBufferSize = 9;          // YYYYMMDD
  static constexpr unsigned int kVXTimeBufferSize = 10;         // HHMMSSmmm
  static constexpr unsigned int kSQLServerTimeStampSize = 22;   // YYYYMMDD HH:MM:SS.mmm
  static constexpr unsigned int kOdbcTimeStampSize = 31;        // {ts 'YYYY-MM-DD HH:MM:SS.mmm'}
  static constexpr unsigned int kOdbcDateSize = 17;             // {d 'YYYY-MM-DD'}
  static constexpr unsigned int kOdbcTimeSize = 19;             // {t 'HH:MM:SS.mmm'}

  // ---- Construction and setting. In the forms with separate year, month and
  // day a month <= 0 gives January (else month - 1) and a day <= 0 gives 1.
  CXTime();
  CXTime(const CXTime& other) = default;
  CXTime& operator=(const CXTime& other) = default;
  virtual ~CXTime();

  CXTime(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond, int nIsDst);
  // Fields from the record (day of week included, day of year -1); the month
  // is taken minus one without a check.
  CXTime(const _SYSTEMTIME& st, int nIsDst);
  // MS-DOS date and time words: seconds (time & 31) * 2, minutes (time >> 5)
  // & 63, hours (time >> 11) & 31, day date & 31, month ((date >> 5) & 15) - 1,
  // years since 1900 (date >> 9) + 80.
  CXTime(unsigned short wDosDate, unsigned short wDosTime, int nIsDst);
  // The local time of the Unix time t; t == -1 or a failed conversion: reset.
  explicit CXTime(long t);
  // The UTC file time converted to local time; a failed conversion: reset.
  CXTime(const _FILETIME& ft, int nIsDst);

  CXTime& operator=(long t);

  void SetTime(const CXTime& other);
  void SetTime(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond, int nIsDst);
  void SetTime(const _SYSTEMTIME& st, int nIsDst);
  void SetTime(unsigned short wDosDate, unsigned short wDosTime, int nIsDst);
  // Every field of the tm; milliseconds 0.
  void SetTime(const tm& stTm);
  void SetTime(long t);
  void SetTime(const _FILETIME& ft, int nIsDst);
  // From the language's date-time value (CDateTime of the values layer, or
  // anything with its accessors nGetAnnee, nGetMois, nGetJour, dwGetMilli):
  // reset, then year, month (0: January), day (0: 1) and the time of day.
  template <class TDateTime>
  void SetTime(const TDateTime& dt) {
    _SetFromDateTimeFields(dt.nGetAnnee(), dt.nGetMois(), dt.nGetJour(), dt.dwGetMilli());
  }
  // The UTC broken-down time of t (gmtime_r); t == -1 or failure: reset.
  void SetUTCTime(long t);
  // The current time (GetSystemTime / GetLocalTime) with its milliseconds;
  // daylight-saving flag -1, day of year -1.
  void SetFromUTCTime();
  void SetFromLocalTime();
  // The reset state.
  void SetTo0();

  // ---- Reading out
  tm* nGetTimeTm() { return &m_tm; }
  const tm* nGetTimeTm() const { return &m_tm; }
  int nGetMilli() const { return m_nMilli; }
  void SetMilli(int nMilli) { m_nMilli = nMilli; }

  // Year + 1900, month + 1, day of week, day, hours, minutes, seconds,
  // milliseconds; answers 1.
  int bGetAsSystemTime(_SYSTEMTIME& st) const;
  // The same from a tm, milliseconds 0.
  static void GetAsSystemTime(_SYSTEMTIME& st, const tm& stTm);
  // This time taken as local time, converted to UTC and to a file time;
  // answers whether the conversion to UTC succeeded.
  int bGetAsFileTime(_FILETIME& ft) const;
  // Fills the language's date-time value through its InitDate(_SYSTEMTIME*)
  // with the system time of bGetAsSystemTime.
  template <class TDateTime>
  void GetVXDateTime(TDateTime* pdt) const {
    _SYSTEMTIME st;
    bGetAsSystemTime(st);
    pdt->InitDate(&st);
  }

  // mktime of the tm (normalised in place, as local time).
  long nGetTime32_t();
  static long s_nGetTime_t(tm& stTm);
  // The tm taken as UTC: timegm (normalised in place, as UTC). timegm, not
  // mktime plus today's offset: that sum is an hour off in summer and wrong
  // whenever the zone's offset has changed since.
  long nGetTime32_t_UTC();
  static long s_nGetTime_t_UTC(tm& stTm);
  // now - mktime(UTC broken-down time of now): the current local offset east
  // of UTC in seconds, as the zone's standard time sees it.
  static long __s_nGetOffsetMkTime();
  // mktime of a copy of local, then gmtime_r; timegm of a copy of utc, then
  // localtime_r. The output is left unchanged when the conversion fails.
  static void Local2UTC(const tm& stLocal, tm& stUTC);
  static void UTC2Local(const tm& stUTC, tm& stLocal);

  // t * 10,000,000 + 116444736000000000.
  static _FILETIME UnixTimeToFileTime(long t);
  // (file time - 116444736000000000) / 10,000,000, signed 64-bit division.
  static long long FileTimeToUnixTime(const _FILETIME& ft);
  // Through a file time (SystemTimeToFileTime, FileTimeToSystemTime); a
  // record that does not convert gives 0 / leaves st unchanged.
  static long long SystemTimeToUnixTime(const _SYSTEMTIME& st);
  static void UnixTimeToSystemTime(long t, _SYSTEMTIME& st);

  // The clock.
  static long nGetCurrentTime();
  static void nGetCurrentTime(_SYSTEMTIME* pst);
  static void GetLocalTime(_SYSTEMTIME* pst);
  static int bSetLocalTime(_SYSTEMTIME* pst);
  // Sets the system's local time to this time (needs the privilege).
  int bInitLocalTime() const;

  // ---- Calendar
  static int bBissextile(int nYear);
  // -1 for a month outside 1-12.
  static int nGetDayInMonth(int nYear, int nMonth);
  // The same for a language date text: the year is its first four
  // characters (a missing one read as the digit 0), the month its characters
  // 5-6 (the digit 0 for a missing sixth; four characters or less, or month
  // 0, mean January). A null text reads as "".
  static int bBissextile(const wchar_t* pszDate);
  static int nGetDayInMonth(const wchar_t* pszDate);

  // ---- Comparison: years, months, days, hours, minutes, seconds in that
  // order; the difference of the first pair that differs, 0 when all equal.
  static int snCompare(const tm* pA, const tm* pB);
  // snCompare, then the milliseconds.
  bool operator>(const CXTime& other) const;
  bool operator>=(const CXTime& other) const;

  // ---- Texts out (wide, Windows printf convention).
  // wcsftime into pszOut (kFormatBufferSize characters): the length; an
  // empty text and 0 when the result does not fit.
  int Format(const wchar_t* pszPattern, wchar_t* pszOut) const;
  int Format(const wchar_t* pszPattern, CTString& clOut) const;
  // "%Y%m%d", "%H%M%S", "%H%M", "%Y%m%d %H%M%S", "%H%M%S" + "%03d" ms,
  // "%Y%m%d%H%M%S" + "%03d" ms.
  void GetVXDate(CTString& clOut) const;
  void GetVXTimeHHMMSS(CTString& clOut) const;
  void GetVXTimeHHMM(CTString& clOut) const;
  void GetVXTimeAAAAMMJJ_HHMMSS(CTString& clOut) const;
  void GetVXTimeHHMMSSCCm(CTString& clOut) const;
  void GetVXTimeAAAAMMJJHHMMSSCCm(CTString& clOut) const;
  // "%04d%02d%02d" (year, month, day) into kVXDateBufferSize characters.
  void GetVXDate(wchar_t* pszOut) const;
  void GetVXDate(char* pszOut) const;
  // "%02d%02d%02d%03d" into kVXTimeBufferSize characters.
  void GetVXTime(wchar_t* pszOut) const;
  void GetVXTime(char* pszOut) const;
  // "%02d/%02d/%04d %02d:%02d:%02d" (day, month, year, h, m, s); with ",%03d".
  void GetVXTimeReadableSS(CTString& clOut) const;
  void GetVXTimeReadable(CTString& clOut) const;
  // "%04d%02d%02d %02d:%02d:%02d.%03d" into kSQLServerTimeStampSize.
  void FormatToSQLServerTimeStamp(wchar_t* pszOut) const;
  // "{ts '%04d-%02d-%02d %02d:%02d:%02d.%03d'}" into kOdbcTimeStampSize.
  void FormatToOdbcTimeStamp(wchar_t* pszOut) const;
  void FormatToOdbcTimeStamp(CTString& clOut) const;
  // "{d '%04d-%02d-%02d'}" into kOdbcDateSize.
  void FormatToOdbcDate(wchar_t* pszOut) const;
  void FormatToOdbcDate(CTString& clOut) const;
  // "{t '%02d:%02d:%02d.%03d'}" into kOdbcTimeSize.
  void FormatToOdbcTime(wchar_t* pszOut) const;
  void FormatToOdbcTime(CTString& clOut) const;

  // ---- Texts in. Fixed positions read with wcstol/strtol on each part's
  // digits; ranges are not validated; month <= 0 gives January, day <= 0 1.
  // Reset; false unless exactly 8 characters.
  int bSetVXDate(const wchar_t* pszDate);
  // Reset; false for null or 3 characters or less. Hours (1-2), minutes
  // (3-4); from 6 characters the seconds (5-6); exactly 8: milliseconds =
  // characters 7-8 * 10; more than 8: characters 7-9.
  int bSetVXTime(const wchar_t* pszTime);
  // Reset and the flag stored; false for null, empty or 15 characters or
  // less. Date 1-8, one optional blank, hours, minutes, seconds; exactly 2
  // characters after the seconds are centiseconds, 3 milliseconds, any other
  // count leaves the milliseconds 0. Answers 1.
  int bSetVXDateTime(const char* pszDateTime, int nIsDst);
  int bSetVXDateTime(const wchar_t* pszDateTime, int nIsDst);
  // Lower bound of the times that begin with a partial text: sets only the
  // parts the text reaches, a part given by one digit completed with 0:
  // "" hours 0; "H" hours H0; "HH"; "HHM" minutes M0; ...; from 7
  // characters the milliseconds, completed with 0 to three digits. Stores the
  // flag; a null text reads as "". Answers 1.
  int bSetVXTimeMin(const wchar_t* pszTime, int nIsDst);
  // Reset and the flag stored; null or empty: 1 at once. Year (completed with
  // 0 to four digits), month from 5 characters, day from 7 (below 1: 1), the
  // rest (one blank after the date skipped) through bSetVXTimeMin. Answers 1.
  int bSetVXDateTimeMin(const wchar_t* pszDateTime, int nIsDst);
  // Upper bounds of a partial text: the prefix with its last digit increased
  // (carrying into the digits before it as each position allows) and cut
  // after that digit, read as the lower bound. False when there is no next
  // value (every digit at its highest, a character that is not a digit, an
  // empty or too long text). Time: at most 9 characters. Date-time: at most
  // 17 digits once a blank after the date is removed (longer texts are first
  // cut to 18 characters); the hour units go up to 9 under the tens 0 and 1
  // and up to 3 under the tens 2, as in bSetVXTimeMax.
  int bSetVXTimeMax(const wchar_t* pszTime, int nIsDst);
  int bSetVXDateTimeMax(const wchar_t* pszDateTime, int nIsDst);

 private:
  void _SetFromDateTimeFields(int nYear, int nMonth, int nDay, unsigned int dwMilli);
  void _SetFromSystemTime(const _SYSTEMTIME& st);
  // Year + 1900 and month + 1, as the printf forms write them.
  int _nYear() const { return m_tm.tm_year + 1900; }
  int _nMonth() const { return m_tm.tm_mon + 1; }
  template <class T>
  int _bSetVXDateTimeT(const T* pszText, int nIsDst);

  tm m_tm;
  int m_nMilli = 0;
};

#endif  // KQ230_PLATFORM_BROKEN_DOWN_TIME_H_
