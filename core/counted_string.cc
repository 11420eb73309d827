#include "core/counted_string.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <utility>

#include "core/char_conv.h"
#include "core/locale_compare.h"
#include "core/module_entry.h"
#include "core/unicode.h"
#include "core/xmalloc.h"
#include "core/code_pages.h"
#include "core/codepage_conversion.h"

namespace {

// The allocator takes a 32-bit byte count; a buffer must also leave room for
// one more wide character after it, so that "length + terminator" never wraps
// in any caller's arithmetic.
constexpr uint64_t kMaxRequestBytes = 0xFFFFFFFFull - sizeof(wchar_t);

IStrMemAlloc* Allocator() { return CInformationModule::ms_piStrMemAlloc; }

int ResolveCodePage(int nCodePage) {
  return nCodePage == -1 ? STR_nGetCurrentCodePage() : nCodePage;
}

size_t TextLength(const char* p) { return std::strlen(p); }
size_t TextLength(const wchar_t* p) { return std::wcslen(p); }

// The length an operation works on: n, or the text's own length for -1 (0 for
// a null text). Lengths of texts beyond the limit come back as they are, for
// the caller's limit check.
template <typename T>
int64_t ResolveLength(const T* p, int n) {
  if (n != -1) return n;
  return p == nullptr ? 0 : static_cast<int64_t>(TextLength(p));
}

// Whether p lies inside the block [pBegin, pBegin + nBytes). Compared as
// integers: the pointers may belong to unrelated objects.
bool bInside(const void* p, const void* pBegin, uint64_t nBytes) {
  const uintptr_t a = reinterpret_cast<uintptr_t>(p);
  const uintptr_t b = reinterpret_cast<uintptr_t>(pBegin);
  return pBegin != nullptr && a >= b && a - b < nBytes;
}

}  // namespace

// ---------------------------------------------------------------------------
// The buffer protocol

void CountedBuffer_AddRef(unsigned char* pData) {
  __atomic_fetch_add(&StrMemHeader(pData)->nRefCount, 1, __ATOMIC_RELAXED);
}

void CountedBuffer_Release(unsigned char* pData) {
  if (pData == nullptr) return;
  // Acquire-release: the holder that frees must see every write the others
  // made before they let go.
  if (__atomic_fetch_sub(&StrMemHeader(pData)->nRefCount, 1, __ATOMIC_ACQ_REL) == 1)
    Allocator()->vReleaseStrMem(pData);
}

bool CountedBuffer_bShared(const unsigned char* pData) {
  if (pData == nullptr) return false;
  const auto* pHeader =
      reinterpret_cast<const _stStrMemHeader*>(pData - sizeof(_stStrMemHeader));
  return __atomic_load_n(&pHeader->nRefCount, __ATOMIC_ACQUIRE) > 1;
}

int CountedBuffer_nAllocate(unsigned char** ppData, uint64_t nBytes, unsigned int nFlags) {
  if (nBytes > kMaxRequestBytes) return kCountedTooLong;
  unsigned char* pNew = nullptr;
  const int nResult = Allocator()->vnAllocStrMemEx(&pNew, static_cast<unsigned int>(nBytes), nFlags);
  if (nResult == 0) *ppData = pNew;
  return nResult;
}

int CountedBuffer_nReallocate(unsigned char** ppData, uint64_t nBytes, unsigned int nFlags) {
  if (nBytes > kMaxRequestBytes) return kCountedTooLong;
  unsigned char* pData = *ppData;
  const int nResult =
      Allocator()->vnReallocStrMemEx(&pData, static_cast<unsigned int>(nBytes), nFlags);
  if (nResult == 0) *ppData = pData;
  return nResult;
}

// ---------------------------------------------------------------------------
// Construction and access

template <typename T>
CXYString<T>::CXYString(const CXYString& other) : m_pData(other.m_pData) {
  if (m_pData != nullptr) CountedBuffer_AddRef(pbyData());
}

template <typename T>
CXYString<T>::CXYString(const T* p) {
  if (p == nullptr || p[0] == 0) return;
  const size_t n = TextLength(p);
  if (n <= static_cast<size_t>(kCountedMaxUnits)) __nNew(static_cast<int>(n), p, static_cast<int>(n), 0);
}

template <typename T>
CXYString<T>::~CXYString() {
  CountedBuffer_Release(pbyData());
}

template <typename T>
CXYString<T>& CXYString<T>::operator=(const CXYString& other) {
  if (m_pData != other.m_pData) {
    if (other.m_pData != nullptr) CountedBuffer_AddRef(other.pbyData());
    CountedBuffer_Release(pbyData());
    m_pData = other.m_pData;
  }
  return *this;
}

template <typename T>
CXYString<T>& CXYString<T>::operator=(CXYString&& other) noexcept {
  if (this != &other) {
    CountedBuffer_Release(pbyData());
    m_pData = other.m_pData;
    other.m_pData = nullptr;
  }
  return *this;
}

template <typename T>
int CXYString<T>::nGetLongueur() const {
  return m_pData == nullptr ? 0 : static_cast<int>(pHeader()->nLength / sizeof(T));
}

template <typename T>
unsigned int CXYString<T>::dwGetFlags() const {
  return m_pData == nullptr ? 0 : pHeader()->dwFlags;
}

