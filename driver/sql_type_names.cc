// The connection's type names and expressions: dates and times written as
// text comparable with their record form, server type names read as item
// types, the SQL type text of an item, and default values read from the
// texts the server reports. The item layer (item types' language types, the
// native type map, the conversion holders) sits above the driver core: it is
// reached through the services the back end handed to the driver object
// (driver/item_services.h).
#include <cwchar>

#include "core/error_object.h"
#include "core/mixed_width_concat.h"
#include "driver/connection_description.h"
#include "driver/item_services.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "kq230/item_description_interface.h"
#include "kq230/item_type.h"
#include "values/any.h"

namespace {

// Debug points of the raises (file kNAFileConnection).
constexpr int kSiteUnicodeRefused = 11;  // point 1.11
constexpr int kSiteNoTypeText = 21;
constexpr int kSiteNoServices = 22;
constexpr unsigned int kErrNotBuilt = 8;
constexpr unsigned int kErrUnicodeRefused = 46;

// Bounds of a decimal column on MariaDB: at most 30 decimals (the server's
// limit) and 64 digits in all (one under the server's 65, as the driver has
// always written). The decimals are kept first; the integer part gives way.
constexpr int kMaxDecimalScale = 30;
constexpr int kMaxDecimalPrecision = 64;

bool bBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }
bool bDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool bStartsWith(const wchar_t* psz, const wchar_t* pszPrefix) {
  return std::wcsncmp(psz, pszPrefix, std::wcslen(pszPrefix)) == 0;
}

wchar_t cUpperAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c; }

// Whether psz begins with pszPrefix without regard to ASCII case.
bool bStartsWithNoCase(const wchar_t* psz, const wchar_t* pszPrefix) {
  for (; *pszPrefix != L'\0'; ++psz, ++pszPrefix)
    if (cUpperAscii(*psz) != cUpperAscii(*pszPrefix)) return false;
  return true;
}

// Reads blanks, then digits (capped at nCap), then blanks, from *pp; the
// number, or -1 when no digit is there. *pp is left after the blanks.
long long llReadNumber(const wchar_t** pp, long long nCap) {
  const wchar_t* p = *pp;
  while (bBlank(*p)) ++p;
  if (!bDigit(*p)) return -1;
  long long n = 0;
  for (; bDigit(*p); ++p) {
    n = n * 10 + (*p - L'0');
    if (n > nCap) n = nCap;  // keeps reading the digits, never wraps
  }
  while (bBlank(*p)) ++p;
  *pp = p;
  return n;
}

const CNAItemServices* pclServices() {
  return CNADriver::s_pclDriver != nullptr ? CNADriver::s_pclDriver->pclGetItemServices()
                                           : nullptr;
}

int nRaiseNoServices(CNAError* pclError, CNAConnectionDescription* pclConnection) {
  CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kNAFileConnection, kSiteNoServices,
                     pclConnection, nullptr, nullptr, kErrNotBuilt);
  if (pclError != nullptr)
    pclError->AddDebugMessageNoFormat(L"the item layer's services are not installed");
  return 0;
}

// ---- Expressions

// Appends "SUBSTR(" inner ", 1, " n ")" (SUBSTRING for the SQL Server-like
// kinds 2 to 4).
void AddCut(CTStringConcatAW* pclOut, int nKind, const CTString& csInner, int n) {
  pclOut->Add(nKind >= 2 && nKind <= 4 ? L"SUBSTRING(" : L"SUBSTR(");
  pclOut->Add(csInner.pszGet());
  pclOut->Add(L", 1, ");
  pclOut->AddNumber(n, 0);
  pclOut->Add(L")");
}

// a + e + b.
CTString csWrap(const wchar_t* pszA, const wchar_t* pszE, const wchar_t* pszB) {
  return CTString(pszA, pszE, pszB);
}

