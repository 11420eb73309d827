// File times: the framework's broken-down file time (_stXFILETIME, local
// time) and its conversions to and from FILETIME, POSIX time and the MS-DOS
// date and time, reached as CDiskFile::bFileTimeToSystemTime and so on.
//
// Ownership: values only. Threads: no state; the local-time conversions read
// the process time zone (TZ).
#ifndef KQ230_PLATFORM_FILE_TIMES_H_
#define KQ230_PLATFORM_FILE_TIMES_H_

#include "platform/file_time.h"
#include "platform/path_names.h"

class CFileTimes : public CPathNames {
 public:
  // A broken-down local time: year (four digits), month (1-12), day (1-31),
  // hour, minute, second, millisecond.
  struct _stXFILETIME {
    unsigned short wYear;
    unsigned short wMonth;
    unsigned short wDay;
    unsigned short wHour;
    unsigned short wMinute;
    unsigned short wSecond;
    unsigned short wMilliseconds;
  };

  // b - a at the first of year, month, day, hour, minute, second and
  // millisecond that differs; 0 when all are equal.
  static int nCompareSystemTime(const _stXFILETIME* pA, const _stXFILETIME* pB);
  // A UTC FILETIME as local broken-down time (the day of the week dropped).
  static int bFileTimeToSystemTime(const FILETIME* pFileTime, _stXFILETIME* pTime);
  // Local broken-down time to a UTC FILETIME.
  static int bSystemTimeToFileTime(const _stXFILETIME* pTime, FILETIME* pFileTime);
  // The MS-DOS layout: bits 25-31 year - 1980, 21-24 month, 16-20 day, 11-15
  // hour, 5-10 minute, 0-4 second / 2. Answers 1.
  static int bSystemTimeToDosFileTime(const _stXFILETIME* pTime, unsigned int* pnDos);
  // The reverse (even seconds, milliseconds 0). Answers 1.
  static int bDosFileTimeToSystemTime(unsigned int nDos, _stXFILETIME* pTime);
  // A POSIX time as local broken-down time (milliseconds 0); 0 when
  // localtime cannot convert it.
  static int _bTimeToLocal(long nTime, _stXFILETIME* pTime);
};

#endif  // KQ230_PLATFORM_FILE_TIMES_H_
