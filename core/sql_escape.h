// Escaping of quotes, backslashes and LIKE wildcards in texts bound for SQL,
// and the undoing of such escaping in texts that come back from a server or a
// definition. Every function exists for 8-bit text (char) and wide text
// (wchar_t); the twins behave the same, character for character.
//
// The escape character e and the character q written before a quote are
// arguments, so the same code serves the dialect's backslash escaping, doubled
// quotes and a LIKE clause's own ESCAPE character.
//
// WHICH OUTPUT IS SAFE IN WHICH sql_mode. The server reads a backslash inside
// a quoted literal as an escape unless sql_mode holds NO_BACKSLASH_ESCAPES.
// Everything here writes for the default mode (backslash escapes on):
//   - Escape/pszEscape give a literal body that keeps the literal closed only
//     with o1 set and, when e is the backslash, o3 set too (else "\'" in the
//     text comes out as "\''" or "\\'", which closes the literal early); when e
//     is another character, o1 with q the quote and o2 set.
//   - pszVerrueEscapeMySQL always gives a body that keeps the literal closed
//     in the default mode: every quote inside is preceded by an odd run of
//     backslashes, and the body never ends in an odd run.
// Under NO_BACKSLASH_ESCAPES none of these bodies keeps its value, and a body
// holding "\'" ends the literal early. A literal that is right in both modes
// is written by core/sql_literal.h (quotes doubled, and a text holding a
// backslash or a NUL written as a hexadecimal literal): the connection's
// literal writer uses that one.
//
// Code pages (8-bit forms): the text is read as the server reads it in that
// code page (core/sql_char_splitter.h), so a second byte 0x5C of a double-byte
// character is never taken for a backslash. The code page argument defaults to
// -1, the server's current one. In ISO-2022-JP (50220) and EBCDIC (1047) the
// 8-bit forms refuse to work: the allocating ones answer null, Escape and
// ChangeEscape answer -1 with an empty dst, the in-place ones leave the text
// unchanged.
// Wide forms: a wide result later converted to a code page where another
// character becomes the byte 0x5C (glibc maps U+00A5 to 0x5C in 932 and EUC-JP,
// U+20A9 in 1361) gains a backslash the escaper never saw. Texts for such
// code pages are escaped in their 8-bit form, or through core/sql_literal.h,
// which converts before it escapes.
//
// Ownership: the psz functions answer a new block from XMALLOC_pNew_ that the
// caller frees with XMALLOC_Del_; null when memory is refused (nothing is then
// left allocated).
// Threads: pure functions of their arguments (and, for code page -1, the
// locale service's current code page).
#ifndef KQ230_CORE_SQL_ESCAPE_H_
#define KQ230_CORE_SQL_ESCAPE_H_

// Writes src escaped into dst; the tests are made in this order:
//   1. "'": with o1 written as q "'", else "'".
//   2. e "%": with o6 as (e if o3) e (e if o4) "%"; without o6 as e "%".
//   3. e "_": with o7 as (e if o3) e (e if o5) "_"; without o7 as e "_".
//   4. e e: with o8 and o3 as four e; otherwise as e e.
//   5. e before anything else (the terminator included): with o3 e e, else e;
//      only e is consumed.
//   6. "\" (when e is not the backslash): with o2 two backslashes, else one.
//   7. "%": with o4 e "%", else "%".   8. "_": with o5 e "_", else "_".
//   9. anything else is copied.
// So o1 escapes quotes, o2 doubles backslashes, o3 escapes the escape
// character, o4 and o5 escape the wildcards, and o6, o7, o8 keep an escaped
// "%", "_" or escape character of src an escaped literal.
// In the 8-bit forms a lead byte of a double-byte code page that lacks its
// second byte is written "\" and the byte, which the server reads as that byte
// alone: written bare, a backslash put after it would complete it into one
// character and free the quote it was to escape.
// Answers the length written (terminator excluded), or -1 (dst "") for a code
// page the 8-bit form refuses.
// REQUIRES: dst holds 2 x strlen(src) + 1 units; src not null.
int Escape(const char* pszSrc, char* pszDst, int o1, int o2, int o3, int o4, int o5, int o6,
           int o7, int o8, char q, char e, int nCodePage = -1);
int Escape(const wchar_t* pszSrc, wchar_t* pszDst, int o1, int o2, int o3, int o4, int o5,
           int o6, int o7, int o8, wchar_t q, wchar_t e);

// The same into a new block of the exact size.
char* pszEscape(const char* pszSrc, int o1, int o2, int o3, int o4, int o5, int o6, int o7,
                int o8, char q, char e, int nCodePage = -1);
wchar_t* pszEscape(const wchar_t* pszSrc, int o1, int o2, int o3, int o4, int o5, int o6, int o7,
                   int o8, wchar_t q, wchar_t e);

