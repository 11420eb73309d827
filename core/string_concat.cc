#include "core/string_concat.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <utility>

#include "core/codepage_conversion.h"
#include "core/integer_text.h"
#include "core/locale_compare.h"
#include "core/unicode.h"
#include "core/xmalloc.h"

namespace {

constexpr unsigned int kUtf8 = 65001;

// The most units whose buffer (one more for the terminator) has a byte count
// that fits the allocator's 32-bit request.
template <class T>
constexpr unsigned long long MaxUnits() {
  const unsigned long long nByBytes = UINT_MAX / sizeof(T) - 1;
  return nByBytes < kConcatMaxUnits ? nByBytes : kConcatMaxUnits;
}

template <class T>
const T* EmptyText() {
  static const T kEmpty[1] = {0};
  return kEmpty;
}

template <class T>
size_t TextLength(const T* p) {
  if constexpr (std::is_same_v<T, char>)
    return std::strlen(p);
  else
    return std::wcslen(p);
}

const char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

template <class T>
CXYStringConcat<T>::CXYStringConcat(unsigned int nGrowthStep)
    : m_nStep(nGrowthStep == 0 ? 1 : nGrowthStep) {}

template <class T>
CXYStringConcat<T>::~CXYStringConcat() {
  XMALLOC_Del_(m_pBuffer);
}

template <class T>
CXYStringConcat<T>::CXYStringConcat(CXYStringConcat&& other) noexcept
    : m_pBuffer(other.m_pBuffer),
      m_nLength(other.m_nLength),
      m_nCapacity(other.m_nCapacity),
      m_nStep(other.m_nStep),
      m_bEchec(other.m_bEchec) {
  other.m_pBuffer = nullptr;
  other.m_nLength = other.m_nCapacity = 0;
  other.m_bEchec = false;
}

template <class T>
CXYStringConcat<T>& CXYStringConcat<T>::operator=(CXYStringConcat&& other) noexcept {
  if (this != &other) {
    XMALLOC_Del_(m_pBuffer);
    m_pBuffer = std::exchange(other.m_pBuffer, nullptr);
    m_nLength = std::exchange(other.m_nLength, 0);
    m_nCapacity = std::exchange(other.m_nCapacity, 0);
    m_nStep = other.m_nStep;
    m_bEchec = std::exchange(other.m_bEchec, false);
  }
  return *this;
}

template <class T>
const T* CXYStringConcat<T>::pszGet() const {
  return m_pBuffer != nullptr ? m_pBuffer : EmptyText<T>();
}

template <class T>
void CXYStringConcat<T>::Tronque(unsigned int n) {
  if (m_pBuffer == nullptr || n >= m_nLength) return;
  m_nLength = n;
  m_pBuffer[n] = 0;
}

template <class T>
void CXYStringConcat<T>::Libere() {
  XMALLOC_Del_(m_pBuffer);
  m_pBuffer = nullptr;
  m_nLength = m_nCapacity = 0;
  m_bEchec = false;
}

template <class T>
int CXYStringConcat<T>::bReserve(unsigned long long n) {
  if (n <= m_nCapacity && m_pBuffer != nullptr) return 1;
  if (n > MaxUnits<T>()) {
    m_bEchec = true;
    return 0;
  }
  // The growth rule: whole steps, one more at an exact multiple.
  unsigned long long nMinimum = (n / m_nStep + 1) * m_nStep;
  // A large step must not push a length that fits beyond what fits.
  if (nMinimum > MaxUnits<T>()) nMinimum = MaxUnits<T>();
  // Beyond the first growths the capacity at least doubles (still a whole
  // number of steps): a text of a megabyte in steps of 1024 would otherwise
  // be copied a thousand times over. When the heap cannot give the double,
  // the minimum is asked for.
  unsigned long long nCapacity = (2ULL * m_nCapacity + m_nStep - 1) / m_nStep * m_nStep;
  if (nCapacity > MaxUnits<T>()) nCapacity = MaxUnits<T>();
  if (nCapacity < nMinimum) nCapacity = nMinimum;
  void* p = XMALLOC_pResize_(m_pBuffer, static_cast<unsigned int>((nCapacity + 1) * sizeof(T)));
  if (p == nullptr && nCapacity > nMinimum) {
    nCapacity = nMinimum;
    p = XMALLOC_pResize_(m_pBuffer, static_cast<unsigned int>((nCapacity + 1) * sizeof(T)));
  }
  if (p == nullptr) {  // the old buffer and its text stay
    m_bEchec = true;
    return 0;
  }
  const bool bFirst = m_pBuffer == nullptr;
  m_pBuffer = static_cast<T*>(p);
  m_nCapacity = static_cast<unsigned int>(nCapacity);
  if (bFirst) m_pBuffer[0] = 0;
  return 1;
}

template <class T>
int CXYStringConcat<T>::_bRoomFor(unsigned long long nMore) {
  return bReserve(static_cast<unsigned long long>(m_nLength) + nMore);
}

template <class T>
void CXYStringConcat<T>::_Append(const T* p, unsigned int n) {
  std::memcpy(m_pBuffer + m_nLength, p, n * sizeof(T));
  m_nLength += n;
  m_pBuffer[m_nLength] = 0;
}

template <class T>
void CXYStringConcat<T>::_SetLength(unsigned int n) {
  m_nLength = n;
  m_pBuffer[n] = 0;
}

template <class T>
int CXYStringConcat<T>::Add(const T* pszText, int n) {
  if (pszText == nullptr || n <= 0) return 1;
  if (!_bRoomFor(static_cast<unsigned int>(n))) return 0;
  _Append(pszText, static_cast<unsigned int>(n));
  return 1;
}

template <class T>
int CXYStringConcat<T>::Add(T c) {
  if (m_nLength < m_nCapacity) {  // the common case: no call to the growth
    m_pBuffer[m_nLength++] = c;
    m_pBuffer[m_nLength] = 0;
    return 1;
  }
  return Add(&c, 1);
}

template <class T>
int CXYStringConcat<T>::AddWide(const wchar_t* pszText, int n, unsigned int nCodePage) {
  if (pszText == nullptr || n <= 0) return 1;
  if constexpr (kWide) {
    (void)nCodePage;
    return Add(pszText, n);
  } else {
    if (nCodePage == kUtf8) return _AddWideAsUTF8(pszText, static_cast<unsigned int>(n));
    // Four bytes hold any character of UTF-8 and of the double-byte pages;
    // a stateful page (ISO-2022-JP) may need more for its shift sequences,
    // and then gets exactly what it asks for.
    unsigned long long nRoom = 4ULL * static_cast<unsigned int>(n);
    if (!_bRoomFor(nRoom)) return 0;
    const int nRoomInt = static_cast<int>(nRoom > INT_MAX ? INT_MAX : nRoom);
    int nWritten = WideCharToMultiByte(nCodePage, 0, pszText, n, m_pBuffer + m_nLength, nRoomInt,
                                       nullptr, nullptr);
    if (nWritten <= 0) {
      const int nNeeded = WideCharToMultiByte(nCodePage, 0, pszText, n, nullptr, 0, nullptr, nullptr);
      if (nNeeded <= nRoomInt) return 1;  // the conversion itself fails
      if (!_bRoomFor(static_cast<unsigned int>(nNeeded))) return 0;
      nWritten = WideCharToMultiByte(nCodePage, 0, pszText, n, m_pBuffer + m_nLength, nNeeded,
                                     nullptr, nullptr);
      if (nWritten <= 0) return 1;
    }
    _SetLength(m_nLength + static_cast<unsigned int>(nWritten));
    return 1;
  }
}

// UTF-8 written here rather than through WideCharToMultiByte: the SQL texts
// of a UTF-8 connection take this road for every append, and the call and its
// counting pass cost more than the encoding itself. A character UTF-8 cannot
// hold (a surrogate, a value above U+10FFFF) becomes "?", as there.
template <class T>
int CXYStringConcat<T>::_AddWideAsUTF8(const wchar_t* pszText, unsigned int n) {
  if constexpr (kWide) {
    return Add(pszText, static_cast<int>(n));
  } else {
    if (!_bRoomFor(4ULL * n)) return 0;
    auto* d = reinterpret_cast<unsigned char*>(m_pBuffer + m_nLength);
    for (unsigned int i = 0; i < n; ++i) {
      const auto c = static_cast<unsigned int>(pszText[i]);
      if (c < 0x80) {
        *d++ = static_cast<unsigned char>(c);
      } else if (c < 0x800) {
        *d++ = static_cast<unsigned char>(0xC0 | (c >> 6));
        *d++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
      } else if (c < 0x10000) {
        if (c >= 0xD800 && c <= 0xDFFF) {
          *d++ = '?';
          continue;
        }
        *d++ = static_cast<unsigned char>(0xE0 | (c >> 12));
        *d++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        *d++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
      } else if (c <= 0x10FFFF) {
        *d++ = static_cast<unsigned char>(0xF0 | (c >> 18));
        *d++ = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
        *d++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        *d++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
      } else {
        *d++ = '?';
      }
    }
    _SetLength(static_cast<unsigned int>(reinterpret_cast<char*>(d) - m_pBuffer));
    return 1;
  }
}

template <class T>
int CXYStringConcat<T>::AddAnsi(const char* pszText, int n, unsigned int nCodePage) {
  if (pszText == nullptr || n <= 0) return 1;
  if constexpr (kWide) {
    // One byte never gives more than one character, so n characters are room
    // enough (four times n would leave 16 bytes per byte of the text unused in
    // a builder that never shrinks); a converter that wants more is asked.
    if (!_bRoomFor(static_cast<unsigned int>(n))) return 0;
    int nWritten = MultiByteToWideChar(nCodePage, 0, pszText, n, m_pBuffer + m_nLength, n);
    if (nWritten <= 0) {
      const int nNeeded = MultiByteToWideChar(nCodePage, 0, pszText, n, nullptr, 0);
      if (nNeeded <= n) return 1;  // the conversion itself fails
      if (!_bRoomFor(static_cast<unsigned int>(nNeeded))) return 0;
      nWritten = MultiByteToWideChar(nCodePage, 0, pszText, n, m_pBuffer + m_nLength, nNeeded);
      if (nWritten <= 0) return 1;
    }
    _SetLength(m_nLength + static_cast<unsigned int>(nWritten));
    return 1;
  } else {
    (void)nCodePage;
    return Add(pszText, n);
  }
}

template <class T>
int CXYStringConcat<T>::AddAnsiToUTF8(const char* pszText, int n, unsigned int nCodePage) {
  if (pszText == nullptr || n <= 0) return 1;
  if constexpr (kWide) {
    return AddAnsi(pszText, n, nCodePage);
  } else {
    if (nCodePage == kUtf8) return Add(pszText, n);
    // A character of one to four bytes never takes more than four in UTF-8.
    const unsigned long long nRoom = 4ULL * static_cast<unsigned int>(n);
    if (!_bRoomFor(nRoom)) return 0;
    // The terminator's place counts as room: the converter writes one.
    const int nWritten = MultiByteToUTF8(nCodePage, pszText, static_cast<unsigned int>(n),
                                         m_pBuffer + m_nLength,
                                         static_cast<unsigned int>(nRoom) + 1, 0);
    if (nWritten > 0) _SetLength(m_nLength + static_cast<unsigned int>(nWritten));
    else m_pBuffer[m_nLength] = 0;
    return 1;
  }
}

template <class T>
int CXYStringConcat<T>::_nUTF8ToX(const char* pszUTF8, int n, T* pOut, int nRoom,
                                  unsigned int nCodePage) {
  if (pszUTF8 == nullptr || n <= 0 || pOut == nullptr || nRoom <= 0) return 0;
  if constexpr (kWide) {
    (void)nCodePage;
    return MultiByteToWideChar(kUtf8, 0, pszUTF8, n, pOut, nRoom);
  } else {
    // The converter terminates within the room it is given, so it is told of
    // one unit more than the characters it may write (the caller's buffer has
    // the terminator's place after them).
    const int nWritten = UTF8ToMultiByte(nCodePage, pszUTF8, static_cast<unsigned int>(n), pOut,
                                         static_cast<unsigned int>(nRoom) + 1, 0, nullptr, nullptr);
    return nWritten > nRoom ? 0 : nWritten;
  }
}

template <class T>
int CXYStringConcat<T>::AddUTF8(const char* pszUTF8, int n, unsigned int nCodePage) {
  if (pszUTF8 == nullptr || n <= 0) return 1;
  if constexpr (!kWide) {
    if (nCodePage == kUtf8) return Add(pszUTF8, n);
  }
  // n bytes of UTF-8 hold at most n characters; in another code page a
  // character may take more bytes than in UTF-8 (GB18030 writes U+0080 in
  // four), so on failure the converter is asked how much it needs.
  if (!_bRoomFor(static_cast<unsigned int>(n))) return 0;
  int nWritten = _nUTF8ToX(pszUTF8, n, m_pBuffer + m_nLength, n, nCodePage);
  if constexpr (!kWide) {
    if (nWritten <= 0) {
      const int nNeeded = UTF8ToMultiByte(nCodePage, pszUTF8, static_cast<unsigned int>(n), nullptr,
                                          0, 0, nullptr, nullptr);
      if (nNeeded > n && _bRoomFor(static_cast<unsigned int>(nNeeded)))
        nWritten = _nUTF8ToX(pszUTF8, n, m_pBuffer + m_nLength, nNeeded, nCodePage);
      else if (nNeeded > n)
        return 0;
    }
  }
  if (nWritten > 0) _SetLength(m_nLength + static_cast<unsigned int>(nWritten));
  else m_pBuffer[m_nLength] = 0;
  return 1;
}

// ---------------------------------------------------------------------------
// Numbers

template <class T>
int CXYStringConcat<T>::_AddPrefix0(T* pszDigits, int nWidth) {
  const int nLength = static_cast<int>(TextLength(pszDigits));
  if (nLength >= nWidth) return nLength;
  const int nPad = nWidth - nLength;
  std::memmove(pszDigits + nPad, pszDigits, (static_cast<size_t>(nLength) + 1) * sizeof(T));
  for (int i = 0; i < nPad; ++i) pszDigits[i] = '0';
  return nWidth;
}

template <class T>
int CXYStringConcat<T>::AddNumber(int nValue, int nWidth) {
  T szDigits[16];
  if constexpr (kWide)
    itow(nValue, szDigits, 10);
  else
    itoa(nValue, szDigits, 10);
  const int nLength = static_cast<int>(TextLength(szDigits));
  if (nWidth < 1 || nValue <= 0) return Add(szDigits, nLength);
  // Exactly width characters: the zeros are written straight into the
  // builder, so a wide width never overruns the small digit buffer.
  if (nLength >= nWidth) return Add(szDigits, nWidth);
  if (!_bRoomFor(static_cast<unsigned int>(nWidth))) return 0;
  for (int i = nLength; i < nWidth; ++i) m_pBuffer[m_nLength++] = '0';
  _Append(szDigits, static_cast<unsigned int>(nLength));
  return 1;
}

template <class T>
int CXYStringConcat<T>::AddNumber(long long nValue, int nWidth) {
  T szDigits[24];
  if constexpr (kWide)
    i64tow(nValue, szDigits, 10);
  else
    i64toa(nValue, szDigits, 10);
  const int nLength = static_cast<int>(TextLength(szDigits));
  if (nWidth < 1 || nValue <= 0 || nLength >= nWidth) return Add(szDigits, nLength);
  if (!_bRoomFor(static_cast<unsigned int>(nWidth))) return 0;
  for (int i = nLength; i < nWidth; ++i) m_pBuffer[m_nLength++] = '0';
  _Append(szDigits, static_cast<unsigned int>(nLength));
  return 1;
}

namespace {

template <class T>
int HexDigits(unsigned long long n, int nDigits, T* pOut) {
  for (int i = nDigits - 1; i >= 0; --i, n >>= 4) pOut[i] = static_cast<T>(kHexDigits[n & 0xF]);
  return nDigits;
}

}  // namespace

template <class T>
int CXYStringConcat<T>::AddNumberHexa(unsigned char n) {
  T sz[2];
  return Add(sz, HexDigits(n, 2, sz));
}

template <class T>
int CXYStringConcat<T>::AddNumberHexa(unsigned short n) {
  T sz[4];
  return Add(sz, HexDigits(n, 4, sz));
}

template <class T>
int CXYStringConcat<T>::AddNumberHexa(unsigned int n) {
  T sz[8];
  return Add(sz, HexDigits(n, 8, sz));
}

template <class T>
int CXYStringConcat<T>::AddNumberHexa(unsigned long long n) {
  T sz[16];
  return Add(sz, HexDigits(n, 16, sz));
}

template <class T>
int CXYStringConcat<T>::AddNumberBinary(unsigned char n, int bMostSignificantFirst) {
  T sz[8];
  for (int i = 0; i < 8; ++i) {
    const int nBit = bMostSignificantFirst ? 7 - i : i;
    sz[i] = ((n >> nBit) & 1) ? '1' : '0';
  }
  return Add(sz, 8);
}

// ---------------------------------------------------------------------------
// Reading

template <class T>
int CXYStringConcat<T>::bEstEgal(const T* pszText) const {
  if (m_nLength == 0) return pszText == nullptr || *pszText == 0;
  if (pszText == nullptr) return 0;
  if constexpr (kWide)
    return std::wcscmp(m_pBuffer, pszText) == 0;
  else
    return std::strcmp(m_pBuffer, pszText) == 0;
}

template <class T>
void CXYStringConcat<T>::Majuscule() {
  if (m_nLength != 0) STR_ToUpperBuff(m_pBuffer, m_nLength);
}

template <class T>
int CXYStringConcat<T>::nPos(const T* pszPattern, int nFrom) const {
  if (m_nLength == 0 || pszPattern == nullptr) return -1;
  if (nFrom < 0) nFrom = 0;
  if (static_cast<unsigned int>(nFrom) > m_nLength) return -1;
  const T* p;
  if constexpr (kWide)
    p = std::wcsstr(m_pBuffer + nFrom, pszPattern);
  else
    p = std::strstr(m_pBuffer + nFrom, pszPattern);
  return p == nullptr ? -1 : static_cast<int>(p - m_pBuffer);
}

template <class T>
int CXYStringConcat<T>::nPos(T c, int nFrom) const {
  if (m_nLength == 0) return -1;
  if (nFrom < 0) nFrom = 0;
  for (unsigned int i = static_cast<unsigned int>(nFrom); i < m_nLength; ++i)
    if (m_pBuffer[i] == c) return static_cast<int>(i);
  return -1;
}

template class CXYStringConcat<char>;
template class CXYStringConcat<wchar_t>;
