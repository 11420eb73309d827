// Code pages, character sets and languages.
//
// The application server describes the text encoding of its programs with
// Windows-style numbers: a character-set number (the charset of a font: 0,
// 128, 161, 204 ...), a code page (1252, 932, 65001 ...) and a language id
// (low 10 bits the primary language, next 6 bits the sub-language). These are
// the fixed tables between them, plus the product's own "nation" numbers, the
// process locale of a character set and the code-page information (STOCAW) of
// a conversion between 8-bit and wide text.
//
// Values outside the tables give the documented defaults (0, -1 or the type
// itself); nothing is reported.
//
// Threads: everything here is a pure function of its arguments, except
// ChangeLocale, which changes the process-wide locale (callers do it at start
// or under their own serialisation), PrepareConversion*, which read the
// server's current code page, and nLocaleVersNation, which borrows a buffer of
// the server's string allocator.
#ifndef KQ230_CORE_CODE_PAGES_H_
#define KQ230_CORE_CODE_PAGES_H_

// Code-page information of a conversion between 8-bit and wide text, handed by
// pointer to the conversions of the language values and to the server's
// conversion entry. The server reads the first field.
struct STOCAW {
  unsigned int nCodePage;
};

// Table 1: the code page of a character set; 0 for any other value.
//   0, 255 -> 1252; 128 -> 932; 129 -> 949; 130 -> 1361; 134 -> 936;
//   136 -> 950; 161 -> 1253; 162 -> 1254; 163 -> 1258; 177 -> 1255;
//   178 -> 1256; 186 -> 1257; 204 -> 1251; 222 -> 874; 238 -> 1250;
//   65001 -> 65001.
unsigned int dwGetCodePageFromCharset(int nCharset);

// Table 2: the character set of a code page; -1 for any other value
// (0 -> 127, the server's "no character set").
int nGetCharsetFromCodePage(int nCodePage);

// Table 3: the language id of a character set; 0 for other values (and for
// everything outside 128 to 238). Used by the charset mapping functions of
// core/locale_compare.h.
unsigned short wGetLanguageID(int nCharset);

// Table 4: the character set of a language id (primary = langid & 0x3FF,
// sub = (langid >> 10) & 0x3F); 0 for languages the table does not list.
int nGetCharsetFromLanguage(unsigned short wLangId);
int GetCharSetFromLanguageID(unsigned int nLangId);

// Table 5: the product's nation number of a primary language and
// sub-language; 0 for other languages.
int nLangueVersNation(int nPrimary, int nSub);

// Table 6: the nation number of a locale name such as L"fr_FR", decided by
// its first two-letter prefix in the table's order (case-sensitive). 0 for a
// null or empty name; -1 when no prefix matches. The name is held in a counted
// buffer of the server's string allocator while it is tested, and given back
// before returning; when that buffer cannot be had, no prefix matches (-1).
int nLocaleVersNation(const wchar_t* pszLocale);

// Sets the process locale (LC_ALL) for the character sets that need it:
// 161 "greek_greece", 162 "turkey_turkish", 204 "russian_russia", 177 and
// 178 the empty name, each followed by ".<code page>". Answers non-zero when
// setlocale accepted the name, else 0. A character set without a code page
// answers 0; any other character set leaves the locale alone and answers its
// code page.
// Threads: changes the process-wide locale.
int ChangeLocale(int nCharset);

// The locale name that ChangeLocale asks setlocale for, written into szName
// (terminated); answers szName, or null when ChangeLocale leaves the locale
// alone for this character set. Lets tests see the request without changing
// the process locale.
const char* ChangeLocale_pszLocaleName(int nCharset, char (&szName)[257]);

// Table 7: for a language type code of 8-bit text, sets info's code page and
// answers the type code of the wide text it converts to:
//   18 -> 19 when bDynamic, else 18 (code page unchanged);
//   110 -> 16 when bDynamic, else 110 (unchanged);
//   121 / 122 -> code page 1252, 16 / (16 when bDynamic, else 110);
//   126 / 127 -> code page 0, the same results;
//   130 / 131 -> the server's current code page, the same results;
//   any other type: itself, info unchanged.
// bMark non-zero sets 0x40 in nOptions for every type from 121 to 131.
unsigned int PrepareConversionAnsiUnicode(unsigned int nType, unsigned int& nOptions,
                                          STOCAW& stInfo, int bDynamic, int bMark);

// For the types 121, 122, 126, 127, 130 and 131: sets info's code page as in
// table 7 and answers 1. Any other type: 0, info untouched.
int PrepareConversionUnicodeAnsi(unsigned short nType, STOCAW& stInfo);

// The prefix test of CXYString<wchar_t>::bCommencePar (core/counted_string.h;
// its member delegates here). pData is a counted wide buffer (the
// pointer to its first character, the header of four words before it) or
// null, which has length 0. True when the text begins with pszPrefix,
// case-sensitively; a null or empty prefix is always true.
bool CountedWideBeginsWith(const wchar_t* pData, const wchar_t* pszPrefix);

// The product's interface languages.
enum _ELangueProduit {
  LANGUE_PRODUIT_FRANCAIS = 0,
  LANGUE_PRODUIT_ANGLAIS = 1,
  LANGUE_PRODUIT_CHINOIS = 2,
};

// Windows primary language 4 (Chinese) gives Chinese, 12 (French) French,
// every other value English.
_ELangueProduit LANG_To_ELangueProduit(unsigned int nPrimaryLanguage);
// French gives 12, English 9, Chinese 4, any other value 9.
unsigned int ELangueProduit_To_LANG(_ELangueProduit eLangue);

#endif  // KQ230_CORE_CODE_PAGES_H_
