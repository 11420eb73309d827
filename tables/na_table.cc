// The table object: counts, identity, the data accesses of the contexts and
// their lookup memo, opening, closing, and the operations with steps of
// their own. The plain forwarders are in na_table_forwarders.cc.
#include "tables/na_table.h"

#include "driver/connection_description.h"
#include "driver/driver_lock.h"
#include "driver/na_context.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "kq230/context_interface.h"
#include "kq230/data_source_description_interface.h"
#include "kq230/query_parameters_interface.h"
#include "tables/na_data_access.h"

namespace {

// Debug points of the table's errors (file CNATable::kErrorFile).
constexpr int kSiteInterditModif = 3;
constexpr int kSiteFinInterditModif = 4;
constexpr int kSiteCalculateKeyValue = 5;
constexpr int kSiteFreeMemory = 6;
constexpr int kSiteNoConnection = 9;

constexpr unsigned int kErrNotOffered = 8;
constexpr unsigned int kErrNotOpened = 19;

// The last data access found, for all tables: the server calls one file
// object many times in a row. Constant-initialised, trivially destroyed (the
// library registers no exit handler). Only under the driver lock.
struct _stDataAccessMemo {
  unsigned int dwContextID;
  unsigned int dwDataID;
  unsigned int dwEpoch;
  CNADataAccess* pclAccess;  // one reference while set
};
constinit _stDataAccessMemo gstMemo = {0, 0, 0, nullptr};

}  // namespace

CNATable::CNATable(const wchar_t* pszIdentification, INADataSourceDescription* piSource,
                   CNAConnectionDescription* pclConnection, CNAError* pclError)
    : m_pclError(pclError),
      m_pclConnection(pclConnection),
      m_piSource(piSource),
      m_csIdentification(pszIdentification != nullptr ? pszIdentification : L"") {
  if (m_pclError != nullptr) m_pclError->AddRef();
  if (m_pclConnection != nullptr) m_pclConnection->AddRef();
  if (m_piSource != nullptr) {
    m_piSource->ExternalAddRef();
    const wchar_t* pszName = m_piSource->pszGetLogicalName();
    m_csLogicalName = pszName != nullptr ? pszName : L"";
  }
}

CNATable::~CNATable() {
  {
    CNADriverLockFrame clLock;
    unsigned int nPos = 0;
    void* pValue = nullptr;
    void* pKey = nullptr;
    while (m_clDataAccesses.bParseTable(&nPos, 1, &pValue, &pKey)) {
      auto* pclAccess = static_cast<CNADataAccess*>(pValue);
      _ClearMemo(pclAccess);
      pclAccess->nRelease();
    }
    m_clDataAccesses.DeleteAll(7);
  }
  if (m_piSource != nullptr) m_piSource->nExternalRelease();
  m_piSource = nullptr;
  CNAConnectionDescription* pclConnection = m_pclConnection;
  m_pclConnection = nullptr;
  if (pclConnection != nullptr) {
    // Through the driver, so that a connection the server closed and only
    // this table kept alive is closed and unregistered now; without a driver
    // object its table of connections is gone and a plain release is all.
    if (CNADriver::s_pclDriver != nullptr)
      CNADriver::s_pclDriver->nReleaseConnection(pclConnection);
    else
      pclConnection->nRelease();
  }
  if (m_pclError != nullptr) m_pclError->nRelease();
  m_pclError = nullptr;
  if (m_piParameters != nullptr) {
    // The server's object: whatever its release answers, it is no longer
    // ours.
    INAQueryParametersValue* piParameters = m_piParameters;
    m_piParameters = nullptr;
    piParameters->Release();
  }
}

// ---------------------------------------------------------------------------
// Counts

void CNATable::ExternalAddRef() {
  CNADriverLockFrame clLock;
  ++m_nExternalCount;
}

int CNATable::nExternalRelease() {
  CNADriverLockFrame clLock;
  if (m_nExternalCount <= 0) return 0;  // released once too often: ignored
  if (--m_nExternalCount > 0) return m_nExternalCount;
  if (m_nInternalCount == 0) {
    delete this;
    return 0;
  }
  if (m_nInternalCount == 1 && CNADriver::s_pclDriver != nullptr) {
    // Only the driver's table holds it: one reference for the call, which
    // the driver drops before it unregisters the object (destroying it).
    m_nInternalCount = 2;
    return CNADriver::s_pclDriver->nReleaseTable(this);
  }
  return 0;
}

