#include "core/message_formatting.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <type_traits>

#include "core/string_templates.h"
#include "core/unicode.h"

// The argument lists handed around as "char*" by the framework are va_lists:
// on 32-bit x86 the two are the same type, which the FormatMessage emulations
// rely on to build a list of 32-bit values by hand.
static_assert(std::is_same_v<va_list, char*>, "a va_list is a pointer to the packed arguments");

namespace {

// The bound of the unbounded printf forms, and of anything we grow.
constexpr unsigned int kMaxFormattedChars = 10000000;

// Formats up to this size are converted on the stack.
constexpr unsigned int kStackFormatChars = 512 / sizeof(wchar_t);

// Written just before the end of a buffer before formatting: glibc's vswprintf
// writes size - 1 characters when the text does not fit and stops earlier on
// every other failure, but reports both as -1 without errno. A sentinel that
// survives tells the two apart. It is not a code point, so a text holds it
// only by accident.
constexpr wchar_t kSentinel = static_cast<wchar_t>(0xFFFFFFFEu);

// ---------------------------------------------------------------------------
// Format conversion

struct FormatWriter {
  wchar_t* pOut;  // null: count only
  unsigned int n = 0;
  void Put(wchar_t c) {
    if (pOut != nullptr) pOut[n] = c;
    ++n;
  }
  void Put(const wchar_t* p, const wchar_t* pEnd) {
    while (p < pEnd) Put(*p++);
  }
};

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Width and precision: "*", "*digits$" or digits.
const wchar_t* SkipCount(const wchar_t* p) {
  if (*p == L'*') {
    const wchar_t* q = p + 1;
    while (IsDigit(*q)) ++q;
    return (q > p + 1 && *q == L'$') ? q + 1 : p + 1;
  }
  while (IsDigit(*p)) ++p;
  return p;
}

// Converts (pOut non-null) or measures one format; answers the characters
// written, terminator included.
unsigned int ConvertFormat(const wchar_t* p, wchar_t* pOut) {
  FormatWriter w{pOut};
  while (*p != 0) {
    if (*p != L'%') {
      w.Put(*p++);
      continue;
    }
    w.Put(*p++);
    if (*p == L'%') {
      w.Put(*p++);
      continue;
    }
    // Everything up to the length prefix is the same in both conventions.
    const wchar_t* pStart = p;
    const wchar_t* q = p;
    while (IsDigit(*q)) ++q;
    if (q > p && *q == L'$') p = q + 1;  // positional index
    while (*p != 0 && std::wcschr(L"-+ #0'", *p) != nullptr) ++p;
    p = SkipCount(p);
    if (*p == L'.') p = SkipCount(p + 1);
    w.Put(pStart, p);

    // Length prefix, read in the Windows convention.
    enum { kNone, kShort, kLong, kOther } eSize = kNone;
    const wchar_t* pSizeStart = p;
    const wchar_t* pUnixSize = nullptr;  // what glibc gets, when it differs
    if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
      eSize = kOther, p += 3, pUnixSize = L"ll";
    } else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') {
      eSize = kOther, p += 3, pUnixSize = L"";
    } else if (p[0] == L'I') {
      eSize = kOther, p += 1, pUnixSize = L"";  // pointer-sized: 32 bits here
    } else if (p[0] == L'h' && p[1] == L'h') {
      eSize = kOther, p += 2;
    } else if (p[0] == L'l' && p[1] == L'l') {
      eSize = kOther, p += 2;
    } else if (p[0] == L'h') {
      eSize = kShort, p += 1;
    } else if (p[0] == L'l' || p[0] == L'w') {
      eSize = kLong, p += 1;
    } else if (*p != 0 && std::wcschr(L"Lqjzt", *p) != nullptr) {
      eSize = kOther, p += 1;
    }

    const wchar_t c = *p;
    const bool bText = (c == L's' || c == L'S' || c == L'c' || c == L'C') && eSize != kOther;
    if (bText) {
      // "s"/"c" take the format's width unless a size says otherwise; "S"/"C"
      // the other width.
      bool bWide = (c == L's' || c == L'c');
      if (eSize == kShort) bWide = false;
      if (eSize == kLong) bWide = true;
      if (bWide) w.Put(L'l');
      w.Put(c == L'S' ? L's' : c == L'C' ? L'c' : c);
      ++p;
      continue;
    }
    if (pUnixSize != nullptr) {
      while (*pUnixSize != 0) w.Put(*pUnixSize++);
    } else if (eSize == kLong && *pSizeStart == L'w') {
      // "w" means nothing to glibc outside texts.
    } else {
      w.Put(pSizeStart, p);
    }
    if (c != 0) w.Put(*p++);
  }
  w.Put(L'\0');
  return w.n;
}