template <typename T>
int CXYString<T>::nSetFlags(unsigned int dwFlags) {
  if (m_pData == nullptr) return 0;
  if (CountedBuffer_bShared(pbyData())) {
    const int nResult = __nPrepareModification(nGetLongueur(), 0);
    if (nResult != 0) return nResult;
    if (m_pData == nullptr) return 0;  // a shared buffer of length 0 was dropped
  }
  pHeader()->dwFlags = dwFlags;
  return 0;
}

template <typename T>
void CXYString<T>::SetLengthAndTerminate(unsigned int n) {
  pHeader()->nLength = n * sizeof(T);
  if constexpr (kWide) {
    m_pData[n] = 0;
  } else {
    // A 32-bit zero word, so that the text also reads as terminated wide text.
    std::memset(pbyData() + n, 0, 4);
  }
}

template <typename T>
void CXYString<T>::Adopt(T* pNew) {
  CountedBuffer_Release(pbyData());
  m_pData = pNew;
}

// ---------------------------------------------------------------------------
// Core operations

template <typename T>
int CXYString<T>::__nNew(int n, const T* p, int nCopy, unsigned int nFlags) {
  if (n == 0) return 0;
  if (n < 0 || n > kCountedMaxUnits) return kCountedTooLong;
  unsigned char* pNew = nullptr;
  const int nResult = CountedBuffer_nAllocate(&pNew, uint64_t(n) * sizeof(T), nFlags);
  if (nResult != 0) return nResult;
  T* pText = reinterpret_cast<T*>(pNew);
  unsigned int nLength = 0;
  if (p != nullptr && nCopy > 0) {
    nLength = static_cast<unsigned int>(nCopy < n ? nCopy : n);
    std::memcpy(pText, p, nLength * sizeof(T));
  }
  // p may lie in the buffer being replaced: it is released only after the copy.
  Adopt(pText);
  SetLengthAndTerminate(nLength);
  return 0;
}

template <typename T>
int CXYString<T>::ReleaseDynStr() {
  Adopt(nullptr);
  return 0;
}

template <typename T>
int CXYString<T>::__nPrepareModification(int n, int nFlags) {
  if (m_pData == nullptr) return __nNew(n, nullptr, 0, static_cast<unsigned int>(nFlags));
  if (n < 0 || n > kCountedMaxUnits) return kCountedTooLong;
  const uint64_t nBytes = uint64_t(n) * sizeof(T);
  if (!CountedBuffer_bShared(pbyData())) {
    if (nBytes <= pHeader()->nCapacity) return 0;
    unsigned char* pData = pbyData();
    const int nResult = CountedBuffer_nReallocate(&pData, nBytes, static_cast<unsigned int>(nFlags));
    if (nResult == 0) m_pData = reinterpret_cast<T*>(pData);
    return nResult;
  }
  if (n == 0) return ReleaseDynStr();  // nothing to keep and no room wanted
  unsigned char* pNew = nullptr;
  const int nResult = CountedBuffer_nAllocate(&pNew, nBytes, static_cast<unsigned int>(nFlags));
  // The shared buffer is let go only once its copy exists: a failure leaves
  // the string as it was.
  if (nResult != 0) return nResult;
  const int nLength = nGetLongueur();
  const unsigned int nKeep = static_cast<unsigned int>(n < nLength ? n : nLength);
  std::memcpy(pNew, m_pData, nKeep * sizeof(T));
  StrMemHeader(pNew)->dwFlags = pHeader()->dwFlags;
  Adopt(reinterpret_cast<T*>(pNew));
  SetLengthAndTerminate(nKeep);
  return 0;
}

template <typename T>
int CXYString<T>::nSetLength(int n) {
  if (m_pData == nullptr) return __nNew(n, nullptr, 0, 0);
  return __nPrepareModification(n, 0);
}

template <typename T>
int CXYString<T>::SetUtilLength(int n) {
  if (m_pData == nullptr) return n;
  if (n == 0) return ReleaseDynStr();
  if (n < 0 || uint64_t(n) * sizeof(T) > pHeader()->nCapacity || CountedBuffer_bShared(pbyData()))
    return -1;
  SetLengthAndTerminate(static_cast<unsigned int>(n));
  return n;
}

template <typename T>
void CXYString<T>::__FillDynStr(const T* p, int n, int at) {
  if (p == nullptr || m_pData == nullptr || n < 0 || at < 0) return;
  if ((uint64_t(at) + uint64_t(n)) * sizeof(T) > pHeader()->nCapacity) return;
  if (CountedBuffer_bShared(pbyData())) return;
  std::memmove(m_pData + at, p, size_t(n) * sizeof(T));
  SetLengthAndTerminate(static_cast<unsigned int>(at + n));
}

