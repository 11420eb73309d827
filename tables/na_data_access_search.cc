// Searches and keys of a data access: the seek of a value on an item (exact
// or generic), cancelling it, changing the browse's item on the current
// record, and composite key values built from their components.
//
// A seek is a browse of the item's statement whose SELECT carries the
// search's condition: its first row is the first one found, in the item's
// order. The search keeps two more conditions, the rows after the searched
// ones and the rows before them (sqlbuilder/record_search.h); when a move
// runs out of the searched rows the read goes on into them (the read's
// continuation, na_data_access_read.cc), so that from a seek the browse
// walks the item's whole order, found only on the searched rows. A seek
// that finds nothing therefore stands on the first row after the value
// (found false), or out of range when there is none.
//
// A change of browse item hands the new item's statement the row the data
// access stands on as its row as read and marks its browse to be rebuilt:
// the next move on the new item goes on from that row in the new order.
#include <cstring>
#include <new>

#include "driver/na_error.h"
#include "items/column.h"
#include "items/record.h"
#include "items/record_value_interface.h"
#include "kq230/item_description_interface.h"
#include "sqlbuilder/record_search.h"
#include "tables/na_data_access.h"
#include "values/any.h"

namespace {

// Debug lines of this file's errors (file CNADataAccess::kErrorFile).
constexpr int kSiteSearchNotOpened = 139;
constexpr int kSiteCancelNotOpened = 140;
constexpr int kSiteChangeKeyNotOpened = 141;
constexpr int kSiteKeyValueNotOpened = 142;
constexpr int kSiteSearchItem = 143;
constexpr int kSiteCancelItem = 144;
constexpr int kSiteChangeKeyItem = 145;
constexpr int kSiteKeyValueItem = 146;

// Read flags a seek does not take from its caller: it browses the item it
// names, on the statement's own rows.
constexpr NA_WRITEPARSEFLAGS kSeekIgnoredFlags =
    CNADataAccess::kReadDefaultItem | CNADataAccess::kReadTableCache |
    CNADataAccess::kReadSameStatement;

// Bytes a component occupies in its composite key: the item's size less
// the terminator of a text (a Unicode text's is two bytes), as the record
// composes its keys.
unsigned int nComponentKeyWidth(const CNAColumn* pclComponent) {
  INAItemDescription* piItem = pclComponent->piGetItemNoRef();
  if (piItem == nullptr) return 0;
  long long llWidth = piItem->nGetTotalSize();
  const eNA_ITEMTYPE eType = piItem->eNAGetItemType();
  if (eType == NA_IT_TEXTE) llWidth -= 1;
  if (eType == NA_IT_UNICODE) llWidth -= 2;
  return llWidth > 0 ? static_cast<unsigned int>(llWidth) : 0u;
}

}  // namespace

int CNADataAccess::_nRaiseNotOpened(int nSite, const wchar_t* pszItem) {
  return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, nSite, m_pclConnection,
                            m_csLogicalName.pszGet(), pszItem, kErrNotOpened,
                            m_csLogicalName.pszGet());
}

CNAColumn* CNADataAccess::_pclGetItemColumn(const wchar_t* pszItem, int nSite) {
  if (pszItem == nullptr) pszItem = L"";
  CNAColumn* pclColumn =
      m_pclRecord != nullptr && pszItem[0] != 0 ? m_pclRecord->pclGetColumnNoRef(pszItem) : nullptr;
  if (pclColumn == nullptr || pclColumn->piGetItemNoRef() == nullptr) {
    CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, nSite, m_pclConnection,
                       m_csLogicalName.pszGet(), pszItem, CNAStatement::kErrUnknownItem, pszItem);
    return nullptr;
  }
  return pclColumn;
}

// ---------------------------------------------------------------------------
// The seek

