// CNACommand: the object, its texts, its defines, the formatted text and the
// trace. Parameters: command_parameters.cc; clauses and names:
// command_clauses.cc.
#include "sqlbuilder/command.h"

#include <cwchar>
#include <new>

#include "core/error_object.h"
#include "core/error_table.h"
#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/column.h"
#include "items/column_null_selection.h"
#include "items/convert_variant.h"
#include "items/define.h"
#include "items/record.h"
#include "kq230/vm_values.h"
#include "sqlbuilder/parsed_query_info.h"
#include "values/any.h"

namespace {

// Debug sites of this file.
constexpr int kNAFileCommand = 10;
constexpr int kSiteNullExclusion = 10;
constexpr int kSiteTextCodePage = 11;
constexpr unsigned int kErrNoMemory = 12;
// A statement text the connection's code page cannot hold is refused as a
// name of it is (user code 44); the message names the character.
constexpr unsigned int kErrBadValue = 44;
constexpr unsigned int kMessageTextOutsideCodePage = 28640;

// Host query types.
constexpr int kHostSelect1 = 1;
constexpr int kHostSelect2 = 2;
constexpr int kHostUpdate = 3;
constexpr int kHostInsert = 4;
constexpr int kHostType5 = 5;
constexpr int kHostType6 = 6;
constexpr int kHostType7 = 7;

// The primary form of the connection's texts: wide when its code page says
// so, else 8-bit in that code page; the second code page is the language's.
int nTextMode(const CNAConnectionDescription* pclConnection) {
  return pclConnection->nGetConnectionCodePage();
}
int nTextCodePage(const CNAConnectionDescription* pclConnection) {
  return pclConnection->nGetLanguageCodePage();
}

}  // namespace

int eConvertTypeQuery(eTYPEREQUETE eType) {
  switch (static_cast<int>(eType)) {
    case kHostSelect1:
    case kHostSelect2:
      return NA_CMD_SELECT;
    case kHostUpdate:
      return NA_CMD_UPDATE;
    case kHostInsert:
      return NA_CMD_INSERT;
    case kHostType5:
      return NA_CMD_HOST5;
    default:
      return NA_CMD_OTHER;
  }
}

CNACommand::CNACommand(CNAError* pclError, CNAConnectionDescription* pclConnection)
    : m_pclError(pclError),
      m_pclConnection(pclConnection),
      m_clText(nTextMode(pclConnection), nTextCodePage(pclConnection)),
      m_clSelectList(nTextMode(pclConnection), nTextCodePage(pclConnection)),
      m_clFormated(nTextMode(pclConnection), nTextCodePage(pclConnection)),
      m_clDump(nTextMode(pclConnection), nTextCodePage(pclConnection)) {
  if (m_pclError != nullptr) m_pclError->AddRef();
  KQAddRef(m_pclConnection);
  m_bServerKind5 = pclConnection->nGetServerKind() == kServerKindMariaDB ? 1 : 0;
}

CNACommand::~CNACommand() {
  m_clDefines.SupprimeTout();
  m_clParameters.SupprimeTout();
  delete m_pclNullExcluded;
  KQRelease(m_pclParserInfo);
  if (m_pclError != nullptr) m_pclError->nRelease();
  KQRelease(m_pclConnection);
}

// ---- Kind and parsed query

void CNACommand::SetQueryType(eTYPEREQUETE eType) {
  switch (static_cast<int>(eType)) {
    case kHostType6:
      m_eKind = NA_CMD_NO_RESULT;
      break;
    case kHostType7:
      m_eKind = NA_CMD_HOST7;
      break;
    case 0:
      m_eKind = NA_CMD_OTHER;
      break;
    default:
      m_eKind = eConvertTypeQuery(eType);
  }
}

void CNACommand::_SetSQLParserInfo(CSQLParserInfo* pclInfo) {
  KQAddRef(pclInfo);
  KQRelease(m_pclParserInfo);
  m_pclParserInfo = pclInfo;
  if (pclInfo == nullptr) return;
  if (!m_bQueryRewrite) {
    if (m_eKind == NA_CMD_NONE) m_eKind = eConvertTypeQuery(pclInfo->eGetTypeRequete());
  } else if (s_bIsQuerySet(pclInfo->pszGetRequete())) {
    m_eKind = NA_CMD_SET;
  }
}

