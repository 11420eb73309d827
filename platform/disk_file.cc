#include "platform/disk_file.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <cwchar>

#include "core/binary_buffer.h"
#include "core/error_object.h"
#include "core/unicode.h"
#include "core/wide_string.h"
#include "core/xmalloc.h"

namespace {

constexpr unsigned int kCopyBlock = 65536;
// pszReadLine reads 64 KB (16,384 characters) at a time behind what it
// carries over from the previous read (at most a separator less one).
constexpr unsigned int kLineReadChars = 16384;
constexpr unsigned int kMaxSeparator = 8192;
constexpr unsigned int kLineBufferChars = kLineReadChars + kMaxSeparator;

bool bConflict(int nErr) { return nErr == EAGAIN || nErr == EACCES || nErr == EDEADLK; }

// The system error a failed open left: the error object's when it has one.
unsigned int nLastSystemError(const CXError* pError) {
  return pError != nullptr ? pError->dwGetSystemErrorCode() : static_cast<unsigned int>(errno);
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction

CDiskFile::CDiskFile() = default;

CDiskFile::CDiskFile(CDiskFile&& other) noexcept : IXStream() { TakeFrom(other); }

CDiskFile& CDiskFile::operator=(CDiskFile&& other) noexcept {
  if (&other == this) return *this;
  if (m_nFd != -1) Close();
  ReleaseBuffers();
  TakeFrom(other);
  return *this;
}

CDiskFile::~CDiskFile() {
  if (m_nFd != -1) Close();
  ReleaseBuffers();
}

void CDiskFile::ReleaseBuffers() {
  if (m_pLineBuffer != nullptr) XMALLOC_Del_(m_pLineBuffer);
  m_pLineBuffer = nullptr;
  m_nLineStart = m_nLineEnd = 0;
  if (m_pszNameForErrors != nullptr) XMALLOC_Del_(m_pszNameForErrors);
  m_pszNameForErrors = nullptr;
}

void CDiskFile::TakeFrom(CDiskFile& other) {
  m_clPath = other.m_clPath;
  m_nFd = other.m_nFd;
  m_nPosition = other.m_nPosition;
  m_pLineBuffer = other.m_pLineBuffer;
  m_nLineStart = other.m_nLineStart;
  m_nLineEnd = other.m_nLineEnd;
  m_nAccess = other.m_nAccess;
  m_pszNameForErrors = other.m_pszNameForErrors;
  // The error objects change places: the other stream keeps a fresh one.
  CXError* pMine = m_pclXError;
  m_pclXError = other.m_pclXError;
  other.m_pclXError = pMine;
  other.m_nFd = -1;
  m_bPositioned = other.m_bPositioned;
  other.m_nPosition = 0;
  other.m_bPositioned = false;
  other.m_pLineBuffer = nullptr;
  other.m_nLineStart = other.m_nLineEnd = 0;
  other.m_nAccess = -1;
  other.m_pszNameForErrors = nullptr;
}

// ---------------------------------------------------------------------------
// Failures

const wchar_t* CDiskFile::pszNameForErrors() const {
  return m_pszNameForErrors != nullptr ? m_pszNameForErrors : m_clPath.pszGet();
}

void CDiskFile::RecordFailure(unsigned int nErr, unsigned int nMessage, const wchar_t* pszDebug,
                              unsigned int nStart, unsigned int nLength) const {
  const wchar_t* pszName = pszNameForErrors();
  // The inserts of the lock messages follow the name; the others ignore them.
  RecordFileFailure(m_pclXError, nErr, pszName, nullptr, nMessage, pszName, nStart, nLength);
  if (m_pclXError != nullptr) {
    m_pclXError->AddDebugMessagePrintf(L"##(IXStream)-Handle=<%p>##",
                                       reinterpret_cast<void*>(static_cast<intptr_t>(m_nFd)));
    if (pszDebug != nullptr) m_pclXError->AddDebugMessageNoFormat(pszDebug);
  }
  errno = static_cast<int>(nErr);
}

// The level goes back to 1 at the start of each operation.
static inline void ResetError(CXError* pError) {
  if (pError != nullptr && pError->eGetErrorLevel() != CXError::EL_NOERROR) pError->RAZ();
}

// ---------------------------------------------------------------------------
// Open and close

int CDiskFile::bOpen(const wchar_t* pszPath, eACCESS eAccess, eSHARE eShare, eCREATE eCreate,
                     eFLAG eFlag, int* pbCreated) {
  ResetError(m_pclXError);
  if (pbCreated != nullptr) *pbCreated = 0;
  if (m_nFd != -1) Close();  // an open stream is opened again: its descriptor goes first
  const unsigned int nMessage = eCreate == eCREATE_OPEN_OR_CREATE    ? 28002u
                                : eCreate == eCREATE_CREATE_OR_EMPTY ? 28140u
                                                                     : 28139u;
  auto fail = [&](int nErr, int fd) {
    if (fd >= 0) close(fd);
    m_nFd = -1;
    m_nAccess = -1;
    m_nPosition = 0;
    m_bPositioned = false;
    RecordFailure(static_cast<unsigned int>(nErr), nMessage);
    return 0;
  };

  // The stored name is the absolute form of the path; a null or empty path
  // (or the stored name itself, as bReopen passes it) opens the stored name.
  if (pszPath != nullptr && pszPath[0] != 0 && pszPath != m_clPath.pszGet()) {
    const int nRc = m_clPath.AssignAbsolutePath(pszPath);
    if (nRc != 0) {
      m_clPath.Assign(pszPath);  // for the message
      return fail(nRc == kCountedTooLong ? ENAMETOOLONG : nRc, -1);
    }
  }
  if (m_clPath.nGetLength() == 0) return fail(ENOENT, -1);
  CUtf8Path clBytes(m_clPath.pszGet(), true, m_clPath.nGetLength());
  if (clBytes.psz() == nullptr) return fail(errno, -1);

  int nFlags = (eAccess == eACCESS_DEFAULT ? 0 : static_cast<int>(eAccess)) | O_NONBLOCK | O_LARGEFILE;
  bool bDirectory = false;
  if (eFlag == eFLAG_DIRECTORY) {
    struct stat64 stStat;
    if (stat64(clBytes.psz(), &stStat) == 0 && S_ISDIR(stStat.st_mode)) {
      nFlags = O_DIRECTORY | O_LARGEFILE;
      bDirectory = true;
    }
  }
  // Emptying waits for the lock: O_TRUNC is taken out of the open and done
  // by ftruncate once the share lock is the stream's.
  bool bEmpty = false;
  int fd = -1;
  switch (static_cast<int>(eCreate)) {
    case eCREATE_OPEN_OR_CREATE:
      m_nAccess = nFlags;
      // Opened when it exists, else created exclusively (so that the created
      // flag is true only for the file this call made).
      for (int nTry = 0; nTry < 8 && fd < 0; ++nTry) {
        fd = open64(clBytes.psz(), nFlags | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != ENOENT) break;
        fd = open64(clBytes.psz(), nFlags | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
          m_nAccess = nFlags | O_CREAT;
          if (pbCreated != nullptr) *pbCreated = 1;
        } else if (errno != EEXIST) {
          break;
        }
      }
      break;
    default: {
      const int nCreate = static_cast<int>(eCreate);
      m_nAccess = nFlags | nCreate;
      bEmpty = (nCreate & O_TRUNC) != 0;
      fd = open64(clBytes.psz(), nFlags | (nCreate & ~O_TRUNC) | O_CLOEXEC, 0666);
      break;
    }
  }
  if (fd < 0) return fail(errno, -1);

  struct stat64 stOpened;
  if (fstat64(fd, &stOpened) != 0) return fail(errno, fd);
  if (S_ISDIR(stOpened.st_mode) && !bDirectory) return fail(EISDIR, fd);
  if (!bDirectory) {
    if (eShare == eSHARE_SHARED || eShare == eSHARE_EXCLUSIVE) {
      struct flock64 stLock = {};
      stLock.l_type = eShare == eSHARE_SHARED ? F_RDLCK : F_WRLCK;
      stLock.l_whence = SEEK_SET;
      if (fcntl(fd, F_SETLK64, &stLock) != 0) {
        const int nErr = errno;
        return fail(bConflict(nErr) ? static_cast<int>(kLockConflict) : nErr, fd);
      }
    } else if (eShare != eSHARE_NONE) {
      return fail(EINVAL, fd);
    }
    if (bEmpty && stOpened.st_size != 0 && ftruncate64(fd, 0) != 0) {
      // A descriptor without write access cannot be cut: the file is cut
      // through the descriptor's own name in /proc, which names this very
      // file (no second descriptor: closing one would drop the lock).
      const int nErr = errno;
      char szSelf[40];
      snprintf(szSelf, sizeof(szSelf), "/proc/self/fd/%d", fd);
      if ((nErr != EINVAL && nErr != EBADF) || truncate64(szSelf, 0) != 0) return fail(errno, fd);
    }
  }
  m_nFd = fd;
  m_nPosition = 0;
  m_bPositioned = !bDirectory && (nFlags & O_APPEND) == 0 && lseek64(fd, 0, SEEK_CUR) == 0;
  if (eCreate == eCREATE_CREATE_OR_EMPTY && pbCreated != nullptr) *pbCreated = 1;
  return 1;
}

int CDiskFile::Close() {
  if (m_nFd == -1) return -1;
  const int fd = m_nFd;
  // The descriptor is gone whatever close answers (Linux releases it even
  // when close reports an error); keeping it would close a reused one later.
  m_nFd = -1;
  m_nPosition = 0;
  m_bPositioned = false;
  m_nAccess = -1;
  m_nLineStart = m_nLineEnd = 0;
  if (m_pszNameForErrors != nullptr) XMALLOC_Del_(m_pszNameForErrors);
  m_pszNameForErrors = nullptr;
  return close(fd) == 0 ? 0 : -1;
}

int CDiskFile::bReopen(eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag) {
  Close();
  return bOpen(m_clPath.pszGet(), eAccess, eShare, eCreate, eFlag, nullptr);
}

// ---------------------------------------------------------------------------
// Reading and writing

int CDiskFile::bWrite(const void* pData, unsigned int nSize, unsigned int* pnWritten) {
  ResetError(m_pclXError);
  if (pnWritten != nullptr) *pnWritten = 0;
  if (nSize == 0) return 1;
  const char* p = static_cast<const char*>(pData);
  unsigned int nDone = 0;
  int nErr = m_nFd == -1 ? EBADF : 0;
  while (nErr == 0 && nDone < nSize) {
    const ssize_t n =
        m_bPositioned
            ? pwrite64(m_nFd, p + nDone, nSize - nDone, static_cast<off64_t>(m_nPosition + nDone))
            : write(m_nFd, p + nDone, nSize - nDone);
    if (n > 0) {
      nDone += static_cast<unsigned int>(n);
    } else if (n == 0) {
      nErr = ENOSPC;
    } else if (errno != EINTR) {
      nErr = errno;
    }
  }
  m_nPosition += nDone;
  if (!m_bPositioned && (m_nAccess & O_APPEND) != 0 && nDone != 0) {
    // Appending writes land at the end, wherever the stream stood.
    const off64_t nNow = lseek64(m_nFd, 0, SEEK_CUR);
    if (nNow >= 0) m_nPosition = static_cast<unsigned long long>(nNow);
  }
  if (pnWritten != nullptr) *pnWritten = nDone;
  if (nErr != 0) {
    wchar_t szDebug[64];
    swprintf(szDebug, 64, L"##(IXStream)-Access=<%x>##", static_cast<unsigned int>(m_nAccess));
    RecordFailure(static_cast<unsigned int>(nErr), 28008, szDebug);
    return 0;
  }
  return 1;
}

int CDiskFile::bRead(void* pBuffer, unsigned int nSize, unsigned int* pnRead) {
  ResetError(m_pclXError);
  if (pnRead != nullptr) *pnRead = 0;
  char* p = static_cast<char*>(pBuffer);
  const bool bExact = pnRead == nullptr;
  unsigned int nDone = 0;
  int nErr = m_nFd == -1 ? EBADF : 0;
  while (nErr == 0 && nDone < nSize) {
    const ssize_t n =
        m_bPositioned
            ? pread64(m_nFd, p + nDone, nSize - nDone, static_cast<off64_t>(m_nPosition + nDone))
            : read(m_nFd, p + nDone, nSize - nDone);
    if (n > 0) {
      nDone += static_cast<unsigned int>(n);
      if (!bExact) break;  // with a count, what one read gives
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      nErr = errno;
    }
  }
  m_nPosition += nDone;
  if (pnRead != nullptr) *pnRead = nDone;
  if (nErr == 0 && bExact && nDone < nSize) nErr = -1;  // short exact read: system error 0
  if (nErr != 0) {
    wchar_t szDebug[128];
    swprintf(szDebug, 128, L"##(IXStream)-bExact=<%d>##\r\n##(IXStream)-A lire=<%u>, lu=<%u>##",
             bExact ? 1 : 0, nSize, nDone);
    RecordFailure(nErr == -1 ? 0u : static_cast<unsigned int>(nErr), 28003, szDebug);
    return 0;
  }
  return 1;
}

int CDiskFile::bSeek(long long nOffset, eSEEK eOrigin) {
  ResetError(m_pclXError);
  off64_t n = -1;
  if (m_nFd == -1) {
    errno = EBADF;
  } else if (m_bPositioned && (eOrigin == eSEEK_BEGIN || eOrigin == eSEEK_CURRENT)) {
    // The stream's own position: as lseek would answer, without the call.
    const long long nBase = eOrigin == eSEEK_BEGIN ? 0 : static_cast<long long>(m_nPosition);
    if ((nOffset > 0 && nBase > INT64_MAX - nOffset) || nBase + nOffset < 0) {
      errno = nOffset > 0 ? EOVERFLOW : EINVAL;
    } else {
      n = static_cast<off64_t>(nBase + nOffset);
    }
  } else {
    n = lseek64(m_nFd, nOffset, static_cast<int>(eOrigin));
  }
  if (n < 0) {
    RecordFailure(static_cast<unsigned int>(errno), 28005);
    return 0;
  }
  m_nPosition = static_cast<unsigned long long>(n);
  return 1;
}

long long CDiskFile::oGetSize() {
  const unsigned long long nKept = m_nPosition;
  if (!bSeek(0, eSEEK_END)) return -1;
  const long long nSize = static_cast<long long>(m_nPosition);
  if (!bSeek(static_cast<long long>(nKept), eSEEK_BEGIN)) return -1;
  return nSize;
}

long long CDiskFile::oGetSizeFast() {
  if (!bSeek(0, eSEEK_END)) return -1;
  return static_cast<long long>(m_nPosition);
}

int CDiskFile::bFlush() {
  ResetError(m_pclXError);
  if (m_nFd == -1 || fsync(m_nFd) != 0) {
    RecordFailure(static_cast<unsigned int>(m_nFd == -1 ? EBADF : errno), 28001);
    return 0;
  }
  return 1;
}

int CDiskFile::bSetSize(long long nSize, eGROW eMode) {
  if (eMode != eGROW_ABSOLUTE && eMode != eGROW_FROM_END) return 0;
  if (!bSeek(nSize, eMode == eGROW_ABSOLUTE ? eSEEK_BEGIN : eSEEK_END)) return 0;
  if (ftruncate64(m_nFd, static_cast<off64_t>(m_nPosition)) != 0) {
    RecordFailure(static_cast<unsigned int>(errno), 28004);
    return 0;
  }
  return 1;
}

int CDiskFile::bIncreaseSize(long long nSize) {
  ResetError(m_pclXError);
  if (nSize == 0) return 1;
  if (nSize < 0) {
    // Seeking before the end would overwrite a kept byte with the zero.
    RecordFailure(EINVAL, 28004);
    return 0;
  }
  if (!bSeek(nSize - 1, eSEEK_END)) return 0;
  const char cZero = 0;
  return bWrite(&cZero, 1, nullptr);
}

int CDiskFile::bExtendFile(long long nSize) {
  const long long nOld = oGetSize();
  if (nOld < 0) return 0;
  if (!bSetSize(nSize, eGROW_ABSOLUTE)) return 0;
  if (nSize <= nOld) return 1;  // nothing grew: the kept bytes stay as they are
  const char cZero = 0;
  return bWrite(nSize - 1, &cZero, 1, nullptr);
}

int CDiskFile::bExtract(IXStream* pDestination, long long nSize) {
  ResetError(m_pclXError);
  if (pDestination == nullptr) {
    RecordFailure(EINVAL, 28003);
    return 0;
  }
  if (nSize < 0) {
    const long long nEnd = oGetSize();
    if (nEnd < 0) return 0;
    nSize = nEnd - static_cast<long long>(m_nPosition);
    if (nSize < 0) nSize = 0;
  }
  if (nSize == 0) return 1;
  void* pBlock = XMALLOC_pNew_(kCopyBlock);
  if (pBlock == nullptr) {
    _OnMemoryError(m_pclXError);
    return 0;
  }
  int nResult = 1;
  while (nSize > 0) {
    // Never more than what is still due: the source then stands right after
    // the last byte copied.
    const unsigned int nAsk = nSize < kCopyBlock ? static_cast<unsigned int>(nSize) : kCopyBlock;
    unsigned int nRead = 0;
    if (!bRead(pBlock, nAsk, &nRead)) {
      nResult = 0;
      break;
    }
    if (nRead != 0 && !pDestination->bWrite(pBlock, nRead, nullptr)) {
      nResult = 0;
      break;
    }
    nSize -= nRead;
    if (nRead < nAsk) break;  // the end of this file came first
  }
  XMALLOC_Del_(pBlock);
  return nResult;
}

// ---------------------------------------------------------------------------
// Locks

int CDiskFile::nLockRange(int nCommand, short nType, unsigned long long nStart,
                          unsigned long long nLength) const {
  if (m_nFd == -1) {
    errno = EBADF;
    return 0;
  }
  if (nStart > static_cast<unsigned long long>(INT64_MAX) ||
      nLength > static_cast<unsigned long long>(INT64_MAX)) {
    errno = EINVAL;
    return 0;
  }
  struct flock64 stLock = {};
  stLock.l_type = nType;
  stLock.l_whence = SEEK_SET;
  stLock.l_start = static_cast<off64_t>(nStart);
  stLock.l_len = static_cast<off64_t>(nLength);
  int n;
  do {
    n = fcntl(m_nFd, nCommand, &stLock);
  } while (n != 0 && errno == EINTR && nCommand == F_SETLKW64);
  if (n != 0) {
    if (nType != F_UNLCK && bConflict(errno)) errno = static_cast<int>(kLockConflict);
    return 0;
  }
  return 1;
}

int CDiskFile::bLock(unsigned long long nStart, unsigned long long nLength) const {
  const int nMode = m_nAccess & O_ACCMODE;
  const short nType = nMode == O_WRONLY || nMode == O_RDWR ? F_WRLCK : F_RDLCK;
  return nLockRange(F_SETLK64, nType, nStart, nLength);
}

int CDiskFile::bUnlock(unsigned long long nStart, unsigned long long nLength) const {
  return nLockRange(F_SETLK64, F_UNLCK, nStart, nLength);
}

int CDiskFile::bLockShare(unsigned long long nStart, unsigned long long nLength) const {
  return nLockRange(F_SETLK64, F_RDLCK, nStart, nLength);
}

int CDiskFile::bLockFile(unsigned long long nStart, unsigned long long nLength) const {
  ResetError(m_pclXError);
  if (bLock(nStart, nLength)) return 1;
  RecordFailure(static_cast<unsigned int>(errno), 28145, nullptr, static_cast<unsigned int>(nStart),
                static_cast<unsigned int>(nLength));
  return 0;
}

int CDiskFile::bUnlockFile(unsigned long long nStart, unsigned long long nLength) const {
  ResetError(m_pclXError);
  if (bUnlock(nStart, nLength)) return 1;
  RecordFailure(static_cast<unsigned int>(errno), 28146, nullptr, static_cast<unsigned int>(nStart),
                static_cast<unsigned int>(nLength));
  return 0;
}

int CDiskFile::bLockFileEx(int bLockIt, int bExclusive) const {
  ResetError(m_pclXError);
  if (!bLockIt) {
    nLockRange(F_SETLK64, F_UNLCK, 0, 2);
    return 1;
  }
  if (nLockRange(F_SETLKW64, bExclusive ? F_WRLCK : F_RDLCK, 0, 2)) return 1;
  RecordFailure(static_cast<unsigned int>(errno), 28145, nullptr, 0, 1);
  return 0;
}

// ---------------------------------------------------------------------------
// Names and state

const wchar_t* CDiskFile::pszGetName() const { return m_clPath.pszGet(); }
long long CDiskFile::oGetOffset() { return static_cast<long long>(m_nPosition); }
int CDiskFile::bIsOpen() const { return m_nFd != -1; }
IXStream::eACCESS CDiskFile::veGetAccess() const { return static_cast<eACCESS>(m_nAccess); }
int CDiskFile::bGetVFSFileName(wchar_t*) { return 0; }
CDiskFile* CDiskFile::vpclCastDiskFile() { return this; }

int CDiskFile::vbSetNameForError(const wchar_t* pszName) {
  if (m_pszNameForErrors != nullptr) XMALLOC_Del_(m_pszNameForErrors);
  m_pszNameForErrors = nullptr;
  if (pszName == nullptr) return 1;
  const size_t n = std::wcslen(pszName);
  if (n >= UINT_MAX / sizeof(wchar_t)) return 0;
  m_pszNameForErrors =
      static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<unsigned int>((n + 1) * sizeof(wchar_t))));
  if (m_pszNameForErrors == nullptr) return 0;
  std::wmemcpy(m_pszNameForErrors, pszName, n + 1);
  return 1;
}

