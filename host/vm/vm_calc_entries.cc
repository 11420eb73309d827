// The stand-in comparison and arithmetic entries.
#include "host/vm/vm_calc_entries.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "host/vm/decimal_factory.h"
#include "host/vm/standin_control.h"
#include "host/vm/standin_services.h"
#include "host/vm/vm_conversion_entries.h"

namespace standin_values {
namespace {

std::atomic<int> gnCalcCalls{0};
std::atomic<int> gnForcedCalc{0};

// Counts the call and takes the forced result, if any.
int BeginCall() {
  gnCalcCalls.fetch_add(1);
  return gnForcedCalc.exchange(0);
}
int Finish(int nForced, int r) { return r == 0 && nForced > 0 ? nForced : r; }
// The queries answer types, not codes: they count but leave a forced result
// for the next entry that can answer it.
void CountQuery() { gnCalcCalls.fetch_add(1); }

unsigned int Norm(unsigned int nType) {
  nType &= 0xFF;
  if (nType == VX_I4_ALIAS) return VX_I4;
  if (nType == 148 || nType == 149) return VX_DSTRW;
  return nType;
}

bool bIsNumberKind(const CReadValue& v) {
  return v.eKind == CReadValue::kInteger || v.eKind == CReadValue::kReal ||
         v.eKind == CReadValue::kExact || v.eKind == CReadValue::kDuration;
}
bool bIsTemporalKind(const CReadValue& v) {
  return v.eKind == CReadValue::kDate || v.eKind == CReadValue::kTime ||
         v.eKind == CReadValue::kDateTime;
}

int Sign(int c) { return c < 0 ? -1 : c > 0 ? 1 : 0; }

// Text read as a number: exact, or a real for "nan" and "inf".
int nTextAsNumber(const CReadValue& text, CReadValue* pOut) {
  *pOut = CReadValue();
  pOut->nType = VX_DECIMAL;
  CExactNumber n;
  int r = nAsExact(text, &n);
  if (r == 0) {
    pOut->eKind = CReadValue::kExact;
    pOut->exact = n;
    return 0;
  }
  if (r != kStandInOverflow) return r;
  pOut->eKind = CReadValue::kReal;
  pOut->nType = VX_R8;
  return nAsReal(text, &pOut->dReal);
}

int CompareNumbers(const CReadValue& a, const CReadValue& b) {
  if (a.eKind == CReadValue::kInteger && b.eKind == CReadValue::kInteger) {
    if (a.bNegative != b.bNegative) return a.bNegative ? -1 : 1;
    int c = a.nMagnitude < b.nMagnitude ? -1 : a.nMagnitude > b.nMagnitude ? 1 : 0;
    return a.bNegative ? -c : c;
  }
  if (a.eKind == CReadValue::kReal || b.eKind == CReadValue::kReal) {
    double x = 0, y = 0;
    nAsReal(a, &x);
    nAsReal(b, &y);
    if (std::isnan(x) || std::isnan(y)) {
      if (std::isnan(x) && std::isnan(y)) return 0;
      return std::isnan(x) ? -1 : 1;
    }
    if (std::isinf(x) || std::isinf(y) ||
        (a.eKind == CReadValue::kReal && b.eKind == CReadValue::kReal))
      return x < y ? -1 : x > y ? 1 : 0;
  }
  // Only one operand can be a real here. A real whose decimal text needs more
  // digits than an exact number holds is beyond every exact operand: its sign
  // decides. One whose text has so many decimals that it reads as zero is
  // compared as a real: the other operand's nearest real orders the same.
  CExactNumber x, y;
  const int rx = nAsExact(a, &x), ry = nAsExact(b, &y);
  if (rx != 0) return a.dReal < 0 ? -1 : 1;
  if (ry != 0) return b.dReal < 0 ? 1 : -1;
  if ((a.eKind == CReadValue::kReal && a.dReal != 0 && x.mag.bIsZero()) ||
      (b.eKind == CReadValue::kReal && b.dReal != 0 && y.mag.bIsZero())) {
    double dx = 0, dy = 0;
    nAsReal(a, &dx);
    nAsReal(b, &dy);
    return dx < dy ? -1 : dx > dy ? 1 : 0;
  }
  return CExactNumber::Compare(x, y);
}

// Text form of a date, time or date-time against a text, over the length of
// the shorter one.
int CompareTemporalText(const std::wstring& a, const std::wstring& b) {
  if (a.empty() || b.empty()) return a.empty() && b.empty() ? 0 : a.empty() ? -1 : 1;
  size_t n = a.size() < b.size() ? a.size() : b.size();
  return Sign(a.compare(0, n, b, 0, n));
}

int CompareTemporal(const CReadValue& a, const CReadValue& b, int* pn) {
  auto Date = [](const CReadValue& v) {
    return (static_cast<uint32_t>(v.nYear) << 16) | (v.nMonth << 8) | v.nDay;
  };
  auto Cmp = [](uint64_t x, uint64_t y) { return x < y ? -1 : x > y ? 1 : 0; };
  bool bDates = a.eKind != CReadValue::kTime && b.eKind != CReadValue::kTime;
  bool bTimes = a.eKind != CReadValue::kDate && b.eKind != CReadValue::kDate;
  if (bDates && bTimes) {
    *pn = Cmp((static_cast<uint64_t>(Date(a)) << 32) | a.nMilliseconds,
              (static_cast<uint64_t>(Date(b)) << 32) | b.nMilliseconds);
  } else if (bDates) {
    *pn = Cmp(Date(a), Date(b));
  } else if (bTimes) {
    *pn = Cmp(a.nMilliseconds, b.nMilliseconds);
  } else {
    return kStandInNotConvertible;  // a date against a time
  }
  return 0;
}

// A text against a duration reads as a duration text.
int nTextAsDuration(const CReadValue& text, CReadValue* pOut) {
  unsigned char abyArea[kVXValueAreaSize] = {};
  int r = nWriteValue(text, VX_DUREE, abyArea, nullptr);
  if (r) return r;
  *pOut = CReadValue();
  pOut->eKind = CReadValue::kDuration;
  pOut->nType = VX_DUREE;
  std::memcpy(&pOut->nDuration, abyArea, sizeof pOut->nDuration);
  return 0;
}

// The ordering of nComparaisonEx.
int nCompareValues(const CReadValue& a, const CReadValue& b, int* pn) {
  if (a.eKind == CReadValue::kText && b.eKind == CReadValue::kDuration) {
    CReadValue x;
    int r = nTextAsDuration(a, &x);
    if (r) return r;
    *pn = CompareNumbers(x, b);
    return 0;
  }
  if (a.eKind == CReadValue::kDuration && b.eKind == CReadValue::kText) {
    CReadValue y;
    int r = nTextAsDuration(b, &y);
    if (r) return r;
    *pn = CompareNumbers(a, y);
    return 0;
  }
  if (bIsNumberKind(a) && bIsNumberKind(b)) {
    *pn = CompareNumbers(a, b);
    return 0;
  }
  if (a.eKind == CReadValue::kText && b.eKind == CReadValue::kText) {
    *pn = Sign(a.strText.compare(b.strText));
    return 0;
  }
  if (a.eKind == CReadValue::kText && bIsNumberKind(b)) {
    CReadValue x;
    int r = nTextAsNumber(a, &x);
    if (r) return r;
    *pn = CompareNumbers(x, b);
    return 0;
  }
  if (bIsNumberKind(a) && b.eKind == CReadValue::kText) {
    CReadValue y;
    int r = nTextAsNumber(b, &y);
    if (r) return r;
    *pn = CompareNumbers(a, y);
    return 0;
  }
  if (bIsTemporalKind(a) && bIsTemporalKind(b)) return CompareTemporal(a, b, pn);
  if ((bIsTemporalKind(a) && b.eKind == CReadValue::kText) ||
      (a.eKind == CReadValue::kText && bIsTemporalKind(b))) {
    std::wstring x, y;
    nAsText(a, &x);
    nAsText(b, &y);
    *pn = CompareTemporalText(x, y);
    return 0;
  }
  if (a.eKind == CReadValue::kBytes && b.eKind == CReadValue::kBytes) {
    *pn = Sign(a.strBytes.compare(b.strBytes));
    return 0;
  }
  return kStandInNotConvertible;
}

// The stand-in locale's mapping of a text.
std::wstring Mapped(const std::wstring& s, unsigned int dwFlags) {
  if (s.empty()) return s;
  std::wstring out(2 * s.size() + 2, L'\0');
  int n = StandInInfoLocale()->vnMapStringCurrentW(dwFlags, out.data(),
                                                   static_cast<unsigned int>(out.size()), s.data(),
                                                   static_cast<int>(s.size()));
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return out;
}

constexpr unsigned int kMapIgnoreCase = 0x1;
constexpr unsigned int kMapSouple = 0x1 | 0x2;
constexpr unsigned int kMapTresSouple = 0x1 | 0x2 | 0x4;

typedef int (*PFNTEST)(const CReadValue& a, const CReadValue& b, int* pn);

int RunTest2(const void* pA, unsigned short wA, const void* pB, unsigned short wB, int* pnResult,
             PFNTEST pfn) {
  int nForced = BeginCall();
  if (nForced > kVXLastSuccess) return nForced;
  if ((wA & kVXNullFlag) || (wB & kVXNullFlag)) return kStandInNullOperand;
  if (!pA || !pB || !pnResult) return kStandInNotConvertible;
  CReadValue a, b;
  int r = nReadValue(pA, wA, nullptr, &a);
  if (r == 0) r = nReadValue(pB, wB, nullptr, &b);
  if (r) return r;
  int n = 0;
  r = pfn(a, b, &n);
  if (r) return r;
  *pnResult = n;
  return Finish(nForced, 0);
}

int TestCompare(const CReadValue& a, const CReadValue& b, int* pn) {
  return nCompareValues(a, b, pn);
}
int TestEqual(const CReadValue& a, const CReadValue& b, int* pn) {
  int c, r = nCompareValues(a, b, &c);
  *pn = c == 0;
  return r;
}
int TestGreater(const CReadValue& a, const CReadValue& b, int* pn) {
  int c, r = nCompareValues(a, b, &c);
  *pn = c > 0;
  return r;
}
int TestLess(const CReadValue& a, const CReadValue& b, int* pn) {
  int c, r = nCompareValues(a, b, &c);
  *pn = c < 0;
  return r;
}

int TestMappedEqual(const CReadValue& a, const CReadValue& b, int* pn, unsigned int dwFlags) {
  if (a.eKind == CReadValue::kText && b.eKind == CReadValue::kText) {
    *pn = Mapped(a.strText, dwFlags) == Mapped(b.strText, dwFlags);
    return 0;
  }
  return TestEqual(a, b, pn);
}
int TestAlmostEqual(const CReadValue& a, const CReadValue& b, int* pn) {
  if (bIsNumberKind(a) && bIsNumberKind(b)) {
    double x = 0, y = 0;
    nAsReal(a, &x);
    nAsReal(b, &y);
    if (std::isfinite(x) && std::isfinite(y)) {
      double m = std::fmax(std::fabs(x), std::fabs(y));
      *pn = std::fabs(x - y) <= 1e-9 * m || CompareNumbers(a, b) == 0;
      return 0;
    }
  }
  return TestMappedEqual(a, b, pn, kMapIgnoreCase);
}
int TestSoupleEqual(const CReadValue& a, const CReadValue& b, int* pn) {
  return TestMappedEqual(a, b, pn, kMapSouple);
}

enum class EFind { kStart, kContain, kEnd };

template <EFind eFind, unsigned int dwFlags>
int TestFind(const CReadValue& a, const CReadValue& b, int* pn) {
  std::wstring x, y;
  int r = nAsText(a, &x);
  if (r == 0) r = nAsText(b, &y);
  if (r) return r;
  if (dwFlags) {
    x = Mapped(x, dwFlags);
    y = Mapped(y, dwFlags);
  }
  switch (eFind) {
    case EFind::kStart: *pn = x.compare(0, y.size(), y) == 0 && x.size() >= y.size(); break;
    case EFind::kContain: *pn = x.find(y) != std::wstring::npos; break;
    case EFind::kEnd:
      *pn = x.size() >= y.size() && x.compare(x.size() - y.size(), y.size(), y) == 0;
      break;
  }
  return 0;
}

// Truth of a BOOL or a number.
int nTruth(const CReadValue& v, bool* pb) {
  switch (v.eKind) {
    case CReadValue::kInteger: *pb = v.nMagnitude != 0; return 0;
    case CReadValue::kReal: *pb = v.dReal != 0; return 0;
    case CReadValue::kExact: *pb = !v.exact.mag.bIsZero(); return 0;
    default: return kStandInNotConvertible;
  }
}
int TestAnd(const CReadValue& a, const CReadValue& b, int* pn) {
  bool x, y;
  int r = nTruth(a, &x);
  if (r == 0) r = nTruth(b, &y);
  if (r) return r;
  *pn = x && y;
  return 0;
}
int TestOr(const CReadValue& a, const CReadValue& b, int* pn) {
  bool x, y;
  int r = nTruth(a, &x);
  if (r == 0) r = nTruth(b, &y);
  if (r) return r;
  *pn = x || y;
  return 0;
}

// ---------------------------------------------------------------------------
// Arithmetic.

enum class EOp { kAdd, kSub, kMul, kDiv, kMod };

struct IntegerShape {
  int nSize;
  bool bSigned;
};
IntegerShape ShapeOf(unsigned int t) {
  switch (t) {
    case VX_UI1: return {1, false};
    case VX_UI2: return {2, false};
    case VX_UI4: return {4, false};
    case VX_UI8: return {8, false};
    case VX_I1: return {1, true};
    case VX_I2: return {2, true};
    case VX_I8: return {8, true};
    default: return {4, true};  // BOOL, I4, UIX
  }
}

unsigned short ResultType(EOp op, unsigned int nTypeA, unsigned int nTypeB) {
  unsigned int a = Norm(nTypeA), b = Norm(nTypeB);
  bool bTextA = bIsTextType(a), bTextB = bIsTextType(b);
  if (op == EOp::kAdd && bTextA && bTextB) return VX_DSTRW;
  if (a == VX_DUREE || b == VX_DUREE || a == VX_DATETIME || b == VX_DATETIME) {
    if (a == VX_DATETIME && b == VX_DATETIME) return op == EOp::kSub ? VX_DUREE : 0;
    if (a == VX_DATETIME && b == VX_DUREE)
      return op == EOp::kAdd || op == EOp::kSub ? VX_DATETIME : 0;
    if (a == VX_DUREE && b == VX_DATETIME) return op == EOp::kAdd ? VX_DATETIME : 0;
    if (a == VX_DUREE && b == VX_DUREE) {
      if (op == EOp::kDiv) return VX_R8;
      return op == EOp::kMul ? 0 : VX_DUREE;
    }
    if (a == VX_DUREE && bIsNumericType(b)) return op == EOp::kMul || op == EOp::kDiv ? VX_DUREE : 0;
    if (b == VX_DUREE && bIsNumericType(a)) return op == EOp::kMul ? VX_DUREE : 0;
    return 0;
  }
  bool bNumA = bIsNumericType(a) || bTextA, bNumB = bIsNumericType(b) || bTextB;
  if (!bNumA || !bNumB) return 0;
  if (a == VX_DECIMAL || b == VX_DECIMAL || bTextA || bTextB) return VX_DECIMAL;
  if (a == VX_CY || b == VX_CY) return VX_CY;
  if (a == VX_R4 || a == VX_R8 || b == VX_R4 || b == VX_R8 || op == EOp::kDiv) return VX_R8;
  IntegerShape x = ShapeOf(a), y = ShapeOf(b);
  int nSize = x.nSize > y.nSize ? x.nSize : y.nSize;
  bool bSigned = x.bSigned || y.bSigned;
  if (nSize <= 4) return bSigned ? VX_I4 : VX_UI4;
  return bSigned ? VX_I8 : VX_UI8;
}

// Aligns two exact numbers to the larger scale. False on overflow.
bool bAlign(CExactNumber* a, CExactNumber* b) {
  int s = a->nScale > b->nScale ? a->nScale : b->nScale;
  return a->Rescale(s) && b->Rescale(s);
}

int nExactAddSub(CExactNumber a, CExactNumber b, bool bSubtract, CExactNumber* pOut) {
  if (bSubtract) b.bNegative = !b.bNegative;
  if (!bAlign(&a, &b)) return kStandInOverflow;
  CExactNumber r;
  r.nScale = a.nScale;
  if (a.bNegative == b.bNegative) {
    r.mag = a.mag;
    if (r.mag.Add(b.mag)) return kStandInOverflow;
    r.bNegative = a.bNegative;
  } else if (CWideUInt::Compare(a.mag, b.mag) >= 0) {
    r.mag = a.mag;
    r.mag.Sub(b.mag);
    r.bNegative = a.bNegative;
  } else {
    r.mag = b.mag;
    r.mag.Sub(a.mag);
    r.bNegative = b.bNegative;
  }
  r.Normalise();
  *pOut = r;
  return 0;
}

int nExactMul(const CExactNumber& a, const CExactNumber& b, CExactNumber* pOut) {
  bool bOverflow = false;
  CExactNumber r;
  r.mag = CWideUInt::Mul(a.mag, b.mag, &bOverflow);
  if (bOverflow || r.mag.nBitLength() > 255) return kStandInOverflow;
  r.nScale = a.nScale + b.nScale;
  r.bNegative = a.bNegative != b.bNegative;
  r.Normalise();
  *pOut = r;
  return 0;
}

// a / b rounded half away from zero to nScale decimals.
int nExactDiv(const CExactNumber& a, const CExactNumber& b, int nScale, CExactNumber* pOut) {
  if (b.mag.bIsZero()) return kStandInDivisionByZero;
  // coefficient = a.mag * 10^(nScale + b.nScale - a.nScale) / b.mag
  CWideUInt num = a.mag, den = b.mag;
  int e = nScale + b.nScale - a.nScale;
  for (; e > 0; --e)
    if (num.MulSmall(10) || num.nBitLength() > 254) return kStandInOverflow;
  for (; e < 0; ++e)
    if (den.MulSmall(10) || den.nBitLength() > 254) return kStandInOverflow;
  CWideUInt q, r;
  CWideUInt::DivMod(num, den, &q, &r);
  r.ShiftLeft1();
  if (CWideUInt::Compare(r, den) >= 0) q.Add(CWideUInt::FromU64(1));
  pOut->mag = q;
  pOut->nScale = nScale;
  pOut->bNegative = a.bNegative != b.bNegative;
  pOut->Normalise();
  return 0;
}

// Remainder of the truncated division; the dividend's sign.
int nExactMod(CExactNumber a, CExactNumber b, CExactNumber* pOut) {
  if (b.mag.bIsZero()) return kStandInDivisionByZero;
  if (!bAlign(&a, &b)) return kStandInOverflow;
  CWideUInt r;
  CWideUInt::DivMod(a.mag, b.mag, nullptr, &r);
  pOut->mag = r;
  pOut->nScale = a.nScale;
  pOut->bNegative = a.bNegative;
  pOut->Normalise();
  return 0;
}

// The decimals a DECIMAL quotient keeps: as many as 38 digits allow.
int QuotientScale(const CExactNumber& a, const CExactNumber& b) {
  CExactNumber q;
  if (nExactDiv(a, b, 0, &q) != 0) return 0;
  int nDigits = q.mag.bIsZero() ? 1 : q.mag.nDigitCount();
  int s = kMaxDecimalPrecision - nDigits;
  return s < 0 ? 0 : s;
}

int nExactOp(EOp op, const CExactNumber& a, const CExactNumber& b, int nDivScale,
             CExactNumber* pOut) {
  switch (op) {
    case EOp::kAdd: return nExactAddSub(a, b, false, pOut);
    case EOp::kSub: return nExactAddSub(a, b, true, pOut);
    case EOp::kMul: return nExactMul(a, b, pOut);
    case EOp::kDiv: return nExactDiv(a, b, nDivScale < 0 ? QuotientScale(a, b) : nDivScale, pOut);
    case EOp::kMod: return nExactMod(a, b, pOut);
  }
  return kStandInNotConvertible;
}

// Calendar of the stand-in: Julian leap years before 1583, Gregorian after.
int64_t LeapsUpTo(int64_t n) {
  if (n <= 1582) return n / 4;
  auto g = [](int64_t k) { return k / 4 - k / 100 + k / 400; };
  return 1582 / 4 + g(n) - g(1582);
}
bool bLeap(int y) { return y % 4 == 0 && (y < 1583 || y % 100 != 0 || y % 400 == 0); }
int64_t DayOf(int y, int m, int d) {
  static const int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  return 365LL * (y - 1) + LeapsUpTo(y - 1) + kBefore[m - 1] + (m > 2 && bLeap(y) ? 1 : 0) + d;
}
bool bFromDay(int64_t nDay, CReadValue* pOut) {
  if (nDay < DayOf(1, 1, 1) || nDay > DayOf(9999, 12, 31)) return false;
  int lo = 1, hi = 9999;
  while (lo < hi) {
    int mid = (lo + hi + 1) / 2;
    if (DayOf(mid, 1, 1) <= nDay) lo = mid;
    else hi = mid - 1;
  }
  int m = 12;
  while (m > 1 && DayOf(lo, m, 1) > nDay) --m;
  pOut->nYear = lo;
  pOut->nMonth = m;
  pOut->nDay = static_cast<int>(nDay - DayOf(lo, m, 1) + 1);
  return true;
}

constexpr int64_t kMsPerDay = 86400000;

int nDateTimeMs(const CReadValue& v, int64_t* pn) {
  if (v.nYear < 1 || v.nMonth < 1 || v.nMonth > 12 || v.nDay < 1) return kStandInBadDate;
  *pn = DayOf(v.nYear, v.nMonth, v.nDay) * kMsPerDay + v.nMilliseconds;
  return 0;
}

int nDurationOfNumber(const CExactNumber& n, int64_t* pn) {
  CExactNumber x = n;
  if (!x.Rescale(0) || !x.mag.bFitsU64()) return kStandInOverflow;
  uint64_t m = x.mag.nLow64();
  if (x.bNegative ? m > (1ull << 63) : m > (1ull << 63) - 1) return kStandInOverflow;
  *pn = static_cast<int64_t>(x.bNegative ? 0 - m : m);
  return 0;
}

// Durations and date-times.
int nTemporalArith(EOp op, const CReadValue& a, const CReadValue& b, unsigned short nType,
                   CReadValue* pOut) {
  pOut->nType = nType;
  if (a.eKind == CReadValue::kDateTime || b.eKind == CReadValue::kDateTime) {
    int64_t x = 0, y = 0;
    int r = 0;
    if (a.eKind == CReadValue::kDateTime && b.eKind == CReadValue::kDateTime) {
      r = nDateTimeMs(a, &x);
      if (r == 0) r = nDateTimeMs(b, &y);
      if (r) return r;
      pOut->eKind = CReadValue::kDuration;
      pOut->nDuration = x - y;
      return 0;
    }
    const CReadValue& dt = a.eKind == CReadValue::kDateTime ? a : b;
    const CReadValue& du = a.eKind == CReadValue::kDateTime ? b : a;
    r = nDateTimeMs(dt, &x);
    if (r) return r;
    int64_t d = op == EOp::kSub ? -du.nDuration : du.nDuration;
    if (op == EOp::kSub && du.nDuration == std::numeric_limits<int64_t>::min())
      return kStandInOverflow;
    int64_t t;
    if (__builtin_add_overflow(x, d, &t)) return kStandInOverflow;
    int64_t nDay = t >= 0 ? t / kMsPerDay : -((-t + kMsPerDay - 1) / kMsPerDay);
    pOut->eKind = CReadValue::kDateTime;
    if (!bFromDay(nDay, pOut)) return kStandInOverflow;
    pOut->nMilliseconds = static_cast<uint32_t>(t - nDay * kMsPerDay);
    return 0;
  }
  if (a.eKind == CReadValue::kDuration && b.eKind == CReadValue::kDuration) {
    int64_t t;
    switch (op) {
      case EOp::kAdd:
        if (__builtin_add_overflow(a.nDuration, b.nDuration, &t)) return kStandInOverflow;
        break;
      case EOp::kSub:
        if (__builtin_sub_overflow(a.nDuration, b.nDuration, &t)) return kStandInOverflow;
        break;
      case EOp::kMod:
        if (b.nDuration == 0) return kStandInDivisionByZero;
        t = b.nDuration == -1 ? 0 : a.nDuration % b.nDuration;
        break;
      case EOp::kDiv:
        if (b.nDuration == 0) return kStandInDivisionByZero;
        pOut->eKind = CReadValue::kReal;
        pOut->dReal = static_cast<double>(a.nDuration) / static_cast<double>(b.nDuration);
        return 0;
      default:
        return kStandInNotConvertible;
    }
    pOut->eKind = CReadValue::kDuration;
    pOut->nDuration = t;
    return 0;
  }
  // A duration and a number: product or quotient in milliseconds.
  CExactNumber x, y, z;
  int r = nAsExact(a, &x);
  if (r == 0) r = nAsExact(b, &y);
  if (r == 0) r = nExactOp(op, x, y, 0, &z);
  if (r) return r;
  pOut->eKind = CReadValue::kDuration;
  return nDurationOfNumber(z, &pOut->nDuration);
}

// Reals: IEEE arithmetic in double.
int nRealArith(EOp op, double x, double y, double* pd) {
  switch (op) {
    case EOp::kAdd: *pd = x + y; return 0;
    case EOp::kSub: *pd = x - y; return 0;
    case EOp::kMul: *pd = x * y; return 0;
    case EOp::kDiv:
      if (y == 0) return kStandInDivisionByZero;
      *pd = x / y;
      return 0;
    case EOp::kMod:
      if (y == 0) return kStandInDivisionByZero;
      *pd = std::fmod(x, y);
      return 0;
  }
  return kStandInNotConvertible;
}

int nArith(EOp op, const void* pA, unsigned short nTypeA, const void* pB, unsigned short nTypeB,
           void* pResult, unsigned short* pwResultType) {
  if (!pA || !pB || !pResult || !pwResultType) return kStandInNotConvertible;
  unsigned short nType = ResultType(op, nTypeA, nTypeB);
  if (nType == 0) return kStandInNotConvertible;
  CReadValue a, b;
  int r = nReadValue(pA, nTypeA & 0xFF, nullptr, &a);
  if (r == 0) r = nReadValue(pB, nTypeB & 0xFF, nullptr, &b);
  if (r) return r;
  CReadValue result;
  result.nType = nType;
  switch (nType) {
    case VX_DSTRW:
      result.eKind = CReadValue::kText;
      result.strText = a.strText + b.strText;
      break;
    case VX_DUREE:
    case VX_DATETIME:
      r = nTemporalArith(op, a, b, nType, &result);
      break;
    case VX_R8:
      if (a.eKind == CReadValue::kDuration && b.eKind == CReadValue::kDuration) {
        r = nTemporalArith(op, a, b, nType, &result);
      } else {
        double x = 0, y = 0;
        r = nAsReal(a, &x);
        if (r == 0) r = nAsReal(b, &y);
        if (r == 0) r = nRealArith(op, x, y, &result.dReal);
        result.eKind = CReadValue::kReal;
      }
      break;
    default: {  // exact: integers, CY, DECIMAL
      CExactNumber x, y;
      r = nAsExact(a, &x);
      if (r == 0) r = nAsExact(b, &y);
      if (r) break;
      result.eKind = CReadValue::kExact;
      r = nExactOp(op, x, y, nType == VX_CY ? 6 : nType == VX_DECIMAL ? -1 : 0, &result.exact);
      break;
    }
  }
  if (r) return r;
  unsigned char abyArea[kVXValueAreaSize] = {};
  r = nWriteValue(result, nType, abyArea, nullptr);
  if (r) return r;
  std::memcpy(pResult, abyArea, kVXValueAreaSize);
  *pwResultType = nType;
  return 0;
}

int RunArith(EOp op, const void* pA, unsigned short nTypeA, const void* pB, unsigned short nTypeB,
             void* pResult, unsigned short* pwResultType) {
  int nForced = BeginCall();
  if (nForced > kVXLastSuccess) return nForced;
  return Finish(nForced, nArith(op, pA, nTypeA, pB, nTypeB, pResult, pwResultType));
}

unsigned short NegationType(unsigned int t) {
  switch (Norm(t)) {
    case VX_I1: case VX_I2: case VX_I4: case VX_I8: case VX_R4: case VX_R8: case VX_CY:
    case VX_DECIMAL: case VX_DUREE:
      return static_cast<unsigned short>(Norm(t));
    case VX_BOOL: case VX_UI1: case VX_UI2: case VX_UIX:
      return VX_I4;
    case VX_UI4: case VX_UI8:
      return VX_I8;
    default:
      return 0;
  }
}

int nNegate(const void* pA, unsigned short nTypeA, void* pResult, unsigned short* pwResultType) {
  if (!pA || !pResult || !pwResultType) return kStandInNotConvertible;
  unsigned short nType = NegationType(nTypeA);
  if (nType == 0) return kStandInNotConvertible;
  CReadValue a;
  int r = nReadValue(pA, nTypeA & 0xFF, nullptr, &a);
  if (r) return r;
  CReadValue result;
  result.nType = nType;
  switch (a.eKind) {
    case CReadValue::kInteger:
      result.eKind = CReadValue::kInteger;
      result.bNegative = !a.bNegative && a.nMagnitude != 0;
      result.nMagnitude = a.nMagnitude;
      break;
    case CReadValue::kReal:
      result.eKind = CReadValue::kReal;
      result.dReal = -a.dReal;
      break;
    case CReadValue::kExact:
      result.eKind = CReadValue::kExact;
      result.exact = a.exact;
      result.exact.bNegative = !a.exact.bNegative;
      result.exact.Normalise();
      break;
    case CReadValue::kDuration:
      if (a.nDuration == std::numeric_limits<int64_t>::min()) return kStandInOverflow;
      result.eKind = CReadValue::kDuration;
      result.nDuration = -a.nDuration;
      break;
    default:
      return kStandInNotConvertible;
  }
  if (nType == VX_DECIMAL) {
    // The caller's value already holds an object: reuse it rather than leak it.
    void* pWord;
    std::memcpy(&pWord, pResult, sizeof pWord);
    IVXDecimal* pExisting = static_cast<IVXDecimal*>(pWord);
    if (bIsLiveStandInDecimal(pExisting)) {
      if (!static_cast<CStandInDecimal*>(pExisting)->bSetNumber(result.exact))
        return kStandInOverflow;
      *pwResultType = nType;
      return 0;
    }
  }
  unsigned char abyArea[kVXValueAreaSize] = {};
  r = nWriteValue(result, nType, abyArea, nullptr);
  if (r) return r;
  std::memcpy(pResult, abyArea, kVXValueAreaSize);
  *pwResultType = nType;
  return 0;
}

}  // namespace

int StandInCalcCalls() { return gnCalcCalls.load(); }
void StandInForceNextCalcResult(int nCode) { gnForcedCalc.store(nCode); }
void StandInResetCalcSettings() {
  gnCalcCalls.store(0);
  gnForcedCalc.store(0);
}

}  // namespace standin_values

