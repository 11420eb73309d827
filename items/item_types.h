// The item types of the native access (the enumeration eNA_ITEMTYPE itself
// is the boundary's: kq230/item_type.h): their wide names, the two fixed
// tables between item types and the type codes of the language's dynamic
// value (CAny), and the small predicates on item types that the value
// holders, the SQL type map, the columns and the item descriptions use.
//
// The two tables are not inverse to each other: several item types go to one
// language type (text, memo text and image to DSTRA; the binary memos and the
// binary to BIN), and the way back picks one item type per language type.
//
// Ownership: constant data and pure functions; the names are static texts
// that the caller never frees.
// Threads: no state; any thread may call.
#ifndef KQ230_ITEMS_ITEM_TYPES_H_
#define KQ230_ITEMS_ITEM_TYPES_H_

#include "kq230/item_type.h"

class INAItemDescription;

// The highest item type code.
inline constexpr int kNAItemTypeLast = 33;
// The highest language type code the way back knows.
inline constexpr unsigned short kVXTypeLastForItems = 136;

// The enumerator's name as wide text ("NA_IT_TEXTE" for 2 ...); "Type inconnu"
// for 8 and for any value outside 0 to 33.
const wchar_t* g_pszGetNAItemTypeName(eNA_ITEMTYPE eType);

// The language type code of an item type 1 to 33; 0 for 0, 8 and any value
// outside 1 to 33. nSize does not change the result.
unsigned short ConverteItemToVXType(eNA_ITEMTYPE eType, int nSize = 0);
// The same for the type the description reports (null: 0).
unsigned short ConverteItemToVXType(const INAItemDescription* piItem);

// The item type of a language type 1 to 136; 0 for every other code.
eNA_ITEMTYPE ConvertVXTypeToeItem(unsigned short nVXType);

// Sets: Unicode text (29, 30); 8-bit text (2, 15); text of either width.
bool bIsTextUnicode(eNA_ITEMTYPE eType);
bool bIsTextAnsi(eNA_ITEMTYPE eType);
bool bIsTextAW(eNA_ITEMTYPE eType);
// Memo (15, 16, 18, 30) and binary memo (16, 18). NA_IT_IMAGE is in neither.
bool bIsItemMemo(eNA_ITEMTYPE eType);
bool bIsItemMemoBinaire(eNA_ITEMTYPE eType);

#endif  // KQ230_ITEMS_ITEM_TYPES_H_
