#include "core/error_object.h"

#include <netdb.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <new>

#include "core/error_table.h"
#include "core/numbered_messages.h"
#include "core/wide_string.h"
#include "core/xmalloc.h"
#include "core/codepage_conversion.h"

namespace {

constexpr unsigned int kMsgNoMemory = 25193;
constexpr unsigned int kSystemNoMemory = 12;  // ENOMEM
constexpr const wchar_t* kEOL = L"\r\n";

// What a type stores; an unusable type (0, 34, 35, above 44) is eNone.
enum class eInfoKind { eNone, eText, eInt32, eInt64, eCounted, ePointer, eInterface };

eInfoKind eKindOf(uint32_t nType) {
  switch (nType) {
    case 12:
    case 36:
      return eInfoKind::eInt64;
    case 15:
    case 16:
    case 17:
    case 30:
    case 37:
    case 41:
    case 42:
    case 44:
      return eInfoKind::eInt32;
    case 21:
      return eInfoKind::eCounted;
    case 29:
      return eInfoKind::ePointer;
    case 38:
    case 43:
      return eInfoKind::eInterface;
    case 0:
    case 34:
    case 35:
      return eInfoKind::eNone;
    default:
      return nType <= 44 ? eInfoKind::eText : eInfoKind::eNone;
  }
}

// The exception items hold a COM-style interface: add reference is its
// second operation, release its third.
struct IExceptionObject {
  virtual void* QueryInterface(const void*, void**) = 0;
  virtual unsigned int AddRef() = 0;
  virtual unsigned int Release() = 0;
};

// Dump formats by type; a null entry is a type that prints nothing.
const wchar_t* pszDumpFormat(uint32_t nType) {
  static const wchar_t* const kFormats[45] = {
      nullptr,
      L"EIT_SRCFILE : <%s>",
      L"EIT_DSTFILE : <%s>",
      L"EIT_USERNAME : <%s>",
      L"EIT_HELPFILE : <%s>",
      L"EIT_PATHKQD : <%s>",
      L"EIT_LOGICALTABLENAME : <%s>",
      L"EIT_ITEMNAME : <%s>",
      L"EIT_PATHFIC : <%s>",
      L"EIT_PATHNDX : <%s>",
      L"EIT_PATHMMO : <%s>",
      L"EIT_LINKNAME : <%s>",
      L"EIT_RECNUM : <%lld>",
      L"EIT_ODBCCODE : <%s>",
      L"EIT_ODBCDESCRIPTION : <%s>",
      L"EIT_BASECODE : <%d>",
      L"EIT_NATIVECODE : <%d>",
      L"EIT_ADOCODE : <%d>",
      L"EIT_BASEMESSAGE : <%s>",
      L"EIT_NATIVEMESSAGE : <%s>",
      L"EIT_ADOMESSAGE : <%s>",
      L"EIT_DATAACCESS : <%p>",
      L"EIT_INFOCLIENT : <%s>",
      L"EIT_INFOSERVEUR : <%s>",
      L"EIT_PILEVX :\r\n%s",
      L"EIT_DATEHEURE : %s",
      L"EIT_LOCKINFO : %s",
      L"EIT_CORRIGE_ETAT : %s",
      L"EIT_INFOCS : <%s>",
      nullptr,
      L"EIT_XINFO : <%d>",
      L"EIT_COMPOSANT :\r\n%s",
      L"EIT_SERVEURCS : <%s>",
      L"EIT_PILEC :\r\n%s",
      nullptr,
      nullptr,
      L"EIT_HLOCKTIME : <%lld>",
      L"EIT_HCNXID : <%d>",
      L"EIT_EXCEPTIONDOTNET",
      L"EIT_POSITION_ERREUR : <%s>",
      L"EIT_EXCEPTION_CLASS_NAME : <%s>",
      L"EIT_TYPE_KQFILE : <%d>",
      L"EIT_IDCODE : <%d>",
      L"EIT_EXCEPTIONJAVA",
      L"EIT_CODEHTTP : <%d>",
  };
  return nType <= 44 ? kFormats[nType] : nullptr;
}

// Appends message nNumber of the driver's table, formatted with the
// arguments; nothing when it cannot be loaded.
void AddMessage(CTString& clText, unsigned int nNumber, ...) {
  va_list args;
  va_start(args, nNumber);
  CTString clMessage;
  if (DLLRES_bFormatMessageList(&gstMyModuleInfo76, nNumber, &clMessage,
                                reinterpret_cast<char**>(&args))) {
    clText.Add(clMessage.pszGet());
  }
  va_end(args);
}

bool bEmpty(const wchar_t* psz) { return psz == nullptr || *psz == 0; }

}  // namespace

// ---------------------------------------------------------------------------
// Construction

CXError::CXError(const _stMyModuleInfo* pModule) { m_nModuleId = pModule ? pModule->nModuleId : 0; }

CXError::CXError(const _stMyModuleInfo* pModule, unsigned int nCode, ...) : CXError(pModule) {
  va_list args;
  va_start(args, nCode);
  SetUserErrorList(pModule, nCode, reinterpret_cast<char**>(&args));
  va_end(args);
}

CXError::CXError(const _stMyModuleInfo* pModule, unsigned int nCode, char** ppArgs)
    : CXError(pModule) {
  SetUserErrorList(pModule, nCode, ppArgs);
}

CXError::CXError(const _stMyModuleInfo* pModule, const wchar_t* pszDebug, unsigned int nCode, ...)
    : CXError(pModule) {
  va_list args;
  va_start(args, nCode);
  SetUserErrorList(pModule, nCode, reinterpret_cast<char**>(&args));
  va_end(args);
  AddDebugMessageNoFormat(pszDebug);
}

CXError::CXError(const _stMyModuleInfo* pModule, const wchar_t* pszDebug, unsigned int nCode,
                 char** ppArgs)
    : CXError(pModule) {
  SetUserErrorList(pModule, nCode, ppArgs);
  AddDebugMessageNoFormat(pszDebug);
}

CXError::CXError(const CXError& other) : CKQUnknown() { Copy(&other); }

CXError::CXError(const _stMyModuleInfo* pModule, const CXError& other) : CXError(pModule) {
  Copy(&other);
}

CXError::CXError(unsigned int nModuleId, CXError* pSource, int bLight) {
  m_nModuleId = nModuleId;
  if (bLight) {
    LightCopy(pSource);
  } else {
    Copy(pSource);
  }
}

