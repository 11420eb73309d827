#include "platform/xpath.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "core/scratch_buffer.h"
#include "core/unicode.h"
#include "platform/path_names.h"
#include "platform/temp_names.h"

namespace {

bool bSep(wchar_t c) { return c == L'/' || c == L'\\'; }

// A private copy of n characters of a text that lies in a path about to
// change.
class CTextCopy {
 public:
  CTextCopy(const wchar_t* p, size_t n) : m_clBuffer(n + 1), m_n(n) {
    if (m_clBuffer.p() == nullptr) return;
    std::wmemcpy(m_clBuffer.p(), p, n);
    m_clBuffer.p()[n] = 0;
  }
  const wchar_t* p() const { return m_clBuffer.p(); }
  int n() const { return static_cast<int>(m_n); }

 private:
  CScratchBuffer<wchar_t, 512> m_clBuffer;
  size_t m_n;
};

// The length to use for (text, n): n, or the measured length for -1; -1
// when it passes the counted limit.
long long nMeasure(const wchar_t* pszText, int n) {
  if (n >= 0) return n;
  const size_t k = std::wcslen(pszText);
  return k > static_cast<size_t>(kCountedMaxUnits) ? -1 : static_cast<long long>(k);
}

}  // namespace

CFSPath::CFSPath() { m_szShort[0] = 0; }

CFSPath::CFSPath(const wchar_t* pszText) {
  m_szShort[0] = 0;
  if (pszText != nullptr) Assign(pszText, -1);
}

CFSPath::CFSPath(const CFSPath& other) : m_clLong(other.m_clLong) {
  std::wcscpy(m_szShort, other.m_szShort);
}

CFSPath& CFSPath::operator=(const CFSPath& other) {
  Assign(other);
  return *this;
}

CFSPath::~CFSPath() = default;

int CFSPath::nGetLength() const {
  return bIsLong() ? m_clLong.nGetLongueur() : static_cast<int>(std::wcslen(m_szShort));
}

bool CFSPath::bOverlaps(const wchar_t* p) const {
  const wchar_t* pszStart = pszGet();
  return p >= pszStart && p <= pszStart + nGetLength();
}

// ---------------------------------------------------------------------------
// Assignment

int CFSPath::Assign(const CFSPath& other) {
  if (&other == this) return 0;
  std::wcscpy(m_szShort, other.m_szShort);
  m_clLong = other.m_clLong;
  return 0;
}

int CFSPath::Assign(const wchar_t* pszText, int n) {
  if (pszText == nullptr) return kPathBadText;
  if (pszText == pszGet()) {
    if (n >= 0 && n < nGetLength()) return __SetSize(n);
    return 0;
  }
  if (bOverlaps(pszText)) {
    const long long nLen = nMeasure(pszText, n);
    if (nLen < 0) return kCountedTooLong;
    CTextCopy clCopy(pszText, static_cast<size_t>(nLen));
    if (clCopy.p() == nullptr) return kCountedTooLong;
    return Assign(clCopy.p(), clCopy.n());
  }
  const long long nLen = nMeasure(pszText, n);
  if (nLen < 0 || nLen > kCountedMaxUnits) return kCountedTooLong;
  const int k = static_cast<int>(nLen);
  if (std::wmemchr(pszText, 0, static_cast<size_t>(k)) != nullptr) return kPathBadText;
  if (k < static_cast<int>(kPathBufferChars)) {
    m_clLong.ReleaseDynStr();
    std::wmemcpy(m_szShort, pszText, static_cast<size_t>(k));
    m_szShort[k] = 0;
    return 0;
  }
  if (bIsLong()) {
    // nSetLength makes a shared buffer the path's own and grows it as needed.
    const int nRc = m_clLong.nSetLength(k);
    if (nRc != 0) return nRc;
  } else {
    CXYString<wchar_t> clNew;
    const int nRc = clNew.__nNew(k, nullptr, 0, 0);
    if (nRc != 0) return nRc;
    m_clLong = static_cast<CXYString<wchar_t>&&>(clNew);
  }
  std::wmemcpy(m_clLong.pGetData(), pszText, static_cast<size_t>(k));
  m_clLong.SetUtilLength(k);
  m_szShort[0] = 0;
  return 0;
}

int CFSPath::Assign(const CXYString<wchar_t>& str) {
  if (str.pGetData() == nullptr) {
    Clear();
    return 0;
  }
  return Assign(str.pszGet(), str.nGetLongueur());
}

void CFSPath::Clear() {
  m_szShort[0] = 0;
  m_clLong.ReleaseDynStr();
}

