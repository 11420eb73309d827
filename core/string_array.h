// CTStringArray: an ordered list of wide strings that owns its strings: lists
// of names, options and fields that are split from one text, searched, sorted
// and joined back.
//
// Ownership: each element is a CTString allocated with new by the array; every
// operation that removes an element destroys its string, and the destructor
// destroys them all before the storage goes. The operations of the untyped
// array that would copy or drop element pointers without their strings
// (Etend, _Duplique, the untyped Initialise and Supprime) are not offered; the
// pointer form of Initialise copies the string's text like the text form.
// Operations that take a const CTString* call their const wchar_t* twin
// through the virtual table, so a derived class that overrides the text form
// changes both.
//
// Threads: none of its own; an array is used by one thread at a time.
// Failures: an insertion the heap refuses leaves the array as it was (the
// new string is not kept) and answers 0; operations that cannot fail answer
// nothing. Positions given to Insere, SetAt, Supprime and operator[] must lie
// within the array (REQUIRES); the separator of Decoupe must not be "" (an
// empty one gives the whole text as one field).
// The case-blind operations (nRecherche with bCaseSensitive 0) ask the locale
// service: REQUIRES that it is bound.
#ifndef KQ230_CORE_STRING_ARRAY_H_
#define KQ230_CORE_STRING_ARRAY_H_

#include "core/growable_array.h"
#include "core/wide_string.h"

class CTStringArray : public CTTableau<CTString*> {
 public:
  // Element size one pointer, growth step 1, compaction slack 30.
  CTStringArray() : CTTableau<CTString*>(1, 30) {}
  ~CTStringArray() override;

  int nGetCount() const { return nGetNbElement(); }

  // n copies of s's text (null: empty strings) appended.
  int Initialise(CTString* const& s, int n) override;
  virtual int Ajoute(const CTString* s);
  // A new string copied from text (null gives an empty string).
  virtual int Ajoute(const wchar_t* pszText);
  // Copies every string of other, in order. other may be this array.
  virtual int Ajoute(const CTTableau<CTString*>& other);
  virtual int Insere(const CTString* s, int nPos);
  virtual int Insere(const wchar_t* pszText, int nPos);
  // Replaces the string at pos (destroyed) by a copy of text. REQUIRES:
  // 0 <= pos < count.
  virtual int SetAt(const CTString* s, int nPos);
  virtual int SetAt(const wchar_t* pszText, int nPos);
  virtual void Supprime(int nPos);
  // Destroys every string; the count becomes 0 and the storage stays.
  virtual void SupprimeTout();
  // No bound check (REQUIRES: 0 <= pos < count).
  virtual CTString* operator[](int nPos) const;
  // The first element at or after from equal to text (wcscmp when
  // bCaseSensitive, else CTString::bEstEgalI); null text means "". -1 when
  // from is not below the count or nothing matches.
  virtual int nRecherche(const wchar_t* pszText, int bCaseSensitive, int nFrom) const;
  // Sorts ascending by wcscmp, ascending by wcscasecmp, descending by
  // wcscmp. Not stable. (The names are spelled with three s.)
  virtual void TrieCroisssant();
  virtual void TrieCroisssantI();
  virtual void TrieDecroisssant();
  // Joins the elements into out, sep between consecutive ones (null or "":
  // none). No element: 1, out untouched. Answers 0, out untouched, when the
  // joined text cannot be had.
  virtual int bFusion(CTString* pOut, const wchar_t* pszSep) const;
  // Empties the array, then appends the fields of text cut at sep
  // (CTString::bExtraitChaine): «a,,b» gives three elements, a text without
  // buffer none, an allocated "" one empty element.
  virtual void Decoupe(const CTString& clText, const wchar_t* pszSep);
  virtual void Decoupe(const wchar_t* pszText, const wchar_t* pszSep);
  // n copies of text appended; existing elements stay.
  virtual int Initialise(const wchar_t* pszText, int n);
  // A new string made by CTString(text, n).
  virtual int vAjoute(const wchar_t* pszText, int n);
  // Destroys the last n strings. REQUIRES: 0 <= n <= count.
  virtual void SupprimeDernier(int n);

  // Appends a new string and moves s's buffer into it; s is left empty (on
  // failure s keeps its text).
  int AjouteRecupere(CTString* s);
  // Appends a string formatted as printf does (Windows wide convention); on a
  // format failure the appended string stays empty.
  int AjoutePrintf(const wchar_t* pszFormat, ...);
  // Appends a string formatted with FormatMessageW (insert syntax of the
  // framework's printf-style messages); empty when formatting fails.
  int AjouteFormatMessageWin(const wchar_t* pszFormat, ...);

  // Splits text at sep, sorts ascending ignoring case, joins with sep into out;
  // answers bFusion's result (1 and out unchanged for a text with no field).
  static int g_bTrieCroissantI(CTString* pOut, const wchar_t* pszText, const wchar_t* pszSep);

 private:
  // Appends (or inserts at pos, when pos >= 0) the string p; destroys it and
  // answers 0 when the storage cannot grow.
  int _Keep(CTString* p, int nPos);
  // The untyped and pointer-copying operations of the base, closed here.
  using CTTableau<CTString*>::Etend;
  using CTableauDeBuffer::_Duplique;
  using CTableauDeBuffer::SupprimeToutEtLibere;
  using CTableauDeBuffer::SupprimeCompacte;
  using CTableauDeBuffer::Recupere;
  int Initialise(const void* p, int n) override;
};

#endif  // KQ230_CORE_STRING_ARRAY_H_
