// The clause writers of a parsed query. (Being built.)
#include "sqlbuilder/command.h"

int CNACommand::_bAddFromClause(const CNASqlElt*, unsigned int*, const wchar_t*, CSQLParserInfo*) {
  return 0;
}
int CNACommand::_bAddJoinClause(const CNASqlElt*, unsigned int*, const wchar_t*, CSQLParserInfo*) {
  return 0;
}
int CNACommand::_bFormatSELECTList(unsigned int*, const wchar_t*, CSQLParserInfo*) { return 0; }
int CNACommand::_bFormatAlias(unsigned int*, const wchar_t*) { return 0; }
int CNACommand::_bFormatINSERTUPDATEList(unsigned int*, const wchar_t*, CSQLParserInfo*) {
  return 0;
}
int CNACommand::_bFormatGROUPBY(unsigned int*, const wchar_t*, CSQLParserInfo*) { return 0; }
int CNACommand::_bFormatORDERBY(CSQLParserInfo*, unsigned int*, const wchar_t*, int, int, int,
                                int*) {
  return 0;
}
int CNACommand::_bAddItemInORDERBY(const IInfoRubrique*, int, const wchar_t*, _stPositionSQL, int,
                                   int*) {
  return 0;
}
void CNACommand::_FormatRubriqueAlias(unsigned int, const wchar_t*, CSQLParserInfo*,
                                      const IInfoRubrique*, CTString*, int, CNASqlElt::eSQLELT) {}