// ---------------------------------------------------------------------------
// Internal sizing

int CFSPath::__PrepareModification() {
  if (!bIsLong()) return 0;
  return m_clLong.nSetLength(m_clLong.nGetLongueur());
}

int CFSPath::__SetSize(int n) {
  if (bIsLong()) {
    const int nRc = __PrepareModification();
    if (nRc != 0) return nRc;
    m_clLong.SetUtilLength(n);  // 0 releases it: the empty short text is current
    return 0;
  }
  if (n >= 0 && n < static_cast<int>(kPathBufferChars)) m_szShort[n] = 0;
  return 0;
}

int CFSPath::__PrepareModification(int n) {
  if (n < 0 || n > kCountedMaxUnits) return kCountedTooLong;
  if (bIsLong()) {
    const int nRc = m_clLong.nSetLength(n);
    if (nRc != 0) return nRc;
    m_clLong.SetUtilLength(n);
    return 0;
  }
  if (n < static_cast<int>(kPathBufferChars)) {
    m_szShort[n] = 0;
    return 0;
  }
  CXYString<wchar_t> clNew;
  const int nLen = static_cast<int>(std::wcslen(m_szShort));
  const int nRc = clNew.__nNew(n, m_szShort, nLen, 0);
  if (nRc != 0) return nRc;
  clNew.SetUtilLength(n);
  m_clLong = static_cast<CXYString<wchar_t>&&>(clNew);
  m_szShort[0] = 0;
  return 0;
}

// ---------------------------------------------------------------------------
// Reading

const wchar_t* CFSPath::pszGetFileAndExtension() const {
  return CPathNames::pszGetPtrToFileName(pszGet());
}

const wchar_t* CFSPath::pszGetExtension() const {
  return CPathNames::pszGetPtrToExtension(pszGet());
}

CXYString<char> CFSPath::GetStringUTF8() const {
  CXYString<char> clText;
  clText.nAffecteToUTF8(pszGet(), nGetLength(), 65001);
  return clText;
}

void CFSPath::Split(CFSPath* pDirectory, CFSPath* pNameAndExtension) const {
  SplitPath(pszGet(), pDirectory, pNameAndExtension);
}

void CFSPath::Split(CFSPath* pDirectory, CFSPath* pName, CFSPath* pExtension) const {
  SplitPath(pszGet(), pDirectory, pName, pExtension);
}

void CFSPath::SplitPath(const wchar_t* pszText, CFSPath* pDirectory, CFSPath* pNameAndExtension) {
  if (pszText == nullptr) return;
  const CFSPath clText(pszText);  // the text may be an output's own
  const wchar_t* pszStart = clText.pszGet();
  const wchar_t* pszName = clText.pszGetFileAndExtension();
  if (pDirectory != nullptr) pDirectory->Assign(pszStart, static_cast<int>(pszName - pszStart));
  if (pNameAndExtension != nullptr) pNameAndExtension->Assign(pszName);
}

void CFSPath::SplitPath(const wchar_t* pszText, CFSPath* pDirectory, CFSPath* pName,
                        CFSPath* pExtension) {
  if (pszText == nullptr) return;
  const CFSPath clText(pszText);  // the text may be an output's own
  const wchar_t* pszStart = clText.pszGet();
  const wchar_t* pszName = clText.pszGetFileAndExtension();
  const wchar_t* pszExtension = clText.pszGetExtension();
  if (pDirectory != nullptr) pDirectory->Assign(pszStart, static_cast<int>(pszName - pszStart));
  if (pName != nullptr) pName->Assign(pszName, static_cast<int>(pszExtension - pszName));
  if (pExtension != nullptr) pExtension->Assign(pszExtension);
}

// ---------------------------------------------------------------------------
// Changing

int CFSPath::__Append(const wchar_t* pszText, int n, bool bSeparator) {
  if (pszText == nullptr) return kPathBadText;
  if (n == 0) return 0;
  const long long nLen = nMeasure(pszText, n);
  if (nLen < 0) return kCountedTooLong;
  if (nLen == 0) return 0;
  if (bOverlaps(pszText)) {
    return bSeparator ? AppendWithDirectorySeparatorOverlap(*this, pszText, static_cast<int>(nLen))
                      : AppendOverlap(*this, pszText, static_cast<int>(nLen));
  }
  if (std::wmemchr(pszText, 0, static_cast<size_t>(nLen)) != nullptr) return kPathBadText;
  const int nOld = nGetLength();
  const bool bSlash = bSeparator && nOld > 0 && !bSep(pszGet()[nOld - 1]) && !bSep(pszText[0]);
  const long long nTotal = nOld + (bSlash ? 1 : 0) + nLen;
  if (nTotal > kCountedMaxUnits) return kCountedTooLong;
  const int nRc = __PrepareModification(static_cast<int>(nTotal));
  if (nRc != 0) return nRc;
  wchar_t* p = pszData();
  if (bSlash) p[nOld] = L'/';
  std::wmemcpy(p + nOld + (bSlash ? 1 : 0), pszText, static_cast<size_t>(nLen));
  p[nTotal] = 0;
  return 0;
}

