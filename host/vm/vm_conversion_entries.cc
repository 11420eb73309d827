// The stand-in conversion entry: read the source area into a CReadValue, then
// write that value in the destination type's format.
#include "host/vm/vm_conversion_entries.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>
#include <mutex>
#include <unordered_set>

#include "host/vm/code_page_text.h"
#include "host/vm/decimal_factory.h"
#include "host/vm/standin_control.h"
#include "host/vm/standin_services.h"

namespace standin_values {
namespace {

constexpr uint32_t kMaxTextUnits = 2147483391u;
// Coefficients of exact numbers read from text stay within 76 digits
// (10^76 < 2^253), inside the 256 bits of CWideUInt.
constexpr int kMaxExactDigits = 76;

std::atomic<int> gnConversionCalls{0};
std::atomic<int> gnFinConversionCalls{0};
std::atomic<int> gnForcedConversion{0};

// The zero-terminated strings handed out in scratch areas, so that
// FinConversion frees only what the entry made.
struct LiveStrings {
  std::mutex mutex;
  std::unordered_set<const void*> set;
};
LiveStrings& Strings() {
  static LiveStrings* p = new LiveStrings();  // outlives static destructors
  return *p;
}
// Made when the library loads, so that a program that loads the stand-in
// before main counts it in its start, not against the first test.
[[maybe_unused]] const bool gbStringsMadeAtLoad = (Strings(), true);
void RegisterString(const void* p) {
  std::lock_guard<std::mutex> lock(Strings().mutex);
  Strings().set.insert(p);
}
bool bUnregisterString(const void* p) {
  std::lock_guard<std::mutex> lock(Strings().mutex);
  return Strings().set.erase(p) != 0;
}

unsigned int NormaliseType(unsigned int nType) {
  nType &= 0xFF;
  if (nType == VX_I4_ALIAS) return VX_I4;
  if (nType == 148 || nType == 149) return VX_DSTRW;
  return nType;
}

// ---------------------------------------------------------------------------
// Counted buffers and zero-terminated strings.

int nNewCounted(const void* p, size_t nBytes, unsigned char** ppOut) {
  *ppOut = nullptr;
  if (nBytes == 0) return 0;  // the empty text is the null buffer
  if (nBytes > 0xFFFFFFF0u) return kStandInTooLong;
  unsigned char* pData = nullptr;
  int r = StandInStrAllocator()->vnAllocStrMemEx(&pData, static_cast<unsigned int>(nBytes), 0);
  if (r != 0) return r;
  std::memcpy(pData, p, nBytes);
  StrMemHeader(pData)->nLength = static_cast<uint32_t>(nBytes);
  std::memset(pData + nBytes, 0, 4);  // at most into the four zero bytes after the capacity
  *ppOut = pData;
  return 0;
}

void ReleaseCounted(unsigned char* pData) {
  if (!pData) return;
  if (__atomic_sub_fetch(&StrMemHeader(pData)->nRefCount, 1, __ATOMIC_ACQ_REL) == 0)
    StandInStrAllocator()->vReleaseStrMem(pData);
}

void* pAreaWord(const void* pArea) {
  void* p;
  std::memcpy(&p, pArea, sizeof p);
  return p;
}
void SetAreaWord(void* pArea, const void* p) { std::memcpy(pArea, &p, sizeof p); }

// ---------------------------------------------------------------------------
// Calendar.

bool bLeapYear(int y) { return y % 4 == 0 && (y < 1583 || y % 100 != 0 || y % 400 == 0); }
int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && bLeapYear(y) ? 29 : kDays[m - 1];
}

bool bIsSeparator(wchar_t c) {
  return c == L'-' || c == L'/' || c == L':' || c == L'.' || c == L',' || c == L'T' || c == L' ';
}

// The digits of a date or time text without its separators; false when any
// other character is present.
bool bDigitsOf(const std::wstring& text, std::string* pDigits) {
  pDigits->clear();
  for (wchar_t c : text) {
    if (c >= L'0' && c <= L'9') pDigits->push_back(static_cast<char>(c));
    else if (!bIsSeparator(c)) return false;
  }
  return true;
}

int Number(const std::string& s, size_t nStart, size_t nLen) {
  int n = 0;
  for (size_t i = nStart; i < nStart + nLen; ++i) n = n * 10 + (s[i] - '0');
  return n;
}

// 8 digits of a date. 0 or 110.
int nParseDateDigits(const std::string& d, CReadValue* pOut) {
  if (d.size() != 8) return kStandInBadDate;
  int y = Number(d, 0, 4), m = Number(d, 4, 2), day = Number(d, 6, 2);
  if (m < 1 || m > 12 || day < 1 || day > DaysInMonth(y, m)) return kStandInBadDate;
  pOut->nYear = y;
  pOut->nMonth = m;
  pOut->nDay = day;
  return 0;
}

// 0, 2, 4, 6, 7, 8 or 9 digits of a time. 0 or 111.
int nParseTimeDigits(const std::string& d, uint32_t* pnMs) {
  size_t n = d.size();
  if (n == 0) {
    *pnMs = 0;
    return 0;
  }
  if (n == 1 || n == 3 || n == 5 || n > 9) return kStandInBadTime;
  int h = Number(d, 0, 2);
  int mi = n >= 4 ? Number(d, 2, 2) : 0;
  int s = n >= 6 ? Number(d, 4, 2) : 0;
  int ms = 0;
  if (n == 7) ms = Number(d, 6, 1) * 100;
  if (n == 8) ms = Number(d, 6, 2) * 10;
  if (n == 9) ms = Number(d, 6, 3);
  if (h > 23 || mi > 59 || s > 59) return kStandInBadTime;
  *pnMs = static_cast<uint32_t>(((h * 60 + mi) * 60 + s) * 1000 + ms);
  return 0;
}

int nParseDateText(const std::wstring& text, CReadValue* pOut) {
  std::string d;
  if (!bDigitsOf(text, &d)) return kStandInBadDate;
  pOut->nYear = pOut->nMonth = pOut->nDay = 0;
  if (d.empty()) return 0;
  return nParseDateDigits(d, pOut);
}

int nParseTimeText(const std::wstring& text, uint32_t* pnMs) {
  std::string d;
  if (!bDigitsOf(text, &d)) return kStandInBadTime;
  return nParseTimeDigits(d, pnMs);
}

int nParseDateTimeText(const std::wstring& text, CReadValue* pOut) {
  std::string d;
  if (!bDigitsOf(text, &d)) return kStandInBadDate;
  pOut->nYear = pOut->nMonth = pOut->nDay = 0;
  pOut->nMilliseconds = 0;
  if (d.empty()) return 0;
  if (d.size() < 8) return kStandInBadDate;
  int r = nParseDateDigits(d.substr(0, 8), pOut);
  if (r) return r;
  return nParseTimeDigits(d.substr(8), &pOut->nMilliseconds);
}

// "-" when negative, the days, then HHMMSSmmm. 0 or 112.
int nParseDurationText(const std::wstring& text, int64_t* pn) {
  size_t i = 0;
  bool bNegative = false;
  if (!text.empty() && text[0] == L'-') {
    bNegative = true;
    i = 1;
  }
  std::string d;
  for (; i < text.size(); ++i) {
    if (text[i] < L'0' || text[i] > L'9') return kStandInBadDuration;
    d.push_back(static_cast<char>(text[i]));
  }
  if (d.size() < 10 || d.size() > 24) return kStandInBadDuration;
  size_t nDays = d.size() - 9;
  int h = Number(d, nDays, 2), mi = Number(d, nDays + 2, 2), s = Number(d, nDays + 4, 2),
      ms = Number(d, nDays + 6, 3);
  if (h > 23 || mi > 59 || s > 59) return kStandInBadDuration;
  CWideUInt total;
  for (size_t k = 0; k < nDays; ++k) {
    total.MulSmall(10);
    total.Add(CWideUInt::FromU64(static_cast<uint64_t>(d[k] - '0')));
  }
  total.MulSmall(86400000u);
  total.Add(CWideUInt::FromU64(static_cast<uint64_t>(((h * 60 + mi) * 60 + s) * 1000 + ms)));
  uint64_t nLimit = bNegative ? (1ull << 63) : (1ull << 63) - 1;
  if (!total.bFitsU64() || total.nLow64() > nLimit) return kStandInBadDuration;
  uint64_t m = total.nLow64();
  *pn = bNegative ? static_cast<int64_t>(0 - m) : static_cast<int64_t>(m);
  return 0;
}

// ---------------------------------------------------------------------------
// Numbers in text.

std::wstring Trim(const std::wstring& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == L' ' || s[b] == L'\t')) ++b;
  while (e > b && (s[e - 1] == L' ' || s[e - 1] == L'\t')) --e;
  return s.substr(b, e - b);
}

