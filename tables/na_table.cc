// The least table object: counts, identity, and the record commands that are
// not built yet.
#include "tables/na_table.h"

#include "driver/connection_description.h"
#include "driver/driver_lock.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "kq230/data_source_description_interface.h"

namespace {

// Debug points of the table's errors (file CNATable::kErrorFile).
constexpr int kSiteClose = 20;
constexpr int kSiteMode = 21;
constexpr int kSiteDelete = 22;
constexpr int kSiteQuery = 23;

constexpr unsigned int kErrNotBuilt = 8;

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
}

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

int CNATable::_nNotBuiltYet(const wchar_t* pszOperation, int nSite) {
  CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(7), kErrorFile, nSite, m_pclConnection,
                     m_csLogicalName.pszGet(), nullptr, kErrNotBuilt);
  if (m_pclError != nullptr) {
    CTString csText(pszOperation, L": not built yet", nullptr);
    m_pclError->AddDebugMessageNoFormat(csText.pszGet());
  }
  return 0;
}

int CNATable::bHFerme(INAContext*) {
  CNADriverLockFrame clLock;
  return _nNotBuiltYet(L"CNATable::bHFerme", kSiteClose);
}

int CNATable::bHMode(INAContext*, _eNA_HMODE) {
  CNADriverLockFrame clLock;
  return _nNotBuiltYet(L"CNATable::bHMode", kSiteMode);
}

int CNATable::bSupprimeFichier(INAContext*) {
  CNADriverLockFrame clLock;
  return _nNotBuiltYet(L"CNATable::bSupprimeFichier", kSiteDelete);
}

int CNATable::bExecuteQuery(int*, INAContext*, const wchar_t*, ISQLParserInformation*,
                            unsigned int, const INAQueryExecution*) {
  CNADriverLockFrame clLock;
  return _nNotBuiltYet(L"CNATable::bExecuteQuery", kSiteQuery);
}
