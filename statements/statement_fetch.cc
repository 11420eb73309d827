// The moves of a statement: windows of the result run on the server, rows
// drained into the record cache or read from the stored result, and the
// record filled from the row reached.
#include <climits>
#include <cstring>
#include <new>

#include "driver/connection_description.h"
#include "driver/na_error.h"
#include "items/column.h"
#include "items/convert_variant.h"
#include "items/record.h"
#include "items/record_value_interface.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/record_search.h"
#include "statements/record_buffer.h"
#include "statements/record_cache.h"
#include "statements/record_id.h"
#include "statements/row_numbers.h"
#include "statements/statement.h"
#include "statements/statements_data_access_interface.h"
#include "values/any.h"

namespace {

// The identifier of a row is at most this long on the fetch road; longer
// ones (very long text keys) are built in a heap block.
constexpr unsigned int kIdentifierStackBytes = 512;

}  // namespace

// ---------------------------------------------------------------------------
// Windows

eNA_PARSEDIRECTION CNAStatement::s_eInvertedDirection(eNA_PARSEDIRECTION e) {
  switch (e) {
    case NA_PARSE_FIRST: return NA_PARSE_LAST;
    case NA_PARSE_LAST: return NA_PARSE_FIRST;
    case NA_PARSE_NEXT: return NA_PARSE_PREVIOUS;
    case NA_PARSE_PREVIOUS: return NA_PARSE_NEXT;
    default: return e;
  }
}

long long CNAStatement::_llFirstRowOfCommand() const {
  return m_llCommandOffset > 0 ? m_llCommandOffset : 0;
}

int CNAStatement::_bCanRunAnotherWindow() const {
  return pclGetCommandNoRef() != nullptr &&
         (m_llLimitReached >= 0 || m_bWindowCutByCap || m_bMoreAfter);
}

long long CNAStatement::_llEarlierWindowStart(long long llTarget) const {
  CNACommand* pclCommand = pclGetCommandNoRef();
  long long llSpan = pclCommand != nullptr ? pclCommand->llGetRowLimit() : -1;
  // A cache cut by its cap holds about m_llCapRows rows: a window that ends
  // on the target refills it without passing the cap again.
  if (m_bCacheEnabled && m_llCapRows > 0 && (llSpan <= 0 || llSpan > m_llCapRows))
    llSpan = m_llCapRows;
  if (llSpan <= 0) return 0;
  const long long llStart = llTarget - llSpan + 1;
  return llStart > 0 ? llStart : 0;
}

int CNAStatement::_bRunWindow(long long llFirstRow) {
  CNACommand* pclCommand = pclGetCommandNoRef();
  if (pclCommand == nullptr || m_pclStatementSQL == nullptr) return 0;
  // The same command at another start: its own offset comes back after
  // the text is written, so that it reads as the data access set it.
  const long long llOwnOffset = pclCommand->llGetRowOffset();
  const long long llOwnLimit = pclCommand->llGetRowLimit();
  const long long llOffset = llFirstRow > 0 ? llFirstRow : (llOwnOffset > 0 ? 0 : llOwnOffset);
  const bool bOtherOffset = llOffset != llOwnOffset;
  if (bOtherOffset) {
    pclCommand->SetRowOffset(llOffset);
    // MariaDB writes a start only with a count: "all the rows after it".
    if (llOffset > 0 && llOwnLimit <= 0) pclCommand->SetRowLimit(LLONG_MAX);
    pclCommand->ResetFormatedSQL();
  }
  const int bResult = _bRunWindowCommand(pclCommand, llFirstRow);
  if (bOtherOffset) {
    pclCommand->SetRowOffset(llOwnOffset);
    pclCommand->SetRowLimit(llOwnLimit);
    pclCommand->ResetFormatedSQL();
  }
  return bResult;
}

