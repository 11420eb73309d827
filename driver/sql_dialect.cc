// The SQL dialect hooks of the connection description: name quoting, the
// connection's native information in errors, and the base behaviour of the
// hooks that the back end may replace, and the connection's transaction.
// The literals, casts and dates are in sql_literals.cc; hooks that need the
// handle-level SQL interface answer the "not built yet" placeholder.
#include "driver/sql_dialect.h"

#include <climits>
#include <cwchar>

#include "core/error_object.h"
#include "core/mixed_width_concat.h"
#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "driver/transaction_interface.h"
#include "values/any.h"

namespace {

// Site numbers of the hooks' raises (file kNAFileConnection).
constexpr int kSiteDiagnose = 3;
constexpr int kSiteCommitNone = 1;    // point 1.1: commit without a transaction
constexpr int kSiteRollBackNone = 2;  // point 1.2: rollback without a transaction
constexpr int kSiteBeginLost = 5;     // begin while a lost transaction is not ended

int nLength(const wchar_t* psz) { return static_cast<int>(std::wcslen(psz)); }

bool bStartsWith(const wchar_t* pszText, const wchar_t* pszPrefix, int nPrefix) {
  return std::wcsncmp(pszText, pszPrefix, nPrefix) == 0;
}

bool bIsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// The text between two positions with its blanks around removed.
CTString csTrimmed(const wchar_t* pBegin, const wchar_t* pEnd) {
  while (pBegin < pEnd && bIsBlank(*pBegin)) ++pBegin;
  while (pEnd > pBegin && bIsBlank(pEnd[-1])) --pEnd;
  return CTString(pBegin, static_cast<int>(pEnd - pBegin));
}

}  // namespace

// ---------------------------------------------------------------------------
// Name helpers

int SqlName_nQuotedLength(const wchar_t* pszText, const wchar_t* pszOpening,
                          const wchar_t* pszClosing) {
  int nOpen = nLength(pszOpening);
  int nClose = nLength(pszClosing);
  if (nOpen == 0 || nClose == 0 || !bStartsWith(pszText, pszOpening, nOpen)) return 0;
  const wchar_t* p = pszText + nOpen;
  while (*p != L'\0') {
    if (bStartsWith(p, pszClosing, nClose)) {
      if (bStartsWith(p + nClose, pszClosing, nClose)) {
        p += 2 * nClose;  // a doubled closing quote belongs to the name
        continue;
      }
      return static_cast<int>(p + nClose - pszText);
    }
    ++p;
  }
  return 0;  // never closed
}

bool SqlName_bIsQuoted(const wchar_t* pszName, const wchar_t* pszOpening,
                       const wchar_t* pszClosing) {
  // An empty body is no identifier: the server refuses it, so such a name is
  // quoted like any other text.
  int n = SqlName_nQuotedLength(pszName, pszOpening, pszClosing);
  return n > nLength(pszOpening) + nLength(pszClosing) && pszName[n] == L'\0';
}

void SqlName_AddQuoted(CTString* pOut, const wchar_t* pszName, int n, const wchar_t* pszOpening,
                       const wchar_t* pszClosing) {
  int nClose = nLength(pszClosing);
  pOut->Add(pszOpening);
  const wchar_t* pEnd = pszName + n;
  for (const wchar_t* p = pszName; p < pEnd;) {
    if (nClose > 0 && pEnd - p >= nClose && bStartsWith(p, pszClosing, nClose)) {
      pOut->Add(pszClosing);
      pOut->Add(pszClosing);
      p += nClose;
    } else {
      pOut->Add(*p++);
    }
  }
  pOut->Add(pszClosing);
}

void SqlName_Unquote(CTString* pOut, const wchar_t* pszName, const wchar_t* pszOpening,
                     const wchar_t* pszClosing) {
  if (!SqlName_bIsQuoted(pszName, pszOpening, pszClosing)) {
    if (pOut->pszGet() != pszName) pOut->Set(pszName);
    return;
  }
  int nOpen = nLength(pszOpening);
  int nClose = nLength(pszClosing);
  const wchar_t* pEnd = pszName + nLength(pszName) - nClose;
  CTString csBody;
  for (const wchar_t* p = pszName + nOpen; p < pEnd;) {
    if (bStartsWith(p, pszClosing, nClose)) {
      csBody.Add(pszClosing);
      p += 2 * nClose;
    } else {
      csBody.Add(*p++);
    }
  }
  pOut->Transfert(csBody);
}

