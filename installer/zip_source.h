// The bytes a ZIP archive is read from: positioned reads of exact sizes over
// a file descriptor (the setup program's archive) or over memory (tests and
// the fuzz target). The reader asks for every byte by position, so nothing
// here keeps a position of its own.
//
// Ownership: CZipFileSource owns its descriptor and closes it when it dies;
// CZipMemorySource points at the caller's bytes, which must outlive it.
// Threads: one thread at a time per source.
#ifndef KQ230_INSTALLER_ZIP_SOURCE_H_
#define KQ230_INSTALLER_ZIP_SOURCE_H_

#include <cstdint>

class IZipSource {
 public:
  virtual ~IZipSource() = default;
  // The size in bytes, fixed while the source lives.
  virtual uint64_t nGetSize() const = 0;
  // Exactly nBytes from nPosition into pBuffer. False when the range passes
  // the end or the system refuses the read (errno then tells why; 0 for a
  // range past the end).
  virtual bool bReadAt(uint64_t nPosition, void* pBuffer, uint32_t nBytes) = 0;
};

class CZipMemorySource : public IZipSource {
 public:
  // REQUIRES: pbyData holds nSize bytes for the source's whole life.
  CZipMemorySource(const unsigned char* pbyData, uint64_t nSize) : m_pbyData(pbyData), m_nSize(nSize) {}
  uint64_t nGetSize() const override { return m_nSize; }
  bool bReadAt(uint64_t nPosition, void* pBuffer, uint32_t nBytes) override;

 private:
  const unsigned char* m_pbyData;
  uint64_t m_nSize;
};

class CZipFileSource : public IZipSource {
 public:
  CZipFileSource() = default;
  ~CZipFileSource() override;
  CZipFileSource(const CZipFileSource&) = delete;
  CZipFileSource& operator=(const CZipFileSource&) = delete;

  // Opens a regular file for reading (a link to one is followed: the archive
  // is the administrator's, beside the program). False with errno set when it
  // cannot be opened or is no regular file (EINVAL).
  bool bOpen(const char* pszPath);
  void Close();
  bool bIsOpen() const { return m_nFd >= 0; }
  uint64_t nGetSize() const override { return m_nSize; }
  bool bReadAt(uint64_t nPosition, void* pBuffer, uint32_t nBytes) override;

 private:
  int m_nFd = -1;
  uint64_t m_nSize = 0;
};

#endif  // KQ230_INSTALLER_ZIP_SOURCE_H_
