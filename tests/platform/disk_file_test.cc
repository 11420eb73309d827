// CDiskFile against real files in a temporary directory: every open, share
// and create mode, locks held by another process, retries, reads, writes,
// seeks, sizes, slices, line reading with a separator, and the failures
// recorded on the stream's error object.
#include "platform/disk_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "core/binary_buffer.h"
#include "core/wide_string.h"
#include "tests/platform/file_test_support.h"

namespace {

using kqtest::bExists;
using kqtest::ExpectFileFailure;
using kqtest::ReadBytes;
using kqtest::W;
using kqtest::WriteBytes;

class DiskFile : public kqtest::FilesTest {};

constexpr auto kRead = IXStream::eACCESS_READ;
constexpr auto kWrite = IXStream::eACCESS_WRITE;
constexpr auto kReadWrite = IXStream::eACCESS_READWRITE;
constexpr auto kShared = IXStream::eSHARE_SHARED;
constexpr auto kExclusive = IXStream::eSHARE_EXCLUSIVE;
constexpr auto kNoLock = IXStream::eSHARE_NONE;
constexpr auto kExisting = IXStream::eCREATE_EXISTING;
constexpr auto kOpenOrCreate = IXStream::eCREATE_OPEN_OR_CREATE;
constexpr auto kCreateOrEmpty = IXStream::eCREATE_CREATE_OR_EMPTY;
constexpr auto kNoFlag = IXStream::eFLAG_NONE;

mode_t Umask() {
  const mode_t m = umask(0);
  umask(m);
  return m;
}

// ---------------------------------------------------------------------------
// Open modes

TEST_F(DiskFile, EveryAccessAndCreateModeOnExistingAndMissingFiles) {
  struct Case {
    IXStream::eACCESS access;
    IXStream::eCREATE create;
    bool exists;
    int result;
    int created;
    const char* content;  // afterwards; null: no file
    unsigned int message;
  };
  const Case cases[] = {
      {kRead, kExisting, true, 1, 0, "old", 0},
      {kWrite, kExisting, true, 1, 0, "old", 0},
      {kReadWrite, kExisting, true, 1, 0, "old", 0},
      {IXStream::eACCESS_DEFAULT, kExisting, true, 1, 0, "old", 0},
      {kRead, kExisting, false, 0, 0, nullptr, 28139},
      {kReadWrite, kExisting, false, 0, 0, nullptr, 28139},
      {kRead, kOpenOrCreate, true, 1, 0, "old", 0},
      {kReadWrite, kOpenOrCreate, true, 1, 0, "old", 0},
      {kRead, kOpenOrCreate, false, 1, 1, "", 0},
      {kWrite, kOpenOrCreate, false, 1, 1, "", 0},
      {kReadWrite, kCreateOrEmpty, true, 1, 1, "", 0},
      {kWrite, kCreateOrEmpty, true, 1, 1, "", 0},
      {kRead, kCreateOrEmpty, true, 1, 1, "", 0},
      {kReadWrite, kCreateOrEmpty, false, 1, 1, "", 0},
  };
  int nCase = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << nCase);
    const std::string name = P("f" + std::to_string(nCase++));
    if (c.exists) WriteBytes(name, "old");
    CDiskFile clFile;
    int bCreated = -1;
    EXPECT_EQ(clFile.bOpen(W(name).c_str(), c.access, kNoLock, c.create, kNoFlag, &bCreated),
              c.result);
    EXPECT_EQ(bCreated, c.created);
    EXPECT_EQ(clFile.bIsOpen(), c.result);
    if (c.result) {
      EXPECT_EQ(std::wstring(clFile.pszGetName()), W(name));
      const int nMode = clFile.veGetAccess() & O_ACCMODE;
      EXPECT_EQ(nMode, c.access == IXStream::eACCESS_DEFAULT ? 0 : static_cast<int>(c.access));
    } else {
      ExpectFileFailure(clFile.pclGetXError(), ENOENT, W(name), c.message, W(name).c_str());
    }
    clFile.Close();
    if (c.content == nullptr) {
      EXPECT_FALSE(bExists(name));
    } else {
      EXPECT_EQ(ReadBytes(name), c.content);
    }
  }
}

