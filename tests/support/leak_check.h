// Leak checks for builds under AddressSanitizer: one per test, one per program.
//
// LeakSanitizer stops the process's threads through ptrace, which qemu's user-
// mode emulator (where the i386 tests run on kernels without 32-bit support)
// does not offer. These checks need no ptrace: they compare the bytes that the
// sanitizer's allocator holds (__sanitizer_get_current_allocated_bytes) at two
// moments, and fail the program when more are held at the second. They cover
// every heap block of the process, those of dlopen'ed libraries included.
//
// The per-test check judges the second and later runs of each test (sanitized
// test programs run every test twice unless told otherwise): a leak grows on
// every run, and the first run may fill caches that last for the program.
//
// The end-of-program check sees those caches too. The test main marks the
// start once gtest is set up; at the end it releases every cache of the
// product and of the tests (program_end.h, lasting_state.h) and then the C
// library's own, and the allocator must hold no more bytes than at the start.
// A cache filled in the first run of a test and never given back fails here.
//
// In builds without ASan both do nothing.
// Threads: called from the test main's thread only.
#ifndef KQ230_TESTS_SUPPORT_LEAK_CHECK_H_
#define KQ230_TESTS_SUPPORT_LEAK_CHECK_H_

#include <gtest/gtest.h>

namespace kqtest {

// Installs the per-test check as a gtest listener. Answers true when the build
// can check (ASan is present).
bool InstallLeakCheck();

// True once a test leaked; the test main then exits non-zero.
bool bLeakFound();

// Records the allocator's bytes at the start of the program.
// REQUIRES: gtest is initialised and the per-test check installed (their own
// records are part of the start), no test has run yet.
void MarkProgramStart();

// The end-of-program balance. REQUIRES: every test has run and every cache of
// the product and of the tests has been released. The libraries' own lasting
// state is released here too (the C library's iconv modules, loader tables,
// thread stacks, stdio buffers and environment; OpenSSL's initialisation), so
// nothing may use it afterwards: only the program's exit follows. Answers true, after saying how
// many bytes on stderr, when the allocator holds more than at the start. A
// program whose tests did not all pass is not judged: gtest keeps the records
// of a failure or a skip, and the failure already fails the program.
bool bProgramLeaked();

}  // namespace kqtest

#endif  // KQ230_TESTS_SUPPORT_LEAK_CHECK_H_
