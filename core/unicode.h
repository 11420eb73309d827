// Unicode conversions and number texts.
//
// The framework's wide text is UTF-32 in wchar_t (4 bytes, machine order). The
// client library and some files speak UTF-8, UTF-16 (unsigned short units) or
// an 8-bit code page; these functions convert between all of them, measure
// lengths in each form, copy wide text that may not lie on a 4-byte boundary,
// write 64-bit integers in any radix and read floating-point texts whose
// exponent letter is "D". UTF-8, UTF-16 and UTF-32 are converted here; other
// code pages go through wide text and MultiByteToWideChar/WideCharToMultiByte
// (core/codepage_conversion.h).
//
// Conventions:
// - Counts named n or length are in units of the source (bytes, UTF-16 units,
//   wide characters). Sizes of outputs count units, terminator included.
// - Anything that cannot be converted becomes "?" (63); nothing is reported.
// - Code page 65001 is UTF-8; 0 or a code page the framework does not know is
//   Windows-1252.
//
// Ownership: functions whose names begin with psz return a new heap text that
// the caller frees with XMALLOC_Del_ (core/xmalloc.h). Everything else writes
// into the caller's buffers.
// Threads: no shared state; every function may run on any thread at once
// (the _CurrentCharset forms read the server's locale service, which is
// thread-safe).
#ifndef KQ230_CORE_UNICODE_H_
#define KQ230_CORE_UNICODE_H_

// ---------------------------------------------------------------------------
// Reading UTF-8.
//
// Sequence lengths come from the lead byte: 0x00-0x7F 1, 0x80-0xBF 0 (a
// continuation byte), 0xC0-0xDF 2, 0xE0-0xEF 3, 0xF0-0xF7 4, 0xF8-0xFB 5,
// 0xFC-0xFF 6. A decoder never reads past a zero byte, and never past the end
// of a counted input. The decoders (UTF8ToUTF32, UTF8_GetNext and what is
// built on them) read an overlong form, or a value past U+10FFFF (5- and
// 6-byte forms), as one "?" for the whole sequence; surrogate values decode to
// themselves, so that the 3-byte form the writers give a lone surrogate reads
// back unchanged.

// The address after the sequence that starts at p: the lead byte plus up to
// length - 1 following continuation bytes (a sequence cut short by any other
// byte, the terminator included, ends before that byte). A continuation byte
// met as lead starts a sequence of up to 6 bytes.
// REQUIRES: p points into a zero-terminated text, not at its terminator.
char* UTF8next(char* p);
const char* UTF8next(const char* p);

// The byte length of the sequence at p, as UTF8next measures it.
int UTF8Len(const char* p);

// The code point of the sequence at p; "?" for a continuation byte, and for a
// sequence cut short by a byte that is not a continuation byte.
unsigned int UTF8ToUTF32(const char* p);

// The code point at *pp; *pp moves past the sequence. A continuation byte as
// lead gives "?" and one byte. A sequence cut short (by the terminator or any
// byte that is not a continuation byte) gives "?" and *pp stops at that byte,
// so that decoding never runs past the terminator.
unsigned int UTF8_GetNext(const char** pp);

// The same within *pnRemaining bytes: a sequence longer than what remains gives
// "?", *pnRemaining 0 and *pp unchanged; a sequence cut short by a byte that is
// not a continuation byte gives "?" and consumes the bytes before it.
// Otherwise *pnRemaining drops by the bytes consumed.
unsigned int UTF8_GetNext(const char** pp, unsigned int* pnRemaining);

// Checked decode of the first character within n bytes: below 0x80 itself
// (n = 1), 0xC0-0xDF one continuation byte (n = 2), 0xE0-0xEF two (n = 3),
// 0xF0-0xF7 three (n = 4). Anything else, too few bytes, a missing
// continuation byte, an overlong form or a null s: -1 and n = 0. Surrogates
// are not checked.
int UTF8FirstChar(const char* s, int& n);

// 1 when s is UTF-8 in the sense of the sequence shapes above (5- and 6-byte
// shapes included; overlong forms and surrogates are not checked), else 0.
// nLength -1: up to the terminator; nLength <= 0 otherwise: 1. A null s is
// valid only for nLength 0.
int UTF8Valide(const char* s, int nLength);