int CNATable::nRelease() {
  if (m_nInternalCount <= 0) return 0;
  if (--m_nInternalCount > 0 || m_nExternalCount > 0) return m_nInternalCount;
  delete this;
  return 0;
}

const wchar_t* CNATable::pszGetLogicalName() { return m_csLogicalName.pszGet(); }

INAError* CNATable::piGetLastError() { return m_pclError; }

int CNATable::bQueryPrepared() {
  return m_piParameters != nullptr && m_piParameters->bPrepareRequeteCalled() ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Data accesses of the contexts

bool CNATable::g_bMemoHolds() {
  CNADriverLockFrame clLock;
  return gstMemo.pclAccess != nullptr;
}

void CNATable::_ClearMemo(CNADataAccess* pclAccess) {
  if (gstMemo.pclAccess == nullptr) return;
  if (pclAccess != nullptr && gstMemo.pclAccess != pclAccess) return;
  CNADataAccess* pclHeld = gstMemo.pclAccess;
  gstMemo.pclAccess = nullptr;
  pclHeld->nRelease();
}

CNADataAccess* CNATable::_pclFindDataAccess(INAContext* piContext) {
  if (piContext == nullptr) return nullptr;
  CNADriverLockFrame clLock;
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  if (pclDriver == nullptr) {
    // No driver: no context can hold a data access any more.
    _ClearMemo(nullptr);
    return nullptr;
  }
  const unsigned int dwContextID = piContext->dwGetContextID();
  const unsigned int dwDataID = piContext->dwGetDataID();
  if (gstMemo.pclAccess != nullptr) {
    if (gstMemo.dwEpoch == CNAContext::g_dwGetEpoch() && gstMemo.dwContextID == dwContextID &&
        gstMemo.dwDataID == dwDataID) {
      gstMemo.pclAccess->AddRef();
      return gstMemo.pclAccess;
    }
    // A context lost a data access or went away since: what the memo holds
    // may not be that context's any more.
    if (gstMemo.dwEpoch != CNAContext::g_dwGetEpoch()) _ClearMemo(nullptr);
  }
  CNAContext* pclContext = pclDriver->pclFindContext(piContext);
  if (pclContext == nullptr) return nullptr;
  // The factory of the driver makes every data access a CNADataAccess.
  auto* pclAccess = static_cast<CNADataAccess*>(pclContext->pclFindDataAccess(piContext));
  pclDriver->nReleaseContext(piContext, pclContext);
  if (pclAccess != nullptr) {
    _ClearMemo(nullptr);
    pclAccess->AddRef();
    gstMemo.dwContextID = dwContextID;
    gstMemo.dwDataID = dwDataID;
    gstMemo.dwEpoch = CNAContext::g_dwGetEpoch();
    gstMemo.pclAccess = pclAccess;
  }
  return pclAccess;
}

CNADataAccess* CNATable::_pclGetDataAccess(INAContext* piContext, int* pbCreated) {
  if (pbCreated != nullptr) *pbCreated = 0;
  CNADriverLockFrame clLock;
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  if (pclDriver == nullptr || piContext == nullptr) return nullptr;
  CNAContext* pclContext = pclDriver->pclGetContext(piContext, nullptr);
  if (pclContext == nullptr) return nullptr;
  int bCreated = 0;
  auto* pclAccess = static_cast<CNADataAccess*>(
      pclContext->pclGetDataAccess(piContext, m_pclConnection, m_piSource, &bCreated));
  if (pclAccess != nullptr && bCreated) {
    _DropOrphans();
    if (m_clDataAccesses.bAddElement(pclAccess, pclAccess)) {
      pclAccess->AddRef();
    } else {
      // Memory refused: a data access the table does not hold would outlive
      // its table unseen; give it up at once.
      pclContext->RemoveDataAccess(piContext, pclAccess);
      pclAccess->nRelease();
      pclAccess = nullptr;
      bCreated = 0;
      if (pclContext->pclGetError() != nullptr)
        pclContext->pclGetError()->pclGetXError()->SetErrorNoMemory();
    }
  }
  pclDriver->nReleaseContext(piContext, pclContext);
  if (pbCreated != nullptr) *pbCreated = bCreated;
  return pclAccess;
}

void CNATable::_RemoveDataAccess(INAContext* piContext, CNADataAccess* pclAccess) {
  if (pclAccess == nullptr) return;
  CNADriverLockFrame clLock;
  // Held while it leaves: the removals below may drop its last holders.
  CInterfRef<CNADataAccess> clHold(pclAccess);
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  CNAContext* pclContext = pclDriver != nullptr ? pclDriver->pclFindContext(piContext) : nullptr;
  if (pclContext != nullptr) pclContext->RemoveDataAccess(piContext, pclAccess);
  _ClearMemo(pclAccess);
  void* pValue = nullptr;
  if (m_clDataAccesses.bDeleteElement(pclAccess, &pValue, nullptr))
    static_cast<CNADataAccess*>(pValue)->nRelease();
  if (pclContext != nullptr) pclDriver->nReleaseContext(piContext, pclContext);
}

void CNATable::_DropOrphans() {
  // Two passes: the table is not changed while it is walked.
  for (;;) {
    CNADataAccess* pclOrphan = nullptr;
    unsigned int nPos = 0;
    void* pValue = nullptr;
    void* pKey = nullptr;
    while (m_clDataAccesses.bParseTable(&nPos, 0, &pValue, &pKey)) {
      auto* pclAccess = static_cast<CNADataAccess*>(pValue);
      if (pclAccess->pclGetContext() == nullptr) {
        pclOrphan = pclAccess;
        m_clDataAccesses.StopParsing();
        break;
      }
    }
    if (pclOrphan == nullptr) return;
    _ClearMemo(pclOrphan);
    void* pRemoved = nullptr;
    if (!m_clDataAccesses.bDeleteElement(pclOrphan, &pRemoved, nullptr)) return;
    static_cast<CNADataAccess*>(pRemoved)->nRelease();
  }
}

// ---------------------------------------------------------------------------
// Errors

void CNATable::_ResetError() {
  if (m_pclError != nullptr) m_pclError->Reset();
}

int CNATable::_nNotOpened(INAContext* piContext, int nSite,
                          CNAConnectionDescription* pclConnection) {
  CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, nSite, pclConnection,
                     m_csLogicalName.pszGet(), nullptr, kErrNotOpened, m_csLogicalName.pszGet());
  _SetContextLastNAError(piContext);
  return 0;
}