int CNAStatement::_bRunWindowCommand(CNACommand* pclWindow, long long llFirstRow) {
  // The row as read must outlive the rows the window replaces.
  if (m_llKeptCachedRow >= 0) _KeepCachedRow();
  if (m_pclStatementSQL == nullptr) return 0;
  const char* pszText = pclWindow->pszGetFormatedSQLA(CNACommand::NA_PTC_ALL);
  int bResult = 0;
  const bool bDrain = bIsCacheEnabled() && m_pclRecord != nullptr;
  if (pszText != nullptr) {
    m_pclStatementSQL->SetStreamMode(bDrain ? 1 : 0);
    bResult = m_pclStatementSQL->bExecuteDirect(pszText, 0);
  }
  m_bWindowOpen = 0;
  if (!bResult) return 0;
  m_bWindowOpen = 1;
  m_bMoreAfter = 0;
  m_llWindowBase = llFirstRow;
  m_bWindowAtFirstRow = llFirstRow <= 0;
  const long long llLimit = pclWindow->llGetRowLimit();
  if (!bDrain) {
    // A stored result: cut by its limit when it holds exactly that many.
    m_llLimitReached =
        llLimit > 0 && m_pclStatementSQL->llGetRowCount() == llLimit ? llLimit : -1;
    m_bWindowCutByCap = 0;
    return 1;
  }
  // A window that does not follow the rows held cannot join them.
  const int bAfterCap = m_bWindowCutByCap;
  if (m_pclCache->llGetEndRow() != llFirstRow || bAfterCap || m_pclCache->llGetCount() == 0)
    m_pclCache->EmptyFrom(llFirstRow);
  m_bWindowCutByCap = 0;
  // Without a unique order a later window could not find its place again:
  // such a browse keeps every row.
  m_pclCache->SetByteCap(!m_bUniqueOrder ? LLONG_MAX
                                         : (m_llCacheCap >= 0 ? m_llCacheCap
                                                              : kRecordCacheDefaultCap));
  return _bDrainIntoCache(llLimit);
}

int CNAStatement::_bRestartFromFirstRow() {
  CNACommand* pclCommand = pclGetCommandNoRef();
  if (pclCommand == nullptr) return 0;
  m_llCommandOffset = pclCommand->llGetRowOffset();
  m_bStartKnown = 1;
  m_llStartRow = 0;
  m_llCurrentRow = -1;
  m_bWindowCutByCap = 0;
  m_llLimitReached = -1;
  if (m_pclCache != nullptr) m_pclCache->EmptyFrom(_llFirstRowOfCommand());
  return _bRunWindow(_llFirstRowOfCommand());
}

int CNAStatement::_bDrainIntoCache(long long llLimit) {
  long long llRows = 0;
  int bResult = 1;
  int bCut = 0;
  for (;;) {
    if (!m_pclStatementSQL->bFetch(NA_PARSE_NEXT)) {
      bResult = 0;
      break;
    }
    if (m_pclStatementSQL->bIsEndOfData()) break;
    if (!_bUpdateNARecordFromDB()) {
      bResult = 0;
      break;
    }
    const int nStatus = _nCacheCurrentRecord(m_llWindowBase + llRows);
    if (nStatus == RCS_OK) {
      // The rows a window goes on from: the first held, the last of a
      // window cut by its limit.
      if (m_nKeysetItems > 0) {
        if (m_pclCache->llGetCount() == 1) _CaptureRawAnchor(0, m_llWindowBase + llRows);
        if (llLimit > 0 && llRows + 1 == llLimit) _CaptureRawAnchor(1, m_llWindowBase + llRows);
      }
      ++llRows;
      continue;
    }
    if (nStatus == RCS_CAP_REACHED) {
      m_bWindowCutByCap = 1;
      m_llCapRows = m_pclCache->llGetCount();
      bCut = 1;
      break;
    }
    if (nStatus == RCS_ROW_TOO_LARGE || nStatus == RCS_IDENTIFIER_TOO_LARGE) {
      // The cache cannot hold this row: the browse goes on without it, on
      // the stored result, from the window's first row.
      const long long llBase = m_llWindowBase;
      m_pclStatementSQL->bReset();
      EnableCache(0);
      return _bRunWindow(llBase);  // (offset windows on the stored result)
    }
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    bResult = 0;
    break;
  }
  // Nothing stays open on the connection: a stream cut short is read off.
  m_pclStatementSQL->bReset();
  m_bWindowOpen = 0;
  if (!bResult) return 0;
  if (m_pclDataAccess != nullptr && m_nLongestRow > 0) m_pclDataAccess->RaiseLongestRow(m_nLongestRow);
  if (bCut) {
    m_llLimitReached = -1;
    return 1;
  }
  m_llLimitReached = llLimit > 0 && llRows == llLimit ? llLimit : -1;
  if (m_llLimitReached < 0) m_pclCache->SetFetchComplete();
  return 1;
}

