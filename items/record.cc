// CNARecord: the record layout and the row values of a data access.
#include "items/record.h"

#include <new>

#include "core/counted_string.h"
#include "core/locale_compare.h"
#include "core/string_concat.h"
#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/column_null_selection.h"
#include "items/convert_variant.h"
#include "items/data_source_description.h"
#include "items/item_description.h"
#include "items/items_data_access_interface.h"
#include "items/parsed_query.h"
#include "items/record_buffer_interface.h"
#include "items/record_value_interface.h"
#include "kq230/data_source_description_interface.h"
#include "kq230/item_description_interface.h"
#include "kq230/sql_parser_interface.h"

namespace {

// Names of items compare without regard to case and accents.
constexpr unsigned int kNameCompare = 3;
// User error of a description without items, and its place.
constexpr unsigned int kErrorNoItem = 1;
constexpr int kSiteNoItem = 2;
// The module's out-of-memory user error, for a record that cannot have its
// buffers.
constexpr unsigned int kErrorNoMemory = 12;
constexpr int kSiteNoBuffer = 3;

bool bSameName(const wchar_t* pszA, const wchar_t* pszB) {
  return STR_nCompareW(pszA != nullptr ? pszA : L"", pszB != nullptr ? pszB : L"", kNameCompare) ==
         0;
}

bool bEmptyText(const wchar_t* psz) { return psz == nullptr || *psz == L'\0'; }

bool bIsIdAutoType(int nType) { return nType == NA_IT_IDAUTO || nType == NA_IT_IDAUTO4; }

}  // namespace

