#include "core/mixed_width_concat.h"

#include <cstring>
#include <cwchar>

#include "core/char_conv.h"
#include "core/locale_compare.h"

namespace {

constexpr unsigned int kUtf8 = 65001;

// A growth step for a temporary builder sized by its text.
unsigned int StepFor(unsigned long long n) {
  return n == 0 ? 1 : n > 0x10000000ULL ? 0x10000000U : static_cast<unsigned int>(n);
}

unsigned int ResolvePage(int nCodePage) {
  return nCodePage == -1 ? static_cast<unsigned int>(STR_nGetCurrentCodePage())
                         : static_cast<unsigned int>(nCodePage);
}

// Searches pattern (n units) in text at or after from; -1 when absent.
template <class T>
int FindIn(const T* pText, unsigned int nText, const T* pPattern, unsigned int nPattern,
           unsigned int nFrom) {
  if (nPattern == 0) return nFrom <= nText ? static_cast<int>(nFrom) : -1;
  if (nText < nPattern) return -1;
  for (unsigned int i = nFrom; i + nPattern <= nText; ++i)
    if (pText[i] == pPattern[0] && std::memcmp(pText + i, pPattern, nPattern * sizeof(T)) == 0)
      return static_cast<int>(i);
  return -1;
}

}  // namespace

CTStringConcatAW::CTStringConcatAW(int nMode, int nCodePage)
    : m_nMode(nMode), m_nCodePage(nCodePage) {}

unsigned int CTStringConcatAW::_nModePage() const { return ResolvePage(m_nMode); }
unsigned int CTStringConcatAW::_nWordPage() const { return ResolvePage(m_nCodePage); }

bool CTStringConcatAW::bEchec() const { return m_clAnsi.bEchec() || m_clWide.bEchec(); }

unsigned int CTStringConcatAW::nGetLength() const {
  return bWideMode() ? m_clWide.nGetLength() : m_clAnsi.nGetLength();
}

void CTStringConcatAW::Vide() {
  m_clAnsi.Tronque(0);
  m_clWide.Tronque(0);
}

void CTStringConcatAW::Libere() {
  m_clAnsi.Libere();
  m_clWide.Libere();
}

void CTStringConcatAW::_Invalidate() {
  if (bWideMode())
    m_clAnsi.Tronque(0);
  else
    m_clWide.Tronque(0);
}

void CTStringConcatAW::SetMode(int nMode, int nCodePage) {
  if (nGetLength() == 0) {
    Vide();
    m_nMode = nMode;
    m_nCodePage = nCodePage;
    return;
  }
  CXYStringConcat<wchar_t> clText(1024);
  const wchar_t* pszText = pszGetW();
  clText.Add(pszText, static_cast<int>(std::wcslen(pszText)));
  Vide();
  m_nMode = nMode;
  m_nCodePage = nCodePage;
  Add(clText.pszGet(), static_cast<int>(clText.nGetLength()));
}

// ---------------------------------------------------------------------------
// Conversions of arguments

bool CTStringConcatAW::_ToPrimary(const wchar_t* pszText, int n,
                                  CXYStringConcat<char>& out) const {
  out.Tronque(0);
  return out.AddWide(pszText, n, _nModePage()) != 0;
}

bool CTStringConcatAW::_AnsiToWide(const char* pszText, int n,
                                   CXYStringConcat<wchar_t>& out) const {
  out.Tronque(0);
  return out.AddAnsi(pszText, n, _nWordPage()) != 0;
}

bool CTStringConcatAW::_AnsiToPrimary(const char* pszText, int n,
                                      CXYStringConcat<char>& out) const {
  out.Tronque(0);
  const unsigned int nFrom = _nWordPage();
  const unsigned int nTo = _nModePage();
  if (nFrom == nTo) return out.Add(pszText, n) != 0;
  if (nTo == kUtf8) return out.AddAnsiToUTF8(pszText, n, nFrom) != 0;
  CXYStringConcat<wchar_t> clWide(StepFor(n > 0 ? static_cast<unsigned int>(n) : 1));
  if (!clWide.AddAnsi(pszText, n, nFrom)) return false;
  return out.AddWide(clWide.pszGet(), static_cast<int>(clWide.nGetLength()), nTo) != 0;
}

// ---------------------------------------------------------------------------
// Reading

const wchar_t* CTStringConcatAW::pszGetW() {
  if (m_clWide.nGetLength() > 0 || bWideMode()) return m_clWide.pszGet();
  if (m_clAnsi.nGetLength() > 0)
    m_clWide.AddAnsi(m_clAnsi.pszGet(), static_cast<int>(m_clAnsi.nGetLength()), _nModePage());
  return m_clWide.pszGet();
}

