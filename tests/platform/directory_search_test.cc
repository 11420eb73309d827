// Directory search: the wildcard table and a reference matcher over random
// names, and find-first / find-next / find-close over a real directory with
// files, directories, hidden names, FIFOs, sockets and links.
#include "platform/directory_search.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <map>
#include <random>
#include <set>
#include <string>

#include "platform/disk_file.h"
#include "tests/platform/file_test_support.h"

namespace {

using kqtest::ExpectFileFailure;
using kqtest::W;
using kqtest::WriteBytes;

// ---------------------------------------------------------------------------
// Wildcards

TEST(Wildcard, TheTable) {
  struct Case {
    const wchar_t* name;
    const wchar_t* pattern;
    int match;
  };
  const Case cases[] = {
      {L"a.b.txt", L"*.txt", 1},      {L"a.txt.bak", L"*.txt", 0},   {L"abc", L"a?c", 1},
      {L"ac", L"a?c", 0},             {L"a.txt", L"*.TXT", 0},       {L"abx", L"*?x", 1},
      {L"x", L"*?x", 0},              {L"", L"*", 1},                {L"", L"", 1},
      {L"a", L"", 0},                 {L"abc", L"*", 1},             {L"abc", L"a*", 1},
      {L"abc", L"*c", 1},             {L"abc", L"a*b*c", 1},         {L"abc", L"a**c", 1},
      {L"aXbXc", L"a*b*c", 1},        {L"ab", L"a*b*c", 0},          {L"mississippi", L"*sip*", 1},
      {L"mississippi", L"m*iss*ppi", 1}, {L"abcd", L"*?d", 1},       {L"d", L"?*d", 0},
      {L"aaa", L"a*a", 1},            {L"ab", L"?", 0},              {L"a", L"?", 1},
      {L"abc", L"*b", 0},             {L"a?c", L"a?c", 1},           {L"abab", L"*ab", 1},
      {L"x.y", L"*.*", 1},            {L"xy", L"*.*", 0},            {L"\u00e9t\u00e9", L"?t?", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::wstring(c.name) + L" ~ " + c.pattern);
    EXPECT_EQ(CDirectorySearch::_bFiltreFileName(c.name, c.pattern), c.match);
  }
  EXPECT_EQ(CDirectorySearch::_bFiltreFileName(nullptr, L"*"), 0);
}

// The plain recursive definition of the wildcards.
bool Reference(const wchar_t* n, const wchar_t* p) {
  if (*p == 0) return *n == 0;
  if (*p == L'*') return Reference(n, p + 1) || (*n != 0 && Reference(n + 1, p));
  if (*n == 0) return false;
  return (*p == L'?' || *p == *n) && Reference(n + 1, p + 1);
}

TEST(Wildcard, RandomNamesAndPatternsMatchAsTheDefinitionSays) {
  std::mt19937 rng(7);
  const wchar_t nameChars[] = L"ab.";
  const wchar_t patternChars[] = L"ab.*?";
  for (int i = 0; i < 20000; ++i) {
    std::wstring name(rng() % 9, L'a');
    for (auto& c : name) c = nameChars[rng() % 3];
    std::wstring pattern(rng() % 7, L'a');
    for (auto& c : pattern) c = patternChars[rng() % 5];
    ASSERT_EQ(CDirectorySearch::_bFiltreFileName(name.c_str(), pattern.c_str()) != 0,
              Reference(name.c_str(), pattern.c_str()))
        << kqtest::U(name) << " ~ " << kqtest::U(pattern);
  }
}

// ---------------------------------------------------------------------------
// Searching a directory

class DirectorySearch : public kqtest::FilesTest {
 protected:
  void SetUp() override {
    kqtest::FilesTest::SetUp();
    WriteBytes(P("a.txt"), "12345");
    WriteBytes(P("b.txt"), "");
    WriteBytes(P("c.log"), "");
    WriteBytes(P(".hidden"), "");
    ASSERT_EQ(mkdir(P("d").c_str(), 0755), 0);
    ASSERT_EQ(symlink(P("d").c_str(), P("linkdir").c_str()), 0);
    ASSERT_EQ(symlink(P("nowhere").c_str(), P("dangling").c_str()), 0);
    ASSERT_EQ(mkfifo(P("fifo").c_str(), 0644), 0);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    struct sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    const std::string sock = P("sock");
    ASSERT_LT(sock.size(), sizeof(addr.sun_path));
    std::strcpy(addr.sun_path, sock.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<struct sockaddr*>(&addr), sizeof(addr)), 0);
    close(fd);
  }

