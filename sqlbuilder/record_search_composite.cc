// (being written)
#include "sqlbuilder/record_search.h"
