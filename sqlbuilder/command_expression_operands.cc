// The operands of parsed expressions: how the expression walk writes a
// column node (its real table and item names through the dialect, or its
// record text when a date or time is compared as text), a literal node (a
// bind parameter at the literal's place, typed after the column it is
// compared with), which type each literal operand of an operator takes, and
// how a comparison of a date column with an empty literal becomes a NULL
// test or a constant condition.
//
// WHY A LITERAL THAT STAYS IN THE TEXT IS WRITTEN AGAIN FROM ITS VALUE. The
// auxiliary commands that write a computed column into a text keep its
// literals in the text (the literal-binding flag at 0). The query's own
// spelling of a literal follows the server parser's rules ('' for a quote,
// the backslash an ordinary character); MariaDB reads a backslash as an
// escape unless the session's sql_mode says otherwise, so 'C:\' copied as
// it stands would swallow the text after it. Such a literal is therefore
// written from its value by the connection's literal writer, which writes a
// literal that means the same in every sql_mode; a LIKE pattern is written
// with "!" as its escape character and its own ESCAPE clause, as the
// formatted text writes LIKE parameters.
//
// Choices made here:
// - A computed output column named in a condition is written as its
//   expression in parentheses: the operators around the name bind to the
//   whole expression, as they did to the name.
// - A column found through an output column keeps the table name by which
//   the query knows it when that name is an alias of the query: the
//   physical name of the aliased table would name a table the statement
//   does not know under that name.
// - A partial date is completed only when it is made of digits (a blank
//   after the date of a date-time allowed): a text that is no partial date
//   is left to the cast and to the literal writer, which refuse it with an
//   error, rather than becoming the first day of year 0.
// - A cast of a literal to its type that fails leaves the value as it was
//   and records nothing: the formatted text then writes the value as it is,
//   or refuses it with the literal writer's error.
#include <cwchar>
#include <cwctype>

#include "core/locale_compare.h"
#include "core/mixed_width_concat.h"
#include "driver/connection_description.h"
#include "driver/na_error.h"
#include "items/convert_variant.h"
#include "items/data_source_description.h"
#include "items/record.h"
#include "kq230/data_source_description_interface.h"
#include "kq230/item_description_interface.h"
#include "kq230/sql_parser_interface.h"
#include "kq230/vm_values.h"
#include "platform/broken_down_time.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/parsed_query_info.h"
#include "values/any.h"

namespace {

constexpr int kNAFileCommand = 10;
constexpr int kSiteSelfReference = 1;
constexpr int kSiteLiteralNoValue = 30;
constexpr int kSiteLiteralWriter = 31;
constexpr unsigned int kErrSelfReference = 32;
constexpr unsigned int kErrBadValue = 44;

constexpr int kOpLike = 32;
constexpr int kOpColumn = 47;
constexpr int kOpLiteral = 48;

const eOPEXPRESSION kNoOperator = static_cast<eOPEXPRESSION>(-1);

// Releases the current item description and clears it.
void FreeItem(INAItemDescription** ppiItem) {
  if (ppiItem == nullptr || *ppiItem == nullptr) return;
  (*ppiItem)->nExternalRelease();
  *ppiItem = nullptr;
}

bool bLocated(const _stPositionSQL& st) { return !(st.nDebut == 0 && st.nFin == 0); }

// The language's texts, dates and times given as text included.
bool bIsTextVX(unsigned short n) {
  return (n >= 16 && n <= 25) || n == VX_CARW || n == VX_PSTRW || n == VX_DATEA || n == VX_TIMEA ||
         n == 134;
}

bool bIsDateItem(eNA_ITEMTYPE e) {
  return e == NA_IT_DATE6 || e == NA_IT_DATE8 || e == NA_IT_DATETIME;
}

// The value as a counted wide text: 1, or 0 when it cannot be read.
int bWideText(const CAny& clValue, CXYString<wchar_t>* pOut) {
  return clValue.__nFillString(*pOut, nullptr) <= kVXLastSuccess ? 1 : 0;
}

// A wide text value (language type 110) of n characters.
void SetWideText(CAny* pValue, const wchar_t* psz, unsigned int n) {
  pValue->__SetType(VX_PSTRW, 0);
  pValue->SetValueByte(psz, static_cast<unsigned int>(n * sizeof(wchar_t)));
}

// Whether the text can be a partial date or time: digits, and for a
// date-time one blank after its eight date digits.
bool bPartialDigits(const wchar_t* psz, int n, bool bDateTime) {
  for (int i = 0; i < n; ++i) {
    if (psz[i] >= L'0' && psz[i] <= L'9') continue;
    if (bDateTime && i == 8 && psz[i] == L' ') continue;
    return false;
  }
  return true;
}

// An empty literal value: NULL, no type, or a null or empty text.
bool bEmptyValue(const CAny& clValue) {
  if (clValue.bIsNull()) return true;
  const unsigned short nType = clValue.nGetTypeCode();
  if (nType == VX_NONE) return true;
  if (nType == VX_DSTRW || nType == VX_DATEW || nType == VX_PSTRW || nType == 18 || nType == 19 ||
      nType == VX_DATEA) {
    CXYString<wchar_t> clText;
    if (!bWideText(clValue, &clText)) return false;
    return clText.nGetLongueur() == 0;
  }
  return false;
}

// Whether the name is the alias of a FROM table of the query (not the
// table's own name).
bool bIsQueryAlias(ISQLParserInformation* piParser, const wchar_t* pszName) {
  IInfoRequete* piParts = piParser->piGetInfoRequete();
  if (piParts == nullptr) return false;
  int nCursor = 0;
  while (IInfoFrom* piFrom = piParts->piEnumFrom(&nCursor)) {
    const wchar_t* pszAlias = piFrom->pszGetAlias();
    const wchar_t* pszTable = piFrom->pszGetNomTable();
    if (pszAlias == nullptr || STR_nCompareW(pszAlias, pszName, 3) != 0) continue;
    return pszTable == nullptr || STR_nCompareW(pszTable, pszName, 3) != 0;
  }
  return false;
}

}  // namespace

