// Fetched cells straight into a slot's bytes: the readers the value holder's
// database text (CNAConvertVariant::bSetValueDB) uses so that the common
// cells of a row reach the record buffer with no heap call and no language
// value in between.
//
// Each reader accepts only the shapes whose result it can give exactly as
// the language's own reading would (wide text, then the language's cast);
// for anything else it answers false and the caller takes that slower road,
// which keeps its rounding, its overflow errors and its lenient reading of
// ill-formed text. So a false answer is "not here", never "invalid".
//
// Ownership: pure functions over the caller's buffers.
// Threads: no state; any thread may call.
#ifndef KQ230_ITEMS_CELL_TEXT_H_
#define KQ230_ITEMS_CELL_TEXT_H_

#include <cstddef>

// The language's 18-byte decimal form (kVXDecimalFormSize) of a DECIMAL
// cell: byte 0 the precision (38, as the language gives a decimal read from
// text), byte 1 the scale, bytes 2..17 the coefficient as a 128-bit two's-
// complement integer, least significant byte first. Zero has scale 0 and no
// sign whatever its text ("-0.00" is 0).
// Answers false (pForm untouched) unless p..p+n is [+-]digits[.digits] with
// a digit somewhere, at most 38 significant digits and at most 38 decimals:
// only then does the language store the digits as they stand, without
// rounding or an overflow to report.
// REQUIRES: pForm holds 18 bytes.
bool CellText_bDecimalForm(const char* p, size_t n, unsigned char* pForm);

// True when p..p+n is well-formed UTF-8 (RFC 3629: no overlong form, no
// surrogate, nothing past U+10FFFF, no cut sequence).
bool CellText_bWellFormedUTF8(const char* p, size_t n);

// The characters before the first NUL of p..p+n as UTF-16 units, least
// significant byte first, at pOut: at most nMaxUnits units, ending before the
// first character that does not fit whole (a pair is never split). Answers
// the units written.
// REQUIRES: CellText_bWellFormedUTF8(p, n); pOut holds 2 * nMaxUnits bytes.
unsigned int CellText_nUTF8ToUTF16(const char* p, size_t n, unsigned char* pOut,
                                   unsigned int nMaxUnits);

// The same characters as wide characters at pOut, at most nMax of them;
// *pnUsed (when given) receives the bytes they took, so that a long text can
// be read in pieces. Answers the characters written.
// REQUIRES: CellText_bWellFormedUTF8(p, n); pOut holds nMax characters.
unsigned int CellText_nUTF8ToWide(const char* p, size_t n, wchar_t* pOut, unsigned int nMax,
                                  size_t* pnUsed);

// The same as CellText_nUTF8ToUTF16 from text of code page 1252 (every byte is a character), read by
// the framework's table.
unsigned int CellText_nCP1252ToUTF16(const char* p, size_t n, unsigned char* pOut,
                                     unsigned int nMaxUnits);

#endif  // KQ230_ITEMS_CELL_TEXT_H_
