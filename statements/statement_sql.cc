#include "statements/statement_sql.h"

#include <climits>
#include <cwchar>
#include <new>

#include "core/mixed_width_concat.h"
#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "driver/query_dump.h"
#include "items/code_page_converters.h"
#include "items/convert_variant.h"
#include "kq230/tab_val_parser.h"
#include "kq230/vm_values.h"
#include "sqlbuilder/command.h"
#include "values/any.h"

namespace {

// Sites of the debug line of this file's errors.
constexpr int kSitePastCount = 1;
constexpr int kSiteNegative = 2;
constexpr int kSiteRowAtEnd = 3;
constexpr int kSiteTextOutsideCodePage = 4;
constexpr int kSiteNoError = 5;

// The query dump's header.
constexpr unsigned int kMsgDumpHeader = 28588;
// A failed execution that left no native error behind.
constexpr unsigned int kErrQueryFailed = 54;

// Parameter flags: the value names a file; with kFlagText too, a text file.
constexpr unsigned int kParamFile = 0x01;
constexpr unsigned int kParamFileText = 0x11;

const wchar_t* pszOrEmpty(const wchar_t* psz) { return psz != nullptr ? psz : L""; }

// A wide text of n characters as a language value of type 110.
void SetWideText(CAny* pValue, const wchar_t* psz, size_t n) {
  pValue->DestroyContent();
  pValue->SetTypeWord(0);
  pValue->__SetType(VX_PSTRW, 0);
  pValue->SetValueByte(psz, static_cast<unsigned int>(n * sizeof(wchar_t)));
}

// The text of a language value, appended (a NULL value adds nothing).
void AppendText(CXYStringConcat<wchar_t>* pclOut, const CAny& v) {
  if (v.bIsNull()) return;
  CAny clCopy(v);
  CXYString<wchar_t> clText;
  clCopy.__nFillString(clText, nullptr);
  if (clText.pszGet() != nullptr && clText.nGetLongueur() > 0)
    pclOut->Add(clText.pszGet(), clText.nGetLongueur());
  clText.ReleaseDynStr();
}

}  // namespace

unsigned int CNAStatementSQL::m_gnStmtGenerator = 0;

int CNAStatementSQL::g_nNextStmtNumber() {
  // Kept within the positive ints: a handle read back as an int is never
  // negative, and never 0.
  if (m_gnStmtGenerator >= static_cast<unsigned int>(INT_MAX)) m_gnStmtGenerator = 0;
  return static_cast<int>(++m_gnStmtGenerator);
}

CNAStatementSQL::CNAStatementSQL(CNAConnectionDescription* pclConnection, CNAError* pclError)
    : m_pclError(pclError), m_pclConnection(pclConnection), m_nNumber(g_nNextStmtNumber()) {
  if (m_pclConnection != nullptr) m_pclConnection->AddRef();
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNAStatementSQL::~CNAStatementSQL() {
  if (m_pclValue != nullptr) m_pclValue->nRelease();
  _FreeTabNAColumn();
  if (m_pclConnection != nullptr) m_pclConnection->nRelease();
  if (m_pclError != nullptr) m_pclError->nRelease();
}

int CNAStatementSQL::_nRaise(int nSite, unsigned int nCode) {
  return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), kErrorFile, nSite, m_pclConnection,
                            nullptr, nullptr, nCode);
}

// ---------------------------------------------------------------------------
// Columns

int CNAStatementSQL::bGetColumnNbr(int* pnCount, unsigned int) {
  if (pnCount != nullptr) *pnCount = m_nColumnCount;
  return 1;
}

CNAColumnSQL* CNAStatementSQL::pclGetNAColumnSQL(int i) {
  if (i < 0) {
    _nRaise(kSiteNegative, kErrColumnNegative);
    return nullptr;
  }
  if (i >= m_nColumnCount) {
    _nRaise(kSitePastCount, kErrColumnPastCount);
    return nullptr;
  }
  if (m_pTabColumns == nullptr && !_bInitTabNAColumn()) return nullptr;
  if (m_pTabColumns == nullptr) return nullptr;
  return &m_pTabColumns[i];
}

