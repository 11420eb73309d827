// CNAExpression: the leaves. Simplifying a comparison that is always true
// or always false for its value, and writing a comparison of one column
// with one value into the command: the plain and LIKE shapes (every value a
// bound parameter), the literal shapes of an empty 8-bit text, the range of
// a partial date or time, and the NULL tests. The bounds of partial dates
// and times live here too.
//
// Shapes of a leaf (the marker is where the command writes the parameter):
//   plain      c>=marker          (c>=marker OR c IS NULL)
//   LIKE       c LIKE marker      c NOT LIKE marker   (ESCAPE clause the command's)
//   empty text c=''               c LIKE '%'          c NOT LIKE '%'
//   range      c>=lo AND c<hi     (c<lo OR c>=hi)     c>=lo   c<lo
//   beyond     c>=hi              (c<lo OR c IS NULL)  (a continuation)
//   NULL       c IS NULL          c IS NOT NULL
//
// WHY A CONTINUATION OF A PARTIAL DATE USES THE BOUNDS. Continuing a
// browse forward from "2023" must go past every instant of 2023: "c>'2023'"
// read as 2023-01-01 would read the searched range again (and a date-time
// cannot even hold the text "2023"). Forward is "c>=hi", and nothing when
// the range reaches the last instant; backward is "c<lo".
//
// WHY A RANGE MAY HAVE ONE BOUND. A partial text whose next value does not
// exist (year 9999, time 23) selects every instant from its lower bound on:
// "c>=lo" alone, never an equality with the partial text, which matches no
// row. A bound after 9999-12-31 23:59:59.999 is never written: MariaDB
// cannot read it as a date, and a comparison with what it makes of it
// selects nothing.
#include <cstring>
#include <cwchar>
#include <new>

#include "driver/connection_description.h"
#include "driver/na_error.h"
#include "items/column.h"
#include "items/column_null_selection.h"
#include "items/convert_variant.h"
#include "items/item_description.h"
#include "core/string_concat.h"
#include "platform/broken_down_time.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/expression.h"
#include "sqlbuilder/parsed_query_info.h"
#include "sqlbuilder/record_search.h"
#include "values/any.h"
#include "values/date_time_base.h"