int CNACommand::bSetInternalQuery(const wchar_t* pszText, unsigned int nLength) {
  const int bResult = bComplete(pszText, nLength);
  m_nDefineMode = 3;
  return bResult;
}

// ---- Texts

int CNACommand::bIsEmpty() { return m_clText.bEstVide(); }

int CNACommand::bComplete(const wchar_t* pszText, unsigned int nLength) {
  if (pszText == nullptr) return 1;
  const int n = nLength == static_cast<unsigned int>(-1)
                    ? static_cast<int>(std::wcslen(pszText))
                    : static_cast<int>(nLength);
  if (n <= 0) return 1;
  _CheckCodePage(pszText, n);
  if (m_bQueryRewrite && !m_clFormated.bEstVide()) m_clFormated.Add(pszText, n);
  _AddToText(pszText, n);
  return 1;
}

void CNACommand::_CheckCodePage(const wchar_t* pszText, int n) {
  if (m_nOutsideCodePage != 0) return;
  unsigned int nRefused = 0;
  if (!s_bTextFitsCodePage(pszText, n, m_pclConnection->nGetConnectionCodePage(), &nRefused))
    m_nOutsideCodePage = nRefused != 0 ? nRefused : 0xFFFD;
}

void CNACommand::_RaiseTextOutsideCodePage() {
  s_RaiseTextOutsideCodePage(m_pclError, m_pclConnection, m_nOutsideCodePage, kSiteTextCodePage);
}

void CNACommand::s_RaiseTextOutsideCodePage(CNAError* pclError,
                                            CNAConnectionDescription* pclConnection,
                                            unsigned int nCharacter, int nSite) {
  if (pclError == nullptr) return;
  // The code stays 44 with the table's detail and level for it; the user
  // message is the refusal's own, which names the character.
  _CXErrorModule76 clError;
  clError.SetUserErrorCode(kErrBadValue);
  if (const _stErrorDef* pRow = ErrorDef_pFind(&gstMyModuleInfo76, kErrBadValue)) {
    clError.SetDetailId(pRow->nDetailId);
    clError.SetErrorLevel(static_cast<CXError::eERRORLEVEL>(pRow->nLevel));
  } else {
    clError.SetErrorLevel(CXError::EL_ERROR);
  }
  wchar_t szCharacter[16];
  std::swprintf(szCharacter, 16, L"%04X", nCharacter);
  clError.AddUserMessage(&gstMyModuleInfo76, kMessageTextOutsideCodePage, szCharacter,
                         pclConnection != nullptr ? pclConnection->nGetConnectionCodePage() : 0);
  const int nNative = static_cast<int>(kErrBadValue);
  clError.AddInfo(CXError::EIT_NATIVECODE, &nNative);
  CNAError::g_AddDebugInfo(&clError, kNAFileCommand, nSite);
  pclError->AddError(eNA_ERRORTYPE(0), &clError, pclConnection);
}

void CNACommand::_AddToText(const wchar_t* pszText, int n) {
  if (pszText == nullptr || n <= 0) return;
  const unsigned int nBefore = m_clText.nGetLength();
  m_clText.Add(pszText, n);
  // Each wide character becomes one character of the primary form (one the
  // code page lacks becomes "?"), or the append gave nothing at all.
  if (m_clText.nGetLength() != nBefore) m_nTextLength += static_cast<unsigned int>(n);
}

void CNACommand::_SetText(const wchar_t* pszText, unsigned int n) {
  m_clText.Vide();
  m_nTextLength = 0;
  _AddToText(pszText, static_cast<int>(n));
}

void CNACommand::_CompleteFormatedSQL(const wchar_t* pszText, int nLength) {
  if (pszText == nullptr) return;
  if (nLength < 0) nLength = static_cast<int>(std::wcslen(pszText));
  _CheckCodePage(pszText, nLength);
  m_clFormated.Add(pszText, nLength);
}

