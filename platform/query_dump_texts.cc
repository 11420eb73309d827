#include "platform/query_dump_texts.h"

void CKQVariant::FreeQueryDumpRessources() {}
