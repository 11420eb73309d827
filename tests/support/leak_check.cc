#include "tests/support/leak_check.h"

#include <dlfcn.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#if defined(__SANITIZE_ADDRESS__)
#define KQ_HAS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KQ_HAS_ASAN 1
#endif
#endif

#ifdef KQ_HAS_ASAN
// From the sanitizer runtime's allocator interface (declared here: gcc does
// not ship the header).
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*pfnMalloc)(const volatile void* p, size_t n), void (*pfnFree)(const volatile void* p));
#endif

// glibc's release of its own lasting state: the iconv modules and conversion
// paths it has loaded, the thread stacks it keeps for reuse (with their TLS
// vectors), the loader's tables (search paths, names, TLS slots), stdio
// buffers, the environment, locale and name-service data. glibc frees these
// only here, and offers the function to memory checkers for this very use
// (valgrind calls it at exit, as does glibc's mtrace). Weak: a C library
// without it has nothing of its own to release this way.
extern "C" void __libc_freeres(void) __attribute__((weak));

namespace kqtest {
namespace {

bool gbLeakFound = false;

#ifdef KQ_HAS_ASAN
size_t gnProgramStart = 0;

// The libraries' own releases at the end (__libc_freeres, OPENSSL_cleanup)
// free their state whenever it was made: also what was made before the start
// (the loader's tables of the stand-in server, which a static initialiser
// loads before main; OpenSSL's initialisation). Freed at the end, those bytes
// would lower the end below a fair balance and hide a leak of their size. So
// every block made before the start is noted, and those of them that the
// releases free are added back to the end. A block freed earlier leaves the
// table, since its address may be reused by a block made after the start.
//
// The table is an open-addressed set in static memory: the hooks run inside
// the allocator and must not allocate. Blocks are noted until the start
// only; after it the hooks look up frees alone.
class BlocksBeforeStart {
 public:
  void Note(const volatile void* p, size_t n) {
    if (m_eState.load(std::memory_order_relaxed) != kNoting || p == nullptr) return;
    const uintptr_t nAddress = reinterpret_cast<uintptr_t>(p);
    for (size_t i = nSlot(nAddress), nProbes = 0; nProbes < kSlots; i = (i + 1) % kSlots, ++nProbes) {
      uintptr_t nFree = kEmpty;
      if (m_aSlots[i].nAddress.compare_exchange_strong(nFree, nAddress)) {
        m_aSlots[i].nBytes = n;
        return;
      }
    }
    m_bOverflow.store(true, std::memory_order_relaxed);  // the balance cannot be fair
  }

  void Forget(const volatile void* p) {
    if (p == nullptr) return;
    const uintptr_t nAddress = reinterpret_cast<uintptr_t>(p);
    for (size_t i = nSlot(nAddress), nProbes = 0; nProbes < kSlots; i = (i + 1) % kSlots, ++nProbes) {
      const uintptr_t n = m_aSlots[i].nAddress.load(std::memory_order_relaxed);
      if (n == kEmpty) return;
      if (n == nAddress) {
        // A slot once used stays a tombstone, so that later probes go past.
        m_aSlots[i].nAddress.store(kTombstone, std::memory_order_relaxed);
        if (m_eState.load(std::memory_order_relaxed) == kReleasing)
          m_nFreedAtEnd.fetch_add(m_aSlots[i].nBytes, std::memory_order_relaxed);
        return;
      }
    }
  }

  void Started() { m_eState.store(kStarted); }
  void Releasing() { m_eState.store(kReleasing); }
  void Released() { m_eState.store(kStarted); }
  bool bOverflowed() const { return m_bOverflow.load(); }
  size_t nFreedAtEnd() const { return m_nFreedAtEnd.load(); }

 private:
  enum eState { kNoting, kStarted, kReleasing };
  static constexpr uintptr_t kEmpty = 0;
  static constexpr uintptr_t kTombstone = 1;
  // Test programs make a few thousand blocks before the start (gtest's
  // records of the tests, mostly). A program that makes more than there is
  // room for fails its balance and says so. nSlot answers 16 bits.
  static constexpr size_t kSlots = size_t(1) << 16;

  // Fibonacci hashing: the high bits of the product spread aligned addresses.
  static size_t nSlot(uintptr_t nAddress) {
    return (static_cast<uint32_t>(nAddress >> 3) * 2654435761u) >> 16;
  }

