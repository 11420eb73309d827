#include "values/money.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdlib.h>  // strtod_l
#include <cstring>
#include <cwchar>
#include <locale.h>

const CMoney gstMillion = {{0x4240, 0x000F, 0, 0, 0}};
const CMoney gstMoinsMillion = {{0xBDC0, 0xFFF0, 0xFFFF, 0xFFFF, 0xFFFF}};
const CMoney gstVersLong = {{0, 1, 0, 0, 0}};

namespace {

constexpr uint32_t kMillion = 1000000;

// R widened to 96 bits: two's complement when signed, or a magnitude. Three
// 32-bit limbs, least significant first; the arithmetic below is the
// schoolbook kind over them, since the 32-bit target has no wider integer.
struct Limbs {
  uint32_t v[3];
};

Limbs Load(const CMoney* m) {
  Limbs x;
  x.v[0] = uint32_t(m->w[0]) | uint32_t(m->w[1]) << 16;
  x.v[1] = uint32_t(m->w[2]) | uint32_t(m->w[3]) << 16;
  x.v[2] = uint32_t(int32_t(int16_t(m->w[4])));  // sign-extended
  return x;
}

void Store(CMoney* m, const Limbs& x) {
  m->w[0] = uint16_t(x.v[0]);
  m->w[1] = uint16_t(x.v[0] >> 16);
  m->w[2] = uint16_t(x.v[1]);
  m->w[3] = uint16_t(x.v[1] >> 16);
  m->w[4] = uint16_t(x.v[2]);
}

bool IsNegative(const CMoney* m) { return (m->w[4] & 0x8000) != 0; }

bool IsZero(const Limbs& x) { return (x.v[0] | x.v[1] | x.v[2]) == 0; }

Limbs Negate(const Limbs& x) {
  Limbs r;
  uint64_t carry = 1;
  for (int i = 0; i < 3; ++i) {
    uint64_t s = uint64_t(~x.v[i]) + carry;
    r.v[i] = uint32_t(s);
    carry = s >> 32;
  }
  return r;
}

// The magnitude of R (2^79 for the minimum, which fits 96 bits).
Limbs Magnitude(const CMoney* m, bool* pNegative) {
  Limbs x = Load(m);
  *pNegative = IsNegative(m);
  return *pNegative ? Negate(x) : x;
}

// Whether a magnitude is representable with that sign: at most 2^79 - 1, or
// exactly 2^79 for a negative value.
bool MagnitudeFits(const Limbs& mag, bool negative) {
  if (mag.v[2] < 0x8000) return true;
  return negative && mag.v[2] == 0x8000 && mag.v[1] == 0 && mag.v[0] == 0;
}

// Stores sign and magnitude in m; null (m unchanged) when they do not fit.
CMoney* StoreSigned(CMoney* m, bool negative, const Limbs& mag) {
  if (!MagnitudeFits(mag, negative)) return nullptr;
  Store(m, negative ? Negate(mag) : mag);
  return m;
}

// One step of a long division by a 32-bit divisor.
// REQUIRES: hi < d, so the quotient fits 32 bits.
inline uint32_t DivStep(uint32_t hi, uint32_t lo, uint32_t d, uint32_t* rem) {
#if defined(__i386__) || defined(__x86_64__)
  uint32_t q, r;
  __asm__("divl %4" : "=a"(q), "=d"(r) : "a"(lo), "d"(hi), "rm"(d));
  *rem = r;
  return q;
#else
  uint64_t n = uint64_t(hi) << 32 | lo;
  *rem = uint32_t(n % d);
  return uint32_t(n / d);
#endif
}

// limbs[0..n) /= d in place; answers the remainder.
uint32_t DivSmall(uint32_t* limbs, int n, uint32_t d) {
  uint32_t rem = 0;
  for (int i = n - 1; i >= 0; --i) limbs[i] = DivStep(rem, limbs[i], d, &rem);
  return rem;
}

// limbs[0..n) = limbs * mul + add; answers the carry out of the top limb.
uint32_t MulAddSmall(uint32_t* limbs, int n, uint32_t mul, uint32_t add) {
  uint64_t carry = add;
  for (int i = 0; i < n; ++i) {
    uint64_t p = uint64_t(limbs[i]) * mul + carry;
    limbs[i] = uint32_t(p);
    carry = p >> 32;
  }
  return uint32_t(carry);
}

// limbs[0..n) += 1; answers the carry.
uint32_t Increment(uint32_t* limbs, int n) {
  for (int i = 0; i < n; ++i)
    if (++limbs[i] != 0) return 0;
  return 1;
}

// Rounds a quotient by its remainder: raised by one when twice the remainder
// reaches the divisor (halves away from zero on the magnitude).
void RoundSmall(uint32_t* q, int n, uint32_t rem, uint32_t d) {
  if (uint64_t(rem) * 2 >= d) Increment(q, n);
}

constexpr uint32_t kPow10[10] = {1,      10,      100,      1000,      10000,
                                 100000, 1000000, 10000000, 100000000, 1000000000};

// The integer part and fraction (millionths) of a magnitude.
void SplitMillionths(Limbs mag, uint64_t* pInteger, uint32_t* pFraction) {
  *pFraction = DivSmall(mag.v, 3, kMillion);
  // Below 2^80 / 10^6 < 2^60: two limbs.
  *pInteger = uint64_t(mag.v[1]) << 32 | mag.v[0];
}

Limbs FromU64(uint64_t n) { return Limbs{{uint32_t(n), uint32_t(n >> 32), 0}}; }

// Writes the decimal digits of v (at least one) at p; answers the end.
wchar_t* WriteU32(wchar_t* p, uint32_t v) {
  wchar_t tmp[10];
  int n = 0;
  do {
    tmp[n++] = wchar_t(L'0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (n > 0) *p++ = tmp[--n];
  return p;
}

// Writes exactly `digits` decimal digits of v, zero-padded.
wchar_t* WriteU32Padded(wchar_t* p, uint32_t v, int digits) {
  for (int i = digits - 1; i >= 0; --i) {
    p[i] = wchar_t(L'0' + v % 10);
    v /= 10;
  }
  return p + digits;
}

// The decimal text of a sign and magnitude into dst (kMoneyDecimalTextSize).
wchar_t* FormatDecimal(wchar_t* dst, bool negative, const Limbs& mag) {
  uint64_t integer;
  uint32_t fraction;
  SplitMillionths(mag, &integer, &fraction);
  wchar_t* p = dst;
  if (negative && (integer != 0 || fraction != 0)) *p++ = L'-';
  // integer < 6.1 * 10^17: at most nine digits above the low nine.
  uint32_t parts[2] = {uint32_t(integer), uint32_t(integer >> 32)};
  uint32_t low9 = DivSmall(parts, 2, 1000000000);
  uint32_t high = parts[0];
  if (high != 0) {
    p = WriteU32(p, high);
    p = WriteU32Padded(p, low9, 9);
  } else {
    p = WriteU32(p, low9);
  }
  if (fraction != 0) {
    *p++ = L'.';
    int digits = 6;
    while (fraction % 10 == 0) {
      fraction /= 10;
      --digits;
    }
    p = WriteU32Padded(p, fraction, digits);
  }
  *p = 0;
  return dst;
}

// The C locale, for number texts that must not follow LC_NUMERIC.
locale_t CLocale() {
  static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return loc;
}

// Rounds a magnitude to a multiple of 10^(6 - n): to nearest (halves up, so
// away from zero once the sign is restored), down or up. A money magnitude
// (at most 2^79) stays far below 2^96.
enum class Round { kNearest, kDown, kUp };

void RoundMagnitude(Limbs* mag, int n, Round mode) {
  uint32_t unit = kPow10[6 - n];
  Limbs q = *mag;
  uint32_t rem = DivSmall(q.v, 3, unit);
  bool up = false;
  switch (mode) {
    case Round::kNearest: up = uint64_t(rem) * 2 >= unit; break;
    case Round::kDown: up = false; break;
    case Round::kUp: up = rem != 0; break;
  }
  if (up) Increment(q.v, 3);
  MulAddSmall(q.v, 3, unit, 0);  // a money magnitude stays far below 2^96
  *mag = q;
}

// Shared by the three rounding functions.
CMoney* RoundMoney(CMoney* m, short n, bool towardMinus, bool towardPlus) {
  if (n < 0 || n > 5) return m;
  bool negative;
  Limbs mag = Magnitude(m, &negative);
  Round mode = Round::kNearest;
  if (towardMinus) mode = negative ? Round::kUp : Round::kDown;
  if (towardPlus) mode = negative ? Round::kDown : Round::kUp;
  RoundMagnitude(&mag, n, mode);
  return StoreSigned(m, negative, mag);
}

bool IsHexDigit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f');
}

uint32_t HexValue(wchar_t c) {
  if (c <= L'9') return uint32_t(c - L'0');
  if (c <= L'F') return uint32_t(c - L'A' + 10);
  return uint32_t(c - L'a' + 10);
}

}  // namespace

CMoney* SetMonetaireToMin(CMoney* m) {
  *m = CMoney{{0, 0, 0, 0, 0x8000}};
  return m;
}

CMoney* SetMonetaireToMax(CMoney* m) {
  *m = CMoney{{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0x7FFF}};
  return m;
}

// ---------------------------------------------------------------------------
// Sign and tests.

CMoney* NegMonetaire(CMoney* m) {
  Store(m, Negate(Load(m)));
  return m;
}

CMoney* pstAbsMonetaire(CMoney* m) {
  if (IsNegative(m)) NegMonetaire(m);
  return m;
}

int bMonetaireZero(const CMoney* m) {
  return (m->w[0] | m->w[1] | m->w[2] | m->w[3] | m->w[4]) == 0 ? 1 : 0;
}

int nCmpMonetaire(const CMoney* a, const CMoney* b) {
  if (a == nullptr) return 1;
  if (b == nullptr) return -1;
  bool na = IsNegative(a), nb = IsNegative(b);
  if (na != nb) return na ? -1 : 1;
  // Same sign: two's complement orders as unsigned from the top word down.
  for (int i = 4; i >= 0; --i)
    if (a->w[i] != b->w[i]) return a->w[i] < b->w[i] ? -1 : 1;
  return 0;
}

int nCmpMonetaireEtInt32(const CMoney* a, int n) {
  CMoney b;
  pstInt32VersMonetaire(&b, n);
  return nCmpMonetaire(a, &b);
}

// ---------------------------------------------------------------------------
// Arithmetic.

CMoney* pstAddMonetaire(CMoney* a, const CMoney* b) {
  const CMoney y = *b;  // b may be a
  bool na = IsNegative(a), nb = IsNegative(&y);
  uint32_t carry = 0;
  for (int i = 0; i < 5; ++i) {
    uint32_t s = uint32_t(a->w[i]) + y.w[i] + carry;
    a->w[i] = uint16_t(s);
    carry = s >> 16;
  }
  // Two's complement addition overflows exactly when both operands have one
  // sign and the sum has the other.
  if (na == nb && IsNegative(a) != na) return nullptr;
  return a;
}

CMoney* pstSubMonetaire(CMoney* a, const CMoney* b) {
  // Subtracting directly, rather than adding -b, keeps the minimum exact:
  // -(-2^79) is not representable.
  const CMoney y = *b;
  bool na = IsNegative(a), nb = IsNegative(&y);
  uint32_t borrow = 0;
  for (int i = 0; i < 5; ++i) {
    uint32_t d = uint32_t(a->w[i]) - y.w[i] - borrow;
    a->w[i] = uint16_t(d);
    borrow = (d >> 16) & 1;
  }
  if (na != nb && IsNegative(a) != na) return nullptr;
  return a;
}

int bIncrementeMonetaire(CMoney* m) { return pstAddMonetaire(m, &gstMillion) ? 1 : 0; }

int bDecrementeMonetaire(CMoney* m) { return pstAddMonetaire(m, &gstMoinsMillion) ? 1 : 0; }

CMoney* pstMulMonetaire(CMoney* a, const CMoney* b) {
  bool na, nb;
  Limbs x = Magnitude(a, &na);
  Limbs y = Magnitude(b, &nb);
  uint32_t p[6] = {0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    uint64_t carry = 0;
    for (int j = 0; j < 3; ++j) {
      uint64_t t = uint64_t(x.v[i]) * y.v[j] + p[i + j] + carry;
      p[i + j] = uint32_t(t);
      carry = t >> 32;
    }
    p[i + 3] = uint32_t(carry);
  }
  uint32_t rem = DivSmall(p, 6, kMillion);
  RoundSmall(p, 6, rem, kMillion);
  if ((p[3] | p[4] | p[5]) != 0) return nullptr;
  return StoreSigned(a, na != nb, Limbs{{p[0], p[1], p[2]}});
}

CMoney* pstDivMonetaire(CMoney* a, const CMoney* b) {
  bool na, nb;
  Limbs x = Magnitude(a, &na);
  Limbs y = Magnitude(b, &nb);
  if (IsZero(y)) return nullptr;
  // n = |a| * 10^6 (below 2^100: four limbs).
  uint32_t n[4] = {x.v[0], x.v[1], x.v[2], 0};
  n[3] = MulAddSmall(n, 3, kMillion, 0);
  uint32_t q[4];
  if (y.v[1] == 0 && y.v[2] == 0) {
    std::memcpy(q, n, sizeof q);
    uint32_t rem = DivSmall(q, 4, y.v[0]);
    RoundSmall(q, 4, rem, y.v[0]);
  } else {
    // Binary long division: the divisor passes 32 bits, so the quotient has
    // at most 68 bits and the remainder stays below 2^80.
    std::memset(q, 0, sizeof q);
    uint32_t r[3] = {0, 0, 0};
    for (int bit = 127; bit >= 0; --bit) {
      r[2] = r[2] << 1 | r[1] >> 31;
      r[1] = r[1] << 1 | r[0] >> 31;
      r[0] = r[0] << 1 | ((n[bit / 32] >> (bit % 32)) & 1);
      bool ge = r[2] != y.v[2] ? r[2] > y.v[2] : r[1] != y.v[1] ? r[1] > y.v[1] : r[0] >= y.v[0];
      if (ge) {
        uint64_t borrow = 0;
        for (int i = 0; i < 3; ++i) {
          uint64_t d = uint64_t(r[i]) - y.v[i] - borrow;
          r[i] = uint32_t(d);
          borrow = (d >> 32) & 1;
        }
        q[bit / 32] |= 1u << (bit % 32);
      }
    }
    // Twice the remainder against the divisor (both below 2^81).
    uint32_t r2[3] = {r[0] << 1, r[1] << 1 | r[0] >> 31, r[2] << 1 | r[1] >> 31};
    bool ge = r2[2] != y.v[2] ? r2[2] > y.v[2] : r2[1] != y.v[1] ? r2[1] > y.v[1] : r2[0] >= y.v[0];
    if (ge) Increment(q, 4);
  }
  if (q[3] != 0) return nullptr;
  return StoreSigned(a, na != nb, Limbs{{q[0], q[1], q[2]}});
}

int bMul10Monetaire(CMoney* m) {
  if (IsNegative(m)) return 0;
  return bMulMonetaireWord(m, 10, L'0');
}

int bMulMonetaireWord(CMoney* m, unsigned short w, wchar_t digit) {
  bool negative;
  Limbs mag = Magnitude(m, &negative);
  uint32_t carry = MulAddSmall(mag.v, 3, w, uint32_t(digit - L'0'));
  if (carry != 0) return 0;
  return StoreSigned(m, negative, mag) ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Rounding.

CMoney* pstArrMonetaire(CMoney* m, short n) { return RoundMoney(m, n, false, false); }
CMoney* pstArrMonetaireInf(CMoney* m, short n) { return RoundMoney(m, n, true, false); }
CMoney* pstArrMonetaireSup(CMoney* m, short n) { return RoundMoney(m, n, false, true); }
CMoney* pstEntMonetaire(CMoney* m) { return RoundMoney(m, 0, true, false); }

CMoney* pstDecMonetaire(CMoney* m) {
  bool negative;
  Limbs mag = Magnitude(m, &negative);
  uint32_t fraction = DivSmall(mag.v, 3, kMillion);
  Store(m, Limbs{{fraction, 0, 0}});
  return m;
}

// ---------------------------------------------------------------------------
// Conversions to money.

CMoney* pstInt32VersMonetaire(CMoney* m, int n) { return pstTresLongVersMonetaire(m, n); }

CMoney* pstTresLongVersMonetaire(CMoney* m, long long n) {
  bool negative = n < 0;
  uint64_t mag = negative ? 0 - uint64_t(n) : uint64_t(n);
  Limbs x = FromU64(mag);
  x.v[2] = MulAddSmall(x.v, 2, kMillion, 0);
  return StoreSigned(m, negative, x);
}

CMoney* pstTresLongSansSigneVersMonetaire(CMoney* m, unsigned long long n) {
  Limbs x = FromU64(n);
  x.v[2] = MulAddSmall(x.v, 2, kMillion, 0);
  return StoreSigned(m, false, x);
}

CMoney* pstDoubleVersMonetaire(CMoney* m, double x) {
  // Refused before formatting: "%.6f" of a non-finite value gives a word that
  // would read back as 0, and of a huge one hundreds of digits.
  if (!std::isfinite(x) || std::fabs(x) >= 1e18) return nullptr;
  char text[48];
  // The text must carry a ".", whatever LC_NUMERIC the process runs with.
  locale_t previous = uselocale(CLocale());
  int n = std::snprintf(text, sizeof text, "%.6f", x);
  uselocale(previous);
  if (n <= 0 || n >= int(sizeof text)) return nullptr;
  wchar_t wide[48];
  for (int i = 0; i <= n; ++i) wide[i] = wchar_t(static_cast<unsigned char>(text[i]));
  return pstChaineVersMonetaire(m, wide);
}

CMoney* pstChaineVersMonetaire(CMoney* m, const wchar_t* pszText) {
  const wchar_t* p = pszText ? pszText : L"";
  while (*p == L' ') ++p;
  bool negative = false;
  if (*p == L'+' || *p == 0xFF0B) {
    ++p;
  } else if (*p == L'-' || *p == 0xFF0D) {
    negative = true;
    ++p;
  }
  // The digits are gathered nine at a time into a 32-bit chunk, then folded
  // into a four-limb accumulator that may pass 2^79 by a chunk's worth before
  // the overflow test, never 2^128.
  uint32_t acc[4] = {0, 0, 0, 0};
  uint32_t chunk = 0;
  int chunkDigits = 0;
  int decimals = 0;
  bool inFraction = false;
  auto fold = [&]() -> bool {
    if (chunkDigits == 0) return true;
    MulAddSmall(acc, 4, kPow10[chunkDigits], chunk);
    chunk = 0;
    chunkDigits = 0;
    // Past 2^79 nothing can bring the magnitude back: stop at once.
    return acc[3] == 0 && (acc[2] < 0x8000 || (acc[2] == 0x8000 && acc[1] == 0 && acc[0] == 0));
  };
  for (;; ++p) {
    wchar_t c = *p;
    if (c >= L'0' && c <= L'9') {
      if (inFraction) {
        if (decimals == 6) continue;  // further decimals are cut
        ++decimals;
      }
      chunk = chunk * 10 + uint32_t(c - L'0');
      if (++chunkDigits == 9 && !fold()) return nullptr;
    } else if (c == L'.' && !inFraction) {
      inFraction = true;
    } else {
      break;
    }
  }
  if (!fold()) return nullptr;
  if (decimals < 6) {
    MulAddSmall(acc, 4, kPow10[6 - decimals], 0);
  }
  if (acc[3] != 0) return nullptr;
  return StoreSigned(m, negative, Limbs{{acc[0], acc[1], acc[2]}});
}

CMoney* pstChaineHexaVersMonetaire(CMoney* m, const wchar_t* pszText) {
  const wchar_t* p = pszText ? pszText : L"";
  while (*p == L' ') ++p;
  while (*p == L'0') ++p;
  const wchar_t* start = p;
  while (IsHexDigit(*p)) {
    if (p - start == 20) return nullptr;  // a 21st significant digit
    ++p;
  }
  Limbs x = {{0, 0, 0}};
  for (const wchar_t* q = start; q < p; ++q) {
    x.v[2] = x.v[2] << 4 | x.v[1] >> 28;
    x.v[1] = x.v[1] << 4 | x.v[0] >> 28;
    x.v[0] = x.v[0] << 4 | HexValue(*q);
  }
  Store(m, x);
  return m;
}

// ---------------------------------------------------------------------------
// Conversions from money.

wchar_t* pszMonetaireVersChaineC(wchar_t* dst, const CMoney* m) {
  bool negative;
  Limbs mag = Magnitude(m, &negative);
  return FormatDecimal(dst, negative, mag);
}

wchar_t* pszMonetaireVersChaineHexa(wchar_t* dst, const CMoney* m) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  wchar_t* p = dst;
  bool leading = true;
  for (int i = 4; i >= 0; --i) {
    for (int shift = 12; shift >= 0; shift -= 4) {
      unsigned d = (m->w[i] >> shift) & 0xF;
      if (leading && d == 0) continue;
      leading = false;
      *p++ = kDigits[d];
    }
  }
  if (leading) *p++ = L'0';
  *p = 0;
  return dst;
}

wchar_t* pszMonetaireVersChaineOctale(wchar_t* dst, const CMoney* m) {
  Limbs x = Load(m);  // sign-extended: bit 80 is the sign
  wchar_t digits[27];
  for (int i = 0; i < 27; ++i) {
    int bit = 3 * i;
    uint32_t v = x.v[bit / 32] >> (bit % 32);
    if (bit % 32 > 29) v |= x.v[bit / 32 + 1] << (32 - bit % 32);
    digits[26 - i] = wchar_t(L'0' + (v & 7));
  }
  int first = 0;
  while (first < 26 && digits[first] == L'0') ++first;
  int n = 27 - first;
  std::wmemcpy(dst, digits + first, size_t(n));
  dst[n] = 0;
  return dst;
}

namespace {

// R / 10^6 rounded to the nearest integer, halves away from zero, as a 64-bit
// two's complement (the quotient is below 2^60).
uint64_t RoundedInteger(const CMoney* m) {
  bool negative;
  Limbs mag = Magnitude(m, &negative);
  uint32_t rem = DivSmall(mag.v, 3, kMillion);
  RoundSmall(mag.v, 3, rem, kMillion);
  uint64_t q = uint64_t(mag.v[1]) << 32 | mag.v[0];
  return negative ? 0 - q : q;
}

// The integer part through the 1/65,536 scale: (|R| * 65536 / 10^6, rounded)
// >> 16. Answers the magnitude.
uint64_t ScaledIntegerPart(const CMoney* m, bool* pNegative) {
  Limbs mag = Magnitude(m, pNegative);
  // |R| * 65536 < 2^96.
  mag.v[2] = mag.v[2] << 16 | mag.v[1] >> 16;
  mag.v[1] = mag.v[1] << 16 | mag.v[0] >> 16;
  mag.v[0] <<= 16;
  uint32_t rem = DivSmall(mag.v, 3, kMillion);
  RoundSmall(mag.v, 3, rem, kMillion);
  // Below 2^80: the shift leaves at most 64 bits.
  return uint64_t(mag.v[2]) << 48 | uint64_t(mag.v[1]) << 16 | mag.v[0] >> 16;
}

}  // namespace

int lMonetaireVersInt32(const CMoney* m) { return int(uint32_t(RoundedInteger(m))); }

long long lMonetaireVersTresLong(const CMoney* m) { return (long long)RoundedInteger(m); }

unsigned long long lMonetaireVersTresLongSansSigne(const CMoney* m) { return RoundedInteger(m); }

int bMonetaireVersInt32(const CMoney* m, int* pn) {
  bool negative;
  uint64_t mag = ScaledIntegerPart(m, &negative);
  uint64_t value = negative ? 0 - mag : mag;
  *pn = int(uint32_t(value));
  return mag <= (negative ? 0x80000000ULL : 0x7FFFFFFFULL) ? 1 : 0;
}

int bMonetaireVersTresLong(const CMoney* m, long long* pn) {
  bool negative;
  uint64_t mag = ScaledIntegerPart(m, &negative);
  *pn = (long long)(negative ? 0 - mag : mag);
  return 1;
}

int bMonetaireVersTresLongSansSigne(const CMoney* m, unsigned long long* pn) {
  *pn = RoundedInteger(m);
  return 1;
}

double dMonetaireVersDouble(const CMoney* m) {
  wchar_t wide[kMoneyDecimalTextSize];
  pszMonetaireVersChaineC(wide, m);
  char text[kMoneyDecimalTextSize];
  for (int i = 0; i < kMoneyDecimalTextSize; ++i) {
    text[i] = char(wide[i]);
    if (wide[i] == 0) break;
  }
  return strtod_l(text, nullptr, CLocale());
}

void MonetaireVersCleZB(void* key, const CMoney* m) {
  unsigned char* k = static_cast<unsigned char*>(key);
  for (int i = 0; i < 5; ++i) {
    k[2 * i] = uint8_t(m->w[4 - i] >> 8);
    k[2 * i + 1] = uint8_t(m->w[4 - i]);
  }
  k[0] ^= 0x80;
}
