#include "core/locale_compare.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "core/char_conv.h"
#include "core/module_entry.h"
#include "core/unicode.h"
#include "core/xmalloc.h"
#include "core/code_pages.h"
#include "core/codepage_conversion.h"

namespace {

constexpr int kCharsetNone = 127;
constexpr int kCodePageWestern = 1252;
constexpr int kCodePageUtf8 = 65001;

// The service is bound once at start; a null pointer here is a start that
// did not happen, and the call faults as it would in the server.
IInfoLocale* Locale() { return CInformationDLL::ms_piInfoLocale; }

// The fixed locale id, or the current one when the flags ask for it; the
// request bit itself is not the service's business.
unsigned int ResolveLCID(unsigned int nFixed, unsigned int* pdwFlags) {
  if ((*pdwFlags & STR_FLAG_CURRENT_LCID) == 0) return nFixed;
  *pdwFlags &= ~STR_FLAG_CURRENT_LCID;
  return Locale()->vnGetCurrentLCID();
}

int Sign(int n) { return (n > 0) - (n < 0); }

size_t BoundedLength(const char* psz, int nMax) {
  if (psz == nullptr || nMax <= 0) return 0;
  const void* pZero = std::memchr(psz, 0, static_cast<size_t>(nMax));
  return pZero == nullptr ? static_cast<size_t>(nMax)
                          : static_cast<size_t>(static_cast<const char*>(pZero) - psz);
}

size_t BoundedLength(const wchar_t* psz, int nMax) {
  if (psz == nullptr || nMax <= 0) return 0;
  return wcsnlen(psz, static_cast<size_t>(nMax));
}

size_t TextLength(const char* psz, int n) {
  if (psz == nullptr || n < -1) return 0;
  return n == -1 ? std::strlen(psz) : static_cast<size_t>(n);
}

size_t TextLength(const wchar_t* psz, int n) {
  if (psz == nullptr || n < -1) return 0;
  return n == -1 ? std::wcslen(psz) : static_cast<size_t>(n);
}

// How 8-bit text of a code page splits into characters. Only the grouping
// matters here; conversion is the code-page layer's business.
enum class eCodePageKind { kSingleByte, kUtf8, kDoubleByte };

eCodePageKind KindOf(int nCodePage) {
  switch (nCodePage) {
    case kCodePageUtf8:
      return eCodePageKind::kUtf8;
    case 932: case 936: case 949: case 950: case 1361:
    case 20932: case 51949: case 54936:
      return eCodePageKind::kDoubleByte;
    default:
      return eCodePageKind::kSingleByte;
  }
}

// A work area of n units: in automatic storage up to kInlineBytes, else from
// XMALLOC_pNew_. p() is null when the heap refused (or n cannot be sized).
template <class T, size_t kInlineBytes>
class CScratch {
 public:
  explicit CScratch(uint64_t nUnits) {
    if (nUnits <= kInlineUnits) {
      m_p = m_aInline;
    } else if (nUnits * sizeof(T) <= UINT_MAX) {
      m_p = static_cast<T*>(XMALLOC_pNew_(static_cast<unsigned int>(nUnits * sizeof(T))));
    }
  }
  ~CScratch() {
    if (m_p != m_aInline) XMALLOC_Del_(m_p);
  }
  CScratch(const CScratch&) = delete;
  CScratch& operator=(const CScratch&) = delete;

  T* p() const { return m_p; }