void CNACommand::_AddSpaceBetween(wchar_t cNext) {
  const unsigned int n = m_clFormated.nGetLength();
  if (n == 0 || cNext == L' ') return;
  if (m_clFormated.bIsCharSpace(static_cast<int>(n) - 1)) return;
  m_clFormated.Add(L" ", 1);
}

const wchar_t* CNACommand::pszGetOriginalSQL() { return m_clText.pszGetW(); }
const char* CNACommand::pszGetOriginalSQLA() { return m_clText.pszGetA(); }

CTStringConcatAW* CNACommand::pclGetFormatedSQL(ePARAMTYPECONV eMode) {
  if (m_nOutsideCodePage != 0) {
    // The 8-bit form would carry "?" in the character's place: another
    // statement than the one written.
    _RaiseTextOutsideCodePage();
    return nullptr;
  }
  if (m_clFormated.bEstVide()) {
    if (!_bBuildFormatedSQL(eMode) || m_clFormated.bEchec()) {
      // A text missing a parameter must never run: the next request builds
      // it again.
      m_clFormated.Vide();
      return nullptr;
    }
  }
  return &m_clFormated;
}

const wchar_t* CNACommand::pszGetFormatedSQL(ePARAMTYPECONV eMode) {
  CTStringConcatAW* pcl = pclGetFormatedSQL(eMode);
  return pcl != nullptr ? pcl->pszGetW() : nullptr;
}

const char* CNACommand::pszGetFormatedSQLA(ePARAMTYPECONV eMode) {
  CTStringConcatAW* pcl = pclGetFormatedSQL(eMode);
  return pcl != nullptr ? pcl->pszGetA() : nullptr;
}

void CNACommand::ResetFormatedSQL() { m_clFormated.Vide(); }

void CNACommand::Insert(unsigned int nPosition, const wchar_t* pszText) {
  if (pszText == nullptr) return;
  const int n = static_cast<int>(std::wcslen(pszText));
  if (n == 0) return;
  _CheckCodePage(pszText, n);
  // Positions are wide characters: insert into the wide form.
  CTStringConcatAW clWide(kConcatModeWide, m_clText.nGetCodePage());
  clWide.Add(m_clText.pszGetW());
  clWide.Insert(pszText, n, static_cast<int>(nPosition));
  const wchar_t* pszNew = clWide.pszGetW();
  _SetText(pszNew, static_cast<unsigned int>(std::wcslen(pszNew)));
  if (m_bQueryRewrite && !m_clFormated.bEstVide()) {
    CTStringConcatAW clFormated(kConcatModeWide, m_clFormated.nGetCodePage());
    clFormated.Add(m_clFormated.pszGetW());
    clFormated.Insert(pszText, n, static_cast<int>(nPosition));
    m_clFormated.Vide();
    m_clFormated.Add(clFormated.pszGetW());
  }
  _OffsetParameter(nPosition, static_cast<unsigned int>(n));
}

void CNACommand::Replace(unsigned int nPosition, unsigned int nCount, const wchar_t* pszText) {
  if (pszText == nullptr) pszText = L"";
  const unsigned int nNew = static_cast<unsigned int>(std::wcslen(pszText));
  _CheckCodePage(pszText, static_cast<int>(nNew));
  CTString clText(m_clText.pszGetW());
  const unsigned int nLength = static_cast<unsigned int>(clText.nTaille());
  if (nPosition > nLength) return;
  if (nCount > nLength - nPosition) nCount = nLength - nPosition;
  clText.Coupe(static_cast<int>(nPosition), static_cast<int>(nCount));
  clText.Insert(pszText, static_cast<int>(nNew), static_cast<int>(nPosition));
  _SetText(clText.pszGet(), static_cast<unsigned int>(clText.nTaille()));
  // Moves by the difference, wrapping as an unsigned offset when the text
  // shrinks.
  _OffsetParameter(nPosition, nNew - nCount);
}

