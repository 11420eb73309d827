// The symbols that the application server binds by name in kq230maria.so.
// Each is a thin wrapper: the work is done by the subsystem that owns it, so
// that tests can drive the same code in process.
#include "core/module_entry.h"
#include "kq230/module_exports.h"

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
