// Hostile names and values on the browse, on a server of this program's own
// so that NO_BACKSLASH_ESCAPES can be set for the whole server: tables named
// with a backquote, a quote, a backslash and multi-byte characters; order
// values holding quotes, backslashes, a backslash before a quote, 4-byte
// characters and trailing blanks, as the keys that windows and rebuilt
// browses go on from. (A text of the record ends at its first NUL, so a
// value with a NUL inside is no key a browse can go on from exactly: see
// the README's limits.) The rows read are the client's, in its order,
// in the default sql_mode and with backslashes read as plain characters.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/mariadb/client_library.h"
#include "tests/tables/private_server_fixture.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

// Sets the server's global sql_mode as root over its socket (the test user
// may not): connections made afterwards take it.
bool bSetGlobalMode(const std::string& mode) {
  const std::string command = "mariadb --no-defaults --protocol=socket --socket='" + PrivateServerDir() +
                              "/mysqld.sock' --user=root -e \"SET GLOBAL sql_mode='" + mode +
                              "'\"";
  return std::system(command.c_str()) == 0;
}

struct Mode {
  const char* name;
  const char* sqlMode;
};

class HostileBrowseTest : public PrivateServerBrowseTest,
                          public ::testing::WithParamInterface<Mode> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(s_bStarted) << "the program's own server did not start";
    // Before the fixture's connection is made.
    ASSERT_TRUE(bSetGlobalMode(GetParam().sqlMode));
    DataAccessBrowseTest::SetUp();
  }

  // Opens pszTable (its quoted form for SQL) with name (utf8mb4, nullable,
  // hostile values) and id.
  void OpenHostile(const std::wstring& wname, const std::string& quoted, long long llCacheSize) {
    CreateTable(quoted,
                "id INT NOT NULL PRIMARY KEY, name VARCHAR(20) CHARACTER SET utf8mb4 "
                "COLLATE utf8mb4_general_ci NULL, KEY(name)");
    // Written with hex literals: their bytes reach the server whatever the
    // mode reads backslashes as.
    const std::vector<std::string> values = {
        "'", "\\", "\\'", "''", "\xF0\x9F\x98\x80", "x  ", "x", "a",
        "\\\\", "a'b\\c", " ", "",  "z\xF0\x9F\x98\x80'"};
    std::string sql = "INSERT INTO " + quoted + " VALUES ";
    int id = 1;
    for (int copy = 0; copy < 3; ++copy) {
      for (const std::string& v : values) {
        std::string hex;
        for (unsigned char ch : v) {
          static const char kHex[] = "0123456789ABCDEF";
          hex += kHex[ch >> 4];
          hex += kHex[ch & 15];
        }
        if (id > 1) sql += ",";
        sql += "(" + std::to_string(id++) + "," +
               (hex.empty() ? std::string("''") : "CONVERT(X'" + hex + "' USING utf8mb4)") + ")";
      }
      sql += ",(" + std::to_string(id++) + ",NULL)";
    }
    ASSERT_TRUE(m_session.bRun(sql));
    m_session.pclConnection()->SetCacheSize(llCacheSize);
    m_piSource = CStandInDescription::pclNew(
        wname.c_str(),
        {Decl(L"id", NA_IT_I4, 4, kPrimary, false), Decl(L"name", NA_IT_UNICODE, 42, kDuplicates)},
        12);
    m_pclAccess = static_cast<CNADataAccess*>(
        m_pclDriver->pclAllocDataAccess(m_piSource, m_session.pclConnection(), m_pclError));
    m_pclAccess->AddRef();
    ASSERT_EQ(m_pclAccess->bHOuvre(static_cast<_eNA_ACCESS>(0), wname.c_str()), 1) << Dump();
    m_quoted = quoted;
  }

  std::vector<long long> ClientIds() {
    std::vector<long long> ids;
    for (const std::string& s : m_session.FirstCells("SELECT id FROM " + m_quoted +
                                                     " ORDER BY name, id"))
      ids.push_back(std::stoll(s));
    return ids;
  }

  std::string m_quoted;
};

TEST_P(HostileBrowseTest, KeysWithQuotesBackslashesAndWideCharactersContinueTheBrowseExactly) {
  struct Name {
    const wchar_t* wname;
    const char* quoted;
  } const names[] = {
      {L"kqh_plain", "kqh_plain"},
      // MariaDB names hold no 4-byte character.
      {L"kqh`q'b\\\u00e9\u20ac", "`kqh``q'b\\\xC3\xA9\xE2\x82\xAC`"},
  };
  for (const Name& n : names) {
    SCOPED_TRACE(n.quoted);
    for (long long llCache : {2LL, 5LL}) {
      SCOPED_TRACE(llCache);
      OpenHostile(n.wname, n.quoted, llCache);
      const std::vector<long long> expected = ClientIds();
      ASSERT_EQ(expected.size(), 42u);
      std::vector<long long> forward;
      for (long long id = Read(L"name", NA_PARSE_FIRST); id >= 0; id = Read(L"name", NA_PARSE_NEXT))
        forward.push_back(id);
      EXPECT_EQ(forward, expected);
      // Rebuilt from the keys of hostile rows, both ways.
      ASSERT_EQ(Read(L"name", NA_PARSE_FIRST), expected[0]);
      WalkAtRandom(L"name", expected, 0, 5, 150, 2, 3);
      Release();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, HostileBrowseTest,
    ::testing::Values(Mode{"Default", "STRICT_TRANS_TABLES,ERROR_FOR_DIVISION_BY_ZERO"},
                      Mode{"NoBackslashEscapes",
                           "STRICT_TRANS_TABLES,ERROR_FOR_DIVISION_BY_ZERO,NO_BACKSLASH_ESCAPES"}),
    [](const ::testing::TestParamInfo<Mode>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kqtest
