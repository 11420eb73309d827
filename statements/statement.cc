#include "statements/statement.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <new>

#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/column.h"
#include "items/convert_variant.h"
#include "items/record.h"
#include "values/any.h"
#include "kq230/data_source_description_interface.h"
#include "sqlbuilder/command.h"
#include "statements/driver_sql.h"
#include "statements/record_buffer.h"
#include "statements/record_cache.h"
#include "statements/record_id.h"
#include "statements/statements_data_access_interface.h"

namespace {

// File number of the statement's errors in their debug line, and sites.
constexpr int kErrorFile = 51;
constexpr int kSiteNoRow = 1;
constexpr int kSiteNoColumn = 2;
constexpr int kSiteUpdateTouchedNothing = 3;

}  // namespace

CNAStatement::CNAStatement(CNAStatementsDataAccess* pclDataAccess, CNAError* pclError)
    : m_pclDataAccess(pclDataAccess),
      m_pclConnection(pclDataAccess != nullptr ? pclDataAccess->pclGetConnection() : nullptr),
      m_pclError(pclError) {
  if (m_pclConnection != nullptr) m_pclConnection->AddRef();
  if (m_pclError != nullptr) m_pclError->AddRef();
  if (m_pclDataAccess != nullptr) {
    m_pclRecord = m_pclDataAccess->pclGetRecordNoRef();
    m_piSource = m_pclDataAccess->piGetDataSourceNoRef();
  }
  // Made now so that a statement that cannot run says so at once; the
  // execution tries again.
  if (m_pclError != nullptr && !_bAllocStatementSQL())
    m_pclError->pclGetXError()->SetErrorNoMemory();
}

