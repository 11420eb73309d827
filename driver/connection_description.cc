// The connection description: construction from the server's description,
// the extended keywords, the connection string and the values asked of the
// server. The dialect hooks are in sql_dialect.cc.
#include "driver/connection_description.h"

#include <cwchar>
#include <cwctype>
#include <new>

#include "core/code_pages.h"
#include "core/locale_compare.h"
#include "core/string_parameter.h"
#include "driver/item_services.h"
#include "driver/na_error.h"
#include "driver/transaction_interface.h"
#include "kq230/connection_description_interface.h"
#include "platform/environment.h"

namespace {

// The two process-wide texts live in storage that the library builds when it
// is loaded and destroys when it is unloaded (constructor and destructor
// functions, which run from the library's own tables). A static CTString
// would register an exit handler at every load of the library, and the C
// library never gives the room of those handlers back.
alignas(CTString) unsigned char g_abClientLibrary[sizeof(CTString)];
alignas(CTString) unsigned char g_abClientVersion[sizeof(CTString)];

__attribute__((constructor)) void MakeClientTexts() {
  new (g_abClientLibrary) CTString;
  new (g_abClientVersion) CTString;
}

__attribute__((destructor)) void DestroyClientTexts() {
  std::launder(reinterpret_cast<CTString*>(g_abClientLibrary))->~CTString();
  std::launder(reinterpret_cast<CTString*>(g_abClientVersion))->~CTString();
}

}  // namespace

int CNAConnectionDescription::m_gnCnxGenerator = 0;
CTString& CNAConnectionDescription::m_csClientLibrary =
    *reinterpret_cast<CTString*>(g_abClientLibrary);
CTString& CNAConnectionDescription::m_csClientVersion =
    *reinterpret_cast<CTString*>(g_abClientVersion);

namespace {

// Site numbers of this file's raises (file kNAFileConnection).
constexpr int kSiteNotBuilt = 4;
constexpr int kSiteClientLibrary = 17;

const wchar_t* pszOrNULL(const wchar_t* psz) { return psz != nullptr ? psz : L"NULL"; }

// The file-name part of a path (after the last "/" or "\").
const wchar_t* pszFileNameOf(const wchar_t* pszPath) {
  const wchar_t* pszName = pszPath;
  for (const wchar_t* p = pszPath; *p != L'\0'; ++p)
    if (*p == L'/' || *p == L'\\') pszName = p + 1;
  return pszName;
}

// A keyword's decimal value as strtol reads it from the start (0 when nothing
// reads): a number that does not read is no error.
long nDecimal(const CTString& csValue) { return std::wcstol(csValue.pszGet(), nullptr, 10); }

}  // namespace

CNAConnectionDescription::CNAConnectionDescription(const wchar_t* pszIdentification,
                                                   INAConnectionDescription* piHost)
    : m_nID(++m_gnCnxGenerator), m_piHost(piHost) {
  m_piHost->ExternalAddRef();
  _InitCodePageFromVX();
  m_csIdentification = pszIdentification;
  _BuildConnexionString();
  m_csExtendedInfo = m_piHost->pszGetExtendedInfo();
  _ReadKeywords();
}

CNAConnectionDescription::~CNAConnectionDescription() {
  _CloseTransactions();
  // The map is the item layer's object: the services that made it drop the
  // connection's reference.
  if (m_pclNativeTypeMap != nullptr && m_pclTypeMapServices != nullptr)
    m_pclTypeMapServices->pclAsInterf(m_pclNativeTypeMap)->nRelease();
  m_pclNativeTypeMap = nullptr;
  if (m_piHost != nullptr) {
    m_piHost->nExternalRelease();
    m_piHost = nullptr;
  }
}

void CNAConnectionDescription::_BuildConnexionString() {
  m_csConnectionString.Vide();
  m_csConnectionString.Add(L"Provider=", pszOrNULL(m_piHost->pszGetProvider()), nullptr);
  m_csConnectionString.Add(L";ExtendedInformation=", pszOrNULL(m_piHost->pszGetExtendedInfo()),
                           nullptr);
  m_csConnectionString.Add(L";Data source=", pszOrNULL(m_piHost->pszGetDataBase()), nullptr);
  m_csConnectionString.Add(L";user id=", pszOrNULL(m_piHost->pszGetUserName()), nullptr);
  m_csConnectionString.Add(L";password=", pszOrNULL(m_piHost->pszGetPassword()), nullptr);
}

