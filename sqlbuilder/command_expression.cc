// CNACommand: a parsed query written again for the server. The located-
// pieces walk (bFormatCondition, bFormatConditionReq) sorts the pieces the
// parser located and copies the query text from piece to piece, handing each
// piece to its clause writer (command_rewrite.cc) or to the expression walk
// of this file; the expression walk copies a condition from the query text
// and hands its operands to the operand writers
// (command_expression_operands.cc). Also here: the tokens of a query the
// parser did not split (_bAddClause), another command's condition merged
// into WHERE, computed output columns through auxiliary commands, and the
// function names of the dialects of other server kinds.
//
// The copy point (*pnCopy) is the index up to which the query text has been
// dealt with; it only moves forward. A writer copies the text up to its
// piece, writes the piece and moves the copy point past it, so that
// operators and punctuation always come from the query text itself and
// nothing is written twice.
//
// Choices made here, and where a plainer rewrite would go wrong:
// - A computed column is refused (user error 32) when it is already being
//   written anywhere in the chain of commands that write computed columns
//   for one another (m_piComputedColumn of this command and of the commands
//   it writes for, through m_pclComputedChain): a column that names itself,
//   or A naming B naming A, would otherwise recurse without end. Each
//   command of the chain writes one column; a nested column gets an
//   auxiliary command of its own.
// - An auxiliary command binds literals only when the command it writes for
//   does: the parameters of a command that keeps its literals in its text
//   would be lost with its text.
// - A computed column's text that could not be written completely is never
//   handed out: the caller gets an empty text and the failure.
// - _bAddClause merges the name references and the parameter markers by
//   position: each token is replaced once, at its own place, whatever its
//   neighbours (a marker before the first reference, a token at the very
//   start of the text).
// - A sub-query keeps its own ORDER BY, written again with its directions
//   (a LIMIT of the sub-query depends on it), and the walk of a sub-query
//   never moves the copy point past the sub-query's end: the text after it
//   is kept.
// - A concatenation written "a || b" reaches MariaDB as CONCAT(a, b): in
//   MariaDB's default sql_mode "||" is a logical OR.
// - The ORDER BY clause dropped at the end of a rewritten query is the one
//   the parser located, never a search for the words in the text (which
//   misses "Order By" or a line break between the words and may stop inside
//   a literal or a sub-query).
#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <initializer_list>
#include <new>
#include <vector>

#include "core/mixed_width_concat.h"
#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/convert_variant.h"
#include "kq230/item_description_interface.h"
#include "kq230/sql_parser_interface.h"
#include "kq230/vm_values.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/parameter.h"
#include "sqlbuilder/parsed_query_info.h"
#include "values/any.h"

namespace {

constexpr int kNAFileCommand = 10;
constexpr int kSiteInexpressible = 7;
constexpr int kSiteComputedCycle = 40;
constexpr int kSiteNoAuxiliary = 41;
constexpr int kSiteWalkNoMemory = 42;
constexpr int kSiteTokenOutside = 43;
constexpr int kSiteNotLocated = 44;
constexpr int kSiteEscapeClause = 45;
constexpr unsigned int kErrNoMemory = 12;
constexpr unsigned int kErrComputedColumn = 32;
constexpr unsigned int kErrBadValue = 44;
constexpr unsigned int kErrInexpressible = 48;

constexpr int kOpNot = 1;
constexpr int kOpParentheses = 3;
constexpr int kOpNotLike = 21;
constexpr int kOpLike = 32;
constexpr int kOpColumn = 47;
constexpr int kOpLiteral = 48;
constexpr int kOpSubQuery = 58;
constexpr int kOpInexpressible = 73;
constexpr int kOpConcat = 88;

const eOPEXPRESSION kNoOperator = static_cast<eOPEXPRESSION>(-1);

bool bLocated(const _stPositionSQL& st) { return !(st.nDebut == 0 && st.nFin == 0); }

// Whether the element of a concatenation is the operator "||" (not the
// function CONCAT).
bool bPipesAt(const wchar_t* pszText, const _stPositionSQL& st) {
  return pszText != nullptr && bLocated(st) && st.nDebut >= 0 && st.nFin == st.nDebut + 1 &&
         pszText[st.nDebut] == L'|' && pszText[st.nDebut + 1] == L'|';
}

// The first "||" of pszText in [nFrom, nTo), or -1. The stretch between two
// operands holds blanks and the operator only (literals are operands).
int nFindPipes(const wchar_t* pszText, unsigned int nFrom, unsigned int nTo) {
  for (unsigned int i = nFrom; i + 1 < nTo && pszText[i] != 0; ++i)
    if (pszText[i] == L'|' && pszText[i + 1] == L'|') return static_cast<int>(i);
  return -1;
}

// The start of the one-character literal of a LIKE's own ESCAPE clause
// when the clause stands at nFrom in pszText (blanks before it allowed) and
// its character is a backslash, written '\' as the query writes it; -1
// otherwise.
int nBackslashEscapeLiteral(const wchar_t* pszText, unsigned int nFrom, unsigned int nEnd) {
  unsigned int i = nFrom;
  while (i < nEnd && CNACommand::s_bEspaceSQL(pszText[i])) ++i;
  static const wchar_t kWord[] = L"ESCAPE";
  for (unsigned int k = 0; k < 6; ++k, ++i)
    if (i >= nEnd || static_cast<wchar_t>(std::towupper(pszText[i])) != kWord[k]) return -1;
  while (i < nEnd && CNACommand::s_bEspaceSQL(pszText[i])) ++i;
  if (i + 2 >= nEnd || pszText[i] != L'\'' || pszText[i + 1] != L'\\' || pszText[i + 2] != L'\'')
    return -1;
  return static_cast<int>(i);
}

// A located piece of the query: what writes it and where it stands.
struct Piece {
  CNASqlElt::eSQLELT eKind;
  unsigned int nStart;
  unsigned int nEnd;
};

// A position the parser gives as an unsigned text index; a negative one
// (none) becomes the largest, which sorts last and copies nothing.
unsigned int nTextIndex(int32_t n) { return static_cast<unsigned int>(n); }

void ReleaseItem(INAItemDescription** ppiItem) {
  if (*ppiItem != nullptr) (*ppiItem)->nExternalRelease();
  *ppiItem = nullptr;
}

void RaiseDebug(CNAError* pclError, CNAConnectionDescription* pclConnection, int nSite,
                unsigned int nCode, const wchar_t* pszDebug) {
  CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kNAFileCommand, nSite, pclConnection, nullptr,
                     nullptr, nCode);
  if (pclError != nullptr && pszDebug != nullptr) pclError->AddDebugMessageNoFormat(pszDebug);
}

