#include "platform/path_names.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "core/counted_string.h"
#include "core/error_object.h"
#include "core/unicode.h"
#include "core/wide_string.h"
#include "core/xmalloc.h"
#include "core/zstring.h"

namespace {

template <typename T>
bool bSep(T c) {
  return c == T('/') || c == T('\\');
}

template <typename T>
size_t nLen(const T* p) {
  size_t n = 0;
  while (p[n] != 0) ++n;
  return n;
}

template <typename T>
void Slashes(T* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (p[i] == T('\\')) p[i] = T('/');
  }
}

bool bIsDot(const wchar_t* p, int n) { return n == 1 && p[0] == L'.'; }
bool bIsDotDot(const wchar_t* p, int n) { return n == 2 && p[0] == L'.' && p[1] == L'.'; }

// The normal form, in place (the result is never longer than the text).
// Components are resolved left to right; see the header.
int NormaliseInPlace(wchar_t* p, int n) {
  Slashes(p, static_cast<size_t>(n));
  if (n == 0) return 0;
  const bool bRooted = p[0] == L'/';
  const bool bTrailing = n > 1 && p[n - 1] == L'/';
  const int nBase = bRooted ? 1 : 0;  // the output after the root
  int o = nBase;
  int nPoppable = 0;  // components at the end of the output that ".." removes
  // Emitting writes at o, which never passes the part of the input already
  // read: every component but the first has at least one '/' before it that
  // has not been written yet.
  auto emit = [&](int i, int len) {
    if (o > nBase) p[o++] = L'/';
    std::memmove(p + o, p + i, static_cast<size_t>(len) * sizeof(wchar_t));
    o += len;
  };
  int i = nBase;
  while (i < n) {
    int j = i;
    while (j < n && p[j] != L'/') ++j;
    const int len = j - i;
    if (len == 0) {
      // an empty component: runs of '/' read as one
    } else if (bIsDot(p + i, len)) {
      // A leading "./" of a relative path says "from here": it stays.
      if (!bRooted && o == 0 && j < n) emit(i, len);
    } else if (bIsDotDot(p + i, len)) {
      if (nPoppable > 0) {
        int k = o - 1;
        while (k >= nBase && p[k] != L'/') --k;
        o = k >= nBase ? k : nBase;
        --nPoppable;
      } else if (!bRooted) {
        emit(i, len);  // climbs above the start of a relative path
      }                // at the root: stays at the root
    } else {
      emit(i, len);
      ++nPoppable;
    }
    i = j + 1;
  }
  if (o == 0 && !bRooted) p[o++] = L'.';  // "a/.." is the place it started from
  if (bTrailing && p[o - 1] != L'/') p[o++] = L'/';
  p[o] = 0;
  return o;
}

// A copy of a wide text in a scratch buffer, with backslashes read as '/'.
class CSlashCopy {
 public:
  explicit CSlashCopy(const wchar_t* psz, size_t nExtra = 0)
      : m_n(psz != nullptr ? nLen(psz) : 0), m_clBuffer(m_n + nExtra + 1) {
    if (m_clBuffer.p() == nullptr) return;
    if (m_n != 0) std::memcpy(m_clBuffer.p(), psz, m_n * sizeof(wchar_t));
    m_clBuffer.p()[m_n] = 0;
    Slashes(m_clBuffer.p(), m_n);
  }
  wchar_t* p() const { return m_clBuffer.p(); }
  size_t n() const { return m_n; }
  void SetLength(size_t n) {
    m_n = n;
    m_clBuffer.p()[n] = 0;
  }

 private:
  size_t m_n;
  CScratchBuffer<wchar_t, 512> m_clBuffer;
};

// Copies n characters and a terminator when they fit in nCapacity; else
// ENAMETOOLONG and nothing written.
int bPut(wchar_t* pszDestination, unsigned int nCapacity, const wchar_t* p, size_t n) {
  if (n >= nCapacity) {
    errno = ENAMETOOLONG;
    return 0;
  }
  std::memmove(pszDestination, p, n * sizeof(wchar_t));
  pszDestination[n] = 0;
  return 1;
}

// Removes trailing blanks the way STR_SuppressRightSpaces does.
void TrimRight(CSlashCopy& clText) {
  STR_SuppressRightSpaces(clText.p());
  clText.SetLength(nLen(clText.p()));
}