template <typename T>
int CXYString<T>::nConcat(const T* p, int n) {
  if (n <= 0 || p == nullptr) return 0;
  if (n > kCountedMaxUnits) return kCountedTooLong;
  if (m_pData == nullptr) return __nNew(n, p, n, 0);
  const unsigned int nLength = static_cast<unsigned int>(nGetLongueur());
  const uint64_t nTotal = uint64_t(nLength) + uint64_t(n);
  if (nTotal > uint64_t(kCountedMaxUnits)) return kCountedTooLong;
  const uint64_t nBytes = nTotal * sizeof(T);

  if (CountedBuffer_bShared(pbyData())) {
    unsigned char* pNew = nullptr;
    const int nResult = CountedBuffer_nAllocate(&pNew, nBytes, 0);
    if (nResult != 0) return nResult;  // the shared text stays ours
    T* pText = reinterpret_cast<T*>(pNew);
    std::memcpy(pText, m_pData, nLength * sizeof(T));
    // p may lie in the old buffer, which this string still holds.
    std::memcpy(pText + nLength, p, size_t(n) * sizeof(T));
    StrMemHeader(pNew)->dwFlags = pHeader()->dwFlags & ~kCountedFlagHighMarker;
    Adopt(pText);
    SetLengthAndTerminate(static_cast<unsigned int>(nTotal));
    return 0;
  }

  if (nBytes > pHeader()->nCapacity) {
    // Appending a piece of the string to itself: find the piece again after
    // the buffer moves.
    const bool bOwnText = bInside(p, m_pData, uint64_t(pHeader()->nCapacity) + 4);
    const uintptr_t nOffset = reinterpret_cast<uintptr_t>(p) - reinterpret_cast<uintptr_t>(m_pData);
    unsigned char* pData = pbyData();
    const int nResult = CountedBuffer_nReallocate(&pData, nBytes, 0);
    if (nResult != 0) return nResult;
    m_pData = reinterpret_cast<T*>(pData);
    if (bOwnText) p = reinterpret_cast<const T*>(pData + nOffset);
  }
  pHeader()->dwFlags &= ~kCountedFlagHighMarker;
  std::memmove(m_pData + nLength, p, size_t(n) * sizeof(T));
  SetLengthAndTerminate(static_cast<unsigned int>(nTotal));
  return 0;
}

template <typename T>
int CXYString<T>::Add(const T* p) {
  if (p == nullptr) return 0;
  const size_t n = TextLength(p);
  if (n > static_cast<size_t>(kCountedMaxUnits)) return kCountedTooLong;
  return nConcat(p, static_cast<int>(n));
}

// ---------------------------------------------------------------------------
// Assignment

namespace {

// The shared body of nAffecte (8-bit) and nAffecteConversion (wide), written
// against the public core operations.
template <typename T>
int AssignText(CXYString<T>& s, const T* p, int n) {
  const int64_t nLength = ResolveLength(p, n);
  if (nLength <= 0 || p == nullptr) return s.ReleaseDynStr();
  if (nLength > kCountedMaxUnits) return kCountedTooLong;
  const int nChars = static_cast<int>(nLength);
  T* pData = s.pGetData();
  if (pData == nullptr || CountedBuffer_bShared(reinterpret_cast<unsigned char*>(pData)))
    return s.__nNew(nChars, p, nChars, 0);  // the old buffer goes only on success

  // An own buffer is reused, its flags word kept. p may lie in it.
  const _stStrMemHeader* pHeader = StrMemHeader(reinterpret_cast<unsigned char*>(pData));
  const bool bOwnText = bInside(p, pData, uint64_t(pHeader->nCapacity) + 4);
  const uintptr_t nOffset = reinterpret_cast<uintptr_t>(p) - reinterpret_cast<uintptr_t>(pData);
  const int nResult = s.__nPrepareModification(nChars, 0);
  if (nResult != 0) return nResult;
  pData = s.pGetData();
  if (bOwnText) p = reinterpret_cast<const T*>(reinterpret_cast<unsigned char*>(pData) + nOffset);
  std::memmove(pData, p, size_t(nChars) * sizeof(T));
  return s.SetUtilLength(nChars) == nChars ? 0 : kCountedTooLong;
}

}  // namespace

template <typename T>
int CXYString<T>::nAffecte(const char* p, int n)
  requires (!kIsWideUnit<T>)
{
  if constexpr (!kIsWideUnit<T>) {
    return AssignText(*this, p, n);
  } else {
    __builtin_unreachable();  // excluded by the constraint
  }
}

template <typename T>
int CXYString<T>::nAffecteConversion(const wchar_t* p, int n)
  requires kIsWideUnit<T>
{
  if constexpr (kIsWideUnit<T>) {
    return AssignText(*this, p, n);
  } else {
    __builtin_unreachable();  // excluded by the constraint
  }
}

// ---------------------------------------------------------------------------
// Conversions into the string

namespace {

// Bytes of a buffer for nUnits units of T, nUnits computed in 64 bits; false
// when it passes the limit.
bool bUnitsFit(int64_t nUnits) { return nUnits >= 0 && nUnits <= kCountedMaxUnits; }

}  // namespace

