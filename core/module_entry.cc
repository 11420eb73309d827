#include "core/module_entry.h"

#include <dlfcn.h>

#include <cstddef>
#include <cstring>

#include "core/memory_recycler.h"
#include "core/module_info.h"
#include "core/numbered_messages.h"
#include "kq230/module_exports.h"

IStrMemAlloc* CInformationModule::ms_piStrMemAlloc = nullptr;

IGlobalFactory* CInformationDLL::ms_piGlobalFactory = nullptr;
void* CInformationDLL::ms_piCollecteurTopo = nullptr;
IInfoLocale* CInformationDLL::ms_piInfoLocale = nullptr;
void* CInformationDLL::ms_piInformationComposante = nullptr;
int* CInformationDLL::ms_pbMultithread = nullptr;
unsigned int CInformationDLL::ms_IDThreadPrincipal = 0;
ILibShop* CInformationDLL::ms_piLibShop = nullptr;
int CInformationDLL::ms_nCodeProduitExecution = 0;
int CInformationDLL::ms_nCodeProduitReel = 0;
int CInformationDLL::ms_nLangueInterne = 12;
const wchar_t* CInformationDLL::ms_pszNomProduit = L"MORVEX";
unsigned int CInformationDLL::ms_dwOptions = 0;
unsigned int CInformationDLL::ms_dwVersionActive = 23;

int CBaseExecutionDLL::ms_nNbInitialisation = 0;
CBaseExecutionDLL* gpclExecutionDLL76 = nullptr;

int CMainCommun76::gbInitLibraryDone = 0;
HINSTANCE CMainCommun76::ghModule = nullptr;
void (*CMainCommun76::ms_pfnFreeQueryDumpRessources)() = nullptr;

namespace {

template <typename T>
T ServiceAs(intptr_t nAnswer) {
  return reinterpret_cast<T>(nAnswer);
}

// Reads the 32-bit field at nOffset of a record that announces nSize bytes;
// a field the record does not reach reads as 0. The server may pass short
// records, and reading past one is reading past its allocation.
uint32_t RecordWord(const void* pRecord, uint32_t nSize, size_t nOffset) {
  if (nSize < nOffset + sizeof(uint32_t)) return 0;
  uint32_t nWord;
  std::memcpy(&nWord, static_cast<const unsigned char*>(pRecord) + nOffset, sizeof nWord);
  return nWord;
}

void DestroySingleton() {
  delete gpclExecutionDLL76;
  gpclExecutionDLL76 = nullptr;
}

// 3985: bind on the first call, count every call.
int Initialise(const void* pRecord) {
  if (pRecord == nullptr) return 0;
  uint32_t nSize;
  std::memcpy(&nSize, pRecord, sizeof nSize);
  const HINSTANCE hVM = reinterpret_cast<HINSTANCE>(
      static_cast<uintptr_t>(RecordWord(pRecord, nSize, offsetof(_stModuleInitRecord, hVM))));
  const uint32_t nUsage1 = RecordWord(pRecord, nSize, offsetof(_stModuleInitRecord, nUsage1));
  const uint32_t nUsage2 = RecordWord(pRecord, nSize, offsetof(_stModuleInitRecord, nUsage2));
  ILibShop* const piLibShop = reinterpret_cast<ILibShop*>(static_cast<uintptr_t>(
      RecordWord(pRecord, nSize, offsetof(_stModuleInitRecord, piLibShop))));

  if (gpclExecutionDLL76 == nullptr) {
    // Every counted string goes through the allocator and every comparison
    // through the locale information, without testing the pointers: a server
    // that cannot give both cannot host the library. A failed binding leaves
    // no singleton, so that the next 3985 binds again.
    if (hVM == nullptr) return 0;
    gpclExecutionDLL76 = new CBaseExecutionDLL();
    if (!gpclExecutionDLL76->__bInitialiseInterne__INTERNE__(hVM, piLibShop) ||
        CInformationModule::ms_piStrMemAlloc == nullptr ||
        CInformationDLL::ms_piInfoLocale == nullptr) {
      DestroySingleton();
      CInformationDLL::_s_ResetServices();
      return 0;
    }
  }
  gpclExecutionDLL76->vSetUtilisation(nUsage1, nUsage2);
  ++CBaseExecutionDLL::ms_nNbInitialisation;
  return 1;
}

// 4875: counted; the last one ends the binding.
int Terminate() {
  if (CBaseExecutionDLL::ms_nNbInitialisation > 0) {
    --CBaseExecutionDLL::ms_nNbInitialisation;
    if (CBaseExecutionDLL::ms_nNbInitialisation > 0) return 1;
  }
  if (gpclExecutionDLL76 != nullptr) {
    gpclExecutionDLL76->__TermineDLLInterne__INTERNE__();
    DestroySingleton();
  }
  return 1;
}

int InitialiseDinoTypes(CXError* pclError) {
  IGlobalFactory* piFactory = CInformationDLL::ms_piGlobalFactory;
  if (piFactory == nullptr || piFactory->vnGetLevel() <= 1) return 1;
  if (gpclExecutionDLL76 == nullptr || !gpclExecutionDLL76->vbInitialiseTypeDINO(pclError)) return 2;
  return 1;
}

}  // namespace