// The characters of a UTF-8 text once decoded (the decoder never passes the
// terminator).
size_t nUtf8Chars(const char* psz) {
  size_t n = 0;
  for (const char* p = psz; *p != '\0'; ++n) UTF8_GetNext(&p);
  return n;
}

// The last '.' of the last component, or the end.
template <typename T>
size_t nExtensionAt(const T* p, size_t n) {
  for (size_t i = n; i > 0; --i) {
    const T c = p[i - 1];
    if (c == T('.')) return i - 1;
    if (bSep(c)) break;
  }
  return n;
}

}  // namespace

// ---------------------------------------------------------------------------
// Separators

char* CPathNames::pszBackSlash2Slash(char* psz) {
  if (psz != nullptr) Slashes(psz, nLen(psz));
  return psz;
}

wchar_t* CPathNames::pszBackSlash2Slash(wchar_t* psz) {
  if (psz != nullptr) Slashes(psz, nLen(psz));
  return psz;
}

CTString& CPathNames::pszBackSlash2Slash(CTString& str) {
  str.Remplace(L'\\', L'/');
  return str;
}

CXYString<wchar_t>& CPathNames::pszBackSlash2Slash(CXYString<wchar_t>& str) {
  const int n = str.nGetLongueur();
  if (n > 0 && std::wcschr(str.pszGet(), L'\\') != nullptr && str.nSetLength(n) == 0)
    Slashes(str.pGetData(), static_cast<size_t>(n));
  return str;
}

char* CPathNames::pszSlash2BackSlash(char* psz) {
  for (char* p = psz; p != nullptr && *p != '\0'; ++p) {
    if (*p == '/') *p = '\\';
  }
  return psz;
}

wchar_t* CPathNames::pszSlash2BackSlash(wchar_t* psz) {
  for (wchar_t* p = psz; p != nullptr && *p != 0; ++p) {
    if (*p == L'/') *p = L'\\';
  }
  return psz;
}

CTString& CPathNames::pszSlash2BackSlash(CTString& str) {
  str.Remplace(L'/', L'\\');
  return str;
}

CXYString<wchar_t>& CPathNames::pszSlash2BackSlash(CXYString<wchar_t>& str) {
  const int n = str.nGetLongueur();
  if (n > 0 && std::wcschr(str.pszGet(), L'/') != nullptr && str.nSetLength(n) == 0)
    pszSlash2BackSlash(str.pGetData());
  return str;
}

int CPathNames::DirectoryWithEndSlash(wchar_t* psz, unsigned int nCapacity) {
  if (psz == nullptr) return 0;
  const size_t n = nLen(psz);
  Slashes(psz, n);
  if (n == 0 || psz[n - 1] == L'/') return 1;
  if (n + 1 >= nCapacity) {
    errno = ENAMETOOLONG;
    return 0;
  }
  psz[n] = L'/';
  psz[n + 1] = 0;
  return 1;
}

int CPathNames::DirectoryWithEndSlash(char* psz, unsigned int nCapacity) {
  if (psz == nullptr) return 0;
  const size_t n = nLen(psz);
  Slashes(psz, n);
  if (n == 0 || psz[n - 1] == '/') return 1;
  if (n + 1 >= nCapacity) {
    errno = ENAMETOOLONG;
    return 0;
  }
  psz[n] = '/';
  psz[n + 1] = '\0';
  return 1;
}

void CPathNames::DirectoryWithEndSlash(CTString& str) {
  pszBackSlash2Slash(str);
  if (str.nTaille() != 0 && !str.bTerminePar(L'/')) str.Add(L'/');
}

int CPathNames::DirectoryWithEndSlash(CXYString<wchar_t>& str) {
  pszBackSlash2Slash(str);
  const int n = str.nGetLongueur();
  if (n == 0 || str.pszGet()[n - 1] == L'/') return 0;
  return str.nConcat(L"/", 1);
}

int CPathNames::DirectoryWithoutEndSlash(wchar_t* psz) {
  if (psz == nullptr) return 0;
  size_t n = nLen(psz);
  Slashes(psz, n);
  while (n > 0 && psz[n - 1] == L'/') --n;
  psz[n] = 0;
  return static_cast<int>(n);
}