 private:
  static constexpr size_t kInlineUnits = kInlineBytes / sizeof(T);
  T m_aInline[kInlineUnits];
  T* m_p = nullptr;
};

// ---------------------------------------------------------------------------
// Case mapping in place

// Room for the two characters a character may become, and a terminator.
constexpr unsigned int kCharImageSize = 4;

void MapEachChar(char* p, size_t n, unsigned int dwFlags) {
  IInfoLocale* pLocale = Locale();
  // A byte of a multi-byte character is not a character: mapping it alone
  // would replace it by whatever the service makes of a fragment ('?').
  const eCodePageKind eKind = KindOf(pLocale->vnGetCurrentCodePage());
  for (size_t i = 0; i < n; ++i) {
    if (static_cast<unsigned char>(p[i]) >= 0x80 && eKind != eCodePageKind::kSingleByte) {
      if (eKind == eCodePageKind::kDoubleByte) ++i;  // its trail byte may look like ASCII
      continue;
    }
    char aImage[kCharImageSize] = {};
    if (pLocale->vnMapStringA(STR_LCID_USER_DEFAULT, dwFlags, p + i, 1, aImage, kCharImageSize) > 0)
      p[i] = aImage[0];
  }
}

void MapEachChar(wchar_t* p, size_t n, unsigned int dwFlags) {
  IInfoLocale* pLocale = Locale();
  for (size_t i = 0; i < n; ++i) {
    wchar_t aImage[kCharImageSize] = {};
    if (pLocale->vnMapStringCurrentW(dwFlags, aImage, kCharImageSize, p + i, 1) > 0)
      p[i] = aImage[0];
  }
}

// ---------------------------------------------------------------------------
// Byte-wise orders

// Wide characters compare as their 4-byte little-endian forms compared as
// memory, which is what the code this replaces did.
int CompareUnitBytes(wchar_t a, wchar_t b) {
  const auto x = static_cast<uint32_t>(a);
  const auto y = static_cast<uint32_t>(b);
  for (int nShift = 0; nShift < 32; nShift += 8) {
    const uint32_t bx = (x >> nShift) & 0xFF;
    const uint32_t by = (y >> nShift) & 0xFF;
    if (bx != by) return bx < by ? -1 : 1;
  }
  return 0;
}

int CompareUnitBytes(unsigned char a, unsigned char b) { return int(a) - int(b); }

template <class T>
int CompareBytewise(const T* pA, size_t nA, const T* pB, size_t nB) {
  const size_t n = nA < nB ? nA : nB;
  for (size_t i = 0; i < n; ++i) {
    const int nDiff = CompareUnitBytes(pA[i], pB[i]);
    if (nDiff != 0) return nDiff;
  }
  return (nA > nB) - (nA < nB);
}

// ---------------------------------------------------------------------------
// Numeric-aware comparison

template <class T>
bool IsDigit(T c) {
  return c >= T('0') && c <= T('9');
}

template <class T>
size_t DigitRun(const T* p, size_t n) {
  size_t i = 0;
  while (i < n && IsDigit(p[i])) ++i;
  return i;
}

template <class T>
size_t NonDigitRun(const T* p, size_t n) {
  size_t i = 0;
  while (i < n && !IsDigit(p[i])) ++i;
  return i;
}

// Two runs of digits by value; the tie records, once, which side carried the
// extra leading zeros.
template <class T>
int CompareDigitRuns(const T* pA, size_t nA, const T* pB, size_t nB, int* pnTie) {
  while (nA > nB) {
    if (*pA != T('0')) return 1;
    ++pA;
    --nA;
    if (*pnTie == 0) *pnTie = -1;
  }
  while (nB > nA) {
    if (*pB != T('0')) return -1;
    ++pB;
    --nB;
    if (*pnTie == 0) *pnTie = 1;
  }
  for (size_t i = 0; i < nA; ++i) {
    if (pA[i] != pB[i]) return pA[i] < pB[i] ? -1 : 1;
  }
  return 0;
}

// The walk shared by both widths. T is the unit the walk reads: wchar_t for
// wide texts and for 8-bit texts widened for the lexicographic order, unsigned
// char for 8-bit texts compared by byte value. Wide texts compare their runs
// of non-digits whole; 8-bit texts one character at a time.
template <class T>
int CompareNumericAware(const T* pA, size_t nA, const T* pB, size_t nB, unsigned int dwFlags,
                        bool bWholeRuns) {
  const bool bLexico = (dwFlags & STR_FLAG_LEXICO) != 0;
  int nTie = 0;
  size_t i = 0;
  size_t j = 0;
  for (;;) {
    if (j >= nB) return i < nA ? 1 : nTie;
    if (i >= nA) return -1;
    const size_t nDigitsA = DigitRun(pA + i, nA - i);
    const size_t nDigitsB = DigitRun(pB + j, nB - j);
    if (nDigitsA != 0 && nDigitsB != 0) {
      const int nResult = CompareDigitRuns(pA + i, nDigitsA, pB + j, nDigitsB, &nTie);
      if (nResult != 0) return nResult;
      i += nDigitsA;
      j += nDigitsB;
      continue;
    }
    if (nDigitsA != 0 || nDigitsB != 0 || !bWholeRuns) {
      // One side at a digit (always decides), or an 8-bit text's next pair.
      const int nResult =
          bLexico ? STR_nCompareCharLexicoW(static_cast<wchar_t>(pA[i]),
                                            static_cast<wchar_t>(pB[j]), dwFlags)
                  : CompareUnitBytes(pA[i], pB[j]);
      if (nResult != 0 || nDigitsA != 0 || nDigitsB != 0) return nResult;
      ++i;
      ++j;
      continue;
    }
    const size_t nRunA = NonDigitRun(pA + i, nA - i);
    const size_t nRunB = NonDigitRun(pB + j, nB - j);
    if (bLexico) {
      if constexpr (sizeof(T) == sizeof(wchar_t)) {
        const int nResult = STR_nCompareStringLexicoW(
            reinterpret_cast<const wchar_t*>(pA + i), static_cast<int>(nRunA),
            reinterpret_cast<const wchar_t*>(pB + j), static_cast<int>(nRunB), dwFlags);
        if (nResult != 0) return nResult;
      }
    } else {
      const int nResult = CompareBytewise(pA + i, nRunA, pB + j, nRunB);
      if (nResult != 0) return nResult;
    }
    i += nRunA;
    j += nRunB;
  }
}

// 8-bit text read in the current code page for the locale's order. The
// framework's own CP1252 table serves 1252, 0 and every code page that the
// conversion layer does not know, so that one byte means one character by
// every road; UTF-8 is read by the framework's lenient decoder (a malformed
// sequence is one "?"); other code pages go through the conversion layer, and
// through the CP1252 table when it cannot read the text.
class CWidened {
 public:
  CWidened(int nCodePage, const char* p, size_t n) : m_scratch(n) {
    wchar_t* pOut = m_scratch.p();
    if (pOut == nullptr || n == 0) return;
    if (n <= INT_MAX && !UsesFrameworkTable(nCodePage)) {
      const int nUnits = static_cast<int>(n);
      const int nWritten = nCodePage == kCodePageUtf8
                               ? nUTF8ToWide(pOut, nUnits, p, nUnits)
                               : MultiByteToWideChar(static_cast<unsigned int>(nCodePage), 0, p,
                                                     nUnits, pOut, nUnits);
      if (nWritten > 0 && static_cast<size_t>(nWritten) <= n) {
        m_nLength = static_cast<size_t>(nWritten);
        return;
      }
    }
    for (size_t i = 0; i < n; ++i) pOut[i] = STR_FromCP1252(p[i]);
    m_nLength = n;
  }

