#include "core/wide_string.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "core/counted_string.h"
#include "core/locale_compare.h"
#include "core/numbered_messages.h"
#include "core/string_templates.h"
#include "core/xmalloc.h"
#include "core/zstring.h"
#include "core/codepage_conversion.h"
#include "core/integer_text.h"
#include "core/message_formatting.h"

namespace {

const wchar_t kEmpty[1] = {0};

// Texts longer than this never get a buffer: the byte count of n + 1
// characters must fit the 32-bit heap with room to spare, and every length
// must fit an int.
constexpr uint64_t kMaxChars = INT_MAX - 1;

// The byte size of n characters and a terminator; 0 when it cannot be had.
size_t BytesFor(uint64_t n) {
  if (n > kMaxChars) return 0;
  const uint64_t nBytes = (n + 1) * sizeof(wchar_t);
  return nBytes > SIZE_MAX ? 0 : static_cast<size_t>(nBytes);
}

// A new heap buffer for n characters and a terminator; null when refused.
wchar_t* NewBuffer(uint64_t n) {
  const size_t nBytes = BytesFor(n);
  return nBytes == 0 ? nullptr : static_cast<wchar_t*>(std::malloc(nBytes));
}

int Length(const wchar_t* p) { return p == nullptr ? 0 : static_cast<int>(std::wcslen(p)); }

// The bound of the formatting retries (the printf family's own limit).
constexpr unsigned int kMaxFormattedChars = 10000000;

}  // namespace

// ---------------------------------------------------------------------------
// Construction, assignment, access

CTString::CTString(const wchar_t* pszText) { Set(pszText); }

CTString::CTString(const CTString& other) { Set(other.m_pszBuffer); }

CTString::CTString(CTString&& other) noexcept : m_pszBuffer(other.m_pszBuffer) {
  other.m_pszBuffer = nullptr;
}

// A negative n reads as a huge count: the whole text, as Set(text, n) takes it.
CTString::CTString(const wchar_t* pszText, int n) { Set(pszText, static_cast<unsigned int>(n)); }

CTString::CTString(const wchar_t* pszA, const wchar_t* pszB, const wchar_t* pszC) {
  Set(pszA, pszB, pszC, nullptr);
}

CTString::CTString(const char* pszText) { SetANSIEx(pszText, -1, 1252); }

CTString::~CTString() { std::free(m_pszBuffer); }

CTString& CTString::operator=(const wchar_t* pszText) {
  Set(pszText);
  return *this;
}

CTString& CTString::operator=(wchar_t* pszText) {
  Set(static_cast<const wchar_t*>(pszText));
  return *this;
}

CTString& CTString::operator=(const CTString& other) {
  if (this != &other) Set(other.m_pszBuffer);
  return *this;
}

CTString& CTString::operator=(CTString&& other) noexcept {
  if (this != &other) Transfert(other);
  return *this;
}

CTString& CTString::operator=(wchar_t c) {
  Set(c);
  return *this;
}

const wchar_t* CTString::pszGet() const { return m_pszBuffer != nullptr ? m_pszBuffer : kEmpty; }

int CTString::nTaille() const { return Length(m_pszBuffer); }

wchar_t CTString::cGetChar(int i) const { return m_pszBuffer != nullptr ? m_pszBuffer[i] : 0; }

void CTString::SetChar(int i, wchar_t c) {
  if (m_pszBuffer != nullptr) m_pszBuffer[i] = c;
}

void CTString::SetBuffer(wchar_t* p) {
  if (p == m_pszBuffer) return;
  std::free(m_pszBuffer);
  m_pszBuffer = p;
}

void CTString::Transfert(CTString& other) {
  if (&other == this) return;
  Vide();
  m_pszBuffer = other.m_pszBuffer;
  other.m_pszBuffer = nullptr;
}

void CTString::Vide() {
  std::free(m_pszBuffer);
  m_pszBuffer = nullptr;
}

bool CTString::_SetBufferSize(unsigned int n) {
  const size_t nBytes = BytesFor(n);
  if (nBytes == 0) return false;
  void* p = std::realloc(m_pszBuffer, nBytes);
  if (p == nullptr) return false;
  m_pszBuffer = static_cast<wchar_t*>(p);
  return true;
}

bool CTString::_SetCopy(const wchar_t* p, unsigned int n) {
  wchar_t* pNew = NewBuffer(n);
  if (pNew == nullptr) return false;
  std::wmemcpy(pNew, p, n);
  pNew[n] = 0;
  std::free(m_pszBuffer);
  m_pszBuffer = pNew;
  return true;
}

// ---------------------------------------------------------------------------
// Setting

void CTString::SetUNICODE(const wchar_t* pszText) { Set(pszText); }

void CTString::Set(wchar_t c) {
  if (c == 0) {
    Vide();
    return;
  }
  if (!_SetBufferSize(1)) return;
  m_pszBuffer[0] = c;
  m_pszBuffer[1] = 0;
}

void CTString::Set(const wchar_t* pszText) {
  if (pszText == nullptr || *pszText == 0) {
    Vide();
    return;
  }
  if (pszText == m_pszBuffer) return;
  const size_t n = std::wcslen(pszText);
  const int nOld = nTaille();
  if (m_pszBuffer != nullptr && pszText > m_pszBuffer && pszText <= m_pszBuffer + nOld) {
    // A tail of the own text: move it down, then shrink.
    std::wmemmove(m_pszBuffer, pszText, n + 1);
    _SetBufferSize(static_cast<unsigned int>(n));
    return;
  }
  if (static_cast<size_t>(nOld) != n || m_pszBuffer == nullptr) {
    if (n > kMaxChars || !_SetBufferSize(static_cast<unsigned int>(n))) return;
  }
  std::wmemcpy(m_pszBuffer, pszText, n + 1);
}

