#include "tests/support/program_end.h"

#include <mutex>

namespace kqtest {
namespace {

// Constant-initialised, so that a registration made while other translation
// units are initialised finds them ready.
constinit std::mutex gRegistryLock;
constinit ProgramEndRelease* gpFirst = nullptr;

}  // namespace

ProgramEndRelease::ProgramEndRelease(void (*pfnRelease)()) : m_pfnRelease(pfnRelease) {
  std::lock_guard<std::mutex> lock(gRegistryLock);
  m_pNext = gpFirst;
  gpFirst = this;
}

ProgramEndRelease::~ProgramEndRelease() {
  std::lock_guard<std::mutex> lock(gRegistryLock);
  for (ProgramEndRelease** pp = &gpFirst; *pp != nullptr; pp = &(*pp)->m_pNext) {
    if (*pp == this) {
      *pp = m_pNext;
      break;
    }
  }
}

void RunProgramEndReleases() {
  // The list is walked without the lock held: a release may fill nothing new,
  // but it may call code that registers (a helper's first use), and the lock
  // is not recursive. The tests' threads have ended by now.
  ProgramEndRelease* p;
  {
    std::lock_guard<std::mutex> lock(gRegistryLock);
    p = gpFirst;
  }
  for (; p != nullptr; p = p->m_pNext) p->m_pfnRelease();
}

}  // namespace kqtest
