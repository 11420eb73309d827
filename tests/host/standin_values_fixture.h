// The stand-in server's value entries as the driver calls them: the library
// loaded with dlopen, the entries found with dlsym, raw 40-byte value areas.
// The fixture checks that every test gives back what it took: decimal
// objects, conversion strings and counted buffers.
#ifndef KQ230_TESTS_HOST_STANDIN_VALUES_FIXTURE_H_
#define KQ230_TESTS_HOST_STANDIN_VALUES_FIXTURE_H_

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "host/vm/standin_control.h"
#include "kq230/vm_values.h"

namespace kqtest_standin {

struct Area {
  alignas(8) unsigned char b[kVXValueAreaSize] = {};
};

template <typename T>
inline Area AreaOf(T v) {
  Area a;
  std::memcpy(a.b, &v, sizeof v);
  return a;
}
template <typename T>
inline T Get(const Area& a) {
  T v;
  std::memcpy(&v, a.b, sizeof v);
  return v;
}
inline void* Word(const Area& a) { return Get<void*>(a); }

// A code-page record: only its first field is read.
struct CodePage {
  int nCodePage;
  const STOCAW* p() const { return reinterpret_cast<const STOCAW*>(this); }
};

// The entries of the stand-in, bound once for the process.
struct Entries {
  void* h = nullptr;
  std::string strLoadError;  // why dlopen failed, when h is null
  const _stStandInControl* control = nullptr;
  PFNVXCONVERSION conv = nullptr;
  PFNVXFINCONVERSION fin = nullptr;
  IVXDecimalFactory* factory = nullptr;
  std::map<std::string, void*> calc;

  template <typename F>
  F Calc(const char* name) const {
    auto it = calc.find(name);
    return it == calc.end() ? nullptr : reinterpret_cast<F>(it->second);
  }
};

inline const char* const kCalcNames[30] = {
    "bCanCompareEx",        "wAjouteEx",           "wSoustraitEx",
    "wMultiplieEx",         "wDiviseEx",           "wModuloEx",
    "nComparaisonEx",       "nEgaliteEx",          "nSuperieurEx",
    "nInferieurEx",         "nPresqueEgalEx",      "nSoupleEgalEx",
    "nCommenceParEx",       "nCommenceParSoupleEx", "nCommenceParTresSoupleEx",
    "nContientEx",          "nContientSoupleEx",   "nContientTresSoupleEx",
    "nTermineParEx",        "nTermineParSoupleEx", "nTermineParTresSoupleEx",
    "nETLogiqueEx",         "nOULogiqueEx",        "nNONLogiqueEx",
    "nNegationEx",          "nAdditionEx",         "nSoustractionEx",
    "nMultiplicationEx",    "nDivisionEx",         "nModuloEx"};

inline const Entries& Bound() {
  static const Entries* p = [] {
    Entries* e = new Entries();
    e->h = dlopen(KQ_STANDIN_VM_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!e->h) {
      const char* pszError = dlerror();
      e->strLoadError = pszError ? pszError : "unknown error";
      return e;
    }
    auto control = reinterpret_cast<PFNSTANDINGETCONTROL>(dlsym(e->h, "StandIn_pGetControl"));
    e->control = control ? control() : nullptr;
    e->conv = reinterpret_cast<PFNVXCONVERSION>(dlsym(e->h, "nConversionDepassementExt"));
    e->fin = reinterpret_cast<PFNVXFINCONVERSION>(dlsym(e->h, "FinConversion"));
    auto query = reinterpret_cast<PFNVXQUERYPROXY>(dlsym(e->h, "pQueryProxy"));
    e->factory = query ? static_cast<IVXDecimalFactory*>(query(kVXProxyDecimalFactory)) : nullptr;
    for (const char* name : kCalcNames) e->calc[name] = dlsym(e->h, name);
    return e;
  }();
  return *p;
}

// The library and the table are kept for the whole program, as the server
// keeps its virtual-machine library. Binding them before main makes them part
// of the start of the program's leak balance (tests/support/leak_check.h),
// like the stand-in that the host harness loads: neither is released, and a
// dlclose would leave the loader's own bookkeeping behind anyway.
inline const bool gbBoundBeforeMain = (Bound(), true);

class StandInValues : public testing::Test {
 protected:
  void SetUp() override {
    const Entries& e = Bound();
    ASSERT_NE(e.h, nullptr) << e.strLoadError;
    ASSERT_NE(e.control, nullptr);
    ASSERT_NE(e.conv, nullptr);
    ASSERT_NE(e.fin, nullptr);
    ASSERT_NE(e.factory, nullptr);
    for (const char* name : kCalcNames) ASSERT_NE(e.calc.at(name), nullptr) << name;
    Control().Reset();
  }
  // Every test gives back everything: decimal objects, conversion strings,
  // counted buffers.
  void TearDown() override {
    const Entries& e = Bound();
    if (!e.control) return;
    EXPECT_EQ(Control().nLiveDecimals(), 0);
    EXPECT_EQ(Control().nLiveConversionStrings(), 0);
    EXPECT_EQ(Control().nLiveStrBuffers(), 0);
    EXPECT_EQ(Control().nBadStrReleases(), 0);
    Control().Reset();
  }

