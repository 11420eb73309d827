// The driver's own queries: made through a data access without description,
// read as language values or as text.
#include "sqlbuilder/internal_parse.h"

#include <cwchar>
#include <new>

#include "driver/data_access_interface.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/column.h"
#include "items/record.h"
#include "kq230/vm_values.h"
#include "sqlbuilder/internal_query_interface.h"
#include "values/any.h"

namespace {

// File number of the internal queries' errors in their debug line, and
// sites.
constexpr int kNAFileInternalParse = 15;
constexpr int kSiteNoInternalQuery = 1;
constexpr int kSiteNoDriver = 2;

// User error 8: the operation is not offered.
constexpr unsigned int kErrNotOffered = 8;

bool bEmptyText(const wchar_t* psz) { return psz == nullptr || *psz == L'\0'; }

int nLength(const wchar_t* psz) { return psz != nullptr ? static_cast<int>(std::wcslen(psz)) : 0; }

}  // namespace

CNAInternalParse::CNAInternalParse(CNAError* pclError, CNAConnectionDescription* pclConnection)
    : m_pclError(pclError), m_pclConnection(pclConnection) {}

CNAInternalParse::~CNAInternalParse() {
  // The statement reads the data access's rows: it goes first.
  CNAInternalQueryStatement* pclStatement = m_pclStatement;
  m_pclStatement = nullptr;
  if (pclStatement != nullptr) pclStatement->nRelease();
  CNADataAccessBase* pclDataAccess = m_pclDataAccess;
  m_pclDataAccess = nullptr;
  if (pclDataAccess != nullptr) pclDataAccess->nRelease();
}

CNAInternalParse* CNAInternalParse::s_pclGetNAInternalParse(
    const wchar_t* pszQuery, CNAError* pclError, CNAConnectionDescription* pclConnection) {
  CNAInternalParse* pclParse = new (std::nothrow) CNAInternalParse(pclError, pclConnection);
  if (pclParse == nullptr) {
    if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  if (pclParse->_bAllocate() && pclParse->_bExecute(pszQuery)) return pclParse;
  delete pclParse;
  return nullptr;
}

int CNAInternalParse::s_bDoInternalParse(const wchar_t* pszQuery, CNAError* pclError,
                                         CNAConnectionDescription* pclConnection,
                                         CXYStringConcat<wchar_t>* pText,
                                         const wchar_t* pszRowSeparator,
                                         const wchar_t* pszColumnSeparator) {
  CNAInternalParse* pclParse = s_pclGetNAInternalParse(pszQuery, pclError, pclConnection);
  if (pclParse == nullptr) return 0;
  pclParse->dwAddRef();
  const int bResult = pclParse->bFetchAll(pText, pszRowSeparator, pszColumnSeparator);
  pclParse->dwRelease();
  return bResult;
}

int CNAInternalParse::_bAllocate() {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  // Only a back end's driver makes data accesses.
  if (pclDriver == nullptr) {
    return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kNAFileInternalParse,
                              kSiteNoDriver, m_pclConnection, kQueryName, nullptr,
                              kErrNotOffered);
  }
  CNADataAccessBase* pclDataAccess =
      pclDriver->pclAllocDataAccess(nullptr, m_pclConnection, m_pclError);
  if (pclDataAccess == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  pclDataAccess->AddRef();
  m_pclDataAccess = pclDataAccess;
  return 1;
}

int CNAInternalParse::_bExecute(const wchar_t* pszQuery) {
  auto* piRunner = dynamic_cast<CNAInternalQueryDataAccess*>(m_pclDataAccess);
  if (piRunner == nullptr) {
    return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kNAFileInternalParse,
                              kSiteNoInternalQuery, m_pclConnection, kQueryName, nullptr,
                              kErrNotOffered);
  }
  CNAInternalQueryStatement* pclStatement = nullptr;
  const int bResult = piRunner->bExecuteQueryInternal(&pclStatement, kQueryName,
                                                      pszQuery != nullptr ? pszQuery : L"");
  // The reference handed out becomes the object's.
  m_pclStatement = pclStatement;
  if (bResult && m_pclStatement != nullptr) m_pclStatement->EnableCache(0);
  return bResult;
}

// ---------------------------------------------------------------------------
// Reading

