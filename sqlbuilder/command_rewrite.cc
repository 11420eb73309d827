// CNACommand: the clause writers of a parsed query, run by the located-
// pieces walk (command_expression.cc): a FROM table and its alias, a join
// condition, the select list (and a "*" replaced by its columns), an alias
// after AS, the items of an INSERT and the assignments of an UPDATE, the
// GROUP BY items and the ORDER BY items with their directions. Each writer
// copies the query text up to its piece, writes the piece in the dialect
// and moves the copy point past it.
//
// Choices made here, and where a plainer rewrite would go wrong:
// - A table column is written with the name by which the query knows its
//   table: its alias when it has one. MariaDB refuses a table's own name
//   once the FROM clause gave it an alias, and a table joined to itself has
//   no other way to tell its two rows apart.
// - Columns that the query does not show (a "*" stands for them, or an
//   ORDER BY item outside the select list) are not written into the select
//   list; an ORDER BY on such a computed column writes its expression, not
//   a column number that the select list does not have.
// - The direction after an ORDER BY item is found after any SQL blank (a
//   line break included), not only after spaces; a direction written where
//   the query had none goes right after the item, so that a clause that
//   follows (LIMIT) keeps its blank.
// - When the sort stops early (a unique, never-NULL item orders the rows
//   totally), the items after it are dropped, not copied as the query
//   wrote them.
// - A writer that cannot write its name (the dialect's writers refuse it)
//   fails instead of leaving the name out of the statement.
#include <cwchar>
#include <cwctype>

#include "driver/connection_description.h"
#include "driver/na_error.h"
#include "items/column_null_selection.h"
#include "kq230/data_source_description_interface.h"
#include "kq230/item_description_interface.h"
#include "kq230/sql_parser_interface.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/parsed_query_info.h"

namespace {

bool bLocated(const _stPositionSQL& st) { return !(st.nDebut == 0 && st.nFin == 0); }

// A located piece that lies in the text as a piece can: from a start of 0
// or more to an end at or after it.
bool bUsable(const _stPositionSQL& st) {
  return bLocated(st) && st.nDebut >= 0 && st.nFin >= st.nDebut;
}

// The word (upper case) at pszAt, without regard to case, ending there.
bool bWordAt(const wchar_t* pszAt, const wchar_t* pszWord) {
  size_t n = 0;
  for (; pszWord[n] != L'\0'; ++n) {
    if (pszAt[n] == L'\0' || std::towupper(static_cast<wint_t>(pszAt[n])) !=
                                 static_cast<wint_t>(pszWord[n]))
      return false;
  }
  const wchar_t c = pszAt[n];
  return c == L'\0' || c == L';' || CNACommand::s_bSeparateur(c);
}

// The text's characters from nStart to nEnd inclusive, bounded by its end.
void SetSlice(CTString* pOut, const wchar_t* pszText, unsigned int nStart, unsigned int nEnd) {
  pOut->Vide();
  if (nEnd < nStart) return;
  unsigned int n = nEnd - nStart + 1;
  for (unsigned int i = 0; i < n; ++i) {
    if (pszText[nStart + i] == L'\0') {
      n = i;
      break;
    }
  }
  pOut->Set(pszText + nStart, n);
}

}  // namespace

// ---- FROM and joins

