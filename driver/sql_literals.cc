// The literals of the connection's SQL dialect: a language value written as
// the SQL text that stands for it (numbers, booleans, texts and binaries; the
// dates and times are driver/sql_date_literals.cc), the cast of a value to an
// item's type before it is written, and the hexadecimal helpers.
//
// The driver has no prepared statements: every value that a program searches,
// filters or writes reaches the server as one of these texts. Two rules hold
// for every form, whatever the value holds:
//   - nothing but the value's own literal is written: numbers go unquoted only
//     once their text has been checked to be a number, dates and times only
//     once their text has been read as one, and every other text is quoted by
//     the escaping hook;
//   - no zero byte reaches the SQL text (the client library takes it for the
//     end of the query).
#include <algorithm>
#include <charconv>
#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "core/counted_string.h"
#include "core/mixed_width_concat.h"
#include "core/string_concat.h"
#include "driver/connection_description.h"
#include "driver/item_services.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "kq230/item_type.h"
#include "values/any.h"
#include "values/memo_image.h"

namespace {

// Debug points of this unit (file kNAFileConnection).
constexpr int kSiteBadNumber = 12;       // a number's text that is no number
constexpr int kSiteNoItemServices = 13;  // the item layer was not handed over
// Cast failures: the error kind is the site.
constexpr int kCastKindTime = 14;
constexpr int kCastKindDate = 15;
constexpr int kCastKindOther = 16;

// User errors.
constexpr unsigned int kErrNotAvailable = 8;
constexpr unsigned int kErrBadValue = 44;

constexpr wchar_t kHexDigitsW[] = L"0123456789ABCDEF";
constexpr char kHexDigitsA[] = "0123456789ABCDEF";

bool bIsWideText(unsigned short nType) {
  return nType == VX_DSTRW || nType == 20 || nType == VX_CARW || nType == VX_PSTRW;
}

bool bIsBinary(unsigned short nType) {
  return nType == VX_BIN || nType == VX_BUFFER || nType == VX_MEMOIMG;
}

int nHexValue(unsigned int c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  return -1;
}

template <class T>
int nHexToBinary(const T* pszText, unsigned char* pBuffer, unsigned int nSize) {
  if (pBuffer != nullptr && nSize > 0) std::memset(pBuffer, 0, nSize);
  if (pszText == nullptr || pBuffer == nullptr) return 0;
  unsigned int nWritten = 0;
  const T* p = pszText;
  while (nWritten < nSize && p[0] != T(0)) {
    const int nHigh = nHexValue(static_cast<unsigned int>(p[0]));
    if (nHigh < 0) return -1;
    if (p[1] == T(0)) break;  // a last digit without its partner
    const int nLow = nHexValue(static_cast<unsigned int>(p[1]));
    if (nLow < 0) return -1;
    pBuffer[nWritten++] = static_cast<unsigned char>(nHigh << 4 | nLow);
    p += 2;
  }
  return static_cast<int>(nWritten);
}

// The unquoted number forms the dialect reads back as the same number:
// [+-] digits [. digits] [(e|E) [+-] digits], with at least one digit
// before the exponent. A conversion that wrote anything else ("nan", "inf",
// a thousands separator) must not reach the SQL text unquoted.
bool bIsSQLNumber(const wchar_t* p, size_t n) {
  size_t i = 0;
  if (i < n && (p[i] == L'+' || p[i] == L'-')) ++i;
  size_t nDigits = 0;
  while (i < n && p[i] >= L'0' && p[i] <= L'9') ++i, ++nDigits;
  if (i < n && p[i] == L'.') {
    ++i;
    while (i < n && p[i] >= L'0' && p[i] <= L'9') ++i, ++nDigits;
  }
  if (nDigits == 0) return false;
  if (i < n && (p[i] == L'e' || p[i] == L'E')) {
    ++i;
    if (i < n && (p[i] == L'+' || p[i] == L'-')) ++i;
    size_t nExponent = 0;
    while (i < n && p[i] >= L'0' && p[i] <= L'9') ++i, ++nExponent;
    if (nExponent == 0) return false;
  }
  return i == n;
}

// Appends the decimal text of an integer value read from its area; false for
// a type that is no fixed-size integer.
bool bAddInteger(CTStringConcatAW* pclOut, const CAny& clValue) {
  const unsigned char* pArea = clValue.pbyGetValeur();
  char szDigits[24];
  std::to_chars_result stResult{};
  auto Read = [pArea](auto v) {
    std::memcpy(&v, pArea, sizeof v);
    return v;
  };
  char* pEnd = szDigits + sizeof szDigits;
  switch (clValue.nGetTypeCode()) {
    case VX_UI1: stResult = std::to_chars(szDigits, pEnd, Read(static_cast<unsigned char>(0))); break;
    case VX_UI2: stResult = std::to_chars(szDigits, pEnd, Read(static_cast<unsigned short>(0))); break;
    case VX_UI4: stResult = std::to_chars(szDigits, pEnd, Read(0U)); break;
    case VX_UI8: stResult = std::to_chars(szDigits, pEnd, Read(0ULL)); break;
    case VX_I1: stResult = std::to_chars(szDigits, pEnd, Read(static_cast<signed char>(0))); break;
    case VX_I2: stResult = std::to_chars(szDigits, pEnd, Read(static_cast<short>(0))); break;
    case VX_I4: stResult = std::to_chars(szDigits, pEnd, Read(0)); break;
    case VX_I8: stResult = std::to_chars(szDigits, pEnd, Read(0LL)); break;
    default: return false;
  }
  wchar_t szWide[24];
  const int n = static_cast<int>(stResult.ptr - szDigits);
  for (int i = 0; i < n; ++i) szWide[i] = static_cast<wchar_t>(szDigits[i]);
  pclOut->Add(szWide, n);
  return true;
}

int nDone(const CTStringConcatAW* pclOut) { return pclOut->bEchec() ? 0 : 1; }

}  // namespace

