// Character tests, the CP1252 table, and 8-bit/wide conversions into new
// buffers.
//
// The tests are small, locale-free predicates on single characters and texts.
// CP1252 (Windows-1252) is the framework's default 8-bit character set; its
// table here is the only one the framework uses, so that every road from bytes
// to wide text (these functions, MultiByteToWideChar for code page 1252, the
// locale-bound comparisons) gives the same characters. The five bytes the code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) read as the C1 controls
// of the same value, so no byte is ever lost; those controls have no byte back.
//
// The text conversions allocate their result with XMALLOC_pNew_; the caller
// owns it and frees it with XMALLOC_Del_. Code page numbers are Windows code
// page numbers (0 or unknown: 1252; 65001: UTF-8); the conversion itself is
// MultiByteToWideChar / WideCharToMultiByte (core/codepage_conversion.h),
// whose flags are passed through, except for the two roads that never need
// iconv: UTF-8 that is well-formed, and CP1252.
//
// Threads: no shared state; the CP1252 tables are constant.
#ifndef KQ230_CORE_CHAR_CONV_H_
#define KQ230_CORE_CHAR_CONV_H_

// ---------------------------------------------------------------------------
// Character and text tests. Results are 1 or 0.

// c is "0" to "9".
int bEstUnChiffreA(char c);
int bEstUnChiffreW(wchar_t c);
// c - 48, unchecked.
int nGetChiffre(wchar_t c);
// Every character of s is a digit; the empty (and the null) text is true.
int bEstUnNombreEntierNaturel(const wchar_t* s);
// c is above 127, taken as unsigned.
int bExtendedASCII(wchar_t c);
// "A" to "Z"; "a" to "z".
int bMajusculeA(char c);
int bMajusculeW(wchar_t c);
int bMinusculeA(char c);
int bMinusculeW(wchar_t c);
// c is below 32, taken as unsigned.
int bUnprintable(wchar_t c);
// c is 33 to 47, 58 to 64 or 91 to 95 (96 and 123 to 126 are not punctuation
// here).
int bPonctuation(wchar_t c);
// The text holds only characters 9, 10, 13 and 32, or nothing (11 and 12 count
// as readable); null is true.
int STR_bNeContientRienDeLisibleA(const char* s);
int STR_bNeContientRienDeLisibleW(const wchar_t* s);
// s holds the character 32; null is false.
int STR_bContainSpace(const wchar_t* s);
// The text begins with "{\rtf1" or "{\rtf{", letters in any case; null is false.
int bEstDuTexteRTF(const char* s);
int bEstDuTexteRTF(const wchar_t* s);
int bEstDuTexteRTFW(const wchar_t* s);
// Every character of s (the first n of s, stopping at a terminator) is at most
// 127; null is true.
int STR_bIsANSI7(const wchar_t* s);
int STR_bIsANSI7(const wchar_t* s, unsigned int n);
// The byte is below 128.
int STR_bIsANSI7(char c);
// c has a CP1252 byte, stored in b (b untouched otherwise): characters up to
// 127 and 160 to 255 are their own byte; 27 characters above 255 have a byte
// from 0x80 to 0x9F; everything else (128 to 159 included) has none.
int STR_bIsCp1252(wchar_t c, unsigned char& b);
int STR_bIsCp1252(wchar_t c);
// Every character of s has a CP1252 byte; null is true.
int STR_bIsCp1252(const wchar_t* s);

// ---------------------------------------------------------------------------
// Lengths.

// The length of s bounded by nMax; 0 when nMax <= 0, or s is null or empty.
int STR_nLenA(const char* s, int nMax);
int STR_nLenW(const wchar_t* s, int nMax);
int STR_nLen(const char* s, int nMax);
int STR_nLen(const wchar_t* s, int nMax);

// The length of a UTF-8 sequence from its first byte: below 0x80 1, below 0xE0
// 2, below 0xF0 3, below 0xF8 4, below 0xFC 5, 0xFC and 0xFD 6, 0xFE and 0xFF 1.
// (Continuation bytes 0x80-0xBF give 2, as they always have.)
int STR_nGetNbByteUTF8(unsigned char nLead);

// ---------------------------------------------------------------------------
// Single characters.

