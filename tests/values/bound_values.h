// Test support for the value bindings: a fixture that binds the conversion and
// calculation entries of the stand-in server in process, as the server does
// through the driver's exports, and a snapshot that lets a test unbind or fake
// entries and puts the binding back afterwards.
//
// Ownership: the fixture holds one extra reference to the stand-in library
// (dlopen with RTLD_NOLOAD) for the length of a test.
// Threads: tests of one program run one after the other.
#ifndef KQ230_TESTS_VALUES_BOUND_VALUES_H_
#define KQ230_TESTS_VALUES_BOUND_VALUES_H_

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "core/counted_string.h"
#include "host/harness/host_harness.h"
#include "tests/support/bound_framework.h"
#include "tests/support/utf8_reference.h"
#include "values/any.h"
#include "values/value_calc.h"
#include "values/value_conversion.h"

// The thirty calculation entries, in the server's look-up order, with their
// names as the library exports them.
#define KQ_CALC_ENTRIES(X)                                   \
  X(gpfnCompareEx, "bCanCompareEx")                          \
  X(gpfnGetTypeAjouteEx, "wAjouteEx")                        \
  X(gpfnGetTypeSoustraitEx, "wSoustraitEx")                  \
  X(gpfnGetTypeMultiplieEx, "wMultiplieEx")                  \
  X(gpfnGetTypeDiviseEx, "wDiviseEx")                        \
  X(gpfnGetTypeModuloEx, "wModuloEx")                        \
  X(gpfnComparaisonEx, "nComparaisonEx")                     \
  X(gpfnEgaliteEx, "nEgaliteEx")                             \
  X(gpfnSuperieurEx, "nSuperieurEx")                         \
  X(gpfnInferieurEx, "nInferieurEx")                         \
  X(gpfnPresqueEgalEx, "nPresqueEgalEx")                     \
  X(gpfnSoupleEgalEx, "nSoupleEgalEx")                       \
  X(gpfnCommenceParEx, "nCommenceParEx")                     \
  X(gpfnCommenceParSoupleEx, "nCommenceParSoupleEx")         \
  X(gpfnCommenceParTresSoupleEx, "nCommenceParTresSoupleEx") \
  X(gpfnContientEx, "nContientEx")                           \
  X(gpfnContientSoupleEx, "nContientSoupleEx")               \
  X(gpfnContientTresSoupleEx, "nContientTresSoupleEx")       \
  X(gpfnTermineParEx, "nTermineParEx")                       \
  X(gpfnTermineParSoupleEx, "nTermineParSoupleEx")           \
  X(gpfnTermineParTresSoupleEx, "nTermineParTresSoupleEx")   \
  X(gpfnETLogiqueEx, "nETLogiqueEx")                         \
  X(gpfnOULogiqueEx, "nOULogiqueEx")                         \
  X(gpfnNONLogiqueEx, "nNONLogiqueEx")                       \
  X(gpfnNegationEx, "nNegationEx")                           \
  X(gpfnAdditionEx, "nAdditionEx")                           \
  X(gpfnSoustractionEx, "nSoustractionEx")                   \
  X(gpfnMultiplicationEx, "nMultiplicationEx")               \
  X(gpfnDivisionEx, "nDivisionEx")                           \
  X(gpfnModuloEx, "nModuloEx")

namespace kqtest {

// Every binding global as it was at construction; restored at destruction.
class BindingSnapshot {
 public:
  BindingSnapshot() = default;
  ~BindingSnapshot() {
    gpfnConvDepExt = m_pfnConv;
    gpfnFinConv = m_pfnFin;
    ghConvVM = m_hConv;
    gnVersionConvVM = m_nConvVersion;
    gnVersionCompatConvVM = m_nConvCompat;
    gpiVMFactory = m_piFactory;
    ghCalcVM = m_hCalc;
    gnVersionCalcVM = m_nCalcVersion;
    gnVersionCompatCalcVM = m_nCalcCompat;
#define KQ_RESTORE(p, name) p = m_##p;
    KQ_CALC_ENTRIES(KQ_RESTORE)
#undef KQ_RESTORE
  }
  BindingSnapshot(const BindingSnapshot&) = delete;
  BindingSnapshot& operator=(const BindingSnapshot&) = delete;

