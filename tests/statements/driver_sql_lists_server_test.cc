// The catalogue lists of the handle-level SQL interface on the fixture's
// server: databases with and without their tables, the tables of the current
// database plain, detailed and sorted, a caller's condition that holds OR,
// column lists (SHOW COLUMNS, and the generic one that stops at the first
// composed key), a database whose table query fails, the existence of
// tables with odd names, and the driver object's slots that answer from
// these lists.
//
// The fixture makes two databases (and one whose name holds a quote) named
// after the process, so that programs running at once keep apart; root
// grants them to the test user over the server's socket and revokes the
// grant at the end. Lists of the whole server are compared on the lines of
// these databases only: other programs make and drop databases meanwhile.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/mixed_width_concat.h"
#include "driver/connection_description.h"
#include "kq230/data_source_description_interface.h"
#include "mariadb/mysql_driver_sql.h"
#include "mariadb/mysql_statement.h"
#include "statements/driver_sql.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/driver_server_fixture.h"
#include "values/any.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s += c < 128 ? static_cast<char>(c) : '?';
  return s;
}
std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// The text of a list value; "<not a list>" unless it is a dynamic wide
// string without flags.
std::wstring ListText(const CAny& clValue) {
  if (clValue.wGetType() != VX_DSTRW) return L"<not a list>";
  CAny clCopy(clValue);
  CXYString<wchar_t> clText;
  clCopy.__nFillString(clText, nullptr);
  std::wstring str(clText.pszGet(), static_cast<size_t>(clText.nGetLongueur()));
  clText.ReleaseDynStr();
  return str;
}

std::vector<std::wstring> Split(const std::wstring& str, const std::wstring& sep) {
  std::vector<std::wstring> parts;
  size_t from = 0;
  for (;;) {
    const size_t at = str.find(sep, from);
    parts.push_back(str.substr(from, at == std::wstring::npos ? std::wstring::npos : at - from));
    if (at == std::wstring::npos) return parts;
    from = at + sep.size();
  }
}

// Runs SQL as root over the server's socket (root may log in there only).
bool bRunAsRoot(const std::string& sql) {
  const std::string command = "mariadb --no-defaults --protocol=socket --socket='" +
                              ServerSession::Server().socket + "' --user=root --batch";
  std::FILE* pipe = popen(command.c_str(), "w");
  if (pipe == nullptr) return false;
  std::fwrite(sql.data(), 1, sql.size(), pipe);
  return pclose(pipe) == 0;
}

// The generic interface over the back end's statements: what a back end
// without its own lists inherits. It counts the statements it makes, and
// can be told to write a failing table query for one database.
class GenericDriverSQL final : public CNADriverSQL {
 public:
  GenericDriverSQL(CNADriver* pclDriver, CNAError* pclError) : CNADriverSQL(pclDriver, pclError) {}

  CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription* pclConnection,
                                        CNAError* pclError) override {
    ++nStatements;
    return CMySQLStatementSQL::s_pclAllocStatementSQL(pclConnection, pclError);
  }
  int _bGetDatabaseTableListQuery(CTStringConcatAW* pclQuery, const wchar_t* pszDatabase,
                                  CNAConnectionDescription* pclConnection,
                                  unsigned int nFlags) override {
    if (pszDatabase != nullptr && strFailing == pszDatabase) {
      pclQuery->Vide();
      pclQuery->Add(L"SELECT TABLE_NAME FROM kq_no_such_table_anywhere");
      return 1;
    }
    return CNADriverSQL::_bGetDatabaseTableListQuery(pclQuery, pszDatabase, pclConnection, nFlags);
  }

  int nStatements = 0;
  std::wstring strFailing;
};

class DriverSQLListsTest : public DriverServerTest {
 protected:
  DriverSQLListsTest() : DriverServerTest(L"Connection=lists") {}

