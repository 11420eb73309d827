// The browse's SELECT of a statement: select list, FROM, WHERE and the ORDER
// BY completed to a unique order (see statements/statement.h).
//
// Why the order must be unique: the data access reads a browse in windows
// (a row limit) and goes on from the last row read with a condition on the
// order columns. Rows that tie on every order column may come back in any
// order from one execution to the next, so a window boundary between them
// would skip or repeat rows.
#include <cwchar>
#include <new>

#include "core/growable_array.h"
#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/column.h"
#include "items/column_null_selection.h"
#include "items/define.h"
#include "items/items_data_access_interface.h"
#include "items/record.h"
#include "items/record_value_interface.h"
#include "kq230/item_description_interface.h"
#include "kq230/sql_parser_interface.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/filter.h"
#include "sqlbuilder/parsed_query_info.h"
#include "sqlbuilder/record_search.h"
#include "statements/statement.h"

namespace {

// File number of these errors in their debug line, and the sites.
constexpr int kErrorFile = 4;
constexpr int kSiteUnknownItem = 9;
constexpr int kSiteNotBuilt = 10;
constexpr int kSiteNoRecord = 11;
constexpr int kSiteNeverRead = 4;
constexpr int kSiteNoCondition = 12;
constexpr int kSiteNeedsSubQuery = 6;

// User error of an operation this driver does not offer (yet).
constexpr unsigned int kErrNotSupported = 8;

bool bSameText(const wchar_t* pszA, const wchar_t* pszB) {
  return std::wcscmp(pszA != nullptr ? pszA : L"", pszB != nullptr ? pszB : L"") == 0;
}

// A position the parser gives, usable only inside the text.
bool bInText(int n, int nLength) { return n > 0 && n < nLength; }

// Writes characters [nFrom, nTo) of the text (nothing when empty).
int bCompleteRange(CNACommand* pclCommand, const wchar_t* pszText, int nFrom, int nTo) {
  if (nTo <= nFrom) return 1;
  return pclCommand->bComplete(pszText + nFrom, static_cast<unsigned int>(nTo - nFrom));
}

}  // namespace

// ---- Fields

CNACommand* CNAStatement::pclGetCommandNoRef() const {
  return static_cast<CNACommand*>(m_refCommand.pGet());
}
void CNAStatement::SetRecherche(CNARecherche* pclSearch) { m_refRecherche.Reset(pclSearch); }
CNARecherche* CNAStatement::pclGetRechercheNoRef() const {
  return static_cast<CNARecherche*>(m_refRecherche.pGet());
}
void CNAStatement::SetFilter(CNAFilter* pclFilter) { m_refFilter.Reset(pclFilter); }
CNAFilter* CNAStatement::pclGetFilterNoRef() const {
  return static_cast<CNAFilter*>(m_refFilter.pGet());
}

void CNAStatement::SetOriginalRecordValue(CNARecordValueBase* pclValue) {
  m_refOriginalValue.Reset(pclValue);
  m_llKeptCachedRow = -1;
}
CNARecordValueBase* CNAStatement::pclGetOriginalRecordValueNoRef() const {
  if (m_llKeptCachedRow >= 0) const_cast<CNAStatement*>(this)->_KeepCachedRow();
  return static_cast<CNARecordValueBase*>(m_refOriginalValue.pGet());
}

CNARecherche* CNAStatement::pclAllocRecherche() {
  return new (std::nothrow) CNARecherche(m_pclError, m_pclConnection);
}

int CNAStatement::_bAddDistinct(unsigned int) const { return 0; }

int CNAStatement::_nRaiseSelect(int nSite, unsigned int nCode, const wchar_t* pszItem) {
  const wchar_t* pszTable = m_pclRecord != nullptr ? m_pclRecord->pszGetTableName() : L"";
  if (nCode == kErrUnknownItem) {
    return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, nSite, m_pclConnection,
                              pszTable, pszItem, nCode, pszItem != nullptr ? pszItem : L"");
  }
  CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, nSite, m_pclConnection, pszTable,
                     nullptr, nCode);
  if (m_pclError != nullptr && pszItem != nullptr) m_pclError->AddDebugMessageNoFormat(pszItem);
  return 0;
}

