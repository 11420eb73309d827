// The declaration of one stand-in item (host/harness/standin_descriptions.h)
// from what the tests vary: its name, type and size, its key flags, whether
// it allows NULL, a composed key's components and a caption. Every other
// field keeps the declaration's default.
//
// Ownership: values only. Threads: no shared state.
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

}  // namespace kqtest

#endif  // KQ230_TESTS_SUPPORT_STANDIN_ITEMS_H_