using namespace standin_values;

KQ_EXPORT int bCanCompareEx(unsigned short wTypeA, unsigned short wTypeB, unsigned int) {
  CountQuery();
  unsigned int a = Norm(wTypeA), b = Norm(wTypeB);
  auto Kind = [](unsigned int t) {
    if (bIsNumericType(t) || t == VX_DUREE) return 1;
    if (bIsTextType(t)) return 2;
    if (t == VX_DATEW || t == VX_DATEA || t == VX_TIMEW || t == VX_TIMEA || t == VX_DATETIME)
      return 3;
    if (t == VX_BIN || t == VX_BUFFER) return 4;
    return 0;
  };
  int x = Kind(a), y = Kind(b);
  if (x == 0 || y == 0) return 0;
  if (x == y) {
    // A date text against a time text has no order.
    bool bDateA = a == VX_DATEW || a == VX_DATEA, bDateB = b == VX_DATEW || b == VX_DATEA;
    bool bTimeA = a == VX_TIMEW || a == VX_TIMEA, bTimeB = b == VX_TIMEW || b == VX_TIMEA;
    return !((bDateA && bTimeB) || (bTimeA && bDateB));
  }
  return (x == 2 && (y == 1 || y == 3)) || (y == 2 && (x == 1 || x == 3));
}

