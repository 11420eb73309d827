// CXYString<T>: the reference-counted string whose buffers the application
// server reads in place and frees through its own allocator.
//
// Layout: the object is one pointer to the first character of a buffer of the
// server's string allocator (IStrMemAlloc), or null, which is the empty
// string. The 16 bytes before the first character are the header
// (_stStrMemHeader, kq230/host_services.h): flags (bit 0: the text ends with
// the high marker of searches), reference count, capacity in bytes, length in
// bytes. After every change the text is terminated: one zero character for
// wide text, a 32-bit zero word at byte offset length for 8-bit text; the
// allocator keeps four zero bytes after the capacity, so the terminator fits.
// T is wchar_t (4 bytes, UTF-32) or char (a code page, or UTF-8).
//
// Ownership: copies share the buffer; every holder owns one reference. The
// holder whose release finds the count at 1 hands the buffer back through
// IStrMemAlloc::vReleaseStrMem. A shared buffer is never written: it is copied
// first (copy on write).
//
// Threads: reference counts change only by atomic read-modify-write on the
// header word, so copies of one buffer may live and die on different threads.
// One string object is used by one thread at a time.
//
// REQUIRES (everything that allocates or releases): the module entry has bound
// the server's allocator (CInformationModule::ms_piStrMemAlloc).
//
// Results: 0 success; 108 (kCountedTooLong) a length above 2147483391 units or
// a size whose byte count does not fit the allocator's 32-bit request; 105
// (kCountedNothingConverted) a conversion gave nothing for a non-empty source;
// 87 (kCountedBadArgument) an argument the operation refuses (RemplaceBinaire);
// any other non-zero value is the allocator's own failure code, passed on.
// Sizes are computed in 64 bits: a request that would wrap is 108, never a
// short buffer.
#ifndef KQ230_CORE_COUNTED_STRING_H_
#define KQ230_CORE_COUNTED_STRING_H_

#include <cstdarg>
#include <cstdint>
#include <type_traits>

#include "kq230/host_services.h"

// The most units (characters, or bytes of a binary value) a counted buffer
// holds.
inline constexpr int kCountedMaxUnits = 2147483391;  // 0x7FFFFEFF
inline constexpr int kCountedTooLong = 108;
inline constexpr int kCountedNothingConverted = 105;
// An argument the operation cannot work with (see the operation).
inline constexpr int kCountedBadArgument = 87;

// The high marker of searches: the last character of a text that is an upper
// bound, when flags bit 0 is set.
inline constexpr unsigned int kCountedFlagHighMarker = 0x1;
inline constexpr unsigned char kHighMarkerA = 0xFF;
inline constexpr wchar_t kHighMarkerW = static_cast<wchar_t>(0xFFFFFFFF);

// ---------------------------------------------------------------------------
// The buffer protocol, shared by CXYString, CVXBIN and the language values that
// hold a counted buffer pointer. pData is always the address of the first
// unit (the header lies before it).

// One more holder. REQUIRES: pData is a live counted buffer.
void CountedBuffer_AddRef(unsigned char* pData);
// One holder less; the holder that finds the count at 1 frees the buffer.
// Null does nothing.
void CountedBuffer_Release(unsigned char* pData);
// More than one holder (an atomic read of the count). Null: false.
bool CountedBuffer_bShared(const unsigned char* pData);
// A new buffer of nBytes (computed by the caller in 64 bits): 108 when it
// does not fit the allocator's request, else the allocator's code. *ppData is
// written only on success.
int CountedBuffer_nAllocate(unsigned char** ppData, uint64_t nBytes, unsigned int nFlags);
// Grows *ppData (not shared) to nBytes, keeping header and content: 108 when
// too large, else the allocator's code; the buffer is unchanged on failure.
int CountedBuffer_nReallocate(unsigned char** ppData, uint64_t nBytes, unsigned int nFlags);

// Which width a CXYString<T> holds. A namespace-scope constant rather than a
// class member, so that constraints name the same entity inside the class and
// in the out-of-line definitions (clang looks members up differently there).
template <typename T>
inline constexpr bool kIsWideUnit = std::is_same_v<T, wchar_t>;