// ---- SELECT

int CNAStatement::bBuildQuerySELECT(CNACommand* pclCommand, unsigned int nFlags,
                                    const wchar_t* pszItem, int bAscending,
                                    CNACommand* pclWhere) {
  if (pclCommand == nullptr) return 0;
  m_refCommand.Reset(pclCommand);
  SetUniqueOrder(0);
  _ClearKeyset();
  if (m_pclRecord == nullptr || m_pclRecord->pclGetDataAccessNoRef() == nullptr)
    return _nRaiseSelect(kSiteNoRecord, kErrNoCurrentRow, nullptr);
  if (m_pclRecord->bSourceIsQuery()) {
    auto* pclInfo = dynamic_cast<CSQLParserInfo*>(m_pclRecord->pclGetSourceQueryNoRef());
    if (pclInfo == nullptr || pclInfo->pszGetRequete() == nullptr)
      return _nRaiseSelect(kSiteNotBuilt, kErrNotSupported, L"a query data access without query");
    // The query's select list is its own: the record's columns are its
    // output columns, in order, and receive them. Composed keys are no
    // output column (and would shift the positions ORDER BY refers to).
    for (int i = 0; i < m_pclRecord->nGetColumnNbr(); ++i) {
      CNAColumn* pclColumn = m_pclRecord->pclGetColumnNoRef(i);
      if (pclColumn->bIsComposedKey()) continue;
      if (!pclCommand->AddDefine(pclColumn)) {
        if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
      }
    }
    return _bBuildQuerySELECTFromQuery(pclCommand, pclInfo, nFlags, pszItem, bAscending, pclWhere,
                                       1, 0);
  }

  if (!pclCommand->bComplete(L"SELECT ")) return 0;
  if (_bAddDistinct(nFlags) && !pclCommand->bComplete(L"DISTINCT ")) return 0;
  // Table columns are selected by their formatted names (no alias to add).
  if (!pclCommand->bAddSelectColumns(m_pclRecord, 1)) return 0;
  return _bBuildQuerySELECTFromTable(pclCommand, nFlags, pszItem, bAscending, pclWhere, 1);
}

int CNAStatement::_bBuildQuerySELECTFromTable(CNACommand* pclCommand, unsigned int nFlags,
                                              const wchar_t* pszItem, int bAscending,
                                              CNACommand* pclWhere, int bOrderBy) {
  pclCommand->_SetQueryKind(NA_CMD_SELECT);
  CNAItemsDataAccess* pclAccess = m_pclRecord->pclGetDataAccessNoRef();
  const wchar_t* pszTable = pclAccess->pszGetDBTableName();
  // A SELECT with nothing after FROM is no statement the server could run.
  if (pszTable == nullptr || pszTable[0] == 0)
    return _nRaiseSelect(kSiteNoRecord, kErrNotSupported, L"the data access has no table text");
  if (!pclCommand->bComplete(L" FROM ") || !pclCommand->bComplete(pszTable)) return 0;

  CNAConnectionDescription* pclConnection = pclCommand->pclGetCnx();
  const bool bNoLockClause =
      pclConnection->nGetServerKind() == 8 && pclConnection->nGetServerVersionMajor() >= 10;
  if (!bNoLockClause && !pclCommand->bAddRecordLock()) return 0;

  if (pclWhere != nullptr && !pclWhere->bIsEmpty()) {
    // The condition's parameters come along (its text alone would leave
    // their places empty), as copies: shared ones would be moved to their
    // place in this text, and the condition, written again into the next
    // window's SELECT, would put its values in the wrong places.
    if (!pclCommand->bComplete(L" WHERE ")) return 0;
    const unsigned int nWhereAt = pclCommand->nGetTextLength();
    if (!pclCommand->bAdd(pclWhere, CNACommand::NA_ADD_CLONE)) return 0;
    if (!pclCommand->bCopyColumnValuesNullSelected(pclWhere->pclGetNullValueExcludedNoRef()))
      return 0;
    m_nKeysetWhereAt = static_cast<int>(nWhereAt);
  }
  if (!bOrderBy) return 1;
  m_bKeysetTable = 1;
  const int bResult = _bFormatOrderBy(pclCommand, 1, nullptr, nFlags, pszItem, bAscending, 0);
  m_bKeysetTable = 0;
  return bResult;
}

