#include "items/data_source_description.h"

#include <cstdint>
#include <cwchar>
#include <new>

#include "core/error_object.h"
#include "core/error_table.h"
#include "core/locale_compare.h"
#include "core/string_concat.h"
#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/column_sql.h"
#include "items/parsed_query.h"
#include "items/result_columns.h"
#include "kq230/sql_parser_interface.h"

namespace {

constexpr int kSiteIncompatible = 1;
constexpr int kSiteNoItem = 2;
constexpr int kSiteNoColumn = 3;

// User errors of the module's table, and the message of an item lookup that
// finds nothing (user code 26 keeps its table text for the packet limit).
constexpr unsigned int kErrorIncompatible = 20;
constexpr unsigned int kErrorItemNotFound = 26;
constexpr unsigned int kErrorNoColumn = 30;
constexpr unsigned int kMessageItemNotFound = 28637;

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
    _RaiseItemNotFound(pszName);
    return nullptr;
  }
  p->ExternalAddRef();
  return p;
}

void CNADataSourceDescription::_RaiseItemMissingHere(const wchar_t* pszItem) {
  const wchar_t* pszName = m_strLogicalName.pszGet();
  CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, kSiteIncompatible, m_pclConnection,
                     pszName, nullptr, kErrorIncompatible, pszName,
                     pszItem != nullptr ? pszItem : L"");
}

void CNADataSourceDescription::_RaiseItemNotFound(const wchar_t* pszItem) {
  if (m_pclError == nullptr) return;
  // The module's table gives user code 26 the text of a query past the
  // server's packet limit, whose inserts a lookup does not have. The code
  // stays 26 (callers test it) and the text is the lookup's own message,
  // with the table's detail and level for the code.
  const wchar_t* pszTable = m_strDBName.pszGet();
  if (pszItem == nullptr) pszItem = L"";
  _CXErrorModule76 clError;
  clError.SetUserErrorCode(kErrorItemNotFound);
  if (const _stErrorDef* pRow = ErrorDef_pFind(&gstMyModuleInfo76, kErrorItemNotFound)) {
    clError.SetDetailId(pRow->nDetailId);
    clError.SetErrorLevel(static_cast<CXError::eERRORLEVEL>(pRow->nLevel));
  } else {
    clError.SetErrorLevel(CXError::EL_ERROR);
  }
  clError.AddUserMessage(&gstMyModuleInfo76, kMessageItemNotFound, pszTable, pszItem);
  CNAError::g_SetInfoNames(&clError, pszTable, pszItem);
  const int nNative = static_cast<int>(kErrorItemNotFound);
  clError.AddInfo(CXError::EIT_NATIVECODE, &nNative);
  CNAError::g_AddDebugInfo(&clError, kErrorFile, kSiteNoItem);
  m_pclError->AddError(eNA_ERRORTYPE(0), &clError, m_pclConnection);
}

void CNADataSourceDescription::_RaiseNoColumn() {
  const wchar_t* pszName = m_strLogicalName.pszGet();
  CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, kSiteNoColumn, m_pclConnection,
                     pszName, nullptr, kErrorNoColumn, pszName);
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
  // The driver object's factory (a CNADataSourceDescription* as void*);
  // without a driver object a plain description.
  CNADataSourceDescription* pclNew = nullptr;
  if (CNADriver::s_pclDriver != nullptr) {
    pclNew = static_cast<CNADataSourceDescription*>(
        CNADriver::s_pclDriver->pclAllocDataSourceDescription(m_pclConnection, m_pclError));
  } else {
    pclNew = new (std::nothrow) CNADataSourceDescription(m_pclConnection, m_pclError);
  }
  if (pclNew == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
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
      _RaiseItemMissingHere(pi->pszGetName());
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

// ---------------------------------------------------------------------------
// Filling from a statement's result

int CNADataSourceDescription::bInitDataSourceDescriptionFromStatement(
    CNAResultColumns* piStatement) {
  m_nOrigin = ORIGIN_STATEMENT;
  if (bEmpty(m_strLogicalName.pszGet())) {
    // A result nobody named: the statement's address names it, unique while
    // the statement lives.
    wchar_t szName[24];
    std::swprintf(szName, 24, L"%lu",
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(piStatement)));
    m_strLogicalName = szName;
    m_strDBName = szName;
  }
  const int bResult = _bInitItems(piStatement);
  UpdateRecordSize();
  return bResult;
}

