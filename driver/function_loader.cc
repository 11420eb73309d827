// CNAFunctionLoader: see function_loader.h.
#include "driver/function_loader.h"

#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/counted_string.h"
#include "driver/na_error.h"
#include "kq230/na_error_interface.h"

// ---------------------------------------------------------------------------
// The client entry table. One line per function, in binding order:
// (name, result, parameters, arguments-as-unused).
#define KQ_CLIENT_ENTRIES(X)                                                                    \
  X(mysql_get_client_info, const char*, ())                                                     \
  X(mysql_get_server_info, const char*, (MYSQL*))                                               \
  X(mysql_init, MYSQL*, (MYSQL*))                                                               \
  X(mysql_real_connect, MYSQL*,                                                                 \
    (MYSQL*, const char*, const char*, const char*, const char*, unsigned int, const char*,     \
     unsigned long))                                                                            \
  X(mysql_close, void, (MYSQL*))                                                                \
  X(mysql_escape_string, unsigned long, (char*, const char*, unsigned long))                    \
  X(mysql_real_query, int, (MYSQL*, const char*, unsigned long))                                \
  X(mysql_store_result, MYSQL_RES*, (MYSQL*))                                                   \
  X(mysql_use_result, MYSQL_RES*, (MYSQL*))                                                     \
  X(mysql_free_result, void, (MYSQL_RES*))                                                      \
  X(mysql_fetch_fields, MYSQL_FIELD*, (MYSQL_RES*))                                             \
  X(mysql_num_fields, unsigned int, (MYSQL_RES*))                                               \
  X(mysql_fetch_lengths, unsigned long*, (MYSQL_RES*))                                          \
  X(mysql_data_seek, void, (MYSQL_RES*, unsigned long long))                                    \
  X(mysql_fetch_row, MYSQL_ROW, (MYSQL_RES*))                                                   \
  X(mysql_num_rows, my_ulonglong, (MYSQL_RES*))                                                 \
  X(mysql_insert_id, my_ulonglong, (MYSQL*))                                                    \
  X(mysql_errno, unsigned int, (MYSQL*))                                                        \
  X(mysql_error, const char*, (MYSQL*))                                                         \
  X(mysql_affected_rows, my_ulonglong, (MYSQL*))                                                \
  X(mysql_next_result, int, (MYSQL*))                                                           \
  X(mysql_set_character_set, int, (MYSQL*, const char*))                                        \
  X(mysql_ssl_set, int,                                                                         \
    (MYSQL*, const char*, const char*, const char*, const char*, const char*))                  \
  X(mysql_options, int, (MYSQL*, KQ_MYSQL_OPTION, const void*))

namespace {

// What a stand-by entry throws: the function's wide name.
[[noreturn]] void ThrowStandBy(const wchar_t* pszName) {
  CTString clName(pszName);
  throw clName;
}

}  // namespace

// The stand-by entries: their parameters are never read.
#define KQ_DEFINE_STANDBY(name, result, params) \
  [[noreturn]] result DefaultError_##name params { ThrowStandBy(L## #name); }
KQ_CLIENT_ENTRIES(KQ_DEFINE_STANDBY)
#undef KQ_DEFINE_STANDBY

// The table itself, every pointer on its stand-by entry until bound.
#define KQ_DEFINE_POINTER(name, result, params) result(*__##name) params = DefaultError_##name;
KQ_CLIENT_ENTRIES(KQ_DEFINE_POINTER)
#undef KQ_DEFINE_POINTER

