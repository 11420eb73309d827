#include "driver/driver_lock.h"

pthread_mutex_t CNADriverLock::m_gstDriverCriticalSection;

namespace {
// Whether m_gstDriverCriticalSection holds a live mutex. Changed only by the
// library entry points, which never run concurrently with operations.
bool gbLockExists = false;
}  // namespace

int CNADriverLock::g_bCreate() {
  if (gbLockExists) return 1;
  pthread_mutexattr_t stAttr;
  if (pthread_mutexattr_init(&stAttr) != 0) return 0;
  int nResult = pthread_mutexattr_settype(&stAttr, PTHREAD_MUTEX_RECURSIVE);
  if (nResult == 0) nResult = pthread_mutex_init(&m_gstDriverCriticalSection, &stAttr);
  pthread_mutexattr_destroy(&stAttr);
  gbLockExists = nResult == 0;
  return gbLockExists ? 1 : 0;
}

void CNADriverLock::g_Destroy() {
  if (!gbLockExists) return;
  pthread_mutex_destroy(&m_gstDriverCriticalSection);
  gbLockExists = false;
}

bool CNADriverLock::g_bExists() { return gbLockExists; }

void CNADriverLock::g_Enter() {
  if (gbLockExists) pthread_mutex_lock(&m_gstDriverCriticalSection);
}

void CNADriverLock::g_Leave() {
  if (gbLockExists) pthread_mutex_unlock(&m_gstDriverCriticalSection);
}

bool CNADriverLock::g_bTryEnter() {
  if (!gbLockExists) return true;
  return pthread_mutex_trylock(&m_gstDriverCriticalSection) == 0;
}
