// CXYStringConcat<T>: the framework's growable text buffer, for building long
// texts bit by bit (SQL statements above all, through CTStringConcatAW):
// text, 8-bit text in a code page, UTF-8, and numbers in decimal, hexadecimal
// and binary. T is wchar_t (wide text) or char (8-bit text); both behave alike
// unless a comment says otherwise.
//
// Representation: a buffer of capacity + 1 units from the framework's
// allocation entry points (XMALLOC_pNew_, XMALLOC_pResize_), the length in use
// and the growth step. The buffer is null until the first growth; whenever it
// exists, the unit at index length is zero. The builder never shrinks.
//
// Growth: when a length L passes the capacity, the capacity becomes
// (L / step + 1) x step (so step 1024 and L = 1024 give 2048), or, when that
// is more, twice the old capacity rounded up to whole steps: one
// reallocation either way, and a long text is copied a few times rather than
// once per step (a refused double falls back to the minimum). The owner
// picks the step: 1024 for SQL texts. Lengths are stored, never measured.
//
// Ownership: the builder owns its buffer and frees it in its destructor (or
// Libere). It is movable, not copyable.
//
// Failures: every appending operation answers 1, or 0 when the heap refuses
// the room or the text would pass kConcatMaxUnits; the builder then keeps its
// previous text and capacity unchanged (nothing is half-appended), and
// bEchec() stays true until Libere(). Callers that send the text somewhere
// check bEchec() first: a statement missing some of its text must never run.
// Conversions append what the converting function produced: nothing when it
// fails.
//
// Threads: none of its own; one builder belongs to one thread at a time.
//
// Performance (bench/sql_text_bench, i386 native): 1 MB of SQL appended in
// short appends with step 1024 takes 1.4 ms, against 1.6 ms for std::string
// with its geometric growth (figures in the benchmark's header).
#ifndef KQ230_CORE_STRING_CONCAT_H_
#define KQ230_CORE_STRING_CONCAT_H_

#include <type_traits>

// The most units a builder holds (the counted strings' limit, which also keeps
// every byte count within 32 bits for wide text: checked where the room is
// computed).
inline constexpr unsigned int kConcatMaxUnits = 0x7FFFFEFF;

template <class T>
class CXYStringConcat {
  static_assert(std::is_same_v<T, char> || std::is_same_v<T, wchar_t>,
                "builders hold 8-bit or wide text");

 public:
  static constexpr bool kWide = std::is_same_v<T, wchar_t>;

  // An empty builder without buffer. A step of 0 is taken as 1 (it would never
  // make room).
  explicit CXYStringConcat(unsigned int nGrowthStep = 1024);
  ~CXYStringConcat();
  CXYStringConcat(CXYStringConcat&& other) noexcept;
  CXYStringConcat& operator=(CXYStringConcat&& other) noexcept;
  CXYStringConcat(const CXYStringConcat&) = delete;
  CXYStringConcat& operator=(const CXYStringConcat&) = delete;

  // ---- State
  // The text; a static empty text when there is no buffer. Never null.
  const T* pszGet() const;
  // The buffer itself (null before the first growth). Writing through it is
  // allowed within the length.
  T* pGetBuffer() const { return m_pBuffer; }
  unsigned int nGetLength() const { return m_nLength; }
  unsigned int nGetCapacity() const { return m_nCapacity; }
  unsigned int nGetGrowthStep() const { return m_nStep; }
  bool bEstVide() const { return m_nLength == 0; }
  // True once an append was refused (see Failures above).
  bool bEchec() const { return m_bEchec; }
  // Marks the text as incomplete (a caller's conversion failed for want
  // of memory before it could append).
  void SetEchec() { m_bEchec = true; }

  // Cuts the text to n units (nothing when n is not below the length); the
  // buffer stays for reuse.
  void Tronque(unsigned int n);
  // Frees the buffer: length and capacity 0, failure flag cleared.
  void Libere();
  // Makes room for a text of n units (the growth rule). Answers 1, or 0 when
  // refused (nothing changed but the failure flag, which is then set).
  int bReserve(unsigned long long n);
  // Sets the length after the caller wrote units through pGetBuffer() within
  // the capacity, and terminates. REQUIRES: n <= capacity, buffer present.
  void _SetLength(unsigned int n);

