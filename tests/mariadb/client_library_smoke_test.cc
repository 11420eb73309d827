// The client library as the driver will meet it: loaded by name at run time,
// talking to the real server over both transports the driver offers.
#include <mysqld_error.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/mariadb/client_library.h"
#include "tests/mariadb/server_env.h"

namespace kq230::test_support {
namespace {

enum class Transport { kTcp, kUnixSocket };

struct TransportCase {
  const char* name;
  Transport transport;
  const char* account;  // what CURRENT_USER() must say: the account the server matched
};

const TransportCase kTransports[] = {
    {"tcp", Transport::kTcp, "kqtest@127.0.0.1"},
    {"unix socket", Transport::kUnixSocket, "kqtest@localhost"},
};

class ClientLibrarySmokeTest : public ::testing::Test {
 protected:
  struct Closer {
    void operator()(MYSQL* mysql) const { library_->close(mysql); }
  };
  using Connection = std::unique_ptr<MYSQL, Closer>;

  // Loaded once: the library's global initialisation belongs to the process,
  // not to any one test.
  static void SetUpTestSuite() {
    library_ = new ClientLibrary;
    if (library_->Load(&setup_error_))
      ReadMariadbServer(KQ_DEFAULT_MARIADB_ENV, &server_, &setup_error_);
  }

  static void TearDownTestSuite() {
    delete library_;
    library_ = nullptr;
    // Swapped, not assigned: an assigned empty text would keep its room.
    MariadbServer none;
    std::swap(server_, none);
    std::string().swap(setup_error_);
  }

  void SetUp() override { ASSERT_EQ(setup_error_, ""); }

  // Connects as the test user over `transport`. On failure returns null with
  // the client library's error number and text in *error_number and *error_text.
  static Connection Connect(Transport transport, const std::string& password,
                            unsigned* error_number, std::string* error_text) {
    Connection mysql(library_->init(nullptr));
    if (!mysql) {
      *error_number = 0;
      *error_text = "mysql_init failed";
      return nullptr;
    }
    // Explicit protocol: with the default, the library may pick the socket for
    // "localhost" and the test would not prove what it names.
    unsigned protocol = transport == Transport::kTcp ? MYSQL_PROTOCOL_TCP : MYSQL_PROTOCOL_SOCKET;
    unsigned timeout_s = 10;
    library_->options(mysql.get(), MYSQL_OPT_PROTOCOL, &protocol);
    library_->options(mysql.get(), MYSQL_OPT_CONNECT_TIMEOUT, &timeout_s);
    bool tcp = transport == Transport::kTcp;
    if (library_->real_connect(mysql.get(), tcp ? server_.host.c_str() : "localhost",
                               server_.user.c_str(), password.c_str(), server_.database.c_str(),
                               tcp ? server_.port : 0, tcp ? nullptr : server_.socket.c_str(),
                               0) == nullptr) {
      *error_number = library_->errno_of(mysql.get());
      *error_text = library_->error_of(mysql.get());
      return nullptr;
    }
    return mysql;
  }

  // The first row of `sql`'s result, each column as text ("NULL" for NULL).
  static std::vector<std::string> FirstRow(MYSQL* mysql, const std::string& sql) {
    std::vector<std::string> values;
    if (library_->real_query(mysql, sql.data(), sql.size()) != 0) {
      ADD_FAILURE() << sql << ": " << library_->error_of(mysql);
      return values;
    }
    MYSQL_RES* result = library_->store_result(mysql);
    if (result == nullptr) {
      ADD_FAILURE() << sql << ": no result: " << library_->error_of(mysql);
      return values;
    }
    if (MYSQL_ROW row = library_->fetch_row(result)) {
      unsigned long* lengths = library_->fetch_lengths(result);
      for (unsigned i = 0; i < library_->num_fields(result); ++i)
        values.emplace_back(row[i] ? std::string(row[i], lengths[i]) : "NULL");
    }
    library_->free_result(result);
    return values;
  }

  static ClientLibrary* library_;
  static MariadbServer server_;
  static std::string setup_error_;
};

ClientLibrary* ClientLibrarySmokeTest::library_ = nullptr;
MariadbServer ClientLibrarySmokeTest::server_;
std::string ClientLibrarySmokeTest::setup_error_;

// Before main: see KeepClientLibraryForTheProgram.
[[maybe_unused]] const bool gbClientLibraryKept = KeepClientLibraryForTheProgram();

TEST_F(ClientLibrarySmokeTest, ReadsTheServerVersionOverEachTransport) {
  for (const auto& c : kTransports) {
    SCOPED_TRACE(c.name);
    unsigned error_number = 0;
    std::string error_text;
    Connection mysql = Connect(c.transport, server_.password, &error_number, &error_text);
    ASSERT_NE(mysql, nullptr) << error_number << " " << error_text;

    std::vector<std::string> row = FirstRow(mysql.get(), "SELECT VERSION(), CURRENT_USER()");
    ASSERT_EQ(row.size(), 2u);
    EXPECT_NE(row[0].find("MariaDB"), std::string::npos) << row[0];
    EXPECT_EQ(row[1], c.account);
  }
}

TEST_F(ClientLibrarySmokeTest, AWrongPasswordFailsWithAccessDeniedAndKeepsThePasswordOutOfTheText) {
  // Holds the real password as a substring, so neither may show in the text.
  const std::string wrong_password = server_.password + "-wrong";
  for (const auto& c : kTransports) {
    SCOPED_TRACE(c.name);
    unsigned error_number = 0;
    std::string error_text;
    Connection mysql = Connect(c.transport, wrong_password, &error_number, &error_text);
    ASSERT_EQ(mysql, nullptr);

    EXPECT_EQ(error_number, unsigned{ER_ACCESS_DENIED_ERROR}) << error_text;
    EXPECT_EQ(error_text.find(server_.password), std::string::npos);
  }
}

}  // namespace
}  // namespace kq230::test_support