template <typename T>
class CXYString {
  static_assert(std::is_same_v<T, char> || std::is_same_v<T, wchar_t>,
                "counted strings are 8-bit or wide");

 public:
  static constexpr bool kWide = std::is_same_v<T, wchar_t>;
  // The language's type code of the class: 16 wide, 19 8-bit.
  static constexpr unsigned short TypeVX = kWide ? 16 : 19;
  // What getters answer for a string without buffer.
  static constexpr T ChaineVide[1] = {};

  CXYString() = default;
  // Shares other's buffer.
  CXYString(const CXYString& other);
  CXYString(CXYString&& other) noexcept : m_pData(other.m_pData) { other.m_pData = nullptr; }
  // A copy of the terminated text p (null or "": empty). An allocation failure
  // leaves the string empty.
  explicit CXYString(const T* p);
  ~CXYString();

  // Shares other's buffer and releases the own one; self-assignment is safe.
  CXYString& operator=(const CXYString& other);
  CXYString& operator=(CXYString&& other) noexcept;

  // --- Access ---------------------------------------------------------------
  // The text; ChaineVide when there is no buffer. Never null.
  const T* pszGet() const { return m_pData != nullptr ? m_pData : ChaineVide; }
  // The buffer pointer as held (null when empty). Writing through it is
  // allowed only while the buffer is the string's own (after nSetLength).
  T* pGetData() const { return m_pData; }
  // Length in characters; 0 without buffer.
  int nGetLongueur() const;
  bool bEstVide() const { return nGetLongueur() == 0; }
  // The header's flags word; 0 without buffer.
  unsigned int dwGetFlags() const;
  // Makes the buffer the string's own (its content kept) and sets its flags
  // word. Without buffer nothing happens and the result is 0. Returns the
  // unsharing's code; on failure nothing changed.
  int nSetFlags(unsigned int dwFlags);

  // --- Core operations --------------------------------------------------------
  // n = 0: 0, nothing allocated. n < 0 or above the limit: 108. Otherwise a new
  // buffer with room for n characters (allocator flags nFlags); when p is not
  // null, nCopy characters of it are copied and the length set. Returns the
  // allocator's code; on failure the string is unchanged.
  // REQUIRES: 0 <= nCopy <= n when p is given. The string is normally empty; a
  // buffer it held is released after a successful allocation.
  int __nNew(int n, const T* p, int nCopy, unsigned int nFlags);
  // Drops the string's reference (freeing the buffer at the last one); the
  // string is then empty. Returns 0.
  int ReleaseDynStr();
  // Makes the buffer the string's own with room for n characters. Not shared:
  // 0 when the capacity suffices, else regrown (its failure leaves the buffer
  // as it was). Shared: a private copy of min(n, length) characters and the
  // old flags word, then the old reference is dropped; on failure the string
  // keeps the shared buffer and its text. n = 0 on a shared buffer drops the
  // reference and leaves the string empty. n < 0 or above the limit: 108.
  // REQUIRES: the string holds a buffer.
  int __nPrepareModification(int n, int nFlags);
  // Room for n characters in a buffer of the string's own; the length is not
  // changed. No buffer: __nNew(n, null, 0, 0).
  int nSetLength(int n);
  // Sets the length to n characters and terminates. No buffer: nothing.
  // n = 0 releases the buffer. Returns n; -1 (nothing changed) when n is
  // negative or beyond the capacity, or the buffer is shared.
  int SetUtilLength(int n);
  // Copies n characters of p to index at, sets the length to at + n and
  // terminates. Null p: nothing. Nothing either when the buffer is shared or
  // the characters would pass its capacity (callers size it first).
  void __FillDynStr(const T* p, int n, int at);
  // Appends n characters of p (n <= 0 or null p: 0, nothing). Copy on write; a
  // private copy keeps the old flags word, then flags bit 0 is cleared. 108 when
  // the result would pass the limit; on any failure the string is unchanged.
  // p may point into the string's own buffer.
  int nConcat(const T* p, int n);
  // nConcat of the terminated text p; null: 0.
  int Add(const T* p);

