// CKQWinZip: the archive facade of the setup program: an archive file opened
// with its whole directory read (CWinZip over a CZipFileSource), the entries
// in archive order, and the extraction of one entry, by index, into a sink.
//
// Entries are reached by index only: a lookup by name, case ignored, would
// pick one of two colliding entries and install the wrong content.
//
// Ownership: the facade owns its file and directory; both go with it.
// Threads: one thread at a time.
#ifndef KQ230_INSTALLER_ZIP_ARCHIVE_H_
#define KQ230_INSTALLER_ZIP_ARCHIVE_H_

#include <cstddef>
#include <vector>

#include "installer/zip_reader.h"
#include "installer/zip_source.h"

class CKQWinZip {
 public:
  CKQWinZip() = default;
  virtual ~CKQWinZip() = default;
  CKQWinZip(const CKQWinZip&) = delete;
  CKQWinZip& operator=(const CKQWinZip&) = delete;

  // Opens the archive file (read only; the flags and offsets are not used:
  // 0) and reads its directory. KQZIP_CANNOT_OPEN with errno kept when the
  // file cannot be opened or is no regular file; else CWinZip::eOpen's result.
  int eOuvreArchive(const wchar_t* pszPath, int nFlags, int nOffsetLow, int nOffsetHigh);
  // The same on an 8-bit (UTF-8) path.
  int eOuvreArchiveA(const char* pszPath);
  void FermeArchive();

  const std::vector<_stZipEntry>& vGetEntries() const { return m_clZip.vGetEntries(); }
  int eExtrait(size_t nIndex, IZipSink* pSink) { return m_clZip.eExtract(nIndex, pSink); }

 private:
  CZipFileSource m_clSource;
  CWinZip m_clZip;
};

#endif  // KQ230_INSTALLER_ZIP_ARCHIVE_H_