  // A text whose work area could not be had reads as empty.
  const wchar_t* p() const { return m_scratch.p() == nullptr ? L"" : m_scratch.p(); }
  size_t nLength() const { return m_nLength; }

  static bool UsesFrameworkTable(int nCodePage) {
    return nCodePage == 0 || nCodePage == kCodePageWestern ||
           std::strcmp(CodePageToIConv(nCodePage), "CP1252") == 0;
  }

 private:
  CScratch<wchar_t, 1024> m_scratch;
  size_t m_nLength = 0;
};

// ---------------------------------------------------------------------------
// Prepared form

bool IsBlank(unsigned int c) { return c == 32 || (c >= 9 && c <= 13); }

template <class T>
unsigned int Unit(T c) {
  if constexpr (sizeof(T) == 1)
    return static_cast<unsigned char>(c);
  else
    return static_cast<unsigned int>(c);
}

int MapCurrent(unsigned int dwFlags, char* pOut, int nOutSize, const char* pIn, int nIn) {
  return Locale()->vnPrepareStringA(dwFlags, pOut, static_cast<unsigned int>(nOutSize), pIn, nIn);
}

int MapCurrent(unsigned int dwFlags, wchar_t* pOut, int nOutSize, const wchar_t* pIn, int nIn) {
  return Locale()->vnMapStringCurrentW(dwFlags, pOut, static_cast<unsigned int>(nOutSize), pIn,
                                       nIn);
}

template <class T>
int PrepareText(int nOptions, const T* pIn, int nInLength, T* pOut, int nOutSize) {
  if (pOut == nullptr || nOutSize <= 0) return 0;
  size_t nBegin = 0;
  size_t nEnd = TextLength(pIn, nInLength);
  if ((nOptions & STR_OPT_TRIM) != 0) {
    while (nBegin < nEnd && IsBlank(Unit(pIn[nBegin]))) ++nBegin;
    while (nEnd > nBegin && IsBlank(Unit(pIn[nEnd - 1]))) --nEnd;
  }
  const size_t nRoom = static_cast<size_t>(nOutSize) - 1;
  size_t nLength = nEnd - nBegin;
  const unsigned int dwFlags = OptionVX2FlagSTR(nOptions);
  if (dwFlags != 0) {
    const int nMapped = nLength > INT_MAX ? 0
                        : MapCurrent(dwFlags, pOut, nOutSize, pIn + nBegin,
                                     static_cast<int>(nLength));
    // A service that answers the size it needed rather than what it wrote
    // must not make us read past the buffer.
    nLength = nMapped < 0 ? 0 : static_cast<size_t>(nMapped);
    if (nLength > nRoom) nLength = nRoom;
  } else {
    if (nLength > nRoom) nLength = nRoom;
    if (nLength != 0) std::memmove(pOut, pIn + nBegin, nLength * sizeof(T));
  }
  if ((nOptions & STR_OPT_NO_INNER_SPACE) != 0) {
    size_t nFirst = 0;
    while (nFirst < nLength && IsBlank(Unit(pOut[nFirst]))) ++nFirst;
    size_t nLast = nLength;
    while (nLast > nFirst && IsBlank(Unit(pOut[nLast - 1]))) --nLast;
    size_t nWrite = nFirst;
    for (size_t k = nFirst; k < nLast; ++k) {
      if (!IsBlank(Unit(pOut[k]))) pOut[nWrite++] = pOut[k];
    }
    for (size_t k = nLast; k < nLength; ++k) pOut[nWrite++] = pOut[k];
    nLength = nWrite;
  }
  pOut[nLength] = 0;
  return static_cast<int>(nLength);
}

// Prepared texts up to this size stay in automatic storage, so that ordinary
// comparisons do not allocate.
constexpr size_t kPreparedInlineBytes = 16384;

// The room a prepared text needs: a mapping may turn one character into two
// (upper-case ß is "SS"), and a buffer of the text's own length would cut the
// mapped text and make texts that differ only by case compare unequal.
uint64_t PreparedSize(int nOptions, size_t nLength) {
  return (OptionVX2FlagSTR(nOptions) != 0 ? 2 * uint64_t(nLength) : uint64_t(nLength)) + 1;
}

template <class T>
class CPrepared {
 public:
  CPrepared(int nOptions, const T* p, int n) : m_scratch(PreparedSize(nOptions, TextLength(p, n))) {
    const uint64_t nSize = PreparedSize(nOptions, TextLength(p, n));
    // A text whose work area cannot be had compares as empty.
    if (m_scratch.p() == nullptr || nSize > INT_MAX) return;
    m_nLength = static_cast<size_t>(
        PrepareText(nOptions, p, n, m_scratch.p(), static_cast<int>(nSize)));
  }