int CNAStatement::_nCacheCurrentRecord(long long llRow) {
  CNARecordValueBase* pclCurrent = m_pclRecord->pclGetCurrentRecordNoRef();
  if (pclCurrent == nullptr) return RCS_BAD_ARGUMENT;
  const CNAZBRecord* pclBuffer = static_cast<const CNAZBRecord*>(pclCurrent->pclGetNAZBRecord());
  // The row's identifier, the bytes its keys hold.
  if (!m_bIdLayoutReady) {
    if (m_pIdLayout == nullptr) m_pIdLayout = new (std::nothrow) CNARecordIdLayout;
    if (m_pIdLayout == nullptr || !m_pIdLayout->bInit(m_pclRecord)) return RCS_OUT_OF_MEMORY;
    m_bIdLayoutReady = 1;
  }
  unsigned char abyId[kIdentifierStackBytes];
  unsigned char* pbyId = abyId;
  unsigned int nId = m_pIdLayout->nBuild(pclBuffer, abyId, sizeof abyId);
  unsigned char* pbyHeap = nullptr;
  if (nId == 0) {
    // Longer than the stack room: every slot, its defined byte and a
    // length word per item bound it.
    const unsigned int nCap = 2u * static_cast<unsigned int>(pclBuffer->nGetBufferLength()) +
                              8u * static_cast<unsigned int>(pclBuffer->nGetPhysicalItemCount()) + 64u;
    if (nCap > sizeof abyId) {
      pbyHeap = new (std::nothrow) unsigned char[nCap];
      if (pbyHeap == nullptr) return RCS_OUT_OF_MEMORY;
      nId = m_pIdLayout->nBuild(pclBuffer, pbyHeap, nCap);
      pbyId = pbyHeap;
    }
  }
  // The memos live in their holders, not in the buffer.
  const int nMemos = pclCurrent->nGetMemoCount();
  _stRecordCacheMemo aMemos[8];
  _stRecordCacheMemo* pMemos = aMemos;
  if (nMemos > 8) pMemos = new (std::nothrow) _stRecordCacheMemo[nMemos];
  int nStatus = RCS_OUT_OF_MEMORY;
  if (pMemos != nullptr) {
    for (int i = 0; i < nMemos; ++i) {
      CNAConvertVariant* pclMemo = pclCurrent->pclGetMemoValueNoRef(i);
      pMemos[i] = _stRecordCacheMemo();
      if (pclMemo != nullptr && !pclMemo->bIsNull() && pclMemo->eGetVarType() != NA_VT_EMPTY) {
        pMemos[i].pbyData = static_cast<const unsigned char*>(pclMemo->pGetData());
        pMemos[i].nSize = pclMemo->nGetUtilDataSize();
        pMemos[i].bPresent = 1;
        if (pMemos[i].pbyData == nullptr) pMemos[i].nSize = 0;
      }
    }
    nStatus = m_pclCache->Insere(llRow, pclBuffer, 0, pbyId, nId, pMemos, nMemos);
    if (nStatus == RCS_OK && m_pclStatementSQL != nullptr) {
      // The longest row is the largest sum of cell bytes the server sent.
      const int nBytes = m_pclStatementSQL->nGetRowBytes();
      if (nBytes > m_nLongestRow) m_nLongestRow = nBytes;
    }
  }
  if (pMemos != aMemos) delete[] pMemos;
  delete[] pbyHeap;
  return nStatus;
}

// ---------------------------------------------------------------------------
// Restoring a cached row

