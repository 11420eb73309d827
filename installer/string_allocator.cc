#include "installer/string_allocator.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/module_entry.h"

namespace {

constexpr uint32_t kHeader = sizeof(_stStrMemHeader);
constexpr uint32_t kTrailer = 4;

// Capacity of a request in whole 4-byte characters; false when the block
// would not fit a 32-bit request.
bool bCapacityFor(unsigned int nBytes, uint32_t* pnCapacity) {
  const uint64_t nCapacity = (uint64_t{nBytes} + 3) & ~uint64_t{3};
  if (nCapacity + kHeader + kTrailer > 0x7FFFFFFFu) return false;
  *pnCapacity = static_cast<uint32_t>(nCapacity);
  return true;
}

}  // namespace

CStrMemAlloc* CStrMemAlloc::s_pclInstance = nullptr;

CStrMemAlloc* CStrMemAlloc::s_pclInit() {
  if (s_pclInstance == nullptr) s_pclInstance = new (std::nothrow) CStrMemAlloc();
  return s_pclInstance;
}

void CStrMemAlloc::s_Term() {
  delete s_pclInstance;
  s_pclInstance = nullptr;
}

void CStrMemAlloc::s_Install(CStrMemAlloc* pclAllocator) {
  CInformationModule::ms_piStrMemAlloc = pclAllocator;
}

int CStrMemAlloc::vnAllocStrMem(unsigned char** ppData, unsigned int nBytes) {
  return vnAllocStrMemEx(ppData, nBytes, 0);
}

int CStrMemAlloc::vnReallocStrMem(unsigned char** ppData, unsigned int nBytes) {
  return vnReallocStrMemEx(ppData, nBytes, 0);
}

int CStrMemAlloc::vnAllocStrMemEx(unsigned char** ppData, unsigned int nBytes, unsigned int) {
  uint32_t nCapacity = 0;
  if (ppData == nullptr || !bCapacityFor(nBytes, &nCapacity)) return kNoMemory;
  auto* pBlock = static_cast<unsigned char*>(std::malloc(kHeader + nCapacity + kTrailer));
  if (pBlock == nullptr) return kNoMemory;
  const _stStrMemHeader stHeader = {0, 1, nCapacity, 0};
  std::memcpy(pBlock, &stHeader, kHeader);
  std::memset(pBlock + kHeader, 0, nCapacity < 4 ? nCapacity : 4);
  std::memset(pBlock + kHeader + nCapacity, 0, kTrailer);
  *ppData = pBlock + kHeader;
  return 0;
}

int CStrMemAlloc::vnReallocStrMemEx(unsigned char** ppData, unsigned int nBytes,
                                    unsigned int dwFlags) {
  if (ppData == nullptr) return kNoMemory;
  if (*ppData == nullptr) return vnAllocStrMemEx(ppData, nBytes, dwFlags);
  uint32_t nCapacity = 0;
  if (!bCapacityFor(nBytes, &nCapacity)) return kNoMemory;
  unsigned char* pOld = *ppData - kHeader;
  _stStrMemHeader stHeader;
  std::memcpy(&stHeader, pOld, kHeader);
  auto* pBlock = static_cast<unsigned char*>(std::realloc(pOld, kHeader + nCapacity + kTrailer));
  if (pBlock == nullptr) return kNoMemory;
  if (stHeader.nLength > nCapacity) stHeader.nLength = nCapacity;
  stHeader.nCapacity = nCapacity;
  std::memcpy(pBlock, &stHeader, kHeader);
  const uint32_t nFree = nCapacity - stHeader.nLength;
  std::memset(pBlock + kHeader + stHeader.nLength, 0, nFree < 4 ? nFree : 4);
  std::memset(pBlock + kHeader + nCapacity, 0, kTrailer);
  *ppData = pBlock + kHeader;
  return 0;
}

void CStrMemAlloc::vReleaseStrMem(unsigned char* pData) {
  if (pData != nullptr) std::free(pData - kHeader);
}
