#include "installer/data_extractor.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "core/error_object.h"
#include "core/numbered_messages.h"
#include "core/unicode.h"
#include "core/wide_string.h"
#include "installer/install_plan.h"
#include "installer/program_location.h"
#include "installer/setup_messages.h"

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif
#ifndef RENAME_EXCHANGE
#define RENAME_EXCHANGE (1 << 1)
#endif

namespace {

std::wstring strWide(const std::string& str) {
  std::wstring strOut(str.size() + 1, L'\0');
  const unsigned int n = UTF8ToWide(strOut.data(), static_cast<unsigned int>(strOut.size()), str.c_str());
  strOut.resize(n);
  return strOut;
}

// A name from the archive as it may be shown: control characters (an escape
// sequence would drive the administrator's terminal) become '?'.
std::wstring strShown(const std::string& str) {
  std::wstring strOut = strWide(str);
  for (wchar_t& c : strOut) {
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) c = L'?';
  }
  return strOut;
}

std::string strUtf8(const wchar_t* psz) {
  std::string str(static_cast<size_t>(UTF8ByteLen(psz)) + 1, '\0');
  const int n = WideToUTF8(str.data(), static_cast<unsigned int>(str.size()), psz);
  str.resize(static_cast<size_t>(n));
  return str;
}

// Writes an entry's bytes to a descriptor; keeps the errno of a failed write.
class CDescriptorSink : public IZipSink {
 public:
  explicit CDescriptorSink(int nFd) : m_nFd(nFd) {}
  bool bWrite(const void* pData, uint32_t nBytes) override {
    const auto* pby = static_cast<const unsigned char*>(pData);
    while (nBytes > 0) {
      const ssize_t n = write(m_nFd, pby, nBytes);
      if (n < 0) {
        if (errno == EINTR) continue;
        m_nErrno = errno;
        return false;
      }
      pby += n;
      nBytes -= static_cast<uint32_t>(n);
    }
    return true;
  }
  int nErrno() const { return m_nErrno; }

 private:
  int m_nFd;
  int m_nErrno = 0;
};

int nRenameAt2(int nFromDir, const char* pszFrom, int nToDir, const char* pszTo, unsigned int nFlags) {
  return renameat2(nFromDir, pszFrom, nToDir, pszTo, nFlags);
}

}  // namespace

// One installation: the descriptors of the directories it walked, what it
// created and staged, and the undoing of all that on failure.
class CInstallRun {
 public:
  CInstallRun(CDataExtractor* pclOwner, int nTargetFd, const std::string& strTarget)
      : m_pclOwner(pclOwner), m_nTargetFd(nTargetFd), m_strTarget(strTarget) {}
  ~CInstallRun() {
    for (auto& [strPath, nFd] : m_mapDirectories) close(nFd);
  }

  unsigned int nDirMode = 0, nDirUser = 0, nDirGroup = 0;
  unsigned int nFileMode = 0, nFileUser = 0, nFileGroup = 0;

  bool bStageDirectory(const _stPlannedEntry& stPlan, const std::string& strEntry) {
    int nFd = -1;
    return bOpenDirectory(stPlan.vComponents, stPlan.vComponents.size(), strEntry, &nFd);
  }

