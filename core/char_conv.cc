#include "core/char_conv.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <type_traits>

#include "core/locale_compare.h"
#include "core/unicode.h"
#include "core/xmalloc.h"
#include "core/codepage_conversion.h"
#include "core/cp1252_table.h"

namespace {

using kq230::cp1252::Cp1252ToWide;
using kq230::cp1252::WideToCp1252;

constexpr unsigned int kCodePageUtf8 = 65001;
constexpr unsigned int kCodePageWestern = 1252;

// Code pages that are CP1252 by the framework's conventions and whose
// conversion is therefore the table's, whatever road it takes.
inline bool IsWestern(unsigned int nCodePage) { return nCodePage == kCodePageWestern || nCodePage == 0; }

inline bool IsDigit(unsigned int c) { return c >= '0' && c <= '9'; }

template <typename T>
int BeginsWithRtf(const T* s) {
  if (!s) return 0;
  // "{\rtf" then "1" or "{", letters in any case.
  static const char kPrefix[] = "{\\rtf";
  for (int i = 0; i < 5; ++i) {
    unsigned int c = static_cast<unsigned int>(s[i]);
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    if (c != static_cast<unsigned char>(kPrefix[i])) return 0;
  }
  return s[5] == '1' || s[5] == '{';
}

template <typename T>
int HoldsNothingReadable(const T* s) {
  if (!s) return 1;
  for (; *s; ++s) {
    unsigned int c = static_cast<unsigned int>(static_cast<std::make_unsigned_t<T>>(*s));
    if (c != 9 && c != 10 && c != 13 && c != 32) return 0;
  }
  return 1;
}

template <typename T>
int BoundedLength(const T* s, int nMax) {
  if (!s || nMax <= 0) return 0;
  int n = 0;
  while (n < nMax && s[n]) ++n;
  return n;
}

// Allocates a buffer of nUnits + 1 units (null when the size would wrap or
// memory is out).
template <typename T>
T* NewUnits(size_t nUnits) {
  if (nUnits >= (UINT_MAX - 16) / sizeof(T)) return nullptr;
  return static_cast<T*>(XMALLOC_pNew_(static_cast<unsigned>((nUnits + 1) * sizeof(T))));
}

inline int Fail(wchar_t** ppOut, int* pnOutLength) {
  *ppOut = nullptr;
  if (pnOutLength) *pnOutLength = 0;
  return 0;
}

inline int Fail(char** ppOut, int* pnOutLength) {
  *ppOut = nullptr;
  if (pnOutLength) *pnOutLength = 0;
  return 0;
}

// Gives back a result buffer that is much larger than its text. Only worth a
// call when the slack is large: a shrinking realloc is cheap but not free.
template <typename T>
T* TrimSlack(T* p, size_t nUsed, size_t nAllocated) {
  size_t nSlackBytes = (nAllocated - nUsed) * sizeof(T);
  if (nSlackBytes < 4096 || nSlackBytes < nAllocated * sizeof(T) / 4) return p;
  T* q = static_cast<T*>(XMALLOC_pResize_(p, static_cast<unsigned>((nUsed + 1) * sizeof(T))));
  return q ? q : p;
}

// UTF-8 of wide text for the round of __STR_WCharToChar: as iconv writes it,
// with surrogates and values past U+10FFFF replaced by "?" (a database would
// refuse the 3-byte form of a surrogate).
inline size_t Utf8StrictLength(wchar_t c) {
  uint32_t u = static_cast<uint32_t>(c);
  if (u < 0x80) return 1;
  if (u < 0x800) return 2;
  if (u >= 0xD800 && u <= 0xDFFF) return 1;
  if (u < 0x10000) return 3;
  return u <= 0x10FFFF ? 4 : 1;
}

}  // namespace

// ---------------------------------------------------------------------------
// Character and text tests.

int bEstUnChiffreA(char c) { return IsDigit(static_cast<unsigned char>(c)); }
int bEstUnChiffreW(wchar_t c) { return IsDigit(static_cast<unsigned int>(c)); }
int nGetChiffre(wchar_t c) { return static_cast<int>(c) - 48; }

int bEstUnNombreEntierNaturel(const wchar_t* s) {
  if (!s) return 1;
  for (; *s; ++s)
    if (!IsDigit(static_cast<unsigned int>(*s))) return 0;
  return 1;
}

int bExtendedASCII(wchar_t c) { return static_cast<unsigned int>(c) > 127; }
int bMajusculeA(char c) { return c >= 'A' && c <= 'Z'; }
int bMajusculeW(wchar_t c) { return c >= L'A' && c <= L'Z'; }
int bMinusculeA(char c) { return c >= 'a' && c <= 'z'; }
int bMinusculeW(wchar_t c) { return c >= L'a' && c <= L'z'; }
int bUnprintable(wchar_t c) { return static_cast<unsigned int>(c) < 32; }

