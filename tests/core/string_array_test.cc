// CTStringArray: an array that owns its strings; splitting, searching,
// sorting and joining, and a model check over random operations.
#include "core/string_array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/support/bound_framework.h"

namespace {

std::vector<std::wstring> Items(const CTStringArray& a) {
  std::vector<std::wstring> v;
  for (int i = 0; i < a.nGetCount(); ++i) v.emplace_back(a[i]->pszGet());
  return v;
}

using W = std::vector<std::wstring>;

class StringArray : public kqtest::BoundFrameworkTest {};

TEST_F(StringArray, SplitsSortsAndJoins) {
  CTStringArray a;
  a.Decoupe(L"b,a,,c", L",");
  EXPECT_EQ(Items(a), (W{L"b", L"a", L"", L"c"}));
  a.TrieCroisssant();
  EXPECT_EQ(Items(a), (W{L"", L"a", L"b", L"c"}));
  CTString out(L"old");
  EXPECT_EQ(a.bFusion(&out, L","), 1);
  EXPECT_STREQ(out.pszGet(), L",a,b,c");
  a.TrieDecroisssant();
  EXPECT_EQ(Items(a), (W{L"c", L"b", L"a", L""}));
  EXPECT_EQ(a.bFusion(&out, nullptr), 1);
  EXPECT_STREQ(out.pszGet(), L"cba");
}

TEST_F(StringArray, SplittingFollowsTheFieldRule) {
  struct Case {
    const wchar_t* text;
    const wchar_t* sep;
    W expected;
  };
  const Case cases[] = {
      {L"a,,b", L",", {L"a", L"", L"b"}},
      {L"a::b::", L"::", {L"a", L"b", L""}},
      {L",", L",", {L"", L""}},
      {L"abc", L",", {L"abc"}},
      {L"", L",", {}},          // a text without buffer: no element
      {nullptr, L",", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text ? std::wstring(c.text) : L"<null>"));
    CTStringArray a;
    a.Ajoute(L"left over");
    a.Decoupe(c.text, c.sep);
    EXPECT_EQ(Items(a), c.expected);
  }
  // An allocated "" is one empty field.
  CTString empty(L"x", 0);
  CTStringArray a;
  a.Decoupe(empty, L",");
  EXPECT_EQ(Items(a), (W{L""}));
}

TEST_F(StringArray, SplittingOneOfItsOwnStringsIsSafe) {
  CTStringArray a;
  a.Ajoute(L"x;y;z");
  a.Ajoute(L"other");
  a.Decoupe(*a[0], L";");
  EXPECT_EQ(Items(a), (W{L"x", L"y", L"z"}));
}

TEST_F(StringArray, SortsIgnoringCaseThroughTheStaticHelper) {
  CTString out(L"unchanged");
  EXPECT_EQ(CTStringArray::g_bTrieCroissantI(&out, L"b;A;c", L";"), 1);
  EXPECT_STREQ(out.pszGet(), L"A;b;c");
  out = L"unchanged";
  EXPECT_EQ(CTStringArray::g_bTrieCroissantI(&out, L"", L";"), 1);
  EXPECT_STREQ(out.pszGet(), L"unchanged");
}

TEST_F(StringArray, SearchesWithOrWithoutCase) {
  CTStringArray a;
  a.Ajoute(L"x");
  a.Ajoute(L"abc");
  a.Ajoute(L"ABC");
  EXPECT_EQ(a.nRecherche(L"ABC", 0, 0), 1);
  EXPECT_EQ(a.nRecherche(L"ABC", 1, 0), 2);
  EXPECT_EQ(a.nRecherche(L"aBc", 1, 0), -1);
  EXPECT_EQ(a.nRecherche(L"abc", 0, 2), 2);
  EXPECT_EQ(a.nRecherche(L"x", 1, 3), -1);  // from the count
  EXPECT_EQ(a.nRecherche(L"x", 1, 99), -1);
  a.Ajoute(static_cast<const wchar_t*>(nullptr));
  EXPECT_EQ(a.nRecherche(nullptr, 1, 0), 3);  // null means ""
}