int CNACommand::_bAddFromClause(const CNASqlElt* pclElement, unsigned int* pnCopy,
                                const wchar_t* pszText, CSQLParserInfo* pclInfo) {
  if (pclElement == nullptr || pnCopy == nullptr || pszText == nullptr || *pszText == L'\0' ||
      pclInfo == nullptr)
    return 1;
  ISQLParserInformation* piParser = pclInfo->piGetParserInformationNoRef();
  IInfoRequete* piParts = piParser != nullptr ? piParser->piGetInfoRequete() : nullptr;
  if (piParts == nullptr) return 1;
  IInfoFrom* piFrom = nullptr;
  _stPositionSQL st{};
  int nCursor = 0;
  while (IInfoFrom* pi = piParts->piEnumFrom(&nCursor)) {
    st = pi->stGetPosition();
    if (static_cast<unsigned int>(st.nDebut) == pclElement->nGetStart() &&
        static_cast<unsigned int>(st.nFin) == pclElement->nGetEnd()) {
      piFrom = pi;
      break;
    }
  }
  if (piFrom == nullptr || !bUsable(st)) return 1;
  // Without a description the table is left as the query writes it.
  INADataSourceDescription* piSource = piParser->piGetFromDataSourceDescription(piFrom);
  if (piSource == nullptr) return 1;
  int bResult = 1;
  _CopyTo(&m_clText, pnCopy, pszText, static_cast<unsigned int>(st.nDebut));
  CTString csTable;
  _FormatTableClauseFROM(pclInfo, piSource, piFrom, &csTable);
  if (csTable.nTaille() == 0) {
    bResult = 0;
  } else {
    bResult = bComplete(csTable.pszGet());
    if (*pnCopy < static_cast<unsigned int>(st.nFin) + 1)
      *pnCopy = static_cast<unsigned int>(st.nFin) + 1;
  }
  const _stPositionSQL stAlias = piFrom->stGetPositionAlias();
  if (bResult && stAlias.nDebut != 0 && bUsable(stAlias) &&
      static_cast<unsigned int>(stAlias.nDebut) >= *pnCopy) {
    CTString csAlias;
    _FormatTableAliasClauseFROM(pclInfo, piFrom, &csAlias);
    if (csAlias.nTaille() == 0) {
      bResult = 0;
    } else {
      _CopyTo(&m_clText, pnCopy, pszText, static_cast<unsigned int>(stAlias.nDebut));
      bResult = bComplete(csAlias.pszGet());
      *pnCopy = static_cast<unsigned int>(stAlias.nFin) + 1;
    }
  }
  const int nKind = m_pclConnection->nGetServerKind();
  if (bResult && (nKind != 8 || m_pclConnection->nGetServerVersionMajor() <= 9) &&
      pclInfo->eGetTypeRequete() == TYPEREQUETE_SELECT)
    bResult = bAddRecordLock();
  piSource->nExternalRelease();
  return bResult;
}

int CNACommand::_bAddJoinClause(const CNASqlElt* pclElement, unsigned int* pnCopy,
                                const wchar_t* pszText, CSQLParserInfo* pclInfo) {
  if (pclElement == nullptr || pclInfo == nullptr) return 1;
  ISQLParserInformation* piParser = pclInfo->piGetParserInformationNoRef();
  IInfoRequete* piParts = piParser != nullptr ? piParser->piGetInfoRequete() : nullptr;
  IInfoListeJointure* piJoins = piParts != nullptr ? piParts->piGetListeJointure() : nullptr;
  if (piJoins == nullptr) return 1;
  int bResult = 1;
  for (int i = 0; i < piJoins->nGetNbJointure(); ++i) {
    IExpOpExpression* piJoin = piJoins->piGetJointure(i);
    if (piJoin == nullptr) continue;
    const _stPositionSQL st = piJoin->stGetPosition();
    const bool bMatch = static_cast<unsigned int>(st.nDebut) == pclElement->nGetStart() &&
                        static_cast<unsigned int>(st.nFin) == pclElement->nGetEnd();
    if (bMatch)
      bResult = bAddTreeExpression(pclInfo, nullptr, pszText, nullptr, piJoin,
                                   CNASqlElt::SQLELT_JOIN, pnCopy, nullptr);
    piJoin->Release();
    if (bMatch) break;
  }
  piJoins->Release();
  return bResult;
}

// ---- Select list and aliases