// ---- The output builder

unsigned int CNACommand::_nGetBuilderLength(CTStringConcatAW* pOut) {
  if (pOut == &m_clText) return m_nTextLength;
  return static_cast<unsigned int>(std::wcslen(pOut->pszGetW()));
}

void CNACommand::_AddToBuilder(CTStringConcatAW* pOut, const wchar_t* pszText, int nLength) {
  if (pszText == nullptr) return;
  if (nLength < 0) nLength = static_cast<int>(std::wcslen(pszText));
  if (nLength == 0) return;
  if (pOut == &m_clText) {
    bComplete(pszText, static_cast<unsigned int>(nLength));
    return;
  }
  pOut->Add(pszText, nLength);
}

void CNACommand::_CutBuilder(CTStringConcatAW* pOut, unsigned int nLength) {
  if (pOut == &m_clText) {
    Tronque(nLength, -1);
    return;
  }
  const CTString csText(pOut->pszGetW());
  if (nLength >= static_cast<unsigned int>(csText.nTaille())) return;
  pOut->Vide();
  pOut->Add(csText.pszGet(), static_cast<int>(nLength));
}

// ---- Columns

int CNACommand::_bDoExpressionColonne(CSQLParserInfo* pclInfo, CSQLParserInfo* pclOuter,
                                      const wchar_t* pszText, IExpOpExpression* piParent,
                                      IExpOpExpression* piNode, CNASqlElt::eSQLELT eKind,
                                      unsigned int* pnCopy, CTStringConcatAW* pOut,
                                      INAItemDescription** ppiItem) {
  FreeItem(ppiItem);
  if (piNode == nullptr) return 1;
  const _stPositionSQL stElement = piNode->stGetPositionElement();
  if (stElement.nDebut > 0) _CopyTo(pOut, pnCopy, pszText, static_cast<unsigned int>(stElement.nDebut));
  CTString csColumn;
  const int bResult = _bFormatExpressionItemName(pclInfo, pclOuter, piParent, piNode, eKind,
                                                 &csColumn, ppiItem, _nGetBuilderLength(pOut));
  if (bResult) {
    _AddToBuilder(pOut, csColumn.pszGet());
    // The column's own text is not copied; a column that is not located
    // leaves the copy point where it is.
    if (bLocated(stElement) && stElement.nFin >= 0 &&
        *pnCopy < static_cast<unsigned int>(stElement.nFin) + 1)
      *pnCopy = static_cast<unsigned int>(stElement.nFin) + 1;
  }
  if (piNode->bJointureExterne()) _AddToBuilder(pOut, L"(+)", 3);
  return bResult;
}