namespace {

// One row per entry: how to bind it to a symbol, put it back on stand-by and
// tell whether it is bound.
struct stClientEntry {
  const char* pszSymbol;
  const wchar_t* pszWideName;
  void (*pfnBind)(void* pSymbol);
  void (*pfnReset)();
  bool (*pfnIsBound)();
};

#define KQ_ENTRY_ROW(name, result, params)                                            \
  {#name, L## #name,                                                                  \
   [](void* pSymbol) { __##name = reinterpret_cast<result(*) params>(pSymbol); },     \
   [] { __##name = DefaultError_##name; },                                            \
   [] { return __##name != DefaultError_##name; }},
const stClientEntry kEntries[] = {KQ_CLIENT_ENTRIES(KQ_ENTRY_ROW)};
#undef KQ_ENTRY_ROW

static_assert(sizeof(kEntries) / sizeof(kEntries[0]) == CNAFunctionLoader::kEntryCount,
              "the table has 24 entries");

// File 9 of the debug lines: site 1 the library not opened, site 2 a
// mandatory function missing.
constexpr int kSiteNotOpened = 1;
constexpr int kSiteMissingFunction = 2;
constexpr unsigned int kErrorNotLoaded = 27;
constexpr unsigned int kErrorMissingFunction = 37;

// A wide text as UTF-8 for dlopen. std::string keeps short paths on the
// stack and longer ones on the heap, freed at once.
std::string sUTF8(const CTString& cs) {
  CXYString<char> clUTF8 = PCWSTR_To_UTF8(cs.pszGet());
  return std::string(clUTF8.pszGet(), static_cast<size_t>(clUTF8.nGetLongueur()));
}

// Drops the text of the last dl failure: the C library keeps it in a
// heap block until it is read twice, and a refused symbol is no failure the
// caller reports.
void ClearDlError() {
  if (dlerror() != nullptr) dlerror();
}

// dlerror's text (UTF-8) as wide text, then cleared; empty when there is none.
CTString csDlError() {
  const char* pszText = dlerror();
  CTString cs;
  if (pszText != nullptr) {
    cs.Set(UTF8_To_CWString(pszText));
    dlerror();
  }
  return cs;
}

// The directory part of a path ("" when none), after turning backslashes
// into slashes; pcsFile receives the rest.
CTString csSplitPath(const wchar_t* pszPath, CTString* pcsFile) {
  CTString cs(pszPath);
  cs.Remplace(L'\\', L'/');
  const int nSlash = cs.nRPos(L'/');
  if (nSlash < 0) {
    *pcsFile = cs;
    return CTString();
  }
  pcsFile->Set(cs.pszGet() + nSlash + 1);
  cs.Tronque(nSlash == 0 ? 1 : nSlash);  // "/lib.so" keeps its root
  return cs;
}

// Joins a directory and a file name.
CTString csJoin(const CTString& csDirectory, const CTString& csFile) {
  CTString cs(csDirectory);
  if (cs.nTaille() > 0 && cs.cGetChar(cs.nTaille() - 1) != L'/') cs.Add(L'/');
  cs.Add(csFile.pszGet());
  return cs;
}

// The full path of an open library, from its link map; empty when unknown.
CTString csLibraryPath(void* hLibrary) {
  struct link_map* pMap = nullptr;
  CTString cs;
  if (hLibrary != nullptr && dlinfo(hLibrary, RTLD_DI_LINKMAP, &pMap) == 0 && pMap != nullptr &&
      pMap->l_name != nullptr && pMap->l_name[0] != '\0') {
    cs.Set(UTF8_To_CWString(pMap->l_name));
  }
  return cs;
}

void AddLoaderError(CNAError* pclError, int nSite, unsigned int nCode, const CTString* pcsSystem,
                    const wchar_t* pszInsert1, const wchar_t* pszInsert2) {
  _CXErrorModule76 clError;
  if (nCode == kErrorNotLoaded) {
    clError.SetUserError(&gstMyModuleInfo76, nCode, pszInsert1, pszInsert2, 32);
  } else {
    clError.SetUserError(&gstMyModuleInfo76, nCode, pszInsert1);
  }
  const int nNative = static_cast<int>(nCode);
  clError.AddInfo(CXError::EIT_NATIVECODE, &nNative);
  CNAError::g_AddDebugInfo(&clError, kNAFileLoader, nSite);
  if (pcsSystem != nullptr && pcsSystem->nTaille() > 0)
    clError.SetSystemErrorMessage(pcsSystem->pszGet());
  if (pclError != nullptr) pclError->AddError(static_cast<eNA_ERRORTYPE>(0), &clError, nullptr);
}

}  // namespace

// ---------------------------------------------------------------------------

CNAFunctionLoader* CNAFunctionLoader::g_pclNAFunctionLoader = nullptr;

CNAFunctionLoader::~CNAFunctionLoader() { _Term(); }

int CNAFunctionLoader::_Term() {
  if (m_hLibrary == nullptr) return 0;
  void* hLibrary = m_hLibrary;
  m_hLibrary = nullptr;
  m_csDirectory.Vide();
  // The first mysql_init set up the library's process-wide state (character
  // sets, plugins, TLS); unloading does not free it, mysql_server_end does.
  // It does nothing when that state was never made.
  using EndFn = void (*)();
  if (auto pfnEnd = reinterpret_cast<EndFn>(dlsym(hLibrary, "mysql_server_end"))) {
    pfnEnd();
  } else {
    ClearDlError();
  }
  return dlclose(hLibrary);
}

const wchar_t* CNAFunctionLoader::_vpszGetLibraryName() const { return kDefaultLibrary; }

int CNAFunctionLoader::g_bInitNative(CNAError* pclError, CTString* pcsLibraryPath,
                                     const wchar_t* pszLibrary, int nMode) {
  if (g_pclNAFunctionLoader == nullptr && !_g_bInitLoader(pclError)) return 0;
  return g_pclNAFunctionLoader->_bInitNative(pclError, pcsLibraryPath, pszLibrary, nMode);
}

int CNAFunctionLoader::g_bLoaded() {
  return g_pclNAFunctionLoader != nullptr && g_pclNAFunctionLoader->m_hLibrary != nullptr;
}

void CNAFunctionLoader::g_Term() {
  // The entries first: no pointer may designate a library being unloaded.
  g_ResetEntries();
  if (g_pclNAFunctionLoader == nullptr) return;
  CNAFunctionLoader* pclLoader = g_pclNAFunctionLoader;
  g_pclNAFunctionLoader = nullptr;
  delete pclLoader;
}

void* CNAFunctionLoader::g_hGetNativeLibHandle() {
  return g_pclNAFunctionLoader != nullptr ? g_pclNAFunctionLoader->m_hLibrary : nullptr;
}

const wchar_t* CNAFunctionLoader::g_pszEntryName(int nIndex) {
  if (nIndex < 0 || nIndex >= kEntryCount) return nullptr;
  return kEntries[nIndex].pszWideName;
}

int CNAFunctionLoader::g_bEntryBound(int nIndex) {
  if (nIndex < 0 || nIndex >= kEntryCount) return 0;
  return kEntries[nIndex].pfnIsBound() ? 1 : 0;
}

void CNAFunctionLoader::g_ResetEntries() {
  for (const stClientEntry& stEntry : kEntries) stEntry.pfnReset();
}

CTString CNAFunctionLoader::g_csOwnDirectory() {
  // The module that holds this very function is the driver (or, in a test
  // program, the program): its directory is where a bundled client library
  // would lie, whatever program loaded the driver.
  Dl_info stInfo;
  std::memset(&stInfo, 0, sizeof stInfo);
  if (dladdr(reinterpret_cast<void*>(&CNAFunctionLoader::g_csOwnDirectory), &stInfo) == 0 ||
      stInfo.dli_fname == nullptr || stInfo.dli_fname[0] == '\0') {
    return CTString();
  }
  // A bare file name (a program started through the search path) says
  // nothing about where it lies; a relative path is made absolute, so that
  // it does not depend on the working directory of the moment.
  if (std::strchr(stInfo.dli_fname, '/') == nullptr) return CTString();
  CTString csPath;
  if (stInfo.dli_fname[0] == '/') {
    csPath.Set(UTF8_To_CWString(stInfo.dli_fname));
  } else {
    char* pszAbsolute = realpath(stInfo.dli_fname, nullptr);
    if (pszAbsolute == nullptr) return CTString();
    csPath.Set(UTF8_To_CWString(pszAbsolute));
    std::free(pszAbsolute);
  }
  CTString csFile;
  return csSplitPath(csPath.pszGet(), &csFile);
}

int CNAFunctionLoader::_g_bInitLoader(CNAError* /*pclError*/) {
  g_pclNAFunctionLoader = new CNAFunctionLoader();
  return 1;
}

void CNAFunctionLoader::_GetLibraryName(CTString* pcsName, int nMode) {
  if (nMode == 0) pcsName->Set(kDefaultLibrary);
}

int CNAFunctionLoader::_bOpenOnce(CTString* pcsDlError, const CTString& csPath) {
  const std::string sPath = sUTF8(csPath);
  ClearDlError();  // a stale text must not pass for this attempt's
  m_hLibrary = dlopen(sPath.c_str(), RTLD_NOW);
  if (m_hLibrary != nullptr) return 1;
  *pcsDlError = csDlError();
  return 0;
}

int CNAFunctionLoader::_bLoadLibraryNative(CTString* pcsDlError, const wchar_t* pszName) {
  CTString csFile;
  const CTString csDirectory = csSplitPath(pszName, &csFile);
  if (csDirectory.nTaille() > 0) {
    // A path names one file: open exactly that one, without searching.
    return _bOpenOnce(pcsDlError, csJoin(csDirectory, csFile));
  }
  // A bare name: beside the driver first, then wherever the system looks.
  const CTString csOwn = g_csOwnDirectory();
  if (csOwn.nTaille() > 0 && _bOpenOnce(pcsDlError, csJoin(csOwn, csFile))) return 1;
  CTString csOwnError(*pcsDlError);
  if (_bOpenOnce(pcsDlError, csFile)) return 1;
  // The system's answer about the bare name is the telling one, unless it
  // is missing.
  if (pcsDlError->nTaille() == 0) *pcsDlError = csOwnError;
  return 0;
}

int CNAFunctionLoader::_bInitNative(CNAError* pclError, CTString* pcsLibraryPath,
                                    const wchar_t* pszLibrary, int nMode) {
  // A new bind starts from a clean table and no library, whatever an earlier
  // attempt left behind.
  g_ResetEntries();
  _Term();

  CTString csName;
  if (pszLibrary == nullptr || pszLibrary[0] == L'\0') {
    _GetLibraryName(&csName, nMode);
    if (csName.nTaille() == 0) csName.Set(_vpszGetLibraryName());
  } else {
    csName.Set(pszLibrary);
  }

  CTString csDlError;
  int bOpened = _bLoadLibraryNative(&csDlError, csName.pszGet());
  if (!bOpened && csName.bEstEgal(kDefaultLibrary)) {
    // "libmariadb.so" comes only with the development package; the run-time
    // package installs "libmariadb.so.3".
    CTString csFirstError(csDlError);
    bOpened = _bLoadLibraryNative(&csDlError, kRuntimeLibrary);
    if (!bOpened) csDlError = csFirstError;
  }
  if (!bOpened) {
    AddLoaderError(pclError, kSiteNotOpened, kErrorNotLoaded, &csDlError, L"MariaDB",
                   csName.pszGet());
    return 0;
  }

  for (int i = 0; i < kEntryCount; ++i) {
    void* pSymbol = dlsym(m_hLibrary, kEntries[i].pszSymbol);
    if (pSymbol == nullptr) ClearDlError();
    if (pSymbol != nullptr) {
      kEntries[i].pfnBind(pSymbol);
      continue;
    }
    if (i < kMandatoryEntries) {
      // Not a usable client library: leave nothing of it behind, so that
      // the next opening tries again from the start.
      g_ResetEntries();
      _Term();
      AddLoaderError(pclError, kSiteMissingFunction, kErrorMissingFunction, nullptr,
                     kEntries[i].pszWideName, nullptr);
      return 0;
    }
  }

  const CTString csPath = csLibraryPath(m_hLibrary);
  if (csPath.nTaille() > 0) {
    CTString csFile;
    m_csDirectory = csSplitPath(csPath.pszGet(), &csFile);
    if (pcsLibraryPath != nullptr) *pcsLibraryPath = csPath;
  }
  return 1;
}