// An auxiliary command of the driver for the same error object and
// connection, with one reference (the caller's); null, with user error 12,
// when the driver gives none.
CNACommand* pclNewAuxiliary(CNAError* pclError, CNAConnectionDescription* pclConnection) {
  CNACommand* pclAuxiliary = nullptr;
  if (CNADriver::s_pclDriver != nullptr && pclConnection != nullptr)
    pclAuxiliary =
        static_cast<CNACommand*>(CNADriver::s_pclDriver->pclAllocCommand(pclError, pclConnection));
  if (pclAuxiliary == nullptr) {
    CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kNAFileCommand, kSiteNoAuxiliary,
                       pclConnection, nullptr, nullptr, kErrNoMemory);
    return nullptr;
  }
  pclAuxiliary->AddRef();
  return pclAuxiliary;
}

// A computed column written by an auxiliary command into *pOut. With bBind, its
// literals are parameters, handed to pclTarget moved by nBase (the length
// the target's text has where *pOut will go). pclChain: the command the
// auxiliary command writes for (null: none). *pOut is empty after a
// failure.
int bComputedThroughAuxiliary(CNACommand* pclTarget, const CNACommand* pclChain,
                              CNAError* pclError, CNAConnectionDescription* pclConnection,
                              CSQLParserInfo* pclInfo, IInfoRubrique* piColumn,
                              IExpOpExpression* piParent, CNASqlElt::eSQLELT eKind,
                              CTString* pOut, unsigned int nBase, int bBind) {
  pOut->Vide();
  CNACommand* pclAuxiliary = pclNewAuxiliary(pclError, pclConnection);
  if (pclAuxiliary == nullptr) return 0;
  pclAuxiliary->_SetComputedChainParent(pclChain);
  pclAuxiliary->_SetLiteralBinding(bBind);
  int bResult = pclAuxiliary->_bFormatExpressionColonneCalculee(pclInfo, piColumn, piParent, eKind);
  if (bResult) {
    pOut->Set(pclAuxiliary->pszGetOriginalSQL());
    if (bBind && pclTarget != nullptr) {
      for (unsigned int i = 0; i < pclAuxiliary->nGetParameterNbr() && bResult; ++i) {
        CNAParameter* pclParameter = pclAuxiliary->pclGetParameterNoRef(i);
        pclParameter->SetPosition(pclParameter->nGetPosition() + nBase);
        bResult = pclTarget->bAddParameter(pclParameter);
      }
    }
    if (!bResult) pOut->Vide();
  }
  pclAuxiliary->nRelease();
  return bResult;
}

}  // namespace

// ---- The copy point

void CNACommand::_CopyTo(CTStringConcatAW* pOut, unsigned int* pnCopy, const wchar_t* pszText,
                         unsigned int nTo) {
  if (pOut == nullptr || pnCopy == nullptr || pszText == nullptr || *pnCopy >= nTo) return;
  // A position past the text's end (a parser out of step with its text)
  // copies up to the end and no further.
  const wchar_t* pszFrom = pszText + *pnCopy;
  unsigned int n = nTo - *pnCopy;
  if (const wchar_t* pszEnd = std::wmemchr(pszFrom, L'\0', n))
    n = static_cast<unsigned int>(pszEnd - pszFrom);
  _AddToBuilder(pOut, pszFrom, static_cast<int>(n));
  *pnCopy += n;
}

// ---- Whole queries

int CNACommand::bFormatCondition(CSQLParserInfo* pclInfo, CNACommand* pclOther, int bKeepSort,
                                 int nMode) {
  int bRewrite;
  if (nMode == 1) {
    m_bQueryRewrite = 1;
    m_nDefineMode = 3;
    bRewrite = 1;
    nMode = 4;
  } else {
    bRewrite = (nMode & 4) != 0 ? 1 : 0;
    m_bQueryRewrite = bRewrite;
    if (bRewrite) m_nDefineMode = 3;
  }
  _SetSQLParserInfo(pclInfo);
  if (pclInfo == nullptr) return 1;
  const wchar_t* pszQuery = pclInfo->pszGetRequete();
  const CTString csText(pszQuery != nullptr ? pszQuery : L"");
  const unsigned int nLength = static_cast<unsigned int>(csText.nTaille());
  unsigned int nCopy = 0;
  int bResult = bFormatConditionReq(pclInfo, pclOther, nMode, csText.pszGet(), nLength, bRewrite,
                                    bKeepSort, &nCopy);
  if (bResult && nCopy < nLength) {
    // The tail; a sort that is not kept ends where the parser located it.
    unsigned int nEnd = nLength;
    ISQLParserInformation* piParser = pclInfo->piGetParserInformationNoRef();
    if (!bKeepSort && m_bQueryRewrite && piParser != nullptr) {
      const int nOrder = piParser->nGetDebutOrderBy();
      if (nOrder > 0 && static_cast<unsigned int>(nOrder) < nLength)
        nEnd = static_cast<unsigned int>(nOrder);
    }
    if (nCopy < nEnd) bResult = bComplete(csText.pszGet() + nCopy, nEnd - nCopy) && bResult;
  }
  return bResult;
}