int bPonctuation(wchar_t c) {
  return (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 95);
}

int STR_bNeContientRienDeLisibleA(const char* s) { return HoldsNothingReadable(s); }
int STR_bNeContientRienDeLisibleW(const wchar_t* s) { return HoldsNothingReadable(s); }

int STR_bContainSpace(const wchar_t* s) { return s && wcschr(s, L' ') != nullptr; }

int bEstDuTexteRTF(const char* s) { return BeginsWithRtf(s); }
int bEstDuTexteRTF(const wchar_t* s) { return BeginsWithRtf(s); }
int bEstDuTexteRTFW(const wchar_t* s) { return BeginsWithRtf(s); }

int STR_bIsANSI7(const wchar_t* s) {
  if (!s) return 1;
  for (; *s; ++s)
    if (static_cast<unsigned int>(*s) > 127) return 0;
  return 1;
}

int STR_bIsANSI7(const wchar_t* s, unsigned int n) {
  if (!s) return 1;
  for (unsigned int i = 0; i < n && s[i]; ++i)
    if (static_cast<unsigned int>(s[i]) > 127) return 0;
  return 1;
}

int STR_bIsANSI7(char c) { return static_cast<unsigned char>(c) < 128; }

int STR_bIsCp1252(wchar_t c, unsigned char& b) {
  int n = WideToCp1252(c);
  if (n < 0) return 0;
  b = static_cast<unsigned char>(n);
  return 1;
}

int STR_bIsCp1252(wchar_t c) { return WideToCp1252(c) >= 0; }

int STR_bIsCp1252(const wchar_t* s) {
  if (!s) return 1;
  for (; *s; ++s)
    if (WideToCp1252(*s) < 0) return 0;
  return 1;
}

// ---------------------------------------------------------------------------
// Lengths.

int STR_nLenA(const char* s, int nMax) { return BoundedLength(s, nMax); }
int STR_nLenW(const wchar_t* s, int nMax) { return BoundedLength(s, nMax); }
int STR_nLen(const char* s, int nMax) { return BoundedLength(s, nMax); }
int STR_nLen(const wchar_t* s, int nMax) { return BoundedLength(s, nMax); }

int STR_nGetNbByteUTF8(unsigned char nLead) {
  if (nLead < 0x80) return 1;
  if (nLead < 0xE0) return 2;
  if (nLead < 0xF0) return 3;
  if (nLead < 0xF8) return 4;
  if (nLead < 0xFC) return 5;
  if (nLead < 0xFE) return 6;
  return 1;
}

// ---------------------------------------------------------------------------
// Single characters.

char STR_ToCP1252(wchar_t c, char cDefault, int* pbReplaced) {
  int n = WideToCp1252(c);
  if (n >= 0) return static_cast<char>(n);
  if (pbReplaced) *pbReplaced = 1;
  return cDefault;
}

char STR_ToAnsi7(wchar_t c, char cDefault) {
  return static_cast<unsigned int>(c) <= 127 ? static_cast<char>(c) : cDefault;
}

wchar_t STR_FromCP1252(char b) { return Cp1252ToWide(static_cast<unsigned char>(b)); }

wchar_t STR_FromAnsi7(char b, wchar_t cDefault) {
  return static_cast<unsigned char>(b) < 128 ? static_cast<wchar_t>(b) : cDefault;
}

char STR_WCharToAChar(wchar_t c, int nFlags, unsigned int nCodePage) {
  if (IsWestern(nCodePage)) {
    int n = WideToCp1252(c);
    return n >= 0 ? static_cast<char>(n) : '?';
  }
  char b = 0;
  if (WideCharToMultiByte(nCodePage, static_cast<unsigned>(nFlags), &c, 1, &b, 1, nullptr, nullptr) != 1)
    return 0;
  return b;
}

wchar_t STR_CharToWChar(char b, int nFlags, unsigned int nCodePage) {
  if (IsWestern(nCodePage)) return Cp1252ToWide(static_cast<unsigned char>(b));
  wchar_t c = 0;
  if (MultiByteToWideChar(nCodePage, static_cast<unsigned>(nFlags), &b, 1, &c, 1) != 1) return 0;
  return c;
}

wchar_t STR_CharToWChar_CurrentCharset(char b, int nFlags) {
  return STR_CharToWChar(b, nFlags, static_cast<unsigned>(STR_nGetCurrentCodePage()));
}

// ---------------------------------------------------------------------------
// Texts.

