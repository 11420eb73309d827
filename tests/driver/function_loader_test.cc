// CNAFunctionLoader: loading the client library and binding the client entry
// table, against the installed MariaDB client library and stand-in libraries
// that forward to it while lacking chosen functions (tests/driver/shims).
#include "driver/function_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "core/error_object.h"
#include "driver/na_error.h"
#include "tests/mariadb/client_library.h"
#include "tests/support/bound_framework.h"

// Every change of the working directory in this program is counted: the
// loader must never make one (another thread's relative paths would move).
namespace {
int g_nDirectoryChanges = 0;
}  // namespace

extern "C" int chdir(const char* pszPath) {
  ++g_nDirectoryChanges;
  using Fn = int (*)(const char*);
  static Fn pfnReal = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "chdir"));
  return pfnReal(pszPath);
}

extern "C" int fchdir(int nFd) {
  ++g_nDirectoryChanges;
  using Fn = int (*)(int);
  static Fn pfnReal = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "fchdir"));
  return pfnReal(nFd);
}

namespace {

// Before main: see KeepClientLibraryForTheProgram.
[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

std::wstring Wide(const std::string& s) {
  return std::wstring(s.begin(), s.end());  // the build paths are ASCII
}

std::string RealPath(const char* pszPath) {
  char* p = realpath(pszPath, nullptr);
  std::string s = p != nullptr ? p : "";
  std::free(p);
  return s;
}

std::string WorkingDirectory() {
  char sz[PATH_MAX];
  return getcwd(sz, sizeof sz) != nullptr ? sz : "";
}

// The text that a stand-by entry (or anything) threw; "" when nothing was.
template <class F>
std::wstring Thrown(F f) {
  try {
    f();
  } catch (const CTString& cs) {
    return cs.pszGet();
  }
  return L"";
}

class FunctionLoader : public kqtest::BoundFrameworkTest {
 protected:
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    m_sStartDirectory = WorkingDirectory();
    m_nStartChanges = g_nDirectoryChanges;
  }
  void TearDown() override {
    CNAFunctionLoader::g_Term();
    EXPECT_EQ(g_nDirectoryChanges, m_nStartChanges) << "the working directory was changed";
    EXPECT_EQ(WorkingDirectory(), m_sStartDirectory);
    BoundFrameworkTest::TearDown();
  }

  // Loads pszLibrary into m_clError; the path the loader recorded goes into
  // m_csPath (left "unset" when it records none).
  int Load(const wchar_t* pszLibrary) {
    m_csPath = L"unset";
    return CNAFunctionLoader::g_bInitNative(&m_clError, &m_csPath, pszLibrary, 0);
  }

  static int BoundCount() {
    int n = 0;
    for (int i = 0; i < CNAFunctionLoader::kEntryCount; ++i) n += CNAFunctionLoader::g_bEntryBound(i);
    return n;
  }

  std::wstring UserMessage() const { return m_clError.pclGetLastXError()->pszGetUserMessage(); }
  std::wstring Dump() const { return m_clError.pszGetError(); }

  CNAError m_clError;
  CTString m_csPath;
  std::string m_sStartDirectory;
  int m_nStartChanges = 0;
};

TEST_F(FunctionLoader, TheTableHoldsTheTwentyFourFunctionsOnStandBy) {
  const wchar_t* const kNames[] = {
      L"mysql_get_client_info", L"mysql_get_server_info", L"mysql_init",
      L"mysql_real_connect",    L"mysql_close",           L"mysql_escape_string",
      L"mysql_real_query",      L"mysql_store_result",    L"mysql_use_result",
      L"mysql_free_result",     L"mysql_fetch_fields",    L"mysql_num_fields",
      L"mysql_fetch_lengths",   L"mysql_data_seek",       L"mysql_fetch_row",
      L"mysql_num_rows",        L"mysql_insert_id",       L"mysql_errno",
      L"mysql_error",           L"mysql_affected_rows",   L"mysql_next_result",
      L"mysql_set_character_set", L"mysql_ssl_set",       L"mysql_options"};
  static_assert(sizeof(kNames) / sizeof(kNames[0]) == CNAFunctionLoader::kEntryCount);
  for (int i = 0; i < CNAFunctionLoader::kEntryCount; ++i) {
    EXPECT_STREQ(CNAFunctionLoader::g_pszEntryName(i), kNames[i]);
    EXPECT_EQ(CNAFunctionLoader::g_bEntryBound(i), 0) << i;
  }
  EXPECT_EQ(CNAFunctionLoader::g_pszEntryName(24), nullptr);
  EXPECT_EQ(CNAFunctionLoader::g_pszEntryName(-1), nullptr);
  EXPECT_EQ(CNAFunctionLoader::g_bLoaded(), 0);
  EXPECT_EQ(CNAFunctionLoader::g_hGetNativeLibHandle(), nullptr);
}

TEST_F(FunctionLoader, AStandByEntryThrowsItsFunctionsName) {
  EXPECT_EQ(Thrown([] { __mysql_init(nullptr); }), L"mysql_init");
  EXPECT_EQ(Thrown([] { __mysql_data_seek(nullptr, 1ULL << 40); }), L"mysql_data_seek");
  EXPECT_EQ(Thrown([] { __mysql_real_connect(nullptr, "h", "u", "p", "d", 3306, nullptr, 0); }),
            L"mysql_real_connect");
  EXPECT_EQ(Thrown([] { __mysql_ssl_set(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr); }),
            L"mysql_ssl_set");
  EXPECT_EQ(Thrown([] { __mysql_options(nullptr, kMysqlSetCharsetName, "utf8mb4"); }),
            L"mysql_options");
  EXPECT_EQ(Thrown([] { __mysql_get_client_info(); }), L"mysql_get_client_info");
}

TEST_F(FunctionLoader, TheDefaultNameLoadsTheInstalledClientLibrary) {
  ASSERT_EQ(Load(nullptr), 1) << Dump();
  EXPECT_EQ(CNAFunctionLoader::g_bLoaded(), 1);
  EXPECT_NE(CNAFunctionLoader::g_hGetNativeLibHandle(), nullptr);
  EXPECT_EQ(BoundCount(), CNAFunctionLoader::kEntryCount);
  const std::wstring path = m_csPath.pszGet();
  EXPECT_EQ(path[0], L'/') << path;
  EXPECT_NE(path.find(L"libmariadb.so"), std::wstring::npos) << path;
  EXPECT_EQ(static_cast<int>(m_clError.eGetErrorType()), -1);
  // The bound entries are the library's: a real call works.
  const std::string version = __mysql_get_client_info();
  EXPECT_FALSE(version.empty());
  MYSQL* pMySQL = __mysql_init(nullptr);
  ASSERT_NE(pMySQL, nullptr);
  EXPECT_EQ(__mysql_errno(pMySQL), 0u);
  EXPECT_STREQ(__mysql_error(pMySQL), "");
  __mysql_close(pMySQL);
  // The library's state that mysql_init made is ended by the loader before it
  // unloads the library (the sanitized build's leak balance checks it).
  // An empty name is the default too.
  CNAFunctionLoader::g_Term();
  ASSERT_EQ(Load(L""), 1) << Dump();
}

TEST_F(FunctionLoader, AFullPathLoadsThatFileFromItsDirectory) {
  const std::string sShim = RealPath(KQ_SHIM_NO_SSL_SET);
  ASSERT_EQ(Load(Wide(sShim).c_str()), 1) << Dump();
  EXPECT_EQ(std::wstring(m_csPath.pszGet()), Wide(sShim));
  EXPECT_EQ(std::wstring(CNAFunctionLoader::g_pclNAFunctionLoader->csGetDirectory().pszGet()),
            Wide(RealPath(KQ_SHIM_DIR)));
  // A name written with backslashes is the same path.
  CNAFunctionLoader::g_Term();
  std::wstring backslashed = Wide(sShim);
  for (auto& c : backslashed)
    if (c == L'/') c = L'\\';
  ASSERT_EQ(Load(backslashed.c_str()), 1) << Dump();
  EXPECT_EQ(std::wstring(m_csPath.pszGet()), Wide(sShim));
}

TEST_F(FunctionLoader, ABareNameIsFoundBesideTheDriver) {
  // The shims lie beside this program, not on the system's search path.
  EXPECT_EQ(std::wstring(CNAFunctionLoader::g_csOwnDirectory().pszGet()),
            Wide(RealPath(KQ_SHIM_DIR)));
  ASSERT_EQ(Load(L"libkqshim_full.so"), 1) << Dump();
  EXPECT_EQ(std::wstring(m_csPath.pszGet()), Wide(RealPath(KQ_SHIM_FULL)));
  EXPECT_EQ(BoundCount(), CNAFunctionLoader::kEntryCount);
}

TEST_F(FunctionLoader, MissingOptionalFunctionsStayOnStandBy) {
  ASSERT_EQ(Load(Wide(KQ_SHIM_NO_OPTIONAL).c_str()), 1) << Dump();
  EXPECT_EQ(CNAFunctionLoader::g_bLoaded(), 1);
  EXPECT_EQ(BoundCount(), CNAFunctionLoader::kEntryCount - 3);
  EXPECT_EQ(__mysql_next_result, DefaultError_mysql_next_result);
  EXPECT_NE(__mysql_set_character_set, DefaultError_mysql_set_character_set);
  EXPECT_EQ(Thrown([] { __mysql_ssl_set(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr); }),
            L"mysql_ssl_set");
  EXPECT_EQ(Thrown([] { __mysql_options(nullptr, kMysqlOptConnectTimeout, nullptr); }),
            L"mysql_options");
  EXPECT_EQ(static_cast<int>(m_clError.eGetErrorType()), -1);
}

TEST_F(FunctionLoader, AMissingLibraryIsUserError27WithTheSystemsReason) {
  const struct {
    const char* pszName;
    std::wstring library;
  } cases[] = {
      {"full path", Wide(m_sStartDirectory) + L"/no/such/dir/libmariadb.so"},
      {"bare name", L"libkq_no_such_client.so"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszName);
    m_clError.Reset();
    EXPECT_EQ(Load(c.library.c_str()), 0);
    EXPECT_EQ(CNAFunctionLoader::g_bLoaded(), 0);
    EXPECT_EQ(BoundCount(), 0);
    EXPECT_EQ(std::wstring(m_csPath.pszGet()), L"unset");
    EXPECT_EQ(static_cast<int>(m_clError.eGetErrorType()), 0);
    EXPECT_EQ(m_clError.dwGetErrorId(), 27u);
    EXPECT_NE(UserMessage().find(L"MariaDB client library " + c.library + L" (32-bit)"),
              std::wstring::npos)
        << UserMessage();
    // dlerror's own text, naming the file.
    const std::wstring reason = m_clError.pszGetSystemErrorMessage();
    EXPECT_NE(reason.find(L"cannot open shared object file"), std::wstring::npos) << reason;
    EXPECT_NE(reason.find(c.library.substr(c.library.rfind(L'/') + 1)), std::wstring::npos)
        << reason;
    const std::wstring dump = Dump();
    EXPECT_NE(dump.find(L"EIT_NATIVECODE : <27>"), std::wstring::npos) << dump;
    EXPECT_NE(dump.find(L"IEKQMARIA=9.1\r\nModule=<KQMARIA>\r\nVersion=<23.0.2.0>"),
              std::wstring::npos)
        << dump;
  }
}

TEST_F(FunctionLoader, ALibraryThatIsNoClientIsUserError37) {
  EXPECT_EQ(Load(Wide(KQ_SHIM_NOT_CLIENT).c_str()), 0);
  EXPECT_EQ(m_clError.dwGetErrorId(), 37u);
  EXPECT_NE(UserMessage().find(L"no function mysql_get_client_info"), std::wstring::npos)
      << UserMessage();
  EXPECT_EQ(CNAFunctionLoader::g_bLoaded(), 0);
  EXPECT_EQ(BoundCount(), 0);
}

// Without mysql_error the library is refused, now and at every later try; a
// refused library leaves nothing bound and is closed again.
TEST_F(FunctionLoader, AMissingMandatoryFunctionIsUserError37NowAndLater) {
  const std::wstring shim = Wide(KQ_SHIM_NO_ERROR);
  for (int nTry = 0; nTry < 2; ++nTry) {
    SCOPED_TRACE(nTry);
    m_clError.Reset();
    EXPECT_EQ(Load(shim.c_str()), 0);
    EXPECT_EQ(static_cast<int>(m_clError.eGetErrorType()), 0);
    EXPECT_EQ(m_clError.dwGetErrorId(), 37u);
    EXPECT_NE(UserMessage().find(L"no function mysql_error."), std::wstring::npos)
        << UserMessage();
    const std::wstring dump = Dump();
    EXPECT_NE(dump.find(L"EIT_NATIVECODE : <37>"), std::wstring::npos) << dump;
    EXPECT_NE(dump.find(L"IEKQMARIA=9.2\r\n"), std::wstring::npos) << dump;
    EXPECT_EQ(CNAFunctionLoader::g_bLoaded(), 0);
    EXPECT_EQ(BoundCount(), 0);
    EXPECT_EQ(std::wstring(m_csPath.pszGet()), L"unset");
    EXPECT_EQ(Thrown([] { __mysql_error(nullptr); }), L"mysql_error");
    EXPECT_EQ(Thrown([] { __mysql_init(nullptr); }), L"mysql_init");
  }
  // The shim is no longer mapped: the failed bind closed it.
  void* h = dlopen(KQ_SHIM_NO_ERROR, RTLD_NOW | RTLD_NOLOAD);
  EXPECT_EQ(h, nullptr);
  if (h != nullptr) dlclose(h);
}

TEST_F(FunctionLoader, EveryBindStartsFromACleanTable) {
  // A full library, then one lacking optional functions: nothing of the first
  // stays bound.
  ASSERT_EQ(Load(Wide(KQ_SHIM_FULL).c_str()), 1) << Dump();
  EXPECT_EQ(BoundCount(), CNAFunctionLoader::kEntryCount);
  ASSERT_EQ(Load(Wide(KQ_SHIM_NO_OPTIONAL).c_str()), 1) << Dump();
  EXPECT_EQ(__mysql_next_result, DefaultError_mysql_next_result);
  EXPECT_EQ(BoundCount(), CNAFunctionLoader::kEntryCount - 3);
  // A failure after a success leaves nothing bound and nothing loaded...
  EXPECT_EQ(Load(Wide(KQ_SHIM_NO_ERROR).c_str()), 0);
  EXPECT_EQ(BoundCount(), 0);
  EXPECT_EQ(CNAFunctionLoader::g_bLoaded(), 0);
  // ... and a good library loads afterwards.
  ASSERT_EQ(Load(Wide(KQ_SHIM_OLD_CLIENT).c_str()), 1) << Dump();
  EXPECT_STREQ(__mysql_get_client_info(), "4.0.27");
}

TEST_F(FunctionLoader, TerminationUnbindsAndUnloads) {
  CNAFunctionLoader::g_Term();  // no loader: nothing
  EXPECT_EQ(CNAFunctionLoader::g_pclNAFunctionLoader, nullptr);
  ASSERT_EQ(Load(Wide(KQ_SHIM_FULL).c_str()), 1) << Dump();
  ASSERT_NE(CNAFunctionLoader::g_pclNAFunctionLoader, nullptr);
  CNAFunctionLoader::g_Term();
  EXPECT_EQ(CNAFunctionLoader::g_pclNAFunctionLoader, nullptr);
  EXPECT_EQ(CNAFunctionLoader::g_bLoaded(), 0);
  EXPECT_EQ(CNAFunctionLoader::g_hGetNativeLibHandle(), nullptr);
  EXPECT_EQ(BoundCount(), 0);
  EXPECT_EQ(Thrown([] { __mysql_close(nullptr); }), L"mysql_close");
  void* h = dlopen(KQ_SHIM_FULL, RTLD_NOW | RTLD_NOLOAD);
  EXPECT_EQ(h, nullptr);
  if (h != nullptr) dlclose(h);
}

}  // namespace
