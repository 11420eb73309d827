// The stand-in server's conversion entry "nConversionDepassementExt" and its
// release entry "FinConversion", and the reading of value areas that the
// calculation entries (vm_calc_entries.h) share.
//
// Calling form: vm_values.h (PFNVXCONVERSION, PFNVXFINCONVERSION). The source
// is a value area in the format of its type code (for PSTRA and PSTRW the
// area's first word is the string pointer, so "the address of the pointer"
// is such an area). The destination is a 40-byte scratch area, whose old
// content is never read: the entry overwrites it.
//
// What the entry leaves in the scratch area, and what FinConversion does:
// - DSTRW, DSTRA, BIN (16, 148, 149, 19, 28): a counted buffer of the stand-
//   in's allocator (16-byte _stStrMemHeader before the first character, four
//   zero bytes after the capacity) with reference count 1, or null for an
//   empty text. FinConversion drops one reference and frees the buffer when
//   the count reaches 0; so a caller that shared the buffer keeps it.
// - PSTRA, PSTRW (18, 110): a heap copy of the text (new[], never null, "" for
//   an empty text). FinConversion frees it. Counted by nLiveConversionStrings.
// - DECIMAL (13): a new object of the decimal factory; FinConversion destroys
//   it (counted by nLiveDecimals).
// - Every other type: the value area's bytes; FinConversion does nothing.
// FinConversion clears the word it released, so a second call is harmless.
//
// Conversions (anything not listed answers 105, kStandInNotConvertible):
// - Numbers among themselves: BOOL, UI1, UI2, UI4, UI8, I1, I2, I4, I8, UIX,
//   alias 15, CY, R4, R8, DECIMAL. Integer destinations drop the fraction
//   (toward zero); a value outside the destination's range, a NaN or an
//   infinity answers 121 (kStandInOverflow). BOOL receives 1 for any non-zero
//   value and 0 for zero, and reads as 1 or 0. CY (10-byte two's-complement
//   count of millionths) and DECIMAL round half away from zero; CY is
//   limited to its 80 bits, DECIMAL to 38 digits (121 beyond). R4 answers 121
//   for a finite value beyond its range.
// - Numbers to text: integers in decimal; reals in the shortest text that
//   reads back to the same number ("1.5", "1e+300", "nan", "inf"); CY with the
//   decimals it needs, none when whole ("12.5", "-3"); DECIMAL with exactly
//   its scale ("12.50"); BOOL as "1" or "0".
// - Text to numbers: leading and trailing blanks ignored; an optional sign,
//   digits, an optional point or comma and decimals, an optional exponent
//   (e or E). An empty or blank text is 0. Anything else answers 122
//   (kStandInNotANumber). To BOOL, "true"/"vrai" and "false"/"faux" (any case)
//   are also read.
// - Text across code pages: 8-bit texts (CARA, PSTRA, DSTRA, DATEA, TIMEA)
//   are in the code page of the STOCAW (first field); a null STOCAW or code
//   page -1 means the current code page of the stand-in's locale; 0 or an
//   unknown code page means 1252; 65001 is UTF-8. Through iconv for code
//   pages other than 1252 and 65001. A character that the code page cannot
//   hold becomes '?'; an 8-bit text that is not valid in its code page
//   answers 125 (kStandInBadCodePage). CARA and CARW take the first character
//   (none: zero).
// - Dates and times: DATEW and DATEA hold "YYYYMMDD" (or ""), TIMEW and TIMEA
//   "HHMMSSmmm"; DATETIME the 8-byte day, month, year, milliseconds. Date and
//   time texts convert to each other's width and to and from DATETIME (a date
//   gives midnight; a time gives the empty date with that time), and to and
//   from any text. DATETIME as text is "YYYYMMDDHHMMSSmmm" ("" when empty).
//   Text to DATETIME: 8 digits of a date, optionally followed by the digits
//   of a time as below (so 8, 10, 12, 14, 15, 16 or 17 digits), separators
//   - / : . , T and blanks ignored; "" is the empty value. Text to a date: 8 digits with a valid calendar date (years 1 to
//   9999, leap years as the calendar has them) or "", else 110. Text to a
//   time: 2, 4, 6, 7, 8 or 9 digits (7 and 8 scale the milliseconds), hours
//   up to 23, minutes and seconds up to 59, else 111.
// - DUREE: signed milliseconds. To and from the integer types, R4, R8, CY and
//   DECIMAL as a count of milliseconds. As text: "-" when negative, the days,
//   then 9 digits HHMMSSmmm ("0000000000" for zero); the reverse takes that
//   form (an optional "-", at least one day digit, hours below 24, minutes
//   and seconds below 60), else 112.
// - BIN (and BUFFER as a source): to 8-bit text, the bytes as they are; to
//   wide text, each byte widened; from 8-bit text, its bytes; from wide text
//   and every other type, its text form in the code page as for 8-bit text. A BIN of exactly 8 bytes
//   converts to I8, UI8, R8, DATETIME and DUREE as raw bytes; any other length
//   answers 104 (kStandInBinNot8Bytes).
// - POINT and RECTANGLE to text: the numbers separated by commas ("1,2").
// - Any type above to itself: a copy (texts into a new buffer).
// - Texts longer than 2147483391 characters answer 108; a failing string
//   allocation answers the allocator's code.
// A failure leaves the scratch area as it was. The options are not used.
//
// Threads: the entries keep no state of their own besides the counters and
// the forced result of the control panel (atomics).
#ifndef KQ230_HOST_VM_VM_CONVERSION_ENTRIES_H_
#define KQ230_HOST_VM_VM_CONVERSION_ENTRIES_H_