void CPathNames::DirectoryWithoutEndSlash(CTString& str) {
  const int n = str.nTaille();
  if (n > 0 && bSep(str.cGetChar(n - 1))) str.Tronque(n - 1);
}

void CPathNames::DirectoryWithoutEndSlash(CXYString<wchar_t>& str) {
  const int n = str.nGetLongueur();
  if (n > 0 && bSep(str.pszGet()[n - 1])) str.nAffecteConversion(str.pszGet(), n - 1);
}

int CPathNames::PrefixeCurrentDirectory(wchar_t* psz, unsigned int nCapacity) {
  if (psz == nullptr) return 0;
  const size_t n = nLen(psz);
  if (n + 2 >= nCapacity) {
    errno = ENAMETOOLONG;
    return 0;
  }
  std::memmove(psz + 2, psz, (n + 1) * sizeof(wchar_t));
  psz[0] = L'.';
  psz[1] = L'/';
  return 1;
}

// ---------------------------------------------------------------------------
// Name parts

const wchar_t* CPathNames::pszGetPtrToFileName(const wchar_t* pszPath) {
  if (pszPath == nullptr) return nullptr;
  const wchar_t* p = pszPath;
  if (p[0] != 0 && p[1] == L':') p += 2;
  const wchar_t* pszName = p;
  for (; *p != 0; ++p) {
    if (bSep(*p)) pszName = p + 1;
  }
  return pszName;
}

wchar_t* CPathNames::pszGetPtrToFileName(wchar_t* pszPath) {
  return const_cast<wchar_t*>(pszGetPtrToFileName(static_cast<const wchar_t*>(pszPath)));
}

const wchar_t* CPathNames::pszGetPtrToExtension(const wchar_t* pszPath) {
  if (pszPath == nullptr || *pszPath == 0) return pszPath;
  // Within the file name only: the dot of a drive prefix (".:x") is not an
  // extension, and the extension never begins before the name.
  const wchar_t* pszName = pszGetPtrToFileName(pszPath);
  const size_t n = nLen(pszName);
  return pszName + nExtensionAt(pszName, n);
}

wchar_t* CPathNames::pszGetPtrToExtension(wchar_t* pszPath) {
  return const_cast<wchar_t*>(pszGetPtrToExtension(static_cast<const wchar_t*>(pszPath)));
}

void CPathNames::DelExtension(wchar_t* psz) {
  if (psz == nullptr) return;
  const size_t n = nLen(psz);
  Slashes(psz, n);
  psz[nExtensionAt(psz, n)] = 0;
}

int CPathNames::DelExtension(CXYString<wchar_t>& str) {
  const int n = str.nGetLongueur();
  const size_t k = nExtensionAt(str.pszGet(), static_cast<size_t>(n));
  if (k == static_cast<size_t>(n)) return 0;
  return str.nAffecteConversion(str.pszGet(), static_cast<int>(k));
}

namespace {

// The new text of ChangeExtension: how much of the path is kept and whether a
// '.' goes between it and the extension.
struct _stNewExtension {
  size_t nKeep;
  bool bDot;
  size_t nExtension;
};

_stNewExtension NewExtension(const wchar_t* pszPath, size_t n, const wchar_t* pszExtension) {
  const size_t nExt = pszExtension != nullptr ? nLen(pszExtension) : 0;
  const bool bExtDot = nExt != 0 && pszExtension[0] == L'.';
  const size_t nDot = nExtensionAt(pszPath, n);
  if (nDot < n) return {bExtDot ? nDot : nDot + 1, false, nExt};
  return {n, !bExtDot, nExt};
}

}  // namespace

int CPathNames::ChangeExtension(wchar_t* pszPath, unsigned int nCapacity,
                                const wchar_t* pszExtension) {
  if (pszPath == nullptr) return 0;
  const size_t n = nLen(pszPath);
  Slashes(pszPath, n);
  const _stNewExtension st = NewExtension(pszPath, n, pszExtension);
  const size_t nNew = st.nKeep + (st.bDot ? 1 : 0) + st.nExtension;
  if (nNew >= nCapacity) {
    errno = ENAMETOOLONG;
    return 0;
  }
  size_t o = st.nKeep;
  if (st.bDot) pszPath[o++] = L'.';
  for (size_t i = 0; i < st.nExtension; ++i)
    pszPath[o++] = pszExtension[i] == L'\\' ? L'/' : pszExtension[i];
  pszPath[o] = 0;
  return 1;
}

