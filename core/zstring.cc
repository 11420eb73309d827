#include "core/zstring.h"

#include <cctype>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <initializer_list>
#include <strings.h>

#include "core/locale_compare.h"
#include "core/unicode.h"
#include "core/xmalloc.h"

namespace {

size_t Length(const char* psz) { return psz == nullptr ? 0 : std::strlen(psz); }
size_t Length(const wchar_t* psz) { return psz == nullptr ? 0 : std::wcslen(psz); }

// The length of a text, looking at no more than nMax units.
size_t BoundedLength(const char* psz, size_t nMax) {
  if (psz == nullptr || nMax == 0) return 0;
  const void* pZero = std::memchr(psz, 0, nMax);
  return pZero == nullptr ? nMax : static_cast<size_t>(static_cast<const char*>(pZero) - psz);
}

size_t BoundedLength(const wchar_t* psz, size_t nMax) {
  return psz == nullptr || nMax == 0 ? 0 : wcsnlen(psz, nMax);
}

// A heap block of n units plus a terminator; null when it cannot be sized or
// the heap refuses.
template <class T>
T* NewText(uint64_t nUnits) {
  const uint64_t nBytes = (nUnits + 1) * sizeof(T);
  if (nBytes > UINT_MAX) return nullptr;
  return static_cast<T*>(XMALLOC_pNew_(static_cast<unsigned int>(nBytes)));
}

// A new text made of the given pieces (null pieces read as "").
template <class T>
T* JoinTexts(std::initializer_list<const T*> pieces) {
  uint64_t nTotal = 0;
  for (const T* p : pieces) nTotal += Length(p);
  T* pResult = NewText<T>(nTotal);
  if (pResult == nullptr) return nullptr;
  T* pWrite = pResult;
  for (const T* p : pieces) {
    const size_t n = Length(p);
    if (n != 0) std::memcpy(pWrite, p, n * sizeof(T));
    pWrite += n;
  }
  *pWrite = 0;
  return pResult;
}

template <class T>
T* CreatePrefix(unsigned int n, const T* psz) {
  T* pResult = NewText<T>(n);
  if (pResult == nullptr) return nullptr;
  const size_t nCopy = BoundedLength(psz, n);
  if (nCopy != 0) std::memcpy(pResult, psz, nCopy * sizeof(T));
  for (size_t i = nCopy; i <= n; ++i) pResult[i] = 0;
  return pResult;
}

template <class T>
int CopyBounded(T* pDst, unsigned int nSize, const T* pSrc, int nCount) {
  if (pDst == nullptr || nSize == 0) return 0;
  size_t nLimit = nSize - 1;
  if (nCount >= 0 && static_cast<size_t>(nCount) < nLimit) nLimit = static_cast<size_t>(nCount);
  const size_t n = BoundedLength(pSrc, nLimit);
  if (n != 0) std::memmove(pDst, pSrc, n * sizeof(T));
  pDst[n] = 0;
  return static_cast<int>(n);
}

template <class T>
int AppendBounded(T* pDst, unsigned int nSize, const T* pSrc, int nCount) {
  if (pDst == nullptr) return 0;
  const size_t nUsed = BoundedLength(pDst, nSize);
  if (nUsed >= nSize) return 0;
  return CopyBounded(pDst + nUsed, static_cast<unsigned int>(nSize - nUsed), pSrc, nCount);
}

template <class T>
bool IsSpace(T c) {
  if constexpr (sizeof(T) == 1)
    return std::isspace(static_cast<unsigned char>(c)) != 0;
  else
    return std::iswspace(static_cast<wint_t>(c)) != 0;
}

template <class T>
void TrimRight(T* psz) {
  if (psz == nullptr) return;
  size_t n = Length(psz);
  while (n > 0 && IsSpace(psz[n - 1])) --n;
  psz[n] = 0;
}

template <class T>
void TrimLeft(T* psz) {
  if (psz == nullptr) return;
  size_t nSkip = 0;
  while (psz[nSkip] != 0 && IsSpace(psz[nSkip])) ++nSkip;
  if (nSkip == 0) return;
  const size_t nRest = Length(psz + nSkip);
  std::memmove(psz, psz + nSkip, (nRest + 1) * sizeof(T));
}

template <class T>
T* RemoveAllSpaces(T* psz) {
  if (psz == nullptr) return nullptr;
  T* pWrite = psz;
  for (const T* pRead = psz; *pRead != 0; ++pRead) {
    if (!IsSpace(*pRead)) *pWrite++ = *pRead;
  }
  *pWrite = 0;
  return pWrite;
}

// Compares sub with the text at p, stopping at the first difference, so that
// a text shorter than sub is never read past its terminator.
template <class T>
bool MatchesAt(const T* p, const T* pszSub, size_t nSub) {
  for (size_t k = 0; k < nSub; ++k) {
    if (p[k] != pszSub[k]) return false;
  }
  return true;
}

template <class T>
const T* FindLastFrom(const T* psz, int nPos, const T* pszSub) {
  if (psz == nullptr || pszSub == nullptr || nPos < 0) return nullptr;
  const size_t nSub = Length(pszSub);
  // Positions past the text are read as its end: the search never leaves it.
  const size_t nText = BoundedLength(psz, static_cast<size_t>(nPos) + nSub + 1);
  if (nSub > nText) return nullptr;
  size_t nStart = static_cast<size_t>(nPos);
  if (nStart > nText - nSub) nStart = nText - nSub;
  for (size_t i = nStart + 1; i-- > 0;) {
    if (MatchesAt(psz + i, pszSub, nSub)) return psz + i;
  }
  return nullptr;
}

template <class T>
const T* FindCharBackwards(const T* psz, int nPos, T c) {
  if (psz == nullptr || nPos < 0) return nullptr;
  // The terminator is the last position that may be read.
  const size_t nStart = BoundedLength(psz, static_cast<size_t>(nPos));
  for (size_t i = nStart + 1; i-- > 0;) {
    if (psz[i] == c) return psz + i;
  }
  return nullptr;
}

template <class T>
void TrimLeftChar(T* psz, T c) {
  if (psz == nullptr || c == 0) return;
  size_t nSkip = 0;
  while (psz[nSkip] == c) ++nSkip;
  if (nSkip == 0) return;
  const size_t nRest = Length(psz + nSkip);
  std::memmove(psz, psz + nSkip, (nRest + 1) * sizeof(T));
}

template <class T>
void TrimRightChar(T* psz, T c) {
  if (psz == nullptr || c == 0) return;
  size_t n = Length(psz);
  while (n > 0 && psz[n - 1] == c) --n;
  psz[n] = 0;
}

// The characters of a text in upper case, as the case-blind search compares
// them: all at once when there is room, else one at a time on demand.
class CUpperText {
 public:
  CUpperText(const wchar_t* psz, size_t n) : m_psz(psz), m_n(n) {
    if (n <= kInline) {
      m_pMapped = m_aInline;
    } else if ((uint64_t(n) + 1) * sizeof(wchar_t) <= UINT_MAX) {
      m_pMapped = static_cast<wchar_t*>(
          XMALLOC_pNew_(static_cast<unsigned int>((n + 1) * sizeof(wchar_t))));
    }
    if (m_pMapped == nullptr) return;
    for (size_t i = 0; i < n; ++i) m_pMapped[i] = Map(psz[i]);
  }
  ~CUpperText() {
    if (m_pMapped != m_aInline) XMALLOC_Del_(m_pMapped);
  }
  CUpperText(const CUpperText&) = delete;
  CUpperText& operator=(const CUpperText&) = delete;