namespace {

constexpr unsigned int kErrNotSupported = 8;
constexpr int kSiteParsedCondition = 10;
constexpr int kSiteComputedColumn = 11;
constexpr int kSiteNoColumn = 12;
constexpr int kSiteBadPartialDate = 13;
constexpr int kSiteRetype = 14;
constexpr int kSiteNullSet = 15;
constexpr int kSiteLikePattern = 16;

// The results of a bound of a partial date or time.
enum eBOUND : int {
  BOUND_NONE = 0,        // cannot be made: no next value, or an empty text
  BOUND_MADE = 1,
  BOUND_NO_INSTANT = 2,  // the text is no date or time, or names no instant
  BOUND_PAST_RANGE = 3,  // after 9999-12-31 23:59:59.999
};

bool bIsWideTextVX(unsigned short n) {
  return n == VX_DSTRW || n == 20 || n == VX_DATEW || n == VX_TIMEW || n == VX_CARW ||
         n == VX_PSTRW;
}

// The language's text types (dates and times held as texts included).
bool bIsTextVX(unsigned short n) {
  return (n >= 16 && n <= 25) || n == VX_CARW || n == VX_PSTRW || n == VX_DATEA ||
         n == VX_TIMEA || n == 134;
}

// By the value's own type: 1 an empty text, 2 the highest text (a wide text
// beginning with U+FFFF; the single byte 0xFF), 0 any other value.
int nTextExtreme(const CAny& clValue) {
  const unsigned short nType = clValue.nGetTypeCode();
  if (!bIsTextVX(nType)) return 0;
  if (bIsWideTextVX(nType)) {
    CXYString<wchar_t> clText;
    if (clValue.__nFillString(clText, nullptr) > kVXLastSuccess) return 0;
    // Empty by its length alone: a text that begins with a character 0
    // ("\0x") is a value above the empty text, never the lowest.
    if (clText.nGetLongueur() == 0) return 1;
    return (static_cast<unsigned int>(clText.pszGet()[0]) & 0xFFFF) == 0xFFFF ? 2 : 0;
  }
  CXYString<char> clText;
  if (clValue.__nFillString(clText, nullptr) > kVXLastSuccess) return 0;
  const int n = clText.nGetLongueur();
  if (n == 0) return 1;
  return n == 1 && static_cast<unsigned char>(clText.pszGet()[0]) == 0xFF ? 2 : 0;
}

// Whether a filter's lower bound at this value stands for the engine's NULL
// (0, the empty text, no value): a text only when its length is 0, whatever
// its first character.
int bLowerBoundLetsNullThrough(const CNAConvertVariant* pclHolder, const CAny& clValue) {
  if (bIsTextVX(clValue.nGetTypeCode()) && !clValue.bIsNull()) {
    CXYString<wchar_t> clText;
    if (clValue.__nFillString(clText, nullptr) > kVXLastSuccess) return 0;
    return clText.nGetLongueur() == 0;
  }
  return pclHolder != nullptr && pclHolder->bCouldBeNullOnZB();
}

// The n characters of psz escaped for a LIKE pattern with the backslash
// (the command rewrites the escape character), appended to *pOut. Counted:
// a character 0 inside a value is part of it, never its end.
void AppendLikeEscaped(const wchar_t* psz, int n, CXYStringConcat<wchar_t>* pOut) {
  for (int i = 0; i < n; ++i) {
    const wchar_t c = psz[i];
    if (c == L'%' || c == L'_' || c == L'\\') pOut->Add(L'\\');
    pOut->Add(c);
  }
}

// Whether the column is a time the connection compares as its text.
bool bTimeAsText(const CNAColumn* pclColumn) {
  if (pclColumn == nullptr || pclColumn->eNAGetItemType() != NA_IT_HEURE) return false;
  CNAConnectionDescription* pclConnection = pclColumn->pclGetCnx();
  return pclConnection == nullptr || !pclConnection->bSupportItemTime();
}

// The language's truth of a value (non-zero is true): 1 with *pbTrue, or 0
// when the value has none.
int bValueTruth(const CAny& clValue, int* pbTrue) {
  if (clValue.bIsNull()) return 0;
  const unsigned short nType = clValue.nGetTypeCode();
  if (nType == VX_BOOL || nType == VX_UI4 || nType == VX_I4) {
    int32_t n;
    std::memcpy(&n, clValue.pbyGetValeur(), sizeof n);
    *pbTrue = n != 0;
    return 1;
  }
  long long ll;
  if (clValue.nGetINT_64(&ll) == 0) {
    *pbTrue = ll != 0;
    return 1;
  }
  double d;
  if (clValue.nGetREAL(&d) == 0) {
    *pbTrue = d != 0.0;
    return 1;
  }
  CAny clCopy(clValue);
  if (clCopy.__nCastTo(VX_BOOL, nullptr, 1) > kVXLastSuccess) return 0;
  int32_t n;
  std::memcpy(&n, clCopy.pbyGetValeur(), sizeof n);
  *pbTrue = n != 0;
  return 1;
}

int bNullFirst(CNAConnectionDescription* pclConnection) {
  return pclConnection == nullptr || pclConnection->bNULLBeforeNotNULL();
}

// The wide text of any value: 1, or 0 when the language cannot write it.
int bWideText(const CAny& clValue, CXYString<wchar_t>* pOut) {
  return clValue.__nFillString(*pOut, nullptr) <= kVXLastSuccess;
}

bool bIsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Whether the fields name an instant (a date that exists, a time of day).
bool bFieldsValid(const CXTime& clTime, bool bWithDate) {
  const tm* p = clTime.nGetTimeTm();
  if (p->tm_hour < 0 || p->tm_hour > 23 || p->tm_min < 0 || p->tm_min > 59 || p->tm_sec < 0 ||
      p->tm_sec > 59 || clTime.nGetMilli() < 0 || clTime.nGetMilli() > 999)
    return false;
  if (!bWithDate) return true;
  const int nYear = p->tm_year + 1900;
  const int nMonth = p->tm_mon + 1;
  if (nYear < 0 || nMonth < 1 || nMonth > 12 || p->tm_mday < 1) return false;
  return p->tm_mday <= CXTime::nGetDayInMonth(nYear, nMonth);
}

// The lower bound (bMax false) or the first instant after the range (bMax
// true) of the partial text of pValue, typed for eType into pResult.
eBOUND eGetBound(eNA_ITEMTYPE eType, const CAny* pValue, CAny* pResult, bool bMax) {
  if (pValue == nullptr || pResult == nullptr || pValue->bIsNull()) return BOUND_NONE;
  CXYString<wchar_t> clText;
  if (!bWideText(*pValue, &clText)) return BOUND_NO_INSTANT;
  const int n = clText.nGetLongueur();
  if (n == 0) return BOUND_NONE;
  const wchar_t* psz = clText.pszGet();
  // Digits only; a date-time may separate its time with one blank.
  for (int i = 0; i < n; ++i) {
    if (bIsDigit(psz[i])) continue;
    if (eType != NA_IT_HEURE && i == 8 && psz[i] == L' ') continue;
    return BOUND_NO_INSTANT;
  }
  CXTime clTime;
  if (eType == NA_IT_HEURE) {
    if (n > 9) return BOUND_NO_INSTANT;
    const int bMade = bMax ? clTime.bSetVXTimeMax(psz, 0) : clTime.bSetVXTimeMin(psz, 0);
    if (!bMade) return BOUND_NONE;
    if (!bFieldsValid(clTime, false)) return bMax ? BOUND_NONE : BOUND_NO_INSTANT;
    CTString csTime;
    clTime.GetVXTimeHHMMSSCCm(csTime);
    pResult->SetTIME(csTime.pszGet());
    return BOUND_MADE;
  }
  if (n > 18) return BOUND_NO_INSTANT;
  const int bMade = bMax ? clTime.bSetVXDateTimeMax(psz, 0) : clTime.bSetVXDateTimeMin(psz, 0);
  if (!bMade) return BOUND_NONE;
  if (clTime.nGetTimeTm()->tm_year + 1900 > 9999) return BOUND_PAST_RANGE;
  if (!bFieldsValid(clTime, true)) return bMax ? BOUND_NONE : BOUND_NO_INSTANT;
  if (eType == NA_IT_DATE8) {
    CTString csDate;
    clTime.GetVXDate(csDate);
    pResult->SetDATE(csDate.pszGet());
  } else {
    CDateTime clDate;
    clTime.GetVXDateTime(&clDate);
    pResult->SetDATETIME(&clDate);
  }
  return BOUND_MADE;
}

}  // namespace

