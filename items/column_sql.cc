#include "items/column_sql.h"

#include "items/item_description.h"

unsigned short CNAColumnSQL::s_wKeyFlagsFromFieldFlags(unsigned int dwFieldFlags) {
  unsigned short wKind = 0;
  if ((dwFieldFlags & kFieldPrimaryKey) != 0) {
    wKind = CNAItemDescription::kKeyPrimary;
  } else if ((dwFieldFlags & kFieldUniqueKey) != 0) {
    wKind = CNAItemDescription::kKeyUnique;
  } else if ((dwFieldFlags & kFieldMultipleKey) != 0) {
    wKind = CNAItemDescription::kKeyDuplicates;
  }
  if (wKind == 0) return 0;
  return static_cast<unsigned short>(wKind | CNAItemDescription::kKeyAscending);
}
