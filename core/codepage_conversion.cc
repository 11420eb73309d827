#include "core/codepage_conversion.h"

#include <iconv.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <new>

#include "core/cp1252_table.h"
#include "core/scratch_buffer.h"

namespace {

// ---------------------------------------------------------------------------
// The table of code pages

constexpr _stCodePageName kCodePages[] = {
    {1, "CP437"},          {866, "CP866"},         {874, "CP874"},         {932, "CP932"},
    {936, "CP936"},        {949, "CP949"},         {950, "CP950"},         {1047, "IBM1047"},
    {1250, "CP1250"},      {1251, "CP1251"},       {1252, "CP1252"},       {1253, "CP1253"},
    {1254, "CP1254"},      {1255, "CP1255"},       {1256, "CP1256"},       {1257, "CP1257"},
    {1258, "CP1258"},      {1361, "CP1361"},       {20127, "US-ASCII"},    {20866, "KOI8-R"},
    {20932, "EUC-JP"},     {20936, "GB2312"},      {28591, "ISO-8859-1"},  {28592, "ISO-8859-2"},
    {28593, "ISO-8859-3"}, {28594, "ISO-8859-4"},  {28595, "ISO-8859-5"},  {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"}, {28598, "ISO-8859-8"},  {28599, "ISO-8859-9"},  {28603, "ISO-8859-13"},
    {28605, "ISO-8859-15"}, {50220, "ISO-2022-JP"}, {51949, "EUC-KR"},     {54936, "GB18030"},
    {65001, "UTF-8"},
};
constexpr int kRowCount = static_cast<int>(sizeof kCodePages / sizeof kCodePages[0]);
constexpr int kRow1252 = 10;
constexpr int kRowUtf8 = kRowCount - 1;
static_assert(kCodePages[kRow1252].nCodePage == 1252);
static_assert(kCodePages[kRowUtf8].nCodePage == 65001);

constexpr int nRowOf(unsigned int nCodePage) {
  for (int i = 0; i < kRowCount; ++i) {
    if (kCodePages[i].nCodePage == nCodePage) return i;
  }
  return -1;
}

// The code pages for which glibc's converters keep state, so that a
// conversion must end with iconv's flush call (the test suite checks this set
// against the converters of the machine). Decoding: CP1255 and CP1258 keep each
// base letter back until they know whether a combining mark follows, to
// compose them. Encoding: ISO-2022-JP returns to ASCII at the end. Every other
// converter of the table writes nothing on a flush, and the flush would double
// the cost of a short conversion.
constexpr int kRowCp1255 = nRowOf(1255);
constexpr int kRowCp1258 = nRowOf(1258);
constexpr int kRowIso2022Jp = nRowOf(50220);
constexpr bool bFlushAfterDecoding(int nRow) { return nRow == kRowCp1255 || nRow == kRowCp1258; }
constexpr bool bFlushAfterEncoding(int nRow) { return nRow == kRowIso2022Jp; }

// The row of a code page; 0 and everything outside the table is 1252.
int nRowOfCodePage(unsigned int nCodePage) {
  if (nCodePage == 65001) return kRowUtf8;
  if (nCodePage == 1252) return kRow1252;
  const int nRow = nRowOf(nCodePage);
  return nRow < 0 ? kRow1252 : nRow;
}

// Wide targets of MultiByteToWideChar, tried in this order; the strict list
// (MB_ERR_INVALID_CHARS) starts at kFirstStrictTarget. Debian's glibc knows
// "UTF32LE" but not "UCS4LE".
constexpr const char* kWideTargets[] = {
    "UCS4LE//IGNORE", "UTF32LE//IGNORE", "UCS-4LE//IGNORE", "UTF-32LE//IGNORE",
    "UCS4LE",         "UTF32LE",         "UCS-4LE",         "UTF-32LE",
};
constexpr int kWideTargetCount = 8;
constexpr int kFirstStrictTarget = 4;
// Wide source of WideCharToMultiByte, tried in this order.
constexpr const char* kWideSources[] = {"UCS4LE", "UTF32LE"};

// ---------------------------------------------------------------------------
// Per-thread iconv descriptors
//
// Opening a descriptor loads and sets up the gconv steps: far more work than
// converting a short text. Each thread keeps the descriptors it has opened,
// resets one before each conversion, and closes them all when it ends. No
// descriptor is shared between threads, so no lock is needed.

const iconv_t kNotOpened = nullptr;  // iconv_open never answers null
const iconv_t kRefused = reinterpret_cast<iconv_t>(-1);

enum eDirection { DIR_TO_WIDE_LENIENT, DIR_TO_WIDE_STRICT, DIR_FROM_WIDE, DIR_COUNT };

class CThreadConverters {
 public:
  CThreadConverters() = default;
  CThreadConverters(const CThreadConverters&) = delete;
  CThreadConverters& operator=(const CThreadConverters&) = delete;

  ~CThreadConverters() { CloseAll(); }

  // Closes every descriptor; the next conversion opens what it needs again.
  void CloseAll() {
    for (auto& aRow : m_acdWide) {
      for (iconv_t& cd : aRow) Close(cd);
    }
  }

  // The descriptor between a code page and wide text, or kRefused (errno
  // EINVAL) when iconv knows none of the names.
  iconv_t cdWide(int nRow, eDirection eDir) {
    iconv_t& cd = m_acdWide[nRow][eDir];
    if (cd == kNotOpened) cd = OpenWide(nRow, eDir);
    if (cd == kRefused) errno = EINVAL;
    return cd;
  }

 private:
  static void Close(iconv_t& cd) {
    if (cd != kNotOpened && cd != kRefused) iconv_close(cd);
    cd = kNotOpened;
  }

  static iconv_t OpenWide(int nRow, eDirection eDir) {
    const char* pszName = kCodePages[nRow].pszIConvName;
    if (eDir == DIR_FROM_WIDE) {
      for (const char* pszWide : kWideSources) {
        iconv_t cd = iconv_open(pszName, pszWide);
        if (cd != kRefused) return cd;
      }
      return kRefused;
    }
    for (int i = eDir == DIR_TO_WIDE_STRICT ? kFirstStrictTarget : 0; i < kWideTargetCount; ++i) {
      iconv_t cd = iconv_open(kWideTargets[i], pszName);
      if (cd != kRefused) return cd;
    }
    return kRefused;
  }

  iconv_t m_acdWide[kRowCount][DIR_COUNT] = {};
};

// Each thread's converters hang from a key whose destructor closes them when
// the thread ends. Neither a thread_local object with a destructor (the C
// library would then keep this library loaded for as long as the thread
// lives, so a server that unloads the driver would find it still there, with
// its state, at the next load) nor a thread_local pointer (the driver's own
// thread-local block makes the C library grow each thread's table of such
// blocks, which it never gives back while the thread lives).
pthread_key_t g_keyConverters;
pthread_once_t g_onceConverters = PTHREAD_ONCE_INIT;
bool g_bKeyMade = false;

void DestroyConverters(void* pConverters) { delete static_cast<CThreadConverters*>(pConverters); }

void MakeKey() { g_bKeyMade = pthread_key_create(&g_keyConverters, DestroyConverters) == 0; }

// Null when the key cannot be made (the process is out of keys): the
// conversions then fail as for a code page that iconv does not know.
CThreadConverters* pclThreadConverters() {
  pthread_once(&g_onceConverters, MakeKey);
  if (!g_bKeyMade) return nullptr;
  auto* pcl = static_cast<CThreadConverters*>(pthread_getspecific(g_keyConverters));
  if (pcl == nullptr) {
    pcl = new (std::nothrow) CThreadConverters;
    if (pcl != nullptr && pthread_setspecific(g_keyConverters, pcl) != 0) {
      delete pcl;
      pcl = nullptr;
    }
  }
  return pcl;
}

// The calling thread's descriptor for a row and direction, or kRefused with
// errno set.
iconv_t cdThreadWide(int nRow, eDirection eDir) {
  CThreadConverters* pcl = pclThreadConverters();
  if (pcl == nullptr) {
    errno = ENOMEM;
    return kRefused;
  }
  return pcl->cdWide(nRow, eDir);
}

// When the library is unloaded the key goes first: its destructor would run
// code that is gone. The calling thread's converters are closed; threads still
// running lose theirs to the unload.
__attribute__((destructor)) void DeleteConvertersKey() {
  if (!g_bKeyMade) return;
  delete static_cast<CThreadConverters*>(pthread_getspecific(g_keyConverters));
  pthread_key_delete(g_keyConverters);
  g_bKeyMade = false;
}

}  // namespace

// In this file, beside ThreadConverters: the tests refer to it weakly, and a
// weak reference pulls in no member of the library of its own.
void ReleaseThreadConverters() {
  if (!g_bKeyMade) return;
  delete static_cast<CThreadConverters*>(pthread_getspecific(g_keyConverters));
  pthread_setspecific(g_keyConverters, nullptr);
}

namespace {

// ---------------------------------------------------------------------------
// Conversion steps
//
// Each step answers the units written (with an output) or needed (without),
// kFailed with errno set, or, for the UTF-8 decoder, kNotWellFormed to hand the
// text to iconv. Counts are 64-bit so that they cannot wrap before the final
// check against INT_MAX.

constexpr long long kFailed = -1;
constexpr long long kNotWellFormed = -2;

// Room of a scratch area for counting passes; any chunk size gives the same
// count (iconv keeps its state between calls), a larger one fewer calls.
constexpr size_t kScratchBytes = 1024;

long long nFail(int nErrno) {
  errno = nErrno;
  return kFailed;
}

int nResult(long long n) {
  if (n < 0) return 0;
  if (n > INT_MAX) {
    errno = EOVERFLOW;
    return 0;
  }
  return static_cast<int>(n);
}

// Bytes of room for nUnits units of nUnitBytes bytes, without wrapping.
size_t nRoomBytes(size_t nUnits, size_t nUnitBytes) {
  return nUnits > SIZE_MAX / nUnitBytes ? SIZE_MAX / nUnitBytes * nUnitBytes : nUnits * nUnitBytes;
}

// Where iconv writes: the caller's output directly, or (without one) scratch
// areas that are only counted. glibc may report a full output (E2BIG) while
// room is left: before a character it wants room for the longest form it could
// write (EUC-JP wants two bytes for any non-ASCII character, even one it will
// then refuse), and before input that writes nothing (an escape sequence, a
// character replaced by an empty default). So a full output does not end the
// conversion: the rest goes through scratch areas whose bytes are copied into
// the room left, and only bytes that really do not fit fail it. Output and
// counting pass agree this way.
class CIConvSink {
 public:
  CIConvSink(char* pOut, size_t nRoom) : m_pOut(pOut), m_bViaScratch(pOut == nullptr) {
    if (m_bViaScratch) {
      Scratch();
    } else {
      m_pWrite = pOut;
      m_nFree = nRoom;
    }
  }
  CIConvSink(const CIConvSink&) = delete;
  CIConvSink& operator=(const CIConvSink&) = delete;

