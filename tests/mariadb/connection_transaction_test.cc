// The MariaDB connection's transaction and lock against the fixture's real
// server, in process: rows written between begin and rollback vanish, between
// begin and commit stay (seen from a second session); the table lock is a
// locking read held until the transaction ends; a connection lost inside a
// transaction ends it as aborted and does not reconnect under it.
#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "driver/function_loader.h"
#include "driver/na_error.h"
#include "mariadb/mysql_connection.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/mariadb/second_session.h"
#include "tests/support/bound_framework.h"

namespace kqtest {
namespace {

using kq230::test_support::ClientLibraryForTheProgram;
using kq230::test_support::MariadbServer;
using kq230::test_support::SecondSession;
using kq230::test_support::UniqueName;

// Before main: see KeepClientLibraryForTheProgram.
[[maybe_unused]] const bool gbClientLibraryKept = kq230::test_support::KeepClientLibraryForTheProgram();

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class ConnectionTransactionTest : public BoundFrameworkTest {
 protected:
  static void SetUpTestSuite() {
    kq230::test_support::ReadMariadbServer(KQ_DEFAULT_MARIADB_ENV, &server_, &setup_error_);
    // The library's global state, which the driver's end of the library
    // (TearDownTestSuite) gives back, is made again here rather than by the
    // first session of a test, so that no test counts it as its own; so is
    // the driver's loading of the library, by one opening.
    if (ClientLibraryForTheProgram().library_init != nullptr)
      ClientLibraryForTheProgram().library_init(0, nullptr, nullptr);
    if (!setup_error_.empty()) return;
    BoundFramework binding;
    HostConnectionFake host;
    Describe(&host);
    auto* pclConnection = new CMySQLConnection(L"Connection=load", &host);
    pclConnection->AddRef();
    CNAError clError;
    if (!pclConnection->bOpen(&clError)) setup_error_ = "the first opening failed";
    pclConnection->nRelease();
  }
  static void Describe(HostConnectionFake* pHost) {
    pHost->user = Wide(server_.user);
    pHost->password = Wide(server_.password);
    pHost->defaultDatabase = Wide(server_.database);
    pHost->dataSource = Wide(server_.host);
    pHost->extended = L"Server Port=" + std::to_wstring(server_.port);
  }
  static void TearDownTestSuite() {
    CMySQLConnection::g_TermNativeLibrary();
    CNAFunctionLoader::g_Term();
    MariadbServer none;
    std::swap(server_, none);
    std::string().swap(setup_error_);
  }
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    ASSERT_EQ(setup_error_, "");
    std::string error;
    ASSERT_TRUE(m_other.Open(server_, &error)) << error;
    m_table = UniqueName("kq_tx_rows");
    ASSERT_EQ(m_other.Run("CREATE OR REPLACE TABLE " + m_table + " (n INT) ENGINE=InnoDB"), 0u)
        << m_other.Error();
    Describe(&m_host);
    m_pclConnection = new CMySQLConnection(L"Connection=test", &m_host);
    m_pclConnection->AddRef();
  }
  void TearDown() override {
    m_pclConnection->nRelease();
    m_other.Run("DROP TABLE IF EXISTS " + m_table);
    m_other.Close();
    EXPECT_EQ(m_host.nOutstanding(), 0);
    BoundFrameworkTest::TearDown();
  }

  int Exec(const std::string& sql) {
    return m_pclConnection->bExecuteQueryNoResult(&m_clError, Wide(sql).c_str());
  }
  long long Rows() {
    long long n = -1;
    m_other.Number("SELECT COUNT(*) FROM " + m_table, &n);
    return n;
  }
  // The id of the connection's session, learnt through a named lock it takes.
  long long SessionId() {
    const std::string lock = UniqueName("kq_tx_marker");
    if (!Exec("DO GET_LOCK('" + lock + "', 0)")) return 0;
    long long id = 0;
    m_other.Number("SELECT IS_USED_LOCK('" + lock + "')", &id);
    Exec("DO RELEASE_LOCK('" + lock + "')");
    return id;
  }

