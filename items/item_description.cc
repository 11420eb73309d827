#include "items/item_description.h"

#include <cmath>
#include <new>

#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/data_source_description.h"
#include "items/item_types.h"
#include "kq230/sql_parser_interface.h"

namespace {

// Item types by number (their names live with the item types).
constexpr int kEmpty = 0, kIdAuto = 1, kTexte = 2, kI4 = 5, kR4 = 6, kR8 = 7, kDate6 = 10,
              kHeure = 11, kDate8 = 14, kMemoTexte = 15, kI8 = 19, kUI8 = 20, kUI4 = 22,
              kBinaire = 23, kDateTime = 24, kIdAuto4 = 28, kUnicode = 29, kMemoUnicode = 30,
              kDecimal = 31, kMonetaire = 17;

// Language type codes used here.
constexpr unsigned short kVxPSTRA = 18;
constexpr unsigned short kVxNull = 0x100;

}  // namespace

CNAItemDescription* CNAItemDescription::s_pclNew() {
  // The driver's factory answers a CNAItemDescription* as void* (the driver
  // core cannot name the items' classes).
  if (CNADriver::s_pclDriver != nullptr) {
    return static_cast<CNAItemDescription*>(CNADriver::s_pclDriver->pclAllocItemDescription());
  }
  return new (std::nothrow) CNAItemDescription();
}

CNAItemDescription::CNAItemDescription() = default;

CNAItemDescription::~CNAItemDescription() {
  for (int i = m_tabComponents.nGetNbElement() - 1; i >= 0; --i) {
    CNAItemDescription* p = m_tabComponents[i];
    m_tabComponents.Supprime(i, 1);
    if (p != nullptr) p->nRelease();
  }
  ReleaseExternalObjects();
}

void CNAItemDescription::ReleaseExternalObjects() {
  SetEnumeration(nullptr);
  SetCombination(nullptr);
}

void CNAItemDescription::SetEnumeration(IEnumerationVM* pi) {
  if (pi == m_piEnumeration) return;
  if (m_piEnumeration != nullptr) m_piEnumeration->nRelease();
  m_piEnumeration = pi;
  if (pi != nullptr) pi->nAddRef();
}

void CNAItemDescription::SetCombination(ICombinaisonVM* pi) {
  if (pi == m_piCombination) return;
  if (m_piCombination != nullptr) m_piCombination->nRelease();
  m_piCombination = pi;
  if (pi != nullptr) pi->nAddRef();
}

// ---------------------------------------------------------------------------
// Counts

INAItemDescription* CNAItemDescription::ExternalAddRef() {
  ++m_nExternalRefCount;
  return this;
}

int CNAItemDescription::nExternalRelease() {
  if (m_nExternalRefCount <= 0) return 0;
  const int n = --m_nExternalRefCount;
  if (n == 0 && m_nRefCount == 0) delete this;
  return n;
}

int CNAItemDescription::nRelease() {
  if (m_nRefCount <= 0) return 0;
  const int n = --m_nRefCount;
  if (n == 0 && m_nExternalRefCount == 0) delete this;
  return n;
}

// ---------------------------------------------------------------------------
// Sizes

int CNAItemDescription::nGetLogicalSize(int n) {
  const long long llSize = m_nItemSize;
  const long long llDim = n == -1 ? m_nDimension : 1;
  long long llResult;
  // Never below 0: a size under the type's overhead has no value bytes.
  auto Room = [](long long v) { return v < 0 ? 0 : v; };
  if (m_nType == kTexte) {
    llResult = Room(llSize - 1) * llDim;
  } else if (m_nType == kUnicode) {
    llResult = Room(llSize - 2) * llDim / 2;
  } else if (m_nType == kBinaire && !bIsComposedKey()) {
    llResult = Room(llSize - 2) * llDim;
  } else {
    llResult = llSize * llDim;
  }
  return llResult > kMaxSize ? static_cast<int>(kMaxSize) : static_cast<int>(llResult);
}

int CNAItemDescription::nGetTotalSize() {
  // bInit and bAddComponent keep the product below 2^31.
  const long long ll = llGetTotalSize();
  return ll > kMaxSize ? static_cast<int>(kMaxSize) : static_cast<int>(ll);
}

