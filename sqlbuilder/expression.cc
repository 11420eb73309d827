// CNAExpression: the tree itself. Building and copying nodes, folding the
// constants through AND, OR and NOT while the tree writes itself, the
// parentheses, cutting back what an operand wrote when it turned constant,
// the NULL-selection sets, the continuation transform and the statics. The
// leaves write themselves in expression_writers.cc.
//
// WHY CUTS DROP PARAMETERS BY "POSITION ABOVE THE MARK". A parameter's
// position is the text length when it was added, and a leaf writes its
// parameter last: the left operand's parameter sits exactly at the length
// remembered before " AND " is written. Dropping "every parameter at or
// after the mark" would take the left operand's value away with the right
// operand's text. Every parameter an operand adds stands after some text of
// that operand (its column at least), so the parameters to drop are exactly
// those whose position is above the mark; the command's own list is cut by
// the count remembered with the mark.
#include "sqlbuilder/expression.h"

#include <new>

#include "driver/connection_description.h"
#include "driver/na_error.h"
#include "items/column.h"
#include "items/column_null_selection.h"
#include "items/convert_variant.h"
#include "items/record.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/parsed_query_info.h"
#include "sqlbuilder/record_search.h"
#include "values/any.h"

namespace {

constexpr unsigned int kErrNoMemory = 12;
constexpr int kSiteAllocNode = 1;
constexpr int kSiteNullSelection = 2;
constexpr int kSiteParserInfo = 3;

bool bIsOperatorNode(eNAOperator e) {
  return e == NA_OP_OR || e == NA_OP_AND || e == NA_OP_NOT;
}

bool bIsConstant(eNAOperator e) { return e == NA_OP_ALWAYS_FALSE || e == NA_OP_ALWAYS_TRUE; }

// The column types whose composite-key leaves lose their generic bit on an
// empty value (a prefix of nothing is no prefix).
bool bIsTextItemType(eNA_ITEMTYPE e) {
  return e == NA_IT_TEXTE || e == NA_IT_MEMOTEXTE || e == NA_IT_CHAR || e == NA_IT_UNICODE ||
         e == NA_IT_MEMOUNICODE;
}

// The columns whose generic equality continues as NOT(begins) AND >: the
// texts, and a time the connection compares as its digits (a date or a
// time compared as such continues from the bounds of its range instead;
// see the date writer).
bool bIsContinuedAsText(const CNAColumn* pclColumn) {
  const eNA_ITEMTYPE e = pclColumn->eNAGetItemType();
  if (e == NA_IT_HEURE) {
    CNAConnectionDescription* pclConnection = pclColumn->pclGetCnx();
    return pclConnection == nullptr || !pclConnection->bSupportItemTime();
  }
  return e == NA_IT_TEXTE || e == NA_IT_MEMOTEXTE || e == NA_IT_UNICODE ||
         e == NA_IT_MEMOUNICODE;
}

// Whether the value, read as wide text, is missing or empty.
bool bValueMissingOrEmpty(const CNAConvertVariant* pclValue) {
  if (pclValue == nullptr || pclValue->vbIsEmpty()) return true;
  CAny clValue;
  if (!pclValue->bGetValue(&clValue) || clValue.bIsNull() || clValue.nGetTypeCode() == VX_NONE)
    return true;
  CXYString<wchar_t> clText;
  if (clValue.__nFillString(clText, nullptr) > kVXLastSuccess) return true;
  return clText.nGetLongueur() == 0;
}

// Cuts the command's text back to nLength, dropping every parameter added
// since the mark (see the file comment) from the command and the search.
void CutBack(CNACommand* pclCommand, CNARecherche* pclSearch, unsigned int nLength,
             unsigned int nParameters) {
  pclCommand->Tronque(nLength, static_cast<int>(nParameters));
  if (pclSearch != nullptr) pclSearch->_RemoveParameterByPos(nLength + 1);
}

}  // namespace

// ---- Construction