TEST_F(DiskFile, ACreatedFileHasMode0666LessTheUmask) {
  CDiskFile clFile;
  ASSERT_EQ(clFile.bOpen(WP("new").c_str(), kWrite, kNoLock, kOpenOrCreate, kNoFlag, nullptr), 1);
  struct stat st;
  ASSERT_EQ(stat(P("new").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~Umask());
}

TEST_F(DiskFile, ReadAccessRefusesWritesAndWriteAccessRefusesReads) {
  WriteBytes(P("f"), "data");
  CDiskFile clReader;
  ASSERT_EQ(clReader.bOpen(WP("f").c_str(), kRead, kNoLock, kExisting, kNoFlag, nullptr), 1);
  EXPECT_EQ(clReader.bWrite("x", 1, nullptr), 0);
  ExpectFileFailure(clReader.pclGetXError(), EBADF, WP("f"), 28008, WP("f").c_str());
  CDiskFile clWriter;
  ASSERT_EQ(clWriter.bOpen(WP("f").c_str(), kWrite, kNoLock, kExisting, kNoFlag, nullptr), 1);
  char c;
  unsigned int n = 0;
  EXPECT_EQ(clWriter.bRead(&c, 1, &n), 0);
  ExpectFileFailure(clWriter.pclGetXError(), EBADF, WP("f"), 28003, WP("f").c_str());
  EXPECT_EQ(ReadBytes(P("f")), "data");
}

TEST_F(DiskFile, ADirectoryOpensOnlyWithTheDirectoryFlag) {
  ASSERT_EQ(mkdir(P("d").c_str(), 0777), 0);
  CDiskFile clFile;
  EXPECT_EQ(clFile.bOpen(WP("d").c_str(), kRead, kNoLock, kExisting, kNoFlag, nullptr), 0);
  ExpectFileFailure(clFile.pclGetXError(), EISDIR, WP("d"), 28139, WP("d").c_str());
  EXPECT_EQ(clFile.bOpen(WP("d").c_str(), kRead, kShared, kExisting, IXStream::eFLAG_DIRECTORY,
                         nullptr),
            1);
  EXPECT_TRUE(clFile.bIsOpen());
  EXPECT_EQ(clFile.bOpen(WP("d").c_str(), kWrite, kNoLock, kExisting, kNoFlag, nullptr), 0);
  EXPECT_EQ(clFile.pclGetXError()->dwGetSystemErrorCode(), static_cast<unsigned int>(EISDIR));
}

TEST_F(DiskFile, BadNamesAreRecordedAndCreateNothing) {
  struct Case {
    const char* name;
    std::wstring path;
    unsigned int nErr;
  };
  const std::wstring longName = WP("") + std::wstring(4097, L'l');
  const std::wstring missingParent = WP("no/such/dir/f");
  const std::wstring badChar = WP("") + std::wstring(1, static_cast<wchar_t>(0x110000));
  const Case cases[] = {
      {"4,097 characters", longName, ENAMETOOLONG},
      {"a missing parent", missingParent, ENOENT},
      {"a character UTF-8 cannot hold", badChar, EILSEQ},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CDiskFile clFile;
    EXPECT_EQ(clFile.bOpen(c.path.c_str(), kWrite, kNoLock, kOpenOrCreate, kNoFlag, nullptr), 0);
    ExpectFileFailure(clFile.pclGetXError(), c.nErr, c.path, 28002, c.path.c_str());
    EXPECT_FALSE(clFile.bIsOpen());
  }
  CDiskFile clEmpty;
  EXPECT_EQ(clEmpty.bOpen(L"", kRead, kNoLock, kExisting, kNoFlag, nullptr), 0);
  EXPECT_EQ(clEmpty.pclGetXError()->dwGetSystemErrorCode(), static_cast<unsigned int>(ENOENT));
  // Nothing appeared in the directory.
  EXPECT_TRUE(std::filesystem::is_empty(m_dir.Path()));
}

TEST_F(DiskFile, NamesReachTheSystemInUtf8AndBackslashesAsSlashes) {
  const std::wstring name = WP("h\u00e9llo\u20ac.txt");
  CDiskFile clFile;
  ASSERT_EQ(clFile.bOpen(name.c_str(), kWrite, kNoLock, kOpenOrCreate, kNoFlag, nullptr), 1);
  EXPECT_TRUE(bExists(P("h\xc3\xa9llo\xe2\x82\xac.txt")));
  ASSERT_EQ(mkdir(P("sub").c_str(), 0777), 0);
  const std::wstring withBackslash = WP("sub\\g");
  CDiskFile clOther;
  ASSERT_EQ(clOther.bOpen(withBackslash.c_str(), kWrite, kNoLock, kOpenOrCreate, kNoFlag, nullptr),
            1);
  EXPECT_TRUE(bExists(P("sub/g")));
  EXPECT_EQ(std::wstring(clOther.pszGetName()), WP("sub/g"));
}

TEST_F(DiskFile, AReadOnlyFileRefusesWritingToAnOrdinaryUser) {
  // Root ignores permission bits: the check runs in a child without them.
  WriteBytes(P("ro"), "keep");
  ASSERT_EQ(chmod(P("ro").c_str(), 0444), 0);
  const std::wstring name = WP("ro");
  const int n = kqtest::RunUnprivileged([&] {
    CDiskFile clFile;
    if (clFile.bOpen(name.c_str(), kWrite, kNoLock, kExisting, kNoFlag, nullptr)) return 1;
    if (clFile.pclGetXError()->dwGetSystemErrorCode() != EACCES) return 2;
    if (clFile.pclGetXError()->eGetErrorLevel() != CXError::EL_ERROR) return 3;
    CDiskFile clCreator;
    if (clCreator.bOpen(name.c_str(), kWrite, kNoLock, kCreateOrEmpty, kNoFlag, nullptr)) return 4;
    return 0;
  });
  EXPECT_EQ(n, 0);
  EXPECT_EQ(ReadBytes(P("ro")), "keep");
}

// ---------------------------------------------------------------------------
// Share modes and locks held by another process

TEST_F(DiskFile, ShareModesAgainstALockHeldByAnotherProcess) {
  struct Case {
    short childLock;
    IXStream::eACCESS access;
    IXStream::eSHARE share;
    int result;
  };
  const Case cases[] = {
      {F_RDLCK, kRead, kShared, 1},       {F_RDLCK, kReadWrite, kExclusive, 0},
      {F_RDLCK, kReadWrite, kNoLock, 1},  {F_WRLCK, kRead, kShared, 0},
      {F_WRLCK, kReadWrite, kExclusive, 0}, {F_WRLCK, kReadWrite, kNoLock, 1},
  };
  WriteBytes(P("shared"), "content");
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "child " << (c.childLock == F_RDLCK ? "read" : "write")
                                    << " lock, share " << c.share);
    kqtest::CLockHolder clHolder(P("shared"), c.childLock);
    ASSERT_TRUE(clHolder.bHolding());
    CDiskFile clFile;
    EXPECT_EQ(clFile.bOpen(WP("shared").c_str(), c.access, c.share, kExisting, kNoFlag, nullptr),
              c.result);
    if (!c.result) {
      ExpectFileFailure(clFile.pclGetXError(), kLockConflict, WP("shared"), 28139,
                        WP("shared").c_str());
      EXPECT_FALSE(clFile.bIsOpen());
    }
  }
  EXPECT_EQ(ReadBytes(P("shared")), "content");
}