CNAColumnSQL* CNAStatementSQL::_pclGetColumnNoError(int i) const {
  if (m_pTabColumns == nullptr || i < 0 || i >= m_nColumnCount) return nullptr;
  return &m_pTabColumns[i];
}

eNA_ITEMTYPE CNAStatementSQL::_eGetColumnType(int i) {
  CNAColumnSQL* pclColumn = pclGetNAColumnSQL(i);
  return pclColumn != nullptr ? pclColumn->eGetItemType() : NA_IT_EMPTY;
}

const wchar_t* CNAStatementSQL::_pszGetColumnName(int i) {
  CNAColumnSQL* pclColumn = pclGetNAColumnSQL(i);
  return pclColumn != nullptr ? pclColumn->pszGetName() : nullptr;
}

int CNAStatementSQL::bGetColumnName(CAny* pValue, int i, unsigned int) {
  const wchar_t* pszName = _pszGetColumnName(i);
  if (pszName == nullptr) return 0;
  SetWideText(pValue, pszName, std::wcslen(pszName));
  return 1;
}

int CNAStatementSQL::bGetColumnList(CAny* pValue, unsigned int) {
  if (m_nColumnCount == 0) return 1;
  CXYStringConcat<wchar_t> clList(1024);
  for (int i = 0; i < m_nColumnCount; ++i) {
    const wchar_t* pszName = _pszGetColumnName(i);
    if (pszName == nullptr) return 0;
    if (i > 0) clList.Add(L"\r\n", 2);
    clList.Add(pszName, static_cast<int>(std::wcslen(pszName)));
  }
  if (clList.bEchec()) {
    if (m_pclError != nullptr) m_pclError->pclGetLastXError()->SetErrorNoMemory();
    return 0;
  }
  pValue->DestroyContent();
  pValue->SetTypeWord(0);
  pValue->__SetType(VX_DSTRW, 0);
  pValue->SetValueByte(clList.pszGet(), clList.nGetLength() * sizeof(wchar_t));
  return 1;
}

// ---------------------------------------------------------------------------
// Values and rows

CNAConvertVariant* CNAStatementSQL::_pclGetValueHolder() {
  if (m_pclValue != nullptr) return m_pclValue;
  void* p = CNADriver::s_pclDriver != nullptr
                ? CNADriver::s_pclDriver->pclAllocVariant(m_pclError, m_pclConnection)
                : nullptr;
  if (p == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetLastXError()->SetErrorNoMemory();
    return nullptr;
  }
  m_pclValue = static_cast<CNAConvertVariant*>(p);
  m_pclValue->AddRef();
  return m_pclValue;
}

int CNAStatementSQL::_bGetValueAs(CAny* pValue, unsigned int nColumn, unsigned int nFlags,
                                  unsigned short nVXType) {
  CNAConvertVariant* pclHolder = _pclGetValueHolder();
  if (pclHolder == nullptr) return 0;
  pclHolder->InitTypeVariantAny(nVXType, 0);
  if (!bGetValue(pclHolder, nColumn, nFlags)) return 0;
  return pclHolder->bGetValue(pValue);
}

int CNAStatementSQL::bGetValue(CAny* pValue, unsigned int nColumn, unsigned int nFlags) {
  return _bGetValueAs(pValue, nColumn, nFlags, VX_DSTRW);
}

int CNAStatementSQL::bGetBLOBValue(CAny* pValue, unsigned int nColumn, unsigned int nFlags) {
  return _bGetValueAs(pValue, nColumn, nFlags, VX_BIN);
}

