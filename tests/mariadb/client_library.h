// ClientLibrary: the MariaDB client library (Connector/C) bound at run time by
// name, the road the driver takes, so that tests and benchmarks measure the
// library the driver will really meet and link nothing of it.
//
// Ownership: keeps the library loaded, and its global state initialised, from a
// successful Load() until destruction.
// Threads: Load() and the destructor run on one thread with no connection open;
// the bound functions follow the client library's own rules.
#ifndef KQ230_TESTS_MARIADB_CLIENT_LIBRARY_H_
#define KQ230_TESTS_MARIADB_CLIENT_LIBRARY_H_

#include <mysql.h>

#include <string>

namespace kq230::test_support {

class ClientLibrary {
 public:
  ClientLibrary() = default;
  ClientLibrary(const ClientLibrary&) = delete;
  ClientLibrary& operator=(const ClientLibrary&) = delete;
  ~ClientLibrary();

  // Opens libmariadb.so, else libmariadb.so.3 (the only name Debian's runtime
  // package ships), and binds every entry point below.
  // Returns false with *error set when the library or an entry point is missing.
  bool Load(std::string* error);

  decltype(&mysql_server_init) library_init = nullptr;
  decltype(&mysql_server_end) library_end = nullptr;
  decltype(&mysql_get_client_info) get_client_info = nullptr;
  decltype(&mysql_init) init = nullptr;
  decltype(&mysql_options) options = nullptr;
  decltype(&mysql_real_connect) real_connect = nullptr;
  decltype(&mysql_get_host_info) get_host_info = nullptr;
  decltype(&mysql_real_query) real_query = nullptr;
  decltype(&mysql_store_result) store_result = nullptr;
  decltype(&mysql_use_result) use_result = nullptr;
  decltype(&mysql_num_fields) num_fields = nullptr;
  decltype(&mysql_fetch_row) fetch_row = nullptr;
  decltype(&mysql_fetch_lengths) fetch_lengths = nullptr;
  decltype(&mysql_free_result) free_result = nullptr;
  decltype(&mysql_errno) errno_of = nullptr;
  decltype(&mysql_error) error_of = nullptr;
  decltype(&mysql_close) close = nullptr;

 private:
  void* handle_ = nullptr;
};

// The one way a test program loads the client library before main: call
// KeepClientLibraryForTheProgram() in a static initialiser of every program
// that reaches the library (directly or through the driver). It loads the
// library, binds the program's instance (ClientLibraryForTheProgram), makes
// the library's global state, and keeps the library loaded for the program by
// a reference its own unload cannot take away (RTLD_NODELETE). The global
// state, and OpenSSL, which the library loads and which keeps its
// initialisation for the process, then count in the start of the program's
// leak balance (tests/support/leak_check.h): a test that ends the state, as
// the driver's end does, only gives bytes back. And the C library's
// bookkeeping of a library loaded and unloaded again and again (each driver
// stop unloads it) stops changing from one test to the next. A failure is left for the tests to
// meet: answers whether the library was found.
bool KeepClientLibraryForTheProgram();

// The program's own bound instance, for tests that talk to the server beside
// the driver (SecondSession): loaded on first use, never unloaded. Its global
// state is the library's: the driver's end of the library ends it too, and a
// suite that needs it made again calls library_init.
ClientLibrary& ClientLibraryForTheProgram();

}  // namespace kq230::test_support

#endif  // KQ230_TESTS_MARIADB_CLIENT_LIBRARY_H_
