// eNA_ITEMTYPE: the type of an item (column, key component, parameter) as
// the native access and the application server exchange it: the server's
// item descriptions answer it, the driver's answer it back. Only the
// enumeration lives here; its names, its tables to the language's value types
// and its predicates are the item layer's (items/item_types.h).
//
// Ownership: none (a plain enumeration).
// Threads: no state.
#ifndef KQ230_ITEM_TYPE_H_
#define KQ230_ITEM_TYPE_H_

// Stored as a 32-bit int (the server's item descriptions answer it through
// their table of operations). Value 8 is a hole: 34 codes, 33 named types.
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

#endif  // KQ230_ITEM_TYPE_H_