  void SetUp() override {
    DriverServerTest::SetUp();
    if (HasFatalFailure()) return;
    const std::string prefix = "kq25l_" + std::to_string(getpid()) + "_";
    m_dbA = prefix + "a";
    m_dbB = prefix + "b";
    m_dbQ = prefix + "q'x";
    m_grant = "`kq25l\\_" + std::to_string(getpid()) + "\\_%`.*";
    ASSERT_TRUE(bRunAsRoot("GRANT ALL PRIVILEGES ON " + m_grant + " TO 'kqtest'@'localhost';"
                           "GRANT ALL PRIVILEGES ON " + m_grant + " TO 'kqtest'@'127.0.0.1';"));
    m_granted = true;
    DropDatabases();
    ASSERT_TRUE(Run("CREATE DATABASE `" + m_dbA + "` CHARACTER SET utf8mb4"));
    ASSERT_TRUE(Run("CREATE DATABASE `" + m_dbB + "` CHARACTER SET utf8mb4"));
    ASSERT_TRUE(Run("CREATE DATABASE `" + m_dbQ + "` CHARACTER SET utf8mb4"));
    const std::string a = "`" + m_dbA + "`.";
    // "t_b" and "ta" sort one way under the server's collation ('_' after
    // letters) and the other way by character code ('_' before 'a'): the
    // sorted list shows which sort ran.
    ASSERT_TRUE(Run("CREATE TABLE " + a + "ta (id INT PRIMARY KEY)"));
    ASSERT_TRUE(Run("CREATE TABLE " + a + "t_b (id INT PRIMARY KEY)"));
    ASSERT_TRUE(Run("CREATE TABLE " + a + "cols (id INT PRIMARY KEY, a INT NOT NULL,"
                    " b INT NOT NULL, c VARCHAR(10), UNIQUE KEY a_b (a, b))"));
    ASSERT_TRUE(Run("CREATE VIEW " + a + "v_c AS SELECT id FROM " + a + "ta"));
    ASSERT_TRUE(Run("CREATE TABLE `" + m_dbB + "`.tx (id INT)"));
    ASSERT_TRUE(Run("CREATE TABLE `" + m_dbQ + "`.inq (id INT)"));
    // The tables of the current database are those of database a.
    ASSERT_TRUE(Run("USE `" + m_dbA + "`"));
    m_pclSQL = static_cast<CNADriverSQL*>(m_pclDriver->pclGetDriverSQL());
    ASSERT_NE(m_pclSQL, nullptr);
  }

  void TearDown() override {
    if (m_pclGeneric != nullptr) m_pclGeneric->nRelease();
    m_pclGeneric = nullptr;
    if (m_session.pclConnection() != nullptr) {
      m_session.bRun("USE `" + ServerSession::Server().database + "`");
      DropDatabases();
    }
    if (m_granted) {
      EXPECT_TRUE(bRunAsRoot("REVOKE ALL PRIVILEGES ON " + m_grant + " FROM 'kqtest'@'localhost';"
                             "REVOKE ALL PRIVILEGES ON " + m_grant +
                             " FROM 'kqtest'@'127.0.0.1';"));
    }
    DriverServerTest::TearDown();
  }

  void DropDatabases() {
    for (const std::string& db : {m_dbA, m_dbB, m_dbQ})
      m_session.bRun("DROP DATABASE IF EXISTS `" + db + "`");
  }

  bool Run(const std::string& sql) { return m_session.bRun(sql); }
  CMySQLConnection* Connection() { return m_session.pclConnection(); }

  GenericDriverSQL* Generic() {
    if (m_pclGeneric == nullptr) {
      m_pclGeneric = new GenericDriverSQL(m_pclDriver, m_pclError);
      m_pclGeneric->AddRef();
    }
    return m_pclGeneric;
  }

  // The table list of the current database through the back end's
  // interface: its result and text.
  int TableList(unsigned int nFlags, std::wstring* pstr, const wchar_t* pszCondition = nullptr) {
    CAny clValue;
    const int bResult = m_pclSQL->bGetTableList(&clValue, Connection(), pszCondition, nFlags);
    *pstr = ListText(clValue);
    return bResult;
  }

  // The database list and the lines of this test's databases in it (the
  // line of a database is found by its name and a TAB, or by the name
  // alone on a one-line answer).
  int DatabaseList(CNADriverSQL* pclSQL, unsigned int nFlags, std::wstring* pstr) {
    CXYString<wchar_t> clList;
    const int bResult = pclSQL->bGetDatabaseList(&clList, Connection(), nFlags);
    *pstr = std::wstring(clList.pszGet(), static_cast<size_t>(clList.nGetLongueur()));
    clList.ReleaseDynStr();
    return bResult;
  }
  std::vector<std::wstring> OurLines(const std::wstring& list) {
    std::vector<std::wstring> lines;
    for (const std::wstring& line : Split(list, L"\r\n"))
      for (const std::string& db : {m_dbA, m_dbB, m_dbQ})
        if (line.rfind(Widen(db) + L"\t", 0) == 0) lines.push_back(line);
    return lines;
  }

