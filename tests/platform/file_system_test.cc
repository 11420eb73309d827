// File-system operations on named files: rename, move (also across file
// systems), copy, concatenate, permissions and owner, status queries,
// temporary names, the process's and user's directories, and file times.
#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cstdlib>
#include <random>
#include <string>

#include "core/wide_string.h"
#include "platform/disk_file.h"
#include "tests/platform/file_test_support.h"

namespace {

using kqtest::bExists;
using kqtest::ExpectFileFailure;
using kqtest::ReadBytes;
using kqtest::W;
using kqtest::WriteBytes;

class FileSystem : public kqtest::FilesTest {
 protected:
  // The two names of a failure of rename, move or copy.
  void ExpectTwoNames(const CXError& clError, unsigned int nErr, unsigned int nMessage,
                      const std::string& dst, const std::string& src) {
    ExpectFileFailure(&clError, nErr, WP(src), nMessage, WP(dst).c_str(), WP(src).c_str());
    EXPECT_EQ(kqtest::InfoText(&clError, CXError::EIT_DSTFILE), WP(dst));
  }
};

std::string RandomBytes(size_t n) {
  std::mt19937 rng(5);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

// ---------------------------------------------------------------------------
// Rename and move

TEST_F(FileSystem, RenameMovesAFileToAFreeName) {
  WriteBytes(P("a"), "A");
  CXError clError(&gstMyModuleInfo76);
  EXPECT_EQ(CDiskFile::bRename(WP("b").c_str(), WP("a").c_str(), &clError), 1);
  EXPECT_FALSE(bExists(P("a")));
  EXPECT_EQ(ReadBytes(P("b")), "A");
  ASSERT_EQ(mkdir(P("d").c_str(), 0777), 0);
  EXPECT_EQ(CDiskFile::bRename(WP("e").c_str(), WP("d").c_str(), &clError), 1);
  EXPECT_TRUE(bExists(P("e")));
}

TEST_F(FileSystem, RenameNeverReplacesAnExistingDestination) {
  WriteBytes(P("a"), "A");
  WriteBytes(P("b"), "B");
  CXError clError(&gstMyModuleInfo76);
  EXPECT_EQ(CDiskFile::bRename(WP("b").c_str(), WP("a").c_str(), &clError), 0);
  ExpectTwoNames(clError, EEXIST, 28124, "b", "a");
  EXPECT_EQ(ReadBytes(P("a")), "A");
  EXPECT_EQ(ReadBytes(P("b")), "B");
  EXPECT_EQ(CDiskFile::bRename(WP("c").c_str(), WP("missing").c_str(), &clError), 0);
  ExpectTwoNames(clError, ENOENT, 28124, "c", "missing");
}

TEST_F(FileSystem, MoveReplacesTheDestinationAtomically) {
  WriteBytes(P("a"), "A");
  WriteBytes(P("b"), "B");
  CXError clError(&gstMyModuleInfo76);
  EXPECT_EQ(CDiskFile::bMove(WP("b").c_str(), WP("a").c_str(), &clError), 1);
  EXPECT_EQ(ReadBytes(P("b")), "A");
  EXPECT_FALSE(bExists(P("a")));
  EXPECT_EQ(CDiskFile::bMove(WP("b").c_str(), W(m_dir.Path() + "\\b").c_str(), &clError), 1)
      << "the same name is already where it should be";
  EXPECT_EQ(ReadBytes(P("b")), "A");
}

TEST_F(FileSystem, AFailedMoveKeepsTheDestination) {
  WriteBytes(P("dst"), "keep me");
  CXError clError(&gstMyModuleInfo76);
  EXPECT_EQ(CDiskFile::bMove(WP("dst").c_str(), WP("missing").c_str(), &clError), 0);
  ExpectTwoNames(clError, ENOENT, 28124, "dst", "missing");
  EXPECT_EQ(ReadBytes(P("dst")), "keep me");
  ASSERT_EQ(mkdir(P("dir").c_str(), 0777), 0);
  WriteBytes(P("file"), "f");
  EXPECT_EQ(CDiskFile::bMove(WP("dir").c_str(), WP("file").c_str(), &clError), 0);
  EXPECT_TRUE(bExists(P("dir")));
  EXPECT_EQ(ReadBytes(P("file")), "f");
}

TEST_F(FileSystem, MoveAcrossFileSystemsCopiesThenDeletesTheSource) {
  kqtest::TempDir clShm("/dev/shm");
  ASSERT_TRUE(clShm.bOk());
  struct stat stA, stB;
  ASSERT_EQ(stat(m_dir.Path().c_str(), &stA), 0);
  ASSERT_EQ(stat(clShm.Path().c_str(), &stB), 0);
  if (stA.st_dev == stB.st_dev) GTEST_SKIP() << "/tmp and /dev/shm are one file system here";
  const std::string content = RandomBytes(300000);
  WriteBytes(clShm.Path("src"), content);
  ASSERT_EQ(chmod(clShm.Path("src").c_str(), 0640), 0);
  WriteBytes(P("dst"), "old");
  CXError clError(&gstMyModuleInfo76);
  EXPECT_EQ(CDiskFile::bMove(WP("dst").c_str(), clShm.WPath("src").c_str(), &clError), 1);
  EXPECT_EQ(ReadBytes(P("dst")), content);
  EXPECT_FALSE(bExists(clShm.Path("src")));
  struct stat st;
  ASSERT_EQ(stat(P("dst").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u) << "the permissions travel with the file";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.Path()),
                          std::filesystem::directory_iterator()),
            1)
      << "no temporary file is left beside the destination";
}

