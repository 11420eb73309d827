// Searches on composite keys: a composite value cut into its components
// (round trip with the record's composed-key bytes, partial components,
// minimal and maximal marks, bad lengths), the maximal-text rule, and the
// conditions written for composite equality and lexicographic comparisons
// (at the root and under AND, unique composite keys that end them,
// descending keys).
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "items/column.h"
#include "items/record.h"
#include "kq230/vm_values.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/parameter.h"
#include "sqlbuilder/record_search.h"
#include "tests/sqlbuilder/search_fixture.h"
#include "tests/support/standin_items.h"
#include "values/any.h"

namespace {

constexpr unsigned short kPrimary = 0x8000, kUnique = 0x4000, kDup = 0x2000, kComposed = 0x1000,
                         kDesc = 0x0400;

using kqtest::Decl;

// The protected steps of a search, for the tests that examine them alone.
class ProbeSearch : public CNARecherche {
 public:
  ProbeSearch(CNAError* pclError, CNAConnectionDescription* pclConnection)
      : CNARecherche(pclError, pclConnection) {}
  using CNARecherche::_AddAllItem;
  using CNARecherche::_bGenericSearchDueTohValMax;
  using CNARecherche::_GetComponentValue;
};

// A value's type and the bytes of its data, to compare two values.
struct ValueForm {
  int nType;
  std::vector<unsigned char> bytes;
  bool operator==(const ValueForm&) const = default;
};

ValueForm Form(const CAny& v) {
  ValueForm f{v.nGetTypeCode() | (v.bIsNull() ? 0x100 : 0), {}};
  void* p = nullptr;
  unsigned int n = 0;
  if (v.pclGetIntern()->nGetDataAdr(&p) == 0 && v.pclGetIntern()->nGetDataSize(&n) == 0 &&
      p != nullptr) {
    f.bytes.assign(static_cast<unsigned char*>(p), static_cast<unsigned char*>(p) + n);
  }
  return f;
}

std::wstring WideOf(const CAny& v) {
  void* p = nullptr;
  unsigned int n = 0;
  v.pclGetIntern()->nGetDataAdr(&p);
  v.pclGetIntern()->nGetDataSize(&n);
  if (p == nullptr) return L"";
  std::wstring s(static_cast<const wchar_t*>(p), n / sizeof(wchar_t));
  while (!s.empty() && s.back() == 0) s.pop_back();  // the size may count the terminator
  return s;
}

std::string AnsiOf(const CAny& v) {
  void* p = nullptr;
  unsigned int n = 0;
  v.pclGetIntern()->nGetDataAdr(&p);
  v.pclGetIntern()->nGetDataSize(&n);
  if (p == nullptr) return "";
  std::string s(static_cast<const char*>(p), n);
  while (!s.empty() && s.back() == 0) s.pop_back();
  return s;
}

CAny Bin(const std::vector<unsigned char>& bytes) {
  CAny v;
  v.SetBIN(bytes.data(), static_cast<unsigned int>(bytes.size()));
  return v;
}

std::vector<unsigned char> Bytes(const char* psz, size_t nWidth) {
  std::vector<unsigned char> v(nWidth, 0);
  std::memcpy(v.data(), psz, std::strlen(psz) < nWidth ? std::strlen(psz) : nWidth);
  return v;
}

std::vector<unsigned char> I4Bytes(int n) {
  std::vector<unsigned char> v(4);
  std::memcpy(v.data(), &n, 4);
  return v;
}

std::vector<unsigned char> operator+(std::vector<unsigned char> a,
                                     const std::vector<unsigned char>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class CompositeSearch : public kqtest::SearchFixture {
 protected:
  void TearDown() override {
    Clear();
    if (m_pclSearch != nullptr) m_pclSearch->nRelease();
    m_pclSearch = nullptr;
    kqtest::SearchFixture::TearDown();
  }
  ProbeSearch* Search() {
    if (m_pclSearch == nullptr) {
      m_pclSearch = new ProbeSearch(m_pclError, m_pclConnection);
      m_pclSearch->AddRef();
    }
    return m_pclSearch;
  }
  void Clear() {
    for (CAny* p : m_values) delete p;
    m_values.clear();
  }
  // Cuts the value over the components of the composite column.
  int Cut(const wchar_t* pszKey, const CAny& value, int bBound, int* pbMin = nullptr,
          int* pbMax = nullptr) {
    Clear();
    CTTableau<CAny*> tab(4, 30);
    int bMin = 0, bMax = 0;
    const int bOk = Search()->_GetComponentValue(Column(pszKey)->pclGetTabComponent(), &value,
                                                 &tab, &bMin, &bMax, bBound);
    for (int i = 0; i < tab.nGetNbElement(); ++i) m_values.push_back(tab[i]);
    if (pbMin != nullptr) *pbMin = bMin;
    if (pbMax != nullptr) *pbMax = bMax;
    return bOk;
  }
  void Set(const wchar_t* pszColumn, const CAny& v) {
    ASSERT_TRUE(Column(pszColumn)->bSetValue(&v, 0)) << "setting " << pszColumn;
  }
  CAny Current(const wchar_t* pszColumn) {
    CAny v;
    EXPECT_TRUE(Column(pszColumn)->bGetCurrentValue(&v, 0));
    return v;
  }
  // Writes the search's current condition into a new command: its
  // formatted text, or "<failed>".
  std::wstring Written(CNARecherche* pclSearch) {
    CNACommand* pclCommand = NewCommand();
    const int bOk = pclSearch->bGetSQL(pclCommand, nullptr, m_pclRecord);
    std::wstring text = bOk ? Formatted(pclCommand) : L"<failed>";
    pclCommand->nRelease();
    return text;
  }

  ProbeSearch* m_pclSearch = nullptr;
  std::vector<CAny*> m_values;
};

// ---------------------------------------------------------------------------
// Cutting

// A composite value made from the record's own components (as the record
// composes its key) cuts back into the very values of the components:
// 8-bit texts, numbers, dates, and Unicode texts held in UTF-16 in the key
// (accents, characters outside the basic plane, texts filling their item).
TEST_F(CompositeSearch, TheRecordsComposedKeyCutsBackIntoItsComponentsValues) {
  struct Case {
    const char* name;
    std::vector<StandInItemDecl> items;
    std::vector<std::pair<const wchar_t*, CAny>> values;
  };
  const Case cases[] = {
      {"an 8-bit text and a number",
       {Decl(L"CODE", NA_IT_TEXTE, 11), Decl(L"N", NA_IT_I4, 4),
        Decl(L"K", NA_IT_BINAIRE, 14, kComposed | kDup, true, {L"CODE", L"N"})},
       {{L"CODE", Wide(L"abc")}, {L"N", Int(-7)}}},
      {"a Unicode text with accents and a character outside the basic plane",
       {Decl(L"LABEL", NA_IT_UNICODE, 22), Decl(L"CODE", NA_IT_TEXTE, 6),
        Decl(L"K", NA_IT_BINAIRE, 25, kComposed | kDup, true, {L"LABEL", L"CODE"})},
       {{L"LABEL", Wide(L"\u00e9t\u00e9 \U0001F600 \u4e2d")}, {L"CODE", Wide(L"xy")}}},
      {"Unicode texts filling their items",
       {Decl(L"A", NA_IT_UNICODE, 8), Decl(L"B", NA_IT_UNICODE, 6),
        Decl(L"K", NA_IT_BINAIRE, 10, kComposed | kDup, true, {L"A", L"B"})},
       {{L"A", Wide(L"\u00c0b\u00e7")}, {L"B", Wide(L"\u0416\u0419")}}},
      {"a number, a date and a Unicode text",
       {Decl(L"N", NA_IT_I4, 4), Decl(L"DAY", NA_IT_DATE8, 9), Decl(L"LABEL", NA_IT_UNICODE, 12),
        Decl(L"K", NA_IT_BINAIRE, 23, kComposed | kDup, true, {L"N", L"DAY", L"LABEL"})},
       {{L"N", Int(123456)}, {L"DAY", Wide(L"20240229")}, {L"LABEL", Wide(L"\u00fcber")}}},
      {"an 8-bit text filling its item and a 2-byte number",
       {Decl(L"CODE", NA_IT_TEXTE, 5), Decl(L"S", NA_IT_I2, 2),
        Decl(L"K", NA_IT_BINAIRE, 6, kComposed | kDup, true, {L"CODE", L"S"})},
       {{L"CODE", Wide(L"wxyz")}, {L"S", Int(-2)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Build(c.items));
    for (const auto& [pszName, value] : c.values) Set(pszName, value);
    const CAny key = Current(L"K");
    ASSERT_EQ(key.nGetTypeCode(), VX_BIN);
    for (int bBound : {0, 1}) {
      ASSERT_TRUE(Cut(L"K", key, bBound));
      ASSERT_EQ(m_values.size(), c.values.size());
      for (size_t i = 0; i < c.values.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Form(*m_values[i]), Form(Current(c.values[i].first)));
      }
    }
    Clear();
  }
}

// A value shorter than the key gives the components it holds; a partial
// text is a prefix; a partial fixed-size component ends the list; bytes past
// the key are not read.
TEST_F(CompositeSearch, ACompositeValueCutsIntoTheComponentsItHolds) {
  ASSERT_TRUE(Build({Decl(L"CODE", NA_IT_TEXTE, 5), Decl(L"N", NA_IT_I4, 4),
                     Decl(L"LABEL", NA_IT_UNICODE, 8),
                     Decl(L"K", NA_IT_BINAIRE, 14, kComposed | kDup, true,
                          {L"CODE", L"N", L"LABEL"})}));
  const std::vector<unsigned char> label = {'x', 0, 0xE9, 0, 'z', 0};
  struct Case {
    const char* name;
    std::vector<unsigned char> bytes;
    size_t nExpected;
  };
  const Case cases[] = {
      {"no byte", {}, 0},
      {"the first component's bytes", Bytes("ab", 4), 1},
      {"a prefix of the first component", Bytes("ab", 2), 1},
      {"half a number", Bytes("ab", 4) + std::vector<unsigned char>{1, 0}, 1},
      {"the number whole", Bytes("ab", 4) + I4Bytes(9), 2},
      {"one unit of the Unicode text", Bytes("ab", 4) + I4Bytes(9) + std::vector<unsigned char>{'x', 0}, 3},
      {"the whole key", Bytes("ab", 4) + I4Bytes(9) + label, 3},
      {"bytes past the key", Bytes("ab", 4) + I4Bytes(9) + label + Bytes("zzzz", 4), 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Cut(L"K", Bin(c.bytes), 0));
    ASSERT_EQ(m_values.size(), c.nExpected);
    if (c.nExpected >= 1) {
      EXPECT_EQ(AnsiOf(*m_values[0]), "ab");
    }
    if (c.nExpected >= 2) {
      int n = 0;
      ASSERT_EQ(m_values[1]->nGetINT(&n), 0);
      EXPECT_EQ(n, 9);
    }
  }
  ASSERT_TRUE(Cut(L"K", Bin(Bytes("ab", 4) + I4Bytes(9) + label), 0));
  EXPECT_EQ(WideOf(*m_values[2]), L"x\u00e9z");
  ASSERT_TRUE(Cut(L"K", Bin(Bytes("ab", 4) + I4Bytes(9) + std::vector<unsigned char>{'x', 0}), 0));
  EXPECT_EQ(WideOf(*m_values[2]), L"x");
  // A NULL composite value holds no component.
  CAny null = Bin({1, 2, 3});
  null.SetNull(true);
  ASSERT_TRUE(Cut(L"K", null, 1));
  EXPECT_TRUE(m_values.empty());
}

// In a bound or a generic search, the bytes of a last partial component may
// mark its minimum or its maximum: a number then takes its type's extreme,
// a text the text of its bytes; the marks are reported. Elsewhere the same
// bytes are plain bytes.
TEST_F(CompositeSearch, APartialLastComponentMayMarkItsMinimumOrMaximum) {
  ASSERT_TRUE(Build({Decl(L"CODE", NA_IT_TEXTE, 5), Decl(L"N", NA_IT_I4, 4),
                     Decl(L"LABEL", NA_IT_UNICODE, 8), Decl(L"B", NA_IT_I1, 1),
                     Decl(L"K", NA_IT_BINAIRE, 10, kComposed | kDup, true, {L"CODE", L"N"}),
                     Decl(L"KL", NA_IT_BINAIRE, 10, kComposed | kDup, true, {L"CODE", L"LABEL"}),
                     Decl(L"KB", NA_IT_BINAIRE, 10, kComposed | kDup, true, {L"CODE", L"B"})}));
  using V = std::vector<unsigned char>;
  const V ab = Bytes("ab", 4);
  struct Case {
    const char* name;
    const wchar_t* pszKey;
    V bytes;
    int bBound;
    size_t nValues;
    int bMin, bMax;
  };
  const Case cases[] = {
      {"a 0 byte on a number: its minimum", L"K", ab + V{0}, 1, 2, 1, 0},
      {"a 0xFF byte on a number: its maximum", L"K", ab + V{0xFF}, 1, 2, 0, 1},
      {"0xFF then more bytes on a number: its maximum", L"K", ab + V{0xFF, 0xFF}, 1, 2, 0, 1},
      {"a 0xFF byte outside a bound: half a number", L"K", ab + V{0xFF}, 0, 1, 0, 0},
      {"two 0 bytes on a number: no mark, half a number", L"K", ab + V{0, 0}, 1, 1, 0, 0},
      {"the unit 0xFFFF on a Unicode text: its maximum", L"KL", ab + V{0xFF, 0xFF}, 1, 2, 0, 1},
      {"the unit 0 on a Unicode text: its minimum", L"KL", ab + V{0, 0}, 1, 2, 1, 0},
      {"a single 0xFF on an 8-bit text: its maximum", L"K", V{0xFF}, 1, 1, 0, 1},
      {"a single 0 byte on an 8-bit text: its minimum", L"K", V{0}, 1, 1, 1, 0},
      {"a prefix is no mark", L"K", V{'a', 0xFF}, 1, 1, 0, 0},
      {"a one-byte number is whole, never a mark", L"KB", ab + V{0xFF}, 1, 2, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int bMin = -1, bMax = -1;
    ASSERT_TRUE(Cut(c.pszKey, Bin(c.bytes), c.bBound, &bMin, &bMax));
    EXPECT_EQ(m_values.size(), c.nValues);
    EXPECT_EQ(bMin, c.bMin);
    EXPECT_EQ(bMax, c.bMax);
  }
  int n = 0;
  ASSERT_TRUE(Cut(L"K", Bin(ab + V{0}), 1));
  ASSERT_EQ(m_values[1]->nGetINT(&n), 0);
  EXPECT_EQ(n, INT_MIN);
  ASSERT_TRUE(Cut(L"K", Bin(ab + V{0xFF}), 1));
  ASSERT_EQ(m_values[1]->nGetINT(&n), 0);
  EXPECT_EQ(n, INT_MAX);
  ASSERT_TRUE(Cut(L"KL", Bin(ab + V{0xFF, 0xFF}), 1));
  EXPECT_EQ(WideOf(*m_values[1]), std::wstring(1, wchar_t(0xFFFF)));
  ASSERT_TRUE(Cut(L"K", Bin(V{0xFF}), 1));
  EXPECT_EQ(AnsiOf(*m_values[0]), "\xFF");
  ASSERT_TRUE(Cut(L"KB", Bin(ab + V{0xFF}), 1));
  ASSERT_EQ(m_values[1]->nGetINT(&n), 0);
  EXPECT_EQ(n, -1);
}

// A text ending with the highest character (0xFF, the unit 0xFFFF) becomes
// the prefix before it; other values are left as they are.
TEST_F(CompositeSearch, AMaximalTextBecomesThePrefixBeforeItsHighestCharacter) {
  struct Case {
    const char* name;
    CAny value;
    int bExpected;
    int nType;
    std::wstring wide;
    std::string ansi;
  };
  CAny ansiMax;
  ansiMax.__SetType(VX_DSTRA, 0);
  ansiMax.SetValueByte("abc\xFF", 4);
  CAny ansiPlain;
  ansiPlain.__SetType(VX_DSTRA, 0);
  ansiPlain.SetValueByte("abc", 3);
  CAny ansiOnlyMax;
  ansiOnlyMax.__SetType(VX_DSTRA, 0);
  ansiOnlyMax.SetValueByte("\xFF", 1);
  const Case cases[] = {
      {"an 8-bit text ending with 0xFF", ansiMax, 1, VX_DSTRA, L"", "abc"},
      {"an 8-bit text that is only 0xFF", ansiOnlyMax, 1, VX_DSTRA, L"", ""},
      {"a plain 8-bit text", ansiPlain, 0, VX_DSTRA, L"", "abc"},
      {"a wide text ending with 0xFFFF", Wide(std::wstring(L"ab") + wchar_t(0xFFFF)), 1, VX_DSTRW,
       L"ab", ""},
      {"a plain wide text", Wide(L"ab"), 0, VX_DSTRW, L"ab", ""},
      {"an empty wide text", Wide(L""), 0, VX_DSTRW, L"", ""},
      {"a number", Int(255), 0, VX_I4, L"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CAny v = c.value;
    EXPECT_EQ(ProbeSearch::_bGenericSearchDueTohValMax(&v), c.bExpected);
    EXPECT_EQ(v.nGetTypeCode(), c.nType);
    if (c.nType == VX_DSTRW) {
      EXPECT_EQ(WideOf(v), c.wide);
    }
    if (c.nType == VX_DSTRA) {
      EXPECT_EQ(AnsiOf(v), c.ansi);
    }
  }
  CAny null = Wide(L"x");
  null.SetNull(true);
  EXPECT_EQ(ProbeSearch::_bGenericSearchDueTohValMax(&null), 0);
  EXPECT_EQ(ProbeSearch::_bGenericSearchDueTohValMax(nullptr), 0);
}

// ---------------------------------------------------------------------------
// Component lists of a positioned search

// The searched column (or its components) first, then the order columns up
// to a unique column that cannot be NULL, each once.
TEST_F(CompositeSearch, APositionedSearchListsTheSearchedColumnsThenTheOrderUpToTheUniqueKey) {
  ASSERT_TRUE(Build({Decl(L"ID", NA_IT_I4, 4, kPrimary, false), Decl(L"CODE", NA_IT_TEXTE, 5, kDup),
                     Decl(L"N", NA_IT_I4, 4, kDup),
                     Decl(L"K", NA_IT_BINAIRE, 8, kComposed | kDup, true, {L"N", L"CODE"})}));
  auto Names = [&](const wchar_t* pszColumn) {
    CNARefArray<CNAColumn> tab(4, 30);
    EXPECT_TRUE(Search()->_AddAllItem(m_pclRecord, Column(pszColumn), &tab));
    std::vector<std::wstring> names;
    for (int i = 0; i < tab.nGetNbElement(); ++i) names.emplace_back(tab[i]->pszGetName());
    return names;
  };
  EXPECT_EQ(Names(L"K"), (std::vector<std::wstring>{L"N", L"CODE", L"ID"}));
  EXPECT_EQ(Names(L"CODE"), (std::vector<std::wstring>{L"CODE", L"ID"}));
  EXPECT_EQ(Names(L"ID"), (std::vector<std::wstring>{L"ID"}));
}

// ---------------------------------------------------------------------------
// Conditions written

// The composite key K(CODE, N) of a record whose components refuse NULL:
// exact, generic and continuation conditions over composite values, at the
// root (an AND under OR needs no parentheses).
TEST_F(CompositeSearch, CompositeSearchesWriteEqualitiesAndLexicographicComparisons) {
  ASSERT_TRUE(Build({Decl(L"CODE", NA_IT_TEXTE, 5, 0, false), Decl(L"N", NA_IT_I4, 4, 0, false),
                     Decl(L"K", NA_IT_BINAIRE, 8, kComposed | kDup, false, {L"CODE", L"N"})}));
  using V = std::vector<unsigned char>;
  struct Case {
    const char* name;
    V bytes;
    int bExact;
    eNA_PARSEDIRECTION eContinue;  // NA_PARSE_CURRENT: the search itself
    std::wstring expected;
  };
  const Case cases[] = {
      {"exact, both components", Bytes("ab", 4) + I4Bytes(5), 1, NA_PARSE_CURRENT,
       L"`CODE`='ab' AND `N`=5"},
      {"exact, the first component only: the second is empty", Bytes("ab", 4), 1,
       NA_PARSE_CURRENT, L"`CODE`='ab' AND `N`=0"},
      {"generic, a prefix of the first component", Bytes("ab", 2), 0, NA_PARSE_CURRENT,
       L"`CODE` LIKE 'ab%' ESCAPE '!'"},
      {"generic, the first component whole and half the second", Bytes("ab", 4) + V{5, 0}, 0,
       NA_PARSE_CURRENT, L"`CODE` LIKE 'ab%' ESCAPE '!'"},
      {"forward after an exact search", Bytes("ab", 4) + I4Bytes(5), 1, NA_PARSE_FIRST,
       L"`CODE`>'ab' OR `CODE`='ab' AND `N`>5"},
      {"backward after an exact search", Bytes("ab", 4) + I4Bytes(5), 1, NA_PARSE_LAST,
       L"(`CODE`<'ab' OR `CODE` IS NULL) OR `CODE`='ab' AND (`N`<5 OR `N` IS NULL)"},
      {"forward after an exact search of the first component: after the whole key",
       Bytes("ab", 4), 1, NA_PARSE_FIRST, L"`CODE`>'ab' OR `CODE`='ab' AND `N`>0"},
      {"forward after a generic search: after the prefix's range", Bytes("ab", 2), 0,
       NA_PARSE_FIRST, L"`CODE`>'ab' AND `CODE` NOT LIKE 'ab%' ESCAPE '!'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CNARecherche* pclSearch = new CNARecherche(m_pclError, m_pclConnection);
    pclSearch->AddRef();
    const CAny value = Bin(c.bytes);
    ASSERT_TRUE(pclSearch->bSetRecherche(m_pclRecord, Item(L"K"), &value, NA_PARSE_FIRST,
                                         c.bExact, 0));
    if (c.eContinue != NA_PARSE_CURRENT) pclSearch->bSetContinueParcours(c.eContinue);
    EXPECT_EQ(Written(pclSearch), c.expected);
    pclSearch->nRelease();
  }
}

// Bounds of a filter on a composite key are lexicographic comparisons joined
// by AND: each OR stands in parentheses; a bound whose last component is
// marked maximal (upper) or minimal (lower) compares the components before
// it only.
TEST_F(CompositeSearch, FilterBoundsOnACompositeKeyAreLexicographicConditionsUnderAnd) {
  ASSERT_TRUE(Build({Decl(L"CODE", NA_IT_TEXTE, 5, 0, false), Decl(L"N", NA_IT_I4, 4, 0, false),
                     Decl(L"K", NA_IT_BINAIRE, 8, kComposed | kDup, false, {L"CODE", L"N"})}));
  using V = std::vector<unsigned char>;
  struct Case {
    const char* name;
    V lower;
    V upper;
    std::wstring expected;
  };
  const Case cases[] = {
      {"whole bounds", Bytes("ab", 4) + I4Bytes(1), Bytes("cd", 4) + I4Bytes(9),
       // (The formatted text keeps a value apart from the text after it.)
       L"(`CODE`>'ab' OR `CODE`='ab' AND `N`>=1 ) AND "
       L"((`CODE`<'cd' OR `CODE` IS NULL) OR `CODE`='cd' AND (`N`<=9 OR `N` IS NULL))"},
      {"from the minimum to the maximum of the number", Bytes("ab", 4) + V{0},
       Bytes("cd", 4) + V{0xFF}, L"`CODE`>='ab' AND (`CODE`<='cd' OR `CODE` IS NULL)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CNARecherche* pclSearch = new CNARecherche(m_pclError, m_pclConnection);
    pclSearch->AddRef();
    const CAny lower = Bin(c.lower);
    const CAny upper = Bin(c.upper);
    ASSERT_TRUE(pclSearch->bAddExpression(m_pclRecord, Item(L"K"), NA_OP_GREATER_OR_EQUAL, &lower,
                                          0, NA_OP_AND, 1));
    ASSERT_TRUE(pclSearch->bAddExpression(m_pclRecord, Item(L"K"), NA_OP_LESS_OR_EQUAL, &upper, 0,
                                          NA_OP_AND, 1));
    EXPECT_EQ(Written(pclSearch), c.expected);
    pclSearch->nRelease();
  }
}

// When the components compared so far complete a unique composite key that
// refuses NULL, equal on all of them is the current row alone: the strict
// comparison of the last of them ends the continuation.
TEST_F(CompositeSearch, AUniqueCompositeKeyEndsTheContinuation) {
  ASSERT_TRUE(Build({Decl(L"A", NA_IT_I4, 4, 0, false), Decl(L"B", NA_IT_I4, 4, 0, false),
                     Decl(L"C", NA_IT_I4, 4, 0, false),
                     Decl(L"AB", NA_IT_BINAIRE, 8, kComposed | kUnique, false, {L"A", L"B"}),
                     Decl(L"K", NA_IT_BINAIRE, 12, kComposed | kDup, false, {L"A", L"B", L"C"})}));
  struct Case {
    const char* name;
    eNA_PARSEDIRECTION eDirection;
    std::wstring expected;
  };
  const Case cases[] = {
      {"forward", NA_PARSE_FIRST, L"`A`>1 OR `A`=1 AND `B`>2"},
      {"backward", NA_PARSE_LAST, L"(`A`<1 OR `A` IS NULL) OR `A`=1 AND (`B`<2 OR `B` IS NULL)"},
  };
  const CAny value = Bin(I4Bytes(1) + I4Bytes(2) + I4Bytes(3));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CNARecherche* pclSearch = new CNARecherche(m_pclError, m_pclConnection);
    pclSearch->AddRef();
    ASSERT_TRUE(pclSearch->bSetRecherche(m_pclRecord, Item(L"K"), &value, NA_PARSE_FIRST, 1, 0));
    pclSearch->bSetContinueParcours(c.eDirection);
    EXPECT_EQ(Written(pclSearch), c.expected);
    pclSearch->nRelease();
  }
}

// A descending composite key turns each comparison of its components.
TEST_F(CompositeSearch, ADescendingCompositeKeyTurnsItsComparisons) {
  ASSERT_TRUE(Build({Decl(L"CODE", NA_IT_TEXTE, 5, 0, false), Decl(L"N", NA_IT_I4, 4, 0, false),
                     Decl(L"K", NA_IT_BINAIRE, 8, kComposed | kDup | kDesc, false,
                          {L"CODE", L"N"})}));
  CNARecherche* pclSearch = new CNARecherche(m_pclError, m_pclConnection);
  pclSearch->AddRef();
  const CAny value = Bin(Bytes("ab", 4) + I4Bytes(5));
  ASSERT_TRUE(pclSearch->bSetRecherche(m_pclRecord, Item(L"K"), &value, NA_PARSE_FIRST, 1, 0));
  pclSearch->bSetContinueParcours(NA_PARSE_FIRST);
  EXPECT_EQ(Written(pclSearch),
            L"(`CODE`<'ab' OR `CODE` IS NULL) OR `CODE`='ab' AND (`N`<5 OR `N` IS NULL)");
  pclSearch->nRelease();
}

// A Unicode component of a composite value is compared with the text the
// key holds in UTF-16, characters outside the basic plane included: the
// parameter holds the component's own value.
TEST_F(CompositeSearch, AUnicodeComponentIsComparedWithItsText) {
  ASSERT_TRUE(Build({Decl(L"LABEL", NA_IT_UNICODE, 12, 0, false), Decl(L"N", NA_IT_I4, 4, 0, false),
                     Decl(L"K", NA_IT_BINAIRE, 14, kComposed | kDup, false, {L"LABEL", L"N"})}));
  const std::wstring texts[] = {L"\u00e9t\u00e9", L"\u00e9\U0001F600x", L"\u4e2d\u6587"};
  for (const std::wstring& text : texts) {
    SCOPED_TRACE(testing::PrintToString(text));
    Set(L"LABEL", Wide(text));
    Set(L"N", Int(3));
    const CAny key = Current(L"K");
    CNARecherche* pclSearch = new CNARecherche(m_pclError, m_pclConnection);
    pclSearch->AddRef();
    ASSERT_TRUE(pclSearch->bSetRecherche(m_pclRecord, Item(L"K"), &key, NA_PARSE_FIRST, 1, 0));
    CNACommand* pclCommand = NewCommand();
    ASSERT_TRUE(pclSearch->bGetSQL(pclCommand, nullptr, m_pclRecord));
    EXPECT_EQ(Text(pclCommand).find(L"`LABEL`="), 0u) << Text(pclCommand);
    ASSERT_EQ(pclSearch->nGetNbParameter(), 2);
    CNAParameter* pclParameter = pclSearch->pclGetParameter(0);
    CAny v;
    ASSERT_TRUE(pclParameter->pclGetValueNoRef()->bGetValue(&v));
    EXPECT_EQ(WideOf(v), text);
    pclParameter->nRelease();
    pclCommand->nRelease();
    pclSearch->nRelease();
  }
}

// A component that is a unique key refusing NULL (or a unique key given a
// value) finds the row alone: the equality compares it only, unless it is
// the prefix a generic search ends with.
TEST_F(CompositeSearch, AUniqueComponentAloneGivesTheCompositeEquality) {
  ASSERT_TRUE(Build({Decl(L"ID", NA_IT_I4, 4, kPrimary, false), Decl(L"N", NA_IT_I4, 4, 0, false),
                     Decl(L"K", NA_IT_BINAIRE, 8, kComposed | kDup, false, {L"ID", L"N"}),
                     Decl(L"KN", NA_IT_BINAIRE, 8, kComposed | kDup, false, {L"N", L"ID"})}));
  struct Case {
    const char* name;
    const wchar_t* pszKey;
    std::vector<unsigned char> bytes;
    int bExact;
    std::wstring expected;
  };
  const Case cases[] = {
      {"the unique component first", L"K", I4Bytes(7) + I4Bytes(5), 1, L"`ID`=7"},
      {"the unique component second", L"KN", I4Bytes(5) + I4Bytes(7), 1, L"`ID`=7"},
      {"the unique component ends a generic search", L"KN", I4Bytes(5) + I4Bytes(7), 0,
       L"`N`=5 AND `ID`=7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CNARecherche* pclSearch = new CNARecherche(m_pclError, m_pclConnection);
    pclSearch->AddRef();
    const CAny value = Bin(c.bytes);
    ASSERT_TRUE(pclSearch->bSetRecherche(m_pclRecord, Item(c.pszKey), &value, NA_PARSE_FIRST,
                                         c.bExact, 0));
    EXPECT_EQ(Written(pclSearch), c.expected);
    pclSearch->nRelease();
  }
}

// Positioned on the record, a browse on a composite key that is not unique
// goes on after the current row by its components and then the order
// columns up to the unique key, with the record's own values.
TEST_F(CompositeSearch, APositionedBrowseOnACompositeKeyGoesOnByTheRecordsOrder) {
  ASSERT_TRUE(Build({Decl(L"ID", NA_IT_I4, 4, kPrimary, false), Decl(L"CODE", NA_IT_TEXTE, 5, 0, false),
                     Decl(L"N", NA_IT_I4, 4, 0, false),
                     Decl(L"K", NA_IT_BINAIRE, 8, kComposed | kDup, false, {L"CODE", L"N"})}));
  Set(L"ID", Int(7));
  Set(L"CODE", Wide(L"ab"));
  Set(L"N", Int(5));
  CNARecherche* pclSearch = new CNARecherche(m_pclError, m_pclConnection);
  pclSearch->AddRef();
  ASSERT_TRUE(pclSearch->bRechercheEnreg(m_pclRecord, Item(L"K"), NA_PARSE_FIRST, 0, nullptr));
  EXPECT_EQ(Written(pclSearch), L"`ID`=7");
  pclSearch->bSetContinueParcours(NA_PARSE_FIRST);
  EXPECT_EQ(Written(pclSearch), L"`CODE`>'ab' OR `CODE`='ab' AND (`N`>5 OR `N`=5 AND `ID`>7 )");
  pclSearch->nRelease();
}

}  // namespace
