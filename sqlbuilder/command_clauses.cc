// CNACommand: clause location, row limits on the formatted text, the tail and
// the clause positions of a parsed query, names through the connection's
// dialect, and whether a text can reach the server in the connection's code
// page (names and statement texts share that one test). The text scanning
// itself is CNAClauseLocation's (sqlbuilder/clause_location.h); the
// command's statics answer through it.
#include <cwchar>

#include "driver/connection_description.h"
#include "driver/na_error.h"
#include "kq230/data_source_description_interface.h"
#include "kq230/item_description_interface.h"
#include "kq230/sql_parser_interface.h"
#include "core/codepage_conversion.h"
#include "core/locale_compare.h"
#include "sqlbuilder/clause_location.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/parsed_query_info.h"

namespace {

// The place that raises the command's name errors.
constexpr int kNAFileCommandClauses = 13;
constexpr int kSiteEmptyName = 1;
constexpr int kSiteNameCodePage = 2;
constexpr int kSiteOrderItem = 3;
constexpr unsigned int kErrBadValue = 44;

// The text's length, or -1 without text.
int nTextLength(const wchar_t* pszText) {
  return pszText != nullptr ? static_cast<int>(std::wcslen(pszText)) : -1;
}

// A located clause of a parsed query.
struct Clause {
  CNASqlElt::eSQLELT eKind;
  bool bPresent;
  int nStart;
  int nEnd;
};

}  // namespace

// ---- Code pages

int CNACommand::s_bTextFitsCodePage(const wchar_t* pszText, int nLength, int nCodePage,
                                    unsigned int* pnRefused) {
  if (pnRefused != nullptr) *pnRefused = 0;
  if (pszText == nullptr || nLength <= 0) return 1;
  auto refuse = [pnRefused](unsigned int c) {
    if (pnRefused != nullptr) *pnRefused = c;
    return 0;
  };
  // A surrogate or a value past U+10FFFF is no character in any code page.
  bool bAscii = true;
  for (int i = 0; i < nLength; ++i) {
    const auto c = static_cast<unsigned int>(pszText[i]);
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return refuse(c);
    if (c >= 0x80) bAscii = false;
  }
  // Every client character set of the server holds ASCII as itself; wide,
  // UTF-8 and not-yet-known code pages take any Unicode scalar value.
  if (bAscii || nCodePage < 0 || nCodePage == 65001) return 1;
  const auto nPage = static_cast<unsigned int>(nCodePage);
  int bUsedDefault = 0;
  if (WideCharToMultiByte(nPage, 0, pszText, nLength, nullptr, 0, nullptr, &bUsedDefault) > 0 &&
      !bUsedDefault)
    return 1;
  // Which character: asked one by one, only on this road.
  for (int i = 0; i < nLength; ++i) {
    const auto c = static_cast<unsigned int>(pszText[i]);
    if (c < 0x80) continue;
    bUsedDefault = 0;
    if (WideCharToMultiByte(nPage, 0, pszText + i, 1, nullptr, 0, nullptr, &bUsedDefault) <= 0 ||
        bUsedDefault)
      return refuse(c);
  }
  // The code page refused the text as a whole: its first non-ASCII character
  // stands for it.
  for (int i = 0; i < nLength; ++i) {
    if (static_cast<unsigned int>(pszText[i]) >= 0x80)
      return refuse(static_cast<unsigned int>(pszText[i]));
  }
  return 0;
}

// ---- Text scanning (CNAClauseLocation's)