TEST_F(DiskFile, WithoutAConflictingHolderEveryShareModeOpens) {
  WriteBytes(P("f"), "x");
  for (auto share : {kShared, kExclusive, kNoLock}) {
    CDiskFile clFile;
    EXPECT_EQ(clFile.bOpen(WP("f").c_str(), kReadWrite, share, kExisting, kNoFlag, nullptr), 1);
  }
}

TEST_F(DiskFile, AShareLockNeedsTheMatchingAccess) {
  WriteBytes(P("f"), "x");
  CDiskFile clFile;
  EXPECT_EQ(clFile.bOpen(WP("f").c_str(), kRead, kExclusive, kExisting, kNoFlag, nullptr), 0);
  EXPECT_EQ(clFile.pclGetXError()->dwGetSystemErrorCode(), static_cast<unsigned int>(EBADF));
  EXPECT_EQ(clFile.bOpen(WP("f").c_str(), kReadWrite, static_cast<IXStream::eSHARE>(7), kExisting,
                         kNoFlag, nullptr),
            0);
  EXPECT_EQ(clFile.pclGetXError()->dwGetSystemErrorCode(), static_cast<unsigned int>(EINVAL));
}

TEST_F(DiskFile, CreateOrEmptyLeavesAFileHeldElsewhereUntouched) {
  WriteBytes(P("held"), "precious");
  for (short nLock : {F_RDLCK, F_WRLCK}) {
    kqtest::CLockHolder clHolder(P("held"), nLock);
    ASSERT_TRUE(clHolder.bHolding());
    CDiskFile clFile;
    EXPECT_EQ(clFile.bOpen(WP("held").c_str(), kReadWrite, kExclusive, kCreateOrEmpty, kNoFlag,
                           nullptr),
              0);
    ExpectFileFailure(clFile.pclGetXError(), kLockConflict, WP("held"), 28140, WP("held").c_str());
    EXPECT_EQ(ReadBytes(P("held")), "precious");
  }
}

// Counts the attempts of the retrying open.
class CCountingDiskFile : public CDiskFile {
 public:
  int bOpen(const wchar_t* p, eACCESS a, eSHARE s, eCREATE c, eFLAG f, int* pb) override {
    ++m_nAttempts;
    return CDiskFile::bOpen(p, a, s, c, f, pb);
  }
  int m_nAttempts = 0;
};

TEST_F(DiskFile, RetriesByCountMakeThatManyAttemptsAndAtLeastOne) {
  WriteBytes(P("f"), "x");
  kqtest::CLockHolder clHolder(P("f"), F_WRLCK);
  ASSERT_TRUE(clHolder.bHolding());
  struct Case {
    unsigned int count;
    int attempts;
  };
  for (const Case& c : {Case{3, 3}, Case{1, 1}, Case{0, 1}}) {
    SCOPED_TRACE(c.count);
    CCountingDiskFile clFile;
    EXPECT_EQ(clFile.bOpenReessais(WP("f").c_str(), 1, c.count, kReadWrite, kExclusive, kExisting,
                                   kNoFlag, nullptr),
              0);
    EXPECT_EQ(clFile.m_nAttempts, c.attempts);
    ExpectFileFailure(clFile.pclGetXError(), kLockConflict, WP("f"), 28139, WP("f").c_str());
  }
}

TEST_F(DiskFile, RetriesStopAtOnceOnAnythingButALockConflict) {
  CCountingDiskFile clFile;
  EXPECT_EQ(clFile.bOpenReessais(WP("missing").c_str(), 1, 5, kReadWrite, kExclusive, kExisting,
                                 kNoFlag, nullptr),
            0);
  EXPECT_EQ(clFile.m_nAttempts, 1);
  EXPECT_EQ(clFile.pclGetXError()->dwGetSystemErrorCode(), static_cast<unsigned int>(ENOENT));
}

