// Record searches: the set-up (one-column searches, searches positioned on
// the record, items the record does not hold, values the column cannot
// hold), the continuation states with their directions and found flags, the
// bounds of filters at the types' extremes and the maximal-text bound, the
// SQL written with and without an active filter, parameters, equality and
// clones, and the item test g_bItemUniqueNotNull.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "core/counted_string.h"
#include "host/harness/standin_descriptions.h"
#include "items/column.h"
#include "items/convert_variant.h"
#include "items/record.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/expression.h"
#include "sqlbuilder/filter.h"
#include "sqlbuilder/record_search.h"
#include "tests/sqlbuilder/search_fixture.h"
#include "tests/support/standin_items.h"
#include "values/any.h"

namespace {

constexpr unsigned short kPrimary = 0x8000, kUnique = 0x4000, kDup = 0x2000;

using kqtest::Decl;

// The search's building steps, for the tests of one comparison.
class TestSearch : public CNARecherche {
 public:
  using CNARecherche::CNARecherche;
  using CNARecherche::_GetValue;
  using CNARecherche::_pclAddExpression;
  using CNARecherche::_pclAddKeyExpression;
  int bBuildFailed() const { return m_bBuildFailed; }
};

class RecordSearch : public kqtest::SearchFixture {
 protected:
  void SetUp() override {
    SearchFixture::SetUp();
    ASSERT_TRUE(Build({Decl(L"ID", NA_IT_I4, 4, kPrimary, false), Decl(L"NAME", NA_IT_TEXTE, 21, kDup),
                       Decl(L"N", NA_IT_I4, 4), Decl(L"AMOUNT", NA_IT_MONETAIRE, 10),
                       Decl(L"WHEN", NA_IT_DATETIME, 8), Decl(L"FLAG", NA_IT_BOOLEEN, 1)}));
  }
  void TearDown() override {
    for (CNARecherche* p : m_searches) EXPECT_EQ(p->nRelease(), 0);
    m_searches.clear();
    SearchFixture::TearDown();
  }

  // A new search of the fixture's connection, released at the end.
  TestSearch* NewSearch() {
    auto* p = new TestSearch(m_pclError, m_pclConnection);
    p->AddRef();
    m_searches.push_back(p);
    return p;
  }
  CNAFilter* NewFilter() {
    auto* p = new CNAFilter(m_pclError, m_pclConnection);
    p->AddRef();
    m_searches.push_back(p);
    return p;
  }

  // What bGetSQL writes (formatted, every value written out), or
  // "<failed>".
  std::wstring Sql(CNARecherche* pclSearch, CNAFilter* pclFilter = nullptr) {
    CNACommand* pclCommand = NewCommand();
    const int bOk = pclSearch->bGetSQL(pclCommand, pclFilter, m_pclRecord);
    std::wstring str = bOk ? Formatted(pclCommand) : std::wstring(L"<failed>");
    pclCommand->nRelease();
    return WithoutBlankBeforeParenthesis(str);
  }
  // The formatted text may set a literal apart from a closing parenthesis;
  // the condition is the same.
  static std::wstring WithoutBlankBeforeParenthesis(std::wstring str) {
    for (size_t i = str.find(L" )"); i != std::wstring::npos; i = str.find(L" )")) str.erase(i, 1);
    return str;
  }
  // What a tree writes on its own.
  std::wstring TreeSql(CNAExpression* pclTree, CNARecherche* pclSearch) {
    CNACommand* pclCommand = NewCommand();
    int bConstant = 0;
    const int bOk = pclTree->bGetSQL(pclCommand, NA_OP_EMPTY, pclSearch, &bConstant, m_pclRecord);
    std::wstring str = bOk ? Formatted(pclCommand) : std::wstring(L"<failed>");
    if (bConstant) str = L"<constant>";
    pclCommand->nRelease();
    return str;
  }

  void SetColumn(const wchar_t* pszName, const CAny& v) {
    ASSERT_TRUE(Column(pszName)->bSetValue(&v, 0));
  }