  const T* p() const { return m_scratch.p() == nullptr ? m_aEmpty : m_scratch.p(); }
  size_t nLength() const { return m_nLength; }

 private:
  CScratch<T, kPreparedInlineBytes> m_scratch;
  size_t m_nLength = 0;
  const T m_aEmpty[1] = {0};
};

// The locale's order, one 8-bit character at a time over the shorter text,
// then by length; in the current locale.
int CompareCharsLexico(const char* pA, size_t nA, const char* pB, size_t nB) {
  const int nCodePage = STR_nGetCurrentCodePage();
  if (KindOf(nCodePage) == eCodePageKind::kSingleByte) {
    const size_t n = nA < nB ? nA : nB;
    for (size_t i = 0; i < n; ++i) {
      const int nResult = STR_nCompareCharLexicoA(pA[i], pB[i], STR_FLAG_CURRENT_LCID);
      if (nResult != 0) return nResult;
    }
    return (nA > nB) - (nA < nB);
  }
  // A byte of a multi-byte character is no character to compare: read the
  // texts as the characters they hold.
  const CWidened a(nCodePage, pA, nA);
  const CWidened b(nCodePage, pB, nB);
  const size_t nWideA = a.nLength();
  const size_t nWideB = b.nLength();
  const size_t n = nWideA < nWideB ? nWideA : nWideB;
  for (size_t i = 0; i < n; ++i) {
    const int nResult = STR_nCompareCharLexicoW(a.p()[i], b.p()[i], STR_FLAG_CURRENT_LCID);
    if (nResult != 0) return nResult;
  }
  return (nWideA > nWideB) - (nWideA < nWideB);
}

// The images of STR_nCmpLogiqueAnsiFast: each byte to its upper-case
// letter without accent, in code page 1252.
struct CLogicalTable {
  unsigned char aImage[256];
  constexpr CLogicalTable() : aImage{} {
    for (int c = 0; c < 256; ++c) aImage[c] = static_cast<unsigned char>(c);
    auto Set = [this](int nFirst, int nLast, int nImage) {
      for (int c = nFirst; c <= nLast; ++c) aImage[c] = static_cast<unsigned char>(nImage);
    };
    for (int c = 97; c <= 122; ++c) aImage[c] = static_cast<unsigned char>(c - 32);
    Set(138, 138, 'S');  Set(154, 154, 'S');   // Š š
    Set(142, 142, 'Z');  Set(158, 158, 'Z');   // Ž ž
    Set(156, 156, 140);                        // œ -> Œ
    Set(159, 159, 'Y');  Set(221, 221, 'Y');   // Ÿ Ý
    Set(253, 253, 'Y');  Set(255, 255, 'Y');   // ý ÿ
    Set(192, 197, 'A');  Set(224, 229, 'A');
    Set(199, 199, 'C');  Set(231, 231, 'C');
    Set(200, 203, 'E');  Set(232, 235, 'E');
    Set(204, 207, 'I');  Set(236, 239, 'I');
    Set(209, 209, 'N');  Set(241, 241, 'N');
    Set(210, 214, 'O');  Set(216, 216, 'O');
    Set(242, 246, 'O');  Set(248, 248, 'O');
    Set(217, 220, 'U');  Set(249, 252, 'U');
    Set(230, 230, 198);                        // æ -> Æ
    Set(240, 240, 208);                        // ð -> Ð
    Set(254, 254, 222);                        // þ -> Þ
  }
};

constexpr CLogicalTable kLogicalTable;

}  // namespace

// ---------------------------------------------------------------------------
// The server's locale state

IInfoLocale* STR_piGetInfoLocale() { return Locale(); }

int STR_nGetCurrentChangeCharset() {
  const int nCharset = Locale()->vnGetCurrentCharset();
  return nCharset == kCharsetNone ? 0 : nCharset;
}

int STR_nGetCurrentChangeCharsetInterne() { return Locale()->vnGetCurrentCharset(); }

int STR_nGetCurrentCodePage() {
  IInfoLocale* pLocale = Locale();
  return pLocale == nullptr ? 0 : pLocale->vnGetCurrentCodePage();
}