  char** ppWrite() { return &m_pWrite; }
  size_t* pnFree() { return &m_nFree; }

  // After E2BIG: makes room and answers true; false (errno E2BIG) when the
  // bytes written so far do not fit in the output, or no progress is possible.
  bool bMakeRoom() {
    if (!m_bViaScratch) {
      m_pOutNext = m_pWrite;
      m_nOutFree = m_nFree;
      m_bViaScratch = true;
    } else {
      if (m_pWrite == m_acScratch) {
        errno = E2BIG;
        return false;
      }
      if (!bDrain()) return false;
    }
    Scratch();
    return true;
  }

  // Puts n bytes (a replacement); false (errno E2BIG) when they do not fit.
  bool bPut(const char* p, size_t n) {
    if (!m_bViaScratch) {
      if (m_nFree < n) return bFull();
      std::memcpy(m_pWrite, p, n);
      m_pWrite += n;
      m_nFree -= n;
      return true;
    }
    if (!bDrain()) return false;
    Scratch();
    return bEmit(p, n);
  }

  // The bytes written (with an output) or counted (without); kFailed (E2BIG)
  // when they do not fit.
  long long nFinish() {
    if (!m_bViaScratch) return m_pWrite - m_pOut;
    if (!bDrain()) return kFailed;
    return m_pOut != nullptr ? m_pOutNext - m_pOut : m_nCounted;
  }

