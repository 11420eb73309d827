// The date and time literals of the connection's SQL dialect: a date, time or
// date-time value of the language written as the SQL text of the server kind
// (quoted ISO texts, with the ODBC escape clause when asked; the forms of the
// server kinds that read dates otherwise), the zero date MariaDB keeps, and
// the digits of a partial time. The value's text is read and checked before
// anything is written: a text that is no date or time is an error, never a
// literal.
#include <algorithm>
#include <cstring>
#include <cwchar>

#include "core/counted_string.h"
#include "core/mixed_width_concat.h"
#include "core/string_concat.h"
#include "driver/connection_description.h"
#include "driver/na_error.h"
#include "kq230/item_type.h"
#include "platform/broken_down_time.h"
#include "values/any.h"

namespace {

// Debug points of this unit (file kNAFileConnection).
constexpr int kSiteDateUnreadable = 8;  // point 1.8: date or date-time text
constexpr int kSiteTimeUnreadable = 9;  // point 1.9: time text

// User errors.
constexpr unsigned int kErrBadDate = 43;

// The text of a date or time value. The date and time types hold their text
// in the value area and it is read there as it is: the language's own cast
// refuses the texts this writer must see (the zero date, or a broken text,
// which must be reported rather than become NULL). A date-time is cast to
// PSTRW. False when the cast fails.
bool bDateTextOf(const CAny& clValue, CTString* pText) {
  const unsigned short nType = clValue.nGetTypeCode();
  // The area holds at most 40 bytes: the text never runs past them.
  if (nType == VX_DATEW || nType == VX_TIMEW) {
    const wchar_t* psz = nullptr;
    clValue.pclGetIntern()->nGetPCWSTR(&psz);
    if (psz == nullptr) psz = L"";
    pText->Set(psz, static_cast<unsigned int>(wcsnlen(psz, kVXValueAreaSize / sizeof(wchar_t))));
    return true;
  }
  if (nType == VX_DATEA || nType == VX_TIMEA) {
    const char* psz = nullptr;
    clValue.pclGetIntern()->nGetPCASTR(&psz);
    if (psz == nullptr) psz = "";
    const size_t n = strnlen(psz, kVXValueAreaSize);
    pText->Vide();
    for (size_t i = 0; i < n; ++i) pText->Add(static_cast<wchar_t>(static_cast<unsigned char>(psz[i])));
    return true;
  }
  CAny clCopy(clValue);
  if (clCopy.__nCastTo(VX_PSTRW, nullptr, 1) > kVXLastSuccess ||
      clCopy.nGetTypeCode() != VX_PSTRW)
    return false;
  const wchar_t* psz = nullptr;
  clCopy.pclGetIntern()->nGetPCWSTR(&psz);
  pText->Set(psz != nullptr ? psz : L"");
  return true;
}

// ---- Date and time texts of the language: YYYYMMDD, HHMMSSmmm and
// YYYYMMDD[ ]HHMMSSmmm, possibly cut short (a search's partial value); the
// reader completes what is missing with zeros.

bool bAllDigits(const wchar_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] < L'0' || p[i] > L'9') return false;
  return true;
}

// The number of the digits [i, i + n) of a text completed with zeros.
int nField(const wchar_t* p, size_t nLength, size_t i, size_t n) {
  int nValue = 0;
  for (size_t k = i; k < i + n; ++k) nValue = nValue * 10 + (k < nLength ? p[k] - L'0' : 0);
  return nValue;
}

// A date text of at most 8 digits whose month and day exist (0 stands for
// "not given" and is read as January or the first).
bool bValidDateText(const wchar_t* p, size_t n) {
  if (n == 0 || n > 8 || !bAllDigits(p, n)) return false;
  const int nYear = nField(p, n, 0, 4);
  const int nMonth = nField(p, n, 4, 2);
  const int nDay = nField(p, n, 6, 2);
  if (nMonth > 12 || nDay > 31) return false;
  if (nMonth >= 1 && nDay >= 1 && nDay > CXTime::nGetDayInMonth(nYear, nMonth)) return false;
  return true;
}