  wchar_t operator[](size_t i) const { return m_pMapped != nullptr ? m_pMapped[i] : Map(m_psz[i]); }
  size_t nLength() const { return m_n; }

 private:
  static constexpr size_t kInline = 128;
  static wchar_t Map(wchar_t c) {
    wchar_t cMapped = 0;
    STR_nMapCharEx(STR_FLAG_UPPER, &cMapped, c);
    return cMapped;
  }

  const wchar_t* m_psz;
  size_t m_n;
  wchar_t m_aInline[kInline];
  wchar_t* m_pMapped = nullptr;
};

}  // namespace

// ---------------------------------------------------------------------------
// Creation and release

wchar_t* STR_pszCreateW(unsigned int n) {
  wchar_t* p = NewText<wchar_t>(n);
  if (p != nullptr) p[0] = 0;
  return p;
}

wchar_t* STR_pszCreate(unsigned int n) { return STR_pszCreateW(n); }

char* STR_pszCreateA(unsigned int n) {
  char* p = NewText<char>(n);
  if (p != nullptr) p[0] = 0;
  return p;
}

wchar_t* STR_pszCreateW(const wchar_t* psz) {
  return psz == nullptr ? nullptr : JoinTexts<wchar_t>({psz});
}

wchar_t* STR_pszCreate(const wchar_t* psz) { return STR_pszCreateW(psz); }

