// The stand-in for the server's SQL parser: turns the text of a query into
// the parser's objects (standin_sql_objects.h), every piece located, names
// resolved from the stand-in's analysis (standin_analysis.h).
//
// The subset it splits into parts:
//   SELECT [DISTINCT | ALL] [TOP n] list FROM tables [WHERE c] [GROUP BY
//     columns] [HAVING c] [ORDER BY items [ASC | DESC]]; the list holds "*",
//     "t.*" and expressions with an optional [AS] alias; the tables are names
//     with an optional [AS] alias, separated by "," or joined by [INNER |
//     LEFT [OUTER] | RIGHT [OUTER]] JOIN ... ON c;
//   UPDATE t [[AS] alias] SET column = expression, ... [WHERE c];
//   INSERT INTO t [(columns)] VALUES (expressions);
//   DELETE FROM t [[AS] alias] [WHERE c];
//   conditions: comparisons (=, <>, !=, <, <=, >, >=), AND, OR, NOT, LIKE /
//     NOT LIKE with an optional ESCAPE 'c', IS [NOT] NULL, [NOT] IN (a
//     sub-query or a list), parentheses; expressions: columns ([t.]name or
//     `quoted`), literals ('text' with '' for a quote, the backslash
//     ordinary; numbers; NULL), parameters {name}, + - * / ||, unary minus,
//     functions name(arguments) and COUNT(*);
//   after the last clause, a tail that starts with LIMIT, OFFSET, FOR, LOCK
//     or ";" is kept in the text and not parsed; a sub-query may end with
//     LIMIT n [, m | OFFSET m], part of its located text.
// Any other text (or a text with a comment) becomes a query that is not
// split into parts: kind 0, no parts, its "{name}" markers in the marker
// table (ISQLParserInformation slot 19) and in the token table (slot 6),
// which also holds its name references: "table.item" where table is a file
// of the analysis that has the item, and a lone item name of a file that
// the text names, outside literals, quoted texts and comments (function
// names and keywords aside). Its item descriptions (slot 22) are looked up
// in the files it names.
//
// Resolution: a column's table is the FROM table its qualifier names (alias
// or name), else the first FROM table whose description has the item; inner
// queries look outward. "*" stands for the items of the tables (composed
// keys aside), not located. An ORDER BY item that names no output column
// adds a hidden output column; an ORDER BY number n gives index n - 1, in
// range or not.
//
// Ownership: each parse answers a new parsed query with one reference, the
// caller's (release it through slot 2); the parameter values given are held
// by it (one reference) and give the values of its "{name}" literals.
// REQUIRES: the analysis outlives the parser and every query it made.
// Threads: one thread at a time.
#ifndef KQ230_HOST_PARSER_STANDIN_SQL_PARSER_H_
#define KQ230_HOST_PARSER_STANDIN_SQL_PARSER_H_

#include <string>

#include "host/parser/standin_sql_objects.h"

class CStandInAnalysis;
class CStandInQueryParameters;

class CStandInSQLParser {
 public:
  explicit CStandInSQLParser(const CStandInAnalysis* pclAnalysis) : m_pclAnalysis(pclAnalysis) {}

  // A parsed query; never null (a null text is the empty text).
  CStandInSQLInfo* pclParse(const wchar_t* pszText, CStandInQueryParameters* pclValues = nullptr);
  // A condition over one table, as the server parses a filter: kind 0, the
  // condition as the text (slots 5 and 7), its tree as the WHERE tree, the
  // table as the one FROM table (not located). A condition outside the
  // subset gives no tree.
  CStandInSQLInfo* pclParseCondition(const wchar_t* pszTable, const wchar_t* pszCondition,
                                     CStandInQueryParameters* pclValues = nullptr);
  // Why the last text was not split into parts; "" when it was.
  const std::wstring& strGetLastError() const { return m_strLastError; }

 private:
  const CStandInAnalysis* m_pclAnalysis;
  std::wstring m_strLastError;
};

#endif  // KQ230_HOST_PARSER_STANDIN_SQL_PARSER_H_
