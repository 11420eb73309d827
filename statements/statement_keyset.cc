// Keyset windows of a statement: a window of a browse continues from the
// keys of a row instead of from its rank, so that rows others add or delete
// between two windows never make a row of the browse skip or repeat.
//
// A window after a row R of the order (a1, ..., an) adds to the SELECT's
// condition the expanded comparison
//   a1 > r1 OR (a1 = r1 AND a2 > r2) OR ... OR (a1 = r1 AND ... AND an > rn)
// with each comparison turned for a descending item and NULL placed where
// MariaDB sorts it (first ascending, last descending); a window before R is
// the mirror, read with the order turned round; a window from R (to read R
// again) adds the term that R itself matches. The order must tell every row
// apart (the statement completes it so) and be written on the table itself
// (the columns compared are those ordered by).
#include <climits>
#include <cstring>
#include <cwchar>
#include <new>

#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/column.h"
#include "items/record.h"
#include "items/item_types.h"
#include "items/record_value_interface.h"
#include "kq230/sql_parser_interface.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/parameter.h"
#include "core/string_concat.h"
#include "statements/driver_sql.h"
#include "statements/record_buffer.h"
#include "statements/record_cache.h"
#include "statements/record_id.h"
#include "statements/statement.h"
#include "statements/statements_data_access_interface.h"
#include "values/any.h"

namespace {

// The code page of a connection that speaks utf8mb4.
constexpr int kCodePageUTF8 = 65001;

constexpr int kSiteNoKeptRow = 60;
constexpr int kSiteNoKeyset = 61;
constexpr int kSiteNoCount = 62;
constexpr unsigned int kErrNotSupported = 8;

}  // namespace

void CNAStatement::_ClearKeyset() {
  m_nKeysetItems = 0;
  m_nKeysetOrderAt = -1;
  m_nKeysetWhereAt = -1;
}

void CNAStatement::_KeepKeysetOrder(const stOrderItem* pItems, int nItems, int nOrderAt) {
  // The condition's place was kept when the WHERE was written, before the
  // order: a window must put the keys' condition beside it, not after it.
  const int nWhereAt = m_nKeysetWhereAt;
  _ClearKeyset();
  m_nKeysetWhereAt = nWhereAt;
  if (nItems <= 0 || nItems > kMaxKeysetItems || nOrderAt < 0) return;
  for (int i = 0; i < nItems; ++i) m_aKeysetItems[i] = pItems[i];
  m_nKeysetItems = nItems;
  m_nKeysetOrderAt = nOrderAt;
}

int CNAStatement::bKeysetWindows() const {
  CNACommand* pclCommand = pclGetCommandNoRef();
  return m_bUniqueOrder && m_nKeysetItems > 0 && m_nKeysetOrderAt >= 0 && pclCommand != nullptr &&
                 pclCommand->eGetQueryType() == kQuerySelect
             ? 1
             : 0;
}

int CNAStatement::_bWriteKeysetComparison(CNACommand* pclCommand, int i, const CAny& clValue,
                                          int bAfter, int bAscending, const stRawAnchor* pRaw,
                                          int* pbWritten) {
  // "After" in a descending order is "smaller": NULL sorts first ascending
  // and last descending in MariaDB.
  CNAColumn* pclColumn = m_aKeysetItems[i].pclColumn;
  const wchar_t* pszColumn = pclColumn->pszGetFormatedName();
  const bool bGreater = bAfter == bAscending;
  *pbWritten = 1;
  if (clValue.bIsNull()) {
    // Nothing sorts before NULL ascending, nor after it descending.
    if (!bGreater) {
      *pbWritten = 0;
      return 1;
    }
    return pclCommand->bComplete(pszColumn) && pclCommand->bComplete(L" IS NOT NULL");
  }
  if (bGreater) {
    return pclCommand->bComplete(pszColumn) && pclCommand->bComplete(L">") &&
           _bWriteKeysetValue(pclCommand, i, clValue, OPEXP_SUPERIEUR, pRaw);
  }
  return pclCommand->bComplete(L"(") && pclCommand->bComplete(pszColumn) &&
         pclCommand->bComplete(L"<") &&
         _bWriteKeysetValue(pclCommand, i, clValue, OPEXP_INFERIEUR, pRaw) &&
         pclCommand->bComplete(L" OR ") && pclCommand->bComplete(pszColumn) &&
         pclCommand->bComplete(L" IS NULL)");
}

