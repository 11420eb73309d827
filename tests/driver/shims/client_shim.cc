// A stand-in client library for the loader's tests: it forwards every client
// function the driver binds to the installed MariaDB client library
// (libmariadb.so.3, opened privately on first use), but can lack chosen
// functions or report another client version. It links nothing of the client
// library itself, so a function it lacks cannot be found through it either.
//
// Chosen at build time:
//   KQ_SHIM_OMIT_<function>   the function is not defined
//   KQ_SHIM_CLIENT_VERSION    mysql_get_client_info answers this text
//   KQ_SHIM_INIT_NULL         mysql_init answers null
//   KQ_SHIM_CURRENT_INTERFACE mariadb_get_infov is defined (the mark of the
//                             current client interface)
#include <dlfcn.h>

#include <cstdlib>

extern "C" {

typedef struct st_mysql MYSQL;
typedef struct st_mysql_res MYSQL_RES;
typedef struct st_mysql_field MYSQL_FIELD;
typedef char** MYSQL_ROW;
typedef unsigned long long my_ulonglong;

}  // extern "C"

namespace {

// The real library, opened on first use and closed again when the shim is
// unloaded, so that a test program ends with nothing of it mapped. A plain
// pointer and a destructor function rather than an object with a destructor:
// registering that one would make the C library grow its list of exit
// functions for good, which the leak checks would see.
void* g_hReal = nullptr;

__attribute__((destructor)) void CloseRealLibrary() {
  if (g_hReal != nullptr) dlclose(g_hReal);
  g_hReal = nullptr;
}

void* RealLibrary() {
  if (g_hReal == nullptr) g_hReal = dlopen("libmariadb.so.3", RTLD_NOW | RTLD_LOCAL);
  if (g_hReal == nullptr) std::abort();  // the tests need the installed library
  return g_hReal;
}

template <class F>
F Real(const char* pszName) {
  void* p = dlsym(RealLibrary(), pszName);
  if (p == nullptr) std::abort();
  return reinterpret_cast<F>(p);
}

}  // namespace

#define KQ_FORWARD(name, result, params, args)                   \
  extern "C" __attribute__((visibility("default"))) result name params { \
    static auto pfn = Real<result(*) params>(#name);             \
    return pfn args;                                             \
  }

#ifdef KQ_SHIM_CLIENT_VERSION
extern "C" __attribute__((visibility("default"))) const char* mysql_get_client_info() {
  return KQ_SHIM_CLIENT_VERSION;
}
#else
KQ_FORWARD(mysql_get_client_info, const char*, (), ())
#endif
KQ_FORWARD(mysql_get_server_info, const char*, (MYSQL * m), (m))
#ifdef KQ_SHIM_INIT_NULL
// A client library that cannot make a connection handle (out of memory).
extern "C" __attribute__((visibility("default"))) MYSQL* mysql_init(MYSQL*) { return nullptr; }
#else
KQ_FORWARD(mysql_init, MYSQL*, (MYSQL * m), (m))
#endif
KQ_FORWARD(mysql_real_connect, MYSQL*,
           (MYSQL * m, const char* h, const char* u, const char* p, const char* d, unsigned int n,
            const char* s, unsigned long f),
           (m, h, u, p, d, n, s, f))
KQ_FORWARD(mysql_close, void, (MYSQL * m), (m))
KQ_FORWARD(mysql_escape_string, unsigned long, (char* t, const char* f, unsigned long n),
           (t, f, n))
KQ_FORWARD(mysql_real_query, int, (MYSQL * m, const char* q, unsigned long n), (m, q, n))
KQ_FORWARD(mysql_store_result, MYSQL_RES*, (MYSQL * m), (m))
KQ_FORWARD(mysql_use_result, MYSQL_RES*, (MYSQL * m), (m))
KQ_FORWARD(mysql_free_result, void, (MYSQL_RES * r), (r))
KQ_FORWARD(mysql_fetch_fields, MYSQL_FIELD*, (MYSQL_RES * r), (r))
KQ_FORWARD(mysql_num_fields, unsigned int, (MYSQL_RES * r), (r))
KQ_FORWARD(mysql_fetch_lengths, unsigned long*, (MYSQL_RES * r), (r))
KQ_FORWARD(mysql_data_seek, void, (MYSQL_RES * r, unsigned long long n), (r, n))
KQ_FORWARD(mysql_fetch_row, MYSQL_ROW, (MYSQL_RES * r), (r))
KQ_FORWARD(mysql_num_rows, my_ulonglong, (MYSQL_RES * r), (r))
KQ_FORWARD(mysql_insert_id, my_ulonglong, (MYSQL * m), (m))
KQ_FORWARD(mysql_errno, unsigned int, (MYSQL * m), (m))
#ifndef KQ_SHIM_OMIT_mysql_error
KQ_FORWARD(mysql_error, const char*, (MYSQL * m), (m))
#endif
KQ_FORWARD(mysql_affected_rows, my_ulonglong, (MYSQL * m), (m))
#ifndef KQ_SHIM_OMIT_mysql_next_result
KQ_FORWARD(mysql_next_result, int, (MYSQL * m), (m))
#endif
KQ_FORWARD(mysql_set_character_set, int, (MYSQL * m, const char* c), (m, c))
#ifndef KQ_SHIM_OMIT_mysql_ssl_set
KQ_FORWARD(mysql_ssl_set, int,
           (MYSQL * m, const char* k, const char* c, const char* a, const char* p, const char* x),
           (m, k, c, a, p, x))
#endif
#ifndef KQ_SHIM_OMIT_mysql_options
KQ_FORWARD(mysql_options, int, (MYSQL * m, int o, const void* v), (m, o, v))
#endif
// Not bound by the driver; its loader ends the library's state with it
// before unloading. Nothing to end when nothing was forwarded yet.
extern "C" __attribute__((visibility("default"))) void mysql_server_end() {
  if (g_hReal == nullptr) return;
  static auto pfn = Real<void (*)()>("mysql_server_end");
  pfn();
}
#ifdef KQ_SHIM_CURRENT_INTERFACE
// Forwarded with the one argument that every query of it passes.
KQ_FORWARD(mariadb_get_infov, int, (MYSQL * m, int v, void* a, ...), (m, v, a))
#endif
