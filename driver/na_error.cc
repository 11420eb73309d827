// CNAError: see na_error.h.
#include "driver/na_error.h"

#include <cstdarg>
#include <cstdint>

#include "core/module_info.h"
#include "driver/connection_description.h"

namespace {

// Everything the framework error can dump.
constexpr uint32_t kDumpAll = 0x80000fffu;

// The module's name in the debug line, and its version.
constexpr const wchar_t* kModuleName = L"KQMARIA";
constexpr const wchar_t* kModuleVersion = L"23.0.2.0";

// The integer value of an information item, 0 when absent.
unsigned int nIntInfo(const CXError& clError, CXError::eERRORINFOTYPE eType) {
  const void* pValue = nullptr;
  if (!clError.bGetInfo(eType, &pValue)) return 0;
  return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(pValue));
}

// A text item of the error, or null.
const wchar_t* pszTextInfo(const CXError& clError, CXError::eERRORINFOTYPE eType) {
  const void* pValue = nullptr;
  if (!clError.bGetInfo(eType, &pValue)) return nullptr;
  return static_cast<const wchar_t*>(pValue);
}

bool bEmpty(const wchar_t* psz) { return psz == nullptr || psz[0] == L'\0'; }

}  // namespace

CNAError::CNAError() = default;

CNAError::~CNAError() = default;

// ---------------------------------------------------------------------------
// INAError

int CNAError::nGetVersion() { return 1; }
int CNAError::nGetCompatSince() { return 1; }
int CNAError::nGetNAVersion() { return -1; }
int CNAError::nGetNACompatSince() { return -1; }
void CNAError::NAVersion_EmptySlot_3() {}

const wchar_t* CNAError::pszGetError() const {
  m_csDump.Vide();
  m_clError.StringDump(m_csDump, kDumpAll);
  return m_csDump.pszGet();
}

unsigned int CNAError::dwGetErrorId() const {
  if (m_clError.eGetErrorLevel() == CXError::EL_NOERROR) return 0;
  return m_clError.nGetUserErrorCode();
}

eNA_ERRORTYPE CNAError::eGetErrorType() const { return static_cast<eNA_ERRORTYPE>(m_eType); }

const wchar_t* CNAError::pszGetLogicalTableName() const {
  return pszTextInfo(m_clError, CXError::EIT_LOGICALTABLENAME);
}

const wchar_t* CNAError::pszGetItemName() const {
  return pszTextInfo(m_clError, CXError::EIT_ITEMNAME);
}

CXError* CNAError::pclGetXError() const { return const_cast<_CXErrorModule76*>(&m_clError); }

eNAERRORLEVEL CNAError::eGetErrorLevel() const {
  return static_cast<eNAERRORLEVEL>(m_clError.eGetErrorLevel());
}

void CNAError::EmptySlot52() {}
void CNAError::EmptySlot53() {}
void CNAError::EmptySlot54() {}
void CNAError::EmptySlot55() {}
void CNAError::EmptySlot56() {}

void CNAError::Reset() {
  // Every record command resets its errors: a clean object stays as it is.
  if (m_eType == kNoErrorType && m_csDump.nTaille() == 0 && m_clError.bIsClear()) return;
  m_clError.RAZ();
  m_eType = kNoErrorType;
  m_csDump.Vide();
}

int CNAError::nRelease() {
  if (m_nRefCount == 0) return 0;
  if (--m_nRefCount == 0) {
    delete this;
    return 0;
  }
  return m_nRefCount;
}

// ---------------------------------------------------------------------------
// Recording errors

void CNAError::RaiseInto(_CXErrorModule76& clError, int nFile, int nSite, unsigned int nCode,
                         char** ppArgs) {
  clError.SetUserErrorList(&gstMyModuleInfo76, nCode, ppArgs);
  const int nNative = static_cast<int>(nCode);
  clError.AddInfo(CXError::EIT_NATIVECODE, &nNative);
  g_AddDebugInfo(&clError, nFile, nSite);
}

