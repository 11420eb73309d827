#include "core/string_templates.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "core/unicode.h"
#include "core/zstring.h"

// ---------------------------------------------------------------------------
// Creation

template <>
wchar_t* STRG_pszCreate<wchar_t>(unsigned int n) {
  return STR_pszCreateW(n);
}

template <>
char* STRG_pszCreate<char>(unsigned int n) {
  return STR_pszCreateA(n);
}

// ---------------------------------------------------------------------------
// Characters

template <>
int STRG_nGetChar<char, char>(FILE* pFile) {
  const int c = std::fgetc(pFile);
  return c == EOF ? -1 : c;
}

template <>
int STRG_nGetChar<wchar_t, wchar_t>(FILE* pFile) {
  const wint_t c = std::fgetwc(pFile);
  return c == WEOF ? -1 : static_cast<int>(c);
}

template <>
int STRG_nGetChar<wchar_t, unsigned short>(FILE* pFile) {
  unsigned char ab[2];
  for (unsigned char& b : ab) {
    const int c = std::fgetc(pFile);
    if (c == EOF) return -1;
    b = static_cast<unsigned char>(c);
  }
  unsigned short nUnit;
  std::memcpy(&nUnit, ab, sizeof(nUnit));  // the machine's byte order
  wchar_t c = 0;
  UTF16ToWideChar(&nUnit, 1, &c, 1);
  return static_cast<int>(c);
}

// ---------------------------------------------------------------------------
// Lines

namespace {

template <class T>
struct LineSteps;
// Wide buffers keep room for the character and a terminator; byte buffers
// for a byte and a terminator.
template <>
struct LineSteps<wchar_t> {
  static constexpr int kGrow = 256;
  static constexpr int kMinFree = 8;
};
template <>
struct LineSteps<char> {
  static constexpr int kGrow = 64;
  static constexpr int kMinFree = 2;
};

// Bytes of the file that one character of each reader takes, for files whose
// position cannot be told (pipes): exact for bytes and UTF-16 units, a count
// of characters for the C library's wide reader.
template <class U>
constexpr long kBytesPerChar = sizeof(U) == 2 ? 2 : 1;

}  // namespace

template <class T, class U>
int __STRG_nGetLine(T*& pBuffer, int& nSize, FILE* pFile) {
  constexpr int kGrow = LineSteps<T>::kGrow;
  constexpr int kMinFree = LineSteps<T>::kMinFree;
  if (pBuffer == nullptr) {
    pBuffer = static_cast<T*>(std::malloc(kGrow));
    if (pBuffer == nullptr) return STRG_GETLINE_NO_MEMORY;
    nSize = kGrow;
  }
  const long nStart = std::ftell(pFile);
  int nStored = 0;  // characters
  for (;;) {
    const int c = STRG_nGetChar<T, U>(pFile);
    if (c == -1) {
      if (nStored == 0) {
        if (nSize >= static_cast<int>(sizeof(T))) pBuffer[0] = 0;
        return -1;
      }
      break;
    }
    // nStored * sizeof(T) <= nSize always holds, so the difference is exact.
    if (nSize - nStored * static_cast<int>(sizeof(T)) < kMinFree) {
      void* p = nSize <= INT_MAX - kGrow ? std::realloc(pBuffer, size_t(nSize) + kGrow) : nullptr;
      if (p == nullptr) {
        // The caller keeps a terminated buffer of what was read.
        if (nSize - nStored * static_cast<int>(sizeof(T)) >= static_cast<int>(sizeof(T)))
          pBuffer[nStored] = 0;
        return STRG_GETLINE_NO_MEMORY;
      }
      pBuffer = static_cast<T*>(p);
      nSize += kGrow;
    }
    pBuffer[nStored++] = static_cast<T>(c);
    if (c == '\n') break;
  }
  pBuffer[nStored] = 0;
  const long nEnd = nStart < 0 ? -1 : std::ftell(pFile);
  const long nBytes = nEnd < 0 ? nStored * kBytesPerChar<U> : nEnd - nStart;
  return nBytes > INT_MAX ? INT_MAX : static_cast<int>(nBytes);
}

template int __STRG_nGetLine<wchar_t, wchar_t>(wchar_t*&, int&, FILE*);
template int __STRG_nGetLine<wchar_t, unsigned short>(wchar_t*&, int&, FILE*);
template int __STRG_nGetLine<char, char>(char*&, int&, FILE*);

template <>
int STRG_nGetLine<wchar_t>(wchar_t** ppBuffer, int* pnSize, FILE* pFile) {
  return __STRG_nGetLine<wchar_t, wchar_t>(*ppBuffer, *pnSize, pFile);
}

template <>
int STRG_nGetLine<char>(char** ppBuffer, int* pnSize, FILE* pFile) {
  return __STRG_nGetLine<char, char>(*ppBuffer, *pnSize, pFile);
}

// ---------------------------------------------------------------------------
// Printf length

namespace {

enum class Size { kDefault, kShort, kLong, k64 };

int64_t TextLength(const void* p, bool bWide) {
  if (p == nullptr) return 6;  // "(null)"
  return bWide ? static_cast<int64_t>(std::wcslen(static_cast<const wchar_t*>(p)))
               : static_cast<int64_t>(std::strlen(static_cast<const char*>(p)));
}

int64_t Larger(int64_t a, int64_t b) { return a > b ? a : b; }

// Digits of a width or precision, kept from growing past what an int holds.
template <class T>
int64_t ReadCount(const T*& p) {
  int64_t n = 0;
  while (*p >= '0' && *p <= '9') {
    n = n * 10 + (*p++ - '0');
    if (n > INT_MAX) n = INT_MAX;
  }
  return n;
}

}  // namespace

