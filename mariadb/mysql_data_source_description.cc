#include "mariadb/mysql_data_source_description.h"

#include <cwchar>
#include <new>

#include "core/counted_string.h"
#include "core/error_object.h"
#include "core/mixed_width_concat.h"
#include "core/string_concat.h"
#include "core/wide_string.h"
#include "driver/na_error.h"
#include "items/convert_variant.h"
#include "items/item_description.h"
#include "kq230/item_type.h"
#include "kq230/vm_values.h"
#include "mariadb/mysql_connection.h"
#include "mariadb/mysql_statement.h"
#include "values/any.h"

namespace {

constexpr unsigned short kKeyPrimaryWord = 0x8800;
constexpr unsigned short kKeyUniqueWord = 0x4800;
constexpr unsigned short kKeyDuplicatesWord = 0x2800;

constexpr wchar_t kCatalogueColumns[] =
    L"SELECT COLUMN_NAME, COLUMN_TYPE, COLLATION_NAME, IS_NULLABLE, COLUMN_KEY, "
    L"COLUMN_DEFAULT, EXTRA, GENERATION_EXPRESSION FROM INFORMATION_SCHEMA.COLUMNS WHERE "
    L"table_schema = ";

wchar_t Upper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; }

// Whether pszWord (upper-case ASCII) occurs in pszText, case ignored.
bool bContainsNoCase(const wchar_t* pszText, const wchar_t* pszWord) {
  if (pszText == nullptr) return false;
  const size_t nWord = std::wcslen(pszWord);
  for (const wchar_t* p = pszText; *p != 0; ++p) {
    size_t i = 0;
    while (i < nWord && p[i] != 0 && Upper(p[i]) == pszWord[i]) ++i;
    if (i == nWord) return true;
  }
  return false;
}

bool bEmpty(const wchar_t* psz) { return psz == nullptr || *psz == 0; }

// The escapes the server writes in a quoted literal of its catalogue.
wchar_t Unescaped(wchar_t c) {
  switch (c) {
    case L'0': return 0;
    case L'b': return L'\b';
    case L'n': return L'\n';
    case L'r': return L'\r';
    case L't': return L'\t';
    case L'Z': return 0x1A;
    default: return c;
  }
}

}  // namespace

CMySQLDataSourceDescription::CMySQLDataSourceDescription(CNAConnectionDescription* pclConnection,
                                                         CNAError* pclError)
    : CNADataSourceDescription(pclConnection, pclError) {}

CMySQLDataSourceDescription::~CMySQLDataSourceDescription() = default;

CMySQLConnection* CMySQLDataSourceDescription::_pclMySQL() const {
  return static_cast<CMySQLConnection*>(pclGetConnection());
}

int CMySQLDataSourceDescription::_bCatalogueQuery() const {
  const CMySQLConnection* pcl = _pclMySQL();
  if (pcl == nullptr) return 0;
  if (pcl->bServerMySQLVersionGreaterThan5_7_6()) return 1;
  if (!pcl->bServerIsMariaDB()) return 0;
  // 10.2.7 quotes the catalogue's text defaults (a NULL default is then the
  // bare word, the text 'NULL' quoted) and has the generation expression.
  const int nMajor = pcl->nGetServerVersionMajor();
  const int nMinor = pcl->nGetServerVersionMinor();
  const int nRelease = pcl->nGetServerVersionRelease();
  if (nMajor != 10) return nMajor > 10;
  if (nMinor != 2) return nMinor > 2;
  return nRelease >= 7;
}

// ---------------------------------------------------------------------------
// Key words

unsigned short CMySQLDataSourceDescription::s_nKeyType(const wchar_t* pszKey) {
  if (pszKey == nullptr) return 0;
  wchar_t sz[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    if (pszKey[i] == 0) return 0;
    sz[i] = Upper(pszKey[i]);
  }
  if (sz[0] == L'P' && sz[1] == L'R' && sz[2] == L'I') return kKeyPrimaryWord;
  if (sz[0] == L'U' && sz[1] == L'N' && sz[2] == L'I') return kKeyUniqueWord;
  return 0;
}

unsigned short CMySQLDataSourceDescription::s_nKeyType(unsigned int nFlags) {
  if (nFlags & kFieldPrimary) return kKeyPrimaryWord;
  if (nFlags & kFieldUnique) return kKeyUniqueWord;
  if (nFlags & kFieldMultiple) return kKeyDuplicatesWord;
  return 0;
}

