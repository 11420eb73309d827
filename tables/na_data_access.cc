// The data access: its object, opening, closing and the existence test.
#include "tables/na_data_access.h"

#include <new>

#include "core/string_concat.h"
#include "core/xmalloc.h"
#include "driver/connection_description.h"
#include "driver/na_context.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/data_source_description.h"
#include "items/record.h"
#include "kq230/data_source_description_interface.h"
#include "sqlbuilder/id_auto.h"
#include "statements/driver_sql.h"
#include "statements/record_buffer.h"
#include "statements/record_value.h"
#include "statements/statement.h"
#include "statements/statement_sql.h"

namespace {

// Debug sites of this file.
constexpr int kSiteNoStatementSQL = 1;
constexpr int kSiteNoImportedResult = 2;
constexpr int kSiteNoConnection = 3;

bool bEmptyText(const wchar_t* psz) { return psz == nullptr || *psz == L'\0'; }

// A new, empty description on the connection, with one (internal) reference
// for the caller: the driver object's kind when there is one, so that the
// back end reads the server its own way, else the generic one. Null, with
// the error's out-of-memory, when memory runs out.
CNADataSourceDescription* pclNewDescription(CNAConnectionDescription* pclConnection,
                                            CNAError* pclError) {
  CNADataSourceDescription* pclSource = nullptr;
  if (CNADriver::s_pclDriver != nullptr) {
    pclSource = static_cast<CNADataSourceDescription*>(
        CNADriver::s_pclDriver->pclAllocDataSourceDescription(pclConnection, pclError));
  } else {
    pclSource = new (std::nothrow) CNADataSourceDescription(pclConnection, pclError);
  }
  if (pclSource == nullptr) {
    if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  pclSource->AddRef();
  return pclSource;
}

}  // namespace

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
  const wchar_t* pszRaw = _pszGetRawTableName();
  if (m_pclConnection != nullptr && !bEmptyText(pszRaw))
    m_pclConnection->bFormatTableName(m_pclError, pszRaw, &m_csDBTableName);
}

CNADataAccess::~CNADataAccess() {
  CNADataAccess::bHFerme();
  CNAIDAuto* pclIDAuto = m_pclIDAuto;
  m_pclIDAuto = nullptr;
  if (pclIDAuto != nullptr) pclIDAuto->nRelease();
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

const wchar_t* CNADataAccess::_pszGetRawTableName() const {
  const wchar_t* pszDB = m_piSource != nullptr ? m_piSource->pszGetDBTableName() : nullptr;
  return bEmptyText(pszDB) ? m_csLogicalName.pszGet() : pszDB;
}

int CNADataAccess::_nRaise(int nSite, unsigned int nCode, const wchar_t* pszItem) {
  return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, nSite, m_pclConnection,
                            m_csLogicalName.pszGet(), pszItem, nCode);
}

void CNADataAccess::SetContext(CNAContext* pclContext) {
  m_pclContext = pclContext;
  if (pclContext == nullptr) return;
  const wchar_t* pszNext = pclContext->pszGetNextLogicalName();
  if (!bEmptyText(pszNext)) m_csAliasName = pszNext;
}

int CNADataAccess::bHMode(_eNA_HMODE eMode) {
  m_eMode = eMode;
  return 1;
}

INADataSourceDescription* CNADataAccess::piGetDataSourceNoRef() const {
  if (m_piSource != nullptr) return m_piSource;
  return m_pclImported;
}

// ---------------------------------------------------------------------------
// Opening and closing

int CNADataAccess::bHOuvre(_eNA_ACCESS eAccess, const wchar_t* pszName) {
  if (m_pclContext != nullptr) {
    const wchar_t* pszNext = m_pclContext->pszGetNextLogicalName();
    if (!bEmptyText(pszNext)) m_csAliasName = pszNext;
  }
  if (m_bOpened) return 1;
  m_eAccess = eAccess;
  m_csOpenName = pszName != nullptr ? pszName : L"";
  if (_bCheckCompatibility() && _bInitCurrentRecord()) {
    m_bOpened = 1;
    return 1;
  }
  // What a failed opening made is not kept: a later opening starts afresh.
  _ReleaseRecord();
  _SetImportedDataSourceDesc(nullptr);
  if (m_pclError != nullptr) m_pclError->SetErrorLevel(static_cast<eNAERRORLEVEL>(kOpenFailureLevel));
  return 0;
}

