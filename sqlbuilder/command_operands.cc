// The command's column operands: how a column is written into a condition,
// with its table, through the connection's name writers, and when a date or
// time column must be turned into its record text so that it compares with a
// text value. The search-condition tree writes its columns through here; the
// parsed-query writers will too.
//
// A name is never pasted into the statement: a name the writers refuse
// (empty, holding a NUL, or a character the connection's code page cannot
// hold) fails the operand with the writer's error, and the caller writes
// nothing.
#include <new>

#include "core/mixed_width_concat.h"
#include "driver/connection_description.h"
#include "driver/na_error.h"
#include "kq230/item_description_interface.h"
#include "kq230/sql_parser_interface.h"
#include "sqlbuilder/command.h"

namespace {

constexpr int kNAFileCommand = 10;
constexpr int kSiteConvertNoMemory = 20;
constexpr unsigned int kErrNoMemory = 12;

// Operator codes whose operands are compared as texts: string functions and
// pattern tests, whatever the connection.
bool bTextOperator(int eOperator) {
  return (eOperator >= 15 && eOperator <= 21) || eOperator == 32 ||
         (eOperator >= 42 && eOperator <= 46) || (eOperator >= 50 && eOperator <= 57);
}

// The comparisons (=, <>, <, <=, >, >=) and the two range tests.
bool bComparisonOperator(int eOperator) {
  return (eOperator >= 9 && eOperator <= 14) || eOperator == 22 || eOperator == 23;
}

}  // namespace

eNA_ITEMTYPE CNACommand::eGetFormatExpressionColonne(CNASqlElt::eSQLELT eKind, eNA_ITEMTYPE eType,
                                                     eOPEXPRESSION eOperator,
                                                     IExpOpExpression* piNode) {
  // IS NULL reads no value: the column stays as it is.
  if (static_cast<int>(eOperator) == 33) return NA_IT_EMPTY;
  if (eType != NA_IT_HEURE && eType != NA_IT_DATE8 && eType != NA_IT_DATETIME) return NA_IT_EMPTY;
  return _eGetFormatExpressionColonneForDateTime(eKind, eType, eOperator, piNode);
}

eNA_ITEMTYPE CNACommand::_eGetFormatExpressionColonneForDateTime(CNASqlElt::eSQLELT eKind,
                                                                 eNA_ITEMTYPE eType,
                                                                 eOPEXPRESSION eOperator,
                                                                 IExpOpExpression*) {
  const int nOperator = static_cast<int>(eOperator);
  // A time the server cannot hold as a time is kept as its digits: in a
  // condition, grouping or order it is only comparable as text.
  const bool bTimeAsText = eType == NA_IT_HEURE && !m_pclConnection->bSupportItemTime();
  if (bTimeAsText && eKind >= CNASqlElt::SQLELT_WHERE && eKind <= CNASqlElt::SQLELT_ORDERBY) {
    return NA_IT_TEXTE;
  }
  if (bTextOperator(nOperator)) return NA_IT_TEXTE;
  if (bTimeAsText && bComparisonOperator(nOperator)) return NA_IT_TEXTE;
  return NA_IT_EMPTY;
}

int CNACommand::_FormatTableAndItemName(CTString* pOut, const wchar_t* pszTable,
                                        const wchar_t* pszName) {
  pOut->Vide();
  CTString csItem;
  // The writer refuses an empty item: "t." names no column.
  if (!_FormatItemName(pszName, &csItem)) return 0;
  if (pszTable == nullptr || *pszTable == L'\0') {
    pOut->Transfert(csItem);
    return 1;
  }
  CTString csTable;
  if (!_FormatTableName(pszTable, &csTable)) return 0;
  csTable.Add(L'.');
  csTable.Add(csItem.pszGet());
  pOut->Transfert(csTable);
  return 1;
}

int CNACommand::_bFormatAndConvertItemInClause(CNASqlElt::eSQLELT, INAItemDescription* piItem,
                                               const wchar_t* pszTable, const wchar_t* pszName,
                                               CTString* pOut, eOPEXPRESSION, IExpOpExpression*) {
  CTString csColumn;
  if (!_FormatTableAndItemName(&csColumn, pszTable, pszName)) {
    pOut->Vide();
    return 0;
  }
  // Wide, so that nothing of the names is lost on the way back.
  CTStringConcatAW clConverted(kConcatModeWide, m_pclConnection->nGetLanguageCodePage());
  const int bConverted = m_pclConnection->bConvertExpressionToString(
      m_pclError, &clConverted, csColumn.pszGet(), piItem, nullptr);
  if (!bConverted) {
    // Not a date or time: the column is compared as it is.
    pOut->Transfert(csColumn);
    return 1;
  }
  if (clConverted.bEchec()) {
    CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kNAFileCommand, kSiteConvertNoMemory,
                       m_pclConnection, nullptr, nullptr, kErrNoMemory);
    pOut->Vide();
    return 0;
  }
  pOut->Set(clConverted.pszGetW());
  return 1;
}

int CNACommand::FormatExpressionItemName(CTString* pOut, CNASqlElt::eSQLELT eKind,
                                         eOPEXPRESSION eOperator, IExpOpExpression* piParent,
                                         INAItemDescription* piItem, const wchar_t* pszTable,
                                         const wchar_t* pszName) {
  if (piItem != nullptr && eGetFormatExpressionColonne(eKind, piItem->eNAGetItemType(), eOperator,
                                                       piParent) != NA_IT_EMPTY) {
    return _bFormatAndConvertItemInClause(eKind, piItem, pszTable, pszName, pOut, eOperator,
                                          piParent);
  }
  return _FormatTableAndItemName(pOut, pszTable, pszName);
}
