// BoundFramework: the framework linked into a test program, started against
// the stand-in server's services as the driver is at load (code 3985), so that
// in-process tests of strings, comparisons and conversions have the string
// allocator and the locale information bound.
//
// Ownership: the constructor starts, the destructor stops; the stand-in stays
// loaded for the process (see CHostHarness). One at a time per process.
#ifndef KQ230_TESTS_SUPPORT_BOUND_FRAMEWORK_H_
#define KQ230_TESTS_SUPPORT_BOUND_FRAMEWORK_H_

#include <gtest/gtest.h>

#include "host/vm/standin_control.h"

namespace kqtest {

class BoundFramework {
 public:
  BoundFramework();
  ~BoundFramework();

  BoundFramework(const BoundFramework&) = delete;
  BoundFramework& operator=(const BoundFramework&) = delete;

  bool bStarted() const { return m_bStarted; }
  const _stStandInControl& Control() const { return *m_pControl; }

 private:
  void* m_hVM = nullptr;
  const _stStandInControl* m_pControl = nullptr;
  bool m_bStarted = false;
};

// A fixture for tests that need the framework bound; it fails the test when
// the start fails, and checks at the end that every counted string buffer the
// test made was given back exactly once.
class BoundFrameworkTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  const _stStandInControl& Control() const { return m_binding.Control(); }

  BoundFramework m_binding;
};

}  // namespace kqtest

#endif  // KQ230_TESTS_SUPPORT_BOUND_FRAMEWORK_H_