CNARecord::CNARecord(CNAError* pclError, CNAItemsDataAccess* pclDataAccess)
    : m_pclError(pclError), m_pclDataAccess(pclDataAccess) {
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNARecord::~CNARecord() {
  _SetSpecialColumn(&m_pclIdAuto, nullptr);
  _SetSpecialColumn(&m_pclUniqueKey, nullptr);
  _FreeRecordsBuffer();
  _ReleaseConnection();
  // The columns go last: the secondary arrays first, so that the columns
  // array's release is each column's last.
  m_tabUniqueComposed.SupprimeTout();
  m_tabMemos.SupprimeTout();
  m_tabOrder.SupprimeTout();
  m_tabColumns.SupprimeTout();
  if (m_pclError != nullptr) m_pclError->nRelease();
}

void CNARecord::_ReleaseConnection() {
  CNAConnectionDescription* pclConnection = m_pclConnection;
  m_pclConnection = nullptr;
  if (pclConnection == nullptr) return;
  // A connection is given back to the driver, which closes one that only
  // its table still holds; a plain release would leave it open.
  if (CNADriver::s_pclDriver != nullptr) {
    CNADriver::s_pclDriver->nReleaseConnection(pclConnection);
  } else {
    pclConnection->nRelease();
  }
}

void CNARecord::_SetSpecialColumn(CNAColumn** ppSlot, CNAColumn* pclColumn) {
  KQAddRef(pclColumn);
  CNAColumn* pclOld = *ppSlot;
  *ppSlot = pclColumn;
  KQRelease(pclOld);
}

// ---------------------------------------------------------------------------
// Columns

CNAColumn* CNARecord::pclGetColumnNoRef(const wchar_t* pszName) const {
  if (pszName == nullptr) return nullptr;
  const int n = m_tabColumns.nGetNbElement();
  for (int i = 0; i < n; ++i) {
    CNAColumn* pclColumn = m_tabColumns[i];
    if (bSameName(pclColumn->pszGetName(), pszName)) return pclColumn;
  }
  return nullptr;
}

CNAColumn* CNARecord::pclGetColumnNoRef(INAItemDescription* piItem) const {
  if (piItem == nullptr) return nullptr;
  const int n = m_tabColumns.nGetNbElement();
  if (!bSourceIsQuery()) {
    const int nIndex = piItem->nGetPhysicalIndice();
    if (nIndex < 0 || nIndex >= n) return nullptr;
    return m_tabColumns[nIndex];
  }
  // Over a query two output columns may carry the same name from two
  // tables: the table and the name there decide when both sides know them.
  const wchar_t* pszName = piItem->pszGetName();
  const wchar_t* pszInSource = piItem->pszGetNameInSource();
  const wchar_t* pszSource = piItem->pszGetSourceName();
  CNAColumn* pclCandidate = nullptr;
  for (int i = 0; i < n; ++i) {
    CNAColumn* pclColumn = m_tabColumns[i];
    INAItemDescription* piOwn = pclColumn->piGetItemNoRef();
    if (piOwn == nullptr) continue;
    const wchar_t* pszOwnInSource = piOwn->pszGetNameInSource();
    const wchar_t* pszOwnSource = piOwn->pszGetSourceName();
    const bool bSameItemName = bSameName(piOwn->pszGetName(), pszName);
    if (!bEmptyText(pszOwnInSource) && !bEmptyText(pszOwnSource) && !bEmptyText(pszInSource) &&
        !bEmptyText(pszSource)) {
      if (!bSameName(pszOwnInSource, pszInSource) || !bSameName(pszOwnSource, pszSource)) continue;
      if (bSameItemName) return pclColumn;
      pclCandidate = pclColumn;
    } else if (bSameItemName) {
      return pclColumn;
    }
  }
  return pclCandidate;
}

CNAColumn* CNARecord::pclGetColumnOrderNoRef(int n) const {
  if (n < 0 || n >= m_tabOrder.nGetNbElement()) return nullptr;
  return m_tabOrder[n];
}

CNAColumn* CNARecord::pclGetNAColumnIdentityNoRef() const {
  const int n = m_tabColumns.nGetNbElement();
  for (int i = 0; i < n; ++i) {
    if (m_tabColumns[i]->bIsAutoIncrementOnDataBase()) return m_tabColumns[i];
  }
  return nullptr;
}

CNAColumn* CNARecord::pclGetUniqueKeyNotNullNoRef() const {
  if (m_pclUniqueKey != nullptr && m_pclUniqueKey->bValueDefined()) return m_pclUniqueKey;
  CNAColumn* pclFirst = pclGetColumnOrderNoRef(0);
  if (pclFirst != nullptr && pclFirst->bIsUnique() && pclFirst->bValueDefined()) return pclFirst;
  const int n = m_tabColumns.nGetNbElement();
  for (int i = 0; i < n; ++i) {
    CNAColumn* pclColumn = m_tabColumns[i];
    if (pclColumn->bIsUnique() && pclColumn->bValueDefined()) return pclColumn;
  }
  return nullptr;
}

CNAColumn* CNARecord::_pclAllocColumn(CNAError* pclError, INAItemDescription* piItem) {
  // The driver's factory answers a CNAColumn* as void* (the driver core
  // cannot name the items' classes); without a driver object (tools and
  // tests of this layer) a plain column.
  if (CNADriver::s_pclDriver != nullptr) {
    return static_cast<CNAColumn*>(CNADriver::s_pclDriver->pclAllocColumn(pclError, piItem));
  }
  return new (std::nothrow) CNASQLColumn(pclError, piItem);
}

int CNARecord::bAddColumn(INAItemDescription* piItem, CNAItemDescription* pclImported) {
  CNAColumn* pclColumn = _pclAllocColumn(m_pclError, piItem);
  if (pclColumn == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  CInterfRef<CNAColumn> clHold(pclColumn);
  if (!m_tabColumns.Ajoute(pclColumn)) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  // The secondary arrays are lookups only: a column missing there would
  // lose its memo sharing or its key role, so their growth failing is a
  // failure too.
  int bSecondary = 1;
  if (pclColumn->bIsMemo()) bSecondary = m_tabMemos.Ajoute(pclColumn);
  if (bSecondary && pclColumn->bIsComposedKey() && piItem != nullptr && piItem->bUnique()) {
    bSecondary = m_tabUniqueComposed.Ajoute(pclColumn);
  }
  if (!bSecondary) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  return pclColumn->vbInit(this, pclImported);
}

void CNARecord::DeleteAllColumn() { m_tabColumns.SupprimeTout(); }

// ---------------------------------------------------------------------------
// Building

int CNARecord::bInitRecord(INADataSourceDescription* piSource,
                           CNADataSourceDescription* pclImported,
                           CNAConnectionDescription* pclConnection) {
  if (pclConnection != m_pclConnection) {
    if (pclConnection != nullptr) pclConnection->AddRef();
    _ReleaseConnection();
    m_pclConnection = pclConnection;
  }
  const int nItems = piSource != nullptr ? piSource->nGetNumItems() : 0;
  if (nItems <= 0) {
    return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, kSiteNoItem,
                              m_pclConnection,
                              piSource != nullptr ? piSource->pszGetLogicalName() : L"", nullptr,
                              kErrorNoItem);
  }
  if (!_bAllocRecordsBuffer(piSource)) return 0;
  for (int i = 0; i < nItems; ++i) {
    INAItemDescription* piItem = piSource->piNAGetItem(static_cast<unsigned int>(i));
    if (piItem == nullptr) {
      // A description that counts an item it cannot give is as good as
      // an empty one for this index: the layout would have a hole.
      return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, kSiteNoItem,
                                m_pclConnection, piSource->pszGetLogicalName(), nullptr,
                                kErrorNoItem);
    }
    CNAItemDescription* pclImportedItem = nullptr;
    if (!piItem->bIsComposedKey() && pclImported != nullptr) {
      // No reference: the imported description keeps its items, and the
      // column takes its own.
      pclImportedItem = pclImported->pclNAGetItem(piItem->pszGetName(), 3);
    }
    const int bAdded = bAddColumn(piItem, pclImportedItem);
    if (bAdded) {
      CNAColumn* pclColumn = m_tabColumns[m_tabColumns.nGetNbElement() - 1];
      if (m_pclIdAuto == nullptr && bIsIdAutoType(piItem->eNAGetItemType())) {
        _SetSpecialColumn(&m_pclIdAuto, pclColumn);
      }
      if (m_pclUniqueKey == nullptr && piItem->bUnique()) {
        _SetSpecialColumn(&m_pclUniqueKey, pclColumn);
      }
    }
    piItem->nExternalRelease();
    if (!bAdded) return 0;
  }
  _InitCompositeKey();
  _InitOrderBy();
  return 1;
}

