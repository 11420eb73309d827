// Path names: the operations of CDiskFile that work on path text only
// (separators, file names and extensions, tests, comparison, normal forms and
// full paths), reached as CDiskFile::pszGetPtrToFileName and so on.
//
// Paths are wide strings; '/' is the separator, and every operation that
// interprets separators reads a backslash as '/' (turning it in place when it
// writes the path, on a private copy when the path is read-only). Only the
// full-path operations touch the system: they read the working directory and
// the user's home directory.
//
// Buffers: a caller's buffer holds kPathBufferChars (261) characters unless a
// capacity is passed. Every operation that writes a buffer respects its
// capacity: a result that does not fit is refused (0, errno ENAMETOOLONG) and
// the buffer is left unchanged, never cut to another name.
//
// Normal form: "." components are dropped and each ".." removes the component
// before it, from left to right ("/a/./../b" is "/b"); runs of '/' read as one;
// a ".." at the root stays at the root ("/../x" is "/x"); a relative path keeps
// the ".." components that climb above its start.
//
// Ownership: nothing is kept; results go into the caller's buffers or strings.
// Threads: no state of their own (the working directory is process-wide).
#ifndef KQ230_PLATFORM_PATH_NAMES_H_
#define KQ230_PLATFORM_PATH_NAMES_H_

#include "platform/utf8_syscalls.h"

class CTString;
class CXError;
template <class T>
class CXYString;

class CPathNames : public CUnixFileCalls {
 public:
  // ---- Separators
  // In place; answer the text (null stays null).
  static char* pszBackSlash2Slash(char* psz);
  static wchar_t* pszBackSlash2Slash(wchar_t* psz);
  static CTString& pszBackSlash2Slash(CTString& str);
  static CXYString<wchar_t>& pszBackSlash2Slash(CXYString<wchar_t>& str);
  static char* pszSlash2BackSlash(char* psz);
  static wchar_t* pszSlash2BackSlash(wchar_t* psz);
  static CTString& pszSlash2BackSlash(CTString& str);
  static CXYString<wchar_t>& pszSlash2BackSlash(CXYString<wchar_t>& str);

  // Backslashes to '/', then a '/' appended to a non-empty text that does not
  // end with one. The buffer forms answer 1, or 0 (text unchanged but for the
  // backslashes, ENAMETOOLONG) when the '/' does not fit in nCapacity.
  static int DirectoryWithEndSlash(wchar_t* psz, unsigned int nCapacity = kPathBufferChars);
  static int DirectoryWithEndSlash(char* psz, unsigned int nCapacity = kPathBufferChars);
  static void DirectoryWithEndSlash(CTString& str);
  // Answers 0, or the allocator's code (string unchanged).
  static int DirectoryWithEndSlash(CXYString<wchar_t>& str);
  // Backslashes to '/', then every trailing '/' removed ("/" gives "");
  // answers the new length (0 for null).
  static int DirectoryWithoutEndSlash(wchar_t* psz);
  // These two remove one trailing '/' (or backslash) only; an emptied
  // counted string is released.
  static void DirectoryWithoutEndSlash(CTString& str);
  static void DirectoryWithoutEndSlash(CXYString<wchar_t>& str);
  // Inserts "./" in front; 0 (unchanged, ENAMETOOLONG) when it does not fit.
  static int PrefixeCurrentDirectory(wchar_t* psz, unsigned int nCapacity = kPathBufferChars);

  // ---- Name parts
  // After a drive prefix ("x:"), just after the last '/' or backslash, or the
  // start. Null gives null.
  static const wchar_t* pszGetPtrToFileName(const wchar_t* pszPath);
  static wchar_t* pszGetPtrToFileName(wchar_t* pszPath);
  // The last '.' of the file name (as pszGetPtrToFileName finds it), or the
  // terminator when it has none. Null gives null.
  static const wchar_t* pszGetPtrToExtension(const wchar_t* pszPath);
  static wchar_t* pszGetPtrToExtension(wchar_t* pszPath);
  // Backslashes to '/', then the last component's extension cut at its '.'.
  static void DelExtension(wchar_t* psz);
  // The same without turning backslashes; an emptied string is released.
  // Answers 0 or the allocator's code.
  static int DelExtension(CXYString<wchar_t>& str);
  // The extension of the last component replaced by pszExtension: from the
  // old '.' when the new one begins with '.', else just after it; without an
  // old extension, appended (behind a '.' when it has none). Null reads as "".
  // 1, or 0 when the result does not fit in nCapacity (unchanged but for the
  // backslashes, ENAMETOOLONG).
  static int ChangeExtension(wchar_t* pszPath, unsigned int nCapacity, const wchar_t* pszExtension);
  // The same on a counted string: 0, or the allocator's code (unchanged).
  static int ChangeExtension(CXYString<wchar_t>& str, const wchar_t* pszExtension);

