// Reading and browsing a table: the read of the first, last, next or
// previous record of a browse on one item, skips of several rows, reads by
// record number, and what the server asks of the browse afterwards (out of
// range, found, the record).
//
// Each browse item has its statement (the data access's statement table);
// a read picks it, builds and runs its SELECT when the browse starts (or
// must be rebuilt), and moves it. The statement keeps its rows in its record
// cache, reads the result in windows of the connection's cache size and
// continues a window from the keys of its last row, so that rows written by
// others between two windows never make a row skip or repeat.
#include <climits>
#include <cwchar>
#include <new>

#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/column.h"
#include "items/convert_variant.h"
#include "platform/file_object.h"
#include "items/record.h"
#include "items/record_value_interface.h"
#include "kq230/item_description_interface.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/filter.h"
#include "sqlbuilder/record_search.h"
#include "statements/record_buffer.h"
#include "tables/na_data_access.h"

namespace {

// Debug lines of the read's errors (file CNADataAccess::kReadErrorFile).
constexpr int kSiteFilterOnQuery = 15;
constexpr int kSiteBackward = 27;
constexpr int kSiteNoUpdate = 28;
constexpr int kSiteNoStatement = 29;
constexpr int kSiteNotOpened = 30;
constexpr int kSiteNoItem = 31;
constexpr int kSiteMemoFile = 32;

// No rebuild from the row as read: the browse runs from its start.
constexpr eNA_PARSEDIRECTION kNoKeptRow = static_cast<eNA_PARSEDIRECTION>(-1);

bool bStarting(eNA_PARSEDIRECTION e) { return e == NA_PARSE_FIRST || e == NA_PARSE_LAST; }

// Puts the search back in the part (state, direction) it was in. A switch
// from the search's own part enters the continuation of the direction
// given; any other switch returns to the search's own part.
void ReturnToSearchPart(CNARecherche* pclSearch, int nState, eNA_PARSEDIRECTION eDirection) {
  if (pclSearch->nGetState() == nState && pclSearch->eGetDirection() == eDirection) return;
  if (pclSearch->nGetState() == 2) pclSearch->bReviensParcoursPrecedent(eDirection);
  if (nState == 2 && pclSearch->nGetState() == 1) pclSearch->bReviensParcoursPrecedent(eDirection);
}

bool bSameItem(const wchar_t* a, const wchar_t* b) {
  if (a == nullptr) a = L"";
  if (b == nullptr) b = L"";
  return CHashTableBounce::nStringLogiqueCompare(a, b) == 0;
}

}  // namespace

int CNADataAccess::_nRaiseRead(int nLine, unsigned int nCode, const wchar_t* pszItem) {
  return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kReadErrorFile, nLine, m_pclConnection,
                            m_csLogicalName.pszGet(), pszItem, nCode);
}

// ---------------------------------------------------------------------------
// The item statement

const wchar_t* CNADataAccess::_pszGetDefaultParseItem() const {
  // The item every row is told apart by: the record's unique key without
  // NULL, else its first unique key; none gives the table's own order.
  if (m_pclRecord == nullptr) return L"";
  CNAColumn* pclKey = m_pclRecord->pclGetUniqueKeyNotNullNoRef();
  if (pclKey == nullptr) pclKey = m_pclRecord->pclGetUniqueKeyNoRef();
  if (pclKey == nullptr || pclKey->piGetItemNoRef() == nullptr) return L"";
  const wchar_t* pszName = pclKey->piGetItemNoRef()->pszGetName();
  return pszName != nullptr ? pszName : L"";
}

CNAStatement* CNADataAccess::_pclGetNewItemStatement(const wchar_t* pszItem,
                                                     eNA_PARSEDIRECTION,
                                                     NA_WRITEPARSEFLAGS nFlags) {
  if ((nFlags & kReadDefaultItem) != 0) pszItem = _pszGetDefaultParseItem();
  if (pszItem == nullptr) pszItem = L"";
  CNAStatement* pclPrevious = m_pclCurrentStatement;
  // The browse read last, named as it was (the common case, row after row),
  // is found without the table's case-blind lookup.
  CNAStatement* pclStatement =
      pclPrevious != nullptr && std::wcscmp(pclPrevious->pszGetBrowseItem(), pszItem) == 0
          ? pclPrevious
          : pclGetItemStatementNoRef(pszItem);
  if (pclStatement == nullptr) pclStatement = _pclInitStatement(pszItem);
  if (pclStatement == nullptr) return nullptr;
  if ((nFlags & kReadCopyFilter) != 0 && pclPrevious != nullptr && pclPrevious != pclStatement)
    pclStatement->SetFilter(pclPrevious->pclGetFilterNoRef());
  m_pclCurrentStatement = pclStatement;
  pclStatement->AddRef();
  return pclStatement;
}