  // Everything unbound, as before the server's first call.
  static void ClearAll() {
    gpfnConvDepExt = nullptr;
    gpfnFinConv = nullptr;
    ghConvVM = nullptr;
    gnVersionConvVM = 0;
    gnVersionCompatConvVM = 0;
    gpiVMFactory = nullptr;
    ghCalcVM = nullptr;
    gnVersionCalcVM = 0;
    gnVersionCompatCalcVM = 0;
#define KQ_CLEAR(p, name) p = nullptr;
    KQ_CALC_ENTRIES(KQ_CLEAR)
#undef KQ_CLEAR
  }

 private:
  PFNVXCONVERSION m_pfnConv = gpfnConvDepExt;
  PFNVXFINCONVERSION m_pfnFin = gpfnFinConv;
  HINSTANCE m_hConv = ghConvVM;
  int m_nConvVersion = gnVersionConvVM;
  int m_nConvCompat = gnVersionCompatConvVM;
  IVXDecimalFactory* m_piFactory = gpiVMFactory;
  void* m_hCalc = ghCalcVM;
  int m_nCalcVersion = gnVersionCalcVM;
  int m_nCalcCompat = gnVersionCompatCalcVM;
#define KQ_SAVE(p, name) decltype(p) m_##p = p;
  KQ_CALC_ENTRIES(KQ_SAVE)
#undef KQ_SAVE
};

// The bound calculation entries in look-up order, as untyped addresses.
inline void CurrentCalcEntries(void* apOut[kVXCalcEntryCount]) {
  int i = 0;
#define KQ_READ(p, name) apOut[i++] = reinterpret_cast<void*>(p);
  KQ_CALC_ENTRIES(KQ_READ)
#undef KQ_READ
}

inline const char* const kCalcEntryNames[kVXCalcEntryCount] = {
#define KQ_NAME(p, name) name,
    KQ_CALC_ENTRIES(KQ_NAME)
#undef KQ_NAME
};

// The stand-in library, bound in process for conversions, decimals and the
// calculation entries; checks at the end that every decimal object and every
// string the entries made was given back.
class BoundValuesTest : public BoundFrameworkTest {
 protected:
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    m_hVM = dlopen(CHostHarness::pszDefaultVMPath(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(m_hVM, nullptr) << "the stand-in is not loaded";
    ASSERT_EQ(bInitVXConvFromVM(hVM(), 2, 2), 1);
    ASSERT_EQ(bInitVXCalcFromVM(m_hVM, 2, 2), 1);
  }
  void TearDown() override {
    if (m_hVM != nullptr) {
      EXPECT_EQ(Control().nLiveDecimals(), 0) << "decimal objects left alive";
      EXPECT_EQ(Control().nLiveConversionStrings(), 0) << "converted strings not released";
      dlclose(m_hVM);
      m_hVM = nullptr;
    }
    BoundFrameworkTest::TearDown();
  }
  HINSTANCE hVM() const { return static_cast<HINSTANCE>(m_hVM); }

  void* m_hVM = nullptr;
};

// A wide text as std::wstring (null: empty), for comparisons in tests.
inline std::wstring Text(const wchar_t* psz) { return psz != nullptr ? psz : L""; }
inline std::wstring Text(const CXYString<wchar_t>& s) { return s.pszGet(); }
inline std::string Text(const CXYString<char>& s) { return s.pszGet(); }

// A value as the language's text (a cast to a wide text); "<no text>" when it
// does not cast.
inline std::wstring AsText(const CAny& v) {
  CAny c(v);
  if (c.__nCastTo(VX_PSTRW, nullptr, 1) >= 100) return L"<no text>";
  const wchar_t* psz = nullptr;
  c.pclGetIntern()->nGetPCWSTR(&psz);
  return psz != nullptr ? psz : L"";
}

// A value as the language writes it out (its string form), in UTF-8;
// "NULL" for NULL.
inline std::string ValueText(const CAny& v) {
  if (v.bIsNull()) return "NULL";
  CAny copy(v);
  CXYString<wchar_t> s;
  copy.__nFillString(s, nullptr);
  std::string r = Utf8(s.pszGet());
  s.ReleaseDynStr();
  return r;
}

}  // namespace kqtest

#endif  // KQ230_TESTS_VALUES_BOUND_VALUES_H_
