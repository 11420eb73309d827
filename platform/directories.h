// Directories: deleting files, making and removing directories, emptying and
// deleting whole trees, and walking a tree with a callback, reached as
// CDiskFile::bCreateDirectory, CDiskFile::bDeleteTree and so on. A backslash
// in a path reads as '/'.
//
// Trees are deleted without ever following a symbolic link: each entry's own
// status is read (lstat), a link is removed as a link whatever it points to
// (inside the tree, outside it, nowhere, or round in a loop), sockets, FIFOs
// and devices are removed as files, and a directory is entered through a
// descriptor opened with O_NOFOLLOW, so that an entry swapped for a link
// while the walk runs is not entered either. The named directory itself must
// be a directory, not a link to one (ENOTDIR otherwise): nothing outside the
// named tree changes. "/" is refused (EPERM).
//
// The walks with callbacks (bDoOnFileTree, bDoOnDirectoryTree) offer what the
// directory search finds and, when they recurse, enter only subdirectories
// that are real directories, not links to one.
//
// Failures (message, first insert) — every CXError* may be null:
//   bDelete            28123  the path
//   bCreateDirectory   28126  the prefix (or whole path) that failed
//   bDeleteDirectory   28127  the path
//   tree deletions     28123 for a file, 28127 for a directory, with the full
//                      name of the entry that could not be removed
//
// Ownership: nothing is kept. Threads: no state; the walks change the file
// system and are not atomic.
#ifndef KQ230_PLATFORM_DIRECTORIES_H_
#define KQ230_PLATFORM_DIRECTORIES_H_

#include "platform/directory_search.h"

// A tree callback: the full name of an entry and the caller's value; 0 stops
// the walk.
typedef int (*PFNTREECALLBACK)(const wchar_t* pszPath, int nData);

class CDirectories : public CDirectorySearch {
 public:
  static int bDelete(const wchar_t* pszPath, CXError* pError);
  // unlink, nothing recorded.
  static int bForceDelete(const wchar_t* pszPath, CXError* pError = nullptr);
  // bForceDelete in the shape of a tree callback.
  static int __bForceDeleteOnTree(const wchar_t* pszPath, int nData);

  // Creates the directory and every missing parent (mode 0777 less the
  // umask). An existing directory succeeds; an existing file, or a parent that
  // is a file, fails. An empty path answers 0 with nothing recorded. No
  // length limit of its own: a path the kernel refuses is reported, never cut.
  static int bCreateDirectory(const wchar_t* pszPath, CXError* pError);
  static int bDeleteDirectory(const wchar_t* pszPath, CXError* pError);

  // Deletes everything inside the directory and keeps the directory. A
  // missing directory answers 1 (nothing to delete); an empty path 0. The
  // first failure stops the walk with 0.
  static int _bDeltree(const wchar_t* pszDirectory, CXError* pError);
  static int bPurgeTree(const wchar_t* pszDirectory, CXError* pError);
  static int bForcePurgeTree(const wchar_t* pszDirectory, CXError* pError);
  // The purge, then the directory itself.
  static int bDeleteTree(const wchar_t* pszDirectory, CXError* pError);
  static int bForceDeleteTree(const wchar_t* pszDirectory, CXError* pError);
  // The same, first giving each directory of the tree owner read, write and
  // search permission so that write-protected directories empty too.
  static int bDeleteTreeEvenReadOnly(const wchar_t* pszDirectory, CXError* pError);

  // Calls pfnCallback(full name, nData) for each entry of the directory that
  // matches the pattern (directories only when bWithDirectories), then, with
  // bRecurse, walks each real subdirectory the same way. 0 when the callback
  // stops it or a subdirectory's walk fails; enumeration failures are not
  // recorded.
  static int bDoOnFileTree(const wchar_t* pszDirectory, const wchar_t* pszPattern,
                           PFNTREECALLBACK pfnCallback, int nData, int bWithDirectories,
                           int bRecurse);
  // The same walk whose first stage offers the subdirectories that match the
  // pattern when bWithDirectories is set, and nothing otherwise.
  static int bDoOnDirectoryTree(const wchar_t* pszDirectory, const wchar_t* pszPattern,
                                PFNTREECALLBACK pfnCallback, int nData, int bWithDirectories,
                                int bRecurse);
  // Deletes every entry but directories that matches the pattern, in the
  // subdirectories too with bRecurse.
  static int bForceDeleteOnFileTree(const wchar_t* pszDirectory, const wchar_t* pszPattern,
                                    int bRecurse, CXError* pError);
};

#endif  // KQ230_PLATFORM_DIRECTORIES_H_