KQ_EXPORT unsigned short wAjouteEx(unsigned short a, unsigned short b, unsigned int) {
  CountQuery();
  return ResultType(EOp::kAdd, a, b);
}
KQ_EXPORT unsigned short wSoustraitEx(unsigned short a, unsigned short b, unsigned int) {
  CountQuery();
  return ResultType(EOp::kSub, a, b);
}
KQ_EXPORT unsigned short wMultiplieEx(unsigned short a, unsigned short b, unsigned int) {
  CountQuery();
  return ResultType(EOp::kMul, a, b);
}
KQ_EXPORT unsigned short wDiviseEx(unsigned short a, unsigned short b, unsigned int) {
  CountQuery();
  return ResultType(EOp::kDiv, a, b);
}
KQ_EXPORT unsigned short wModuloEx(unsigned short a, unsigned short b, unsigned int) {
  CountQuery();
  return ResultType(EOp::kMod, a, b);
}

#define KQ_STANDIN_DEFINE_TEST2(name, fn)                                                   \
  KQ_EXPORT int name(const void* pA, unsigned short wTypeA, const void* pB,                 \
                     unsigned short wTypeB, int* pnResult, unsigned int, int) {             \
    return RunTest2(pA, wTypeA, pB, wTypeB, pnResult, fn);                                  \
  }
