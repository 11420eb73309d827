// kqhost's browse as a program: the built kqhost, run through the i386
// runner with commands on its standard input, against a small table of the
// fixture's server; its rows must equal, byte for byte, what the mariadb
// client prints with --batch --skip-column-names for the same order.
//
// Expectations: every browse needs the driver's reads (INATable::bHLitxxx,
// bHRecherche, positions). While those answer user error 8 ("not built
// yet"), the tests that need them skip with that message; the tests of
// kqhost's own refusals and of opening run regardless.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/mariadb/client_library.h"
#include "tests/mariadb/server_env.h"
#include "tests/tables/private_server_dir.h"

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

namespace {

using kq230::test_support::MariadbServer;

// The table of this process: CTest runs the tests of a program side by side,
// each in a process of its own, on the one server.
std::string kTable;

std::string ReadFile(const std::string& strPath) {
  std::ifstream in(strPath, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::string& strPath, const std::string& strText) {
  std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
  out << strText;
}

// A path in single quotes for the shell.
std::string Quoted(const std::string& str) {
  std::string strOut = "'";
  for (char c : str) strOut += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return strOut + "'";
}

class KqhostBrowseTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    kTable = "kqhost_browse_" + std::to_string(getpid());
    std::string strError;
    s_bServer =
        kq230::test_support::ReadMariadbServer(KQ_DEFAULT_MARIADB_ENV, &s_server, &strError);
    if (!s_bServer) {
      s_strWhy = strError;
      return;
    }
    char szDir[] = "/tmp/kqhost_browse.XXXXXX";
    if (mkdtemp(szDir) == nullptr) {
      s_bServer = false;
      s_strWhy = "no temporary directory";
      return;
    }
    s_strDir = szDir;
    // Every item type the printer decodes, memos among them, escapes, NULLs,
    // empty values, a non-ASCII name and two equal names (the item's order
    // then falls back to the key).
    const std::string strCreate =
        std::string("DROP TABLE IF EXISTS ") + kTable + ";\n" + "CREATE TABLE " + kTable +
        " (\n"
        "  id INT PRIMARY KEY,\n"
        "  name VARCHAR(20) NOT NULL,\n"
        "  note VARCHAR(30) NULL,\n"
        "  amount DECIMAL(20,4) NULL,\n"
        "  born DATE NULL,\n"
        "  seen DATETIME NULL,\n"
        "  ratio DOUBLE NULL,\n"
        "  big BIGINT NULL,\n"
        "  memo TEXT NULL,\n"
        "  bin BLOB NULL,\n"
        "  KEY name_k (name)\n"
        ") ENGINE=InnoDB CHARACTER SET utf8mb4;\n"
        "INSERT INTO " +
        kTable +
        " VALUES\n"
        "  (1, 'alpha', 'tab\\there', 12.5, '2024-02-29', '2024-02-29 23:59:58', 0.25, "
        "-9000000000, 'a memo\\twith a tab', 0x00410A5C),\n"
        "  (2, 'beta', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),\n"
        "  (3, 'bravo', 'line\\nbreak back\\\\slash', -0.0005, '1999-12-31', '1999-12-31 "
        "00:00:00', 1e20, 0, '', ''),\n"
        "  (4, 'caf\xC3\xA9', '\xE2\x82\xAC sign', 123456789012.3456, '2000-01-01', '2000-01-01 "
        "12:00:00', -1.5, 9223372036854775807, '\xE2\x82\xAC', NULL),\n"
        "  (5, 'beta', 'dup', 0, '1970-01-01', '1970-01-01 00:00:01', 3, 1, NULL, 0x41);\n";
    int nStatus = 0;
    const std::string strOut = Client(strCreate, &nStatus);
    if (nStatus != 0) {
      s_bServer = false;
      s_strWhy = "the table could not be made: " + strOut;
    }
  }