void SqlDialect_MaskProvider(CTString* pOut, const wchar_t* pszProvider) {
  if (pszProvider == nullptr) {
    pOut->Set(L"NULL");
    return;
  }
  CTString csOut;
  const wchar_t* p = pszProvider;
  for (;;) {
    const wchar_t* pEnd = std::wcschr(p, L';');
    if (pEnd == nullptr) pEnd = p + nLength(p);
    const wchar_t* pEqual = std::wmemchr(p, L'=', static_cast<size_t>(pEnd - p));
    bool bSecret = false;
    if (pEqual != nullptr) {
      CTString csName = csTrimmed(p, pEqual);
      bSecret = wcscasecmp(csName.pszGet(), L"password") == 0 ||
                wcscasecmp(csName.pszGet(), L"pwd") == 0;
    }
    if (bSecret) {
      csOut.Add(p, static_cast<int>(pEqual + 1 - p));
      csOut.Add(kMaskedValue);
    } else {
      csOut.Add(p, static_cast<int>(pEnd - p));
    }
    if (*pEnd == L'\0') break;
    csOut.Add(L';');
    p = pEnd + 1;
  }
  pOut->Transfert(csOut);
}

// ---------------------------------------------------------------------------
// Names of the connection

int CNAConnectionDescription::s_bReservedSQLWord(const wchar_t* pszWord) {
  return pszWord != nullptr && wcscasecmp(pszWord, L"GROUP") == 0;
}

int CNAConnectionDescription::s_bNeedFormat_Oracle(const wchar_t* pszName) {
  if (pszName == nullptr || pszName[0] == L'[' || pszName[0] == L'"') return 0;
  if (pszName[0] == L'_') return 1;
  if (std::wcspbrk(pszName, L" \u00B0-") != nullptr) return 1;
  return s_bReservedSQLWord(pszName);
}

int CNAConnectionDescription::_bNeedFormatName(CNAError*, const wchar_t* pszName) {
  if (m_nOpeningQuoteLength == 0 && m_nClosingQuoteLength == 0) return 0;
  if (m_nServerKind == 1) return s_bNeedFormat_Oracle(pszName);
  if (m_nOpeningQuoteLength == 0 || m_nClosingQuoteLength == 0) return 1;
  return SqlName_bIsQuoted(pszName, m_csOpeningQuote.pszGet(), m_csClosingQuote.pszGet()) ? 0
                                                                                          : 1;
}

int CNAConnectionDescription::bFormatItemName(CNAError* pclError, const wchar_t* pszName,
                                              CTString* pOut) {
  if (pszName == nullptr) pszName = L"";
  if (!_bNeedFormatName(pclError, pszName)) {
    if (pOut->pszGet() != pszName) pOut->Set(pszName);
    return 1;
  }
  CTString csOut;
  SqlName_AddQuoted(&csOut, pszName, nLength(pszName), m_csOpeningQuote.pszGet(),
                    m_csClosingQuote.pszGet());
  pOut->Transfert(csOut);
  return 1;
}

int CNAConnectionDescription::bFormatTableName(CNAError* pclError, const wchar_t* pszName,
                                               CTString* pOut) {
  if (pszName == nullptr) pszName = L"";
  if (!_bNeedFormatName(pclError, pszName)) {
    if (pOut->pszGet() != pszName) pOut->Set(pszName);
    return 1;
  }
  CTString csOut;
  bool bFirst = true;
  SqlName_bForEachPart(pszName, m_csOpeningQuote.pszGet(), m_csClosingQuote.pszGet(),
                       [&](const wchar_t* pPart, int n) {
                         if (!bFirst) csOut.Add(L'.');
                         bFirst = false;
                         CTString csPart(pPart, n);
                         if (_bNeedFormatName(pclError, csPart.pszGet()))
                           SqlName_AddQuoted(&csOut, pPart, n, m_csOpeningQuote.pszGet(),
                                             m_csClosingQuote.pszGet());
                         else
                           csOut.Add(csPart.pszGet());
                         return true;
                       });
  pOut->Transfert(csOut);
  return 1;
}

void CNAConnectionDescription::UnFormatItemName(const wchar_t* pszName, CTString* pOut) {
  if (pszName == nullptr) pszName = L"";
  if (m_nOpeningQuoteLength == 0 || m_nClosingQuoteLength == 0) {
    if (pOut->pszGet() != pszName) pOut->Set(pszName);
    return;
  }
  SqlName_Unquote(pOut, pszName, m_csOpeningQuote.pszGet(), m_csClosingQuote.pszGet());
}

