// (being written)
#include "tests/sqlbuilder/search_fixture.h"