  static void TearDownTestSuite() {
    if (s_bServer) {
      int nStatus = 0;
      Client(std::string("DROP TABLE IF EXISTS ") + kTable + ";\n", &nStatus);
    }
    if (!s_strDir.empty()) std::system(("rm -rf " + Quoted(s_strDir)).c_str());
    // The program's leak check counts what statics still hold at its end.
    std::string().swap(s_strDir);
    std::string().swap(s_strWhy);
    std::string().swap(kTable);
    MariadbServer stEmpty;
    std::swap(s_server, stEmpty);
    s_bServer = false;
  }

  void SetUp() override {
    if (!s_bServer) GTEST_SKIP() << "no server: " << s_strWhy;
  }

  // The mariadb client as root over the socket (root has no password there),
  // the SQL on its standard input; its standard output.
  static std::string Client(const std::string& strSql, int* pnStatus) {
    const std::string strIn = s_strDir + "/client.sql";
    const std::string strOut = s_strDir + "/client.out";
    WriteFile(strIn, strSql);
    const std::string strCommand =
        "mariadb --no-defaults --protocol=socket --socket=" + Quoted(s_server.socket) +
        " --user=root --default-character-set=utf8mb4 --batch --skip-column-names " +
        Quoted(s_server.database) + " <" + Quoted(strIn) + " >" + Quoted(strOut) + " 2>&1";
    const int nRaw = std::system(strCommand.c_str());
    *pnStatus = WIFEXITED(nRaw) ? WEXITSTATUS(nRaw) : -1;
    return ReadFile(strOut);
  }

  // What the client prints for one SELECT.
  static std::string Rows(const std::string& strSelect) {
    int nStatus = 0;
    const std::string strOut = Client(strSelect + ";\n", &nStatus);
    EXPECT_EQ(nStatus, 0) << strSelect << ": " << strOut;
    return strOut;
  }

  // kqhost browse with the commands on its standard input; its standard
  // output, *pnStatus its exit status.
  static std::string Kqhost(const std::string& strCommands, int* pnStatus,
                            const std::string& strOptions = "") {
    const std::string strIn = s_strDir + "/kqhost.in";
    const std::string strOut = s_strDir + "/kqhost.out";
    const std::string strErr = s_strDir + "/kqhost.err";
    WriteFile(strIn, strCommands);
    const char* pszEnv = std::getenv("KQ_MARIADB_ENV");
    const std::string strEnv = pszEnv != nullptr && *pszEnv != 0 ? pszEnv : KQ_DEFAULT_MARIADB_ENV;
    const std::string strCommand = std::string(KQ_RUNNER_COMMAND) + " " + Quoted(KQ_KQHOST_PATH) +
                                   " browse --env " + Quoted(strEnv) + " " + strOptions + " <" +
                                   Quoted(strIn) + " >" + Quoted(strOut) + " 2>" + Quoted(strErr);
    const int nRaw = std::system(strCommand.c_str());
    *pnStatus = WIFEXITED(nRaw) ? WEXITSTATUS(nRaw) : -1;
    return ReadFile(strOut);
  }

  // Runs each case on a fresh kqhost (below).
  void RunCases(const std::vector<struct BrowseCase>& aCases);

  // Skips the test while the driver's reads answer "not built yet".
  static bool bReadsNotBuilt(const std::string& strOut) {
    return std::regex_search(strOut, std::regex("(^|\n)error 8 [0-9]+: "));
  }

  static bool s_bServer;
  static std::string s_strWhy;
  static MariadbServer s_server;
  static std::string s_strDir;
};

bool KqhostBrowseTest::s_bServer = false;
std::string KqhostBrowseTest::s_strWhy;
MariadbServer KqhostBrowseTest::s_server;
std::string KqhostBrowseTest::s_strDir;

#define SKIP_WHILE_READS_ARE_NOT_BUILT(out)                                                   \
  if (bReadsNotBuilt(out))                                                                    \
  GTEST_SKIP() << "the driver's reads answer user error 8 (not built yet); kqhost printed:\n" \
               << (out)