CXError::CXError(const _stMyModuleInfo* pModule, CXError* pSource, int bLight)
    : CXError(pModule ? pModule->nModuleId : 0u, pSource, bLight) {}

CXError::CXError(const _stMyModuleInfo* pModule, CXError& source, int bLight)
    : CXError(pModule ? pModule->nModuleId : 0u, &source, bLight) {}

CXError::~CXError() {
  RAZ();
  m_nModuleId = 0;
  m_clErrorIds.SupprimeToutEtLibere();
  m_clInfos.SupprimeToutEtLibere();
}

// ---------------------------------------------------------------------------
// Text slots

wchar_t* CXError::__vpszAllocString(wchar_t** ppszField, const wchar_t* pszText) {
  if (pszText == nullptr) pszText = L"";
  const size_t n = std::wcslen(pszText);
  auto* p =
      static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<unsigned int>((n + 1) * sizeof(wchar_t))));
  if (p != nullptr) std::wmemcpy(p, pszText, n + 1);
  *ppszField = p;
  return p;
}

wchar_t* CXError::__vpszReallocString(wchar_t** ppszField, const wchar_t* pszText) {
  if (pszText == *ppszField) return *ppszField;
  if (pszText == nullptr) return nullptr;
  const size_t n = std::wcslen(pszText);
  if (__vpszReallocString(ppszField, static_cast<unsigned int>(n)) == nullptr) return nullptr;
  std::wmemcpy(*ppszField, pszText, n + 1);
  return *ppszField;
}

wchar_t* CXError::__vpszReallocString(wchar_t** ppszField, unsigned int n) {
  const unsigned long long nBytes = (static_cast<unsigned long long>(n) + 1) * sizeof(wchar_t);
  if (nBytes > 0x7FFFFFFFull) return nullptr;
  void* p = XMALLOC_pResize_(*ppszField, static_cast<unsigned int>(nBytes));
  if (p == nullptr) return nullptr;
  const bool bNew = *ppszField == nullptr;
  *ppszField = static_cast<wchar_t*>(p);
  if (bNew) (*ppszField)[0] = 0;
  (*ppszField)[n] = 0;
  return *ppszField;
}

wchar_t* CXError::__vpszConcatString(wchar_t** ppszField, const wchar_t* pszText) {
  if (pszText == nullptr) pszText = L"";
  if (*ppszField == nullptr) return __vpszAllocString(ppszField, pszText);
  const size_t nOld = std::wcslen(*ppszField);
  const size_t nAdd = std::wcslen(pszText);
  // pszText may lie in the field's own block: copy it before resizing.
  CTString clCopy(pszText);
  if (static_cast<size_t>(clCopy.nTaille()) != nAdd) return nullptr;
  if (__vpszReallocString(ppszField, static_cast<unsigned int>(nOld + nAdd)) == nullptr)
    return nullptr;
  std::wmemcpy(*ppszField + nOld, clCopy.pszGet(), nAdd + 1);
  return *ppszField;
}

void CXError::__vDeleteString(wchar_t** ppszField) {
  if (*ppszField != nullptr) XMALLOC_Del_(*ppszField);
  *ppszField = nullptr;
}

// ---------------------------------------------------------------------------
// Module binding

void CXError::InitModInfo(const _stMyModuleInfo* pModule, int bForce) {
  if (pModule == nullptr) return;
  if (bForce) {
    __vDeleteString(&m_pszModuleName);
    __vDeleteString(&m_pszModuleVersion);
  } else if (m_pszModuleName != nullptr) {
    return;
  }
  __vpszReallocString(&m_pszModuleName, pModule->pszModuleFile ? pModule->pszModuleFile : L"");
  __vpszReallocString(&m_pszModuleVersion, pModule->pszVersion ? pModule->pszVersion : L"");
}

void CXError::InitModName(const wchar_t* pszName) {
  if (pszName == nullptr) {
    __vDeleteString(&m_pszModuleName);
  } else {
    __vpszReallocString(&m_pszModuleName, pszName);
  }
}

void CXError::InitModVersion(const wchar_t* pszVersion) {
  if (pszVersion == nullptr) {
    __vDeleteString(&m_pszModuleVersion);
  } else {
    __vpszReallocString(&m_pszModuleVersion, pszVersion);
  }
}

// ---------------------------------------------------------------------------
// User error

void CXError::SetUserError(const _stMyModuleInfo* pModule, unsigned int nCode, ...) {
  va_list args;
  va_start(args, nCode);
  SetUserErrorList(pModule, nCode, reinterpret_cast<char**>(&args));
  va_end(args);
}

void CXError::SetUserErrorList(const _stMyModuleInfo* pModule, unsigned int nCode, char** ppArgs) {
  RAZ();
  ChangeUserErrorList(pModule, nCode, ppArgs);
}

void CXError::ChangeUserError(const _stMyModuleInfo* pModule, unsigned int nCode, ...) {
  va_list args;
  va_start(args, nCode);
  ChangeUserErrorList(pModule, nCode, reinterpret_cast<char**>(&args));
  va_end(args);
}

void CXError::ChangeUserErrorList(const _stMyModuleInfo* pModule, unsigned int nCode,
                                  char** ppArgs) {
  InitModInfo(pModule, 1);
  const _stErrorDef* pRow = ErrorDef_pFind(pModule, nCode);
  if (pRow == nullptr) {
    SetErrorLevel(EL_ERROR);
    AddDebugMessagePrintf(
        L"##(CXError)-Pas de definition d'erreur dans gstErrorDef pour l'identifiant <%u>##",
        nCode);
    return;
  }
  m_nUserErrorCode = nCode;
  AddUserMessageListFirst(pModule, pRow->nMessage, ppArgs);
  m_nDetailId = pRow->nDetailId;
  SetErrorLevel(static_cast<eERRORLEVEL>(pRow->nLevel));
}

void CXError::SetUserErrorMessage(const _stMyModuleInfo* pModule, unsigned int nCode,
                                  const wchar_t* pszText) {
  RAZ();
  ChangeUserErrorMessage(pModule, nCode, pszText);
}

