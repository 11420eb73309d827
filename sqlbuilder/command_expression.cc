// The expression walk and the rewriting of whole parsed queries.
// (Being built.)
#include "sqlbuilder/command.h"

int CNACommand::bFormatCondition(CSQLParserInfo*, CNACommand*, int, int) { return 0; }
int CNACommand::bFormatConditionReq(CSQLParserInfo*, CNACommand*, int, const wchar_t*, unsigned int,
                                    int, int, unsigned int*) {
  return 0;
}
int CNACommand::bComplete(ISQLParserInformation*) { return 0; }
int CNACommand::_bAddClause(CTabValParser*, const wchar_t*, ISQLParserInformation*, int) {
  return 0;
}
int CNACommand::bAddTreeExpression(CSQLParserInfo*, CSQLParserInfo*, const wchar_t*,
                                   IExpOpExpression*, IExpOpExpression*, CNASqlElt::eSQLELT,
                                   unsigned int*, CNACommand*) {
  return 0;
}
int CNACommand::bFormatSubExpression(CSQLParserInfo*, const wchar_t*, IExpOpExpression*,
                                     IExpOpExpression*, CNASqlElt::eSQLELT) {
  return 0;
}
int CNACommand::bAddFilterExpression(CSQLParserInfo*) { return 0; }
int CNACommand::_bExpressionToSQL(CSQLParserInfo*, CSQLParserInfo*, const wchar_t*,
                                  IExpOpExpression*, IExpOpExpression*, CNASqlElt::eSQLELT,
                                  unsigned int*, CTStringConcatAW*, INAItemDescription**,
                                  eNA_ITEMTYPE, unsigned int) {
  return 0;
}
int CNACommand::_bDoExpressionArgument(CSQLParserInfo*, const wchar_t*, IExpOpExpression*,
                                       IExpOpExpression*, CNASqlElt::eSQLELT, unsigned int*,
                                       CTStringConcatAW*, int, unsigned int) {
  return 0;
}
int CNACommand::_bDoExpressionOperator(CSQLParserInfo*, const wchar_t*, IExpOpExpression*,
                                       IExpOpExpression*, CNASqlElt::eSQLELT, unsigned int*,
                                       CTStringConcatAW*) {
  return 0;
}
int CNACommand::_bDoExpressionSousRequete(CSQLParserInfo*, const wchar_t*, IExpOpExpression*,
                                          unsigned int*) {
  return 0;
}
_stPositionSQL CNACommand::_stGetPositionExpression(IExpOpExpression*) { return {0, 0, 0, 0}; }
void CNACommand::_FormatExpressionOperator(CSQLParserInfo*, IExpOpExpression*, IExpOpExpression*,
                                           CNASqlElt::eSQLELT, CTString*) {}
void CNACommand::_FormatExpressionArgument(CSQLParserInfo*, const wchar_t*, IExpOpExpression*,
                                           IExpOpExpression*, CNASqlElt::eSQLELT, CTString*, int,
                                           unsigned int*, unsigned int) {}
int CNACommand::_bFormatExpressionColonneCalculee(CSQLParserInfo*, IInfoRubrique*,
                                                  IExpOpExpression*, CNASqlElt::eSQLELT) {
  return 0;
}
int CNACommand::bFormatExpressionColonneCalculee(CSQLParserInfo*, IInfoRubrique*,
                                                 IExpOpExpression*, CNASqlElt::eSQLELT, CTString*,
                                                 unsigned int) {
  return 0;
}
int CNACommand::bFormatExpressionColonneCalculee(CSQLParserInfo*, const wchar_t*,
                                                 CNASqlElt::eSQLELT) {
  return 0;
}
int CNACommand::s_bFormatExpressionColonneCalculee(CTString*, CSQLParserInfo*, const wchar_t*,
                                                   CNASqlElt::eSQLELT, CNAError*,
                                                   CNAConnectionDescription*) {
  return 0;
}
int CNACommand::_bComputedColumnInChain(const IInfoRubrique*) const { return 0; }
void CNACommand::_CopyTo(CTStringConcatAW*, unsigned int*, const wchar_t*, unsigned int) {}
