// The stand-in server's thirty comparison and arithmetic entries, exported by
// name with the calling forms of vm_values.h (PFNVXCANCOMPARE ... PFNVXARITH1).
//
// Operands are read with the conversion entry's reader (vm_conversion_entries.h):
// the same types, code pages and text forms.
//
// Tests (two operands, or one for "nNONLogiqueEx") receive whole type words:
// an operand with the NULL flag 0x100 answers 103 and writes nothing. Other
// failures write nothing either. Options are not used.
// - Ordering ("nComparaisonEx" writes -1, 0 or 1; "nEgaliteEx",
//   "nSuperieurEx", "nInferieurEx" write 1 or 0):
//   numbers of any numeric type (and BOOL) with each other, exactly (a real
//   against an exact number compares as the real's shortest decimal text;
//   NaN sorts below every number and equals NaN); durations with durations
//   or numbers (milliseconds) or texts (read as duration texts, 112 when they
//   are none); texts of any width with texts, by code point
//   of their wide form (8-bit texts decoded in their code page); a text with
//   a number: the text read as a number (122 when it is none); dates, times
//   and date-times with each other (a date against a date-time compares the
//   dates, a time against a date-time the times); a date, time or date-time
//   with a text: its text form against the text, by code point over the
//   length of the shorter text (so "2024" equals every date in 2024); BIN
//   with BIN: bytes, then length. Anything else answers 105.
// - "nPresqueEgalEx": texts equal ignoring case; numbers whose difference is
//   at most 1e-9 times the larger magnitude (or equal); otherwise as
//   "nEgaliteEx".
// - "nSoupleEgalEx" and the "Souple" forms ignore case and accents (the
//   stand-in locale's mapping 0x1|0x2); "TresSouple" also ignores blanks and
//   punctuation (0x1|0x2|0x4). Plain forms compare code points.
// - "nCommencePar..", "nContient..", "nTerminePar..": on the text forms of
//   both operands (any type that converts to text); an empty second operand
//   is found in everything.
// - "nETLogiqueEx", "nOULogiqueEx", "nNONLogiqueEx": on BOOL and numbers
//   (non-zero is true); write 1 or 0; other types 105.
// Arithmetic receives type codes alone and writes a 40-byte result area that
// the caller takes over (a DSTRW buffer with count 1, a new decimal object):
// - Result type: DECIMAL when either operand is DECIMAL; else CY when either
//   is CY; else R8 when either is R4 or R8; else integers (BOOL counts as I4,
//   UIX and alias 15 as I4): the larger size, at least 4 bytes, signed when
//   either operand is signed (UI1 + UI1 = UI4, I2 + UI4 = I4, UI8 + I1 = I8).
//   A text operand (except in text + text) is read as a number and counts as
//   DECIMAL. Integer results outside their
//   type answer 121, as do CY results beyond 80 bits and DECIMAL beyond 38
//   digits (decimals beyond are rounded away first).
// - Division: integers divide into R8; CY into CY (rounded half away from
//   zero); DECIMAL into DECIMAL (as many decimals as 38 digits allow, at
//   most 38 - integer digits). Modulo keeps the result type (the remainder
//   has the dividend's sign); R8 through fmod. Zero divisors answer 123.
// - Durations: DUREE + DUREE, DUREE - DUREE give DUREE; DUREE * number,
//   number * DUREE and DUREE / number give DUREE (milliseconds rounded half
//   away from zero); DUREE / DUREE gives R8; DATETIME + DUREE, DUREE +
//   DATETIME and DATETIME - DUREE give DATETIME (121 outside years 1-9999);
//   DATETIME - DATETIME gives DUREE. Empty date-times answer 110.
// - Texts: text + text is the concatenation, a DSTRW. Other operators on
//   texts read them as numbers (DECIMAL results).
// - Negation ("nNegationEx"): same type for signed integers, R4, R8, CY,
//   DECIMAL and DUREE; BOOL, UI1, UI2 and UIX give I4, UI4 and UI8 give I8
//   (121 when out of range); the most negative value of a signed type
//   answers 121. The result area is the caller's value, already typed: a
//   live decimal object found there is reused, not replaced.
// - Result-type queries ("wAjouteEx" ...): the type code that the operation
//   would give for the two type codes (flags ignored), 0 when it has none.
//   "bCanCompareEx": 1 when "nComparaisonEx" accepts the two types.
//
// Threads: no state besides the control panel's counters and forced result.
#ifndef KQ230_HOST_VM_VM_CALC_ENTRIES_H_
#define KQ230_HOST_VM_VM_CALC_ENTRIES_H_