// A time text of at most 9 digits within a day.
bool bValidTimeText(const wchar_t* p, size_t n) {
  if (n > 9 || !bAllDigits(p, n)) return false;
  return nField(p, n, 0, 2) <= 23 && nField(p, n, 2, 2) <= 59 && nField(p, n, 4, 2) <= 59;
}

// A date-time text: a date of 8 digits, one optional blank and a time; or a
// date alone, cut short.
bool bValidDateTimeText(const wchar_t* p, size_t n) {
  if (n <= 8) return bValidDateText(p, n);
  if (!bValidDateText(p, 8)) return false;
  size_t i = 8;
  if (p[i] == L' ') ++i;
  return i < n && bValidTimeText(p + i, n - i);
}

int nYearOf(const CXTime& clTime) { return clTime.nGetTimeTm()->tm_year + 1900; }
int nMonthOf(const CXTime& clTime) { return clTime.nGetTimeTm()->tm_mon + 1; }
int nDayOf(const CXTime& clTime) { return clTime.nGetTimeTm()->tm_mday; }
int nHourOf(const CXTime& clTime) { return clTime.nGetTimeTm()->tm_hour; }
int nMinuteOf(const CXTime& clTime) { return clTime.nGetTimeTm()->tm_min; }
int nSecondOf(const CXTime& clTime) { return clTime.nGetTimeTm()->tm_sec; }

// Fixed-width decimal fields into the builder.
void AddField(CTStringConcatAW* pclOut, int nValue, int nWidth) {
  wchar_t sz[16];
  int n = 0;
  unsigned int u = nValue < 0 ? 0U : static_cast<unsigned int>(nValue);
  do {
    sz[n++] = static_cast<wchar_t>(L'0' + u % 10);
    u /= 10;
  } while (u != 0 && n < 15);
  while (n < nWidth && n < 15) sz[n++] = L'0';
  for (int i = 0; i < n / 2; ++i) {
    const wchar_t c = sz[i];
    sz[i] = sz[n - 1 - i];
    sz[n - 1 - i] = c;
  }
  pclOut->Add(sz, n);
}

// "YYYY-MM-DD" of the date, with the year given (some servers read year 0
// otherwise).
void AddDate(CTStringConcatAW* pclOut, int nYear, const CXTime& clTime) {
  AddField(pclOut, nYear, 4);
  pclOut->Add(L"-");
  AddField(pclOut, nMonthOf(clTime), 2);
  pclOut->Add(L"-");
  AddField(pclOut, nDayOf(clTime), 2);
}

// "HH:MM:SS", then ".mmm" when bMilli is set.
void AddTimeOfDay(CTStringConcatAW* pclOut, const CXTime& clTime, bool bMilli) {
  AddField(pclOut, nHourOf(clTime), 2);
  pclOut->Add(L":");
  AddField(pclOut, nMinuteOf(clTime), 2);
  pclOut->Add(L":");
  AddField(pclOut, nSecondOf(clTime), 2);
  if (!bMilli) return;
  pclOut->Add(L".");
  AddField(pclOut, clTime.nGetMilli(), 3);
}

// "YYYY-MM-DD HH:MM:SS.mmm".
void AddDateTime(CTStringConcatAW* pclOut, const CXTime& clTime, int nYear) {
  AddDate(pclOut, nYear, clTime);
  pclOut->Add(L" ");
  AddTimeOfDay(pclOut, clTime, true);
}

// Wraps the builder's text as "{<tag> " text "}" when bFlag is set.
void WrapEscapeClause(CTStringConcatAW* pclOut, const wchar_t* pszTag, int bFlag) {
  if (!bFlag) return;
  CTString csText(pclOut->pszGetW());
  pclOut->Vide();
  pclOut->Add(L"{");
  pclOut->Add(pszTag);
  pclOut->Add(L" ");
  pclOut->Add(csText.pszGet(), csText.nTaille());
  pclOut->Add(L"}");
}

int nDone(const CTStringConcatAW* pclOut) { return pclOut->bEchec() ? 0 : 1; }

