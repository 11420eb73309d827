// CTString: the framework's plain wide string, the text type of error
// messages, SQL fragments, names, keys and paths wherever a value is not handed
// to the application server. CTStringFormatMessage is a CTString built by
// formatting a message.
//
// Representation: one pointer to a system-heap buffer (malloc/realloc/free,
// not the framework's allocation entry points) of wide characters (4 bytes,
// one code point each) ending in a zero. A null pointer is the empty string.
// There is no cached length and no spare capacity: a text of n characters
// lives in exactly n + 1 characters, and every length is measured.
//
// Ownership: the string owns its buffer. SetBuffer adopts a malloc'ed buffer,
// Transfert moves one between strings, Vide and the destructor free it.
//
// Memory exhaustion: the operations report nothing (callers never test). A
// string whose buffer cannot be grown keeps its previous text; an operation
// that builds a new string by value answers an empty one. Sizes are computed
// so that they cannot wrap: a text too long for the address space is treated
// as an allocation failure.
//
// Positions are 0-based character indexes; -1 means "not found". Operations
// named b answer 1 or 0, n an int, cl a new string by value.
//
// REQUIRES (everywhere): arguments of the setting, appending and inserting
// operations do not point into the string's own buffer, except Set(text) with
// the buffer itself. Positions given to TronqueDebut, Insert, SetChar,
// cGetChar and the start index of searches lie within the text (they are
// clamped where that costs nothing).
//
// Threads: none of its own; one string is used by one thread at a time. The
// static empty text that pszGet returns for a null buffer is read-only.
#ifndef KQ230_CORE_WIDE_STRING_H_
#define KQ230_CORE_WIDE_STRING_H_

#include <cstdarg>

#include "core/zstring.h"  // eELLIPSISPOSITION

template <class T>
class CXYString;

class CTString {
 public:
  CTString() = default;
  CTString(const wchar_t* pszText);  // NOLINT: implicit by design
  CTString(const CTString& other);
  CTString(CTString&& other) noexcept;
  CTString(const wchar_t* pszText, int n);
  CTString(const wchar_t* pszA, const wchar_t* pszB, const wchar_t* pszC);
  // The 8-bit text read in code page 1252.
  CTString(const char* pszText);  // NOLINT: implicit by design
  ~CTString();

  CTString& operator=(const wchar_t* pszText);
  CTString& operator=(wchar_t* pszText);
  CTString& operator=(const CTString& other);
  CTString& operator=(CTString&& other) noexcept;
  CTString& operator=(wchar_t c);

  // ---- Access
  // Never null: a static "" when there is no buffer.
  const wchar_t* pszGet() const;
  int nTaille() const;
  // No bound check beyond the buffer's existence (0 when there is none).
  wchar_t cGetChar(int i) const;
  void SetChar(int i, wchar_t c);
  // Adopts p (from malloc); the old buffer is freed.
  void SetBuffer(wchar_t* p);
  // Empties this string and takes other's buffer; other becomes null.
  void Transfert(CTString& other);
  void Vide();

  // ---- Setting
  void SetUNICODE(const wchar_t* pszText);
  void Set(wchar_t c);
  void Set(const wchar_t* pszText);
  // At most n characters, fewer when text ends first.
  void Set(const wchar_t* pszText, unsigned int n);
  // Exactly n characters, zeros included, then a terminator.
  void SetFromBinary(const wchar_t* pszText, unsigned int n);
  // The concatenation; null texts count as empty.
  void Set(const wchar_t* pszA, const wchar_t* pszB, const wchar_t* pszC, const wchar_t* pszD);
  void Set(const CXYString<wchar_t>& str);
  void Set(const CXYString<wchar_t>* pstr);
  void SetI4(int n);
  void SetI8(long long n);
  // n == -1: strlen(text). The text is converted with MultiByteToWideChar.
  void SetANSIEx(const char* pszText, int n, unsigned int nCodePage);
  // text in its standard form (mapping 3: upper case, no accents).
  // REQUIRES: the locale service is bound.
  void SetStandard(const wchar_t* pszText);

  // ---- Appending and inserting
  void Add(wchar_t c);
  void Insert(wchar_t c);
  // n characters; a zero as the last of them is not counted.
  void Add(const wchar_t* pszText, int n);
  void Add(const wchar_t* pszText);
  void Add(const wchar_t* pszA, const wchar_t* pszB, const wchar_t* pszC);
  void Add(const CXYString<wchar_t>& str);
  void Add(const CXYString<wchar_t>* pstr);
  void AddI4(int n);
  void AddI8(long long n);
  // Formats as printf does (Windows wide convention) and appends.
  void AddPrintf(const wchar_t* pszFormat, ...);
  // n == -1 measures text; pos at or past the end appends.
  void Insert(const wchar_t* pszText, int n, int nPos);
  CTString operator+(const wchar_t* pszText) const;

  // ---- Editing in place
  void Tronque(int n);
  void TronqueDebut(int n);
  void Coupe(int nStart, int n);
  void Remplace(wchar_t cOld, wchar_t cNew, int nFrom = 0);
  void Renverse();
  // Pads with c (or cuts) to exactly n characters.
  void Complete(int n, wchar_t c);
  // Trailing U+0020 only.
  void SansEspace();
  void Trim();
  void Trim(wchar_t c);
  void LTrim(wchar_t c);
  void RTrim(wchar_t c);
  // REQUIRES (these four and SetStandard): the locale service is bound.
  void Majuscule();
  void Minuscule();
  void MapStringEx(unsigned int dwMapping);
  void SansAccent();
  void Insecable();
  // Replaces the n characters at start by text.
  void Remplace(int nStart, int n, const wchar_t* pszText);
  // Every occurrence of pattern at or after from.
  void Remplace(const wchar_t* pszPattern, const wchar_t* pszText, int nFrom = 0);
  // The same ignoring case (the locale service's upper-case mapping, for both
  // finding and counting). REQUIRES: the locale service is bound.
  void RemplaceI(const wchar_t* pszPattern, const wchar_t* pszText, int nFrom = 0);
  // text shortened to max characters with "..." at the given place.
  void Ellipse(const wchar_t* pszText, unsigned int nMax, eELLIPSISPOSITION eWhere);