CNAExpression::CNAExpression(CNAError* pclError) : m_pclError(pclError) {
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNAExpression::~CNAExpression() {
  delete m_pclNullSelection;
  m_pclNullSelection = nullptr;
  KQRelease(m_pclLeft);
  KQRelease(m_pclRight);
  KQRelease(m_pclColumn);
  KQRelease(m_pclValue);
  KQRelease(m_pclSourceQuery);
  if (m_pclError != nullptr) m_pclError->nRelease();
}

CNAExpression* CNAExpression::pclAllocExpression() {
  CNAExpression* pclNode = new (std::nothrow) CNAExpression(m_pclError);
  if (pclNode == nullptr) _RaiseNoMemory(kSiteAllocNode);
  return pclNode;
}

CNAExpression* CNAExpression::pclAllocExpression(eNAOperator eOperator, CNAExpression* pclLeft,
                                                 CNAExpression* pclRight, unsigned int nFlags) {
  CNAExpression* pclNode = pclAllocExpression();
  if (pclNode == nullptr) return nullptr;
  pclNode->m_eOperator = eOperator;
  pclNode->m_pclLeft = pclLeft;
  KQAddRef(pclLeft);
  pclNode->m_pclRight = pclRight;
  KQAddRef(pclRight);
  pclNode->SetFlags(nFlags);
  return pclNode;
}

CNAExpression* CNAExpression::pclAllocExpression(eNAOperator eOperator, CNAColumn* pclColumn,
                                                 CNAConvertVariant* pclValue,
                                                 unsigned int nFlags) {
  CNAExpression* pclNode = pclAllocExpression();
  if (pclNode == nullptr) return nullptr;
  pclNode->m_eOperator = eOperator;
  pclNode->m_pclColumn = pclColumn;
  KQAddRef(pclColumn);
  pclNode->m_pclValue = pclValue;
  KQAddRef(pclValue);
  if (pclColumn != nullptr) {
    // The digest of the record's query, when the record runs over one: it
    // tells a computed column from a table column.
    auto* pclQuery = dynamic_cast<CSQLParserInfo*>(pclColumn->pclGetSourceQueryNoRef());
    pclNode->m_pclSourceQuery = pclQuery;
    KQAddRef(pclQuery);
  }
  pclNode->SetFlags(nFlags);
  return pclNode;
}

CNAExpression* CNAExpression::pclAllocExpression(ISQLParserInformation* piCondition,
                                                 unsigned int nFlags) {
  CNAExpression* pclNode = pclAllocExpression();
  if (pclNode == nullptr) return nullptr;
  pclNode->m_eOperator = NA_OP_PARSED_CONDITION;
  auto* pclInfo = new (std::nothrow) CSQLParserInfo(m_pclError, piCondition, nullptr, 1);
  if (pclInfo == nullptr) {
    _RaiseNoMemory(kSiteParserInfo);
    pclNode->AddRef();
    pclNode->nRelease();
    return nullptr;
  }
  pclInfo->AddRef();
  pclNode->m_pclSourceQuery = pclInfo;
  pclNode->SetFlags(nFlags);
  return pclNode;
}

CNAExpression* CNAExpression::pclAddOperation(eNAOperator eOperator, CNAExpression* pclOther) {
  return pclAllocExpression(eOperator, this, pclOther, m_nFlags);
}

CNAExpression* CNAExpression::pclClone() {
  CNAExpression* pclCopy = nullptr;
  if (bIsOperatorNode(m_eOperator)) {
    CNAExpression* pclLeft = m_pclLeft != nullptr ? m_pclLeft->pclClone() : nullptr;
    CNAExpression* pclRight = m_pclRight != nullptr ? m_pclRight->pclClone() : nullptr;
    // Held over the allocation: a copy nobody took dies here.
    KQAddRef(pclLeft);
    KQAddRef(pclRight);
    const bool bFailed = (m_pclLeft != nullptr && pclLeft == nullptr) ||
                         (m_pclRight != nullptr && pclRight == nullptr);
    if (!bFailed) pclCopy = pclAllocExpression(m_eOperator, pclLeft, pclRight, m_nFlags);
    KQRelease(pclLeft);
    KQRelease(pclRight);
    return pclCopy;
  }
  if (m_pclColumn != nullptr) return pclAllocExpression(m_eOperator, m_pclColumn, m_pclValue, m_nFlags);
  pclCopy = pclAllocExpression();
  if (pclCopy == nullptr) return nullptr;
  pclCopy->m_eOperator = m_eOperator;
  pclCopy->m_pclValue = m_pclValue;
  KQAddRef(m_pclValue);
  pclCopy->m_pclSourceQuery = m_pclSourceQuery;
  KQAddRef(m_pclSourceQuery);
  pclCopy->m_nFlags = m_nFlags;
  return pclCopy;
}

void CNAExpression::Insert(CNAExpression* pclOld, CNAExpression* pclNew) {
  CNAExpression** ppSlot = nullptr;
  if (m_pclLeft == pclOld) {
    ppSlot = &m_pclLeft;
  } else if (m_pclRight == pclOld) {
    ppSlot = &m_pclRight;
  }
  if (ppSlot == nullptr) return;
  KQAddRef(pclNew);
  *ppSlot = pclNew;
  KQRelease(pclOld);
}

void CNAExpression::SetFlags(unsigned int nFlags) {
  m_nFlags = nFlags;
  if (bIsOperatorNode(m_eOperator) || m_pclColumn == nullptr) return;
  if ((m_nFlags & kGeneric) == 0 || (m_nFlags & kComposedKey) == 0) return;
  if (!bIsTextItemType(m_pclColumn->eNAGetItemType())) return;
  if (bValueMissingOrEmpty(m_pclValue)) m_nFlags &= ~kGeneric;
}

eNAOperator CNAExpression::InfSupToInfEqualSupEqual() {
  const eNAOperator eBefore = m_eOperator;
  if (m_eOperator == NA_OP_GREATER) m_eOperator = NA_OP_GREATER_OR_EQUAL;
  if (m_eOperator == NA_OP_LESS) m_eOperator = NA_OP_LESS_OR_EQUAL;
  return eBefore;
}

void CNAExpression::_RaiseNoMemory(int nSite) {
  CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kNAFileExpression, nSite,
                     m_pclColumn != nullptr ? m_pclColumn->pclGetCnx() : nullptr, nullptr,
                     nullptr, kErrNoMemory);
}