int CNACommand::_bFormatExpressionItemName(CSQLParserInfo* pclInfo, CSQLParserInfo* pclOuter,
                                           IExpOpExpression* piParent, IExpOpExpression* piNode,
                                           CNASqlElt::eSQLELT eKind, CTString* pOut,
                                           INAItemDescription** ppiItem, unsigned int nBase) {
  const wchar_t* pszWritten = piNode->pszGetNomRubrique();
  const CTString csName(pszWritten != nullptr ? pszWritten : L"");
  // An empty qualifier is none: the column is written without a table
  // unless the query's output column gives it one.
  const wchar_t* pszQualifier = pclOuter == nullptr ? piNode->pszGetNomFichier() : nullptr;
  const CTString csQualifier(pszQualifier != nullptr ? pszQualifier : L"");
  const bool bQualified = csQualifier.nTaille() > 0;
  pOut->Set(csName.pszGet());
  if (pclInfo == nullptr) return _FormatExpressionItemName(pclInfo, piParent, piNode, eKind,
                                                           nullptr, csQualifier.pszGet(),
                                                           csName.pszGet(), pOut);

  ISQLParserInformation* piParser = pclInfo->piGetParserInformationNoRef();
  CTString csTable(csQualifier.pszGet());
  CTString csItem(csName.pszGet());
  // The name is an output column's alias, not the name of a table column.
  bool bOutputAlias = false;
  IInfoRubrique* piColumn = _piGetInfoRubriqueFromAlias(
      piParser, bQualified ? csQualifier.pszGet() : nullptr, csName.pszGet());
  if (piColumn != nullptr && piColumn->bCalcul() &&
      (piColumn == m_piComputedColumn || _bComputedColumnInChain(piColumn)) &&
      piParser != nullptr) {
    // Inside the computed column being written, its own name designates the
    // table column of that name when there is one ("city || 'x' AS city"):
    // only a name that is nothing else refers back to the column.
    if (INAItemDescription* piTableItem =
            piParser->piGetNAItemDescription(csQualifier.pszGet(), csName.pszGet())) {
      piTableItem->nExternalRelease();
      piColumn = nullptr;
    }
  }
  if (piColumn != nullptr) {
    if (piColumn->bCalcul()) {
      if (piColumn == m_piComputedColumn || _bComputedColumnInChain(piColumn)) {
        const wchar_t* pszColumn = piColumn->pszGetNom();
        CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kNAFileCommand, kSiteSelfReference,
                           m_pclConnection, nullptr, nullptr, kErrSelfReference,
                           pszColumn != nullptr ? pszColumn : L"");
        return 0;
      }
      // In parentheses, so that the operator around the name applies to the
      // whole expression ("S * 2" with S = "a + b"); the expression's
      // parameters stand one character further. A command that keeps its
      // literals in the text has its computed columns keep theirs (its
      // caller takes its text alone); any other binds them.
      const unsigned int nAt = m_bLiteralBinding ? nBase + 1 : 0;
      CTString csExpression;
      if (!bFormatExpressionColonneCalculee(pclInfo, piColumn, piParent, eKind, &csExpression,
                                            nAt))
        return 0;
      pOut->Set(L"(", csExpression.pszGet(), L")", nullptr);
      return 1;
    }
    csTable.Set(piColumn->pszGetNomTableAlias());
    csItem.Set(piColumn->pszGetNomOriginal());
    bOutputAlias = STR_nCompareW(csItem.pszGet(), csName.pszGet(), 3) != 0;
  }

  CTString csTableWritten(csQualifier.pszGet());
  CTString csNameOfItem(csItem.pszGet());
  INAItemDescription* piItem =
      piParser != nullptr ? piParser->piGetNAItemDescription(csTable.pszGet(), csItem.pszGet())
                          : nullptr;
  if (piItem != nullptr) {
    if (ppiItem != nullptr) {
      // The caller's current column from now on (its reference).
      FreeItem(ppiItem);
      *ppiItem = piItem;
    }
    if (const wchar_t* psz = piItem->pszGetName()) csNameOfItem.Set(psz);
    if (bQualified && STR_nCompareW(csQualifier.pszGet(), csTable.pszGet(), 3) != 0) {
      csTableWritten.Set(csQualifier.pszGet());
    } else if (csTable.nTaille() > 0 && pclInfo->bIsTableAlias(csTable.pszGet(), nullptr)) {
      csTableWritten.Set(csTable.pszGet());
    } else if (csTable.nTaille() > 0) {
      const wchar_t* pszPhysical = pclInfo->pszGetPhysicalName(csTable.pszGet());
      if (pszPhysical != nullptr && *pszPhysical != L'\0') {
        csTableWritten.Set(pszPhysical);
      } else {
        csTableWritten.Set(csTable.pszGet());
        if (INADataSourceDescription* piSource =
                pclInfo->piGetNADataSourceDescription(csTable.pszGet())) {
          const wchar_t* pszDB = piSource->pszGetDBTableName();
          if (pszDB != nullptr && *pszDB != L'\0') csTableWritten.Set(pszDB);
          piSource->nExternalRelease();
        }
      }
    }
  }

  // The item's own name where the clause reads table columns; elsewhere
  // (HAVING on MariaDB, GROUP BY, joins...) the name as the query writes
  // it, and an output column's alias with the qualifier as written too: an
  // alias belongs to no table.
  const bool bItemName = eKind == CNASqlElt::SQLELT_SELECT_LIST || eKind == CNASqlElt::SQLELT_WHERE ||
                         (eKind == CNASqlElt::SQLELT_HAVING && !m_bServerKind5);
  if (!bItemName && bOutputAlias) csTableWritten.Set(csQualifier.pszGet());
  INAItemDescription* piCurrent = piItem;
  if (piCurrent == nullptr && ppiItem != nullptr) piCurrent = *ppiItem;
  const int bResult = _FormatExpressionItemName(
      pclInfo, piParent, piNode, eKind, piCurrent,
      csTableWritten.pszGet(), bItemName ? csNameOfItem.pszGet() : csName.pszGet(), pOut);
  // Without a current column to hand it to, the description is ours.
  if (piItem != nullptr && ppiItem == nullptr) piItem->nExternalRelease();
  return bResult;
}

int CNACommand::_FormatExpressionItemName(CSQLParserInfo*, IExpOpExpression* piParent,
                                          IExpOpExpression*, CNASqlElt::eSQLELT eKind,
                                          INAItemDescription* piItem, const wchar_t* pszTable,
                                          const wchar_t* pszName, CTString* pOut) {
  const eOPEXPRESSION eOperator = piParent != nullptr ? piParent->eGetOperateur() : kNoOperator;
  // Copied first: the names may live in *pOut itself.
  const CTString csTable(pszTable != nullptr ? pszTable : L"");
  const CTString csName(pszName != nullptr ? pszName : L"");
  return FormatExpressionItemName(pOut, eKind, eOperator, piParent, piItem, csTable.pszGet(),
                                  csName.pszGet());
}

