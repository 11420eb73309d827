// The handle-level SQL interface: handles, statements, transactions, locks.
#include "statements/driver_sql.h"

#include <climits>
#include <cwchar>
#include <new>

#include "driver/connection_description.h"
#include "driver/driver_lock.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/data_source_description.h"

int CNADriverSQL::m_gnCnxNameGenerator = 0;

namespace {

// The transaction every handle-level transaction runs as: a connection has
// at most the one transaction of its description.
constexpr const wchar_t* kTransactionName = L"SQLTransaction";

void* StatementKey(int nStatement) {
  return CNARefHashTable<int, CNAStatementSQL*>::pKeyOf(nStatement);
}

}  // namespace

CNADriverSQL::CNADriverSQL(CNADriver* pclDriver, CNAError* pclError)
    : m_pclDriver(pclDriver), m_pclError(pclError) {
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNADriverSQL::~CNADriverSQL() {
  // Statements the server never freed: their connections go back through
  // the driver, so that one closed by handle closes now.
  unsigned int nPos = 0;
  void* pValue = nullptr;
  while (m_clStatements.bParseTable(&nPos, 1, &pValue, nullptr))
    _ReleaseStatement(static_cast<CNAStatementSQL*>(pValue));
  m_clStatements.DeleteAll(7);
  if (m_pclError != nullptr) m_pclError->nRelease();
}

CNADriverSQL* CNADriverSQL::s_pclGetFromDriver() {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  if (pclDriver == nullptr) return nullptr;
  // Every back end's SQL interface is of this class.
  return static_cast<CNADriverSQL*>(pclDriver->pclGetDriverSQL());
}

// ---------------------------------------------------------------------------
// Counts

INADriverSQL* CNADriverSQL::ExternalAddRef() {
  CNADriverLockFrame clFrame;
  // The first reference of the server holds the driver: the server may
  // release the driver and go on using this interface.
  if (m_nExternalCount++ == 0 && m_pclDriver != nullptr) m_pclDriver->ExternalAddRef();
  return this;
}

int CNADriverSQL::nExternalRelease() {
  CNADriverLockFrame clFrame;
  if (m_nExternalCount <= 0) return 0;
  const int nCount = --m_nExternalCount;
  if (nCount > 0) return nCount;
  CNADriver* pclDriver = m_pclDriver;
  // Without the driver's reference nothing holds this object any more. With
  // it, the driver's release below may end the driver, whose end releases
  // this object: nothing of it is touched after that release.
  if (m_nRefCount == 0) delete this;
  if (pclDriver != nullptr) pclDriver->nExternalRelease();
  return 0;
}

INAError* CNADriverSQL::piGetLastError() const { return m_pclError; }

void CNADriverSQL::AddRef() {
  CNADriverLockFrame clFrame;
  ++m_nRefCount;
}

int CNADriverSQL::nRelease() {
  CNADriverLockFrame clFrame;
  if (m_nRefCount <= 0) return 0;
  const int nCount = --m_nRefCount;
  if (nCount == 0 && m_nExternalCount == 0) delete this;
  return nCount;
}

// ---------------------------------------------------------------------------
// Handles

CNADriverSQL::COperationFrame::COperationFrame(const CNADriverSQL* pclSQL) {
  // m_clLock is held by now.
  if (pclSQL->m_pclError != nullptr) pclSQL->m_pclError->Reset();
}

CNADriverSQL::CConnectionHandle::CConnectionHandle(CNADriverSQL* pclSQL, int nConnection)
    : m_pclSQL(pclSQL), m_pclConnection(pclSQL->_pclGetConnection(nConnection)) {
  if (m_pclConnection == nullptr) pclSQL->_nBadConnectionHandle(nConnection);
}

CNADriverSQL::CConnectionHandle::~CConnectionHandle() {
  if (m_pclConnection != nullptr) m_pclSQL->_ReleaseConnection(m_pclConnection);
}

CNADriverSQL::CStatementHandle::CStatementHandle(CNADriverSQL* pclSQL, int nStatement,
                                                 bool bResetLastError)
    : m_pclSQL(pclSQL), m_pclStatement(nullptr) {
  void* pValue = nullptr;
  if (nStatement != 0 &&
      pclSQL->m_clStatements.bGetElement(StatementKey(nStatement), &pValue, nullptr))
    m_pclStatement = static_cast<CNAStatementSQL*>(pValue);
  if (m_pclStatement == nullptr) {
    pclSQL->_nBadStatementHandle(nStatement);
    return;
  }
  // Held for the call: the call may not free it, but nothing should rely on
  // that.
  m_pclStatement->AddRef();
  if (bResetLastError) m_pclStatement->ResetLastError();
}

CNADriverSQL::CStatementHandle::~CStatementHandle() {
  if (m_pclStatement != nullptr) m_pclSQL->_ReleaseStatement(m_pclStatement);
}

CNAConnectionDescription* CNADriverSQL::_pclGetConnection(int nConnection) {
  if (m_pclDriver == nullptr || nConnection == 0) return nullptr;
  CNAConnectionDescription* pclConnection = m_pclDriver->pclGetConnectionByID(nConnection);
  if (pclConnection == nullptr) return nullptr;
  // A connection opened here is never shared: with its one opening closed,
  // what still holds it (a statement not freed yet, a transaction) does not
  // make the handle valid again.
  if (pclConnection->bOpenedBySQLInterface() &&
      m_pclDriver->nGetOpeningCount(pclConnection) == 0) {
    _ReleaseConnection(pclConnection);
    return nullptr;
  }
  return pclConnection;
}

void CNADriverSQL::_ReleaseConnection(CNAConnectionDescription* pclConnection) {
  if (m_pclDriver != nullptr) {
    m_pclDriver->nReleaseConnection(pclConnection);
  } else {
    pclConnection->nRelease();
  }
}

void CNADriverSQL::_ReleaseStatement(CNAStatementSQL* pclStatement) {
  CNAConnectionDescription* pclConnection = pclStatement->pclGetConnection();
  // The statement's own release of its connection is a plain one, which
  // would leave a connection closed by handle open and registered.
  if (pclConnection != nullptr) pclConnection->AddRef();
  pclStatement->nRelease();
  if (pclConnection != nullptr) _ReleaseConnection(pclConnection);
}

int CNADriverSQL::_nBadConnectionHandle(int nConnection) {
  wchar_t szHandle[16];
  std::swprintf(szHandle, 16, L"%d", nConnection);
  return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, kSiteBadConnectionHandle,
                            nullptr, nullptr, nullptr, kErrInvalidConnectionHandle, szHandle);
}