// ---------------------------------------------------------------------------
// Literals

int CNAConnectionDescription::bCopyString(CNAError*, CXYString<wchar_t>* pOut, const CAny* pValue) {
  pOut->ReleaseDynStr();
  if (pValue == nullptr) return 1;
  CAny clCopy(*pValue);
  if (clCopy.__nCastTo(VX_DSTRW, nullptr, 1) > kVXLastSuccess || clCopy.nGetTypeCode() != VX_DSTRW)
    return 1;
  const wchar_t* psz = nullptr;
  unsigned int nLength = 0;
  clCopy.pclGetIntern()->nGetPCWSTR(&psz);
  clCopy.pclGetIntern()->nGetSTRLEN(&nLength);
  if (psz != nullptr && nLength > 0) pOut->nConcat(psz, static_cast<int>(nLength));
  return 1;
}

int CNAConnectionDescription::bConvertValueToString(CNAError* pclError, CTStringConcatAW* pclOut,
                                                    const CAny* pValue, int eItemType,
                                                    int eItemType2, int bDateFlag, int) {
  pclOut->Vide();
  if (pValue == nullptr || pValue->bIsNull()) {
    pclOut->Add(L"NULL");
    return nDone(pclOut);
  }
  const CAny* pUse = pValue;
  CAny clCast;
  if (eItemType != 0) {
    const CNAItemServices* pclServices =
        CNADriver::s_pclDriver != nullptr ? CNADriver::s_pclDriver->pclGetItemServices() : nullptr;
    if (pclServices == nullptr) {
      CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kNAFileConnection, kSiteNoItemServices, this,
                         nullptr, nullptr, kErrNotAvailable);
      if (pclError != nullptr)
        pclError->AddDebugMessageNoFormat(L"bConvertValueToString: no item services");
      return 0;
    }
    // A value the language cannot cast to the item's type is written as it
    // is: the server then converts it, or refuses the statement.
    clCast = *pValue;
    if (bCastCAnyIntoDBType(nullptr, &clCast, eItemType, eItemType2, 1)) pUse = &clCast;
  }
  const unsigned short nType = pUse->nGetTypeCode();
  switch (nType) {
    case VX_NONE:
      pclOut->Add(L"NULL");
      return nDone(pclOut);
    case VX_BOOL: {
      int bValue = 0;
      std::memcpy(&bValue, pUse->pbyGetValeur(), sizeof bValue);
      return _bBoolToString(pclError, pclOut, bValue != 0);
    }
    case VX_CY:
    case VX_R4:
    case VX_R8:
    case VX_DECIMAL: {
      CXYString<wchar_t> clText;
      bCopyString(pclError, &clText, pUse);
      CTString csText(clText.pszGet());
      for (int i = 0; i < csText.nTaille(); ++i)
        if (csText.pszGet()[i] == L',') csText.SetChar(i, L'.');
      if (!bIsSQLNumber(csText.pszGet(), static_cast<size_t>(csText.nTaille()))) {
        CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kNAFileConnection, kSiteBadNumber, this,
                           nullptr, nullptr, kErrBadValue);
        if (pclError != nullptr) {
          CTString csDebug(L"number written as <", csText.pszGet(), L">");
          pclError->AddDebugMessageNoFormat(csDebug.pszGet());
        }
        return 0;
      }
      pclOut->Add(csText.pszGet(), csText.nTaille());
      return nDone(pclOut);
    }
    case VX_DSTRW:
    case VX_CARA:
    case VX_PSTRA:
    case VX_DSTRA:
    case VX_BIN:
    case VX_BUFFER:
    case VX_MEMOIMG:
    case VX_CARW:
    case VX_PSTRW: {
      void* pData = nullptr;
      unsigned int nSize = 0;
      CVXBIN clImage;
      if (nType == VX_MEMOIMG) {
        // The memo's bytes, not the object that holds them.
        auto* pclImage = static_cast<CVXMemoImage*>(pUse->pGetPointeur());
        const CVXBIN* pclBin = pclImage != nullptr ? pclImage->pclGetBinDataEx() : nullptr;
        if (pclBin == nullptr) {
          pclOut->Add(L"NULL");
          return nDone(pclOut);
        }
        clImage = *pclBin;
        pData = clImage.pbyGet();
        nSize = clImage.nGetSize() > 0 ? static_cast<unsigned int>(clImage.nGetSize()) : 0;
      } else {
        pUse->pclGetIntern()->nGetDataAdr(&pData);
        // The useful bytes: texts without their terminator.
        if (nType == VX_BUFFER)
          pUse->pclGetIntern()->nGetDataSize(&nSize);
        else
          pUse->pclGetIntern()->nGetUtilDataSize(&nSize);
      }
      if (pData == nullptr) {
        if (nType == VX_BIN || nType == VX_DSTRW || nType == VX_DSTRA) {
          // An empty counted value has no buffer: it is the empty literal.
          nSize = 0;
        } else {
          pclOut->Add(L"NULL");
          return nDone(pclOut);
        }
      }
      if (nType == VX_CARA && pData != nullptr && *static_cast<const char*>(pData) == 0) nSize = 0;
      if (nType == VX_CARA && nSize > 1) nSize = 1;
      if (nType == VX_CARW) {
        nSize = (pData != nullptr && *static_cast<const wchar_t*>(pData) != 0) ? sizeof(wchar_t) : 0;
      }
      return _bEscapeString(pclError, pclOut, nType, static_cast<unsigned char*>(pData), nSize);
    }
    case VX_DATEW:
    case VX_TIMEW:
    case VX_DATETIME:
    case VX_DATEA:
    case VX_TIMEA:
      return _bDateToString(pclError, pclOut, pUse, eItemType, bDateFlag);
    default:
      break;
  }
  if (bAddInteger(pclOut, *pUse)) return nDone(pclOut);
  // Any other value: its text, unquoted when it is a number, else quoted as
  // a text (never as bare SQL).
  CXYString<wchar_t> clText;
  bCopyString(pclError, &clText, pUse);
  const int nLength = clText.nGetLongueur();
  if (bIsSQLNumber(clText.pszGet(), static_cast<size_t>(nLength))) {
    pclOut->Add(clText.pszGet(), nLength);
    return nDone(pclOut);
  }
  return _bEscapeString(pclError, pclOut, VX_PSTRW,
                        reinterpret_cast<unsigned char*>(const_cast<wchar_t*>(clText.pszGet())),
                        static_cast<unsigned int>(nLength) * sizeof(wchar_t));
}