int CNAStatement::_bWriteKeysetEquality(CNACommand* pclCommand, int i, const CAny& clValue,
                                        const stRawAnchor* pRaw) {
  const wchar_t* pszColumn = m_aKeysetItems[i].pclColumn->pszGetFormatedName();
  if (clValue.bIsNull())
    return pclCommand->bComplete(pszColumn) && pclCommand->bComplete(L" IS NULL");
  return pclCommand->bComplete(pszColumn) && pclCommand->bComplete(L"=") &&
         _bWriteKeysetValue(pclCommand, i, clValue, OPEXP_EGAL, pRaw);
}

int CNAStatement::_bWriteKeysetValue(CNACommand* pclCommand, int i, const CAny& clValue,
                                     eOPEXPRESSION eOperator, const stRawAnchor* pRaw) {
  CNAColumn* pclColumn = m_aKeysetItems[i].pclColumn;
  if (pRaw != nullptr && !pRaw->abNull[i] &&
      pRaw->aCells[i].find('\0') != std::string::npos && bIsTextAW(pclColumn->eNAGetItemType()) &&
      m_pclConnection != nullptr && m_pclConnection->nGetConnectionCodePage() == kCodePageUTF8) {
    // The server's own bytes, whole: hexadecimal digits read alike in
    // every sql_mode, and the text compares in the column's collation.
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    const std::string& strCell = pRaw->aCells[i];
    std::wstring strLiteral = L"_utf8mb4 X'";
    strLiteral.reserve(strCell.size() * 2 + 16);
    for (unsigned char c : strCell) {
      strLiteral += kHex[c >> 4];
      strLiteral += kHex[c & 15];
    }
    strLiteral += L"'";
    return pclCommand->bComplete(strLiteral.c_str());
  }
  return pclCommand->bAddParameter(&clValue, eOperator, 0, pclColumn, 0,
                                   CNAParameter::NA_PARAM_IN);
}

int CNAStatement::_bWriteKeysetCondition(CNACommand* pclCommand, eKEYSETRELATION eRelation,
                                         const stRawAnchor* pRaw) {
  // The values of the row are those of the record's current row.
  CAny aValues[kMaxKeysetItems];
  for (int i = 0; i < m_nKeysetItems; ++i) {
    if (!m_aKeysetItems[i].pclColumn->bGetCurrentValue(&aValues[i], 0)) return 0;
  }
  const int bAfter = eRelation != KEYSET_BEFORE;
  int nTerms = 0;
  for (int i = 0; i < m_nKeysetItems; ++i) {
    // Whether this term can hold at all (nothing is after NULL descending).
    const stOrderItem& item = m_aKeysetItems[i];
    const bool bGreater = bAfter == item.bAscending;
    if (aValues[i].bIsNull() && !bGreater) continue;
    if (nTerms > 0 && !pclCommand->bComplete(L" OR ")) return 0;
    if (!pclCommand->bComplete(L"(")) return 0;
    for (int j = 0; j < i; ++j) {
      if (!_bWriteKeysetEquality(pclCommand, j, aValues[j], pRaw) ||
          !pclCommand->bComplete(L" AND "))
        return 0;
    }
    int bWritten = 0;
    if (!_bWriteKeysetComparison(pclCommand, i, aValues[i], bAfter, item.bAscending, pRaw,
                                 &bWritten))
      return 0;
    if (!pclCommand->bComplete(L")")) return 0;
    ++nTerms;
  }
  if (eRelation == KEYSET_FROM) {
    // The row itself.
    if (nTerms > 0 && !pclCommand->bComplete(L" OR ")) return 0;
    if (!pclCommand->bComplete(L"(")) return 0;
    for (int j = 0; j < m_nKeysetItems; ++j) {
      if (j > 0 && !pclCommand->bComplete(L" AND ")) return 0;
      if (!_bWriteKeysetEquality(pclCommand, j, aValues[j], pRaw)) return 0;
    }
    if (!pclCommand->bComplete(L")")) return 0;
    ++nTerms;
  }
  // No row can follow: a condition that holds for none.
  if (nTerms == 0) return pclCommand->bComplete(L"1=0");
  return 1;
}

