// File-system changes on named files: rename, move, copy, concatenate, owner
// and permissions, reached as CDiskFile::bRename and so on. The framework's
// order of arguments is destination first, source second; a backslash in a
// path reads as '/'.
//
// Soundness of each change:
//   bRename  never replaces an existing destination, also when one appears
//            between a check and the rename (renameat2 with RENAME_NOREPLACE;
//            where the file system lacks it, a hard link then unlink of the
//            source, which fails on an existing name just as atomically).
//   bMove    replaces the destination atomically (rename); across file
//            systems the source is copied to a temporary file beside the
//            destination, which is then renamed over it, and the source is
//            deleted last. A failure at any step leaves the destination as it
//            was.
//   bCopy    refuses a file onto itself (also through another name of the
//            same inode) and a directory as source, before the destination is
//            touched. The kernel copies (copy_file_range, else sendfile) where
//            it can.
//   bConcat  needs an existing source; refuses a file onto itself; a failure
//            cuts the destination back to its size before.
//
// Failures (message; information items 1 and 2):
//   bRename, bMove            28124 (destination, source); source, destination
//   bCopy                     28125 (destination, source); source, destination
//   bSetFileOwnerUnix         25852 (uid, gid, path); path
//   bSetFileAttributesUnix    28130 (mode, path); path
// bConcat records nothing (its result and errno tell). Every CXError* may be
// null.
//
// Ownership: nothing is kept. Threads: no state of their own.
#ifndef KQ230_PLATFORM_FILE_SYSTEM_H_
#define KQ230_PLATFORM_FILE_SYSTEM_H_

#include "platform/temp_names.h"

class CFileSystem : public CTempNames {
 public:
  static int bRename(const wchar_t* pszDestination, const wchar_t* pszSource, CXError* pError);
  static int bMove(const wchar_t* pszDestination, const wchar_t* pszSource, CXError* pError);
  static int bCopy(const wchar_t* pszDestination, const wchar_t* pszSource, CXError* pError);
  // The copy itself: the source (an existing file that is no directory) into
  // the destination, created or emptied (mode 0666 less the umask; owner,
  // permissions and times are not copied). 1, or 0 with errno set.
  static int _sbCopyUnix(const wchar_t* pszDestination, const wchar_t* pszSource);
  // Appends the source to the destination (created when missing). 1, or 0
  // with errno set.
  static int bConcat(const wchar_t* pszDestination, const wchar_t* pszSource);
  static int bSetFileOwnerUnix(const wchar_t* pszPath, unsigned int nUid, unsigned int nGid,
                               CXError* pError);
  static int bSetFileAttributesUnix(const wchar_t* pszPath, unsigned int nMode, CXError* pError);
  // The owner first, then (when that succeeded) the mode.
  static int bSetFileOwnerAttributes(const wchar_t* pszPath, unsigned int nMode, unsigned int nUid,
                                     unsigned int nGid, CXError* pError);
  // Mode 0444 for the attribute values -1 and -2 (read-only), else 0666.
  static int bSetFileAttributes(const wchar_t* pszPath, int nAttributes, CXError* pError);

  // Copies everything from the current offset of fdIn to the current offset
  // of fdOut: copy_file_range, else sendfile, else reads and writes of 64 KB.
  // 1 at the end of fdIn, or 0 with errno set.
  static int _sbCopyDescriptors(int fdIn, int fdOut);
};

#endif  // KQ230_PLATFORM_FILE_SYSTEM_H_
