// CFSPath: short and long texts (260 / 261 / 4,097 characters), sharing and
// copy on write, the parts of a path, appending, extensions, absolute paths,
// temporary names and the program's own file; a reference model checks the
// text after random changes.
#include "platform/xpath.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <random>
#include <string>

#include "platform/disk_file.h"
#include "tests/platform/file_test_support.h"

namespace {

class FsPath : public kqtest::FilesTest {};

std::wstring Text(const CFSPath& p) { return std::wstring(p.pszGet(), static_cast<size_t>(p.nGetLength())); }

TEST_F(FsPath, APathOf260CharactersStaysShortAnd261GoesLong) {
  const std::wstring s260(260, L'a');
  CFSPath clShort(s260.c_str());
  EXPECT_FALSE(clShort.bIsLong());
  EXPECT_EQ(Text(clShort), s260);
  CFSPath clLong((s260 + L"b").c_str());
  EXPECT_TRUE(clLong.bIsLong());
  EXPECT_EQ(Text(clLong), s260 + L"b");
  clLong.Truncate(10);
  EXPECT_EQ(Text(clLong), std::wstring(10, L'a'));
  clLong.Clear();
  EXPECT_FALSE(clLong.bIsLong());
  EXPECT_EQ(Text(clLong), L"");
}

TEST_F(FsPath, APathOf4097CharactersKeepsEveryCharacter) {
  const std::wstring s(4097, L'q');
  CFSPath clPath;
  ASSERT_EQ(clPath.Assign(s.c_str()), 0);
  EXPECT_EQ(Text(clPath), s);
  ASSERT_EQ(clPath.AppendWithDirectorySeparator(L"tail"), 0);
  EXPECT_EQ(Text(clPath), s + L"/tail");
}

TEST_F(FsPath, CopiesShareTheLongTextAndChangeTheirOwnCopy) {
  const std::wstring s = L"/dir/" + std::wstring(300, L'n') + L".ext";
  CFSPath clA(s.c_str());
  CFSPath clB(clA);
  EXPECT_EQ(clA.pszGet(), clB.pszGet()) << "the buffer is shared";
  clB.ExtractFile();
  EXPECT_EQ(Text(clB), std::wstring(300, L'n'));
  EXPECT_EQ(Text(clA), s);
  CFSPath clC = clA;
  clC.ChangeExtension(L".new");
  EXPECT_EQ(Text(clA), s);
  EXPECT_EQ(Text(clC), L"/dir/" + std::wstring(300, L'n') + L".new");
  clC = clC;  // self-assignment changes nothing
  EXPECT_EQ(Text(clC), L"/dir/" + std::wstring(300, L'n') + L".new");
}

TEST_F(FsPath, AZeroInsideTheGivenCharactersIsRefused) {
  CFSPath clPath(L"keep");
  const wchar_t text[] = {L'a', 0, L'b'};
  EXPECT_EQ(clPath.Assign(text, 3), kPathBadText);
  EXPECT_EQ(Text(clPath), L"keep");
  EXPECT_EQ(clPath.Append(text, 3), kPathBadText);
  EXPECT_EQ(Text(clPath), L"keep");
  EXPECT_EQ(clPath.Assign(nullptr), kPathBadText);
}

TEST_F(FsPath, ThePartsOfAPath) {
  struct Case {
    const wchar_t* path;
    const wchar_t* name;
    const wchar_t* extension;
    const wchar_t* dir;
    const wchar_t* file;
  };
  const Case cases[] = {
      {L"dir.d/file", L"file", L"", L"dir.d/", L"file"},
      {L"a/b.tar.gz", L"b.tar.gz", L".gz", L"a/", L"b.tar"},
      {L"/x/.profile", L".profile", L".profile", L"/x/", L""},
      {L"/a/b.c", L"b.c", L".c", L"/a/", L"b"},
      {L"c\\d.e", L"d.e", L".e", L"c\\", L"d"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    CFSPath clPath(c.path);
    EXPECT_EQ(std::wstring(clPath.pszGetFileAndExtension()), c.name);
    EXPECT_EQ(std::wstring(clPath.pszGetExtension()), c.extension);
    CFSPath clDir, clName, clExt;
    clPath.Split(&clDir, &clName, &clExt);
    EXPECT_EQ(Text(clDir), c.dir);
    EXPECT_EQ(Text(clName), c.file);
    EXPECT_EQ(Text(clExt), c.extension);
    CFSPath clCopy(clPath);
    clCopy.ExtractDirectory();
    EXPECT_EQ(Text(clCopy), c.dir);
  }
}

TEST_F(FsPath, SplittingIntoThePathItselfReadsTheTextFirst) {
  CFSPath clPath(L"/a/b.c");
  CFSPath clName;
  clPath.Split(&clPath, &clName);
  EXPECT_EQ(Text(clPath), L"/a/");
  EXPECT_EQ(Text(clName), L"b.c");
}

TEST_F(FsPath, AppendWithDirectorySeparatorInsertsOneSlashWhenNeeded) {
  struct Case {
    const wchar_t* path;
    const wchar_t* text;
    const wchar_t* out;
  };
  const Case cases[] = {
      {L"a", L"b", L"a/b"}, {L"a/", L"b", L"a/b"},     {L"", L"b", L"b"},
      {L"a/", L"/b", L"a//b"}, {L"a", L"\\b", L"a\\b"}, {L"a\\", L"b", L"a\\b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::wstring(c.path) + L" + " + c.text);
    CFSPath clPath(c.path);
    ASSERT_EQ(clPath.AppendWithDirectorySeparator(c.text), 0);
    EXPECT_EQ(Text(clPath), c.out);
  }
}

TEST_F(FsPath, AppendingAPathsOwnTextDoublesItOnce) {
  CFSPath clPath(L"ab");
  ASSERT_EQ(clPath.Append(clPath.pszGet()), 0);
  EXPECT_EQ(Text(clPath), L"abab");
  const std::wstring s(200, L'z');
  CFSPath clLong(s.c_str());
  ASSERT_EQ(clLong.Append(clLong.pszGet() + 100), 0);
  EXPECT_EQ(Text(clLong), s + std::wstring(100, L'z'));
  EXPECT_TRUE(clLong.bIsLong());
}

TEST_F(FsPath, ChangeExtensionAndMakePath) {
  CFSPath clPath(L"a/b.txt");
  clPath.ChangeExtension(L".bak");
  EXPECT_EQ(Text(clPath), L"a/b.bak");
  CFSPath clBare(L"a/b");
  clBare.ChangeExtension(L".bak");
  EXPECT_EQ(Text(clBare), L"a/b.bak");
  clBare.ChangeExtension(nullptr);
  EXPECT_EQ(Text(clBare), L"a/b");
  clBare.ChangeFileAndExtension(L"c.d");
  EXPECT_EQ(Text(clBare), L"a/c.d");
  CFSPath clMade;
  clMade.MakePath(L"/tmp", L"f", L"txt");
  EXPECT_EQ(Text(clMade), L"/tmp/f.txt");
  clMade.MakePath(L"/tmp/", L"f", L".txt");
  EXPECT_EQ(Text(clMade), L"/tmp/f.txt");
  clMade.MakePath(clMade.pszGet(), nullptr, L"x");
  EXPECT_EQ(Text(clMade), L"/tmp/f.txt/.x");
}

TEST_F(FsPath, SeparatorsAreRemovedOneAtATimeAndConverted) {
  CFSPath clPath(L"a//");
  clPath.WithoutDirectorySeparator();
  EXPECT_EQ(Text(clPath), L"a/");
  clPath.Assign(L"x\\y/z");
  clPath.ConvertToUnix();
  EXPECT_EQ(Text(clPath), L"x/y/z");
  clPath.ConvertToWindows();
  EXPECT_EQ(Text(clPath), L"x\\y\\z");
  clPath.WithDirectorySeparator();
  EXPECT_EQ(Text(clPath), L"x\\y\\z/");
  clPath.WithDirectorySeparator();
  EXPECT_EQ(Text(clPath), L"x\\y\\z/");
  EXPECT_EQ(CFSPath::__bNeedSeparator(L"ab", 2), 1);
  EXPECT_EQ(CFSPath::__bNeedSeparator(L"a/", 2), 0);
  EXPECT_EQ(CFSPath::__bNeedSeparator(L"ab", 0), 0);
}

TEST_F(FsPath, AbsolutePathsAreNormalAndLongOnesGoLong) {
  char* pszCwd = getcwd(nullptr, 0);
  const std::wstring cwd = kqtest::W(pszCwd);
  free(pszCwd);
  CFSPath clPath;
  ASSERT_EQ(clPath.AssignAbsolutePath(L"x/./y/../z"), 0);
  EXPECT_EQ(Text(clPath), cwd + L"/x/z");
  const std::wstring deep = L"/" + std::wstring(700, L'd') + L"/../e";
  ASSERT_EQ(clPath.AssignAbsolutePath(deep.c_str()), 0);
  EXPECT_EQ(Text(clPath), L"/e");
  clPath.Assign(L"rel");
  ASSERT_EQ(clPath.ConvertToAbsolute(), 0);
  EXPECT_EQ(Text(clPath), cwd + L"/rel");
  EXPECT_NE(clPath.AssignAbsolutePath(L""), 0);
  EXPECT_EQ(Text(clPath), L"");
}

TEST_F(FsPath, TheUtf8FormOfAPath) {
  CFSPath clPath(L"/t\u00e9st/\u20ac");
  EXPECT_STREQ(clPath.GetStringUTF8().pszGet(), "/t\xc3\xa9st/\xe2\x82\xac");
}

TEST_F(FsPath, CreateTempPathMakesAnEmptyFileInTheTemporaryDirectory) {
  const std::string dir = kqtest::ProcessDir("xpath-tmp");
  setenv("TMPDIR", dir.c_str(), 1);
  CFSPath clPath;
  const int nRc = clPath.CreateTempPath(L"kq");
  unsetenv("TMPDIR");
  ASSERT_EQ(nRc, 0);
  const std::string name = kqtest::U(Text(clPath));
  EXPECT_EQ(name.rfind(dir + "/kq", 0), 0u) << name;
  EXPECT_EQ(name.size(), dir.size() + 1 + 2 + 6);
  EXPECT_TRUE(kqtest::bExists(name));
  EXPECT_EQ(kqtest::ReadBytes(name), "");
  kqtest::RemoveProcessDir(dir);
}

TEST_F(FsPath, TheProgramsOwnFileIsFound) {
  CFSPath clPath;
  ASSERT_EQ(clPath.bGetModule(), 1);
  EXPECT_EQ(clPath.pszGet()[0], L'/');
  EXPECT_TRUE(CDiskFile::bIsAFile(clPath.pszGet(), nullptr));
}

// Random appends, truncations, extension changes and copies, on the path and
// on std::wstring, compared after every step.
TEST_F(FsPath, RandomChangesMatchAStringModel) {
  std::mt19937 rng(99);
  const wchar_t* const pieces[] = {L"a", L"bc", L"/", L".x", L"dir", L"\\", L"name.ext"};
  for (int nRound = 0; nRound < 40; ++nRound) {
    CFSPath clPath;
    std::wstring model;
    for (int nStep = 0; nStep < 80; ++nStep) {
      const int op = static_cast<int>(rng() % 5);
      if (op <= 1) {
        const std::wstring piece = std::wstring(rng() % 3 == 0 ? 60 : 1, L'p') +
                                   pieces[rng() % std::size(pieces)];
        ASSERT_EQ(clPath.Append(piece.c_str()), 0);
        model += piece;
      } else if (op == 2) {
        const int n = model.empty() ? 0 : static_cast<int>(rng() % (model.size() + 1));
        clPath.Truncate(n);
        if (static_cast<size_t>(n) < model.size()) model.resize(static_cast<size_t>(n));
      } else if (op == 3) {
        CFSPath clCopy(clPath);
        clCopy.Append(L"!");  // changes the copy only
        EXPECT_EQ(Text(clCopy), model + L"!");
      } else {
        const size_t nSep = model.find_last_of(L"/\\");
        const size_t nDot = model.rfind(L'.');
        const size_t nKeep =
            nDot != std::wstring::npos && (nSep == std::wstring::npos || nDot > nSep) ? nDot
                                                                                      : model.size();
        clPath.ChangeExtension(L".e");
        model = model.substr(0, nKeep) + L".e";
      }
      ASSERT_EQ(Text(clPath), model) << "round " << nRound << " step " << nStep;
      ASSERT_EQ(clPath.nGetLength(), static_cast<int>(model.size()));
    }
  }
}

}  // namespace
