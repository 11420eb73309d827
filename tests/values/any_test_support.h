// Shared equipment of the dynamic value tests: a fixture bound to the
// stand-in's string allocator and decimal factory, and stand-in server
// objects whose reference operations are counted.
#ifndef KQ230_TESTS_VALUES_ANY_TEST_SUPPORT_H_
#define KQ230_TESTS_VALUES_ANY_TEST_SUPPORT_H_

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "host/harness/host_harness.h"
#include "tests/support/bound_framework.h"
#include "values/any.h"
#include "values/value_conversion.h"

namespace kqtest {

// The framework bound to the stand-in, with gpiVMFactory taken from the
// stand-in's "pQueryProxy"(102). Every test ends with no counted buffer and
// no decimal object alive.
class AnyTest : public BoundFrameworkTest {
 protected:
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    m_piSavedFactory = gpiVMFactory;
    void* hVM = dlopen(CHostHarness::pszDefaultVMPath(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(hVM, nullptr);
    auto pfn = reinterpret_cast<PFNVXQUERYPROXY>(dlsym(hVM, "pQueryProxy"));
    dlclose(hVM);
    ASSERT_NE(pfn, nullptr);
    gpiVMFactory = static_cast<IVXDecimalFactory*>(pfn(kVXProxyDecimalFactory));
    ASSERT_NE(gpiVMFactory, nullptr);
    m_nDecimalsAtStart = Control().nLiveDecimals();
  }
  void TearDown() override {
    if (m_binding.bStarted()) {
      EXPECT_EQ(Control().nLiveDecimals(), m_nDecimalsAtStart) << "decimal objects left alive";
      Control().FailDecimalCreateAt(0);
    }
    gpiVMFactory = m_piSavedFactory;
    BoundFrameworkTest::TearDown();
  }

 private:
  IVXDecimalFactory* m_piSavedFactory = nullptr;
  int m_nDecimalsAtStart = 0;
};

// Fixtures of the two test files.
class DynamicValue : public AnyTest {};
class BehaviourClass : public AnyTest {};

// A server object of the OBJET_BASE and DINO kinds: add-reference is its
// first operation, release its second.
struct FakeObjetBase {
  virtual void AddRef() { ++nRefs; }
  virtual void Release() {
    --nRefs;
    if (bThrowOnRelease) throw std::runtime_error("release failed");
  }
  int nRefs = 1;
  bool bThrowOnRelease = false;
};

// TABVALANY: add-reference second, release third.
struct FakeTabValAny {
  virtual void Unused() {}
  virtual void AddRef() { ++nRefs; }
  virtual void Release() { --nRefs; }
  int nRefs = 1;
};

// MEMOIMG, POLICE, CONVOYEUR: the count is the word after the table, which
// the value increments itself; release is the third operation.
struct FakeCountedObject {
  virtual void Unused1() {}
  virtual void Unused2() {}
  virtual void Release() { --nCount; }
  int32_t nCount = 1;
};
static_assert(sizeof(void*) == 4, "the count word follows a 4-byte table pointer");

// The byte image of a value area.
inline std::string AreaBytes(const CAny& v, size_t n) {
  return std::string(reinterpret_cast<const char*>(v.pbyGetValeur()), n);
}

}  // namespace kqtest

#endif  // KQ230_TESTS_VALUES_ANY_TEST_SUPPORT_H_