// ---------------------------------------------------------------------------
// The read

int CNADataAccess::bHLitxxx(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection, int nOption,
                            eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLockOut,
                            NA_WRITEPARSEFLAGS nFlags) {
  if (pszItem == nullptr) pszItem = L"";
  if (!m_bOpened) return _nRaiseNotOpened(kSiteNotOpened, pszItem);
  CNAStatement* pclCurrent = m_pclCurrentStatement;
  // A pending automatic filter over the same browse falls back to the
  // table cache, unless the browse asks for its own statement.
  if (m_bFiltreAutoPending && pclCurrent != nullptr &&
      pclCurrent->pclGetFilterNoRef() == nullptr &&
      pclCurrent->pclGetRechercheNoRef() == nullptr && (m_nAccessFlags & kAccessQueryAsGiven) == 0 &&
      (nFlags & kReadDefaultItem) == 0 && bSameItem(pclCurrent->pszGetBrowseItem(), pszItem) &&
      (pclCurrent->nGetStatementFlags() & CNAStatement::kStatementOwnBrowse) == 0) {
    if ((nFlags & kReadCacheOffOnFallback) != 0) _DropStatementCache(pclCurrent);
    nFlags |= kReadTableCache;
  }

  CNAStatement* pclStatement = nullptr;
  if (m_bFiltreAutoPending && (nFlags & kReadSameStatement) != 0 && pclCurrent != nullptr &&
      bSameItem(pclCurrent->pszGetBrowseItem(), pszItem)) {
    pclStatement = pclCurrent;
    pclStatement->AddRef();
  } else {
    pclStatement = _pclGetNewItemStatement(pszItem, eDirection, nFlags);
  }
  m_bFiltreAutoPending = 0;
  if (pclStatement == nullptr) return 0;

  // The table cache comes later: a read that asks for it runs on the
  // statement's own record cache.
  nFlags &= ~kReadTableCache;
  int bRestart = 0;
  if (bStarting(eDirection)) {
    // A new browse drops the searches of the last one.
    if (pclStatement->pclGetRechercheNoRef() != nullptr) {
      pclStatement->SetRecherche(nullptr);
      bRestart = 1;
    }
    pclStatement->SetParseFlags(nFlags);
    pclStatement->SetBrowseItem((nFlags & kReadDefaultItem) != 0 ? _pszGetDefaultParseItem()
                                                                  : pszItem);
  }
  int bResult = _bFetch(pclStatement, pszItem, eDirection, 1, nOption, eLock, peLockOut, nFlags,
                        bRestart);
  if (!bResult)
    bResult = _bRepriseErreurParcours(pclStatement, pszItem, eDirection, eLock, peLockOut, nFlags);
  pclStatement->nRelease();
  return bResult;
}

int CNADataAccess::bSkipRecord(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection,
                               long long llStep, int nOption, eNA_LOCKTYPE eLock,
                               eNA_LOCKTYPE* peLockOut, NA_WRITEPARSEFLAGS nFlags) {
  if (pszItem == nullptr) pszItem = L"";
  if (!m_bOpened) return _nRaiseNotOpened(kSiteNotOpened, pszItem);
  CNAStatement* pclStatement = _pclGetNewItemStatement(pszItem, eDirection, nFlags);
  if (pclStatement == nullptr) return 0;
  if (bStarting(eDirection)) {
    pclStatement->SetParseFlags(nFlags);
    pclStatement->SetBrowseItem(pszItem);
  }
  int bResult =
      _bFetch(pclStatement, pszItem, eDirection, llStep, nOption, eLock, peLockOut, nFlags, 0);
  if (!bResult)
    bResult = _bRepriseErreurParcours(pclStatement, pszItem, eDirection, eLock, peLockOut, nFlags);
  pclStatement->nRelease();
  return bResult;
}

// ---------------------------------------------------------------------------
// The SELECT of a browse and its row limit