int CNAConnectionDescription::bExtractOwner(const wchar_t* pszOwner, const wchar_t* pszName,
                                            CTString* pOwner, CTString* pTable) {
  if (pszName == nullptr) pszName = L"";
  if (pszOwner != nullptr && *pszOwner != L'\0') {
    pOwner->Set(pszOwner);
    pTable->Set(pszName);
    return 1;
  }
  const wchar_t* pDot = std::wcschr(pszName, L'.');
  if (pDot == nullptr) {
    pOwner->Vide();
    pTable->Set(pszName);
  } else {
    pOwner->Set(pszName, static_cast<unsigned int>(pDot - pszName));
    pTable->Set(pDot + 1);
  }
  return 1;
}

void CNAConnectionDescription::DecomposeTableName(CTString* pFirst, CTString* pSecond,
                                                  CTString* pTable, const wchar_t* pszName) {
  pFirst->Vide();
  pSecond->Vide();
  pTable->Vide();
  if (pszName == nullptr) return;
  const wchar_t* pEnd = pszName + nLength(pszName);
  const wchar_t* pDot1 = std::wcschr(pszName, L'.');
  if (pDot1 == nullptr) {
    *pTable = csTrimmed(pszName, pEnd);
    return;
  }
  const wchar_t* pDot2 = std::wcschr(pDot1 + 1, L'.');
  if (pDot2 == nullptr) {
    *pSecond = csTrimmed(pszName, pDot1);
    *pTable = csTrimmed(pDot1 + 1, pEnd);
    return;
  }
  *pFirst = csTrimmed(pszName, pDot1);
  *pSecond = csTrimmed(pDot1 + 1, pDot2);
  *pTable = csTrimmed(pDot2 + 1, pEnd);
}

// ---------------------------------------------------------------------------
// Native information

namespace {

void AddLine(CXError* pclError, int eLabel, const wchar_t* pszValue) {
  CTString csLine = CNADriver::g_csGetQueryDumpLabel(eLabel);
  csLine.Add(pszValue != nullptr ? pszValue : L"NULL");
  pclError->AddDebugMessageNoFormat(csLine.pszGet());
}

void AddNumberLine(CXError* pclError, int eLabel, int n) {
  CTString csValue;
  csValue.SetI4(n);
  AddLine(pclError, eLabel, csValue.pszGet());
}

void AddCodePageLine(CXError* pclError, int eLabel, int n) {
  if (n == kCodePageUnset) return;
  if (n == kCodePageWide)
    AddLine(pclError, eLabel, L"UTF-16");
  else if (n == 65001)
    AddLine(pclError, eLabel, L"UTF-8");
  else
    AddNumberLine(pclError, eLabel, n);
}

}  // namespace

void CNAConnectionDescription::AddInfoNative(CNAError* pclError) {
  if (pclError != nullptr) AddInfoNativeXError(pclError->pclGetXError());
}

void CNAConnectionDescription::AddInfoNativeXError(CXError* pclError) {
  if (pclError == nullptr) return;
  if (m_csClientVersion.nTaille() > 0)
    pclError->AddInfo(CXError::EIT_INFOCLIENT, m_csClientVersion.pszGet());
  if (m_csServerVersion.nTaille() > 0)
    pclError->AddInfo(CXError::EIT_INFOSERVEUR, m_csServerVersion.pszGet());

  if (m_csClientLibrary.nTaille() > 0)
    AddLine(pclError, NAQDL_NATIVE_LIBRARY, m_csClientLibrary.pszGet());
  CTString csProvider;
  SqlDialect_MaskProvider(&csProvider, pszGetProvider());
  AddLine(pclError, NAQDL_PROVIDER, csProvider.pszGet());
  AddLine(pclError, NAQDL_USER, pszGetUserName());
  AddLine(pclError, NAQDL_DATA_SOURCE, pszGetDataBase());
  AddLine(pclError, NAQDL_DATABASE, pszGetDefaultDataBaseEx());
  if (m_nConnectionTimeout != -1)
    AddNumberLine(pclError, NAQDL_CONNECTION_TIMEOUT, m_nConnectionTimeout);
  if (m_nCommandTimeout != -1)
    AddNumberLine(pclError, NAQDL_COMMAND_TIMEOUT, m_nCommandTimeout);
  if (m_nLockTimeout != -1) AddNumberLine(pclError, NAQDL_LOCK_TIMEOUT, m_nLockTimeout);
  if (m_eCursorLocation != CL_DEFAULT)
    AddLine(pclError, NAQDL_CURSOR_POSITION,
            m_eCursorLocation == CL_CLIENT   ? L"Client"
            : m_eCursorLocation == CL_SERVER ? L"Server"
                                             : L"Unknown");
  AddNumberLine(pclError, NAQDL_UNICODE, m_bUnicodeSupport);
  AddCodePageLine(pclError, NAQDL_LANGUAGE_CODE_PAGE, m_nLanguageCodePage);
  AddCodePageLine(pclError, NAQDL_CONNECTION_CODE_PAGE, m_nConnectionCodePage);
  if (m_csRecordLockHint.nTaille() > 0)
    AddLine(pclError, NAQDL_LOCK_TAG, m_csRecordLockHint.pszGet());
}