char* STR_pszCreateA(const char* psz) { return psz == nullptr ? nullptr : JoinTexts<char>({psz}); }

wchar_t* STR_pszCreateW(const wchar_t* pszA, const wchar_t* pszB) {
  return JoinTexts<wchar_t>({pszA, pszB});
}

char* STR_pszCreateA(const char* pszA, const char* pszB) { return JoinTexts<char>({pszA, pszB}); }

wchar_t* STR_pszCreateW(unsigned int n, const wchar_t* psz) { return CreatePrefix(n, psz); }

wchar_t* STR_pszCreate(unsigned int n, const wchar_t* psz) { return CreatePrefix(n, psz); }

char* STR_pszCreateA(unsigned int n, const char* psz) { return CreatePrefix(n, psz); }

wchar_t* STR_pszCreateW_UNALIGNED(const wchar_t* psz) {
  if (psz == nullptr) return nullptr;
  const auto* pBytes = reinterpret_cast<const char*>(psz);
  wchar_t* pResult = NewText<wchar_t>(__UNALIGNED__UNICODE__STRLEN__(pBytes));
  if (pResult != nullptr) __UNALIGNED__UNICODE__STRCPY__(reinterpret_cast<char*>(pResult), pBytes);
  return pResult;
}

wchar_t* STR_pszCreateW_UNALIGNED(unsigned int n, const wchar_t* psz) {
  wchar_t* pResult = NewText<wchar_t>(n);
  if (pResult == nullptr) return nullptr;
  if (psz == nullptr || n == 0) {
    for (size_t i = 0; i <= n; ++i) pResult[i] = 0;
    return pResult;
  }
  if (n > INT_MAX) {
    XMALLOC_Del_(pResult);
    return nullptr;
  }
  __UNALIGNED__UNICODE__STRNCPY__(reinterpret_cast<char*>(pResult),
                                  reinterpret_cast<const char*>(psz), static_cast<int>(n));
  pResult[n] = 0;
  return pResult;
}

wchar_t* STR_pszCreateStandard(const wchar_t* psz) {
  if (psz == nullptr) return nullptr;
  // Sized by what the mapping needs, not by the text's own length: upper case
  // can turn one character into two (ß -> SS), and a buffer of the text's
  // length would cut the standard form short.
  const size_t nLength = std::wcslen(psz);
  uint64_t nSize = uint64_t(nLength) + 1;
  const int nNeeded = STR_nGetMapStringLenEx(STR_MAP_STANDARD, psz, -1);
  if (nNeeded > 0 && uint64_t(nNeeded) > nSize) nSize = uint64_t(nNeeded);
  wchar_t* pResult = NewText<wchar_t>(nSize - 1);
  if (pResult == nullptr) return nullptr;
  const int nMapped =
      STR_nMapStringEx(STR_MAP_STANDARD, pResult, static_cast<unsigned int>(nSize), psz, -1);
  // Terminated here too, in case the service answered more than it wrote.
  uint64_t nEnd = nMapped < 0 ? 0 : uint64_t(nMapped);
  if (nEnd > nSize - 1) nEnd = nSize - 1;
  pResult[nEnd] = 0;
  return pResult;
}

wchar_t* STR_pszConcatPoint(const wchar_t* pszA, const wchar_t* pszB) {
  return JoinTexts<wchar_t>({pszA, L".", pszB});
}

