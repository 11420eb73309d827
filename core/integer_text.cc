#include "core/integer_text.h"

#include <cwctype>

// ---------------------------------------------------------------------------
// Integer texts

namespace {

template <typename T>
T* WriteInteger(unsigned long long nMagnitude, bool bNegative, T* pszOut, int nRadix) {
  if (pszOut == nullptr) return pszOut;
  if (nRadix < 2 || nRadix > 36) {
    pszOut[0] = 0;
    return pszOut;
  }
  T acDigits[64];  // base 2 needs 64 digits at most
  int n = 0;
  const unsigned int nBase = static_cast<unsigned int>(nRadix);
  do {
    const unsigned int nDigit = static_cast<unsigned int>(nMagnitude % nBase);
    acDigits[n++] = static_cast<T>(nDigit < 10 ? '0' + nDigit : 'a' + nDigit - 10);
    nMagnitude /= nBase;
  } while (nMagnitude != 0);
  T* p = pszOut;
  if (bNegative) *p++ = static_cast<T>('-');
  while (n > 0) *p++ = acDigits[--n];
  *p = 0;
  return pszOut;
}

// The magnitude computed in the unsigned type, so that the most negative
// value has one.
template <typename T>
T* WriteSigned(long long nValue, T* pszOut, int nRadix) {
  const bool bNegative = nValue < 0;
  const unsigned long long nMagnitude =
      bNegative ? 0ULL - static_cast<unsigned long long>(nValue) : static_cast<unsigned long long>(nValue);
  return WriteInteger(nMagnitude, bNegative, pszOut, nRadix);
}

}  // namespace

char* ui64toa(unsigned long long nValue, char* pszOut, int nRadix) {
  return WriteInteger(nValue, false, pszOut, nRadix);
}
char* i64toa(long long nValue, char* pszOut, int nRadix) {
  return WriteSigned(nValue, pszOut, nRadix);
}
char* ultoa(unsigned long nValue, char* pszOut, int nRadix) {
  return WriteInteger(nValue, false, pszOut, nRadix);
}
char* ltoa(long nValue, char* pszOut, int nRadix) { return WriteSigned(nValue, pszOut, nRadix); }
char* itoa(int nValue, char* pszOut, int nRadix) { return WriteSigned(nValue, pszOut, nRadix); }
wchar_t* ui64tow(unsigned long long nValue, wchar_t* pszOut, int nRadix) {
  return WriteInteger(nValue, false, pszOut, nRadix);
}
wchar_t* i64tow(long long nValue, wchar_t* pszOut, int nRadix) {
  return WriteSigned(nValue, pszOut, nRadix);
}
wchar_t* ultow(unsigned long nValue, wchar_t* pszOut, int nRadix) {
  return WriteInteger(nValue, false, pszOut, nRadix);
}
wchar_t* ltow(long nValue, wchar_t* pszOut, int nRadix) {
  return WriteSigned(nValue, pszOut, nRadix);
}
wchar_t* itow(int nValue, wchar_t* pszOut, int nRadix) {
  return WriteSigned(nValue, pszOut, nRadix);
}

// ---------------------------------------------------------------------------
// Hexadecimal texts

namespace {

// The value of a hexadecimal digit; other characters count as 0 (for
// nGetEntierHexa4, which does not check them).
unsigned int nHexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return static_cast<unsigned int>(c - L'0');
  if (c >= L'a' && c <= L'f') return static_cast<unsigned int>(c - L'a' + 10);
  if (c >= L'A' && c <= L'F') return static_cast<unsigned int>(c - L'A' + 10);
  return 0;
}

}  // namespace

long long nGetEntierHexa(const wchar_t* psz, int& nCount) {
  nCount = 0;
  if (psz == nullptr) return 0;
  unsigned long long nValue = 0;  // unsigned: an overflow wraps
  // iswxdigit is true for the 22 ASCII digits and letters in every locale of
  // glibc; the range test keeps the digit values right whatever it answers.
  while (psz[nCount] != L'\0' && std::iswxdigit(static_cast<wint_t>(psz[nCount])) &&
         static_cast<unsigned int>(psz[nCount]) < 0x80) {
    nValue = nValue * 16 + nHexDigit(psz[nCount]);
    ++nCount;
  }
  return static_cast<long long>(nValue);
}

int nGetEntierHexa4(const wchar_t* psz) {
  if (psz == nullptr) return 0;
  int nValue = 0;
  // Four characters at most, but a terminator still ends the text: a short
  // text is never read past its end.
  for (int i = 0; i < 4 && psz[i] != L'\0'; ++i) nValue = nValue * 16 + static_cast<int>(nHexDigit(psz[i]));
  return nValue;
}
