// CVXBIN: the language's binary value, bytes in the same counted buffer as
// CXYString (core/counted_string.h); STManipAUB: a view over the buffer of one
// language value of type 16 (wide text), 19 (8-bit text) or 28 (binary).
//
// Ownership: as CXYString. Copies share the buffer (one reference each); a
// shared buffer is copied before it changes; the last holder frees it through
// the server's allocator. CVXBIN writes no terminator: its length is all.
// Operations that unshare start the new buffer with flags 0, except nConcat,
// whose private copy keeps the flags word; nConcat keeps flags bit 0 (the high
// marker), Tronque clears it.
//
// Threads: reference counts change only atomically; one object is used by one
// thread at a time.
//
// Results: 0, 108 (a length above 2147483391 bytes, or negative), 105 (a
// conversion gave nothing), or the allocator's code. On failure the value is
// left as it was, except where an operation says it replaces its content (the
// conversions), which empties it first.
#ifndef KQ230_CORE_BINARY_BUFFER_H_
#define KQ230_CORE_BINARY_BUFFER_H_

#include <cstdint>

#include "core/counted_string.h"

class CVXBIN {
 public:
  static constexpr unsigned short TypeVX = 28;

  CVXBIN() = default;
  // _nNew(n, p, n, 0); an allocation failure leaves the value empty.
  CVXBIN(const unsigned char* p, int n);
  CVXBIN(const CVXBIN& other);
  CVXBIN(CVXBIN&& other) noexcept : m_pData(other.m_pData) { other.m_pData = nullptr; }
  ~CVXBIN();
  CVXBIN& operator=(const CVXBIN& other);
  CVXBIN& operator=(CVXBIN&& other) noexcept;

  // --- Access ---------------------------------------------------------------
  // The bytes; null when empty.
  unsigned char* pbyGet() const { return m_pData; }
  // Length in bytes; 0 when empty.
  int nGetSize() const;
  unsigned int dwGetFlags() const;

  // --- Allocation and assignment -----------------------------------------------
  // n = 0: 0, nothing. n negative or above the limit: 108. A new buffer of n
  // bytes, length nCopy, the nCopy bytes of p copied when p is not null. On
  // failure the value is unchanged; a buffer it held is released on success.
  // REQUIRES: 0 <= nCopy <= n.
  int _nNew(int n, const unsigned char* p, int nCopy, unsigned int nFlags);
  // Releases the own buffer; n != 0 shares p's, then Tronque(n) (-1: whole).
  void Assign(const CVXBIN* p, int n);
  // The value becomes n bytes of p. n = 0 (or null p): emptied, 0. Negative or
  // above the limit: 108. An own buffer is reused (regrown with nFlags); a
  // shared one replaced. p may point into the own buffer.
  int nAssign(const unsigned char* p, int n, unsigned int nFlags);
  // For construction: n != 0 and p: _nNew(n, p, n, 0); else empty, 0.
  int nAssignInit(const unsigned char* p, int n);
  // Length n in an own buffer large enough; new bytes are undefined. n = 0
  // releases the buffer.
  int nSetSize(int n, unsigned int nFlags);
  // Capacity for n bytes; the length is kept. A shared buffer is made the
  // value's own first.
  int nSetMemorySize(int n, unsigned int nFlags);
  // Sets the length to n, nothing else. Nothing when n is negative, beyond the
  // capacity, or the buffer is shared or absent.
  void SetUtilSize(int n);
  // Copies n bytes of p to offset at; length = at + n. Nothing for null p, a
  // shared buffer, or bytes that would pass the capacity.
  void __FillDynBin(const unsigned char* p, int n, int at);
  // Releases the own buffer and takes p's, which p gives up (p is left empty):
  // the reference moves, it is not added.
  void Take(CVXBIN* p);