enum class ENumberText { kNumber, kNaN, kInfinity, kNegativeInfinity, kInvalid };

bool bEqualsNoCase(const std::wstring& s, const char* p) {
  size_t n = std::strlen(p);
  if (s.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    wchar_t c = s[i];
    if (c >= L'A' && c <= L'Z') c = c - L'A' + L'a';
    if (c != static_cast<wchar_t>(p[i])) return false;
  }
  return true;
}

// Splits a number text: sign, integer digits, decimals, exponent. Blank text
// is the number 0.
ENumberText ClassifyNumber(const std::wstring& raw, bool* pbNegative, std::string* pInt,
                           std::string* pFrac, long* pnExponent) {
  std::wstring s = Trim(raw);
  *pbNegative = false;
  pInt->clear();
  pFrac->clear();
  *pnExponent = 0;
  if (s.empty()) return ENumberText::kNumber;
  size_t i = 0;
  if (s[0] == L'+' || s[0] == L'-') {
    *pbNegative = s[0] == L'-';
    i = 1;
  }
  std::wstring rest = s.substr(i);
  if (bEqualsNoCase(rest, "nan")) return ENumberText::kNaN;
  if (bEqualsNoCase(rest, "inf") || bEqualsNoCase(rest, "infinity"))
    return *pbNegative ? ENumberText::kNegativeInfinity : ENumberText::kInfinity;
  for (; i < s.size() && s[i] >= L'0' && s[i] <= L'9'; ++i) pInt->push_back(static_cast<char>(s[i]));
  if (i < s.size() && (s[i] == L'.' || s[i] == L',')) {
    for (++i; i < s.size() && s[i] >= L'0' && s[i] <= L'9'; ++i)
      pFrac->push_back(static_cast<char>(s[i]));
  }
  if (pInt->empty() && pFrac->empty()) return ENumberText::kInvalid;
  if (i < s.size() && (s[i] == L'e' || s[i] == L'E')) {
    ++i;
    bool bNegExp = false;
    if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) {
      bNegExp = s[i] == L'-';
      ++i;
    }
    if (i >= s.size() || s[i] < L'0' || s[i] > L'9') return ENumberText::kInvalid;
    long e = 0;
    for (; i < s.size() && s[i] >= L'0' && s[i] <= L'9'; ++i)
      if (e < 100000) e = e * 10 + (s[i] - L'0');
    *pnExponent = bNegExp ? -e : e;
  }
  if (i != s.size()) return ENumberText::kInvalid;
  return ENumberText::kNumber;
}

// Digits and scale to an exact number; more than 76 digits are rounded away
// from the decimals, or answer 121 when they are integer digits.
int nExactFromDigits(bool bNegative, std::string all, long nScale, CExactNumber* pOut) {
  size_t nLead = 0;
  while (nLead < all.size() && all[nLead] == '0') ++nLead;
  all.erase(0, nLead);
  CExactNumber n;
  if (all.empty()) {
    *pOut = n;
    return 0;
  }
  if (nScale < 0) {
    if (static_cast<long>(all.size()) - nScale > kMaxExactDigits) return kStandInOverflow;
    all.append(static_cast<size_t>(-nScale), '0');
    nScale = 0;
  }
  bool bRoundUp = false;
  if (static_cast<long>(all.size()) > kMaxExactDigits) {
    long nDrop = static_cast<long>(all.size()) - kMaxExactDigits;
    if (nDrop > nScale) return kStandInOverflow;
    bRoundUp = all[all.size() - nDrop] >= '5';
    all.resize(all.size() - nDrop);
    nScale -= nDrop;
  }
  if (nScale > 2 * kMaxExactDigits) {
    // Below every representable decimal: zero.
    *pOut = n;
    return 0;
  }
  for (char c : all) {
    n.mag.MulSmall(10);
    n.mag.Add(CWideUInt::FromU64(static_cast<uint64_t>(c - '0')));
  }
  if (bRoundUp) n.mag.Add(CWideUInt::FromU64(1));
  n.nScale = static_cast<int>(nScale);
  n.bNegative = bNegative;
  n.Normalise();
  *pOut = n;
  return 0;
}

