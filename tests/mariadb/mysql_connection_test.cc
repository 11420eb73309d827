// The MariaDB connection against the real server of the test fixture: opening
// by TCP and by Unix socket, the Unicode set-up, create mode, and bad input,
// each failure answering 0 with the server's code and message and no password
// in any text.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "driver/na_error.h"
#include "mariadb/mysql_connection.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/server_session.h"
#include "tests/support/bound_framework.h"

namespace kqtest {
namespace {

// Before main: see KeepClientLibraryForTheProgram.
[[maybe_unused]] const bool gbClientLibraryKept = kq230::test_support::KeepClientLibraryForTheProgram();

// The client library ends with the driver; here with each test.
void EndClientLibrary() { ServerSession::EndClientLibrary(); }

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// A loopback port that nothing listens on (bound, read, released).
unsigned FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

class MySQLConnectionTest : public BoundFrameworkTest {
 protected:
  static void SetUpTestSuite() { ServerSession::ReadServer(); }
  static void TearDownTestSuite() {
    EndClientLibrary();
    ServerSession::ForgetServer();
  }
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    ASSERT_EQ(ServerSession::SetupError(), "");
  }
  // Each test ends the client library it loaded, as the driver's termination
  // does: its global state belongs to the test that made it.
  void TearDown() override {
    EndClientLibrary();
    BoundFrameworkTest::TearDown();
  }

  static const kq230::test_support::MariadbServer& Server() { return ServerSession::Server(); }
  static constexpr ServerSession::Transport kTcp = ServerSession::kTcp;
  static constexpr ServerSession::Transport kSocket = ServerSession::kSocket;
  using Transport = ServerSession::Transport;

  // The fake describes the fixture's server over the transport; extra goes
  // after the transport's keyword.
  void Describe(Transport transport, const std::wstring& extra = L"") {
    ServerSession::Describe(&m_host, transport, extra);
  }

  CMySQLConnection* Make() {
    auto* p = new CMySQLConnection(L"Connection=test", &m_host);
    p->AddRef();
    return p;
  }

