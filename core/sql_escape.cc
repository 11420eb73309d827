#include "core/sql_escape.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <type_traits>

#include "core/char_conv.h"
#include "core/sql_char_splitter.h"
#include "core/xmalloc.h"

namespace {

// How a scan steps through a text: one unit at a time for wide text, by the
// server's characters for 8-bit text.
template <class T>
struct Stepper;

template <>
struct Stepper<wchar_t> {
  bool bSupported() const { return true; }
  int nAt(const wchar_t*, const wchar_t*) const { return 1; }
  bool bOrphanLeadAt(const wchar_t*, const wchar_t*) const { return false; }
};

template <>
struct Stepper<char> {
  explicit Stepper(int nCodePage) : clSplitter(nCodePage) {}
  bool bSupported() const { return clSplitter.bSupported(); }
  int nAt(const char* p, const char* pEnd) const {
    return clSplitter.bByteWise() ? 1 : clSplitter.nBytesAt(p, pEnd);
  }
  bool bOrphanLeadAt(const char* p, const char* pEnd) const {
    return clSplitter.bOrphanLeadAt(p, pEnd);
  }
  CSqlCharSplitter clSplitter;
};

template <class T>
size_t Length(const T* p) {
  if constexpr (std::is_same_v<T, char>)
    return std::strlen(p);
  else
    return std::wcslen(p);
}

// A new block for n units and a terminator (null when refused or too large).
template <class T>
T* NewText(size_t n) {
  if (n >= UINT_MAX / sizeof(T)) return nullptr;
  return static_cast<T*>(XMALLOC_pNew_(static_cast<unsigned int>((n + 1) * sizeof(T))));
}

template <class T>
T* CopyOf(const T* p, size_t n) {
  T* pNew = NewText<T>(n);
  if (pNew != nullptr) {
    std::memcpy(pNew, p, n * sizeof(T));
    pNew[n] = 0;
  }
  return pNew;
}

// ---------------------------------------------------------------------------
// Escape

// A lead byte without its second byte is written "\" and the byte (see
// CSqlCharSplitter::bOrphanLeadAt).
template <class T>
size_t EscapeInto(const T* pSrc, size_t nSrc, T* pDst, int o1, int o2, int o3, int o4, int o5,
                  int o6, int o7, int o8, T q, T e, const Stepper<T>& step) {
  const T* p = pSrc;
  const T* const pEnd = pSrc + nSrc;
  T* d = pDst;
  while (p < pEnd) {
    const int n = step.nAt(p, pEnd);
    if (n > 1) {  // a character of several bytes: nothing in it is special
      for (int i = 0; i < n; ++i) *d++ = *p++;
      continue;
    }
    if (step.bOrphanLeadAt(p, pEnd)) {
      *d++ = T('\\');
      *d++ = *p++;
      continue;
    }
    const T c = *p;
    // The character after c, when it is a character of its own (a lead byte
    // is never %, _ or e: an e of 0x80 and above only ever matches alone).
    const T next = p + 1 < pEnd && step.nAt(p + 1, pEnd) == 1 ? p[1] : T(0);
    if (c == T('\'')) {
      if (o1) *d++ = q;
      *d++ = c;
      ++p;
    } else if (c == e && next == T('%')) {
      if (o6) {
        if (o3) *d++ = e;
        *d++ = e;
        if (o4) *d++ = e;
      } else {
        *d++ = e;
      }
      *d++ = T('%');
      p += 2;
    } else if (c == e && next == T('_')) {
      if (o7) {
        if (o3) *d++ = e;
        *d++ = e;
        if (o5) *d++ = e;
      } else {
        *d++ = e;
      }
      *d++ = T('_');
      p += 2;
    } else if (c == e && next == e && p + 1 < pEnd) {
      const int nCount = o8 && o3 ? 4 : 2;
      for (int i = 0; i < nCount; ++i) *d++ = e;
      p += 2;
    } else if (c == e) {
      *d++ = e;
      if (o3) *d++ = e;
      ++p;
    } else if (c == T('\\')) {
      *d++ = c;
      if (o2) *d++ = c;
      ++p;
    } else if (c == T('%')) {
      if (o4) *d++ = e;
      *d++ = c;
      ++p;
    } else if (c == T('_')) {
      if (o5) *d++ = e;
      *d++ = c;
      ++p;
    } else {
      *d++ = c;
      ++p;
    }
  }
  *d = 0;
  return static_cast<size_t>(d - pDst);
}

template <class T>
int EscapeT(const T* pSrc, T* pDst, int o1, int o2, int o3, int o4, int o5, int o6, int o7, int o8,
            T q, T e, const Stepper<T>& step) {
  if (!step.bSupported()) {
    *pDst = 0;
    return -1;
  }
  return static_cast<int>(
      EscapeInto(pSrc, Length(pSrc), pDst, o1, o2, o3, o4, o5, o6, o7, o8, q, e, step));
}

template <class T>
T* pszEscapeT(const T* pSrc, int o1, int o2, int o3, int o4, int o5, int o6, int o7, int o8, T q,
              T e, const Stepper<T>& step) {
  if (pSrc == nullptr || !step.bSupported()) return nullptr;
  const size_t nSrc = Length(pSrc);
  if (nSrc > (SIZE_MAX / sizeof(T) - 2) / 2) return nullptr;
  // A short text is escaped in automatic storage and copied out; a long one
  // straight into its block, which then shrinks to the exact size (no second
  // block, no copy).
  if (2 * nSrc + 2 <= 2048 / sizeof(T)) {
    T aWork[2048 / sizeof(T)];
    const size_t n = EscapeInto(pSrc, nSrc, aWork, o1, o2, o3, o4, o5, o6, o7, o8, q, e, step);
    return CopyOf(aWork, n);
  }
  T* pOut = NewText<T>(2 * nSrc + 1);
  if (pOut == nullptr) return nullptr;
  const size_t n = EscapeInto(pSrc, nSrc, pOut, o1, o2, o3, o4, o5, o6, o7, o8, q, e, step);
  if (void* pExact = XMALLOC_pResize_(pOut, static_cast<unsigned int>((n + 1) * sizeof(T))))
    pOut = static_cast<T*>(pExact);
  return pOut;
}

// ---------------------------------------------------------------------------
// Purging, forwards and in place: the write position never passes the read one.

template <class T>
void PurgeEscapeT(T* psz, T e, bool bOnlyDoubled, const Stepper<T>& step) {
  if (psz == nullptr || !step.bSupported()) return;
  const T* const pEnd = psz + Length(psz);
  const T* p = psz;
  T* d = psz;
  while (p < pEnd) {
    const int n = step.nAt(p, pEnd);
    if (n == 1 && *p == e && p + 1 < pEnd && step.nAt(p + 1, pEnd) == 1) {
      const T next = p[1];
      if (next == e || (!bOnlyDoubled && (next == T('%') || next == T('_')))) {
        *d++ = next;  // e dropped; its partner kept and not examined again
        p += 2;
        continue;
      }
    }
    for (int i = 0; i < n; ++i) *d++ = *p++;
  }
  *d = 0;
}

// Runs of the characters of pszSet: bQuoteAbsorbs collapses each run up to its
// last quote into one quote; otherwise (double quotes) a run of k becomes
// (k + 1) / 2, as pairs taken from the end of the run.
template <class T>
void PurgeRunsT(T* psz, bool bQuote, bool bBackslash, const Stepper<T>& step) {
  if (psz == nullptr || !step.bSupported()) return;
  const T kQuote = bQuote ? T('\'') : T('"');
  const T* const pEnd = psz + Length(psz);
  const T* p = psz;
  T* d = psz;
  while (p < pEnd) {
    const int n = step.nAt(p, pEnd);
    const bool bInRun = n == 1 && (*p == kQuote || (bBackslash && *p == T('\\')));
    if (!bInRun) {
      for (int i = 0; i < n; ++i) *d++ = *p++;
      continue;
    }
    // The run: characters of the set, each on its own.
    const T* pRun = p;
    const T* pLastQuote = nullptr;
    size_t nQuotes = 0;
    while (p < pEnd && step.nAt(p, pEnd) == 1 && (*p == kQuote || (bBackslash && *p == T('\\')))) {
      if (*p == kQuote) {
        pLastQuote = p;
        ++nQuotes;
      }
      ++p;
    }
    if (!bQuote) {
      for (size_t i = 0; i < (nQuotes + 1) / 2; ++i) *d++ = kQuote;
      continue;
    }
    if (pLastQuote == nullptr) {  // backslashes alone stay
      while (pRun < p) *d++ = *pRun++;
      continue;
    }
    *d++ = kQuote;
    for (const T* q = pLastQuote + 1; q < p; ++q) *d++ = *q;  // backslashes after it
  }
  *d = 0;
}

template <class T>
void PurgeBackslashPairsT(T* psz, const Stepper<T>& step) {
  PurgeEscapeT(psz, T('\\'), true, step);
}

// ---------------------------------------------------------------------------
// ChangeEscape: one routine counts (null dst) and writes.

template <class T>
size_t Put(T* d, const T* psz) {
  if (psz == nullptr) return 0;
  const size_t n = Length(psz);
  if (d != nullptr) std::memcpy(d, psz, n * sizeof(T));
  return n;
}

template <class T>
int64_t ChangeEscapeInto(const T* pSrc, T* pDst, const T* pct, const T* pctBefore,
                         const T* pctAfter, const T* und, const T* undBefore, const T* undAfter,
                         T e, const Stepper<T>& step) {
  const T* const pEnd = pSrc + Length(pSrc);
  const T* p = pSrc;
  int64_t nOut = 0;
  T* d = pDst;
  auto put = [&](const T* psz) {
    const size_t n = Put(d, psz);
    if (d != nullptr) d += n;
    nOut += static_cast<int64_t>(n);
  };
  auto putc = [&](T c) {
    if (d != nullptr) *d++ = c;
    ++nOut;
  };
  while (p < pEnd) {
    const int n = step.nAt(p, pEnd);
    if (n == 1 && *p == e && p + 1 < pEnd && step.nAt(p + 1, pEnd) == 1) {
      const T next = p[1];
      if (next == T('%')) {
        put(pctBefore), put(pct), put(pctAfter);
        p += 2;
        continue;
      }
      if (next == T('_')) {
        put(undBefore), put(und), put(undAfter);
        p += 2;
        continue;
      }
      if (next == e) {
        putc(e);
        p += 2;
        continue;
      }
    }
    for (int i = 0; i < n; ++i) putc(*p++);
  }
  if (d != nullptr) *d = 0;
  return nOut;
}

template <class T>
int nChangeEscapeLengthT(const T* pSrc, const T* pct, const T* pctBefore, const T* pctAfter,
                         const T* und, const T* undBefore, const T* undAfter, T e,
                         const Stepper<T>& step) {
  if (pSrc == nullptr) return 0;
  if (!step.bSupported()) return -1;
  const int64_t n =
      ChangeEscapeInto<T>(pSrc, nullptr, pct, pctBefore, pctAfter, und, undBefore, undAfter, e, step);
  return n > INT_MAX - 1 ? -1 : static_cast<int>(n);
}

template <class T>
int ChangeEscapeT(const T* pSrc, T* pDst, const T* pct, const T* pctBefore, const T* pctAfter,
                  const T* und, const T* undBefore, const T* undAfter, T e, const Stepper<T>& step) {
  if (!step.bSupported()) {
    *pDst = 0;
    return -1;
  }
  return static_cast<int>(
      ChangeEscapeInto(pSrc, pDst, pct, pctBefore, pctAfter, und, undBefore, undAfter, e, step));
}

template <class T>
T* pszChangeEscapeT(const T* pSrc, const T* pct, const T* pctBefore, const T* pctAfter,
                    const T* und, const T* undBefore, const T* undAfter, T e,
                    const Stepper<T>& step) {
  if (pSrc == nullptr) return nullptr;
  // Counted first, so the block has the exact size and no work buffer is
  // needed whatever the replacement texts.
  const int n =
      nChangeEscapeLengthT(pSrc, pct, pctBefore, pctAfter, und, undBefore, undAfter, e, step);
  if (n < 0) return nullptr;
  T* pOut = NewText<T>(static_cast<size_t>(n));
  if (pOut != nullptr)
    ChangeEscapeInto(pSrc, pOut, pct, pctBefore, pctAfter, und, undBefore, undAfter, e, step);
  return pOut;
}

// ---------------------------------------------------------------------------
// pszVerrueEscapeMySQL

// Steps 2 and 3 in one pass over the purged text, so that both see the
// characters of the text (a backslash inserted after a lead byte without its
// second byte would otherwise complete it): each quote becomes "\'"; each
// e (and, when e is not the backslash, each backslash) followed by "%", "_"
// or itself is kept with its partner, any other is doubled; a lead byte
// without its second byte is written "\" and the byte. The purged text holds
// no backslash before a quote, so every "\'" written here starts after a
// character that is no backslash. REQUIRES: dst holds 2 x n + 1 units.
template <class T>
size_t VerrueInto(const T* pSrc, size_t nSrc, T* pDst, T e, const Stepper<T>& step) {
  const T* p = pSrc;
  const T* const pEnd = pSrc + nSrc;
  T* d = pDst;
  while (p < pEnd) {
    const int n = step.nAt(p, pEnd);
    if (n > 1) {
      for (int i = 0; i < n; ++i) *d++ = *p++;
      continue;
    }
    const T c = *p;
    if (step.bOrphanLeadAt(p, pEnd) || c == T('\'')) {
      *d++ = T('\\');
      *d++ = *p++;
      continue;
    }
    if (c == e || c == T('\\')) {
      const T next = p + 1 < pEnd && step.nAt(p + 1, pEnd) == 1 ? p[1] : T(0);
      const bool bPair = p + 1 < pEnd && (next == T('%') || next == T('_') || next == c);
      *d++ = c;
      if (bPair) {
        *d++ = next;
        p += 2;
      } else {
        *d++ = c;
        ++p;
      }
      continue;
    }
    *d++ = *p++;
  }
  *d = 0;
  return static_cast<size_t>(d - pDst);
}

template <class T>
T* pszVerrueT(const T* pSrc, T e, const Stepper<T>& step) {
  if (pSrc == nullptr || !step.bSupported()) return nullptr;
  // A quote as escape character would double the quotes' own escapes, and a
  // NUL would end the text: neither gives a literal.
  if (e == T(0) || e == T('\'') || e == T('"')) return nullptr;
  const size_t nSrc = Length(pSrc);
  if (nSrc > (SIZE_MAX / sizeof(T) - 2) / 2) return nullptr;
  T* pCopy = CopyOf(pSrc, nSrc);
  if (pCopy == nullptr) return nullptr;
  PurgeRunsT(pCopy, true, true, step);
  const size_t nCopy = Length(pCopy);
  T* pOut = NewText<T>(2 * nCopy);
  if (pOut != nullptr) {
    const size_t n = VerrueInto(pCopy, nCopy, pOut, e, step);
    // The exact size, as the other allocating functions give.
    if (void* pExact = XMALLOC_pResize_(pOut, static_cast<unsigned int>((n + 1) * sizeof(T))))
      pOut = static_cast<T*>(pExact);
  }
  XMALLOC_Del_(pCopy);
  return pOut;
}

}  // namespace