int CNADataAccess::_bEnableRecordLimit(CNAStatement* pclStatement, const wchar_t* pszItem) const {
  // Windows continue from the keys of the row read last: the order must
  // tell every row apart, and its values must compare exactly as the
  // server sorts them (not a floating-point item).
  if (!pclStatement->bHasUniqueOrder() || m_pclRecord == nullptr) return 0;
  if (pszItem != nullptr && pszItem[0] != 0) {
    CNAColumn* pclColumn = m_pclRecord->pclGetColumnNoRef(pszItem);
    if (pclColumn != nullptr) {
      const eNA_ITEMTYPE eType = pclColumn->eNAGetItemType();
      if (eType == NA_IT_R4 || eType == NA_IT_R8) return 0;
    }
  }
  return 1;
}

long long CNADataAccess::_llGetRowLimit() const {
  long long llLimit = m_pclConnection != nullptr ? m_pclConnection->llGetCacheSize() : -1;
  if (llLimit == kCacheSizeByRowLength) {
    if (m_nLongestRow <= 0) return kDefaultRowLimit;
    llLimit = static_cast<long long>(0x100000u / static_cast<unsigned int>(m_nLongestRow));
    if (llLimit < kLeastRowLimit) llLimit = kLeastRowLimit;
  }
  return llLimit;
}

long long CNADataAccess::llNextWindowRows(long long llRows) const {
  if (llRows <= 0 || m_pclConnection == nullptr ||
      m_pclConnection->llGetCacheSize() != kCacheSizeByRowLength || m_nLongestRow <= 0)
    return llRows;
  return _llGetRowLimit();
}

int CNADataAccess::bBuildSelect(CNAStatement* pclStatement, CNACommand* pclCommand,
                                const wchar_t* pszItem, int bAscending,
                                NA_WRITEPARSEFLAGS nFlags, long long* pllStep) {
  // The search and the filter of the statement.
  CInterfRef<CNACommand> refWhere(_pclNewCommand());
  CNACommand* pclWhere = refWhere.pGet();
  if (pclWhere == nullptr) return 0;
  if (!pclStatement->bGetClauseWHERE(pclWhere)) return 0;
  if (!pclStatement->bBuildQuerySELECT(pclCommand, nFlags, pszItem, bAscending,
                                       pclWhere->bIsEmpty() ? nullptr : pclWhere))
    return 0;
  if ((m_nAccessFlags & kAccessQueryAsGiven) != 0 || m_nAccessFlags < 0) return 1;
  if (!_bEnableRecordLimit(pclStatement, pszItem)) return 1;
  const long long llLimit = _llGetRowLimit();
  if (llLimit > 0 && pllStep != nullptr && *pllStep > 0 && *pllStep >= llLimit) {
    // A skip of many rows reads only the window that ends on its target.
    const long long llCount = llLimit > 20 ? 10 : llLimit / 3 + 1;
    pclCommand->SetRowOffset(*pllStep - llCount);
    *pllStep = llCount;
  }
  pclCommand->SetRowLimit(llLimit);
  return 1;
}