  // Whether table ta of database a is still there.
  bool TaSurvives() {
    return m_session.bSays(
        L"(SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = '" + Widen(m_dbA) +
        L"' AND TABLE_NAME = 'ta') = 1");
  }

  std::string m_dbA, m_dbB, m_dbQ, m_grant;
  bool m_granted = false;
  CNADriverSQL* m_pclSQL = nullptr;
  GenericDriverSQL* m_pclGeneric = nullptr;
};

TEST_F(DriverSQLListsTest, DatabaseListWithoutTypeBitsIsTheNamesSeparatedByTab) {
  std::wstring list;
  ASSERT_EQ(DatabaseList(m_pclSQL, 0, &list), 1) << m_pclError->StringDump().pszGet();
  EXPECT_EQ(list.find(L"\r\n"), std::wstring::npos);
  const std::vector<std::wstring> names = Split(list, L"\t");
  std::vector<std::wstring> ours;
  for (const std::wstring& name : names)
    if (name.rfind(Widen("kq25l_" + std::to_string(getpid()) + "_"), 0) == 0)
      ours.push_back(name);
  const std::vector<std::wstring> expected = {Widen(m_dbA), Widen(m_dbB), Widen(m_dbQ)};
  EXPECT_EQ(ours, expected);
  EXPECT_NE(std::find(names.begin(), names.end(), L"information_schema"), names.end());
}

