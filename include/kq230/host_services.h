// The services that the application server's virtual-machine library lends to
// the libraries it loads, as the driver sees them.
//
// The server's library exports one entry, Execution(code, argument); code 3053
// with a service number answers a pointer or a value (see eServiceCode). The
// interfaces below are called through their tables of virtual operations, so
// the slot order is the contract: never reorder, insert or remove an operation.
// None of them has a virtual destructor: objects belong to the server.
//
// Threads: the server's objects are its own business; the driver calls them
// from whichever thread the server called the driver on.
#ifndef KQ230_HOST_SERVICES_H_
#define KQ230_HOST_SERVICES_H_

#include <cstddef>
#include <cstdint>

#include "kq230/platform_types.h"

class CXError;  // the framework's error object

// The virtual machine's entry: (code, argument) -> pointer-sized answer.
typedef intptr_t (*PFNVMEXECUTION)(int nCode, intptr_t nArgument);

// Codes the driver sends to the virtual machine's Execution.
enum eVMCode : int {
  VM_CODE_SERVICE = 3053,       // argument: service number (eServiceCode)
  VM_CODE_LIBRARY_END = 3052,   // the library ends its use of the server
  VM_CODE_THREAD_BEGIN = 3645,  // a thread starts using the library
  VM_CODE_THREAD_END = 3795,    // a thread stops using the library
  VM_CODE_NATIVE_STACK = 3184,  // argument: _stNativeStackRequest*
};

// Service numbers of VM_CODE_SERVICE.
enum eServiceCode : int {
  SERVICE_PRODUCT_CODE = 1,       // int
  SERVICE_INTERNAL_LANGUAGE = 2,  // int
  SERVICE_PRODUCT_NAME = 3,       // const wchar_t*
  SERVICE_OPTIONS = 4,            // unsigned
  SERVICE_REAL_PRODUCT_CODE = 5,  // int
  SERVICE_DOTNET = 6,             // int flag
  SERVICE_LIB_SHOP = 7,           // ILibShop*
  SERVICE_ACTIVE_VERSION = 8,     // unsigned
  SERVICE_GLOBAL_FACTORY = 9,     // IGlobalFactory*
  SERVICE_TOPOLOGY = 10,          // opaque, only stored
  SERVICE_SMARTPHONE = 11,        // int
  SERVICE_LOCALE = 12,            // IInfoLocale*
  SERVICE_STR_MEM_ALLOC = 13,     // IStrMemAlloc*
  SERVICE_MULTITHREAD_FLAG = 14,  // int*
  SERVICE_COMPONENT_INFO = 15,    // opaque, only stored
  SERVICE_MAIN_THREAD_ID = 17,    // unsigned
};

// Header in front of every counted string buffer. The buffer pointer handed
// around addresses the first character; the header lies in the 16 bytes
// before it. After the capacity come four zero bytes, so that a text that
// fills its buffer is still terminated for both widths.
struct _stStrMemHeader {
  uint32_t dwFlags;      // bit 0: the text ends with the high marker of searches
  int32_t nRefCount;     // changed only by atomic operations
  uint32_t nCapacity;    // bytes available for characters
  uint32_t nLength;      // bytes in use
};
static_assert(sizeof(_stStrMemHeader) == 16, "four 32-bit words");

inline _stStrMemHeader* StrMemHeader(unsigned char* pData) {
  return reinterpret_cast<_stStrMemHeader*>(pData - sizeof(_stStrMemHeader));
}

// The server's allocator of counted string buffers.
class IStrMemAlloc {
 public:
  virtual int vnGetVersionIStrMemAlloc() = 0;
  virtual int vnAllocStrMem(unsigned char** ppData, unsigned int nBytes) = 0;
  virtual int vnReallocStrMem(unsigned char** ppData, unsigned int nBytes) = 0;
  // Frees a buffer whose reference count has reached 0.
  virtual void vReleaseStrMem(unsigned char* pData) = 0;
  // 0 and a new buffer (flags 0, count 1, capacity >= nBytes, length 0, first
  // character and the four bytes after the capacity zero); else non-zero and
  // *ppData untouched.
  virtual int vnAllocStrMemEx(unsigned char** ppData, unsigned int nBytes, unsigned int dwFlags) = 0;
  // 0 and a buffer, possibly moved, with header and content kept; else
  // non-zero and the buffer unchanged.
  virtual int vnReallocStrMemEx(unsigned char** ppData, unsigned int nBytes, unsigned int dwFlags) = 0;