int CNARecord::_bAllocRecordsBuffer(INADataSourceDescription* piSource) {
  if (m_pclDataAccess == nullptr) {
    // Only the data access can make the statements' buffers: without one
    // there is no row to hold, as when memory runs out.
    return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, kSiteNoBuffer,
                              m_pclConnection, piSource->pszGetLogicalName(), nullptr,
                              kErrorNoMemory);
  }
  m_pclTemplate = m_pclDataAccess->pclAllocZBRecord(m_pclError, piSource, INIT_DEFAULT_VALUES);
  if (m_pclTemplate == nullptr) return 0;
  int bOk = 0;
  CNARecordValueBase* pclOriginal = m_pclDataAccess->pclAllocRecordValue(m_pclError);
  if (pclOriginal == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
  } else {
    pclOriginal->AddRef();
    m_pclOriginal = pclOriginal;
    bOk = m_pclOriginal->bCopyNAZBRecord(m_pclTemplate);
  }
  if (bOk) {
    // No identifier is no failure: a data access without a record cache
    // gives none.
    CNARecordIdBase* pclId = m_pclDataAccess->pclAllocRecordID(m_pclOriginal);
    if (pclId != nullptr) {
      pclId->dwAddRef();
      bOk = m_pclOriginal->bShareRecordID(pclId);
      pclId->dwRelease();
    }
  }
  if (bOk) {
    m_pclCurrent = m_pclOriginal->pclGetClone(COPY_ALL);
    if (m_pclCurrent == nullptr) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      bOk = 0;
    } else {
      m_pclCurrent->AddRef();
    }
  }
  if (!bOk) _FreeRecordsBuffer();
  return bOk;
}

void CNARecord::_FreeRecordsBuffer() {
  CNARecordValueBase* pclCurrent = m_pclCurrent;
  m_pclCurrent = nullptr;
  KQRelease(pclCurrent);
  CNARecordValueBase* pclOriginal = m_pclOriginal;
  m_pclOriginal = nullptr;
  KQRelease(pclOriginal);
  delete m_pclTemplate;
  m_pclTemplate = nullptr;
}

int CNARecord::bUpdateChangedTypeInCurrentRecord(INADataSourceDescription* piSource) {
  _FreeRecordsBuffer();
  if (!_bAllocRecordsBuffer(piSource)) return 0;
  const int n = m_tabColumns.nGetNbElement();
  for (int i = 0; i < n; ++i) {
    if (!m_tabColumns[i]->bUpdateChangedTypeInCurrentRecord()) return 0;
  }
  return 1;
}