const char* CTStringConcatAW::pszGetA() {
  if (m_clAnsi.nGetLength() > 0 || !bWideMode()) return m_clAnsi.pszGet();
  if (m_clWide.nGetLength() > 0)
    m_clAnsi.AddWide(m_clWide.pszGet(), static_cast<int>(m_clWide.nGetLength()), _nWordPage());
  return m_clAnsi.pszGet();
}

wchar_t CTStringConcatAW::cGetCharW(int i) {
  pszGetW();
  if (i < 0 || static_cast<unsigned int>(i) >= m_clWide.nGetLength()) return 0;
  return m_clWide.pGetBuffer()[i];
}

int CTStringConcatAW::cGetCharA(int i) {
  pszGetW();
  if (m_clWide.nGetLength() == 0 || i < 0 || static_cast<unsigned int>(i) >= m_clAnsi.nGetLength())
    return 0;
  return static_cast<unsigned char>(m_clAnsi.pGetBuffer()[i]);
}

bool CTStringConcatAW::bIsCharSpace(int i) const {
  if (i < 0 || static_cast<unsigned int>(i) >= nGetLength()) return false;
  return bWideMode() ? m_clWide.pGetBuffer()[i] == L' ' : m_clAnsi.pGetBuffer()[i] == ' ';
}

int CTStringConcatAW::nPos(wchar_t c, int nFrom) const {
  if (bWideMode()) return m_clWide.nPos(c, nFrom);
  // As a pattern: in UTF-8 and the double-byte pages one character is
  // several bytes, which a single byte could not find.
  const wchar_t sz[2] = {c, 0};
  return nPos(sz, nFrom);
}

int CTStringConcatAW::nPos(char c, int nFrom) const {
  if (bWideMode()) return m_clWide.nPos(STR_CharToWChar(c, 0, _nWordPage()), nFrom);
  if (c == 0x7F && _nModePage() != _nWordPage())
    c = STR_WCharToAChar(STR_CharToWChar(c, 0, _nModePage()), 0, _nModePage());
  return m_clAnsi.nPos(c, nFrom);
}

int CTStringConcatAW::nPos(const wchar_t* pszPattern, int nFrom) const {
  if (pszPattern == nullptr) return -1;
  if (bWideMode()) return m_clWide.nPos(pszPattern, nFrom);
  if (m_clAnsi.nGetLength() == 0) return -1;
  CXYStringConcat<char> clPattern(64);
  const int n = static_cast<int>(std::wcslen(pszPattern));
  if (n > 0 && (!_ToPrimary(pszPattern, n, clPattern) || clPattern.nGetLength() == 0)) return -1;
  return m_clAnsi.nPos(clPattern.pszGet(), nFrom);
}

int CTStringConcatAW::nPos(const char* pszPattern, int nFrom) const {
  if (pszPattern == nullptr) return -1;
  const int n = static_cast<int>(std::strlen(pszPattern));
  if (bWideMode()) {
    if (m_clWide.nGetLength() == 0) return -1;
    CXYStringConcat<wchar_t> clPattern(64);
    if (n > 0 && (!_AnsiToWide(pszPattern, n, clPattern) || clPattern.nGetLength() == 0)) return -1;
    return m_clWide.nPos(clPattern.pszGet(), nFrom);
  }
  if (m_clAnsi.nGetLength() == 0) return -1;
  CXYStringConcat<char> clPattern(64);
  if (n > 0 && (!_AnsiToPrimary(pszPattern, n, clPattern) || clPattern.nGetLength() == 0)) return -1;
  return m_clAnsi.nPos(clPattern.pszGet(), nFrom);
}

// ---------------------------------------------------------------------------
// Appending

int CTStringConcatAW::Add(const wchar_t* pszText, int n, unsigned int) {
  if (pszText == nullptr || n <= 0) return 1;
  _Invalidate();
  return bWideMode() ? m_clWide.Add(pszText, n) : m_clAnsi.AddWide(pszText, n, _nModePage());
}

int CTStringConcatAW::Add(const wchar_t* pszText) {
  return pszText == nullptr ? 1 : Add(pszText, static_cast<int>(std::wcslen(pszText)));
}

