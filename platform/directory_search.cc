#include "platform/directory_search.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <cwchar>

#include "core/error_object.h"

namespace {

// The last separator of a path, or -1.
long nLastSlash(const wchar_t* p) {
  long n = -1;
  for (long i = 0; p[i] != 0; ++i) {
    if (p[i] == L'/' || p[i] == L'\\') n = i;
  }
  return n;
}

void CopySlashes(wchar_t* pszOut, const wchar_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) pszOut[i] = p[i] == L'\\' ? L'/' : p[i];
  pszOut[n] = 0;
}

// Status of an entry by its raw name within the open directory; a link that
// leads nowhere is described by its own status.
int bEntryStatus(DIR* hDir, const char* pszName, struct stat64* pStat) {
  const int fd = dirfd(hDir);
  if (fstatat64(fd, pszName, pStat, 0) == 0) return 1;
  const int nErr = errno;
  if ((nErr == ENOENT || nErr == ELOOP) && fstatat64(fd, pszName, pStat, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISLNK(pStat->st_mode))
    return 1;
  errno = nErr;
  return 0;
}

}  // namespace

int CDirectorySearch::_bFiltreFileName(const wchar_t* pszName, const wchar_t* pszPattern) {
  if (pszName == nullptr || pszPattern == nullptr) return 0;
  // One resume point, at the last '*': on a mismatch the '*' takes one more
  // character and the pattern starts again behind it. '?' takes any one
  // character wherever it stands, also right after a '*'.
  const wchar_t* n = pszName;
  const wchar_t* p = pszPattern;
  const wchar_t* pStarPattern = nullptr;
  const wchar_t* pStarName = nullptr;
  while (*n != 0) {
    if (*p == L'*') {
      while (*p == L'*') ++p;
      if (*p == 0) return 1;
      pStarPattern = p;
      pStarName = n;
    } else if (*p != 0 && (*p == L'?' || *p == *n)) {
      ++p;
      ++n;
    } else if (pStarPattern != nullptr) {
      p = pStarPattern;
      n = ++pStarName;
    } else {
      return 0;
    }
  }
  while (*p == L'*') ++p;
  return *p == 0;
}

int CDirectorySearch::_bFindGoodFile(const wchar_t* pszName, unsigned int nAttributes,
                                     const _stXFINDDATA* pData) {
  if (bIsAVirtualDirectory(pszName)) return 0;
  if (!_bFiltreFileName(pszName, pData->szPattern)) return 0;
  const unsigned int nRequired = static_cast<unsigned int>(pData->nRequired);
  const unsigned int nExcluded = static_cast<unsigned int>(pData->nExcluded);
  return (nAttributes & nRequired) == nRequired && (nAttributes & nExcluded) == 0;
}

int CDirectorySearch::bFindFirst(const wchar_t* pszPath, _stXFINDDATA* pData, int nRequired,
                                 int nExcluded, CXError* pError) {
  if (pData == nullptr) return 0;
  if (pData->hDir != nullptr) bFindClose(pData, nullptr);
  pData->nRequired = nRequired;
  pData->nExcluded = nExcluded;
  pData->szPattern[0] = 0;
  pData->szDirectory[0] = 0;
  pData->szName[0] = 0;
  if (pszPath == nullptr) {
    RecordFileFailure(pError, EFAULT, nullptr, nullptr, 28135);
    return 0;
  }
  const long nSlash = nLastSlash(pszPath);
  const wchar_t* pszPattern = pszPath + nSlash + 1;
  const size_t nPattern = std::wcslen(pszPattern);
  if (nPattern >= kPathBufferChars) {
    RecordFileFailure(pError, ENAMETOOLONG, pszPath, nullptr, 28135);
    return 0;
  }
  if (nSlash >= 0) {
    if (static_cast<size_t>(nSlash) + 1 >= kSearchDirectoryChars) {
      RecordFileFailure(pError, ENAMETOOLONG, pszPath, nullptr, 28135);
      return 0;
    }
    CopySlashes(pData->szDirectory, pszPath, static_cast<size_t>(nSlash) + 1);
  } else {
    if (!Unix_getcwd(pData->szDirectory, kSearchDirectoryChars - 1)) {
      RecordFileFailure(pError, static_cast<unsigned int>(errno), nullptr, nullptr, 28135);
      return 0;
    }
    const size_t n = std::wcslen(pData->szDirectory);
    if (n == 0 || pData->szDirectory[n - 1] != L'/') {
      pData->szDirectory[n] = L'/';
      pData->szDirectory[n + 1] = 0;
    }
  }
  CopySlashes(pData->szPattern, pszPattern, nPattern);
  CUtf8Path clDirectory(pData->szDirectory);
  DIR* hDir = clDirectory.psz() != nullptr ? opendir(clDirectory.psz()) : nullptr;
  if (hDir == nullptr) {
    const unsigned int nErr = static_cast<unsigned int>(errno);
    if (nErr == ENOENT) {
      if (pError != nullptr) pError->RAZ();
      errno = ENOENT;
      return 0;
    }
    RecordFileFailure(pError, nErr, pData->szDirectory, nullptr, 28135);
    return 0;
  }
  pData->hDir = hDir;
  return bFindNext(pData, pError);
}

