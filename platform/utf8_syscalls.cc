#include "platform/utf8_syscalls.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "core/unicode.h"

namespace {

// Bytes of one code point in UTF-8; 0 for what UTF-8 cannot hold.
size_t nUtf8Bytes(wchar_t c) {
  const uint32_t u = static_cast<uint32_t>(c);
  if (u < 0x80) return 1;
  if (u < 0x800) return 2;
  if (u < 0x10000) return 3;
  if (u <= 0x10FFFF) return 4;
  return 0;
}

size_t nEncode(wchar_t c, char* p) {
  const uint32_t u = static_cast<uint32_t>(c);
  if (u < 0x80) {
    p[0] = static_cast<char>(u);
    return 1;
  }
  if (u < 0x800) {
    p[0] = static_cast<char>(0xC0 | (u >> 6));
    p[1] = static_cast<char>(0x80 | (u & 0x3F));
    return 2;
  }
  if (u < 0x10000) {
    p[0] = static_cast<char>(0xE0 | (u >> 12));
    p[1] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    p[2] = static_cast<char>(0x80 | (u & 0x3F));
    return 3;
  }
  p[0] = static_cast<char>(0xF0 | (u >> 18));
  p[1] = static_cast<char>(0x80 | ((u >> 12) & 0x3F));
  p[2] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
  p[3] = static_cast<char>(0x80 | (u & 0x3F));
  return 4;
}

}  // namespace

size_t CUtf8Path::nNeeded(const wchar_t* pszPath, int nLength) {
  if (pszPath == nullptr) return 1;
  size_t n = 1;  // the terminator
  for (int i = 0; nLength < 0 ? pszPath[i] != 0 : i < nLength; ++i) {
    const size_t k = nUtf8Bytes(pszPath[i]);
    if (k == 0) return 1;  // refused below
    if (n > SIZE_MAX / 2) return 1;
    n += k;
  }
  return n;
}

CUtf8Path::CUtf8Path(const wchar_t* pszPath, bool bSlashes, int nLength)
    : m_clBytes(nNeeded(pszPath, nLength)) {
  if (pszPath == nullptr) {
    errno = EFAULT;
    return;
  }
  // What cannot be converted is refused before anything is written.
  for (int i = 0; nLength < 0 ? pszPath[i] != 0 : i < nLength; ++i) {
    if (pszPath[i] == 0) {
      errno = EINVAL;
      return;
    }
    if (nUtf8Bytes(pszPath[i]) == 0) {
      errno = EILSEQ;
      return;
    }
  }
  char* p = m_clBytes.p();
  if (p == nullptr) {
    errno = ENOMEM;
    return;
  }
  const size_t nRoom = nNeeded(pszPath, nLength);
  size_t o = 0;
  for (int i = 0; nLength < 0 ? pszPath[i] != 0 : i < nLength; ++i) {
    wchar_t c = pszPath[i];
    if (bSlashes && c == L'\\') c = L'/';
    if (o + nUtf8Bytes(c) >= nRoom) {  // cannot happen: measured above
      errno = ENOMEM;
      return;
    }
    o += nEncode(c, p + o);
  }
  p[o] = '\0';
  m_nBytes = static_cast<int>(o);
  m_bOk = true;
}

int Utf8ToWidePath(wchar_t* pszOut, unsigned int nSize, const char* pszIn) {
  if (pszOut == nullptr || nSize == 0) {
    errno = ERANGE;
    return -1;
  }
  pszOut[0] = 0;
  if (pszIn == nullptr) return 0;
  // Counted with the decoder that converts, so that the count is exact for
  // malformed bytes too.
  unsigned int nChars = 0;
  for (const char* p = pszIn; *p != '\0'; ++nChars) UTF8_GetNext(&p);
  if (nChars >= nSize) {
    errno = ERANGE;
    return -1;
  }
  return static_cast<int>(UTF8ToWide(pszOut, nSize, pszIn));
}

// ---------------------------------------------------------------------------
// The calls. Each converts, calls and answers as the POSIX function does.

int CUnixFileCalls::Unix_open(const wchar_t* pszPath, int nFlags) {
  CUtf8Path clPath(pszPath);
  if (clPath.psz() == nullptr) return -1;
  return open64(clPath.psz(), nFlags);
}

int CUnixFileCalls::Unix_open(const wchar_t* pszPath, int nFlags, mode_t nMode) {
  CUtf8Path clPath(pszPath);
  if (clPath.psz() == nullptr) return -1;
  return open64(clPath.psz(), nFlags, nMode);
}

int CUnixFileCalls::Unix_ropen(const wchar_t* pszPath, int nFlags, mode_t nMode) {
  return Unix_open(pszPath, nFlags, nMode);
}

FILE* CUnixFileCalls::Unix_fopen(const wchar_t* pszPath, const char* pszMode) {
  CUtf8Path clPath(pszPath);
  if (clPath.psz() == nullptr) return nullptr;
  return fopen64(clPath.psz(), pszMode);
}

int CUnixFileCalls::Unix_stat(const wchar_t* pszPath, struct stat64* pStat, unsigned int* pnError) {
  CUtf8Path clPath(pszPath);
  const int n = clPath.psz() == nullptr ? -1 : stat64(clPath.psz(), pStat);
  if (pnError != nullptr) *pnError = n == 0 ? 0u : static_cast<unsigned int>(errno);
  return n;
}

