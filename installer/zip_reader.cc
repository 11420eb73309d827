#include "installer/zip_reader.h"

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr uint32_t kSigLocal = 0x04034b50;
constexpr uint32_t kSigCentral = 0x02014b50;
constexpr uint32_t kSigEnd = 0x06054b50;
constexpr uint32_t kSigZip64End = 0x06064b50;
constexpr uint32_t kSigZip64Locator = 0x07064b50;
constexpr uint32_t kEndRecordBytes = 22;
constexpr uint32_t kCentralHeaderBytes = 46;
constexpr uint32_t kLocalHeaderBytes = 30;
constexpr uint32_t kZip64LocatorBytes = 20;
constexpr uint32_t kZip64EndBytes = 56;
constexpr uint32_t kLongestComment = 0xFFFF;
constexpr uint16_t kZip64ExtraId = 0x0001;
// Reads and inflation go by 64 KiB: small enough for a 32-bit process, large
// enough that the system calls do not dominate.
constexpr uint32_t kChunkBytes = 0x10000;

uint16_t U16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t U64(const unsigned char* p) { return U32(p) | (static_cast<uint64_t>(U32(p + 4)) << 32); }

// The fields of a ZIP64 extended-information extra field that the header
// marks as moved there (their 32-bit or 16-bit value at its maximum), in the
// order APPNOTE fixes: size, compressed size, header offset, disk. False when
// one of them is needed and missing, or the extra fields are malformed up to
// the ZIP64 one.
struct Zip64Wants {
  bool bSize, bCompressed, bOffset, bDisk;
};
bool bReadZip64Extra(const unsigned char* pbyExtra, uint32_t nExtra, Zip64Wants stWants,
                     uint64_t* pnSize, uint64_t* pnCompressed, uint64_t* pnOffset, uint32_t* pnDisk) {
  const bool bAny = stWants.bSize || stWants.bCompressed || stWants.bOffset || stWants.bDisk;
  uint32_t i = 0;
  while (i + 4 <= nExtra) {
    const uint16_t nId = U16(pbyExtra + i);
    const uint16_t nLen = U16(pbyExtra + i + 2);
    if (nLen > nExtra - i - 4) return !bAny;  // a malformed tail: only fatal when we need it
    if (nId == kZip64ExtraId) {
      const unsigned char* p = pbyExtra + i + 4;
      uint32_t nLeft = nLen;
      auto take64 = [&](uint64_t* pn) {
        if (nLeft < 8) return false;
        *pn = U64(p);
        p += 8;
        nLeft -= 8;
        return true;
      };
      if (stWants.bSize && !take64(pnSize)) return false;
      if (stWants.bCompressed && !take64(pnCompressed)) return false;
      if (stWants.bOffset && !take64(pnOffset)) return false;
      if (stWants.bDisk) {
        if (nLeft < 4) return false;
        *pnDisk = U32(p);
      }
      return true;
    }
    i += 4u + nLen;
  }
  return !bAny;
}

// Holds the inflater so that every way out of the reading ends it.
class Inflater {
 public:
  Inflater() { std::memset(&m_stream, 0, sizeof(m_stream)); }
  ~Inflater() {
    if (m_bReady) inflateEnd(&m_stream);
  }
  int nInit() {
    const int n = inflateInit2(&m_stream, -MAX_WBITS);  // raw deflate, no zlib header
    m_bReady = n == Z_OK;
    return n;
  }
  z_stream& stream() { return m_stream; }

 private:
  z_stream m_stream;
  bool m_bReady = false;
};

}  // namespace

uint32_t _stZipEntry::nUnixFileType() const {
  if ((nVersionMadeBy >> 8) != 3) return 0;  // attributes of another system
  return (nExternalAttributes >> 16) & S_IFMT;
}

int64_t CWinZip::nSearchCentralDir(IZipSource* pSource) {
  const uint64_t nSize = pSource->nGetSize();
  if (nSize < kEndRecordBytes) return -1;
  const uint32_t nBack =
      static_cast<uint32_t>(std::min<uint64_t>(nSize, kLongestComment + kEndRecordBytes));
  std::unique_ptr<unsigned char[]> pby(new (std::nothrow) unsigned char[nBack]);
  if (!pby) return -2;
  const uint64_t nStart = nSize - nBack;
  if (!pSource->bReadAt(nStart, pby.get(), nBack)) return -2;
  // From the end backwards: the record nearest the end whose comment runs
  // exactly to the end of the file is the real one.
  for (uint32_t i = nBack - kEndRecordBytes + 1; i-- > 0;) {
    if (U32(pby.get() + i) != kSigEnd) continue;
    const uint32_t nComment = U16(pby.get() + i + 20);
    if (static_cast<uint64_t>(i) + kEndRecordBytes + nComment == nBack) {
      return static_cast<int64_t>(nStart + i);
    }
  }
  return -1;
}