int CNAExpression::_bInitNullSelection() {
  if (m_pclNullSelection != nullptr) return 1;
  m_pclNullSelection = new (std::nothrow) CColumnNullValueExcluded;
  if (m_pclNullSelection != nullptr) return 1;
  _RaiseNoMemory(kSiteNullSelection);
  return 0;
}

// ---- Continuation

CNAExpression* CNAExpression::pclTransformEqualTo(CNARecord* pclRecord, CNAExpression* pclParent,
                                                  eNAOperator eOperator) {
  if (bIsOperatorNode(m_eOperator)) {
    CNAExpression* pclLast = nullptr;
    // The operands are read before each call: a transform may replace one.
    if (m_pclLeft != nullptr) {
      CNAExpression* p = m_pclLeft->pclTransformEqualTo(pclRecord, this, eOperator);
      if (p != nullptr) pclLast = p;
    }
    if (m_pclRight != nullptr) {
      CNAExpression* p = m_pclRight->pclTransformEqualTo(pclRecord, this, eOperator);
      if (p != nullptr) pclLast = p;
    }
    return pclLast;
  }
  if (m_eOperator != NA_OP_EQUAL || m_pclColumn == nullptr) return nullptr;
  const bool bNull = m_pclValue == nullptr || m_pclValue->bIsNull();
  if (bIsContinuedAsText(m_pclColumn) && bIsGenerique() && !bNull) {
    if (eOperator == NA_OP_LESS) {
      // Every value below the prefix sorts before every value beginning
      // with it.
      m_eOperator = NA_OP_LESS;
      return this;
    }
    // Beyond the values that begin with the prefix: those that do not and
    // sort after it.
    CNAExpression* pclGreater =
        pclAllocExpression(NA_OP_GREATER, m_pclColumn, m_pclValue, m_nFlags);
    if (pclGreater == nullptr) return nullptr;
    KQAddRef(pclGreater);
    CNAExpression* pclNot = pclAllocExpression(NA_OP_NOT, this, nullptr, m_nFlags);
    CNAExpression* pclAnd = nullptr;
    if (pclNot != nullptr) {
      KQAddRef(pclNot);
      pclAnd = pclAllocExpression(NA_OP_AND, pclNot, pclGreater, m_nFlags);
      KQAddRef(pclAnd);
      KQRelease(pclNot);
    }
    KQRelease(pclGreater);
    if (pclAnd == nullptr) return nullptr;
    // NOT holds this leaf now: the parent's reference can go.
    if (pclParent != nullptr) pclParent->Insert(this, pclAnd);
    // Back to the caller with the count the holders gave it (0 when none).
    if (pclAnd->nGetRefCount() > 1) {
      pclAnd->nRelease();
    } else {
      pclAnd->SetHold(1);
      pclAnd->nRelease();
      pclAnd->SetHold(0);
    }
    return pclAnd;
  }
  m_eOperator = s_eGetSensTriColonne(pclRecord, m_pclColumn) ? s_eInvertOperator(eOperator)
                                                              : eOperator;
  return this;
}