void CTString::Set(const wchar_t* pszText, unsigned int n) {
  if (pszText == nullptr) {
    Vide();
    return;
  }
  const size_t nCopy = ::wcsnlen(pszText, n);
  _SetCopy(pszText, static_cast<unsigned int>(nCopy));
}

void CTString::SetFromBinary(const wchar_t* pszText, unsigned int n) {
  if (pszText == nullptr) {
    Vide();
    return;
  }
  _SetCopy(pszText, n);
}

void CTString::Set(const wchar_t* pszA, const wchar_t* pszB, const wchar_t* pszC,
                   const wchar_t* pszD) {
  const wchar_t* apsz[4] = {pszA, pszB, pszC, pszD};
  uint64_t nTotal = 0;
  size_t an[4];
  for (int i = 0; i < 4; ++i) nTotal += an[i] = apsz[i] == nullptr ? 0 : std::wcslen(apsz[i]);
  if (nTotal == 0) {
    Vide();
    return;
  }
  // A fresh buffer, so that the pieces may come from the own text.
  wchar_t* pNew = NewBuffer(nTotal);
  if (pNew == nullptr) return;
  wchar_t* p = pNew;
  for (int i = 0; i < 4; ++i) {
    if (an[i] != 0) std::wmemcpy(p, apsz[i], an[i]);
    p += an[i];
  }
  *p = 0;
  std::free(m_pszBuffer);
  m_pszBuffer = pNew;
}

void CTString::Set(const CXYString<wchar_t>& str) {
  if (str.pGetData() == nullptr) {
    Vide();
    return;
  }
  Set(str.pGetData(), static_cast<unsigned int>(str.nGetLongueur()));
}

void CTString::Set(const CXYString<wchar_t>* pstr) {
  if (pstr == nullptr) {
    Vide();
    return;
  }
  Set(*pstr);
}

void CTString::SetI4(int n) { SetI8(n); }

void CTString::SetI8(long long n) {
  wchar_t sz[72];
  i64tow(n, sz, 10);
  Set(sz);
}

void CTString::SetANSIEx(const char* pszText, int n, unsigned int nCodePage) {
  if (pszText == nullptr || n < -1) {
    Vide();
    return;
  }
  if (n == -1) {
    const size_t nLength = std::strlen(pszText);
    if (nLength > kMaxChars) return;
    n = static_cast<int>(nLength);
  }
  if (n == 0) {
    Vide();
    return;
  }
  // Exactly n bytes are converted: converting the whole text into room for n
  // characters would fail for a longer text and leave the buffer unwritten.
  const int nChars = MultiByteToWideChar(nCodePage, 0, pszText, n, nullptr, 0);
  if (nChars <= 0) {
    Vide();
    return;
  }
  wchar_t* pNew = NewBuffer(static_cast<unsigned int>(nChars));
  if (pNew == nullptr) return;
  const int nDone = MultiByteToWideChar(nCodePage, 0, pszText, n, pNew, nChars);
  if (nDone <= 0) {
    std::free(pNew);
    Vide();
    return;
  }
  pNew[nDone] = 0;
  SetBuffer(pNew);
}

void CTString::SetStandard(const wchar_t* pszText) {
  if (pszText == nullptr || *pszText == 0) {
    Vide();
    return;
  }
  const int nLength = Length(pszText);
  const int nSize = STR_nGetMapStringLenEx(3, pszText, nLength);
  if (nSize <= 0) return;
  wchar_t* pNew = NewBuffer(static_cast<unsigned int>(nSize));
  if (pNew == nullptr) return;
  int n = STR_nMapStringEx(3, pNew, static_cast<unsigned int>(nSize), pszText, nLength);
  if (n < 0) n = 0;
  if (n > nSize) n = nSize;
  pNew[n] = 0;
  SetBuffer(pNew);
}

// ---------------------------------------------------------------------------
// Appending and inserting

void CTString::Add(wchar_t c) {
  if (c == 0) return;
  if (m_pszBuffer == nullptr) {
    Set(c);
    return;
  }
  const int n = nTaille();
  if (!_SetBufferSize(static_cast<unsigned int>(n) + 1)) return;
  m_pszBuffer[n] = c;
  m_pszBuffer[n + 1] = 0;
}

void CTString::Insert(wchar_t c) {
  if (c == 0) return;
  if (m_pszBuffer == nullptr) {
    Set(c);
    return;
  }
  const int n = nTaille();
  if (!_SetBufferSize(static_cast<unsigned int>(n) + 1)) return;
  std::wmemmove(m_pszBuffer + 1, m_pszBuffer, static_cast<size_t>(n) + 1);
  m_pszBuffer[0] = c;
}

void CTString::Add(const wchar_t* pszText, int n) {
  if (pszText == nullptr || n < 1) return;
  if (pszText[n - 1] == 0) --n;
  if (n == 0) return;
  if (m_pszBuffer == nullptr) {
    SetFromBinary(pszText, static_cast<unsigned int>(n));
    return;
  }
  const int nOld = nTaille();
  // A piece of the own text survives the move that realloc may make.
  const bool bOwn = pszText >= m_pszBuffer && pszText <= m_pszBuffer + nOld;
  const size_t nOffset = bOwn ? static_cast<size_t>(pszText - m_pszBuffer) : 0;
  if (!_SetBufferSize(static_cast<unsigned int>(
          nOld + static_cast<int64_t>(n) > INT_MAX ? UINT_MAX : nOld + n)))
    return;
  if (bOwn) pszText = m_pszBuffer + nOffset;
  std::wmemmove(m_pszBuffer + nOld, pszText, static_cast<size_t>(n));
  m_pszBuffer[nOld + n] = 0;
}

