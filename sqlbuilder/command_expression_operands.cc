// The operands of parsed expressions: column and literal nodes, literal
// types, empty dates. (Being built.)
#include "sqlbuilder/command.h"

int CNACommand::_bDoExpressionColonne(CSQLParserInfo*, CSQLParserInfo*, const wchar_t*,
                                      IExpOpExpression*, IExpOpExpression*, CNASqlElt::eSQLELT,
                                      unsigned int*, CTStringConcatAW*, INAItemDescription**) {
  return 0;
}
int CNACommand::_bDoExpressionColonne(CSQLParserInfo*, const wchar_t*, IExpOpExpression*,
                                      unsigned int*, CTStringConcatAW*) {
  return 0;
}
int CNACommand::_bExpressionColonneToSQL(CSQLParserInfo*, const wchar_t*, IExpOpExpression*,
                                         unsigned int*, CTStringConcatAW*) {
  return 0;
}
int CNACommand::_bFormatExpressionItemName(CSQLParserInfo*, CSQLParserInfo*, IExpOpExpression*,
                                           IExpOpExpression*, CNASqlElt::eSQLELT, CTString*,
                                           INAItemDescription**, unsigned int) {
  return 0;
}
int CNACommand::_FormatExpressionItemName(CSQLParserInfo*, IExpOpExpression*, IExpOpExpression*,
                                          CNASqlElt::eSQLELT, INAItemDescription*, const wchar_t*,
                                          const wchar_t*, CTString*) {
  return 0;
}
void CNACommand::_FormatItemNameInWHEREClause(ISQLParserInformation*, const wchar_t*, CTString*,
                                              CNAParameter*) {}
void CNACommand::_FormatItemNameInWHEREClause(ISQLParserInformation*, INAItemDescription*,
                                              const wchar_t*, CTString*, CNAParameter*) {}
int CNACommand::_bShouldAddParameter(CSQLParserInfo*, IExpOpExpression*, IExpOpExpression*,
                                     CNASqlElt::eSQLELT, INAItemDescription*) {
  return m_bLiteralBinding;
}
int CNACommand::_bDoExpressionLiteral(CSQLParserInfo*, const wchar_t*, IExpOpExpression*,
                                      IExpOpExpression*, CNASqlElt::eSQLELT, INAItemDescription*,
                                      unsigned int*, CTStringConcatAW*, eNA_ITEMTYPE) {
  return 0;
}
void CNACommand::_FormatExpressionLiteral(CSQLParserInfo*, IExpOpExpression*, IExpOpExpression*,
                                          CNASqlElt::eSQLELT, INAItemDescription*, CNAParameter*,
                                          eNA_ITEMTYPE) {}
void CNACommand::FormatExpressionLiteral(CNASqlElt::eSQLELT, eOPEXPRESSION, IExpOpExpression*,
                                         INAItemDescription*, eNA_ITEMTYPE, CNAConvertVariant*) {}
eNA_ITEMTYPE CNACommand::_eTypeParameter(CNASqlElt::eSQLELT, IExpOpExpression*, unsigned int,
                                         eNA_ITEMTYPE, INAItemDescription**) {
  return NA_IT_EMPTY;
}
void CNACommand::_TypeRetour(CNASqlElt::eSQLELT, IExpOpExpression*, INAItemDescription**) {}
int CNACommand::_bLastOperande(IExpOpExpression*, unsigned int) { return 0; }
int CNACommand::_bExpressionDateEmpty(CTStringConcatAW*, unsigned int*, IExpOpExpression*,
                                      const wchar_t*, unsigned int, INAItemDescription*) {
  return 0;
}
int CNACommand::_bCopyPreviousQueryContent(CTStringConcatAW*, unsigned int*, IExpOpExpression*,
                                           const wchar_t*) {
  return 0;
}