int nExactFromText(const std::wstring& text, CExactNumber* pOut) {
  bool bNegative;
  std::string strInt, strFrac;
  long nExp;
  switch (ClassifyNumber(text, &bNegative, &strInt, &strFrac, &nExp)) {
    case ENumberText::kNumber:
      return nExactFromDigits(bNegative, strInt + strFrac, static_cast<long>(strFrac.size()) - nExp,
                              pOut);
    case ENumberText::kInvalid:
      return kStandInNotANumber;
    default:
      return kStandInOverflow;  // NaN and infinities have no exact value
  }
}

int nRealFromText(const std::wstring& text, double* pd) {
  bool bNegative;
  std::string strInt, strFrac;
  long nExp;
  switch (ClassifyNumber(text, &bNegative, &strInt, &strFrac, &nExp)) {
    case ENumberText::kNaN:
      *pd = std::numeric_limits<double>::quiet_NaN();
      return 0;
    case ENumberText::kInfinity:
      *pd = std::numeric_limits<double>::infinity();
      return 0;
    case ENumberText::kNegativeInfinity:
      *pd = -std::numeric_limits<double>::infinity();
      return 0;
    case ENumberText::kInvalid:
      return kStandInNotANumber;
    case ENumberText::kNumber:
      break;
  }
  std::string s = bNegative ? "-" : "";
  s += strInt.empty() ? "0" : strInt;
  if (!strFrac.empty()) s += "." + strFrac;
  s += "e" + std::to_string(nExp);
  *pd = std::strtod(s.c_str(), nullptr);
  return 0;
}

std::string ShortestText(double d, bool bSingle) {
  char sz[64];
  std::to_chars_result r = bSingle ? std::to_chars(sz, sz + sizeof sz, static_cast<float>(d))
                                   : std::to_chars(sz, sz + sizeof sz, d);
  return std::string(sz, r.ptr);
}

std::string ExactText(const CExactNumber& n, bool bTrimZeros) {
  std::string digits = n.mag.Digits();
  if (static_cast<int>(digits.size()) <= n.nScale)
    digits.insert(0, static_cast<size_t>(n.nScale + 1 - static_cast<int>(digits.size())), '0');
  std::string s = digits;
  if (n.nScale > 0) {
    s.insert(s.size() - n.nScale, ".");
    if (bTrimZeros) {
      while (s.back() == '0') s.pop_back();
      if (s.back() == '.') s.pop_back();
    }
  }
  if (n.bNegative && !n.mag.bIsZero()) s.insert(0, "-");
  return s;
}

double ExactToReal(const CExactNumber& n) {
  std::string s = n.mag.Digits() + "e-" + std::to_string(n.nScale);
  double d = std::strtod(s.c_str(), nullptr);
  return n.bNegative ? -d : d;
}

// Truncates toward zero. Answers false when the integer part leaves 64 bits.
bool bExactToInteger(const CExactNumber& n, bool* pbNegative, uint64_t* pnMagnitude) {
  CWideUInt q = n.mag;
  for (int i = 0; i < n.nScale; ++i) q.DivSmall(10);
  if (!q.bFitsU64()) return false;
  *pnMagnitude = q.nLow64();
  *pbNegative = n.bNegative && *pnMagnitude != 0;
  return true;
}

// ---------------------------------------------------------------------------
// Money.

const CWideUInt& MoneyLimit() {  // 2^79
  static const CWideUInt v = [] {
    CWideUInt x;
    x.w[2] = 1u << 15;
    return x;
  }();
  return v;
}

void ReadMoney(const void* pArea, CExactNumber* pOut) {
  const unsigned char* p = static_cast<const unsigned char*>(pArea);
  CWideUInt v;
  for (int i = 0; i < 10; ++i) v.w[i / 4] |= static_cast<uint32_t>(p[i]) << (8 * (i % 4));
  bool bNegative = (p[9] & 0x80) != 0;
  if (bNegative) {
    // The magnitude is 2^80 - R.
    CWideUInt t;
    t.w[2] = 1u << 16;
    t.Sub(v);
    v = t;
  }
  pOut->bNegative = bNegative;
  pOut->mag = v;
  pOut->nScale = 6;
  pOut->Normalise();
}

int nWriteMoney(const CExactNumber& number, void* pDest) {
  CExactNumber n = number;
  if (!n.Rescale(6)) return kStandInOverflow;
  int c = CWideUInt::Compare(n.mag, MoneyLimit());
  if (n.bNegative ? c > 0 : c >= 0) return kStandInOverflow;
  CWideUInt v = n.mag;
  if (n.bNegative && !v.bIsZero()) {
    for (uint32_t& x : v.w) x = ~x;
    v.Add(CWideUInt::FromU64(1));
  }
  unsigned char* p = static_cast<unsigned char*>(pDest);
  for (int i = 0; i < 10; ++i) p[i] = static_cast<unsigned char>(v.w[i / 4] >> (8 * (i % 4)));
  return 0;
}

// ---------------------------------------------------------------------------
// Reading areas.

int nReadWideText(const wchar_t* p, size_t n, CReadValue* pOut) {
  if (n > kMaxTextUnits) return kStandInTooLong;
  pOut->eKind = CReadValue::kText;
  pOut->strText.assign(p ? p : L"", p ? n : 0);
  return 0;
}