// ---------------------------------------------------------------------------
// Lines of 4-byte characters with a separator

wchar_t* CDiskFile::pszReadLine(wchar_t* pszBuffer, unsigned int nCapacity, CTString* pOverflow,
                                const wchar_t* pszSeparator) {
  const size_t nSep = pszSeparator != nullptr ? std::wcslen(pszSeparator) : 0;
  if (nSep > kMaxSeparator || ((pszBuffer == nullptr || nCapacity == 0) && pOverflow == nullptr)) {
    errno = EINVAL;
    return nullptr;
  }
  if (m_pLineBuffer == nullptr) {
    m_pLineBuffer =
        static_cast<wchar_t*>(XMALLOC_pNew_((kLineBufferChars + 1) * sizeof(wchar_t)));
    if (m_pLineBuffer == nullptr) {
      _OnMemoryError(m_pclXError);
      return nullptr;
    }
    m_nLineStart = m_nLineEnd = 0;
  }
  if (pOverflow != nullptr) pOverflow->Vide();
  if (pszBuffer != nullptr && nCapacity != 0) pszBuffer[0] = 0;
  size_t nHave = 0;
  bool bOverflow = pszBuffer == nullptr || nCapacity == 0;
  bool bConsumed = false;
  // The text of the line goes to the buffer while it fits, then (all of it)
  // to the overflow; without an overflow it is cut.
  auto put = [&](const wchar_t* p, size_t n) {
    if (n == 0) return;
    if (!bOverflow && nHave + n < nCapacity) {
      std::wmemcpy(pszBuffer + nHave, p, n);
      nHave += n;
      pszBuffer[nHave] = 0;
    } else if (pOverflow != nullptr) {
      if (!bOverflow) {
        pOverflow->Set(pszBuffer, static_cast<unsigned int>(nHave));
        bOverflow = true;
      }
      pOverflow->Add(p, static_cast<int>(n));
    } else {
      const size_t nFit = nCapacity - 1 - nHave;
      std::wmemcpy(pszBuffer + nHave, p, nFit);
      nHave += nFit;
      pszBuffer[nHave] = 0;
    }
  };
  auto result = [&]() { return bOverflow ? const_cast<wchar_t*>(pOverflow->pszGet()) : pszBuffer; };
  // Reads behind the nCarry characters kept at the front; the characters now
  // held, or -1 when the read fails.
  auto refill = [&](unsigned int nCarry) -> long {
    unsigned int nBytes = 0;
    if (!bRead(m_pLineBuffer + nCarry, kLineReadChars * sizeof(wchar_t), &nBytes)) return -1;
    const unsigned int nPartial = nBytes % sizeof(wchar_t);
    if (nPartial != 0 && !bSeek(-static_cast<long long>(nPartial), eSEEK_CURRENT)) return -1;
    m_nLineStart = 0;
    m_nLineEnd = nCarry + nBytes / sizeof(wchar_t);
    return static_cast<long>(nBytes / sizeof(wchar_t));
  };

  for (;;) {
    if (m_nLineStart == m_nLineEnd) {
      const long n = refill(0);
      if (n < 0) return nullptr;
      if (n == 0) return bConsumed ? result() : nullptr;
    }
    wchar_t* p = m_pLineBuffer + m_nLineStart;
    const size_t nAvail = m_nLineEnd - m_nLineStart;
    size_t nAt = nAvail;  // where the line ends
    size_t nEndLength = 0;
    size_t nCarry = 0;  // characters that may begin a line end still to come
    if (nSep != 0) {
      for (size_t i = 0; i + nSep <= nAvail; ++i) {
        if (p[i] == pszSeparator[0] && std::wmemcmp(p + i, pszSeparator, nSep) == 0) {
          nAt = i;
          nEndLength = nSep;
          break;
        }
      }
      if (nEndLength == 0) nCarry = nSep - 1 < nAvail ? nSep - 1 : nAvail;
    } else {
      for (size_t i = 0; i < nAvail; ++i) {
        if (p[i] == L'\n') {
          nAt = i;
          nEndLength = 1;
          break;
        }
        if (p[i] == L'\r') {
          if (i + 1 == nAvail) {
            nCarry = 1;  // an LF may follow in the next read
            nAt = i;
          } else {
            nAt = i;
            nEndLength = p[i + 1] == L'\n' ? 2 : 1;
          }
          break;
        }
      }
    }
    bConsumed = true;
    if (nEndLength != 0) {
      put(p, nAt);
      m_nLineStart += static_cast<unsigned int>(nAt + nEndLength);
      return result();
    }
    // No line end yet: the text before the carried characters is the line's;
    // the carried ones move to the front and the next read goes behind them.
    const size_t nText = nAvail - nCarry;
    put(p, nText);
    std::wmemmove(m_pLineBuffer, p + nText, nCarry);
    const long n = refill(static_cast<unsigned int>(nCarry));
    if (n < 0) return nullptr;
    if (n == 0) {
      // The end of the file: a carried CR ends the line; carried separator
      // characters are text.
      if (nSep != 0) put(m_pLineBuffer, nCarry);
      m_nLineStart = m_nLineEnd;
      return result();
    }
  }
}

