// Directories and trees: making directories with their parents (260, 261 and
// over-long paths), removing them, deleting trees that hold links (dangling,
// looping, pointing out of the tree), FIFOs and sockets without touching
// anything outside, and the walks with callbacks.
#include "platform/directories.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <set>
#include <string>

#include "platform/disk_file.h"
#include "tests/platform/file_test_support.h"

namespace {

using kqtest::bExists;
using kqtest::ExpectFileFailure;
using kqtest::ReadBytes;
using kqtest::W;
using kqtest::WriteBytes;

class Directories : public kqtest::FilesTest {};

bool bIsDir(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST_F(Directories, CreateDirectoryMakesEveryMissingLevel) {
  CXError clError(&gstMyModuleInfo76);
  EXPECT_EQ(CDiskFile::bCreateDirectory(WP("a/b/c/").c_str(), &clError), 1);
  EXPECT_TRUE(bIsDir(P("a/b/c")));
  EXPECT_EQ(CDiskFile::bCreateDirectory(WP("a/b/c").c_str(), &clError), 1) << "it exists";
  EXPECT_EQ(CDiskFile::bCreateDirectory(WP("x\\y").c_str(), &clError), 1);
  EXPECT_TRUE(bIsDir(P("x/y")));
  EXPECT_EQ(CDiskFile::bCreateDirectory(L"", &clError), 0);
}

TEST_F(Directories, CreateDirectoryOnAFileFailsAndChangesNothing) {
  WriteBytes(P("file"), "x");
  CXError clError(&gstMyModuleInfo76);
  EXPECT_EQ(CDiskFile::bCreateDirectory(WP("file").c_str(), &clError), 0);
  ExpectFileFailure(&clError, EEXIST, WP("file"), 28126, WP("file").c_str());
  EXPECT_EQ(CDiskFile::bCreateDirectory(WP("file/sub").c_str(), &clError), 0);
  ExpectFileFailure(&clError, ENOTDIR, WP("file"), 28126, WP("file").c_str());
  EXPECT_EQ(ReadBytes(P("file")), "x");
}

TEST_F(Directories, LongPathsAreCreatedExactlyOrRefusedWhole) {
  const std::string base = m_dir.Path() + "/";
  for (size_t nTotal : {260u, 261u, 1000u}) {
    SCOPED_TRACE(nTotal);
    // Components of 100 characters up to the length asked.
    std::string path = base + "L" + std::to_string(nTotal);
    while (path.size() < nTotal) {
      const size_t nRoom = nTotal - path.size();
      if (nRoom == 1) {
        path += "z";  // the last component grows by one
      } else {
        path += "/" + std::string(std::min<size_t>(100, nRoom - 1), 'c');
      }
    }
    ASSERT_EQ(path.size(), nTotal);
    EXPECT_EQ(CDiskFile::bCreateDirectory(W(path).c_str(), nullptr), 1);
    EXPECT_TRUE(bIsDir(path)) << "exactly the path asked, never a shorter one";
  }
  // Past the kernel's limit nothing is made at all.
  std::string tooLong = base + "T";
  while (tooLong.size() < 4200) tooLong += "/" + std::string(100, 't');
  CXError clError(&gstMyModuleInfo76);
  EXPECT_EQ(CDiskFile::bCreateDirectory(W(tooLong).c_str(), &clError), 0);
  ExpectFileFailure(&clError, ENAMETOOLONG, W(tooLong), 28126, W(tooLong).c_str());
  EXPECT_FALSE(bExists(base + "T"));
  const std::string longName = base + std::string(300, 'n');
  EXPECT_EQ(CDiskFile::bCreateDirectory(W(longName).c_str(), nullptr), 0);
}

TEST_F(Directories, DeleteDirectoryAndDeleteReportWhatIsInTheWay) {
  ASSERT_EQ(mkdir(P("d").c_str(), 0777), 0);
  WriteBytes(P("d/f"), "x");
  CXError clError(&gstMyModuleInfo76);
  EXPECT_EQ(CDiskFile::bDeleteDirectory(WP("d").c_str(), &clError), 0);
  ExpectFileFailure(&clError, ENOTEMPTY, WP("d"), 28127, WP("d").c_str());
  EXPECT_EQ(CDiskFile::bDeleteDirectory(WP("d/f").c_str(), &clError), 0);
  EXPECT_EQ(clError.dwGetSystemErrorCode(), static_cast<unsigned int>(ENOTDIR));
  EXPECT_EQ(CDiskFile::bDelete(WP("d").c_str(), &clError), 0);
  ExpectFileFailure(&clError, EISDIR, WP("d"), 28123, WP("d").c_str());
  EXPECT_EQ(CDiskFile::bDelete(WP("missing").c_str(), &clError), 0);
  ExpectFileFailure(&clError, ENOENT, WP("missing"), 28123, WP("missing").c_str());
  EXPECT_EQ(CDiskFile::bDelete(WP("d/f").c_str(), &clError), 1);
  EXPECT_EQ(clError.eGetErrorLevel(), CXError::EL_NOERROR);
  EXPECT_EQ(CDiskFile::bDeleteDirectory(WP("d").c_str(), &clError), 1);
  EXPECT_FALSE(bExists(P("d")));
  EXPECT_EQ(CDiskFile::bForceDelete(WP("missing").c_str()), 0);
}

// A tree with every kind of entry, and beside it what its links point to.
class TreeDeletion : public Directories {
 protected:
  void SetUp() override {
    Directories::SetUp();
    ASSERT_EQ(mkdir(P("outside").c_str(), 0777), 0);
    WriteBytes(P("outside/keep.txt"), "outside file");
    WriteBytes(P("outside.txt"), "outside single file");
    ASSERT_EQ(mkdir(P("tree").c_str(), 0777), 0);
    ASSERT_EQ(mkdir(P("tree/sub").c_str(), 0777), 0);
    ASSERT_EQ(mkdir(P("tree/sub/deeper").c_str(), 0777), 0);
    WriteBytes(P("tree/a.txt"), "a");
    WriteBytes(P("tree/sub/b.txt"), "b");
    WriteBytes(P("tree/sub/deeper/c.txt"), "c");
    ASSERT_EQ(symlink(P("outside").c_str(), P("tree/to_outside_dir").c_str()), 0);
    ASSERT_EQ(symlink(P("outside.txt").c_str(), P("tree/sub/to_outside_file").c_str()), 0);
    ASSERT_EQ(symlink(P("nowhere").c_str(), P("tree/dangling").c_str()), 0);
    ASSERT_EQ(symlink(P("tree/sub/loop2").c_str(), P("tree/sub/loop1").c_str()), 0);
    ASSERT_EQ(symlink(P("tree/sub/loop1").c_str(), P("tree/sub/loop2").c_str()), 0);
    ASSERT_EQ(symlink("..", P("tree/sub/deeper/up").c_str()), 0);
    ASSERT_EQ(mkfifo(P("tree/fifo").c_str(), 0644), 0);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    struct sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    const std::string sock = P("tree/s");
    ASSERT_LT(sock.size(), sizeof(addr.sun_path));
    std::strcpy(addr.sun_path, sock.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<struct sockaddr*>(&addr), sizeof(addr)), 0);
    close(fd);
  }
  void ExpectOutsideIntact() {
    EXPECT_EQ(ReadBytes(P("outside/keep.txt")), "outside file");
    EXPECT_EQ(ReadBytes(P("outside.txt")), "outside single file");
  }
};

TEST_F(TreeDeletion, DeleteTreeRemovesEverythingInsideAndNothingOutside) {
  CXError clError(&gstMyModuleInfo76);
  EXPECT_EQ(CDiskFile::bDeleteTree(WP("tree").c_str(), &clError), 1)
      << kqtest::U(clError.pszGetUserMessage());
  EXPECT_FALSE(bExists(P("tree")));
  ExpectOutsideIntact();
}

TEST_F(TreeDeletion, PurgeTreeKeepsTheDirectoryItself) {
  EXPECT_EQ(CDiskFile::bPurgeTree(WP("tree/").c_str(), nullptr), 1);
  EXPECT_TRUE(bIsDir(P("tree")));
  EXPECT_TRUE(std::filesystem::is_empty(P("tree")));
  ExpectOutsideIntact();
}

TEST_F(TreeDeletion, ALinkNamedAsTheTreeIsNotFollowed) {
  ASSERT_EQ(symlink(P("outside").c_str(), P("alias").c_str()), 0);
  CXError clError(&gstMyModuleInfo76);
  EXPECT_EQ(CDiskFile::bDeleteTree(WP("alias").c_str(), &clError), 0);
  ExpectFileFailure(&clError, ENOTDIR, WP("alias"), 28127, WP("alias").c_str());
  EXPECT_EQ(CDiskFile::bPurgeTree(WP("alias/").c_str(), &clError), 0);
  ExpectOutsideIntact();
}

TEST_F(TreeDeletion, AMissingTreeHasNothingToPurgeButCannotBeDeleted) {
  CXError clError(&gstMyModuleInfo76);
  EXPECT_EQ(CDiskFile::bPurgeTree(WP("missing").c_str(), &clError), 1);
  EXPECT_EQ(CDiskFile::bDeleteTree(WP("missing").c_str(), &clError), 0);
  ExpectFileFailure(&clError, ENOENT, WP("missing"), 28127, WP("missing").c_str());
  EXPECT_EQ(CDiskFile::bPurgeTree(L"", &clError), 0);
  EXPECT_EQ(CDiskFile::bPurgeTree(L"/", &clError), 0);
  EXPECT_EQ(clError.dwGetSystemErrorCode(), static_cast<unsigned int>(EPERM));
}

TEST_F(TreeDeletion, AFileThatCannotBeDeletedStopsTheWalkWithItsName) {
  // Root may delete anything: the refusal is seen by an ordinary user in a
  // tree of its own whose subdirectory it made read-only.
  const std::wstring tree = WP("user_tree");
  const std::string sub = P("user_tree/ro");
  const int n = kqtest::RunUnprivileged([&] {
    if (!CDiskFile::bCreateDirectory((tree + L"/ro").c_str(), nullptr)) return 10;
    WriteBytes(sub + "/f", "x");
    if (chmod(sub.c_str(), 0555) != 0) return 11;
    CXError clError(&gstMyModuleInfo76);
    if (CDiskFile::bDeleteTree(tree.c_str(), &clError)) return 12;
    if (clError.dwGetSystemErrorCode() != EACCES) return 13;
    if (kqtest::InfoText(&clError, CXError::EIT_SRCFILE) != tree + L"/ro/f") return 14;
    if (!bExists(sub + "/f")) return 15;
    if (!CDiskFile::bDeleteTreeEvenReadOnly(tree.c_str(), &clError)) return 16;
    return bExists(kqtest::U(tree)) ? 17 : 0;
  });
  EXPECT_EQ(n, 0);
}

TEST_F(Directories, ADeepTreeIsDeletedWhole) {
  std::string path = P("deep");
  for (int i = 0; i < 300; ++i) path += "/d";
  ASSERT_EQ(CDiskFile::bCreateDirectory(W(path).c_str(), nullptr), 1);
  WriteBytes(path + "/leaf", "x");
  EXPECT_EQ(CDiskFile::bDeleteTree(WP("deep").c_str(), nullptr), 1);
  EXPECT_FALSE(bExists(P("deep")));
}

// ---------------------------------------------------------------------------
// Walks with callbacks

std::set<std::string>* g_pSeen = nullptr;
int g_nStopAfter = -1;

int Collect(const wchar_t* pszPath, int nData) {
  g_pSeen->insert(kqtest::U(pszPath));
  EXPECT_EQ(nData, 42);
  return g_nStopAfter < 0 || static_cast<int>(g_pSeen->size()) < g_nStopAfter;
}

class TreeWalk : public TreeDeletion {
 protected:
  void SetUp() override {
    TreeDeletion::SetUp();
    g_pSeen = &m_seen;
    g_nStopAfter = -1;
  }
  void TearDown() override {
    g_pSeen = nullptr;
    TreeDeletion::TearDown();
  }
  std::set<std::string> m_seen;
};

TEST_F(TreeWalk, FileTreeOffersMatchingFilesAndEntersOnlyRealDirectories) {
  EXPECT_EQ(CDiskFile::bDoOnFileTree(WP("tree").c_str(), L"*.txt", Collect, 42, 0, 1), 1);
  EXPECT_EQ(m_seen, (std::set<std::string>{P("tree/a.txt"), P("tree/sub/b.txt"),
                                           P("tree/sub/deeper/c.txt")}));
  m_seen.clear();
  EXPECT_EQ(CDiskFile::bDoOnFileTree(WP("tree/").c_str(), L"*.txt", Collect, 42, 0, 0), 1);
  EXPECT_EQ(m_seen, (std::set<std::string>{P("tree/a.txt")}));
}

TEST_F(TreeWalk, DirectoryTreeOffersDirectoriesWhenAsked) {
  EXPECT_EQ(CDiskFile::bDoOnDirectoryTree(WP("tree").c_str(), L"*", Collect, 42, 1, 1), 1);
  EXPECT_EQ(m_seen, (std::set<std::string>{P("tree/sub"), P("tree/to_outside_dir"),
                                           P("tree/sub/deeper"), P("tree/sub/deeper/up")}));
  m_seen.clear();
  EXPECT_EQ(CDiskFile::bDoOnDirectoryTree(WP("tree").c_str(), L"*", Collect, 42, 0, 1), 1);
  EXPECT_TRUE(m_seen.empty());
}

TEST_F(TreeWalk, ACallbackAnsweringZeroStopsTheWalk) {
  g_nStopAfter = 1;
  EXPECT_EQ(CDiskFile::bDoOnFileTree(WP("tree").c_str(), L"*.txt", Collect, 42, 0, 1), 0);
  EXPECT_EQ(m_seen.size(), 1u);
}

TEST_F(TreeWalk, ForceDeleteOnFileTreeDeletesMatchingEntriesButDirectories) {
  EXPECT_EQ(CDiskFile::bForceDeleteOnFileTree(WP("tree").c_str(), L"*.txt", 1, nullptr), 1);
  EXPECT_FALSE(bExists(P("tree/a.txt")));
  EXPECT_FALSE(bExists(P("tree/sub/b.txt")));
  EXPECT_FALSE(bExists(P("tree/sub/deeper/c.txt")));
  EXPECT_TRUE(bExists(P("tree/fifo")));
  EXPECT_TRUE(bIsDir(P("tree/sub")));
  ExpectOutsideIntact();
  EXPECT_EQ(CDiskFile::bForceDeleteOnFileTree(WP("tree").c_str(), L"*", 1, nullptr), 1);
  EXPECT_FALSE(bExists(P("tree/dangling")));
  EXPECT_FALSE(bExists(P("tree/sub/loop1")));
  EXPECT_TRUE(bExists(P("tree/to_outside_dir"))) << "a link to a directory reads as a directory";
  ExpectOutsideIntact();
}

}  // namespace
