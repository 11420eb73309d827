#include "items/data_source_description.h"

#include <cwchar>
#include <new>

#include "core/error_object.h"
#include "core/locale_compare.h"
#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"

namespace {

constexpr int kSiteIncompatible = 1;
constexpr int kSiteNoItem = 2;
constexpr int kSiteNoColumn = 3;
constexpr int kSiteRecordTooLarge = 4;

// Names compare without regard to case and accents.
constexpr unsigned int kNameCompare = 3;

// A copy of the text without its trailing blanks.
CTString WithoutTrailingBlanks(const wchar_t* psz) {
  if (psz == nullptr) return CTString();
  size_t n = std::wcslen(psz);
  while (n > 0 && psz[n - 1] == L' ') --n;
  return CTString(psz, static_cast<int>(n));
}

bool bEmpty(const wchar_t* psz) { return psz == nullptr || *psz == 0; }

}  // namespace

CNADataSourceDescription::CNADataSourceDescription(CNAConnectionDescription* pclConnection,
                                                   CNAError* pclError)
    : m_pclError(pclError), m_pclConnection(pclConnection) {
  if (m_pclConnection != nullptr) m_pclConnection->AddRef();
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNADataSourceDescription::~CNADataSourceDescription() {
  if (m_pclConnection != nullptr) {
    if (CNADriver::s_pclDriver != nullptr) {
      CNADriver::s_pclDriver->nReleaseConnection(m_pclConnection);
    } else {
      m_pclConnection->nRelease();
    }
  }
  if (m_pclError != nullptr) m_pclError->nRelease();
  if (m_piBestItem != nullptr) m_piBestItem->nExternalRelease();
  m_tabMemos.SupprimeTout();
  m_tabKeys.SupprimeTout();
  m_tabItems.SupprimeTout();
}

int CNADataSourceDescription::nExternalRelease() {
  if (m_nExternalRefCount <= 0) return 0;
  const int n = --m_nExternalRefCount;
  if (n == 0 && m_nRefCount == 0) delete this;
  return n;
}

int CNADataSourceDescription::nRelease() {
  if (m_nRefCount <= 0) return 0;
  const int n = --m_nRefCount;
  if (n == 0 && m_nExternalRefCount == 0) delete this;
  return n;
}

// ---------------------------------------------------------------------------
// Server-facing getters

INAItemDescription* CNADataSourceDescription::piNAGetItem(const wchar_t* pszName) {
  CNAItemDescription* p = pclNAGetItem(pszName, 2);
  return p != nullptr ? p->ExternalAddRef() : nullptr;
}

INAItemDescription* CNADataSourceDescription::piNAGetItem(unsigned int n) {
  if (n >= static_cast<unsigned int>(m_tabItems.nGetNbElement())) return nullptr;
  return m_tabItems[static_cast<int>(n)]->ExternalAddRef();
}

INAItemDescription* CNADataSourceDescription::piNAGetKey(unsigned int n) {
  if (n >= static_cast<unsigned int>(m_tabKeys.nGetNbElement())) return nullptr;
  return m_tabKeys[static_cast<int>(n)]->ExternalAddRef();
}

INAItemDescription* CNADataSourceDescription::piNAGetMemo(unsigned int n) {
  if (n >= static_cast<unsigned int>(m_tabMemos.nGetNbElement())) return nullptr;
  return m_tabMemos[static_cast<int>(n)]->ExternalAddRef();
}

const wchar_t* CNADataSourceDescription::pszGetDefaultDatabase() {
  return m_pclConnection != nullptr ? m_pclConnection->pszGetDefaultDataBase() : nullptr;
}

// ---------------------------------------------------------------------------
// Finding

CNAItemDescription* CNADataSourceDescription::pclNAGetItem(const wchar_t* pszName, int nOptions) {
  if (pszName == nullptr) return nullptr;
  const bool bStrip = (nOptions & 1) != 0;
  const CTString strWanted = bStrip ? WithoutTrailingBlanks(pszName) : CTString(pszName);
  for (int i = 0; i < m_tabItems.nGetNbElement(); ++i) {
    CNAItemDescription* p = m_tabItems[i];
    const wchar_t* pszItem = p->pszGetName();
    const CTString strItem = bStrip ? WithoutTrailingBlanks(pszItem) : CTString(pszItem);
    if (STR_nCompareW(strItem.pszGet(), strWanted.pszGet(), kNameCompare) == 0) return p;
  }
  return nullptr;
}

CNAItemDescription* CNADataSourceDescription::pclNAGetKey(const wchar_t* pszName) {
  if (pszName == nullptr) return nullptr;
  const CTString strWanted = WithoutTrailingBlanks(pszName);
  for (int i = 0; i < m_tabKeys.nGetNbElement(); ++i) {
    CNAItemDescription* p = m_tabKeys[i];
    const CTString strKey = WithoutTrailingBlanks(p->pszGetName());
    if (STR_nCompareW(strKey.pszGet(), strWanted.pszGet(), kNameCompare) == 0) {
      p->ExternalAddRef();
      return p;
    }
  }
  return nullptr;
}

CNAItemDescription* CNADataSourceDescription::pclNAGetItemByPhysicalIndiceDB(unsigned int n) {
  for (int i = 0; i < m_tabItems.nGetNbElement(); ++i) {
    CNAItemDescription* p = m_tabItems[i];
    if (p->nGetDBIndice() >= 0 && static_cast<unsigned int>(p->nGetDBIndice()) == n) {
      p->ExternalAddRef();
      return p;
    }
  }
  return nullptr;
}

CNAItemDescription* CNADataSourceDescription::pclNAGetCorrespondingItem(const wchar_t* pszName) {
  CNAItemDescription* p = pclNAGetItem(pszName, 2);
  if (p == nullptr) {
    _RaiseError(kSiteNoItem, m_strDBName.pszGet(), pszName, 26, m_strDBName.pszGet(),
                pszName != nullptr ? pszName : L"");
    return nullptr;
  }
  p->ExternalAddRef();
  return p;
}

void CNADataSourceDescription::_RaiseError(int nSite, const wchar_t* pszTable,
                                           const wchar_t* pszItem, unsigned int nCode,
                                           const wchar_t* pszInsert1,
                                           const wchar_t* pszInsert2) {
  if (m_pclError == nullptr) return;
  const wchar_t* psz1 = pszInsert1 != nullptr ? pszInsert1 : L"";
  const wchar_t* psz2 = pszInsert2 != nullptr ? pszInsert2 : L"";
  // The inserts follow each code's message in the module's table exactly.
  switch (nCode) {
    case 20:  // no insert
      CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, nSite, m_pclConnection,
                         pszTable, pszItem, nCode);
      break;
    case 26:  // the table's message takes (text, int, unsigned, unsigned, text)
      CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, nSite, m_pclConnection,
                         pszTable, pszItem, nCode, psz1, 0, 0u, 0u, psz2);
      break;
    default:  // 30: the logical name
      CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, nSite, m_pclConnection,
                         pszTable, pszItem, nCode, psz1);
      break;
  }
}