int CNAInternalParse::bFetch(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange) {
  if (m_pclStatement == nullptr) {
    if (pbOutOfRange != nullptr) *pbOutOfRange = 1;
    return 1;
  }
  return m_pclStatement->bFetch(eDirection, pbOutOfRange);
}

int CNAInternalParse::bFetchData(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange, CAny* pValues,
                                 int nCount) {
  if (m_pclStatement == nullptr) return 0;
  return m_pclStatement->bFetchData(eDirection, pbOutOfRange, pValues, nCount);
}

int CNAInternalParse::bFetchData(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange,
                                 CXYStringConcat<wchar_t>* pText, const wchar_t* pszRowSeparator,
                                 const wchar_t* pszColumnSeparator) {
  if (m_pclStatement == nullptr || pText == nullptr) return 0;
  int bOutOfRange = 1;
  const int bMoved = m_pclStatement->bFetch(eDirection, &bOutOfRange);
  if (pbOutOfRange != nullptr) *pbOutOfRange = bOutOfRange;
  if (!bMoved || bOutOfRange) return bMoved;
  // Appends psz; a text that cannot grow is out of memory.
  auto bAppend = [this, pText](const wchar_t* psz) {
    if (bEmptyText(psz) || pText->Add(psz, nLength(psz))) return true;
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return false;
  };
  // A text that already holds rows (or the caller's own data) is set apart
  // from this row.
  if (!pText->bEstVide() && !bAppend(pszRowSeparator)) return 0;
  CNARecord* pclRecord = m_pclStatement->pclGetRecordNoRef();
  const int nColumns = pclRecord != nullptr ? pclRecord->nGetColumnNbr() : 0;
  for (int i = 0; i < nColumns; ++i) {
    CAny clValue;
    if (!pclRecord->pclGetColumnNoRef(i)->bGetCurrentValue(&clValue, 0)) return 0;
    // A NULL, or a value that has no text, is an empty field.
    const wchar_t* pszField = nullptr;
    if (!clValue.bIsNull() && clValue.__nCastToString(&pszField, nullptr) > kVXLastSuccess)
      pszField = nullptr;
    if (i > 0 && !bAppend(pszColumnSeparator)) return 0;
    if (!bAppend(pszField)) return 0;
  }
  return 1;
}

int CNAInternalParse::bFetchAll(CXYStringConcat<wchar_t>* pText, const wchar_t* pszRowSeparator,
                                const wchar_t* pszColumnSeparator) {
  if (m_pclStatement == nullptr) return 0;
  int bOutOfRange = 0;
  eNA_PARSEDIRECTION eDirection = NA_PARSE_FIRST;
  for (;;) {
    // A read that fails half-way is a failure: the caller must not take the
    // rows before it for the whole result.
    if (!bFetchData(eDirection, &bOutOfRange, pText, pszRowSeparator, pszColumnSeparator))
      return 0;
    if (bOutOfRange) return 1;
    eDirection = NA_PARSE_NEXT;
  }
}

int CNAInternalParse::bReExecute() {
  if (m_pclStatement == nullptr) return 0;
  return m_pclStatement->bReExecute();
}

int CNAInternalParse::nGetColumnNbr() const {
  CNARecord* pclRecord = m_pclStatement != nullptr ? m_pclStatement->pclGetRecordNoRef() : nullptr;
  return pclRecord != nullptr ? pclRecord->nGetColumnNbr() : 0;
}

CNAColumn* CNAInternalParse::pclGetColumnNoRef(const wchar_t* pszName) const {
  CNARecord* pclRecord = m_pclStatement != nullptr ? m_pclStatement->pclGetRecordNoRef() : nullptr;
  if (pclRecord == nullptr || pszName == nullptr) return nullptr;
  return pclRecord->pclGetColumnNoRef(pszName);
}

CNAColumn* CNAInternalParse::pclGetColumnNoRef(int nIndex) const {
  CNARecord* pclRecord = m_pclStatement != nullptr ? m_pclStatement->pclGetRecordNoRef() : nullptr;
  if (pclRecord == nullptr || nIndex < 0 || nIndex >= pclRecord->nGetColumnNbr()) return nullptr;
  return pclRecord->pclGetColumnNoRef(nIndex);
}
