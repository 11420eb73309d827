// The calculation binding, the comparison, logic and arithmetic wrappers over
// CAny, and the text dump of a value, against the stand-in server
// (kq230vm.so) loaded with dlopen.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "core/wide_string.h"
#include "tests/values/bound_values.h"

namespace {

using kqtest::BindingSnapshot;
using kqtest::BoundValuesTest;
using kqtest::kCalcEntryNames;
using kqtest::Text;

void SetDSTRW(CAny* pv, const wchar_t* psz) {
  CXYString<wchar_t> s(psz);
  pv->__SetType(VX_DSTRW, 0);
  pv->pclGetIntern()->SetValue(&s);
}
std::wstring WideOf(const CAny& v) {
  const wchar_t* psz = nullptr;
  if (v.pclGetIntern()->nGetPCWSTR(&psz) != 0) return L"<no wide text>";
  return Text(psz);
}
int IntOf(const CAny& v) {
  int n = -999;
  EXPECT_EQ(v.nGetINT(&n), 0) << "type word " << v.wGetType();
  return n;
}
long long Int64Of(const CAny& v) {
  long long n = -999;
  EXPECT_EQ(v.nGetINT_64(&n), 0) << "type word " << v.wGetType();
  return n;
}

void* OpenPartialVM() {
#ifdef KQ_PARTIAL_VM_PATH
  return dlopen(KQ_PARTIAL_VM_PATH, RTLD_NOW | RTLD_LOCAL);
#else
  return nullptr;
#endif
}

// ---------------------------------------------------------------------------
// Binding.

TEST_F(BoundValuesTest, CalcBindingIsRefusedBeforeAnyLookUpForAnOldVersionOrANewerCompatibility) {
  BindingSnapshot snapshot;
  const struct {
    int nVersion, nCompat;
  } cases[] = {{1, 0}, {5, 3}, {0, 0}, {-3, 1}, {2, 3}, {1, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "version " << c.nVersion << ", compat " << c.nCompat);
    BindingSnapshot::ClearAll();
    EXPECT_EQ(bInitVXCalcFromVM(m_hVM, c.nVersion, c.nCompat), 0);
    // The first look-up would have stored "bCanCompareEx" at once.
    EXPECT_EQ(gpfnCompareEx, nullptr);
    EXPECT_EQ(ghCalcVM, nullptr);
    EXPECT_EQ(gnVersionCalcVM, 0);
  }
  BindingSnapshot::ClearAll();
  EXPECT_EQ(bInitVXCalcFromVM(nullptr, 2, 2), 0);
  EXPECT_EQ(gpfnCompareEx, nullptr);
}

TEST_F(BoundValuesTest, CalcBindingBindsTheThirtyEntriesByNameInOrder) {
  BindingSnapshot snapshot;
  BindingSnapshot::ClearAll();
  ASSERT_EQ(bInitVXCalcFromVM(m_hVM, 4, 1), 1);
  void* apBound[kVXCalcEntryCount];
  kqtest::CurrentCalcEntries(apBound);
  for (int i = 0; i < kVXCalcEntryCount; ++i) {
    SCOPED_TRACE(kCalcEntryNames[i]);
    void* pExpected = dlsym(m_hVM, kCalcEntryNames[i]);
    ASSERT_NE(pExpected, nullptr) << "the stand-in lacks it";
    EXPECT_EQ(apBound[i], pExpected);
  }
  EXPECT_EQ(ghCalcVM, m_hVM);
  EXPECT_EQ(gnVersionCalcVM, 4);
  EXPECT_EQ(gnVersionCompatCalcVM, 1);
}

TEST_F(BoundValuesTest, CalcBindingStopsAtTheFirstMissingEntryAndKeepsThePreviousHandle) {
  void* hPartial = OpenPartialVM();
  // The build always makes kq230vm_partial.so: a test that cannot load it fails.
#ifdef KQ_PARTIAL_VM_PATH
  ASSERT_NE(hPartial, nullptr) << "cannot load " KQ_PARTIAL_VM_PATH ": " << dlerror();
#else
  FAIL() << "the build names no kq230vm_partial.so (KQ_PARTIAL_VM_PATH is not defined)";
#endif
  {
    BindingSnapshot snapshot;
    // Bound to the full library first: the second binding fails at the last
    // entry, after 29 successful look-ups.
    EXPECT_EQ(bInitVXCalcFromVM(hPartial, 2, 2), 0);
    void* apBound[kVXCalcEntryCount];
    kqtest::CurrentCalcEntries(apBound);
    for (int i = 0; i < kVXCalcEntryCount - 1; ++i) {
      SCOPED_TRACE(kCalcEntryNames[i]);
      EXPECT_EQ(apBound[i], dlsym(hPartial, kCalcEntryNames[i]));
    }
    EXPECT_EQ(gpfnModuloEx, nullptr) << "no address of the earlier library is left behind";
    EXPECT_EQ(ghCalcVM, m_hVM);
    EXPECT_EQ(gnVersionCalcVM, 2);

    CAny a, b, r;
    a.SetI4(7);
    b.SetI4(2);
    r.SetI4(-1);
    EXPECT_EQ(nModulo(a, b, &r, 0), 105);
    EXPECT_EQ(IntOf(r), -1);
  }
  dlclose(hPartial);
}

TEST_F(BoundValuesTest, CalcBindingIsPassedOnToAnotherLibraryThatCarriesTheEntry) {
  EXPECT_EQ(bInitVXCalcFromServeur(hVM()), 1) << "the stand-in has no such entry";
  EXPECT_EQ(bInitVXCalcFromServeur(nullptr), 1);
  void* hDriver = dlopen(CHostHarness::pszDefaultDriverPath(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(hDriver, nullptr) << dlerror();
  EXPECT_EQ(bInitVXCalcFromServeur(static_cast<HINSTANCE>(hDriver)), 1);
  {
    BindingSnapshot snapshot;
    BindingSnapshot::ClearAll();
    EXPECT_EQ(bInitVXCalcFromServeur(static_cast<HINSTANCE>(hDriver)), 0);
  }
  dlclose(hDriver);
}

// ---------------------------------------------------------------------------
// Tests with an int or a CAny result.

using IntTest = int (*)(const CAny&, const CAny&, int*, unsigned int);
using AnyTest = int (*)(const CAny&, const CAny&, CAny*, unsigned int);

struct TestFunction {
  const char* name;
  IntTest pfnInt;
  AnyTest pfnAny;
};

#define KQ_TEST_FUNCTION(f) \
  { #f, static_cast<IntTest>(f), static_cast<AnyTest>(f) }
const TestFunction kTestFunctions[] = {
    KQ_TEST_FUNCTION(nCompare),           KQ_TEST_FUNCTION(nEgalite),
    KQ_TEST_FUNCTION(nDifferent),         KQ_TEST_FUNCTION(nSuperieur),
    KQ_TEST_FUNCTION(nSupEgal),           KQ_TEST_FUNCTION(nInferieur),
    KQ_TEST_FUNCTION(nInfEgal),           KQ_TEST_FUNCTION(nPresqueEgal),
    KQ_TEST_FUNCTION(nSoupleEgal),        KQ_TEST_FUNCTION(nCommencePar),
    KQ_TEST_FUNCTION(nCommenceParSouple), KQ_TEST_FUNCTION(nCommenceParTresSouple),
    KQ_TEST_FUNCTION(nContient),          KQ_TEST_FUNCTION(nContientSouple),
    KQ_TEST_FUNCTION(nContientTresSouple), KQ_TEST_FUNCTION(nTerminePar),
    KQ_TEST_FUNCTION(nTermineParSouple),  KQ_TEST_FUNCTION(nTermineParTresSouple),
    KQ_TEST_FUNCTION(nAnd),               KQ_TEST_FUNCTION(nOr),
};
#undef KQ_TEST_FUNCTION

TEST_F(BoundValuesTest, ANullOperandAnswers103WithoutCallingTheEntryAndLeavesTheResult) {
  CAny value, nullValue;
  value.SetI4(1);
  nullValue.SetI4(1);
  nullValue.SetTypeWord(nullValue.wGetType() | kVXNullFlag);
  const struct {
    const char* name;
    const CAny& a;
    const CAny& b;
  } operands[] = {{"a null", nullValue, value}, {"b null", value, nullValue}};
  for (const TestFunction& f : kTestFunctions) {
    for (const auto& o : operands) {
      SCOPED_TRACE(testing::Message() << f.name << ", " << o.name);
      int n = 77;
      EXPECT_EQ(f.pfnInt(o.a, o.b, &n, 0), 103);
      EXPECT_EQ(n, 77);
      CAny r;
      SetDSTRW(&r, L"untouched");
      EXPECT_EQ(f.pfnAny(o.a, o.b, &r, 0), 103);
      EXPECT_EQ(WideOf(r), L"untouched");
    }
  }
  int n = 77;
  EXPECT_EQ(nNot(nullValue, &n, 0), 103);
  EXPECT_EQ(n, 77);
  CAny r;
  r.SetI4(5);
  EXPECT_EQ(nNot(nullValue, &r, 0), 103);
  EXPECT_EQ(nCompare(nullValue, value, &r), 103);
  EXPECT_EQ(IntOf(r), 5);
  EXPECT_EQ(Control().nCalcCalls(), 0);
}

TEST_F(BoundValuesTest, UnboundTestEntriesAnswer105AndLeaveTheResult) {
  BindingSnapshot snapshot;
  BindingSnapshot::ClearAll();
  CAny a, b;
  a.SetI4(1);
  b.SetI4(2);
  for (const TestFunction& f : kTestFunctions) {
    SCOPED_TRACE(f.name);
    int n = 77;
    EXPECT_EQ(f.pfnInt(a, b, &n, 0), 105);
    EXPECT_EQ(n, 77);
    CAny r;
    r.SetI4(5);
    EXPECT_EQ(f.pfnAny(a, b, &r, 0), 105);
    EXPECT_EQ(IntOf(r), 5);
  }
  int n = 77;
  EXPECT_EQ(nNot(a, &n, 0), 105);
  EXPECT_EQ(n, 77);
}

TEST_F(BoundValuesTest, TestsAnswerWhatTheServerDecides) {
  const auto i4 = [](int n) {
    CAny v;
    v.SetI4(n);
    return v;
  };
  const auto r8 = [](double d) {
    CAny v;
    v.SetR8(d);
    return v;
  };
  const auto text = [](const wchar_t* psz) {
    CAny v;
    SetDSTRW(&v, psz);
    return v;
  };
  const struct {
    const char* name;
    IntTest pfn;
    CAny a, b;
    int nExpected;
  } cases[] = {
      {"equal numbers of two types", nEgalite, i4(2), r8(2.0), 1},
      {"different numbers are not equal", nEgalite, i4(2), i4(3), 0},
      {"different", nDifferent, i4(2), i4(3), 1},
      {"equal are not different", nDifferent, i4(3), i4(3), 0},
      {"greater", nSuperieur, i4(3), i4(2), 1},
      {"not greater", nSuperieur, i4(2), i4(2), 0},
      {"greater or equal on equal", nSupEgal, i4(2), i4(2), 1},
      {"greater or equal on less", nSupEgal, i4(1), i4(2), 0},
      {"less", nInferieur, i4(1), i4(2), 1},
      {"less or equal on equal", nInfEgal, i4(2), i4(2), 1},
      {"less or equal on greater", nInfEgal, i4(3), i4(2), 0},
      {"ordering below", nCompare, i4(1), i4(2), -1},
      {"ordering equal", nCompare, text(L"ab"), text(L"ab"), 0},
      {"ordering above", nCompare, text(L"b"), text(L"ab"), 1},
      {"flexible equality ignores case and accents", nSoupleEgal, text(L"\u00C9t\u00E9"),
       text(L"ete"), 1},
      {"plain prefix is exact", nCommencePar, text(L"Abcdef"), text(L"abc"), 0},
      {"flexible prefix", nCommenceParSouple, text(L"Abcdef"), text(L"abc"), 1},
      {"very flexible prefix skips punctuation", nCommenceParTresSouple, text(L"a-b c!d"),
       text(L"ABC"), 1},
      {"contains", nContient, text(L"haystack"), text(L"st"), 1},
      {"flexible contains", nContientSouple, text(L"HAY\u00C9"), text(L"ye"), 1},
      {"very flexible contains", nContientTresSouple, text(L"x h.a y"), text(L"hay"), 1},
      {"ends with", nTerminePar, text(L"report.txt"), text(L".txt"), 1},
      {"flexible ends with", nTermineParSouple, text(L"report.TXT"), text(L".txt"), 1},
      {"very flexible ends with", nTermineParTresSouple, text(L"a b-c"), text(L"bc"), 1},
      {"and", nAnd, i4(1), i4(0), 0},
      {"or", nOr, i4(1), i4(0), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int n = -5;
    EXPECT_EQ(c.pfn(c.a, c.b, &n, 0), 0);
    EXPECT_EQ(n, c.nExpected);
  }
  int n = -5;
  EXPECT_EQ(nNot(i4(0), &n, 0), 0);
  EXPECT_EQ(n, 1);
}

// A test entry that records its call and writes (or not) a chosen int.
struct TestEntryScript {
  int nCalls = 0;
  unsigned short wTypeA = 0, wTypeB = 0;
  unsigned int nOptions = 0;
  int nReserved = -1;
  bool bWrite = true;
  int nWrite = 0;
  int nAnswer = 0;
};
TestEntryScript gScript;

int ScriptedTest2(const void*, unsigned short wTypeA, const void*, unsigned short wTypeB,
                  int* pnResult, unsigned int nOptions, int nReserved) {
  ++gScript.nCalls;
  gScript.wTypeA = wTypeA;
  gScript.wTypeB = wTypeB;
  gScript.nOptions = nOptions;
  gScript.nReserved = nReserved;
  if (gScript.bWrite) *pnResult = gScript.nWrite;
  return gScript.nAnswer;
}

TEST_F(BoundValuesTest, TestEntriesReceiveWholeTypeWordsAndTheOptions) {
  BindingSnapshot snapshot;
  gpfnEgaliteEx = ScriptedTest2;
  gScript = {};
  CAny a, b;
  a.SetI4(1);
  a.SetTypeWord(a.wGetType() | kVXSecondFlag);
  SetDSTRW(&b, L"x");
  int n = 0;
  EXPECT_EQ(nEgalite(a, b, &n, 0x2A), 0);
  EXPECT_EQ(gScript.nCalls, 1);
  EXPECT_EQ(gScript.wTypeA, VX_I4 | kVXSecondFlag);
  EXPECT_EQ(gScript.wTypeB, VX_DSTRW);
  EXPECT_EQ(gScript.nOptions, 0x2Au);
  EXPECT_EQ(gScript.nReserved, 0);
}

TEST_F(BoundValuesTest, NegatedTestsAnswer1WhenTheEntryWritesNothing) {
  BindingSnapshot snapshot;
  gpfnEgaliteEx = ScriptedTest2;
  gpfnInferieurEx = ScriptedTest2;
  gpfnSuperieurEx = ScriptedTest2;
  CAny a, b;
  a.SetI4(1);
  b.SetI4(1);
  const struct {
    const char* name;
    IntTest pfn;
  } negated[] = {{"nDifferent", nDifferent}, {"nSupEgal", nSupEgal}, {"nInfEgal", nInfEgal}};
  const struct {
    bool bWrite;
    int nWrite;
    int nExpected;
  } writes[] = {{false, 0, 1}, {true, 0, 1}, {true, 1, 0}, {true, -4, 0}};
  for (const auto& f : negated) {
    for (const auto& w : writes) {
      SCOPED_TRACE(testing::Message() << f.name << ", writes " << w.bWrite << "/" << w.nWrite);
      gScript = {};
      gScript.bWrite = w.bWrite;
      gScript.nWrite = w.nWrite;
      int n = 42;
      EXPECT_EQ(f.pfn(a, b, &n, 0), 0);
      EXPECT_EQ(n, w.nExpected);
    }
  }
}

TEST_F(BoundValuesTest, ACAnyResultIsABoolWithoutFlagsEvenAfterAFailureCode) {
  BindingSnapshot snapshot;
  gpfnEgaliteEx = ScriptedTest2;
  CAny a, b, r;
  a.SetI4(1);
  b.SetI4(1);
  SetDSTRW(&r, L"old content");
  r.SetTypeWord(r.wGetType() | kVXNullFlag | kVXSecondFlag);

  gScript = {};
  gScript.nWrite = 1;
  gScript.nAnswer = 150;
  EXPECT_EQ(nEgalite(a, b, &r, 0), 150);
  EXPECT_EQ(r.wGetType(), VX_BOOL);
  EXPECT_EQ(IntOf(r), 1);

  gScript = {};
  gScript.bWrite = false;
  EXPECT_EQ(nDifferent(a, b, &r, 0), 0);
  EXPECT_EQ(IntOf(r), 1);
}

TEST_F(BoundValuesTest, TheThreeArgumentCompareGivesAnI4WithOptions0) {
  BindingSnapshot snapshot;
  gpfnComparaisonEx = ScriptedTest2;
  gScript = {};
  gScript.nWrite = -1;
  CAny a, b, r;
  a.SetI4(1);
  b.SetI4(2);
  EXPECT_EQ(nCompare(a, b, &r), 0);
  EXPECT_EQ(r.wGetType(), VX_I4);
  EXPECT_EQ(IntOf(r), -1);
  EXPECT_EQ(gScript.nOptions, 0u);
  EXPECT_EQ(nCompare(a, b, &r, 9), 0);
  EXPECT_EQ(r.wGetType(), VX_BOOL);
  EXPECT_EQ(gScript.nOptions, 9u);
}

// ---------------------------------------------------------------------------
// Arithmetic.

TEST_F(BoundValuesTest, ArithmeticGivesTheServersResultTypeAndValue) {
  using Arith = int (*)(const CAny&, const CAny&, CAny*, unsigned int);
  const struct {
    const char* name;
    Arith pfn;
    int a, b;
    long long nExpected;
  } cases[] = {
      {"add", nAjoute, 40, 2, 42},   {"add (Ex)", nAjouteEx, -40, 2, -38},
      {"subtract", nSoustrait, 5, 7, -2}, {"multiply", nMultiplie, -6, 7, -42},
      {"modulo", nModulo, -7, 3, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CAny a, b, r;
    a.SetI4(c.a);
    b.SetI4(c.b);
    EXPECT_EQ(c.pfn(a, b, &r, 0), 0);
    EXPECT_EQ(Int64Of(r), c.nExpected);
  }
  CAny a, b, r;
  a.SetI4(1);
  b.SetI4(4);
  ASSERT_EQ(nDivise(a, b, &r, 0), 0);
  double d = 0;
  EXPECT_EQ(r.nGetREAL(&d), 0);
  EXPECT_EQ(d, 0.25);
}

TEST_F(BoundValuesTest, ANullOperandStillCallsTheEntryAndMarksTheResultNull) {
  CAny a, b, r;
  a.SetI4(2);
  b.SetI4(3);
  b.SetTypeWord(b.wGetType() | kVXNullFlag);
  EXPECT_EQ(nAjoute(a, b, &r, 0), 0);
  EXPECT_EQ(Control().nCalcCalls(), 1);
  EXPECT_TRUE(r.bIsNull());
  EXPECT_EQ(r.pbyGetValeur()[0], 5) << "the entry's sum, under the flag";
  EXPECT_EQ(nSoustrait(b, a, &r, 0), 0);
  EXPECT_TRUE(r.bIsNull());
  a.SetI4(1);
  EXPECT_EQ(nAjoute(a, a, &r, 0), 0);
  EXPECT_FALSE(r.bIsNull());
}

TEST_F(BoundValuesTest, AFailedOperationLeavesTheResultUntouched) {
  CAny a, zero, r;
  a.SetI4(1);
  zero.SetI4(0);
  SetDSTRW(&r, L"kept");
  EXPECT_EQ(nDivise(a, zero, &r, 0), kStandInDivisionByZero);
  EXPECT_EQ(WideOf(r), L"kept");
  Control().ForceNextCalcResult(120);
  EXPECT_EQ(nAjoute(a, a, &r, 0), 120);
  EXPECT_EQ(WideOf(r), L"kept");
  CAny big;
  big.SetI4(2147483647);
  EXPECT_EQ(nAjoute(big, a, &r, 0), kStandInOverflow);
  EXPECT_EQ(WideOf(r), L"kept");
}

TEST_F(BoundValuesTest, UnboundArithmeticAnswers105AndChangesNothing) {
  BindingSnapshot snapshot;
  BindingSnapshot::ClearAll();
  CAny a, r, value;
  a.SetI4(1);
  r.SetI4(9);
  value.SetI4(10);
  EXPECT_EQ(nAjoute(a, a, &r, 0), 105);
  EXPECT_EQ(nSoustrait(a, a, &r, 0), 105);
  EXPECT_EQ(nMultiplie(a, a, &r, 0), 105);
  EXPECT_EQ(nDivise(a, a, &r, 0), 105);
  EXPECT_EQ(nModulo(a, a, &r, 0), 105);
  EXPECT_EQ(nNegatif(a, &r, 0), 105);
  EXPECT_EQ(nIncrementeNumerique(&value, a), 105);
  EXPECT_EQ(nDecrementeNumerique(&value, a), 105);
  EXPECT_EQ(IntOf(r), 9);
  EXPECT_EQ(IntOf(value), 10);
}

TEST_F(BoundValuesTest, ResultsTakeOverDecimalsAndTextsInBalance) {
  const int n0 = Control().nLiveDecimals();
  {
    CAny a, b, r;
    a.SetI4(5);
    ASSERT_EQ(a.__nCastTo(VX_DECIMAL, nullptr, 1), 0);
    b.SetI4(2);
    ASSERT_EQ(nAjoute(a, b, &r, 0), 0);
    EXPECT_EQ(r.wGetType(), VX_DECIMAL);
    EXPECT_EQ(Control().nLiveDecimals(), n0 + 2);
    // Replacing a DECIMAL result releases its object.
    ASSERT_EQ(nMultiplie(a, b, &r, 0), 0);
    EXPECT_EQ(Control().nLiveDecimals(), n0 + 2);
    const wchar_t* psz = nullptr;
    ASSERT_EQ(r.__nCastToString(&psz, nullptr), 0);
    EXPECT_EQ(Text(psz), L"10");

    CAny s, t;
    SetDSTRW(&s, L"ab");
    SetDSTRW(&t, L"cd");
    ASSERT_EQ(nAjoute(s, t, &r, 0), 0);
    EXPECT_EQ(WideOf(r), L"abcd");
  }
  EXPECT_EQ(Control().nLiveDecimals(), n0);
}

TEST_F(BoundValuesTest, NegationWritesIntoTheResultAndKeepsItsOwnershipStraight) {
  const int n0 = Control().nLiveDecimals();
  CAny a, r;
  a.SetI4(5);
  SetDSTRW(&r, L"released");
  ASSERT_EQ(nNegatif(a, &r, 0), 0);
  EXPECT_EQ(r.wGetType(), VX_I4);
  EXPECT_EQ(IntOf(r), -5);

  // A type the entry changes: UI4 negates into I8.
  a.SetUI4(7);
  ASSERT_EQ(nNegatif(a, &r, 0), 0);
  EXPECT_EQ(r.wGetType(), VX_I8);
  EXPECT_EQ(Int64Of(r), -7);

  a.SetI4(3);
  a.SetTypeWord(a.wGetType() | kVXNullFlag);
  ASSERT_EQ(nNegatif(a, &r, 0), 0);
  EXPECT_TRUE(r.bIsNull());

  a.SetI4(12);
  ASSERT_EQ(a.__nCastTo(VX_DECIMAL, nullptr, 1), 0);
  for (int i = 0; i < 2; ++i) {  // the second time over a DECIMAL result
    ASSERT_EQ(nNegatif(a, &r, 0), 0);
    EXPECT_EQ(r.wGetType(), VX_DECIMAL);
    EXPECT_EQ(Control().nLiveDecimals(), n0 + 2);
  }
  const wchar_t* psz = nullptr;
  ASSERT_EQ(r.__nCastToString(&psz, nullptr), 0);
  EXPECT_EQ(Text(psz), L"-12");

  a.SetI4(-2147483647 - 1);
  SetDSTRW(&r, L"x");
  EXPECT_EQ(nNegatif(a, &r, 0), kStandInOverflow);
}

// v = -v: the operand is read before its own area is reinitialised, and a
// failure leaves it as it was.
TEST_F(BoundValuesTest, NegationIntoTheOperandItselfNegatesItsValue) {
  const int n0 = Control().nLiveDecimals();
  const struct {
    const char* name;
    std::function<void(CAny*)> set;
    unsigned short wFlags;
    unsigned short wExpectedType;
    std::wstring expected;
  } cases[] = {
      {"I4", [](CAny* v) { v->SetI4(5); }, 0, VX_I4, L"-5"},
      {"I4 under both flags", [](CAny* v) { v->SetI4(3); }, kVXNullFlag | kVXSecondFlag,
       VX_I4 | kVXNullFlag, L"-3"},
      {"UI4 negates into I8", [](CAny* v) { v->SetUI4(7); }, 0, VX_I8, L"-7"},
      {"DECIMAL",
       [](CAny* v) {
         v->SetI4(12);
         ASSERT_EQ(v->__nCastTo(VX_DECIMAL, nullptr, 1), 0);
       },
       0, VX_DECIMAL, L"-12"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CAny v;
    c.set(&v);
    v.SetTypeWord(static_cast<unsigned short>(v.wGetType() | c.wFlags));
    ASSERT_EQ(nNegatif(v, &v, 0), 0);
    EXPECT_EQ(v.wGetType(), c.wExpectedType);
    v.SetTypeWord(v.wGetType() & 0xFF);
    const wchar_t* psz = nullptr;
    ASSERT_EQ(v.__nCastToString(&psz, nullptr), 0);
    EXPECT_EQ(Text(psz), c.expected);
  }
  EXPECT_EQ(Control().nLiveDecimals(), n0);

  CAny v;
  v.SetI4(-2147483647 - 1);
  EXPECT_EQ(nNegatif(v, &v, 0), kStandInOverflow);
  EXPECT_EQ(v.wGetType(), VX_I4);
  EXPECT_EQ(IntOf(v), -2147483647 - 1);
}

TEST_F(BoundValuesTest, PositiveCopiesTheOperandWithoutCallingAnything) {
  CAny a, r;
  SetDSTRW(&a, L"same");
  a.SetTypeWord(a.wGetType() | kVXSecondFlag);
  r.SetI4(1);
  EXPECT_EQ(nPositif(a, &r, 0), 0);
  EXPECT_EQ(r.wGetType(), VX_DSTRW | kVXSecondFlag);
  EXPECT_EQ(WideOf(r), L"same");
  EXPECT_EQ(nPositif(a, &a, 0), 0);
  EXPECT_EQ(WideOf(a), L"same");
  EXPECT_EQ(Control().nCalcCalls(), 0);
}

TEST_F(BoundValuesTest, StepsAddTheStepAndTakeTheNullFlagOfTheStep) {
  const struct {
    const char* name;
    bool bIncrement;
    int nValue, nStep;
    unsigned short wValueFlags, wStepFlags;
    long long nExpected;
    bool bNull;
  } cases[] = {
      {"increment", true, 41, 1, 0, 0, 42, false},
      {"decrement", false, 41, 1, 0, 0, 40, false},
      {"flags of the value are cleared", true, 1, 1, kVXNullFlag | kVXSecondFlag, 0, 2, false},
      {"a null step makes the value null", false, 10, 3, 0, kVXNullFlag, 7, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CAny v, step;
    v.SetI4(c.nValue);
    v.SetTypeWord(v.wGetType() | c.wValueFlags);
    step.SetI4(c.nStep);
    step.SetTypeWord(step.wGetType() | c.wStepFlags);
    const int nCode = c.bIncrement ? nIncrementeNumerique(&v, step) : nDecrementeNumerique(&v, step);
    EXPECT_EQ(nCode, 0);
    EXPECT_EQ(v.bIsNull(), c.bNull);
    EXPECT_EQ((v.wGetType() & kVXSecondFlag) != 0, false);
    v.SetTypeWord(v.wGetType() & 0xFF);
    EXPECT_EQ(Int64Of(v), c.nExpected);
  }
}

TEST_F(BoundValuesTest, StepsOfDecimalsAndTextsLeaveNothingBehind) {
  const int n0 = Control().nLiveDecimals();
  {
    CAny v, one;
    v.SetI4(9);
    ASSERT_EQ(v.__nCastTo(VX_DECIMAL, nullptr, 1), 0);
    one.SetI4(1);
    ASSERT_EQ(nIncrementeNumerique(&v, one), 0);
    EXPECT_EQ(v.wGetType(), VX_DECIMAL);
    EXPECT_EQ(Control().nLiveDecimals(), n0 + 1);
    const wchar_t* psz = nullptr;
    ASSERT_EQ(v.__nCastToString(&psz, nullptr), 0);
    EXPECT_EQ(Text(psz), L"10");

    // text + text gives a counted text: the value must not keep the entry's
    // reference on top of its own (the fixture checks the buffers).
    CAny s, t;
    SetDSTRW(&s, L"ab");
    SetDSTRW(&t, L"cd");
    ASSERT_EQ(nIncrementeNumerique(&s, t), 0);
    EXPECT_EQ(WideOf(s), L"abcd");
  }
  EXPECT_EQ(Control().nLiveDecimals(), n0);
}

TEST_F(BoundValuesTest, AFailedStepLeavesTheValueUnchanged) {
  CAny v, one;
  v.SetI4(2147483647);
  v.SetTypeWord(v.wGetType() | kVXSecondFlag);
  one.SetI4(1);
  EXPECT_EQ(nIncrementeNumerique(&v, one), kStandInOverflow);
  EXPECT_EQ(v.wGetType(), VX_I4 | kVXSecondFlag);
  v.SetTypeWord(VX_I4);
  EXPECT_EQ(IntOf(v), 2147483647);
}

// ---------------------------------------------------------------------------
// The dump.

TEST_F(BoundValuesTest, TheDumpWritesThePrefixAndTheValue) {
  CAny empty, i4, nullI4, flagged, text, nullPrefix;
  i4.SetI4(42);
  nullI4.SetI4(42);
  nullI4.SetTypeWord(nullI4.wGetType() | kVXNullFlag);
  flagged.SetI4(-3);
  flagged.SetTypeWord(flagged.wGetType() | kVXSecondFlag);
  SetDSTRW(&text, L"caf\u00E9");
  const unsigned char abyTwo[2] = {0xAB, 0x01};
  CAny bin;
  bin.SetBIN(abyTwo, 2);
  const struct {
    const char* name;
    const CAny* pv;
    const wchar_t* pszPrefix;
    int bDetail;
    std::wstring expected;
  } cases[] = {
      {"empty value", &empty, L"P:", 0, L"P:<Empty>"},
      {"empty value with detail", &empty, L"P:", 1, L"P:<Empty>"},
      {"null pointer", nullptr, L"P:", 1, L"P:<NULL>"},
      {"null I4 with detail", &nullI4, L"P:", 1, L"P:Type=8, Len=4, Value=<NULL>"},
      {"null I4", &nullI4, L"P:", 0, L"P:<NULL>"},
      {"I4", &i4, L"P:", 0, L"P:42"},
      {"I4 with detail", &i4, L"", 1, L"Type=8, Len=4, Value=42, Value(binary)=2A000000"},
      {"I4 carrying the second flag", &flagged, nullptr, 0, L"-3"},
      {"wide text", &text, L"v=", 0, L"v=caf\u00E9"},
      {"binary with detail", &bin, L"", 1, L"Type=28, Len=2, Value=\u00AB\u0001, Value(binary)=AB01"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CXYString<wchar_t> out(L"previous text");
    EXPECT_EQ(nGetString(&out, c.pv, c.pszPrefix, c.bDetail), 0);
    EXPECT_EQ(Text(out), c.expected);
    CTString strT;
    EXPECT_EQ(nGetString(&strT, c.pv, c.pszPrefix, c.bDetail), 0);
    EXPECT_EQ(std::wstring(strT.pszGet()), c.expected);
    if (c.pv != nullptr) {
      EXPECT_EQ(nGetString(&out, *c.pv, c.pszPrefix, c.bDetail), 0);
      EXPECT_EQ(Text(out), c.expected);
      EXPECT_EQ(nGetString(&strT, *c.pv, c.pszPrefix, c.bDetail), 0);
      EXPECT_EQ(std::wstring(strT.pszGet()), c.expected);
    }
  }
  EXPECT_EQ(i4.wGetType(), VX_I4) << "the dumped value is not converted";
}

TEST_F(BoundValuesTest, TheDumpShowsAtMost500BytesOfABinaryValue) {
  const struct {
    unsigned int nBytes;
    bool bCut;
  } cases[] = {{500, false}, {501, true}, {600, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.nBytes);
    std::string bytes(c.nBytes, '\0');
    for (unsigned int i = 0; i < c.nBytes; ++i) bytes[i] = static_cast<char>('A' + i % 26);
    CAny v;
    v.SetBIN(reinterpret_cast<const unsigned char*>(bytes.data()), c.nBytes);
    CXYString<wchar_t> out;
    ASSERT_EQ(nGetString(&out, v, L"", 1), 0);
    const std::wstring s = Text(out);
    const std::wstring marker = L", Value(binary)=";
    const size_t at = s.find(marker);
    ASSERT_NE(at, std::wstring::npos);
    std::wstring hex = s.substr(at + marker.size());
    const std::wstring cut = L"(first 500 bytes only) ";
    EXPECT_EQ(hex.compare(0, cut.size(), cut) == 0, c.bCut);
    if (c.bCut) hex = hex.substr(cut.size());
    ASSERT_EQ(hex.size(), 1000u);
    EXPECT_EQ(hex.substr(0, 6), L"414243");
    EXPECT_EQ(hex.substr(996), L"4546") << "bytes 498 and 499";
    EXPECT_EQ(s.find(L"Type=28, Len=" + std::to_wstring(c.nBytes) + L", Value="), 0u);
  }
}

TEST_F(BoundValuesTest, TheDumpWritesErrorForAValueThatDoesNotConvert) {
  CAny v;
  v.SetI4(4);
  CXYString<wchar_t> out;
  Control().ForceNextConversionResult(120);
  EXPECT_EQ(nGetString(&out, v, L"P:", 0), 120);
  EXPECT_EQ(Text(out), L"P:<ERROR>");
  {
    BindingSnapshot snapshot;
    gpfnConvDepExt = nullptr;
    EXPECT_EQ(nGetString(&out, v, L"P:", 1), 105);
    EXPECT_EQ(Text(out), L"P:Type=8, Len=4, Value=<ERROR>");
  }
  EXPECT_EQ(v.wGetType(), VX_I4);
}

TEST_F(BoundValuesTest, TheDumpPassesOnTheAllocatorsFailure) {
  CAny v;
  v.SetI4(4);
  CXYString<wchar_t> out;
  Control().FailStrAllocationAt(1);
  EXPECT_EQ(nGetString(&out, v, L"P:", 0), kStandInAllocFailure);
  EXPECT_EQ(out.pGetData(), nullptr);
  CTString strT(L"before");
  Control().FailStrAllocationAt(1);
  EXPECT_EQ(nGetString(&strT, &v, L"P:", 0), kStandInAllocFailure);
}

}  // namespace
