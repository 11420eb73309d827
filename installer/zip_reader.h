// CWinZip: reads ZIP archives (PKWARE's APPNOTE, with the ZIP64 extensions)
// for the setup program: the end record, the central directory, and each
// entry's data, stored or deflated (zlib's raw inflate), checked against the
// central directory's size and CRC-32.
//
// Nothing the archive says is trusted: every offset and size is checked
// against the source's size before it is used, the local header must agree
// with the central one, and an entry's data never produce more bytes than
// the central directory declares (a bomb stops at the declared size, its
// bytes are refused). Encrypted entries are refused outright: the one-byte
// check of the traditional encryption passes a wrong password once in 256
// and would write garbage.
//
// Ownership: the reader keeps the directory (names and fields) and a pointer
// to the source, which the caller owns and keeps alive while the reader is
// used.
// Threads: one thread at a time.
#ifndef KQ230_INSTALLER_ZIP_READER_H_
#define KQ230_INSTALLER_ZIP_READER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "installer/zip_source.h"

// Results of the archive functions: one per failure. 0, 1, 3, 4, 13 and 14
// are the archive format's traditional codes; the rest are ours.
enum _eKQzipResult : int {
  KQZIP_OK = 0,
  KQZIP_CANNOT_OPEN = 1,           // the archive file cannot be opened
  KQZIP_READ_FAILED = 2,           // reading the archive failed
  KQZIP_NOT_AN_ARCHIVE = 3,        // no end record: this is no ZIP archive
  KQZIP_NO_CURRENT_ENTRY = 4,      // no such entry
  KQZIP_BAD_END_RECORD = 5,        // the end record contradicts the file
  KQZIP_BAD_ZIP64_RECORD = 6,      // the ZIP64 locator or end record is damaged
  KQZIP_MULTI_DISK = 7,            // split over several disks: not read
  KQZIP_BAD_CENTRAL_HEADER = 8,    // a central directory header is damaged
  KQZIP_BAD_LOCAL_HEADER = 9,      // a local header is damaged or disagrees
  KQZIP_UNSUPPORTED_METHOD = 10,   // compressed by a method other than stored or deflate
  KQZIP_DATA_ERROR = 11,           // the compressed data are damaged
  KQZIP_SIZE_MISMATCH = 12,        // the data give another size than declared
  KQZIP_CRC_ERROR = 13,            // the data's CRC-32 is not the declared one
  KQZIP_BAD_PASSWORD = 14,         // wrong password (never given: we take none)
  KQZIP_ENCRYPTED = 15,            // the entry is encrypted: refused
  KQZIP_NO_MEMORY = 16,            // memory ran out
  KQZIP_WRITE_FAILED = 17,         // the consumer of the data refused them
  KQZIP_DIRECTORY_TOO_LARGE = 18,  // more entries or directory bytes than we hold
  // Refusals of the setup program, reported through the same table.
  KQZIP_UNSAFE_NAME = 19,          // an entry name that could leave the target
  KQZIP_DUPLICATE_NAME = 20,       // two entries name one file (case ignored)
  KQZIP_LINK_ENTRY = 21,           // the entry is a symbolic link or a device
  KQZIP_LINK_IN_TARGET = 22,       // a link or a non-directory stands in the way
  KQZIP_INSTALL_FAILED = 23,       // a file operation in the target failed
};
inline constexpr int kKQzipResultCount = 24;

// One entry of the central directory, as read and checked.
struct _stZipEntry {
  std::string strName;          // the name's bytes as stored
  uint16_t nVersionMadeBy = 0;  // high byte: the system (3 Unix)
  uint16_t nFlags = 0;
  uint16_t nMethod = 0;
  uint16_t nModTime = 0;  // DOS time and date
  uint16_t nModDate = 0;
  uint32_t nCrc32 = 0;
  uint64_t nCompressedSize = 0;
  uint64_t nSize = 0;
  uint64_t nLocalHeaderOffset = 0;
  uint32_t nExternalAttributes = 0;

  bool bEncrypted() const { return (nFlags & 0x0041) != 0; }  // bit 0, or bit 6 (strong)
  bool bHasDataDescriptor() const { return (nFlags & 0x0008) != 0; }
  bool bIsDirectory() const { return !strName.empty() && strName.back() == '/'; }
  // The Unix file type of the entry (S_IFMT bits) when the archive was made
  // on Unix and says so; 0 otherwise.
  uint32_t nUnixFileType() const;
};

// The consumer of an entry's bytes. bWrite answers false to stop the reading
// (the result is then KQZIP_WRITE_FAILED).
class IZipSink {
 public:
  virtual bool bWrite(const void* pData, uint32_t nBytes) = 0;

 protected:
  ~IZipSink() = default;
};

class CWinZip {
 public:
  // Limits that keep a hostile directory from exhausting a 32-bit process.
  static constexpr uint64_t kMaxDirectoryBytes = 64u << 20;
  static constexpr uint64_t kMaxEntries = 1u << 20;

  CWinZip() = default;
  CWinZip(const CWinZip&) = delete;
  CWinZip& operator=(const CWinZip&) = delete;

  // Reads the end record and the whole central directory of the source.
  // KQZIP_OK, or the failure (the directory is then empty).
  // REQUIRES: pSource outlives every later call.
  int eOpen(IZipSource* pSource);
  void Close();

  const std::vector<_stZipEntry>& vGetEntries() const { return m_vEntries; }

  // Reads entry nIndex to its end into the sink: the local header checked,
  // the data inflated or copied, never more than the declared size, then
  // the size and the CRC-32 compared with the central directory's.
  // KQZIP_NO_CURRENT_ENTRY for an index out of range. The sink may have
  // received bytes before a failure: it must hold them apart until success.
  int eExtract(size_t nIndex, IZipSink* pSink);

  // The position of the end-of-central-directory record, or -1: searched
  // backwards over the last 0xFFFF + 22 bytes (the longest comment and the
  // record itself), and taken only when its comment length reaches exactly
  // the end of the source, so that a signature inside a comment is passed
  // over. -2 when a read fails.
  static int64_t nSearchCentralDir(IZipSource* pSource);

 private:
  int eReadDirectory(uint64_t nEndRecord);
  int eParseCentral(const unsigned char* pby, uint64_t nBytes, uint64_t nCount, uint64_t nDataEnd);
  int eDataStart(const _stZipEntry& stEntry, uint64_t* pnStart);

  IZipSource* m_pSource = nullptr;
  std::vector<_stZipEntry> m_vEntries;
  uint64_t m_nDirectoryOffset = 0;  // where entry data must end
};

#endif  // KQ230_INSTALLER_ZIP_READER_H_