int CNAStatement::_RestaureRecordFromCache(long long llRow) {
  if (m_pclRecord == nullptr || m_pclCache == nullptr) return 0;
  CNARecordValueBase* pclOriginal = m_pclRecord->pclGetOriginalRecordNoRef();
  CNARecordValueBase* pclCurrent = m_pclRecord->pclGetCurrentRecordNoRef();
  if (pclOriginal == nullptr || pclCurrent == nullptr) return 0;
  CNAZBRecord* pclBuffer = static_cast<CNAZBRecord*>(pclOriginal->pclGetNAZBRecord());
  int nState = 0;
  if (m_pclCache->eGetAt(llRow, pclBuffer, &nState) != RCS_OK) return 0;
  pclOriginal->SetState(nState);
  // The current row takes the original's buffer, state and identifier; its
  // memos come from the cache below, so the original's memo holders are not
  // copied first only to be overwritten.
  if (!pclCurrent->bCopyNAZBRecord(pclOriginal->pclGetNAZBRecord())) return 0;
  pclCurrent->SetState(nState);
  pclCurrent->bShareRecordID(pclOriginal->pclGetRecordIdNoRef());
  // Memos come back into the holders of the current row.
  const int nMemos = pclCurrent->nGetMemoCount();
  for (int i = 0; i < nMemos; ++i) {
    CNAConvertVariant* pclMemo = pclCurrent->pclGetMemoValueNoRef(i);
    if (pclMemo == nullptr) continue;
    _stRecordCacheMemo stMemo;
    if (m_pclCache->eGetMemo(llRow, i, &stMemo) != RCS_OK || !stMemo.bPresent) {
      pclMemo->SetNull();
      continue;
    }
    if (!pclMemo->bSetValue(stMemo.pbyData, stMemo.nSize)) return 0;
  }
  m_pclRecord->OnNAZBRecordChanged();
  m_llCurrentRow = llRow;
  m_bPositioned = 1;
  return 1;
}

// ---------------------------------------------------------------------------
// Moves

int CNAStatement::_bFetch(eNA_PARSEDIRECTION eDirection, long long llStep) {
  if (llStep == 0) eDirection = NA_PARSE_CURRENT;
  if (llStep < 0) {
    // A negative step goes the other way (the most negative one as far as
    // a step can go).
    llStep = llStep == LLONG_MIN ? LLONG_MAX : -llStep;
    eDirection = eDirection == NA_PARSE_NEXT       ? NA_PARSE_PREVIOUS
                 : eDirection == NA_PARSE_PREVIOUS ? NA_PARSE_NEXT
                 : eDirection == NA_PARSE_FIRST    ? NA_PARSE_LAST
                 : eDirection == NA_PARSE_LAST     ? NA_PARSE_FIRST
                                                   : eDirection;
  }
  m_bOutOfRange = 1;
  if (m_pclStatementSQL == nullptr) return 1;
  const int bResult = bIsCacheEnabled() && m_pclRecord != nullptr
                          ? _bMoveCached(eDirection, llStep)
                          : _bMoveUncached(eDirection, llStep);
  m_bMovedSinceExecute = 1;
  return bResult;
}

long long CNAStatement::_llMovesFrom() const {
  // Out of range, a move starts where the browse left its rows: after the
  // last one, previous reads it again.
  return m_llCurrentRow >= 0 || m_llOutsideRow == LLONG_MIN ? m_llCurrentRow : m_llOutsideRow;
}

int CNAStatement::_bSeekAndFetch(long long llTarget) {
  const long long llInWindow = llTarget - m_llWindowBase;
  const long long llBackEnd = m_pclStatementSQL->llGetCurrentRow();
  if (llInWindow != llBackEnd || m_pclStatementSQL->bIsEndOfData()) {
    if (llInWindow != llBackEnd + 1 && !m_pclStatementSQL->bDataSeek(llInWindow)) return 0;
    if (!m_pclStatementSQL->bFetch(NA_PARSE_NEXT)) return 0;
  }
  if (m_pclStatementSQL->bIsEndOfData()) {
    m_llCurrentRow = -1;
    m_llOutsideRow = llTarget;
    return 1;
  }
  m_llCurrentRow = llTarget;
  const int nBytes = m_pclStatementSQL->nGetRowBytes();
  if (nBytes > m_nLongestRow) {
    m_nLongestRow = nBytes;
    if (m_pclDataAccess != nullptr) m_pclDataAccess->RaiseLongestRow(nBytes);
  }
  if (!_bUpdateNARecord()) return 0;
  if (m_pclRecord != nullptr) m_pclRecord->bCopyCurrentRecordToOriginalRecord();
  m_bOutOfRange = 0;
  return 1;
}