 protected:
  ~IStrMemAlloc() = default;
};

// The server's locale information: case mapping, accent removal, comparison
// and sort keys under its current locale. Lengths of -1 mean "up to the
// terminator"; a null text reads as "". A mapping writes at most two output
// characters per input character and answers the count of characters written,
// or, without output (null, size 0), the count it would write. Comparisons
// answer negative, zero or positive.
//
// Flags: 0x1 upper case / ignore case, 0x2 no accents, 0x4 no white space and
// punctuation, 0x100 lower case, 0x20000000 lexicographic order of the locale,
// 0x40000000 8-bit texts in a comparison.
class IInfoLocale {
 public:
  virtual int _vnReserved0() = 0;  // not called by the driver
  virtual int _vnReserved1() = 0;  // not called by the driver
  virtual int vnGetCurrentCharset() = 0;  // 127: none
  virtual int vnGetCurrentCodePage() = 0;
  virtual unsigned int vnGetCurrentLCID() = 0;
  virtual int vnCompareA(unsigned int nLCID, unsigned int dwFlags, const char* pszA, int nA,
                         const char* pszB, int nB) = 0;
  virtual int vnCompareW(unsigned int nLCID, unsigned int dwFlags, const wchar_t* pszA, int nA,
                         const wchar_t* pszB, int nB) = 0;
  virtual int vnCompareCurrentA(unsigned int dwFlags, const char* pszA, int nA, const char* pszB,
                                int nB) = 0;
  virtual int vnCompareCurrentW(unsigned int dwFlags, const wchar_t* pszA, int nA,
                                const wchar_t* pszB, int nB) = 0;
  // 8-bit sort key: bytes whose memcmp order is the comparison's order.
  virtual int vnMapSortKeyA(unsigned int nLCID, unsigned int dwFlags, const char* pszIn, int nIn,
                            char* pszOut, unsigned int nOutSize) = 0;
  virtual int _vnReserved10() = 0;  // not called by the driver
  virtual int vnMapStringA(unsigned int nLCID, unsigned int dwFlags, const char* pszIn, int nIn,
                           char* pszOut, unsigned int nOutSize) = 0;
  virtual int vnMapStringW(unsigned int nLCID, unsigned int dwFlags, const wchar_t* pszIn, int nIn,
                           wchar_t* pszOut, unsigned int nOutSize) = 0;
  // 8-bit mapping in the current locale; note the output comes first.
  virtual int vnPrepareStringA(unsigned int dwFlags, char* pszOut, unsigned int nOutSize,
                               const char* pszIn, int nIn) = 0;
  // Wide mapping in the current locale; note the output comes first.
  virtual int vnMapStringCurrentW(unsigned int dwFlags, wchar_t* pszOut, unsigned int nOutSize,
                                  const wchar_t* pszIn, int nIn) = 0;
  virtual unsigned int vnGetSafeCurrentLCID() = 0;

 protected:
  ~IInfoLocale() = default;
};

// The server's global object factory. Only its first operation is used: an
// answer above 1 lets the server ask the library to initialise its DINO types.
class IGlobalFactory {
 public:
  virtual int vnGetLevel() = 0;

 protected:
  ~IGlobalFactory() = default;
};

// The server's library shop; the driver only stores it and hands it on.
class ILibShop {
 public:
  virtual int vnGetVersionLibShop() = 0;

 protected:
  ~ILibShop() = default;
};

// The server's memory dump sink; this library writes nothing into it.
class IDumpMemoire {
 public:
  virtual int vnGetVersionDumpMemoire() = 0;

 protected:
  ~IDumpMemoire() = default;
};

// Argument of VM_CODE_NATIVE_STACK.
struct _stNativeStackRequest {
  int nDepth;
  wchar_t* pszBuffer;
  int nCapacity;
  int nOptions;
};

#endif  // KQ230_HOST_SERVICES_H_