// ---- Writing

int CNAExpression::bGetSQL(CNACommand* pclCommand, eNAOperator eParent, CNARecherche* pclSearch,
                           int* pbConstant, CNARecord* pclRecord) {
  *pbConstant = 0;
  if (m_pclNullSelection != nullptr) m_pclNullSelection->Reset();
  if (m_eOperator == NA_OP_EMPTY) return 1;

  _Process();
  if (m_pclLeft != nullptr) m_pclLeft->_Process();
  if (m_pclRight != nullptr) m_pclRight->_Process();

  if (m_eOperator == NA_OP_AND || m_eOperator == NA_OP_OR) {
    const eNAOperator eNeutral = m_eOperator == NA_OP_AND ? NA_OP_ALWAYS_TRUE : NA_OP_ALWAYS_FALSE;
    const eNAOperator eAbsorbing =
        m_eOperator == NA_OP_AND ? NA_OP_ALWAYS_FALSE : NA_OP_ALWAYS_TRUE;
    CNAExpression* pclOnly = nullptr;
    if (m_pclLeft == nullptr || m_pclLeft->m_eOperator == eNeutral) {
      pclOnly = m_pclRight;
    } else if (m_pclRight == nullptr || m_pclRight->m_eOperator == eNeutral) {
      pclOnly = m_pclLeft;
    }
    if (pclOnly == nullptr && (m_pclLeft == nullptr || m_pclRight == nullptr)) {
      // Both operands missing or neutral: the node is its neutral constant.
      m_eOperator = eNeutral;
      *pbConstant = 1;
      return 1;
    }
    if (pclOnly != nullptr && pclOnly->m_eOperator != eAbsorbing) {
      // A lower bound that turned always true lets NULL through too.
      const int nMarked = m_eOperator == NA_OP_AND && pclOnly == m_pclRight
                              ? _nMarkUpperBoundsLetNull(m_pclLeft, m_pclRight)
                              : 0;
      const int bResult = pclOnly->bGetSQL(pclCommand, eParent, pclSearch, pbConstant, pclRecord);
      if (nMarked != 0) s_ClearNullLetThrough(pclOnly);
      if (*pbConstant) {
        m_eOperator = pclOnly->m_eOperator;
      } else if (_bInitNullSelection()) {
        m_pclNullSelection->bCopyColumnValuesNullSelected(pclOnly->m_pclNullSelection, 0);
      }
      return bResult;
    }
    if (pclOnly != nullptr || m_pclLeft->m_eOperator == eAbsorbing ||
        m_pclRight->m_eOperator == eAbsorbing) {
      m_eOperator = eAbsorbing;
      *pbConstant = 1;
      return 1;
    }
  } else if (m_eOperator == NA_OP_NOT && m_pclLeft != nullptr &&
             bIsConstant(m_pclLeft->m_eOperator)) {
    // NOT over a constant is the other constant.
    m_eOperator = m_pclLeft->m_eOperator == NA_OP_ALWAYS_TRUE ? NA_OP_ALWAYS_FALSE
                                                               : NA_OP_ALWAYS_TRUE;
    *pbConstant = 1;
    return 1;
  }

  if (!bIsOperatorNode(m_eOperator)) {
    if (m_eOperator == NA_OP_PARSED_CONDITION)
      return _bGetSQLParsedCondition(pclCommand, pclSearch, pclRecord);
    return _bGetSQLFromValue(pclCommand, pclSearch, pbConstant);
  }

  if (m_eOperator == NA_OP_NOT) return _bGetSQLNot(pclCommand, pclSearch, pbConstant, pclRecord);
  return _bGetSQLAndOr(pclCommand, eParent, pclSearch, pbConstant, pclRecord);
}