// ---------------------------------------------------------------------------
// The twins

int Escape(const char* pszSrc, char* pszDst, int o1, int o2, int o3, int o4, int o5, int o6,
           int o7, int o8, char q, char e, int nCodePage) {
  return EscapeT(pszSrc, pszDst, o1, o2, o3, o4, o5, o6, o7, o8, q, e, Stepper<char>(nCodePage));
}

int Escape(const wchar_t* pszSrc, wchar_t* pszDst, int o1, int o2, int o3, int o4, int o5,
           int o6, int o7, int o8, wchar_t q, wchar_t e) {
  return EscapeT(pszSrc, pszDst, o1, o2, o3, o4, o5, o6, o7, o8, q, e, Stepper<wchar_t>());
}

char* pszEscape(const char* pszSrc, int o1, int o2, int o3, int o4, int o5, int o6, int o7,
                int o8, char q, char e, int nCodePage) {
  return pszEscapeT(pszSrc, o1, o2, o3, o4, o5, o6, o7, o8, q, e, Stepper<char>(nCodePage));
}

wchar_t* pszEscape(const wchar_t* pszSrc, int o1, int o2, int o3, int o4, int o5, int o6, int o7,
                   int o8, wchar_t q, wchar_t e) {
  return pszEscapeT(pszSrc, o1, o2, o3, o4, o5, o6, o7, o8, q, e, Stepper<wchar_t>());
}