int CNACommand::_bFormatSELECTList(unsigned int* pnCopy, const wchar_t* pszText,
                                   CSQLParserInfo* pclInfo) {
  if (pnCopy == nullptr || pszText == nullptr || pclInfo == nullptr) return 1;
  const eTYPEREQUETE eType = pclInfo->eGetTypeRequete();
  const int bWithTable = eType == TYPEREQUETE_SELECT || eType == TYPEREQUETE_SELECT_AUTRE ? 1 : 0;
  const int nColumns = pclInfo->nGetRubriqueOUTNbr();
  // By index: the digest's own cursor may be in use by a writer below.
  for (int i = 0; i < nColumns; ++i) {
    IInfoRubrique* piColumn = pclInfo->piGetRubriqueOUT(i);
    if (piColumn == nullptr) continue;
    // A column the query does not write (a "*" stands for it, or an ORDER
    // BY item outside the list) has no place in the list's text.
    const _stPositionSQL st = piColumn->stGetPosition();
    if (!bUsable(st) || static_cast<unsigned int>(st.nDebut) < *pnCopy) continue;
    if (*pnCopy < static_cast<unsigned int>(st.nDebut)) {
      if (!_bFormatAlias(pnCopy, pszText)) return 0;
      _CopyTo(&m_clText, pnCopy, pszText, static_cast<unsigned int>(st.nDebut));
    }
    if (piColumn->bCalcul()) {
      IExpOpExpression* piExpression = piColumn->piGetExpression();
      // Without its expression a computed column stays as the query writes
      // it.
      if (piExpression == nullptr) continue;
      INAItemDescription* piItem = nullptr;
      // The column is being written: its own name inside its expression is
      // the table column of that name, never the column again.
      IInfoRubrique* piOuterColumn = m_piComputedColumn;
      m_piComputedColumn = piColumn;
      const int bResult = _bExpressionToSQL(pclInfo, nullptr, pszText, nullptr, piExpression,
                                            CNASqlElt::SQLELT_SELECT_LIST, pnCopy, &m_clText,
                                            &piItem, NA_IT_EMPTY, 0);
      m_piComputedColumn = piOuterColumn;
      if (piItem != nullptr) piItem->nExternalRelease();
      piExpression->Release();
      if (!bResult) return 0;
      continue;
    }
    CTString csColumn;
    _FormatRubriqueAlias(static_cast<unsigned int>(st.nDebut), pszText, pclInfo, piColumn,
                         &csColumn, bWithTable, CNASqlElt::SQLELT_SELECT_LIST);
    if (csColumn.nTaille() == 0) return 0;
    if (!bComplete(csColumn.pszGet())) return 0;
    *pnCopy = static_cast<unsigned int>(st.nFin) + 1;
  }
  if (!_bFormatAlias(pnCopy, pszText)) return 0;

  // The select-list text belongs to the command's own query, never to a
  // sub-query.
  const bool bOwnQuery = pclInfo == m_pclParserInfo;
  const bool bSelectList = bOwnQuery && !m_clSelectList.bEstVide();
  if (bNeedToReplaceStar() && *pnCopy == 0 && s_nGetPosSuiteRequete(pszText, L"SELECT") == 0 &&
      s_bSuiteRequeteCommenceParMot(pszText + 6, L"*")) {
    const wchar_t* pszStar = std::wcschr(pszText, L'*');
    const unsigned int nStar = static_cast<unsigned int>(pszStar - pszText);
    _CopyTo(&m_clText, pnCopy, pszText, nStar);
    *pnCopy = nStar + 1;
    int nWritten = 0;
    for (int i = 0; i < nColumns; ++i) {
      IInfoRubrique* piColumn = pclInfo->piGetRubriqueOUT(i);
      if (piColumn == nullptr || !piColumn->bVisible()) continue;
      CTString csColumn;
      _FormatRubriqueAlias(0, pszText, pclInfo, piColumn, &csColumn, bWithTable,
                           CNASqlElt::SQLELT_SELECT_LIST);
      if (csColumn.nTaille() == 0) return 0;
      if (nWritten++ > 0 && !bComplete(L",")) return 0;
      if (!bComplete(csColumn.pszGet())) return 0;
    }
    if (!bSelectList) return 1;
    if (!bComplete(L",")) return 0;
  } else {
    if (!bSelectList) return 1;
    ISQLParserInformation* piParser = pclInfo->piGetParserInformationNoRef();
    const int nPlace = piParser != nullptr ? piParser->nGetFinListeSelect() : 0;
    unsigned int nInsert = static_cast<unsigned int>(nPlace > 0 ? nPlace : 0);
    if (nPlace == 1) {
      const wchar_t* pszStar = std::wcschr(pszText, L'*');
      nInsert = pszStar != nullptr ? static_cast<unsigned int>(pszStar - pszText) + 1 : 0;
    }
    _CopyTo(&m_clText, pnCopy, pszText, nInsert);
    if (!bComplete(L",")) return 0;
  }
  return bComplete(m_clSelectList.pszGetW());
}