// ---------------------------------------------------------------------------
// Retries, share lock, times

int CDiskFile::bOpenReessais(const wchar_t* pszPath, int bByCount, unsigned int nLimit,
                             eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag,
                             int* pbCreated) {
  if (eAccess == eACCESS_READ) eAccess = eACCESS_READWRITE;
  if (bByCount) {
    // A count below 1 is one attempt, never an endless loop.
    const unsigned int nAttempts = nLimit < 1 ? 1 : nLimit;
    for (unsigned int i = 0;; ++i) {
      if (bOpen(pszPath, eAccess, eShare, eCreate, eFlag, pbCreated)) return 1;
      if (nLastSystemError(m_pclXError) != kLockConflict) return 0;
      if (i + 1 >= nAttempts) return 0;
      sched_yield();
    }
  }
  const unsigned int nStart = GetTickCount();
  for (;;) {
    if (bOpen(pszPath, eAccess, eShare, eCreate, eFlag, pbCreated)) return 1;
    if (nLastSystemError(m_pclXError) != kLockConflict) return 0;
    const unsigned int nNow = GetTickCount();
    if (nNow < nStart || nNow - nStart > nLimit) return 0;
    usleep(100 * 1000);
  }
}

int CDiskFile::bGetTime(_stXFILETIME* pCreation, _stXFILETIME* pLastAccess,
                        _stXFILETIME* pLastWrite) {
  FILETIME ftCreation;
  FILETIME ftAccess;
  FILETIME ftWrite;
  if (m_nFd == -1 || !GetFileTime(m_nFd, &ftCreation, &ftAccess, &ftWrite)) return 0;
  if (pCreation != nullptr && !bFileTimeToSystemTime(&ftCreation, pCreation)) return 0;
  if (pLastAccess != nullptr && !bFileTimeToSystemTime(&ftAccess, pLastAccess)) return 0;
  if (pLastWrite != nullptr && !bFileTimeToSystemTime(&ftWrite, pLastWrite)) return 0;
  return 1;
}