int CNADriverSQL::_nBadStatementHandle(int nStatement) {
  wchar_t szHandle[16];
  std::swprintf(szHandle, 16, L"%d", nStatement);
  return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, kSiteBadStatementHandle,
                            nullptr, nullptr, nullptr, kErrInvalidStatementHandle, szHandle);
}

void CNADriverSQL::_CopyDriverError() {
  CNAError* pclCurrent = m_pclDriver != nullptr ? m_pclDriver->pclGetCurrentError() : nullptr;
  if (m_pclError != nullptr && pclCurrent != nullptr && pclCurrent != m_pclError)
    m_pclError->Copy(pclCurrent);
}

// ---------------------------------------------------------------------------
// Connections

CNAConnectionDescription* CNADriverSQL::_pclGetNewConnection(
    INAConnectionDescription* piConnection) {
  CTString clBase;
  if (m_pclDriver == nullptr || !m_pclDriver->bBuildCnxIdentification(&clBase, piConnection))
    return nullptr;
  // A number whose identification is still registered (the counter came
  // round) is passed over: the connection must be a new one.
  for (;;) {
    if (m_gnCnxNameGenerator == INT_MAX) m_gnCnxNameGenerator = 0;
    ++m_gnCnxNameGenerator;
    wchar_t szSuffix[32];
    std::swprintf(szSuffix, 32, L";SQLConnecte%d", m_gnCnxNameGenerator);
    CTString clIdentification(clBase);
    clIdentification.Add(szSuffix);
    if (CNAConnectionDescription* pclTaken =
            m_pclDriver->_pclFindConnection(clIdentification.pszGet())) {
      pclTaken->nRelease();  // only the find's: its holders keep it as it was
      continue;
    }
    return m_pclDriver->_pclAddConnection(clIdentification.pszGet(), piConnection);
  }
}

int CNADriverSQL::bOpenConnection(int* pnConnection, INAConnectionDescription* piConnection) {
  COperationFrame clFrame(this);
  if (pnConnection != nullptr) *pnConnection = 0;
  if (piConnection == nullptr)
    return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, kSiteNoDescription,
                              nullptr, nullptr, nullptr, kErrNoDescription);
  // An opening whose handle cannot be handed back could never be closed.
  if (pnConnection == nullptr) return 0;
  CNAConnectionDescription* pclConnection = _pclGetNewConnection(piConnection);
  if (pclConnection == nullptr) {
    _CopyDriverError();
    return 0;
  }
  pclConnection->SetOpenedBySQLInterface(1);
  const int bResult = m_pclDriver->_bOpenConnection(pclConnection);
  if (bResult) {
    *pnConnection = pclConnection->nGetID();
  } else {
    _CopyDriverError();
  }
  // A failed opening unregistered the connection: this release ends it.
  _ReleaseConnection(pclConnection);
  return bResult;
}

