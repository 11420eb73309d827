#include "platform/file_status.h"

#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>

#include "core/error_object.h"

int CFileStatus::_nAttributesOf(const struct stat64& stStat, const wchar_t* pszName) {
  int nAttributes = static_cast<int>(stStat.st_mode & 0777);
  if (S_ISDIR(stStat.st_mode)) {
    nAttributes |= kAttributeDirectory;
  } else if (S_ISREG(stStat.st_mode)) {
    nAttributes |= kAttributeFile;
  } else {
    nAttributes |= kAttributeSpecial;
  }
  if (pszName != nullptr && pszName[0] == L'.') nAttributes |= kAttributeHidden;
  return nAttributes;
}

int CFileStatus::_bStatOrLink(const char* pszUtf8, struct stat64* pStat) {
  if (stat64(pszUtf8, pStat) == 0) return 1;
  const int nErr = errno;
  if ((nErr == ENOENT || nErr == ELOOP) && lstat64(pszUtf8, pStat) == 0 && S_ISLNK(pStat->st_mode))
    return 1;
  errno = nErr;
  return 0;
}

int CFileStatus::bExist(const wchar_t* pszPath, unsigned int& nError, CXError* /*pError*/) {
  CUtf8Path clPath(pszPath, true);
  if (clPath.psz() == nullptr || access(clPath.psz(), F_OK) != 0) {
    nError = static_cast<unsigned int>(errno);
    return 0;
  }
  nError = 0;
  return 1;
}

int CFileStatus::bExist(const wchar_t* pszPath, CXError* pError) {
  unsigned int nError = 0;
  return bExist(pszPath, nError, pError);
}

int CFileStatus::bIsAFile(const wchar_t* pszPath, CXError* /*pError*/) {
  if (pszPath == nullptr) return 0;
  CUtf8Path clPath(pszPath, true);
  struct stat64 stStat;
  return clPath.psz() != nullptr && stat64(clPath.psz(), &stStat) == 0 && S_ISREG(stStat.st_mode);
}

int CFileStatus::bIsADirectory(const wchar_t* pszPath, CXError* /*pError*/) {
  if (pszPath == nullptr) return 0;
  CUtf8Path clPath(pszPath, true);
  struct stat64 stStat;
  return clPath.psz() != nullptr && stat64(clPath.psz(), &stStat) == 0 && S_ISDIR(stStat.st_mode);
}

int CFileStatus::bGetFileStatus(const wchar_t* pszPath, struct stat64* pStat, CXError* pError) {
  CUtf8Path clPath(pszPath, true);
  if (clPath.psz() != nullptr && stat64(clPath.psz(), pStat) == 0) {
    if (pError != nullptr) pError->RAZ();
    return 1;
  }
  const unsigned int nErr = static_cast<unsigned int>(errno);
  if (nErr == ENOENT) return 0;  // a missing path is an answer, not a failure
  RecordFileFailure(pError, nErr, pszPath, nullptr, 28128, pszPath != nullptr ? pszPath : L"");
  return 0;
}

long long CFileStatus::s_oGetSize(const wchar_t* pszPath, CXError* pError) {
  struct stat64 stStat;
  if (!bGetFileStatus(pszPath, &stStat, pError) || !S_ISREG(stStat.st_mode)) return -1;
  return static_cast<long long>(stStat.st_size);
}

int CFileStatus::bGetLastModificationTime(const wchar_t* pszPath, _stXFILETIME* pTime,
                                          CXError* pError) {
  struct stat64 stStat;
  if (!bGetFileStatus(pszPath, &stStat, pError)) return 0;
  if (stStat.st_mtime < 0) {
    RecordFileFailure(pError, EOVERFLOW, pszPath, nullptr, 28128, pszPath);
    return 0;
  }
  _stXFILETIME stTime;
  if (!_bTimeToLocal(static_cast<long>(stStat.st_mtime), &stTime)) {
    RecordFileFailure(pError, static_cast<unsigned int>(errno), pszPath, nullptr, 28129, pszPath);
    return 0;
  }
  if (pTime != nullptr) *pTime = stTime;
  return 1;
}

int CFileStatus::__bGetFileAttributesAndSize(int& nAttributes, long long* pnSize,
                                             FILETIME* pModification, const wchar_t* pszPath,
                                             unsigned int& nError, CXError* pError) {
  CUtf8Path clPath(pszPath, true);
  struct stat64 stStat;
  if (clPath.psz() == nullptr || !_bStatOrLink(clPath.psz(), &stStat)) {
    nError = static_cast<unsigned int>(errno);
    RecordFileFailure(pError, nError, pszPath, nullptr, 28130, static_cast<unsigned int>(nAttributes),
                      pszPath != nullptr ? pszPath : L"");
    return 0;
  }
  nError = 0;
  if (pError != nullptr) pError->RAZ();
  nAttributes = _nAttributesOf(stStat, pszGetPtrToFileName(pszPath));
  if (pnSize != nullptr) *pnSize = static_cast<long long>(stStat.st_size);
  if (pModification != nullptr) TimeToFileTime(static_cast<long>(stStat.st_mtime), pModification);
  return 1;
}

int CFileStatus::bGetFileAttributes(const wchar_t* pszPath, int& nAttributes, unsigned int& nError,
                                    CXError* pError) {
  return __bGetFileAttributesAndSize(nAttributes, nullptr, nullptr, pszPath, nError, pError);
}

int CFileStatus::bGetFileAttributes(int* pnAttributes, const wchar_t* pszPath, CXError* pError) {
  int nAttributes = pnAttributes != nullptr ? *pnAttributes : 0;
  unsigned int nError = 0;
  if (!__bGetFileAttributesAndSize(nAttributes, nullptr, nullptr, pszPath, nError, pError))
    return 0;
  if (pnAttributes != nullptr) *pnAttributes = nAttributes;
  return 1;
}

int CFileStatus::bGetDiskSpace(const wchar_t* pszPath, unsigned long long* pnTotal,
                               unsigned long long* pnFree, CXError* pError) {
  CUtf8Path clPath(pszPath != nullptr ? pszPath : L".", true);
  struct statfs64 stFs;
  if (clPath.psz() == nullptr || statfs64(clPath.psz(), &stFs) != 0) {
    RecordFileFailure(pError, static_cast<unsigned int>(errno), pszPath, nullptr, 28138,
                      pszPath != nullptr ? pszPath : L".");
    return 0;
  }
  if (pError != nullptr) pError->RAZ();
  const unsigned long long nBlock =
      stFs.f_frsize != 0 ? static_cast<unsigned long long>(stFs.f_frsize)
                         : static_cast<unsigned long long>(stFs.f_bsize);
  if (pnTotal != nullptr) *pnTotal = static_cast<unsigned long long>(stFs.f_blocks) * nBlock;
  if (pnFree != nullptr) *pnFree = static_cast<unsigned long long>(stFs.f_bavail) * nBlock;
  return 1;
}

int CFileStatus::bGetDiskFreeSpace(const wchar_t* pszPath, unsigned long long* pnFree,
                                   CXError* pError) {
  return bGetDiskSpace(pszPath, nullptr, pnFree, pError);
}