int CNAStatement::_bBuildQuerySELECTFromQuery(CNACommand* pclCommand, CSQLParserInfo* pclInfo,
                                              unsigned int nFlags, const wchar_t* pszItem,
                                              int bAscending, CNACommand* pclWhere, int bOrderBy,
                                              int bWrap) {
  if (pclCommand == nullptr || pclInfo == nullptr) return 0;
  pclCommand->_SetSQLParserInfo(pclInfo);
  if (pclCommand->eGetQueryType() == NA_CMD_NONE) pclCommand->_SetQueryKind(NA_CMD_SELECT);
  CNAConnectionDescription* pclConnection = pclCommand->pclGetCnx();
  const wchar_t* pszQuery = pclInfo->pszGetRequete();
  // The query's text without the blanks and ";" that end it: a sub-query or
  // a clause put after it must not follow a statement's end.
  int nLength = static_cast<int>(std::wcslen(pszQuery));
  while (nLength > 0 && (CNACommand::s_bEspaceSQL(pszQuery[nLength - 1]) ||
                         pszQuery[nLength - 1] == L';'))
    --nLength;
  if (nLength == 0)
    return _nRaiseSelect(kSiteNotBuilt, kErrNotSupported, L"a query data access without query");

  const bool bWhere = pclWhere != nullptr && !pclWhere->bIsEmpty();
  const bool bLimited = pclInfo->bQueryResultsetLimited(pclConnection) != 0;
  ISQLParserInformation* piInfo = pclInfo->piGetParserInformationNoRef();
  const bool bGroups = pclInfo->nGetRubriqueClauseGroupeNbr() > 0 ||
                       (piInfo != nullptr && bInText(piInfo->nGetDebutHaving(), nLength));
  if (bWhere && !bWrap && (bRequeteSansCorrection() || bGroups || bLimited)) bWrap = 1;
  if (bWrap && (!pclConnection->bSupportSubQuery() || pclCommand->eGetQueryType() != NA_CMD_SELECT))
    return _nRaiseSelect(kSiteNeedsSubQuery, kErrNeedsSubQuery, nullptr);

  if (bWrap) {
    if (!pclCommand->bComplete(_bAddDistinct(nFlags) ? L"SELECT DISTINCT * FROM (" :
                                                       L"SELECT * FROM ("))
      return 0;
    if (!bCompleteRange(pclCommand, pszQuery, 0, nLength) || !_bCloseSubQuery(pclCommand))
      return 0;
    if (bWhere) {
      if (!pclCommand->bComplete(L" WHERE ")) return 0;
      if (!pclCommand->bAdd(pclWhere, CNACommand::NA_ADD_CLONE)) return 0;
      if (!pclCommand->bCopyColumnValuesNullSelected(pclWhere->pclGetNullValueExcludedNoRef()))
        return 0;
    }
    // Outside the query only its output names mean something.
    if (!bOrderBy) return 1;
    return _bFormatOrderBy(pclCommand, 0, pclInfo, nFlags, pszItem, bAscending, 1);
  }

  // In place. The query's own ORDER BY goes when another is to be written:
  // two would be no statement, and the new one would not be the first.
  const bool bKeepOrder = (nFlags & kReadKeepQueryOrder) != 0;
  const wchar_t* pszBrowse = pszItem;
  if ((pszBrowse == nullptr || pszBrowse[0] == 0) && !bKeepOrder) pszBrowse = pszGetBrowseItem();
  const bool bWriteOrder =
      bOrderBy && !bLimited &&
      (bKeepOrder ? !bRequeteSansCorrection() : pszBrowse != nullptr && pszBrowse[0] != 0);
  // Where the body ends and the end of the query begins: after its last
  // clause (ORDER BY, HAVING, GROUP BY, WHERE, the first the query has).
  int nBodyEnd = nLength;
  int nOrderStart = -1;
  if (piInfo != nullptr) {
    const int nEnds[4] = {piInfo->nGetFinClauseOrderBy(), piInfo->nGetFinClauseHaving(),
                          piInfo->nGetFinClauseGroupBy(), piInfo->nGetFinClauseWhere()};
    for (int n : nEnds) {
      if (n == -1) continue;
      if (bInText(n, nLength)) nBodyEnd = n + 1;
      break;
    }
    if (bWriteOrder && bInText(piInfo->nGetDebutOrderBy(), nBodyEnd)) {
      nOrderStart = piInfo->nGetDebutOrderBy();
      while (nOrderStart > 0 && CNACommand::s_bEspaceSQL(pszQuery[nOrderStart - 1])) --nOrderStart;
    }
  }
  const int nTextEnd = nOrderStart >= 0 ? nOrderStart : nBodyEnd;

  int nNext = 0;  // the first character of the query not written yet
  if (bWhere) {
    const int nOwnWhere = piInfo != nullptr ? piInfo->nGetDebutWhere() : 0;
    const int nOwnWhereEnd = piInfo != nullptr ? piInfo->nGetFinWhere() : 0;
    if (bInText(nOwnWhere, nTextEnd) && nOwnWhereEnd > nOwnWhere + 5 && nOwnWhereEnd < nTextEnd) {
      // Both conditions in parentheses: an OR in either must not take the
      // other's AND apart.
      int nOwnCondition = nOwnWhere + 5;
      while (nOwnCondition < nOwnWhereEnd && CNACommand::s_bEspaceSQL(pszQuery[nOwnCondition]))
        ++nOwnCondition;
      if (!bCompleteRange(pclCommand, pszQuery, 0, nOwnWhere) ||
          !pclCommand->bComplete(L"WHERE (") ||
          !bCompleteRange(pclCommand, pszQuery, nOwnCondition, nOwnWhereEnd + 1) ||
          !pclCommand->bComplete(L") AND (") ||
          !pclCommand->bAdd(pclWhere, CNACommand::NA_ADD_CLONE) || !pclCommand->bComplete(L")"))
        return 0;
      nNext = nOwnWhereEnd + 1;
    } else {
      // No WHERE of its own: the condition goes where the clause would
      // stand, before the first clause that follows it.
      int nAt = pclCommand->_nGetClauseStart(pclInfo, CNASqlElt::SQLELT_WHERE);
      if (nAt < 0 || nAt > nTextEnd) nAt = nTextEnd;
      if (!bCompleteRange(pclCommand, pszQuery, 0, nAt) || !pclCommand->bComplete(L" WHERE ") ||
          !pclCommand->bAdd(pclWhere, CNACommand::NA_ADD_CLONE))
        return 0;
      nNext = nAt;
    }
    if (!pclCommand->bCopyColumnValuesNullSelected(pclWhere->pclGetNullValueExcludedNoRef()))
      return 0;
  }
  if (!bCompleteRange(pclCommand, pszQuery, nNext, nTextEnd)) return 0;
  if (bWriteOrder) {
    if (!_bFormatOrderBy(pclCommand, 0, pclInfo, nFlags, pszItem, bAscending, 0)) return 0;
  } else {
    pclCommand->SetInvertedOrder(0);
  }
  // The query's end: what follows its last clause (FOR UPDATE and the like).
  return bCompleteRange(pclCommand, pszQuery, nBodyEnd, nLength);
}