int CNAStatement::_bMoveUncached(eNA_PARSEDIRECTION eDirection, long long llStep) {
  // A stored result: rows counted, seeks allowed.
  if (!m_bWindowOpen || m_pclStatementSQL->llGetRowCount() < 0) return 1;
  long long llTarget = -1;
  switch (eDirection) {
    case NA_PARSE_FIRST: llTarget = llSaturatedAdd(_llFirstRowOfCommand() - 1, llStep); break;
    case NA_PARSE_LAST: {
      // The end of the whole result: the windows after this one first.
      long long llEnd = m_llWindowBase + m_pclStatementSQL->llGetRowCount();
      while (m_llLimitReached >= 0) {
        if (!_bRunWindow(llEnd)) return 0;
        llEnd = m_llWindowBase + m_pclStatementSQL->llGetRowCount();
      }
      llTarget = llSaturatedSub(llEnd, llStep);
      break;
    }
    case NA_PARSE_NEXT:
      llTarget = llSaturatedAdd(m_bMovedSinceExecute ? _llMovesFrom() : _llFirstRowOfCommand() - 1,
                                llStep);
      break;
    case NA_PARSE_PREVIOUS: llTarget = llSaturatedSub(_llMovesFrom(), llStep); break;
    default:
      if (m_llCurrentRow < 0) return 1;
      llTarget = m_llCurrentRow;
      break;
  }
  if (llTarget < 0) {
    m_llCurrentRow = -1;
    m_llOutsideRow = -1;
    return 1;
  }
  return _bSeekTarget(llTarget);
}

