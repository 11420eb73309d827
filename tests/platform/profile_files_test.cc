// The profile (INI) functions: reading and writing tables over 8-bit and
// UTF-16 files, the edge cases of line ends, long lines and garbage, the
// per-user ".QNT.conf" with HOME pointing at a temporary directory, checked
// writes, and a reference model over random writes.
#include "platform/profile_files.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "tests/platform/child_process.h"

namespace {

namespace fs = std::filesystem;

std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// UTF-16LE bytes with the byte order mark, from a wide text (basic plane
// characters and surrogate pairs).
std::string Utf16File(const std::wstring& text) {
  std::string out("\xFF\xFE", 2);
  for (wchar_t c : text) {
    if (c >= 0x10000) {
      const unsigned int v = static_cast<unsigned int>(c) - 0x10000;
      const unsigned short units[2] = {static_cast<unsigned short>(0xD800 + (v >> 10)),
                                       static_cast<unsigned short>(0xDC00 + (v & 0x3FF))};
      for (unsigned short u : units) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
      }
    } else {
      out += static_cast<char>(c & 0xFF);
      out += static_cast<char>((c >> 8) & 0xFF);
    }
  }
  return out;
}

class ProfileFiles : public testing::Test {
 protected:
  void SetUp() override {
    // The same name on every run in this process: the C library keeps each
    // "HOME=..." text that setenv is given, and only an equal one is reused,
    // so a new name per run would read as a leak on the repeated runs.
    m_dir = "/tmp/kq-profile-" + std::to_string(getpid());
    std::error_code ec;
    fs::remove_all(m_dir, ec);
    ASSERT_TRUE(fs::create_directory(m_dir, ec)) << ec.message();
    const char* pszHome = std::getenv("HOME");
    m_savedHome = pszHome != nullptr ? pszHome : "";
    m_bHadHome = pszHome != nullptr;
    setenv("HOME", m_dir.c_str(), 1);
  }
  void TearDown() override {
    if (m_bHadHome) {
      setenv("HOME", m_savedHome.c_str(), 1);
    } else {
      unsetenv("HOME");
    }
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }

