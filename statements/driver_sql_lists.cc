// The catalogue lists of the handle-level SQL interface: databases, tables,
// columns.
#include "statements/driver_sql.h"

// TODO(sqlhandle): everything below.
int CNADriverSQL::bGetTableList(CAny*, int, const wchar_t*, unsigned int) { return 0; }
int CNADriverSQL::bGetColumnList(CAny*, int, const wchar_t*, unsigned int) { return 0; }
INADataSourceDescription* CNADriverSQL::piGetTableDesc(int, const wchar_t*, unsigned int) {
  return nullptr;
}
int CNADriverSQL::bGetColumnTypeList(CAny*, int, unsigned int) { return 0; }
int CNADriverSQL::bGetDatabaseList(CXYString<wchar_t>*, CNAConnectionDescription*, unsigned int) {
  return 0;
}
int CNADriverSQL::bGetTableList(CAny*, CNAConnectionDescription*, const wchar_t*, unsigned int) {
  return 0;
}
int CNADriverSQL::bGetColumnList(CAny*, CNAConnectionDescription*, const wchar_t*, unsigned int) {
  return 0;
}
void CNADriverSQL::_GetTableList_GetFilter(CXYStringConcat<wchar_t>*, const wchar_t*,
                                           unsigned int) {}
int CNADriverSQL::_bGetDatabaseList(CXYStringConcat<wchar_t>*, CNAConnectionDescription*,
                                    unsigned int) {
  return 0;
}
int CNADriverSQL::_bGetDatabaseListQuery(CTStringConcatAW*, CNAConnectionDescription*,
                                         unsigned int) {
  return 0;
}
int CNADriverSQL::_bGetDatabaseTableListQuery(CTStringConcatAW*, const wchar_t*,
                                              CNAConnectionDescription*, unsigned int) {
  return 0;
}
int CNADriverSQL::_bGetTableList(CAny*, CNAConnectionDescription*, const wchar_t*, unsigned int) {
  return 0;
}
int CNADriverSQL::_bGetList(CXYStringConcat<wchar_t>*, CNAConnectionDescription*, const wchar_t*,
                            unsigned int, unsigned int, const wchar_t*) {
  return 0;
}
int CNADriverSQL::_bGetList(CAny*, CNAConnectionDescription*, const wchar_t*, unsigned int,
                            unsigned int) {
  return 0;
}
