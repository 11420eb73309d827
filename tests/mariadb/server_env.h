// Connection facts of the throwaway MariaDB server that scripts/mariadb-server.sh
// starts for the tests and benchmarks.
#ifndef KQ230_TESTS_MARIADB_SERVER_ENV_H_
#define KQ230_TESTS_MARIADB_SERVER_ENV_H_

#include <string>

namespace kq230::test_support {

struct MariadbServer {
  std::string host;       // loopback address the server listens on
  unsigned port = 0;
  std::string socket;     // path of its Unix socket
  std::string user;
  std::string password;
  std::string database;
};

// Reads the KEY=value file named by the environment variable KQ_MARIADB_ENV,
// or `default_path` when that is unset. Test programs declared NEEDS_MARIADB
// pass KQ_DEFAULT_MARIADB_ENV, the file of the CTest fixture's server, so that
// they run by hand as under CTest; others pass null.
// Returns true and fills *server, or false with *error saying what is missing;
// *error never holds the password.
bool ReadMariadbServer(const char* default_path, MariadbServer* server, std::string* error);

}  // namespace kq230::test_support

#endif  // KQ230_TESTS_MARIADB_SERVER_ENV_H_
