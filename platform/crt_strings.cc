#include "platform/crt_strings.h"

#include <cctype>
#include <cstring>
#include <cwctype>

// ---------------------------------------------------------------------------
// Bounded lengths, case, fills

unsigned int xstrnlen(const char* psz, unsigned int nMax) {
  if (psz == nullptr) return 0;
  unsigned int n = 0;
  while (n < nMax && psz[n] != '\0') ++n;
  return n;
}

unsigned int xwcsnlen(const wchar_t* psz, unsigned int nMax) {
  if (psz == nullptr) return 0;
  unsigned int n = 0;
  while (n < nMax && psz[n] != L'\0') ++n;
  return n;
}

char* my_struprA(char* psz) {
  if (psz == nullptr) return psz;
  for (char* p = psz; *p != '\0'; ++p)
    *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  return psz;
}

char* my_strlwrA(char* psz) {
  if (psz == nullptr) return psz;
  for (char* p = psz; *p != '\0'; ++p)
    *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
  return psz;
}

wchar_t* my_struprW(wchar_t* psz) {
  if (psz == nullptr) return psz;
  for (wchar_t* p = psz; *p != L'\0'; ++p) *p = static_cast<wchar_t>(std::towupper(*p));
  return psz;
}

wchar_t* my_strlwrW(wchar_t* psz) {
  if (psz == nullptr) return psz;
  for (wchar_t* p = psz; *p != L'\0'; ++p) *p = static_cast<wchar_t>(std::towlower(*p));
  return psz;
}

wchar_t* wcsset(wchar_t* psz, wchar_t c) {
  if (psz == nullptr) return psz;
  for (wchar_t* p = psz; *p != L'\0'; ++p) *p = c;
  return psz;
}

wchar_t* wcsnset(wchar_t* psz, wchar_t c, unsigned int n) {
  if (psz == nullptr) return psz;
  for (unsigned int i = 0; i < n && psz[i] != L'\0'; ++i) psz[i] = c;
  return psz;
}

// ---------------------------------------------------------------------------
// Byte search

void* xmemmem(const void* pHaystack, unsigned int nHaystack, const void* pNeedle,
              unsigned int nNeedle) {
  if (pHaystack == nullptr || pNeedle == nullptr || nNeedle == 0 || nHaystack < nNeedle)
    return nullptr;
  if (nNeedle == 1) {
    return const_cast<void*>(
        std::memchr(pHaystack, *static_cast<const unsigned char*>(pNeedle), nHaystack));
  }
  return memmem(pHaystack, nHaystack, pNeedle, nNeedle);
}