// NA_IT_DATE8: YYYYMMDD.
CTString csDate8(int nKind, const wchar_t* e) {
  switch (nKind) {
    case 5: return csWrap(L"DATE_FORMAT(", e, L",'%Y%m%d')");
    case 2: return csWrap(L"REPLACE(CONVERT(varchar(10),", e, L",20),'-','')");
    case 3: return csWrap(L"FORMAT(", e, L",'YYYYMMdd')");
    case 4: return csWrap(L"CONVERT(VARCHAR(8),", e, L",112)");
    case 7: return csWrap(L"REPLACE(CHAR(DATE(", e, L")), '-', '')");
    case 11: return csWrap(L"TO_CHAR(", e, L",'%Y%m%d')");
    case 13: return csWrap(L"strftime('%Y%m%d',", e, L")");
    default: return csWrap(L"TO_CHAR(", e, L",'YYYYMMDD')");
  }
}

// HHMMSS of every kind (the size-6 form before its cut).
CTString csTime6(int nKind, const wchar_t* e) {
  switch (nKind) {
    case 5: return csWrap(L"TIME_FORMAT(", e, L",'%H%i%S')");
    case 2: return csWrap(L"REPLACE(CONVERT(varchar(8),", e, L",108),':','')");
    case 3: return csWrap(L"FORMAT(", e, L",'HHmmss')");
    case 4: return csWrap(L"STUFF(STUFF(CONVERT(VARCHAR(8),", e, L",108), 3, 1, NULL), 5, 1, NULL)");
    case 7: return csWrap(L"REPLACE(CHAR(TIME(", e, L")), '.', '')");
    case 11: return csWrap(L"TO_CHAR(", e, L",'%H%M%S')");
    case 13: return csWrap(L"strftime('%H%M%S',", e, L")");
    default: return csWrap(L"TO_CHAR(", e, L",'HH24MISS')");
  }
}

// HHMM where a kind has its own form; empty where the size-6 form is cut.
CTString csTime5(int nKind, const wchar_t* e) {
  switch (nKind) {
    case 5: return csWrap(L"TIME_FORMAT(", e, L",'%H%i')");
    case 3: return csWrap(L"FORMAT(", e, L",'HHmm')");
    case 4: return csWrap(L"STUFF(CONVERT(VARCHAR(5),", e, L",108), 3, 1, NULL)");
    case 7: return csWrap(L"SUBSTR(REPLACE(CHAR(TIME(", e, L")), '.', ''), 1, 4)");
    case 11: return csWrap(L"TO_CHAR(", e, L",'%H%M')");
    case 13: return csWrap(L"strftime('%H%M',", e, L")");
    case 2: return CTString();
    default: return csWrap(L"TO_CHAR(", e, L",'HH24MI')");
  }
}

// HHMMSS and at least three fraction digits, cut to n by the caller (kind 3
// writes the digits itself and is never cut).
CTString csTimeLong(int nKind, const wchar_t* e, const wchar_t* pszDBType, int n) {
  switch (nKind) {
    case 5: return csWrap(L"TIME_FORMAT(", e, L",'%H%i%S%f')");
    case 2:
    case 4: return csWrap(L"REPLACE(REPLACE(CONVERT(varchar(12),", e, L",114),':',''),'.','')");
    case 3: {
      CTString cs(L"(FORMAT(", e, L",'HHmmss')");
      cs.Add(n <= 7 ? L" + '0'" : n == 8 ? L" + '00'" : L" + '000'");
      cs.Add(L")");
      return cs;
    }
    case 7:
      return csWrap(L"SUBSTR(REPLACE(REPLACE(REPLACE(CHAR(TIMESTAMP_ISO(", e,
                    L")), '-', ''), '.', ''), ':', ''), 9, 9)");
    case 11: return csWrap(L"TO_CHAR(", e, L",'%H%M%S%F3')");
    case 13: return csWrap(L"REPLACE(strftime('%H%M%f',", e, L"),'.','')");
    default:
      if (pszDBType != nullptr && bStartsWithNoCase(pszDBType, L"TIMESTAMP"))
        return csWrap(L"TO_CHAR(", e, L",'HH24MISSFF3')");
      if (pszDBType != nullptr && bStartsWithNoCase(pszDBType, L"DATE"))
        return csWrap(L"(TO_CHAR(", e, L",'HH24MISS')+'000')");
      return csWrap(L"TO_CHAR( CAST(", e, L" AS TIMESTAMP),'HH24MISSFF3')");
  }
}

