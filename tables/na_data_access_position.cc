// Where a data access stands, and how it comes back there: record numbers,
// saved positions, and relative positions in thousandths of a browse.
//
// Record numbers: a table whose rows are told apart by one integer column
// (its primary key, else a unique key without NULL) numbers a row by that
// value when it is 1 or more, the same in every context. Other rows get
// numbers from kFirstMappedRecNum up, kept with a copy of the row until the
// data access closes, so that a number is read back by the row's
// identifier. Reading a number whose row is gone answers out of range and
// leaves the record as it was read last, marked deleted.
//
// Saved positions are numbered from 1 per data access; each keeps the item
// browsed, the row as read, the browse's search and filter. Coming back
// uses the row when the browse's cache still holds it, else rebuilds the
// browse from the row's keys.
#include <climits>
#include <cstdio>
#include <new>
#include <string>

#include "driver/na_error.h"
#include "items/column.h"
#include "items/record.h"
#include "items/record_value_interface.h"
#include "kq230/item_type.h"
#include "kq230/sql_parser_interface.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/filter.h"
#include "sqlbuilder/record_search.h"
#include "statements/driver_sql.h"
#include "statements/record_buffer.h"
#include "statements/statement_sql.h"
#include "tables/na_data_access.h"
#include "values/any.h"

namespace {

// Debug lines of these errors (file CNADataAccess::kReadErrorFile).
constexpr int kSiteUnknownPosition = 40;
constexpr int kSiteUnknownRecNum = 41;
constexpr int kSiteNoCondition = 42;
constexpr int kSiteNotOpened = 43;
constexpr int kSitePositionNoKeys = 44;

bool bIntegerType(eNA_ITEMTYPE e) {
  switch (e) {
    case NA_IT_I1:
    case NA_IT_I2:
    case NA_IT_I4:
    case NA_IT_I8:
    case NA_IT_UI1:
    case NA_IT_UI2:
    case NA_IT_UI4:
    case NA_IT_UI8:
      return true;
    default:
      return false;
  }
}

std::wstring NumberText(long long ll) {
  char sz[32];
  std::snprintf(sz, sizeof sz, "%lld", ll);
  return std::wstring(sz, sz + std::char_traits<char>::length(sz));
}

}  // namespace

struct CNADataAccess::stSavedPosition {
  CTString csItem;
  CInterfRef<CNARecordValueBase> refRow;  // null: no row was read
  CInterfRef<CNARecherche> refSearch;
  CInterfRef<CNAFilter> refFilter;
};

int CNADataAccess::_nRaiseNumber(int nLine, unsigned int nCode, long long llNumber) {
  const std::wstring strNumber = NumberText(llNumber);
  return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kReadErrorFile, nLine, m_pclConnection,
                            m_csLogicalName.pszGet(), nullptr, nCode, strNumber.c_str());
}

void CNADataAccess::_FreePositionsAndNumbers() {
  for (auto& entry : m_positions) delete entry.second;
  m_positions.clear();
  m_nNextPosition = 1;
  for (auto& entry : m_rowByRecNum) delete entry.second;
  m_rowByRecNum.clear();
  m_recNumByKey.clear();
  m_llNextRecNum = kFirstMappedRecNum;
}

// ---------------------------------------------------------------------------
// Record numbers

CNAColumn* CNADataAccess::_pclGetNumberKey() const {
  if (m_clRecordIdLayout.nGetItemCount() != 1 || m_clRecordIdLayout.bIsWholeRow()) return nullptr;
  CNAColumn* pclColumn = m_clRecordIdLayout.pclGetColumnNoRef(0);
  return pclColumn != nullptr && bIntegerType(pclColumn->eNAGetItemType()) ? pclColumn : nullptr;
}

long long CNADataAccess::llGetRecNum() {
  CNARecordValueBase* pclCurrent =
      m_pclRecord != nullptr ? m_pclRecord->pclGetCurrentRecordNoRef() : nullptr;
  if (pclCurrent == nullptr) return 0;
  if (CNAColumn* pclKey = _pclGetNumberKey()) {
    CAny clValue;
    long long ll = 0;
    if (pclKey->bGetCurrentValue(&clValue, 0) && !clValue.bIsNull() && clValue.nGetINT_64(&ll) == 0 &&
        ll >= 1 && ll < kFirstMappedRecNum)
      return ll;
  }
  // Any other row: a number of this data access, kept with the row.
  const CNAZBRecord* pclBuffer = static_cast<const CNAZBRecord*>(pclCurrent->pclGetNAZBRecord());
  std::string strId;
  if (!_bRowIdentifier(pclBuffer, &strId)) return 0;
  try {
    auto found = m_recNumByKey.find(strId);
    if (found != m_recNumByKey.end()) return found->second;
    CNAZBRecord* pclCopy = pclBuffer->pclGetClone();
    if (pclCopy == nullptr) throw std::bad_alloc();
    const long long llNumber = m_llNextRecNum;
    try {
      m_rowByRecNum.emplace(llNumber, pclCopy);
    } catch (...) {
      delete pclCopy;
      throw;
    }
    m_recNumByKey.emplace(std::move(strId), llNumber);
    ++m_llNextRecNum;
    return llNumber;
  } catch (const std::bad_alloc&) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
}

