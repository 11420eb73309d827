#include "statements/statement.h"

#include <cstring>
#include <new>

#include "driver/connection_description.h"
#include "driver/na_error.h"
#include "items/convert_variant.h"

namespace {

// File number of the statement's errors in their debug line, and sites.
constexpr int kErrorFile = 51;
constexpr int kSiteNoRow = 1;
constexpr int kSiteNoColumn = 2;

}  // namespace

CNAStatement::CNAStatement(CNAConnectionDescription* pclConnection, CNAError* pclError)
    : m_pclConnection(pclConnection), m_pclError(pclError) {
  if (m_pclConnection != nullptr) m_pclConnection->AddRef();
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNAStatement::~CNAStatement() {
  ClearCurrentRow();
  if (m_pclConnection != nullptr) m_pclConnection->nRelease();
  if (m_pclError != nullptr) m_pclError->nRelease();
}

void CNAStatement::ClearCurrentRow() {
  if (m_pCells != nullptr) {
    for (int i = 0; i < m_nCells; ++i) delete[] m_pCells[i].pText;
    delete[] m_pCells;
  }
  m_pCells = nullptr;
  m_nCells = -1;
}

int CNAStatement::SetCurrentRow(const char* const* apCells, const unsigned long* anLengths,
                                int nCount, unsigned int nCodePage) {
  ClearCurrentRow();
  if (nCount < 0 || (nCount > 0 && (apCells == nullptr || anLengths == nullptr))) return 0;
  m_pCells = new (std::nothrow) stCell[nCount > 0 ? nCount : 1]();
  if (m_pCells == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  m_nCells = 0;
  for (int i = 0; i < nCount; ++i) {
    stCell& clCell = m_pCells[i];
    if (apCells[i] != nullptr) {
      if (anLengths[i] > 0x7FFFFFFEUL) {
        ClearCurrentRow();
        return 0;
      }
      clCell.nLength = static_cast<unsigned int>(anLengths[i]);
      clCell.pText = new (std::nothrow) char[clCell.nLength + 1];
      if (clCell.pText == nullptr) {
        ClearCurrentRow();
        if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
      }
      std::memcpy(clCell.pText, apCells[i], clCell.nLength);
      clCell.pText[clCell.nLength] = 0;
    }
    m_nCells = i + 1;
  }
  m_nCodePage = nCodePage;
  return 1;
}

int CNAStatement::bGetSQLColumnValue(CNAConvertVariant* pclValue, unsigned int nColumn) {
  if (pclValue == nullptr) return 0;
  if (m_nCells < 0) {
    return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, kSiteNoRow,
                              m_pclConnection, nullptr, nullptr, kErrNoCurrentRow);
  }
  if (nColumn >= static_cast<unsigned int>(m_nCells)) {
    return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, kSiteNoColumn,
                              m_pclConnection, nullptr, nullptr, kErrNoSuchColumn);
  }
  const stCell& clCell = m_pCells[nColumn];
  if (clCell.pText == nullptr) {
    pclValue->SetNull();
    return 1;
  }
  return pclValue->bSetValueDB(clCell.pText, clCell.nLength, m_nCodePage);
}