  struct Slot {
    std::atomic<uintptr_t> nAddress{kEmpty};
    size_t nBytes = 0;
  };
  Slot m_aSlots[kSlots];
  std::atomic<int> m_eState{kNoting};
  std::atomic<bool> m_bOverflow{false};
  std::atomic<size_t> m_nFreedAtEnd{0};
};

constinit BlocksBeforeStart gBlocksBeforeStart;

// OpenSSL's libcrypto, which the MariaDB client library loads, keeps its
// initialisation for the process (it stays loaded once used) and frees it in
// OPENSSL_cleanup, which it otherwise runs at exit; OpenSSL allows the call
// earlier, once nothing uses the library any more. Looked up only where it is
// loaded: the test programs do not link it.
void EndOpenSsl() {
  for (const char* pszName : {"libcrypto.so.3", "libcrypto.so.1.1"}) {
    void* h = dlopen(pszName, RTLD_NOW | RTLD_NOLOAD);
    if (h == nullptr) continue;
    if (auto pfn = reinterpret_cast<void (*)()>(dlsym(h, "OPENSSL_cleanup"))) pfn();
    dlclose(h);
  }
}

void NoteBlock(const volatile void* p, size_t n) { gBlocksBeforeStart.Note(p, n); }
void ForgetBlock(const volatile void* p) { gBlocksBeforeStart.Forget(p); }

// Before the test program's own static initialisers, so that the blocks they
// make (the stand-in's loading among them) are noted.
__attribute__((constructor(101))) void InstallBlockHooks() {
  __sanitizer_install_malloc_and_free_hooks(NoteBlock, ForgetBlock);
}

// Room for this many nested SCOPED_TRACE texts is made before the start; the
// tests nest a few at most. A deeper nesting shows as a leak of gtest's room.
constexpr int kTraceDepth = 16;

void GrowTraceStack(int nDepth) {
  if (nDepth == 0) return;
  testing::ScopedTrace trace(__FILE__, __LINE__, "");
  GrowTraceStack(nDepth - 1);
}

class LeakListener : public testing::EmptyTestEventListener {
 public:
  void OnTestIterationStart(const testing::UnitTest&, int nIteration) override {
    m_nIteration = nIteration;
  }
  void OnTestStart(const testing::TestInfo&) override {
    m_nBefore = __sanitizer_get_current_allocated_bytes();
  }
  void OnTestEnd(const testing::TestInfo& info) override {
    // The first run of a test may fill what lasts for the program (the end-of-
    // program balance judges that); from the second run on, a test must give
    // back all it took. A failed test may leave gtest's own records behind:
    // only a passing one is held to it.
    if (m_nIteration == 0 || !info.result()->Passed()) return;
    const size_t nAfter = __sanitizer_get_current_allocated_bytes();
    if (nAfter > m_nBefore) {
      gbLeakFound = true;
      std::fprintf(stderr, "LEAK: %s.%s left %zu bytes allocated\n", info.test_suite_name(),
                   info.name(), nAfter - m_nBefore);
    }
  }

 private:
  size_t m_nBefore = 0;
  int m_nIteration = 0;
};
#endif

}  // namespace

bool InstallLeakCheck() {
#ifdef KQ_HAS_ASAN
  testing::UnitTest::GetInstance()->listeners().Append(new LeakListener);
  return true;
#else
  return false;
#endif
}

bool bLeakFound() { return gbLeakFound; }

void MarkProgramStart() {
#ifdef KQ_HAS_ASAN
  // gtest makes two things at their first use and keeps them for the
  // program: the main thread's stack of SCOPED_TRACE texts (a vector that
  // keeps the room of the deepest nesting so far), and the object it asks for
  // stack traces (before every test body). Make them now, so that they count
  // in the start and not against the first test that traces or nests.
  GrowTraceStack(kTraceDepth);
  testing::internal::GetCurrentOsStackTraceExceptTop(testing::UnitTest::GetInstance(), 0);
  // The sanitizer's own start (before the hooks) looks up functions that this
  // C library lacks and leaves the loader's error text allocated until it is
  // read: the first read marks it delivered, the second frees it.
  dlerror();
  dlerror();
  gnProgramStart = __sanitizer_get_current_allocated_bytes();
  gBlocksBeforeStart.Started();
#endif
}

bool bProgramLeaked() {
#ifdef KQ_HAS_ASAN
  const testing::UnitTest& unit = *testing::UnitTest::GetInstance();
  if (!unit.Passed() || unit.skipped_test_count() > 0) {
    std::fprintf(stderr, "The end-of-program leak balance is not judged: %s.\n",
                 unit.Passed() ? "tests were skipped" : "tests failed");
    return false;
  }
  if (gBlocksBeforeStart.bOverflowed()) {
    std::fprintf(stderr, "LEAK CHECK: too many blocks before the start to note; "
                         "raise BlocksBeforeStart::kSlots\n");
    return true;
  }
  gBlocksBeforeStart.Releasing();
  EndOpenSsl();
  if (__libc_freeres != nullptr) __libc_freeres();
  gBlocksBeforeStart.Released();
  const size_t nEnd = __sanitizer_get_current_allocated_bytes() + gBlocksBeforeStart.nFreedAtEnd();
  if (nEnd > gnProgramStart) {
    std::fprintf(stderr,
                 "LEAK: the program ends holding %zu bytes more than at its start (caches "
                 "filled by a test and never released count here)\n",
                 nEnd - gnProgramStart);
    return true;
  }
#endif
  return false;
}

}  // namespace kqtest