int CNAConnectionDescription::_bBoolToString(CNAError*, CTStringConcatAW* pclOut, int bValue) {
  pclOut->Vide();
  pclOut->Add(bValue ? L"1" : L"0");
  return nDone(pclOut);
}

// The generic kinds' quoting: every quote doubled. MariaDB replaces it (a
// backslash there is an escape).
int CNAConnectionDescription::_bEscapeString(CNAError* pclError, CTStringConcatAW* pclOut,
                                             unsigned short nType, unsigned char* pData,
                                             unsigned int nSize) {
  pclOut->Vide();
  if (bIsBinary(nType)) {
    // Whole, zero bytes included: a text form would stop at the first one.
    pclOut->Add(L"X'");
    if (!s_bBinaryToStringHexa(pclError, pData, pData != nullptr ? nSize : 0, pclOut)) return 0;
    pclOut->Add(L"'");
    return nDone(pclOut);
  }
  if (nSize == 0 || pData == nullptr) {
    pclOut->Add(L"''");
    return nDone(pclOut);
  }
  CTString csBody;
  bool bNational = false;
  if (bIsWideText(nType)) {
    bNational = m_nServerKind == 1 || m_nServerKind == 2;
    size_t n = nSize / sizeof(wchar_t);
    wchar_t* p = reinterpret_cast<wchar_t*>(pData);
    while (n > 0 && p[n - 1] == 0) --n;
    // A zero inside the text would end the statement: it is left out.
    for (size_t i = 0; i < n; ++i) {
      if (p[i] == 0) continue;
      if (p[i] == L'\'') csBody.Add(L'\'');
      csBody.Add(p[i]);
    }
  } else {
    const char* p = reinterpret_cast<const char*>(pData);
    const size_t n = strnlen(p, nSize);
    CXYStringConcat<wchar_t> clWide(static_cast<unsigned int>(n) + 1);
    clWide.AddAnsi(p, static_cast<int>(n), static_cast<unsigned int>(m_nLanguageCodePage));
    for (unsigned int i = 0; i < clWide.nGetLength(); ++i) {
      const wchar_t c = clWide.pszGet()[i];
      if (c == L'\'') csBody.Add(L'\'');
      csBody.Add(c);
    }
  }
  if (bNational) {
    pclOut->Add(L"N'");
    const int nMode = pclOut->nGetMode();
    if (nMode != 65001 && nMode != kConcatModeWide) {
      CXYStringConcat<char> clUtf8(static_cast<unsigned int>(csBody.nTaille()) * 4 + 1);
      clUtf8.AddWide(csBody.pszGet(), csBody.nTaille(), 65001);
      pclOut->AddUTF8(clUtf8.pszGet(), static_cast<int>(clUtf8.nGetLength()));
    } else {
      pclOut->Add(csBody.pszGet(), csBody.nTaille());
    }
  } else {
    pclOut->Add(L"'");
    pclOut->Add(csBody.pszGet(), csBody.nTaille());
  }
  pclOut->Add(L"'");
  return nDone(pclOut);
}