// Characters of s: the bytes that are not continuation bytes, up to the
// terminator (StrNLenUTF8: within n bytes, or up to the terminator if it comes
// first). Null or n <= 0: 0.
int StrLenUTF8(const char* s);
int StrNLenUTF8(const char* s, int n);

// Sequences up to the terminator, counted by UTF8next steps.
int UTF8ToWideLen(const char* s);

// Decodes with UTF8_GetNext while more than one place is left and input
// remains, then terminates. outSize 0 writes nothing. Returns the characters
// written, terminator excluded.
unsigned int UTF8ToWide(wchar_t* out, unsigned int outSize, const char* in);

// Decodes nInLength bytes (-1: through the terminator, which is converted too)
// while output room remains; no terminator of its own. Returns the characters
// written; 0 when outSize <= 0 or there is no input.
int nUTF8ToWide(wchar_t* out, int outSize, const char* in, int nInLength);

// Strict UTF-8 to wide conversion for the hot road of fetched text columns.
// Decodes nInLength bytes (-1: up to the terminator, which is not converted)
// and accepts only well-formed UTF-8: shortest forms, no surrogates, nothing
// above U+10FFFF. A zero byte inside a counted input is a character.
// With a null out: returns the characters the text holds. Otherwise writes at
// most outSize characters, no terminator, and returns the count written.
// Returns -1 when the input is not well-formed (the caller then takes the slow
// road, which decides what malformed text becomes) or, with an out, when
// outSize is too small; what was written is then unspecified.
int UTF8ToWideStrict(const char* in, int nInLength, wchar_t* out, int outSize);

// UTF-16 units needed for n bytes of UTF-8: 1 a character, 2 from U+10000.
unsigned int UTF8ToUTF16Len(const char* in, unsigned int n);

// Converts n bytes of UTF-8: a character below
// U+10000 takes one unit (the last free unit too); one from U+10000 a surrogate
// pair, written only while at least three units are free. No terminator.
// Returns the units written.
unsigned int UTF8ToUTF16(unsigned short* out, unsigned int outSize, const char* in,
                         unsigned int n);

// ---------------------------------------------------------------------------
// Wide (UTF-32) to UTF-8. Values that are negative or above 0x10FFFF are
// written, and counted, as "?" (one byte). Surrogate values are written as the
// 3-byte sequence of their own value.

// The sequence of c and a terminator; returns the bytes written, terminator
// excluded. REQUIRES: out holds 5 bytes.
int UTF32ToUTF8(wchar_t c, char* out);

// The whole text and a terminator; returns the bytes written, terminator
// excluded. A null in writes nothing and returns 0.
// REQUIRES: out holds UTF8ByteLen(in) + 1 bytes.
int WideToUTF8(char* out, const wchar_t* in);

// The same, stopping before the first sequence that would leave no room for
// the terminator; always terminated when outSize > 0 (outSize 0 writes
// nothing). Returns the bytes written, terminator excluded.
int WideToUTF8(char* out, unsigned int outSize, const wchar_t* in);

// nInLength characters (-1: through the terminator); a sequence is written only
// when it fits whole. Returns the bytes written; null in or outSize <= 0: 0.
int nWideToUTF8(char* out, int outSize, const wchar_t* in, int nInLength);

// Bytes the text needs in UTF-8, terminator excluded; null: 0.
int UTF8ByteLen(const wchar_t* s);

// Bytes for at most n characters; a terminator met within n adds 1 and ends the
// count.
int UTF8ByteLenTotal(const wchar_t* s, int n);

// ---------------------------------------------------------------------------
// UTF-16.

// Units up to the terminator.
int XALIGN_utf16len(const unsigned short* s);

// The same bounded by nMax; 0 when nMax <= 0, or s is null or empty.
int utf16nlen(const unsigned short* s, int nMax);

// Copies units until the terminator or n units, without writing a terminator.
// Returns dst.
unsigned short* utf16ncpy(unsigned short* dst, const unsigned short* src, unsigned int n);

// Compares at most n units after towlower; 0 when both texts end together;
// otherwise the difference of the first differing lowered units.
int utf16nicmp(const unsigned short* a, const unsigned short* b, unsigned int n);

// The first position of s at which sub matches (utf16nicmp) and lies wholly
// within the first n units; an empty sub gives s; null when none.
unsigned short* utf16niutf16(unsigned short* s, const unsigned short* sub, unsigned int n);