// Each case: kqhost's commands after "open", then what the client prints:
// each entry is a SELECT (its rows) or a line of kqhost's own.
struct BrowseCase {
  const char* commands;
  std::vector<std::string> expected;
};

void KqhostBrowseTest::RunCases(const std::vector<BrowseCase>& aCases) {
  for (const BrowseCase& c : aCases) {
    SCOPED_TRACE(c.commands);
    int nStatus = 0;
    const std::string strOut =
        Kqhost(std::string("open ") + kTable + "\n" + c.commands + "\n", &nStatus);
    SKIP_WHILE_READS_ARE_NOT_BUILT(strOut);
    std::string strExpected;
    for (const std::string& str : c.expected)
      strExpected += str.rfind("SELECT", 0) == 0 ? Rows(str) : str + "\n";
    EXPECT_EQ(strOut, strExpected);
    EXPECT_EQ(nStatus, 0);
  }
}

TEST_F(KqhostBrowseTest, BrowsesInTheOrderTheClientGivesTheRows) {
  const std::string strAll = std::string("SELECT * FROM ") + kTable;
  RunCases({
      {"all id", {strAll + " ORDER BY id", "out of range"}},
      {"allback id", {strAll + " ORDER BY id DESC", "out of range"}},
      {"all name", {strAll + " ORDER BY name, id", "out of range"}},
      {"allback name", {strAll + " ORDER BY name DESC, id DESC", "out of range"}},
      {"first id\nnext id\nprev id",
       {strAll + " WHERE id = 1", strAll + " WHERE id = 2", strAll + " WHERE id = 1"}},
      {"last id\nnext id", {strAll + " WHERE id = 5", "out of range"}},
      {"first id\nprev id", {strAll + " WHERE id = 1", "out of range"}},
  });
}

TEST_F(KqhostBrowseTest, SearchesFindTheRowsTheClientFinds) {
  const std::string strAll = std::string("SELECT * FROM ") + kTable;
  RunCases({
      {"seekexact id 3", {strAll + " WHERE id = 3", "found"}},
      {"seekexact id 99", {"not found"}},
      {"seekexact name beta\nnext name",
       {strAll + " WHERE id = 2", "found", strAll + " WHERE id = 5"}},
      {"seek name br", {strAll + " WHERE id = 3", "found"}},
      {"seek name caf", {strAll + " WHERE id = 4", "found"}},
  });
}

TEST_F(KqhostBrowseTest, ReturnsToASavedPosition) {
  int nStatus = 0;
  const std::string strOut =
      Kqhost(std::string("open ") + kTable + "\nfirst id\nnext id\nsave id\nlast id\nreturn 1\n",
             &nStatus);
  SKIP_WHILE_READS_ARE_NOT_BUILT(strOut);
  const std::string strAll = std::string("SELECT * FROM ") + kTable;
  // The position's number is the driver's; the first saved one is 1.
  EXPECT_EQ(strOut, Rows(strAll + " WHERE id = 1") + Rows(strAll + " WHERE id = 2") + "1\n" +
                        Rows(strAll + " WHERE id = 5") + Rows(strAll + " WHERE id = 2"));
  EXPECT_EQ(nStatus, 0);
}

TEST_F(KqhostBrowseTest, AFreedPositionCannotBeReturnedTo) {
  int nStatus = 0;
  const std::string strOut =
      Kqhost(std::string("open ") + kTable + "\nfirst id\nsave id\nfree 1\nreturn 1\n", &nStatus);
  SKIP_WHILE_READS_ARE_NOT_BUILT(strOut);
  const std::string strFirst = Rows(std::string("SELECT * FROM ") + kTable + " WHERE id = 1");
  ASSERT_EQ(strOut.rfind(strFirst + "1\n", 0), 0u) << strOut;
  const std::string strLast = strOut.substr(strFirst.size() + 2);
  EXPECT_TRUE(std::regex_match(strLast, std::regex("error [1-9][0-9]* [0-9]+: .+\n"))) << strLast;
  EXPECT_NE(nStatus, 0);
}

