#include "host/parser/standin_sql_objects.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "host/harness/standin_descriptions.h"
#include "host/parser/standin_analysis.h"
#include "host/parser/standin_query_parameters.h"

namespace {

[[noreturn]] void AbortReleasePastZero(const char* pszWhat) {
  std::fprintf(stderr, "stand-in: %s released past 0\n", pszWhat);
  std::abort();
}

// The parser's reference words change with locked additions, as the driver's
// do.
int nLockedAdd(int32_t* pnWord, int n) { return __atomic_add_fetch(pnWord, n, __ATOMIC_SEQ_CST); }

}  // namespace

// ---------------------------------------------------------------------------
// Expression nodes

CStandInExpression* CStandInExpression::pclNew(eOPEXPRESSION eOp) {
  return new CStandInExpression(eOp);
}

CStandInExpression::CStandInExpression(eOPEXPRESSION eOp) : m_eOp(eOp) {
  ++StandInParserCounts::g_nLive;
}

CStandInExpression::~CStandInExpression() {
  for (auto it = m_operands.rbegin(); it != m_operands.rend(); ++it) (*it)->Release();
  if (m_pclSubQuery != nullptr) m_pclSubQuery->Release();
  if (m_pclValues != nullptr) m_pclValues->Release();
  --StandInParserCounts::g_nLive;
}

int CStandInExpression::AddRef() { return nLockedAdd(&m_nRefCount, 1); }

int CStandInExpression::Release() {
  if (m_nRefCount <= 0) AbortReleasePastZero("IExpOpExpression (slot 1)");
  const int n = nLockedAdd(&m_nRefCount, -1);
  if (n == 0) delete this;
  return n;
}

IExpOpExpression* CStandInExpression::piOperand(size_t i) {
  if (i >= m_operands.size()) return nullptr;
  m_operands[i]->AddRef();
  return m_operands[i];
}

IExpOpExpression* CStandInExpression::piEnumOperande(int* pnCursor) {
  if (pnCursor == nullptr || *pnCursor < 0) return nullptr;
  IExpOpExpression* pi = piOperand(static_cast<size_t>(*pnCursor));
  if (pi != nullptr) ++*pnCursor;
  return pi;
}

const wchar_t* CStandInExpression::pszGetNomParametre() {
  return m_bParameter ? m_strName.c_str() : nullptr;
}

const wchar_t* CStandInExpression::pszGetTexteLitteral() {
  return m_bLiteral && !m_bParameter ? m_strLiteralText.c_str() : nullptr;
}

const wchar_t* CStandInExpression::pszGetNomRubrique() {
  return m_eOp == OPEXP_COLONNE ? m_strName.c_str() : nullptr;
}

int CStandInExpression::bGetValeur(CAny* pclValeur) {
  if (pclValeur == nullptr || !m_bLiteral) return 0;
  IStandInValueMaker* piMaker = StandInGetValueMaker();
  if (piMaker == nullptr) return 0;
  if (m_bParameter) {
    const StandInValue* pst =
        m_pclValues != nullptr ? m_pclValues->pstGetValue(m_strName.c_str()) : nullptr;
    return pst != nullptr ? piMaker->bSet(pclValeur, *pst) : 0;
  }
  return piMaker->bSet(pclValeur, m_value);
}

ISQLParserInformation* CStandInExpression::piGetSousRequete() {
  if (m_pclSubQuery == nullptr) return nullptr;
  SQLParserAddRefLocked(m_pclSubQuery);
  return m_pclSubQuery;
}

void CStandInExpression::SetSubQuery(CStandInSQLInfo* pclSubQuery) {
  if (m_pclSubQuery != nullptr) m_pclSubQuery->Release();
  m_pclSubQuery = pclSubQuery;
}

void CStandInExpression::SetParameters(CStandInQueryParameters* pclValues) {
  if (pclValues != nullptr) pclValues->AddRef();
  if (m_pclValues != nullptr) m_pclValues->Release();
  m_pclValues = pclValues;
}

// ---------------------------------------------------------------------------
// Output columns