int CNAExpression::_bGetSQLNot(CNACommand* pclCommand, CNARecherche* pclSearch, int* pbConstant,
                               CNARecord* pclRecord) {
  if (m_pclLeft == nullptr) {
    // NOT of nothing: nothing is excluded.
    m_eOperator = NA_OP_ALWAYS_TRUE;
    *pbConstant = 1;
    return 1;
  }
  const unsigned int nLength = pclCommand->nGetTextLength();
  const unsigned int nParameters = pclCommand->nGetParameterNbr();
  pclCommand->bComplete(L" NOT ");
  pclCommand->bComplete(L"(");
  int bOperandConstant = 0;
  const int bResult =
      m_pclLeft->bGetSQL(pclCommand, NA_OP_NOT, pclSearch, &bOperandConstant, pclRecord);
  if (bOperandConstant) {
    // " NOT ()" is no condition: the node is the other constant.
    CutBack(pclCommand, pclSearch, nLength, nParameters);
    m_eOperator = m_pclLeft->m_eOperator == NA_OP_ALWAYS_TRUE ? NA_OP_ALWAYS_FALSE
                                                               : NA_OP_ALWAYS_TRUE;
    *pbConstant = 1;
    return bResult;
  }
  pclCommand->bComplete(L")");
  if (!_bInitNullSelection()) return 0;
  m_pclNullSelection->bCopyColumnValuesNullSelected(m_pclLeft->m_pclNullSelection, 1);
  return bResult;
}

int CNAExpression::_bGetSQLAndOr(CNACommand* pclCommand, eNAOperator eParent,
                                 CNARecherche* pclSearch, int* pbConstant,
                                 CNARecord* pclRecord) {
  const unsigned int nLength = pclCommand->nGetTextLength();
  const unsigned int nParameters = pclCommand->nGetParameterNbr();
  const eNAOperator eAbsorbing =
      m_eOperator == NA_OP_AND ? NA_OP_ALWAYS_FALSE : NA_OP_ALWAYS_TRUE;
  // Under AND or NOT an OR must keep its operands together; an AND under
  // AND is bracketed too, which changes nothing but the reading.
  const bool bParenthesis = eParent > NA_OP_OR;
  if (bParenthesis) pclCommand->bComplete(L"(");

  int bLeftConstant = 0;
  int bResult = m_pclLeft->bGetSQL(pclCommand, m_eOperator, pclSearch, &bLeftConstant, pclRecord);
  if (bLeftConstant) {
    CutBack(pclCommand, pclSearch, nLength, nParameters);
    if (m_pclLeft->m_eOperator == eAbsorbing) {
      m_eOperator = eAbsorbing;
      *pbConstant = 1;
      return bResult;
    }
    // The left is neutral: the right alone, in the node's place.
    int bRightConstant = 0;
    bResult &= m_pclRight->bGetSQL(pclCommand, eParent, pclSearch, &bRightConstant, pclRecord);
    if (bRightConstant) {
      CutBack(pclCommand, pclSearch, nLength, nParameters);
      m_eOperator = m_pclRight->m_eOperator;
      *pbConstant = 1;
      return bResult;
    }
    if (!_bInitNullSelection()) return 0;
    m_pclNullSelection->bCopyColumnValuesNullSelected(m_pclRight->m_pclNullSelection, 0);
    return bResult;
  }

  const unsigned int nMark = pclCommand->nGetTextLength();
  const unsigned int nMarkParameters = pclCommand->nGetParameterNbr();
  pclCommand->bComplete(s_pszDumpOp(m_eOperator));
  // A filter's lower bound that let NULL through must be met by an upper
  // bound that lets it through too, or the AND drops the NULL rows again.
  const int nMarked = m_eOperator == NA_OP_AND ? _nMarkUpperBoundsLetNull(m_pclLeft, m_pclRight) : 0;
  int bRightConstant = 0;
  bResult &= m_pclRight->bGetSQL(pclCommand, m_eOperator, pclSearch, &bRightConstant, pclRecord);
  if (nMarked != 0) s_ClearNullLetThrough(m_pclRight);
  if (bRightConstant) {
    if (m_pclRight->m_eOperator == eAbsorbing) {
      CutBack(pclCommand, pclSearch, nLength, nParameters);
      m_eOperator = eAbsorbing;
      *pbConstant = 1;
      return bResult;
    }
    // The right is neutral: the node stays what the left wrote.
    CutBack(pclCommand, pclSearch, nMark, nMarkParameters);
    if (!_bInitNullSelection()) return 0;
    m_pclNullSelection->bCopyColumnValuesNullSelected(m_pclLeft->m_pclNullSelection, 0);
  } else {
    if (!_bInitNullSelection()) return 0;
    if (!m_pclNullSelection->bCombineColumnValuesNullSelected(
            m_eOperator, m_pclLeft->m_pclNullSelection, m_pclRight->m_pclNullSelection)) {
      _RaiseNoMemory(kSiteNullSelection);
      bResult = 0;
    }
  }
  if (bParenthesis) pclCommand->bComplete(L")");
  return bResult;
}