  HostConnectionFake m_host;
};


TEST_F(MySQLConnectionTest, OpensByTcpAndBySocketInUtf8mb4) {
  for (Transport t : {kTcp, kSocket}) {
    SCOPED_TRACE(t == kTcp ? "tcp" : "socket");
    Describe(t);
    CMySQLConnection* p = Make();
    CNAError clError;
    ASSERT_EQ(p->bOpen(&clError), 1) << clError.StringDump().pszGet();
    EXPECT_EQ(p->bIsOpen(), 1);
    EXPECT_EQ(p->bOpen(&clError), 1);  // opening an open connection changes nothing
    EXPECT_EQ(p->bServerIsMariaDB(), 1);
    EXPECT_GE(p->nGetServerVersionMajor(), 10);
    // The installed Connector/C numbers itself 3.x and still has the current
    // interface: Unicode stays on, in utf8mb4.
    EXPECT_EQ(CMySQLConnection::m_nClientVersionMajor, 3);
    EXPECT_EQ(p->bClientVersionGreaterThan4_1(), 1);
    EXPECT_EQ(p->bUnicodeSupport(), 1);
    EXPECT_EQ(p->nGetConnectionCodePage(), 65001);
    // The check itself tells a false condition.
    EXPECT_FALSE(bServerSays(p, L"DATABASE() = 'no such database'"));
    EXPECT_FALSE(bServerSays(p, L"NULL"));
    EXPECT_TRUE(bServerSays(p, L"@@character_set_client = 'utf8mb4'"));
    EXPECT_TRUE(bServerSays(p, L"@@character_set_results = 'utf8mb4'"));
    EXPECT_TRUE(bServerSays(p, L"DATABASE() = '" + Wide(Server().database) + L"'"));
    EXPECT_EQ(p->bClose(&clError), 1);
    EXPECT_EQ(p->bIsOpen(), 0);
    EXPECT_EQ(p->bClose(&clError), 1);
    EXPECT_EQ(clError.eGetErrorType(), -1);
    p->nRelease();
  }
  EXPECT_EQ(m_host.nOutstanding(), 0);
}

TEST_F(MySQLConnectionTest, AnOldClientLibraryKeepsCodePage1252) {
  // Afresh, with a library that reports 4.0.27 and lacks Connector/C's own
  // extension: too old for Unicode.
  EndClientLibrary();
  Describe(kSocket, std::wstring(L";KQ CLIENT LIBRARY=") + Wide(KQ_SHIM_OLD_CLIENT));
  CMySQLConnection* p = Make();
  CNAError clError;
  ASSERT_EQ(p->bOpen(&clError), 1) << clError.StringDump().pszGet();
  EXPECT_STREQ(CNAConnectionDescription::m_csClientVersion.pszGet(), L"4.0.27");
  EXPECT_EQ(p->bClientVersionGreaterThan4_1(), 0);
  EXPECT_EQ(p->bUnicodeSupport(), 0);
  EXPECT_EQ(p->nGetConnectionCodePage(), 1252);
  // The session speaks the code page the driver writes and reads: latin1
  // (the server's code page 1252), not the library's default utf8mb4.
  for (const wchar_t* pszVariable : {L"@@character_set_client", L"@@character_set_connection",
                                     L"@@character_set_results"})
    EXPECT_TRUE(bServerSays(p, std::wstring(pszVariable) + L" = 'latin1'")) << pszVariable;
  // An 8-bit text of the driver reaches the server as the characters meant.
  EXPECT_TRUE(bServerSays(p, L"'\u00E9\u20AC' = _utf8mb4 X'C3A9E282AC'"));
  p->bClose(&clError);
  p->nRelease();
  EndClientLibrary();
}

TEST_F(MySQLConnectionTest, AFailingMysqlInitAnswersZeroWithItsOwnError) {
  EndClientLibrary();
  Describe(kSocket, std::wstring(L";KQ CLIENT LIBRARY=") + Wide(KQ_SHIM_INIT_NULL));
  CMySQLConnection* p = Make();
  CNAError clError;
  EXPECT_EQ(p->bOpen(&clError), 0);
  EXPECT_EQ(p->bIsOpen(), 0);
  EXPECT_EQ(p->pGetHandle(), nullptr);
  EXPECT_EQ(clError.pclGetXError()->nGetUserErrorCode(), 78u);
  std::wstring dump = clError.StringDump().pszGet();
  EXPECT_NE(dump.find(L"mysql_init returned NULL"), std::wstring::npos) << dump.c_str();
  EXPECT_EQ(dump.find(Wide(Server().password)), std::wstring::npos);
  p->nRelease();
  EndClientLibrary();
}

TEST_F(MySQLConnectionTest, CreateModeMakesAMissingDatabaseAndPlainModeReports1049) {
  // kqbench is the one other database the test user may create.
  Describe(kTcp);
  m_host.defaultDatabase = L"kqbench";
  CMySQLConnection* p = Make();
  {
    CNAError clError;
    ASSERT_EQ(p->bOpen(&clError), 0);
    // (The unknown database of the bad-input cases: it lives here, as the
    // tests of this program may run at once and this one creates it.)
    EXPECT_EQ(clError.dwGetDataBaseErrorCode(), 1049u);
    EXPECT_EQ(clError.pclGetXError()->nGetUserErrorCode(), 79u);
    EXPECT_EQ(p->bIsOpen(), 0);
    EXPECT_EQ(p->pGetHandle(), nullptr);
    std::wstring dump = clError.StringDump().pszGet();
    EXPECT_EQ(dump.find(Wide(Server().password)), std::wstring::npos);
  }
  CNAError clError;
  ASSERT_EQ(p->bOpenCreate(&clError), 1) << clError.StringDump().pszGet();
  EXPECT_EQ(clError.eGetErrorType(), -1);
  EXPECT_EQ(clError.pclGetXError()->nGetNbSubError(), 0);
  EXPECT_TRUE(bServerSays(p, L"DATABASE() = 'kqbench'"));
  EXPECT_EQ(p->bExecuteQueryNoResult(&clError, L"DROP DATABASE `kqbench`"), 1);
  p->bClose(&clError);
  p->nRelease();
}

TEST_F(MySQLConnectionTest, QueriesReportTheServersErrorAndEveryResultIsConsumed) {
  Describe(kSocket);
  CMySQLConnection* p = Make();
  CNAError clError;
  ASSERT_EQ(p->bOpen(&clError), 1);
  EXPECT_EQ(p->bExecuteQueryNoResult(&clError, L"SELECT 1; SELECT 2; DO 3"), 1);
  EXPECT_EQ(p->bExecuteQueryNoResult(&clError, L"SELECT 4"), 1);
  EXPECT_EQ(p->bExecuteQueryNoResult(&clError, L"SELEKT 1"), 0);
  EXPECT_EQ(clError.dwGetDataBaseErrorCode(), 1064u);
  EXPECT_EQ(clError.nGetUserErrorCode(), 22u);
  EXPECT_EQ(p->eGetNAErrorType(1062), 3);
  EXPECT_EQ(p->eGetNAErrorType(1205), 2);
  EXPECT_EQ(p->eGetNAErrorType(1213), 2);
  EXPECT_EQ(p->eGetNAErrorType(1048), 8);
  EXPECT_EQ(p->eGetNAErrorType(1064), 0);
  p->bClose(&clError);
  p->nRelease();
}

TEST_F(MySQLConnectionTest, BadInputAnswersZeroWithTheServersCodeAndNoPassword) {
  struct Case {
    const char* name;
    Transport transport;
    std::wstring dataSource, user, password, database, extended;
    unsigned codes[2];
  };
  std::wstring user = Wide(Server().user), password = Wide(Server().password);
  std::wstring port = L"Server Port=" + std::to_wstring(Server().port);
  const Case cases[] = {
      {"wrong password", kTcp, Wide(Server().host), user, L"Wrong-Secret-9", L"kqtest", port,
       {1045, 1045}},
      {"unknown user", kTcp, Wide(Server().host), L"nobody", password, L"kqtest", port,
       {1045, 1045}},
      {"no listener", kTcp, L"127.0.0.1", user, password, L"kqtest",
       L"Server Port=" + std::to_wstring(FreePort()), {2002, 2003}},
      {"missing socket", kSocket, L"localhost", user, password, L"kqtest",
       L"Unix Socket=/nonexistent/kq-missing.sock", {2002, 2002}},
      {"unreadable SSL key", kTcp, Wide(Server().host), user, password, L"kqtest",
       port + L";SSL Key=/nonexistent/key.pem;SSL Cert=/nonexistent/cert.pem", {2026, 2026}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_host.dataSource = c.dataSource;
    m_host.user = c.user;
    m_host.password = c.password;
    m_host.defaultDatabase = c.database;
    m_host.extended = c.extended;
    CMySQLConnection* p = Make();
    CNAError clError;
    EXPECT_EQ(p->bOpen(&clError), 0);
    EXPECT_EQ(p->bIsOpen(), 0);
    EXPECT_EQ(p->pGetHandle(), nullptr);  // the failed handle is closed at once
    unsigned code = clError.dwGetDataBaseErrorCode();
    EXPECT_TRUE(code == c.codes[0] || code == c.codes[1]) << code;
    EXPECT_EQ(clError.nGetUserErrorCode(), 22u);
    EXPECT_EQ(clError.pclGetXError()->nGetUserErrorCode(), 79u);  // put first
    std::wstring dump = clError.StringDump().pszGet();
    EXPECT_EQ(dump.find(c.password), std::wstring::npos) << clError.StringDump().pszGet();
    EXPECT_EQ(dump.find(password), std::wstring::npos);
    EXPECT_NE(dump.find(L"EIT_BASECODE"), std::wstring::npos) << clError.StringDump().pszGet();
    p->nRelease();
  }
  EXPECT_EQ(m_host.nOutstanding(), 0);
}

}  // namespace
}  // namespace kqtest