#include "kq230/platform_types.h"
#include "kq230/vm_values.h"

KQ_EXPORT int bCanCompareEx(unsigned short wTypeA, unsigned short wTypeB, unsigned int nOptions);
KQ_EXPORT unsigned short wAjouteEx(unsigned short wTypeA, unsigned short wTypeB,
                                   unsigned int nOptions);
KQ_EXPORT unsigned short wSoustraitEx(unsigned short wTypeA, unsigned short wTypeB,
                                      unsigned int nOptions);
KQ_EXPORT unsigned short wMultiplieEx(unsigned short wTypeA, unsigned short wTypeB,
                                      unsigned int nOptions);
KQ_EXPORT unsigned short wDiviseEx(unsigned short wTypeA, unsigned short wTypeB,
                                   unsigned int nOptions);
KQ_EXPORT unsigned short wModuloEx(unsigned short wTypeA, unsigned short wTypeB,
                                   unsigned int nOptions);

#define KQ_STANDIN_TEST2(name)                                                         \
  KQ_EXPORT int name(const void* pA, unsigned short wTypeA, const void* pB,            \
                     unsigned short wTypeB, int* pnResult, unsigned int nOptions,      \
                     int nReserved)
KQ_STANDIN_TEST2(nComparaisonEx);
KQ_STANDIN_TEST2(nEgaliteEx);
KQ_STANDIN_TEST2(nSuperieurEx);
KQ_STANDIN_TEST2(nInferieurEx);
KQ_STANDIN_TEST2(nPresqueEgalEx);
KQ_STANDIN_TEST2(nSoupleEgalEx);
KQ_STANDIN_TEST2(nCommenceParEx);
KQ_STANDIN_TEST2(nCommenceParSoupleEx);
KQ_STANDIN_TEST2(nCommenceParTresSoupleEx);
KQ_STANDIN_TEST2(nContientEx);
KQ_STANDIN_TEST2(nContientSoupleEx);
KQ_STANDIN_TEST2(nContientTresSoupleEx);
KQ_STANDIN_TEST2(nTermineParEx);
KQ_STANDIN_TEST2(nTermineParSoupleEx);
KQ_STANDIN_TEST2(nTermineParTresSoupleEx);
KQ_STANDIN_TEST2(nETLogiqueEx);
KQ_STANDIN_TEST2(nOULogiqueEx);
#undef KQ_STANDIN_TEST2

KQ_EXPORT int nNONLogiqueEx(const void* pA, unsigned short wTypeA, int* pnResult,
                            unsigned int nOptions, int nReserved);
KQ_EXPORT int nNegationEx(const void* pA, unsigned short nTypeA, void* pResult,
                          unsigned short* pwResultType, unsigned int nOptions, int nReserved);

#define KQ_STANDIN_ARITH2(name)                                                        \
  KQ_EXPORT int name(const void* pA, unsigned short nTypeA, const void* pB,            \
                     unsigned short nTypeB, void* pResult, unsigned short* pwResultType, \
                     unsigned int nOptions, int nReserved)
KQ_STANDIN_ARITH2(nAdditionEx);
KQ_STANDIN_ARITH2(nSoustractionEx);
KQ_STANDIN_ARITH2(nMultiplicationEx);
KQ_STANDIN_ARITH2(nDivisionEx);
KQ_STANDIN_ARITH2(nModuloEx);
#undef KQ_STANDIN_ARITH2

namespace standin_values {

// Control-panel services (standin_control.h).
int StandInCalcCalls();
void StandInForceNextCalcResult(int nCode);
void StandInResetCalcSettings();

}  // namespace standin_values

#endif  // KQ230_HOST_VM_VM_CALC_ENTRIES_H_