void CNAError::AddError(eNA_ERRORTYPE eType, const CXError* pclError,
                        CNAConnectionDescription* pclConnection) {
  if (pclError == nullptr) return;
  if (bIsEmpty()) {
    m_eType = eType;
    m_clError.Copy(pclError);
    g_AddInfoNative(&m_clError, pclConnection);
    return;
  }
  m_clError.AddSubError(const_cast<CXError*>(pclError));
}

void CNAError::AddError(eNA_ERRORTYPE eType, int nFile, int nSite,
                        CNAConnectionDescription* pclConnection, unsigned int nCode, ...) {
  va_list args;
  va_start(args, nCode);
  if (bIsEmpty()) {
    m_eType = eType;
    RaiseInto(m_clError, nFile, nSite, nCode, reinterpret_cast<char**>(&args));
    g_AddInfoNative(&m_clError, pclConnection);
  } else {
    _CXErrorModule76 clError;
    RaiseInto(clError, nFile, nSite, nCode, reinterpret_cast<char**>(&args));
    m_clError.AddSubError(&clError);
  }
  va_end(args);
}

void CNAError::AddError(eNA_ERRORTYPE eType, unsigned int nCode, int nFile, int nSite,
                        CNAConnectionDescription* pclConnection) {
  AddError(eType, nFile, nSite, pclConnection, nCode);
}

void CNAError::AddErrorFirst(eNA_ERRORTYPE eType, int nFile, int nSite,
                             CNAConnectionDescription* pclConnection, unsigned int nCode, ...) {
  va_list args;
  va_start(args, nCode);
  if (bIsEmpty()) {
    m_eType = eType;
    RaiseInto(m_clError, nFile, nSite, nCode, reinterpret_cast<char**>(&args));
    g_AddInfoNative(&m_clError, pclConnection);
  } else {
    // The former content, sub-errors and all, goes under the new error.
    _CXErrorModule76 clFormer;
    clFormer.Copy(&m_clError);
    m_eType = eType;
    m_clError.RAZ();
    RaiseInto(m_clError, nFile, nSite, nCode, reinterpret_cast<char**>(&args));
    m_clError.AddSubError(&clFormer);
  }
  va_end(args);
}

void CNAError::SetAnyError(int nKind, int nA, int nB, int nFile, int nSite,
                           CNAConnectionDescription* pclConnection, const wchar_t* pszTable,
                           const wchar_t* pszItem) {
  if (bIsEmpty()) {
    m_eType = 0;
    m_clError.SetAnyError(&gstMyModuleInfo76, nKind, nA, nB);
    g_SetInfoNames(&m_clError, pszTable, pszItem);
    g_AddDebugInfo(&m_clError, nFile, nSite);
    g_AddInfoNative(&m_clError, pclConnection);
    return;
  }
  _CXErrorModule76 clError;
  clError.SetAnyError(&gstMyModuleInfo76, nKind, nA, nB);
  g_SetInfoNames(&clError, pszTable, pszItem);
  g_AddDebugInfo(&clError, nFile, nSite);
  m_clError.AddSubError(&clError);
}

namespace {

// The database error's content on a module error. The server's message is
// taken verbatim: a "%1" or "%s" in it is text, not an insert.
void FillDataBaseError(CXError& clError, CNAConnectionDescription* pclConnection,
                       unsigned int nCode, unsigned int nNativeCode, const wchar_t* pszMessage,
                       const wchar_t* pszTable, const wchar_t* pszItem) {
  const wchar_t* pszDataBase = pclConnection != nullptr ? pclConnection->pszGetDataBase() : nullptr;
  if (pszDataBase == nullptr) pszDataBase = L"";
  clError.SetUserError(&gstMyModuleInfo76, nCode, pszDataBase, nNativeCode);
  if (!bEmpty(pszMessage)) {
    clError.AddUserMessageNoFormat(pszMessage);
    clError.SetSystemErrorMessage(pszMessage);
  }
  if (nNativeCode != 0) {
    const int nBase = static_cast<int>(nNativeCode);
    clError.AddInfo(CXError::EIT_BASECODE, &nBase);
  }
  CNAError::g_SetInfoNames(&clError, pszTable, pszItem);
}

}  // namespace