TEST_F(DiskFile, RetriesByTimeSucceedOnceTheOtherProcessLetsGo) {
  WriteBytes(P("f"), "x");
  kqtest::CLockHolder clHolder(P("f"), F_WRLCK, 300);
  ASSERT_TRUE(clHolder.bHolding());
  CCountingDiskFile clFile;
  EXPECT_EQ(clFile.bOpenReessais(WP("f").c_str(), 0, 20000, kRead, kExclusive, kExisting, kNoFlag,
                                 nullptr),
            1);
  EXPECT_GE(clFile.m_nAttempts, 2);
  EXPECT_EQ(clFile.veGetAccess() & O_ACCMODE, O_RDWR) << "access 0 becomes read-write";
}

TEST_F(DiskFile, RetriesByTimeWithNoTimeMakeAtMostTwoAttempts) {
  WriteBytes(P("f"), "x");
  kqtest::CLockHolder clHolder(P("f"), F_WRLCK);
  ASSERT_TRUE(clHolder.bHolding());
  CCountingDiskFile clFile;
  EXPECT_EQ(clFile.bOpenReessais(WP("f").c_str(), 0, 0, kReadWrite, kExclusive, kExisting, kNoFlag,
                                 nullptr),
            0);
  EXPECT_GE(clFile.m_nAttempts, 1);
  EXPECT_LE(clFile.m_nAttempts, 2);
}

TEST_F(DiskFile, ByteRangeLocksConflictWithAnotherProcessOnlyWhereTheyOverlap) {
  WriteBytes(P("f"), std::string(100, 'x'));
  kqtest::CLockHolder clHolder(P("f"), F_WRLCK);
  ASSERT_TRUE(clHolder.bHolding());
  CDiskFile clFile;
  ASSERT_EQ(clFile.bOpen(WP("f").c_str(), kReadWrite, kNoLock, kExisting, kNoFlag, nullptr), 1);
  EXPECT_EQ(clFile.bLockFile(10, 5), 0);
  ExpectFileFailure(clFile.pclGetXError(), kLockConflict, WP("f"), 28145, WP("f").c_str(), 10u, 5u);
  errno = 0;
  EXPECT_EQ(clFile.bLock(0, 1), 0);
  EXPECT_EQ(static_cast<unsigned int>(errno), kLockConflict);
}

TEST_F(DiskFile, LocksTakenHereKeepAnotherProcessOut) {
  WriteBytes(P("f"), std::string(100, 'x'));
  CDiskFile clFile;
  ASSERT_EQ(clFile.bOpen(WP("f").c_str(), kReadWrite, kNoLock, kExisting, kNoFlag, nullptr), 1);
  ASSERT_EQ(clFile.bLockFile(0, 0), 1);
  {
    kqtest::CLockHolder clOther(P("f"), F_RDLCK);
    EXPECT_FALSE(clOther.bHolding());
  }
  ASSERT_EQ(clFile.bUnlockFile(0, 0), 1);
  ASSERT_EQ(clFile.bLockFileEx(1, 1), 1);
  {
    kqtest::CLockHolder clOther(P("f"), F_RDLCK);
    EXPECT_FALSE(clOther.bHolding()) << "bytes 0 and 1 are held";
  }
  EXPECT_EQ(clFile.bLockFileEx(0, 0), 1);
  kqtest::CLockHolder clAfter(P("f"), F_WRLCK);
  EXPECT_TRUE(clAfter.bHolding());
  EXPECT_EQ(clFile.bLockShare(50, 10), 0);
  EXPECT_EQ(static_cast<unsigned int>(errno), kLockConflict);
}

// ---------------------------------------------------------------------------
// Reading, writing, seeking and sizes

TEST_F(DiskFile, WritesReadsAndSeeksKeepThePosition) {
  CDiskFile clFile;
  ASSERT_EQ(clFile.bOpen(WP("f").c_str(), kReadWrite, kExclusive, kCreateOrEmpty, kNoFlag, nullptr),
            1);
  unsigned int n = 0;
  ASSERT_EQ(clFile.bWrite("hello world", 11, &n), 1);
  EXPECT_EQ(n, 11u);
  EXPECT_EQ(clFile.oGetOffset(), 11);
  ASSERT_EQ(clFile.bWrite("", 0, &n), 1);
  EXPECT_EQ(n, 0u);
  ASSERT_EQ(clFile.bSeek(-5, IXStream::eSEEK_CURRENT), 1);
  char sz[6] = {};
  ASSERT_EQ(clFile.bRead(sz, 5, nullptr), 1);
  EXPECT_STREQ(sz, "world");
  ASSERT_EQ(clFile.bRead(0LL, sz, 5, &n), 1);
  EXPECT_STREQ(sz, "hello");
  ASSERT_EQ(clFile.bWrite(0LL, "J", 1, nullptr), 1);
  EXPECT_EQ(ReadBytes(P("f")), "Jello world");
  EXPECT_EQ(clFile.oGetSize(), 11);
  EXPECT_EQ(clFile.oGetOffset(), 1) << "oGetSize keeps the position";
  EXPECT_EQ(clFile.oGetSizeFast(), 11);
  EXPECT_EQ(clFile.oGetOffset(), 11) << "oGetSizeFast leaves the stream at the end";
  EXPECT_EQ(clFile.bFlush(), 1);
}

