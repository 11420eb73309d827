#include "driver/library_entry.h"

#include <new>

#include "core/module_entry.h"
#include "driver/driver_lock.h"
#include "driver/function_loader.h"
#include "driver/na_driver.h"
#include "driver/password_digest.h"

int CNALibraryEntry::gnNbInit = 0;
int CNALibraryEntry::gnNbInitialisation = 0;

int CNALibraryEntry::g_bDLLCompatible(int nKind, unsigned int nPartnerVersion,
                                      int* pnOwnVersion) {
  if (nKind == kKindDatabaseEngine) {
    CNADriver::s_nID_KQZB = nPartnerVersion;
  } else if (nKind == kKindSQLParser) {
    CNADriver::s_nID_KQSQL = nPartnerVersion;
  } else {
    return 0;
  }
  if (pnOwnVersion != nullptr) *pnOwnVersion = kHandshakeVersion;
  return nPartnerVersion > unsigned(kHandshakeVersion - 1) ? 1 : 0;
}

int CNALibraryEntry::g_bExternalInitLibrary(HINSTANCE hModule) {
  return CNADriver::g_NAInitModule(hModule);
}

INADriver* CNALibraryEntry::g_piQueryInterface(const _stNABackEnd& stBackEnd) {
  CNADriverLockFrame clFrame;
  // The living driver is the one the server already holds: a second driver
  // would take over s_pclDriver and leave the first one's objects without
  // their factory.
  if (CNADriver* pclLiving = CNADriver::s_pclDriver) {
    pclLiving->ExternalAddRef();
    return pclLiving;
  }
  CNADriver* pclDriver = stBackEnd.pfnNewDriver();  // std::bad_alloc goes on
  if (pclDriver == nullptr) throw std::bad_alloc();
  CNADriver::s_pclDriver = pclDriver;
  pclDriver->ExternalAddRef();
  try {
    pclDriver->AllocError();
  } catch (...) {
    pclDriver->nExternalRelease();  // destroys it and clears s_pclDriver
    throw;
  }
  return pclDriver;
}

int CNALibraryEntry::g_nExternalTermLibrary(const _stNABackEnd& stBackEnd) {
  if (gnNbInit <= 0) return 0;
  --gnNbInit;
  if (gnNbInit > 0) return gnNbInit;
  return stBackEnd.pfnTermModule();
}

int CNADriver::g_NAInitModule(HINSTANCE hModule) {
  const int nBefore = CNALibraryEntry::gnNbInit;
  ++CNALibraryEntry::gnNbInit;
  if (nBefore > 0) return 1;
  ++CNALibraryEntry::gnNbInitialisation;
  if (CNALibraryEntry::gnNbInitialisation > 1) return 1;
  s_hDllHandle = hModule;
  CMainCommun76::bInitLibraryCommon(hModule);
  s_nID_KQZB = 0;
  s_nID_KQSQL = 0;
  CNADriverLock::g_bCreate();
  // A new key per span: identifications of an earlier span mean nothing now.
  CNAPasswordDigest::g_DrawKey();
  return 1;
}

int CNADriver::g_NATermModule() {
  CNADriverLock::g_Destroy();
  CNAFunctionLoader::g_Term();
  // The span is over: the next initialisation starts afresh.
  CNALibraryEntry::gnNbInitialisation = 0;
  return CMainCommun76::bTermLibraryCommon();
}