  // Splits a path (backslashes read as '/'): the directory up to and with the
  // last '/', the name before the last '.' of the rest, and the extension from
  // that '.'. Each output may be null and holds nCapacity units. 1, or 0
  // (ENAMETOOLONG, every given output "") when a part does not fit.
  template <typename T>
  static int __SplitPath(const T* pszPath, T* pszDirectory, T* pszName, T* pszExtension,
                         unsigned int nCapacity = kPathBufferChars);
  template <typename T>
  static int __SplitPath(const T* pszPath, T* pszDirectory, T* pszNameWithExtension,
                         unsigned int nCapacity = kPathBufferChars);
  // Directory (with a '/' added when it has none), name and extension (with a
  // '.' added when it has none) joined; backslashes in the parts read as '/'.
  // Null or empty parts are left out. 1, or 0 (ENAMETOOLONG, unchanged).
  static int MakePath(wchar_t* pszDestination, const wchar_t* pszDirectory, const wchar_t* pszName,
                      const wchar_t* pszExtension, unsigned int nCapacity = kPathBufferChars);

  // ---- Tests
  static int bIsRelativePath(const wchar_t* pszPath);      // begins with '.'
  static int bIsRelativeFileName(const wchar_t* pszPath);  // does not begin with '/'
  static int bIsRelativeFileName_WIN32(const wchar_t* pszPath);
  static int bUNCName(const wchar_t* pszPath);
  static int bUNCNameA(const char* pszPath);
  static int bIsAVirtualDirectory(const wchar_t* pszName);  // "." or ".."
  // None of * ? " < > | in the path; none of \ / : * ? " < > | in the name.
  static int bValidFullName(const wchar_t* pszPath);
  static int bValidName(const wchar_t* pszName);

  // ---- Comparison and normal forms
  // The source (when given) copied into the destination, backslashes to '/',
  // trailing blanks removed. 1, or 0 (ENAMETOOLONG, unchanged) when it does
  // not fit.
  static int StandardizeFileName(wchar_t* pszDestination, const wchar_t* pszSource,
                                 unsigned int nCapacity = kPathBufferChars);
  // Standardised names compared exactly (case counts); any length.
  static int bSameFileName(const wchar_t* pszA, const wchar_t* pszB);
  // The same with one trailing '/' removed from each.
  static int bSameDirectoryName(const wchar_t* pszA, const wchar_t* pszB);
  // Each name made full first when its flag is set.
  static int bSameDirectoryNameEx(const wchar_t* pszA, int bAFull, const wchar_t* pszB, int bBFull);
  // The normal form of a relative or absolute path, in place; answers the new
  // length. Backslashes are read as '/'.
  static int SimplifyPath(wchar_t* pszPath);

  // ---- Full paths
  // The absolute normal form of a path: "~" and "~/..." start at the user's
  // home directory (from the password entry), "/..." stays, anything else
  // follows the working directory. Answers the length when it fits in nSize
  // characters with its terminator; a larger number (the size needed) when it
  // does not (nothing written); 0 on failure (empty or null path EINVAL, the
  // working directory or home unreadable: their errno). filePart is not used.
  static unsigned int GetFullPathName(const wchar_t* pszPath, unsigned int nSize,
                                      wchar_t* pszBuffer, wchar_t** ppszFilePart);
  // The normal form of an absolute path, in place; answers the new length.
  static int _ReplaceDotInFullPathName(wchar_t* pszPath);
  static int bGetUNCName(wchar_t* pszDestination, unsigned int nSize, const wchar_t* pszPath,
                         CXError* pError);
  static int bStandardizeExistingFileName(wchar_t* pszDestination, unsigned int nSize,
                                          const wchar_t* pszPath);
  // The path copied; 1, or 0 (ENAMETOOLONG, unchanged) when it does not fit
  // in nSize characters with its terminator.
  static int bGetLongPathName(wchar_t* pszDestination, unsigned int nSize, const wchar_t* pszPath);
  // GetFullPathName into the destination. *pnLength receives its result, plus
  // one (the terminator) on success. A failure records message 28131 with the
  // path (item 1); a destination too small answers 0 with nothing recorded
  // (*pnLength tells the size needed).
  static int bGetFullPath(wchar_t* pszDestination, unsigned int nSize, const wchar_t* pszPath,
                          unsigned int* pnLength, CXError* pError);
  // A relative path joined to a base (backslashes read as '/'):
  //   "." gives the base;
  //   mode 0: a path not beginning with '.' is the result as it is;
  //   mode 1: a path beginning with '/' is the result as it is;
  //   "./x": the base without its trailing '/' followed by "/x";
  //   otherwise each leading "../" removes the base's last component (not
  //   past its root) and the rest follows the base and a '/'.
  // 1, or 0 (ENAMETOOLONG, unchanged) when the result does not fit.
  static int bRelativeToFullPath(wchar_t* pszDestination, const wchar_t* pszRelative,
                                 const wchar_t* pszBase, int nMode,
                                 unsigned int nCapacity = kPathBufferChars);
  // The path relative to the base directory: "../" once per level climbed
  // (or "./" when none) followed by the rest. An empty base gives the path.
  // With bStopAtRoot a base climbed to nothing gives 0. 0 (ENAMETOOLONG) when
  // the result does not fit.
  static int bPathRelativePathTo(wchar_t* pszDestination, const wchar_t* pszPath,
                                 const wchar_t* pszBase, int bStopAtRoot,
                                 unsigned int nCapacity = kPathBufferChars);
};

#endif  // KQ230_PLATFORM_PATH_NAMES_H_