int CNATable::_nUnsupported(INAContext* piContext, int nSite) {
  // Under the lock: the table's error is the driver's, shared by every
  // table and thread.
  CNADriverLockFrame clLock;
  CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(7), kErrorFile, nSite, m_pclConnection,
                     m_csLogicalName.pszGet(), nullptr, kErrNotOffered);
  _SetContextLastNAError(piContext);
  return 0;
}

void CNATable::_SetContextLastNAError(INAContext* piContext) {
  CNADriverLockFrame clLock;
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  if (pclDriver == nullptr || piContext == nullptr || m_pclError == nullptr) return;
  CNAContext* pclContext = pclDriver->pclFindContext(piContext);
  if (pclContext == nullptr) return;
  CNAError* pclContextError = pclContext->pclGetError();
  if (pclContextError != nullptr && pclContextError != m_pclError)
    pclContextError->Copy(m_pclError);
  pclDriver->nReleaseContext(piContext, pclContext);
}

// ---------------------------------------------------------------------------
// The table as a whole

INAError* CNATable::piGetLastError(INAContext* piContext) {
  CNADriverLockFrame clLock;
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  CNAContext* pclContext = pclDriver != nullptr ? pclDriver->pclFindContext(piContext) : nullptr;
  if (pclContext == nullptr) return m_pclError;
  CNAError* pclError = pclContext->pclGetError();
  // A context that holds nothing leaves the driver at this release, and its
  // error with it: then the table's error answers.
  const bool bStays = pclContext->dwGetDataAccessCount() != 0 ||
                      pclContext->pszGetNextLogicalName()[0] != 0;
  pclDriver->nReleaseContext(piContext, pclContext);
  return bStays && pclError != nullptr ? pclError : m_pclError;
}

int CNATable::bIsOpened(INAContext* piContext) {
  // The whole call under the lock: another thread may close the data
  // access between the lookup and the question.
  CNADriverLockFrame clLock;
  CNADataAccess* pclAccess = _pclFindDataAccess(piContext);
  if (pclAccess == nullptr) return 0;
  const int bOpened = pclAccess->bIsOpened();
  pclAccess->nRelease();
  return bOpened;
}

INADataSourceDescription* CNATable::piGetDataSourceDescription() {
  CNADriverLockFrame clLock;
  // A query table has no description before its result: nothing to count.
  if (m_piSource == nullptr) return nullptr;
  m_piSource->ExternalAddRef();
  return m_piSource;
}

