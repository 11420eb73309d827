// Two small numeric functions: the prime test behind the hash tables' bucket
// counts and the half-away-from-zero rounding of values.
//
// Threads: pure functions.
#ifndef KQ230_CORE_XMATH_H_
#define KQ230_CORE_XMATH_H_

class CXMath {
 public:
  // 1 when n is prime by trial division, else 0. 1 counts as prime: the hash
  // tables never ask for it, and the answer is kept for compatibility.
  static int bEstPremier(unsigned int n);

  // dValue rounded half away from zero to nDecimals decimals (a negative count
  // rounds to whole units).
  // REQUIRES: |dValue| * 10^nDecimals fits a signed 32-bit integer.
  static double dRound(double dValue, int nDecimals);
};

#endif  // KQ230_CORE_XMATH_H_