void PurgeEscape(char* psz, char e, int nCodePage) {
  PurgeEscapeT(psz, e, false, Stepper<char>(nCodePage));
}
void PurgeEscape(wchar_t* psz, wchar_t e) { PurgeEscapeT(psz, e, false, Stepper<wchar_t>()); }

void PurgeEscapeEscape(char* psz, char e, int nCodePage) {
  PurgeEscapeT(psz, e, true, Stepper<char>(nCodePage));
}
void PurgeEscapeEscape(wchar_t* psz, wchar_t e) { PurgeEscapeT(psz, e, true, Stepper<wchar_t>()); }

void PurgeDoubleQuote(char* psz, int nCodePage) {
  PurgeRunsT(psz, false, false, Stepper<char>(nCodePage));
}
void PurgeDoubleQuote(wchar_t* psz) { PurgeRunsT(psz, false, false, Stepper<wchar_t>()); }

void PurgeQuote(char* psz, int bBackslash, int nCodePage) {
  PurgeRunsT(psz, true, bBackslash != 0, Stepper<char>(nCodePage));
}
void PurgeQuote(wchar_t* psz, int bBackslash) {
  PurgeRunsT(psz, true, bBackslash != 0, Stepper<wchar_t>());
}

void PurgeEscapeBackSlash(char* psz, int nCodePage) {
  const Stepper<char> step(nCodePage);
  PurgeBackslashPairsT(psz, step);
  PurgeRunsT(psz, true, true, step);
}
void PurgeEscapeBackSlash(wchar_t* psz) {
  const Stepper<wchar_t> step;
  PurgeBackslashPairsT(psz, step);
  PurgeRunsT(psz, true, true, step);
}