void CNARecord::_InitCompositeKey() {
  const int n = m_tabColumns.nGetNbElement();
  for (int i = 0; i < n; ++i) {
    CNAColumn* pclKey = m_tabColumns[i];
    if (!pclKey->bIsComposedKey()) continue;
    const CNARefArray<CNAColumn>* pTab = pclKey->pclGetTabComponent();
    if (pTab != nullptr && pTab->nGetNbElement() > 0) continue;
    INAItemDescription* piKey = pclKey->piGetItemNoRef();
    if (piKey == nullptr) continue;
    const int nComponents = piKey->nGetNumComponents();
    for (int k = 1; k <= nComponents; ++k) {
      INAItemDescription* piComponent = piKey->piGetItemComponent(k);
      if (piComponent == nullptr) continue;
      CNAColumn* pclComponent = pclGetColumnNoRef(piComponent);
      if (pclComponent != nullptr) pclKey->AddCompositeKey(pclComponent);
      piComponent->nExternalRelease();
    }
  }
}

// ---------------------------------------------------------------------------
// Order list

int CNARecord::_bOrderHolds(const CNAColumn* pclColumn) const {
  const int n = m_tabOrder.nGetNbElement();
  for (int i = 0; i < n; ++i) {
    if (m_tabOrder[i] == pclColumn) return 1;
  }
  return 0;
}

int CNARecord::_AddColumnOrder(CNAColumn* pclColumn, int nMax) {
  if (pclColumn == nullptr) return 0;
  if (m_tabOrder.nGetNbElement() >= nMax) return 0;
  if (!pclColumn->bIsComposedKey()) {
    if (_bOrderHolds(pclColumn)) return 0;
    return m_tabOrder.Ajoute(pclColumn);
  }
  // A composed key orders by its components; once one of them is in the
  // list the key adds nothing the list does not already fix.
  const int nOrder = m_tabOrder.nGetNbElement();
  for (int i = 0; i < nOrder; ++i) {
    if (pclColumn->bIsComposedKeyComponent(m_tabOrder[i])) return 0;
  }
  const CNARefArray<CNAColumn>* pTab = pclColumn->pclGetTabComponent();
  if (pTab == nullptr) return 0;
  int bAdded = 0;
  for (int k = 0; k < pTab->nGetNbElement(); ++k) {
    // The connection's limit holds component by component too.
    if (m_tabOrder.nGetNbElement() >= nMax) break;
    CNAColumn* pclComponent = (*pTab)[k];
    if (_bOrderHolds(pclComponent)) continue;
    if (m_tabOrder.Ajoute(pclComponent)) bAdded = 1;
  }
  return bAdded;
}

void CNARecord::_InitOrderBy() {
  m_tabOrder.SupprimeTout();
  const int nMax =
      m_pclConnection != nullptr ? m_pclConnection->nGetOrderByMaxExpressionNbr() : 0x7FFFFFFF;
  const int n = m_tabColumns.nGetNbElement();

  CNAParsedQuery* pclQuery = bSourceIsQuery() ? pclGetSourceQueryNoRef() : nullptr;
  if (pclQuery != nullptr) {
    for (IInfoOrderBy* piOrder = pclQuery->piEnumRubriqueClauseOrder(1); piOrder != nullptr;
         piOrder = pclQuery->piEnumRubriqueClauseOrder(0)) {
      const int nIndex = piOrder->nGetIndiceRubriqueOUT();
      // An index the parser gives outside the output columns names no
      // column of this record.
      if (nIndex < 0 || nIndex >= n) continue;
      CNAColumn* pclColumn = m_tabColumns[nIndex];
      _AddColumnOrder(pclColumn, nMax);
      if (pclColumn == m_pclIdAuto) break;
    }
  }

  if (m_pclIdAuto != nullptr) {
    m_tabOrder.SupprimeTout();
    _AddColumnOrder(m_pclIdAuto, nMax);
    return;
  }

  // Unique keys: plain ones, then composed ones. The first that refuses
  // NULL orders the rows totally by itself.
  for (int nPass = 0; nPass < 2; ++nPass) {
    const bool bComposed = nPass == 1;
    for (int i = 0; i < n; ++i) {
      CNAColumn* pclColumn = m_tabColumns[i];
      if ((pclColumn->bIsComposedKey() != 0) != bComposed) continue;
      INAItemDescription* piItem = pclColumn->piGetItemNoRef();
      if (piItem == nullptr || !piItem->bUnique()) continue;
      if (!pclColumn->bIsNullableOnDataBase()) {
        m_tabOrder.SupprimeTout();
        _AddColumnOrder(pclColumn, nMax);
        return;
      }
      _AddColumnOrder(pclColumn, nMax);
    }
  }
  for (int nPass = 0; nPass < 2; ++nPass) {
    const bool bComposed = nPass == 1;
    for (int i = 0; i < n; ++i) {
      CNAColumn* pclColumn = m_tabColumns[i];
      if ((pclColumn->bIsComposedKey() != 0) != bComposed) continue;
      INAItemDescription* piItem = pclColumn->piGetItemNoRef();
      if (piItem != nullptr && piItem->bDuplicates()) _AddColumnOrder(pclColumn, nMax);
    }
  }
  for (int i = 0; i < n; ++i) {
    CNAColumn* pclColumn = m_tabColumns[i];
    INAItemDescription* piItem = pclColumn->piGetItemNoRef();
    if (piItem == nullptr || piItem->bUnique() || piItem->bDuplicates()) continue;
    if (pclColumn->bIsMemo()) continue;
    _AddColumnOrder(pclColumn, nMax);
  }
}