KQ_STANDIN_DEFINE_TEST2(nComparaisonEx, TestCompare)
KQ_STANDIN_DEFINE_TEST2(nEgaliteEx, TestEqual)
KQ_STANDIN_DEFINE_TEST2(nSuperieurEx, TestGreater)
KQ_STANDIN_DEFINE_TEST2(nInferieurEx, TestLess)
KQ_STANDIN_DEFINE_TEST2(nPresqueEgalEx, TestAlmostEqual)
KQ_STANDIN_DEFINE_TEST2(nSoupleEgalEx, TestSoupleEqual)
KQ_STANDIN_DEFINE_TEST2(nCommenceParEx, (TestFind<EFind::kStart, 0>))
KQ_STANDIN_DEFINE_TEST2(nCommenceParSoupleEx, (TestFind<EFind::kStart, kMapSouple>))
KQ_STANDIN_DEFINE_TEST2(nCommenceParTresSoupleEx, (TestFind<EFind::kStart, kMapTresSouple>))
KQ_STANDIN_DEFINE_TEST2(nContientEx, (TestFind<EFind::kContain, 0>))
KQ_STANDIN_DEFINE_TEST2(nContientSoupleEx, (TestFind<EFind::kContain, kMapSouple>))
KQ_STANDIN_DEFINE_TEST2(nContientTresSoupleEx, (TestFind<EFind::kContain, kMapTresSouple>))
KQ_STANDIN_DEFINE_TEST2(nTermineParEx, (TestFind<EFind::kEnd, 0>))
KQ_STANDIN_DEFINE_TEST2(nTermineParSoupleEx, (TestFind<EFind::kEnd, kMapSouple>))
KQ_STANDIN_DEFINE_TEST2(nTermineParTresSoupleEx, (TestFind<EFind::kEnd, kMapTresSouple>))
KQ_STANDIN_DEFINE_TEST2(nETLogiqueEx, TestAnd)
KQ_STANDIN_DEFINE_TEST2(nOULogiqueEx, TestOr)
#undef KQ_STANDIN_DEFINE_TEST2