void CNAError::_SetDataBaseError(eNA_ERRORTYPE eType, CNAConnectionDescription* pclConnection,
                                 unsigned int nCode, unsigned int nNativeCode,
                                 const wchar_t* pszMessage, const wchar_t* pszTable,
                                 const wchar_t* pszItem) {
  if (bIsEmpty()) {
    m_eType = eType;
    FillDataBaseError(m_clError, pclConnection, nCode, nNativeCode, pszMessage, pszTable, pszItem);
    g_AddInfoNative(&m_clError, pclConnection);
    return;
  }
  _CXErrorModule76 clError;
  FillDataBaseError(clError, pclConnection, nCode, nNativeCode, pszMessage, pszTable, pszItem);
  m_clError.AddSubError(&clError);
}

void CNAError::Copy(const INAError* pclOther) {
  if (pclOther == nullptr || pclOther == this) return;
  m_eType = pclOther->eGetErrorType();
  m_clError.Copy(pclOther->pclGetXError());
}

void CNAError::AddSubError(const CXError* pclError) {
  if (pclError == nullptr || pclError->eGetErrorLevel() == CXError::EL_NOERROR) return;
  m_clError.AddSubError(const_cast<CXError*>(pclError));
}

void CNAError::SetInfoNames(const wchar_t* pszTable, const wchar_t* pszItem) {
  g_SetInfoNames(&m_clError, pszTable, pszItem);
}

void CNAError::SetErrorLevel(eNAERRORLEVEL eLevel) {
  const int nLevel = static_cast<int>(eLevel);
  if (nLevel < 1 || nLevel > 3) return;
  m_clError.SetErrorLevel(static_cast<CXError::eERRORLEVEL>(nLevel));
}

CTString CNAError::StringDump() const {
  CTString clText;
  m_clError.StringDump(clText, kDumpAll);
  return clText;
}

// ---------------------------------------------------------------------------
// The last framework error

CXError* CNAError::pclGetLastXError() const {
  const int n = m_clError.nGetNbSubError();
  if (n > 0) {
    CXError* pclLast = m_clError.pclGetSubError(n - 1);
    if (pclLast != nullptr) return pclLast;
  }
  return pclGetXError();
}

void CNAError::SetDataBaseErrorCode(unsigned int nCode) {
  const int nValue = static_cast<int>(nCode);
  pclGetLastXError()->AddInfo(CXError::EIT_BASECODE, &nValue);
}

unsigned int CNAError::dwGetDataBaseErrorCode() const {
  return nIntInfo(*pclGetLastXError(), CXError::EIT_BASECODE);
}

void CNAError::SetDataBaseErrorMessage(const wchar_t* psz) {
  if (psz == nullptr) return;
  pclGetLastXError()->AddInfo(CXError::EIT_BASEMESSAGE, psz);
}

unsigned int CNAError::dwGetADOErrorCode() const {
  return nIntInfo(*pclGetLastXError(), CXError::EIT_ADOCODE);
}

void CNAError::SetSystemErrorCode(unsigned int nCode) {
  CXError* pclLast = pclGetLastXError();
  // Keep the text already recorded: only the number changes.
  CTString clText(pclLast->pszGetSystemErrorMessage());
  pclLast->SetSystemError(nCode, clText.pszGet());
}

unsigned int CNAError::dwGetSystemErrorCode() const {
  return pclGetLastXError()->dwGetSystemErrorCode();
}

const wchar_t* CNAError::pszGetSystemErrorMessage() const {
  return pclGetLastXError()->pszGetSystemErrorMessage();
}