int CNAItemDescription::nGetOffset(int n) {
  const long long ll = static_cast<long long>(m_nRecordOffset) +
                       static_cast<long long>(n) * static_cast<long long>(m_nItemSize);
  if (ll < 0 || ll > kMaxSize) return -1;
  return static_cast<int>(ll);
}

int CNAItemDescription::bNumerical() {
  switch (m_nType) {
    case 1: case 3: case 4: case 5: case 6: case 7: case 9: case 12: case 13: case 17:
    case 19: case 20: case 22: case 25: case 27: case 28: case 31:
      return 1;
    default:
      return 0;
  }
}

INAItemDescription* CNAItemDescription::piGetItemComponent(int n) {
  if (n < 1 || n > m_tabComponents.nGetNbElement()) return nullptr;
  CNAItemDescription* p = m_tabComponents[n - 1];
  if (p == nullptr) return nullptr;
  return p->ExternalAddRef();
}

void CNAItemDescription::SetUpdatable(int bUpdatable) {
  if (bUpdatable) {
    m_dwOptions &= ~kOptNotUpdatable;
  } else {
    m_dwOptions |= kOptNotUpdatable;
  }
}

int CNAItemDescription::vbGetDefaultExpression(unsigned int, CXYString<wchar_t>& strExpression,
                                               int& nKind) {
  if (m_strDefaultExpression.nTaille() == 0) return 0;
  strExpression = CXYString<wchar_t>(m_strDefaultExpression.pszGet());
  nKind = 0;
  return 1;
}

// ---------------------------------------------------------------------------
// Filling

int CNAItemDescription::bInit(const wchar_t* pszName, const wchar_t* pszSourceName,
                              const wchar_t* pszNameInSource, int nDimension, int nItemSize,
                              int nType, int nPhysicalIndex, int nKeyIndex,
                              unsigned short wKeyFlags, int nIntegerDigits, int nDecimalDigits,
                              IEnumerationVM* piEnumeration, ICombinaisonVM* piCombination) {
  if (nType == kEmpty) {
    nType = kTexte;
    nItemSize = 1;
  }
  if (nType < 0 || nType > 33) return 0;
  const bool bComposed = (wKeyFlags & kKeyComposed) != 0;
  // Sizes checked before anything changes: a record laid out from these
  // never wraps, and the logical size never goes below 0.
  if (nDimension < 1 || nItemSize < 0) return 0;
  if (static_cast<long long>(nDimension) * nItemSize > kMaxSize) return 0;
  if (!g_bIsMemo(nType) && !bComposed) {
    if (nType == kTexte && nItemSize < 1) return 0;
    if ((nType == kUnicode || nType == kBinaire) && nItemSize < 2) return 0;
  }
  if (nType == kDecimal && (nIntegerDigits < 0 || nDecimalDigits < 0)) {
    // Left to s_GetTypeFromFormat: a negative count gives a double.
  }

  m_strName = pszName;
  m_strSourceName = pszSourceName;
  m_strNameInSource = pszNameInSource;
  m_nDimension = nDimension;
  m_nItemSize = nItemSize;
  m_nKeyIndex = nKeyIndex;
  m_nType = nType;
  m_nPhysicalIndex = nPhysicalIndex;
  m_wKeyFlags = wKeyFlags;
  SetEnumeration(piEnumeration);
  SetCombination(piCombination);

  if (nType == kDateTime || nType == kHeure) {
    m_nDecimalDigits = nDecimalDigits;
  } else if (nType == kMonetaire) {
    // A DECIMAL the database holds as a currency keeps its scale: its values
    // are shown with the database's decimals.
    m_nIntegerDigits = nIntegerDigits > 0 ? nIntegerDigits : 0;
    m_nDecimalDigits = nDecimalDigits > 0 ? nDecimalDigits : 0;
  } else if (nType == kDecimal) {
    int nNewType = kDecimal;
    unsigned int nSize = 0;
    s_GetTypeFromFormat(nIntegerDigits, nDecimalDigits, &nNewType, &nSize);
    if (nNewType == kR8) {
      m_nType = kR8;
      m_nItemSize = static_cast<int>(nSize);
    } else {
      m_nIntegerDigits = nIntegerDigits;
      m_nDecimalDigits = nDecimalDigits;
    }
  }
  if (g_bIsMemo(m_nType)) m_nItemSize = 8;
  if (m_nType == kIdAuto || m_nType == kIdAuto4) m_dwOptions = 3;
  ResetDefaultValue();
  return 1;
}