int CNATable::FreeMemory(INAContext* piContext, void**) {
  return _nUnsupported(piContext, kSiteFreeMemory);
}

int CNATable::bHInterditModif(INAContext* piContext) {
  return _nUnsupported(piContext, kSiteInterditModif);
}

int CNATable::bHFinInterditModif(INAContext* piContext) {
  return _nUnsupported(piContext, kSiteFinInterditModif);
}

int CNATable::bCalculateKeyValue(INAContext* piContext, const wchar_t*, void**, const void*,
                                 unsigned int*, unsigned short, int) {
  return _nUnsupported(piContext, kSiteCalculateKeyValue);
}

// ---------------------------------------------------------------------------
// Opening, creating, closing

template <class Call>
int CNATable::_bOpenWith(INAContext* piContext, bool bCreate, Call&& fnCall) {
  CNADriverLockFrame clLock;
  _ResetError();
  if (m_pclConnection == nullptr) {
    CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(7), kErrorFile, kSiteNoConnection, nullptr,
                       m_csLogicalName.pszGet(), nullptr, kErrNotOffered);
    _SetContextLastNAError(piContext);
    return 0;
  }
  const int bOpen =
      bCreate ? m_pclConnection->bOpenCreate(m_pclError) : m_pclConnection->bOpen(m_pclError);
  if (!bOpen) {
    _SetContextLastNAError(piContext);
    return 0;
  }
  int bCreated = 0;
  CNADataAccess* pclAccess = _pclGetDataAccess(piContext, &bCreated);
  if (pclAccess == nullptr) return 0;
  // Released on every way out, an exception from below included.
  CInterfRef<CNADataAccess> clHold(pclAccess);
  pclAccess->nRelease();
  if (pclAccess->pclGetError() != nullptr) pclAccess->pclGetError()->Reset();
  const int bResult = fnCall(pclAccess);
  if (!bResult && bCreated) {
    // The next call of the context starts afresh.
    if (m_pclError != nullptr && pclAccess->pclGetError() != nullptr &&
        pclAccess->pclGetError() != m_pclError)
      m_pclError->Copy(pclAccess->pclGetError());
    _RemoveDataAccess(piContext, pclAccess);
  }
  return bResult;
}

int CNATable::bHOuvre(INAContext* piContext, _eNA_ACCESS eAccess, const wchar_t* pszPassword) {
  return _bOpenWith(piContext, false,
                    [&](CNADataAccess* p) { return p->bHOuvre(eAccess, pszPassword); });
}

int CNATable::bHCreation(INAContext* piContext, const wchar_t* pszName) {
  return _bOpenWith(piContext, true, [&](CNADataAccess* p) { return p->bHCreation(pszName, 1); });
}

int CNATable::bHCreationSiInexistant(INAContext* piContext, _eNA_ACCESS eAccess,
                                     const wchar_t* pszPassword) {
  return _bOpenWith(piContext, true, [&](CNADataAccess* p) {
    return p->bHCreationSiInexistant(eAccess, pszPassword);
  });
}

int CNATable::bSupprimeFichier(INAContext* piContext) {
  CNADriverLockFrame clLock;
  CNADataAccess* pclKept = nullptr;
  const int bResult = _bOpenWith(piContext, true, [&](CNADataAccess* p) {
    const int b = p->bSupprimeFichier();
    if (!b && m_pclError != nullptr && p->pclGetError() != nullptr &&
        p->pclGetError() != m_pclError)
      m_pclError->Copy(p->pclGetError());
    // Removed in every case, below; a failure made by this call already
    // removed it.
    p->AddRef();
    pclKept = p;
    return b;
  });
  if (pclKept != nullptr) {
    _RemoveDataAccess(piContext, pclKept);
    pclKept->nRelease();
  }
  return bResult;
}

int CNATable::bHFerme(INAContext* piContext) {
  CNADriverLockFrame clLock;
  // The table's error is not reset: a close after a failure keeps it.
  CNADataAccess* pclAccess = _pclFindDataAccess(piContext);
  if (pclAccess == nullptr) return 1;
  if (pclAccess->pclGetError() != nullptr) pclAccess->pclGetError()->Reset();
  const int bResult = pclAccess->bHFerme();
  if (!bResult && m_pclError != nullptr && pclAccess->pclGetError() != nullptr &&
      pclAccess->pclGetError() != m_pclError)
    m_pclError->Copy(pclAccess->pclGetError());
  // Removed even when the close failed: a later command of the context
  // meets "not opened", never a half-closed data access.
  _RemoveDataAccess(piContext, pclAccess);
  pclAccess->nRelease();
  if (m_piParameters != nullptr) {
    INAQueryParametersValue* piParameters = m_piParameters;
    m_piParameters = nullptr;
    piParameters->Release();
  }
  return bResult;
}