int CNADataAccess::_bRowIdentifier(const CNAZBRecord* pclBuffer, std::string* pOut) const {
  unsigned char aby[512];
  unsigned int n = m_clRecordIdLayout.nBuild(pclBuffer, aby, sizeof aby);
  if (n != 0) {
    pOut->assign(reinterpret_cast<const char*>(aby), n);
    return 1;
  }
  // Longer than the stack room: bounded by every slot with its marks.
  const unsigned int nCap = 2u * static_cast<unsigned int>(pclBuffer->nGetBufferLength()) +
                            8u * static_cast<unsigned int>(pclBuffer->nGetPhysicalItemCount()) + 64u;
  std::string strBuffer(nCap, '\0');
  n = m_clRecordIdLayout.nBuild(pclBuffer, reinterpret_cast<unsigned char*>(strBuffer.data()), nCap);
  if (n == 0) return 0;
  strBuffer.resize(n);
  *pOut = std::move(strBuffer);
  return 1;
}

int CNADataAccess::_bWriteRecNumCondition(long long llRecNum, CNACommand* pclCondition) {
  CNAColumn* pclKey = _pclGetNumberKey();
  if (pclKey != nullptr && llRecNum >= 1 && llRecNum < kFirstMappedRecNum) {
    CAny clValue;
    clValue.SetI8(llRecNum);
    return pclCondition->bComplete(pclKey->pszGetFormatedName()) && pclCondition->bComplete(L"=") &&
           pclCondition->bAddParameter(&clValue, OPEXP_EGAL, 0, pclKey, 0,
                                       CNAParameter::NA_PARAM_IN);
  }
  auto found = m_rowByRecNum.find(llRecNum);
  if (found == m_rowByRecNum.end())
    return _nRaiseNumber(kSiteUnknownRecNum, kErrUnknownRecNum, llRecNum);
  // The row's identifier items, as the row was when it got its number.
  const CNAZBRecord* pclRow = found->second;
  const int nItems = m_clRecordIdLayout.nGetItemCount();
  if (nItems <= 0) return _nRaiseRead(kSiteNoCondition, kErrNotOffered, nullptr);
  for (int i = 0; i < nItems; ++i) {
    CNAColumn* pclColumn = m_clRecordIdLayout.pclGetColumnNoRef(i);
    INAItemDescription* piItem = pclColumn->piGetItemNoRef();
    if (i > 0 && !pclCondition->bComplete(L" AND ")) return 0;
    if (!pclCondition->bComplete(pclColumn->pszGetFormatedName())) return 0;
    if (!pclRow->bItemValueDefined(piItem)) {
      if (!pclCondition->bComplete(L" IS NULL")) return 0;
      continue;
    }
    CAny clValue;
    pclRow->GetItemValue(&clValue, piItem);
    if (!pclCondition->bComplete(L"=") ||
        !pclCondition->bAddParameter(&clValue, OPEXP_EGAL, 0, pclColumn, 0,
                                     CNAParameter::NA_PARAM_IN))
      return 0;
  }
  return 1;
}

int CNADataAccess::bHLit(long long llRecNum, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLockOut) {
  if (!m_bOpened) return _nRaiseNotOpened(kSiteNotOpened, nullptr);
  if (!_bMove(llRecNum, 1)) return 0;
  CNAStatement* pclStatement = pclGetItemStatementNoRef(L"");
  if (pclStatement != nullptr && !pclStatement->HEndehors())
    return bLockUnlockRecord(pclStatement, eLock, 0, peLockOut);
  return 1;
}

