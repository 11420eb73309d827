#include "core/xmath.h"

#include <cmath>
#include <cstdint>

int CXMath::bEstPremier(unsigned int n) {
  if (n == 2) return 1;
  if (n % 2 == 0) return 0;
  unsigned int q = n / 3;
  if (q <= 2) return 1;  // n < 9: 1, 3, 5 and 7
  if (3 * q == n) return 0;
  // Divisors 5, 7, 9, ... up to the square root, found as the point where the
  // quotient drops below the divisor; d never overflows since d <= q.
  for (unsigned int d = 3;;) {
    d += 2;
    q = n / d;
    if (q < d) return 1;
    if (q * d == n) return 0;
  }
}

double CXMath::dRound(double dValue, int nDecimals) {
  const double dFactor = nDecimals > 0 ? std::pow(10.0, nDecimals) : 1.0;
  long double t = static_cast<long double>(dValue) * dFactor;
  t += dValue < 0 ? -0.5L : 0.5L;
  // Outside the signed 32-bit range the operation is not defined; clamp rather
  // than let the conversion be undefined behaviour.
  if (t >= 2147483648.0L) t = 2147483647.0L;
  if (t <= -2147483649.0L) t = -2147483648.0L;
  const int32_t nTruncated = static_cast<int32_t>(t);
  return nTruncated / dFactor;
}