unsigned int CNAError::nGetUserErrorCode() const {
  return pclGetLastXError()->nGetUserErrorCode();
}

void CNAError::AddDebugInfo(int nFile, int nSite) { g_AddDebugInfo(pclGetLastXError(), nFile, nSite); }

void CNAError::AddDebugMessageNoFormat(const wchar_t* pszText) {
  pclGetLastXError()->AddDebugMessageNoFormat(pszText);
}

void CNAError::AddDebugMessageNoFormatFirst(const wchar_t* pszText) {
  pclGetLastXError()->AddDebugMessageFirst(pszText);
}

void CNAError::AddDebugMessage(unsigned int nNumber, ...) {
  if (nNumber == 0xFFFFFFFFu) return;
  va_list args;
  va_start(args, nNumber);
  pclGetLastXError()->AddDebugMessageList(&gstMyModuleInfo76, nNumber,
                                          reinterpret_cast<char**>(&args));
  va_end(args);
}

void CNAError::AddUserMessageNoFormat(const wchar_t* pszText) {
  pclGetLastXError()->AddUserMessageNoFormat(pszText);
}

void CNAError::AddUserMessage(unsigned int nNumber, ...) {
  va_list args;
  va_start(args, nNumber);
  pclGetLastXError()->AddUserMessageList(&gstMyModuleInfo76, nNumber,
                                         reinterpret_cast<char**>(&args));
  va_end(args);
}

void CNAError::AddUserMessageFirst(unsigned int nNumber, ...) {
  va_list args;
  va_start(args, nNumber);
  pclGetLastXError()->AddUserMessageListFirst(&gstMyModuleInfo76, nNumber,
                                              reinterpret_cast<char**>(&args));
  va_end(args);
}

// ---------------------------------------------------------------------------
// Helpers on framework errors

void CNAError::g_SetInfoNames(CXError* pclError, const wchar_t* pszTable, const wchar_t* pszItem) {
  if (pclError == nullptr || bEmpty(pszTable)) return;
  pclError->AddInfo(CXError::EIT_LOGICALTABLENAME, pszTable);
  if (!bEmpty(pszItem)) pclError->AddInfo(CXError::EIT_ITEMNAME, pszItem);
}

CTString CNAError::g_csDebugLine(int nFile, int nSite) {
  CTString clLine;
  clLine.AddPrintf(L"IE%s=%u.%u\r\nModule=<%s>\r\nVersion=<%s>", kModuleName,
                   static_cast<unsigned int>(nFile), static_cast<unsigned int>(nSite), kModuleName,
                   kModuleVersion);
  return clLine;
}

void CNAError::g_AddDebugInfo(CXError* pclError, int nFile, int nSite) {
  if (pclError == nullptr) return;
  pclError->AddDebugMessageNoFormat(g_csDebugLine(nFile, nSite).pszGet());
}

void CNAError::g_AddInfoNative(CXError* pclError, CNAConnectionDescription* pclConnection) {
  if (pclError == nullptr || pclConnection == nullptr) return;
  pclConnection->AddInfoNativeXError(pclError);
}

int CNAError::g_nRaise(CNAError* pclTarget, eNA_ERRORTYPE eType, int nFile, int nSite,
                       CNAConnectionDescription* pclConnection, const wchar_t* pszTable,
                       const wchar_t* pszItem, unsigned int nCode, ...) {
  _CXErrorModule76 clError;
  va_list args;
  va_start(args, nCode);
  clError.SetUserErrorList(&gstMyModuleInfo76, nCode, reinterpret_cast<char**>(&args));
  va_end(args);
  g_SetInfoNames(&clError, pszTable, pszItem);
  const int nNative = static_cast<int>(nCode);
  clError.AddInfo(CXError::EIT_NATIVECODE, &nNative);
  g_AddDebugInfo(&clError, nFile, nSite);
  if (pclTarget != nullptr) pclTarget->AddError(eType, &clError, pclConnection);
  return 0;
}
