// CNACommand: the parameters. Binding them to places in the statement text,
// moving them when text is inserted, refreshing a parsed query's named
// parameters from the server, writing each into the formatted text as a
// literal of the connection's dialect, and LIKE patterns.
//
// WHY EVERY VALUE GOES THROUGH THE CONNECTION'S LITERAL WRITER AS IT IS. The
// writer (bConvertValueToString, the back end's _bEscapeString) writes a
// literal that keeps its value in every sql_mode. Escaping a value here
// first (doubling quotes or backslashes) would be escaped again by the
// writer and change the value, or be undone by nothing under another
// sql_mode: a value reaches the writer exactly as the program gave it.
//
// WHY LIKE PATTERNS ARE REWRITTEN WITH "!". A pattern's escape character is
// the backslash unless the caller says otherwise, and the server reads a
// backslash inside a literal as an escape unless NO_BACKSLASH_ESCAPES is on:
// written as "a\%b" without an ESCAPE clause, the pattern means "a%b" in one
// mode and "a\" + anything + "b" in the other. The pattern is therefore
// rewritten with "!" as its escape character, a character that is nothing
// special in a literal in either mode, passed to the literal writer as plain
// text, and followed by the clause ESCAPE '!'. The meaning of the pattern is
// the caller's whatever the mode of the session.
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <new>

#include "core/error_object.h"
#include "core/error_table.h"
#include "core/locale_compare.h"
#include "core/mixed_width_concat.h"
#include "core/sql_char_splitter.h"
#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/column.h"
#include "items/convert_variant.h"
#include "kq230/query_parameters_interface.h"
#include "kq230/sql_parser_interface.h"
#include "kq230/vm_values.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/parsed_query_info.h"
#include "values/any.h"

namespace {

constexpr int kNAFileCommand = 10;
constexpr int kSiteNoParameter = 1;
constexpr int kSiteNoVariant = 2;
constexpr int kSiteMissingValue = 3;
constexpr int kSiteLikeNoMemory = 4;
constexpr int kSiteEscapeNarrow = 5;
constexpr int kSiteEscapeWide = 6;
constexpr unsigned int kErrNoMemory = 12;
// "The value of the item is invalid": a user parameter without value. The
// table's text for the code names nothing; the message names the parameter.
constexpr unsigned int kErrBadValue = 44;
constexpr unsigned int kMessageParameterWithoutValue = 28638;

constexpr wchar_t kBackslash = L'\\';

bool bIsWideTextType(unsigned short n) {
  return n == VX_DSTRW || n == 20 || n == VX_CARW || n == VX_PSTRW;
}

bool bIsAnsiTextType(unsigned short n) {
  return n == VX_CARA || n == VX_PSTRA || n == VX_DSTRA || n == 21 || n == 22 || n == 23 ||
         n == 134;
}

// The statement's own ESCAPE clause at the read position: its length from
// the read position (blanks before it included), or 0 when none stands
// there. The clause's literal is one character between quotes, a doubled
// quote, or an escaped backslash ('\\').
unsigned int nOwnEscapeClause(const wchar_t* pszText, unsigned int nLength, unsigned int nRead) {
  unsigned int i = nRead;
  while (i < nLength && CNACommand::s_bEspaceSQL(pszText[i])) ++i;
  static const wchar_t kWord[] = L"ESCAPE";
  for (unsigned int k = 0; k < 6; ++k, ++i)
    if (i >= nLength || static_cast<wchar_t>(std::towupper(pszText[i])) != kWord[k]) return 0;
  while (i < nLength && CNACommand::s_bEspaceSQL(pszText[i])) ++i;
  if (i >= nLength || pszText[i] != L'\'') return 0;
  const unsigned int nRest = nLength - i;
  // 'x'
  if (nRest >= 3 && pszText[i + 1] != L'\'' && pszText[i + 2] == L'\'') return i + 3 - nRead;
  // '''' and '\\'
  if (nRest >= 4 && pszText[i + 3] == L'\'' &&
      ((pszText[i + 1] == L'\'' && pszText[i + 2] == L'\'') ||
       (pszText[i + 1] == kBackslash && pszText[i + 2] == kBackslash)))
    return i + 4 - nRead;
  return 0;
}

// The wide text of a value: texts as they are (zeros included), anything
// else as the language writes it. Counted all the way: a character 0 inside
// a text is part of it ("a\0b" never shrinks to "a").
bool bValueText(CNAConnectionDescription* pclConnection, CNAError* pclError, const CAny& clValue,
                CXYString<wchar_t>* pOut) {
  if (bIsWideTextType(clValue.nGetTypeCode()) && clValue.__nFillString(*pOut, nullptr) == 0)
    return true;
  return pclConnection->bCopyString(pclError, pOut, &clValue) != 0;
}

}  // namespace