int nRead8BitText(const char* p, size_t n, const STOCAW* pstCodePage, CReadValue* pOut) {
  if (n > kMaxTextUnits) return kStandInTooLong;
  pOut->eKind = CReadValue::kText;
  pOut->strBytes.assign(p ? p : "", p ? n : 0);
  return nDecodeText(pOut->strBytes.data(), pOut->strBytes.size(), ResolveCodePage(pstCodePage),
                     &pOut->strText);
}

// The characters of a fixed date or time text, up to its zero or nMax.
template <typename T>
std::wstring FixedText(const void* pArea, size_t nMax) {
  const T* p = static_cast<const T*>(pArea);
  std::wstring s;
  for (size_t i = 0; i < nMax && p[i]; ++i)
    s.push_back(static_cast<wchar_t>(sizeof(T) == 1 ? static_cast<unsigned char>(p[i]) : p[i]));
  return s;
}

template <typename T>
T Load(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void SetSigned(int64_t v, CReadValue* pOut) {
  pOut->eKind = CReadValue::kInteger;
  pOut->bNegative = v < 0;
  pOut->nMagnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
}
void SetUnsigned(uint64_t v, CReadValue* pOut) {
  pOut->eKind = CReadValue::kInteger;
  pOut->bNegative = false;
  pOut->nMagnitude = v;
}

// ---------------------------------------------------------------------------
// Writing areas.

bool bIntegerFits(unsigned int nType, bool bNegative, uint64_t m) {
  auto bSignedFits = [&](uint64_t nMax) { return bNegative ? m <= nMax + 1 : m <= nMax; };
  auto bUnsignedFits = [&](uint64_t nMax) { return !bNegative && m <= nMax; };
  switch (nType) {
    case VX_UI1: return bUnsignedFits(0xFF);
    case VX_UI2: return bUnsignedFits(0xFFFF);
    case VX_UI4: return bUnsignedFits(0xFFFFFFFFull);
    case VX_UI8: return bUnsignedFits(~0ull);
    case VX_I1: return bSignedFits(0x7F);
    case VX_I2: return bSignedFits(0x7FFF);
    case VX_I4: case VX_UIX: return bSignedFits(0x7FFFFFFF);
    case VX_I8: case VX_DUREE: return bSignedFits(0x7FFFFFFFFFFFFFFFull);
    default: return false;
  }
}

void StoreInteger(unsigned int nType, bool bNegative, uint64_t m, void* pDest) {
  uint64_t v = bNegative ? 0 - m : m;
  unsigned char* p = static_cast<unsigned char*>(pDest);
  switch (nType) {
    case VX_UI1: case VX_I1: p[0] = static_cast<unsigned char>(v); break;
    case VX_UI2: case VX_I2: { uint16_t x = static_cast<uint16_t>(v); std::memcpy(p, &x, 2); break; }
    case VX_UI4: case VX_I4: case VX_UIX: { uint32_t x = static_cast<uint32_t>(v); std::memcpy(p, &x, 4); break; }
    default: std::memcpy(p, &v, 8); break;
  }
}

bool bIsIntegerType(unsigned int nType) {
  switch (nType) {
    case VX_UI1: case VX_UI2: case VX_UI4: case VX_UI8: case VX_I1: case VX_I2: case VX_I4:
    case VX_I8: case VX_UIX:
      return true;
    default:
      return false;
  }
}

// Plain integer texts (optional blanks and sign, 1 to 19 digits) read
// without the exact-number machinery: the common case of fetched cells.
bool bPlainIntegerText(const std::wstring& s, bool* pbNegative, uint64_t* pn) {
  size_t i = 0, e = s.size();
  while (i < e && s[i] == L' ') ++i;
  while (e > i && s[e - 1] == L' ') --e;
  *pbNegative = false;
  if (i < e && (s[i] == L'-' || s[i] == L'+')) *pbNegative = s[i++] == L'-';
  if (i == e || e - i > 19) return false;
  uint64_t n = 0;
  for (; i < e; ++i) {
    if (s[i] < L'0' || s[i] > L'9') return false;
    n = n * 10 + static_cast<uint64_t>(s[i] - L'0');
  }
  *pn = n;
  if (n == 0) *pbNegative = false;
  return true;
}

// The value as (sign, magnitude) truncated toward zero. 0, 105, 121, 122.
int nAsInteger(const CReadValue& v, bool* pbNegative, uint64_t* pn) {
  if (v.eKind == CReadValue::kText && bPlainIntegerText(v.strText, pbNegative, pn)) return 0;
  switch (v.eKind) {
    case CReadValue::kInteger:
      *pbNegative = v.bNegative;
      *pn = v.nMagnitude;
      return 0;
    case CReadValue::kDuration:
      *pbNegative = v.nDuration < 0;
      *pn = v.nDuration < 0 ? 0 - static_cast<uint64_t>(v.nDuration)
                            : static_cast<uint64_t>(v.nDuration);
      return 0;
    case CReadValue::kReal: {
      if (!std::isfinite(v.dReal)) return kStandInOverflow;
      double t = std::trunc(v.dReal);
      if (std::fabs(t) >= 18446744073709551616.0) return kStandInOverflow;
      *pbNegative = t < 0;
      *pn = static_cast<uint64_t>(std::fabs(t));
      return 0;
    }
    default: {
      CExactNumber n;
      int r = nAsExact(v, &n);
      if (r) return r;
      return bExactToInteger(n, pbNegative, pn) ? 0 : kStandInOverflow;
    }
  }
}

int nWriteBool(const CReadValue& v, void* pDest) {
  int32_t b;
  if (v.eKind == CReadValue::kText) {
    std::wstring s = Trim(v.strText);
    if (bEqualsNoCase(s, "true") || bEqualsNoCase(s, "vrai")) {
      b = 1;
    } else if (bEqualsNoCase(s, "false") || bEqualsNoCase(s, "faux")) {
      b = 0;
    } else {
      double d;
      int r = nRealFromText(s, &d);
      if (r) return r;
      b = d != 0 ? 1 : 0;
    }
  } else if (v.eKind == CReadValue::kReal) {
    b = v.dReal != 0 ? 1 : 0;
  } else {
    CExactNumber n;
    int r = nAsExact(v, &n);
    if (r) return r;
    b = n.mag.bIsZero() ? 0 : 1;
  }
  std::memcpy(pDest, &b, 4);
  return 0;
}

int nWriteReal(const CReadValue& v, unsigned int nType, void* pDest) {
  double d;
  int r = nAsReal(v, &d);
  if (r) return r;
  if (nType == VX_R4) {
    // Values that round to the largest float are still in range.
    float f = static_cast<float>(d);
    if (std::isfinite(d) && std::isinf(f)) return kStandInOverflow;
    std::memcpy(pDest, &f, 4);
  } else {
    std::memcpy(pDest, &d, 8);
  }
  return 0;
}

int nWriteDecimal(const CExactNumber& n, void* pDest) {
  CStandInDecimal* p = new CStandInDecimal();
  if (!p->bSetNumber(n)) {
    delete p;
    return kStandInOverflow;
  }
  SetAreaWord(pDest, static_cast<IVXDecimal*>(p));
  return 0;
}

int nWriteDuration(const CReadValue& v, void* pDest) {
  int64_t n;
  if (v.eKind == CReadValue::kDuration) {
    n = v.nDuration;
  } else if (v.eKind == CReadValue::kText) {
    int r = nParseDurationText(v.strText, &n);
    if (r) return r;
  } else if (v.eKind == CReadValue::kInteger) {
    if (!bIntegerFits(VX_I8, v.bNegative, v.nMagnitude)) return kStandInOverflow;
    n = static_cast<int64_t>(v.bNegative ? 0 - v.nMagnitude : v.nMagnitude);
  } else {
    CExactNumber e;
    int r = nAsExact(v, &e);
    if (r) return r;
    if (!e.Rescale(0)) return kStandInOverflow;
    if (!e.mag.bFitsU64() || !bIntegerFits(VX_I8, e.bNegative, e.mag.nLow64()))
      return kStandInOverflow;
    n = static_cast<int64_t>(e.bNegative ? 0 - e.mag.nLow64() : e.mag.nLow64());
  }
  std::memcpy(pDest, &n, 8);
  return 0;
}

// Text destinations.
int nWriteText(const CReadValue& v, unsigned int nType, void* pDest, const STOCAW* pstCodePage) {
  std::wstring text;
  int r = nAsText(v, &text);
  if (r) return r;
  if (text.size() > kMaxTextUnits) return kStandInTooLong;
  // Binary bytes go to 8-bit text as they are, not through a code page.
  bool bRawBytes = v.eKind == CReadValue::kBytes;
  switch (nType) {
    case VX_DSTRW: {
      unsigned char* p;
      r = nNewCounted(text.data(), text.size() * sizeof(wchar_t), &p);
      if (r) return r;
      SetAreaWord(pDest, p);
      return 0;
    }
    case VX_PSTRW: {
      wchar_t* p = new wchar_t[text.size() + 1];
      std::wmemcpy(p, text.c_str(), text.size() + 1);
      RegisterString(p);
      SetAreaWord(pDest, p);
      return 0;
    }
    case VX_CARW: {
      wchar_t a[2] = {text.empty() ? L'\0' : text[0], L'\0'};
      std::memcpy(pDest, a, sizeof a);
      return 0;
    }
    default:
      break;
  }
  std::string bytes;
  if (bRawBytes) bytes = v.strBytes;
  else EncodeText(text, ResolveCodePage(pstCodePage), &bytes);
  switch (nType) {
    case VX_DSTRA: {
      unsigned char* p;
      r = nNewCounted(bytes.data(), bytes.size(), &p);
      if (r) return r;
      SetAreaWord(pDest, p);
      return 0;
    }
    case VX_PSTRA: {
      char* p = new char[bytes.size() + 1];
      std::memcpy(p, bytes.c_str(), bytes.size() + 1);
      RegisterString(p);
      SetAreaWord(pDest, p);
      return 0;
    }
    case VX_CARA: {
      char a[2] = {bytes.empty() ? '\0' : bytes[0], '\0'};
      std::memcpy(pDest, a, 2);
      return 0;
    }
    default:
      return kStandInNotConvertible;
  }
}

int nWriteBin(const CReadValue& v, void* pDest, const STOCAW* pstCodePage) {
  std::string bytes;
  if (v.eKind == CReadValue::kBytes) {
    bytes = v.strBytes;
  } else if (v.eKind == CReadValue::kText && v.nType != VX_DSTRW && v.nType != VX_PSTRW &&
             v.nType != VX_CARW) {
    bytes = v.strBytes;  // 8-bit text: its own bytes
  } else {
    std::wstring text;
    int r = nAsText(v, &text);
    if (r) return r;
    EncodeText(text, ResolveCodePage(pstCodePage), &bytes);
  }
  unsigned char* p;
  int r = nNewCounted(bytes.data(), bytes.size(), &p);
  if (r) return r;
  SetAreaWord(pDest, p);
  return 0;
}

// The date, time or date-time of a value (texts parsed). nWant is the
// destination type.
int nAsDateTime(const CReadValue& v, unsigned int nWant, CReadValue* pOut) {
  bool bWantDate = nWant == VX_DATEW || nWant == VX_DATEA;
  bool bWantTime = nWant == VX_TIMEW || nWant == VX_TIMEA;
  *pOut = CReadValue();
  switch (v.eKind) {
    case CReadValue::kDate:
      if (bWantTime) return kStandInNotConvertible;
      pOut->nYear = v.nYear, pOut->nMonth = v.nMonth, pOut->nDay = v.nDay;
      return 0;
    case CReadValue::kTime:
      if (bWantDate) return kStandInNotConvertible;
      pOut->nMilliseconds = v.nMilliseconds;
      return 0;
    case CReadValue::kDateTime:
      *pOut = v;
      return 0;
    case CReadValue::kText:
      if (bWantDate) return nParseDateText(v.strText, pOut);
      if (bWantTime) return nParseTimeText(v.strText, &pOut->nMilliseconds);
      return nParseDateTimeText(v.strText, pOut);
    default:
      return kStandInNotConvertible;
  }
}

std::string DateDigits(int y, int m, int d) {
  if (y == 0 && m == 0 && d == 0) return "";
  char sz[32];
  std::snprintf(sz, sizeof sz, "%04d%02d%02d", y % 10000, m % 100, d % 100);
  return sz;
}
std::string TimeDigits(uint32_t ms) {
  char sz[32];
  unsigned s = ms / 1000;
  std::snprintf(sz, sizeof sz, "%02u%02u%02u%03u", (s / 3600) % 100, (s / 60) % 60, s % 60,
                ms % 1000);
  return sz;
}

template <typename T>
void StoreFixedText(const std::string& s, size_t nChars, void* pDest) {
  T* p = static_cast<T*>(pDest);
  size_t n = s.size() < nChars ? s.size() : nChars;
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<T>(s[i]);
  p[n] = 0;
}

int nWriteDateOrTime(const CReadValue& v, unsigned int nType, void* pDest) {
  if (v.eKind == CReadValue::kBytes && nType == VX_DATETIME) {
    if (v.strBytes.size() != 8) return kStandInBinNot8Bytes;
    std::memcpy(pDest, v.strBytes.data(), 8);
    return 0;
  }
  CReadValue dt;
  int r = nAsDateTime(v, nType, &dt);
  if (r) return r;
  switch (nType) {
    case VX_DATEW: StoreFixedText<wchar_t>(DateDigits(dt.nYear, dt.nMonth, dt.nDay), 8, pDest); break;
    case VX_DATEA: StoreFixedText<char>(DateDigits(dt.nYear, dt.nMonth, dt.nDay), 8, pDest); break;
    case VX_TIMEW: StoreFixedText<wchar_t>(TimeDigits(dt.nMilliseconds), 9, pDest); break;
    case VX_TIMEA: StoreFixedText<char>(TimeDigits(dt.nMilliseconds), 9, pDest); break;
    default: {
      unsigned char* p = static_cast<unsigned char*>(pDest);
      p[0] = static_cast<unsigned char>(dt.nDay);
      p[1] = static_cast<unsigned char>(dt.nMonth);
      uint16_t y = static_cast<uint16_t>(dt.nYear);
      std::memcpy(p + 2, &y, 2);
      std::memcpy(p + 4, &dt.nMilliseconds, 4);
      break;
    }
  }
  return 0;
}

}  // namespace

