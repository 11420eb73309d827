// The least data access: what a context asks of it.
#include "tables/na_data_access.h"

#include "driver/connection_description.h"
#include "driver/na_context.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "kq230/data_source_description_interface.h"

CNADataAccess::CNADataAccess(INADataSourceDescription* piSource,
                             CNAConnectionDescription* pclConnection, CNAError* pclError)
    : m_pclError(pclError), m_pclConnection(pclConnection), m_piSource(piSource) {
  if (m_pclError != nullptr) m_pclError->AddRef();
  if (m_pclConnection != nullptr) m_pclConnection->AddRef();
  if (m_piSource != nullptr) {
    m_piSource->ExternalAddRef();
    const wchar_t* pszName = m_piSource->pszGetLogicalName();
    m_csLogicalName = pszName != nullptr ? pszName : L"";
  }
  m_csAliasName = m_csLogicalName;
  // The name as the connection writes it in SQL, quoted so that no name can
  // end the identifier early.
  if (m_pclConnection != nullptr && m_csLogicalName.nTaille() > 0)
    m_pclConnection->bFormatTableName(m_pclError, m_csLogicalName.pszGet(), &m_csDBTableName);
}

CNADataAccess::~CNADataAccess() {
  if (m_piSource != nullptr) m_piSource->nExternalRelease();
  m_piSource = nullptr;
  CNAConnectionDescription* pclConnection = m_pclConnection;
  m_pclConnection = nullptr;
  if (pclConnection != nullptr) {
    if (CNADriver::s_pclDriver != nullptr)
      CNADriver::s_pclDriver->nReleaseConnection(pclConnection);
    else
      pclConnection->nRelease();
  }
  if (m_pclError != nullptr) m_pclError->nRelease();
  m_pclError = nullptr;
}

void CNADataAccess::SetContext(CNAContext* pclContext) {
  m_pclContext = pclContext;
  if (pclContext == nullptr) return;
  const wchar_t* pszNext = pclContext->pszGetNextLogicalName();
  if (pszNext != nullptr && *pszNext != L'\0') m_csAliasName = pszNext;
}

int CNADataAccess::bHFerme() {
  m_bOpened = 0;
  return 1;
}

int CNADataAccess::bHMode(_eNA_HMODE eMode) {
  m_eMode = eMode;
  return 1;
}
