// The links of tables on the fixture's MariaDB server, asked for as the
// application server asks (INADriver::bGetLinkList of the loaded driver):
// one- and two-column foreign keys named by composed keys or by their
// columns, the rule codes of every rule the server prints, no line without
// the detail flag, a view and a table without foreign keys, a reference to
// a table of another database, quoted text in the definition that holds the
// word CONSTRAINT, a table name holding a back quote, and a missing table.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "host/harness/standin_connection.h"
#include "tests/host/native_access_fixture.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/second_session.h"
#include "tests/mariadb/server_env.h"
#include "values/any.h"

namespace {

// Before main: see KeepClientLibraryForTheProgram.
[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

constexpr unsigned int kDetailed = 0x20;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  if (text.empty()) return lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(L"\r\n", start);
    lines.push_back(text.substr(start, end == std::wstring::npos ? end : end - start));
    if (end == std::wstring::npos) break;
    start = end + 2;
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Runs SQL as root over the server's socket (root may log in there only).
bool RunAsRootOver(const std::string& socket, const std::string& sql) {
  const std::string command =
      "mariadb --no-defaults --protocol=socket --socket='" + socket + "' --user=root --batch";
  std::FILE* pipe = popen(command.c_str(), "w");
  if (pipe == nullptr) return false;
  std::fwrite(sql.data(), 1, sql.size(), pipe);
  return pclose(pipe) == 0;
}

class LinkListServer : public kqtest::NativeAccessTest {
 protected:
  void SetUp() override {
    kqtest::NativeAccessTest::SetUp();
    if (HasFatalFailure()) return;
    std::string strError;
    ASSERT_TRUE(kq230::test_support::ReadMariadbServer(KQ_DEFAULT_MARIADB_ENV, &m_server,
                                                       &strError))
        << strError;
    ASSERT_TRUE(m_session.Open(m_server, &strError)) << strError;
    m_strBase = kq230::test_support::UniqueName("kqlk");
    m_piHost = NewConnection(CStandInConnection::ROUTE_TCP);
    ASSERT_EQ(m_piDriver->bOpenConnection(m_piHost), 1) << LastError();
  }

  void TearDown() override {
    if (m_piHost != nullptr) {
      EXPECT_EQ(m_piDriver->bCloseConnection(m_piHost), 1);
      EXPECT_EQ(m_piHost->nAddRefCalls(), m_piHost->nReleaseCalls());
      m_piHost->nExternalRelease();
      m_piHost = nullptr;
    }
    // Children before parents.
    for (auto it = m_dropped.rbegin(); it != m_dropped.rend(); ++it)
      m_session.Run("DROP " + *it);
    kqtest::NativeAccessTest::TearDown();
  }

  bool bRunAsRoot(const std::string& sql) const { return RunAsRootOver(m_stFacts.strSocket, sql); }

  // The process's name for a fixture table.
  std::string Name(const char* pszSuffix) const { return m_strBase + "_" + pszSuffix; }

  // Runs a statement that makes an object; "TABLE x" or "VIEW x" is dropped
  // at the end.
  void Make(const std::string& sql, const std::string& drop) {
    m_dropped.push_back(drop);
    ASSERT_EQ(m_session.Run(sql), 0u) << sql << ": " << m_session.Error();
  }

  // The links of a table as the server gets them: the driver's answer, and
  // the value's text when it is a wide text.
  int Links(const std::wstring& table, unsigned int nFlags, std::wstring* pText,
            unsigned short* pnType = nullptr) {
    CAny clValue;
    clValue.SetI4(7);
    const int bResult = m_piDriver->bGetLinkList(&clValue, table.c_str(), nullptr, m_piHost, nFlags);
    if (pnType != nullptr) *pnType = clValue.nGetTypeCode();
    pText->clear();
    if (clValue.nGetTypeCode() == VX_DSTRW) {
      const wchar_t* psz = nullptr;
      unsigned int n = 0;
      clValue.pclGetIntern()->nGetPCWSTR(&psz);
      clValue.pclGetIntern()->nGetSTRLEN(&n);
      if (psz != nullptr) pText->assign(psz, n);
    } else if (clValue.nGetTypeCode() == VX_I4) {
      int n = 0;
      clValue.nGetINT(&n);
      *pText = L"<untouched " + std::to_wstring(n) + L">";
    }
    // The value goes here, while the driver that made its buffer is loaded.
    return bResult;
  }

  // The parent table p: a primary key, a composed key over (x, y), and an
  // index over (y, x, id) that serves a reference without naming it.
  void MakeParent() {
    Make("CREATE TABLE " + Name("p") +
             " (id INT PRIMARY KEY, x INT, y INT, UNIQUE KEY pxy (x, y), KEY pyx (y, x, id)) "
             "ENGINE=InnoDB",
         "TABLE " + Name("p"));
  }

  kq230::test_support::MariadbServer m_server;
  kq230::test_support::SecondSession m_session;
  std::string m_strBase;
  std::vector<std::string> m_dropped;
  CStandInConnection* m_piHost = nullptr;
};

TEST_F(LinkListServer, ATableWithoutForeignKeysGivesTheEmptyText) {
  MakeParent();
  std::wstring text;
  unsigned short nType = 0;
  EXPECT_EQ(Links(Wide(Name("p")), kDetailed, &text, &nType), 1) << LastError();
  EXPECT_EQ(nType, VX_DSTRW);
  EXPECT_EQ(text, L"");
}

TEST_F(LinkListServer, AOneColumnForeignKeyGivesItsLineAndNoneWithoutTheDetailFlag) {
  MakeParent();
  const std::string c = Name("c1");
  Make("CREATE TABLE " + c + " (a INT, CONSTRAINT fk1 FOREIGN KEY (a) REFERENCES " + Name("p") +
           " (id) ON DELETE CASCADE) ENGINE=InnoDB",
       "TABLE " + c);
  std::wstring text;
  EXPECT_EQ(Links(Wide(c), kDetailed, &text), 1) << LastError();
  EXPECT_EQ(text, L"fk1\t" + Wide(Name("p")) + L"\tid\t0,N\t" + Wide(c) +
                      L"\ta\t0,1\t2021\t2022");
  for (unsigned int nFlags : {0x00u, 0x01u, 0x13u}) {
    unsigned short nType = 0;
    EXPECT_EQ(Links(Wide(c), nFlags, &text, &nType), 1) << nFlags;
    EXPECT_EQ(nType, VX_DSTRW);
    EXPECT_EQ(text, L"") << nFlags;
  }
}

TEST_F(LinkListServer, EveryRuleTheServerPrintsGivesItsCodes) {
  MakeParent();
  const std::string c = Name("c2");
  const std::string p = Name("p");
  // The server prints RESTRICT as no clause at all; InnoDB refuses SET
  // DEFAULT.
  Make("CREATE TABLE " + c + " (a INT, b INT,"
           " CONSTRAINT r1 FOREIGN KEY (a) REFERENCES " + p + " (id) ON DELETE CASCADE,"
           " CONSTRAINT r2 FOREIGN KEY (a) REFERENCES " + p + " (id) ON UPDATE SET NULL,"
           " CONSTRAINT r3 FOREIGN KEY (a) REFERENCES " + p +
           " (id) ON DELETE NO ACTION ON UPDATE NO ACTION,"
           " CONSTRAINT r4 FOREIGN KEY (a) REFERENCES " + p +
           " (id) ON DELETE RESTRICT ON UPDATE CASCADE,"
           " CONSTRAINT r5 FOREIGN KEY (b) REFERENCES " + p +
           " (id) ON DELETE SET NULL ON UPDATE RESTRICT,"
           " CONSTRAINT r6 FOREIGN KEY (b) REFERENCES " + p +
           " (id) ON DELETE CASCADE ON UPDATE CASCADE) ENGINE=InnoDB",
       "TABLE " + c);
  std::wstring text;
  ASSERT_EQ(Links(Wide(c), kDetailed, &text), 1) << LastError();
  const std::wstring mid = L"\t" + Wide(p) + L"\tid\t0,N\t" + Wide(c) + L"\t";
  const std::vector<std::wstring> expected = {
      L"r1" + mid + L"a\t0,1\t2021\t2022", L"r2" + mid + L"a\t0,1\t2023\t2021",
      L"r3" + mid + L"a\t0,1\t2020\t2020", L"r4" + mid + L"a\t0,1\t2022\t2021",
      L"r5" + mid + L"b\t0,1\t2021\t2023", L"r6" + mid + L"b\t0,1\t2022\t2022"};
  EXPECT_EQ(Lines(text), expected);
}

TEST_F(LinkListServer, TwoColumnForeignKeysAreNamedByComposedKeysWhenOneHasExactlyTheirColumns) {
  MakeParent();
  const std::string c = Name("c3");
  const std::string p = Name("p");
  Make("CREATE TABLE " + c + " (a INT, b INT, n INT, KEY cab (a, b), KEY cban (b, a, n),"
           " CONSTRAINT k1 FOREIGN KEY (a, b) REFERENCES " + p + " (x, y),"
           " CONSTRAINT k2 FOREIGN KEY (b, a) REFERENCES " + p + " (y, x)) ENGINE=InnoDB",
       "TABLE " + c);
  std::wstring text;
  ASSERT_EQ(Links(Wide(c), kDetailed, &text), 1) << LastError();
  const std::wstring mid = L"\t" + Wide(p) + L"\t";
  const std::vector<std::wstring> expected = {
      L"k1" + mid + L"pxy\t0,N\t" + Wide(c) + L"\tcab\t0,1\t2021\t2021",
      L"k2" + mid + L"y,x\t0,N\t" + Wide(c) + L"\tb,a\t0,1\t2021\t2021"};
  EXPECT_EQ(Lines(text), expected);
}

TEST_F(LinkListServer, QuotedTextHoldingTheWordConstraintLosesNoLink) {
  MakeParent();
  const std::string c = Name("c4");
  Make("CREATE TABLE " + c +
           " (a INT COMMENT 'CONSTRAINT `z` FOREIGN KEY (`a`) REFERENCES `q` (`id`)',"
           " `CONSTRAINT` INT, `we``ird` INT,"
           " CONSTRAINT ch CHECK (`CONSTRAINT` <> 5),"
           " CONSTRAINT `f``q` FOREIGN KEY (`we``ird`) REFERENCES " + Name("p") +
           " (id) ON DELETE CASCADE) ENGINE=InnoDB",
       "TABLE " + c);
  std::wstring text;
  ASSERT_EQ(Links(Wide(c), kDetailed, &text), 1) << LastError();
  EXPECT_EQ(text, L"f`q\t" + Wide(Name("p")) + L"\tid\t0,N\t" + Wide(c) +
                      L"\twe`ird\t0,1\t2021\t2022");
}

TEST_F(LinkListServer, AReferenceToAnotherDatabaseShowsTheDatabaseBeforeTheTableAndKeepsItsLink) {
  // A database of this process's own: the test user may not make one, so
  // root makes it and lets the test user in; it goes at the end.
  const std::string db = m_strBase + "_db";
  ASSERT_TRUE(bRunAsRoot("CREATE DATABASE `" + db + "`; GRANT ALL PRIVILEGES ON `" + db +
                         "`.* TO 'kqtest'@'localhost'; GRANT ALL PRIVILEGES ON `" + db +
                         "`.* TO 'kqtest'@'127.0.0.1';"));
  struct DropAtEnd {
    std::string socket, db;
    ~DropAtEnd() {
      // The process's table that refers to it is dropped later, by the
      // tear-down: its foreign key must not hold the database back.
      RunAsRootOver(socket, "SET FOREIGN_KEY_CHECKS = 0; DROP DATABASE IF EXISTS `" + db +
                                "`; REVOKE ALL PRIVILEGES ON `" +
                                db + "`.* FROM 'kqtest'@'localhost'; REVOKE ALL PRIVILEGES ON `" +
                                db + "`.* FROM 'kqtest'@'127.0.0.1';");
    }
  } dropAtEnd{m_stFacts.strSocket, db};
  const std::string r = db + "." + Name("r");
  Make("CREATE TABLE " + r + " (id INT PRIMARY KEY, x INT, y INT, UNIQUE KEY rxy (x, y)) "
           "ENGINE=InnoDB",
       "TABLE " + r);
  const std::string c = Name("c5");
  Make("CREATE TABLE " + c + " (a INT, b INT, KEY cab (a, b),"
           " CONSTRAINT far1 FOREIGN KEY (a) REFERENCES " + r + " (id) ON DELETE CASCADE,"
           " CONSTRAINT far2 FOREIGN KEY (a, b) REFERENCES " + r + " (x, y)) ENGINE=InnoDB",
       "TABLE " + c);
  std::wstring text;
  ASSERT_EQ(Links(Wide(c), kDetailed, &text), 1) << LastError();
  const std::wstring mid = L"\t" + Wide(r) + L"\t";
  const std::vector<std::wstring> expected = {
      L"far1" + mid + L"id\t0,N\t" + Wide(c) + L"\ta\t0,1\t2021\t2022",
      // The description reads the columns of the connection's database
      // only: the other database's composed key is not known.
      L"far2" + mid + L"x,y\t0,N\t" + Wide(c) + L"\tcab\t0,1\t2021\t2021"};
  EXPECT_EQ(Lines(text), expected);
}

TEST_F(LinkListServer, ATableNameHoldingABackQuoteIsQuotedForTheServerAndShownAsGiven) {
  MakeParent();
  const std::string c = Name("o`dd");
  std::string quoted = "`" + Name("o``dd") + "`";
  Make("CREATE TABLE " + quoted + " (a INT, CONSTRAINT g1 FOREIGN KEY (a) REFERENCES " +
           Name("p") + " (id)) ENGINE=InnoDB",
       "TABLE " + quoted);
  std::wstring text;
  ASSERT_EQ(Links(Wide(c), kDetailed, &text), 1) << LastError();
  EXPECT_EQ(text, L"g1\t" + Wide(Name("p")) + L"\tid\t0,N\t" + Wide(c) + L"\ta\t0,1\t2021\t2021");
}

TEST_F(LinkListServer, AViewLeavesTheValueUntouched) {
  MakeParent();
  const std::string v = Name("v");
  Make("CREATE VIEW " + v + " AS SELECT id FROM " + Name("p"), "VIEW " + v);
  std::wstring text;
  EXPECT_EQ(Links(Wide(v), kDetailed, &text), 1) << LastError();
  EXPECT_EQ(text, L"<untouched 7>");
}

TEST_F(LinkListServer, AMissingTableFailsWithTheServersErrorAndLeavesTheValue) {
  std::wstring text;
  EXPECT_EQ(Links(Wide(Name("missing")), kDetailed, &text), 0);
  EXPECT_EQ(text, L"<untouched 7>");
  EXPECT_NE(LastError().find("1146"), std::string::npos) << LastError();
}

}  // namespace
