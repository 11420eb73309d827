// The reference evaluator: see search_reference.h.
#include "tests/sqlbuilder/search_reference.h"

#include <algorithm>
#include <cstdio>

#include "tests/support/utf8_reference.h"

namespace kqtest {
namespace searchref {

int Compare(const Cell& a, const Cell& b) {
  if (a.null || b.null) return a.null == b.null ? 0 : a.null ? -1 : 1;
  if (a.s != b.s) return a.s < b.s ? -1 : 1;  // wchar_t is 32-bit: code point order
  return a.n < b.n ? -1 : a.n > b.n ? 1 : 0;
}

bool CouldStandForNull(Kind eKind, const Cell& c) {
  if (c.null) return false;
  switch (eKind) {
    case Kind::kNumber:
    case Kind::kMoney:
      return c.n == 0;
    case Kind::kText:
      return c.s.empty();
    default:
      return false;
  }
}

std::wstring Digits(Kind eKind, const Cell& c) {
  const int nWidth = eKind == Kind::kDate ? 8 : eKind == Kind::kDateTime ? 17 : 9;
  if (eKind == Kind::kText) return c.s;
  std::wstring d = std::to_wstring(c.n);
  if (static_cast<int>(d.size()) < nWidth) d.insert(0, nWidth - d.size(), L'0');
  return d;
}

int Table::Index(const std::string& column) const {
  for (size_t i = 0; i < columns.size(); ++i)
    if (columns[i] == column) return static_cast<int>(i);
  return -1;
}

std::vector<int> Select(const Table& t, const Pred& p) {
  std::vector<int> ids;
  for (const Row& r : t.rows)
    if (p(r)) ids.push_back(r.id);
  std::sort(ids.begin(), ids.end());
  return ids;
}

std::vector<int> Ordered(const Table& t, const std::vector<int>& ks, bool bDescending,
                         const Pred& p) {
  std::vector<const Row*> rows;
  for (const Row& r : t.rows)
    if (p(r)) rows.push_back(&r);
  std::sort(rows.begin(), rows.end(), [&](const Row* a, const Row* b) {
    for (int k : ks) {
      const int c = Compare(a->cells[k], b->cells[k]);
      if (c != 0) return bDescending ? c > 0 : c < 0;
    }
    return bDescending ? a->id > b->id : a->id < b->id;
  });
  std::vector<int> ids;
  for (const Row* r : rows) ids.push_back(r->id);
  return ids;
}

Pred All() {
  return [](const Row&) { return true; };
}
Pred And(Pred a, Pred b) {
  return [a, b](const Row& r) { return a(r) && b(r); };
}
Pred Not(Pred a) {
  return [a](const Row& r) { return !a(r); };
}

Pred Equal(const Table&, int k, const Cell& v) {
  return [k, v](const Row& r) { return Compare(r.cells[k], v) == 0; };
}

Pred Begins(const Table& t, int k, const std::wstring& prefix) {
  const Kind eKind = t.kinds[k];
  return [k, eKind, prefix](const Row& r) {
    if (r.cells[k].null) return false;
    return Digits(eKind, r.cells[k]).compare(0, prefix.size(), prefix) == 0;
  };
}

Pred Greater(const Table&, int k, const Cell& v) {
  return [k, v](const Row& r) { return Compare(r.cells[k], v) > 0; };
}
Pred Less(const Table&, int k, const Cell& v) {
  return [k, v](const Row& r) { return Compare(r.cells[k], v) < 0; };
}

namespace {
int LexCompare(const Row& r, const std::vector<int>& ks, const std::vector<Cell>& vs) {
  for (size_t i = 0; i < ks.size() && i < vs.size(); ++i) {
    const int c = Compare(r.cells[ks[i]], vs[i]);
    if (c != 0) return c;
  }
  return 0;
}
}  // namespace

Pred LexGreater(const Table&, const std::vector<int>& ks, const std::vector<Cell>& vs) {
  return [ks, vs](const Row& r) { return LexCompare(r, ks, vs) > 0; };
}
Pred LexLess(const Table&, const std::vector<int>& ks, const std::vector<Cell>& vs) {
  return [ks, vs](const Row& r) { return LexCompare(r, ks, vs) < 0; };
}

Pred Filter(const Table& t, int k, const Bound& lo, const Bound& hi) {
  const Kind eKind = t.kinds[k];
  return [k, eKind, lo, hi](const Row& r) {
    const Cell& c = r.cells[k];
    if (!lo.present && !hi.present) return true;
    if (c.null) {
      if (!lo.present) return lo.emptyMinimum && lo.included;
      const bool bEqualBounds = hi.present && Compare(lo.v, hi.v) == 0;
      return (lo.included || bEqualBounds) && CouldStandForNull(eKind, lo.v);
    }
    if (lo.present && hi.present && Compare(lo.v, hi.v) == 0) return Compare(c, lo.v) == 0;
    if (lo.present) {
      const int n = Compare(c, lo.v);
      if (n < 0 || (n == 0 && !lo.included)) return false;
    }
    if (hi.present) {
      const int n = Compare(c, hi.v);
      if (n > 0 || (n == 0 && !hi.included)) return false;
    }
    return true;
  };
}

std::string Literal(Kind eKind, const Cell& c) {
  if (c.null) return "NULL";
  char sz[64];
  switch (eKind) {
    case Kind::kNumber:
      return std::to_string(c.n);
    case Kind::kMoney: {
      const unsigned long long u = c.n < 0 ? 0ULL - static_cast<unsigned long long>(c.n)
                                           : static_cast<unsigned long long>(c.n);
      std::snprintf(sz, sizeof sz, "%s%llu.%06llu", c.n < 0 ? "-" : "", u / 1000000ULL,
                    u % 1000000ULL);
      return sz;
    }
    case Kind::kDate: {
      const long long d = c.n;
      std::snprintf(sz, sizeof sz, "'%04lld-%02lld-%02lld'", d / 10000, d / 100 % 100, d % 100);
      return sz;
    }
    case Kind::kDateTime: {
      const long long d = c.n / 1000000000LL, t = c.n % 1000000000LL;
      std::snprintf(sz, sizeof sz, "'%04lld-%02lld-%02lld %02lld:%02lld:%02lld.%03lld'", d / 10000,
                    d / 100 % 100, d % 100, t / 10000000, t / 100000 % 100, t / 1000 % 100,
                    t % 1000);
      return sz;
    }
    case Kind::kTime: {
      const long long t = c.n;
      std::snprintf(sz, sizeof sz, "'%02lld:%02lld:%02lld.%03lld'", t / 10000000, t / 100000 % 100,
                    t / 1000 % 100, t % 1000);
      return sz;
    }
    case Kind::kText: {
      if (c.s.empty()) return "''";
      std::string hex;
      for (wchar_t w : Hex(Utf8(c.s))) hex += static_cast<char>(w);
      return "CONVERT(X'" + hex + "' USING utf8mb4)";
    }
  }
  return "NULL";
}

std::vector<std::string> Inserts(const Table& t) {
  std::vector<std::string> out;
  std::string sql;
  for (size_t i = 0; i < t.rows.size(); ++i) {
    if (sql.empty()) sql = "INSERT INTO " + t.name + " VALUES ";
    else sql += ",";
    const Row& r = t.rows[i];
    sql += "(" + std::to_string(r.id);
    for (size_t k = 0; k < r.cells.size(); ++k) sql += "," + Literal(t.kinds[k], r.cells[k]);
    sql += ")";
    if ((i + 1) % 20 == 0 || i + 1 == t.rows.size()) {
      out.push_back(sql);
      sql.clear();
    }
  }
  return out;
}

std::string Ids(const std::vector<int>& ids) {
  std::string s;
  for (int id : ids) {
    if (!s.empty()) s += ",";
    s += std::to_string(id);
  }
  return s;
}

}  // namespace searchref
}  // namespace kqtest