// The converted format, on the stack when small.
class UnixFormat {
 public:
  explicit UnixFormat(const wchar_t* pszFormat) {
    if (pszFormat == nullptr) return;
    const unsigned int n = ConvertFormat(pszFormat, nullptr);
    wchar_t* p = m_szStack;
    if (n > kStackFormatChars) {
      m_pHeap = static_cast<wchar_t*>(std::malloc(sizeof(wchar_t) * size_t{n}));
      if (m_pHeap == nullptr) return;
      p = m_pHeap;
    }
    ConvertFormat(pszFormat, p);
    m_psz = p;
  }
  ~UnixFormat() { std::free(m_pHeap); }
  UnixFormat(const UnixFormat&) = delete;
  UnixFormat& operator=(const UnixFormat&) = delete;

  // Null when the format was null or memory was refused.
  const wchar_t* psz() const { return m_psz; }

 private:
  wchar_t m_szStack[kStackFormatChars];
  wchar_t* m_pHeap = nullptr;
  const wchar_t* m_psz = nullptr;
};

// vswprintf with a copy of args. *pbFull tells a text that did not fit from
// another failure. REQUIRES: nSize >= 1.
int FormatBounded(wchar_t* pBuffer, unsigned int nSize, const wchar_t* pszUnixFormat, va_list args,
                  bool* pbFull) {
  *pbFull = false;
  if (nSize >= 2) pBuffer[nSize - 2] = kSentinel;
  va_list ap;
  va_copy(ap, args);
  errno = 0;
  const int n = std::vswprintf(pBuffer, nSize, pszUnixFormat, ap);
  va_end(ap);
  if (n >= 0) return n;
  if (errno == 0) {
    // Size 1 holds only an empty text: anything else did not fit.
    *pbFull = nSize < 2 || pBuffer[nSize - 2] != kSentinel;
    if (!*pbFull) errno = EILSEQ;  // glibc's silent failures are encoding failures
  }
  return -1;
}

// Formats into *ppBuffer (a malloc block of *pnCapacity characters, or null),
// from nFirst characters, doubling until the text fits. Answers the length, or
// -1 with errno (ENOMEM past the limit or when memory is refused).
int FormatGrowing(wchar_t** ppBuffer, unsigned int* pnCapacity, unsigned int nFirst,
                  const wchar_t* pszUnixFormat, va_list args) {
  unsigned int nCapacity = nFirst < 8 ? 8 : nFirst;
  for (;;) {
    if (nCapacity > kMaxFormattedChars + 1) nCapacity = kMaxFormattedChars + 1;
    if (*ppBuffer == nullptr || *pnCapacity != nCapacity) {
      void* p = std::realloc(*ppBuffer, sizeof(wchar_t) * size_t{nCapacity});
      if (p == nullptr) {
        errno = ENOMEM;
        return -1;
      }
      *ppBuffer = static_cast<wchar_t*>(p);
      *pnCapacity = nCapacity;
    }
    bool bFull = false;
    const int n = FormatBounded(*ppBuffer, nCapacity, pszUnixFormat, args, &bFull);
    if (n >= 0) return n;
    if (!bFull) return -1;
    if (nCapacity > kMaxFormattedChars) {
      errno = ENOMEM;
      return -1;
    }
    nCapacity = nCapacity > kMaxFormattedChars / 2 ? kMaxFormattedChars + 1 : nCapacity * 2;
  }
}

// A list of zero arguments for callers that pass none: enough 32-bit zeros
// for every conversion the format could hold (at most two "*" and a 64-bit
// value each), so that a stray conversion reads zeros, never the stack.
class EmptyArguments {
 public:
  template <class T>
  explicit EmptyArguments(const T* pszFormat) {
    size_t nPercent = 0;
    if (pszFormat != nullptr)
      for (const T* p = pszFormat; *p != 0; ++p) nPercent += (*p == '%');
    const size_t nWords = 4 * nPercent + 4;
    if (nWords <= sizeof(m_aStack) / sizeof(m_aStack[0])) {
      std::memset(m_aStack, 0, sizeof(m_aStack));
      m_pWords = m_aStack;
    } else {
      m_pHeap = static_cast<uint32_t*>(std::calloc(nWords, sizeof(uint32_t)));
      m_pWords = m_pHeap;
    }
  }
  ~EmptyArguments() { std::free(m_pHeap); }
  EmptyArguments(const EmptyArguments&) = delete;
  EmptyArguments& operator=(const EmptyArguments&) = delete;

  // Null when memory was refused.
  va_list* pList() {
    if (m_pWords == nullptr) return nullptr;
    m_list = reinterpret_cast<char*>(m_pWords);
    return &m_list;
  }

 private:
  uint32_t m_aStack[64];
  uint32_t* m_pHeap = nullptr;
  uint32_t* m_pWords = nullptr;
  va_list m_list = nullptr;
};

