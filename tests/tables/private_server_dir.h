// The MariaDB server of a test program's own (scripts/mariadb-server.sh
// start, kill, restart, stop), for the tests that must stop the server or
// set its global sql_mode while the fixture's shared server keeps running
// for every other test. Each process has a directory of its own below
// KQ_PRIVATE_SERVER_DIR (CTest runs the tests of a program side by side,
// each in a process of its own).
//
// Threads: one test at a time.
#ifndef KQ230_TESTS_TABLES_PRIVATE_SERVER_DIR_H_
#define KQ230_TESTS_TABLES_PRIVATE_SERVER_DIR_H_

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace kqtest {

// The server's directory of this process.
inline std::string PrivateServerDir() {
  return std::string(KQ_PRIVATE_SERVER_DIR) + "/" + std::to_string(getpid());
}

// Runs mariadb-server.sh with the command on this process's server.
inline bool bPrivateServer(const char* pszCommand) {
  const std::string command = std::string("bash '") + KQ_MARIADB_SERVER_SCRIPT + "' " + pszCommand +
                              " '" + PrivateServerDir() + "' >/dev/null";
  return std::system(command.c_str()) == 0;
}

}  // namespace kqtest

#endif  // KQ230_TESTS_TABLES_PRIVATE_SERVER_DIR_H_
