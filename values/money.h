// CMoney: the language's currency value (type 10, CY): an exact decimal with
// six digits after the point, held as an 80-bit two's-complement integer R
// that counts millionths. The value is R / 1,000,000, from
// -604,462,909,807,314,587.353088 to 604,462,909,807,314,587.353087.
//
// Layout: five unsigned 16-bit words, least significant first (a 10-byte
// little-endian integer); the sign is bit 15 of the fifth word. The server
// reads and writes this form in place, so it must stay exactly 10 bytes.
//
// The free functions work in place on their first argument. Those that answer
// a CMoney* answer that argument on success and null on overflow (or division
// by zero); after a failure the first argument's content is not meaningful.
// Those that answer a b-prefixed int answer 1 on success and 0 on failure.
// Text readers never fail on a bad character: they stop at it.
//
// Ownership: the values are plain data; text outputs go to the caller's
// buffers, whose sizes are given below.
// Threads: no state; every function is safe on distinct values.
#ifndef KQ230_VALUES_MONEY_H_
#define KQ230_VALUES_MONEY_H_

struct CMoney {
  unsigned short w[5];  // R, least significant word first
};
static_assert(sizeof(CMoney) == 10, "CMoney is the server's 10-byte form");

// Characters (terminator included) that the text conversions need.
constexpr int kMoneyDecimalTextSize = 27;  // "-604462909807314587.353088"
constexpr int kMoneyHexTextSize = 21;      // 20 hexadecimal digits
constexpr int kMoneyOctalTextSize = 28;    // 27 octal digits
// Bytes of the sortable key.
constexpr int kMoneyKeySize = 10;

// R = 1,000,000 (the value 1), R = -1,000,000 (the value -1) and R = 65,536,
// the scale factor of the integer conversions.
extern const CMoney gstMillion;
extern const CMoney gstMoinsMillion;
extern const CMoney gstVersLong;

// R = -2^79 and R = 2^79 - 1. Both return m.
CMoney* SetMonetaireToMin(CMoney* m);
CMoney* SetMonetaireToMax(CMoney* m);

// ---------------------------------------------------------------------------
// Sign and tests.

// R = -R (the minimum stays the minimum, as in any two's complement). Returns m.
CMoney* NegMonetaire(CMoney* m);
// Negates a negative value; returns m.
CMoney* pstAbsMonetaire(CMoney* m);
// 1 when R is 0, else 0.
int bMonetaireZero(const CMoney* m);
// -1, 0 or 1 by signed comparison. A null a gives 1; a null b (a not null) -1.
int nCmpMonetaire(const CMoney* a, const CMoney* b);
int nCmpMonetaireEtInt32(const CMoney* a, int n);

// ---------------------------------------------------------------------------
// Arithmetic. b may be the same object as a.

// a += b. The wrapped sum is stored in any case; null exactly when the true
// sum is outside the range (both operands of one sign, the sum of the other).
CMoney* pstAddMonetaire(CMoney* a, const CMoney* b);
// a -= b; null when the true difference is outside the range.
CMoney* pstSubMonetaire(CMoney* a, const CMoney* b);
// Add 1 or -1; 0 when the result is outside the range (m is then wrapped), else 1.
int bIncrementeMonetaire(CMoney* m);
int bDecrementeMonetaire(CMoney* m);
// a = a * b, rounded to the nearest millionth (halves away from zero); null
// when the result is outside the range.
CMoney* pstMulMonetaire(CMoney* a, const CMoney* b);
// a = a / b, rounded to the nearest millionth (halves away from zero); null
// when b is zero or the result is outside the range.
CMoney* pstDivMonetaire(CMoney* a, const CMoney* b);
// R = R * 10 for a non-negative value; 0 (m unchanged) when the result would
// reach 2^79 or R is negative, else 1.
int bMul10Monetaire(CMoney* m);
// |R| = |R| * w + (digit - '0'), the sign kept; 0 (m unchanged) when the
// magnitude would reach 2^79, else 1.
// REQUIRES: digit is '0' to '9'.
int bMulMonetaireWord(CMoney* m, unsigned short w, wchar_t digit);

// ---------------------------------------------------------------------------
// Rounding. n is the number of decimals kept, 0 to 5; any other n leaves m
// unchanged.