unsigned int STR_nGetCurrentLCID() { return Locale()->vnGetCurrentLCID(); }

unsigned int STR_nGetSafeCurrentLCID() { return Locale()->vnGetSafeCurrentLCID(); }

// ---------------------------------------------------------------------------
// Case mapping in place

void STR_ToUpper(char* psz) {
  if (psz != nullptr) MapEachChar(psz, std::strlen(psz), STR_FLAG_UPPER);
}
void STR_ToUpperBuff(char* p, unsigned int n) {
  if (p != nullptr) MapEachChar(p, n, STR_FLAG_UPPER);
}
void STR_ToLower(char* psz) {
  if (psz != nullptr) MapEachChar(psz, std::strlen(psz), STR_FLAG_LOWER);
}
void STR_ToLowerBuff(char* p, unsigned int n) {
  if (p != nullptr) MapEachChar(p, n, STR_FLAG_LOWER);
}
void STR_ToUpper(wchar_t* psz) {
  if (psz != nullptr) MapEachChar(psz, std::wcslen(psz), STR_FLAG_UPPER);
}
void STR_ToUpperBuff(wchar_t* p, unsigned int n) {
  if (p != nullptr) MapEachChar(p, n, STR_FLAG_UPPER);
}
void STR_ToLower(wchar_t* psz) {
  if (psz != nullptr) MapEachChar(psz, std::wcslen(psz), STR_FLAG_LOWER);
}
void STR_ToLowerBuff(wchar_t* p, unsigned int n) {
  if (p != nullptr) MapEachChar(p, n, STR_FLAG_LOWER);
}

// ---------------------------------------------------------------------------
// Mapping of texts and characters

int STR_nMapStringEx(unsigned int dwFlags, char* pszOut, unsigned int nOutSize, const char* pszIn,
                     int nInLength) {
  const unsigned int nLCID = ResolveLCID(STR_LCID_FRENCH, &dwFlags);
  return Locale()->vnMapStringA(nLCID, dwFlags, pszIn, nInLength, pszOut, nOutSize);
}

int STR_nMapStringEx(unsigned int dwFlags, wchar_t* pszOut, unsigned int nOutSize,
                     const wchar_t* pszIn, int nInLength) {
  const unsigned int nLCID = ResolveLCID(STR_LCID_FRENCH, &dwFlags);
  return Locale()->vnMapStringW(nLCID, dwFlags, pszIn, nInLength, pszOut, nOutSize);
}

int STR_nMapStringEx_LCID(unsigned int nLCID, unsigned int dwFlags, char* pszOut,
                          unsigned int nOutSize, const char* pszIn, int nInLength) {
  return Locale()->vnMapStringA(nLCID, dwFlags, pszIn, nInLength, pszOut, nOutSize);
}

int STR_nMapStringEx_LCID(unsigned int nLCID, unsigned int dwFlags, wchar_t* pszOut,
                          unsigned int nOutSize, const wchar_t* pszIn, int nInLength) {
  return Locale()->vnMapStringW(nLCID, dwFlags, pszIn, nInLength, pszOut, nOutSize);
}

int STR_nMapStringEx_Charset(unsigned int nCharset, unsigned int dwFlags, char* pszOut,
                             unsigned int nOutSize, const char* pszIn, int nInLength) {
  return STR_nMapStringEx_LCID(wGetLanguageID(static_cast<int>(nCharset)), dwFlags, pszOut,
                               nOutSize, pszIn, nInLength);
}

int STR_nMapStringEx_Charset(unsigned int nCharset, unsigned int dwFlags, wchar_t* pszOut,
                             unsigned int nOutSize, const wchar_t* pszIn, int nInLength) {
  return STR_nMapStringEx_LCID(wGetLanguageID(static_cast<int>(nCharset)), dwFlags, pszOut,
                               nOutSize, pszIn, nInLength);
}

int STR_nGetMapStringLenEx(unsigned int dwFlags, const char* pszIn, int nInLength) {
  return Locale()->vnMapStringA(STR_LCID_FRENCH, dwFlags, pszIn, nInLength, nullptr, 0) + 1;
}

int STR_nGetMapStringLenEx(unsigned int dwFlags, const wchar_t* pszIn, int nInLength) {
  return Locale()->vnMapStringW(STR_LCID_FRENCH, dwFlags, pszIn, nInLength, nullptr, 0) + 1;
}

namespace {

template <class T>
int CreateMapString(unsigned int dwFlags, T** ppOut, const T* pszIn) {
  const int nSize = STR_nGetMapStringLenEx(dwFlags, pszIn, -1);
  T* p = nullptr;
  if (nSize > 0 && uint64_t(nSize) * sizeof(T) <= UINT_MAX)
    p = static_cast<T*>(XMALLOC_pNew_(static_cast<unsigned int>(nSize * sizeof(T))));
  *ppOut = p;
  if (p == nullptr) return 0;
  return STR_nMapStringEx(dwFlags, p, static_cast<unsigned int>(nSize), pszIn, -1);
}

}  // namespace