// ---- Simplifying a leaf

int CNAExpression::_bGetValueText(CXYString<wchar_t>* pOut) const {
  if (m_pclValue == nullptr || m_pclValue->vbIsEmpty()) return 0;
  CAny clValue;
  if (!m_pclValue->bGetValue(&clValue) || clValue.bIsNull()) return 0;
  return bWideText(clValue, pOut);
}

void CNAExpression::_Process() {
  if (m_pclColumn == nullptr) return;
  if (m_eOperator < NA_OP_GREATER || m_eOperator > NA_OP_LESS_OR_EQUAL) return;
  CAny clValue;
  const bool bHeld =
      m_pclValue != nullptr && !m_pclValue->vbIsEmpty() && m_pclValue->bGetValue(&clValue);
  const bool bNull = !bHeld || clValue.bIsNull();
  const int bFirst = bNullFirst(m_pclColumn->pclGetCnx());
  const unsigned short nColumnType = m_pclColumn->eGetVXType();

  if (nColumnType == VX_BOOL && !bNull) {
    int bTrue = 0;
    if (bValueTruth(clValue, &bTrue)) {
      // Nothing is above true or below false.
      static constexpr eNAOperator kTrue[4] = {NA_OP_ALWAYS_FALSE, NA_OP_DIFFERENT, NA_OP_EQUAL,
                                               NA_OP_ALWAYS_TRUE};
      static constexpr eNAOperator kFalse[4] = {NA_OP_DIFFERENT, NA_OP_ALWAYS_FALSE,
                                                NA_OP_ALWAYS_TRUE, NA_OP_EQUAL};
      const int i = m_eOperator - NA_OP_GREATER;
      m_eOperator = bTrue ? kTrue[i] : kFalse[i];
      return;
    }
  }
  if (bIsTextVX(nColumnType)) {
    if (bNull) {
      if (m_eOperator == NA_OP_GREATER_OR_EQUAL && bFirst) m_eOperator = NA_OP_ALWAYS_TRUE;
      if (m_eOperator == NA_OP_LESS_OR_EQUAL && !bFirst) m_eOperator = NA_OP_ALWAYS_TRUE;
    } else {
      const int nExtreme = nTextExtreme(clValue);
      if (m_eOperator == NA_OP_GREATER_OR_EQUAL && nExtreme == 1) m_eOperator = NA_OP_ALWAYS_TRUE;
      if (m_eOperator == NA_OP_LESS_OR_EQUAL && nExtreme == 2) m_eOperator = NA_OP_ALWAYS_TRUE;
    }
  }
  if (bNull || m_pclColumn->bNullOrEquivalent(&clValue)) {
    if (m_eOperator == NA_OP_GREATER_OR_EQUAL && bFirst) m_eOperator = NA_OP_ALWAYS_TRUE;
    if (m_eOperator == NA_OP_LESS_OR_EQUAL && !bFirst) m_eOperator = NA_OP_ALWAYS_TRUE;
  }
}