TEST_F(DiskFile, AppendingWritesLandAtTheEndAndTheOffsetFollows) {
  WriteBytes(P("log"), "one;");
  CDiskFile clFile;
  const auto eAppend = static_cast<IXStream::eACCESS>(O_WRONLY | O_APPEND);
  ASSERT_EQ(clFile.bOpen(WP("log").c_str(), eAppend, kNoLock, kExisting, kNoFlag, nullptr), 1);
  ASSERT_EQ(clFile.bSeek(0, IXStream::eSEEK_BEGIN), 1);
  ASSERT_EQ(clFile.bWrite("two;", 4, nullptr), 1);
  EXPECT_EQ(clFile.oGetOffset(), 8);
  EXPECT_EQ(ReadBytes(P("log")), "one;two;");
}

TEST_F(DiskFile, AFifoIsReadWhereItStandsAndCannotSeek) {
  ASSERT_EQ(mkfifo(P("fifo").c_str(), 0600), 0);
  CDiskFile clFile;
  ASSERT_EQ(clFile.bOpen(WP("fifo").c_str(), kRead, kNoLock, kExisting, kNoFlag, nullptr), 1);
  const int fd = open(P("fifo").c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "piped", 5), 5);
  close(fd);
  char sz[8] = {};
  unsigned int n = 0;
  ASSERT_EQ(clFile.bRead(sz, 7, &n), 1);
  EXPECT_EQ(std::string(sz, n), "piped");
  EXPECT_EQ(clFile.bSeek(0, IXStream::eSEEK_BEGIN), 0);
  ExpectFileFailure(clFile.pclGetXError(), ESPIPE, WP("fifo"), 28005, WP("fifo").c_str());
}

TEST_F(DiskFile, AnExactReadPastTheEndFailsWithSystemErrorZero) {
  WriteBytes(P("f"), std::string(30, 'r'));
  CDiskFile clFile;
  ASSERT_EQ(clFile.bOpen(WP("f").c_str(), kRead, kShared, kExisting, kNoFlag, nullptr), 1);
  char buffer[20];
  ASSERT_EQ(clFile.bSeek(20, IXStream::eSEEK_BEGIN), 1);
  EXPECT_EQ(clFile.bRead(buffer, 20, nullptr), 0);
  ExpectFileFailure(clFile.pclGetXError(), 0, WP("f"), 28003, WP("f").c_str());
  EXPECT_NE(std::wstring(clFile.pclGetXError()->pszGetDebugMessage()).find(L"bExact=<1>"),
            std::wstring::npos);
  ASSERT_EQ(clFile.bSeek(20, IXStream::eSEEK_BEGIN), 1);
  unsigned int n = 0;
  EXPECT_EQ(clFile.bRead(buffer, 20, &n), 1);
  EXPECT_EQ(n, 10u);
  EXPECT_EQ(clFile.pclGetXError()->eGetErrorLevel(), CXError::EL_NOERROR)
      << "a success sets the level back to 1";
}

TEST_F(DiskFile, ASeekBeforeTheStartIsRecorded) {
  CDiskFile clFile;
  ASSERT_EQ(clFile.bOpen(WP("f").c_str(), kReadWrite, kNoLock, kOpenOrCreate, kNoFlag, nullptr), 1);
  EXPECT_EQ(clFile.bSeek(-1, IXStream::eSEEK_BEGIN), 0);
  ExpectFileFailure(clFile.pclGetXError(), EINVAL, WP("f"), 28005, WP("f").c_str());
}

TEST_F(DiskFile, SizeChangesAbsoluteFromTheEndAndRefusedModes) {
  WriteBytes(P("f"), "0123456789");
  CDiskFile clFile;
  ASSERT_EQ(clFile.bOpen(WP("f").c_str(), kReadWrite, kExclusive, kExisting, kNoFlag, nullptr), 1);
  ASSERT_EQ(clFile.bSetSize(4, IXStream::eGROW_ABSOLUTE), 1);
  EXPECT_EQ(ReadBytes(P("f")), "0123");
  ASSERT_EQ(clFile.bSetSize(2, IXStream::eGROW_FROM_END), 1);
  EXPECT_EQ(ReadBytes(P("f")), std::string("0123\0\0", 6));
  EXPECT_EQ(clFile.bSetSize(1, static_cast<IXStream::eGROW>(2)), 0);
  EXPECT_EQ(clFile.pclGetXError()->eGetErrorLevel(), CXError::EL_NOERROR) << "nothing recorded";
  EXPECT_EQ(ReadBytes(P("f")).size(), 6u);
}