int CDiskFile::bSetTime(const FILETIME* pCreation, const FILETIME* pLastAccess,
                        const FILETIME* pLastWrite) {
  return SetFileTime(m_clPath.pszGet(), pCreation, pLastAccess, pLastWrite);
}

int CDiskFile::bSetTime(const _stXFILETIME* /*pCreation*/, const _stXFILETIME* pLastAccess,
                        const _stXFILETIME* pLastWrite) {
  FILETIME ftAccess;
  FILETIME ftWrite;
  if (pLastAccess != nullptr && !bSystemTimeToFileTime(pLastAccess, &ftAccess)) return 0;
  if (pLastWrite != nullptr && !bSystemTimeToFileTime(pLastWrite, &ftWrite)) return 0;
  return bSetTime(nullptr, pLastAccess != nullptr ? &ftAccess : nullptr,
                  pLastWrite != nullptr ? &ftWrite : nullptr);
}

// ---------------------------------------------------------------------------
// Slices

int CDiskFile::bExtract(const wchar_t* pszPath, long long nPosition, long long nSize) {
  if (!bSeek(nPosition, eSEEK_BEGIN)) return 0;
  CDiskFile clDestination;
  if (!clDestination.bOpen(pszPath, eACCESS_WRITE, eSHARE_NONE, eCREATE_CREATE_OR_EMPTY, eFLAG_NONE,
                           nullptr)) {
    if (m_pclXError != nullptr) m_pclXError->LightCopy(clDestination.pclGetXError());
    return 0;
  }
  if (!bExtract(&clDestination, nSize)) {
    clDestination.Close();
    bForceDelete(clDestination.pszGetName());
    return 0;
  }
  if (clDestination.Close() != 0) {
    if (m_pclXError != nullptr) m_pclXError->LightCopy(clDestination.pclGetXError());
    return 0;
  }
  return 1;
}

