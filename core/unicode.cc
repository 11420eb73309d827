#include "core/unicode.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "core/char_conv.h"
#include "core/locale_compare.h"
#include "core/xmalloc.h"
#include "core/zstring.h"
#include "core/codepage_conversion.h"
#include "core/integer_text.h"

namespace {

constexpr unsigned int kReplacement = '?';
constexpr unsigned int kMaxCodePoint = 0x10FFFF;
constexpr unsigned int kCodePageUtf8 = 65001;
constexpr unsigned int kToTerminator = 0xFFFFFFFFu;  // (unsigned)-1

// Sequence length by the lead byte's top six bits; 0 marks a continuation byte.
constexpr unsigned char kSequenceLength[64] = {
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 0x00-0x3F
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 0x40-0x7F
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 0x80-0xBF
    2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 5, 6,  // 0xC0-0xFF
};
constexpr unsigned int kLeadMask[7] = {0, 0x7F, 0x1F, 0x0F, 0x07, 0x03, 0x01};
// The smallest value that needs a sequence of each length: anything below it
// is an overlong form.
constexpr unsigned int kShortestFrom[7] = {0, 0, 0x80, 0x800, 0x10000, 0x200000, 0x4000000};

inline int SequenceLength(unsigned char lead) { return kSequenceLength[lead >> 2]; }
inline bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Decodes a lead byte and its L - 1 continuation bytes (already checked).
// Overlong forms would let one character hide behind another (the classic
// "C0 AF" slash), and values past U+10FFFF are no characters: both read "?".
// Surrogate values are kept so that what the UTF-16 writers emit for a lone
// surrogate reads back as itself.
inline unsigned int DecodeChecked(const unsigned char* p, int nLength) {
  unsigned int v = p[0] & kLeadMask[nLength];
  for (int i = 1; i < nLength; ++i) v = (v << 6) | (p[i] & 0x3F);
  if (v < kShortestFrom[nLength] || v > kMaxCodePoint) return kReplacement;
  return v;
}

// Bytes of the UTF-8 form of c; out-of-range values are one "?".
inline int EncodedLength(wchar_t c) {
  uint32_t u = static_cast<uint32_t>(c);
  if (u < 0x80) return 1;
  if (u < 0x800) return 2;
  if (u < 0x10000) return 3;
  if (u <= kMaxCodePoint) return 4;
  return 1;
}

// Writes the UTF-8 form of c (EncodedLength(c) bytes).
inline int Encode(wchar_t c, char* out) {
  uint32_t u = static_cast<uint32_t>(c);
  unsigned char* o = reinterpret_cast<unsigned char*>(out);
  if (u < 0x80) {
    o[0] = static_cast<unsigned char>(u);
    return 1;
  }
  if (u < 0x800) {
    o[0] = static_cast<unsigned char>(0xC0 | (u >> 6));
    o[1] = static_cast<unsigned char>(0x80 | (u & 0x3F));
    return 2;
  }
  if (u < 0x10000) {
    o[0] = static_cast<unsigned char>(0xE0 | (u >> 12));
    o[1] = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
    o[2] = static_cast<unsigned char>(0x80 | (u & 0x3F));
    return 3;
  }
  if (u <= kMaxCodePoint) {
    o[0] = static_cast<unsigned char>(0xF0 | (u >> 18));
    o[1] = static_cast<unsigned char>(0x80 | ((u >> 12) & 0x3F));
    o[2] = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
    o[3] = static_cast<unsigned char>(0x80 | (u & 0x3F));
    return 4;
  }
  o[0] = static_cast<unsigned char>(kReplacement);
  return 1;
}

inline size_t WideLength(const wchar_t* s) { return s ? wcslen(s) : 0; }

// Counted UTF-8 reading shared by the counted decoders: the code point at *pp
// within *pnRemaining bytes.
inline unsigned int NextCounted(const unsigned char*& p, size_t& nRemaining) {
  if (nRemaining == 0) return kReplacement;
  int nLength = SequenceLength(p[0]);
  if (nLength == 0) {
    ++p;
    --nRemaining;
    return kReplacement;
  }
  if (nLength == 1) {
    --nRemaining;
    return *p++;
  }
  size_t nAvailable = static_cast<size_t>(nLength) < nRemaining ? nLength : nRemaining;
  for (size_t i = 1; i < nAvailable; ++i) {
    if (!IsContinuation(p[i])) {  // cut short: resume at the byte that cut it
      p += i;
      nRemaining -= i;
      return kReplacement;
    }
  }
  if (nAvailable < static_cast<size_t>(nLength)) {  // truncated at the end of the input
    nRemaining = 0;
    return kReplacement;
  }
  unsigned int v = DecodeChecked(p, nLength);
  p += nLength;
  nRemaining -= nLength;
  return v;
}

// Code pages whose bytes below 0x80 are not all ASCII characters on their own:
// double-byte sets whose trail bytes go down to 0x40 (or 0x30 in GB18030), the
// 7-bit escape-driven ISO-2022-JP and EBCDIC. Copying their low bytes as ASCII
// would corrupt the text, so they are converted whole.
bool IsAsciiTransparent(unsigned int nCodePage) {
  switch (nCodePage) {
    case 932:
    case 936:
    case 949:
    case 950:
    case 1361:
    case 1047:
    case 50220:
    case 54936:
      return false;
    default:
      return true;
  }
}

// Scratch wide buffer: automatic storage while it is small, else the heap.
class CWideScratch {
 public:
  explicit CWideScratch(size_t nChars) {
    if (nChars * sizeof(wchar_t) < sizeof(m_awLocal)) {
      m_pBuffer = m_awLocal;
    } else if (nChars <= (UINT_MAX - 16) / sizeof(wchar_t)) {
      m_pHeap = static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<unsigned>(nChars * sizeof(wchar_t))));
      m_pBuffer = m_pHeap;
    }
  }
  ~CWideScratch() { XMALLOC_Del_(m_pHeap); }
  CWideScratch(const CWideScratch&) = delete;
  CWideScratch& operator=(const CWideScratch&) = delete;

  wchar_t* Get() const { return m_pBuffer; }

 private:
  wchar_t m_awLocal[256];
  wchar_t* m_pHeap = nullptr;
  wchar_t* m_pBuffer = nullptr;
};