int CNADataSourceDescription::_bInitItems(CNAResultColumns* piStatement) {
  if (piStatement == nullptr) return 0;
  int nCount = 0;
  if (!piStatement->bGetColumnNbr(&nCount, 0)) return 0;
  int nKeysMet = 0;
  for (int i = 0; i < nCount; ++i) {
    CNAColumnSQL* pclColumn = piStatement->pclGetNAColumnSQL(i);
    if (pclColumn == nullptr) return 0;
    CNAItemDescription* pclItem = _pclNewItem();
    if (pclItem == nullptr) return 0;
    pclItem->AddRef();  // held while it is filled
    const wchar_t* pszSource = pclColumn->pszGetTableName();
    if (bEmpty(pszSource)) pszSource = pszGetPhysicalName();
    const wchar_t* pszNameInSource = pclColumn->pszGetNameInTable();
    if (bEmpty(pszNameInSource)) pszNameInSource = pclColumn->pszGetName();
    const unsigned short wKeyFlags = pclColumn->wGetKeyFlags();
    const int nKeyIndex = wKeyFlags != 0 ? nKeysMet++ : -1;
    int bOk = pclItem->bInit(pclColumn->pszGetName(), pszSource, pszNameInSource, 1,
                             pclColumn->nGetItemSize(), pclColumn->eGetItemType(), i, nKeyIndex,
                             wKeyFlags, pclColumn->nGetIntegerDigits(),
                             pclColumn->nGetDecimalDigits(), nullptr, nullptr);
    if (bOk) {
      pclItem->SetNativeType(pclColumn->pszGetNativeTypeName(), pclColumn->nGetNativeTypeCode());
      bOk = _AddItem(pclItem);
      if (!bOk && m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    }
    pclItem->nRelease();
    if (!bOk) return 0;
  }
  return 1;
}

CNAItemDescription* CNADataSourceDescription::_pclNewItem() {
  CNAItemDescription* p = CNAItemDescription::s_pclNew();
  if (p == nullptr && m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
  return p;
}

int CNADataSourceDescription::bAddItem(const wchar_t* pszName, const wchar_t* pszSourceName,
                                       const wchar_t* pszNameInSource, int nDimension,
                                       int nItemSize, int nType, int nPhysicalIndex,
                                       int nKeyIndex, unsigned short wKeyFlags,
                                       int nIntegerDigits, int nDecimalDigits) {
  CNAItemDescription* pclItem = _pclNewItem();
  if (pclItem == nullptr) return 0;
  if (nPhysicalIndex == -1) nPhysicalIndex = nGetNumItems();
  pclItem->AddRef();
  const int bResult =
      pclItem->bInit(pszName, pszSourceName, pszNameInSource, nDimension, nItemSize, nType,
                     nPhysicalIndex, nKeyIndex, wKeyFlags, nIntegerDigits, nDecimalDigits,
                     nullptr, nullptr);
  // Added whatever bInit answered, so that the item count still follows the
  // caller's calls: a refused item stays empty (a generated name, type 0,
  // size 0: it takes no room in the record).
  if (!_AddItem(pclItem) && m_pclError != nullptr) {
    m_pclError->pclGetXError()->SetErrorNoMemory();
    pclItem->nRelease();
    return 0;
  }
  pclItem->nRelease();
  return bResult;
}

int CNADataSourceDescription::_bGetDataSourceInfo(int nOption) {
  if (!_bImportItems(nOption)) return 0;
  return _bImportIndex();
}

int CNADataSourceDescription::_bImportItems(int nOption) {
  CXYStringConcat<wchar_t> clQuery(1024);
  if (!_bGetQueryShowColumns(&clQuery)) return 0;
  if (!_bRunSchemaQuery(clQuery.pszGet(), 0, nOption)) return 0;
  if (nGetNumItems() == 0) {
    _RaiseNoColumn();
    return 0;
  }
  return 1;
}

int CNADataSourceDescription::_bImportIndex() {
  CXYStringConcat<wchar_t> clQuery(1024);
  if (!_bGetQueryShowIndex(&clQuery)) return 0;
  return _bRunSchemaQuery(clQuery.pszGet(), 1, 0);
}

int CNADataSourceDescription::_bRunSchemaQuery(const wchar_t*, int, int) { return 1; }
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

// ---------------------------------------------------------------------------
// Completing from a parsed query

namespace {

bool bSameName(const wchar_t* pszA, const wchar_t* pszB) {
  if (pszA == nullptr) pszA = L"";
  if (pszB == nullptr) pszB = L"";
  return STR_nCompareW(pszA, pszB, kNameCompare) == 0;
}

// The key flags of a query item from the server's item: a unique key stays
// unique only when the query reads one table (exact); over a join its values
// repeat.
unsigned short wQueryKeyFlags(INAItemDescription* piServer, int bExact) {
  unsigned short w = 0;
  if (bExact && piServer->bPrimary()) w |= CNAItemDescription::kKeyPrimary;
  if (piServer->bUnique()) {
    w |= bExact ? CNAItemDescription::kKeyUnique : CNAItemDescription::kKeyDuplicates;
  }
  if (piServer->bDuplicates()) w |= CNAItemDescription::kKeyDuplicates;
  if (piServer->bIsComposedKey()) w |= CNAItemDescription::kKeyComposed;
  if (piServer->bGetAscendant(-1)) w |= CNAItemDescription::kKeyAscending;
  if (piServer->bGetDescendant(-1)) w |= CNAItemDescription::kKeyDescending;
  if (piServer->bGetIgnoreCase(-1)) w |= CNAItemDescription::kKeyIgnoreCase;
  if (piServer->bGetIgnorePunctuation(-1)) w |= CNAItemDescription::kKeyIgnorePunctuation;
  if (piServer->bGetIgnoreAccent(-1)) w |= CNAItemDescription::kKeyIgnoreAccent;
  // A key the server names without saying its kind is at least a key with
  // duplicates, so that the item is counted among the keys.
  if (w <= 0x0FFF) w |= CNAItemDescription::kKeyDuplicates;
  return w;
}

}  // namespace

int CNADataSourceDescription::bCompleteDescription(CNAParsedQuery* pclInfo) {
  m_nOrigin = ORIGIN_STATEMENT;
  ISQLParserInformation* piInfo =
      pclInfo != nullptr ? pclInfo->piGetParserInformationNoRef() : nullptr;
  if (piInfo == nullptr || piInfo->piGetInfoRequete() == nullptr) return 1;
  const int bExact = pclInfo->nGetFichierFromNbr() <= 1 ? 1 : 0;
  int bResult = 1;
  const int nColumns = pclInfo->nGetRubriqueOUTNbr();
  for (int i = 0; bResult && i < nColumns; ++i) {
    bResult = _bCompleteItemDescription(pclInfo, bExact, pclInfo->piGetRubriqueOUT(i), i);
  }
  bool bFirst = true;
  for (IInfoOrderBy* piOrder = pclInfo->piEnumRubriqueClauseOrder(1); piOrder != nullptr;
       piOrder = pclInfo->piEnumRubriqueClauseOrder(0)) {
    const int n = piOrder->nGetIndiceRubriqueOUT();
    CNAItemDescription* pclItem = (n >= 0 && n < nGetNumItems()) ? m_tabItems[n] : nullptr;
    if (bFirst && pclItem != nullptr) _SetBestParseItem(pclItem);
    bFirst = false;
    if (pclItem != nullptr) pclItem->SetSensTri(static_cast<int>(piOrder->eGetSensTri()));
  }
  if (!UpdateRecordSize()) bResult = 0;
  return bResult;
}

int CNADataSourceDescription::_bCompleteItemDescription(CNAParsedQuery* pclInfo, int bExact,
                                                        IInfoRubrique* piColumn, int i) {
  if (piColumn == nullptr) return 0;
  INAItemDescription* piServer = pclInfo->piGetItemDescription(piColumn);
  int bResult;
  if (i < nGetNumItems()) {
    bResult = _bCompleteExistingItem(pclInfo, bExact, piColumn, piServer, m_tabItems[i]);
  } else if (piServer != nullptr) {
    // A composed key of the server is no column of the result.
    bResult = piServer->bIsComposedKey()
                  ? 1
                  : _bAjouteItemDescription(piServer, pclInfo, piColumn, bExact);
  } else {
    bResult = _bAjouteItemDescription(piColumn);
  }
  if (piServer != nullptr) piServer->nExternalRelease();
  return bResult;
}

int CNADataSourceDescription::_bCompleteExistingItem(CNAParsedQuery* pclInfo, int bExact,
                                                     IInfoRubrique* piColumn,
                                                     INAItemDescription* piServer,
                                                     CNAItemDescription* pclItem) {
  int nKeyPlace = -1;
  for (int k = 0; k < m_tabKeys.nGetNbElement(); ++k) {
    if (m_tabKeys[k] == pclItem) nKeyPlace = k;
  }
  const bool bWasMemo = pclItem->bMemo() != 0;
  pclItem->SetCalculated(piColumn->bCalcul());
  int bResult = 1;
  if (piServer != nullptr) {
    // An item already among the keys keeps its place there.
    const int nKeyIndex = nKeyPlace >= 0 ? nKeyPlace : nGetNumKeys();
    bResult = pclItem->bCompleteDescription(piServer, bExact, static_cast<unsigned int>(nKeyIndex));
  } else if (piColumn->bCalcul()) {
    bResult = pclItem->bCompleteDescriptionCalcul(piColumn);
  }
  const bool bIsKey = pclItem->bIsKey() != 0;
  if (bIsKey && nKeyPlace < 0) {
    pclItem->bSetKeyIndice(nGetNumKeys());
    if (!_AddKey(pclItem)) bResult = 0;
  } else if (!bIsKey && nKeyPlace >= 0) {
    _RemoveKey(pclItem);
    pclItem->bSetKeyIndice(-1);
  }
  const bool bIsMemo = pclItem->bMemo() != 0;
  if (bIsMemo && !bWasMemo) {
    if (!m_tabMemos.Ajoute(pclItem)) bResult = 0;
  } else if (!bIsMemo && bWasMemo) {
    _RemoveMemo(pclItem);
  }
  if (!bResult && m_pclError != nullptr && (bIsKey || bIsMemo)) {
    m_pclError->pclGetXError()->SetErrorNoMemory();
  }
  if (bResult) _SetSourceTable(pclItem, pclInfo, piColumn);
  return bResult;
}

void CNADataSourceDescription::_RemoveMemo(CNAItemDescription* pclItem) {
  for (int i = 0; i < m_tabMemos.nGetNbElement(); ++i) {
    if (m_tabMemos[i] == pclItem) {
      m_tabMemos.Supprime(i, 1);
      return;
    }
  }
}

int CNADataSourceDescription::_bAjouteItemDescription(INAItemDescription* piServer,
                                                      CNAParsedQuery* pclInfo,
                                                      IInfoRubrique* piColumn, int bExact) {
  CNAItemDescription* pclItem = _pclNewItem();
  if (pclItem == nullptr) return 0;
  pclItem->AddRef();  // held while it is filled
  const wchar_t* pszName = piColumn->pszGetNom();
  if (bEmpty(pszName)) pszName = piServer->pszGetName();
  int nKeyIndex = -1;
  unsigned short wKeyFlags = 0;
  if (piServer->bIsKey()) {
    nKeyIndex = nGetNumKeys();
    wKeyFlags = wQueryKeyFlags(piServer, bExact);
  }
  int bResult = pclItem->bInit(
      pszName, piServer->pszGetSourceName(), piServer->pszGetNameInSource(),
      piServer->nGetDimension(), piServer->nGetItemSize(),
      static_cast<int>(piServer->eNAGetItemType()), nGetNumItems(), nKeyIndex, wKeyFlags,
      piServer->nGetIntegerPart(), piServer->nGetDecimalPart(), piServer->vpiGetEnumerationVM(),
      piServer->vpiGetCombinaisonVM());
  if (bResult) {
    pclItem->SetCaption(piServer->pszGetCaption());
    _SetSourceTable(pclItem, pclInfo, piColumn);
    if (!_AddItem(pclItem)) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      bResult = 0;
    }
  }
  pclItem->nRelease();
  return bResult;
}

int CNADataSourceDescription::_bAjouteItemDescription(IInfoRubrique* piColumn) {
  CNAItemDescription* pclItem = _pclNewItem();
  if (pclItem == nullptr) return 0;
  pclItem->AddRef();  // held while it is filled
  int bResult = pclItem->bInit(piColumn->pszGetNom(), nullptr, nullptr, 1,
                               piColumn->nGetTaille(),
                               g_eGetNAItemType(static_cast<int>(piColumn->eGetZBType())),
                               nGetNumItems(), -1, 0, 0, 0, nullptr, nullptr);
  if (bResult) {
    pclItem->SetCalculated(piColumn->bCalcul());
    if (!_AddItem(pclItem)) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      bResult = 0;
    }
  }
  pclItem->nRelease();
  return bResult;
}

void CNADataSourceDescription::_SetSourceTable(CNAItemDescription* pclItem,
                                               CNAParsedQuery* pclInfo,
                                               IInfoRubrique* piColumn) {
  if (piColumn->bCalcul()) return;
  const wchar_t* pszTable = piColumn->pszGetNomFichier();
  // A column read through an alias: its table is named as such.
  if (!bSameName(pszTable, piColumn->pszGetNomTableAlias())) {
    pclItem->SetSourceTable(pszTable);
    return;
  }
  if (const wchar_t* pszPhysical = pclInfo->pszGetPhysicalName(pszTable)) {
    pclItem->SetSourceTable(pszPhysical);
    return;
  }
  INADataSourceDescription* piSource = pclInfo->piGetNADataSourceDescription(pszTable);
  if (piSource == nullptr) return;
  const wchar_t* pszDBName = piSource->pszGetDBTableName();
  if (!bEmpty(pszDBName)) pclItem->SetSourceTable(pszDBName);
  piSource->nExternalRelease();
}