void CNAConnectionDescription::_ReadKeywords() {
  CTString csValue;
  int bFound = 0;
  auto bRead = [&](const wchar_t* pszKeyword) {
    _bGetExtendedParameter(&csValue, &bFound, pszKeyword, 1);
    return bFound && csValue.nTaille() > 0;
  };

  m_nConnectionTimeout = bRead(L"KQ Connection Timeout") ? static_cast<int>(nDecimal(csValue))
                                                         : m_piHost->nGetConnectionTimeout();
  m_nCommandTimeout = bRead(L"KQ Command Timeout") ? static_cast<int>(nDecimal(csValue))
                                                   : m_piHost->nGetCommandTimeout();
  if (bRead(L"KQ Lock Timeout")) m_nLockTimeout = static_cast<int>(nDecimal(csValue));

  if (bRead(L"KQ Cache Size"))
    m_llCacheSize = std::wcstoll(csValue.pszGet(), nullptr, 10);
  else if (m_piHost->nGetVersion() > 3)
    m_llCacheSize = m_piHost->llGetCacheSize();
  else
    m_llCacheSize = -2;

  m_eCursorLocation = CL_DEFAULT;
  if (bRead(L"KQ Cursor Location")) {
    if (wcscasecmp(csValue.pszGet(), L"SERVER") == 0)
      m_eCursorLocation = CL_SERVER;
    else if (wcscasecmp(csValue.pszGet(), L"CLIENT") == 0)
      m_eCursorLocation = CL_CLIENT;
  } else {
    int32_t lOptions = m_piHost->lGetCursorOptions();
    m_eCursorLocation = (lOptions & 1) ? CL_SERVER : (lOptions & 2) ? CL_CLIENT : CL_DEFAULT;
  }

  m_bUnicodeSupport = bRead(L"KQ Unicode Support") ? static_cast<int>(nDecimal(csValue)) : 1;

  struct TextKeyword {
    const wchar_t* pszKeyword;
    CTString CNAConnectionDescription::*pField;
  };
  static const TextKeyword kTexts[] = {
      {L"KQ RECORD LOCK", &CNAConnectionDescription::m_csRecordLockHint},
      {L"KQ CLIENT VERSION", &CNAConnectionDescription::m_csClientVersionWanted},
      {L"KQ CLIENT LIBRARY", &CNAConnectionDescription::m_csClientLibraryWanted},
      {L"Application Name", &CNAConnectionDescription::m_csApplicationName},
      {L"SSL Mode", &CNAConnectionDescription::m_csSSLMode},
      {L"SSL Key", &CNAConnectionDescription::m_csSSLKey},
      {L"SSL Cert", &CNAConnectionDescription::m_csSSLCert},
      {L"SSL CA", &CNAConnectionDescription::m_csSSLCA},
      {L"SSL CAPath", &CNAConnectionDescription::m_csSSLCAPath},
      {L"SSL Cipher", &CNAConnectionDescription::m_csSSLCipher},
  };
  for (const TextKeyword& k : kTexts) _bGetExtendedParameter(&(this->*k.pField), k.pszKeyword, 1);
}

void CNAConnectionDescription::_InitCodePageFromVX() {
  m_nLanguageCodePage = static_cast<int>(dwGetCodePageFromCharset(STR_nGetCurrentChangeCharset()));
}

void CNAConnectionDescription::_SetQuotes(const wchar_t* pszOpening, const wchar_t* pszClosing) {
  m_csOpeningQuote = pszOpening;
  m_nOpeningQuoteLength = m_csOpeningQuote.nTaille();
  m_csClosingQuote = pszClosing;
  m_nClosingQuoteLength = m_csClosingQuote.nTaille();
}

// ---------------------------------------------------------------------------
// Values asked of the server's description

const wchar_t* CNAConnectionDescription::pszGetUserName() const {
  return m_piHost->pszGetUserName();
}
const wchar_t* CNAConnectionDescription::pszGetPassword() const {
  return m_piHost->pszGetPassword();
}
const wchar_t* CNAConnectionDescription::pszGetDataBase() const {
  return m_piHost->pszGetDataBase();
}
const wchar_t* CNAConnectionDescription::pszGetDescription() const {
  return m_piHost->pszGetDescription();
}
int CNAConnectionDescription::eGetAccess() const { return m_piHost->eGetAccess(); }
const wchar_t* CNAConnectionDescription::pszGetProvider() const {
  return m_piHost->pszGetProvider();
}
int CNAConnectionDescription::lGetCursorOptions() const { return m_piHost->lGetCursorOptions(); }
const wchar_t* CNAConnectionDescription::pszGetDefaultDataBase() const {
  return m_piHost->pszGetDefaultDataBase();
}
const wchar_t* CNAConnectionDescription::pszGetLogicalConnectionName() const {
  return m_piHost->pszGetLogicalConnectionName();
}
const wchar_t* CNAConnectionDescription::pszGetConnectionName() const {
  return _stNAHostConnection::pszNameOf(m_piHost->pclGetConnection());
}

// ---------------------------------------------------------------------------
// Values of the connection

const wchar_t* CNAConnectionDescription::pszGetConnectionString() const {
  return m_csConnectionString.pszGet();
}