// ---------------------------------------------------------------------------
// Building

void CNADataSourceDescription::MakeNewName(CTString* pOut, const wchar_t* pszName, int n) {
  wchar_t szNumber[16];
  std::swprintf(szNumber, 16, L"%d", n);
  CTString str(pszName);
  str.Add(szNumber);
  pOut->Transfert(str);
}

int CNADataSourceDescription::_AddItem(CNAItemDescription* pclItem) {
  if (pclItem == nullptr) return 0;
  if (bEmpty(pclItem->pszGetName())) {
    CTString strName;
    CNADriver::g_GenerateItemName(&strName, m_nElementCount);
    pclItem->bSetName(strName.pszGet());
  }
  if (pclNAGetItem(pclItem->pszGetName(), 2) != nullptr) {
    const CTString strBase(pclItem->pszGetName());
    for (int n = 2; n <= 2147483646; ++n) {
      CTString strName;
      MakeNewName(&strName, strBase.pszGet(), n);
      if (pclNAGetItem(strName.pszGet(), 2) == nullptr) {
        pclItem->bSetName(strName.pszGet());
        break;
      }
    }
  }
  const int nCount = m_tabItems.nGetNbElement();
  if (pclItem->nGetPhysicalIndice() == 0 && nCount > 0) {
    if (!m_tabItems.Insere(pclItem, 0)) return 0;
    for (int i = 1; i <= nCount; ++i) m_tabItems[i]->SetPhysicalIndice(i);
  } else {
    if (pclItem->nGetPhysicalIndice() == -1) pclItem->SetPhysicalIndice(nCount);
    if (!m_tabItems.Ajoute(pclItem)) return 0;
  }
  if (pclItem->bIsKey() && !_AddKey(pclItem)) return 0;
  if (pclItem->bMemo() && !m_tabMemos.Ajoute(pclItem)) return 0;
  return 1;
}

