#include "platform/broken_down_time.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "core/message_formatting.h"
#include "core/wide_string.h"

const int CXTime::tabMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

namespace {

// The number written by the n characters at p (fewer when the text ends
// first), read as the C library's strtol / wcstol reads it.
long ReadPart(const wchar_t* p, int n) {
  wchar_t sz[16];
  int i = 0;
  for (; i < n && i < 15 && p[i] != 0; ++i) sz[i] = p[i];
  sz[i] = 0;
  return std::wcstol(sz, nullptr, 10);
}
long ReadPart(const char* p, int n) {
  char sz[16];
  int i = 0;
  for (; i < n && i < 15 && p[i] != 0; ++i) sz[i] = p[i];
  sz[i] = 0;
  return std::strtol(sz, nullptr, 10);
}

template <class T>
size_t TextLength(const T* p) {
  size_t n = 0;
  while (p[n] != 0) ++n;
  return n;
}

int MonthIndex(long nMonth) { return nMonth <= 0 ? 0 : static_cast<int>(nMonth - 1); }
int DayOfMonth(long nDay) { return nDay <= 0 ? 1 : static_cast<int>(nDay); }

// A part of a partial text: n characters from p, completed with the digit 0
// up to nWidth digits, read as a number.
long ReadCompleted(const wchar_t* p, int n, int nWidth) {
  wchar_t sz[8];
  int i = 0;
  for (; i < n && i < nWidth; ++i) sz[i] = p[i];
  for (; i < nWidth; ++i) sz[i] = L'0';
  sz[nWidth] = 0;
  return std::wcstol(sz, nullptr, 10);
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The highest digit the position nPos of a partial time (HHMMSSmmm) allows,
// given the digits before it.
int MaxTimeDigit(const wchar_t* psz, int nPos) {
  switch (nPos) {
    case 0:
      return 2;
    case 1:
      return psz[0] == L'2' ? 3 : 9;
    case 2:
    case 4:
      return 5;
    default:
      return 9;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and setting

CXTime::CXTime() : m_tm() { SetTo0(); }

CXTime::~CXTime() = default;

CXTime::CXTime(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond, int nIsDst)
    : m_tm() {
  SetTime(nYear, nMonth, nDay, nHour, nMinute, nSecond, nIsDst);
}

CXTime::CXTime(const _SYSTEMTIME& st, int nIsDst) : m_tm() { SetTime(st, nIsDst); }

CXTime::CXTime(unsigned short wDosDate, unsigned short wDosTime, int nIsDst) : m_tm() {
  SetTime(wDosDate, wDosTime, nIsDst);
}

CXTime::CXTime(long t) : m_tm() { SetTime(t); }

CXTime::CXTime(const _FILETIME& ft, int nIsDst) : m_tm() { SetTime(ft, nIsDst); }

CXTime& CXTime::operator=(long t) {
  SetTime(t);
  return *this;
}

void CXTime::SetTo0() {
  m_tm.tm_sec = 0;
  m_tm.tm_min = 0;
  m_tm.tm_hour = 0;
  m_tm.tm_mday = 1;
  m_tm.tm_mon = 0;
  m_tm.tm_year = -1900;
  m_tm.tm_wday = -1;
  m_tm.tm_yday = -1;
  m_nMilli = 0;
}

void CXTime::SetTime(const CXTime& other) { *this = other; }

void CXTime::SetTime(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond,
                     int nIsDst) {
  m_tm.tm_year = nYear - 1900;
  m_tm.tm_mon = MonthIndex(nMonth);
  m_tm.tm_mday = DayOfMonth(nDay);
  m_tm.tm_hour = nHour;
  m_tm.tm_min = nMinute;
  m_tm.tm_sec = nSecond;
  m_tm.tm_isdst = nIsDst;
  m_tm.tm_wday = -1;
  m_tm.tm_yday = -1;
  m_nMilli = 0;
}

void CXTime::_SetFromSystemTime(const _SYSTEMTIME& st) {
  m_tm.tm_year = st.wYear - 1900;
  m_tm.tm_mon = st.wMonth - 1;
  m_tm.tm_mday = st.wDay;
  m_tm.tm_hour = st.wHour;
  m_tm.tm_min = st.wMinute;
  m_tm.tm_sec = st.wSecond;
  m_tm.tm_wday = st.wDayOfWeek;
  m_tm.tm_yday = -1;
  m_nMilli = st.wMilliseconds;
}

void CXTime::SetTime(const _SYSTEMTIME& st, int nIsDst) {
  _SetFromSystemTime(st);
  m_tm.tm_isdst = nIsDst;
}

void CXTime::SetTime(unsigned short wDosDate, unsigned short wDosTime, int nIsDst) {
  m_tm.tm_sec = (wDosTime & 31) * 2;
  m_tm.tm_min = (wDosTime >> 5) & 63;
  m_tm.tm_hour = (wDosTime >> 11) & 31;
  m_tm.tm_mday = wDosDate & 31;
  m_tm.tm_mon = ((wDosDate >> 5) & 15) - 1;
  m_tm.tm_year = (wDosDate >> 9) + 80;
  m_tm.tm_isdst = nIsDst;
  m_tm.tm_wday = -1;
  m_tm.tm_yday = -1;
  m_nMilli = 0;
}

void CXTime::SetTime(const tm& stTm) {
  m_tm = stTm;
  m_nMilli = 0;
}

void CXTime::SetTime(long t) {
  time_t tt = static_cast<time_t>(t);
  if (t == -1 || localtime_r(&tt, &m_tm) == nullptr) {
    SetTo0();
    return;
  }
  m_nMilli = 0;
}

void CXTime::SetUTCTime(long t) {
  time_t tt = static_cast<time_t>(t);
  if (t == -1 || gmtime_r(&tt, &m_tm) == nullptr) {
    SetTo0();
    return;
  }
  m_nMilli = 0;
}

void CXTime::SetTime(const _FILETIME& ft, int nIsDst) {
  _FILETIME ftLocal;
  _SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&ft, &ftLocal) || !FileTimeToSystemTime(&ftLocal, &st)) {
    SetTo0();
    return;
  }
  _SetFromSystemTime(st);
  m_tm.tm_isdst = nIsDst;
}

void CXTime::_SetFromDateTimeFields(int nYear, int nMonth, int nDay, unsigned int dwMilli) {
  SetTo0();
  m_tm.tm_year = nYear - 1900;
  m_tm.tm_mon = nMonth == 0 ? 0 : nMonth - 1;
  m_tm.tm_mday = nDay == 0 ? 1 : nDay;
  m_tm.tm_hour = static_cast<int>(dwMilli / 3600000u);
  m_tm.tm_min = static_cast<int>(dwMilli % 3600000u / 60000u);
  m_tm.tm_sec = static_cast<int>(dwMilli % 60000u / 1000u);
  m_nMilli = static_cast<int>(dwMilli % 1000u);
}

void CXTime::SetFromUTCTime() {
  _SYSTEMTIME st = {};
  ::GetSystemTime(&st);
  _SetFromSystemTime(st);
  m_tm.tm_isdst = -1;
}

void CXTime::SetFromLocalTime() {
  _SYSTEMTIME st = {};
  ::GetLocalTime(&st);
  _SetFromSystemTime(st);
  m_tm.tm_isdst = -1;
}

// ---------------------------------------------------------------------------
// Reading out

void CXTime::GetAsSystemTime(_SYSTEMTIME& st, const tm& stTm) {
  st.wYear = static_cast<unsigned short>(stTm.tm_year + 1900);
  st.wMonth = static_cast<unsigned short>(stTm.tm_mon + 1);
  st.wDayOfWeek = static_cast<unsigned short>(stTm.tm_wday);
  st.wDay = static_cast<unsigned short>(stTm.tm_mday);
  st.wHour = static_cast<unsigned short>(stTm.tm_hour);
  st.wMinute = static_cast<unsigned short>(stTm.tm_min);
  st.wSecond = static_cast<unsigned short>(stTm.tm_sec);
  st.wMilliseconds = 0;
}

int CXTime::bGetAsSystemTime(_SYSTEMTIME& st) const {
  GetAsSystemTime(st, m_tm);
  st.wMilliseconds = static_cast<unsigned short>(m_nMilli);
  return 1;
}

int CXTime::bGetAsFileTime(_FILETIME& ft) const {
  _SYSTEMTIME stLocal;
  _SYSTEMTIME stUTC = {};
  bGetAsSystemTime(stLocal);
  if (!bLocalVersUTC(&stLocal, &stUTC)) return 0;
  SystemTimeToFileTime(&stUTC, &ft);
  return 1;
}

long CXTime::nGetTime32_t() { return s_nGetTime_t(m_tm); }

long CXTime::s_nGetTime_t(tm& stTm) { return static_cast<long>(mktime(&stTm)); }

long CXTime::nGetTime32_t_UTC() { return s_nGetTime_t_UTC(m_tm); }

long CXTime::s_nGetTime_t_UTC(tm& stTm) { return static_cast<long>(timegm(&stTm)); }

long CXTime::__s_nGetOffsetMkTime() {
  time_t now = time(nullptr);
  tm stUTC;
  if (gmtime_r(&now, &stUTC) == nullptr) return 0;
  stUTC.tm_isdst = 0;
  return static_cast<long>(now - mktime(&stUTC));
}

void CXTime::Local2UTC(const tm& stLocal, tm& stUTC) {
  tm stCopy = stLocal;
  time_t t = mktime(&stCopy);
  tm stOut;
  if (gmtime_r(&t, &stOut) != nullptr) stUTC = stOut;
}

void CXTime::UTC2Local(const tm& stUTC, tm& stLocal) {
  tm stCopy = stUTC;
  time_t t = timegm(&stCopy);
  tm stOut;
  if (localtime_r(&t, &stOut) != nullptr) stLocal = stOut;
}

_FILETIME CXTime::UnixTimeToFileTime(long t) {
  return U64ToFileTime(static_cast<unsigned long long>(static_cast<long long>(t) * 10000000LL +
                                                       static_cast<long long>(kFileTimeEpoch)));
}

long long CXTime::FileTimeToUnixTime(const _FILETIME& ft) {
  return (static_cast<long long>(FileTimeToU64(ft)) - static_cast<long long>(kFileTimeEpoch)) /
         10000000LL;
}

long long CXTime::SystemTimeToUnixTime(const _SYSTEMTIME& st) {
  _FILETIME ft;
  if (!SystemTimeToFileTime(&st, &ft)) return 0;
  return FileTimeToUnixTime(ft);
}

void CXTime::UnixTimeToSystemTime(long t, _SYSTEMTIME& st) {
  _FILETIME ft = UnixTimeToFileTime(t);
  FileTimeToSystemTime(&ft, &st);
}

long CXTime::nGetCurrentTime() { return static_cast<long>(time(nullptr)); }

void CXTime::nGetCurrentTime(_SYSTEMTIME* pst) { ::GetSystemTime(pst); }

void CXTime::GetLocalTime(_SYSTEMTIME* pst) { ::GetLocalTime(pst); }

int CXTime::bSetLocalTime(_SYSTEMTIME* pst) { return ::SetLocalTime(pst); }

int CXTime::bInitLocalTime() const {
  _SYSTEMTIME st;
  bGetAsSystemTime(st);
  return ::SetLocalTime(&st);
}

// ---------------------------------------------------------------------------
// Calendar

int CXTime::bBissextile(int nYear) {
  return (nYear % 4 == 0 && nYear % 100 != 0) || nYear % 400 == 0;
}

int CXTime::nGetDayInMonth(int nYear, int nMonth) {
  if (nMonth < 1 || nMonth > 12) return -1;
  if (nMonth == 2) return bBissextile(nYear) ? 29 : 28;
  return tabMonth[nMonth - 1];
}

namespace {

// Year and month of a language date text, as the calendar statics read them.
void DateTextYearMonth(const wchar_t* pszDate, int* pnYear, int* pnMonth) {
  if (pszDate == nullptr) pszDate = L"";
  size_t n = TextLength(pszDate);
  *pnYear = static_cast<int>(ReadCompleted(pszDate, static_cast<int>(n < 4 ? n : 4), 4));
  long nMonth = 0;
  if (n > 4) nMonth = ReadCompleted(pszDate + 4, static_cast<int>(n - 4 < 2 ? n - 4 : 2), 2);
  *pnMonth = nMonth == 0 ? 1 : static_cast<int>(nMonth);
}

}  // namespace

int CXTime::bBissextile(const wchar_t* pszDate) {
  int nYear, nMonth;
  DateTextYearMonth(pszDate, &nYear, &nMonth);
  return bBissextile(nYear);
}

int CXTime::nGetDayInMonth(const wchar_t* pszDate) {
  int nYear, nMonth;
  DateTextYearMonth(pszDate, &nYear, &nMonth);
  return nGetDayInMonth(nYear, nMonth);
}

// ---------------------------------------------------------------------------
// Comparison

int CXTime::snCompare(const tm* pA, const tm* pB) {
  if (pA->tm_year != pB->tm_year) return pA->tm_year - pB->tm_year;
  if (pA->tm_mon != pB->tm_mon) return pA->tm_mon - pB->tm_mon;
  if (pA->tm_mday != pB->tm_mday) return pA->tm_mday - pB->tm_mday;
  if (pA->tm_hour != pB->tm_hour) return pA->tm_hour - pB->tm_hour;
  if (pA->tm_min != pB->tm_min) return pA->tm_min - pB->tm_min;
  return pA->tm_sec - pB->tm_sec;
}

bool CXTime::operator>(const CXTime& other) const {
  int n = snCompare(&m_tm, &other.m_tm);
  return n != 0 ? n > 0 : m_nMilli > other.m_nMilli;
}

bool CXTime::operator>=(const CXTime& other) const {
  int n = snCompare(&m_tm, &other.m_tm);
  return n != 0 ? n > 0 : m_nMilli >= other.m_nMilli;
}

// ---------------------------------------------------------------------------
// Texts out

int CXTime::Format(const wchar_t* pszPattern, wchar_t* pszOut) const {
  size_t n = wcsftime(pszOut, kFormatBufferSize, pszPattern, &m_tm);
  if (n == 0) pszOut[0] = 0;  // does not fit (or empty): the empty text
  return static_cast<int>(n);
}

int CXTime::Format(const wchar_t* pszPattern, CTString& clOut) const {
  wchar_t sz[kFormatBufferSize];
  int n = Format(pszPattern, sz);
  clOut.Set(sz);
  return n;
}

void CXTime::GetVXDate(CTString& clOut) const { Format(L"%Y%m%d", clOut); }
void CXTime::GetVXTimeHHMMSS(CTString& clOut) const { Format(L"%H%M%S", clOut); }
void CXTime::GetVXTimeHHMM(CTString& clOut) const { Format(L"%H%M", clOut); }
void CXTime::GetVXTimeAAAAMMJJ_HHMMSS(CTString& clOut) const { Format(L"%Y%m%d %H%M%S", clOut); }

void CXTime::GetVXTimeHHMMSSCCm(CTString& clOut) const {
  Format(L"%H%M%S", clOut);
  clOut.AddPrintf(L"%03d", m_nMilli);
}

void CXTime::GetVXTimeAAAAMMJJHHMMSSCCm(CTString& clOut) const {
  Format(L"%Y%m%d%H%M%S", clOut);
  clOut.AddPrintf(L"%03d", m_nMilli);
}

void CXTime::GetVXDate(wchar_t* pszOut) const {
  sznwprintfWin(pszOut, kVXDateBufferSize - 1, L"%04d%02d%02d", _nYear(), _nMonth(), m_tm.tm_mday);
}

void CXTime::GetVXDate(char* pszOut) const {
  sznprintf(pszOut, kVXDateBufferSize - 1, "%04d%02d%02d", _nYear(), _nMonth(), m_tm.tm_mday);
}

void CXTime::GetVXTime(wchar_t* pszOut) const {
  sznwprintfWin(pszOut, kVXTimeBufferSize - 1, L"%02d%02d%02d%03d", m_tm.tm_hour, m_tm.tm_min,
                m_tm.tm_sec, m_nMilli);
}

void CXTime::GetVXTime(char* pszOut) const {
  sznprintf(pszOut, kVXTimeBufferSize - 1, "%02d%02d%02d%03d", m_tm.tm_hour, m_tm.tm_min,
            m_tm.tm_sec, m_nMilli);
}

void CXTime::GetVXTimeReadableSS(CTString& clOut) const {
  clOut.printf(L"%02d/%02d/%04d %02d:%02d:%02d", m_tm.tm_mday, _nMonth(), _nYear(), m_tm.tm_hour,
               m_tm.tm_min, m_tm.tm_sec);
}

void CXTime::GetVXTimeReadable(CTString& clOut) const {
  clOut.printf(L"%02d/%02d/%04d %02d:%02d:%02d,%03d", m_tm.tm_mday, _nMonth(), _nYear(),
               m_tm.tm_hour, m_tm.tm_min, m_tm.tm_sec, m_nMilli);
}

namespace {
const wchar_t kOdbcTimeStamp[] = L"{ts '%04d-%02d-%02d %02d:%02d:%02d.%03d'}";
const wchar_t kOdbcDate[] = L"{d '%04d-%02d-%02d'}";
const wchar_t kOdbcTime[] = L"{t '%02d:%02d:%02d.%03d'}";
}  // namespace

void CXTime::FormatToSQLServerTimeStamp(wchar_t* pszOut) const {
  sznwprintfWin(pszOut, kSQLServerTimeStampSize - 1, L"%04d%02d%02d %02d:%02d:%02d.%03d", _nYear(),
                _nMonth(), m_tm.tm_mday, m_tm.tm_hour, m_tm.tm_min, m_tm.tm_sec, m_nMilli);
}

void CXTime::FormatToOdbcTimeStamp(wchar_t* pszOut) const {
  sznwprintfWin(pszOut, kOdbcTimeStampSize - 1, kOdbcTimeStamp, _nYear(), _nMonth(), m_tm.tm_mday,
                m_tm.tm_hour, m_tm.tm_min, m_tm.tm_sec, m_nMilli);
}

void CXTime::FormatToOdbcTimeStamp(CTString& clOut) const {
  clOut.printf(kOdbcTimeStamp, _nYear(), _nMonth(), m_tm.tm_mday, m_tm.tm_hour, m_tm.tm_min,
               m_tm.tm_sec, m_nMilli);
}

void CXTime::FormatToOdbcDate(wchar_t* pszOut) const {
  sznwprintfWin(pszOut, kOdbcDateSize - 1, kOdbcDate, _nYear(), _nMonth(), m_tm.tm_mday);
}

void CXTime::FormatToOdbcDate(CTString& clOut) const {
  clOut.printf(kOdbcDate, _nYear(), _nMonth(), m_tm.tm_mday);
}

void CXTime::FormatToOdbcTime(wchar_t* pszOut) const {
  sznwprintfWin(pszOut, kOdbcTimeSize - 1, kOdbcTime, m_tm.tm_hour, m_tm.tm_min, m_tm.tm_sec,
                m_nMilli);
}

void CXTime::FormatToOdbcTime(CTString& clOut) const {
  clOut.printf(kOdbcTime, m_tm.tm_hour, m_tm.tm_min, m_tm.tm_sec, m_nMilli);
}

// ---------------------------------------------------------------------------
// Texts in

int CXTime::bSetVXDate(const wchar_t* pszDate) {
  SetTo0();
  if (pszDate == nullptr || TextLength(pszDate) != 8) return 0;
  m_tm.tm_year = static_cast<int>(ReadPart(pszDate, 4)) - 1900;
  m_tm.tm_mon = MonthIndex(ReadPart(pszDate + 4, 2));
  m_tm.tm_mday = DayOfMonth(ReadPart(pszDate + 6, 2));
  return 1;
}

int CXTime::bSetVXTime(const wchar_t* pszTime) {
  SetTo0();
  if (pszTime == nullptr) return 0;
  size_t n = TextLength(pszTime);
  if (n <= 3) return 0;
  m_tm.tm_hour = static_cast<int>(ReadPart(pszTime, 2));
  m_tm.tm_min = static_cast<int>(ReadPart(pszTime + 2, 2));
  if (n > 5) m_tm.tm_sec = static_cast<int>(ReadPart(pszTime + 4, 2));
  if (n == 8) m_nMilli = static_cast<int>(ReadPart(pszTime + 6, 2)) * 10;
  if (n > 8) m_nMilli = static_cast<int>(ReadPart(pszTime + 6, 3));
  return 1;
}

template <class T>
int CXTime::_bSetVXDateTimeT(const T* pszText, int nIsDst) {
  SetTo0();
  m_tm.tm_isdst = nIsDst;
  if (pszText == nullptr) return 0;
  size_t n = TextLength(pszText);
  if (n <= 15) return 0;
  m_tm.tm_year = static_cast<int>(ReadPart(pszText, 4)) - 1900;
  m_tm.tm_mon = MonthIndex(ReadPart(pszText + 4, 2));
  m_tm.tm_mday = DayOfMonth(ReadPart(pszText + 6, 2));
  size_t i = 8;
  if (pszText[i] == ' ') ++i;
  // Two characters each for hours, minutes and seconds, where the text has
  // them (a blank makes a 16-character text one short of its seconds).
  const T* p = pszText + i;
  size_t nRest = n - i;
  m_tm.tm_hour = static_cast<int>(ReadPart(p, nRest >= 2 ? 2 : static_cast<int>(nRest)));
  if (nRest > 2) m_tm.tm_min = static_cast<int>(ReadPart(p + 2, 2));
  if (nRest > 4) m_tm.tm_sec = static_cast<int>(ReadPart(p + 4, 2));
  size_t nAfter = nRest > 6 ? nRest - 6 : 0;
  if (nAfter == 2) m_nMilli = static_cast<int>(ReadPart(p + 6, 2)) * 10;
  if (nAfter == 3) m_nMilli = static_cast<int>(ReadPart(p + 6, 3));
  return 1;
}

int CXTime::bSetVXDateTime(const char* pszDateTime, int nIsDst) {
  return _bSetVXDateTimeT(pszDateTime, nIsDst);
}

int CXTime::bSetVXDateTime(const wchar_t* pszDateTime, int nIsDst) {
  return _bSetVXDateTimeT(pszDateTime, nIsDst);
}

int CXTime::bSetVXTimeMin(const wchar_t* pszTime, int nIsDst) {
  m_tm.tm_isdst = nIsDst;
  if (pszTime == nullptr) pszTime = L"";
  int n = static_cast<int>(TextLength(pszTime));
  m_tm.tm_hour = static_cast<int>(ReadCompleted(pszTime, n < 2 ? n : 2, 2));
  if (n > 2) m_tm.tm_min = static_cast<int>(ReadCompleted(pszTime + 2, n - 2 < 2 ? n - 2 : 2, 2));
  if (n > 4) m_tm.tm_sec = static_cast<int>(ReadCompleted(pszTime + 4, n - 4 < 2 ? n - 4 : 2, 2));
  if (n > 6) m_nMilli = static_cast<int>(ReadCompleted(pszTime + 6, n - 6 < 3 ? n - 6 : 3, 3));
  return 1;
}

int CXTime::bSetVXDateTimeMin(const wchar_t* pszDateTime, int nIsDst) {
  SetTo0();
  m_tm.tm_isdst = nIsDst;
  if (pszDateTime == nullptr || pszDateTime[0] == 0) return 1;
  int n = static_cast<int>(TextLength(pszDateTime));
  m_tm.tm_year = static_cast<int>(ReadCompleted(pszDateTime, n < 4 ? n : 4, 4)) - 1900;
  if (n > 4) m_tm.tm_mon = MonthIndex(ReadCompleted(pszDateTime + 4, n - 4 < 2 ? n - 4 : 2, 2));
  if (n > 6) m_tm.tm_mday = DayOfMonth(ReadCompleted(pszDateTime + 6, n - 6 < 2 ? n - 6 : 2, 2));
  if (n > 8) {
    const wchar_t* pszTime = pszDateTime + 8;
    if (*pszTime == L' ') ++pszTime;
    bSetVXTimeMin(pszTime, nIsDst);
  }
  return 1;
}

int CXTime::bSetVXTimeMax(const wchar_t* pszTime, int nIsDst) {
  SetTo0();
  m_tm.tm_isdst = nIsDst;
  if (pszTime == nullptr) return 0;
  int n = static_cast<int>(TextLength(pszTime));
  if (n == 0 || n > 9) return 0;
  wchar_t sz[10];
  for (int i = 0; i < n; ++i) {
    if (!IsDigit(pszTime[i])) return 0;
    sz[i] = pszTime[i];
  }
  int nPos = n - 1;
  while (nPos >= 0 && sz[nPos] - L'0' >= MaxTimeDigit(sz, nPos)) --nPos;
  if (nPos < 0) return 0;  // every digit at its highest: no next value
  ++sz[nPos];
  sz[nPos + 1] = 0;
  return bSetVXTimeMin(sz, nIsDst);
}

int CXTime::bSetVXDateTimeMax(const wchar_t* pszDateTime, int nIsDst) {
  SetTo0();
  m_tm.tm_isdst = nIsDst;
  if (pszDateTime == nullptr || pszDateTime[0] == 0) return 0;
  wchar_t sz[19];
  int n = 0;
  for (; n < 18 && pszDateTime[n] != 0; ++n) sz[n] = pszDateTime[n];
  sz[n] = 0;
  if (n >= 10 && sz[8] == L' ') {
    for (int i = 8; i < n; ++i) sz[i] = sz[i + 1];
    --n;
  }
  if (n >= 18) return 0;
  for (int i = 0; i < n; ++i) {
    if (!IsDigit(sz[i])) return 0;
  }
  // Walk back from the last digit to the first that can grow.
  int nPos = n - 1;
  for (;;) {
    if (nPos < 0) return 0;  // a carry past the first year digit
    const int d = sz[nPos] - L'0';
    bool bGrows;
    switch (nPos) {
      case 0:
      case 1:
      case 2:
      case 3:
        bGrows = d < 9;
        break;
      case 4:  // month tens: 0 becomes 1, 1 carries into the year
        bGrows = d == 0;
        break;
      case 5:  // month units: up to 9 under tens 0, up to 2 under tens 1
        bGrows = d < (sz[4] == L'0' ? 9 : sz[4] == L'1' ? 2 : 0);
        break;
      case 6: {  // day tens: not past the tens of the month's day count
        int nDays = nGetDayInMonth(sz);
        bGrows = nDays > 0 && d + 1 <= nDays / 10;
        break;
      }
      case 7: {  // day units: 9 below the month's last tens, its units within it
        int nDays = nGetDayInMonth(sz);
        int nTens = sz[6] - L'0';
        int nMax = nDays <= 0 ? -1 : nTens < nDays / 10 ? 9 : nTens == nDays / 10 ? nDays % 10 : -1;
        bGrows = d < nMax;
        break;
      }
      case 8:  // hour tens: up to 2
        bGrows = d < 2;
        break;
      case 9:  // hour units: 9 under tens 0 and 1, 3 under tens 2
        bGrows = d < (sz[8] == L'2' ? 3 : 9);
        break;
      case 10:
      case 12:
        bGrows = d < 5;
        break;
      default:
        bGrows = d < 9;
        break;
    }
    if (bGrows) break;
    --nPos;
  }
  ++sz[nPos];
  sz[nPos + 1] = 0;
  return bSetVXDateTimeMin(sz, nIsDst);
}
