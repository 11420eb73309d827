// CNADriverLock: the driver's one process-wide lock, a recursive POSIX mutex,
// and the frame in which every public operation of the driver, a context or
// a table object runs.
//
// The frame: lock; run the body; whatever leaves the body (a result or an
// exception) unlocks on its way out, and an exception goes on unchanged.
// CNADriverLockFrame does this by scope, so an early return or a throw can
// never leave the lock held. The lock is recursive: operations call each
// other while holding it, and one thread may hold it many times over.
//
// Lifecycle: made by the library's module initialisation (g_bCreate),
// destroyed by its termination (g_Destroy); a new initialisation makes a new
// one. Outside that span (before the library is initialised, after it is
// terminated) there is no lock and a frame runs its body unlocked: the
// server calls nothing concurrently then (library entry points are never
// called concurrently with each other or with driver operations).
//
// Threads: Enter and Leave may be called from any thread; g_bCreate and
// g_Destroy only by the library entry points, never while an operation runs.
#ifndef KQ230_DRIVER_DRIVER_LOCK_H_
#define KQ230_DRIVER_DRIVER_LOCK_H_

#include <pthread.h>

#include <utility>

class CNADriverLock {
 public:
  // The driver lock itself; valid only while g_bExists().
  static pthread_mutex_t m_gstDriverCriticalSection;

  // Makes the recursive lock (a no-op answering 1 when it exists). 1, or 0
  // when the system refused it (then there is no lock).
  static int g_bCreate();
  // Destroys the lock; a no-op when there is none.
  // REQUIRES: no thread holds it.
  static void g_Destroy();
  static bool g_bExists();

  // Locks and unlocks once (nothing without a lock). Prefer the frame.
  static void g_Enter();
  static void g_Leave();
  // Locks when no other thread holds the lock; true then (also when there is
  // no lock). For tests that look from another thread.
  static bool g_bTryEnter();
};

// One frame of the lock, for the length of a scope.
class CNADriverLockFrame {
 public:
  CNADriverLockFrame() : m_bLocked(CNADriverLock::g_bExists()) {
    if (m_bLocked) CNADriverLock::g_Enter();
  }
  ~CNADriverLockFrame() {
    if (m_bLocked) CNADriverLock::g_Leave();
  }
  CNADriverLockFrame(const CNADriverLockFrame&) = delete;
  CNADriverLockFrame& operator=(const CNADriverLockFrame&) = delete;

 private:
  bool m_bLocked;
};

// Runs fn() in one frame of the lock and answers its result.
template <class Fn>
decltype(auto) NA_bLocked(Fn&& fn) {
  CNADriverLockFrame clFrame;
  return std::forward<Fn>(fn)();
}

#endif  // KQ230_DRIVER_DRIVER_LOCK_H_
