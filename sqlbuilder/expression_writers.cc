// (being written)
#include "sqlbuilder/expression.h"