// To nearest, halves away from zero; null when the rounded value is outside
// the range.
CMoney* pstArrMonetaire(CMoney* m, short n);
// Toward minus infinity (Inf) or plus infinity (Sup); null when the rounded
// value is outside the range.
CMoney* pstArrMonetaireInf(CMoney* m, short n);
CMoney* pstArrMonetaireSup(CMoney* m, short n);
// The integer part toward minus infinity (-12.5 gives -13); null when that is
// outside the range.
CMoney* pstEntMonetaire(CMoney* m);
// The fraction of the magnitude, 0 <= result < 1 (-12.25 gives 0.25).
CMoney* pstDecMonetaire(CMoney* m);

// ---------------------------------------------------------------------------
// Conversions to money. Each returns m, or null when the value is outside
// the range or cannot be read.

CMoney* pstInt32VersMonetaire(CMoney* m, int n);
CMoney* pstTresLongVersMonetaire(CMoney* m, long long n);
CMoney* pstTresLongSansSigneVersMonetaire(CMoney* m, unsigned long long n);
// x rounded to six decimals as "%.6f" rounds it; null for NaN, infinities
// and magnitudes outside the range.
CMoney* pstDoubleVersMonetaire(CMoney* m, double x);
// A decimal text: spaces (U+0020), one sign ("+", "-", U+FF0B, U+FF0D), the
// digits "0" to "9", and after a "." up to six decimals (further ones are
// cut, not rounded). Reading stops at the first other character; an empty
// text is 0. Null when the magnitude overflows. A null text gives 0.
CMoney* pstChaineVersMonetaire(CMoney* m, const wchar_t* pszText);
// R itself (not scaled) from a hexadecimal text, after leading spaces, in
// either case; reading stops at the first non-hexadecimal character and no
// digit gives 0. Leading zeros are free; null when more than 20 significant
// digits follow them, which would not fit the 80 bits. The text is not
// changed. A null text gives 0.
CMoney* pstChaineHexaVersMonetaire(CMoney* m, const wchar_t* pszText);

// ---------------------------------------------------------------------------
// Conversions from money.

// The shortest decimal text: "-" when negative, the integer digits (at least
// "0"), and "." with the fraction without trailing zeros when it is not
// zero: 1.5, -0.25, 100, 0.000005. Returns dst.
// REQUIRES: dst holds kMoneyDecimalTextSize characters.
wchar_t* pszMonetaireVersChaineC(wchar_t* dst, const CMoney* m);
// R in upper-case hexadecimal without leading zeros ("0" for zero; a
// negative value gives 20 digits). Returns dst.
// REQUIRES: dst holds kMoneyHexTextSize characters.
wchar_t* pszMonetaireVersChaineHexa(wchar_t* dst, const CMoney* m);
// R in octal without leading zeros; a negative value is written as the
// 27-digit 81-bit two's complement (first digit 4 or more); zero is "0".
// REQUIRES: dst holds kMoneyOctalTextSize characters.
wchar_t* pszMonetaireVersChaineOctale(wchar_t* dst, const CMoney* m);

// R / 1,000,000 rounded to the nearest integer (halves away from zero), cut
// to its low 32 or 64 bits.
int lMonetaireVersInt32(const CMoney* m);
long long lMonetaireVersTresLong(const CMoney* m);
unsigned long long lMonetaireVersTresLongSansSigne(const CMoney* m);

// The integer part (toward zero, through a 1/65,536 scale: a fraction within
// 1/131,072 of the next integer counts as that integer). bMonetaireVersInt32
// answers 1 when it fits an int (else 0, *pn the low 32 bits);
// bMonetaireVersTresLong always answers 1 (every money value's integer part
// fits 64 bits).
int bMonetaireVersInt32(const CMoney* m, int* pn);
int bMonetaireVersTresLong(const CMoney* m, long long* pn);
// The low 64 bits of R / 1,000,000 rounded as the l forms; 1 when the 16 bits
// above them are all 0 or all 1 (always, for money's range).
int bMonetaireVersTresLongSansSigne(const CMoney* m, unsigned long long* pn);
// The nearest double of the decimal value (read in the C locale, whatever
// LC_NUMERIC is).
double dMonetaireVersDouble(const CMoney* m);

// The 10-byte sortable key: R's byte 9 with its top bit inverted, then bytes
// 8 down to 0. memcmp of two keys orders them as the values.
// REQUIRES: key holds kMoneyKeySize bytes.
void MonetaireVersCleZB(void* key, const CMoney* m);

#endif  // KQ230_VALUES_MONEY_H_