// ---- Parameter list

unsigned int CNACommand::nGetParameterNbr() const {
  return static_cast<unsigned int>(m_clParameters.nGetNbElement());
}

CNAParameter* CNACommand::pclGetParameterNoRef(unsigned int n) const {
  // An index past the list is no parameter, never a read outside it.
  if (n >= nGetParameterNbr()) return nullptr;
  return m_clParameters[static_cast<int>(n)];
}

int CNACommand::bAddParameter(CNAParameter* pclParameter) {
  if (pclParameter == nullptr) return 0;
  if (m_clParameters.Ajoute(pclParameter)) return 1;
  CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kNAFileCommand, kSiteNoParameter,
                     m_pclConnection, nullptr, nullptr, kErrNoMemory);
  return 0;
}

int CNACommand::bAddParameter(CNAConvertVariant* pclValue, eOPEXPRESSION eOperator,
                              unsigned int nFlags, CNAColumn* pclColumn, const wchar_t* pszName,
                              wchar_t cEscape, CNAParameter::eNAPARAMETERINOUT eDirection) {
  // Counted, not measured: see m_nTextLength.
  const unsigned int nPosition = m_nTextLength;
  CNAParameter* pclParameter = nullptr;
  if (CNADriver::s_pclDriver != nullptr)
    pclParameter = static_cast<CNAParameter*>(
        CNADriver::s_pclDriver->pclAllocParameter(pclValue, nPosition, nFlags, pszName));
  if (pclParameter == nullptr) {
    CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kNAFileCommand, kSiteNoParameter,
                       m_pclConnection, nullptr, nullptr, kErrNoMemory);
    return 0;
  }
  pclParameter->AddRef();
  pclParameter->SetEscapeLike(cEscape);
  pclParameter->SetOperator(eOperator);
  pclParameter->SetDirection(eDirection);
  if (pclColumn != nullptr) pclParameter->SetColum(pclColumn);
  const int bResult = bAddParameter(pclParameter);
  pclParameter->nRelease();
  return bResult;
}

int CNACommand::bAddParameter(const CAny* pValue, eOPEXPRESSION eOperator, unsigned int nFlags,
                              CNAColumn* pclColumn, wchar_t cEscape,
                              CNAParameter::eNAPARAMETERINOUT eDirection) {
  CNAConvertVariant* pclValue = _vpclGetNewVariant(pclColumn, pValue);
  if (pclValue == nullptr) return 0;
  // Held for the call: the parameter takes its own reference, and a holder
  // nobody took dies here.
  pclValue->AddRef();
  const int bResult =
      bAddParameter(pclValue, eOperator, nFlags, pclColumn, nullptr, cEscape, eDirection);
  pclValue->nRelease();
  return bResult;
}

int CNACommand::bAddParameterReturn(CNAConvertVariant* pclValue) {
  return bAddParameter(pclValue, static_cast<eOPEXPRESSION>(-1), 0, nullptr, nullptr, 0,
                       CNAParameter::NA_PARAM_RETURN);
}