// YYYYMMDDHHMMSS and at least three fraction digits (cut to 17).
CTString csDateTime(int nKind, const wchar_t* e, const wchar_t* pszDBType) {
  switch (nKind) {
    case 5: return csWrap(L"DATE_FORMAT(", e, L",'%Y%m%d%H%i%S%f')");
    case 2:
    case 4:
      return csWrap(L"REPLACE(REPLACE(REPLACE(REPLACE(CONVERT(varchar(23),", e,
                    L",121),'-',''),' ',''),':',''),'.','')");
    case 3: return csWrap(L"FORMAT(", e, L",'yyyyMMddHHmmssfff')");
    case 7:
      return csWrap(L"REPLACE(REPLACE(REPLACE(CHAR(TIMESTAMP_ISO(", e,
                    L")), '-', ''), '.', ''), ':', '')");
    case 11: return csWrap(L"TO_CHAR(", e, L",'%Y%m%d%H%M%S%F3')");
    case 13: return csWrap(L"REPLACE(strftime('%Y%m%d%H%M%f',", e, L"),'.','')");
    default:
      if (pszDBType != nullptr && bStartsWithNoCase(pszDBType, L"DATE"))
        return csWrap(L"(TO_CHAR(", e, L",'YYYYMMDDHH24MISS')||'000')");
      return csWrap(L"TO_CHAR(", e, L",'YYYYMMDDHH24MISSFF3')");
  }
}

// ---- Type names

struct stTypePrefix {
  const wchar_t* pszPrefix;
  int eType;
  int eUnsigned;  // the unsigned variant (0: none)
  int nSize;      // fixed size; 0 when the size is computed
};

// Compared in this order, first match wins: a longer name sharing a prefix
// comes before the shorter one ("TIMESTAMP" before "TIME").
constexpr stTypePrefix kTypePrefixes[] = {
    {L"YEAR", NA_IT_DATE8, 0, 9},
    {L"VARCHAR", NA_IT_TEXTE, 0, 0},
    {L"VARYING CHARACTER", NA_IT_TEXTE, 0, 0},
    {L"CHARACTER", NA_IT_TEXTE, 0, 0},
    {L"NCHAR", NA_IT_UNICODE, 0, 0},
    {L"NATIVE CHARACTER", NA_IT_UNICODE, 0, 0},
    {L"NVARCHAR", NA_IT_UNICODE, 0, 0},
    {L"TINYTEXT", NA_IT_MEMOTEXTE, 0, 8},
    {L"TINYINT", NA_IT_I1, NA_IT_UI1, 1},
    {L"TINYBLOB", NA_IT_MEMOBINAIRE, 0, 8},
    {L"TIMESTAMP", NA_IT_DATETIME, 0, 8},
    {L"TIME", NA_IT_HEURE, 0, 6},
    {L"TEXT", NA_IT_MEMOTEXTE, 0, 8},
    {L"NTEXT", NA_IT_MEMOUNICODE, 0, 8},
    {L"CLOB", NA_IT_MEMOTEXTE, 0, 8},
    {L"SMALLINT", NA_IT_I2, NA_IT_UI2, 2},
    {L"INT2", NA_IT_I2, NA_IT_UI2, 2},
    {L"SET", NA_IT_MEMOTEXTE, 0, 8},
    {L"REAL", NA_IT_R4, 0, 4},  // R8 on kind 13
    {L"MEDIUMTEXT", NA_IT_MEMOTEXTE, 0, 8},
    {L"INT8", NA_IT_I8, NA_IT_UI8, 8},
    {L"BIGINT", NA_IT_I8, NA_IT_UI8, 8},
    {L"BIG INT", NA_IT_I8, NA_IT_UI8, 8},
    {L"MEDIUMINT", NA_IT_I4, NA_IT_UI4, 4},
    {L"INTEGER", NA_IT_I4, NA_IT_UI4, 4},
    {L"INT", NA_IT_I4, NA_IT_UI4, 4},
    {L"MEDIUMBLOB", NA_IT_MEMOBINAIRE, 0, 8},
    {L"LONGBLOB", NA_IT_MEMOBINAIRE, 0, 8},
    {L"LONGTEXT", NA_IT_MEMOTEXTE, 0, 8},
    {L"FLOAT", NA_IT_R4, 0, 4},
    {L"ENUM", NA_IT_MEMOTEXTE, 0, 8},
    {L"DOUBLE", NA_IT_R8, 0, 8},
    {L"DECIMAL", NA_IT_DECIMAL, 0, 0},
    {L"DEC", NA_IT_DECIMAL, 0, 0},
    {L"NUMERIC", NA_IT_DECIMAL, 0, 0},
    {L"DATETIME", NA_IT_DATETIME, 0, 8},
    {L"DATE", NA_IT_DATE8, 0, 9},
    {L"CHAR", NA_IT_CHAR, 0, 0},
    {L"BOOL", NA_IT_I1, 0, 1},
    {L"BLOB", NA_IT_MEMOBINAIRE, 0, 8},
    {L"BIT", NA_IT_I1, 0, 1},
    {L"VARBINARY", NA_IT_BINAIRE, 0, 0},
    {L"BINARY", NA_IT_BINAIRE, 0, 0},
};

