// Win32 process functions over POSIX: start a program (fork and execve), wait
// for it, end it; and the splitting of a Windows-style command line into the
// argument vector.
//
// Waiting polls waitpid with WNOHANG and sleeps between polls (nanosleep): no
// signal is involved, so a host without a SIGALRM handler survives a wait and
// a threaded host loses no signal to another thread. Everything the child
// needs (program path, argument vector) is built before fork, so that the
// child of a threaded host only calls execve and _exit.
//
// Exit codes: a child that exits gives its exit status (0 to 255); a child
// ended by a signal gives 128 + the signal number and counts as a failure.
// Failures go to errno in the Win32 manner, never to an error object.
//
// Threads: no state of their own; waiting reaps the child, so only one
// thread should wait for a given child.
#ifndef KQ230_PLATFORM_PROCESSES_H_
#define KQ230_PLATFORM_PROCESSES_H_

#include <string>
#include <vector>

// WaitPid's timeout that never ends.
inline constexpr unsigned int kWaitForever = 0xFFFFFFFFu;
// The exit code of a child whose execve failed.
inline constexpr int kExecFailedExitCode = 255;

// Starts a program. pszApplication (may be null) is the program's path; the
// command line is split into words (SplitCommandLine). The argument vector is
// the application path (when given) followed by every word; without an
// application path the program is the first word (no search in PATH).
// *pnPid (when given) receives the child's pid (-1 when fork failed).
// Without bWait: 1 once the child is started. With bWait: WaitPid(pid, 1000);
// *pbRunning (when given) becomes 1 when the child is still running, and the
// answer is 1; otherwise *pnExitCode (when given) receives the exit code and
// the answer is 1 unless the child failed (exit code 255: the program could
// not be run) or was ended by a signal.
// 0 without a child: an application path that is not executable (errno from
// access), an empty command without application path (EINVAL), memory
// refused, fork failed.
int CreateProcess(const wchar_t* pszApplication, const wchar_t* pszCommandLine, int* pnPid, int bWait,
                  int* pbRunning, int* pnExitCode);

// Waits up to nTimeoutMs milliseconds (0: one look, kWaitForever: no limit)
// for the child to end. Answers the pid when it ended (*pnStatus, when given,
// receives its exit code as above), 0 while it still runs, -1 when waitpid
// fails (not a child of ours; errno set).
int WaitPid(int nPid, unsigned int nTimeoutMs, int* pnStatus);

// Installs pfnHandler (a handler that does nothing when null) for SIGALRM and
// makes the signal interrupt system calls. The process functions above no
// longer need it; it stays for callers that use alarm themselves.
void InitAlarmHandler(void (*pfnHandler)(int));

// SIGTERM to the process; true when sent. A pid of 0 or below is refused
// (false, errno EINVAL): kill would take it as a process group, or every
// process of the user.
int TerminateProcess(int nPid);

// The words of a command line: leading white space skipped; a word ends at
// the first white space that does not lie between its first and second
// counted quote (a double quote at the start of the word, or not preceded by
// a backslash; a third takes the place of the second); the word's first and
// last counted quotes are removed (a single unclosed quote stays); trailing
// white space is removed and empty words are dropped.
std::vector<std::wstring> SplitCommandLine(const wchar_t* pszCommandLine);

#endif  // KQ230_PLATFORM_PROCESSES_H_