int CFSPath::Append(const wchar_t* pszText, int n) { return __Append(pszText, n, false); }

int CFSPath::AppendWithDirectorySeparator(const wchar_t* pszText, int n) {
  return __Append(pszText, n, true);
}

int AppendOverlap(CFSPath& clPath, const wchar_t* pszText, int n) {
  const long long nLen = nMeasure(pszText, n);
  if (nLen < 0) return kCountedTooLong;
  CTextCopy clCopy(pszText, static_cast<size_t>(nLen));
  if (clCopy.p() == nullptr) return kCountedTooLong;
  return clPath.__Append(clCopy.p(), clCopy.n(), false);
}

int AppendWithDirectorySeparatorOverlap(CFSPath& clPath, const wchar_t* pszText, int n) {
  const long long nLen = nMeasure(pszText, n);
  if (nLen < 0) return kCountedTooLong;
  CTextCopy clCopy(pszText, static_cast<size_t>(nLen));
  if (clCopy.p() == nullptr) return kCountedTooLong;
  return clPath.__Append(clCopy.p(), clCopy.n(), true);
}

int CFSPath::WithDirectorySeparator() {
  const int n = nGetLength();
  if (n == 0 || bSep(pszGet()[n - 1])) return 0;
  return __Append(L"/", 1, false);
}

void CFSPath::WithoutDirectorySeparator() {
  const int n = nGetLength();
  if (n > 0 && bSep(pszGet()[n - 1])) __SetSize(n - 1);
}

void CFSPath::Truncate(int n) {
  if (n >= 0 && n < nGetLength()) __SetSize(n);
}

int CFSPath::ChangeExtension(const wchar_t* pszExtension) {
  if (pszExtension != nullptr && bOverlaps(pszExtension)) {
    CTextCopy clCopy(pszExtension, std::wcslen(pszExtension));
    if (clCopy.p() == nullptr) return kCountedTooLong;
    return ChangeExtension(clCopy.p());
  }
  const int nKeep = static_cast<int>(pszGetExtension() - pszGet());
  if (nKeep < nGetLength()) {
    const int nRc = __SetSize(nKeep);
    if (nRc != 0) return nRc;
  }
  return pszExtension != nullptr ? Append(pszExtension) : 0;
}

int CFSPath::ChangeFileAndExtension(const wchar_t* pszNameAndExtension) {
  if (pszNameAndExtension == nullptr) return kPathBadText;
  if (bOverlaps(pszNameAndExtension)) {
    CTextCopy clCopy(pszNameAndExtension, std::wcslen(pszNameAndExtension));
    if (clCopy.p() == nullptr) return kCountedTooLong;
    return ChangeFileAndExtension(clCopy.p());
  }
  const int nKeep = static_cast<int>(pszGetFileAndExtension() - pszGet());
  if (nKeep < nGetLength()) {
    const int nRc = __SetSize(nKeep);
    if (nRc != 0) return nRc;
  }
  return Append(pszNameAndExtension);
}

void CFSPath::ExtractDirectory() {
  const int nKeep = static_cast<int>(pszGetFileAndExtension() - pszGet());
  if (nKeep < nGetLength()) __SetSize(nKeep);
}

int CFSPath::ExtractFileAndExtension() { return Assign(pszGetFileAndExtension()); }

int CFSPath::ExtractFile() {
  const wchar_t* pszName = pszGetFileAndExtension();
  return Assign(pszName, static_cast<int>(pszGetExtension() - pszName));
}

int CFSPath::ExtractExtension() { return Assign(pszGetExtension()); }

int CFSPath::ExtractDirectory(const wchar_t* pszText) {
  if (pszText == nullptr) return kPathBadText;
  return Assign(pszText, static_cast<int>(CPathNames::pszGetPtrToFileName(pszText) - pszText));
}

int CFSPath::ExtractFile(const wchar_t* pszText) {
  if (pszText == nullptr) return kPathBadText;
  const wchar_t* pszName = CPathNames::pszGetPtrToFileName(pszText);
  return Assign(pszName, static_cast<int>(CPathNames::pszGetPtrToExtension(pszText) - pszName));
}

