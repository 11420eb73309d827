// The database text of values: see database_text.h. The value conversion
// holder's database-text members are at the end of this file.
#include "items/database_text.h"

#include <charconv>
#include <cstring>
#include <string>
#include <system_error>

#include "values/money.h"

namespace {

bool bDigit(char c) { return c >= '0' && c <= '9'; }

// n digits at p as a number; false when one is not a digit.
bool bReadDigits(const char* p, size_t n, int* pnOut) {
  int v = 0;
  for (size_t i = 0; i < n; ++i) {
    if (!bDigit(p[i])) return false;
    v = v * 10 + (p[i] - '0');
  }
  *pnOut = v;
  return true;
}

// v as exactly n decimal digits at p (the low ones when v is wider).
void PutDigits(char* p, int n, int v) {
  for (int i = n - 1; i >= 0; --i, v /= 10) p[i] = static_cast<char>('0' + v % 10);
}

bool bAllDigits(const char* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (!bDigit(p[i])) return false;
  return true;
}

// A date whose fields are in range (the zero date and MariaDB's zero month
// or day included).
bool bDateFieldsValid(const stDBTemporal& st) {
  return st.nMonth >= 0 && st.nMonth <= 12 && st.nDay >= 0 && st.nDay <= 31;
}

bool bTimeFieldsValid(const stDBTemporal& st) {
  return st.nMinutes >= 0 && st.nMinutes <= 59 && st.nSeconds >= 0 && st.nSeconds <= 59;
}

// The fraction after a '.': 1 to 6 digits, truncated to milliseconds.
bool bReadFraction(const char* p, size_t n, int* pnMilli) {
  if (n < 1 || n > 6 || !bAllDigits(p, n)) return false;
  int v = 0;
  for (size_t i = 0; i < 3; ++i) v = v * 10 + (i < n ? p[i] - '0' : 0);
  *pnMilli = v;
  return true;
}

// [-]H..HHH:MM[:SS][.f]; the whole of p..p+n.
bool bParseTimeWithSeparators(const char* p, size_t n, stDBTemporal* pst) {
  size_t i = 0;
  if (i < n && p[i] == '-') {
    pst->bNegative = true;
    ++i;
  }
  const size_t nHourStart = i;
  while (i < n && bDigit(p[i]) && i - nHourStart < 4) ++i;
  const size_t nHourDigits = i - nHourStart;
  if (nHourDigits < 1 || nHourDigits > 3) return false;
  bReadDigits(p + nHourStart, nHourDigits, &pst->nHours);
  if (i >= n || p[i] != ':') return false;
  ++i;
  if (n - i < 2 || !bReadDigits(p + i, 2, &pst->nMinutes)) return false;
  i += 2;
  if (i < n && p[i] == ':') {
    ++i;
    if (n - i < 2 || !bReadDigits(p + i, 2, &pst->nSeconds)) return false;
    i += 2;
    if (i < n && p[i] == '.') {
      ++i;
      if (!bReadFraction(p + i, n - i, &pst->nMilliseconds)) return false;
      i = n;
    }
  }
  if (i != n) return false;
  pst->bHasTime = true;
  return bTimeFieldsValid(*pst);
}

// HHMMSS (or HHMM) digits.
bool bParseCompactTime(const char* p, size_t n, stDBTemporal* pst) {
  if ((n != 4 && n != 6) || !bAllDigits(p, n)) return false;
  bReadDigits(p, 2, &pst->nHours);
  bReadDigits(p + 2, 2, &pst->nMinutes);
  if (n == 6) bReadDigits(p + 4, 2, &pst->nSeconds);
  pst->bHasTime = true;
  return pst->nHours < 24 && bTimeFieldsValid(*pst);
}

}  // namespace

bool DBText_bParseTemporal(const char* p, size_t n, stDBTemporal* pOut) {
  *pOut = stDBTemporal();
  if (p == nullptr || n == 0) return false;
  // YYYY-MM-DD, possibly followed by the time.
  if (n >= 10 && p[4] == '-' && p[7] == '-') {
    if (!bReadDigits(p, 4, &pOut->nYear) || !bReadDigits(p + 5, 2, &pOut->nMonth) ||
        !bReadDigits(p + 8, 2, &pOut->nDay))
      return false;
    pOut->bHasDate = true;
    if (!bDateFieldsValid(*pOut)) return false;
    if (n == 10) return true;
    if (p[10] != ' ' && p[10] != 'T') return false;
    if (!bParseTimeWithSeparators(p + 11, n - 11, pOut)) return false;
    return pOut->bIsTimeOfDay();
  }
  // YYYYMMDD, YYYYMMDDHHMMSS, YYYYMMDD HH:MM:SS[.f]
  if (n >= 8 && bAllDigits(p, 8) && (n == 8 || n == 14 || p[8] == ' ')) {
    bReadDigits(p, 4, &pOut->nYear);
    bReadDigits(p + 4, 2, &pOut->nMonth);
    bReadDigits(p + 6, 2, &pOut->nDay);
    pOut->bHasDate = true;
    if (!bDateFieldsValid(*pOut)) return false;
    if (n == 8) return true;
    if (n == 14) return bParseCompactTime(p + 8, 6, pOut);
    if (!bParseTimeWithSeparators(p + 9, n - 9, pOut)) return false;
    return pOut->bIsTimeOfDay();
  }
  if (bAllDigits(p, n)) return bParseCompactTime(p, n, pOut);
  return bParseTimeWithSeparators(p, n, pOut);
}