// ---------------------------------------------------------------------------
// Base behaviour of the hooks

int CNAConnectionDescription::bTreat0000DateAsNULL() { return m_nServerKind == 2 ? 1 : 0; }

// The generic answer needs the item's computed-column questions (kind 2 only,
// which has no back end here): every item supports NOT NULL.
int CNAConnectionDescription::vbNotNullSupported(INAItemDescription*) { return 1; }

int CNAConnectionDescription::bOpenCreate(CNAError* pclError) { return bOpen(pclError); }

int CNAConnectionDescription::bTransactionBeginDirect(CNAError* pclError) {
  return bExecuteQueryNoResult(pclError, L"BEGIN");
}
int CNAConnectionDescription::bTransactionCommitDirect(CNAError* pclError) {
  return bExecuteQueryNoResult(pclError, L"COMMIT");
}
int CNAConnectionDescription::bTransactionRollBackDirect(CNAError* pclError) {
  return bExecuteQueryNoResult(pclError, L"ROLLBACK");
}

CNATransactionBase* CNAConnectionDescription::pclAllocTransaction() { return nullptr; }

// ---------------------------------------------------------------------------
// Transactions

int CNAConnectionDescription::bTransactionBegin(CNAError* pclError, const wchar_t* pszName) {
  // A transaction that the lost connection ended stays in the way until the
  // program ends it: beginning anew would hide that its work is gone.
  unsigned int nLost = 0;
  if (_bTransactionAborted(&nLost)) return _nReportLostTransaction(pclError, kSiteBeginLost);
  if (!bOpen(pclError)) return 0;
  if (m_pclTransaction == nullptr) {
    CNATransactionBase* pclTransaction = pclAllocTransaction();
    if (pclTransaction == nullptr) {
      if (pclError != nullptr) pclError->pclGetLastXError()->SetErrorNoMemory();
      return 0;
    }
    pclTransaction->AddRef();
    m_pclTransaction = pclTransaction;
  }
  // The object stays alive through the call even if the connection lets go
  // of it meanwhile.
  CInterfRef<CNATransactionBase> clHold(m_pclTransaction);
  if (m_pclTransaction->bIsOpened())
    return m_pclTransaction->bInternalTransactionBegin(pclError, pszName);
  return m_pclTransaction->bBegin(pclError, pszName, 0);
}

int CNAConnectionDescription::bTransactionCommit(CNAError* pclError, const wchar_t* pszName) {
  if (m_pclTransaction == nullptr)
    return CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kNAFileConnection, kSiteCommitNone,
                              this, nullptr, nullptr, 9, pszName != nullptr ? pszName : L"");
  CInterfRef<CNATransactionBase> clHold(m_pclTransaction);
  if (!m_pclTransaction->bCommit(pclError, pszName)) return 0;
  _CancelRecordLock(m_pclTransaction);
  return 1;
}

int CNAConnectionDescription::bTransactionRollBack(CNAError* pclError, const wchar_t* pszName) {
  if (m_pclTransaction == nullptr)
    return CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kNAFileConnection, kSiteRollBackNone,
                              this, nullptr, nullptr, 9, pszName != nullptr ? pszName : L"");
  CInterfRef<CNATransactionBase> clHold(m_pclTransaction);
  if (!m_pclTransaction->bRollBack(pclError, pszName)) return 0;
  _CancelRecordLock(m_pclTransaction);
  return 1;
}

void CNAConnectionDescription::_AbortTransaction(unsigned int nNative, const wchar_t* pszMessage) {
  if (m_pclTransaction != nullptr && m_pclTransaction->bIsOpened())
    m_pclTransaction->SetAborted(nNative, pszMessage);
}

