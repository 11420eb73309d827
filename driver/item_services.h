// CNAItemServices: what the driver core asks of the item layer.
//
// The item layer (item types, value holders, descriptions, the native type
// map) sits above the driver core, yet the connection's SQL dialect needs it:
// a cast goes to the language type of an item type, a column type text comes
// from the native type map, a default value is read as database text into a
// holder. The driver core therefore declares this interface and the item
// layer implements it; the back end hands the implementation to the driver
// object when it makes it (CNADriver::SetItemServices). A driver object
// without one answers those operations with an error, never a crash.
//
// Ownership: the implementation is a stateless object of the item layer that
// lives as long as the library; the driver object keeps a pointer only. The
// native type map it makes is reference counted (CInterf): the caller holds
// one reference and drops it with CInterf::nRelease.
// Thread safety: stateless; the maps it makes belong to one connection and
// are used under the driver lock.

#ifndef KQ230_DRIVER_ITEM_SERVICES_H_
#define KQ230_DRIVER_ITEM_SERVICES_H_

#include "core/counted_string.h"

class CAny;
class CInterf;
class CNAConnectionDescription;
class CNAError;
class CNAMapConvertType;
class INAItemDescription;

class CNAItemServices {
 public:
  // The language type that holds values of the item type; 0 for a code that
  // is no item type.
  virtual int eGetLanguageType(int eItemType) const = 0;
  // Whether the item type holds Unicode text.
  virtual int bIsTextUnicode(int eItemType) const = 0;
  // The item type and record size that hold a decimal of nIntegerDigits +
  // nDecimals digits.
  virtual void GetTypeFromFormat(int nIntegerDigits, int nDecimals, int* peItemType,
                                 int* pnSize) const = 0;
  // A new native type map holding the generic defaults, one reference held
  // by the caller; null when memory runs out.
  virtual CNAMapConvertType* pclNewNativeTypeMap() const = 0;
  // The map as a reference-counted object (to drop the caller's reference).
  virtual CInterf* pclAsInterf(CNAMapConvertType* pclMap) const = 0;
  // The SQL type text of the item from the map: 1 when the map has an entry
  // for the item's type, else 0 with *pOut untouched.
  // REQUIRES: pclMap, piItem and pOut non-null.
  virtual int bFormatNativeType(const CNAMapConvertType* pclMap, INAItemDescription* piItem,
                                CXYString<wchar_t>* pOut) const = 0;
  // Reads database text (nLength characters) as a value of the item into
  // *pValue through a conversion holder of the driver; 0 with the error in
  // pclError when the text is no value of the item.
  virtual int bReadDatabaseText(CNAError* pclError, CNAConnectionDescription* pclConnection,
                                INAItemDescription* piItem, const wchar_t* pszText,
                                unsigned int nLength, CAny* pValue) const = 0;

 protected:
  // Not deleted through this interface: the implementation outlives every
  // user and has no state.
  ~CNAItemServices() = default;
};

#endif  // KQ230_DRIVER_ITEM_SERVICES_H_
