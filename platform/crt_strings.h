// The C runtime's string functions that Windows offers and glibc does not:
// bounded lengths, case changes in place, fills, and a byte-pattern search.
//
// Threads: no state of their own; the case changes read the process locale.
#ifndef KQ230_PLATFORM_CRT_STRINGS_H_
#define KQ230_PLATFORM_CRT_STRINGS_H_

// The length up to the first zero, at most nMax; 0 when nMax is 0, the text
// is null or its first character is zero.
unsigned int xstrnlen(const char* psz, unsigned int nMax);
unsigned int xwcsnlen(const wchar_t* psz, unsigned int nMax);

// Case changes in place (toupper/tolower of each byte, towupper/towlower of
// each wide character, under the process locale); answer the string.
char* my_struprA(char* psz);
char* my_strlwrA(char* psz);
wchar_t* my_struprW(wchar_t* psz);
wchar_t* my_strlwrW(wchar_t* psz);

// Every character up to the terminator becomes c; answers psz.
wchar_t* wcsset(wchar_t* psz, wchar_t c);
// The same for at most n characters; nothing for n = 0, a null or an empty
// string. Answers psz.
wchar_t* wcsnset(wchar_t* psz, wchar_t c, unsigned int n);

// The first occurrence of the needle's bytes in the haystack; null when the
// needle is empty, or the haystack empty or shorter than the needle.
void* xmemmem(const void* pHaystack, unsigned int nHaystack, const void* pNeedle,
              unsigned int nNeedle);

#endif  // KQ230_PLATFORM_CRT_STRINGS_H_
