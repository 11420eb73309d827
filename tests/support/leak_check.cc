#include "tests/support/leak_check.h"

#include <cstddef>
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
#endif

namespace kqtest {
namespace {

bool gbLeakFound = false;

#ifdef KQ_HAS_ASAN
class LeakListener : public testing::EmptyTestEventListener {
 public:
  void OnTestIterationStart(const testing::UnitTest&, int nIteration) override {
    m_nIteration = nIteration;
  }
  void OnTestStart(const testing::TestInfo&) override {
    m_nBefore = __sanitizer_get_current_allocated_bytes();
  }
  void OnTestEnd(const testing::TestInfo& info) override {
    // The first run of a test fills what lasts by design (the C library's
    // loader tables, gtest's trace stack, the stand-in server's state); from
    // the second run on, a test must give back all it took. A failed test may
    // leave gtest's own records behind: only a passing one is held to it.
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

}  // namespace kqtest
