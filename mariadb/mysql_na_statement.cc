#include "mariadb/mysql_na_statement.h"

int CMySQLStatement::bGetNbEnr(long long* pllCount) { return _bCountWithSubQuery(pllCount); }
