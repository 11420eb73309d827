// The writer of string literals for the MariaDB/MySQL dialect: any text,
// zeros included, into a literal whose value the server reads back exactly,
// in the form that is right for the sql_mode it will meet.
//
// Forms, and the sql_mode in which each keeps the text's value:
//   eSqlLiteralBackslash      '...' with \' \\ and \0: ONLY with backslash
//                             escapes on (the server's default mode). Under
//                             NO_BACKSLASH_ESCAPES a text holding "'" ends the
//                             literal early.
//   eSqlLiteralDoubledQuote   '...' with '' and every other byte as it is:
//                             ONLY under NO_BACKSLASH_ESCAPES. In the default
//                             mode a backslash before the doubled quote would
//                             escape it. A text holding a zero byte is written
//                             in hexadecimal as below: the server takes a raw
//                             zero for the end of the query, and without
//                             backslash escapes "\0" is no zero.
//   eSqlLiteralAnyMode        safe in BOTH modes, whatever a program sets with
//                             SET sql_mode later: '...' with '' when the text
//                             (in the code page it is sent in) holds neither a
//                             backslash byte nor a zero byte, else the
//                             hexadecimal literal X'...' of its bytes, after
//                             the character-set introducer when one is given
//                             (_utf8mb4 X'5C27'), so that the value keeps its
//                             character set and collation (the server then
//                             refuses bytes that are not valid in that set;
//                             without introducer the value is a binary
//                             string). A connection that does not know its
//                             mode writes this one.
// An empty text is '' in every form.
//
// Code pages: 8-bit text is read as the server reads it in that code page
// (core/sql_char_splitter.h): a second byte 0x5C of a double-byte character
// is not a backslash, and the backslash form writes a lead byte that lacks
// its second byte as "\" and the byte, so that no backslash written after it
// completes it into a character. Text in a code page whose ASCII is not ASCII
// (50220, 1047) is always written in hexadecimal. Wide text is converted to
// the code page it will be sent in before it is escaped, so that a character
// that the conversion turns into 0x5C (U+00A5 in 932) is escaped as the
// backslash the server will see; in UTF-8 (65001) no other character becomes
// an ASCII byte and wide text is escaped as it is. REQUIRES: the code page is the
// connection's character set (the server splits characters by it).
//
// Results: 1, or 0 when memory was refused (the builder then says bEchec()).
// Ownership: appends to the caller's builder; keeps nothing.
// Threads: pure functions of their arguments (code page -1 reads the server's
// current one).
#ifndef KQ230_CORE_SQL_LITERAL_H_
#define KQ230_CORE_SQL_LITERAL_H_

#include "core/mixed_width_concat.h"
#include "core/string_concat.h"

enum eSQLLITERALFORM {
  eSqlLiteralBackslash = 0,
  eSqlLiteralDoubledQuote = 1,
  eSqlLiteralAnyMode = 2,
};

// n bytes of 8-bit text of nCodePage (n -1: up to the terminator).
// pszIntroducer: a character-set name ("utf8mb4") written before a
// hexadecimal literal, or null.
int AddSqlStringLiteral(CXYStringConcat<char>& out, const char* pText, int n, int nCodePage,
                        eSQLLITERALFORM eForm, const char* pszIntroducer);
// n wide characters into a wide builder whose text is sent in nCodePage.
int AddSqlStringLiteral(CXYStringConcat<wchar_t>& out, const wchar_t* pText, int n, int nCodePage,
                        eSQLLITERALFORM eForm, const char* pszIntroducer);
// Into the mixed builder, in its mode: wide mode sends in the code page word,
// 8-bit mode in the mode's code page.
int AddSqlStringLiteral(CTStringConcatAW& out, const wchar_t* pText, int n,
                        eSQLLITERALFORM eForm, const char* pszIntroducer);

#endif  // KQ230_CORE_SQL_LITERAL_H_
