// Locale-bound case mapping and comparison: the STR_ family that wraps the
// application server's locale information (IInfoLocale).
//
// The framework never decides by itself how a letter changes case or where
// it sorts: every such question goes to the server's locale service, which
// the module entry binds into CInformationDLL::ms_piInfoLocale at start. Two
// comparisons are computed here on top of it: the numeric-aware comparison
// (runs of digits compare by value, so "file9" < "file10") and the prepared
// comparison that the language's string-comparison options drive.
//
// Flags (unsigned, passed on to the service, which gives them their effect):
//   0x00000001 upper case / ignore case      0x00000100 lower case
//   0x00000002 remove / ignore accents       0x20000000 lexicographic order
//   0x00000004 drop / ignore white space and punctuation
//   0x10000000 use the server's current locale instead of the function's fixed
//              locale id; cleared before the flags are passed on
//   0x40000000 added by STR_nCompareA to every 8-bit comparison
// Fixed locale ids are part of each function's behaviour: 1024 (the user's
// default) or 1036, as noted below.
//
// Texts: a length of -1 means "up to the terminator". 8-bit texts are in the
// server's current code page.
//
// Ownership: nothing is kept. STR_nCreateMapString hands the caller a block
// that it frees with XMALLOC_Del_.
// Threads: no state of its own; the service pointer is written once at start
// and only read afterwards. As thread-safe as the server's service.
//
// REQUIRES (every function that reaches the service): the module entry has
// bound the locale service; as in the server, nothing tests for it. Only
// STR_piGetInfoLocale and STR_nGetCurrentCodePage answer without it (null and
// 0); STR_nCmpLogiqueAnsiFast, OptionVX2FlagSTR and the numeric-aware
// comparison without 0x20000000 never reach it.
#ifndef KQ230_CORE_LOCALE_COMPARE_H_
#define KQ230_CORE_LOCALE_COMPARE_H_

#include "kq230/host_services.h"

// Mapping and comparison flags.
inline constexpr unsigned int STR_FLAG_UPPER = 0x00000001;
inline constexpr unsigned int STR_FLAG_NO_ACCENT = 0x00000002;
inline constexpr unsigned int STR_FLAG_NO_PUNCT = 0x00000004;
inline constexpr unsigned int STR_FLAG_LOWER = 0x00000100;
inline constexpr unsigned int STR_FLAG_CURRENT_LCID = 0x10000000;
inline constexpr unsigned int STR_FLAG_LEXICO = 0x20000000;
inline constexpr unsigned int STR_FLAG_ANSI = 0x40000000;
// Upper case without accents: the standard form used for loose matching.
inline constexpr unsigned int STR_MAP_STANDARD = STR_FLAG_UPPER | STR_FLAG_NO_ACCENT;

// Fixed locale ids.
inline constexpr unsigned int STR_LCID_USER_DEFAULT = 1024;
inline constexpr unsigned int STR_LCID_FRENCH = 1036;

// String-comparison options of the language (last argument of
// STR_ChaineCompareW/A).
inline constexpr int STR_OPT_TRIM = 0x001;         // blanks (9..13, 32) at both ends
inline constexpr int STR_OPT_NO_PUNCT = 0x002;     // mapping flag 0x4
inline constexpr int STR_OPT_NO_ACCENT = 0x004;    // mapping flag 0x2
inline constexpr int STR_OPT_LEXICO = 0x008;       // the locale's order, not byte-wise
inline constexpr int STR_OPT_IGNORE_CASE = 0x010;  // mapping flag 0x1 (also 0x020)
inline constexpr int STR_OPT_IGNORE_CASE2 = 0x020;
inline constexpr int STR_OPT_LOWER = 0x040;        // mapping flag 0x100, wins over 0x010/0x020
inline constexpr int STR_OPT_NUMERIC = 0x080;      // runs of digits compare by value
inline constexpr int STR_OPT_NO_INNER_SPACE = 0x100;

// ---------------------------------------------------------------------------
// The server's locale state

// The bound service itself; null before the binding.
IInfoLocale* STR_piGetInfoLocale();
// The current character set; 127 ("none") is reported as 0.
int STR_nGetCurrentChangeCharset();
// The current character set as the service gives it (127 stays 127).
int STR_nGetCurrentChangeCharsetInterne();
// The current code page; 0 while no service is bound.
int STR_nGetCurrentCodePage();
unsigned int STR_nGetCurrentLCID();
unsigned int STR_nGetSafeCurrentLCID();

// ---------------------------------------------------------------------------
// Case mapping in place. Each character is mapped on its own and replaced by
// the first character of its image, so the length never changes. 8-bit texts
// use locale id 1024; wide texts the current locale. A null text, an empty
// text or a count of 0 changes nothing. The 8-bit forms map bytes as
// characters only in a single-byte code page: in a UTF-8 current code page
// they leave bytes from 0x80 alone, and in a double-byte one (932, 936, 949,
// 950, 1361, 20932, 51949, 54936) a byte from 0x80 and the byte after it,
// since a piece of a character mapped alone would come back as another one.