int CNACommand::bFormatConditionReq(CSQLParserInfo* pclInfo, CNACommand* pclOther, int,
                                    const wchar_t* pszText, unsigned int nLength, int bRewrite,
                                    int bKeepSort, unsigned int* pnCopy) {
  if (pclInfo == nullptr || pszText == nullptr || pnCopy == nullptr) return 1;
  ISQLParserInformation* piParser = pclInfo->piGetParserInformationNoRef();
  if (piParser == nullptr) return 1;
  IInfoRequete* piParts = piParser->piGetInfoRequete();

  std::vector<Piece> pieces;
  const int nWhereStart = piParser->nGetDebutWhere();
  const int nWhereEnd = piParser->nGetFinWhere();
  const int nHavingStart = piParser->nGetDebutHaving();
  const int nHavingEnd = piParser->nGetFinHaving();
  const int nOrderStart = piParser->nGetDebutOrderBy();
  CTabValParser* pMarkers = piParser->piGetTabValParserMarqueur();
  try {
    auto add = [&pieces](CNASqlElt::eSQLELT eKind, int32_t nStart, int32_t nEnd) {
      pieces.push_back({eKind, nTextIndex(nStart), nTextIndex(nEnd)});
    };
    if (!bRewrite && piParts != nullptr) {
      int nCursor = 0;
      switch (pclInfo->eGetTypeRequete()) {
        case TYPEREQUETE_INSERT:
          if (IInfoInsertion* piInsert = piParts->piEnumInsertion(&nCursor)) {
            IExpOpExpression* piColumn = piInsert->piGetColonne();
            IExpOpExpression* piValue = piInsert->piGetValeur();
            const _stPositionSQL stColumn =
                piColumn != nullptr ? piColumn->stGetPositionElement() : _stPositionSQL{};
            add(CNASqlElt::SQLELT_SELECT_LIST, stColumn.nDebut, stColumn.nFin);
            if (piValue != nullptr) {
              const _stPositionSQL stValue = piValue->stGetPosition();
              add(CNASqlElt::SQLELT_ASSIGNMENT, stValue.nDebut, stValue.nFin);
            } else {
              add(CNASqlElt::SQLELT_ASSIGNMENT, stColumn.nDebut + 1, stColumn.nFin);
            }
            if (piColumn != nullptr) piColumn->Release();
            if (piValue != nullptr) piValue->Release();
          }
          break;
        case TYPEREQUETE_UPDATE:
          if (IInfoAffectation* piAssignment = piParts->piEnumAffectation(&nCursor)) {
            if (IExpOpExpression* piColumn = piAssignment->piGetColonne()) {
              const _stPositionSQL st = piColumn->stGetPositionElement();
              add(CNASqlElt::SQLELT_ASSIGNMENT, st.nDebut, st.nFin);
              piColumn->Release();
            }
          }
          break;
        default:
          if (IInfoRubrique* piColumn = pclInfo->piGetRubriqueOUT(0)) {
            const _stPositionSQL st = piColumn->stGetPosition();
            add(CNASqlElt::SQLELT_SELECT_LIST, st.nDebut, st.nFin);
          }
          break;
      }
      nCursor = 0;
      while (IInfoFrom* piFrom = piParts->piEnumFrom(&nCursor)) {
        const _stPositionSQL st = piFrom->stGetPosition();
        add(CNASqlElt::SQLELT_FROM, st.nDebut, st.nFin);
      }
      if (IInfoListeJointure* piJoins = piParts->piGetListeJointure()) {
        for (int i = 0; i < piJoins->nGetNbJointure(); ++i) {
          if (IExpOpExpression* piJoin = piJoins->piGetJointure(i)) {
            const _stPositionSQL st = piJoin->stGetPosition();
            add(CNASqlElt::SQLELT_JOIN, st.nDebut, st.nFin);
            piJoin->Release();
          }
        }
        piJoins->Release();
      }
      if (nWhereStart > 0) {
        add(CNASqlElt::SQLELT_WHERE, nWhereStart, nWhereEnd);
      } else if (pclOther != nullptr && !pclOther->bIsEmpty()) {
        // Where a WHERE clause would go, for the other command's condition.
        const int nPlace = _nGetClauseStart(pclInfo, CNASqlElt::SQLELT_WHERE);
        add(CNASqlElt::SQLELT_WHERE, nPlace, nPlace);
      }
      if (pclInfo->nGetRubriqueClauseGroupeNbr() > 0) {
        nCursor = 0;
        if (IInfoGroupe* piGroup = piParts->piEnumGroupe(&nCursor)) {
          const _stPositionSQL st = piGroup->stGetPosition();
          if (st.nDebut > 0) add(CNASqlElt::SQLELT_GROUPBY, st.nDebut, st.nFin);
        }
      }
      if (nHavingStart > 0) add(CNASqlElt::SQLELT_HAVING, nHavingStart, nHavingEnd);
    }
    if (nOrderStart > 0)
      add(CNASqlElt::SQLELT_ORDERBY, nOrderStart, static_cast<int32_t>(nLength) - 1);
    if (pMarkers != nullptr && pMarkers->nGetMarqueurNbr() > 0) {
      const _stTabValMarqueur* pFirst = pMarkers->pstGetMarqueur(0);
      add(CNASqlElt::SQLELT_PARAMETER, pFirst->nDebut, pFirst->nDebut + pFirst->nLongueur);
    }
    // By start; pieces that start together keep the order above.
    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const Piece& a, const Piece& b) { return a.nStart < b.nStart; });
  } catch (const std::bad_alloc&) {
    RaiseDebug(m_pclError, m_pclConnection, kSiteWalkNoMemory, kErrNoMemory, nullptr);
    return 0;
  }

  int bResult = 1;
  for (const Piece& piece : pieces) {
    switch (piece.eKind) {
      case CNASqlElt::SQLELT_SELECT_LIST:
        bResult = _bFormatSELECTList(pnCopy, pszText, pclInfo);
        break;
      case CNASqlElt::SQLELT_FROM: {
        const CNASqlElt clElement(piece.eKind, piece.nStart, piece.nEnd);
        bResult = _bAddFromClause(&clElement, pnCopy, pszText, pclInfo);
        break;
      }
      case CNASqlElt::SQLELT_WHERE:
        bResult = bAddTreeExpression(
            pclInfo, nullptr, pszText, nullptr,
            nWhereStart > 0 ? pclInfo->piGetConditionWhereNoRef() : nullptr,
            CNASqlElt::SQLELT_WHERE, pnCopy, pclOther);
        break;
      case CNASqlElt::SQLELT_GROUPBY:
        bResult = _bFormatGROUPBY(pnCopy, pszText, pclInfo);
        break;
      case CNASqlElt::SQLELT_HAVING:
        bResult = bAddTreeExpression(pclInfo, nullptr, pszText, nullptr,
                                     pclInfo->piGetConditionHavingNoRef(),
                                     CNASqlElt::SQLELT_HAVING, pnCopy, nullptr);
        break;
      case CNASqlElt::SQLELT_ORDERBY:
        bResult = _bFormatORDERBY(pclInfo, pnCopy, pszText, bKeepSort, 1, 0, nullptr);
        // A sort dropped ends the walked text, not the whole text: the walk
        // of a sub-query stops at the sub-query's end.
        if (*pnCopy > nLength) *pnCopy = nLength;
        break;
      case CNASqlElt::SQLELT_PARAMETER:
        bResult = _bAddClause(pMarkers, pszText, piParser, 0);
        *pnCopy = nLength;
        break;
      case CNASqlElt::SQLELT_JOIN: {
        const CNASqlElt clElement(piece.eKind, piece.nStart, piece.nEnd);
        bResult = _bAddJoinClause(&clElement, pnCopy, pszText, pclInfo);
        break;
      }
      case CNASqlElt::SQLELT_ASSIGNMENT:
        bResult = _bFormatINSERTUPDATEList(pnCopy, pszText, pclInfo);
        break;
      default:
        bResult = 1;
        break;
    }
    if (!bResult) break;
  }
  return bResult;
}