int CNAStatement::_bCloseSubQuery(CNACommand* pclCommand) {
  if (pclCommand == nullptr || !pclCommand->bComplete(L")")) return 0;
  const int nKind = pclCommand->pclGetCnx()->nGetServerKind();
  if (nKind == 2 || nKind == 4 || nKind == 7) return pclCommand->bComplete(L" KQ_SUBQUERY");
  return 1;
}

// ---- WHERE

int CNAStatement::bGetClauseWHERE(CNACommand* pclCommand) {
  if (pclCommand == nullptr) return 0;
  CNAFilter* pclFilter = pclGetFilterNoRef();
  if (pclFilter != nullptr && !pclFilter->bIsFilterActive()) pclFilter = nullptr;
  CNARecherche* pclSearch = pclGetRechercheNoRef();
  const bool bSearchActive = pclSearch != nullptr && pclSearch->nGetState() != 0;
  if (pclFilter == nullptr && !bSearchActive) return 1;
  if (pclSearch == nullptr) {
    // A filter alone is written by a search with nothing of its own.
    pclSearch = pclAllocRecherche();
    if (pclSearch == nullptr) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
    SetRecherche(pclSearch);
  }
  return pclSearch->bGetSQL(pclCommand, pclFilter, m_pclRecord);
}

int CNAStatement::_bAddWHERELatestRead(CNACommand* pclCommand, int bAddWhere,
                                       const CNARefArray<CNAColumn>* pTabColumns) {
  if (pclCommand == nullptr) return 0;
  CNARecordValueBase* pclRead = pclGetOriginalRecordValueNoRef();
  if (m_pclRecord == nullptr || pclRead == nullptr ||
      m_pclRecord->pclGetCurrentRecordNoRef() == nullptr) {
    const wchar_t* pszTable = m_pclRecord != nullptr ? m_pclRecord->pszGetTableName() : L"";
    return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, kSiteNeverRead,
                              m_pclConnection, pszTable, nullptr, kErrNoCurrentRow);
  }
  // The whole current row is kept, memos included: the caller may be
  // editing it, and it must come back as it was whatever happens.
  CInterfRef<CNARecordValueBase> refKept(
      m_pclRecord->pclGetCurrentRecordNoRef()->pclGetClone(COPY_ALL));
  if (refKept.pGet() == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  int bResult = m_pclRecord->bCopyToCurrentRecord(pclRead);
  m_pclRecord->OnNAZBRecordChanged();
  if (bResult) bResult = _bAddWHERECurrentRecord(pclCommand, bAddWhere, pTabColumns);
  const int bBack = m_pclRecord->bCopyToCurrentRecord(refKept.pGet());
  m_pclRecord->OnNAZBRecordChanged();
  return bResult && bBack ? 1 : 0;
}

