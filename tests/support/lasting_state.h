// What the code under test keeps for the whole process, made before and given
// back after the tests, around the end-of-program leak balance (leak_check.h).
//
// The product: each thread's iconv descriptors of the code-page conversions
// are closed at the thread's end, the main thread's only after main returns:
// they are closed here (ReleaseThreadConverters). Only what a test program
// links is released: the product's entry point is referenced weakly, so that
// a program without the conversions neither links nor calls it. The module's
// binding to the server (memory recyclers, services, numbered-message
// resources) ends with Execution(4875), which every test that starts the
// module calls; the driver library is unloaded by CHostHarness.
//
// The stand-in server (kq230vm.so), wherever it is loaded (the host harness
// and some tests load it before main, so that the library itself counts in
// the start): the objects it makes at their first use are made before the
// start, and its log and the memory of its empty sets are given back at the
// end (its Reset).
// Threads: the test main's thread, before and after the tests.
#ifndef KQ230_TESTS_SUPPORT_LASTING_STATE_H_
#define KQ230_TESTS_SUPPORT_LASTING_STATE_H_

namespace kqtest {

// Makes now what lasts for the process once made, so that it counts in the
// start: the main thread's (empty) set of iconv descriptors, whose making
// registers it with the C library's list of thread_local destructors until
// exit, and the stand-in's objects made at first use.
void PrepareLastingState();

// Gives back what the product and the stand-in keep for the process. Both
// stay usable: what they need again, they make again.
void ReleaseLastingState();

}  // namespace kqtest

#endif  // KQ230_TESTS_SUPPORT_LASTING_STATE_H_
