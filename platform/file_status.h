// File status: the queries of CDiskFile on a named path (existence, type,
// status, size, modification time, the attribute word, disk space), reached
// as CDiskFile::bExist and so on. A backslash in a path is read as '/'.
//
// The attribute word of a path: its nine permission bits, 0x4000 for a
// directory, 0x8000 for a regular file, 0x2000 for anything else (a device,
// FIFO or socket, or a link that leads nowhere), and 0x80000000 when its name
// begins with '.'. Only directories carry 0x4000, so a filter on it never
// takes a socket or a device for a directory. Status follows symbolic links;
// a link whose target is missing or that loops is described by its own
// status (0x2000) rather than reported missing, so that a directory listing
// shows it and a deletion can remove it.
//
// Every operation that takes a CXError* accepts null (nothing is recorded).
// Failures are recorded as file_failure.h says.
//
// Ownership: nothing is kept. Threads: no state of their own.
#ifndef KQ230_PLATFORM_FILE_STATUS_H_
#define KQ230_PLATFORM_FILE_STATUS_H_

#include "platform/file_times.h"

inline constexpr int kAttributeDirectory = 0x4000;
inline constexpr int kAttributeFile = 0x8000;
inline constexpr int kAttributeSpecial = 0x2000;
inline constexpr int kAttributeHidden = static_cast<int>(0x80000000u);

class CFileStatus : public CFileTimes {
 public:
  // access(F_OK); errno goes to nError; nothing recorded.
  static int bExist(const wchar_t* pszPath, unsigned int& nError, CXError* pError);
  static int bExist(const wchar_t* pszPath, CXError* pError);
  // stat succeeds and the path is a regular file / a directory. Nothing
  // recorded; null gives 0.
  static int bIsAFile(const wchar_t* pszPath, CXError* pError);
  static int bIsADirectory(const wchar_t* pszPath, CXError* pError);
  // stat into *pStat. A missing path answers 0 with nothing recorded; another
  // failure records message 28128 with the path.
  static int bGetFileStatus(const wchar_t* pszPath, struct stat64* pStat, CXError* pError);
  // The size of a regular file; -1 when its status cannot be read or it is
  // no regular file.
  static long long s_oGetSize(const wchar_t* pszPath, CXError* pError);
  // The modification time as local broken-down time (milliseconds 0). A
  // negative time records message 28128, a failing localtime 28129.
  static int bGetLastModificationTime(const wchar_t* pszPath, _stXFILETIME* pTime,
                                      CXError* pError);
  // The attribute word, and the size and modification time when asked (each
  // pointer may be null). errno goes to nError. A failure records message
  // 28130 with the caller's current attribute value and the path.
  static int __bGetFileAttributesAndSize(int& nAttributes, long long* pnSize,
                                         FILETIME* pModification, const wchar_t* pszPath,
                                         unsigned int& nError, CXError* pError);
  static int bGetFileAttributes(const wchar_t* pszPath, int& nAttributes, unsigned int& nError,
                                CXError* pError);
  static int bGetFileAttributes(int* pnAttributes, const wchar_t* pszPath, CXError* pError);
  // statfs of the path (of the working directory when null): total blocks and
  // blocks available to unprivileged users, in bytes, each when asked.
  // Failure: message 28138 with the path.
  static int bGetDiskSpace(const wchar_t* pszPath, unsigned long long* pnTotal,
                           unsigned long long* pnFree, CXError* pError);
  static int bGetDiskFreeSpace(const wchar_t* pszPath, unsigned long long* pnFree,
                               CXError* pError);

  // The attribute word of a status whose entry is named pszName (the hidden
  // bit comes from its first character; null: none).
  static int _nAttributesOf(const struct stat64& stStat, const wchar_t* pszName);
  // stat of the path, or for a link that leads nowhere its own status.
  // 0 (errno set) when neither can be read.
  static int _bStatOrLink(const char* pszUtf8, struct stat64* pStat);
};

#endif  // KQ230_PLATFORM_FILE_STATUS_H_
