// The UTF-8 system-call layer: the POSIX file calls with wide-character paths.
//
// The framework's paths are wide strings (one code point per wchar_t); the
// kernel takes bytes. Every member converts its path(s) to UTF-8, on the stack
// while the UTF-8 form needs at most 1,024 bytes with its terminator and on
// the framework heap beyond, calls the POSIX function and answers its result
// unchanged (errno as the call left it).
//
// A path is passed on exactly as given: these members do not turn
// backslashes into '/' (the operations above them work on a copy that does).
// A character that UTF-8 cannot hold (negative, or above U+10FFFF) is
// refused with EILSEQ rather than written as "?", which would name another
// file; a null path is refused with EFAULT. Such a refusal answers what the
// POSIX call answers on failure (-1, or null for the pointer results).
//
// CUtf8Path is the conversion itself, for the operations above this layer
// that call the *at() functions or keep the bytes.
//
// Ownership: nothing is kept; CUtf8Path owns its bytes.
// Threads: no state of its own.
#ifndef KQ230_PLATFORM_UTF8_SYSCALLS_H_
#define KQ230_PLATFORM_UTF8_SYSCALLS_H_

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/types.h>
#include <utime.h>

#include <cstdio>

#include "core/scratch_buffer.h"
#include "platform/file_failure.h"

// A wide path as UTF-8 bytes for one system call.
class CUtf8Path {
 public:
  // bSlashes: every backslash becomes '/' on the way (the framework's
  // reading of a path). nLength -1: up to the terminator; otherwise exactly
  // nLength characters, and a zero among them is refused with EINVAL (the
  // kernel would stop there and name another file).
  explicit CUtf8Path(const wchar_t* pszPath, bool bSlashes = false, int nLength = -1);
  CUtf8Path(const CUtf8Path&) = delete;
  CUtf8Path& operator=(const CUtf8Path&) = delete;

  // The bytes, terminated; null when the conversion was refused (errno says
  // why: EFAULT null path, EILSEQ a character UTF-8 cannot hold, EINVAL a
  // zero inside a counted path, ENOMEM no memory).
  const char* psz() const { return m_bOk ? m_clBytes.p() : nullptr; }
  int nBytes() const { return m_nBytes; }

 private:
  CScratchBuffer<char, 1024> m_clBytes;
  int m_nBytes = 0;
  bool m_bOk = false;

  static size_t nNeeded(const wchar_t* pszPath, int nLength);
};

// UTF-8 bytes to a wide text of at most nSize characters, terminator
// included. Invalid sequences read as "?". Answers the characters written
// (terminator excluded), or -1 with ERANGE when the text does not fit (the
// buffer then holds "").
int Utf8ToWidePath(wchar_t* pszOut, unsigned int nSize, const char* pszIn);

class CUnixFileCalls : public CFileFailure {
 public:
  static int Unix_open(const wchar_t* pszPath, int nFlags);
  static int Unix_open(const wchar_t* pszPath, int nFlags, mode_t nMode);
  // The form the disk file's open uses.
  static int Unix_ropen(const wchar_t* pszPath, int nFlags, mode_t nMode);
  static FILE* Unix_fopen(const wchar_t* pszPath, const char* pszMode);
  // errno goes to *pnError when it is given (0 on success).
  static int Unix_stat(const wchar_t* pszPath, struct stat64* pStat, unsigned int* pnError);
  static int Unix_lstat(const wchar_t* pszPath, struct stat64* pStat);
  static int Unix_access(const wchar_t* pszPath, int nMode, unsigned int* pnError);
  static int __Unix_chown(const wchar_t* pszPath, uid_t nUid, gid_t nGid);
  static int Unix_chmod(const wchar_t* pszPath, mode_t nMode);
  static int Unix_utime(const wchar_t* pszPath, const struct utimbuf* pTimes);
  static int __Unix_rename(const wchar_t* pszFrom, const wchar_t* pszTo);
  static int Unix_mkfifo(const wchar_t* pszPath, mode_t nMode);
  static int Unix_unlink(const wchar_t* pszPath);
  static int __Unix_rmdir(const wchar_t* pszPath);
  static int __Unix_mkdir(const wchar_t* pszPath, mode_t nMode);
  static int Unix_chdir(const wchar_t* pszPath);
  static DIR* __Unix_opendir(const wchar_t* pszPath);
  static int __Unix_statfs(const wchar_t* pszPath, struct statfs64* pStat);
  static int Unix_system(const wchar_t* pszCommand);

  // The working directory in at most nSize wide characters (terminator
  // included). 1, or 0 when getcwd fails or the text does not fit (ERANGE;
  // the buffer then holds "").
  static int Unix_getcwd(wchar_t* pszBuffer, unsigned int nSize);
  // The HOME variable, else the home directory of the user's password entry,
  // read as UTF-8, in at most nSize characters. When neither exists the buffer
  // receives "." and the result is 0; a text that does not fit gives 0 and
  // ERANGE (buffer ""); otherwise 1.
  static int Unix_gethomedir(wchar_t* pszBuffer, unsigned int nSize);
};

#endif  // KQ230_PLATFORM_UTF8_SYSCALLS_H_
