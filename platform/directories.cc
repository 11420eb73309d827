#include "platform/directories.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <cwchar>
#include <new>

#include "core/error_object.h"
#include "core/unicode.h"
#include "core/xmalloc.h"

namespace {

// A growable wide path for the walks: the names of the entries are pushed
// and popped as the walk goes down and up, and the text names them in
// messages. Allocation failures answer false; the text is then unchanged.
class CPathText {
 public:
  CPathText() = default;
  ~CPathText() {
    if (m_p != nullptr) XMALLOC_Del_(m_p);
  }
  CPathText(const CPathText&) = delete;
  CPathText& operator=(const CPathText&) = delete;

  const wchar_t* psz() const { return m_p != nullptr ? m_p : L""; }
  // The characters themselves, for changes in place; null while empty.
  wchar_t* pData() { return m_p; }
  size_t n() const { return m_n; }

  bool bSet(const wchar_t* p, size_t n) {
    m_n = 0;
    return bAppend(p, n);
  }
  bool bAppend(const wchar_t* p, size_t n) {
    if (!bRoom(m_n + n)) return false;
    std::wmemcpy(m_p + m_n, p, n);
    m_n += n;
    m_p[m_n] = 0;
    return true;
  }
  bool bAppend(const wchar_t* p) { return bAppend(p, std::wcslen(p)); }
  // '/' (unless the text is empty or ends with one) and a UTF-8 entry name.
  bool bPushName(const char* pszName) {
    size_t nChars = 0;
    for (const char* q = pszName; *q != '\0'; ++nChars) UTF8_GetNext(&q);
    const bool bSlash = m_n != 0 && m_p[m_n - 1] != L'/';
    if (!bRoom(m_n + nChars + 1)) return false;
    if (bSlash) m_p[m_n++] = L'/';
    m_n += UTF8ToWide(m_p + m_n, static_cast<unsigned int>(nChars + 1), pszName);
    m_p[m_n] = 0;
    return true;
  }
  void Cut(size_t n) {
    if (n < m_n) {
      m_n = n;
      m_p[n] = 0;
    }
  }

 private:
  bool bRoom(size_t n) {
    if (n + 1 <= m_nCapacity) return true;
    size_t nNew = m_nCapacity == 0 ? 256 : m_nCapacity;
    while (nNew < n + 1) nNew *= 2;
    if (nNew > 0x3FFFFFFF / sizeof(wchar_t)) return false;
    void* p = XMALLOC_pResize_(m_p, static_cast<unsigned int>(nNew * sizeof(wchar_t)));
    if (p == nullptr) return false;
    m_p = static_cast<wchar_t*>(p);
    m_nCapacity = nNew;
    return true;
  }

