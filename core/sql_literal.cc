#include "core/sql_literal.h"

#include <cstring>
#include <cwchar>

#include "core/locale_compare.h"
#include "core/sql_char_splitter.h"

namespace {

constexpr int kUtf8 = 65001;
const char kHexDigits[] = "0123456789ABCDEF";

int Resolve(int nCodePage) { return nCodePage == -1 ? STR_nGetCurrentCodePage() : nCodePage; }

// The hexadecimal literal of n bytes, after the introducer when given.
template <class T>
int AddHexLiteral(CXYStringConcat<T>& out, const unsigned char* p, size_t n,
                  const char* pszIntroducer) {
  const size_t nIntro = pszIntroducer == nullptr ? 0 : std::strlen(pszIntroducer);
  const unsigned int nLength = out.nGetLength();
  if (!out.bReserve(static_cast<unsigned long long>(nLength) + nIntro + 1 + 3 + 2ULL * n)) return 0;
  T* d = out.pGetBuffer() + nLength;
  if (nIntro != 0) {
    *d++ = T('_');
    for (size_t i = 0; i < nIntro; ++i) *d++ = static_cast<T>(static_cast<unsigned char>(pszIntroducer[i]));
    *d++ = T(' ');
  }
  *d++ = T('X');
  *d++ = T('\'');
  for (size_t i = 0; i < n; ++i) {
    *d++ = static_cast<T>(kHexDigits[p[i] >> 4]);
    *d++ = static_cast<T>(kHexDigits[p[i] & 0xF]);
  }
  *d++ = T('\'');
  out._SetLength(static_cast<unsigned int>(d - out.pGetBuffer()));
  return 1;
}

// The quoted form: backslash escapes or doubled quotes. nAt gives the units of
// the character at p (several for a double-byte character, whose bytes are
// copied as they are); bOrphan tells a lead byte without its second byte,
// which the backslash form writes escaped ("\" and the byte) so that the
// backslash of a following "\'" cannot complete it into a character.
template <class T, class CharUnits, class Orphan>
int AddQuoted(CXYStringConcat<T>& out, const T* p, size_t n, bool bBackslash, CharUnits nAt,
              Orphan bOrphan) {
  const unsigned int nLength = out.nGetLength();
  // Every unit at most doubled, and the two quotes.
  if (!out.bReserve(static_cast<unsigned long long>(nLength) + 2ULL * n + 2)) return 0;
  T* d = out.pGetBuffer() + nLength;
  const T* const pEnd = p + n;
  *d++ = T('\'');
  while (p < pEnd) {
    const int k = nAt(p, pEnd);
    if (k > 1) {
      for (int i = 0; i < k; ++i) *d++ = *p++;
      continue;
    }
    if (bBackslash && bOrphan(p, pEnd)) {
      *d++ = T('\\');
      *d++ = *p++;
      continue;
    }
    const T c = *p++;
    if (c == T('\'')) {
      *d++ = bBackslash ? T('\\') : T('\'');
      *d++ = c;
    } else if (bBackslash && c == T('\\')) {
      *d++ = c;
      *d++ = c;
    } else if (bBackslash && c == T(0)) {
      *d++ = T('\\');
      *d++ = T('0');
    } else {
      *d++ = c;
    }
  }
  *d++ = T('\'');
  out._SetLength(static_cast<unsigned int>(d - out.pGetBuffer()));
  return 1;
}

template <class T>
int AddQuotedUnits(CXYStringConcat<T>& out, const T* p, size_t n, bool bBackslash) {
  return AddQuoted(
      out, p, n, bBackslash, [](const T*, const T*) { return 1; },
      [](const T*, const T*) { return false; });
}

template <class T>
int AddEmpty(CXYStringConcat<T>& out) {
  const T sz[2] = {T('\''), T('\'')};
  return out.Add(sz, 2);
}

template <class T>
bool HoldsBackslashOrZero(const T* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] == T('\\') || p[i] == T(0)) return true;
  return false;
}

// The server takes a zero byte in a query for its end: a quoted literal can
// hold one only as "\0", which needs backslash escapes.
template <class T>
bool HoldsZero(const T* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] == T(0)) return true;
  return false;
}

int AddBytes(CXYStringConcat<char>& out, const char* p, size_t n, int nCodePage,
             eSQLLITERALFORM eForm, const char* pszIntroducer) {
  if (n == 0) return AddEmpty(out);
  const CSqlCharSplitter clSplitter(nCodePage);
  const auto* pBytes = reinterpret_cast<const unsigned char*>(p);
  if (!clSplitter.bSupported()) return AddHexLiteral(out, pBytes, n, pszIntroducer);
  if (eForm == eSqlLiteralAnyMode) {
    // Judged on the bytes, not on the characters: the result then stays right
    // even if the server splits the text otherwise than expected.
    if (HoldsBackslashOrZero(p, n)) return AddHexLiteral(out, pBytes, n, pszIntroducer);
    eForm = eSqlLiteralDoubledQuote;
  }
  if (eForm == eSqlLiteralDoubledQuote && HoldsZero(p, n))
    return AddHexLiteral(out, pBytes, n, pszIntroducer);
  const bool bBackslash = eForm == eSqlLiteralBackslash;
  if (clSplitter.bByteWise()) return AddQuotedUnits(out, p, n, bBackslash);
  return AddQuoted(
      out, p, n, bBackslash,
      [&clSplitter](const char* q, const char* pEnd) { return clSplitter.nBytesAt(q, pEnd); },
      [&clSplitter](const char* q, const char* pEnd) { return clSplitter.bOrphanLeadAt(q, pEnd); });
}

