// The value conversion holder: modes, setters bounded by the capacity, the
// central conversion with its error 53, reading back, copies, comparisons and
// the database form.
#include "items/convert_variant.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <new>

#include "core/binary_buffer.h"
#include "core/codepage_conversion.h"
#include "driver/connection_description.h"
#include "driver/na_error.h"
#include "items/code_page_converters.h"
#include "kq230/item_description_interface.h"
#include "kq230/platform_types.h"
#include "values/date_time_base.h"
#include "values/money.h"
#include "values/value_calc.h"

namespace {

// Internal number of the conversion failure's debug line.
constexpr int kConversionFile = 12;
constexpr int kConversionSite = 3;

bool bWideType(unsigned int n) {
  return n == 16 || n == 20 || n == 24 || n == 25 || n == 81 || n == 110;
}
bool bAnsiType(unsigned int n) {
  return (n >= 17 && n <= 19) || (n >= 21 && n <= 23) || n == 128 || n == 129 || n == 134;
}
// Every text type the 8-bit setters accept.
bool bTextType(unsigned int n) {
  return (n >= 16 && n <= 25) || n == 81 || n == 110 || n == 128 || n == 129 || n == 134;
}
// Types whose value area holds the value itself (no owned pointer).
bool bFixedType(unsigned int n) {
  return (n >= 1 && n <= 12) || n == 14 || n == 17 || (n >= 24 && n <= 27) || n == 81 ||
         n == 128 || n == 129;
}

unsigned int nMin(unsigned int a, unsigned int b) { return a < b ? a : b; }
// Room left after keeping nKeep bytes, never below 0.
unsigned int nRoom(unsigned int nCapacity, unsigned int nKeep) {
  return nCapacity > nKeep ? nCapacity - nKeep : 0;
}

// Stores n bytes into a value under its current type. Fixed-size types read
// their whole width, so short input goes through a zero-padded copy.
void StoreBytes(CAny& v, const void* p, unsigned int n) {
  if (bFixedType(v.nGetTypeCode())) {
    unsigned char aby[kVXValueAreaSize + 8] = {};
    if (p != nullptr) std::memcpy(aby, p, nMin(n, kVXValueAreaSize));
    v.SetValueByte(aby, n);
  } else {
    v.SetValueByte(p != nullptr ? p : "", n);
  }
}

void Retype(CAny& v, unsigned short nType) {
  v.DestroyContent();
  v.SetTypeWord(0);
  v.__SetType(nType, 0);
}

// UTF-16 length of a wide text; nMaxUnits bounds it without splitting a pair.
unsigned int nToUTF16(const wchar_t* psz, unsigned int n, unsigned char* pOut,
                      unsigned int nMaxUnits) {
  unsigned int nUnits = 0;
  for (unsigned int i = 0; i < n; ++i) {
    unsigned int c = static_cast<unsigned int>(psz[i]);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c >= 0x10000) {
      if (nUnits + 2 > nMaxUnits) break;
      c -= 0x10000;
      unsigned int hi = 0xD800 + (c >> 10), lo = 0xDC00 + (c & 0x3FF);
      pOut[2 * nUnits] = static_cast<unsigned char>(hi);
      pOut[2 * nUnits + 1] = static_cast<unsigned char>(hi >> 8);
      pOut[2 * nUnits + 2] = static_cast<unsigned char>(lo);
      pOut[2 * nUnits + 3] = static_cast<unsigned char>(lo >> 8);
      nUnits += 2;
    } else {
      if (nUnits + 1 > nMaxUnits) break;
      pOut[2 * nUnits] = static_cast<unsigned char>(c);
      pOut[2 * nUnits + 1] = static_cast<unsigned char>(c >> 8);
      nUnits += 1;
    }
  }
  return nUnits;
}

// Wide text from nUnits UTF-16 units; a lone surrogate becomes U+FFFD.
CTString csFromUTF16(const unsigned char* p, unsigned int nUnits) {
  CTString cs;
  for (unsigned int i = 0; i < nUnits; ++i) {
    unsigned int c = p[2 * i] | (p[2 * i + 1] << 8);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < nUnits) {
      unsigned int d = p[2 * i + 2] | (p[2 * i + 3] << 8);
      if (d >= 0xDC00 && d <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
        ++i;
      } else {
        c = 0xFFFD;
      }
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    cs.Add(static_cast<wchar_t>(c));
  }
  return cs;
}

unsigned int nUTF16Units(const unsigned char* p, unsigned int nCapacity) {
  unsigned int nMax = nCapacity / 2, i = 0;
  while (i < nMax && (p[2 * i] != 0 || p[2 * i + 1] != 0)) ++i;
  return i;
}

unsigned int nAnsiLength(const unsigned char* p, unsigned int nCapacity) {
  const void* pz = std::memchr(p, 0, nCapacity);
  return pz != nullptr ? static_cast<unsigned int>(static_cast<const unsigned char*>(pz) - p)
                       : nCapacity;
}

// Two digits of a date-time field as text.
void PutNumber(char* pOut, unsigned int nValue, int nDigits) {
  for (int i = nDigits - 1; i >= 0; --i) {
    pOut[i] = static_cast<char>('0' + nValue % 10);
    nValue /= 10;
  }
}

// Fetched cells are mostly short: those are decoded on the stack, sparing
// the converters' allocations per cell.
constexpr int kShortCell = 256;

// Bytes 1 to 0x7F only: the same text in UTF-8 and in 1252.
bool bPlainAscii(const char* p, unsigned int n) {
  for (unsigned int i = 0; i < n; ++i)
    if (static_cast<unsigned char>(p[i]) - 1u >= 0x7Fu) return false;
  return true;
}

// A cell of well-formed UTF-8 of at most kShortCell bytes (no code page makes
// more characters than bytes) decoded into pOut: the characters before the
// first NUL, as a converted text's terminator cuts it. -1 for any other text,
// which takes the converters' road (and its lenient reading of ill-formed
// text).
int nDecodeShortUTF8(const char* p, unsigned int n, wchar_t (&aOut)[kShortCell]) {
  if (n == 0 || n > static_cast<unsigned int>(kShortCell)) return -1;
  const int nChars =
      MultiByteToWideChar(65001, MB_ERR_INVALID_CHARS, p, static_cast<int>(n), aOut, kShortCell);
  if (nChars <= 0) return -1;
  const wchar_t* pz = std::wmemchr(aOut, L'\0', static_cast<size_t>(nChars));
  return pz != nullptr ? static_cast<int>(pz - aOut) : nChars;
}

}  // namespace

// ---- Lifetime