int STR_nCreateMapString(unsigned int dwFlags, char** ppOut, const char* pszIn) {
  return CreateMapString(dwFlags, ppOut, pszIn);
}

int STR_nCreateMapString(unsigned int dwFlags, wchar_t** ppOut, const wchar_t* pszIn) {
  return CreateMapString(dwFlags, ppOut, pszIn);
}

int STR_MapStringSortEx(char* pszOut, unsigned int nOutSize, const char* pszIn, int nInLength,
                        int bCurrent) {
  IInfoLocale* pLocale = Locale();
  const unsigned int nLCID = bCurrent != 0 ? pLocale->vnGetCurrentLCID() : STR_LCID_FRENCH;
  return pLocale->vnMapSortKeyA(nLCID, 0, pszIn, nInLength, pszOut, nOutSize);
}

int STR_MapStringSortEx_Charset(unsigned int nCharset, char* pszOut, unsigned int nOutSize,
                                const char* pszIn, int nInLength) {
  return Locale()->vnMapSortKeyA(wGetLanguageID(static_cast<int>(nCharset)), 0, pszIn, nInLength,
                                 pszOut, nOutSize);
}

int STR_nMapCharEx(unsigned int dwFlags, wchar_t* pOut, wchar_t c) {
  const unsigned int nLCID = ResolveLCID(STR_LCID_FRENCH, &dwFlags);
  wchar_t aImage[2] = {0, 0};
  const int nResult = Locale()->vnMapStringW(nLCID, dwFlags, &c, 1, aImage, 2);
  if (pOut != nullptr) *pOut = aImage[0];
  return nResult;
}

int STR_nMapCharEx(unsigned int dwFlags, char* pOut, char c) {
  const unsigned int nLCID = ResolveLCID(STR_LCID_FRENCH, &dwFlags);
  char aImage[2] = {0, 0};
  const int nResult = Locale()->vnMapStringA(nLCID, dwFlags, &c, 1, aImage, 2);
  if (pOut != nullptr) *pOut = aImage[0];
  return nResult;
}

int STR_nMapCharExANSI(unsigned int dwFlags, char* pOut, char c) {
  return STR_nMapCharEx(dwFlags, pOut, c);
}

int STR_nMapCharIgnoreCaseAccent(wchar_t* pOut, wchar_t c) {
  return STR_nMapCharEx(STR_MAP_STANDARD, pOut, c);
}

bool STR_bWhiteCharOrPunctA(char c) {
  char aImage[2] = {0, 0};
  const int nResult =
      Locale()->vnMapStringA(STR_LCID_FRENCH, STR_FLAG_NO_PUNCT, &c, 1, aImage, 2);
  return nResult == 0 || aImage[0] == 0;
}

bool STR_bWhiteCharOrPunctW(wchar_t c) {
  wchar_t aImage[2] = {0, 0};
  const int nResult =
      Locale()->vnMapStringW(STR_LCID_USER_DEFAULT, STR_FLAG_NO_PUNCT, &c, 1, aImage, 2);
  return nResult == 0 || aImage[0] == 0;
}

// ---------------------------------------------------------------------------
// Comparisons through the service

namespace {

int CompareCounted(unsigned int nFixedLCID, unsigned int dwFlags, const wchar_t* pA, int nA,
                   const wchar_t* pB, int nB) {
  if ((dwFlags & STR_FLAG_CURRENT_LCID) != 0)
    return Locale()->vnCompareCurrentW(dwFlags & ~STR_FLAG_CURRENT_LCID, pA, nA, pB, nB);
  return Locale()->vnCompareW(nFixedLCID, dwFlags, pA, nA, pB, nB);
}

int CompareCounted(unsigned int nFixedLCID, unsigned int dwFlags, const char* pA, int nA,
                   const char* pB, int nB) {
  if ((dwFlags & STR_FLAG_CURRENT_LCID) != 0)
    return Locale()->vnCompareCurrentA(dwFlags & ~STR_FLAG_CURRENT_LCID, pA, nA, pB, nB);
  return Locale()->vnCompareA(nFixedLCID, dwFlags, pA, nA, pB, nB);
}

}  // namespace

int STR_nCompareW(const wchar_t* pszA, const wchar_t* pszB, unsigned int dwFlags) {
  return CompareCounted(STR_LCID_USER_DEFAULT, dwFlags, pszA, -1, pszB, -1);
}

int STR_nCompareA(const char* pszA, const char* pszB, unsigned int dwFlags) {
  return CompareCounted(STR_LCID_USER_DEFAULT, dwFlags | STR_FLAG_ANSI, pszA, -1, pszB, -1);
}

int STR_nUpCompareW(const wchar_t* pszA, const wchar_t* pszB, unsigned int dwFlags) {
  return STR_nCompareW(pszA, pszB, dwFlags | STR_FLAG_UPPER);
}

int STR_nUpCompareA(const char* pszA, const char* pszB, unsigned int dwFlags) {
  return STR_nCompareA(pszA, pszB, dwFlags | STR_FLAG_UPPER);
}