inline int ClampToInt(size_t n) { return n > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n); }

// UTF-8 bytes of nChars wide characters.
size_t Utf8LengthOf(const wchar_t* s, size_t nChars) {
  size_t n = 0;
  for (size_t i = 0; i < nChars; ++i) n += EncodedLength(s[i]);
  return n;
}

// Copy of UTF-8 text for code page 65001 on both sides: at most outSize - 1
// bytes, stopping at a zero byte, the rest zero-filled. With a null out: the
// bytes a copy needs.
int CopyUtf8(const char* in, size_t nIn, char* out, unsigned int outSize) {
  size_t n = strnlen(in, nIn);
  if (!out) return ClampToInt(n);
  if (n > outSize - 1) n = outSize - 1;
  memcpy(out, in, n);
  memset(out + n, 0, outSize - n);
  return static_cast<int>(n);
}

// The walk of MultiByteToUTF8 / UTF8ToMultiByte: bytes below 0x80 are copied,
// runs of bytes from 0x80 converted as one segment by convert(run, n, out, room),
// which answers the bytes written (or needed when out is null), 0 for nothing.
template <typename Convert>
int ConvertByRuns(const char* in, size_t nIn, char* out, unsigned int outSize, Convert convert) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(in);
  const unsigned char* pEnd = p + nIn;
  size_t nWritten = 0;
  while (p < pEnd) {
    if (*p < 0x80) {
      if (out) {
        if (nWritten >= outSize) break;
        out[nWritten] = static_cast<char>(*p);
      }
      ++nWritten;
      ++p;
      continue;
    }
    const unsigned char* pRun = p;
    while (p < pEnd && *p >= 0x80) ++p;
    if (out && nWritten >= outSize) break;
    int n = convert(reinterpret_cast<const char*>(pRun), static_cast<unsigned>(p - pRun),
                    out ? out + nWritten : nullptr, out ? outSize - static_cast<unsigned>(nWritten) : 0);
    if (n <= 0) {
      if (out) memset(out, 0, outSize);
      return 0;
    }
    nWritten += static_cast<size_t>(n);
  }
  if (out && nWritten < outSize) memset(out + nWritten, 0, outSize - nWritten);
  return ClampToInt(nWritten);
}

// Strict decoder behind UTF8ToWideStrict. kStore false only counts; kBounded
// false trusts the output to hold a character per input byte, so that the hot
// loop carries no output check.
//
// Kept out of line on purpose: it calls nothing and reads no global, so in
// position-independent i386 code it does not lose a register to the GOT
// pointer, which its caller needs for strlen. Inlined, the loop spilled and ran
// at half the speed (bench/text_conversion_bench).
template <bool kStore, bool kBounded>
__attribute__((noinline)) int DecodeStrict(const unsigned char* p, const unsigned char* const pEnd,
                                           wchar_t* out, size_t nOutSize) {
  wchar_t* o = out;
  wchar_t* const oEnd = out + (kStore ? nOutSize : 0);
  size_t nCount = 0;
  auto room = [&](size_t n) { return !kStore || !kBounded || static_cast<size_t>(oEnd - o) >= n; };
  while (p < pEnd) {
    unsigned int c = p[0];
    if (c < 0x80) {
      // ASCII, the bulk of database text: once in it, four bytes at a time.
      if (!room(1)) return -1;
      if (kStore) *o++ = static_cast<wchar_t>(c); else ++nCount;
      ++p;
      while (pEnd - p >= 4) {
        uint32_t w;
        memcpy(&w, p, 4);
        if (w & 0x80808080u) break;
        if (kStore) {
          if (!room(4)) return -1;
          o[0] = p[0];
          o[1] = p[1];
          o[2] = p[2];
          o[3] = p[3];
          o += 4;
        } else {
          nCount += 4;
        }
        p += 4;
      }
      continue;
    }
    unsigned int v;
    if (c < 0xE0) {  // two bytes: the accented letters of Latin scripts
      if (c < 0xC2 || pEnd - p < 2 || !IsContinuation(p[1])) return -1;  // 80-C1: no lead
      v = ((c & 0x1F) << 6) | (p[1] & 0x3F);
      p += 2;
    } else if (c < 0xF0) {  // three bytes: most other scripts
      if (pEnd - p < 3) return -1;
      unsigned int c1 = p[1], c2 = p[2];
      if (((c1 & 0xC0) ^ 0x80) | ((c2 & 0xC0) ^ 0x80)) return -1;
      v = ((c & 0x0F) << 12) | ((c1 & 0x3F) << 6) | (c2 & 0x3F);
      // Below U+0800 is overlong; D800-DFFF are surrogates.
      if (v < 0x800 || (v & 0xF800) == 0xD800) return -1;
      p += 3;
    } else {
      if (c > 0xF4 || pEnd - p < 4) return -1;
      unsigned int c1 = p[1], c2 = p[2], c3 = p[3];
      if (((c1 & 0xC0) ^ 0x80) | ((c2 & 0xC0) ^ 0x80) | ((c3 & 0xC0) ^ 0x80)) return -1;
      v = ((c & 0x07) << 18) | ((c1 & 0x3F) << 12) | ((c2 & 0x3F) << 6) | (c3 & 0x3F);
      if (v < 0x10000 || v > kMaxCodePoint) return -1;
      p += 4;
    }
    if (!room(1)) return -1;
    if (kStore) *o++ = static_cast<wchar_t>(v); else ++nCount;
  }
  return kStore ? static_cast<int>(o - out) : ClampToInt(nCount);
}

}  // namespace