int CNAStatement::_bAddWHERECurrentRecord(CNACommand* pclCommand, int bAddWhere,
                                          const CNARefArray<CNAColumn>* pTabColumns) {
  if (pclCommand == nullptr || m_pclRecord == nullptr) return 0;
  CInterfRef<CNARecherche> refSearch(pclAllocRecherche());
  CNARecherche* pclSearch = refSearch.pGet();
  if (pclSearch == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  // No item: a search positioned on the record takes the row's unique key.
  if (!pclSearch->bRechercheEnreg(m_pclRecord, nullptr, NA_PARSE_FIRST, 1, pTabColumns))
    return 0;
  // The condition's command comes from the driver, so that the back end's
  // dialect writes it as it writes every other.
  CNAConnectionDescription* pclConnection = pclCommand->pclGetCnx();
  CNACommand* pclNew =
      CNADriver::s_pclDriver != nullptr
          ? static_cast<CNACommand*>(
                CNADriver::s_pclDriver->pclAllocCommand(m_pclError, pclConnection))
          : new (std::nothrow) CNACommand(m_pclError, pclConnection);
  CInterfRef<CNACommand> refCondition(pclNew);
  CNACommand* pclCondition = refCondition.pGet();
  if (pclCondition == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  if (!pclSearch->bGetSQL(pclCondition, nullptr, m_pclRecord)) return 0;
  if (pclCondition->bIsEmpty())
    return _nRaiseSelect(kSiteNoCondition, kErrNotSupported,
                         L"no unique key with a value tells the row");
  if (bAddWhere && !pclCommand->bComplete(L" WHERE ")) return 0;
  return pclCommand->bAdd(pclCondition, CNACommand::NA_ADD_CLONE);
}

// ---- ORDER BY

int CNAStatement::_bFormatOrderBy(CNACommand* pclCommand, int bOnTable, CSQLParserInfo* pclInfo,
                                  unsigned int nFlags, const wchar_t* pszItem, int bAscending,
                                  int bFormatedNames) {
  const bool bOnQuery = !bOnTable && pclInfo != nullptr;
  const bool bKeepOrder = bOnQuery && (nFlags & kReadKeepQueryOrder) != 0;
  if (bOnQuery && !bKeepOrder && (pszItem == nullptr || pszItem[0] == 0))
    pszItem = pszGetBrowseItem();
  // Rows a query limits itself are those of its own order: sorted the
  // other way round they would come from the other end.
  if (bOnQuery && !bAscending && pclInfo->bQueryResultsetLimited(pclCommand->pclGetCnx()))
    bAscending = 1;
  if (pszItem == nullptr || pszItem[0] == 0 || bKeepOrder) {
    if (bKeepOrder && !bRequeteSansCorrection()) {
      const int bResult = pclCommand->bFormatORDERBY(bFormatedNames, bAscending);
      if (bResult &&
          !_FormatORDERBYList(pclCommand, nullptr, bAscending, pclInfo, bFormatedNames, nFlags))
        return 0;
      pclCommand->SetInvertedOrder(!bAscending);
      return bResult;
    }
    pclCommand->SetInvertedOrder(0);
    return 1;
  }
  // The record holds one column per item of the data source, found by the
  // description's rule (case and accents ignored).
  CNAColumn* pclColumn = m_pclRecord->pclGetColumnNoRef(pszItem);
  if (pclColumn == nullptr) return _nRaiseSelect(kSiteUnknownItem, kErrUnknownItem, pszItem);

  INAItemDescription* piItem = pclColumn->piGetItemNoRef();
  if (!bOnQuery && piItem != nullptr && piItem->bGetDescendant(-1)) bAscending = !bAscending;
  if (pclColumn->bIsMemo() && !pclCommand->pclGetCnx()->bSupportOrderByMemo())
    pclColumn = nullptr;
  const int bResult =
      _FormatORDERBYList(pclCommand, pclColumn, bAscending, pclInfo, bFormatedNames, nFlags);
  pclCommand->SetInvertedOrder(!bAscending);
  return bResult;
}

int CNAStatement::_bAddOrderItem(CNACommand* pclCommand, CTTableau<stOrderItem>* pTabItems,
                                 CNAColumn* pclColumn, int bAscending, int* pbUnique) {
  const int nItems = pTabItems->nGetNbElement();
  for (int i = 0; i < nItems; ++i) {
    const CNAColumn* pclPlaced = (*pTabItems)[i].pclColumn;
    if (pclPlaced == pclColumn ||
        (bSameText(pclPlaced->pszGetSourceName(), pclColumn->pszGetSourceName()) &&
         bSameText(pclPlaced->pszGetName(), pclColumn->pszGetName())))
      return 1;
  }
  CNAConnectionDescription* pclConnection = pclCommand->pclGetCnx();
  if (pclColumn->bIsMemo() && !pclConnection->bSupportOrderByMemo()) return 1;
  if (!pTabItems->Ajoute(stOrderItem{pclColumn, bAscending})) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }

  // NULLs tie with each other: a unique column orders every row only when
  // it holds none, or the condition leaves its NULL rows out.
  if (pclColumn->bIsUnique() &&
      (!pclColumn->bIsNullableOnDataBase() || !pclCommand->bColumnValuesNullSelected(pclColumn))) {
    *pbUnique = 1;
    return 1;
  }
  const CNARefArray<CNAColumn>* pTabKeys = m_pclRecord->pclGetTabUniqueComposedKey();
  for (int k = 0; k < pTabKeys->nGetNbElement(); ++k) {
    CNAColumn* pclKey = (*pTabKeys)[k];
    const CNARefArray<CNAColumn>* pTabComponents = pclKey->pclGetTabComponent();
    if (pTabComponents == nullptr || pTabComponents->nGetNbElement() == 0 ||
        pclKey->bIsNullableOnDataBase() || !pclKey->bIsComposedKeyComponent(pclColumn))
      continue;
    bool bAllPlaced = true;
    for (int c = 0; c < pTabComponents->nGetNbElement() && bAllPlaced; ++c) {
      bool bPlaced = false;
      for (int i = 0; i < pTabItems->nGetNbElement() && !bPlaced; ++i)
        bPlaced = (*pTabItems)[i].pclColumn == (*pTabComponents)[c];
      bAllPlaced = bPlaced;
    }
    if (bAllPlaced) {
      *pbUnique = 1;
      return 1;
    }
  }
  return 1;
}

int CNAStatement::_FormatORDERBYList(CNACommand* pclCommand, CNAColumn* pclColumn,
                                     int bAscending, CSQLParserInfo* pclInfo,
                                     int bFormatedNames, unsigned int nFlags) {
  CTTableau<stOrderItem> tabItems(10, 30);
  int bUnique = 0;
  CNAConnectionDescription* pclConnection = pclCommand->pclGetCnx();
  const int nOwnItems = pclInfo != nullptr ? pclInfo->nGetRubriqueClauseOrderNbr() : 0;
  // The query's own list was just written again: ours goes on after it.
  const bool bGoesOn = pclInfo != nullptr && pclColumn == nullptr && nOwnItems > 0 &&
                       (nFlags & kReadKeepQueryOrder) != 0 && !bRequeteSansCorrection();
  int nPlaced = 0;  // the own list's columns, counted as placed, not written
  if (bGoesOn) {
    const int nColumns = m_pclRecord->nGetColumnNbr();
    for (IInfoOrderBy* piOrder = pclInfo->piEnumRubriqueClauseOrder(1); piOrder != nullptr;
         piOrder = pclInfo->piEnumRubriqueClauseOrder(0)) {
      const int nIndex = piOrder->nGetIndiceRubriqueOUT();
      if (nIndex < 0 || nIndex >= nColumns) continue;
      const int nBefore = tabItems.nGetNbElement();
      if (!_bAddOrderItem(pclCommand, &tabItems, m_pclRecord->pclGetColumnNoRef(nIndex),
                          piOrder->eGetSensTri() == SENSTRI_DESCENDANT ? !bAscending : bAscending,
                          &bUnique))
        return 0;
      nPlaced += tabItems.nGetNbElement() - nBefore;
    }
  }

  if (pclColumn != nullptr) {
    const CNARefArray<CNAColumn>* pTabComponents =
        pclColumn->bIsComposedKey() ? pclColumn->pclGetTabComponent() : nullptr;
    if (pTabComponents != nullptr) {
      for (int k = 0; k < pTabComponents->nGetNbElement(); ++k) {
        // Components are numbered from 1 in the key's direction flags, as
        // the search's continuation conditions read them: the two must
        // agree for a browse to go on where it stopped.
        const int bComponentAscending =
            pclColumn->bGetDescendantComponent(k + 1) ? !bAscending : bAscending;
        if (!_bAddOrderItem(pclCommand, &tabItems, (*pTabComponents)[k], bComponentAscending,
                            &bUnique))
          return 0;
      }
    } else if (!pclColumn->bIsComposedKey()) {
      if (!_bAddOrderItem(pclCommand, &tabItems, pclColumn, bAscending, &bUnique)) return 0;
    }
  }

  const unsigned int nOption =
      bAscending ? kOptionUniqueOrderAscending : kOptionUniqueOrderDescending;
  if (!bUnique && (nFlags & kReadNoUniqueOrder) == 0 && (m_nOptions & nOption) != 0) {
    const int nOrder = m_pclRecord->nGetColumnOrderNbr();
    for (int i = 0; i < nOrder && !bUnique; ++i) {
      CNAColumn* pclOrder = m_pclRecord->pclGetColumnOrderNoRef(i);
      if (pclOrder == nullptr || pclOrder == pclColumn || pclOrder->bIsComposedKey()) continue;
      if (!_bAddOrderItem(pclCommand, &tabItems, pclOrder, bAscending, &bUnique)) return 0;
    }
  }

  // "ORDER BY" with no item after it is no statement: a memo browse item on
  // a connection that cannot sort memos, without completion, writes none.
  const int nItems = tabItems.nGetNbElement() - nPlaced;
  int nWrite = nItems;
  if (nWrite == 0) {
    if (bUnique) SetUniqueOrder(1);
    return 1;
  }
  int nMax = pclConnection->nGetOrderByMaxExpressionNbr();
  if (nMax >= 0) nMax = nMax > nOwnItems ? nMax - nOwnItems : 0;
  if (nMax >= 0 && nWrite > nMax) nWrite = nMax;
  if (nWrite == 0) return 1;

  // A LIMIT at the end of the text reads the rows in their order: the list
  // goes before it.
  CTString csLimit;
  if (pclInfo != nullptr) {
    const wchar_t* pszText = pclCommand->pszGetOriginalSQL();
    const int nLimit = CNACommand::s_nGetClauseStart(pclConnection, pszText, L"LIMIT", -1);
    // Only a LIMIT of the statement itself, not one in a sub-query.
    if (nLimit > 0 && CNACommand::s_bQueryResultsetLimited(pclConnection, pszText)) {
      csLimit.Set(pszText + nLimit);
      int nCut = nLimit;
      while (nCut > 0 && CNACommand::s_bEspaceSQL(pszText[nCut - 1])) --nCut;
      pclCommand->Tronque(static_cast<unsigned int>(nCut), -1);
    }
  }
  const unsigned int nOrderAt = pclCommand->nGetTextLength();
  if (!bGoesOn && !pclCommand->bComplete(L"\r\nORDER BY ")) return 0;
  CTString csItem;
  stOrderItem aWritten[kMaxKeysetItems];
  for (int i = 0; i < nWrite; ++i) {
    const stOrderItem& item = tabItems[nPlaced + i];
    if ((i > 0 || bGoesOn) && !pclCommand->bComplete(L",")) return 0;
    if (!_FormatItemORDERBY(pclCommand, item.pclColumn, bFormatedNames, &csItem)) return 0;
    if (!pclCommand->bComplete(csItem.pszGet())) return 0;
    int bItemAscending = item.bAscending;
    // A column of a corrected query's own ORDER BY keeps that order's
    // direction for it (a browse by it follows the query).
    if (pclInfo != nullptr && !bGoesOn && !bRequeteSansCorrection()) {
      IInfoOrderBy* piOrder = pclInfo->piGetRubriqueClauseOrder(item.pclColumn);
      if (piOrder != nullptr && piOrder->eGetSensTri() == SENSTRI_DESCENDANT)
        bItemAscending = !bItemAscending;
    }
    if (!bItemAscending && !pclCommand->bComplete(L" DESC")) return 0;
    if (i < kMaxKeysetItems) aWritten[i] = stOrderItem{item.pclColumn, bItemAscending};
  }
  if (csLimit.nTaille() > 0 &&
      (!pclCommand->bComplete(L" ") || !pclCommand->bComplete(csLimit.pszGet())))
    return 0;
  // Unique only when every item that made it so was written.
  if (bUnique && nWrite == nItems) {
    SetUniqueOrder(1);
    // On a table, with the order written last, windows can go on from the
    // keys of a row.
    if (m_bKeysetTable && pclInfo == nullptr && !bGoesOn && csLimit.nTaille() == 0)
      _KeepKeysetOrder(aWritten, nWrite, static_cast<int>(nOrderAt));
  }
  return 1;
}

int CNAStatement::_FormatItemORDERBY(CNACommand* pclCommand, CNAColumn* pclColumn,
                                     int bFormatedNames, CTString* pOut) {
  if (pclColumn == nullptr || pOut == nullptr) return 0;
  if (bFormatedNames) {
    pOut->Set(pclColumn->pszGetFormatedName());
  } else {
    int nPosition = -1;
    if (pclCommand->pclGetCnx()->bOrderByIndiceAllowed()) {
      const unsigned int nDefines = pclCommand->nGetDefineNbr();
      for (unsigned int i = 0; i < nDefines && nPosition < 0; ++i) {
        CNADefine* pclDefine = pclCommand->pclGetDefineNoRef(i);
        if (pclDefine != nullptr && pclDefine->pclGetColumnNoRef() == pclColumn)
          nPosition = static_cast<int>(i) + 1;
      }
    }
    if (nPosition > 0) {
      pOut->SetI4(nPosition);
    } else {
      // A column outside the select list (a memo not defined) is sorted
      // by its name.
      pOut->Set(pclColumn->pszGetFormatedSelectName(1));
    }
  }
  return pOut->pszGet()[0] != 0 ? 1 : 0;
}
