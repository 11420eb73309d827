#include "mariadb/mysql_data_access.h"

// Nothing of its own to let go: the generic data access closes and releases
// everything.
CMySQLDataAccess::~CMySQLDataAccess() = default;
