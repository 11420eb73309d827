// The system functions: the C runtime's strings, the Windows version
// predicates, the working directory and the process locale.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <string>

#include "platform/crt_strings.h"
#include "platform/current_directory.h"
#include "platform/process_locale.h"
#include "platform/windows_version.h"

namespace {

using std::string;
using std::wstring;

// ---------------------------------------------------------------------------
// C runtime strings, Windows versions

TEST(SmallFunctions, BoundedLengths) {
  EXPECT_EQ(xstrnlen("abc", 10), 3u);
  EXPECT_EQ(xstrnlen("abc", 2), 2u);
  EXPECT_EQ(xstrnlen("abc", 0), 0u);
  EXPECT_EQ(xstrnlen("", 5), 0u);
  EXPECT_EQ(xstrnlen(nullptr, 5), 0u);
  const char acUnterminated[2] = {'x', 'y'};
  EXPECT_EQ(xstrnlen(acUnterminated, 2), 2u);
  EXPECT_EQ(xwcsnlen(L"abc", 10), 3u);
  EXPECT_EQ(xwcsnlen(L"abc", 1), 1u);
  EXPECT_EQ(xwcsnlen(L"abc", 0), 0u);
  EXPECT_EQ(xwcsnlen(L"", 3), 0u);
  EXPECT_EQ(xwcsnlen(nullptr, 3), 0u);
}

TEST(SmallFunctions, CaseInPlace) {
  char acText[] = "abC-z\xE9";
  EXPECT_EQ(my_struprA(acText), acText);
  EXPECT_STREQ(acText, "ABC-Z\xE9");  // the C locale leaves bytes above 127 alone
  EXPECT_STREQ(my_strlwrA(acText), "abc-z\xE9");
  wchar_t awText[] = L"abC\xE9";
  EXPECT_STREQ(my_struprW(awText), L"ABC\xE9");  // C locale: ASCII only
  EXPECT_STREQ(my_strlwrW(awText), L"abc\xE9");
  EXPECT_EQ(my_struprA(nullptr), nullptr);
  EXPECT_EQ(my_strlwrW(nullptr), nullptr);
}

TEST(SmallFunctions, FillsStopAtTheTerminatorAndTheCount) {
  wchar_t awText[] = L"abcde";
  EXPECT_STREQ(wcsnset(awText, L'x', 2), L"xxcde");
  EXPECT_STREQ(wcsnset(awText, L'y', 0), L"xxcde");
  EXPECT_STREQ(wcsnset(awText, L'z', 99), L"zzzzz");
  EXPECT_STREQ(wcsset(awText, L'q'), L"qqqqq");
  wchar_t awEmpty[] = L"";
  EXPECT_STREQ(wcsnset(awEmpty, L'x', 3), L"");
  EXPECT_STREQ(wcsset(awEmpty, L'x'), L"");
  EXPECT_EQ(wcsnset(nullptr, L'x', 3), nullptr);
}


TEST(SmallFunctions, BytePatternSearch) {
  const char acHay[] = {'a', 'a', 'a', 'b'};
  EXPECT_EQ(xmemmem(acHay, 4, "aab", 3), acHay + 1);
  EXPECT_EQ(xmemmem(acHay, 4, "b", 1), acHay + 3);
  EXPECT_EQ(xmemmem(acHay, 4, "c", 1), nullptr);
  EXPECT_EQ(xmemmem(acHay, 4, "ab", 0), nullptr);
  EXPECT_EQ(xmemmem(acHay, 0, "a", 1), nullptr);
  EXPECT_EQ(xmemmem(acHay, 2, "aab", 3), nullptr);
  EXPECT_EQ(xmemmem(acHay, 3, "aab", 3), nullptr);  // the b lies beyond the size
  EXPECT_EQ(xmemmem(acHay, 4, "aaab", 4), acHay);
}

TEST(SmallFunctions, VersionPredicatesAreAllFalse) {
  EXPECT_EQ(bWindowsNT(), 0);
  EXPECT_EQ(bWindowsNT(6, 1), 0);
  EXPECT_EQ(bWindows2000() | bWindowsXP() | bWindows2003() | bWindowsVista() | bWindowsSeven() |
                bWindows8() | bWindows10() | bWindows10_WithCreatorsUpdate() |
                bWindowsSmartphone_SansCache() | bWindowsCE2002() | bIsWindows64(),
            0);
  EXPECT_EQ(bWindowsSmartphone(), 0);
  EXPECT_EQ(bWindowsSmartphone(), 0);
}

// ---------------------------------------------------------------------------
// Current directory and locale (restored after each test)

class ProcessState : public testing::Test {
 protected:
  void SetUp() override {
    char acCwd[PATH_MAX];
    ASSERT_NE(getcwd(acCwd, sizeof acCwd), nullptr);
    m_sCwd = acCwd;
    m_sCtype = std::setlocale(LC_CTYPE, nullptr);
    char acTemplate[] = "/tmp/kqcpXXXXXX";
    ASSERT_NE(mkdtemp(acTemplate), nullptr);
    m_sDir = acTemplate;
  }
  void TearDown() override {
    EXPECT_EQ(chdir(m_sCwd.c_str()), 0);
    std::setlocale(LC_CTYPE, m_sCtype.c_str());
    string command = "rm -rf '" + m_sDir + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  static string Cwd() {
    char acCwd[PATH_MAX];
    return getcwd(acCwd, sizeof acCwd) != nullptr ? string(acCwd) : string();
  }
  string m_sCwd, m_sCtype, m_sDir;
};

TEST_F(ProcessState, SetCurrentDirectoryWReadsBackslashesAsSlashes) {
  const string sub = m_sDir + "/sous r\xC3\xA9pertoire";
  ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
  wstring path(m_sDir.begin(), m_sDir.end());
  path += L"\\sous r\xE9pertoire";
  EXPECT_EQ(SetCurrentDirectoryW(path.c_str()), 1);
  EXPECT_EQ(Cwd(), sub);
  errno = 0;
  EXPECT_EQ(SetCurrentDirectoryW(L"/no/such/directory/here"), 0);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(SetCurrentDirectoryW(nullptr), 0);
  EXPECT_EQ(Cwd(), sub);
}

TEST_F(ProcessState, SetCurrentDirectoryAConvertsFromTheCurrentCodePage) {
  // No server here: the default character set, code page 1252.
  const string sub = m_sDir + "/caf\xC3\xA9";
  ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
  EXPECT_EQ(SetCurrentDirectoryA((m_sDir + "/caf\xE9").c_str()), 1);
  EXPECT_EQ(Cwd(), sub);
  EXPECT_EQ(SetCurrentDirectoryA("/no/such/directory/here"), 0);
  EXPECT_EQ(SetCurrentDirectoryA(nullptr), 0);
}

TEST_F(ProcessState, SetLocaleUtf8FindsAUtf8Locale) {
  const char* pszName = SetLocaleUTF8();
  ASSERT_NE(pszName, nullptr);
  const string name = pszName;
  EXPECT_TRUE(name.find("utf8") != string::npos || name.find("utf-8") != string::npos) << name;
  for (char c : name) EXPECT_FALSE(c >= 'A' && c <= 'Z') << name;
  UnsetLocale(LC_CTYPE);
  EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
}

}  // namespace