int CNADataAccess::_bCheckCompatibility() {
  // Without a description there is nothing the table must hold; the
  // record's layout reports the missing description.
  if (m_piSource == nullptr) return 1;
  CNADataSourceDescription* pclFromDB = pclGetDataSourceDescriptionFromDB(_pszGetRawTableName());
  if (pclFromDB == nullptr) return 0;
  const int bCompatible = pclFromDB->bAreDescriptionCompatible(m_piSource);
  if (bCompatible) _SetImportedDataSourceDesc(pclFromDB);
  pclFromDB->nRelease();
  return bCompatible;
}

CNADataSourceDescription* CNADataAccess::pclGetDataSourceDescriptionFromDB(const wchar_t* pszName) {
  if (m_pclConnection == nullptr) {
    _nRaise(kSiteNoConnection, kErrNotOffered, nullptr);
    return nullptr;
  }
  if (!m_pclConnection->bIsOpen() && !m_pclConnection->bOpen(m_pclError)) return nullptr;
  CNADataSourceDescription* pclSource = pclNewDescription(m_pclConnection, m_pclError);
  if (pclSource == nullptr) return nullptr;
  if (!pclSource->bInitDataSourceDescriptionFromDB(pszName != nullptr ? pszName : L"", 0)) {
    pclSource->nRelease();
    return nullptr;
  }
  return pclSource;
}

void CNADataAccess::_SetImportedDataSourceDesc(CNADataSourceDescription* pclImported) {
  if (pclImported == m_pclImported) return;
  if (pclImported != nullptr) pclImported->AddRef();
  CNADataSourceDescription* pclOld = m_pclImported;
  m_pclImported = pclImported;
  if (pclOld != nullptr) pclOld->nRelease();
}

CNARecord* CNADataAccess::_pclAllocRecord() {
  return new (std::nothrow) CNARecord(m_pclError, this);
}

int CNADataAccess::_bInitCurrentRecord() {
  CNARecord* pclRecord = _pclAllocRecord();
  if (pclRecord == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  pclRecord->AddRef();
  int bOk = pclRecord->bInitRecord(piGetDataSourceNoRef(), m_pclImported, m_pclConnection);
  if (bOk && !m_clRecordIdLayout.bInit(pclRecord)) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    bOk = 0;
  }
  if (!bOk) {
    pclRecord->nRelease();
    return 0;
  }
  _ReleaseRecord();
  m_pclRecord = pclRecord;
  return 1;
}

void CNADataAccess::_ReleaseRecord() {
  CNARecord* pclRecord = m_pclRecord;
  m_pclRecord = nullptr;
  if (pclRecord != nullptr) pclRecord->nRelease();
}

void CNADataAccess::_CloseStatements() {
  m_pclCurrentStatement = nullptr;
  unsigned int nPos = 0;
  void* pValue = nullptr;
  void* pKey = nullptr;
  // Each entry is taken out before its statement is closed: nothing the
  // statement does on closing can reach the table again.
  while (m_tabStatements.bParseTable(&nPos, 1, &pValue, &pKey)) {
    auto* pclStatement = static_cast<CNAStatement*>(pValue);
    XMALLOC_Del_(pKey);
    if (pclStatement == nullptr) continue;
    pclStatement->Close();
    pclStatement->EnableCache(0);
    // A statement someone else still holds must not call back into a data
    // access that may be gone by then.
    pclStatement->DetachDataAccess();
    pclStatement->nRelease();
  }
}

