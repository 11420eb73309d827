#include "host/harness/host_harness.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

std::string DlError(const char* pszWhat, const char* pszPath) {
  const char* pszError = dlerror();
  return std::string(pszWhat) + " " + pszPath + ": " + (pszError ? pszError : "unknown error");
}

// The server loads its virtual-machine library once and keeps it for the
// life of the process; so does the stand-in. Loading it before main also keeps
// its lasting state (log, services) out of any one test's leak balance.
void* LoadVMOnce(const char* pszPath, std::string* pstrError) {
  static void* hVM = nullptr;
  static std::string strPath;
  if (hVM != nullptr && strPath == pszPath) return hVM;
  void* h = dlopen(pszPath, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (h == nullptr) {
    *pstrError = DlError("cannot load", pszPath);
    return nullptr;
  }
  auto pfnControl = reinterpret_cast<PFNSTANDINGETCONTROL>(dlsym(h, "StandIn_pGetControl"));
  if (pfnControl == nullptr) {
    *pstrError = DlError("no control panel in", pszPath);
    return nullptr;
  }
  pfnControl()->Reset();
  hVM = h;
  strPath = pszPath;
  return hVM;
}

const bool gbVMPreloaded = [] {
  std::string strIgnored;
  return LoadVMOnce(CHostHarness::pszDefaultVMPath(), &strIgnored) != nullptr;
}();

}  // namespace

CHostHarness::~CHostHarness() {
  UnloadDriver();
  if (m_pControl != nullptr) m_pControl->Reset();
}

const char* CHostHarness::pszDefaultDriverPath() {
  const char* psz = std::getenv("KQ_DRIVER_PATH");
  return psz && *psz ? psz : KQ_DEFAULT_DRIVER_PATH;
}

const char* CHostHarness::pszDefaultVMPath() {
  const char* psz = std::getenv("KQ_VM_PATH");
  return psz && *psz ? psz : KQ_DEFAULT_VM_PATH;
}

bool CHostHarness::bLoad(std::string* pstrError, const char* pszDriverPath,
                         const char* pszVMPath) {
  if (pszDriverPath == nullptr) pszDriverPath = pszDefaultDriverPath();
  if (pszVMPath == nullptr) pszVMPath = pszDefaultVMPath();
  std::string strError;
  if (m_hVM == nullptr) {
    m_hVM = LoadVMOnce(pszVMPath, &strError);
    if (m_hVM != nullptr)
      m_pControl =
          reinterpret_cast<PFNSTANDINGETCONTROL>(dlsym(m_hVM, "StandIn_pGetControl"))();
  }
  if (strError.empty() && m_hDriver == nullptr) {
    m_hDriver = dlopen(pszDriverPath, RTLD_NOW | RTLD_LOCAL);
    if (m_hDriver == nullptr) strError = DlError("cannot load", pszDriverPath);
  }
  if (strError.empty()) {
    m_pfnExecution = reinterpret_cast<int (*)(unsigned int, void*)>(dlsym(m_hDriver, "Execution"));
    m_pfnCommandeComposante =
        reinterpret_cast<int (*)(int, void*)>(dlsym(m_hDriver, "CommandeComposante"));
    if (m_pfnExecution == nullptr || m_pfnCommandeComposante == nullptr)
      strError = std::string("the driver does not export Execution and CommandeComposante");
    m_pfnCheckVersion = reinterpret_cast<int (*)()>(dlsym(m_hDriver, "CheckVersion"));
    m_pfnDLLCompatible =
        reinterpret_cast<int (*)(int, unsigned int, int*)>(dlsym(m_hDriver, "bDLLCompatible"));
    m_pfnExternalInitLibrary =
        reinterpret_cast<int (*)(HINSTANCE)>(dlsym(m_hDriver, "bExternalInitLibrary"));
    m_pfnQueryInterface = reinterpret_cast<INADriver* (*)()>(dlsym(m_hDriver, "piQueryInterface"));
    m_pfnExternalTermLibrary = reinterpret_cast<int (*)()>(dlsym(m_hDriver, "ExternalTermLibrary"));
  }
  if (!strError.empty()) {
    if (pstrError) *pstrError = strError;
    return false;
  }
  m_pControl->Reset();
  return true;
}

void CHostHarness::UnloadDriver() {
  if (m_hDriver != nullptr) dlclose(m_hDriver);
  m_hDriver = nullptr;
  m_pfnExecution = nullptr;
  m_pfnCommandeComposante = nullptr;
  m_pfnCheckVersion = nullptr;
  m_pfnDLLCompatible = nullptr;
  m_pfnExternalInitLibrary = nullptr;
  m_pfnQueryInterface = nullptr;
  m_pfnExternalTermLibrary = nullptr;
}

void* CHostHarness::pSymbol(const char* pszName) const {
  return m_hDriver ? dlsym(m_hDriver, pszName) : nullptr;
}

int CHostHarness::nExecution(unsigned int nCode, void* pArgument) const {
  return m_pfnExecution(nCode, pArgument);
}