void CXError::ChangeUserErrorMessage(const _stMyModuleInfo* pModule, unsigned int nCode,
                                     const wchar_t* pszText) {
  InitModInfo(pModule, 1);
  const _stErrorDef* pRow = ErrorDef_pFind(pModule, nCode);
  if (pRow == nullptr) {
    SetErrorLevel(EL_ERROR);
    AddDebugMessagePrintf(
        L"##(CXError)-Pas de definition d'erreur dans gstErrorDef pour l'identifiant <%u>##",
        nCode);
    return;
  }
  m_nUserErrorCode = nCode;
  AddUserMessageFirst(pszText);
  m_nDetailId = pRow->nDetailId;
  SetErrorLevel(static_cast<eERRORLEVEL>(pRow->nLevel));
}

unsigned int CXError::nGetRessourceIdFromUserErrorCode(const _stMyModuleInfo* pModule,
                                                       unsigned int nCode) {
  return ErrorDef_nGetMessage(pModule, nCode);
}

int CXError::__nErrorDefCompare(const _stErrorDef* pA, const _stErrorDef* pB) {
  return ErrorDef_nCompare(pA->nUserCode, pB->nUserCode);
}

// ---------------------------------------------------------------------------
// Messages

int CXError::AddUserMessage(const wchar_t* pszText) {
  if (m_pszUserMessage != nullptr && __vpszConcatString(&m_pszUserMessage, kEOL) == nullptr)
    return 0;
  return __vpszConcatString(&m_pszUserMessage, pszText) != nullptr;
}

int CXError::AddUserMessageNoFormat(const wchar_t* pszText) {
  if (bEmpty(pszText)) return 0;
  return AddUserMessage(pszText);
}

int CXError::__AddFirst(wchar_t** ppszField, const wchar_t* pszText) {
  if (pszText == nullptr) pszText = L"";
  if (*ppszField == nullptr) return __vpszAllocString(ppszField, pszText) != nullptr;
  CTString clNew(pszText, kEOL, *ppszField);
  if (clNew.nTaille() == 0) return 0;  // no memory for the joined text
  return __vpszReallocString(ppszField, clNew.pszGet()) != nullptr;
}

int CXError::AddUserMessageFirst(const wchar_t* pszText) {
  return __AddFirst(&m_pszUserMessage, pszText);
}

int CXError::AddUserMessage(const _stMyModuleInfo* pModule, unsigned int nNumber, ...) {
  va_list args;
  va_start(args, nNumber);
  const int b = __AddUserMessageList(pModule, nNumber, reinterpret_cast<char**>(&args), false);
  va_end(args);
  return b;
}

int CXError::AddUserMessageList(const _stMyModuleInfo* pModule, unsigned int nNumber,
                                char** ppArgs) {
  return __AddUserMessageList(pModule, nNumber, ppArgs, false);
}

int CXError::AddUserMessageFirst(const _stMyModuleInfo* pModule, unsigned int nNumber, ...) {
  va_list args;
  va_start(args, nNumber);
  const int b = __AddUserMessageList(pModule, nNumber, reinterpret_cast<char**>(&args), true);
  va_end(args);
  return b;
}

int CXError::AddUserMessageListFirst(const _stMyModuleInfo* pModule, unsigned int nNumber,
                                     char** ppArgs) {
  return __AddUserMessageList(pModule, nNumber, ppArgs, true);
}

int CXError::__AddUserMessageList(const _stMyModuleInfo* pModule, unsigned int nNumber,
                                  char** ppArgs, bool bFirst) {
  InitModInfo(pModule, 0);
  if (bFirst) {
    m_clErrorIds.Insere(nNumber, 0);
  } else {
    m_clErrorIds.Ajoute(nNumber);
  }
  CTString clText;
  if (!DLLRES_bFormatMessageList(pModule, nNumber, &clText, ppArgs)) {
    AddDebugMessagePrintf(L"##(CXError)-Ressource <%u> non chargée##", nNumber);
    return 0;
  }
  if (clText.nTaille() == 0) {
    AddDebugMessagePrintf(L"##(CXError)-Ressource <%u> vide. LastError = <%u>##", nNumber,
                          static_cast<unsigned int>(errno));
    return 0;
  }
  if (bFirst) {
    // The text and "\r\n" go in front.
    if (m_pszUserMessage == nullptr)
      return __vpszAllocString(&m_pszUserMessage, clText.pszGet()) != nullptr;
    return __AddFirst(&m_pszUserMessage, clText.pszGet());
  }
  return AddUserMessage(clText.pszGet());
}

void CXError::RAZUserMessage() { __vDeleteString(&m_pszUserMessage); }

int CXError::AddDebugMessageNoFormat(const wchar_t* pszText) {
  if (bEmpty(pszText)) return 0;
  if (m_pszDebugMessage != nullptr && __vpszConcatString(&m_pszDebugMessage, kEOL) == nullptr)
    return 0;
  return __vpszConcatString(&m_pszDebugMessage, pszText) != nullptr;
}

int CXError::AddDebugMessageFirst(const wchar_t* pszText) {
  if (bEmpty(pszText)) return 0;
  return __AddFirst(&m_pszDebugMessage, pszText);
}

int CXError::AddDebugMessagePrintf(const wchar_t* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  CTString clText;
  const int n = clText.FormatV(pszFormat, args);
  va_end(args);
  if (n < 0) return 0;
  return AddDebugMessageNoFormat(clText.pszGet());
}

int CXError::AddDebugMessage(const _stMyModuleInfo* pModule, unsigned int nNumber, ...) {
  if (nNumber == 0xFFFFFFFFu) return 0;
  va_list args;
  va_start(args, nNumber);
  const int b = __AddDebugMessageListFormat(pModule, nNumber, reinterpret_cast<char**>(&args));
  va_end(args);
  return b;
}

int CXError::AddDebugMessageList(const _stMyModuleInfo* pModule, unsigned int nNumber,
                                 char** ppArgs) {
  return __AddDebugMessageListFormat(pModule, nNumber, ppArgs);
}

int CXError::__AddDebugMessageListFormat(const _stMyModuleInfo* pModule, unsigned int nNumber,
                                         char** ppArgs) {
  CTString clText;
  if (!DLLRES_bFormatMessageList(pModule, nNumber, &clText, ppArgs)) {
    AddDebugMessagePrintf(L"##(CXError)-Ressource <%u> non chargée##", nNumber);
    return 0;
  }
  if (clText.nTaille() == 0) {
    AddDebugMessagePrintf(L"##(CXError)-Ressource <%u> vide. LastError = <%u>##", nNumber,
                          static_cast<unsigned int>(errno));
    return 0;
  }
  return AddDebugMessageNoFormat(clText.pszGet());
}

