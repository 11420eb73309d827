#include "tests/support/bound_framework.h"

#include <dlfcn.h>

#include "core/module_entry.h"
#include "host/harness/host_harness.h"
#include "kq230/module_exports.h"

namespace kqtest {

BoundFramework::BoundFramework() {
  m_hVM = dlopen(CHostHarness::pszDefaultVMPath(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (m_hVM == nullptr) return;
  auto pfn = reinterpret_cast<PFNSTANDINGETCONTROL>(dlsym(m_hVM, "StandIn_pGetControl"));
  if (pfn == nullptr) return;
  m_pControl = pfn();
  m_pControl->Reset();
  _stModuleInitRecord stRecord = {sizeof stRecord, static_cast<HINSTANCE>(m_hVM), 0, 0, nullptr};
  m_bStarted = ModuleEntry_nExecution(MODULE_CODE_INIT, &stRecord) == 1;
}

BoundFramework::~BoundFramework() {
  if (m_bStarted) ModuleEntry_nExecution(MODULE_CODE_TERM, nullptr);
  if (m_pControl) m_pControl->Reset();
  if (m_hVM) dlclose(m_hVM);  // RTLD_NODELETE: only the count goes down
}

void BoundFrameworkTest::SetUp() {
  ASSERT_TRUE(m_binding.bStarted()) << "the framework did not start against the stand-in";
}

void BoundFrameworkTest::TearDown() {
  if (!m_binding.bStarted()) return;
  EXPECT_EQ(Control().nLiveStrBuffers(), 0) << "counted string buffers left alive";
  EXPECT_EQ(Control().nBadStrReleases(), 0) << "buffers released twice or while held";
}

}  // namespace kqtest
