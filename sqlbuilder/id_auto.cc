// The automatic identifier's next value and current maximum.
#include "sqlbuilder/id_auto.h"

#include <cwchar>

#include "core/wide_string.h"
#include "driver/connection_description.h"
#include "driver/na_error.h"
#include "items/column.h"
#include "items/items_data_access_interface.h"
#include "kq230/item_description_interface.h"
#include "kq230/vm_values.h"
#include "sqlbuilder/internal_parse.h"
#include "values/any.h"

namespace {

bool bEmptyText(const wchar_t* psz) { return psz == nullptr || *psz == L'\0'; }

void AddText(CXYStringConcat<wchar_t>* pText, const wchar_t* psz) {
  if (!bEmptyText(psz)) pText->Add(psz, static_cast<int>(std::wcslen(psz)));
}

}  // namespace

CNAIDAuto::~CNAIDAuto() {
  _CloseInternalParseNextValue();
  _CloseInternalParseMaxCurrentValue();
}

void CNAIDAuto::_CloseInternalParseNextValue() {
  CNAInternalParse* pclParse = m_pclParseNextValue;
  m_pclParseNextValue = nullptr;
  if (pclParse != nullptr) pclParse->dwRelease();
}

void CNAIDAuto::_CloseInternalParseMaxCurrentValue() {
  CNAInternalParse* pclParse = m_pclParseMaxCurrentValue;
  m_pclParseMaxCurrentValue = nullptr;
  if (pclParse != nullptr) pclParse->dwRelease();
}

// ---------------------------------------------------------------------------
// Query texts

int CNAIDAuto::_bBuildQueryGetMax(CXYStringConcat<wchar_t>* pText,
                                  CNAItemsDataAccess* pclDataAccess, CNAColumn* pclColumn,
                                  int bNextValue) {
  CTString csItem;
  CTString csTable;
  const wchar_t* pszItem = nullptr;
  const wchar_t* pszTable = nullptr;
  if (pclDataAccess->bSourceIsQuery()) {
    // A query's column: the table and column it comes from, as the
    // connection writes names.
    CNAConnectionDescription* pclConnection = pclDataAccess->pclGetConnection();
    CNAError* pclError = pclColumn->pclGetError();
    INAItemDescription* piItem = pclColumn->piGetItemNoRef();
    if (pclConnection != nullptr && piItem != nullptr) {
      if (pclConnection->bFormatItemName(pclError, piItem->pszGetNameInSource(), &csItem))
        pszItem = csItem.pszGet();
      if (pclConnection->bFormatTableName(pclError, piItem->pszGetSourceName(), &csTable))
        pszTable = csTable.pszGet();
    }
  } else {
    pszItem = pclColumn->pszGetFormatedOriginalName();
    pszTable = pclDataAccess->pszGetDBTableName();
  }
  pText->Add(L"SELECT MAX(", 11);
  AddText(pText, pszItem);
  pText->Add(L')');
  if (bNextValue) pText->Add(L"+1", 2);
  pText->Add(L" FROM ", 6);
  AddText(pText, pszTable);
  return pText->bEchec() ? 0 : 1;
}

int CNAIDAuto::_bBuildQueryGetNextValue(CXYStringConcat<wchar_t>* pText,
                                        CNAItemsDataAccess* pclDataAccess, CNAColumn* pclColumn) {
  return _bBuildQueryGetMax(pText, pclDataAccess, pclColumn, 1);
}

int CNAIDAuto::_bBuildQueryGetMaxCurrentValue(CXYStringConcat<wchar_t>* pText,
                                              CNAItemsDataAccess* pclDataAccess,
                                              CNAColumn* pclColumn) {
  return _bBuildQueryGetMax(pText, pclDataAccess, pclColumn, 0);
}

// ---------------------------------------------------------------------------
// Requests