CStandInColumn* CStandInColumn::pclNew(const CStandInAnalysis* pclAnalysis) {
  return new CStandInColumn(pclAnalysis);
}

CStandInColumn::CStandInColumn(const CStandInAnalysis* pclAnalysis) : m_pclAnalysis(pclAnalysis) {
  ++StandInParserCounts::g_nLive;
}

CStandInColumn::~CStandInColumn() {
  if (m_pclExpression != nullptr) m_pclExpression->Release();
  --StandInParserCounts::g_nLive;
}

int CStandInColumn::Release() {
  if (m_nRefParser <= 0) AbortReleasePastZero("IInfoRubrique (slot 2)");
  const int n = nLockedAdd(&m_nRefParser, -1);
  if (n == 0) delete this;
  return n;
}

const wchar_t* CStandInColumn::pszGetNomFichier() {
  if (m_pclAnalysis != nullptr && m_pclAnalysis->bFault(CStandInAnalysis::kFaultAliasSearch))
    throw StandInParserFault{3};
  return m_strFile.c_str();
}

IExpOpExpression* CStandInColumn::piGetExpression() {
  if (m_pclExpression == nullptr) return nullptr;
  m_pclExpression->AddRef();
  return m_pclExpression;
}

void CStandInColumn::SetExpression(CStandInExpression* pclExpression) {
  if (m_pclExpression != nullptr) m_pclExpression->Release();
  m_pclExpression = pclExpression;
}

// ---------------------------------------------------------------------------
// FROM tables, ORDER BY and GROUP BY items, assignments, insertions, joins

CStandInFrom* CStandInFrom::pclNew() { return new CStandInFrom; }
CStandInFrom::CStandInFrom() { ++StandInParserCounts::g_nLive; }
CStandInFrom::~CStandInFrom() { --StandInParserCounts::g_nLive; }
int CStandInFrom::AddRef() { return ++m_nRefCount; }
int CStandInFrom::Release() {
  if (m_nRefCount <= 0) AbortReleasePastZero("IInfoFrom (slot 1)");
  const int n = --m_nRefCount;
  if (n == 0) delete this;
  return n;
}

CStandInOrderBy* CStandInOrderBy::pclNew() { return new CStandInOrderBy; }
CStandInOrderBy::CStandInOrderBy() { ++StandInParserCounts::g_nLive; }
CStandInOrderBy::~CStandInOrderBy() { --StandInParserCounts::g_nLive; }
int CStandInOrderBy::Release() {
  if (m_nRefParser <= 0) AbortReleasePastZero("IInfoOrderBy (slot 2)");
  const int n = nLockedAdd(&m_nRefParser, -1);
  if (n == 0) delete this;
  return n;
}

CStandInGroup::CStandInGroup() { ++StandInParserCounts::g_nLive; }
CStandInGroup::~CStandInGroup() { --StandInParserCounts::g_nLive; }

CStandInAssignment::CStandInAssignment(CStandInExpression* pclColumn,
                                       CStandInExpression* pclValue)
    : m_pclColumn(pclColumn), m_pclValue(pclValue) {
  ++StandInParserCounts::g_nLive;
}
CStandInAssignment::~CStandInAssignment() {
  if (m_pclColumn != nullptr) m_pclColumn->Release();
  if (m_pclValue != nullptr) m_pclValue->Release();
  --StandInParserCounts::g_nLive;
}
IExpOpExpression* CStandInAssignment::piGetColonne() {
  if (m_pclColumn != nullptr) m_pclColumn->AddRef();
  return m_pclColumn;
}
IExpOpExpression* CStandInAssignment::piGetValeur() {
  if (m_pclValue != nullptr) m_pclValue->AddRef();
  return m_pclValue;
}

