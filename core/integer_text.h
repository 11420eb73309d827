// Integer texts: the C runtime's integer-to-text functions (itoa and its
// family) in any base from 2 to 36, and the readers of hexadecimal texts.
// This is the framework's one integer writer: the number texts of
// core/unicode.h write through it too.
//
// Threads: pure functions of their arguments.
#ifndef KQ230_CORE_INTEGER_TEXT_H_
#define KQ230_CORE_INTEGER_TEXT_H_

// Integer texts, base 2 to 36, digits "0"-"9" then lower-case letters. The
// buffer must hold the digits, a sign and a terminator. The signed forms
// write "-" and the magnitude of a negative value (the most negative value
// included). Each answers the buffer; a base outside 2 to 36 writes "".
char* ui64toa(unsigned long long nValue, char* pszOut, int nRadix);
char* i64toa(long long nValue, char* pszOut, int nRadix);
char* ultoa(unsigned long nValue, char* pszOut, int nRadix);
char* ltoa(long nValue, char* pszOut, int nRadix);
char* itoa(int nValue, char* pszOut, int nRadix);
wchar_t* ui64tow(unsigned long long nValue, wchar_t* pszOut, int nRadix);
wchar_t* i64tow(long long nValue, wchar_t* pszOut, int nRadix);
wchar_t* ultow(unsigned long nValue, wchar_t* pszOut, int nRadix);
wchar_t* ltow(long nValue, wchar_t* pszOut, int nRadix);
wchar_t* itow(int nValue, wchar_t* pszOut, int nRadix);

// Reads hexadecimal digits (either case) as a 64-bit value, wrapping on
// overflow; nCount receives the number of digits read.
long long nGetEntierHexa(const wchar_t* psz, int& nCount);
// Exactly four characters read as hexadecimal digits, without checking them.
// REQUIRES: psz holds at least four characters.
int nGetEntierHexa4(const wchar_t* psz);

#endif  // KQ230_CORE_INTEGER_TEXT_H_