int CNAStatement::_bMoveCached(eNA_PARSEDIRECTION eDirection, long long llStep) {
  // A stored result still open feeds the cache row by row (the cache was
  // switched on after the execution).
  auto bFetchOneIntoCache = [this](int* pbEnd) -> int {
    *pbEnd = 0;
    if (!m_pclStatementSQL->bFetch(NA_PARSE_NEXT)) return 0;
    if (m_pclStatementSQL->bIsEndOfData()) {
      *pbEnd = 1;
      m_bWindowOpen = 0;
      if (m_llLimitReached < 0) m_pclCache->SetFetchComplete();
      return 1;
    }
    if (!_bUpdateNARecordFromDB()) return 0;
    const long long llRow = m_llWindowBase + m_pclStatementSQL->llGetCurrentRow();
    if (m_pclCache->llGetCount() > 0 && m_pclCache->llGetEndRow() != llRow)
      m_pclCache->EmptyFrom(llRow);
    if (m_pclCache->llGetCount() == 0 && m_pclCache->llGetFirstRow() != llRow)
      m_pclCache->EmptyFrom(llRow);
    const int nStatus = _nCacheCurrentRecord(llRow);
    if (nStatus == RCS_OK) return 1;
    if (nStatus == RCS_CAP_REACHED) {
      // Rows after the cap come from a window of their own.
      m_bWindowCutByCap = 1;
      m_llCapRows = m_pclCache->llGetCount();
      m_pclStatementSQL->bReset();
      m_bWindowOpen = 0;
      *pbEnd = 1;
      return 1;
    }
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  };
  auto bExtend = [&](int* pbProgress) -> int {
    // One more row or window after the rows held; *pbProgress 0 when the
    // result has no more.
    *pbProgress = 0;
    if (m_pclCache->bIsFetchComplete()) return 1;
    if (m_bWindowOpen) {
      int bEnd = 0;
      if (!bFetchOneIntoCache(&bEnd)) return 0;
      *pbProgress = 1;
      return 1;
    }
    if (_bCanRunAnotherWindow()) {
      // After the last row held: from its keys where the order allows it.
      const long long llEnd = m_pclCache->llGetEndRow();
      int bRan;
      if (bKeysetWindows() && m_pclCache->llGetCount() > 0) {
        bRan = _bRunKeysetAfter(llEnd - 1);
      } else if (bKeysetWindows() && _pclKeptRowBuffer() != nullptr) {
        // Nothing held (a browse rebuilt at an end): from the row as read.
        bRan = _bRunKeysetFrom(_pclKeptRowBuffer(), llEnd);
      } else {
        bRan = _bRunWindow(llEnd);
      }
      if (!bRan) return 0;
      *pbProgress = 1;
      return 1;
    }
    m_pclCache->SetFetchComplete();
    return 1;
  };

  long long llTarget;
  if (eDirection == NA_PARSE_LAST) {
    for (;;) {
      int bProgress = 0;
      if (!bExtend(&bProgress)) return 0;
      if (!bProgress) break;
    }
    llTarget = llSaturatedSub(m_pclCache->llGetEndRow(), llStep);
  } else if (eDirection == NA_PARSE_CURRENT) {
    if (m_llCurrentRow < 0) return 1;
    llTarget = m_llCurrentRow;
  } else if (eDirection == NA_PARSE_FIRST ||
             (eDirection == NA_PARSE_NEXT && !m_bMovedSinceExecute)) {
    if (!m_bStartKnown) {
      // A browse rebuilt from a row: its first row is the result's, read
      // from the start again.
      if (!_bRestartFromFirstRow()) return 0;
    }
    llTarget = llSaturatedAdd(_llFirstRowOfCommand() - 1, llStep);
  } else {
    llTarget = m_pclCache->nGetPosition(_llMovesFrom(), eDirection, llStep);
  }
  for (;;) {
    if (m_pclCache->bHolds(llTarget)) {
      if (!_RestaureRecordFromCache(llTarget)) return 0;
      m_bOutOfRange = 0;
      m_bParseStarted = 1;
      return 1;
    }
    if (llTarget < 0 || (m_bStartKnown && llTarget < m_llStartRow) ||
        (llTarget >= m_pclCache->llGetEndRow() && m_pclCache->bIsFetchComplete())) {
      m_llCurrentRow = -1;
      m_llOutsideRow = llTarget >= m_pclCache->llGetEndRow()
                           ? m_pclCache->llGetEndRow()
                           : (m_bStartKnown ? m_llStartRow - 1 : m_pclCache->llGetFirstRow() - 1);
      return 1;
    }
    if (llTarget < m_pclCache->llGetFirstRow()) {
      if (bKeysetWindows() && (m_pclCache->llGetCount() > 0 || _pclKeptRowBuffer() != nullptr)) {
        // The rows before the first row held (or, nothing held, before the
        // row as read, which stands just after them), from its keys.
        long long llShift = 0;
        const long long llFirstHeld = m_pclCache->llGetFirstRow();
        if (!(m_pclCache->llGetCount() > 0
                  ? _bRunKeysetBefore(llFirstHeld, &llShift)
                  : _bRunKeysetBeforeRow(_pclKeptRowBuffer(), llFirstHeld, &llShift)))
          return 0;
        llTarget += llShift;
        if (m_pclCache->llGetFirstRow() == llFirstHeld + llShift) {
          // Nothing before it: the result starts there.
          m_llCurrentRow = -1;
          m_llOutsideRow = llFirstHeld + llShift - 1;
          return 1;
        }
        continue;
      }
      // Rows given up for the cap: an earlier window brings them back.
      if (!_bRunWindow(_llEarlierWindowStart(llTarget))) return 0;
      if (!bIsCacheEnabled()) return _bSeekTarget(llTarget);
      continue;
    }
    int bProgress = 0;
    if (!bExtend(&bProgress)) return 0;
    if (!bIsCacheEnabled()) return _bSeekTarget(llTarget);
  }
}

int CNAStatement::_bSeekTarget(long long llTarget) {
  // The cache gave up (a row it cannot hold): the stored result carries on.
  for (;;) {
    const long long llEnd = m_llWindowBase + m_pclStatementSQL->llGetRowCount();
    if (llTarget >= m_llWindowBase && llTarget < llEnd) return _bSeekAndFetch(llTarget);
    if (llTarget >= llEnd && m_llLimitReached >= 0) {
      if (!_bRunWindow(llEnd)) return 0;
      continue;
    }
    if (llTarget < m_llWindowBase) {
      if (!_bRunWindow(_llEarlierWindowStart(llTarget))) return 0;
      continue;
    }
    // Past the last row of the result.
    m_llCurrentRow = -1;
    m_llOutsideRow = llEnd;
    return 1;
  }
}