int CNAConnectionDescription::bAutoCloseEnabled() const {
  return m_bAutoClose && !_bTransactionOpened();
}

int CNAConnectionDescription::_bTransactionOpened() const {
  return m_pclTransaction != nullptr && m_pclTransaction->bIsOpened() ? 1 : 0;
}
int CNAConnectionDescription::bResumeCurrentTransaction(CNAError* pclError) {
  if (!_bTransactionOpened()) return 1;
  return m_pclTransaction->bResume(pclError) & 1;
}
int CNAConnectionDescription::bActiveCurrentTransaction(CNAError* pclError, int bActive) {
  if (!_bTransactionOpened()) return 1;
  return m_pclTransaction->bSetActive(pclError, bActive) & 1;
}
void CNAConnectionDescription::_CloseTransactions() {
  CNATransactionBase* pclTransaction = m_pclTransaction;
  m_pclTransaction = nullptr;
  if (pclTransaction != nullptr) pclTransaction->nRelease();
}

const wchar_t* CNAConnectionDescription::s_pszGetCursorLocation(int eLocation) {
  switch (eLocation) {
    case CL_DEFAULT: return L"Default";
    case CL_CLIENT: return L"Client";
    case CL_SERVER: return L"Server";
    default: return L"Unknown";
  }
}

const wchar_t* CNAConnectionDescription::pszGetDefaultDataBaseEx() {
  if (m_csDefaultDataBase.nTaille() == 0) {
    _bGetExtendedParameter(&m_csDefaultDataBase, L"Initial Catalog", 0);
    if (m_csDefaultDataBase.nTaille() == 0)
      bGetDataBaseHiddenInProvider(&m_csDefaultDataBase, L"Initial Catalog");
    if (m_csDefaultDataBase.nTaille() == 0) m_csDefaultDataBase = m_piHost->pszGetDefaultDataBase();
  }
  return m_csDefaultDataBase.pszGet();
}

const wchar_t* CNAConnectionDescription::pszGetApplicationName() {
  if (m_csApplicationName.nTaille() == 0 && !g_bGetExeName(&m_csApplicationName))
    m_csApplicationName = L"Varnholt Morvex";
  return m_csApplicationName.pszGet();
}

int CNAConnectionDescription::_bGetExtendedParameter(CTString* pValue, const wchar_t* pszKeyword,
                                                     int bRemove) {
  int bFound = 0;
  return _bGetExtendedParameter(pValue, &bFound, pszKeyword, bRemove);
}

int CNAConnectionDescription::_bGetExtendedParameter(CTString* pValue, int* pbFound,
                                                     const wchar_t* pszKeyword, int bRemove) {
  if (bRemove) return CStringParameter::s_bGetParameterValue(pValue, pbFound, &m_csExtendedInfo,
                                                             pszKeyword, 1);
  CTString csCopy(m_csExtendedInfo);
  return CStringParameter::s_bGetParameterValue(pValue, pbFound, &csCopy, pszKeyword, 0);
}

int CNAConnectionDescription::bGetDataBaseHiddenInProvider(CTString* pValue,
                                                           const wchar_t* pszKeyword) const {
  const wchar_t* pszProvider = m_piHost->pszGetProvider();
  if (pszProvider != nullptr && *pszProvider != L'\0') {
    CTString csProvider(pszProvider);
    int bFound = 0;
    CStringParameter::s_bGetParameterValue(pValue, &bFound, &csProvider, pszKeyword, 0);
  }
  return 1;
}

int CNAConnectionDescription::_bCheckClientLibraryWanted(CNAError* pclError) {
  const CTString& csWanted = m_csClientLibraryWanted;
  if (csWanted.nTaille() == 0 || wcscasecmp(csWanted.pszGet(), m_csClientLibrary.pszGet()) == 0)
    return 1;
  const wchar_t* pszWantedName = pszFileNameOf(csWanted.pszGet());
  if (pszWantedName == csWanted.pszGet() &&
      wcscasecmp(pszWantedName, pszFileNameOf(m_csClientLibrary.pszGet())) == 0)
    return 1;
  return CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kNAFileConnection, kSiteClientLibrary,
                            nullptr, nullptr, nullptr, 74, L"MariaDB", m_csClientLibrary.pszGet(),
                            csWanted.pszGet());
}

