// The search-condition tree: folding and parentheses, the leaf writers
// (plain, LIKE, text, date ranges, NULL), the simplification of boolean and
// text leaves, the bounds of partial dates and times, NULL selection and the
// continuation transform. Each case writes a tree into a new command of the
// backquote connection and reads the formatted text (every value written
// out as the server would receive it).
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "items/column_null_selection.h"
#include "sqlbuilder/expression.h"
#include "sqlbuilder/record_search.h"
#include "tests/sqlbuilder/search_fixture.h"
#include "tests/support/standin_items.h"
#include "values/date_time_base.h"

namespace kqtest {
namespace {

class Expressions : public SearchFixture {
 protected:
  void SetUp() override {
    SearchFixture::SetUp();
    ASSERT_TRUE(Build({Decl(L"ID", NA_IT_I4, 4, 0x8000, false), Decl(L"AGE", NA_IT_I4, 4),
                       Decl(L"NAME", NA_IT_TEXTE, 20), Decl(L"UNAME", NA_IT_UNICODE, 20),
                       Decl(L"BORN", NA_IT_DATE8, 8), Decl(L"SEEN", NA_IT_DATETIME, 8),
                       Decl(L"AT", NA_IT_HEURE, 9), Decl(L"ACTIVE", NA_IT_BOOLEEN, 1)}));
    // The data access names each column's table as the SQL builder writes
    // it.
    for (int i = 0; i < m_pclRecord->nGetColumnNbr(); ++i)
      ASSERT_TRUE(m_pclRecord->pclGetColumnNoRef(i)->bSetAliasNomTable(L"CUSTOMER"));
    m_pclFactory = new CNAExpression(m_pclError);
    m_pclFactory->AddRef();
  }
  void TearDown() override {
    for (CNAExpression* p : m_held) p->nRelease();
    m_held.clear();
    m_pclFactory->nRelease();
    SearchFixture::TearDown();
  }

  // Nodes are held by the test until its end.
  CNAExpression* Hold(CNAExpression* p) {
    EXPECT_NE(p, nullptr);
    if (p != nullptr) {
      p->AddRef();
      m_held.push_back(p);
    }
    return p;
  }
  CNAExpression* Leaf(eNAOperator eOperator, const wchar_t* pszColumn, const CAny& v,
                      unsigned int nFlags = 0) {
    CNAColumn* pclColumn = Column(pszColumn);
    EXPECT_NE(pclColumn, nullptr) << pszColumn;
    return Hold(m_pclFactory->pclAllocExpression(eOperator, pclColumn, NewHolder(v), nFlags));
  }
  CNAExpression* Node(eNAOperator eOperator, CNAExpression* pclLeft, CNAExpression* pclRight,
                      unsigned int nFlags = 0) {
    return Hold(m_pclFactory->pclAllocExpression(eOperator, pclLeft, pclRight, nFlags));
  }
  CNAExpression* Constant(eNAOperator eOperator) {
    CNAExpression* p = Hold(m_pclFactory->pclAllocExpression());
    p->SetOperator(eOperator);
    return p;
  }

  struct Written {
    std::wstring text;
    int bConstant = 0;
    int bOk = 0;
    int nParameters = 0;
    // The first parameter's value as the server receives it, whole (the
    // formatted text of this connection is no proof for a character 0).
    std::wstring firstValue;
  };
  Written Write(CNAExpression* pclNode) {
    Written w;
    CNACommand* pclCommand = NewCommand();
    w.bOk = pclNode->bGetSQL(pclCommand, NA_OP_EMPTY, nullptr, &w.bConstant, m_pclRecord);
    w.nParameters = static_cast<int>(pclCommand->nGetParameterNbr());
    if (w.nParameters > 0) {
      CAny v;
      CXYString<wchar_t> text;
      CNAParameter* pclParameter = pclCommand->pclGetParameterNoRef(0);
      if (pclParameter->pclGetValueNoRef()->bGetValue(&v) &&
          v.__nFillString(text, nullptr) <= kVXLastSuccess)
        w.firstValue.assign(text.pszGet(), static_cast<size_t>(text.nGetLongueur()));
    }
    w.text = Formatted(pclCommand);
    pclCommand->nRelease();
    return w;
  }
  std::wstring Text(CNAExpression* pclNode) { return Write(pclNode).text; }

  static CAny Bool(bool b) {
    CAny v;
    v.SetBOOL(b ? 1 : 0);
    return v;
  }
  static CAny NullText() {
    CAny v = Wide(L"");
    v.SetNull(true);
    return v;
  }

