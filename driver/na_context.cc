#include "driver/na_context.h"

#include <new>

#include "core/error_object.h"
#include "core/locale_compare.h"
#include "driver/driver_lock.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"

namespace {

// Names of data accesses compare as the server compares logical names:
// without regard to case and accents.
bool SameName(const wchar_t* pszA, const wchar_t* pszB) {
  return pszA != nullptr && pszB != nullptr && STR_nCompareW(pszA, pszB, 3) == 0;
}

}  // namespace

unsigned int CNAContext::s_dwEpoch = 0;

CNAContext::CNAContext() {
  if (CNADriver::s_pclDriver != nullptr) {
    m_pclError = CNADriver::s_pclDriver->pclAllocError();
    if (m_pclError != nullptr) m_pclError->AddRef();
  }
}

CNAContext::~CNAContext() {
  g_NextEpoch();
  // Data accesses first: closing one may still report into the error.
  unsigned int nPos = 0;
  void* pValue = nullptr;
  void* pKey = nullptr;
  while (m_clDataAccesses.bParseTable(&nPos, 1, &pValue, &pKey))
    static_cast<CNADataAccessBase*>(pValue)->nRelease();
  if (m_pclError != nullptr) {
    CNAError* pclError = m_pclError;
    m_pclError = nullptr;
    pclError->nRelease();
  }
}

CNADataAccessBase* CNAContext::_pclAllocDataAccess(INADataSourceDescription* piSource,
                                                   CNAConnectionDescription* pclConnection,
                                                   CNAError* pclError) {
  if (CNADriver::s_pclDriver == nullptr) return nullptr;
  return CNADriver::s_pclDriver->pclAllocDataAccess(piSource, pclConnection, pclError);
}

CNADataAccessBase* CNAContext::pclFindDataAccess(INAContext* piContext) {
  if (piContext == nullptr) return nullptr;
  CNADriverLockFrame clFrame;
  void* pValue = nullptr;
  if (!m_clDataAccesses.bGetElement(m_clDataAccesses.pKeyOf(piContext->dwGetDataID()), &pValue,
                                    nullptr))
    return nullptr;
  auto* pclAccess = static_cast<CNADataAccessBase*>(pValue);
  pclAccess->AddRef();
  return pclAccess;
}

CNADataAccessBase* CNAContext::pclGetDataAccess(INAContext* piContext,
                                                CNAConnectionDescription* pclConnection,
                                                INADataSourceDescription* piSource,
                                                int* pbCreated) {
  if (pbCreated != nullptr) *pbCreated = 0;
  if (piContext == nullptr) return nullptr;
  CNADriverLockFrame clFrame;
  if (CNADataAccessBase* pclFound = pclFindDataAccess(piContext)) return pclFound;
  CNADataAccessBase* pclNew = nullptr;
  try {
    pclNew = _pclAllocDataAccess(piSource, pclConnection, m_pclError);
  } catch (const std::bad_alloc&) {
    pclNew = nullptr;
  }
  if (pclNew == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  pclNew->AddRef();
  if (!_AddDataAccess(piContext, pclNew)) {
    pclNew->nRelease();
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  if (pbCreated != nullptr) *pbCreated = 1;
  return pclNew;
}

int CNAContext::_AddDataAccess(INAContext* piContext, CNADataAccessBase* pclAccess) {
  if (piContext == nullptr) return 0;
  return __AddDataAccess(piContext->dwGetDataID(), pclAccess);
}

int CNAContext::__AddDataAccess(unsigned int dwDataID, CNADataAccessBase* pclAccess) {
  if (pclAccess == nullptr) return 0;
  void* pKey = m_clDataAccesses.pKeyOf(dwDataID);
  // One data access per file object: a second one under a taken identifier
  // would shadow the first and leak it.
  if (m_clDataAccesses.bGetElement(pKey, nullptr, nullptr)) return 0;
  if (!m_clDataAccesses.bAddElement(pKey, pclAccess)) return 0;
  pclAccess->AddRef();
  pclAccess->SetContext(this);
  return 1;
}

int CNAContext::RemoveDataAccess(INAContext* piContext, CNADataAccessBase* pclAccess) {
  if (piContext == nullptr || pclAccess == nullptr) return 0;
  CNADriverLockFrame clFrame;
  void* pKey = m_clDataAccesses.pKeyOf(piContext->dwGetDataID());
  void* pValue = nullptr;
  if (!m_clDataAccesses.bGetElement(pKey, &pValue, nullptr) || pValue != pclAccess) return 0;
  m_clDataAccesses.bDeleteElement(pKey, &pValue, nullptr);
  g_NextEpoch();
  pclAccess->SetContext(nullptr);
  pclAccess->nRelease();
  return 1;
}

void CNAContext::CloseAllDataAccess() {
  CNADriverLockFrame clFrame;
  g_NextEpoch();
  unsigned int nPos = 0;
  void* pValue = nullptr;
  void* pKey = nullptr;
  while (m_clDataAccesses.bParseTable(&nPos, 1, &pValue, &pKey)) {
    auto* pclAccess = static_cast<CNADataAccessBase*>(pValue);
    if (pclAccess->bIsOpened()) pclAccess->bHFerme();
    pclAccess->SetContext(nullptr);
    pclAccess->nRelease();
  }
}

CNADataAccessBase* CNAContext::_pclFindByName(CNAConnectionDescription* pclConnection,
                                              const wchar_t* pszName, bool bAlias) {
  if (pszName == nullptr) return nullptr;
  CNADriverLockFrame clFrame;
  unsigned int nPos = 0;
  void* pValue = nullptr;
  void* pKey = nullptr;
  while (m_clDataAccesses.bParseTable(&nPos, 0, &pValue, &pKey)) {
    auto* pclAccess = static_cast<CNADataAccessBase*>(pValue);
    if (pclAccess->pclGetConnection() != pclConnection) continue;
    const wchar_t* pszOwn = bAlias ? pclAccess->pszGetAliasName() : pclAccess->pszGetDBTableName();
    if (SameName(pszOwn, pszName)) {
      m_clDataAccesses.StopParsing();
      pclAccess->AddRef();
      return pclAccess;
    }
  }
  return nullptr;
}

CNADataAccessBase* CNAContext::pclFindDataAccessByAliasName(
    CNAConnectionDescription* pclConnection, const wchar_t* pszName) {
  return _pclFindByName(pclConnection, pszName, true);
}

CNADataAccessBase* CNAContext::pclFindDataAccessByDBTableName(
    CNAConnectionDescription* pclConnection, const wchar_t* pszName) {
  return _pclFindByName(pclConnection, pszName, false);
}

int CNAContext::bHMode(const wchar_t* pszName, _eNA_HMODE eMode) {
  CNADriverLockFrame clFrame;
  int bResult = 1;
  if (pszName != nullptr) {
    unsigned int nPos = 0;
    void* pValue = nullptr;
    void* pKey = nullptr;
    while (m_clDataAccesses.bParseTable(&nPos, 0, &pValue, &pKey)) {
      auto* pclAccess = static_cast<CNADataAccessBase*>(pValue);
      // The data access stays held while it works: its mode change may end
      // in a release of the context's reference.
      CInterfRef<CNADataAccessBase> clHold(pclAccess);
      if (SameName(pclAccess->pszGetLogicalName(), pszName)) bResult &= pclAccess->bHMode(eMode);
    }
  }
  m_eDefaultMode = eMode;
  return bResult;
}

void CNAContext::SetNextLogicalName(const wchar_t* pszName) {
  CNADriverLockFrame clFrame;
  m_csNextLogicalName = pszName != nullptr ? pszName : L"";
}
