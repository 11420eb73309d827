// The Windows version predicates that the framework's callers ask: this is
// never Windows, so every one of them answers 0.
//
// Threads: pure functions (bWindowsSmartphone caches its answer with atomics).
#ifndef KQ230_PLATFORM_WINDOWS_VERSION_H_
#define KQ230_PLATFORM_WINDOWS_VERSION_H_

// Windows version predicates: all 0 on Linux.
int bWindowsNT();
int bWindowsNT(unsigned int nMajor, unsigned int nMinor);
int bWindows2000();
int bWindowsXP();
int bWindows2003();
int bWindowsVista();
int bWindowsSeven();
int bWindows8();
int bWindows10();
int bWindows10_WithCreatorsUpdate();
int bWindowsSmartphone_SansCache();
int bWindowsCE2002();
int bIsWindows64();
// 0 too, cached on first call (valid flag and value, no lock: relaxed atomics).
int bWindowsSmartphone();

#endif  // KQ230_PLATFORM_WINDOWS_VERSION_H_
