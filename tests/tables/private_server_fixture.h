// A browse fixture on a MariaDB server of the test program's own
// (scripts/mariadb-server.sh start, kill, restart, stop), for the tests that
// must stop the server or set its global sql_mode: the fixture's shared
// server keeps running for every other test.
//
// Each process starts its server in a directory of its own (CTest runs the
// tests of a program side by side, each in a process of its own), tries a
// few times (servers started side by side may race for a port), and points
// KQ_MARIADB_ENV at it for the suite. A test whose server did not start
// fails.
//
// Ownership: the suite starts and stops the server.
// Threads: one test at a time.
#ifndef KQ230_TESTS_TABLES_PRIVATE_SERVER_FIXTURE_H_
#define KQ230_TESTS_TABLES_PRIVATE_SERVER_FIXTURE_H_

#include <cstdlib>
#include <string>

#include "tests/tables/data_access_browse_fixture.h"
#include "tests/tables/private_server_dir.h"

namespace kqtest {

class PrivateServerBrowseTest : public DataAccessBrowseTest {
 protected:
  static void SetUpTestSuite() {
    s_bStarted = false;
    for (int i = 0; i < 3 && !s_bStarted; ++i) s_bStarted = bPrivateServer("start");
    if (!s_bStarted) return;
    const std::string env = PrivateServerDir() + "/server.env";
    setenv("KQ_MARIADB_ENV", env.c_str(), 1);
    DataAccessBrowseTest::SetUpTestSuite();
  }
  static void TearDownTestSuite() {
    DataAccessBrowseTest::TearDownTestSuite();
    unsetenv("KQ_MARIADB_ENV");
    bPrivateServer("stop");
  }
  void SetUp() override {
    ASSERT_TRUE(s_bStarted) << "the program's own server did not start";
    DataAccessBrowseTest::SetUp();
  }

  static inline bool s_bStarted = false;
};

}  // namespace kqtest

#endif  // KQ230_TESTS_TABLES_PRIVATE_SERVER_FIXTURE_H_
