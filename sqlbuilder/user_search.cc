// (being written)
#include "sqlbuilder/user_search.h"
