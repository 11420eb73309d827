// The symbols that the application server binds by name in kq230maria.so.
// Each is a thin wrapper: the work is done by the subsystem that owns it, so
// that tests can drive the same code in process. The driver core's entry
// logic (driver/library_entry.h) gets the MariaDB back end from here: the
// core never names the back end's classes.
#include <cstdio>

#include "core/module_entry.h"
#include "core/string_templates.h"
#include "driver/library_entry.h"
#include "kq230/module_exports.h"
#include "mariadb/mysql_driver.h"

namespace {

CNADriver* NewMySQLDriver() { return new CMySQLDriver(); }

const _stNABackEnd kMySQLBackEnd = {&NewMySQLDriver, &CMySQLDriver::g_NATermModule};

}  // namespace

KQ_EXPORT int CheckVersion() { return CNALibraryEntry::g_nCheckVersion(); }

KQ_EXPORT int bDLLCompatible(int nKind, unsigned int nPartnerVersion, int* pnOwnVersion) {
  return CNALibraryEntry::g_bDLLCompatible(nKind, nPartnerVersion, pnOwnVersion);
}

KQ_EXPORT int bExternalInitLibrary(HINSTANCE hModule) {
  return CNALibraryEntry::g_bExternalInitLibrary(hModule);
}

KQ_EXPORT INADriver* piQueryInterface() {
  return CNALibraryEntry::g_piQueryInterface(kMySQLBackEnd);
}

KQ_EXPORT int ExternalTermLibrary() { return CNALibraryEntry::g_nExternalTermLibrary(kMySQLBackEnd); }

KQ_EXPORT int Execution(unsigned int nCode, void* pArgument) {
  return ModuleEntry_nExecution(nCode, pArgument);
}

KQ_EXPORT int CommandeComposante(int nCode, void* pArgument) {
  return ModuleEntry_nCommandeComposante(nCode, pArgument);
}

// This library offers no external resources.
KQ_EXPORT void* DLLRES_pLoadResourceModule(const void*, unsigned int, const wchar_t*, void*) {
  return nullptr;
}

// The string templates, under plain names for the other libraries of the
// framework. A plain name holds one instance: the wide one, the framework's
// text type.
KQ_EXPORT wchar_t* STRG_pszCreate(unsigned int n) { return STRG_pszCreate<wchar_t>(n); }

KQ_EXPORT int STRG_nGetChar(FILE* pFile) { return STRG_nGetChar<wchar_t, wchar_t>(pFile); }

KQ_EXPORT int STRG_nGetLine(wchar_t** ppBuffer, int* pnSize, FILE* pFile) {
  return STRG_nGetLine<wchar_t>(ppBuffer, pnSize, pFile);
}