int CTStringConcatAW::Add(const char* pszText, int n, unsigned int nCodePage) {
  if (pszText == nullptr || n <= 0) return 1;
  _Invalidate();
  const unsigned int nFrom = nCodePage == static_cast<unsigned int>(-1) ? _nWordPage() : nCodePage;
  if (bWideMode()) return m_clWide.AddAnsi(pszText, n, nFrom);
  const unsigned int nTo = _nModePage();
  if (nFrom == nTo) return m_clAnsi.Add(pszText, n);
  if (nTo == kUtf8) return m_clAnsi.AddAnsiToUTF8(pszText, n, nFrom);
  CXYStringConcat<wchar_t> clWide(StepFor(static_cast<unsigned int>(n)));
  if (!clWide.AddAnsi(pszText, n, nFrom)) {
    m_clAnsi.SetEchec();  // the builder must say that its text is incomplete
    return 0;
  }
  return m_clAnsi.AddWide(clWide.pszGet(), static_cast<int>(clWide.nGetLength()), nTo);
}

int CTStringConcatAW::AddUTF8(const char* pszUTF8, int n) {
  if (pszUTF8 == nullptr || n <= 0) return 1;
  _Invalidate();
  return bWideMode() ? m_clWide.AddUTF8(pszUTF8, n, kUtf8)
                     : m_clAnsi.AddUTF8(pszUTF8, n, _nModePage());
}

int CTStringConcatAW::AddNumber(int nValue, int nWidth) {
  _Invalidate();
  return bWideMode() ? m_clWide.AddNumber(nValue, nWidth) : m_clAnsi.AddNumber(nValue, nWidth);
}

int CTStringConcatAW::AddNumber(long long nValue, int nWidth) {
  _Invalidate();
  return bWideMode() ? m_clWide.AddNumber(nValue, nWidth) : m_clAnsi.AddNumber(nValue, nWidth);
}

int CTStringConcatAW::AddNumberHexa(unsigned char n) {
  _Invalidate();
  return bWideMode() ? m_clWide.AddNumberHexa(n) : m_clAnsi.AddNumberHexa(n);
}

int CTStringConcatAW::AddNumberHexa(unsigned short n) {
  _Invalidate();
  return bWideMode() ? m_clWide.AddNumberHexa(n) : m_clAnsi.AddNumberHexa(n);
}

int CTStringConcatAW::AddNumberHexa(unsigned int n) {
  _Invalidate();
  return bWideMode() ? m_clWide.AddNumberHexa(n) : m_clAnsi.AddNumberHexa(n);
}

int CTStringConcatAW::AddNumberHexa(unsigned long long n) {
  _Invalidate();
  return bWideMode() ? m_clWide.AddNumberHexa(n) : m_clAnsi.AddNumberHexa(n);
}

// ---------------------------------------------------------------------------
// Changing

void CTStringConcatAW::Majuscule() {
  if (nGetLength() == 0) return;
  if (bWideMode())
    m_clWide.Majuscule();
  else
    m_clAnsi.Majuscule();
  _Invalidate();
}

void CTStringConcatAW::Tronque(int n) {
  const unsigned int nLength = nGetLength();
  if (n > 0 && static_cast<unsigned int>(n) >= nLength) return;
  const unsigned int nNew = n <= 0 ? 0 : static_cast<unsigned int>(n);
  if (bWideMode())
    m_clWide.Tronque(nNew);
  else
    m_clAnsi.Tronque(nNew);
  _Invalidate();
}

void CTStringConcatAW::Coupe(int nStart, int n) {
  const unsigned int nLength = nGetLength();
  if (nStart < 0) nStart = 0;
  if (n <= 0 || static_cast<unsigned int>(nStart) > nLength) return;
  if (static_cast<unsigned long long>(nStart) + static_cast<unsigned int>(n) > nLength) {
    Tronque(nStart);
    return;
  }
  if (bWideMode())
    _Replace(m_clWide, nStart, n, L"", 0);
  else
    _Replace(m_clAnsi, nStart, n, "", 0);
}

template <class T>
void CTStringConcatAW::_Insert(CXYStringConcat<T>& clText, const T* pszNew, unsigned int nNew,
                               int nPos) {
  if (nNew == 0) return;
  _Invalidate();
  const unsigned int nLength = clText.nGetLength();
  if (static_cast<unsigned int>(nPos) >= nLength) {
    clText.Add(pszNew, static_cast<int>(nNew));
    return;
  }
  if (!clText.bReserve(static_cast<unsigned long long>(nLength) + nNew)) return;
  T* p = clText.pGetBuffer();
  std::memmove(p + nPos + nNew, p + nPos, (nLength - static_cast<unsigned int>(nPos) + 1) * sizeof(T));
  std::memcpy(p + nPos, pszNew, nNew * sizeof(T));
  clText._SetLength(nLength + nNew);
}