int CPathNames::ChangeExtension(CXYString<wchar_t>& str, const wchar_t* pszExtension) {
  const size_t n = static_cast<size_t>(str.nGetLongueur());
  const _stNewExtension st = NewExtension(str.pszGet(), n, pszExtension);
  const size_t nNew = st.nKeep + (st.bDot ? 1 : 0) + st.nExtension;
  if (nNew > static_cast<size_t>(kCountedMaxUnits)) return kCountedTooLong;
  CScratchBuffer<wchar_t, 512> clNew(nNew + 1);
  if (clNew.p() == nullptr) return kCountedTooLong;
  std::memcpy(clNew.p(), str.pszGet(), st.nKeep * sizeof(wchar_t));
  size_t o = st.nKeep;
  if (st.bDot) clNew.p()[o++] = L'.';
  for (size_t i = 0; i < st.nExtension; ++i)
    clNew.p()[o++] = pszExtension[i] == L'\\' ? L'/' : pszExtension[i];
  clNew.p()[o] = 0;
  return str.nAffecteConversion(clNew.p(), static_cast<int>(o));
}

template <typename T>
int CPathNames::__SplitPath(const T* pszPath, T* pszDirectory, T* pszName, T* pszExtension,
                            unsigned int nCapacity) {
  T* const apOut[3] = {pszDirectory, pszName, pszExtension};
  for (T* p : apOut) {
    if (p != nullptr && nCapacity > 0) p[0] = 0;
  }
  if (pszPath == nullptr) return 1;
  const size_t n = nLen(pszPath);
  size_t nSlash = n;  // the last separator, n when none
  for (size_t i = n; i > 0; --i) {
    if (bSep(pszPath[i - 1])) {
      nSlash = i - 1;
      break;
    }
  }
  const size_t nRest = nSlash == n ? 0 : nSlash + 1;
  const size_t nDot = nExtensionAt(pszPath + nRest, n - nRest) + nRest;
  // [start, length) of each part
  const size_t aStart[3] = {0, nRest, nDot};
  const size_t aLength[3] = {nRest, nDot - nRest, n - nDot};
  for (int k = 0; k < 3; ++k) {
    if (apOut[k] != nullptr && aLength[k] >= nCapacity) {
      errno = ENAMETOOLONG;
      return 0;
    }
  }
  for (int k = 0; k < 3; ++k) {
    if (apOut[k] == nullptr) continue;
    for (size_t i = 0; i < aLength[k]; ++i) {
      const T c = pszPath[aStart[k] + i];
      apOut[k][i] = c == T('\\') ? T('/') : c;
    }
    apOut[k][aLength[k]] = 0;
  }
  return 1;
}

template <typename T>
int CPathNames::__SplitPath(const T* pszPath, T* pszDirectory, T* pszNameWithExtension,
                            unsigned int nCapacity) {
  if (pszDirectory != nullptr && nCapacity > 0) pszDirectory[0] = 0;
  if (pszNameWithExtension != nullptr && nCapacity > 0) pszNameWithExtension[0] = 0;
  if (pszPath == nullptr) return 1;
  const size_t n = nLen(pszPath);
  size_t nRest = 0;
  for (size_t i = n; i > 0; --i) {
    if (bSep(pszPath[i - 1])) {
      nRest = i;
      break;
    }
  }
  if ((pszDirectory != nullptr && nRest >= nCapacity) ||
      (pszNameWithExtension != nullptr && n - nRest >= nCapacity)) {
    errno = ENAMETOOLONG;
    return 0;
  }
  if (pszDirectory != nullptr) {
    for (size_t i = 0; i < nRest; ++i) pszDirectory[i] = bSep(pszPath[i]) ? T('/') : pszPath[i];
    pszDirectory[nRest] = 0;
  }
  if (pszNameWithExtension != nullptr) {
    for (size_t i = nRest; i < n; ++i) pszNameWithExtension[i - nRest] = pszPath[i];
    pszNameWithExtension[n - nRest] = 0;
  }
  return 1;
}

template int CPathNames::__SplitPath<wchar_t>(const wchar_t*, wchar_t*, wchar_t*, wchar_t*,
                                              unsigned int);