int CNACommand::_bDoExpressionColonne(CSQLParserInfo* pclInfo, const wchar_t* pszText,
                                      IExpOpExpression* piNode, unsigned int* pnCopy,
                                      CTStringConcatAW* pOut) {
  if (piNode == nullptr) return 1;
  const _stPositionSQL stElement = piNode->stGetPositionElement();
  if (stElement.nDebut > 0) _CopyTo(pOut, pnCopy, pszText, static_cast<unsigned int>(stElement.nDebut));
  const wchar_t* pszQualifier = piNode->pszGetNomFichier();
  CTString csTable;
  if (pszQualifier != nullptr && *pszQualifier != L'\0') {
    csTable.Set(pszQualifier);
    if (pclInfo != nullptr) {
      INADataSourceDescription* piSource = nullptr;
      if (!pclInfo->bIsTableAlias(pszQualifier, &piSource)) {
        const wchar_t* pszPhysical = pclInfo->pszGetPhysicalName(pszQualifier);
        if (pszPhysical != nullptr && *pszPhysical != L'\0') {
          csTable.Set(pszPhysical);
        } else if (piSource != nullptr && piSource->pszGetDBTableName() != nullptr &&
                   *piSource->pszGetDBTableName() != L'\0') {
          csTable.Set(piSource->pszGetDBTableName());
        }
      }
      if (piSource != nullptr) piSource->nExternalRelease();
    }
  }
  const int nServerKind = m_pclConnection->nGetServerKind();
  if (m_eKind == NA_CMD_UPDATE && (nServerKind == 6 || nServerKind == 8 || nServerKind == 13))
    csTable.Vide();
  CTString csColumn;
  // A name the writers refuse is never written as it stands.
  if (!_FormatTableAndItemName(&csColumn, csTable.pszGet(), piNode->pszGetNomRubrique())) return 0;
  _AddToBuilder(pOut, csColumn.pszGet());
  if (piNode->bJointureExterne()) _AddToBuilder(pOut, L"(+)", 3);
  if (bLocated(stElement) && stElement.nFin >= 0 &&
      *pnCopy < static_cast<unsigned int>(stElement.nFin) + 1)
    *pnCopy = static_cast<unsigned int>(stElement.nFin) + 1;
  return 1;
}

int CNACommand::_bExpressionColonneToSQL(CSQLParserInfo* pclInfo, const wchar_t* pszText,
                                         IExpOpExpression* piNode, unsigned int* pnCopy,
                                         CTStringConcatAW* pOut) {
  if (piNode == nullptr) return 1;
  if (static_cast<int>(piNode->eGetOperateur()) == kOpColumn &&
      !_bDoExpressionColonne(pclInfo, pszText, piNode, pnCopy, pOut))
    return 0;
  IExpOpExpression* piLeft = piNode->piGetOperandeGauche();
  const int bLeft = _bExpressionColonneToSQL(pclInfo, pszText, piLeft, pnCopy, pOut);
  if (piLeft != nullptr) piLeft->Release();
  if (!bLeft) return 0;
  IExpOpExpression* piRight = piNode->piGetOperandeDroit();
  const int bRight = _bExpressionColonneToSQL(pclInfo, pszText, piRight, pnCopy, pOut);
  if (piRight != nullptr) piRight->Release();
  return bRight;
}

// ---- Item names of an unparsed condition

void CNACommand::_FormatItemNameInWHEREClause(ISQLParserInformation* piParser,
                                              const wchar_t* pszTable, CTString* pItem,
                                              CNAParameter* pclParameter) {
  if (piParser == nullptr || pItem == nullptr) return;
  CTString csTable(pszTable != nullptr ? pszTable : L"");
  CTString csItem(pItem->pszGet());
  if (IInfoRubrique* piColumn = _piGetInfoRubriqueFromAlias(
          piParser, csTable.nTaille() > 0 ? csTable.pszGet() : nullptr, csItem.pszGet())) {
    if (!piColumn->bCalcul()) {
      csTable.Set(piColumn->pszGetNomTableAlias());
      csItem.Set(piColumn->pszGetNomOriginal());
    }
  }
  INAItemDescription* piItem = piParser->piGetNAItemDescription(csTable.pszGet(), csItem.pszGet());
  if (piItem == nullptr) return;
  // The table under the name the server knows it by, as everywhere else:
  // its physical name, else its data source's database table name.
  // An alias of the query stays: the text names its table by it.
  CTString csPhysical;
  if (csTable.nTaille() > 0 && bIsQueryAlias(piParser, csTable.pszGet())) {
    // kept
  } else if (csTable.nTaille() > 0 &&
      CSQLParserInfo::s_bGetPhysicalName(piParser, csTable.pszGet(), &csPhysical) &&
      csPhysical.nTaille() > 0) {
    csTable.Transfert(csPhysical);
  } else if (csTable.nTaille() > 0) {
    if (INADataSourceDescription* piSource = piParser->piGetNADataSourceDescription(csTable.pszGet())) {
      const wchar_t* pszDB = piSource->pszGetDBTableName();
      if (pszDB != nullptr && *pszDB != L'\0') csTable.Set(pszDB);
      piSource->nExternalRelease();
    }
  }
  // The item's own name in its table, not an output column's alias.
  const CTString csPrevious(pItem->pszGet());
  const wchar_t* pszOwn = piItem->pszGetName();
  pItem->Set(pszOwn != nullptr && *pszOwn != L'\0' ? pszOwn : csItem.pszGet());
  _FormatItemNameInWHEREClause(piParser, piItem, csTable.pszGet(), pItem, pclParameter);
  // A name the writers refuse leaves the query's own spelling, as for a
  // name the parser does not know; the refusal stays in the error object.
  if (pItem->nTaille() == 0) pItem->Set(csPrevious.pszGet());
  piItem->nExternalRelease();
}

void CNACommand::_FormatItemNameInWHEREClause(ISQLParserInformation*, INAItemDescription* piItem,
                                              const wchar_t* pszTable, CTString* pItem,
                                              CNAParameter* pclParameter) {
  const CTString csName(pItem->pszGet());
  const CTString csTable(pszTable != nullptr ? pszTable : L"");
  const eOPEXPRESSION eOperator =
      pclParameter != nullptr ? pclParameter->eGetOperator() : kNoOperator;
  FormatExpressionItemName(pItem, CNASqlElt::SQLELT_WHERE, eOperator, nullptr, piItem,
                           csTable.pszGet(), csName.pszGet());
}