int CDiskFile::bExtractFromFile(const wchar_t* pszPath, long long nPosition, long long nSize) {
  if (!bSeek(0, eSEEK_END)) return 0;
  CDiskFile clSource;
  if (!clSource.bOpen(pszPath, eACCESS_READ, eSHARE_NONE, eCREATE_EXISTING, eFLAG_NONE, nullptr) ||
      !clSource.bSeek(nPosition, eSEEK_BEGIN) || !clSource.bExtract(this, nSize)) {
    if (m_pclXError != nullptr && clSource.pclGetXError() != nullptr &&
        clSource.pclGetXError()->eGetErrorLevel() != CXError::EL_NOERROR)
      m_pclXError->LightCopy(clSource.pclGetXError());
    return 0;
  }
  return 1;
}

int CDiskFile::bExtract(const wchar_t* pszDestination, const wchar_t* pszSource,
                        long long nPosition, long long nSize) {
  // The source must exist: a missing one is an error, not an empty file.
  CDiskFile clSource;
  if (!clSource.bOpen(pszSource, eACCESS_READ, eSHARE_NONE, eCREATE_EXISTING, eFLAG_NONE, nullptr))
    return 0;
  return clSource.bExtract(pszDestination, nPosition, nSize);
}

// ---------------------------------------------------------------------------
// Whole files

