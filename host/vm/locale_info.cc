#include "host/vm/locale_info.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <new>
#include <span>
#include <string>

#include "host/vm/locale_tables.h"

namespace {

namespace tables = standin_locale;

constexpr unsigned int kFlagUpper = 0x1;
constexpr unsigned int kFlagNoAccents = 0x2;
constexpr unsigned int kFlagNoSpaceOrPunctuation = 0x4;
constexpr unsigned int kFlagLower = 0x100;
constexpr unsigned int kFlagLexicographic = 0x20000000;

constexpr unsigned int kMappingFlags =
    kFlagUpper | kFlagNoAccents | kFlagNoSpaceOrPunctuation | kFlagLower;
// Lower case does not take part in comparisons: upper case alone decides
// whether case is ignored.
constexpr unsigned int kComparisonFlags = kFlagUpper | kFlagNoAccents | kFlagNoSpaceOrPunctuation;
constexpr unsigned int kPrimaryFlags = kFlagUpper | kFlagNoAccents;

constexpr uint32_t kSharpS = 0x00DF;
constexpr uint32_t kReplacementCharacter = 0xFFFD;

// ---------------------------------------------------------------------------
// Characters

uint32_t UpperCase(uint32_t c) { return c < tables::kLetterTableEnd ? tables::kUpperCase[c] : c; }
uint32_t LowerCase(uint32_t c) { return c < tables::kLetterTableEnd ? tables::kLowerCase[c] : c; }
uint32_t BaseLetter(uint32_t c) { return c < tables::kLetterTableEnd ? tables::kBaseLetter[c] : c; }

bool InRanges(std::span<const tables::CodePointRange> ranges, uint32_t c) {
  for (const tables::CodePointRange& r : ranges) {
    if (c < r.nFirst) return false;  // sorted: no later range can hold c
    if (c <= r.nLast) return true;
  }
  return false;
}

bool IsSpaceOrPunctuation(uint32_t c) {
  return InRanges(tables::kWhiteSpace, c) || InRanges(tables::kPunctuation, c);
}

// Maps one character under the mapping flags; answers how many characters
// (0, 1 or 2) it became. The accents go first so that upper case sees the
// base letter; the tables commute, so the order only matters for ß.
int MapCharacter(uint32_t c, unsigned int dwFlags, uint32_t aOut[2]) {
  if ((dwFlags & kFlagNoSpaceOrPunctuation) != 0 && IsSpaceOrPunctuation(c)) return 0;
  if ((dwFlags & kFlagNoAccents) != 0) c = BaseLetter(c);
  if ((dwFlags & kFlagUpper) != 0) {
    if (c == kSharpS) {
      aOut[0] = aOut[1] = 'S';
      return 2;
    }
    c = UpperCase(c);
  } else if ((dwFlags & kFlagLower) != 0) {
    c = LowerCase(c);
  }
  aOut[0] = c;
  return 1;
}

// ---------------------------------------------------------------------------
// Texts

// A character as read. bUnreadable marks a UTF-8 byte read as U+FFFD: it
// compares as U+FFFD but is written back as '?'.
struct Character {
  uint32_t nCode;
  bool bUnreadable;
};

struct Text8 {
  const unsigned char* pUnits;
  size_t nLength;
  bool bUtf8;  // else code page 1252
};

struct TextW {
  const wchar_t* pUnits;
  size_t nLength;
};

size_t TextLength(const char* psz, int n) {
  if (psz == nullptr || n < -1) return 0;
  return n == -1 ? std::strlen(psz) : static_cast<size_t>(n);
}

size_t TextLength(const wchar_t* psz, int n) {
  if (psz == nullptr || n < -1) return 0;
  return n == -1 ? std::wcslen(psz) : static_cast<size_t>(n);
}

Text8 MakeText(const char* psz, int n, bool bUtf8) {
  return {reinterpret_cast<const unsigned char*>(psz), TextLength(psz, n), bUtf8};
}

TextW MakeText(const wchar_t* psz, int n) { return {psz, TextLength(psz, n)}; }

// Reads one UTF-8 character at *pi and moves past it. Only shortest forms of
// scalar values are characters; anything else costs exactly one byte, so that
// a damaged text still reads in step after the damage.
// REQUIRES: *pi < nBytes.
Character DecodeUtf8(const unsigned char* p, size_t nBytes, size_t* pi) {
  const size_t i = *pi;
  const unsigned int nLead = p[i];
  *pi = i + 1;
  if (nLead < 0x80) return {nLead, false};

  size_t nTrail;
  uint32_t nCode;
  unsigned int nLow = 0x80;   // bounds of the first continuation byte, which
  unsigned int nHigh = 0xBF;  // exclude overlong forms, surrogates and > U+10FFFF
  if (nLead >= 0xC2 && nLead <= 0xDF) {
    nTrail = 1;
    nCode = nLead & 0x1F;
  } else if (nLead >= 0xE0 && nLead <= 0xEF) {
    nTrail = 2;
    nCode = nLead & 0x0F;
    if (nLead == 0xE0) nLow = 0xA0;
    if (nLead == 0xED) nHigh = 0x9F;
  } else if (nLead >= 0xF0 && nLead <= 0xF4) {
    nTrail = 3;
    nCode = nLead & 0x07;
    if (nLead == 0xF0) nLow = 0x90;
    if (nLead == 0xF4) nHigh = 0x8F;
  } else {
    return {kReplacementCharacter, true};
  }
  if (nBytes - i - 1 < nTrail) return {kReplacementCharacter, true};
  for (size_t k = 1; k <= nTrail; ++k) {
    const unsigned int nByte = p[i + k];
    if (nByte < nLow || nByte > nHigh) return {kReplacementCharacter, true};
    nCode = (nCode << 6) | (nByte & 0x3F);
    nLow = 0x80;
    nHigh = 0xBF;
  }
  *pi = i + 1 + nTrail;
  return {nCode, false};
}

// REQUIRES: *pi < t.nLength.
Character ReadCharacter(const Text8& t, size_t* pi) {
  if (t.bUtf8) return DecodeUtf8(t.pUnits, t.nLength, pi);
  const unsigned int nByte = t.pUnits[(*pi)++];
  const bool bHigh = nByte >= 0x80 && nByte < 0xA0;
  return {bHigh ? tables::kCp1252High[nByte - 0x80] : nByte, false};
}

// REQUIRES: *pi < t.nLength.
Character ReadCharacter(const TextW& t, size_t* pi) {
  return {static_cast<uint32_t>(t.pUnits[(*pi)++]), false};
}

unsigned char EncodeCp1252(uint32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
  for (size_t i = 0; i < tables::kCp1252High.size(); ++i) {
    if (tables::kCp1252High[i] == c) return static_cast<unsigned char>(0x80 + i);
  }
  return '?';
}

// Writes c in the text's code page; answers the byte count (1..4).
size_t EncodeCharacter(const Character& c, bool bUtf8, unsigned char aOut[4]) {
  if (c.bUnreadable) {
    aOut[0] = '?';
    return 1;
  }
  if (!bUtf8) {
    aOut[0] = EncodeCp1252(c.nCode);
    return 1;
  }
  const uint32_t n = c.nCode;
  if (n < 0x80) {
    aOut[0] = static_cast<unsigned char>(n);
    return 1;
  }
  if (n < 0x800) {
    aOut[0] = static_cast<unsigned char>(0xC0 | (n >> 6));
    aOut[1] = static_cast<unsigned char>(0x80 | (n & 0x3F));
    return 2;
  }
  if (n < 0x10000) {
    if (n >= 0xD800 && n <= 0xDFFF) {
      aOut[0] = '?';
      return 1;
    }
    aOut[0] = static_cast<unsigned char>(0xE0 | (n >> 12));
    aOut[1] = static_cast<unsigned char>(0x80 | ((n >> 6) & 0x3F));
    aOut[2] = static_cast<unsigned char>(0x80 | (n & 0x3F));
    return 3;
  }
  if (n <= 0x10FFFF) {
    aOut[0] = static_cast<unsigned char>(0xF0 | (n >> 18));
    aOut[1] = static_cast<unsigned char>(0x80 | ((n >> 12) & 0x3F));
    aOut[2] = static_cast<unsigned char>(0x80 | ((n >> 6) & 0x3F));
    aOut[3] = static_cast<unsigned char>(0x80 | (n & 0x3F));
    return 4;
  }
  aOut[0] = '?';
  return 1;
}

// The characters of a text mapped under some flags, one at a time. Reading
// lazily lets comparisons stop at the first difference and keeps them free of
// allocation.
template <class TText>
class CMappedReader {
 public:
  CMappedReader(const TText& text, unsigned int dwFlags) : m_text(text), m_dwFlags(dwFlags) {}