int CNAExpression::s_bExpressionTrue(eNAOperator eOperator, CNAConnectionDescription* pclConnection,
                                     const CAny* pValue) {
  if (pValue == nullptr) return 0;
  if (eOperator != NA_OP_GREATER_OR_EQUAL && eOperator != NA_OP_LESS_OR_EQUAL) return 0;
  const unsigned short nType = pValue->nGetTypeCode();
  if (nType == VX_BOOL && !pValue->bIsNull()) {
    int bTrue = 0;
    if (!bValueTruth(*pValue, &bTrue)) return 0;
    return eOperator == NA_OP_GREATER_OR_EQUAL ? !bTrue : bTrue;
  }
  if (!bIsTextVX(nType)) return 0;
  if (pValue->bIsNull()) {
    const int bFirst = bNullFirst(pclConnection);
    return eOperator == NA_OP_GREATER_OR_EQUAL ? bFirst : !bFirst;
  }
  const int nExtreme = nTextExtreme(*pValue);
  return eOperator == NA_OP_GREATER_OR_EQUAL ? nExtreme == 1 : nExtreme == 2;
}

// ---- Writing a leaf

int CNAExpression::_bFormatColumn(CNACommand* pclCommand, eOPEXPRESSION eOperator,
                                  CTString* pOut) {
  if (m_pclSourceQuery != nullptr && m_pclColumn->eGetTypeColonne() != 0) {
    // A column the query computes is compared as its expression, rewritten
    // for the dialect with its literals in the text; in parentheses, so that
    // the comparison applies to the whole expression.
    CTString csExpression;
    CNACommand::s_bFormatExpressionColonneCalculee(&csExpression, m_pclSourceQuery,
                                                   m_pclColumn->pszGetName(),
                                                   CNASqlElt::SQLELT_WHERE,
                                                   pclCommand->pclGetError(),
                                                   pclCommand->pclGetCnx());
    if (csExpression.nTaille() == 0) {
      // Nothing to compare with: never a condition on an empty operand.
      _RaiseNotSupported(pclCommand, kSiteComputedColumn);
      return 0;
    }
    pOut->Set(L"(", csExpression.pszGet(), L")", nullptr);
    return 1;
  }
  return pclCommand->FormatExpressionItemName(pOut, CNASqlElt::SQLELT_WHERE, eOperator, nullptr,
                                              m_pclColumn->piGetItemNoRef(),
                                              m_pclColumn->pszGetAliasNomTable(),
                                              m_pclColumn->pszGetOriginalName());
}

void CNAExpression::_RaiseNotSupported(CNACommand* pclCommand, int nSite) {
  CNAError::g_nRaise(pclCommand->pclGetError(), eNA_ERRORTYPE(0), kNAFileExpression, nSite,
                     pclCommand->pclGetCnx(), nullptr, nullptr, kErrNotSupported);
}

int CNAExpression::_bRecordNullChoice(int bNullSelected) {
  if (!_bInitNullSelection()) return 0;
  if (m_pclNullSelection->bSetColumnValuesNullSelected(m_pclColumn, bNullSelected)) return 1;
  _RaiseNoMemory(kSiteNullSet);
  return 0;
}

int CNAExpression::_bGetSQLParsedCondition(CNACommand* pclCommand, CNARecherche* pclSearch,
                                            CNARecord* pclRecord) {
  if (m_pclSourceQuery == nullptr) {
    // A node without its parsed condition has nothing to write.
    _RaiseNotSupported(pclCommand, kSiteParsedCondition);
    return 0;
  }
  // The condition's columns are those of the record it filters.
  if (m_pclSourceQuery->pclGetRecordNoRef() == nullptr && pclRecord != nullptr)
    m_pclSourceQuery->SetRecord(pclRecord);
  const unsigned int nFrom = pclCommand->nGetParameterNbr();
  // In parentheses: the condition is one operand of the AND or OR above
  // it, whatever operators of its own it holds ("a OR b" under an AND).
  const unsigned int nLength = pclCommand->nGetTextLength();
  pclCommand->bComplete(L"(", 1);
  if (!pclCommand->bAddFilterExpression(m_pclSourceQuery)) return 0;
  if (pclCommand->nGetTextLength() == nLength + 1) {
    // Nothing written: no empty parentheses either.
    pclCommand->Tronque(nLength, -1);
  } else {
    pclCommand->bComplete(L")", 1);
  }
  // The literals of the condition became parameters of the command; the
  // search holds every parameter of its condition.
  if (pclSearch != nullptr) pclSearch->GetParameterFromQuery(pclCommand, nFrom);
  return 1;
}