void CNAItemDescription::ResetDefaultValue() {
  m_clDefault.__SetType(eGetItemVXType(), 0);
  m_clDefault.SetNull(true);
}

void CNAItemDescription::UpdateDefaultValueType() {
  const unsigned short wType = eGetItemVXType();
  if (m_clDefault.nGetTypeCode() == wType) return;
  if (m_clDefault.__nCastTo(wType, nullptr, 1) != 0 || m_clDefault.nGetTypeCode() != wType) {
    m_clDefault.__SetType(wType, 0);
  }
}

int CNAItemDescription::bSetName(const wchar_t* pszName) {
  m_strName = pszName;
  return 1;
}

int CNAItemDescription::bSetKey(int nKeyIndex, unsigned short wKeyFlags) {
  m_nKeyIndex = nKeyIndex;
  m_wKeyFlags = wKeyFlags;
  return 1;
}

int CNAItemDescription::bSetKeyIndice(int nKeyIndex) {
  m_nKeyIndex = nKeyIndex;
  return 1;
}

void CNAItemDescription::SetSensTri(int eSens) {
  if (eSens == 0) {
    m_wKeyFlags = static_cast<unsigned short>((m_wKeyFlags & ~kKeyDescending) | kKeyAscending);
  } else {
    m_wKeyFlags = static_cast<unsigned short>((m_wKeyFlags & ~kKeyAscending) | kKeyDescending);
  }
}

void CNAItemDescription::SetIgnoreCase(int b) {
  m_wKeyFlags = static_cast<unsigned short>(b ? (m_wKeyFlags | kKeyIgnoreCase)
                                              : (m_wKeyFlags & ~kKeyIgnoreCase));
}

int CNAItemDescription::bAddComponent(CNAItemDescription* pclComponent) {
  if (pclComponent == nullptr) return 0;
  long long llNewSize = m_nItemSize;
  if (bIsComposedKey()) {
    long long llGrow = pclComponent->nGetLogicalSize(-1);
    if (pclComponent->m_nType == kUnicode) llGrow *= 2;  // UTF-16 bytes
    llNewSize += llGrow;
    if (llNewSize * m_nDimension > kMaxSize) return 0;
  }
  if (!m_tabComponents.Ajoute(pclComponent)) return 0;
  pclComponent->AddRef();
  m_nItemSize = static_cast<int>(llNewSize);
  return 1;
}

void CNAItemDescription::SetNullable(int b) {
  if (b) {
    m_dwOptions &= ~kOptNotNull;
  } else {
    m_dwOptions |= kOptNotNull;
  }
}

void CNAItemDescription::SetAutoIncrement() {
  m_dwOptions |= kOptAutoIncrement;
  if (m_nType == kI4 || m_nType == kUI4) {
    m_nType = kIdAuto4;
  } else if (m_nType == kI8 || m_nType == kUI8) {
    m_nType = kIdAuto;
  }
}

int CNAItemDescription::SetDefaultValue(const CAny* pclValue, int) {
  if (pclValue != nullptr && pclValue != &m_clDefault) m_clDefault = *pclValue;
  m_strDefaultExpression.Vide();
  const unsigned short wType = eGetItemVXType();
  if (m_clDefault.nGetTypeCode() == wType) return 0;
  const int nResult = m_clDefault.__nCastTo(wType, nullptr, 1);
  // The record and the SQL text take the default as a value of the item's
  // type: one that did not convert is not kept in its own type.
  if (nResult == 0 && m_clDefault.nGetTypeCode() == wType) return 0;
  ResetDefaultValue();
  return nResult != 0 ? nResult : 1;
}

void CNAItemDescription::SetDefaultExpression(const wchar_t* pszExpression) {
  m_clDefault.__SetType(0, 0);
  m_strDefaultExpression = pszExpression;
}