// The language's digits given to a conversion function of the server with
// their format: FUNCTION( 'digits', 'format').
int nConverted(CTStringConcatAW* pclOut, const wchar_t* pszFunction, const wchar_t* p, size_t n,
               const wchar_t* pszFormat) {
  pclOut->Add(pszFunction);
  pclOut->Add(L"( '");
  pclOut->Add(p, static_cast<int>(n));
  pclOut->Add(L"', '");
  pclOut->Add(pszFormat);
  pclOut->Add(L"')");
  return nDone(pclOut);
}

// A literal the caller composed, wrapped in the escape clause when asked.
int nLiteral(CTStringConcatAW* pclOut, const wchar_t* pszLiteral, const wchar_t* pszTag,
             int bFlag) {
  pclOut->Vide();
  pclOut->Add(pszLiteral != nullptr ? pszLiteral : L"");
  WrapEscapeClause(pclOut, pszTag, bFlag);
  return nDone(pclOut);
}

}  // namespace

int CNAConnectionDescription::_bDateToString(CNAError* pclError, CTStringConcatAW* pclOut,
                                             const CAny* pValue, int eItemType, int bFlag) {
  pclOut->Vide();
  CTString csText;
  const bool bText = pValue != nullptr && bDateTextOf(*pValue, &csText);
  const wchar_t* p = csText.pszGet();
  const size_t n = static_cast<size_t>(csText.nTaille());
  if (bText && n == 0) {
    pclOut->Add(L"NULL");
    return nDone(pclOut);
  }
  auto Refuse = [&](int nSite) {
    CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kNAFileConnection, nSite, this, nullptr,
                       nullptr, kErrBadDate);
    if (pclError != nullptr) {
      CTString csDebug(L"date or time text <", p, L">");
      pclError->AddDebugMessageNoFormat(csDebug.pszGet());
    }
    return 0;
  };
  if (!bText) return Refuse(kSiteDateUnreadable);
  const unsigned short nType = pValue->nGetTypeCode();
  CXTime clTime;
  if (nType == VX_DATEW || nType == VX_DATEA) {
    if (!bValidDateText(p, n)) return Refuse(kSiteDateUnreadable);
    if (m_nServerKind == kServerKindMariaDB && n >= 8 && std::wcsncmp(p, L"00000000", 8) == 0)
      return _bDateToString(pclError, pclOut, L"'0000-00-00'", bFlag);
    if (m_nServerKind == 1) {
      return nConverted(pclOut, L"TO_DATE", p, n, L"YYYYMMDD");
    }
    clTime.bSetVXDateTimeMin(p, 0);
    if (m_nServerKind == 11) {
      pclOut->Add(L"MDY(");
      AddField(pclOut, nMonthOf(clTime), 2);
      pclOut->Add(L",");
      AddField(pclOut, nDayOf(clTime), 2);
      pclOut->Add(L",");
      AddField(pclOut, nYearOf(clTime), 4);
      pclOut->Add(L")");
      return nDone(pclOut);
    }
    return _bDateToString(pclError, pclOut, clTime, bFlag);
  }
  if (nType == VX_TIMEW || nType == VX_TIMEA) {
    if (!bValidTimeText(p, n)) return Refuse(kSiteTimeUnreadable);
    clTime.bSetVXTimeMin(p, 0);
    if (m_nServerKind == 1) {
      return nConverted(pclOut, L"TO_TIMESTAMP", p, n, L"HH24MISSFF3");
    }
    if (m_nServerKind == 11) {
      pclOut->Add(L"DATETIME(");
      AddField(pclOut, nHourOf(clTime), 2);
      pclOut->Add(L":");
      AddField(pclOut, nMinuteOf(clTime), 2);
      pclOut->Add(L") HOUR TO MINUTE");
      return nDone(pclOut);
    }
    return _bTimeToString(pclError, pclOut, clTime, bFlag);
  }
  // DATETIME
  if (!bValidDateTimeText(p, n)) return Refuse(kSiteDateUnreadable);
  clTime.bSetVXDateTimeMin(p, 0);
  if (eItemType == NA_IT_HEURE) return _bTimeToString(pclError, pclOut, clTime, bFlag);
  if (m_nServerKind == kServerKindMariaDB && n >= 8 && std::wcsncmp(p, L"00000000", 8) == 0) {
    // The zero date keeps its time; four digits of year, as the server
    // reads it in every mode that accepts a zero date.
    CTStringConcatAW clLiteral(kConcatModeWide, -1);
    clLiteral.Add(L"'0000-00-00 ");
    AddTimeOfDay(&clLiteral, clTime, true);
    clLiteral.Add(L"'");
    return _bDateTimeToString(pclError, pclOut, clLiteral.pszGetW(), bFlag);
  }
  if (m_nServerKind == 1) {
    return nConverted(pclOut, L"TO_TIMESTAMP", p, n, L"YYYYMMDDHH24MISSFF3");
  }
  if (m_nServerKind == 11) {
    pclOut->Add(L"DATETIME(");
    AddDateTime(pclOut, clTime, nYearOf(clTime));
    pclOut->Add(L") YEAR TO FRACTION");
    return nDone(pclOut);
  }
  return _bDateTimeToString(pclError, pclOut, clTime, bFlag);
}

