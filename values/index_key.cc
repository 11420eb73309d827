// The encoders of sortable index keys and the keys of dynamic values.
#include "values/index_key.h"

#include <cstring>

#include "core/locale_compare.h"
#include "core/unicode.h"
#include "core/xmalloc.h"
#include "kq230/vm_values.h"
#include "kq230/zb_for_na.h"
#include "values/any.h"
#include "values/money.h"
#include "values/value_conversion.h"

namespace {

// --- Type tables ------------------------------------------------------------

// Key class -> item type (-1: none).
constexpr int kClassItemType[44] = {
    -1, -1, 1,  3,  2,  4,  6,  7,  9,  9,  1,  1,  18, 7,  1,  12, 12, 14, 13, -1, -1, -1,
    -1, 1,  5,  5,  10, 11, 17, 12, 13, -1, -1, 4,  15, 16, 8,  19, 4,  20, 21, 22, 23, 24};
constexpr unsigned int kClassCount = 44;
constexpr unsigned char kDefaultClass = 5;  // signed 32 bits

struct LanguageClassTable {
  unsigned char aby[137];  // index: language type 0..136; 0 is unused
};

constexpr LanguageClassTable MakeLanguageClassTable() {
  LanguageClassTable t{};
  for (unsigned char& c : t.aby) c = kDefaultClass;
  t.aby[VX_BOOL] = 37;      // 19 boolean
  t.aby[VX_UI1] = 36;       // 8
  t.aby[VX_UI2] = 8;        // 9
  t.aby[VX_UI4] = 26;       // 10
  t.aby[VX_UI8] = 27;       // 11
  t.aby[VX_I1] = 4;         // 2
  t.aby[VX_I2] = 3;         // 3
  t.aby[VX_I4] = 5;         // 4
  t.aby[VX_I8] = 24;        // 5
  t.aby[VX_CY] = 17;        // 14 money
  t.aby[VX_R4] = 6;         // 6
  t.aby[VX_R8] = 7;         // 7
  t.aby[VX_DECIMAL] = 41;   // 22
  t.aby[VX_DSTRW] = 40;     // 21 wide text
  t.aby[VX_CARA] = 12;      // 18 character
  t.aby[VX_PSTRA] = 2;      // 1 8-bit text
  t.aby[VX_DSTRA] = 2;
  t.aby[21] = 10;
  t.aby[22] = 11;
  t.aby[23] = 14;
  t.aby[VX_DATEW] = 23;     // 1: date and time texts key as 8-bit texts
  t.aby[VX_TIMEW] = 23;
  t.aby[VX_DATEA] = 23;
  t.aby[VX_TIMEA] = 23;
  t.aby[VX_DATETIME] = 34;  // 15
  t.aby[VX_DUREE] = 35;     // 16 duration
  t.aby[VX_BIN] = 28;       // 17 binary
  t.aby[VX_BUFFER] = 18;    // 13 no encoder
  t.aby[VX_PSTRW] = 39;     // 20 wide text
  t.aby[135] = 42;          // 23
  t.aby[136] = 43;          // 24 combination
  return t;
}
constexpr LanguageClassTable kLanguageClass = MakeLanguageClassTable();

unsigned int nClassOf(unsigned short nVXType) {
  return (nVXType >= 1 && nVXType <= 136) ? kLanguageClass.aby[nVXType] : kDefaultClass;
}

// --- Byte helpers ----------------------------------------------------------

inline void PutBE16(unsigned char* p, uint16_t n) {
  p[0] = static_cast<unsigned char>(n >> 8);
  p[1] = static_cast<unsigned char>(n);
}
inline void PutBE32(unsigned char* p, uint32_t n) {
  p[0] = static_cast<unsigned char>(n >> 24);
  p[1] = static_cast<unsigned char>(n >> 16);
  p[2] = static_cast<unsigned char>(n >> 8);
  p[3] = static_cast<unsigned char>(n);
}
inline void PutBE64(unsigned char* p, uint64_t n) {
  PutBE32(p, static_cast<uint32_t>(n >> 32));
  PutBE32(p + 4, static_cast<uint32_t>(n));
}
template <class T>
inline T Load(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Width of the fixed layouts; 0 for the variable ones and those without.
unsigned int nFixedWidth(unsigned int eType) {
  switch (eType) {
    case KEY_ITEM_I1: case KEY_ITEM_BOOL: case KEY_ITEM_UI1: case KEY_ITEM_CARA: return 1;
    case KEY_ITEM_I2: case KEY_ITEM_UI2: return 2;
    case KEY_ITEM_I4: case KEY_ITEM_UI4: case KEY_ITEM_UI4_2: case KEY_ITEM_R4: return 4;
    case KEY_ITEM_I8: case KEY_ITEM_UI8: case KEY_ITEM_DUREE: case KEY_ITEM_R8:
    case KEY_ITEM_DATETIME: return 8;
    case KEY_ITEM_CY: return static_cast<unsigned int>(kMoneyKeySize);
    default: return 0;
  }
}

IZBForNA* g_piZBForNA = nullptr;

// The text-sorting service of the server, or null when the database-engine
// interface or the service is missing.
IZBTextSort* piTextSort() {
  return g_piZBForNA != nullptr ? g_piZBForNA->piGetTextSort() : nullptr;
}

}  // namespace

void CZBConvertKey::SetZBForNA(IZBForNA* piZB) { g_piZBForNA = piZB; }
IZBForNA* CZBConvertKey::piGetZBForNA() { return g_piZBForNA; }

// --- Fixed-width encoders ---------------------------------------------------

void CZBConvertKey::_I1_to_Key(void* pKey, const int8_t* pValue) {
  *static_cast<unsigned char*>(pKey) = static_cast<unsigned char>(*pValue) ^ 0x80;
}
void CZBConvertKey::_UI1_to_Key(void* pKey, const uint8_t* pValue) {
  *static_cast<unsigned char*>(pKey) = *pValue;
}
void CZBConvertKey::_I2_to_Key(void* pKey, const int16_t* pValue) {
  PutBE16(static_cast<unsigned char*>(pKey), static_cast<uint16_t>(Load<int16_t>(pValue)) ^ 0x8000u);
}
void CZBConvertKey::_UI2_to_Key(void* pKey, const uint16_t* pValue) {
  PutBE16(static_cast<unsigned char*>(pKey), Load<uint16_t>(pValue));
}
void CZBConvertKey::_I4_to_Key(void* pKey, const int32_t* pValue) {
  PutBE32(static_cast<unsigned char*>(pKey), static_cast<uint32_t>(Load<int32_t>(pValue)) ^ 0x80000000u);
}
void CZBConvertKey::_UI4_to_Key(void* pKey, const uint32_t* pValue) {
  PutBE32(static_cast<unsigned char*>(pKey), Load<uint32_t>(pValue));
}
void CZBConvertKey::_I8_to_Key(void* pKey, const int64_t* pValue) {
  PutBE64(static_cast<unsigned char*>(pKey),
          static_cast<uint64_t>(Load<int64_t>(pValue)) ^ 0x8000000000000000ull);
}
void CZBConvertKey::_UI8_to_Key(void* pKey, const uint64_t* pValue) {
  PutBE64(static_cast<unsigned char*>(pKey), Load<uint64_t>(pValue));
}

void CZBConvertKey::__Rx_to_Key(void* pKey, const void* pValue, unsigned int nSize) {
  auto* pOut = static_cast<unsigned char*>(pKey);
  // Negative zero equals zero in every comparison of the language, so it gets
  // zero's key: two keys of equal values must be equal bytes.
  if (nSize == 4) {
    uint32_t n = Load<uint32_t>(pValue);
    if (n == 0x80000000u) n = 0;
    PutBE32(pOut, (n & 0x80000000u) ? ~n : (n | 0x80000000u));
  } else if (nSize == 8) {
    uint64_t n = Load<uint64_t>(pValue);
    if (n == 0x8000000000000000ull) n = 0;
    PutBE64(pOut, (n >> 63) ? ~n : (n | 0x8000000000000000ull));
  }
}
void CZBConvertKey::_R4_to_Key(void* pKey, const float* pValue) { __Rx_to_Key(pKey, pValue, 4); }
void CZBConvertKey::_R8_to_Key(void* pKey, const double* pValue) { __Rx_to_Key(pKey, pValue, 8); }

void CZBConvertKey::_DateTime_to_Key(void* pKey, const void* pValue) {
  const auto* p = static_cast<const unsigned char*>(pValue);
  auto* pOut = static_cast<unsigned char*>(pKey);
  // The date word is year * 65536 + month * 256 + day, stored little-endian
  // as day, month, year; then the milliseconds.
  pOut[0] = p[3];
  pOut[1] = p[2];
  pOut[2] = p[1];
  pOut[3] = p[0];
  pOut[4] = p[7];
  pOut[5] = p[6];
  pOut[6] = p[5];
  pOut[7] = p[4];
}

void CZBConvertKey::_CY_to_Key(void* pKey, const void* pValue) {
  CMoney m;
  std::memcpy(&m, pValue, sizeof m);
  MonetaireVersCleZB(pKey, &m);
}

int CZBConvertKey::_Decimal_to_Key(void* pKey, const void* pValue, int nPrecision, int nScale) {
  std::memset(pKey, 0, kDecimalKeySize);
  IVXDecimalFactory* piFactory = gpiVMFactory;
  if (piFactory == nullptr) return 0;
  IVXDecimal* piDecimal = piFactory->pCreateDecimal(0);
  if (piDecimal == nullptr) return 0;
  piDecimal->SetFromData(nPrecision, nScale, pValue);
  piDecimal->WriteKey(pKey);
  piFactory->DestroyDecimal(piDecimal);
  return 1;
}

// --- Variable encoders ------------------------------------------------------

int CZBConvertKey::_nBin_to_Key(void* pKey, unsigned int nKeySize, const void* pValue,
                                unsigned int nBytes) {
  static const char kHex[] = "0123456789abcdef";
  auto* pOut = static_cast<unsigned char*>(pKey);
  const auto* p = static_cast<const unsigned char*>(pValue);
  if (pValue == nullptr) nBytes = 0;
  // Only whole pairs: a key too short for the value keys the bytes that fit.
  if (nBytes > nKeySize / 2) nBytes = nKeySize / 2;
  for (unsigned int i = 0; i < nBytes; ++i) {
    pOut[2 * i] = static_cast<unsigned char>(kHex[p[i] >> 4]);
    pOut[2 * i + 1] = static_cast<unsigned char>(kHex[p[i] & 0x0F]);
  }
  if (nKeySize > 2 * nBytes) std::memset(pOut + 2 * nBytes, '0', nKeySize - 2 * nBytes);
  return static_cast<int>(2 * nBytes);
}

int CZBConvertKey::_nCombination_to_Key(void* pKey, unsigned int nKeySize, const void* pValue,
                                        unsigned int nValueSize) {
  if (pValue == nullptr) return 0;
  unsigned int n = nValueSize < nKeySize ? nValueSize : nKeySize;
  std::memcpy(pKey, pValue, n);
  return static_cast<int>(n);
}

int CZBConvertKey::_nUNICODE_to_Key(void* pKey, unsigned int nKeySize, const void* pValue,
                                    unsigned int nValueSize, unsigned int nFlags,
                                    unsigned int nSourceFlags) {
  if (pValue == nullptr || nValueSize == 0) return 0;
  auto* pOut = static_cast<unsigned char*>(pKey);
  const unsigned int nUnits = nKeySize / 2;
  // Every path leaves the whole key defined: bytes after the text take part
  // in memcmp, so they must not depend on what the buffer held before.
  std::memset(pOut, 0, nKeySize);
  if (nUnits == 0) return 0;

  const bool bIgnoreCase = (nFlags & KEY_FLAG_IGNORE_CASE) != 0 &&
                           (nFlags & (KEY_FLAG_WEIGHTS | KEY_FLAG_BIG_ENDIAN)) != 0;
  const bool bNoPunct = (nFlags & KEY_FLAG_NO_PUNCT) != 0;
  const bool bNoAccent = (nFlags & KEY_FLAG_NO_ACCENT) != 0;
  IZBTextSort* piSort = (bIgnoreCase || bNoPunct || bNoAccent) ? piTextSort() : nullptr;

  // The key is assembled in an aligned buffer when pKey is not 2-aligned.
  uint16_t* pwKey = reinterpret_cast<uintptr_t>(pOut) % alignof(uint16_t) == 0
                        ? reinterpret_cast<uint16_t*>(pOut) : nullptr;
  uint16_t awLocal[256];
  uint16_t* pwHeap = nullptr;
  if (pwKey == nullptr) {
    if (nUnits <= 256) {
      pwKey = awLocal;
    } else {
      pwHeap = static_cast<uint16_t*>(XMALLOC_pNew_(nUnits * 2));
      if (pwHeap == nullptr) return 0;
      pwKey = pwHeap;
    }
    std::memset(pwKey, 0, nUnits * 2);
  }

  unsigned int nLength;
  if (nSourceFlags & KEY_SOURCE_WIDE32) {
    const unsigned int nChars = nValueSize / 4;
    if (piSort != nullptr) {
      piSort->vnSortFormUTF32(pwKey, nUnits, static_cast<const wchar_t*>(pValue), nChars, bNoPunct,
                              bNoAccent, bIgnoreCase);
      pwKey[nUnits - 1] = 0;
      nLength = 2 * static_cast<unsigned int>(
                        utf16nlen(reinterpret_cast<unsigned short*>(pwKey), static_cast<int>(nUnits)));
    } else {
      int nWritten = WideCharToUTF16(static_cast<const wchar_t*>(pValue), static_cast<int>(nChars),
                                     reinterpret_cast<unsigned short*>(pwKey),
                                     static_cast<int>(nUnits));
      pwKey[nUnits - 1] = 0;
      nLength = 2 * static_cast<unsigned int>(nWritten > 0 ? nWritten : 0);
      if (nLength > nKeySize) nLength = nKeySize;
    }
  } else {
    const unsigned int nChars = nValueSize / 2;
    if (piSort != nullptr) {
      piSort->vnSortFormUTF16(pwKey, nUnits, static_cast<const uint16_t*>(pValue), nChars, bNoPunct,
                              bNoAccent, bIgnoreCase);
      pwKey[nUnits - 1] = 0;
      nLength = 2 * static_cast<unsigned int>(
                        utf16nlen(reinterpret_cast<unsigned short*>(pwKey), static_cast<int>(nUnits)));
    } else {
      nLength = nValueSize < nUnits * 2 ? nValueSize : nUnits * 2;
      std::memcpy(pwKey, pValue, nLength);
      pwKey[nUnits - 1] = 0;
    }
  }

  if (nFlags & KEY_FLAG_WEIGHTS) {
    for (unsigned int i = 0; i + 1 < nUnits; ++i) pwKey[i] = tabUCS2FastSort[pwKey[i]];
  } else if (nFlags & KEY_FLAG_BIG_ENDIAN) {
    for (unsigned int i = 0; i + 1 < nUnits; ++i)
      pwKey[i] = static_cast<uint16_t>((pwKey[i] >> 8) | (pwKey[i] << 8));
  }
  if (pwKey != reinterpret_cast<uint16_t*>(pOut)) {
    std::memcpy(pOut, pwKey, nUnits * 2);
    XMALLOC_Del_(pwHeap);
  }
  return static_cast<int>(nLength);
}

int CZBConvertKey::_nSTR_to_Key(void* pKey, unsigned int nKeySize, const char* pValue,
                                unsigned int nValueSize, unsigned int nFlags,
                                unsigned int nCharset) {
  if (pValue == nullptr || nValueSize == 0 || nKeySize == 0) return 0;
  auto* pOut = static_cast<char*>(pKey);
  // The whole key is defined whatever the mapping writes (see the wide form).
  std::memset(pOut, 0, nKeySize);
  unsigned int nOptions = 0;
  if (nFlags & KEY_FLAG_NO_PUNCT) nOptions |= 4;
  if (nFlags & KEY_FLAG_IGNORE_CASE) nOptions |= 1;
  int nLength;
  if (nFlags & KEY_FLAG_NO_ACCENT) {
    nLength = STR_nMapStringEx_Charset(nCharset, nOptions | 2, pOut, nKeySize, pValue,
                                       static_cast<int>(nValueSize));
  } else if (nOptions != 0) {
    nLength = STR_nMapStringEx_Charset(nCharset, nOptions, pOut, nKeySize, pValue,
                                       static_cast<int>(nValueSize));
  } else {
    unsigned int n = nValueSize < nKeySize ? nValueSize : nKeySize;
    std::memcpy(pOut, pValue, n);
    pOut[nKeySize - 1] = 0;
    nLength = static_cast<int>(n);
  }
  if (nCharset != 0) STR_MapStringSortEx_Charset(nCharset, pOut, nKeySize, pOut, static_cast<int>(nKeySize));
  // The length never claims more than the key holds, whatever a mapping answers.
  if (nLength < 0) return 0;
  return static_cast<unsigned int>(nLength) > nKeySize ? static_cast<int>(nKeySize) : nLength;
}

// --- Sizes and dispatch -----------------------------------------------------

eITEMTYPE CZBConvertKey::eGetItemType(unsigned short nVXType) {
  unsigned int nClass = nClassOf(nVXType);
  if (nClass >= kClassCount) return static_cast<eITEMTYPE>(-1);
  return static_cast<eITEMTYPE>(kClassItemType[nClass]);
}

unsigned int CZBConvertKey::nCalculateKeySize(eITEMTYPE eType, unsigned int nSize) {
  switch (eType) {
    case KEY_ITEM_STRA:
    case KEY_ITEM_STRA_2: return nSize + 1;
    case KEY_ITEM_BIN: return 2 * nSize;
    case KEY_ITEM_PSTRW:
    case KEY_ITEM_DSTRW: return 2 * nSize + 2;
    case KEY_ITEM_DECIMAL: return kDecimalKeySize;
    default: return nSize;
  }
}

unsigned int CZBConvertKey::nCalculateKeySize(unsigned short nVXType, unsigned int nSize) {
  return nCalculateKeySize(eGetItemType(nVXType), nSize);
}

int CZBConvertKey::__nConvertKey(void* pKey, unsigned int nKeySize, const void* pValue,
                                 unsigned int nValueSize, eITEMTYPE eType, unsigned int nFlags,
                                 int nPrecision, int nScale, unsigned int nCharset,
                                 unsigned int nSourceFlags) {
  if (pKey == nullptr || pValue == nullptr) return 0;
  const unsigned int nWidth = nFixedWidth(eType);
  if (nWidth != 0) {
    // A value too short for its layout is not read past its end.
    if (nValueSize < nWidth) return 0;
    unsigned char abyFull[16];
    unsigned char* pOut = nKeySize >= nWidth ? static_cast<unsigned char*>(pKey) : abyFull;
    switch (eType) {
      case KEY_ITEM_I1: case KEY_ITEM_BOOL: _I1_to_Key(pOut, static_cast<const int8_t*>(pValue)); break;
      case KEY_ITEM_UI1: case KEY_ITEM_CARA: _UI1_to_Key(pOut, static_cast<const uint8_t*>(pValue)); break;
      case KEY_ITEM_I2: _I2_to_Key(pOut, static_cast<const int16_t*>(pValue)); break;
      case KEY_ITEM_UI2: _UI2_to_Key(pOut, static_cast<const uint16_t*>(pValue)); break;
      case KEY_ITEM_I4: _I4_to_Key(pOut, static_cast<const int32_t*>(pValue)); break;
      case KEY_ITEM_UI4: case KEY_ITEM_UI4_2: _UI4_to_Key(pOut, static_cast<const uint32_t*>(pValue)); break;
      case KEY_ITEM_I8: case KEY_ITEM_DUREE: _I8_to_Key(pOut, static_cast<const int64_t*>(pValue)); break;
      case KEY_ITEM_UI8: _UI8_to_Key(pOut, static_cast<const uint64_t*>(pValue)); break;
      case KEY_ITEM_R4: __Rx_to_Key(pOut, pValue, 4); break;
      case KEY_ITEM_R8: __Rx_to_Key(pOut, pValue, 8); break;
      case KEY_ITEM_DATETIME: _DateTime_to_Key(pOut, pValue); break;
      case KEY_ITEM_CY: _CY_to_Key(pOut, pValue); break;
      default: return 0;
    }
    // A key shorter than its layout keeps the layout's first bytes: a prefix
    // of an order-preserving key still orders, with ties.
    if (pOut != pKey) {
      std::memcpy(pKey, pOut, nKeySize);
      return static_cast<int>(nKeySize);
    }
    return static_cast<int>(nWidth);
  }
  switch (eType) {
    case KEY_ITEM_STRA:
    case KEY_ITEM_STRA_2: {
      const auto* pSource = static_cast<const unsigned char*>(pValue);
      int nLength = _nSTR_to_Key(pKey, nKeySize, static_cast<const char*>(pValue), nValueSize,
                                 nFlags, nCharset);
      // A text ending in 0xFF (the upper bound of a search) keeps that byte
      // through the mapping, so that the bound stays above every text that
      // starts like it.
      if (nValueSize != 0 && nKeySize >= 2) {
        long i = static_cast<long>(nValueSize < nKeySize - 1 ? nValueSize - 1 : nKeySize - 2);
        while (i >= 0 && (pSource[i] == 0 || pSource[i] == ' ')) --i;
        if (i >= 0 && pSource[i] == 0xFF) static_cast<unsigned char*>(pKey)[i] = 0xFF;
      }
      return nLength;
    }
    case KEY_ITEM_PSTRW:
    case KEY_ITEM_DSTRW:
      return _nUNICODE_to_Key(pKey, nKeySize, pValue, nValueSize, nFlags, nSourceFlags);
    case KEY_ITEM_BIN:
      return _nBin_to_Key(pKey, nKeySize, pValue, nValueSize);
    case KEY_ITEM_COMBINATION:
      return _nCombination_to_Key(pKey, nKeySize, pValue, nValueSize);
    case KEY_ITEM_DECIMAL: {
      // Without the server's decimal objects there is no key to give: the
      // key is empty (and its bytes zero).
      if (nKeySize >= kDecimalKeySize)
        return _Decimal_to_Key(pKey, pValue, nPrecision, nScale) ? static_cast<int>(kDecimalKeySize) : 0;
      unsigned char abyFull[kDecimalKeySize];
      int bWritten = _Decimal_to_Key(abyFull, pValue, nPrecision, nScale);
      std::memcpy(pKey, abyFull, nKeySize);
      return bWritten ? static_cast<int>(nKeySize) : 0;
    }
    default:
      return 0;
  }
}

// --- Keys of dynamic values -------------------------------------------------

namespace {

// What an empty text's data reads as, when its value holds no buffer.
const wchar_t kEmptyText[1] = {0};

bool bIsWideText(unsigned short nType) { return nType == VX_DSTRW || nType == VX_PSTRW; }

}  // namespace

void CConvertKey::__InvertKey(unsigned char* p, unsigned int n) {
  unsigned int i = 0;
  for (; i + 4 <= n; i += 4) {
    uint32_t w;
    std::memcpy(&w, p + i, 4);
    w = ~w;
    std::memcpy(p + i, &w, 4);
  }
  for (; i < n; ++i) p[i] = static_cast<unsigned char>(~p[i]);
}

int CConvertKey::_nConvertKeyAndGetSize(CAny* pValue, unsigned char** ppKey, unsigned int nKeySize,
                                        unsigned short nType, unsigned short nFlags,
                                        int nIntDigits, int nDecDigits) {
  if (ppKey == nullptr) return 0;
  if (nKeySize == 0) *ppKey = nullptr;

  // Everything happens on a private copy: the caller's value, its NULL flag
  // included, is never changed. A NULL or untyped value keys as an empty text.
  CAny clCopy;
  if (pValue == nullptr || pValue->bIsNull() || pValue->nGetTypeCode() == 0) {
    clCopy.__SetType(VX_PSTRW, 0);
    clCopy.pclGetIntern()->SetValue(kEmptyText);
    clCopy.SetTypeWord(VX_PSTRW);
  } else {
    clCopy = *pValue;
  }
  if (nType == 0) nType = clCopy.nGetTypeCode();

  const int nCast = clCopy.__nCastTo(nType, nullptr, 1);
  if (nCast > kVXLastSuccess || nCast < 0) {
    // The cast failed: what the copy holds is not of the key's type, and
    // reading it at that type's width would key foreign bytes. The key is the
    // one of the type's empty value instead.
    clCopy.DestroyContent();
    clCopy.SetTypeWord(0);
    clCopy.__SetType(nType, 0);
  }

  const int nPrecision = nIntDigits + nDecDigits;
  const int nScale = nDecDigits;
  const void* pData = nullptr;
  unsigned int nSize = 0;
  IVXDecimal* piDecimal = nullptr;
  if (nType == VX_DECIMAL) {
    if (clCopy.nGetTypeCode() == VX_DECIMAL && clCopy.pclGetIntern()->nFillBuffer(&piDecimal) == 0 &&
        piDecimal != nullptr) {
      piDecimal->SetPrecisionScale(nPrecision, nScale);
      pData = piDecimal->pGetData();
      nSize = piDecimal->nGetDataSize();
    } else {
      piDecimal = nullptr;
    }
  } else {
    void* p = nullptr;
    if (clCopy.pclGetIntern()->nGetDataAdr(&p) != 0) p = nullptr;
    if (clCopy.pclGetIntern()->nGetUtilDataSize(&nSize) != 0) nSize = 0;
    pData = p;
    if (nType == VX_BOOL) {
      nSize = 1;
    } else if (bIsWideText(nType)) {
      nSize += sizeof(wchar_t);  // the terminating wide zero
    } else if (nType == VX_PSTRA || nType == VX_DSTRA) {
      nSize += 1;
    }
    // An empty text may hold no buffer at all: its data is the terminator.
    if (pData == nullptr && (bIsWideText(nType) || nType == VX_PSTRA || nType == VX_DSTRA)) {
      pData = kEmptyText;
      nSize = bIsWideText(nType) ? sizeof(wchar_t) : 1;
    }
  }

  if (nKeySize == 0) {
    nKeySize = CZBConvertKey::nCalculateKeySize(nType, nSize);
    // Never a block of 0 bytes: the caller always gets one to free.
    *ppKey = static_cast<unsigned char*>(XMALLOC_pNew_(nKeySize != 0 ? nKeySize : 1));
    if (*ppKey == nullptr) return 0;
    if (nKeySize == 0) **ppKey = 0;
  }

  // The wide texts of the language are 4-byte characters.
  const unsigned int nSourceFlags = bIsWideText(nType) ? KEY_SOURCE_WIDE32 : 0;
  int nLength = 0;
  if (piDecimal != nullptr) {
    // The copy's own object writes the key. A second object set from its data
    // at the requested precision would refuse a value whose integer part does
    // not fit, and key it as zero; the copy keeps the value (rounded to the
    // scale when it fits), so its key is the same for every value that fits
    // and still in order for one that does not.
    unsigned char abyFull[kDecimalKeySize];
    unsigned char* pOut = nKeySize >= kDecimalKeySize ? *ppKey : abyFull;
    piDecimal->WriteKey(pOut);
    nLength = static_cast<int>(nKeySize >= kDecimalKeySize ? kDecimalKeySize : nKeySize);
    if (pOut != *ppKey) std::memcpy(*ppKey, abyFull, nKeySize);
  } else if (pData != nullptr) {
    nLength = CZBConvertKey::__nConvertKey(*ppKey, nKeySize, pData, nSize,
                                           CZBConvertKey::eGetItemType(nType), nFlags, nPrecision,
                                           nScale, 0, nSourceFlags);
  }
  if (nFlags & KEY_FLAG_DESCENDING) __InvertKey(*ppKey, nKeySize);
  return nLength;
}

int CConvertKey::nConvertKeyAndGetSize(CAny* pValue, unsigned char* pKey, unsigned int nKeySize,
                                       unsigned short nType, unsigned short nFlags, int nIntDigits,
                                       int nDecDigits) {
  // A size of 0 would mean "allocate" to the common body: a caller's buffer
  // of no bytes gets no key.
  if (pKey == nullptr || nKeySize == 0) return 0;
  return _nConvertKeyAndGetSize(pValue, &pKey, nKeySize, nType, nFlags, nIntDigits, nDecDigits);
}

int CConvertKey::nConvertKeyAndGetSize(CAny* pValue, unsigned char** ppKey, unsigned short nType,
                                       unsigned short nFlags, int nIntDigits, int nDecDigits) {
  if (ppKey == nullptr) return 0;
  *ppKey = nullptr;
  return _nConvertKeyAndGetSize(pValue, ppKey, 0, nType, nFlags, nIntDigits, nDecDigits);
}