void CNAItemDescription::SetComputedColumnExpression(const CXYString<wchar_t>& strExpression,
                                                     int bPersisted) {
  m_strComputed = strExpression.pszGet();
  if (bPersisted) {
    m_dwOptions |= kOptComputedPersisted | kOptNotUpdatable;
  } else {
    m_dwOptions = (m_dwOptions & ~kOptComputedPersisted) | kOptNotUpdatable;
  }
}

unsigned short CNAItemDescription::eGetItemVXType() const {
  return s_wLanguageType(m_nType, static_cast<unsigned int>(m_nItemSize));
}

int CNAItemDescription::bChangeTypeMemo(int nType) {
  m_nType = nType;
  UpdateDefaultValueType();
  return 1;
}

int CNAItemDescription::bChangeType(INAItemDescription* piOther, int bKeepAutoId) {
  if (piOther == nullptr) return 0;
  m_nDimension = piOther->nGetDimension();
  m_nItemSize = piOther->nGetItemSize();
  m_nType = static_cast<int>(piOther->eNAGetItemType());
  m_strDBType = piOther->pszGetDBType();
  m_nDBTypeCode = 0;
  if (!bKeepAutoId && (m_nType == kIdAuto || m_nType == kIdAuto4)) {
    m_nType = m_nType == kIdAuto ? kI8 : kI4;
    m_nIntegerDigits = 0;
    m_nDecimalDigits = 0;
  } else if (m_nType == kDecimal || m_nType == kMonetaire) {
    m_nIntegerDigits = piOther->nGetIntegerPart();
    m_nDecimalDigits = piOther->nGetDecimalPart();
  } else if (m_nType == kHeure || m_nType == kDateTime) {
    m_nDecimalDigits = piOther->nGetDecimalPart();
  } else {
    m_nIntegerDigits = 0;
    m_nDecimalDigits = 0;
  }
  UpdateDefaultValueType();
  return 1;
}

int CNAItemDescription::bChangeType(CNAItemDescription* pclOther, int bKeepAutoId) {
  if (!bChangeType(static_cast<INAItemDescription*>(pclOther), bKeepAutoId)) return 0;
  m_nDBTypeCode = pclOther->m_nDBTypeCode;
  return 1;
}

int CNAItemDescription::bCompleteDescription(INAItemDescription* piOther, int bExact,
                                             unsigned int nKeyIndex) {
  if (!bChangeType(piOther, bExact)) return 0;
  m_strExtendedInfo = piOther->pszGetExtendedInfo();
  m_strCaption = piOther->pszGetCaption();
  if (piOther->bIsKey()) {
    unsigned short w = 0;
    if (piOther->bGetAscendant(-1)) w |= kKeyAscending;
    if (piOther->bGetDescendant(-1)) w |= kKeyDescending;
    if (piOther->bGetIgnoreCase(-1)) w |= kKeyIgnoreCase;
    if (piOther->bGetIgnorePunctuation(-1)) w |= kKeyIgnorePunctuation;
    if (piOther->bGetIgnoreAccent(-1)) w |= kKeyIgnoreAccent;
    w |= (bExact && piOther->bUnique()) ? kKeyUnique : kKeyDuplicates;
    if (piOther->bPrimary()) w |= kKeyPrimary;
    m_wKeyFlags = w;
    m_nKeyIndex = static_cast<int>(nKeyIndex);
  }
  m_strNameInSource = piOther->pszGetNameInSource();
  m_strSourceName = piOther->pszGetSourceName();
  return 1;
}