TEST_F(DriverSQLListsTest, DatabaseListsGiveEachDatabaseItsTablesOfTheFlaggedTypes) {
  struct Case {
    unsigned int nFlags;
    std::vector<std::wstring> lines;
  };
  const std::wstring a = Widen(m_dbA), b = Widen(m_dbB), q = Widen(m_dbQ);
  const Case cases[] = {
      {0x01, {a + L"\tcols\tta\tt_b", b + L"\ttx", q + L"\tinq"}},
      {0x03, {a + L"\tcols\tta\tt_b\tv_c", b + L"\ttx", q + L"\tinq"}},
      {0x02, {a + L"\tv_c", b + L"\t", q + L"\t"}},
      {0x11, {a + L"\tcols\tta\tt_b", b + L"\ttx", q + L"\tinq"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nFlags);
    std::wstring list;
    ASSERT_EQ(DatabaseList(m_pclSQL, c.nFlags, &list), 1) << m_pclError->StringDump().pszGet();
    EXPECT_EQ(OurLines(list), c.lines) << Narrow(list);
  }
}

TEST_F(DriverSQLListsTest, SortedDatabaseListOrdersTheLinesIgnoringCase) {
  std::wstring list;
  ASSERT_EQ(DatabaseList(m_pclSQL, 0x11, &list), 1);
  std::vector<std::wstring> names;
  for (const std::wstring& line : Split(list, L"\r\n"))
    names.push_back(line.substr(0, line.find(L'\t')));
  for (size_t i = 1; i < names.size(); ++i)
    EXPECT_LE(wcscasecmp(names[i - 1].c_str(), names[i].c_str()), 0)
        << Narrow(names[i - 1]) << " before " << Narrow(names[i]);
}

TEST_F(DriverSQLListsTest, FailingTableQueryOfOneDatabaseKeepsItsLineAndAnswersZero) {
  GenericDriverSQL* pclSQL = Generic();
  pclSQL->strFailing = Widen(m_dbB);
  std::wstring list;
  EXPECT_EQ(DatabaseList(pclSQL, 0x01, &list), 0);
  const std::vector<std::wstring> expected = {Widen(m_dbA) + L"\tcols\tta\tt_b",
                                              Widen(m_dbB) + L"\t", Widen(m_dbQ) + L"\tinq"};
  EXPECT_EQ(OurLines(list), expected) << Narrow(list);
  EXPECT_NE(std::wstring(m_pclError->StringDump().pszGet()).find(L"kq_no_such_table_anywhere"),
            std::wstring::npos);
}

TEST_F(DriverSQLListsTest, TableListWithoutTypeBitsIsEmptyAndRunsNoQuery) {
  CAny clValue;
  clValue.SetI4(7);
  GenericDriverSQL* pclSQL = Generic();
  EXPECT_EQ(pclSQL->bGetTableList(&clValue, Connection(), nullptr, 0x30), 1);
  EXPECT_EQ(ListText(clValue), L"");
  EXPECT_EQ(pclSQL->nStatements, 0);
}

TEST_F(DriverSQLListsTest, TableListsAreTheCurrentDatabasesTablesOfTheFlaggedTypes) {
  const std::wstring a = Widen(m_dbA);
  struct Case {
    unsigned int nFlags;
    std::wstring text;
  };
  const Case cases[] = {
      // The server's order: '_' after the letters.
      {0x01, L"cols\r\nta\r\nt_b"},
      // Only the current database, though several types are asked for.
      {0x03, L"cols\r\nta\r\nt_b\r\nv_c"},
      {0x02, L"v_c"},
      {0x21, L"cols\t" + a + L"\t\tTABLE\r\nta\t" + a + L"\t\tTABLE\r\nt_b\t" + a + L"\t\tTABLE"},
      {0x22, L"v_c\t" + a + L"\t\tVIEW"},
      // Sorted by character code, ignoring case: '_' before 'a'.
      {0x11, L"cols\r\nt_b\r\nta"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nFlags);
    std::wstring text;
    EXPECT_EQ(TableList(c.nFlags, &text), 1) << m_pclError->StringDump().pszGet();
    EXPECT_EQ(text, c.text) << Narrow(text);
  }
}

TEST_F(DriverSQLListsTest, TheGenericInterfaceGivesTheSameTableLists) {
  for (unsigned int nFlags : {0x01u, 0x03u, 0x21u, 0x11u}) {
    SCOPED_TRACE(nFlags);
    std::wstring text;
    ASSERT_EQ(TableList(nFlags, &text), 1);
    CAny clValue;
    EXPECT_EQ(Generic()->bGetTableList(&clValue, Connection(), nullptr, nFlags), 1);
    EXPECT_EQ(ListText(clValue), text);
  }
}

TEST_F(DriverSQLListsTest, CallersConditionNarrowsTheListAndItsOrCannotWidenIt) {
  struct Case {
    const wchar_t* pszCondition;
    unsigned int nFlags;
    const wchar_t* pszText;
  };
  const Case cases[] = {
      {L"TABLE_NAME LIKE 't%'", 0x01, L"ta\r\nt_b"},
      {L"TABLE_NAME = 'ta' OR 1 = 1", 0x01, L"cols\r\nta\r\nt_b"},
      {L"TABLE_NAME = 'ta' OR TABLE_NAME = 'v_c'", 0x03, L"ta\r\nv_c"},
      {L"1 = 0 OR TABLE_NAME = 'tx'", 0x03, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.pszCondition));
    std::wstring text;
    EXPECT_EQ(TableList(c.nFlags, &text, c.pszCondition), 1) << m_pclError->StringDump().pszGet();
    EXPECT_EQ(text, c.pszText) << Narrow(text);
  }
}

TEST_F(DriverSQLListsTest, FilterIsOneGroupAndTheConditionAnother) {
  CXYStringConcat<wchar_t> clFilter;
  m_pclSQL->_GetTableList_GetFilter(&clFilter, nullptr, 0x07);
  EXPECT_STREQ(clFilter.pszGet(),
               L"(TABLE_TYPE='BASE TABLE' OR TABLE_TYPE='SYSTEM TABLE' OR TABLE_TYPE='VIEW')");
  clFilter.Tronque(0);
  m_pclSQL->_GetTableList_GetFilter(&clFilter, L"a OR b", 0x01);
  EXPECT_STREQ(clFilter.pszGet(), L"TABLE_TYPE='BASE TABLE' AND (a OR b)");
}

TEST_F(DriverSQLListsTest, ColumnListOfTheBackEndIsShowColumnsFirstColumn) {
  CAny clValue;
  EXPECT_EQ(m_pclSQL->bGetColumnList(&clValue, Connection(), L"cols", 0), 1);
  EXPECT_EQ(ListText(clValue), L"id\r\na\r\nb\r\nc");
  // An odd table name is quoted as a name, never run as SQL.
  EXPECT_EQ(m_pclSQL->bGetColumnList(&clValue, Connection(), L"ta`; DROP TABLE ta; --", 0), 0);
  EXPECT_TRUE(TaSurvives());
}