void CWinZip::Close() {
  m_vEntries.clear();
  m_vEntries.shrink_to_fit();
  m_pSource = nullptr;
  m_nDirectoryOffset = 0;
}

int CWinZip::eOpen(IZipSource* pSource) {
  Close();
  m_pSource = pSource;
  const int64_t nEnd = nSearchCentralDir(pSource);
  if (nEnd == -2) return KQZIP_READ_FAILED;
  if (nEnd < 0) return KQZIP_NOT_AN_ARCHIVE;
  int nResult = KQZIP_NO_MEMORY;
  try {
    nResult = eReadDirectory(static_cast<uint64_t>(nEnd));
  } catch (const std::bad_alloc&) {
    nResult = KQZIP_NO_MEMORY;
  }
  if (nResult != KQZIP_OK) {
    m_vEntries.clear();
    m_vEntries.shrink_to_fit();
  }
  return nResult;
}

int CWinZip::eReadDirectory(uint64_t nEndRecord) {
  unsigned char aby[kZip64EndBytes];
  if (!m_pSource->bReadAt(nEndRecord, aby, kEndRecordBytes)) return KQZIP_READ_FAILED;
  uint32_t nDisk = U16(aby + 4);
  uint32_t nDirectoryDisk = U16(aby + 6);
  uint64_t nOnDisk = U16(aby + 8);
  uint64_t nCount = U16(aby + 10);
  uint64_t nDirectoryBytes = U32(aby + 12);
  uint64_t nDirectoryOffset = U32(aby + 16);
  uint64_t nRecordsStart = nEndRecord;  // the central directory ends before this

  // A ZIP64 locator just before the end record takes over the counts, size
  // and offset, whatever the 32-bit fields say.
  if (nEndRecord >= kZip64LocatorBytes) {
    if (!m_pSource->bReadAt(nEndRecord - kZip64LocatorBytes, aby, kZip64LocatorBytes))
      return KQZIP_READ_FAILED;
    if (U32(aby) == kSigZip64Locator) {
      const uint64_t nZip64End = U64(aby + 8);
      if (U32(aby + 16) > 1 || U32(aby + 4) != 0) return KQZIP_MULTI_DISK;
      if (nZip64End > nEndRecord - kZip64LocatorBytes ||
          nEndRecord - kZip64LocatorBytes - nZip64End < kZip64EndBytes)
        return KQZIP_BAD_ZIP64_RECORD;
      if (!m_pSource->bReadAt(nZip64End, aby, kZip64EndBytes)) return KQZIP_READ_FAILED;
      if (U32(aby) != kSigZip64End || U64(aby + 4) < kZip64EndBytes - 12)
        return KQZIP_BAD_ZIP64_RECORD;
      nDisk = U32(aby + 16);
      nDirectoryDisk = U32(aby + 20);
      nOnDisk = U64(aby + 24);
      nCount = U64(aby + 32);
      nDirectoryBytes = U64(aby + 40);
      nDirectoryOffset = U64(aby + 48);
      nRecordsStart = nZip64End;
    }
  }
  if (nDisk != 0 || nDirectoryDisk != 0 || nOnDisk != nCount) return KQZIP_MULTI_DISK;
  if (nDirectoryOffset > nRecordsStart || nDirectoryBytes > nRecordsStart - nDirectoryOffset)
    return KQZIP_BAD_END_RECORD;
  if (nCount > kMaxEntries || nDirectoryBytes > kMaxDirectoryBytes) return KQZIP_DIRECTORY_TOO_LARGE;
  if (nCount * kCentralHeaderBytes > nDirectoryBytes) return KQZIP_BAD_END_RECORD;

  std::vector<unsigned char> vDirectory(static_cast<size_t>(nDirectoryBytes));
  if (nDirectoryBytes != 0 &&
      !m_pSource->bReadAt(nDirectoryOffset, vDirectory.data(), static_cast<uint32_t>(nDirectoryBytes)))
    return KQZIP_READ_FAILED;
  m_nDirectoryOffset = nDirectoryOffset;
  return eParseCentral(vDirectory.data(), nDirectoryBytes, nCount, nDirectoryOffset);
}