int CNADataAccess::_bMove(long long llRecNum, int) {
  CNAStatement* pclStatement = pclGetItemStatementNoRef(L"");
  if (pclStatement == nullptr) pclStatement = _pclInitStatement(L"");
  if (pclStatement == nullptr) return 0;
  m_pclCurrentStatement = pclStatement;
  CInterfRef<CNAStatement> refStatement(pclStatement);
  CInterfRef<CNACommand> refCondition(_pclNewCommand());
  CInterfRef<CNACommand> refCommand(_pclNewCommand());
  if (refCondition.pGet() == nullptr || refCommand.pGet() == nullptr) return 0;
  if (!_bWriteRecNumCondition(llRecNum, refCondition.pGet())) return 0;
  // One row, read from the server: the browse of the empty item starts
  // again from it.
  pclStatement->SetRecherche(nullptr);
  pclStatement->SetBrowseItem(L"");
  pclStatement->EnableCache(0);
  if (!pclStatement->bBuildQuerySELECT(refCommand.pGet(), 0, L"", 1, refCondition.pGet())) return 0;
  refCommand.pGet()->SetRowLimit(1);
  if (!pclStatement->bExecute(0, 1)) return 0;
  if (!pclStatement->bFetch(NA_PARSE_FIRST, 1, 1, nullptr)) return 0;
  if (pclStatement->HEndehors() && m_pclRecord != nullptr) {
    // Gone since: the record stays as it was read, marked deleted.
    m_pclRecord->bCopyOriginalRecordToCurrentRecord();
    m_pclRecord->SetDeleted();
  }
  return 1;
}

int CNADataAccess::bGetRecNumState(long long llRecNum, unsigned int* pdwState) {
  if (pdwState == nullptr) return 0;
  *pdwState = kRecNumDeleted;
  if (!m_bOpened) return _nRaiseNotOpened(kSiteNotOpened, nullptr);
  CInterfRef<CNACommand> refCondition(_pclNewCommand());
  CInterfRef<CNACommand> refQuery(_pclNewCommand());
  CNACommand* pclQuery = refQuery.pGet();
  if (refCondition.pGet() == nullptr || pclQuery == nullptr) return 0;
  if (!_bWriteRecNumCondition(llRecNum, refCondition.pGet())) return 0;
  if (!pclQuery->bComplete(L"SELECT 1 FROM ") || !pclQuery->bComplete(m_csDBTableName.pszGet()) ||
      !pclQuery->bComplete(L" WHERE ") ||
      !pclQuery->bAdd(refCondition.pGet(), CNACommand::NA_ADD_CLONE))
    return 0;
  pclQuery->SetRowLimit(1);
  const char* pszText = pclQuery->pszGetFormatedSQLA(CNACommand::NA_PTC_ALL);
  if (pszText == nullptr) return 0;
  CNADriverSQL* pclDriverSQL = CNADriverSQL::s_pclGetFromDriver();
  CNAStatementSQL* pclStatement =
      pclDriverSQL != nullptr ? pclDriverSQL->pclAllocStatementSQL(m_pclConnection, m_pclError)
                              : nullptr;
  if (pclStatement == nullptr) return _nRaiseRead(kSiteNoCondition, kErrNotOffered, nullptr);
  pclStatement->AddRef();
  int bResult = pclStatement->bExecuteDirect(pszText, 0) && pclStatement->bFetch(0);
  if (bResult) *pdwState = pclStatement->bIsEndOfData() ? kRecNumDeleted : kRecNumPresent;
  pclStatement->bReset();
  pclStatement->nRelease();
  return bResult;
}

// ---------------------------------------------------------------------------
// Saved positions