  std::vector<CNARecherche*> m_searches;
};

// ---- Set-up

TEST_F(RecordSearch, AnExactSearchWritesOneEqualityAndItsTwoContinuations) {
  TestSearch* s = NewSearch();
  const CAny five = Int(5);
  ASSERT_TRUE(s->bSetRecherche(m_pclRecord, Item(L"ID"), &five, NA_PARSE_FIRST, 1, 0));
  EXPECT_EQ(s->nGetState(), 1);
  EXPECT_EQ(s->nGetFlags(), 0u);
  EXPECT_EQ(s->piGetFetchItemNoRef(), Item(L"ID"));
  EXPECT_EQ(Sql(s), L"`ID`=5");
  ASSERT_NE(s->pclGetForwardExpressionNoRef(), nullptr);
  ASSERT_NE(s->pclGetBackwardExpressionNoRef(), nullptr);
  EXPECT_EQ(TreeSql(s->pclGetForwardExpressionNoRef(), s), L"`ID`>5");
  EXPECT_EQ(TreeSql(s->pclGetBackwardExpressionNoRef(), s), L"`ID`<5");
}

TEST_F(RecordSearch, AGenericSearchIsFlaggedGeneric) {
  TestSearch* s = NewSearch();
  const CAny ab = Wide(L"ab");
  ASSERT_TRUE(s->bSetRecherche(m_pclRecord, Item(L"NAME"), &ab, NA_PARSE_FIRST, 0, 0));
  EXPECT_EQ(s->nGetFlags(), CNARecherche::kGeneric);
  ASSERT_NE(s->pclGetCurrentExpressionNoRef(), nullptr);
  EXPECT_TRUE(s->pclGetCurrentExpressionNoRef()->bIsGenerique());
}

// A generic search for a text that ends with a character 0 means that exact
// text.
TEST_F(RecordSearch, AGenericValueEndingWithACharacterZeroSearchesExactly) {
  TestSearch* s = NewSearch();
  const CAny ab = Wide(std::wstring(L"ab") + L'\0');
  ASSERT_TRUE(s->bSetRecherche(m_pclRecord, Item(L"NAME"), &ab, NA_PARSE_FIRST, 0, 0));
  ASSERT_NE(s->pclGetCurrentExpressionNoRef(), nullptr);
  EXPECT_FALSE(s->pclGetCurrentExpressionNoRef()->bIsGenerique());
}

TEST_F(RecordSearch, ASearchOnAnItemTheRecordDoesNotHoldIsInactiveAndWritesNothing) {
  StandInItemDecl ghost = Decl(L"GHOST", NA_IT_I4, 4, kPrimary, false);
  CStandInItem* piGhost = CStandInItem::pclNew(ghost, 12);
  ASSERT_NE(piGhost, nullptr);
  TestSearch* s = NewSearch();
  const CAny five = Int(5);
  EXPECT_TRUE(s->bSetRecherche(m_pclRecord, piGhost, &five, NA_PARSE_FIRST, 1, 0));
  EXPECT_EQ(s->nGetState(), 0);
  EXPECT_EQ(s->pclGetCurrentExpressionNoRef(), nullptr);
  CNACommand* pclCommand = NewCommand();
  EXPECT_TRUE(s->bGetSQL(pclCommand, nullptr, m_pclRecord));
  EXPECT_EQ(Text(pclCommand), L"");
  pclCommand->nRelease();
  EXPECT_EQ(s->bPeutContinuerParcours(NA_PARSE_FIRST), 0);
  s->Desactivate();
  piGhost->nExternalRelease();
}

TEST_F(RecordSearch, ANullItemGivesAnInactiveSearch) {
  TestSearch* s = NewSearch();
  const CAny five = Int(5);
  EXPECT_TRUE(s->bSetRecherche(m_pclRecord, nullptr, &five, NA_PARSE_FIRST, 1, 0));
  EXPECT_EQ(s->nGetState(), 0);
  EXPECT_EQ(Sql(s), L"");
}

// An inactive search writes no condition at all, which would read every
// row: a value the column cannot hold fails the set-up instead.
TEST_F(RecordSearch, AValueTheColumnCannotHoldFailsTheSetUp) {
  TestSearch* s = NewSearch();
  const CAny text = Wide(L"not a date at all");
  EXPECT_FALSE(s->bSetRecherche(m_pclRecord, Item(L"WHEN"), &text, NA_PARSE_FIRST, 1, 0));
  EXPECT_EQ(s->nGetState(), 0);
  EXPECT_NE(m_pclError->dwGetErrorId(), 0u);
  EXPECT_EQ(s->bPeutContinuerParcours(NA_PARSE_FIRST), 0);
}

TEST_F(RecordSearch, PositioningOnANonUniqueItemWritesOneEqualityOnTheUniqueKey) {
  SetColumn(L"ID", Int(7));
  SetColumn(L"NAME", Wide(L"Smith"));
  TestSearch* s = NewSearch();
  ASSERT_TRUE(s->bRechercheEnreg(m_pclRecord, Item(L"NAME"), NA_PARSE_FIRST, 1, nullptr));
  EXPECT_EQ(s->nGetFlags(), 0x1Au);
  EXPECT_EQ(s->nGetState(), 1);
  EXPECT_EQ(Sql(s), L"`ID`=7");
  EXPECT_EQ(s->pclGetForwardExpressionNoRef(), nullptr) << "no continuation asked";
  EXPECT_EQ(s->pclGetBackwardExpressionNoRef(), nullptr);
  // Nothing to continue with: a continuation would write no condition.
  EXPECT_EQ(s->bPeutContinuerParcours(NA_PARSE_FIRST), 0);
  EXPECT_EQ(s->bPeutContinuerParcours(NA_PARSE_LAST), 0);
}

TEST_F(RecordSearch, PositioningOnTheUniqueKeyContinuesByTheKey) {
  SetColumn(L"ID", Int(7));
  TestSearch* s = NewSearch();
  ASSERT_TRUE(s->bRechercheEnreg(m_pclRecord, Item(L"ID"), NA_PARSE_FIRST, 0, nullptr));
  EXPECT_EQ(s->nGetFlags(), 0x0Au);
  EXPECT_EQ(Sql(s), L"`ID`=7");
  ASSERT_NE(s->pclGetForwardExpressionNoRef(), nullptr);
  EXPECT_EQ(TreeSql(s->pclGetForwardExpressionNoRef(), s), L"`ID`>7");
  EXPECT_EQ(TreeSql(s->pclGetBackwardExpressionNoRef(), s), L"`ID`<7");
}

// ---- Continuation states

TEST_F(RecordSearch, ContinuationSwitchesFollowTheStateTable) {
  enum Op { kSwitch, kBack, kCancel, kActivate, kDeactivate };
  enum Tree { kNone, kSearch, kForward, kBackward };
  struct Step {
    Op op;
    eNA_PARSEDIRECTION eDirection;
    int nState;
    int eDirectionAfter;
    int bFound;
    Tree eCurrent;
    int bMayForward;
    int bMayBackward;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"forward and back",
       {{kSwitch, NA_PARSE_FIRST, 2, 0, 0, kForward, 0, 1},
        {kBack, NA_PARSE_FIRST, 1, 0, 1, kSearch, 1, 1}}},
      {"backward and back",
       {{kSwitch, NA_PARSE_LAST, 2, 1, 0, kBackward, 1, 0},
        {kBack, NA_PARSE_LAST, 1, 1, 1, kSearch, 1, 1}}},
      {"next is forward",
       {{kSwitch, NA_PARSE_NEXT, 2, 2, 0, kForward, 1, 1}}},
      {"a second switch returns to the search",
       {{kSwitch, NA_PARSE_FIRST, 2, 0, 0, kForward, 0, 1},
        {kSwitch, NA_PARSE_LAST, 1, 1, 1, kSearch, 1, 1}}},
      {"cancel makes found in every state",
       {{kSwitch, NA_PARSE_FIRST, 2, 0, 0, kForward, 0, 1},
        {kCancel, NA_PARSE_FIRST, 2, 0, 1, kForward, 0, 1},
        {kDeactivate, NA_PARSE_FIRST, 0, 0, 1, kNone, 0, 0}}},
      {"deactivated, then activated",
       {{kDeactivate, NA_PARSE_FIRST, 0, 4, 0, kNone, 0, 0},
        {kActivate, NA_PARSE_FIRST, 1, 4, 1, kSearch, 1, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestSearch* s = NewSearch();
    const CAny five = Int(5);
    ASSERT_TRUE(s->bSetRecherche(m_pclRecord, Item(L"ID"), &five, NA_PARSE_CURRENT, 1, 0));
    EXPECT_EQ(s->nGetState(), 1);
    EXPECT_EQ(s->bHTrouve(), 1) << "searching: always found";
    EXPECT_EQ(s->eGetDirection(), NA_PARSE_CURRENT);
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& st = c.steps[i];
      SCOPED_TRACE(i);
      switch (st.op) {
        case kSwitch: EXPECT_TRUE(s->bSetContinueParcours(st.eDirection)); break;
        case kBack: EXPECT_TRUE(s->bReviensParcoursPrecedent(st.eDirection)); break;
        case kCancel: s->Cancel(); break;
        case kActivate: s->Activate(); break;
        case kDeactivate: s->Desactivate(); break;
      }
      EXPECT_EQ(s->nGetState(), st.nState);
      EXPECT_EQ(static_cast<int>(s->eGetDirection()), st.eDirectionAfter);
      EXPECT_EQ(s->bHTrouve(), st.bFound);
      CNAExpression* pclExpected = nullptr;
      switch (st.eCurrent) {
        case kNone: break;
        case kSearch: pclExpected = s->pclGetExpression(); break;
        case kForward: pclExpected = s->pclGetForwardExpressionNoRef(); break;
        case kBackward: pclExpected = s->pclGetBackwardExpressionNoRef(); break;
      }
      if (st.eCurrent == kSearch) pclExpected->nRelease();
      EXPECT_EQ(s->pclGetCurrentExpressionNoRef(), pclExpected);
      EXPECT_EQ(s->bPeutContinuerParcours(NA_PARSE_FIRST), st.bMayForward);
      EXPECT_EQ(s->bPeutContinuerParcours(NA_PARSE_LAST), st.bMayBackward);
    }
  }
}

TEST_F(RecordSearch, WhileContinuingTheContinuationConditionIsWritten) {
  TestSearch* s = NewSearch();
  const CAny five = Int(5);
  ASSERT_TRUE(s->bSetRecherche(m_pclRecord, Item(L"ID"), &five, NA_PARSE_FIRST, 1, 0));
  s->bSetContinueParcours(NA_PARSE_LAST);
  EXPECT_EQ(Sql(s), L"`ID`<5");
  s->bReviensParcoursPrecedent(NA_PARSE_LAST);
  s->bSetContinueParcours(NA_PARSE_FIRST);
  EXPECT_EQ(Sql(s), L"`ID`>5");
}

// ---- Filter bounds

TEST_F(RecordSearch, FilterBoundsAtTheirOwnExtremeMakeNoCondition) {
  struct Case {
    const char* name;
    const wchar_t* pszItem;
    eNAOperator eOperator;
    bool bMax;
    unsigned short nType;
  };
  const Case cases[] = {
      {"int max, upper", L"N", NA_OP_LESS_OR_EQUAL, true, VX_I4},
      {"int max, strict upper", L"N", NA_OP_LESS, true, VX_I4},
      {"int min, lower", L"N", NA_OP_GREATER_OR_EQUAL, false, VX_I4},
      {"money min, lower", L"AMOUNT", NA_OP_GREATER_OR_EQUAL, false, VX_CY},
      {"money max, upper", L"AMOUNT", NA_OP_LESS_OR_EQUAL, true, VX_CY},
      {"date-time max, upper", L"WHEN", NA_OP_LESS_OR_EQUAL, true, VX_DATETIME},
      {"date-time min, lower", L"WHEN", NA_OP_GREATER, false, VX_DATETIME},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestSearch* s = NewSearch();
    CAny v;
    v.__SetType(c.nType, 0);
    if (c.bMax)
      CNARecherche::s_SetAnyToMax(&v);
    else
      CNARecherche::s_SetAnyToMin(&v);
    const unsigned int nFlags =
        CNARecherche::kBound | (c.bMax ? CNARecherche::kUpperBound : CNARecherche::kLowerBound);
    EXPECT_EQ(s->_pclAddExpression(m_pclRecord, Item(c.pszItem), c.eOperator, &v, nFlags, nullptr),
              nullptr);
    EXPECT_EQ(s->bBuildFailed(), 0) << "no condition, not a failure";
  }
}

// "n >= the maximum" selects the rows at the maximum, not every row.
TEST_F(RecordSearch, AnExtremeOnTheOtherSideStillBounds) {
  TestSearch* s = NewSearch();
  const CAny max = Int(INT_MAX);
  CNAExpression* p = s->_pclAddExpression(m_pclRecord, Item(L"N"), NA_OP_GREATER_OR_EQUAL, &max,
                                          CNARecherche::kBound | CNARecherche::kLowerBound, nullptr);
  ASSERT_NE(p, nullptr);
  p->AddRef();
  EXPECT_EQ(TreeSql(p, s), L"`N`>=2147483647");
  p->nRelease();
}

TEST_F(RecordSearch, AnOrdinaryBoundIsOneComparison) {
  TestSearch* s = NewSearch();
  const CAny twenty = Int(20);
  CNAExpression* p = s->_pclAddExpression(m_pclRecord, Item(L"N"), NA_OP_LESS_OR_EQUAL, &twenty,
                                          CNARecherche::kBound | CNARecherche::kUpperBound, nullptr);
  ASSERT_NE(p, nullptr);
  p->AddRef();
  EXPECT_EQ(TreeSql(p, s), L"`N`<=20");
  p->nRelease();
}

// An upper bound made of a text and the high marker reaches every text
// that begins with the text: (less than abc) OR (begins with abc).
TEST_F(RecordSearch, TheMaximalTextUpperBoundIsLessThanOrBeginsWith) {
  for (eNAOperator eOperator : {NA_OP_LESS_OR_EQUAL, NA_OP_LESS}) {
    SCOPED_TRACE(eOperator);
    TestSearch* s = NewSearch();
    const CAny bound = Wide(std::wstring(L"abc") + kHighMarkerW);
    CNAExpression* p = s->_pclAddExpression(m_pclRecord, Item(L"NAME"), eOperator, &bound,
                                            CNARecherche::kBound | CNARecherche::kUpperBound,
                                            nullptr);
    ASSERT_NE(p, nullptr);
    p->AddRef();
    ASSERT_EQ(p->eGetOperator(), NA_OP_OR);
    CNAExpression* pclLess = p->pclGetLeftNoRef();
    CNAExpression* pclBegins = p->pclGetRightNoRef();
    EXPECT_EQ(pclLess->eGetOperator(), NA_OP_LESS);
    EXPECT_FALSE(pclLess->bIsGenerique());
    EXPECT_EQ(pclBegins->eGetOperator(), NA_OP_EQUAL);
    EXPECT_TRUE(pclBegins->bIsGenerique());
    for (CNAExpression* pclLeaf : {pclLess, pclBegins}) {
      CAny v;
      ASSERT_TRUE(pclLeaf->pclGetValueNoRef()->bGetValue(&v));
      const wchar_t* psz = nullptr;
      CAny w = v;
      ASSERT_EQ(w.__nCastTo(VX_DSTRW, nullptr, 0), 0);
      w.pclGetIntern()->nGetPCWSTR(&psz);
      EXPECT_STREQ(psz, L"abc");
    }
    const std::wstring str = TreeSql(p, s);
    EXPECT_NE(str.find(L"`NAME`<"), std::wstring::npos) << str;
    EXPECT_NE(str.find(L" OR `NAME` LIKE "), std::wstring::npos) << str;
    p->nRelease();
  }
}

TEST_F(RecordSearch, TheHighMarkerAloneIsNoBound) {
  TestSearch* s = NewSearch();
  const CAny bound = Wide(std::wstring(1, kHighMarkerW));
  EXPECT_EQ(s->_pclAddExpression(m_pclRecord, Item(L"NAME"), NA_OP_LESS_OR_EQUAL, &bound,
                                 CNARecherche::kBound | CNARecherche::kUpperBound, nullptr),
            nullptr);
  EXPECT_EQ(s->bBuildFailed(), 0);
}

// Past the values given, a date-time compares with its empty value, NULL:
// an equality becomes IS NULL, a strict comparison stays one (IS NULL
// there would select the wrong rows).
TEST_F(RecordSearch, BeyondTheValuesADateTimeComparesWithNull) {
  struct Case {
    eNAOperator eOperator;
    eNAOperator eLeaf;
  };
  const Case cases[] = {{NA_OP_EQUAL, NA_OP_IS_NULL}, {NA_OP_GREATER, NA_OP_GREATER},
                        {NA_OP_LESS, NA_OP_LESS}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.eOperator);
    TestSearch* s = NewSearch();
    CNARefArray<CNAColumn> tabColumns(1, 30);
    ASSERT_TRUE(tabColumns.Ajoute(Column(L"WHEN")));
    CTTableau<CAny*> tabValues(1, 30);
    CNAExpression* p = s->_pclAddKeyExpression(m_pclRecord, &tabColumns, &tabValues, nullptr, 0, 0,
                                               c.eOperator, 0, NA_OP_AND);
    ASSERT_NE(p, nullptr);
    p->AddRef();
    EXPECT_EQ(p->eGetOperator(), c.eLeaf);
    EXPECT_TRUE(p->pclGetValueNoRef()->bIsNull());
    p->nRelease();
  }
}

// ---- The SQL written with a filter

TEST_F(RecordSearch, AnActiveFilterIsJoinedBeforeTheSearch) {
  TestSearch* s = NewSearch();
  const CAny five = Int(5);
  ASSERT_TRUE(s->bSetRecherche(m_pclRecord, Item(L"ID"), &five, NA_PARSE_FIRST, 1, 0));
  CNAFilter* f = NewFilter();
  const CAny ten = Int(10), twenty = Int(20);
  ASSERT_TRUE(f->bSetFilter(m_pclRecord, Item(L"N"), &ten, 1, &twenty, 1, nullptr, 0));
  EXPECT_EQ(Sql(s, f), L"`ID`=5") << "an inactive filter is not written";
  f->ActivateFilter(1);
  EXPECT_EQ(Sql(s, f), L"(`N`>=10 AND `N`<=20) AND `ID`=5");
  s->Desactivate();
  EXPECT_EQ(Sql(s, f), L"`N`>=10 AND `N`<=20") << "the filter alone";
  f->ActivateFilter(0);
  EXPECT_EQ(Sql(s, f), L"");
}

// A filter lower bound at the empty text or 0 stands for the engine's NULL:
// the NULL rows pass its upper bound too, even when the lower bound itself
// makes no comparison. A text is empty by its length alone.
TEST_F(RecordSearch, AFilterFromTheEmptyTextOrZeroLetsNullThroughItsUpperBound) {
  struct Case {
    const char* name;
    const wchar_t* pszItem;
    CAny lower;
    int bLowerIn;
    CAny upper;
    std::wstring text;
  };
  const Case cases[] = {
      {"empty text", L"NAME", Wide(L""), 1, Wide(L"ab"), L"(`NAME`<='ab' OR `NAME` IS NULL)"},
      {"empty text excluded", L"NAME", Wide(L""), 0, Wide(L"ab"), L"`NAME`>'' AND `NAME`<='ab'"},
      // A value, not the empty text (this connection's formatted text stops
      // at a character 0).
      {"text beginning with a character 0", L"NAME", Wide(std::wstring(L"\0x", 2)), 1,
       Wide(L"ab"), L"`NAME`>='' AND `NAME`<='ab'"},
      {"zero", L"N", Int(0), 1, Int(20), L"(`N`>=0 OR `N` IS NULL) AND (`N`<=20 OR `N` IS NULL)"},
      {"other lower bound", L"NAME", Wide(L"a"), 1, Wide(L"ab"), L"`NAME`>='a' AND `NAME`<='ab'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CNAFilter* f = NewFilter();
    ASSERT_TRUE(f->bSetFilter(m_pclRecord, Item(c.pszItem), &c.lower, c.bLowerIn, &c.upper, 1,
                              nullptr, 0));
    f->ActivateFilter(1);
    TestSearch* s = NewSearch();
    EXPECT_EQ(Sql(s, f), c.text);
  }
}

TEST_F(RecordSearch, ASearchUnderAFilterFromTheEmptyTextKeepsTheNullRows) {
  CNAFilter* f = NewFilter();
  const CAny empty = Wide(L""), b = Wide(L"b");
  ASSERT_TRUE(f->bSetFilter(m_pclRecord, Item(L"NAME"), &empty, 1, &b, 1, nullptr, 0));
  f->ActivateFilter(1);
  TestSearch* s = NewSearch();
  const CAny five = Int(5);
  ASSERT_TRUE(s->bAddExpression(m_pclRecord, Item(L"N"), NA_OP_GREATER, &five, 0, NA_OP_AND, 0));
  EXPECT_EQ(Sql(s, f), L"(`NAME`<='b' OR `NAME` IS NULL) AND `N`>5");
}

// A generic search of a partial date-time continues past the whole range
// forward and below it backward; nothing lies after a range that reaches
// the last instant.
TEST_F(RecordSearch, AGenericSearchOfAPartialDateTimeContinuesAroundItsRange) {
  struct Case {
    std::wstring value;
    std::wstring search;
    std::wstring forward;
    std::wstring backward;
  } const cases[] = {
      {L"2024", L"`WHEN`>='2024-01-01 00:00:00.000' AND `WHEN`<'2025-01-01 00:00:00.000'",
       L"`WHEN`>='2025-01-01 00:00:00.000'",
       L"(`WHEN`<'2024-01-01 00:00:00.000' OR `WHEN` IS NULL)"},
      {L"2024022", L"`WHEN`>='2024-02-20 00:00:00.000' AND `WHEN`<'2024-03-01 00:00:00.000'",
       L"`WHEN`>='2024-03-01 00:00:00.000'",
       L"(`WHEN`<'2024-02-20 00:00:00.000' OR `WHEN` IS NULL)"},
      {L"9999", L"`WHEN`>='9999-01-01 00:00:00.000'", L"0=1",
       L"(`WHEN`<'9999-01-01 00:00:00.000' OR `WHEN` IS NULL)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.value));
    m_pclError->Reset();
    TestSearch* s = NewSearch();
    const CAny v = Wide(c.value);
    ASSERT_TRUE(s->bSetRecherche(m_pclRecord, Item(L"WHEN"), &v, NA_PARSE_FIRST, 0, 0));
    EXPECT_EQ(Sql(s), c.search);
    ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_FIRST));
    EXPECT_EQ(Sql(s), c.forward) << m_pclError->nGetUserErrorCode();
    s->bReviensParcoursPrecedent(NA_PARSE_FIRST);
    ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_LAST));
    EXPECT_EQ(Sql(s), c.backward) << m_pclError->nGetUserErrorCode();
  }
}