void STR_ToUpper(char* psz);
void STR_ToUpperBuff(char* p, unsigned int n);
void STR_ToLower(char* psz);
void STR_ToLowerBuff(char* p, unsigned int n);
void STR_ToUpper(wchar_t* psz);
void STR_ToUpperBuff(wchar_t* p, unsigned int n);
void STR_ToLower(wchar_t* psz);
void STR_ToLowerBuff(wchar_t* p, unsigned int n);

// ---------------------------------------------------------------------------
// Mapping of texts and characters. Results are the service's: the count of
// characters written (terminator not counted), or without output (null, size
// 0) the count it would write.

// Locale id 1036, or the current one under 0x10000000 (then cleared). The
// output may be the input (in-place mapping).
int STR_nMapStringEx(unsigned int dwFlags, char* pszOut, unsigned int nOutSize,
                     const char* pszIn, int nInLength);
int STR_nMapStringEx(unsigned int dwFlags, wchar_t* pszOut, unsigned int nOutSize,
                     const wchar_t* pszIn, int nInLength);
// The given locale id; flags passed as they are.
int STR_nMapStringEx_LCID(unsigned int nLCID, unsigned int dwFlags, char* pszOut,
                          unsigned int nOutSize, const char* pszIn, int nInLength);
int STR_nMapStringEx_LCID(unsigned int nLCID, unsigned int dwFlags, wchar_t* pszOut,
                          unsigned int nOutSize, const wchar_t* pszIn, int nInLength);
// The locale id of a character set (wGetLanguageID); flags passed as they are.
int STR_nMapStringEx_Charset(unsigned int nCharset, unsigned int dwFlags, char* pszOut,
                             unsigned int nOutSize, const char* pszIn, int nInLength);
int STR_nMapStringEx_Charset(unsigned int nCharset, unsigned int dwFlags, wchar_t* pszOut,
                             unsigned int nOutSize, const wchar_t* pszIn, int nInLength);
// The buffer size (terminator included) that mapping in needs: the service's
// count with locale id 1036 and no output, plus 1. Flags passed unchanged.
int STR_nGetMapStringLenEx(unsigned int dwFlags, const char* pszIn, int nInLength);
int STR_nGetMapStringLenEx(unsigned int dwFlags, const wchar_t* pszIn, int nInLength);
// Allocates the mapped form of a terminated text (XMALLOC_pNew_) into *ppOut
// and answers STR_nMapStringEx's result; 0 and *ppOut null when the
// allocation fails. The caller frees *ppOut with XMALLOC_Del_.
int STR_nCreateMapString(unsigned int dwFlags, char** ppOut, const char* pszIn);
int STR_nCreateMapString(unsigned int dwFlags, wchar_t** ppOut, const wchar_t* pszIn);
// The 8-bit sort key (bytes whose memcmp order is the locale's order), with
// locale id 1036, or the current locale id when bCurrent is non-zero.
int STR_MapStringSortEx(char* pszOut, unsigned int nOutSize, const char* pszIn, int nInLength,
                        int bCurrent);
int STR_MapStringSortEx_Charset(unsigned int nCharset, char* pszOut, unsigned int nOutSize,
                                const char* pszIn, int nInLength);
// One character mapped with locale id 1036 (current under 0x10000000); the
// first character of its image goes to *pOut when pOut is not null. Answers
// the service's result (0: the character was dropped).
int STR_nMapCharEx(unsigned int dwFlags, wchar_t* pOut, wchar_t c);
int STR_nMapCharEx(unsigned int dwFlags, char* pOut, char c);
int STR_nMapCharExANSI(unsigned int dwFlags, char* pOut, char c);
// STR_nMapCharEx with flags 3 (upper case, no accent), locale id 1036.
int STR_nMapCharIgnoreCaseAccent(wchar_t* pOut, wchar_t c);
// True when c is white space or punctuation: mapping flag 0x4 drops it
// (locale id 1036 for 8-bit, 1024 for wide).
bool STR_bWhiteCharOrPunctA(char c);
bool STR_bWhiteCharOrPunctW(wchar_t c);

// ---------------------------------------------------------------------------
// Comparisons through the service: negative, zero or positive as it answers,
// unless stated.