constexpr wchar_t kUnsigned[] = L"UNSIGNED";
constexpr int kUnsignedLength = 8;

// Skips a leading "UNSIGNED" and its blanks; answers whether the type is
// unsigned (that word at the start, or as a word elsewhere).
bool bReadUnsigned(const wchar_t** ppszName) {
  const wchar_t* psz = *ppszName;
  if (bStartsWith(psz, kUnsigned) && bBlank(psz[kUnsignedLength])) {
    psz += kUnsignedLength;
    while (bBlank(*psz)) ++psz;
    *ppszName = psz;
    return true;
  }
  for (const wchar_t* p = psz; (p = std::wcsstr(p, kUnsigned)) != nullptr; ++p) {
    const wchar_t cAfter = p[kUnsignedLength];
    if (p > psz && bBlank(p[-1]) && (cAfter == L'\0' || bBlank(cAfter))) return true;
  }
  return false;
}

// ---- Default values

// The text of a quoted literal as MariaDB reports it: the enclosing quotes
// removed, "''" and the backslash escapes undone.
CTString csUnquoteLiteral(const wchar_t* pszBody, int n) {
  CTString cs;
  for (int i = 0; i < n; ++i) {
    wchar_t c = pszBody[i];
    if (c == L'\'' && i + 1 < n && pszBody[i + 1] == L'\'') {
      ++i;
    } else if (c == L'\\' && i + 1 < n) {
      const wchar_t cNext = pszBody[++i];
      switch (cNext) {
        case L'0': c = L'\0'; break;
        case L'n': c = L'\n'; break;
        case L'r': c = L'\r'; break;
        case L't': c = L'\t'; break;
        case L'b': c = L'\b'; break;
        case L'Z': c = L'\x1A'; break;
        case L'%':
        case L'_':  // kept with their backslash, as the server does
          cs.Add(L'\\');
          c = cNext;
          break;
        default: c = cNext; break;
      }
    }
    if (c == L'\0') {
      // A zero character cannot travel in a text: the literal reads as the
      // text before it (a binary default keeps every byte below).
      break;
    }
    cs.Add(c);
  }
  return cs;
}