PFNVMEXECUTION CInformationDLL::_s_InitialiseCommun(HINSTANCE hVM) {
  auto pfnExecution = reinterpret_cast<PFNVMEXECUTION>(dlsym(hVM, "Execution"));
  if (pfnExecution == nullptr) return nullptr;
  // The server's order; a service it does not have arrives as null.
  ms_piGlobalFactory = ServiceAs<IGlobalFactory*>(pfnExecution(VM_CODE_SERVICE, SERVICE_GLOBAL_FACTORY));
  ms_piCollecteurTopo = ServiceAs<void*>(pfnExecution(VM_CODE_SERVICE, SERVICE_TOPOLOGY));
  ms_piInfoLocale = ServiceAs<IInfoLocale*>(pfnExecution(VM_CODE_SERVICE, SERVICE_LOCALE));
  ms_piStrMemAlloc = ServiceAs<IStrMemAlloc*>(pfnExecution(VM_CODE_SERVICE, SERVICE_STR_MEM_ALLOC));
  ms_piInformationComposante = ServiceAs<void*>(pfnExecution(VM_CODE_SERVICE, SERVICE_COMPONENT_INFO));
  ms_pbMultithread = ServiceAs<int*>(pfnExecution(VM_CODE_SERVICE, SERVICE_MULTITHREAD_FLAG));
  ms_IDThreadPrincipal =
      static_cast<unsigned int>(pfnExecution(VM_CODE_SERVICE, SERVICE_MAIN_THREAD_ID));
  return pfnExecution;
}

void CInformationDLL::_s_ResetServices() {
  ms_piStrMemAlloc = nullptr;
  ms_piGlobalFactory = nullptr;
  ms_piCollecteurTopo = nullptr;
  ms_piInfoLocale = nullptr;
  ms_piInformationComposante = nullptr;
  ms_pbMultithread = nullptr;
  ms_IDThreadPrincipal = 0;
  ms_piLibShop = nullptr;
  ms_nCodeProduitExecution = 0;
  ms_nCodeProduitReel = 0;
  ms_nLangueInterne = 12;
  ms_pszNomProduit = L"MORVEX";
  ms_dwOptions = 0;
  ms_dwVersionActive = 23;
}

CBaseExecutionDLL::~CBaseExecutionDLL() {
  // Cached blocks must not outlive the binding that the library runs under.
  CRecycleurMemoire::s_VideTous();
}