// ---------------------------------------------------------------------------
// Casts

int CNAConnectionDescription::bCastCAnyIntoDBType(CNAError* pclError, CAny* pValue, int eItemType,
                                                  int eItemType2, int nFlag) {
  const CNAItemServices* pclServices =
      CNADriver::s_pclDriver != nullptr ? CNADriver::s_pclDriver->pclGetItemServices() : nullptr;
  if (pclServices == nullptr) {
    CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kNAFileConnection, kSiteNoItemServices, this,
                       nullptr, nullptr, kErrNotAvailable);
    if (pclError != nullptr)
      pclError->AddDebugMessageNoFormat(L"bCastCAnyIntoDBType: no item services");
    return 0;
  }
  const unsigned short nTarget = static_cast<unsigned short>(
      pclServices->eGetLanguageType(eItemType != 0 ? eItemType : eItemType2));
  const unsigned short nSource = pValue->nGetTypeCode();
  if (nTarget == nSource || (nTarget == VX_DSTRA && nSource == VX_PSTRA) ||
      (nTarget == VX_DSTRW && nSource == VX_PSTRW))
    return 1;

  // The cast runs on a copy: a refused cast leaves the value as it was.
  CAny clWork(*pValue);
  unsigned short nFinal = nTarget;
  int nKind = kCastKindOther;
  if (nTarget == VX_DATEA || nTarget == VX_TIMEA || nTarget == VX_DATETIME) {
    if (nSource == VX_TIMEW || nSource == VX_TIMEA) {
      if (nTarget == VX_DATEA) pValue->__SetType(VX_DATEA, 0);
      return 1;
    }
    if (nSource == VX_DATETIME) return 1;
    nKind = kCastKindDate;
    int nResult = clWork.__nCastTo(VX_PSTRA, nullptr, 1);
    if (nResult <= kVXLastSuccess && eItemType2 == NA_IT_HEURE) {
      nKind = kCastKindTime;
      const char* psz = nullptr;
      clWork.pclGetIntern()->nGetPCASTR(&psz);
      const size_t n = psz != nullptr ? std::strlen(psz) : 0;
      if (n <= 3) {
        char szPadded[5] = {'0', '0', '0', '0', 0};
        if (n > 0) std::memcpy(szPadded, psz, n);
        clWork.pclGetIntern()->SetValue(szPadded);
      }
      nFinal = VX_TIMEA;
    }
    if (nResult > kVXLastSuccess) {
      if (pclError != nullptr)
        pclError->SetAnyError(nResult, nSource, nFinal, kNAFileConnection, nKind, this, nullptr,
                              nullptr);
      return 0;
    }
  } else {
    if (bIsBinary(nSource)) return 1;
    if (nFlag == 0) {
      // Numbers that fit the target are left to the server.
      auto In = [nTarget](std::initializer_list<unsigned short> l) {
        for (unsigned short t : l)
          if (t == nTarget) return true;
        return false;
      };
      switch (nSource) {
        case VX_I2:
          if (In({VX_I1, VX_I2})) return 1;
          break;
        case VX_I4:
          if (In({VX_I1, VX_I2, VX_I4, VX_R4})) return 1;
          break;
        case VX_I8: {
          if (In({VX_I1, VX_I2, VX_I8, VX_R4, VX_R8})) return 1;
          if (nTarget == VX_I4) {
            long long ll = 0;
            std::memcpy(&ll, pValue->pbyGetValeur(), sizeof ll);
            if (ll < -2147483647LL || ll > 2147483646LL) return 1;
          }
          break;
        }
        case VX_R4:
          if (In({VX_I1, VX_I2, VX_I4, VX_I8, VX_R4})) return 1;
          break;
        case VX_R8:
          if (In({VX_I1, VX_I2, VX_I4, VX_I8, VX_R4, VX_R8})) return 1;
          break;
        default:
          break;
      }
    }
  }
  const unsigned short nFrom = clWork.nGetTypeCode();
  const int nResult = clWork.__nCastTo(nFinal, nullptr, 1);
  if (nResult > kVXLastSuccess) {
    if (pclError != nullptr)
      pclError->SetAnyError(nResult, nFrom, nFinal, kNAFileConnection, nKind, this, nullptr,
                            nullptr);
    return 0;
  }
  pValue->swap(clWork);
  return 1;
}

