// The catalogue lists of the handle-level SQL interface: databases, tables,
// columns. They read INFORMATION_SCHEMA through the internal execution; a
// back end without it (old MariaDB/MySQL servers) replaces the query texts.
//
// The type filter is always one parenthesised group, and the caller's
// condition another: the schema condition that follows must bind to the
// whole filter. Written as "A OR B AND TABLE_SCHEMA = ..." it would bind to
// B alone and list the base tables of every database.
#include <cwchar>

#include "core/mixed_width_concat.h"
#include "core/string_array.h"
#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/data_source_description.h"
#include "kq230/vm_values.h"
#include "statements/driver_sql.h"
#include "values/any.h"

namespace {

constexpr wchar_t kLineSeparator[] = L"\r\n";
constexpr unsigned int kTypeBits = kNAListBaseTables | kNAListViews | kNAListSystemTables;

int nLen(const wchar_t* psz) { return psz != nullptr ? static_cast<int>(std::wcslen(psz)) : 0; }

void Append(CXYStringConcat<wchar_t>* pclOut, const wchar_t* psz) {
  pclOut->Add(psz, nLen(psz));
}


// The text of a value read from a cell (a NULL cell reads as empty).
void ReadText(const CAny& clValue, CTString* pOut) {
  pOut->Vide();
  if (clValue.bIsNull()) return;
  CAny clCopy(clValue);
  CXYString<wchar_t> clText;
  clCopy.__nFillString(clText, nullptr);
  if (clText.pszGet() != nullptr && clText.nGetLongueur() > 0)
    pOut->Set(clText.pszGet(), static_cast<unsigned int>(clText.nGetLongueur()));
  clText.ReleaseDynStr();
}

// The text of a list value: empty unless it is a dynamic wide string
// without the NULL flag.
void ReadListText(const CAny* pValue, CTString* pOut) {
  pOut->Vide();
  if (pValue == nullptr || pValue->bIsNull() || pValue->nGetTypeCode() != VX_DSTRW) return;
  ReadText(*pValue, pOut);
}

int nNoMemory(CNAError* pclError) {
  if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
  return 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// The interface's operations: the common frame around the per-connection
// work. The lookup's reference on the connection is dropped on every path.

int CNADriverSQL::bGetTableList(CAny* pValue, int nConnection, const wchar_t* pszCondition,
                                unsigned int nFlags) {
  COperationFrame clFrame(this);
  CConnectionHandle clConnection(this, nConnection);
  if (!clConnection) return 0;
  return bGetTableList(pValue, clConnection.pcl(), pszCondition, nFlags);
}

int CNADriverSQL::bGetColumnList(CAny* pValue, int nConnection, const wchar_t* pszTable,
                                 unsigned int nFlags) {
  COperationFrame clFrame(this);
  CConnectionHandle clConnection(this, nConnection);
  if (!clConnection) return 0;
  return bGetColumnList(pValue, clConnection.pcl(), pszTable, nFlags);
}

INADataSourceDescription* CNADriverSQL::piGetTableDesc(int nConnection, const wchar_t* pszTable,
                                                       unsigned int) {
  COperationFrame clFrame(this);
  CConnectionHandle clConnection(this, nConnection);
  if (!clConnection || m_pclDriver == nullptr) return nullptr;
  // The driver object reads it, reporting into its current error.
  INADataSourceDescription* piSource =
      m_pclDriver->_piReadTableDesc(pszTable, clConnection.pcl());
  if (piSource == nullptr) _CopyDriverError();
  return piSource;
}

int CNADriverSQL::bGetColumnTypeList(CAny* pValue, int nConnection, unsigned int) {
  COperationFrame clFrame(this);
  CConnectionHandle clConnection(this, nConnection);
  if (!clConnection) return 0;
  // A back end without a type map of its own lists none.
  s_SetListText(pValue, L"", 0);
  return 1;
}

// ---------------------------------------------------------------------------
// Databases

int CNADriverSQL::bGetDatabaseList(CXYString<wchar_t>* pstrList,
                                   CNAConnectionDescription* pclConnection, unsigned int nFlags) {
  CXYStringConcat<wchar_t> clList(1024);
  const int bResult = _bGetDatabaseList(&clList, pclConnection, nFlags);
  if (pstrList == nullptr) return bResult;
  if (clList.nGetLength() == 0) {
    pstrList->ReleaseDynStr();
    return bResult;
  }
  if (pstrList->nAffecteConversion(clList.pszGet(), static_cast<int>(clList.nGetLength())) != 0)
    return nNoMemory(m_pclError);
  return bResult;
}

int CNADriverSQL::_bGetDatabaseListQuery(CTStringConcatAW* pclQuery, CNAConnectionDescription*,
                                         unsigned int) {
  pclQuery->Vide();
  pclQuery->Add(L"SELECT SCHEMA_NAME FROM INFORMATION_SCHEMA.SCHEMATA ORDER BY SCHEMA_NAME");
  return pclQuery->bEchec() ? nNoMemory(m_pclError) : 1;
}

int CNADriverSQL::_bGetDatabaseTableListQuery(CTStringConcatAW* pclQuery,
                                              const wchar_t* pszDatabase,
                                              CNAConnectionDescription* pclConnection,
                                              unsigned int nFlags) {
  pclQuery->Vide();
  // The literal first, in a builder of the query's own kind: a name the
  // connection cannot write leaves the query unwritten.
  CTStringConcatAW clLiteral(pclQuery->nGetMode(), pclQuery->nGetCodePage());
  const wchar_t* pszName = pszDatabase != nullptr ? pszDatabase : L"";
  if (!pclConnection->_bEscapeString(
          m_pclError, &clLiteral, VX_PSTRW,
          reinterpret_cast<unsigned char*>(const_cast<wchar_t*>(pszName)),
          static_cast<unsigned int>(std::wcslen(pszName) * sizeof(wchar_t))))
    return 0;
  CXYStringConcat<wchar_t> clFilter(256);
  _GetTableList_GetFilter(&clFilter, nullptr, nFlags);
  pclQuery->Add(L"SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES");
  pclQuery->Add(L" WHERE ");
  if (!clFilter.bEstVide()) {
    pclQuery->Add(clFilter.pszGet(), static_cast<int>(clFilter.nGetLength()));
    pclQuery->Add(L" AND ");
  }
  pclQuery->Add(L"TABLE_SCHEMA = ");
  pclQuery->Add(clLiteral.pszGetW());
  pclQuery->Add(L" ORDER BY TABLE_NAME");
  if (pclQuery->bEchec() || clFilter.bEchec() || clLiteral.bEchec()) {
    pclQuery->Vide();
    return nNoMemory(m_pclError);
  }
  return 1;
}

int CNADriverSQL::_bGetDatabaseList(CXYStringConcat<wchar_t>* pclOut,
                                    CNAConnectionDescription* pclConnection, unsigned int nFlags) {
  CTStringConcatAW clQuery(kConcatModeWide);
  int bResult = _bGetDatabaseListQuery(&clQuery, pclConnection, nFlags);
  if (!bResult) return bResult;
  bResult = _bGetList(pclOut, pclConnection, clQuery.pszGetW(), 1, nFlags, L"\t");
  if (!bResult || (nFlags & kTypeBits) == 0) return bResult;

  CTStringArray clNames;
  if (!pclOut->bEstVide()) clNames.Decoupe(pclOut->pszGet(), L"\t");
  if (nFlags & kNAListSorted) clNames.TrieCroisssantI();
  pclOut->Tronque(0);
  CXYStringConcat<wchar_t> clTables(1024);
  for (int i = 0; i < clNames.nGetCount(); ++i) {
    const wchar_t* pszName = clNames[i]->pszGet();
    if (!_bGetDatabaseTableListQuery(&clQuery, pszName, pclConnection, nFlags)) {
      bResult = 0;
      break;
    }
    // One database that cannot be read keeps its line (with what was read)
    // and makes the whole answer a failure; the others are still listed.
    const int bTables =
        _bGetList(&clTables, pclConnection, clQuery.pszGetW(), 1, nFlags, kLineSeparator);
    if (!bTables) bResult = 0;
    if (i > 0) pclOut->Add(kLineSeparator, 2);
    Append(pclOut, pszName);
    pclOut->Add(L'\t');
    // The table names separated by TAB on the database's line.
    const wchar_t* p = clTables.pszGet();
    const wchar_t* pEnd = p + clTables.nGetLength();
    while (p < pEnd) {
      const wchar_t* pBreak = std::wcsstr(p, kLineSeparator);
      if (pBreak == nullptr || pBreak >= pEnd) {
        pclOut->Add(p, static_cast<int>(pEnd - p));
        break;
      }
      pclOut->Add(p, static_cast<int>(pBreak - p));
      pclOut->Add(L'\t');
      p = pBreak + 2;
    }
  }
  if (pclOut->bEchec() || clTables.bEchec()) return nNoMemory(m_pclError);
  return bResult;
}

// ---------------------------------------------------------------------------
// Tables

void CNADriverSQL::_GetTableList_GetFilter(CXYStringConcat<wchar_t>* pclOut,
                                           const wchar_t* pszCondition, unsigned int nFlags) {
  static constexpr struct {
    unsigned int nBit;
    const wchar_t* pszTerm;
  } kTerms[] = {
      {kNAListBaseTables, L"TABLE_TYPE='BASE TABLE'"},
      {kNAListSystemTables, L"TABLE_TYPE='SYSTEM TABLE'"},
      {kNAListViews, L"TABLE_TYPE='VIEW'"},
  };
  int nTerms = 0;
  for (const auto& stTerm : kTerms)
    if (nFlags & stTerm.nBit) ++nTerms;
  if (nTerms > 1) pclOut->Add(L'(');
  int nWritten = 0;
  for (const auto& stTerm : kTerms) {
    if ((nFlags & stTerm.nBit) == 0) continue;
    if (nWritten++ > 0) Append(pclOut, L" OR ");
    Append(pclOut, stTerm.pszTerm);
  }
  if (nTerms > 1) pclOut->Add(L')');
  if (pszCondition == nullptr || *pszCondition == L'\0') return;
  // The caller's condition stays a condition of its own: an OR in it must
  // not widen the list past the filter and the schema.
  if (nTerms > 0) Append(pclOut, L" AND ");
  pclOut->Add(L'(');
  Append(pclOut, pszCondition);
  pclOut->Add(L')');
}

int CNADriverSQL::bGetTableList(CAny* pValue, CNAConnectionDescription* pclConnection,
                                const wchar_t* pszCondition, unsigned int nFlags) {
  if ((nFlags & kTypeBits) == 0) {
    s_SetListText(pValue, L"", 0);
    return 1;
  }
  CXYStringConcat<wchar_t> clFilter(256);
  _GetTableList_GetFilter(&clFilter, pszCondition, nFlags);
  if (clFilter.bEchec()) return nNoMemory(m_pclError);
  const int bResult = _bGetTableList(pValue, pclConnection, clFilter.pszGet(), nFlags);
  if (nFlags & kNAListSorted) {
    CTString csText;
    ReadListText(pValue, &csText);
    if (csText.nTaille() > 0) {
      CTString csSorted;
      if (!CTStringArray::g_bTrieCroissantI(&csSorted, csText.pszGet(), kLineSeparator))
        return nNoMemory(m_pclError);
      s_SetListText(pValue, csSorted.pszGet(), static_cast<unsigned int>(csSorted.nTaille()));
    }
  }
  return bResult;
}

int CNADriverSQL::_bGetTableList(CAny* pValue, CNAConnectionDescription* pclConnection,
                                 const wchar_t* pszFilter, unsigned int nFlags) {
  CXYStringConcat<wchar_t> clQuery(256);
  Append(&clQuery,
         L"SELECT TABLE_NAME, TABLE_SCHEMA, TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE ");
  if (pszFilter != nullptr && *pszFilter != L'\0') {
    Append(&clQuery, pszFilter);
    Append(&clQuery, L" AND ");
  }
  Append(&clQuery, L"TABLE_SCHEMA = SCHEMA() ORDER BY TABLE_SCHEMA, TABLE_NAME");
  if (clQuery.bEchec()) return nNoMemory(m_pclError);

  CNAStatementSQL* pclStatement = nullptr;
  int bResult = bExecute(m_pclError, &pclStatement, pclConnection, clQuery.pszGet(), nullptr, 0);
  if (!bResult) return bResult;
  CXYStringConcat<wchar_t> clOut(1024);
  if (pclStatement != nullptr) {
    CAny clCell;
    CTString csName;
    CTString csSchema;
    CTString csType;
    for (;;) {
      bResult = pclStatement->bFetch(0);
      if (!bResult || pclStatement->bIsEndOfData()) break;
      if (!clOut.bEstVide()) clOut.Add(kLineSeparator, 2);
      bResult = pclStatement->bGetValue(&clCell, 0, 0);
      if (!bResult) break;
      ReadText(clCell, &csName);
      bResult = pclStatement->bGetValue(&clCell, 1, 0);
      if (!bResult) break;
      ReadText(clCell, &csSchema);
      clOut.Add(csName.pszGet(), csName.nTaille());
      if ((nFlags & kNAListDetailed) == 0) continue;
      clOut.Add(L'\t');
      clOut.Add(csSchema.pszGet(), csSchema.nTaille());
      clOut.Add(L'\t');
      bResult = pclStatement->bGetValue(&clCell, 2, 0);
      if (!bResult) break;
      ReadText(clCell, &csType);
      // Two TABs before the type, as the server's detailed lines have them.
      clOut.Add(L'\t');
      if (csType.bEstEgalI(L"BASE TABLE"))
        Append(&clOut, L"TABLE");
      else
        clOut.Add(csType.pszGet(), csType.nTaille());
    }
    // Whatever the loop left unread goes with the statement.
    pclStatement->bReset();
    _ReleaseStatement(pclStatement);
  }
  if (clOut.bEchec()) return nNoMemory(m_pclError);
  s_SetListText(pValue, clOut.pszGet(), clOut.nGetLength());
  return bResult;
}

// ---------------------------------------------------------------------------
// Columns

int CNADriverSQL::bGetColumnList(CAny* pValue, CNAConnectionDescription* pclConnection,
                                 const wchar_t* pszTable, unsigned int) {
  INADataSourceDescription* piSource = _pclGetTableDesc(pszTable, pclConnection);
  if (piSource == nullptr) {
    if (pValue != nullptr) pValue->SetNull(true);
    return 0;
  }
  auto* pclSource = static_cast<CNADataSourceDescription*>(piSource);
  CXYStringConcat<wchar_t> clOut(1024);
  const int nItems = pclSource->nGetNumItems();
  bool bFirst = true;
  for (int i = 0; i < nItems; ++i) {
    INAItemDescription* piItem = pclSource->piNAGetItem(static_cast<unsigned int>(i));
    if (piItem == nullptr) continue;
    // The composed keys come after the columns: the first one ends them.
    const bool bKey = piItem->bIsComposedKey() != 0;
    if (!bKey) {
      if (!bFirst) clOut.Add(kLineSeparator, 2);
      bFirst = false;
      Append(&clOut, piItem->pszGetName());
    }
    piItem->nExternalRelease();
    if (bKey) break;
  }
  pclSource->nRelease();
  if (clOut.bEchec()) return nNoMemory(m_pclError);
  s_SetListText(pValue, clOut.pszGet(), clOut.nGetLength());
  return 1;
}

// ---------------------------------------------------------------------------
// The rows of a query as text

int CNADriverSQL::_bGetList(CXYStringConcat<wchar_t>* pclOut,
                            CNAConnectionDescription* pclConnection, const wchar_t* pszQuery,
                            unsigned int nColumns, unsigned int nFlags,
                            const wchar_t* pszRowSeparator) {
  pclOut->Tronque(0);
  CNAStatementSQL* pclStatement = nullptr;
  int bResult = bExecute(m_pclError, &pclStatement, pclConnection, pszQuery, nullptr, 0);
  if (!bResult || pclStatement == nullptr) return bResult;
  const int nSeparator = nLen(pszRowSeparator);
  CXYStringConcat<wchar_t> clRow(256);
  bool bFirst = true;
  for (;;) {
    bResult = pclStatement->bFetch(nFlags);
    if (!bResult || pclStatement->bIsEndOfData()) break;
    bResult = pclStatement->bGetRow(&clRow, L"\t", static_cast<int>(nColumns), nFlags);
    if (!bResult) break;
    if (!bFirst && nSeparator > 0) pclOut->Add(pszRowSeparator, nSeparator);
    bFirst = false;
    if (!clRow.bEstVide()) pclOut->Add(clRow.pszGet(), static_cast<int>(clRow.nGetLength()));
  }
  pclStatement->bReset();
  _ReleaseStatement(pclStatement);
  if (pclOut->bEchec()) return nNoMemory(m_pclError);
  return bResult;
}

int CNADriverSQL::_bGetList(CAny* pValue, CNAConnectionDescription* pclConnection,
                            const wchar_t* pszQuery, unsigned int nColumns, unsigned int nFlags) {
  CXYStringConcat<wchar_t> clOut(1024);
  const int bResult = _bGetList(&clOut, pclConnection, pszQuery, nColumns, nFlags, kLineSeparator);
  s_SetListText(pValue, clOut.pszGet(), clOut.nGetLength());
  return bResult;
}

void CNADriverSQL::s_SetListText(CAny* pValue, const wchar_t* psz, unsigned int n) {
  if (pValue == nullptr) return;
  pValue->DestroyContent();
  pValue->SetTypeWord(0);
  pValue->__SetType(VX_DSTRW, 0);
  pValue->SetValueByte(n > 0 ? psz : L"", n * sizeof(wchar_t));
}