TEST_F(FileSystem, AFailedMoveAcrossFileSystemsKeepsTheSource) {
  kqtest::TempDir clShm("/dev/shm");
  ASSERT_TRUE(clShm.bOk());
  WriteBytes(clShm.Path("src"), "source");
  CXError clError(&gstMyModuleInfo76);
  EXPECT_EQ(CDiskFile::bMove(WP("missing_dir/dst").c_str(), clShm.WPath("src").c_str(), &clError),
            0);
  EXPECT_EQ(ReadBytes(clShm.Path("src")), "source");
  EXPECT_TRUE(std::filesystem::is_empty(m_dir.Path()));
}

// ---------------------------------------------------------------------------
// Copy and concatenation

TEST_F(FileSystem, CopyReproducesTheBytes) {
  for (size_t n : {0u, 1u, 65536u, 3u * 1024u * 1024u + 7u}) {
    SCOPED_TRACE(n);
    const std::string content = RandomBytes(n);
    WriteBytes(P("src"), content);
    WriteBytes(P("dst"), "longer old content that must go away");
    CXError clError(&gstMyModuleInfo76);
    ASSERT_EQ(CDiskFile::bCopy(WP("dst").c_str(), WP("src").c_str(), &clError), 1);
    EXPECT_EQ(ReadBytes(P("dst")), content);
    EXPECT_EQ(ReadBytes(P("src")), content);
  }
}

TEST_F(FileSystem, CopyOntoItselfIsRefusedUnderAnyName) {
  WriteBytes(P("f"), "intact");
  ASSERT_EQ(link(P("f").c_str(), P("hard").c_str()), 0);
  ASSERT_EQ(symlink(P("f").c_str(), P("soft").c_str()), 0);
  for (const char* other : {"f", "hard", "soft"}) {
    SCOPED_TRACE(other);
    CXError clError(&gstMyModuleInfo76);
    EXPECT_EQ(CDiskFile::bCopy(WP(other).c_str(), WP("f").c_str(), &clError), 0);
    ExpectTwoNames(clError, EINVAL, 28125, other, "f");
    EXPECT_EQ(ReadBytes(P("f")), "intact");
  }
}

TEST_F(FileSystem, CopyFromADirectoryOrAMissingFileLeavesTheDestination) {
  ASSERT_EQ(mkdir(P("dir").c_str(), 0777), 0);
  WriteBytes(P("dst"), "keep");
  CXError clError(&gstMyModuleInfo76);
  EXPECT_EQ(CDiskFile::bCopy(WP("dst").c_str(), WP("dir").c_str(), &clError), 0);
  ExpectTwoNames(clError, EISDIR, 28125, "dst", "dir");
  EXPECT_EQ(CDiskFile::bCopy(WP("dst").c_str(), WP("missing").c_str(), &clError), 0);
  ExpectTwoNames(clError, ENOENT, 28125, "dst", "missing");
  EXPECT_EQ(ReadBytes(P("dst")), "keep");
  WriteBytes(P("src"), "s");
  EXPECT_EQ(CDiskFile::bCopy(WP("none/dst").c_str(), WP("src").c_str(), &clError), 0);
  ExpectTwoNames(clError, ENOENT, 28125, "none/dst", "src");
}