// strerror's UTF-8 text as wide text into a malloc block; null on failure.
wchar_t* SystemText(int nError, unsigned int* pnLength) {
  const char* psz = std::strerror(nError);
  const unsigned int n = static_cast<unsigned int>(UTF8ToWideLen(psz));
  wchar_t* p = static_cast<wchar_t*>(std::malloc(sizeof(wchar_t) * (size_t{n} + 1)));
  if (p == nullptr) return nullptr;
  *pnLength = UTF8ToWide(p, n + 1, psz);
  return p;
}

}  // namespace

// ---------------------------------------------------------------------------
// Format conversion

void _ConvertFormatWindowsToUnix(const wchar_t* pszFormat, wchar_t* pszOut, unsigned int) {
  if (pszFormat == nullptr || pszOut == nullptr) return;
  ConvertFormat(pszFormat, pszOut);
}

unsigned int _nCalculeTailleChaineFormattageUnix(const wchar_t* pszFormat) {
  return pszFormat == nullptr ? 0 : ConvertFormat(pszFormat, nullptr);
}

// ---------------------------------------------------------------------------
// The printf family

namespace {

// The body of vsnwprintfWin. bSized: the caller's buffer really holds nSize
// characters (false for the unbounded forms, whose size is only a limit).
int FormatWindows(wchar_t* pszBuffer, unsigned int nSize, const wchar_t* pszFormat, va_list args,
                  bool bSized) {
  if (pszFormat == nullptr || (pszBuffer == nullptr && nSize != 0)) {
    errno = EINVAL;
    return -1;
  }
  if (nSize == 0) {
    errno = 0;
    return -1;  // nothing fits, not even the terminator
  }
  UnixFormat format(pszFormat);
  if (format.psz() == nullptr) {
    errno = ENOMEM;
    return -1;
  }
  if (!bSized) {
    va_list ap;
    va_copy(ap, args);
    errno = 0;
    const int n = std::vswprintf(pszBuffer, nSize, format.psz(), ap);
    va_end(ap);
    if (n < 0 && errno == 0) errno = EILSEQ;
    return n;
  }
  bool bFull = false;
  const int n = FormatBounded(pszBuffer, nSize, format.psz(), args, &bFull);
  if (n < 0) {
    // glibc leaves a cut text unterminated; the callers' buffers always end.
    pszBuffer[nSize - 1] = 0;
    if (bFull) errno = 0;
  }
  return n;
}

}  // namespace

int vsnwprintfWin(wchar_t* pszBuffer, unsigned int nSize, const wchar_t* pszFormat, va_list args) {
  return FormatWindows(pszBuffer, nSize, pszFormat, args, true);
}

int snwprintfWin(wchar_t* pszBuffer, unsigned int nSize, const wchar_t* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  const int n = vsnwprintfWin(pszBuffer, nSize, pszFormat, args);
  va_end(args);
  return n;
}

int vswprintfWin(wchar_t* pszBuffer, const wchar_t* pszFormat, va_list args) {
  return FormatWindows(pszBuffer, kMaxFormattedChars, pszFormat, args, false);
}

int swprintfWin(wchar_t* pszBuffer, const wchar_t* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  const int n = vswprintfWin(pszBuffer, pszFormat, args);
  va_end(args);
  return n;
}

int vsznwprintf(wchar_t* pszBuffer, unsigned int n, const wchar_t* pszFormat, va_list args) {
  if (pszBuffer == nullptr || n == UINT_MAX) {
    errno = EINVAL;
    return -1;
  }
  const int nResult = vsnwprintfWin(pszBuffer, n + 1, pszFormat, args);
  pszBuffer[n] = 0;
  if (nResult < 0 && pszFormat == nullptr) pszBuffer[0] = 0;
  return nResult;
}

int sznwprintf(wchar_t* pszBuffer, unsigned int n, const wchar_t* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  const int nResult = vsznwprintf(pszBuffer, n, pszFormat, args);
  va_end(args);
  return nResult;
}

int vsznwprintfWin(wchar_t* pszBuffer, unsigned int n, const wchar_t* pszFormat, va_list args) {
  return vsznwprintf(pszBuffer, n, pszFormat, args);
}

int sznwprintfWin(wchar_t* pszBuffer, unsigned int n, const wchar_t* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  const int nResult = vsznwprintf(pszBuffer, n, pszFormat, args);
  va_end(args);
  return nResult;
}

int vsznprintf(char* pszBuffer, unsigned int n, const char* pszFormat, va_list args) {
  if (pszBuffer == nullptr || pszFormat == nullptr || n == UINT_MAX) {
    errno = EINVAL;
    return -1;
  }
  va_list ap;
  va_copy(ap, args);
  const int nResult = std::vsnprintf(pszBuffer, size_t{n} + 1, pszFormat, ap);
  va_end(ap);
  pszBuffer[n] = 0;
  if (nResult < 0) {
    pszBuffer[0] = 0;
    return -1;
  }
  return static_cast<unsigned int>(nResult) > n ? -1 : nResult;
}

