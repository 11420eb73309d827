// 64-bit time_t in this file only: the 32-bit default ends in 2038 and starts
// in 1901, and the local-time conversions must cover the dates the server
// stores. Nothing of time_t crosses the header.
#define _FILE_OFFSET_BITS 64
#define _TIME_BITS 64

#include "platform/file_time.h"

#include <sys/stat.h>
#include <sys/time.h>
#include <utime.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <string>

#include "core/unicode.h"

static_assert(sizeof(time_t) == 8, "this file needs the 64-bit time_t");

namespace {

// The largest FILETIME the conversions accept, as Win32 does.
constexpr uint64_t kMaxFileTime = 0x7FFFFFFFFFFFFFFFULL;
constexpr int64_t kUnits = int64_t(kFileTimeUnitsPerSecond);
constexpr int64_t kEpoch = int64_t(kFileTimeEpoch);

// Floor division and modulo, so that times before 1970 split into a whole
// second and a non-negative remainder.
int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days since 1970-01-01 of a proleptic Gregorian date (month 1 to 12).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  int64_t era = FloorDiv(y, 400);
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t* py, int* pm, int* pd) {
  z += 719468;
  int64_t era = FloorDiv(z, 146097);
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  *pd = int(doy - (153 * mp + 2) / 5 + 1);
  *pm = int(mp < 10 ? mp + 3 : mp - 9);
  *py = yoe + era * 400 + (*pm <= 2);
}

// timegm without its limits and without its ambiguous -1: the fields are
// normalised the way timegm normalises them (month 13 is January of the next
// year, second 60 the next minute).
int64_t SecondsFromFields(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                          int64_t second) {
  int64_t m0 = month - 1;
  year += FloorDiv(m0, 12);
  m0 -= FloorDiv(m0, 12) * 12;
  int64_t days = DaysFromCivil(year, m0 + 1, 1) + day - 1;
  return ((days * 24 + hour) * 60 + minute) * 60 + second;
}

int64_t SecondsFromTm(const struct tm& t) {
  return SecondsFromFields(int64_t(t.tm_year) + 1900, int64_t(t.tm_mon) + 1, t.tm_mday, t.tm_hour,
                           t.tm_min, t.tm_sec);
}

// The FILETIME of whole seconds plus a sub-second part; false outside
// 1601-01-01 to the Win32 maximum.
bool FileTimeFromSeconds(int64_t seconds, int64_t units, uint64_t* pValue) {
  // Bounds before multiplying, so nothing can wrap.
  constexpr int64_t kMinSeconds = -kEpoch / kUnits;
  constexpr int64_t kMaxSeconds = (int64_t(kMaxFileTime) - kEpoch) / kUnits;
  if (seconds < kMinSeconds || seconds > kMaxSeconds) return false;
  int64_t v = seconds * kUnits + kEpoch;
  if (v > int64_t(kMaxFileTime) - units) return false;
  *pValue = uint64_t(v + units);
  return true;
}

// Splits a FILETIME into seconds since 1970 (floor) and the remaining units.
bool SecondsFromFileTime(const _FILETIME& ft, int64_t* pSeconds, int64_t* pUnits) {
  uint64_t v = FileTimeToU64(ft);
  if (v > kMaxFileTime) return false;
  int64_t since1970 = int64_t(v) - kEpoch;
  *pSeconds = FloorDiv(since1970, kUnits);
  *pUnits = since1970 - *pSeconds * kUnits;
  return true;
}

void FieldsFromTm(const struct tm& t, unsigned short ms, _SYSTEMTIME* pst) {
  pst->wYear = static_cast<unsigned short>(t.tm_year + 1900);
  pst->wMonth = static_cast<unsigned short>(t.tm_mon + 1);
  pst->wDayOfWeek = static_cast<unsigned short>(t.tm_wday);
  pst->wDay = static_cast<unsigned short>(t.tm_mday);
  pst->wHour = static_cast<unsigned short>(t.tm_hour);
  pst->wMinute = static_cast<unsigned short>(t.tm_min);
  pst->wSecond = static_cast<unsigned short>(t.tm_sec);
  pst->wMilliseconds = ms;
}

struct tm TmFromFields(const _SYSTEMTIME& st) {
  struct tm t = {};
  t.tm_year = int(st.wYear) - 1900;
  t.tm_mon = int(st.wMonth) - 1;
  t.tm_mday = st.wDay;
  t.tm_hour = st.wHour;
  t.tm_min = st.wMinute;
  t.tm_sec = st.wSecond;
  t.tm_isdst = -1;  // let the library decide on daylight-saving time
  return t;
}