int STR_CP1252ToWideChar(const char* in, int nInLength, wchar_t* out, int outSize) {
  if (!in || nInLength == 0 || nInLength < -1) return 0;
  size_t nCount = nInLength == -1 ? strlen(in) + 1 : static_cast<size_t>(nInLength);
  if (outSize == 0 || !out) return nCount > INT_MAX ? INT_MAX : static_cast<int>(nCount);
  if (outSize < 0) return 0;
  size_t n = nCount < static_cast<size_t>(outSize) ? nCount : static_cast<size_t>(outSize);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(in);
  for (size_t i = 0; i < n; ++i) out[i] = Cp1252ToWide(p[i]);
  return static_cast<int>(n);
}

int __STR_CharToWChar(const char* in, int nInLength, unsigned int nCodePage, wchar_t** ppOut,
                      int* pnOutLength, int nFlags) {
  if (!in || nInLength == 0 || nInLength < -1) return Fail(ppOut, pnOutLength);
  // The terminator of a -1 text is not handed to the converter: it converts to
  // itself in every code page, and is written below.
  size_t nIn = nInLength == -1 ? strlen(in) : static_cast<size_t>(nInLength);
  if (nIn > INT_MAX) return Fail(ppOut, pnOutLength);
  wchar_t* pOut = nullptr;
  size_t nChars = 0;
  if (nIn == 0) {
    pOut = NewUnits<wchar_t>(0);
    if (!pOut) return Fail(ppOut, pnOutLength);
  } else if (IsWestern(nCodePage)) {
    pOut = NewUnits<wchar_t>(nIn);
    if (!pOut) return Fail(ppOut, pnOutLength);
    nChars = static_cast<size_t>(STR_CP1252ToWideChar(in, static_cast<int>(nIn), pOut, static_cast<int>(nIn)));
  } else {
    if (nCodePage == kCodePageUtf8) {
      // Well-formed UTF-8, the text of every fetched column: decoded here in
      // one pass into a buffer of the upper bound (a character per byte).
      // Anything else takes the emulation's road, which decides what malformed
      // text becomes.
      pOut = NewUnits<wchar_t>(nIn);
      if (!pOut) return Fail(ppOut, pnOutLength);
      int n = UTF8ToWideStrict(in, static_cast<int>(nIn), pOut, static_cast<int>(nIn));
      if (n >= 0) {
        nChars = static_cast<size_t>(n);
        pOut = TrimSlack(pOut, nChars, nIn + 1);
      } else {
        XMALLOC_Del_(pOut);
        pOut = nullptr;
      }
    }
    if (!pOut) {
      int nNeeded = MultiByteToWideChar(nCodePage, static_cast<unsigned>(nFlags), in, static_cast<int>(nIn),
                                        nullptr, 0);
      if (nNeeded <= 0) return Fail(ppOut, pnOutLength);
      pOut = NewUnits<wchar_t>(static_cast<size_t>(nNeeded));
      if (!pOut) return Fail(ppOut, pnOutLength);
      int n = MultiByteToWideChar(nCodePage, static_cast<unsigned>(nFlags), in, static_cast<int>(nIn), pOut,
                                  nNeeded);
      if (n <= 0) {
        XMALLOC_Del_(pOut);
        return Fail(ppOut, pnOutLength);
      }
      nChars = static_cast<size_t>(n);
    }
  }
  pOut[nChars] = 0;
  *ppOut = pOut;
  if (pnOutLength) *pnOutLength = static_cast<int>(nChars);
  return 1;
}

int STR_CharToWChar_AnyCodepage(const char* in, int nInLength, unsigned int nCodePage,
                                wchar_t** ppOut, int* pnOutLength, int nFlags) {
  if (nCodePage != kCodePageUtf8) nFlags |= 1;
  return __STR_CharToWChar(in, nInLength, nCodePage, ppOut, pnOutLength, nFlags);
}

int STR_CharToWChar_CurrentCharset(wchar_t** ppOut, const char* in, int nFlags, int nInLength) {
  if (!in) {
    *ppOut = nullptr;
    return 1;
  }
  return __STR_CharToWChar(in, nInLength, static_cast<unsigned>(STR_nGetCurrentCodePage()), ppOut, nullptr,
                           nFlags);
}

int STR_CharToWChar(wchar_t** ppOut, const char* in) {
  return __STR_CharToWChar(in, -1, kCodePageWestern, ppOut, nullptr, 9);
}

