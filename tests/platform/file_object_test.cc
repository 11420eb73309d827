// CXFile: an empty file object, its own and borrowed streams and their
// references, forwarding, the copy between file objects and line writing.
#include "platform/file_object.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/disk_file.h"
#include "tests/platform/file_test_support.h"

namespace {

using kqtest::ReadBytes;
using kqtest::WriteBytes;

class FileObject : public kqtest::FilesTest {};

constexpr auto kRead = IXStream::eACCESS_READ;
constexpr auto kReadWrite = IXStream::eACCESS_READWRITE;
constexpr auto kNoLock = IXStream::eSHARE_NONE;
constexpr auto kExisting = IXStream::eCREATE_EXISTING;
constexpr auto kCreateOrEmpty = IXStream::eCREATE_CREATE_OR_EMPTY;
constexpr auto kNoFlag = IXStream::eFLAG_NONE;

TEST(FileObjectEmpty, AnswersNothingWithoutAStream) {
  CXFile clFile;
  EXPECT_EQ(clFile.pclGetXError(), nullptr);
  EXPECT_EQ(clFile.pszGetName(), nullptr);
  EXPECT_EQ(clFile.bIsOpen(), 0);
  EXPECT_EQ(clFile.veGetAccess(), IXStream::eACCESS_DEFAULT);
  EXPECT_EQ(clFile.Close(), 0);
  EXPECT_EQ(clFile.piGetStream(), nullptr);
}

TEST_F(FileObject, OpeningMakesAStreamOfItsOwn) {
  CXFile clFile;
  ASSERT_EQ(clFile.bOpen(WP("f").c_str(), kReadWrite, kNoLock, kCreateOrEmpty, kNoFlag, nullptr), 1);
  EXPECT_EQ(clFile.piGetStream(), nullptr) << "its own stream is not handed out";
  EXPECT_TRUE(clFile.bIsOpen());
  ASSERT_EQ(clFile.bWrite("abc", 3, nullptr), 1);
  EXPECT_EQ(clFile.bWriteString("%d", 12), 1);
  EXPECT_EQ(clFile.oGetSize(), 5);
  EXPECT_EQ(std::wstring(clFile.pszGetName()), WP("f"));
  EXPECT_EQ(clFile.Close(), 0);
  EXPECT_FALSE(clFile.bIsOpen());
  ASSERT_EQ(clFile.bOpen(WP("f").c_str(), kRead, kNoLock, kExisting, kNoFlag, nullptr), 1)
      << "the same stream opens again";
  char sz[6] = {};
  EXPECT_EQ(clFile.bRead(sz, 5, nullptr), 1);
  EXPECT_STREQ(sz, "abc12");
}

TEST_F(FileObject, ABorrowedStreamIsHandedOutAndOutlivesTheObject) {
  auto* pStream = new CDiskFile;
  pStream->dwAddRef();
  {
    CXFile clFile(pStream);
    EXPECT_EQ(clFile.piGetStream(), pStream);
    EXPECT_EQ(pStream->nGetRefCount(), 2);
    ASSERT_EQ(clFile.bOpen(WP("f").c_str(), kReadWrite, kNoLock, kCreateOrEmpty, kNoFlag, nullptr),
              1);
    EXPECT_EQ(clFile.pclGetXError(), pStream->pclGetXError());
  }
  EXPECT_EQ(pStream->nGetRefCount(), 1);
  EXPECT_TRUE(pStream->bIsOpen());
  EXPECT_EQ(pStream->dwRelease(), 0u);
}

TEST_F(FileObject, SettingTheStreamAlreadyHeldKeepsItAlive) {
  auto* pStream = new CDiskFile;
  CXFile clFile;
  clFile.SetStream(pStream);
  EXPECT_EQ(pStream->nGetRefCount(), 1);
  clFile.SetStream(pStream);
  ASSERT_EQ(pStream->nGetRefCount(), 1) << "the stream is still alive, held once";
  EXPECT_EQ(clFile.piGetStream(), pStream);
  clFile.SetStream(nullptr);
  EXPECT_EQ(clFile.piGetStream(), nullptr);
  EXPECT_EQ(clFile.bIsOpen(), 0);
}

TEST_F(FileObject, CreateStreamAndNameForErrors) {
  CXFile clFile;
  ASSERT_EQ(clFile.bSetNameForError(L"alias"), 1);
  EXPECT_NE(clFile.pclGetXError(), nullptr) << "the default stream was made";
  EXPECT_EQ(clFile.piGetStream(), nullptr);
  ASSERT_EQ(clFile.bCreateStream(), 1);
  EXPECT_EQ(clFile.piGetStream(), nullptr);
  EXPECT_EQ(clFile.bOpen(WP("missing").c_str(), kRead, kNoLock, kExisting, kNoFlag, nullptr), 0);
  EXPECT_EQ(clFile.pclGetXError()->dwGetSystemErrorCode(), static_cast<unsigned int>(ENOENT));
}

TEST_F(FileObject, ExtractCopiesBetweenFileObjects) {
  WriteBytes(P("src"), "0123456789");
  struct Case {
    long long start;
    long long size;
    const char* out;
    long long after;
  };
  const Case cases[] = {{3, -1, "3456789", 10}, {3, 100, "3456789", 10}, {1, 4, "1234", 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.out);
    CXFile clSource;
    ASSERT_EQ(clSource.bOpen(WP("src").c_str(), kRead, kNoLock, kExisting, kNoFlag, nullptr), 1);
    CXFile clDestination;
    ASSERT_EQ(clDestination.bOpen(WP("dst").c_str(), kReadWrite, kNoLock, kCreateOrEmpty, kNoFlag,
                                  nullptr),
              1);
    ASSERT_EQ(clSource.bSeek(c.start, IXStream::eSEEK_BEGIN), 1);
    EXPECT_EQ(clSource.bExtract(&clDestination, c.size), 1);
    EXPECT_EQ(clSource.oGetOffset(), c.after);
    clDestination.Close();
    EXPECT_EQ(ReadBytes(P("dst")), c.out);
  }
}

TEST_F(FileObject, WriteLineWritesTheTextAndCrLf) {
  CXFile clFile;
  ASSERT_EQ(clFile.bOpen(WP("w").c_str(), kReadWrite, kNoLock, kCreateOrEmpty, kNoFlag, nullptr), 1);
  ASSERT_EQ(clFile.bWriteLine(L"ab"), 1);
  EXPECT_EQ(clFile.oGetOffset(), 16);
  ASSERT_EQ(clFile.bWriteLine("cd"), 1);
  clFile.Close();
  const wchar_t wide[] = L"ab\r\n";
  EXPECT_EQ(ReadBytes(P("w")), std::string(reinterpret_cast<const char*>(wide), 16) + "cd\r\n");
}

TEST_F(FileObject, LinesAreReadThroughTheStream) {
  WriteBytes(P("t"), "one\r\ntwo\n");
  CXFile clFile;
  ASSERT_EQ(clFile.bOpen(WP("t").c_str(), kRead, kNoLock, kExisting, kNoFlag, nullptr), 1);
  char sz[16];
  int bTruncated = -1;
  ASSERT_EQ(clFile.bReadLine(sz, 16, &bTruncated, 0), 1);
  EXPECT_STREQ(sz, "one");
  ASSERT_EQ(clFile.bReadLine(sz, 16, &bTruncated, 0), 1);
  EXPECT_STREQ(sz, "two");
  EXPECT_EQ(clFile.bReadLine(sz, 16, &bTruncated, 0), 0);
  const std::wstring text = L"x\ry";
  WriteBytes(P("u"), std::string(reinterpret_cast<const char*>(text.data()), text.size() * 4));
  CXFile clWide;
  ASSERT_EQ(clWide.bOpen(WP("u").c_str(), kRead, kNoLock, kExisting, kNoFlag, nullptr), 1);
  wchar_t wsz[8];
  ASSERT_EQ(clWide.bReadLineUNICODE(wsz, 8, &bTruncated), 1);
  EXPECT_STREQ(wsz, L"x");
  ASSERT_EQ(clWide.bReadLineUNICODE(wsz, 8, &bTruncated), 1);
  EXPECT_STREQ(wsz, L"y");
}

}  // namespace