int CNADriverSQL::bCloseConnection(int nConnection) {
  COperationFrame clFrame(this);
  CNAConnectionDescription* pclConnection = _pclGetConnection(nConnection);
  if (pclConnection == nullptr) return _nBadConnectionHandle(nConnection);
  // The handle is invalid once this opening is closed, so nothing could end
  // a transaction left open: it is rolled back, as the server would at a
  // disconnection, instead of holding its locks until the driver ends.
  int bResult = 1;
  if (pclConnection->bOpenedBySQLInterface() &&
      m_pclDriver->nGetOpeningCount(pclConnection) == 1) {
    // One level ends per roll-back; the bound only guards against a
    // transaction that would claim to stay open.
    for (int nLevels = 0; bResult && nLevels < 1024 && pclConnection->_bTransactionOpened();
         ++nLevels)
      bResult = pclConnection->bTransactionRollBack(m_pclError, nullptr);
  }
  _ReleaseConnection(pclConnection);
  m_pclDriver->_bCloseConnectionById(nConnection);
  return bResult;
}

// ---------------------------------------------------------------------------
// Statements

int CNADriverSQL::bExecute(int* pnStatement, int nConnection, const wchar_t* pszQuery,
                           CTabValParser* pclParameters, unsigned int nFlags) {
  COperationFrame clFrame(this);
  if (pnStatement != nullptr) *pnStatement = 0;
  CConnectionHandle clConnection(this, nConnection);
  if (!clConnection) return 0;
  CNAStatementSQL* pclStatement = nullptr;
  const int bResult = bExecute(m_pclError, &pclStatement, clConnection.pcl(),
                               pszQuery != nullptr ? pszQuery : L"", pclParameters, nFlags);
  if (pclStatement == nullptr) return bResult;
  // A result set nobody can name would never be freed.
  if (pnStatement == nullptr) {
    _ReleaseStatement(pclStatement);
    return bResult;
  }
  // The statement's number is its handle unless a live handle has it (the
  // counter came round): then the next free number is.
  int nHandle = pclStatement->nGetStatementNumber();
  void* pLive = nullptr;
  while (nHandle <= 0 || m_clStatements.bGetElement(StatementKey(nHandle), &pLive, nullptr))
    nHandle = CNAStatementSQL::g_nNextStmtNumber();
  // The table takes over the execution's reference.
  if (!m_clStatements.bAddElement(StatementKey(nHandle), pclStatement)) {
    _ReleaseStatement(pclStatement);
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  *pnStatement = nHandle;
  return bResult;
}

int CNADriverSQL::bFreeStmt(int, int nStatement, unsigned int) {
  COperationFrame clFrame(this);
  void* pValue = nullptr;
  if (nStatement != 0 &&
      m_clStatements.bDeleteElement(StatementKey(nStatement), &pValue, nullptr) &&
      pValue != nullptr)
    _ReleaseStatement(static_cast<CNAStatementSQL*>(pValue));
  return 1;
}

int CNADriverSQL::bGetStmtLastError(INAError** ppiError, int, int nStatement) {
  // The error asked for is the one the last operation left: no reset.
  CNADriverLockFrame clFrame;
  if (ppiError != nullptr) *ppiError = nullptr;
  CStatementHandle clStatement(this, nStatement, false);
  if (!clStatement) return 0;
  return clStatement->bGetStmtLastError(ppiError);
}

int CNADriverSQL::bGetColumnNbr(int* pnCount, int, int nStatement, unsigned int nFlags) {
  COperationFrame clFrame(this);
  if (pnCount != nullptr) *pnCount = 0;
  // Handle 0 is the result of a text without a result set: no column.
  if (nStatement == 0) return 1;
  CStatementHandle clStatement(this, nStatement);
  if (!clStatement) return 0;
  return clStatement->bGetColumnNbr(pnCount, nFlags);
}

int CNADriverSQL::bGetColumnName(CAny* pValue, int, int nStatement, unsigned int nColumn,
                                 unsigned int nFlags) {
  COperationFrame clFrame(this);
  CStatementHandle clStatement(this, nStatement);
  if (!clStatement || pValue == nullptr) return 0;
  // Columns count from 1 here, from 0 in the statement: column 0 (and a
  // number read as negative) asks for a negative index, which it refuses.
  return clStatement->bGetColumnName(pValue, static_cast<int>(nColumn - 1u), nFlags);
}

int CNADriverSQL::bGetColumnList(CAny* pValue, int, int nStatement, unsigned int nFlags) {
  COperationFrame clFrame(this);
  CStatementHandle clStatement(this, nStatement);
  if (!clStatement || pValue == nullptr) return 0;
  return clStatement->bGetColumnList(pValue, nFlags);
}

INADataSourceDescription* CNADriverSQL::piGetTableDesc(int, int nStatement, unsigned int) {
  COperationFrame clFrame(this);
  CStatementHandle clStatement(this, nStatement);
  if (!clStatement || m_pclDriver == nullptr) return nullptr;
  auto* pclSource = static_cast<CNADataSourceDescription*>(
      m_pclDriver->pclAllocDataSourceDescription(clStatement->pclGetConnection(), m_pclError));
  if (pclSource == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  // Held while it fills; a description that cannot be filled goes with
  // this release.
  pclSource->AddRef();
  if (!pclSource->bInitDataSourceDescriptionFromStatement(clStatement.pcl())) {
    pclSource->nRelease();
    return nullptr;
  }
  pclSource->ExternalAddRef();
  pclSource->nRelease();
  return pclSource;
}

int CNADriverSQL::bFetch(int, int nStatement, unsigned int nFlags) {
  COperationFrame clFrame(this);
  CStatementHandle clStatement(this, nStatement);
  if (!clStatement) return 0;
  // The back end answers 1 at the end of the rows too, with its end flag
  // set: the server's loop ends on 0, with an empty error.
  return clStatement->bFetch(nFlags) && !clStatement->bIsEndOfData() ? 1 : 0;
}

int CNADriverSQL::bGetRow(CAny* pValue, int, int nStatement, const wchar_t* pszSeparator,
                          int nColumns, unsigned int nFlags) {
  COperationFrame clFrame(this);
  CStatementHandle clStatement(this, nStatement);
  if (!clStatement || pValue == nullptr) return 0;
  return clStatement->bGetRow(pValue, pszSeparator, nColumns, nFlags);
}

int CNADriverSQL::bGetValue(CAny* pValue, int, int nStatement, unsigned int nColumn,
                            unsigned int nFlags) {
  COperationFrame clFrame(this);
  CStatementHandle clStatement(this, nStatement);
  if (!clStatement || pValue == nullptr) return 0;
  return clStatement->bGetValue(pValue, nColumn - 1u, nFlags);
}

int CNADriverSQL::bGetBLOBValue(CAny* pValue, int, int nStatement, unsigned int nColumn,
                                unsigned int nFlags) {
  COperationFrame clFrame(this);
  CStatementHandle clStatement(this, nStatement);
  if (!clStatement || pValue == nullptr) return 0;
  return clStatement->bGetBLOBValue(pValue, nColumn - 1u, nFlags);
}

// ---------------------------------------------------------------------------
// Transactions and locks

int CNADriverSQL::bTrsBegin(int*, int nConnection, unsigned int) {
  COperationFrame clFrame(this);
  CConnectionHandle clConnection(this, nConnection);
  if (!clConnection) return 0;
  return clConnection.pcl()->bTransactionBegin(m_pclError, kTransactionName);
}

int CNADriverSQL::bTrsCommit(int nConnection, int, unsigned int) {
  COperationFrame clFrame(this);
  CConnectionHandle clConnection(this, nConnection);
  if (!clConnection) return 0;
  return clConnection.pcl()->bTransactionCommit(m_pclError, kTransactionName);
}

int CNADriverSQL::bTrsRollBack(int nConnection, int, unsigned int) {
  COperationFrame clFrame(this);
  CConnectionHandle clConnection(this, nConnection);
  if (!clConnection) return 0;
  return clConnection.pcl()->bTransactionRollBack(m_pclError, kTransactionName);
}

int CNADriverSQL::bSQLBloqueTable(int nConnection, const wchar_t* pszTable, unsigned int nFlags) {
  COperationFrame clFrame(this);
  CConnectionHandle clConnection(this, nConnection);
  if (!clConnection) return 0;
  // Outside a transaction a lock would be let go at once: the program would
  // believe the table locked.
  if (!clConnection.pcl()->_bTransactionOpened())
    return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, kSiteLockTable,
                              clConnection.pcl(), pszTable, nullptr, kErrLockWithoutTransaction);
  return bSQLBloqueTable(m_pclError, clConnection.pcl(), pszTable, nFlags);
}

int CNADriverSQL::bSQLBloqueRequete(int nConnection, const wchar_t* pszQuery,
                                    unsigned int nFlags) {
  COperationFrame clFrame(this);
  CConnectionHandle clConnection(this, nConnection);
  if (!clConnection) return 0;
  if (!clConnection.pcl()->_bTransactionOpened())
    return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, kSiteLockQuery,
                              clConnection.pcl(), nullptr, nullptr, kErrLockWithoutTransaction);
  return bSQLBloqueRequete(clConnection.pcl(), pszQuery, nFlags);
}

