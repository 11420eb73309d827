#include "platform/windows_version.h"

#include <atomic>

int bWindowsNT() { return 0; }
int bWindowsNT(unsigned int, unsigned int) { return 0; }
int bWindows2000() { return 0; }
int bWindowsXP() { return 0; }
int bWindows2003() { return 0; }
int bWindowsVista() { return 0; }
int bWindowsSeven() { return 0; }
int bWindows8() { return 0; }
int bWindows10() { return 0; }
int bWindows10_WithCreatorsUpdate() { return 0; }
int bWindowsSmartphone_SansCache() { return 0; }
int bWindowsCE2002() { return 0; }
int bIsWindows64() { return 0; }

namespace {
std::atomic<int> g_bSmartphoneKnown{0};
std::atomic<int> g_bSmartphone{0};
}  // namespace

int bWindowsSmartphone() {
  if (g_bSmartphoneKnown.load(std::memory_order_acquire) == 0) {
    g_bSmartphone.store(bWindowsSmartphone_SansCache(), std::memory_order_relaxed);
    g_bSmartphoneKnown.store(1, std::memory_order_release);
  }
  return g_bSmartphone.load(std::memory_order_relaxed);
}
