// CNAParameter: one bind parameter of a command.
#include "sqlbuilder/parameter.h"

#include <cwchar>

#include "driver/na_driver.h"
#include "items/column.h"
#include "items/convert_variant.h"
#include "items/item_description.h"
#include "kq230/item_description_interface.h"
#include "kq230/query_parameters_interface.h"
#include "kq230/sql_parser_interface.h"
#include "kq230/vm_values.h"
#include "values/any.h"

namespace {

constexpr int kNoOperator = -1;

// Exact comparison of two optional names: both absent, or equal.
bool bSameName(const wchar_t* pszA, const wchar_t* pszB) {
  if (pszA == nullptr || pszB == nullptr) return pszA == pszB;
  return std::wcscmp(pszA, pszB) == 0;
}

}  // namespace

CNAParameter::CNAParameter(CNAConvertVariant* pclValue, unsigned int nPosition,
                           unsigned int nFlags, const wchar_t* pszName)
    : m_pclValue(pclValue),
      m_nPosition(nPosition),
      m_nFlags(nFlags),
      m_csName(pszName),
      m_eOperator(static_cast<eOPEXPRESSION>(kNoOperator)) {
  KQAddRef(m_pclValue);
}

CNAParameter::~CNAParameter() {
  KQRelease(m_pclValue);
  KQRelease(m_pclColumn);
  if (m_piItem != nullptr) m_piItem->nExternalRelease();
}

CNAParameter* CNAParameter::pclGetClone() {
  if (CNADriver::s_pclDriver == nullptr) return nullptr;
  auto* pclClone = static_cast<CNAParameter*>(
      CNADriver::s_pclDriver->pclAllocParameter(m_pclValue, m_nPosition, m_nFlags,
                                                m_csName.pszGet()));
  if (pclClone == nullptr) return nullptr;
  pclClone->AddRef();
  pclClone->SetColum(m_pclColumn);
  pclClone->SetItem(m_piItem);
  pclClone->m_cEscape = m_cEscape;
  return pclClone;
}

void CNAParameter::SetColum(CNAColumn* pclColumn) {
  KQAddRef(pclColumn);
  CNAColumn* pclOld = m_pclColumn;
  m_pclColumn = pclColumn;
  KQRelease(pclOld);
  if (pclColumn == nullptr) {
    SetItem(nullptr);
    return;
  }
  // piGetItem hands over one external reference: SetItem takes its own.
  INAItemDescription* piItem = pclColumn->piGetItem();
  SetItem(piItem);
  if (piItem != nullptr) piItem->nExternalRelease();
}

void CNAParameter::SetItem(INAItemDescription* piItem) {
  if (piItem != nullptr) piItem->ExternalAddRef();
  INAItemDescription* piOld = m_piItem;
  m_piItem = piItem;
  if (piOld != nullptr) piOld->nExternalRelease();
}

eNA_ITEMTYPE CNAParameter::_eItemType() const {
  return m_piItem != nullptr ? m_piItem->eNAGetItemType() : NA_IT_EMPTY;
}

int CNAParameter::bIsDate() const {
  const eNA_ITEMTYPE e = _eItemType();
  return e == NA_IT_DATE6 || e == NA_IT_HEURE || e == NA_IT_DATE8 || e == NA_IT_DATETIME;
}

int CNAParameter::bIsText() const {
  const eNA_ITEMTYPE e = _eItemType();
  return e == NA_IT_TEXTE || e == NA_IT_MEMOTEXTE || e == NA_IT_UNICODE || e == NA_IT_MEMOUNICODE;
}

int CNAParameter::bIsTextUnicode() const {
  const eNA_ITEMTYPE e = _eItemType();
  return e == NA_IT_UNICODE || e == NA_IT_MEMOUNICODE;
}

int CNAParameter::bCaseInSensitiveLIKE() const {
  if (m_pclColumn != nullptr) return m_pclColumn->bGetIgnoreCase(-1);
  if (m_piItem != nullptr) return m_piItem->bGetIgnoreCase(-1);
  return 0;
}

int CNAParameter::bGetVXTypeInfo(eNA_ITEMTYPE* peDatabase, eNA_ITEMTYPE* peAnalysis) const {
  eNA_ITEMTYPE eDatabase = NA_IT_EMPTY;
  eNA_ITEMTYPE eAnalysis = NA_IT_EMPTY;
  int bResult = 0;
  if (m_pclColumn != nullptr) {
    eDatabase = m_pclColumn->eNAGetItemTypeOnDatabase();
    eAnalysis = m_pclColumn->eNAGetItemType();
    bResult = 1;
  } else if (m_pclValue != nullptr) {
    eDatabase = m_pclValue->eNAGetItemTypeDatabase();
    eAnalysis = m_pclValue->eNAGetItemTypeAnalyse();
    bResult = eDatabase != NA_IT_EMPTY || eAnalysis != NA_IT_EMPTY;
  }
  if (peDatabase != nullptr) *peDatabase = eDatabase;
  if (peAnalysis != nullptr) *peAnalysis = eAnalysis;
  return bResult;
}