TEST_F(RecordSearch, WritingEmptiesTheCommandAndKeepsTheParametersWritten) {
  TestSearch* s = NewSearch();
  const CAny five = Int(5);
  ASSERT_TRUE(s->bSetRecherche(m_pclRecord, Item(L"ID"), &five, NA_PARSE_FIRST, 1, 0));
  CNACommand* pclCommand = NewCommand();
  pclCommand->bComplete(L"SELECT 1");
  ASSERT_TRUE(s->bGetSQL(pclCommand, nullptr, m_pclRecord));
  EXPECT_EQ(Text(pclCommand).find(L"SELECT"), std::wstring::npos);
  EXPECT_EQ(s->nGetNbParameter(), 1);
  ASSERT_TRUE(s->bGetSQL(pclCommand, nullptr, m_pclRecord));
  EXPECT_EQ(s->nGetNbParameter(), 1) << "the parameters of the last write only";
  CNAParameter* p = s->pclGetParameter(0);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->pclGetColumnNoRef(), Column(L"ID"));
  p->nRelease();
  EXPECT_EQ(s->pclGetParameter(1), nullptr);
  EXPECT_EQ(s->pclGetParameter(-1), nullptr);
  s->_RemoveParameterByPos(0);
  EXPECT_EQ(s->nGetNbParameter(), 0);
  pclCommand->nRelease();
}

