// CWideUInt and CExactNumber: the stand-in server's exact arithmetic for
// decimals (up to 38 digits) and money (80-bit counts of millionths).
//
// The 32-bit target has no 128-bit integer type, so this is a small fixed
// 256-bit unsigned integer of eight 32-bit limbs (least significant first),
// wide enough for the product of two 38-digit coefficients and for a
// coefficient scaled to 38 decimals (below 10^76 < 2^253). It is written for
// plainness, not speed: the stand-in is a test oracle, independent of the
// driver's own money and decimal code.
//
// Ownership: plain values. Threads: no shared state.
#ifndef KQ230_HOST_VM_WIDE_INT_H_
#define KQ230_HOST_VM_WIDE_INT_H_

#include <cstdint>
#include <string>

namespace standin_values {

struct CWideUInt {
  static constexpr int kLimbs = 8;
  uint32_t w[kLimbs] = {};

  static CWideUInt FromU64(uint64_t n) {
    CWideUInt r;
    r.w[0] = static_cast<uint32_t>(n);
    r.w[1] = static_cast<uint32_t>(n >> 32);
    return r;
  }
  static CWideUInt PowerOfTen(int n) {
    CWideUInt r = FromU64(1);
    for (int i = 0; i < n; ++i) r.MulSmall(10);
    return r;
  }

  bool bIsZero() const {
    for (uint32_t x : w)
      if (x) return false;
    return true;
  }
  // Fits in 64 bits.
  bool bFitsU64() const {
    for (int i = 2; i < kLimbs; ++i)
      if (w[i]) return false;
    return true;
  }
  uint64_t nLow64() const { return (static_cast<uint64_t>(w[1]) << 32) | w[0]; }
  int nBitLength() const {
    for (int i = kLimbs - 1; i >= 0; --i)
      if (w[i]) return i * 32 + 32 - __builtin_clz(w[i]);
    return 0;
  }
  bool bBit(int n) const { return (w[n / 32] >> (n % 32)) & 1u; }

  static int Compare(const CWideUInt& a, const CWideUInt& b) {
    for (int i = kLimbs - 1; i >= 0; --i)
      if (a.w[i] != b.w[i]) return a.w[i] < b.w[i] ? -1 : 1;
    return 0;
  }
  // Answers the carry out of the top limb.
  bool Add(const CWideUInt& b) {
    uint64_t carry = 0;
    for (int i = 0; i < kLimbs; ++i) {
      carry += static_cast<uint64_t>(w[i]) + b.w[i];
      w[i] = static_cast<uint32_t>(carry);
      carry >>= 32;
    }
    return carry != 0;
  }
  // REQUIRES: *this >= b.
  void Sub(const CWideUInt& b) {
    int64_t borrow = 0;
    for (int i = 0; i < kLimbs; ++i) {
      int64_t d = static_cast<int64_t>(w[i]) - b.w[i] - borrow;
      borrow = d < 0 ? 1 : 0;
      w[i] = static_cast<uint32_t>(d);
    }
  }
  // Answers true when the product overflowed 256 bits.
  bool MulSmall(uint32_t m) {
    uint64_t carry = 0;
    for (int i = 0; i < kLimbs; ++i) {
      carry += static_cast<uint64_t>(w[i]) * m;
      w[i] = static_cast<uint32_t>(carry);
      carry >>= 32;
    }
    return carry != 0;
  }
  // Divides in place, answers the remainder. REQUIRES: d != 0.
  uint32_t DivSmall(uint32_t d) {
    uint64_t rem = 0;
    for (int i = kLimbs - 1; i >= 0; --i) {
      uint64_t cur = (rem << 32) | w[i];
      w[i] = static_cast<uint32_t>(cur / d);
      rem = cur % d;
    }
    return static_cast<uint32_t>(rem);
  }
  // Full product truncated to 256 bits; *pbOverflow when bits were lost.
  static CWideUInt Mul(const CWideUInt& a, const CWideUInt& b, bool* pbOverflow) {
    uint32_t r[2 * kLimbs] = {};
    for (int i = 0; i < kLimbs; ++i) {
      uint64_t carry = 0;
      for (int j = 0; j < kLimbs; ++j) {
        uint64_t cur = static_cast<uint64_t>(a.w[i]) * b.w[j] + r[i + j] + carry;
        r[i + j] = static_cast<uint32_t>(cur);
        carry = cur >> 32;
      }
      r[i + kLimbs] = static_cast<uint32_t>(carry);
    }
    CWideUInt out;
    bool bLost = false;
    for (int i = 0; i < kLimbs; ++i) out.w[i] = r[i];
    for (int i = kLimbs; i < 2 * kLimbs; ++i) bLost |= r[i] != 0;
    if (pbOverflow) *pbOverflow = bLost;
    return out;
  }
  void ShiftLeft1() {
    for (int i = kLimbs - 1; i > 0; --i) w[i] = (w[i] << 1) | (w[i - 1] >> 31);
    w[0] <<= 1;
  }
  // Quotient and remainder by shifting and subtracting. REQUIRES: !d.bIsZero().
  static void DivMod(const CWideUInt& n, const CWideUInt& d, CWideUInt* pq, CWideUInt* pr) {
    CWideUInt q, r;
    for (int i = n.nBitLength() - 1; i >= 0; --i) {
      r.ShiftLeft1();
      r.w[0] |= n.bBit(i) ? 1u : 0u;
      if (Compare(r, d) >= 0) {
        r.Sub(d);
        q.w[i / 32] |= 1u << (i % 32);
      }
    }
    if (pq) *pq = q;
    if (pr) *pr = r;
  }
  // Decimal digits, at least "0".
  std::string Digits() const {
    if (bIsZero()) return "0";
    CWideUInt t = *this;
    std::string s;
    while (!t.bIsZero()) s.insert(s.begin(), static_cast<char>('0' + t.DivSmall(10)));
    return s;
  }
  int nDigitCount() const {
    if (bIsZero()) return 1;
    return static_cast<int>(Digits().size());
  }
};

// A signed exact number: (-1)^negative x magnitude / 10^scale. Zero is never
// negative once normalised.
struct CExactNumber {
  bool bNegative = false;
  CWideUInt mag;
  int nScale = 0;

