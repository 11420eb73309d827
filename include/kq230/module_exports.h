// The framework entries that the application server binds by name in every
// library it loads, and the records it passes to them.
#ifndef KQ230_MODULE_EXPORTS_H_
#define KQ230_MODULE_EXPORTS_H_

#include <cstdint>

#include "kq230/platform_types.h"

// Codes of the library's Execution entry.
enum eModuleCode : unsigned int {
  MODULE_CODE_INIT = 3985,            // argument: _stModuleInitRecord*
  MODULE_CODE_TERM = 4875,
  MODULE_CODE_LOCALE_CHANGED = 4878,  // argument: the new IInfoLocale*
  MODULE_CODE_LANGUAGE_CHANGED = 4879,
  MODULE_CODE_INIT_DINO_TYPES = 4963,  // argument: CXError*
  MODULE_CODE_DUMP_MEMORY = 5238,      // argument: IDumpMemoire*
  MODULE_CODE_DEACTIVATE = 5684,
  MODULE_CODE_REACTIVATE = 5864,
};

// Record of MODULE_CODE_INIT. The server may pass a shorter record (8, 12 or
// 16 bytes): a field is read only when nSize covers it.
struct _stModuleInitRecord {
  uint32_t nSize;       // size of the record in bytes
  HINSTANCE hVM;        // handle of the virtual-machine library
  uint32_t nUsage1;
  uint32_t nUsage2;
  class ILibShop* piLibShop;
};

// Codes of the library's CommandeComposante entry.
enum eComponentCode : int {
  COMPONENT_SET_STRING_LOADER = 2,  // argument: PFNLOADSTRINGKQM
  COMPONENT_LOAD_STRING = 3,        // argument: _stLoadStringRequest*
  COMPONENT_GET_USAGE = 4,          // argument: message number
};

// Record of COMPONENT_LOAD_STRING.
struct _stLoadStringRequest {
  uint32_t nSize;  // 20; not read
  uint32_t nNumber;
  wchar_t* pszBuffer;
  int nCapacity;   // in characters
  int nResult;     // written by the call
};

#if defined(__i386__)
static_assert(sizeof(_stModuleInitRecord) == 20, "five 32-bit words");
static_assert(sizeof(_stLoadStringRequest) == 20, "five 32-bit words");
#endif

// The server's string loader: (message number, buffer, capacity) -> length.
typedef int (*PFNLOADSTRINGKQM)(unsigned int nNumber, wchar_t* pszBuffer, int nCapacity);

KQ_EXPORT int Execution(unsigned int nCode, void* pArgument);
KQ_EXPORT int CommandeComposante(int nCode, void* pArgument);
KQ_EXPORT void* DLLRES_pLoadResourceModule(const void* pModule, unsigned int nNumber,
                                           const wchar_t* pszText, void* pOut);

#endif  // KQ230_MODULE_EXPORTS_H_
