// Runs a piece of a test in a forked child, so that what it changes for the
// whole process (standard input and error, the working directory, loaded
// libraries, reaped children) stays out of the test program.
//
// The child's result is its exit code: 0 for success, any other value names
// the check that failed (the test compares it). A child that dies by a signal
// gives 1000 + the signal.
// Threads: call from the test's thread; the child runs only the function.
#ifndef KQ230_TESTS_PLATFORM_CHILD_PROCESS_H_
#define KQ230_TESTS_PLATFORM_CHILD_PROCESS_H_

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace kqtest {

inline int RunInChild(const std::function<int()>& fn) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    const int n = fn();
    std::fflush(nullptr);
    _exit(n);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  if (WIFSIGNALED(status)) return 1000 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

}  // namespace kqtest

#endif  // KQ230_TESTS_PLATFORM_CHILD_PROCESS_H_
