// The handle-level SQL interface from inside the driver, where the server
// cannot look: the identifications of the connections it opens, the marks
// on them, the statement numbers coming round, the counts it keeps on the
// driver object, its statement table, and what the driver core runs through
// it (the connection's bExecuteQueryNoResult, bGetRequestedValue and
// bGetRequestedValueString). Against the fixture's server, in process.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "driver/driver_lock.h"
#include "driver/na_error.h"
#include "mariadb/mysql_connection.h"
#include "mariadb/mysql_driver.h"
#include "statements/driver_sql.h"
#include "statements/statement_sql.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/driver_server_fixture.h"
#include "tests/mariadb/second_session.h"
#include "values/any.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

bool EndsWith(const std::wstring& str, const std::wstring& strEnd) {
  return str.size() >= strEnd.size() && str.compare(str.size() - strEnd.size(), strEnd.size(),
                                                    strEnd) == 0;
}

class DriverSQLInternals : public DriverServerTest {
 protected:
  DriverSQLInternals() : DriverServerTest(L"Connection=driver_sql") {}

  void SetUp() override {
    DriverServerTest::SetUp();
    if (HasFatalFailure()) return;
    ServerSession::Describe(&m_host, ServerSession::kTcp);
    m_pclSQL = CNADriverSQL::s_pclGetFromDriver();
    ASSERT_NE(m_pclSQL, nullptr);
    m_strTable = kq230::test_support::UniqueName("kq_sqli");
    CreateTable(m_strTable, "id INT PRIMARY KEY, name VARCHAR(20)");
    ASSERT_TRUE(m_session.bRun("INSERT INTO " + m_strTable + " VALUES (1, 'one'), (2, NULL)"));
  }

  void TearDown() override {
    m_pclSQL = nullptr;  // the driver's; it goes with the driver
    DriverServerTest::TearDown();
    EXPECT_EQ(m_host.nOutstanding(), 0);
  }

  int Open() {
    int nHandle = 0;
    EXPECT_EQ(m_pclSQL->bOpenConnection(&nHandle, &m_host), 1)
        << m_pclSQL->pclGetError()->StringDump().pszGet();
    return nHandle;
  }
  const wchar_t* Identification(int nHandle) {
    CNAConnectionDescription* pclConnection = m_pclDriver->pclGetConnectionByID(nHandle);
    if (pclConnection == nullptr) return L"<none>";
    const wchar_t* psz = pclConnection->pszGetIdentification();
    m_pclDriver->nReleaseConnection(pclConnection);
    return psz;
  }
  int Select(int nConnection, const wchar_t* pszQuery) {
    int nStatement = 0;
    EXPECT_EQ(m_pclSQL->bExecute(&nStatement, nConnection, pszQuery, nullptr, 0), 1);
    return nStatement;
  }
  std::string FirstValue(int nConnection, int nStatement) {
    if (!m_pclSQL->bFetch(nConnection, nStatement, 0)) return "<no row>";
    CAny clValue;
    if (!m_pclSQL->bGetValue(&clValue, nConnection, nStatement, 1, 0)) return "<no value>";
    CXYString<wchar_t> clText;
    clValue.__nFillString(clText, nullptr);
    std::wstring str(clText.pszGet());
    clText.ReleaseDynStr();
    return std::string(str.begin(), str.end());
  }

  HostConnectionFake m_host;
  CNADriverSQL* m_pclSQL = nullptr;
  std::string m_strTable;
};

TEST_F(DriverSQLInternals, TwoOpeningsAreTwoConnectionsNumberedInTheirIdentification) {
  CNADriverSQL::m_gnCnxNameGenerator = 0;  // as in a fresh process
  const unsigned int nBefore = m_pclDriver->nGetConnectionCount();
  const int nFirst = Open();
  const int nSecond = Open();
  EXPECT_NE(nFirst, nSecond);
  EXPECT_TRUE(EndsWith(Identification(nFirst), L";SQLConnecte1")) << Identification(nFirst);
  EXPECT_TRUE(EndsWith(Identification(nSecond), L";SQLConnecte2"));
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), nBefore + 2);
  CNAConnectionDescription* pclConnection = m_pclDriver->pclGetConnectionByID(nFirst);
  ASSERT_NE(pclConnection, nullptr);
  EXPECT_EQ(pclConnection->bOpenedBySQLInterface(), 1);
  EXPECT_EQ(pclConnection->bIsOpen(), 1);
  m_pclDriver->nReleaseConnection(pclConnection);
  // The password never shows in an identification.
  EXPECT_EQ(std::wstring(Identification(nFirst)).find(*m_host.password), std::wstring::npos);
  // Closed by handle, each goes from the driver's table.
  EXPECT_EQ(m_pclSQL->bCloseConnection(nFirst), 1);
  EXPECT_EQ(m_pclSQL->bCloseConnection(nSecond), 1);
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), nBefore);
}

