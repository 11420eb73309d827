// The Win32 heap and global memory blocks over the framework's allocation
// entry points (core/xmalloc.h).
//
// Heap blocks (HeapAlloc family) carry a 4-byte header holding the size the
// caller asked for; the caller sees the address after it (4-byte aligned).
// Global blocks (GlobalAlloc family) are plain blocks of the entry points; a
// block's size, for the zeroing of GlobalReAlloc, is the one the C library's
// allocator reports (malloc_usable_size), as GlobalSize reports the block's
// real size on Windows.
//
// Failures: with HEAP_GENERATE_EXCEPTIONS the heap functions throw an
// unsigned int of value STATUS_NO_MEMORY; otherwise they answer null. A size
// whose header would not fit in 32 bits is refused as memory exhaustion.
// Ownership: the caller owns each block until it frees it with the family's
// free function. Threads: as thread-safe as the C library's heap.
#ifndef KQ230_PLATFORM_WIN32_MEMORY_H_
#define KQ230_PLATFORM_WIN32_MEMORY_H_

inline constexpr unsigned int HEAP_GENERATE_EXCEPTIONS = 0x4;
inline constexpr unsigned int HEAP_ZERO_MEMORY = 0x8;
inline constexpr unsigned int STATUS_NO_MEMORY = 0xC0000017u;
inline constexpr unsigned int GMEM_ZEROINIT = 0x40;
inline constexpr unsigned int GMEM_MODIFY = 0x80;

// A block of nSize bytes (the heap handle is not used); zeroed with
// HEAP_ZERO_MEMORY.
void* HeapAlloc(void* hHeap, unsigned int dwFlags, unsigned int nSize);
// Resizes the block (content kept up to the smaller size); the bytes added
// are zeroed with HEAP_ZERO_MEMORY. On failure the block is unchanged and
// still the caller's. A null block is a failure.
void* HeapReAlloc(void* hHeap, unsigned int dwFlags, void* pBlock, unsigned int nSize);
// Frees the block (null accepted); answers 1.
int HeapFree(void* hHeap, unsigned int dwFlags, void* pBlock);
// The size asked for at the last allocation of the block.
// REQUIRES: pBlock came from HeapAlloc / HeapReAlloc and is live.
unsigned int HeapSize(void* hHeap, unsigned int dwFlags, const void* pBlock);

// A block of nSize bytes; GMEM_ZEROINIT zeroes it. Null when memory is
// refused.
void* GlobalAlloc(unsigned int dwFlags, unsigned int nSize);
// GMEM_MODIFY: the block unchanged. Otherwise resized (null on failure, the
// block then unchanged); with GMEM_ZEROINIT the bytes beyond the old block's
// size are zeroed, as on Windows, and the old content is kept.
void* GlobalReAlloc(void* pBlock, unsigned int nSize, unsigned int dwFlags);
// Frees a non-null block; answers null (success).
void* GlobalFree(void* pBlock);
void* GlobalLock(void* pBlock);
int GlobalUnlock(void* pBlock);
void ZeroMemory(void* p, unsigned int n);

#endif  // KQ230_PLATFORM_WIN32_MEMORY_H_