int CNADataAccess::bHFerme() {
  _FreePositionsAndNumbers();
  _CloseStatements();
  _ReleaseRecord();
  _SetImportedDataSourceDesc(nullptr);
  m_bOpened = 0;
  return 1;
}

// ---------------------------------------------------------------------------
// Statements

CNAStatement* CNADataAccess::_pclAllocStatement() {
  // The back end's statement when the driver makes one (its factory answers
  // a CNAStatement*); the generic statement otherwise.
  if (CNADriver::s_pclDriver != nullptr) {
    void* p = CNADriver::s_pclDriver->pclAllocStatement(this, m_pclConnection, m_pclError);
    if (p != nullptr) return static_cast<CNAStatement*>(p);
  }
  return new (std::nothrow) CNAStatement(static_cast<CNAStatementsDataAccess*>(this), m_pclError);
}

CNAStatement* CNADataAccess::pclGetItemStatementNoRef(const wchar_t* pszItem) const {
  void* pValue = nullptr;
  if (!m_tabStatements.bGetElement(pszItem != nullptr ? pszItem : L"", &pValue, nullptr))
    return nullptr;
  return static_cast<CNAStatement*>(pValue);
}

CNAStatement* CNADataAccess::_pclInitStatement(const wchar_t* pszItem) {
  if (pszItem == nullptr) pszItem = L"";
  CNAStatement* pclStatement = pclGetItemStatementNoRef(pszItem);
  if (pclStatement == nullptr) {
    pclStatement = _pclAllocStatement();
    if (pclStatement == nullptr) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      return nullptr;
    }
    pclStatement->AddRef();
    pclStatement->SetBrowseItem(pszItem);
    // The table's reference keeps it from here; without a place in the
    // table it goes, told first that its data access is no more its own.
    const int bAdded = m_tabStatements.bAddStringElement(pszItem, pclStatement);
    if (!bAdded) pclStatement->DetachDataAccess();
    pclStatement->nRelease();
    if (!bAdded) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      return nullptr;
    }
  }
  m_pclCurrentStatement = pclStatement;
  return pclStatement;
}

void CNADataAccess::ClosingStatement(CNAStatement*) {}

int CNADataAccess::bOnRecordRefreshed(CNAStatement*) { return 1; }

int CNADataAccess::bInitImportedDataSourceDesc(CNAStatement* pclStatement) {
  if (m_piSource != nullptr) return 1;
  CNAStatementSQL* pclResult =
      pclStatement != nullptr ? pclStatement->pclGetStatementSQLNoRef() : nullptr;
  if (pclResult == nullptr) return _nRaise(kSiteNoImportedResult, kErrNotOffered, nullptr);
  CNADataSourceDescription* pclSource = pclNewDescription(m_pclConnection, m_pclError);
  if (pclSource == nullptr) return 0;
  if (m_csLogicalName.nTaille() > 0) pclSource->SetLogicalName(m_csLogicalName.pszGet());
  const int bResult = pclSource->bInitDataSourceDescriptionFromStatement(pclResult);
  if (bResult) _SetImportedDataSourceDesc(pclSource);
  pclSource->nRelease();
  return bResult;
}

// ---------------------------------------------------------------------------
// Buffers, values and identifiers of the record