CNAStatement::CNAStatement(CNAConnectionDescription* pclConnection, CNAError* pclError)
    : m_pclConnection(pclConnection), m_pclError(pclError) {
  if (m_pclConnection != nullptr) m_pclConnection->AddRef();
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNAStatement::~CNAStatement() {
  ClearCurrentRow();
  m_refCommand.Reset(nullptr);
  if (m_pclStatementSQL != nullptr) m_pclStatementSQL->nRelease();
  m_pclStatementSQL = nullptr;
  if (m_pclCache != nullptr) m_pclCache->nRelease();
  m_pclCache = nullptr;
  m_refOriginalValue.Reset(nullptr);
  delete m_pIdLayout;
  delete m_pclScratchRow;
  if (m_pclConnection != nullptr) m_pclConnection->nRelease();
  if (m_pclError != nullptr) m_pclError->nRelease();
}

int CNAStatement::_bAllocStatementSQL() {
  if (m_pclStatementSQL != nullptr) return 1;
  CNADriverSQL* pclDriverSQL = CNADriverSQL::s_pclGetFromDriver();
  if (pclDriverSQL == nullptr || m_pclConnection == nullptr) return 0;
  m_pclStatementSQL = pclDriverSQL->pclAllocStatementSQL(m_pclConnection, m_pclError);
  if (m_pclStatementSQL == nullptr) return 0;
  m_pclStatementSQL->AddRef();
  return 1;
}

int CNAStatement::_nRaiseStatement(int nSite, unsigned int nCode) {
  return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, nSite, m_pclConnection,
                            m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetLogicalName()
                                                       : nullptr,
                            nullptr, nCode);
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
    if (m_pclStatementSQL != nullptr)
      return m_pclStatementSQL->bGetValue(pclValue, nColumn, 0);
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

// ---------------------------------------------------------------------------
// Lifecycle

void CNAStatement::_ResetExecution() {
  m_llCurrentRow = -1;
  m_llRowsBeforeBlock = 0;
  m_bWindowCutByCap = 0;
  m_llLimitReached = -1;
  m_llCapRows = 0;
  m_bIdLayoutReady = 0;
  m_bMovedSinceExecute = 0;
  m_bMoreAfter = 0;
  m_bStartKnown = 1;
  m_llStartRow = 0;
  m_bKeptRowGone = 0;
  m_llOutsideRow = LLONG_MIN;
}

int CNAStatement::bHasOpenResult() const {
  return m_bWindowOpen || (m_pclCache != nullptr && m_pclCache->llGetCount() > 0) ? 1 : 0;
}

void CNAStatement::SetBrowseItem(const wchar_t* pszItem) {
  m_strBrowseItem = pszItem != nullptr ? pszItem : L"";
}

void CNAStatement::SetCacheByteCap(long long llBytes) {
  m_llCacheCap = llBytes;
  if (m_pclCache != nullptr) m_pclCache->SetByteCap(llBytes >= 0 ? llBytes : kRecordCacheDefaultCap);
}

void CNAStatement::EnableCache(int bOn) {
  if (bOn) {
    if (m_pclCache == nullptr) {
      CNARecordCache* pclCache = new (std::nothrow) CNARecordCache;
      if (pclCache == nullptr) {
        if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
        return;
      }
      pclCache->AddRef();
      if (m_piSource == nullptr || pclCache->eInit(m_piSource) != RCS_OK) {
        // Without a layout there is nothing to cache rows by: the
        // statement stays on the server's result.
        pclCache->nRelease();
        return;
      }
      m_pclCache = pclCache;
    }
    m_pclCache->SetByteCap(m_llCacheCap >= 0 ? m_llCacheCap : kRecordCacheDefaultCap);
    m_bCacheEnabled = 1;
    if (m_pclCache->llGetCount() == 0) _SetBestCacheMethod();
    return;
  }
  m_bCacheEnabled = 0;
  if (m_llKeptCachedRow >= 0) _KeepCachedRow();
  if (m_pclCache != nullptr) {
    m_pclCache->nRelease();
    m_pclCache = nullptr;
  }
}

void CNAStatement::Close() {
  if (!m_bBlockFetch) {
    SetFilter(nullptr);
    if (m_pclDataAccess != nullptr) m_pclDataAccess->ClosingStatement(this);
    m_bParseStarted = 0;
    m_llCurrentRow = -1;
    m_llRowsBeforeBlock = 0;
    EnableCache(0);
  }
  if (m_nSecondUpdate != -1) m_nParseNeedUpdate = 2;
  m_bWindowAtFirstRow = 1;
  m_bWindowOpen = 0;
  m_bWindowCutByCap = 0;
  m_llLimitReached = -1;
  m_llWindowBase = 0;
  if (m_pclStatementSQL != nullptr) m_pclStatementSQL->bReset();
}

void CNAStatement::ResetQuery() {
  Close();
  m_bPositioned = 0;
  m_refCommand.Reset(nullptr);
}

// ---------------------------------------------------------------------------
// Execution

int CNAStatement::bExecuteDirectNewCommand(CNACommand* pclCommand, NA_WRITEPARSEFLAGS nFlags,
                                           int nPrepareMode) {
  m_refCommand.Reset(pclCommand);
  return bExecute(nFlags, nPrepareMode);
}

int CNAStatement::bExecute(NA_WRITEPARSEFLAGS nFlags, int nPrepareMode) {
  if (m_bParseStarted) Close();
  if (!m_bBlockFetch) m_refOriginalValue.Reset(nullptr);
  CNACommand* pclCommand = pclGetCommandNoRef();
  if (pclCommand == nullptr || pclCommand->bIsEmpty()) return 1;
  if (!bExecuteDirect(nFlags, nPrepareMode)) return 0;
  // A query's data access learns its columns from the first result.
  if (m_pclDataAccess != nullptr && !m_pclDataAccess->bHasDataSourceDescription() &&
      pclCommand->eGetQueryType() == kQuerySelect && m_pclStatementSQL != nullptr &&
      m_pclStatementSQL->nGetColumnCount() > 0)
    return m_pclDataAccess->bInitImportedDataSourceDesc(this);
  return 1;
}

int CNAStatement::bExecuteDirect(NA_WRITEPARSEFLAGS nFlags, int) {
  CNACommand* pclCommand = pclGetCommandNoRef();
  if (pclCommand == nullptr) return 0;
  const char* pszText = pclCommand->pszGetFormatedSQLA(CNACommand::NA_PTC_ALL);
  if (pszText == nullptr) return 0;
  if (*pszText == '\0') return 1;
  if (!_bAllocStatementSQL()) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  _ResetExecution();
  m_llCommandOffset = pclCommand->llGetRowOffset();
  const int nKind = pclCommand->eGetQueryType();
  if (nKind == kQuerySelect) {
    if (!_bRunWindow(m_llCommandOffset > 0 ? m_llCommandOffset : 0)) return 0;
  } else {
    m_pclStatementSQL->SetStreamMode(0);
    if (!m_pclStatementSQL->bExecuteDirect(pszText, nFlags)) return 0;
  }
  if (nKind == kQueryUpdate) {
    unsigned long long nRows = 0;
    if (!m_pclStatementSQL->bGetAffected_rows(&nRows)) return 0;
    if (nRows == 0 && m_pclRecord != nullptr && m_pclRecord->pclGetCurrentRecordNoRef() != nullptr &&
        m_bPositioned) {
      // The row read is gone or was changed by someone else: reporting the
      // UPDATE as done would lose the user's change without a word.
      CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(kErrUpdateAddedAs), kErrorFile,
                         kSiteUpdateTouchedNothing, m_pclConnection,
                         m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetLogicalName()
                                                    : nullptr,
                         nullptr, kErrUpdateTouchedNothing);
      if (m_pclError != nullptr) {
        m_pclError->AddDebugMessage(kDebugUpdateTouchedNothing);
        CXYStringConcat<wchar_t> clText;
        m_pclRecord->CurrentRecordToString(&clText);
        m_pclError->AddDebugMessageNoFormat(clText.pszGet());
      }
      return 0;
    }
  }
  return 1;
}

