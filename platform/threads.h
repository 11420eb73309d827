// Win32 and C runtime thread functions over pthreads.
//
// A thread id is the pthread_t of the thread. _beginthread's threads are
// detached; those of _beginthreadex and CreateThread are joinable, and the
// caller joins them (pthread_join on the id) or detaches them. A stack size
// of 0 takes the default; a size below the system's minimum is raised to it
// (pthreads refuses smaller stacks). Failures go to errno.
// Threads: safe from any thread.
#ifndef KQ230_PLATFORM_THREADS_H_
#define KQ230_PLATFORM_THREADS_H_

#include <cstdint>

// A detached thread running pfn(pArgument); the thread id, or -1 with errno
// set to the error.
uintptr_t _beginthread(void* (*pfn)(void*), unsigned int nStackSize, void* pArgument);
// A joinable thread; *pnThreadId (when given) receives the id, 0 on failure.
// Answers the id, or 0 with errno set. The security argument and the
// creation flags are not used.
uintptr_t _beginthreadex(void* pSecurity, unsigned int nStackSize, void* (*pfn)(void*),
                         void* pArgument, unsigned int dwFlags, unsigned long* pnThreadId);
uintptr_t CreateThread(void* pSecurity, unsigned int nStackSize, void* (*pfn)(void*), void* pArgument,
                       unsigned int dwFlags, unsigned long* pnThreadId);
// pthread_setschedparam with SCHED_OTHER and the priority; 1, or 0 with
// errno set to the error (SCHED_OTHER accepts only priority 0).
int SetThreadPriority(unsigned long nThreadId, int nPriority);

#endif  // KQ230_PLATFORM_THREADS_H_