  // ---- Searching (-1 when the string is empty or nothing is found)
  int nPos(const wchar_t* pszPattern, int nFrom = 0) const;
  int nPos(wchar_t c, int nFrom = 0) const;
  int nRPos(const wchar_t* pszPattern) const;
  int nRPos(wchar_t c) const;
  // Compares towupper of both sides.
  int nUpPos(const wchar_t* pszPattern, int nFrom = 0) const;
  int nPosParmi(const wchar_t* pszSet) const;
  int nNbOcc(const wchar_t* pszPattern) const;

  // ---- Comparing
  int bEstEgal(const wchar_t* pszText) const;
  // REQUIRES (the I forms): the locale service is bound.
  int bEstEgalI(const wchar_t* pszText) const;
  int bEstEgalI(const CTString& other) const;
  bool operator==(const CTString& other) const;
  bool operator!=(const CTString& other) const;
  int bCommencePar(const wchar_t* pszText) const;
  int bTerminePar(const wchar_t* pszText) const;
  int bCommenceParI(const wchar_t* pszText) const;
  int bTermineParI(const wchar_t* pszText) const;
  int bTerminePar(wchar_t c) const;

  // ---- Extracting
  CTString clMilieu(int nStart, int n) const;
  CTString clMilieu(int nStart) const;
  CTString clGauche(int n) const;
  CTString clDroite(int n) const;
  CTString clExclu(const wchar_t* pszSet) const;
  CTString clContientUniquement(const wchar_t* pszSet) const;
  // The unsigned 64-bit number (wrapping) read in base from clMilieu(start, n);
  // n == -1 reads to the end.
  long long nVal(int nBase, int nStart = 0, int n = -1) const;

  // ---- Fields cut at a separator (field 0 before the first separator)
  int bExtraitChainePos(unsigned int k, wchar_t cSep, const wchar_t** ppszStart, int* pn) const;
  int bExtraitChainePos(int k, const wchar_t* pszSep, const wchar_t** ppszStart, int* pn) const;
  int bExtraitChaine(unsigned int k, wchar_t cSep, CTString* pstrOut) const;
  int bExtraitChaine(int k, const wchar_t* pszSep, CTString* pstrOut) const;
  int bExtraitPosTailleChaine(int k, const wchar_t* pszSep, int* pnPos, int* pn) const;
  int bExtraitEtRemplaceChaine(int k, const wchar_t* pszSep, const wchar_t* pszText);
  // Token k as wcstok cuts the text (runs of delimiters make no empty tokens).
  int bExtraitChaineTok(int k, const wchar_t* pszDelimiters, CTString* pstrOut) const;

  // ---- Setting from the part of text before or after c (never including c).
  // See the table in the implementation for what each answers.
  const wchar_t* pszSetFinPremier(const wchar_t* pszText, wchar_t c);
  const wchar_t* pszSetFinPremierExistant(const wchar_t* pszText, wchar_t c);
  const wchar_t* pszSetFinDernier(const wchar_t* pszText, wchar_t c);
  const wchar_t* pszSetFinDernierExistant(const wchar_t* pszText, wchar_t c);
  const wchar_t* pszSetDebutPremier(const wchar_t* pszText, wchar_t c);
  const wchar_t* pszSetDebutPremierExistant(const wchar_t* pszText, wchar_t c);
  const wchar_t* pszSetDebutDernier(const wchar_t* pszText, wchar_t c);
  const wchar_t* pszSetDebutDernierExistant(const wchar_t* pszText, wchar_t c);

  // ---- Formatting (formats in the Windows wide convention: "%s" wide)
  // Answers the length written, or -1 when the text cannot be formatted (the
  // string is then unchanged).
  int FormatV(const wchar_t* pszFormat, va_list args);
  int printf(const wchar_t* pszFormat, ...);
  // Win32 insert syntax ("%1", "%2!d!"); the variable arguments are the
  // inserts. On failure the string is unchanged. Answer: the length, 0 on
  // failure.
  int FormatMessageWin(const wchar_t* pszFormat, ...);
  // printf-style through the emulation's FormatMessageW.
  int FormatMessageW(const wchar_t* pszFormat, ...);
  // A temporary file name from tempnam with the system's directory. When the
  // system gives none the string becomes empty.
  void FichierTemporaire(const wchar_t* pszPrefix);

 protected:
  // Resizes to hold n characters and a terminator (n + 1); the content up to
  // min(old length, n) is kept, the terminator is not written. False, the
  // string unchanged, when memory is refused.
  bool _SetBufferSize(unsigned int n);

 private:
  void __Remplace(const wchar_t* pszPattern, const wchar_t* pszText, int nFrom, bool bIgnoreCase);
  // Replaces the buffer by a new one of n characters holding the first n
  // characters of p (which may be the old buffer's own tail) and a terminator.
  bool _SetCopy(const wchar_t* p, unsigned int n);

  wchar_t* m_pszBuffer = nullptr;
};

// A CTString built by formatting a message with DLLRES_dwFormatMessage.
class CTStringFormatMessage : public CTString {
 public:
  explicit CTStringFormatMessage(const wchar_t* pszFormat, ...);
};

#endif  // KQ230_CORE_WIDE_STRING_H_