#include <cstdint>
#include <string>

#include "host/vm/wide_int.h"
#include "kq230/platform_types.h"
#include "kq230/vm_values.h"

KQ_EXPORT int nConversionDepassementExt(const void* pSource, unsigned int nSourceType, void* pDest,
                                        unsigned int nDestType, unsigned int nOptions,
                                        const STOCAW* pstCodePage);
KQ_EXPORT void FinConversion(void* pDest, unsigned int nDestType);

namespace standin_values {

// A value read out of an area, in the form the entries compute with.
struct CReadValue {
  enum EKind {
    kInteger,   // bNegative + nMagnitude (BOOL, the integer types)
    kReal,      // dReal (R4, R8)
    kExact,     // exact (CY, DECIMAL)
    kText,      // strText (every text type but the date and time texts)
    kDate,      // nYear, nMonth, nDay (DATEW, DATEA; all 0 when empty)
    kTime,      // nMilliseconds (TIMEW, TIMEA)
    kDateTime,  // all four (DATETIME)
    kDuration,  // nDuration (DUREE)
    kBytes,     // strBytes (BIN, BUFFER)
    kOther,     // POINT, RECTANGLE: strText holds their text
  };
  EKind eKind = kInteger;
  unsigned int nType = 0;
  bool bNegative = false;
  uint64_t nMagnitude = 0;
  double dReal = 0;
  CExactNumber exact;
  std::wstring strText;
  std::string strBytes;
  int nYear = 0, nMonth = 0, nDay = 0;
  uint32_t nMilliseconds = 0;
  int64_t nDuration = 0;
};

// Reads the area of the given type code. 0, or 105 for a type that has no
// value to read (objects, none), 124 for a DECIMAL without a live object,
// 125 for 8-bit text invalid in its code page, 110/111 for a date or time
// text that is not one.
int nReadValue(const void* pArea, unsigned int nType, const STOCAW* pstCodePage, CReadValue* pOut);

// The value as an exact number (integers, reals, money, decimals, durations;
// text parsed as a number). 0, 105 or 122. Reals are taken at their shortest
// decimal text; NaN and infinities answer 121.
int nAsExact(const CReadValue& value, CExactNumber* pOut);
// The value as a double (same sources as nAsExact).
int nAsReal(const CReadValue& value, double* pOut);
// The value as text, as the conversion to a wide string gives it.
int nAsText(const CReadValue& value, std::wstring* pOut);

// Writes a value in the area format of the type code nType, as the
// conversion entry does (the caller owns what is written). 0 or a failure
// code; on failure pDest may be partly written.
int nWriteValue(const CReadValue& value, unsigned int nType, void* pDest,
                const STOCAW* pstCodePage);

// Writes an exact number into a scratch area of the numeric type nType
// (integers, BOOL, CY, R4, R8, DECIMAL, DUREE); 0, 105, 121, or the
// decimal factory's failure.
int nWriteExact(const CExactNumber& number, unsigned int nType, void* pDest);

// True for the numeric type codes (BOOL to R8, DECIMAL, UIX, alias 15).
bool bIsNumericType(unsigned int nType);
// True for the text type codes that read as kText.
bool bIsTextType(unsigned int nType);

// Control-panel services (standin_control.h).
int StandInLiveConversionStrings();
int StandInConversionCalls();
int StandInFinConversionCalls();
void StandInForceNextConversionResult(int nCode);
void StandInResetConversionSettings();

}  // namespace standin_values

#endif  // KQ230_HOST_VM_VM_CONVERSION_ENTRIES_H_