int CNACommand::bComplete(ISQLParserInformation* piParser) {
  if (piParser == nullptr) return 1;
  return _bAddClause(piParser->piGetTabValParser(), piParser->pszGetRequete(), piParser, 1);
}

int CNACommand::_bAddClause(CTabValParser* pTokens, const wchar_t* pszText,
                            ISQLParserInformation* piParser, int bWhereMode) {
  if (pszText == nullptr || *pszText == L'\0') return 1;
  const unsigned int nLength = static_cast<unsigned int>(std::wcslen(pszText));
  const int nReferences = pTokens != nullptr ? pTokens->nGetReferenceNbr() : 0;
  const int nMarkers = pTokens != nullptr ? pTokens->nGetMarqueurNbr() : 0;
  unsigned int nCopy = 0;
  int bResult = 1;
  int iReference = 0, iMarker = 0;
  // The parameter of the marker that follows the reference just written: it
  // is made with the reference (the name writer may type it) and placed
  // when its marker is reached.
  int iPending = -1;
  CNAParameter* pclPending = nullptr;

  auto addMarkerParameter = [this](const _stTabValMarqueur* pMarker) -> CNAParameter* {
    CNAConvertVariant* pclValue = _vpclGetNewVariant(nullptr, pMarker->pclValeur);
    if (pclValue == nullptr) return nullptr;
    pclValue->AddRef();
    const unsigned int nBefore = nGetParameterNbr();
    const int bAdded = bAddParameter(pclValue, kNoOperator, pMarker->dwFlags, nullptr,
                                     pMarker->pszNom, 0, CNAParameter::NA_PARAM_IN);
    pclValue->nRelease();
    if (!bAdded || nGetParameterNbr() <= nBefore) return nullptr;
    return pclGetParameterNoRef(nGetParameterNbr() - 1);
  };

  while (bResult && (iReference < nReferences || iMarker < nMarkers)) {
    const _stTabValReference* pReference = pTokens->pstGetReference(iReference);
    const _stTabValMarqueur* pMarker = pTokens->pstGetMarqueur(iMarker);
    const bool bMarker =
        pReference == nullptr || (pMarker != nullptr && pMarker->nDebut <= pReference->nDebut);
    const int32_t nStart = bMarker ? pMarker->nDebut : pReference->nDebut;
    const int32_t nTokenLength = bMarker ? pMarker->nLongueur : pReference->nLongueur;
    // A token outside the text, or over one already written, would write a
    // piece of the text twice or not at all: the table is out of step with
    // the text.
    if (nStart < 0 || nTokenLength <= 0 ||
        static_cast<int64_t>(nStart) + nTokenLength > static_cast<int64_t>(nLength) ||
        static_cast<unsigned int>(nStart) < nCopy) {
      RaiseDebug(m_pclError, m_pclConnection, kSiteTokenOutside, kErrBadValue,
                 L"token of the query outside its text or over another token");
      bResult = 0;
      break;
    }
    const unsigned int nTokenStart = static_cast<unsigned int>(nStart);
    const unsigned int nTokenEnd = nTokenStart + static_cast<unsigned int>(nTokenLength);
    if (bMarker) {
      _CopyTo(&m_clText, &nCopy, pszText, nTokenStart);
      if (iPending == iMarker && pclPending != nullptr) {
        pclPending->SetPosition(m_nTextLength);
      } else if (addMarkerParameter(pMarker) == nullptr) {
        bResult = 0;
      }
      iPending = -1;
      pclPending = nullptr;
      nCopy = nTokenEnd;
      ++iMarker;
      continue;
    }
    // The marker between this reference and the next one goes with it.
    CNAParameter* pclTaken = nullptr;
    if (pMarker != nullptr && pMarker->nDebut > pReference->nDebut) {
      const _stTabValReference* pNext = pTokens->pstGetReference(iReference + 1);
      if (pNext == nullptr || pMarker->nDebut < pNext->nDebut) {
        pclTaken = addMarkerParameter(pMarker);
        if (pclTaken == nullptr) {
          bResult = 0;
          break;
        }
        iPending = iMarker;
        pclPending = pclTaken;
      }
    }
    _CopyTo(&m_clText, &nCopy, pszText, nTokenStart);
    CTString csName;
    if (bWhereMode == 1) {
      const CTString csItem(pReference->pszNomRubrique != nullptr ? pReference->pszNomRubrique
                                                                  : L"");
      csName.Set(csItem.pszGet());
      _FormatItemNameInWHEREClause(piParser, pReference->pszNomTable, &csName, pclTaken);
      // A name the parser does not know stays as the query writes it, its
      // qualifier included.
      if (std::wcscmp(csName.pszGet(), csItem.pszGet()) == 0)
        csName.Set(pszText + nTokenStart, static_cast<unsigned int>(nTokenLength));
    } else {
      const wchar_t* pszTable = pReference->pszNomTable;
      if (!_FormatItemName(pReference->pszNomRubrique, &csName)) {
        bResult = 0;
      } else if (pszTable != nullptr && *pszTable != L'\0') {
        CTString csTable;
        if (!_FormatTableName(pszTable, &csTable)) {
          bResult = 0;
        } else {
          csTable.Add(L'.');
          csTable.Add(csName.pszGet());
          csName.Transfert(csTable);
        }
      }
    }
    if (bResult) {
      bComplete(csName.pszGet());
      nCopy = nTokenEnd;
    }
    ++iReference;
  }
  _CopyTo(&m_clText, &nCopy, pszText, nLength);
  return bResult;
}