wchar_t* STR_pszConcat(const wchar_t* pszA, const wchar_t* pszB, const wchar_t* pszC) {
  return JoinTexts<wchar_t>({pszA, pszB, pszC});
}

void STR_Delete(wchar_t* psz) {
  if (psz != nullptr) XMALLOC_Del_(psz);
}

void STR_DeleteW(wchar_t* psz) { XMALLOC_Del_(psz); }

void STR_DeleteA(char* psz) { XMALLOC_Del_(psz); }

bool STR_bRedefine(wchar_t** pp, const wchar_t* psz) {
  if (pp == nullptr) return false;
  STR_Delete(*pp);
  *pp = STR_pszCreateW(psz);
  return *pp != nullptr;
}

namespace {

template <class T>
int Resize(T** pp, int n) {
  // A size of 0 would free the block behind the caller's back.
  if (pp == nullptr || n <= 0 || uint64_t(n) * sizeof(T) > UINT_MAX) return 0;
  void* p = XMALLOC_pResize_(*pp, static_cast<unsigned int>(n * sizeof(T)));
  if (p == nullptr) return 0;
  *pp = static_cast<T*>(p);
  return 1;
}

}  // namespace

int STR_bResizeW(wchar_t** pp, int n) { return Resize(pp, n); }

int STR_bResizeA(char** pp, int n) { return Resize(pp, n); }

// ---------------------------------------------------------------------------
// Bounded copies

int STR_nCopyW(wchar_t* pszDst, unsigned int nSize, const wchar_t* pszSrc, int nCount) {
  return CopyBounded(pszDst, nSize, pszSrc, nCount);
}

int STR_nCopy(wchar_t* pszDst, unsigned int nSize, const wchar_t* pszSrc, int nCount) {
  return CopyBounded(pszDst, nSize, pszSrc, nCount);
}

int STR_nCopyA(char* pszDst, unsigned int nSize, const char* pszSrc, int nCount) {
  return CopyBounded(pszDst, nSize, pszSrc, nCount);
}

int STR_nCatW(wchar_t* pszDst, unsigned int nSize, const wchar_t* pszSrc, int nCount) {
  return AppendBounded(pszDst, nSize, pszSrc, nCount);
}

int STR_nCat(wchar_t* pszDst, unsigned int nSize, const wchar_t* pszSrc, int nCount) {
  return AppendBounded(pszDst, nSize, pszSrc, nCount);
}

int STR_nCatA(char* pszDst, unsigned int nSize, const char* pszSrc, int nCount) {
  return AppendBounded(pszDst, nSize, pszSrc, nCount);
}

int STR_nCut(wchar_t* pszDst, unsigned int nSize, const wchar_t* pszSrc) {
  return CopyBounded(pszDst, nSize, pszSrc, -1);
}

int STR_nCut(char* pszDst, unsigned int nSize, const char* pszSrc) {
  return CopyBounded(pszDst, nSize, pszSrc, -1);
}

int STR_nCatCut(wchar_t* pszDst, unsigned int nSize, const wchar_t* pszSrc) {
  return AppendBounded(pszDst, nSize, pszSrc, -1);
}

template <class T>
void STR_Complete(T* psz, unsigned int nSize, T c) {
  if (psz == nullptr || nSize == 0) return;
  const size_t nLast = nSize - 1;
  for (size_t i = BoundedLength(psz, nLast); i < nLast; ++i) psz[i] = c;
  psz[nLast] = 0;
}
template void STR_Complete<char>(char*, unsigned int, char);
template void STR_Complete<wchar_t>(wchar_t*, unsigned int, wchar_t);

