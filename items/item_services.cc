// The item layer's services to the driver core: see item_services.h.
#include "items/item_services.h"

#include <new>

#include "driver/na_error.h"
#include "driver/reference_counted.h"
#include "items/convert_variant.h"
#include "items/item_description.h"
#include "items/item_types.h"
#include "items/sql_type_map.h"
#include "kq230/item_description_interface.h"
#include "values/any.h"

namespace {

// A native type map that its connection counts.
class CNACountedTypeMap final : public CInterf, public CNAMapConvertType {};

constinit const CNAItemLayerServices gclServices;

bool bItemType(int e) { return e >= 0 && e <= kNAItemTypeLast; }

}  // namespace

const CNAItemServices* g_pclGetItemServices() { return &gclServices; }

int CNAItemLayerServices::eGetLanguageType(int eItemType) const {
  return bItemType(eItemType) ? ConverteItemToVXType(static_cast<eNA_ITEMTYPE>(eItemType)) : 0;
}

int CNAItemLayerServices::bIsTextUnicode(int eItemType) const {
  return ::bIsTextUnicode(static_cast<eNA_ITEMTYPE>(eItemType)) ? 1 : 0;
}

void CNAItemLayerServices::GetTypeFromFormat(int nIntegerDigits, int nDecimals, int* peItemType,
                                             int* pnSize) const {
  unsigned int nSize = 0;
  CNAItemDescription::s_GetTypeFromFormat(nIntegerDigits, nDecimals, peItemType, &nSize);
  *pnSize = static_cast<int>(nSize);
}

CNAMapConvertType* CNAItemLayerServices::pclNewNativeTypeMap() const {
  CNACountedTypeMap* pclMap = new (std::nothrow) CNACountedTypeMap();
  if (pclMap == nullptr) return nullptr;
  pclMap->_Init();
  pclMap->AddRef();
  return pclMap;
}

CInterf* CNAItemLayerServices::pclAsInterf(CNAMapConvertType* pclMap) const {
  return static_cast<CNACountedTypeMap*>(pclMap);
}

int CNAItemLayerServices::bFormatNativeType(const CNAMapConvertType* pclMap,
                                            INAItemDescription* piItem,
                                            CXYString<wchar_t>* pOut) const {
  return pclMap->bFormat(piItem, pOut);
}

int CNAItemLayerServices::bReadDatabaseText(CNAError* pclError,
                                            CNAConnectionDescription* pclConnection,
                                            INAItemDescription* piItem, const wchar_t* pszText,
                                            unsigned int nLength, CAny* pValue) const {
  CNAConvertVariant* pclHolder = new (std::nothrow) CNAConvertVariant(pclError, pclConnection);
  if (pclHolder == nullptr) {
    if (pclError != nullptr) pclError->pclGetLastXError()->SetErrorNoMemory();
    return 0;
  }
  pclHolder->AddRef();
  pclHolder->InitTypeVariantAny(ConverteItemToVXType(piItem), 0);
  pclHolder->SetItemDesc(piItem, nullptr);
  int bResult = pclHolder->bSetValueFromDB(pszText, nLength);
  if (bResult) bResult = pclHolder->bGetValue(pValue);
  pclHolder->SetItemDesc(nullptr, nullptr);
  pclHolder->nRelease();
  return bResult;
}
