// HeapCallCount: the heap calls made while one lives, for tests that prove a
// road takes none (a store into a record buffer, a row into the cache).
//
// The project keeps no allocation statistics (core/xmalloc.h), so the count is
// taken below it: under AddressSanitizer through the sanitizer's allocation
// hook, otherwise by standing in for the C library's allocation entries
// (heap_call_count.cc defines malloc, calloc and realloc; every allocator of
// the process, operator new and the core allocator included, ends there).
// Link heap_call_count.cc into the test program that uses it.
//
// Threads: the counter is atomic, but counts the calls of every thread.
// REQUIRES: one HeapCallCount at a time.
#ifndef KQ230_TESTS_SUPPORT_HEAP_CALL_COUNT_H_
#define KQ230_TESTS_SUPPORT_HEAP_CALL_COUNT_H_

namespace kqtest {

class HeapCallCount {
 public:
  HeapCallCount();
  ~HeapCallCount();
  HeapCallCount(const HeapCallCount&) = delete;
  HeapCallCount& operator=(const HeapCallCount&) = delete;

  // Allocations (malloc, calloc, realloc) since construction.
  int nCalls() const;
};

}  // namespace kqtest

#endif  // KQ230_TESTS_SUPPORT_HEAP_CALL_COUNT_H_