void CTStringConcatAW::Insert(const wchar_t* pszText, int n, int nPos) {
  if (pszText == nullptr || n <= 0) return;
  if (bWideMode()) {
    _Insert(m_clWide, pszText, static_cast<unsigned int>(n), nPos);
    return;
  }
  CXYStringConcat<char> clNew(StepFor(4ULL * static_cast<unsigned int>(n)));
  if (!_ToPrimary(pszText, n, clNew)) {
    m_clAnsi.SetEchec();
    return;
  }
  _Insert(m_clAnsi, clNew.pszGet(), clNew.nGetLength(), nPos);
}

void CTStringConcatAW::Insert(const char* pszText, int n, int nPos) {
  if (pszText == nullptr || n <= 0) return;
  if (bWideMode()) {
    CXYStringConcat<wchar_t> clNew(StepFor(static_cast<unsigned int>(n)));
    if (!_AnsiToWide(pszText, n, clNew)) {
      m_clWide.SetEchec();
      return;
    }
    _Insert(m_clWide, clNew.pszGet(), clNew.nGetLength(), nPos);
    return;
  }
  CXYStringConcat<char> clNew(StepFor(4ULL * static_cast<unsigned int>(n)));
  if (!_AnsiToPrimary(pszText, n, clNew)) {
    m_clAnsi.SetEchec();
    return;
  }
  _Insert(m_clAnsi, clNew.pszGet(), clNew.nGetLength(), nPos);
}

template <class T>
void CTStringConcatAW::_Replace(CXYStringConcat<T>& clText, int nStart, int n, const T* pszNew,
                                unsigned int nNew) {
  const unsigned int nLength = clText.nGetLength();
  if (nLength == 0 || nStart < 0 || static_cast<unsigned int>(nStart) > nLength) return;
  const unsigned int nRest = nLength - static_cast<unsigned int>(nStart);
  const unsigned int nRemoved =
      n < 0 || static_cast<unsigned int>(n) > nRest ? nRest : static_cast<unsigned int>(n);
  const unsigned long long nNewLength = static_cast<unsigned long long>(nLength) - nRemoved + nNew;
  if (!clText.bReserve(nNewLength)) return;
  T* p = clText.pGetBuffer();
  // The tail after the range, with its terminator, moves to its new place.
  std::memmove(p + nStart + nNew, p + nStart + nRemoved, (nRest - nRemoved + 1) * sizeof(T));
  if (nNew != 0) std::memcpy(p + nStart, pszNew, nNew * sizeof(T));
  clText._SetLength(static_cast<unsigned int>(nNewLength));
  _Invalidate();
}

void CTStringConcatAW::Remplace(int nStart, int n, const wchar_t* pszText, int nLen) {
  if (nGetLength() == 0) return;
  if (pszText == nullptr || nLen < 0) nLen = 0;
  if (bWideMode()) {
    _Replace(m_clWide, nStart, n, pszText, static_cast<unsigned int>(nLen));
    return;
  }
  CXYStringConcat<char> clNew(StepFor(4ULL * static_cast<unsigned int>(nLen) + 1));
  if (nLen > 0 && !_ToPrimary(pszText, nLen, clNew)) {
    m_clAnsi.SetEchec();
    return;
  }
  _Replace(m_clAnsi, nStart, n, clNew.pszGet(), clNew.nGetLength());
}

void CTStringConcatAW::Remplace(int nStart, int n, const char* pszText, int nLen) {
  if (nGetLength() == 0) return;
  if (pszText == nullptr || nLen < 0) nLen = 0;
  if (bWideMode()) {
    CXYStringConcat<wchar_t> clNew(StepFor(static_cast<unsigned int>(nLen) + 1));
    if (nLen > 0 && !_AnsiToWide(pszText, nLen, clNew)) {
      m_clWide.SetEchec();
      return;
    }
    _Replace(m_clWide, nStart, n, clNew.pszGet(), clNew.nGetLength());
    return;
  }
  CXYStringConcat<char> clNew(StepFor(4ULL * static_cast<unsigned int>(nLen) + 1));
  if (nLen > 0 && !_AnsiToPrimary(pszText, nLen, clNew)) {
    m_clAnsi.SetEchec();
    return;
  }
  _Replace(m_clAnsi, nStart, n, clNew.pszGet(), clNew.nGetLength());
}

