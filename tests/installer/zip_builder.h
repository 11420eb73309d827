// ZipBuilder: writes ZIP archives byte by byte for the reader's tests and the
// fuzz seeds, with the forms the tools seldom give on demand: ZIP64 end
// records and extra fields, data descriptors, comments, Unix file types,
// flags, and headers that lie.
#ifndef KQ230_TESTS_INSTALLER_ZIP_BUILDER_H_
#define KQ230_TESTS_INSTALLER_ZIP_BUILDER_H_

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kqtest {

struct ZipEntryLayout {
  std::string strName;
  std::string strData;          // uncompressed
  bool bDeflate = false;
  uint16_t nFlags = 0;          // bit 3 adds a data descriptor
  uint32_t nUnixMode = 0100644; // external attributes' high half, made on Unix
  bool bZip64Extras = false;    // sizes and offset in a ZIP64 extra field
  // Lies, applied to the headers after the true values are known.
  int64_t nDeclaredSize = -1;   // uncompressed size declared in both headers
  int64_t nDeclaredCrc = -1;
  std::string strLocalName;     // a different name in the local header
  int nMethod = -1;             // another method number in both headers
};

struct ZipLayout {
  std::vector<ZipEntryLayout> vEntries;
  std::string strComment;
  bool bZip64End = false;       // ZIP64 end record and locator, 32-bit fields at their maximum
};

inline void Put16(std::string* p, uint32_t n) {
  p->push_back(static_cast<char>(n & 0xFF));
  p->push_back(static_cast<char>((n >> 8) & 0xFF));
}
inline void Put32(std::string* p, uint32_t n) {
  Put16(p, n & 0xFFFF);
  Put16(p, n >> 16);
}
inline void Put64(std::string* p, uint64_t n) {
  Put32(p, static_cast<uint32_t>(n));
  Put32(p, static_cast<uint32_t>(n >> 32));
}

inline std::string RawDeflate(const std::string& str) {
  z_stream zs{};
  deflateInit2(&zs, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string strOut(deflateBound(&zs, str.size()) + 16, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(str.data()));
  zs.avail_in = static_cast<uInt>(str.size());
  zs.next_out = reinterpret_cast<Bytef*>(strOut.data());
  zs.avail_out = static_cast<uInt>(strOut.size());
  deflate(&zs, Z_FINISH);
  strOut.resize(zs.total_out);
  deflateEnd(&zs);
  return strOut;
}

inline std::string BuildZip(const ZipLayout& layout) {
  std::string strOut;
  std::string strCentral;
  for (const ZipEntryLayout& e : layout.vEntries) {
    const std::string strData = e.bDeflate ? RawDeflate(e.strData) : e.strData;
    const uint32_t nCrc = e.nDeclaredCrc >= 0
                              ? static_cast<uint32_t>(e.nDeclaredCrc)
                              : static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(e.strData.data()),
                                                            static_cast<uInt>(e.strData.size())));
    const uint64_t nSize = e.nDeclaredSize >= 0 ? static_cast<uint64_t>(e.nDeclaredSize) : e.strData.size();
    const uint16_t nMethod = static_cast<uint16_t>(e.nMethod >= 0 ? e.nMethod : (e.bDeflate ? 8 : 0));
    const uint64_t nOffset = strOut.size();
    const bool bDescriptor = (e.nFlags & 8) != 0;
    const std::string& strLocalName = e.strLocalName.empty() ? e.strName : e.strLocalName;
    std::string strLocalExtra;
    if (e.bZip64Extras && !bDescriptor) {
      Put16(&strLocalExtra, 1);
      Put16(&strLocalExtra, 16);
      Put64(&strLocalExtra, nSize);
      Put64(&strLocalExtra, strData.size());
    }
    Put32(&strOut, 0x04034b50);
    Put16(&strOut, e.bZip64Extras ? 45 : 20);
    Put16(&strOut, e.nFlags);
    Put16(&strOut, nMethod);
    Put16(&strOut, 0);
    Put16(&strOut, 0x5821);
    Put32(&strOut, bDescriptor ? 0 : nCrc);
    Put32(&strOut, bDescriptor ? 0 : (e.bZip64Extras ? 0xFFFFFFFFu : static_cast<uint32_t>(strData.size())));
    Put32(&strOut, bDescriptor ? 0 : (e.bZip64Extras ? 0xFFFFFFFFu : static_cast<uint32_t>(nSize)));
    Put16(&strOut, static_cast<uint32_t>(strLocalName.size()));
    Put16(&strOut, static_cast<uint32_t>(strLocalExtra.size()));
    strOut += strLocalName;
    strOut += strLocalExtra;
    strOut += strData;
    if (bDescriptor) {
      Put32(&strOut, 0x08074b50);
      Put32(&strOut, nCrc);
      Put32(&strOut, static_cast<uint32_t>(strData.size()));
      Put32(&strOut, static_cast<uint32_t>(nSize));
    }
    std::string strExtra;
    if (e.bZip64Extras) {
      Put16(&strExtra, 1);
      Put16(&strExtra, 24);
      Put64(&strExtra, nSize);
      Put64(&strExtra, strData.size());
      Put64(&strExtra, nOffset);
    }
    Put32(&strCentral, 0x02014b50);
    Put16(&strCentral, (3 << 8) | 45);
    Put16(&strCentral, e.bZip64Extras ? 45 : 20);
    Put16(&strCentral, e.nFlags);
    Put16(&strCentral, nMethod);
    Put16(&strCentral, 0);
    Put16(&strCentral, 0x5821);
    Put32(&strCentral, nCrc);
    Put32(&strCentral, e.bZip64Extras ? 0xFFFFFFFFu : static_cast<uint32_t>(strData.size()));
    Put32(&strCentral, e.bZip64Extras ? 0xFFFFFFFFu : static_cast<uint32_t>(nSize));
    Put16(&strCentral, static_cast<uint32_t>(e.strName.size()));
    Put16(&strCentral, static_cast<uint32_t>(strExtra.size()));
    Put16(&strCentral, 0);
    Put16(&strCentral, 0);
    Put16(&strCentral, 0);
    Put32(&strCentral, e.nUnixMode << 16);
    Put32(&strCentral, e.bZip64Extras ? 0xFFFFFFFFu : static_cast<uint32_t>(nOffset));
    strCentral += e.strName;
    strCentral += strExtra;
  }
  const uint64_t nCentralOffset = strOut.size();
  strOut += strCentral;
  const uint64_t nCount = layout.vEntries.size();
  if (layout.bZip64End) {
    const uint64_t nZip64End = strOut.size();
    Put32(&strOut, 0x06064b50);
    Put64(&strOut, 44);
    Put16(&strOut, 45);
    Put16(&strOut, 45);
    Put32(&strOut, 0);
    Put32(&strOut, 0);
    Put64(&strOut, nCount);
    Put64(&strOut, nCount);
    Put64(&strOut, strCentral.size());
    Put64(&strOut, nCentralOffset);
    Put32(&strOut, 0x07064b50);
    Put32(&strOut, 0);
    Put64(&strOut, nZip64End);
    Put32(&strOut, 1);
  }
  Put32(&strOut, 0x06054b50);
  Put16(&strOut, 0);
  Put16(&strOut, 0);
  Put16(&strOut, layout.bZip64End ? 0xFFFF : static_cast<uint32_t>(nCount));
  Put16(&strOut, layout.bZip64End ? 0xFFFF : static_cast<uint32_t>(nCount));
  Put32(&strOut, layout.bZip64End ? 0xFFFFFFFFu : static_cast<uint32_t>(strCentral.size()));
  Put32(&strOut, layout.bZip64End ? 0xFFFFFFFFu : static_cast<uint32_t>(nCentralOffset));
  Put16(&strOut, static_cast<uint32_t>(layout.strComment.size()));
  strOut += layout.strComment;
  return strOut;
}

}  // namespace kqtest

#endif  // KQ230_TESTS_INSTALLER_ZIP_BUILDER_H_