TEST_F(DriverSQLListsTest, GenericColumnListStopsAtTheFirstComposedKey) {
  // The description is read from the catalogue of the connection's own
  // database (its columns by that name, its indexes in the current one):
  // the table is made there, and the connection goes back to it.
  const std::string table = "kq25l_" + std::to_string(getpid()) + "_cols";
  const std::string quoted = "`" + ServerSession::Server().database + "`.`" + table + "`";
  m_tables.push_back(quoted);
  ASSERT_TRUE(Run("CREATE TABLE " + quoted + " (id INT PRIMARY KEY, a INT NOT NULL,"
                  " b INT NOT NULL, c VARCHAR(10), UNIQUE KEY a_b (a, b))"));
  ASSERT_TRUE(Run("USE `" + ServerSession::Server().database + "`"));
  CAny clValue;
  EXPECT_EQ(Generic()->bGetColumnList(&clValue, Connection(), Widen(table).c_str(), 0), 1)
      << m_pclError->StringDump().pszGet();
  EXPECT_EQ(ListText(clValue), L"id\r\na\r\nb\r\nc");
  CAny clMissing;
  EXPECT_EQ(Generic()->bGetColumnList(&clMissing, Connection(), L"no_such_table", 0), 0);
  EXPECT_TRUE(clMissing.bIsNull());
}

TEST_F(DriverSQLListsTest, DatabaseNameHoldingAQuoteIsWrittenAsALiteral) {
  CTStringConcatAW clQuery(kConcatModeWide);
  const std::wstring db = Widen(m_dbQ);
  ASSERT_EQ(m_pclSQL->_bGetDatabaseTableListQuery(&clQuery, db.c_str(), Connection(), 0x01), 1);
  const std::wstring query = clQuery.pszGetW();
  EXPECT_EQ(query.rfind(L"SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE "
                        L"TABLE_TYPE='BASE TABLE' AND TABLE_SCHEMA = ", 0), 0u) << Narrow(query);
  EXPECT_NE(query.find(L"q''x'"), std::wstring::npos) << Narrow(query);
}

TEST_F(DriverSQLListsTest, TableExistsAnswersForPresentMissingAndOddlyNamedTables) {
  const std::string odd[] = {"x`; DROP TABLE ta; --", "it's", "semi;colon", "dash--dash",
                             "back\\slash"};
  for (const std::string& name : odd) {
    std::string quoted = "`";
    for (char c : name) quoted += c == '`' ? std::string("``") : std::string(1, c);
    ASSERT_TRUE(Run("CREATE TABLE " + quoted + "` (id INT)"));
  }
  struct Case {
    std::wstring name;
    int bExists;
  };
  std::vector<Case> cases = {
      {L"ta", 1}, {L"TA_missing", 0}, {Widen(m_dbB) + L".tx", 1}, {Widen(m_dbB) + L".ta", 0},
      {L"`ta`", 1}, {L"x'; DROP TABLE ta; --", 0}, {L"v_c", 1},
  };
  for (const std::string& name : odd) cases.push_back({Widen(name), 1});
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.name));
    int bExists = -1;
    EXPECT_EQ(m_pclDriver->_bTableExists(&bExists, c.name.c_str(), Connection()), 1)
        << m_pclDriver->pclGetCurrentError()->StringDump().pszGet();
    EXPECT_EQ(bExists, c.bExists);
  }
  EXPECT_TRUE(TaSurvives());
}

TEST_F(DriverSQLListsTest, ColumnTypeListIsTheConnectionsNativeTypeNames) {
  // The connection is not one of the driver's: the list is asked of the
  // registered connection that the driver object's slot makes.
  HostConnectionFake host;
  ServerSession::Describe(&host);
  host.defaultDatabase = Widen(m_dbA);
  CAny clValue;
  EXPECT_EQ(m_pclDriver->bSQLFormatColonne(&host, &clValue), 1);
  EXPECT_EQ(ListText(clValue),
            L"BIGINT\r\nVARCHAR\r\nSMALLINT\r\nTINYINT\r\nINT\r\nFLOAT\r\nDOUBLE\r\n"
            L"SMALLINT UNSIGNED\r\nDATE\r\nTIME(3)\r\nTINYINT UNSIGNED\r\nLONGTEXT\r\n"
            L"LONGBLOB\r\nDECIMAL(24,6)\r\nBIGINT UNSIGNED\r\nINT UNSIGNED\r\nVARBINARY\r\n"
            L"DATETIME(3)\r\nCHAR(1)\r\nTINYINT(1)\r\nVARCHAR CHARACTER SET utf8mb4\r\n"
            L"LONGTEXT CHARACTER SET utf8mb4\r\nDECIMAL");
}

