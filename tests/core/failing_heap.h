// FailingHeap: makes the k-th allocation of a test's road fail.
//
// A test program that includes this header must be linked with
//   -Wl,--wrap=malloc -Wl,--wrap=realloc -Wl,--wrap=calloc
// so that the calls of the statically linked framework (and of the test
// itself) go through the wrappers below; the C library, the C++ runtime, the
// sanitizers and dlopen'ed libraries keep the real heap. The wrappers pass
// every call on until armed; armed, they count the calls and answer null for
// the chosen one (and let the others through), as a refusing heap would.
//
// Include it in exactly one translation unit of a program: it defines the
// wrappers.
// Threads: the counters are plain atomics; tests arm it from one thread.
#ifndef KQ230_TESTS_CORE_FAILING_HEAP_H_
#define KQ230_TESTS_CORE_FAILING_HEAP_H_

#include <atomic>
#include <cstddef>

extern "C" void* __real_malloc(size_t);
extern "C" void* __real_realloc(void*, size_t);
extern "C" void* __real_calloc(size_t, size_t);

namespace kqtest {

class FailingHeap {
 public:
  // Counts allocations from now on; the nFail-th (1-based) fails, 0 none.
  static void Arm(int nFail) {
    s_nCalls = 0;
    s_nFail = nFail;
    s_bArmed = true;
  }
  // Stops counting; answers the allocations counted while armed.
  static int Disarm() {
    s_bArmed = false;
    return s_nCalls;
  }
  // True when this call is the one to refuse.
  static bool bRefuse() {
    if (!s_bArmed) return false;
    const int n = ++s_nCalls;
    return n == s_nFail;
  }

 private:
  static inline std::atomic<bool> s_bArmed{false};
  static inline std::atomic<int> s_nCalls{0};
  static inline std::atomic<int> s_nFail{0};
};

// Runs op once to count its allocations, then once per allocation with that
// one refused, calling check after each refused run (reset before each run).
template <class Reset, class Op, class Check>
void ForEachRefusedAllocation(Reset reset, Op op, Check check) {
  reset();
  FailingHeap::Arm(0);
  op();
  const int nCalls = FailingHeap::Disarm();
  for (int k = 1; k <= nCalls; ++k) {
    reset();
    FailingHeap::Arm(k);
    op();
    FailingHeap::Disarm();
    check(k);
  }
}

}  // namespace kqtest

extern "C" void* __wrap_malloc(size_t n) {
  return kqtest::FailingHeap::bRefuse() ? nullptr : __real_malloc(n);
}
extern "C" void* __wrap_realloc(void* p, size_t n) {
  return kqtest::FailingHeap::bRefuse() ? nullptr : __real_realloc(p, n);
}
extern "C" void* __wrap_calloc(size_t n, size_t m) {
  return kqtest::FailingHeap::bRefuse() ? nullptr : __real_calloc(n, m);
}

#endif  // KQ230_TESTS_CORE_FAILING_HEAP_H_