 private:
  static bool bFull() {
    errno = E2BIG;
    return false;
  }
  void Scratch() {
    m_pWrite = m_acScratch;
    m_nFree = sizeof m_acScratch;
  }
  // Bytes that are final: copied into the room left, or counted.
  bool bEmit(const char* p, size_t n) {
    if (m_pOut != nullptr) {
      if (n > m_nOutFree) return bFull();
      std::memcpy(m_pOutNext, p, n);
      m_pOutNext += n;
      m_nOutFree -= n;
    } else {
      m_nCounted += static_cast<long long>(n);
    }
    return true;
  }
  bool bDrain() { return bEmit(m_acScratch, static_cast<size_t>(m_pWrite - m_acScratch)); }

  char* const m_pOut;
  bool m_bViaScratch;
  char* m_pWrite = nullptr;  // where iconv writes next, and the room there
  size_t m_nFree = 0;
  char* m_pOutNext = nullptr;  // once via scratch: the output's next byte and room
  size_t m_nOutFree = 0;
  long long m_nCounted = 0;  // without an output: the bytes so far
  alignas(4) char m_acScratch[kScratchBytes];
};

// iconv into the sink, making room for as long as it reports a full area;
// false on any other failure (errno set).
bool bIConvInto(iconv_t cd, char** ppIn, size_t* pnIn, CIConvSink& clSink) {
  for (;;) {
    if (iconv(cd, ppIn, pnIn, clSink.ppWrite(), clSink.pnFree()) != static_cast<size_t>(-1))
      return true;
    if (errno != E2BIG || !clSink.bMakeRoom()) return false;
  }
}

// A whole conversion with cd into nRoom bytes (pOut null: counted). bFlush
// ends it with iconv's flush call, which gives what a stateful source still
// holds (without it the last letter of a Vietnamese text would be lost).
long long nRunIConv(iconv_t cd, const char* pIn, size_t nIn, char* pOut, size_t nRoom,
                    bool bFlush) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* pNext = const_cast<char*>(pIn);
  size_t nLeft = nIn;
  CIConvSink clSink(pOut, nRoom);
  if (!bIConvInto(cd, &pNext, &nLeft, clSink)) return kFailed;
  if (bFlush && !bIConvInto(cd, nullptr, nullptr, clSink)) return kFailed;
  return clSink.nFinish();
}

// CP1252 bytes to wide text through the framework's table (core/cp1252_table.h), which
// defines all 256 bytes.
long long nDecodeCp1252(const unsigned char* pIn, size_t nIn, wchar_t* pOut, size_t nRoom) {
  if (pOut == nullptr) return static_cast<long long>(nIn);
  if (nRoom < nIn) return nFail(E2BIG);
  for (size_t i = 0; i < nIn; ++i) {
    const unsigned char b = pIn[i];
    pOut[i] = b < 0x80 ? static_cast<wchar_t>(b) : kq230::cp1252::Cp1252ToWide(b);
  }
  return static_cast<long long>(nIn);
}

// Well-formed UTF-8 to wide text. Any other input (an overlong form, a
// surrogate, a value above U+10FFFF, a stray continuation byte, a sequence cut
// short) answers kNotWellFormed without having read past nIn: iconv then
// decides, so that the result is iconv's in every case.
long long nDecodeUtf8(const unsigned char* pIn, size_t nIn, wchar_t* pOut, size_t nRoom) {
  size_t i = 0;
  long long nCount = 0;
  size_t nWritten = 0;
  while (i < nIn) {
    const unsigned int b0 = pIn[i];
    if (b0 < 0x80) {
      if (pOut != nullptr) {
        // A run of ASCII: the most common text, copied without the checks below.
        do {
          if (nWritten == nRoom) return nFail(E2BIG);
          pOut[nWritten++] = static_cast<wchar_t>(pIn[i++]);
        } while (i < nIn && pIn[i] < 0x80);
      } else {
        do {
          ++i;
          ++nCount;
        } while (i < nIn && pIn[i] < 0x80);
      }
      continue;
    }
    unsigned int nCode;
    size_t nBytes;
    const size_t nAvail = nIn - i;
    auto bCont = [&](size_t k) { return k < nAvail && (pIn[i + k] & 0xC0) == 0x80; };
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      if (!bCont(1)) return kNotWellFormed;
      nCode = ((b0 & 0x1F) << 6) | (pIn[i + 1] & 0x3F);
      nBytes = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      if (!bCont(1) || !bCont(2)) return kNotWellFormed;
      nCode = ((b0 & 0x0F) << 12) | ((pIn[i + 1] & 0x3Fu) << 6) | (pIn[i + 2] & 0x3F);
      if (nCode < 0x800 || (nCode >= 0xD800 && nCode <= 0xDFFF)) return kNotWellFormed;
      nBytes = 3;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      if (!bCont(1) || !bCont(2) || !bCont(3)) return kNotWellFormed;
      nCode = ((b0 & 0x07) << 18) | ((pIn[i + 1] & 0x3Fu) << 12) | ((pIn[i + 2] & 0x3Fu) << 6) |
              (pIn[i + 3] & 0x3F);
      if (nCode < 0x10000 || nCode > 0x10FFFF) return kNotWellFormed;
      nBytes = 4;
    } else {
      return kNotWellFormed;  // a continuation byte, 0xC0, 0xC1 or 0xF5 and up
    }
    if (pOut != nullptr) {
      if (nWritten == nRoom) return nFail(E2BIG);
      pOut[nWritten++] = static_cast<wchar_t>(nCode);
    } else {
      ++nCount;
    }
    i += nBytes;
  }
  return pOut != nullptr ? static_cast<long long>(nWritten) : nCount;
}

