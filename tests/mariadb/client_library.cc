#include "tests/mariadb/client_library.h"

#include <dlfcn.h>

namespace kq230::test_support {

namespace {

template <typename Function>
bool Bind(void* handle, const char* name, Function* function, std::string* error) {
  *function = reinterpret_cast<Function>(dlsym(handle, name));
  if (*function == nullptr) {
    *error = std::string("the client library has no ") + name;
    return false;
  }
  return true;
}

}  // namespace

ClientLibrary::~ClientLibrary() {
  if (handle_ == nullptr) return;
  if (library_end != nullptr) library_end();
  dlclose(handle_);
}

bool ClientLibrary::Load(std::string* error) {
  if (handle_ != nullptr) return true;
  const char* const names[] = {"libmariadb.so", "libmariadb.so.3"};
  std::string failures;
  for (const char* name : names) {
    handle_ = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (handle_ != nullptr) break;
    failures += failures.empty() ? "" : "; ";
    failures += dlerror();
  }
  if (handle_ == nullptr) {
    *error = "cannot load the MariaDB client library: " + failures;
    return false;
  }

  bool bound = Bind(handle_, "mysql_server_init", &library_init, error) &&
               Bind(handle_, "mysql_server_end", &library_end, error) &&
               Bind(handle_, "mysql_get_client_info", &get_client_info, error) &&
               Bind(handle_, "mysql_init", &init, error) &&
               Bind(handle_, "mysql_options", &options, error) &&
               Bind(handle_, "mysql_real_connect", &real_connect, error) &&
               Bind(handle_, "mysql_get_host_info", &get_host_info, error) &&
               Bind(handle_, "mysql_real_query", &real_query, error) &&
               Bind(handle_, "mysql_store_result", &store_result, error) &&
               Bind(handle_, "mysql_use_result", &use_result, error) &&
               Bind(handle_, "mysql_num_fields", &num_fields, error) &&
               Bind(handle_, "mysql_fetch_row", &fetch_row, error) &&
               Bind(handle_, "mysql_fetch_lengths", &fetch_lengths, error) &&
               Bind(handle_, "mysql_free_result", &free_result, error) &&
               Bind(handle_, "mysql_errno", &errno_of, error) &&
               Bind(handle_, "mysql_error", &error_of, error) &&
               Bind(handle_, "mysql_close", &close, error);
  // mysql_init() would initialise the library's globals on first use, but not
  // thread-safely; doing it here keeps that off every later connection.
  if (bound && library_init(0, nullptr, nullptr) != 0) {
    *error = "mysql_library_init failed";
    bound = false;
  }
  if (!bound) {
    library_end = nullptr;
    dlclose(handle_);
    handle_ = nullptr;
  }
  return bound;
}

ClientLibrary& ClientLibraryForTheProgram() {
  static ClientLibrary* library = [] {
    // Held by a second, never-closed reference that the library's own unload
    // cannot take away.
    if (dlopen("libmariadb.so.3", RTLD_NOW | RTLD_NODELETE) == nullptr)
      dlopen("libmariadb.so", RTLD_NOW | RTLD_NODELETE);
    auto* p = new ClientLibrary;  // lives for the program
    std::string error;
    p->Load(&error);  // a failure shows when a test meets the library
    return p;
  }();
  return *library;
}

bool KeepClientLibraryForTheProgram() { return ClientLibraryForTheProgram().init != nullptr; }

}  // namespace kq230::test_support