int CNACommand::_bFormatAlias(unsigned int* pnCopy, const wchar_t* pszText) {
  if (pnCopy == nullptr || pszText == nullptr) return 1;
  const int nAs = s_nGetPosSuiteRequete(pszText + *pnCopy, L"AS");
  if (nAs <= 0) return 1;
  const unsigned int nAfter = *pnCopy + static_cast<unsigned int>(nAs) + 2;
  // AS as a word of its own ("ASC" or "ASSET" is no alias).
  const wchar_t cAfter = pszText[nAfter];
  if (!s_bEspaceSQL(cAfter) && cAfter != L'"' && cAfter != L'[' && cAfter != L'`') return 1;
  CTString csName;
  unsigned int nStart = 0, nEnd = 0;
  if (!s_bGetItemNameAndPos(&csName, &nStart, &nEnd, pszText, nAfter)) return 1;
  // A name quoted as the dialect quotes is written already.
  if (pszText[nStart] == L'`') return 1;
  CTString csAlias;
  if (!_FormatItemName(csName.pszGet(), &csAlias)) return 0;
  _CopyTo(&m_clText, pnCopy, pszText, nStart);
  if (!bComplete(csAlias.pszGet())) return 0;
  *pnCopy = nEnd + 1;
  return 1;
}

void CNACommand::_FormatRubriqueAlias(unsigned int, const wchar_t*, CSQLParserInfo* pclInfo,
                                      const IInfoRubrique* piColumn, CTString* pOut,
                                      int bWithTable, CNASqlElt::eSQLELT) {
  if (pOut == nullptr) return;
  pOut->Vide();
  if (piColumn == nullptr) return;
  // The parser's operations are not const; the column is only read.
  IInfoRubrique* pi = const_cast<IInfoRubrique*>(piColumn);
  const bool bComputed = pi->bCalcul() != 0;
  const wchar_t* pszName = bComputed ? pi->pszGetNom() : pi->pszGetNomOriginal();
  CTString csItem(pszName != nullptr ? pszName : L"");
  if (bWithTable && !bComputed) {
    // The name by which the query knows the table: its alias when it has
    // one (see the file comment).
    const wchar_t* pszTable = pi->pszGetNomTableAlias();
    if (pszTable == nullptr || *pszTable == L'\0') pszTable = pi->pszGetNomFichier();
    CTString csTable(pszTable != nullptr ? pszTable : L"");
    if (csTable.nTaille() > 0) {
      _GetOriginalTableNameAndItemName(pclInfo, &csTable, &csItem);
      _FormatTableAndItemName(pOut, csTable.pszGet(), csItem.pszGet());
      return;
    }
  }
  if (!_FormatItemName(csItem.pszGet(), pOut)) pOut->Vide();
}

// ---- INSERT and UPDATE