void CXError::AddErrorId(unsigned int nId) { m_clErrorIds.Ajoute(nId); }

unsigned int CXError::nGetErrorId(int nIndex) const {
  if (nIndex < 0 || nIndex >= m_clErrorIds.nGetNbElement()) return 0;
  return m_clErrorIds[nIndex];
}

// ---------------------------------------------------------------------------
// System error

void CXError::SetSystemError(unsigned int nCode, const wchar_t* pszText) {
  SetSystemErrorMessage(nCode, pszText);
}

void CXError::SetSystemErrorMessage(const wchar_t* pszText) { SetSystemErrorMessage(0u, pszText); }

void CXError::SetSystemErrorMessage(unsigned int nCode, const wchar_t* pszText) {
  m_nSystemErrorCode = nCode;
  if (pszText == nullptr) {
    __vDeleteString(&m_pszSystemMessage);
  } else {
    __vpszReallocString(&m_pszSystemMessage, pszText);
  }
}

void CXError::__SetSystemErrorFromUTF8(const char* pszText) {
  if (pszText == nullptr) {
    __vDeleteString(&m_pszSystemMessage);
    return;
  }
  const int n = MultiByteToWideChar(65001, 0, pszText, -1, nullptr, 0);
  if (n <= 0) {
    __vDeleteString(&m_pszSystemMessage);
    return;
  }
  wchar_t szStack[1024];
  wchar_t* p = szStack;
  if (n > 1024) {
    p = static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<unsigned int>(n) * sizeof(wchar_t)));
    if (p == nullptr) return;
  }
  if (MultiByteToWideChar(65001, 0, pszText, -1, p, n) > 0) {
    p[n - 1] = 0;
    __vpszReallocString(&m_pszSystemMessage, p);
  }
  if (p != szStack) XMALLOC_Del_(p);
}

void CXError::SetSystemErrorMessageA(const char* pszText) {
  m_nSystemErrorCode = 0;
  __SetSystemErrorFromUTF8(pszText);
}

void CXError::SetSystemErrorMessagePrintf(unsigned int nCode, const wchar_t* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  CTString clText;
  clText.FormatV(pszFormat, args);
  va_end(args);
  SetSystemErrorMessage(nCode, clText.pszGet());
}

void CXError::SetSystemErrorMessagePrintf(const wchar_t* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  CTString clText;
  clText.FormatV(pszFormat, args);
  va_end(args);
  SetSystemErrorMessage(0u, clText.pszGet());
}

void CXError::SetSystemErrorMessage(const _stMyModuleInfo* pModule, unsigned int nNumber, ...) {
  va_list args;
  va_start(args, nNumber);
  __SetSystemErrorMessage(pModule, nNumber, reinterpret_cast<char**>(&args));
  va_end(args);
}

void CXError::__SetSystemErrorMessage(const _stMyModuleInfo* pModule, unsigned int nNumber,
                                      char** ppArgs) {
  CTString clText;
  if (!DLLRES_bFormatMessageList(pModule, nNumber, &clText, ppArgs)) {
    clText.Vide();
    clText.AddPrintf(L"##(CXError)-Ressource <%u> non chargée##", nNumber);
  } else if (clText.nTaille() == 0) {
    clText.AddPrintf(L"##(CXError)-Ressource <%u> vide. LastError = <%u>##", nNumber,
                     static_cast<unsigned int>(errno));
  }
  SetSystemErrorMessage(0u, clText.pszGet());
}

void CXError::SetSystemErrorParam(unsigned int nCode, ...) { __SetSystemError(nCode, nullptr); }

void CXError::__SetSystemError(unsigned int nCode, char** /*ppArgs*/) {
  m_nSystemErrorCode = nCode;
  if (nCode == 0) {
    __vDeleteString(&m_pszSystemMessage);
    return;
  }
  unsigned int nErr = static_cast<unsigned int>(errno);
  if (nErr >= 0x80000000u && nErr <= 0x80000002u) nErr = 11;
  __SetSystemErrorFromUTF8(std::strerror(static_cast<int>(nErr)));
}

void CXError::SetSystemErrorForGetHostBy(unsigned int nCode) {
  m_nSystemErrorCode = nCode;
  __SetSystemErrorFromUTF8(hstrerror(h_errno));
}

// ---------------------------------------------------------------------------
// Context

int CXError::SetFunctionName(const wchar_t* pszName, unsigned char nSyntax) {
  if (pszName == nullptr) {
    __vDeleteString(&m_pszFunctionName);
    m_nFunctionSyntax = nSyntax;
    return 1;
  }
  if (__vpszReallocString(&m_pszFunctionName, pszName) == nullptr) return 0;
  m_nFunctionSyntax = nSyntax;
  return 1;
}

void CXError::SetVMContext(const wchar_t* pszCaption, const wchar_t* pszObjectName, int nTypeFile,
                           int nIdCode, unsigned short wLine, unsigned short wThread) {
  if (__vpszReallocString(&m_pszCaption, pszCaption ? pszCaption : L"") == nullptr) return;
  if (__vpszReallocString(&m_pszObjectName, pszObjectName ? pszObjectName : L"") == nullptr) return;
  m_wLine = wLine;
  m_wThread = wThread;
  AddInfo(EIT_TYPE_KQFILE, &nTypeFile);
  AddInfo(EIT_IDCODE, &nIdCode);
}

unsigned int CXError::dwGetIdCode() const {
  const void* pValue = nullptr;
  if (!bGetInfo(EIT_IDCODE, &pValue)) return 0xFFFFFFFFu;
  return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(pValue));
}

unsigned int CXError::dwGetTypeKQFile() const {
  const void* pValue = nullptr;
  if (!bGetInfo(EIT_TYPE_KQFILE, &pValue)) return 0;
  return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(pValue));
}

// ---------------------------------------------------------------------------
// Information items

void CXError::__ReleaseInfo(_stERRORINFO& stInfo) {
  switch (eKindOf(stInfo.eType)) {
    case eInfoKind::eText: {
      auto* p = reinterpret_cast<wchar_t*>(stInfo.dwValue);
      __vDeleteString(&p);
      break;
    }
    case eInfoKind::eCounted:
      if (stInfo.dwValue) reinterpret_cast<CKQUnknown*>(stInfo.dwValue)->dwRelease();
      break;
    case eInfoKind::eInterface:
      if (stInfo.dwValue) reinterpret_cast<IExceptionObject*>(stInfo.dwValue)->Release();
      break;
    default:
      break;
  }
  stInfo.dwValue = 0;
  stInfo.dwValue2 = 0;
}