  bool bStageFile(const _stPlannedEntry& stPlan, const std::string& strEntry) {
    int nParent = -1;
    if (!bOpenDirectory(stPlan.vComponents, stPlan.vComponents.size() - 1, strEntry, &nParent))
      return false;
    const std::string& strLeaf = stPlan.vComponents.back();
    bool bReplaces = false;
    if (!bCheckDestination(nParent, strLeaf, strEntry, &bReplaces)) return false;

    // A fresh name beside the destination: same directory, so the final
    // rename cannot cross file systems; O_EXCL, so it is nothing that was
    // there before.
    Staged stStaged{nParent, std::string(), strLeaf, strEntry, bReplaces, false};
    int nFd = -1;
    for (int nTry = 0; nTry < 100 && nFd < 0; ++nTry) {
      char szSuffix[40];
      std::snprintf(szSuffix, sizeof(szSuffix), ".kqsetup-%d-%u", static_cast<int>(getpid()),
                    ++m_nTempCounter);
      stStaged.strTemp = "." + strLeaf.substr(0, 180) + szSuffix;
      nFd = openat(nParent, stStaged.strTemp.c_str(),
                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_LARGEFILE, 0600);
      if (nFd < 0 && errno != EEXIST) break;
    }
    if (nFd < 0) return bFail(KQZIP_INSTALL_FAILED, strEntry, errno);
    m_vStaged.push_back(stStaged);

    CDescriptorSink clSink(nFd);
    const int eResult = m_pclOwner->eExtrait(stPlan.nIndex, &clSink);
    if (eResult != KQZIP_OK) {
      const int nErrno = eResult == KQZIP_WRITE_FAILED ? clSink.nErrno() : 0;
      close(nFd);
      return bFail(eResult, strEntry, nErrno);
    }
    // Owner first: a change of owner clears set-id bits, and the mode we set
    // has none anyway. Both on the descriptor: no path is resolved again.
    // The data are flushed once for all files, before the commit.
    if (fchown(nFd, nFileUser, nFileGroup) != 0 ||
        fchmod(nFd, CDataExtractor::nInstalledFileMode(nFileMode)) != 0) {
      const int nErrno = errno;
      close(nFd);
      return bFail(KQZIP_INSTALL_FAILED, strEntry, nErrno);
    }
    if (close(nFd) != 0) return bFail(KQZIP_INSTALL_FAILED, strEntry, errno);
    return true;
  }

  // Renames every staged file into place; on a failure swaps back what was
  // done. True when all are in place.
  bool bCommit() {
    // The new contents reach the disk before any name points at them: one
    // flush of the target's file system for the whole kit (a flush per file
    // made the install four times slower, bench/install_bench).
    if (!m_vStaged.empty() && syncfs(m_nTargetFd) != 0)
      return bFail(KQZIP_INSTALL_FAILED, m_strTarget, errno);
    for (Staged& s : m_vStaged) {
      bool bReplaces = false;
      if (!bCheckDestination(s.nParent, s.strLeaf, s.strEntry, &bReplaces)) return false;
      const unsigned int nFlags = bReplaces ? RENAME_EXCHANGE : RENAME_NOREPLACE;
      if (nRenameAt2(s.nParent, s.strTemp.c_str(), s.nParent, s.strLeaf.c_str(), nFlags) != 0)
        return bFail(KQZIP_INSTALL_FAILED, s.strEntry, errno);
      s.bReplaces = bReplaces;
      s.bCommitted = true;
    }
    // Every file is in place: the old ones, now under the temporary names,
    // go.
    for (Staged& s : m_vStaged) {
      if (s.bReplaces) unlinkat(s.nParent, s.strTemp.c_str(), 0);
    }
    m_vStaged.clear();
    m_vCreated.clear();
    return true;
  }

  // Undoes the run: committed files swapped back (or removed when they were
  // new), staged files removed, created directories removed, newest first.
  void Rollback() {
    for (auto it = m_vStaged.rbegin(); it != m_vStaged.rend(); ++it) {
      if (it->bCommitted) {
        if (it->bReplaces) {
          nRenameAt2(it->nParent, it->strTemp.c_str(), it->nParent, it->strLeaf.c_str(),
                     RENAME_EXCHANGE);
        } else {
          nRenameAt2(it->nParent, it->strLeaf.c_str(), it->nParent, it->strTemp.c_str(),
                     RENAME_NOREPLACE);
        }
      }
      unlinkat(it->nParent, it->strTemp.c_str(), 0);
    }
    m_vStaged.clear();
    for (auto it = m_vCreated.rbegin(); it != m_vCreated.rend(); ++it)
      unlinkat(it->first, it->second.c_str(), AT_REMOVEDIR);
    m_vCreated.clear();
  }

 private:
  struct Staged {
    int nParent;
    std::string strTemp;
    std::string strLeaf;
    std::string strEntry;
    bool bReplaces;
    bool bCommitted;
  };

  bool bFail(int eResult, const std::string& strName, int nErrno) {
    m_pclOwner->Fail(eResult, strName, nErrno);
    return false;
  }