int sznprintf(char* pszBuffer, unsigned int n, const char* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  const int nResult = vsznprintf(pszBuffer, n, pszFormat, args);
  va_end(args);
  return nResult;
}

int vaswprintf(wchar_t** ppBuffer, const wchar_t* pszFormat, va_list args) {
  if (ppBuffer == nullptr || pszFormat == nullptr) {
    errno = EINVAL;
    return -1;
  }
  const size_t nFormat = std::wcslen(pszFormat);
  if (nFormat >= kMaxFormattedChars) {
    errno = ENOMEM;
    return -1;
  }
  UnixFormat format(pszFormat);
  if (format.psz() == nullptr) {
    errno = ENOMEM;
    return -1;
  }
  // The first attempt: the format's length rounded up to the next multiple of
  // 8, or the length estimate when that is larger. glibc formats the whole
  // text even into a full buffer, and slowly, so an attempt that fails costs
  // more than the text: the estimate, an upper bound for every conversion it
  // knows, makes one attempt the rule. Doubling covers the rest, so the work
  // stays linear in the text.
  unsigned int nFirst = (static_cast<unsigned int>(nFormat) / 8 + 1) * 8;
  const int nEstimate = STRG_nCalculeLongueurPrintf<wchar_t>(pszFormat, args);
  if (nEstimate >= static_cast<int>(nFirst))
    nFirst =
        nEstimate >= static_cast<int>(kMaxFormattedChars) ? kMaxFormattedChars + 1 : nEstimate + 1;
  unsigned int nCapacity = 0;
  const int n = FormatGrowing(ppBuffer, &nCapacity, nFirst, format.psz(), args);
  if (n >= 0 && nCapacity / 2 > static_cast<unsigned int>(n) + 8) {
    // An estimate far above the text (large precisions) gives the room back.
    if (void* p = std::realloc(*ppBuffer, sizeof(wchar_t) * (size_t(n) + 8)))
      *ppBuffer = static_cast<wchar_t*>(p);
  }
  if (n >= 0 || errno != EILSEQ) return n;
  // Text that cannot be encoded: the caller gets the format as it stands.
  if (*ppBuffer != nullptr && nCapacity > nFormat) {
    std::wmemcpy(*ppBuffer, pszFormat, nFormat + 1);
    errno = EILSEQ;
    return static_cast<int>(nFormat);
  }
  return -1;
}

// ---------------------------------------------------------------------------
// FormatMessage (printf style)

unsigned int FormatMessageW(unsigned int dwFlags, const void* pSource, unsigned int, unsigned int,
                            wchar_t* pszBuffer, unsigned int nSize, va_list* pArgs) {
  const wchar_t* pszSource = static_cast<const wchar_t*>(pSource);
  wchar_t* pszSystem = nullptr;
  if (dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) {
    unsigned int nLength = 0;
    pszSystem = SystemText(errno, &nLength);
    pszSource = pszSystem;
  }
  if (pszSource == nullptr || pszBuffer == nullptr) {
    const bool bNoMemory = (dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) && pszSystem == nullptr;
    std::free(pszSystem);
    if ((dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) && pszBuffer != nullptr)
      *reinterpret_cast<wchar_t**>(pszBuffer) = nullptr;
    errno = bNoMemory ? ENOMEM : EINVAL;
    return 0;
  }
  EmptyArguments none(pszSource);
  if (pArgs == nullptr) pArgs = none.pList();
  int n = -1;
  if (pArgs == nullptr) {
    errno = ENOMEM;
  } else if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    wchar_t** ppOut = reinterpret_cast<wchar_t**>(pszBuffer);
    wchar_t* p = nullptr;
    n = vaswprintf(&p, pszSource, *pArgs);
    if (n < 0) {
      std::free(p);
      p = nullptr;
    } else if (static_cast<unsigned int>(n) < nSize && nSize <= kMaxFormattedChars) {
      // The caller asked for room for nSize characters.
      if (void* pGrown = std::realloc(p, sizeof(wchar_t) * size_t{nSize}))
        p = static_cast<wchar_t*>(pGrown);
    }
    *ppOut = p;
  } else {
    n = vsnwprintfWin(pszBuffer, nSize, pszSource, *pArgs);
  }
  std::free(pszSystem);
  return n < 0 ? 0 : static_cast<unsigned int>(n);
}