int CNAStatementSQL::bGetRow(CXYStringConcat<wchar_t>* pclOut, const wchar_t* pszSeparator,
                             int nCount, unsigned int nFlags) {
  if (m_bEndOfData) return _nRaise(kSiteRowAtEnd, kErrNoCurrentRow);
  pclOut->Tronque(0);
  int nColumns = m_nColumnCount;
  if (nCount > 0 && nCount < nColumns) nColumns = nCount;
  CNAConvertVariant* pclHolder = _pclGetValueHolder();
  if (pclHolder == nullptr) return 0;
  pclHolder->InitTypeVariantAny(VX_DSTRW, 0);
  if (nColumns == 0) return 1;
  const bool bSeparator = pszSeparator != nullptr && *pszSeparator != L'\0';
  const int nSeparator = bSeparator ? static_cast<int>(std::wcslen(pszSeparator)) : 0;
  int bResult = 1;
  for (int i = 0; i < nColumns; ++i) {
    if (i > 0 && bSeparator) pclOut->Add(pszSeparator, nSeparator);
    bResult = bGetValue(pclHolder, static_cast<unsigned int>(i), nFlags);
    if (!bResult) break;
    CAny clValue;
    if (pclHolder->bGetValue(&clValue)) AppendText(pclOut, clValue);
  }
  if (pclOut->bEchec()) {
    if (m_pclError != nullptr) m_pclError->pclGetLastXError()->SetErrorNoMemory();
    return 0;
  }
  return bResult;
}

int CNAStatementSQL::bGetRow(CAny* pValue, const wchar_t* pszSeparator, int nCount,
                             unsigned int nFlags) {
  CXYStringConcat<wchar_t> clRow(1024);
  const int bResult = bGetRow(&clRow, pszSeparator, nCount, nFlags);
  SetWideText(pValue, clRow.nGetLength() > 0 ? clRow.pszGet() : L"", clRow.nGetLength());
  return bResult;
}

// ---------------------------------------------------------------------------
// Running

int CNAStatementSQL::bPrepareSQL(CTStringConcatAW*) { return 0; }
int CNAStatementSQL::bExecutePreparedQuery(NA_WRITEPARSEFLAGS) { return 0; }
int CNAStatementSQL::bGetAffected_rows(unsigned long long*) { return 0; }
int CNAStatementSQL::bFetch(unsigned int) { return 0; }
int CNAStatementSQL::bDataSeek(long long) { return 0; }
int CNAStatementSQL::bGetValue(CNAConvertVariant*, unsigned int, unsigned int) { return 0; }
int CNAStatementSQL::_bExecuteDirect(const char*, const CTabValParser*, NA_WRITEPARSEFLAGS) {
  return 0;
}

int CNAStatementSQL::bExecuteDirect(const char* pszText, NA_WRITEPARSEFLAGS nFlags) {
  if (!bReset()) return 0;
  return _bExecuteDirect(pszText, nullptr, nFlags);
}

int CNAStatementSQL::bExecuteDirect(const wchar_t* pszText, const CTabValParser* pclParser,
                                    NA_WRITEPARSEFLAGS nFlags) {
  if (!bReset()) return 0;
  const int nParameters = pclParser != nullptr ? pclParser->nGetMarqueurNbr() : 0;
  if (pclParser == nullptr || nParameters == 0 || pszText == nullptr)
    return _bExecuteDirect(pszText, pclParser, nFlags);
  const int nCodePage =
      m_pclConnection != nullptr ? m_pclConnection->nGetConnectionCodePage() : kCodePageWide;
  const int nLanguage = m_pclConnection != nullptr ? m_pclConnection->nGetLanguageCodePage() : -1;
  CTStringConcatAW clText(nCodePage, nLanguage);
  const int nTextLength = static_cast<int>(std::wcslen(pszText));
  int nEnd = 0;
  for (int i = 0; i < nParameters; ++i) {
    CAny clValue;
    int nStart = 0, nLength = 0;
    if (!_bGetParameter(&clValue, &nStart, &nLength, pclParser, i)) return 0;
    // Positions come from the parser of this very text; a table that does
    // not fit it must not make us read outside it.
    if (nStart < nEnd || nLength < 0 || nStart > nTextLength || nLength > nTextLength - nStart)
      return _nRaise(kSiteNoError, kErrQueryFailed);
    clText.Add(pszText + nEnd, nStart - nEnd);
    nEnd = nStart + nLength;
    if (!_bAddParameter(&clText, static_cast<unsigned int>(i), &clValue)) return 0;
  }
  clText.Add(pszText + nEnd, nTextLength - nEnd);
  if (clText.bEchec()) {
    if (m_pclError != nullptr) m_pclError->pclGetLastXError()->SetErrorNoMemory();
    return 0;
  }
  return _bExecuteDirect(&clText, pclParser, nFlags);
}

