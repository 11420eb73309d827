// A virtual-machine library that lacks entries, for the tests of the
// driver's binding: it exports the calculation entries in their binding order
// up to, but not including, entry number KQ_PARTIAL_FIRST_MISSING (30 unless
// the build says otherwise, so "nModuloEx" is missing), and none of the
// conversion entries nor "pQueryProxy". Every entry it has answers 105: the
// binding only looks the names up.
#include "kq230/platform_types.h"

#ifndef KQ_PARTIAL_FIRST_MISSING
#define KQ_PARTIAL_FIRST_MISSING 30
#endif

namespace {
constexpr int kNotAvailable = 105;
}  // namespace

#define KQ_PARTIAL_QUERY(index, name)                                              \
  KQ_EXPORT unsigned short name(unsigned short, unsigned short, unsigned int) {    \
    return 0;                                                                      \
  }
#define KQ_PARTIAL_TEST2(index, name)                                              \
  KQ_EXPORT int name(const void*, unsigned short, const void*, unsigned short, int*, \
                     unsigned int, int) {                                          \
    return kNotAvailable;                                                          \
  }
#define KQ_PARTIAL_ARITH2(index, name)                                             \
  KQ_EXPORT int name(const void*, unsigned short, const void*, unsigned short, void*, \
                     unsigned short*, unsigned int, int) {                         \
    return kNotAvailable;                                                          \
  }

#if KQ_PARTIAL_FIRST_MISSING > 1
KQ_EXPORT int bCanCompareEx(unsigned short, unsigned short, unsigned int) { return 0; }
#endif
#if KQ_PARTIAL_FIRST_MISSING > 2
KQ_PARTIAL_QUERY(2, wAjouteEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 3
KQ_PARTIAL_QUERY(3, wSoustraitEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 4
KQ_PARTIAL_QUERY(4, wMultiplieEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 5
KQ_PARTIAL_QUERY(5, wDiviseEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 6
KQ_PARTIAL_QUERY(6, wModuloEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 7
KQ_PARTIAL_TEST2(7, nComparaisonEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 8
KQ_PARTIAL_TEST2(8, nEgaliteEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 9
KQ_PARTIAL_TEST2(9, nSuperieurEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 10
KQ_PARTIAL_TEST2(10, nInferieurEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 11
KQ_PARTIAL_TEST2(11, nPresqueEgalEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 12
KQ_PARTIAL_TEST2(12, nSoupleEgalEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 13
KQ_PARTIAL_TEST2(13, nCommenceParEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 14
KQ_PARTIAL_TEST2(14, nCommenceParSoupleEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 15
KQ_PARTIAL_TEST2(15, nCommenceParTresSoupleEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 16
KQ_PARTIAL_TEST2(16, nContientEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 17
KQ_PARTIAL_TEST2(17, nContientSoupleEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 18
KQ_PARTIAL_TEST2(18, nContientTresSoupleEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 19
KQ_PARTIAL_TEST2(19, nTermineParEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 20
KQ_PARTIAL_TEST2(20, nTermineParSoupleEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 21
KQ_PARTIAL_TEST2(21, nTermineParTresSoupleEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 22
KQ_PARTIAL_TEST2(22, nETLogiqueEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 23
KQ_PARTIAL_TEST2(23, nOULogiqueEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 24
KQ_EXPORT int nNONLogiqueEx(const void*, unsigned short, int*, unsigned int, int) {
  return kNotAvailable;
}
#endif
#if KQ_PARTIAL_FIRST_MISSING > 25
KQ_EXPORT int nNegationEx(const void*, unsigned short, void*, unsigned short*, unsigned int, int) {
  return kNotAvailable;
}
#endif
#if KQ_PARTIAL_FIRST_MISSING > 26
KQ_PARTIAL_ARITH2(26, nAdditionEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 27
KQ_PARTIAL_ARITH2(27, nSoustractionEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 28
KQ_PARTIAL_ARITH2(28, nMultiplicationEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 29
KQ_PARTIAL_ARITH2(29, nDivisionEx)
#endif
#if KQ_PARTIAL_FIRST_MISSING > 30
KQ_PARTIAL_ARITH2(30, nModuloEx)
#endif