TEST_F(KqhostBrowseTest, ReadsAgainTheRecordOfTheNumberItWasGiven) {
  const std::string strOpen = std::string("open ") + kTable + "\nfirst id\nnext id\nnext id\n";
  int nStatus = 0;
  const std::string strNumbered = Kqhost(strOpen + "recnum\n", &nStatus);
  SKIP_WHILE_READS_ARE_NOT_BUILT(strNumbered);
  const std::string strAll = std::string("SELECT * FROM ") + kTable;
  const std::string strThree = Rows(strAll + " WHERE id = 1") + Rows(strAll + " WHERE id = 2") +
                               Rows(strAll + " WHERE id = 3");
  std::smatch match;
  ASSERT_EQ(strNumbered.rfind(strThree, 0), 0u) << strNumbered;
  const std::string strNumber = strNumbered.substr(strThree.size());
  ASSERT_TRUE(std::regex_match(strNumber, match, std::regex("([0-9]+)\n"))) << strNumber;
  // Elsewhere in the browse, the number reads that record again.
  const std::string strOut = Kqhost(strOpen + "first id\nread " + match[1].str() + "\n", &nStatus);
  EXPECT_EQ(strOut, strThree + Rows(strAll + " WHERE id = 1") + Rows(strAll + " WHERE id = 3"));
  EXPECT_EQ(nStatus, 0);
}

TEST_F(KqhostBrowseTest, ContextsBrowseApart) {
  int nStatus = 0;
  const std::string strOut = Kqhost(std::string("open ") + kTable + "\nfirst id\ncontext 2\nopen " +
                                        kTable + "\nlast id\ncontext 1\nnext id\n",
                                    &nStatus);
  SKIP_WHILE_READS_ARE_NOT_BUILT(strOut);
  const std::string strAll = std::string("SELECT * FROM ") + kTable;
  EXPECT_EQ(strOut, Rows(strAll + " WHERE id = 1") + Rows(strAll + " WHERE id = 5") +
                        Rows(strAll + " WHERE id = 2"));
}

TEST_F(KqhostBrowseTest, ExtendedParametersReachTheConnection) {
  // A client library that is not there: the connection cannot open, and
  // kqhost says why before any command runs.
  int nStatus = 0;
  const std::string strRefused =
      Kqhost(std::string("open ") + kTable + "\n", &nStatus,
             "--extended 'KQ Client Library=/nonexistent/libkq_none.so'");
  EXPECT_TRUE(std::regex_match(strRefused, std::regex("error [1-9][0-9]* [0-9]+: .*"
                                                      "/nonexistent/libkq_none\\.so.*\n")))
      << strRefused;
  EXPECT_NE(nStatus, 0);
}

TEST_F(KqhostBrowseTest, BrowsesAcrossTheBlocksOfASmallCache) {
  // A record cache of 2 rows: the browse crosses several cache blocks and
  // must still give every row once, in order.
  int nStatus = 0;
  const std::string strOut = Kqhost(std::string("open ") + kTable + "\nall id\nallback id\n",
                                    &nStatus, "--extended 'KQ Cache Size=2'");
  SKIP_WHILE_READS_ARE_NOT_BUILT(strOut);
  const std::string strAll = std::string("SELECT * FROM ") + kTable;
  EXPECT_EQ(strOut, Rows(strAll + " ORDER BY id") + "out of range\n" +
                        Rows(strAll + " ORDER BY id DESC") + "out of range\n");
  EXPECT_EQ(nStatus, 0);
}

