// CHostHarness: loads the driver the way the application server does.
//
// It dlopens the stand-in virtual-machine library (kq230vm.so) and the driver
// (kq230maria.so), binds the driver's exports by name, and hands the driver
// the stand-in's handle in the start record of Execution(3985). Tests and the
// kqhost program drive the driver only through what this class binds, so that
// they see exactly what the server would.
//
// Ownership: the harness owns the driver's handle and closes it in its
// destructor, so every harness starts from a freshly loaded driver. The
// stand-in is loaded once per process and never closed, as the server keeps
// its virtual-machine library. Copies are not allowed.
// Threads: one harness per thread of test; the libraries' own rules apply.
#ifndef KQ230_HOST_HARNESS_HOST_HARNESS_H_
#define KQ230_HOST_HARNESS_HOST_HARNESS_H_

#include <cstdint>
#include <string>

#include "host/vm/standin_control.h"
#include "kq230/module_exports.h"
#include "kq230/na_driver_interface.h"

class CHostHarness {
 public:
  CHostHarness() = default;
  ~CHostHarness();

  CHostHarness(const CHostHarness&) = delete;
  CHostHarness& operator=(const CHostHarness&) = delete;

  // The libraries of this build tree.
  static const char* pszDefaultDriverPath();
  static const char* pszDefaultVMPath();

  // Loads both libraries and binds the driver's exports; on failure answers
  // false and says why in *pstrError. The stand-in's control panel is reset.
  bool bLoad(std::string* pstrError, const char* pszDriverPath = nullptr,
             const char* pszVMPath = nullptr);
  // Closes the driver (its statics go with it) and keeps the stand-in.
  void UnloadDriver();

  void* hVM() const { return m_hVM; }
  void* hDriver() const { return m_hDriver; }
  const _stStandInControl& Control() const { return *m_pControl; }

  // A driver symbol by name; null when it does not export it.
  void* pSymbol(const char* pszName) const;

  // The driver's exports.
  int nExecution(unsigned int nCode, void* pArgument) const;
  int nCommandeComposante(int nCode, void* pArgument) const;

  // Execution(3985) with a start record of exactly nRecordSize bytes (8, 12,
  // 16 or 20) on the heap, so that a read past its end is caught. hVM null
  // means the stand-in's handle.
  int nStart(uint32_t nRecordSize = sizeof(_stModuleInitRecord), ILibShop* piLibShop = nullptr,
             uint32_t nUsage1 = 0, uint32_t nUsage2 = 0) const;
  int nStartWithHandle(void* hVM) const;
  // Execution(4875).
  int nStop() const;

  // ---- The native-access exports (null answers when the driver lacks one;
  // bLoad binds them when present).
  bool bHasNativeAccessExports() const;
  int nCheckVersion() const;
  int bDLLCompatible(int nKind, unsigned int nPartnerVersion, int* pnOwnVersion) const;
  // With the driver's own handle, as the server passes it.
  int bExternalInitLibrary() const;
  INADriver* piQueryInterface() const;
  int nExternalTermLibrary() const;

  // The server's start of a native-access driver, in its order: CheckVersion,
  // bExternalInitLibrary, the handshakes of the database engine (kind 7) and
  // the SQL parser (kind 28) with version 36, Execution(3985), the value
  // bindings, piQueryInterface, then on the driver object bSetVMAndLibShop
  // and bSetZB (the stand-in's). The driver object, holding the server's one
  // reference, or null with *pstrError saying which step failed.
  INADriver* piStartNativeAccess(std::string* pstrError) const;
  // The server's stop, in its order: the driver object's nExternalRelease
  // (null: none), ExternalTermLibrary, Execution(4875). Answers what
  // ExternalTermLibrary answered.
  int nStopNativeAccess(INADriver* piDriver) const;

  // The codes of the Execution calls that the stand-in received, as
  // "code" or "code:argument" for service requests (3053:12).
  std::string strLog() const;

 private:
  void* m_hVM = nullptr;
  void* m_hDriver = nullptr;
  const _stStandInControl* m_pControl = nullptr;
  int (*m_pfnExecution)(unsigned int, void*) = nullptr;
  int (*m_pfnCommandeComposante)(int, void*) = nullptr;
  int (*m_pfnCheckVersion)() = nullptr;
  int (*m_pfnDLLCompatible)(int, unsigned int, int*) = nullptr;
  int (*m_pfnExternalInitLibrary)(HINSTANCE) = nullptr;
  INADriver* (*m_pfnQueryInterface)() = nullptr;
  int (*m_pfnExternalTermLibrary)() = nullptr;
};

#endif  // KQ230_HOST_HARNESS_HOST_HARNESS_H_