  // ---- Appending (nothing, answer 1, when text is null or n is not positive)
  // n units copied as they are (zeros included).
  int Add(const T* pszText, int n);
  int Add(T c);
  // Wide text: into the wide builder as it is (codepage not used); into the
  // 8-bit builder converted with WideCharToMultiByte (characters the code page
  // lacks become "?").
  int AddWide(const wchar_t* pszText, int n, unsigned int nCodePage);
  // 8-bit text of a code page: into the wide builder converted with
  // MultiByteToWideChar; into the 8-bit builder as it is (codepage not used).
  int AddAnsi(const char* pszText, int n, unsigned int nCodePage);
  // 8-bit text of a code page: into the 8-bit builder as its UTF-8 form; into
  // the wide builder as AddAnsi.
  int AddAnsiToUTF8(const char* pszText, int n, unsigned int nCodePage);
  // Converts n bytes of UTF-8 into out, at most nRoom units: wide characters
  // for the wide builder; 8-bit text of nCodePage for the 8-bit one. Answers
  // the units written (0 when the conversion fails or does not fit).
  static int _nUTF8ToX(const char* pszUTF8, int n, T* pOut, int nRoom, unsigned int nCodePage);
  // n bytes of UTF-8 appended in the builder's width (the 8-bit builder in
  // nCodePage; 65001 copies).
  int AddUTF8(const char* pszUTF8, int n, unsigned int nCodePage);

  // ---- Numbers
  // The decimal text of value. With width above 0 and value above 0 the text
  // is padded on the left with '0' to width characters, and exactly width
  // characters are appended: a longer number is CUT to its first width digits
  // (12345 with width 3 gives "123"). Callers pass widths that hold their
  // values (dates, times); this cut is kept because texts of record layouts
  // rely on the fixed width. With width -1 (or any width below 1), or a value
  // of 0 or below, the whole text is appended unpadded ("0", "-12").
  int AddNumber(int nValue, int nWidth);
  // The same for 64-bit values, except that a longer number is never cut.
  int AddNumber(long long nValue, int nWidth);
  // Upper-case hexadecimal of fixed width: 2, 4, 8 and 16 digits.
  int AddNumberHexa(unsigned char n);
  int AddNumberHexa(unsigned short n);
  int AddNumberHexa(unsigned int n);
  int AddNumberHexa(unsigned long long n);
  // 8 characters '0' or '1', most significant bit first when the flag is set.
  int AddNumberBinary(unsigned char n, int bMostSignificantFirst);
  // Moves the terminated digit text right in its own buffer and fills the
  // freed places with '0' so that it is exactly width characters long; answers
  // the new length, or the text's length when it is not shorter than width.
  // REQUIRES: pszDigits has room for width + 1 characters.
  static int _AddPrefix0(T* pszDigits, int nWidth);

  // ---- Reading
  // An empty builder equals only "" (and null).
  int bEstEgal(const T* pszText) const;
  // Upper-cases the text in place through the locale service (STR_ToUpper).
  // REQUIRES: the locale service is bound.
  void Majuscule();
  // The first occurrence at or after from (a negative from is 0); -1 when
  // absent, when from is past the end, or when the builder is empty. An empty
  // pattern is found at from.
  int nPos(const T* pszPattern, int nFrom) const;
  int nPos(T c, int nFrom) const;

 private:
  // Room for n more units after the length; sets the failure flag when refused.
  int _bRoomFor(unsigned long long nMore);
  void _Append(const T* p, unsigned int n);  // REQUIRES: room for n more
  int _AddWideAsUTF8(const wchar_t* pszText, unsigned int n);

  T* m_pBuffer = nullptr;
  unsigned int m_nLength = 0;
  unsigned int m_nCapacity = 0;
  unsigned int m_nStep;
  bool m_bEchec = false;
};

extern template class CXYStringConcat<char>;
extern template class CXYStringConcat<wchar_t>;

#endif  // KQ230_CORE_STRING_CONCAT_H_