TEST_F(DiskFile, IncreaseSizeGrowsByZerosAndZeroOrLessChangesNothing) {
  WriteBytes(P("f"), "abc");
  CDiskFile clFile;
  ASSERT_EQ(clFile.bOpen(WP("f").c_str(), kReadWrite, kExclusive, kExisting, kNoFlag, nullptr), 1);
  EXPECT_EQ(clFile.bIncreaseSize(0), 1);
  EXPECT_EQ(ReadBytes(P("f")), "abc") << "the last byte is not overwritten";
  EXPECT_EQ(clFile.bIncreaseSize(-2), 0);
  ExpectFileFailure(clFile.pclGetXError(), EINVAL, WP("f"), 28004, WP("f").c_str());
  EXPECT_EQ(ReadBytes(P("f")), "abc");
  EXPECT_EQ(clFile.bIncreaseSize(3), 1);
  EXPECT_EQ(ReadBytes(P("f")), std::string("abc\0\0\0", 6));
}

TEST_F(DiskFile, ExtendFileWritesItsZeroOnlyWhenTheFileGrows) {
  WriteBytes(P("f"), "abcdef");
  CDiskFile clFile;
  ASSERT_EQ(clFile.bOpen(WP("f").c_str(), kReadWrite, kExclusive, kExisting, kNoFlag, nullptr), 1);
  EXPECT_EQ(clFile.bExtendFile(4), 1);
  EXPECT_EQ(ReadBytes(P("f")), "abcd") << "the last kept byte stays";
  EXPECT_EQ(clFile.bExtendFile(4), 1);
  EXPECT_EQ(ReadBytes(P("f")), "abcd");
  EXPECT_EQ(clFile.bExtendFile(6), 1);
  EXPECT_EQ(ReadBytes(P("f")), std::string("abcd\0\0", 6));
  EXPECT_EQ(clFile.bExtendFile(0), 1);
  EXPECT_EQ(ReadBytes(P("f")), "");
}

TEST_F(DiskFile, AClosedStreamRefusesEverythingWithEbadf) {
  CDiskFile clFile;
  EXPECT_EQ(clFile.Close(), -1);
  char c;
  EXPECT_EQ(clFile.bRead(&c, 1, nullptr), 0);
  EXPECT_EQ(clFile.pclGetXError()->dwGetSystemErrorCode(), static_cast<unsigned int>(EBADF));
  EXPECT_EQ(clFile.bWrite(&c, 1, nullptr), 0);
  EXPECT_EQ(clFile.bFlush(), 0);
  EXPECT_EQ(clFile.pclGetXError()->dwGetSystemErrorCode(), static_cast<unsigned int>(EBADF));
  EXPECT_EQ(clFile.oGetSize(), -1);
  EXPECT_EQ(clFile.bLock(0, 1), 0);
}

TEST_F(DiskFile, AFileDeletedWhileOpenStaysReadableAndCannotBeReopened) {
  WriteBytes(P("f"), "still here");
  CDiskFile clFile;
  ASSERT_EQ(clFile.bOpen(WP("f").c_str(), kRead, kShared, kExisting, kNoFlag, nullptr), 1);
  ASSERT_EQ(unlink(P("f").c_str()), 0);
  char sz[11] = {};
  EXPECT_EQ(clFile.bRead(sz, 10, nullptr), 1);
  EXPECT_STREQ(sz, "still here");
  EXPECT_EQ(clFile.bReopen(kRead, kShared, kExisting, kNoFlag), 0);
  ExpectFileFailure(clFile.pclGetXError(), ENOENT, WP("f"), 28139, WP("f").c_str());
  EXPECT_FALSE(bExists(P("f")));
}

TEST_F(DiskFile, TheNameForErrorsReplacesThePathInFailures) {
  CDiskFile clFile;
  ASSERT_EQ(clFile.bOpen(WP("f").c_str(), kRead, kNoLock, kOpenOrCreate, kNoFlag, nullptr), 1);
  ASSERT_EQ(clFile.vbSetNameForError(L"the alias"), 1);
  EXPECT_EQ(clFile.bWrite("x", 1, nullptr), 0);
  ExpectFileFailure(clFile.pclGetXError(), EBADF, L"the alias", 28008, L"the alias");
  EXPECT_EQ(std::wstring(clFile.pszGetName()), WP("f"));
  EXPECT_EQ(clFile.vbSetNameForError(nullptr), 1);
}

TEST_F(DiskFile, AMovedStreamTakesEverythingAndLeavesTheOtherClosed) {
  CDiskFile clFile;
  ASSERT_EQ(clFile.bOpen(WP("f").c_str(), kReadWrite, kNoLock, kOpenOrCreate, kNoFlag, nullptr), 1);
  ASSERT_EQ(clFile.bWrite("ab", 2, nullptr), 1);
  CDiskFile clMoved(std::move(clFile));
  EXPECT_TRUE(clMoved.bIsOpen());
  EXPECT_EQ(clMoved.oGetOffset(), 2);
  EXPECT_FALSE(clFile.bIsOpen());
  ASSERT_NE(clFile.pclGetXError(), nullptr);
  EXPECT_EQ(clMoved.bWrite("c", 1, nullptr), 1);
  CDiskFile clAssigned;
  clAssigned = std::move(clMoved);
  EXPECT_TRUE(clAssigned.bIsOpen());
  EXPECT_FALSE(clMoved.bIsOpen());
  clAssigned.Close();
  EXPECT_EQ(ReadBytes(P("f")), "abc");
}