// Code-page bytes to wide text through iconv. The counting pass always uses
// the strict converter: glibc reports input it skipped under "//IGNORE" only
// when a call ends without filling its output, so a count taken in chunks
// through the lenient converter could accept text that the conversion itself
// then refuses. Strict counting refuses exactly that text.
long long nDecodeIConv(int nRow, bool bStrict, const char* pIn, size_t nIn, wchar_t* pOut,
                       size_t nRoom) {
  iconv_t cd;
  if (pOut != nullptr) {
    cd = cdThreadWide(nRow, bStrict ? DIR_TO_WIDE_STRICT : DIR_TO_WIDE_LENIENT);
  } else {
    cd = cdThreadWide(nRow, DIR_TO_WIDE_STRICT);
    if (cd == kRefused && !bStrict) cd = cdThreadWide(nRow, DIR_TO_WIDE_LENIENT);
  }
  if (cd == kRefused) return kFailed;
  const long long nBytes = nRunIConv(cd, pIn, nIn, reinterpret_cast<char*>(pOut),
                                     nRoomBytes(nRoom, sizeof(wchar_t)), bFlushAfterDecoding(nRow));
  return nBytes < 0 ? kFailed : nBytes / static_cast<long long>(sizeof(wchar_t));
}

// 8-bit text of a row to wide text; nRoom characters of output (pOut null:
// count).
long long nDecode(int nRow, bool bStrict, const char* pIn, size_t nIn, wchar_t* pOut,
                  size_t nRoom) {
  const unsigned char* pBytes = reinterpret_cast<const unsigned char*>(pIn);
  if (nRow == kRow1252) return nDecodeCp1252(pBytes, nIn, pOut, nRoom);
  if (nRow == kRowUtf8) {
    const long long n = nDecodeUtf8(pBytes, nIn, pOut, nRoom);
    if (n != kNotWellFormed) return n;
  }
  return nDecodeIConv(nRow, bStrict, pIn, nIn, pOut, nRoom);
}