  // The next mapped character; false at the end of the text.
  bool bNext(Character* pc) {
    while (m_nPending == m_nCount) {
      if (m_nPos >= m_text.nLength) return false;
      const Character c = ReadCharacter(m_text, &m_nPos);
      m_nCount = MapCharacter(c.nCode, m_dwFlags, m_aMapped);
      m_nPending = 0;
      m_bUnreadable = c.bUnreadable;
    }
    *pc = {m_aMapped[m_nPending++], m_bUnreadable};
    return true;
  }

 private:
  const TText m_text;
  const unsigned int m_dwFlags;
  size_t m_nPos = 0;
  uint32_t m_aMapped[2] = {0, 0};
  int m_nCount = 0;
  int m_nPending = 0;
  bool m_bUnreadable = false;
};

// ---------------------------------------------------------------------------
// Comparison levels

// Accented letters weigh their upper-case form, which keeps the case out of
// this level; everything else weighs 0, so a plain letter comes first.
uint32_t AccentWeight(uint32_t c) { return BaseLetter(c) == c ? 0 : UpperCase(c); }
uint32_t CaseWeight(uint32_t c) { return LowerCase(c) != c ? 1 : 0; }
uint32_t CodePointWeight(uint32_t c) { return c; }

// One level of an order: the text mapped under nMapFlags, each character
// weighed by pfnWeight, the sequences compared with a proper prefix first.
struct Level {
  unsigned int nMapFlags;
  uint32_t (*pfnWeight)(uint32_t);
};

constexpr int kMaxLevels = 4;

// Every level is a function of the text mapped under the comparison flags
// (the tables commute, so mapping again with 0x3 gives the primary), and the
// last level is that mapped text itself: two texts are therefore equal
// exactly when their mapped texts are.
int OrderLevels(unsigned int dwFlags, Level aLevels[kMaxLevels]) {
  const unsigned int m = dwFlags & kComparisonFlags;
  int n = 0;
  if ((dwFlags & kFlagLexicographic) != 0) {
    aLevels[n++] = {m | kPrimaryFlags, CodePointWeight};
    if ((m & kFlagNoAccents) == 0) aLevels[n++] = {m, AccentWeight};
    if ((m & kFlagUpper) == 0) aLevels[n++] = {m, CaseWeight};
    if ((m & kPrimaryFlags) == kPrimaryFlags) return n;  // the primary is the mapped text
  }
  aLevels[n++] = {m, CodePointWeight};
  return n;
}

template <class TText>
int CompareLevel(const TText& a, const TText& b, const Level& level) {
  CMappedReader<TText> readerA(a, level.nMapFlags);
  CMappedReader<TText> readerB(b, level.nMapFlags);
  for (;;) {
    Character ca, cb;
    const bool bMoreA = readerA.bNext(&ca);
    const bool bMoreB = readerB.bNext(&cb);
    if (!bMoreA || !bMoreB) return (bMoreA ? 1 : 0) - (bMoreB ? 1 : 0);
    const uint32_t nWeightA = level.pfnWeight(ca.nCode);
    const uint32_t nWeightB = level.pfnWeight(cb.nCode);
    if (nWeightA != nWeightB) return nWeightA < nWeightB ? -1 : 1;
  }
}

template <class TText>
int CompareTexts(const TText& a, const TText& b, unsigned int dwFlags) {
  Level aLevels[kMaxLevels];
  const int nLevels = OrderLevels(dwFlags, aLevels);
  for (int i = 0; i < nLevels; ++i) {
    const int nResult = CompareLevel(a, b, aLevels[i]);
    if (nResult != 0) return nResult;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Output

int SaturatedCount(uint64_t n) { return n > INT_MAX ? INT_MAX : static_cast<int>(n); }

// Collects a result: counts all of it, and writes the longest prefix of whole
// pieces (characters, sort-key weights) that leaves room for the terminator.
template <class TUnit>
class COutput {
 public:
  COutput(TUnit* pOut, unsigned int nOutSize)
      : m_pOut(nOutSize == 0 ? nullptr : pOut), m_nRoom(m_pOut == nullptr ? 0 : nOutSize - 1) {}

  // True once a piece did not fit: nothing more will be written, and the
  // count is not needed since the answer is the count written.
  bool bClosed() const { return m_bClosed; }

  void Put(const TUnit* pUnits, size_t nUnits) {
    m_nNeeded += nUnits;
    if (m_pOut == nullptr) return;
    if (nUnits > m_nRoom - m_nWritten) {
      m_bClosed = true;
      return;
    }
    for (size_t i = 0; i < nUnits; ++i) m_pOut[m_nWritten + i] = pUnits[i];
    m_nWritten += nUnits;
  }

  int nFinish() {
    if (m_pOut == nullptr) return SaturatedCount(m_nNeeded);
    m_pOut[m_nWritten] = 0;
    return SaturatedCount(m_nWritten);
  }

 private:
  TUnit* const m_pOut;
  const size_t m_nRoom;
  size_t m_nWritten = 0;
  uint64_t m_nNeeded = 0;
  bool m_bClosed = false;
};

// Runs fn on the input, or on a private copy of it when the output overlaps
// it: writing ahead of the reading (ß -> SS) would otherwise destroy input
// not yet read.
template <class TUnit, class TFn>
int WithInputApartFromOutput(const TUnit* pIn, size_t nIn, TUnit* pOut, unsigned int nOutSize,
                             TFn fn) {
  const uint64_t nInStart = reinterpret_cast<uintptr_t>(pIn);
  const uint64_t nOutStart = reinterpret_cast<uintptr_t>(pOut);
  const uint64_t nInEnd = nInStart + uint64_t(nIn) * sizeof(TUnit);
  const uint64_t nOutEnd = nOutStart + uint64_t(nOutSize) * sizeof(TUnit);
  const bool bOverlap =
      pOut != nullptr && nIn != 0 && nOutSize != 0 && nInStart < nOutEnd && nOutStart < nInEnd;
  if (!bOverlap) return fn(pIn);
  try {
    const std::basic_string<TUnit> copy(pIn, nIn);
    return fn(copy.data());
  } catch (const std::bad_alloc&) {
    pOut[0] = 0;
    return 0;
  }
}

int MapText8(const Text8& text, unsigned int dwFlags, char* pszOut, unsigned int nOutSize) {
  COutput<char> out(pszOut, nOutSize);
  CMappedReader<Text8> reader(text, dwFlags & kMappingFlags);
  Character c;
  while (!out.bClosed() && reader.bNext(&c)) {
    unsigned char aBytes[4];
    const size_t nBytes = EncodeCharacter(c, text.bUtf8, aBytes);
    out.Put(reinterpret_cast<const char*>(aBytes), nBytes);
  }
  return out.nFinish();
}

int MapTextW(const TextW& text, unsigned int dwFlags, wchar_t* pszOut, unsigned int nOutSize) {
  COutput<wchar_t> out(pszOut, nOutSize);
  CMappedReader<TextW> reader(text, dwFlags & kMappingFlags);
  Character c;
  while (!out.bClosed() && reader.bNext(&c)) {
    const wchar_t wc = static_cast<wchar_t>(c.nCode);
    out.Put(&wc, 1);
  }
  return out.nFinish();
}

// Writes a weight so that memcmp orders encodings as the weights: a first
// byte that tells the length (0x02..0x7F one byte, 0x80..0xBF two, 0xC0..0xFF
// three), then big-endian digits in 0x01..0xFF. No byte is 0 and no first
// byte is the level separator 0x01, so a level that is a proper prefix of
// another sorts first. Weights of 8-bit texts stay far below the three-byte
// limit (code points up to U+10FFFF); larger values are clamped to it.
size_t EncodeWeight(uint32_t nWeight, unsigned char aOut[3]) {
  constexpr uint32_t kOneByte = 0x7E;
  constexpr uint32_t kTwoBytes = 64 * 255;
  constexpr uint32_t kThreeBytes = 64 * 255 * 255;
  if (nWeight < kOneByte) {
    aOut[0] = static_cast<unsigned char>(0x02 + nWeight);
    return 1;
  }
  nWeight -= kOneByte;
  if (nWeight < kTwoBytes) {
    aOut[0] = static_cast<unsigned char>(0x80 + nWeight / 255);
    aOut[1] = static_cast<unsigned char>(0x01 + nWeight % 255);
    return 2;
  }
  nWeight -= kTwoBytes;
  if (nWeight >= kThreeBytes) nWeight = kThreeBytes - 1;
  aOut[0] = static_cast<unsigned char>(0xC0 + nWeight / (255 * 255));
  aOut[1] = static_cast<unsigned char>(0x01 + (nWeight / 255) % 255);
  aOut[2] = static_cast<unsigned char>(0x01 + nWeight % 255);
  return 3;
}

int SortKey8(const Text8& text, unsigned int dwFlags, char* pszOut, unsigned int nOutSize) {
  static constexpr char kLevelSeparator = 0x01;
  Level aLevels[kMaxLevels];
  const int nLevels = OrderLevels(dwFlags | kFlagLexicographic, aLevels);
  COutput<char> out(pszOut, nOutSize);
  for (int i = 0; i < nLevels && !out.bClosed(); ++i) {
    if (i != 0) out.Put(&kLevelSeparator, 1);
    CMappedReader<Text8> reader(text, aLevels[i].nMapFlags);
    Character c;
    while (!out.bClosed() && reader.bNext(&c)) {
      unsigned char aBytes[3];
      const size_t nBytes = EncodeWeight(aLevels[i].pfnWeight(c.nCode), aBytes);
      out.Put(reinterpret_cast<const char*>(aBytes), nBytes);
    }
  }
  return out.nFinish();
}

}  // namespace

// ---------------------------------------------------------------------------
// CStandInInfoLocale

void CStandInInfoLocale::SetCurrentCodePage(int nCodePage) {
  m_nCodePage.store(nCodePage == kCodePageUtf8 ? kCodePageUtf8 : kCodePageWestern,
                    std::memory_order_relaxed);
}

void CStandInInfoLocale::SetCurrentCharset(int nCharset) {
  m_nCharset.store(nCharset, std::memory_order_relaxed);
}

void CStandInInfoLocale::SetCurrentLCID(unsigned int nLCID) {
  m_nLCID.store(nLCID, std::memory_order_relaxed);
}

void CStandInInfoLocale::SetSafeLCID(unsigned int nLCID) {
  m_nSafeLCID.store(nLCID, std::memory_order_relaxed);
}

int CStandInInfoLocale::_vnReserved0() { return 0; }
int CStandInInfoLocale::_vnReserved1() { return 0; }
int CStandInInfoLocale::_vnReserved10() { return 0; }

int CStandInInfoLocale::vnGetCurrentCharset() { return m_nCharset.load(std::memory_order_relaxed); }

int CStandInInfoLocale::vnGetCurrentCodePage() {
  return m_nCodePage.load(std::memory_order_relaxed);
}

unsigned int CStandInInfoLocale::vnGetCurrentLCID() {
  return m_nLCID.load(std::memory_order_relaxed);
}

unsigned int CStandInInfoLocale::vnGetSafeCurrentLCID() {
  return m_nSafeLCID.load(std::memory_order_relaxed);
}

int CStandInInfoLocale::vnCompareA(unsigned int /*nLCID*/, unsigned int dwFlags, const char* pszA,
                                   int nA, const char* pszB, int nB) {
  return vnCompareCurrentA(dwFlags, pszA, nA, pszB, nB);
}

int CStandInInfoLocale::vnCompareW(unsigned int /*nLCID*/, unsigned int dwFlags,
                                   const wchar_t* pszA, int nA, const wchar_t* pszB, int nB) {
  return vnCompareCurrentW(dwFlags, pszA, nA, pszB, nB);
}

int CStandInInfoLocale::vnCompareCurrentA(unsigned int dwFlags, const char* pszA, int nA,
                                          const char* pszB, int nB) {
  const bool bUtf8 = vnGetCurrentCodePage() == kCodePageUtf8;
  return CompareTexts(MakeText(pszA, nA, bUtf8), MakeText(pszB, nB, bUtf8), dwFlags);
}

int CStandInInfoLocale::vnCompareCurrentW(unsigned int dwFlags, const wchar_t* pszA, int nA,
                                          const wchar_t* pszB, int nB) {
  return CompareTexts(MakeText(pszA, nA), MakeText(pszB, nB), dwFlags);
}

int CStandInInfoLocale::vnMapSortKeyA(unsigned int /*nLCID*/, unsigned int dwFlags,
                                      const char* pszIn, int nIn, char* pszOut,
                                      unsigned int nOutSize) {
  const Text8 text = MakeText(pszIn, nIn, vnGetCurrentCodePage() == kCodePageUtf8);
  return WithInputApartFromOutput(pszIn, text.nLength, pszOut, nOutSize, [&](const char* pIn) {
    return SortKey8({reinterpret_cast<const unsigned char*>(pIn), text.nLength, text.bUtf8},
                    dwFlags, pszOut, nOutSize);
  });
}

int CStandInInfoLocale::vnMapStringA(unsigned int /*nLCID*/, unsigned int dwFlags,
                                     const char* pszIn, int nIn, char* pszOut,
                                     unsigned int nOutSize) {
  return vnPrepareStringA(dwFlags, pszOut, nOutSize, pszIn, nIn);
}

int CStandInInfoLocale::vnMapStringW(unsigned int /*nLCID*/, unsigned int dwFlags,
                                     const wchar_t* pszIn, int nIn, wchar_t* pszOut,
                                     unsigned int nOutSize) {
  return vnMapStringCurrentW(dwFlags, pszOut, nOutSize, pszIn, nIn);
}

int CStandInInfoLocale::vnPrepareStringA(unsigned int dwFlags, char* pszOut, unsigned int nOutSize,
                                         const char* pszIn, int nIn) {
  const Text8 text = MakeText(pszIn, nIn, vnGetCurrentCodePage() == kCodePageUtf8);
  return WithInputApartFromOutput(pszIn, text.nLength, pszOut, nOutSize, [&](const char* pIn) {
    return MapText8({reinterpret_cast<const unsigned char*>(pIn), text.nLength, text.bUtf8},
                    dwFlags, pszOut, nOutSize);
  });
}

int CStandInInfoLocale::vnMapStringCurrentW(unsigned int dwFlags, wchar_t* pszOut,
                                            unsigned int nOutSize, const wchar_t* pszIn, int nIn) {
  const TextW text = MakeText(pszIn, nIn);
  return WithInputApartFromOutput(pszIn, text.nLength, pszOut, nOutSize, [&](const wchar_t* pIn) {
    return MapTextW({pIn, text.nLength}, dwFlags, pszOut, nOutSize);
  });
}