TEST_F(DiskFile, TimesComeBackAsTheyWereSet) {
  WriteBytes(P("f"), "t");
  CDiskFile clFile;
  ASSERT_EQ(clFile.bOpen(WP("f").c_str(), kReadWrite, kNoLock, kExisting, kNoFlag, nullptr), 1);
  const CDiskFile::_stXFILETIME stWrite = {2021, 3, 4, 5, 6, 8, 0};
  ASSERT_EQ(clFile.bSetTime(nullptr, nullptr, &stWrite), 1);
  CDiskFile::_stXFILETIME stRead = {};
  ASSERT_EQ(clFile.bGetTime(nullptr, nullptr, &stRead), 1);
  EXPECT_EQ(CDiskFile::nCompareSystemTime(&stWrite, &stRead), 0);
}

// ---------------------------------------------------------------------------
// Slices

TEST_F(DiskFile, ExtractCopiesTheRestOrASliceAndLeavesTheSourceAfterIt) {
  WriteBytes(P("src"), "0123456789");
  CDiskFile clSource;
  ASSERT_EQ(clSource.bOpen(WP("src").c_str(), kRead, kNoLock, kExisting, kNoFlag, nullptr), 1);
  struct Case {
    long long start;
    long long size;
    const char* out;
    long long after;
  };
  const Case cases[] = {{4, -1, "456789", 10}, {4, 100, "456789", 10}, {2, 3, "234", 5}, {9, 0, "", 9}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.out);
    CDiskFile clDestination;
    ASSERT_EQ(clDestination.bOpen(WP("dst").c_str(), kWrite, kNoLock, kCreateOrEmpty, kNoFlag,
                                  nullptr),
              1);
    ASSERT_EQ(clSource.bSeek(c.start, IXStream::eSEEK_BEGIN), 1);
    EXPECT_EQ(clSource.bExtract(&clDestination, c.size), 1);
    EXPECT_EQ(clSource.oGetOffset(), c.after);
    clDestination.Close();
    EXPECT_EQ(ReadBytes(P("dst")), c.out);
  }
}

TEST_F(DiskFile, ExtractToAPathMakesTheSliceFileAndNothingOnFailure) {
  WriteBytes(P("src"), "abcdefgh");
  CDiskFile clSource;
  ASSERT_EQ(clSource.bOpen(WP("src").c_str(), kRead, kNoLock, kExisting, kNoFlag, nullptr), 1);
  EXPECT_EQ(clSource.bExtract(WP("slice").c_str(), 2, 4), 1);
  EXPECT_EQ(ReadBytes(P("slice")), "cdef");
  EXPECT_EQ(clSource.bExtract(WP("none/slice").c_str(), 2, 4), 0);
  EXPECT_EQ(clSource.pclGetXError()->dwGetSystemErrorCode(), static_cast<unsigned int>(ENOENT));
  CDiskFile clTarget;
  ASSERT_EQ(clTarget.bOpen(WP("target").c_str(), kReadWrite, kNoLock, kCreateOrEmpty, kNoFlag,
                           nullptr),
            1);
  ASSERT_EQ(clTarget.bWrite("12", 2, nullptr), 1);
  EXPECT_EQ(clTarget.bExtractFromFile(WP("src").c_str(), 6, 2), 1);
  clTarget.Close();
  EXPECT_EQ(ReadBytes(P("target")), "12gh");
}

TEST_F(DiskFile, TheStaticExtractNeedsAnExistingSource) {
  EXPECT_EQ(CDiskFile::bExtract(WP("out").c_str(), WP("missing").c_str(), 0, -1), 0);
  EXPECT_FALSE(bExists(P("missing"))) << "a missing source is not created";
  EXPECT_FALSE(bExists(P("out")));
  WriteBytes(P("src"), "xyz");
  EXPECT_EQ(CDiskFile::bExtract(WP("out").c_str(), WP("src").c_str(), 1, -1), 1);
  EXPECT_EQ(ReadBytes(P("out")), "yz");
}

// ---------------------------------------------------------------------------
// Lines of 4-byte characters

std::string WideBytes(const std::wstring& s) {
  return std::string(reinterpret_cast<const char*>(s.data()), s.size() * sizeof(wchar_t));
}

std::vector<std::wstring> ReadWideLines(const std::string& path, unsigned int nCapacity,
                                        const wchar_t* pszSeparator) {
  CDiskFile clFile;
  std::vector<std::wstring> out;
  if (!clFile.bOpen(W(path).c_str(), IXStream::eACCESS_READ, IXStream::eSHARE_NONE,
                    IXStream::eCREATE_EXISTING, IXStream::eFLAG_NONE, nullptr))
    return out;
  std::vector<wchar_t> buffer(nCapacity);
  CTString clOverflow;
  for (int nGuard = 0; nGuard < 100000; ++nGuard) {
    const wchar_t* p = clFile.pszReadLine(buffer.data(), nCapacity, &clOverflow, pszSeparator);
    if (p == nullptr) break;
    out.emplace_back(p);
  }
  return out;
}