  static const _stStandInControl& Control() { return *Bound().control; }
  static int Convert(const Area& src, unsigned int nSrcType, Area* pDest, unsigned int nDestType,
                     const STOCAW* pCodePage = nullptr) {
    return Bound().conv(src.b, nSrcType, pDest->b, nDestType, 1, pCodePage);
  }
  static void Fin(Area* p, unsigned int nType) { Bound().fin(p->b, nType); }

  // A counted buffer of the stand-in's allocator holding the bytes (null
  // when empty); the caller releases it with Release.
  static unsigned char* Counted(const void* p, size_t n) {
    if (n == 0) return nullptr;
    unsigned char* pData = nullptr;
    EXPECT_EQ(Control().piGetStrMemAlloc()->vnAllocStrMemEx(&pData, static_cast<unsigned>(n), 0), 0);
    std::memcpy(pData, p, n);
    StrMemHeader(pData)->nLength = static_cast<uint32_t>(n);
    return pData;
  }
  static void Release(unsigned char* pData) {
    if (!pData) return;
    if (--StrMemHeader(pData)->nRefCount == 0) Control().piGetStrMemAlloc()->vReleaseStrMem(pData);
  }
  static Area WideArea(const std::wstring& s, unsigned char** ppBuffer) {
    *ppBuffer = Counted(s.data(), s.size() * sizeof(wchar_t));
    return AreaOf(*ppBuffer);
  }

  // The value of an area as wide text, through a PSTRW conversion.
  static std::wstring Text(const Area& src, unsigned int nType, int* pnCode = nullptr,
                           const STOCAW* pCodePage = nullptr) {
    Area dest;
    int r = Convert(src, nType, &dest, VX_PSTRW, pCodePage);
    if (pnCode) *pnCode = r;
    if (r > kVXLastSuccess) return L"<failed>";
    std::wstring s = static_cast<const wchar_t*>(Word(dest));
    Fin(&dest, VX_PSTRW);
    return s;
  }
  // Converts wide text into the type; the scratch area is the caller's.
  static int FromText(const std::wstring& s, unsigned int nType, Area* pDest,
                      const STOCAW* pCodePage = nullptr) {
    const wchar_t* p = s.c_str();
    return Bound().conv(&p, VX_PSTRW, pDest->b, nType, 1, pCodePage);
  }
  static IVXDecimal* DecimalOf(const std::wstring& s) {
    Area a;
    EXPECT_EQ(FromText(s, VX_DECIMAL, &a), 0) << std::string(s.begin(), s.end());
    return static_cast<IVXDecimal*>(Word(a));
  }
  static std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }
};

// Reference model: the numbers' decimal texts, compared digit by digit after
// aligning the point.
inline int CompareDecimalTexts(std::string a, std::string b) {
  auto Split = [](std::string s, bool* pbNeg, std::string* pInt, std::string* pFrac) {
    *pbNeg = !s.empty() && s[0] == '-';
    if (*pbNeg) s.erase(0, 1);
    size_t dot = s.find('.');
    *pInt = s.substr(0, dot);
    *pFrac = dot == std::string::npos ? "" : s.substr(dot + 1);
    pInt->erase(0, std::min(pInt->find_first_not_of('0'), pInt->size()));
    pFrac->resize(60, '0');
    if (pInt->empty() && pFrac->find_first_not_of('0') == std::string::npos) *pbNeg = false;
  };
  bool an, bn;
  std::string ai, af, bi, bf;
  Split(a, &an, &ai, &af);
  Split(b, &bn, &bi, &bf);
  if (an != bn) return an ? -1 : 1;
  int c = ai.size() != bi.size() ? (ai.size() < bi.size() ? -1 : 1) : (ai + af).compare(bi + bf);
  c = c < 0 ? -1 : c > 0 ? 1 : 0;
  return an ? -c : c;
}

}  // namespace kqtest_standin

#endif  // KQ230_TESTS_HOST_STANDIN_VALUES_FIXTURE_H_