int CBaseExecutionDLL::__bInitialiseInterne__INTERNE__(HINSTANCE hVM, ILibShop* piLibShop) {
  if (hVM == nullptr) return vbInitialiseDLL();
  m_hVM = hVM;
  PFNVMEXECUTION pfnExecution = _s_InitialiseCommun(hVM);
  if (pfnExecution == nullptr) return 0;
  m_pfnExecution = pfnExecution;

  ms_piLibShop = piLibShop != nullptr
                     ? piLibShop
                     : ServiceAs<ILibShop*>(pfnExecution(VM_CODE_SERVICE, SERVICE_LIB_SHOP));
  ms_nCodeProduitExecution = static_cast<int>(pfnExecution(VM_CODE_SERVICE, SERVICE_PRODUCT_CODE));
  ms_nCodeProduitReel = static_cast<int>(pfnExecution(VM_CODE_SERVICE, SERVICE_REAL_PRODUCT_CODE));
  ms_nLangueInterne = static_cast<int>(pfnExecution(VM_CODE_SERVICE, SERVICE_INTERNAL_LANGUAGE));
  ms_pszNomProduit = ServiceAs<const wchar_t*>(pfnExecution(VM_CODE_SERVICE, SERVICE_PRODUCT_NAME));
  ms_dwOptions = static_cast<unsigned int>(pfnExecution(VM_CODE_SERVICE, SERVICE_OPTIONS));
  const auto dwVersion =
      static_cast<unsigned int>(pfnExecution(VM_CODE_SERVICE, SERVICE_ACTIVE_VERSION));
  if (dwVersion > ms_dwVersionActive) ms_dwVersionActive = dwVersion;
  return vbInitialiseDLL();
}

void CBaseExecutionDLL::__TermineDLLInterne__INTERNE__() {
  m_bTerminating = 1;
  vTermineDLL();
}

intptr_t CBaseExecutionDLL::nExecutionVM(int nCode, intptr_t nArgument) const {
  return m_pfnExecution != nullptr ? m_pfnExecution(nCode, nArgument) : 0;
}

int CBaseExecutionDLL::s_bInitialiseMoiMeme(HINSTANCE hVM) {
  if (gpclExecutionDLL76 != nullptr) return 1;
  gpclExecutionDLL76 = new CBaseExecutionDLL();
  CBaseExecutionDLL* pcl = gpclExecutionDLL76;
  int bOk;
  if (hVM == nullptr) {
    bOk = pcl->vbInitialiseDLL();
  } else {
    pcl->m_hVM = hVM;
    pcl->m_pfnExecution = _s_InitialiseCommun(hVM);
    bOk = pcl->m_pfnExecution != nullptr && pcl->vbInitialiseDLL();
  }
  if (!bOk) {
    DestroySingleton();
    return 0;
  }
  // The library started itself: the server did not, so the end must not
  // tell it anything.
  pcl->m_bTerminating = 1;
  return 1;
}

void CBaseExecutionDLL::s_TermineDLL() {
  if (gpclExecutionDLL76 == nullptr || gpclExecutionDLL76->m_bTerminating) return;
  gpclExecutionDLL76->nExecutionVM(VM_CODE_LIBRARY_END, 0);
  DestroySingleton();
}

void CBaseExecutionDLL::s_TermineMoiMeme() { DestroySingleton(); }

intptr_t CBaseExecutionDLL::s_DechargeDLL() {
  if (gpclExecutionDLL76 == nullptr || gpclExecutionDLL76->m_bTerminating) return 0;
  return gpclExecutionDLL76->nExecutionVM(VM_CODE_LIBRARY_END, 0);
}

intptr_t CBaseExecutionDLL::s_DebutThread() {
  return gpclExecutionDLL76 ? gpclExecutionDLL76->nExecutionVM(VM_CODE_THREAD_BEGIN, 0) : 0;
}

intptr_t CBaseExecutionDLL::s_FinThread() {
  return gpclExecutionDLL76 ? gpclExecutionDLL76->nExecutionVM(VM_CODE_THREAD_END, 0) : 0;
}

int CBaseExecutionDLL::s_bRemplitPileC(int nDepth, wchar_t* pszBuffer, int nCapacity,
                                        int nOptions) {
  if (gpclExecutionDLL76 == nullptr) return 0;
  _stNativeStackRequest stRequest = {nDepth, pszBuffer, nCapacity, nOptions};
  return gpclExecutionDLL76->nExecutionVM(VM_CODE_NATIVE_STACK,
                                          reinterpret_cast<intptr_t>(&stRequest)) != 0;
}