TEST_F(DriverSQLInternals, TheIdentificationCounterComesRoundPastLiveNumbers) {
  CNADriverSQL::m_gnCnxNameGenerator = 0;
  const int nLive = Open();  // ";SQLConnecte1" stays registered
  CNADriverSQL::m_gnCnxNameGenerator = INT_MAX - 1;
  const int nLast = Open();
  const int nWrapped = Open();
  EXPECT_TRUE(EndsWith(Identification(nLast), L";SQLConnecte" + std::to_wstring(INT_MAX)));
  EXPECT_TRUE(EndsWith(Identification(nWrapped), L";SQLConnecte2")) << Identification(nWrapped);
  for (int n : {nLive, nLast, nWrapped}) EXPECT_EQ(m_pclSQL->bCloseConnection(n), 1);
}

TEST_F(DriverSQLInternals, StatementHandlesComeRoundSkippingZeroAndLiveHandles) {
  const int nConnection = Open();
  const std::wstring strQuery =
      L"SELECT name FROM " + std::wstring(m_strTable.begin(), m_strTable.end()) + L" WHERE id = 1";
  CNAStatementSQL::m_gnStmtGenerator = 0;
  const int nLive = Select(nConnection, strQuery.c_str());
  EXPECT_EQ(nLive, 1);
  CNAStatementSQL::m_gnStmtGenerator = static_cast<unsigned int>(INT_MAX) - 1;
  const int nLast = Select(nConnection, strQuery.c_str());
  EXPECT_EQ(nLast, INT_MAX);
  const int nWrapped = Select(nConnection, L"SELECT 'wrapped'");
  // 1 is live: the next free number names the new result.
  EXPECT_EQ(nWrapped, 2);
  EXPECT_EQ(m_pclSQL->nGetStatementCount(), 3u);
  EXPECT_EQ(FirstValue(nConnection, nLive), "one");
  EXPECT_EQ(FirstValue(nConnection, nLast), "one");
  EXPECT_EQ(FirstValue(nConnection, nWrapped), "wrapped");
  // The numbers of the statement class stay positive whatever the counter.
  CNAStatementSQL::m_gnStmtGenerator = 0xFFFFFFFFu;
  EXPECT_EQ(CNAStatementSQL::g_nNextStmtNumber(), 1);
  for (int n : {nLive, nLast, nWrapped}) EXPECT_EQ(m_pclSQL->bFreeStmt(nConnection, n, 0), 1);
  EXPECT_EQ(m_pclSQL->nGetStatementCount(), 0u);
  EXPECT_EQ(m_pclSQL->bCloseConnection(nConnection), 1);
}

TEST_F(DriverSQLInternals, AnOperationResetsTheSharedErrorOnlyOnceItHoldsTheLock) {
  // In process there is no driver lock unless made; this test makes it.
  ASSERT_FALSE(CNADriverLock::g_bExists());
  ASSERT_EQ(CNADriverLock::g_bCreate(), 1);
  CNAError* pclError = m_pclSQL->pclGetError();
  CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), 99, 1, nullptr, nullptr, nullptr, 12);
  // Another thread's operation is under way (it holds the lock) and its
  // error is still to be read: an operation that comes now must wait before
  // it touches that error.
  CNADriverLock::g_Enter();
  std::atomic<bool> bDone{false};
  std::thread clCaller([&] {
    m_pclSQL->bFreeStmt(0, 12345, 0);
    bDone = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_FALSE(bDone.load());
  EXPECT_EQ(pclError->nGetUserErrorCode(), 12u);
  CNADriverLock::g_Leave();
  clCaller.join();
  EXPECT_TRUE(bDone.load());
  EXPECT_EQ(pclError->eGetErrorType(), -1);
  CNADriverLock::g_Destroy();
}

TEST_F(DriverSQLInternals, TheServersReferencesHoldTheDriverOnceWhileTheyLast) {
  const int nDriverBefore = m_pclDriver->nGetExternalCount();
  INADriverSQL* piSQL = static_cast<INADriverSQL*>(m_pclDriver->piGetInterface(1));
  ASSERT_EQ(piSQL, static_cast<INADriverSQL*>(m_pclSQL));
  EXPECT_EQ(m_pclDriver->nGetExternalCount(), nDriverBefore + 1);
  EXPECT_EQ(piSQL->ExternalAddRef(), piSQL);
  EXPECT_EQ(m_pclDriver->nGetExternalCount(), nDriverBefore + 1);
  EXPECT_EQ(piSQL->nExternalRelease(), 1);
  EXPECT_EQ(piSQL->nExternalRelease(), 0);
  EXPECT_EQ(m_pclDriver->nGetExternalCount(), nDriverBefore);
  // A release beyond the count changes nothing.
  EXPECT_EQ(piSQL->nExternalRelease(), 0);
  EXPECT_EQ(m_pclSQL->nGetRef(), 1);  // the driver's own
}

TEST_F(DriverSQLInternals, ResultsLeftByTheServerGoWithTheInterfaceAndCloseTheirConnection) {
  const unsigned int nBefore = m_pclDriver->nGetConnectionCount();
  const int nConnection = Open();
  Select(nConnection, L"SELECT 1");
  Select(nConnection, L"SELECT 2");
  EXPECT_EQ(m_pclSQL->bCloseConnection(nConnection), 1);
  // Held by its results, the closed connection waits for them.
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), nBefore + 1);
  EXPECT_EQ(m_pclSQL->nGetStatementCount(), 2u);
  // The driver's end releases the interface, which releases them (the
  // fixture's end checks the driver goes and the host description is back).
}

