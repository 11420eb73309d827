// The link list of the handle-level SQL interface, read from the table's
// definition (SHOW CREATE TABLE).
#include "statements/driver_sql.h"

// TODO(sqlhandle): everything below.
int CNADriverSQL::bGetLinkList(CAny*, CNAConnectionDescription*, const wchar_t*,
                               INADataSourceDescription*, unsigned int) {
  return 1;
}
int CNADriverSQL::_bTextToeSQLForeignKeysRules(eSQLForeignKeysRules*, const wchar_t*) { return 1; }
int CNADriverSQL::s_bConcatConstraint(CXYStringConcat<wchar_t>*, unsigned int, const wchar_t*,
                                      const wchar_t*, const wchar_t*, const wchar_t*,
                                      const wchar_t*, const wchar_t*, eSQLForeignKeysRules,
                                      eSQLForeignKeysRules) {
  return 1;
}
int CNADriverSQL::_bExtraitLink_FromShowCreateTable(CXYStringConcat<wchar_t>*, const wchar_t*,
                                                    const wchar_t*, CNAConnectionDescription*,
                                                    INADataSourceDescription*, int) {
  return 1;
}
int CNADriverSQL::_bGetNomCleComposee(INADataSourceDescription*, CXYString<wchar_t>*, int,
                                      const wchar_t*, CNAConnectionDescription*) {
  return 1;
}