  wchar_t* m_p = nullptr;
  size_t m_n = 0;
  size_t m_nCapacity = 0;
};

bool bIsDotOrDotDot(const char* p) {
  return p[0] == '.' && (p[1] == '\0' || (p[1] == '.' && p[2] == '\0'));
}

// Owner read, write and search on a directory that lacks them (the
// "even read-only" deletions).
void MakeWritable(int fd) {
  struct stat64 stStat;
  if (fstat64(fd, &stStat) == 0 && (stStat.st_mode & S_IRWXU) != S_IRWXU)
    fchmod(fd, (stStat.st_mode & 07777) | S_IRWXU);
}

// Opens the subdirectory named pszName of fdParent without following a
// link; when it cannot be read and bMakeWritable is set, gives it owner
// permissions first (after checking again that it is a directory).
int OpenSubdirectory(int fdParent, const char* pszName, bool bMakeWritable) {
  const int nFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  int fd = openat64(fdParent, pszName, nFlags);
  if (fd >= 0 || errno != EACCES || !bMakeWritable) return fd;
  struct stat64 stStat;
  if (fstatat64(fdParent, pszName, &stStat, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(stStat.st_mode)) {
    errno = EACCES;
    return -1;
  }
  fchmodat(fdParent, pszName, (stStat.st_mode & 07777) | S_IRWXU, 0);
  return openat64(fdParent, pszName, nFlags);
}

// Deletes everything inside the directory open as fd (the descriptor is
// given over). clPath names the directory for messages. Entries are read in
// passes until a pass finds none: entries deleted while a directory stream
// is read may make it skip others.
int PurgeDirectory(int fd, CPathText& clPath, bool bMakeWritable, CXError* pError) {
  if (bMakeWritable) MakeWritable(fd);
  DIR* hDir = fdopendir(fd);
  if (hDir == nullptr) {
    const unsigned int nErr = static_cast<unsigned int>(errno);
    close(fd);
    RecordFileFailure(pError, nErr, clPath.psz(), nullptr, 28127, clPath.psz());
    return 0;
  }
  const int fdDir = dirfd(hDir);
  auto fail = [&](unsigned int nErr, unsigned int nMessage) {
    RecordFileFailure(pError, nErr, clPath.psz(), nullptr, nMessage, clPath.psz());
    closedir(hDir);
    return 0;
  };
  for (bool bFound = true; bFound;) {
    bFound = false;
    rewinddir(hDir);
    for (;;) {
      errno = 0;
      const struct dirent64* pEntry = readdir64(hDir);
      if (pEntry == nullptr) {
        if (errno != 0) return fail(static_cast<unsigned int>(errno), 28127);
        break;
      }
      const char* pszName = pEntry->d_name;
      if (bIsDotOrDotDot(pszName)) continue;
      bFound = true;
      const size_t nMark = clPath.n();
      if (!clPath.bPushName(pszName)) {
        CFileFailure::_OnMemoryError(pError);
        closedir(hDir);
        return 0;
      }
      struct stat64 stStat;
      if (fstatat64(fdDir, pszName, &stStat, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) return fail(static_cast<unsigned int>(errno), 28123);
      } else if (S_ISDIR(stStat.st_mode)) {
        const int fdSub = OpenSubdirectory(fdDir, pszName, bMakeWritable);
        if (fdSub < 0) return fail(static_cast<unsigned int>(errno), 28127);
        if (!PurgeDirectory(fdSub, clPath, bMakeWritable, pError)) {
          closedir(hDir);
          return 0;
        }
        if (unlinkat(fdDir, pszName, AT_REMOVEDIR) != 0 && errno != ENOENT)
          return fail(static_cast<unsigned int>(errno), 28127);
      } else if (unlinkat(fdDir, pszName, 0) != 0 && errno != ENOENT) {
        // a file, a link (never followed), a socket, a FIFO or a device
        return fail(static_cast<unsigned int>(errno), 28123);
      }
      clPath.Cut(nMark);
    }
  }
  closedir(hDir);
  return 1;
}

// The purge behind every tree deletion.
int PurgeTree(const wchar_t* pszDirectory, bool bMakeWritable, CXError* pError) {
  if (pszDirectory == nullptr || pszDirectory[0] == 0) return 0;
  CPathText clPath;
  if (!clPath.bSet(pszDirectory, std::wcslen(pszDirectory))) {
    CFileFailure::_OnMemoryError(pError);
    return 0;
  }
  CPathNames::pszBackSlash2Slash(clPath.pData());
  // Without its final '/': with one, the kernel would follow a final link.
  size_t n = clPath.n();
  while (n > 0 && clPath.psz()[n - 1] == L'/') --n;
  if (n == 0) {
    RecordFileFailure(pError, EPERM, pszDirectory, nullptr, 28127, pszDirectory);
    return 0;
  }
  clPath.Cut(n);
  CUtf8Path clBytes(clPath.psz());
  if (clBytes.psz() == nullptr) {
    RecordFileFailure(pError, static_cast<unsigned int>(errno), pszDirectory, nullptr, 28127,
                      pszDirectory);
    return 0;
  }
  const int nFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  int fd = open64(clBytes.psz(), nFlags);
  if (fd < 0 && errno == EACCES && bMakeWritable) {
    struct stat64 stStat;
    if (lstat64(clBytes.psz(), &stStat) == 0 && S_ISDIR(stStat.st_mode)) {
      chmod(clBytes.psz(), (stStat.st_mode & 07777) | S_IRWXU);
      fd = open64(clBytes.psz(), nFlags);
    } else {
      errno = EACCES;
    }
  }
  if (fd < 0) {
    unsigned int nErr = static_cast<unsigned int>(errno);
    if (nErr == ENOENT) {  // nothing to delete
      if (pError != nullptr) pError->RAZ();
      return 1;
    }
    if (nErr == ELOOP) nErr = ENOTDIR;  // a link to a directory is not entered
    RecordFileFailure(pError, nErr, pszDirectory, nullptr, 28127, pszDirectory);
    return 0;
  }
  if (!PurgeDirectory(fd, clPath, bMakeWritable, pError)) return 0;
  if (pError != nullptr) pError->RAZ();
  return 1;
}

// The walk of the callback operations. bFirstStageDirectories: the first
// stage offers directories (bDoOnDirectoryTree) instead of files.
int Walk(const wchar_t* pszDirectory, const wchar_t* pszPattern, PFNTREECALLBACK pfnCallback,
         int nData, int bWithDirectories, int bRecurse, bool bFirstStageDirectories) {
  if (pszDirectory == nullptr || pszPattern == nullptr || pfnCallback == nullptr) return 0;
  CPathText clDir;
  if (!clDir.bSet(pszDirectory, std::wcslen(pszDirectory))) return 0;
  if (clDir.n() != 0 && clDir.psz()[clDir.n() - 1] != L'/' && clDir.psz()[clDir.n() - 1] != L'\\' &&
      !clDir.bAppend(L"/"))
    return 0;
  const size_t nDir = clDir.n();
  // The search record is large: on the heap, so that deep trees do not use
  // up the stack.
  CFindFile* pFind = new (std::nothrow) CFindFile;
  if (pFind == nullptr) return 0;
  struct CFindOwner {
    CFindFile* p;
    ~CFindOwner() { delete p; }
  } clOwner{pFind};
  CPathText clEntry;

  // First stage: the entries that match the pattern.
  bool bOffer = true;
  int nRequired = 0;
  int nExcluded = 0;
  if (bFirstStageDirectories) {
    bOffer = bWithDirectories != 0;
    nRequired = kAttributeDirectory;
  } else if (!bWithDirectories) {
    nExcluded = kAttributeDirectory;
  }
  if (bOffer) {
    if (!clEntry.bSet(clDir.psz(), nDir) || !clEntry.bAppend(pszPattern)) return 0;
    for (int b = pFind->bFindFirst(clEntry.psz(), nRequired, nExcluded, nullptr); b;
         b = pFind->bFindNext(nullptr)) {
      if (!clEntry.bSet(clDir.psz(), nDir) || !clEntry.bAppend(pFind->Data().szName)) return 0;
      if (!pfnCallback(clEntry.psz(), nData)) return 0;
    }
  }
  if (!bRecurse) return 1;

  // Then each real subdirectory (a link to one is not entered).
  if (!clEntry.bSet(clDir.psz(), nDir) || !clEntry.bAppend(L"*")) return 0;
  for (int b = pFind->bFindFirst(clEntry.psz(), kAttributeDirectory, 0, nullptr); b;
       b = pFind->bFindNext(nullptr)) {
    if (!clEntry.bSet(clDir.psz(), nDir) || !clEntry.bAppend(pFind->Data().szName)) return 0;
    struct stat64 stStat;
    if (CUnixFileCalls::Unix_lstat(clEntry.psz(), &stStat) != 0 || !S_ISDIR(stStat.st_mode))
      continue;
    if (!clEntry.bAppend(L"/")) return 0;
    if (!Walk(clEntry.psz(), pszPattern, pfnCallback, nData, bWithDirectories, bRecurse,
              bFirstStageDirectories))
      return 0;
  }
  return 1;
}

}  // namespace

int CDirectories::bDelete(const wchar_t* pszPath, CXError* pError) {
  CUtf8Path clPath(pszPath, true);
  if (clPath.psz() == nullptr || unlink(clPath.psz()) != 0) {
    RecordFileFailure(pError, static_cast<unsigned int>(errno), pszPath, nullptr, 28123,
                      pszPath != nullptr ? pszPath : L"");
    return 0;
  }
  if (pError != nullptr) pError->RAZ();
  return 1;
}

int CDirectories::bForceDelete(const wchar_t* pszPath, CXError* /*pError*/) {
  CUtf8Path clPath(pszPath, true);
  return clPath.psz() != nullptr && unlink(clPath.psz()) == 0;
}

int CDirectories::__bForceDeleteOnTree(const wchar_t* pszPath, int /*nData*/) {
  return bForceDelete(pszPath);
}

int CDirectories::bCreateDirectory(const wchar_t* pszPath, CXError* pError) {
  if (pszPath == nullptr || pszPath[0] == 0) return 0;
  CPathText clPath;
  if (!clPath.bSet(pszPath, std::wcslen(pszPath))) {
    _OnMemoryError(pError);
    return 0;
  }
  wchar_t* p = clPath.pData();
  pszBackSlash2Slash(p);
  size_t n = clPath.n();
  while (n > 1 && p[n - 1] == L'/') --n;
  clPath.Cut(n);
  // A path the kernel cannot take whole is refused before any parent is
  // made: creating some of its parents would change the disk for nothing.
  {
    CUtf8Path clWhole(p);
    if (clWhole.psz() == nullptr) {
      RecordFileFailure(pError, static_cast<unsigned int>(errno), p, nullptr, 28126, p);
      return 0;
    }
    size_t nComponent = 0;
    bool bTooLong = clWhole.nBytes() >= PATH_MAX;
    for (const char* q = clWhole.psz(); *q != '\0' && !bTooLong; ++q) {
      nComponent = *q == '/' ? 0 : nComponent + 1;
      bTooLong = nComponent > NAME_MAX;
    }
    if (bTooLong) {
      RecordFileFailure(pError, ENAMETOOLONG, p, nullptr, 28126, p);
      return 0;
    }
  }
  // Each parent in turn, then the whole path.
  for (size_t i = 1; i <= n; ++i) {
    if (i < n && p[i] != L'/') continue;
    if (i < n && p[i - 1] == L'/') continue;  // a run of '/'
    const wchar_t cSaved = p[i];
    p[i] = 0;
    CUtf8Path clPrefix(p);
    int nErr = 0;
    if (clPrefix.psz() == nullptr) {
      nErr = errno;
    } else if (mkdir(clPrefix.psz(), 0777) != 0) {
      nErr = errno;
      struct stat64 stStat;
      // An existing directory is what was asked for.
      if (nErr == EEXIST && stat64(clPrefix.psz(), &stStat) == 0 && S_ISDIR(stStat.st_mode)) {
        nErr = 0;
      } else if (nErr == EEXIST && i < n) {
        nErr = ENOTDIR;  // a parent that is a file
      }
    }
    if (nErr != 0) {
      RecordFileFailure(pError, static_cast<unsigned int>(nErr), p, nullptr, 28126, p);
      p[i] = cSaved;
      return 0;
    }
    p[i] = cSaved;
  }
  if (pError != nullptr) pError->RAZ();
  return 1;
}

int CDirectories::bDeleteDirectory(const wchar_t* pszPath, CXError* pError) {
  CUtf8Path clPath(pszPath, true);
  if (clPath.psz() == nullptr || rmdir(clPath.psz()) != 0) {
    RecordFileFailure(pError, static_cast<unsigned int>(errno), pszPath, nullptr, 28127,
                      pszPath != nullptr ? pszPath : L"");
    return 0;
  }
  if (pError != nullptr) pError->RAZ();
  return 1;
}

int CDirectories::_bDeltree(const wchar_t* pszDirectory, CXError* pError) {
  return PurgeTree(pszDirectory, false, pError);
}

int CDirectories::bPurgeTree(const wchar_t* pszDirectory, CXError* pError) {
  return _bDeltree(pszDirectory, pError);
}

int CDirectories::bForcePurgeTree(const wchar_t* pszDirectory, CXError* pError) {
  return _bDeltree(pszDirectory, pError);
}

int CDirectories::bDeleteTree(const wchar_t* pszDirectory, CXError* pError) {
  return bPurgeTree(pszDirectory, pError) && bDeleteDirectory(pszDirectory, pError);
}

int CDirectories::bForceDeleteTree(const wchar_t* pszDirectory, CXError* pError) {
  return bForcePurgeTree(pszDirectory, pError) && bDeleteDirectory(pszDirectory, pError);
}

int CDirectories::bDeleteTreeEvenReadOnly(const wchar_t* pszDirectory, CXError* pError) {
  return PurgeTree(pszDirectory, true, pError) && bDeleteDirectory(pszDirectory, pError);
}

int CDirectories::bDoOnFileTree(const wchar_t* pszDirectory, const wchar_t* pszPattern,
                                PFNTREECALLBACK pfnCallback, int nData, int bWithDirectories,
                                int bRecurse) {
  return Walk(pszDirectory, pszPattern, pfnCallback, nData, bWithDirectories, bRecurse, false);
}

int CDirectories::bDoOnDirectoryTree(const wchar_t* pszDirectory, const wchar_t* pszPattern,
                                     PFNTREECALLBACK pfnCallback, int nData, int bWithDirectories,
                                     int bRecurse) {
  return Walk(pszDirectory, pszPattern, pfnCallback, nData, bWithDirectories, bRecurse, true);
}

int CDirectories::bForceDeleteOnFileTree(const wchar_t* pszDirectory, const wchar_t* pszPattern,
                                         int bRecurse, CXError* pError) {
  const int b = bDoOnFileTree(pszDirectory, pszPattern, __bForceDeleteOnTree, 0, 0, bRecurse);
  if (b && pError != nullptr) pError->RAZ();
  return b;
}