  static MariadbServer server_;
  static std::string setup_error_;
  HostConnectionFake m_host;
  CMySQLConnection* m_pclConnection = nullptr;
  CNAError m_clError;
  SecondSession m_other;
  std::string m_table;
};

MariadbServer ConnectionTransactionTest::server_;
std::string ConnectionTransactionTest::setup_error_;

TEST_F(ConnectionTransactionTest, RolledBackRowsVanishAndCommittedRowsStay) {
  ASSERT_EQ(m_pclConnection->bTransactionBegin(&m_clError, L"T"), 1)
      << m_clError.StringDump().pszGet();
  ASSERT_TRUE(Exec("INSERT INTO " + m_table + " VALUES (1), (2)"));
  EXPECT_EQ(Rows(), 0);  // not visible before the end
  EXPECT_EQ(m_pclConnection->bTransactionRollBack(&m_clError, L"T"), 1);
  EXPECT_EQ(Rows(), 0);

  ASSERT_EQ(m_pclConnection->bTransactionBegin(&m_clError, L"T"), 1);
  ASSERT_TRUE(Exec("INSERT INTO " + m_table + " VALUES (3)"));
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(m_pclConnection->bTransactionCommit(&m_clError, nullptr), 1);
  EXPECT_EQ(Rows(), 1);
  EXPECT_EQ(m_clError.eGetErrorType(), -1) << m_clError.StringDump().pszGet();
}

TEST_F(ConnectionTransactionTest, ATableLockBlocksAnotherSessionsLockingReadUntilTheCommit) {
  EXPECT_EQ(m_pclConnection->bSQLBloque(&m_clError, Wide(m_table).c_str()), 0);
  EXPECT_EQ(m_clError.dwGetErrorId(), 29u);  // outside a transaction
  EXPECT_STREQ(m_clError.pszGetLogicalTableName(), Wide(m_table).c_str());
  EXPECT_EQ(m_pclConnection->bIsOpen(), 0);  // nothing was sent for it
  m_clError.Reset();

  ASSERT_EQ(m_other.Run("INSERT INTO " + m_table + " VALUES (1), (2)"), 0u);
  ASSERT_EQ(m_pclConnection->bTransactionBegin(&m_clError, nullptr), 1);
  ASSERT_EQ(m_pclConnection->bSQLBloque(&m_clError, Wide(m_table).c_str()), 1)
      << m_clError.StringDump().pszGet();
  ASSERT_EQ(m_other.Run("SET SESSION innodb_lock_wait_timeout = 1"), 0u);
  ASSERT_EQ(m_other.Run("BEGIN"), 0u);
  for (const std::string& sql : {"SELECT * FROM " + m_table + " FOR UPDATE",
                                 "INSERT INTO " + m_table + " VALUES (3)"}) {
    SCOPED_TRACE(sql);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_other.Run(sql), 1205u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
  }
  ASSERT_EQ(m_pclConnection->bTransactionCommit(&m_clError, nullptr), 1);
  EXPECT_EQ(m_other.Run("SELECT * FROM " + m_table + " FOR UPDATE"), 0u);
  EXPECT_EQ(m_other.Run("COMMIT"), 0u);
}

TEST_F(ConnectionTransactionTest, ALockedNameIsOneQuotedNameWhateverItHolds) {
  ASSERT_EQ(m_pclConnection->bTransactionBegin(&m_clError, nullptr), 1);
  const std::wstring hostile = L"x`; DROP TABLE " + Wide(m_table) + L"; --";
  EXPECT_EQ(m_pclConnection->bSQLBloque(&m_clError, hostile.c_str()), 0);
  EXPECT_EQ(m_clError.dwGetDataBaseErrorCode(), 1146u);  // no such table
  m_clError.Reset();
  EXPECT_EQ(m_pclConnection->bSQLBloque(&m_clError, L""), 0);
  EXPECT_EQ(m_clError.dwGetErrorId(), 5u);
  EXPECT_EQ(m_pclConnection->bTransactionRollBack(&m_clError, nullptr), 1);
  EXPECT_EQ(Rows(), 0);  // the table is still there
}

TEST_F(ConnectionTransactionTest, ALostConnectionEndsTheTransactionAndNothingReconnectsUnderIt) {
  ASSERT_EQ(m_pclConnection->bTransactionBegin(&m_clError, nullptr), 1);
  ASSERT_TRUE(Exec("INSERT INTO " + m_table + " VALUES (1)"));
  const long long id = SessionId();
  ASSERT_NE(id, 0);
  ASSERT_TRUE(m_other.Kill(id)) << m_other.Error();

  EXPECT_FALSE(Exec("INSERT INTO " + m_table + " VALUES (2)"));
  const unsigned lost = m_clError.dwGetDataBaseErrorCode();
  EXPECT_TRUE(lost == 2006u || lost == 2013u) << lost;
  unsigned native = 0;
  EXPECT_EQ(m_pclConnection->_bTransactionAborted(&native), 1);
  EXPECT_EQ(native, lost);
  // A later statement neither reconnects nor runs outside the transaction.
  m_clError.Reset();
  EXPECT_FALSE(Exec("INSERT INTO " + m_table + " VALUES (3)"));
  EXPECT_EQ(m_clError.dwGetDataBaseErrorCode(), lost);
  EXPECT_EQ(m_pclConnection->bIsOpen(), 0);
  m_clError.Reset();
  EXPECT_EQ(m_pclConnection->bTransactionCommit(&m_clError, nullptr), 0);
  EXPECT_EQ(m_clError.dwGetDataBaseErrorCode(), lost);
  EXPECT_EQ(Rows(), 0);  // nothing of it was committed

  // Ended: the next transaction reconnects and commits.
  m_clError.Reset();
  ASSERT_EQ(m_pclConnection->bTransactionBegin(&m_clError, nullptr), 1)
      << m_clError.StringDump().pszGet();
  ASSERT_TRUE(Exec("INSERT INTO " + m_table + " VALUES (4)"));
  EXPECT_EQ(m_pclConnection->bTransactionCommit(&m_clError, nullptr), 1);
  EXPECT_EQ(Rows(), 1);
}

TEST_F(ConnectionTransactionTest, AConnectionLostOutsideATransactionReconnectsAtTheNextStatement) {
  ASSERT_TRUE(Exec("DO 1"));
  const long long id = SessionId();
  ASSERT_NE(id, 0);
  ASSERT_TRUE(m_other.Kill(id));
  EXPECT_FALSE(Exec("INSERT INTO " + m_table + " VALUES (1)"));  // the loss is reported once
  m_clError.Reset();
  EXPECT_TRUE(Exec("INSERT INTO " + m_table + " VALUES (2)")) << m_clError.StringDump().pszGet();
  EXPECT_EQ(Rows(), 1);
}

TEST_F(ConnectionTransactionTest, ABeginOnASessionLostWhileIdleStartsInANewSession) {
  ASSERT_TRUE(Exec("DO 1"));
  const long long id = SessionId();
  ASSERT_NE(id, 0);
  ASSERT_TRUE(m_other.Kill(id));
  ASSERT_EQ(m_pclConnection->bTransactionBegin(&m_clError, nullptr), 1)
      << m_clError.StringDump().pszGet();
  EXPECT_EQ(m_clError.eGetErrorType(), -1);
  ASSERT_TRUE(Exec("INSERT INTO " + m_table + " VALUES (1)"));
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(m_pclConnection->bTransactionCommit(&m_clError, nullptr), 1);
  EXPECT_EQ(Rows(), 1);
}

}  // namespace
}  // namespace kqtest
