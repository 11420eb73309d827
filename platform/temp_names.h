// The directories of the process and the user, and temporary names: the
// working directory, the home directory, the temporary directory and new
// temporary files, reached as CDiskFile::bGetTempName and so on.
//
// Every directory text the system gives (getcwd, HOME, the password entry,
// TMPDIR) is read as UTF-8, whatever the code page of the server: a
// non-ASCII directory keeps its name.
//
// Failures: bGetCurrentDirectory 28307, bGetTempDirectory 28133,
// bGetTempName 28134 (the directory and the prefix); every CXError* may be
// null. A result that does not fit in the caller's buffer is refused
// (ENAMETOOLONG) before anything is created.
//
// Ownership: nothing is kept. Threads: no state; mkstemp makes each
// temporary name unique across threads and processes.
#ifndef KQ230_PLATFORM_TEMP_NAMES_H_
#define KQ230_PLATFORM_TEMP_NAMES_H_

#include "platform/directories.h"

class CTString;

class CTempNames : public CDirectories {
 public:
  // The working directory into a buffer of 261 characters.
  static int bGetCurrentDirectory(wchar_t* pszBuffer, CXError* pError);
  // HOME, else the password entry's home; "." when neither exists. Nothing
  // when the string is null.
  static void GetHomeDir(CTString* pstrHome);
  // The directory the C library's tempnam would choose (TMPDIR when it is a
  // writable directory, else P_tmpdir, else "/tmp"), ending with '/', into a
  // buffer of 261 characters.
  static int bGetTempDirectory(wchar_t* pszBuffer, CXError* pError);
  // directory + '/' (when missing) + prefix + six unique characters: the file
  // is created empty (mode 0600) and closed, and its name returned. A prefix
  // holding a separator is refused (EINVAL): the file would land elsewhere.
  static int bGetTempName(wchar_t* pszDestination, const wchar_t* pszDirectory,
                          const wchar_t* pszPrefix, CXError* pError,
                          unsigned int nCapacity = kPathBufferChars);
  // The same in the temporary directory, which is created (with its parents)
  // when it does not exist.
  static int bGetTempName(wchar_t* pszDestination, const wchar_t* pszPrefix, CXError* pError,
                          unsigned int nCapacity = kPathBufferChars);
};

#endif  // KQ230_PLATFORM_TEMP_NAMES_H_