template <typename T>
int CXYString<T>::__nConversion(const char* p, int n, int nExtra, int cp, int nFlags,
                                const wchar_t*)
  requires kIsWideUnit<T>
{
  if constexpr (kIsWideUnit<T>) {
    ReleaseDynStr();
    if (p == nullptr) return 0;
    const int64_t nLength = ResolveLength(p, n);
    if (nLength < 1) return 0;
    if (nLength > kCountedMaxUnits) return kCountedTooLong;
    const int nIn = static_cast<int>(nLength);
    const int64_t nMore = nExtra > 0 ? nExtra : 0;
    cp = ResolveCodePage(cp);

    // A short text (a fetched cell, most often) is decoded once into the
    // stack and copied, instead of being decoded once to count and once more
    // to write. No code page makes more characters than bytes.
    constexpr int kShortText = 256;
    wchar_t aShort[kShortText];
    const bool bShort = !(cp == 1252 && nFlags == 0) && nIn <= kShortText;

    int nChars;
    if (cp == 1252 && nFlags == 0) {
      nChars = nIn;  // one character a byte
    } else {
      nChars = MultiByteToWideChar(static_cast<unsigned int>(cp), static_cast<unsigned int>(nFlags),
                                   p, nIn, bShort ? aShort : nullptr, bShort ? kShortText : 0);
      if (nChars < 0) nChars = 0;
    }
    const int64_t nRoom = int64_t(nChars) + nMore + 1;
    if (!bUnitsFit(nRoom)) return kCountedTooLong;
    const int nResult = __nNew(static_cast<int>(nRoom), nullptr, 0, 0);
    if (nResult != 0) return nResult;

    int nDone = 0;
    if (cp == 1252 && nFlags == 0) {
      nDone = STR_CP1252ToWideChar(p, nIn, m_pData, nChars);
    } else if (bShort) {
      std::memcpy(m_pData, aShort, sizeof(wchar_t) * static_cast<size_t>(nChars));
      nDone = nChars;
    } else if (nChars > 0) {
      nDone = MultiByteToWideChar(static_cast<unsigned int>(cp), static_cast<unsigned int>(nFlags), p,
                                  nIn, m_pData, nChars);
    }
    if (nDone < 0) nDone = 0;
    SetLengthAndTerminate(static_cast<unsigned int>(nDone));
    return nDone == 0 ? kCountedNothingConverted : 0;
  } else {
    __builtin_unreachable();  // excluded by the constraint
  }
}

template <typename T>
int CXYString<T>::__nConversion(const wchar_t* p, int n, int nExtra, int cp, int nFlags,
                                const char* pDefault)
  requires (!kIsWideUnit<T>)
{
  if constexpr (!kIsWideUnit<T>) {
    ReleaseDynStr();
    if (p == nullptr) return 0;
    const int64_t nLength = ResolveLength(p, n);
    if (nLength < 1) return 0;
    if (nLength > kCountedMaxUnits) return kCountedTooLong;
    const int nIn = static_cast<int>(nLength);
    const int64_t nMore = nExtra > 0 ? nExtra : 0;
    const unsigned int nCodePage = static_cast<unsigned int>(ResolveCodePage(cp));

    int nBytes = WideCharToMultiByte(nCodePage, static_cast<unsigned int>(nFlags), p, nIn, nullptr, 0,
                                     pDefault, nullptr);
    if (nBytes < 0) nBytes = 0;
    const int64_t nRoom = int64_t(nBytes) + nMore + 1;
    if (!bUnitsFit(nRoom)) return kCountedTooLong;
    const int nResult = __nNew(static_cast<int>(nRoom), nullptr, 0, 0);
    if (nResult != 0) return nResult;

    int nDone = 0;
    if (nBytes > 0)
      nDone = WideCharToMultiByte(nCodePage, static_cast<unsigned int>(nFlags), p, nIn, m_pData,
                                  nBytes, pDefault, nullptr);
    if (nDone < 0) nDone = 0;
    SetLengthAndTerminate(static_cast<unsigned int>(nDone));
    return nDone == 0 ? kCountedNothingConverted : 0;
  } else {
    __builtin_unreachable();  // excluded by the constraint
  }
}

template <typename T>
int CXYString<T>::nAffecteUTF8(const char* p, int n)
  requires kIsWideUnit<T>
{
  if constexpr (kIsWideUnit<T>) {
    return __nConversion(p, n, 0, 65001, 0, nullptr);
  } else {
    __builtin_unreachable();  // excluded by the constraint
  }
}

template <typename T>
int CXYString<T>::nAffecteUTF16(const unsigned short* p, int n)
  requires kIsWideUnit<T>
{
  if constexpr (kIsWideUnit<T>) {
    ReleaseDynStr();
    if (p == nullptr) return 0;
    const int64_t nLength = n == -1 ? XALIGN_utf16len(p) : n;
    if (nLength < 1) return 0;
    if (!bUnitsFit(nLength + 1)) return kCountedTooLong;
    const int nIn = static_cast<int>(nLength);
    const int nResult = __nNew(nIn + 1, nullptr, 0, 0);
    if (nResult != 0) return nResult;
    int nDone = UTF16ToWideChar(p, nIn, m_pData, nIn);  // never more characters than units
    if (nDone < 0) nDone = 0;
    SetLengthAndTerminate(static_cast<unsigned int>(nDone));
    return nDone == 0 ? kCountedNothingConverted : 0;
  } else {
    __builtin_unreachable();  // excluded by the constraint
  }
}

template <typename T>
int CXYString<T>::nAffecteUTF32(const wchar_t* p, int n)
  requires kIsWideUnit<T>
{
  if constexpr (kIsWideUnit<T>) {
    ReleaseDynStr();
    if (p == nullptr) return 0;
    const int64_t nLength = ResolveLength(p, n);
    if (nLength < 1) return 0;
    if (!bUnitsFit(nLength + 1)) return kCountedTooLong;
    const int nIn = static_cast<int>(nLength);
    int nChars = UTF32ToWideChar(p, nIn, nullptr, 0);
    if (nChars < 0) nChars = 0;
    const int nResult = __nNew(nChars + 1, nullptr, 0, 0);
    if (nResult != 0) return nResult;
    int nDone = nChars > 0 ? UTF32ToWideChar(p, nIn, m_pData, nChars) : 0;
    if (nDone < 0) nDone = 0;
    SetLengthAndTerminate(static_cast<unsigned int>(nDone));
    return nDone == 0 ? kCountedNothingConverted : 0;
  } else {
    __builtin_unreachable();  // excluded by the constraint
  }
}

