// The handle-level SQL interface as the server drives it: kq230maria.so
// loaded through the stand-in host, INADriverSQL from piGetInterface(1),
// against the fixture's server. Connections and result sets by handle,
// rows, values and BLOBs, transactions and locks seen from a second
// session, bad handles and column numbers, hostile table names, the
// interface outliving the server's release of the driver, eight threads at
// once; the fixture checks at the end that every description and string
// buffer the driver was given came back.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "host/harness/standin_connection.h"
#include "kq230/na_driver_sql_interface.h"
#include "kq230/tab_val_parser.h"
#include "tests/host/boundary_values.h"
#include "tests/host/native_access_fixture.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/second_session.h"
#include "values/any.h"

namespace {

using kq230::test_support::SecondSession;
using kqtest::BytesOf;
using kqtest::TextOf;

// Before main: see KeepClientLibraryForTheProgram.
[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

class DriverSQLServer : public kqtest::NativeAccessTest {
 protected:
  void SetUp() override {
    NativeAccessTest::SetUp();
    if (HasFatalFailure()) return;
    m_piSQL = static_cast<INADriverSQL*>(m_piDriver->piGetInterface(1));
    ASSERT_NE(m_piSQL, nullptr) << LastError();
    m_piHost = NewConnection(CStandInConnection::ROUTE_TCP);
    std::string strError;
    ASSERT_TRUE(m_second.Open(Server(), &strError)) << strError;
    m_strTable = kq230::test_support::UniqueName("kq_sqlh");
    m_wstrTable = Wide(m_strTable);
    ASSERT_EQ(m_second.Run("DROP TABLE IF EXISTS " + m_strTable), 0u);
    ASSERT_EQ(m_second.Run("CREATE TABLE " + m_strTable +
                           " (id INT PRIMARY KEY, name VARCHAR(20), note VARCHAR(20), data BLOB)"
                           " ENGINE=InnoDB CHARACTER SET utf8mb4"),
              0u)
        << m_second.Error();
    ASSERT_EQ(m_second.Run("INSERT INTO " + m_strTable +
                           " VALUES (1, 'one', 'x', x'00FF0000'), (2, 'two', NULL, ''),"
                           " (3, 'three', 'z', NULL)"),
              0u)
        << m_second.Error();
  }

  void TearDown() override {
    if (m_piSQL != nullptr) {
      EXPECT_EQ(m_piSQL->nExternalRelease(), 0);
      m_piSQL = nullptr;
    }
    if (m_piHost != nullptr) m_piHost->nExternalRelease();
    m_piHost = nullptr;
    m_second.Run("DROP TABLE IF EXISTS " + m_strTable);
    m_second.Close();
    NativeAccessTest::TearDown();
  }

  kq230::test_support::MariadbServer Server() const {
    kq230::test_support::MariadbServer st;
    st.host = m_stFacts.strHost;
    st.port = m_stFacts.nPort;
    st.socket = m_stFacts.strSocket;
    st.user = m_stFacts.strUser;
    st.password = m_stFacts.strPassword;
    st.database = m_stFacts.strDatabase;
    return st;
  }

  // A new connection by handle (the test fails when none opens).
  int Open() {
    int nHandle = -1;
    EXPECT_EQ(m_piSQL->bOpenConnection(&nHandle, m_piHost), 1) << SQLError();
    EXPECT_GT(nHandle, 0);
    return nHandle;
  }

  std::string SQLError() const { return Narrow(m_piSQL->piGetLastError()->pszGetError()); }
  unsigned int SQLCode() const { return m_piSQL->piGetLastError()->dwGetErrorId(); }
  bool SQLErrorEmpty() const { return m_piSQL->piGetLastError()->eGetErrorType() == -1; }

  // The first column of the first row of a query run through the interface.
  std::string Value(int nConnection, const std::wstring& strQuery) {
    int nStatement = 0;
    if (!m_piSQL->bExecute(&nStatement, nConnection, strQuery.c_str(), nullptr, 0)) return "!";
    std::string str = "<no row>";
    if (m_piSQL->bFetch(nConnection, nStatement, 0)) {
      CAny clValue;
      str = m_piSQL->bGetValue(&clValue, nConnection, nStatement, 1, 0) ? TextOf(clValue) : "!";
    }
    m_piSQL->bFreeStmt(nConnection, nStatement, 0);
    return str;
  }

  // Whether a server session of that id is still there, waited for up to
  // five seconds to become bWanted.
  bool bSessionThere(const std::string& strId, bool bWanted) {
    const std::string strSQL =
        "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " + strId;
    for (int i = 0; i < 250; ++i) {
      long long nCount = -1;
      if (m_second.Number(strSQL, &nCount) && (nCount == 1) == bWanted) return bWanted;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return !bWanted;
  }

  long long RowsOfTable() {
    long long n = -1;
    m_second.Number("SELECT COUNT(*) FROM " + m_strTable, &n);
    return n;
  }

  INADriverSQL* m_piSQL = nullptr;
  CStandInConnection* m_piHost = nullptr;
  SecondSession m_second;
  std::string m_strTable;
  std::wstring m_wstrTable;
};

TEST_F(DriverSQLServer, TheInterfaceAnswersItsVersionsAndIsOnePerDriver) {
  EXPECT_EQ(m_piSQL->nGetVersion(), 4);
  EXPECT_EQ(m_piSQL->nGetCompatSince(), 2);
  EXPECT_EQ(m_piSQL->nGetNAVersion(), -1);
  EXPECT_EQ(m_piSQL->nGetNACompatSince(), -1);
  EXPECT_EQ(m_piSQL->piGetInterface(1), nullptr);
  EXPECT_EQ(m_piSQL->pReservedFct1(nullptr), nullptr);
  EXPECT_EQ(m_piSQL->bLoadNativeDll(nullptr, 0), 1);
  EXPECT_EQ(m_piSQL->bFreeNativeDll(nullptr, 0), 1);
  auto* piAgain = static_cast<INADriverSQL*>(m_piDriver->piGetInterface(1));
  EXPECT_EQ(piAgain, m_piSQL);
  EXPECT_EQ(piAgain->nExternalRelease(), 1);
}

TEST_F(DriverSQLServer, TwoOpeningsAreTwoServerSessionsThatCloseByHandle) {
  const int nFirst = Open();
  const int nSecond = Open();
  EXPECT_NE(nFirst, nSecond);
  const std::string strFirst = Value(nFirst, L"SELECT CONNECTION_ID()");
  const std::string strSecond = Value(nSecond, L"SELECT CONNECTION_ID()");
  ASSERT_NE(strFirst, "!");
  EXPECT_NE(strFirst, strSecond);
  EXPECT_TRUE(bSessionThere(strFirst, true));
  EXPECT_TRUE(bSessionThere(strSecond, true));
  // Closed by handle, the session really ends; the other one stays.
  EXPECT_EQ(m_piSQL->bCloseConnection(nFirst), 1) << SQLError();
  EXPECT_FALSE(bSessionThere(strFirst, false));
  EXPECT_TRUE(bSessionThere(strSecond, true));
  EXPECT_EQ(m_piSQL->bCloseConnection(nSecond), 1);
  EXPECT_FALSE(bSessionThere(strSecond, false));
}

TEST_F(DriverSQLServer, AConnectionClosedWhileAResultIsLiveEndsWhenTheResultIsFreed) {
  const int nConnection = Open();
  const std::string strId = Value(nConnection, L"SELECT CONNECTION_ID()");
  int nStatement = 0;
  ASSERT_EQ(m_piSQL->bExecute(&nStatement, nConnection,
                              (L"SELECT id FROM " + m_wstrTable + L" ORDER BY id").c_str(),
                              nullptr, 0),
            1);
  EXPECT_EQ(m_piSQL->bCloseConnection(nConnection), 1);
  // The result stays readable; the handle names nothing open any more.
  EXPECT_EQ(m_piSQL->bFetch(nConnection, nStatement, 0), 1);
  int nOther = 0;
  EXPECT_EQ(m_piSQL->bExecute(&nOther, nConnection, L"SELECT 1", nullptr, 0), 0);
  EXPECT_EQ(SQLCode(), 86u);
  EXPECT_EQ(m_piSQL->bFreeStmt(nConnection, nStatement, 0), 1);
  EXPECT_FALSE(bSessionThere(strId, false));
}

TEST_F(DriverSQLServer, AnUpdateSucceedsWithStatementHandleZero) {
  const int nConnection = Open();
  int nStatement = 77;
  EXPECT_EQ(m_piSQL->bExecute(&nStatement, nConnection,
                              (L"UPDATE " + m_wstrTable + L" SET note = 'y' WHERE id = 2").c_str(),
                              nullptr, 0),
            1)
      << SQLError();
  EXPECT_EQ(nStatement, 0);
  int nColumns = -1;
  EXPECT_EQ(m_piSQL->bGetColumnNbr(&nColumns, nConnection, 0, 0), 1);
  EXPECT_EQ(nColumns, 0);
  EXPECT_EQ(m_piSQL->bFetch(nConnection, 0, 0), 0);
  EXPECT_EQ(SQLCode(), 87u);
  long long nChanged = 0;
  EXPECT_TRUE(
      m_second.Number("SELECT COUNT(*) FROM " + m_strTable + " WHERE note = 'y'", &nChanged));
  EXPECT_EQ(nChanged, 1);
  EXPECT_EQ(m_piSQL->bCloseConnection(nConnection), 1);
}

TEST_F(DriverSQLServer, ASelectIsFetchedRowByRowAndReadByColumn) {
  const int nConnection = Open();
  int nStatement = 0;
  ASSERT_EQ(m_piSQL->bExecute(&nStatement, nConnection,
                              (L"SELECT id, name FROM " + m_wstrTable + L" ORDER BY id").c_str(),
                              nullptr, 0),
            1)
      << SQLError();
  EXPECT_GE(nStatement, 1);
  int nColumns = 0;
  EXPECT_EQ(m_piSQL->bGetColumnNbr(&nColumns, nConnection, nStatement, 0), 1);
  EXPECT_EQ(nColumns, 2);
  {
    CAny clName, clList;
    EXPECT_EQ(m_piSQL->bGetColumnName(&clName, nConnection, nStatement, 2, 0), 1);
    EXPECT_EQ(TextOf(clName), "name");
    EXPECT_EQ(m_piSQL->bGetColumnList(&clList, nConnection, nStatement, 0), 1);
    EXPECT_EQ(TextOf(clList), "id\r\nname");
  }
  const char* const kRows[][2] = {{"1", "one"}, {"2", "two"}, {"3", "three"}};
  for (const auto& row : kRows) {
    SCOPED_TRACE(row[0]);
    ASSERT_EQ(m_piSQL->bFetch(nConnection, nStatement, 0), 1) << SQLError();
    CAny clId, clName;
    EXPECT_EQ(m_piSQL->bGetValue(&clId, nConnection, nStatement, 1, 0), 1);
    EXPECT_EQ(m_piSQL->bGetValue(&clName, nConnection, nStatement, 2, 0), 1);
    EXPECT_EQ(TextOf(clId), row[0]);
    EXPECT_EQ(TextOf(clName), row[1]);
  }
  // The end of the rows: 0 with an empty error, again and again.
  EXPECT_EQ(m_piSQL->bFetch(nConnection, nStatement, 0), 0);
  EXPECT_TRUE(SQLErrorEmpty()) << SQLError();
  EXPECT_EQ(m_piSQL->bFetch(nConnection, nStatement, 0), 0);
  EXPECT_TRUE(SQLErrorEmpty()) << SQLError();
  EXPECT_EQ(m_piSQL->bFreeStmt(nConnection, nStatement, 0), 1);
  // Freed: the handle names nothing.
  EXPECT_EQ(m_piSQL->bFetch(nConnection, nStatement, 0), 0);
  EXPECT_EQ(SQLCode(), 87u);
  EXPECT_EQ(m_piSQL->bCloseConnection(nConnection), 1);
}

TEST_F(DriverSQLServer, ParameterValuesAreWrittenIntoTheText) {
  const int nConnection = Open();
  CAny clValue;
  clValue.SetI4(41);
  const wchar_t* pszQuery = L"SELECT {p} + 1";
  const _stTabValMarqueur stMarker = {&clValue, 7, 3, kTabValFlagUserParameter, L"p"};
  CTabValParser stParser = {1, &stMarker, 0, nullptr};
  int nStatement = 0;
  ASSERT_EQ(m_piSQL->bExecute(&nStatement, nConnection, pszQuery, &stParser, 0), 1) << SQLError();
  ASSERT_EQ(m_piSQL->bFetch(nConnection, nStatement, 0), 1);
  CAny clResult;
  EXPECT_EQ(m_piSQL->bGetValue(&clResult, nConnection, nStatement, 1, 0), 1);
  EXPECT_EQ(TextOf(clResult), "42");
  m_piSQL->bFreeStmt(nConnection, nStatement, 0);
  EXPECT_EQ(m_piSQL->bCloseConnection(nConnection), 1);
}

TEST_F(DriverSQLServer, ARowIsOneTextOfItsFirstColumnsUpToTheLimit) {
  const int nConnection = Open();
  int nStatement = 0;
  ASSERT_EQ(m_piSQL->bExecute(&nStatement, nConnection,
                              (L"SELECT id, name, note FROM " + m_wstrTable + L" WHERE id = 1")
                                  .c_str(),
                              nullptr, 0),
            1);
  ASSERT_EQ(m_piSQL->bFetch(nConnection, nStatement, 0), 1);
  struct Case {
    int nLimit;
    const char* pszRow;
  } const cases[] = {{0, "1|one|x"}, {-1, "1|one|x"}, {1, "1"}, {2, "1|one"}, {3, "1|one|x"},
                     {9, "1|one|x"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nLimit);
    CAny clRow;
    EXPECT_EQ(m_piSQL->bGetRow(&clRow, nConnection, nStatement, L"|", c.nLimit, 0), 1);
    EXPECT_EQ(TextOf(clRow), c.pszRow);
  }
  m_piSQL->bFreeStmt(nConnection, nStatement, 0);
  EXPECT_EQ(m_piSQL->bCloseConnection(nConnection), 1);
}

TEST_F(DriverSQLServer, BlobValuesKeepTheirZeroBytes) {
  const int nConnection = Open();
  int nStatement = 0;
  ASSERT_EQ(m_piSQL->bExecute(&nStatement, nConnection,
                              (L"SELECT data FROM " + m_wstrTable + L" ORDER BY id").c_str(),
                              nullptr, 0),
            1);
  const std::string kBytes[] = {std::string("\0\xFF\0\0", 4), std::string()};
  for (const std::string& strBytes : kBytes) {
    ASSERT_EQ(m_piSQL->bFetch(nConnection, nStatement, 0), 1);
    CAny clValue;
    EXPECT_EQ(m_piSQL->bGetBLOBValue(&clValue, nConnection, nStatement, 1, 0), 1) << SQLError();
    EXPECT_EQ(BytesOf(clValue), strBytes);
    EXPECT_FALSE(kqtest::bIsNullValue(clValue));
  }
  ASSERT_EQ(m_piSQL->bFetch(nConnection, nStatement, 0), 1);
  CAny clNull;
  EXPECT_EQ(m_piSQL->bGetBLOBValue(&clNull, nConnection, nStatement, 1, 0), 1);
  EXPECT_TRUE(kqtest::bIsNullValue(clNull));
  m_piSQL->bFreeStmt(nConnection, nStatement, 0);
  EXPECT_EQ(m_piSQL->bCloseConnection(nConnection), 1);
}

TEST_F(DriverSQLServer, ColumnNumbersOutsideTheResultAreErrors) {
  const int nConnection = Open();
  int nStatement = 0;
  ASSERT_EQ(m_piSQL->bExecute(&nStatement, nConnection,
                              (L"SELECT id, name FROM " + m_wstrTable + L" ORDER BY id").c_str(),
                              nullptr, 0),
            1);
  ASSERT_EQ(m_piSQL->bFetch(nConnection, nStatement, 0), 1);
  struct Case {
    unsigned int nColumn;
    unsigned int nCode;
  } const cases[] = {{0u, 51u}, {0xFFFFFFFFu, 51u}, {3u, 50u}, {0x80000000u, 50u}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nColumn);
    CAny clValue;
    EXPECT_EQ(m_piSQL->bGetValue(&clValue, nConnection, nStatement, c.nColumn, 0), 0);
    EXPECT_EQ(SQLCode(), c.nCode) << SQLError();
    EXPECT_EQ(m_piSQL->bGetBLOBValue(&clValue, nConnection, nStatement, c.nColumn, 0), 0);
    EXPECT_EQ(SQLCode(), c.nCode);
    EXPECT_EQ(m_piSQL->bGetColumnName(&clValue, nConnection, nStatement, c.nColumn, 0), 0);
    EXPECT_NE(SQLCode(), 0u);
  }
  // The result is still there.
  CAny clValue;
  EXPECT_EQ(m_piSQL->bGetValue(&clValue, nConnection, nStatement, 2, 0), 1);
  EXPECT_EQ(TextOf(clValue), "one");
  m_piSQL->bFreeStmt(nConnection, nStatement, 0);
  EXPECT_EQ(m_piSQL->bCloseConnection(nConnection), 1);
}

TEST_F(DriverSQLServer, ConnectionHandlesThatNameNothingOpenFailNamingTheHandle) {
  const int nClosed = Open();
  ASSERT_EQ(m_piSQL->bCloseConnection(nClosed), 1);
  const std::wstring strLock = L"SELECT id FROM " + m_wstrTable;
  for (int nHandle : {0, 987654, -3, nClosed}) {
    SCOPED_TRACE(nHandle);
    const std::string strHandle = std::to_string(nHandle);
    auto expectNamed = [&](int bResult) {
      EXPECT_EQ(bResult, 0);
      EXPECT_EQ(SQLCode(), 86u);
      EXPECT_NE(SQLError().find("handle " + strHandle + " "), std::string::npos) << SQLError();
      EXPECT_NE(SQLError().find("IEKQMARIA=51.4"), std::string::npos);
    };
    int nStatement = 55;  // a stale handle the failure must clear
    expectNamed(m_piSQL->bExecute(&nStatement, nHandle, L"SELECT 1", nullptr, 0));
    EXPECT_EQ(nStatement, 0);
    int nTransaction = 5;
    expectNamed(m_piSQL->bTrsBegin(&nTransaction, nHandle, 0));
    EXPECT_EQ(nTransaction, 5);
    expectNamed(m_piSQL->bTrsCommit(nHandle, 0, 0));
    expectNamed(m_piSQL->bTrsRollBack(nHandle, 0, 0));
    expectNamed(m_piSQL->bSQLBloqueTable(nHandle, m_wstrTable.c_str(), 0));
    expectNamed(m_piSQL->bSQLBloqueRequete(nHandle, strLock.c_str(), 0));
    expectNamed(m_piSQL->bCloseConnection(nHandle));
  }
}

TEST_F(DriverSQLServer, StatementHandlesThatNameNoResultFailNamingTheHandle) {
  const int nConnection = Open();
  int nFreed = 0;
  ASSERT_EQ(m_piSQL->bExecute(&nFreed, nConnection, L"SELECT 1", nullptr, 0), 1);
  ASSERT_EQ(m_piSQL->bFreeStmt(nConnection, nFreed, 0), 1);
  for (int nHandle : {0, 424242, -1, nFreed}) {
    SCOPED_TRACE(nHandle);
    const std::string strHandle = std::to_string(nHandle);
    auto expectNamed = [&](int bResult) {
      EXPECT_EQ(bResult, 0);
      EXPECT_EQ(SQLCode(), 87u);
      EXPECT_NE(SQLError().find("handle " + strHandle + " "), std::string::npos) << SQLError();
    };
    CAny clValue;
    expectNamed(m_piSQL->bFetch(nConnection, nHandle, 0));
    expectNamed(m_piSQL->bGetValue(&clValue, nConnection, nHandle, 1, 0));
    expectNamed(m_piSQL->bGetBLOBValue(&clValue, nConnection, nHandle, 1, 0));
    expectNamed(m_piSQL->bGetColumnName(&clValue, nConnection, nHandle, 1, 0));
    expectNamed(m_piSQL->bGetColumnList(&clValue, nConnection, nHandle, 0));
    expectNamed(m_piSQL->bGetRow(&clValue, nConnection, nHandle, L",", 0, 0));
    EXPECT_EQ(m_piSQL->piGetTableDesc(nConnection, nHandle, 0), nullptr);
    EXPECT_EQ(SQLCode(), 87u);
    INAError* piError = reinterpret_cast<INAError*>(1);
    expectNamed(m_piSQL->bGetStmtLastError(&piError, nConnection, nHandle));
    EXPECT_EQ(piError, nullptr);
    // Freeing what is not there is no failure.
    EXPECT_EQ(m_piSQL->bFreeStmt(nConnection, nHandle, 0), 1);
    if (nHandle != 0) {
      int nCount = 9;
      expectNamed(m_piSQL->bGetColumnNbr(&nCount, nConnection, nHandle, 0));
      EXPECT_EQ(nCount, 0);
    }
  }
  EXPECT_EQ(m_piSQL->bCloseConnection(nConnection), 1);
}

TEST_F(DriverSQLServer, AResultSetIsDescribedByItsColumns) {
  const int nConnection = Open();
  int nStatement = 0;
  ASSERT_EQ(m_piSQL->bExecute(&nStatement, nConnection,
                              (L"SELECT id, name FROM " + m_wstrTable).c_str(), nullptr, 0),
            1);
  INADataSourceDescription* piSource = m_piSQL->piGetTableDesc(nConnection, nStatement, 0);
  ASSERT_NE(piSource, nullptr) << SQLError();
  EXPECT_EQ(piSource->nGetNumItems(), 2);
  EXPECT_EQ(piSource->nExternalRelease(), 0);
  m_piSQL->bFreeStmt(nConnection, nStatement, 0);
  EXPECT_EQ(m_piSQL->bCloseConnection(nConnection), 1);
}

TEST_F(DriverSQLServer, TransactionsAreSeenFromASecondSessionAndLeaveTheirArgument) {
  const int nConnection = Open();
  const std::wstring strInsert = L"INSERT INTO " + m_wstrTable + L" (id, name) VALUES ";
  int nTransaction = 1234;
  int nStatement = 0;
  ASSERT_EQ(m_piSQL->bTrsBegin(&nTransaction, nConnection, 0), 1) << SQLError();
  EXPECT_EQ(nTransaction, 1234);
  ASSERT_EQ(m_piSQL->bExecute(&nStatement, nConnection, (strInsert + L"(10, 'ten')").c_str(),
                              nullptr, 0),
            1);
  EXPECT_EQ(RowsOfTable(), 3);
  EXPECT_EQ(m_piSQL->bTrsCommit(nConnection, nTransaction, 0), 1) << SQLError();
  EXPECT_EQ(RowsOfTable(), 4);
  ASSERT_EQ(m_piSQL->bTrsBegin(&nTransaction, nConnection, 0), 1);
  ASSERT_EQ(m_piSQL->bExecute(&nStatement, nConnection, (strInsert + L"(11, 'eleven')").c_str(),
                              nullptr, 0),
            1);
  EXPECT_EQ(m_piSQL->bTrsRollBack(nConnection, nTransaction, 0), 1) << SQLError();
  EXPECT_EQ(RowsOfTable(), 4);
  EXPECT_EQ(nTransaction, 1234);
  EXPECT_EQ(m_piSQL->bCloseConnection(nConnection), 1);
}

TEST_F(DriverSQLServer, ALockOutsideATransactionIsUserErrorTwentyNineNamingTheTable) {
  const int nConnection = Open();
  EXPECT_EQ(m_piSQL->bSQLBloqueTable(nConnection, m_wstrTable.c_str(), 0), 0);
  EXPECT_EQ(SQLCode(), 29u);
  EXPECT_EQ(Narrow(m_piSQL->piGetLastError()->pszGetLogicalTableName()), m_strTable);
  EXPECT_NE(SQLError().find("IEKQMARIA=51.3"), std::string::npos) << SQLError();
  EXPECT_NE(SQLError().find("23.0.2.0"), std::string::npos);
  EXPECT_EQ(m_piSQL->bSQLBloqueRequete(nConnection, (L"SELECT id FROM " + m_wstrTable).c_str(), 0),
            0);
  EXPECT_EQ(SQLCode(), 29u);
  EXPECT_NE(SQLError().find("IEKQMARIA=51.2"), std::string::npos) << SQLError();
  EXPECT_EQ(m_piSQL->bCloseConnection(nConnection), 1);
}

TEST_F(DriverSQLServer, ALockInsideATransactionHoldsASecondSessionUntilTheCommit) {
  struct Case {
    const char* name;
    bool bQuery;
  } const cases[] = {{"table", false}, {"query", true}};
  ASSERT_EQ(m_second.Run("SET SESSION innodb_lock_wait_timeout = 1"), 0u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int nConnection = Open();
    int nTransaction = 0;
    ASSERT_EQ(m_piSQL->bTrsBegin(&nTransaction, nConnection, 0), 1);
    const std::wstring strQuery = L"SELECT id FROM " + m_wstrTable + L" WHERE id = 1";
    ASSERT_EQ(c.bQuery ? m_piSQL->bSQLBloqueRequete(nConnection, strQuery.c_str(), 0)
                       : m_piSQL->bSQLBloqueTable(nConnection, m_wstrTable.c_str(), 0),
              1)
        << SQLError();
    const std::string strUpdate = "UPDATE " + m_strTable + " SET note = 'w' WHERE id = 1";
    EXPECT_EQ(m_second.Run(strUpdate), 1205u);  // lock wait timeout
    EXPECT_EQ(m_piSQL->bTrsCommit(nConnection, nTransaction, 0), 1) << SQLError();
    EXPECT_EQ(m_second.Run(strUpdate), 0u) << m_second.Error();
    EXPECT_EQ(m_piSQL->bCloseConnection(nConnection), 1);
  }
}

TEST_F(DriverSQLServer, AConnectionClosedInsideATransactionLetsItsLocksGo) {
  ASSERT_EQ(m_second.Run("SET SESSION innodb_lock_wait_timeout = 1"), 0u);
  const int nConnection = Open();
  int nTransaction = 0;
  ASSERT_EQ(m_piSQL->bTrsBegin(&nTransaction, nConnection, 0), 1);
  ASSERT_EQ(m_piSQL->bSQLBloqueTable(nConnection, m_wstrTable.c_str(), 0), 1) << SQLError();
  EXPECT_EQ(m_piSQL->bCloseConnection(nConnection), 1) << SQLError();
  EXPECT_EQ(m_second.Run("UPDATE " + m_strTable + " SET note = 'v' WHERE id = 1"), 0u)
      << m_second.Error();
}

TEST_F(DriverSQLServer, HostileTableNamesStayOneName) {
  const int nConnection = Open();
  int nTransaction = 0;
  const std::wstring kNames[] = {
      L"x`; DROP TABLE " + m_wstrTable + L"; --",
      L"x'; DROP TABLE " + m_wstrTable + L"; --",
      L"x\"; DROP TABLE " + m_wstrTable + L"; --",
      L"x; DROP TABLE " + m_wstrTable,
      L"x -- " + m_wstrTable,
      L"``",
  };
  for (const std::wstring& strName : kNames) {
    SCOPED_TRACE(Narrow(strName.c_str()));
    ASSERT_EQ(m_piSQL->bTrsBegin(&nTransaction, nConnection, 0), 1) << SQLError();
    EXPECT_EQ(m_piSQL->bSQLBloqueTable(nConnection, strName.c_str(), 0), 0);
    EXPECT_NE(SQLError().find("1146"), std::string::npos) << SQLError();  // no such table
    m_piSQL->bTrsRollBack(nConnection, nTransaction, 0);
    EXPECT_EQ(RowsOfTable(), 3);
  }
  EXPECT_EQ(m_piSQL->bCloseConnection(nConnection), 1);
}

TEST_F(DriverSQLServer, TheInterfaceOutlivesTheServersReleaseOfTheDriver) {
  // The server lets the driver go first: the interface it still holds keeps
  // the driver alive and working.
  EXPECT_EQ(m_piDriver->nExternalRelease(), 1);
  m_piDriver = nullptr;
  const int nConnection = Open();
  EXPECT_EQ(Value(nConnection, L"SELECT 6 * 7"), "42");
  int nStatement = 0;
  // A result and a connection still open when the interface goes.
  ASSERT_EQ(m_piSQL->bExecute(&nStatement, nConnection, L"SELECT 1", nullptr, 0), 1);
  const std::string strId = Value(nConnection, L"SELECT CONNECTION_ID()");
  // Its last release ends the driver and everything it held.
  EXPECT_EQ(m_piSQL->nExternalRelease(), 0);
  m_piSQL = nullptr;
  EXPECT_FALSE(bSessionThere(strId, false));
  EXPECT_EQ(m_harness.nStopNativeAccess(nullptr), 1);
}

TEST_F(DriverSQLServer, EightThreadsCallAtOnceOnTheirOwnAndOnASharedConnection) {
  const int nShared = Open();
  constexpr int kThreads = 8;
  constexpr int kRounds = 15;
  std::atomic<int> nFailures{0};
  std::vector<std::string> aFirstFailure(kThreads);
  auto worker = [&](int nThread) {
    int nOwn = 0;
    if (!m_piSQL->bOpenConnection(&nOwn, m_piHost)) {
      ++nFailures;
      aFirstFailure[nThread] = "open";
      return;
    }
    for (int nRound = 0; nRound < kRounds; ++nRound) {
      for (int nConnection : {nOwn, nShared}) {
        const std::wstring strQuery = L"SELECT id, name FROM " + m_wstrTable + L" WHERE id <= " +
                                      std::to_wstring(1 + (nThread + nRound) % 3) +
                                      L" ORDER BY id";
        int nStatement = 0;
        int nRows = 0;
        bool bOk = m_piSQL->bExecute(&nStatement, nConnection, strQuery.c_str(), nullptr, 0) &&
                   nStatement > 0;
        while (bOk && m_piSQL->bFetch(nConnection, nStatement, 0)) {
          CAny clId;
          bOk = m_piSQL->bGetValue(&clId, nConnection, nStatement, 1, 0) &&
                TextOf(clId) == std::to_string(nRows + 1);
          ++nRows;
        }
        bOk = bOk && nRows == 1 + (nThread + nRound) % 3;
        m_piSQL->bFreeStmt(nConnection, nStatement, 0);
        if (!bOk) {
          ++nFailures;
          if (aFirstFailure[nThread].empty())
            aFirstFailure[nThread] = "round " + std::to_string(nRound);
        }
      }
    }
    if (!m_piSQL->bCloseConnection(nOwn)) ++nFailures;
  };
  std::vector<std::thread> aThreads;
  for (int i = 0; i < kThreads; ++i) aThreads.emplace_back(worker, i);
  for (std::thread& t : aThreads) t.join();
  EXPECT_EQ(nFailures.load(), 0);
  for (int i = 0; i < kThreads; ++i) EXPECT_EQ(aFirstFailure[i], "") << "thread " << i;
  EXPECT_EQ(m_piSQL->bCloseConnection(nShared), 1);
  // Every handle is closed: the driver holds no connection of these any
  // more (the fixture's end checks the descriptions came back).
  EXPECT_EQ(m_piHost->nAddRefCalls(), m_piHost->nReleaseCalls());
}

}  // namespace
