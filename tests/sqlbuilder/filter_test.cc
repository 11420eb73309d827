// Filters: the bounds of a browse as a condition (equal bounds, descending
// items, extremes, NULL let through), their activation, their equality, the
// saved filter, and the filter joined to a search's condition.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sqlbuilder/filter.h"
#include "sqlbuilder/record_search.h"
#include "tests/sqlbuilder/search_fixture.h"

namespace kqtest {
namespace {

constexpr unsigned short kDescending = 0x0400;

StandInItemDecl Decl(const wchar_t* pszName, int nType, int nSize, unsigned short nKeyFlags = 0) {
  StandInItemDecl decl;
  decl.name = pszName;
  decl.type = nType;
  decl.size = nSize;
  decl.keyFlags = nKeyFlags;
  return decl;
}

// A bound of a case: absent, a number, or the type's extreme.
struct Bound {
  enum Kind { kNone, kValue, kMin, kMax } kind;
  int n;
};
constexpr Bound kAbsent{Bound::kNone, 0};
constexpr Bound V(int n) { return Bound{Bound::kValue, n}; }
constexpr Bound kMinimum{Bound::kMin, 0};
constexpr Bound kMaximum{Bound::kMax, 0};

class Filter : public SearchFixture {
 protected:
  void SetUp() override {
    SearchFixture::SetUp();
    ASSERT_TRUE(Build({Decl(L"N", NA_IT_I4, 4), Decl(L"DN", NA_IT_I4, 4, kDescending),
                       Decl(L"S", NA_IT_TEXTE, 21)}));
  }