// ---- Literals

int CNACommand::_bShouldAddParameter(CSQLParserInfo*, IExpOpExpression*, IExpOpExpression*,
                                     CNASqlElt::eSQLELT, INAItemDescription*) {
  return m_bLiteralBinding;
}

namespace {

// User error 44 for a literal whose value the parser cannot give.
int RaiseLiteralWithoutValue(CNAError* pclError, CNAConnectionDescription* pclConnection,
                             const _stPositionSQL& stElement) {
  CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kNAFileCommand, kSiteLiteralNoValue,
                     pclConnection, nullptr, nullptr, kErrBadValue);
  if (pclError != nullptr) {
    wchar_t szDebug[96];
    std::swprintf(szDebug, 96, L"literal without value at %d..%d", static_cast<int>(stElement.nDebut),
                  static_cast<int>(stElement.nFin));
    pclError->AddDebugMessageNoFormat(szDebug);
  }
  return 0;
}

}  // namespace

int CNACommand::_bDoExpressionLiteral(CSQLParserInfo* pclInfo, const wchar_t* pszText,
                                      IExpOpExpression* piParent, IExpOpExpression* piNode,
                                      CNASqlElt::eSQLELT eKind, INAItemDescription* piItem,
                                      unsigned int* pnCopy, CTStringConcatAW* pOut,
                                      eNA_ITEMTYPE eLiteralType) {
  if (piNode == nullptr) return 1;
  const _stPositionSQL stElement = piNode->stGetPositionElement();
  // A literal that is not located stays in the copied text.
  if (!bLocated(stElement) || stElement.nFin < stElement.nDebut || stElement.nDebut < 0) return 1;
  const bool bBind = _bShouldAddParameter(pclInfo, piParent, piNode, eKind, piItem) != 0;
  CAny clValue;
  if (!piNode->bGetValeur(&clValue)) {
    const wchar_t* pszName = piNode->pszGetNomParametre();
    if (pszName == nullptr || pszName[0] == 0)
      return RaiseLiteralWithoutValue(m_pclError, m_pclConnection, stElement);
    // A "{name}" of the query whose value the server gives when the query
    // runs: a named parameter, refreshed from the server's values before
    // each run (an error naming it when the server has none). Written into
    // the text, it has no value to be written from.
    if (!bBind) {
      _RaiseParameterWithoutValue(pszName);
      return 0;
    }
    CNAConvertVariant* pclEmpty = _vpclGetNewVariant(nullptr, nullptr);
    if (pclEmpty == nullptr) return 0;
    pclEmpty->AddRef();
    const unsigned int nCount = nGetParameterNbr();
    const eOPEXPRESSION eParent = piParent != nullptr ? piParent->eGetOperateur() : kNoOperator;
    const int bAdded = bAddParameter(pclEmpty, eParent, kNAParamLiteral | kNAParamUser, nullptr,
                                     pszName, 0, CNAParameter::NA_PARAM_IN);
    pclEmpty->nRelease();
    if (!bAdded || nGetParameterNbr() <= nCount) return 0;
    _CopyTo(pOut, pnCopy, pszText, static_cast<unsigned int>(stElement.nDebut));
    if (*pnCopy < static_cast<unsigned int>(stElement.nFin) + 1)
      *pnCopy = static_cast<unsigned int>(stElement.nFin) + 1;
    pclGetParameterNoRef(nGetParameterNbr() - 1)->SetPosition(_nGetBuilderLength(pOut));
    return 1;
  }
  const eOPEXPRESSION eOperator = piParent != nullptr ? piParent->eGetOperateur() : kNoOperator;
  const bool bLike = static_cast<int>(eOperator) == kOpLike && bIsTextVX(clValue.nGetTypeCode());
  const wchar_t cEscape = bLike && piParent != nullptr ? piParent->cGetEscape() : 0;

  if (!bBind) {
    // Written again from its value (see the file comment).
    _CopyTo(pOut, pnCopy, pszText, static_cast<unsigned int>(stElement.nDebut));
    CTStringConcatAW clLiteral(kConcatModeWide, m_pclConnection->nGetLanguageCodePage());
    int bWritten;
    if (bLike) {
      CXYString<wchar_t> clPattern;
      CTString csTranslated;
      CAny clPatternValue;
      bWritten = bWideText(clValue, &clPattern) &&
                 s_bTranslateLikePattern(clPattern.pszGet(),
                                         static_cast<unsigned int>(clPattern.nGetLongueur()),
                                         cEscape, &csTranslated);
      if (bWritten) {
        clPatternValue.__SetType(VX_DSTRW, 0);
        clPatternValue.SetValueByte(csTranslated.pszGet(),
                                    static_cast<unsigned int>(csTranslated.nTaille()) *
                                        sizeof(wchar_t));
        bWritten = m_pclConnection->bConvertValueToString(m_pclError, &clLiteral, &clPatternValue,
                                                          0, 0, 0, 0);
      }
    } else {
      bWritten =
          m_pclConnection->bConvertValueToString(m_pclError, &clLiteral, &clValue, 0, 0, 0, 0);
    }
    if (!bWritten || clLiteral.bEchec()) {
      CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kNAFileCommand, kSiteLiteralWriter,
                         m_pclConnection, nullptr, nullptr, kErrBadValue);
      return 0;
    }
    _AddToBuilder(pOut, clLiteral.pszGetW());
    if (*pnCopy < static_cast<unsigned int>(stElement.nFin) + 1)
      *pnCopy = static_cast<unsigned int>(stElement.nFin) + 1;
    if (bLike) {
      // The pattern now escapes with "!": the query's own ESCAPE clause,
      // which ends the LIKE, gives way to the command's.
      const _stPositionSQL stLike = piParent->stGetPosition();
      if (cEscape != 0 && stLike.nFin >= 0 && *pnCopy < static_cast<unsigned int>(stLike.nFin) + 1)
        *pnCopy = static_cast<unsigned int>(stLike.nFin) + 1;
      _AddToBuilder(pOut, L" ESCAPE '!'", 11);
    }
    return 1;
  }

  const unsigned int nBefore = nGetParameterNbr();
  int bResult;
  if (bLike) {
    bResult = bAddParameter(&clValue, static_cast<eOPEXPRESSION>(kOpLike),
                            kNAParamLiteral | kNAParamLike, nullptr, cEscape,
                            CNAParameter::NA_PARAM_IN);
  } else {
    bResult = bAddParameter(&clValue, eOperator, kNAParamLiteral, nullptr, 0,
                            CNAParameter::NA_PARAM_IN);
  }
  if (!bResult || nGetParameterNbr() <= nBefore) return 0;
  CNAParameter* pclParameter = pclGetParameterNoRef(nGetParameterNbr() - 1);
  _CopyTo(pOut, pnCopy, pszText, static_cast<unsigned int>(stElement.nDebut));
  if (*pnCopy < static_cast<unsigned int>(stElement.nFin) + 1)
    *pnCopy = static_cast<unsigned int>(stElement.nFin) + 1;
  pclParameter->SetPosition(_nGetBuilderLength(pOut));
  if (eLiteralType == NA_IT_EMPTY && piItem != nullptr) {
    pclParameter->SetItem(piItem);
    if (pclInfo != nullptr && pclInfo->pclGetRecordNoRef() != nullptr) {
      if (CNAColumn* pclColumn = pclInfo->pclGetRecordNoRef()->pclGetColumnNoRef(piItem))
        pclParameter->SetColum(pclColumn);
    }
  }
  _FormatExpressionLiteral(pclInfo, piParent, piNode, eKind, piItem, pclParameter, eLiteralType);
  return bResult;
}