unsigned int FormatMessageA(unsigned int dwFlags, const void* pSource, unsigned int, unsigned int,
                            char* pszBuffer, unsigned int nSize, va_list* pArgs) {
  const char* pszSource = static_cast<const char*>(pSource);
  if (dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) pszSource = std::strerror(errno);
  if (pszSource == nullptr || pszBuffer == nullptr) {
    if ((dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) && pszBuffer != nullptr)
      *reinterpret_cast<char**>(pszBuffer) = nullptr;
    errno = EINVAL;
    return 0;
  }
  EmptyArguments none(pszSource);
  if (pArgs == nullptr) pArgs = none.pList();
  if (pArgs == nullptr) {
    errno = ENOMEM;
    return 0;
  }
  va_list ap;
  va_copy(ap, *pArgs);
  int n = -1;
  if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    char** ppOut = reinterpret_cast<char**>(pszBuffer);
    char* p = nullptr;
    n = ::vasprintf(&p, pszSource, ap);
    if (n < 0) {
      p = nullptr;  // vasprintf leaves it undefined
    } else if (static_cast<unsigned int>(n) < nSize && nSize <= kMaxFormattedChars) {
      if (void* pGrown = std::realloc(p, nSize)) p = static_cast<char*>(pGrown);
    }
    *ppOut = p;
  } else if (nSize == 0) {
    n = -1;
  } else {
    n = std::vsnprintf(pszBuffer, nSize, pszSource, ap);
    if (n >= 0 && static_cast<unsigned int>(n) >= nSize) n = -1;  // cut
  }
  va_end(ap);
  return n < 0 ? 0 : static_cast<unsigned int>(n);
}

// ---------------------------------------------------------------------------
// FormatMessageWin

namespace {

// Longest "!spec!" of an insert, and the arguments an insert may reach.
constexpr int kMaxInsertSpec = 30;
constexpr int kArgumentSlots = 200;

// The writer of FormatMessageWin: output with its room, the column, the start
// of the current line and the last break point on it.
class MessageWriter {
 public:
  MessageWriter(wchar_t* pOut, unsigned int nCapacity, unsigned int nWidth)
      : m_pOut(pOut), m_nCapacity(nCapacity), m_nWidth(nWidth) {}

  unsigned int nLength() const { return m_nLength; }
  wchar_t* pEnd() { return m_pOut + m_nLength; }
  // Characters that still fit before the terminator.
  unsigned int nRoom() const { return m_nCapacity - 1 - m_nLength; }
  void Terminate() { m_pOut[m_nLength] = 0; }

  // Each answers 0 or the error (75 when the output is full).
  int Put(wchar_t c) {
    if (nRoom() == 0) return EOVERFLOW;
    m_pOut[m_nLength++] = c;
    Advance(c);
    return Wrap();
  }
  int LineBreak() {
    if (nRoom() < 2) return EOVERFLOW;
    m_pOut[m_nLength++] = L'\r';
    m_pOut[m_nLength++] = L'\n';
    NewLine();
    return 0;
  }
  int CarriageReturn() {
    if (nRoom() == 0) return EOVERFLOW;
    m_pOut[m_nLength++] = L'\r';
    NewLine();
    return 0;
  }
  // Accounts for n characters that the insert formatter wrote at pEnd().
  int Appended(unsigned int n) {
    for (unsigned int i = 0; i < n; ++i) Advance(m_pOut[m_nLength++]);
    return Wrap();
  }

 private:
  void NewLine() {
    m_nColumn = 0;
    m_nLineStart = m_nLength;
    m_nBreak = -1;
  }
  void Advance(wchar_t c) {
    if (c == L'\t') {
      m_nColumn = (m_nColumn | 7) + 2;
    } else {
      if (c == L' ') m_nBreak = static_cast<int>(m_nLength - 1);
      ++m_nColumn;
    }
  }
  static bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

  // Widths 1 to 254 wrap: the blanks around the last break point become a
  // line break, or one is added where the output stands.
  int Wrap() {
    if (m_nWidth == 0 || m_nWidth >= 255) return 0;
    while (m_nColumn >= m_nWidth) {
      if (m_nBreak < 0) {
        const int nError = LineBreak();
        if (nError != 0) return nError;
        continue;
      }
      unsigned int nFrom = static_cast<unsigned int>(m_nBreak);
      unsigned int nTo = nFrom + 1;
      while (nFrom > m_nLineStart && IsBlank(m_pOut[nFrom - 1])) --nFrom;
      while (nTo < m_nLength && IsBlank(m_pOut[nTo])) ++nTo;
      const unsigned int nTail = m_nLength - nTo;
      if (nTo - nFrom < 2 && nRoom() < 2 - (nTo - nFrom)) return EOVERFLOW;
      std::wmemmove(m_pOut + nFrom + 2, m_pOut + nTo, nTail);
      m_pOut[nFrom] = L'\r';
      m_pOut[nFrom + 1] = L'\n';
      m_nLength = nFrom + 2 + nTail;
      m_nLineStart = nFrom + 2;
      m_nColumn = nTail;
      m_nBreak = -1;
    }
    return 0;
  }