// ---------------------------------------------------------------------------
// Reading UTF-8.

const char* UTF8next(const char* p) {
  const unsigned char* q = reinterpret_cast<const unsigned char*>(p);
  int nLength = SequenceLength(q[0]);
  if (nLength == 0) nLength = 6;
  int i = 1;
  while (i < nLength && IsContinuation(q[i])) ++i;
  return p + i;
}

char* UTF8next(char* p) { return const_cast<char*>(UTF8next(static_cast<const char*>(p))); }

int UTF8Len(const char* p) { return static_cast<int>(UTF8next(p) - p); }

unsigned int UTF8ToUTF32(const char* p) {
  const char* q = p;
  return UTF8_GetNext(&q);
}

unsigned int UTF8_GetNext(const char** pp) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(*pp);
  int nLength = SequenceLength(p[0]);
  if (nLength == 0) {
    *pp += 1;
    return kReplacement;
  }
  // Each byte is read only after the one before it proved to be a
  // continuation byte, so a terminator ends the sequence where it stands.
  for (int i = 1; i < nLength; ++i) {
    if (!IsContinuation(p[i])) {
      *pp += i;
      return kReplacement;
    }
  }
  *pp += nLength;
  return nLength == 1 ? p[0] : DecodeChecked(p, nLength);
}

unsigned int UTF8_GetNext(const char** pp, unsigned int* pnRemaining) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(*pp);
  size_t nRemaining = *pnRemaining;
  unsigned int v = NextCounted(p, nRemaining);
  *pp = reinterpret_cast<const char*>(p);
  *pnRemaining = static_cast<unsigned int>(nRemaining);
  return v;
}

int UTF8FirstChar(const char* s, int& n) {
  int nAvailable = n;
  n = 0;
  if (!s || nAvailable < 1) return -1;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  int nLength;
  if (p[0] < 0x80) {
    n = 1;
    return p[0];
  } else if (p[0] < 0xC0) {
    return -1;
  } else if (p[0] < 0xE0) {
    nLength = 2;
  } else if (p[0] < 0xF0) {
    nLength = 3;
  } else if (p[0] < 0xF8) {
    nLength = 4;
  } else {
    return -1;
  }
  if (nAvailable < nLength) return -1;
  for (int i = 1; i < nLength; ++i)
    if (!IsContinuation(p[i])) return -1;
  unsigned int v = DecodeChecked(p, nLength);
  if (v == kReplacement) return -1;  // overlong or past U+10FFFF
  n = nLength;
  return static_cast<int>(v);
}

int UTF8Valide(const char* s, int nLength) {
  if (!s) return nLength == 0;
  if (nLength != -1 && nLength <= 0) return 1;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  size_t nRemaining = nLength == -1 ? strlen(s) : static_cast<size_t>(nLength);
  while (nRemaining > 0) {
    int nSeq = SequenceLength(*p);
    if (nSeq == 0 || static_cast<size_t>(nSeq) > nRemaining) return 0;
    for (int i = 1; i < nSeq; ++i)
      if (!IsContinuation(p[i])) return 0;
    p += nSeq;
    nRemaining -= nSeq;
  }
  return 1;
}

namespace {

// Non-continuation bytes among n bytes; four at a time once aligned.
size_t CountLeadBytes(const unsigned char* p, size_t n) {
  size_t nCount = 0;
  while (n > 0 && (reinterpret_cast<uintptr_t>(p) & 3) != 0) {
    nCount += !IsContinuation(*p);
    ++p;
    --n;
  }
  size_t nContinuations = 0;
  while (n >= 4) {
    uint32_t w;
    memcpy(&w, p, 4);
    // A continuation byte has its top bit set and the next one clear.
    uint32_t m = w & ~(w << 1) & 0x80808080u;
    nContinuations += static_cast<size_t>(__builtin_popcount(m));
    nCount += 4;
    p += 4;
    n -= 4;
  }
  nCount -= nContinuations;
  while (n > 0) {
    nCount += !IsContinuation(*p);
    ++p;
    --n;
  }
  return nCount;
}

}  // namespace