int CNAIDAuto::_bRun(const CXYStringConcat<wchar_t>& clText, CNAItemsDataAccess* pclDataAccess,
                     CNAError* pclError, CNAInternalParse** ppParse) {
  *ppParse = nullptr;
  CNAInternalParse* pclParse = CNAInternalParse::s_pclGetNAInternalParse(
      clText.pszGet(), pclError, pclDataAccess->pclGetConnection());
  if (pclParse == nullptr) return 0;
  pclParse->dwAddRef();
  *ppParse = pclParse;
  return 1;
}

int CNAIDAuto::_nRaiseNoRow(CNAItemsDataAccess* pclDataAccess, CNAColumn* pclColumn,
                            CNAError* pclError) {
  const wchar_t* pszTable = pclDataAccess->pszGetLogicalName();
  const wchar_t* pszItem = pclColumn->pszGetName();
  if (pszTable == nullptr) pszTable = L"";
  if (pszItem == nullptr) pszItem = L"";
  return CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kErrorFile, kSiteNoMaximum,
                            pclDataAccess->pclGetConnection(), pszTable, pszItem,
                            kErrNoCurrentMaximum, pszTable, pszItem);
}

void CNAIDAuto::_PrefixMessageErreur(CNAError* pclError, CNAItemsDataAccess* pclDataAccess,
                                     CNAColumn* pclColumn) {
  if (pclError == nullptr) return;
  const wchar_t* pszTable = pclDataAccess != nullptr ? pclDataAccess->pszGetLogicalName() : nullptr;
  const wchar_t* pszItem = pclColumn != nullptr ? pclColumn->pszGetName() : nullptr;
  pclError->AddUserMessageFirst(kMessageNextValueFailed, pszTable != nullptr ? pszTable : L"",
                                pszItem != nullptr ? pszItem : L"");
}

int CNAIDAuto::bGetNextValue(CNAItemsDataAccess* pclDataAccess, CNAColumn* pclColumn,
                             CNAError* pclError, CAny* pValue) {
  if (pclDataAccess == nullptr || pclColumn == nullptr || pValue == nullptr) return 0;
  CXYStringConcat<wchar_t> clQuery(64);
  int bResult = _bBuildQueryGetNextValue(&clQuery, pclDataAccess, pclColumn);
  if (!bResult && pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
  if (bResult) {
    _CloseInternalParseNextValue();
    bResult = _bRun(clQuery, pclDataAccess, pclError, &m_pclParseNextValue);
  }
  if (bResult) {
    int bOutOfRange = 1;
    bResult = m_pclParseNextValue->bFetchData(NA_PARSE_FIRST, &bOutOfRange, pValue, 1);
    // MAX() always gives one row; none means the query was not what it
    // should be, and an identifier made up here could collide.
    if (bResult && bOutOfRange) bResult = _nRaiseNoRow(pclDataAccess, pclColumn, pclError);
  }
  // An empty table starts the numbering.
  if (bResult && pValue->bIsNull()) pValue->SetI8(1);
  _CloseInternalParseNextValue();
  if (!bResult) _PrefixMessageErreur(pclError, pclDataAccess, pclColumn);
  return bResult;
}

int CNAIDAuto::bGetMaxCurrentValue(CNAItemsDataAccess* pclDataAccess, CNAColumn* pclColumn,
                                   CNAError* pclError, CAny* pValue) {
  if (pclDataAccess == nullptr || pclColumn == nullptr || pValue == nullptr) return 0;
  CXYStringConcat<wchar_t> clQuery(64);
  if (!_bBuildQueryGetMaxCurrentValue(&clQuery, pclDataAccess, pclColumn)) {
    if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  _CloseInternalParseMaxCurrentValue();
  if (!_bRun(clQuery, pclDataAccess, pclError, &m_pclParseMaxCurrentValue)) return 0;
  int bOutOfRange = 1;
  int bResult = m_pclParseMaxCurrentValue->bFetchData(NA_PARSE_FIRST, &bOutOfRange, pValue, 1);
  if (bResult && bOutOfRange) bResult = _nRaiseNoRow(pclDataAccess, pclColumn, pclError);
  _CloseInternalParseMaxCurrentValue();
  return bResult;
}