CNAConvertVariant::CNAConvertVariant(CNAError* pclError, CNAConnectionDescription* pclConnection)
    : m_pclConnection(pclConnection), m_pclError(pclError) {
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNAConvertVariant::~CNAConvertVariant() {
  ResetVariant();
  if (m_pclError != nullptr) m_pclError->nRelease();
}

CNAConvertVariant* CNAConvertVariant::pclGetCloneVariant() const {
  CNAConvertVariant* pclClone = new (std::nothrow) CNAConvertVariant(m_pclError, m_pclConnection);
  if (pclClone == nullptr) return nullptr;
  pclClone->bCopyVariant(this);
  return pclClone;
}

// ---- Setting up

void CNAConvertVariant::_SetVarType(eNAVARTYPE eMode) {
  if (m_eMode == NA_VT_OWN_BUFFER) delete[] m_pbyBuffer;
  m_pbyBuffer = nullptr;
  m_nCapacity = 0;
  m_nUsedLength = 0;
  _ReleaseValDB();
  SetItemDesc(nullptr, nullptr);
  Retype(m_clValue, 0);
  m_eMode = eMode;
  m_nBufferDBState = (eMode == NA_VT_REFERENCE || eMode == NA_VT_OWN_BUFFER) ? 1 : 0;
}

int CNAConvertVariant::bInitTypeVariant(eNAVARTYPE eMode, unsigned char* pBuffer,
                                        unsigned int nSize, unsigned short nVXType) {
  _SetVarType(eMode);
  Retype(m_clValue, nVXType);
  return _bInitBufferZB(pBuffer, nSize);
}

int CNAConvertVariant::bInitTypeVariantBuffer(unsigned short nVXType, unsigned int nSize) {
  _SetVarType(NA_VT_OWN_BUFFER);
  int bOk = _bInitBufferZB(nullptr, nSize);
  Retype(m_clValue, nVXType);
  _bInitTypeBind();
  return bOk;
}

int CNAConvertVariant::_bInitBufferZB(unsigned char* pBuffer, unsigned int nSize) {
  if (m_eMode == NA_VT_BUFFER || m_eMode == NA_VT_REFERENCE) {
    m_pbyBuffer = pBuffer;
    m_nCapacity = m_nUsedLength = pBuffer != nullptr ? nSize : 0;
  } else if (m_eMode == NA_VT_OWN_BUFFER) {
    if (nSize == 0) return 1;
    m_pbyBuffer = new (std::nothrow) unsigned char[nSize]();
    if (m_pbyBuffer == nullptr) return _SetErrorNoMemory();
    m_nCapacity = m_nUsedLength = nSize;
  }
  return 1;
}

void CNAConvertVariant::InitTypeVariantAny(unsigned short nVXType, unsigned int nSize) {
  _SetVarType(NA_VT_ANY);
  m_nCapacity = m_nUsedLength = nSize;
  Retype(m_clValue, nVXType);
  m_nTypeBind = 0;
  m_nBufferDBState = 0;
}

void CNAConvertVariant::SetItemDesc(INAItemDescription* piAnalysis, INAItemDescription* piDatabase) {
  if (piAnalysis != m_piItemAnalyse) {
    if (piAnalysis != nullptr) piAnalysis->ExternalAddRef();
    INAItemDescription* piOld = m_piItemAnalyse;
    m_piItemAnalyse = piAnalysis;
    if (piOld != nullptr) piOld->nExternalRelease();
    if (piAnalysis != nullptr) {
      unsigned short nType = ConverteItemToVXType(piAnalysis->eNAGetItemType());
      if (m_clValue.wGetType() != nType) Retype(m_clValue, nType);
    }
  }
  if (piDatabase != m_piItemDatabase) {
    if (piDatabase != nullptr) piDatabase->ExternalAddRef();
    INAItemDescription* piOld = m_piItemDatabase;
    m_piItemDatabase = piDatabase;
    if (piOld != nullptr) piOld->nExternalRelease();
  }
}

void CNAConvertVariant::SetNull() {
  if (m_eMode == NA_VT_NOT_READ) m_eMode = NA_VT_ANY;
  Retype(m_clValue, m_clValue.nGetTypeCode());
  m_clValue.SetNull(true);
  if ((m_eMode == NA_VT_BUFFER || m_eMode == NA_VT_OWN_BUFFER) && m_pbyBuffer != nullptr)
    std::memset(m_pbyBuffer, 0, m_nCapacity);
}

// ---- Item queries

eNA_ITEMTYPE CNAConvertVariant::eNAGetItemTypeAnalyse() const {
  return m_piItemAnalyse != nullptr ? m_piItemAnalyse->eNAGetItemType() : NA_IT_EMPTY;
}
eNA_ITEMTYPE CNAConvertVariant::eNAGetItemTypeDatabase() const {
  return m_piItemDatabase != nullptr ? m_piItemDatabase->eNAGetItemType() : NA_IT_EMPTY;
}
eNA_ITEMTYPE CNAConvertVariant::eNAGetItemType() const {
  eNA_ITEMTYPE e = eNAGetItemTypeAnalyse();
  return e != NA_IT_EMPTY ? e : eNAGetItemTypeDatabase();
}
eNA_ITEMTYPE CNAConvertVariant::eNAGetItemTypeDatabaseEx() const {
  eNA_ITEMTYPE e = eNAGetItemTypeDatabase();
  if (e != NA_IT_EMPTY) return e;
  e = eNAGetItemTypeAnalyse();
  if (e != NA_IT_EMPTY) return e;
  return ConvertVXTypeToeItem(m_clValue.nGetTypeCode());
}
unsigned short CNAConvertVariant::eGetVXTypeDB() const {
  return m_piItemDatabase != nullptr ? ConverteItemToVXType(m_piItemDatabase->eNAGetItemType()) : 0;
}
const wchar_t* CNAConvertVariant::pszGetTableName() const {
  if (m_piItemAnalyse != nullptr) return m_piItemAnalyse->pszGetSourceName();
  if (m_piItemDatabase != nullptr) return m_piItemDatabase->pszGetSourceName();
  return nullptr;
}
const wchar_t* CNAConvertVariant::pszGetItemName() const {
  if (m_piItemAnalyse != nullptr) return m_piItemAnalyse->pszGetName();
  if (m_piItemDatabase != nullptr) return m_piItemDatabase->pszGetName();
  return nullptr;
}
int CNAConvertVariant::bUnicodeDB() const {
  INAItemDescription* pi = m_piItemDatabase != nullptr ? m_piItemDatabase : m_piItemAnalyse;
  if (pi != nullptr) return bIsTextUnicode(pi->eNAGetItemType());
  unsigned int n = m_clValue.nGetTypeCode();
  return n == 16 || n == 20 || n == 24 || n == 25 || n == 81 || n == 110;
}
int CNAConvertVariant::s_bTextToBool(const char* psz) {
  return !(psz == nullptr || psz[0] == 0 || psz[0] == '0' || psz[0] == 'F' || psz[0] == 'f');
}
int CNAConvertVariant::s_bTextToBool(const wchar_t* psz) {
  return !(psz == nullptr || psz[0] == 0 || psz[0] == L'0' || psz[0] == L'F' || psz[0] == L'f');
}

int CNAConvertVariant::nGetLanguageCodePage() const {
  int n = m_pclConnection != nullptr ? m_pclConnection->nGetLanguageCodePage() : kCodePageUnset;
  return n > 0 ? n : 1252;
}

// ---- Reading

const void* CNAConvertVariant::pGetData() const {
  switch (m_eMode) {
    case NA_VT_ANY:
    case NA_VT_NOT_READ:
      return CNAVariant::pGetData();
    case NA_VT_BUFFER:
    case NA_VT_REFERENCE:
    case NA_VT_OWN_BUFFER:
      return m_pbyBuffer;
    default:
      return nullptr;
  }
}

unsigned int CNAConvertVariant::nGetSize() const {
  if (m_eMode == NA_VT_ANY || m_eMode == NA_VT_NOT_READ) return CNAVariant::nGetSize();
  return m_nUsedLength;
}

unsigned int CNAConvertVariant::nGetUtilDataSize() const {
  if (m_eMode == NA_VT_ANY || m_eMode == NA_VT_NOT_READ) return CNAVariant::nGetUtilDataSize();
  if (m_pbyBuffer == nullptr) return 0;
  unsigned int nType = m_clValue.nGetTypeCode();
  if (nType == 16 || nType == 20 || nType == 81 || nType == 110)
    return nUTF16Units(m_pbyBuffer, m_nCapacity);
  if ((nType >= 17 && nType <= 19) || (nType >= 21 && nType <= 23) || nType == 134)
    return nAnsiLength(m_pbyBuffer, m_nCapacity);
  return m_nUsedLength;
}

int CNAConvertVariant::bGetValue(CAny* pOut) const {
  if (pOut == nullptr) return 0;
  if (m_eMode == NA_VT_ANY || m_eMode == NA_VT_NOT_READ) return CNAVariant::bGetValue(pOut);
  if (m_eMode != NA_VT_BUFFER && m_eMode != NA_VT_OWN_BUFFER) return 0;
  unsigned short nType = m_clValue.nGetTypeCode();
  Retype(*pOut, nType);
  if (m_clValue.bIsNull()) {
    pOut->SetNull(true);
    return 1;
  }
  const unsigned char* p = m_pbyBuffer;
  unsigned int nCap = p != nullptr ? m_nCapacity : 0;
  static const unsigned char kNothing[1] = {0};
  if (p == nullptr) p = kNothing;
  switch (nType) {
    case VX_DECIMAL: {
      // The 18-byte form the setter wrote.
      unsigned char aby[18] = {};
      std::memcpy(aby, p, nMin(nCap, sizeof aby));
      pOut->SetValueByte(aby, sizeof aby);
      break;
    }
    case VX_DSTRW:
    case VX_PSTRW: {
      CTString cs = csFromUTF16(p, nUTF16Units(p, nCap));
      pOut->SetValueByte(cs.pszGet(), static_cast<unsigned int>(cs.nTaille()) * sizeof(wchar_t));
      break;
    }
    case VX_PSTRA:
    case VX_DSTRA:
      pOut->SetValueByte(p, nAnsiLength(p, nCap));
      break;
    case VX_DATETIME: {
      eNA_ITEMTYPE eItem = eNAGetItemTypeAnalyse();
      CDateTime clDate;
      if (eItem == NA_IT_DATE8) {
        char sz[9] = {};
        std::memcpy(sz, p, nMin(nAnsiLength(p, nCap), 8));
        int y = CDateTimeBase::nGetPropDateTime(sz, 0, 4, 0);
        int m = CDateTimeBase::nGetPropDateTime(sz, 4, 2, 0);
        int d = CDateTimeBase::nGetPropDateTime(sz, 6, 2, 0);
        clDate.Set(y, m, d, 0, 0, 0, 0);
        pOut->SetDATETIME(clDate);
      } else if (eItem == NA_IT_HEURE) {
        char sz[10] = {};
        std::memcpy(sz, p, nMin(nAnsiLength(p, nCap), 9));
        clDate.InitDate();
        clDate.__SetPartieHeure(sz);
        pOut->SetDATETIME(clDate);
      } else if (eItem == NA_IT_DATETIME || eItem == NA_IT_EMPTY) {
        StoreBytes(*pOut, p, nMin(nCap, 8));
      }
      break;
    }
    case VX_BIN:
      if (eNAGetItemTypeAnalyse() == NA_IT_BINAIRE && nCap >= 2) {
        unsigned int n = p[0] | (p[1] << 8);
        pOut->SetValueByte(p + 2, nMin(n, nCap - 2));
      } else {
        pOut->SetValueByte(p, nCap);
      }
      break;
    default:
      StoreBytes(*pOut, p, nCap);
      break;
  }
  pOut->SetTypeWord(pOut->wGetType() & kVXClearFlagsMask);
  return 1;
}

int CNAConvertVariant::bGetDecimalInfo(int* pnDigits, int* pnDecimals) const {
  if (eNAGetItemTypeAnalyse() == NA_IT_DECIMAL) {
    int nInt = m_piItemAnalyse->nGetIntegerPart();
    int nDec = m_piItemAnalyse->nGetDecimalPart();
    if (pnDigits != nullptr) *pnDigits = nInt + nDec;
    if (pnDecimals != nullptr) *pnDecimals = nDec;
    return 1;
  }
  return CNAVariant::bGetDecimalInfo(pnDigits, pnDecimals);
}

// ---- Raw buffer helpers

void CNAConvertVariant::_CopyToBuffer(const void* p, unsigned int n, unsigned int nTerminator) {
  if (m_pbyBuffer == nullptr) {
    m_nUsedLength = 0;
    return;
  }
  unsigned int nCopy = nMin(n, nRoom(m_nCapacity, nTerminator));
  if (nCopy > 0 && p != nullptr) std::memmove(m_pbyBuffer, p, nCopy);
  std::memset(m_pbyBuffer + nCopy, 0, m_nCapacity - nCopy);
  m_nUsedLength = nCopy;
}

void CNAConvertVariant::_CopyBytesToBuffer(const void* p, unsigned int n) {
  if (m_pbyBuffer == nullptr || eNAGetItemTypeAnalyse() != NA_IT_BINAIRE || m_nCapacity < 2) {
    _CopyToBuffer(p, n, 0);
    return;
  }
  unsigned int nCopy = nMin(n, m_nCapacity - 2);
  if (nCopy > 0xFFFF) nCopy = 0xFFFF;
  m_pbyBuffer[0] = static_cast<unsigned char>(nCopy & 0xFF);
  m_pbyBuffer[1] = static_cast<unsigned char>(nCopy >> 8);
  if (nCopy > 0 && p != nullptr) std::memmove(m_pbyBuffer + 2, p, nCopy);
  std::memset(m_pbyBuffer + 2 + nCopy, 0, m_nCapacity - 2 - nCopy);
  m_nUsedLength = nCopy + 2;
}

void CNAConvertVariant::_SetWideRaw(const wchar_t* psz, unsigned int n) {
  if (m_pbyBuffer == nullptr) return;
  unsigned int nUnits = nToUTF16(psz, n, m_pbyBuffer, nRoom(m_nCapacity, 2) / 2);
  std::memset(m_pbyBuffer + 2 * nUnits, 0, m_nCapacity - 2 * nUnits);
  m_nUsedLength = 2 * nUnits;
}

// ---- Setting

int CNAConvertVariant::bSetValue(const unsigned char* p, unsigned int n) {
  if (m_eMode == NA_VT_NOT_READ) m_eMode = NA_VT_ANY;
  m_clValue.SetNull(false);
  switch (m_eMode) {
    case NA_VT_ANY:
      StoreBytes(m_clValue, p, n);
      return 1;
    case NA_VT_REFERENCE:
      m_pbyBuffer = const_cast<unsigned char*>(p);
      m_nCapacity = m_nUsedLength = p != nullptr ? n : 0;
      return 1;
    default: {
      unsigned int nType = m_clValue.nGetTypeCode();
      if (nType == VX_BIN) {
        _CopyBytesToBuffer(p, n);
        return 1;
      }
      _CopyToBuffer(p, n, bWideType(nType) ? 2 : (bAnsiType(nType) ? 1 : 0));
      return 1;
    }
  }
}

int CNAConvertVariant::bSetValue(CVXBIN* pBin) {
  if (pBin == nullptr) return 0;
  if (m_eMode == NA_VT_NOT_READ) m_eMode = NA_VT_ANY;
  if (m_eMode == NA_VT_ANY && m_clValue.nGetTypeCode() == VX_BIN) {
    m_clValue.pclGetIntern()->SetValue(pBin);
    m_clValue.SetTypeWord(m_clValue.wGetType() & kVXClearFlagsMask);
    return 1;
  }
  return bSetValue(pBin->pbyGet(), static_cast<unsigned int>(pBin->nGetSize()));
}

int CNAConvertVariant::_bSetTyped(unsigned short nVXType, const void* p, unsigned int nBytes,
                                  PfnMakeAny pfnMake) {
  if (m_eMode == NA_VT_NOT_READ) m_eMode = NA_VT_ANY;
  if (m_clValue.nGetTypeCode() != nVXType) {
    CAny clTemp;
    pfnMake(&clTemp, p);
    return bSetValue(&clTemp);
  }
  switch (m_eMode) {
    case NA_VT_ANY: {
      CAny clTemp;
      pfnMake(&clTemp, p);
      return CNAVariant::bSetValue(&clTemp);
    }
    case NA_VT_BUFFER:
    case NA_VT_OWN_BUFFER:
      m_clValue.SetNull(false);
      _CopyToBuffer(p, nBytes, 0);
      return 1;
    default:
      // An empty holder and a holder by reference have no storage of their
      // own for a value: saying "stored" would lose it.
      return 0;
  }
}

int CNAConvertVariant::bSetValue(const CMoney& clMoney) {
  return _bSetTyped(VX_CY, &clMoney, sizeof clMoney, [](CAny* v, const void* p) {
    v->__SetType(VX_CY, 0);
    v->pclGetIntern()->SetValue(static_cast<const CMoney*>(p));
  });
}
int CNAConvertVariant::bSetValue(double d) {
  return _bSetTyped(VX_R8, &d, sizeof d,
                    [](CAny* v, const void* p) { v->SetR8(*static_cast<const double*>(p)); });
}
int CNAConvertVariant::bSetValue(float f) {
  return _bSetTyped(VX_R4, &f, sizeof f,
                    [](CAny* v, const void* p) { v->SetR4(*static_cast<const float*>(p)); });
}
int CNAConvertVariant::bSetValue(long long ll) {
  return _bSetTyped(VX_I8, &ll, sizeof ll,
                    [](CAny* v, const void* p) { v->SetI8(*static_cast<const long long*>(p)); });
}
int CNAConvertVariant::bSetValue(unsigned long long ull) {
  return _bSetTyped(VX_UI8, &ull, sizeof ull, [](CAny* v, const void* p) {
    v->SetUI8(*static_cast<const unsigned long long*>(p));
  });
}
int CNAConvertVariant::bSetValue(int n) {
  return _bSetTyped(VX_I4, &n, sizeof n,
                    [](CAny* v, const void* p) { v->SetI4(*static_cast<const int*>(p)); });
}
int CNAConvertVariant::bSetValue(unsigned int n) {
  return _bSetTyped(VX_UI4, &n, sizeof n,
                    [](CAny* v, const void* p) { v->SetUI4(*static_cast<const unsigned int*>(p)); });
}
int CNAConvertVariant::bSetValue(short n) {
  return _bSetTyped(VX_I2, &n, sizeof n,
                    [](CAny* v, const void* p) { v->SetI2(*static_cast<const short*>(p)); });
}
int CNAConvertVariant::bSetValue(unsigned short n) {
  return _bSetTyped(VX_UI2, &n, sizeof n, [](CAny* v, const void* p) {
    v->SetUI2(*static_cast<const unsigned short*>(p));
  });
}
int CNAConvertVariant::bSetValue(char c) {
  return _bSetTyped(VX_I1, &c, sizeof c,
                    [](CAny* v, const void* p) { v->SetI1(*static_cast<const char*>(p)); });
}
int CNAConvertVariant::bSetValue(unsigned char c) {
  return _bSetTyped(VX_UI1, &c, sizeof c, [](CAny* v, const void* p) {
    v->SetUI1(*static_cast<const unsigned char*>(p));
  });
}
int CNAConvertVariant::bSetValue(bool b) {
  const unsigned char by = b ? 1 : 0;
  return _bSetTyped(VX_BOOL, &by, 1, [](CAny* v, const void* p) {
    v->SetBOOL(*static_cast<const unsigned char*>(p) != 0 ? 1 : 0);
  });
}
int CNAConvertVariant::bSetValue(CDateTime* pclDateTime) {
  if (pclDateTime == nullptr) return 0;
  // The date-time's first 8 bytes are its record form.
  return _bSetTyped(VX_DATETIME, pclDateTime, 8, [](CAny* v, const void* p) {
    v->SetDATETIME(static_cast<CDateTime*>(const_cast<void*>(p)));
  });
}

int CNAConvertVariant::bSetValue(const CAny* pv) {
  if (m_eMode == NA_VT_NOT_READ) m_eMode = NA_VT_ANY;
  if (pv == nullptr || pv->bIsNull() || pv->nGetTypeCode() == 0) {
    SetNull();
    return 1;
  }
  unsigned short nT = m_clValue.nGetTypeCode();
  unsigned short nS = pv->nGetTypeCode();
  if (nT == 0 && m_eMode == NA_VT_ANY) {
    // Keep the items and the capacity: only the type is taken from the value.
    Retype(m_clValue, nS);
    nT = nS;
  }
  if (m_eMode == NA_VT_EMPTY) return 0;
  const CAny_Intern* pclIntern = pv->pclGetIntern();
  if (nT == nS) {
    if (m_eMode == NA_VT_ANY) return CNAVariant::bSetValue(pv);
    if (m_eMode == NA_VT_REFERENCE) return 0;
    const bool bWasNull = m_clValue.bIsNull();
    m_clValue.SetNull(false);
    void* pData = nullptr;
    unsigned int nUtil = 0;
    pclIntern->nGetDataAdr(&pData);
    if (pclIntern->nGetUtilDataSize(&nUtil) != 0) pclIntern->nGetDataSize(&nUtil);
    switch (nS) {
      case VX_DATETIME: {
        eNA_ITEMTYPE eItem = eNAGetItemTypeAnalyse();
        CDateTimeBase clDate;
        std::memcpy(&clDate, pv->pbyGetValeur(), sizeof clDate);
        if (eItem == NA_IT_DATE8 || eItem == NA_IT_HEURE) {
          // The slot's 8-bit text, bounded by its capacity less the terminator.
          char sz[16] = {};
          if (eItem == NA_IT_DATE8) {
            PutNumber(sz, static_cast<unsigned int>(clDate.nGetAnnee()), 4);
            PutNumber(sz + 4, static_cast<unsigned int>(clDate.nGetMois()), 2);
            PutNumber(sz + 6, static_cast<unsigned int>(clDate.nGetJour()), 2);
          } else {
            PutNumber(sz, static_cast<unsigned int>(clDate.nGetHeure()), 2);
            PutNumber(sz + 2, static_cast<unsigned int>(clDate.nGetMinute()), 2);
            PutNumber(sz + 4, static_cast<unsigned int>(clDate.nGetSeconde()), 2);
            PutNumber(sz + 6, static_cast<unsigned int>(clDate.nGetMilliseconde()), 3);
          }
          _CopyToBuffer(sz, static_cast<unsigned int>(std::strlen(sz)), 1);
          return 1;
        }
        if (eItem == NA_IT_DATETIME || eItem == NA_IT_EMPTY) {
          _CopyToBuffer(pv->pbyGetValeur(), 8, 0);
          return 1;
        }
        return 1;
      }
      case VX_BOOL: {
        int n = 0;
        std::memcpy(&n, pv->pbyGetValeur(), sizeof n);
        unsigned char by = (pv->wGetType() == VX_BOOL && n == 1) ? 1 : 0;
        _CopyToBuffer(&by, 1, 0);
        return 1;
      }
      default:
        if (bWideType(nS)) {
          const wchar_t* psz = static_cast<const wchar_t*>(pData);
          unsigned int nChars = nUtil / sizeof(wchar_t);
          if (nS == VX_CARW) nChars = 1;
          if (psz == nullptr) nChars = 0;
          if (nS == VX_CARW) {
            _CopyToBuffer(pv->pbyGetValeur(), sizeof(wchar_t), 0);
          } else {
            _SetWideRaw(psz, nChars);
          }
          return 1;
        }
        if (nS == VX_DECIMAL) {
          // A decimal object has no address of its 18-byte form: it writes
          // it out on demand.
          unsigned char aby[kVXDecimalFormSize] = {};
          if (pclIntern->nFillDataBuffer(aby) != 0) {
            m_clValue.SetNull(bWasNull);
            return _SetErrorNoMemory();
          }
          return bSetValue(aby, static_cast<unsigned int>(sizeof aby));
        }
        return bSetValue(static_cast<const unsigned char*>(pData), nUtil);
    }
  }
  // Different types.
  void* pData = nullptr;
  unsigned int nUtil = 0;
  pclIntern->nGetDataAdr(&pData);
  if (pclIntern->nGetUtilDataSize(&nUtil) != 0) pclIntern->nGetDataSize(&nUtil);
  if (bAnsiType(nS) && bTextType(nT))
    return bSetValue(pData != nullptr ? static_cast<const char*>(pData) : "", nUtil);
  if (bWideType(nS) && bTextType(nT)) {
    if (nS == VX_CARW) return bSetValue(reinterpret_cast<const wchar_t*>(pv->pbyGetValeur()), 1u);
    return bSetValue(pData != nullptr ? static_cast<const wchar_t*>(pData) : L"",
                     nUtil / static_cast<unsigned int>(sizeof(wchar_t)));
  }
  if ((nT == 135 && nS == VX_I4) || (nT == 136 && nS == VX_BIN))
    return bSetValue(static_cast<const unsigned char*>(pData), nUtil);
  if (nT == VX_DATETIME && (nS == VX_TIMEW || nS == VX_TIMEA)) {
    char sz[16] = {};
    if (nS == VX_TIMEA) {
      std::memcpy(sz, pv->pbyGetValeur(), 9);
    } else {
      const wchar_t* psz = reinterpret_cast<const wchar_t*>(pv->pbyGetValeur());
      for (int i = 0; i < 9 && psz[i] != 0; ++i) sz[i] = static_cast<char>(psz[i]);
    }
    CDateTime clDate;
    clDate.InitDate();
    clDate.__SetPartieHeure(sz);
    CAny clTemp;
    clTemp.SetDATETIME(clDate);
    return bSetValue(&clTemp);
  }
  return _bSetValueByCast(pv);
}

int CNAConvertVariant::_bSetValueByCast(const CAny* pv) {
  const unsigned short nT = m_clValue.nGetTypeCode();
  const unsigned short nS = pv->nGetTypeCode();
  unsigned short nTarget = nT;
  if (nT == VX_DUREE &&
      ((nS >= 16 && nS <= 23) || nS == 81 || nS == 110 || nS == 134 || nS == VX_DECIMAL ||
       nS == VX_CY))
    nTarget = VX_I8;
  CAny clCopy(*pv);
  if (clCopy.__nCastTo(nTarget, nullptr, 1) >= 100 || clCopy.nGetTypeCode() != nTarget) {
    CTString csText;
    nGetString(&csText, pv, nullptr, 1);
    return _SetErrorConversionFailed(nS, csText.pszGet(), kConversionFile, kConversionSite);
  }
  return bSetValue(&clCopy);
}

int CNAConvertVariant::bSetValue(const wchar_t* psz, unsigned int n) {
  if (psz == nullptr) psz = L"";
  if (n == static_cast<unsigned int>(-1)) n = static_cast<unsigned int>(std::wcslen(psz));
  if (m_eMode == NA_VT_NOT_READ) m_eMode = NA_VT_ANY;
  unsigned int nT = m_clValue.nGetTypeCode();
  if (m_eMode == NA_VT_ANY && (nT == 16 || nT == 110)) {
    m_clValue.SetValueByte(psz, n * static_cast<unsigned int>(sizeof(wchar_t)));
    return 1;
  }
  if (m_eMode == NA_VT_ANY && bAnsiType(nT)) {
    CNACodePageCnvIN clCnv(psz, static_cast<int>(n), nGetLanguageCodePage());
    const char* p = clCnv.pszGetForDB();
    if (clCnv.bFailed()) return _SetErrorNoMemory();
    m_clValue.pclGetIntern()->SetValueFromANSI(p, static_cast<unsigned int>(clCnv.nGetLengthForDB()));
    m_clValue.SetTypeWord(m_clValue.wGetType() & kVXClearFlagsMask);
    return 1;
  }
  if (m_eMode == NA_VT_BUFFER || m_eMode == NA_VT_OWN_BUFFER) {
    if (bWideType(nT) || bAnsiType(nT)) {
      m_clValue.SetNull(false);
      if (n == 0) {
        _CopyToBuffer(nullptr, 0, 0);
        return 1;
      }
      if (nT == 81) {
        _CopyToBuffer(psz, sizeof(wchar_t), 0);
        return 1;
      }
      if (bWideType(nT)) {
        _SetWideRaw(psz, n);
        return 1;
      }
      CNACodePageCnvIN clCnv(psz, static_cast<int>(n), nGetLanguageCodePage());
      const char* p = clCnv.pszGetForDB();
      if (clCnv.bFailed()) return _SetErrorNoMemory();
      unsigned int nLen = static_cast<unsigned int>(clCnv.nGetLengthForDB());
      if (nT == 17) nLen = nMin(nLen, 1);
      _CopyToBuffer(p, nLen, nT == 17 ? 0 : 1);
      return 1;
    }
  }
  // Every other road goes through the language's cast, never back through
  // bSetValue(const CAny*): that one hands wide text for a wide target type
  // to this function again.
  CAny clTemp;
  clTemp.__SetType(VX_DSTRW, 0);
  clTemp.SetValueByte(psz, n * static_cast<unsigned int>(sizeof(wchar_t)));
  if (m_eMode == NA_VT_EMPTY) return 0;
  if (m_clValue.nGetTypeCode() == 0 || m_clValue.nGetTypeCode() == VX_DSTRW)
    return bSetValue(&clTemp);
  return _bSetValueByCast(&clTemp);
}

int CNAConvertVariant::bSetValue(const char* psz, unsigned int n) {
  if (psz == nullptr) psz = "";
  if (n == static_cast<unsigned int>(-1)) n = static_cast<unsigned int>(std::strlen(psz));
  if (bTextType(m_clValue.nGetTypeCode()))
    return _bSetValue(psz, n, static_cast<unsigned int>(nGetLanguageCodePage()));
  CAny clTemp;
  clTemp.__SetType(VX_DSTRA, 0);
  clTemp.SetValueByte(psz, n);
  return bSetValue(&clTemp);
}

int CNAConvertVariant::_bSetValue(const char* psz, unsigned int n, unsigned int nCodePage) {
  if (psz == nullptr) {
    psz = "";
    n = 0;
  }
  if (m_eMode == NA_VT_NOT_READ) m_eMode = NA_VT_ANY;
  unsigned int nT = m_clValue.nGetTypeCode();
  int nLanguage = nGetLanguageCodePage();
  bool bFromUTF8 = nCodePage == 65001 && nLanguage != 65001;
  // ASCII reads the same in both: such a cell needs neither conversion.
  if (bFromUTF8 && nLanguage == 1252 && bAnsiType(nT) && bPlainAscii(psz, n)) bFromUTF8 = false;
  wchar_t aShort[kShortCell];
  const int nShort = nCodePage == 65001 && !bAnsiType(nT) ? nDecodeShortUTF8(psz, n, aShort) : -1;
  m_clValue.SetNull(false);
  if (m_eMode != NA_VT_ANY) {
    if (m_eMode == NA_VT_REFERENCE || m_eMode == NA_VT_EMPTY) return 0;
    if (n == 0) {
      _CopyToBuffer(nullptr, 0, 0);
      return 1;
    }
    if (bAnsiType(nT)) {
      if (bFromUTF8) {
        CNACodePageCnvOUTPtr clOut(psz, static_cast<int>(n), 65001);
        CNACodePageCnvIN clIn(clOut.pszGetForZB(), -1, nLanguage);
        const char* p = clIn.pszGetForDB();
        if (clIn.bFailed()) return _SetErrorNoMemory();
        _CopyToBuffer(p, static_cast<unsigned int>(clIn.nGetLengthForDB()), nT == 17 ? 0 : 1);
        if (nT == 17) _CopyToBuffer(m_pbyBuffer, nMin(m_nUsedLength, 1), 0);
        return 1;
      }
      if (nT == 17) {
        _CopyToBuffer(psz, 1, 0);
        return 1;
      }
      _CopyToBuffer(psz, n, 1);
      return 1;
    }
    if (nShort >= 0) {
      _SetWideRaw(aShort, static_cast<unsigned int>(nShort));
      return 1;
    }
    CNACodePageCnvOUTPtr clOut(psz, static_cast<int>(n), static_cast<int>(nCodePage));
    const wchar_t* pszWide = clOut.pszGetForZB();
    _SetWideRaw(pszWide != nullptr ? pszWide : L"",
                pszWide != nullptr ? static_cast<unsigned int>(std::wcslen(pszWide)) : 0);
    return 1;
  }
  if (bAnsiType(nT)) {
    if (bFromUTF8) {
      CNACodePageCnvOUTPtr clOut(psz, static_cast<int>(n), 65001);
      CNACodePageCnvIN clIn(clOut.pszGetForZB(), -1, nLanguage);
      const char* p = clIn.pszGetForDB();
      if (clIn.bFailed()) return _SetErrorNoMemory();
      unsigned int nLen = static_cast<unsigned int>(clIn.nGetLengthForDB());
      if (nT == VX_DSTRA)
        m_clValue.SetValueByte(p, nLen);
      else
        m_clValue.pclGetIntern()->SetValueFromANSI(p, nLen);
    } else if (nT == VX_DSTRA) {
      m_clValue.SetValueByte(psz, n);
    } else {
      m_clValue.pclGetIntern()->SetValueFromANSI(psz, n);
    }
  } else if (nShort >= 0) {
    m_clValue.pclGetIntern()->SetValue(aShort,
                                       static_cast<unsigned int>(nShort) * sizeof(wchar_t));
  } else {
    CNACodePageCnvOUTPtr clOut(psz, static_cast<int>(n), static_cast<int>(nCodePage));
    const wchar_t* pszWide = clOut.pszGetForZB();
    if (pszWide == nullptr) pszWide = L"";
    m_clValue.pclGetIntern()->SetValue(
        pszWide, static_cast<unsigned int>(std::wcslen(pszWide) * sizeof(wchar_t)));
  }
  m_clValue.SetTypeWord(m_clValue.wGetType() & kVXClearFlagsMask);
  return 1;
}

int CNAConvertVariant::bSetValue(_SYSTEMTIME* pst) {
  if (pst == nullptr) return 0;
  CDateTime clDate;
  clDate.InitDate(pst);
  if (eNAGetItemType() == NA_IT_TEXTE) {
    wchar_t sz[32] = {};
    unsigned int nSize = nGetSize();
    int h = clDate.nGetHeure(), mi = clDate.nGetMinute(), s = clDate.nGetSeconde();
    int ms = clDate.nGetMilliseconde();
    if (nSize == 5)
      std::swprintf(sz, 32, L"%02d%02d", h, mi);
    else if (nSize == 7)
      std::swprintf(sz, 32, L"%02d%02d%02d", h, mi, s);
    else if (nSize == 9)
      std::swprintf(sz, 32, L"%02d%02d%02d%02d", h, mi, s, ms / 10);
    else if (nSize == 10)
      std::swprintf(sz, 32, L"%02d%02d%02d%03d", h, mi, s, ms);
    else
      std::swprintf(sz, 32, L"%04d%02d%02d %02d%02d%02d", clDate.nGetAnnee(), clDate.nGetMois(),
                    clDate.nGetJour(), h, mi, s);
    return bSetValue(sz, static_cast<unsigned int>(-1));
  }
  return bSetValue(&clDate);
}

int CNAConvertVariant::bSetValueBinaryString(const unsigned char* p, unsigned int n) {
  if (m_eMode == NA_VT_NOT_READ) m_eMode = NA_VT_ANY;
  if (m_pbyBuffer == nullptr || m_nCapacity < 2 || m_eMode == NA_VT_ANY) return 0;
  n = nMin(n, m_nCapacity - 2);
  m_pbyBuffer[0] = static_cast<unsigned char>(n);
  m_pbyBuffer[1] = static_cast<unsigned char>(n >> 8);
  if (n > 0 && p != nullptr) std::memmove(m_pbyBuffer + 2, p, n);
  std::memset(m_pbyBuffer + 2 + n, 0, m_nCapacity - 2 - n);
  m_nUsedLength = n;
  m_clValue.SetNull(false);
  return 1;
}

void CNAConvertVariant::CompleteSpaces(int n) {
  if (m_clValue.bIsNull()) return;
  unsigned int nT = m_clValue.nGetTypeCode();
  bool bRaw = m_eMode == NA_VT_BUFFER || m_eMode == NA_VT_OWN_BUFFER;
  if (bRaw && m_pbyBuffer != nullptr) {
    if (nT == 16 || nT == 110) {
      unsigned int nMax = nRoom(m_nCapacity, 2) / 2;
      unsigned int nWant = n < 0 ? nUTF16Units(m_pbyBuffer, m_nCapacity) : static_cast<unsigned int>(n);
      nWant = nMin(nWant, nMax);
      unsigned int nHave = nMin(nUTF16Units(m_pbyBuffer, m_nCapacity), nWant);
      for (unsigned int i = nHave; i < nWant; ++i) {
        m_pbyBuffer[2 * i] = ' ';
        m_pbyBuffer[2 * i + 1] = 0;
      }
      std::memset(m_pbyBuffer + 2 * nWant, 0, m_nCapacity - 2 * nWant);
      m_nUsedLength = 2 * nWant;
    } else if (nT == 18 || nT == 19) {
      unsigned int nMax = nRoom(m_nCapacity, 1);
      unsigned int nWant = n < 0 ? nAnsiLength(m_pbyBuffer, m_nCapacity) : static_cast<unsigned int>(n);
      nWant = nMin(nWant, nMax);
      unsigned int nHave = nMin(nAnsiLength(m_pbyBuffer, m_nCapacity), nWant);
      std::memset(m_pbyBuffer + nHave, ' ', nWant - nHave);
      std::memset(m_pbyBuffer + nWant, 0, m_nCapacity - nWant);
      m_nUsedLength = nWant;
    }
    return;
  }
  if (m_eMode != NA_VT_ANY && m_eMode != NA_VT_NOT_READ) return;
  if (nT == 16 || nT == 110) {
    CTString cs;
    const wchar_t* psz = nullptr;
    m_clValue.pclGetIntern()->nGetPCWSTR(&psz);
    cs = psz != nullptr ? psz : L"";
    unsigned int nWant = n < 0 ? static_cast<unsigned int>(cs.nTaille()) : static_cast<unsigned int>(n);
    CTString csOut(cs.pszGet(), static_cast<int>(nMin(nWant, static_cast<unsigned int>(cs.nTaille()))));
    while (static_cast<unsigned int>(csOut.nTaille()) < nWant) csOut.Add(L' ');
    m_clValue.SetValueByte(csOut.pszGet(), static_cast<unsigned int>(csOut.nTaille()) * sizeof(wchar_t));
  } else if (nT == 18 || nT == 19) {
    const char* psz = nullptr;
    m_clValue.pclGetIntern()->nGetPCASTR(&psz);
    std::string s = psz != nullptr ? psz : "";
    unsigned int nWant = n < 0 ? static_cast<unsigned int>(s.size()) : static_cast<unsigned int>(n);
    s.resize(nWant, ' ');
    m_clValue.SetValueByte(s.data(), static_cast<unsigned int>(s.size()));
  }
}

int CNAConvertVariant::bLoadFile(const wchar_t* pszPath, CNAError* pclError, int bBinary) {
  if (!CNAVariant::bLoadFile(pszPath, pclError, bBinary)) return 0;
  if (m_eMode == NA_VT_NOT_READ) m_eMode = NA_VT_ANY;
  return 1;
}

// ---- Copies and comparisons

int CNAConvertVariant::bCopyVariant(const CNAConvertVariant* pclSrc) {
  if (pclSrc == this) return 1;
  if (pclSrc == nullptr) {
    SetNull();
    return 1;
  }
  m_pclConnection = pclSrc->m_pclConnection;
  if (m_nBufferDBState != 0 && nGetVXType() == pclSrc->nGetVXType()) {
    if (pclSrc->m_eMode == NA_VT_NOT_READ) {
      SetNull();
      if (m_eMode == NA_VT_ANY) m_eMode = NA_VT_NOT_READ;
    } else {
      if (m_eMode == NA_VT_NOT_READ) m_eMode = NA_VT_ANY;
      if (m_eMode == NA_VT_ANY && pclSrc->m_eMode == NA_VT_ANY) {
        CNAVariant::bCopyVariant(pclSrc);
      } else {
        CAny clTemp;
        pclSrc->bGetValue(&clTemp);
        bSetValue(&clTemp);
      }
    }
    SetItemDesc(pclSrc->m_piItemAnalyse, pclSrc->m_piItemDatabase);
    m_nLengthIndicator = pclSrc->m_nLengthIndicator;
    return 1;
  }
  if (pclSrc->m_eMode == NA_VT_OWN_BUFFER) {
    if (bInitTypeVariantBuffer(pclSrc->nGetVXType(), pclSrc->m_nCapacity)) {
      const unsigned char* p = static_cast<const unsigned char*>(pclSrc->pGetData());
      unsigned int n = pclSrc->nGetSize();
      if (pclSrc->eNAGetItemTypeAnalyse() == NA_IT_BINAIRE && p != nullptr && pclSrc->m_nCapacity >= 2) {
        n = nMin(static_cast<unsigned int>(p[0] | (p[1] << 8)), pclSrc->m_nCapacity - 2);
        p += 2;
      }
      // The type stays: the raw bytes are copied under it (a binary slot's
      // length before them again, the description first so that the copy
      // knows its form).
      SetItemDesc(pclSrc->m_piItemAnalyse, pclSrc->m_piItemDatabase);
      if (pclSrc->m_clValue.bIsNull()) {
        SetNull();
      } else {
        m_clValue.SetNull(false);
        _CopyBytesToBuffer(p, n);
      }
    }
    SetItemDesc(pclSrc->m_piItemAnalyse, pclSrc->m_piItemDatabase);
  } else {
    InitTypeVariantAny(pclSrc->nGetVXType(), pclSrc->m_nCapacity);
    SetItemDesc(pclSrc->m_piItemAnalyse, pclSrc->m_piItemDatabase);
    if (pclSrc->m_eMode == NA_VT_BUFFER || pclSrc->m_eMode == NA_VT_REFERENCE) {
      CAny clTemp;
      if (pclSrc->bGetValue(&clTemp)) CNAVariant::bSetValue(&clTemp);
    } else {
      CNAVariant::bCopyVariant(pclSrc);
    }
  }
  if (pclSrc->m_eMode == NA_VT_NOT_READ) {
    SetNull();
    if (m_eMode == NA_VT_ANY) m_eMode = NA_VT_NOT_READ;
  }
  m_nLengthIndicator = pclSrc->m_nLengthIndicator;
  return 1;
}

int CNAConvertVariant::nCmp(const CNAConvertVariant* pclOther) const {
  if (pclOther == this) return 0;
  if (pclOther == nullptr) return 1;
  unsigned int nA = nGetVXType(), nB = pclOther->nGetVXType();
  unsigned int nSizeA = nGetSize();
  const void* pA = pGetData();
  const void* pB = pclOther->pGetData();
  if (nA == nB && nSizeA == pclOther->nGetSize()) {
    if (nSizeA == 0) return 0;
    if (pA != nullptr && pB != nullptr) {
      int r = std::memcmp(pA, pB, nSizeA);
      return r < 0 ? -1 : (r > 0 ? 1 : 0);
    }
  }
  CAny clA, clB;
  if (!bGetValue(&clA) || !pclOther->bGetValue(&clB)) return nA < nB ? -1 : (nA > nB ? 1 : 0);
  if (bAnsiType(nA) && bAnsiType(nB)) {
    const char* pszA = nullptr;
    const char* pszB = nullptr;
    clA.pclGetIntern()->nGetPCASTR(&pszA);
    clB.pclGetIntern()->nGetPCASTR(&pszB);
    int r = std::strcmp(pszA != nullptr ? pszA : "", pszB != nullptr ? pszB : "");
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
  }
  if (bWideType(nA) && bWideType(nB)) {
    const wchar_t* pszA = nullptr;
    const wchar_t* pszB = nullptr;
    clA.pclGetIntern()->nGetPCWSTR(&pszA);
    clB.pclGetIntern()->nGetPCWSTR(&pszB);
    return std::wcscmp(pszA != nullptr ? pszA : L"", pszB != nullptr ? pszB : L"");
  }
  int nResult = 0;
  nCompare(clA, clB, &nResult, 0);
  return nResult;
}

int CNAConvertVariant::bEqualsNAVariant(const CNAConvertVariant* pclOther) const {
  if (pclOther == this) return 1;
  if (pclOther == nullptr) return m_clValue.bIsNull();
  if (m_eMode == NA_VT_EMPTY && pclOther->m_eMode == NA_VT_EMPTY) return 1;
  if (m_clValue.bIsNull() && pclOther->m_clValue.bIsNull()) return 1;
  if (m_eMode == pclOther->m_eMode) {
    if (m_eMode == NA_VT_NOT_READ) return 0;
    if (m_eMode == NA_VT_ANY) return CNAVariant::bEqualsNAVariant(&pclOther->m_clValue);
  }
  return nCmp(pclOther) == 0;
}

// ---- Database form

int CNAConvertVariant::_bInitBufferDB_Ptr() {
  m_nBufferDBState = 1;
  return 1;
}

int CNAConvertVariant::_bInitBufferDB_Any() {
  unsigned int nT = m_clValue.nGetTypeCode();
  if (nT == 0) {
    SetNull();
  } else if ((nT >= 1 && nT <= 14) || nT == 17 || (nT >= 24 && nT <= 27) || nT == 81 || nT == 128 ||
             nT == 129) {
    m_pbyBuffer = const_cast<unsigned char*>(static_cast<const unsigned char*>(CNAVariant::pGetData()));
    m_nCapacity = CNAVariant::nGetSize();
  }
  m_nBufferDBState = 1;
  return 1;
}

int CNAConvertVariant::bInitBufferDB() {
  if (m_nBufferDBState != 0) return 1;
  if (!_bInitTypeBind()) return 0;
  if (m_eMode == NA_VT_NOT_READ) m_eMode = NA_VT_ANY;
  if (m_eMode == NA_VT_ANY) return _bInitBufferDB_Any();
  if (m_eMode == NA_VT_BUFFER) return _bInitBufferDB_Ptr();
  return 0;
}

int CNAConvertVariant::nGetTypeBind() {
  if (!bInitBufferDB()) return 0;
  return m_nTypeBind;
}

int CNAConvertVariant::bGetBufferDB(unsigned char** ppData, unsigned int* pnSize,
                                    unsigned int** ppnLength) {
  if (m_eMode == NA_VT_NOT_READ) m_eMode = NA_VT_ANY;
  if (m_nBufferDBState == 0 && !bInitBufferDB()) return 0;
  unsigned char* p;
  unsigned int n;
  if (m_nBufferDBState == 2) {
    p = m_pbyBufferDB;
    n = m_nBufferDBSize;
  } else if (m_eMode == NA_VT_ANY) {
    p = const_cast<unsigned char*>(static_cast<const unsigned char*>(pGetData()));
    n = nGetSize();
  } else {
    p = m_pbyBuffer;
    n = m_nCapacity;
  }
  if (ppData != nullptr) *ppData = p;
  if (pnSize != nullptr) *pnSize = n;
  if (ppnLength != nullptr) *ppnLength = &m_nLengthIndicator;
  return 1;
}

int CNAConvertVariant::bSetValueDB(const unsigned char* p, unsigned int n) {
  if (m_nBufferDBState == 0 && !bInitBufferDB()) return 0;
  m_nLengthIndicator = n;
  if (m_nBufferDBState == 2) {
    if (!_bAllocBufferDB(n)) return 0;
  } else if (m_eMode == NA_VT_ANY || m_eMode == NA_VT_NOT_READ) {
    m_eMode = NA_VT_ANY;
    m_clValue.SetNull(false);
    StoreBytes(m_clValue, p, n);
    return 1;
  }
  unsigned char* pTarget = nullptr;
  unsigned int nSize = 0;
  if (!bGetBufferDB(&pTarget, &nSize, nullptr)) return 0;
  if (pTarget == nullptr) {
    m_nLengthIndicator = 0;
    return 1;
  }
  unsigned int nCopy = nMin(n, nSize);
  if (nCopy > 0 && p != nullptr) std::memmove(pTarget, p, nCopy);
  std::memset(pTarget + nCopy, 0, nSize - nCopy);
  m_nLengthIndicator = nCopy;
  m_clValue.SetNull(false);
  return 1;
}

int CNAConvertVariant::_bAllocBufferDB(unsigned int n) {
  if (m_pbyBufferDB != nullptr && m_nBufferDBSize >= n) {
    std::memset(m_pbyBufferDB, 0, m_nBufferDBSize);
    return 1;
  }
  _ReleaseValDB();
  if (n == 0) return 1;
  m_pbyBufferDB = new (std::nothrow) unsigned char[n]();
  if (m_pbyBufferDB == nullptr) return _SetErrorNoMemory();
  m_nBufferDBSize = n;
  m_nLengthIndicator = 0;
  return 1;
}

void CNAConvertVariant::_ReleaseValDB() {
  delete[] m_pbyBufferDB;
  m_pbyBufferDB = nullptr;
  m_nBufferDBSize = 0;
}

int CNAConvertVariant::bConvertDataToDB() {
  if (m_nBufferDBState == 0 && !bInitBufferDB()) return 0;
  if (m_nBufferDBState == 2) return _bConvertDataToDB();
  return 1;
}

int CNAConvertVariant::bConvertDataToZB(CNAZBRecord*) {
  if (m_eMode == NA_VT_NOT_READ) m_eMode = NA_VT_ANY;
  if (m_nBufferDBState == 2) return _bConvertDataToZB();
  if (m_nBufferDBState == 1 && m_eMode == NA_VT_BUFFER && m_pbyBuffer != nullptr &&
      eNAGetItemTypeAnalyse() == NA_IT_TEXTE && eNAGetItemTypeDatabase() == NA_IT_TEXTE) {
    unsigned int nLen = nAnsiLength(m_pbyBuffer, m_nCapacity);
    std::memset(m_pbyBuffer + nLen, 0, m_nCapacity - nLen);
  }
  // Marking the item defined in the record comes with the record buffer.
  return 1;
}

// ---- Errors

int CNAConvertVariant::_SetErrorConversionFailed(int nSourceVXType, const wchar_t* pszSource,
                                                 int nMajor, int nMinor) {
  return CNAError::g_nRaise(m_pclError, eNA_ERRORTYPE(0), nMajor, nMinor, m_pclConnection,
                            pszGetTableName(), pszGetItemName(), kNAErrConversion, nSourceVXType,
                            static_cast<int>(eNAGetItemType()), pszSource != nullptr ? pszSource : L"");
}

int CNAConvertVariant::_SetErrorNoMemory() {
  if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
  return 0;
}

// ---- Changing the language type

int CNAConvertVariant::vbChangeVXType(unsigned short nType, int bNoFill) {
  CAny clCopy;
  if (!bGetValue(&clCopy)) return 0;
  bool bText = (nType >= 16 && nType <= 23) || nType == 81 || nType == 110 || nType == 134;
  if (!clCopy.bIsNull() && bText && eNAGetItemTypeAnalyse() == NA_IT_HEURE) {
    if (clCopy.__nCastTo(VX_PSTRW, nullptr, 1) >= 100) return 0;
    const wchar_t* psz = nullptr;
    clCopy.pclGetIntern()->nGetPCWSTR(&psz);
    std::wstring s = psz != nullptr ? psz : L"";
    int nWant = m_piItemAnalyse->nGetItemSize() - 1;
    if (nWant < 1) {
      s.clear();
    } else if (s.size() > static_cast<size_t>(nWant)) {
      s.resize(static_cast<size_t>(nWant));
    } else if (!bNoFill) {
      s.resize(static_cast<size_t>(nWant), L'0');
    }
    clCopy.DestroyContent();
    clCopy.SetTypeWord(0);
    clCopy.__SetType(VX_PSTRW, 0);
    clCopy.SetValueByte(s.c_str(), static_cast<unsigned int>(s.size() * sizeof(wchar_t)));
  }
  InitTypeVariantAny(nType, 0);
  return bSetValue(&clCopy);
}