  wchar_t* m_pOut;
  unsigned int m_nCapacity;  // characters, terminator included; >= 1
  unsigned int m_nWidth;
  unsigned int m_nLength = 0;
  unsigned int m_nColumn = 0;
  unsigned int m_nLineStart = 0;
  int m_nBreak = -1;
};

// The arguments of the inserts, fetched in order as 32-bit values.
class InsertArguments {
 public:
  InsertArguments(va_list* pArgs, bool bArray) : m_bArray(bArray) {
    if (pArgs == nullptr) return;
    if (bArray) {
      m_pArray = reinterpret_cast<const uint32_t*>(pArgs);
    } else {
      va_copy(m_list, *pArgs);
      m_bList = true;
    }
  }
  ~InsertArguments() {
    if (m_bList) va_end(m_list);
  }
  InsertArguments(const InsertArguments&) = delete;
  InsertArguments& operator=(const InsertArguments&) = delete;

  bool bPresent() const { return m_bList || m_pArray != nullptr; }
  int nFetched() const { return m_nFetched; }
  // Fetches up to (and including) argument n (1-based).
  void FetchUpTo(int n) {
    while (m_nFetched < n) {
      m_aCache[m_nFetched] = m_bArray ? m_pArray[m_nFetched] : va_arg(m_list, uint32_t);
      ++m_nFetched;
    }
  }
  uint32_t Get(int n) const { return m_aCache[n - 1]; }