int CNAExpression::_bGetSQLFromValue(CNACommand* pclCommand, CNARecherche* pclSearch,
                                     int* pbConstant) {
  if (m_eOperator == NA_OP_ALWAYS_FALSE || m_eOperator == NA_OP_ALWAYS_TRUE) {
    pclCommand->bComplete(s_pszDumpOp(m_eOperator));
    return 1;
  }
  if (m_pclColumn == nullptr) {
    _RaiseNotSupported(pclCommand, kSiteNoColumn);
    return 0;
  }
  CTString csColumn;
  if (!_bFormatColumn(pclCommand, Convert_eNAOperator_To_eOPEXPRESSION(m_eOperator), &csColumn))
    return 0;

  CAny clValue;
  bool bNull = m_pclValue == nullptr || m_pclValue->vbIsEmpty() ||
               !m_pclValue->bGetValue(&clValue) || clValue.bIsNull() ||
               clValue.nGetTypeCode() == VX_NONE;
  const eNA_ITEMTYPE eType = m_pclColumn->eNAGetItemType();
  CNAConnectionDescription* pclConnection = m_pclColumn->pclGetCnx();
  if (!bNull && (eType == NA_IT_DATE6 || eType == NA_IT_DATE8) && pclConnection != nullptr &&
      pclConnection->bTreat0000DateAsNULL() && bIsTextVX(clValue.nGetTypeCode())) {
    // The engine's records hold "00000000" (or nothing) for a date that is
    // NULL.
    CXYString<wchar_t> clText;
    if (bWideText(clValue, &clText) &&
        (clText.nGetLongueur() == 0 || std::wcsncmp(clText.pszGet(), L"00000000", 8) == 0))
      bNull = true;
  }
  if (bNull || m_eOperator == NA_OP_IS_NULL || m_eOperator == NA_OP_IS_NOT_NULL)
    return _bGetSQLFromValueNULL(pclCommand, csColumn.pszGet(), pbConstant);

  int bNullSelected = 0;
  if (!m_pclColumn->bUniqueNotNull()) {
    if ((m_nFlags & (kLowerBound | kUpperBound)) != 0) {
      // A filter's bounds follow the engine: 0 and the empty text stand for
      // NULL there, so a lower bound at them keeps NULL rows, and so must
      // the upper bound that comes with it.
      bNullSelected = ((m_nFlags & kLowerBound) != 0 &&
                       (m_eOperator == NA_OP_GREATER_OR_EQUAL || m_eOperator == NA_OP_EQUAL) &&
                       bLowerBoundLetsNullThrough(m_pclValue, clValue)) ||
                      m_bNullLetThrough;
    } else if (!bNullFirst(pclConnection)) {
      bNullSelected = m_eOperator == NA_OP_GREATER || m_eOperator == NA_OP_GREATER_OR_EQUAL;
    } else {
      bNullSelected = m_eOperator == NA_OP_LESS_OR_EQUAL ||
                      (m_eOperator == NA_OP_LESS && !m_pclColumn->bNullOrEquivalent(&clValue));
    }
  }

  switch (eType) {
    case NA_IT_TEXTE:
    case NA_IT_MEMOTEXTE:
    case NA_IT_CHAR:
    case NA_IT_UNICODE:
    case NA_IT_MEMOUNICODE:
      return _bGetSQLFromValueString(pclCommand, pclSearch, csColumn.pszGet(), bNullSelected);
    case NA_IT_HEURE:
    case NA_IT_DATE8:
    case NA_IT_DATETIME:
      return _bGetSQLFromValueDateTime(pclCommand, pclSearch, csColumn.pszGet(), bNullSelected,
                                       pbConstant);
    default:
      return _bGetSQLFromValueUsingParameter(pclCommand, pclSearch, csColumn.pszGet(), 0,
                                             bNullSelected);
  }
}

int CNAExpression::_bWriteNullAlternative(CNACommand* pclCommand) {
  CTString csColumn;
  if (!_bFormatColumn(pclCommand, OPEXP_IS_NULL, &csColumn)) return 0;
  pclCommand->bComplete(L" OR ");
  pclCommand->bComplete(csColumn.pszGet());
  pclCommand->bComplete(L" IS NULL)");
  return 1;
}

int CNAExpression::_bAddParameter(CNACommand* pclCommand, CNARecherche* pclSearch,
                                  CNAConvertVariant* pclValue, CNAColumn* pclBound,
                                  unsigned int nOptions) {
  if (pclSearch != nullptr) {
    CNAParameter* pclParameter =
        pclSearch->_pclAddParameter(pclBound, pclValue, pclCommand->nGetTextLength(), nOptions);
    if (pclParameter == nullptr) return 0;
    return pclCommand->bAddParameter(pclParameter);
  }
  return pclCommand->bAddParameter(pclValue, Convert_eNAOperator_To_eOPEXPRESSION(m_eOperator),
                                   nOptions, pclBound, nullptr, 0, CNAParameter::NA_PARAM_IN);
}