int ChangeEscape(const char* pszSrc, char* pszDst, const char* pszPct, const char* pszPctBefore,
                 const char* pszPctAfter, const char* pszUnd, const char* pszUndBefore,
                 const char* pszUndAfter, char e, int nCodePage) {
  return ChangeEscapeT(pszSrc, pszDst, pszPct, pszPctBefore, pszPctAfter, pszUnd, pszUndBefore,
                       pszUndAfter, e, Stepper<char>(nCodePage));
}
int ChangeEscape(const wchar_t* pszSrc, wchar_t* pszDst, const wchar_t* pszPct,
                 const wchar_t* pszPctBefore, const wchar_t* pszPctAfter, const wchar_t* pszUnd,
                 const wchar_t* pszUndBefore, const wchar_t* pszUndAfter, wchar_t e) {
  return ChangeEscapeT(pszSrc, pszDst, pszPct, pszPctBefore, pszPctAfter, pszUnd, pszUndBefore,
                       pszUndAfter, e, Stepper<wchar_t>());
}

int nChangeEscapeLength(const char* pszSrc, const char* pszPct, const char* pszPctBefore,
                        const char* pszPctAfter, const char* pszUnd, const char* pszUndBefore,
                        const char* pszUndAfter, char e, int nCodePage) {
  return nChangeEscapeLengthT(pszSrc, pszPct, pszPctBefore, pszPctAfter, pszUnd, pszUndBefore,
                              pszUndAfter, e, Stepper<char>(nCodePage));
}
int nChangeEscapeLength(const wchar_t* pszSrc, const wchar_t* pszPct, const wchar_t* pszPctBefore,
                        const wchar_t* pszPctAfter, const wchar_t* pszUnd,
                        const wchar_t* pszUndBefore, const wchar_t* pszUndAfter, wchar_t e) {
  return nChangeEscapeLengthT(pszSrc, pszPct, pszPctBefore, pszPctAfter, pszUnd, pszUndBefore,
                              pszUndAfter, e, Stepper<wchar_t>());
}