namespace {
// memcpy of n bytes, none when n is 0 (the slot may then be null).
void CopyBounded(unsigned char* pDest, const void* pSrc, size_t n) {
  if (n > 0) std::memcpy(pDest, pSrc, n);
}
}  // namespace

bool DBText_bWriteTemporal(eNA_ITEMTYPE eItemType, const stDBTemporal& stValue,
                           unsigned char* pSlot, size_t nCapacity) {
  if (nCapacity > 0) std::memset(pSlot, 0, nCapacity);
  // Room for characters before the terminator, never below 0.
  const size_t nRoom = nCapacity > 0 ? nCapacity - 1 : 0;
  char sz[16];
  switch (eItemType) {
    case NA_IT_EMPTY:
      return false;
    case NA_IT_DATE8: {
      if (!stValue.bHasDate) return true;
      PutDigits(sz, 4, stValue.nYear);
      PutDigits(sz + 4, 2, stValue.nMonth);
      PutDigits(sz + 6, 2, stValue.nDay);
      CopyBounded(pSlot, sz, nRoom < 8 ? nRoom : 8);
      return true;
    }
    case NA_IT_DATETIME: {
      if (stValue.bHasTime && !stValue.bIsTimeOfDay()) return false;
      const uint32_t adw[2] = {stValue.bHasDate ? stValue.dwGetDateWord() : 0u,
                               stValue.bHasTime ? stValue.dwGetMilli() : 0u};
      CopyBounded(pSlot, adw, nCapacity < 8 ? nCapacity : 8);
      return true;
    }
    case NA_IT_HEURE: {
      if (stValue.bHasTime && !stValue.bIsTimeOfDay()) return false;
      if (stValue.bHasTime) {
        PutDigits(sz, 2, stValue.nHours);
        PutDigits(sz + 2, 2, stValue.nMinutes);
        PutDigits(sz + 4, 2, stValue.nSeconds);
        PutDigits(sz + 6, 3, stValue.nMilliseconds);
      } else {
        std::memcpy(sz, "000000000", 10);
      }
      CopyBounded(pSlot, sz, nRoom < 9 ? nRoom : 9);
      return true;
    }
    default:
      return true;
  }
}

bool DBText_bBoolean(const char* p, size_t n) {
  if (p == nullptr || n == 0) return false;
  const char c = p[0];
  return !(c == '\0' || c == '0' || c == 'F' || c == 'f');
}

size_t DBText_nNumberSize(unsigned short nVXType) {
  switch (nVXType) {
    case 2: case 6: return 1;
    case 3: case 7: return 2;
    case 4: case 8: case 11: case 14: return 4;
    case 5: case 9: case 12: return 8;
    case 10: return sizeof(CMoney);
    default: return 0;
  }
}