int CNAExpression::_bGetSQLFromValueUsingParameter(CNACommand* pclCommand,
                                                   CNARecherche* pclSearch,
                                                   const wchar_t* pszColumn, int bLike,
                                                   int bNullSelected) {
  const eNA_ITEMTYPE eAs = pclCommand->eGetFormatExpressionColonne(
      CNASqlElt::SQLELT_WHERE, m_pclColumn->eNAGetItemType(),
      Convert_eNAOperator_To_eOPEXPRESSION(m_eOperator), nullptr);
  CAny clValue;
  m_pclValue->bGetValue(&clValue);
  // The value is converted before anything is written: a value the column
  // cannot hold is an error with nothing written.
  CInterfRef<CNAConvertVariant> clHolder(pclCommand->_vpclAllocVariant());
  CNAConvertVariant* pclHolder = clHolder.pGet();
  if (pclHolder == nullptr) return 0;
  pclHolder->InitTypeVariantAny(clValue.nGetTypeCode(), 0);
  if (!pclHolder->bSetValue(&clValue)) return 0;
  CNAColumn* pclBound = m_pclColumn;
  if (eAs != NA_IT_EMPTY) {
    // Compared as the command says (a date or time as its text): the value
    // takes that type and no longer follows the column's.
    if (!pclHolder->bChangeItemType(eAs, bIsGenerique())) {
      CXYString<wchar_t> clText;
      bWideText(clValue, &clText);
      pclHolder->_SetErrorConversionFailed(clValue.nGetTypeCode(), clText.pszGet(),
                                           kNAFileExpression, kSiteRetype);
      return 0;
    }
    pclBound = nullptr;
  } else if (pclHolder->piGetItemAnalyse() == nullptr) {
    pclHolder->SetItemDesc(m_pclColumn->piGetItemNoRef(),
                           m_pclColumn->piGetImportedItemDescNoRef());
    if (!pclHolder->bSetValue(&clValue)) return 0;
  }
  if (bLike) {
    CAny clConverted;
    pclHolder->bGetValue(&clConverted);
    CXYString<wchar_t> clText;
    if (clConverted.bIsNull() || !bWideText(clConverted, &clText)) clText.ReleaseDynStr();
    // The whole counted text is the prefix: a character 0 inside it is
    // part of the value ("a\0b" begins with "a\0b", not with "a").
    CXYStringConcat<wchar_t> clPattern(static_cast<unsigned int>(clText.nGetLongueur()) + 16);
    AppendLikeEscaped(clText.pszGet(), clText.nGetLongueur(), &clPattern);
    if (bIsGenerique()) clPattern.Add(L'%');
    if (clPattern.bEchec()) {
      _RaiseNoMemory(kSiteLikePattern);
      return 0;
    }
    if (clPattern.nGetLength() != 0 &&
        !pclHolder->bSetValue(clPattern.pszGet(), clPattern.nGetLength()))
      return 0;
  }

  if (bNullSelected) pclCommand->bComplete(L"(");
  pclCommand->bComplete(pszColumn);
  if (bLike) {
    pclCommand->bComplete(m_eOperator == NA_OP_EQUAL ? L" LIKE " : L" NOT LIKE ");
  } else {
    pclCommand->bComplete(s_pszDumpOp(m_eOperator));
  }
  const int bResult =
      _bAddParameter(pclCommand, pclSearch, pclHolder, pclBound, bLike ? kNAParamLike : 0);
  if (!bResult) return 0;
  if (bLike)
    pclCommand->vAddEscapeLike(eAs != NA_IT_EMPTY ? eAs
                                                  : m_pclColumn->eNAGetItemTypeOnDatabase());
  if (bNullSelected && !_bWriteNullAlternative(pclCommand)) return 0;
  return _bRecordNullChoice(bNullSelected) && bResult;
}

int CNAExpression::_bGetSQLFromValueString(CNACommand* pclCommand, CNARecherche* pclSearch,
                                           const wchar_t* pszColumn, int bNullSelected) {
  const eNA_ITEMTYPE eType = m_pclColumn->eNAGetItemType();
  const bool bUnicode = eType == NA_IT_UNICODE || eType == NA_IT_MEMOUNICODE;
  bool bEmpty = true;
  CAny clValue;
  if (m_pclValue != nullptr && !m_pclValue->vbIsEmpty() && m_pclValue->bGetValue(&clValue)) {
    if (bUnicode) {
      CXYString<wchar_t> clText;
      bEmpty = clValue.__nFillString(clText, nullptr) <= kVXLastSuccess && clText.nGetLongueur() == 0;
    } else {
      CXYString<char> clText;
      bEmpty = clValue.__nFillString(clText, nullptr) <= kVXLastSuccess && clText.nGetLongueur() == 0;
    }
  }
  const int bLike = bIsGenerique() && (m_eOperator == NA_OP_EQUAL || m_eOperator == NA_OP_DIFFERENT);
  if (!bEmpty || bUnicode)
    return _bGetSQLFromValueUsingParameter(pclCommand, pclSearch, pszColumn, bLike, bNullSelected);

  // The empty 8-bit text: a literal, which no code page can change.
  if (bNullSelected) pclCommand->bComplete(L"(");
  pclCommand->bComplete(pszColumn);
  if (bLike) {
    // Every text begins with the empty text. The blank keeps the keyword
    // apart from a column text ending in a letter or digit.
    pclCommand->bComplete(m_eOperator == NA_OP_EQUAL ? L" LIKE '%'" : L" NOT LIKE '%'");
  } else {
    pclCommand->bComplete(s_pszDumpOp(m_eOperator));
    pclCommand->bComplete(L"''");
  }
  if (bNullSelected && !_bWriteNullAlternative(pclCommand)) return 0;
  return _bRecordNullChoice(bNullSelected);
}