int CNAConnectionDescription::_nNotBuiltYet(CNAError* pclError, const wchar_t* pszWhat) {
  CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kNAFileConnection, kSiteNotBuilt, nullptr,
                     nullptr, nullptr, 8);
  if (pclError != nullptr) {
    CTString csText(pszWhat, L": not built yet", nullptr);
    pclError->AddDebugMessageNoFormat(csText.pszGet());
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Server kind tables

namespace {

// Column of a kind in the tables (kinds 1 to 13), or -1 for "other".
template <size_t N>
int nKindValue(const int (&anTable)[N], int nKind, int nOther) {
  return (nKind >= 1 && nKind <= static_cast<int>(N)) ? anTable[nKind - 1] : nOther;
}

}  // namespace

int CNAConnectionDescription::bSupportSubQuery() const {
  static const int k[] = {1, 1, 0, 1, 0, 0, 1, 0, 1, 0, 0, 1, 1};
  return nKindValue(k, m_nServerKind, 0);
}
int CNAConnectionDescription::bSupportLimitOrTop() const {
  static const int k[] = {1, 1, 1, 0, 1, 1};
  return nKindValue(k, m_nServerKind, 0);
}
int CNAConnectionDescription::nGetVarCharMaxLen() const {
  static const int k[] = {4000, 8000, -1, -1, 255, -1};
  return nKindValue(k, m_nServerKind, -1);
}
int CNAConnectionDescription::nGetNVarCharMaxLen() const {
  static const int k[] = {2000, 4000, -1, -1, 255, -1};
  return nKindValue(k, m_nServerKind, -1);
}
const wchar_t* CNAConnectionDescription::pszGetVarCharType() const {
  return m_nServerKind == 1 ? L"VARCHAR2" : L"VARCHAR";
}
const wchar_t* CNAConnectionDescription::pszGetNVarCharType() const {
  return m_nServerKind == 1 ? L"NVARCHAR2" : L"NVARCHAR";
}
const wchar_t* CNAConnectionDescription::pszGetCLOBType() const {
  if (m_nServerKind != kServerKindMariaDB) return L"CLOB";
  return m_nServerVersionMajor < 4 ? L"LONGBLOB" : L"LONGTEXT";
}
const wchar_t* CNAConnectionDescription::pszGetNCLOBType() const {
  if (m_nServerKind != kServerKindMariaDB) return L"NCLOB";
  if (m_nServerVersionMajor < 4) return L"LONGBLOB";
  // ucs2 holds 16-bit characters only: the wide strings carry characters
  // beyond them, which utf8mb4 (from 5.5.3 on) keeps.
  const bool bUtf8mb4 =
      m_nServerVersionMajor > 5 ||
      (m_nServerVersionMajor == 5 &&
       (m_nServerVersionMinor > 5 || (m_nServerVersionMinor == 5 && m_nServerVersionRelease >= 3)));
  return bUtf8mb4 ? L"LONGTEXT CHARACTER SET utf8mb4" : L"LONGTEXT CHARACTER SET ucs2";
}

// ---------------------------------------------------------------------------
// Statics

int CNAConnectionDescription::g_bDecomposeVersion(CNAError*, const CTString* pText, int* pnMajor,
                                                  int* pnMinor, int* pnRelease) {
  int* apOut[] = {pnMajor, pnMinor, pnRelease};
  const wchar_t* p = pText->pszGet();
  for (int i = 0; i < 3 && p != nullptr; ++i) {
    const wchar_t* pEnd = std::wcschr(p, L'.');
    CTString csPiece(p, pEnd != nullptr ? static_cast<int>(pEnd - p) : std::wcslen(p));
    int n = 0;
    if (std::swscanf(csPiece.pszGet(), L"%d", &n) == 1) *apOut[i] = n;
    p = pEnd != nullptr ? pEnd + 1 : nullptr;
  }
  return 1;
}

int CNAConnectionDescription::_bDecomposeServerVersion(CNAError* pclError) {
  return g_bDecomposeVersion(pclError, &m_csServerVersion, &m_nServerVersionMajor,
                             &m_nServerVersionMinor, &m_nServerVersionRelease);
}

int CNAConnectionDescription::g_bGetExeName(CTString* pOut) {
  wchar_t szPath[1044];
  if (!GetModuleFileNameW(nullptr, szPath, 1044) || szPath[0] == L'\0') return 0;
  const wchar_t* pszName = pszFileNameOf(szPath);
  const wchar_t* pszDot = std::wcsrchr(pszName, L'.');
  pOut->Set(pszName, pszDot != nullptr && pszDot != pszName
                         ? static_cast<unsigned int>(pszDot - pszName)
                         : static_cast<unsigned int>(std::wcslen(pszName)));
  return pOut->nTaille() > 0;
}

void CNAConnectionDescription::s_DateStandardise(CTString* pText) {
  CTString csOut;
  for (const wchar_t* p = pText->pszGet(); *p != L'\0'; ++p)
    if (std::wcschr(L":- /.", *p) == nullptr) csOut.Add(*p);
  pText->Transfert(csOut);
}

void CNAConnectionDescription::g_ResetClientLibraryInfo() {
  m_csClientLibrary.Vide();
  m_csClientVersion.Vide();
}