  std::string Path(const std::string& name = "test.ini") const { return m_dir + "/" + name; }
  std::wstring WPath(const std::string& name = "test.ini") const { return W(Path(name)); }
  void WriteFile(const std::string& bytes, const std::string& name = "test.ini") const {
    std::ofstream out(Path(name), std::ios::binary);
    out << bytes;
  }
  std::string ReadFile(const std::string& name = "test.ini") const {
    std::ifstream in(Path(name), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // The wide read of section / key with the default "dflt".
  std::wstring Read(const wchar_t* section, const wchar_t* key, unsigned int size = 256,
                    unsigned int* pn = nullptr) const {
    std::wstring buffer(size + 1, L'#');
    const unsigned int n = GetPrivateProfileStringW(section, key, L"dflt", buffer.data(), size, WPath().c_str());
    if (pn != nullptr) *pn = n;
    return std::wstring(buffer.c_str());
  }
  std::string ReadA(const char* section, const char* key, unsigned int size = 256) const {
    std::string buffer(size + 1, '#');
    GetPrivateProfileStringA(section, key, "dflt", buffer.data(), size, Path().c_str());
    return std::string(buffer.c_str());
  }

  std::string m_dir;
  std::string m_savedHome;
  bool m_bHadHome = false;
};

TEST_F(ProfileFiles, ReadsValuesAsTheReaderRulesSay) {
  struct Case { const char* name; std::string file; const wchar_t* section; const wchar_t* key; std::wstring expected; };
  const Case cases[] = {
      {"trailing blanks kept, case ignored", "[Main]\nName = Alpha  \n", L"main", L"NAME", L"Alpha  "},
      {"prefix of the key", "[Main]\nName = Alpha\n", L"Main", L"Nam", L"dflt"},
      {"key without =", "[Main]\nName\n", L"Main", L"Name", L"dflt"},
      {"key then tab then =", "[Main]\nName\t=\tv\n", L"Main", L"Name", L"v"},
      {"key then text then =", "[Main]\nName x = v\n", L"Main", L"Name", L"v"},
      {"value holds =", "[Main]\nName = a=b\n", L"Main", L"Name", L"a=b"},
      {"leading blanks", "   [Main]\n\t  Name= v\n", L"Main", L"Name", L"v"},
      {"comment skipped", "[Main]\n:Name = c\nName = v\n", L"Main", L"Name", L"v"},
      {"CRLF lines", "[S]\r\nK = v\r\n", L"S", L"K", L"v"},
      {"CR-only lines are one line", "[S]\rK = v\r", L"S", L"K", L"dflt"},
      {"no final newline", "[S]\nK = last", L"S", L"K", L"last"},
      {"missing ]", "[S\nK = v\n", L"S", L"K", L"dflt"},
      {"name longer than the section", "[Section]\nK = v\n", L"Sect", L"K", L"dflt"},
      {"first header of a name wins", "[S]\nK = 1\n[T]\n[S]\nK = 2\n", L"S", L"K", L"1"},
      {"key of another section", "[S]\nA = 1\n[T]\nK = 2\n", L"S", L"K", L"dflt"},
      {"empty file", "", L"S", L"K", L"dflt"},
      {"first of two lines", "[S]\nK = 1\nK = 2\n", L"S", L"K", L"1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(c.file);
    EXPECT_EQ(Read(c.section, c.key), c.expected);
  }
}

TEST_F(ProfileFiles, PresentEmptyValueIsNotTheDefault) {
  WriteFile("[S]\nK =   \nL=\n");
  unsigned int n = 99;
  EXPECT_EQ(Read(L"S", L"K", 256, &n), L"");
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(Read(L"S", L"L"), L"");
}

TEST_F(ProfileFiles, ListsSectionsAndKeys) {
  WriteFile("[A]\na = 1\n b=2\n:c=3\nnoequals\n=5\n\n[B]\nz=9\n[C\n");
  EXPECT_EQ(Read(nullptr, nullptr), L"A\r\nB\r\n");
  EXPECT_EQ(Read(L"", L"ignored"), L"A\r\nB\r\n");
  EXPECT_EQ(Read(L"A", nullptr), L"a\r\nb\r\n\r\n");
  EXPECT_EQ(Read(L"a", L""), L"a\r\nb\r\n\r\n");
  // Entries that do not fit whole are left out.
  EXPECT_EQ(Read(nullptr, nullptr, 5), L"A\r\n");
  EXPECT_EQ(Read(L"A", nullptr, 4), L"a\r\n");
  EXPECT_EQ(Read(L"Missing", nullptr), L"dflt");
}

TEST_F(ProfileFiles, ValuesAndDefaultsAreCutToTheBuffer) {
  WriteFile("[S]\nK = " + std::string(100000, 'v') + "\n");
  unsigned int n = 0;
  EXPECT_EQ(Read(L"S", L"K", 10, &n), L"vvvvvvvvv");
  EXPECT_EQ(n, 9u);
  EXPECT_EQ(Read(L"S", L"K", 200000, &n).size(), 100000u);
  EXPECT_EQ(n, 100000u);
  EXPECT_EQ(Read(L"S", L"missing", 3, &n), L"df");
  EXPECT_EQ(n, 2u);
  wchar_t sz[2] = {L'#', L'#'};
  EXPECT_EQ(GetPrivateProfileStringW(L"S", L"K", L"d", sz, 0, WPath().c_str()), 0u);
  EXPECT_EQ(sz[0], L'#');
  EXPECT_EQ(GetPrivateProfileStringW(L"S", L"missing", nullptr, sz, 2, WPath().c_str()), 0u);
  EXPECT_EQ(sz[0], 0);
}

TEST_F(ProfileFiles, MissingFileGivesTheDefault) {
  wchar_t sz[16];
  EXPECT_EQ(GetPrivateProfileStringW(L"S", L"K", L"fallback", sz, 16, (WPath() + L".none").c_str()), 8u);
  EXPECT_STREQ(sz, L"fallback");
  EXPECT_EQ(GetPrivateProfileInt(L"S", L"K", -5, (WPath() + L".none").c_str()), -5);
}

TEST_F(ProfileFiles, IntegersAreReadAsWcstolReadsThem) {
  WriteFile("[S]\nN = 42abc\nX = abc\nM = -17\n");
  EXPECT_EQ(GetPrivateProfileInt(L"S", L"N", 7, WPath().c_str()), 42);
  EXPECT_EQ(GetPrivateProfileInt(L"S", L"X", 7, WPath().c_str()), 0);
  EXPECT_EQ(GetPrivateProfileInt(L"S", L"M", 7, WPath().c_str()), -17);
  EXPECT_EQ(GetPrivateProfileInt(L"S", L"missing", -5, WPath().c_str()), -5);
}

TEST_F(ProfileFiles, EightBitFilesConvertForWideCallsThroughWindows1252) {
  WriteFile("[Caf\xE9]\nCl\xE9 = \xE9t\xE9 \x80\n");
  EXPECT_EQ(Read(L"Caf\u00e9", L"Cl\u00e9"), L"\u00e9t\u00e9 \u20ac");
  EXPECT_EQ(ReadA("Caf\xE9", "Cl\xE9"), "\xE9t\xE9 \x80");
}

TEST_F(ProfileFiles, Utf16FilesWithAByteOrderMarkAreRead) {
  WriteFile(Utf16File(L"[Sect\u00e9]\r\nK = v\u00e4lue\u20ac \U0001F600\r\nL = x\n"));
  EXPECT_EQ(Read(L"SECT\u00e9", L"k"), L"v\u00e4lue\u20ac \U0001F600");
  EXPECT_EQ(ReadA("Sect\xE9", "K"), "v\xE4lue\x80 ?");
  EXPECT_EQ(Read(nullptr, nullptr), L"Sect\u00e9\r\n");
  EXPECT_EQ(Read(L"Sect\u00e9", nullptr), L"K\r\nL\r\n");
}

TEST_F(ProfileFiles, GarbageFilesGiveResultsWithoutHarm) {
  std::mt19937 rng(7);
  for (int round = 0; round < 40; ++round) {
    std::string bytes(static_cast<size_t>(rng() % 3000), '\0');
    for (char& c : bytes) c = static_cast<char>(rng() % 8 == 0 ? "[]=:\n\r \t"[rng() % 8] : rng());
    if (round % 4 == 0) bytes = "\xFF\xFE" + bytes;  // UTF-16 garbage, odd lengths too
    if (round % 5 == 0) bytes += "\n[S]\nK = found";
    WriteFile(bytes);
    const std::wstring value = Read(L"S", L"K");
    const std::wstring list = Read(nullptr, nullptr, 64);
    EXPECT_LE(list.size(), 63u);
    ReadA("S", "K");
    (void)value;
    EXPECT_EQ(WritePrivateProfileStringW(L"S", L"K", L"written", WPath().c_str()), 1);
    EXPECT_EQ(Read(L"S", L"K"), L"written");
  }
}

TEST_F(ProfileFiles, WritingCreatesAFileOfTwoLines) {
  EXPECT_EQ(WritePrivateProfileStringW(L"S", L"K", L"V", WPath().c_str()), 1);
  EXPECT_EQ(ReadFile(), "[S]\nK = V\n");
  EXPECT_EQ(WritePrivateProfileStringA("S", "K2", "V2", Path().c_str()), 1);
  EXPECT_EQ(ReadFile(), "[S]\nK = V\nK2 = V2\n");
}

TEST_F(ProfileFiles, WritesChangeTheLineTheReaderReads) {
  struct Case { const char* name; std::string before; const wchar_t *section, *key, *value; std::string after; };
  const Case cases[] = {
      {"key of another case is replaced", "[Main]\nNAME=old\n", L"Main", L"Name", L"new", "[Main]\nName = new\n"},
      {"indented key and header", "  [Main]\n   Name = old\nx = 1\n", L"main", L"name", L"new",
       "  [Main]\nname = new\nx = 1\n"},
      {"comment is not replaced", "[S]\n:K = c\nK = v\n", L"S", L"K", L"w", "[S]\n:K = c\nK = w\n"},
      {"key without = is not replaced", "[S]\nK\n", L"S", L"K", L"w", "[S]\nK\nK = w\n"},
      {"inserted before the empty line", "[A]\nx = 1\n\n[B]\ny = 2\n", L"A", L"z", L"3",
       "[A]\nx = 1\nz = 3\n\n[B]\ny = 2\n"},
      {"inserted before the next section", "[A]\nx = 1\n[B]\ny = 2\n", L"A", L"z", L"3",
       "[A]\nx = 1\nz = 3\n[B]\ny = 2\n"},
      {"key later in the section is replaced", "[A]\nx = 1\n\nz = 0\n[B]\n", L"A", L"z", L"3",
       "[A]\nx = 1\n\nz = 3\n[B]\n"},
      {"appended after a last line without newline", "[A]\nx = 1", L"A", L"z", L"3", "[A]\nx = 1\nz = 3\n"},
      {"new section after a last line without newline", "k=v", L"S", L"K", L"V", "k=v\n[S]\nK = V\n"},
      {"new section", "[A]\nx = 1\n", L"S", L"K", L"V", "[A]\nx = 1\n[S]\nK = V\n"},
      {"key deleted", "[A]\nx = 1\ny = 2\n[B]\n", L"A", L"X", nullptr, "[A]\ny = 2\n[B]\n"},
      {"missing key deleted", "[A]\nx = 1\n", L"A", L"q", nullptr, "[A]\nx = 1\n"},
      {"section deleted", "[A]\nx = 1\n[B]\ny = 2\n", L"a", nullptr, nullptr, "[B]\ny = 2\n"},
      {"last section deleted", "[A]\nx = 1\n[B]\ny = 2", L"B", nullptr, nullptr, "[A]\nx = 1\n"},
      {"missing section deleted", "[A]\nx = 1\n", L"Q", nullptr, nullptr, "[A]\nx = 1\n"},
      {"new section without value", "[A]\n", L"S", L"K", nullptr, "[A]\n[S]\n"},
      {"first header of a name", "[S]\nK = 1\n[S]\nK = 2\n", L"S", L"K", L"9", "[S]\nK = 9\n[S]\nK = 2\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(c.before);
    EXPECT_EQ(WritePrivateProfileStringW(c.section, c.key, c.value, WPath().c_str()), 1);
    EXPECT_EQ(ReadFile(), c.after);
    if (c.key != nullptr && c.value != nullptr) {
      EXPECT_EQ(Read(c.section, c.key), c.value);
    }
  }
}

TEST_F(ProfileFiles, Utf16FilesStayUtf16) {
  WriteFile(Utf16File(L"[S]\r\nA = 1\r\n"));
  EXPECT_EQ(WritePrivateProfileStringW(L"S", L"B", L"\u00e9\U0001F600", WPath().c_str()), 1);
  EXPECT_EQ(WritePrivateProfileStringA("T", "C", "\xE9", Path().c_str()), 1);
  EXPECT_EQ(WritePrivateProfileStringW(L"s", L"a", L"2", WPath().c_str()), 1);
  EXPECT_EQ(ReadFile(), Utf16File(L"[S]\r\na = 2\nB = \u00e9\U0001F600\n[T]\nC = \u00e9\n"));
  EXPECT_EQ(Read(L"S", L"B"), L"\u00e9\U0001F600");
  EXPECT_EQ(ReadA("T", "C"), "\xE9");
}

TEST_F(ProfileFiles, EightBitFilesReceiveWideWritesInWindows1252) {
  EXPECT_EQ(WritePrivateProfileStringW(L"S\u00e9", L"K", L"\u20ac\u0153", WPath().c_str()), 1);
  EXPECT_EQ(ReadFile(), "[S\xE9]\nK = \x80\x9C\n");
}

TEST_F(ProfileFiles, FailedWritesAreReported) {
  // A file size limit makes the writes fail: every write and the close count,
  // the new section's header included.
  EXPECT_EQ(kqtest::RunInChild([this] {
              signal(SIGXFSZ, SIG_IGN);
              WriteFile("[A]\nx = 1\n");
              struct rlimit limit = {20, 20};
              if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 1;
              const std::wstring big(100, L'v');
              if (WritePrivateProfileStringW(L"A", L"y", big.c_str(), WPath().c_str()) != 0) return 2;
              if (WritePrivateProfileStringW(std::wstring(40, L'S').c_str(), L"k", L"v", WPath().c_str()) != 0)
                return 3;
              if (WritePrivateProfileStringW(L"A", L"x", L"2", WPath().c_str()) != 1) return 4;  // fits
              return 0;
            }),
            0);
}

TEST_F(ProfileFiles, UnopenableFilesAndLongPathsAreRefused) {
  EXPECT_EQ(WritePrivateProfileStringW(L"S", L"K", L"V", W(m_dir + "/no/such/dir.ini").c_str()), 0);
  EXPECT_EQ(WritePrivateProfileStringW(L"S", L"K", L"V", W(m_dir).c_str()), 0);  // a directory
  EXPECT_EQ(WritePrivateProfileStringW(nullptr, L"K", L"V", WPath().c_str()), 0);
  // Home and name beyond 260 characters: refused, never cut to another file.
  const std::wstring longName(300, L'n');
  errno = 0;
  EXPECT_EQ(WritePrivateProfileStringW(L"S", L"K", L"V", longName.c_str()), 0);
  EXPECT_EQ(errno, ENAMETOOLONG);
  wchar_t sz[8];
  EXPECT_EQ(GetPrivateProfileStringW(L"S", L"K", L"d", sz, 8, longName.c_str()), 1u);
  EXPECT_STREQ(sz, L"d");
  wchar_t szPath[kMaxPathChars];
  EXPECT_FALSE(__PrivateProfilePatchName(longName.c_str(), szPath));
  EXPECT_STREQ(szPath, L"");
}

TEST_F(ProfileFiles, BareNamesLiveInTheHomeDirectory) {
  wchar_t szPath[kMaxPathChars];
  ASSERT_TRUE(__PrivateProfilePatchName(L"my.ini", szPath));
  EXPECT_EQ(std::wstring(szPath), WPath("my.ini"));
  ASSERT_TRUE(__PrivateProfilePatchName(L"sub\\dir\\x.ini", szPath));
  EXPECT_STREQ(szPath, L"sub/dir/x.ini");
  char sz8[kMaxPathChars];
  ASSERT_TRUE(__PrivateProfilePatchName("my.ini", sz8));
  EXPECT_EQ(std::string(sz8), Path("my.ini"));

  EXPECT_EQ(WritePrivateProfileStringW(L"S", L"K", L"home", L"my.ini"), 1);
  EXPECT_EQ(ReadFile("my.ini"), "[S]\nK = home\n");
  char szValue[8];
  EXPECT_EQ(GetPrivateProfileStringA("S", "K", "", szValue, 8, "my.ini"), 4u);
  EXPECT_STREQ(szValue, "home");
}

TEST_F(ProfileFiles, PerUserFileIsDotQntConfInTheHomeDirectory) {
  wchar_t szPath[kMaxPathChars];
  ASSERT_TRUE(bGetQNTCONFPath(szPath));
  EXPECT_EQ(std::wstring(szPath), WPath(".QNT.conf"));
  EXPECT_EQ(WriteProfileString(L"Options", L"Level", L"12"), 1);
  EXPECT_EQ(ReadFile(".QNT.conf"), "[Options]\nLevel = 12\n");
  wchar_t sz[8];
  EXPECT_EQ(GetProfileString(L"options", L"LEVEL", L"", sz, 8), 2u);
  EXPECT_STREQ(sz, L"12");
  EXPECT_EQ(GetProfileInt(L"Options", L"Level", 0), 12);
  EXPECT_EQ(GetProfileInt(L"Options", L"Missing", 3), 3);
}

TEST_F(ProfileFiles, MissingHomeDirectoryGivesDefaultsAndFailedWrites) {
  setenv("HOME", (m_dir + "/gone").c_str(), 1);
  errno = 0;
  EXPECT_EQ(WriteProfileString(L"S", L"K", L"V"), 0);
  EXPECT_EQ(errno, ENOENT);
  wchar_t sz[8];
  EXPECT_EQ(GetProfileString(L"S", L"K", L"dflt", sz, 8), 4u);
  EXPECT_STREQ(sz, L"dflt");
  EXPECT_EQ(GetProfileInt(L"S", L"K", 5), 5);
  EXPECT_EQ(WritePrivateProfileStringA("S", "K", "V", "bare.ini"), 0);
}

TEST_F(ProfileFiles, WritesAndReadsMatchAReferenceModel) {
  std::mt19937 rng(23);
  const wchar_t* sections[] = {L"Alpha", L"ALPHA", L"beta", L"Gamma"};
  const wchar_t* keys[] = {L"one", L"ONE", L"Two", L"three", L"x"};
  std::map<std::wstring, std::map<std::wstring, std::wstring>> model;  // lowered names
  auto lower = [](std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
  };
  for (int step = 0; step < 300; ++step) {
    const std::wstring section = sections[rng() % 4];
    const std::wstring key = keys[rng() % 5];
    const int op = static_cast<int>(rng() % 10);
    if (op < 7) {
      std::wstring value;
      const int n = static_cast<int>(rng() % 6);
      for (int i = 0; i < n; ++i) value += L"ab =\u00e9z "[rng() % 7];
      while (!value.empty() && value[0] == L' ') value.erase(0, 1);
      ASSERT_EQ(WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), WPath().c_str()), 1);
      model[lower(section)][lower(key)] = value;
    } else if (op < 9) {
      ASSERT_EQ(WritePrivateProfileStringW(section.c_str(), key.c_str(), nullptr, WPath().c_str()), 1);
      auto it = model.find(lower(section));
      if (it != model.end()) it->second.erase(lower(key));
    } else {
      ASSERT_EQ(WritePrivateProfileStringW(section.c_str(), nullptr, nullptr, WPath().c_str()), 1);
      model.erase(lower(section));
    }
    for (const wchar_t* s : sections) {
      for (const wchar_t* k : keys) {
        auto its = model.find(lower(s));
        std::wstring expected = L"dflt";
        if (its != model.end()) {
          auto itk = its->second.find(lower(k));
          if (itk != its->second.end()) expected = itk->second;
        }
        ASSERT_EQ(Read(s, k), expected) << "step " << step;
      }
    }
  }
}

}  // namespace