int StrLenUTF8(const char* s) {
  if (!s) return 0;
  return ClampToInt(CountLeadBytes(reinterpret_cast<const unsigned char*>(s), strlen(s)));
}

int StrNLenUTF8(const char* s, int n) {
  if (!s || n <= 0) return 0;
  return ClampToInt(CountLeadBytes(reinterpret_cast<const unsigned char*>(s), strnlen(s, n)));
}

int UTF8ToWideLen(const char* s) {
  if (!s) return 0;
  int n = 0;
  while (*s) {
    s = UTF8next(s);
    ++n;
  }
  return n;
}

unsigned int UTF8ToWide(wchar_t* out, unsigned int outSize, const char* in) {
  if (outSize == 0) return 0;
  unsigned int n = 0;
  if (in) {
    while (n + 1 < outSize && *in) out[n++] = static_cast<wchar_t>(UTF8_GetNext(&in));
  }
  out[n] = 0;
  return n;
}

int nUTF8ToWide(wchar_t* out, int outSize, const char* in, int nInLength) {
  if (!out || outSize <= 0 || !in) return 0;
  size_t nRemaining;
  if (nInLength == -1)
    nRemaining = strlen(in) + 1;
  else if (nInLength > 0)
    nRemaining = static_cast<size_t>(nInLength);
  else
    return 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(in);
  int n = 0;
  while (nRemaining > 0 && n < outSize) out[n++] = static_cast<wchar_t>(NextCounted(p, nRemaining));
  return n;
}

int UTF8ToWideStrict(const char* in, int nInLength, wchar_t* out, int outSize) {
  if (!in) return nInLength == -1 || nInLength == 0 ? 0 : -1;
  size_t n;
  if (nInLength == -1)
    n = strlen(in);
  else if (nInLength >= 0)
    n = static_cast<size_t>(nInLength);
  else
    return -1;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(in);
  if (!out) return DecodeStrict<false, false>(p, p + n, nullptr, 0);
  if (outSize < 0) return -1;
  // n bytes never make more than n characters.
  if (static_cast<size_t>(outSize) >= n) return DecodeStrict<true, false>(p, p + n, out, n);
  return DecodeStrict<true, true>(p, p + n, out, static_cast<size_t>(outSize));
}

unsigned int UTF8ToUTF16Len(const char* in, unsigned int n) {
  if (!in) return 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(in);
  size_t nRemaining = n;
  unsigned int nUnits = 0;
  while (nRemaining > 0) nUnits += NextCounted(p, nRemaining) >= 0x10000 ? 2 : 1;
  return nUnits;
}

unsigned int UTF8ToUTF16(unsigned short* out, unsigned int outSize, const char* in, unsigned int n) {
  if (!out || !in) return 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(in);
  size_t nRemaining = n;
  unsigned int nUnits = 0;
  while (nRemaining > 0 && nUnits < outSize) {
    const unsigned char* pBefore = p;
    size_t nBefore = nRemaining;
    unsigned int c = NextCounted(p, nRemaining);
    if (c < 0x10000) {
      out[nUnits++] = static_cast<unsigned short>(c);
    } else if (outSize - nUnits >= 3) {
      c -= 0x10000;
      out[nUnits++] = static_cast<unsigned short>(0xD800 + (c >> 10));
      out[nUnits++] = static_cast<unsigned short>(0xDC00 + (c & 0x3FF));
    } else {
      p = pBefore;
      nRemaining = nBefore;
      break;
    }
  }
  return nUnits;
}

// ---------------------------------------------------------------------------
// Wide to UTF-8.

int UTF32ToUTF8(wchar_t c, char* out) {
  int n = Encode(c, out);
  out[n] = 0;
  return n;
}

int WideToUTF8(char* out, const wchar_t* in) {
  if (!in) return 0;
  char* o = out;
  for (; *in; ++in) o += Encode(*in, o);
  *o = 0;
  return static_cast<int>(o - out);
}

int WideToUTF8(char* out, unsigned int outSize, const wchar_t* in) {
  if (!out || outSize == 0) return 0;
  size_t n = 0;
  if (in) {
    for (; *in; ++in) {
      size_t nSeq = EncodedLength(*in);
      if (n + nSeq > outSize - 1) break;
      n += Encode(*in, out + n);
    }
  }
  out[n] = 0;
  return ClampToInt(n);
}

int nWideToUTF8(char* out, int outSize, const wchar_t* in, int nInLength) {
  if (!out || !in || outSize <= 0) return 0;
  size_t nChars;
  if (nInLength == -1)
    nChars = wcslen(in) + 1;
  else if (nInLength > 0)
    nChars = static_cast<size_t>(nInLength);
  else
    return 0;
  size_t n = 0;
  for (size_t i = 0; i < nChars; ++i) {
    size_t nSeq = EncodedLength(in[i]);
    if (n + nSeq > static_cast<size_t>(outSize)) break;
    n += Encode(in[i], out + n);
  }
  return static_cast<int>(n);
}

int UTF8ByteLen(const wchar_t* s) {
  if (!s) return 0;
  size_t n = 0;
  for (; *s; ++s) n += EncodedLength(*s);
  return ClampToInt(n);
}