void CTString::Add(const wchar_t* pszText) {
  if (pszText == nullptr) return;
  const size_t n = std::wcslen(pszText);
  if (n > kMaxChars) return;
  Add(pszText, static_cast<int>(n));
}

void CTString::Add(const wchar_t* pszA, const wchar_t* pszB, const wchar_t* pszC) {
  if (m_pszBuffer == nullptr) {
    Set(pszA, pszB, pszC, nullptr);
    return;
  }
  if (Length(pszA) + static_cast<int64_t>(Length(pszB)) + Length(pszC) == 0) return;
  Set(m_pszBuffer, pszA, pszB, pszC);
}

void CTString::Add(const CXYString<wchar_t>& str) {
  if (str.pGetData() != nullptr) Add(str.pGetData(), str.nGetLongueur());
}

void CTString::Add(const CXYString<wchar_t>* pstr) {
  if (pstr != nullptr) Add(*pstr);
}

void CTString::AddI4(int n) { AddI8(n); }

void CTString::AddI8(long long n) {
  wchar_t sz[72];
  i64tow(n, sz, 10);
  Add(sz);
}

void CTString::AddPrintf(const wchar_t* pszFormat, ...) {
  CTString clText;
  va_list args;
  va_start(args, pszFormat);
  clText.FormatV(pszFormat, args);
  va_end(args);
  Add(clText.m_pszBuffer);
}

void CTString::Insert(const wchar_t* pszText, int n, int nPos) {
  if (pszText == nullptr || n < -1 || *pszText == 0) return;
  // Never more than the text holds.
  const size_t nText = n == -1 ? std::wcslen(pszText) : ::wcsnlen(pszText, n);
  if (nText == 0 || nText > kMaxChars) return;
  if (m_pszBuffer == nullptr) {
    Set(pszText, static_cast<unsigned int>(nText));
    return;
  }
  const int nOld = nTaille();
  if (nPos >= nOld) {
    Add(pszText, static_cast<int>(nText));
    return;
  }
  if (nPos < 0) nPos = 0;
  wchar_t* pNew = NewBuffer(uint64_t(nOld) + nText);
  if (pNew == nullptr) return;
  std::wmemcpy(pNew, m_pszBuffer, static_cast<size_t>(nPos));
  std::wmemcpy(pNew + nPos, pszText, nText);
  std::wmemcpy(pNew + nPos + nText, m_pszBuffer + nPos, static_cast<size_t>(nOld - nPos) + 1);
  SetBuffer(pNew);
}

CTString CTString::operator+(const wchar_t* pszText) const {
  CTString clResult;
  clResult.Set(m_pszBuffer, pszText, nullptr, nullptr);
  return clResult;
}

// ---------------------------------------------------------------------------
// Editing in place

void CTString::Tronque(int n) {
  if (m_pszBuffer != nullptr && n >= 0 && n <= nTaille()) m_pszBuffer[n] = 0;
}

void CTString::TronqueDebut(int n) {
  if (m_pszBuffer == nullptr || n <= 0) return;
  const int nOld = nTaille();
  if (n > nOld) return;
  std::wmemmove(m_pszBuffer, m_pszBuffer + n, static_cast<size_t>(nOld - n) + 1);
}

void CTString::Coupe(int nStart, int n) {
  if (m_pszBuffer == nullptr || nStart < 0 || n <= 0) return;
  const int nOld = nTaille();
  if (nStart > nOld) return;
  if (static_cast<int64_t>(nStart) + n > nOld) {
    Tronque(nStart);
    return;
  }
  std::wmemmove(m_pszBuffer + nStart, m_pszBuffer + nStart + n,
                static_cast<size_t>(nOld - nStart - n) + 1);
}

void CTString::Remplace(wchar_t cOld, wchar_t cNew, int nFrom) {
  if (m_pszBuffer == nullptr) return;
  const int n = nTaille();
  for (int i = nFrom < 0 ? 0 : nFrom; i < n; ++i)
    if (m_pszBuffer[i] == cOld) m_pszBuffer[i] = cNew;
}

void CTString::Renverse() {
  if (m_pszBuffer != nullptr) std::reverse(m_pszBuffer, m_pszBuffer + nTaille());
}

void CTString::Complete(int n, wchar_t c) {
  if (n < 0) return;
  const int nOld = nTaille();
  if (!_SetBufferSize(static_cast<unsigned int>(n))) return;
  for (int i = nOld; i < n; ++i) m_pszBuffer[i] = c;
  m_pszBuffer[n] = 0;
}

void CTString::SansEspace() {
  if (m_pszBuffer == nullptr) return;
  int n = nTaille();
  while (n > 0 && m_pszBuffer[n - 1] == L' ') --n;
  if (n == 0) {
    Vide();
    return;
  }
  m_pszBuffer[n] = 0;
}

void CTString::Trim() {
  if (m_pszBuffer != nullptr) STR_SuppressSideSpaces(m_pszBuffer);
}

void CTString::Trim(wchar_t c) {
  if (m_pszBuffer != nullptr) STR_SuppressSideCar(m_pszBuffer, c);
}

void CTString::LTrim(wchar_t c) {
  if (m_pszBuffer != nullptr) STR_SuppressLeftCar<wchar_t>(m_pszBuffer, c);
}

