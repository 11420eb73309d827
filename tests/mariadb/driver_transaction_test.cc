// Transactions and table locks through INADriver, as the server drives them:
// kq230maria.so loaded by the stand-in server, connections described by the
// stand-in, the fixture's real server, and a second client session that sees
// (or kills) what the driver's session holds.
#include <chrono>
#include <cstdlib>
#include <future>
#include <string>

#include <gtest/gtest.h>

#include "host/harness/host_harness.h"
#include "host/harness/standin_connection.h"
#include "kq230/na_error_interface.h"
#include "tests/host/native_access_fixture.h"
#include "tests/mariadb/second_session.h"

namespace {

using kq230::test_support::MariadbServer;
using kq230::test_support::SecondSession;
using kq230::test_support::UniqueName;

// Before main: see KeepClientLibraryForTheProgram.
[[maybe_unused]] const bool gbClientLibraryKept = kq230::test_support::KeepClientLibraryForTheProgram();

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class DriverTransactionTest : public kqtest::NativeAccessTest {
 protected:
  void SetUp() override {
    kqtest::NativeAccessTest::SetUp();
    if (HasFatalFailure()) return;
    const char* pszEnv = std::getenv("KQ_MARIADB_ENV");
    const char* pszPath = pszEnv != nullptr && *pszEnv ? pszEnv : KQ_DEFAULT_MARIADB_ENV;
    std::string strError;
    ASSERT_TRUE(kq230::test_support::ReadMariadbServer(pszPath, &m_server, &strError)) << strError;
    ASSERT_TRUE(m_other.Open(m_server, &strError)) << strError;
    m_table = UniqueName("kq_drv_lock");
    ASSERT_EQ(m_other.Run("CREATE OR REPLACE TABLE " + m_table + " (n INT) ENGINE=InnoDB"), 0u);
    ASSERT_EQ(m_other.Run("INSERT INTO " + m_table + " VALUES (1), (2)"), 0u);
    ASSERT_EQ(m_other.Run("SET SESSION innodb_lock_wait_timeout = 1"), 0u);
    m_piHost = NewConnection(CStandInConnection::ROUTE_TCP);
  }
  void TearDown() override {
    if (m_piHost != nullptr) m_piHost->nExternalRelease();
    kqtest::NativeAccessTest::TearDown();
    m_other.Run("ROLLBACK");
    m_other.Run("DROP TABLE IF EXISTS " + m_table);
    m_other.Close();
  }

  std::string Dump() { return LastError(); }
  unsigned NativeCode() {
    // The server's code is the error's database code, shown as "<code>".
    const std::string dump = Dump();
    for (unsigned code : {1146u, 1205u, 2006u, 2013u})
      if (dump.find("<" + std::to_string(code) + ">") != std::string::npos) return code;
    return 0;
  }
  // Whether the second session's locking read of the table waits for the
  // lock wait time-out (1 second), i.e. the driver's session holds the lock.
  bool LockedByTheDriver() {
    m_other.Run("BEGIN");
    const auto start = std::chrono::steady_clock::now();
    const unsigned error = m_other.Run("SELECT * FROM " + m_table + " FOR UPDATE");
    const auto waited = std::chrono::steady_clock::now() - start;
    m_other.Run("ROLLBACK");
    return error == 1205u && waited >= std::chrono::milliseconds(900);
  }

  MariadbServer m_server;
  CStandInConnection* m_piHost = nullptr;
  SecondSession m_other;
  std::string m_table;
};

TEST_F(DriverTransactionTest, ALockedTableBlocksAnotherSessionsLockingReadUntilTheCommit) {
  ASSERT_EQ(m_piDriver->bOpenConnection(m_piHost), 1) << Dump();
  // Outside a transaction the lock is refused, naming the table.
  EXPECT_EQ(m_piDriver->bSQLBloqueTable(m_piHost, Wide(m_table).c_str()), 0);
  EXPECT_EQ(m_piDriver->piGetLastError()->dwGetErrorId(), 29u);
  EXPECT_EQ(Narrow(m_piDriver->piGetLastError()->pszGetLogicalTableName()), m_table);
  EXPECT_FALSE(LockedByTheDriver());

  ASSERT_EQ(m_piDriver->bTransactionBegin(m_piHost, L"Lock"), 1) << Dump();
  ASSERT_EQ(m_piDriver->bSQLBloqueTable(m_piHost, Wide(m_table).c_str()), 1) << Dump();
  EXPECT_TRUE(LockedByTheDriver());
  EXPECT_TRUE(LockedByTheDriver());  // held, not given up by the first wait
  ASSERT_EQ(m_piDriver->bTransactionCommit(m_piHost, L"Lock"), 1) << Dump();
  EXPECT_FALSE(LockedByTheDriver());
  EXPECT_EQ(m_piDriver->bCloseConnection(m_piHost), 1);
}

TEST_F(DriverTransactionTest, AHostileTableNameStaysOneNameAndTheTableSurvives) {
  ASSERT_EQ(m_piDriver->bOpenConnection(m_piHost), 1) << Dump();
  ASSERT_EQ(m_piDriver->bTransactionBegin(m_piHost, nullptr), 1) << Dump();
  for (const std::wstring& name : {L"x`; DROP TABLE " + Wide(m_table) + L"; --",
                                   L"x'; DROP TABLE " + Wide(m_table) + L"; --"}) {
    EXPECT_EQ(m_piDriver->bSQLBloqueTable(m_piHost, name.c_str()), 0);
    EXPECT_EQ(NativeCode(), 1146u) << Dump();
  }
  EXPECT_EQ(m_piDriver->bSQLBloqueTable(m_piHost, nullptr), 0);  // no table: nothing sent
  EXPECT_EQ(m_piDriver->piGetLastError()->dwGetErrorId(), 5u);
  EXPECT_EQ(m_piDriver->bTransactionRollBack(m_piHost, nullptr), 1) << Dump();
  long long rows = 0;
  EXPECT_TRUE(m_other.Number("SELECT COUNT(*) FROM " + m_table, &rows));
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(m_piDriver->bCloseConnection(m_piHost), 1);
}

TEST_F(DriverTransactionTest, DiagnosisIsNotAvailableOnMariaDB) {
  ASSERT_EQ(m_piDriver->bOpenConnection(m_piHost), 1) << Dump();
  EXPECT_EQ(m_piDriver->bHConnexionDiagnose(nullptr, m_piHost, L"ping", 0), 0);
  EXPECT_EQ(m_piDriver->piGetLastError()->dwGetErrorId(), 8u);
  EXPECT_EQ(m_piDriver->piGetLastError()->eGetErrorType(), eNA_ERRORTYPE(7));
  EXPECT_EQ(m_piDriver->bCloseConnection(m_piHost), 1);
}

TEST_F(DriverTransactionTest, LocksOnAConnectionTheDriverDoesNotKnowRaiseFourteen) {
  EXPECT_EQ(m_piDriver->bSQLBloqueTable(m_piHost, Wide(m_table).c_str()), 0);
  EXPECT_EQ(m_piDriver->piGetLastError()->dwGetErrorId(), 14u);
  EXPECT_EQ(m_piDriver->bSQLBloqueRequete(m_piHost, nullptr), 0);
  EXPECT_EQ(m_piDriver->piGetLastError()->dwGetErrorId(), 14u);
  EXPECT_EQ(m_piHost->nAddRefCalls(), m_piHost->nReleaseCalls());
}

TEST_F(DriverTransactionTest, TheConnectionClosesOnlyOnceTheTransactionEndedAndItsLastUserLetGo) {
  ASSERT_EQ(m_piDriver->bOpenConnection(m_piHost), 1) << Dump();
  ASSERT_EQ(m_piDriver->bTransactionBegin(m_piHost, nullptr), 1) << Dump();
  ASSERT_EQ(m_piDriver->bSQLBloqueTable(m_piHost, Wide(m_table).c_str()), 1) << Dump();
  EXPECT_EQ(m_piDriver->bCloseConnection(m_piHost), 1);
  EXPECT_EQ(m_piDriver->bCloseConnection(m_piHost), 1);
  // The transaction keeps the session, its lock with it.
  EXPECT_TRUE(LockedByTheDriver());
  EXPECT_GT(m_piHost->nGetRefCount(), 1);
  EXPECT_EQ(m_piDriver->bTransactionCommit(m_piHost, nullptr), 1) << Dump();
  // Ended and let go: closed and unregistered, the description given back.
  EXPECT_EQ(m_piHost->nGetRefCount(), 1);
  EXPECT_EQ(m_piHost->nAddRefCalls(), m_piHost->nReleaseCalls());
  EXPECT_FALSE(LockedByTheDriver());
}

// The driver's session, found by the statement it runs: its lock of the table
// waits behind the second session's, long enough to be seen.
long long LockAndFindTheDriversSession(INADriver* piDriver, CStandInConnection* piHost,
                                       SecondSession* other, const std::string& table,
                                       int* pbLocked) {
  other->Run("SET SESSION innodb_lock_wait_timeout = 50");
  other->Run("BEGIN");
  other->Run("SELECT * FROM " + table + " FOR UPDATE");
  std::wstring name = Wide(table);
  auto locked =
      std::async(std::launch::async, [&] {
        return piDriver->bSQLBloqueTable(piHost, name.c_str());
      });
  const long long id = other->SessionRunning(table + "` FOR UPDATE", std::chrono::seconds(10));
  other->Run("ROLLBACK");
  *pbLocked = locked.get();
  other->Run("SET SESSION innodb_lock_wait_timeout = 1");
  return id;
}

TEST_F(DriverTransactionTest, AKilledConnectionFailsTheCommitAndANewOpeningStartsAfresh) {
  ASSERT_EQ(m_piDriver->bOpenConnection(m_piHost), 1) << Dump();
  ASSERT_EQ(m_piDriver->bTransactionBegin(m_piHost, nullptr), 1) << Dump();
  int bLocked = 0;
  const long long id =
      LockAndFindTheDriversSession(m_piDriver, m_piHost, &m_other, m_table, &bLocked);
  ASSERT_NE(id, 0);
  EXPECT_EQ(bLocked, 1) << Dump();
  ASSERT_TRUE(m_other.Kill(id)) << m_other.Error();

  EXPECT_EQ(m_piDriver->bTransactionCommit(m_piHost, nullptr), 0);
  const unsigned code = NativeCode();
  EXPECT_TRUE(code == 2006u || code == 2013u) << Dump();
  EXPECT_EQ(m_piDriver->bCloseConnection(m_piHost), 1);
  EXPECT_EQ(m_piHost->nAddRefCalls(), m_piHost->nReleaseCalls());

  ASSERT_EQ(m_piDriver->bOpenConnection(m_piHost), 1) << Dump();
  ASSERT_EQ(m_piDriver->bTransactionBegin(m_piHost, nullptr), 1) << Dump();
  ASSERT_EQ(m_piDriver->bSQLBloqueTable(m_piHost, Wide(m_table).c_str()), 1) << Dump();
  EXPECT_TRUE(LockedByTheDriver());
  EXPECT_EQ(m_piDriver->bTransactionCommit(m_piHost, nullptr), 1) << Dump();
  EXPECT_EQ(m_piDriver->bCloseConnection(m_piHost), 1);
}

TEST_F(DriverTransactionTest, AConnectionLostInATransactionIsNotReopenedUnderIt) {
  ASSERT_EQ(m_piDriver->bOpenConnection(m_piHost), 1) << Dump();
  ASSERT_EQ(m_piDriver->bTransactionBegin(m_piHost, nullptr), 1) << Dump();
  int bLocked = 0;
  const long long id =
      LockAndFindTheDriversSession(m_piDriver, m_piHost, &m_other, m_table, &bLocked);
  ASSERT_NE(id, 0);
  ASSERT_TRUE(m_other.Kill(id)) << m_other.Error();
  // The loss shows at the next statement; the ones after it are refused, not
  // run in a new session outside the transaction.
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(m_piDriver->bSQLBloqueTable(m_piHost, Wide(m_table).c_str()), 0);
    const unsigned code = NativeCode();
    EXPECT_TRUE(code == 2006u || code == 2013u) << Dump();
    EXPECT_FALSE(LockedByTheDriver());
  }
  EXPECT_EQ(m_piDriver->bTransactionBegin(m_piHost, nullptr), 0);
  EXPECT_EQ(m_piDriver->bTransactionRollBack(m_piHost, nullptr), 1) << Dump();
  // Ended: the next transaction reconnects.
  ASSERT_EQ(m_piDriver->bTransactionBegin(m_piHost, nullptr), 1) << Dump();
  ASSERT_EQ(m_piDriver->bSQLBloqueTable(m_piHost, Wide(m_table).c_str()), 1) << Dump();
  EXPECT_EQ(m_piDriver->bTransactionCommit(m_piHost, nullptr), 1) << Dump();
  EXPECT_EQ(m_piDriver->bCloseConnection(m_piHost), 1);
  EXPECT_EQ(m_piHost->nAddRefCalls(), m_piHost->nReleaseCalls());
}

}  // namespace