template int CPathNames::__SplitPath<char>(const char*, char*, char*, char*, unsigned int);
template int CPathNames::__SplitPath<wchar_t>(const wchar_t*, wchar_t*, wchar_t*, unsigned int);
template int CPathNames::__SplitPath<char>(const char*, char*, char*, unsigned int);

int CPathNames::MakePath(wchar_t* pszDestination, const wchar_t* pszDirectory,
                         const wchar_t* pszName, const wchar_t* pszExtension,
                         unsigned int nCapacity) {
  if (pszDestination == nullptr) return 0;
  const size_t nDir = pszDirectory != nullptr ? nLen(pszDirectory) : 0;
  const size_t nName = pszName != nullptr ? nLen(pszName) : 0;
  const size_t nExt = pszExtension != nullptr ? nLen(pszExtension) : 0;
  const bool bSlash = nDir != 0 && !bSep(pszDirectory[nDir - 1]);
  const bool bDot = nExt != 0 && pszExtension[0] != L'.';
  const size_t nTotal = nDir + (bSlash ? 1 : 0) + nName + (bDot ? 1 : 0) + nExt;
  if (nTotal >= nCapacity) {
    errno = ENAMETOOLONG;
    return 0;
  }
  // The parts may lie in the destination itself: build aside first.
  CScratchBuffer<wchar_t, 512> clOut(nTotal + 1);
  if (clOut.p() == nullptr) {
    errno = ENOMEM;
    return 0;
  }
  wchar_t* o = clOut.p();
  for (size_t i = 0; i < nDir; ++i) *o++ = pszDirectory[i];
  if (bSlash) *o++ = L'/';
  for (size_t i = 0; i < nName; ++i) *o++ = pszName[i];
  if (bDot) *o++ = L'.';
  for (size_t i = 0; i < nExt; ++i) *o++ = pszExtension[i];
  Slashes(clOut.p(), nTotal);
  return bPut(pszDestination, nCapacity, clOut.p(), nTotal);
}

// ---------------------------------------------------------------------------
// Tests

int CPathNames::bIsRelativePath(const wchar_t* pszPath) {
  return pszPath != nullptr && pszPath[0] == L'.';
}

int CPathNames::bIsRelativeFileName(const wchar_t* pszPath) {
  return pszPath != nullptr && pszPath[0] != L'/';
}

int CPathNames::bIsRelativeFileName_WIN32(const wchar_t* pszPath) {
  if (pszPath == nullptr || pszPath[0] == 0) return 1;
  if (pszPath[0] == L'\\') return 0;
  if (std::iswalpha(static_cast<wint_t>(pszPath[0])) && pszPath[1] == L':') return 0;
  return pszPath[nLen(pszPath) - 1] != L':';
}

int CPathNames::bUNCName(const wchar_t* pszPath) {
  return pszPath != nullptr && pszPath[0] == L'\\' && pszPath[1] == L'\\' &&
         std::wcschr(pszPath + 2, L'\\') != nullptr;
}

int CPathNames::bUNCNameA(const char* pszPath) {
  return pszPath != nullptr && pszPath[0] == '\\' && pszPath[1] == '\\' &&
         std::strchr(pszPath + 2, '\\') != nullptr;
}

int CPathNames::bIsAVirtualDirectory(const wchar_t* pszName) {
  if (pszName == nullptr) return 0;
  return std::wcscmp(pszName, L".") == 0 || std::wcscmp(pszName, L"..") == 0;
}

int CPathNames::bValidFullName(const wchar_t* pszPath) {
  return pszPath != nullptr && std::wcspbrk(pszPath, L"*?\"<>|") == nullptr;
}

int CPathNames::bValidName(const wchar_t* pszName) {
  return pszName != nullptr && std::wcspbrk(pszName, L"\\/:*?\"<>|") == nullptr;
}

// ---------------------------------------------------------------------------
// Comparison and normal forms

int CPathNames::StandardizeFileName(wchar_t* pszDestination, const wchar_t* pszSource,
                                    unsigned int nCapacity) {
  if (pszDestination == nullptr) return 0;
  CSlashCopy clText(pszSource != nullptr ? pszSource : pszDestination);
  if (clText.p() == nullptr) {
    errno = ENOMEM;
    return 0;
  }
  TrimRight(clText);
  return bPut(pszDestination, nCapacity, clText.p(), clText.n());
}