int CNACommand::s_bEspaceSQL(wchar_t c) { return CNAClauseLocation::s_bEspaceSQL(c) ? 1 : 0; }
int CNACommand::s_bSeparateur(wchar_t c) { return CNAClauseLocation::s_bSeparateur(c) ? 1 : 0; }
int CNACommand::s_nGetClauseStart(CNAConnectionDescription* pclConnection,
                                  const wchar_t* pszText, const wchar_t* pszKeyword,
                                  int nStart) {
  return CNAClauseLocation::s_nGetClauseStart(pclConnection, pszText, pszKeyword, nStart);
}
int CNACommand::s_bQueryResultsetLimited(CNAConnectionDescription* pclConnection,
                                         const wchar_t* pszText) {
  return CNAClauseLocation::s_bQueryResultsetLimited(pclConnection, pszText) ? 1 : 0;
}
int CNACommand::s_bIsQuerySet(const wchar_t* pszText) {
  return CNAClauseLocation::s_bIsQuerySet(pszText) ? 1 : 0;
}
int CNACommand::s_bRequeteTerminePar(const wchar_t* pszText, const wchar_t* pszSuffix) {
  return CNAClauseLocation::s_bRequeteTerminePar(pszText, pszSuffix) ? 1 : 0;
}
int CNACommand::s_nGetPosSuiteRequete(const wchar_t* pszText, const wchar_t* pszWord) {
  return CNAClauseLocation::s_nGetPosSuiteRequete(pszText, pszWord);
}
int CNACommand::s_bSuiteRequeteCommencePar(const wchar_t* pszText, const wchar_t* pszWord) {
  return CNAClauseLocation::s_bSuiteRequeteCommencePar(pszText, pszWord) ? 1 : 0;
}
int CNACommand::s_bSuiteRequeteCommenceParMot(const wchar_t* pszText, const wchar_t* pszWord) {
  return CNAClauseLocation::s_bSuiteRequeteCommenceParMot(pszText, pszWord) ? 1 : 0;
}
int CNACommand::s_bGetItemNameAndPos(CTString* pName, unsigned int* pnStart, unsigned int* pnEnd,
                                     const wchar_t* pszText, unsigned int nPosition) {
  return CNAClauseLocation::s_bGetItemNameAndPos(pName, pnStart, pnEnd, pszText, nPosition) ? 1
                                                                                            : 0;
}

// ---- Row limits on the formatted text

void CNACommand::_RemplaceTopParLimit() {
  if (m_bQueryRewrite) return;
  // Positions are wide characters: the rewriting works on the wide form,
  // which then replaces the formatted text (as Insert does).
  CTString csText(m_clFormated.pszGetW());
  long long llLimit = m_llRowLimit;
  if (!CNAClauseLocation::s_bRemplaceTopParLimit(m_pclConnection, &csText, &llLimit,
                                                 m_llRowOffset))
    return;
  m_llRowLimit = llLimit;
  m_clFormated.Vide();
  m_clFormated.Add(csText.pszGet());
}

void CNACommand::_RemplaceLimitParTop() {
  if (m_bQueryRewrite) return;
  CTString csText(m_clFormated.pszGetW());
  if (!CNAClauseLocation::s_bRemplaceLimitParTop(m_pclConnection, &csText)) return;
  m_clFormated.Vide();
  m_clFormated.Add(csText.pszGet());
}

// ---- Parsed queries

int CNACommand::bFormatEndOfQuery() {
  if (m_pclParserInfo == nullptr || m_bQueryRewrite) return 1;
  ISQLParserInformation* piInfo = m_pclParserInfo->piGetParserInformationNoRef();
  if (piInfo == nullptr) return 1;
  // The clause ends in their fixed order: ORDER BY, HAVING, GROUP BY, WHERE;
  // the first one the query has is where its tail begins.
  const int nEnds[4] = {piInfo->nGetFinClauseOrderBy(), piInfo->nGetFinClauseHaving(),
                        piInfo->nGetFinClauseGroupBy(), piInfo->nGetFinClauseWhere()};
  int nEnd = -1;
  for (int n : nEnds) {
    if (n != -1) {
      nEnd = n;
      break;
    }
  }
  const wchar_t* pszQuery = m_pclParserInfo->pszGetRequete();
  const int nLength = nTextLength(pszQuery);
  // A position past the text (a parser out of step with its text) copies
  // nothing rather than reading past it.
  if (nEnd > 0 && nEnd < nLength - 1) bComplete(pszQuery + nEnd + 1);
  return 1;
}

