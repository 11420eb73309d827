#include "host/harness/batch_row_printer.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "kq230/item_type.h"

namespace {

// Windows-1252's characters at 0x80-0x9F (0 where the code page has none:
// those bytes read as the C1 control of the same number, as ISO 8859-1).
constexpr char16_t kWestern80[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

void AppendUTF8(std::string* pstr, unsigned int c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
  if (c < 0x80) {
    *pstr += static_cast<char>(c);
  } else if (c < 0x800) {
    *pstr += static_cast<char>(0xC0 | (c >> 6));
    *pstr += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *pstr += static_cast<char>(0xE0 | (c >> 12));
    *pstr += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *pstr += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *pstr += static_cast<char>(0xF0 | (c >> 18));
    *pstr += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *pstr += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *pstr += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Little-endian integers of a slot (the driver's records are the i386
// server's, whatever machine reads them).
uint64_t ReadUnsigned(const unsigned char* p, int nBytes) {
  uint64_t n = 0;
  for (int i = nBytes - 1; i >= 0; --i) n = (n << 8) | p[i];
  return n;
}

int64_t ReadSigned(const unsigned char* p, int nBytes) {
  const uint64_t n = ReadUnsigned(p, nBytes);
  if (nBytes >= 8) return static_cast<int64_t>(n);
  const uint64_t nSign = uint64_t{1} << (8 * nBytes - 1);
  return static_cast<int64_t>((n ^ nSign) - nSign);
}

// The shortest text that reads back as the same value, with the exponent
// written as the client writes it ("1e20", "1.5e-7").
template <class T>
std::string strFloat(T d) {
  char sz[64];
  const auto res = std::to_chars(sz, sz + sizeof sz, d);
  std::string str(sz, res.ptr);
  const size_t nE = str.find('e');
  if (nE != std::string::npos) {
    std::string strExp = str.substr(nE + 1);
    std::string strOut = str.substr(0, nE + 1);
    size_t i = 0;
    if (strExp[i] == '+') {
      ++i;
    } else if (strExp[i] == '-') {
      strOut += '-';
      ++i;
    }
    while (i + 1 < strExp.size() && strExp[i] == '0') ++i;
    str = strOut + strExp.substr(i);
  }
  return str;
}

std::string strTwoDigits(const unsigned char* p) {
  return std::string(reinterpret_cast<const char*>(p), 2);
}

bool bDigits(const unsigned char* p, int n) {
  for (int i = 0; i < n; ++i)
    if (p[i] < '0' || p[i] > '9') return false;
  return true;
}

// ".fff" for the item's decimals (at most six, as the server keeps), from
// the milliseconds; nothing when the item has none.
std::string strFraction(int nDecimals, unsigned int nMilliseconds) {
  if (nDecimals <= 0) return {};
  if (nDecimals > 6) nDecimals = 6;
  char sz[8];
  std::snprintf(sz, sizeof sz, "%03u000", nMilliseconds % 1000);
  return "." + std::string(sz, static_cast<size_t>(nDecimals));
}

std::string strItemName(INAItemDescription* piItem) {
  std::string str;
  for (const wchar_t* p = piItem->pszGetName(); p != nullptr && *p != 0; ++p)
    AppendUTF8(&str, static_cast<unsigned int>(*p));
  return str;
}

}  // namespace

std::string CBatchRowPrinter::strEscape(std::string_view strValue) {
  std::string str;
  str.reserve(strValue.size());
  for (char c : strValue) {
    switch (c) {
      case '\0':
        str += "\\0";
        break;
      case '\t':
        str += "\\t";
        break;
      case '\n':
        str += "\\n";
        break;
      case '\\':
        str += "\\\\";
        break;
      default:
        str += c;
        break;
    }
  }
  return str;
}

std::string CBatchRowPrinter::strScaledDecimal(const unsigned char* pbyCoefficient, int nBytes,
                                               int nScale, int nShownScale) {
  // Magnitude and sign of the two's-complement number, then its decimal
  // digits by long division: no 128-bit integer on the 32-bit server.
  unsigned char aby[16] = {};
  if (nBytes > 16) nBytes = 16;
  if (nBytes <= 0) return "0";
  std::memcpy(aby, pbyCoefficient, static_cast<size_t>(nBytes));
  const bool bNegative = (aby[nBytes - 1] & 0x80) != 0;
  if (bNegative) {
    unsigned int nCarry = 1;
    for (int i = 0; i < nBytes; ++i) {
      const unsigned int n = static_cast<unsigned char>(~aby[i]) + nCarry;
      aby[i] = static_cast<unsigned char>(n);
      nCarry = n >> 8;
    }
  }
  std::string strDigits;  // least significant first
  for (;;) {
    bool bZero = true;
    unsigned int nRest = 0;
    for (int i = nBytes - 1; i >= 0; --i) {
      const unsigned int n = (nRest << 8) | aby[i];
      aby[i] = static_cast<unsigned char>(n / 10);
      nRest = n % 10;
      bZero &= aby[i] == 0;
    }
    strDigits += static_cast<char>('0' + nRest);
    if (bZero) break;
  }
  std::string str(strDigits.rbegin(), strDigits.rend());
  if (nScale < 0) nScale = 0;
  // At least one integer digit.
  if (static_cast<int>(str.size()) <= nScale) str.insert(0, nScale + 1 - str.size(), '0');
  std::string strInt = str.substr(0, str.size() - static_cast<size_t>(nScale));
  std::string strFrac = str.substr(str.size() - static_cast<size_t>(nScale));
  if (nShownScale < 0) {
    while (!strFrac.empty() && strFrac.back() == '0') strFrac.pop_back();
  } else if (static_cast<int>(strFrac.size()) < nShownScale) {
    strFrac.append(static_cast<size_t>(nShownScale) - strFrac.size(), '0');
  } else if (static_cast<int>(strFrac.size()) > nShownScale) {
    const bool bUp = strFrac[static_cast<size_t>(nShownScale)] >= '5';
    strFrac.resize(static_cast<size_t>(nShownScale));
    if (bUp) {
      std::string strAll = strInt + strFrac;
      int i = static_cast<int>(strAll.size()) - 1;
      for (; i >= 0 && strAll[static_cast<size_t>(i)] == '9'; --i)
        strAll[static_cast<size_t>(i)] = '0';
      if (i < 0)
        strAll.insert(0, 1, '1');
      else
        ++strAll[static_cast<size_t>(i)];
      strInt = strAll.substr(0, strAll.size() - strFrac.size());
      strFrac = strAll.substr(strAll.size() - strFrac.size());
    }
  }
  std::string strOut = strInt;
  if (!strFrac.empty()) strOut += "." + strFrac;
  const bool bAllZero = strOut.find_first_not_of("0.") == std::string::npos;
  return bNegative && !bAllZero ? "-" + strOut : strOut;
}

std::string CBatchRowPrinter::strFromCodePage(const unsigned char* p, int n,
                                              unsigned int nCodePage) {
  if (nCodePage == kCodePageUTF8)
    return std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(n));
  std::string str;
  for (int i = 0; i < n; ++i) {
    unsigned int c = p[i];
    if (nCodePage != kCodePageLatin1 && c >= 0x80 && c <= 0x9F && kWestern80[c - 0x80] != 0)
      c = kWestern80[c - 0x80];
    AppendUTF8(&str, c);
  }
  return str;
}

bool CBatchRowPrinter::_bDecodeSlot(INAItemDescription* piItem, const unsigned char* p, int nSize,
                                    std::string* pstrValue, std::string* pstrError) const {
  const eNA_ITEMTYPE eType = piItem->eNAGetItemType();
  // The bytes a type needs at the least: a shorter slot is a description of
  // another record, never read past.
  int nNeed = 0;
  switch (eType) {
    case NA_IT_I1:
    case NA_IT_UI1:
    case NA_IT_BOOLEEN:
    case NA_IT_CHAR:
      nNeed = 1;
      break;
    case NA_IT_I2:
    case NA_IT_UI2:
      nNeed = 2;
      break;
    case NA_IT_I4:
    case NA_IT_UI4:
    case NA_IT_IDAUTO4:
    case NA_IT_R4:
    case NA_IT_ENUMERATION:
      nNeed = 4;
      break;
    case NA_IT_I8:
    case NA_IT_UI8:
    case NA_IT_IDAUTO:
    case NA_IT_R8:
    case NA_IT_REELTURBO:
    case NA_IT_DATETIME:
    case NA_IT_TIMELENGHT:
      nNeed = 8;
      break;
    case NA_IT_MONETAIRE:
      nNeed = 10;
      break;
    case NA_IT_DECIMAL:
      nNeed = 3;
      break;
    case NA_IT_BINAIRE:
      nNeed = 2;
      break;
    default:
      nNeed = 0;
      break;
  }
  if (nSize < nNeed) {
    *pstrError = "slot of " + std::to_string(nSize) + " bytes, type " +
                 std::to_string(static_cast<int>(eType)) + " needs " + std::to_string(nNeed);
    return false;
  }
  std::string& str = *pstrValue;
  switch (eType) {
    case NA_IT_I1:
    case NA_IT_I2:
    case NA_IT_I4:
    case NA_IT_I8:
    case NA_IT_IDAUTO4:
    case NA_IT_IDAUTO:
    case NA_IT_ENUMERATION:
    case NA_IT_TIMELENGHT:
      str = std::to_string(ReadSigned(p, nNeed));
      return true;
    case NA_IT_UI1:
    case NA_IT_UI2:
    case NA_IT_UI4:
    case NA_IT_UI8:
    case NA_IT_BOOLEEN:
      str = std::to_string(ReadUnsigned(p, nNeed));
      return true;
    case NA_IT_R4: {
      float f;
      std::memcpy(&f, p, sizeof f);
      str = strFloat(f);
      return true;
    }
    case NA_IT_R8:
    case NA_IT_REELTURBO: {
      double d;
      std::memcpy(&d, p, sizeof d);
      str = strFloat(d);
      return true;
    }
    case NA_IT_MONETAIRE: {
      const int nDecimals = piItem->nGetDecimalPart();
      str = strScaledDecimal(p, 10, 6, nDecimals > 0 ? nDecimals : -1);
      return true;
    }
    case NA_IT_DECIMAL: {
      // The head of the decimal object's form, as much as the slot holds
      // (its size follows the item's digits): byte 0 the precision, byte 1
      // the scale, then the coefficient, least significant byte first, whose
      // last byte held carries the sign.
      const int nStoredScale = p[1];
      const int nDecimals = piItem->nGetDecimalPart();
      const int nCoefficient = nSize - 2 < 16 ? nSize - 2 : 16;
      str = strScaledDecimal(p + 2, nCoefficient, nStoredScale,
                             nDecimals >= 0 ? nDecimals : nStoredScale);
      return true;
    }
    case NA_IT_UNICODE: {
      str.clear();
      const int nUnits = nSize / 2;
      for (int i = 0; i < nUnits; ++i) {
        unsigned int c = static_cast<unsigned int>(ReadUnsigned(p + 2 * i, 2));
        if (c == 0) break;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < nUnits) {
          const unsigned int c2 = static_cast<unsigned int>(ReadUnsigned(p + 2 * i + 2, 2));
          if (c2 >= 0xDC00 && c2 <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (c2 - 0xDC00);
            ++i;
          }
        }
        AppendUTF8(&str, c);
      }
      return true;
    }
    case NA_IT_BINAIRE: {
      int n = static_cast<int>(ReadUnsigned(p, 2));
      if (n > nSize - 2) n = nSize - 2;
      str.assign(reinterpret_cast<const char*>(p + 2), static_cast<size_t>(n));
      return true;
    }
    case NA_IT_DATE8: {
      const int n =
          static_cast<int>(strnlen(reinterpret_cast<const char*>(p), static_cast<size_t>(nSize)));
      if (n >= 8 && bDigits(p, 8)) {
        str = std::string(reinterpret_cast<const char*>(p), 4) + "-" + strTwoDigits(p + 4) + "-" +
              strTwoDigits(p + 6);
      } else {
        // A YEAR column or a text the driver could not read as a date: as is.
        str = strFromCodePage(p, n, m_nCodePage);
      }
      return true;
    }
    case NA_IT_HEURE: {
      const int n =
          static_cast<int>(strnlen(reinterpret_cast<const char*>(p), static_cast<size_t>(nSize)));
      if (n >= 6 && bDigits(p, 6)) {
        unsigned int nMs = 0;
        for (int i = 6; i < 9 && i < n && p[i] >= '0' && p[i] <= '9'; ++i)
          nMs = nMs * 10 + (p[i] - '0');
        for (int i = n; i < 9; ++i) nMs *= 10;
        str = strTwoDigits(p) + ":" + strTwoDigits(p + 2) + ":" + strTwoDigits(p + 4) +
              strFraction(piItem->nGetDecimalPart(), nMs);
      } else {
        str = strFromCodePage(p, n, m_nCodePage);
      }
      return true;
    }
    case NA_IT_DATETIME: {
      // Day, month, year (16 bits), milliseconds since midnight (32 bits).
      const unsigned int nDay = p[0], nMonth = p[1];
      const unsigned int nYear = static_cast<unsigned int>(ReadUnsigned(p + 2, 2));
      const unsigned int nMs = static_cast<unsigned int>(ReadUnsigned(p + 4, 4));
      char sz[40];
      std::snprintf(sz, sizeof sz, "%04u-%02u-%02u %02u:%02u:%02u", nYear, nMonth, nDay,
                    nMs / 3600000u, nMs / 60000u % 60, nMs / 1000u % 60);
      str = sz + strFraction(piItem->nGetDecimalPart(), nMs);
      return true;
    }
    default: {
      // 8-bit texts (TEXTE, CHAR, DATE6, IMAGE and the rest): up to the
      // first zero within the slot.
      const int n =
          static_cast<int>(strnlen(reinterpret_cast<const char*>(p), static_cast<size_t>(nSize)));
      str = strFromCodePage(p, n, m_nCodePage);
      return true;
    }
  }
}

bool CBatchRowPrinter::bFormatField(const CNAZBRecordBase& clRecord, INAItemDescription* piItem,
                                    std::string* pstrField, std::string* pstrError) const {
  const bool bDefined = clRecord.vbItemValueDefined(piItem, piItem->nGetPhysicalIndice()) != 0;
  std::string strValue;
  std::string strWhy;
  if (piItem->bMemo()) {
    if (m_piMemos != nullptr) {
      const int n = m_piMemos->nReadMemo(piItem, &strValue, &strWhy);
      if (n < 0) {
        *pstrError = strItemName(piItem) + ": " + strWhy;
        return false;
      }
      *pstrField = n == 0 ? "NULL" : strEscape(strValue);
      return true;
    }
    if (!bDefined) {
      *pstrField = "NULL";
      return true;
    }
    *pstrError = strItemName(piItem) + ": a memo, and no memo source to read it";
    return false;
  }
  if (!bDefined) {
    *pstrField = "NULL";
    return true;
  }
  const int nSize = piItem->nGetTotalSize();
  const unsigned char* p = clRecord.vpbyGetItemValue(piItem, -1);
  if (p == nullptr || nSize < 0) {
    *pstrError = strItemName(piItem) + ": the record holds no slot of this item";
    return false;
  }
  if (!_bDecodeSlot(piItem, p, nSize, &strValue, &strWhy)) {
    *pstrError = strItemName(piItem) + ": " + strWhy;
    return false;
  }
  *pstrField = strEscape(strValue);
  return true;
}

bool CBatchRowPrinter::bFormatRow(const CNAZBRecordBase& clRecord,
                                  const std::vector<INAItemDescription*>& aItems,
                                  std::string* pstrRow, std::string* pstrError) const {
  std::string strRow;
  for (size_t i = 0; i < aItems.size(); ++i) {
    std::string strField;
    if (!bFormatField(clRecord, aItems[i], &strField, pstrError)) return false;
    if (i > 0) strRow += '\t';
    strRow += strField;
  }
  *pstrRow = std::move(strRow);
  return true;
}