int CDiskFile::bSauveFichier(const CVXBIN& clData, const wchar_t* pszPath, CXError* pError) {
  CDiskFile clFile;
  if (!clFile.bOpen(pszPath, eACCESS_WRITE, eSHARE_EXCLUSIVE, eCREATE_CREATE_OR_EMPTY, eFLAG_NONE,
                    nullptr) ||
      !clFile.bWrite(clData.pbyGet(), static_cast<unsigned int>(clData.nGetSize()), nullptr)) {
    if (pError != nullptr) pError->LightCopy(clFile.pclGetXError());
    return 0;
  }
  if (clFile.Close() != 0) {
    RecordFileFailure(pError, static_cast<unsigned int>(errno), pszPath, nullptr, 28008, pszPath);
    return 0;
  }
  if (pError != nullptr) pError->RAZ();
  return 1;
}

int CDiskFile::bChargeFichier(CVXBIN& clData, const wchar_t* pszPath, CXError* pError) {
  CDiskFile clFile;
  if (!clFile.bOpen(pszPath, eACCESS_READ, eSHARE_NONE, eCREATE_EXISTING, eFLAG_NONE, nullptr)) {
    if (pError != nullptr) pError->LightCopy(clFile.pclGetXError());
    return 0;
  }
  const long long nSize = clFile.oGetSize();
  if (nSize < 0) {
    if (pError != nullptr) pError->LightCopy(clFile.pclGetXError());
    return 0;
  }
  if (nSize > kCountedMaxUnits) {
    RecordFileFailure(pError, EFBIG, clFile.pszGetName(), nullptr, 28003, clFile.pszGetName());
    return 0;
  }
  if (clData.nSetSize(static_cast<int>(nSize), 0) != 0) {
    _OnMemoryError(pError);
    return 0;
  }
  if (nSize != 0 && !clFile.bRead(clData.pbyGet(), static_cast<unsigned int>(nSize), nullptr)) {
    if (pError != nullptr) pError->LightCopy(clFile.pclGetXError());
    return 0;
  }
  if (pError != nullptr) pError->RAZ();
  return 1;
}