void CNACommand::_FormatExpressionLiteral(CSQLParserInfo*, IExpOpExpression* piParent,
                                          IExpOpExpression*, CNASqlElt::eSQLELT eKind,
                                          INAItemDescription* piItem, CNAParameter* pclParameter,
                                          eNA_ITEMTYPE eLiteralType) {
  if (pclParameter == nullptr) return;
  const eOPEXPRESSION eOperator = piParent != nullptr ? piParent->eGetOperateur() : kNoOperator;
  if (piParent != nullptr &&
      (eKind == CNASqlElt::SQLELT_WHERE || eKind == CNASqlElt::SQLELT_HAVING)) {
    if (IExpOpExpression* piFirst = piParent->piGetOperandeGauche()) {
      if (eLiteralType == NA_IT_EMPTY) {
        eNA_ITEMTYPE eFirst = static_cast<eNA_ITEMTYPE>(
            CNADataSourceDescription::g_eGetNAItemType(static_cast<int>(piFirst->eGetZBType())));
        const eNA_ITEMTYPE eAs = eGetFormatExpressionColonne(eKind, eFirst, eOperator, piParent);
        eLiteralType = eAs != NA_IT_EMPTY ? eAs : eFirst;
      }
      piFirst->Release();
    }
  }
  FormatExpressionLiteral(eKind, eOperator, piParent, piItem, eLiteralType,
                          pclParameter->pclGetValueNoRef());
}