 private:
  bool m_bArray;
  bool m_bList = false;
  const uint32_t* m_pArray = nullptr;
  va_list m_list;
  int m_nFetched = 0;
  uint32_t m_aCache[kArgumentSlots] = {};
};

// An insert's printf specification, read. It must be one conversion that
// reads values: no "%n" (which would write through an argument) and nothing
// after the conversion (which would read arguments that were never fetched).
struct InsertSpec {
  wchar_t szFlags[8] = {};
  bool bWidthStar = false;
  int64_t nWidth = -1;  // -1: none
  bool bPrecisionStar = false;
  int64_t nPrecision = -1;  // -1: none
  const wchar_t* pSize = nullptr;
  const wchar_t* pSizeEnd = nullptr;
  wchar_t cConversion = 0;
};

int64_t ReadNumber(const wchar_t*& p, const wchar_t* pEnd) {
  int64_t n = 0;
  while (p < pEnd && IsDigit(*p)) {
    n = n * 10 + (*p++ - L'0');
    if (n > INT_MAX) n = int64_t{INT_MAX} + 1;  // already more than any room
  }
  return n;
}

bool ParseInsertSpec(const wchar_t* p, const wchar_t* pEnd, InsertSpec* pSpec) {
  int nFlags = 0;
  while (p < pEnd && std::wcschr(L"-+ #0", *p) != nullptr) {
    if (nFlags < 7) pSpec->szFlags[nFlags++] = *p;
    ++p;
  }
  if (p < pEnd && *p == L'*') {
    pSpec->bWidthStar = true;
    ++p;
  } else if (p < pEnd && IsDigit(*p)) {
    pSpec->nWidth = ReadNumber(p, pEnd);
  }
  if (p < pEnd && *p == L'.') {
    ++p;
    if (p < pEnd && *p == L'*') {
      pSpec->bPrecisionStar = true;
      ++p;
    } else {
      pSpec->nPrecision = ReadNumber(p, pEnd);
    }
  }
  static const wchar_t* const kSizes[] = {L"I64", L"I32", L"hh", L"ll", L"h", L"l", L"w", L"I"};
  pSpec->pSize = pSpec->pSizeEnd = p;
  for (const wchar_t* pszSize : kSizes) {
    const size_t n = std::wcslen(pszSize);
    if (static_cast<size_t>(pEnd - p) >= n && std::wcsncmp(p, pszSize, n) == 0) {
      p += n;
      break;
    }
  }
  pSpec->pSizeEnd = p;
  if (p + 1 != pEnd || std::wcschr(L"diouxXcCsSpeEfgG", *p) == nullptr || *p == 0) return false;
  pSpec->cConversion = *p;
  return true;
}

// Formats one insert at the writer's end. Answers 0 or the error.
//
// The "*" of a specification take their values from the arguments as printf
// would (the insert's own argument first, then the ones not yet fetched), and
// are written into the format as numbers. A width, or a precision that forces
// digits, larger than the room left cannot fit: that is an overflow at once,
// rather than a padding of a billion characters into a small buffer.
int FormatInsert(MessageWriter& writer, InsertArguments& args, int nNumber, const wchar_t* pSpec,
                 const wchar_t* pSpecEnd) {
  InsertSpec spec;
  if (!args.bPresent() || !ParseInsertSpec(pSpec, pSpecEnd, &spec)) return EINVAL;
  const int nStars = int{spec.bWidthStar} + int{spec.bPrecisionStar};
  const int nLast = (args.nFetched() > nNumber ? args.nFetched() : nNumber) + nStars;
  if (nNumber - 1 + nStars > kArgumentSlots - 1 || nLast > kArgumentSlots) return EINVAL;

  uint32_t aValues[3];
  args.FetchUpTo(nNumber);
  aValues[0] = args.Get(nNumber);
  for (int i = 0; i < nStars; ++i) {
    const int n = args.nFetched() + 1;
    args.FetchUpTo(n);
    aValues[1 + i] = args.Get(n);
  }
  int iValue = 0;
  bool bLeft = std::wcschr(spec.szFlags, L'-') != nullptr;
  if (spec.bWidthStar) {
    const int32_t n = static_cast<int32_t>(aValues[iValue++]);
    if (n < 0) bLeft = true;  // as printf reads a negative width
    spec.nWidth = n < 0 ? -int64_t{n} : n;
  }
  if (spec.bPrecisionStar) {
    const int32_t n = static_cast<int32_t>(aValues[iValue++]);
    spec.nPrecision = n < 0 ? -1 : n;
  }
  const unsigned int nRoom = writer.nRoom();
  const wchar_t c = spec.cConversion;
  const bool bText = c == L's' || c == L'S';
  if (spec.nWidth > nRoom) return EOVERFLOW;
  if (c == L'c' || c == L'C') spec.nPrecision = -1;
  if (spec.nPrecision > nRoom) {
    // A text's precision only cuts it, and %g drops zeros it does not need:
    // one more than the room says the same for them.
    if (!bText && c != L'g' && c != L'G') return EOVERFLOW;
    spec.nPrecision = int64_t{nRoom} + 1;
  }

  // The value, then zeros: a 64-bit or floating-point conversion reads a
  // second word, never the stack.
  const uint32_t a[4] = {aValues[iValue], 0u, 0u, 0u};
  wchar_t szFormat[64];
  std::swprintf(szFormat, 64, L"%%%ls%ls", spec.szFlags,
                bLeft && !std::wcschr(spec.szFlags, L'-') ? L"-" : L"");
  size_t nFormat = std::wcslen(szFormat);
  if (spec.nWidth >= 0)
    nFormat += std::swprintf(szFormat + nFormat, 64 - nFormat, L"%lld",
                             static_cast<long long>(spec.nWidth));
  if (spec.nPrecision >= 0)
    nFormat += std::swprintf(szFormat + nFormat, 64 - nFormat, L".%lld",
                             static_cast<long long>(spec.nPrecision));
  for (const wchar_t* q = spec.pSize; q < spec.pSizeEnd; ++q) szFormat[nFormat++] = *q;
  szFormat[nFormat++] = c;
  szFormat[nFormat] = 0;

  const int n = snwprintfWin(writer.pEnd(), nRoom + 1, szFormat, a[0], a[1], a[2], a[3]);
  if (n >= 0) return writer.Appended(static_cast<unsigned int>(n));
  if (errno != 0) return errno;
  // Cut: what fitted stays, as with every other write.
  writer.Appended(static_cast<unsigned int>(std::wcslen(writer.pEnd())));
  return EOVERFLOW;
}

// Reads the source once into the writer. Answers 0 or the error.
int FormatSource(const wchar_t* p, MessageWriter& writer, InsertArguments& args,
                 bool bIgnoreInserts, unsigned int nWidth) {
  int nError = 0;
  while (*p != 0 && nError == 0) {
    const wchar_t c = *p;
    if (c == L'\r' || c == L'\n') {
      // A pair "\r\n" or "\n\r" is one line break.
      ++p;
      if ((*p == L'\r' || *p == L'\n') && *p != c) ++p;
      nError = nWidth == 0 ? writer.LineBreak() : writer.Put(L' ');
      continue;
    }
    if (c != L'%') {
      nError = writer.Put(c);
      ++p;
      continue;
    }
    const wchar_t* pPercent = p++;
    const wchar_t x = *p;
    if (x == 0) return EINVAL;
    if (x == L'0') return 0;
    if (x >= L'1' && x <= L'9') {
      int nNumber = x - L'0';
      ++p;
      if (IsDigit(*p)) nNumber = nNumber * 10 + (*p++ - L'0');
      if (IsDigit(*p)) return EINVAL;
      const wchar_t* pSpec = L"s";
      const wchar_t* pSpecEnd = pSpec + 1;
      if (*p == L'!') {
        const wchar_t* pClose = p + 1;
        while (*pClose != 0 && *pClose != L'!' && pClose - (p + 1) <= kMaxInsertSpec) ++pClose;
        if (*pClose != L'!' || pClose - (p + 1) > kMaxInsertSpec) return EINVAL;
        int nStars = 0;
        for (const wchar_t* q = p + 1; q < pClose; ++q) nStars += (*q == L'*');
        if (nStars > 2) return EINVAL;
        pSpec = p + 1;
        pSpecEnd = pClose;
        p = pClose + 1;
      }
      if (bIgnoreInserts) {
        for (const wchar_t* q = pPercent; q < p && nError == 0; ++q) nError = writer.Put(*q);
      } else {
        nError = FormatInsert(writer, args, nNumber, pSpec, pSpecEnd);
      }
      continue;
    }
    ++p;
    switch (x) {
      case L'b':
        nError = writer.Put(L' ');
        break;
      case L'n':
        nError = writer.LineBreak();
        break;
      case L'r':
        nError = writer.CarriageReturn();
        break;
      case L't':
        nError = writer.Put(L'\t');
        break;
      default:
        if (bIgnoreInserts) nError = writer.Put(L'%');
        if (nError == 0) nError = writer.Put(x);
        break;
    }
  }
  return nError;
}

}  // namespace

