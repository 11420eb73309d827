// The declaration of one stand-in item (host/harness/standin_descriptions.h)
// from what the tests vary: its name, type and size, its key flags, whether
// it allows NULL, a composed key's components and a caption, or the number
// of its elements. Every other field keeps the declaration's default. And a
// stand-in description of such items that lasts for a scope.
//
// Ownership: the declarations are values; StandInSource holds the one
// external reference of its description. Threads: no shared state.
#ifndef KQ230_TESTS_SUPPORT_STANDIN_ITEMS_H_
#define KQ230_TESTS_SUPPORT_STANDIN_ITEMS_H_

#include <string>
#include <utility>
#include <vector>

#include "host/harness/standin_descriptions.h"

namespace kqtest {

inline StandInItemDecl Decl(const wchar_t* pszName, int nType, int nSize,
                            unsigned short wKeyFlags = 0, bool bNullAllowed = true,
                            std::vector<std::wstring> components = {},
                            const wchar_t* pszCaption = L"") {
  StandInItemDecl d;
  d.name = pszName;
  d.type = nType;
  d.size = nSize;
  d.keyFlags = wKeyFlags;
  d.nullAllowed = bNullAllowed;
  d.components = std::move(components);
  d.caption = pszCaption;
  return d;
}

// An item of nDimension elements (1: a plain item), otherwise as Decl.
inline StandInItemDecl ItemDecl(const wchar_t* pszName, int nType, int nSize, int nDimension = 1) {
  StandInItemDecl d = Decl(pszName, nType, nSize);
  d.dimension = nDimension;
  return d;
}

// A stand-in description of the items, released at scope end.
struct StandInSource {
  explicit StandInSource(const std::vector<StandInItemDecl>& items)
      : p(CStandInDescription::pclNew(L"file", items, 12)) {}
  ~StandInSource() {
    if (p != nullptr) p->nExternalRelease();
  }
  StandInSource(const StandInSource&) = delete;
  StandInSource& operator=(const StandInSource&) = delete;
  INAItemDescription* Item(int i) const { return p->pclGetItem(i); }
  CStandInDescription* p;
};

}  // namespace kqtest

#endif  // KQ230_TESTS_SUPPORT_STANDIN_ITEMS_H_