void CNACommand::FormatExpressionLiteral(CNASqlElt::eSQLELT eKind, eOPEXPRESSION eOperator,
                                         IExpOpExpression*, INAItemDescription* piItem,
                                         eNA_ITEMTYPE eLiteralType, CNAConvertVariant* pclValue) {
  if (pclValue == nullptr) return;
  const eNA_ITEMTYPE eItemType = piItem != nullptr ? piItem->eNAGetItemType() : NA_IT_EMPTY;
  if (eLiteralType == NA_IT_EMPTY && piItem != nullptr) {
    const eNA_ITEMTYPE eAs = eGetFormatExpressionColonne(eKind, eItemType, eOperator, nullptr);
    eLiteralType = eAs != NA_IT_EMPTY ? eAs : eItemType;
  }
  if (eLiteralType == NA_IT_EMPTY) return;
  CAny clValue;
  if (!pclValue->bGetValue(&clValue) || clValue.bIsNull()) return;

  // Partial dates and times are completed at their minimum before the
  // cast: "2019" is the first of January 2019. A date is so completed under
  // every comparison, not only = and <>: MariaDB reads a partial date as no
  // date at all ("born < '2000'" would hold for no row), where its first
  // instant gives "born < '2000-01-01'".
  const int nOperator = static_cast<int>(eOperator);
  const bool bEquality = nOperator == 9 || nOperator == 10;
  const bool bComparison = nOperator >= 9 && nOperator <= 14;
  if ((bEquality || (bComparison && eItemType != NA_IT_HEURE)) && piItem != nullptr &&
      bIsTextVX(clValue.nGetTypeCode())) {
    CXYString<wchar_t> clText;
    if (bWideText(clValue, &clText)) {
      const int n = clText.nGetLongueur();
      const int nSize = piItem->nGetLogicalSize(0);
      CXTime clTime;
      CTString csCompleted;
      int nLength = 0;
      if (eItemType == NA_IT_HEURE && n < nSize && bPartialDigits(clText.pszGet(), n, false) &&
          clTime.bSetVXTimeMin(clText.pszGet(), 0)) {
        clTime.GetVXTimeHHMMSSCCm(csCompleted);
        nLength = nSize;
      } else if ((eItemType == NA_IT_DATE6 || eItemType == NA_IT_DATE8) && n < nSize &&
                 bPartialDigits(clText.pszGet(), n, false) &&
                 clTime.bSetVXDateTimeMin(clText.pszGet(), 0)) {
        clTime.GetVXDate(csCompleted);
        nLength = nSize;
      } else if (eItemType == NA_IT_DATETIME && n <= 16 &&
                 bPartialDigits(clText.pszGet(), n, true) &&
                 clTime.bSetVXDateTimeMin(clText.pszGet(), 0)) {
        clTime.GetVXTimeAAAAMMJJHHMMSSCCm(csCompleted);
        nLength = 17;
      }
      if (nLength > 0) {
        if (nLength > csCompleted.nTaille()) nLength = csCompleted.nTaille();
        SetWideText(&clValue, csCompleted.pszGet(), static_cast<unsigned int>(nLength));
        pclValue->InitTypeVariantAny(clValue.nGetTypeCode(), 0);
        pclValue->bSetValue(&clValue);
      }
    }
  }

  // A time compared as its digits: the literal is its digits, cut or padded
  // to the column's record text (a pattern's "%" kept at its end).
  const unsigned short nType = clValue.nGetTypeCode();
  if (eLiteralType == NA_IT_TEXTE && eItemType == NA_IT_HEURE &&
      (nType == VX_TIMEW || nType == VX_TIMEA || nType == 8 || nType == 9)) {
    CAny clText(clValue);
    if (clText.__nCastTo(VX_PSTRW, nullptr, 1) <= kVXLastSuccess) {
      CXYString<wchar_t> clChars;
      if (bWideText(clText, &clChars)) {
        const int nTarget = piItem->nGetItemSize() - 1;
        const int n = clChars.nGetLongueur();
        if (nTarget > 0) {
          CTString csDigits;
          if (n >= nTarget) {
            csDigits.Set(clChars.pszGet(), static_cast<unsigned int>(nTarget));
          } else {
            csDigits.Set(clChars.pszGet(), static_cast<unsigned int>(n));
            if (!(n >= 2 && clChars.pszGet()[n - 1] == L'%')) {
              for (int i = n; i < nTarget; ++i) csDigits.Add(L'0');
            }
          }
          SetWideText(&clText, csDigits.pszGet(), static_cast<unsigned int>(csDigits.nTaille()));
        }
        pclValue->InitTypeVariantAny(clText.nGetTypeCode(), 0);
        pclValue->bSetValue(&clText);
        return;
      }
    }
  }

  // The cast runs on a copy: a refused cast leaves the value as it was.
  CAny clCast;
  if (!pclValue->bGetValue(&clCast)) return;
  if (m_pclConnection->bCastCAnyIntoDBType(nullptr, &clCast, 0, eLiteralType, 0)) {
    pclValue->InitTypeVariantAny(clCast.nGetTypeCode(), 0);
    pclValue->bSetValue(&clCast);
  }
}

// ---- Literal types

eNA_ITEMTYPE CNACommand::_eTypeParameter(CNASqlElt::eSQLELT eKind, IExpOpExpression* piNode,
                                         unsigned int nIndex, eNA_ITEMTYPE eLiteralType,
                                         INAItemDescription** ppiItem) {
  if (piNode == nullptr) return NA_IT_EMPTY;
  const eOPEXPRESSION eOperator = piNode->eGetOperateur();
  INAItemDescription* piItem = ppiItem != nullptr ? *ppiItem : nullptr;
  switch (static_cast<int>(eOperator)) {
    case 1:
    case 3:
      return nIndex == 0 ? eLiteralType : NA_IT_EMPTY;
    case 59:
    case 70:
      if (nIndex == 1) FreeItem(ppiItem);
      return NA_IT_EMPTY;
    case 74:
    case 107:
      FreeItem(ppiItem);
      return NA_IT_EMPTY;
    case 88: {
      FreeItem(ppiItem);
      const int nCodePage = m_pclConnection->nGetConnectionCodePage();
      return nCodePage == kConcatModeWide || nCodePage == 65001 ? NA_IT_UNICODE : NA_IT_TEXTE;
    }
    case 94:
    case 106:
      if (nIndex == 0) return NA_IT_EMPTY;
      if (nIndex % 2 == 0 || _bLastOperande(piNode, nIndex)) FreeItem(ppiItem);
      return NA_IT_EMPTY;
    case 98:
      if (nIndex == 0) {
        return piItem != nullptr && bIsDateItem(piItem->eNAGetItemType()) ? NA_IT_EMPTY
                                                                          : NA_IT_DATETIME;
      }
      if (nIndex == 1) {
        FreeItem(ppiItem);
        return NA_IT_I4;
      }
      return NA_IT_EMPTY;
    case 99:
      return nIndex == 0 ? NA_IT_DATE8 : NA_IT_EMPTY;
    case 100:
      return NA_IT_DATE8;
    case 101:
      if (nIndex == 0) return NA_IT_DATE8;
      if (nIndex == 1) FreeItem(ppiItem);
      return NA_IT_EMPTY;
    case 102:
      if (nIndex == 0) return NA_IT_DATETIME;
      if (nIndex == 1 || nIndex == 2) {
        FreeItem(ppiItem);
        return NA_IT_TEXTE;
      }
      return NA_IT_EMPTY;
    default:
      if (piItem == nullptr) return NA_IT_EMPTY;
      return eGetFormatExpressionColonne(eKind, piItem->eNAGetItemType(), eOperator, piNode);
  }
}