int STR_nAcCompare(const wchar_t* pszA, const wchar_t* pszB, unsigned int dwFlags) {
  return STR_nCompareW(pszA, pszB, dwFlags | STR_FLAG_NO_ACCENT);
}

int STR_nNullCompare(const wchar_t* pszA, const wchar_t* pszB, unsigned int dwFlags) {
  if (pszA == nullptr || pszB == nullptr) return (pszA != nullptr) - (pszB != nullptr);
  return STR_nCompareW(pszA, pszB, dwFlags);
}

int STR_nEmptyNullCompare(const wchar_t* pszA, const wchar_t* pszB, unsigned int dwFlags) {
  const bool bEmptyA = pszA == nullptr || pszA[0] == 0;
  const bool bEmptyB = pszB == nullptr || pszB[0] == 0;
  if (bEmptyA && bEmptyB) return 0;
  if (!bEmptyA && pszB == nullptr) return 1;
  return STR_nCompareW(pszA, pszB, dwFlags);
}

int STR_nCompareCharLexicoW(wchar_t a, wchar_t b, unsigned int dwFlags) {
  return CompareCounted(STR_LCID_USER_DEFAULT, dwFlags | STR_FLAG_LEXICO, &a, 1, &b, 1);
}

int STR_nCompareCharLexicoA(char a, char b, unsigned int dwFlags) {
  return CompareCounted(STR_LCID_FRENCH, dwFlags | STR_FLAG_LEXICO, &a, 1, &b, 1);
}

int STR_nCompareStringLexicoW(const wchar_t* pszA, int nA, const wchar_t* pszB, int nB,
                              unsigned int dwFlags) {
  return CompareCounted(STR_LCID_USER_DEFAULT, dwFlags | STR_FLAG_LEXICO, pszA, nA, pszB, nB);
}

int STR_nCompareCharSoupleW(wchar_t a, wchar_t b) {
  return Locale()->vnCompareW(STR_LCID_USER_DEFAULT, STR_MAP_STANDARD, &a, 1, &b, 1);
}

int STR_nCompareCharSoupleA(char a, char b) {
  return Locale()->vnCompareA(STR_LCID_FRENCH, STR_MAP_STANDARD, &a, 1, &b, 1);
}

template <class T>
int __STR_CompareStringEx(unsigned int dwFlags, const T* pszA, int nA, const T* pszB, int nB) {
  return Sign(CompareCounted(STR_LCID_FRENCH, dwFlags, pszA, nA, pszB, nB)) + 2;
}
template int __STR_CompareStringEx<char>(unsigned int, const char*, int, const char*, int);
template int __STR_CompareStringEx<wchar_t>(unsigned int, const wchar_t*, int, const wchar_t*,
                                            int);

template <class T>
int STR_nNCompare(const T* pszA, const T* pszB, int n, unsigned int dwFlags) {
  const size_t nA = BoundedLength(pszA, n);
  const size_t nB = BoundedLength(pszB, n);
  return Sign(CompareCounted(STR_LCID_FRENCH, dwFlags, pszA, static_cast<int>(nA), pszB,
                             static_cast<int>(nB)));
}
template int STR_nNCompare<char>(const char*, const char*, int, unsigned int);
template int STR_nNCompare<wchar_t>(const wchar_t*, const wchar_t*, int, unsigned int);

int STR_nNullNCompare(const wchar_t* pszA, const wchar_t* pszB, int n, unsigned int dwFlags) {
  if (pszA == nullptr || pszB == nullptr) return (pszA != nullptr) - (pszB != nullptr);
  return STR_nNCompare(pszA, pszB, n, dwFlags);
}

int STR_nNullNCompare(const char* pszA, const char* pszB, int n, unsigned int dwFlags) {
  if (pszA == nullptr || pszB == nullptr) return (pszA != nullptr) - (pszB != nullptr);
  return STR_nNCompare(pszA, pszB, n, dwFlags);
}

bool STR_bDebut(const wchar_t* pszPrefix, const wchar_t* pszText) {
  const size_t nPrefix = pszPrefix == nullptr ? 0 : std::wcslen(pszPrefix);
  if (nPrefix > INT_MAX) return false;
  const int n = static_cast<int>(nPrefix);
  if (BoundedLength(pszText, n) < nPrefix) return false;
  return STR_nNCompare(pszPrefix, pszText, n, STR_MAP_STANDARD) == 0;
}

// ---------------------------------------------------------------------------
// Comparisons computed here

int STR_nCmpLogiqueAnsiFast(const char* pszA, const char* pszB) {
  const auto* pA = reinterpret_cast<const unsigned char*>(pszA == nullptr ? "" : pszA);
  const auto* pB = reinterpret_cast<const unsigned char*>(pszB == nullptr ? "" : pszB);
  for (;; ++pA, ++pB) {
    if (*pA == 0) return *pB == 0 ? 0 : -1;
    if (*pB == 0) return 1;
    const unsigned char a = kLogicalTable.aImage[*pA];
    const unsigned char b = kLogicalTable.aImage[*pB];
    if (a != b) return a < b ? -1 : 1;
  }
}

