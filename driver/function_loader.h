// CNAFunctionLoader: loads the MariaDB client library at run time and binds
// the client entry table, the process-wide function pointers through which
// the driver calls every client function. Nothing links the client library.
//
// The client entry table: 24 pointers named __mysql_<function>, each starting
// on a stand-by entry DefaultError_mysql_<function> that throws a CTString
// holding the function's name (the back end turns that into user error 37).
// Binding replaces them by the library's functions; termination and every
// new bind put them back on stand-by first, so no pointer ever outlives the
// library it came from.
//
// Locating the library: a name with a directory is opened by its full path,
// once. A bare name is tried in the driver's own directory (found with dladdr
// on the driver's code), then through the system's search; the default name
// "libmariadb.so" then falls back to "libmariadb.so.3", the run-time name that
// needs no development package. The working directory is never changed.
//
// Failures (added to the caller's CNAError with type 0, file 9): the library
// cannot be opened: user error 27 ("MariaDB", the name asked for, 32), the
// dlerror text as system message (site 1); a mandatory function is missing:
// user error 37 naming it (site 2), and the library is closed again with every
// entry back on stand-by, so that the next opening tries afresh. A missing
// optional function (the last four) is no error: its entry stays on stand-by.
//
// Ownership: one loader per process (g_pclNAFunctionLoader), created on the
// first load, destroyed by g_Term at library termination; it owns the library
// handle. The table and the stand-by entries are static.
// Threads: no lock of its own. Loading runs inside connection opening under
// the driver lock; the table is written only while binding or terminating and
// read without a lock in between.
#ifndef KQ230_DRIVER_FUNCTION_LOADER_H_
#define KQ230_DRIVER_FUNCTION_LOADER_H_

#include "core/wide_string.h"

class CNAError;

// The client library's types as the driver sees them: opaque handles, the
// i386 Connector/C prototypes below fix the rest. Declared so that they agree
// with <mysql.h> should a file include both.
typedef struct st_mysql MYSQL;
typedef struct st_mysql_res MYSQL_RES;
typedef struct st_mysql_field MYSQL_FIELD;
typedef char** MYSQL_ROW;
typedef unsigned long long my_ulonglong;
// enum mysql_option travels as an int (its size on i386); the values the
// driver passes are Connector/C's.
typedef int KQ_MYSQL_OPTION;
inline constexpr KQ_MYSQL_OPTION kMysqlOptConnectTimeout = 0;
inline constexpr KQ_MYSQL_OPTION kMysqlInitCommand = 3;
inline constexpr KQ_MYSQL_OPTION kMysqlSetCharsetName = 7;
inline constexpr KQ_MYSQL_OPTION kMysqlOptProtocol = 9;
inline constexpr KQ_MYSQL_OPTION kMysqlOptReadTimeout = 11;
inline constexpr KQ_MYSQL_OPTION kMysqlOptWriteTimeout = 12;

// The client entry table, in binding order. The first 20 are mandatory.
extern const char* (*__mysql_get_client_info)();
extern const char* (*__mysql_get_server_info)(MYSQL*);
extern MYSQL* (*__mysql_init)(MYSQL*);
extern MYSQL* (*__mysql_real_connect)(MYSQL*, const char* pszHost, const char* pszUser,
                                      const char* pszPassword, const char* pszDatabase,
                                      unsigned int nPort, const char* pszUnixSocket,
                                      unsigned long dwClientFlags);
extern void (*__mysql_close)(MYSQL*);
extern unsigned long (*__mysql_escape_string)(char* pszTo, const char* pszFrom,
                                              unsigned long nLength);
extern int (*__mysql_real_query)(MYSQL*, const char* pszQuery, unsigned long nLength);
extern MYSQL_RES* (*__mysql_store_result)(MYSQL*);
extern MYSQL_RES* (*__mysql_use_result)(MYSQL*);
extern void (*__mysql_free_result)(MYSQL_RES*);
extern MYSQL_FIELD* (*__mysql_fetch_fields)(MYSQL_RES*);
extern unsigned int (*__mysql_num_fields)(MYSQL_RES*);
extern unsigned long* (*__mysql_fetch_lengths)(MYSQL_RES*);
extern void (*__mysql_data_seek)(MYSQL_RES*, unsigned long long nRow);
extern MYSQL_ROW (*__mysql_fetch_row)(MYSQL_RES*);
extern my_ulonglong (*__mysql_num_rows)(MYSQL_RES*);
extern my_ulonglong (*__mysql_insert_id)(MYSQL*);
extern unsigned int (*__mysql_errno)(MYSQL*);
extern const char* (*__mysql_error)(MYSQL*);
extern my_ulonglong (*__mysql_affected_rows)(MYSQL*);
// Optional.
extern int (*__mysql_next_result)(MYSQL*);
extern int (*__mysql_set_character_set)(MYSQL*, const char* pszCharset);
extern int (*__mysql_ssl_set)(MYSQL*, const char* pszKey, const char* pszCert, const char* pszCA,
                              const char* pszCAPath, const char* pszCipher);
extern int (*__mysql_options)(MYSQL*, KQ_MYSQL_OPTION eOption, const void* pValue);

// The stand-by entries: each throws CTString(L"<function name>"), never
// returns.
[[noreturn]] const char* DefaultError_mysql_get_client_info();
[[noreturn]] const char* DefaultError_mysql_get_server_info(MYSQL*);
[[noreturn]] MYSQL* DefaultError_mysql_init(MYSQL*);
[[noreturn]] MYSQL* DefaultError_mysql_real_connect(MYSQL*, const char*, const char*, const char*,
                                                    const char*, unsigned int, const char*,
                                                    unsigned long);