// What a character that the code page cannot hold becomes. A null text means
// no replacement: the conversion fails (EILSEQ).
struct Replacement {
  const char* pszText;
  size_t nLength;
  int* pbUsed;
};

// Puts the replacement at nAt (when there is an output) and answers its
// length, or kFailed when it does not fit or there is none.
long long nReplace(const Replacement& stRepl, char* pOut, size_t nRoom, size_t nAt) {
  if (stRepl.pszText == nullptr) return nFail(EILSEQ);
  if (stRepl.pbUsed != nullptr) *stRepl.pbUsed = 1;
  if (pOut != nullptr) {
    if (nRoom - nAt < stRepl.nLength) return nFail(E2BIG);
    std::memcpy(pOut + nAt, stRepl.pszText, stRepl.nLength);
  }
  return static_cast<long long>(stRepl.nLength);
}

// Wide text to CP1252 through the framework's table.
long long nEncodeCp1252(const wchar_t* pIn, size_t nIn, char* pOut, size_t nRoom,
                        const Replacement& stRepl) {
  size_t nAt = 0;
  long long nCount = 0;
  for (size_t i = 0; i < nIn; ++i) {
    const wchar_t c = pIn[i];
    unsigned char b = 0;
    const int nByte = kq230::cp1252::WideToCp1252(c);
    if (nByte >= 0) b = static_cast<unsigned char>(nByte);
    const bool bHasByte = nByte >= 0;
    if (bHasByte) {
      if (pOut != nullptr) {
        if (nAt == nRoom) return nFail(E2BIG);
        pOut[nAt++] = static_cast<char>(b);
      } else {
        ++nCount;
      }
      continue;
    }
    const long long n = nReplace(stRepl, pOut, nRoom, nAt);
    if (n < 0) return kFailed;
    if (pOut != nullptr) nAt += static_cast<size_t>(n); else nCount += n;
  }
  return pOut != nullptr ? static_cast<long long>(nAt) : nCount;
}

