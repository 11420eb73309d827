// CStandInStrMemAlloc: the stand-in server's allocator of counted string
// buffers, instrumented for tests.
//
// Each buffer is one heap block: the 16-byte header, the capacity, then four
// zero bytes. The stand-in keeps the set of live buffers, so that it can count
// them, detect a release of an unknown buffer (a double release) or of one
// whose count is not 0, and refuse to free either. Freed buffers are filled
// with 0xDD first, so a use after release reads garbage even without ASan.
// An allocation can be made to fail on purpose.
//
// Threads: safe; one mutex guards the live set and the counters.
#ifndef KQ230_HOST_VM_STR_MEM_ALLOC_H_
#define KQ230_HOST_VM_STR_MEM_ALLOC_H_

#include <mutex>
#include <unordered_set>

#include "kq230/host_services.h"

class CStandInStrMemAlloc final : public IStrMemAlloc {
 public:
  int vnGetVersionIStrMemAlloc() override { return 1; }
  int vnAllocStrMem(unsigned char** ppData, unsigned int nBytes) override;
  int vnReallocStrMem(unsigned char** ppData, unsigned int nBytes) override;
  void vReleaseStrMem(unsigned char* pData) override;
  int vnAllocStrMemEx(unsigned char** ppData, unsigned int nBytes, unsigned int dwFlags) override;
  int vnReallocStrMemEx(unsigned char** ppData, unsigned int nBytes, unsigned int dwFlags) override;

  // Counters and failure setting; live buffers are kept (the set's memory is
  // given back when none is live).
  void Reset();
  int nLive();
  int nAllocations();
  int nBadReleases();
  void FailAllocationAt(int n);

 private:
  // Decides, under the lock, whether this allocation is the one to fail.
  bool bFailThisAllocation();

  std::mutex m_mutex;
  std::unordered_set<unsigned char*> m_setLive;
  int m_nAllocations = 0;
  int m_nBadReleases = 0;
  int m_nFailCountdown = 0;
};

#endif  // KQ230_HOST_VM_STR_MEM_ALLOC_H_