  // A new filter of the fixture's connection, one reference (the caller
  // releases it).
  CNAFilter* NewFilter() {
    auto* p = new CNAFilter(m_pclError, m_pclConnection);
    p->AddRef();
    return p;
  }
  static CAny Make(const Bound& b) {
    CAny v = Int(b.n);
    if (b.kind == Bound::kMin) CNARecherche::s_SetAnyToMin(&v);
    if (b.kind == Bound::kMax) CNARecherche::s_SetAnyToMax(&v);
    return v;
  }
  int SetBounds(CNAFilter* pclFilter, const wchar_t* pszItem, const Bound& lower, int bLowerIn,
                const Bound& upper, int bUpperIn) {
    const CAny a = Make(lower);
    const CAny b = Make(upper);
    return pclFilter->bSetFilter(m_pclRecord, Item(pszItem),
                                 lower.kind == Bound::kNone ? nullptr : &a, bLowerIn,
                                 upper.kind == Bound::kNone ? nullptr : &b, bUpperIn, nullptr, 0);
  }
  // The formatted condition that pclSearch (an inactive search when null)
  // writes with the filter; "<failed>" when the write fails.
  std::wstring Written(CNAFilter* pclFilter, CNARecherche* pclSearch = nullptr) {
    CNARecherche* pclOwn = nullptr;
    if (pclSearch == nullptr) {
      pclOwn = new CNARecherche(m_pclError, m_pclConnection);
      pclOwn->AddRef();
      pclSearch = pclOwn;
    }
    CNACommand* pclCommand = NewCommand();
    const int bOk = pclSearch->bGetSQL(pclCommand, pclFilter, m_pclRecord);
    std::wstring text = bOk ? (pclCommand->bIsEmpty() ? std::wstring() : Formatted(pclCommand))
                            : std::wstring(L"<failed>");
    pclCommand->nRelease();
    if (pclOwn != nullptr) pclOwn->nRelease();
    // The blank the parameter writer may leave before a closing parenthesis
    // is not the filter's concern.
    for (size_t n = text.find(L" )"); n != std::wstring::npos; n = text.find(L" )"))
      text.erase(n, 1);
    return text;
  }
};

struct BoundsCase {
  const char* what;
  const wchar_t* item;
  Bound lower;
  int lowerIn;
  Bound upper;
  int upperIn;
  const wchar_t* expected;
};

TEST_F(Filter, BoundsAreWrittenAsComparisonsOfTheItem) {
  const BoundsCase cases[] = {
      {"both included", L"N", V(10), 1, V(20), 1, L"`N`>=10 AND `N`<=20"},
      {"both excluded", L"N", V(10), 0, V(20), 0, L"`N`>10 AND `N`<20"},
      {"lower alone", L"N", V(10), 1, kAbsent, 0, L"`N`>=10"},
      {"upper alone", L"N", kAbsent, 0, V(20), 0, L"`N`<20"},
      {"equal bounds give one equality", L"N", V(15), 1, V(15), 1, L"`N`=15"},
      {"equal bounds, one excluded, select nothing", L"N", V(15), 1, V(15), 0,
       L"`N`>=15 AND `N`<15"},
      {"crossing bounds are written as given", L"N", V(20), 1, V(10), 1, L"`N`>=20 AND `N`<=10"},
      {"descending item: bounds exchanged", L"DN", V(20), 1, V(10), 1, L"`DN`>=10 AND `DN`<=20"},
      {"descending item: inclusive flags stay in place", L"DN", V(20), 1, V(10), 0,
       L"`DN`>=10 AND `DN`<20"},
      {"descending item, one bound: not exchanged", L"DN", V(20), 1, kAbsent, 0, L"`DN`>=20"},
      {"lower at the minimum", L"N", kMinimum, 1, V(20), 1, L"`N`<=20"},
      {"upper at the maximum", L"N", V(10), 1, kMaximum, 1, L"`N`>=10"},
      {"both at their extremes", L"N", kMinimum, 1, kMaximum, 1, L""},
      {"a lower bound of 0 lets NULL through on both sides", L"N", V(0), 1, V(20), 1,
       L"(`N`>=0 OR `N` IS NULL) AND "
       L"(`N`<=20 OR `N` IS NULL)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CNAFilter* pclFilter = NewFilter();
    EXPECT_EQ(SetBounds(pclFilter, c.item, c.lower, c.lowerIn, c.upper, c.upperIn), 1);
    pclFilter->ActivateFilter(1);
    EXPECT_EQ(Written(pclFilter), c.expected);
    pclFilter->nRelease();
  }
}

TEST_F(Filter, TextBoundsAreValuesNeverPatternsOrText) {
  struct Case {
    const char* what;
    const wchar_t* lower;
    const wchar_t* upper;
    const wchar_t* expected;
  } cases[] = {
      // (Backslashes depend on the server's dialect: the server tests.)
      {"quotes are doubled", L"a'b", L"a'z", L"`S`>='a''b' AND `S`<='a''z'"},
      {"LIKE characters are plain", L"a%", L"a_z", L"`S`>='a%' AND `S`<='a_z'"},
      {"from the empty text: NULL let through by the upper bound", L"", L"ab",
       L"(`S`<='ab' OR `S` IS NULL)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CNAFilter* pclFilter = NewFilter();
    const CAny a = Wide(c.lower);
    const CAny b = Wide(c.upper);
    EXPECT_EQ(pclFilter->bSetFilter(m_pclRecord, Item(L"S"), &a, 1, &b, 1, nullptr, 0), 1);
    pclFilter->ActivateFilter(1);
    EXPECT_EQ(Written(pclFilter), c.expected);
    pclFilter->nRelease();
  }
}

TEST_F(Filter, BoundsAtTheirExtremesLeaveNoConditionAndSucceed) {
  CNAFilter* pclFilter = NewFilter();
  EXPECT_EQ(SetBounds(pclFilter, L"N", kMinimum, 1, kMaximum, 1), 1);
  EXPECT_EQ(pclFilter->pclGetCurrentExpressionNoRef(), nullptr);
  CNAExpression* pclCondition = pclFilter->pclGetExpression();
  EXPECT_EQ(pclCondition, nullptr);
  KQRelease(pclCondition);
  pclFilter->nRelease();
}

TEST_F(Filter, NothingAskedIsNoConditionAndSucceeds) {
  CNAFilter* pclFilter = NewFilter();
  EXPECT_EQ(pclFilter->bSetFilter(m_pclRecord, Item(L"N"), nullptr, 1, nullptr, 1, nullptr, 0), 1);
  EXPECT_EQ(pclFilter->pclGetCurrentExpressionNoRef(), nullptr);
  EXPECT_EQ(pclFilter->piGetFetchItemNoRef(), Item(L"N"));
  pclFilter->nRelease();
}

TEST_F(Filter, AConditionIsHeldAsFilterConditionAndCurrentCondition) {
  CNAFilter* pclFilter = NewFilter();
  EXPECT_EQ(SetBounds(pclFilter, L"N", V(1), 1, V(2), 1), 1);
  CNAExpression* pclCondition = pclFilter->pclGetExpression();
  ASSERT_NE(pclCondition, nullptr);
  EXPECT_EQ(pclFilter->pclGetCurrentExpressionNoRef(), pclCondition);
  EXPECT_EQ(pclCondition->eGetOperator(), NA_OP_AND);
  pclCondition->nRelease();
  // Setting is not activating.
  EXPECT_EQ(pclFilter->bIsFilterActive(), 0);
  pclFilter->nRelease();
}

TEST_F(Filter, ABoundTheItemCannotHoldFailsAndLeavesNoCondition) {
  // Without that part the filter would let every row in.
  CNAFilter* pclFilter = NewFilter();
  const CAny text = Wide(L"abc");
  const CAny twenty = Int(20);
  m_pclError->Reset();
  EXPECT_EQ(pclFilter->bSetFilter(m_pclRecord, Item(L"N"), &text, 1, &twenty, 1, nullptr, 0), 0);
  EXPECT_EQ(m_pclError->nGetUserErrorCode(), 53u);
  EXPECT_EQ(pclFilter->pclGetCurrentExpressionNoRef(), nullptr);
  pclFilter->nRelease();
}

TEST_F(Filter, ANewConditionReplacesThePreviousOne) {
  CNAFilter* pclFilter = NewFilter();
  ASSERT_EQ(SetBounds(pclFilter, L"N", V(1), 1, V(2), 1), 1);
  ASSERT_EQ(SetBounds(pclFilter, L"S", kAbsent, 0, kAbsent, 0), 1);
  EXPECT_EQ(pclFilter->pclGetCurrentExpressionNoRef(), nullptr);
  EXPECT_EQ(pclFilter->piGetFetchItemNoRef(), Item(L"S"));
  pclFilter->nRelease();
}

TEST_F(Filter, TheDuplicateCheckComparesWithTheRecordsOwnValue) {
  const CAny seven = Int(7);
  ASSERT_TRUE(Column(L"N")->bSetValue(&seven, 0));
  CNAFilter* pclFilter = NewFilter();
  EXPECT_EQ(pclFilter->bSetFilter(m_pclRecord, Item(L"N"), nullptr, 0, nullptr, 0, nullptr,
                                  CNARecherche::kRecordValues),
            1);
  pclFilter->ActivateFilter(1);
  EXPECT_EQ(Written(pclFilter), L"`N`=7");
  pclFilter->nRelease();
}

TEST_F(Filter, OnlyAnActiveFilterIsWrittenAndDeactivatingKeepsItsCondition) {
  CNAFilter* pclFilter = NewFilter();
  ASSERT_EQ(SetBounds(pclFilter, L"N", V(10), 1, kAbsent, 0), 1);
  EXPECT_EQ(Written(pclFilter), L"");

  pclFilter->ActivateFilter(1);
  EXPECT_EQ(pclFilter->bIsFilterActive(), 1);
  EXPECT_EQ(Written(pclFilter), L"`N`>=10");

  pclFilter->ActivateFilter(0);
  EXPECT_EQ(pclFilter->bIsFilterActive(), 0);
  EXPECT_EQ(pclFilter->pclGetCurrentExpressionNoRef(), nullptr);
  CNAExpression* pclCondition = pclFilter->pclGetExpression();
  EXPECT_NE(pclCondition, nullptr);
  KQRelease(pclCondition);
  EXPECT_EQ(Written(pclFilter), L"");

  pclFilter->ActivateFilter(1);
  EXPECT_EQ(Written(pclFilter), L"`N`>=10");
  pclFilter->nRelease();
}

TEST_F(Filter, AnActiveFilterIsJoinedBeforeTheSearchCondition) {
  CNAFilter* pclFilter = NewFilter();
  ASSERT_EQ(SetBounds(pclFilter, L"N", V(10), 1, V(20), 1), 1);
  pclFilter->ActivateFilter(1);
  auto* pclSearch = new CNARecherche(m_pclError, m_pclConnection);
  pclSearch->AddRef();
  const CAny abc = Wide(L"abc");
  ASSERT_EQ(pclSearch->bSetRecherche(m_pclRecord, Item(L"S"), &abc, NA_PARSE_FIRST, 1, 0), 1);
  EXPECT_EQ(Written(pclFilter, pclSearch), L"(`N`>=10 AND `N`<=20) AND `S`='abc'");
  // An inactive filter leaves the search alone.
  pclFilter->ActivateFilter(0);
  EXPECT_EQ(Written(pclFilter, pclSearch), L"`S`='abc'");
  pclSearch->nRelease();
  pclFilter->nRelease();
}

TEST_F(Filter, AFilterCloneIsAFilterSharingTheCondition) {
  CNAFilter* pclFilter = NewFilter();
  ASSERT_EQ(SetBounds(pclFilter, L"N", V(10), 1, kAbsent, 0), 1);
  pclFilter->ActivateFilter(1);
  CNARecherche* pclClone = pclFilter->pclClone();
  ASSERT_NE(pclClone, nullptr);
  pclClone->AddRef();
  auto* pclCloneFilter = dynamic_cast<CNAFilter*>(pclClone);
  ASSERT_NE(pclCloneFilter, nullptr);
  EXPECT_EQ(pclCloneFilter->bIsFilterActive(), 1);
  EXPECT_EQ(pclCloneFilter->pclGetCurrentExpressionNoRef(),
            pclFilter->pclGetCurrentExpressionNoRef());
  pclClone->nRelease();
  pclFilter->nRelease();
}

TEST_F(Filter, FiltersAreEqualWhenAbsentOrInactiveOrTheSame) {
  CNAFilter* pclActive = NewFilter();
  pclActive->ActivateFilter(1);
  CNAFilter* pclInactive = NewFilter();
  struct Case {
    const char* what;
    CNAFilter* a;
    CNAFilter* b;
    int expected;
  } cases[] = {
      {"both absent", nullptr, nullptr, 1},
      {"absent and inactive", nullptr, pclInactive, 1},
      {"inactive and absent", pclInactive, nullptr, 1},
      {"absent and active", nullptr, pclActive, 0},
      {"active and absent", pclActive, nullptr, 0},
      {"the same filter", pclActive, pclActive, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CNAFilter::g_bEqualsFilter(c.a, c.b), c.expected);
  }
  pclActive->nRelease();
  pclInactive->nRelease();
}

struct EqualityCase {
  const char* what;
  const wchar_t* itemB;
  Bound lowerB;
  int lowerInB;
  Bound upperB;
  int upperInB;
  int expected;
};

TEST_F(Filter, TwoFiltersAreEqualOnlyWithTheSameItemBoundsAndInclusion) {
  // Filter A: N from 10 to 20, both included, active.
  const EqualityCase cases[] = {
      {"the same bounds", L"N", V(10), 1, V(20), 1, 1},
      {"another upper bound", L"N", V(10), 1, V(30), 1, 0},
      {"another lower bound", L"N", V(5), 1, V(20), 1, 0},
      {"an upper bound excluded", L"N", V(10), 1, V(20), 0, 0},
      {"no upper bound", L"N", V(10), 1, kAbsent, 0, 0},
      {"another item", L"DN", V(10), 1, V(20), 1, 0},
  };
  CNAFilter* pclA = NewFilter();
  ASSERT_EQ(SetBounds(pclA, L"N", V(10), 1, V(20), 1), 1);
  pclA->ActivateFilter(1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CNAFilter* pclB = NewFilter();
    ASSERT_EQ(SetBounds(pclB, c.itemB, c.lowerB, c.lowerInB, c.upperB, c.upperInB), 1);
    pclB->ActivateFilter(1);
    EXPECT_EQ(CNAFilter::g_bEqualsFilter(pclA, pclB), c.expected);
    EXPECT_EQ(CNAFilter::g_bEqualsFilter(pclB, pclA), c.expected);
    // A saved position under A tells whether B is still its filter.
    CNAFilterSave clSave(pclA);
    EXPECT_EQ(clSave.bFilterEquals(pclB), c.expected);
    pclB->nRelease();
  }
  pclA->nRelease();
}

TEST_F(Filter, ASavedFilterIsHeldAndComparedWithItsActiveState) {
  CNAFilter* pclFilter = NewFilter();
  pclFilter->ActivateFilter(1);
  {
    CNAFilterSave clSave(pclFilter);
    EXPECT_EQ(clSave.pclGetFilterNoRef(), pclFilter);
    EXPECT_EQ(pclFilter->nGetRefCount(), 2);
    EXPECT_EQ(clSave.bGetSavedActive(), 1);
    EXPECT_EQ(clSave.bFilterEquals(pclFilter), 1);
    EXPECT_EQ(clSave.bFilterEquals(nullptr), 0);

    pclFilter->ActivateFilter(0);
    EXPECT_EQ(clSave.bFilterEquals(pclFilter), 0);
    // The same filter given again changes nothing, not even the state.
    clSave.SetFilter(pclFilter);
    EXPECT_EQ(clSave.bGetSavedActive(), 1);
    EXPECT_EQ(pclFilter->nGetRefCount(), 2);
  }
  EXPECT_EQ(pclFilter->nGetRefCount(), 1);
  pclFilter->nRelease();
}

TEST_F(Filter, NoSavedFilterEqualsNoFilterOrAnInactiveOne) {
  CNAFilter* pclFilter = NewFilter();
  CNAFilterSave clSave;
  EXPECT_EQ(clSave.bFilterEquals(nullptr), 1);
  EXPECT_EQ(clSave.bFilterEquals(pclFilter), 1);
  pclFilter->ActivateFilter(1);
  EXPECT_EQ(clSave.bFilterEquals(pclFilter), 0);
  pclFilter->nRelease();
}

TEST_F(Filter, SavingNoFilterAfterAnActiveOneRecordsNoActiveFilter) {
  CNAFilter* pclFilter = NewFilter();
  pclFilter->ActivateFilter(1);
  CNAFilterSave clSave(pclFilter);
  clSave.SetFilter(nullptr);
  EXPECT_EQ(pclFilter->nGetRefCount(), 1);
  EXPECT_EQ(clSave.bGetSavedActive(), 0);
  EXPECT_EQ(clSave.bFilterEquals(nullptr), 1);
  pclFilter->nRelease();
}

TEST_F(Filter, CopyTakesTheOthersFilterAndItsRecordedState) {
  CNAFilter* pclFilter = NewFilter();
  pclFilter->ActivateFilter(1);
  CNAFilterSave clFrom(pclFilter);
  pclFilter->ActivateFilter(0);
  CNAFilterSave clTo;
  clTo.Copy(clFrom);
  EXPECT_EQ(clTo.pclGetFilterNoRef(), pclFilter);
  EXPECT_EQ(clTo.bGetSavedActive(), 1);
  EXPECT_EQ(pclFilter->nGetRefCount(), 3);
  EXPECT_EQ(clTo.bFilterEquals(pclFilter), 0);
  pclFilter->ActivateFilter(1);
  EXPECT_EQ(clTo.bFilterEquals(pclFilter), 1);
  clTo.SetFilter(nullptr);
  clFrom.SetFilter(nullptr);
  pclFilter->nRelease();
}

}  // namespace
}  // namespace kqtest