  // --- Multiple assignment (wide) --------------------------------------------
  // The lengths of count wide texts read from args (null counts as ""): each
  // stored in pnLengths (when not null), the sum returned (at most INT_MAX).
  int __nGetLongueurMultiple(int count, va_list args, int* pnLengths) const
    requires kIsWideUnit<T>;
  // The string becomes the concatenation of count wide texts read from args
  // (null counts as ""), made in one allocation. A total of 0 leaves the
  // string empty. On failure (108 or the allocator's code) the string is left
  // empty. A piece may point into the string's own buffer.
  int __nAffecteMultipleArgList(int count, va_list args)
    requires kIsWideUnit<T>;
  // The same over count const wchar_t* arguments.
  int __nAffecteMultiple(int count, ...)
    requires kIsWideUnit<T>;

  // --- Assignment ---------------------------------------------------------------
  // The string becomes n characters of p (n = -1: up to the terminator; n <= 0
  // or null p: the string is emptied, 0). 108 above the limit. A buffer of the
  // string's own is reused (regrown when too small, its flags word kept); a
  // shared one is replaced by a new one. On failure the string is unchanged.
  // p may point into the string's own buffer.
  int nAffecte(const char* p, int n)
    requires(!kIsWideUnit<T>);
  int nAffecteConversion(const wchar_t* p, int n)
    requires kIsWideUnit<T>;

  // --- Conversions into the string -------------------------------------------
  // Each releases the current buffer first: the string is empty when the
  // source is null or empty (result 0) and when the conversion fails. A
  // conversion that gives nothing for a non-empty source answers 105 and
  // leaves a buffer of length 0. Code page -1 is the server's current one.

  // 8-bit text of code page cp to wide; room for nExtra more characters.
  int __nConversion(const char* p, int n, int nExtra, int cp, int nFlags, const wchar_t* pDefault)
    requires kIsWideUnit<T>;
  // Wide text to code page cp (pDefault replaces what the code page lacks).
  int __nConversion(const wchar_t* p, int n, int nExtra, int cp, int nFlags, const char* pDefault)
    requires(!kIsWideUnit<T>);

  int nAffecteUTF8(const char* p, int n)
    requires kIsWideUnit<T>;
  int nAffecteUTF16(const unsigned short* p, int n)
    requires kIsWideUnit<T>;
  int nAffecteUTF32(const wchar_t* p, int n)
    requires kIsWideUnit<T>;

  // UTF-8 to code page cp (65001: a plain copy).
  int nAffecteUTF8(const char* p, int n, int cp, int nFlags, const char* pDefault,
                   int* pbUsedDefault)
    requires(!kIsWideUnit<T>);
  // Code page cp to UTF-8 (65001: a plain copy). A wide string holds no
  // UTF-8: there it does nothing and answers 0.
  int nAffecteToUTF8(const char* p, int n, int cp);
  // Wide to UTF-8; the last argument is not used. A wide string holds no
  // UTF-8: there it does nothing and answers 0.
  int nAffecteToUTF8(const wchar_t* p, int n, int cp);
  int nAffecteUTF16(const unsigned short* p, int n, int cp, int nFlags, const char* pDefault)
    requires(!kIsWideUnit<T>);
  int nAffecteUTF32(const wchar_t* p, int n, int cp, int nFlags, const char* pDefault)
    requires(!kIsWideUnit<T>);
  // The wide string s in code page cp, keeping its high marker: a marked text
  // whose last character is 0xFFFFFFFF becomes the conversion of the rest
  // followed by the byte 255, flags 1 (not for UTF-8, where the marker
  // converts like any other character).
  int nAffecteConversionExplicite(const CXYString<wchar_t>& s, int cp, int nFlags,
                                  const char* pDefault)
    requires(!kIsWideUnit<T>);

  // A new block (XMALLOC_pNew_, the caller frees it with XMALLOC_Del_) holding
  // the text in the other width, keeping the high marker. Empty text: null.
  // Returns 1, or 0 (and null) when the conversion or allocation fails.
  int bCreateY(char*& p, int cp) const
    requires kIsWideUnit<T>;
  int bCreateY(wchar_t*& p, int cp) const
    requires(!kIsWideUnit<T>);

  // True when the text begins with pszPrefix (case-sensitive); a null or
  // empty prefix is always true.
  bool bCommencePar(const wchar_t* pszPrefix) const
    requires kIsWideUnit<T>;