template <typename T>
int CXYString<T>::nAffecteUTF8(const char* p, int n, int cp, int nFlags, const char* pDefault,
                               int* pbUsedDefault)
  requires (!kIsWideUnit<T>)
{
  if constexpr (!kIsWideUnit<T>) {
    cp = ResolveCodePage(cp);
    if (cp == 65001) return nAffecte(p, n);
    ReleaseDynStr();
    if (p == nullptr) return 0;
    const int64_t nLength = ResolveLength(p, n);
    if (nLength < 1) return 0;
    if (nLength > kCountedMaxUnits) return kCountedTooLong;
    const unsigned int nIn = static_cast<unsigned int>(nLength);
    const unsigned int nCodePage = static_cast<unsigned int>(cp);
    // Asked first: a character can take more bytes in the code page than in
    // UTF-8 (GB18030 writes some two-byte UTF-8 characters in four).
    int nBytes = UTF8ToMultiByte(nCodePage, p, nIn, nullptr, 0, static_cast<unsigned int>(nFlags),
                                 pDefault, nullptr);
    if (nBytes < 0) nBytes = 0;
    if (!bUnitsFit(int64_t(nBytes) + 1)) return kCountedTooLong;
    const int nResult = __nNew(nBytes + 1, nullptr, 0, 0);
    if (nResult != 0) return nResult;
    int nDone = 0;
    if (nBytes > 0)
      nDone = UTF8ToMultiByte(nCodePage, p, nIn, m_pData, static_cast<unsigned int>(nBytes) + 1,
                              static_cast<unsigned int>(nFlags), pDefault, pbUsedDefault);
    if (nDone < 0) nDone = 0;
    if (nDone > nBytes) nDone = nBytes;
    SetLengthAndTerminate(static_cast<unsigned int>(nDone));
    return nDone == 0 ? kCountedNothingConverted : 0;
  } else {
    __builtin_unreachable();  // excluded by the constraint
  }
}

template <typename T>
int CXYString<T>::nAffecteToUTF8(const char* p, int n, int cp)
{
  if constexpr (!kIsWideUnit<T>) {
    cp = ResolveCodePage(cp);
    if (cp == 65001) return nAffecte(p, n);
    ReleaseDynStr();
    if (p == nullptr) return 0;
    const int64_t nLength = ResolveLength(p, n);
    if (nLength < 1) return 0;
    if (nLength > kCountedMaxUnits) return kCountedTooLong;
    // At most four UTF-8 bytes for each byte of the code page.
    const int64_t nRoom = 4 * nLength + 1;
    if (!bUnitsFit(nRoom)) return kCountedTooLong;
    const int nResult = __nNew(static_cast<int>(nRoom), nullptr, 0, 0);
    if (nResult != 0) return nResult;
    int nDone = MultiByteToUTF8(static_cast<unsigned int>(cp), p, static_cast<unsigned int>(nLength),
                                m_pData, static_cast<unsigned int>(nRoom), 0);
    if (nDone < 0) nDone = 0;
    if (nDone >= nRoom) nDone = static_cast<int>(nRoom - 1);
    SetLengthAndTerminate(static_cast<unsigned int>(nDone));
    return nDone == 0 ? kCountedNothingConverted : 0;
  } else {
    return 0;  // a wide string holds no UTF-8
  }
}

template <typename T>
int CXYString<T>::nAffecteToUTF8(const wchar_t* p, int n, int)
{
  if constexpr (!kIsWideUnit<T>) {
    return __nConversion(p, n, 0, 65001, 0, nullptr);
  } else {
    return 0;  // a wide string holds no UTF-8
  }
}

template <typename T>
int CXYString<T>::nAffecteUTF16(const unsigned short* p, int n, int cp, int nFlags,
                                const char* pDefault)
  requires (!kIsWideUnit<T>)
{
  if constexpr (!kIsWideUnit<T>) {
    ReleaseDynStr();
    if (p == nullptr) return 0;
    const int64_t nLength = n == -1 ? XALIGN_utf16len(p) : n;
    if (nLength < 1) return 0;
    if (nLength > kCountedMaxUnits) return kCountedTooLong;
    const int nIn = static_cast<int>(nLength);
    const unsigned int nCodePage = static_cast<unsigned int>(ResolveCodePage(cp));
    int nBytes = UTF16ToMultiByte(nCodePage, static_cast<unsigned int>(nFlags), p, nIn, nullptr, 0,
                                  pDefault, nullptr);
    if (nBytes < 0) nBytes = 0;
    if (!bUnitsFit(int64_t(nBytes) + 1)) return kCountedTooLong;
    const int nResult = __nNew(nBytes + 1, nullptr, 0, 0);
    if (nResult != 0) return nResult;
    int nDone = nBytes > 0 ? UTF16ToMultiByte(nCodePage, static_cast<unsigned int>(nFlags), p, nIn,
                                              m_pData, nBytes, pDefault, nullptr)
                           : 0;
    if (nDone < 0) nDone = 0;
    SetLengthAndTerminate(static_cast<unsigned int>(nDone));
    return nDone == 0 ? kCountedNothingConverted : 0;
  } else {
    __builtin_unreachable();  // excluded by the constraint
  }
}

