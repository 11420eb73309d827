// eNA_ITEMTYPE: the type of every item (column, key component, parameter) of
// the native access, its wide names, the two fixed tables between item types
// and the type codes of the language's dynamic value (CAny), and the small
// predicates on item types that the value holders, the SQL type map, the
// columns and the item descriptions use.
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

class INAItemDescription;

// Stored as a 32-bit int (the server's item descriptions answer it through
// their table of operations). Value 8 is a hole: 34 codes, 33 named types.
// The boundary headers declare it opaquely (`enum eNA_ITEMTYPE : int;`).
enum eNA_ITEMTYPE : int {
  NA_IT_EMPTY = 0,
  NA_IT_IDAUTO = 1,
  NA_IT_TEXTE = 2,
  NA_IT_I2 = 3,
  NA_IT_I1 = 4,
  NA_IT_I4 = 5,
  NA_IT_R4 = 6,
  NA_IT_R8 = 7,
  NA_IT_UI2 = 9,
  NA_IT_DATE6 = 10,
  NA_IT_HEURE = 11,
  NA_IT_UI1 = 12,
  NA_IT_REELTURBO = 13,
  NA_IT_DATE8 = 14,
  NA_IT_MEMOTEXTE = 15,
  NA_IT_MEMOBINAIRE4 = 16,
  NA_IT_MONETAIRE = 17,
  NA_IT_MEMOBINAIRE = 18,
  NA_IT_I8 = 19,
  NA_IT_UI8 = 20,
  NA_IT_IMAGE = 21,
  NA_IT_UI4 = 22,
  NA_IT_BINAIRE = 23,
  NA_IT_DATETIME = 24,
  NA_IT_TIMELENGHT = 25,
  NA_IT_CHAR = 26,
  NA_IT_BOOLEEN = 27,
  NA_IT_IDAUTO4 = 28,
  NA_IT_UNICODE = 29,
  NA_IT_MEMOUNICODE = 30,
  NA_IT_DECIMAL = 31,
  NA_IT_ENUMERATION = 32,
  NA_IT_COMBINAISON = 33,
};

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