void CTString::RTrim(wchar_t c) {
  if (m_pszBuffer != nullptr) STR_SuppressRightCar<wchar_t>(m_pszBuffer, c);
}

void CTString::Majuscule() {
  if (m_pszBuffer != nullptr) STR_ToUpper(m_pszBuffer);
}

void CTString::Minuscule() {
  if (m_pszBuffer != nullptr) STR_ToLower(m_pszBuffer);
}

void CTString::MapStringEx(unsigned int dwMapping) {
  if (m_pszBuffer == nullptr) return;
  const int n = nTaille();
  int nMapped =
      STR_nMapStringEx(dwMapping, m_pszBuffer, static_cast<unsigned int>(n) + 1, m_pszBuffer, n);
  if (nMapped >= 0 && nMapped <= n) m_pszBuffer[nMapped] = 0;
}

void CTString::SansAccent() {
  if (m_pszBuffer == nullptr) return;
  for (wchar_t* p = m_pszBuffer; *p != 0; ++p) {
    wchar_t c = *p;
    STR_nMapCharEx(2, &c, *p);
    // A character the mapping drops keeps its place: the text never shortens here.
    if (c != 0) *p = c;
  }
}

void CTString::Insecable() { Remplace(L' ', static_cast<wchar_t>(0xA0), 0); }

void CTString::Remplace(int nStart, int n, const wchar_t* pszText) {
  if (m_pszBuffer == nullptr || *m_pszBuffer == 0) return;
  const int nOld = nTaille();
  if (nStart < 0 || nStart > nOld) return;
  if (n < 0) n = 0;
  if (static_cast<int64_t>(nStart) + n >= nOld) n = nOld - nStart;
  const size_t nText = pszText == nullptr ? 0 : std::wcslen(pszText);
  wchar_t* pNew = NewBuffer(uint64_t(nOld) - n + nText);
  if (pNew == nullptr) return;
  std::wmemcpy(pNew, m_pszBuffer, static_cast<size_t>(nStart));
  if (nText != 0) std::wmemcpy(pNew + nStart, pszText, nText);
  std::wmemcpy(pNew + nStart + nText, m_pszBuffer + nStart + n,
               static_cast<size_t>(nOld - nStart - n) + 1);
  SetBuffer(pNew);
}

void CTString::Remplace(const wchar_t* pszPattern, const wchar_t* pszText, int nFrom) {
  __Remplace(pszPattern, pszText, nFrom, false);
}

void CTString::RemplaceI(const wchar_t* pszPattern, const wchar_t* pszText, int nFrom) {
  __Remplace(pszPattern, pszText, nFrom, true);
}

// Counting and copying use the same search, so the result is sized exactly
// for what is copied into it (a count made under one case rule and a copy
// made under another would not agree, and the result would overflow).
// Without case, both sides are mapped once, character by character, as
// STR_pszUpStrstr maps them (the locale's upper case), and searched as they
// are; every character maps to one, so positions carry over to the text.
void CTString::__Remplace(const wchar_t* pszPattern, const wchar_t* pszText, int nFrom,
                          bool bIgnoreCase) {
  if (pszPattern == nullptr || *pszPattern == 0 || m_pszBuffer == nullptr) return;
  const int nOld = nTaille();
  if (nOld == 0 || nFrom > nOld) return;
  if (nFrom < 0) nFrom = 0;
  if (pszText == nullptr) pszText = kEmpty;
  const size_t nPattern = std::wcslen(pszPattern);
  const size_t nText = std::wcslen(pszText);

  const wchar_t* pszSearched = m_pszBuffer;
  const wchar_t* pszSought = pszPattern;
  wchar_t* pUpText = nullptr;
  wchar_t* pUpPattern = nullptr;
  if (bIgnoreCase) {
    pUpText = NewBuffer(static_cast<unsigned int>(nOld));
    pUpPattern = NewBuffer(nPattern);
    if (pUpText == nullptr || pUpPattern == nullptr) {
      std::free(pUpText);
      std::free(pUpPattern);
      return;
    }
    auto map = [](const wchar_t* pIn, size_t n, wchar_t* pOut) {
      for (size_t i = 0; i < n; ++i) {
        wchar_t c = pIn[i];
        if (STR_nMapCharEx(STR_FLAG_UPPER, &c, pIn[i]) <= 0 || c == 0) c = pIn[i];
        pOut[i] = c;
      }
      pOut[n] = 0;
    };
    map(m_pszBuffer, static_cast<size_t>(nOld), pUpText);
    map(pszPattern, nPattern, pUpPattern);
    pszSearched = pUpText;
    pszSought = pUpPattern;
  }
  // The index of the next occurrence at or after i, or -1.
  auto find = [&](size_t i) -> ptrdiff_t {
    const wchar_t* p = std::wcsstr(pszSearched + i, pszSought);
    return p == nullptr ? -1 : p - pszSearched;
  };

  uint64_t nCount = 0;
  for (ptrdiff_t i = find(static_cast<size_t>(nFrom)); i >= 0; i = find(size_t(i) + nPattern))
    ++nCount;
  wchar_t* pNew = nullptr;
  if (nCount != 0) pNew = NewBuffer(uint64_t(nOld) - nCount * nPattern + nCount * nText);
  if (pNew != nullptr) {
    std::wmemcpy(pNew, m_pszBuffer, static_cast<size_t>(nFrom));
    wchar_t* pOut = pNew + nFrom;
    size_t nIn = static_cast<size_t>(nFrom);
    for (ptrdiff_t i = find(nIn); i >= 0; i = find(nIn)) {
      const size_t nBefore = static_cast<size_t>(i) - nIn;
      std::wmemcpy(pOut, m_pszBuffer + nIn, nBefore);
      pOut += nBefore;
      std::wmemcpy(pOut, pszText, nText);
      pOut += nText;
      nIn = static_cast<size_t>(i) + nPattern;
    }
    std::wmemcpy(pOut, m_pszBuffer + nIn, static_cast<size_t>(nOld) - nIn + 1);
    SetBuffer(pNew);
  }
  std::free(pUpText);
  std::free(pUpPattern);
}