// nInLength units (-1: through the terminator). outSize 0: returns the unit
// count (an upper bound of the characters). Otherwise a high surrogate followed
// by a low one becomes one character; any other unit, a lone surrogate
// included, is copied. Returns the characters written.
int UTF16ToWideChar(const unsigned short* in, int nInLength, wchar_t* out, int outSize);

// nInLength units (-1: through the terminator) to UTF-8; pairs combine, a lone
// surrogate is written as the 3-byte sequence of its own value; stops before
// the first sequence that does not fit. A null out or outSize 0: the bytes
// needed; otherwise the bytes written.
int UTF16ToUtf8(const unsigned short* in, int nInLength, char* out, int outSize);

// nInLength characters (-1: through the terminator). outSize 0: the units
// needed. Otherwise characters below U+10000 take one unit, the others a
// surrogate pair, written only when both units fit. Returns the units written.
// Values above 0x10FFFF (and negative ones) become "?".
int WideCharToUTF16(const wchar_t* in, int nInLength, unsigned short* out, int outSize);

// Plain copies: nInLength (-1: length + 1). outSize 0 returns nInLength; else
// copies min(nInLength, outSize) characters and returns that count.
int UTF32ToWideChar(const wchar_t* in, int nInLength, wchar_t* out, int outSize);
int WideCharToUTF32(const wchar_t* in, int nInLength, wchar_t* out, int outSize);

// ---------------------------------------------------------------------------
// Code pages and UTF-8.
//
// For code pages whose bytes below 0x80 are ASCII, bytes below 0x80 are copied
// as they are and each run of bytes from 0x80 up is converted as one segment, so
// that a multi-byte character is never split. Code pages whose multi-byte
// characters use bytes below 0x80, or whose bytes below 0x80 are not ASCII
// (932, 936, 949, 950, 1361, 54936, 50220 ISO-2022-JP, 1047 EBCDIC), are
// converted whole. A segment that converts to nothing (including one that does
// not fit in the room left) makes the whole result 0. When room remains the
// rest of out is zero-filled.
//
// inLength (unsigned)-1 means up to the terminator (not included). With a null
// out the result is the bytes the conversion needs, terminator excluded; with
// outSize 0 nothing is written and the result is 0.

// Code page to UTF-8; returns the bytes written. Code page 65001 copies
// min(inLength, outSize - 1) bytes, stopping at a zero byte, and zero-fills the
// rest (so the output is always terminated); its count, like every count
// here, excludes the terminator: a caller sizing by it adds one.
int MultiByteToUTF8(unsigned int nCodePage, const char* in, unsigned int inLength, char* out,
                    unsigned int outSize, unsigned int nFlags);

// One segment: n bytes to wide text in a temporary buffer of outSize + 1
// characters (MultiByteToWideChar (codepage, 0, ...)), then UTF-8 of that,
// written here: the same bytes a second iconv round would give, and a segment
// that does not fit still gives 0. Returns the bytes written (a null out: the
// bytes needed).
int _MultiByteToUTF8(unsigned int nCodePage, const char* in, unsigned int n, char* out,
                     unsigned int outSize, unsigned int nFlags);

// UTF-8 to code page; returns the bytes written. Code page 65001 copies as
// MultiByteToUTF8 does. pszDefault is the replacement for characters the code
// page lacks ("?" when null); *pbUsedDefault (when given) tells whether any
// segment used it. Malformed UTF-8 reads as "?" characters.
int UTF8ToMultiByte(unsigned int nCodePage, const char* in, unsigned int inLength, char* out,
                    unsigned int outSize, unsigned int nFlags, const char* pszDefault,
                    int* pbUsedDefault);

// One segment: n bytes of UTF-8 to wide text, then WideCharToMultiByte (codepage,
// flags, ..., pszDefault, pbUsedDefault). Returns the bytes written.
int _UTF8ToMultiByte(unsigned int nCodePage, const char* in, unsigned int n, char* out,
                     unsigned int outSize, unsigned int nFlags, const char* pszDefault,
                     int* pbUsedDefault);

// The same with the server's current code page (STR_nGetCurrentCodePage).
int MultiByteToUTF8_CurrentCharset(const char* in, unsigned int inLength, char* out,
                                   unsigned int outSize, unsigned int nFlags);
