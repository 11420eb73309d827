// Code-page conversion.
//
// The Win32 code-page functions over glibc's iconv: 8-bit text in a Windows
// code page to and from the framework's wide characters (4-byte UTF-32,
// little-endian), and between two code pages. Every other text function of the
// framework converts through these.
//
// Code pages: CodePageToIConv's table; 0 and every value outside the table
// mean Windows-1252. Code page 1252 is converted through the framework's own
// CP1252 table (core/cp1252_table.h), not through iconv's "CP1252":
// both roads (the table functions and these conversions) give the same text,
// and the five bytes iconv rejects (0x81, 0x8D, 0x8F, 0x90, 0x9D) read as
// U+0081 ... U+009D. Valid UTF-8 (65001) is decoded and encoded here directly;
// anything else goes to iconv, so results are iconv's.
//
// Failures: the conversions answer 0 (no converter, a conversion error,
// truncated input, an output too small when an output is given, a null
// source or a negative size) and leave errno as iconv set it (EINVAL for bad
// arguments, E2BIG for an output too small). They never read or write beyond
// the given lengths and sizes.
//
// Threads: no locks. Each thread keeps its own iconv descriptors, opened on
// first use and reset before every conversion, and closed when the thread
// ends: a conversion never shares a descriptor with another thread.
// Performance (i386 under qemu, 932 to wide, one thread): 10 bytes take about
// 0.7 us against 4.7 us when a descriptor is opened and closed per call, and
// within 15% of a bare iconv call on one cached descriptor at every size from
// 10 B to 1 MB. Well-formed UTF-8 to wide is decoded here, about 2.7 (1 MB) to
// 6 (10 B) times faster than iconv on a cached descriptor.
#ifndef KQ230_CORE_CODEPAGE_CONVERSION_H_
#define KQ230_CORE_CODEPAGE_CONVERSION_H_

// Flag of MultiByteToWideChar: invalid input fails the conversion. Without it
// the converter is asked to skip invalid input (see MultiByteToWideChar).
inline constexpr unsigned int MB_ERR_INVALID_CHARS = 0x8;

// A code page of CodePageToIConv's table and its iconv name.
struct _stCodePageName {
  unsigned int nCodePage;
  const char* pszIConvName;
};

// The table, one row per code page it names (1252 once; the default for
// values outside it is 1252 too). For tests and the fuzz target.
const _stCodePageName* CodePage_pGetTable(int* pnCount);

// The iconv character-set name of a Windows code page:
//   1 "CP437"; 866, 874, 932, 936, 949, 950 "CP<n>"; 1047 "IBM1047";
//   1250 to 1258 "CP1250" to "CP1258"; 1361 "CP1361"; 20127 "US-ASCII";
//   20866 "KOI8-R"; 20932 "EUC-JP"; 20936 "GB2312"; 28591 to 28599
//   "ISO-8859-1" to "ISO-8859-9"; 28603 "ISO-8859-13"; 28605 "ISO-8859-15";
//   50220 "ISO-2022-JP"; 51949 "EUC-KR"; 54936 "GB18030"; 65001 "UTF-8";
//   every other value (0 and 437 included) "CP1252".
const char* CodePageToIConv(int nCodePage);

// 8-bit text of a code page to wide text.
// nLength: bytes of pszIn; -1 means the text and its terminator.
// Output (pszOut not null and nOutSize > 0): answers the characters written
// (the terminator counts when it was part of the input), or 0 when the output
// is too small or the conversion fails. Without output: answers the
// characters needed.
// Invalid input (a byte sequence the code page does not define, a truncated
// multi-byte character at the end) gives 0. With MB_ERR_INVALID_CHARS in
// dwFlags the converter is strict; without it iconv is asked to skip invalid
// input ("//IGNORE"), but glibc then still reports the skip as a failure, so
// the result is 0 either way. The framework's CP1252 defines every byte.
// Code pages whose converters keep state end the conversion with iconv's
// flush, so that they give what they still hold (CP1255 and CP1258 keep a
// letter back to compose it with a following mark).
int MultiByteToWideChar(unsigned int nCodePage, unsigned int dwFlags, const char* pszIn,
                        int nLength, wchar_t* pszOut, int nOutSize);

// Wide text to 8-bit text of a code page. dwFlags is not used.
// nLength: characters of pszIn; -1 means the text and its terminator.
// A character the code page cannot hold (a surrogate or a value above
// U+10FFFF included) is written as pszDefault (all its bytes; "?" when null)
// and *pbUsedDefault (when given; set to 0 first) becomes 1. Stateful code
// pages (ISO-2022-JP) return to their initial shift state before a
// replacement and at the end of the text.
// Output: answers the bytes written, or 0 when the output is too small (a
// replacement that does not fit included) or the conversion fails. Without
// output: answers the bytes needed.
int WideCharToMultiByte(unsigned int nCodePage, unsigned int dwFlags, const wchar_t* pszIn,
                        int nLength, char* pszOut, int nOutSize, const char* pszDefault,
                        int* pbUsedDefault);

// Bytes of one code page to another. nLength: bytes of pszIn; (unsigned)-1
// means the text and its terminator. Output: answers the bytes written, or 0
// when the output is too small or the conversion fails (a character the
// target cannot hold fails it: there is no replacement). Without output
// (null or nOutSize 0): answers the bytes needed. The last argument is not
// used. 1252 to 1252 is a copy (the framework's table defines every byte).
int MultiByteToMultiByte(unsigned int nFromCodePage, const char* pszIn, unsigned int nLength,
                         unsigned int nToCodePage, char* pszOut, unsigned int nOutSize,
                         unsigned int nUnused);

// The UTF-8 length of a wide text, terminator included (a null text: 0).
int nGetUTF8Len(const wchar_t* pszText);

// Closes the iconv descriptors that the calling thread keeps for the
// conversions; its next conversion opens them again. A thread's descriptors
// are closed when it ends, the main thread's only after main returns: a
// program that balances its memory before then closes them first.
void ReleaseThreadConverters();

#endif  // KQ230_CORE_CODEPAGE_CONVERSION_H_
