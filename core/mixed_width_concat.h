// CTStringConcatAW: the builder of the SQL texts that the database client
// library receives either as 8-bit text in the connection's code page (UTF-8
// as a rule) or as wide text. The text is held in one primary form, chosen by
// the mode; the other form is a cache, built only when somebody asks for it
// and reused until the next change. Arguments may come in either width; they
// are converted into the primary form on entry, once.
//
// Mode -2: the text is held as wide characters. Any other mode: the text is
// held as 8-bit text in that code page (65001 is UTF-8; -1 the server's
// current one). The code page word is the code page of 8-bit arguments given
// without one and of the 8-bit form of a wide-mode text.
//
// Positions and lengths given to an operation count in units of the primary
// form: characters in wide mode, bytes in 8-bit mode.
// REQUIRES: in 8-bit mode, positions lie on character boundaries (a cut inside
// a multi-byte character leaves half of it).
//
// Ownership: the builder owns both forms (CXYStringConcat, step 1024).
// Threads: none; even the reading operations fill the cache, so one builder is
// used by one thread at a time.
// Failures: an append that cannot get memory leaves the text as it was and
// sets bEchec() (see core/string_concat.h); a conversion that produces
// nothing appends nothing. The texts returned by pszGetW/pszGetA are never
// null and live until the next change.
#ifndef KQ230_CORE_MIXED_WIDTH_CONCAT_H_
#define KQ230_CORE_MIXED_WIDTH_CONCAT_H_

#include "core/string_concat.h"

inline constexpr int kConcatModeWide = -2;

class CTStringConcatAW {
 public:
  explicit CTStringConcatAW(int nMode = -1, int nCodePage = -1);

  CTStringConcatAW(const CTStringConcatAW&) = delete;
  CTStringConcatAW& operator=(const CTStringConcatAW&) = delete;

  int nGetMode() const { return m_nMode; }
  int nGetCodePage() const { return m_nCodePage; }
  bool bWideMode() const { return m_nMode == kConcatModeWide; }
  // Sets mode and code page. A text already there is carried over into the
  // new primary form (through wide text).
  void SetMode(int nMode, int nCodePage);
  // True once an append or a conversion of the primary form was refused
  // memory: the text is incomplete.
  bool bEchec() const;
  // The length of the primary form, in its units.
  unsigned int nGetLength() const;
  bool bEstVide() const { return nGetLength() == 0; }
  // Empties the text; both buffers stay for reuse. The failure flag is cleared
  // only by Libere.
  void Vide();
  void Libere();

  // The primary forms themselves, for writers that append to them directly
  // (the SQL literal writer). A caller that changes one calls _Invalidate().
  CXYStringConcat<char>& _Ansi() { return m_clAnsi; }
  CXYStringConcat<wchar_t>& _Wide() { return m_clWide; }
  void _Invalidate();

  // ---- Reading
  // The wide text; built into the cache in 8-bit mode. Never null.
  const wchar_t* pszGetW();
  // The 8-bit text (in the code page word in wide mode). Never null.
  const char* pszGetA();
  // Wide character i (0 when i is outside the text).
  wchar_t cGetCharW(int i);
  // Byte i of the 8-bit form, as an unsigned value; 0 when i is outside it or
  // when the 8-bit form has not been built (wide mode before any pszGetA).
  int cGetCharA(int i);
  // Whether unit i of the primary form is ' '.
  bool bIsCharSpace(int i) const;
  // First occurrence at or after from, or -1.
  int nPos(wchar_t c, int nFrom) const;
  int nPos(char c, int nFrom) const;
  int nPos(const wchar_t* pszPattern, int nFrom) const;
  // pszPattern is 8-bit text in the code page word.
  int nPos(const char* pszPattern, int nFrom) const;

  // ---- Appending (nothing when the text is null or n is not positive)
  int Add(const wchar_t* pszText, int n, unsigned int nUnused = 0);
  // nCodePage (unsigned)-1: the code page word.
  int Add(const char* pszText, int n, unsigned int nCodePage);
  // Terminated texts.
  int Add(const wchar_t* pszText);
  int AddUTF8(const char* pszUTF8, int n);
  int AddNumber(int nValue, int nWidth);
  int AddNumber(long long nValue, int nWidth);
  int AddNumberHexa(unsigned char n);
  int AddNumberHexa(unsigned short n);
  int AddNumberHexa(unsigned int n);
  int AddNumberHexa(unsigned long long n);

  // ---- Changing
  // REQUIRES: the locale service is bound.
  void Majuscule();
  // Cuts the text at n units; n <= 0 empties it; nothing when n is not below
  // the length.
  void Tronque(int n);
  // Removes n units at start; when start + n passes the end the text is cut at
  // start (emptied when start <= 0). Nothing when start is past the end or n is
  // not positive; a negative start counts as 0.
  void Coupe(int nStart, int n);
  // Inserts n characters at pos; a pos outside the text (a negative one
  // included) appends.
  void Insert(const wchar_t* pszText, int n, int nPos);
  // The same with 8-bit text in the code page word.
  void Insert(const char* pszText, int n, int nPos);
  // Replaces n units at start by len units of text (n < 0: to the end).
  // Nothing when the builder is empty or start lies outside the text.
  void Remplace(int nStart, int n, const wchar_t* pszText, int nLen);
  void Remplace(int nStart, int n, const char* pszText, int nLen);
  // Replaces every occurrence of pattern at or after from (replacements are
  // not searched again).
  void Remplace(const wchar_t* pszPattern, int nPatternLen, const wchar_t* pszText, int nTextLen,
                int nFrom);
  void Remplace(const char* pszPattern, int nPatternLen, const char* pszText, int nTextLen,
                int nFrom);

 private:
  // The mode's code page and the code page word, with -1 read as the server's
  // current code page.
  unsigned int _nModePage() const;
  unsigned int _nWordPage() const;
  // Converts arguments into the primary form's width (into out, emptied
  // first). Answers false when memory was refused.
  bool _ToPrimary(const wchar_t* pszText, int n, CXYStringConcat<char>& out) const;
  bool _AnsiToPrimary(const char* pszText, int n, CXYStringConcat<char>& out) const;
  bool _AnsiToWide(const char* pszText, int n, CXYStringConcat<wchar_t>& out) const;
  template <class T>
  void _Replace(CXYStringConcat<T>& clText, int nStart, int n, const T* pszNew, unsigned int nNew);
  template <class T>
  void _ReplaceAll(CXYStringConcat<T>& clText, const T* pszPattern, unsigned int nPattern,
                   const T* pszNew, unsigned int nNew, int nFrom);
  template <class T>
  void _Insert(CXYStringConcat<T>& clText, const T* pszNew, unsigned int nNew, int nPos);

  int m_nMode;
  int m_nCodePage;
  CXYStringConcat<char> m_clAnsi{1024};
  CXYStringConcat<wchar_t> m_clWide{1024};
};

#endif  // KQ230_CORE_MIXED_WIDTH_CONCAT_H_