int __STR_WCharToChar(const wchar_t* in, int nInLength, char** ppOut, int* pnOutLength, int nCodePage) {
  if (!in || nInLength == 0 || nInLength < -1) return Fail(ppOut, pnOutLength);
  size_t nIn = nInLength == -1 ? wcslen(in) : static_cast<size_t>(nInLength);
  if (nIn > INT_MAX / 4) return Fail(ppOut, pnOutLength);
  unsigned int nCP = static_cast<unsigned int>(nCodePage);
  char* pOut = nullptr;
  size_t nBytes = 0;
  if (nIn == 0) {
    pOut = NewUnits<char>(0);
    if (!pOut) return Fail(ppOut, pnOutLength);
  } else if (IsWestern(nCP)) {
    pOut = NewUnits<char>(nIn);
    if (!pOut) return Fail(ppOut, pnOutLength);
    for (size_t i = 0; i < nIn; ++i) {
      int b = WideToCp1252(in[i]);
      pOut[i] = b >= 0 ? static_cast<char>(b) : '?';
    }
    nBytes = nIn;
  } else if (nCP == kCodePageUtf8) {
    for (size_t i = 0; i < nIn; ++i) nBytes += Utf8StrictLength(in[i]);
    pOut = NewUnits<char>(nBytes);
    if (!pOut) return Fail(ppOut, pnOutLength);
    char* o = pOut;
    for (size_t i = 0; i < nIn; ++i) {
      if (Utf8StrictLength(in[i]) == 1 && static_cast<uint32_t>(in[i]) >= 0x80)
        *o++ = '?';
      else
        o += UTF32ToUTF8(in[i], o);  // writes a terminator that the next one overwrites
    }
  } else {
    int nNeeded = WideCharToMultiByte(nCP, 0, in, static_cast<int>(nIn), nullptr, 0, nullptr, nullptr);
    if (nNeeded <= 0) return Fail(ppOut, pnOutLength);
    pOut = NewUnits<char>(static_cast<size_t>(nNeeded));
    if (!pOut) return Fail(ppOut, pnOutLength);
    int n = WideCharToMultiByte(nCP, 0, in, static_cast<int>(nIn), pOut, nNeeded, nullptr, nullptr);
    if (n <= 0) {
      XMALLOC_Del_(pOut);
      return Fail(ppOut, pnOutLength);
    }
    nBytes = static_cast<size_t>(n);
  }
  pOut[nBytes] = 0;
  *ppOut = pOut;
  if (pnOutLength) *pnOutLength = static_cast<int>(nBytes);
  return 1;
}

int STR_WCharToChar_AnyCodepage(const wchar_t* in, int nInLength, char** ppOut, int* pnOutLength,
                                int nCodePage) {
  return __STR_WCharToChar(in, nInLength, ppOut, pnOutLength, nCodePage);
}

int STR_WCharToChar_CurrentCharset(char** ppOut, const wchar_t* in, int nInLength) {
  return __STR_WCharToChar(in, nInLength, ppOut, nullptr, STR_nGetCurrentCodePage());
}

int STR_CharToChar_AnyCodepage(const char* in, int nInLength, int nFromCodePage, char** ppOut,
                               int* pnOutLength, int nToCodePage) {
  if (!in || nInLength < -1) return Fail(ppOut, pnOutLength);
  size_t nIn = nInLength == -1 ? strlen(in) : static_cast<size_t>(nInLength);
  if (nFromCodePage == nToCodePage || nIn == 0) {
    char* pOut = NewUnits<char>(nIn);
    if (!pOut) return Fail(ppOut, pnOutLength);
    memcpy(pOut, in, nIn);
    pOut[nIn] = 0;
    *ppOut = pOut;
    if (pnOutLength) *pnOutLength = static_cast<int>(nIn);
    return 1;
  }
  wchar_t* pWide = nullptr;
  int nWide = 0;
  if (!STR_CharToWChar_AnyCodepage(in, static_cast<int>(nIn), static_cast<unsigned>(nFromCodePage), &pWide,
                                   &nWide, 0))
    return Fail(ppOut, pnOutLength);
  int bOk = __STR_WCharToChar(pWide, nWide, ppOut, pnOutLength, nToCodePage);
  XMALLOC_Del_(pWide);
  return bOk;
}

int bAnsiCompatible(const wchar_t* s, unsigned int nCodePage) {
  if (!s || !*s) return 1;
  char* pBytes = nullptr;
  int nBytes = 0;
  if (!__STR_WCharToChar(s, -1, &pBytes, &nBytes, static_cast<int>(nCodePage))) return 0;
  wchar_t* pBack = nullptr;
  int nBack = 0;
  int bOk = __STR_CharToWChar(pBytes, nBytes, nCodePage, &pBack, &nBack, 9);
  XMALLOC_Del_(pBytes);
  if (!bOk) return 0;
  bOk = static_cast<size_t>(nBack) == wcslen(s) && wmemcmp(pBack, s, static_cast<size_t>(nBack)) == 0;
  XMALLOC_Del_(pBack);
  return bOk;
}

int bLatin1(const wchar_t* s) { return bAnsiCompatible(s, kCodePageWestern); }