int AddWideInCodePage(CXYStringConcat<wchar_t>& out, const wchar_t* p, size_t n, int nCodePage,
                      eSQLLITERALFORM eForm, const char* pszIntroducer) {
  if (n == 0) return AddEmpty(out);
  if (nCodePage == kUtf8) {
    // UTF-8 writes every character from U+0080 up in bytes from 0x80 up: the
    // characters the server will see as quote, backslash and NUL are those
    // of the wide text.
    const bool bHex = (eForm == eSqlLiteralAnyMode && HoldsBackslashOrZero(p, n)) ||
                      (eForm == eSqlLiteralDoubledQuote && HoldsZero(p, n));
    if (!bHex) return AddQuotedUnits(out, p, n, eForm == eSqlLiteralBackslash);
    CXYStringConcat<char> clBytes(static_cast<unsigned int>(n));
    if (!clBytes.AddWide(p, static_cast<int>(n), kUtf8)) {
      out.SetEchec();
      return 0;
    }
    return AddHexLiteral(out, reinterpret_cast<const unsigned char*>(clBytes.pszGet()),
                         clBytes.nGetLength(), pszIntroducer);
  }
  // Another code page: escaped in the bytes the server will receive, then
  // brought back to wide text, which must convert to exactly those bytes.
  CXYStringConcat<char> clBytes(static_cast<unsigned int>(n));
  CXYStringConcat<char> clLiteral(static_cast<unsigned int>(n) + 16);
  CXYStringConcat<wchar_t> clWide(static_cast<unsigned int>(n) + 16);
  CXYStringConcat<char> clCheck(static_cast<unsigned int>(n) + 16);
  if (!clBytes.AddWide(p, static_cast<int>(n), static_cast<unsigned int>(nCodePage)) ||
      !AddBytes(clLiteral, clBytes.pszGet(), clBytes.nGetLength(), nCodePage, eForm,
                pszIntroducer) ||
      !clWide.AddAnsi(clLiteral.pszGet(), static_cast<int>(clLiteral.nGetLength()),
                      static_cast<unsigned int>(nCodePage)) ||
      !clCheck.AddWide(clWide.pszGet(), static_cast<int>(clWide.nGetLength()),
                       static_cast<unsigned int>(nCodePage))) {
    out.SetEchec();
    return 0;
  }
  if (clCheck.nGetLength() == clLiteral.nGetLength() &&
      std::memcmp(clCheck.pszGet(), clLiteral.pszGet(), clLiteral.nGetLength()) == 0)
    return out.Add(clWide.pszGet(), static_cast<int>(clWide.nGetLength()));
  // The code page does not give the same bytes back: the hexadecimal form
  // is ASCII and survives any conversion.
  return AddHexLiteral(out, reinterpret_cast<const unsigned char*>(clBytes.pszGet()),
                       clBytes.nGetLength(), pszIntroducer);
}

template <class T>
size_t Measure(const T* p, int n) {
  if (p == nullptr || n == 0 || n < -1) return 0;
  if (n > 0) return static_cast<size_t>(n);
  if constexpr (sizeof(T) == 1)
    return std::strlen(p);
  else
    return std::wcslen(p);
}

}  // namespace

int AddSqlStringLiteral(CXYStringConcat<char>& out, const char* pText, int n, int nCodePage,
                        eSQLLITERALFORM eForm, const char* pszIntroducer) {
  return AddBytes(out, pText, Measure(pText, n), Resolve(nCodePage), eForm, pszIntroducer);
}

int AddSqlStringLiteral(CXYStringConcat<wchar_t>& out, const wchar_t* pText, int n, int nCodePage,
                        eSQLLITERALFORM eForm, const char* pszIntroducer) {
  return AddWideInCodePage(out, pText, Measure(pText, n), Resolve(nCodePage), eForm,
                           pszIntroducer);
}

int AddSqlStringLiteral(CTStringConcatAW& out, const wchar_t* pText, int n,
                        eSQLLITERALFORM eForm, const char* pszIntroducer) {
  const size_t nText = Measure(pText, n);
  out._Invalidate();
  if (out.bWideMode())
    return AddWideInCodePage(out._Wide(), pText, nText, Resolve(out.nGetCodePage()), eForm,
                             pszIntroducer);
  const int nCodePage = Resolve(out.nGetMode());
  if (nText == 0) return AddEmpty(out._Ansi());
  CXYStringConcat<char> clBytes(static_cast<unsigned int>(nText));
  if (!clBytes.AddWide(pText, static_cast<int>(nText), static_cast<unsigned int>(nCodePage))) {
    out._Ansi().SetEchec();
    return 0;
  }
  return AddBytes(out._Ansi(), clBytes.pszGet(), clBytes.nGetLength(), nCodePage, eForm,
                  pszIntroducer);
}