int CDiskFile::s_bCheckBOM(const unsigned char* pbyBytes, unsigned int nLength, int& nBomLength,
                           etxType& eType) {
  if (pbyBytes == nullptr) return 0;
  if (nLength >= 2 && pbyBytes[0] == 0xFE && pbyBytes[1] == 0xFF) {
    eType = etxUTF16BE;
    nBomLength = 2;
    return 1;
  }
  if (nLength >= 2 && pbyBytes[0] == 0xFF && pbyBytes[1] == 0xFE) {
    eType = etxUTF16LE;
    nBomLength = 2;
    return 1;
  }
  if (nLength >= 3 && pbyBytes[0] == 0xEF && pbyBytes[1] == 0xBB && pbyBytes[2] == 0xBF) {
    eType = etxUTF8;
    nBomLength = 3;
    return 1;
  }
  return 0;
}

int CDiskFile::bChargeTexteBOMFromBuffer(CXYString<wchar_t>& clText, unsigned char* pbyBytes,
                                         unsigned int nLength, unsigned int nCodePage,
                                         etxType* peType) {
  clText.ReleaseDynStr();
  int nBom = 0;
  etxType eType = etxNone;
  if (!s_bCheckBOM(pbyBytes, nLength, nBom, eType)) {
    nBom = 0;
    eType = etxNone;
    if (nLength > INT_MAX) return 0;
    if (nLength == 0 || UTF8Valide(reinterpret_cast<const char*>(pbyBytes), static_cast<int>(nLength))) {
      eType = etxUTF8;
    }
  }
  if (nLength == 0) {
    if (peType != nullptr) *peType = eType;
    return 1;
  }
  unsigned char* p = pbyBytes + nBom;
  const unsigned int n = nLength - static_cast<unsigned int>(nBom);
  if (eType == etxUTF16BE) {
    for (unsigned int i = 0; i + 1 < n; i += 2) {
      const unsigned char c = p[i];
      p[i] = p[i + 1];
      p[i + 1] = c;
    }
    eType = etxUTF16LE;
  }
  if (eType == etxUTF8) nCodePage = 65001;
  if (peType != nullptr) *peType = eType;
  if (n == 0) return 1;
  if (eType == etxUTF16LE) {
    // The units may not lie on a 2-byte boundary: copied aside.
    const unsigned int nUnits = n / 2;
    CScratchBuffer<unsigned short, 1024> clUnits(nUnits + 1);
    if (clUnits.p() == nullptr) return 0;
    std::memcpy(clUnits.p(), p, nUnits * 2u);
    clUnits.p()[nUnits] = 0;
    return clText.nAffecteUTF16(clUnits.p(), static_cast<int>(nUnits)) == 0 ? 1 : 0;
  }
  return clText.__nConversion(reinterpret_cast<const char*>(p), static_cast<int>(n), 0,
                              static_cast<int>(nCodePage), 0, nullptr) == 0
             ? 1
             : 0;
}

