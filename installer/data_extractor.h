// CDataExtractor: installs every entry of the open archive into the target
// directory, all or nothing.
//
// The run has three steps. Plan: every entry is checked (install_plan.h)
// before anything is written. Stage: directories are created as needed and
// each file is extracted into a new temporary file beside its destination,
// capped at its declared size and checked against its CRC-32, and given its
// owner and mode on the descriptor. Commit: only when every entry is staged
// are the temporary files renamed into place; a file that replaces an older
// one is exchanged with it (renameat2 RENAME_EXCHANGE), so that the old
// files stay at hand until the end. Any failure removes what this run made
// and swaps back what it had already exchanged: the previous install is left
// as it was.
//
// The target tree is walked from the target's descriptor with openat and
// O_NOFOLLOW: no link below the target is ever followed, and a link or a
// non-directory where a directory is needed, or a link, directory or special
// file where a file goes, refuses the install. Files are created with
// O_EXCL, so nothing that exists is ever written into.
//
// Installed files get the library's owner and group, and its mode without
// the set-id and sticky bits and without write for others; directories
// created on the way get the target directory's owner, group and mode.
//
// Failures are written to standard error (messages 4903 and the archive
// result's user error) and kept for the caller (eGetLastResult).
//
// Ownership: the extractor is the open archive (CKQWinZip); it owns the
// descriptors it opens during bInstall and closes them before returning.
// Threads: one thread; the setup program is single-threaded.
#ifndef KQ230_INSTALLER_DATA_EXTRACTOR_H_
#define KQ230_INSTALLER_DATA_EXTRACTOR_H_

#include <string>

#include "installer/zip_archive.h"

class CXError;

class CDataExtractor : public CKQWinZip {
 public:
  CDataExtractor() = default;

  // Opens the archive pszBaseName + ".zip" in the directory of the running
  // program (program_location.h). True on success; else the failure is shown.
  bool bInit(const wchar_t* pszBaseName);
  // Opens an archive by its path (tests and the benchmark).
  bool bInitPath(const char* pszArchivePath);

  // Installs every entry below pszDirectory (absolute, UTF-8 once converted).
  // True when every entry is in place; false leaves the target as it was.
  bool bInstall(const wchar_t* pszDirectory, unsigned int nDirMode, unsigned int nDirUser,
                unsigned int nDirGroup, unsigned int nFileMode, unsigned int nFileUser,
                unsigned int nFileGroup);

  // The failure of the last call (KQZIP_OK after a success), the entry or
  // path it concerns, and the system error (0 when none).
  int eGetLastResult() const { return m_eLastResult; }
  const std::string& strGetLastName() const { return m_strLastName; }
  int nGetLastErrno() const { return m_nLastErrno; }

  // The mode an installed file gets from the library's mode.
  static unsigned int nInstalledFileMode(unsigned int nLibraryMode);

 private:
  friend class CInstallRun;
  void Fail(int eResult, const std::string& strName, int nErrno);
  void _ShowError(const wchar_t* pszPath, unsigned int nSystemError, const CXError& clError);
  void _ShowErrorZIPSiBesoin(const wchar_t* pszPath, unsigned int nSystemError, int eResult);

  int m_bVerbose = 0;
  int m_eLastResult = KQZIP_OK;
  std::string m_strLastName;
  int m_nLastErrno = 0;
};

#endif  // KQ230_INSTALLER_DATA_EXTRACTOR_H_