// b'0101' as the decimal text of its number; false when it is no bit
// literal of at most 64 bits.
bool bBitLiteral(const wchar_t* psz, CTString* pOut) {
  if ((psz[0] != L'b' && psz[0] != L'B') || psz[1] != L'\'') return false;
  unsigned long long n = 0;
  int nBits = 0;
  const wchar_t* p = psz + 2;
  for (; *p == L'0' || *p == L'1'; ++p) {
    if (++nBits > 64) return false;
    n = (n << 1) | static_cast<unsigned long long>(*p - L'0');
  }
  if (p[0] != L'\'' || p[1] != L'\0') return false;
  pOut->Vide();
  wchar_t sz[24];
  std::swprintf(sz, 24, L"%llu", n);
  pOut->Add(sz);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Date and time items compared as text

int CNAConnectionDescription::bConvertExpressionToString(CNAError*, CTStringConcatAW* pclOut,
                                                         const wchar_t* pszExpression,
                                                         INAItemDescription* piItem,
                                                         INAItemDescription*) {
  pclOut->Vide();
  const wchar_t* e = pszExpression != nullptr ? pszExpression : L"";
  const int eType = piItem != nullptr ? static_cast<int>(piItem->eNAGetItemType()) : 0;
  const int nKind = m_nServerKind;
  if (eType == NA_IT_DATE8) {
    pclOut->Add(csDate8(nKind, e).pszGet());
    return 1;
  }
  if (eType == NA_IT_DATETIME) {
    AddCut(pclOut, nKind, csDateTime(nKind, e, piItem->pszGetDBType()), 17);
    return 1;
  }
  if (eType != NA_IT_HEURE) {
    pclOut->Add(e);
    return 0;
  }
  // HHMMSS, then the fraction digits of the size: the record form is the
  // digits and a terminator.
  const int nSize = piItem->nGetItemSize();
  if (nSize <= 5) {
    const CTString cs5 = csTime5(nKind, e);
    if (cs5.nTaille() > 0)
      pclOut->Add(cs5.pszGet());
    else
      AddCut(pclOut, nKind, csTime6(nKind, e), 4);
    return 1;
  }
  if (nSize <= 7) {
    const int n = nSize - 1;
    if (n <= 5)
      AddCut(pclOut, nKind, csTime6(nKind, e), n);
    else
      pclOut->Add(csTime6(nKind, e).pszGet());
    return 1;
  }
  // Six digits of HHMMSS and at most the three of the milliseconds (MariaDB
  // gives six fraction digits; the cut keeps the size's).
  const int n = nSize - 1 > 9 ? 9 : nSize - 1;
  const CTString csLong = csTimeLong(nKind, e, piItem->pszGetDBType(), n);
  if (nKind == 3)
    pclOut->Add(csLong.pszGet());
  else
    AddCut(pclOut, nKind, csLong, n);
  return 1;
}

// ---------------------------------------------------------------------------
// Type name to item type

int CNAConnectionDescription::_nGetSizeInTypeDecl(const wchar_t* pszName,
                                                  const wchar_t* pszPrefix) {
  const size_t nName = std::wcslen(pszName);
  const size_t nPrefix = std::wcslen(pszPrefix);
  if (nName < nPrefix + 3) return 1;
  const wchar_t* p = pszName + nPrefix;
  while (bBlank(*p)) ++p;
  if (*p != L'(') return 1;
  ++p;
  const long long n = llReadNumber(&p, kMaxDeclaredLength);
  if (n < 0 || *p != L')') return 1;
  return static_cast<int>(n);
}

int CNAConnectionDescription::bSQLTypeNameToNAType(CNAError*, eNA_ITEMTYPE* peItemType,
                                                   int* pnSize, int* pnIntegerDigits,
                                                   int* pnDecimals, const wchar_t* pszTypeName,
                                                   const wchar_t* pszCharset) {
  // Upper case of the ASCII letters only: type names are ASCII, and a
  // locale's case rules must not change what a name means.
  CTString csUpper;
  for (const wchar_t* p = pszTypeName != nullptr ? pszTypeName : L""; *p != L'\0'; ++p)
    csUpper.Add(cUpperAscii(*p));
  const wchar_t* pszName = csUpper.pszGet();
  const bool bUnsigned = bReadUnsigned(&pszName);

  int eType = NA_IT_MEMOTEXTE;
  int nSize = 8;
  *pnIntegerDigits = 0;
  *pnDecimals = 0;
  for (const stTypePrefix& st : kTypePrefixes) {
    if (!bStartsWith(pszName, st.pszPrefix)) continue;
    eType = bUnsigned && st.eUnsigned != 0 ? st.eUnsigned : st.eType;
    nSize = st.nSize;
    switch (st.eType) {
      case NA_IT_TEXTE: nSize = _nGetSizeInTypeDecl(pszName, st.pszPrefix) + 1; break;
      case NA_IT_UNICODE: nSize = 2 * _nGetSizeInTypeDecl(pszName, st.pszPrefix) + 2; break;
      case NA_IT_BINAIRE: nSize = _nGetSizeInTypeDecl(pszName, st.pszPrefix) + 2; break;
      case NA_IT_CHAR:
        if (std::wcslen(pszName) == 4) {
          nSize = 1;
        } else {
          eType = NA_IT_TEXTE;
          nSize = _nGetSizeInTypeDecl(pszName, st.pszPrefix) + 1;
        }
        break;
      case NA_IT_R4:
        if (st.nSize == 4 && std::wcscmp(st.pszPrefix, L"REAL") == 0 && m_nServerKind == 13) {
          eType = NA_IT_R8;
          nSize = 8;
        }
        break;
      case NA_IT_DECIMAL: {
        // Precision after the first "(", scale after the first ","; both
        // bounded (a decimal of more digits than any server has is a double
        // anyway).
        long long nPrecision = 0, nScale = 0;
        if (const wchar_t* p = std::wcschr(pszName, L'(')) {
          ++p;
          nPrecision = llReadNumber(&p, 1000);
          if (nPrecision < 0) nPrecision = 0;
        }
        if (const wchar_t* p = std::wcschr(pszName, L',')) {
          ++p;
          nScale = llReadNumber(&p, 1000);
          if (nScale < 0) nScale = 0;
        }
        *pnIntegerDigits = static_cast<int>(nPrecision - nScale);
        *pnDecimals = static_cast<int>(nScale);
        const CNAItemServices* pclItems = pclServices();
        if (pclItems != nullptr) {
          pclItems->GetTypeFromFormat(*pnIntegerDigits, *pnDecimals, &eType, &nSize);
        } else {
          eType = NA_IT_R8;  // without the item layer a double holds it best
          nSize = 8;
        }
        break;
      }
      default: break;
    }
    break;
  }

  if (pszCharset != nullptr && (eType == NA_IT_TEXTE || eType == NA_IT_MEMOTEXTE) &&
      (bStartsWithNoCase(pszCharset, L"ucs2") || bStartsWithNoCase(pszCharset, L"utf8"))) {
    if (eType == NA_IT_TEXTE) {
      eType = NA_IT_UNICODE;
      nSize *= 2;
    } else {
      eType = NA_IT_MEMOUNICODE;
    }
  }
  if (nSize > 65535) {
    if (eType == NA_IT_BINAIRE) eType = NA_IT_MEMOBINAIRE;
    if (eType == NA_IT_UNICODE) eType = NA_IT_MEMOUNICODE;
    if (eType == NA_IT_TEXTE) eType = NA_IT_MEMOTEXTE;
    if (eType == NA_IT_MEMOBINAIRE || eType == NA_IT_MEMOUNICODE || eType == NA_IT_MEMOTEXTE) nSize = 8;
  }
  *peItemType = static_cast<eNA_ITEMTYPE>(eType);
  *pnSize = nSize;
  return 1;
}

// ---------------------------------------------------------------------------
// Item to SQL type text

CNAMapConvertType* CNAConnectionDescription::pclGetNativeTypeMap(CNAError* pclError) {
  if (m_pclNativeTypeMap != nullptr) return m_pclNativeTypeMap;
  const CNAItemServices* pclItems = pclServices();
  if (pclItems == nullptr) {
    nRaiseNoServices(pclError, this);
    return nullptr;
  }
  CNAMapConvertType* pclMap = pclItems->pclNewNativeTypeMap();
  if (pclMap == nullptr) {
    if (pclError != nullptr) pclError->pclGetLastXError()->SetErrorNoMemory();
    return nullptr;
  }
  // The reference the services gave is the connection's.
  m_pclNativeTypeMap = pclMap;
  m_pclTypeMapServices = pclItems;
  _InitZB2NativeType();
  return m_pclNativeTypeMap;
}

int CNAConnectionDescription::bGetMatchingSQLType(CNAError* pclError, INAItemDescription* piItem,
                                                  CXYString<wchar_t>* pOut) {
  const CNAItemServices* pclItems = pclServices();
  if (pclItems == nullptr) return nRaiseNoServices(pclError, this);
  const int eType = static_cast<int>(piItem->eNAGetItemType());
  if (!m_bUnicodeItemsAllowed && pclItems->bIsTextUnicode(eType)) {
    return CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kNAFileConnection, kSiteUnicodeRefused,
                              this, piItem->pszGetSourceName(), piItem->pszGetName(),
                              kErrUnicodeRefused, pszGetDefaultDataBaseEx(),
                              pszGetDataBase() != nullptr ? pszGetDataBase() : L"");
  }
  if (m_nServerKind == kServerKindMariaDB && eType == NA_IT_DECIMAL) {
    // Decimals first capped at 30, then the total at 64 by giving up integer
    // digits: the fraction the program asked for is kept whole where the
    // server allows it. Negative parts count as 0, and a column has at least
    // one digit.
    int nDecimals = piItem->nGetDecimalPart();
    int nInteger = piItem->nGetIntegerPart();
    if (nDecimals < 0) nDecimals = 0;
    if (nDecimals > kMaxDecimalScale) nDecimals = kMaxDecimalScale;
    if (nInteger < 0) nInteger = 0;
    if (nInteger > kMaxDecimalPrecision - nDecimals) nInteger = kMaxDecimalPrecision - nDecimals;
    if (nInteger + nDecimals == 0) nInteger = 1;
    CTString cs(L"NUMERIC(");
    cs.AddI4(nInteger + nDecimals);
    cs.Add(L',');
    cs.AddI4(nDecimals);
    cs.Add(L')');
    if (pOut->nAffecteConversion(cs.pszGet(), cs.nTaille()) != 0) {
      if (pclError != nullptr) pclError->pclGetLastXError()->SetErrorNoMemory();
      return 0;
    }
    return 1;
  }
  if (m_nServerKind == 3 && eType == NA_IT_TEXTE && piItem->nGetLogicalSize(0) > 255) {
    if (pOut->nAffecteConversion(L"TEXT", 4) != 0) {
      if (pclError != nullptr) pclError->pclGetLastXError()->SetErrorNoMemory();
      return 0;
    }
    return 1;
  }
  CNAMapConvertType* pclMap = pclGetNativeTypeMap(pclError);
  if (pclMap == nullptr) return 0;
  if (!pclItems->bFormatNativeType(pclMap, piItem, pOut)) {
    // No column type holds this item type on this server: a clear error
    // rather than a column made of nothing.
    CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kNAFileConnection, kSiteNoTypeText, this,
                       piItem->pszGetSourceName(), piItem->pszGetName(), kErrNotBuilt);
    if (pclError != nullptr) {
      CTString cs(L"no SQL type for the item type ");
      cs.AddI4(eType);
      pclError->AddDebugMessageNoFormat(cs.pszGet());
    }
    return 0;
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Default values

int CNAConnectionDescription::bConvertStringToDefaultValue(CAny* pValue, const wchar_t* pszText,
                                                           INAItemDescription* piItem,
                                                           CNAError* pclError) {
  const CNAItemServices* pclItems = pclServices();
  if (pclItems == nullptr) return nRaiseNoServices(pclError, this);
  const int nVXType = pclItems->eGetLanguageType(static_cast<int>(piItem->eNAGetItemType()));
  pValue->__SetType(static_cast<unsigned short>(nVXType), 0);
  if (pszText == nullptr || (m_nServerKind == 1 && *pszText == L'\0') ||
      (std::wcslen(pszText) == 4 && bStartsWithNoCase(pszText, L"NULL"))) {
    pValue->SetNull(true);
    return 1;
  }
  if (*pszText == L'\0') return 1;

  CTString csText;
  const int n = static_cast<int>(std::wcslen(pszText));
  if (n >= 2 && pszText[0] == L'\'' && pszText[n - 1] == L'\'')
    csText = csUnquoteLiteral(pszText + 1, n - 2);
  else if (!bBitLiteral(pszText, &csText))
    csText = pszText;
  if (!pclItems->bReadDatabaseText(pclError, this, piItem, csText.pszGet(),
                                   static_cast<unsigned int>(csText.nTaille()), pValue)) {
    pValue->__SetType(static_cast<unsigned short>(nVXType), 0);
    pValue->SetNull(true);
    return 0;
  }
  return 1;
}

// The generic connection knows no native type codes.
int CNAConnectionDescription::bDBTypeToString(CTString*, int) const { return 0; }