int CNACommand::_bFormatINSERTUPDATEList(unsigned int* pnCopy, const wchar_t* pszText,
                                         CSQLParserInfo* pclInfo) {
  if (pclInfo == nullptr) return 1;
  ISQLParserInformation* piParser = pclInfo->piGetParserInformationNoRef();
  IInfoRequete* piParts = piParser != nullptr ? piParser->piGetInfoRequete() : nullptr;
  if (piParts == nullptr) return 1;
  int bResult = 1;
  int nCursor = 0;
  if (pclInfo->eGetTypeRequete() == TYPEREQUETE_INSERT) {
    while (IInfoInsertion* piInsert = piParts->piEnumInsertion(&nCursor)) {
      IExpOpExpression* piColumn = piInsert->piGetColonne();
      IExpOpExpression* piValue = piInsert->piGetValeur();
      // The column's description types the value; its name stays as the
      // column list writes it.
      INAItemDescription* piItem = nullptr;
      if (piColumn != nullptr) {
        CTString csUnused;
        _bFormatExpressionItemName(pclInfo, nullptr, nullptr, piColumn,
                                   CNASqlElt::SQLELT_ASSIGNMENT, &csUnused, &piItem,
                                   m_nTextLength);
      }
      if (piValue != nullptr)
        bResult = _bExpressionToSQL(pclInfo, nullptr, pszText, nullptr, piValue,
                                    CNASqlElt::SQLELT_ASSIGNMENT, pnCopy, &m_clText, &piItem,
                                    NA_IT_EMPTY, 0);
      if (piColumn != nullptr) piColumn->Release();
      if (piValue != nullptr) piValue->Release();
      if (piItem != nullptr) piItem->nExternalRelease();
      if (!bResult) return 0;
    }
    return 1;
  }
  while (IInfoAffectation* piAssignment = piParts->piEnumAffectation(&nCursor)) {
    IExpOpExpression* piColumn = piAssignment->piGetColonne();
    IExpOpExpression* piValue = piAssignment->piGetValeur();
    INAItemDescription* piItem = nullptr;
    if (piColumn != nullptr) {
      bResult = _bDoExpressionColonne(pclInfo, pszText, piColumn, pnCopy, &m_clText);
      CTString csUnused;
      if (bResult)
        _bFormatExpressionItemName(pclInfo, nullptr, nullptr, piColumn,
                                   CNASqlElt::SQLELT_ASSIGNMENT, &csUnused, &piItem,
                                   m_nTextLength);
    }
    if (bResult && piValue != nullptr)
      bResult = _bExpressionToSQL(pclInfo, nullptr, pszText, nullptr, piValue,
                                  CNASqlElt::SQLELT_ASSIGNMENT, pnCopy, &m_clText, &piItem,
                                  NA_IT_EMPTY, 0);
    if (piColumn != nullptr) piColumn->Release();
    if (piValue != nullptr) piValue->Release();
    if (piItem != nullptr) piItem->nExternalRelease();
    if (!bResult) return 0;
  }
  return 1;
}

// ---- GROUP BY

int CNACommand::_bFormatGROUPBY(unsigned int* pnCopy, const wchar_t* pszText,
                                CSQLParserInfo* pclInfo) {
  if (pnCopy == nullptr || pszText == nullptr || pclInfo == nullptr) return 1;
  ISQLParserInformation* piParser = pclInfo->piGetParserInformationNoRef();
  IInfoRequete* piParts = piParser != nullptr ? piParser->piGetInfoRequete() : nullptr;
  if (piParts == nullptr) return 1;
  int nCursor = 0;
  while (IInfoGroupe* piGroup = piParts->piEnumGroupe(&nCursor)) {
    const _stPositionSQL st = piGroup->stGetPosition();
    if (!bUsable(st) || static_cast<unsigned int>(st.nDebut) < *pnCopy) continue;
    _CopyTo(&m_clText, pnCopy, pszText, static_cast<unsigned int>(st.nDebut));
    const CTString csTable(piGroup->pszGetNomFichier());
    CTString csName(piGroup->pszGetNomRubrique());
    if (csName.nTaille() == 0) csName.Set(piGroup->pszGetNomRubriqueAlias());
    IInfoRubrique* piColumn = _piGetInfoRubriqueFromAlias(piParser, csTable.pszGet(),
                                                          csName.pszGet());
    CTString csItem;
    if (piColumn != nullptr && piColumn->bCalcul() == 1) {
      if (!bFormatExpressionColonneCalculee(pclInfo, piColumn, nullptr,
                                            CNASqlElt::SQLELT_GROUPBY, &csItem, m_nTextLength))
        return 0;
    } else if (piColumn != nullptr) {
      _FormatRubriqueAlias(static_cast<unsigned int>(st.nDebut), pszText, pclInfo, piColumn,
                           &csItem, 1, CNASqlElt::SQLELT_GROUPBY);
      if (csItem.nTaille() == 0) return 0;
    } else {
      // No output column: the table as the query knows it (an alias stays,
      // a table gets its physical name) and the name.
      CTString csWritten(csTable.pszGet());
      if (csWritten.nTaille() > 0) _GetOriginalTableNameAndItemName(pclInfo, &csWritten, nullptr);
      if (!_FormatTableAndItemName(&csItem, csWritten.pszGet(), csName.pszGet())) return 0;
    }
    if (csItem.nTaille() > 0) {
      if (!bComplete(csItem.pszGet())) return 0;
      *pnCopy = static_cast<unsigned int>(st.nFin) + 1;
    }
  }
  return 1;
}