int CNACommand::_bAddParameters(CRefArray<CNAParameter>* pclParameters, unsigned int nBase,
                                eADDMMODE eMode) {
  if (pclParameters == nullptr) return 1;
  int bResult = 1;
  const int n = pclParameters->nGetNbElement();
  for (int i = 0; i < n; ++i) {
    CNAParameter* pclSource = (*pclParameters)[i];
    if (eMode == NA_ADD_CLONE) {
      CNAParameter* pclClone = pclSource->pclGetClone();
      if (pclClone == nullptr) return 0;
      pclClone->SetPosition(nBase + pclSource->nGetPosition());
      if (!bAddParameter(pclClone)) bResult = 0;
      pclClone->nRelease();
    } else {
      pclSource->SetPosition(nBase + pclSource->nGetPosition());
      if (!bAddParameter(pclSource)) bResult = 0;
    }
  }
  return bResult;
}

void CNACommand::_OffsetParameter(unsigned int nFrom, unsigned int nOffset) {
  for (int i = 0; i < m_clParameters.nGetNbElement(); ++i) {
    CNAParameter* pclParameter = m_clParameters[i];
    if (pclParameter->nGetPosition() >= nFrom)
      pclParameter->SetPosition(pclParameter->nGetPosition() + nOffset);
  }
}

int CNACommand::nGetUserParamIndice(const CNAParameter* pclParameter) const {
  if (pclParameter == nullptr) return -1;
  for (int i = 0; i < m_clParameters.nGetNbElement(); ++i) {
    const CNAParameter* p = m_clParameters[i];
    if (p->bHasFlag(kNAParamUser) && p->nGetPosition() == pclParameter->nGetPosition()) return i;
  }
  return -1;
}

CNAParameter* CNACommand::pclGetParameterByNameNoRef(const wchar_t* pszName) const {
  if (pszName == nullptr) return nullptr;
  for (int i = 0; i < m_clParameters.nGetNbElement(); ++i) {
    CNAParameter* p = m_clParameters[i];
    if (p->bHasFlag(kNAParamUser) && STR_nCompareW(p->pszGetName(), pszName, 3) == 0) return p;
  }
  return nullptr;
}

CNAConvertVariant* CNACommand::_vpclAllocVariant() {
  CNAConvertVariant* pclValue = nullptr;
  if (CNADriver::s_pclDriver != nullptr)
    pclValue = static_cast<CNAConvertVariant*>(
        CNADriver::s_pclDriver->pclAllocVariant(m_pclError, m_pclConnection));
  if (pclValue == nullptr)
    CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kNAFileCommand, kSiteNoVariant,
                       m_pclConnection, nullptr, nullptr, kErrNoMemory);
  return pclValue;
}

CNAConvertVariant* CNACommand::_vpclGetNewVariant(CNAColumn* pclColumn, const CAny* pValue) {
  CNAConvertVariant* pclValue = _vpclAllocVariant();
  if (pclValue == nullptr) return nullptr;
  // Typed after the column when there is one (its item's language type),
  // else after the value itself.
  if (pclColumn != nullptr) {
    pclColumn->bInitVariant_NV_Any(m_pclError, pclValue, 0);
  } else {
    pclValue->InitTypeVariantAny(pValue != nullptr ? pValue->nGetTypeCode() : 0, 0);
  }
  if (pValue != nullptr && !pclValue->bSetValue(pValue)) {
    pclValue->AddRef();
    pclValue->nRelease();
    return nullptr;
  }
  return pclValue;
}

// ---- Values from the server

int CNACommand::bUpdateParametersValues() {
  if (m_clParameters.nGetNbElement() == 0 || m_pclParserInfo == nullptr) return 1;
  INAQueryParametersValue* piValues = m_pclParserInfo->piGetUserBindVariable();
  if (piValues == nullptr) return 1;
  int bResult = 1;
  for (int i = 0; i < m_clParameters.nGetNbElement() && bResult; ++i) {
    CNAParameter* pclParameter = m_clParameters[i];
    if (pclParameter->bHasFlag(kNAParamUser))
      bResult = _bUpdateParameterValue(piValues, pclParameter);
  }
  piValues->Release();
  return bResult;
}

int CNACommand::_bUpdateParameterValue(CNAParameter* pclParameter) {
  if (pclParameter == nullptr || m_pclParserInfo == nullptr) return 1;
  INAQueryParametersValue* piValues = m_pclParserInfo->piGetUserBindVariable();
  if (piValues == nullptr) return 1;
  const int bResult = _bUpdateParameterValue(piValues, pclParameter);
  piValues->Release();
  return bResult;
}