template <typename T>
int CXYString<T>::nAffecteUTF32(const wchar_t* p, int n, int cp, int nFlags, const char* pDefault)
  requires (!kIsWideUnit<T>)
{
  if constexpr (!kIsWideUnit<T>) {
    return __nConversion(p, n, 0, cp, nFlags, pDefault);
  } else {
    __builtin_unreachable();  // excluded by the constraint
  }
}

template <typename T>
int CXYString<T>::nAffecteConversionExplicite(const CXYString<wchar_t>& s, int cp, int nFlags,
                                              const char* pDefault)
  requires (!kIsWideUnit<T>)
{
  if constexpr (!kIsWideUnit<T>) {
    cp = ResolveCodePage(cp);
    const int nLength = s.nGetLongueur();
    const wchar_t* pText = s.pszGet();
    const bool bMarked = (s.dwGetFlags() & kCountedFlagHighMarker) != 0 && nLength >= 1 &&
                         pText[nLength - 1] == kHighMarkerW && cp != 65001;
    if (!bMarked) return __nConversion(pText, nLength, 0, cp, nFlags, pDefault);

    if (nLength == 1) {
      ReleaseDynStr();
      const char cMarker = static_cast<char>(kHighMarkerA);
      const int nResult = __nNew(1, &cMarker, 1, 0);
      if (nResult == 0) pHeader()->dwFlags = kCountedFlagHighMarker;
      return nResult;
    }
    const int nResult = __nConversion(pText, nLength - 1, 1, cp, nFlags, pDefault);
    if (nResult != 0) return nResult;
    // __nConversion reserved the one more byte.
    const unsigned int nDone = static_cast<unsigned int>(nGetLongueur());
    m_pData[nDone] = static_cast<char>(kHighMarkerA);
    SetLengthAndTerminate(nDone + 1);
    pHeader()->dwFlags = kCountedFlagHighMarker;
    return 0;
  } else {
    __builtin_unreachable();  // excluded by the constraint
  }
}

template <typename T>
int CXYString<T>::bCreateY(char*& p, int cp) const
  requires kIsWideUnit<T>
{
  if constexpr (kIsWideUnit<T>) {
    p = nullptr;
    const int nLength = nGetLongueur();
    if (nLength == 0) return 1;
    cp = ResolveCodePage(cp);
    const bool bMarked = (dwGetFlags() & kCountedFlagHighMarker) != 0 &&
                         m_pData[nLength - 1] == kHighMarkerW && cp != 65001;
    const int nConvert = bMarked ? nLength - 1 : nLength;
    char* pOut = nullptr;
    int nOut = 0;
    if (nConvert > 0 && !STR_WCharToChar_AnyCodepage(m_pData, nConvert, &pOut, &nOut, cp)) return 0;
    if (bMarked) {
      auto* pGrown = static_cast<char*>(XMALLOC_pResize_(pOut, static_cast<unsigned int>(nOut) + 2));
      if (pGrown == nullptr) {
        XMALLOC_Del_(pOut);
        return 0;
      }
      pGrown[nOut] = static_cast<char>(kHighMarkerA);
      pGrown[nOut + 1] = '\0';
      pOut = pGrown;
    }
    p = pOut;
    return 1;
  } else {
    __builtin_unreachable();  // excluded by the constraint
  }
}

template <typename T>
int CXYString<T>::bCreateY(wchar_t*& p, int cp) const
  requires (!kIsWideUnit<T>)
{
  if constexpr (!kIsWideUnit<T>) {
    p = nullptr;
    const int nLength = nGetLongueur();
    if (nLength == 0) return 1;
    cp = ResolveCodePage(cp);
    const bool bMarked = (dwGetFlags() & kCountedFlagHighMarker) != 0 &&
                         static_cast<unsigned char>(m_pData[nLength - 1]) == kHighMarkerA &&
                         cp != 65001;
    const int nConvert = bMarked ? nLength - 1 : nLength;
    wchar_t* pOut = nullptr;
    int nOut = 0;
    if (nConvert > 0 &&
        !STR_CharToWChar_AnyCodepage(m_pData, nConvert, static_cast<unsigned int>(cp), &pOut, &nOut, 0))
      return 0;
    if (bMarked) {
      const uint64_t nBytes = (uint64_t(nOut) + 2) * sizeof(wchar_t);
      auto* pGrown = nBytes > 0xFFFFFFFFull
                         ? nullptr
                         : static_cast<wchar_t*>(XMALLOC_pResize_(pOut, static_cast<unsigned int>(nBytes)));
      if (pGrown == nullptr) {
        XMALLOC_Del_(pOut);
        return 0;
      }
      pGrown[nOut] = kHighMarkerW;
      pGrown[nOut + 1] = L'\0';
      pOut = pGrown;
    }
    p = pOut;
    return 1;
  } else {
    __builtin_unreachable();  // excluded by the constraint
  }
}

template <typename T>
bool CXYString<T>::bCommencePar(const wchar_t* pszPrefix) const
  requires kIsWideUnit<T>
{
  if constexpr (kIsWideUnit<T>) {
    return CountedWideBeginsWith(m_pData, pszPrefix);
  } else {
    __builtin_unreachable();  // excluded by the constraint
  }
}

// ---------------------------------------------------------------------------
// Replacement