// ---------------------------------------------------------------------------
// Hexadecimal

void CNAConnectionDescription::s_BinaryToStringHexa(const unsigned char* pData, unsigned int nSize,
                                                    CTString* pOut) {
  pOut->Vide();
  if (pData == nullptr) return;
  for (unsigned int i = 0; i < nSize; ++i) {
    pOut->Add(kHexDigitsW[pData[i] >> 4]);
    pOut->Add(kHexDigitsW[pData[i] & 0xF]);
  }
}

int CNAConnectionDescription::s_BinaryToStringHexa(const unsigned char* pData, unsigned int nSize,
                                                   char* pszOut, unsigned int nOutSize) {
  if (pszOut == nullptr || nOutSize == 0) return -1;
  if (pData == nullptr) nSize = 0;
  if (static_cast<unsigned long long>(nSize) * 2 + 1 > nOutSize) {
    pszOut[0] = 0;
    return -1;
  }
  for (unsigned int i = 0; i < nSize; ++i) {
    pszOut[2 * i] = kHexDigitsA[pData[i] >> 4];
    pszOut[2 * i + 1] = kHexDigitsA[pData[i] & 0xF];
  }
  pszOut[2 * nSize] = 0;
  return static_cast<int>(2 * nSize);
}

int CNAConnectionDescription::s_bBinaryToStringHexa(CNAError* pclError, const unsigned char* pData,
                                                    unsigned int nSize,
                                                    CTStringConcatAW* pclOut) {
  if (pData == nullptr || nSize == 0) return 1;
  // Hexadecimal digits are the same bytes in every code page: they go
  // straight into the builder's primary form, in blocks.
  wchar_t awBlock[512];
  unsigned int nAt = 0;
  for (unsigned int i = 0; i < nSize; ++i) {
    awBlock[nAt++] = kHexDigitsW[pData[i] >> 4];
    awBlock[nAt++] = kHexDigitsW[pData[i] & 0xF];
    if (nAt == 512 || i + 1 == nSize) {
      if (!pclOut->Add(awBlock, static_cast<int>(nAt))) {
        if (pclError != nullptr) pclError->pclGetLastXError()->SetErrorNoMemory();
        return 0;
      }
      nAt = 0;
    }
  }
  return 1;
}

int CNAConnectionDescription::s_StringHexaToBinary(const wchar_t* pszText, unsigned char* pBuffer,
                                                   unsigned int nSize) {
  return nHexToBinary(pszText, pBuffer, nSize);
}

int CNAConnectionDescription::s_StringHexaToBinary(const char* pszText, unsigned char* pBuffer,
                                                   unsigned int nSize) {
  return nHexToBinary(pszText, pBuffer, nSize);
}