int CDiskFile::bChargeTexteBOMFromIXStream(CXYString<wchar_t>& clText, IXStream* pStream,
                                           unsigned int nCodePage, etxType* peType) {
  clText.ReleaseDynStr();
  if (peType != nullptr) *peType = etxNone;
  if (pStream == nullptr) return 0;
  const long long nSize = pStream->oGetSize();
  if (nSize == 0) return 1;
  if (nSize < 0 || nSize > kCountedMaxUnits) return 0;
  unsigned char* pBytes = static_cast<unsigned char*>(XMALLOC_pNew_(static_cast<unsigned int>(nSize)));
  if (pBytes == nullptr) return 0;
  int nResult = 0;
  if (pStream->bRead(0LL, pBytes, static_cast<unsigned int>(nSize), nullptr))
    nResult = bChargeTexteBOMFromBuffer(clText, pBytes, static_cast<unsigned int>(nSize), nCodePage,
                                        peType);
  XMALLOC_Del_(pBytes);
  return nResult;
}

int CDiskFile::bChargeTexteBOM(CXYString<wchar_t>& clText, const wchar_t* pszPath,
                               unsigned int nCodePage, etxType* peType) {
  clText.ReleaseDynStr();
  if (peType != nullptr) *peType = etxNone;
  CDiskFile clFile;
  if (!clFile.bOpen(pszPath, eACCESS_READ, eSHARE_NONE, eCREATE_EXISTING, eFLAG_NONE, nullptr))
    return 0;
  return bChargeTexteBOMFromIXStream(clText, &clFile, nCodePage, peType);
}