int CNAStatementSQL::_bGetParameter(CAny* pValue, int* pnStart, int* pnLength,
                                    const CTabValParser* pclParser, int nIndex) {
  const _stTabValMarqueur* pstMarker =
      pclParser != nullptr ? pclParser->pstGetMarqueur(nIndex) : nullptr;
  if (pstMarker == nullptr) return 0;
  *pnStart = pstMarker->nDebut;
  *pnLength = pstMarker->nLongueur;
  // A marker without a value (given by the server at run time) writes NULL.
  if (pstMarker->pclValeur != nullptr) *pValue = *pstMarker->pclValeur;
  if ((pstMarker->dwFlags & kParamFile) == 0) return 1;
  CAny clPath(*pValue);
  CXYString<wchar_t> clText;
  if (!clPath.bIsNull()) clPath.__nFillString(clText, nullptr);
  CTString csPath(clText.pszGet() != nullptr ? clText.pszGet() : L"");
  clText.ReleaseDynStr();
  const int bBinary = (pstMarker->dwFlags & kParamFileText) == kParamFileText ? 0 : 1;
  return CNAVariant::gbLoadFile(pValue, csPath.pszGet(), m_pclError, bBinary);
}

int CNAStatementSQL::_bAddParameter(CTStringConcatAW* pclText, unsigned int, const CAny* pValue) {
  if (m_pclConnection == nullptr) return 0;
  CTStringConcatAW clLiteral(m_pclConnection->nGetConnectionCodePage(),
                             m_pclConnection->nGetLanguageCodePage());
  const int bResult =
      m_pclConnection->bConvertValueToString(m_pclError, &clLiteral, pValue, 0, 0, 0, 0);
  if (!bResult) return 0;
  if (pclText->nGetMode() == kConcatModeWide || pclText->nGetMode() != clLiteral.nGetMode()) {
    const wchar_t* psz = clLiteral.pszGetW();
    pclText->Add(psz, static_cast<int>(std::wcslen(psz)));
  } else {
    pclText->Add(clLiteral.pszGetA(), static_cast<int>(clLiteral.nGetLength()),
                 static_cast<unsigned int>(clLiteral.nGetMode()));
  }
  return bResult;
}

int CNAStatementSQL::_bExecuteDirect(CTStringConcatAW* pclText, const CTabValParser* pclParser,
                                     NA_WRITEPARSEFLAGS nFlags) {
  if (pclText->nGetMode() == kConcatModeWide)
    return _bExecuteDirect(pclText->pszGetW(), pclParser, nFlags);
  return _bExecuteDirect(pclText->pszGetA(), pclParser, nFlags);
}

int CNAStatementSQL::_bExecuteDirect(const wchar_t* pszText, const CTabValParser* pclParser,
                                     NA_WRITEPARSEFLAGS nFlags) {
  if (m_pclConnection == nullptr) return 0;
  const int nCodePage = m_pclConnection->nGetConnectionCodePage();
  if (nCodePage == kCodePageWide) return 0;
  if (pszText == nullptr) return _bExecuteDirect(static_cast<const char*>(nullptr), pclParser, nFlags);
  const int nLength = static_cast<int>(std::wcslen(pszText));
  unsigned int nRefused = 0;
  if (!CNACommand::s_bTextFitsCodePage(pszText, nLength, nCodePage, &nRefused)) {
    CNACommand::s_RaiseTextOutsideCodePage(m_pclError, m_pclConnection,
                                           nRefused != 0 ? nRefused : 0xFFFD,
                                           kSiteTextOutsideCodePage);
    return 0;
  }
  CNACodePageCnvIN clText(pszText, nLength, nCodePage);
  const char* psz = clText.pszGetForDB();
  if (clText.bFailed()) {
    if (m_pclError != nullptr) m_pclError->pclGetLastXError()->SetErrorNoMemory();
    return 0;
  }
  return _bExecuteDirect(psz != nullptr ? psz : "", pclParser, nFlags);
}