void STR_Ellipsis(wchar_t* pszDst, const wchar_t* pszSrc, unsigned int nMax,
                  eELLIPSISPOSITION eWhere) {
  static constexpr wchar_t kDots[] = L"...";
  if (pszDst == nullptr || nMax < 3) return;
  const size_t nSrc = Length(pszSrc);
  if (nSrc <= nMax) {
    if (nSrc != 0) std::memmove(pszDst, pszSrc, nSrc * sizeof(wchar_t));
    pszDst[nSrc] = 0;
    return;
  }
  const size_t nKeep = nMax - 3;
  size_t nHead;
  size_t nTail;
  switch (eWhere) {
    case ELLIPSIS_END:
      nHead = nKeep;
      nTail = 0;
      break;
    case ELLIPSIS_MIDDLE:
      nHead = nKeep / 2;
      nTail = (nMax - 2) / 2;
      break;
    case ELLIPSIS_START:
      nHead = 0;
      nTail = nKeep;
      break;
    default:
      return;
  }
  // The tail is placed first: when dst and src share a buffer it is read
  // before the head and the dots overwrite it.
  std::memmove(pszDst + nHead + 3, pszSrc + nSrc - nTail, nTail * sizeof(wchar_t));
  std::memmove(pszDst, pszSrc, nHead * sizeof(wchar_t));
  std::memcpy(pszDst + nHead, kDots, 3 * sizeof(wchar_t));
  pszDst[nHead + 3 + nTail] = 0;
}

// ---------------------------------------------------------------------------
// Searching

const wchar_t* STR_pszStrnstr(const wchar_t* psz, const wchar_t* pszSub, int n) {
  if (pszSub == nullptr || pszSub[0] == 0) return psz;
  if (psz == nullptr || n <= 0) return nullptr;
  const size_t nSub = std::wcslen(pszSub);
  if (nSub > static_cast<size_t>(n)) return nullptr;
  const size_t nLast = static_cast<size_t>(n) - nSub;
  for (size_t i = 0; i <= nLast && psz[i] != 0; ++i) {
    if (MatchesAt(psz + i, pszSub, nSub)) return psz + i;
  }
  return nullptr;
}

const wchar_t* STR_pszUpStrstr(const wchar_t* psz, const wchar_t* pszSub) {
  if (psz == nullptr || pszSub == nullptr) return nullptr;
  if (pszSub[0] == 0) return psz;
  const size_t nText = std::wcslen(psz);
  const size_t nSub = std::wcslen(pszSub);
  if (nSub > nText) return nullptr;
  const CUpperText text(psz, nText);
  const CUpperText sub(pszSub, nSub);
  for (size_t i = 0; i + nSub <= nText; ++i) {
    size_t k = 0;
    while (k < nSub && text[i + k] == sub[k]) ++k;
    if (k == nSub) return psz + i;
  }
  return nullptr;
}

const wchar_t* STR_StrIStr(const wchar_t* psz, const wchar_t* pszSub) {
  if (psz == nullptr || pszSub == nullptr) return nullptr;
  if (pszSub[0] == 0) return psz;
  const size_t nSub = std::wcslen(pszSub);
  for (const wchar_t* p = psz; *p != 0; ++p) {
    if (wcsncasecmp(p, pszSub, nSub) == 0) return p;
  }
  return nullptr;
}

char* STR_strnistrA(char* psz, const char* pszSub, unsigned int n) {
  if (pszSub == nullptr || pszSub[0] == 0) return psz;
  if (psz == nullptr) return nullptr;
  const size_t nSub = std::strlen(pszSub);
  for (size_t i = 0; i + nSub <= n && psz[i] != 0; ++i) {
    if (strncasecmp(psz + i, pszSub, nSub) == 0) return psz + i;
  }
  return nullptr;
}

char* STR_strnstrA(char* psz, const char* pszSub, unsigned int n) {
  if (pszSub == nullptr || pszSub[0] == 0) return psz;
  if (psz == nullptr) return nullptr;
  const size_t nSub = std::strlen(pszSub);
  for (size_t i = 0; i + nSub <= n && psz[i] != 0; ++i) {
    if (MatchesAt(psz + i, pszSub, nSub)) return psz + i;
  }
  return nullptr;
}

const wchar_t* STRRSTRW(const wchar_t* psz, int nPos, const wchar_t* pszSub) {
  return FindLastFrom(psz, nPos, pszSub);
}

const wchar_t* STRRSTR(const wchar_t* psz, int nPos, const wchar_t* pszSub) {
  return FindLastFrom(psz, nPos, pszSub);
}