int CNAItemDescription::bTypeMatch(INAItemDescription* piOther, int bAnsi, int bLenient) {
  if (piOther == nullptr) return 0;
  int nThis = m_nType;
  int nOther = static_cast<int>(piOther->eNAGetItemType());
  unsigned int nThisSize = static_cast<unsigned int>(m_nItemSize);
  unsigned int nOtherSize = static_cast<unsigned int>(piOther->nGetItemSize());
  if (bAnsi) {
    s_Type2Ansi(&nThis, &nThisSize);
    s_Type2Ansi(&nOther, &nOtherSize);
  }
  if (nThis == nOther) {
    if (nThis > 31) return 1;
    switch (nThis) {
      case kTexte: case kHeure: case kBinaire: case kUnicode:
        return nThisSize >= nOtherSize;
      case kDecimal:
        return m_nDecimalDigits >= piOther->nGetDecimalPart() &&
               m_nIntegerDigits >= piOther->nGetIntegerPart();
      case kDateTime:
        return bLenient || m_nDecimalDigits >= piOther->nGetDecimalPart();
      default:
        return 1;
    }
  }
  auto DigitsFit = [&](bool bTotal) {
    int nD1 = 0, nS1 = 0, nD2 = 0, nS2 = 0;
    if (!s_bGetDecimalInfo(s_wLanguageType(nOther, nOtherSize), &nD2, &nS2)) return false;
    if (bTotal) return m_nIntegerDigits + m_nDecimalDigits >= nD2 && m_nDecimalDigits >= nS2;
    if (!s_bGetDecimalInfo(s_wLanguageType(nThis, nThisSize), &nD1, &nS1)) return false;
    return nD1 >= nD2 && nS1 >= nS2;
  };
  switch (nThis) {
    case 1: case 3: case 4: case 5: case 9: case 12: case 17: case 19: case 20: case 22:
    case 25: case 28:
      return DigitsFit(false);
    case kR8: return nOther == kR4;
    case kDate8: return nOther == kDate6 || (bLenient && nOther == kDateTime);
    case kDate6: case kHeure: return bLenient && nOther == kDateTime;
    case kMemoTexte: return nOther == 21 || nOther == kTexte;
    case 16: case 18: return nOther == kBinaire;
    case kDateTime: return nOther == kDate6 || nOther == kHeure || nOther == kDate8;
    case kUnicode:
      return nOther == kTexte && static_cast<unsigned long long>(nThisSize) * 2 >= nOtherSize;
    case kMemoUnicode:
      return nOther == kTexte || nOther == kMemoTexte || nOther == 21 || nOther == kUnicode;
    case kDecimal: return DigitsFit(true);
    default: return 0;
  }
}

int CNAItemDescription::eNAGetDBType(CNAConnectionDescription* pclConnection) {
  if (m_nDBTypeCode == 0) return 0;
  if (pclConnection != nullptr && pclConnection->bDBTypeUnkwnownByDB(m_nDBTypeCode)) return 0;
  return m_nType;
}

// ---------------------------------------------------------------------------
// Clone

CNAItemDescription* CNAItemDescription::pclGetCloneItemDescription(
    CNADataSourceDescription* pclTarget, eCLONEDESC eKind) {
  CNAItemDescription* p = s_pclNew();
  if (p == nullptr) {
    if (pclTarget->pclGetError() != nullptr) {
      pclTarget->pclGetError()->pclGetXError()->SetErrorNoMemory();
    }
    return nullptr;
  }
  p->m_strName = m_strName.pszGet();
  p->m_strExtendedInfo = m_strExtendedInfo.pszGet();
  p->m_strCaption = m_strCaption.pszGet();
  p->m_strDBType = m_strDBType.pszGet();
  p->m_nDBTypeCode = m_nDBTypeCode;
  p->m_nDimension = m_nDimension;
  p->m_nItemSize = m_nItemSize;
  p->m_nKeyIndex = pclTarget->nGetNumKeys();
  p->m_wKeyFlags = m_wKeyFlags;
  p->SetEnumeration(m_piEnumeration);
  p->SetCombination(m_piCombination);
  if ((eKind & CLONE_AS_KEY) != 0 && p->m_wKeyFlags == 0 && m_nType != kMemoUnicode &&
      m_nType != kMemoTexte) {
    p->m_wKeyFlags = kKeyDuplicates | kKeyAscending;
  }
  p->m_nType = m_nType;
  p->m_nPhysicalIndex = m_nPhysicalIndex;
  p->m_nDBIndex = m_nDBIndex;
  p->m_nRecordOffset = m_nRecordOffset;
  p->m_nFirstElement = m_nFirstElement;
  p->m_clDefault = m_clDefault;
  p->m_nIntegerDigits = m_nIntegerDigits;
  p->m_nDecimalDigits = m_nDecimalDigits;
  p->m_strSourceName = m_strSourceName.pszGet();
  p->m_strNameInSource = m_strNameInSource.pszGet();
  p->m_strSourceTable = m_strSourceTable.pszGet();
  p->m_bCalculated = m_bCalculated;
  p->m_dwOptions = m_dwOptions;
  if ((eKind & CLONE_DATE_AS_TEXT) != 0 && (m_nType == kDate8 || m_nType == kDateTime)) {
    p->m_nType = kTexte;
    p->m_clDefault.__SetType(kVxPSTRA, 0);
    p->m_clDefault.SetTypeWord(
        static_cast<unsigned short>(p->m_clDefault.wGetType() & ~(kVxNull | 0x400)));
  }
  for (int i = 0; i < m_tabComponents.nGetNbElement(); ++i) {
    CNAItemDescription* pclSame =
        pclTarget->pclNAGetCorrespondingItem(m_tabComponents[i]->pszGetName());
    // No hole in a key: a missing component (error 26 recorded) fails the
    // whole clone.
    if (pclSame == nullptr || !p->m_tabComponents.Ajoute(pclSame)) {
      if (pclSame != nullptr) pclSame->nExternalRelease();
      p->AddRef();
      p->nRelease();
      return nullptr;
    }
    pclSame->AddRef();
    pclSame->nExternalRelease();
  }
  return p;
}