int nWriteValue(const CReadValue& v, unsigned int nType, void* pDest, const STOCAW* pstCodePage) {
  // Raw 8-byte reinterpretation of a binary value.
  if (v.eKind == CReadValue::kBytes &&
      (nType == VX_I8 || nType == VX_UI8 || nType == VX_R8 || nType == VX_DUREE)) {
    if (v.strBytes.size() != 8) return kStandInBinNot8Bytes;
    std::memcpy(pDest, v.strBytes.data(), 8);
    return 0;
  }
  switch (nType) {
    case VX_BOOL:
      return nWriteBool(v, pDest);
    case VX_UI1: case VX_UI2: case VX_UI4: case VX_UI8: case VX_I1: case VX_I2: case VX_I4:
    case VX_I8: case VX_UIX: {
      if (v.eKind == CReadValue::kBytes) return kStandInNotConvertible;
      bool bNegative;
      uint64_t m;
      int r = nAsInteger(v, &bNegative, &m);
      if (r) return r;
      if (!bIntegerFits(nType, bNegative, m)) return kStandInOverflow;
      StoreInteger(nType, bNegative, m, pDest);
      return 0;
    }
    case VX_R4: case VX_R8:
      return nWriteReal(v, nType, pDest);
    case VX_CY: case VX_DECIMAL: {
      CExactNumber n;
      int r = nAsExact(v, &n);
      if (r) return r;
      return nType == VX_CY ? nWriteMoney(n, pDest) : nWriteDecimal(n, pDest);
    }
    case VX_DUREE:
      return nWriteDuration(v, pDest);
    case VX_DSTRW: case VX_DSTRA: case VX_PSTRA: case VX_PSTRW: case VX_CARA: case VX_CARW:
      return nWriteText(v, nType, pDest, pstCodePage);
    case VX_BIN:
      return nWriteBin(v, pDest, pstCodePage);
    case VX_DATEW: case VX_DATEA: case VX_TIMEW: case VX_TIMEA: case VX_DATETIME:
      return nWriteDateOrTime(v, nType, pDest);
    default:
      return kStandInNotConvertible;
  }
}