int CNAStatement::bExecuteAndFetch(CAny* pValues, int nCount, int nPrepareMode) {
  // The values come from the server's result itself: a cache would drain it
  // away before they are read.
  EnableCache(0);
  int bResult = bExecute(0, nPrepareMode);
  if (bResult && m_pclStatementSQL != nullptr && nCount > 0) {
    bResult = m_pclStatementSQL->bFetch(NA_PARSE_NEXT);
    if (bResult && !m_pclStatementSQL->bIsEndOfData()) {
      const int n = nCount < m_pclStatementSQL->nGetColumnCount()
                        ? nCount
                        : m_pclStatementSQL->nGetColumnCount();
      for (int i = 0; i < n && bResult; ++i)
        bResult = m_pclStatementSQL->bGetValue(&pValues[i], static_cast<unsigned int>(i), 0);
    }
  }
  Close();
  return bResult;
}

int CNAStatement::bGetRequestedValue(CAny* pValue, unsigned int nColumn) {
  return bExecuteAndFetchColumn(pValue, nColumn);
}

int CNAStatement::bExecuteAndFetchColumn(CAny* pValue, unsigned int nColumn) {
  EnableCache(0);
  int bResult = bExecute(0, 1);
  if (bResult && m_pclStatementSQL != nullptr) {
    bResult = m_pclStatementSQL->bFetch(NA_PARSE_NEXT);
    if (bResult && !m_pclStatementSQL->bIsEndOfData())
      bResult = m_pclStatementSQL->bGetValue(pValue, nColumn, 0);
  }
  Close();
  return bResult;
}

int CNAStatement::bGetResultValue(CAny* pValue, unsigned int nColumn) {
  if (m_pclStatementSQL == nullptr) return _nRaiseStatement(kSiteNoRow, kErrNoCurrentRow);
  if (!m_pclStatementSQL->bFetch(NA_PARSE_NEXT)) return 0;
  if (m_pclStatementSQL->bIsEndOfData()) return _nRaiseStatement(kSiteNoRow, kErrNoCurrentRow);
  return m_pclStatementSQL->bGetValue(pValue, nColumn, 0);
}

int CNAStatement::bGetSQLColumnValue(CAny* pValue, unsigned int nColumn) {
  if (m_pclStatementSQL == nullptr) return _nRaiseStatement(kSiteNoRow, kErrNoCurrentRow);
  return m_pclStatementSQL->bGetValue(pValue, nColumn, 0);
}