// Wide text to UTF-8. Surrogates and values above U+10FFFF have no UTF-8 form,
// as for iconv, whose results these are.
long long nEncodeUtf8(const wchar_t* pIn, size_t nIn, char* pOut, size_t nRoom,
                      const Replacement& stRepl) {
  size_t nAt = 0;
  long long nCount = 0;
  for (size_t i = 0; i < nIn; ++i) {
    const unsigned int c = static_cast<unsigned int>(pIn[i]);
    unsigned char acSeq[4];
    size_t nBytes;
    if (c < 0x80) {
      acSeq[0] = static_cast<unsigned char>(c);
      nBytes = 1;
    } else if (c < 0x800) {
      acSeq[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
      acSeq[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      nBytes = 2;
    } else if (c < 0x10000 && (c < 0xD800 || c > 0xDFFF)) {
      acSeq[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
      acSeq[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      acSeq[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      nBytes = 3;
    } else if (c >= 0x10000 && c <= 0x10FFFF) {
      acSeq[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
      acSeq[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
      acSeq[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      acSeq[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      nBytes = 4;
    } else {
      const long long n = nReplace(stRepl, pOut, nRoom, nAt);
      if (n < 0) return kFailed;
      if (pOut != nullptr) nAt += static_cast<size_t>(n); else nCount += n;
      continue;
    }
    if (pOut != nullptr) {
      if (nRoom - nAt < nBytes) return nFail(E2BIG);
      std::memcpy(pOut + nAt, acSeq, nBytes);
      nAt += nBytes;
    } else {
      nCount += static_cast<long long>(nBytes);
    }
  }
  return pOut != nullptr ? static_cast<long long>(nAt) : nCount;
}

// Wide text to a code page through iconv. At a character the code page cannot
// hold, the converter first returns to its initial shift state (so that the
// replacement's bytes read as themselves in ISO-2022-JP), then the replacement
// is put and the character skipped. bFlush: the text ends in the initial shift
// state too.
long long nEncodeIConv(iconv_t cd, bool bFlush, const wchar_t* pIn, size_t nIn, char* pOut,
                       size_t nRoom, const Replacement& stRepl) {
  if (nRoomBytes(nIn, sizeof(wchar_t)) / sizeof(wchar_t) != nIn) return nFail(EOVERFLOW);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* pNext = const_cast<char*>(reinterpret_cast<const char*>(pIn));
  size_t nLeft = nIn * sizeof(wchar_t);
  CIConvSink clSink(pOut, nRoom);
  for (;;) {
    if (bIConvInto(cd, &pNext, &nLeft, clSink)) break;
    if (errno != EILSEQ || nLeft < sizeof(wchar_t)) return kFailed;
    if (stRepl.pszText == nullptr) return kFailed;  // errno EILSEQ: no replacement
    if (!bIConvInto(cd, nullptr, nullptr, clSink)) return kFailed;
    if (stRepl.pbUsed != nullptr) *stRepl.pbUsed = 1;
    if (!clSink.bPut(stRepl.pszText, stRepl.nLength)) return kFailed;
    pNext += sizeof(wchar_t);
    nLeft -= sizeof(wchar_t);
  }
  if (bFlush && !bIConvInto(cd, nullptr, nullptr, clSink)) return kFailed;
  return clSink.nFinish();
}

// Wide text to a row's code page; nRoom bytes of output (pOut null: count).
long long nEncode(int nRow, const wchar_t* pIn, size_t nIn, char* pOut, size_t nRoom,
                  const Replacement& stRepl) {
  if (nRow == kRow1252) return nEncodeCp1252(pIn, nIn, pOut, nRoom, stRepl);
  if (nRow == kRowUtf8) return nEncodeUtf8(pIn, nIn, pOut, nRoom, stRepl);
  iconv_t cd = cdThreadWide(nRow, DIR_FROM_WIDE);
  if (cd == kRefused) return kFailed;
  return nEncodeIConv(cd, bFlushAfterEncoding(nRow), pIn, nIn, pOut, nRoom, stRepl);
}


}  // namespace

// ---------------------------------------------------------------------------
// Code pages

const _stCodePageName* CodePage_pGetTable(int* pnCount) {
  if (pnCount != nullptr) *pnCount = kRowCount;
  return kCodePages;
}

const char* CodePageToIConv(int nCodePage) {
  return kCodePages[nRowOfCodePage(static_cast<unsigned int>(nCodePage))].pszIConvName;
}

int MultiByteToWideChar(unsigned int nCodePage, unsigned int dwFlags, const char* pszIn,
                        int nLength, wchar_t* pszOut, int nOutSize) {
  if (pszIn == nullptr || nLength < -1 || nOutSize < 0) return nResult(nFail(EINVAL));
  const size_t nIn = nLength == -1 ? std::strlen(pszIn) + 1 : static_cast<size_t>(nLength);
  if (nIn == 0) return nResult(nFail(EINVAL));
  const bool bOutput = pszOut != nullptr && nOutSize > 0;
  return nResult(nDecode(nRowOfCodePage(nCodePage), (dwFlags & MB_ERR_INVALID_CHARS) != 0, pszIn,
                         nIn, bOutput ? pszOut : nullptr,
                         bOutput ? static_cast<size_t>(nOutSize) : 0));
}

int WideCharToMultiByte(unsigned int nCodePage, unsigned int /*dwFlags*/, const wchar_t* pszIn,
                        int nLength, char* pszOut, int nOutSize, const char* pszDefault,
                        int* pbUsedDefault) {
  if (pszIn == nullptr || nLength < -1 || nOutSize < 0) return nResult(nFail(EINVAL));
  const int nRow = nRowOfCodePage(nCodePage);
  if (nRow != kRow1252 && nRow != kRowUtf8 &&
      cdThreadWide(nRow, DIR_FROM_WIDE) == kRefused)
    return 0;
  if (pbUsedDefault != nullptr) *pbUsedDefault = 0;
  const size_t nIn = nLength == -1 ? std::wcslen(pszIn) + 1 : static_cast<size_t>(nLength);
  if (nIn == 0) return nResult(nFail(EINVAL));
  const char* pszRepl = pszDefault != nullptr ? pszDefault : "?";
  const Replacement stRepl = {pszRepl, std::strlen(pszRepl), pbUsedDefault};
  const bool bOutput = pszOut != nullptr && nOutSize > 0;
  return nResult(nEncode(nRow, pszIn, nIn, bOutput ? pszOut : nullptr,
                         bOutput ? static_cast<size_t>(nOutSize) : 0, stRepl));
}

int MultiByteToMultiByte(unsigned int nFromCodePage, const char* pszIn, unsigned int nLength,
                         unsigned int nToCodePage, char* pszOut, unsigned int nOutSize,
                         unsigned int /*nUnused*/) {
  if (pszIn == nullptr) return nResult(nFail(EINVAL));
  const size_t nIn = nLength == static_cast<unsigned int>(-1) ? std::strlen(pszIn) + 1 : nLength;
  if (nIn == 0) return nResult(nFail(EINVAL));
  const bool bOutput = pszOut != nullptr && nOutSize > 0;
  char* pOut = bOutput ? pszOut : nullptr;
  const size_t nRoom = bOutput ? nOutSize : 0;
  const int nFrom = nRowOfCodePage(nFromCodePage);
  const int nTo = nRowOfCodePage(nToCodePage);

  if (nFrom == kRow1252 && nTo == kRow1252) {
    // The framework's table defines every byte: the text is its own image.
    if (pOut != nullptr) {
      if (nRoom < nIn) return nResult(nFail(E2BIG));
      std::memmove(pOut, pszIn, nIn);
    }
    return nResult(static_cast<long long>(nIn));
  }
  // Through wide text, with the converters of each code page (iconv itself
  // goes through UCS-4 between two code pages): a thread keeps at most three
  // descriptors per code page, never one per pair. Strictly: invalid input,
  // or a character the target cannot hold, fails the conversion, as iconv
  // between the two names would.
  const long long nWide = nDecode(nFrom, true, pszIn, nIn, nullptr, 0);
  if (nWide <= 0) return nResult(nWide);
  CScratchBuffer<wchar_t, 256> clWide(static_cast<size_t>(nWide));
  if (clWide.p() == nullptr) return nResult(nFail(ENOMEM));
  if (nDecode(nFrom, true, pszIn, nIn, clWide.p(), static_cast<size_t>(nWide)) != nWide)
    return 0;
  const Replacement stNone = {nullptr, 0, nullptr};
  return nResult(nEncode(nTo, clWide.p(), static_cast<size_t>(nWide), pOut, nRoom, stNone));
}

int nGetUTF8Len(const wchar_t* pszText) {
  if (pszText == nullptr) return 0;
  return WideCharToMultiByte(65001, 0, pszText, -1, nullptr, 0, nullptr, nullptr);
}