namespace {

// Standardised text of a name, with one trailing '/' removed when asked.
bool bStandardCopy(CSlashCopy& clText, bool bOneSlashLess) {
  if (clText.p() == nullptr) return false;
  TrimRight(clText);
  if (bOneSlashLess && clText.n() > 0 && clText.p()[clText.n() - 1] == L'/')
    clText.SetLength(clText.n() - 1);
  return true;
}

int bEqualTexts(const CSlashCopy& a, const CSlashCopy& b) {
  return a.n() == b.n() && std::wmemcmp(a.p(), b.p(), a.n()) == 0;
}

}  // namespace

int CPathNames::bSameFileName(const wchar_t* pszA, const wchar_t* pszB) {
  if (pszA == nullptr || pszB == nullptr) return pszA == pszB;
  CSlashCopy clA(pszA);
  CSlashCopy clB(pszB);
  if (!bStandardCopy(clA, false) || !bStandardCopy(clB, false)) return 0;
  return bEqualTexts(clA, clB);
}

int CPathNames::bSameDirectoryName(const wchar_t* pszA, const wchar_t* pszB) {
  if (pszA == nullptr || pszB == nullptr) return pszA == pszB;
  CSlashCopy clA(pszA);
  CSlashCopy clB(pszB);
  if (!bStandardCopy(clA, true) || !bStandardCopy(clB, true)) return 0;
  return bEqualTexts(clA, clB);
}

namespace {

// The full form of a name in a scratch buffer (a failure leaves the name as
// it is, which then compares as written).
class CFullName {
 public:
  explicit CFullName(const wchar_t* psz) {
    if (psz == nullptr) return;
    const unsigned int nNeeded = CPathNames::GetFullPathName(psz, 0, nullptr, nullptr);
    if (nNeeded == 0) return;
    m_pBuffer = static_cast<wchar_t*>(XMALLOC_pNew_(nNeeded * sizeof(wchar_t)));
    if (m_pBuffer == nullptr) return;
    if (CPathNames::GetFullPathName(psz, nNeeded, m_pBuffer, nullptr) >= nNeeded) {
      XMALLOC_Del_(m_pBuffer);
      m_pBuffer = nullptr;
    }
  }
  ~CFullName() {
    if (m_pBuffer != nullptr) XMALLOC_Del_(m_pBuffer);
  }
  CFullName(const CFullName&) = delete;
  CFullName& operator=(const CFullName&) = delete;
  const wchar_t* psz(const wchar_t* pszOtherwise) const {
    return m_pBuffer != nullptr ? m_pBuffer : pszOtherwise;
  }

 private:
  wchar_t* m_pBuffer = nullptr;
};

}  // namespace

int CPathNames::bSameDirectoryNameEx(const wchar_t* pszA, int bAFull, const wchar_t* pszB,
                                     int bBFull) {
  if (pszA == nullptr || pszB == nullptr) return pszA == pszB;
  CFullName clFullA(bAFull ? pszA : nullptr);
  CFullName clFullB(bBFull ? pszB : nullptr);
  return bSameDirectoryName(clFullA.psz(pszA), clFullB.psz(pszB));
}

int CPathNames::SimplifyPath(wchar_t* pszPath) {
  if (pszPath == nullptr) return 0;
  return NormaliseInPlace(pszPath, static_cast<int>(nLen(pszPath)));
}

// ---------------------------------------------------------------------------
// Full paths

int CPathNames::_ReplaceDotInFullPathName(wchar_t* pszPath) { return SimplifyPath(pszPath); }

