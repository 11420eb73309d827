// Directory search: the entries of one directory whose names match a
// wildcard pattern and whose attribute words pass two filters, in the manner
// of find-first / find-next / find-close, reached as CDiskFile::bFindFirst and
// so on; CFindFile holds one search and closes it when it dies.
//
// The path given to find-first is a directory, a '/' and a pattern (a path
// without '/' searches the working directory with the whole path as
// pattern); a backslash reads as '/'. The pattern is matched case-sensitively:
// '*' stands for any run of characters, '?' for exactly one. "." and ".." are
// never returned. The attribute word is that of file_status.h, so a filter
// of 0x4000 selects real directories only, and a link that leads nowhere is
// listed (as 0x2000) instead of being skipped.
//
// Limits: the directory may hold up to 4,096 characters and the pattern up
// to 260; longer ones are refused (ENAMETOOLONG, message 28135) rather than
// cut. Entry names are at most 255 bytes on Linux and always fit.
//
// Failures (the error object is optional everywhere):
//   working directory unreadable, directory unopenable  0, message 28135
//   directory missing (ENOENT)                           0, error reset only
//   an entry whose status cannot be read                 skipped, 28130
//   end of directory with EBADF                          0, closed, 28136
//   closedir fails                                       0, 28137
//
// Ownership: the record owns its open directory stream; CFindFile closes it.
// A record is large (about 18 KB): recursive walks keep theirs on the heap.
// Threads: none; one search is used by one thread.
#ifndef KQ230_PLATFORM_DIRECTORY_SEARCH_H_
#define KQ230_PLATFORM_DIRECTORY_SEARCH_H_

#include <dirent.h>

#include "platform/file_status.h"

// The longest path the search directory field holds, terminator included.
inline constexpr unsigned int kSearchDirectoryChars = 4097;

class CDirectorySearch : public CFileStatus {
 public:
  struct _stXFINDDATA {
    DIR* hDir;                                // null when no search is open
    wchar_t szPattern[kPathBufferChars];      // the name pattern
    wchar_t szDirectory[kSearchDirectoryChars];  // the directory, ending with '/'
    int nRequired;                            // all these bits must be set
    int nExcluded;                            // none of these bits may be set
    wchar_t szName[kPathBufferChars];         // the current entry's name
    int nAttributes;                          // its attribute word
    long long nSize;                          // its size in bytes
    _stXFILETIME stModification;              // its modification time, local
  };

  // Starts a search: 1 with the first matching entry in the record, or 0.
  // A search already open in the record is closed first.
  static int bFindFirst(const wchar_t* pszPath, _stXFINDDATA* pData, int nRequired, int nExcluded,
                        CXError* pError);
  // The next matching entry (1), or 0 at the end, when the search is closed.
  static int bFindNext(_stXFINDDATA* pData, CXError* pError);
  // Closes the search; 1 on success or when none was open.
  static int bFindClose(_stXFINDDATA* pData, CXError* pError);
  // The wildcard test: 1 when the name matches the pattern.
  static int _bFiltreFileName(const wchar_t* pszName, const wchar_t* pszPattern);
  // 0 for "." and "..", and for a name the pattern does not match; else 1
  // when the attributes hold every required bit and no excluded one.
  static int _bFindGoodFile(const wchar_t* pszName, unsigned int nAttributes,
                            const _stXFINDDATA* pData);
};

class CFindFile {
 public:
  CFindFile();
  ~CFindFile();
  CFindFile(const CFindFile&) = delete;
  CFindFile& operator=(const CFindFile&) = delete;

  int bFindFirst(const wchar_t* pszPath, int nRequired, int nExcluded, CXError* pError);
  int bFindNext(CXError* pError);
  int bFindClose(CXError* pError);
  // Closes the target's search, gives it this record (the open directory
  // stream changes owner) and leaves this object idle.
  void TransfertTo(CFindFile& clTarget);

  const CDirectorySearch::_stXFINDDATA& Data() const { return m_stData; }

 private:
  CDirectorySearch::_stXFINDDATA m_stData;
};

#endif  // KQ230_PLATFORM_DIRECTORY_SEARCH_H_