  // What stands at the destination: nothing, or a regular file that the
  // install replaces. A link, a directory or anything else refuses it.
  bool bCheckDestination(int nParent, const std::string& strLeaf, const std::string& strEntry,
                         bool* pbReplaces) {
    struct stat64 st;
    if (fstatat64(nParent, strLeaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) {
        *pbReplaces = false;
        return true;
      }
      return bFail(KQZIP_INSTALL_FAILED, strEntry, errno);
    }
    if (!S_ISREG(st.st_mode)) return bFail(KQZIP_LINK_IN_TARGET, strEntry, 0);
    *pbReplaces = true;
    return true;
  }

  // The descriptor of the directory of the first n components below the
  // target, each opened without following a link and created when missing.
  bool bOpenDirectory(const std::vector<std::string>& vComponents, size_t n,
                      const std::string& strEntry, int* pnFd) {
    int nFd = m_nTargetFd;
    std::string strPath;
    for (size_t i = 0; i < n; ++i) {
      strPath += vComponents[i];
      strPath += '/';
      if (auto it = m_mapDirectories.find(strPath); it != m_mapDirectories.end()) {
        nFd = it->second;
        continue;
      }
      const char* pszName = vComponents[i].c_str();
      int nNext = openat(nFd, pszName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (nNext < 0 && errno == ENOENT) {
        // Created closed to others until it has the target's owner and mode.
        if (mkdirat(nFd, pszName, 0700) != 0) return bFail(KQZIP_INSTALL_FAILED, strEntry, errno);
        m_vCreated.emplace_back(nFd, vComponents[i]);
        nNext = openat(nFd, pszName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (nNext < 0) return bFail(KQZIP_INSTALL_FAILED, strEntry, errno);
        m_mapDirectories.emplace(strPath, nNext);
        if (fchown(nNext, nDirUser, nDirGroup) != 0 || fchmod(nNext, nDirMode & 07777) != 0)
          return bFail(KQZIP_INSTALL_FAILED, strEntry, errno);
      } else if (nNext < 0) {
        // A link (ELOOP) or a file (ENOTDIR) where a directory belongs.
        if (errno == ELOOP || errno == ENOTDIR) return bFail(KQZIP_LINK_IN_TARGET, strEntry, 0);
        return bFail(KQZIP_INSTALL_FAILED, strEntry, errno);
      } else {
        m_mapDirectories.emplace(strPath, nNext);
      }
      nFd = nNext;
    }
    *pnFd = nFd;
    return true;
  }

  CDataExtractor* m_pclOwner;
  int m_nTargetFd;
  std::string m_strTarget;
  std::map<std::string, int> m_mapDirectories;         // path below the target -> descriptor
  std::vector<std::pair<int, std::string>> m_vCreated;  // (parent descriptor, name)
  std::vector<Staged> m_vStaged;
  unsigned int m_nTempCounter = 0;
};

unsigned int CDataExtractor::nInstalledFileMode(unsigned int nLibraryMode) {
  return nLibraryMode & 0777 & ~static_cast<unsigned int>(S_IWOTH);
}

bool CDataExtractor::bInit(const wchar_t* pszBaseName) {
  std::string strDirectory;
  if (!bGetProgramDirectory(&strDirectory)) {
    const int nErrno = errno;
    Fail(KQZIP_CANNOT_OPEN, "mariadb_install.zip", nErrno);
    _ShowErrorZIPSiBesoin(L"mariadb_install.zip", static_cast<unsigned int>(nErrno), KQZIP_CANNOT_OPEN);
    return false;
  }
  return bInitPath((strDirectory + strUtf8(pszBaseName) + ".zip").c_str());
}

bool CDataExtractor::bInitPath(const char* pszArchivePath) {
  const int eResult = eOuvreArchiveA(pszArchivePath);
  const int nErrno = errno;
  if (eResult == KQZIP_OK) {
    Fail(KQZIP_OK, std::string(), 0);
    return true;
  }
  Fail(eResult, pszArchivePath, eResult == KQZIP_CANNOT_OPEN || eResult == KQZIP_READ_FAILED ? nErrno : 0);
  _ShowErrorZIPSiBesoin(strWide(pszArchivePath).c_str(), static_cast<unsigned int>(m_nLastErrno),
                        eResult);
  return false;
}

void CDataExtractor::Fail(int eResult, const std::string& strName, int nErrno) {
  m_eLastResult = eResult;
  m_strLastName = strName;
  m_nLastErrno = nErrno;
}

bool CDataExtractor::bInstall(const wchar_t* pszDirectory, unsigned int nDirMode,
                              unsigned int nDirUser, unsigned int nDirGroup, unsigned int nFileMode,
                              unsigned int nFileUser, unsigned int nFileGroup) {
  Fail(KQZIP_OK, std::string(), 0);
  const std::string strTarget = strUtf8(pszDirectory);
  std::vector<_stPlannedEntry> vPlan;
  size_t nFailed = 0;
  int eResult = KQZIP_NO_MEMORY;
  try {
    eResult = ePlanInstall(vGetEntries(), &vPlan, &nFailed);
  } catch (const std::bad_alloc&) {
  }
  if (eResult != KQZIP_OK) {
    const std::string strName = nFailed < vGetEntries().size() ? vGetEntries()[nFailed].strName : "";
    Fail(eResult, strName, 0);
    _ShowErrorZIPSiBesoin(strShown(strName).c_str(), 0, eResult);
    return false;
  }

  // The target itself is the administrator's choice and may be a link; below
  // it nothing is followed.
  const int nTargetFd = open(strTarget.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (nTargetFd < 0) {
    const int nErrno = errno;
    Fail(KQZIP_INSTALL_FAILED, strTarget, nErrno);
    _ShowErrorZIPSiBesoin(pszDirectory, static_cast<unsigned int>(nErrno), KQZIP_INSTALL_FAILED);
    return false;
  }
  bool bOk = true;
  try {
    CInstallRun clRun(this, nTargetFd, strTarget);
    clRun.nDirMode = nDirMode;
    clRun.nDirUser = nDirUser;
    clRun.nDirGroup = nDirGroup;
    clRun.nFileMode = nFileMode;
    clRun.nFileUser = nFileUser;
    clRun.nFileGroup = nFileGroup;
    for (const _stPlannedEntry& stPlan : vPlan) {
      const std::string& strEntry = vGetEntries()[stPlan.nIndex].strName;
      bOk = stPlan.bDirectory ? clRun.bStageDirectory(stPlan, strEntry) : clRun.bStageFile(stPlan, strEntry);
      if (!bOk) break;
    }
    if (bOk) bOk = clRun.bCommit();
    if (!bOk) clRun.Rollback();
  } catch (const std::bad_alloc&) {
    // The run's destructor closed its descriptors; what it staged may remain
    // under temporary names, never under the installed ones.
    Fail(KQZIP_NO_MEMORY, std::string(), 0);
    bOk = false;
  }
  close(nTargetFd);
  if (!bOk) {
    if (m_bVerbose) {
      const time_t nNow = time(nullptr);
      std::fprintf(stderr, "%sUnzipping files failed whith error %d\r\n", ctime(&nNow), m_eLastResult);
    }
    _ShowErrorZIPSiBesoin(strShown(m_strLastName).c_str(), static_cast<unsigned int>(m_nLastErrno),
                          m_eLastResult);
  }
  return bOk;
}

void CDataExtractor::_ShowError(const wchar_t* pszPath, unsigned int nSystemError,
                                const CXError& clError) {
  CTString clText;
  if (pszPath != nullptr) DLLRES_bFormatMessage(&gstMyModuleInfoSetup, kMsgOperationFailed, &clText, pszPath);
  CTString clMessage(clText.pszGet());
  if (clError.nGetUserErrorCode() != 0) {
    clMessage = CTString(clMessage.pszGet(), L"\n", clError.pszGetUserMessage());
  }
  if (nSystemError != 0) {
    CTString clSystem;
    SystemErrorText(static_cast<int>(nSystemError), &clSystem);
    clMessage = CTString(clMessage.pszGet(), L"\n", clSystem.pszGet());
  }
  clMessage = CTString(clMessage.pszGet(), L"\n", nullptr);
  WriteToStandardError(clMessage.pszGet());
}

void CDataExtractor::_ShowErrorZIPSiBesoin(const wchar_t* pszPath, unsigned int nSystemError,
                                           int eResult) {
  if (eResult == KQZIP_OK) return;
  CXError clError(&gstMyModuleInfoSetup, nSetupUserErrorOfResult(eResult));
  if (clError.nGetUserErrorCode() == 0) return;
  _ShowError(pszPath, nSystemError, clError);
}
