#include "items/column.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "core/counted_string.h"
#include "core/string_concat.h"
#include "core/unicode.h"
#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/convert_variant.h"
#include "items/item_description.h"
#include "items/record.h"
#include "items/record_buffer_interface.h"
#include "items/record_value_interface.h"
#include "items/statement_interface.h"
#include "kq230/item_description_interface.h"
#include "values/any.h"
#include "values/value_calc.h"

namespace {

// The server kind whose NULL rules treat empty texts and empty binaries as
// NULL.
constexpr int kServerKindEmptyIsNull = 1;

bool bIsTextItem(int e) {
  return e == NA_IT_TEXTE || e == NA_IT_MEMOTEXTE || e == NA_IT_UNICODE ||
         e == NA_IT_MEMOUNICODE || e == NA_IT_CHAR;
}

bool bIsAnsiTextVX(unsigned int n) {
  return n == 17 || n == 18 || n == 19 || n == 21 || n == 22 || n == 23 || n == 128 ||
         n == 129 || n == 134;
}

bool bIsWideTextVX(unsigned int n) {
  return n == 16 || n == 20 || n == 24 || n == 25 || n == 81 || n == 110;
}

// The value's data (address and size) as its behaviour gives it.
void GetData(const CAny& v, const unsigned char** pp, unsigned int* pn) {
  void* p = nullptr;
  unsigned int n = 0;
  v.pclGetIntern()->nGetDataAdr(&p);
  v.pclGetIntern()->nGetDataSize(&n);
  *pp = static_cast<const unsigned char*>(p);
  *pn = p != nullptr ? n : 0;
}

// The value converted to wide text (language type 110); false when the
// conversion fails.
bool bToWideText(const CAny& v, CTString* pOut) {
  CAny clCopy(v);
  if (clCopy.__nCastTo(VX_PSTRW, nullptr, 1) >= 100 || clCopy.nGetTypeCode() != VX_PSTRW)
    return false;
  const wchar_t* psz = nullptr;
  clCopy.pclGetIntern()->nGetPCWSTR(&psz);
  *pOut = CTString(psz != nullptr ? psz : L"");
  return true;
}

void Retype(CAny* pValue, unsigned short nType) {
  pValue->DestroyContent();
  pValue->SetTypeWord(0);
  pValue->__SetType(nType, 0);
}

}  // namespace

// ---- Lifetime

CNAColumn::CNAColumn(CNAError* pclError, INAItemDescription* piItem)
    : m_piItem(piItem), m_pclError(pclError) {
  if (m_pclError != nullptr) m_pclError->AddRef();
  if (m_piItem != nullptr) m_piItem->ExternalAddRef();
}

CNAColumn::~CNAColumn() {
  if (m_piItem != nullptr) m_piItem->nExternalRelease();
  if (m_pclValue != nullptr) m_pclValue->nRelease();
  if (m_pclImported != nullptr) m_pclImported->nExternalRelease();
  if (m_pclError != nullptr) m_pclError->nRelease();
  delete m_pTabComponents;
}

// ---- Virtual operations

int CNAColumn::vbInit(CNARecord* pclRecord, CNAItemDescription* pclImported) {
  m_pclRecord = pclRecord;
  int bOk = bFormatName();
  if (bOk && pclImported != nullptr) bOk = bSetImportedItemDesc(pclImported);
  if (bOk && !bIsComposedKey()) bOk = bInitVariant(pclRecord);
  return bOk;
}