int UTF8ToMultiByte_CurrentCharset(const char* in, unsigned int inLength, char* out,
                                   unsigned int outSize, unsigned int nFlags);

// Code page to wide text in a temporary buffer of the length MultiByteToWideChar
// reports, then WideCharToUTF16 of it (nInLength -1 converts the terminator
// too). Returns what WideCharToUTF16 returns; 0 when the code page conversion
// gives nothing.
int MultiByteToUTF16(unsigned int nCodePage, unsigned int nFlags, const char* in, int nInLength,
                     unsigned short* out, int outSize);
int MultiByteToUTF16_CurrentCharset(const char* in, int nInLength, unsigned short* out,
                                    int outSize, unsigned int nFlags);

// UTF16ToWideChar into a temporary buffer, then WideCharToMultiByte with the
// arguments. Returns what WideCharToMultiByte returns.
int UTF16ToMultiByte(unsigned int nCodePage, unsigned int nFlags, const unsigned short* in,
                     int nInLength, char* out, int outSize, const char* pszDefault,
                     int* pbUsedDefault);

// 7-bit text only. WideCharToANSI writes each character's low byte,
// ANSIToWideChar each byte as a character of the same signed value; both stop
// at the terminator or after outSize - 1 characters and always terminate
// (outSize below 2: just the terminator; outSize <= 0: nothing). Return the
// characters written, terminator excluded.
int WideCharToANSI(char* out, int outSize, const wchar_t* in);
int ANSIToWideChar(wchar_t* out, int outSize, const char* in);

// A new zero-filled buffer of n + 1 bytes (n -1: the text's length) holding s
// converted to code page 1252; null when the allocation fails.
char* pszXSTR2CSTR(const wchar_t* s, int n);

// A new wide text of n characters (n -1: the text's length; 0 for a null or
// empty s) converted from the code page, terminated; null when the allocation
// fails.
wchar_t* pszCSTR2XSTR(const char* s, int n, int nCodePage);

// A new copy of s, whole when n <= 0, else its first n characters (fewer when
// s ends before); null for a null s or when the allocation fails.
wchar_t* pszWSTR2XSTR(const wchar_t* s, int n);
wchar_t* pszXSTR2WSTR(const wchar_t* s, int n);

// ---------------------------------------------------------------------------
// Wide text at any address (the source, the destination or both may lie at an
// address that is not a multiple of 4).

// Characters up to the terminator.
int __UNALIGNED__UNICODE__STRLEN__(const char* s);
// Copies with the terminator; returns dst.
char* __UNALIGNED__UNICODE__STRCPY__(char* dst, const char* src);
// Copies up to n characters and fills the rest of the n with zero characters,
// as wcsncpy; returns dst.
char* __UNALIGNED__UNICODE__STRNCPY__(char* dst, const char* src, int n);

// ---------------------------------------------------------------------------
// Number texts.

// The digits of v in radix (2 to 36), most significant first, digits above 9 as
// lower-case letters; "0" for 0; returns out. A radix outside 2..36 writes "".
// REQUIRES: out holds 65 characters.
wchar_t* _ui64towQnt(unsigned long long v, wchar_t* out, int nRadix);
char* _ui64toaQnt(unsigned long long v, char* out, int nRadix);

// A negative v gives "-" and the digits of its magnitude, in any radix.
// REQUIRES: out holds 66 characters.
wchar_t* _i64towQnt(long long v, wchar_t* out, int nRadix);
char* _i64toaQnt(long long v, char* out, int nRadix);

// The C library's gcvt of v with nDigits significant digits (1 to 17), widened
// through code page 1252; returns out.
// REQUIRES: out holds nDigits + 8 characters.
wchar_t* _wgcvt(double v, int nDigits, wchar_t* out);

namespace qnt {

// Floating-point parse that also accepts "D" or "d" as exponent letter ("1.5D3"
// is 1500). Leading white space and one sign are skipped; a letter, the end of
// the text, or "0x" next gives 0 with *end = s (no hexadecimal, no "inf" or
// "nan"). *end (when given) receives the end of the parsed number within s.
// Texts of any length are accepted. The number itself is read by the C
// library's wcstod/strtod, so its decimal point is that of LC_NUMERIC.
double wcstod(const wchar_t* s, wchar_t** end);
double strtod(const char* s, char** end);

}  // namespace qnt

#endif  // KQ230_CORE_UNICODE_H_
