// Time and file times: the Win32 time records and functions over the POSIX
// clock and time-zone functions.
//
// A FILETIME counts 100-nanosecond intervals since 1601-01-01 00:00 UTC in two
// 32-bit words; a POSIX time t corresponds to t * 10,000,000 + kFileTimeEpoch.
// A "local" FILETIME is the local wall-clock time written as if it were UTC.
// A SYSTEMTIME is the broken-down form (day of week 0 = Sunday).
//
// Conversions are computed in signed 64-bit arithmetic, so FILETIMEs before
// 1970 (down to 1601) convert as well as later ones.
//
// Failures answer false (0) in the Win32 manner; nothing is recorded on an
// error object. Local-time conversions depend on the process time zone (TZ).
//
// Threads: the functions use the re-entrant C library forms (gmtime_r,
// localtime_r) and hold no state of their own; SetLocalTime changes the
// system clock.
#ifndef KQ230_PLATFORM_FILE_TIME_H_
#define KQ230_PLATFORM_FILE_TIME_H_

typedef struct _FILETIME {
  unsigned int dwLowDateTime;
  unsigned int dwHighDateTime;
} FILETIME;

typedef struct _SYSTEMTIME {
  unsigned short wYear;
  unsigned short wMonth;      // 1 to 12
  unsigned short wDayOfWeek;  // 0 = Sunday
  unsigned short wDay;        // 1 to 31
  unsigned short wHour;
  unsigned short wMinute;
  unsigned short wSecond;
  unsigned short wMilliseconds;
} SYSTEMTIME;

// 1970-01-01 00:00 UTC as a FILETIME value.
constexpr unsigned long long kFileTimeEpoch = 116444736000000000ULL;  // 0x019DB1DED53E8000
// FILETIME units per second.
constexpr unsigned long long kFileTimeUnitsPerSecond = 10000000ULL;

// The 64-bit value of a FILETIME, and the FILETIME of a 64-bit value.
unsigned long long FileTimeToU64(const _FILETIME& ft);
_FILETIME U64ToFileTime(unsigned long long v);

// t * 10,000,000 + kFileTimeEpoch; stored in *pft when pft is not null, and
// returned as a 64-bit value.
unsigned long long TimeToFileTime(long t, _FILETIME* pft);

// timegm of the year, month, day, hour, minute and second (the day of week is
// ignored), plus milliseconds * 10,000. False when a pointer is null or the
// time cannot be represented (before 1601 or out of timegm's range).
int SystemTimeToFileTime(const _SYSTEMTIME* pst, _FILETIME* pft);

// The broken-down UTC time of a FILETIME (all eight fields). False when a
// pointer is null or the year does not fit the record.
int FileTimeToSystemTime(const _FILETIME* pft, _SYSTEMTIME* pst);

// UTC FILETIME to local FILETIME and back, the sub-second part kept. False
// when a pointer is null or the C library cannot convert the time.
// LocalFileTimeToFileTime lets the library decide on daylight-saving time.
int FileTimeToLocalFileTime(const _FILETIME* pft, _FILETIME* pftLocal);
int LocalFileTimeToFileTime(const _FILETIME* pftLocal, _FILETIME* pft);

// UTC to local and local to UTC on SYSTEMTIMEs. Both refuse (false) a record
// whose year or month is 0 before converting anything. bLocalVersUTC keeps the
// input's milliseconds, and refuses a result whose year is outside 1 to 65535.
bool bUTCVersLocal(_SYSTEMTIME* pstUTC, _SYSTEMTIME* pstLocal);
bool bLocalVersUTC(_SYSTEMTIME* pstLocal, _SYSTEMTIME* pstUTC);

// The current time, from gettimeofday.
void GetSystemTimeAsFileTime(_FILETIME* pft);
// When the clock or the conversion fails, the record is left as it was.
void GetSystemTime(_SYSTEMTIME* pst);
void GetLocalTime(_SYSTEMTIME* pst);

// Milliseconds since 1970, truncated to 32 bits (wraps at 2^32).
unsigned int GetTickCount();

// Sets the system clock to the local time given (milliseconds ignored). True
// on success; needs the privilege to set the clock.
int SetLocalTime(const _SYSTEMTIME* pst);

// For an open file descriptor: the status-change, last-access and
// last-modification times in whole seconds (each output may be null).
// 0 when fstat fails, else 1.
int GetFileTime(int fd, _FILETIME* pftCreation, _FILETIME* pftLastAccess,
                _FILETIME* pftLastWrite);

// Sets a file's last-access and last-write times (whole seconds; the creation
// time is ignored). With neither, 1 at once; with one, the other is kept from
// the file's current times. The path is wide, a backslash read as '/'.
// True when the times were set.
int SetFileTime(const wchar_t* pszPath, const _FILETIME* pftCreation,
                const _FILETIME* pftLastAccess, const _FILETIME* pftLastWrite);

#endif  // KQ230_PLATFORM_FILE_TIME_H_