template <typename T>
int CXYString<T>::RemplaceBinaire(const T* pPattern, int nPatternLen, const T* pReplace,
                                  int nReplaceLen, int nFrom) {
  // An empty pattern would match between every two units: refused rather
  // than looping or growing without end.
  if (pPattern == nullptr || nPatternLen <= 0 || nReplaceLen < 0 || nFrom < 0 ||
      (pReplace == nullptr && nReplaceLen > 0))
    return kCountedBadArgument;
  const int nLength = nGetLongueur();
  if (nFrom >= nLength || nPatternLen > nLength - nFrom) return 0;

  const T* pText = m_pData;
  const size_t nPatternBytes = size_t(nPatternLen) * sizeof(T);
  auto bMatchAt = [&](int i) {
    return std::memcmp(pText + i, pPattern, nPatternBytes) == 0;
  };
  // Counted first, so that the result is sized (and checked against the
  // limit) before anything is written.
  uint64_t nMatches = 0;
  for (int i = nFrom; i <= nLength - nPatternLen;) {
    if (bMatchAt(i)) {
      ++nMatches;
      i += nPatternLen;
    } else {
      ++i;
    }
  }
  if (nMatches == 0) return 0;
  const int64_t nNew = int64_t(nLength) +
                       int64_t(nMatches) * (int64_t(nReplaceLen) - int64_t(nPatternLen));
  if (nNew > int64_t(kCountedMaxUnits)) return kCountedTooLong;

  // Written into a new buffer: the pattern and the replacement may lie in
  // this one, which is let go only once the result exists.
  CXYString<T> result;
  if (nNew > 0) {
    const int nResult = result.__nNew(static_cast<int>(nNew), nullptr, 0, 0);
    if (nResult != 0) return nResult;
    result.SetUtilLength(static_cast<int>(nNew));
    T* pOut = result.m_pData;
    int nRun = 0;  // start of the text not yet copied
    for (int i = nFrom; i <= nLength - nPatternLen;) {
      if (!bMatchAt(i)) {
        ++i;
        continue;
      }
      std::memcpy(pOut, pText + nRun, size_t(i - nRun) * sizeof(T));
      pOut += i - nRun;
      if (nReplaceLen > 0) std::memcpy(pOut, pReplace, size_t(nReplaceLen) * sizeof(T));
      pOut += nReplaceLen;
      i += nPatternLen;
      nRun = i;
    }
    std::memcpy(pOut, pText + nRun, size_t(nLength - nRun) * sizeof(T));
    result.pHeader()->dwFlags = pHeader()->dwFlags & ~kCountedFlagHighMarker;
  }
  *this = std::move(result);
  return 0;
}

// ---------------------------------------------------------------------------
// Multiple assignment

namespace {

// The lengths of count wide texts (null counts as ""), the first nStore of
// them stored; their sum, which cannot wrap.
uint64_t SumLengths(int count, va_list args, int* pnLengths, int nStore) {
  va_list walk;
  va_copy(walk, args);
  uint64_t nSum = 0;
  for (int i = 0; i < count; ++i) {
    const wchar_t* p = va_arg(walk, const wchar_t*);
    const size_t n = p == nullptr ? 0 : std::wcslen(p);
    if (i < nStore) pnLengths[i] = n > size_t(INT_MAX) ? INT_MAX : static_cast<int>(n);
    nSum += n;
  }
  va_end(walk);
  return nSum;
}

}  // namespace

template <typename T>
int CXYString<T>::__nGetLongueurMultiple(int count, va_list args, int* pnLengths) const
  requires kIsWideUnit<T>
{
  if constexpr (kIsWideUnit<T>) {
    const uint64_t nSum = SumLengths(count, args, pnLengths, pnLengths == nullptr ? 0 : count);
    return nSum > uint64_t(INT_MAX) ? INT_MAX : static_cast<int>(nSum);
  } else {
    __builtin_unreachable();  // excluded by the constraint
  }
}

template <typename T>
int CXYString<T>::__nAffecteMultipleArgList(int count, va_list args)
  requires kIsWideUnit<T>
{
  if constexpr (kIsWideUnit<T>) {
    // The usual statement has a handful of pieces; past that, lengths are
    // measured again while copying rather than stored.
    constexpr int kStored = 32;
    int anLengths[kStored];
    const uint64_t nTotal = count > 0 ? SumLengths(count, args, anLengths, kStored) : 0;
    if (nTotal == 0) return ReleaseDynStr();
    if (nTotal > uint64_t(kCountedMaxUnits)) {
      ReleaseDynStr();
      return kCountedTooLong;
    }

    // A piece may be a part of this string: holding one more reference makes
    // the buffer shared, so the text goes to a new buffer and the pieces stay
    // readable until the copy is done.
    unsigned char* pKeep = nullptr;
    if (m_pData != nullptr) {
      const uint64_t nSpan = uint64_t(pHeader()->nCapacity) + 4;
      va_list walk;
      va_copy(walk, args);
      for (int i = 0; i < count && pKeep == nullptr; ++i)
        if (bInside(va_arg(walk, const wchar_t*), m_pData, nSpan)) pKeep = pbyData();
      va_end(walk);
      if (pKeep != nullptr) CountedBuffer_AddRef(pKeep);
    }

    const int nChars = static_cast<int>(nTotal);
    int nResult = m_pData != nullptr ? __nPrepareModification(nChars, 0) : __nNew(nChars, nullptr, 0, 0);
    if (nResult != 0) {
      ReleaseDynStr();
    } else {
      va_list walk;
      va_copy(walk, args);
      size_t nAt = 0;
      for (int i = 0; i < count; ++i) {
        const wchar_t* p = va_arg(walk, const wchar_t*);
        const size_t n = i < kStored ? size_t(anLengths[i]) : (p == nullptr ? 0 : std::wcslen(p));
        if (n > 0) std::memcpy(m_pData + nAt, p, n * sizeof(wchar_t));
        nAt += n;
      }
      va_end(walk);
      SetLengthAndTerminate(static_cast<unsigned int>(nTotal));
    }
    CountedBuffer_Release(pKeep);
    return nResult;
  } else {
    __builtin_unreachable();  // excluded by the constraint
  }
}