TEST_F(FileSystem, ConcatAppendsAndCreatesAMissingDestination) {
  WriteBytes(P("a"), "head-");
  WriteBytes(P("b"), "tail");
  EXPECT_EQ(CDiskFile::bConcat(WP("a").c_str(), WP("b").c_str()), 1);
  EXPECT_EQ(ReadBytes(P("a")), "head-tail");
  EXPECT_EQ(CDiskFile::bConcat(WP("new").c_str(), WP("b").c_str()), 1);
  EXPECT_EQ(ReadBytes(P("new")), "tail");
  const std::string big = RandomBytes(200000);
  WriteBytes(P("big"), big);
  EXPECT_EQ(CDiskFile::bConcat(WP("new").c_str(), WP("big").c_str()), 1);
  EXPECT_EQ(ReadBytes(P("new")), "tail" + big);
}

TEST_F(FileSystem, ConcatNeedsAnExistingSourceAndAnotherFile) {
  WriteBytes(P("a"), "A");
  errno = 0;
  EXPECT_EQ(CDiskFile::bConcat(WP("a").c_str(), WP("missing").c_str()), 0);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(bExists(P("missing"))) << "a missing source is not created";
  EXPECT_EQ(ReadBytes(P("a")), "A");
  EXPECT_EQ(CDiskFile::bConcat(WP("a").c_str(), WP("a").c_str()), 0);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(ReadBytes(P("a")), "A");
}

// ---------------------------------------------------------------------------
// Permissions and owner

