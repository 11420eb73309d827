// _stMyModuleInfo: the description of a module of the framework. Every error
// and every numbered message is tied to one: it names the module's library and
// version, carries the module id, points to the module's error table and to the
// function that finds a numbered message in the module's packed message block.
//
// The driver's own description is gstMyModuleInfo76; every subsystem passes
// its address when it raises an error or loads a message.
//
// Ownership: descriptions are constant data with static storage; nothing in
// them is ever freed. Threads: read-only, shared freely.
#ifndef KQ230_CORE_MODULE_INFO_H_
#define KQ230_CORE_MODULE_INFO_H_

#include <cstdint>

struct STRessourceModule;  // core/numbered_messages.h

// One row of a module's error table: a user error code that the module
// reports, the numbered message that describes it, a detail id and the error
// level (2 warning, 3 error).
struct _stErrorDef {
  uint32_t nUserCode;
  uint32_t nMessage;
  uint32_t nDetailId;
  uint32_t nLevel;
};

// Finds a numbered message of the module: fills the answer fields of the
// request; 1 found, 0 not.
typedef int (*PFNGETRESMODULE)(STRessourceModule& stRequest);

// The layout is read by the server's side as well: keep the field order.
struct _stMyModuleInfo {
  const _stErrorDef* pstErrorDef;  // the first row of the error table
  uint32_t nNbErrorDef;            // rows searched in pstErrorDef
  uint32_t nModuleId;              // 76 for this driver
  const wchar_t* pszModuleFile;    // file name of the library
  const wchar_t* pszVersion;       // "23.0.2.0"
  PFNGETRESMODULE pfnGetRes;       // the module's message lookup
  uint32_t adwReserved[10];        // 0
};

#if defined(__i386__)
static_assert(sizeof(_stErrorDef) == 16, "four 32-bit words");
static_assert(sizeof(_stMyModuleInfo) == 64, "sixteen 32-bit words");
#endif

// The driver's module description: gstErrorDef76 (84 rows), module 76,
// "kq230maria.so", "23.0.2.0", bGetResAnsi76.
extern const _stMyModuleInfo gstMyModuleInfo76;

// Compare two version texts such as "23.0.2.0" so that runs of digits compare
// by value ("23.0.10.0" is after "23.0.2.0"): the numeric-aware comparison of
// the locale layer over each text's full length, in lexicographic order.
// Returns a negative, zero or positive int.
// REQUIRES: both texts non-null and terminated.
int nCompareVersionModule(const wchar_t* pszVersionA, const wchar_t* pszVersionB);
int nCompareVersionModuleA(const char* pszVersionA, const char* pszVersionB);

#endif  // KQ230_CORE_MODULE_INFO_H_