int CNAColumn::bInitVariant(CNARecord* pclRecord) {
  if (m_piItem == nullptr) return 0;
  // Asked of the item on every row read: kept here, and read again whenever
  // the item's type may have changed (this runs again then).
  m_nPhysicalIndex = m_piItem->nGetPhysicalIndice();
  m_nMemo = m_piItem->bMemo() ? 1 : 0;
  m_nComposed = m_piItem->bIsComposedKey() ? 1 : 0;
  m_bItemKnown = 1;
  if (m_pclValue == nullptr) {
    CNAConnectionDescription* pclConnection =
        pclRecord != nullptr ? pclRecord->pclGetConnectionNoRef() : nullptr;
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    CNAConvertVariant* pclValue =
        pclDriver != nullptr
            ? static_cast<CNAConvertVariant*>(pclDriver->pclAllocVariant(m_pclError, pclConnection))
            : new (std::nothrow) CNAConvertVariant(m_pclError, pclConnection);
    if (pclValue == nullptr) {
      if (pclDriver == nullptr && m_pclError != nullptr)
        m_pclError->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
    pclValue->AddRef();
    m_pclValue = pclValue;
  }
  if (bIsMemo()) {
    m_pclValue->InitTypeVariantAny(eGetVXType(), 0);
  } else {
    CNAZBRecordBase* pclBuffer = pclRecord != nullptr ? pclRecord->pclGetNAZBRecord() : nullptr;
    unsigned char* pSlot = pclBuffer != nullptr ? pclBuffer->pbyGetItemValue(m_piItem, -1) : nullptr;
    if (pSlot == nullptr) return 0;
    const int nSize = m_piItem->nGetTotalSize();
    if (!m_pclValue->bInitTypeVariant(NA_VT_BUFFER, pSlot, nSize > 0 ? nSize : 0, eGetVXType()))
      return 0;
  }
  m_pclValue->SetItemDesc(m_piItem, m_pclImported);
  if (bIsMemo()) {
    if (pclRecord == nullptr) return 1;
    return pclRecord->bShareCurrentRecordMemoValue(this, m_pclValue);
  }
  return 1;
}

int CNAColumn::bSetImportedItemDesc(CNAItemDescription* pclImported) {
  if (pclImported == m_pclImported) return 1;
  if (pclImported != nullptr) pclImported->ExternalAddRef();
  CNAItemDescription* pclOld = m_pclImported;
  m_pclImported = pclImported;
  if (pclOld != nullptr) pclOld->nExternalRelease();
  return 1;
}

int CNAColumn::bUpdateChangedTypeInCurrentRecord() { return bInitVariant(m_pclRecord); }

int CNAColumn::bIsAutoIncrementOnDataBase() const {
  if (m_pclImported == nullptr) return 0;
  const eNA_ITEMTYPE e = m_pclImported->eNAGetItemType();
  return e == NA_IT_IDAUTO4 || e == NA_IT_IDAUTO;
}

const wchar_t* CNAColumn::pszGetAliasNomTable() const { return m_strAlias.pszGet(); }
const wchar_t* CNAColumn::pszGetFormatedAliasNomTable() const {
  return m_strFormattedAlias.pszGet();
}

int CNAColumn::bGetCurrentValue(CAny* pValue, unsigned int nFlags) {
  if (pValue == nullptr || m_piItem == nullptr) return 0;
  if (bIsMemo()) {
    if (m_pclValue == nullptr) {
      Retype(pValue, eGetVXType());
      pValue->SetNull(true);
      return 1;
    }
    if (m_strAttachedFile.nTaille() != 0 && m_pclValue->bIsNull()) {
      // The attached file is read only when the value is asked for.
      if (!m_pclValue->bLoadFile(m_strAttachedFile.pszGet(), m_pclError, 1)) return 0;
    }
    if (m_pclValue->eGetVarType() == NA_VT_EMPTY) {
      Retype(pValue, eGetVXType());
      pValue->SetNull(true);
      return 1;
    }
    return m_pclValue->bGetValue(pValue);
  }
  if (bIsComposedKey()) return _bGetComposedKeyValue(pValue, nFlags);
  CNAZBRecordBase* pclBuffer = _pclGetCurrentBuffer();
  if (pclBuffer != nullptr && pclBuffer->bItemValueDefined(m_piItem)) {
    pclBuffer->GetItemValue(pValue, m_piItem, -1);
  } else {
    Retype(pValue, eGetVXType());
    pValue->SetNull(true);
  }
  return 1;
}

int CNAColumn::_bGetComposedKeyValue(CAny* pValue, unsigned int nFlags) {
  const int nKeySize = m_piItem->nGetTotalSize();
  const unsigned int nSize = nKeySize > 0 ? static_cast<unsigned int>(nKeySize) : 0;
  unsigned char* pKey = new (std::nothrow) unsigned char[nSize > 0 ? nSize : 1]();
  if (pKey == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  int bOk = 1;
  unsigned int nAt = 0;
  const int nComponents = m_piItem->nGetNumComponents();
  for (int i = 1; i <= nComponents && bOk; ++i) {
    INAItemDescription* piComponent = m_piItem->piGetItemComponent(i);
    if (piComponent == nullptr) continue;
    CNAColumn* pclComponent = nullptr;
    if (m_pTabComponents != nullptr && i - 1 < m_pTabComponents->nGetNbElement())
      pclComponent = (*m_pTabComponents)[i - 1];
    if (pclComponent == nullptr && m_pclRecord != nullptr)
      pclComponent = m_pclRecord->pclGetColumnNoRef(piComponent);
    long long nWidth = piComponent->nGetTotalSize();
    const eNA_ITEMTYPE eType = piComponent->eNAGetItemType();
    if (eType == NA_IT_TEXTE) nWidth -= 1;
    if (eType == NA_IT_UNICODE) nWidth -= 2;
    if (nWidth < 0) nWidth = 0;
    if (nAt + nWidth > nSize) nWidth = nSize - nAt;
    CAny clValue;
    if (pclComponent == nullptr || !pclComponent->bGetCurrentValue(&clValue, nFlags)) {
      bOk = 0;
    } else if (!clValue.bIsNull()) {
      const unsigned char* p;
      unsigned int n;
      if (bIsWideTextVX(clValue.nGetTypeCode()) && eType == NA_IT_UNICODE) {
        // The key's form of a Unicode component is UTF-16, as in the record.
        CTString cs;
        bToWideText(clValue, &cs);
        const int nUnits = static_cast<int>(nWidth / 2);
        unsigned short* pUnits = new (std::nothrow) unsigned short[nUnits > 0 ? nUnits : 1];
        if (pUnits == nullptr) {
          bOk = 0;
        } else {
          // No room for one unit: a zero size would make the converter only
          // count, and the count is no bound of this key's room.
          const int nWritten =
              nUnits > 0 ? WideCharToUTF16(cs.pszGet(), cs.nTaille(), pUnits, nUnits) : 0;
          std::memcpy(pKey + nAt, pUnits, static_cast<size_t>(nWritten) * 2);
          delete[] pUnits;
        }
      } else if (eType == NA_IT_BINAIRE) {
        // As in the record's slot: the 16-bit length, then the bytes. A
        // searched composite value is cut into components by this form.
        GetData(clValue, &p, &n);
        if (p != nullptr && nWidth >= 2) {
          const size_t nRoom = static_cast<size_t>(nWidth) - 2;
          const size_t nCopy = n < nRoom ? n : nRoom;
          pKey[nAt] = static_cast<unsigned char>(nCopy & 0xFF);
          pKey[nAt + 1] = static_cast<unsigned char>((nCopy >> 8) & 0xFF);
          std::memcpy(pKey + nAt + 2, p, nCopy);
        }
      } else {
        GetData(clValue, &p, &n);
        if (p != nullptr) std::memcpy(pKey + nAt, p, n < nWidth ? n : static_cast<size_t>(nWidth));
      }
    }
    piComponent->nExternalRelease();
    nAt += static_cast<unsigned int>(nWidth);
  }
  if (bOk) {
    Retype(pValue, VX_BIN);
    pValue->SetValueByte(pKey, nSize);
    pValue->SetTypeWord(pValue->wGetType() & kVXClearFlagsMask);
  }
  delete[] pKey;
  return bOk;
}

int CNAColumn::bGetOriginalValue(CAny* pValue, unsigned int) {
  if (pValue == nullptr || m_piItem == nullptr) return 0;
  CNAZBRecordBase* pclBuffer = _pclGetOriginalBuffer();
  if (pclBuffer != nullptr && pclBuffer->bItemValueDefined(m_piItem)) {
    pclBuffer->GetItemValue(pValue, m_piItem, -1);
  } else {
    Retype(pValue, eGetVXType());
    pValue->SetNull(true);
  }
  return 1;
}

int CNAColumn::bCurrentValueToString(CXYStringConcat<wchar_t>* pText, int bWithName) {
  if (pText == nullptr) return 0;
  pText->Tronque(0);
  if (bWithName) {
    pText->Add(L'<');
    const wchar_t* pszName = pszGetName();
    pText->Add(pszName, static_cast<int>(std::wcslen(pszName)));
    pText->Add(L"> = <", 5);
  }
  auto AddText = [pText](const wchar_t* psz) {
    pText->Add(psz, static_cast<int>(std::wcslen(psz)));
  };
  int bResult = 1;
  if (bValueIsUnreadYet()) {
    AddText(L"UNREAD YET");
  } else {
    CAny clValue;
    bResult = bGetCurrentValue(&clValue, 0);
    if (!bResult) {
      if (bWithName) AddText(L"ERROR RETRIEVING VALUE>");
      return 0;
    }
    if (clValue.bIsNull()) {
      if (bWithName) AddText(L"NULL");
    } else if (bWithName && clValue.nGetTypeCode() == VX_BIN) {
      CTString cs;
      nGetString(&cs, clValue, nullptr, 1);
      AddText(cs.pszGet());
    } else {
      CTString cs;
      if (bToWideText(clValue, &cs)) {
        AddText(cs.pszGet());
      } else if (bWithName) {
        const unsigned char* p;
        unsigned int n;
        GetData(clValue, &p, &n);
        AddText(L"IMPOSSIBLE TEXT CONVERSION (VX Type=");
        pText->AddNumber(static_cast<int>(clValue.nGetTypeCode()), -1);
        AddText(L", Data Size=");
        pText->AddNumber(static_cast<long long>(n), -1);
        pText->Add(L')');
      }
    }
  }
  if (bWithName) pText->Add(L'>');
  return bResult;
}

int CNAColumn::bSetValue(const CAny* pValue, unsigned int nFlags) {
  if (m_piItem == nullptr) return 0;
  if (bIsMemo()) {
    m_strAttachedFile.Vide();
    m_bMemoModified = 0;
    if (m_pclValue == nullptr) return 0;
    const int bOk = pValue == nullptr ? (m_pclValue->SetNull(), 1) : m_pclValue->bSetValue(pValue);
    if (bOk) _SetItemValueDefinedInZBRecord(!m_pclValue->bIsNull(), nFlags);
    return bOk;
  }
  CNAZBRecordBase* pclBuffer = _pclGetCurrentBuffer();
  if (pclBuffer == nullptr) return 0;
  const bool bNullValue =
      pValue == nullptr || pValue->bIsNull() || pValue->nGetTypeCode() == 0;
  const bool bHolderOnSlot = m_pclValue != nullptr && m_pclValue->eGetVarType() == NA_VT_BUFFER &&
                             m_pclValue->pbyGetBuffer() == pclBuffer->pbyGetItemValue(m_piItem, -1);
  if (bNullValue || !bHolderOnSlot) {
    if (!pclBuffer->SetItemValue(m_piItem, pValue, -1)) return _SetConversionError(pValue);
  } else {
    // The holder works on the slot itself and reports a value it cannot
    // take (the slot then unchanged) on the column's error.
    if (!m_pclValue->bSetValue(pValue)) return 0;
    pclBuffer->SetItemValueDefined(m_piItem, 1, -1);
  }
  if (m_pclValue != nullptr) {
    if (pclBuffer->bItemValueDefined(m_piItem)) {
      m_pclValue->pclGetValue()->SetNull(false);
    } else {
      m_pclValue->SetNull();
    }
  }
  return 1;
}

int CNAColumn::_SetConversionError(const CAny* pValue) {
  CTString cs;
  if (pValue != nullptr) bToWideText(*pValue, &cs);
  return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, 1, pclGetCnx(),
                            pszGetTableName(), pszGetName(), kNAErrConversion,
                            pValue != nullptr ? static_cast<int>(pValue->nGetTypeCode()) : 0,
                            static_cast<int>(eNAGetItemType()), cs.pszGet());
}

int CNAColumn::bValueModified() {
  if (m_piItem == nullptr) return 0;
  if (bIsComposedKey()) {
    if (m_pTabComponents == nullptr) return 0;
    for (int i = 0; i < m_pTabComponents->nGetNbElement(); ++i) {
      if ((*m_pTabComponents)[i]->bValueModified()) return 1;
    }
    return 0;
  }
  if (bIsMemo()) return m_bMemoModified;
  CNAZBRecordBase* pclCurrent = _pclGetCurrentBuffer();
  CNAZBRecordBase* pclOriginal = _pclGetOriginalBuffer();
  if (pclCurrent == nullptr || pclOriginal == nullptr) return 0;
  if (pclCurrent->bItemValueDefined(m_piItem) != pclOriginal->bItemValueDefined(m_piItem)) return 1;
  const unsigned char* pA = pclCurrent->pbyGetItemValue(m_piItem, -1);
  const unsigned char* pB = pclOriginal->pbyGetItemValue(m_piItem, -1);
  if (pA == nullptr || pB == nullptr) return pA != pB;
  const int nSize = m_piItem->nGetTotalSize();
  return nSize > 0 && std::memcmp(pA, pB, static_cast<size_t>(nSize)) != 0;
}

int CNAColumn::bValueDefined() {
  if (m_piItem == nullptr) return 0;
  if (bIsComposedKey()) {
    if (m_pTabComponents == nullptr) return 0;
    for (int i = 0; i < m_pTabComponents->nGetNbElement(); ++i) {
      if ((*m_pTabComponents)[i]->bValueDefined()) return 1;
    }
    return 0;
  }
  if (bIsMemo()) {
    return m_strAttachedFile.nTaille() != 0 || (m_pclValue != nullptr && !m_pclValue->bIsNull());
  }
  return !bNullOrEquivalent();
}

int CNAColumn::bOriginalValueDefined() {
  CNAZBRecordBase* pclOriginal = _pclGetOriginalBuffer();
  return pclOriginal != nullptr && m_piItem != nullptr && pclOriginal->bItemValueDefined(m_piItem);
}

int CNAColumn::bSameValue(const CAny* pValue, unsigned int nFlags) {
  if (m_piItem == nullptr) return 0;
  const bool bGivenNull = pValue == nullptr || pValue->bIsNull() || pValue->nGetTypeCode() == 0;
  if (!bIsComposedKey() && !bIsMemo() && !_bItemDefinedInCurrent()) return bGivenNull;
  if (pValue == nullptr) return 0;
  CAny clCurrent;
  if (!bGetCurrentValue(&clCurrent, nFlags)) return 0;
  if (clCurrent.bIsNull() || bGivenNull) return clCurrent.bIsNull() && bGivenNull;
  const unsigned int nA = clCurrent.nGetTypeCode();
  const unsigned int nB = pValue->nGetTypeCode();
  const bool bSameFamily =
      nA == nB || (bIsAnsiTextVX(nA) && bIsAnsiTextVX(nB)) || (bIsWideTextVX(nA) && bIsWideTextVX(nB));
  if (!bSameFamily || nA == VX_DECIMAL) {
    int bEqual = 0;
    if (nEgalite(clCurrent, *pValue, &bEqual, 0) >= 100) return 0;
    return bEqual != 0;
  }
  const unsigned char* pOwn;
  unsigned int nOwn;
  const unsigned char* pGiven;
  unsigned int nGiven;
  GetData(clCurrent, &pOwn, &nOwn);
  GetData(*pValue, &pGiven, &nGiven);
  if (nOwn < nGiven) return 0;
  if (nGiven > 0 && std::memcmp(pOwn, pGiven, nGiven) != 0) return 0;
  if ((nFlags & kSameValuePrefix) == 0) {
    for (unsigned int i = nGiven; i < nOwn; ++i) {
      if (pOwn[i] != 0) return 0;
    }
  }
  return 1;
}

int CNAColumn::bCheckAndCorrectZBRecordValues() {
  if (m_piItem == nullptr) return 0;
  if (bIsComposedKey()) return 1;
  if (bIsMemo()) {
    if (_bItemDefinedInCurrent()) {
      _SetItemValueDefinedInZBRecord(1, 0);
      return 1;
    }
    CAny clNull;
    Retype(&clNull, eGetVXType());
    clNull.SetNull(true);
    return _bSetValueMemoToDB(&clNull, 0);
  }
  if (!bValueDefined()) return bSetValueNULL();
  if (m_pclValue != nullptr && m_pclValue->eGetVarType() == NA_VT_BUFFER)
    m_pclValue->pclGetValue()->SetNull(false);
  return 1;
}

int CNAColumn::bSetValueFromDB(CNAStatementBase*, unsigned int) { return 0; }

int CNAColumn::bHAttacheMemo(const wchar_t* pszPath) {
  m_strAttachedFile = CTString(pszPath != nullptr ? pszPath : L"");
  if (m_pclValue != nullptr) m_pclValue->SetNull();
  m_bMemoModified = 1;
  return 1;
}

int CNAColumn::bHExtraitMemo(const wchar_t* pszPath) {
  if (m_pclValue != nullptr && !m_pclValue->bIsNull() &&
      m_pclValue->eGetVarType() != NA_VT_EMPTY)
    return m_pclValue->bStoreFile(pszPath, m_pclError);
  CAny clNull;
  Retype(&clNull, eGetVXType());
  clNull.SetNull(true);
  return CNAVariant::gbStoreFile(&clNull, pszPath, m_pclError);
}

int CNAColumn::bGetBLOB(CAny* pValue) { return bGetCurrentValue(pValue, 0); }

int CNAColumn::bMustDefine(unsigned int nFlags) {
  if (bIsComposedKey()) return 0;
  if (bIsMemo()) return (nFlags & kStatementMemoDefined) != 0;
  return 1;
}

int CNAColumn::bMustBind(unsigned int nFlags) {
  if (bSourceIsQuery() && eGetTypeColonne() != 0) return 0;
  if (bIsComposedKey()) return 0;
  if (!bIsMemo()) return 1;
  return (nFlags & kStatementMemoBound) != 0;
}

int CNAColumn::bGetCacheValue(CAny* pValue, unsigned int nFlags) {
  return bGetCurrentValue(pValue, nFlags);
}

CNAConvertVariant* CNAColumn::pclGetNAValue() const { return m_pclValue; }

CNAConvertVariant* CNAColumn::pclGetVariantClone() const {
  return m_pclValue != nullptr ? m_pclValue->pclGetCloneVariant() : nullptr;
}

int CNAColumn::bRestaureOriginalValue(CNAConvertVariant* pclOriginal) {
  m_strAttachedFile.Vide();
  m_bMemoModified = 0;
  if (m_pclValue == nullptr) return 1;
  if (pclOriginal != nullptr) {
    m_pclValue->bCopyVariant(pclOriginal);
  } else {
    m_pclValue->SetNull();
  }
  return 1;
}

// ---- Names

const wchar_t* CNAColumn::pszGetName() const {
  const wchar_t* psz = m_piItem != nullptr ? m_piItem->pszGetName() : nullptr;
  return psz != nullptr ? psz : L"";
}

const wchar_t* CNAColumn::pszGetOriginalName() const {
  const wchar_t* psz = m_piItem != nullptr ? m_piItem->pszGetNameInSource() : nullptr;
  return psz != nullptr && psz[0] != 0 ? psz : pszGetName();
}

const wchar_t* CNAColumn::pszGetSourceName() const {
  const wchar_t* psz = m_piItem != nullptr ? m_piItem->pszGetSourceName() : nullptr;
  return psz != nullptr ? psz : L"";
}

const wchar_t* CNAColumn::pszGetTableName() const {
  return m_pclRecord != nullptr ? m_pclRecord->pszGetTableName() : L"";
}

const wchar_t* CNAColumn::pszGetFormatedSelectName(int bFormatedName) {
  if (m_strSelectName.nTaille() != 0) return m_strSelectName.pszGet();
  if (bFormatedName) {
    m_strSelectName = m_strFormattedName;
    return m_strSelectName.pszGet();
  }
  CTString strPrefix;
  if (bSourceIsQuery()) {
    if (m_strFormattedAlias.nTaille() != 0) {
      strPrefix = m_strFormattedAlias;
    } else if (pszGetSourceName()[0] != 0 && pclGetCnx() != nullptr) {
      pclGetCnx()->bFormatTableName(m_pclError, pszGetSourceName(), &strPrefix);
    }
    if (strPrefix.nTaille() != 0) strPrefix = CTString(strPrefix.pszGet(), L".", L"");
  }
  m_strSelectName = CTString(strPrefix.pszGet(), m_strFormattedOriginalName.pszGet(), L"");
  return m_strSelectName.pszGet();
}

int CNAColumn::bFormatName() {
  CNAConnectionDescription* pclConnection = pclGetCnx();
  if (pclConnection == nullptr) {
    // No connection to write for: the names as they are.
    m_strFormattedName = CTString(pszGetName());
    m_strFormattedOriginalName = CTString(pszGetOriginalName());
    return 1;
  }
  if (!pclConnection->bFormatItemName(m_pclError, pszGetName(), &m_strFormattedName)) return 0;
  return pclConnection->bFormatItemName(m_pclError, pszGetOriginalName(),
                                        &m_strFormattedOriginalName);
}

int CNAColumn::bSetAliasNomTable(const wchar_t* pszAlias) {
  m_strAlias = CTString(pszAlias != nullptr ? pszAlias : L"");
  m_strFormattedAlias.Vide();
  m_strSelectName.Vide();
  if (m_strAlias.nTaille() == 0) return 1;
  CNAConnectionDescription* pclConnection = pclGetCnx();
  if (pclConnection == nullptr) {
    m_strFormattedAlias = m_strAlias;
    return 1;
  }
  return pclConnection->bFormatTableName(m_pclError, m_strAlias.pszGet(), &m_strFormattedAlias);
}

// ---- Item properties

int CNAColumn::nGetPhysicalIndice() const {
  if (m_bItemKnown) return m_nPhysicalIndex;
  return m_piItem != nullptr ? m_piItem->nGetPhysicalIndice() : -1;
}
int CNAColumn::bIsComposedKey() const {
  if (m_bItemKnown) return m_nComposed;
  return m_piItem != nullptr && m_piItem->bIsComposedKey();
}
int CNAColumn::bIsMemo() const {
  if (m_bItemKnown) return m_nMemo;
  return m_piItem != nullptr && m_piItem->bMemo();
}
int CNAColumn::bIsMemoText() const { return m_piItem != nullptr && m_piItem->bMemoText(); }
int CNAColumn::bIsMemoBin() const { return m_piItem != nullptr && m_piItem->bMemoBinary(); }
int CNAColumn::bLiteral() const { return m_piItem != nullptr && m_piItem->bLiteral(); }
int CNAColumn::nGetItemSize() const { return m_piItem != nullptr ? m_piItem->nGetItemSize() : 0; }
int CNAColumn::nGetLogicalSize() const {
  return m_piItem != nullptr ? m_piItem->nGetLogicalSize(0) : 0;
}
int CNAColumn::nGetIntegerPart() const {
  return m_piItem != nullptr ? m_piItem->nGetIntegerPart() : 0;
}
int CNAColumn::nGetDecimalPart() const {
  return m_piItem != nullptr ? m_piItem->nGetDecimalPart() : 0;
}
eNA_ITEMTYPE CNAColumn::eNAGetItemType() const {
  return m_piItem != nullptr ? m_piItem->eNAGetItemType() : NA_IT_EMPTY;
}
int CNAColumn::bGetDescendantComponent(int n) const {
  return m_piItem != nullptr && m_piItem->bGetDescendant(n);
}
unsigned short CNAColumn::eGetVXType() const {
  return m_piItem != nullptr ? ConverteItemToVXType(m_piItem->eNAGetItemType()) : 0;
}
int CNAColumn::bIsIdAuto() const {
  const eNA_ITEMTYPE e = eNAGetItemType();
  return e == NA_IT_IDAUTO || e == NA_IT_IDAUTO4;
}

// ---- Imported item first

int CNAColumn::bIsMemoDB() const {
  return m_pclImported != nullptr ? m_pclImported->bMemo() : bIsMemo();
}
int CNAColumn::bUpdatable() const { return m_pclImported != nullptr && m_pclImported->bUpdatable(); }
int CNAColumn::nGetLogicalSizeOnDatabase() const {
  return m_pclImported != nullptr ? m_pclImported->nGetLogicalSize(0) : -1;
}
eNA_ITEMTYPE CNAColumn::eNAGetItemTypeOnDatabaseEx() const {
  return m_pclImported != nullptr ? m_pclImported->eNAGetItemType() : eNAGetItemType();
}
eNA_ITEMTYPE CNAColumn::eNAGetItemTypeOnDatabase() const {
  if (m_pclImported == nullptr) return NA_IT_EMPTY;
  return static_cast<eNA_ITEMTYPE>(m_pclImported->eNAGetDBType(pclGetCnx()));
}
int CNAColumn::nGetDBType() const {
  return m_pclImported != nullptr ? m_pclImported->nGetNativeTypeCode() : 0;
}
int CNAColumn::bGetIgnoreCase(int n) const {
  if (m_pclImported != nullptr) return m_pclImported->bGetIgnoreCase(n);
  return m_piItem != nullptr && m_piItem->bGetIgnoreCase(n);
}
int CNAColumn::bIsUnique() const {
  return (m_piItem != nullptr && m_piItem->bUnique()) ||
         (m_pclImported != nullptr && m_pclImported->bUnique());
}
int CNAColumn::bPrimary() const {
  return bIsIdAuto() || (m_piItem != nullptr && m_piItem->bPrimary()) ||
         (m_pclImported != nullptr && m_pclImported->bPrimary());
}

// ---- NULL rules

int CNAColumn::bIsNullable() const {
  if (m_piItem == nullptr) return 1;
  if (m_piItem->nGetVersion() > 8) return m_piItem->vbConstraintNullAllowed() != 0;
  if (m_piItem->bPrimary()) return 0;
  return !bIsIdAuto();
}

int CNAColumn::bIsNullableOnDataBase() const {
  if (m_pclImported != nullptr) return m_pclImported->bNullable();
  return bIsNullable();
}

int CNAColumn::bUniqueNotNull() const {
  if (m_piItem != nullptr) {
    if (m_piItem->bPrimary()) return 1;
    if (m_piItem->bUnique()) {
      if (m_piItem->nGetVersion() > 8) {
        if (!m_piItem->vbConstraintNullAllowed()) return 1;
      } else if (bIsIdAuto()) {
        return 1;
      }
    }
  }
  if (m_pclImported == nullptr) return 0;
  if (m_pclImported->bPrimary()) return 1;
  if (!m_pclImported->bUnique()) return 0;
  const eNA_ITEMTYPE e = m_pclImported->eNAGetItemType();
  return !m_pclImported->bNullable() || e == NA_IT_IDAUTO || e == NA_IT_IDAUTO4;
}

int CNAColumn::bNullOrEquivalent(const CAny* pValue) const {
  if (pValue == nullptr || pValue->bIsNull()) return 1;
  const int eA = eNAGetItemType();
  const int eD = eNAGetItemTypeOnDatabase();
  const bool bDateLike = eA == NA_IT_DATE8 || eA == NA_IT_DATE6 || eD == NA_IT_DATE8 ||
                         eD == NA_IT_DATE6 || eA == NA_IT_DATETIME ||
                         (eD == NA_IT_DATETIME && eA != NA_IT_HEURE);
  if (!bDateLike) {
    CNAConnectionDescription* pclConnection = pclGetCnx();
    if (pclConnection == nullptr || pclConnection->nGetServerKind() != kServerKindEmptyIsNull)
      return 0;
    if (!bIsTextItem(eA) && !bIsTextItem(eD)) {
      if (eA == NA_IT_BINAIRE || eA == NA_IT_MEMOBINAIRE || eD == NA_IT_BINAIRE ||
          eD == NA_IT_MEMOBINAIRE) {
        const unsigned char* p;
        unsigned int n;
        GetData(*pValue, &p, &n);
        return n == 0;
      }
      return 0;
    }
  }
  if (pValue->nGetTypeCode() == VX_DATETIME) {
    unsigned int adw[2];
    std::memcpy(adw, pValue->pbyGetValeur(), sizeof adw);
    return adw[0] == 0 && adw[1] == 0;
  }
  CTString cs;
  if (!bToWideText(*pValue, &cs)) return 0;
  if (cs.nTaille() != 0) return 0;
  if (!bIsNullableOnDataBase() &&
      (bIsTextItem(eA) || bIsTextItem(eD) || eA == NA_IT_HEURE || eD == NA_IT_HEURE))
    return 0;
  return 1;
}

int CNAColumn::bNullOrEquivalent(const CNAVariant* pclValue) const {
  if (pclValue == nullptr || pclValue->pclGetValue()->bIsNull()) return 1;
  CAny clValue;
  pclValue->vbGetValue(&clValue);
  return bNullOrEquivalent(&clValue);
}

int CNAColumn::bNullOrEquivalent() {
  if (bIsMemo()) {
    if (m_strAttachedFile.nTaille() != 0) return 0;
    if (m_pclValue == nullptr) return 1;
    if (!_bItemDefinedInCurrent() && m_pclValue->bIsNull()) return 1;
  } else if (!_bItemDefinedInCurrent()) {
    return 1;
  }
  CAny clValue;
  if (!const_cast<CNAColumn*>(this)->bGetCurrentValue(&clValue, 0)) return 1;
  return bNullOrEquivalent(&clValue);
}

int CNAColumn::bNull() {
  CAny clValue;
  if (!bGetCurrentValue(&clValue, 0)) return 1;
  return clValue.bIsNull();
}

// ---- Composed keys

int CNAColumn::AddCompositeKey(CNAColumn* pclComponent) {
  if (pclComponent == nullptr) return 0;
  if (m_pTabComponents == nullptr) {
    m_pTabComponents = new (std::nothrow) CNARefArray<CNAColumn>(1, 30);
    if (m_pTabComponents == nullptr) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
  }
  return m_pTabComponents->Ajoute(pclComponent);
}

int CNAColumn::bIsComposedKeyComponent(const CNAColumn* pclColumn) const {
  if (m_pTabComponents == nullptr || pclColumn == nullptr) return 0;
  for (int i = 0; i < m_pTabComponents->nGetNbElement(); ++i) {
    if ((*m_pTabComponents)[i] == pclColumn) return 1;
  }
  return 0;
}

// ---- Links

INAItemDescription* CNAColumn::piGetItem() const {
  return m_piItem != nullptr ? m_piItem->ExternalAddRef() : nullptr;
}

CNAConnectionDescription* CNAColumn::pclGetCnx() const {
  return m_pclRecord != nullptr ? m_pclRecord->pclGetConnectionNoRef() : nullptr;
}

CNAParsedQuery* CNAColumn::pclGetSourceQueryNoRef() const {
  return m_pclRecord != nullptr ? m_pclRecord->pclGetSourceQueryNoRef() : nullptr;
}

int CNAColumn::bSourceIsQuery() const {
  return m_pclRecord != nullptr && m_pclRecord->bSourceIsQuery();
}

int CNAColumn::eGetTypeColonne() const {
  if (!bSourceIsQuery()) return 0;
  // The driver's own description of the item (made from the parsed query)
  // knows whether a column is computed. The analysis item is not asked: it
  // may be the server's object, whose type the driver cannot test.
  return m_pclImported != nullptr ? m_pclImported->bGetCalculated() : 0;
}

int CNAColumn::nGetMemoIndice() const {
  if (m_pclRecord == nullptr) return -1;
  const CNARefArray<CNAColumn>* pTab = m_pclRecord->pclGetTabColumnMemo();
  if (pTab == nullptr) return -1;
  for (int i = 0; i < pTab->nGetNbElement(); ++i) {
    if ((*pTab)[i] == this) return i;
  }
  return -1;
}

// ---- Values

CNAZBRecordBase* CNAColumn::_pclGetCurrentBuffer() const {
  return m_pclRecord != nullptr ? m_pclRecord->pclGetNAZBRecord() : nullptr;
}

CNAZBRecordBase* CNAColumn::_pclGetOriginalBuffer() const {
  if (m_pclRecord == nullptr) return nullptr;
  CNARecordValueBase* pclOriginal = m_pclRecord->pclGetOriginalRecordNoRef();
  return pclOriginal != nullptr ? pclOriginal->pclGetNAZBRecord() : nullptr;
}

int CNAColumn::_bItemDefinedInCurrent() const {
  CNAZBRecordBase* pclBuffer = _pclGetCurrentBuffer();
  return pclBuffer != nullptr && m_piItem != nullptr && pclBuffer->bItemValueDefined(m_piItem);
}

unsigned char* CNAColumn::pGetValuePtr(CNAZBRecordBase* pclBuffer) const {
  return pclBuffer != nullptr && m_piItem != nullptr ? pclBuffer->pbyGetItemValue(m_piItem, -1)
                                                     : nullptr;
}

unsigned char* CNAColumn::pGetValuePtr(CNARecord* pclRecord) const {
  CNARecord* pclFrom = pclRecord != nullptr ? pclRecord : m_pclRecord;
  return pclFrom != nullptr ? pGetValuePtr(pclFrom->pclGetNAZBRecord()) : nullptr;
}

int CNAColumn::bSetValueNULL() {
  if (bIsMemo()) {
    CAny clNull;
    Retype(&clNull, eGetVXType());
    clNull.SetNull(true);
    return _bSetValueMemoToDB(&clNull, 0);
  }
  if (m_pclValue != nullptr) m_pclValue->SetNull();
  _SetItemValueDefinedInZBRecord(0, 0);
  return 1;
}

int CNAColumn::bSetValueToDB(const CAny* pValue, unsigned int nFlags) {
  if (bIsMemo()) return _bSetValueMemoToDB(pValue, nFlags);
  if (m_pclValue == nullptr) return 0;
  if (pValue == nullptr || pValue->bIsNull() || pValue->nGetTypeCode() == 0) {
    m_pclValue->SetNull();
    _SetItemValueDefinedInZBRecord(0, nFlags);
    return 1;
  }
  if (!m_pclValue->bSetValue(pValue)) return 0;
  _SetItemValueDefinedInZBRecord(1, nFlags);
  return 1;
}

int CNAColumn::_bSetValueMemoToDB(const CAny* pValue, unsigned int nFlags) {
  if (m_pclValue == nullptr) return 0;
  bool bNewNull = pValue == nullptr || pValue->bIsNull() || pValue->nGetTypeCode() == 0;
  if (!bNewNull && bIsNullableOnDataBase()) {
    const unsigned char* p;
    unsigned int n;
    GetData(*pValue, &p, &n);
    bNewNull = n == 0;
  }
  if (!bNewNull && !_bItemDefinedInCurrent()) _SetItemValueDefinedInZBRecord(1, nFlags);
  m_strAttachedFile.Vide();
  if (m_pclValue->eGetVarType() == NA_VT_NOT_READ) {
    m_bMemoModified = 1;
  } else {
    CNAZBRecordBase* pclOriginal = _pclGetOriginalBuffer();
    const bool bOriginalDefined =
        pclOriginal != nullptr && m_piItem != nullptr && pclOriginal->bItemValueDefined(m_piItem);
    if (!bOriginalDefined && bNewNull) {
      m_pclValue->SetNull();
      m_bMemoModified = 0;
      return 1;
    }
    if (!m_bMemoModified) {
      if (m_pclValue->bIsNull()) {
        m_bMemoModified = bNewNull ? 0 : 1;
        if (!m_bMemoModified) return 1;
      } else {
        CAny clOld;
        m_pclValue->bGetValue(&clOld);
        int bDifferent = 1;
        if (pValue == nullptr || nDifferent(clOld, *pValue, &bDifferent, 0) >= 100) bDifferent = 1;
        m_bMemoModified = bDifferent != 0;
        if (!m_bMemoModified) return 1;
      }
    }
  }
  if (pValue == nullptr) {
    m_pclValue->SetNull();
    return 1;
  }
  return m_pclValue->bSetValue(pValue);
}

int CNAColumn::bConvertDataToDB() {
  if (m_pclValue == nullptr) return 0;
  if (m_pclValue->eGetVarType() == NA_VT_BUFFER) {
    if (bValueDefined()) {
      m_pclValue->pclGetValue()->SetNull(false);
    } else {
      m_pclValue->SetNull();
    }
  }
  return m_pclValue->bConvertDataToDB();
}

int CNAColumn::bInitVariant_NV_Any(CNAError*, CNAConvertVariant* pclValue,
                                   unsigned short nVXType) const {
  if (pclValue == nullptr) return 0;
  pclValue->InitTypeVariantAny(nVXType != 0 ? nVXType : eGetVXType(),
                               bIsMemo() ? 0u : static_cast<unsigned int>(nGetItemSize()));
  pclValue->SetItemDesc(m_piItem, m_pclImported);
  return 1;
}

void CNAColumn::SetValueIsUnreadYet() {
  if (m_pclValue != nullptr) {
    m_pclValue->pclGetValue()->SetNull(true);
    if (m_pclValue->eGetVarType() == NA_VT_ANY) m_pclValue->SetNotRead();
  }
  if (bIsMemo()) {
    m_strAttachedFile.Vide();
    m_bMemoModified = 0;
  }
  _SetItemValueDefinedInZBRecord(1, 0);
}

int CNAColumn::bValueIsUnreadYet() const {
  return m_pclValue != nullptr && m_pclValue->eGetVarType() == NA_VT_NOT_READ;
}

void CNAColumn::SetNotModified() {
  m_bMemoModified = 0;
  m_strAttachedFile.Vide();
}

void CNAColumn::_SetItemValueDefinedInZBRecord(int bDefined, unsigned int) {
  CNAZBRecordBase* pclBuffer = _pclGetCurrentBuffer();
  if (pclBuffer != nullptr && m_piItem != nullptr)
    pclBuffer->SetItemValueDefined(m_piItem, bDefined ? 1 : 0, -1);
}

// ---- CNASQLColumn

int CNASQLColumn::bSetValueFromDB(CNAStatementBase* pclStatement, unsigned int nFlags) {
  if (pclStatement == nullptr) return 0;
  CNAConvertVariant* pclValue = pclGetNAValue();
  if (pclValue == nullptr) return 0;
  const bool bMemo = bIsMemo() != 0;
  if (bMemo) {
    SetNotModified();
    pclValue->InitTypeVariantAny(eGetVXType(), 0);
    pclValue->SetItemDesc(piGetItemNoRef(), piGetImportedItemDescNoRef());
  }
  const int nIndex = nGetPhysicalIndice();
  const int bOk = pclStatement->bGetSQLColumnValue(
      pclValue, nIndex >= 0 ? static_cast<unsigned int>(nIndex) : 0u);
  if (!bOk && bMemo) {
    pclValue->SetNull();
  } else if (bOk) {
    _SetItemValueDefinedInZBRecord(!pclValue->bIsNull(), nFlags);
  }
  return bOk;
}
