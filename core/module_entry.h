// The library's side of the binding to the application server.
//
// The server's virtual-machine library owns the services that the framework
// needs (string allocator, locale information, global factory, ...). It calls
// the library's exported Execution with code 3985 at load: the library then
// creates its execution singleton, which fetches the services through the
// virtual machine's own Execution entry and keeps them in the static fields of
// CInformationModule / CInformationDLL. Code 4875, counted, ends the binding.
//
// Ownership: the singleton gpclExecutionDLL76 is the library's; the services
// are the server's and are only borrowed (never released here).
// Threads: nothing here is locked. The server calls 3985 and 4875 at load and
// unload, before and after any other use; the statics are then only read.
#ifndef KQ230_CORE_MODULE_ENTRY_H_
#define KQ230_CORE_MODULE_ENTRY_H_

#include "kq230/host_services.h"
#include "kq230/platform_types.h"

class CInformationModule {
 public:
  static IStrMemAlloc* ms_piStrMemAlloc;
};

class CInformationDLL : public CInformationModule {
 public:
  static IGlobalFactory* ms_piGlobalFactory;
  static void* ms_piCollecteurTopo;
  static IInfoLocale* ms_piInfoLocale;
  static void* ms_piInformationComposante;
  static int* ms_pbMultithread;
  static unsigned int ms_IDThreadPrincipal;
  static ILibShop* ms_piLibShop;
  static int ms_nCodeProduitExecution;
  static int ms_nCodeProduitReel;
  static int ms_nLangueInterne;
  static const wchar_t* ms_pszNomProduit;
  static unsigned int ms_dwOptions;
  static unsigned int ms_dwVersionActive;

  // Finds the virtual machine's Execution in hVM and fetches the services, in
  // the server's order 9, 10, 12, 13, 15, 14, 17. Answers the entry, or null
  // (nothing fetched) when the library has none.
  // REQUIRES: hVM is not null.
  static PFNVMEXECUTION _s_InitialiseCommun(HINSTANCE hVM);

  // Puts every static back to its value before any binding.
  static void _s_ResetServices();
};

class CBaseExecutionDLL : public CInformationDLL {
 public:
  CBaseExecutionDLL() = default;
  virtual ~CBaseExecutionDLL();

  CBaseExecutionDLL(const CBaseExecutionDLL&) = delete;
  CBaseExecutionDLL& operator=(const CBaseExecutionDLL&) = delete;

  // Overridable steps; this class answers the neutral values.
  virtual int vbInitialiseDLL() { return 1; }
  virtual void vSetUtilisation(unsigned int, unsigned int) {}
  virtual void vTermineDLL() {}
  virtual void vChangeLangue() {}
  virtual void vDesactiveApplication() {}
  virtual void vReactiveApplication() {}
  virtual int vbInitialiseTypeDINO(CXError*) { return 1; }
  virtual int vbDumpMemoire(IDumpMemoire*) { return 0; }

  // Binds the services of hVM and the library shop (fetched from the server
  // when piLibShop is null) and the product values. A null handle binds
  // nothing and answers vbInitialiseDLL().
  int __bInitialiseInterne__INTERNE__(HINSTANCE hVM, ILibShop* piLibShop);
  // Sets the terminating flag, then vTermineDLL.
  void __TermineDLLInterne__INTERNE__();

  // Calls the virtual machine's Execution; 0 when it is not bound.
  intptr_t nExecutionVM(int nCode, intptr_t nArgument) const;

  HINSTANCE hGetVM() const { return m_hVM; }
  bool bTerminating() const { return m_bTerminating != 0; }

  // Statics for the rest of the system. Each does nothing and answers 0 or
  // null when the singleton or its entry is missing.
  static int s_bInitialiseMoiMeme(HINSTANCE hVM);
  static void s_TermineDLL();
  static void s_TermineMoiMeme();
  static intptr_t s_DechargeDLL();
  static intptr_t s_DebutThread();
  static intptr_t s_FinThread();
  static int s_bRemplitPileC(int nDepth, wchar_t* pszBuffer, int nCapacity, int nOptions);
  static intptr_t s_eGetModeSmartphone();
  static intptr_t _bUtiliseNET();
  static void s_InitLibShopMoiMeme();
  static HINSTANCE s_hGetHinstanceVM();

  // Count of 3985 calls not yet matched by 4875.
  static int ms_nNbInitialisation;

 private:
  HINSTANCE m_hVM = nullptr;
  PFNVMEXECUTION m_pfnExecution = nullptr;
  int m_bTerminating = 0;
};

// The library's singleton; null outside a binding.
extern CBaseExecutionDLL* gpclExecutionDLL76;

// Handlers of the exported Execution and CommandeComposante (the exports are
// thin wrappers, so that tests can call these in process).
int ModuleEntry_nExecution(unsigned int nCode, void* pArgument);
int ModuleEntry_nCommandeComposante(int nCode, void* pArgument);

// The framework's own init and term, called by the driver core at its module
// initialisation and termination. Both are idempotent and answer 1.
class CMainCommun76 {
 public:
  static int bInitLibraryCommon(HINSTANCE hModule);
  // Releases, first, what a higher layer holds for the whole library (the
  // query-dump captions of platform/query_dump_texts.h): the framework core
  // cannot name those layers, so they hand over their release here.
  static int bTermLibraryCommon();

  // The release that bTermLibraryCommon runs first; null (the start value)
  // runs nothing. The layer that loads such resources sets it when it loads
  // them; setting it again replaces it.
  static void (*ms_pfnFreeQueryDumpRessources)();

  static int gbInitLibraryDone;
  static HINSTANCE ghModule;
};

#endif  // KQ230_CORE_MODULE_ENTRY_H_