int CUnixFileCalls::Unix_lstat(const wchar_t* pszPath, struct stat64* pStat) {
  CUtf8Path clPath(pszPath);
  if (clPath.psz() == nullptr) return -1;
  return lstat64(clPath.psz(), pStat);
}

int CUnixFileCalls::Unix_access(const wchar_t* pszPath, int nMode, unsigned int* pnError) {
  CUtf8Path clPath(pszPath);
  const int n = clPath.psz() == nullptr ? -1 : access(clPath.psz(), nMode);
  if (pnError != nullptr) *pnError = n == 0 ? 0u : static_cast<unsigned int>(errno);
  return n;
}

int CUnixFileCalls::__Unix_chown(const wchar_t* pszPath, uid_t nUid, gid_t nGid) {
  CUtf8Path clPath(pszPath);
  if (clPath.psz() == nullptr) return -1;
  return chown(clPath.psz(), nUid, nGid);
}

int CUnixFileCalls::Unix_chmod(const wchar_t* pszPath, mode_t nMode) {
  CUtf8Path clPath(pszPath);
  if (clPath.psz() == nullptr) return -1;
  return chmod(clPath.psz(), nMode);
}

int CUnixFileCalls::Unix_utime(const wchar_t* pszPath, const struct utimbuf* pTimes) {
  CUtf8Path clPath(pszPath);
  if (clPath.psz() == nullptr) return -1;
  return utime(clPath.psz(), pTimes);
}

int CUnixFileCalls::__Unix_rename(const wchar_t* pszFrom, const wchar_t* pszTo) {
  CUtf8Path clFrom(pszFrom);
  if (clFrom.psz() == nullptr) return -1;
  CUtf8Path clTo(pszTo);
  if (clTo.psz() == nullptr) return -1;
  return rename(clFrom.psz(), clTo.psz());
}

int CUnixFileCalls::Unix_mkfifo(const wchar_t* pszPath, mode_t nMode) {
  CUtf8Path clPath(pszPath);
  if (clPath.psz() == nullptr) return -1;
  return mkfifo(clPath.psz(), nMode);
}

int CUnixFileCalls::Unix_unlink(const wchar_t* pszPath) {
  CUtf8Path clPath(pszPath);
  if (clPath.psz() == nullptr) return -1;
  return unlink(clPath.psz());
}

int CUnixFileCalls::__Unix_rmdir(const wchar_t* pszPath) {
  CUtf8Path clPath(pszPath);
  if (clPath.psz() == nullptr) return -1;
  return rmdir(clPath.psz());
}

int CUnixFileCalls::__Unix_mkdir(const wchar_t* pszPath, mode_t nMode) {
  CUtf8Path clPath(pszPath);
  if (clPath.psz() == nullptr) return -1;
  return mkdir(clPath.psz(), nMode);
}

int CUnixFileCalls::Unix_chdir(const wchar_t* pszPath) {
  CUtf8Path clPath(pszPath);
  if (clPath.psz() == nullptr) return -1;
  return chdir(clPath.psz());
}

DIR* CUnixFileCalls::__Unix_opendir(const wchar_t* pszPath) {
  CUtf8Path clPath(pszPath);
  if (clPath.psz() == nullptr) return nullptr;
  return opendir(clPath.psz());
}

int CUnixFileCalls::__Unix_statfs(const wchar_t* pszPath, struct statfs64* pStat) {
  CUtf8Path clPath(pszPath);
  if (clPath.psz() == nullptr) return -1;
  return statfs64(clPath.psz(), pStat);
}

int CUnixFileCalls::Unix_system(const wchar_t* pszCommand) {
  CUtf8Path clCommand(pszCommand);
  if (clCommand.psz() == nullptr) return -1;
  return system(clCommand.psz());
}

int CUnixFileCalls::Unix_getcwd(wchar_t* pszBuffer, unsigned int nSize) {
  if (pszBuffer == nullptr || nSize == 0) {
    errno = ERANGE;
    return 0;
  }
  pszBuffer[0] = 0;
  // The whole directory first, whatever its length: a wide buffer of n
  // characters can hold a UTF-8 text of more than n bytes.
  char* pszCwd = getcwd(nullptr, 0);
  if (pszCwd == nullptr) return 0;
  const int n = Utf8ToWidePath(pszBuffer, nSize, pszCwd);
  const int nErr = errno;
  free(pszCwd);
  errno = nErr;
  return n < 0 ? 0 : 1;
}

int CUnixFileCalls::Unix_gethomedir(wchar_t* pszBuffer, unsigned int nSize) {
  if (pszBuffer == nullptr || nSize == 0) {
    errno = ERANGE;
    return 0;
  }
  const char* pszHome = getenv("HOME");
  if (pszHome == nullptr || *pszHome == '\0') {
    const struct passwd* pEntry = getpwuid(getuid());
    pszHome = pEntry != nullptr ? pEntry->pw_dir : nullptr;
  }
  if (pszHome == nullptr || *pszHome == '\0') {
    if (nSize >= 2) {
      pszBuffer[0] = L'.';
      pszBuffer[1] = 0;
    } else {
      pszBuffer[0] = 0;
    }
    return 0;
  }
  return Utf8ToWidePath(pszBuffer, nSize, pszHome) < 0 ? 0 : 1;
}