int CFSPath::ExtractFileAndExtension(const wchar_t* pszText) {
  if (pszText == nullptr) return kPathBadText;
  return Assign(CPathNames::pszGetPtrToFileName(pszText));
}

int CFSPath::ExtractExtension(const wchar_t* pszText) {
  if (pszText == nullptr) return kPathBadText;
  return Assign(CPathNames::pszGetPtrToExtension(pszText));
}

int CFSPath::MakePath(const wchar_t* pszDirectory, const wchar_t* pszName,
                      const wchar_t* pszExtension) {
  // Built aside: a part may be this path's own text.
  CFSPath clNew;
  int nRc = 0;
  if (pszDirectory != nullptr && pszDirectory[0] != 0) {
    nRc = clNew.Assign(pszDirectory);
    if (nRc == 0) nRc = clNew.WithDirectorySeparator();
  }
  if (nRc == 0 && pszName != nullptr && pszName[0] != 0) nRc = clNew.Append(pszName);
  if (nRc == 0 && pszExtension != nullptr && pszExtension[0] != 0) {
    if (pszExtension[0] != L'.') nRc = clNew.Append(L".", 1);
    if (nRc == 0) nRc = clNew.Append(pszExtension);
  }
  if (nRc != 0) return nRc;
  return Assign(clNew);
}

void CFSPath::ConvertToUnix() {
  if (std::wcschr(pszGet(), L'\\') == nullptr || __PrepareModification() != 0) return;
  wchar_t* p = pszData();
  for (int i = 0, n = nGetLength(); i < n; ++i) {
    if (p[i] == L'\\') p[i] = L'/';
  }
}

void CFSPath::ConvertToWindows() {
  if (std::wcschr(pszGet(), L'/') == nullptr || __PrepareModification() != 0) return;
  wchar_t* p = pszData();
  for (int i = 0, n = nGetLength(); i < n; ++i) {
    if (p[i] == L'/') p[i] = L'\\';
  }
}

int CFSPath::AssignAbsolutePath(const wchar_t* pszText) {
  if (pszText == nullptr) {
    Clear();
    return kPathBadText;
  }
  // The text may be this path's own: the full form is made aside first. The
  // working directory may change between the two calls: a few tries.
  for (int nTry = 0; nTry < 3; ++nTry) {
    const unsigned int nNeeded = CPathNames::GetFullPathName(pszText, 0, nullptr, nullptr);
    if (nNeeded == 0) {
      const int nErr = errno;
      Clear();
      return nErr != 0 ? nErr : kPathBadText;
    }
    CScratchBuffer<wchar_t, kPathBufferChars> clFull(nNeeded);
    if (clFull.p() == nullptr) return kCountedTooLong;
    const unsigned int n = CPathNames::GetFullPathName(pszText, nNeeded, clFull.p(), nullptr);
    if (n == 0) {
      const int nErr = errno;
      Clear();
      return nErr != 0 ? nErr : kPathBadText;
    }
    if (n < nNeeded) return Assign(clFull.p(), static_cast<int>(n));
  }
  Clear();
  return ERANGE;
}

int CFSPath::ConvertToAbsolute() { return AssignAbsolutePath(pszGet()); }

int CFSPath::CreateTempPath(const wchar_t* pszPrefix) {
  wchar_t szName[kPathBufferChars];
  if (!CTempNames::bGetTempName(szName, pszPrefix, nullptr)) {
    const int nErr = errno;
    Clear();
    return nErr != 0 ? nErr : kPathBadText;
  }
  return Assign(szName);
}

int CFSPath::bGetModule() {
  Clear();
  char* pszName = realpath("/proc/self/exe", nullptr);
  if (pszName == nullptr) return 0;
  size_t nChars = 0;
  for (const char* q = pszName; *q != '\0'; ++nChars) UTF8_GetNext(&q);
  CScratchBuffer<wchar_t, kPathBufferChars> clWide(nChars + 1);
  int nRc = kCountedTooLong;
  if (clWide.p() != nullptr) {
    UTF8ToWide(clWide.p(), static_cast<unsigned int>(nChars + 1), pszName);
    nRc = Assign(clWide.p(), static_cast<int>(nChars));
  }
  free(pszName);
  return nRc == 0 ? 1 : 0;
}

int CFSPath::__bNeedSeparator(const wchar_t* pszText, int n) {
  return pszText != nullptr && n > 0 && !bSep(pszText[n - 1]);
}