int CNACommand::bFormatORDERBY(int bFormatedNames, int bAscending) {
  if (m_pclParserInfo == nullptr || m_pclParserInfo->nGetRubriqueClauseOrderNbr() == 0) return 1;
  const wchar_t* pszQuery = m_pclParserInfo->pszGetRequete();
  const int nLength = nTextLength(pszQuery);
  if (!bComplete(L"\r\nORDER BY ")) return 0;
  CTString csItem;
  int nWritten = 0;
  for (IInfoOrderBy* piOrder = m_pclParserInfo->piEnumRubriqueClauseOrder(1); piOrder != nullptr;
       piOrder = m_pclParserInfo->piEnumRubriqueClauseOrder(0)) {
    IInfoRubrique* piColumn =
        bFormatedNames ? m_pclParserInfo->piGetRubriqueOUT(piOrder->nGetIndiceRubriqueOUT())
                       : nullptr;
    if (piColumn != nullptr) {
      if (!_FormatItemName(piColumn->pszGetNom(), &csItem)) return 0;
    } else {
      // An item that names no output column (a hidden one, a number past the
      // list) is written as the query wrote it.
      const _stPositionSQL st = piOrder->stGetPosition();
      if (st.nDebut < 0 || st.nFin < st.nDebut || st.nFin >= nLength) {
        CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kNAFileCommandClauses, kSiteOrderItem,
                           m_pclConnection, nullptr, nullptr, kErrBadValue);
        if (m_pclError != nullptr)
          m_pclError->AddDebugMessageNoFormat(L"ORDER BY item outside the query's text");
        return 0;
      }
      csItem.Set(pszQuery + st.nDebut, static_cast<unsigned int>(st.nFin - st.nDebut + 1));
    }
    if (nWritten > 0 && !bComplete(L",")) return 0;
    if (!bComplete(csItem.pszGet())) return 0;
    const bool bDescending = piOrder->eGetSensTri() == SENSTRI_DESCENDANT;
    if (bDescending == (bAscending != 0) && !bComplete(L" DESC")) return 0;
    ++nWritten;
  }
  return 1;
}

int CNACommand::_bGetClausePos(unsigned int* pnStart, unsigned int* pnEnd, CSQLParserInfo* pclInfo,
                               CNASqlElt::eSQLELT eKind) {
  *pnStart = 0;
  *pnEnd = 0;
  if (pclInfo == nullptr) return 1;
  ISQLParserInformation* piInfo = pclInfo->piGetParserInformationNoRef();
  const wchar_t* pszQuery = pclInfo->pszGetRequete();
  const int nLength = nTextLength(pszQuery);
  if (piInfo == nullptr || nLength <= 0) {
    *pnStart = *pnEnd = static_cast<unsigned int>(nLength > 0 ? nLength : 0);
    return 1;
  }
  // A position the parser gives outside the text makes its clause absent:
  // no place is ever computed from it.
  auto bInText = [nLength](int n) { return n > 0 && n < nLength; };
  IInfoRequete* piParts = piInfo->piGetInfoRequete();

  Clause clauses[5] = {
      {CNASqlElt::SQLELT_FROM, false, 0, 0},    {CNASqlElt::SQLELT_WHERE, false, 0, 0},
      {CNASqlElt::SQLELT_GROUPBY, false, 0, 0}, {CNASqlElt::SQLELT_HAVING, false, 0, 0},
      {CNASqlElt::SQLELT_ORDERBY, false, 0, 0},
  };
  // FROM: from the FROM keyword before the first table to the last table's
  // end. The parts are walked with a cursor of our own: the digest's
  // enumerators keep one cursor that a caller may be using.
  if (piParts != nullptr && pclInfo->nGetFichierFromNbr() > 0) {
    int nCursor = 0;
    int nFirst = -1, nLast = -1;
    while (IInfoFrom* piFrom = piParts->piEnumFrom(&nCursor)) {
      const _stPositionSQL st = piFrom->stGetPosition();
      if (nFirst == -1) nFirst = st.nDebut;
      nLast = st.nFin;
    }
    const int nKeyword =
        nFirst > 0 ? s_nGetClauseStart(m_pclConnection, pszQuery, L"FROM", nFirst - 1) : -1;
    if (bInText(nKeyword) && nLast >= nKeyword && nLast < nLength)
      clauses[0] = {CNASqlElt::SQLELT_FROM, true, nKeyword, nLast};
  }
  // WHERE and HAVING: as the parser gives them.
  const int nWhere = piInfo->nGetDebutWhere();
  if (bInText(nWhere)) {
    int nEnd = piInfo->nGetFinWhere();
    if (nEnd < nWhere || nEnd >= nLength) nEnd = nLength - 1;
    clauses[1] = {CNASqlElt::SQLELT_WHERE, true, nWhere, nEnd};
  }
  // GROUP BY: from the GROUP keyword before the first item to the last
  // item's end (a reduced digest keeps no GROUP BY).
  if (piParts != nullptr && pclInfo->nGetRubriqueClauseGroupeNbr() > 0) {
    int nCursor = 0;
    int nFirst = -1, nLast = -1;
    while (IInfoGroupe* piGroup = piParts->piEnumGroupe(&nCursor)) {
      const _stPositionSQL st = piGroup->stGetPosition();
      if (nFirst == -1) nFirst = st.nDebut;
      nLast = st.nFin;
    }
    const int nKeyword =
        nFirst > 0 ? s_nGetClauseStart(m_pclConnection, pszQuery, L"GROUP", nFirst - 1) : -1;
    if (bInText(nKeyword) && nLast >= nKeyword && nLast < nLength)
      clauses[2] = {CNASqlElt::SQLELT_GROUPBY, true, nKeyword, nLast};
  }
  const int nHaving = piInfo->nGetDebutHaving();
  if (bInText(nHaving)) {
    int nEnd = piInfo->nGetFinHaving();
    if (nEnd < nHaving || nEnd >= nLength) nEnd = nLength - 1;
    clauses[3] = {CNASqlElt::SQLELT_HAVING, true, nHaving, nEnd};
  }
  const int nOrder = piInfo->nGetDebutOrderBy();
  if (bInText(nOrder)) clauses[4] = {CNASqlElt::SQLELT_ORDERBY, true, nOrder, nLength};

  for (const Clause& clause : clauses) {
    if (!clause.bPresent || clause.eKind < eKind) continue;
    if (eKind < clause.eKind) {
      // The asked clause would end just before this one.
      *pnStart = *pnEnd = static_cast<unsigned int>(clause.nStart - 1);
    } else {
      *pnStart = static_cast<unsigned int>(clause.nStart);
      *pnEnd = static_cast<unsigned int>(clause.nEnd);
    }
    return 1;
  }
  *pnStart = *pnEnd = static_cast<unsigned int>(nLength);
  return 1;
}