CStandInInsertion::CStandInInsertion(CStandInExpression* pclColumn, CStandInExpression* pclValue)
    : m_pclColumn(pclColumn), m_pclValue(pclValue) {
  ++StandInParserCounts::g_nLive;
}
CStandInInsertion::~CStandInInsertion() {
  if (m_pclColumn != nullptr) m_pclColumn->Release();
  if (m_pclValue != nullptr) m_pclValue->Release();
  --StandInParserCounts::g_nLive;
}
IExpOpExpression* CStandInInsertion::piGetValeur() {
  if (m_pclValue != nullptr) m_pclValue->AddRef();
  return m_pclValue;
}
IExpOpExpression* CStandInInsertion::piGetColonne() {
  if (m_pclColumn != nullptr) m_pclColumn->AddRef();
  return m_pclColumn;
}

CStandInJoinList* CStandInJoinList::pclNew() { return new CStandInJoinList; }
CStandInJoinList::CStandInJoinList() { ++StandInParserCounts::g_nLive; }
CStandInJoinList::~CStandInJoinList() {
  for (auto it = m_conditions.rbegin(); it != m_conditions.rend(); ++it) (*it)->Release();
  --StandInParserCounts::g_nLive;
}
int CStandInJoinList::AddRef() { return ++m_nRefCount; }
int CStandInJoinList::Release() {
  if (m_nRefCount <= 0) AbortReleasePastZero("IInfoListeJointure (slot 1)");
  const int n = --m_nRefCount;
  if (n == 0) delete this;
  return n;
}
IExpOpExpression* CStandInJoinList::piGetJointure(int i) {
  if (i < 0 || i >= static_cast<int>(m_conditions.size())) return nullptr;
  m_conditions[static_cast<size_t>(i)]->AddRef();
  return m_conditions[static_cast<size_t>(i)];
}

// ---------------------------------------------------------------------------
// Parts

CStandInParts::CStandInParts() { ++StandInParserCounts::g_nLive; }

CStandInParts::~CStandInParts() {
  for (auto it = m_insertions.rbegin(); it != m_insertions.rend(); ++it) delete *it;
  for (auto it = m_assignments.rbegin(); it != m_assignments.rend(); ++it) delete *it;
  for (auto it = m_groups.rbegin(); it != m_groups.rend(); ++it) delete *it;
  for (auto it = m_orders.rbegin(); it != m_orders.rend(); ++it) (*it)->Release();
  for (auto it = m_froms.rbegin(); it != m_froms.rend(); ++it) (*it)->Release();
  for (auto it = m_columns.rbegin(); it != m_columns.rend(); ++it) (*it)->Release();
  if (m_pclJoins != nullptr) m_pclJoins->Release();
  --StandInParserCounts::g_nLive;
}

IInfoListeJointure* CStandInParts::piGetListeJointure() {
  if (m_pclJoins == nullptr || m_pclJoins->nGetNbJointure() == 0) return nullptr;
  m_pclJoins->AddRef();
  return m_pclJoins;
}

// ---------------------------------------------------------------------------
// Token tables

CStandInTabVal::CStandInTabVal() { ++StandInParserCounts::g_nLive; }
CStandInTabVal::~CStandInTabVal() { --StandInParserCounts::g_nLive; }

void CStandInTabVal::AddMarker(int nStart, int nLength, const std::wstring& strName) {
  m_markerTexts.push_back({nStart, nLength, strName});
}

void CStandInTabVal::AddReference(int nStart, int nLength, const std::wstring& strTable,
                                  const std::wstring& strItem) {
  m_referenceTexts.push_back({nStart, nLength, strTable, strItem});
}

void CStandInTabVal::Seal() {
  std::stable_sort(m_markerTexts.begin(), m_markerTexts.end(),
                   [](const Marker& a, const Marker& b) { return a.nStart < b.nStart; });
  std::stable_sort(m_referenceTexts.begin(), m_referenceTexts.end(),
                   [](const Reference& a, const Reference& b) { return a.nStart < b.nStart; });
  m_markers.clear();
  for (const Marker& m : m_markerTexts)
    m_markers.push_back({nullptr, m.nStart, m.nLength, kTabValFlagUserParameter, m.strName.c_str()});
  m_references.clear();
  for (const Reference& r : m_referenceTexts)
    m_references.push_back({r.strTable.c_str(), r.strItem.c_str(), r.nStart, r.nLength});
  m_table.nMarqueurs = static_cast<int32_t>(m_markers.size());
  m_table.pstMarqueurs = m_markers.empty() ? nullptr : m_markers.data();
  m_table.nReferences = static_cast<int32_t>(m_references.size());
  m_table.pstReferences = m_references.empty() ? nullptr : m_references.data();
}

