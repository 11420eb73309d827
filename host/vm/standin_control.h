// The control panel of the stand-in virtual-machine library (kq230vm.so).
//
// The real server decides what its services answer; tests need to decide it
// too (a missing service, a failing allocation, another code page) and to see
// what the driver asked for. kq230vm.so exports StandIn_pGetControl, which
// answers this table of functions; the harness binds it with dlsym.
//
// Threads: the log and the settings are guarded by one mutex inside the stand-
// in; tests change settings only while the driver is idle.
#ifndef KQ230_HOST_VM_STANDIN_CONTROL_H_
#define KQ230_HOST_VM_STANDIN_CONTROL_H_

#include <cstdint>

#include "kq230/host_services.h"

// What the stand-in answers for the product services (1 to 5, 8).
inline constexpr int kStandInProductCode = 230;
inline constexpr int kStandInRealProductCode = 231;
inline constexpr int kStandInLanguage = 7;
inline constexpr unsigned int kStandInOptions = 0x5;
inline constexpr unsigned int kStandInActiveVersion = 24;
inline constexpr unsigned int kStandInMainThreadId = 4242;
inline constexpr const wchar_t* kStandInProductName = L"STANDIN";
// The stand-in's allocator reports this code when an allocation fails: the
// Win32 "not enough memory" code, outside the framework's own 102-112.
inline constexpr int kStandInAllocFailure = 8;

struct _stStandInControl {
  // Clears the log and the counters and puts every setting back to its default
  // (every service available, factory level 0, code page 1252, no failure).
  void (*Reset)();

  // The Execution calls received, oldest first.
  int (*nGetLogCount)();
  int (*bGetLogEntry)(int nIndex, int* pnCode, intptr_t* pnArgument);

  // Service n answers null (or 0) while unavailable.
  void (*SetServiceAvailable)(int nService, int bAvailable);
  // The answer of the global factory's first operation.
  void (*SetFactoryLevel)(int nLevel);
  // The current code page of the locale service (1252 or 65001).
  void (*SetCurrentCodePage)(int nCodePage);

  IStrMemAlloc* (*piGetStrMemAlloc)();
  // 0: the locale service that service 12 answers; 1: a second one, to hand
  // over with the library's code 4878.
  IInfoLocale* (*piGetInfoLocale)(int nWhich);
  // 0: the library shop that service 7 answers; 1: one to pass in a record.
  ILibShop* (*piGetLibShop)(int nWhich);

  // Counted string buffers: live now, allocations made, and releases of a
  // buffer that is unknown (freed twice) or whose count is not 0.
  int (*nLiveStrBuffers)();
  int (*nStrAllocations)();
  int (*nBadStrReleases)();
  // The n-th string allocation from now (1 = the next) fails; 0: none fails.
  void (*FailStrAllocationAt)(int n);
};

typedef const _stStandInControl* (*PFNSTANDINGETCONTROL)();

#endif  // KQ230_HOST_VM_STANDIN_CONTROL_H_