void CTString::Ellipse(const wchar_t* pszText, unsigned int nMax, eELLIPSISPOSITION eWhere) {
  if (pszText == nullptr || *pszText == 0 || nMax == 0) {
    Vide();
    return;
  }
  const size_t nText = std::wcslen(pszText);
  const size_t n = std::min<size_t>(nMax, nText);
  wchar_t* pNew = NewBuffer(n);
  if (pNew == nullptr) return;
  const bool bKnownPlace =
      eWhere == ELLIPSIS_END || eWhere == ELLIPSIS_MIDDLE || eWhere == ELLIPSIS_START;
  if (nText <= nMax || nMax < 3 || !bKnownPlace) {
    // Too short for "..." or no place for it: the first characters, terminated.
    std::wmemcpy(pNew, pszText, n);
  } else {
    STR_Ellipsis(pNew, pszText, nMax, eWhere);
  }
  pNew[n] = 0;
  SetBuffer(pNew);
}

// ---------------------------------------------------------------------------
// Searching

int CTString::nPos(const wchar_t* pszPattern, int nFrom) const {
  if (m_pszBuffer == nullptr || pszPattern == nullptr) return -1;
  const int n = nTaille();
  if (n == 0 || nFrom > n) return -1;
  if (nFrom < 0) nFrom = 0;
  const wchar_t* p = std::wcsstr(m_pszBuffer + nFrom, pszPattern);
  return p == nullptr ? -1 : static_cast<int>(p - m_pszBuffer);
}

int CTString::nPos(wchar_t c, int nFrom) const {
  if (m_pszBuffer == nullptr || c == 0) return -1;
  const int n = nTaille();
  if (nFrom > n) return -1;
  if (nFrom < 0) nFrom = 0;
  const wchar_t* p = std::wcschr(m_pszBuffer + nFrom, c);
  return p == nullptr ? -1 : static_cast<int>(p - m_pszBuffer);
}

int CTString::nRPos(const wchar_t* pszPattern) const {
  if (m_pszBuffer == nullptr || pszPattern == nullptr || *pszPattern == 0) return -1;
  const wchar_t* pLast = nullptr;
  for (const wchar_t* p = std::wcsstr(m_pszBuffer, pszPattern); p != nullptr;
       p = std::wcsstr(p + 1, pszPattern))
    pLast = p;
  return pLast == nullptr ? -1 : static_cast<int>(pLast - m_pszBuffer);
}

int CTString::nRPos(wchar_t c) const {
  if (m_pszBuffer == nullptr || c == 0) return -1;
  const wchar_t* p = std::wcsrchr(m_pszBuffer, c);
  return p == nullptr ? -1 : static_cast<int>(p - m_pszBuffer);
}

int CTString::nUpPos(const wchar_t* pszPattern, int nFrom) const {
  if (m_pszBuffer == nullptr || pszPattern == nullptr || *pszPattern == 0) return -1;
  const int n = nTaille();
  const int nPattern = Length(pszPattern);
  if (nFrom < 0) nFrom = 0;
  for (int i = nFrom; i <= n - nPattern; ++i) {
    int j = 0;
    while (j < nPattern && std::towupper(m_pszBuffer[i + j]) == std::towupper(pszPattern[j])) ++j;
    if (j == nPattern) return i;
  }
  return -1;
}

int CTString::nPosParmi(const wchar_t* pszSet) const {
  if (m_pszBuffer == nullptr || pszSet == nullptr) return -1;
  const wchar_t* p = std::wcspbrk(m_pszBuffer, pszSet);
  return p == nullptr ? -1 : static_cast<int>(p - m_pszBuffer);
}

int CTString::nNbOcc(const wchar_t* pszPattern) const {
  if (m_pszBuffer == nullptr || pszPattern == nullptr || *pszPattern == 0) return 0;
  const size_t nPattern = std::wcslen(pszPattern);
  int nCount = 0;
  for (const wchar_t* p = std::wcsstr(m_pszBuffer, pszPattern); p != nullptr;
       p = std::wcsstr(p + nPattern, pszPattern))
    ++nCount;
  return nCount;
}

// ---------------------------------------------------------------------------
// Comparing

int CTString::bEstEgal(const wchar_t* pszText) const {
  return std::wcscmp(pszGet(), pszText == nullptr ? kEmpty : pszText) == 0;
}

int CTString::bEstEgalI(const wchar_t* pszText) const {
  if (pszText == nullptr) pszText = kEmpty;
  if (nTaille() == 0 || *pszText == 0) return nTaille() == 0 && *pszText == 0;
  return STR_nUpCompareW(pszText, m_pszBuffer, 2) == 0;
}

int CTString::bEstEgalI(const CTString& other) const { return bEstEgalI(other.pszGet()); }

bool CTString::operator==(const CTString& other) const {
  return std::wcscmp(pszGet(), other.pszGet()) == 0;
}

bool CTString::operator!=(const CTString& other) const { return !(*this == other); }

