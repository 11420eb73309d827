// The MariaDB handle-level SQL interface: the back end's statements, its
// native type names, SHOW COLUMNS, and the SHOW statements that stand for
// INFORMATION_SCHEMA on servers of major version 4 or lower.
#include "mariadb/mysql_driver_sql.h"

#include <cwchar>

#include "core/mixed_width_concat.h"
#include "core/string_array.h"
#include "driver/connection_description.h"
#include "driver/na_error.h"
#include "items/sql_type_map.h"
#include "kq230/vm_values.h"
#include "mariadb/mysql_statement.h"
#include "values/any.h"

namespace {

constexpr unsigned int kTypeBits = kNAListBaseTables | kNAListViews | kNAListSystemTables;
// The item types a type map may hold, in the order the list gives them.
constexpr int kFirstItemType = NA_IT_IDAUTO;
constexpr int kLastItemType = NA_IT_COMBINAISON;

// INFORMATION_SCHEMA came with MySQL 5.0. A version not known yet (-1) is
// taken as a current server.
bool bOldServer(const CNAConnectionDescription* pclConnection) {
  const int nMajor = pclConnection->nGetServerVersionMajor();
  return nMajor >= 0 && nMajor <= 4;
}

// A type text as a name: the size placeholders and their parentheses left
// out ("VARCHAR(%d) CHARACTER SET utf8mb4" gives "VARCHAR CHARACTER SET
// utf8mb4"); fixed sizes ("TINYINT(1)", "DECIMAL(24,6)") are part of the
// type and stay.
void AppendTypeName(CTString* pOut, const wchar_t* pszText) {
  for (const wchar_t* p = pszText; *p != L'\0'; ++p) {
    if (*p == L'(' && std::wcsstr(p, L"%d") != nullptr) {
      const wchar_t* pClose = std::wcschr(p, L')');
      const wchar_t* pPlaceholder = std::wcsstr(p, L"%d");
      if (pClose != nullptr && pPlaceholder < pClose) {
        p = pClose;
        continue;
      }
    }
    pOut->Add(*p);
  }
}

}  // namespace

CNAStatementSQL* CMySQLDriverSQL::pclAllocStatementSQL(CNAConnectionDescription* pclConnection,
                                                       CNAError* pclError) {
  return CMySQLStatementSQL::s_pclAllocStatementSQL(pclConnection, pclError);
}

int CMySQLDriverSQL::bGetColumnTypeList(CAny* pValue, int nConnection, unsigned int) {
  COperationFrame clFrame(this);
  CConnectionHandle clConnection(this, nConnection);
  if (!clConnection) return 0;
  CNAError* pclError = pclGetError();
  CNAMapConvertType* pclMap = clConnection.pcl()->pclGetNativeTypeMap(pclError);
  if (pclMap == nullptr) return 0;
  // Each name once, in the order of the item types that first use it.
  CTStringArray clNames;
  CTString csName;
  for (int eType = kFirstItemType; eType <= kLastItemType; ++eType) {
    const CNATypeInfo* pclInfo = pclMap->pclGet(static_cast<eNA_ITEMTYPE>(eType));
    if (pclInfo == nullptr) continue;
    csName.Vide();
    AppendTypeName(&csName, pclInfo->pszGetText());
    if (csName.nTaille() > 0 && clNames.nRecherche(csName.pszGet(), 1, 0) < 0 &&
        !clNames.Ajoute(csName.pszGet())) {
      if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
  }
  CTString csList;
  if (clNames.nGetCount() > 0 && !clNames.bFusion(&csList, L"\r\n")) {
    if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  s_SetListText(pValue, csList.pszGet(), static_cast<unsigned int>(csList.nTaille()));
  return 1;
}

int CMySQLDriverSQL::bGetTableList(CAny* pValue, CNAConnectionDescription* pclConnection,
                                   const wchar_t* pszCondition, unsigned int nFlags) {
  if ((nFlags & kTypeBits) == 0 || !bOldServer(pclConnection)) {
    const int bResult = CNADriverSQL::bGetTableList(pValue, pclConnection, pszCondition, nFlags);
    // Without the catalogue, SHOW TABLES still names the tables. A caller's
    // condition that failed is the caller's error, not a missing catalogue:
    // answering every table instead would hide it.
    if (bResult || (pszCondition != nullptr && *pszCondition != L'\0')) return bResult;
  }
  if (pclGetError() != nullptr) pclGetError()->Reset();
  const int bResult = _bGetList(pValue, pclConnection, L"SHOW TABLES", 1, nFlags);
  if (bResult && (nFlags & kNAListSorted) && pValue != nullptr && !pValue->bIsNull()) {
    CXYString<wchar_t> clText;
    CAny clCopy(*pValue);
    clCopy.__nFillString(clText, nullptr);
    if (clText.nGetLongueur() > 0) {
      CTString csSorted;
      if (CTStringArray::g_bTrieCroissantI(&csSorted, clText.pszGet(), L"\r\n"))
        s_SetListText(pValue, csSorted.pszGet(), static_cast<unsigned int>(csSorted.nTaille()));
    }
    clText.ReleaseDynStr();
  }
  return bResult;
}

int CMySQLDriverSQL::bGetColumnList(CAny* pValue, CNAConnectionDescription* pclConnection,
                                    const wchar_t* pszTable, unsigned int nFlags) {
  CTString csTable;
  if (!pclConnection->bFormatTableName(pclGetError(), pszTable != nullptr ? pszTable : L"",
                                       &csTable))
    return 0;
  CTString csQuery(L"SHOW COLUMNS FROM ");
  csQuery.Add(csTable.pszGet());
  return _bGetList(pValue, pclConnection, csQuery.pszGet(), 1, nFlags);
}

int CMySQLDriverSQL::_bGetDatabaseListQuery(CTStringConcatAW* pclQuery,
                                            CNAConnectionDescription* pclConnection,
                                            unsigned int nFlags) {
  if (!bOldServer(pclConnection))
    return CNADriverSQL::_bGetDatabaseListQuery(pclQuery, pclConnection, nFlags);
  pclQuery->Vide();
  pclQuery->Add(L"SHOW DATABASES");
  return pclQuery->bEchec() ? 0 : 1;
}

int CMySQLDriverSQL::_bGetDatabaseTableListQuery(CTStringConcatAW* pclQuery,
                                                 const wchar_t* pszDatabase,
                                                 CNAConnectionDescription* pclConnection,
                                                 unsigned int nFlags) {
  if (!bOldServer(pclConnection))
    return CNADriverSQL::_bGetDatabaseTableListQuery(pclQuery, pszDatabase, pclConnection,
                                                     nFlags);
  // The database is a name here, not a literal: quoted as a name.
  CTString csName;
  if (!pclConnection->bFormatItemName(pclGetError(), pszDatabase != nullptr ? pszDatabase : L"",
                                      &csName))
    return 0;
  pclQuery->Vide();
  pclQuery->Add(L"SHOW TABLES FROM ");
  pclQuery->Add(csName.pszGet());
  return pclQuery->bEchec() ? 0 : 1;
}
