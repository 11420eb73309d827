// Drives the module entry with random sequences of the server's calls: starts
// with records of every size and with good, foreign and null handles, stops,
// locale changes, DINO-type requests, unknown codes and services that come and
// go. Whatever the order, nothing may crash or read past a record, and once
// every start is matched by a stop nothing of the binding may remain.
#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/module_entry.h"
#include "host/harness/host_harness.h"
#include "kq230/module_exports.h"

namespace {

struct Libraries {
  void* hVM = dlopen(CHostHarness::pszDefaultVMPath(), RTLD_NOW | RTLD_LOCAL);
  void* hForeign = dlopen("libm.so.6", RTLD_NOW | RTLD_LOCAL);
  const _stStandInControl* pControl = nullptr;
  Libraries() {
    if (hVM == nullptr || hForeign == nullptr) std::abort();
    pControl = reinterpret_cast<PFNSTANDINGETCONTROL>(dlsym(hVM, "StandIn_pGetControl"))();
  }
};

// Every code but 3985, whose record case 0 builds (its argument must be a
// record: the server's side of the contract).
const unsigned int kCodes[] = {4875, 4875, 4878, 4879, 4963, 5238, 5684, 5864, 0, 3053};
const int kServices[] = {7, 9, 12, 13, 15};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  static Libraries libs;
  libs.pControl->Reset();
  size_t i = 0;
  auto next = [&]() -> uint8_t { return i < nSize ? pData[i++] : 0; };
  while (i < nSize) {
    const uint8_t op = next();
    switch (op % 4) {
      case 0: {  // a start record of 4 to 24 bytes
        const uint32_t nRecord = 4 + next() % 21;
        const uint8_t which = next() % 3;
        void* hVM = which == 0 ? libs.hVM : which == 1 ? libs.hForeign : nullptr;
        _stModuleInitRecord stFull = {nRecord, static_cast<HINSTANCE>(hVM), next(), next(),
                                      next() % 2 ? libs.pControl->piGetLibShop(1) : nullptr};
        std::vector<unsigned char> record(nRecord);
        std::memcpy(record.data(), &stFull, nRecord < sizeof stFull ? nRecord : sizeof stFull);
        ModuleEntry_nExecution(3985, record.data());
        break;
      }
      case 1:
        ModuleEntry_nExecution(kCodes[next() % 10], next() % 2 ? nullptr
                                                                : libs.pControl->piGetInfoLocale(1));
        break;
      case 2:
        libs.pControl->SetServiceAvailable(kServices[next() % 5], next() % 2);
        break;
      case 3:
        libs.pControl->SetFactoryLevel(next() % 4);
        break;
    }
  }
  // Balance the starts: afterwards nothing of the binding may remain.
  for (int n = CBaseExecutionDLL::ms_nNbInitialisation; n >= 0; --n) ModuleEntry_nExecution(4875, nullptr);
  if (gpclExecutionDLL76 != nullptr || CBaseExecutionDLL::ms_nNbInitialisation != 0) std::abort();
  CInformationDLL::_s_ResetServices();
  return 0;
}
