// The stand-in binding of the benchmarks (bench/stand_in_binding.h).
#include "bench/stand_in_binding.h"

#include <dlfcn.h>

#include "core/module_entry.h"
#include "host/harness/host_harness.h"
#include "kq230/module_exports.h"
#include "values/value_conversion.h"

namespace kqbench {

bool bBindToStandIn() {
  static const bool bBound = [] {
    void* hVM = dlopen(CHostHarness::pszDefaultVMPath(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (hVM == nullptr) return false;
    _stModuleInitRecord stRecord = {sizeof stRecord, static_cast<HINSTANCE>(hVM), 0, 0, nullptr};
    if (ModuleEntry_nExecution(MODULE_CODE_INIT, &stRecord) != 1) return false;
    return bInitVXConvFromVM(static_cast<HINSTANCE>(hVM), 2, 2) == 1;
  }();
  return bBound;
}

}  // namespace kqbench
