#include "tests/support/lasting_state.h"

#include <dlfcn.h>
#include <link.h>

#include "host/vm/standin_control.h"

// Declared here and weak, rather than through the product's headers: a test
// program that does not link the code-page conversions must still link, and
// then has no descriptors to close. Closes the iconv descriptors that the
// calling thread keeps for the conversions (core/codepage_conversion.h).
void ReleaseThreadConverters() __attribute__((weak));

namespace kqtest {
namespace {

// The control panels of the stand-in libraries loaded now. Found by the
// symbol they export, so that this support library needs no path and links
// nothing of the host; without allocating, so that looking costs the balance
// nothing.
constexpr int kMaxObjects = 256;

struct LoadedNames {
  const char* apszName[kMaxObjects];
  int nCount = 0;
};

int NoteName(dl_phdr_info* pInfo, size_t, void* pData) {
  auto* pNames = static_cast<LoadedNames*>(pData);
  // The program itself has no name here; it exports no control panel.
  if (pInfo->dlpi_name != nullptr && pInfo->dlpi_name[0] != '\0' && pNames->nCount < kMaxObjects)
    pNames->apszName[pNames->nCount++] = pInfo->dlpi_name;
  return 0;
}

template <typename Visit>
void ForEachStandIn(Visit visit) {
  LoadedNames names;
  dl_iterate_phdr(NoteName, &names);
  // Opened outside dl_iterate_phdr, which holds the loader's lock; the names
  // stay valid while the objects stay loaded, and nothing unloads them here.
  const _stStandInControl* apSeen[kMaxObjects];
  int nSeen = 0;
  for (int i = 0; i < names.nCount; ++i) {
    void* h = dlopen(names.apszName[i], RTLD_NOW | RTLD_NOLOAD);
    if (h == nullptr) continue;
    auto pfn = reinterpret_cast<PFNSTANDINGETCONTROL>(dlsym(h, "StandIn_pGetControl"));
    const _stStandInControl* pControl = pfn != nullptr ? pfn() : nullptr;
    bool bSeen = pControl == nullptr;
    for (int k = 0; k < nSeen && !bSeen; ++k) bSeen = apSeen[k] == pControl;
    if (!bSeen) {
      apSeen[nSeen++] = pControl;
      visit(*pControl);
    }
    dlclose(h);
  }
}

}  // namespace

void PrepareLastingState() {
  // Closing nothing makes the set.
  if (ReleaseThreadConverters != nullptr) ReleaseThreadConverters();
  ForEachStandIn([](const _stStandInControl& control) {
    // Each of these makes the object it reports on, if it was not made yet.
    control.piGetZBForNA();
    control.nLiveDecimals();
    control.nLiveConversionStrings();
    control.nLiveStrBuffers();
  });
}

void ReleaseLastingState() {
  if (ReleaseThreadConverters != nullptr) ReleaseThreadConverters();
  ForEachStandIn([](const _stStandInControl& control) { control.Reset(); });
}

}  // namespace kqtest