int CDirectorySearch::bFindNext(_stXFINDDATA* pData, CXError* pError) {
  if (pData == nullptr || pData->hDir == nullptr) return 0;
  bool bRecorded = false;
  for (;;) {
    errno = 0;
    const struct dirent64* pEntry = readdir64(pData->hDir);
    if (pEntry == nullptr) break;
    const char* pszRaw = pEntry->d_name;
    if (std::strcmp(pszRaw, ".") == 0 || std::strcmp(pszRaw, "..") == 0) continue;
    wchar_t szName[kPathBufferChars];
    if (Utf8ToWidePath(szName, kPathBufferChars, pszRaw) < 0) continue;
    // The pattern first: only matching entries cost a status.
    if (!_bFiltreFileName(szName, pData->szPattern)) continue;
    struct stat64 stStat;
    if (!bEntryStatus(pData->hDir, pszRaw, &stStat)) {
      // The entry went away or cannot be read: record it and go on.
      const unsigned int nErr = static_cast<unsigned int>(errno);
      const size_t nDir = std::wcslen(pData->szDirectory);
      CScratchBuffer<wchar_t, 512> clFull(nDir + kPathBufferChars);
      if (clFull.p() != nullptr) {
        std::wmemcpy(clFull.p(), pData->szDirectory, nDir);
        std::wcscpy(clFull.p() + nDir, szName);
      }
      const wchar_t* pszFull = clFull.p() != nullptr ? clFull.p() : szName;
      RecordFileFailure(pError, nErr, pszFull, nullptr, 28130, 0u, pszFull);
      bRecorded = true;
      continue;
    }
    const int nAttributes = _nAttributesOf(stStat, szName);
    if (!_bFindGoodFile(szName, static_cast<unsigned int>(nAttributes), pData)) continue;
    std::wcscpy(pData->szName, szName);
    pData->nAttributes = nAttributes;
    pData->nSize = static_cast<long long>(stStat.st_size);
    if (!_bTimeToLocal(static_cast<long>(stStat.st_mtime), &pData->stModification))
      std::memset(&pData->stModification, 0, sizeof(pData->stModification));
    if (pError != nullptr && !bRecorded) pError->RAZ();
    return 1;
  }
  const unsigned int nErr = static_cast<unsigned int>(errno);
  if (nErr == EBADF) {
    RecordFileFailure(pError, nErr, pData->szDirectory, nullptr, 28136);
    bRecorded = true;
  } else if (pError != nullptr && !bRecorded) {
    pError->RAZ();
  }
  bFindClose(pData, bRecorded ? nullptr : pError);
  return 0;
}

int CDirectorySearch::bFindClose(_stXFINDDATA* pData, CXError* pError) {
  if (pData == nullptr || pData->hDir == nullptr) return 1;
  DIR* hDir = pData->hDir;
  pData->hDir = nullptr;
  if (closedir(hDir) != 0) {
    RecordFileFailure(pError, static_cast<unsigned int>(errno), pData->szDirectory, nullptr, 28137);
    return 0;
  }
  return 1;
}

// ---------------------------------------------------------------------------
// CFindFile

CFindFile::CFindFile() { std::memset(&m_stData, 0, sizeof(m_stData)); }

CFindFile::~CFindFile() { CDirectorySearch::bFindClose(&m_stData, nullptr); }

int CFindFile::bFindFirst(const wchar_t* pszPath, int nRequired, int nExcluded, CXError* pError) {
  return CDirectorySearch::bFindFirst(pszPath, &m_stData, nRequired, nExcluded, pError);
}

int CFindFile::bFindNext(CXError* pError) { return CDirectorySearch::bFindNext(&m_stData, pError); }

int CFindFile::bFindClose(CXError* pError) {
  return CDirectorySearch::bFindClose(&m_stData, pError);
}

void CFindFile::TransfertTo(CFindFile& clTarget) {
  if (&clTarget == this) return;
  CDirectorySearch::bFindClose(&clTarget.m_stData, nullptr);
  std::memcpy(&clTarget.m_stData, &m_stData, sizeof(m_stData));
  std::memset(&m_stData, 0, sizeof(m_stData));
}