[[noreturn]] void DefaultError_mysql_close(MYSQL*);
[[noreturn]] unsigned long DefaultError_mysql_escape_string(char*, const char*, unsigned long);
[[noreturn]] int DefaultError_mysql_real_query(MYSQL*, const char*, unsigned long);
[[noreturn]] MYSQL_RES* DefaultError_mysql_store_result(MYSQL*);
[[noreturn]] MYSQL_RES* DefaultError_mysql_use_result(MYSQL*);
[[noreturn]] void DefaultError_mysql_free_result(MYSQL_RES*);
[[noreturn]] MYSQL_FIELD* DefaultError_mysql_fetch_fields(MYSQL_RES*);
[[noreturn]] unsigned int DefaultError_mysql_num_fields(MYSQL_RES*);
[[noreturn]] unsigned long* DefaultError_mysql_fetch_lengths(MYSQL_RES*);
[[noreturn]] void DefaultError_mysql_data_seek(MYSQL_RES*, unsigned long long);
[[noreturn]] MYSQL_ROW DefaultError_mysql_fetch_row(MYSQL_RES*);
[[noreturn]] my_ulonglong DefaultError_mysql_num_rows(MYSQL_RES*);
[[noreturn]] my_ulonglong DefaultError_mysql_insert_id(MYSQL*);
[[noreturn]] unsigned int DefaultError_mysql_errno(MYSQL*);
[[noreturn]] const char* DefaultError_mysql_error(MYSQL*);
[[noreturn]] my_ulonglong DefaultError_mysql_affected_rows(MYSQL*);
[[noreturn]] int DefaultError_mysql_next_result(MYSQL*);
[[noreturn]] int DefaultError_mysql_set_character_set(MYSQL*, const char*);
[[noreturn]] int DefaultError_mysql_ssl_set(MYSQL*, const char*, const char*, const char*,
                                            const char*, const char*);
[[noreturn]] int DefaultError_mysql_options(MYSQL*, KQ_MYSQL_OPTION, const void*);

class CNAFunctionLoader {
 public:
  // Number of entries of the client entry table, and of the mandatory ones
  // (the first kMandatoryEntries in binding order).
  static constexpr int kEntryCount = 24;
  static constexpr int kMandatoryEntries = 20;
  // The default library name.
  static constexpr const wchar_t* kDefaultLibrary = L"libmariadb.so";
  // Tried after the default name: the run-time package's file.
  static constexpr const wchar_t* kRuntimeLibrary = L"libmariadb.so.3";

  // The one loader; null before the first load and after g_Term.
  static CNAFunctionLoader* g_pclNAFunctionLoader;

  // Loads and binds. pclError receives a failure (REQUIRES: not null);
  // pcsLibraryPath receives, on success, the full path of the opened library
  // (unchanged when it cannot be read; may be null); pszLibrary is the
  // requested name ("KQ CLIENT LIBRARY"; null or empty: the default); nMode
  // is 0. Answers 1 when the library is open and every mandatory function
  // bound; 0 with the failure added to pclError otherwise (nothing stays
  // loaded then).
  static int g_bInitNative(CNAError* pclError, CTString* pcsLibraryPath, const wchar_t* pszLibrary,
                           int nMode);
  // 1 when the loader exists and holds a library.
  static int g_bLoaded();
  // Closes the library, puts every entry back on stand-by, destroys the
  // loader. Nothing without a loader (the entries are reset all the same).
  static void g_Term();
  // The library handle; null when nothing is loaded.
  static void* g_hGetNativeLibHandle();

  // The entry table, read by tests and diagnostics: the function's name of
  // entry nIndex (0-based, binding order; null outside 0..23) and whether it
  // is bound to the library (0 on stand-by or outside the range).
  static const wchar_t* g_pszEntryName(int nIndex);
  static int g_bEntryBound(int nIndex);
  // Every entry back on stand-by.
  static void g_ResetEntries();

  // The directory of the driver's own module (dladdr on the driver's code),
  // without a trailing slash; empty when it cannot be found.
  static CTString g_csOwnDirectory();

  virtual ~CNAFunctionLoader();
  // Closes the library when one is held, after its mysql_server_end (when it
  // exports one) freed what its first mysql_init made; answers dlclose's
  // result, else 0.
  virtual int _Term();
  // L"libmariadb.so".
  virtual const wchar_t* _vpszGetLibraryName() const;

  // The directory of the opened library (of its resolved path); empty while
  // nothing is loaded.
  const CTString& csGetDirectory() const { return m_csDirectory; }

 private:
  CNAFunctionLoader() = default;
  CNAFunctionLoader(const CNAFunctionLoader&) = delete;
  CNAFunctionLoader& operator=(const CNAFunctionLoader&) = delete;

  static int _g_bInitLoader(CNAError* pclError);
  int _bInitNative(CNAError* pclError, CTString* pcsLibraryPath, const wchar_t* pszLibrary,
                   int nMode);
  // Locates and opens pszName (see the header's comment); on failure
  // *pcsDlError holds the last dlerror text.
  int _bLoadLibraryNative(CTString* pcsDlError, const wchar_t* pszName);
  // One dlopen of pszPath (RTLD_NOW); 1 when a handle was obtained.
  int _bOpenOnce(CTString* pcsDlError, const CTString& csPath);
  static void _GetLibraryName(CTString* pcsName, int nMode);

  void* m_hLibrary = nullptr;
  CTString m_csDirectory;
};

#endif  // KQ230_DRIVER_FUNCTION_LOADER_H_