int CNACommand::bAddTreeExpression(CSQLParserInfo* pclInfo, CSQLParserInfo* pclOuter,
                                   const wchar_t* pszText, IExpOpExpression* piParent,
                                   IExpOpExpression* piTree, CNASqlElt::eSQLELT eKind,
                                   unsigned int* pnCopy, CNACommand* pclOther) {
  INAItemDescription* piItem = nullptr;
  if (eKind != CNASqlElt::SQLELT_WHERE || pclOther == nullptr || pclOther->bIsEmpty()) {
    const int bResult = _bExpressionToSQL(pclInfo, pclOuter, pszText, piParent, piTree, eKind,
                                          pnCopy, &m_clText, &piItem, NA_IT_EMPTY, 0);
    ReleaseItem(&piItem);
    return bResult;
  }
  if (pszText == nullptr || pnCopy == nullptr) return 0;
  const unsigned int nLength = static_cast<unsigned int>(std::wcslen(pszText));
  ISQLParserInformation* piParser =
      pclInfo != nullptr ? pclInfo->piGetParserInformationNoRef() : nullptr;
  const int nWhere = piParser != nullptr ? piParser->nGetDebutWhere() : 0;
  const bool bHadWhere = nWhere != 0;
  // Just after the keyword WHERE, or where a WHERE clause would go.
  const unsigned int nInsert = bHadWhere ? static_cast<unsigned int>(nWhere) + 5
                                         : nTextIndex(_nGetClauseStart(pclInfo, eKind));
  _CopyTo(&m_clText, pnCopy, pszText, nInsert);
  int bResult = bComplete(bHadWhere ? L" (" : L" WHERE ");
  bResult = _bExpressionToSQL(pclInfo, pclOuter, pszText, piParent, piTree, eKind, pnCopy,
                              &m_clText, &piItem, NA_IT_EMPTY, 0) &&
            bResult;
  ReleaseItem(&piItem);
  if (!bResult) return 0;
  const int nStop = _nGetClauseStop(pclInfo, eKind);
  if (nStop != 0 && *pnCopy < nLength) {
    unsigned int nEnd = nTextIndex(nStop);
    if (nEnd < nLength) ++nEnd;
    _CopyTo(&m_clText, pnCopy, pszText, nEnd);
  }
  if (bHadWhere) {
    bResult = bComplete(L") AND (") && bResult;
    bResult = bAdd(pclOther, NA_ADD_SHARE) && bResult;
    bResult = bComplete(L")") && bResult;
  } else {
    bResult = bAdd(pclOther, NA_ADD_SHARE) && bResult;
    bResult = bComplete(L" ") && bResult;
  }
  bResult = bCombineColumnValuesNullSelected(NA_OP_AND, pclOther->pclGetNullValueExcludedNoRef()) &&
            bResult;
  return bResult;
}

int CNACommand::bFormatSubExpression(CSQLParserInfo* pclInfo, const wchar_t* pszText,
                                     IExpOpExpression* piParent, IExpOpExpression* piTree,
                                     CNASqlElt::eSQLELT eKind) {
  if (piTree == nullptr) return 1;
  const _stPositionSQL st = piTree->stGetPosition();
  if (!bLocated(st) || st.nDebut < 0 || st.nFin < st.nDebut) {
    // Copying from the text's start would write the query around it.
    RaiseDebug(m_pclError, m_pclConnection, kSiteNotLocated, kErrBadValue,
               L"expression of a computed column not located in the query's text");
    return 0;
  }
  unsigned int nCopy = static_cast<unsigned int>(st.nDebut);
  const int bResult =
      bAddTreeExpression(pclInfo, nullptr, pszText, piParent, piTree, eKind, &nCopy, nullptr);
  if (static_cast<unsigned int>(st.nFin) >= nCopy)
    _CopyTo(&m_clText, &nCopy, pszText, static_cast<unsigned int>(st.nFin) + 1);
  return bResult;
}

int CNACommand::bAddFilterExpression(CSQLParserInfo* pclInfo) {
  if (pclInfo == nullptr) return 1;
  ISQLParserInformation* piParser = pclInfo->piGetParserInformationNoRef();
  if (piParser == nullptr) return 1;
  const wchar_t* pszText = piParser->pszGetTexteCondition();
  // The condition's names are those of the record's source query when it
  // has one; the filter's own digest then only gives its tree.
  auto* pclSource = dynamic_cast<CSQLParserInfo*>(pclInfo->pclGetQueryParserInfoNoRef());
  CSQLParserInfo* pclWith = pclSource != nullptr ? pclSource : pclInfo;
  CSQLParserInfo* pclOuter = pclSource != nullptr ? pclInfo : nullptr;
  unsigned int nCopy = 0;
  const int bResult =
      bAddTreeExpression(pclWith, pclOuter, pszText, nullptr, pclInfo->piGetConditionWhereNoRef(),
                         CNASqlElt::SQLELT_WHERE, &nCopy, nullptr);
  if (bResult && pszText != nullptr) {
    const unsigned int nLength = static_cast<unsigned int>(std::wcslen(pszText));
    if (nCopy < nLength) return bComplete(pszText + nCopy, nLength - nCopy);
  }
  return bResult;
}

// ---- The expression walk

_stPositionSQL CNACommand::_stGetPositionExpression(IExpOpExpression* piNode) {
  if (piNode == nullptr) return _stPositionSQL{0, 0, 0, 0};
  const int nOperator = static_cast<int>(piNode->eGetOperateur());
  if (nOperator == kOpNot || nOperator == kOpParentheses) return piNode->stGetPositionElement();
  const _stPositionSQL st = piNode->stGetPosition();
  return bLocated(st) ? st : piNode->stGetPositionElement();
}