int UTF8ByteLenTotal(const wchar_t* s, int n) {
  if (!s || n <= 0) return 0;
  size_t nBytes = 0;
  for (int i = 0; i < n; ++i) {
    if (s[i] == 0) {
      ++nBytes;
      break;
    }
    nBytes += EncodedLength(s[i]);
  }
  return ClampToInt(nBytes);
}

// ---------------------------------------------------------------------------
// UTF-16.

int XALIGN_utf16len(const unsigned short* s) {
  if (!s) return 0;
  const unsigned short* p = s;
  while (*p) ++p;
  return static_cast<int>(p - s);
}

int utf16nlen(const unsigned short* s, int nMax) {
  if (!s || nMax <= 0) return 0;
  int n = 0;
  while (n < nMax && s[n]) ++n;
  return n;
}

unsigned short* utf16ncpy(unsigned short* dst, const unsigned short* src, unsigned int n) {
  for (unsigned int i = 0; i < n && src[i]; ++i) dst[i] = src[i];
  return dst;
}

int utf16nicmp(const unsigned short* a, const unsigned short* b, unsigned int n) {
  for (unsigned int i = 0; i < n; ++i) {
    int ca = static_cast<int>(towlower(a[i]));
    int cb = static_cast<int>(towlower(b[i]));
    if (ca != cb) return ca - cb;
    if (a[i] == 0) return 0;  // both ended together
  }
  return 0;
}

unsigned short* utf16niutf16(unsigned short* s, const unsigned short* sub, unsigned int n) {
  if (!s) return nullptr;
  if (!sub || !sub[0]) return s;
  unsigned int nSub = static_cast<unsigned int>(XALIGN_utf16len(sub));
  unsigned int nText = static_cast<unsigned int>(utf16nlen(s, n > INT_MAX ? INT_MAX : static_cast<int>(n)));
  for (unsigned int i = 0; nSub <= nText && i <= nText - nSub; ++i)
    if (utf16nicmp(s + i, sub, nSub) == 0) return s + i;
  return nullptr;
}

