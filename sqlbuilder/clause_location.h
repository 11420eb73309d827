// CNAClauseLocation: scanning of SQL text that the driver did not write itself
// (a query the server's parser analysed, or a command's own statement text):
// clause keywords found as whole words outside literals, quoted names and
// comments; the shapes of a few statements (a SET statement, a SELECT that
// limits its rows); and the row-limit rewriting between a LIMIT clause at the
// end and TOP after SELECT. The command (sqlbuilder/command.h) runs these on
// its texts; they need no command, so callers that hold only a text (the
// parsed-query digest, the statements) use them directly.
//
// Text is wide; positions are character indexes from 0. A connection, where
// one is asked for, gives the quotes of its quoted names; none means no quoted
// names of that kind (double-quoted texts are skipped either way: a string in
// the default SQL mode, a name under ANSI_QUOTES).
//
// Row limits are written in 64 bits and placed where the server reads them:
// before a trailing ";", before a locking clause (FOR UPDATE, FOR SHARE,
// LOCK IN SHARE MODE), and never inside a trailing comment, where a LIMIT
// would be ignored and every row returned.
//
// Ownership: nothing is kept; results go into the caller's strings.
// Threads: pure functions; no state.
#ifndef KQ230_SQLBUILDER_CLAUSE_LOCATION_H_
#define KQ230_SQLBUILDER_CLAUSE_LOCATION_H_

#include "core/wide_string.h"

class CNAConnectionDescription;

class CNAClauseLocation {
 public:
  // ---- Character classes of every scan
  // Tab, line feed, carriage return, space.
  static bool s_bEspaceSQL(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r';
  }
  // An SQL blank or one of ! % ( ) * + , - / =. Not the end of the text, ";",
  // ".", "<", ">" nor any quote.
  static bool s_bSeparateur(wchar_t c);

  // ---- Keywords and statement shapes
  // Index of the first character of the keyword at its last occurrence that
  // begins at or before nStart (-1: the text's last character; a start past
  // the text counts as its last character), or -1. The keyword is compared
  // without regard to case; it must have a separator right before and right
  // after it (so one at index 0, or one that ends the text, is never found),
  // and it must stand outside string literals, quoted names and comments.
  // A null or empty text or keyword gives -1; so does a start below 1.
  static int s_nGetClauseStart(const CNAConnectionDescription* pclConnection,
                               const wchar_t* pszText, const wchar_t* pszKeyword, int nStart);

  // True when the text is a SELECT (its first six characters, any case) that
  // limits its rows itself: a LIMIT clause of the statement (one in a
  // sub-query, a literal, a quoted name or a comment does not count), or TOP,
  // blanks and a number right after SELECT.
  static bool s_bQueryResultsetLimited(const CNAConnectionDescription* pclConnection,
                                       const wchar_t* pszText);

  // True when the text is a SET statement: blanks, "SET" (any case), blanks,
  // a name up to a blank or "=", blanks, one run of non-blank characters, and
  // only blanks and ";" to the end; the text may also end after "SET" or after
  // the name. "SET @a=1" is one; "SET @a = 1" is not (a second run follows).
  static bool s_bIsQuerySet(const wchar_t* pszText);

  // True when the text, separators at its end set aside, ends with the suffix
  // (any case), the suffix begins at index 2 or later, and a separator stands
  // right before it.
  static bool s_bRequeteTerminePar(const wchar_t* pszText, const wchar_t* pszSuffix);

  // After the SQL blanks at the start of the text: the index where the word
  // begins when the text continues with it (any case), else -1.
  static int s_nGetPosSuiteRequete(const wchar_t* pszText, const wchar_t* pszWord);
  static bool s_bSuiteRequeteCommencePar(const wchar_t* pszText, const wchar_t* pszWord) {
    return s_nGetPosSuiteRequete(pszText, pszWord) != -1;
  }
  // As s_bSuiteRequeteCommencePar, and the word is followed by the end of the
  // text or a separator.
  static bool s_bSuiteRequeteCommenceParMot(const wchar_t* pszText, const wchar_t* pszWord);

  // Reads one item name from nPos on. Start and end are first set to -1 (all
  // bits); separators are skipped and the first other character starts the
  // name. A name opened by "[" or a double quote runs to the next "]" or
  // double quote: the end is that closing sign's index and the name the
  // characters between. Any other name runs up to a separator, a ";" or the
  // end of the text: the end is its last character's index.
  // True when a name was read and is not empty. A quoted name that the text
  // does not close, or a position past the text, reads nothing: false, the
  // name string and the end unchanged (a caller must never move back to a
  // stale end).
  static bool s_bGetItemNameAndPos(CTString* pName, unsigned int* pnStart, unsigned int* pnEnd,
                                   const wchar_t* pszText, unsigned int nPos);

  // ---- Row limits
  // Where a LIMIT clause goes in the text: right after the statement's last
  // token, before any trailing ";", comments and blanks, and before a locking
  // clause of the statement. -1 when the text holds no token.
  static int s_nGetRowLimitPlace(const CNAConnectionDescription* pclConnection,
                                 const wchar_t* pszText);

  // The TOP of a SELECT: when the text begins with SELECT (any case, six
  // characters), SQL blanks, "TOP" (any case), at least one SQL blank and a
  // number that ends at a separator, the end of the text or a non-word
  // character: true, with the index of the T, the index past the last digit
  // and the number. A number past 2^63 - 1 is no TOP (the text goes to the
  // server as it is, which refuses it).
  static bool s_bGetTop(const wchar_t* pszText, int* pnTopStart, int* pnDigitsEnd,
                        long long* pllTop);

  // TOP to LIMIT on a SELECT text (the formatted text of a command of a
  // MariaDB/MySQL connection). Nothing when the text does not begin with
  // SELECT. A TOP after SELECT is cut out (the blanks before it stay), its
  // number becomes the limit and *pllRowLimit becomes -1; otherwise the limit
  // is *pllRowLimit. When the limit is above 0 (or a TOP gave it, even 0: no
  // rows, as TOP 0 means) and the statement does not
  // already end with "LIMIT 0", " LIMIT <limit>" (offset 0 or below) or
  // " LIMIT <offset>, <limit>" is inserted at s_nGetRowLimitPlace. Both
  // numbers in full 64 bits. True when the text changed.
  static bool s_bRemplaceTopParLimit(const CNAConnectionDescription* pclConnection,
                                     CTString* pText, long long* pllRowLimit,
                                     long long llRowOffset);

  // LIMIT to TOP, for the server kinds that write TOP (none on this system):
  // a SELECT with a LIMIT clause of one count (or whose second number is not
  // above 0) becomes "SELECT TOP <count> " followed by the text between SELECT
  // and the LIMIT keyword; what followed the clause is dropped. Nothing when
  // the clause has no number. True when the text changed.
  static bool s_bRemplaceLimitParTop(const CNAConnectionDescription* pclConnection,
                                     CTString* pText);
};

#endif  // KQ230_SQLBUILDER_CLAUSE_LOCATION_H_