TEST_F(DriverSQLInternals, TheConnectionRunsTextsAndReadsValuesThroughTheInterface) {
  CMySQLConnection* pclConnection = m_session.pclConnection();
  // The base's own operations, which the back end's connection reaches for
  // reading values and a back end without its own runner for texts.
  EXPECT_EQ(m_pclSQL->bExecuteQueryNoResult(m_pclError, pclConnection,
                                            (L"UPDATE " + std::wstring(m_strTable.begin(),
                                                                       m_strTable.end()) +
                                             L" SET name = 'uno' WHERE id = 1")
                                                .c_str()),
            1);
  EXPECT_EQ(m_session.FirstCells("SELECT name FROM " + m_strTable + " WHERE id = 1"),
            std::vector<std::string>{"uno"});
  EXPECT_EQ(m_pclSQL->bExecuteQueryNoResult(m_pclError, pclConnection, L"SELECT 1, 2"), 1);
  EXPECT_EQ(m_pclSQL->bExecuteQueryNoResult(m_pclError, pclConnection, L"SELEKT"), 0);
  EXPECT_NE(std::wcsstr(m_pclError->StringDump().pszGet(), L"1064"), nullptr);
  m_pclError->Reset();
  CAny clValue;
  EXPECT_EQ(m_pclSQL->bGetRequestedValue(m_pclError, pclConnection, &clValue, 1,
                                         L"SELECT 7, 'second'"),
            1);
  CXYString<wchar_t> clText;
  clValue.__nFillString(clText, nullptr);
  EXPECT_EQ(std::wstring(clText.pszGet()), L"second");
  clText.ReleaseDynStr();
  EXPECT_EQ(m_pclSQL->bGetRequestedValue(m_pclError, pclConnection, &clValue, -1, L"SELECT 7"), 0);
}

TEST_F(DriverSQLInternals, ARequestedValueStringIsTheValueAsText) {
  CMySQLConnection* pclConnection = m_session.pclConnection();
  const std::wstring strTable(m_strTable.begin(), m_strTable.end());
  struct Case {
    const char* name;
    std::wstring strQuery;
    int nColumn;
    int bResult;
    const wchar_t* pszText;  // what the string holds after the call
  } const cases[] = {
      {"text", L"SELECT 'abc'", 0, 1, L"abc"},
      {"number", L"SELECT 42", 0, 1, L"42"},
      {"second column", L"SELECT 1, 'b'", 1, 1, L"b"},
      {"decimal", L"SELECT 2.50", 0, 1, L"2.50"},
      {"empty text", L"SELECT ''", 0, 1, L""},
      {"NULL leaves the string", L"SELECT name FROM " + strTable + L" WHERE id = 2", 0, 1,
       L"before"},
      {"no row leaves the string", L"SELECT name FROM " + strTable + L" WHERE id = 99", 0, 1,
       L"before"},
      {"a failing query leaves the string", L"SELECT * FROM kq_no_such_table_at_all", 0, 0,
       L"before"},
      {"a column past the end fails", L"SELECT 1", 3, 0, L"before"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CXYString<wchar_t> clString(L"before");
    m_pclError->Reset();
    EXPECT_EQ(pclConnection->bGetRequestedValueString(m_pclError, &clString, c.nColumn,
                                                      c.strQuery.c_str()),
              c.bResult);
    EXPECT_EQ(std::wstring(clString.pszGet()), c.pszText);
    clString.ReleaseDynStr();
  }
}

}  // namespace
}  // namespace kqtest
