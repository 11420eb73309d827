#include "driver/na_driver.h"

#include <cwchar>
#include <new>

#include "core/error_object.h"
#include "core/locale_compare.h"
#include "core/module_info.h"
#include "core/numbered_messages.h"
#include "driver/connection_description.h"
#include "driver/driver_lock.h"
#include "driver/na_context.h"
#include "driver/na_error.h"
#include "driver/password_digest.h"
#include "driver/query_dump.h"
#include "driver/transaction_interface.h"
#include "kq230/context_interface.h"
#include "kq230/data_source_description_interface.h"
#include "values/any.h"
#include "values/index_key.h"

CNADriver* CNADriver::s_pclDriver = nullptr;
HINSTANCE CNADriver::s_hDllHandle = nullptr;
unsigned int CNADriver::s_nID_KQZB = 0;
unsigned int CNADriver::s_nID_KQSQL = 0;

namespace {

// The registries of connections and table objects keep a one-entry memo of
// the last lookup in front of their hash table: the server asks for the same
// object many times in a row. These two serve both registries.

// The object registered under pszIdentification (null when none), through the
// memo; a hit in the table becomes the memo.
template <class T>
T* pclFindRegistered(CRefStringHashTable<T*>* pclTable, const wchar_t* pszIdentification,
                     const wchar_t** ppszMemoKey, T** ppclMemoValue) {
  if (*ppszMemoKey != nullptr && std::wcscmp(*ppszMemoKey, pszIdentification) == 0)
    return *ppclMemoValue;
  void* pValue = nullptr;
  void* pKey = nullptr;
  if (!pclTable->bGetElement(pszIdentification, &pValue, &pKey)) return nullptr;
  *ppszMemoKey = static_cast<const wchar_t*>(pKey);
  *ppclMemoValue = static_cast<T*>(pValue);
  return *ppclMemoValue;
}

// Removes the entry of pcl's identification only when it holds pcl (a newer
// object may be registered under the same key), clears the memo that names
// it and frees the key. False when pcl was not registered.
template <class T>
bool bUnregister(CRefStringHashTable<T*>* pclTable, T* pcl, const wchar_t** ppszMemoKey,
                 T** ppclMemoValue) {
  const wchar_t* pszIdentification = pcl->pszGetIdentification();
  void* pValue = nullptr;
  void* pKey = nullptr;
  if (!pclTable->bGetElement(pszIdentification, &pValue, &pKey) || pValue != pcl) return false;
  pclTable->bDeleteElement(pszIdentification, &pValue, &pKey);
  if (*ppclMemoValue == pcl || *ppszMemoKey == pKey) {
    *ppszMemoKey = nullptr;
    *ppclMemoValue = nullptr;
  }
  XMALLOC_Del_(pKey);
  return true;
}

// Sites of the driver object's debug lines (file 5); operations not built yet
// raise at site 100.
constexpr int kSiteLockTable = 1;
constexpr int kSiteLockQuery = 2;
constexpr int kSiteDiagnose = 3;
constexpr int kSiteCommit = 4;
constexpr int kSiteRollBack = 5;
constexpr int kSiteProviderList = 6;
constexpr int kSiteFiltreAuto = 7;
constexpr int kSiteNoContext = 8;
constexpr int kSiteNoSource = 9;
constexpr int kSiteNoConnection = 10;
constexpr int kSiteNotBuiltBase = 100;

// Flag of a query run: the table object stays registered whatever happens.
constexpr unsigned int kQueryKeepTable = 0x10;

constexpr eNA_ERRORTYPE kTypeNotOffered = eNA_ERRORTYPE(7);
constexpr eNA_ERRORTYPE kTypeGeneral = eNA_ERRORTYPE(0);
constexpr eNAERRORLEVEL kLevelError = eNAERRORLEVEL(2);

struct _stLabel {
  unsigned int nMessage;
  const wchar_t* pszDefault;
};

// In the order of eNAQueryDumpLabel.
const _stLabel kLabels[NAQDL_LOADED_COUNT] = {
    {25676, L"Texte de la requête :"},
    {25679, L"Nombre de paramètres :"},
    {25678, L"Paramètre :"},
    {25675, L"Type Orvatic"},
    {25680, L"Type ADO"},
    {25670, L"Valeur"},
    {25674, L"Echec de la conversion de la valeur en texte."},
    {25810, L"Informations de bind des paramètres :"},
    {25843, L"Connexion parameters : "},
    {25846, L"DataSource : "},
    {25869, L"Native Library : "},
    {25849, L"Provider : "},
    {25847, L"Utilisateur : "},
    {25848, L"Database : "},
    {25834, L"Connexion Timeout : "},
    {25835, L"Command Timeout : "},
    {25836, L"Lock Timeout : "},
    {25837, L"Cursor Position : "},
    {25838, L"Unicode actived : "},
    {25839, L"Lock Tag : "},
    {25840, L"Lock mode : "},
    {25841, L"ZB5 compatible Date Format : "},
    {25842, L"Charset : "},
    {25844, L"VX Page Code : "},
    {25845, L"Connexion Page Code: "},
};

CTString LoadLabel(int eLabel) {
  CTString clText;
  if (!DLLRES_bLoadString(&gstMyModuleInfo76, kLabels[eLabel].nMessage, &clText) ||
      clText.nTaille() == 0)
    clText = kLabels[eLabel].pszDefault;
  clText.Add(L' ');
  return clText;
}

// Connection identifications are keys that must tell apart what the server
// tells apart: users, passwords and databases differ by case, so the keys
// compare and hash exactly.
int ExactCompare(const void* pKey1, const void* pKey2) {
  return std::wcscmp(static_cast<const wchar_t*>(pKey1), static_cast<const wchar_t*>(pKey2));
}

unsigned int ExactHash(const void* pKey) {
  // FNV-1a over the characters.
  unsigned int h = 2166136261u;
  for (const wchar_t* p = static_cast<const wchar_t*>(pKey); *p != 0; ++p) {
    unsigned int c = static_cast<unsigned int>(*p);
    for (int i = 0; i < 4; ++i) {
      h ^= (c >> (8 * i)) & 0xFF;
      h *= 16777619u;
    }
  }
  return h;
}

void AddField(CTString* pOut, const wchar_t* pszName, const wchar_t* pszValue) {
  pOut->Add(pszName);
  pOut->Add(pszValue != nullptr ? pszValue : L"NULL");
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and teardown

// The key builder reads the database-engine interface of the current driver
// object: each change of either hands it over.
CNADriver::CNADriver() {
  m_clConnections.SetCmp(&ExactCompare);
  m_clConnections.SetHashVal(&ExactHash);
  m_clTables.SetCmp(&ExactCompare);
  m_clTables.SetHashVal(&ExactHash);
  m_clOpenings.SetCmp(&_nHTBDefaultCompare);
  m_clOpenings.SetHashVal(&_dwHTBDefaultHashVal);
  if (s_pclDriver == nullptr) {
    s_pclDriver = this;
    CZBConvertKey::SetZBForNA(m_piZB);
  }
}

CNADriver::~CNADriver() {
  if (m_pclError != nullptr) m_pclError->Reset();
  _Term();
  // Only the current object clears the pointer: a stray second object going
  // away must not leave the driver without its object.
  if (s_pclDriver == this) {
    s_pclDriver = nullptr;
    CZBConvertKey::SetZBForNA(nullptr);
  }
}

void CNADriver::_Term() {
  unsigned int nPos = 0;
  void* pValue = nullptr;
  void* pKey = nullptr;
  // Contexts first: their data accesses may still give back connections.
  while (m_clContexts.bParseTable(&nPos, 1, &pValue, &pKey))
    static_cast<CNAContext*>(pValue)->nRelease();
  m_clContexts.DeleteAll(7);
  // A context that someone still holds outlives its registration: whatever
  // was remembered under its identifier is stale for the next driver.
  CNAContext::g_NextEpoch();
  // Table objects: the table's reference goes; one that the server still
  // holds lives on by its external count (and keeps its connection).
  m_pszTableMemoKey = nullptr;
  m_pclTableMemoValue = nullptr;
  nPos = 0;
  while (m_clTables.bParseTable(&nPos, 1, &pValue, &pKey)) {
    static_cast<CNATableBase*>(pValue)->nRelease();
    XMALLOC_Del_(pKey);
  }
  // The SQL interface before the connections: its statements hold
  // connections, and their release may still reach the driver. The server
  // holds no external reference on it by now (it would hold the driver).
  if (m_pclDriverSQL != nullptr) {
    CNADriverSQLBase* pclSQL = m_pclDriverSQL;
    m_pclDriverSQL = nullptr;
    pclSQL->nRelease();
  }
  m_pszMemoKey = nullptr;
  m_pclMemoValue = nullptr;
  nPos = 0;
  while (m_clConnections.bParseTable(&nPos, 1, &pValue, &pKey)) {
    // The driver's references are the table's and one per opening that the
    // server never closed: all go now. References of objects that outlive
    // the driver (a table object the server still holds) stay theirs.
    auto* pclConnection = static_cast<CNAConnectionDescription*>(pValue);
    if (pclConnection->bIsOpen()) pclConnection->bClose(m_pclError);
    int nOpenings = _nGetOpenings(pclConnection);
    _AddOpening(pclConnection, -nOpenings);
    while (nOpenings-- > 0) pclConnection->nRelease();
    pclConnection->nRelease();
    XMALLOC_Del_(pKey);
  }
  m_clOpenings.DeleteAll(7);
  if (m_pclError != nullptr) {
    CNAError* pclError = m_pclError;
    m_pclError = nullptr;
    pclError->nRelease();
  }
  _BeforeDeath();
}

void CNADriver::_BeforeDeath() {}

// ---------------------------------------------------------------------------
// Current error

CNAError* CNADriver::pclAllocError() { return new (std::nothrow) CNAError(); }

void CNADriver::AllocError() {
  if (m_pclError != nullptr) {
    CNAError* pclOld = m_pclError;
    m_pclError = nullptr;
    pclOld->nRelease();
  }
  m_pclError = pclAllocError();
  if (m_pclError == nullptr) throw std::bad_alloc();
  m_pclError->AddRef();
}

int CNADriver::bInitDriver() {
  AllocError();
  return 1;
}

int CNADriver::_nNotBuiltYet(const wchar_t* pszOperation, bool bReset) {
  if (m_pclError == nullptr) return 0;
  if (bReset) m_pclError->Reset();
  CNAError::g_nRaise(m_pclError, kTypeNotOffered, kErrorFile, kSiteNotBuiltBase, nullptr,
                     nullptr, nullptr, 8);
  CTString clText(pszOperation);
  clText.Add(L": not built yet");
  m_pclError->AddDebugMessageNoFormat(clText.pszGet());
  return 0;
}

void CNADriver::OnFatalErrorAddDebugMessage(CNAError*, CNAConnectionDescription*) {}

CNAConnectionDescription* CNADriver::_pclAllocConnectionDescription(const wchar_t*,
                                                                    INAConnectionDescription*) {
  return nullptr;
}

// ---------------------------------------------------------------------------
// INADriver: versions, references, errors

int CNADriver::nGetVersion() { return 18; }
int CNADriver::nGetCompatSince() { return 17; }

void CNADriver::ExternalAddRef() {
  CNADriverLockFrame clFrame;
  ++m_nExternalCount;
}

int CNADriver::nExternalRelease() {
  CNADriverLockFrame clFrame;
  if (m_nExternalCount <= 0) return 0;
  const int nCount = --m_nExternalCount;
  if (nCount == 0) delete this;
  return nCount;
}

void* CNADriver::piGetInterface(int nIdentifier) {
  CNADriverLockFrame clFrame;
  if (m_pclError != nullptr) m_pclError->Reset();
  if (nIdentifier != 1) return nullptr;
  CNADriverSQLBase* pclSQL = pclGetDriverSQL();
  if (pclSQL == nullptr) return nullptr;
  // Handed out as the interface the server knows.
  return static_cast<INADriverSQL*>(pclSQL->ExternalAddRef());
}

int CNADriver::bCopyContext(INACopyCtx*, INAContext*, INAContext*, unsigned int) { return 0; }

INAError* CNADriver::piGetLastError() { return m_pclError; }

int CNADriver::bSetVMAndLibShop(ILibShop* piLibShop, IVMData* piVMData) {
  CNADriverLockFrame clFrame;
  m_piLibShop = piLibShop;
  m_piVMData = piVMData;
  return 1;
}

int CNADriver::bValidConnection(INAConnectionDescription*) { return 1; }

int CNADriver::bSetZB(IZBForNA* piZB) {
  CNADriverLockFrame clFrame;
  m_piZB = piZB;
  if (s_pclDriver == this) CZBConvertKey::SetZBForNA(piZB);
  return 1;
}

// ---------------------------------------------------------------------------
// INADriver: connections

int CNADriver::bOpenConnection(INAConnectionDescription* piConnection) {
  CNADriverLockFrame clFrame;
  if (m_pclError != nullptr) m_pclError->Reset();
  CNAConnectionDescription* pclConnection = _pclGetConnection(piConnection);
  if (pclConnection == nullptr) return 0;
  const int bResult = _bOpenConnection(pclConnection);
  nReleaseConnection(pclConnection);
  return bResult;
}

int CNADriver::bCloseConnection(INAConnectionDescription* piConnection) {
  CNADriverLockFrame clFrame;
  if (m_pclError != nullptr) m_pclError->Reset();
  CNAConnectionDescription* pclConnection = _pclFindConnection(piConnection);
  if (pclConnection == nullptr) return 1;
  // Only a reference that an opening took is dropped: a close beyond the
  // openings (a second close, or one without an open while a table object or
  // a transaction holds the connection) must not take its holder's.
  // The opening's reference first: the find's release is then the one that
  // may find the connection unused and close it.
  if (_nGetOpenings(pclConnection) > 0) _DropOpening(pclConnection);
  nReleaseConnection(pclConnection);
  return 1;
}

void CNADriver::_DropOpening(CNAConnectionDescription* pclConnection) {
  _AddOpening(pclConnection, -1);
  pclConnection->SetAutoClose(1);
  nReleaseConnection(pclConnection);
}

int CNADriver::_nGetOpenings(CNAConnectionDescription* pclConnection) const {
  void* pValue = nullptr;
  if (!m_clOpenings.bGetElement(pclConnection, &pValue, nullptr)) return 0;
  return static_cast<int>(reinterpret_cast<intptr_t>(pValue));
}

void CNADriver::_AddOpening(CNAConnectionDescription* pclConnection, int nDelta) {
  const int nCount = _nGetOpenings(pclConnection) + nDelta;
  if (void** ppValue = m_clOpenings.pGetElement(pclConnection)) {
    if (nCount > 0) {
      *ppValue = reinterpret_cast<void*>(static_cast<intptr_t>(nCount));
    } else {
      m_clOpenings.bDeleteElement(pclConnection, nullptr, nullptr);
    }
    return;
  }
  if (nCount > 0)
    m_clOpenings.bAddElement(pclConnection, reinterpret_cast<void*>(static_cast<intptr_t>(nCount)));
}

int CNADriver::bBuildCnxIdentification(CTString* pOut,
                                       INAConnectionDescription* piConnection) const {
  if (pOut == nullptr || piConnection == nullptr) return 0;
  CTString clText;
  AddField(&clText, L"Connection=",
           _stNAHostConnection::pszNameOf(piConnection->pclGetConnection()));
  AddField(&clText, L";Provider=", piConnection->pszGetProvider());
  AddField(&clText, L";ExtendedInformation=", piConnection->pszGetExtendedInfo());
  AddField(&clText, L";Data source=", piConnection->pszGetDataBase());
  AddField(&clText, L";user id=", piConnection->pszGetUserName());
  const wchar_t* pszPassword = piConnection->pszGetPassword();
  if (pszPassword == nullptr) {
    clText.Add(L";password=NULL");
  } else {
    wchar_t szDigest[CNAPasswordDigest::kDigestChars + 1];
    CNAPasswordDigest::g_Digest(pszPassword, szDigest);
    clText.Add(L";password=#");
    clText.Add(szDigest);
  }
  clText.Add(piConnection->eGetAccess() == NA_ACCESS_READ_ONLY ? L";access=R" : L";access=RW");
  pOut->Transfert(clText);
  return 1;
}

CNAConnectionDescription* CNADriver::_pclFindConnection(const wchar_t* pszIdentification) {
  if (pszIdentification == nullptr) return nullptr;
  CNAConnectionDescription* pclFound =
      pclFindRegistered(&m_clConnections, pszIdentification, &m_pszMemoKey, &m_pclMemoValue);
  if (pclFound == nullptr) return nullptr;
  pclFound->AddRef();
  return pclFound;
}

CNAConnectionDescription* CNADriver::_pclFindConnection(INAConnectionDescription* piConnection) {
  CTString clIdentification;
  if (!bBuildCnxIdentification(&clIdentification, piConnection)) return nullptr;
  return _pclFindConnection(clIdentification.pszGet());
}

CNAConnectionDescription* CNADriver::_pclGetConnection(INAConnectionDescription* piConnection) {
  CTString clIdentification;
  if (!bBuildCnxIdentification(&clIdentification, piConnection)) {
    // No description: nothing names the connection.
    CNAError::g_nRaise(m_pclError, kTypeGeneral, kErrorFile, kSiteNoConnection, nullptr, nullptr,
                       nullptr, 2);
    return nullptr;
  }
  if (CNAConnectionDescription* pclFound = _pclFindConnection(clIdentification.pszGet()))
    return pclFound;
  return _pclAddConnection(clIdentification.pszGet(), piConnection);
}

CNAConnectionDescription* CNADriver::_pclAddConnection(const wchar_t* pszIdentification,
                                                       INAConnectionDescription* piConnection) {
  if (pszIdentification == nullptr || piConnection == nullptr) return nullptr;
  // Two entries under one identification would make the later one
  // unreachable by its identification.
  void* pValue = nullptr;
  if (m_clConnections.bGetElement(pszIdentification, &pValue, nullptr)) return nullptr;
  CNAConnectionDescription* pclNew = nullptr;
  try {
    pclNew = _pclAllocConnectionDescription(pszIdentification, piConnection);
  } catch (const std::bad_alloc&) {
    pclNew = nullptr;
  }
  if (pclNew == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  // The caller's reference first, so that a refused registration can drop it.
  pclNew->AddRef();
  if (!m_clConnections.bAddStringElement(pclNew->pszGetIdentification(), pclNew)) {
    pclNew->nRelease();
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  return pclNew;
}

int CNADriver::_bOpenConnection(CNAConnectionDescription* pclConnection) {
  if (pclConnection->bOpen(m_pclError)) {
    // Counted first: an opening that cannot be counted is refused, or its
    // close could never give its reference back.
    const int nBefore = _nGetOpenings(pclConnection);
    _AddOpening(pclConnection, 1);
    if (_nGetOpenings(pclConnection) != nBefore + 1) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
    pclConnection->AddRef();
    pclConnection->SetAutoClose(0);
    return 1;
  }
  // A connection that another opening still holds (the table's reference,
  // this operation's and at least one more) stays registered: unregistering
  // it would leave that opening's reference with no way back to it, and its
  // bCloseConnection would never find it. Its next opening retries.
  if (pclConnection->nGetRefCount() <= 2) _bRemoveConnection(pclConnection);
  if (m_pclError != nullptr) m_pclError->SetErrorLevel(kLevelError);
  return 0;
}

int CNADriver::_bRemoveConnection(CNAConnectionDescription* pclConnection) {
  if (!bUnregister(&m_clConnections, pclConnection, &m_pszMemoKey, &m_pclMemoValue)) return 0;
  // Openings of an unregistered connection can no longer be closed.
  int nOpenings = _nGetOpenings(pclConnection);
  _AddOpening(pclConnection, -nOpenings);
  while (nOpenings-- > 0) pclConnection->nRelease();
  pclConnection->nRelease();
  return 1;
}

int CNADriver::nReleaseConnection(CNAConnectionDescription* pclConnection) {
  if (pclConnection == nullptr) return 0;
  const int nCount = pclConnection->nGetRefCount();
  if (nCount <= 0) return 0;
  if (nCount != 2) return pclConnection->nRelease();
  pclConnection->nRelease();
  // Only one reference is left: when it is the table's and the connection may
  // close by itself, it is closed and dropped.
  void* pValue = nullptr;
  if (!m_clConnections.bGetElement(pclConnection->pszGetIdentification(), &pValue, nullptr) ||
      pValue != pclConnection)
    return 1;
  if (!pclConnection->bAutoCloseEnabled()) return 1;
  if (pclConnection->bIsOpen()) pclConnection->bClose(m_pclError);
  _bRemoveConnection(pclConnection);
  return 0;
}

int CNADriver::_bCloseConnection(CNAConnectionDescription* pclConnection) {
  if (pclConnection == nullptr) return 1;
  pclConnection->SetAutoClose(1);
  nReleaseConnection(pclConnection);
  return 1;
}

int CNADriver::_bCloseConnectionById(int nID) {
  CNAConnectionDescription* pclConnection = pclGetConnectionByID(nID);
  if (pclConnection == nullptr) return 1;
  CNADriverLockFrame clFrame;
  // The opening's reference first: the find's release is then the one that
  // may find the connection unused and close it.
  if (_nGetOpenings(pclConnection) > 0) _DropOpening(pclConnection);
  nReleaseConnection(pclConnection);
  return 1;
}

CNAConnectionDescription* CNADriver::pclGetConnectionByName(const wchar_t* pszName) {
  CNADriverLockFrame clFrame;
  unsigned int nPos = 0;
  void* pValue = nullptr;
  void* pKey = nullptr;
  CNAConnectionDescription* pclFound = nullptr;
  while (m_clConnections.bParseTable(&nPos, 0, &pValue, &pKey)) {
    auto* pclConnection = static_cast<CNAConnectionDescription*>(pValue);
    const wchar_t* pszOwn = pclConnection->pszGetConnectionName();
    if (pszOwn != nullptr && pszName != nullptr && STR_nCompareW(pszOwn, pszName, 3) == 0) {
      pclFound = pclConnection;
      m_clConnections.StopParsing();
      break;
    }
  }
  if (pclFound != nullptr) pclFound->AddRef();
  return pclFound;
}

CNAConnectionDescription* CNADriver::pclGetConnectionByID(int nID) {
  CNADriverLockFrame clFrame;
  unsigned int nPos = 0;
  void* pValue = nullptr;
  void* pKey = nullptr;
  CNAConnectionDescription* pclFound = nullptr;
  while (m_clConnections.bParseTable(&nPos, 0, &pValue, &pKey)) {
    auto* pclConnection = static_cast<CNAConnectionDescription*>(pValue);
    if (pclConnection->nGetID() == nID) {
      pclFound = pclConnection;
      m_clConnections.StopParsing();
      break;
    }
  }
  if (pclFound != nullptr) pclFound->AddRef();
  return pclFound;
}

// ---------------------------------------------------------------------------
// Labels

void CNADriver::InitQueryDumpRessources() {
  if (m_acsLabels[0].nTaille() != 0) return;
  for (int i = 0; i < NAQDL_LOADED_COUNT; ++i) m_acsLabels[i] = LoadLabel(i);
}

const wchar_t* CNADriver::pszGetQueryDumpLabel(int eLabel) {
  if (eLabel < 0 || eLabel >= NAQDL_COUNT) return L"";
  InitQueryDumpRessources();
  return m_acsLabels[eLabel].pszGet();
}

CTString CNADriver::g_csGetQueryDumpLabel(int eLabel) {
  if (s_pclDriver != nullptr) return CTString(s_pclDriver->pszGetQueryDumpLabel(eLabel));
  if (eLabel < 0 || eLabel >= NAQDL_LOADED_COUNT) return CTString();
  return LoadLabel(eLabel);
}

// ---------------------------------------------------------------------------
// Own operations with generic answers

int CNADriver::bSetCharset(unsigned int, void*) { return 1; }

CNADriverSQLBase* CNADriver::pclGetDriverSQL() {
  CNADriverLockFrame clFrame;
  if (m_pclDriverSQL == nullptr) {
    CNADriverSQLBase* pclSQL = _pclAllocDriverSQL(m_pclError);
    if (pclSQL == nullptr) return nullptr;
    pclSQL->AddRef();
    m_pclDriverSQL = pclSQL;
  }
  return m_pclDriverSQL;
}


// ---------------------------------------------------------------------------
// Placeholder factories of the classes of later layers

CNAContext* CNADriver::pclAllocContext() const { return new (std::nothrow) CNAContext(); }

CNADataAccessBase* CNADriver::pclAllocDataAccess(INADataSourceDescription*,
                                                 CNAConnectionDescription*, CNAError*) const {
  return nullptr;
}

CNATableBase* CNADriver::_pclAllocTable(const wchar_t*, INADataSourceDescription*,
                                        CNAConnectionDescription*, CNAError*) {
  return nullptr;
}

void* CNADriver::pclAllocVariant(CNAError*, CNAConnectionDescription*) { return nullptr; }
void* CNADriver::pclAllocVariantRowID(CNAError*, CNAConnectionDescription*) { return nullptr; }
void* CNADriver::pclAllocDataSourceDescription(CNAConnectionDescription*, CNAError*) const {
  return nullptr;
}
void* CNADriver::pclAllocStatement(CNADataAccessBase*, CNAConnectionDescription*,
                                   CNAError*) const {
  return nullptr;
}
void* CNADriver::pclAllocColumn(CNAError*, void*) const { return nullptr; }
void* CNADriver::pclAllocCommand(CNAError*, CNAConnectionDescription*) const { return nullptr; }
void* CNADriver::pclAllocIDAuto() { return nullptr; }
void* CNADriver::pclAllocParameter(void*, unsigned int, unsigned int, const wchar_t*) {
  return nullptr;
}
void* CNADriver::pclAllocItemDescription() { return nullptr; }
CNADriverSQLBase* CNADriver::_pclAllocDriverSQL(CNAError*) { return nullptr; }

// ---------------------------------------------------------------------------
// Errors of the server-facing operations

int CNADriver::_nConnectionNotRegistered(INAConnectionDescription* piConnection, int nSite) {
  const wchar_t* pszName =
      piConnection != nullptr ? _stNAHostConnection::pszNameOf(piConnection->pclGetConnection())
                              : nullptr;
  return CNAError::g_nRaise(m_pclError, kTypeGeneral, kErrorFile, nSite, nullptr, nullptr,
                            nullptr, 14, pszName != nullptr ? pszName : L"");
}

namespace {

// An operation that needs a server context was given none.
int RaiseNoContext(CNAError* pclError, const wchar_t* pszOperation) {
  CNAError::g_nRaise(pclError, kTypeNotOffered, CNADriver::kErrorFile, kSiteNoContext, nullptr,
                     nullptr, nullptr, 8);
  if (pclError != nullptr) {
    CTString clText(pszOperation);
    clText.Add(L": no server context");
    pclError->AddDebugMessageNoFormat(clText.pszGet());
  }
  return 0;
}

// The value becomes the empty text (a wide text of its own, no flags).
void SetEmptyText(CAny* pValue) {
  if (pValue == nullptr) return;
  pValue->__SetType(VX_PSTRW, 0);
  pValue->pclGetIntern()->SetValue(L"");
  pValue->SetTypeWord(static_cast<unsigned short>(pValue->wGetType() & ~(kVXNullFlag | 0x400)));
}

}  // namespace

// ---------------------------------------------------------------------------
// Identifications

int CNADriver::bBuildTableIdentification(CTString* pOut, const wchar_t* pszTable,
                                         const wchar_t* pszConnection) const {
  if (pOut == nullptr) return 0;
  CTString clText(L"Table=");
  clText.Add(pszTable != nullptr ? pszTable : L"");
  clText.Add(L';');
  clText.Add(pszConnection != nullptr ? pszConnection : L"");
  pOut->Transfert(clText);
  return 1;
}

int CNADriver::bBuildQueryIdentification(CTString* pOut, const wchar_t* pszQuery,
                                         const wchar_t* pszConnection,
                                         INAContext* piContext) const {
  if (pOut == nullptr || piContext == nullptr) return 0;
  CTString clText(L"CTX=");
  // %u of the context identifier.
  CTString clNumber;
  clNumber.SetI8(static_cast<long long>(piContext->dwGetContextID()));
  clText.Add(clNumber.pszGet());
  clText.Add(L";Table=");
  clText.Add(pszQuery != nullptr ? pszQuery : L"");
  clText.Add(L';');
  clText.Add(pszConnection != nullptr ? pszConnection : L"");
  pOut->Transfert(clText);
  return 1;
}

void CNADriver::g_GenerateItemName(CTString* pOut, int n) {
  if (pOut == nullptr) return;
  CTString clText(L"Expr");
  CTString clNumber;
  clNumber.SetI8(static_cast<long long>(n) + 1000);
  clText.Add(clNumber.pszGet());
  pOut->Transfert(clText);
}

// ---------------------------------------------------------------------------
// Table objects

CNATableBase* CNADriver::_pclFindTable(const wchar_t* pszIdentification) {
  if (pszIdentification == nullptr) return nullptr;
  CNATableBase* pclFound =
      pclFindRegistered(&m_clTables, pszIdentification, &m_pszTableMemoKey, &m_pclTableMemoValue);
  if (pclFound == nullptr) return nullptr;
  pclFound->AddRef();
  return pclFound;
}

CNATableBase* CNADriver::_pclFindTable(INADataSourceDescription* piSource,
                                       CNAConnectionDescription* pclConnection,
                                       CTString* pclIdentification) {
  if (piSource == nullptr || pclConnection == nullptr || pclIdentification == nullptr)
    return nullptr;
  bBuildTableIdentification(pclIdentification, piSource->pszGetLogicalName(),
                            pclConnection->pszGetIdentification());
  return _pclFindTable(pclIdentification->pszGet());
}

CNATableBase* CNADriver::_pclGetTable(INADataSourceDescription* piSource,
                                      CNAConnectionDescription* pclConnection) {
  if (piSource == nullptr || pclConnection == nullptr) return nullptr;
  CTString clIdentification;
  if (CNATableBase* pclFound = _pclFindTable(piSource, pclConnection, &clIdentification))
    return pclFound;
  CNATableBase* pclNew = _pclNewTable(clIdentification.pszGet(), piSource, pclConnection);
  if (pclNew == nullptr) return nullptr;
  if (!_AddTable(pclNew)) {
    pclNew->nRelease();
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  return pclNew;
}

int CNADriver::_AddTable(CNATableBase* pclTable) {
  if (pclTable == nullptr) return 0;
  const wchar_t* pszIdentification = pclTable->pszGetIdentification();
  if (m_clTables.bGetElement(pszIdentification, nullptr, nullptr)) return 0;
  return m_clTables.bAddStringElement(pszIdentification, pclTable);
}

CNATableBase* CNADriver::_pclGetQuery(INAContext* piContext, const wchar_t* pszQuery,
                                      CNAConnectionDescription* pclConnection, int bCreate) {
  if (piContext == nullptr || pclConnection == nullptr) return nullptr;
  CTString clIdentification;
  bBuildQueryIdentification(&clIdentification, pszQuery, pclConnection->pszGetIdentification(),
                            piContext);
  if (CNATableBase* pclFound = _pclFindTable(clIdentification.pszGet())) return pclFound;
  if (!bCreate) return nullptr;
  return _pclNewTable(clIdentification.pszGet(), nullptr, pclConnection);
}

CNATableBase* CNADriver::_pclNewTable(const wchar_t* pszIdentification,
                                      INADataSourceDescription* piSource,
                                      CNAConnectionDescription* pclConnection) {
  CNATableBase* pclNew = nullptr;
  try {
    pclNew = _pclAllocTable(pszIdentification, piSource, pclConnection, m_pclError);
  } catch (const std::bad_alloc&) {
    pclNew = nullptr;
  }
  if (pclNew == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  pclNew->AddRef();
  return pclNew;
}

int CNADriver::_bReleaseTable(CNATableBase* pclTable) {
  if (pclTable == nullptr) return 0;
  CNADriverLockFrame clFrame;
  if (!bUnregister(&m_clTables, pclTable, &m_pszTableMemoKey, &m_pclTableMemoValue)) return 0;
  pclTable->nRelease();
  return 1;
}

int CNADriver::_bReleaseTable(INAContext* piContext, CNATableBase* pclTable) {
  if (pclTable == nullptr) return 0;
  pclTable->bHFerme(piContext);
  return _bReleaseTable(pclTable);
}

int CNADriver::nReleaseTable(CNATableBase* pclTable) {
  if (pclTable == nullptr) return 0;
  CNADriverLockFrame clFrame;
  const int nLeft = pclTable->nRelease();
  if (nLeft != 1) return nLeft;
  // Only a registration's reference is left: the table object is dropped,
  // unless that reference is not the registration's.
  void* pValue = nullptr;
  if (!m_clTables.bGetElement(pclTable->pszGetIdentification(), &pValue, nullptr) ||
      pValue != pclTable)
    return nLeft;
  _bReleaseTable(pclTable);
  return 0;
}

void CNADriver::_SetTransactionTermined(CNAConnectionDescription* pclConnection) {
  unsigned int nPos = 0;
  while (CNATableBase* pclTable = pclEnumTableByConnection(&nPos, pclConnection)) {
    pclTable->SetTransactionTermined();
    pclTable->nRelease();
  }
}

CNATableBase* CNADriver::pclEnumTableByConnection(unsigned int* pdwPos,
                                                  CNAConnectionDescription* pclConnection) {
  if (pdwPos == nullptr) return nullptr;
  CNADriverLockFrame clFrame;
  void* pValue = nullptr;
  void* pKey = nullptr;
  while (m_clTables.bParseTable(pdwPos, 0, &pValue, &pKey)) {
    auto* pclTable = static_cast<CNATableBase*>(pValue);
    if (pclTable->pclGetConnection() != pclConnection) continue;
    // The walk is left open between calls: close it, the next call reopens
    // it from the position.
    m_clTables.StopParsing();
    pclTable->AddRef();
    return pclTable;
  }
  return nullptr;
}

void CNADriver::CancelRecordLock(INAConnectionDescription* piConnection,
                                 CNATransactionBase* pclTransaction) {
  CNADriverLockFrame clFrame;
  unsigned int nPos = 0;
  void* pValue = nullptr;
  void* pKey = nullptr;
  while (m_clTables.bParseTable(&nPos, 0, &pValue, &pKey))
    static_cast<CNATableBase*>(pValue)->CancelRecordLock(piConnection, pclTransaction);
}

// ---------------------------------------------------------------------------
// Contexts

CNAContext* CNADriver::pclFindContext(INAContext* piContext) {
  if (piContext == nullptr) return nullptr;
  CNADriverLockFrame clFrame;
  void* pValue = nullptr;
  if (!m_clContexts.bGetElement(m_clContexts.pKeyOf(piContext->dwGetContextID()), &pValue,
                                nullptr))
    return nullptr;
  auto* pclContext = static_cast<CNAContext*>(pValue);
  pclContext->AddRef();
  return pclContext;
}

CNAContext* CNADriver::pclGetContext(INAContext* piContext, int* pbCreated) {
  if (pbCreated != nullptr) *pbCreated = 0;
  CNADriverLockFrame clFrame;
  if (piContext == nullptr) {
    RaiseNoContext(m_pclError, L"pclGetContext");
    return nullptr;
  }
  if (CNAContext* pclFound = pclFindContext(piContext)) return pclFound;
  CNAContext* pclNew = nullptr;
  try {
    pclNew = pclAllocContext();
  } catch (const std::bad_alloc&) {
    pclNew = nullptr;
  }
  if (pclNew == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  const unsigned int dwID = piContext->dwGetContextID();
  pclNew->_SetContextID(dwID);
  pclNew->AddRef();
  if (!m_clContexts.bAddElement(m_clContexts.pKeyOf(dwID), pclNew)) {
    pclNew->nRelease();
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  pclNew->AddRef();
  if (pbCreated != nullptr) *pbCreated = 1;
  return pclNew;
}

int CNADriver::nReleaseContext(INAContext*, CNAContext* pclContext) {
  if (pclContext == nullptr) return 0;
  CNADriverLockFrame clFrame;
  // Held while it is looked at: the release below may be its last.
  CInterfRef<CNAContext> clHold(pclContext);
  const int nLeft = pclContext->nRelease() - 1;
  // A context with data accesses stays; so does one whose next logical name
  // waits for the data access that will take it (dropping the context would
  // lose the name before its file is opened).
  if (pclContext->dwGetDataAccessCount() != 0 || pclContext->pszGetNextLogicalName()[0] != 0)
    return nLeft;
  // The context's own entry only: the identifier is the one it was
  // registered under.
  void* pKey = m_clContexts.pKeyOf(pclContext->dwGetContextID());
  void* pValue = nullptr;
  if (!m_clContexts.bGetElement(pKey, &pValue, nullptr) || pValue != pclContext) return nLeft;
  m_clContexts.bDeleteElement(pKey, &pValue, nullptr);
  // Its identifier is free for the server to reuse: what was remembered
  // under it is stale now.
  CNAContext::g_NextEpoch();
  pclContext->nRelease();
  return 0;
}

// ---------------------------------------------------------------------------
// Query dump

int CNADriver::bGetQueryDump(CTString* pOut, const wchar_t* pszQuery,
                             const _stQueryDumpParameters* pstParameters,
                             unsigned int dwMaxLength) {
  if (pOut == nullptr) return 0;
  InitQueryDumpRessources();
  const bool bNoLimit = dwMaxLength == 0xFFFFFFFFu;
  const int nMax = static_cast<int>(dwMaxLength);
  CTString clText(pszGetQueryDumpLabel(NAQDL_QUERY_TEXT));
  CTString clQuery;
  QueryDump_MaskSecrets(&clQuery, pszQuery);
  clText.Add(clQuery.pszGet());
  clText.Add(L"\r\n");
  if (pstParameters != nullptr) {
    const unsigned int nCount = pstParameters->ppValues != nullptr ? pstParameters->nCount : 0;
    CTString clNumber;
    clText.Add(pszGetQueryDumpLabel(NAQDL_PARAMETER_COUNT));
    clText.Add(L'=');
    clNumber.SetI8(nCount);
    clText.Add(clNumber.pszGet());
    clText.Add(L"\r\n");
    for (unsigned int i = 0; i < nCount && (bNoLimit || clText.nTaille() < nMax); ++i) {
      const CAny* pValue = pstParameters->ppValues[i];
      clText.Add(pszGetQueryDumpLabel(NAQDL_PARAMETER));
      clText.Add(L' ');
      clNumber.SetI8(i);
      clText.Add(clNumber.pszGet());
      clText.Add(L" :\t");
      clText.Add(pszGetQueryDumpLabel(NAQDL_LANGUAGE_TYPE));
      clText.Add(L" = <");
      clNumber.SetI8(pValue != nullptr ? pValue->nGetTypeCode() : 0);
      clText.Add(clNumber.pszGet());
      clText.Add(L">\t");
      clText.Add(pszGetQueryDumpLabel(NAQDL_VALUE));
      clText.Add(L" = <");
      bool bConverted = false;
      if (pValue != nullptr && !pValue->bIsNull()) {
        try {
          CAny clCopy(*pValue);
          const wchar_t* pszValue = nullptr;
          const int nResult = clCopy.__nCastToString(&pszValue, nullptr);
          if (nResult < 100 && pszValue != nullptr && !clCopy.bIsNull()) {
            clText.Add(pszValue);
            bConverted = true;
          }
        } catch (...) {
          bConverted = false;
        }
      }
      if (!bConverted) clText.Add(pszGetQueryDumpLabel(NAQDL_CONVERSION_FAILURE));
      clText.Add(L">\r\n");
    }
  }
  if (!bNoLimit) {
    if (nMax <= 0) {
      clText = L"";
    } else if (clText.nTaille() > nMax) {
      CTString clCut;
      clCut.Set(clText.pszGet(), static_cast<unsigned int>(nMax));
      clText.Transfert(clCut);
    }
  }
  pOut->Transfert(clText);
  return 1;
}

// ---------------------------------------------------------------------------
// INADriver: tables, queries and contexts

int CNADriver::bHMode(INAContext* piContext, _eNA_HMODE eMode) {
  CNADriverLockFrame clFrame;
  int bResult = 1;
  unsigned int nPos = 0;
  void* pValue = nullptr;
  void* pKey = nullptr;
  while (m_clTables.bParseTable(&nPos, 0, &pValue, &pKey))
    bResult &= static_cast<CNATableBase*>(pValue)->bHMode(piContext, eMode);
  return bResult;
}

INATable* CNADriver::piGetTable(INAConnectionDescription* piConnection,
                                INADataSourceDescription* piSource) {
  CNADriverLockFrame clFrame;
  if (m_pclError != nullptr) m_pclError->Reset();
  if (piSource == nullptr) {
    CNAError::g_nRaise(m_pclError, kTypeGeneral, kErrorFile, kSiteNoSource, nullptr, nullptr,
                       nullptr, 5);
    return nullptr;
  }
  CNAConnectionDescription* pclConnection = _pclGetConnection(piConnection);
  if (pclConnection == nullptr) return nullptr;
  CNATableBase* pclTable = _pclGetTable(piSource, pclConnection);
  nReleaseConnection(pclConnection);
  if (pclTable == nullptr) return nullptr;
  pclTable->ExternalAddRef();
  pclTable->nRelease();
  return pclTable;
}

int CNADriver::bHExecuteRequeteSQL(INATable** ppiTable, INAContext* piContext,
                                   const wchar_t* pszQuery,
                                   INAConnectionDescription* piConnection,
                                   ISQLParserInformation* piParsed, unsigned int dwFlags) {
  return bHExecuteRequeteSQLEx(ppiTable, piContext, pszQuery, piConnection, piParsed, dwFlags,
                               nullptr);
}

int CNADriver::bHExecuteRequeteSQLEx(INATable** ppiTable, INAContext* piContext,
                                     const wchar_t* pszQuery,
                                     INAConnectionDescription* piConnection,
                                     ISQLParserInformation* piParsed, unsigned int dwFlags,
                                     const INAQueryExecution* piExecution) {
  CNADriverLockFrame clFrame;
  if (ppiTable != nullptr) *ppiTable = nullptr;
  if (m_pclError != nullptr) m_pclError->Reset();
  if (piContext == nullptr) return RaiseNoContext(m_pclError, L"bHExecuteRequeteSQLEx");
  CNAConnectionDescription* pclConnection = _pclGetConnection(piConnection);
  if (pclConnection == nullptr) return 0;
  CNATableBase* pclTable = _pclGetQuery(piContext, pszQuery, pclConnection, 1);
  if (pclTable == nullptr) {
    nReleaseConnection(pclConnection);
    return 0;
  }
  int bKept = 0;
  const int bResult =
      pclTable->bExecuteQuery(&bKept, piContext, pszQuery, piParsed, dwFlags, piExecution);
  const bool bKeepTable = (dwFlags & kQueryKeepTable) != 0;
  if (!bResult) {
    if (m_pclError != nullptr && pclTable->pclGetError() != nullptr &&
        pclTable->pclGetError() != m_pclError)
      m_pclError->Copy(pclTable->pclGetError());
    if (!bKeepTable && !pclTable->bQueryPrepared()) _bReleaseTable(piContext, pclTable);
  } else if (bKept) {
    _AddTable(pclTable);
    if (ppiTable != nullptr) {
      pclTable->ExternalAddRef();
      *ppiTable = pclTable;
    }
  } else {
    if (!bKeepTable && !pclTable->bQueryPrepared()) _bReleaseTable(piContext, pclTable);
  }
  // The lookup's reference: a plain release, so that a kept result stays
  // registered (nReleaseTable would drop it at its registration's count).
  pclTable->nRelease();
  nReleaseConnection(pclConnection);
  return bResult;
}

int CNADriver::bCloseContext(INAContext* piContext) {
  CNADriverLockFrame clFrame;
  if (m_pclError != nullptr) m_pclError->Reset();
  CNAContext* pclContext = pclFindContext(piContext);
  if (pclContext == nullptr) return 0;
  pclContext->CloseAllDataAccess();
  pclContext->SetNextLogicalName(nullptr);
  CNAContext::g_NextEpoch();
  nReleaseContext(piContext, pclContext);
  return 1;
}

void CNADriver::SetNextLogicalName(INAContext* piContext, const wchar_t* pszName) {
  CNADriverLockFrame clFrame;
  CNAContext* pclContext = pclGetContext(piContext, nullptr);
  if (pclContext == nullptr) return;
  pclContext->SetNextLogicalName(pszName);
  nReleaseContext(piContext, pclContext);
}

int CNADriver::bFreeDataSource(INAContext* piContext, const wchar_t* pszQuery,
                               INAConnectionDescription* piConnection) {
  CNADriverLockFrame clFrame;
  if (piContext == nullptr) return RaiseNoContext(m_pclError, L"bFreeDataSource");
  CNAConnectionDescription* pclConnection = _pclGetConnection(piConnection);
  if (pclConnection == nullptr) return 0;
  int bResult = 1;
  if (CNATableBase* pclTable = _pclGetQuery(piContext, pszQuery, pclConnection, 0)) {
    bResult = pclTable->bHFerme(piContext);
    pclTable->nRelease();
  }
  nReleaseConnection(pclConnection);
  return bResult;
}

int CNADriver::bSupprimeFichier(INAContext* piContext, INAConnectionDescription* piConnection,
                                const wchar_t* pszTable, INADataSourceDescription* piSource) {
  CNADriverLockFrame clFrame;
  if (m_pclError != nullptr) m_pclError->Reset();
  CNAConnectionDescription* pclConnection = _pclGetConnection(piConnection);
  if (pclConnection == nullptr) return 0;
  int bResult = pclConnection->bOpen(m_pclError);
  if (bResult) {
    if (piSource == nullptr) {
      // Which table to delete is known only from a description: without one
      // nothing is deleted, and the caller learns it.
      bResult = CNAError::g_nRaise(m_pclError, kTypeNotOffered, kErrorFile, kSiteNoSource,
                                   pclConnection, pszTable, nullptr, 8);
    } else if (CNATableBase* pclTable = _pclGetTable(piSource, pclConnection)) {
      bResult = pclTable->bSupprimeFichier(piContext);
      if (!bResult && m_pclError != nullptr && pclTable->pclGetError() != nullptr &&
          pclTable->pclGetError() != m_pclError)
        m_pclError->Copy(pclTable->pclGetError());
      pclTable->nRelease();
    } else {
      bResult = 0;
    }
  }
  nReleaseConnection(pclConnection);
  return bResult;
}

// ---------------------------------------------------------------------------
// INADriver: transactions, locks, diagnosis

int CNADriver::bTransactionBegin(INAConnectionDescription* piConnection, const wchar_t* pszName) {
  CNADriverLockFrame clFrame;
  if (m_pclError != nullptr) m_pclError->Reset();
  CNAConnectionDescription* pclConnection = _pclGetConnection(piConnection);
  if (pclConnection == nullptr) return 0;
  const int bResult = pclConnection->bTransactionBegin(m_pclError, pszName);
  nReleaseConnection(pclConnection);
  return bResult;
}

int CNADriver::bTransactionCommit(INAConnectionDescription* piConnection, const wchar_t* pszName) {
  CNADriverLockFrame clFrame;
  if (m_pclError != nullptr) m_pclError->Reset();
  CNAConnectionDescription* pclConnection = _pclFindConnection(piConnection);
  if (pclConnection == nullptr) return _nConnectionNotRegistered(piConnection, kSiteCommit);
  const int bResult = pclConnection->bTransactionCommit(m_pclError, pszName);
  if (pclConnection->bTransactionEndCloseParse()) _SetTransactionTermined(pclConnection);
  nReleaseConnection(pclConnection);
  return bResult;
}

int CNADriver::bTransactionRollBack(INAConnectionDescription* piConnection,
                                    const wchar_t* pszName) {
  CNADriverLockFrame clFrame;
  if (m_pclError != nullptr) m_pclError->Reset();
  CNAConnectionDescription* pclConnection = _pclFindConnection(piConnection);
  if (pclConnection == nullptr) return _nConnectionNotRegistered(piConnection, kSiteRollBack);
  if (pclConnection->bTransactionEndCloseParse()) _SetTransactionTermined(pclConnection);
  const int bResult = pclConnection->bTransactionRollBack(m_pclError, pszName);
  nReleaseConnection(pclConnection);
  return bResult;
}

int CNADriver::bSQLBloqueTable(INAConnectionDescription* piConnection, const wchar_t* pszTable) {
  CNADriverLockFrame clFrame;
  if (m_pclError != nullptr) m_pclError->Reset();
  CNAConnectionDescription* pclConnection = _pclFindConnection(piConnection);
  if (pclConnection == nullptr) return _nConnectionNotRegistered(piConnection, kSiteLockTable);
  int bResult = pclConnection->bOpen(m_pclError);
  if (bResult) bResult = pclConnection->bSQLBloque(m_pclError, pszTable);
  pclConnection->nRelease();
  return bResult;
}

int CNADriver::bSQLBloqueRequete(INAConnectionDescription* piConnection,
                                 ISQLParserInformation* piParsed) {
  CNADriverLockFrame clFrame;
  if (m_pclError != nullptr) m_pclError->Reset();
  CNAConnectionDescription* pclConnection = _pclFindConnection(piConnection);
  if (pclConnection == nullptr) return _nConnectionNotRegistered(piConnection, kSiteLockQuery);
  int bResult = pclConnection->bOpen(m_pclError);
  if (bResult) bResult = pclConnection->bSQLBloque(m_pclError, piParsed);
  pclConnection->nRelease();
  return bResult;
}

int CNADriver::bHConnexionDiagnose(CAny* pValue, INAConnectionDescription* piConnection,
                                   const wchar_t* pszText, unsigned int dwFlags) {
  CNADriverLockFrame clFrame;
  if (m_pclError != nullptr) m_pclError->Reset();
  CNAConnectionDescription* pclConnection = _pclFindConnection(piConnection);
  if (pclConnection == nullptr) return _nConnectionNotRegistered(piConnection, kSiteDiagnose);
  const int bResult = pclConnection->bDiagnose(m_pclError, pValue, pszText, dwFlags);
  nReleaseConnection(pclConnection);
  return bResult;
}

// ---------------------------------------------------------------------------
// INADriver: lists, descriptions and the answers of what is not offered

int CNADriver::bSQLFormatColonne(INAConnectionDescription* piConnection, CAny* pValue) {
  CNADriverLockFrame clFrame;
  if (m_pclError != nullptr) m_pclError->Reset();
  CNADriverSQLBase* pclSQL = pclGetDriverSQL();
  // The type names are the connection's (its server version chooses some),
  // so the connection is had (made, not opened, when not yet registered; it
  // goes again at the release when nothing else holds it).
  CNAConnectionDescription* pclConnection =
      pclSQL != nullptr && piConnection != nullptr ? _pclGetConnection(piConnection) : nullptr;
  if (pclConnection == nullptr) {
    if (m_pclError != nullptr) m_pclError->Reset();
    SetEmptyText(pValue);
    return 1;
  }
  if (!pclSQL->bGetColumnTypeList(pValue, pclConnection->nGetID(), 0)) {
    // A list that cannot be made is an empty one; the reason stays readable.
    _bCopyListError(0, pclSQL);
    SetEmptyText(pValue);
  }
  nReleaseConnection(pclConnection);
  return 1;
}

int CNADriver::bGetListeSource(CAny* pValue, int) {
  SetEmptyText(pValue);
  return 1;
}

int CNADriver::bGetProviderList(CAny*) {
  CNADriverLockFrame clFrame;
  return CNAError::g_nRaise(m_pclError, kTypeNotOffered, kErrorFile, kSiteProviderList, nullptr,
                            nullptr, nullptr, 8);
}

int CNADriver::bSetQueryParameters(INAContext*, INAConnectionDescription*,
                                   INAQueryParametersValue*) {
  return 1;
}

int CNADriver::bFiltreAuto(INAContext*, INAConnectionDescription*, int, const wchar_t* pszTable,
                           INADataSourceDescription*, const wchar_t*, INADataSourceDescription*) {
  CNADriverLockFrame clFrame;
  return CNAError::g_nRaise(m_pclError, kTypeNotOffered, kErrorFile, kSiteFiltreAuto, nullptr,
                            pszTable, nullptr, 8);
}

int CNADriver::bGetTableList(CAny* pValue, INAConnectionDescription* piConnection,
                             unsigned int dwFlags) {
  CNADriverLockFrame clFrame;
  if (m_pclError != nullptr) m_pclError->Reset();
  CNAConnectionDescription* pclConnection = _pclGetConnection(piConnection);
  if (pclConnection == nullptr) return 0;
  CNADriverSQLBase* pclSQL = pclGetDriverSQL();
  int bResult = 0;
  // A driver without a back end has no SQL interface to list with: that is
  // said, not left as a failure without a reason.
  if (pclSQL == nullptr)
    _nNotBuiltYet(L"bGetTableList", false);
  else if (pclConnection->bOpen(m_pclError))
    bResult = _bCopyListError(pclSQL->bGetTableList(pValue, pclConnection, nullptr, dwFlags),
                              pclSQL);
  nReleaseConnection(pclConnection);
  return bResult;
}

INADataSourceDescription* CNADriver::piGetTableDesc(const wchar_t* pszTable,
                                                    INAConnectionDescription* piConnection) {
  CNADriverLockFrame clFrame;
  if (m_pclError != nullptr) m_pclError->Reset();
  CNAConnectionDescription* pclConnection = _pclGetConnection(piConnection);
  if (pclConnection == nullptr) return nullptr;
  INADataSourceDescription* piSource = nullptr;
  if (pclConnection->bOpen(m_pclError)) piSource = _piReadTableDesc(pszTable, pclConnection);
  nReleaseConnection(pclConnection);
  return piSource;
}

INADataSourceDescription* CNADriver::_piReadTableDesc(const wchar_t*, CNAConnectionDescription*) {
  // The description lives above the driver core: the back end reads it.
  _nNotBuiltYet(L"piGetTableDesc", false);
  return nullptr;
}

int CNADriver::bTableExists(int* pbExists, const wchar_t* pszTable,
                            INAConnectionDescription* piConnection) {
  CNADriverLockFrame clFrame;
  if (pbExists != nullptr) *pbExists = 0;
  if (m_pclError != nullptr) m_pclError->Reset();
  CNAConnectionDescription* pclConnection = _pclGetConnection(piConnection);
  if (pclConnection == nullptr) return 0;
  int bResult = pclConnection->bOpen(m_pclError);
  if (bResult) {
    int bExists = 0;
    bResult = _bTableExists(&bExists, pszTable, pclConnection);
    if (pbExists != nullptr) *pbExists = bResult ? bExists : 0;
  }
  nReleaseConnection(pclConnection);
  return bResult;
}

int CNADriver::_bTableExists(int* pbExists, const wchar_t* pszTable,
                             CNAConnectionDescription* pclConnection) {
  *pbExists = 0;
  INADataSourceDescription* piSource = _piReadTableDesc(pszTable, pclConnection);
  if (piSource != nullptr) {
    *pbExists = 1;
    piSource->nExternalRelease();
    return 1;
  }
  // A table that is not there is an answer, any other failure is not.
  return m_pclError != nullptr && m_pclError->nGetUserErrorCode() == 30 ? 1 : 0;
}

int CNADriver::bGetLinkList(CAny* pValue, const wchar_t* pszTable,
                            INADataSourceDescription* piSource,
                            INAConnectionDescription* piConnection, unsigned int dwFlags) {
  CNADriverLockFrame clFrame;
  if (m_pclError != nullptr) m_pclError->Reset();
  CNAConnectionDescription* pclConnection = _pclGetConnection(piConnection);
  if (pclConnection == nullptr) return 0;
  CNADriverSQLBase* pclSQL = pclGetDriverSQL();
  // Without a handle-level SQL interface there is no link to list: 1.
  int bResult = 1;
  if (pclSQL != nullptr) {
    bResult = pclConnection->bOpen(m_pclError);
    if (bResult)
      bResult = _bCopyListError(
          pclSQL->bGetLinkList(pValue, pclConnection, pszTable, piSource, dwFlags), pclSQL);
  }
  nReleaseConnection(pclConnection);
  return bResult;
}

int CNADriver::bGetDatabaseList(CXYString<wchar_t>* pstrList,
                                INAConnectionDescription* piConnection, unsigned int dwFlags) {
  CNADriverLockFrame clFrame;
  if (m_pclError != nullptr) m_pclError->Reset();
  CNAConnectionDescription* pclConnection = _pclGetConnection(piConnection);
  if (pclConnection == nullptr) return 0;
  CNADriverSQLBase* pclSQL = pclGetDriverSQL();
  int bResult = 0;
  if (pclSQL == nullptr)
    _nNotBuiltYet(L"bGetDatabaseList", false);
  else if (pclConnection->bOpen(m_pclError))
    bResult = _bCopyListError(pclSQL->bGetDatabaseList(pstrList, pclConnection, dwFlags), pclSQL);
  nReleaseConnection(pclConnection);
  return bResult;
}

int CNADriver::_bCopyListError(int bResult, CNADriverSQLBase* pclSQL) {
  // The SQL interface reports into its own error object, the server reads
  // the driver's. The interface is made with the current error, so the two
  // are one object unless the current error was replaced since.
  if (!bResult && m_pclError != nullptr && pclSQL->piGetLastError() != m_pclError)
    m_pclError->Copy(pclSQL->piGetLastError());
  return bResult;
}