  // --- Changes -----------------------------------------------------------------
  // Keeps the first n bytes (n < 0, no buffer or length below n: nothing).
  // Shared: a private copy of the n bytes (flags 0); else flags bit 0 cleared.
  // Returns 0, or the allocator's code (value unchanged).
  int Tronque(int n);
  // Appends n bytes of p (n <= 0 or null p: 0). p may point into the value.
  int nConcat(const unsigned char* p, int n);
  // This (empty) = a + b. a empty: shares b. nFlags bit 0: takes a's buffer (a
  // is left empty when it was not shared, else the buffer is shared), then
  // appends b. Otherwise b empty: shares a; else a new buffer of both, flags bit
  // 0 taken from b. Null a or b count as empty.
  int nConcatInit(CVXBIN* a, const CVXBIN* b, unsigned int nFlags);
  // Appends pSep then pOther; pSep is left out when this already ends with it,
  // when this is empty and bSkipOnEmpty is set, or when pOther begins with it.
  // pOther given but empty: nothing at all. pOther null: only pSep (when due).
  int nConcatSeparateur(const CVXBIN* pSep, const CVXBIN* pOther, int bSkipOnEmpty);
  // This = b repeated n times (n <= 0 or empty b: empty).
  int nRepete(const CVXBIN& b, int n);
  // Replaces n bytes at at (n cut at the end; negative: to the end) by b's
  // bytes, when at lies inside the content; nothing otherwise. b may be this.
  int Remplace(int at, int n, const CVXBIN& b);

  // --- Reading -----------------------------------------------------------------
  // n bytes from at (-1 or beyond the end: to the end); empty when at < 0, at
  // beyond the length or n = 0.
  int nMilieu(CVXBIN* pOut, int at, int n) const;
  CVXBIN clMilieu(int at, int n) const;
  // First offset >= from of the n bytes of p; -1 when none, from < 0, n <= 0,
  // null p or an empty value.
  int nPos(const unsigned char* p, int n, int from) const;
  // -1, 0, 1: unsigned bytes; on an equal common part the longer is greater.
  // Null counts as empty.
  static int nCompare(const CVXBIN* a, const CVXBIN* b);
  // The same over at most n bytes of each.
  static int nCompare(const CVXBIN* a, const CVXBIN* b, int n);
  // An empty b always matches; a shorter a never does.
  static int bCommencePar(const CVXBIN* a, const CVXBIN* b);
  static int bTerminePar(const CVXBIN* a, const CVXBIN* b);
  static int bContient(const CVXBIN* a, const CVXBIN* b);

  // --- Conversions (the content is replaced: emptied first) ----------------------
  // The wide characters (4 bytes each) of n bytes of code-page text.
  int nAffecteToUNICODE(const char* p, int n, int cp, int nFlags);
  // The code-page bytes of n wide characters, with nExtra bytes of room beyond.
  int nAffecteToANSI(const wchar_t* p, int n, int cp, int nFlags, const char* pDefault,
                     int* pbUsedDefault, int nExtra);
  // The same from a binary value holding wide characters, keeping the high
  // marker. pWide may be this.
  int nAffecteToANSI(CVXBIN* pWide, int cp, int nFlags, const char* pDefault, int* pbUsedDefault);
  // Code page cpFrom to cpTo through a temporary wide string.
  int nAffecteANSIToANSI(const char* p, int n, int cpFrom, int cpTo);

 private:
  _stStrMemHeader* pHeader() const { return StrMemHeader(m_pData); }
  void Release();
  // Room for n bytes in a buffer of the value's own, the first nKeep bytes
  // kept (nKeep <= length). A shared buffer is copied (flags: its own when
  // bKeepFlags, else 0). On failure nothing changed.
  int nMakeOwn(int n, int nKeep, bool bKeepFlags, unsigned int nFlags);

  unsigned char* m_pData = nullptr;
};

static_assert(sizeof(CVXBIN) == sizeof(void*), "one pointer, read by the server");

// A view over one language value's counted buffer. It holds no reference.
// A type other than 16, 19 and 28 (and the wide-string kinds 148 and 149, read
// as 16) reads as length 0, and its pointer getters answer the static empty
// text.
struct STManipAUB {
  unsigned char* pData;  // as the value holds it; null when empty
  unsigned short nType;  // 16 wide text, 19 8-bit text, 28 binary
  uint32_t dwReserved;   // 0

  // Characters (bytes for 19 and 28); 0 for another type.
  int nGetLongueur() const;
  // Bytes of content; 0 for another type.
  unsigned int nGetTailleUtile() const;
  // The data (null without buffer) and, in n, its bytes.
  const unsigned char* pbyGetContenuUtile(unsigned int& n) const;
  // The data and, in n, its bytes with the terminator (4 for wide text, 1 for
  // 8-bit text, none for binary). Without buffer: null and 0.
  const unsigned char* pbyGetContenu(unsigned int& n) const;
  // The data, or the empty text of the width.
  const char* pszGetStringA() const;
  const wchar_t* pszGetStringW() const;
};

#endif  // KQ230_CORE_BINARY_BUFFER_H_
