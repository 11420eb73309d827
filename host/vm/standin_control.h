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
#include "kq230/zb_for_na.h"

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
  // The memory of the log and of empty live sets is given back too, so that a
  // program that balances its allocator sees only what is still live.
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

  // Value entries (vm_conversion_entries.h, decimal_factory.h, vm_calc_entries.h).
  // Live counts are facts about objects that exist, so Reset keeps them; it
  // clears the call counts and every forced result or failure.
  //
  // Decimal objects made by the factory (by the driver or by the entries) and
  // not yet destroyed.
  int (*nLiveDecimals)();
  // Zero-terminated strings (PSTRA, PSTRW) that the conversion entry left in a
  // scratch area and FinConversion has not released yet.
  int (*nLiveConversionStrings)();
  // Calls of "nConversionDepassementExt", of "FinConversion" and of any of
  // the thirty calculation entries since the last Reset.
  int (*nConversionCalls)();
  int (*nFinConversionCalls)();
  int (*nCalcCalls)();
  // The next conversion (or calculation entry that answers a code: not the
  // type queries "bCanCompareEx" and "w...Ex") answers nCode. Above 99 it
  // writes nothing; 1 to 99 it does its work and answers nCode instead of 0.
  // 0 cancels. One call only: the one after it behaves normally again.
  void (*ForceNextConversionResult)(int nCode);
  void (*ForceNextCalcResult)(int nCode);
  // The n-th decimal creation from now (1 = the next) throws
  // CStandInDecimalCreateFailure; 0: none throws.
  void (*FailDecimalCreateAt)(int n);

  // The database-engine interface that the server would hand to the driver
  // object (CNADriver::bSetZB); its text-sorting service is host/vm/database_engine.h.
  IZBForNA* (*piGetZBForNA)();
};

// What the stand-in decimal factory throws when told to fail.
struct __attribute__((visibility("default"))) CStandInDecimalCreateFailure {
  int nCode = 120;
};

// Failure codes of the stand-in's value entries (results above 99). Those
// that the framework also uses keep its meaning.
inline constexpr int kStandInNullOperand = 103;     // an operand carries the NULL flag
inline constexpr int kStandInBinNot8Bytes = 104;    // BIN to an 8-byte type, length not 8
inline constexpr int kStandInNotConvertible = 105;  // no conversion or operation for the types
inline constexpr int kStandInTooLong = 108;         // text over 2147483391 units
inline constexpr int kStandInBadDate = 110;         // text is no valid date
inline constexpr int kStandInBadTime = 111;         // text is no valid time
inline constexpr int kStandInBadDuration = 112;     // text is no valid duration
inline constexpr int kStandInOverflow = 121;        // outside the destination type's range
inline constexpr int kStandInNotANumber = 122;      // text is no number (nor boolean)
inline constexpr int kStandInDivisionByZero = 123;  // division or modulo by zero
inline constexpr int kStandInBadDecimal = 124;      // a DECIMAL operand without an object
inline constexpr int kStandInBadCodePage = 125;     // text does not convert in the code page


typedef const _stStandInControl* (*PFNSTANDINGETCONTROL)();

#endif  // KQ230_HOST_VM_STANDIN_CONTROL_H_