// ---------------------------------------------------------------------------
// Parsed queries

CStandInSQLInfo* CStandInSQLInfo::pclNew(const CStandInAnalysis* pclAnalysis) {
  return new CStandInSQLInfo(pclAnalysis);
}

CStandInSQLInfo::CStandInSQLInfo(const CStandInAnalysis* pclAnalysis)
    : m_pclAnalysis(pclAnalysis) {
  ++StandInParserCounts::g_nLive;
}

CStandInSQLInfo::~CStandInSQLInfo() {
  if (m_pclHaving != nullptr) m_pclHaving->Release();
  if (m_pclWhere != nullptr) m_pclWhere->Release();
  if (m_pclValues != nullptr) m_pclValues->Release();
  m_pParts.reset();
  m_pMarkers.reset();
  --StandInParserCounts::g_nLive;
}

int CStandInSQLInfo::Release() {
  if (m_nRefParser <= 0) AbortReleasePastZero("ISQLParserInformation (slot 2)");
  const int n = nLockedAdd(&m_nRefParser, -1);
  if (n == 0) delete this;
  return n;
}

void CStandInSQLInfo::SetWhere(CStandInExpression* pclTree) {
  if (m_pclWhere != nullptr) m_pclWhere->Release();
  m_pclWhere = pclTree;
}

void CStandInSQLInfo::SetHaving(CStandInExpression* pclTree) {
  if (m_pclHaving != nullptr) m_pclHaving->Release();
  m_pclHaving = pclTree;
}

void CStandInSQLInfo::SetParameters(CStandInQueryParameters* pclValues) {
  if (pclValues != nullptr) pclValues->AddRef();
  if (m_pclValues != nullptr) m_pclValues->Release();
  m_pclValues = pclValues;
}

IExpOpExpression* CStandInSQLInfo::piGetConditionWhere() {
  if (m_pclWhere == nullptr) return nullptr;
  m_pclWhere->AddRef();
  return m_pclWhere;
}

IExpOpExpression* CStandInSQLInfo::piGetConditionHaving() {
  if (m_pclHaving == nullptr) return nullptr;
  m_pclHaving->AddRef();
  return m_pclHaving;
}

CTabValParser* CStandInSQLInfo::piGetTabValParserMarqueur() {
  return m_pMarkers != nullptr ? m_pMarkers->pclGet() : nullptr;
}

std::wstring CStandInSQLInfo::strTableOf(const wchar_t* pszAliasOrName) const {
  if (pszAliasOrName == nullptr || pszAliasOrName[0] == 0 || m_pParts == nullptr) return L"";
  for (CStandInFrom* p : m_pParts->m_froms) {
    if (!p->m_strAlias.empty() && StandInSameName(p->m_strAlias, pszAliasOrName))
      return p->m_strTable;
  }
  for (CStandInFrom* p : m_pParts->m_froms) {
    if (StandInSameName(p->m_strTable, pszAliasOrName)) return p->m_strTable;
  }
  return L"";
}

INAItemDescription* CStandInSQLInfo::piGetItemDescription(const IInfoRubrique* piColonne) {
  if (m_pclAnalysis != nullptr && m_pclAnalysis->bFault(CStandInAnalysis::kFaultItemDescription))
    throw StandInParserFault{21};
  if (piColonne == nullptr || m_pParts == nullptr || m_pclAnalysis == nullptr) return nullptr;
  // Only the columns of this query are answered (the driver hands back what
  // it enumerated).
  const CStandInColumn* pclColumn = nullptr;
  for (CStandInColumn* p : m_pParts->m_columns) {
    if (p == piColonne) pclColumn = p;
  }
  if (pclColumn == nullptr || pclColumn->m_bComputed) return nullptr;
  CStandInDescription* pclTable = m_pclAnalysis->pclGetTable(pclColumn->m_strFile.c_str());
  return pclTable != nullptr ? pclTable->piNAGetItem(pclColumn->m_strOriginal.c_str()) : nullptr;
}