int CNAParameter::bGetDBType(eNA_ITEMTYPE* peType, int* pnDBType, int* pnSize, int* pnPrecision,
                             int* pnScale) const {
  CNAItemDescription* pclItem = nullptr;
  if (m_pclValue != nullptr)
    pclItem = static_cast<CNAItemDescription*>(m_pclValue->piGetItemDatabase());
  if (pclItem == nullptr && m_pclColumn != nullptr)
    pclItem = m_pclColumn->piGetImportedItemDescNoRef();
  if (pclItem == nullptr) {
    if (pnDBType != nullptr) *pnDBType = 0;
    if (pnPrecision != nullptr) *pnPrecision = 0;
    if (pnScale != nullptr) *pnScale = 0;
    return 0;
  }
  const int nDBType = pclItem->nGetNativeTypeCode();
  if (peType != nullptr) *peType = pclItem->eNAGetItemType();
  if (pnDBType != nullptr) *pnDBType = nDBType;
  if (pnPrecision != nullptr) *pnPrecision = pclItem->nGetPrecision();
  if (pnScale != nullptr) *pnScale = pclItem->nGetScale();
  if (pnSize != nullptr) *pnSize = pclItem->bMemo() ? -1 : pclItem->nGetLogicalSize(0);
  return nDBType != 0;
}

int CNAParameter::bLoadFile(CNAError* pclError) {
  if (!bHasFlag(kNAParamFile)) return 1;
  if (m_pclValue == nullptr) return 0;
  CTString csPath;
  {
    CAny clPath;
    if (!m_pclValue->bGetValue(&clPath)) return 0;
    const wchar_t* pszPath = nullptr;
    if (clPath.__nCastToString(&pszPath, nullptr) >= 100 || pszPath == nullptr) return 0;
    csPath = pszPath;
  }
  const int bBinary = bHasFlag(kNAParamFileText) ? 0 : 1;
  if (!m_pclValue->bLoadFile(csPath.pszGet(), pclError, bBinary)) return 0;
  m_nFlags &= ~kNAParamFile;
  return 1;
}

int CNAParameter::bIsParamOUT(INAQueryParametersValue* piValues) const {
  if (piValues == nullptr) return 0;
  const int nDirection = piValues->nGetParameterDirection(m_csName.pszGet());
  return nDirection == 2 || nDirection == 3;
}

int CNAParameter::bSetValue(const CAny* pValue) {
  return m_pclValue != nullptr ? m_pclValue->bSetValue(pValue) : 0;
}

int CNAParameter::bEqualsParameter(const CNAParameter* pclOther) const {
  if (pclOther == this) return 1;
  if (pclOther == nullptr) return 0;
  if (m_nPosition != pclOther->m_nPosition || m_nFlags != pclOther->m_nFlags) return 0;
  if (m_pclValue == nullptr || pclOther->m_pclValue == nullptr) {
    if (m_pclValue != pclOther->m_pclValue) return 0;
  } else if (!m_pclValue->bEqualsNAVariant(pclOther->m_pclValue)) {
    return 0;
  }
  const wchar_t* pszColumnA = m_pclColumn != nullptr ? m_pclColumn->pszGetName() : nullptr;
  const wchar_t* pszColumnB =
      pclOther->m_pclColumn != nullptr ? pclOther->m_pclColumn->pszGetName() : nullptr;
  if (!bSameName(pszColumnA, pszColumnB)) return 0;
  const wchar_t* pszItemA = m_piItem != nullptr ? m_piItem->pszGetName() : nullptr;
  const wchar_t* pszItemB = pclOther->m_piItem != nullptr ? pclOther->m_piItem->pszGetName() : nullptr;
  if (!bSameName(pszItemA, pszItemB)) return 0;
  return m_cEscape == pclOther->m_cEscape && m_eDirection == pclOther->m_eDirection;
}

void CNAParameter::TypeParam2String(CXYStringConcat<wchar_t>* pOut) const {
  if (pOut == nullptr) return;
  pOut->Tronque(0);
  pOut->Add(L'(');
  bool bFirst = true;
  const struct {
    int nBit;
    const wchar_t* pszName;
  } kDirections[] = {{NA_PARAM_IN, L"IN"}, {NA_PARAM_OUT, L"OUT"}, {NA_PARAM_RETURN, L"RETURN"}};
  for (const auto& st : kDirections) {
    if ((m_eDirection & st.nBit) == 0) continue;
    if (!bFirst) pOut->Add(L'|');
    pOut->Add(st.pszName, static_cast<int>(std::wcslen(st.pszName)));
    bFirst = false;
  }
  pOut->Add(L')');
}
