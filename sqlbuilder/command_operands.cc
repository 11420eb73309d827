// (being written)
#include "sqlbuilder/command.h"