char* pszChangeEscape(const char* pszSrc, const char* pszPct, const char* pszPctBefore,
                      const char* pszPctAfter, const char* pszUnd, const char* pszUndBefore,
                      const char* pszUndAfter, char e, int nCodePage) {
  return pszChangeEscapeT(pszSrc, pszPct, pszPctBefore, pszPctAfter, pszUnd, pszUndBefore,
                          pszUndAfter, e, Stepper<char>(nCodePage));
}
wchar_t* pszChangeEscape(const wchar_t* pszSrc, const wchar_t* pszPct, const wchar_t* pszPctBefore,
                         const wchar_t* pszPctAfter, const wchar_t* pszUnd,
                         const wchar_t* pszUndBefore, const wchar_t* pszUndAfter, wchar_t e) {
  return pszChangeEscapeT(pszSrc, pszPct, pszPctBefore, pszPctAfter, pszUnd, pszUndBefore,
                          pszUndAfter, e, Stepper<wchar_t>());
}

char* pszVerrueEscapeMySQL(const char* pszSrc, wchar_t e, int nCodePage) {
  // A character that 1252 lacks comes back as "?", which must not stand in
  // for it.
  const char e8 = STR_WCharToAChar(e, 0, 1252);
  if (e8 == 0 || STR_CharToWChar(e8, 0, 1252) != e) return nullptr;
  return pszVerrueT(pszSrc, e8, Stepper<char>(nCodePage));
}

wchar_t* pszVerrueEscapeMySQL(const wchar_t* pszSrc, wchar_t e) {
  return pszVerrueT(pszSrc, e, Stepper<wchar_t>());
}