int CNADataSourceDescription::_AddKey(CNAItemDescription* pclItem) {
  if (pclItem == nullptr) return 0;
  const int nCount = m_tabKeys.nGetNbElement();
  if (pclItem->nGetKeyIndice() == 0 && nCount > 0) {
    if (!m_tabKeys.Insere(pclItem, 0)) return 0;
    for (int i = 1; i <= nCount; ++i) m_tabKeys[i]->bSetKeyIndice(i);
    return 1;
  }
  if (pclItem->nGetKeyIndice() == -1) pclItem->bSetKeyIndice(nCount);
  return m_tabKeys.Ajoute(pclItem);
}

void CNADataSourceDescription::_RemoveKey(CNAItemDescription* pclItem) {
  for (int i = 0; i < m_tabKeys.nGetNbElement(); ++i) {
    if (m_tabKeys[i] != pclItem) continue;
    m_tabKeys.Supprime(i, 1);
    for (int k = i; k < m_tabKeys.nGetNbElement(); ++k) m_tabKeys[k]->bSetKeyIndice(k);
    return;
  }
}

int CNADataSourceDescription::_bSetKeyType(CNAItemDescription* pclItem,
                                           unsigned short wKeyFlags) {
  if (pclItem == nullptr) return 0;
  if (pclItem->bPrimary()) return 1;
  if (pclItem->nGetKeyIndice() >= 0 && pclItem->bIsKey()) {
    pclItem->bSetKey(pclItem->nGetKeyIndice(), wKeyFlags);
    return 1;
  }
  pclItem->bSetKey(nGetNumKeys(), wKeyFlags);
  return _AddKey(pclItem);
}

int CNADataSourceDescription::_bSetKeyType(unsigned int nIndex, unsigned short wKeyFlags) {
  if (nIndex >= static_cast<unsigned int>(m_tabItems.nGetNbElement())) return 0;
  return _bSetKeyType(m_tabItems[static_cast<int>(nIndex)], wKeyFlags);
}

int CNADataSourceDescription::_bSetKeyType(const wchar_t* pszName, unsigned short wKeyFlags) {
  CNAItemDescription* p = pclNAGetCorrespondingItem(pszName);
  if (p == nullptr) return 0;
  const int b = _bSetKeyType(p, wKeyFlags);
  p->nExternalRelease();
  return b;
}

int CNADataSourceDescription::_bAddItemComponent(CNAItemDescription* pclKey, unsigned int nIndex) {
  if (pclKey == nullptr || nIndex >= static_cast<unsigned int>(m_tabItems.nGetNbElement()))
    return 0;
  return pclKey->bAddComponent(m_tabItems[static_cast<int>(nIndex)]);
}

int CNADataSourceDescription::_bAddItemComponent(CNAItemDescription* pclKey,
                                                 const wchar_t* pszName) {
  if (pclKey == nullptr) return 0;
  CNAItemDescription* p = pclNAGetCorrespondingItem(pszName);
  if (p == nullptr) return 0;
  const int b = pclKey->bAddComponent(p);
  p->nExternalRelease();
  return b;
}