int CWinZip::eParseCentral(const unsigned char* pby, uint64_t nBytes, uint64_t nCount,
                           uint64_t nDataEnd) {
  m_vEntries.reserve(static_cast<size_t>(nCount));
  uint64_t nAt = 0;
  for (uint64_t i = 0; i < nCount; ++i) {
    if (nBytes - nAt < kCentralHeaderBytes) return KQZIP_BAD_CENTRAL_HEADER;
    const unsigned char* p = pby + nAt;
    if (U32(p) != kSigCentral) return KQZIP_BAD_CENTRAL_HEADER;
    const uint32_t nName = U16(p + 28);
    const uint32_t nExtra = U16(p + 30);
    const uint32_t nComment = U16(p + 32);
    if (nBytes - nAt - kCentralHeaderBytes < uint64_t{nName} + nExtra + nComment)
      return KQZIP_BAD_CENTRAL_HEADER;
    _stZipEntry e;
    e.nVersionMadeBy = U16(p + 4);
    e.nFlags = U16(p + 8);
    e.nMethod = U16(p + 10);
    e.nModTime = U16(p + 12);
    e.nModDate = U16(p + 14);
    e.nCrc32 = U32(p + 16);
    e.nCompressedSize = U32(p + 20);
    e.nSize = U32(p + 24);
    uint32_t nStartDisk = U16(p + 34);
    e.nExternalAttributes = U32(p + 38);
    e.nLocalHeaderOffset = U32(p + 42);
    e.strName.assign(reinterpret_cast<const char*>(p + kCentralHeaderBytes), nName);
    const Zip64Wants stWants{e.nSize == 0xFFFFFFFFu, e.nCompressedSize == 0xFFFFFFFFu,
                             e.nLocalHeaderOffset == 0xFFFFFFFFu, nStartDisk == 0xFFFFu};
    if (!bReadZip64Extra(p + kCentralHeaderBytes + nName, nExtra, stWants, &e.nSize,
                         &e.nCompressedSize, &e.nLocalHeaderOffset, &nStartDisk))
      return KQZIP_BAD_CENTRAL_HEADER;
    if (nStartDisk != 0) return KQZIP_MULTI_DISK;
    if (e.nLocalHeaderOffset >= nDataEnd || e.nCompressedSize > nDataEnd) return KQZIP_BAD_CENTRAL_HEADER;
    m_vEntries.push_back(std::move(e));
    nAt += kCentralHeaderBytes + uint64_t{nName} + nExtra + nComment;
  }
  return KQZIP_OK;
}

int CWinZip::eDataStart(const _stZipEntry& e, uint64_t* pnStart) {
  if (m_nDirectoryOffset - e.nLocalHeaderOffset < kLocalHeaderBytes) return KQZIP_BAD_LOCAL_HEADER;
  unsigned char aby[kLocalHeaderBytes];
  if (!m_pSource->bReadAt(e.nLocalHeaderOffset, aby, kLocalHeaderBytes)) return KQZIP_READ_FAILED;
  if (U32(aby) != kSigLocal) return KQZIP_BAD_LOCAL_HEADER;
  const uint16_t nFlags = U16(aby + 6);
  if ((nFlags & 0x0041) != (e.nFlags & 0x0041) || (nFlags & 0x0008) != (e.nFlags & 0x0008) ||
      U16(aby + 8) != e.nMethod)
    return KQZIP_BAD_LOCAL_HEADER;
  const uint32_t nName = U16(aby + 26);
  const uint32_t nExtra = U16(aby + 28);
  const uint64_t nHeader = uint64_t{kLocalHeaderBytes} + nName + nExtra;
  if (m_nDirectoryOffset - e.nLocalHeaderOffset < nHeader) return KQZIP_BAD_LOCAL_HEADER;
  std::vector<unsigned char> vRest(nName + nExtra);
  if (!vRest.empty() &&
      !m_pSource->bReadAt(e.nLocalHeaderOffset + kLocalHeaderBytes, vRest.data(),
                          static_cast<uint32_t>(vRest.size())))
    return KQZIP_READ_FAILED;
  // The name the directory lists must be the name of the data found here:
  // else the directory could point every entry at one set of bytes.
  if (nName != e.strName.size() ||
      (nName != 0 && std::memcmp(vRest.data(), e.strName.data(), nName) != 0))
    return KQZIP_BAD_LOCAL_HEADER;
  if (!e.bHasDataDescriptor()) {
    uint64_t nCompressed = U32(aby + 18);
    uint64_t nSize = U32(aby + 22);
    uint64_t nUnused = 0;
    uint32_t nUnusedDisk = 0;
    // In a local header the ZIP64 field holds both sizes when either moved.
    const bool bZip64 = nSize == 0xFFFFFFFFu || nCompressed == 0xFFFFFFFFu;
    if (bZip64 && !bReadZip64Extra(vRest.data() + nName, nExtra, Zip64Wants{true, true, false, false},
                                   &nSize, &nCompressed, &nUnused, &nUnusedDisk))
      return KQZIP_BAD_LOCAL_HEADER;
    if (U32(aby + 14) != e.nCrc32 || nCompressed != e.nCompressedSize || nSize != e.nSize)
      return KQZIP_BAD_LOCAL_HEADER;
  }
  const uint64_t nStart = e.nLocalHeaderOffset + nHeader;
  if (m_nDirectoryOffset - nStart < e.nCompressedSize) return KQZIP_BAD_LOCAL_HEADER;
  *pnStart = nStart;
  return KQZIP_OK;
}