int CNACommand::_bExpressionToSQL(CSQLParserInfo* pclInfo, CSQLParserInfo* pclOuter,
                                  const wchar_t* pszText, IExpOpExpression* piParent,
                                  IExpOpExpression* piNode, CNASqlElt::eSQLELT eKind,
                                  unsigned int* pnCopy, CTStringConcatAW* pOut,
                                  INAItemDescription** ppiItem, eNA_ITEMTYPE eLiteralType,
                                  unsigned int nIndex) {
  if (piNode == nullptr) return 1;
  const int nOperator = static_cast<int>(piNode->eGetOperateur());
  auto operand = [&](auto write) {
    return _bDoExpressionArgument(pclInfo, pszText, piParent, piNode, eKind, pnCopy, pOut, 1,
                                  nIndex) &&
           write() &&
           _bDoExpressionArgument(pclInfo, pszText, piParent, piNode, eKind, pnCopy, pOut, 0,
                                  nIndex);
  };
  switch (nOperator) {
    case kOpColumn:
      return operand([&] {
        return _bDoExpressionColonne(pclInfo, pclOuter, pszText, piParent, piNode, eKind, pnCopy,
                                     pOut, ppiItem);
      }) ? 1 : 0;
    case kOpLiteral:
      return operand([&] {
        return _bDoExpressionLiteral(pclInfo, pszText, piParent, piNode, eKind, *ppiItem, pnCopy,
                                     pOut, eLiteralType);
      }) ? 1 : 0;
    case kOpSubQuery:
      return operand([&] {
        return _bDoExpressionSousRequete(pclInfo, pszText, piNode, pnCopy);
      }) ? 1 : 0;
    case kOpInexpressible:
      CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kNAFileCommand, kSiteInexpressible,
                         m_pclConnection, nullptr, nullptr, kErrInexpressible, L"MariaDB");
      return 0;
    default:
      break;
  }

  if (!_bDoExpressionArgument(pclInfo, pszText, piParent, piNode, eKind, pnCopy, pOut, 1,
                              nIndex) ||
      !_bDoExpressionOperator(pclInfo, pszText, nullptr, piNode, eKind, pnCopy, pOut))
    return 0;
  // "a || b" concatenates in the server's SQL but is a logical OR in
  // MariaDB's default sql_mode: it is written as CONCAT(a, b), each "||"
  // between the operands becoming ",".
  const bool bPipes =
      nOperator == kOpConcat && bPipesAt(pszText, piNode->stGetPositionElement());
  if (bPipes) _AddToBuilder(pOut, L"CONCAT(");
  // Parameters made from here on belong to the operands of this node.
  const unsigned int nParametersBefore = nGetParameterNbr();
  int nCursor = 0;
  if (IExpOpExpression* piFirst = piNode->piEnumOperande(&nCursor)) {
    unsigned int nCopyMark = *pnCopy;
    const unsigned int nLengthMark = _nGetBuilderLength(pOut);
    const eNA_ITEMTYPE eType = _eTypeParameter(eKind, piNode, 0, eLiteralType, ppiItem);
    const int bFirst = _bExpressionToSQL(pclInfo, pclOuter, pszText, piNode, piFirst, eKind,
                                         pnCopy, pOut, ppiItem, eType, 0);
    // A date column compared with an empty date is a NULL test: the rest of
    // the comparison is written by the empty-date writer.
    if (bFirst && m_pclConnection->bTreatEmptyDateAsNULL() &&
        static_cast<int>(piFirst->eGetOperateur()) == kOpColumn && *ppiItem != nullptr &&
        _bExpressionDateEmpty(pOut, &nCopyMark, piNode, pszText, nLengthMark, *ppiItem)) {
      piFirst->Release();
      *pnCopy = nCopyMark;
      return 1;
    }
    piFirst->Release();
    if (!bFirst) return 0;
  }
  const int nNode = nOperator;
  if (nNode == 0 || nNode == 2 || nNode == 4 || nNode == 5)
    _vbFormatExpressionOperatorEntreOperande(pclInfo, pszText, piNode, eKind, pnCopy, pOut);
  unsigned int nNumber = 1;
  while (IExpOpExpression* piOperand = piNode->piEnumOperande(&nCursor)) {
    int bOperand = 1;
    if (bPipes) {
      const _stPositionSQL stOperand = _stGetPositionExpression(piOperand);
      const _stPositionSQL stWhole = _stGetPositionExpression(piNode);
      const unsigned int nTo = bLocated(stOperand) && stOperand.nDebut >= 0
                                   ? static_cast<unsigned int>(stOperand.nDebut)
                                   : static_cast<unsigned int>(stWhole.nFin + 1);
      const int nPipes = nFindPipes(pszText, *pnCopy, nTo);
      if (nPipes >= 0) {
        _CopyTo(pOut, pnCopy, pszText, static_cast<unsigned int>(nPipes));
        _AddToBuilder(pOut, L",");
        *pnCopy = static_cast<unsigned int>(nPipes) + 2;
      }
    }
    if (!_vbSkipOperande(piNode, piOperand, nNumber)) {
      const eNA_ITEMTYPE eType = _eTypeParameter(eKind, piNode, nNumber, eLiteralType, ppiItem);
      bOperand = _bExpressionToSQL(pclInfo, pclOuter, pszText, piNode, piOperand, eKind, pnCopy,
                                   pOut, ppiItem, eType, nNumber);
    }
    piOperand->Release();
    if (!bOperand) return 0;
    ++nNumber;
  }
  if (bPipes) _AddToBuilder(pOut, L")");
  bool bLikeParameter = false;
  for (unsigned int i = nParametersBefore; i < nGetParameterNbr(); ++i)
    bLikeParameter = bLikeParameter || pclGetParameterNoRef(i)->bHasFlag(kNAParamLike);
  if ((nOperator == kOpLike || nOperator == kOpNotLike) && piNode->cGetEscape() == L'\\' &&
      !bLikeParameter) {
    // The query's own ESCAPE '\' is still to be copied (a pattern made a
    // LIKE parameter, or written again from its value, brings ESCAPE '!'
    // and leaves the query's clause out). MariaDB reads a backslash between
    // quotes as an escape unless the sql_mode says otherwise: '\' would
    // swallow the text after it. The character is written from its value
    // by the connection's literal writer, which MariaDB reads alike in
    // every mode.
    const _stPositionSQL stLike = piNode->stGetPosition();
    const int nLiteral =
        stLike.nFin >= 0
            ? nBackslashEscapeLiteral(pszText, *pnCopy, static_cast<unsigned int>(stLike.nFin) + 1)
            : -1;
    if (nLiteral >= 0) {
      _CopyTo(pOut, pnCopy, pszText, static_cast<unsigned int>(nLiteral));
      CTStringConcatAW clLiteral(kConcatModeWide, m_pclConnection->nGetLanguageCodePage());
      CAny clEscape;
      clEscape.__SetType(VX_DSTRW, 0);
      clEscape.SetValueByte(L"\\", sizeof(wchar_t));
      if (!m_pclConnection->bConvertValueToString(m_pclError, &clLiteral, &clEscape, 0, 0, 0, 0) ||
          clLiteral.bEchec()) {
        RaiseDebug(m_pclError, m_pclConnection, kSiteEscapeClause, kErrBadValue,
                   L"escape character of LIKE not written");
        return 0;
      }
      _AddToBuilder(pOut, clLiteral.pszGetW());
      *pnCopy = static_cast<unsigned int>(nLiteral) + 3;
    }
  }
  if (!_bDoExpressionArgument(pclInfo, pszText, piParent, piNode, eKind, pnCopy, pOut, 0, nIndex))
    return 0;
  _TypeRetour(eKind, piNode, ppiItem);
  return 1;
}