void CNACommand::Tronque(unsigned int nLength, int nParameter) {
  CTString clText(m_clText.pszGetW());
  if (nLength < static_cast<unsigned int>(clText.nTaille())) {
    clText.Tronque(static_cast<int>(nLength));
    _SetText(clText.pszGet(), static_cast<unsigned int>(clText.nTaille()));
  }
  if (nParameter < 0) {
    while (m_clParameters.nGetNbElement() > 0) {
      const int nLast = m_clParameters.nGetNbElement() - 1;
      if (m_clParameters[nLast]->nGetPosition() < nLength) break;
      m_clParameters.Supprime(nLast, 1);
    }
  } else if (nParameter < m_clParameters.nGetNbElement()) {
    m_clParameters.Supprime(nParameter, m_clParameters.nGetNbElement() - nParameter);
  }
}

int CNACommand::bAddReturning(const wchar_t* pszText) {
  // A clause lost to a refused allocation must not be reported as written.
  return bComplete(L" RETURNING ", 11) && bComplete(pszText) ? 1 : 0;
}

int CNACommand::bAddRecordLock() {
  const wchar_t* pszHint = m_pclConnection->pszGetNoLockHint();
  if (pszHint != nullptr && pszHint[0] != 0) return bComplete(L" ", 1) && bComplete(pszHint) ? 1 : 0;
  return 1;
}

int CNACommand::bCompleteWithNumber(int n) {
  CTString clNumber;
  clNumber.SetI4(n);
  return bComplete(clNumber.pszGet());
}

void CNACommand::ResetCommand(int bKeepParameters) {
  m_clDefines.SupprimeTout();
  m_clText.Vide();
  m_nTextLength = 0;
  m_nOutsideCodePage = 0;
  m_clFormated.Vide();
  if (!bKeepParameters) m_clParameters.SupprimeTout();
  m_llRowLimit = -1;
  m_llRowOffset = -1;
}

int CNACommand::bAdd(CNACommand* pclOther, eADDMMODE eMode) {
  if (pclOther == nullptr) return 1;
  const unsigned int nBase = m_nTextLength;
  // The other text has already lost the character its code page lacked.
  if (m_nOutsideCodePage == 0) m_nOutsideCodePage = pclOther->m_nOutsideCodePage;
  if (!bComplete(pclOther->pszGetOriginalSQL())) return 0;
  const int bResult = _bAddParameters(&pclOther->m_clParameters, nBase, eMode);
  if (!bResult) return 0;
  for (int i = 0; i < pclOther->m_clDefines.nGetNbElement(); ++i)
    if (!m_clDefines.Ajoute(pclOther->m_clDefines[i])) return 0;
  return bResult;
}

void CNACommand::_GetMotifVariableDebut(wchar_t* pszOut, unsigned int nSize) {
  if (pszOut == nullptr || nSize == 0) return;
  std::wcsncpy(pszOut, L"{", nSize);
  pszOut[nSize - 1] = 0;
}

void CNACommand::_GetMotifVariableFin(wchar_t* pszOut, unsigned int nSize) {
  if (pszOut == nullptr || nSize == 0) return;
  std::wcsncpy(pszOut, L"}", nSize);
  pszOut[nSize - 1] = 0;
}

// ---- Select list and defines

int CNACommand::_bAddColumnInSelect(const wchar_t* pszText) {
  if (m_clDefines.nGetNbElement() > 0) bComplete(L",", 1);
  return bComplete(pszText);
}

int CNACommand::bAddSelectColumn(CNAColumn* pclColumn, int nSelectMode) {
  if (pclColumn == nullptr) return 0;
  const wchar_t* pszName = pclColumn->pszGetFormatedSelectName(nSelectMode);
  if (pszName == nullptr || pszName[0] == 0) return 0;
  if (!_bAddColumnInSelect(pszName)) return 0;
  return AddDefine(pclColumn);
}

int CNACommand::bAddSelectColumns(CNARecord* pclRecord, int nSelectMode) {
  if (pclRecord == nullptr) return 1;
  const int nColumns = pclRecord->nGetColumnNbr();
  for (int i = 0; i < nColumns; ++i) {
    CNAColumn* pclColumn = pclRecord->pclGetColumnNoRef(i);
    if (pclColumn == nullptr || !pclColumn->bMustDefine(m_nDefineMode)) continue;
    if (!bAddSelectColumn(pclColumn, nSelectMode)) return 0;
  }
  return 1;
}

