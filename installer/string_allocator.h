// CStrMemAlloc: the setup program's own allocator of counted string buffers.
// The driver borrows the application server's allocator; the setup program
// runs without a server, so it brings one of its own and installs it in the
// framework's slot (CInformationModule::ms_piStrMemAlloc) for its run.
//
// Buffers: the 16-byte header (kq230/host_services.h), the capacity rounded
// up to whole 4-byte characters, then four zero bytes; the first character
// is zero in a new buffer. Failures answer 8 (not enough memory) and leave
// the caller's pointer as it was.
//
// Ownership: one instance for the process, made by s_pclInit and destroyed
// by s_Term; buffers are malloc blocks freed on their last release.
// Threads: no state besides the instance; malloc is thread-safe.
#ifndef KQ230_INSTALLER_STRING_ALLOCATOR_H_
#define KQ230_INSTALLER_STRING_ALLOCATOR_H_

#include "kq230/host_services.h"

class CStrMemAlloc final : public IStrMemAlloc {
 public:
  static constexpr int kNoMemory = 8;

  // The process's instance, made on the first call; null when memory ran out.
  static CStrMemAlloc* s_pclInit();
  // Destroys the instance (the slot must have been cleared first).
  static void s_Term();

  // Puts the instance into the framework's slot, or clears the slot.
  static void s_Install(CStrMemAlloc* pclAllocator);

  int vnGetVersionIStrMemAlloc() override { return 1; }
  int vnAllocStrMem(unsigned char** ppData, unsigned int nBytes) override;
  int vnReallocStrMem(unsigned char** ppData, unsigned int nBytes) override;
  void vReleaseStrMem(unsigned char* pData) override;
  int vnAllocStrMemEx(unsigned char** ppData, unsigned int nBytes, unsigned int dwFlags) override;
  int vnReallocStrMemEx(unsigned char** ppData, unsigned int nBytes, unsigned int dwFlags) override;

 private:
  CStrMemAlloc() = default;
  ~CStrMemAlloc() = default;
  static CStrMemAlloc* s_pclInstance;
};

#endif  // KQ230_INSTALLER_STRING_ALLOCATOR_H_