int CNADataAccess::bHSauvePosition(int* pnPosition, const wchar_t* pszItem, unsigned int) {
  if (pnPosition == nullptr) return 0;
  *pnPosition = 0;
  if (!m_bOpened) return _nRaiseNotOpened(kSiteNotOpened, pszItem);
  CNAStatement* pclStatement = _pclGetAskedStatement(pszItem);
  stSavedPosition* pPosition = new (std::nothrow) stSavedPosition;
  if (pPosition == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  if (pclStatement != nullptr) {
    pPosition->csItem = pclStatement->pszGetBrowseItem();
    CNARecordValueBase* pclRow =
        pclStatement->HEndehors() ? nullptr : pclStatement->pclGetOriginalRecordValueNoRef();
    if (pclRow != nullptr) {
      CNARecordValueBase* pclCopy = pclRow->pclGetClone(COPY_ALL);
      if (pclCopy == nullptr) {
        delete pPosition;
        if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
      }
      pPosition->refRow.Reset(pclCopy);
    }
    pPosition->refSearch.Reset(pclStatement->pclGetRechercheNoRef());
    pPosition->refFilter.Reset(pclStatement->pclGetFilterNoRef());
  } else {
    pPosition->csItem = pszItem != nullptr ? pszItem : L"";
  }
  try {
    m_positions.emplace(m_nNextPosition, pPosition);
  } catch (const std::bad_alloc&) {
    delete pPosition;
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  *pnPosition = m_nNextPosition++;
  return 1;
}

int CNADataAccess::bHRetourPosition(int nPosition, wchar_t*, int bKeep, unsigned int) {
  if (!m_bOpened) return _nRaiseNotOpened(kSiteNotOpened, nullptr);
  auto found = m_positions.find(nPosition);
  if (found == m_positions.end())
    return _nRaiseNumber(kSiteUnknownPosition, kErrUnknownPosition, nPosition);
  stSavedPosition* pPosition = found->second;
  CNAStatement* pclStatement =
      _pclGetNewItemStatement(pPosition->csItem.pszGet(), NA_PARSE_CURRENT, 0);
  if (pclStatement == nullptr) return 0;
  CInterfRef<CNAStatement> refStatement(pclStatement);
  pclStatement->nRelease();
  pclStatement->SetRecherche(pPosition->refSearch.pGet());
  pclStatement->SetFilter(pPosition->refFilter.pGet());
  int bResult = 1;
  if (pPosition->refRow.pGet() == nullptr) {
    // Saved out of range: it comes back out of range.
    pclStatement->MarkOutOfRange();
  } else {
    const CNAZBRecord* pclRow =
        static_cast<const CNAZBRecord*>(pPosition->refRow.pGet()->pclGetNAZBRecord());
    CNARecordValueBase* pclCopy = pPosition->refRow.pGet()->pclGetClone(COPY_ALL);
    if (pclCopy == nullptr) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
    if (!pclStatement->bGoToCachedRow(pclRow)) {
      // Read again from the server, by the row's keys.
      pclStatement->SetOriginalRecordValue(pclCopy);
      pclStatement->SetBrowseItem(pPosition->csItem.pszGet());
      bResult = bGoToOriginalRecord(0, pclStatement, 1, NA_PARSE_CURRENT, 1);
      if (bResult && pclStatement->bKeptRowGone()) pclStatement->MarkOutOfRange();
    } else {
      pclStatement->SetOriginalRecordValue(pclCopy);
    }
  }
  if (bResult && !bKeep) bHLiberePosition(nPosition);
  return bResult;
}

int CNADataAccess::bHLiberePosition(int nPosition) {
  auto found = m_positions.find(nPosition);
  if (found == m_positions.end())
    return _nRaiseNumber(kSiteUnknownPosition, kErrUnknownPosition, nPosition);
  delete found->second;
  m_positions.erase(found);
  return 1;
}

int CNADataAccess::bCompareTablePosition(int nFirst, int nSecond, int* pnOrder) {
  if (pnOrder == nullptr) return 0;
  *pnOrder = 0;
  auto first = m_positions.find(nFirst);
  if (first == m_positions.end())
    return _nRaiseNumber(kSiteUnknownPosition, kErrUnknownPosition, nFirst);
  auto second = m_positions.find(nSecond);
  if (second == m_positions.end())
    return _nRaiseNumber(kSiteUnknownPosition, kErrUnknownPosition, nSecond);
  // In the order of the first position's browse: the rows before each.
  long long llFirst = 0;
  long long llSecond = 0;
  if (!_bRowsBefore(first->second->csItem.pszGet(), first->second->refRow.pGet(), &llFirst) ||
      !_bRowsBefore(first->second->csItem.pszGet(), second->second->refRow.pGet(), &llSecond))
    return 0;
  *pnOrder = llFirst < llSecond ? -1 : (llFirst > llSecond ? 1 : 0);
  return 1;
}

int CNADataAccess::_bRowsBefore(const wchar_t* pszItem, CNARecordValueBase* pclRow,
                                long long* pllBefore) {
  *pllBefore = 0;
  CNAStatement* pclStatement = _pclGetBuiltStatement(pszItem);
  if (pclStatement == nullptr) return 0;
  CInterfRef<CNAStatement> refStatement(pclStatement);
  pclStatement->nRelease();
  if (pclRow == nullptr) return pclStatement->bCountRows(0, pllBefore);
  // The count reads the statement's row as read: this row stands in for it
  // during the count.
  CInterfRef<CNARecordValueBase> refKept(pclStatement->pclGetOriginalRecordValueNoRef());
  CNARecordValueBase* pclCopy = pclRow->pclGetClone(COPY_ALL);
  if (pclCopy == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  pclStatement->SetOriginalRecordValue(pclCopy);
  const int bResult = pclStatement->bCountRows(1, pllBefore);
  pclStatement->SetOriginalRecordValue(refKept.pGet());
  return bResult;
}

CNAStatement* CNADataAccess::_pclGetBuiltStatement(const wchar_t* pszItem) {
  // The statement of the item with its SELECT written (not run): what
  // counts and positions read its order from.
  CNAStatement* pclStatement = pclGetItemStatementNoRef(pszItem != nullptr ? pszItem : L"");
  if (pclStatement != nullptr && pclStatement->pclGetCommandNoRef() != nullptr &&
      pclStatement->bKeysetWindows()) {
    pclStatement->AddRef();
    return pclStatement;
  }
  pclStatement = _pclGetNewItemStatement(pszItem, NA_PARSE_FIRST, 0);
  if (pclStatement == nullptr) return nullptr;
  CInterfRef<CNACommand> refCommand(_pclNewCommand());
  long long llStep = 1;
  if (refCommand.pGet() == nullptr ||
      !bBuildSelect(pclStatement, refCommand.pGet(), pszItem, 1, 0, &llStep)) {
    pclStatement->nRelease();
    return nullptr;
  }
  if (!pclStatement->bKeysetWindows()) {
    pclStatement->nRelease();
    _nRaiseRead(kSitePositionNoKeys, kErrNotOffered, pszItem);
    return nullptr;
  }
  return pclStatement;
}

// ---------------------------------------------------------------------------
// Relative positions (thousandths of the browse)

int CNADataAccess::bHPositionCourante(int* pnPosition, const wchar_t* pszItem, eNA_PRECISION) {
  if (pnPosition == nullptr) return 0;
  *pnPosition = 0;
  if (!m_bOpened) return _nRaiseNotOpened(kSiteNotOpened, pszItem);
  CNAStatement* pclAsked = _pclGetAskedStatement(pszItem);
  if (pclAsked == nullptr || pclAsked->HEndehors()) return 1;
  const wchar_t* pszBrowse = pclAsked->pszGetBrowseItem();
  CInterfRef<CNARecordValueBase> refRow(pclAsked->pclGetOriginalRecordValueNoRef());
  long long llTotal = 0;
  long long llBefore = 0;
  if (!_bRowsBefore(pszBrowse, nullptr, &llTotal) ||
      !_bRowsBefore(pszBrowse, refRow.pGet(), &llBefore))
    return 0;
  // The first row is at 0, the last at 1000.
  if (llTotal > 1) *pnPosition = static_cast<int>((llBefore * 1000 + (llTotal - 1) / 2) / (llTotal - 1));
  if (*pnPosition > 1000) *pnPosition = 1000;
  return 1;
}

int CNADataAccess::bHPositionne(const wchar_t* pszItem, unsigned int dwPosition, eNA_PRECISION,
                                unsigned int) {
  if (!m_bOpened) return _nRaiseNotOpened(kSiteNotOpened, pszItem);
  if (pszItem == nullptr) pszItem = L"";
  if (dwPosition > 1000) dwPosition = 1000;
  CNAStatement* pclStatement = _pclGetBuiltStatement(pszItem);
  if (pclStatement == nullptr) return 0;
  CInterfRef<CNAStatement> refStatement(pclStatement);
  pclStatement->nRelease();
  pclStatement->SetRecherche(nullptr);
  pclStatement->SetParseFlags(0);
  pclStatement->SetBrowseItem(pszItem);
  long long llTotal = 0;
  if (!pclStatement->bCountRows(0, &llTotal)) return 0;
  // The row at that rank, read alone; the browse goes on from its keys.
  long long llRank = llTotal > 1 ? (static_cast<long long>(dwPosition) * (llTotal - 1) + 500) / 1000
                                 : 0;
  CInterfRef<CNACommand> refCommand(_pclNewCommand());
  if (refCommand.pGet() == nullptr) return 0;
  pclStatement->EnableCache(1);
  long long llStep = 1;
  if (!bBuildSelect(pclStatement, refCommand.pGet(), pszItem, 1, 0, &llStep)) return 0;
  const long long llLimit = refCommand.pGet()->llGetRowLimit();
  refCommand.pGet()->SetRowOffset(llRank);
  refCommand.pGet()->SetRowLimit(1);
  if (!pclStatement->bExecute(0, 1)) return 0;
  // Later windows take the browse's own count.
  refCommand.pGet()->SetRowLimit(llLimit);
  return pclStatement->bFetch(NA_PARSE_FIRST, 1, 1, nullptr);
}