int CNACommand::bAddSelectAdditionnalColumn(const wchar_t* pszText, CNAConvertVariant* pclValue) {
  if (!_bAddColumnInSelect(pszText)) return 0;
  return AddDefine(pszText, pclValue);
}

int CNACommand::bAddSelectAdditionnalColumn(const wchar_t* pszText, unsigned short nVXType) {
  CNAConvertVariant* pclValue = _vpclAllocVariant();
  if (pclValue == nullptr) return 0;
  pclValue->InitTypeVariantAny(nVXType, 0);
  pclValue->AddRef();
  const int bResult = bAddSelectAdditionnalColumn(pszText, pclValue);
  pclValue->nRelease();
  return bResult;
}

int CNACommand::bAddSelectAdditionalColumnInQueryFormat(const wchar_t* pszText,
                                                        CNAConvertVariant* pclValue) {
  if (!m_clSelectList.bEstVide()) m_clSelectList.Add(L",", 1);
  if (pszText != nullptr) {
    _CheckCodePage(pszText, static_cast<int>(std::wcslen(pszText)));
    m_clSelectList.Add(pszText);
  }
  AddDefine(pszText, pclValue);
  return 1;
}

int CNACommand::AddDefine(CNAColumn* pclColumn) {
  auto* pclDefine = new (std::nothrow) CNADefine(pclColumn);
  if (pclDefine == nullptr) return 0;
  pclDefine->AddRef();
  const int bResult = m_clDefines.Ajoute(pclDefine);
  pclDefine->nRelease();
  return bResult;
}

int CNACommand::AddDefine(const wchar_t* pszName, CNAConvertVariant* pclValue) {
  auto* pclDefine = new (std::nothrow) CNADefine(pszName, pclValue);
  if (pclDefine == nullptr) return 0;
  pclDefine->AddRef();
  const int bResult = m_clDefines.Ajoute(pclDefine);
  pclDefine->nRelease();
  return bResult;
}

unsigned int CNACommand::nGetDefineNbr() const {
  return static_cast<unsigned int>(m_clDefines.nGetNbElement());
}

CNADefine* CNACommand::pclGetDefineNoRef(unsigned int n) const {
  if (n >= nGetDefineNbr()) return nullptr;
  return m_clDefines[static_cast<int>(n)];
}

// ---- The formatted text

int CNACommand::_bBuildFormatedSQL(ePARAMTYPECONV eMode) {
  if (!m_clFormated.bEstVide()) return 1;
  // The statement text may change under a parameter's writing (it does
  // not, but the copy keeps the reading independent of it).
  const CTString clText(m_clText.pszGetW());
  const unsigned int nLength = static_cast<unsigned int>(clText.nTaille());
  const wchar_t* pszText = clText.pszGet();
  unsigned int nRead = 0;
  int bResult = 1;
  for (int i = 0; i < m_clParameters.nGetNbElement() && bResult; ++i) {
    CNAParameter* pclParameter = m_clParameters[i];
    unsigned int nPosition = pclParameter->nGetPosition();
    // A position past the text (a text cut behind the parameter's back)
    // writes the parameter at the end.
    if (nPosition > nLength) nPosition = nLength;
    if (nPosition < nRead) nPosition = nRead;
    _AddSpaceBetween(nRead < nLength ? pszText[nRead] : 0);
    if (nPosition > nRead) m_clFormated.Add(pszText + nRead, static_cast<int>(nPosition - nRead));
    nRead = nPosition;
    bResult = _bAddParameterFormated(pclParameter, eMode, &nRead);
    if (nRead > nLength) nRead = nLength;
  }
  if (!bResult) return 0;
  if (nRead < nLength) {
    _AddSpaceBetween(pszText[nRead]);
    m_clFormated.Add(pszText + nRead, static_cast<int>(nLength - nRead));
  }
  const int nKind = m_pclConnection->nGetServerKind();
  if (nKind >= 1 && nKind <= 3) {
    _RemplaceLimitParTop();
  } else if (nKind == 5 || nKind == 6) {
    _RemplaceTopParLimit();
  }
  return m_clFormated.bEchec() ? 0 : bResult;
}

// ---- Trace