int CNAExpression::_nMarkUpperBoundsLetNull(CNAExpression* pclLower, CNAExpression* pclUpper) {
  if (pclLower == nullptr || pclUpper == nullptr) return 0;
  if (bIsOperatorNode(pclLower->m_eOperator)) {
    return _nMarkUpperBoundsLetNull(pclLower->m_pclLeft, pclUpper) +
           _nMarkUpperBoundsLetNull(pclLower->m_pclRight, pclUpper);
  }
  if ((pclLower->m_nFlags & kLowerBound) == 0 || pclLower->m_pclColumn == nullptr) return 0;
  // Always true (a bound at the lowest value) or written with its NULL
  // alternative in this write (a leaf's set holds its own column alone).
  CColumnNullValueExcluded* pclSet = pclLower->m_pclNullSelection;
  const bool bLetThrough =
      pclLower->m_eOperator == NA_OP_ALWAYS_TRUE ||
      ((pclLower->m_eOperator == NA_OP_GREATER_OR_EQUAL || pclLower->m_eOperator == NA_OP_EQUAL) &&
       pclSet != nullptr && pclSet->_nGetColumnValuesNullSelectedIndice(pclLower->m_pclColumn) >= 0 &&
       pclSet->bColumnValuesNullSelected(pclLower->m_pclColumn));
  return bLetThrough ? s_nSetNullLetThrough(pclUpper, pclLower->m_pclColumn) : 0;
}

int CNAExpression::s_nSetNullLetThrough(CNAExpression* pclNode, const CNAColumn* pclColumn) {
  if (pclNode == nullptr) return 0;
  if (bIsOperatorNode(pclNode->m_eOperator)) {
    return s_nSetNullLetThrough(pclNode->m_pclLeft, pclColumn) +
           s_nSetNullLetThrough(pclNode->m_pclRight, pclColumn);
  }
  if ((pclNode->m_nFlags & kUpperBound) == 0 || pclNode->m_pclColumn != pclColumn) return 0;
  pclNode->m_bNullLetThrough = 1;
  return 1;
}

void CNAExpression::s_ClearNullLetThrough(CNAExpression* pclNode) {
  if (pclNode == nullptr) return;
  pclNode->m_bNullLetThrough = 0;
  s_ClearNullLetThrough(pclNode->m_pclLeft);
  s_ClearNullLetThrough(pclNode->m_pclRight);
}