int CNADataAccess::bHRecherche(const wchar_t* pszItem, const CAny* pValue, int bGeneric,
                               int /*nCompare*/, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLockOut,
                               int nOption, NA_WRITEPARSEFLAGS nFlags) {
  // nCompare (the server's comparison option) is not used: texts compare
  // as the column's collation on the server compares them, in the
  // condition and in the order alike.
  if (pszItem == nullptr) pszItem = L"";
  if (!m_bOpened) return _nRaiseNotOpened(kSiteSearchNotOpened, pszItem);
  CNAColumn* pclColumn = _pclGetItemColumn(pszItem, kSiteSearchItem);
  if (pclColumn == nullptr) return 0;
  nFlags &= ~kSeekIgnoredFlags;

  CNAStatement* pclStatement = _pclGetNewItemStatement(pszItem, NA_PARSE_FIRST, nFlags);
  if (pclStatement == nullptr) return 0;
  // The reference _pclGetNewItemStatement gave moves into refStatement.
  CInterfRef<CNAStatement> refStatement(pclStatement);
  pclStatement->nRelease();

  CInterfRef<CNARecherche> refSearch(pclStatement->pclAllocRecherche());
  CNARecherche* pclSearch = refSearch.pGet();
  if (pclSearch == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  // A value the item cannot hold fails here with the search's error: an
  // inactive search would read every row.
  if (!pclSearch->bSetRecherche(m_pclRecord, pclColumn->piGetItemNoRef(), pValue, NA_PARSE_FIRST,
                                bGeneric ? 0 : 1, 0))
    return 0;
  // A search that leaves no condition (a generic search of the empty text)
  // finds every row: the browse of the item, every row found.
  pclStatement->SetRecherche(pclSearch->nGetState() != 0 ? pclSearch : nullptr);
  pclStatement->SetParseFlags(nFlags);
  pclStatement->SetBrowseItem(pszItem);
  int bResult = _bFetch(pclStatement, pszItem, NA_PARSE_FIRST, 1, nOption, eLock, peLockOut,
                        nFlags, 1);
  if (!bResult)
    bResult = _bRepriseErreurParcours(pclStatement, pszItem, NA_PARSE_FIRST, eLock, peLockOut,
                                      nFlags);
  return bResult;
}

int CNADataAccess::bHAnnuleRecherche(const wchar_t* pszItem) {
  if (pszItem == nullptr) pszItem = L"";
  if (!m_bOpened) return _nRaiseNotOpened(kSiteCancelNotOpened, pszItem);
  CNAStatement* pclStatement = nullptr;
  if (pszItem[0] != 0) {
    if (_pclGetItemColumn(pszItem, kSiteCancelItem) == nullptr) return 0;
    pclStatement = pclGetItemStatementNoRef(pszItem);
  } else {
    pclStatement = m_pclCurrentStatement;
  }
  if (pclStatement == nullptr || pclStatement->pclGetRechercheNoRef() == nullptr) return 1;
  if (!pclStatement->bIsParseStarted()) {
    pclStatement->SetRecherche(nullptr);
    return 1;
  }
  if (pclStatement->bCanUpdateParse()) {
    // The browse stays on its row; the next move rebuilds it from there
    // over every row of the item.
    pclStatement->SetRecherche(nullptr);
    pclStatement->SetParseNeedUpdate(2);
    return 1;
  }
  // A browse that cannot be rebuilt from its row keeps its rows: the
  // search stays to take it on past them, every row now counted as found.
  pclStatement->pclGetRechercheNoRef()->Cancel();
  return 1;
}

// ---------------------------------------------------------------------------
// The browse's item

int CNADataAccess::bHChangeCle(const wchar_t* pszItem, unsigned int dwFlags) {
  if (pszItem == nullptr) pszItem = L"";
  if (!m_bOpened) return _nRaiseNotOpened(kSiteChangeKeyNotOpened, pszItem);
  if (_pclGetItemColumn(pszItem, kSiteChangeKeyItem) == nullptr) return 0;
  CNAStatement* pclFrom = m_pclCurrentStatement;
  const NA_WRITEPARSEFLAGS nFlags =
      static_cast<NA_WRITEPARSEFLAGS>(dwFlags) & ~kSeekIgnoredFlags;
  CNAStatement* pclStatement = _pclGetNewItemStatement(pszItem, NA_PARSE_FIRST, nFlags);
  if (pclStatement == nullptr) return 0;
  // The reference _pclGetNewItemStatement gave moves into refStatement.
  CInterfRef<CNAStatement> refStatement(pclStatement);
  pclStatement->nRelease();
  if (pclStatement == pclFrom) return 1;

  // The row the data access stands on: the row the browse read last (the
  // record may have been changed since), else the record itself.
  const bool bOnRow = pclFrom != nullptr && pclFrom->bIsPositioned() && !pclFrom->HEndehors();
  CNARecordValueBase* pclRow = nullptr;
  if (bOnRow) {
    pclRow = pclFrom->pclGetOriginalRecordValueNoRef();
    if (pclRow == nullptr && m_pclRecord != nullptr)
      pclRow = m_pclRecord->pclGetCurrentRecordNoRef();
  }
  CInterfRef<CNARecordValueBase> refKept;
  if (pclRow != nullptr) {
    // The new browse's own copy: the other browse's row as read changes
    // with its next move.
    refKept.Reset(pclRow->pclGetClone(COPY_ALL));
    if (refKept.pGet() == nullptr) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
  }
  // A new browse: the searches of the item's last one do not hold.
  pclStatement->SetRecherche(nullptr);
  pclStatement->SetParseFlags(nFlags);
  pclStatement->SetBrowseItem(pszItem);
  // Rebuilt at the next move, from the row (next: the rows after it,
  // previous: those before), or from its start without one.
  pclStatement->SetOriginalRecordValue(refKept.pGet());
  pclStatement->SetParseNeedUpdate(2);
  pclStatement->SetBrowseState(bOnRow && refKept.pGet() != nullptr ? 0 : 1,
                               bOnRow ? pclFrom->EvalHTrouve() : 0);
  return 1;
}

// ---------------------------------------------------------------------------
// Composite key values

int CNADataAccess::bHConstruitValCle(CAny* pOut, const wchar_t* pszItem, unsigned int nCount,
                                     CAny** ppValues) {
  if (pszItem == nullptr) pszItem = L"";
  if (!m_bOpened) return _nRaiseNotOpened(kSiteKeyValueNotOpened, pszItem);
  CNAColumn* pclKey = _pclGetItemColumn(pszItem, kSiteKeyValueItem);
  if (pclKey == nullptr) return 0;
  if (pOut == nullptr) return 0;
  if (nCount > 0 && ppValues == nullptr) nCount = 0;
  const CNARefArray<CNAColumn>* pTabComponents =
      pclKey->bIsComposedKey() ? pclKey->pclGetTabComponent() : nullptr;
  if (pTabComponents == nullptr) {
    // A plain item's key value is its value.
    if (nCount == 0 || ppValues[0] == nullptr) {
      *pOut = CAny();
      return 1;
    }
    *pOut = *ppValues[0];
    return 1;
  }
  // Values past the key's components are not part of it.
  const unsigned int nComponents = static_cast<unsigned int>(pTabComponents->nGetNbElement());
  if (nCount > nComponents) nCount = nComponents;

  // The key is composed as the record composes it (the layout a search cuts
  // a composite value by): the components take the values in the current
  // row for the time of the composing, and the row comes back as it was.
  CNARecordValueBase* pclCurrent =
      m_pclRecord != nullptr ? m_pclRecord->pclGetCurrentRecordNoRef() : nullptr;
  if (pclCurrent == nullptr) return _nRaiseNotOpened(kSiteKeyValueNotOpened, pszItem);
  CInterfRef<CNARecordValueBase> refSaved(pclCurrent->pclGetClone(COPY_ALL));
  if (refSaved.pGet() == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  int bResult = 1;
  unsigned int nWidth = 0;
  for (unsigned int i = 0; i < nComponents && bResult; ++i) {
    CNAColumn* pclComponent = (*pTabComponents)[static_cast<int>(i)];
    if (pclComponent == nullptr) {
      bResult = 0;
      break;
    }
    // A component without a value (and those not given) is empty in the
    // key: all its bytes 0.
    const CAny* pValue = i < nCount ? ppValues[i] : nullptr;
    bResult = pclComponent->bSetValue(pValue, 0);
    if (i < nCount) nWidth += nComponentKeyWidth(pclComponent);
  }
  m_pclRecord->OnNAZBRecordChanged();
  CAny clKey;
  if (bResult) bResult = pclKey->bGetCurrentValue(&clKey, 0);
  const int bBack = m_pclRecord->bCopyToCurrentRecord(refSaved.pGet());
  m_pclRecord->OnNAZBRecordChanged();
  if (!bResult || !bBack) return 0;

  // The components given, and no byte of those that were not: a shorter
  // value searches on the components it holds.
  void* pBytes = nullptr;
  unsigned int nBytes = 0;
  if (clKey.pclGetIntern()->nGetDataAdr(&pBytes) != 0 || pBytes == nullptr) nBytes = 0;
  else if (clKey.pclGetIntern()->nGetDataSize(&nBytes) != 0) nBytes = 0;
  if (nWidth > nBytes) nWidth = nBytes;
  CAny clOut;
  clOut.SetBIN(static_cast<const unsigned char*>(pBytes), nWidth);
  *pOut = clOut;
  return 1;
}