unsigned int CPathNames::GetFullPathName(const wchar_t* pszPath, unsigned int nSize,
                                         wchar_t* pszBuffer, wchar_t** /*ppszFilePart*/) {
  if (pszPath == nullptr || pszPath[0] == 0) {
    errno = EINVAL;
    return 0;
  }
  const size_t n = nLen(pszPath);
  // What goes in front: the home for "~" and "~/...", nothing for an
  // absolute path, the working directory for the rest.
  const char* pszPrefix = nullptr;
  char* pszCwd = nullptr;
  size_t nSkip = 0;
  if (pszPath[0] == L'~' && (pszPath[1] == 0 || bSep(pszPath[1]))) {
    const struct passwd* pEntry = getpwuid(getuid());
    if (pEntry == nullptr || pEntry->pw_dir == nullptr || pEntry->pw_dir[0] == '\0') {
      errno = ENOENT;
      return 0;
    }
    pszPrefix = pEntry->pw_dir;
    nSkip = 1;
  } else if (!bSep(pszPath[0])) {
    pszCwd = getcwd(nullptr, 0);
    if (pszCwd == nullptr) return 0;
    pszPrefix = pszCwd;
  }
  const size_t nPrefix = pszPrefix != nullptr ? nUtf8Chars(pszPrefix) : 0;
  const size_t nTotal = nPrefix + 1 + (n - nSkip);
  CScratchBuffer<wchar_t, 1024> clWork(nTotal + 1);
  if (clWork.p() == nullptr) {
    free(pszCwd);
    errno = ENOMEM;
    return 0;
  }
  wchar_t* p = clWork.p();
  size_t o = 0;
  if (pszPrefix != nullptr) {
    o = UTF8ToWide(p, static_cast<unsigned int>(nPrefix + 1), pszPrefix);
    if (nSkip == 0 || (n > nSkip && !bSep(pszPath[nSkip]))) p[o++] = L'/';
  }
  free(pszCwd);
  std::memcpy(p + o, pszPath + nSkip, (n - nSkip) * sizeof(wchar_t));
  o += n - nSkip;
  p[o] = 0;
  const unsigned int nLength = static_cast<unsigned int>(NormaliseInPlace(p, static_cast<int>(o)));
  if (pszBuffer == nullptr || nLength >= nSize) return nLength + 1;
  std::memcpy(pszBuffer, p, (nLength + 1) * sizeof(wchar_t));
  return nLength;
}

int CPathNames::bGetUNCName(wchar_t* pszDestination, unsigned int nSize, const wchar_t* pszPath,
                            CXError* /*pError*/) {
  return bStandardizeExistingFileName(pszDestination, nSize, pszPath);
}

int CPathNames::bStandardizeExistingFileName(wchar_t* pszDestination, unsigned int nSize,
                                             const wchar_t* pszPath) {
  // A result that does not fit is a failure: nothing was written.
  const unsigned int n = GetFullPathName(pszPath, nSize, pszDestination, nullptr);
  if (n == 0) return 0;
  if (n >= nSize) {
    errno = ENAMETOOLONG;
    return 0;
  }
  return 1;
}

int CPathNames::bGetLongPathName(wchar_t* pszDestination, unsigned int nSize,
                                 const wchar_t* pszPath) {
  if (pszDestination == nullptr || pszPath == nullptr) {
    errno = EINVAL;
    return 0;
  }
  return bPut(pszDestination, nSize, pszPath, nLen(pszPath));
}

int CPathNames::bGetFullPath(wchar_t* pszDestination, unsigned int nSize, const wchar_t* pszPath,
                             unsigned int* pnLength, CXError* pError) {
  const unsigned int n = GetFullPathName(pszPath, nSize, pszDestination, nullptr);
  if (pnLength != nullptr) *pnLength = n;
  if (n == 0) {
    RecordFileFailure(pError, static_cast<unsigned int>(errno), pszPath, nullptr, 28131,
                      pszPath != nullptr ? pszPath : L"");
    return 0;
  }
  if (n >= nSize) return 0;
  if (pnLength != nullptr) *pnLength = n + 1;
  return 1;
}

namespace {

bool bStarts(const wchar_t* p, size_t n, const wchar_t* pszPrefix) {
  const size_t k = nLen(pszPrefix);
  return n >= k && std::wmemcmp(p, pszPrefix, k) == 0;
}

// The base without its last component: "/a/b" gives "/a", "/a" and "/" give
// "/", "a" gives "" (a relative base climbed to nothing).
size_t nParentLength(const wchar_t* p, size_t n) {
  while (n > 1 && p[n - 1] == L'/') --n;
  if (n == 1 && p[0] == L'/') return 1;
  size_t k = n;
  while (k > 0 && p[k - 1] != L'/') --k;
  if (k == 0) return 0;
  size_t m = k - 1;  // the '/' before the last component
  while (m > 0 && p[m - 1] == L'/') --m;
  return m == 0 ? 1 : m;
}

}  // namespace

