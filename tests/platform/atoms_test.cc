// The atom table, checked against a reference model over random operations,
// and its edge cases (case, references, full buffers, wrapping ids).
#include "platform/atoms.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <map>
#include <random>
#include <string>

namespace {

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return s;
}

TEST(Atoms, NamesMatchWithoutRegardToCaseAndCountReferences) {
  const unsigned short a = AddAtom(L"KqAtomName");
  ASSERT_NE(a, 0);
  EXPECT_EQ(AddAtom(L"KQATOMNAME"), a);
  EXPECT_EQ(FindAtom(L"kqatomname"), a);
  EXPECT_EQ(DeleteAtom(a), 0);  // one reference left
  EXPECT_EQ(FindAtom(L"KqAtomName"), a);
  EXPECT_EQ(DeleteAtom(a), 0);  // gone
  EXPECT_EQ(FindAtom(L"KqAtomName"), 0);
  EXPECT_EQ(DeleteAtom(a), a);  // not in the table: answered unchanged
  EXPECT_EQ(AddAtom(nullptr), 0);
  EXPECT_EQ(FindAtom(nullptr), 0);
}

TEST(Atoms, GetAtomNameAlwaysTerminatesTheBuffer) {
  const unsigned short a = AddAtom(L"Twelve chars");
  ASSERT_NE(a, 0);
  wchar_t sz[8];
  std::wmemset(sz, L'#', 8);
  EXPECT_EQ(GetAtomName(a, sz, 8), 7);
  EXPECT_STREQ(sz, L"Twelve ");
  wchar_t szFull[13];
  EXPECT_EQ(GetAtomName(a, szFull, 13), 12);
  EXPECT_STREQ(szFull, L"Twelve chars");
  wchar_t szOne[1] = {L'#'};
  EXPECT_EQ(GetAtomName(a, szOne, 1), 0);
  EXPECT_EQ(szOne[0], 0);
  EXPECT_EQ(GetAtomName(a, sz, 0), 0);
  EXPECT_EQ(GetAtomName(static_cast<unsigned short>(a + 1000), sz, 8), 0);
  DeleteAtom(a);
}

TEST(Atoms, WrappedIdsSkipZeroAndAtomsInUse) {
  const int nSaved = CAtom::gnId;
  CAtom::gnId = 0xFFFF;
  const unsigned short a = AddAtom(L"wrap-a");  // id 0xFFFF
  const unsigned short b = AddAtom(L"wrap-b");  // 0x10000 has atom 0: skipped
  EXPECT_EQ(a, 0xFFFF);
  EXPECT_EQ(b, 1);
  CAtom::gnId = 0x1FFFF;  // atom 0xFFFF again, still held by wrap-a
  const unsigned short c = AddAtom(L"wrap-c");
  EXPECT_NE(c, 0);
  EXPECT_NE(c, a);
  EXPECT_NE(c, b);
  wchar_t sz[16];
  GetAtomName(a, sz, 16);
  EXPECT_STREQ(sz, L"wrap-a");
  DeleteAtom(a);
  DeleteAtom(b);
  DeleteAtom(c);
  EXPECT_EQ(gclAtomList.nCount(), 0);
  CAtom::gnId = nSaved;
}

TEST(Atoms, TableMatchesAReferenceModelOverRandomOperations) {
  std::map<std::wstring, std::pair<unsigned short, int>> model;  // lowered name -> atom, count
  std::mt19937 rng(15);
  const wchar_t* names[] = {L"alpha", L"ALPHA", L"Beta", L"gamma", L"GaMmA", L"delta", L"e", L"\u00e9t\u00e9"};
  for (int step = 0; step < 3000; ++step) {
    const wchar_t* name = names[rng() % 8];
    const std::wstring key = Lower(name);
    switch (rng() % 3) {
      case 0: {
        const unsigned short a = AddAtom(name);
        ASSERT_NE(a, 0);
        auto it = model.find(key);
        if (it == model.end()) {
          for (const auto& [k, v] : model) ASSERT_NE(v.first, a) << "atom shared by two names";
          model[key] = {a, 1};
        } else {
          ASSERT_EQ(a, it->second.first);
          ++it->second.second;
        }
        break;
      }
      case 1: {
        auto it = model.find(key);
        ASSERT_EQ(FindAtom(name), it == model.end() ? 0 : it->second.first);
        break;
      }
      default: {
        auto it = model.find(key);
        if (it == model.end()) break;
        ASSERT_EQ(DeleteAtom(it->second.first), 0);
        if (--it->second.second == 0) model.erase(it);
        break;
      }
    }
    ASSERT_EQ(gclAtomList.nCount(), static_cast<int>(model.size()));
  }
  for (auto& [k, v] : model) {
    for (; v.second > 0; --v.second) DeleteAtom(v.first);
  }
  EXPECT_EQ(gclAtomList.nCount(), 0);
}

}  // namespace