int CMySQLDataSourceDescription::s_nKeyRank(unsigned short wKey) {
  if (wKey & CNAItemDescription::kKeyPrimary) return 3;
  if (wKey & CNAItemDescription::kKeyUnique) return 2;
  if (wKey & CNAItemDescription::kKeyDuplicates) return 1;
  return 0;
}

int CMySQLDataSourceDescription::s_nGeneratedKind(const wchar_t* pszExtra) {
  if (bContainsNoCase(pszExtra, L"STORED GENERATED") || bContainsNoCase(pszExtra, L"PERSISTENT"))
    return 2;
  if (bContainsNoCase(pszExtra, L"VIRTUAL")) return 1;
  return 0;
}

void CMySQLDataSourceDescription::s_DecodeCatalogueDefault(const wchar_t* pszText, CTString* pOut,
                                                           int* pbNull) {
  *pbNull = 0;
  pOut->Vide();
  if (pszText == nullptr) {
    *pbNull = 1;
    return;
  }
  if (std::wcscmp(pszText, L"NULL") == 0) {
    *pbNull = 1;
    return;
  }
  const size_t n = std::wcslen(pszText);
  if (n < 2 || pszText[0] != L'\'' || pszText[n - 1] != L'\'') {
    pOut->Set(pszText);
    return;
  }
  CTString str;
  for (size_t i = 1; i + 1 < n; ++i) {
    wchar_t c = pszText[i];
    if (c == L'\'' && i + 2 < n && pszText[i + 1] == L'\'') {
      ++i;
    } else if (c == L'\\' && i + 2 < n) {
      c = Unescaped(pszText[++i]);
      // A zero ends a wide text: the rest could not be held anyway.
      if (c == 0) break;
    }
    str.Add(c);
  }
  pOut->Transfert(str);
}

// ---------------------------------------------------------------------------
// Queries

int CMySQLDataSourceDescription::_bAddLiteral(CXYStringConcat<wchar_t>* pclQuery,
                                              const wchar_t* pszText) {
  if (pszText == nullptr) pszText = L"";
  CTStringConcatAW clLiteral(kConcatModeWide);
  const unsigned int nBytes = static_cast<unsigned int>(std::wcslen(pszText) * sizeof(wchar_t));
  if (!_pclMySQL()->_bEscapeString(pclGetError(), &clLiteral, VX_PSTRW,
                                   reinterpret_cast<unsigned char*>(const_cast<wchar_t*>(pszText)),
                                   nBytes))
    return 0;
  const wchar_t* psz = clLiteral.pszGetW();
  return pclQuery->Add(psz, static_cast<int>(std::wcslen(psz)));
}