CNACommand* CNAStatement::_pclNewCommand() {
  CNACommand* pclCommand =
      CNADriver::s_pclDriver != nullptr
          ? static_cast<CNACommand*>(
                CNADriver::s_pclDriver->pclAllocCommand(m_pclError, m_pclConnection))
          : new (std::nothrow) CNACommand(m_pclError, m_pclConnection);
  if (pclCommand == nullptr && m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
  return pclCommand;
}

CInterfRef<CNACommand> CNAStatement::_refNewKeysetWindow(eKEYSETRELATION eRelation,
                                                        long long llCount,
                                                        const stRawAnchor* pRaw) {
  CNACommand* pclBase = pclGetCommandNoRef();
  CInterfRef<CNACommand> refWindow(_pclNewCommand());
  CNACommand* pclWindow = refWindow.pGet();
  CInterfRef<CNACommand> refCondition(_pclNewCommand());
  CNACommand* pclCondition = refCondition.pGet();
  CInterfRef<CNACommand> refNone;
  if (pclWindow == nullptr || pclCondition == nullptr) return refNone;
  if (eRelation != KEYSET_ALL && !_bWriteKeysetCondition(pclCondition, eRelation, pRaw))
    return refNone;
  // The SELECT up to its ORDER BY, its own condition kept whole in
  // parentheses beside the keys', then the order (turned round for a
  // window before the row: its rows come nearest first).
  pclWindow->_SetQueryKind(pclBase->eGetQueryType());
  if (!pclWindow->bAdd(pclBase, CNACommand::NA_ADD_CLONE)) return refNone;
  // A parameter that ends the condition stands at the order's very place:
  // it belongs to the text kept (a cut by position alone would drop it and
  // leave its comparison without a value).
  int nKeptParameters = 0;
  while (nKeptParameters < static_cast<int>(pclWindow->nGetParameterNbr()) &&
         pclWindow->pclGetParameterNoRef(static_cast<unsigned int>(nKeptParameters))
                 ->nGetPosition() <= static_cast<unsigned int>(m_nKeysetOrderAt))
    ++nKeptParameters;
  pclWindow->Tronque(static_cast<unsigned int>(m_nKeysetOrderAt), nKeptParameters);
  if (eRelation != KEYSET_ALL) {
    if (m_nKeysetWhereAt >= 0) {
      pclWindow->Insert(static_cast<unsigned int>(m_nKeysetWhereAt), L"(");
      if (!pclWindow->bComplete(L") AND (")) return refNone;
    } else if (!pclWindow->bComplete(L" WHERE (")) {
      return refNone;
    }
    if (!pclWindow->bAdd(pclCondition, CNACommand::NA_ADD_CLONE) || !pclWindow->bComplete(L")"))
      return refNone;
  }
  if (!pclWindow->bComplete(L"\r\nORDER BY ")) return refNone;
  const int bTurned = eRelation == KEYSET_BEFORE;
  CTString csItem;
  for (int i = 0; i < m_nKeysetItems; ++i) {
    if (i > 0 && !pclWindow->bComplete(L",")) return refNone;
    if (!_FormatItemORDERBY(pclBase, m_aKeysetItems[i].pclColumn, 0, &csItem) ||
        !pclWindow->bComplete(csItem.pszGet()))
      return refNone;
    const int bAscending = bTurned ? !m_aKeysetItems[i].bAscending : m_aKeysetItems[i].bAscending;
    if (!bAscending && !pclWindow->bComplete(L" DESC")) return refNone;
  }
  pclWindow->SetRowLimit(llCount > 0 ? llCount : -1);
  pclWindow->SetRowOffset(-1);
  return refWindow;
}

CInterfRef<CNACommand> CNAStatement::_refNewKeysetWindowFromRow(const CNAZBRecord* pclRow,
                                                               eKEYSETRELATION eRelation,
                                                               long long llCount,
                                                               const stRawAnchor* pRaw) {
  // The condition reads the record's current row: the row it is written
  // from takes its place for the time of the writing.
  CNARecordValueBase* pclCurrent = m_pclRecord->pclGetCurrentRecordNoRef();
  CInterfRef<CNACommand> refWindow;
  if (pclCurrent == nullptr) return refWindow;
  CNAZBRecord* pclBuffer = static_cast<CNAZBRecord*>(pclCurrent->pclGetNAZBRecord());
  CNAZBRecordBase* pclSaved = pclBuffer->vpclGetClone();
  if (pclSaved == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return refWindow;
  }
  pclBuffer->Copy(pclRow);
  m_pclRecord->OnNAZBRecordChanged();
  refWindow = _refNewKeysetWindow(eRelation, llCount, pRaw);
  pclBuffer->Copy(pclSaved);
  m_pclRecord->OnNAZBRecordChanged();
  delete pclSaved;
  return refWindow;
}

long long CNAStatement::_llKeysetWindowCount() const {
  CNACommand* pclCommand = pclGetCommandNoRef();
  long long llCount = pclCommand != nullptr ? pclCommand->llGetRowLimit() : -1;
  if (m_pclDataAccess != nullptr) llCount = m_pclDataAccess->llNextWindowRows(llCount);
  // A cache cut by its cap holds about m_llCapRows rows.
  if (m_llCapRows > 0 && (llCount <= 0 || llCount > m_llCapRows)) llCount = m_llCapRows;
  return llCount;
}

// ---------------------------------------------------------------------------
// Windows on the record cache

int CNAStatement::_bRunKeysetAfter(long long llAnchorRow) {
  CNAZBRecord* pclRow = _pclScratchRow();
  if (pclRow == nullptr || m_pclCache->eGetAt(llAnchorRow, pclRow) != RCS_OK) return 0;
  CInterfRef<CNACommand> refWindow = _refNewKeysetWindowFromRow(
      pclRow, KEYSET_AFTER, _llKeysetWindowCount(), _pGetRawAnchor(llAnchorRow));
  if (refWindow.pGet() == nullptr) return 0;
  return _bRunWindowCommand(refWindow.pGet(), llAnchorRow + 1);
}

int CNAStatement::_bRunKeysetBefore(long long llAnchorRow, long long* pllShift) {
  *pllShift = 0;
  CNAZBRecord* pclRow = _pclScratchRow();
  if (pclRow == nullptr || m_pclCache->eGetAt(llAnchorRow, pclRow) != RCS_OK) return 0;
  // The capture is copied: the window replaces the rows it describes.
  const stRawAnchor* pRaw = _pGetRawAnchor(llAnchorRow);
  stRawAnchor stRaw;
  if (pRaw != nullptr) stRaw = *pRaw;
  return _bRunKeysetBeforeRow(pclRow, llAnchorRow, pllShift, pRaw != nullptr ? &stRaw : nullptr);
}

int CNAStatement::_bRunKeysetBeforeRow(const CNAZBRecord* pclRow, long long llAnchorRow,
                                       long long* pllShift, const stRawAnchor* pRaw) {
  *pllShift = 0;
  const long long llCount = _llKeysetWindowCount();
  CInterfRef<CNACommand> refWindow =
      _refNewKeysetWindowFromRow(pclRow, KEYSET_BEFORE, llCount, pRaw);
  CNACommand* pclWindow = refWindow.pGet();
  if (pclWindow == nullptr) return 0;
  if (m_llKeptCachedRow >= 0) _KeepCachedRow();
  const char* pszText = pclWindow->pszGetFormatedSQLA(CNACommand::NA_PTC_ALL);
  if (pszText == nullptr) return 0;
  // Stored, then put into the cache in the order of the browse: the rows
  // come nearest to the anchor first.
  m_pclStatementSQL->SetStreamMode(0);
  if (!m_pclStatementSQL->bExecuteDirect(pszText, 0)) return 0;
  const long long llRows = m_pclStatementSQL->llGetRowCount();
  if (llRows <= 0) {
    // Nothing before the anchor: the result starts there.
    m_pclStatementSQL->bReset();
    m_bWindowOpen = 0;
    m_bStartKnown = 1;
    m_llStartRow = llAnchorRow;
    return 1;
  }
  long long llFirst = llAnchorRow - llRows;
  if (llFirst < 0) {
    // Numbers stay above -1 (no row): the whole browse moves up, and where
    // the result starts is known again only from a window short of its
    // count.
    *pllShift = -llFirst;
    _ShiftRowNumbers(*pllShift);
    llFirst = 0;
    m_bStartKnown = 0;
  }
  m_pclCache->EmptyFrom(llFirst);
  int bResult = 1;
  for (long long i = llRows - 1; i >= 0 && bResult; --i) {
    if (!m_pclStatementSQL->bDataSeek(i) || !m_pclStatementSQL->bFetch(NA_PARSE_NEXT) ||
        m_pclStatementSQL->bIsEndOfData() || !_bUpdateNARecordFromDB()) {
      bResult = 0;
      break;
    }
    const int nStatus = _nCacheCurrentRecord(llFirst + (llRows - 1 - i));
    if (nStatus == RCS_OK && i == llRows - 1) _CaptureRawAnchor(0, llFirst);
    if (nStatus != RCS_OK) {
      if (m_pclError != nullptr && nStatus == RCS_OUT_OF_MEMORY)
        m_pclError->pclGetXError()->SetErrorNoMemory();
      // A row the cache cannot take: the rows held so far stay a browse.
      bResult = nStatus == RCS_CAP_REACHED ? 1 : 0;
      break;
    }
  }
  m_pclStatementSQL->bReset();
  m_bWindowOpen = 0;
  if (!bResult) return 0;
  // Short of its count, the window reached the first row of the result.
  if (llCount <= 0 || llRows < llCount) {
    m_bStartKnown = 1;
    m_llStartRow = llFirst;
  }
  // The rows after the anchor are read again by a window after the last
  // row held.
  m_bMoreAfter = 1;
  m_bWindowCutByCap = 0;
  return 1;
}

void CNAStatement::_ShiftRowNumbers(long long llShift) {
  if (m_llCurrentRow >= 0) m_llCurrentRow += llShift;
  if (m_llKeptCachedRow >= 0) m_llKeptCachedRow += llShift;
  if (m_llOutsideRow != LLONG_MIN) m_llOutsideRow += llShift;
  m_llStartRow += llShift;
  m_llWindowBase += llShift;
}

CNAZBRecord* CNAStatement::_pclScratchRow() {
  if (m_pclScratchRow == nullptr) {
    CNARecordValueBase* pclCurrent = m_pclRecord->pclGetCurrentRecordNoRef();
    if (pclCurrent == nullptr) return nullptr;
    m_pclScratchRow = static_cast<CNAZBRecord*>(pclCurrent->pclGetNAZBRecord()->vpclGetClone());
    if (m_pclScratchRow == nullptr && m_pclError != nullptr)
      m_pclError->pclGetXError()->SetErrorNoMemory();
  }
  return m_pclScratchRow;
}

// ---------------------------------------------------------------------------
// A browse rebuilt from its row as read

int CNAStatement::bExecuteFromKeptRow(eNA_PARSEDIRECTION eDirection) {
  CNARecordValueBase* pclKept = pclGetOriginalRecordValueNoRef();
  if (pclKept == nullptr || m_pclRecord == nullptr)
    return _nRaiseStatement(kSiteNoKeptRow, kErrNoCurrentRow);
  // The row as read outlives the closing below.
  CInterfRef<CNARecordValueBase> refKept(pclKept);
  const int bCache = bIsCacheEnabled();
  if (m_bParseStarted) Close();
  if (bCache) EnableCache(1);
  m_refOriginalValue.Reset(refKept.pGet());
  if (!_bAllocStatementSQL()) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  _ResetExecution();
  CNAZBRecord* pclRow = static_cast<CNAZBRecord*>(refKept.pGet()->pclGetNAZBRecord());
  if (!bIsCacheEnabled() || !bKeysetWindows()) return _bFindKeptRowByScan(pclRow);

  // Rows are numbered from the anchor: the rows after it follow it, those
  // before it come before; where the result starts is found on the way.
  m_bStartKnown = 0;
  m_llStartRow = 0;
  m_bMovedSinceExecute = 1;
  m_bParseStarted = 1;
  if (eDirection == NA_PARSE_PREVIOUS) {
    long long llShift = 0;
    m_pclCache->EmptyFrom(kKeysetOrigin);
    if (!_bRunKeysetBeforeRow(pclRow, kKeysetOrigin, &llShift)) return 0;
    // The row itself and those after it come again from its keys.
    m_bMoreAfter = 1;
    m_llCurrentRow = kKeysetOrigin + llShift;
    return 1;
  }
  // From the row itself on, numbered from the origin: the next move reads
  // it again (read again), or the row after it (next). A row deleted since
  // leaves the first row after it at the origin, which both then read.
  if (!_bRunKeysetFrom(pclRow, kKeysetOrigin)) return 0;
  const int bSame = m_pclCache->bHolds(kKeysetOrigin) && _bCachedRowIs(kKeysetOrigin, pclRow);
  m_llCurrentRow = eDirection == NA_PARSE_NEXT && bSame ? kKeysetOrigin : kKeysetOrigin - 1;
  if (!bSame) m_bKeptRowGone = 1;
  return 1;
}

int CNAStatement::_bRunKeysetFrom(const CNAZBRecord* pclRow, long long llFirst) {
  CInterfRef<CNACommand> refWindow =
      _refNewKeysetWindowFromRow(pclRow, KEYSET_FROM, _llKeysetWindowCount());
  if (refWindow.pGet() == nullptr) return 0;
  m_pclCache->EmptyFrom(llFirst);
  return _bRunWindowCommand(refWindow.pGet(), llFirst);
}

int CNAStatement::_bCachedRowIs(long long llRow, const CNAZBRecord* pclRow) {
  if (!_bReadyIdLayout()) return 0;
  const unsigned char* pbyId = nullptr;
  unsigned int nId = 0;
  if (m_pclCache->eGetIdentifier(llRow, &pbyId, &nId) != RCS_OK) return 0;
  unsigned char aby[512];
  const unsigned int n = m_pIdLayout->nBuild(pclRow, aby, sizeof aby);
  return n != 0 && n == nId && std::memcmp(aby, pbyId, n) == 0;
}

int CNAStatement::_bReadyIdLayout() {
  if (m_bIdLayoutReady) return 1;
  if (m_pIdLayout == nullptr) m_pIdLayout = new (std::nothrow) CNARecordIdLayout;
  if (m_pIdLayout == nullptr || !m_pIdLayout->bInit(m_pclRecord)) return 0;
  m_bIdLayoutReady = 1;
  return 1;
}

int CNAStatement::_bFindKeptRowByScan(const CNAZBRecord* pclRow) {
  // Without keyset windows the browse runs again from its start and walks
  // to the row by its identifier.
  CNACommand* pclCommand = pclGetCommandNoRef();
  if (pclCommand == nullptr || !_bReadyIdLayout()) return 0;
  unsigned char abyKept[512];
  const unsigned int nKept = m_pIdLayout->nBuild(pclRow, abyKept, sizeof abyKept);
  m_llCommandOffset = pclCommand->llGetRowOffset();
  m_bStartKnown = 1;
  m_llStartRow = _llFirstRowOfCommand();
  if (!_bRunWindow(_llFirstRowOfCommand())) return 0;
  m_bParseStarted = 1;
  m_bMovedSinceExecute = 1;
  m_llCurrentRow = _llFirstRowOfCommand() - 1;
  for (;;) {
    if (!_bFetch(NA_PARSE_NEXT, 1)) return 0;
    if (m_bOutOfRange) break;
    CNARecordValueBase* pclCurrent = m_pclRecord->pclGetCurrentRecordNoRef();
    unsigned char aby[512];
    const unsigned int n = m_pIdLayout->nBuild(pclCurrent->pclGetNAZBRecord(), aby, sizeof aby);
    if (nKept != 0 && n == nKept && std::memcmp(aby, abyKept, n) == 0) return 1;
  }
  // The row is gone: the browse stands before its start.
  m_llCurrentRow = -1;
  m_bKeptRowGone = 1;
  return 1;
}

// ---------------------------------------------------------------------------
// Counts and cached rows

int CNAStatement::bCountRows(int bBeforeKeptRow, long long* pllCount) {
  *pllCount = 0;
  if (!bKeysetWindows()) return _nRaiseStatement(kSiteNoKeyset, kErrNotSupported);
  CInterfRef<CNACommand> refRows;
  if (bBeforeKeptRow) {
    CNARecordValueBase* pclKept = pclGetOriginalRecordValueNoRef();
    if (pclKept == nullptr) return _nRaiseStatement(kSiteNoKeptRow, kErrNoCurrentRow);
    refRows = _refNewKeysetWindowFromRow(
        static_cast<const CNAZBRecord*>(pclKept->pclGetNAZBRecord()), KEYSET_BEFORE, -1);
  } else {
    refRows = _refNewKeysetWindow(KEYSET_ALL, -1);
  }
  if (refRows.pGet() == nullptr) return 0;
  const char* pszRows = refRows.pGet()->pszGetFormatedSQLA(CNACommand::NA_PTC_ALL);
  if (pszRows == nullptr) return 0;
  if (!_bAllocStatementSQL()) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  // Counted on the server, on a statement of its own: the browse's result
  // stays as it is.
  CNADriverSQL* pclDriverSQL = CNADriverSQL::s_pclGetFromDriver();
  CNAStatementSQL* pclCount =
      pclDriverSQL != nullptr ? pclDriverSQL->pclAllocStatementSQL(m_pclConnection, m_pclError)
                              : nullptr;
  if (pclCount == nullptr) return _nRaiseStatement(kSiteNoCount, kErrNotSupported);
  pclCount->AddRef();
  CXYStringConcat<char> clText(static_cast<unsigned int>(std::strlen(pszRows)) + 48);
  clText.Add("SELECT COUNT(*) FROM (", 22);
  clText.Add(pszRows, static_cast<int>(std::strlen(pszRows)));
  clText.Add(") kq_rows", 9);
  int bResult = !clText.bEchec() && pclCount->bExecuteDirect(clText.pszGet(), 0) &&
                pclCount->bFetch(0) && !pclCount->bIsEndOfData();
  if (bResult) {
    CXYStringConcat<wchar_t> clRow(32);
    bResult = pclCount->bGetRow(&clRow, nullptr, 1, 0);
    if (bResult) *pllCount = std::wcstoll(clRow.pszGet(), nullptr, 10);
  }
  pclCount->bReset();
  pclCount->nRelease();
  return bResult;
}

int CNAStatement::bGoToCachedRow(const CNAZBRecord* pclRow) {
  if (!bIsCacheEnabled() || m_pclCache->llGetCount() == 0 || !_bReadyIdLayout()) return 0;
  unsigned char aby[512];
  const unsigned int n = m_pIdLayout->nBuild(pclRow, aby, sizeof aby);
  if (n == 0) return 0;
  const long long llRow = m_pclCache->llFindRow(aby, n);
  if (llRow < 0 || !m_pclCache->bHolds(llRow)) return 0;
  if (!_RestaureRecordFromCache(llRow)) return 0;
  m_bOutOfRange = 0;
  m_bFound = 1;
  m_bParseStarted = 1;
  m_bMovedSinceExecute = 1;
  m_llKeptCachedRow = m_refOriginalValue.pGet() != nullptr ? llRow : -1;
  return 1;
}

// ---------------------------------------------------------------------------
// Raw anchors

void CNAStatement::_CaptureRawAnchor(int nSlot, long long llRow) {
  stRawAnchor& stRaw = m_aRawAnchor[nSlot];
  stRaw.llRow = -1;
  if (m_nKeysetItems <= 0 || m_pclStatementSQL == nullptr || m_pclCache == nullptr) return;
  const unsigned char* pbyId = nullptr;
  unsigned int nId = 0;
  if (m_pclCache->eGetIdentifier(llRow, &pbyId, &nId) != RCS_OK) return;
  for (int i = 0; i < m_nKeysetItems; ++i) {
    const int nIndex = m_aKeysetItems[i].pclColumn->nGetPhysicalIndice();
    const unsigned char* pCell = nullptr;
    unsigned int nLength = 0;
    if (nIndex < 0 ||
        !m_pclStatementSQL->bGetRawCell(static_cast<unsigned int>(nIndex), &pCell, &nLength))
      return;
    stRaw.abNull[i] = pCell == nullptr ? 1 : 0;
    stRaw.aCells[i].assign(reinterpret_cast<const char*>(pCell != nullptr ? pCell : pbyId),
                           pCell != nullptr ? nLength : 0);
  }
  stRaw.strId.assign(reinterpret_cast<const char*>(pbyId), nId);
  stRaw.llRow = llRow;
}

const CNAStatement::stRawAnchor* CNAStatement::_pGetRawAnchor(long long llRow) {
  // A capture counts for the row it was taken of: the same number and the
  // same identifier (numbers are given again when the cache starts afresh).
  const unsigned char* pbyId = nullptr;
  unsigned int nId = 0;
  if (m_pclCache == nullptr || m_pclCache->eGetIdentifier(llRow, &pbyId, &nId) != RCS_OK)
    return nullptr;
  for (const stRawAnchor& stRaw : m_aRawAnchor) {
    if (stRaw.llRow == llRow && stRaw.strId.size() == nId &&
        std::memcmp(stRaw.strId.data(), pbyId, nId) == 0)
      return &stRaw;
  }
  return nullptr;
}

const CNAZBRecord* CNAStatement::_pclKeptRowBuffer() {
  CNARecordValueBase* pclKept = pclGetOriginalRecordValueNoRef();
  return pclKept != nullptr ? static_cast<const CNAZBRecord*>(pclKept->pclGetNAZBRecord()) : nullptr;
}