namespace {

// What a node of this operator leaves of the current item description: 0
// kept, 1 kept only for a text item, 2 kept only for a date item, 3 dropped.
int nTypeRetourRule(int n) {
  if (n < 7 || n > 182) return 0;
  if (n == 8 || (n >= 27 && n <= 30) || (n >= 34 && n <= 41) || n == 47 || (n >= 59 && n <= 72) ||
      n == 103 || (n >= 110 && n <= 114) || (n >= 131 && n <= 134) || (n >= 136 && n <= 149) ||
      n == 156 || (n >= 163 && n <= 168) || n == 171 || n == 175 || n == 180)
    return 0;
  if ((n >= 42 && n <= 46) || (n >= 50 && n <= 53) || n == 75 || n == 76 || (n >= 80 && n <= 88) ||
      n == 105 || (n >= 118 && n <= 130))
    return 1;
  if ((n >= 97 && n <= 99) || n == 101 || n == 102 || n == 104 || n == 109) return 2;
  return 3;
}

}  // namespace

void CNACommand::_TypeRetour(CNASqlElt::eSQLELT, IExpOpExpression* piNode,
                             INAItemDescription** ppiItem) {
  if (piNode == nullptr || ppiItem == nullptr || *ppiItem == nullptr) return;
  const eNA_ITEMTYPE eType = (*ppiItem)->eNAGetItemType();
  switch (nTypeRetourRule(static_cast<int>(piNode->eGetOperateur()))) {
    case 0:
      return;
    case 1:
      if (eType == NA_IT_TEXTE || eType == NA_IT_MEMOTEXTE || eType == NA_IT_UNICODE ||
          eType == NA_IT_MEMOUNICODE)
        return;
      break;
    case 2:
      if (bIsDateItem(eType)) return;
      break;
    default:
      break;
  }
  FreeItem(ppiItem);
}

int CNACommand::_bLastOperande(IExpOpExpression* piNode, unsigned int nIndex) {
  if (piNode == nullptr) return 0;
  int nCursor = 0;
  unsigned int nCount = 0;
  while (IExpOpExpression* piOperand = piNode->piEnumOperande(&nCursor)) {
    ++nCount;
    piOperand->Release();
  }
  return nCount == nIndex + 1 ? 1 : 0;
}

// ---- Empty dates

int CNACommand::_bExpressionDateEmpty(CTStringConcatAW* pOut, unsigned int* pnCopy,
                                      IExpOpExpression* piNode, const wchar_t* pszText,
                                      unsigned int nMark, INAItemDescription* piItem) {
  if (piNode == nullptr || piItem == nullptr || !bIsDateItem(piItem->eNAGetItemType())) return 0;
  const int nOperator = static_cast<int>(piNode->eGetOperateur());
  if (nOperator < 9 || nOperator > 14) return 0;
  IExpOpExpression* piLiteral = piNode->piGetOperandeDroit();
  if (piLiteral == nullptr) return 0;
  CAny clValue;
  if (static_cast<int>(piLiteral->eGetOperateur()) != kOpLiteral ||
      !piLiteral->bGetValeur(&clValue) || !bEmptyValue(clValue)) {
    piLiteral->Release();
    return 0;
  }
  // What an empty date compares to: NULL, at the place NULL sorts.
  const bool bNullFirst = m_pclConnection->bNULLBeforeNotNULL() != 0;
  struct Rewrite {
    bool bCut;
    const wchar_t* pszText;
  };
  static const Rewrite kNullFirst[6] = {{false, L" IS NULL "}, {false, L" IS NOT NULL "},
                                        {true, L" 0=1 "},      {false, L" IS NULL "},
                                        {false, L" IS NOT NULL "}, {true, L" 1=1 "}};
  static const Rewrite kNullLast[6] = {{false, L" IS NULL "}, {false, L" IS NOT NULL "},
                                       {false, L" IS NOT NULL "}, {true, L" 1=1 "},
                                       {true, L" 0=1 "},      {false, L" IS NULL "}};
  const Rewrite& r = (bNullFirst ? kNullFirst : kNullLast)[nOperator - 9];
  if (r.bCut) {
    _CutBuilder(pOut, nMark);
    _bCopyPreviousQueryContent(pOut, pnCopy, piNode, pszText);
  }
  _AddToBuilder(pOut, r.pszText);
  const _stPositionSQL stLiteral = piLiteral->stGetPositionElement();
  if (bLocated(stLiteral) && stLiteral.nFin >= 0 &&
      *pnCopy < static_cast<unsigned int>(stLiteral.nFin) + 1)
    *pnCopy = static_cast<unsigned int>(stLiteral.nFin) + 1;
  piLiteral->Release();
  return 1;
}

int CNACommand::_bCopyPreviousQueryContent(CTStringConcatAW* pOut, unsigned int* pnCopy,
                                           IExpOpExpression* piNode, const wchar_t* pszText) {
  if (piNode == nullptr) return 1;
  IExpOpExpression* piFirst = piNode->piGetOperandeGauche();
  if (piFirst == nullptr) return 1;
  const _stPositionSQL stFirst = piFirst->stGetPositionElement();
  piFirst->Release();
  if (stFirst.nDebut > 0) _CopyTo(pOut, pnCopy, pszText, static_cast<unsigned int>(stFirst.nDebut));
  return 1;
}