// ---- ORDER BY

namespace {

// One ORDER BY item of the parsed query pclInfo (the command's own or a
// sub-query's): its text into the statement text; *pbUniqueNotNull tells
// whether its column alone orders the rows totally.
int bAddOrderItem(CNACommand* pclCommand, CSQLParserInfo* pclInfo, const IInfoRubrique* piColumn,
                  int nIndex, const wchar_t* pszText, _stPositionSQL stItem, int bUseText,
                  int* pbUniqueNotNull) {
  if (pbUniqueNotNull != nullptr) *pbUniqueNotNull = 0;
  IInfoRubrique* pi = const_cast<IInfoRubrique*>(piColumn);
  const int nComputed = pi != nullptr ? pi->bCalcul() : -1;
  if (nComputed == 0) {
    CTString csItem;
    if (bUseText) {
      csItem.Set(pi->pszGetTexte());
    } else {
      pclCommand->_FormatRubriqueAlias(static_cast<unsigned int>(stItem.nDebut), pszText, pclInfo,
                                       pi, &csItem, 1, CNASqlElt::SQLELT_ORDERBY);
    }
    if (csItem.nTaille() == 0) return 0;
    if (!pclCommand->bComplete(csItem.pszGet())) return 0;
    if (pbUniqueNotNull != nullptr && pclInfo != nullptr) {
      int bTotal = pclInfo->bRubriqueUniqueNotNull(pi);
      if (!bTotal && pclInfo->bRubriqueUnique(pi)) {
        // A unique column whose NULL values the condition excludes.
        CColumnNullValueExcluded* pclNull = pclCommand->pclGetNullValueExcludedNoRef();
        if (pclNull != nullptr && !pclNull->bColumnValuesNullSelected(pi->pszGetNomOriginal()))
          bTotal = 1;
      }
      *pbUniqueNotNull = bTotal ? 1 : 0;
    }
    return 1;
  }
  if (nComputed == 1 || nComputed == 2) {
    if (pclCommand->pclGetCnx()->bOrderByIndiceAllowed()) return pclCommand->bCompleteWithNumber(nIndex + 1);
    return pclCommand->bComplete(pi->pszGetTexte());
  }
  // No column: the item as the query writes it.
  if (!bUsable(stItem)) return 1;
  CTString csItem;
  SetSlice(&csItem, pszText, static_cast<unsigned int>(stItem.nDebut),
           static_cast<unsigned int>(stItem.nFin));
  return pclCommand->bComplete(csItem.pszGet());
}

}  // namespace

int CNACommand::_bAddItemInORDERBY(const IInfoRubrique* piColumn, int nIndex,
                                   const wchar_t* pszText, _stPositionSQL stItem, int bUseText,
                                   int* pbUniqueNotNull) {
  return bAddOrderItem(this, m_pclParserInfo, piColumn, nIndex, pszText, stItem, bUseText,
                       pbUniqueNotNull);
}