  void Normalise() {
    if (mag.bIsZero()) bNegative = false;
  }
  // Changes the scale, rounding half away from zero when digits are dropped.
  // Answers false when the magnitude would leave 256 bits.
  bool Rescale(int nNewScale) {
    while (nScale < nNewScale) {
      if (mag.MulSmall(10)) return false;
      ++nScale;
    }
    if (nScale > nNewScale) {
      // Half away from zero looks only at the first dropped digit, which is
      // the last one divided out.
      uint32_t nLast = 0;
      while (nScale > nNewScale) {
        nLast = mag.DivSmall(10);
        --nScale;
      }
      if (nLast >= 5) mag.Add(CWideUInt::FromU64(1));
    }
    Normalise();
    return true;
  }
  // The value's order; scales may differ.
  static int Compare(const CExactNumber& a, const CExactNumber& b) {
    bool an = a.bNegative && !a.mag.bIsZero(), bn = b.bNegative && !b.mag.bIsZero();
    if (an != bn) return an ? -1 : 1;
    if (a.mag.bIsZero() || b.mag.bIsZero()) {
      if (a.mag.bIsZero() && b.mag.bIsZero()) return 0;
      return a.mag.bIsZero() ? -1 : 1;  // the other is positive here
    }
    // Orders of magnitude first: bringing scales far apart to one scale
    // would overflow 256 bits. With equal orders the rescaled coefficient has
    // the other's digit count, so it fits.
    int ea = a.mag.nDigitCount() - a.nScale, eb = b.mag.nDigitCount() - b.nScale;
    if (ea != eb) return (ea < eb ? -1 : 1) * (an ? -1 : 1);
    CExactNumber x = a, y = b;
    int s = x.nScale > y.nScale ? x.nScale : y.nScale;
    x.Rescale(s);
    y.Rescale(s);
    int c = CWideUInt::Compare(x.mag, y.mag);
    return an ? -c : c;
  }
};

}  // namespace standin_values

#endif  // KQ230_HOST_VM_WIDE_INT_H_