namespace {

inline bool IsHighSurrogate(unsigned int u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool IsLowSurrogate(unsigned int u) { return u >= 0xDC00 && u <= 0xDFFF; }

size_t Utf16UnitsOf(const unsigned short* in, int nInLength) {
  if (!in) return 0;
  if (nInLength == -1) return static_cast<size_t>(XALIGN_utf16len(in)) + 1;
  return nInLength > 0 ? static_cast<size_t>(nInLength) : 0;
}

}  // namespace

int UTF16ToWideChar(const unsigned short* in, int nInLength, wchar_t* out, int outSize) {
  size_t nUnits = Utf16UnitsOf(in, nInLength);
  if (outSize == 0 || !out) return ClampToInt(nUnits);
  if (outSize < 0) return 0;
  int n = 0;
  for (size_t i = 0; i < nUnits && n < outSize; ++i) {
    unsigned int u = in[i];
    if (IsHighSurrogate(u) && i + 1 < nUnits && IsLowSurrogate(in[i + 1])) {
      u = 0x10000 + ((u - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    }
    out[n++] = static_cast<wchar_t>(u);
  }
  return n;
}

int UTF16ToUtf8(const unsigned short* in, int nInLength, char* out, int outSize) {
  size_t nUnits = Utf16UnitsOf(in, nInLength);
  bool bCount = !out || outSize == 0;
  if (!bCount && outSize < 0) return 0;
  size_t n = 0;
  for (size_t i = 0; i < nUnits; ++i) {
    unsigned int u = in[i];
    if (IsHighSurrogate(u) && i + 1 < nUnits && IsLowSurrogate(in[i + 1])) {
      u = 0x10000 + ((u - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    }
    size_t nSeq = EncodedLength(static_cast<wchar_t>(u));
    if (!bCount) {
      if (n + nSeq > static_cast<size_t>(outSize)) break;
      Encode(static_cast<wchar_t>(u), out + n);
    }
    n += nSeq;
  }
  return ClampToInt(n);
}

int WideCharToUTF16(const wchar_t* in, int nInLength, unsigned short* out, int outSize) {
  size_t nChars = 0;
  if (in) {
    if (nInLength == -1)
      nChars = wcslen(in) + 1;
    else if (nInLength > 0)
      nChars = static_cast<size_t>(nInLength);
  }
  bool bCount = outSize == 0 || !out;
  if (!bCount && outSize < 0) return 0;
  size_t n = 0;
  for (size_t i = 0; i < nChars; ++i) {
    uint32_t c = static_cast<uint32_t>(in[i]);
    if (c > kMaxCodePoint) c = kReplacement;
    if (c < 0x10000) {
      if (!bCount) {
        if (n + 1 > static_cast<size_t>(outSize)) break;
        out[n] = static_cast<unsigned short>(c);
      }
      n += 1;
    } else {
      if (!bCount) {
        if (n + 2 > static_cast<size_t>(outSize)) break;
        out[n] = static_cast<unsigned short>(0xD800 + ((c - 0x10000) >> 10));
        out[n + 1] = static_cast<unsigned short>(0xDC00 + ((c - 0x10000) & 0x3FF));
      }
      n += 2;
    }
  }
  return ClampToInt(n);
}

namespace {

int CopyWide(const wchar_t* in, int nInLength, wchar_t* out, int outSize) {
  if (!in) return 0;
  if (nInLength == -1) nInLength = ClampToInt(wcslen(in) + 1);
  if (nInLength < 0) return 0;
  if (outSize == 0 || !out) return nInLength;
  if (outSize < 0) return 0;
  int n = nInLength < outSize ? nInLength : outSize;
  memmove(out, in, static_cast<size_t>(n) * sizeof(wchar_t));
  return n;
}

}  // namespace

int UTF32ToWideChar(const wchar_t* in, int nInLength, wchar_t* out, int outSize) {
  return CopyWide(in, nInLength, out, outSize);
}

int WideCharToUTF32(const wchar_t* in, int nInLength, wchar_t* out, int outSize) {
  return CopyWide(in, nInLength, out, outSize);
}

// ---------------------------------------------------------------------------
// Code pages and UTF-8.

int _MultiByteToUTF8(unsigned int nCodePage, const char* in, unsigned int n, char* out,
                     unsigned int outSize, unsigned int /*nFlags*/) {
  if (!in || n == 0) return 0;
  int nIn = ClampToInt(n);
  size_t nCap;
  if (out) {
    // A character takes at least one UTF-8 byte: more than outSize characters
    // cannot fit anyway.
    nCap = static_cast<size_t>(outSize) + 1;
  } else {
    int nNeeded = MultiByteToWideChar(nCodePage, 0, in, nIn, nullptr, 0);
    if (nNeeded <= 0) return 0;
    nCap = static_cast<size_t>(nNeeded);
  }
  CWideScratch scratch(nCap);
  if (!scratch.Get()) return 0;
  int nChars = MultiByteToWideChar(nCodePage, 0, in, nIn, scratch.Get(), ClampToInt(nCap));
  if (nChars <= 0) return 0;
  // UTF-8 is written here rather than by a second iconv round: the result is
  // the same, and a segment that does not fit still converts to nothing.
  size_t nBytes = Utf8LengthOf(scratch.Get(), static_cast<size_t>(nChars));
  if (!out) return ClampToInt(nBytes);
  if (nBytes > outSize) return 0;
  char* o = out;
  for (int i = 0; i < nChars; ++i) o += Encode(scratch.Get()[i], o);
  return static_cast<int>(nBytes);
}

int MultiByteToUTF8(unsigned int nCodePage, const char* in, unsigned int inLength, char* out,
                    unsigned int outSize, unsigned int nFlags) {
  if (out && outSize == 0) return 0;
  if (!in) {
    if (out) memset(out, 0, outSize);
    return 0;
  }
  size_t nIn = inLength == kToTerminator ? strlen(in) : inLength;
  if (nCodePage == kCodePageUtf8) return CopyUtf8(in, nIn, out, outSize);
  if (!IsAsciiTransparent(nCodePage)) {
    int n = nIn ? _MultiByteToUTF8(nCodePage, in, static_cast<unsigned>(nIn), out, outSize, nFlags) : 0;
    if (out && static_cast<unsigned>(n) < outSize) memset(out + n, 0, outSize - n);
    return n;
  }
  return ConvertByRuns(in, nIn, out, outSize,
                       [&](const char* pRun, unsigned int nRun, char* pOut, unsigned int nRoom) {
                         return _MultiByteToUTF8(nCodePage, pRun, nRun, pOut, nRoom, nFlags);
                       });
}

int _UTF8ToMultiByte(unsigned int nCodePage, const char* in, unsigned int n, char* out,
                     unsigned int outSize, unsigned int nFlags, const char* pszDefault,
                     int* pbUsedDefault) {
  if (pbUsedDefault) *pbUsedDefault = 0;
  if (!in || n == 0) return 0;
  // n bytes of UTF-8 never hold more than n characters.
  CWideScratch scratch(n);
  if (!scratch.Get()) return 0;
  int nChars = nUTF8ToWide(scratch.Get(), ClampToInt(n), in, ClampToInt(n));
  if (nChars <= 0) return 0;
  if (!out) outSize = 0;
  return WideCharToMultiByte(nCodePage, nFlags, scratch.Get(), nChars, out, ClampToInt(outSize), pszDefault,
                             pbUsedDefault);
}

int UTF8ToMultiByte(unsigned int nCodePage, const char* in, unsigned int inLength, char* out,
                    unsigned int outSize, unsigned int nFlags, const char* pszDefault,
                    int* pbUsedDefault) {
  if (pbUsedDefault) *pbUsedDefault = 0;
  if (out && outSize == 0) return 0;
  if (!in) {
    if (out) memset(out, 0, outSize);
    return 0;
  }
  size_t nIn = inLength == kToTerminator ? strlen(in) : inLength;
  if (nCodePage == kCodePageUtf8) return CopyUtf8(in, nIn, out, outSize);
  // Each segment reports on its own: the caller learns whether any used it.
  int bUsedAny = 0;
  auto convert = [&](const char* pRun, unsigned int nRun, char* pOut, unsigned int nRoom) {
    int bUsed = 0;
    int n = _UTF8ToMultiByte(nCodePage, pRun, nRun, pOut, nRoom, nFlags, pszDefault, &bUsed);
    if (bUsed) bUsedAny = 1;
    return n;
  };
  int n;
  if (!IsAsciiTransparent(nCodePage)) {
    n = nIn ? convert(in, static_cast<unsigned>(nIn), out, outSize) : 0;
    if (out && static_cast<unsigned>(n) < outSize) memset(out + n, 0, outSize - n);
  } else {
    n = ConvertByRuns(in, nIn, out, outSize, convert);
  }
  if (pbUsedDefault) *pbUsedDefault = bUsedAny;
  return n;
}

int MultiByteToUTF8_CurrentCharset(const char* in, unsigned int inLength, char* out,
                                   unsigned int outSize, unsigned int nFlags) {
  return MultiByteToUTF8(static_cast<unsigned>(STR_nGetCurrentCodePage()), in, inLength, out, outSize,
                         nFlags);
}

int UTF8ToMultiByte_CurrentCharset(const char* in, unsigned int inLength, char* out,
                                   unsigned int outSize, unsigned int nFlags) {
  return UTF8ToMultiByte(static_cast<unsigned>(STR_nGetCurrentCodePage()), in, inLength, out, outSize,
                         nFlags, nullptr, nullptr);
}

int MultiByteToUTF16(unsigned int nCodePage, unsigned int nFlags, const char* in, int nInLength,
                     unsigned short* out, int outSize) {
  if (!in || nInLength == 0 || nInLength < -1) return 0;
  int nNeeded = MultiByteToWideChar(nCodePage, nFlags, in, nInLength, nullptr, 0);
  if (nNeeded <= 0) return 0;
  CWideScratch scratch(static_cast<size_t>(nNeeded));
  if (!scratch.Get()) return 0;
  int nChars = MultiByteToWideChar(nCodePage, nFlags, in, nInLength, scratch.Get(), nNeeded);
  if (nChars <= 0) return 0;
  return WideCharToUTF16(scratch.Get(), nChars, out, outSize);
}

int MultiByteToUTF16_CurrentCharset(const char* in, int nInLength, unsigned short* out, int outSize,
                                    unsigned int nFlags) {
  return MultiByteToUTF16(static_cast<unsigned>(STR_nGetCurrentCodePage()), nFlags, in, nInLength, out,
                          outSize);
}

int UTF16ToMultiByte(unsigned int nCodePage, unsigned int nFlags, const unsigned short* in,
                     int nInLength, char* out, int outSize, const char* pszDefault,
                     int* pbUsedDefault) {
  if (pbUsedDefault) *pbUsedDefault = 0;
  int nUnits = UTF16ToWideChar(in, nInLength, nullptr, 0);
  if (nUnits <= 0) return 0;
  CWideScratch scratch(static_cast<size_t>(nUnits));
  if (!scratch.Get()) return 0;
  int nChars = UTF16ToWideChar(in, nInLength, scratch.Get(), nUnits);
  if (nChars <= 0) return 0;
  return WideCharToMultiByte(nCodePage, nFlags, scratch.Get(), nChars, out, outSize, pszDefault,
                             pbUsedDefault);
}

int WideCharToANSI(char* out, int outSize, const wchar_t* in) {
  if (!out || outSize <= 0) return 0;
  int n = 0;
  if (in) {
    while (n < outSize - 1 && in[n]) {
      out[n] = static_cast<char>(in[n]);
      ++n;
    }
  }
  out[n] = 0;
  return n;
}

int ANSIToWideChar(wchar_t* out, int outSize, const char* in) {
  if (!out || outSize <= 0) return 0;
  int n = 0;
  if (in) {
    while (n < outSize - 1 && in[n]) {
      out[n] = static_cast<wchar_t>(static_cast<signed char>(in[n]));
      ++n;
    }
  }
  out[n] = 0;
  return n;
}

char* pszXSTR2CSTR(const wchar_t* s, int n) {
  if (n < 0) n = ClampToInt(WideLength(s));
  if (n >= INT_MAX) return nullptr;
  char* p = static_cast<char*>(XMALLOC_pNew_(static_cast<unsigned>(n) + 1));
  if (!p) return nullptr;
  memset(p, 0, static_cast<size_t>(n) + 1);
  for (int i = 0; s && i < n && s[i]; ++i) p[i] = STR_ToCP1252(s[i], '?', nullptr);
  return p;
}

wchar_t* pszCSTR2XSTR(const char* s, int n, int nCodePage) {
  if (!s || n < -1) n = 0;
  if (n == -1) n = ClampToInt(strlen(s));
  wchar_t* p = STR_pszCreate(static_cast<unsigned>(n));
  if (!p) return nullptr;
  int nChars = 0;
  if (n > 0) {
    wchar_t* pConverted = nullptr;
    int nConverted = 0;
    // Same road as a fetched column: no iconv for UTF-8 and CP1252.
    if (STR_CharToWChar_AnyCodepage(s, n, static_cast<unsigned>(nCodePage), &pConverted, &nConverted, 0)) {
      nChars = nConverted < n ? nConverted : n;
      wmemcpy(p, pConverted, static_cast<size_t>(nChars));
      XMALLOC_Del_(pConverted);
    }
  }
  p[nChars] = 0;
  return p;
}

namespace {

wchar_t* CopyWideText(const wchar_t* s, int n) {
  if (!s) return nullptr;
  size_t nLen = n <= 0 ? wcslen(s) : wcsnlen(s, static_cast<size_t>(n));
  wchar_t* p = static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<unsigned>((nLen + 1) * sizeof(wchar_t))));
  if (!p) return nullptr;
  wmemcpy(p, s, nLen);
  p[nLen] = 0;
  return p;
}

}  // namespace

wchar_t* pszWSTR2XSTR(const wchar_t* s, int n) { return CopyWideText(s, n); }
wchar_t* pszXSTR2WSTR(const wchar_t* s, int n) { return CopyWideText(s, n); }

// ---------------------------------------------------------------------------
// Wide text at any address: every character goes through memcpy, which the
// compiler turns into plain loads where the target allows unaligned access.

int __UNALIGNED__UNICODE__STRLEN__(const char* s) {
  int n = 0;
  for (;; ++n, s += sizeof(wchar_t)) {
    wchar_t c;
    memcpy(&c, s, sizeof c);
    if (c == 0) return n;
  }
}

char* __UNALIGNED__UNICODE__STRCPY__(char* dst, const char* src) {
  char* d = dst;
  for (;; d += sizeof(wchar_t), src += sizeof(wchar_t)) {
    wchar_t c;
    memcpy(&c, src, sizeof c);
    memcpy(d, &c, sizeof c);
    if (c == 0) return dst;
  }
}

char* __UNALIGNED__UNICODE__STRNCPY__(char* dst, const char* src, int n) {
  int i = 0;
  for (; i < n; ++i) {
    wchar_t c;
    memcpy(&c, src + i * sizeof(wchar_t), sizeof c);
    if (c == 0) break;
    memcpy(dst + i * sizeof(wchar_t), &c, sizeof c);
  }
  if (i < n) memset(dst + i * sizeof(wchar_t), 0, static_cast<size_t>(n - i) * sizeof(wchar_t));
  return dst;
}

// ---------------------------------------------------------------------------
// Number texts.

// The framework's one integer writer (core/integer_text.h).
wchar_t* _ui64towQnt(unsigned long long v, wchar_t* out, int nRadix) { return ui64tow(v, out, nRadix); }
char* _ui64toaQnt(unsigned long long v, char* out, int nRadix) { return ui64toa(v, out, nRadix); }
wchar_t* _i64towQnt(long long v, wchar_t* out, int nRadix) { return i64tow(v, out, nRadix); }
char* _i64toaQnt(long long v, char* out, int nRadix) { return i64toa(v, out, nRadix); }

wchar_t* _wgcvt(double v, int nDigits, wchar_t* out) {
  // gcvt never gives more than 17 significant digits; clamping keeps the text
  // within the caller's nDigits + 8.
  if (nDigits > 17) nDigits = 17;
  if (nDigits < 1) nDigits = 1;
  char sz[64];
  gcvt(v, nDigits, sz);
  size_t i = 0;
  for (; sz[i]; ++i) out[i] = STR_FromCP1252(sz[i]);
  out[i] = 0;
  return out;
}

namespace qnt {

namespace {

template <typename T>
inline bool IsAsciiLetter(T c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
inline bool IsSpace(wchar_t c) { return iswspace(static_cast<wint_t>(c)) != 0; }
inline bool IsSpace(char c) { return isspace(static_cast<unsigned char>(c)) != 0; }
inline double ParseC(const wchar_t* s, wchar_t** end) { return ::wcstod(s, end); }
inline double ParseC(const char* s, char** end) { return ::strtod(s, end); }
inline size_t TextLength(const wchar_t* s) { return wcslen(s); }
inline size_t TextLength(const char* s) { return strlen(s); }

template <typename T>
double ParseWithDExponent(const T* s, T** end) {
  if (end) *end = const_cast<T*>(s);
  if (!s) return 0.0;
  const T* p = s;
  while (*p && IsSpace(*p)) ++p;
  if (*p == '+' || *p == '-') ++p;
  if (*p == 0 || IsAsciiLetter(*p) || (p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))) return 0.0;
  const T* pD = p + 1;
  while (*pD && *pD != 'D' && *pD != 'd') ++pD;
  if (*pD == 0) return ParseC(s, end);

  // The C library does not know "D": parse a copy in which it is "E". Short
  // numbers, the usual case, are copied into automatic storage.
  size_t nLength = TextLength(s);
  T local[31];
  T* copy = local;
  if (nLength + 1 > sizeof(local) / sizeof(T)) {
    if (nLength + 1 > (UINT_MAX - 16) / sizeof(T)) return 0.0;
    copy = static_cast<T*>(XMALLOC_pNew_(static_cast<unsigned>((nLength + 1) * sizeof(T))));
    if (!copy) return 0.0;
  }
  memcpy(copy, s, (nLength + 1) * sizeof(T));
  copy[pD - s] = 'E';
  T* pParsedEnd = nullptr;
  double d = ParseC(copy, &pParsedEnd);
  if (end) *end = const_cast<T*>(s) + (pParsedEnd - copy);
  if (copy != local) XMALLOC_Del_(copy);
  return d;
}

}  // namespace

double wcstod(const wchar_t* s, wchar_t** end) { return ParseWithDExponent(s, end); }
double strtod(const char* s, char** end) { return ParseWithDExponent(s, end); }

}  // namespace qnt
