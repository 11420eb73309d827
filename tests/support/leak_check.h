// A per-test leak check for builds under AddressSanitizer.
//
// LeakSanitizer stops the process's threads through ptrace, which qemu's user-
// mode emulator (where the i386 tests run on kernels without 32-bit support)
// does not offer. This check needs no ptrace: it compares the bytes that the
// sanitizer's allocator holds before and after each test, and fails the run
// when a test leaves more behind. It covers every heap block of the process,
// those of dlopen'ed libraries included.
//
// It judges the second and later runs of each test (sanitized test programs
// run every test twice unless told otherwise): the first run fills the
// caches that last for the whole process by design. A real leak grows on
// every run. In builds without ASan it does nothing.
#ifndef KQ230_TESTS_SUPPORT_LEAK_CHECK_H_
#define KQ230_TESTS_SUPPORT_LEAK_CHECK_H_

#include <gtest/gtest.h>

namespace kqtest {

// Installs the check as a gtest listener. Answers true when the build can
// check (ASan is present).
bool InstallLeakCheck();

// True once a test leaked; the test main then exits non-zero.
bool bLeakFound();

}  // namespace kqtest

#endif  // KQ230_TESTS_SUPPORT_LEAK_CHECK_H_
