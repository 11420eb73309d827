// The main of every test program: gtest, plus the leak checks (per test, and
// over the whole program once every cache is released), and the sanitizer
// defaults that every test program carries (so that a program run by
// hand behaves as under CTest; ASAN_OPTIONS and UBSAN_OPTIONS still override).
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "tests/support/lasting_state.h"
#include "tests/support/leak_check.h"
#include "tests/support/program_end.h"

int main(int argc, char** argv) {
  // Nothing may depend on the machine's locales: pin the C locale.
  std::setlocale(LC_ALL, "C");
#ifdef KQ_LEAK_CHECK_REPEAT
  // The leak check judges the second run of each test.
  if (std::getenv("GTEST_REPEAT") == nullptr) GTEST_FLAG_SET(repeat, 2);
#endif
  testing::InitGoogleTest(&argc, argv);
  kqtest::InstallLeakCheck();
  kqtest::PrepareLastingState();
  kqtest::MarkProgramStart();
  const int nResult = RUN_ALL_TESTS();
  // The tests' caches first: they may hold what the product made for them.
  kqtest::RunProgramEndReleases();
  kqtest::ReleaseLastingState();
  const bool bProgramLeaked = kqtest::bProgramLeaked();
  return nResult != 0 || kqtest::bLeakFound() || bProgramLeaked ? 1 : nResult;
}

// A failed allocation answers null, as the C library does: the code under
// test must handle it, and tests provoke it. LeakSanitizer cannot stop the
// world under qemu's user-mode emulator and would hang the program at exit;
// the checks of leak_check.h find leaks there instead.
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() {
#ifdef KQ_NO_LEAK_SANITIZER
  // A small quarantine too: under qemu a large ASan heap can be mapped where
  // its shadow memory cannot describe it.
  return "detect_leaks=0:allocator_may_return_null=1:detect_odr_violation=0:quarantine_size_mb=64";
#else
  return "detect_leaks=1:allocator_may_return_null=1:detect_odr_violation=0";
#endif
}

extern "C" __attribute__((visibility("default"))) const char* __ubsan_default_options() {
  return "print_stacktrace=1:halt_on_error=1";
}
