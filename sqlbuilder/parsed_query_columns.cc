// CSQLParserInfo: the lookups that start from a column of the record that
// receives the query's rows (its GROUP BY and ORDER BY items, whether its
// source is a memo) and the record's own source query.
#include <cwchar>

#include "core/locale_compare.h"
#include "items/column.h"
#include "items/record.h"
#include "sqlbuilder/parsed_query_info.h"

namespace {

constexpr unsigned int kNameCompare = 3;

// Operators and engine type codes of the memo test.
constexpr int kOpColumn = 47;
constexpr int kOpLiteral = 48;
constexpr int kOpParameterLiteral = 49;
// Trees deeper than this are not followed: the answer is then "no memo".
constexpr int kMaxDepth = 256;

bool bSameName(const wchar_t* pszA, const wchar_t* pszB) {
  if (pszA == nullptr) pszA = L"";
  if (pszB == nullptr) pszB = L"";
  return STR_nCompareW(pszA, pszB, kNameCompare) == 0;
}

bool bMemoEngineType(int nType) {
  return nType == 15 || nType == 16 || nType == 29 || nType == 30 || nType == 40;
}

}  // namespace

CNAParsedQuery* CSQLParserInfo::pclGetQueryParserInfoNoRef() const {
  return m_pclRecord != nullptr ? m_pclRecord->pclGetSourceQueryNoRef() : nullptr;
}

CInfoGroupe* CSQLParserInfo::piGetRubriqueClauseGroupe(const CNAColumn* pclColumn) {
  if (pclColumn == nullptr) return nullptr;
  for (int i = 0; i < m_tabGroupBy.nGetNbElement(); ++i) {
    CInfoGroupe* pclGroup = m_tabGroupBy[i];
    if (bSameName(pclGroup->pszGetNomRubriqueAlias(), pclColumn->pszGetName())) return pclGroup;
  }
  return nullptr;
}

IInfoOrderBy* CSQLParserInfo::piGetRubriqueClauseOrder(const CNAColumn* pclColumn) {
  if (pclColumn == nullptr) return nullptr;
  for (int i = 0; i < m_tabOrderBy.nGetNbElement(); ++i) {
    IInfoOrderBy* piOrder = m_tabOrderBy[i];
    IInfoRubrique* piColumn = piGetRubriqueOUT(piOrder->nGetIndiceRubriqueOUT());
    if (piColumn == nullptr) continue;
    if (bSameName(piColumn->pszGetNom(), pclColumn->pszGetName())) return piOrder;
    const wchar_t* pszPhysical = pszGetPhysicalName(piColumn->pszGetNomTableAlias());
    if (pszPhysical != nullptr &&
        bSameName(piColumn->pszGetNomOriginal(), pclColumn->pszGetOriginalName()) &&
        bSameName(pszPhysical, pclColumn->pszGetAliasNomTable())) {
      return piOrder;
    }
  }
  return nullptr;
}

int CSQLParserInfo::bRubriqueSourceIsMemo(const CNAColumn* pclColumn) {
  if (pclColumn == nullptr) return 0;
  IInfoRubrique* piColumn = piEnumRubriqueOUT(pclColumn->pszGetName());
  if (piColumn == nullptr) return 0;
  if (!piColumn->bCalcul()) return pclColumn->bIsMemo();
  IExpOpExpression* piExpression = piColumn->piGetExpression();
  if (piExpression == nullptr) return 0;
  const int b = _bExpressionIsMemo(piExpression, 0);
  piExpression->Release();
  return b;
}

int CSQLParserInfo::_bExpressionIsMemo(IExpOpExpression* piExpression, int nDepth) {
  if (piExpression == nullptr || nDepth > kMaxDepth) return 0;
  const int nOperator = static_cast<int>(piExpression->eGetOperateur());
  if (nOperator == kOpColumn) return bMemoEngineType(static_cast<int>(piExpression->eGetZBType()));
  if (nOperator == kOpLiteral || nOperator == kOpParameterLiteral) return 0;
  int nCursor = 0;
  while (IExpOpExpression* piOperand = piExpression->piEnumOperande(&nCursor)) {
    const int b = _bExpressionIsMemo(piOperand, nDepth + 1);
    piOperand->Release();
    if (b) return 1;
  }
  return 0;
}
