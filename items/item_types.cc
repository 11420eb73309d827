// The item types' names, their two tables to and from the language's type
// codes, and the predicates on them.
#include "items/item_types.h"

#include <cstddef>

#include "kq230/item_description_interface.h"

namespace {

const wchar_t kUnknownName[] = L"Type inconnu";

// Indexed by the item type; the hole at 8 reads as unknown.
const wchar_t* const kNames[kNAItemTypeLast + 1] = {
    L"NA_IT_EMPTY",       L"NA_IT_IDAUTO",       L"NA_IT_TEXTE",       L"NA_IT_I2",
    L"NA_IT_I1",          L"NA_IT_I4",           L"NA_IT_R4",          L"NA_IT_R8",
    kUnknownName,         L"NA_IT_UI2",          L"NA_IT_DATE6",       L"NA_IT_HEURE",
    L"NA_IT_UI1",         L"NA_IT_REELTURBO",    L"NA_IT_DATE8",       L"NA_IT_MEMOTEXTE",
    L"NA_IT_MEMOBINAIRE4", L"NA_IT_MONETAIRE",   L"NA_IT_MEMOBINAIRE", L"NA_IT_I8",
    L"NA_IT_UI8",         L"NA_IT_IMAGE",        L"NA_IT_UI4",         L"NA_IT_BINAIRE",
    L"NA_IT_DATETIME",    L"NA_IT_TIMELENGHT",   L"NA_IT_CHAR",        L"NA_IT_BOOLEEN",
    L"NA_IT_IDAUTO4",     L"NA_IT_UNICODE",      L"NA_IT_MEMOUNICODE", L"NA_IT_DECIMAL",
    L"NA_IT_ENUMERATION", L"NA_IT_COMBINAISON",
};

// Item type 1 to 33 (index type - 1) to the language type.
const unsigned short kItemToVX[kNAItemTypeLast] = {
    9,   19, 7,  6,  8,  11, 12, 0,  3,  128, 129, 2,  12, 128, 19, 28, 10,
    28,  9,  5,  19, 4,  28, 26, 27, 17, 1,   8,   16, 16, 13,  135, 136,
};

struct VXToItem {
  unsigned short nVX;
  eNA_ITEMTYPE eItem;
};
constexpr VXToItem kVXToItemRows[] = {
    {1, NA_IT_BOOLEEN},    {2, NA_IT_UI1},         {3, NA_IT_UI2},       {4, NA_IT_UI4},
    {5, NA_IT_UI8},        {6, NA_IT_I1},          {7, NA_IT_I2},        {8, NA_IT_I4},
    {9, NA_IT_I8},         {10, NA_IT_MONETAIRE},  {11, NA_IT_R4},       {12, NA_IT_R8},
    {13, NA_IT_DECIMAL},   {14, NA_IT_UI4},        {16, NA_IT_MEMOUNICODE}, {17, NA_IT_CHAR},
    {18, NA_IT_TEXTE},     {19, NA_IT_MEMOTEXTE},  {24, NA_IT_DATE8},    {25, NA_IT_HEURE},
    {26, NA_IT_DATETIME},  {27, NA_IT_TIMELENGHT}, {28, NA_IT_MEMOBINAIRE}, {81, NA_IT_UNICODE},
    {110, NA_IT_UNICODE},  {128, NA_IT_DATE8},     {129, NA_IT_HEURE},   {135, NA_IT_ENUMERATION},
    {136, NA_IT_COMBINAISON},
};

// The reverse table, built at compile time from its rows: 136 entries
// indexed by language type - 1.
struct VXToItemTable {
  eNA_ITEMTYPE ae[kVXTypeLastForItems];
  constexpr VXToItemTable() : ae() {
    for (const VXToItem& row : kVXToItemRows) ae[row.nVX - 1] = row.eItem;
  }
};
constexpr VXToItemTable kVXToItem;

bool bInRange(eNA_ITEMTYPE e) { return static_cast<int>(e) >= 0 && e <= kNAItemTypeLast; }

}  // namespace

const wchar_t* g_pszGetNAItemTypeName(eNA_ITEMTYPE eType) {
  return bInRange(eType) ? kNames[eType] : kUnknownName;
}

unsigned short ConverteItemToVXType(eNA_ITEMTYPE eType, int) {
  if (eType < 1 || eType > kNAItemTypeLast) return 0;
  return kItemToVX[eType - 1];
}

eNA_ITEMTYPE ConvertVXTypeToeItem(unsigned short nVXType) {
  if (nVXType < 1 || nVXType > kVXTypeLastForItems) return NA_IT_EMPTY;
  return kVXToItem.ae[nVXType - 1];
}

bool bIsTextUnicode(eNA_ITEMTYPE e) { return e == NA_IT_UNICODE || e == NA_IT_MEMOUNICODE; }
bool bIsTextAnsi(eNA_ITEMTYPE e) { return e == NA_IT_TEXTE || e == NA_IT_MEMOTEXTE; }
bool bIsTextAW(eNA_ITEMTYPE e) { return bIsTextAnsi(e) || bIsTextUnicode(e); }
bool bIsItemMemo(eNA_ITEMTYPE e) {
  return e == NA_IT_MEMOTEXTE || e == NA_IT_MEMOBINAIRE4 || e == NA_IT_MEMOBINAIRE ||
         e == NA_IT_MEMOUNICODE;
}
bool bIsItemMemoBinaire(eNA_ITEMTYPE e) {
  return e == NA_IT_MEMOBINAIRE4 || e == NA_IT_MEMOBINAIRE;
}

unsigned short ConverteItemToVXType(const INAItemDescription* piItem) {
  if (piItem == nullptr) return 0;
  INAItemDescription* pi = const_cast<INAItemDescription*>(piItem);
  return ConverteItemToVXType(pi->eNAGetItemType(), pi->nGetItemSize());
}