// Locale id 1024; under 0x10000000 the current locale (flag cleared).
int STR_nCompareW(const wchar_t* pszA, const wchar_t* pszB, unsigned int dwFlags = 0);
// As STR_nCompareW over 8-bit texts, with 0x40000000 added.
int STR_nCompareA(const char* pszA, const char* pszB, unsigned int dwFlags = 0);
// The same ignoring case (flags | 0x1).
int STR_nUpCompareW(const wchar_t* pszA, const wchar_t* pszB, unsigned int dwFlags = 0);
int STR_nUpCompareA(const char* pszA, const char* pszB, unsigned int dwFlags = 0);
// The same ignoring accents (flags | 0x2).
int STR_nAcCompare(const wchar_t* pszA, const wchar_t* pszB, unsigned int dwFlags = 0);
// Null sorts first: (null, null) 0, (null, x) -1, (x, null) 1; else
// STR_nCompareW.
int STR_nNullCompare(const wchar_t* pszA, const wchar_t* pszB, unsigned int dwFlags = 0);
// Null and "" are the same text: two such give 0, a non-empty a against a
// null b gives 1; otherwise STR_nCompareW (a null a is handed to the service,
// which reads it as "").
int STR_nEmptyNullCompare(const wchar_t* pszA, const wchar_t* pszB, unsigned int dwFlags = 0);
// One character each in the locale's lexicographic order (flags | 0x20000000);
// locale id 1024 for wide, 1036 for 8-bit, current under 0x10000000.
int STR_nCompareCharLexicoW(wchar_t a, wchar_t b, unsigned int dwFlags);
int STR_nCompareCharLexicoA(char a, char b, unsigned int dwFlags);
// Counted texts in the locale's lexicographic order; locale id 1024 (current
// under 0x10000000).
int STR_nCompareStringLexicoW(const wchar_t* pszA, int nA, const wchar_t* pszB, int nB,
                              unsigned int dwFlags);
// One character each ignoring case and accents (flags 3); locale id 1024 for
// wide, 1036 for 8-bit.
int STR_nCompareCharSoupleW(wchar_t a, wchar_t b);
int STR_nCompareCharSoupleA(char a, char b);
// Counted comparison with locale id 1036 (current under 0x10000000): 1 when a
// is less, 2 when equal, 3 when greater.
template <class T>
int __STR_CompareStringEx(unsigned int dwFlags, const T* pszA, int nA, const T* pszB, int nB);
// At most n characters of each text (each bounded by its terminator; a null
// text is empty); locale id 1036 (current under 0x10000000); -1, 0 or 1.
template <class T>
int STR_nNCompare(const T* pszA, const T* pszB, int n, unsigned int dwFlags);
// The null handling of STR_nNullCompare, then STR_nNCompare.
int STR_nNullNCompare(const wchar_t* pszA, const wchar_t* pszB, int n, unsigned int dwFlags);
int STR_nNullNCompare(const char* pszA, const char* pszB, int n, unsigned int dwFlags);
// True when text starts with prefix ignoring case and accents.
bool STR_bDebut(const wchar_t* pszPrefix, const wchar_t* pszText);

// ---------------------------------------------------------------------------
// Comparisons computed here

// Two CP1252 texts through a fixed table of upper-case letters without accent
// (so "é" equals "E"); -1, 0 or 1. Does not call the service.
// REQUIRES: both texts non-null and terminated.
int STR_nCmpLogiqueAnsiFast(const char* pszA, const char* pszB);

// Numeric-aware comparison of counted texts: runs of digits compare by value;
// when everything is equal, the text whose first differing run had the extra
// leading zeros comes first ("x007" < "x7"). 0x20000000 compares the other
// characters in the locale's lexicographic order (0x10000000: current
// locale); without it they compare by code unit. The 8-bit form reads its
// texts in the server's current code page for the lexicographic order.
// REQUIRES: each text holds at least its count of units.
int STR_nCompareRespecteNumeriqueW(const wchar_t* pszA, unsigned int nA, const wchar_t* pszB,
                                   unsigned int nB, unsigned int dwFlags);
int STR_nCompareRespecteNumeriqueA(const char* pszA, unsigned int nA, const char* pszB,
                                   unsigned int nB, unsigned int dwFlags);

// The mapping flags of the language's comparison options: 0x002 -> 0x4,
// 0x004 -> 0x2, 0x040 -> 0x100, 0x010 or 0x020 -> 0x1 unless 0x040 is set.
unsigned int OptionVX2FlagSTR(int nOptions);

// The prepared form of a text under the language's options (trim, mapping in
// the current locale, inner white space removed), written into out and
// terminated; answers its length. inLength -1: up to the terminator.
// REQUIRES: out holds outSize units, outSize >= 1.
int STR_PrepareChaineW(int nOptions, const wchar_t* pszIn, int nInLength, wchar_t* pszOut,
                       int nOutSize);
int STR_PrepareChaineA(int nOptions, const char* pszIn, int nInLength, char* pszOut,
                       int nOutSize);

// Comparison under the language's options; negative, zero or positive.
// Lengths -1: up to the terminator. Each text is prepared into a work area of
// its length + 1 characters (twice its length + 1 when the options map it,
// since a mapping may double a character); work areas up to 16384 bytes lie in
// automatic storage, and a text whose work area cannot be had compares as
// empty. With 0x008 alone, the 8-bit form compares byte by byte in a
// single-byte current code page and character by character otherwise.
int STR_ChaineCompareW(const wchar_t* pszA, int nA, const wchar_t* pszB, int nB, int nOptions);
int STR_ChaineCompareA(const char* pszA, int nA, const char* pszB, int nB, int nOptions);

#endif  // KQ230_CORE_LOCALE_COMPARE_H_