  // --- Replacement ------------------------------------------------------------
  // Replaces every occurrence of the nPatternLen units at pPattern, found at
  // or after index nFrom, by the nReplaceLen units at pReplace (0 units: the
  // matched units are dropped). The text is binary: a zero unit is content
  // like any other, in the text, the pattern and the replacement alike.
  // Occurrences are taken from left to right without overlapping, and what
  // was put in is never searched again (replacing "a" by "aa" ends). The
  // high marker is cleared when anything was replaced: the last unit it
  // stands for may be gone.
  // Results: 0, also when nothing matched, the string is empty or nFrom is
  // at or past its end (nothing changed); kCountedBadArgument (nothing
  // changed) for an empty or null pattern, which would match everywhere, a
  // negative length or start, or a null replacement of nonzero length; 108
  // when the result would pass the length limit, or the allocator's code:
  // the string is then unchanged. The pattern and the replacement may point
  // into the string's own buffer.
  int RemplaceBinaire(const T* pPattern, int nPatternLen, const T* pReplace, int nReplaceLen,
                      int nFrom = 0);

 private:
  unsigned char* pbyData() const { return reinterpret_cast<unsigned char*>(m_pData); }
  _stStrMemHeader* pHeader() const { return StrMemHeader(pbyData()); }
  // Length and terminator after the text of n characters was written.
  void SetLengthAndTerminate(unsigned int n);
  // Takes over a buffer already holding one reference for this string.
  void Adopt(T* pNew);

  T* m_pData = nullptr;
};

static_assert(sizeof(CXYString<wchar_t>) == sizeof(void*), "one pointer, read by the server");
static_assert(sizeof(CXYString<char>) == sizeof(void*), "one pointer, read by the server");

using CWString = CXYString<wchar_t>;
using CAString = CXYString<char>;

// ---------------------------------------------------------------------------
// Free converters: a new string by value, empty on failure. cp -1 is the
// server's current code page; n -1 means up to the terminator.

CXYString<wchar_t> PCASTR_To_CWString(const char* p, int cp, int n);
CXYString<wchar_t> UTF8_To_CWString(const char* p, int n);
CXYString<wchar_t> UTF8_To_CWString(const char* p);
CXYString<char> PCWSTR_To_CAString(const wchar_t* p, int cp, int n);
CXYString<char> PCWSTR_N_To_UTF8(const wchar_t* p, int n);
CXYString<char> PCWSTR_To_UTF8(const wchar_t* p);
CXYString<char> CWString_To_UTF8(const CXYString<wchar_t>& s);
// 65001: a plain copy; else UTF-8 -> wide -> cp.
CXYString<char> UTF8_To_CAString(const char* p, int n, int cp);
CXYString<char> UTF8_To_CAString(const char* p, int cp);
// 65001: a plain copy; else cp -> wide -> UTF-8.
CXYString<char> PCASTR_N_To_UTF8(const char* p, int n, int cp);
CXYString<char> PCASTR_To_UTF8(const char* p, int cp);
// 65001: shares s; else s -> wide (keeping the high marker) -> UTF-8.
CXYString<char> CAString_To_UTF8(const CXYString<char>& s, int cp);

// ---------------------------------------------------------------------------
// CNomStandardStatique: the static "standard name" whose two texts are both
// the empty wide text. Its one operation builds nothing.
// Threads: constant after load.
class CNomStandardStatique {
 public:
  constexpr CNomStandardStatique() : m_pszNom(L""), m_pszNomStandard(L"") {}
  // No virtual destructor: nothing is deleted through this type, and a trivial
  // destructor keeps the static instance out of the exit-handler list, which
  // the C library grows, and never shrinks, each time the driver is loaded
  // again.
  virtual void __vConstruitNomStandard() {}

  const wchar_t* pszNom() const { return m_pszNom; }
  const wchar_t* pszNomStandard() const { return m_pszNomStandard; }

  static CNomStandardStatique ChaineVide;

 private:
  const wchar_t* m_pszNom;
  const wchar_t* m_pszNomStandard;
};

#endif  // KQ230_CORE_COUNTED_STRING_H_