int CNACommand::_bUpdateParameterValue(INAQueryParametersValue* piValues,
                                       CNAParameter* pclParameter) {
  if (pclParameter == nullptr || pclParameter->bHasFlag(kNAParamCursor)) return 1;
  CNAConvertVariant* pclHolder = pclParameter->pclGetValueNoRef();
  const CAny* pValue =
      piValues != nullptr ? piValues->pclGetParameterValue(pclParameter->pszGetName()) : nullptr;
  if (pValue == nullptr || pValue->nGetTypeCode() == VX_NONE || pclHolder == nullptr) {
    // Running the statement again with the value of an earlier run would
    // silently use old data: the parameter without value is an error.
    _RaiseParameterWithoutValue(pclParameter->pszGetName());
    return 0;
  }
  const unsigned short nNew = pValue->nGetTypeCode();
  const unsigned short nOld = pclHolder->nGetVXType();
  if (nNew != nOld && !(bIsAnsiTextType(nNew) && bIsAnsiTextType(nOld)) &&
      !(bIsWideTextType(nNew) && bIsWideTextType(nOld)))
    pclHolder->InitTypeVariantAny(nNew, 0);
  return pclHolder->bSetValue(pValue);
}

void CNACommand::_RaiseParameterWithoutValue(const wchar_t* pszName) {
  if (m_pclError == nullptr) return;
  // The code stays 44 (callers test it), with the table's detail and level
  // for it; the user message is the parameter's own, which names it.
  _CXErrorModule76 clError;
  clError.SetUserErrorCode(kErrBadValue);
  if (const _stErrorDef* pRow = ErrorDef_pFind(&gstMyModuleInfo76, kErrBadValue)) {
    clError.SetDetailId(pRow->nDetailId);
    clError.SetErrorLevel(static_cast<CXError::eERRORLEVEL>(pRow->nLevel));
  } else {
    clError.SetErrorLevel(CXError::EL_ERROR);
  }
  clError.AddUserMessage(&gstMyModuleInfo76, kMessageParameterWithoutValue,
                         pszName != nullptr ? pszName : L"");
  const int nNative = static_cast<int>(kErrBadValue);
  clError.AddInfo(CXError::EIT_NATIVECODE, &nNative);
  CNAError::g_AddDebugInfo(&clError, kNAFileCommand, kSiteMissingValue);
  m_pclError->AddError(eNA_ERRORTYPE(0), &clError, m_pclConnection);
}

// ---- Value classes

int CNACommand::VXType2eParamType(unsigned short nVXType) {
  switch (nVXType) {
    case 1:
      return NA_PTC_BOOLEAN;
    case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 9: case 14:
      return NA_PTC_INTEGER;
    case 10: case 13:
      return NA_PTC_MONEY;
    case 11: case 12:
      return NA_PTC_REAL;
    case 16: case 17: case 18: case 19: case 81: case 110:
      return NA_PTC_TEXT;
    case 24: case 25: case 26: case 27: case 128: case 129:
      return NA_PTC_DATE;
    case 28: case 29:
      return NA_PTC_BINARY;
    default:
      return 0;
  }
}

int CNACommand::_bNeedParameterConversionToString(const CNAVariant* pclValue,
                                                  ePARAMTYPECONV eMode) const {
  if (eMode == NA_PTC_NONE || pclValue == nullptr) return 0;
  const CAny* pAny = pclValue->pclGetValue();
  const unsigned short nType = pAny->nGetTypeCode();
  const int nClass = VXType2eParamType(nType);
  if ((static_cast<int>(eMode) & nClass) == nClass) return 1;
  const bool bText = (nType >= 16 && nType <= 23) || nType == 81 || nType == 110 || nType == 134;
  return bText && pclValue->nGetUtilDataSize() == 0;
}

int CNACommand::_bNeedParameterConversionToString(const CNAParameter* pclParameter,
                                                  ePARAMTYPECONV eMode) const {
  if (pclParameter == nullptr) return 0;
  return _bNeedParameterConversionToString(pclParameter->pclGetValueNoRef(), eMode);
}