int CNADriverSQL::bSQLBloqueTable(CNAError* pclError, CNAConnectionDescription* pclConnection,
                                  const wchar_t* pszTable, unsigned int) {
  if (!pclConnection->bOpen(pclError)) return 0;
  return pclConnection->bSQLBloque(pclError, pszTable);
}

int CNADriverSQL::bSQLBloqueRequete(CNAConnectionDescription* pclConnection,
                                    const wchar_t* pszQuery, unsigned int) {
  if (!pclConnection->bOpen(m_pclError)) return 0;
  return pclConnection->bSQLBloqueRequete(m_pclError, pszQuery != nullptr ? pszQuery : L"");
}

int CNADriverSQL::bSetVMAndLibShop(ILibShop* piLibShop, IVMData* piVMData) {
  return m_pclDriver != nullptr ? m_pclDriver->bSetVMAndLibShop(piLibShop, piVMData) : 0;
}

// ---------------------------------------------------------------------------
// SQL run for the connection's base

int CNADriverSQL::bExecuteQueryNoResult(CNAError* pclError, CNAConnectionDescription* pclConnection,
                                        const wchar_t* pszQuery) {
  CNADriverLockFrame clFrame;
  CNAStatementSQL* pclStatement = pclAllocStatementSQL(pclConnection, pclError);
  if (pclStatement == nullptr) {
    if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  pclStatement->AddRef();
  // A result set the text gives is dropped with the statement.
  const int bResult =
      pclStatement->bExecuteDirect(pszQuery != nullptr ? pszQuery : L"", nullptr, 0);
  pclStatement->nRelease();
  return bResult;
}

int CNADriverSQL::bGetRequestedValue(CNAError* pclError, CNAConnectionDescription* pclConnection,
                                     CAny* pValue, int nColumn, const wchar_t* pszQuery) {
  CNADriverLockFrame clFrame;
  CNAStatementSQL* pclStatement = pclAllocStatementSQL(pclConnection, pclError);
  if (pclStatement == nullptr) {
    if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  pclStatement->AddRef();
  // A negative column reads as a huge unsigned one: the statement refuses it.
  const int bResult = pclStatement->bGetRequestedValue(pValue, static_cast<unsigned int>(nColumn),
                                                       pszQuery != nullptr ? pszQuery : L"");
  pclStatement->nRelease();
  return bResult;
}

// ---------------------------------------------------------------------------
// Shared by the interface's operations, the lists and the links

int CNADriverSQL::bExecute(CNAError* pclError, CNAStatementSQL** ppclStatement,
                           CNAConnectionDescription* pclConnection, const wchar_t* pszQuery,
                           CTabValParser* pclParameters, NA_WRITEPARSEFLAGS nFlags) {
  *ppclStatement = nullptr;
  CNAStatementSQL* pclStatement = pclAllocStatementSQL(pclConnection, pclError);
  if (pclStatement == nullptr) return 0;
  pclStatement->AddRef();
  int bResult = pclStatement->bExecuteDirect(pszQuery, pclParameters, nFlags);
  if (bResult) {
    int nColumns = 0;
    // Only a result set is worth a statement: an UPDATE or DDL text
    // succeeds without one.
    if (pclStatement->bGetColumnNbr(&nColumns, 0) && nColumns > 0) {
      *ppclStatement = pclStatement;
      return bResult;
    }
  }
  pclStatement->nRelease();
  return bResult;
}

INADataSourceDescription* CNADriverSQL::_pclGetTableDesc(const wchar_t* pszTable,
                                                         CNAConnectionDescription* pclConnection) {
  if (m_pclDriver == nullptr) return nullptr;
  auto* pclSource = static_cast<CNADataSourceDescription*>(
      m_pclDriver->pclAllocDataSourceDescription(pclConnection, m_pclError));
  if (pclSource == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  pclSource->AddRef();
  if (!pclSource->bInitDataSourceDescriptionFromDB(pszTable, 0)) {
    pclSource->nRelease();
    return nullptr;
  }
  return pclSource;
}