int CNAStatementSQL::bGetRequestedValue(CAny* pValue, unsigned int nColumn,
                                        const wchar_t* pszText) {
  int bResult = bExecuteDirect(pszText, nullptr, 0);
  if (bResult) bResult = bFetch(0);
  if (bResult && !m_bEndOfData) bResult = bGetValue(pValue, nColumn, 0);
  bReset();
  return bResult;
}

// ---------------------------------------------------------------------------
// Errors

int CNAStatementSQL::bGetStmtLastError(INAError** ppiError) {
  if (ppiError != nullptr) *ppiError = m_pclError;
  return 1;
}

void CNAStatementSQL::ResetLastError() {
  if (m_pclError != nullptr) m_pclError->Reset();
}

int CNAStatementSQL::_bInitLastError(unsigned int nFile, unsigned int nSite) {
  if (m_pclConnection == nullptr) return 0;
  return m_pclConnection->bInitError(m_pclError, nFile, nSite);
}

void CNAStatementSQL::_InitExecuteError(unsigned int nFile, unsigned int nSite,
                                        const wchar_t* pszQuery, int, unsigned int) {
  // A failure that left no native error still must not pass for success.
  if (!_bInitLastError(nFile, nSite)) _nRaise(kSiteNoError, kErrQueryFailed);
  _DumpQueryInError(pszQuery, -1);
}

void CNAStatementSQL::_DumpQueryInError(const wchar_t* pszQuery, int nChars) {
  if (m_pclError == nullptr) return;
  const wchar_t* pszDataBase = nullptr;
  const wchar_t* pszDefault = nullptr;
  const wchar_t* pszUser = nullptr;
  if (m_pclConnection != nullptr) {
    pszDataBase = m_pclConnection->pszGetDataBase();
    pszDefault = m_pclConnection->pszGetDefaultDataBase();
    pszUser = m_pclConnection->pszGetUserName();
  }
  m_pclError->AddDebugMessage(kMsgDumpHeader, pszOrEmpty(pszDataBase), pszOrEmpty(pszDefault),
                              pszOrEmpty(pszUser));
  const wchar_t* psz = pszOrEmpty(pszQuery);
  size_t n = std::wcslen(psz);
  if (nChars >= 0 && static_cast<size_t>(nChars) < n) n = static_cast<size_t>(nChars);
  if (n > static_cast<size_t>(kDumpMaxChars)) n = kDumpMaxChars;
  CTString csQuery(psz, static_cast<int>(n));
  CTString csMasked;
  QueryDump_MaskSecrets(&csMasked, csQuery.pszGet());
  m_pclError->AddDebugMessageNoFormat(csMasked.pszGet());
}

// ---------------------------------------------------------------------------
// State

int CNAStatementSQL::bReset() {
  _bCloseParse();
  m_llRowCount = -1;
  m_llCurrentRow = -1;
  m_nColumnCount = 0;
  _FreeTabNAColumn();
  m_bEndOfData = 1;
  m_nResultWord = 0;
  return 1;
}

int CNAStatementSQL::_bCloseParse() {
  m_bResultOpen = 0;
  return 1;
}

int CNAStatementSQL::_bInitTabNAColumn() { return 0; }

void CNAStatementSQL::_SetColumnCount(int nCount) {
  _FreeTabNAColumn();
  m_nColumnCount = nCount < 0 ? 0 : nCount;
}

int CNAStatementSQL::_bAllocTabNAColumn() {
  _FreeTabNAColumn();
  if (m_nColumnCount == 0) return 1;
  m_pTabColumns = new (std::nothrow) CNAColumnSQL[static_cast<unsigned int>(m_nColumnCount)];
  if (m_pTabColumns == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  return 1;
}

CNAColumnSQL* CNAStatementSQL::_pclGetColumnForFill(int i) {
  if (m_pTabColumns == nullptr || i < 0 || i >= m_nColumnCount) return nullptr;
  return &m_pTabColumns[i];
}

void CNAStatementSQL::_FreeTabNAColumn() {
  delete[] m_pTabColumns;
  m_pTabColumns = nullptr;
}

void CNAStatementSQL::SetStreamMode(int) {}