// ---- Writing parameters into the formatted text

int CNACommand::_bAddParameterFormated(CNAParameter* pclParameter, ePARAMTYPECONV eMode,
                                       unsigned int* pnRead) {
  eNA_ITEMTYPE eDatabase = NA_IT_EMPTY;
  eNA_ITEMTYPE eAnalysis = NA_IT_EMPTY;
  int bLoaded = 1;
  if (pclParameter->bHasFlag(kNAParamFile)) {
    const bool bText = pclParameter->bHasFlag(kNAParamFileText);
    bLoaded = pclParameter->bLoadFile(m_pclError);
    pclParameter->bGetVXTypeInfo(&eDatabase, &eAnalysis);
    if (eAnalysis == NA_IT_EMPTY) eAnalysis = bText ? NA_IT_MEMOTEXTE : NA_IT_MEMOBINAIRE;
  } else {
    pclParameter->bGetVXTypeInfo(&eDatabase, &eAnalysis);
  }
  // A file that could not be read never goes as its name.
  if (!bLoaded) return 0;
  if (pclParameter->bHasFlag(kNAParamLike))
    return _bAddParameterFormatedLike(pclParameter, eDatabase, eAnalysis, eMode, pnRead);
  return _bAddParameterFormated(pclParameter, eDatabase, eAnalysis, eMode, pnRead);
}

int CNACommand::_bAppendLiteral(CTStringConcatAW* pclLiteral) {
  if (!m_clFormated.bWideMode() && !pclLiteral->bWideMode() &&
      m_clFormated.nGetMode() == pclLiteral->nGetMode()) {
    // The bytes the server receives, as the writer made them.
    m_clFormated._Invalidate();
    return m_clFormated._Ansi().Add(pclLiteral->_Ansi().pszGet(),
                                    static_cast<int>(pclLiteral->_Ansi().nGetLength()));
  }
  const wchar_t* pszWide = pclLiteral->pszGetW();
  return m_clFormated.Add(pszWide, static_cast<int>(std::wcslen(pszWide)));
}

int CNACommand::_bAddParameterFormated(CNAParameter* pclParameter, eNA_ITEMTYPE eDatabase,
                                       eNA_ITEMTYPE eAnalysis, ePARAMTYPECONV, unsigned int*) {
  if (pclParameter->bHasFlag(kNAParamUser) && !_bUpdateParameterValue(pclParameter)) return 0;
  CNAConvertVariant* pclHolder = pclParameter->pclGetValueNoRef();
  CAny clValue;
  if (pclHolder != nullptr && !pclHolder->bGetValue(&clValue)) return 0;
  if (eAnalysis == NA_IT_EMPTY && pclHolder != nullptr) eAnalysis = pclHolder->eNAGetItemTypeValue();
  CTStringConcatAW clLiteral(m_clFormated.nGetMode(), m_clFormated.nGetCodePage());
  if (!m_pclConnection->bConvertValueToString(m_pclError, &clLiteral, &clValue, eDatabase,
                                              eAnalysis, 0, 0))
    return 0;
  return _bAppendLiteral(&clLiteral);
}

int CNACommand::s_bTranslateLikePattern(const wchar_t* pszPattern, unsigned int nLength,
                                        wchar_t cFrom, CTString* pOut) {
  pOut->Vide();
  CXYStringConcat<wchar_t> clOut(nLength + 16);
  if (!s_bTranslateLikePattern(pszPattern, nLength, cFrom, &clOut)) return 0;
  if (clOut.nGetLength() > 0) pOut->SetFromBinary(clOut.pszGet(), clOut.nGetLength());
  return 1;
}

