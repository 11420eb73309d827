#include "platform/processes.h"

#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cwctype>
#include <memory>
#include <new>

#include "core/unicode.h"

extern char** environ;

namespace {

std::string ToUTF8(const std::wstring& s) {
  std::string out(static_cast<size_t>(UTF8ByteLen(s.c_str())), '\0');
  WideToUTF8(out.data(), s.c_str());
  return out;
}

int ExitCodeOf(int nWaitStatus) {
  if (WIFEXITED(nWaitStatus)) return WEXITSTATUS(nWaitStatus);
  if (WIFSIGNALED(nWaitStatus)) return 128 + WTERMSIG(nWaitStatus);
  return 0;
}

void SleepMs(unsigned int nMs) {
  struct timespec ts = {static_cast<time_t>(nMs / 1000), static_cast<long>(nMs % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

unsigned long long NowMs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<unsigned long long>(ts.tv_sec) * 1000ULL + static_cast<unsigned long long>(ts.tv_nsec) / 1000000ULL;
}

void IgnoreSignal(int) {}

}  // namespace

std::vector<std::wstring> SplitCommandLine(const wchar_t* pszCommandLine) {
  std::vector<std::wstring> words;
  if (pszCommandLine == nullptr) return words;
  const wchar_t* p = pszCommandLine;
  for (;;) {
    while (*p != 0 && std::iswspace(static_cast<wint_t>(*p))) ++p;
    if (*p == 0) break;
    const wchar_t* pStart = p;
    int nQuotes = 0;
    size_t nFirst = 0, nLast = 0;
    for (; *p != 0; ++p) {
      if (*p == L'"' && (p == pStart || p[-1] != L'\\')) {
        if (nQuotes == 0) {
          nFirst = static_cast<size_t>(p - pStart);
          nQuotes = 1;
        } else {
          nLast = static_cast<size_t>(p - pStart);
          nQuotes = 2;  // a third counted quote takes the place of the second
        }
      } else if (nQuotes != 1 && std::iswspace(static_cast<wint_t>(*p))) {
        break;
      }
    }
    std::wstring word(pStart, static_cast<size_t>(p - pStart));
    if (nQuotes == 2) {
      word.erase(nLast, 1);
      word.erase(nFirst, 1);
    }
    while (!word.empty() && std::iswspace(static_cast<wint_t>(word.back()))) word.pop_back();
    if (!word.empty()) words.push_back(std::move(word));
  }
  return words;
}

namespace {

// WaitPid, telling also whether the child was ended by a signal.
int WaitChild(int nPid, unsigned int nTimeoutMs, int* pnStatus, bool* pbSignalled) {
  const unsigned long long nStart = NowMs();
  unsigned int nStep = 1;
  for (;;) {
    int nWaitStatus = 0;
    pid_t r = waitpid(static_cast<pid_t>(nPid), &nWaitStatus, WNOHANG);
    if (r < 0 && errno == EINTR) continue;
    if (r != 0) {
      if (r > 0 && pnStatus != nullptr) *pnStatus = ExitCodeOf(nWaitStatus);
      if (r > 0 && pbSignalled != nullptr) *pbSignalled = WIFSIGNALED(nWaitStatus);
      return static_cast<int>(r);
    }
    if (nTimeoutMs == 0) return 0;
    const unsigned long long nElapsed = NowMs() - nStart;
    if (nTimeoutMs != kWaitForever && nElapsed >= nTimeoutMs) return 0;
    unsigned int nSleep = nStep;
    if (nTimeoutMs != kWaitForever && nElapsed + nSleep > nTimeoutMs) {
      nSleep = static_cast<unsigned int>(nTimeoutMs - nElapsed);
    }
    SleepMs(nSleep);
    // Short polls first (a quick child is seen at once), then up to 50 ms.
    if (nStep < 50) nStep *= 2;
  }
}

}  // namespace

int WaitPid(int nPid, unsigned int nTimeoutMs, int* pnStatus) {
  return WaitChild(nPid, nTimeoutMs, pnStatus, nullptr);
}

int CreateProcess(const wchar_t* pszApplication, const wchar_t* pszCommandLine, int* pnPid, int bWait,
                  int* pbRunning, int* pnExitCode) {
  // Everything the child needs, before fork: after fork in a threaded host
  // only async-signal-safe calls are allowed.
  std::vector<std::string> args;
  try {
    if (pszApplication != nullptr) {
      args.push_back(ToUTF8(pszApplication));
      if (access(args.back().c_str(), X_OK) != 0) return 0;
    }
    for (const std::wstring& word : SplitCommandLine(pszCommandLine)) args.push_back(ToUTF8(word));
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    return 0;
  }
  if (args.empty()) {
    errno = EINVAL;
    return 0;
  }
  std::unique_ptr<char*[]> argv(new (std::nothrow) char*[args.size() + 1]);
  if (!argv) {
    errno = ENOMEM;
    return 0;
  }
  for (size_t i = 0; i < args.size(); ++i) argv[i] = args[i].data();
  argv[args.size()] = nullptr;

  const pid_t pid = fork();
  if (pnPid != nullptr) *pnPid = static_cast<int>(pid);
  if (pid < 0) return 0;
  if (pid == 0) {
    execve(argv[0], argv.get(), environ);
    _exit(kExecFailedExitCode);
  }
  if (!bWait) return 1;

  int nLocalExit = 0;
  int* pnExit = pnExitCode != nullptr ? pnExitCode : &nLocalExit;
  *pnExit = 0;
  bool bSignalled = false;
  const int r = WaitChild(static_cast<int>(pid), 1000, pnExit, &bSignalled);
  if (pbRunning != nullptr) *pbRunning = r == 0 ? 1 : 0;
  if (r == 0) return 1;
  if (r < 0) return 0;
  return *pnExit != kExecFailedExitCode && !bSignalled ? 1 : 0;
}

void InitAlarmHandler(void (*pfnHandler)(int)) {
  struct sigaction sa = {};
  sa.sa_handler = pfnHandler != nullptr ? pfnHandler : &IgnoreSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: the signal interrupts system calls
  sigaction(SIGALRM, &sa, nullptr);
}

int TerminateProcess(int nPid) {
  if (nPid <= 0) {
    errno = EINVAL;
    return 0;
  }
  return kill(static_cast<pid_t>(nPid), SIGTERM) == 0;
}