KQ_EXPORT int nNONLogiqueEx(const void* pA, unsigned short wTypeA, int* pnResult, unsigned int,
                            int) {
  int nForced = BeginCall();
  if (nForced > kVXLastSuccess) return nForced;
  if (wTypeA & kVXNullFlag) return kStandInNullOperand;
  if (!pA || !pnResult) return kStandInNotConvertible;
  CReadValue a;
  int r = nReadValue(pA, wTypeA, nullptr, &a);
  bool b = false;
  if (r == 0) r = nTruth(a, &b);
  if (r) return r;
  *pnResult = !b;
  return Finish(nForced, 0);
}

KQ_EXPORT int nNegationEx(const void* pA, unsigned short nTypeA, void* pResult,
                          unsigned short* pwResultType, unsigned int, int) {
  int nForced = BeginCall();
  if (nForced > kVXLastSuccess) return nForced;
  return Finish(nForced, nNegate(pA, nTypeA, pResult, pwResultType));
}

#define KQ_STANDIN_DEFINE_ARITH2(name, op)                                                  \
  KQ_EXPORT int name(const void* pA, unsigned short nTypeA, const void* pB,                 \
                     unsigned short nTypeB, void* pResult, unsigned short* pwResultType,    \
                     unsigned int, int) {                                                   \
    return RunArith(op, pA, nTypeA, pB, nTypeB, pResult, pwResultType);                     \
  }
KQ_STANDIN_DEFINE_ARITH2(nAdditionEx, EOp::kAdd)
KQ_STANDIN_DEFINE_ARITH2(nSoustractionEx, EOp::kSub)
KQ_STANDIN_DEFINE_ARITH2(nMultiplicationEx, EOp::kMul)
KQ_STANDIN_DEFINE_ARITH2(nDivisionEx, EOp::kDiv)
KQ_STANDIN_DEFINE_ARITH2(nModuloEx, EOp::kMod)
#undef KQ_STANDIN_DEFINE_ARITH2
