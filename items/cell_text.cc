// Fetched cells straight into a slot's bytes: see cell_text.h.
#include "items/cell_text.h"

#include <cstdint>

#include "core/char_conv.h"

namespace {

constexpr int kMaxDecimalDigits = 38;

// coefficient = coefficient * 10 + d over four 32-bit limbs (the build is
// 32-bit: no 128-bit type, and 64-bit division is a library call).
void MulTenAdd(uint32_t (&a)[4], unsigned int d) {
  uint64_t carry = d;
  for (uint32_t& w : a) {
    const uint64_t v = uint64_t(w) * 10u + carry;
    w = static_cast<uint32_t>(v);
    carry = v >> 32;
  }
}

void PutUnit(unsigned char* p, unsigned int c) {
  p[0] = static_cast<unsigned char>(c);
  p[1] = static_cast<unsigned char>(c >> 8);
}

// One character as UTF-16 at unit nUnits; false when it does not fit whole.
bool bPutChar(unsigned int c, unsigned char* pOut, unsigned int nMaxUnits, unsigned int* pnUnits) {
  const unsigned int n = *pnUnits;
  if (c >= 0x10000) {
    if (n + 2 > nMaxUnits) return false;
    c -= 0x10000;
    PutUnit(pOut + 2 * n, 0xD800 + (c >> 10));
    PutUnit(pOut + 2 * n + 2, 0xDC00 + (c & 0x3FF));
    *pnUnits = n + 2;
    return true;
  }
  if (n + 1 > nMaxUnits) return false;
  PutUnit(pOut + 2 * n, c);
  *pnUnits = n + 1;
  return true;
}

// The length of the sequence a lead byte opens (0: not a lead byte).
unsigned int nSequenceLength(unsigned char c) {
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF4) return 4;
  return 0;
}

}  // namespace

bool CellText_bDecimalForm(const char* p, size_t n, unsigned char* pForm) {
  if (p == nullptr) return false;
  size_t i = 0;
  bool bNegative = false;
  if (i < n && (p[i] == '-' || p[i] == '+')) {
    bNegative = p[i] == '-';
    ++i;
  }
  uint32_t a[4] = {0, 0, 0, 0};
  int nSignificant = 0;
  int nDecimals = 0;
  bool bDigit = false;
  auto Take = [&](char c) {
    bDigit = true;
    const unsigned int d = static_cast<unsigned int>(c - '0');
    if (nSignificant == 0 && d == 0) return true;  // a leading zero adds nothing
    if (++nSignificant > kMaxDecimalDigits) return false;
    MulTenAdd(a, d);
    return true;
  };
  for (; i < n && p[i] >= '0' && p[i] <= '9'; ++i)
    if (!Take(p[i])) return false;
  if (i < n && p[i] == '.') {
    for (++i; i < n && p[i] >= '0' && p[i] <= '9'; ++i, ++nDecimals)
      if (!Take(p[i])) return false;
  }
  if (!bDigit || i != n || nDecimals > kMaxDecimalDigits) return false;
  if (nSignificant == 0) {
    // The language drops a zero's decimals with its sign.
    nDecimals = 0;
    bNegative = false;
  }
  if (bNegative) {
    uint64_t carry = 1;
    for (uint32_t& w : a) {
      const uint64_t v = uint64_t(~w) + carry;
      w = static_cast<uint32_t>(v);
      carry = v >> 32;
    }
  }
  pForm[0] = static_cast<unsigned char>(kMaxDecimalDigits);
  pForm[1] = static_cast<unsigned char>(nDecimals);
  for (int k = 0; k < 16; ++k) pForm[2 + k] = static_cast<unsigned char>(a[k / 4] >> (8 * (k % 4)));
  return true;
}

bool CellText_bWellFormedUTF8(const char* psz, size_t n) {
  if (psz == nullptr) return n == 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(psz);
  size_t i = 0;
  while (i < n) {
    // ASCII runs first: most cells are nothing else.
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    const unsigned int nLen = nSequenceLength(p[i]);
    if (nLen == 0 || n - i < nLen) return false;
    for (unsigned int k = 1; k < nLen; ++k)
      if ((p[i + k] & 0xC0) != 0x80) return false;
    // The second byte's range excludes overlong forms, surrogates and what
    // lies past U+10FFFF.
    if (p[i] == 0xE0 && p[i + 1] < 0xA0) return false;
    if (p[i] == 0xED && p[i + 1] > 0x9F) return false;
    if (p[i] == 0xF0 && p[i + 1] < 0x90) return false;
    if (p[i] == 0xF4 && p[i + 1] > 0x8F) return false;
    i += nLen;
  }
  return true;
}

namespace {

// The character of the well-formed sequence at p, its length in *pnLen.
unsigned int nDecodeChar(const unsigned char* p, unsigned int* pnLen) {
  const unsigned int c = p[0];
  const unsigned int nLen = nSequenceLength(static_cast<unsigned char>(c));
  *pnLen = nLen;
  switch (nLen) {
    case 2: return ((c & 0x1F) << 6) | (p[1] & 0x3F);
    case 3: return ((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
    case 4:
      return ((c & 0x07) << 18) | ((p[1] & 0x3F) << 12) | ((p[2] & 0x3F) << 6) | (p[3] & 0x3F);
    default: return c;
  }
}

}  // namespace

unsigned int CellText_nUTF8ToWide(const char* psz, size_t n, wchar_t* pOut, unsigned int nMax,
                                  size_t* pnUsed) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(psz);
  unsigned int nChars = 0;
  size_t i = 0;
  while (i < n && nChars < nMax && p[i] != 0) {
    unsigned int nLen;
    pOut[nChars++] = static_cast<wchar_t>(nDecodeChar(p + i, &nLen));
    i += nLen;
  }
  if (pnUsed != nullptr) *pnUsed = i;
  return nChars;
}

unsigned int CellText_nUTF8ToUTF16(const char* psz, size_t n, unsigned char* pOut,
                                   unsigned int nMaxUnits) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(psz);
  unsigned int nUnits = 0;
  size_t i = 0;
  while (i < n && p[i] != 0) {  // a converted text ends at its terminator
    unsigned int nLen;
    if (!bPutChar(nDecodeChar(p + i, &nLen), pOut, nMaxUnits, &nUnits)) break;
    i += nLen;
  }
  return nUnits;
}

unsigned int CellText_nCP1252ToUTF16(const char* p, size_t n, unsigned char* pOut,
                                     unsigned int nMaxUnits) {
  unsigned int nUnits = 0;
  for (size_t i = 0; i < n && p[i] != '\0'; ++i) {
    wchar_t c = 0;
    STR_CP1252ToWideChar(p + i, 1, &c, 1);
    if (!bPutChar(static_cast<unsigned int>(c), pOut, nMaxUnits, &nUnits)) break;
  }
  return nUnits;
}