intptr_t CBaseExecutionDLL::s_eGetModeSmartphone() {
  return gpclExecutionDLL76 ? gpclExecutionDLL76->nExecutionVM(VM_CODE_SERVICE, SERVICE_SMARTPHONE)
                            : 0;
}

intptr_t CBaseExecutionDLL::_bUtiliseNET() {
  return gpclExecutionDLL76 ? gpclExecutionDLL76->nExecutionVM(VM_CODE_SERVICE, SERVICE_DOTNET) : 0;
}

void CBaseExecutionDLL::s_InitLibShopMoiMeme() {
  if (ms_piLibShop != nullptr || gpclExecutionDLL76 == nullptr) return;
  ms_piLibShop =
      ServiceAs<ILibShop*>(gpclExecutionDLL76->nExecutionVM(VM_CODE_SERVICE, SERVICE_LIB_SHOP));
}

HINSTANCE CBaseExecutionDLL::s_hGetHinstanceVM() {
  return gpclExecutionDLL76 ? gpclExecutionDLL76->m_hVM : nullptr;
}

int ModuleEntry_nExecution(unsigned int nCode, void* pArgument) {
  switch (nCode) {
    case MODULE_CODE_INIT:
      return Initialise(pArgument);
    case MODULE_CODE_TERM:
      return Terminate();
    case MODULE_CODE_LOCALE_CHANGED:
      CInformationDLL::ms_piInfoLocale = static_cast<IInfoLocale*>(pArgument);
      return 1;
    case MODULE_CODE_LANGUAGE_CHANGED:
      if (gpclExecutionDLL76) gpclExecutionDLL76->vChangeLangue();
      return 1;
    case MODULE_CODE_INIT_DINO_TYPES:
      return InitialiseDinoTypes(static_cast<CXError*>(pArgument));
    case MODULE_CODE_DUMP_MEMORY:
      return gpclExecutionDLL76 &&
             gpclExecutionDLL76->vbDumpMemoire(static_cast<IDumpMemoire*>(pArgument));
    case MODULE_CODE_DEACTIVATE:
      if (gpclExecutionDLL76) gpclExecutionDLL76->vDesactiveApplication();
      return 1;
    case MODULE_CODE_REACTIVATE:
      if (gpclExecutionDLL76) gpclExecutionDLL76->vReactiveApplication();
      return 1;
    default:
      return 0;
  }
}

int ModuleEntry_nCommandeComposante(int nCode, void* pArgument) {
  switch (nCode) {
    case COMPONENT_SET_STRING_LOADER:
      gpfnLoadStringKQM = reinterpret_cast<PFNLOADSTRINGKQM>(pArgument);
      return 1;
    case COMPONENT_LOAD_STRING: {
      auto* pstRequest = static_cast<_stLoadStringRequest*>(pArgument);
      if (pstRequest == nullptr) return 0;
      pstRequest->nResult = DLLRES_nLoadString(&gstMyModuleInfo76, pstRequest->nNumber,
                                               pstRequest->pszBuffer, pstRequest->nCapacity);
      return pstRequest->nResult;
    }
    case COMPONENT_GET_USAGE:
      return DLLRES_nGetUtilisation(
          &gstMyModuleInfo76, static_cast<unsigned int>(reinterpret_cast<uintptr_t>(pArgument)));
    default:
      return 0;
  }
}

int CMainCommun76::bInitLibraryCommon(HINSTANCE hModule) {
  if (gbInitLibraryDone) return 1;
  ghModule = hModule;
  DLLRES_bInit(hModule, 0);
  gbInitLibraryDone = 1;
  return 1;
}

int CMainCommun76::bTermLibraryCommon() {
  if (!gbInitLibraryDone) return 1;
  gbInitLibraryDone = 0;
  if (ms_pfnFreeQueryDumpRessources != nullptr) ms_pfnFreeQueryDumpRessources();
  CBaseExecutionDLL::s_TermineDLL();
  DLLRES_Term();
  return 1;
}