int CTString::bCommencePar(const wchar_t* pszText) const {
  if (pszText == nullptr) pszText = kEmpty;
  return clGauche(Length(pszText)).bEstEgal(pszText);
}

int CTString::bTerminePar(const wchar_t* pszText) const {
  if (pszText == nullptr) pszText = kEmpty;
  return clDroite(Length(pszText)).bEstEgal(pszText);
}

int CTString::bCommenceParI(const wchar_t* pszText) const {
  if (pszText == nullptr) pszText = kEmpty;
  return clGauche(Length(pszText)).bEstEgalI(pszText);
}

int CTString::bTermineParI(const wchar_t* pszText) const {
  if (pszText == nullptr) pszText = kEmpty;
  return clDroite(Length(pszText)).bEstEgalI(pszText);
}

int CTString::bTerminePar(wchar_t c) const {
  const int n = nTaille();
  return n > 0 && m_pszBuffer[n - 1] == c;
}

// ---------------------------------------------------------------------------
// Extracting

CTString CTString::clMilieu(int nStart, int n) const {
  CTString clResult;
  const int nLength = nTaille();
  if (nLength == 0 || nStart > nLength) return clResult;
  if (nStart < 0) nStart = 0;
  const int nRest = nLength - nStart;
  if (n < 0 || n > nRest) n = nRest;
  if (n > 0) clResult.Set(m_pszBuffer + nStart, static_cast<unsigned int>(n));
  return clResult;
}

CTString CTString::clMilieu(int nStart) const { return clMilieu(nStart, -1); }

CTString CTString::clGauche(int n) const {
  if (n <= 0) return CTString();
  return clMilieu(0, n);
}

CTString CTString::clDroite(int n) const {
  const int nLength = nTaille();
  if (n <= 0 || nLength == 0) return CTString();
  if (n >= nLength) return *this;
  return clMilieu(nLength - n, n);
}

CTString CTString::clExclu(const wchar_t* pszSet) const {
  if (m_pszBuffer == nullptr) return CTString();
  const size_t n = std::wcscspn(m_pszBuffer, pszSet == nullptr ? kEmpty : pszSet);
  return clMilieu(0, static_cast<int>(n));
}

CTString CTString::clContientUniquement(const wchar_t* pszSet) const {
  if (m_pszBuffer == nullptr) return CTString();
  const size_t n = std::wcsspn(m_pszBuffer, pszSet == nullptr ? kEmpty : pszSet);
  return clMilieu(0, static_cast<int>(n));
}

long long CTString::nVal(int nBase, int nStart, int n) const {
  const int nLength = nTaille();
  if (nLength == 0 || nStart > nLength) return 0;
  if (nStart < 0) nStart = 0;
  const int nRest = nLength - nStart;
  if (n < 0 || n > nRest) n = nRest;
  uint64_t nValue = 0;
  for (const wchar_t* p = m_pszBuffer + nStart; p < m_pszBuffer + nStart + n; ++p) {
    const wchar_t c = *p;
    int nDigit;
    if (c >= L'0' && c <= L'9') {
      nDigit = c - L'0';
    } else if (c >= L'a' && c <= L'z') {
      nDigit = c - L'a' + 10;
    } else if (c >= L'A' && c <= L'Z') {
      nDigit = c - L'A' + 10;
    } else {
      break;
    }
    if (nDigit >= nBase) break;
    nValue = nValue * static_cast<unsigned int>(nBase) + static_cast<unsigned int>(nDigit);
  }
  return static_cast<long long>(nValue);
}

// ---------------------------------------------------------------------------
// Fields

int CTString::bExtraitChainePos(unsigned int k, wchar_t cSep, const wchar_t** ppszStart,
                                int* pn) const {
  if (m_pszBuffer == nullptr) return 0;
  const wchar_t* p = m_pszBuffer;
  for (unsigned int i = 0; i < k; ++i) {
    const wchar_t* pSep = cSep == 0 ? nullptr : std::wcschr(p, cSep);
    if (pSep == nullptr) return 0;
    p = pSep + 1;
  }
  const wchar_t* pEnd = cSep == 0 ? nullptr : std::wcschr(p, cSep);
  if (pEnd == nullptr) pEnd = p + std::wcslen(p);
  if (ppszStart != nullptr) *ppszStart = p;
  if (pn != nullptr) *pn = static_cast<int>(pEnd - p);
  return 1;
}

int CTString::bExtraitChainePos(int k, const wchar_t* pszSep, const wchar_t** ppszStart,
                                int* pn) const {
  if (m_pszBuffer == nullptr || k < 0) return 0;
  const bool bSep = pszSep != nullptr && *pszSep != 0;
  const size_t nSep = bSep ? std::wcslen(pszSep) : 0;
  const wchar_t* p = m_pszBuffer;
  for (int i = 0; i < k; ++i) {
    const wchar_t* pSep = bSep ? std::wcsstr(p, pszSep) : nullptr;
    if (pSep == nullptr) return 0;
    p = pSep + nSep;
  }
  const wchar_t* pEnd = bSep ? std::wcsstr(p, pszSep) : nullptr;
  if (pEnd == nullptr) pEnd = p + std::wcslen(p);
  if (ppszStart != nullptr) *ppszStart = p;
  if (pn != nullptr) *pn = static_cast<int>(pEnd - p);
  return 1;
}

int CTString::bExtraitChaine(unsigned int k, wchar_t cSep, CTString* pstrOut) const {
  if (nTaille() == 0) return 0;
  const wchar_t* p = nullptr;
  int n = 0;
  if (!bExtraitChainePos(k, cSep, &p, &n)) return 0;
  if (pstrOut != nullptr) pstrOut->Set(p, static_cast<unsigned int>(n));
  return 1;
}