// A condition that folded to always false must still select nothing.
TEST_F(RecordSearch, AnAlwaysFalseConditionIsWrittenAsZeroEqualsOne) {
  TestSearch* s = NewSearch();
  const CAny null = Null();
  ASSERT_TRUE(s->bAddExpression(m_pclRecord, Item(L"N"), NA_OP_LESS, &null, 0, NA_OP_AND, 0));
  EXPECT_EQ(s->nGetState(), 1);
  EXPECT_EQ(Sql(s), L"0=1");
}

TEST_F(RecordSearch, AddedComparisonsAreJoinedIntoTheSearch) {
  TestSearch* s = NewSearch();
  const CAny ten = Int(10), twenty = Int(20);
  ASSERT_TRUE(s->bAddExpression(m_pclRecord, Item(L"N"), NA_OP_GREATER, &ten, 0, NA_OP_AND, 0));
  ASSERT_TRUE(s->bAddExpression(m_pclRecord, Item(L"ID"), NA_OP_LESS, &twenty, 0, NA_OP_AND, 0));
  EXPECT_EQ(s->nGetState(), 1);
  // NULL sorts first: "greater than" leaves the NULL rows out.
  EXPECT_EQ(Sql(s), L"`N`>10 AND `ID`<20");
}

// ---- Equality and clones