// ---------------------------------------------------------------------------
// Static operations

void CNAItemDescription::s_Type2Ansi(int* pnType, unsigned int* pnSize) {
  if (*pnType == kUnicode) {
    *pnType = kTexte;
    *pnSize /= 2;
  } else if (*pnType == kMemoUnicode) {
    *pnType = kMemoTexte;
  }
}

int CNAItemDescription::s_nDecimalSize(int nDigits) {
  if (nDigits < 1 || nDigits > 38) return 0;
  // The bits of the digits and a sign, in whole bytes.
  const double dBits = nDigits * 3.321928094887362 + 1.0;
  return static_cast<int>(std::ceil(dBits / 8.0));
}

void CNAItemDescription::s_GetTypeFromFormat(int i, int d, int* pnType, unsigned int* pnSize) {
  if (i < 0 || d < 0) {
    *pnType = kR8;
    *pnSize = 8;
    return;
  }
  if (d == 0 && i < 20) {
    if (i == 0) { *pnType = kR8; *pnSize = 8; }
    else if (i <= 2) { *pnType = 4; *pnSize = 1; }
    else if (i <= 4) { *pnType = 3; *pnSize = 2; }
    else if (i <= 9) { *pnType = kI4; *pnSize = 4; }
    else { *pnType = kI8; *pnSize = 8; }
    return;
  }
  if (d >= 1 && d <= 6 && i <= 10) {
    *pnType = 17;
    *pnSize = 10;
    return;
  }
  if (d > 38 || i > 38 || i + d > 38) {
    *pnType = kR8;
    *pnSize = 8;
    return;
  }
  *pnType = kDecimal;
  *pnSize = static_cast<unsigned int>(s_nDecimalSize(i + d));
}

int CNAItemDescription::s_bGetDecimalInfo(unsigned short wType, int* pnDigits, int* pnDecimals) {
  *pnDecimals = 0;
  switch (wType) {
    case 1: *pnDigits = 1; return 1;
    case 2: case 6: *pnDigits = 3; return 1;
    case 3: case 7: *pnDigits = 5; return 1;
    case 4: case 8: case 24: *pnDigits = 10; return 1;  // UI4, I4, UIX
    case 5: case 9: case 27: *pnDigits = 19; return 1;  // UI8, I8, DUREE
    case 10: *pnDigits = 33; *pnDecimals = 5; return 1;
    default: return 0;
  }
}

long long CNAItemDescription::s_nGetZBSize(int nType, unsigned int nLength, int nDigits) {
  const long long ll = nLength;
  switch (nType) {
    case 1: case 7: case 15: case 18: case 19: case 20: case 24: case 25: case 30:
      return 8;
    case 2: return ll + 1;
    case 3: case 9: return 2;
    case 4: case 12: case 26: case 27: return 1;
    case 5: case 6: case 22: case 28: return 4;
    case 11: return nDigits < 1 ? 5 : 5 + (nDigits < 5 ? nDigits : 5);
    case 14: return 9;
    case 17: return 10;
    case 21: return 4 * ll + 4;
    case 29: return 2 * ll + 2;
    case 23: return ll + 2;
    case 31: return nDigits == 0 ? 18 : s_nDecimalSize(nDigits);
    default: return 0;
  }
}