const wchar_t* CNACommand::pszGetCommandDump() {
  if (!m_clDump.bEstVide()) return m_clDump.pszGetW();
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  auto label = [pclDriver](int eLabel) -> CTString {
    if (pclDriver != nullptr) return CTString(pclDriver->pszGetQueryDumpLabel(eLabel));
    return CNADriver::g_csGetQueryDumpLabel(eLabel);
  };
  m_clDump.Add(label(NAQDL_QUERY_TEXT).pszGet());
  m_clDump.Add(m_clText.pszGetW());
  m_clDump.Add(L"\r\n");
  m_clDump.Add(label(NAQDL_PARAMETER_COUNT).pszGet());
  m_clDump.Add(L"=");
  m_clDump.AddNumber(m_clParameters.nGetNbElement(), -1);
  m_clDump.Add(L"\r\n");
  const CTString csParameter = label(NAQDL_PARAMETER);
  const CTString csType = label(NAQDL_LANGUAGE_TYPE);
  const CTString csFailure = label(NAQDL_CONVERSION_FAILURE);
  for (int i = 0; i < m_clParameters.nGetNbElement(); ++i) {
    CNAParameter* pclParameter = m_clParameters[i];
    m_clDump.Add(csParameter.pszGet());
    m_clDump.Add(L" ");
    m_clDump.AddNumber(i, -1);
    m_clDump.Add(L" :\t");
    if (pclParameter->bHasFlag(kNAParamCursor)) {
      m_clDump.Add(L" = <cursor parameter>>\r\n");
      continue;
    }
    CNAConvertVariant* pclValue = pclParameter->pclGetValueNoRef();
    CAny clValue;
    if (pclValue != nullptr) pclValue->bGetValue(&clValue);
    m_clDump.Add(csType.pszGet());
    m_clDump.AddNumber(pclValue != nullptr ? static_cast<int>(pclValue->nGetVXType()) : 0, -1);
    m_clDump.Add(L" = <");
    if (pclValue != nullptr && pclValue->nGetVXType() == VX_BUFFER) {
      m_clDump.Add(L"Buffer, size = ");
      m_clDump.AddNumber(static_cast<int>(pclValue->nGetSize()), -1);
    } else {
      CAny clText(clValue);
      const wchar_t* pszText = nullptr;
      if (!clValue.bIsNull() && clValue.nGetTypeCode() != VX_NONE &&
          (clText.__nCastToString(&pszText, nullptr) >= 100 || clText.bIsNull()))
        pszText = nullptr;
      m_clDump.Add(pszText != nullptr ? pszText : csFailure.pszGet());
    }
    m_clDump.Add(L">\r\n");
  }
  return m_clDump.pszGetW();
}

// ---- NULL exclusion

int CNACommand::_bInitColumnNullValueExcluded() {
  if (m_pclNullExcluded != nullptr) return 1;
  m_pclNullExcluded = new (std::nothrow) CColumnNullValueExcluded();
  if (m_pclNullExcluded != nullptr) return 1;
  CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kNAFileCommand, kSiteNullExclusion,
                     m_pclConnection, nullptr, nullptr, kErrNoMemory);
  return 0;
}

int CNACommand::bColumnValuesNullSelected(const CNAColumn* pclColumn) {
  if (m_pclNullExcluded == nullptr) return 1;
  return m_pclNullExcluded->bColumnValuesNullSelected(pclColumn);
}

int CNACommand::bCopyColumnValuesNullSelected(CColumnNullValueExcluded* pclSource) {
  if (pclSource == nullptr) {
    if (m_pclNullExcluded != nullptr) m_pclNullExcluded->Reset();
    return 1;
  }
  if (!_bInitColumnNullValueExcluded()) return 0;
  return m_pclNullExcluded->bCopyColumnValuesNullSelected(pclSource, 0);
}

int CNACommand::bCombineColumnValuesNullSelected(eNAOperator eOperator,
                                                 CColumnNullValueExcluded* pclOther) {
  if (pclOther != nullptr && m_pclNullExcluded == nullptr && !_bInitColumnNullValueExcluded())
    return 0;
  if (m_pclNullExcluded == nullptr) return 1;
  return m_pclNullExcluded->bCombineColumnValuesNullSelected(eOperator, pclOther);
}
