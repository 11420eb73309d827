// Fixtures of the tests that run the MariaDB back end on the fixture's
// server in process.
//
// ServerSuite<Base>: the suite's part, for any bound fixture: it reads the
// server's facts before the suite and, after it, ends the driver's use of
// the client library and forgets the facts.
//
// DriverServerTest: per test, the process's driver object (initialised, as
// the server would have it), an error object and the driver's own
// connection (ServerSession) opened under the name the derived fixture
// gives; tables made through CreateTable are dropped at the end.
//
// Ownership: the fixture holds one reference on the driver object and one
// on the error, and checks at the end that the driver object went at its
// release. A derived fixture releases what it made (statements,
// descriptions, data accesses) before calling DriverServerTest::TearDown:
// they may call back into the connection or the driver object.
// Threads: one test at a time.
#ifndef KQ230_TESTS_MARIADB_DRIVER_SERVER_FIXTURE_H_
#define KQ230_TESTS_MARIADB_DRIVER_SERVER_FIXTURE_H_

#include <string>
#include <vector>

#include "driver/na_error.h"
#include "mariadb/mysql_driver.h"
#include "tests/mariadb/server_session.h"
#include "tests/values/bound_values.h"

namespace kqtest {

template <class Base>
class ServerSuite : public Base {
 protected:
  static void SetUpTestSuite() { ServerSession::ReadServer(); }
  static void TearDownTestSuite() {
    ServerSession::EndClientLibrary();
    ServerSession::ForgetServer();
  }
};

class DriverServerTest : public ServerSuite<BoundValuesTest> {
 protected:
  // pszConnection: the connection's name, as ServerSession::bOpen takes it
  // (a literal: the fixture keeps the pointer).
  explicit DriverServerTest(const wchar_t* pszConnection) : m_pszConnection(pszConnection) {}

  void SetUp() override;
  void TearDown() override;

  // Makes the table afresh (dropping one of that name first); the tear-down
  // drops it. quoted: the table's name as SQL writes it (UTF-8, in
  // backquotes with any backquote inside doubled, or bare).
  void CreateTable(const std::string& quoted, const std::string& body);

  CMySQLDriver* m_pclDriver = nullptr;
  CNAError* m_pclError = nullptr;
  ServerSession m_session;
  std::vector<std::string> m_tables;  // dropped in the tear-down, as quoted

 private:
  const wchar_t* m_pszConnection;
};

}  // namespace kqtest

#endif  // KQ230_TESTS_MARIADB_DRIVER_SERVER_FIXTURE_H_