int CNACommand::_bDoExpressionArgument(CSQLParserInfo* pclInfo, const wchar_t* pszText,
                                       IExpOpExpression* piParent, IExpOpExpression* piNode,
                                       CNASqlElt::eSQLELT eKind, unsigned int* pnCopy,
                                       CTStringConcatAW* pOut, int bOpening, unsigned int nIndex) {
  // The root of a tree has no argument text, nor has a node that is not
  // located (its text is copied with the text around it).
  if (piParent == nullptr || piNode == nullptr) return 1;
  const _stPositionSQL st = _stGetPositionExpression(piNode);
  if (!bLocated(st)) return 1;
  if (bOpening) {
    if (st.nDebut > 0 && *pnCopy < static_cast<unsigned int>(st.nDebut)) {
      _CopyTo(pOut, pnCopy, pszText, static_cast<unsigned int>(st.nDebut));
      // A character-set introducer the dialect does not take.
      if (*pnCopy == static_cast<unsigned int>(st.nDebut) &&
          std::wcsncmp(pszText + st.nDebut, L"utf8", 4) == 0)
        *pnCopy += 4;
    }
    _vConvertirFonction(pOut, piParent, piNode, eKind, 1);
  } else if (st.nFin >= 0 && static_cast<unsigned int>(st.nFin) >= *pnCopy) {
    _CopyTo(pOut, pnCopy, pszText, static_cast<unsigned int>(st.nFin) + 1);
  }
  if (CSQLParserInfo::s_bIsFunction(piParent->eGetOperateur())) {
    CTString csArgument;
    _FormatExpressionArgument(pclInfo, pszText, piParent, piNode, eKind, &csArgument, bOpening,
                              pnCopy, nIndex);
    if (csArgument.nTaille() > 0) _AddToBuilder(pOut, csArgument.pszGet());
  }
  if (!bOpening) _vConvertirFonction(pOut, piParent, piNode, eKind, 0);
  return 1;
}

int CNACommand::_bDoExpressionOperator(CSQLParserInfo* pclInfo, const wchar_t* pszText,
                                       IExpOpExpression* piParent, IExpOpExpression* piNode,
                                       CNASqlElt::eSQLELT eKind, unsigned int* pnCopy,
                                       CTStringConcatAW* pOut) {
  if (piNode == nullptr) return 1;
  const _stPositionSQL st = _stGetPositionExpression(piNode);
  if (st.nDebut > 0) _CopyTo(pOut, pnCopy, pszText, static_cast<unsigned int>(st.nDebut));
  if (!bLocated(st) || st.nDebut < 0) return 1;
  CTString csName;
  _FormatExpressionOperator(pclInfo, piParent, piNode, eKind, &csName);
  if (csName.nTaille() == 0) return 1;
  _AddToBuilder(pOut, csName.pszGet());
  // The function's own name is not copied (only when the text reaches it).
  unsigned int n = static_cast<unsigned int>(st.nDebut);
  if (n > *pnCopy) return 1;
  while (pszText[n] != L'\0' &&
         (std::iswalpha(static_cast<wint_t>(pszText[n])) || pszText[n] == L'_'))
    ++n;
  if (n > *pnCopy) *pnCopy = n;
  return 1;
}

int CNACommand::_bDoExpressionSousRequete(CSQLParserInfo* pclInfo, const wchar_t* pszText,
                                          IExpOpExpression* piNode, unsigned int* pnCopy) {
  if (piNode == nullptr) return 1;
  ISQLParserInformation* piSubQuery = piNode->piGetSousRequete();
  if (piSubQuery == nullptr) return 1;
  CNAError* pclError = pclInfo != nullptr ? pclInfo->pclGetErrorNoRef() : m_pclError;
  auto* pclDigest = new (std::nothrow) CSQLParserInfo(pclError, piSubQuery, nullptr, 0);
  if (pclDigest == nullptr) {
    piSubQuery->Release();
    RaiseDebug(m_pclError, m_pclConnection, kSiteWalkNoMemory, kErrNoMemory, nullptr);
    return 0;
  }
  pclDigest->AddRef();
  // The walk covers the sub-query's own text: what follows it is the
  // enclosing expression's.
  const _stPositionSQL st = piNode->stGetPosition();
  const unsigned int nLength = st.nFin >= 0 ? static_cast<unsigned int>(st.nFin) + 1 : 0;
  const int bResult = bFormatConditionReq(pclDigest, nullptr, 32, pszText, nLength, 0, 1, pnCopy);
  pclDigest->nRelease();
  piSubQuery->Release();
  return bResult;
}

// ---- Names of other dialects

namespace {

// Server kinds as bits of a mask.
constexpr unsigned int Kinds(std::initializer_list<int> kinds) {
  unsigned int n = 0;
  for (int k : kinds) n |= 1u << k;
  return n;
}

// The name a function takes on the server kinds of the mask.
struct FunctionName {
  int nFirst, nLast;
  unsigned int nKinds;
  const wchar_t* pszName;
};

constexpr FunctionName kFunctionNames[] = {
    {7, 8, Kinds({11}), L"NVL"},
    {42, 43, Kinds({6}), L"SUBSTRING"},
    {42, 43, Kinds({1, 11, 13}), L"SUBSTR"},
    {44, 44, Kinds({2, 4, 6}), L"SUBSTRING"},
    {44, 44, Kinds({1, 8, 11}), L"SUBSTR"},
    {44, 44, Kinds({7}), L"SYSIBM.SUBSTR"},
    {45, 45, Kinds({7}), L"UCASE"},
    {46, 46, Kinds({7}), L"LCASE"},
    {50, 50, Kinds({2, 4, 6}), L"SUBSTRING"},
    {50, 50, Kinds({7}), L"SYSIBM.SUBSTR"},
    {51, 51, Kinds({7}), L"SYSIBM.SUBSTR"},
    {51, 51, Kinds({1, 11, 13}), L"SUBSTR"},
    {52, 53, Kinds({11}), L"TRIM"},
    {54, 54, Kinds({2}), L"LEN"},
    {54, 54, Kinds({4}), L"CHAR_LENGTH"},
    {55, 55, Kinds({1, 7, 8, 11, 13}), L"LENGTH"},
    {72, 72, Kinds({1}), L"CEIL"},
    {75, 76, Kinds({1}), L"SUBSTR"},
    {77, 78, Kinds({1}), L"LENGTH"},
    {79, 79, Kinds({1}), L"LENGTHB"},
    {89, 89, Kinds({1}), L"INSTR"},
    {92, 92, Kinds({1}), L"TO_CHAR"},
    {92, 92, Kinds({11}), L"SUBSTR(HEX"},
};

// A text around an argument of a function on the server kinds of the mask:
// before it (bOpening) or after it, for the argument of that index (-1:
// any).
struct ArgumentText {
  int nOperator;
  unsigned int nKinds;
  bool bOpening;
  int nIndex;
  const wchar_t* pszText;
};

constexpr ArgumentText kArgumentTexts[] = {
    {52, Kinds({11}), true, -1, L"LEADING FROM "},
    {53, Kinds({11}), true, -1, L"TRAILING FROM "},
    {42, Kinds({1, 6, 11, 13}), false, 0, L",1"},
    {92, Kinds({1}), false, 0, L",'FMXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX'"},
    {92, Kinds({11}), false, 0, L"),3"},
};

bool bKindIn(unsigned int nKinds, int nKind) {
  return nKind >= 0 && nKind < 32 && (nKinds & (1u << nKind)) != 0;
}

}  // namespace