// Where this bound is looser than the plain rule, it is because the plain
// rule fell short of what glibc writes: a null "%S" prints "(null)"; a wide
// text or character in 8-bit output takes up to MB_CUR_MAX bytes a
// character; a sign and the digits of a number come on top of its precision;
// and a floating-point value with a large precision has that many digits after
// up to 309 before the point. "E", "F", "a" and "A" are floating-point
// conversions too: skipping their argument would misread every later one.
template <class T>
int STRG_nCalculeLongueurPrintf(const T* pszFormat, va_list args) {
  if (pszFormat == nullptr) return 0;
  constexpr bool kWide = sizeof(T) == sizeof(wchar_t);
  constexpr int64_t kPlain = kWide ? 4 : 1;
  const int64_t nWideInNarrow = kWide ? 1 : Larger(static_cast<int64_t>(MB_CUR_MAX), 1);
  va_list ap;
  va_copy(ap, args);
  int64_t nTotal = 0;
  const T* p = pszFormat;
  while (*p != 0 && nTotal < INT_MAX) {
    if (*p != '%') {
      nTotal += kPlain;
      ++p;
      continue;
    }
    ++p;
    if (*p == '%') {
      nTotal += kPlain;
      ++p;
      continue;
    }
    int64_t nWidth = 0;
    int64_t nPrecision = -1;
    int64_t nExtra = 0;
    for (;; ++p) {
      if (*p == ' ' || *p == '+' || *p == '-' || *p == '0') continue;
      if (*p == '#') {
        nExtra += 2;
        continue;
      }
      break;
    }
    if (*p == '*') {
      const int n = va_arg(ap, int);
      nWidth = n < 0 ? -static_cast<int64_t>(n) : n;  // a negative width left-justifies
      ++p;
    } else {
      nWidth = ReadCount(p);
    }
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        const int n = va_arg(ap, int);
        nPrecision = n < 0 ? -1 : n;  // a negative precision is none
        ++p;
      } else {
        nPrecision = ReadCount(p);
      }
    }
    Size eSize = Size::kDefault;
    if (*p == 'F' || *p == 'L' || *p == 'N') {
      ++p;
    } else if (*p == 'h') {
      eSize = Size::kShort;
      ++p;
    } else if (*p == 'l') {
      ++p;
      eSize = Size::kLong;
      if (*p == 'l') {
        eSize = Size::k64;
        ++p;
      }
    } else if (*p == 'I') {
      ++p;
      if (p[0] == '6' && p[1] == '4') {
        eSize = Size::k64;
        p += 2;
      } else if (p[0] == '3' && p[1] == '2') {
        p += 2;
      }
    }
    const T c = *p;
    if (c == 0) break;
    ++p;
    const int64_t nPrecisionOrZero = nPrecision < 0 ? 0 : nPrecision;
    int64_t nAmount = 0;
    switch (c) {
      case 'c':
      case 'C': {
        if (eSize == Size::k64) break;
        (void)va_arg(ap, int);
        bool bWide = (c == 'c') == kWide;
        if (eSize == Size::kShort) bWide = false;
        if (eSize == Size::kLong) bWide = true;
        nAmount = Larger(nWidth, bWide ? Larger(2, nWideInNarrow) : 2);
        break;
      }
      case 's':
      case 'S': {
        if (eSize == Size::k64) break;
        const void* pText = va_arg(ap, const void*);
        bool bWide = (c == 's') == kWide;
        if (eSize == Size::kShort) bWide = false;
        if (eSize == Size::kLong) bWide = true;
        int64_t nLength = TextLength(pText, bWide);
        if (nLength == 0) nLength = 1;
        if (bWide) nLength *= nWideInNarrow;
        if (nPrecision >= 0 && nLength > nPrecision) nLength = nPrecision;
        nAmount = Larger(nWidth, nLength);
        break;
      }
      case 'e':
      case 'E':
      case 'f':
      case 'F':
      case 'g':
      case 'G':
      case 'a':
      case 'A':
        (void)va_arg(ap, double);
        nAmount = Larger(nWidth + nPrecisionOrZero, 512 + nPrecisionOrZero);
        break;
      case 'd':
      case 'i':
      case 'o':
      case 'u':
      case 'x':
      case 'X':
        if (eSize == Size::k64) {
          (void)va_arg(ap, long long);
        } else {
          (void)va_arg(ap, int);
        }
        nAmount = Larger(nWidth + nPrecisionOrZero, 32 + nPrecisionOrZero);
        break;
      case 'p':
        (void)va_arg(ap, void*);
        nAmount = Larger(nWidth + nPrecisionOrZero, 32 + nPrecisionOrZero);
        break;
      case 'n':
        (void)va_arg(ap, int*);
        break;
      default:
        break;
    }
    nTotal += nAmount + nExtra;
  }
  va_end(ap);
  return nTotal > INT_MAX ? INT_MAX : static_cast<int>(nTotal);
}

template int STRG_nCalculeLongueurPrintf<char>(const char*, va_list);
template int STRG_nCalculeLongueurPrintf<wchar_t>(const wchar_t*, va_list);