int CNATable::bHReindexe(INAContext* piContext, unsigned int dwOptions, IGaugeControl* piGauge) {
  CNADriverLockFrame clLock;
  CNADataAccess* pclAccess = _pclGetDataAccess(piContext, nullptr);
  if (pclAccess == nullptr) return 0;
  const int bResult = pclAccess->bHReindexe(dwOptions, piGauge);
  pclAccess->nRelease();
  return bResult;
}

int CNATable::bHMode(INAContext* piContext, _eNA_HMODE eMode) {
  CNADriverLockFrame clLock;
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  if (pclDriver == nullptr || piContext == nullptr) return 1;
  CNAContext* pclContext = pclDriver->pclGetContext(piContext, nullptr);
  if (pclContext == nullptr) return 1;
  const int bResult = pclContext->bHMode(m_csLogicalName.pszGet(), eMode);
  pclDriver->nReleaseContext(piContext, pclContext);
  return bResult;
}

// ---------------------------------------------------------------------------
// Queries

int CNATable::bExecuteQuery(int* pbKept, INAContext* piContext, const wchar_t* pszQuery,
                            ISQLParserInformation* piParsed, unsigned int dwFlags,
                            const INAQueryExecution* piExecution) {
  CNADriverLockFrame clLock;
  CNADataAccess* pclAccess = _pclGetDataAccess(piContext, nullptr);
  // Nothing to run the query on: the reason (no context, memory) is on the
  // driver's or the context's error already.
  if (pclAccess == nullptr) return 0;
  if (pclAccess->pclGetError() != nullptr) pclAccess->pclGetError()->Reset();
  const int bResult =
      pclAccess->bExecuteQuery(pbKept, pszQuery, piParsed, dwFlags, piExecution);
  if (!bResult) {
    if (m_pclError != nullptr && pclAccess->pclGetError() != nullptr &&
        pclAccess->pclGetError() != m_pclError)
      m_pclError->Copy(pclAccess->pclGetError());
    if (!bQueryPrepared()) _RemoveDataAccess(piContext, pclAccess);
  }
  pclAccess->nRelease();
  return bResult;
}

// ---------------------------------------------------------------------------
// Notifications of the connection's transaction

void CNATable::SetTransactionTermined() {
  CNADriverLockFrame clLock;
  ++m_nTransactionTerminated;
  unsigned int nPos = 0;
  void* pValue = nullptr;
  void* pKey = nullptr;
  while (m_clDataAccesses.bParseTable(&nPos, 0, &pValue, &pKey)) {
    auto* pclAccess = static_cast<CNADataAccess*>(pValue);
    CInterfRef<CNADataAccess> clHold(pclAccess);
    pclAccess->SetTransactionTermined();
  }
}

void CNATable::CancelRecordLock(INAConnectionDescription* piConnection,
                                CNATransactionBase* pclTransaction) {
  CNADriverLockFrame clLock;
  ++m_nCancelRecordLock;
  // The driver's connection for the host description: descriptions with
  // equal parameters share one connection.
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  CNAConnectionDescription* pclShared =
      pclDriver != nullptr && piConnection != nullptr ? pclDriver->_pclFindConnection(piConnection)
                                                      : nullptr;
  unsigned int nPos = 0;
  void* pValue = nullptr;
  void* pKey = nullptr;
  while (m_clDataAccesses.bParseTable(&nPos, 0, &pValue, &pKey)) {
    auto* pclAccess = static_cast<CNADataAccess*>(pValue);
    CNAConnectionDescription* pclConnection = pclAccess->pclGetConnection();
    if (pclConnection == nullptr) continue;
    if (pclConnection != pclShared && pclConnection->piGetHostDescription() != piConnection)
      continue;
    CInterfRef<CNADataAccess> clHold(pclAccess);
    pclAccess->CancelRecordLock(piConnection, pclTransaction);
  }
  if (pclShared != nullptr) pclDriver->nReleaseConnection(pclShared);
}