int CNAConnectionDescription::_bDateToString(CNAError*, CTStringConcatAW* pclOut,
                                             const CXTime& clTime, int bFlag) {
  pclOut->Vide();
  pclOut->Add(L"'");
  AddDate(pclOut, nYearOf(clTime), clTime);
  pclOut->Add(L"'");
  WrapEscapeClause(pclOut, L"d", bFlag);
  return nDone(pclOut);
}

int CNAConnectionDescription::_bDateToString(CNAError*, CTStringConcatAW* pclOut,
                                             const wchar_t* pszLiteral, int bFlag) {
  return nLiteral(pclOut, pszLiteral, L"d", bFlag);
}

int CNAConnectionDescription::_bTimeToString(CNAError*, CTStringConcatAW* pclOut,
                                             const CXTime& clTime, int bFlag) {
  pclOut->Vide();
  pclOut->Add(L"'");
  AddTimeOfDay(pclOut, clTime, m_nServerKind != 7 && m_nServerKind != 8 && m_nServerKind != 11);
  pclOut->Add(L"'");
  WrapEscapeClause(pclOut, L"t", bFlag);
  return nDone(pclOut);
}

int CNAConnectionDescription::_bDateTimeToString(CNAError*, CTStringConcatAW* pclOut,
                                                 const CXTime& clTime, int bFlag) {
  pclOut->Vide();
  int nYear = nYearOf(clTime);
  if (m_nServerKind == 2 && nYear == 0) nYear = 1900;
  pclOut->Add(L"'");
  AddDateTime(pclOut, clTime, nYear);
  pclOut->Add(L"'");
  WrapEscapeClause(pclOut, L"ts", bFlag);
  return nDone(pclOut);
}

int CNAConnectionDescription::_bDateTimeToString(CNAError*, CTStringConcatAW* pclOut,
                                                 const wchar_t* pszLiteral, int bFlag) {
  return nLiteral(pclOut, pszLiteral, L"ts", bFlag);
}

int CNAConnectionDescription::s_bTimeToStringIncomplete(CNAError*, CTStringConcatAW* pclOut,
                                                        const wchar_t* pszDigits,
                                                        const wchar_t* pszSeparator) {
  if (pszDigits == nullptr) pszDigits = L"";
  const size_t n = std::min<size_t>(std::wcslen(pszDigits), 9);
  for (size_t i = 0; i < n; ++i) {
    // Only digits reach the SQL text: the rest of a partial value is no
    // time and could close the literal around it.
    if (pszDigits[i] < L'0' || pszDigits[i] > L'9') break;
    if (i == 2 || i == 4) pclOut->Add(L":");
    if (i == 6 && pszSeparator != nullptr) pclOut->Add(pszSeparator);
    pclOut->Add(pszDigits + i, 1);
  }
  return nDone(pclOut);
}