// The CP1252 byte of c; when it has none, cDefault, and *pbReplaced becomes 1
// (when given; it is never reset to 0).
char STR_ToCP1252(wchar_t c, char cDefault, int* pbReplaced);
// c when it is at most 127 (as unsigned), else cDefault.
char STR_ToAnsi7(wchar_t c, char cDefault);
// The character of byte b in CP1252.
wchar_t STR_FromCP1252(char b);
// b when below 128, else cDefault.
wchar_t STR_FromAnsi7(char b, wchar_t cDefault);
// WideCharToMultiByte (codepage, flags, &c, 1, out, 1, null, null): the byte
// written, 0 when none.
char STR_WCharToAChar(wchar_t c, int nFlags, unsigned int nCodePage);
// MultiByteToWideChar (codepage, flags, &b, 1, out, 1): the character written, 0
// when none.
wchar_t STR_CharToWChar(char b, int nFlags, unsigned int nCodePage);
// The same with the server's current code page.
wchar_t STR_CharToWChar_CurrentCharset(char b, int nFlags);

// ---------------------------------------------------------------------------
// Texts.

// With outSize 0 or a null out: the size needed (inLength, or the text's length
// + 1 when inLength is -1). Otherwise converts min(inLength, outSize) bytes
// through the CP1252 table (with -1 the terminator is converted too, when it
// fits) and returns the count written; 0 when there is nothing to convert (a
// null in or inLength 0).
int STR_CP1252ToWideChar(const char* in, int nInLength, wchar_t* out, int outSize);

// The conversions below allocate their result (length + 1 units) with
// XMALLOC_pNew_ and terminate it; *pnOutLength receives the converted length,
// terminator excluded (also when nInLength is -1, which converts up to the
// terminator). Result 1 on success. A conversion that gives nothing (a null in,
// nInLength 0), fails, or cannot allocate: *ppOut null, *pnOutLength 0, result
// 0; an empty text with nInLength -1 gives an empty result and 1, as the
// terminator alone converts. pnOutLength may be null.

// 8-bit text of a code page to wide text. flags as MultiByteToWideChar's.
int __STR_CharToWChar(const char* in, int nInLength, unsigned int nCodePage, wchar_t** ppOut,
                      int* pnOutLength, int nFlags);
// __STR_CharToWChar with flags | 1 unless the code page is 65001. The road of
// every fetched text column: well-formed UTF-8 and CP1252 are converted here
// without iconv. Performance (bench/text_conversion_bench, i386 under qemu):
// the UTF-8 decoder alone runs 2 (CJK) to 3 (Latin) times as fast as iconv;
// the whole road, new buffer included, beats iconv with a cached descriptor
// from 10 B (2.3 times) to 1 MB (1.2 times, where page faults dominate).
int STR_CharToWChar_AnyCodepage(const char* in, int nInLength, unsigned int nCodePage,
                                wchar_t** ppOut, int* pnOutLength, int nFlags);
// A null in gives *ppOut null and result 1; else __STR_CharToWChar with the
// server's current code page.
int STR_CharToWChar_CurrentCharset(wchar_t** ppOut, const char* in, int nFlags, int nInLength);
// __STR_CharToWChar (in, -1, 1252, ...) with flags 9.
int STR_CharToWChar(wchar_t** ppOut, const char* in);

// Wide text to 8-bit text of a code page (WideCharToMultiByte, flags 0;
// characters the code page lacks become "?").
int __STR_WCharToChar(const wchar_t* in, int nInLength, char** ppOut, int* pnOutLength,
                      int nCodePage);
int STR_WCharToChar_AnyCodepage(const wchar_t* in, int nInLength, char** ppOut, int* pnOutLength,
                                int nCodePage);
// The same with the server's current code page.
int STR_WCharToChar_CurrentCharset(char** ppOut, const wchar_t* in, int nInLength);

// 8-bit text from one code page to another. Equal code pages: a terminated copy
// of nInLength bytes (-1: to the terminator), result 1 (0 when the allocation
// fails; an empty copy is a success). Otherwise through wide text.
int STR_CharToChar_AnyCodepage(const char* in, int nInLength, int nFromCodePage, char** ppOut,
                               int* pnOutLength, int nToCodePage);

// s survives a round trip through the code page unchanged; null or empty: 1.
int bAnsiCompatible(const wchar_t* s, unsigned int nCodePage);
// bAnsiCompatible (s, 1252).
int bLatin1(const wchar_t* s);

#endif  // KQ230_CORE_CHAR_CONV_H_