TEST_F(RecordSearch, ACloneSharesTheTreesAndCopiesTheStateButNotTheItem) {
  TestSearch* s = NewSearch();
  const CAny five = Int(5);
  ASSERT_TRUE(s->bSetRecherche(m_pclRecord, Item(L"ID"), &five, NA_PARSE_FIRST, 1, 0));
  s->bSetContinueParcours(NA_PARSE_LAST);
  s->Cancel();
  CNARecherche* c = s->pclClone();
  ASSERT_NE(c, nullptr);
  c->AddRef();
  m_searches.push_back(c);
  EXPECT_EQ(c->nGetState(), 2);
  EXPECT_EQ(c->eGetDirection(), NA_PARSE_LAST);
  EXPECT_EQ(c->bHTrouve(), 1);
  EXPECT_EQ(c->nGetFlags(), s->nGetFlags());
  EXPECT_EQ(c->pclGetCurrentExpressionNoRef(), s->pclGetCurrentExpressionNoRef());
  EXPECT_EQ(c->pclGetForwardExpressionNoRef(), s->pclGetForwardExpressionNoRef());
  EXPECT_EQ(c->piGetFetchItemNoRef(), nullptr);
  EXPECT_FALSE(c->bEqualsSearch(s)) << "the fetch item is not copied";
  EXPECT_EQ(Sql(c), L"`ID`<5");
}