  // name -> attribute word of every entry the search gives.
  std::map<std::string, int> Find(const std::wstring& path, int nRequired, int nExcluded) {
    std::map<std::string, int> out;
    CFindFile clFind;
    for (int b = clFind.bFindFirst(path.c_str(), nRequired, nExcluded, nullptr); b;
         b = clFind.bFindNext(nullptr)) {
      out[kqtest::U(clFind.Data().szName)] = clFind.Data().nAttributes;
    }
    return out;
  }
  static std::set<std::string> Names(const std::map<std::string, int>& m) {
    std::set<std::string> s;
    for (const auto& [k, v] : m) s.insert(k);
    return s;
  }
};

TEST_F(DirectorySearch, AStarListsEveryEntryButDotAndDotDot) {
  EXPECT_EQ(Names(Find(WP("*"), 0, 0)),
            (std::set<std::string>{"a.txt", "b.txt", "c.log", ".hidden", "d", "linkdir",
                                   "dangling", "fifo", "sock"}));
}

TEST_F(DirectorySearch, OnlyRealDirectoriesCarryTheDirectoryBit) {
  EXPECT_EQ(Names(Find(WP("*"), kAttributeDirectory, 0)),
            (std::set<std::string>{"d", "linkdir"}));
  EXPECT_EQ(Names(Find(WP("*"), 0, kAttributeDirectory)),
            (std::set<std::string>{"a.txt", "b.txt", "c.log", ".hidden", "dangling", "fifo",
                                   "sock"}));
  const auto all = Find(WP("*"), 0, 0);
  EXPECT_EQ(all.at("fifo") & 0xE000, kAttributeSpecial);
  EXPECT_EQ(all.at("sock") & 0xE000, kAttributeSpecial);
  EXPECT_EQ(all.at("dangling") & 0xE000, kAttributeSpecial);
  EXPECT_EQ(all.at("a.txt") & 0xE000, kAttributeFile);
  EXPECT_EQ(all.at("d"), kAttributeDirectory | 0755);
}

TEST_F(DirectorySearch, HiddenNamesCarryTheirBitAndCanBeExcluded) {
  const auto all = Find(WP("*"), 0, 0);
  EXPECT_NE(all.at(".hidden") & kAttributeHidden, 0);
  EXPECT_EQ(all.at("a.txt") & kAttributeHidden, 0);
  EXPECT_EQ(Find(WP("*"), 0, kAttributeHidden).count(".hidden"), 0u);
}

