// Processes started and waited for, each in a forked sub-test: exit codes, a
// child ended by a signal, a time-out, a program that does not exist, a child
// that never ends; and the splitting of command lines.
#include "platform/processes.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <time.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "tests/platform/child_process.h"

namespace {

using kqtest::RunInChild;

long long ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since)
      .count();
}

TEST(CommandLine, WordsSplitAtWhiteSpaceOutsideQuotes) {
  struct Case { const wchar_t* line; std::vector<std::wstring> words; };
  const Case cases[] = {
      {L"", {}},
      {L"   ", {}},
      {L"prog a b", {L"prog", L"a", L"b"}},
      {L"  prog\t a  ", {L"prog", L"a"}},
      {L"\"/my dir/prog\" arg", {L"/my dir/prog", L"arg"}},
      {L"a\"b c\"d e", {L"ab cd", L"e"}},
      {L"\"unclosed word", {L"\"unclosed word"}},
      {L"\"a\"b\"c d", {L"a\"bc", L"d"}},
      {L"say \\\"hi there", {L"say", L"\\\"hi", L"there"}},
      {L"\"\" x", {L"x"}},
      {L"\"a b  \" c", {L"a b", L"c"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.line)));
    EXPECT_EQ(SplitCommandLine(c.line), c.words);
  }
  EXPECT_TRUE(SplitCommandLine(nullptr).empty());
}

TEST(Processes, WaitingGivesTheChildsExitCode) {
  EXPECT_EQ(RunInChild([] {
              struct Case { const wchar_t* app; const wchar_t* line; int result, code; };
              const Case cases[] = {
                  {L"/bin/sh", L"-c \"exit 0\"", 1, 0},
                  {L"/bin/sh", L"-c \"exit 3\"", 1, 3},
                  {nullptr, L"/bin/sh -c \"exit 42\"", 1, 42},
                  {nullptr, L"/bin/sh -c \"exit 255\"", 0, 255},
              };
              int n = 10;
              for (const Case& c : cases) {
                int pid = 0, running = -1, code = -1;
                if (CreateProcess(c.app, c.line, &pid, 1, &running, &code) != c.result) return n;
                if (pid <= 0 || running != 0 || code != c.code) return n + 1;
                n += 10;
              }
              return 0;
            }),
            0);
}

TEST(Processes, ChildKilledBySignalIsAFailure) {
  EXPECT_EQ(RunInChild([] {
              int pid = 0, running = -1, code = -1;
              if (CreateProcess(L"/bin/sh", L"-c \"kill -9 $$\"", &pid, 1, &running, &code) != 0) return 1;
              if (running != 0) return 2;
              return code == 128 + SIGKILL ? 0 : 3;
            }),
            0);
}

TEST(Processes, ChildThatOutlivesTheWaitIsStillRunningAndCanBeEnded) {
  EXPECT_EQ(RunInChild([] {
              const auto start = std::chrono::steady_clock::now();
              int pid = 0, running = -1, code = -1;
              // exec: SIGTERM reaches the sleeping program itself, not a shell
              // that would leave it behind holding the test's output open.
              if (CreateProcess(L"/bin/sh", L"-c \"exec sleep 30\"", &pid, 1, &running, &code) != 1) return 1;
              if (running != 1) return 2;
              const long long ms = ElapsedMs(start);
              if (ms < 900 || ms > 10000) return 3;
              if (WaitPid(pid, 0, &code) != 0) return 4;  // one look, no wait
              const auto before = std::chrono::steady_clock::now();
              if (WaitPid(pid, 150, &code) != 0) return 5;
              if (ElapsedMs(before) < 140) return 6;
              if (!TerminateProcess(pid)) return 7;
              int status = -1;
              if (WaitPid(pid, kWaitForever, &status) != pid) return 8;
              return status == 128 + SIGTERM ? 0 : 9;
            }),
            0);
}

TEST(Processes, StartingWithoutWaitingAnswersAtOnce) {
  EXPECT_EQ(RunInChild([] {
              int pid = 0;
              if (CreateProcess(nullptr, L"/bin/sh -c \"exit 7\"", &pid, 0, nullptr, nullptr) != 1) return 1;
              int status = -1;
              if (WaitPid(pid, 20000, &status) != pid) return 2;
              return status == 7 ? 0 : 3;
            }),
            0);
}

TEST(Processes, WaitingNeedsNoAlarmSignal) {
  // Waiting must not use SIGALRM: without a handler the signal would end the
  // process. The disposition stays the default one.
  EXPECT_EQ(RunInChild([] {
              signal(SIGALRM, SIG_DFL);
              int pid = 0, running = -1, code = -1;
              if (CreateProcess(L"/bin/sh", L"-c \"sleep 2\"", &pid, 1, &running, &code) != 1) return 1;
              if (running != 1) return 2;
              int status = -1;
              if (WaitPid(pid, 20000, &status) != pid || status != 0) return 3;
              struct sigaction sa;
              sigaction(SIGALRM, nullptr, &sa);
              return sa.sa_handler == SIG_DFL ? 0 : 4;
            }),
            0);
}

TEST(Processes, ProgramThatDoesNotExistFails) {
  EXPECT_EQ(RunInChild([] {
              int pid = 12345;
              errno = 0;
              if (CreateProcess(L"/nonexistent/program", L"x", &pid, 1, nullptr, nullptr) != 0) return 1;
              if (errno != ENOENT || pid != 12345) return 2;  // no child was made
              int code = -1;
              if (CreateProcess(nullptr, L"/nonexistent/program arg", &pid, 1, nullptr, &code) != 0) return 3;
              if (code != kExecFailedExitCode) return 4;
              errno = 0;
              if (CreateProcess(nullptr, L"   ", &pid, 1, nullptr, nullptr) != 0 || errno != EINVAL) return 5;
              return 0;
            }),
            0);
}

TEST(Processes, EnvironmentReachesTheChild) {
  EXPECT_EQ(RunInChild([] {
              setenv("KQ_CHILD_CODE", "23", 1);
              int code = -1;
              if (CreateProcess(L"/bin/sh", L"-c \"exit $KQ_CHILD_CODE\"", nullptr, 1, nullptr, &code) != 1)
                return 1;
              return code == 23 ? 0 : 2;
            }),
            0);
}

TEST(Processes, WaitingForAProcessThatIsNoChildFails) {
  int status = 77;
  errno = 0;
  EXPECT_EQ(WaitPid(1, 100, &status), -1);
  EXPECT_EQ(errno, ECHILD);
  EXPECT_EQ(status, 77);
}

TEST(Processes, TerminateRefusesPidsThatNameGroups) {
  errno = 0;
  EXPECT_FALSE(TerminateProcess(0));
  EXPECT_FALSE(TerminateProcess(-1));  // kill(-1) would reach every process of the user
  EXPECT_EQ(errno, EINVAL);
}

TEST(Processes, AlarmHandlerIsInstalledOnRequest) {
  EXPECT_EQ(RunInChild([] {
              InitAlarmHandler(nullptr);
              alarm(1);
              struct timespec ts = {5, 0};
              const int r = nanosleep(&ts, &ts);  // interrupted, not restarted
              return r == -1 && errno == EINTR ? 0 : 1;
            }),
            0);
}

}  // namespace
