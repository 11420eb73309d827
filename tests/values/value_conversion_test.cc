// The conversion binding, the casts of CAny through the server's conversion
// entry, counted text, and the life of DECIMAL values, against the stand-in
// server (kq230vm.so) loaded with dlopen.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/harness/host_harness.h"
#include "tests/values/any_test_support.h"
#include "tests/values/bound_values.h"

namespace {

using kqtest::BindingSnapshot;
using kqtest::BoundValuesTest;
using kqtest::Text;

constexpr unsigned int U(eVXType t) { return t; }

// The value's type word and area, to show that a failed step changed nothing.
struct ValueState {
  unsigned short wType;
  unsigned char aby[kVXValueAreaSize];
};
ValueState StateOf(const CAny& v) {
  ValueState st;
  st.wType = v.wGetType();
  std::memcpy(st.aby, v.pbyGetValeur(), kVXValueAreaSize);
  return st;
}
void ExpectUnchanged(const ValueState& before, const CAny& v) {
  EXPECT_EQ(v.wGetType(), before.wType);
  EXPECT_EQ(std::memcmp(v.pbyGetValeur(), before.aby, kVXValueAreaSize), 0) << "content changed";
}

std::wstring WideOf(const CAny& v) {
  const wchar_t* psz = nullptr;
  if (v.pclGetIntern()->nGetPCWSTR(&psz) != 0) return L"<no wide text>";
  return Text(psz);
}
std::string NarrowOf(const CAny& v) {
  const char* psz = nullptr;
  if (v.pclGetIntern()->nGetPCASTR(&psz) != 0) return "<no 8-bit text>";
  return psz != nullptr ? psz : "";
}

void SetDSTRW(CAny* pv, const wchar_t* psz) {
  CXYString<wchar_t> s(psz);
  pv->__SetType(VX_DSTRW, 0);
  pv->pclGetIntern()->SetValue(&s);
}
void SetDSTRA(CAny* pv, const char* psz) {
  CXYString<char> s;
  ASSERT_EQ(s.nAffecte(psz, -1), 0);
  pv->__SetType(VX_DSTRA, 0);
  pv->pclGetIntern()->SetValue(&s);
}
void SetPSTRW(CAny* pv, const wchar_t* psz) {
  pv->__SetType(VX_PSTRW, 0);
  pv->pclGetIntern()->SetValue(psz);
}

// ---------------------------------------------------------------------------
// The exports, as the server sees them through the driver library.

void* OpenPartialVM() {
#ifdef KQ_PARTIAL_VM_PATH
  return dlopen(KQ_PARTIAL_VM_PATH, RTLD_NOW | RTLD_LOCAL);
#else
  return nullptr;
#endif
}

TEST(ValueBindingExports, AnswerForEachVersionAndLibraryAsTheServerSees) {
  CHostHarness harness;
  std::string strError;
  ASSERT_TRUE(harness.bLoad(&strError)) << strError;
  auto pfnConv = reinterpret_cast<int (*)(void*, int, int)>(harness.pSymbol("bInitVXConvFromVM"));
  auto pfnCalc = reinterpret_cast<int (*)(void*, int, int)>(harness.pSymbol("bInitVXCalcFromVM"));
  ASSERT_NE(pfnConv, nullptr) << "the driver does not export bInitVXConvFromVM";
  ASSERT_NE(pfnCalc, nullptr) << "the driver does not export bInitVXCalcFromVM";
  void* hPartial = OpenPartialVM();
  // The build always makes kq230vm_partial.so: a test that cannot load it fails.
#ifdef KQ_PARTIAL_VM_PATH
  ASSERT_NE(hPartial, nullptr) << "cannot load " KQ_PARTIAL_VM_PATH ": " << dlerror();
#else
  FAIL() << "the build names no kq230vm_partial.so (KQ_PARTIAL_VM_PATH is not defined)";
#endif

  struct Case {
    const char* name;
    bool bPartial;
    int nVersion, nCompat;
    int nConv, nCalc;
  };
  const Case cases[] = {
      {"current server", false, 2, 2, 1, 1},
      {"newer version, older compatibility", false, 7, 0, 1, 1},
      {"version 1", false, 1, 0, 0, 0},
      {"version 0", false, 0, 2, 0, 0},
      {"compatibility 3", false, 5, 3, 0, 0},
      {"compatibility 3 at version 2", false, 2, 3, 0, 0},
      {"library lacking names", true, 2, 2, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    void* h = c.bPartial ? hPartial : harness.hVM();
    EXPECT_EQ(pfnConv(h, c.nVersion, c.nCompat), c.nConv);
    EXPECT_EQ(pfnCalc(h, c.nVersion, c.nCompat), c.nCalc);
  }
  if (hPartial != nullptr) dlclose(hPartial);
  EXPECT_EQ(harness.Control().nLiveDecimals(), 0);
}

// ---------------------------------------------------------------------------
// Binding, in process.

TEST_F(BoundValuesTest, BindingIsRefusedBeforeAnyLookUpForAnOldVersionOrANewerCompatibility) {
  BindingSnapshot snapshot;
  const struct {
    int nVersion, nCompat;
  } cases[] = {{1, 0}, {5, 3}, {0, 0}, {-1, 2}, {2, 3}, {1, 3}, {2, 100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "version " << c.nVersion << ", compat " << c.nCompat);
    BindingSnapshot::ClearAll();
    EXPECT_EQ(bInitVXConvFromVM(hVM(), c.nVersion, c.nCompat), 0);
    // The first look-up would have stored the conversion entry at once.
    EXPECT_EQ(gpfnConvDepExt, nullptr);
    EXPECT_EQ(gpfnFinConv, nullptr);
    EXPECT_EQ(gpiVMFactory, nullptr);
    EXPECT_EQ(ghConvVM, nullptr);
  }
}

TEST_F(BoundValuesTest, BindingKeepsTheEntriesTheHandleTheVersionsAndTheFactory) {
  BindingSnapshot snapshot;
  BindingSnapshot::ClearAll();
  ASSERT_EQ(bInitVXConvFromVM(hVM(), 3, 1), 1);
  EXPECT_EQ(reinterpret_cast<void*>(gpfnConvDepExt), dlsym(m_hVM, "nConversionDepassementExt"));
  EXPECT_EQ(reinterpret_cast<void*>(gpfnFinConv), dlsym(m_hVM, "FinConversion"));
  EXPECT_EQ(ghConvVM, hVM());
  EXPECT_EQ(gnVersionConvVM, 3);
  EXPECT_EQ(gnVersionCompatConvVM, 1);
  auto pfnQuery = reinterpret_cast<PFNVXQUERYPROXY>(dlsym(m_hVM, "pQueryProxy"));
  ASSERT_NE(pfnQuery, nullptr);
  EXPECT_EQ(static_cast<void*>(gpiVMFactory), pfnQuery(kVXProxyDecimalFactory));
}

TEST_F(BoundValuesTest, ANullLibraryHandleBindsNothing) {
  BindingSnapshot snapshot;
  BindingSnapshot::ClearAll();
  EXPECT_EQ(bInitVXConvFromVM(nullptr, 2, 2), 0);
  EXPECT_EQ(bInitFactory(nullptr), 0);
  EXPECT_EQ(gpfnConvDepExt, nullptr);
  EXPECT_EQ(gpiVMFactory, nullptr);
}

TEST_F(BoundValuesTest, ALibraryWithoutTheConversionNamesBindsNothingAndCastsAnswer105) {
  void* hPartial = OpenPartialVM();
  // The build always makes kq230vm_partial.so: a test that cannot load it fails.
#ifdef KQ_PARTIAL_VM_PATH
  ASSERT_NE(hPartial, nullptr) << "cannot load " KQ_PARTIAL_VM_PATH ": " << dlerror();
#else
  FAIL() << "the build names no kq230vm_partial.so (KQ_PARTIAL_VM_PATH is not defined)";
#endif
  {
    BindingSnapshot snapshot;
    BindingSnapshot::ClearAll();
    EXPECT_EQ(bInitVXConvFromVM(static_cast<HINSTANCE>(hPartial), 2, 2), 0);
    EXPECT_EQ(gpfnConvDepExt, nullptr);
    EXPECT_EQ(gpfnFinConv, nullptr);
    EXPECT_EQ(gpiVMFactory, nullptr);
    CAny v;
    v.SetI4(42);
    const ValueState before = StateOf(v);
    EXPECT_EQ(v.__nCastTo(VX_DSTRW, nullptr, 1), 105);
    ExpectUnchanged(before, v);
  }
  dlclose(hPartial);
}

TEST_F(BoundValuesTest, EveryConversionPathAnswers105WhileItsEntriesAreNotBound) {
  struct Unbinding {
    const char* name;
    bool bConversion, bRelease;
  };
  const Unbinding unbindings[] = {
      {"nothing bound", true, true},
      {"release entry missing", false, true},
  };
  for (const Unbinding& u : unbindings) {
    SCOPED_TRACE(u.name);
    BindingSnapshot snapshot;
    if (u.bConversion) gpfnConvDepExt = nullptr;
    if (u.bRelease) gpfnFinConv = nullptr;

    CAny v;
    v.SetI4(42);
    v.SetTypeWord(v.wGetType() | kVXSecondFlag);
    const ValueState before = StateOf(v);
    EXPECT_EQ(v.__nCastTo(VX_DSTRW, nullptr, 1), 105);
    EXPECT_EQ(v.__nCastTo(VX_DECIMAL, nullptr, 1), 105);
    const wchar_t* pszW = L"sentinel";
    const char* pszA = "sentinel";
    EXPECT_EQ(v.__nCastToString(&pszW, nullptr), 105);
    EXPECT_EQ(v.__nCastToString(&pszA, nullptr), 105);
    ExpectUnchanged(before, v);
    if (u.bConversion) {
      CXYString<wchar_t> strW(L"kept");
      CXYString<char> strA;
      EXPECT_EQ(v.__nFillString(strW, nullptr), 105);
      EXPECT_EQ(v.__nFillString(strA, nullptr), 105);
      EXPECT_EQ(Text(strW), L"kept");
      int n = 7;
      EXPECT_EQ(CAny::__s_nCastTo(&n, L"12", VX_I4, nullptr), 105);
      EXPECT_EQ(n, 7);
    }
  }
  EXPECT_EQ(Control().nConversionCalls(), 0);
}

TEST_F(BoundValuesTest, ACastToDecimalWithoutAFactoryAnswers105BeforeConverting) {
  BindingSnapshot snapshot;
  gpiVMFactory = nullptr;
  CAny v;
  v.SetI4(3);
  const ValueState before = StateOf(v);
  EXPECT_EQ(v.__nCastTo(VX_DECIMAL, nullptr, 1), 105);
  ExpectUnchanged(before, v);
  EXPECT_EQ(Control().nConversionCalls(), 0);
}

TEST_F(BoundValuesTest, TheBindingIsPassedOnToAnotherLibraryThatCarriesTheEntry) {
  // The stand-in has no such entry: nothing to pass on.
  EXPECT_EQ(bInitVXConvFromServeur_AVERIFIER(hVM()), 1);
  EXPECT_EQ(bInitVXConvFromServeur_AVERIFIER(nullptr), 1);
  // The driver library has it, with statics of its own: it binds to the same
  // library, and refuses when there is nothing kept to pass on.
  void* hDriver = dlopen(CHostHarness::pszDefaultDriverPath(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(hDriver, nullptr) << dlerror();
  EXPECT_EQ(bInitVXConvFromServeur_AVERIFIER(static_cast<HINSTANCE>(hDriver)), 1);
  {
    BindingSnapshot snapshot;
    BindingSnapshot::ClearAll();
    EXPECT_EQ(bInitVXConvFromServeur_AVERIFIER(static_cast<HINSTANCE>(hDriver)), 0);
  }
  dlclose(hDriver);
}

// ---------------------------------------------------------------------------
// Casts through the stand-in.

struct CastCase {
  const char* name;
  std::function<void(CAny*)> set;
  unsigned short nTarget;
  int nExpected;
  std::function<void(const CAny&)> check;  // after a success
};

TEST_F(BoundValuesTest, CastsConvertTheValueInPlaceOrLeaveItAsItWas) {
  const unsigned char abySeven[7] = {1, 2, 3, 4, 5, 6, 7};
  const CastCase cases[] = {
      {"I4 to DSTRW", [](CAny* v) { v->SetI4(42); }, VX_DSTRW, 0,
       [](const CAny& v) { EXPECT_EQ(WideOf(v), L"42"); }},
      {"negative I4 to DSTRA", [](CAny* v) { v->SetI4(-7); }, VX_DSTRA, 0,
       [](const CAny& v) { EXPECT_EQ(NarrowOf(v), "-7"); }},
      {"R8 to PSTRW", [](CAny* v) { v->SetR8(1.5); }, VX_PSTRW, 0,
       [](const CAny& v) { EXPECT_EQ(WideOf(v), L"1.5"); }},
      {"DSTRW to I4", [](CAny* v) { SetDSTRW(v, L"123"); }, VX_I4, 0,
       [](const CAny& v) {
         int n = 0;
         EXPECT_EQ(v.nGetINT(&n), 0);
         EXPECT_EQ(n, 123);
       }},
      {"PSTRW to R8", [](CAny* v) { SetPSTRW(v, L" 2.5 "); }, VX_R8, 0,
       [](const CAny& v) {
         double d = 0;
         EXPECT_EQ(v.nGetREAL(&d), 0);
         EXPECT_EQ(d, 2.5);
       }},
      {"UI2 to the alias 15 gives I4", [](CAny* v) { v->SetUI2(9); }, VX_I4_ALIAS, 0,
       [](const CAny& v) { EXPECT_EQ(v.wGetType(), VX_I4); }},
      {"I8 out of UI1's range", [](CAny* v) { v->SetI8(300); }, VX_UI1, kStandInOverflow, nullptr},
      {"text that is no number", [](CAny* v) { SetDSTRW(v, L"abc"); }, VX_I4, kStandInNotANumber,
       nullptr},
      {"7-byte BIN to an 8-byte type",
       [&abySeven](CAny* v) { v->SetBIN(abySeven, sizeof abySeven); }, VX_I8,
       kStandInBinNot8Bytes, nullptr},
      {"invalid date text", [](CAny* v) { SetDSTRW(v, L"20230230"); }, VX_DATEW, kStandInBadDate,
       nullptr},
  };
  for (const CastCase& c : cases) {
    SCOPED_TRACE(c.name);
    CAny v;
    c.set(&v);
    const ValueState before = StateOf(v);
    ASSERT_EQ(v.__nCastTo(c.nTarget, nullptr, 1), c.nExpected);
    if (c.nExpected > 99) {
      ExpectUnchanged(before, v);
    } else {
      EXPECT_EQ(v.nGetTypeCode(), c.nTarget == VX_I4_ALIAS ? static_cast<unsigned short>(VX_I4) : c.nTarget);
      if (c.check) c.check(v);
    }
  }
  EXPECT_EQ(Control().nFinConversionCalls(), 6) << "one release per successful conversion";
}

TEST_F(BoundValuesTest, CastsKeepTheNullAndTheSecondFlag) {
  const unsigned short flags[] = {0, kVXNullFlag, kVXSecondFlag, kVXNullFlag | kVXSecondFlag};
  for (unsigned short wFlags : flags) {
    SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << wFlags);
    CAny v;
    v.SetI4(12);
    v.SetTypeWord(v.wGetType() | wFlags);
    ASSERT_EQ(v.__nCastTo(VX_DSTRW, nullptr, 1), 0);
    EXPECT_EQ(v.wGetType(), VX_DSTRW | wFlags);
    EXPECT_EQ(WideOf(v), L"12");
  }
}

TEST_F(BoundValuesTest, ACastToTheOwnTypeCodeCallsNothingWhateverTheOptions) {
  const STOCAW stUtf8 = {65001};
  CAny v;
  v.SetI4(5);
  v.SetTypeWord(v.wGetType() | kVXNullFlag | kVXSecondFlag);
  const ValueState before = StateOf(v);
  EXPECT_EQ(v.__nCastTo(VX_I4, nullptr, 1), 0);
  EXPECT_EQ(v.__nCastTo(VX_I4, &stUtf8, 0xFFFF), 0);
  ExpectUnchanged(before, v);
  EXPECT_EQ(Control().nConversionCalls(), 0);
}

TEST_F(BoundValuesTest, AForcedFailureLeavesTypeContentAndFlagsUnchanged) {
  const unsigned char abyBytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  const struct {
    const char* name;
    std::function<void(CAny*)> set;
    unsigned short nTarget;
  } cases[] = {
      {"I4 to DSTRW", [](CAny* v) { v->SetI4(42); }, VX_DSTRW},
      {"DSTRW to I4", [](CAny* v) { SetDSTRW(v, L"42"); }, VX_I4},
      {"PSTRW to DECIMAL", [](CAny* v) { SetPSTRW(v, L"4.2"); }, VX_DECIMAL},
      {"DECIMAL to PSTRW",
       [](CAny* v) {
         v->SetI4(42);
         ASSERT_EQ(v->__nCastTo(VX_DECIMAL, nullptr, 1), 0);
       },
       VX_PSTRW},
      {"BIN to I8", [&abyBytes](CAny* v) { v->SetBIN(abyBytes, 8); }, VX_I8},
  };
  const unsigned short flags[] = {0, kVXNullFlag | kVXSecondFlag};
  for (const auto& c : cases) {
    for (unsigned short wFlags : flags) {
      SCOPED_TRACE(testing::Message() << c.name << ", flags 0x" << std::hex << wFlags);
      CAny v;
      c.set(&v);
      v.SetTypeWord(v.wGetType() | wFlags);
      const ValueState before = StateOf(v);
      const int nDecimals = Control().nLiveDecimals();
      Control().ForceNextConversionResult(120);
      EXPECT_EQ(v.__nCastTo(c.nTarget, nullptr, 1), 120);
      ExpectUnchanged(before, v);
      EXPECT_EQ(Control().nLiveDecimals(), nDecimals);
    }
  }
}

TEST_F(BoundValuesTest, ASuccessCodeOfTheEntryIsPassedBack) {
  CAny v;
  v.SetI4(8);
  Control().ForceNextConversionResult(7);
  EXPECT_EQ(v.__nCastTo(VX_DSTRW, nullptr, 1), 7);
  EXPECT_EQ(WideOf(v), L"8");
}

// A conversion entry that records how it is called and answers a failure, to
// see the calling form without depending on what the stand-in converts.
struct RecordedCall {
  int nCalls = 0;
  const void* pSource = nullptr;
  unsigned int nSourceType = 0;
  void* pDest = nullptr;
  unsigned int nDestType = 0;
  unsigned int nOptions = 0;
  const STOCAW* pst = nullptr;
  const wchar_t* pszSourceText = nullptr;
};
RecordedCall gRecorded;

int RecordingConversion(const void* pSource, unsigned int nSourceType, void* pDest,
                        unsigned int nDestType, unsigned int nOptions, const STOCAW* pst) {
  gRecorded = {gRecorded.nCalls + 1, pSource, nSourceType, pDest, nDestType, nOptions, pst,
               nullptr};
  if (nSourceType == VX_PSTRW) gRecorded.pszSourceText = *static_cast<const wchar_t* const*>(pSource);
  return 150;
}

TEST_F(BoundValuesTest, TheEntryReceivesTheAreaTheTypeCodeTheOptionsAndTheCodePage) {
  BindingSnapshot snapshot;
  gpfnConvDepExt = RecordingConversion;
  const STOCAW stUtf8 = {65001};
  CAny v;
  v.SetI4(3);
  v.SetTypeWord(v.wGetType() | kVXNullFlag | kVXSecondFlag);

  gRecorded = {};
  EXPECT_EQ(v.__nCastTo(VX_R8, &stUtf8, 0x55), 150);
  EXPECT_EQ(gRecorded.nCalls, 1);
  EXPECT_EQ(gRecorded.pSource, v.pbyGetValeur());
  EXPECT_EQ(gRecorded.nSourceType, U(VX_I4)) << "flags are not passed";
  EXPECT_EQ(gRecorded.nDestType, U(VX_R8));
  EXPECT_EQ(gRecorded.nOptions, 0x55u);
  EXPECT_EQ(gRecorded.pst, &stUtf8);

  gRecorded = {};
  const wchar_t* psz = nullptr;
  EXPECT_EQ(v.__nCastToString(&psz, nullptr), 150);
  EXPECT_EQ(gRecorded.nDestType, U(VX_DSTRW));
  EXPECT_EQ(gRecorded.nOptions, 1u);

  gRecorded = {};
  CXYString<char> strA;
  EXPECT_EQ(v.__nFillString(strA, &stUtf8), 150);
  EXPECT_EQ(gRecorded.nDestType, U(VX_DSTRA));
  EXPECT_EQ(strA.pGetData(), nullptr) << "the output is unchanged after a failure";
  EXPECT_EQ(gRecorded.nOptions, 0u);
  EXPECT_EQ(gRecorded.pst, &stUtf8);

  gRecorded = {};
  int n = 0;
  EXPECT_EQ(CAny::__s_nCastTo(&n, L"17", VX_I4, &stUtf8), 150);
  EXPECT_EQ(gRecorded.nSourceType, U(VX_PSTRW));
  EXPECT_EQ(Text(gRecorded.pszSourceText), L"17");
  EXPECT_EQ(gRecorded.pDest, static_cast<void*>(&n));
  EXPECT_EQ(gRecorded.nOptions, 1u);
}

// A conversion entry that answers an object reference (or a memory block) of
// the test's in the scratch area, as an entry converting to those types would.
const void* gpConvertedObject = nullptr;
uint32_t gnConvertedSize = 0;
int ObjectConversion(const void*, unsigned int, void* pDest, unsigned int, unsigned int,
                     const STOCAW*) {
  std::memcpy(pDest, &gpConvertedObject, sizeof gpConvertedObject);
  std::memcpy(static_cast<unsigned char*>(pDest) + sizeof gpConvertedObject, &gnConvertedSize,
              sizeof gnConvertedSize);
  return 0;
}
void NoRelease(void*, unsigned int) {}

// The value takes the object itself (and a reference of its own), not the
// address of the scratch area the entry wrote it in.
TEST_F(BoundValuesTest, ACastToAnObjectTypeHoldsTheConvertedObject) {
  BindingSnapshot snapshot;
  gpfnConvDepExt = ObjectConversion;
  gpfnFinConv = NoRelease;
  kqtest::FakeObjetBase objet;
  kqtest::FakeTabValAny tab;
  kqtest::FakeCountedObject counted;
  const struct {
    unsigned short wType;
    const void* pObject;
    const int* pnRefs;
  } cases[] = {
      {VX_OBJET_BASE, &objet, &objet.nRefs}, {135, &objet, &objet.nRefs},
      {VX_DINO, &objet, &objet.nRefs},       {VX_TABVALANY, &tab, &tab.nRefs},
      {VX_MEMOIMG, &counted, &counted.nCount}, {VX_POLICE, &counted, &counted.nCount},
      {VX_CONVOYEUR, &counted, &counted.nCount},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.wType);
    gpConvertedObject = c.pObject;
    gnConvertedSize = 0;
    {
      CAny v;
      v.SetI4(1);
      ASSERT_EQ(v.__nCastTo(c.wType, nullptr, 1), 0);
      EXPECT_EQ(v.wGetType(), c.wType);
      EXPECT_EQ(v.pGetPointeur(), c.pObject);
      EXPECT_EQ(*c.pnRefs, 2);
    }
    EXPECT_EQ(*c.pnRefs, 1);
  }

  const char block[] = "block";
  gpConvertedObject = block;
  gnConvertedSize = 5;
  CAny v;
  v.SetI4(1);
  ASSERT_EQ(v.__nCastTo(VX_BUFFER, nullptr, 1), 0);
  void* p = nullptr;
  unsigned int n = 0;
  EXPECT_EQ(v.pclGetIntern()->nGetDataAdr(&p), 0);
  EXPECT_EQ(v.pclGetIntern()->nGetDataSize(&n), 0);
  EXPECT_EQ(p, static_cast<const void*>(block));
  EXPECT_EQ(n, 5u);
}

TEST_F(BoundValuesTest, TheStaticCastWritesTheTypesAreaAtTheDestination) {
  // The destination is a whole value area: the entry may fill all of it.
  struct alignas(8) Area {
    unsigned char aby[kVXValueAreaSize];
  } area = {};
  EXPECT_EQ(CAny::__s_nCastTo(&area, L"123", VX_I4, nullptr), 0);
  int n = 0;
  std::memcpy(&n, area.aby, sizeof n);
  EXPECT_EQ(n, 123);
  EXPECT_EQ(CAny::__s_nCastTo(&area, L"-0.25", VX_R8, nullptr), 0);
  double d = 0;
  std::memcpy(&d, area.aby, sizeof d);
  EXPECT_EQ(d, -0.25);
  EXPECT_EQ(CAny::__s_nCastTo(&area, L"abc", VX_I4, nullptr), kStandInNotANumber);
  EXPECT_EQ(CAny::__s_nCastTo(nullptr, L"1", VX_I4, nullptr), 105);
}

// ---------------------------------------------------------------------------
// DECIMAL values.

TEST_F(BoundValuesTest, DecimalObjectsAreMadeAndDestroyedInBalance) {
  const int n0 = Control().nLiveDecimals();
  {
    CAny v;
    v.SetI4(1234);
    ASSERT_EQ(v.__nCastTo(VX_DECIMAL, nullptr, 1), 0);
    EXPECT_EQ(Control().nLiveDecimals(), n0 + 1) << "the entry's temporary was released";
    CAny copy(v);
    EXPECT_EQ(Control().nLiveDecimals(), n0 + 2) << "copies never share an object";
    EXPECT_NE(copy.pGetPointeur(), v.pGetPointeur());
    ASSERT_EQ(copy.__nCastTo(VX_DSTRW, nullptr, 1), 0);
    EXPECT_EQ(WideOf(copy), L"1234");
    EXPECT_EQ(Control().nLiveDecimals(), n0 + 1);
    CAny text;
    SetDSTRW(&text, L"-12.50");
    ASSERT_EQ(text.__nCastTo(VX_DECIMAL, nullptr, 1), 0);
    EXPECT_EQ(Control().nLiveDecimals(), n0 + 2);
    const wchar_t* psz = nullptr;
    ASSERT_EQ(text.__nCastToString(&psz, nullptr), 0);
    EXPECT_EQ(Text(psz), L"-12.50");
    v.SetI4(0);
    EXPECT_EQ(Control().nLiveDecimals(), n0);
  }
  EXPECT_EQ(Control().nLiveDecimals(), n0);
  EXPECT_EQ(Control().nConversionCalls(), Control().nFinConversionCalls());
}

TEST_F(BoundValuesTest, AFactoryThatThrowsStillGetsTheConvertedNumberBack) {
  const int n0 = Control().nLiveDecimals();
  CAny v;
  v.SetI4(5);
  // The entry makes its temporary itself; the value's own object, the next
  // one the factory makes, fails.
  Control().FailDecimalCreateAt(1);
  EXPECT_THROW(v.__nCastTo(VX_DECIMAL, nullptr, 1), CStandInDecimalCreateFailure);
  EXPECT_EQ(v.wGetType(), VX_DECIMAL) << "the base behaviour under type word 13";
  EXPECT_EQ(Control().nLiveDecimals(), n0);
  unsigned int nSize = 1;
  EXPECT_EQ(v.pclGetIntern()->nGetDataSize(&nSize), 102) << "no decimal behaviour installed";
}

// ---------------------------------------------------------------------------
// Texts.

TEST_F(BoundValuesTest, CastToStringAnswersTextValuesWithoutConverting) {
  CAny v;
  SetDSTRA(&v, "abc");
  const char* psz = nullptr;
  EXPECT_EQ(v.__nCastToString(&psz, nullptr), 0);
  EXPECT_STREQ(psz, "abc");
  EXPECT_EQ(v.nGetTypeCode(), VX_DSTRA);
  EXPECT_EQ(v.__nCastToString(static_cast<const char**>(nullptr), nullptr), 0);
  SetPSTRW(&v, L"wide");
  const wchar_t* pszW = nullptr;
  EXPECT_EQ(v.__nCastToString(&pszW, nullptr), 0);
  EXPECT_EQ(Text(pszW), L"wide");
  EXPECT_EQ(Control().nConversionCalls(), 0);
}

TEST_F(BoundValuesTest, CastToStringTurnsOtherValuesIntoCountedText) {
  CAny v;
  v.SetI4(42);
  const char* psz = nullptr;
  ASSERT_EQ(v.__nCastToString(&psz, nullptr), 0);
  EXPECT_EQ(v.nGetTypeCode(), VX_DSTRA);
  EXPECT_STREQ(psz, "42");

  v.SetR8(0.5);
  ASSERT_EQ(v.__nCastToString(static_cast<const wchar_t**>(nullptr), nullptr), 0);
  EXPECT_EQ(v.nGetTypeCode(), VX_DSTRW);
  EXPECT_EQ(WideOf(v), L"0.5");
}

TEST_F(BoundValuesTest, CastToStringHandsOutTheTextForEverySuccessCode) {
  CAny v;
  v.SetI4(9);
  const wchar_t* psz = nullptr;
  Control().ForceNextConversionResult(3);
  EXPECT_EQ(v.__nCastToString(&psz, nullptr), 3);
  EXPECT_EQ(Text(psz), L"9");
}

TEST_F(BoundValuesTest, FillStringSharesCountedTextAndCopiesOtherText) {
  const int nCalls = Control().nConversionCalls();
  CAny v;
  SetDSTRW(&v, L"shared");
  CXYString<wchar_t> strW(L"old");
  ASSERT_EQ(v.__nFillString(strW, nullptr), 0);
  EXPECT_EQ(static_cast<void*>(strW.pGetData()), v.pGetPointeur());

  SetDSTRA(&v, "bytes");
  CXYString<char> strA;
  ASSERT_EQ(v.__nFillString(strA, nullptr), 0);
  EXPECT_EQ(static_cast<void*>(strA.pGetData()), v.pGetPointeur());

  // A zero-terminated text is copied: the output, shared with another holder
  // before, gets a buffer of its own and the other holder keeps its text.
  SetPSTRW(&v, L"copied");
  CXYString<wchar_t> strOther(strW);
  ASSERT_EQ(v.__nFillString(strW, nullptr), 0);
  EXPECT_EQ(Text(strW), L"copied");
  EXPECT_EQ(Text(strOther), L"shared");

  CAny empty;
  SetPSTRW(&empty, L"");
  ASSERT_EQ(empty.__nFillString(strW, nullptr), 0);
  EXPECT_EQ(strW.pGetData(), nullptr);
  EXPECT_EQ(Control().nConversionCalls(), nCalls);
}

TEST_F(BoundValuesTest, FillStringConvertsOtherValuesAndKeepsTheOutputOnFailure) {
  CAny v;
  v.SetI4(-15);
  CXYString<wchar_t> strW(L"before");
  CXYString<char> strA;
  ASSERT_EQ(strA.nAffecte("before", -1), 0);
  ASSERT_EQ(v.__nFillString(strW, nullptr), 0);
  ASSERT_EQ(v.__nFillString(strA, nullptr), 0);
  EXPECT_EQ(Text(strW), L"-15");
  EXPECT_EQ(Text(strA), "-15");
  EXPECT_EQ(v.nGetTypeCode(), VX_I4) << "the value itself is not converted";

  Control().ForceNextConversionResult(120);
  EXPECT_EQ(v.__nFillString(strW, nullptr), 120);
  EXPECT_EQ(Text(strW), L"-15");
}

TEST_F(BoundValuesTest, SetStringStoresTheTextInTheCodePageAsACountedText) {
  const STOCAW st1252 = {1252};
  const STOCAW stUtf8 = {65001};
  const struct {
    const char* name;
    const STOCAW* pst;
    int nCurrent;
    std::string expected;
  } cases[] = {
      {"code page 1252", &st1252, 65001, "h\xE9llo"},
      {"UTF-8", &stUtf8, 1252, "h\xC3\xA9llo"},
      {"current code page 1252", nullptr, 1252, "h\xE9llo"},
      {"current code page UTF-8", nullptr, 65001, "h\xC3\xA9llo"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Control().SetCurrentCodePage(c.nCurrent);
    CAny v;
    v.SetI4(1);
    v.SetTypeWord(v.wGetType() | kVXNullFlag | kVXSecondFlag);
    EXPECT_EQ(v.__nSetString(L"h\u00E9llo", -1, c.pst), 0);
    EXPECT_EQ(v.wGetType(), VX_DSTRA) << "flags cleared";
    EXPECT_EQ(NarrowOf(v), c.expected);
  }
  Control().SetCurrentCodePage(1252);
}

}  // namespace
