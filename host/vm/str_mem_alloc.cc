#include "host/vm/str_mem_alloc.h"

#include <cstdlib>
#include <cstring>

#include "host/vm/standin_control.h"

namespace {

constexpr uint32_t kHeader = sizeof(_stStrMemHeader);
constexpr uint32_t kTrailer = 4;  // zero bytes after the capacity

// Capacity for a request: rounded up to whole 4-byte characters. False when
// the block would not fit the 32-bit address space.
bool CapacityFor(uint32_t nBytes, uint32_t* pnCapacity) {
  const uint64_t nCapacity = (uint64_t(nBytes) + 3) & ~uint64_t(3);
  if (nCapacity + kHeader + kTrailer > 0x7FFFFFFFu) return false;
  *pnCapacity = static_cast<uint32_t>(nCapacity);
  return true;
}

unsigned char* BlockOf(unsigned char* pData) { return pData - kHeader; }

}  // namespace

bool CStandInStrMemAlloc::bFailThisAllocation() {
  ++m_nAllocations;
  if (m_nFailCountdown > 0 && --m_nFailCountdown == 0) return true;
  return false;
}

int CStandInStrMemAlloc::vnAllocStrMem(unsigned char** ppData, unsigned int nBytes) {
  return vnAllocStrMemEx(ppData, nBytes, 0);
}

int CStandInStrMemAlloc::vnReallocStrMem(unsigned char** ppData, unsigned int nBytes) {
  return vnReallocStrMemEx(ppData, nBytes, 0);
}

int CStandInStrMemAlloc::vnAllocStrMemEx(unsigned char** ppData, unsigned int nBytes,
                                         unsigned int) {
  if (ppData == nullptr) return kStandInAllocFailure;
  std::lock_guard<std::mutex> lock(m_mutex);
  uint32_t nCapacity;
  if (bFailThisAllocation() || !CapacityFor(nBytes, &nCapacity)) return kStandInAllocFailure;
  auto* pBlock = static_cast<unsigned char*>(std::malloc(kHeader + nCapacity + kTrailer));
  if (pBlock == nullptr) return kStandInAllocFailure;
  const _stStrMemHeader stHeader = {0, 1, nCapacity, 0};
  std::memcpy(pBlock, &stHeader, kHeader);
  // The first character and the trailer are zero; the rest is left as malloc
  // gave it, as a real allocator would, so that nobody relies on it.
  std::memset(pBlock + kHeader, 0, nCapacity < 4 ? nCapacity : 4);
  std::memset(pBlock + kHeader + nCapacity, 0, kTrailer);
  unsigned char* pData = pBlock + kHeader;
  m_setLive.insert(pData);
  *ppData = pData;
  return 0;
}

int CStandInStrMemAlloc::vnReallocStrMemEx(unsigned char** ppData, unsigned int nBytes,
                                           unsigned int dwFlags) {
  if (ppData == nullptr) return kStandInAllocFailure;
  if (*ppData == nullptr) return vnAllocStrMemEx(ppData, nBytes, dwFlags);
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_setLive.find(*ppData);
  if (it == m_setLive.end()) {
    ++m_nBadReleases;  // resizing a buffer that is not ours (or no longer)
    return kStandInAllocFailure;
  }
  uint32_t nCapacity;
  if (bFailThisAllocation() || !CapacityFor(nBytes, &nCapacity)) return kStandInAllocFailure;
  _stStrMemHeader stHeader;
  std::memcpy(&stHeader, BlockOf(*ppData), kHeader);
  auto* pBlock = static_cast<unsigned char*>(std::malloc(kHeader + nCapacity + kTrailer));
  if (pBlock == nullptr) return kStandInAllocFailure;
  // Always move: a caller that keeps the old pointer is caught at once.
  const uint32_t nKeep = stHeader.nLength < nCapacity ? stHeader.nLength : nCapacity;
  stHeader.nCapacity = nCapacity;
  stHeader.nLength = nKeep;
  std::memcpy(pBlock, &stHeader, kHeader);
  std::memcpy(pBlock + kHeader, *ppData, nKeep);
  std::memset(pBlock + kHeader + nKeep, 0, nCapacity - nKeep < 4 ? nCapacity - nKeep : 4);
  std::memset(pBlock + kHeader + nCapacity, 0, kTrailer);
  unsigned char* pOld = BlockOf(*ppData);
  std::memset(pOld, 0xDD, kHeader);
  std::free(pOld);
  m_setLive.erase(it);
  *ppData = pBlock + kHeader;
  m_setLive.insert(*ppData);
  return 0;
}

void CStandInStrMemAlloc::vReleaseStrMem(unsigned char* pData) {
  if (pData == nullptr) return;
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_setLive.find(pData);
  if (it == m_setLive.end()) {
    ++m_nBadReleases;  // released twice, or never ours
    return;
  }
  _stStrMemHeader stHeader;
  std::memcpy(&stHeader, BlockOf(pData), kHeader);
  if (stHeader.nRefCount != 0) {
    ++m_nBadReleases;  // someone still holds it: keep it alive
    return;
  }
  m_setLive.erase(it);
  std::memset(BlockOf(pData), 0xDD, kHeader + stHeader.nCapacity + kTrailer);
  std::free(BlockOf(pData));
}

void CStandInStrMemAlloc::Reset() {
  std::lock_guard<std::mutex> lock(m_mutex);
  // An empty set keeps its buckets; give them back, so that a program that
  // balances its allocator sees only buffers that are still live.
  if (m_setLive.empty()) std::unordered_set<unsigned char*>().swap(m_setLive);
  m_nAllocations = 0;
  m_nBadReleases = 0;
  m_nFailCountdown = 0;
}

int CStandInStrMemAlloc::nLive() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return static_cast<int>(m_setLive.size());
}

int CStandInStrMemAlloc::nAllocations() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_nAllocations;
}

int CStandInStrMemAlloc::nBadReleases() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_nBadReleases;
}

void CStandInStrMemAlloc::FailAllocationAt(int n) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_nFailCountdown = n > 0 ? n : 0;
}