TEST_F(DirectorySearch, PatternsSelectNamesAndTheRecordDescribesTheEntry) {
  CFindFile clFind;
  ASSERT_EQ(clFind.bFindFirst(WP("a.*").c_str(), 0, 0, nullptr), 1);
  EXPECT_EQ(std::wstring(clFind.Data().szName), L"a.txt");
  EXPECT_EQ(clFind.Data().nSize, 5);
  EXPECT_GE(clFind.Data().stModification.wYear, 2020);
  EXPECT_EQ(std::wstring(clFind.Data().szDirectory), WP(""));
  EXPECT_EQ(clFind.bFindNext(nullptr), 0);
  EXPECT_EQ(clFind.Data().hDir, nullptr) << "the search closes itself at the end";
  EXPECT_EQ(clFind.bFindNext(nullptr), 0);
  EXPECT_EQ(Names(Find(WP("*.txt"), 0, 0)), (std::set<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(Names(Find(W(m_dir.Path() + "\\*.log"), 0, 0)), (std::set<std::string>{"c.log"}));
}

TEST_F(DirectorySearch, APathWithoutSlashSearchesTheWorkingDirectory) {
  char* pszOld = getcwd(nullptr, 0);
  ASSERT_EQ(chdir(m_dir.Path().c_str()), 0);
  const auto found = Names(Find(L"*.log", 0, 0));
  ASSERT_EQ(chdir(pszOld), 0);
  free(pszOld);
  EXPECT_EQ(found, (std::set<std::string>{"c.log"}));
}

TEST_F(DirectorySearch, AMissingDirectoryAnswersZeroWithoutAMessage) {
  CXError clError(&gstMyModuleInfo76);
  clError.SetErrorLevel(CXError::EL_ERROR);
  CDirectorySearch::_stXFINDDATA stData = {};
  EXPECT_EQ(CDirectorySearch::bFindFirst(WP("missing/*").c_str(), &stData, 0, 0, &clError), 0);
  EXPECT_EQ(clError.eGetErrorLevel(), CXError::EL_NOERROR);
  EXPECT_EQ(std::wstring(clError.pszGetUserMessage()), L"");
  EXPECT_EQ(stData.hDir, nullptr);
}

TEST_F(DirectorySearch, AnOverLongPatternOrDirectoryIsRefused) {
  CXError clError(&gstMyModuleInfo76);
  CDirectorySearch::_stXFINDDATA stData = {};
  const std::wstring pattern = WP(std::string(300, 'p'));
  EXPECT_EQ(CDirectorySearch::bFindFirst(pattern.c_str(), &stData, 0, 0, &clError), 0);
  ExpectFileFailure(&clError, ENAMETOOLONG, pattern, 28135);
  const std::wstring dir = L"/" + std::wstring(4200, L'd') + L"/*";
  EXPECT_EQ(CDirectorySearch::bFindFirst(dir.c_str(), &stData, 0, 0, &clError), 0);
  EXPECT_EQ(clError.dwGetSystemErrorCode(), static_cast<unsigned int>(ENAMETOOLONG));
}

TEST_F(DirectorySearch, AnUnreadableDirectoryIsRecorded) {
  ASSERT_EQ(chmod(P("d").c_str(), 0), 0);
  const std::wstring path = WP("d/*");
  const int n = kqtest::RunUnprivileged([&] {
    CXError clError(&gstMyModuleInfo76);
    CFindFile clFind;
    if (clFind.bFindFirst(path.c_str(), 0, 0, &clError)) return 1;
    if (clError.dwGetSystemErrorCode() != EACCES) return 2;
    if (clError.eGetErrorLevel() != CXError::EL_ERROR) return 3;
    return 0;
  });
  EXPECT_EQ(n, 0);
}

TEST_F(DirectorySearch, TransfertToGivesTheOpenSearchToAnotherObject) {
  CFindFile clFirst;
  ASSERT_EQ(clFirst.bFindFirst(WP("*.txt").c_str(), 0, 0, nullptr), 1);
  const std::wstring first = clFirst.Data().szName;
  CFindFile clSecond;
  ASSERT_EQ(clSecond.bFindFirst(WP("*.log").c_str(), 0, 0, nullptr), 1);
  clFirst.TransfertTo(clSecond);
  EXPECT_EQ(clFirst.Data().hDir, nullptr);
  ASSERT_EQ(clSecond.bFindNext(nullptr), 1);
  EXPECT_NE(std::wstring(clSecond.Data().szName), first);
  EXPECT_EQ(clSecond.bFindClose(nullptr), 1);
  EXPECT_EQ(clSecond.bFindClose(nullptr), 1) << "closing a closed search succeeds";
}

}  // namespace
