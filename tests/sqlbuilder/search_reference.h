// The reference evaluator of the server proof of search conditions: the rows
// of a fixture table as the test knows them, and which of them a search, a
// continuation or a filter must select, decided from the meaning of the
// search (the language's order, NULL before every value, and the filters'
// let-through rule for NULL), never from the SQL the search classes write.
// Also the SQL literals that fill the fixture tables: numbers and dates in
// plain digits, texts as hexadecimal literals, so that the fixtures do not
// depend on the escaping under test.
//
// Ownership: plain values; predicates are copyable function objects.
// Threads: no shared state.
#ifndef KQ230_TESTS_SQLBUILDER_SEARCH_REFERENCE_H_
#define KQ230_TESTS_SQLBUILDER_SEARCH_REFERENCE_H_

#include <functional>
#include <string>
#include <vector>

namespace kqtest {
namespace searchref {

// How a column's cells compare and are written. Numbers hold integers, or
// money in millionths; dates, date-times and times hold their digits as a
// number (YYYYMMDD, YYYYMMDDhhmmssmmm, hhmmssmmm), so that numeric order is
// the order of time and the digits are the language's text of the value.
enum class Kind { kNumber, kMoney, kText, kDate, kDateTime, kTime };

struct Cell {
  bool null = true;
  long long n = 0;
  std::wstring s;

  static Cell Null() { return Cell{}; }
  static Cell Num(long long v) { return Cell{false, v, {}}; }
  static Cell Text(std::wstring v) { return Cell{false, 0, std::move(v)}; }
};

// The language's order: NULL before every value; numbers (and dates) by
// value, texts by code point. Both cells of one kind.
int Compare(const Cell& a, const Cell& b);
// The value the engine's records may use for NULL: a numeric zero or an
// empty text (never a date).
bool CouldStandForNull(Kind eKind, const Cell& c);
// The digits of a date, date-time or time cell, zero-padded to the kind's
// width (8, 17, 9); the text itself for a text.
std::wstring Digits(Kind eKind, const Cell& c);

struct Row {
  int id = 0;
  std::vector<Cell> cells;  // in the table's column order
};

struct Table {
  std::string name;
  std::vector<std::string> columns;  // the columns after id
  std::vector<Kind> kinds;
  std::vector<Row> rows;

  int Index(const std::string& column) const;  // -1 when absent
};

using Pred = std::function<bool(const Row&)>;

// Ids of the rows that hold, ascending.
std::vector<int> Select(const Table& t, const Pred& p);
// Ids of the rows that hold, in the order of the columns ks (then id),
// ascending or descending.
std::vector<int> Ordered(const Table& t, const std::vector<int>& ks, bool bDescending,
                         const Pred& p);

Pred All();
Pred And(Pred a, Pred b);
Pred Not(Pred a);
// The cell equals v (a NULL v selects the NULL cells).
Pred Equal(const Table& t, int k, const Cell& v);
// The cell's text (or digits) begins with the prefix; never a NULL cell.
Pred Begins(const Table& t, int k, const std::wstring& prefix);
// The order: strictly after / before v (NULL before every value).
Pred Greater(const Table& t, int k, const Cell& v);
Pred Less(const Table& t, int k, const Cell& v);
// The keys (columns ks) strictly after / before vs, lexicographically.
Pred LexGreater(const Table& t, const std::vector<int>& ks, const std::vector<Cell>& vs);
Pred LexLess(const Table& t, const std::vector<int>& ks, const std::vector<Cell>& vs);

// A filter bound; absent (or at the type's extreme): no bound.
struct Bound {
  bool present = false;
  Cell v;
  bool included = true;
  // An absent lower bound made of the type's minimum when that minimum is
  // the empty text (a date's): the engine's records use it for NULL, so
  // NULL passes both sides.
  bool emptyMinimum = false;
};
// A filter on column k: inside the bounds by the order; a NULL cell passes
// only when the lower bound is present, inclusive (or equal to the upper
// bound) and a value the engine's records use for NULL, and then passes the
// upper bound too. No bound at all: every row.
Pred Filter(const Table& t, int k, const Bound& lo, const Bound& hi);

// ---- SQL for the fixture tables
// The literal of a cell: NULL; digits; quoted dates and times; texts as
// CONVERT(X'...' USING utf8mb4) ('' when empty).
std::string Literal(Kind eKind, const Cell& c);
// INSERT statements of every row (id first), in batches.
std::vector<std::string> Inserts(const Table& t);
// The names of the ids (for messages): "1,4,9".
std::string Ids(const std::vector<int>& ids);

}  // namespace searchref
}  // namespace kqtest

#endif  // KQ230_TESTS_SQLBUILDER_SEARCH_REFERENCE_H_
