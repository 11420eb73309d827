// ProgramEndRelease: how a cache that lasts for the whole test program is
// given back before the end-of-program leak balance (leak_check.h).
//
// A test helper that keeps something for the life of the program (iconv
// descriptors, a library kept loaded, a table of bound entries) declares one
// ProgramEndRelease with the function that releases it. A support library that
// links a part of the product registers that part's release entry points the
// same way, so that a test program calls exactly those it links. The test main
// runs every registered release after the last test and before it compares the
// sanitizer's allocator with the start of the program.
//
// A release leaves its cache empty and usable: the same helper may fill it
// again (gtest's repeat runs all tests again in the same program).
//
// Ownership: the registry links the objects themselves and allocates nothing,
// so registering during a test costs that test's balance nothing. Each object
// must have static storage duration (namespace scope, or a static inside the
// helper that fills the cache); it unlinks itself when destroyed.
// Threads: registration and unlinking are guarded by a lock; the releases run
// on the thread of the test main, after the tests and their threads ended.
#ifndef KQ230_TESTS_SUPPORT_PROGRAM_END_H_
#define KQ230_TESTS_SUPPORT_PROGRAM_END_H_

namespace kqtest {

class ProgramEndRelease {
 public:
  // REQUIRES: pfnRelease is not null and may run more than once.
  explicit ProgramEndRelease(void (*pfnRelease)());
  ~ProgramEndRelease();

  ProgramEndRelease(const ProgramEndRelease&) = delete;
  ProgramEndRelease& operator=(const ProgramEndRelease&) = delete;

 private:
  friend void RunProgramEndReleases();

  void (*m_pfnRelease)();
  ProgramEndRelease* m_pNext = nullptr;
};

// Runs every registered release, the last registered first (a cache filled
// later may rest on one filled earlier). The registrations stay: a second call
// releases again whatever was filled since.
void RunProgramEndReleases();

}  // namespace kqtest

#endif  // KQ230_TESTS_SUPPORT_PROGRAM_END_H_
