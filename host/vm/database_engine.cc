#include "host/vm/database_engine.h"

#include <cstdint>

#include "host/vm/locale_tables.h"

namespace {

using standin_locale::CodePointRange;
using standin_locale::kLetterTableEnd;

constexpr uint32_t kReplacement = 0xFFFD;

bool bInRanges(std::span<const CodePointRange> ranges, uint32_t c) {
  for (const CodePointRange& r : ranges) {
    if (c < r.nFirst) return false;  // sorted, disjoint
    if (c <= r.nLast) return true;
  }
  return false;
}

// One character under the switches; false when it is dropped.
bool bMapChar(uint32_t& c, int bIgnorePunct, int bIgnoreAccent, int bIgnoreCase) {
  if (bIgnorePunct && (bInRanges(standin_locale::kWhiteSpace, c) ||
                       bInRanges(standin_locale::kPunctuation, c)))
    return false;
  if (c < kLetterTableEnd) {
    if (bIgnoreAccent) c = standin_locale::kBaseLetter[c];
    if (bIgnoreCase) c = standin_locale::kUpperCase[c];
  }
  return true;
}

// Appends one character as UTF-16 when it fits before the terminator's unit.
bool bPut(uint16_t* pKey, unsigned int nMaxUnits, unsigned int& n, uint32_t c) {
  if (c >= 0x10000) {
    if (n + 2 > nMaxUnits) return false;
    c -= 0x10000;
    pKey[n++] = static_cast<uint16_t>(0xD800 + (c >> 10));
    pKey[n++] = static_cast<uint16_t>(0xDC00 + (c & 0x3FF));
    return true;
  }
  if (n + 1 > nMaxUnits) return false;
  pKey[n++] = static_cast<uint16_t>(c);
  return true;
}

class CStandInTextSort final : public IZBTextSort {
 public:
  int _vnReserved0() override { return 0; }
  int _vnReserved1() override { return 0; }
  int _vnReserved2() override { return 0; }
  int _vnReserved3() override { return 0; }
  int _vnReserved4() override { return 0; }
  int _vnReserved5() override { return 0; }
  int _vnReserved6() override { return 0; }
  int _vnReserved7() override { return 0; }
  int _vnReserved8() override { return 0; }
  int _vnReserved9() override { return 0; }
  int _vnReserved10() override { return 0; }
  int _vnReserved11() override { return 0; }
  int _vnReserved12() override { return 0; }
  int _vnReserved13() override { return 0; }
  int _vnReserved14() override { return 0; }

  int vnSortFormUTF16(uint16_t* pKey, unsigned int nKeyUnits, const uint16_t* pText,
                      unsigned int nChars, int bIgnorePunct, int bIgnoreAccent,
                      int bIgnoreCase) override {
    if (pKey == nullptr || nKeyUnits == 0) return 0;
    if (pText == nullptr) nChars = 0;
    const unsigned int nMax = nKeyUnits - 1;
    unsigned int n = 0;
    for (unsigned int i = 0; i < nChars; ++i) {
      uint32_t c = pText[i];
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < nChars && pText[i + 1] >= 0xDC00 &&
          pText[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (pText[i + 1] - 0xDC00);
        ++i;
      } else if (c >= 0xD800 && c <= 0xDFFF) {
        c = kReplacement;
      }
      if (c == 0) break;
      if (!bMapChar(c, bIgnorePunct, bIgnoreAccent, bIgnoreCase)) continue;
      if (!bPut(pKey, nMax, n, c)) break;
    }
    pKey[n] = 0;
    return static_cast<int>(n);
  }

  int vnSortFormUTF32(uint16_t* pKey, unsigned int nKeyUnits, const wchar_t* pText,
                      unsigned int nChars, int bIgnorePunct, int bIgnoreAccent,
                      int bIgnoreCase) override {
    if (pKey == nullptr || nKeyUnits == 0) return 0;
    if (pText == nullptr) nChars = 0;
    const unsigned int nMax = nKeyUnits - 1;
    unsigned int n = 0;
    for (unsigned int i = 0; i < nChars; ++i) {
      uint32_t c = static_cast<uint32_t>(pText[i]);
      if (c == 0) break;
      if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = kReplacement;
      if (!bMapChar(c, bIgnorePunct, bIgnoreAccent, bIgnoreCase)) continue;
      if (!bPut(pKey, nMax, n, c)) break;
    }
    pKey[n] = 0;
    return static_cast<int>(n);
  }
};

class CStandInZBForNA final : public IZBForNA {
 public:
  int _vnReserved0() override { return 0; }
  int _vnReserved1() override { return 0; }
  int _vnReserved2() override { return 0; }
  int _vnReserved3() override { return 0; }
  int _vnReserved4() override { return 0; }
  int _vnReserved5() override { return 0; }
  IZBTextSort* piGetTextSort() override { return &m_clSort; }

 private:
  CStandInTextSort m_clSort;
};

}  // namespace

namespace standin_zb {

IZBForNA* StandInZBForNA() {
  static CStandInZBForNA* pZB = new CStandInZBForNA();
  return pZB;
}

}  // namespace standin_zb
