// The fetch reference's table (bench/fetch_reference.h) as the stand-in
// server's analysis declares it, for the benchmarks that read it through the
// driver: texts as Unicode slots of their utf8mb4 width, the amount a
// decimal, the note a text memo.
//
// Threads: plain functions.
#ifndef KQ230_BENCH_REFERENCE_ITEMS_H_
#define KQ230_BENCH_REFERENCE_ITEMS_H_

#include <string>
#include <vector>

#include "kq230/item_type.h"
#include "tests/support/standin_items.h"

namespace kqbench {

inline std::vector<StandInItemDecl> ReferenceTableItems() {
  auto item = [](const wchar_t* pszName, int nType, int nSize, unsigned short nKey) {
    return kqtest::Decl(pszName, nType, nSize, nKey, false);
  };
  return {item(L"id", NA_IT_I4, 4, 0x8000 | 0x0800), item(L"code", NA_IT_UNICODE, 26, 0),
          item(L"name", NA_IT_UNICODE, 82, 0),       item(L"amount", NA_IT_DECIMAL, 8, 0),
          item(L"created", NA_IT_DATETIME, 8, 0),    item(L"note", NA_IT_MEMOTEXTE, 8, 0)};
}

// ASCII of a driver's wide text (an error dump); other characters as '?'.
inline std::string Narrow(const wchar_t* psz) {
  std::string s;
  for (; psz != nullptr && *psz != 0; ++psz) s += *psz < 0x80 ? static_cast<char>(*psz) : '?';
  return s;
}

}  // namespace kqbench

#endif  // KQ230_BENCH_REFERENCE_ITEMS_H_