unsigned int FormatMessageWin(unsigned int dwFlags, const void* pSource, unsigned int dwError,
                              unsigned int, wchar_t* pszBuffer, unsigned int nSize,
                              va_list* pArgs) {
  const bool bAllocate = dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER;
  if ((dwFlags & FORMAT_MESSAGE_FROM_HMODULE) ||
      !(dwFlags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_SYSTEM)) ||
      pszBuffer == nullptr) {
    errno = EINVAL;
    return 0;
  }
  wchar_t** ppOut = reinterpret_cast<wchar_t**>(pszBuffer);
  if (bAllocate) *ppOut = nullptr;

  if (dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) {
    unsigned int nLength = 0;
    wchar_t* pszText = SystemText(dwError != 0 ? static_cast<int>(dwError) : errno, &nLength);
    if (pszText == nullptr) {
      errno = FORMAT_MESSAGE_ERROR_NO_MEMORY;
      return 0;
    }
    if (bAllocate) {
      // Room for nSize characters at least, as the caller asked.
      if (nLength < nSize && nSize <= kMaxFormattedChars) {
        void* p = std::realloc(pszText, sizeof(wchar_t) * (size_t{nSize} + 1));
        if (p == nullptr) {
          std::free(pszText);
          errno = FORMAT_MESSAGE_ERROR_NO_MEMORY;
          return 0;
        }
        pszText = static_cast<wchar_t*>(p);
      }
      *ppOut = pszText;
      return nLength;
    }
    // The caller's buffer holds nSize characters, its terminator included.
    unsigned int nCopy = nLength;
    if (nSize == 0 || nCopy > nSize - 1) {
      nCopy = nSize == 0 ? 0 : nSize - 1;
      errno = EOVERFLOW;
    }
    if (nSize != 0) {
      std::wmemcpy(pszBuffer, pszText, nCopy);
      pszBuffer[nCopy] = 0;
    }
    std::free(pszText);
    return nCopy;
  }

  const wchar_t* pszSource = static_cast<const wchar_t*>(pSource);
  if (pszSource == nullptr) {
    errno = EINVAL;
    return 0;
  }
  wchar_t* pOut = pszBuffer;
  unsigned int nCapacity = nSize;
  if (bAllocate) {
    const uint64_t nChars = (uint64_t{nSize} & ~uint64_t{0xFFFF}) + 0x10000;
    const uint64_t nBytes = nChars * sizeof(wchar_t);
    pOut = nBytes > SIZE_MAX ? nullptr : static_cast<wchar_t*>(std::malloc(size_t(nBytes)));
    if (pOut == nullptr) {
      errno = FORMAT_MESSAGE_ERROR_NO_MEMORY;
      return 0;
    }
    nCapacity = static_cast<unsigned int>(nChars);
  } else if (nCapacity == 0) {
    errno = EOVERFLOW;  // no room even for the terminator
    return 0;
  }

  const unsigned int nWidth = dwFlags & FORMAT_MESSAGE_MAX_WIDTH_MASK;
  MessageWriter writer(pOut, nCapacity, nWidth);
  InsertArguments args(pArgs, dwFlags & FORMAT_MESSAGE_ARGUMENT_ARRAY);
  const int nError =
      FormatSource(pszSource, writer, args, dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS, nWidth);
  writer.Terminate();
  const unsigned int nLength = writer.nLength();
  if (nError == 0) {
    if (bAllocate) {
      if (void* p = std::realloc(pOut, sizeof(wchar_t) * (size_t{nLength} + 1)))
        pOut = static_cast<wchar_t*>(p);
      *ppOut = pOut;
    }
    return nLength;
  }
  if (bAllocate) std::free(pOut);
  errno = nError;
  // A full caller's buffer keeps what fitted, terminated: nSize - 1
  // characters, or fewer when the next piece (a line break, an insert) did
  // not fit whole. The answer is what the buffer holds.
  if (nError == EOVERFLOW && !bAllocate) return nLength;
  return 0;
}
