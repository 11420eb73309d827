#include "platform/file_times.h"

#include <cerrno>
#include <ctime>

int CFileTimes::nCompareSystemTime(const _stXFILETIME* pA, const _stXFILETIME* pB) {
  const unsigned short aA[7] = {pA->wYear,   pA->wMonth,  pA->wDay,         pA->wHour,
                                pA->wMinute, pA->wSecond, pA->wMilliseconds};
  const unsigned short aB[7] = {pB->wYear,   pB->wMonth,  pB->wDay,         pB->wHour,
                                pB->wMinute, pB->wSecond, pB->wMilliseconds};
  for (int i = 0; i < 7; ++i) {
    if (aA[i] != aB[i]) return int(aB[i]) - int(aA[i]);
  }
  return 0;
}

int CFileTimes::bFileTimeToSystemTime(const FILETIME* pFileTime, _stXFILETIME* pTime) {
  if (pFileTime == nullptr || pTime == nullptr) return 0;
  SYSTEMTIME stUtc;
  SYSTEMTIME stLocal;
  if (!FileTimeToSystemTime(pFileTime, &stUtc)) return 0;
  if (!bUTCVersLocal(&stUtc, &stLocal)) return 0;
  pTime->wYear = stLocal.wYear;
  pTime->wMonth = stLocal.wMonth;
  pTime->wDay = stLocal.wDay;
  pTime->wHour = stLocal.wHour;
  pTime->wMinute = stLocal.wMinute;
  pTime->wSecond = stLocal.wSecond;
  pTime->wMilliseconds = stLocal.wMilliseconds;
  return 1;
}

int CFileTimes::bSystemTimeToFileTime(const _stXFILETIME* pTime, FILETIME* pFileTime) {
  if (pTime == nullptr || pFileTime == nullptr) return 0;
  SYSTEMTIME stLocal = {};
  stLocal.wYear = pTime->wYear;
  stLocal.wMonth = pTime->wMonth;
  stLocal.wDay = pTime->wDay;
  stLocal.wHour = pTime->wHour;
  stLocal.wMinute = pTime->wMinute;
  stLocal.wSecond = pTime->wSecond;
  stLocal.wMilliseconds = pTime->wMilliseconds;
  SYSTEMTIME stUtc;
  if (!bLocalVersUTC(&stLocal, &stUtc)) return 0;
  return SystemTimeToFileTime(&stUtc, pFileTime) ? 1 : 0;
}

int CFileTimes::bSystemTimeToDosFileTime(const _stXFILETIME* pTime, unsigned int* pnDos) {
  if (pTime == nullptr || pnDos == nullptr) return 0;
  *pnDos = (unsigned(pTime->wYear - 1980) & 0x7F) << 25 | (unsigned(pTime->wMonth) & 0xF) << 21 |
           (unsigned(pTime->wDay) & 0x1F) << 16 | (unsigned(pTime->wHour) & 0x1F) << 11 |
           (unsigned(pTime->wMinute) & 0x3F) << 5 | (unsigned(pTime->wSecond / 2) & 0x1F);
  return 1;
}

int CFileTimes::bDosFileTimeToSystemTime(unsigned int nDos, _stXFILETIME* pTime) {
  if (pTime == nullptr) return 0;
  pTime->wYear = static_cast<unsigned short>(1980 + (nDos >> 25));
  pTime->wMonth = static_cast<unsigned short>((nDos >> 21) & 0xF);
  pTime->wDay = static_cast<unsigned short>((nDos >> 16) & 0x1F);
  pTime->wHour = static_cast<unsigned short>((nDos >> 11) & 0x1F);
  pTime->wMinute = static_cast<unsigned short>((nDos >> 5) & 0x3F);
  pTime->wSecond = static_cast<unsigned short>((nDos & 0x1F) * 2);
  pTime->wMilliseconds = 0;
  return 1;
}

int CFileTimes::_bTimeToLocal(long nTime, _stXFILETIME* pTime) {
  const time_t t = static_cast<time_t>(nTime);
  struct tm stTm;
  if (localtime_r(&t, &stTm) == nullptr) return 0;
  pTime->wYear = static_cast<unsigned short>(stTm.tm_year + 1900);
  pTime->wMonth = static_cast<unsigned short>(stTm.tm_mon + 1);
  pTime->wDay = static_cast<unsigned short>(stTm.tm_mday);
  pTime->wHour = static_cast<unsigned short>(stTm.tm_hour);
  pTime->wMinute = static_cast<unsigned short>(stTm.tm_min);
  pTime->wSecond = static_cast<unsigned short>(stTm.tm_sec);
  pTime->wMilliseconds = 0;
  return 1;
}