// ---- NULL selection

int CNAExpression::bColumnValuesNullSelected(const CNAColumn* pclColumn) {
  if (m_pclNullSelection != nullptr) return m_pclNullSelection->bColumnValuesNullSelected(pclColumn);
  if (pclColumn == nullptr || pclColumn != m_pclColumn || pclColumn->bIsComposedKey()) return 1;
  const int bNull = m_pclColumn->bNullOrEquivalent(m_pclValue);
  CNAConnectionDescription* pclConnection = m_pclColumn->pclGetCnx();
  const int bNullFirst = pclConnection == nullptr || pclConnection->bNULLBeforeNotNULL();
  switch (m_eOperator) {
    case NA_OP_EQUAL:
      return bNull;
    case NA_OP_GREATER:
      return bNullFirst ? bNull : !bNull;
    case NA_OP_LESS:
      return bNullFirst ? !bNull : bNull;
    case NA_OP_DIFFERENT:
      return !bNull;
    default:
      return 1;
  }
}

// ---- Statics

const wchar_t* CNAExpression::s_pszDumpOp(eNAOperator eOperator) {
  switch (eOperator) {
    case NA_OP_OR:
      return L" OR ";
    case NA_OP_AND:
      return L" AND ";
    case NA_OP_NOT:
      return L" NOT ";
    case NA_OP_EQUAL:
      return L"=";
    case NA_OP_GREATER:
      return L">";
    case NA_OP_LESS:
      return L"<";
    case NA_OP_GREATER_OR_EQUAL:
      return L">=";
    case NA_OP_LESS_OR_EQUAL:
      return L"<=";
    case NA_OP_ALWAYS_FALSE:
      return L"0=1";
    case NA_OP_ALWAYS_TRUE:
      return L"1=1";
    case NA_OP_DIFFERENT:
      return L"<>";
    case NA_OP_IS_NULL:
      return L" IS NULL";
    case NA_OP_IS_NOT_NULL:
      return L"IS NOT NULL";
    default:
      return L"";
  }
}

eNAOperator CNAExpression::s_eInvertOperator(eNAOperator eOperator) {
  switch (eOperator) {
    case NA_OP_GREATER:
      return NA_OP_LESS;
    case NA_OP_LESS:
      return NA_OP_GREATER;
    case NA_OP_GREATER_OR_EQUAL:
      return NA_OP_LESS_OR_EQUAL;
    case NA_OP_LESS_OR_EQUAL:
      return NA_OP_GREATER_OR_EQUAL;
    default:
      return eOperator;
  }
}

eOPEXPRESSION CNAExpression::Convert_eNAOperator_To_eOPEXPRESSION(eNAOperator eOperator) {
  switch (eOperator) {
    case NA_OP_EQUAL:
      return OPEXP_EGAL;
    case NA_OP_GREATER:
      return OPEXP_SUPERIEUR;
    case NA_OP_LESS:
      return OPEXP_INFERIEUR;
    case NA_OP_GREATER_OR_EQUAL:
      return OPEXP_SUPERIEUR_EGAL;
    case NA_OP_LESS_OR_EQUAL:
      return OPEXP_INFERIEUR_EGAL;
    case NA_OP_DIFFERENT:
      return OPEXP_DIFFERENT;
    case NA_OP_IS_NULL:
      return OPEXP_IS_NULL;
    default:
      return static_cast<eOPEXPRESSION>(-1);
  }
}

int CNAExpression::s_eGetSensTriColonne(CNARecord* pclRecord, CNAColumn* pclColumn) {
  if (pclRecord == nullptr || pclColumn == nullptr) return 0;
  auto* pclQuery = dynamic_cast<CSQLParserInfo*>(pclRecord->pclGetSourceQueryNoRef());
  if (pclQuery == nullptr) return 0;
  IInfoOrderBy* piOrder = pclQuery->piGetRubriqueClauseOrder(pclColumn);
  return piOrder != nullptr && piOrder->eGetSensTri() == SENSTRI_DESCENDANT ? 1 : 0;
}