TEST_F(FileSystem, AttributesSetReadOnlyOrReadWrite) {
  WriteBytes(P("f"), "x");
  struct Case {
    int attributes;
    unsigned int mode;
  };
  for (const Case& c : {Case{-1, 0444}, Case{-2, 0444}, Case{0, 0666}, Case{5, 0666}}) {
    SCOPED_TRACE(c.attributes);
    ASSERT_EQ(CDiskFile::bSetFileAttributes(WP("f").c_str(), c.attributes, nullptr), 1);
    struct stat st;
    ASSERT_EQ(stat(P("f").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, c.mode);
  }
  CXError clError(&gstMyModuleInfo76);
  EXPECT_EQ(CDiskFile::bSetFileAttributesUnix(WP("missing").c_str(), 0600, &clError), 0);
  ExpectFileFailure(&clError, ENOENT, WP("missing"), 28130, 0600u, WP("missing").c_str());
}

TEST_F(FileSystem, OwnerAndModeAreSetTogether) {
  WriteBytes(P("f"), "x");
  CXError clError(&gstMyModuleInfo76);
  if (geteuid() == 0) {
    ASSERT_EQ(CDiskFile::bSetFileOwnerAttributes(WP("f").c_str(), 0640, 65534, 65534, &clError), 1);
    struct stat st;
    ASSERT_EQ(stat(P("f").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
  }
  EXPECT_EQ(CDiskFile::bSetFileOwnerUnix(WP("missing").c_str(), 1, 2, &clError), 0);
  ExpectFileFailure(&clError, ENOENT, WP("missing"), 25852, 1u, 2u, WP("missing").c_str());
}

// ---------------------------------------------------------------------------
// Status

TEST_F(FileSystem, StatusQueriesTellFilesFromDirectories) {
  WriteBytes(P("f"), "12345");
  ASSERT_EQ(mkdir(P("d").c_str(), 0755), 0);
  ASSERT_EQ(symlink(P("nowhere").c_str(), P("dangling").c_str()), 0);
  struct Case {
    const char* name;
    int exist, isFile, isDir;
    long long size;
  };
  const Case cases[] = {
      {"f", 1, 1, 0, 5}, {"d", 1, 0, 1, -1}, {"missing", 0, 0, 0, -1}, {"dangling", 0, 0, 0, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CDiskFile::bExist(WP(c.name).c_str(), nullptr), c.exist);
    EXPECT_EQ(CDiskFile::bIsAFile(WP(c.name).c_str(), nullptr), c.isFile);
    EXPECT_EQ(CDiskFile::bIsADirectory(WP(c.name).c_str(), nullptr), c.isDir);
    EXPECT_EQ(CDiskFile::s_oGetSize(WP(c.name).c_str(), nullptr), c.size);
  }
  unsigned int nErr = 0;
  EXPECT_EQ(CDiskFile::bExist(WP("missing").c_str(), nErr, nullptr), 0);
  EXPECT_EQ(nErr, static_cast<unsigned int>(ENOENT));
  EXPECT_EQ(CDiskFile::bIsAFile(nullptr, nullptr), 0);
}

TEST_F(FileSystem, StatusOfAMissingPathRecordsNothingButOtherFailuresDo) {
  CXError clError(&gstMyModuleInfo76);
  struct stat64 st;
  EXPECT_EQ(CDiskFile::bGetFileStatus(WP("missing").c_str(), &st, &clError), 0);
  EXPECT_EQ(clError.eGetErrorLevel(), CXError::EL_NOERROR);
  WriteBytes(P("file"), "x");
  EXPECT_EQ(CDiskFile::bGetFileStatus(WP("file/below").c_str(), &st, &clError), 0);
  ExpectFileFailure(&clError, ENOTDIR, WP("file/below"), 28128, WP("file/below").c_str());
}

TEST_F(FileSystem, TheAttributeWordDescribesTypePermissionsAndHiddenNames) {
  WriteBytes(P("f"), "x");
  ASSERT_EQ(chmod(P("f").c_str(), 0640), 0);
  WriteBytes(P(".h"), "x");
  ASSERT_EQ(chmod(P(".h").c_str(), 0600), 0);
  ASSERT_EQ(mkdir(P("d").c_str(), 0750), 0);
  ASSERT_EQ(mkfifo(P("p").c_str(), 0600), 0);
  ASSERT_EQ(symlink(P("nowhere").c_str(), P("dangling").c_str()), 0);
  struct Case {
    const char* name;
    int attributes;
  };
  const Case cases[] = {
      {"f", kAttributeFile | 0640},
      {".h", kAttributeFile | kAttributeHidden | 0600},
      {"d", kAttributeDirectory | 0750},
      {"p", kAttributeSpecial | 0600},
      {"dangling", kAttributeSpecial | 0777},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int nAttributes = 0;
    ASSERT_EQ(CDiskFile::bGetFileAttributes(&nAttributes, WP(c.name).c_str(), nullptr), 1);
    EXPECT_EQ(nAttributes, c.attributes);
  }
  CXError clError(&gstMyModuleInfo76);
  int nAttributes = 77;
  unsigned int nErr = 0;
  EXPECT_EQ(CDiskFile::bGetFileAttributes(WP("missing").c_str(), nAttributes, nErr, &clError), 0);
  EXPECT_EQ(nErr, static_cast<unsigned int>(ENOENT));
  ExpectFileFailure(&clError, ENOENT, WP("missing"), 28130, 77u, WP("missing").c_str());
  long long nSize = 0;
  FILETIME ft = {};
  ASSERT_EQ(CDiskFile::__bGetFileAttributesAndSize(nAttributes, &nSize, &ft, WP("f").c_str(), nErr,
                                                   nullptr),
            1);
  EXPECT_EQ(nSize, 1);
  EXPECT_GT(FileTimeToU64(ft), kFileTimeEpoch);
}

TEST_F(FileSystem, ModificationTimeAndDiskSpace) {
  WriteBytes(P("f"), "x");
  struct utimbuf stTimes = {1700000000, 1700000000};
  ASSERT_EQ(utime(P("f").c_str(), &stTimes), 0);
  CDiskFile::_stXFILETIME stTime = {};
  ASSERT_EQ(CDiskFile::bGetLastModificationTime(WP("f").c_str(), &stTime, nullptr), 1);
  const time_t t = 1700000000;
  struct tm stTm;
  localtime_r(&t, &stTm);
  EXPECT_EQ(stTime.wYear, stTm.tm_year + 1900);
  EXPECT_EQ(stTime.wMinute, stTm.tm_min);
  unsigned long long nTotal = 0, nFree = 0;
  ASSERT_EQ(CDiskFile::bGetDiskSpace(WP("f").c_str(), &nTotal, &nFree, nullptr), 1);
  EXPECT_GT(nTotal, 0u);
  EXPECT_LE(nFree, nTotal);
  CXError clError(&gstMyModuleInfo76);
  EXPECT_EQ(CDiskFile::bGetDiskFreeSpace(WP("missing").c_str(), &nFree, &clError), 0);
  ExpectFileFailure(&clError, ENOENT, WP("missing"), 28138, WP("missing").c_str());
}

// ---------------------------------------------------------------------------
// Temporary names and the directories of the process and user

TEST_F(FileSystem, TempNameCreatesAnEmptyUniqueFile) {
  wchar_t sz[kPathBufferChars];
  CXError clError(&gstMyModuleInfo76);
  ASSERT_EQ(CDiskFile::bGetTempName(sz, W(m_dir.Path()).c_str(), L"pre", &clError), 1);
  const std::string name = kqtest::U(sz);
  EXPECT_EQ(name.rfind(P("pre"), 0), 0u);
  EXPECT_EQ(name.size(), P("pre").size() + 6);
  EXPECT_TRUE(bExists(name));
  EXPECT_EQ(ReadBytes(name), "");
  wchar_t sz2[kPathBufferChars];
  ASSERT_EQ(CDiskFile::bGetTempName(sz2, WP("").c_str(), L"pre", &clError), 1);
  EXPECT_NE(std::wstring(sz), std::wstring(sz2));
}

TEST_F(FileSystem, TempNameRefusesPrefixesThatLeaveTheDirectoryAndNamesThatDoNotFit) {
  wchar_t sz[kPathBufferChars] = L"untouched";
  CXError clError(&gstMyModuleInfo76);
  EXPECT_EQ(CDiskFile::bGetTempName(sz, W(m_dir.Path()).c_str(), L"../x", &clError), 0);
  ExpectFileFailure(&clError, EINVAL, W(m_dir.Path()), 28134, W(m_dir.Path()).c_str(), L"../x");
  const std::wstring longPrefix(300, L'p');
  EXPECT_EQ(CDiskFile::bGetTempName(sz, W(m_dir.Path()).c_str(), longPrefix.c_str(), &clError), 0);
  EXPECT_EQ(clError.dwGetSystemErrorCode(), static_cast<unsigned int>(ENAMETOOLONG));
  EXPECT_STREQ(sz, L"untouched");
  EXPECT_TRUE(std::filesystem::is_empty(m_dir.Path()));
  EXPECT_EQ(CDiskFile::bGetTempName(sz, WP("missing").c_str(), L"p", &clError), 0);
  EXPECT_EQ(clError.dwGetSystemErrorCode(), static_cast<unsigned int>(ENOENT));
}

// Sets an environment variable for one test and puts it back.
class CEnvironment {
 public:
  CEnvironment(const char* pszName, const std::string& value) : m_name(pszName) {
    const char* p = getenv(pszName);
    m_bHad = p != nullptr;
    if (m_bHad) m_old = p;
    setenv(pszName, value.c_str(), 1);
  }
  ~CEnvironment() {
    if (m_bHad) {
      setenv(m_name.c_str(), m_old.c_str(), 1);
    } else {
      unsetenv(m_name.c_str());
    }
  }

 private:
  std::string m_name;
  std::string m_old;
  bool m_bHad = false;
};

TEST_F(FileSystem, TheTemporaryAndHomeDirectoriesAreReadAsUtf8) {
  const std::string base = kqtest::ProcessDir("env");
  const std::string dir = base + "/t\xC3\xA9mp\xE2\x82\xAC";
  ASSERT_EQ(mkdir(dir.c_str(), 0777), 0);
  {
    CEnvironment clTmp("TMPDIR", dir);
    wchar_t sz[kPathBufferChars];
    ASSERT_EQ(CDiskFile::bGetTempDirectory(sz, nullptr), 1);
    EXPECT_EQ(std::wstring(sz), W(dir) + L"/");
    ASSERT_EQ(CDiskFile::bGetTempName(sz, L"q", nullptr), 1);
    EXPECT_EQ(std::wstring(sz).rfind(W(dir) + L"/q", 0), 0u);
  }
  {
    CEnvironment clHome("HOME", dir);
    CTString clHomeDir;
    CDiskFile::GetHomeDir(&clHomeDir);
    EXPECT_EQ(std::wstring(clHomeDir.pszGet()), W(dir));
    wchar_t sz[kPathBufferChars];
    ASSERT_EQ(CDiskFile::Unix_gethomedir(sz, kPathBufferChars), 1);
    EXPECT_EQ(std::wstring(sz), W(dir));
    EXPECT_EQ(CDiskFile::Unix_gethomedir(sz, 4), 0) << "a home that does not fit";
  }
  {
    CEnvironment clTmp("TMPDIR", base + "/not_a_directory");
    wchar_t sz[kPathBufferChars];
    ASSERT_EQ(CDiskFile::bGetTempDirectory(sz, nullptr), 1);
    EXPECT_EQ(std::wstring(sz), L"/tmp/");
  }
  kqtest::RemoveProcessDir(base);
}

TEST_F(FileSystem, TheWorkingDirectoryComesBackWide) {
  const std::string dir = P("w\xC3\xA9rk");
  ASSERT_EQ(mkdir(dir.c_str(), 0777), 0);
  char* pszOld = getcwd(nullptr, 0);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  wchar_t sz[kPathBufferChars];
  const int b = CDiskFile::bGetCurrentDirectory(sz, nullptr);
  wchar_t szSmall[4];
  const int bSmall = CDiskFile::Unix_getcwd(szSmall, 4);
  ASSERT_EQ(chdir(pszOld), 0);
  free(pszOld);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(std::wstring(sz), W(dir));
  EXPECT_EQ(bSmall, 0);
  EXPECT_STREQ(szSmall, L"");
}

// ---------------------------------------------------------------------------
// Times

TEST(FileTimes, DosTimesRoundTripToEvenSeconds) {
  const CDiskFile::_stXFILETIME stTime = {2024, 5, 17, 13, 45, 31, 250};
  unsigned int nDos = 0;
  ASSERT_EQ(CDiskFile::bSystemTimeToDosFileTime(&stTime, &nDos), 1);
  CDiskFile::_stXFILETIME stBack = {};
  ASSERT_EQ(CDiskFile::bDosFileTimeToSystemTime(nDos, &stBack), 1);
  const CDiskFile::_stXFILETIME stExpected = {2024, 5, 17, 13, 45, 30, 0};
  EXPECT_EQ(CDiskFile::nCompareSystemTime(&stExpected, &stBack), 0);
}

TEST(FileTimes, CompareAnswersTheFirstDifference) {
  const CDiskFile::_stXFILETIME a = {2024, 5, 17, 13, 45, 30, 100};
  const CDiskFile::_stXFILETIME b = {2024, 5, 17, 13, 45, 30, 350};
  EXPECT_EQ(CDiskFile::nCompareSystemTime(&a, &b), 250);
  EXPECT_EQ(CDiskFile::nCompareSystemTime(&b, &a), -250);
  const CDiskFile::_stXFILETIME c = {2025, 1, 1, 0, 0, 0, 0};
  EXPECT_EQ(CDiskFile::nCompareSystemTime(&a, &c), 1);
}

TEST(FileTimes, LocalTimesRoundTripThroughFiletime) {
  const CDiskFile::_stXFILETIME stTime = {2023, 11, 2, 8, 9, 10, 11};
  FILETIME ft;
  ASSERT_EQ(CDiskFile::bSystemTimeToFileTime(&stTime, &ft), 1);
  CDiskFile::_stXFILETIME stBack = {};
  ASSERT_EQ(CDiskFile::bFileTimeToSystemTime(&ft, &stBack), 1);
  EXPECT_EQ(CDiskFile::nCompareSystemTime(&stTime, &stBack), 0);
}

}  // namespace