TEST_F(RecordSearch, SearchesSetUpAlikeAreEqual) {
  struct Case {
    const char* name;
    int nOther;
    eNA_PARSEDIRECTION eOther;
    int bExactOther;
    bool bEqual;
  };
  const Case cases[] = {
      {"same", 5, NA_PARSE_FIRST, 1, true},
      {"other value", 6, NA_PARSE_FIRST, 1, false},
      {"other direction", 5, NA_PARSE_LAST, 1, false},
      {"generic", 5, NA_PARSE_FIRST, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestSearch* a = NewSearch();
    TestSearch* b = NewSearch();
    const CAny five = Int(5), other = Int(c.nOther);
    ASSERT_TRUE(a->bSetRecherche(m_pclRecord, Item(L"ID"), &five, NA_PARSE_FIRST, 1, 0));
    ASSERT_TRUE(b->bSetRecherche(m_pclRecord, Item(L"ID"), &other, c.eOther, c.bExactOther, 0));
    EXPECT_EQ(a->bEqualsSearch(b) != 0, c.bEqual);
    EXPECT_EQ(CNARecherche::g_bEqualsSearch(a, b) != 0, c.bEqual);
    EXPECT_TRUE(a->bEqualsSearch(a));
  }
}

TEST_F(RecordSearch, AnAbsentSearchEqualsOnlyAnInactiveOne) {
  TestSearch* s = NewSearch();
  EXPECT_TRUE(CNARecherche::g_bEqualsSearch(nullptr, nullptr));
  EXPECT_TRUE(CNARecherche::g_bEqualsSearch(nullptr, s));
  const CAny five = Int(5);
  ASSERT_TRUE(s->bSetRecherche(m_pclRecord, Item(L"ID"), &five, NA_PARSE_FIRST, 1, 0));
  EXPECT_FALSE(CNARecherche::g_bEqualsSearch(nullptr, s));
  EXPECT_FALSE(CNARecherche::g_bEqualsSearch(s, nullptr));
}

// ---- Item test and blanks

TEST(ItemUniqueNotNull, FollowsTheKeyAndTheNullRule) {
  struct Case {
    const char* name;
    int nType;
    unsigned short wKey;
    bool bNull;
    int nVersion;
    int bExpected;
  };
  const Case cases[] = {
      {"primary", NA_IT_I4, kPrimary, true, 12, 1},
      {"unique refusing NULL", NA_IT_I4, kUnique, false, 12, 1},
      {"unique allowing NULL", NA_IT_I4, kUnique, true, 12, 0},
      {"duplicates", NA_IT_I4, kDup, false, 12, 0},
      {"old unique identifier", NA_IT_IDAUTO4, kUnique, true, 8, 1},
      {"old unique number", NA_IT_I4, kUnique, true, 8, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CStandInItem* pi = CStandInItem::pclNew(Decl(L"K", c.nType, 4, c.wKey, c.bNull), c.nVersion);
    ASSERT_NE(pi, nullptr);
    EXPECT_EQ(g_bItemUniqueNotNull(pi), c.bExpected);
    pi->nExternalRelease();
  }
  EXPECT_EQ(g_bItemUniqueNotNull(nullptr), 0);
}

TEST(SearchSqlBlanks, OnlyTabLineFeedCarriageReturnAndSpaceAreBlanks) {
  for (wchar_t c = 0; c < 0x3000; ++c) {
    const bool bBlank = c == 9 || c == 10 || c == 13 || c == 32;
    EXPECT_EQ(CNARecherche::s_bEspaceSQL(c) != 0, bBlank) << static_cast<int>(c);
  }
}

}  // namespace
