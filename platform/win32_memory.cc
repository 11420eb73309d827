#include "platform/win32_memory.h"

#include <malloc.h>

#include <cstdint>
#include <cstring>

#include "core/xmalloc.h"

namespace {

constexpr unsigned int kHeader = sizeof(uint32_t);

void* Failure(unsigned int dwFlags) {
  if (dwFlags & HEAP_GENERATE_EXCEPTIONS) throw static_cast<unsigned int>(STATUS_NO_MEMORY);
  return nullptr;
}

unsigned char* Base(const void* pBlock) {
  return const_cast<unsigned char*>(static_cast<const unsigned char*>(pBlock)) - kHeader;
}

uint32_t StoredSize(const void* pBlock) {
  uint32_t n;
  std::memcpy(&n, Base(pBlock), sizeof n);
  return n;
}

}  // namespace

void* HeapAlloc(void*, unsigned int dwFlags, unsigned int nSize) {
  // size + 4 must not wrap into a small block.
  if (nSize > UINT32_MAX - kHeader) return Failure(dwFlags);
  auto* pBase = static_cast<unsigned char*>(XMALLOC_pNew_(nSize + kHeader));
  if (pBase == nullptr) return Failure(dwFlags);
  const uint32_t n = nSize;
  std::memcpy(pBase, &n, sizeof n);
  if (dwFlags & HEAP_ZERO_MEMORY) std::memset(pBase + kHeader, 0, nSize);
  return pBase + kHeader;
}

void* HeapReAlloc(void*, unsigned int dwFlags, void* pBlock, unsigned int nSize) {
  if (pBlock == nullptr || nSize > UINT32_MAX - kHeader) return Failure(dwFlags);
  const uint32_t nOld = StoredSize(pBlock);
  auto* pBase = static_cast<unsigned char*>(XMALLOC_pResize_(Base(pBlock), nSize + kHeader));
  if (pBase == nullptr) return Failure(dwFlags);
  const uint32_t n = nSize;
  std::memcpy(pBase, &n, sizeof n);
  if ((dwFlags & HEAP_ZERO_MEMORY) && nSize > nOld) std::memset(pBase + kHeader + nOld, 0, nSize - nOld);
  return pBase + kHeader;
}

int HeapFree(void*, unsigned int, void* pBlock) {
  if (pBlock != nullptr) XMALLOC_Del_(Base(pBlock));
  return 1;
}

unsigned int HeapSize(void*, unsigned int, const void* pBlock) { return StoredSize(pBlock); }

void* GlobalAlloc(unsigned int dwFlags, unsigned int nSize) {
  void* p = XMALLOC_pNew_(nSize);
  // The whole block the allocator gave, so that a later GlobalReAlloc with
  // GMEM_ZEROINIT finds no stale bytes below the size it starts zeroing from.
  if (p != nullptr && (dwFlags & GMEM_ZEROINIT)) std::memset(p, 0, malloc_usable_size(p));
  return p;
}

void* GlobalReAlloc(void* pBlock, unsigned int nSize, unsigned int dwFlags) {
  if (dwFlags & GMEM_MODIFY) return pBlock;
  const size_t nOld = pBlock != nullptr ? malloc_usable_size(pBlock) : 0;
  auto* p = static_cast<unsigned char*>(XMALLOC_pResize_(pBlock, nSize));
  if (p != nullptr && (dwFlags & GMEM_ZEROINIT) && nSize > nOld) std::memset(p + nOld, 0, nSize - nOld);
  return p;
}

void* GlobalFree(void* pBlock) {
  if (pBlock != nullptr) XMALLOC_Del_(pBlock);
  return nullptr;
}

void* GlobalLock(void* pBlock) { return pBlock; }

int GlobalUnlock(void*) { return 1; }

void ZeroMemory(void* p, unsigned int n) { std::memset(p, 0, n); }