  CNAExpression* m_pclFactory = nullptr;
  std::vector<CNAExpression*> m_held;
};

// Column texts as the command writes them.
#define C_ID L"`CUSTOMER`.`ID`"
#define C_AGE L"`CUSTOMER`.`AGE`"
#define C_NAME L"`CUSTOMER`.`NAME`"
#define C_UNAME L"`CUSTOMER`.`UNAME`"
#define C_BORN L"`CUSTOMER`.`BORN`"
#define C_SEEN L"`CUSTOMER`.`SEEN`"
#define C_ACTIVE L"`CUSTOMER`.`ACTIVE`"

constexpr unsigned int kGeneric = CNAExpression::kGeneric;

TEST_F(Expressions, APlainLeafWritesTheColumnTheOperatorAndTheValue) {
  EXPECT_EQ(Text(Leaf(NA_OP_GREATER_OR_EQUAL, L"ID", Int(30))), C_ID L">=30");
}

// ---- Folding and parentheses

TEST_F(Expressions, ConstantsFoldAwayAndOperatorsBracketOnlyUnderAndOrNot) {
  struct Case {
    const char* name;
    std::function<CNAExpression*()> build;
    std::wstring text;
    int bConstant;
  };
  auto id = [this](int n) { return Leaf(NA_OP_EQUAL, L"ID", Int(n)); };
  const Case kCases[] = {
      {"and with a true right", [&] { return Node(NA_OP_AND, id(1), Constant(NA_OP_ALWAYS_TRUE)); },
       C_ID L"=1", 0},
      {"and with a true left", [&] { return Node(NA_OP_AND, Constant(NA_OP_ALWAYS_TRUE), id(1)); },
       C_ID L"=1", 0},
      {"and with a false operand", [&] { return Node(NA_OP_AND, id(1), Constant(NA_OP_ALWAYS_FALSE)); },
       L"", 1},
      {"or with a true operand", [&] { return Node(NA_OP_OR, id(1), Constant(NA_OP_ALWAYS_TRUE)); },
       L"", 1},
      {"or with a false operand", [&] { return Node(NA_OP_OR, Constant(NA_OP_ALWAYS_FALSE), id(1)); },
       C_ID L"=1", 0},
      {"or under and", [&] { return Node(NA_OP_AND, id(1), Node(NA_OP_OR, id(2), id(3))); },
       C_ID L"=1 AND (" C_ID L"=2 OR " C_ID L"=3 )", 0},
      {"and under or", [&] { return Node(NA_OP_OR, id(1), Node(NA_OP_AND, id(2), id(3))); },
       C_ID L"=1 OR " C_ID L"=2 AND " C_ID L"=3", 0},
      {"or at the root", [&] { return Node(NA_OP_OR, id(1), id(2)); }, C_ID L"=1 OR " C_ID L"=2", 0},
      {"not", [&] { return Node(NA_OP_NOT, Node(NA_OP_OR, id(1), id(2)), nullptr); },
       L" NOT ((" C_ID L"=1 OR " C_ID L"=2 ))", 0},
      {">= empty text leaves the other operand",
       [&] { return Node(NA_OP_AND, Leaf(NA_OP_GREATER_OR_EQUAL, L"NAME", Wide(L"")), id(1)); },
       C_ID L"=1", 0},
      {">= NULL leaves the other operand",
       [&] { return Node(NA_OP_AND, id(1), Leaf(NA_OP_GREATER_OR_EQUAL, L"AGE", Null())); },
       C_ID L"=1", 0},
      {"< NULL makes the and false",
       [&] { return Node(NA_OP_AND, id(1), Leaf(NA_OP_LESS, L"AGE", Null())); }, L"", 1},
      {"< NULL under or leaves the left and its value",
       [&] { return Node(NA_OP_OR, id(1), Leaf(NA_OP_LESS, L"AGE", Null())); }, C_ID L"=1", 0},
      {"<= NULL turning true under or",
       [&] { return Node(NA_OP_OR, Leaf(NA_OP_LESS_OR_EQUAL, L"AGE", Null()), id(1)); }, L"", 1},
      {"<= NULL turning true on the left of an and",
       [&] {
         return Node(NA_OP_AND, id(9),
                     Node(NA_OP_AND, Leaf(NA_OP_LESS_OR_EQUAL, L"AGE", Null()), id(1)));
       },
       C_ID L"=9 AND " C_ID L"=1", 0},
      {"not over a constant turned while writing",
       [&] { return Node(NA_OP_AND, id(1), Node(NA_OP_NOT, Leaf(NA_OP_LESS, L"AGE", Null()), nullptr)); },
       C_ID L"=1", 0},
      {"not over a constant", [&] { return Node(NA_OP_NOT, Constant(NA_OP_ALWAYS_TRUE), nullptr); },
       L"", 1},
      {"a constant root", [&] { return Constant(NA_OP_ALWAYS_FALSE); }, L"0=1", 0},
      {"an empty node", [&] { return Hold(m_pclFactory->pclAllocExpression()); }, L"", 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const Written w = Write(c.build());
    EXPECT_TRUE(w.bOk);
    EXPECT_EQ(w.text, c.text);
    EXPECT_EQ(w.bConstant, c.bConstant);
  }
}

TEST_F(Expressions, AnOperandCutBackKeepsTheParametersWrittenBeforeIt) {
  // The right operand turns false after " OR " was written: the left
  // operand's value stands exactly at the cut and must stay.
  CNAExpression* pclTree = Node(NA_OP_OR, Leaf(NA_OP_EQUAL, L"ID", Int(7)),
                                Leaf(NA_OP_LESS, L"AGE", Null()));
  const Written w = Write(pclTree);
  EXPECT_EQ(w.text, C_ID L"=7");
  EXPECT_EQ(w.nParameters, 1);
}

TEST_F(Expressions, ASearchReceivesTheParametersThatStayAfterCuts) {
  auto* pclSearch = new CNARecherche(m_pclError, m_pclConnection);
  pclSearch->AddRef();
  // The right operand of the OR turns false after writing its own text.
  CNAExpression* pclTree =
      Node(NA_OP_AND, Leaf(NA_OP_EQUAL, L"ID", Int(7)),
           Node(NA_OP_OR, Leaf(NA_OP_GREATER, L"AGE", Int(2)), Leaf(NA_OP_LESS, L"AGE", Null())));
  CNACommand* pclCommand = NewCommand();
  int bConstant = 0;
  EXPECT_TRUE(pclTree->bGetSQL(pclCommand, NA_OP_EMPTY, pclSearch, &bConstant, m_pclRecord));
  EXPECT_EQ(Formatted(pclCommand), C_ID L"=7 AND (" C_AGE L">2 )");
  EXPECT_EQ(pclCommand->nGetParameterNbr(), 2u);
  ASSERT_EQ(pclSearch->nGetNbParameter(), 2);
  for (int i = 0; i < 2; ++i) {
    CNAParameter* pclParameter = pclSearch->pclGetParameter(i);
    EXPECT_EQ(pclParameter, pclCommand->pclGetParameterNoRef(static_cast<unsigned int>(i)));
    pclParameter->nRelease();
  }
  pclCommand->nRelease();
  pclSearch->nRelease();
}

// ---- NULL writer

TEST_F(Expressions, TheNullWriterWritesATestOrAConstantPerOperator) {
  struct Case {
    eNAOperator eOperator;
    std::wstring text;
    int bConstant;
    eNAOperator eAfter;
  } const kCases[] = {
      {NA_OP_EQUAL, C_AGE L" IS NULL", 0, NA_OP_EQUAL},
      {NA_OP_DIFFERENT, C_AGE L" IS NOT NULL", 0, NA_OP_DIFFERENT},
      {NA_OP_GREATER, C_AGE L" IS NOT NULL", 0, NA_OP_GREATER},
      {NA_OP_LESS, L"", 1, NA_OP_ALWAYS_FALSE},
      // Simplified before writing (NULL sorts first): the root writes it.
      {NA_OP_GREATER_OR_EQUAL, L"1=1", 0, NA_OP_ALWAYS_TRUE},
      {NA_OP_LESS_OR_EQUAL, L"", 1, NA_OP_ALWAYS_TRUE},
      {NA_OP_IS_NULL, C_AGE L" IS NULL", 0, NA_OP_IS_NULL},
      {NA_OP_IS_NOT_NULL, C_AGE L" IS NOT NULL", 0, NA_OP_IS_NOT_NULL},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(static_cast<int>(c.eOperator));
    CNAExpression* pclLeaf = Leaf(c.eOperator, L"AGE", Null());
    const Written w = Write(pclLeaf);
    EXPECT_TRUE(w.bOk);
    EXPECT_EQ(w.text, c.text);
    EXPECT_EQ(w.bConstant, c.bConstant);
    EXPECT_EQ(pclLeaf->eGetOperator(), c.eAfter);
    EXPECT_EQ(w.nParameters, 0);
  }
}

TEST_F(Expressions, IsNullAndIsNotNullIgnoreTheirValue) {
  EXPECT_EQ(Text(Leaf(NA_OP_IS_NULL, L"AGE", Int(4))), C_AGE L" IS NULL");
  EXPECT_EQ(Text(Leaf(NA_OP_IS_NOT_NULL, L"AGE", Int(4))), C_AGE L" IS NOT NULL");
}

// ---- Plain comparisons and NULL let-through

TEST_F(Expressions, ComparisonsLetNullThroughWhereNullSortsBelowTheValue) {
  struct Case {
    eNAOperator eOperator;
    const wchar_t* pszColumn;
    std::wstring text;
  } const kCases[] = {
      {NA_OP_EQUAL, L"AGE", C_AGE L"=5"},
      {NA_OP_GREATER, L"AGE", C_AGE L">5"},
      {NA_OP_GREATER_OR_EQUAL, L"AGE", C_AGE L">=5"},
      {NA_OP_LESS, L"AGE", L"(" C_AGE L"<5 OR " C_AGE L" IS NULL)"},
      {NA_OP_LESS_OR_EQUAL, L"AGE", L"(" C_AGE L"<=5 OR " C_AGE L" IS NULL)"},
      {NA_OP_DIFFERENT, L"AGE", C_AGE L"<>5"},
      // A primary key holds no NULL.
      {NA_OP_LESS, L"ID", C_ID L"<5"},
      {NA_OP_LESS_OR_EQUAL, L"ID", C_ID L"<=5"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(static_cast<int>(c.eOperator));
    EXPECT_EQ(Text(Leaf(c.eOperator, c.pszColumn, Int(5))), c.text);
  }
}

TEST_F(Expressions, AValueTheColumnCannotHoldIsAnErrorWithNothingWritten) {
  const Written w = Write(Leaf(NA_OP_EQUAL, L"AGE", Wide(L"not a number")));
  EXPECT_FALSE(w.bOk);
  EXPECT_EQ(w.text, L"");
  EXPECT_EQ(w.nParameters, 0);
  EXPECT_EQ(m_pclError->nGetUserErrorCode(), 53u);
}

// ---- Filter bounds

TEST_F(Expressions, AFilterLowerBoundThatLetsNullThroughMakesItsUpperBoundLetItThrough) {
  constexpr unsigned int kLower = 0x44;
  constexpr unsigned int kUpper = 0x84;
  struct Case {
    const char* name;
    std::function<CNAExpression*()> build;
    std::wstring text;
  };
  const Case kCases[] = {
      {"zero lower bound",
       [&] {
         return Node(NA_OP_AND, Leaf(NA_OP_GREATER_OR_EQUAL, L"AGE", Int(0), kLower),
                     Leaf(NA_OP_LESS_OR_EQUAL, L"AGE", Int(20), kUpper));
       },
       L"(" C_AGE L">=0 OR " C_AGE L" IS NULL) AND (" C_AGE L"<=20 OR " C_AGE L" IS NULL)"},
      {"other lower bound",
       [&] {
         return Node(NA_OP_AND, Leaf(NA_OP_GREATER_OR_EQUAL, L"AGE", Int(3), kLower),
                     Leaf(NA_OP_LESS_OR_EQUAL, L"AGE", Int(20), kUpper));
       },
       C_AGE L">=3 AND " C_AGE L"<=20"},
      {"strict upper bound alone", [&] { return Leaf(NA_OP_LESS, L"AGE", Int(20), kUpper); },
       C_AGE L"<20"},
      {"empty text lower bound folded away",
       [&] {
         return Node(NA_OP_AND, Leaf(NA_OP_GREATER_OR_EQUAL, L"NAME", Wide(L""), kLower),
                     Leaf(NA_OP_LESS_OR_EQUAL, L"NAME", Wide(L"m"), kUpper));
       },
       L"(" C_NAME L"<='m' OR " C_NAME L" IS NULL)"},
      {"equal bounds at zero", [&] { return Leaf(NA_OP_EQUAL, L"AGE", Int(0), kLower); },
       L"(" C_AGE L"=0 OR " C_AGE L" IS NULL)"},
      // (This connection's formatted text stops at a character 0.)
      {"lower bound beginning with a character 0 is a value",
       [&] {
         return Node(NA_OP_AND,
                     Leaf(NA_OP_GREATER_OR_EQUAL, L"NAME", Wide(std::wstring(L"\0x", 2)), kLower),
                     Leaf(NA_OP_LESS_OR_EQUAL, L"NAME", Wide(L"m"), kUpper));
       },
       C_NAME L">='' AND " C_NAME L"<='m'"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Text(c.build()), c.text);
  }
}

TEST_F(Expressions, TheUpperBoundLetsNullThroughOnlyWhileItsLowerBoundDoes) {
  CNAExpression* pclUpper = Leaf(NA_OP_LESS_OR_EQUAL, L"AGE", Int(20), 0x84);
  Write(Node(NA_OP_AND, Leaf(NA_OP_GREATER_OR_EQUAL, L"AGE", Int(0), 0x44), pclUpper));
  EXPECT_EQ(Text(pclUpper), C_AGE L"<=20");
}

// ---- Boolean leaves

TEST_F(Expressions, BooleanComparisonsBecomeEqualityDifferenceOrConstants) {
  struct Case {
    eNAOperator eOperator;
    CAny value;
    std::wstring text;
  } const kCases[] = {
      {NA_OP_GREATER, Bool(false), C_ACTIVE L"<>0"},
      {NA_OP_GREATER, Bool(true), L"0=1"},
      {NA_OP_LESS, Bool(false), L"0=1"},
      {NA_OP_LESS, Bool(true), C_ACTIVE L"<>1"},
      {NA_OP_GREATER_OR_EQUAL, Bool(false), L"1=1"},
      {NA_OP_GREATER_OR_EQUAL, Bool(true), C_ACTIVE L"=1"},
      {NA_OP_LESS_OR_EQUAL, Bool(false), C_ACTIVE L"=0"},
      {NA_OP_LESS_OR_EQUAL, Bool(true), L"1=1"},
      // Integers of 32 bits, and every other number by the language's truth.
      {NA_OP_GREATER, Int(7), L"0=1"},
      {NA_OP_LESS_OR_EQUAL, Int(0), C_ACTIVE L"=0"},
      {NA_OP_GREATER_OR_EQUAL, [] { CAny v; v.SetR8(0.5); return v; }(), C_ACTIVE L"=1"},
      {NA_OP_LESS, [] { CAny v; v.SetI8(0); return v; }(), L"0=1"},
      {NA_OP_GREATER, [] { CAny v; v.SetUI1(2); return v; }(), L"0=1"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(static_cast<int>(c.eOperator));
    EXPECT_EQ(Text(Leaf(c.eOperator, L"ACTIVE", c.value)), c.text);
  }
}

// ---- Text writer

TEST_F(Expressions, TextLeavesWriteLikePatternsAndEmptyLiterals) {
  struct Case {
    eNAOperator eOperator;
    const wchar_t* pszColumn;
    std::wstring value;
    unsigned int nFlags;
    std::wstring text;
    int nParameters;
    std::wstring sent;  // the parameter's value, when given
  } const kCases[] = {
      {NA_OP_EQUAL, L"NAME", L"ab", kGeneric, C_NAME L" LIKE 'ab%' ESCAPE '!'", 1, L"ab%"},
      {NA_OP_DIFFERENT, L"NAME", L"ab", kGeneric, C_NAME L" NOT LIKE 'ab%' ESCAPE '!'", 1, {}},
      {NA_OP_EQUAL, L"NAME", L"5%_!\\", kGeneric, C_NAME L" LIKE '5!%!_!!\\%' ESCAPE '!'", 1, {}},
      {NA_OP_EQUAL, L"NAME", L"ab", 0, C_NAME L"='ab'", 1, {}},
      {NA_OP_EQUAL, L"NAME", L"", kGeneric, C_NAME L" LIKE '%'", 0, {}},
      {NA_OP_DIFFERENT, L"NAME", L"", kGeneric, C_NAME L" NOT LIKE '%'", 0, {}},
      {NA_OP_EQUAL, L"NAME", L"", 0, C_NAME L"=''", 0, {}},
      {NA_OP_LESS, L"NAME", L"", 0, L"(" C_NAME L"<'' OR " C_NAME L" IS NULL)", 0, {}},
      {NA_OP_GREATER, L"NAME", L"", 0, C_NAME L">''", 0, {}},
      {NA_OP_EQUAL, L"UNAME", L"", kGeneric, C_UNAME L" LIKE '%' ESCAPE '!'", 1, {}},
      {NA_OP_EQUAL, L"UNAME", L"\u00e9t\u00e9", kGeneric, C_UNAME L" LIKE '\u00e9t\u00e9%' ESCAPE '!'", 1, {}},
      {NA_OP_EQUAL, L"UNAME", L"", 0, C_UNAME L"=''", 1, {}},
      {NA_OP_GREATER_OR_EQUAL, L"NAME", L"", 0, L"1=1", 0, {}},
      // A character 0 is part of the prefix, never its end. (This
      // connection's formatted text stops at a character 0, MariaDB's
      // writes the value in hexadecimal: the text is read up to the value,
      // the parameter's value whole.)
      {NA_OP_EQUAL, L"NAME", std::wstring(L"a\0b", 3), kGeneric, C_NAME L" LIKE '", 1,
       std::wstring(L"a\0b%", 4)},
      {NA_OP_EQUAL, L"NAME", std::wstring(L"\0_", 2), kGeneric, C_NAME L" LIKE '", 1,
       std::wstring(L"\0\\_%", 4)},
      {NA_OP_EQUAL, L"UNAME", std::wstring(L"a\0b", 3), kGeneric, C_UNAME L" LIKE '", 1,
       std::wstring(L"a\0b%", 4)},
      // Not the empty text: a comparison with the value, never always true.
      {NA_OP_GREATER_OR_EQUAL, L"NAME", std::wstring(L"\0x", 2), 0, C_NAME L">='", 1,
       std::wstring(L"\0x", 2)},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(c.value) + " " + std::to_string(c.eOperator));
    const Written w = Write(Leaf(c.eOperator, c.pszColumn, Wide(c.value), c.nFlags));
    EXPECT_TRUE(w.bOk);
    if (c.sent.empty()) {
      EXPECT_EQ(w.text, c.text);
    } else {
      EXPECT_EQ(w.text.substr(0, c.text.size()), c.text);
      EXPECT_EQ(w.firstValue, c.sent);
    }
    EXPECT_EQ(w.nParameters, c.nParameters);
  }
}

TEST_F(Expressions, TheHighestTextAndTheEmptyTextAreAlwaysTrueBounds) {
  CAny highest8;
  highest8.__SetType(VX_DSTRA, 0);
  highest8.SetValueByte("\xFF", 1);
  struct Case {
    eNAOperator eOperator;
    CAny value;
    int bTrue;
  } const kCases[] = {
      {NA_OP_GREATER_OR_EQUAL, Wide(L""), 1},
      {NA_OP_GREATER_OR_EQUAL, Wide(L"a"), 0},
      {NA_OP_LESS_OR_EQUAL, Wide(L"\xFFFF"), 1},
      {NA_OP_LESS_OR_EQUAL, Wide(L"z"), 0},
      {NA_OP_LESS_OR_EQUAL, highest8, 1},
      {NA_OP_GREATER_OR_EQUAL, NullText(), 1},  // NULL sorts first
      {NA_OP_LESS_OR_EQUAL, NullText(), 0},
      {NA_OP_GREATER_OR_EQUAL, Null(), 0},  // no text
      {NA_OP_GREATER_OR_EQUAL, Bool(false), 1},
      {NA_OP_LESS_OR_EQUAL, Bool(true), 1},
      {NA_OP_LESS_OR_EQUAL, Bool(false), 0},
      {NA_OP_GREATER_OR_EQUAL, Int(0), 0},  // numbers are never always true
      {NA_OP_EQUAL, Wide(L""), 0},
      // Empty by its length alone.
      {NA_OP_GREATER_OR_EQUAL, Wide(std::wstring(L"\0x", 2)), 0},
      {NA_OP_GREATER_OR_EQUAL, Wide(std::wstring(L"\0", 1)), 0},
  };
  int i = 0;
  for (const Case& c : kCases) {
    SCOPED_TRACE(i++);
    EXPECT_EQ(CNAExpression::s_bExpressionTrue(c.eOperator, m_pclConnection, &c.value), c.bTrue);
  }
}

// ---- Date writer

TEST_F(Expressions, PartialDatesBecomeRangesAndCompleteOnesEqualities) {
  struct Case {
    eNAOperator eOperator;
    const wchar_t* pszColumn;
    std::wstring value;
    std::wstring text;
  } const kCases[] = {
      {NA_OP_EQUAL, L"SEEN", L"2023",
       C_SEEN L">='2023-01-01 00:00:00.000' AND " C_SEEN L"<'2024-01-01 00:00:00.000'"},
      // Carries into the month and the year.
      {NA_OP_EQUAL, L"SEEN", L"202312",
       C_SEEN L">='2023-12-01 00:00:00.000' AND " C_SEEN L"<'2024-01-01 00:00:00.000'"},
      {NA_OP_EQUAL, L"SEEN", L"2024022",
       C_SEEN L">='2024-02-20 00:00:00.000' AND " C_SEEN L"<'2024-03-01 00:00:00.000'"},
      {NA_OP_EQUAL, L"SEEN", L"2023123123",
       C_SEEN L">='2023-12-31 23:00:00.000' AND " C_SEEN L"<'2024-01-01 00:00:00.000'"},
      {NA_OP_DIFFERENT, L"SEEN", L"2023",
       L"(" C_SEEN L"<'2023-01-01 00:00:00.000' OR " C_SEEN L">='2024-01-01 00:00:00.000' )"},
      // No next value: the lower bound alone, never an equality with the text.
      {NA_OP_EQUAL, L"SEEN", L"9999", C_SEEN L">='9999-01-01 00:00:00.000'"},
      {NA_OP_EQUAL, L"SEEN", L"99991231", C_SEEN L">='9999-12-31 00:00:00.000'"},
      {NA_OP_EQUAL, L"SEEN", L"9999123123595", C_SEEN L">='9999-12-31 23:59:50.000'"},
      {NA_OP_DIFFERENT, L"SEEN", L"9999", C_SEEN L"<'9999-01-01 00:00:00.000'"},
      {NA_OP_EQUAL, L"SEEN", L"20230102030405006", C_SEEN L"='2023-01-02 03:04:05.006'"},
      {NA_OP_EQUAL, L"BORN", L"2023", C_BORN L">='2023-01-01' AND " C_BORN L"<'2024-01-01'"},
      {NA_OP_EQUAL, L"BORN", L"202312", C_BORN L">='2023-12-01' AND " C_BORN L"<'2024-01-01'"},
      {NA_OP_EQUAL, L"BORN", L"9999", C_BORN L">='9999-01-01'"},
      {NA_OP_EQUAL, L"BORN", L"20230102", C_BORN L"='2023-01-02'"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(c.value) + " " + std::to_string(c.eOperator));
    const Written w = Write(Leaf(c.eOperator, c.pszColumn, Wide(c.value), kGeneric));
    EXPECT_TRUE(w.bOk);
    EXPECT_EQ(w.text, c.text);
  }
}

TEST_F(Expressions, AGenericDifferenceOnAPartialDateStaysOneConditionUnderAnd) {
  CNAExpression* pclTree = Node(NA_OP_AND, Leaf(NA_OP_EQUAL, L"ID", Int(1)),
                                Leaf(NA_OP_DIFFERENT, L"SEEN", Wide(L"2023"), kGeneric));
  EXPECT_EQ(Text(pclTree), C_ID L"=1 AND (" C_SEEN L"<'2023-01-01 00:00:00.000' OR " C_SEEN
                           L">='2024-01-01 00:00:00.000' )");
}

TEST_F(Expressions, APartialDateThatNamesNoInstantIsAnErrorWithNothingWritten) {
  for (const wchar_t* psz : {L"2023023", L"20234", L"2023-", L"2023021a", L"20230230"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(psz)));
    m_pclError->Reset();
    const Written w = Write(Leaf(NA_OP_EQUAL, L"SEEN", Wide(psz), kGeneric));
    EXPECT_FALSE(w.bOk);
    EXPECT_EQ(w.text, L"");
    EXPECT_EQ(w.nParameters, 0);
    EXPECT_EQ(m_pclError->nGetUserErrorCode(), 53u);
  }
}

TEST_F(Expressions, AGenericTimeIsComparedAsTextWithLike) {
  const Written w = Write(Leaf(NA_OP_EQUAL, L"AT", Wide(L"12"), kGeneric));
  EXPECT_TRUE(w.bOk);
  EXPECT_NE(w.text.find(L" LIKE '12%' ESCAPE '!'"), std::wstring::npos) << w.text;
  EXPECT_NE(w.text.find(L"`CUSTOMER`.`AT`"), std::wstring::npos) << w.text;
}

TEST_F(Expressions, AZeroDateIsNullWhereTheConnectionTreatsItSo) {
  ASSERT_TRUE(Build({Decl(L"BORN", NA_IT_DATE8, 8)}, 2));
  ASSERT_TRUE(Column(L"BORN")->bSetAliasNomTable(L"CUSTOMER"));
  const Written w = Write(Leaf(NA_OP_EQUAL, L"BORN", Wide(L"00000000")));
  EXPECT_TRUE(w.bOk);
  EXPECT_EQ(w.nParameters, 0);
  EXPECT_NE(w.text.find(L" IS NULL"), std::wstring::npos) << w.text;
}

// ---- Bounds of partial dates and times

TEST_F(Expressions, BoundsOfPartialDatesAndTimesCarryAndStopAtTheLastInstant) {
  struct Case {
    eNA_ITEMTYPE eType;
    std::wstring value;
    int bMin;
    std::wstring min;
    int bMax;
    std::wstring max;
  } const kCases[] = {
      {NA_IT_DATE8, L"2023", 1, L"20230101", 1, L"20240101"},
      {NA_IT_DATE8, L"202312", 1, L"20231201", 1, L"20240101"},
      {NA_IT_DATE8, L"2024022", 1, L"20240220", 1, L"20240301"},
      {NA_IT_DATE8, L"2023013", 1, L"20230130", 1, L"20230201"},
      {NA_IT_DATE8, L"9999", 1, L"99990101", 0, L""},
      {NA_IT_DATE8, L"9999123", 1, L"99991230", 0, L""},
      {NA_IT_DATE8, L"", 0, L"", 0, L""},
      {NA_IT_DATE8, L"2023023", 0, L"", 1, L"20230301"},
      {NA_IT_DATE8, L"20x3", 0, L"", 0, L""},
      {NA_IT_HEURE, L"12", 1, L"120000000", 1, L"130000000"},
      {NA_IT_HEURE, L"1", 1, L"100000000", 1, L"200000000"},
      {NA_IT_HEURE, L"1959", 1, L"195900000", 1, L"200000000"},
      {NA_IT_HEURE, L"23", 1, L"230000000", 0, L""},
      {NA_IT_HEURE, L"235959999", 1, L"235959999", 0, L""},
      {NA_IT_HEURE, L"25", 0, L"", 0, L""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(c.value) + " " + std::to_string(c.eType));
    const CAny v = Wide(c.value);
    CAny min;
    CAny max;
    EXPECT_EQ(CNAExpression::s_bGetBorneRechercheDateMin(c.eType, &v, &min), c.bMin);
    EXPECT_EQ(CNAExpression::s_bGetBorneRechercheDateMax(c.eType, &v, &max), c.bMax);
    CXYString<wchar_t> text;
    if (c.bMin) {
      EXPECT_EQ(min.nGetTypeCode(), c.eType == NA_IT_HEURE ? VX_TIMEW : VX_DATEW);
      min.__nFillString(text, nullptr);
      EXPECT_EQ(std::wstring(text.pszGet()), c.min);
    }
    if (c.bMax) {
      max.__nFillString(text, nullptr);
      EXPECT_EQ(std::wstring(text.pszGet()), c.max);
    }
    CAny gmin;
    CAny gmax;
    int bMax = -1;
    EXPECT_EQ(CNAExpression::s_bGetBorneRechercheDateGenerique(c.eType, &v, &gmin, &gmax, &bMax),
              c.bMin);
    EXPECT_EQ(bMax, c.bMin ? c.bMax : 0);
  }
}

TEST_F(Expressions, DateTimeBoundsAreDateTimeValues) {
  const CAny v = Wide(L"2023123123");
  CAny min;
  CAny max;
  ASSERT_TRUE(CNAExpression::s_bGetBorneRechercheDateMin(NA_IT_DATETIME, &v, &min));
  ASSERT_TRUE(CNAExpression::s_bGetBorneRechercheDateMax(NA_IT_DATETIME, &v, &max));
  ASSERT_EQ(min.nGetTypeCode(), VX_DATETIME);
  ASSERT_EQ(max.nGetTypeCode(), VX_DATETIME);
  CDateTimeBase lo;
  CDateTimeBase hi;
  std::memcpy(&lo, min.pbyGetValeur(), sizeof lo);
  std::memcpy(&hi, max.pbyGetValeur(), sizeof hi);
  EXPECT_EQ(lo.nGetAnnee(), 2023);
  EXPECT_EQ(lo.nGetMois(), 12);
  EXPECT_EQ(lo.nGetJour(), 31);
  EXPECT_EQ(lo.dwGetMilli(), 23u * 3600u * 1000u);
  EXPECT_EQ(hi.nGetAnnee(), 2024);
  EXPECT_EQ(hi.nGetMois(), 1);
  EXPECT_EQ(hi.nGetJour(), 1);
  EXPECT_EQ(hi.dwGetMilli(), 0u);
  const CAny last = Wide(L"9999123123595999");
  EXPECT_FALSE(CNAExpression::s_bGetBorneRechercheDateMax(NA_IT_DATETIME, &last, &max));
}

// ---- NULL selection

TEST_F(Expressions, TheSetOfAWrittenConditionTellsWhetherItSelectsTheColumnsNulls) {
  struct Case {
    const char* name;
    std::function<CNAExpression*()> build;
    int bAge;
    int bName;
  };
  const Case kCases[] = {
      {"= NULL", [&] { return Leaf(NA_OP_EQUAL, L"AGE", Null()); }, 1, 1},
      {"<> NULL", [&] { return Leaf(NA_OP_DIFFERENT, L"AGE", Null()); }, 0, 1},
      {"> 5", [&] { return Leaf(NA_OP_GREATER, L"AGE", Int(5)); }, 0, 1},
      {"<= 5 with its NULL alternative", [&] { return Leaf(NA_OP_LESS_OR_EQUAL, L"AGE", Int(5)); }, 1, 1},
      {"and", [&] { return Node(NA_OP_AND, Leaf(NA_OP_GREATER, L"AGE", Int(5)),
                                Leaf(NA_OP_EQUAL, L"NAME", Wide(L"x"))); }, 0, 0},
      {"or", [&] { return Node(NA_OP_OR, Leaf(NA_OP_GREATER, L"AGE", Int(5)),
                               Leaf(NA_OP_IS_NULL, L"AGE", Null())); }, 1, 1},
      {"not", [&] { return Node(NA_OP_NOT, Leaf(NA_OP_GREATER, L"AGE", Int(5)), nullptr); }, 1, 1},
      {"folded and", [&] { return Node(NA_OP_AND, Constant(NA_OP_ALWAYS_TRUE),
                                       Leaf(NA_OP_GREATER, L"AGE", Int(5))); }, 0, 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CNAExpression* pclTree = c.build();
    Write(pclTree);
    EXPECT_EQ(pclTree->bColumnValuesNullSelected(Column(L"AGE")), c.bAge);
    EXPECT_EQ(pclTree->bColumnValuesNullSelected(Column(L"NAME")), c.bName);
  }
}

TEST_F(Expressions, ALeafNotYetWrittenAnswersFromItsOperatorAndValue) {
  struct Case {
    eNAOperator eOperator;
    CAny value;
    int bSelected;
  } const kCases[] = {
      {NA_OP_EQUAL, Null(), 1},        {NA_OP_EQUAL, Int(5), 0},
      {NA_OP_GREATER, Null(), 1},      {NA_OP_GREATER, Int(5), 0},
      {NA_OP_LESS, Null(), 0},         {NA_OP_LESS, Int(5), 1},
      {NA_OP_DIFFERENT, Int(5), 1},    {NA_OP_DIFFERENT, Null(), 0},
      {NA_OP_LESS_OR_EQUAL, Int(5), 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(static_cast<int>(c.eOperator));
    CNAExpression* pclLeaf = Leaf(c.eOperator, L"AGE", c.value);
    EXPECT_EQ(pclLeaf->bColumnValuesNullSelected(Column(L"AGE")), c.bSelected);
    EXPECT_EQ(pclLeaf->bColumnValuesNullSelected(Column(L"NAME")), 1);
  }
}

// ---- Continuation

TEST_F(Expressions, EqualitiesContinueBeyondTheSearchedValues) {
  struct Case {
    const char* name;
    const wchar_t* pszColumn;
    CAny value;
    unsigned int nFlags;
    eNAOperator eOperator;
    std::wstring text;
  } const kCases[] = {
      {"key forward", L"ID", Int(5), 0, NA_OP_GREATER, C_ID L">5"},
      {"key backward", L"ID", Int(5), 0, NA_OP_LESS, C_ID L"<5"},
      {"nullable backward", L"AGE", Int(5), 0, NA_OP_LESS, L"(" C_AGE L"<5 OR " C_AGE L" IS NULL)"},
      {"exact text forward", L"NAME", Wide(L"ab"), 0, NA_OP_GREATER, C_NAME L">'ab'"},
      {"prefix backward", L"NAME", Wide(L"ab"), kGeneric, NA_OP_LESS,
       L"(" C_NAME L"<'ab' OR " C_NAME L" IS NULL)"},
      {"prefix forward", L"NAME", Wide(L"ab"), kGeneric, NA_OP_GREATER,
       L" NOT (" C_NAME L" LIKE 'ab%' ESCAPE '!' ) AND " C_NAME L">'ab'"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CNAExpression* pclLeaf = Leaf(NA_OP_EQUAL, c.pszColumn, c.value, c.nFlags);
    CNAExpression* pclNew = pclLeaf->pclTransformEqualTo(m_pclRecord, nullptr, c.eOperator);
    ASSERT_NE(pclNew, nullptr);
    Hold(pclNew);
    EXPECT_EQ(Text(pclNew), c.text);
  }
}

// A browse continued from a partial date goes past the whole range forward
// (nothing lies after a range that reaches the last instant) and below its
// first instant backward; a complete value continues from itself.
TEST_F(Expressions, PartialDatesContinuePastTheirWholeRange) {
  struct Case {
    const wchar_t* pszColumn;
    std::wstring value;
    eNAOperator eOperator;
    std::wstring text;
    int bConstant;
  } const kCases[] = {
      {L"BORN", L"2023", NA_OP_GREATER, C_BORN L">='2024-01-01'", 0},
      {L"BORN", L"202312", NA_OP_GREATER, C_BORN L">='2024-01-01'", 0},
      {L"BORN", L"2024022", NA_OP_GREATER, C_BORN L">='2024-03-01'", 0},
      {L"BORN", L"9999", NA_OP_GREATER, L"", 1},
      {L"BORN", L"2023", NA_OP_LESS, L"(" C_BORN L"<'2023-01-01' OR " C_BORN L" IS NULL)", 0},
      {L"BORN", L"20230102", NA_OP_GREATER, C_BORN L">'2023-01-02'", 0},
      {L"SEEN", L"2024", NA_OP_GREATER, C_SEEN L">='2025-01-01 00:00:00.000'", 0},
      {L"SEEN", L"2024022", NA_OP_GREATER, C_SEEN L">='2024-03-01 00:00:00.000'", 0},
      {L"SEEN", L"9999", NA_OP_GREATER, L"", 1},
      {L"SEEN", L"9999", NA_OP_LESS,
       L"(" C_SEEN L"<'9999-01-01 00:00:00.000' OR " C_SEEN L" IS NULL)", 0},
      {L"SEEN", L"1000", NA_OP_LESS,
       L"(" C_SEEN L"<'1000-01-01 00:00:00.000' OR " C_SEEN L" IS NULL)", 0},
      {L"SEEN", L"20230102030405006", NA_OP_GREATER, C_SEEN L">'2023-01-02 03:04:05.006'", 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(c.value) + " " + std::to_string(c.eOperator));
    m_pclError->Reset();
    CNAExpression* pclLeaf = Leaf(NA_OP_EQUAL, c.pszColumn, Wide(c.value), kGeneric);
    CNAExpression* pclNew = pclLeaf->pclTransformEqualTo(m_pclRecord, nullptr, c.eOperator);
    ASSERT_EQ(pclNew, pclLeaf);
    const Written w = Write(pclNew);
    EXPECT_TRUE(w.bOk) << m_pclError->nGetUserErrorCode();
    EXPECT_EQ(w.text, c.text);
    EXPECT_EQ(w.bConstant, c.bConstant);
    if (c.bConstant) {
      EXPECT_EQ(pclLeaf->eGetOperator(), NA_OP_ALWAYS_FALSE);
    }
  }
}

// A time compared as its digits continues as a text prefix: forward, the
// times that do not begin with it and sort after it.
TEST_F(Expressions, APartialTimeComparedAsTextContinuesAsATextPrefix) {
  CNAExpression* pclForward = Leaf(NA_OP_EQUAL, L"AT", Wide(L"12"), kGeneric);
  CNAExpression* pclNew = pclForward->pclTransformEqualTo(m_pclRecord, nullptr, NA_OP_GREATER);
  ASSERT_NE(pclNew, nullptr);
  Hold(pclNew);
  const Written w = Write(pclNew);
  EXPECT_TRUE(w.bOk);
  EXPECT_EQ(w.text.rfind(L" NOT (", 0), 0u) << w.text;
  EXPECT_NE(w.text.find(L" LIKE '12%' ESCAPE '!' ) AND "), std::wstring::npos) << w.text;
  EXPECT_EQ(w.text.substr(w.text.size() - 5), L">'12'") << w.text;

  CNAExpression* pclBackward = Leaf(NA_OP_EQUAL, L"AT", Wide(L"12"), kGeneric);
  ASSERT_EQ(pclBackward->pclTransformEqualTo(m_pclRecord, nullptr, NA_OP_LESS), pclBackward);
  const Written b = Write(pclBackward);
  EXPECT_TRUE(b.bOk);
  EXPECT_NE(b.text.find(L"<'12' OR `CUSTOMER`.`AT` IS NULL)"), std::wstring::npos) << b.text;
}

TEST_F(Expressions, APrefixContinuedForwardReplacesItsLeafInTheParent) {
  CNAExpression* pclPrefix = Leaf(NA_OP_EQUAL, L"NAME", Wide(L"ab"), kGeneric);
  CNAExpression* pclTree = Node(NA_OP_AND, Leaf(NA_OP_GREATER_OR_EQUAL, L"ID", Int(2)), pclPrefix);
  CNAExpression* pclNew = pclPrefix->pclTransformEqualTo(m_pclRecord, pclTree, NA_OP_GREATER);
  ASSERT_NE(pclNew, nullptr);
  EXPECT_EQ(pclTree->pclGetRightNoRef(), pclNew);
  EXPECT_EQ(pclNew->eGetOperator(), NA_OP_AND);
  EXPECT_EQ(Text(pclTree), C_ID L">=2 AND ( NOT (" C_NAME L" LIKE 'ab%' ESCAPE '!' ) AND " C_NAME
                           L">'ab' )");
}

TEST_F(Expressions, AnOperatorTreeTransformsEachEqualityLeaf) {
  CNAExpression* pclTree = Node(NA_OP_AND, Leaf(NA_OP_EQUAL, L"ID", Int(2)),
                                Leaf(NA_OP_EQUAL, L"AGE", Int(3)));
  CNAExpression* pclLast = pclTree->pclTransformEqualTo(m_pclRecord, nullptr, NA_OP_GREATER);
  EXPECT_EQ(pclLast, pclTree->pclGetRightNoRef());
  EXPECT_EQ(Text(pclTree), C_ID L">2 AND " C_AGE L">3");
}

// ---- Flags, copies, statics

TEST_F(Expressions, AnEmptyCompositeKeyTextComponentIsNoPrefix) {
  constexpr unsigned int kComposite = CNAExpression::kComposedKey | kGeneric;
  EXPECT_FALSE(Leaf(NA_OP_EQUAL, L"NAME", Wide(L""), kComposite)->bIsGenerique());
  EXPECT_FALSE(Leaf(NA_OP_EQUAL, L"NAME", Null(), kComposite)->bIsGenerique());
  EXPECT_TRUE(Leaf(NA_OP_EQUAL, L"NAME", Wide(L"a"), kComposite)->bIsGenerique());
  EXPECT_TRUE(Leaf(NA_OP_EQUAL, L"NAME", Wide(L""), kGeneric)->bIsGenerique());
  EXPECT_TRUE(Leaf(NA_OP_EQUAL, L"AGE", Int(0), kComposite)->bIsGenerique());
}

TEST_F(Expressions, ACloneWritesTheSameConditionOverTheSameColumnAndValue) {
  CNAExpression* pclLeaf = Leaf(NA_OP_EQUAL, L"NAME", Wide(L"ab"), kGeneric);
  CNAExpression* pclTree = Node(NA_OP_OR, Leaf(NA_OP_LESS, L"ID", Int(4)), pclLeaf);
  CNAExpression* pclClone = Hold(pclTree->pclClone());
  ASSERT_NE(pclClone, pclTree);
  EXPECT_EQ(Text(pclClone), Text(pclTree));
  CNAExpression* pclLeafCopy = pclClone->pclGetRightNoRef();
  EXPECT_NE(pclLeafCopy, pclLeaf);
  EXPECT_EQ(pclLeafCopy->pclGetColumnNoRef(), pclLeaf->pclGetColumnNoRef());
  EXPECT_EQ(pclLeafCopy->pclGetValueNoRef(), pclLeaf->pclGetValueNoRef());
}

TEST_F(Expressions, OperatorTextsInversesAndParserOperators) {
  struct Case {
    int eOperator;
    std::wstring text;
    int eInverse;
    int eParser;
  } const kCases[] = {
      {0, L"", 0, -1},          {1, L" OR ", 1, -1},  {2, L" AND ", 2, -1}, {3, L" NOT ", 3, -1},
      {4, L"=", 4, 9},          {5, L">", 6, 13},     {6, L"<", 5, 11},     {7, L">=", 8, 14},
      {8, L"<=", 7, 12},        {9, L"", 9, -1},      {10, L"0=1", 10, -1}, {11, L"1=1", 11, -1},
      {12, L"<>", 12, 10},      {13, L" IS NULL", 13, 33}, {14, L"IS NOT NULL", 14, -1},
      {15, L"", 15, -1},        {-1, L"", -1, -1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.eOperator);
    const auto e = static_cast<eNAOperator>(c.eOperator);
    EXPECT_EQ(std::wstring(CNAExpression::s_pszDumpOp(e)), c.text);
    EXPECT_EQ(CNAExpression::s_eInvertOperator(e), c.eInverse);
    EXPECT_EQ(CNAExpression::Convert_eNAOperator_To_eOPEXPRESSION(e), c.eParser);
  }
}

TEST_F(Expressions, StrictComparisonsBecomeInclusive) {
  CNAExpression* pclLeaf = Leaf(NA_OP_GREATER, L"AGE", Int(1));
  EXPECT_EQ(pclLeaf->InfSupToInfEqualSupEqual(), NA_OP_GREATER);
  EXPECT_EQ(pclLeaf->eGetOperator(), NA_OP_GREATER_OR_EQUAL);
  pclLeaf->SetOperator(NA_OP_LESS);
  EXPECT_EQ(pclLeaf->InfSupToInfEqualSupEqual(), NA_OP_LESS);
  EXPECT_EQ(pclLeaf->eGetOperator(), NA_OP_LESS_OR_EQUAL);
  pclLeaf->SetOperator(NA_OP_EQUAL);
  EXPECT_EQ(pclLeaf->InfSupToInfEqualSupEqual(), NA_OP_EQUAL);
  EXPECT_EQ(pclLeaf->eGetOperator(), NA_OP_EQUAL);
}

TEST_F(Expressions, ParsedConditionsAreRefusedUntilTheirWriterExists) {
  CNAExpression* pclNode = Constant(NA_OP_PARSED_CONDITION);
  const Written w = Write(pclNode);
  EXPECT_FALSE(w.bOk);
  EXPECT_EQ(w.text, L"");
  EXPECT_EQ(m_pclError->nGetUserErrorCode(), 8u);
}

}  // namespace
}  // namespace kqtest