int STR_nCompareRespecteNumeriqueW(const wchar_t* pszA, unsigned int nA, const wchar_t* pszB,
                                   unsigned int nB, unsigned int dwFlags) {
  if (pszA == nullptr) nA = 0;
  if (pszB == nullptr) nB = 0;
  return CompareNumericAware(pszA, nA, pszB, nB, dwFlags, true);
}

int STR_nCompareRespecteNumeriqueA(const char* pszA, unsigned int nA, const char* pszB,
                                   unsigned int nB, unsigned int dwFlags) {
  if (pszA == nullptr) nA = 0;
  if (pszB == nullptr) nB = 0;
  if ((dwFlags & STR_FLAG_LEXICO) != 0) {
    // The locale orders characters, not bytes: the texts are read in their
    // code page before their characters go to the wide comparison.
    const int nCodePage = STR_nGetCurrentCodePage();
    const CWidened a(nCodePage, pszA, nA);
    const CWidened b(nCodePage, pszB, nB);
    return CompareNumericAware(a.p(), a.nLength(), b.p(), b.nLength(), dwFlags, false);
  }
  return CompareNumericAware(reinterpret_cast<const unsigned char*>(pszA), nA,
                             reinterpret_cast<const unsigned char*>(pszB), nB, dwFlags, false);
}

unsigned int OptionVX2FlagSTR(int nOptions) {
  unsigned int dwFlags = 0;
  if ((nOptions & STR_OPT_NO_PUNCT) != 0) dwFlags |= STR_FLAG_NO_PUNCT;
  if ((nOptions & STR_OPT_NO_ACCENT) != 0) dwFlags |= STR_FLAG_NO_ACCENT;
  if ((nOptions & STR_OPT_LOWER) != 0)
    dwFlags |= STR_FLAG_LOWER;
  else if ((nOptions & (STR_OPT_IGNORE_CASE | STR_OPT_IGNORE_CASE2)) != 0)
    dwFlags |= STR_FLAG_UPPER;
  return dwFlags;
}

int STR_PrepareChaineW(int nOptions, const wchar_t* pszIn, int nInLength, wchar_t* pszOut,
                       int nOutSize) {
  return PrepareText(nOptions, pszIn, nInLength, pszOut, nOutSize);
}

int STR_PrepareChaineA(int nOptions, const char* pszIn, int nInLength, char* pszOut,
                       int nOutSize) {
  return PrepareText(nOptions, pszIn, nInLength, pszOut, nOutSize);
}

int STR_ChaineCompareW(const wchar_t* pszA, int nA, const wchar_t* pszB, int nB, int nOptions) {
  const CPrepared<wchar_t> a(nOptions, pszA, nA);
  const CPrepared<wchar_t> b(nOptions, pszB, nB);
  const bool bLexico = (nOptions & STR_OPT_LEXICO) != 0;
  const bool bNumeric = (nOptions & STR_OPT_NUMERIC) != 0;
  const auto nLengthA = static_cast<unsigned int>(a.nLength());
  const auto nLengthB = static_cast<unsigned int>(b.nLength());
  if (bNumeric) {
    return STR_nCompareRespecteNumeriqueW(a.p(), nLengthA, b.p(), nLengthB,
                                          bLexico ? STR_FLAG_CURRENT_LCID | STR_FLAG_LEXICO : 0);
  }
  if (bLexico) {
    const unsigned int dwFlags =
        (static_cast<unsigned int>(nOptions) & 0x80000000u) | STR_FLAG_CURRENT_LCID;
    return STR_nCompareStringLexicoW(a.p(), static_cast<int>(nLengthA), b.p(),
                                     static_cast<int>(nLengthB), dwFlags);
  }
  return CompareBytewise(a.p(), a.nLength(), b.p(), b.nLength());
}

int STR_ChaineCompareA(const char* pszA, int nA, const char* pszB, int nB, int nOptions) {
  const CPrepared<char> a(nOptions, pszA, nA);
  const CPrepared<char> b(nOptions, pszB, nB);
  const bool bLexico = (nOptions & STR_OPT_LEXICO) != 0;
  const bool bNumeric = (nOptions & STR_OPT_NUMERIC) != 0;
  if (bNumeric) {
    return STR_nCompareRespecteNumeriqueA(a.p(), static_cast<unsigned int>(a.nLength()), b.p(),
                                          static_cast<unsigned int>(b.nLength()),
                                          bLexico ? STR_FLAG_CURRENT_LCID | STR_FLAG_LEXICO : 0);
  }
  if (bLexico) return CompareCharsLexico(a.p(), a.nLength(), b.p(), b.nLength());
  return CompareBytewise(reinterpret_cast<const unsigned char*>(a.p()), a.nLength(),
                         reinterpret_cast<const unsigned char*>(b.p()), b.nLength());
}
