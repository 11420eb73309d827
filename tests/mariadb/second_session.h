// SecondSession: a plain client session on the fixture's server, beside the
// driver's, for the tests that look at what the driver's session did (rows
// committed or not, locks held) or do to it what another program would
// (kill it). It talks to the client library directly, never through the
// driver.
//
// Ownership: the session is its own and closes with the object; the client
// library (ClientLibraryForTheProgram) is loaded once per program and kept.
// Threads: one thread at a time per session; two sessions may run on two
// threads.
#ifndef KQ230_TESTS_MARIADB_SECOND_SESSION_H_
#define KQ230_TESTS_MARIADB_SECOND_SESSION_H_

#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/mariadb/client_library.h"
#include "tests/mariadb/server_env.h"

namespace kq230::test_support {

// A name no other test program running at the same time uses.
inline std::string UniqueName(const char* prefix) {
  return std::string(prefix) + "_" + std::to_string(getpid());
}

class SecondSession {
 public:
  SecondSession() = default;
  SecondSession(const SecondSession&) = delete;
  SecondSession& operator=(const SecondSession&) = delete;
  ~SecondSession() { Close(); }

  // Connects by TCP as the fixture's user; false with *error set.
  bool Open(const MariadbServer& server, std::string* error) {
    ClientLibrary& lib = ClientLibraryForTheProgram();
    if (lib.init == nullptr) {
      *error = "the client library did not load";
      return false;
    }
    mysql_ = lib.init(nullptr);
    if (mysql_ == nullptr ||
        lib.real_connect(mysql_, server.host.c_str(), server.user.c_str(),
                         server.password.c_str(), server.database.c_str(), server.port, nullptr,
                         0) == nullptr) {
      *error = mysql_ != nullptr ? lib.error_of(mysql_) : "mysql_init failed";
      Close();
      return false;
    }
    return true;
  }
  void Close() {
    if (mysql_ != nullptr) ClientLibraryForTheProgram().close(mysql_);
    mysql_ = nullptr;
  }

  // Runs one statement, draining its result: 0, or the server's error number.
  unsigned Run(const std::string& sql) {
    ClientLibrary& lib = ClientLibraryForTheProgram();
    if (lib.real_query(mysql_, sql.data(), sql.size()) != 0) return lib.errno_of(mysql_);
    if (MYSQL_RES* result = lib.store_result(mysql_)) lib.free_result(result);
    return lib.errno_of(mysql_);
  }
  // The first column of the first row read as a number; false (and *value
  // untouched) on an error, no row or NULL.
  bool Number(const std::string& sql, long long* value) {
    ClientLibrary& lib = ClientLibraryForTheProgram();
    if (lib.real_query(mysql_, sql.data(), sql.size()) != 0) return false;
    MYSQL_RES* result = lib.store_result(mysql_);
    if (result == nullptr) return false;
    MYSQL_ROW row = lib.fetch_row(result);
    bool found = row != nullptr && row[0] != nullptr;
    if (found) *value = std::stoll(row[0]);
    lib.free_result(result);
    return found;
  }
  std::string Error() { return ClientLibraryForTheProgram().error_of(mysql_); }

  // The id of the session running a statement whose text holds marker,
  // waited for up to timeout; 0 when none showed.
  long long SessionRunning(const std::string& marker, std::chrono::milliseconds timeout) {
    const std::string sql =
        "SELECT ID FROM information_schema.PROCESSLIST WHERE ID <> CONNECTION_ID() AND INFO LIKE "
        "'%" + marker + "%' AND INFO NOT LIKE '%PROCESSLIST%'";
    const auto end = std::chrono::steady_clock::now() + timeout;
    long long id = 0;
    while (!Number(sql, &id) && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return id;
  }
  // Kills a session and waits until the server has let it go.
  bool Kill(long long id) {
    if (Run("KILL CONNECTION " + std::to_string(id)) != 0) return false;
    const std::string sql =
        "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " + std::to_string(id);
    for (int i = 0; i < 250; ++i) {
      long long count = 1;
      if (Number(sql, &count) && count == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

 private:
  MYSQL* mysql_ = nullptr;
};

}  // namespace kq230::test_support

#endif  // KQ230_TESTS_MARIADB_SECOND_SESSION_H_