int CNACommand::s_bTranslateLikePattern(const wchar_t* pszPattern, unsigned int nLength,
                                        wchar_t cFrom, CXYStringConcat<wchar_t>* pOut) {
  if (cFrom == 0) cFrom = kBackslash;
  if (pszPattern == nullptr) return 1;
  CXYStringConcat<wchar_t>& clOut = *pOut;
  // A character that must match itself.
  auto literal = [&clOut](wchar_t c) {
    if (c == kLikeEscape || c == L'%' || c == L'_') clOut.Add(kLikeEscape);
    clOut.Add(c);
  };
  for (unsigned int i = 0; i < nLength; ++i) {
    const wchar_t c = pszPattern[i];
    if (c == cFrom) {
      const wchar_t cNext = i + 1 < nLength ? pszPattern[i + 1] : 0;
      if (i + 1 < nLength && (cNext == L'%' || cNext == L'_' || cNext == cFrom)) {
        literal(cNext);
        ++i;
      } else {
        // An escape character before anything else stands for itself.
        literal(c);
      }
    } else if (c == kLikeEscape) {
      literal(c);
    } else {
      clOut.Add(c);
    }
  }
  return clOut.bEchec() ? 0 : 1;
}

int CNACommand::_bWriteLikeLiteral(CNAParameter* pclParameter, const CAny* pValue,
                                   eNA_ITEMTYPE, eNA_ITEMTYPE eAnalysis, CTStringConcatAW* pOut) {
  if (pValue->bIsNull() || pValue->nGetTypeCode() == VX_NONE)
    return m_pclConnection->bConvertValueToString(m_pclError, pOut, pValue, 0, eAnalysis, 0, 0);
  // Counted from the value to the literal: a pattern holding a character 0
  // goes whole (the literal writer makes it a hexadecimal literal).
  CXYString<wchar_t> clText;
  if (!bValueText(m_pclConnection, m_pclError, *pValue, &clText)) return 0;
  const unsigned int nText = static_cast<unsigned int>(clText.nGetLongueur());
  CXYStringConcat<wchar_t> clPattern(nText + 16);
  if (!s_bTranslateLikePattern(clText.pszGet(), nText, pclParameter->cGetEscapeLike(),
                               &clPattern)) {
    CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kNAFileCommand, kSiteLikeNoMemory,
                       m_pclConnection, nullptr, nullptr, kErrNoMemory);
    return 0;
  }
  const wchar_t* pszPattern = clPattern.pszGet();
  unsigned int nPattern = clPattern.nGetLength();
  CXYStringConcat<wchar_t> clBracket(nPattern + 16);
  if (m_pclConnection->nGetServerKind() == 2) {
    // That dialect reads "[" as a character class: "[[]" is the bracket.
    for (unsigned int i = 0; i < nPattern; ++i) {
      if (pszPattern[i] == L'[')
        clBracket.Add(L"[[]", 3);
      else
        clBracket.Add(pszPattern[i]);
    }
    if (clBracket.bEchec()) {
      CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kNAFileCommand, kSiteLikeNoMemory,
                         m_pclConnection, nullptr, nullptr, kErrNoMemory);
      return 0;
    }
    pszPattern = clBracket.pszGet();
    nPattern = clBracket.nGetLength();
  }
  // The pattern is plain text now: the writer quotes it, nothing else. No
  // target type: a pattern is a text even against a numeric column.
  CAny clPatternValue;
  clPatternValue.__SetType(VX_DSTRW, 0);
  clPatternValue.SetValueByte(pszPattern, nPattern * static_cast<unsigned int>(sizeof(wchar_t)));
  return m_pclConnection->bConvertValueToString(m_pclError, pOut, &clPatternValue, 0,
                                                eAnalysis != NA_IT_EMPTY ? eAnalysis
                                                                         : NA_IT_UNICODE,
                                                0, 0);
}

int CNACommand::_bAddParameterFormatedLike(CNAParameter* pclParameter, eNA_ITEMTYPE eDatabase,
                                           eNA_ITEMTYPE eAnalysis, ePARAMTYPECONV,
                                           unsigned int* pnRead) {
  if (pclParameter->bHasFlag(kNAParamUser) && !_bUpdateParameterValue(pclParameter)) return 0;
  CNAConvertVariant* pclHolder = pclParameter->pclGetValueNoRef();
  CAny clValue;
  if (pclHolder != nullptr && !pclHolder->bGetValue(&clValue)) return 0;
  return vbAddEscapedLikeValue(pclParameter, &clValue, eDatabase, eAnalysis, pnRead);
}