TEST_F(StringArray, InitialiseAppendsCopiesAndKeepsWhatIsThere) {
  CTStringArray a;
  a.Ajoute(L"a");
  EXPECT_EQ(a.Initialise(L"x", 3), 1);
  EXPECT_EQ(Items(a), (W{L"a", L"x", L"x", L"x"}));
  // The pointer form copies the text too: each element has its own string.
  CTString s(L"p");
  CTString* ps = &s;
  a.Initialise(ps, 2);
  EXPECT_EQ(Items(a), (W{L"a", L"x", L"x", L"x", L"p", L"p"}));
  EXPECT_NE(a[4], a[5]);
  EXPECT_NE(a[4], &s);
}

TEST_F(StringArray, JoiningAnEmptyArrayLeavesTheOutputAsItWas) {
  CTStringArray a;
  CTString out(L"kept");
  EXPECT_EQ(a.bFusion(&out, L","), 1);
  EXPECT_STREQ(out.pszGet(), L"kept");
}

TEST_F(StringArray, AppendsInEveryForm) {
  CTStringArray a;
  CTString s(L"one");
  a.Ajoute(&s);
  a.vAjoute(L"twofold", 3);
  CTString moved(L"three");
  a.AjouteRecupere(&moved);
  EXPECT_STREQ(moved.pszGet(), L"");
  a.AjoutePrintf(L"%s=%d", L"four", 4);
  a.AjouteFormatMessageWin(L"%s!", L"five");
  CTStringArray b;
  b.Ajoute(L"six");
  a.Ajoute(b);
  a.Ajoute(a);  // itself: the elements there at the start, once
  EXPECT_EQ(Items(a), (W{L"one", L"two", L"three", L"four=4", L"five!", L"six", L"one", L"two",
                         L"three", L"four=4", L"five!", L"six"}));
}

TEST_F(StringArray, ReplacingAStringWithItsOwnTextIsSafe) {
  CTStringArray a;
  a.Ajoute(L"abcdef");
  a.SetAt(a[0]->pszGet() + 2, 0);
  EXPECT_EQ(Items(a), (W{L"cdef"}));
  a.SetAt(a[0], 0);
  EXPECT_EQ(Items(a), (W{L"cdef"}));
}

// Random insertions, replacements and removals against a vector of strings;
// the owned strings are checked leak-free by the sanitized build's leak check.
TEST_F(StringArray, MatchesAVectorOverRandomOperations) {
  std::mt19937 rng(11);
  CTStringArray a;
  W model;
  auto text = [&] { return std::wstring(rng() % 4, static_cast<wchar_t>(L'a' + rng() % 3)); };
  for (int k = 0; k < 3000; ++k) {
    const int n = static_cast<int>(model.size());
    switch (rng() % 8) {
      case 0: {
        const std::wstring s = text();
        a.Ajoute(s.c_str());
        model.push_back(s);
        break;
      }
      case 1: {
        const std::wstring s = text();
        const int pos = static_cast<int>(rng() % (model.size() + 1));
        a.Insere(s.c_str(), pos);
        model.insert(model.begin() + pos, s);
        break;
      }
      case 2:
        if (n > 0) {
          const int pos = static_cast<int>(rng() % model.size());
          const std::wstring s = text();
          a.SetAt(s.c_str(), pos);
          model[pos] = s;
        }
        break;
      case 3:
        if (n > 0) {
          const int pos = static_cast<int>(rng() % model.size());
          a.Supprime(pos);
          model.erase(model.begin() + pos);
        }
        break;
      case 4: {
        const int m = n == 0 ? 0 : static_cast<int>(rng() % 3) % (n + 1);
        a.SupprimeDernier(m);
        model.resize(model.size() - m);
        break;
      }
      case 5:
        a.TrieCroisssant();
        std::sort(model.begin(), model.end());
        break;
      case 6: {
        const std::wstring s = text();
        const int from = static_cast<int>(rng() % (model.size() + 1));
        const auto it = std::find(model.begin() + from, model.end(), s);
        ASSERT_EQ(a.nRecherche(s.c_str(), 1, from),
                  it == model.end() ? -1 : static_cast<int>(it - model.begin()));
        break;
      }
      default:
        if (rng() % 20 == 0) {
          a.SupprimeTout();
          model.clear();
        }
        break;
    }
    ASSERT_EQ(Items(a), model) << "step " << k;
  }
}

}  // namespace