// mktime, with a failure told apart from the valid time -1 (1969-12-31
// 23:59:59 UTC) by errno.
bool MakeLocalTime(struct tm* t, time_t* pResult) {
  errno = 0;
  time_t r = mktime(t);
  if (r == time_t(-1) && errno != 0) return false;
  *pResult = r;
  return true;
}

}  // namespace

unsigned long long FileTimeToU64(const _FILETIME& ft) {
  return uint64_t(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
}

_FILETIME U64ToFileTime(unsigned long long v) {
  return _FILETIME{uint32_t(v), uint32_t(v >> 32)};
}

unsigned long long TimeToFileTime(long t, _FILETIME* pft) {
  uint64_t v = uint64_t(int64_t(t) * kUnits + kEpoch);
  if (pft) *pft = U64ToFileTime(v);
  return v;
}

int SystemTimeToFileTime(const _SYSTEMTIME* pst, _FILETIME* pft) {
  if (!pst || !pft) return 0;
  int64_t seconds = SecondsFromFields(pst->wYear, pst->wMonth, pst->wDay, pst->wHour,
                                      pst->wMinute, pst->wSecond);
  uint64_t v;
  if (!FileTimeFromSeconds(seconds, int64_t(pst->wMilliseconds) * 10000, &v)) return 0;
  *pft = U64ToFileTime(v);
  return 1;
}

int FileTimeToSystemTime(const _FILETIME* pft, _SYSTEMTIME* pst) {
  if (!pft || !pst) return 0;
  int64_t seconds, units;
  if (!SecondsFromFileTime(*pft, &seconds, &units)) return 0;
  int64_t days = FloorDiv(seconds, 86400);
  int64_t inDay = seconds - days * 86400;
  int64_t year;
  int month, day;
  CivilFromDays(days, &year, &month, &day);
  pst->wYear = static_cast<unsigned short>(year);  // 1601 to 30828
  pst->wMonth = static_cast<unsigned short>(month);
  pst->wDayOfWeek = static_cast<unsigned short>(days - FloorDiv(days + 4, 7) * 7 + 4);
  pst->wDay = static_cast<unsigned short>(day);
  pst->wHour = static_cast<unsigned short>(inDay / 3600);
  pst->wMinute = static_cast<unsigned short>(inDay / 60 % 60);
  pst->wSecond = static_cast<unsigned short>(inDay % 60);
  pst->wMilliseconds = static_cast<unsigned short>(units / 10000);
  return 1;
}

int FileTimeToLocalFileTime(const _FILETIME* pft, _FILETIME* pftLocal) {
  if (!pft || !pftLocal) return 0;
  int64_t seconds, units;
  if (!SecondsFromFileTime(*pft, &seconds, &units)) return 0;
  time_t t = time_t(seconds);
  struct tm local;
  if (!localtime_r(&t, &local)) return 0;
  uint64_t v;
  if (!FileTimeFromSeconds(SecondsFromTm(local), units, &v)) return 0;
  *pftLocal = U64ToFileTime(v);
  return 1;
}

int LocalFileTimeToFileTime(const _FILETIME* pftLocal, _FILETIME* pft) {
  if (!pftLocal || !pft) return 0;
  int64_t seconds, units;
  if (!SecondsFromFileTime(*pftLocal, &seconds, &units)) return 0;
  time_t t = time_t(seconds);
  struct tm wall;
  if (!gmtime_r(&t, &wall)) return 0;
  wall.tm_isdst = -1;
  time_t utc;
  if (!MakeLocalTime(&wall, &utc)) return 0;
  uint64_t v;
  if (!FileTimeFromSeconds(int64_t(utc), units, &v)) return 0;
  *pft = U64ToFileTime(v);
  return 1;
}

bool bUTCVersLocal(_SYSTEMTIME* pstUTC, _SYSTEMTIME* pstLocal) {
  if (!pstUTC || !pstLocal || pstUTC->wYear == 0 || pstUTC->wMonth == 0) return false;
  _FILETIME utc, local;
  return SystemTimeToFileTime(pstUTC, &utc) && FileTimeToLocalFileTime(&utc, &local) &&
         FileTimeToSystemTime(&local, pstLocal);
}

bool bLocalVersUTC(_SYSTEMTIME* pstLocal, _SYSTEMTIME* pstUTC) {
  if (!pstLocal || !pstUTC || pstLocal->wYear == 0 || pstLocal->wMonth == 0) return false;
  struct tm t = TmFromFields(*pstLocal);
  time_t utc;
  if (!MakeLocalTime(&t, &utc)) return false;
  struct tm out;
  if (!gmtime_r(&utc, &out)) return false;
  // Near the ends of the 16-bit year the zone offset can cross into a year
  // the record cannot hold (65536 would wrap to 0, which means "no year").
  if (out.tm_year + 1900 < 1 || out.tm_year + 1900 > 65535) return false;
  FieldsFromTm(out, pstLocal->wMilliseconds, pstUTC);
  return true;
}

void GetSystemTimeAsFileTime(_FILETIME* pft) {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  uint64_t v = uint64_t(int64_t(tv.tv_sec) * kUnits + int64_t(tv.tv_usec) * 10 + kEpoch);
  if (pft) *pft = U64ToFileTime(v);
}

void GetSystemTime(_SYSTEMTIME* pst) {
  struct timeval tv;
  struct tm t;
  if (!pst || gettimeofday(&tv, nullptr) != 0 || !gmtime_r(&tv.tv_sec, &t)) return;
  FieldsFromTm(t, static_cast<unsigned short>(tv.tv_usec / 1000), pst);
}

void GetLocalTime(_SYSTEMTIME* pst) {
  struct timeval tv;
  struct tm t;
  if (!pst || gettimeofday(&tv, nullptr) != 0 || !localtime_r(&tv.tv_sec, &t)) return;
  FieldsFromTm(t, static_cast<unsigned short>(tv.tv_usec / 1000), pst);
}

unsigned int GetTickCount() {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  return uint32_t(uint64_t(tv.tv_sec) * 1000 + uint64_t(tv.tv_usec) / 1000);
}

int SetLocalTime(const _SYSTEMTIME* pst) {
  if (!pst) return 0;
  struct tm t = TmFromFields(*pst);
  time_t seconds;
  if (!MakeLocalTime(&t, &seconds)) return 0;
  struct timeval tv = {};
  tv.tv_sec = seconds;
  return settimeofday(&tv, nullptr) == 0 ? 1 : 0;
}

int GetFileTime(int fd, _FILETIME* pftCreation, _FILETIME* pftLastAccess,
                _FILETIME* pftLastWrite) {
  struct stat st;
  if (fstat(fd, &st) != 0) return 0;
  const struct {
    _FILETIME* out;
    time_t seconds;
  } outputs[] = {{pftCreation, st.st_ctime}, {pftLastAccess, st.st_atime}, {pftLastWrite, st.st_mtime}};
  for (const auto& o : outputs) {
    uint64_t v = 0;
    if (o.out) {
      // A file time before 1601 (not seen in practice) reads as 1601.
      if (!FileTimeFromSeconds(int64_t(o.seconds), 0, &v)) v = 0;
      *o.out = U64ToFileTime(v);
    }
  }
  return 1;
}

int SetFileTime(const wchar_t* pszPath, const _FILETIME* pftCreation,
                const _FILETIME* pftLastAccess, const _FILETIME* pftLastWrite) {
  (void)pftCreation;  // Linux keeps no creation time to set
  if (!pftLastAccess && !pftLastWrite) return 1;
  if (!pszPath) return 0;
  std::string path(size_t(UTF8ByteLen(pszPath)) + 1, '\0');
  int n = WideToUTF8(path.data(), static_cast<unsigned int>(path.size()), pszPath);
  path.resize(size_t(n));
  for (char& c : path)
    if (c == '\\') c = '/';
  struct utimbuf times = {};
  if (!pftLastAccess || !pftLastWrite) {
    // The time not given is kept. stat, not lstat: utime follows a symbolic
    // link, so the kept time must be the target's.
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return 0;
    times.actime = st.st_atime;
    times.modtime = st.st_mtime;
  }
  int64_t seconds, units;
  if (pftLastAccess) {
    if (!SecondsFromFileTime(*pftLastAccess, &seconds, &units)) return 0;
    times.actime = time_t(seconds);
  }
  if (pftLastWrite) {
    if (!SecondsFromFileTime(*pftLastWrite, &seconds, &units)) return 0;
    times.modtime = time_t(seconds);
  }
  return utime(path.c_str(), &times) == 0 ? 1 : 0;
}