int CNADataSourceDescription::UpdateRecordSize() {
  long long llOffset = 0, llDisk = 0, llElements = 0;
  const long long kMax = CNAItemDescription::kMaxSize;
  // Checked first, laid out after: a refused record leaves no item with a
  // wrapped offset.
  for (int i = 0; i < m_tabItems.nGetNbElement(); ++i) {
    CNAItemDescription* p = m_tabItems[i];
    llOffset += p->llGetTotalSize();
    llElements += p->nGetDimension();
    if (llOffset > kMax || llElements > kMax) {
      m_nElementCount = m_nDiskRecordSize = m_nMemoryRecordSize = 0;
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
  }
  llOffset = 0;
  llElements = 0;
  for (int i = 0; i < m_tabItems.nGetNbElement(); ++i) {
    CNAItemDescription* p = m_tabItems[i];
    p->SetLayout(static_cast<int>(llOffset), static_cast<int>(llElements));
    const long long llSize = p->llGetTotalSize();
    llOffset += llSize;
    llElements += p->nGetDimension();
    if (!p->bIsComposedKey()) llDisk += llSize;
  }
  m_nElementCount = static_cast<int>(llElements);
  m_nMemoryRecordSize = static_cast<int>(llOffset);
  m_nDiskRecordSize = static_cast<int>(llDisk);
  return 1;
}

// ---------------------------------------------------------------------------
// Best item

void CNADataSourceDescription::_SetBestParseItem(INAItemDescription* piItem) {
  if (piItem == m_piBestItem) return;
  if (piItem != nullptr) piItem->ExternalAddRef();
  if (m_piBestItem != nullptr) m_piBestItem->nExternalRelease();
  m_piBestItem = piItem;
}

int CNADataSourceDescription::_SetBestParseItem(const wchar_t* pszName) {
  CNAItemDescription* p = pclNAGetItem(pszName, 2);
  if (p == nullptr) return 0;
  _SetBestParseItem(p);
  return 1;
}

INAItemDescription* CNADataSourceDescription::piGetBestParseItemDesc() {
  if (m_piBestItem == nullptr) {
    INAItemDescription* pi = _piChooseBestItem();  // one reference, now the cache's
    m_piBestItem = pi;
  }
  return m_piBestItem != nullptr ? m_piBestItem->ExternalAddRef() : nullptr;
}

INAItemDescription* CNADataSourceDescription::_piChooseBestItem() {
  const int nItems = m_tabItems.nGetNbElement();
  if (nItems == 0) return nullptr;
  const int nKeys = m_tabKeys.nGetNbElement();
  if (nKeys == 0) {
    for (int i = 0; i < nItems; ++i) {
      if (!m_tabItems[i]->bMemo()) return m_tabItems[i]->ExternalAddRef();
    }
    return m_tabItems[0]->ExternalAddRef();
  }
  INAItemDescription* piNotNull = nullptr;
  INAItemDescription* piUnique = nullptr;
  for (unsigned int k = 0; k < static_cast<unsigned int>(nKeys); ++k) {
    INAItemDescription* pi = piNAGetKey(k);
    if (pi->bPrimary()) {
      if (piNotNull != nullptr) piNotNull->nExternalRelease();
      if (piUnique != nullptr) piUnique->nExternalRelease();
      return pi;
    }
    bool bKept = false;
    if (pi->bUnique()) {
      // Older items say nothing of NULL: only automatic identifiers exclude it.
      const int nType = static_cast<int>(pi->eNAGetItemType());
      const bool bExcludesNull = pi->nGetVersion() > 8 ? !pi->vbConstraintNullAllowed()
                                                       : (nType == 1 || nType == 28);
      if (bExcludesNull && piNotNull == nullptr) {
        piNotNull = pi;
        bKept = true;
      } else if (piUnique == nullptr) {
        piUnique = pi;
        bKept = true;
      }
    }
    if (!bKept) pi->nExternalRelease();
  }
  if (piNotNull != nullptr) {
    if (piUnique != nullptr) piUnique->nExternalRelease();
    return piNotNull;
  }
  if (piUnique != nullptr) return piUnique;
  return piNAGetKey(0);
}

// ---------------------------------------------------------------------------
// Copy and comparison

CNADataSourceDescription* CNADataSourceDescription::pclGetCloneDataSourceDescription(
    CNAItemDescription::eCLONEDESC eKind) {
  CNADataSourceDescription* pclNew = nullptr;
  if (CNADriver::s_pclDriver != nullptr) {
    pclNew = static_cast<CNADataSourceDescription*>(
        CNADriver::s_pclDriver->pclAllocDataSourceDescription(m_pclConnection, m_pclError));
  }
  if (pclNew == nullptr) {
    pclNew = new (std::nothrow) CNADataSourceDescription(m_pclConnection, m_pclError);
  }
  if (pclNew == nullptr) return nullptr;
  pclNew->AddRef();  // held while it is filled
  pclNew->m_strLogicalName = m_strLogicalName.pszGet();
  pclNew->m_strDBName = m_strDBName.pszGet();
  pclNew->m_strExtendedInfo = m_strExtendedInfo.pszGet();
  pclNew->m_strType = m_strType.pszGet();
  pclNew->m_strOwner = m_strOwner.pszGet();
  pclNew->m_nDiskRecordSize = m_nDiskRecordSize;
  pclNew->m_nMemoryRecordSize = m_nMemoryRecordSize;
  pclNew->m_nElementCount = m_nElementCount;
  bool bOk = true;
  for (int i = 0; bOk && i < m_tabItems.nGetNbElement(); ++i) {
    CNAItemDescription* p = m_tabItems[i]->pclGetCloneItemDescription(pclNew, eKind);
    if (p == nullptr) {
      bOk = false;
      break;
    }
    p->AddRef();
    bOk = pclNew->_AddItem(p) != 0;
    p->nRelease();
  }
  if (bOk && m_piBestItem != nullptr) pclNew->_SetBestParseItem(m_piBestItem->pszGetName());
  if (bOk) bOk = pclNew->UpdateRecordSize() != 0;
  if (!bOk) {
    pclNew->nRelease();
    return nullptr;
  }
  // Handed over without a reference, as the factory's objects are.
  pclNew->m_nRefCount = 0;
  return pclNew;
}

int CNADataSourceDescription::bAreDescriptionCompatible(INADataSourceDescription* piOther) {
  if (piOther == nullptr) return 0;
  const int n = piOther->nGetNumItems();
  for (int i = 0; i < n; ++i) {
    INAItemDescription* pi = piOther->piNAGetItem(static_cast<unsigned int>(i));
    if (pi == nullptr) continue;
    const bool bMissing = !pi->bIsComposedKey() && pclNAGetItem(pi->pszGetName(), 3) == nullptr;
    if (bMissing) {
      _RaiseError(kSiteIncompatible, m_strLogicalName.pszGet(), nullptr, 20,
                  m_strLogicalName.pszGet(), pi->pszGetName());
      pi->nExternalRelease();
      return 0;
    }
    pi->nExternalRelease();
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Filling from the database

int CNADataSourceDescription::bInitDataSourceDescriptionFromDB(const wchar_t* pszName,
                                                               int nOption) {
  m_strLogicalName = pszName;
  m_strDBName = pszName;
  m_nOrigin = ORIGIN_DATABASE;
  return _bGetDataSourceInfo(nOption);
}

int CNADataSourceDescription::_bGetDataSourceInfo(int nOption) {
  if (!_bImportItems(nOption)) return 0;
  return _bImportIndex();
}

int CNADataSourceDescription::_bImportItems(int nOption) {
  if (!_bGetQueryShowColumns(nullptr)) return 0;
  // The handle-level SQL interface that runs the hook's query comes with the
  // statements; until then no statement is made and the hook's items are
  // whatever it added itself.
  if (!_bInitItemFromQueryShowColumns(nullptr, nOption)) return 0;
  if (nGetNumItems() == 0) {
    _RaiseError(kSiteNoColumn, m_strLogicalName.pszGet(), nullptr, 30, m_strLogicalName.pszGet(),
                nullptr);
    return 0;
  }
  return 1;
}

int CNADataSourceDescription::_bImportIndex() {
  if (!_bGetQueryShowIndex(nullptr)) return 0;
  return _bInitKeysFromQueryShowIndex(nullptr);
}

int CNADataSourceDescription::_bGetQueryShowColumns(CXYStringConcat<wchar_t>*) { return 0; }
int CNADataSourceDescription::_bInitItemFromQueryShowColumns(CNAStatementSQL*, int) { return 0; }
int CNADataSourceDescription::_bGetQueryShowIndex(CXYStringConcat<wchar_t>*) { return 0; }
int CNADataSourceDescription::_bInitKeysFromQueryShowIndex(CNAStatementSQL*) { return 0; }

// ---------------------------------------------------------------------------
// Engine type codes

int CNADataSourceDescription::g_eGetNAItemType(int eZBType) {
  static constexpr unsigned char kMap[44] = {
      0,  15, 2,  3,  4,  5,  6,  7,  3,  9,  10, 11, 26, 13, 14, 15, 15, 17, 18, 15, 15, 15,
      15, 21, 1,  19, 22, 20, 23, 15, 18, 15, 15, 5,  24, 25, 12, 27, 28, 29, 30, 31, 5,  23};
  if (eZBType < 0 || eZBType > 43) return 15;
  return kMap[eZBType];
}