int CTString::bExtraitChaine(int k, const wchar_t* pszSep, CTString* pstrOut) const {
  const wchar_t* p = nullptr;
  int n = 0;
  if (!bExtraitChainePos(k, pszSep, &p, &n)) return 0;
  if (pstrOut != nullptr) pstrOut->Set(p, static_cast<unsigned int>(n));
  return 1;
}

int CTString::bExtraitPosTailleChaine(int k, const wchar_t* pszSep, int* pnPos, int* pn) const {
  const wchar_t* p = nullptr;
  int n = 0;
  if (!bExtraitChainePos(k, pszSep, &p, &n)) return 0;
  if (pnPos != nullptr) *pnPos = static_cast<int>(p - m_pszBuffer);
  if (pn != nullptr) *pn = n;
  return 1;
}

int CTString::bExtraitEtRemplaceChaine(int k, const wchar_t* pszSep, const wchar_t* pszText) {
  int nPosition = 0;
  int n = 0;
  if (!bExtraitPosTailleChaine(k, pszSep, &nPosition, &n)) return 0;
  if (nPosition < nTaille()) {
    Remplace(nPosition, n, pszText);
  } else {
    Add(pszText);
  }
  return 1;
}

int CTString::bExtraitChaineTok(int k, const wchar_t* pszDelimiters, CTString* pstrOut) const {
  if (m_pszBuffer == nullptr) return 0;
  if (k < 0) {
    if (pstrOut != nullptr) pstrOut->Set(kEmpty, 0u);
    return 1;
  }
  CTString clCopy(m_pszBuffer);
  if (clCopy.m_pszBuffer == nullptr) return 0;
  const wchar_t* pszDelims = pszDelimiters == nullptr ? kEmpty : pszDelimiters;
  wchar_t* pState = nullptr;
  wchar_t* pToken = std::wcstok(clCopy.m_pszBuffer, pszDelims, &pState);
  for (int i = 0; i < k && pToken != nullptr; ++i)
    pToken = std::wcstok(nullptr, pszDelims, &pState);
  if (pToken == nullptr) return 0;
  if (pstrOut != nullptr) pstrOut->Set(pToken);
  return 1;
}

// ---------------------------------------------------------------------------
// Setting from the part of a text before or after c
//
//                            c found: string / returns    c absent: string / returns
//   pszSetFinPremier         after first c / after it     whole text / null
//   pszSetFinPremierExistant after first c / after it     empty / text
//   pszSetFinDernier         after last c / after it      whole text / null
//   pszSetFinDernierExistant after last c / after it      empty / text
//   pszSetDebut...           the same with the text before c (returns still the
//                            pointer after c)

namespace {

const wchar_t* FindChar(const wchar_t* pszText, wchar_t c, bool bLast) {
  if (pszText == nullptr || c == 0) return nullptr;
  return bLast ? std::wcsrchr(pszText, c) : std::wcschr(pszText, c);
}

}  // namespace

const wchar_t* CTString::pszSetFinPremier(const wchar_t* pszText, wchar_t c) {
  const wchar_t* p = FindChar(pszText, c, false);
  Set(p != nullptr ? p + 1 : pszText);
  return p != nullptr ? p + 1 : nullptr;
}

const wchar_t* CTString::pszSetFinPremierExistant(const wchar_t* pszText, wchar_t c) {
  const wchar_t* p = FindChar(pszText, c, false);
  if (p == nullptr) {
    Vide();
    return pszText;
  }
  Set(p + 1);
  return p + 1;
}

const wchar_t* CTString::pszSetFinDernier(const wchar_t* pszText, wchar_t c) {
  const wchar_t* p = FindChar(pszText, c, true);
  Set(p != nullptr ? p + 1 : pszText);
  return p != nullptr ? p + 1 : nullptr;
}

const wchar_t* CTString::pszSetFinDernierExistant(const wchar_t* pszText, wchar_t c) {
  const wchar_t* p = FindChar(pszText, c, true);
  if (p == nullptr) {
    Vide();
    return pszText;
  }
  Set(p + 1);
  return p + 1;
}

const wchar_t* CTString::pszSetDebutPremier(const wchar_t* pszText, wchar_t c) {
  const wchar_t* p = FindChar(pszText, c, false);
  if (p == nullptr) {
    Set(pszText);
    return nullptr;
  }
  Set(pszText, static_cast<unsigned int>(p - pszText));
  return p + 1;
}

const wchar_t* CTString::pszSetDebutPremierExistant(const wchar_t* pszText, wchar_t c) {
  const wchar_t* p = FindChar(pszText, c, false);
  if (p == nullptr) {
    Vide();
    return pszText;
  }
  Set(pszText, static_cast<unsigned int>(p - pszText));
  return p + 1;
}

const wchar_t* CTString::pszSetDebutDernier(const wchar_t* pszText, wchar_t c) {
  const wchar_t* p = FindChar(pszText, c, true);
  if (p == nullptr) {
    Set(pszText);
    return nullptr;
  }
  Set(pszText, static_cast<unsigned int>(p - pszText));
  return p + 1;
}

const wchar_t* CTString::pszSetDebutDernierExistant(const wchar_t* pszText, wchar_t c) {
  const wchar_t* p = FindChar(pszText, c, true);
  if (p == nullptr) {
    Vide();
    return pszText;
  }
  Set(pszText, static_cast<unsigned int>(p - pszText));
  return p + 1;
}

