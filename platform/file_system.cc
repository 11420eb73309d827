#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "core/error_object.h"
#include "core/xmalloc.h"

namespace {

constexpr size_t kCopyBlock = 65536;

// Closes a descriptor when it goes out of scope.
class CFd {
 public:
  explicit CFd(int fd) : m_fd(fd) {}
  ~CFd() {
    if (m_fd >= 0) close(m_fd);
  }
  CFd(const CFd&) = delete;
  CFd& operator=(const CFd&) = delete;
  int fd() const { return m_fd; }
  // Closes now and answers whether close succeeded (errno set otherwise).
  bool bClose() {
    const int fd = m_fd;
    m_fd = -1;
    return fd < 0 || close(fd) == 0;
  }

 private:
  int m_fd;
};

void RecordTwoNames(CXError* pError, int nErr, unsigned int nMessage, const wchar_t* pszDestination,
                    const wchar_t* pszSource) {
  const wchar_t* pszDst = pszDestination != nullptr ? pszDestination : L"";
  const wchar_t* pszSrc = pszSource != nullptr ? pszSource : L"";
  RecordFileFailure(pError, static_cast<unsigned int>(nErr), pszSrc, pszDst, nMessage, pszDst,
                    pszSrc);
}

bool bSameInode(const struct stat64& a, const struct stat64& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether a failure of the kernel copy means "not here" (try the next way)
// rather than a real failure.
bool bTryAnotherWay(int nErr) {
  return nErr == ENOSYS || nErr == EXDEV || nErr == EINVAL || nErr == EOPNOTSUPP ||
         nErr == EBADF || nErr == ETXTBSY || nErr == EPERM;
}

// Moves a regular file to another file system: a temporary file beside the
// destination receives the content and the source's permissions, is renamed
// over the destination, and the source goes last.
int MoveAcross(const char* pszDestination, const char* pszSource) {
  CFd clIn(open64(pszSource, O_RDONLY | O_CLOEXEC));
  if (clIn.fd() < 0) return 0;
  struct stat64 stSource;
  if (fstat64(clIn.fd(), &stSource) != 0) return 0;
  if (!S_ISREG(stSource.st_mode)) {
    errno = EXDEV;  // a directory or special file does not cross
    return 0;
  }
  const char* pszSlash = std::strrchr(pszDestination, '/');
  const size_t nDir = pszSlash != nullptr ? static_cast<size_t>(pszSlash - pszDestination) + 1 : 0;
  static const char kSuffix[] = ".kqmove.XXXXXX";
  CScratchBuffer<char, 1024> clTemp(nDir + sizeof(kSuffix));
  if (clTemp.p() == nullptr) {
    errno = ENOMEM;
    return 0;
  }
  std::memcpy(clTemp.p(), pszDestination, nDir);
  std::memcpy(clTemp.p() + nDir, kSuffix, sizeof(kSuffix));
  CFd clOut(mkstemp64(clTemp.p()));
  if (clOut.fd() < 0) return 0;
  int nErr = 0;
  if (fchmod(clOut.fd(), stSource.st_mode & 07777) != 0 ||
      !CFileSystem::_sbCopyDescriptors(clIn.fd(), clOut.fd()) || fsync(clOut.fd()) != 0 ||
      !clOut.bClose() || rename(clTemp.p(), pszDestination) != 0) {
    nErr = errno;
    unlink(clTemp.p());
    errno = nErr;
    return 0;
  }
  return unlink(pszSource) == 0 ? 1 : 0;
}

}  // namespace

int CFileSystem::_sbCopyDescriptors(int fdIn, int fdOut) {
  bool bKernel = true;
  while (bKernel) {
    const ssize_t n = copy_file_range(fdIn, nullptr, fdOut, nullptr, size_t(1) << 30, 0);
    if (n > 0) continue;
    if (n == 0) return 1;
    if (errno == EINTR) continue;
    if (!bTryAnotherWay(errno)) return 0;
    bKernel = false;
  }
  for (;;) {
    const ssize_t n = sendfile64(fdOut, fdIn, nullptr, size_t(1) << 30);
    if (n > 0) continue;
    if (n == 0) return 1;
    if (errno == EINTR) continue;
    if (!bTryAnotherWay(errno) && errno != EAGAIN) return 0;
    break;
  }
  void* pBlock = XMALLOC_pNew_(static_cast<unsigned int>(kCopyBlock));
  if (pBlock == nullptr) {
    errno = ENOMEM;
    return 0;
  }
  int nResult = 1;
  for (;;) {
    const ssize_t nRead = read(fdIn, pBlock, kCopyBlock);
    if (nRead < 0) {
      if (errno == EINTR) continue;
      nResult = 0;
      break;
    }
    if (nRead == 0) break;
    const char* p = static_cast<const char*>(pBlock);
    ssize_t nLeft = nRead;
    while (nLeft > 0) {
      const ssize_t nWritten = write(fdOut, p, static_cast<size_t>(nLeft));
      if (nWritten < 0) {
        if (errno == EINTR) continue;
        nResult = 0;
        break;
      }
      p += nWritten;
      nLeft -= nWritten;
    }
    if (nResult == 0) break;
  }
  const int nErr = errno;
  XMALLOC_Del_(pBlock);
  errno = nErr;
  return nResult;
}

int CFileSystem::bRename(const wchar_t* pszDestination, const wchar_t* pszSource, CXError* pError) {
  CUtf8Path clDst(pszDestination, true);
  CUtf8Path clSrc(pszSource, true);
  if (clDst.psz() == nullptr || clSrc.psz() == nullptr) {
    RecordTwoNames(pError, errno, 28124, pszDestination, pszSource);
    return 0;
  }
  int n = renameat2(AT_FDCWD, clSrc.psz(), AT_FDCWD, clDst.psz(), RENAME_NOREPLACE);
  if (n != 0 && (errno == EINVAL || errno == ENOSYS)) {
    // The file system (or the kernel) has no RENAME_NOREPLACE. A hard link
    // fails on an existing name just as atomically; a directory cannot be
    // linked and is then checked and renamed.
    struct stat64 stSource;
    if (lstat64(clSrc.psz(), &stSource) != 0) {
      n = -1;
    } else if (!S_ISDIR(stSource.st_mode) && link(clSrc.psz(), clDst.psz()) == 0) {
      n = unlink(clSrc.psz());
    } else if (!S_ISDIR(stSource.st_mode) && errno != EPERM && errno != EMLINK) {
      n = -1;
    } else {
      struct stat64 stDestination;
      if (lstat64(clDst.psz(), &stDestination) == 0) {
        errno = EEXIST;
        n = -1;
      } else {
        n = rename(clSrc.psz(), clDst.psz());
      }
    }
  }
  if (n != 0) {
    RecordTwoNames(pError, errno, 28124, pszDestination, pszSource);
    return 0;
  }
  if (pError != nullptr) pError->RAZ();
  return 1;
}

int CFileSystem::bMove(const wchar_t* pszDestination, const wchar_t* pszSource, CXError* pError) {
  if (pszDestination != nullptr && pszSource != nullptr && bSameFileName(pszDestination, pszSource)) {
    if (pError != nullptr) pError->RAZ();
    return 1;
  }
  CUtf8Path clDst(pszDestination, true);
  CUtf8Path clSrc(pszSource, true);
  if (clDst.psz() == nullptr || clSrc.psz() == nullptr) {
    RecordTwoNames(pError, errno, 28124, pszDestination, pszSource);
    return 0;
  }
  // rename replaces the destination atomically: it stays as it was when the
  // rename fails.
  if (rename(clSrc.psz(), clDst.psz()) != 0 &&
      (errno != EXDEV || !MoveAcross(clDst.psz(), clSrc.psz()))) {
    RecordTwoNames(pError, errno, 28124, pszDestination, pszSource);
    return 0;
  }
  if (pError != nullptr) pError->RAZ();
  return 1;
}

int CFileSystem::_sbCopyUnix(const wchar_t* pszDestination, const wchar_t* pszSource) {
  CUtf8Path clDst(pszDestination, true);
  CUtf8Path clSrc(pszSource, true);
  if (clDst.psz() == nullptr || clSrc.psz() == nullptr) return 0;
  CFd clIn(open64(clSrc.psz(), O_RDONLY | O_CLOEXEC));
  if (clIn.fd() < 0) return 0;
  struct stat64 stSource;
  if (fstat64(clIn.fd(), &stSource) != 0) return 0;
  // Checked before the destination is opened, which empties it.
  if (S_ISDIR(stSource.st_mode)) {
    errno = EISDIR;
    return 0;
  }
  CFd clOut(open64(clDst.psz(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (clOut.fd() < 0) return 0;
  if (!_sbCopyDescriptors(clIn.fd(), clOut.fd())) return 0;
  return clOut.bClose() ? 1 : 0;
}

int CFileSystem::bCopy(const wchar_t* pszDestination, const wchar_t* pszSource, CXError* pError) {
  CUtf8Path clDst(pszDestination, true);
  CUtf8Path clSrc(pszSource, true);
  if (clDst.psz() == nullptr || clSrc.psz() == nullptr) {
    RecordTwoNames(pError, errno, 28125, pszDestination, pszSource);
    return 0;
  }
  struct stat64 stDst;
  struct stat64 stSrc;
  if (std::strcmp(clDst.psz(), clSrc.psz()) == 0 ||
      (stat64(clDst.psz(), &stDst) == 0 && stat64(clSrc.psz(), &stSrc) == 0 &&
       bSameInode(stDst, stSrc))) {
    // Copying a file onto itself would empty it.
    RecordTwoNames(pError, EINVAL, 28125, pszDestination, pszSource);
    return 0;
  }
  if (!_sbCopyUnix(pszDestination, pszSource)) {
    RecordTwoNames(pError, errno, 28125, pszDestination, pszSource);
    return 0;
  }
  if (pError != nullptr) pError->RAZ();
  return 1;
}

int CFileSystem::bConcat(const wchar_t* pszDestination, const wchar_t* pszSource) {
  CUtf8Path clDst(pszDestination, true);
  CUtf8Path clSrc(pszSource, true);
  if (clDst.psz() == nullptr || clSrc.psz() == nullptr) return 0;
  // The source must exist: it is opened, never created.
  CFd clIn(open64(clSrc.psz(), O_RDONLY | O_CLOEXEC));
  if (clIn.fd() < 0) return 0;
  struct stat64 stSrc;
  if (fstat64(clIn.fd(), &stSrc) != 0) return 0;
  if (S_ISDIR(stSrc.st_mode)) {
    errno = EISDIR;
    return 0;
  }
  CFd clOut(open64(clDst.psz(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  if (clOut.fd() < 0) return 0;
  struct stat64 stDst;
  if (fstat64(clOut.fd(), &stDst) != 0) return 0;
  if (bSameInode(stDst, stSrc)) {
    errno = EINVAL;  // it would read what it writes, without end
    return 0;
  }
  const off64_t nOldSize = lseek64(clOut.fd(), 0, SEEK_END);
  if (nOldSize < 0) return 0;
  if (!_sbCopyDescriptors(clIn.fd(), clOut.fd())) {
    const int nErr = errno;
    if (ftruncate64(clOut.fd(), nOldSize) != 0) {
      // the destination keeps what was appended; errno tells the first failure
    }
    errno = nErr;
    return 0;
  }
  return clOut.bClose() ? 1 : 0;
}

int CFileSystem::bSetFileOwnerUnix(const wchar_t* pszPath, unsigned int nUid, unsigned int nGid,
                                   CXError* pError) {
  CUtf8Path clPath(pszPath, true);
  if (clPath.psz() == nullptr ||
      chown(clPath.psz(), static_cast<uid_t>(nUid), static_cast<gid_t>(nGid)) != 0) {
    RecordFileFailure(pError, static_cast<unsigned int>(errno), pszPath, nullptr, 25852, nUid, nGid,
                      pszPath != nullptr ? pszPath : L"");
    return 0;
  }
  if (pError != nullptr) pError->RAZ();
  return 1;
}

int CFileSystem::bSetFileAttributesUnix(const wchar_t* pszPath, unsigned int nMode,
                                        CXError* pError) {
  CUtf8Path clPath(pszPath, true);
  if (clPath.psz() == nullptr || chmod(clPath.psz(), static_cast<mode_t>(nMode)) != 0) {
    RecordFileFailure(pError, static_cast<unsigned int>(errno), pszPath, nullptr, 28130, nMode,
                      pszPath != nullptr ? pszPath : L"");
    return 0;
  }
  if (pError != nullptr) pError->RAZ();
  return 1;
}

int CFileSystem::bSetFileOwnerAttributes(const wchar_t* pszPath, unsigned int nMode,
                                         unsigned int nUid, unsigned int nGid, CXError* pError) {
  return bSetFileOwnerUnix(pszPath, nUid, nGid, pError) &&
         bSetFileAttributesUnix(pszPath, nMode, pError);
}

int CFileSystem::bSetFileAttributes(const wchar_t* pszPath, int nAttributes, CXError* pError) {
  const unsigned int nMode = nAttributes == -1 || nAttributes == -2 ? 0444u : 0666u;
  return bSetFileAttributesUnix(pszPath, nMode, pError);
}
