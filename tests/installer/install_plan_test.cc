// The plan of an installation: which entry names and kinds are refused
// before anything is written, and the setup program's messages.
#include "installer/install_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/numbered_messages.h"
#include "core/wide_string.h"
#include "installer/data_extractor.h"
#include "installer/setup_messages.h"
#include "installer/setup_program.h"

namespace {

TEST(EntryNames, SplitsSafeNamesIntoComponents) {
  std::vector<std::string> v;
  bool bDirectory = true;
  ASSERT_EQ(eSplitEntryName("lib/mariadb/plugin.so", &v, &bDirectory), KQZIP_OK);
  EXPECT_EQ(v, (std::vector<std::string>{"lib", "mariadb", "plugin.so"}));
  EXPECT_FALSE(bDirectory);
  ASSERT_EQ(eSplitEntryName("share/", &v, &bDirectory), KQZIP_OK);
  EXPECT_EQ(v, (std::vector<std::string>{"share"}));
  EXPECT_TRUE(bDirectory);
  EXPECT_EQ(eSplitEntryName("caf\xC3\xA9..txt", &v, &bDirectory), KQZIP_OK);
}

TEST(EntryNames, RefusesNamesThatCouldLeaveTheTargetOrReadTwoWays) {
  const std::string cases[] = {
      "", "/", "/etc/passwd", "..", "../x", "a/../../x", "a/..", "./x", "a/./x", "a//x", "a\\x",
      "..\\x", "C:x", "c:/x", std::string("a\0b", 3), "a\nb", "a\x7F", "\xC3", "\xC0\xAF",
      std::string(300, 'n'), std::string(2000, 'a'),
  };
  for (const std::string& strName : cases) {
    SCOPED_TRACE(strName);
    std::vector<std::string> v;
    bool bDirectory = false;
    EXPECT_EQ(eSplitEntryName(strName, &v, &bDirectory), KQZIP_UNSAFE_NAME);
    EXPECT_TRUE(v.empty());
  }
}

_stZipEntry Entry(const std::string& strName, uint32_t nUnixMode = 0100644) {
  _stZipEntry e;
  e.strName = strName;
  e.nVersionMadeBy = (3 << 8) | 20;
  e.nExternalAttributes = nUnixMode << 16;
  return e;
}

TEST(InstallPlan, RefusesCollidingNamesAndEntriesThatAreNoFiles) {
  struct Case {
    const char* name;
    std::vector<_stZipEntry> vEntries;
    int nResult;
    size_t nFailed;
  };
  _stZipEntry encrypted = Entry("b");
  encrypted.nFlags = 1;
  _stZipEntry bzip2 = Entry("b");
  bzip2.nMethod = 12;
  const Case cases[] = {
      {"duplicate", {Entry("a"), Entry("a")}, KQZIP_DUPLICATE_NAME, 1},
      {"case", {Entry("Lib.so"), Entry("lib.SO")}, KQZIP_DUPLICATE_NAME, 1},
      {"file then directory", {Entry("a"), Entry("a/b")}, KQZIP_DUPLICATE_NAME, 1},
      {"directory then file", {Entry("a/b"), Entry("a")}, KQZIP_DUPLICATE_NAME, 1},
      {"directory spelt two ways", {Entry("D/x"), Entry("d/y")}, KQZIP_DUPLICATE_NAME, 1},
      {"directory entry twice", {Entry("d/", 040755), Entry("d/", 040755)}, KQZIP_DUPLICATE_NAME, 1},
      {"symbolic link", {Entry("a"), Entry("l", 0120777)}, KQZIP_LINK_ENTRY, 1},
      {"device", {Entry("dev", 020644)}, KQZIP_LINK_ENTRY, 0},
      {"fifo", {Entry("fifo", 010644)}, KQZIP_LINK_ENTRY, 0},
      {"directory type without slash", {Entry("d", 040755)}, KQZIP_LINK_ENTRY, 0},
      {"encrypted", {Entry("a"), encrypted}, KQZIP_ENCRYPTED, 1},
      {"unknown method", {Entry("a"), bzip2}, KQZIP_UNSUPPORTED_METHOD, 1},
      {"unsafe name", {Entry("a"), Entry("../b")}, KQZIP_UNSAFE_NAME, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<_stPlannedEntry> vPlan;
    size_t nFailed = 99;
    EXPECT_EQ(ePlanInstall(c.vEntries, &vPlan, &nFailed), c.nResult);
    EXPECT_EQ(nFailed, c.nFailed);
  }
}

TEST(InstallPlan, KeepsArchiveOrderAndSharedDirectories) {
  std::vector<_stPlannedEntry> vPlan;
  size_t nFailed = 0;
  ASSERT_EQ(ePlanInstall({Entry("d/", 040755), Entry("d/a"), Entry("d/e/b"), Entry("c")}, &vPlan,
                         &nFailed),
            KQZIP_OK);
  ASSERT_EQ(vPlan.size(), 4u);
  EXPECT_TRUE(vPlan[0].bDirectory);
  EXPECT_EQ(vPlan[2].nIndex, 2u);
  EXPECT_EQ(vPlan[2].vComponents, (std::vector<std::string>{"d", "e", "b"}));
}

TEST(InstalledMode, DropsSpecialBitsAndWriteForOthers) {
  EXPECT_EQ(CDataExtractor::nInstalledFileMode(0104757), 0755u);
  EXPECT_EQ(CDataExtractor::nInstalledFileMode(0100644), 0644u);
  EXPECT_EQ(CDataExtractor::nInstalledFileMode(0106777), 0775u);
  EXPECT_EQ(CDataExtractor::nInstalledFileMode(0100600), 0600u);
}

TEST(BinPath, AcceptsOnlyAbsolutePathsThatWereReadWhole) {
  std::string str;
  EXPECT_TRUE(bTargetFromBinPath("/opt/quilan/bin", 15, &str));
  EXPECT_EQ(str, "/opt/quilan/bin/");
  EXPECT_TRUE(bTargetFromBinPath("/opt/", 5, &str));
  EXPECT_EQ(str, "/opt/");
  EXPECT_FALSE(bTargetFromBinPath("", 0, &str));
  EXPECT_FALSE(bTargetFromBinPath("opt/bin", 7, &str));
  const std::string strLong = "/" + std::string(kBinPathCapacity - 2, 'd');  // as the reader cuts
  EXPECT_FALSE(bTargetFromBinPath(strLong.c_str(), static_cast<unsigned int>(strLong.size()), &str));
}

TEST(SetupMessages, EveryFailingResultHasItsOwnUserErrorAndText) {
  for (int eResult = 1; eResult < kKQzipResultCount; ++eResult) {
    SCOPED_TRACE(eResult);
    const unsigned int nUser = nSetupUserErrorOfResult(eResult);
    EXPECT_NE(nUser, 0u);
    CTString clText;
    EXPECT_TRUE(DLLRES_bLoadString(&gstMyModuleInfoSetup, nSetupMessageOfResult(eResult), &clText));
    EXPECT_GT(std::wcslen(clText.pszGet()), 10u);
  }
  EXPECT_EQ(nSetupUserErrorOfResult(KQZIP_OK), 0u);
  EXPECT_EQ(nSetupUserErrorOfResult(kKQzipResultCount), 0u);
}

TEST(SetupMessages, FormatTheProgramsMessagesWithTheirInserts) {
  CTString clText;
  ASSERT_TRUE(DLLRES_bFormatMessage(&gstMyModuleInfoSetup, kMsgCannotExamine, &clText, L"kq230vm.so",
                                    L"No such file or directory"));
  EXPECT_STREQ(clText.pszGet(), L"Cannot examine \"kq230vm.so\": No such file or directory\n");
  ASSERT_TRUE(DLLRES_bFormatMessage(&gstMyModuleInfoSetup, kMsgInstalled, &clText, L"MariaDB"));
  EXPECT_STREQ(clText.pszGet(), L"The MariaDB driver is installed.");
  for (unsigned int n : {kMsgNotSuperUser, kMsgOperationFailed, kMsgNoBinaryDirectory, kMsgNotInstalled}) {
    EXPECT_TRUE(DLLRES_bLoadString(&gstMyModuleInfoSetup, n, &clText)) << n;
  }
}

}  // namespace
