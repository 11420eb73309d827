// Heap calls counted below the project's allocators
// (tests/support/heap_call_count.h).
#include "tests/support/heap_call_count.h"

#include <atomic>
#include <cstddef>

namespace {
std::atomic<int> g_nHeapCalls{0};
std::atomic<bool> g_bCountHeap{false};
void NoteHeapCall() {
  if (g_bCountHeap.load(std::memory_order_relaxed)) g_nHeapCalls.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

#if defined(__SANITIZE_ADDRESS__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
namespace {
void AllocHook(const volatile void*, size_t) { NoteHeapCall(); }
void FreeHook(const volatile void*) {}
const int g_nHookInstalled = __sanitizer_install_malloc_and_free_hooks(AllocHook, FreeHook);
}  // namespace
#else
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
void* malloc(size_t n) {
  NoteHeapCall();
  return __libc_malloc(n);
}
void* calloc(size_t n, size_t m) {
  NoteHeapCall();
  return __libc_calloc(n, m);
}
void* realloc(void* p, size_t n) {
  NoteHeapCall();
  return __libc_realloc(p, n);
}
void free(void* p) { __libc_free(p); }
}
#endif

namespace kqtest {

HeapCallCount::HeapCallCount() {
  g_bCountHeap = false;
  g_nHeapCalls = 0;
  g_bCountHeap = true;
}

HeapCallCount::~HeapCallCount() { g_bCountHeap = false; }

int HeapCallCount::nCalls() const { return g_nHeapCalls.load(); }

}  // namespace kqtest