// ---------------------------------------------------------------------------
// Formatting

// The length estimate is only a first guess: a text that does not fit (the
// estimate ignores some conversions and positional arguments) is formatted
// again into a buffer twice the size, with the real bound every time.
int CTString::FormatV(const wchar_t* pszFormat, va_list args) {
  if (pszFormat == nullptr) return -1;
  const int nEstimate = STRG_nCalculeLongueurPrintf<wchar_t>(pszFormat, args);
  uint64_t nCapacity = std::min<uint64_t>(uint64_t(nEstimate) + 1, kMaxFormattedChars + 1);
  if (nCapacity < 8) nCapacity = 8;
  wchar_t* pBuffer = nullptr;
  for (;;) {
    void* p = std::realloc(pBuffer, BytesFor(nCapacity - 1));
    if (p == nullptr) break;
    pBuffer = static_cast<wchar_t*>(p);
    const int n = vsnwprintfWin(pBuffer, static_cast<unsigned int>(nCapacity), pszFormat, args);
    if (n >= 0) {
      // The string keeps no spare room.
      if (void* pExact = std::realloc(pBuffer, BytesFor(static_cast<unsigned int>(n))))
        pBuffer = static_cast<wchar_t*>(pExact);
      SetBuffer(pBuffer);
      return n;
    }
    if (errno != 0 || nCapacity > kMaxFormattedChars) break;  // not a matter of room
    nCapacity = std::min<uint64_t>(nCapacity * 2, kMaxFormattedChars + 1);
  }
  std::free(pBuffer);
  return -1;
}

int CTString::printf(const wchar_t* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  const int n = FormatV(pszFormat, args);
  va_end(args);
  return n;
}

int CTString::FormatMessageWin(const wchar_t* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  wchar_t* pszResult = nullptr;
  const unsigned int n =
      ::FormatMessageWin(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING, pszFormat, 0,
                         0, reinterpret_cast<wchar_t*>(&pszResult), 0, &args);
  va_end(args);
  if (pszResult == nullptr) return 0;
  Set(pszResult);
  std::free(pszResult);
  return static_cast<int>(n);
}

int CTString::FormatMessageW(const wchar_t* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  wchar_t* pszResult = nullptr;
  const unsigned int n =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING, pszFormat, 0, 0,
                       reinterpret_cast<wchar_t*>(&pszResult), 0, &args);
  va_end(args);
  if (pszResult == nullptr) return 0;
  Set(pszResult);
  std::free(pszResult);
  return static_cast<int>(n);
}

namespace {

// A name for a temporary file, as tempnam(NULL, prefix) gives one: in
// $TMPDIR when that is a writable directory, else in P_tmpdir, the prefix
// followed by six characters that make a name no file has. The name is taken
// by creating the file exclusively and removing it again, which is what
// tempnam's check for a free name amounts to, without the C library's link
// warning about tempnam. Answers a malloc block, or null.
char* TemporaryName(const char* pszPrefix) {
  const char* pszDir = std::getenv("TMPDIR");
  struct stat st;
  if (pszDir == nullptr || ::stat(pszDir, &st) != 0 || !S_ISDIR(st.st_mode) ||
      ::access(pszDir, W_OK) != 0)
    pszDir = P_tmpdir;
  if (pszPrefix == nullptr) pszPrefix = "file";
  const size_t nDir = std::strlen(pszDir);
  const size_t nPrefix = std::strlen(pszPrefix);
  char* pszName = static_cast<char*>(std::malloc(nDir + 1 + nPrefix + 7));
  if (pszName == nullptr) return nullptr;
  std::memcpy(pszName, pszDir, nDir);
  size_t n = nDir;
  if (n == 0 || pszName[n - 1] != '/') pszName[n++] = '/';
  std::memcpy(pszName + n, pszPrefix, nPrefix);
  std::memcpy(pszName + n + nPrefix, "XXXXXX", 7);
  const int fd = ::mkstemp(pszName);
  if (fd < 0) {
    std::free(pszName);
    return nullptr;
  }
  ::close(fd);
  ::unlink(pszName);
  return pszName;
}

}  // namespace

// The name comes back from UTF-8, the encoding every path takes on its way to
// the system: read in another code page it would name another file.
void CTString::FichierTemporaire(const wchar_t* pszPrefix) {
  constexpr int kStackBytes = 1024;
  char szPrefix[kStackBytes];
  char* pszPrefix8 = nullptr;
  char* pHeap = nullptr;
  if (pszPrefix != nullptr) {
    const int nBytes = WideCharToMultiByte(65001, 0, pszPrefix, -1, nullptr, 0, nullptr, nullptr);
    if (nBytes > 0) {
      pszPrefix8 = nBytes <= kStackBytes
                       ? szPrefix
                       : (pHeap = static_cast<char*>(XMALLOC_pNew_(static_cast<unsigned>(nBytes))));
      if (pszPrefix8 != nullptr &&
          WideCharToMultiByte(65001, 0, pszPrefix, -1, pszPrefix8, nBytes, nullptr, nullptr) <= 0)
        pszPrefix8 = nullptr;
    }
  }
  char* pszName = TemporaryName(pszPrefix8);
  XMALLOC_Del_(pHeap);
  if (pszName == nullptr) {
    Vide();
    return;
  }
  SetANSIEx(pszName, -1, 65001);
  std::free(pszName);
}

// ---------------------------------------------------------------------------

CTStringFormatMessage::CTStringFormatMessage(const wchar_t* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  DLLRES_dwFormatMessage(pszFormat, this, &args);
  va_end(args);
}