TEST_F(KqhostBrowseTest, TenThousandRowsComeInTheClientsOrderWhateverTheWindows) {
  // 10,000 rows, a nullable utf8mb4 item with duplicates, NULLs and 4-byte
  // characters; windows of 5 rows, of 100, and of about 1 MiB; both ways by
  // the key and by the item (its order completed by the key).
  const std::string kBig = "kqhost_big_" + std::to_string(getpid());
  std::string strSql = std::string("DROP TABLE IF EXISTS ") + kBig + ";\nCREATE TABLE " + kBig +
                       " (id INT PRIMARY KEY, name VARCHAR(20) CHARACTER SET utf8mb4 NULL, n INT,"
                       " KEY(name)) ENGINE=InnoDB;\nINSERT INTO " + kBig + " VALUES ";
  for (int i = 1; i <= 10000; ++i) {
    if (i > 1) strSql += ",";
    std::string strName = i % 13 == 0   ? "NULL"
                          : i % 7 == 0  ? "'\xF0\x9F\x98\x80" + std::to_string(i % 5) + "'"
                                        : "'n" + std::to_string(i % 97) + "'";
    strSql += "(" + std::to_string(i) + "," + strName + "," + std::to_string(i * 3) + ")";
  }
  strSql += ";\n";
  int nStatus = 0;
  const std::string strMade = Client(strSql, &nStatus);
  ASSERT_EQ(nStatus, 0) << strMade;
  const std::string strAll = std::string("SELECT * FROM ") + kBig;
  const std::string strExpected =
      Rows(strAll + " ORDER BY id") + "out of range\n" + Rows(strAll + " ORDER BY id DESC") +
      "out of range\n" + Rows(strAll + " ORDER BY name, id") + "out of range\n" +
      Rows(strAll + " ORDER BY name DESC, id DESC") + "out of range\n";
  for (const char* pszCache : {"5", "100", "-2"}) {
    SCOPED_TRACE(pszCache);
    const std::string strOut =
        Kqhost(std::string("open ") + kBig + "\nall id\nallback id\nall name\nallback name\n",
               &nStatus, std::string("--extended 'KQ Cache Size=") + pszCache + "'");
    SKIP_WHILE_READS_ARE_NOT_BUILT(strOut);
    EXPECT_TRUE(strOut == strExpected) << "kqhost's rows differ from the client's";
    EXPECT_EQ(nStatus, 0);
  }
  Client(std::string("DROP TABLE IF EXISTS ") + kBig + ";\n", &nStatus);
}

// Hostile names and values through kqhost, on a server of this program's
// own so that NO_BACKSLASH_ESCAPES can be set for the whole server: a table
// named with a backquote, a quote, a backslash and accented characters; names
// holding quotes, backslashes, a backslash before a quote, 4-byte characters
// and trailing blanks, browsed both ways in windows of 2 rows (each window
// goes on from the keys of such a row) and sought exactly.
class KqhostHostileTest : public KqhostBrowseTest {
 protected:
  static void SetUpTestSuite() {
    s_bStarted = false;
    for (int i = 0; i < 3 && !s_bStarted; ++i) s_bStarted = kqtest::bPrivateServer("start");
    if (!s_bStarted) return;
    const std::string strEnv = kqtest::PrivateServerDir() + "/server.env";
    setenv("KQ_MARIADB_ENV", strEnv.c_str(), 1);
    KqhostBrowseTest::SetUpTestSuite();
  }
  static void TearDownTestSuite() {
    KqhostBrowseTest::TearDownTestSuite();
    unsetenv("KQ_MARIADB_ENV");
    kqtest::bPrivateServer("stop");
  }
  void SetUp() override {
    ASSERT_TRUE(s_bStarted) << "the program's own server did not start";
    KqhostBrowseTest::SetUp();
  }
  static std::string Hex(const std::string& str) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string strOut;
    for (unsigned char c : str) {
      strOut += kHex[c >> 4];
      strOut += kHex[c & 15];
    }
    return strOut;
  }
  static inline bool s_bStarted = false;
};