// In place: an e followed by e, "_" or "%" is removed (the following
// character stays and is not examined again).
void PurgeEscape(char* psz, char e, int nCodePage = -1);
void PurgeEscape(wchar_t* psz, wchar_t e);
// In place: of each pair e e, one e is removed.
void PurgeEscapeEscape(char* psz, char e, int nCodePage = -1);
void PurgeEscapeEscape(wchar_t* psz, wchar_t e);
// In place: each pair of double quotes becomes one (pairs counted from the
// end of each run: five quotes give three).
void PurgeDoubleQuote(char* psz, int nCodePage = -1);
void PurgeDoubleQuote(wchar_t* psz);
// In place: scanning from the end, each pair of single quotes becomes one, and
// with bBackslash a backslash followed by a quote becomes the quote; after
// each collapse the same quote is examined again, so a quote absorbs every
// quote (and, with bBackslash, every backslash) directly before it: «\\'»
// and «'''» give «'». What remains therefore never holds «''», nor, with
// bBackslash, a backslash directly before a quote.
void PurgeQuote(char* psz, int bBackslash, int nCodePage = -1);
void PurgeQuote(wchar_t* psz, int bBackslash);
// In place: first each pair of backslashes becomes one (scanning forwards),
// then PurgeQuote(s, 1).
void PurgeEscapeBackSlash(char* psz, int nCodePage = -1);
void PurgeEscapeBackSlash(wchar_t* psz);

// Writes src into dst with its escape sequences rewritten: e "%" becomes
// pctBefore pct pctAfter; e "_" becomes undBefore und undAfter; e e one e; an e
// before any other character is copied and that character handled on its own;
// everything else is copied. Null replacement texts count as "". Its output
// is a pattern for another dialect, not a literal body: nothing in it is
// escaped for a quoted literal. Answers the length written, or -1 (dst "")
// for a refused code page.
// REQUIRES: dst holds nChangeEscapeLength(...) + 1 units.
int ChangeEscape(const char* pszSrc, char* pszDst, const char* pszPct, const char* pszPctBefore,
                 const char* pszPctAfter, const char* pszUnd, const char* pszUndBefore,
                 const char* pszUndAfter, char e, int nCodePage = -1);
int ChangeEscape(const wchar_t* pszSrc, wchar_t* pszDst, const wchar_t* pszPct,
                 const wchar_t* pszPctBefore, const wchar_t* pszPctAfter, const wchar_t* pszUnd,
                 const wchar_t* pszUndBefore, const wchar_t* pszUndAfter, wchar_t e);
// The length ChangeEscape writes (terminator excluded); -1 for a refused code
// page or a length beyond an int.
int nChangeEscapeLength(const char* pszSrc, const char* pszPct, const char* pszPctBefore,
                        const char* pszPctAfter, const char* pszUnd, const char* pszUndBefore,
                        const char* pszUndAfter, char e, int nCodePage = -1);
int nChangeEscapeLength(const wchar_t* pszSrc, const wchar_t* pszPct, const wchar_t* pszPctBefore,
                        const wchar_t* pszPctAfter, const wchar_t* pszUnd,
                        const wchar_t* pszUndBefore, const wchar_t* pszUndAfter, wchar_t e);
// The same into a new block of the exact size.
char* pszChangeEscape(const char* pszSrc, const char* pszPct, const char* pszPctBefore,
                      const char* pszPctAfter, const char* pszUnd, const char* pszUndBefore,
                      const char* pszUndAfter, char e, int nCodePage = -1);
wchar_t* pszChangeEscape(const wchar_t* pszSrc, const wchar_t* pszPct, const wchar_t* pszPctBefore,
                         const wchar_t* pszPctAfter, const wchar_t* pszUnd,
                         const wchar_t* pszUndBefore, const wchar_t* pszUndAfter, wchar_t e);

// The body of a quoted literal of the dialect for src, for the default
// sql_mode (see above):
//   1. quote escaping already in src is removed: PurgeQuote(copy, 1);
//   2. every quote becomes "\'" (pszEscape with o1, q and e the backslash);
//   3. left to right, each e followed by "%", "_", e or (when e is the
//      backslash) a quote is left alone with its partner; any other e, one at
//      the very end included, is doubled. When e is not the backslash, the
//      backslashes get the same treatment besides, so that no lone backslash
//      can escape a quote.
// So a pair "\\" of src stays one escaped backslash, "\%" and "\_" stay
// escaped wildcards, and a lone backslash becomes a literal one: «O'Hara\n»
// gives «O\'Hara\\n». A lead byte without its second byte is written as
// Escape writes it. For the 8-bit form e is read in code page 1252. Answers
// null when memory is refused, when e is a quote, a double quote, NUL or has
// no 1252 byte, and for a refused code page.
char* pszVerrueEscapeMySQL(const char* pszSrc, wchar_t e, int nCodePage = -1);
wchar_t* pszVerrueEscapeMySQL(const wchar_t* pszSrc, wchar_t e);

#endif  // KQ230_CORE_SQL_ESCAPE_H_