CNACommand* CNADataAccess::_pclNewCommand() {
  CNACommand* pclCommand =
      CNADriver::s_pclDriver != nullptr
          ? static_cast<CNACommand*>(CNADriver::s_pclDriver->pclAllocCommand(m_pclError,
                                                                            m_pclConnection))
          : new (std::nothrow) CNACommand(m_pclError, m_pclConnection);
  if (pclCommand == nullptr && m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
  return pclCommand;
}

int CNADataAccess::_bOpenStatement(CNAStatement* pclStatement, const wchar_t* pszItem,
                                   int bAscending, NA_WRITEPARSEFLAGS nFlags, long long* pllStep,
                                   int nPrepareMode, eNA_PARSEDIRECTION eFromKeptRow) {
  CInterfRef<CNACommand> refCommand(_pclNewCommand());
  CNACommand* pclCommand = refCommand.pGet();
  if (pclCommand == nullptr) return 0;
  // The last browse is closed first (its filter stays), then the record
  // cache is on before the rows come, so that each window is streamed into
  // it; the read flags that say so keep the browse on the server's result.
  if (pclStatement->bIsParseStarted()) {
    CInterfRef<CNAFilter> refFilter(pclStatement->pclGetFilterNoRef());
    pclStatement->Close();
    pclStatement->SetFilter(refFilter.pGet());
  }
  pclStatement->EnableCache((nFlags & (kReadNoRecordCache | kReadCacheOffOnFallback)) == 0 ? 1 : 0);
  if (!bBuildSelect(pclStatement, pclCommand, pszItem, bAscending, nFlags, pllStep)) return 0;
  if (eFromKeptRow != kNoKeptRow) return pclStatement->bExecuteFromKeptRow(eFromKeptRow);
  return pclStatement->bExecute(nFlags, nPrepareMode);
}

// ---------------------------------------------------------------------------
// The fetch

int CNADataAccess::_bFetch(CNAStatement* pclStatement, const wchar_t* pszItem,
                           eNA_PARSEDIRECTION eDirection, long long llStep, int nOption,
                           eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLockOut, NA_WRITEPARSEFLAGS nFlags,
                           int bRestart) {
  if (!pclStatement->bSetLockType(eLock)) return 0;
  CNACommand* pclCommand = pclStatement->pclGetCommandNoRef();
  const int bInverted = pclCommand != nullptr && pclCommand->bGetInvertedOrder();
  bool bMove = false;
  if (!bRestart && !bStarting(eDirection)) {
    const bool bBackward = (eDirection == NA_PARSE_PREVIOUS && !bInverted) ||
                           (eDirection == NA_PARSE_NEXT && bInverted);
    if (bBackward && pclStatement->bIsParseStarted() && pclStatement->nGetParseNeedUpdate() == 0 &&
        !pclStatement->bCanFetchBackward() && !pclStatement->bIsCacheEnabled()) {
      if (!pclStatement->bCanUpdateParse())
        return _nRaiseRead(kSiteBackward, kErrCannotMoveBack, pszItem);
      pclStatement->SetParseNeedUpdate(2);
    }
    if (pclStatement->nGetParseNeedUpdate() == 0 && pclStatement->bIsParseStarted()) {
      bMove = true;
    } else {
      // A read that asks for no record cache keeps the rebuilt browse
      // without one.
      const NA_WRITEPARSEFLAGS nNoCache = nFlags & (kReadNoRecordCache | kReadCacheOffOnFallback);
      if (nNoCache != 0) pclStatement->SetParseFlags(pclStatement->nGetParseFlags() | nNoCache);
      return _bUpdateParse(0, pclStatement, nOption, eDirection, llStep);
    }
  }
  if (!bMove) {
    const int nPrepareMode = 1;
    pclStatement->SetParseNeedUpdate(0);
    if (bSourceIsQuery() && (m_nAccessFlags & kAccessQueryAsGiven) != 0 &&
        pclStatement->pclGetFilterNoRef() != nullptr)
      return _nRaiseRead(kSiteFilterOnQuery, kErrFilterOnQuery, pszItem);
    const int bAscending = eDirection == NA_PARSE_FIRST || eDirection == NA_PARSE_NEXT ||
                           (bSourceIsQuery() && (m_nAccessFlags & kAccessQueryAsGiven) != 0);
    if (!_bOpenStatement(pclStatement, pszItem, bAscending, nFlags, &llStep, nPrepareMode, kNoKeptRow))
      return 0;
  }
  return _bMoveStatement(pclStatement, pszItem, eDirection, llStep, nOption, eLock, peLockOut,
                         nFlags);
}

int CNADataAccess::_bMoveStatement(CNAStatement* pclStatement, const wchar_t* pszItem,
                                   eNA_PARSEDIRECTION eDirection, long long llStep, int nOption,
                                   eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLockOut,
                                   NA_WRITEPARSEFLAGS nFlags) {
  if (nOption == 0 && llStep == 0) return 1;
  long long llMoved = 0;
  if (!pclStatement->bFetch(eDirection, nOption, llStep, &llMoved)) return 0;
  if (!pclStatement->HEndehors()) return bLockUnlockRecord(pclStatement, eLock, 0, peLockOut);

  // Out of range on a search: its next part may go on where it stopped.
  CNARecherche* pclSearch = pclStatement->pclGetRechercheNoRef();
  if (pclSearch == nullptr || (nFlags & kReadNoSearchContinuation) != 0 ||
      (pclStatement->nGetParseFlags() & kReadNoSearchContinuation) != 0)
    return 1;
  eNA_PARSEDIRECTION eAsked = eDirection == NA_PARSE_NEXT       ? NA_PARSE_FIRST
                              : eDirection == NA_PARSE_PREVIOUS ? NA_PARSE_LAST
                                                                : eDirection;
  if (!pclSearch->bPeutContinuerParcours(eAsked)) return 1;
  CInterfRef<CNARecherche> refSearch(pclSearch);
  // The part the search is in, to go back to when no part in the direction
  // asked holds a row.
  const int nStateBefore = pclSearch->nGetState();
  const eNA_PARSEDIRECTION eBefore = pclSearch->eGetDirection();
  if (eDirection == NA_PARSE_CURRENT) return pclSearch->bSetContinueParcours(eAsked);
  long long llLeft = llStep - llMoved;
  if (llLeft < 1) llLeft = 1;
  const int bAscending = eAsked == NA_PARSE_FIRST;
  // The continuation is the same browse with the search's next condition,
  // rebuilt from the start of that part. A part may hold no row (a search
  // that found nothing, then a move back): the browse then goes on into
  // the part after it, so that it walks the item's whole order.
  while (pclSearch->bPeutContinuerParcours(eAsked)) {
    if (!pclSearch->bSetContinueParcours(eAsked)) return 0;
    if (!_bOpenStatement(pclStatement, pszItem, bAscending, pclStatement->nGetParseFlags(), &llLeft,
                         1, kNoKeptRow))
      return 0;
    if (!pclStatement->bFetch(bAscending ? NA_PARSE_FIRST : NA_PARSE_LAST, nOption, llLeft,
                              nullptr))
      return 0;
    if (!pclStatement->HEndehors()) return bLockUnlockRecord(pclStatement, eLock, 0, peLockOut);
  }
  ReturnToSearchPart(pclSearch, nStateBefore, eBefore);
  return 1;
}

int CNADataAccess::_bUpdateParse(int nPositionMode, CNAStatement* pclStatement, int nOption,
                                 eNA_PARSEDIRECTION eDirection, long long llStep) {
  // (A browse never read starts at its end: nothing to update.)
  if (pclStatement->pclGetOriginalRecordValueNoRef() != nullptr &&
      !pclStatement->bCanUpdateParse() &&
      (pclStatement->nGetParseFlags() & kReadCacheOffOnFallback) != 0)
    return _nRaiseRead(kSiteNoUpdate, kErrCannotUpdateParse, pclStatement->pszGetBrowseItem());
  return bGoToOriginalRecord(nPositionMode, pclStatement, nOption, eDirection, llStep);
}

int CNADataAccess::bGoToOriginalRecord(int, CNAStatement* pclStatement, int nOption,
                                       eNA_PARSEDIRECTION eDirection, long long llStep) {
  const wchar_t* pszItem = pclStatement->pszGetBrowseItem();
  pclStatement->SetParseNeedUpdate(0);
  const NA_WRITEPARSEFLAGS nFlags = pclStatement->nGetParseFlags();
  if (pclStatement->pclGetOriginalRecordValueNoRef() == nullptr) {
    // A browse never read has no row to go on from: it starts at its end.
    const eNA_PARSEDIRECTION eStart = eDirection == NA_PARSE_PREVIOUS ? NA_PARSE_LAST
                                      : eDirection == NA_PARSE_NEXT   ? NA_PARSE_FIRST
                                                                      : eDirection;
    long long llRows = llStep;
    if (!_bOpenStatement(pclStatement, pszItem, eStart != NA_PARSE_LAST, nFlags, &llRows, 1,
                         kNoKeptRow))
      return 0;
    return _bMoveStatement(pclStatement, pszItem, eStart, llRows, nOption, NA_LOCK_NONE, nullptr,
                           nFlags);
  }
  // The browse's order as it reads (a browse that started from its end
  // keeps the order turned round in its SELECT: the moves are turned
  // round by the statement).
  CNACommand* pclCommand = pclStatement->pclGetCommandNoRef();
  const int bAscending = pclCommand == nullptr || !pclCommand->bGetInvertedOrder();
  const eNA_PARSEDIRECTION eOnResult =
      bAscending ? eDirection : CNAStatement::s_eInvertedDirection(eDirection);
  long long llRows = 1;
  if (!_bOpenStatement(pclStatement, pszItem, bAscending, nFlags, &llRows, 1,
                       eOnResult == NA_PARSE_CURRENT ? NA_PARSE_CURRENT : eOnResult))
    return 0;
  // A row read again comes as the next row after its own place.
  const eNA_PARSEDIRECTION eMove = eDirection == NA_PARSE_CURRENT
                                       ? (bAscending ? NA_PARSE_NEXT : NA_PARSE_PREVIOUS)
                                       : eDirection;
  if (!_bMoveStatement(pclStatement, pszItem, eMove, llStep, nOption, NA_LOCK_NONE, nullptr, nFlags))
    return 0;
  return 1;
}

int CNADataAccess::_bRepriseErreurParcours(CNAStatement* pclStatement, const wchar_t* pszItem,
                                           eNA_PARSEDIRECTION eDirection, eNA_LOCKTYPE eLock,
                                           eNA_LOCKTYPE* peLockOut, NA_WRITEPARSEFLAGS nFlags) {
  // A read that lost the server (gone away, lost during the query) on a
  // connection that holds no transaction (nor, then, a lock) connects once
  // more and reads again: the browse is rebuilt from its row as read, so
  // that it neither skips nor repeats one. Inside a transaction the work
  // since its start is lost with the link: the failure stands.
  if (m_bResuming || m_pclError == nullptr || m_pclConnection == nullptr) return 0;
  const unsigned int nNative = m_pclError->dwGetDataBaseErrorCode();
  if (nNative != kNativeServerGone && nNative != kNativeServerLost) return 0;
  if (m_pclConnection->_bTransactionOpened()) return 0;
  m_bResuming = 1;
  int bResult = m_pclConnection->bIsOpen() ? 1 : 0;
  if (!bResult) {
    // The link's own error gives way to the connection's.
    m_pclError->Reset();
    bResult = m_pclConnection->bOpen(m_pclError);
  }
  if (bResult) {
    m_pclError->Reset();
    if (bStarting(eDirection) || pclStatement->pclGetOriginalRecordValueNoRef() == nullptr) {
      bResult = _bFetch(pclStatement, pszItem, eDirection, 1, 1, eLock, peLockOut, nFlags, 1);
    } else {
      pclStatement->SetParseNeedUpdate(2);
      bResult = _bFetch(pclStatement, pszItem, eDirection, 1, 1, eLock, peLockOut, nFlags, 0);
    }
  }
  m_bResuming = 0;
  return bResult;
}

int CNADataAccess::bLockUnlockRecord(CNAStatement*, eNA_LOCKTYPE, int, eNA_LOCKTYPE* peLockOut) {
  // Record locks come with the writes: a read takes none.
  if (peLockOut != nullptr) *peLockOut = NA_LOCK_NONE;
  return 1;
}

// ---------------------------------------------------------------------------
// What the server asks of the browse

CNAStatement* CNADataAccess::_pclGetAskedStatement(const wchar_t* pszItem) const {
  if (pszItem != nullptr && pszItem[0] != 0) {
    if (m_pclCurrentStatement != nullptr &&
        std::wcscmp(m_pclCurrentStatement->pszGetBrowseItem(), pszItem) == 0)
      return m_pclCurrentStatement;
    CNAStatement* pclStatement = pclGetItemStatementNoRef(pszItem);
    if (pclStatement != nullptr) return pclStatement;
  }
  return m_pclCurrentStatement;
}

int CNADataAccess::bHEndehors(const wchar_t* pszItem, int* pbOut) {
  CNAStatement* pclStatement = _pclGetAskedStatement(pszItem);
  if (pbOut != nullptr) *pbOut = pclStatement != nullptr ? pclStatement->HEndehors() : 1;
  return 1;
}

int CNADataAccess::bEvalHTrouve(const wchar_t* pszItem, int* pbFound, int* pbEvaluated) {
  CNAStatement* pclStatement = _pclGetAskedStatement(pszItem);
  if (pbFound != nullptr)
    *pbFound = pclStatement != nullptr && !pclStatement->HEndehors() ? pclStatement->EvalHTrouve() : 0;
  if (pbEvaluated != nullptr) *pbEvaluated = 1;
  return 1;
}

int CNADataAccess::bSetNextOperation(eNA_OPERATION eOperation) {
  m_eNextOperation = eOperation;
  return 1;
}

int CNADataAccess::bGetRecord(CNAZBRecordBase** ppRecord) {
  if (ppRecord == nullptr) return 0;
  *ppRecord = nullptr;
  if (m_pclRecord == nullptr || m_pclRecord->pclGetCurrentRecordNoRef() == nullptr)
    return _nRaiseNotOpened(kSiteNotOpened, nullptr);
  *ppRecord = m_pclRecord->pclGetCurrentRecordNoRef()->pclGetNAZBRecord();
  return *ppRecord != nullptr ? 1 : 0;
}

int CNADataAccess::bFreeCache() {
  // Every statement lets its rows go; a browse goes on from the server.
  unsigned int nPos = 0;
  void* pValue = nullptr;
  void* pKey = nullptr;
  while (m_tabStatements.bParseTable(&nPos, 0, &pValue, &pKey)) {
    auto* pclStatement = static_cast<CNAStatement*>(pValue);
    if (pclStatement != nullptr) _DropStatementCache(pclStatement);
  }
  return 1;
}

void CNADataAccess::_DropStatementCache(CNAStatement* pclStatement) {
  // The rows go; a browse under way goes on from its row as read.
  if (!pclStatement->bIsCacheEnabled()) return;
  if (pclStatement->bIsParseStarted()) pclStatement->SetParseNeedUpdate(2);
  pclStatement->EnableCache(0);
}

// ---------------------------------------------------------------------------
// Not offered yet

CNAColumn* CNADataAccess::_pclGetItemColumn(unsigned int nItem, int* pnMemo) {
  if (pnMemo != nullptr) *pnMemo = -1;
  if (m_pclRecord == nullptr || m_pclRecord->pclGetCurrentRecordNoRef() == nullptr) {
    _nRaiseNotOpened(kSiteNotOpened, nullptr);
    return nullptr;
  }
  if (nItem >= static_cast<unsigned int>(m_pclRecord->nGetColumnNbr())) {
    _nRaiseRead(kSiteNoItem, kErrUnknownItemNumber, nullptr);
    return nullptr;
  }
  CNAColumn* pclColumn = m_pclRecord->pclGetColumnNoRef(static_cast<int>(nItem));
  if (pnMemo != nullptr) {
    const CNARefArray<CNAColumn>* pMemos = m_pclRecord->pclGetTabColumnMemo();
    for (int i = 0; i < pMemos->nGetNbElement(); ++i) {
      if ((*pMemos)[i] == pclColumn) *pnMemo = i;
    }
  }
  return pclColumn;
}

int CNADataAccess::bGetBLOB(unsigned int nItem, CAny* pValue) {
  if (pValue == nullptr) return 0;
  CNAColumn* pclColumn = _pclGetItemColumn(nItem, nullptr);
  return pclColumn != nullptr ? pclColumn->bGetCurrentValue(pValue, 0) : 0;
}

int CNADataAccess::bExtraitMemo(unsigned int nItem, const wchar_t* pszFile) {
  int nMemo = -1;
  CNAColumn* pclColumn = _pclGetItemColumn(nItem, &nMemo);
  if (pclColumn == nullptr) return 0;
  if (nMemo < 0 || pszFile == nullptr || pszFile[0] == 0)
    return _nRaiseRead(kSiteNoItem, kErrUnknownItemNumber, pclColumn->pszGetName());
  // The memo's bytes as read, whole, into the file (made or emptied); a
  // NULL memo gives an empty file.
  CNAConvertVariant* pclMemo =
      m_pclRecord->pclGetCurrentRecordNoRef()->pclGetMemoValueNoRef(nMemo);
  const void* pData = nullptr;
  unsigned int nSize = 0;
  if (pclMemo != nullptr && !pclMemo->bIsNull()) {
    pData = pclMemo->pGetData();
    nSize = pData != nullptr ? pclMemo->nGetUtilDataSize() : 0;
  }
  CXFile clFile;
  int bCreated = 0;
  unsigned int nWritten = 0;
  if (!clFile.bOpen(pszFile, static_cast<IXStream::eACCESS>(1), static_cast<IXStream::eSHARE>(2),
                    static_cast<IXStream::eCREATE>(576), static_cast<IXStream::eFLAG>(0),
                    &bCreated) ||
      (nSize > 0 && (!clFile.bWrite(pData, nSize, &nWritten) || nWritten != nSize))) {
    // The stream's own account of the failure is the message's reason.
    const CXError* pclFileError = clFile.pclGetXError();
    const wchar_t* pszReason =
        pclFileError != nullptr ? pclFileError->pszGetSystemErrorMessage() : L"";
    CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kReadErrorFile, kSiteMemoFile,
                       m_pclConnection, m_csLogicalName.pszGet(), pclColumn->pszGetName(),
                       kErrFileNotWritten, pszFile, pszReason != nullptr ? pszReason : L"");
    return 0;
  }
  clFile.Close();
  return 1;
}