int CNARecord::bComposedKeyUniqueNotNullAdded(const CNARefArray<CNAColumn>* pTabColumns,
                                              int nCount,
                                              CColumnNullValueExcluded* pclNullSet) const {
  if (pTabColumns == nullptr) return 0;
  // A count past the array would read beyond it.
  if (nCount > pTabColumns->nGetNbElement()) nCount = pTabColumns->nGetNbElement();
  if (nCount < 2 || m_tabUniqueComposed.nGetNbElement() == 0) return 0;
  const CNAColumn* pclAdded = (*pTabColumns)[nCount - 1];
  for (int k = 0; k < m_tabUniqueComposed.nGetNbElement(); ++k) {
    CNAColumn* pclKey = m_tabUniqueComposed[k];
    if (!pclKey->bIsComposedKeyComponent(pclAdded)) continue;
    const CNARefArray<CNAColumn>* pTab = pclKey->pclGetTabComponent();
    if (pTab == nullptr) continue;
    const int nComponents = pTab->nGetNbElement();
    if (nComponents > nCount) continue;
    bool bAllIn = true;
    for (int c = 0; c < nComponents && bAllIn; ++c) {
      bool bFound = false;
      for (int i = 0; i < nCount && !bFound; ++i) bFound = (*pTabColumns)[i] == (*pTab)[c];
      bAllIn = bFound;
    }
    if (!bAllIn) continue;
    if (!pclKey->bIsNullableOnDataBase()) return 1;
    for (int c = 0; c < nComponents; ++c) {
      CNAColumn* pclComponent = (*pTab)[c];
      if (pclNullSet != nullptr) {
        if (!pclNullSet->bColumnValuesNullSelected(pclComponent)) return 1;
      } else if (pclComponent->bValueDefined()) {
        return 1;
      }
    }
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Links

CNAParsedQuery* CNARecord::pclGetSourceQueryNoRef() const {
  return m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetSourceQueryNoRef() : nullptr;
}

int CNARecord::bSourceIsQuery() const {
  return m_pclDataAccess != nullptr ? m_pclDataAccess->bSourceIsQuery() : 0;
}

const wchar_t* CNARecord::pszGetTableName() const {
  if (m_pclDataAccess == nullptr) return L"";
  const wchar_t* psz = m_pclDataAccess->pszGetLogicalName();
  return psz != nullptr ? psz : L"";
}

int CNARecord::bGetPosition(CNAPosition*) const { return 1; }

// ---------------------------------------------------------------------------
// Row values

CNAZBRecordBase* CNARecord::pclGetNAZBRecord() const {
  return m_pclCurrent != nullptr ? m_pclCurrent->pclGetNAZBRecord() : nullptr;
}

void CNARecord::SetDeleted() {
  if (m_pclCurrent != nullptr) m_pclCurrent->SetState(kRecordValueDeleted);
}

int CNARecord::bSetNAZBRecord(const CNAZBRecordBase* pclBuffer) {
  if (m_pclCurrent == nullptr || pclBuffer == nullptr) return 0;
  if (!m_pclCurrent->bCopyNAZBRecord(pclBuffer)) return 0;
  OnNAZBRecordChanged();
  return 1;
}

void CNARecord::OnNAZBRecordChanged() {
  const int n = m_tabColumns.nGetNbElement();
  for (int i = 0; i < n; ++i) {
    CNAColumn* pclColumn = m_tabColumns[i];
    if (pclColumn->bIsMemo() || pclColumn->bIsComposedKey()) continue;
    CNAConvertVariant* pclValue = pclColumn->pclGetNAValue();
    if (pclValue == nullptr) continue;
    // The defined bit itself: reading the value back as a language value to
    // judge it would cost a conversion per column on every move.
    if (pclColumn->bDefinedInCurrent()) {
      pclValue->pclGetValue()->SetNull(false);
    } else {
      pclValue->SetNull();
    }
  }
}

int CNARecord::bEquals(const CNARecordValueBase* pclOther, int bWithMemos) const {
  if (m_pclCurrent == nullptr || pclOther == nullptr) return 0;
  return m_pclCurrent->bEquals(pclOther, bWithMemos);
}

int CNARecord::bCopyToCurrentRecord(const CNARecordValueBase* pclValue) {
  if (m_pclCurrent == nullptr || pclValue == nullptr) return 0;
  if (pclValue == m_pclCurrent) return 1;
  return m_pclCurrent->bCopyRecordValue(pclValue, COPY_ALL);
}

int CNARecord::bCopyOriginalRecordToCurrentRecord() { return bCopyToCurrentRecord(m_pclOriginal); }

int CNARecord::bCopyCurrentRecordToOriginalRecord() {
  if (m_pclOriginal == nullptr || m_pclCurrent == nullptr) return 0;
  return m_pclOriginal->bCopyRecordValue(m_pclCurrent, COPY_ALL);
}

int CNARecord::bShareCurrentRecordMemoValue(CNAColumn* pclColumn, CNAConvertVariant* pclValue) {
  int nMemo = -1;
  for (int i = 0; i < m_tabMemos.nGetNbElement(); ++i) {
    if (m_tabMemos[i] == pclColumn) {
      nMemo = i;
      break;
    }
  }
  if (nMemo < 0) return 1;
  if (m_pclCurrent == nullptr) return 0;
  return m_pclCurrent->bShareMemoValue(nMemo, pclValue);
}

// ---------------------------------------------------------------------------
// Trace

void CNARecord::CurrentRecordToString(CXYStringConcat<wchar_t>* pText) const {
  if (pText == nullptr) return;
  pText->Tronque(0);
  static constexpr wchar_t kPrefix[] = L"<Record ID> : ";
  const CNARecordIdBase* pclId =
      m_pclCurrent != nullptr ? m_pclCurrent->pclGetRecordIdNoRef() : nullptr;
  if (pclId != nullptr) {
    CXYString<wchar_t> strId;
    pclId->RecordIdToString(&strId, kPrefix, 1);
    pText->Add(strId.pszGet(), static_cast<int>(strId.nGetLongueur()));
  } else {
    pText->Add(kPrefix, static_cast<int>(sizeof(kPrefix) / sizeof(wchar_t)) - 1);
    pText->Add(L"NULL", 4);
  }
  static constexpr wchar_t kFlags[] = L"\n<NullValuesFlags (0=NULL)> :";
  pText->Add(kFlags, static_cast<int>(sizeof(kFlags) / sizeof(wchar_t)) - 1);
  const CNAZBRecordBase* pclBuffer = pclGetNAZBRecord();
  if (pclBuffer != nullptr && pclBuffer->pbyGetNullValuesFlags() != nullptr) {
    const unsigned char* pbyFlags = pclBuffer->pbyGetNullValuesFlags();
    for (int i = 0; i < pclBuffer->nGetFlagFieldSize(); ++i) {
      pText->Add(L' ');
      pText->AddNumberBinary(pbyFlags[i], 1);
    }
  }
  CXYStringConcat<wchar_t> clColumn;
  const int n = m_tabColumns.nGetNbElement();
  for (int i = 0; i < n; ++i) {
    CNAColumn* pclColumn = m_tabColumns[i];
    if (pclColumn->bIsComposedKey()) break;
    pclColumn->bCurrentValueToString(&clColumn, 1);
    pText->Add(L'\n');
    pText->Add(clColumn.pszGet(), static_cast<int>(clColumn.nGetLength()));
  }
}
