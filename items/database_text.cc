// The database text of values: see database_text.h. The value conversion
// holder's database-text members are at the end of this file.
#include "items/database_text.h"

#include <charconv>
#include <cstring>
#include <cwchar>
#include <string>
#include <system_error>

#include "core/char_conv.h"
#include "core/codepage_conversion.h"
#include "items/cell_text.h"
#include "items/code_page_converters.h"
#include "items/convert_variant.h"
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
  // v * 10 + d overflows past these; tested against constants because a
  // 64-bit division is a library call on i386, paid per digit of every cell.
  constexpr uint64_t kMaxTenth = UINT64_MAX / 10;
  constexpr unsigned kMaxLastDigit = static_cast<unsigned>(UINT64_MAX % 10);
  uint64_t v = 0;
  size_t nDigits = 0;
  for (; i < n && bDigit(p[i]); ++i, ++nDigits) {
    const unsigned d = unsigned(p[i] - '0');
    if (v > kMaxTenth || (v == kMaxTenth && d > kMaxLastDigit)) return false;
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

// ---- The value conversion holder's database text

namespace {

// Internal number of the database-text conversion failure's debug line.
constexpr int kDBTextFile = 12;
constexpr int kDBTextSite = 5;

bool bDBTextType(unsigned int n) {
  return (n >= 16 && n <= 23) || n == 81 || n == 110 || n == 134;
}
bool bDBTemporalType(unsigned int n) {
  return n == VX_DATEW || n == VX_TIMEW || n == VX_DATETIME || n == VX_DATEA || n == VX_TIMEA;
}
// The types read by _bSetValueDBScalar.
bool bDBScalarType(unsigned int n) {
  return n == VX_BOOL || DBText_nNumberSize(static_cast<unsigned short>(n)) != 0 ||
         bDBTemporalType(n);
}

}  // namespace

int CNAConvertVariant::_bSetValueDBScalar(const char* p, unsigned int n, const wchar_t* pszSource,
                                          unsigned int nCodePage, int nSourceVXType) {
  if (m_eMode == NA_VT_NOT_READ) m_eMode = NA_VT_ANY;
  if (m_eMode == NA_VT_EMPTY || m_eMode == NA_VT_REFERENCE) return 0;
  const unsigned short nT = m_clValue.nGetTypeCode();
  const bool bRaw = m_eMode != NA_VT_ANY;
  auto Fail = [&]() {
    std::wstring cs;
    if (pszSource != nullptr) {
      cs.assign(pszSource, n);
    } else {
      CNACodePageCnvOUTPtr clOut(p, static_cast<int>(n), static_cast<int>(nCodePage));
      const wchar_t* psz = clOut.pszGetForZB();
      if (psz != nullptr) cs = psz;
    }
    return _SetErrorConversionFailed(nSourceVXType, cs.c_str(), kDBTextFile, kDBTextSite);
  };
  // Fixed-size language values read their whole value area: build them in a
  // zero-filled one.
  unsigned char abyValue[kVXValueAreaSize + 8] = {};

  if (nT == VX_BOOL) return bSetValue(DBText_bBoolean(p, n));

  if (const size_t nSize = DBText_nNumberSize(nT)) {
    // An empty cell reads as 0, as the server itself converts it.
    if (n > 0 && !DBText_bParseNumber(p, n, nT, abyValue)) return Fail();
    if (bRaw) {
      m_clValue.SetNull(false);
      _CopyToBuffer(abyValue, static_cast<unsigned int>(nSize), 0);
      return 1;
    }
    CAny v;
    v.__SetType(nT, 0);
    v.SetValueByte(abyValue, static_cast<unsigned int>(nSize));
    return CNAVariant::bSetValue(&v);
  }

  if (!bDBTemporalType(nT)) return 0;
  const eNA_ITEMTYPE eItem = eNAGetItemTypeAnalyse();
  stDBTemporal st;
  if (n > 0) {
    // The item says which layout the value takes; without one no layout is
    // safe to guess.
    if (eItem == NA_IT_EMPTY || !DBText_bParseTemporal(p, n, &st)) return Fail();
  }
  if (bRaw) {
    if (n == 0) {
      m_clValue.SetNull(false);
      _CopyToBuffer(nullptr, 0, 0);
      return 1;
    }
    // Written aside first: a refused time leaves the slot as it was.
    unsigned char abySmall[64];
    std::string clLarge;
    unsigned char* pTemp = abySmall;
    if (m_nCapacity > sizeof abySmall) {
      clLarge.assign(m_nCapacity, '\0');
      pTemp = reinterpret_cast<unsigned char*>(clLarge.data());
    }
    if (!DBText_bWriteTemporal(eItem, st, m_pbyBuffer != nullptr ? pTemp : nullptr,
                               m_pbyBuffer != nullptr ? m_nCapacity : 0))
      return Fail();
    if (m_pbyBuffer != nullptr) {
      std::memcpy(m_pbyBuffer, pTemp, m_nCapacity);
      if (eItem == NA_IT_DATETIME) {
        m_nUsedLength = m_nCapacity < 8 ? m_nCapacity : 8;
      } else {
        const void* pz = std::memchr(m_pbyBuffer, 0, m_nCapacity);
        m_nUsedLength = pz != nullptr ? static_cast<unsigned int>(
                                            static_cast<const unsigned char*>(pz) - m_pbyBuffer)
                                      : m_nCapacity;
      }
    } else {
      m_nUsedLength = 0;
    }
    m_clValue.SetNull(false);
    return 1;
  }
  // A language value: the date-time of what the item keeps (a date item
  // drops the time, a time item the date), then the holder's own type.
  if (eItem == NA_IT_DATE8) {
    const stDBTemporal stDate = st;
    st = stDBTemporal();
    st.bHasDate = stDate.bHasDate;
    st.nYear = stDate.nYear;
    st.nMonth = stDate.nMonth;
    st.nDay = stDate.nDay;
  } else if (eItem == NA_IT_HEURE) {
    st.bHasDate = false;
    st.nYear = st.nMonth = st.nDay = 0;
  }
  if (n > 0 && !DBText_bWriteTemporal(NA_IT_DATETIME, st, abyValue, 8)) return Fail();
  std::memset(abyValue + 8, 0, sizeof abyValue - 8);
  CAny v;
  v.__SetType(VX_DATETIME, 0);
  v.SetValueByte(abyValue, 8);
  return bSetValue(&v);
}

int CNAConvertVariant::bSetValueDB(const CAny* pv) {
  if (m_nBufferDBState == 0 && !bInitBufferDB()) return 0;
  if (pv == nullptr || pv->bIsNull() || pv->nGetTypeCode() == 0) return bSetValue(pv);
  const CAny_Intern* pclIntern = pv->pclGetIntern();
  void* pData = nullptr;
  unsigned int nUtil = 0;
  pclIntern->nGetDataAdr(&pData);
  if (pclIntern->nGetUtilDataSize(&nUtil) != 0) pclIntern->nGetDataSize(&nUtil);
  if (m_nBufferDBState == 2) return bSetValueDB(static_cast<const unsigned char*>(pData), nUtil);
  const unsigned short nS = pv->nGetTypeCode();
  if (nS != m_clValue.nGetTypeCode()) {
    if (nS == VX_DSTRW || nS == VX_PSTRW || nS == 20) {
      const wchar_t* psz = pData != nullptr ? static_cast<const wchar_t*>(pData) : L"";
      return bSetValueDB(psz, nUtil / static_cast<unsigned int>(sizeof(wchar_t)));
    }
    if (nS == VX_CARW) return bSetValueDB(reinterpret_cast<const wchar_t*>(pv->pbyGetValeur()), 1u);
    if ((nS >= 17 && nS <= 19) || (nS >= 21 && nS <= 23) || nS == 134) {
      const char* p = nS == VX_CARA ? reinterpret_cast<const char*>(pv->pbyGetValeur())
                                    : (pData != nullptr ? static_cast<const char*>(pData) : "");
      return bSetValueDB(p, nS == VX_CARA ? 1u : nUtil,
                         static_cast<unsigned int>(nGetLanguageCodePage()));
    }
  }
  return bSetValue(pv);
}

// What every 8-bit cell road does first: the database buffer made, a NULL
// cell, an empty one. -1 when the cell is left to the caller.
int CNAConvertVariant::_nSetValueDBStart(const char* pText, unsigned int n) {
  if (m_nBufferDBState == 0 && !bInitBufferDB()) return 0;
  if (pText == nullptr) {
    SetNull();
    return 1;
  }
  if (n == 0) return bSetValue(reinterpret_cast<const unsigned char*>(pText), 0u);
  if (m_eMode == NA_VT_NOT_READ) m_eMode = NA_VT_ANY;
  return -1;
}

int CNAConvertVariant::bSetValueDB(const char* pText, unsigned int n, unsigned int nCodePage) {
  const int nStart = _nSetValueDBStart(pText, n);
  if (nStart >= 0) return nStart;
  const int nDirect = _nSetValueDBDirect(pText, n, nCodePage);
  if (nDirect >= 0) return nDirect;
  const unsigned short nT = m_clValue.nGetTypeCode();
  if (bDBTextType(nT)) return _bSetValue(pText, n, nCodePage);
  if (bDBScalarType(nT)) return _bSetValueDBScalar(pText, n, nullptr, nCodePage, VX_PSTRA);
  if (nT == VX_BIN) {
    if (m_eMode == NA_VT_ANY) return bSetValue(reinterpret_cast<const unsigned char*>(pText), n);
    if (m_eMode == NA_VT_EMPTY || m_eMode == NA_VT_REFERENCE) return 0;
    DBText_WriteBinary(reinterpret_cast<const unsigned char*>(pText), n, m_pbyBuffer,
                       m_pbyBuffer != nullptr ? m_nCapacity : 0);
    m_nUsedLength = m_pbyBuffer != nullptr && m_nCapacity >= 2
                        ? (m_pbyBuffer[0] | (m_pbyBuffer[1] << 8))
                        : 0;
    m_clValue.SetNull(false);
    return 1;
  }
  return bSetValueDBAsLanguageText(pText, n, nCodePage);
}

int CNAConvertVariant::bSetValueDBAsLanguageText(const char* pText, unsigned int n,
                                                 unsigned int nCodePage) {
  const int nStart = _nSetValueDBStart(pText, n);
  if (nStart >= 0) return nStart;
  CNACodePageCnvOUTPtr clOut(pText, static_cast<int>(n), static_cast<int>(nCodePage));
  const wchar_t* psz = clOut.pszGetForZB();
  if (psz == nullptr) psz = L"";
  return bSetValue(psz, static_cast<unsigned int>(std::wcslen(psz)));
}

namespace {

// The longest 8-bit cell of another code page converted on the stack; a
// longer one (a memo, most often) pays the converters' allocations.
constexpr unsigned int kShortAnsiCell = 256;
// No code page takes more than 4 bytes a character.
constexpr unsigned int kShortAnsiBytes = 4 * kShortAnsiCell;

bool bDirectWideType(unsigned int n) { return n == VX_DSTRW || n == 20 || n == VX_PSTRW; }

// The characters of well-formed UTF-8 before its first NUL appended to *pOut
// in code page 1252, a byte a character. False when the framework's
// conversion does not give exactly that.
bool bAppendCP1252(const char* p, size_t n, std::string* pOut) {
  wchar_t awc[kShortAnsiCell];
  char ach[kShortAnsiCell];
  size_t i = 0;
  while (i < n) {
    size_t nUsed = 0;
    const unsigned int nChars = CellText_nUTF8ToWide(p + i, n - i, awc, kShortAnsiCell, &nUsed);
    if (nChars == 0) break;  // the terminator
    const int nBytes = WideCharToMultiByte(1252, 0, awc, static_cast<int>(nChars), ach,
                                           static_cast<int>(sizeof ach), nullptr, nullptr);
    if (nBytes != static_cast<int>(nChars)) return false;
    pOut->append(ach, nChars);
    i += nUsed;
  }
  return true;
}

bool bDirectAnsiType(unsigned int n) {
  return (n >= VX_CARA && n <= VX_DSTRA) || (n >= 21 && n <= 23) || n == 134;
}

}  // namespace

int CNAConvertVariant::_nSetValueDBDirect(const char* p, unsigned int n, unsigned int nCodePage) {
  const unsigned short nT = m_clValue.nGetTypeCode();
  const bool bSlot =
      (m_eMode == NA_VT_BUFFER || m_eMode == NA_VT_OWN_BUFFER) && m_pbyBuffer != nullptr;
  if (nT == VX_DECIMAL) {
    // The form the language's cast of the text gives, without the cast.
    if (!bSlot) return -1;
    unsigned char abyForm[kVXDecimalFormSize];
    if (!CellText_bDecimalForm(p, n, abyForm)) return -1;
    m_clValue.SetNull(false);
    _CopyToBuffer(abyForm, sizeof abyForm, 0);
    return 1;
  }
  if (bDirectWideType(nT)) {
    if (m_eMode == NA_VT_ANY) return _nSetWideValueDirect(p, n, nCodePage);
    if (!bSlot) return -1;
    // Room for the units before the 2-byte terminator.
    const unsigned int nMaxUnits = (m_nCapacity > 2 ? m_nCapacity - 2 : 0) / 2;
    unsigned int nUnits;
    if (nCodePage == 65001) {
      // Ill-formed text keeps the converters' lenient reading.
      if (!CellText_bWellFormedUTF8(p, n)) return -1;
      nUnits = CellText_nUTF8ToUTF16(p, n, m_pbyBuffer, nMaxUnits);
    } else if (nCodePage == 1252) {
      nUnits = CellText_nCP1252ToUTF16(p, n, m_pbyBuffer, nMaxUnits);
    } else {
      return -1;
    }
    m_clValue.SetNull(false);
    std::memset(m_pbyBuffer + 2 * nUnits, 0, m_nCapacity - 2 * nUnits);
    m_nUsedLength = 2 * nUnits;
    return 1;
  }
  if (bDirectAnsiType(nT)) {
    // UTF-8 cells of 8-bit items, into the language's code page without the
    // converters' wide and 8-bit strings. ASCII needs no conversion at all.
    if (nCodePage != 65001) return -1;
    const int nLanguage = nGetLanguageCodePage();
    if (nLanguage == 65001) return -1;
    bool bAscii = true;
    for (unsigned int i = 0; i < n && bAscii; ++i)
      bAscii = static_cast<unsigned char>(p[i]) - 1u < 0x7Fu;
    if (bAscii || !CellText_bWellFormedUTF8(p, n)) return -1;
    if (n <= kShortAnsiCell) {
      // Terminated as the converters' result is: a one-character type
      // reads its character even from an empty text.
      wchar_t awc[kShortAnsiCell];
      const unsigned int nChars = CellText_nUTF8ToWide(p, n, awc, kShortAnsiCell, nullptr);
      char ach[kShortAnsiBytes + 1];
      int nBytes = 0;
      if (nChars > 0) {
        nBytes = WideCharToMultiByte(static_cast<unsigned int>(nLanguage), 0, awc,
                                     static_cast<int>(nChars), ach, kShortAnsiBytes, nullptr,
                                     nullptr);
        if (nBytes <= 0) return -1;
      }
      ach[nBytes] = '\0';
      return _bSetValue(ach, static_cast<unsigned int>(nBytes),
                        static_cast<unsigned int>(nLanguage));
    }
    // A longer cell is converted piece by piece, which only a code page of
    // one byte a character and no shift state allows.
    if (nLanguage != 1252) return -1;
    if (bSlot) return _nSetLongAnsiSlotDirect(p, n);
    std::string clText;
    if (!bAppendCP1252(p, n, &clText)) return -1;
    return _bSetValue(clText.c_str(), static_cast<unsigned int>(clText.size()), 1252u);
  }
  return -1;
}

int CNAConvertVariant::bSetValueDB(const wchar_t* pText, unsigned int n) {
  if (m_nBufferDBState == 0 && !bInitBufferDB()) return 0;
  return bSetValueFromDB(pText, n);
}

int CNAConvertVariant::bSetValueFromDB(const wchar_t* pText, unsigned int n) {
  if (pText == nullptr) {
    SetNull();
    return 1;
  }
  if (n == static_cast<unsigned int>(-1)) n = static_cast<unsigned int>(std::wcslen(pText));
  const unsigned short nT = m_clValue.nGetTypeCode();
  if (bDBTextType(nT)) return bSetValue(pText, n);
  if (bDBScalarType(nT) || nT == VX_BIN) {
    // These layouts are ASCII (a binary one byte a character): anything wider
    // cannot be read as them.
    std::string clNarrow(n, '\0');
    for (unsigned int i = 0; i < n; ++i) {
      const unsigned int c = static_cast<unsigned int>(pText[i]);
      const unsigned int nMax = nT == VX_BIN ? 0xFF : 0x7F;
      if (c > nMax) {
        if (nT != VX_BOOL) {
          return _SetErrorConversionFailed(VX_PSTRW, std::wstring(pText, n).c_str(), kDBTextFile,
                                           kDBTextSite);
        }
        clNarrow[i] = 'x';  // any character but the false ones is true
      } else {
        clNarrow[i] = static_cast<char>(c);
      }
    }
    if (nT == VX_BIN) {
      if (m_eMode == NA_VT_NOT_READ) m_eMode = NA_VT_ANY;
      if (m_eMode == NA_VT_ANY)
        return bSetValue(reinterpret_cast<const unsigned char*>(clNarrow.data()), n);
      if (m_eMode == NA_VT_EMPTY || m_eMode == NA_VT_REFERENCE) return 0;
      DBText_WriteBinary(reinterpret_cast<const unsigned char*>(clNarrow.data()), n, m_pbyBuffer,
                         m_pbyBuffer != nullptr ? m_nCapacity : 0);
      m_nUsedLength =
          m_pbyBuffer != nullptr && m_nCapacity >= 2 ? (m_pbyBuffer[0] | (m_pbyBuffer[1] << 8)) : 0;
      m_clValue.SetNull(false);
      return 1;
    }
    return _bSetValueDBScalar(clNarrow.data(), n, pText, 1252, VX_PSTRW);
  }
  return bSetValue(pText, n);
}

int CNAConvertVariant::_nSetLongAnsiSlotDirect(const char* p, unsigned int n) {
  // What fits the slot, converted on the stack piece by piece: the rest of a
  // long cell never needs converting. A one-character type keeps one byte
  // and no terminator, as the general road's two copies leave it.
  const unsigned int nRoomBytes = m_clValue.nGetTypeCode() == VX_CARA
                                      ? (m_nCapacity < 1 ? m_nCapacity : 1)
                                      : (m_nCapacity > 1 ? m_nCapacity - 1 : 0);
  wchar_t awc[kShortAnsiCell];
  char ach[kShortAnsiCell];
  unsigned int nDone = 0;
  size_t i = 0;
  while (i < n && nDone < nRoomBytes) {
    size_t nUsed = 0;
    const unsigned int nLeft = nRoomBytes - nDone;
    const unsigned int nChars = CellText_nUTF8ToWide(
        p + i, n - i, awc, nLeft < kShortAnsiCell ? nLeft : kShortAnsiCell, &nUsed);
    if (nChars == 0) break;
    const int nBytes = WideCharToMultiByte(1252, 0, awc, static_cast<int>(nChars), ach,
                                           static_cast<int>(sizeof ach), nullptr, nullptr);
    // Code page 1252 writes a byte for every character ("?" for those it
    // lacks); anything else goes to the general road, which rewrites the
    // whole slot.
    if (nBytes != static_cast<int>(nChars)) return -1;
    std::memcpy(m_pbyBuffer + nDone, ach, nChars);
    nDone += nChars;
    i += nUsed;
  }
  m_clValue.SetNull(false);
  std::memset(m_pbyBuffer + nDone, 0, m_nCapacity - nDone);
  m_nUsedLength = nDone;
  return 1;
}

int CNAConvertVariant::_nSetWideValueDirect(const char* p, unsigned int n,
                                            unsigned int nCodePage) {
  // Short UTF-8 cells already decode on the stack in the text setter; a
  // longer one (a memo, most often) is decoded once into the value's own
  // text instead of through a converted string and its copy.
  std::wstring clWide;
  if (nCodePage == 65001) {
    if (n <= kShortAnsiCell || !CellText_bWellFormedUTF8(p, n)) return -1;
    clWide.resize(n);  // no more characters than bytes
    clWide.resize(CellText_nUTF8ToWide(p, n, clWide.data(), n, nullptr));
  } else if (nCodePage == 1252) {
    const void* pz = std::memchr(p, 0, n);
    const unsigned int nChars =
        pz != nullptr ? static_cast<unsigned int>(static_cast<const char*>(pz) - p) : n;
    clWide.resize(nChars);
    if (nChars > 0)
      STR_CP1252ToWideChar(p, static_cast<int>(nChars), clWide.data(), static_cast<int>(nChars));
  } else {
    return -1;
  }
  m_clValue.SetNull(false);
  m_clValue.pclGetIntern()->SetValue(clWide.data(),
                                     static_cast<unsigned int>(clWide.size() * sizeof(wchar_t)));
  m_clValue.SetTypeWord(m_clValue.wGetType() & kVXClearFlagsMask);
  return 1;
}