int CNACommand::_bFormatORDERBY(CSQLParserInfo* pclInfo, unsigned int* pnCopy,
                                const wchar_t* pszText, int bRewrite, int bKeepDirection,
                                int bUseText, int* pbStop) {
  if (pnCopy == nullptr || pszText == nullptr) return 1;
  const unsigned int nLength = static_cast<unsigned int>(std::wcslen(pszText));
  if (*pnCopy > nLength) *pnCopy = nLength;
  if (pclInfo == nullptr) {
    const int bResult = *pnCopy < nLength ? bComplete(pszText + *pnCopy, nLength - *pnCopy) : 1;
    *pnCopy = nLength;
    return bResult;
  }
  ISQLParserInformation* piParser = pclInfo->piGetParserInformationNoRef();
  const int nOrder = piParser != nullptr ? piParser->nGetDebutOrderBy() : 0;
  if (!bRewrite) {
    // The sort is dropped: from the ORDER keyword the parser located on.
    if (nOrder <= 0 || static_cast<unsigned int>(nOrder) > nLength) return 1;
    _CopyTo(&m_clText, pnCopy, pszText, static_cast<unsigned int>(nOrder));
    *pnCopy = nLength;
    return 1;
  }
  IInfoRequete* piParts = piParser != nullptr ? piParser->piGetInfoRequete() : nullptr;
  const int nMax = m_pclConnection->nGetOrderByMaxExpressionNbr();
  int bResult = 1;
  int bStop = 0;
  bool bItemsLeft = false;
  if (piParts != nullptr && nMax >= 1) {
    int nCursor = 0;
    int nWritten = 0;
    IInfoOrderBy* piOrder = piParts->piEnumOrderBy(&nCursor);
    while (piOrder != nullptr) {
      IInfoOrderBy* piNext = piParts->piEnumOrderBy(&nCursor);
      const _stPositionSQL st = piOrder->stGetPosition();
      if (!bUsable(st) || static_cast<unsigned int>(st.nDebut) < *pnCopy ||
          static_cast<unsigned int>(st.nFin) >= nLength) {
        // An item that is not where the text has it stays as written.
        piOrder = piNext;
        continue;
      }
      _CopyTo(&m_clText, pnCopy, pszText, static_cast<unsigned int>(st.nDebut));
      const int nIndex = piOrder->nGetIndiceRubriqueOUT();
      IInfoRubrique* piColumn = pclInfo->piGetRubriqueOUT(nIndex);
      int bUnique = 0;
      IExpOpExpression* piHidden = piColumn != nullptr && piColumn->bCalcul() &&
                                           !piColumn->bVisible()
                                       ? piColumn->piGetExpression()
                                       : nullptr;
      if (piHidden != nullptr) {
        // A computed column the select list does not show: its number would
        // name no column; its expression is written where it stands.
        INAItemDescription* piItem = nullptr;
        bResult = _bExpressionToSQL(pclInfo, nullptr, pszText, nullptr, piHidden,
                                    CNASqlElt::SQLELT_ORDERBY, pnCopy, &m_clText, &piItem,
                                    NA_IT_EMPTY, 0);
        if (piItem != nullptr) piItem->nExternalRelease();
        piHidden->Release();
        _CopyTo(&m_clText, pnCopy, pszText, static_cast<unsigned int>(st.nFin) + 1);
      } else {
        bResult = bAddOrderItem(this, pclInfo, piColumn, nIndex, pszText, st, bUseText, &bUnique);
      }
      if (!bResult) break;
      *pnCopy = static_cast<unsigned int>(st.nFin) + 1;
      // The direction, after any blank.
      unsigned int n = *pnCopy;
      while (n < nLength && s_bEspaceSQL(pszText[n])) ++n;
      if (bWordAt(pszText + n, L"ASC")) {
        if (bKeepDirection) {
          _CopyTo(&m_clText, pnCopy, pszText, n + 3);
        } else {
          bResult = bComplete(L" DESC");
          *pnCopy = n + 3;
        }
      } else if (bWordAt(pszText + n, L"DESC")) {
        if (bKeepDirection) {
          _CopyTo(&m_clText, pnCopy, pszText, n + 4);
        } else {
          bResult = bComplete(L" ASC");
          *pnCopy = n + 4;
        }
      } else if (n >= nLength || pszText[n] == L',' || piNext == nullptr) {
        // No direction: ascending. The blanks stay for what follows.
        if (!bKeepDirection) bResult = bComplete(L" DESC");
      }
      ++nWritten;
      if (!bResult) break;
      if (bUnique) {
        bStop = 1;
        bItemsLeft = piNext != nullptr;
        break;
      }
      if (nWritten >= nMax) {
        bItemsLeft = piNext != nullptr;
        break;
      }
      piOrder = piNext;
    }
  }
  if (bResult && bItemsLeft && piParser != nullptr) {
    // The items after the last one written are not part of the sort.
    const int nEnd = piParser->nGetFinClauseOrderBy();
    if (nEnd >= 0 && static_cast<unsigned int>(nEnd) < nLength &&
        *pnCopy < static_cast<unsigned int>(nEnd) + 1)
      *pnCopy = static_cast<unsigned int>(nEnd) + 1;
  }
  if (pbStop != nullptr) *pbStop = bResult ? bStop : 0;
  return bResult;
}