int CNACommand::_nGetClauseStart(CSQLParserInfo* pclInfo, CNASqlElt::eSQLELT eKind) {
  unsigned int nStart = 0, nEnd = 0;
  _bGetClausePos(&nStart, &nEnd, pclInfo, eKind);
  return static_cast<int>(nStart);
}

int CNACommand::_nGetClauseStop(CSQLParserInfo* pclInfo, CNASqlElt::eSQLELT eKind) {
  unsigned int nStart = 0, nEnd = 0;
  _bGetClausePos(&nStart, &nEnd, pclInfo, eKind);
  return static_cast<int>(nEnd);
}

// ---- Names through the dialect

namespace {

// An empty name, or one the connection's code page cannot carry, is refused
// with user error 44 and a debug line naming it: sent as it is it would make
// a statement on another object (or on none).
int bCheckName(CNAError* pclError, CNAConnectionDescription* pclConnection, const wchar_t* pszName,
               const wchar_t* pszWhat) {
  if (pszName == nullptr || *pszName == L'\0') {
    CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kNAFileCommandClauses, kSiteEmptyName,
                       pclConnection, nullptr, nullptr, kErrBadValue);
    if (pclError != nullptr) {
      CTString csDebug(L"empty ", pszWhat, L" name");
      pclError->AddDebugMessageNoFormat(csDebug.pszGet());
    }
    return 0;
  }
  if (!CNACommand::s_bTextFitsCodePage(pszName, static_cast<int>(std::wcslen(pszName)),
                                       pclConnection->nGetConnectionCodePage(), nullptr)) {
    CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kNAFileCommandClauses, kSiteNameCodePage,
                       pclConnection, nullptr, nullptr, kErrBadValue);
    if (pclError != nullptr) {
      CTString csDebug(pszWhat, L" name the connection's code page cannot hold: <", pszName);
      csDebug.Add(L">");
      pclError->AddDebugMessageNoFormat(csDebug.pszGet());
    }
    return 0;
  }
  return 1;
}

}  // namespace

int CNACommand::_FormatTableName(const wchar_t* pszName, CTString* pOut) {
  if (!bCheckName(m_pclError, m_pclConnection, pszName, L"table")) return 0;
  return m_pclConnection->bFormatTableName(m_pclError, pszName, pOut);
}

int CNACommand::_FormatItemName(const wchar_t* pszName, CTString* pOut) {
  if (!bCheckName(m_pclError, m_pclConnection, pszName, L"item")) return 0;
  return m_pclConnection->bFormatItemName(m_pclError, pszName, pOut);
}

void CNACommand::_FormatTableClauseFROM(CSQLParserInfo* pclInfo,
                                        INADataSourceDescription* piSource,
                                        const IInfoFrom* piFrom, CTString* pOut) {
  if (pclInfo == nullptr || piFrom == nullptr) return;
  // The parser's operations are not const; the FROM table is only read.
  IInfoFrom* piTable = const_cast<IInfoFrom*>(piFrom);
  CTString csName;
  const wchar_t* pszPhysical = pclInfo->pszGetPhysicalName(piTable->pszGetNomTable());
  if (pszPhysical != nullptr && *pszPhysical != L'\0') {
    csName.Set(pszPhysical);
  } else if (piSource != nullptr && piSource->pszGetDBTableName() != nullptr) {
    csName.Set(piSource->pszGetDBTableName());
  }
  _FormatTableName(csName.pszGet(), pOut);
}