// The driver object's slots, as the server calls them with its description
// of a connection (to database a).
class DriverSQLSlotsTest : public DriverSQLListsTest {
 protected:
  void SetUp() override {
    DriverSQLListsTest::SetUp();
    if (HasFatalFailure()) return;
    ServerSession::Describe(&m_host);
    m_host.defaultDatabase = Widen(m_dbA);
  }
  void TearDown() override {
    if (m_bOpened) m_pclDriver->bCloseConnection(&m_host);
    DriverSQLListsTest::TearDown();
    EXPECT_EQ(m_host.nOutstanding(), 0);
  }
  HostConnectionFake m_host;
  bool m_bOpened = false;
};

TEST_F(DriverSQLSlotsTest, DriverListsDatabasesAndTables) {
  CXYString<wchar_t> clList;
  ASSERT_EQ(m_pclDriver->bGetDatabaseList(&clList, &m_host, 0x01), 1)
      << m_pclDriver->pclGetCurrentError()->StringDump().pszGet();
  const std::wstring list(clList.pszGet(), static_cast<size_t>(clList.nGetLongueur()));
  clList.ReleaseDynStr();
  const std::vector<std::wstring> expected = {Widen(m_dbA) + L"\tcols\tta\tt_b",
                                              Widen(m_dbB) + L"\ttx", Widen(m_dbQ) + L"\tinq"};
  EXPECT_EQ(OurLines(list), expected);
  CAny clTables;
  ASSERT_EQ(m_pclDriver->bGetTableList(&clTables, &m_host, 0x03), 1);
  EXPECT_EQ(ListText(clTables), L"cols\r\nta\r\nt_b\r\nv_c");
}

TEST_F(DriverSQLSlotsTest, DriverTellsWhetherTablesExist) {
  struct Case {
    const wchar_t* pszName;
    int bExists;
  };
  const Case cases[] = {{L"ta", 1}, {L"nope", 0}, {L"ta`; DROP TABLE ta; --", 0}, {L"x'y", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.pszName));
    int bExists = -1;
    EXPECT_EQ(m_pclDriver->bTableExists(&bExists, c.pszName, &m_host), 1);
    EXPECT_EQ(bExists, c.bExists);
  }
  EXPECT_TRUE(TaSurvives());
}

TEST_F(DriverSQLSlotsTest, InterfaceReadsATableDescriptionByName) {
  ASSERT_EQ(m_pclDriver->bOpenConnection(&m_host), 1)
      << m_pclDriver->pclGetCurrentError()->StringDump().pszGet();
  m_bOpened = true;
  // The handle of the driver's connection to database a.
  int nHandle = 0;
  for (int nID = 1; nID < 10000 && nHandle == 0; ++nID) {
    CNAConnectionDescription* pclConnection = m_pclDriver->pclGetConnectionByID(nID);
    if (pclConnection == nullptr) continue;
    nHandle = nID;
    pclConnection->nRelease();
  }
  ASSERT_NE(nHandle, 0);
  INADataSourceDescription* piSource = m_pclSQL->piGetTableDesc(nHandle, L"cols", 0);
  ASSERT_NE(piSource, nullptr) << m_pclError->StringDump().pszGet();
  EXPECT_EQ(piSource->nGetNumItems(), 5);  // four columns and the composed key
  piSource->nExternalRelease();
  EXPECT_EQ(m_pclSQL->piGetTableDesc(nHandle, L"no_such_table", 0), nullptr);
  CAny clValue;
  EXPECT_EQ(m_pclSQL->bGetTableList(&clValue, nHandle, nullptr, 0x01), 1);
  EXPECT_EQ(ListText(clValue), L"cols\r\nta\r\nt_b");
  EXPECT_EQ(m_pclSQL->bGetColumnList(&clValue, nHandle, L"cols", 0), 1);
  EXPECT_EQ(ListText(clValue), L"id\r\na\r\nb\r\nc");
}

}  // namespace
}  // namespace kqtest