const char* STRRSTRA(const char* psz, int nPos, const char* pszSub) {
  return FindLastFrom(psz, nPos, pszSub);
}

const wchar_t* STRRPBRK(const wchar_t* psz, const wchar_t* pszSet) {
  if (psz == nullptr || pszSet == nullptr || pszSet[0] == 0) return nullptr;
  const wchar_t* pLast = nullptr;
  for (const wchar_t* p = psz; *p != 0; ++p) {
    if (std::wcschr(pszSet, *p) != nullptr) pLast = p;
  }
  return pLast;
}

const char* strrchr(const char* psz, int nPos, char c) { return FindCharBackwards(psz, nPos, c); }

const wchar_t* wcsrchr(const wchar_t* psz, int nPos, wchar_t c) {
  return FindCharBackwards(psz, nPos, c);
}

// ---------------------------------------------------------------------------
// Replacing

wchar_t* STR_RemplaceW(const wchar_t* psz, const wchar_t* pszPattern,
                       const wchar_t* pszReplacement) {
  if (psz == nullptr || psz[0] == 0 || pszPattern == nullptr || pszPattern[0] == 0) return nullptr;
  const size_t nPattern = std::wcslen(pszPattern);
  const size_t nReplacement = Length(pszReplacement);
  // The result's length first, so that it is allocated once.
  uint64_t nResult = std::wcslen(psz);
  for (const wchar_t* p = std::wcsstr(psz, pszPattern); p != nullptr;
       p = std::wcsstr(p + nPattern, pszPattern)) {
    nResult = nResult - nPattern + nReplacement;
  }
  wchar_t* pResult = NewText<wchar_t>(nResult);
  if (pResult == nullptr) return nullptr;
  wchar_t* pWrite = pResult;
  const wchar_t* pRead = psz;
  for (const wchar_t* p = std::wcsstr(pRead, pszPattern); p != nullptr;
       p = std::wcsstr(pRead, pszPattern)) {
    const size_t nBefore = static_cast<size_t>(p - pRead);
    std::memcpy(pWrite, pRead, nBefore * sizeof(wchar_t));
    pWrite += nBefore;
    if (nReplacement != 0) std::memcpy(pWrite, pszReplacement, nReplacement * sizeof(wchar_t));
    pWrite += nReplacement;
    pRead = p + nPattern;
  }
  const size_t nRest = std::wcslen(pRead);
  std::memcpy(pWrite, pRead, (nRest + 1) * sizeof(wchar_t));
  return pResult;
}

// ---------------------------------------------------------------------------
// Trimming

void STR_SuppressLeftSpaces(wchar_t* psz) { TrimLeft(psz); }
void STR_SuppressLeftSpaces(char* psz) { TrimLeft(psz); }
void STR_SuppressRightSpaces(wchar_t* psz) { TrimRight(psz); }
void STR_SuppressRightSpaces(char* psz) { TrimRight(psz); }

void STR_SuppressSideSpaces(wchar_t* psz) {
  TrimRight(psz);
  TrimLeft(psz);
}

void STR_SuppressSideSpaces(char* psz) {
  TrimRight(psz);
  TrimLeft(psz);
}

wchar_t* STR_SuppressAllSpacesW(wchar_t* psz) { return RemoveAllSpaces(psz); }

void STR_SuppressAllSpacesA(char* psz) { RemoveAllSpaces(psz); }

template <class T>
void STR_SuppressLeftCar(T* psz, T c) {
  TrimLeftChar(psz, c);
}
template void STR_SuppressLeftCar<char>(char*, char);
template void STR_SuppressLeftCar<wchar_t>(wchar_t*, wchar_t);

template <class T>
void STR_SuppressRightCar(T* psz, T c) {
  TrimRightChar(psz, c);
}
template void STR_SuppressRightCar<char>(char*, char);
template void STR_SuppressRightCar<wchar_t>(wchar_t*, wchar_t);

void STR_SuppressSideCar(wchar_t* psz, wchar_t c) {
  TrimRightChar(psz, c);
  TrimLeftChar(psz, c);
}