TEST_F(DiskFile, PszReadLineSplitsAtLineEndsAndSeparators) {
  WriteBytes(P("w"), WideBytes(L"one\r\ntwo\rthree\nfour"));
  EXPECT_EQ(ReadWideLines(P("w"), 100, nullptr),
            (std::vector<std::wstring>{L"one", L"two", L"three", L"four"}));
  WriteBytes(P("s"), WideBytes(L"a::b::::c::"));
  EXPECT_EQ(ReadWideLines(P("s"), 100, L"::"),
            (std::vector<std::wstring>{L"a", L"b", L"", L"c"}));
  WriteBytes(P("e"), "");
  EXPECT_TRUE(ReadWideLines(P("e"), 100, nullptr).empty());
}

TEST_F(DiskFile, PszReadLineFindsLineEndsAcrossItsReads) {
  // The reads hold 16,384 characters: a CR LF pair and a separator that
  // straddle that boundary are found whole.
  const std::wstring first(16383, L'x');
  WriteBytes(P("w"), WideBytes(first + L"\r\nnext"));
  EXPECT_EQ(ReadWideLines(P("w"), 20000, nullptr), (std::vector<std::wstring>{first, L"next"}));
  const std::wstring sep = L"<sep>";
  const std::wstring before(16382, L'y');
  WriteBytes(P("s"), WideBytes(before + sep + L"after"));
  EXPECT_EQ(ReadWideLines(P("s"), 20000, sep.c_str()),
            (std::vector<std::wstring>{before, L"after"}));
}

TEST_F(DiskFile, PszReadLineGivesALongLineWholeThroughTheOverflow) {
  const std::wstring line(40000, L'l');
  WriteBytes(P("w"), WideBytes(line + L"\nshort"));
  EXPECT_EQ(ReadWideLines(P("w"), 10, nullptr), (std::vector<std::wstring>{line, L"short"}));
}

TEST_F(DiskFile, PszReadLineRefusesAnOverLongSeparator) {
  WriteBytes(P("w"), WideBytes(L"abc"));
  CDiskFile clFile;
  ASSERT_EQ(clFile.bOpen(WP("w").c_str(), kRead, kNoLock, kExisting, kNoFlag, nullptr), 1);
  const std::wstring sep(9000, L'-');
  wchar_t sz[10];
  EXPECT_EQ(clFile.pszReadLine(sz, 10, nullptr, sep.c_str()), nullptr);
}

// ---------------------------------------------------------------------------
// Whole files

TEST_F(DiskFile, WholeFilesAreSavedAndLoaded) {
  const unsigned char bytes[] = {0, 1, 2, 255, 'a'};
  CVXBIN clData(bytes, 5);
  CXError clError(&gstMyModuleInfo76);
  ASSERT_EQ(CDiskFile::bSauveFichier(clData, WP("whole").c_str(), &clError), 1);
  CVXBIN clBack;
  ASSERT_EQ(CDiskFile::bChargeFichier(clBack, WP("whole").c_str(), &clError), 1);
  ASSERT_EQ(clBack.nGetSize(), 5);
  EXPECT_EQ(std::memcmp(clBack.pbyGet(), bytes, 5), 0);
  CVXBIN clEmpty;
  ASSERT_EQ(CDiskFile::bSauveFichier(clEmpty, WP("empty").c_str(), &clError), 1);
  ASSERT_EQ(CDiskFile::bChargeFichier(clBack, WP("empty").c_str(), &clError), 1);
  EXPECT_EQ(clBack.nGetSize(), 0);
  EXPECT_EQ(CDiskFile::bChargeFichier(clBack, WP("missing").c_str(), &clError), 0);
  ExpectFileFailure(&clError, ENOENT, WP("missing"), 28139, WP("missing").c_str());
}

TEST_F(DiskFile, TextFilesLoadWhateverTheirEncoding) {
  struct Case {
    const char* name;
    std::string bytes;
    CDiskFile::etxType type;
    std::wstring text;
  };
  const Case cases[] = {
      {"UTF-8 with a mark", "\xEF\xBB\xBFh\xC3\xA9llo", CDiskFile::etxUTF8, L"h\u00e9llo"},
      {"UTF-8 without a mark", "h\xC3\xA9llo", CDiskFile::etxUTF8, L"h\u00e9llo"},
      {"UTF-16LE", std::string("\xFF\xFEh\0\xE9\0", 6), CDiskFile::etxUTF16LE, L"h\u00e9"},
      {"UTF-16BE", std::string("\xFE\xFF\0h\0\xE9", 6), CDiskFile::etxUTF16LE, L"h\u00e9"},
      {"CP1252", "h\xE9llo", CDiskFile::etxNone, L"h\u00e9llo"},
      {"empty", "", CDiskFile::etxNone, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(P("t"), c.bytes);
    CXYString<wchar_t> clText;
    CDiskFile::etxType eType = CDiskFile::etxUTF16BE;
    ASSERT_EQ(CDiskFile::bChargeTexteBOM(clText, WP("t").c_str(), 1252, &eType), 1);
    EXPECT_EQ(eType, c.type);
    EXPECT_EQ(std::wstring(clText.pszGet()), c.text);
  }
  CXYString<wchar_t> clText;
  EXPECT_EQ(CDiskFile::bChargeTexteBOM(clText, WP("missing").c_str(), 1252, nullptr), 0);
}

}  // namespace