int CHostHarness::nCommandeComposante(int nCode, void* pArgument) const {
  return m_pfnCommandeComposante(nCode, pArgument);
}

int CHostHarness::nStart(uint32_t nRecordSize, ILibShop* piLibShop, uint32_t nUsage1,
                         uint32_t nUsage2) const {
  _stModuleInitRecord stFull = {nRecordSize, reinterpret_cast<HINSTANCE>(m_hVM), nUsage1, nUsage2,
                                piLibShop};
  // Exactly the announced size, so that ASan sees any read past it.
  std::unique_ptr<unsigned char[]> pRecord(new unsigned char[nRecordSize]);
  std::memcpy(pRecord.get(), &stFull, nRecordSize < sizeof stFull ? nRecordSize : sizeof stFull);
  return nExecution(MODULE_CODE_INIT, pRecord.get());
}

int CHostHarness::nStartWithHandle(void* hVM) const {
  _stModuleInitRecord stRecord = {sizeof stRecord, reinterpret_cast<HINSTANCE>(hVM), 0, 0, nullptr};
  return nExecution(MODULE_CODE_INIT, &stRecord);
}

int CHostHarness::nStop() const { return nExecution(MODULE_CODE_TERM, nullptr); }

bool CHostHarness::bHasNativeAccessExports() const {
  return m_pfnCheckVersion != nullptr && m_pfnDLLCompatible != nullptr &&
         m_pfnExternalInitLibrary != nullptr && m_pfnQueryInterface != nullptr &&
         m_pfnExternalTermLibrary != nullptr;
}

int CHostHarness::nCheckVersion() const { return m_pfnCheckVersion ? m_pfnCheckVersion() : 0; }

int CHostHarness::bDLLCompatible(int nKind, unsigned int nPartnerVersion,
                                 int* pnOwnVersion) const {
  return m_pfnDLLCompatible ? m_pfnDLLCompatible(nKind, nPartnerVersion, pnOwnVersion) : 0;
}

int CHostHarness::bExternalInitLibrary() const {
  return m_pfnExternalInitLibrary
             ? m_pfnExternalInitLibrary(reinterpret_cast<HINSTANCE>(m_hDriver))
             : 0;
}

INADriver* CHostHarness::piQueryInterface() const {
  return m_pfnQueryInterface ? m_pfnQueryInterface() : nullptr;
}

int CHostHarness::nExternalTermLibrary() const {
  return m_pfnExternalTermLibrary ? m_pfnExternalTermLibrary() : 0;
}

INADriver* CHostHarness::piStartNativeAccess(std::string* pstrError) const {
  std::string strIgnored;
  if (pstrError == nullptr) pstrError = &strIgnored;
  if (!bHasNativeAccessExports()) {
    *pstrError = "the driver lacks a native-access export";
    return nullptr;
  }
  // The server's own interface versions: the database engine and the parser.
  constexpr unsigned int kServerVersion = 36;
  if (nCheckVersion() != 23) {
    *pstrError = "CheckVersion does not answer 23";
    return nullptr;
  }
  bExternalInitLibrary();
  int nOwn = 0;
  if (!bDLLCompatible(7, kServerVersion, &nOwn) || !bDLLCompatible(28, kServerVersion, &nOwn)) {
    *pstrError = "bDLLCompatible refused the server's modules";
    nExternalTermLibrary();
    return nullptr;
  }
  if (!nStart()) {
    *pstrError = "Execution(3985) refused the start";
    nExternalTermLibrary();
    return nullptr;
  }
  typedef int (*PFNBINDVALUES)(void* hLibrary, int nVersion, int nCompat);
  for (const char* pszName : {"bInitVXConvFromVM", "bInitVXCalcFromVM"}) {
    auto pfnBind = reinterpret_cast<PFNBINDVALUES>(pSymbol(pszName));
    if (pfnBind != nullptr) pfnBind(m_hVM, 2, 2);
  }
  INADriver* piDriver = piQueryInterface();
  if (piDriver == nullptr) {
    *pstrError = "piQueryInterface answered null";
    nExternalTermLibrary();
    nStop();
    return nullptr;
  }
  piDriver->bSetVMAndLibShop(m_pControl->piGetLibShop(0), nullptr);
  piDriver->bSetZB(m_pControl->piGetZBForNA());
  return piDriver;
}

int CHostHarness::nStopNativeAccess(INADriver* piDriver) const {
  if (piDriver != nullptr) piDriver->nExternalRelease();
  const int nTerm = nExternalTermLibrary();
  nStop();
  return nTerm;
}

std::string CHostHarness::strLog() const {
  std::string str;
  const int n = m_pControl->nGetLogCount();
  for (int i = 0; i < n; ++i) {
    int nCode;
    intptr_t nArgument;
    m_pControl->bGetLogEntry(i, &nCode, &nArgument);
    if (!str.empty()) str += ' ';
    str += std::to_string(nCode);
    if (nCode == VM_CODE_SERVICE) str += ':' + std::to_string(nArgument);
  }
  return str;
}