int CWinZip::eExtract(size_t nIndex, IZipSink* pSink) {
  if (m_pSource == nullptr || nIndex >= m_vEntries.size()) return KQZIP_NO_CURRENT_ENTRY;
  const _stZipEntry& e = m_vEntries[nIndex];
  if (e.bEncrypted()) return KQZIP_ENCRYPTED;
  if (e.nMethod != 0 && e.nMethod != Z_DEFLATED) return KQZIP_UNSUPPORTED_METHOD;
  uint64_t nPosition = 0;
  int nStart = KQZIP_NO_MEMORY;
  try {
    nStart = eDataStart(e, &nPosition);
  } catch (const std::bad_alloc&) {
  }
  if (nStart != KQZIP_OK) return nStart;

  std::unique_ptr<unsigned char[]> pbyIn(new (std::nothrow) unsigned char[kChunkBytes]);
  if (!pbyIn) return KQZIP_NO_MEMORY;
  uLong nCrc = crc32(0L, Z_NULL, 0);
  uint64_t nProduced = 0;
  uint64_t nLeft = e.nCompressedSize;

  if (e.nMethod == 0) {
    if (e.nCompressedSize != e.nSize) return KQZIP_SIZE_MISMATCH;
    while (nLeft > 0) {
      const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(nLeft, kChunkBytes));
      if (!m_pSource->bReadAt(nPosition, pbyIn.get(), n)) return KQZIP_READ_FAILED;
      nCrc = crc32(nCrc, pbyIn.get(), n);
      if (!pSink->bWrite(pbyIn.get(), n)) return KQZIP_WRITE_FAILED;
      nPosition += n;
      nLeft -= n;
    }
    nProduced = e.nSize;
  } else {
    std::unique_ptr<unsigned char[]> pbyOut(new (std::nothrow) unsigned char[kChunkBytes]);
    if (!pbyOut) return KQZIP_NO_MEMORY;
    Inflater clInflater;
    if (clInflater.nInit() != Z_OK) return KQZIP_NO_MEMORY;
    z_stream& zs = clInflater.stream();
    bool bEnd = false;
    while (!bEnd) {
      if (zs.avail_in == 0) {
        if (nLeft == 0) return KQZIP_DATA_ERROR;  // the stream stops short of its end
        const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(nLeft, kChunkBytes));
        if (!m_pSource->bReadAt(nPosition, pbyIn.get(), n)) return KQZIP_READ_FAILED;
        nPosition += n;
        nLeft -= n;
        zs.next_in = pbyIn.get();
        zs.avail_in = n;
      }
      zs.next_out = pbyOut.get();
      zs.avail_out = kChunkBytes;
      const int nZ = inflate(&zs, Z_SYNC_FLUSH);
      if (nZ == Z_STREAM_END) {
        bEnd = true;
      } else if (nZ == Z_MEM_ERROR) {
        return KQZIP_NO_MEMORY;
      } else if (nZ != Z_OK && nZ != Z_BUF_ERROR) {
        return KQZIP_DATA_ERROR;
      }
      const uint32_t nHave = kChunkBytes - zs.avail_out;
      // Never pass on a byte beyond the declared size: a bomb stops here.
      if (nHave > e.nSize - nProduced) return KQZIP_SIZE_MISMATCH;
      if (nHave != 0) {
        nCrc = crc32(nCrc, pbyOut.get(), nHave);
        if (!pSink->bWrite(pbyOut.get(), nHave)) return KQZIP_WRITE_FAILED;
        nProduced += nHave;
      }
    }
  }
  if (nProduced != e.nSize) return KQZIP_SIZE_MISMATCH;
  if (static_cast<uint32_t>(nCrc) != e.nCrc32) return KQZIP_CRC_ERROR;
  return KQZIP_OK;
}