template <class T>
void CTStringConcatAW::_ReplaceAll(CXYStringConcat<T>& clText, const T* pszPattern,
                                   unsigned int nPattern, const T* pszNew, unsigned int nNew,
                                   int nFrom) {
  const unsigned int nLength = clText.nGetLength();
  if (nPattern == 0 || nLength < nPattern) return;
  if (nFrom < 0) nFrom = 0;
  if (static_cast<unsigned int>(nFrom) > nLength) return;
  const T* p = clText.pGetBuffer();
  int nAt = FindIn(p, nLength, pszPattern, nPattern, static_cast<unsigned int>(nFrom));
  if (nAt < 0) return;
  if (nPattern == nNew) {  // overwritten in place
    T* pw = clText.pGetBuffer();
    while (nAt >= 0) {
      std::memcpy(pw + nAt, pszNew, nNew * sizeof(T));
      nAt = FindIn<T>(pw, nLength, pszPattern, nPattern, static_cast<unsigned int>(nAt) + nNew);
    }
    _Invalidate();
    return;
  }
  // One pass into a new text: each stretch of text is copied once, whatever the number
  // of occurrences.
  CXYStringConcat<T> clNew(StepFor(nLength));
  unsigned int nDone = 0;
  bool bOk = true;
  while (nAt >= 0 && bOk) {
    bOk = clNew.Add(p + nDone, nAt - static_cast<int>(nDone)) && clNew.Add(pszNew, static_cast<int>(nNew));
    nDone = static_cast<unsigned int>(nAt) + nPattern;
    nAt = FindIn(p, nLength, pszPattern, nPattern, nDone);
  }
  if (bOk) bOk = clNew.Add(p + nDone, static_cast<int>(nLength - nDone));
  if (!bOk || !clText.bReserve(clNew.nGetLength())) {
    clText.SetEchec();  // the text stays as it was, marked as failed
    return;
  }
  std::memcpy(clText.pGetBuffer(), clNew.pszGet(), clNew.nGetLength() * sizeof(T));
  clText._SetLength(clNew.nGetLength());
  _Invalidate();
}

void CTStringConcatAW::Remplace(const wchar_t* pszPattern, int nPatternLen, const wchar_t* pszText,
                                int nTextLen, int nFrom) {
  if (nGetLength() == 0 || pszPattern == nullptr || nPatternLen <= 0) return;
  if (pszText == nullptr || nTextLen < 0) nTextLen = 0;
  if (bWideMode()) {
    _ReplaceAll(m_clWide, pszPattern, static_cast<unsigned int>(nPatternLen), pszText,
                static_cast<unsigned int>(nTextLen), nFrom);
    return;
  }
  CXYStringConcat<char> clPattern(StepFor(4ULL * static_cast<unsigned int>(nPatternLen)));
  CXYStringConcat<char> clNew(StepFor(4ULL * static_cast<unsigned int>(nTextLen) + 1));
  if (!_ToPrimary(pszPattern, nPatternLen, clPattern) ||
      (nTextLen > 0 && !_ToPrimary(pszText, nTextLen, clNew))) {
    m_clAnsi.SetEchec();
    return;
  }
  _ReplaceAll(m_clAnsi, clPattern.pszGet(), clPattern.nGetLength(), clNew.pszGet(),
              clNew.nGetLength(), nFrom);
}

void CTStringConcatAW::Remplace(const char* pszPattern, int nPatternLen, const char* pszText,
                                int nTextLen, int nFrom) {
  if (nGetLength() == 0 || pszPattern == nullptr || nPatternLen <= 0) return;
  if (pszText == nullptr || nTextLen < 0) nTextLen = 0;
  if (bWideMode()) {
    CXYStringConcat<wchar_t> clPattern(StepFor(static_cast<unsigned int>(nPatternLen)));
    CXYStringConcat<wchar_t> clNew(StepFor(static_cast<unsigned int>(nTextLen) + 1));
    if (!_AnsiToWide(pszPattern, nPatternLen, clPattern) ||
        (nTextLen > 0 && !_AnsiToWide(pszText, nTextLen, clNew))) {
      m_clWide.SetEchec();
      return;
    }
    _ReplaceAll(m_clWide, clPattern.pszGet(), clPattern.nGetLength(), clNew.pszGet(),
                clNew.nGetLength(), nFrom);
    return;
  }
  CXYStringConcat<char> clPattern(StepFor(4ULL * static_cast<unsigned int>(nPatternLen)));
  CXYStringConcat<char> clNew(StepFor(4ULL * static_cast<unsigned int>(nTextLen) + 1));
  if (!_AnsiToPrimary(pszPattern, nPatternLen, clPattern) ||
      (nTextLen > 0 && !_AnsiToPrimary(pszText, nTextLen, clNew))) {
    m_clAnsi.SetEchec();
    return;
  }
  _ReplaceAll(m_clAnsi, clPattern.pszGet(), clPattern.nGetLength(), clNew.pszGet(),
              clNew.nGetLength(), nFrom);
}