// Stores pValue in the item by its type's rule; false when a text could not
// be copied (the item then holds nothing).
bool CXError::__bStoreInfo(_stERRORINFO& stInfo, const void* pValue) {
  switch (eKindOf(stInfo.eType)) {
    case eInfoKind::eText: {
      wchar_t* p = nullptr;
      if (__vpszAllocString(&p, static_cast<const wchar_t*>(pValue)) == nullptr) return false;
      stInfo.dwValue = reinterpret_cast<uintptr_t>(p);
      return true;
    }
    case eInfoKind::eInt32:
      stInfo.dwValue = static_cast<uint32_t>(*static_cast<const int32_t*>(pValue));
      return true;
    case eInfoKind::eInt64: {
      uint32_t adw[2];
      std::memcpy(adw, pValue, 8);
      stInfo.dwValue = adw[0];
      stInfo.dwValue2 = adw[1];
      return true;
    }
    case eInfoKind::eCounted:
      const_cast<CKQUnknown*>(static_cast<const CKQUnknown*>(pValue))->dwAddRef();
      stInfo.dwValue = reinterpret_cast<uintptr_t>(pValue);
      return true;
    case eInfoKind::eInterface:
      const_cast<IExceptionObject*>(static_cast<const IExceptionObject*>(pValue))->AddRef();
      stInfo.dwValue = reinterpret_cast<uintptr_t>(pValue);
      return true;
    case eInfoKind::ePointer:
      stInfo.dwValue = reinterpret_cast<uintptr_t>(pValue);
      return true;
    case eInfoKind::eNone:
      break;
  }
  return false;
}

void CXError::AddInfo(eERRORINFOTYPE eType, const void* pValue) {
  if (pValue == nullptr || eKindOf(eType) == eInfoKind::eNone) return;
  int nIndex = -1;
  if (__bGetInfoIndice(eType, &nIndex)) {
    _stERRORINFO& stInfo = m_clInfos[nIndex];
    if (eType == EIT_DATAACCESS) {
      if (stInfo.dwValue == reinterpret_cast<uintptr_t>(pValue)) return;
      // The new reference first: the old object may be the only holder of
      // the new one.
      _stERRORINFO stOld = stInfo;
      __bStoreInfo(stInfo, pValue);
      __ReleaseInfo(stOld);
      return;
    }
    // The value may be the item's own text: copy before releasing.
    _stERRORINFO stNew = {eType, 0, 0};
    if (!__bStoreInfo(stNew, pValue)) {
      // No memory for the new text: the item goes rather than keep a stale
      // value under a new meaning.
      __ReleaseInfo(stInfo);
      m_clInfos.Supprime(nIndex, 1);
      return;
    }
    __ReleaseInfo(stInfo);
    stInfo.dwValue = stNew.dwValue;
    stInfo.dwValue2 = stNew.dwValue2;
    return;
  }
  _stERRORINFO stNew = {eType, 0, 0};
  if (!__bStoreInfo(stNew, pValue)) return;
  if (!m_clInfos.Ajoute(stNew)) __ReleaseInfo(stNew);
}

void CXError::DeleteInfo(eERRORINFOTYPE eType) {
  int nIndex = -1;
  if (!__bGetInfoIndice(eType, &nIndex)) return;
  __ReleaseInfo(m_clInfos[nIndex]);
  m_clInfos.Supprime(nIndex, 1);
}

void CXError::__FreeInfo() {
  for (int i = m_clInfos.nGetNbElement() - 1; i >= 0; --i) {
    _stERRORINFO stInfo = m_clInfos[i];
    m_clInfos.Supprime(i, 1);
    __ReleaseInfo(stInfo);
  }
  m_clInfos.SupprimeToutEtLibere();
}

void CXError::GetInfo(int nIndex, eERRORINFOTYPE* peType, const void** ppValue) const {
  if (nIndex < 0 || nIndex >= m_clInfos.nGetNbElement() ||
      eKindOf(m_clInfos[nIndex].eType) == eInfoKind::eNone) {
    if (peType) *peType = EIT_NONE;
    return;
  }
  const _stERRORINFO& stInfo = m_clInfos[nIndex];
  if (peType) *peType = stInfo.eType;
  if (ppValue == nullptr) return;
  if (eKindOf(stInfo.eType) == eInfoKind::eInt64) {
    if (*ppValue == nullptr) return;
    const uint32_t adw[2] = {static_cast<uint32_t>(stInfo.dwValue),
                             static_cast<uint32_t>(stInfo.dwValue2)};
    std::memcpy(const_cast<void*>(*ppValue), adw, 8);
  } else {
    *ppValue = reinterpret_cast<const void*>(stInfo.dwValue);
  }
}

int CXError::bGetInfo(eERRORINFOTYPE eType, const void** ppValue) const {
  int nIndex = -1;
  if (!__bGetInfoIndice(eType, &nIndex)) return 0;
  eERRORINFOTYPE eFound = EIT_NONE;
  GetInfo(nIndex, &eFound, ppValue);
  return 1;
}

int CXError::bHasInfo(eERRORINFOTYPE eType) const {
  int nIndex = -1;
  return __bGetInfoIndice(eType, &nIndex);
}

int CXError::__bGetInfoIndice(eERRORINFOTYPE eType, int* pnIndex) const {
  for (int i = 0; i < m_clInfos.nGetNbElement(); ++i) {
    if (m_clInfos[i].eType == eType) {
      if (pnIndex) *pnIndex = i;
      return 1;
    }
  }
  return 0;
}

void CXError::__SetXInfo(unsigned int dwBits, int bSet) {
  const void* pValue = nullptr;
  unsigned int dw = 0;
  if (bGetInfo(EIT_XINFO, &pValue))
    dw = static_cast<unsigned int>(reinterpret_cast<uintptr_t>(pValue));
  dw = bSet ? (dw | dwBits) : (dw & ~dwBits);
  const int n = static_cast<int>(dw);
  AddInfo(EIT_XINFO, &n);
}

int CXError::__bGetXInfo(unsigned int dwBits) const {
  const void* pValue = nullptr;
  if (!bGetInfo(EIT_XINFO, &pValue)) return 0;
  return (static_cast<unsigned int>(reinterpret_cast<uintptr_t>(pValue)) & dwBits) != 0;
}