namespace {

// [+-]digits[.digits] with at least one digit; the magnitude of the integer
// part (false past 2^64 - 1) and the sign.
bool bParseIntegerText(const char* p, size_t n, bool* pbNegative, uint64_t* pnMagnitude) {
  size_t i = 0;
  *pbNegative = false;
  if (i < n && (p[i] == '+' || p[i] == '-')) {
    *pbNegative = p[i] == '-';
    ++i;
  }
  uint64_t v = 0;
  size_t nDigits = 0;
  for (; i < n && bDigit(p[i]); ++i, ++nDigits) {
    const unsigned d = unsigned(p[i] - '0');
    if (v > (UINT64_MAX - d) / 10) return false;
    v = v * 10 + d;
  }
  if (i < n && p[i] == '.') {
    ++i;
    for (; i < n && bDigit(p[i]); ++i) ++nDigits;  // dropped toward zero
  }
  if (nDigits == 0 || i != n) return false;
  *pnMagnitude = v;
  return true;
}

// The syntax of a real: [+-]digits[.digits][(e|E)[+-]digits], a digit before
// or after the point.
bool bRealSyntax(const char* p, size_t n) {
  size_t i = 0;
  if (i < n && (p[i] == '+' || p[i] == '-')) ++i;
  size_t nDigits = 0;
  for (; i < n && bDigit(p[i]); ++i) ++nDigits;
  if (i < n && p[i] == '.') {
    ++i;
    for (; i < n && bDigit(p[i]); ++i) ++nDigits;
  }
  if (nDigits == 0) return false;
  if (i < n && (p[i] == 'e' || p[i] == 'E')) {
    ++i;
    if (i < n && (p[i] == '+' || p[i] == '-')) ++i;
    size_t nExp = 0;
    for (; i < n && bDigit(p[i]); ++i) ++nExp;
    if (nExp == 0) return false;
  }
  return i == n;
}

template <class T>
bool bReadReal(const char* p, size_t n, void* pDest) {
  if (!bRealSyntax(p, n)) return false;
  if (*p == '+') ++p, --n;  // from_chars takes no plus sign
  T v{};
  const auto r = std::from_chars(p, p + n, v, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != p + n) return false;
  std::memcpy(pDest, &v, sizeof v);
  return true;
}

template <class T>
void StoreInteger(T v, void* pDest) {
  std::memcpy(pDest, &v, sizeof v);
}

}  // namespace

bool DBText_bParseNumber(const char* p, size_t n, unsigned short nVXType, void* pDest) {
  if (p == nullptr) return false;
  while (n > 0 && (*p == ' ' || *p == '\t')) ++p, --n;
  while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\t')) --n;
  if (n == 0) return false;
  switch (nVXType) {
    case 11:
      return bReadReal<float>(p, n, pDest);
    case 12:
      return bReadReal<double>(p, n, pDest);
    case 10: {
      // The syntax of an integer with decimals (the reader itself stops
      // silently at a bad character). Money's integer part ends near 6e17,
      // far below the 2^64 the syntax check accepts.
      bool bNegative;
      uint64_t nIgnored;
      if (n > 64 || !bParseIntegerText(p, n, &bNegative, &nIgnored)) return false;
      wchar_t wsz[72];
      for (size_t i = 0; i < n; ++i) wsz[i] = static_cast<unsigned char>(p[i]);
      wsz[n] = L'\0';
      CMoney m;
      if (pstChaineVersMonetaire(&m, wsz) == nullptr) return false;
      std::memcpy(pDest, &m, sizeof m);
      return true;
    }
    default:
      break;
  }
  bool bNegative;
  uint64_t v;
  if (!bParseIntegerText(p, n, &bNegative, &v)) return false;
  if (bNegative && v == 0) bNegative = false;
  const bool bSigned = nVXType >= 6 && nVXType <= 9;
  uint64_t nMaxPositive;
  switch (nVXType) {
    case 2: nMaxPositive = 0xFF; break;
    case 3: nMaxPositive = 0xFFFF; break;
    case 4: case 14: nMaxPositive = 0xFFFFFFFFu; break;
    case 5: nMaxPositive = UINT64_MAX; break;
    case 6: nMaxPositive = 0x7F; break;
    case 7: nMaxPositive = 0x7FFF; break;
    case 8: nMaxPositive = 0x7FFFFFFF; break;
    case 9: nMaxPositive = INT64_MAX; break;
    default: return false;
  }
  if (bNegative) {
    if (!bSigned || v > nMaxPositive + 1) return false;
  } else if (v > nMaxPositive) {
    return false;
  }
  // Two's complement of the magnitude, in unsigned arithmetic.
  const uint64_t w = bNegative ? (~v + 1) : v;
  switch (DBText_nNumberSize(nVXType)) {
    case 1: StoreInteger(static_cast<uint8_t>(w), pDest); break;
    case 2: StoreInteger(static_cast<uint16_t>(w), pDest); break;
    case 4: StoreInteger(static_cast<uint32_t>(w), pDest); break;
    default: StoreInteger(w, pDest); break;
  }
  return true;
}

void DBText_WriteBinary(const unsigned char* p, size_t n, unsigned char* pSlot, size_t nCapacity) {
  if (nCapacity == 0) return;
  std::memset(pSlot, 0, nCapacity);
  if (nCapacity < 2) return;  // not even the length fits
  size_t nCopy = nCapacity - 2;
  if (nCopy > n) nCopy = n;
  if (nCopy > 0xFFFF) nCopy = 0xFFFF;
  const uint16_t w = static_cast<uint16_t>(nCopy);
  std::memcpy(pSlot, &w, 2);
  if (nCopy > 0) std::memcpy(pSlot + 2, p, nCopy);
}