// ---------------------------------------------------------------------------
// Shared with the calculation entries.

bool bIsNumericType(unsigned int nType) {
  nType = NormaliseType(nType);
  return nType == VX_BOOL || bIsIntegerType(nType) || nType == VX_CY || nType == VX_R4 ||
         nType == VX_R8 || nType == VX_DECIMAL;
}

bool bIsTextType(unsigned int nType) {
  switch (NormaliseType(nType)) {
    case VX_DSTRW: case VX_DSTRA: case VX_PSTRA: case VX_PSTRW: case VX_CARA: case VX_CARW:
      return true;
    default:
      return false;
  }
}

int nReadValue(const void* pArea, unsigned int nTypeIn, const STOCAW* pstCodePage,
               CReadValue* pOut) {
  unsigned int nType = NormaliseType(nTypeIn);
  *pOut = CReadValue();
  pOut->nType = nType;
  if (!pArea) return kStandInNotConvertible;
  switch (nType) {
    case VX_BOOL: SetUnsigned(Load<int32_t>(pArea) != 0 ? 1 : 0, pOut); return 0;
    case VX_UI1: SetUnsigned(Load<uint8_t>(pArea), pOut); return 0;
    case VX_UI2: SetUnsigned(Load<uint16_t>(pArea), pOut); return 0;
    case VX_UI4: SetUnsigned(Load<uint32_t>(pArea), pOut); return 0;
    case VX_UI8: SetUnsigned(Load<uint64_t>(pArea), pOut); return 0;
    case VX_I1: SetSigned(Load<int8_t>(pArea), pOut); return 0;
    case VX_I2: SetSigned(Load<int16_t>(pArea), pOut); return 0;
    case VX_I4: case VX_UIX: SetSigned(Load<int32_t>(pArea), pOut); return 0;
    case VX_I8: SetSigned(Load<int64_t>(pArea), pOut); return 0;
    case VX_R4:
      pOut->eKind = CReadValue::kReal;
      pOut->dReal = Load<float>(pArea);
      return 0;
    case VX_R8:
      pOut->eKind = CReadValue::kReal;
      pOut->dReal = Load<double>(pArea);
      return 0;
    case VX_CY:
      pOut->eKind = CReadValue::kExact;
      ReadMoney(pArea, &pOut->exact);
      return 0;
    case VX_DECIMAL: {
      const IVXDecimal* p = static_cast<const IVXDecimal*>(pAreaWord(pArea));
      if (!bIsLiveStandInDecimal(p)) return kStandInBadDecimal;
      pOut->eKind = CReadValue::kExact;
      pOut->exact = static_cast<const CStandInDecimal*>(p)->Number();
      return 0;
    }
    case VX_DSTRW: {
      const unsigned char* p = static_cast<const unsigned char*>(pAreaWord(pArea));
      size_t n = p ? StrMemHeader(const_cast<unsigned char*>(p))->nLength / sizeof(wchar_t) : 0;
      return nReadWideText(reinterpret_cast<const wchar_t*>(p), n, pOut);
    }
    case VX_PSTRW: {
      const wchar_t* p = static_cast<const wchar_t*>(pAreaWord(pArea));
      return nReadWideText(p, p ? std::wcslen(p) : 0, pOut);
    }
    case VX_CARW: {
      const wchar_t* p = static_cast<const wchar_t*>(pArea);
      return nReadWideText(p, p[0] ? 1 : 0, pOut);
    }
    case VX_DSTRA: {
      const unsigned char* p = static_cast<const unsigned char*>(pAreaWord(pArea));
      size_t n = p ? StrMemHeader(const_cast<unsigned char*>(p))->nLength : 0;
      return nRead8BitText(reinterpret_cast<const char*>(p), n, pstCodePage, pOut);
    }
    case VX_PSTRA: {
      const char* p = static_cast<const char*>(pAreaWord(pArea));
      return nRead8BitText(p, p ? std::strlen(p) : 0, pstCodePage, pOut);
    }
    case VX_CARA: {
      const char* p = static_cast<const char*>(pArea);
      return nRead8BitText(p, p[0] ? 1 : 0, pstCodePage, pOut);
    }
    case VX_DATEW: case VX_DATEA: {
      std::wstring s = nType == VX_DATEW ? FixedText<wchar_t>(pArea, 8) : FixedText<char>(pArea, 8);
      pOut->eKind = CReadValue::kDate;
      if (s.empty()) return 0;
      std::string d;
      if (!bDigitsOf(s, &d)) return kStandInBadDate;
      return nParseDateDigits(d, pOut);
    }
    case VX_TIMEW: case VX_TIMEA: {
      std::wstring s = nType == VX_TIMEW ? FixedText<wchar_t>(pArea, 9) : FixedText<char>(pArea, 9);
      pOut->eKind = CReadValue::kTime;
      return nParseTimeText(s, &pOut->nMilliseconds);
    }
    case VX_DATETIME: {
      const unsigned char* p = static_cast<const unsigned char*>(pArea);
      pOut->eKind = CReadValue::kDateTime;
      pOut->nDay = p[0];
      pOut->nMonth = p[1];
      pOut->nYear = Load<uint16_t>(p + 2);
      pOut->nMilliseconds = Load<uint32_t>(p + 4);
      return 0;
    }
    case VX_DUREE:
      pOut->eKind = CReadValue::kDuration;
      pOut->nDuration = Load<int64_t>(pArea);
      return 0;
    case VX_BIN: {
      const unsigned char* p = static_cast<const unsigned char*>(pAreaWord(pArea));
      size_t n = p ? StrMemHeader(const_cast<unsigned char*>(p))->nLength : 0;
      if (n > kMaxTextUnits) return kStandInTooLong;
      pOut->eKind = CReadValue::kBytes;
      pOut->strBytes.assign(reinterpret_cast<const char*>(p ? p : reinterpret_cast<const unsigned char*>("")), n);
      return 0;
    }
    case VX_BUFFER: {
      const char* p = static_cast<const char*>(pAreaWord(pArea));
      uint32_t n = Load<uint32_t>(static_cast<const char*>(pArea) + sizeof(void*));
      if (n > kMaxTextUnits) return kStandInTooLong;
      pOut->eKind = CReadValue::kBytes;
      if (p) pOut->strBytes.assign(p, n);
      return 0;
    }
    case VX_POINT: case VX_RECTANGLE: {
      int nCount = nType == VX_POINT ? 2 : 4;
      pOut->eKind = CReadValue::kOther;
      for (int i = 0; i < nCount; ++i) {
        if (i) pOut->strText += L',';
        std::string s = std::to_string(Load<int32_t>(static_cast<const char*>(pArea) + 4 * i));
        pOut->strText.append(s.begin(), s.end());
      }
      return 0;
    }
    default:
      return kStandInNotConvertible;
  }
}