int CNAConnectionDescription::_bTransactionAborted(unsigned int* pnNative) const {
  if (m_pclTransaction == nullptr || !m_pclTransaction->bIsAborted()) return 0;
  if (pnNative != nullptr) *pnNative = m_pclTransaction->nGetAbortNativeCode();
  return 1;
}

int CNAConnectionDescription::_nReportLostTransaction(CNAError* pclError, int nSite) {
  if (m_pclTransaction == nullptr) return 0;
  return m_pclTransaction->nReportAborted(pclError, kNAFileConnection, nSite);
}

int CNAConnectionDescription::bSQLBloque(CNAError* pclError, const wchar_t* pszTable) {
  CTString csQuery(L"LOCK TABLE ", pszTable, nullptr);
  return bExecuteQueryNoResult(pclError, csQuery.pszGet());
}

int CNAConnectionDescription::bSQLBloque(CNAError*, ISQLParserInformation*) { return 0; }

int CNAConnectionDescription::bSQLBloqueRequete(CNAError* pclError, const wchar_t* pszQuery) {
  CTString csQuery(pszQuery, L" FOR UPDATE", nullptr);
  return bExecuteQueryIgnoreResult(pclError, csQuery.pszGet());
}

int CNAConnectionDescription::bDiagnose(CNAError* pclError, CAny*, const wchar_t* pszText,
                                        unsigned int) {
  return CNAError::g_nRaise(pclError, eNA_ERRORTYPE(7), kNAFileConnection, kSiteDiagnose, nullptr,
                            nullptr, pszText, 8);
}

int CNAConnectionDescription::bInitError(CNAError*, unsigned int, unsigned int) { return 0; }

int CNAConnectionDescription::eGetNAErrorType(unsigned int) { return 0; }

int CNAConnectionDescription::nGetOrderByMaxExpressionNbr() {
  return m_nServerKind == 4 ? 31 : INT_MAX;
}

int CNAConnectionDescription::bDBTypeUnkwnownByDB(int) const { return 0; }

// The SQL interface runs the text for the connection; no driver object or
// no interface is memory running out.
static CNADriverSQLBase* DriverSQLOrNoMemory(CNAError* pclError) {
  CNADriverSQLBase* pclSQL =
      CNADriver::s_pclDriver != nullptr ? CNADriver::s_pclDriver->pclGetDriverSQL() : nullptr;
  if (pclSQL == nullptr && pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
  return pclSQL;
}

int CNAConnectionDescription::bExecuteQueryNoResult(CNAError* pclError, const wchar_t* pszQuery) {
  CNADriverSQLBase* pclSQL = DriverSQLOrNoMemory(pclError);
  return pclSQL != nullptr ? pclSQL->bExecuteQueryNoResult(pclError, this, pszQuery) : 0;
}

int CNAConnectionDescription::bExecuteQueryIgnoreResult(CNAError* pclError,
                                                        const wchar_t* pszQuery) {
  return bExecuteQueryNoResult(pclError, pszQuery);
}

int CNAConnectionDescription::bGetRequestedValue(CNAError* pclError, CAny* pValue, int nColumn,
                                                 const wchar_t* pszQuery) {
  CNADriverSQLBase* pclSQL = DriverSQLOrNoMemory(pclError);
  return pclSQL != nullptr
             ? pclSQL->bGetRequestedValue(pclError, this, pValue, nColumn, pszQuery)
             : 0;
}


int CNAConnectionDescription::bGetRequestedValueString(CNAError* pclError,
                                                       CXYString<wchar_t>* pstrValue, int nColumn,
                                                       const wchar_t* pszQuery) {
  CAny clValue;
  const int bResult = bGetRequestedValue(pclError, &clValue, nColumn, pszQuery);
  if (!bResult || pstrValue == nullptr) return bResult;
  // No row leaves the value untyped; a NULL has no text: the string stays.
  if (clValue.nGetTypeCode() == VX_NONE || clValue.bIsNull()) return bResult;
  if (clValue.__nCastTo(VX_PSTRW, nullptr, 1) > kVXLastSuccess ||
      clValue.nGetTypeCode() != VX_PSTRW)
    return bResult;
  const wchar_t* pszText = nullptr;
  clValue.pclGetIntern()->nGetPCWSTR(&pszText);
  // An empty text empties the string; a copy that cannot be had leaves it.
  pstrValue->nAffecteConversion(pszText != nullptr ? pszText : L"", -1);
  return bResult;
}
