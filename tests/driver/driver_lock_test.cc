// The driver lock: recursive, released on every way out of a frame, and made
// and destroyed with the library's span.
#include "driver/driver_lock.h"

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <thread>

namespace {

// Whether another thread could take the lock now (it gives it back at once).
bool FreeForOthers() {
  return std::async(std::launch::async, [] {
           if (!CNADriverLock::g_bTryEnter()) return false;
           CNADriverLock::g_Leave();
           return true;
         }).get();
}

class DriverLock : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CNADriverLock::g_bCreate(), 1); }
  void TearDown() override { CNADriverLock::g_Destroy(); }
};

TEST_F(DriverLock, NestedFramesOnOneThreadDoNotBlockAndHoldItAgainstOthers) {
  EXPECT_TRUE(FreeForOthers());
  const int nResult = NA_bLocked([] {
    EXPECT_FALSE(FreeForOthers());
    return NA_bLocked([] {
      return NA_bLocked([] {
        EXPECT_FALSE(FreeForOthers());
        return 7;
      });
    });
  });
  EXPECT_EQ(nResult, 7);
  EXPECT_TRUE(FreeForOthers());
}

TEST_F(DriverLock, AnExceptionLeavesEveryFrameUnlockedAndGoesOnUnchanged) {
  struct Thrown {
    int nCode;
  };
  try {
    NA_bLocked([] {
      return NA_bLocked([]() -> int {
        CNADriverLockFrame clInner;
        throw Thrown{42};
      });
    });
    FAIL() << "nothing was thrown";
  } catch (const Thrown& e) {
    EXPECT_EQ(e.nCode, 42);
  }
  EXPECT_TRUE(FreeForOthers());
  // And a standard exception from deep inside, caught at the middle frame.
  NA_bLocked([] {
    EXPECT_THROW(NA_bLocked([]() -> int { throw std::runtime_error("x"); }), std::runtime_error);
    EXPECT_FALSE(FreeForOthers());
    return 0;
  });
  EXPECT_TRUE(FreeForOthers());
}

TEST_F(DriverLock, AnotherThreadWaitsForTheHolderAndThenGetsIt) {
  std::promise<void> stEntered;
  std::promise<void> stMayLeave;
  std::thread clHolder([&] {
    CNADriverLockFrame clFrame;
    stEntered.set_value();
    stMayLeave.get_future().wait();
  });
  stEntered.get_future().wait();
  EXPECT_FALSE(FreeForOthers());
  stMayLeave.set_value();
  clHolder.join();
  EXPECT_TRUE(FreeForOthers());
}

TEST(DriverLockSpan, ALockIsMadeOnceAndAFrameWithoutOneRunsItsBodyUnlocked) {
  EXPECT_FALSE(CNADriverLock::g_bExists());
  EXPECT_EQ(NA_bLocked([] { return 3; }), 3);
  ASSERT_EQ(CNADriverLock::g_bCreate(), 1);
  ASSERT_EQ(CNADriverLock::g_bCreate(), 1);  // the same lock again
  EXPECT_TRUE(CNADriverLock::g_bExists());
  CNADriverLock::g_Destroy();
  EXPECT_FALSE(CNADriverLock::g_bExists());
  CNADriverLock::g_Destroy();  // nothing left to destroy
  // A new span makes a new lock that works as the first did.
  ASSERT_EQ(CNADriverLock::g_bCreate(), 1);
  NA_bLocked([] {
    EXPECT_FALSE(FreeForOthers());
    return 0;
  });
  EXPECT_TRUE(FreeForOthers());
  CNADriverLock::g_Destroy();
}

}  // namespace