int CMySQLDataSourceDescription::_bGetQueryShowColumns(CXYStringConcat<wchar_t>* pclQuery) {
  CMySQLConnection* pclConnection = _pclMySQL();
  if (pclQuery == nullptr || pclConnection == nullptr) return 0;
  CTString strTable;
  if (!pclConnection->bFormatTableName(pclGetError(), pszGetDBTableName(), &strTable)) return 0;
  if (_bCatalogueQuery()) {
    pclQuery->Add(kCatalogueColumns, static_cast<int>(std::wcslen(kCatalogueColumns)));
    const wchar_t* pszBase = pclConnection->pszGetDefaultDataBase();
    if (!bEmpty(pszBase)) {
      if (!_bAddLiteral(pclQuery, pszBase)) return 0;
    } else {
      pclQuery->Add(L"database()", 10);
    }
    pclQuery->Add(L" AND table_name = ", 18);
    // The name as the table has it, not its quoted form.
    if (!_bAddLiteral(pclQuery, pszGetDBTableName())) return 0;
    // The catalogue's order is not promised: the columns' order is.
    static constexpr wchar_t kOrder[] = L" ORDER BY ORDINAL_POSITION";
    pclQuery->Add(kOrder, static_cast<int>(std::wcslen(kOrder)));
  } else {
    const wchar_t* pszShow = pclConnection->bServerVersionGreaterThan4_1() ? L"SHOW FULL COLUMNS FROM "
                                                                           : L"SHOW COLUMNS FROM ";
    pclQuery->Add(pszShow, static_cast<int>(std::wcslen(pszShow)));
    pclQuery->Add(strTable.pszGet(), strTable.nTaille());
  }
  if (pclQuery->bEchec()) {
    if (pclGetError() != nullptr) pclGetError()->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  return 1;
}

int CMySQLDataSourceDescription::_bGetQueryShowIndex(CXYStringConcat<wchar_t>* pclQuery) {
  CMySQLConnection* pclConnection = _pclMySQL();
  if (pclQuery == nullptr || pclConnection == nullptr) return 0;
  CTString strTable;
  if (!pclConnection->bFormatTableName(pclGetError(), pszGetDBTableName(), &strTable)) return 0;
  pclQuery->Add(L"SHOW INDEX FROM ", 16);
  pclQuery->Add(strTable.pszGet(), strTable.nTaille());
  if (pclQuery->bEchec()) {
    if (pclGetError() != nullptr) pclGetError()->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  return 1;
}

int CMySQLDataSourceDescription::_bRunSchemaQuery(const wchar_t* pszQuery, int bIndexQuery,
                                                  int nOption) {
  CMySQLStatementSQL* pclStatement =
      CMySQLStatementSQL::s_pclAllocStatementSQL(pclGetConnection(), pclGetError());
  if (pclStatement == nullptr) {
    if (pclGetError() != nullptr) pclGetError()->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  pclStatement->AddRef();
  int bResult = pclStatement->bExecuteDirect(pszQuery, nullptr, 0);
  int nColumns = 0;
  if (bResult && pclStatement->bGetColumnNbr(&nColumns, 0) && nColumns > 0) {
    bResult = bIndexQuery ? _bInitKeysFromQueryShowIndex(pclStatement)
                          : _bInitItemFromQueryShowColumns(pclStatement, nOption);
  }
  pclStatement->nRelease();
  return bResult;
}

int CMySQLDataSourceDescription::_bReadCell(CMySQLStatementSQL* pclStatement,
                                            unsigned int nColumn, CTString* pOut, int* pbNull) {
  unsigned char* pCell = nullptr;
  unsigned int nLength = 0;
  if (!pclStatement->bGetValue(&pCell, &nLength, nColumn)) return 0;
  *pbNull = pCell == nullptr;
  pOut->Vide();
  if (pCell == nullptr || nLength == 0) return 1;
  int nCodePage = pclGetConnection()->nGetConnectionCodePage();
  if (nCodePage == kCodePageWide || nCodePage == kCodePageUnset) nCodePage = 65001;
  pOut->SetANSIEx(reinterpret_cast<const char*>(pCell), static_cast<int>(nLength),
                  static_cast<unsigned int>(nCodePage));
  return 1;
}

// ---------------------------------------------------------------------------
// Column rows

int CMySQLDataSourceDescription::_bInitItemFromQueryShowColumns(CNAStatementSQL* pclBase, int) {
  auto* pclStatement = static_cast<CMySQLStatementSQL*>(pclBase);
  CMySQLConnection* pclConnection = _pclMySQL();
  if (pclStatement == nullptr || pclConnection == nullptr) return 0;
  const int bCatalogue = _bCatalogueQuery();
  const int bMariaDBDefaults = bCatalogue && pclConnection->bServerIsMariaDB();
  // The catalogue and SHOW FULL COLUMNS carry the collation in column 2.
  const unsigned int nShift = (bCatalogue || pclConnection->bServerVersionGreaterThan4_1()) ? 1 : 0;
  int nOrdinal = 0;
  int nAutoKeys = 0;
  for (;;) {
    if (!pclStatement->bFetch(2)) return 0;
    if (pclStatement->bIsEndOfData()) break;
    CTString strName, strType, strCollation, strNullable, strKey, strDefault, strExtra, strExpr;
    int bNameNull = 0, bNull = 0, bDefaultNull = 0;
    int bRead = _bReadCell(pclStatement, 0, &strName, &bNameNull) &&
                _bReadCell(pclStatement, 1, &strType, &bNull);
    if (bRead && nShift) bRead = _bReadCell(pclStatement, 2, &strCollation, &bNull);
    if (bRead) bRead = _bReadCell(pclStatement, 2 + nShift, &strNullable, &bNull);
    if (bRead) bRead = _bReadCell(pclStatement, 3 + nShift, &strKey, &bNull);
    if (bRead) bRead = _bReadCell(pclStatement, 4 + nShift, &strDefault, &bDefaultNull);
    if (bRead) bRead = _bReadCell(pclStatement, 5 + nShift, &strExtra, &bNull);
    if (bRead && bCatalogue) bRead = _bReadCell(pclStatement, 6 + nShift, &strExpr, &bNull);
    if (!bRead) return 0;

    eNA_ITEMTYPE eType = NA_IT_EMPTY;
    int nSize = 0, nDigits = 0, nDecimals = 0;
    const wchar_t* pszCollation = strCollation.nTaille() > 0 ? strCollation.pszGet() : nullptr;
    if (!pclConnection->bSQLTypeNameToNAType(pclGetError(), &eType, &nSize, &nDigits, &nDecimals,
                                             strType.pszGet(), pszCollation))
      return 0;
    unsigned short wKey = s_nKeyType(strKey.pszGet());
    int nKeyIndex = -1;
    if ((wKey & CNAItemDescription::kKeyPrimary) &&
        bContainsNoCase(strExtra.pszGet(), L"AUTO_INCREMENT")) {
      eType = nSize == 4 ? NA_IT_IDAUTO4 : NA_IT_IDAUTO;
      nKeyIndex = nAutoKeys++;
    } else if (eType != NA_IT_IDAUTO && eType != NA_IT_IDAUTO4) {
      // The other keys come from the index query, with their kind.
      wKey = 0;
    }
    CNAItemDescription* pclItem = CNAItemDescription::s_pclNew();
    if (pclItem == nullptr) {
      if (pclGetError() != nullptr) pclGetError()->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
    pclItem->AddRef();  // held while it is filled
    int bOk = pclItem->bInit(strName.pszGet(), pszGetPhysicalName(), strName.pszGet(), 1, nSize,
                             eType, nOrdinal, nKeyIndex, wKey, nDigits, nDecimals, nullptr,
                             nullptr);
    if (bOk) {
      pclItem->SetNullable(std::wcscmp(strNullable.pszGet(), L"YES") == 0);
      const int nGenerated = s_nGeneratedKind(strExtra.pszGet());
      if (nGenerated != 0) {
        const CXYString<wchar_t> strExpression(strExpr.pszGet());
        pclItem->SetComputedColumnExpression(strExpression, nGenerated == 2);
      }
      CTString strValue;
      int bValueNull = bDefaultNull;
      if (bMariaDBDefaults) {
        s_DecodeCatalogueDefault(bDefaultNull ? nullptr : strDefault.pszGet(), &strValue,
                                 &bValueNull);
      } else {
        strValue.Transfert(strDefault);
      }
      const unsigned short wLanguage = pclItem->eGetItemVXType();
      if (bValueNull) {
        CAny clNull;
        clNull.__SetType(wLanguage, 0);
        clNull.SetNull(true);
        pclItem->SetDefaultValue(&clNull, 0);
      } else {
        // A default the item's type cannot hold (an expression such as
        // current_timestamp()) leaves the item without one.
        auto* pclVariant = new (std::nothrow) CNAConvertVariant(nullptr, pclConnection);
        if (pclVariant != nullptr) {
          pclVariant->AddRef();
          pclVariant->InitTypeVariantAny(wLanguage, static_cast<unsigned int>(nSize));
          CAny clValue;
          if (pclVariant->bSetValueFromDB(strValue.pszGet(),
                                          static_cast<unsigned int>(strValue.nTaille())) &&
              pclVariant->bGetValue(&clValue)) {
            pclItem->SetDefaultValue(&clValue, 0);
          }
          pclVariant->nRelease();
        }
      }
      bOk = _AddItem(pclItem);
      if (!bOk && pclGetError() != nullptr) pclGetError()->pclGetXError()->SetErrorNoMemory();
    }
    pclItem->nRelease();
    if (!bOk) return 0;
    ++nOrdinal;
  }
  // The catalogue answers no row for a table that does not exist: the
  // server's own verdict (1146) says so better than "no column".
  if (nOrdinal == 0 && bCatalogue && !_bCheckTableExists()) return 0;
  return UpdateRecordSize();
}

int CMySQLDataSourceDescription::_bCheckTableExists() {
  CXYStringConcat<wchar_t> clQuery(256);
  if (!_bGetQueryShowIndex(&clQuery)) return 0;
  CMySQLStatementSQL* pclStatement =
      CMySQLStatementSQL::s_pclAllocStatementSQL(pclGetConnection(), pclGetError());
  if (pclStatement == nullptr) {
    if (pclGetError() != nullptr) pclGetError()->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  pclStatement->AddRef();
  const int bResult = pclStatement->bExecuteDirect(clQuery.pszGet(), nullptr, 0);
  pclStatement->nRelease();
  return bResult;
}

// ---------------------------------------------------------------------------
// Index rows

int CMySQLDataSourceDescription::_bSettleSingleKey(const wchar_t* pszColumn, unsigned short wKey) {
  CNAItemDescription* pclItem = pclNAGetItem(pszColumn, 2);
  if (pclItem == nullptr) return _bSetKeyType(pszColumn, wKey);  // reports the name
  // A column in a unique and in a non-unique index is unique, whichever
  // index the server lists last.
  if (pclItem->bIsKey() && s_nKeyRank(pclItem->wGetKeyFlags()) >= s_nKeyRank(wKey)) return 1;
  return _bSetKeyType(pclItem, wKey);
}

int CMySQLDataSourceDescription::_bInitKeysFromQueryShowIndex(CNAStatementSQL* pclBase) {
  auto* pclStatement = static_cast<CMySQLStatementSQL*>(pclBase);
  if (pclStatement == nullptr) return 0;
  CTString strPrevKey, strPrevColumn;
  unsigned short wPrevKey = 0;
  bool bHavePrev = false;
  CNAItemDescription* pclComposite = nullptr;
  int bResult = 1;
  // Ends the previous key with its last column.
  auto settle = [&]() -> int {
    if (pclComposite != nullptr) {
      int b = _bAddItemComponent(pclComposite, strPrevColumn.pszGet());
      if (b) {
        // A key over columns that all refuse NULL never holds one: it can
        // identify a row.
        int bNullable = 0;
        for (int i = 0; i < pclComposite->nGetNumComponents(); ++i)
          bNullable |= pclComposite->pclGetComponent(i)->bNullable();
        pclComposite->SetNullable(bNullable);
        pclComposite->SetPhysicalIndice(nGetNumItems());
        b = _AddItem(pclComposite);
        if (!b && pclGetError() != nullptr) pclGetError()->pclGetXError()->SetErrorNoMemory();
      }
      pclComposite->nRelease();
      pclComposite = nullptr;
      return b;
    }
    return _bSettleSingleKey(strPrevColumn.pszGet(), wPrevKey);
  };
  for (;;) {
    if (!pclStatement->bFetch(2)) {
      bResult = 0;
      break;
    }
    if (pclStatement->bIsEndOfData()) break;
    CTString strNonUnique, strKey, strColumn, strUnused;
    int bNull = 0, bColumnNull = 0;
    if (!_bReadCell(pclStatement, 0, &strUnused, &bNull) ||
        !_bReadCell(pclStatement, 1, &strNonUnique, &bNull) ||
        !_bReadCell(pclStatement, 2, &strKey, &bNull) ||
        !_bReadCell(pclStatement, 3, &strUnused, &bNull) ||
        !_bReadCell(pclStatement, 4, &strColumn, &bColumnNull)) {
      bResult = 0;
      break;
    }
    // An index part over an expression names no column: no item to key.
    if (bColumnNull) continue;
    unsigned short wKey =
        std::wcscmp(strNonUnique.pszGet(), L"0") == 0 ? kKeyUniqueWord : kKeyDuplicatesWord;
    if ((wKey & CNAItemDescription::kKeyUnique) && std::wcscmp(strKey.pszGet(), L"PRIMARY") == 0)
      wKey |= CNAItemDescription::kKeyPrimary;
    if (bHavePrev) {
      if (std::wcscmp(strKey.pszGet(), strPrevKey.pszGet()) != 0) {
        if (!settle()) {
          bResult = 0;
          break;
        }
      } else {
        if (pclComposite == nullptr) {
          pclComposite = CNAItemDescription::s_pclNew();
          if (pclComposite == nullptr) {
            if (pclGetError() != nullptr) pclGetError()->pclGetXError()->SetErrorNoMemory();
            bResult = 0;
            break;
          }
          pclComposite->AddRef();
          if (!pclComposite->bInit(strPrevKey.pszGet(), pszGetPhysicalName(), strPrevKey.pszGet(),
                                   1, 0, NA_IT_BINAIRE, nGetNumItems(), nGetNumKeys(),
                                   static_cast<unsigned short>(wPrevKey |
                                                               CNAItemDescription::kKeyComposed),
                                   0, 0, nullptr, nullptr)) {
            bResult = 0;
            break;
          }
        }
        if (!_bAddItemComponent(pclComposite, strPrevColumn.pszGet())) {
          bResult = 0;
          break;
        }
      }
    }
    strPrevKey.Transfert(strKey);
    strPrevColumn.Transfert(strColumn);
    wPrevKey = wKey;
    bHavePrev = true;
  }
  if (bResult && bHavePrev) bResult = settle();
  if (pclComposite != nullptr) pclComposite->nRelease();
  if (!UpdateRecordSize()) bResult = 0;
  return bResult;
}
