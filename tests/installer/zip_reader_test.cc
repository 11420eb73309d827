// The ZIP reader over archives built byte by byte: the forms it must read
// (stored, deflated, ZIP64, data descriptors, long comments) and one result
// code per kind of damage, with nothing passed on past a declared size.
#include "installer/zip_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "installer/zip_source.h"
#include "tests/installer/zip_builder.h"

namespace {

using kqtest::BuildZip;
using kqtest::ZipEntryLayout;
using kqtest::ZipLayout;

class StringSink : public IZipSink {
 public:
  bool bWrite(const void* pData, uint32_t nBytes) override {
    if (m_bRefuse) return false;
    m_str.append(static_cast<const char*>(pData), nBytes);
    return true;
  }
  std::string m_str;
  bool m_bRefuse = false;
};

struct Opened {
  explicit Opened(const std::string& str)
      : m_str(str), m_clSource(reinterpret_cast<const unsigned char*>(m_str.data()), m_str.size()) {
    m_nOpen = m_clZip.eOpen(&m_clSource);
  }
  std::string m_str;
  CZipMemorySource m_clSource;
  CWinZip m_clZip;
  int m_nOpen;
};

std::string Pattern(size_t n) {
  std::string str;
  for (size_t i = 0; i < n; ++i) str.push_back(static_cast<char>((i * 7) % 251));
  return str;
}

ZipLayout TwoEntries() {
  ZipLayout layout;
  ZipEntryLayout a;
  a.strName = "kq230maria.so";
  a.strData = Pattern(200000);
  a.bDeflate = true;
  ZipEntryLayout b;
  b.strName = "doc/readme.txt";
  b.strData = "read me";
  layout.vEntries = {a, b};
  return layout;
}

TEST(ZipReader, ReadsStoredAndDeflatedEntriesInArchiveOrder) {
  Opened z(BuildZip(TwoEntries()));
  ASSERT_EQ(z.m_nOpen, KQZIP_OK);
  ASSERT_EQ(z.m_clZip.vGetEntries().size(), 2u);
  EXPECT_EQ(z.m_clZip.vGetEntries()[0].strName, "kq230maria.so");
  EXPECT_EQ(z.m_clZip.vGetEntries()[1].strName, "doc/readme.txt");
  StringSink a, b;
  EXPECT_EQ(z.m_clZip.eExtract(0, &a), KQZIP_OK);
  EXPECT_EQ(a.m_str, Pattern(200000));
  EXPECT_EQ(z.m_clZip.eExtract(1, &b), KQZIP_OK);
  EXPECT_EQ(b.m_str, "read me");
}

TEST(ZipReader, ReadsTheForms) {
  struct Case {
    const char* name;
    bool bZip64End, bZip64Extras, bDescriptor;
    std::string strComment;
  };
  const Case cases[] = {
      {"ZIP64 end record and extra fields", true, true, false, ""},
      {"ZIP64 end record only", true, false, false, ""},
      {"data descriptors", false, false, true, ""},
      {"data descriptors in ZIP64", true, true, true, ""},
      {"the longest comment", false, false, false, std::string(0xFFFF, 'c')},
      {"an end signature inside the comment",
       false, false, false, std::string("PK\x05\x06", 4) + std::string(18, '\0') + "tail"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ZipLayout layout = TwoEntries();
    layout.bZip64End = c.bZip64End;
    layout.strComment = c.strComment;
    for (ZipEntryLayout& e : layout.vEntries) {
      e.bZip64Extras = c.bZip64Extras;
      if (c.bDescriptor) e.nFlags |= 8;
    }
    Opened z(BuildZip(layout));
    ASSERT_EQ(z.m_nOpen, KQZIP_OK);
    ASSERT_EQ(z.m_clZip.vGetEntries().size(), 2u);
    StringSink a;
    EXPECT_EQ(z.m_clZip.eExtract(0, &a), KQZIP_OK);
    EXPECT_EQ(a.m_str, Pattern(200000));
  }
}

TEST(ZipReader, FindsTheEndRecordOnlyWhereItsCommentReachesTheEnd) {
  ZipLayout layout = TwoEntries();
  layout.strComment = std::string(0xFFFF, 'x');
  std::string str = BuildZip(layout);
  {
    CZipMemorySource src(reinterpret_cast<const unsigned char*>(str.data()), str.size());
    EXPECT_EQ(CWinZip::nSearchCentralDir(&src), static_cast<int64_t>(str.size() - 22 - 0xFFFF));
  }
  // One byte more after the comment: the record's comment no longer reaches
  // the end, and nothing else may be taken for it.
  str.push_back('!');
  CZipMemorySource src(reinterpret_cast<const unsigned char*>(str.data()), str.size());
  EXPECT_EQ(CWinZip::nSearchCentralDir(&src), -1);
  CWinZip z;
  EXPECT_EQ(z.eOpen(&src), KQZIP_NOT_AN_ARCHIVE);
}

TEST(ZipReader, GivesOneResultPerKindOfDamage) {
  struct Case {
    const char* name;
    std::string strArchive;
    int nOpen;
    int nExtract;  // of entry 0, when the open succeeds
  };
  auto with = [](auto change) {
    ZipLayout layout = TwoEntries();
    change(layout.vEntries[0]);
    return BuildZip(layout);
  };
  std::string strGood = BuildZip(TwoEntries());
  std::string strDirectoryPastEnd = strGood;
  strDirectoryPastEnd[strDirectoryPastEnd.size() - 3] = '\x7F';  // central offset's high byte
  std::string strBadCentral = strGood;
  strBadCentral[strBadCentral.rfind(std::string("PK\x01\x02", 4))] = 'X';
  std::string strMultiDisk = strGood;
  strMultiDisk[strMultiDisk.size() - 22 + 4] = 1;
  ZipLayout layout64 = TwoEntries();
  layout64.bZip64End = true;
  std::string strBadZip64 = BuildZip(layout64);
  strBadZip64[strBadZip64.rfind(std::string("PK\x06\x06", 4))] = 'X';
  std::string strBadData = with([](ZipEntryLayout& e) { e.nDeclaredCrc = 0; });
  {
    // The deflate stream's first block type made invalid (3 is reserved).
    const size_t nAt = strBadData.find("kq230maria.so") + 13;
    strBadData[nAt] = static_cast<char>(0x07);
  }
  const Case cases[] = {
      {"nothing at all", "", KQZIP_NOT_AN_ARCHIVE, 0},
      {"no archive", std::string(1000, 'z'), KQZIP_NOT_AN_ARCHIVE, 0},
      {"cut short", strGood.substr(0, strGood.size() / 2), KQZIP_NOT_AN_ARCHIVE, 0},
      {"directory past the end", strDirectoryPastEnd, KQZIP_BAD_END_RECORD, 0},
      {"damaged central header", strBadCentral, KQZIP_BAD_CENTRAL_HEADER, 0},
      {"second disk", strMultiDisk, KQZIP_MULTI_DISK, 0},
      {"damaged ZIP64 end record", strBadZip64, KQZIP_BAD_ZIP64_RECORD, 0},
      {"local name differs", with([](ZipEntryLayout& e) { e.strLocalName = "kq230maria.sX"; }),
       KQZIP_OK, KQZIP_BAD_LOCAL_HEADER},
      {"unknown method", with([](ZipEntryLayout& e) { e.nMethod = 12; }), KQZIP_OK,
       KQZIP_UNSUPPORTED_METHOD},
      {"encrypted", with([](ZipEntryLayout& e) { e.nFlags |= 1; }), KQZIP_OK, KQZIP_ENCRYPTED},
      {"CRC mismatch", with([](ZipEntryLayout& e) { e.nDeclaredCrc = 1234; }), KQZIP_OK, KQZIP_CRC_ERROR},
      {"inflates past its size", with([](ZipEntryLayout& e) { e.nDeclaredSize = 1000; }), KQZIP_OK,
       KQZIP_SIZE_MISMATCH},
      {"inflates short of its size", with([](ZipEntryLayout& e) { e.nDeclaredSize = 300000; }),
       KQZIP_OK, KQZIP_SIZE_MISMATCH},
      {"stored size differs", with([](ZipEntryLayout& e) {
         e.bDeflate = false;
         e.nDeclaredSize = 10;
       }),
       KQZIP_OK, KQZIP_SIZE_MISMATCH},
      {"damaged deflate data", strBadData, KQZIP_OK, KQZIP_DATA_ERROR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Opened z(c.strArchive);
    EXPECT_EQ(z.m_nOpen, c.nOpen);
    if (z.m_nOpen != KQZIP_OK) {
      EXPECT_TRUE(z.m_clZip.vGetEntries().empty());
      continue;
    }
    StringSink sink;
    EXPECT_EQ(z.m_clZip.eExtract(0, &sink), c.nExtract);
    // Never a byte beyond what the directory declares.
    EXPECT_LE(sink.m_str.size(), z.m_clZip.vGetEntries()[0].nSize);
  }
}

TEST(ZipReader, RefusesAnIndexOutOfRangeAndReportsARefusingSink) {
  Opened z(BuildZip(TwoEntries()));
  ASSERT_EQ(z.m_nOpen, KQZIP_OK);
  StringSink sink;
  EXPECT_EQ(z.m_clZip.eExtract(2, &sink), KQZIP_NO_CURRENT_ENTRY);
  sink.m_bRefuse = true;
  EXPECT_EQ(z.m_clZip.eExtract(1, &sink), KQZIP_WRITE_FAILED);
}

TEST(ZipReader, ReadsTheUnixFileTypeOnlyFromUnixArchives) {
  _stZipEntry e;
  e.nExternalAttributes = 0120777u << 16;
  e.nVersionMadeBy = (3 << 8) | 20;
  EXPECT_EQ(e.nUnixFileType(), 0120000u);
  e.nVersionMadeBy = 20;  // made on MS-DOS: the high half means nothing
  EXPECT_EQ(e.nUnixFileType(), 0u);
}

}  // namespace
