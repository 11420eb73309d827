// One level of a connection's transaction: begin, commit and rollback through
// the connection, and the level that a lost connection aborted.
#include "tables/na_transaction.h"

#include "driver/connection_description.h"
#include "driver/na_error.h"

namespace {

// Debug points of the level's errors (file CNATransaction::kErrorFile).
constexpr int kSiteCommitOther = 1;    // commit naming no open level
constexpr int kSiteRollBackOther = 2;  // rollback naming no open level
constexpr int kSiteNested = 3;         // an inner level asked for
constexpr int kSiteCommitAborted = 4;  // commit of a level the lost connection ended

constexpr unsigned int kErrNotBuilt = 8;
constexpr unsigned int kErrNoSuchTransaction = 9;  // (transaction name)
constexpr unsigned int kErrDataBase = 22;          // (data source, native code)

const wchar_t* pszOrEmpty(const wchar_t* psz) { return psz != nullptr ? psz : L""; }

}  // namespace

CNATransaction::CNATransaction(CNAConnectionDescription* pclConnection)
    : m_pclConnection(pclConnection) {}

CNATransaction::~CNATransaction() = default;

bool CNATransaction::bIsThisLevel(const wchar_t* pszName) const {
  return pszName == nullptr || *pszName == L'\0' || m_csName.bEstEgalI(pszName);
}

int CNATransaction::_bNABegin(CNAError* pclError) {
  return m_pclConnection->bTransactionBeginDirect(pclError);
}
int CNATransaction::_bNACommit(CNAError* pclError) {
  return m_pclConnection->bTransactionCommitDirect(pclError);
}
int CNATransaction::_bNARollBack(CNAError* pclError) {
  return m_pclConnection->bTransactionRollBackDirect(pclError);
}

int CNATransaction::bBegin(CNAError* pclError, const wchar_t* pszName, int nKind) {
  m_csName = pszOrEmpty(pszName);
  m_nBeginKind = nKind;
  m_bAborted = 0;
  m_nAbortNative = 0;
  m_csAbortMessage = L"";
  // The open flag is set only once the server has begun: a BEGIN that the
  // lost connection swallowed leaves the level closed.
  m_bOpen = 0;
  m_bOpen = _bNABegin(pclError) ? 1 : 0;
  return m_bOpen;
}

int CNATransaction::_bCommit(CNAError* pclError) {
  m_bOpen = 0;
  return _bNACommit(pclError);
}

int CNATransaction::_bRollBack(CNAError* pclError) {
  if (!m_bOpen) return 1;
  m_bOpen = 0;
  return _bNARollBack(pclError);
}

int CNATransaction::bCommit(CNAError* pclError, const wchar_t* pszName) {
  if (!bIsThisLevel(pszName))
    return CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kErrorFile, kSiteCommitOther,
                              m_pclConnection, nullptr, nullptr, kErrNoSuchTransaction, pszName);
  if (m_bAborted) {
    // The server rolled the work back when the connection went: committing
    // now must not report success for work that is gone.
    nReportAborted(pclError, kErrorFile, kSiteCommitAborted);
    m_bAborted = 0;
    m_bOpen = 0;
    return 0;
  }
  return _bCommit(pclError);
}

int CNATransaction::bRollBack(CNAError* pclError, const wchar_t* pszName) {
  if (!bIsThisLevel(pszName))
    return CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kErrorFile, kSiteRollBackOther,
                              m_pclConnection, nullptr, nullptr, kErrNoSuchTransaction, pszName);
  if (m_bAborted) {
    // What the program asks for has happened already, on the server's side.
    m_bAborted = 0;
    m_bOpen = 0;
    return 1;
  }
  return _bRollBack(pclError);
}

int CNATransaction::bInternalTransactionBegin(CNAError* pclError, const wchar_t*) {
  if (m_bAborted) return nReportAborted(pclError, kErrorFile, kSiteNested);
  CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kErrorFile, kSiteNested, m_pclConnection,
                     nullptr, nullptr, kErrNotBuilt);
  if (pclError != nullptr)
    pclError->AddDebugMessageNoFormat(L"bInternalTransactionBegin: not built yet");
  return 0;
}

void CNATransaction::SetAborted(unsigned int nNative, const wchar_t* pszMessage) {
  if (!m_bOpen) return;
  m_bOpen = 0;
  m_bAborted = 1;
  m_nAbortNative = nNative;
  m_csAbortMessage = pszOrEmpty(pszMessage);
}

int CNATransaction::nReportAborted(CNAError* pclError, int nFile, int nSite) {
  if (pclError == nullptr) return 0;
  pclError->_SetDataBaseError(eNA_ERRORTYPE(0), m_pclConnection, kErrDataBase, m_nAbortNative,
                              m_csAbortMessage.pszGet(), nullptr, nullptr);
  pclError->AddDebugInfo(nFile, nSite);
  pclError->AddDebugMessageNoFormat(
      L"The connection was lost inside the transaction: the server discarded its work. "
      L"Commit or roll it back before the connection is used again.");
  return 0;
}