int CNAExpression::_bAddBound(CNACommand* pclCommand, CNARecherche* pclSearch,
                              const wchar_t* pszColumn, eNAOperator eOperator, const CAny* pBound) {
  CInterfRef<CNAConvertVariant> clHolder(pclCommand->_vpclGetNewVariant(m_pclColumn, pBound));
  if (!clHolder) return 0;
  pclCommand->bComplete(pszColumn);
  pclCommand->bComplete(s_pszDumpOp(eOperator));
  return _bAddParameter(pclCommand, pclSearch, clHolder.pGet(), m_pclColumn, 0);
}

int CNAExpression::_bGetSQLFromValueDateTime(CNACommand* pclCommand, CNARecherche* pclSearch,
                                             const wchar_t* pszColumn, int bNullSelected,
                                             int* pbConstant) {
  // A generic equality or difference stands for the partial text's range;
  // a generic strict comparison is a continuation beyond the range (">":
  // after it, "<": before it).
  const bool bRange = m_eOperator == NA_OP_EQUAL || m_eOperator == NA_OP_DIFFERENT;
  const bool bBeyond = m_eOperator == NA_OP_GREATER || m_eOperator == NA_OP_LESS;
  if (!bIsGenerique() || (!bRange && !bBeyond))
    return _bGetSQLFromValueUsingParameter(pclCommand, pclSearch, pszColumn, 0, bNullSelected);
  const eNA_ITEMTYPE eType = m_pclColumn->eNAGetItemType();
  if (bTimeAsText(m_pclColumn)) {
    // Compared as its digits: the prefix is a LIKE pattern, and a text
    // continuation (written by the transform as NOT LIKE and ">") compares
    // texts.
    return _bGetSQLFromValueUsingParameter(pclCommand, pclSearch, pszColumn, bRange ? 1 : 0,
                                           bNullSelected);
  }

  CAny clValue;
  m_pclValue->bGetValue(&clValue);
  CXYString<wchar_t> clText;
  if (!bWideText(clValue, &clText))
    return _bGetSQLFromValueUsingParameter(pclCommand, pclSearch, pszColumn, 0, bNullSelected);
  int nComplete = 17;
  if (eType == NA_IT_HEURE) nComplete = m_pclColumn->nGetLogicalSize();
  if (eType == NA_IT_DATE6) nComplete = 6;
  if (eType == NA_IT_DATE8) nComplete = 8;
  if (clText.nGetLongueur() >= nComplete || clText.nGetLongueur() == 0)
    return _bGetSQLFromValueUsingParameter(pclCommand, pclSearch, pszColumn, 0, bNullSelected);

  CAny clLow;
  CAny clHigh;
  const eBOUND eLow = eGetBound(eType, &clValue, &clLow, false);
  if (eLow == BOUND_NO_INSTANT || eLow == BOUND_NONE) {
    // A partial text that names no instant ("2023023", "2023a") selects
    // nothing by any reading: the caller hears it, nothing is written.
    CInterfRef<CNAConvertVariant> clHolder(pclCommand->_vpclGetNewVariant(m_pclColumn, nullptr));
    if (clHolder)
      clHolder->_SetErrorConversionFailed(clValue.nGetTypeCode(), clText.pszGet(),
                                          kNAFileExpression, kSiteBadPartialDate);
    return 0;
  }
  const bool bHigh = eLow == BOUND_MADE && eGetBound(eType, &clValue, &clHigh, true) == BOUND_MADE;
  // Constants: no instant MariaDB holds begins with the text (its range is
  // past the last instant), or nothing lies after a range that reaches the
  // last instant.
  eNAOperator eConstant = NA_OP_EMPTY;
  if (eLow == BOUND_PAST_RANGE) {
    eConstant = m_eOperator == NA_OP_EQUAL || m_eOperator == NA_OP_GREATER ? NA_OP_ALWAYS_FALSE
                                                                           : NA_OP_ALWAYS_TRUE;
  } else if (m_eOperator == NA_OP_GREATER && !bHigh) {
    eConstant = NA_OP_ALWAYS_FALSE;
  }
  if (eConstant != NA_OP_EMPTY) {
    m_eOperator = eConstant;
    *pbConstant = 1;
    return 1;
  }
  const unsigned int nLength = pclCommand->nGetTextLength();
  const unsigned int nParameters = pclCommand->nGetParameterNbr();
  int bResult;
  int bNullWritten = 0;
  if (bBeyond) {
    // After the range: from its first instant after; before it: below its
    // lower bound. NULL follows the order of the plain comparison.
    if (bNullSelected) pclCommand->bComplete(L"(");
    bResult = m_eOperator == NA_OP_GREATER
                  ? _bAddBound(pclCommand, pclSearch, pszColumn, NA_OP_GREATER_OR_EQUAL, &clHigh)
                  : _bAddBound(pclCommand, pclSearch, pszColumn, NA_OP_LESS, &clLow);
    if (bResult && bNullSelected) bResult = _bWriteNullAlternative(pclCommand);
    bNullWritten = bNullSelected;
  } else if (m_eOperator == NA_OP_EQUAL) {
    bResult = _bAddBound(pclCommand, pclSearch, pszColumn, NA_OP_GREATER_OR_EQUAL, &clLow);
    if (bHigh) {
      pclCommand->bComplete(L" AND ");
      bResult = bResult && _bAddBound(pclCommand, pclSearch, pszColumn, NA_OP_LESS, &clHigh);
    }
  } else if (!bHigh) {
    bResult = _bAddBound(pclCommand, pclSearch, pszColumn, NA_OP_LESS, &clLow);
  } else {
    // Outside [lo, hi): one condition, whatever stands around it.
    pclCommand->bComplete(L"(");
    bResult = _bAddBound(pclCommand, pclSearch, pszColumn, NA_OP_LESS, &clLow);
    pclCommand->bComplete(L" OR ");
    bResult = bResult &&
              _bAddBound(pclCommand, pclSearch, pszColumn, NA_OP_GREATER_OR_EQUAL, &clHigh);
    pclCommand->bComplete(L")");
  }
  if (!bResult) {
    // Half a range is a different condition: nothing of it stays.
    pclCommand->Tronque(nLength, static_cast<int>(nParameters));
    if (pclSearch != nullptr) pclSearch->_RemoveParameterByPos(nLength + 1);
    return 0;
  }
  return _bRecordNullChoice(bNullWritten);
}

