#include "platform/threads.h"

#include <limits.h>
#include <pthread.h>
#include <sched.h>

#include <cerrno>

namespace {

// Starts the thread; 0 and the id, or the pthread error.
int Start(void* (*pfn)(void*), unsigned int nStackSize, void* pArgument, bool bDetached,
          pthread_t* pThread) {
  pthread_attr_t attr;
  int nError = pthread_attr_init(&attr);
  if (nError != 0) return nError;
  if (nStackSize != 0) {
    const size_t nMin = static_cast<size_t>(PTHREAD_STACK_MIN);
    const size_t n = nStackSize < nMin ? nMin : nStackSize;
    nError = pthread_attr_setstacksize(&attr, n);
  }
  if (nError == 0 && bDetached) nError = pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  if (nError == 0) nError = pthread_create(pThread, &attr, pfn, pArgument);
  pthread_attr_destroy(&attr);
  return nError;
}

}  // namespace

uintptr_t _beginthread(void* (*pfn)(void*), unsigned int nStackSize, void* pArgument) {
  pthread_t thread;
  const int nError = Start(pfn, nStackSize, pArgument, true, &thread);
  if (nError != 0) {
    errno = nError;
    return static_cast<uintptr_t>(-1);
  }
  return static_cast<uintptr_t>(thread);
}

uintptr_t _beginthreadex(void*, unsigned int nStackSize, void* (*pfn)(void*), void* pArgument,
                         unsigned int, unsigned long* pnThreadId) {
  pthread_t thread = 0;
  const int nError = Start(pfn, nStackSize, pArgument, false, &thread);
  if (nError != 0) {
    errno = nError;
    thread = 0;
  }
  if (pnThreadId != nullptr) *pnThreadId = static_cast<unsigned long>(thread);
  return static_cast<uintptr_t>(thread);
}

uintptr_t CreateThread(void* pSecurity, unsigned int nStackSize, void* (*pfn)(void*), void* pArgument,
                       unsigned int dwFlags, unsigned long* pnThreadId) {
  return _beginthreadex(pSecurity, nStackSize, pfn, pArgument, dwFlags, pnThreadId);
}

int SetThreadPriority(unsigned long nThreadId, int nPriority) {
  struct sched_param param = {};
  param.sched_priority = nPriority;
  const int nError = pthread_setschedparam(static_cast<pthread_t>(nThreadId), SCHED_OTHER, &param);
  if (nError != 0) {
    errno = nError;
    return 0;
  }
  return 1;
}
