// ServerSession: the driver's own MariaDB connection (CMySQLConnection),
// opened in process on the fixture's server in utf8mb4, for the tests that
// check against the real server what the driver writes, maps or reads: run
// statements through the connection, read rows back through the client
// library on the connection's handle, and ask the server whether a condition
// holds with a check that really fails when it does not.
//
// Ownership: the session owns its host description and its connection; the
// fixture's facts (ReadServer) live from a suite's set-up to its tear-down.
// The test program keeps the client library loaded (KeepClientLibraryForTheProgram)
// and ends the driver's use of it after each test (EndClientLibrary), as the
// driver's end does: its global state belongs to the test that made it.
// Threads: one thread at a time.
#ifndef KQ230_TESTS_MARIADB_SERVER_SESSION_H_
#define KQ230_TESTS_MARIADB_SERVER_SESSION_H_

#include <optional>
#include <string>
#include <vector>

#include "mariadb/mysql_connection.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/mariadb/server_env.h"

namespace kqtest {

// Whether the server finds cond (an SQL expression) true on the connection.
// The check runs as a compound statement that signals when cond is false or
// NULL: DO and SELECT let a failing subquery pass, so a check through them
// never fails. Any other error (cond does not parse, the connection is gone)
// fails the test as well as answering false.
bool bServerSays(CMySQLConnection* pclConnection, const std::wstring& cond);

class ServerSession {
 public:
  using Row = std::vector<std::optional<std::string>>;  // a NULL cell has no value
  enum Transport { kSocket, kTcp };

  // Suite set-up: reads the facts of the fixture's server (KQ_MARIADB_ENV, else
  // the file the test program was built with). A failure is kept in SetupError().
  static void ReadServer();
  // Suite tear-down: forgets them, swapped rather than assigned (an assigned
  // empty text would keep its room, and the program's leak balance counts it).
  static void ForgetServer();
  static const kq230::test_support::MariadbServer& Server();
  static const std::string& SetupError();

  // The driver's end of the client library (its global state and the loader).
  static void EndClientLibrary();

  // Describes the fixture's server to the driver over the transport; extra
  // follows the transport's keyword in the extended information.
  static void Describe(HostConnectionFake* pHost, Transport eTransport = kSocket,
                       const std::wstring& extra = L"");

  ServerSession() = default;
  ServerSession(const ServerSession&) = delete;
  ServerSession& operator=(const ServerSession&) = delete;
  ~ServerSession() { Close(); }

  // Opens a connection of that name over the socket. Fails the test, and
  // answers false, when it does not open or does not run utf8mb4 (code page
  // 65001). REQUIRES: the framework is bound (BoundFrameworkTest), the facts read.
  bool bOpen(const wchar_t* pszName);
  // Closes and releases the connection; fails the test when the host
  // description is still held. Does nothing when not open.
  void Close();

  CMySQLConnection* pclConnection() const { return m_pclConnection; }
  HostConnectionFake& Host() { return m_host; }

  // Runs statements through the driver (bExecuteQueryNoResult); fails the test
  // with the server's error and the start of the text, and answers false, when
  // they fail. The 8-bit form takes UTF-8 text (not well-formed: a failure).
  bool bRun(const std::wstring& sql);
  bool bRun(const std::string& sql);

  // Every row of a query (UTF-8 text), read by the client library on the
  // connection's handle; a failed query fails the test and gives no row.
  std::vector<Row> Rows(const std::string& sql);
  // The first cell of every row, NULL as the text "NULL".
  std::vector<std::string> FirstCells(const std::string& sql);

  bool bSays(const std::wstring& cond) { return bServerSays(m_pclConnection, cond); }

 private:
  HostConnectionFake m_host;
  CMySQLConnection* m_pclConnection = nullptr;
};

}  // namespace kqtest

#endif  // KQ230_TESTS_MARIADB_SERVER_SESSION_H_