template <typename T>
int CXYString<T>::__nAffecteMultiple(int count, ...)
  requires kIsWideUnit<T>
{
  if constexpr (kIsWideUnit<T>) {
    va_list args;
    va_start(args, count);
    const int nResult = __nAffecteMultipleArgList(count, args);
    va_end(args);
    return nResult;
  } else {
    __builtin_unreachable();  // excluded by the constraint
  }
}

// Clang 14 instantiates constrained members on an explicit instantiation even
// when their constraint fails; the bodies of those members are therefore
// guarded with "if constexpr" on the same condition as well.
template class CXYString<char>;
template class CXYString<wchar_t>;

// ---------------------------------------------------------------------------
// Free converters

CXYString<wchar_t> PCASTR_To_CWString(const char* p, int cp, int n) {
  CXYString<wchar_t> s;
  if (s.__nConversion(p, n, 0, cp, 0, nullptr) != 0) s.ReleaseDynStr();
  return s;
}

CXYString<wchar_t> UTF8_To_CWString(const char* p, int n) {
  CXYString<wchar_t> s;
  if (s.nAffecteUTF8(p, n) != 0) s.ReleaseDynStr();
  return s;
}

CXYString<wchar_t> UTF8_To_CWString(const char* p) { return UTF8_To_CWString(p, -1); }

CXYString<char> PCWSTR_To_CAString(const wchar_t* p, int cp, int n) {
  CXYString<char> s;
  if (s.__nConversion(p, n, 0, cp, 0, nullptr) != 0) s.ReleaseDynStr();
  return s;
}

CXYString<char> PCWSTR_N_To_UTF8(const wchar_t* p, int n) { return PCWSTR_To_CAString(p, 65001, n); }

CXYString<char> PCWSTR_To_UTF8(const wchar_t* p) { return PCWSTR_To_CAString(p, 65001, -1); }

CXYString<char> CWString_To_UTF8(const CXYString<wchar_t>& s) {
  CXYString<char> out;
  if (out.nAffecteConversionExplicite(s, 65001, 0, nullptr) != 0) out.ReleaseDynStr();
  return out;
}

CXYString<char> UTF8_To_CAString(const char* p, int n, int cp) {
  CXYString<char> out;
  if (ResolveCodePage(cp) == 65001) {
    if (out.nAffecte(p, n) != 0) out.ReleaseDynStr();
    return out;
  }
  const CXYString<wchar_t> wide = UTF8_To_CWString(p, n);
  if (out.__nConversion(wide.pszGet(), wide.nGetLongueur(), 0, cp, 0, nullptr) != 0)
    out.ReleaseDynStr();
  return out;
}

CXYString<char> UTF8_To_CAString(const char* p, int cp) { return UTF8_To_CAString(p, -1, cp); }

CXYString<char> PCASTR_N_To_UTF8(const char* p, int n, int cp) {
  CXYString<char> out;
  if (ResolveCodePage(cp) == 65001) {
    if (out.nAffecte(p, n) != 0) out.ReleaseDynStr();
    return out;
  }
  const CXYString<wchar_t> wide = PCASTR_To_CWString(p, cp, n);
  if (out.__nConversion(wide.pszGet(), wide.nGetLongueur(), 0, 65001, 0, nullptr) != 0)
    out.ReleaseDynStr();
  return out;
}

CXYString<char> PCASTR_To_UTF8(const char* p, int cp) { return PCASTR_N_To_UTF8(p, -1, cp); }

CXYString<char> CAString_To_UTF8(const CXYString<char>& s, int cp) {
  cp = ResolveCodePage(cp);
  if (cp == 65001) return s;
  CXYString<char> out;
  const int nLength = s.nGetLongueur();
  if (nLength == 0) return out;
  // Through wide text, keeping the high marker on the way.
  const char* pText = s.pszGet();
  const bool bMarked = (s.dwGetFlags() & kCountedFlagHighMarker) != 0 &&
                       static_cast<unsigned char>(pText[nLength - 1]) == kHighMarkerA;
  CXYString<wchar_t> wide;
  const int nConvert = bMarked ? nLength - 1 : nLength;
  if (nConvert > 0 && wide.__nConversion(pText, nConvert, bMarked ? 1 : 0, cp, 0, nullptr) != 0)
    return out;
  if (bMarked) {
    const wchar_t cMarker = kHighMarkerW;
    if (wide.nConcat(&cMarker, 1) != 0 || wide.nSetFlags(kCountedFlagHighMarker) != 0) return out;
  }
  if (out.nAffecteConversionExplicite(wide, 65001, 0, nullptr) != 0) out.ReleaseDynStr();
  return out;
}

// ---------------------------------------------------------------------------

constinit CNomStandardStatique CNomStandardStatique::ChaineVide;
