// Path names: separators, name parts, tests, comparison, normal forms and
// full paths, as tables of cases; capacities respected by refusal.
#include "platform/path_names.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>
#include <vector>

#include "core/counted_string.h"
#include "core/wide_string.h"
#include "tests/platform/file_test_support.h"

namespace {

using kqtest::FilesTest;
using kqtest::W;

// A caller's buffer of the usual 261 characters holding a text.
struct Buffer {
  explicit Buffer(const std::wstring& s, size_t n = kPathBufferChars) : a(n, L'#') {
    std::wcsncpy(a.data(), s.c_str(), n);
  }
  wchar_t* p() { return a.data(); }
  std::wstring str() const { return std::wstring(a.data()); }
  std::vector<wchar_t> a;
};

std::wstring Home() {
  const struct passwd* p = getpwuid(getuid());
  return p != nullptr ? W(p->pw_dir) : L"";
}

std::wstring Cwd() {
  char* p = getcwd(nullptr, 0);
  std::wstring s = W(p);
  free(p);
  return s;
}

std::wstring FullPath(const std::wstring& path) {
  std::vector<wchar_t> buffer(8192);
  const unsigned int n = CPathNames::GetFullPathName(path.c_str(), 8192, buffer.data(), nullptr);
  if (n == 0 || n >= 8192) return L"<failed>";
  return std::wstring(buffer.data(), n);
}

// ---------------------------------------------------------------------------
// Separators

TEST(PathSeparators, DirectoryWithEndSlashAddsOneSlashAfterReadingBackslashes) {
  struct Case {
    const wchar_t* in;
    const wchar_t* out;
  };
  const Case cases[] = {
      {L"x:\\dir", L"x:/dir/"}, {L"", L""}, {L"a/", L"a/"}, {L"a\\", L"a/"}, {L"/", L"/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    Buffer b(c.in);
    EXPECT_EQ(CPathNames::DirectoryWithEndSlash(b.p()), 1);
    EXPECT_EQ(b.str(), c.out);
    CTString str(c.in);
    CPathNames::DirectoryWithEndSlash(str);
    EXPECT_EQ(std::wstring(str.pszGet()), c.out);
  }
}

TEST(PathSeparators, DirectoryWithEndSlashRefusesWhenTheSlashDoesNotFit) {
  Buffer b(L"abc", 4);
  errno = 0;
  EXPECT_EQ(CPathNames::DirectoryWithEndSlash(b.p(), 4), 0);
  EXPECT_EQ(errno, ENAMETOOLONG);
  EXPECT_EQ(b.str(), L"abc");
}

TEST(PathSeparators, DirectoryWithoutEndSlashRemovesEverySlashFromABufferButOneFromAString) {
  Buffer b(L"/tmp///");
  EXPECT_EQ(CPathNames::DirectoryWithoutEndSlash(b.p()), 4);
  EXPECT_EQ(b.str(), L"/tmp");
  Buffer root(L"/");
  EXPECT_EQ(CPathNames::DirectoryWithoutEndSlash(root.p()), 0);
  EXPECT_EQ(root.str(), L"");
  CTString str(L"/tmp///");
  CPathNames::DirectoryWithoutEndSlash(str);
  EXPECT_EQ(std::wstring(str.pszGet()), L"/tmp//");
}

TEST(PathSeparators, PrefixeCurrentDirectoryInsertsDotSlashWithinTheCapacity) {
  Buffer b(L"a/b");
  EXPECT_EQ(CPathNames::PrefixeCurrentDirectory(b.p()), 1);
  EXPECT_EQ(b.str(), L"./a/b");
  Buffer small(L"ab", 4);
  EXPECT_EQ(CPathNames::PrefixeCurrentDirectory(small.p(), 4), 0);
  EXPECT_EQ(small.str(), L"ab");
}

TEST(PathSeparators, SlashesTurnBothWaysInPlace) {
  Buffer b(L"a\\b/c");
  EXPECT_EQ(std::wstring(CPathNames::pszBackSlash2Slash(b.p())), L"a/b/c");
  EXPECT_EQ(std::wstring(CPathNames::pszSlash2BackSlash(b.p())), L"a\\b\\c");
  char sz[] = "a\\b";
  EXPECT_STREQ(CPathNames::pszBackSlash2Slash(sz), "a/b");
  EXPECT_EQ(CPathNames::pszBackSlash2Slash(static_cast<wchar_t*>(nullptr)), nullptr);
}

// ---------------------------------------------------------------------------
// Name parts

TEST(PathNameParts, FileNameAndExtensionPointersFollowTheLastComponent) {
  struct Case {
    const wchar_t* path;
    const wchar_t* name;
    const wchar_t* extension;
  };
  const Case cases[] = {
      {L"a/b/c.txt", L"c.txt", L".txt"},   {L"c:file.x", L"file.x", L".x"},
      {L"a\\b", L"b", L""},                {L"noslash", L"noslash", L""},
      {L"dir/", L"", L""},                 {L"dir.d/file", L"file", L""},
      {L"a/b.tar.gz", L"b.tar.gz", L".gz"}, {L"/x/.profile", L".profile", L".profile"},
      {L"a.b\\c", L"c", L""},           {L".:x", L"x", L""},
      {L"c:.x", L".x", L".x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(std::wstring(CPathNames::pszGetPtrToFileName(c.path)), c.name);
    EXPECT_EQ(std::wstring(CPathNames::pszGetPtrToExtension(c.path)), c.extension);
  }
  EXPECT_EQ(CPathNames::pszGetPtrToFileName(static_cast<const wchar_t*>(nullptr)), nullptr);
}

TEST(PathNameParts, ChangeExtensionReplacesOrAppendsTheExtension) {
  struct Case {
    const wchar_t* path;
    const wchar_t* extension;
    const wchar_t* out;
  };
  const Case cases[] = {
      {L"a/b.txt", L".doc", L"a/b.doc"}, {L"a/b.txt", L"doc", L"a/b.doc"},
      {L"a/b", L"doc", L"a/b.doc"},      {L"a.d/b", L".x", L"a.d/b.x"},
      {L"a/b", L"", L"a/b."},            {L"a\\b.c", L".d", L"a/b.d"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    Buffer b(c.path);
    EXPECT_EQ(CPathNames::ChangeExtension(b.p(), kPathBufferChars, c.extension), 1);
    EXPECT_EQ(b.str(), c.out);
  }
}

TEST(PathNameParts, ChangeExtensionRefusesARightThatDoesNotFit) {
  Buffer b(L"a/b.t", 8);
  errno = 0;
  EXPECT_EQ(CPathNames::ChangeExtension(b.p(), 8, L".longer"), 0);
  EXPECT_EQ(errno, ENAMETOOLONG);
  EXPECT_EQ(b.str(), L"a/b.t");
}

class PathCountedString : public FilesTest {};

TEST_F(PathCountedString, ChangeExtensionOfACountedStringReplacesItsTail) {
  CXYString<wchar_t> str(L"a/b.txt");
  EXPECT_EQ(CPathNames::ChangeExtension(str, L"doc"), 0);
  EXPECT_EQ(std::wstring(str.pszGet()), L"a/b.doc");
  EXPECT_EQ(CPathNames::DelExtension(str), 0);
  EXPECT_EQ(std::wstring(str.pszGet()), L"a/b");
  CXYString<wchar_t> dot(L".x");
  EXPECT_EQ(CPathNames::DelExtension(dot), 0);
  EXPECT_EQ(dot.pGetData(), nullptr) << "an emptied string is released";
}

TEST(PathNameParts, DelExtensionCutsTheLastComponentsExtensionOnly) {
  struct Case {
    const wchar_t* in;
    const wchar_t* out;
  };
  const Case cases[] = {{L"a/b.c.d", L"a/b.c"}, {L"a.b/c", L"a.b/c"}, {L"a/b.", L"a/b"},
                        {L"a.b/", L"a.b/"},    {L"x\\y.z", L"x/y"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    Buffer b(c.in);
    CPathNames::DelExtension(b.p());
    EXPECT_EQ(b.str(), c.out);
  }
}

TEST(PathNameParts, SplitPathGivesDirectoryNameAndExtension) {
  struct Case {
    const wchar_t* path;
    const wchar_t* dir;
    const wchar_t* name;
    const wchar_t* ext;
  };
  const Case cases[] = {
      {L"/a/b.c.d", L"/a/", L"b.c", L".d"}, {L".profile", L"", L"", L".profile"},
      {L"file", L"", L"file", L""},         {L"/file", L"/", L"file", L""},
      {L"a\\b.c", L"a/", L"b", L".c"},      {L"dir/", L"dir/", L"", L""},
      {L"", L"", L"", L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    wchar_t dir[kPathBufferChars], name[kPathBufferChars], ext[kPathBufferChars];
    ASSERT_EQ(CPathNames::__SplitPath<wchar_t>(c.path, dir, name, ext), 1);
    EXPECT_EQ(std::wstring(dir), c.dir);
    EXPECT_EQ(std::wstring(name), c.name);
    EXPECT_EQ(std::wstring(ext), c.ext);
    wchar_t whole[kPathBufferChars];
    ASSERT_EQ(CPathNames::__SplitPath<wchar_t>(c.path, dir, whole), 1);
    EXPECT_EQ(std::wstring(whole), std::wstring(c.name) + c.ext);
  }
}

TEST(PathNameParts, SplitPathRefusesAPartLongerThanItsBuffer) {
  const std::wstring path = L"/d/" + std::wstring(300, L'n') + L".e";
  wchar_t dir[kPathBufferChars], name[kPathBufferChars], ext[kPathBufferChars];
  errno = 0;
  EXPECT_EQ(CPathNames::__SplitPath<wchar_t>(path.c_str(), dir, name, ext), 0);
  EXPECT_EQ(errno, ENAMETOOLONG);
  EXPECT_EQ(std::wstring(name), L"");
  // Without the name output the other parts fit.
  EXPECT_EQ(CPathNames::__SplitPath<wchar_t>(path.c_str(), dir, nullptr, ext), 1);
  EXPECT_EQ(std::wstring(dir), L"/d/");
  EXPECT_EQ(std::wstring(ext), L".e");
}

TEST(PathNameParts, MakePathJoinsThePartsWithSeparatorAndDot) {
  struct Case {
    const wchar_t* dir;
    const wchar_t* name;
    const wchar_t* ext;
    const wchar_t* out;
  };
  const Case cases[] = {
      {L"/tmp", L"f", L"txt", L"/tmp/f.txt"}, {L"/tmp/", L"f", L".txt", L"/tmp/f.txt"},
      {L"", L"f", L"", L"f"},                 {nullptr, L"f", L"x", L"f.x"},
      {L"a\\b", L"c", nullptr, L"a/b/c"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.out);
    Buffer b(L"");
    EXPECT_EQ(CPathNames::MakePath(b.p(), c.dir, c.name, c.ext), 1);
    EXPECT_EQ(b.str(), c.out);
  }
  Buffer small(L"keep", 8);
  EXPECT_EQ(CPathNames::MakePath(small.p(), L"/tmp", L"name", L"ext", 8), 0);
  EXPECT_EQ(small.str(), L"keep");
}

// ---------------------------------------------------------------------------
// Tests of names

TEST(PathTests, EachTestAnswersItsTable) {
  struct Case {
    const wchar_t* path;
    int relativePath, relativeFile, relativeWin32, unc, virtualDir, validFull, validName;
  };
  const Case cases[] = {
      {L"./a", 1, 1, 1, 0, 0, 1, 0},   {L"/a", 0, 0, 1, 0, 0, 1, 0},
      {L"a", 0, 1, 1, 0, 0, 1, 1},     {L"\\\\srv\\share", 0, 1, 0, 1, 0, 1, 0},
      {L"c:x", 0, 1, 0, 0, 0, 1, 0},   {L"x:", 0, 1, 0, 0, 0, 1, 0},
      {L".", 1, 1, 1, 0, 1, 1, 1},     {L"..", 1, 1, 1, 0, 1, 1, 1},
      {L"a*b", 0, 1, 1, 0, 0, 0, 0},   {L"", 0, 1, 1, 0, 0, 1, 1},
      {L"\\\\srv", 0, 1, 0, 0, 0, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(CPathNames::bIsRelativePath(c.path), c.relativePath);
    EXPECT_EQ(CPathNames::bIsRelativeFileName(c.path), c.relativeFile);
    EXPECT_EQ(CPathNames::bIsRelativeFileName_WIN32(c.path), c.relativeWin32);
    EXPECT_EQ(CPathNames::bUNCName(c.path), c.unc);
    EXPECT_EQ(CPathNames::bIsAVirtualDirectory(c.path), c.virtualDir);
    EXPECT_EQ(CPathNames::bValidFullName(c.path), c.validFull);
    EXPECT_EQ(CPathNames::bValidName(c.path), c.validName);
  }
}

// ---------------------------------------------------------------------------
// Comparison and normal forms

TEST(PathComparison, SameNamesAreComparedAfterStandardisation) {
  struct Case {
    const wchar_t* a;
    const wchar_t* b;
    int sameFile, sameDirectory;
  };
  const Case cases[] = {
      {L"a\\b ", L"a/b", 1, 1}, {L"A", L"a", 0, 0},       {L"a/b/", L"a\\b", 0, 1},
      {L"a/b//", L"a/b", 0, 0}, {L"x", L"x\t", 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::wstring(c.a) + L" | " + c.b);
    EXPECT_EQ(CPathNames::bSameFileName(c.a, c.b), c.sameFile);
    EXPECT_EQ(CPathNames::bSameDirectoryName(c.a, c.b), c.sameDirectory);
  }
}

TEST(PathComparison, SameDirectoryNameExComparesFullNamesWhenAsked) {
  const std::wstring cwd = Cwd();
  EXPECT_EQ(CPathNames::bSameDirectoryNameEx(L"sub/./x", 1, (cwd + L"/sub/x/").c_str(), 0), 1);
  EXPECT_EQ(CPathNames::bSameDirectoryNameEx(L"sub/./x", 0, (cwd + L"/sub/x/").c_str(), 0), 0);
}

TEST(PathComparison, StandardizeFileNameRefusesAResultThatDoesNotFit) {
  Buffer b(L"", 8);
  EXPECT_EQ(CPathNames::StandardizeFileName(b.p(), L"a\\b  ", 8), 1);
  EXPECT_EQ(b.str(), L"a/b");
  EXPECT_EQ(CPathNames::StandardizeFileName(b.p(), L"abcdefghij", 8), 0);
  EXPECT_EQ(b.str(), L"a/b");
}

TEST(PathNormalForm, SimplifyPathResolvesComponentsFromLeftToRight) {
  struct Case {
    const wchar_t* in;
    const wchar_t* out;
  };
  const Case cases[] = {
      {L"a/./b", L"a/b"},       {L"a/b/../c", L"a/c"},   {L"../x", L"../x"},
      {L"a/../../x", L"../x"},  {L"/a/./../b", L"/b"},   {L"/../x", L"/x"},
      {L"/..", L"/"},           {L"a//b", L"a/b"},       {L"./a", L"./a"},
      {L"./../a", L"./../a"},   {L"a/..", L"."},         {L"/", L"/"},
      {L"", L""},               {L"a/b/", L"a/b/"},      {L"a\\.\\b", L"a/b"},
      {L"/a/b/..", L"/a"},      {L"/a/b/../", L"/a/"},   {L"a/.", L"a"},
      {L"/a/../../../b/c", L"/b/c"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    Buffer b(c.in);
    const int n = CPathNames::SimplifyPath(b.p());
    EXPECT_EQ(b.str(), c.out);
    EXPECT_EQ(n, static_cast<int>(std::wcslen(c.out)));
  }
}

// ---------------------------------------------------------------------------
// Full paths

class FullPathTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.bOk());
    char* p = getcwd(nullptr, 0);
    m_old = p;
    free(p);
    ASSERT_EQ(chdir(m_dir.Path().c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(chdir(m_old.c_str()), 0); }
  kqtest::TempDir m_dir;
  std::string m_old;
};

TEST_F(FullPathTest, RelativePathsFollowTheWorkingDirectoryAndTildeTheHome) {
  const std::wstring cwd = Cwd();
  const std::wstring home = Home();
  struct Case {
    std::wstring in;
    std::wstring out;
  };
  const Case cases[] = {
      {L"x/./y/../z", cwd + L"/x/z"},
      {L"/a/./../b", L"/b"},
      {L"/../x", L"/x"},
      {L"\\a\\b", L"/a/b"},
      {L"/a//b/", L"/a/b/"},
      {L"~", home},
      {L"~/doc", home + L"/doc"},
      {L"~\\doc", home + L"/doc"},
      {L"~x", cwd + L"/~x"},
      {L".", cwd},
      {L"..", cwd.substr(0, cwd.rfind(L'/'))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(FullPath(c.in), c.out);
  }
}

TEST_F(FullPathTest, GetFullPathNameAnswersTheSizeNeededWhenTheBufferIsTooSmall) {
  const std::wstring expected = Cwd() + L"/abc";
  wchar_t sz[8] = L"keep";
  const unsigned int n = CPathNames::GetFullPathName(L"abc", 8, sz, nullptr);
  EXPECT_EQ(n, expected.size() + 1);
  EXPECT_STREQ(sz, L"keep");
  std::vector<wchar_t> exact(n);
  EXPECT_EQ(CPathNames::GetFullPathName(L"abc", n, exact.data(), nullptr), n - 1);
  EXPECT_EQ(std::wstring(exact.data()), expected);
  errno = 0;
  EXPECT_EQ(CPathNames::GetFullPathName(L"", 100, exact.data(), nullptr), 0u);
  EXPECT_EQ(errno, EINVAL);
}

TEST_F(FullPathTest, LongPathsOf260261And4097CharactersKeepEveryCharacter) {
  for (size_t n : {259u, 260u, 261u, 4097u}) {
    SCOPED_TRACE(n);
    const std::wstring path = L"/" + std::wstring(n - 1, L'p');
    EXPECT_EQ(FullPath(path), path);
    wchar_t sz[kPathBufferChars];
    unsigned int nLength = 0;
    const int b = CPathNames::bGetFullPath(sz, kPathBufferChars, path.c_str(), &nLength, nullptr);
    EXPECT_EQ(b, n < kPathBufferChars ? 1 : 0);
    EXPECT_EQ(nLength, n + 1) << "the length with its terminator, or the size needed";
  }
}

TEST_F(FullPathTest, BGetFullPathRecordsAFailureWithItsMessage) {
  wchar_t sz[kPathBufferChars];
  unsigned int nLength = 7;
  CXError clError(&gstMyModuleInfo76);
  EXPECT_EQ(CPathNames::bGetFullPath(sz, kPathBufferChars, L"", &nLength, &clError), 0);
  EXPECT_EQ(nLength, 0u);
  kqtest::ExpectFileFailure(&clError, EINVAL, L"", 28131, L"");
}

TEST(PathRelative, RelativeToFullPathJoinsByMode) {
  struct Case {
    const wchar_t* relative;
    const wchar_t* base;
    int mode;
    const wchar_t* out;
  };
  const Case cases[] = {
      {L"../x", L"/a/b/", 0, L"/a/x"},     {L".", L"/a", 0, L"/a"},
      {L"x", L"/a", 0, L"x"},              {L"x", L"/a", 2, L"/a/x"},
      {L"/y", L"/a", 1, L"/y"},            {L"y", L"/a", 1, L"/a/y"},
      {L"./f", L"/a/b/", 0, L"/a/b/f"},    {L"../../../x", L"/a/b", 0, L"/x"},
      {L"..\\x", L"\\a\\b", 0, L"/a/x"},   {L"./f", L"/", 0, L"/f"},
      {L"..", L"/a/b", 0, L"/a/"},         {L".hidden", L"/a", 0, L"/a/.hidden"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::wstring(c.relative) + L" on " + c.base);
    Buffer b(L"");
    EXPECT_EQ(CPathNames::bRelativeToFullPath(b.p(), c.relative, c.base, c.mode), 1);
    EXPECT_EQ(b.str(), c.out);
  }
}

TEST(PathRelative, RelativeToFullPathRefusesAResultBeyondTheCapacity) {
  const std::wstring base = L"/" + std::wstring(4000, L'b');
  Buffer b(L"untouched");
  errno = 0;
  EXPECT_EQ(CPathNames::bRelativeToFullPath(b.p(), L"./x", base.c_str(), 0), 0);
  EXPECT_EQ(errno, ENAMETOOLONG);
  EXPECT_EQ(b.str(), L"untouched");
  std::vector<wchar_t> big(4200, L'#');
  EXPECT_EQ(CPathNames::bRelativeToFullPath(big.data(), L"./x", base.c_str(), 0, 4200), 1);
  EXPECT_EQ(std::wstring(big.data()), base + L"/x");
}

TEST(PathRelative, PathRelativePathToClimbsToTheCommonBase) {
  struct Case {
    const wchar_t* path;
    const wchar_t* base;
    int stop;
    int result;
    const wchar_t* out;
  };
  const Case cases[] = {
      {L"/a/b/c.txt", L"/a/d", 0, 1, L"../b/c.txt"},
      {L"/a/b/c.txt", L"/a/b", 0, 1, L"./c.txt"},
      {L"/a/bc", L"/a/b", 0, 1, L"../bc"},
      {L"/a/b", L"", 0, 1, L"/a/b"},
      {L"/x/y", L"/a/b/c", 0, 1, L"../../../x/y"},
      {L"a/b", L"/x", 1, 0, L""},
      {L"\\a\\b\\c", L"/a/", 0, 1, L"./b/c"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::wstring(c.path) + L" from " + c.base);
    Buffer b(L"");
    EXPECT_EQ(CPathNames::bPathRelativePathTo(b.p(), c.path, c.base, c.stop), c.result);
    if (c.result) {
      EXPECT_EQ(b.str(), c.out);
    }
  }
}

TEST(PathRelative, LongPathNameIsACopyWithinTheSize) {
  wchar_t sz[8];
  EXPECT_EQ(CPathNames::bGetLongPathName(sz, 8, L"a/b"), 1);
  EXPECT_STREQ(sz, L"a/b");
  EXPECT_EQ(CPathNames::bGetLongPathName(sz, 8, L"abcdefgh"), 0);
  EXPECT_STREQ(sz, L"a/b");
}

}  // namespace