INAItemDescription* CStandInSQLInfo::piGetNAItemDescription(const wchar_t* pszTable,
                                                            const wchar_t* pszRubrique) {
  if (m_pclAnalysis == nullptr || pszRubrique == nullptr || pszRubrique[0] == 0) return nullptr;
  if (pszTable != nullptr && pszTable[0] != 0) {
    std::wstring strTable = strTableOf(pszTable);
    if (strTable.empty()) strTable = pszTable;
    CStandInDescription* pclTable = m_pclAnalysis->pclGetTable(strTable.c_str());
    return pclTable != nullptr ? pclTable->piNAGetItem(pszRubrique) : nullptr;
  }
  // Without a table: the first FROM table that has the item (for a text not
  // split into parts, the first file it names that has it).
  if (m_pParts == nullptr) {
    for (const std::wstring& strTable : m_namedTables) {
      CStandInDescription* pclTable = m_pclAnalysis->pclGetTable(strTable.c_str());
      INAItemDescription* pi = pclTable != nullptr ? pclTable->piNAGetItem(pszRubrique) : nullptr;
      if (pi != nullptr) return pi;
    }
    return nullptr;
  }
  for (CStandInFrom* p : m_pParts->m_froms) {
    CStandInDescription* pclTable = m_pclAnalysis->pclGetTable(p->m_strTable.c_str());
    INAItemDescription* pi = pclTable != nullptr ? pclTable->piNAGetItem(pszRubrique) : nullptr;
    if (pi != nullptr) return pi;
  }
  return nullptr;
}

INADataSourceDescription* CStandInSQLInfo::piGetFromDataSourceDescription(const IInfoFrom* piFrom) {
  if (piFrom == nullptr || m_pParts == nullptr || m_pclAnalysis == nullptr) return nullptr;
  for (CStandInFrom* p : m_pParts->m_froms) {
    if (p != piFrom) continue;
    CStandInDescription* pclTable = m_pclAnalysis->pclGetTable(p->m_strTable.c_str());
    if (pclTable == nullptr) return nullptr;
    pclTable->ExternalAddRef();
    return pclTable;
  }
  return nullptr;
}

INADataSourceDescription* CStandInSQLInfo::piGetNADataSourceDescription(const wchar_t* pszTable) {
  if (m_pclAnalysis == nullptr || pszTable == nullptr || pszTable[0] == 0) return nullptr;
  std::wstring strTable = strTableOf(pszTable);
  if (strTable.empty()) strTable = pszTable;
  CStandInDescription* pclTable = m_pclAnalysis->pclGetTable(strTable.c_str());
  if (pclTable == nullptr) return nullptr;
  pclTable->ExternalAddRef();
  return pclTable;
}

int CStandInSQLInfo::GetPhysicalName(const wchar_t* pszLogicalName, wchar_t* pszBuffer,
                                     int nBufferChars) {
  if (m_pclAnalysis != nullptr && m_pclAnalysis->bFault(CStandInAnalysis::kFaultPhysicalName))
    throw StandInParserFault{33};
  if (pszBuffer != nullptr && nBufferChars > 0) pszBuffer[0] = 0;
  if (m_pclAnalysis == nullptr || pszLogicalName == nullptr) return 0;
  const std::wstring& strPhysical = m_pclAnalysis->strGetPhysicalName(pszLogicalName);
  const int nLength = static_cast<int>(strPhysical.size());
  if (nLength > 0 && pszBuffer != nullptr && nLength < nBufferChars)
    std::wmemcpy(pszBuffer, strPhysical.c_str(), static_cast<size_t>(nLength) + 1);
  return nLength;
}