int nAsExact(const CReadValue& v, CExactNumber* pOut) {
  *pOut = CExactNumber();
  switch (v.eKind) {
    case CReadValue::kInteger:
      pOut->bNegative = v.bNegative;
      pOut->mag = CWideUInt::FromU64(v.nMagnitude);
      pOut->Normalise();
      return 0;
    case CReadValue::kDuration:
      pOut->bNegative = v.nDuration < 0;
      pOut->mag = CWideUInt::FromU64(v.nDuration < 0 ? 0 - static_cast<uint64_t>(v.nDuration)
                                                     : static_cast<uint64_t>(v.nDuration));
      return 0;
    case CReadValue::kReal: {
      if (!std::isfinite(v.dReal)) return kStandInOverflow;
      std::string s = ShortestText(v.dReal, v.nType == VX_R4);
      return nExactFromText(std::wstring(s.begin(), s.end()), pOut);
    }
    case CReadValue::kExact:
      *pOut = v.exact;
      return 0;
    case CReadValue::kText:
      return nExactFromText(v.strText, pOut);
    default:
      return kStandInNotConvertible;
  }
}

int nAsReal(const CReadValue& v, double* pOut) {
  *pOut = 0;
  switch (v.eKind) {
    case CReadValue::kInteger: {
      double d = static_cast<double>(v.nMagnitude);
      *pOut = v.bNegative ? -d : d;
      return 0;
    }
    case CReadValue::kDuration:
      *pOut = static_cast<double>(v.nDuration);
      return 0;
    case CReadValue::kReal:
      *pOut = v.dReal;
      return 0;
    case CReadValue::kExact:
      *pOut = ExactToReal(v.exact);
      return 0;
    case CReadValue::kText:
      return nRealFromText(v.strText, pOut);
    default:
      return kStandInNotConvertible;
  }
}