int CNACommand::vbAddEscapedLikeValue(CNAParameter* pclParameter, CAny* pValue,
                                      eNA_ITEMTYPE eDatabase, eNA_ITEMTYPE eAnalysis,
                                      unsigned int* pnRead) {
  CTStringConcatAW clLiteral(m_clFormated.nGetMode(), m_clFormated.nGetCodePage());
  const int bResult = _bWriteLikeLiteral(pclParameter, pValue, eDatabase, eAnalysis, &clLiteral);
  if (bResult && !_bAppendLiteral(&clLiteral)) return 0;
  if (bResult) vAddEscapeLikeIfNeeded(pclParameter, clLiteral.pszGetW(), pnRead);
  return bResult;
}

void CNACommand::vAddEscapeLikeIfNeeded(CNAParameter*, const wchar_t*, unsigned int* pnRead) {
  // The pattern was rewritten with "!": a clause of the statement's own,
  // written for the pattern's former escape character, is left out.
  if (pnRead != nullptr) {
    // The wide form is built once per formatted text (the statement text
    // does not change meanwhile) and its length is read, not measured: a
    // statement of many LIKE parameters stays linear.
    const wchar_t* pszText = m_clText.pszGetW();
    const unsigned int nLength = m_clText._Wide().nGetLength();
    if (*pnRead < nLength) *pnRead += nOwnEscapeClause(pszText, nLength, *pnRead);
  }
  m_clFormated.Add(L" ESCAPE '!'", 11);
}

// ---- Literal matches

int CNACommand::bEscapeLIKEParamAsZBParam(CXYString<wchar_t>* pOut, const wchar_t* pszText,
                                          wchar_t cEscape) {
  if (pOut == nullptr) return 0;
  if (cEscape == 0) cEscape = kBackslash;
  const size_t n = pszText != nullptr ? std::wcslen(pszText) : 0;
  if (n > 0x3FFFFFF0 || pOut->nSetLength(static_cast<int>(2 * n + 12)) != 0) {
    CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kNAFileCommand, kSiteEscapeWide,
                       m_pclConnection, nullptr, nullptr, kErrNoMemory);
    return 0;
  }
  wchar_t* p = pOut->pGetData();
  size_t k = 0;
  for (size_t i = 0; i < n; ++i) {
    const wchar_t c = pszText[i];
    if (c == L'%' || c == L'_' || c == cEscape) p[k++] = cEscape;
    p[k++] = c;
  }
  pOut->SetUtilLength(static_cast<int>(k));
  return 1;
}

int CNACommand::bEscapeLIKEParamAsZBParam(CXYString<char>* pOut, const char* pszText,
                                          char cEscape) {
  if (pOut == nullptr) return 0;
  if (cEscape == 0) cEscape = '\\';
  const size_t n = pszText != nullptr ? std::strlen(pszText) : 0;
  if (n > 0x3FFFFFF0 || pOut->nSetLength(static_cast<int>(2 * n + 3)) != 0) {
    CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kNAFileCommand, kSiteEscapeNarrow,
                       m_pclConnection, nullptr, nullptr, kErrNoMemory);
    return 0;
  }
  // The text is in the language's code page: a second byte of a double-byte
  // character that happens to be "_" or the escape character is part of
  // its character, never escaped.
  int nCodePage = m_pclConnection->nGetLanguageCodePage();
  if (nCodePage < 0) nCodePage = STR_nGetCurrentCodePage();
  const CSqlCharSplitter clSplitter(nCodePage);
  char* p = pOut->pGetData();
  size_t k = 0;
  const char* pEnd = pszText + n;
  for (size_t i = 0; i < n;) {
    const int nBytes = clSplitter.nBytesAt(pszText + i, pEnd);
    if (nBytes > 1) {
      for (int b = 0; b < nBytes; ++b) p[k++] = pszText[i++];
      continue;
    }
    const char c = pszText[i++];
    if (c == '%' || c == '_' || c == cEscape) p[k++] = cEscape;
    p[k++] = c;
  }
  pOut->SetUtilLength(static_cast<int>(k));
  return 1;
}