void CNACommand::_FormatExpressionOperator(CSQLParserInfo*, IExpOpExpression*,
                                           IExpOpExpression* piNode, CNASqlElt::eSQLELT,
                                           CTString* pOut) {
  pOut->Vide();
  const int nKind = m_pclConnection->nGetServerKind();
  // MariaDB takes the function names as the query writes them.
  if (nKind == kServerKindMariaDB || piNode == nullptr) return;
  const int nOperator = static_cast<int>(piNode->eGetOperateur());
  for (const FunctionName& row : kFunctionNames) {
    if (nOperator >= row.nFirst && nOperator <= row.nLast && bKindIn(row.nKinds, nKind)) {
      pOut->Set(row.pszName);
      return;
    }
  }
}

void CNACommand::_FormatExpressionArgument(CSQLParserInfo*, const wchar_t*,
                                           IExpOpExpression* piParent, IExpOpExpression*,
                                           CNASqlElt::eSQLELT, CTString* pOut, int bOpening,
                                           unsigned int*, unsigned int nIndex) {
  pOut->Vide();
  const int nKind = m_pclConnection->nGetServerKind();
  if (nKind == kServerKindMariaDB || piParent == nullptr) return;
  // The length arithmetic of operators 43, 75, 76, 80, 88 and 89 on kinds 1
  // and 11 is not written: no connection of this system has those kinds.
  const int nOperator = static_cast<int>(piParent->eGetOperateur());
  for (const ArgumentText& row : kArgumentTexts) {
    if (row.nOperator == nOperator && bKindIn(row.nKinds, nKind) &&
        row.bOpening == (bOpening != 0) &&
        (row.nIndex < 0 || static_cast<unsigned int>(row.nIndex) == nIndex)) {
      pOut->Set(row.pszText);
      return;
    }
  }
}

// ---- Computed columns

int CNACommand::_bComputedColumnInChain(const IInfoRubrique* piColumn) const {
  if (piColumn == nullptr) return 0;
  for (const CNACommand* pcl = this; pcl != nullptr; pcl = pcl->m_pclComputedChain) {
    if (pcl->m_piComputedColumn == piColumn) return 1;
  }
  return 0;
}

int CNACommand::_bFormatExpressionColonneCalculee(CSQLParserInfo* pclInfo,
                                                  IInfoRubrique* piColumn,
                                                  IExpOpExpression* piParent,
                                                  CNASqlElt::eSQLELT eKind) {
  if (piColumn == nullptr) return 0;
  if (_bComputedColumnInChain(piColumn)) {
    const wchar_t* pszName = piColumn->pszGetNom();
    CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kNAFileCommand, kSiteComputedCycle,
                       m_pclConnection, nullptr, nullptr, kErrComputedColumn,
                       pszName != nullptr ? pszName : L"");
    return 0;
  }
  if (m_piComputedColumn != nullptr) {
    // This command writes a column already: the nested one gets a command
    // of its own, so that the chain holds every column being written.
    CTString csColumn;
    const unsigned int nBase = m_nTextLength;
    if (!bComputedThroughAuxiliary(this, this, m_pclError, m_pclConnection, pclInfo, piColumn,
                                   piParent, eKind, &csColumn, nBase, m_bLiteralBinding))
      return 0;
    return bComplete(csColumn.pszGet());
  }
  IExpOpExpression* piExpression = piColumn->piGetExpression();
  if (piExpression == nullptr) return 0;
  m_piComputedColumn = piColumn;
  const int bResult = bFormatSubExpression(
      pclInfo, pclInfo != nullptr ? pclInfo->pszGetRequete() : nullptr, piParent, piExpression,
      eKind);
  m_piComputedColumn = nullptr;
  piExpression->Release();
  return bResult;
}

int CNACommand::bFormatExpressionColonneCalculee(CSQLParserInfo* pclInfo, IInfoRubrique* piColumn,
                                                 IExpOpExpression* piParent,
                                                 CNASqlElt::eSQLELT eKind, CTString* pOut,
                                                 unsigned int nBase) {
  if (pOut == nullptr) return 0;
  // nBase 0: the text goes nowhere that parameters could follow it.
  const int bBind = nBase != 0 && m_bLiteralBinding ? 1 : 0;
  return bComputedThroughAuxiliary(this, this, m_pclError, m_pclConnection, pclInfo, piColumn,
                                   piParent, eKind, pOut, nBase, bBind);
}

int CNACommand::bFormatExpressionColonneCalculee(CSQLParserInfo* pclInfo, const wchar_t* pszName,
                                                 CNASqlElt::eSQLELT eKind) {
  if (pclInfo == nullptr || pszName == nullptr) return 0;
  IInfoRubrique* piColumn = pclInfo->piEnumRubriqueOUT(pszName);
  if (piColumn == nullptr || !piColumn->bCalcul()) return 0;
  return _bFormatExpressionColonneCalculee(pclInfo, piColumn, nullptr, eKind);
}

int CNACommand::s_bFormatExpressionColonneCalculee(CTString* pOut, CSQLParserInfo* pclInfo,
                                                   const wchar_t* pszName,
                                                   CNASqlElt::eSQLELT eKind, CNAError* pclError,
                                                   CNAConnectionDescription* pclConnection) {
  if (pOut == nullptr) return 0;
  pOut->Vide();
  CNACommand* pclAuxiliary = pclNewAuxiliary(pclError, pclConnection);
  if (pclAuxiliary == nullptr) return 0;
  pclAuxiliary->_SetLiteralBinding(0);
  const int bResult = pclAuxiliary->bFormatExpressionColonneCalculee(pclInfo, pszName, eKind);
  // A text written half-way is no expression: the caller gets none.
  if (bResult) pOut->Set(pclAuxiliary->pszGetOriginalSQL());
  pclAuxiliary->nRelease();
  return bResult;
}