CNAZBRecordBase* CNADataAccess::pclAllocZBRecord(CNAError* pclError,
                                                 INADataSourceDescription* piSource,
                                                 eINITTYPE eInit) {
  // The server's items cannot give their default value in the driver's
  // form (asking aborts): over its description the buffer starts empty, and
  // the database's own defaults apply when a row is written.
  if (piSource != nullptr && piSource == m_piSource) eInit = INIT_ZEROED;
  CNAZBRecord* pclBuffer = new (std::nothrow) CNAZBRecord;
  if (pclBuffer == nullptr || !pclBuffer->bInit(piSource, eInit)) {
    delete pclBuffer;
    if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  return pclBuffer;
}

CNARecordValueBase* CNADataAccess::pclAllocRecordValue(CNAError* pclError) {
  return new (std::nothrow) CNARecordValue(pclError);
}

CNARecordIdBase* CNADataAccess::pclAllocRecordID(const CNARecordValueBase*) {
  return new (std::nothrow) CNARecordId(CNARecordId::KIND_RECORD_VALUES);
}

// ---------------------------------------------------------------------------
// Existence
//
// SHOW TABLES LIKE takes its pattern in a plain string literal, and the way
// the server reads that literal depends on the session's sql_mode, which a
// program may change with its own SET at any time. The pattern is therefore
// written with nothing whose reading depends on the mode:
//   - a quote is doubled (read alike in both modes);
//   - "%" and "_" become "\%" and "\_": with backslash escapes the server
//     keeps these two sequences as they stand for LIKE, without them they
//     are those characters anyway, and SHOW TABLES always takes "\" as its
//     pattern's escape;
//   - a backslash, which no form reads alike in both modes, becomes "_"
//     (any one character), and the rows that come back are checked for a
//     backslash at those places.
// The text reaches the server in the connection's code page (a character it
// cannot hold is refused, never sent as "?"), so no byte of a multi-byte
// character can stand for one of these.

namespace {

// The rows match the name at every place but where a backslash of the name
// was sent as "_": the server compared the rest by its own rules (case
// included, as the file system of its tables has it).
bool bBackslashesMatch(const wchar_t* pszName, const wchar_t* pszRow, unsigned int nRow) {
  unsigned int n = 0;
  while (pszName[n] != 0) ++n;
  if (n != nRow) return false;
  for (unsigned int i = 0; i < n; ++i) {
    if (pszName[i] == L'\\' && pszRow[i] != L'\\') return false;
  }
  return true;
}

}  // namespace

int CNADataAccess::bFichierExiste(const wchar_t* pszName, int* pbExists) {
  *pbExists = 0;
  if (pszName == nullptr) pszName = L"";
  if (m_pclConnection == nullptr) return _nRaise(kSiteNoConnection, kErrNotOffered, nullptr);
  if (!m_pclConnection->bIsOpen() && !m_pclConnection->bOpen(m_pclError)) return 0;
  CXYStringConcat<wchar_t> clQuery(64);
  clQuery.Add(L"SHOW TABLES LIKE '", 18);
  bool bBackslash = false;
  for (const wchar_t* p = pszName; *p != 0; ++p) {
    switch (*p) {
      case L'\'':
        clQuery.Add(L"''", 2);
        break;
      case L'%':
        clQuery.Add(L"\\%", 2);
        break;
      case L'_':
        clQuery.Add(L"\\_", 2);
        break;
      case L'\\':
        clQuery.Add(L'_');
        bBackslash = true;
        break;
      default:
        clQuery.Add(*p);
        break;
    }
  }
  clQuery.Add(L'\'');
  if (clQuery.bEchec()) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  // Only a back end runs SQL with a result.
  CNADriverSQL* pclDriverSQL = CNADriverSQL::s_pclGetFromDriver();
  if (pclDriverSQL == nullptr) return _nRaise(kSiteNoStatementSQL, kErrNotOffered, nullptr);
  CNAStatementSQL* pclStatement = pclDriverSQL->pclAllocStatementSQL(m_pclConnection, m_pclError);
  if (pclStatement == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  pclStatement->AddRef();
  int bResult = pclStatement->bExecuteDirect(clQuery.pszGet(), nullptr, 0);
  CXYStringConcat<wchar_t> clRow(64);
  while (bResult && *pbExists == 0) {
    bResult = pclStatement->bFetch(0);
    if (!bResult || pclStatement->bIsEndOfData()) break;
    if (!bBackslash) {
      *pbExists = 1;
      break;
    }
    bResult = pclStatement->bGetRow(&clRow, nullptr, 1, 0);
    if (bResult && bBackslashesMatch(pszName, clRow.pszGet(), clRow.nGetLength())) *pbExists = 1;
  }
  pclStatement->bReset();
  pclStatement->nRelease();
  if (!bResult) *pbExists = 0;
  return bResult;
}