// ---------------------------------------------------------------------------
// The public move

int CNAStatement::bFetch(eNA_PARSEDIRECTION eDirection, int bUpdate, long long llStep,
                         long long* pllMoved) {
  m_bFound = 0;
  if (pllMoved != nullptr) *pllMoved = 0;
  CNACommand* pclCommand = pclGetCommandNoRef();
  if (pclCommand != nullptr && pclCommand->bGetInvertedOrder()) eDirection = s_eInvertedDirection(eDirection);
  m_eLastDirection = eDirection;
  m_bOutOfRange = 1;
  const long long llBefore = m_llCurrentRow;
  int bResult = _bFetch(eDirection, llStep);
  if (bResult && !m_bOutOfRange) {
    CNARecherche* pclSearch = pclGetRechercheNoRef();
    m_bFound = pclSearch != nullptr ? pclSearch->bHTrouve() : 1;
    m_bPositioned = 1;
    // The row as read, for the condition that finds it again.
    CNARecordValueBase* pclCurrent =
        m_pclRecord != nullptr ? m_pclRecord->pclGetCurrentRecordNoRef() : nullptr;
    if (pclCurrent != nullptr && bIsCacheEnabled() && m_pclCache->bHolds(m_llCurrentRow) &&
        m_refOriginalValue.pGet() != nullptr) {
      // The cache keeps the row: copied out when the row as read is asked.
      m_llKeptCachedRow = m_llCurrentRow;
    } else if (pclCurrent != nullptr) {
      m_llKeptCachedRow = -1;
      CNARecordValueBase* pclKept = pclGetOriginalRecordValueNoRef();
      if (pclKept == nullptr) {
        CNARecordValueBase* pclClone = pclCurrent->pclGetClone(COPY_ALL);
        if (pclClone == nullptr) bResult = 0;
        SetOriginalRecordValue(pclClone);
      } else if (!pclKept->bCopyRecordValue(pclCurrent, COPY_ALL)) {
        bResult = 0;
      }
      if (!bResult && m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    }
    if (bResult && bUpdate && m_pclDataAccess != nullptr)
      bResult = m_pclDataAccess->bOnRecordRefreshed(this);
    if (pllMoved != nullptr) {
      const long long llMoved = llBefore >= 0 ? m_llCurrentRow - llBefore : llStep;
      *pllMoved = llMoved < 0 ? -llMoved : llMoved;
    }
  }
  if (!bResult) {
    m_bOutOfRange = 1;
    m_bFound = 0;
  }
  m_bParseStarted = 1;
  return bResult;
}

int CNAStatement::bFetchData(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange, CAny* pValues,
                             int nCount) {
  int bResult = bFetch(eDirection, 0, 1, nullptr);
  if (pbOutOfRange != nullptr) *pbOutOfRange = m_bOutOfRange;
  if (!bResult || m_bOutOfRange || m_pclRecord == nullptr || pValues == nullptr) return bResult;
  const int nColumns = m_pclRecord->nGetColumnNbr();
  const int n = nCount < nColumns ? nCount : nColumns;
  for (int i = 0; i < n && bResult; ++i)
    bResult = m_pclRecord->pclGetColumnNoRef(i)->bGetCurrentValue(&pValues[i], 0);
  return bResult;
}

void CNAStatement::_KeepCachedRow() {
  const long long llRow = m_llKeptCachedRow;
  m_llKeptCachedRow = -1;
  auto* pclKept = static_cast<CNARecordValueBase*>(m_refOriginalValue.pGet());
  if (pclKept == nullptr || m_pclCache == nullptr || !m_pclCache->bHolds(llRow)) return;
  int nState = 0;
  if (m_pclCache->eGetAt(llRow, static_cast<CNAZBRecord*>(pclKept->pclGetNAZBRecord()), &nState) ==
      RCS_OK)
    pclKept->SetState(nState);
}