TEST_F(KqhostHostileTest, HostileNamesAndValuesBrowseAndSeekInBothBackslashModes) {
  const std::vector<std::string> aValues = {
      "'", "\\", "\\'", "''", "a'b\\c", "O'Brien", "x  ", "x", "\xF0\x9F\x98\x80'", "-- z"};
  // MariaDB names hold no 4-byte character.
  const std::string strName = "kqh`q'b\\\xC3\xA9" + std::to_string(getpid());
  std::string strQuoted = "`";
  for (char c : strName) strQuoted += c == '`' ? std::string("``") : std::string(1, c);
  strQuoted += "`";
  for (const char* pszMode : {"STRICT_TRANS_TABLES", "STRICT_TRANS_TABLES,NO_BACKSLASH_ESCAPES"}) {
    SCOPED_TRACE(pszMode);
    std::string strSql = std::string("SET GLOBAL sql_mode='") + pszMode + "';\n" +
                         "DROP TABLE IF EXISTS " + strQuoted + ";\nCREATE TABLE " + strQuoted +
                         " (id INT PRIMARY KEY, name VARCHAR(20) CHARACTER SET utf8mb4 NULL,"
                         " KEY(name)) ENGINE=InnoDB;\nINSERT INTO " + strQuoted + " VALUES ";
    int nId = 0;
    for (int nCopy = 0; nCopy < 2; ++nCopy) {
      for (const std::string& str : aValues) {
        if (nId > 0) strSql += ",";
        strSql += "(" + std::to_string(++nId) + ",CONVERT(X'" + Hex(str) + "' USING utf8mb4))";
      }
    }
    strSql += ",(" + std::to_string(++nId) + ",NULL);\n";
    int nStatus = 0;
    const std::string strMade = Client(strSql, &nStatus);
    ASSERT_EQ(nStatus, 0) << strMade;
    const std::string strAll = "SELECT * FROM " + strQuoted;
    std::string strCommands = "open " + strName + "\nall name\nallback name\n";
    std::string strExpected = Rows(strAll + " ORDER BY name, id") + "out of range\n" +
                              Rows(strAll + " ORDER BY name DESC, id DESC") + "out of range\n";
    for (const std::string& str : aValues) {
      strCommands += "seekexact name " + str + "\n";
      strExpected += Rows(strAll + " WHERE name = CONVERT(X'" + Hex(str) +
                          "' USING utf8mb4) ORDER BY name, id LIMIT 1") +
                     "found\n";
    }
    const std::string strOut = Kqhost(strCommands, &nStatus, "--extended 'KQ Cache Size=2'");
    EXPECT_EQ(strOut, strExpected);
    EXPECT_EQ(nStatus, 0);
  }
  int nStatus = 0;
  Client("SET GLOBAL sql_mode=DEFAULT;\nDROP TABLE IF EXISTS " + strQuoted + ";\n", &nStatus);
}

// These need no read of the driver's.
TEST_F(KqhostBrowseTest, RefusesCommandsItDoesNotKnowOrThatNeedATable) {
  int nStatus = 0;
  const std::string strOut =
      Kqhost("# a comment, then a blank line\n\nnext id\nfly away\nread x\ncontext -1\n", &nStatus);
  EXPECT_EQ(strOut,
            "error 0 0: no table is open (open TABLE first)\n"
            "error 0 0: unknown command \"fly\"\n"
            "error 0 0: usage: read N\n"
            "error 0 0: usage: context N\n");
  EXPECT_NE(nStatus, 0) << "a failed command fails the run";
}

TEST_F(KqhostBrowseTest, SaysWhyATableCannotBeOpened) {
  int nStatus = 0;
  const std::string strOut = Kqhost("open no_such_table_here\nclose\n", &nStatus);
  const std::vector<std::string> aLines = [&] {
    std::vector<std::string> a;
    std::istringstream in(strOut);
    for (std::string str; std::getline(in, str);) a.push_back(str);
    return a;
  }();
  ASSERT_EQ(aLines.size(), 2u) << strOut;
  EXPECT_TRUE(std::regex_match(aLines[0], std::regex("error [1-9][0-9]* [0-9]+: .+"))) << aLines[0];
  EXPECT_EQ(aLines[1], "error 0 0: no table is open (open TABLE first)");
  EXPECT_EQ(strOut.find(s_server.password), std::string::npos) << "never the password";
  EXPECT_NE(nStatus, 0);
}

}  // namespace