int CNAItemDescription::bIsComponentOf(INAItemDescription* piKey, INAItemDescription* piItem) {
  if (piKey == nullptr) return 0;
  const int n = piKey->nGetNumComponents();
  for (int i = 1; i <= n; ++i) {
    INAItemDescription* pi = piKey->piGetItemComponent(i);
    if (pi == nullptr) continue;
    const bool bSame = pi == piItem;
    pi->nExternalRelease();
    if (bSame) return 1;
  }
  return 0;
}

unsigned short CNAItemDescription::s_wLanguageType(int nType, unsigned int nSize) {
  return ConverteItemToVXType(static_cast<eNA_ITEMTYPE>(nType), static_cast<int>(nSize));
}

stNATypeItemFacts CNAItemDescription::s_stGetTypeFacts(INAItemDescription* piItem) {
  stNATypeItemFacts st;
  if (piItem == nullptr) return st;
  st.eItemType = piItem->eNAGetItemType();
  st.nItemSize = piItem->nGetItemSize();
  st.nLogicalSize = piItem->nGetLogicalSize(0);
  st.nIntegerPart = piItem->nGetIntegerPart();
  st.nDecimalPart = piItem->nGetDecimalPart();
  return st;
}

// ---------------------------------------------------------------------------
// Completion of a computed column of a query

int CNAItemDescription::bCompleteDescriptionCalcul(IInfoRubrique* piColumn) {
  if (piColumn == nullptr) return 0;
  // Language type of a wide-text value.
  constexpr unsigned short kVxPSTRW = 110;
  // Operators that make a text expression 8-bit.
  constexpr int kOpAnsiText1 = 95, kOpAnsiText2 = 96;
  // Engine type codes with their own size rule.
  constexpr int kZBNone = 0, kZBDecimal = 41, kZBMemoText = 29, kZBMemoBinary = 30,
                kZBMemoUnicode = 40;
  m_strNameInSource = m_strName.pszGet();
  m_strSourceName.Vide();
  m_bCalculated = piColumn->bCalcul();
  const int nZBType = static_cast<int>(piColumn->eGetZBType());
  if (nZBType == kZBDecimal || nZBType == kZBNone) return 1;
  if (IExpOpExpression* piExpression = piColumn->piGetExpression()) {
    const int nOperator = static_cast<int>(piExpression->eGetOperateur());
    piExpression->Release();
    if (nOperator == kOpAnsiText1 || nOperator == kOpAnsiText2) {
      if (m_nType == kUnicode) {
        m_nType = kTexte;
        m_nItemSize /= 2;
      } else if (m_nType == kMemoUnicode) {
        m_nType = kMemoTexte;
      }
      m_clDefault.__SetType(kVxPSTRW, 0);
      m_clDefault.SetNull(true);
      return 1;
    }
  }
  // A memo expression that the result describes as a fixed text, binary or
  // Unicode column stays that column: retyping it as a memo of the fixed
  // column's size would give a memo slot of the wrong width.
  if ((nZBType == kZBMemoText && m_nType == kTexte) ||
      (nZBType == kZBMemoBinary && m_nType == kBinaire) ||
      (nZBType == kZBMemoUnicode && m_nType == kUnicode)) {
    return 1;
  }
  if (nZBType == kZBMemoText || nZBType == kZBMemoBinary || nZBType == kZBMemoUnicode) {
    m_nItemSize = 8;
  } else {
    const int nSize = piColumn->nGetTaille();
    // A size the parser cannot give stays what the result column said.
    if (nSize > 0) m_nItemSize = nSize;
  }
  const int nNewType = CNADataSourceDescription::g_eGetNAItemType(nZBType);
  if (m_nType == kDecimal && nNewType != kDecimal) {
    m_nIntegerDigits = 0;
    m_nDecimalDigits = 0;
  }
  m_nType = nNewType;
  if (g_bIsMemo(m_nType)) m_nItemSize = 8;  // a memo's slot in the record
  UpdateDefaultValueType();
  return 1;
}