int nAsText(const CReadValue& v, std::wstring* pOut) {
  std::string s;
  switch (v.eKind) {
    case CReadValue::kText:
    case CReadValue::kOther:
      *pOut = v.strText;
      return 0;
    case CReadValue::kInteger:
      s = (v.bNegative ? "-" : "") + std::to_string(v.nMagnitude);
      break;
    case CReadValue::kReal:
      s = ShortestText(v.dReal, v.nType == VX_R4);
      break;
    case CReadValue::kExact:
      s = ExactText(v.exact, v.nType == VX_CY);
      break;
    case CReadValue::kDate:
      s = DateDigits(v.nYear, v.nMonth, v.nDay);
      break;
    case CReadValue::kTime:
      s = TimeDigits(v.nMilliseconds);
      break;
    case CReadValue::kDateTime:
      if (v.nYear || v.nMonth || v.nDay || v.nMilliseconds)
        s = DateDigits(v.nYear, v.nMonth, v.nDay).empty()
                ? "00000000" + TimeDigits(v.nMilliseconds)
                : DateDigits(v.nYear, v.nMonth, v.nDay) + TimeDigits(v.nMilliseconds);
      break;
    case CReadValue::kDuration: {
      uint64_t m = v.nDuration < 0 ? 0 - static_cast<uint64_t>(v.nDuration)
                                   : static_cast<uint64_t>(v.nDuration);
      s = (v.nDuration < 0 ? "-" : "") + std::to_string(m / 86400000u) +
          TimeDigits(static_cast<uint32_t>(m % 86400000u));
      break;
    }
    case CReadValue::kBytes:
      pOut->clear();
      for (unsigned char c : v.strBytes) pOut->push_back(static_cast<wchar_t>(c));
      return 0;
  }
  pOut->assign(s.begin(), s.end());
  return 0;
}

int nWriteExact(const CExactNumber& number, unsigned int nTypeIn, void* pDest) {
  CReadValue v;
  v.eKind = CReadValue::kExact;
  v.nType = VX_DECIMAL;
  v.exact = number;
  return nWriteValue(v, NormaliseType(nTypeIn), pDest, nullptr);
}

int StandInLiveConversionStrings() {
  std::lock_guard<std::mutex> lock(Strings().mutex);
  return static_cast<int>(Strings().set.size());
}
int StandInConversionCalls() { return gnConversionCalls.load(); }
int StandInFinConversionCalls() { return gnFinConversionCalls.load(); }
void StandInForceNextConversionResult(int nCode) { gnForcedConversion.store(nCode); }
void StandInResetConversionSettings() {
  {
    // An empty set keeps its buckets; give them back, so that a program that
    // balances its allocator sees only strings that are still live.
    std::lock_guard<std::mutex> lock(Strings().mutex);
    if (Strings().set.empty()) std::unordered_set<const void*>().swap(Strings().set);
  }
  gnConversionCalls.store(0);
  gnFinConversionCalls.store(0);
  gnForcedConversion.store(0);
}

}  // namespace standin_values

using namespace standin_values;

KQ_EXPORT int nConversionDepassementExt(const void* pSource, unsigned int nSourceType, void* pDest,
                                        unsigned int nDestType, unsigned int /*nOptions*/,
                                        const STOCAW* pstCodePage) {
  gnConversionCalls.fetch_add(1);
  int nForced = gnForcedConversion.exchange(0);
  if (nForced > kVXLastSuccess) return nForced;
  if (!pSource || !pDest) return kStandInNotConvertible;
  CReadValue v;
  int r = nReadValue(pSource, nSourceType, pstCodePage, &v);
  if (r) return r;
  // Written into a local area first, so that a failure leaves the scratch
  // area as it was.
  unsigned char abyArea[kVXValueAreaSize] = {};
  unsigned int nDest = NormaliseType(nDestType);
  r = nWriteValue(v, nDest, abyArea, pstCodePage);
  if (r) return r;
  // A counted-string handle holds only its pointer: copy no more than that.
  bool bHandle = nDest == VX_DSTRW || nDest == VX_DSTRA;
  std::memcpy(pDest, abyArea, bHandle ? sizeof(void*) : kVXValueAreaSize);
  return nForced > 0 ? nForced : 0;
}

KQ_EXPORT void FinConversion(void* pDest, unsigned int nDestType) {
  gnFinConversionCalls.fetch_add(1);
  if (!pDest) return;
  switch (NormaliseType(nDestType)) {
    case VX_DSTRW: case VX_DSTRA: case VX_BIN:
      ReleaseCounted(static_cast<unsigned char*>(pAreaWord(pDest)));
      SetAreaWord(pDest, nullptr);
      break;
    case VX_PSTRA: {
      char* p = static_cast<char*>(pAreaWord(pDest));
      if (p && bUnregisterString(p)) delete[] p;
      SetAreaWord(pDest, nullptr);
      break;
    }
    case VX_PSTRW: {
      wchar_t* p = static_cast<wchar_t*>(pAreaWord(pDest));
      if (p && bUnregisterString(p)) delete[] p;
      SetAreaWord(pDest, nullptr);
      break;
    }
    case VX_DECIMAL:
      StandInDecimalFactory()->DestroyDecimal(static_cast<IVXDecimal*>(pAreaWord(pDest)));
      SetAreaWord(pDest, nullptr);
      break;
    default:
      break;
  }
}
