// (being written)
#include "sqlbuilder/filter.h"
