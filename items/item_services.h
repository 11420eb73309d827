// The item layer's services to the driver core (driver/item_services.h): the
// language type and the Unicode test of an item type, the decimal rule of
// the item descriptions, the native type map and its formatting, and the
// reading of database text into a language value through a conversion
// holder. The back end hands g_pclGetItemServices() to its driver object.
//
// The native type maps made here are counted: each is a CNAMapConvertType
// that is also a CInterf, and pclAsInterf gives that side of it. Only maps
// made by pclNewNativeTypeMap may be passed to pclAsInterf.
//
// Ownership: one object for the library's whole life, with no state and a
// trivial destructor (nothing runs when the library is unloaded).
// Threads: stateless; the maps and holders it makes are used under the
// driver lock by their one connection.
#ifndef KQ230_ITEMS_ITEM_SERVICES_H_
#define KQ230_ITEMS_ITEM_SERVICES_H_

#include "driver/item_services.h"

class CNAItemLayerServices final : public CNAItemServices {
 public:
  constexpr CNAItemLayerServices() = default;

  int eGetLanguageType(int eItemType) const override;
  int bIsTextUnicode(int eItemType) const override;
  void GetTypeFromFormat(int nIntegerDigits, int nDecimals, int* peItemType,
                         int* pnSize) const override;
  CNAMapConvertType* pclNewNativeTypeMap() const override;
  // REQUIRES: pclMap was made by pclNewNativeTypeMap.
  CInterf* pclAsInterf(CNAMapConvertType* pclMap) const override;
  // The item's type, sizes and digits as its description answers them.
  int bFormatNativeType(const CNAMapConvertType* pclMap, INAItemDescription* piItem,
                        CXYString<wchar_t>* pOut) const override;
  // A conversion holder of the item's language type on the connection reads
  // the text (CNAConvertVariant::bSetValueFromDB) and gives the value; a text
  // that is no value of the item is its conversion error (53), *pValue then
  // unchanged.
  int bReadDatabaseText(CNAError* pclError, CNAConnectionDescription* pclConnection,
                        INAItemDescription* piItem, const wchar_t* pszText, unsigned int nLength,
                        CAny* pValue) const override;
};

// The one services object of the library.
const CNAItemServices* g_pclGetItemServices();

#endif  // KQ230_ITEMS_ITEM_SERVICES_H_