void CXError::DumpInfo(eERRORINFOTYPE eType, const void* pValue, CTString* pclText) {
  const wchar_t* pszFormat = pszDumpFormat(eType);
  if (pszFormat == nullptr || pclText == nullptr) return;
  switch (eKindOf(eType)) {
    case eInfoKind::eText:
      pclText->AddPrintf(pszFormat, pValue ? static_cast<const wchar_t*>(pValue) : L"");
      break;
    case eInfoKind::eInt32:
      pclText->AddPrintf(pszFormat, static_cast<int>(reinterpret_cast<uintptr_t>(pValue)));
      break;
    case eInfoKind::eInt64: {
      long long n = 0;
      if (pValue) std::memcpy(&n, pValue, 8);
      pclText->AddPrintf(pszFormat, n);
      break;
    }
    case eInfoKind::eCounted:
      pclText->AddPrintf(pszFormat, pValue);
      break;
    case eInfoKind::eInterface:
      pclText->Add(pszFormat);
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------
// Sub-errors

CXError* CXError::pclGetSubError(int nIndex) const {
  if (m_pclSubErrors == nullptr || nIndex < 0 || nIndex >= m_pclSubErrors->nGetNbElement())
    return nullptr;
  return (*m_pclSubErrors)[nIndex];
}

void CXError::__AddSubError(CXError* pError, int bLight, int bNoUserMessage) {
  if (pError == nullptr) return;
  if (m_pclSubErrors == nullptr) {
    m_pclSubErrors = new (std::nothrow) CTTableau<CXError*>(10, 30);
    if (m_pclSubErrors == nullptr) return;
  }
  // Made before it is appended: a light copy of this object itself takes its
  // list over, so the list is looked up again afterwards.
  CXError* pSub = new (std::nothrow) CXError(m_nModuleId, pError, bLight);
  if (pSub == nullptr) return;
  if (m_pclSubErrors == nullptr) {
    m_pclSubErrors = new (std::nothrow) CTTableau<CXError*>(10, 30);
    if (m_pclSubErrors == nullptr) {
      delete pSub;
      return;
    }
  }
  if (!m_pclSubErrors->Ajoute(pSub)) {
    delete pSub;
    return;
  }
  if (!bNoUserMessage && m_pclSubErrors->nGetNbElement() == 1)
    AddUserMessage(pSub->pszGetUserMessage());
}

void CXError::__DeleteAllSubError() {
  CTTableau<CXError*>* pList = m_pclSubErrors;
  m_pclSubErrors = nullptr;
  if (pList == nullptr) return;
  for (int i = 0; i < pList->nGetNbElement(); ++i) delete (*pList)[i];
  delete pList;
}

// ---------------------------------------------------------------------------
// Whole object

void CXError::RAZ() {
  __vDeleteString(&m_pszUserMessage);
  __vDeleteString(&m_pszDebugMessage);
  __vDeleteString(&m_pszFunctionName);
  __vDeleteString(&m_pszCaption);
  __vDeleteString(&m_pszObjectName);
  __vDeleteString(&m_pszSystemMessage);
  __vDeleteString(&m_pszModuleName);
  __vDeleteString(&m_pszModuleVersion);
  m_clErrorIds.SupprimeToutEtLibere();
  __FreeInfo();
  __DeleteAllSubError();
  m_eLevel = EL_NOERROR;
  m_nUserErrorCode = 0;
  m_nUserErrorCode55 = 0;
  m_nFunctionSyntax = 0;
  m_nDetailId = 0;
  m_nSystemErrorCode = 0;
  m_wLine = 0;
  m_wThread = 0;
}

void CXError::__RAZALL() {
  RAZ();
  m_nModuleId = 0;
}

void CXError::SetErrorLevel(eERRORLEVEL eLevel) {
  if (eLevel == m_eLevel) return;
  if (eLevel == EL_NOERROR) {
    RAZ();
  } else {
    m_eLevel = eLevel;
  }
}

void CXError::vCopy(const CXError* pSource) { Copy(pSource); }

void CXError::Copy(const CXError* pSource) {
  if (pSource == nullptr || pSource == this) return;
  __Copy(*pSource);
}

namespace {
// A null source text frees the target's.
void CopyText(CXError* pTarget, wchar_t** ppszField, const wchar_t* pszSource,
              wchar_t* (CXError::*pfnRealloc)(wchar_t**, const wchar_t*),
              void (CXError::*pfnDelete)(wchar_t**)) {
  if (pszSource == nullptr) {
    (pTarget->*pfnDelete)(ppszField);
  } else if ((pTarget->*pfnRealloc)(ppszField, pszSource) == nullptr) {
    (pTarget->*pfnDelete)(ppszField);
  }
}
}  // namespace

void CXError::__Copy(const CXError& source) {
  wchar_t* (CXError::*pfnRealloc)(wchar_t**, const wchar_t*) = &CXError::__vpszReallocString;
  void (CXError::*pfnDelete)(wchar_t**) = &CXError::__vDeleteString;
  m_eLevel = source.m_eLevel;
  m_nUserErrorCode = source.m_nUserErrorCode;
  m_nUserErrorCode55 = source.m_nUserErrorCode55;
  CopyText(this, &m_pszUserMessage, source.m_pszUserMessage, pfnRealloc, pfnDelete);
  CopyText(this, &m_pszModuleName, source.m_pszModuleName, pfnRealloc, pfnDelete);
  CopyText(this, &m_pszModuleVersion, source.m_pszModuleVersion, pfnRealloc, pfnDelete);
  CopyText(this, &m_pszDebugMessage, source.m_pszDebugMessage, pfnRealloc, pfnDelete);
  CopyText(this, &m_pszFunctionName, source.m_pszFunctionName, pfnRealloc, pfnDelete);
  m_nSystemErrorCode = source.m_nSystemErrorCode;
  CopyText(this, &m_pszSystemMessage, source.m_pszSystemMessage, pfnRealloc, pfnDelete);
  CopyText(this, &m_pszCaption, source.m_pszCaption, pfnRealloc, pfnDelete);
  CopyText(this, &m_pszObjectName, source.m_pszObjectName, pfnRealloc, pfnDelete);
  m_nDetailId = source.m_nDetailId;
  m_nFunctionSyntax = source.m_nFunctionSyntax;
  m_wLine = source.m_wLine;
  m_wThread = source.m_wThread;

  m_clErrorIds.SupprimeToutEtLibere();
  for (int i = 0; i < source.m_clErrorIds.nGetNbElement(); ++i)
    m_clErrorIds.Ajoute(source.m_clErrorIds[i]);

  __FreeInfo();
  for (int i = 0; i < source.m_clInfos.nGetNbElement(); ++i) {
    const _stERRORINFO& stInfo = source.m_clInfos[i];
    if (stInfo.eType == EIT_DATAACCESS && source.m_nModuleId != m_nModuleId) continue;
    if (eKindOf(stInfo.eType) == eInfoKind::eInt64) {
      const uint32_t adw[2] = {static_cast<uint32_t>(stInfo.dwValue),
                               static_cast<uint32_t>(stInfo.dwValue2)};
      AddInfo(stInfo.eType, adw);
    } else if (eKindOf(stInfo.eType) == eInfoKind::eInt32) {
      const int32_t n = static_cast<int32_t>(stInfo.dwValue);
      AddInfo(stInfo.eType, &n);
    } else {
      AddInfo(stInfo.eType, reinterpret_cast<const void*>(stInfo.dwValue));
    }
  }

  // The copies come after the sub-errors this object already holds. The
  // count is read once: when the source is one of this object's own
  // sub-errors' ancestors, the list grows only here, not under the loop.
  const int nSub = source.nGetNbSubError();
  for (int i = 0; i < nSub; ++i) {
    CXError* pSub = source.pclGetSubError(i);
    if (pSub != nullptr) __AddSubError(pSub, 0, 1);
  }
}

void CXError::LightCopy(CXError* pSource) {
  if (pSource == nullptr || pSource == this) return;
  // The source's list is detached first: the source may be one of this
  // object's own sub-errors, which are deleted below.
  CTTableau<CXError*>* pSubs = pSource->m_pclSubErrors;
  pSource->m_pclSubErrors = nullptr;

  auto take = [this](wchar_t** ppszMine, wchar_t** ppszTheirs) {
    __vDeleteString(ppszMine);
    *ppszMine = *ppszTheirs;
    *ppszTheirs = nullptr;
  };
  take(&m_pszUserMessage, &pSource->m_pszUserMessage);
  take(&m_pszDebugMessage, &pSource->m_pszDebugMessage);
  take(&m_pszFunctionName, &pSource->m_pszFunctionName);
  take(&m_pszModuleName, &pSource->m_pszModuleName);
  take(&m_pszModuleVersion, &pSource->m_pszModuleVersion);
  take(&m_pszSystemMessage, &pSource->m_pszSystemMessage);
  take(&m_pszCaption, &pSource->m_pszCaption);
  take(&m_pszObjectName, &pSource->m_pszObjectName);
  m_eLevel = pSource->m_eLevel;
  m_nUserErrorCode = pSource->m_nUserErrorCode;
  m_nUserErrorCode55 = pSource->m_nUserErrorCode55;
  m_nFunctionSyntax = pSource->m_nFunctionSyntax;
  m_nDetailId = pSource->m_nDetailId;
  m_nSystemErrorCode = pSource->m_nSystemErrorCode;
  m_wLine = pSource->m_wLine;
  m_wThread = pSource->m_wThread;
  pSource->m_eLevel = EL_NOERROR;
  pSource->m_nUserErrorCode = 0;
  pSource->m_nUserErrorCode55 = 0;
  pSource->m_nFunctionSyntax = 0;
  pSource->m_nDetailId = 0;
  pSource->m_nSystemErrorCode = 0;
  pSource->m_wLine = 0;
  pSource->m_wThread = 0;

  m_clErrorIds.Recupere(pSource->m_clErrorIds);

  __FreeInfo();
  m_clInfos.Recupere(pSource->m_clInfos);
  if (pSource->m_nModuleId != m_nModuleId) {
    int nIndex = -1;
    if (__bGetInfoIndice(EIT_DATAACCESS, &nIndex)) {
      __ReleaseInfo(m_clInfos[nIndex]);
      m_clInfos.Supprime(nIndex, 1);
    }
  }

  __DeleteAllSubError();
  m_pclSubErrors = pSubs;
}

void CXError::StringDump(CTString& clText, eXERROR_INFO eMask) const {
  const uint32_t dwMask = eMask;
  const bool bSkipEmpty = (dwMask & XEI_SKIPEMPTY) != 0;
  // Groups of sections; one empty line separates a group from what earlier
  // groups wrote.
  int nCurrentGroup = -1;
  bool bWritten = false;
  auto open = [&](int nGroup) {
    if (nGroup != nCurrentGroup) {
      if (bWritten) clText.Add(kEOL);
      nCurrentGroup = nGroup;
    }
    bWritten = true;
  };

  // 1. context
  if ((dwMask & XEI_CONTEXT) && (!bEmpty(m_pszFunctionName) || !bEmpty(m_pszCaption))) {
    open(1);
    AddMessage(clText, 28844);
    clText.Add(kEOL);
    if (!bEmpty(m_pszCaption)) {
      CTString clObject;
      if (!bEmpty(m_pszObjectName)) clObject.Set(L" (", m_pszObjectName, L")", L"");
      if (m_wLine == 65535) {
        AddMessage(clText, 25770, m_pszCaption, clObject.pszGet(),
                   static_cast<unsigned int>(m_wThread));
      } else {
        AddMessage(clText, 28845, m_pszCaption, clObject.pszGet(),
                   static_cast<unsigned int>(m_wLine), static_cast<unsigned int>(m_wThread));
      }
      clText.Add(kEOL);
    }
    if (!bEmpty(m_pszFunctionName)) {
      AddMessage(clText, 28846, m_pszFunctionName, static_cast<unsigned int>(m_nFunctionSyntax));
      clText.Add(kEOL);
    }
  }
  // 2. user message
  if (dwMask & XEI_USERMESSAGE) {
    if (!bEmpty(m_pszUserMessage)) {
      open(2);
      if (!(dwMask & XEI_NOUSERMESSAGETITLE)) {
        AddMessage(clText, 28857);
        clText.Add(kEOL);
      }
      clText.Add(m_pszUserMessage, kEOL, L"");
    } else if (!bSkipEmpty) {
      open(2);
      AddMessage(clText, 28858);
      clText.Add(kEOL);
    }
  }
  // 3. user code
  if (dwMask & XEI_USERCODE) {
    open(3);
    AddMessage(clText, 28851, m_nUserErrorCode);
    clText.Add(kEOL);
  }
  // 4. level
  if (dwMask & XEI_LEVEL) {
    open(3);
    const uint32_t n = m_eLevel;
    if (n == 1) {
      AddMessage(clText, 28847);
    } else if (n == 2) {
      AddMessage(clText, 28848);
    } else if (n == 3 || n == 0x40000004u || n == 0x40000008u) {
      AddMessage(clText, 28849);
    } else if ((n >= 0x10001u && n <= 0x10006u) || n == 0x20001u) {
      AddMessage(clText, 25311);
    } else {
      AddMessage(clText, 28850, n);
    }
    clText.Add(kEOL);
  }
  // 5. secondary code
  if ((dwMask & XEI_USERCODE55) && !(bSkipEmpty && m_nUserErrorCode55 == 0)) {
    open(3);
    AddMessage(clText, 28852, m_nUserErrorCode55);
    clText.Add(kEOL);
  }
  // 6. system code
  if (dwMask & XEI_SYSTEMCODE) {
    if (m_nSystemErrorCode != 0) {
      open(6);
      AddMessage(clText, 28853, m_nSystemErrorCode);
      clText.Add(kEOL);
    } else if (!bSkipEmpty) {
      open(6);
      AddMessage(clText, 28854);
      clText.Add(kEOL);
    }
  }
  // 7. system message (no line end after the text)
  if (dwMask & XEI_SYSTEMMESSAGE) {
    if (!bEmpty(m_pszSystemMessage)) {
      open(6);
      AddMessage(clText, 28855);
      clText.Add(kEOL, m_pszSystemMessage, L"");
    } else if (!bSkipEmpty) {
      open(6);
      AddMessage(clText, 28856);
      clText.Add(kEOL);
    }
  }
  // 8. module
  if (dwMask & XEI_MODULE) {
    if (!bEmpty(m_pszModuleName)) {
      open(8);
      AddMessage(clText, 28842, m_pszModuleName, pszGetModVersion());
      clText.Add(kEOL);
    } else if (!bSkipEmpty) {
      open(8);
      AddMessage(clText, 28843);
      clText.Add(kEOL);
    }
  }
  // 9. detail id
  if (dwMask & XEI_DETAILID) {
    if (m_nDetailId != 0) {
      open(8);
      AddMessage(clText, 28863, m_nDetailId);
      clText.Add(kEOL);
    } else if (!bSkipEmpty) {
      open(8);
      AddMessage(clText, 28864);
      clText.Add(kEOL);
    }
  }
  // 10. debug message
  if (dwMask & XEI_DEBUGMESSAGE) {
    if (!bEmpty(m_pszDebugMessage)) {
      open(8);
      AddMessage(clText, 28859);
      clText.Add(kEOL, m_pszDebugMessage, kEOL);
    } else if (!bSkipEmpty) {
      open(8);
      AddMessage(clText, 28860);
      clText.Add(kEOL);
    }
  }
  // 11. information items
  if (dwMask & XEI_INFO) {
    if (m_clInfos.nGetNbElement() != 0) {
      open(11);
      AddMessage(clText, 28861);
      for (int i = 0; i < m_clInfos.nGetNbElement(); ++i) {
        const _stERRORINFO& stInfo = m_clInfos[i];
        const eInfoKind eKind = eKindOf(stInfo.eType);
        if (eKind == eInfoKind::eText && bEmpty(reinterpret_cast<const wchar_t*>(stInfo.dwValue)))
          continue;
        uint32_t adw[2] = {0, 0};
        const void* pValue = adw;
        GetInfo(i, nullptr, &pValue);
        CTString clItem;
        DumpInfo(stInfo.eType, pValue, &clItem);
        if (clItem.nTaille() == 0) continue;
        clText.Add(kEOL, clItem.pszGet(), L"");
      }
    } else if (!bSkipEmpty) {
      open(11);
      AddMessage(clText, 28862);
      clText.Add(kEOL);
    }
  }
  // 12. sub-errors
  if (dwMask & XEI_SUBERROR) {
    for (int i = 0; i < nGetNbSubError(); ++i) {
      open(12);
      clText.Add(L"\r\n----- ");
      AddMessage(clText, 28865, static_cast<unsigned int>(i + 1));
      clText.Add(L" -----\r\n\r\n");
      pclGetSubError(i)->StringDump(clText, eMask);
      clText.Add(kEOL);
    }
  }
}

CTString CXError::StringDump(eXERROR_INFO eMask) const {
  CTString clText;
  StringDump(clText, eMask);
  return clText;
}

void CXError::SetAnyError(const _stMyModuleInfo* pModule, int nKind, int a, int b) {
  wchar_t szA[16];
  wchar_t szB[16];
  switch (nKind) {
    case 0:
      RAZ();
      break;
    case 1:
      SetUserError(pModule, 65, a, b);
      break;
    case 100:
      SetErrorNoMemory();
      break;
    case 101:
      SetUserError(pModule, 61);
      break;
    case 104:
    case 106:
      std::swprintf(szA, 16, L"%d", a);
      std::swprintf(szB, 16, L"%d", b);
      SetUserError(pModule, nKind == 104 ? 66u : 64u, szA, szB);
      break;
    case 105:
      SetUserError(pModule, 60);
      break;
    case 107:
      SetUserError(pModule, 63);
      break;
    default:
      break;
  }
}

void CXError::SetErrorNoMemory() {
  RAZ();
  AddUserMessageFirst(&gstMyModuleInfo76, kMsgNoMemory);
  // A failure level, not "no error": the server reads the level through the
  // driver's error object to decide whether the call failed.
  m_eLevel = EL_ERROR;
  m_nSystemErrorCode = kSystemNoMemory;
  __vDeleteString(&m_pszSystemMessage);
}

void CXError::SetUserErrorIE(unsigned int nMajor, unsigned int nMinor,
                             const _stMyModuleInfo* pModule, unsigned int nCode, ...) {
  RAZ();
  va_list args;
  va_start(args, nCode);
  ChangeUserErrorList(pModule, nCode, reinterpret_cast<char**>(&args));
  va_end(args);
  AddDebugMessagePrintf(L"IE%s=%u.%u\r\nModule=<%s>\r\nVersion=<%s>", L"KQMARIA", nMajor, nMinor,
                        L"KQMARIA", L"23.0.2.0");
}