void CNACommand::_FormatTableAliasClauseFROM(CSQLParserInfo*, const IInfoFrom* piFrom,
                                             CTString* pOut) {
  if (piFrom == nullptr) return;
  IInfoFrom* piTable = const_cast<IInfoFrom*>(piFrom);
  CTString csAlias(piTable->pszGetAlias());
  _FormatTableName(csAlias.pszGet(), pOut);
}

void CNACommand::_GetOriginalTableNameAndItemName(CSQLParserInfo* pclInfo, CTString* pTable,
                                                  CTString* pItem) {
  if (pclInfo == nullptr || pTable == nullptr) return;
  INADataSourceDescription* piSource = nullptr;
  // Copied first: the physical name answered below lives in the digest.
  const CTString csTable(pTable->pszGet());
  if (!pclInfo->bIsTableAlias(csTable.pszGet(), &piSource)) {
    const wchar_t* pszPhysical = pclInfo->pszGetPhysicalName(csTable.pszGet());
    if (pszPhysical != nullptr && *pszPhysical != L'\0') {
      pTable->Set(pszPhysical);
    } else if (piSource != nullptr && piSource->pszGetDBTableName() != nullptr) {
      pTable->Set(piSource->pszGetDBTableName());
    }
  }
  if (piSource != nullptr && pItem != nullptr && pItem->nTaille() > 0) {
    if (INAItemDescription* piItem = piSource->piNAGetItem(pItem->pszGet())) {
      pItem->Set(piItem->pszGetName());
      piItem->nExternalRelease();
    }
  }
  if (piSource != nullptr) piSource->nExternalRelease();
}

void CNACommand::_GetFormatedOriginalTableNameAndItemName(CSQLParserInfo* pclInfo,
                                                          CTString* pTable, CTString* pItem) {
  _GetOriginalTableNameAndItemName(pclInfo, pTable, pItem);
  if (pTable != nullptr) {
    const CTString csTable(pTable->pszGet());
    _FormatTableName(csTable.pszGet(), pTable);
  }
  if (pItem != nullptr) {
    const CTString csItem(pItem->pszGet());
    _FormatItemName(csItem.pszGet(), pItem);
  }
}

INAItemDescription* CNACommand::_pclGetOriginalItemDesc(CSQLParserInfo* pclInfo,
                                                        const wchar_t* pszAlias,
                                                        const wchar_t* pszItem) {
  if (pclInfo == nullptr || pszItem == nullptr) return nullptr;
  INADataSourceDescription* piSource = nullptr;
  pclInfo->bIsTableAlias(pszAlias != nullptr ? pszAlias : L"", &piSource);
  if (piSource == nullptr) return nullptr;
  INAItemDescription* piItem = piSource->piNAGetItem(pszItem);
  piSource->nExternalRelease();
  return piItem;
}

IInfoRubrique* CNACommand::_piGetInfoRubriqueFromAlias(ISQLParserInformation* piParser,
                                                       const wchar_t* pszTable,
                                                       const wchar_t* pszName) {
  if (piParser == nullptr || pszName == nullptr) return nullptr;
  IInfoRequete* piParts = piParser->piGetInfoRequete();
  if (piParts == nullptr) return nullptr;
  const bool bWithTable = pszTable != nullptr && *pszTable != L'\0';
  // The parser may raise an exception of any type from the columns' table
  // names: no such exception leaves the driver.
  try {
    int nCursor = 0;
    while (IInfoRubrique* piColumn = piParts->piEnumRubrique(&nCursor)) {
      if (bWithTable) {
        if (piColumn->bCalcul()) continue;
        const wchar_t* pszFile = piColumn->pszGetNomFichier();
        const wchar_t* pszAlias = piColumn->pszGetNomTableAlias();
        const bool bTable =
            (pszFile != nullptr && STR_nCompareW(pszFile, pszTable, 3) == 0) ||
            (pszAlias != nullptr && STR_nCompareW(pszAlias, pszTable, 3) == 0);
        if (!bTable) continue;
      }
      const wchar_t* pszColumn = piColumn->pszGetNom();
      if (pszColumn != nullptr && STR_nCompareW(pszColumn, pszName, 3) == 0) return piColumn;
    }
  } catch (...) {
    return nullptr;
  }
  return nullptr;
}