int CNAStatement::_bBuildQueryCOUNT(CNACommand* pclCommand) {
  CNACommand* pclCurrent = pclGetCommandNoRef();
  if (pclCommand == nullptr || pclCurrent == nullptr) return 0;
  const wchar_t* pszText = pclCurrent->pszGetFormatedSQL(CNACommand::NA_PTC_ALL);
  if (pszText == nullptr) return 0;
  pclCommand->SetQueryType(static_cast<eTYPEREQUETE>(kQuerySelect));
  return pclCommand->bComplete(L"SELECT COUNT(*) FROM (") && pclCommand->bComplete(pszText) &&
         pclCommand->bComplete(L") KQ_COUNT");
}

int CNAStatement::bGetNbEnr(long long* pllCount) {
  const int bBySubQuery = !(m_pclDataAccess != nullptr && m_pclDataAccess->bSourceIsQuery() &&
                            m_pclConnection != nullptr && !m_pclConnection->bSupportSubQuery());
  return _bCount(bBySubQuery, pllCount);
}

int CNAStatement::_bCountWithSubQuery(long long* pllCount) { return _bCount(1, pllCount); }

int CNAStatement::_bCount(int bBySubQuery, long long* pllCount) {
  if (pllCount == nullptr) return 0;
  *pllCount = -1;
  CNACommand* pclCurrent = pclGetCommandNoRef();
  if (pclCurrent == nullptr) return 0;
  pclCurrent->AddRef();
  ResetQuery();
  EnableCache(0);
  // The count covers every row the command selects, not its window.
  const long long llLimit = pclCurrent->llGetRowLimit();
  const long long llOffset = pclCurrent->llGetRowOffset();
  pclCurrent->SetRowLimit(-1);
  pclCurrent->SetRowOffset(-1);
  pclCurrent->ResetFormatedSQL();
  int bResult = 0;
  if (!bBySubQuery) {
    m_refCommand.Reset(pclCurrent);
    bResult = bExecute(0, 1);
    long long llRows = 0;
    while (bResult) {
      bResult = m_pclStatementSQL->bFetch(NA_PARSE_NEXT);
      if (!bResult || m_pclStatementSQL->bIsEndOfData()) break;
      ++llRows;
    }
    if (bResult) *pllCount = llRows;
  } else {
    CNACommand* pclCount = static_cast<CNACommand*>(
        CNADriver::s_pclDriver != nullptr
            ? CNADriver::s_pclDriver->pclAllocCommand(m_pclError, m_pclConnection)
            : nullptr);
    if (pclCount != nullptr) {
      pclCount->AddRef();
      m_refCommand.Reset(pclCurrent);
      if (_bBuildQueryCOUNT(pclCount)) {
        m_refCommand.Reset(pclCount);
        CAny clValue;
        bResult = bExecuteAndFetchColumn(&clValue, 0);
        const wchar_t* pszCount = nullptr;
        if (bResult && !clValue.bIsNull() && clValue.__nCastToString(&pszCount, nullptr) == 0 &&
            pszCount != nullptr) {
          wchar_t* pszEnd = nullptr;
          const long long llCount = std::wcstoll(pszCount, &pszEnd, 10);
          if (pszEnd != pszCount && llCount >= 0) *pllCount = llCount; else bResult = 0;
        } else {
          bResult = 0;
        }
      }
      pclCount->nRelease();
    } else if (m_pclError != nullptr) {
      m_pclError->pclGetXError()->SetErrorNoMemory();
    }
  }
  Close();
  pclCurrent->SetRowLimit(llLimit);
  pclCurrent->SetRowOffset(llOffset);
  pclCurrent->ResetFormatedSQL();
  m_refCommand.Reset(pclCurrent);
  pclCurrent->nRelease();
  if (!bResult) *pllCount = -1;
  return bResult;
}

// ---------------------------------------------------------------------------
// Filling the record

int CNAStatement::_bUpdateNARecordFromDB() {
  if (m_pclRecord == nullptr) return _nRaiseStatement(kSiteNoRow, kErrNoCurrentRow);
  const int nColumns = m_pclRecord->nGetColumnNbr();
  for (int i = 0; i < nColumns; ++i) {
    CNAColumn* pclColumn = m_pclRecord->pclGetColumnNoRef(i);
    // Composed keys come last and hold no cell of their own.
    if (pclColumn->bIsComposedKey()) break;
    if (!pclColumn->bSetValueFromDB(this, 0)) return 0;
  }
  return 1;
}