int CNAExpression::_bGetSQLFromValueNULL(CNACommand* pclCommand, const wchar_t* pszColumn,
                                         int* pbConstant) {
  const int bFirst = bNullFirst(m_pclColumn->pclGetCnx());
  switch (m_eOperator) {
    case NA_OP_GREATER_OR_EQUAL:
    case NA_OP_LESS_OR_EQUAL:
      m_eOperator = NA_OP_ALWAYS_TRUE;
      *pbConstant = 1;
      return 1;
    case NA_OP_GREATER:
    case NA_OP_LESS:
      if ((bFirst && m_eOperator == NA_OP_LESS) || (!bFirst && m_eOperator == NA_OP_GREATER)) {
        m_eOperator = NA_OP_ALWAYS_FALSE;
        *pbConstant = 1;
        return 1;
      }
      [[fallthrough]];
    case NA_OP_IS_NOT_NULL:
    case NA_OP_DIFFERENT:
      pclCommand->bComplete(pszColumn);
      pclCommand->bComplete(L" IS NOT NULL");
      return _bRecordNullChoice(0);
    case NA_OP_EQUAL:
    case NA_OP_IS_NULL:
      pclCommand->bComplete(pszColumn);
      pclCommand->bComplete(L" IS NULL");
      return _bRecordNullChoice(1);
    default:
      return 1;
  }
}

// ---- Bounds of partial dates and times

int CNAExpression::s_bGetBorneRechercheDateMin(eNA_ITEMTYPE eType, const CAny* pValue,
                                               CAny* pResult) {
  return eGetBound(eType, pValue, pResult, false) == BOUND_MADE;
}

int CNAExpression::s_bGetBorneRechercheDateMax(eNA_ITEMTYPE eType, const CAny* pValue,
                                               CAny* pResult) {
  return eGetBound(eType, pValue, pResult, true) == BOUND_MADE;
}

int CNAExpression::s_bGetBorneRechercheDateGenerique(eNA_ITEMTYPE eType, const CAny* pValue,
                                                     CAny* pMin, CAny* pMax, int* pbMax) {
  if (pbMax != nullptr) *pbMax = 0;
  if (!s_bGetBorneRechercheDateMin(eType, pValue, pMin)) return 0;
  const int bMax = s_bGetBorneRechercheDateMax(eType, pValue, pMax);
  if (pbMax != nullptr) *pbMax = bMax;
  return 1;
}