int CPathNames::bRelativeToFullPath(wchar_t* pszDestination, const wchar_t* pszRelative,
                                    const wchar_t* pszBase, int nMode, unsigned int nCapacity) {
  if (pszDestination == nullptr || pszRelative == nullptr || pszBase == nullptr) {
    errno = EINVAL;
    return 0;
  }
  CSlashCopy clRel(pszRelative);
  CSlashCopy clBase(pszBase);
  if (clRel.p() == nullptr || clBase.p() == nullptr) {
    errno = ENOMEM;
    return 0;
  }
  const wchar_t* r = clRel.p();
  size_t nRel = clRel.n();
  if (nRel == 1 && r[0] == L'.') return bPut(pszDestination, nCapacity, clBase.p(), clBase.n());
  if ((nMode == 0 && r[0] != L'.') || (nMode == 1 && r[0] == L'/'))
    return bPut(pszDestination, nCapacity, r, nRel);
  size_t nBase = clBase.n();
  if (bStarts(r, nRel, L"./")) {
    while (nBase > 0 && clBase.p()[nBase - 1] == L'/') --nBase;
    ++r;  // the '.': what follows begins with '/'
    --nRel;
  } else {
    while (bStarts(r, nRel, L"../") || (nRel == 2 && r[0] == L'.' && r[1] == L'.')) {
      nBase = nParentLength(clBase.p(), nBase);
      const size_t k = nRel == 2 ? 2 : 3;
      r += k;
      nRel -= k;
    }
  }
  const bool bSlash = nBase > 0 && clBase.p()[nBase - 1] != L'/' && (nRel == 0 || r[0] != L'/');
  const size_t nTotal = nBase + (bSlash ? 1 : 0) + nRel;
  if (nTotal >= nCapacity) {
    errno = ENAMETOOLONG;
    return 0;
  }
  CScratchBuffer<wchar_t, 512> clOut(nTotal + 1);
  if (clOut.p() == nullptr) {
    errno = ENOMEM;
    return 0;
  }
  std::memcpy(clOut.p(), clBase.p(), nBase * sizeof(wchar_t));
  size_t o = nBase;
  if (bSlash) clOut.p()[o++] = L'/';
  std::memcpy(clOut.p() + o, r, nRel * sizeof(wchar_t));
  return bPut(pszDestination, nCapacity, clOut.p(), nTotal);
}

int CPathNames::bPathRelativePathTo(wchar_t* pszDestination, const wchar_t* pszPath,
                                    const wchar_t* pszBase, int bStopAtRoot,
                                    unsigned int nCapacity) {
  if (pszDestination == nullptr || pszPath == nullptr) {
    errno = EINVAL;
    return 0;
  }
  if (pszBase == nullptr || pszBase[0] == 0)
    return bPut(pszDestination, nCapacity, pszPath, nLen(pszPath));
  CSlashCopy clPath(pszPath);
  CSlashCopy clBase(pszBase, 1);
  if (!bStandardCopy(clPath, false) || !bStandardCopy(clBase, false)) {
    errno = ENOMEM;
    return 0;
  }
  size_t nBase = clBase.n();
  if (nBase > 0 && clBase.p()[nBase - 1] != L'/') clBase.p()[nBase++] = L'/';
  size_t nLevels = 0;
  while (!(clPath.n() >= nBase && std::wmemcmp(clPath.p(), clBase.p(), nBase) == 0)) {
    // The base loses its last component and keeps its final '/'.
    size_t k = nBase - 1;  // the final '/'
    while (k > 0 && clBase.p()[k - 1] != L'/') --k;
    nBase = k;
    ++nLevels;
    if (nBase == 0 && bStopAtRoot) {
      errno = ENOENT;
      return 0;
    }
  }
  const size_t nRest = clPath.n() - nBase;
  const size_t nTotal = (nLevels == 0 ? 2 : 3 * nLevels) + nRest;
  if (nTotal >= nCapacity) {
    errno = ENAMETOOLONG;
    return 0;
  }
  size_t o = 0;
  if (nLevels == 0) {
    pszDestination[o++] = L'.';
    pszDestination[o++] = L'/';
  }
  for (size_t i = 0; i < nLevels; ++i) {
    pszDestination[o++] = L'.';
    pszDestination[o++] = L'.';
    pszDestination[o++] = L'/';
  }
  std::memcpy(pszDestination + o, clPath.p() + nBase, nRest * sizeof(wchar_t));
  pszDestination[o + nRest] = 0;
  return 1;
}
