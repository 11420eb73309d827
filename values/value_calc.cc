// Comparison, logic and arithmetic of language values through the entries of
// the server's virtual-machine library, and the text dump of a value.
//
// The entries receive value areas and type words; what they write back is
// moved into CAny values here. Every wrapper tests that its entry is bound
// before the call: a server that was refused (or whose library lacks a name)
// gets kVXNotBound from the wrappers rather than a call through a null or
// stale address.
#include "values/value_calc.h"

#include <dlfcn.h>

#include <cstring>
#include <cwchar>

#include "core/wide_string.h"
#include "values/any.h"
#include "values/value_conversion.h"

// ---------------------------------------------------------------------------
// Bound state.

void* ghCalcVM = nullptr;
int gnVersionCalcVM = 0;
int gnVersionCompatCalcVM = 0;

PFNVXCANCOMPARE gpfnCompareEx = nullptr;
PFNVXRESULTTYPE gpfnGetTypeAjouteEx = nullptr;
PFNVXRESULTTYPE gpfnGetTypeSoustraitEx = nullptr;
PFNVXRESULTTYPE gpfnGetTypeMultiplieEx = nullptr;
PFNVXRESULTTYPE gpfnGetTypeDiviseEx = nullptr;
PFNVXRESULTTYPE gpfnGetTypeModuloEx = nullptr;
PFNVXTEST2 gpfnComparaisonEx = nullptr;
PFNVXTEST2 gpfnEgaliteEx = nullptr;
PFNVXTEST2 gpfnSuperieurEx = nullptr;
PFNVXTEST2 gpfnInferieurEx = nullptr;
PFNVXTEST2 gpfnPresqueEgalEx = nullptr;
PFNVXTEST2 gpfnSoupleEgalEx = nullptr;
PFNVXTEST2 gpfnCommenceParEx = nullptr;
PFNVXTEST2 gpfnCommenceParSoupleEx = nullptr;
PFNVXTEST2 gpfnCommenceParTresSoupleEx = nullptr;
PFNVXTEST2 gpfnContientEx = nullptr;
PFNVXTEST2 gpfnContientSoupleEx = nullptr;
PFNVXTEST2 gpfnContientTresSoupleEx = nullptr;
PFNVXTEST2 gpfnTermineParEx = nullptr;
PFNVXTEST2 gpfnTermineParSoupleEx = nullptr;
PFNVXTEST2 gpfnTermineParTresSoupleEx = nullptr;
PFNVXTEST2 gpfnETLogiqueEx = nullptr;
PFNVXTEST2 gpfnOULogiqueEx = nullptr;
PFNVXTEST1 gpfnNONLogiqueEx = nullptr;
PFNVXARITH1 gpfnNegationEx = nullptr;
PFNVXARITH2 gpfnAdditionEx = nullptr;
PFNVXARITH2 gpfnSoustractionEx = nullptr;
PFNVXARITH2 gpfnMultiplicationEx = nullptr;
PFNVXARITH2 gpfnDivisionEx = nullptr;
PFNVXARITH2 gpfnModuloEx = nullptr;

const char* const gapszVXCalcEntryNames[kVXCalcEntryCount] = {
    "bCanCompareEx",        "wAjouteEx",           "wSoustraitEx",
    "wMultiplieEx",         "wDiviseEx",           "wModuloEx",
    "nComparaisonEx",       "nEgaliteEx",          "nSuperieurEx",
    "nInferieurEx",         "nPresqueEgalEx",      "nSoupleEgalEx",
    "nCommenceParEx",       "nCommenceParSoupleEx", "nCommenceParTresSoupleEx",
    "nContientEx",          "nContientSoupleEx",   "nContientTresSoupleEx",
    "nTermineParEx",        "nTermineParSoupleEx", "nTermineParTresSoupleEx",
    "nETLogiqueEx",         "nOULogiqueEx",        "nNONLogiqueEx",
    "nNegationEx",          "nAdditionEx",         "nSoustractionEx",
    "nMultiplicationEx",    "nDivisionEx",         "nModuloEx",
};

namespace {

// Stores one looked-up address into the pointer of its entry, whatever the
// pointer's function type (they differ by kind).
template <typename F>
void Store(F* ppfn, void* p) {
  *ppfn = reinterpret_cast<F>(p);
}

void StoreEntry(int i, void* p) {
  switch (i) {
    case 0: Store(&gpfnCompareEx, p); break;
    case 1: Store(&gpfnGetTypeAjouteEx, p); break;
    case 2: Store(&gpfnGetTypeSoustraitEx, p); break;
    case 3: Store(&gpfnGetTypeMultiplieEx, p); break;
    case 4: Store(&gpfnGetTypeDiviseEx, p); break;
    case 5: Store(&gpfnGetTypeModuloEx, p); break;
    case 6: Store(&gpfnComparaisonEx, p); break;
    case 7: Store(&gpfnEgaliteEx, p); break;
    case 8: Store(&gpfnSuperieurEx, p); break;
    case 9: Store(&gpfnInferieurEx, p); break;
    case 10: Store(&gpfnPresqueEgalEx, p); break;
    case 11: Store(&gpfnSoupleEgalEx, p); break;
    case 12: Store(&gpfnCommenceParEx, p); break;
    case 13: Store(&gpfnCommenceParSoupleEx, p); break;
    case 14: Store(&gpfnCommenceParTresSoupleEx, p); break;
    case 15: Store(&gpfnContientEx, p); break;
    case 16: Store(&gpfnContientSoupleEx, p); break;
    case 17: Store(&gpfnContientTresSoupleEx, p); break;
    case 18: Store(&gpfnTermineParEx, p); break;
    case 19: Store(&gpfnTermineParSoupleEx, p); break;
    case 20: Store(&gpfnTermineParTresSoupleEx, p); break;
    case 21: Store(&gpfnETLogiqueEx, p); break;
    case 22: Store(&gpfnOULogiqueEx, p); break;
    case 23: Store(&gpfnNONLogiqueEx, p); break;
    case 24: Store(&gpfnNegationEx, p); break;
    case 25: Store(&gpfnAdditionEx, p); break;
    case 26: Store(&gpfnSoustractionEx, p); break;
    case 27: Store(&gpfnMultiplicationEx, p); break;
    case 28: Store(&gpfnDivisionEx, p); break;
    case 29: Store(&gpfnModuloEx, p); break;
    default: break;
  }
}

}  // namespace

KQ_EXPORT int bInitVXCalcFromVM(void* hLibrary, int nVersion, int nCompat) {
  if (nCompat > 2 || nVersion < 2) return 0;
  // A null handle would make dlsym search the whole process (RTLD_DEFAULT) and
  // bind whatever carries the names: refuse it like a wrong version.
  if (hLibrary == nullptr) return 0;
  for (int i = 0; i < kVXCalcEntryCount; ++i) {
    void* p = dlsym(hLibrary, gapszVXCalcEntryNames[i]);
    if (p == nullptr) {
      // The entries found so far stay bound. The missing one and those after
      // it are cleared, so that none of them still points into a library of
      // an earlier binding (which may since have been unloaded): their
      // wrappers then answer kVXNotBound instead of calling a stale address.
      for (int j = i; j < kVXCalcEntryCount; ++j) StoreEntry(j, nullptr);
      return 0;
    }
    StoreEntry(i, p);
  }
  ghCalcVM = hLibrary;
  gnVersionCompatCalcVM = nCompat;
  gnVersionCalcVM = nVersion;
  return 1;
}

int bInitVXCalcFromServeur(HINSTANCE hOther) {
  if (hOther == nullptr) return 1;  // dlsym(null) would find our own export
  auto pfn = reinterpret_cast<int (*)(void*, int, int)>(dlsym(hOther, "bInitVXCalcFromVM"));
  if (pfn == nullptr) return 1;
  return pfn(ghCalcVM, gnVersionCalcVM, gnVersionCompatCalcVM);
}

// ---------------------------------------------------------------------------
// Tests.

namespace {

bool bFailed(int nResult) { return nResult > kVXLastSuccess; }

// Result areas are read as value areas: aligned for pointers, 64-bit numbers
// and doubles.
struct alignas(8) ResultArea {
  unsigned char aby[kVXValueAreaSize] = {};
};

// What the test wrappers make of the entry's int.
enum class eOutcome { kAsWritten, kNegated };

int nTest2(PFNVXTEST2 pfn, eOutcome eHow, const CAny& a, const CAny& b, int* pnResult,
           unsigned int nOptions) {
  if (a.bIsNull() || b.bIsNull()) return 103;
  if (pfn == nullptr) return kVXNotBound;
  if (eHow == eOutcome::kAsWritten)
    return pfn(a.pbyGetValeur(), a.wGetType(), b.pbyGetValeur(), b.wGetType(), pnResult,
               nOptions, 0);
  // An entry that writes nothing leaves 0, which reads as "not equal" etc.
  int nWritten = 0;
  const int nCode = pfn(a.pbyGetValeur(), a.wGetType(), b.pbyGetValeur(), b.wGetType(),
                        &nWritten, nOptions, 0);
  *pnResult = nWritten == 0 ? 1 : 0;
  return nCode;
}

int nTest1(PFNVXTEST1 pfn, const CAny& a, int* pnResult, unsigned int nOptions) {
  if (a.bIsNull()) return 103;
  if (pfn == nullptr) return kVXNotBound;
  return pfn(a.pbyGetValeur(), a.wGetType(), pnResult, nOptions, 0);
}

// The result value receives the test's int as a BOOL (or an I4), flags clear.
void SetTestResult(CAny* pResult, unsigned short nType, int n) {
  pResult->__SetType(nType, 0);
  pResult->pclGetIntern()->SetValue(&n);
  pResult->SetTypeWord(pResult->wGetType() & kVXClearFlagsMask);
}

int nTest2Any(PFNVXTEST2 pfn, eOutcome eHow, const CAny& a, const CAny& b, CAny* pResult,
              unsigned int nOptions, unsigned short nResultType) {
  if (a.bIsNull() || b.bIsNull()) return 103;
  if (pfn == nullptr) return kVXNotBound;
  int n = 0;
  const int nCode = nTest2(pfn, eHow, a, b, &n, nOptions);
  // Set also after a failure code: callers read the result value either way.
  SetTestResult(pResult, nResultType, n);
  return nCode;
}

}  // namespace

#define KQ_TEST2(NAME, ENTRY, HOW)                                                          \
  int NAME(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions) {            \
    return nTest2(ENTRY, eOutcome::HOW, a, b, pnResult, nOptions);                          \
  }                                                                                         \
  int NAME(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions) {            \
    return nTest2Any(ENTRY, eOutcome::HOW, a, b, pResult, nOptions, VX_BOOL);               \
  }

KQ_TEST2(nCompare, gpfnComparaisonEx, kAsWritten)
KQ_TEST2(nEgalite, gpfnEgaliteEx, kAsWritten)
KQ_TEST2(nDifferent, gpfnEgaliteEx, kNegated)
KQ_TEST2(nSuperieur, gpfnSuperieurEx, kAsWritten)
KQ_TEST2(nSupEgal, gpfnInferieurEx, kNegated)
KQ_TEST2(nInferieur, gpfnInferieurEx, kAsWritten)
KQ_TEST2(nInfEgal, gpfnSuperieurEx, kNegated)
KQ_TEST2(nPresqueEgal, gpfnPresqueEgalEx, kAsWritten)
KQ_TEST2(nSoupleEgal, gpfnSoupleEgalEx, kAsWritten)
KQ_TEST2(nCommencePar, gpfnCommenceParEx, kAsWritten)
KQ_TEST2(nCommenceParSouple, gpfnCommenceParSoupleEx, kAsWritten)
KQ_TEST2(nCommenceParTresSouple, gpfnCommenceParTresSoupleEx, kAsWritten)
KQ_TEST2(nContient, gpfnContientEx, kAsWritten)
KQ_TEST2(nContientSouple, gpfnContientSoupleEx, kAsWritten)
KQ_TEST2(nContientTresSouple, gpfnContientTresSoupleEx, kAsWritten)
KQ_TEST2(nTerminePar, gpfnTermineParEx, kAsWritten)
KQ_TEST2(nTermineParSouple, gpfnTermineParSoupleEx, kAsWritten)
KQ_TEST2(nTermineParTresSouple, gpfnTermineParTresSoupleEx, kAsWritten)
KQ_TEST2(nAnd, gpfnETLogiqueEx, kAsWritten)
KQ_TEST2(nOr, gpfnOULogiqueEx, kAsWritten)

#undef KQ_TEST2

int nCompare(const CAny& a, const CAny& b, CAny* pResult) {
  return nTest2Any(gpfnComparaisonEx, eOutcome::kAsWritten, a, b, pResult, 0, VX_I4);
}

int nNot(const CAny& a, int* pnResult, unsigned int nOptions) {
  return nTest1(gpfnNONLogiqueEx, a, pnResult, nOptions);
}

int nNot(const CAny& a, CAny* pResult, unsigned int nOptions) {
  if (a.bIsNull()) return 103;
  if (gpfnNONLogiqueEx == nullptr) return kVXNotBound;
  int n = 0;
  const int nCode = nTest1(gpfnNONLogiqueEx, a, &n, nOptions);
  SetTestResult(pResult, VX_BOOL, n);
  return nCode;
}

// ---------------------------------------------------------------------------
// Arithmetic.

namespace {

int nArith2(PFNVXARITH2 pfn, const CAny& a, const CAny& b, CAny* pResult,
            unsigned int nOptions) {
  if (pfn == nullptr) return kVXNotBound;
  // Read before the result is written: the result may be one of the operands.
  const bool bNull = a.bIsNull() || b.bIsNull();
  ResultArea stArea;
  unsigned short wType = 0;
  const int nCode = pfn(a.pbyGetValeur(), a.nGetTypeCode(), b.pbyGetValeur(), b.nGetTypeCode(),
                        stArea.aby, &wType, nOptions, 0);
  if (bFailed(nCode)) return nCode;
  pResult->__TransfertValeurInterne(wType, stArea.aby);
  if (bNull) pResult->SetTypeWord(pResult->wGetType() | kVXNullFlag);
  return nCode;
}

// value = value (+ or -) step, options 0.
int nStep(PFNVXARITH2 pfn, CAny* pValue, const CAny& step) {
  if (pfn == nullptr) return kVXNotBound;
  const bool bStepNull = step.bIsNull();
  ResultArea stArea;
  unsigned short wType = 0;
  const int nCode = pfn(pValue->pbyGetValeur(), pValue->nGetTypeCode(), step.pbyGetValeur(),
                        step.nGetTypeCode(), stArea.aby, &wType, 0, 0);
  if (bFailed(nCode)) return nCode;
  if (wType == VX_DECIMAL && gpiVMFactory != nullptr) {
    // The value keeps (or gets) an object of its own that takes the number;
    // the entry's temporary object goes back to the factory.
    IVXDecimal* piTemp;
    std::memcpy(&piTemp, stArea.aby, sizeof piTemp);
    pValue->__SetType(wType, 0);
    pValue->pclGetIntern()->SetValue(piTemp);
    gpiVMFactory->DestroyDecimal(piTemp);
  } else {
    // The value takes over what the area owns (a counted buffer, a string):
    // sharing it with SetValue would leave the entry's reference behind.
    pValue->__TransfertValeurInterne(wType, stArea.aby);
  }
  unsigned short wNew = pValue->wGetType() & kVXClearFlagsMask;
  if (bStepNull) wNew |= kVXNullFlag;
  pValue->SetTypeWord(wNew);
  return nCode;
}

}  // namespace

int nAjoute(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions) {
  return nArith2(gpfnAdditionEx, a, b, pResult, nOptions);
}
int nAjouteEx(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions) {
  return nArith2(gpfnAdditionEx, a, b, pResult, nOptions);
}
int nSoustrait(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions) {
  return nArith2(gpfnSoustractionEx, a, b, pResult, nOptions);
}
int nMultiplie(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions) {
  return nArith2(gpfnMultiplicationEx, a, b, pResult, nOptions);
}
int nDivise(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions) {
  return nArith2(gpfnDivisionEx, a, b, pResult, nOptions);
}
int nModulo(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions) {
  return nArith2(gpfnModuloEx, a, b, pResult, nOptions);
}

int nIncrementeNumerique(CAny* pValue, const CAny& step) {
  return nStep(gpfnAdditionEx, pValue, step);
}
int nDecrementeNumerique(CAny* pValue, const CAny& step) {
  return nStep(gpfnSoustractionEx, pValue, step);
}

int nNegatif(const CAny& a, CAny* pResult, unsigned int nOptions) {
  if (gpfnNegationEx == nullptr) return kVXNotBound;
  if (pResult == &a) {
    // The result is emptied before the entry reads the operand: v = -v is
    // computed into a value of its own, which v takes over on success only.
    CAny negated;
    const int nCode = nNegatif(a, &negated, nOptions);
    if (!bFailed(nCode)) pResult->swap(negated);
    return nCode;
  }
  const bool bNull = a.bIsNull();
  // The entry writes straight into the result's area: whatever the result
  // owned before is released first, and it starts from the initial content
  // of a's type.
  pResult->DestroyContent();
  pResult->SetTypeWord(0);
  pResult->__SetType(a.nGetTypeCode(), 0);
  ResultArea stBefore;
  std::memcpy(stBefore.aby, pResult->pbyGetValeur(), kVXValueAreaSize);
  unsigned short wType = 0;
  const int nCode = gpfnNegationEx(a.pbyGetValeur(), a.nGetTypeCode(), pResult->pbyGetValeur(),
                                   &wType, nOptions, 0);
  if (bFailed(nCode)) return nCode;
  if (wType != pResult->wGetType()) {
    // The change of type releases what the area held before the call (the
    // initial content), not the bytes the entry wrote there, which the value
    // then takes over.
    ResultArea stWritten;
    std::memcpy(stWritten.aby, pResult->pbyGetValeur(), kVXValueAreaSize);
    std::memcpy(pResult->pbyGetValeur(), stBefore.aby, kVXValueAreaSize);
    pResult->__SetType(wType, 1);
    std::memcpy(pResult->pbyGetValeur(), stWritten.aby, kVXValueAreaSize);
  } else if (wType == VX_DECIMAL && gpiVMFactory != nullptr) {
    // An entry that made a new object for the result leaves the initial one
    // unreferenced: give it back.
    void* pBefore;
    std::memcpy(&pBefore, stBefore.aby, sizeof pBefore);
    if (pBefore != pResult->pGetPointeur())
      gpiVMFactory->DestroyDecimal(static_cast<IVXDecimal*>(pBefore));
  }
  if (bNull) pResult->SetTypeWord(pResult->wGetType() | kVXNullFlag);
  return nCode;
}

int nPositif(const CAny& a, CAny* pResult, unsigned int /*nOptions*/) {
  if (pResult == &a) return 0;
  pResult->DestroyContent();
  pResult->SetTypeWord(0);
  pResult->__SetType(a.nGetTypeCode(), 0);
  a.pclGetIntern()->Duplique(pResult);
  return 0;
}

// ---------------------------------------------------------------------------
// The dump.

namespace {

constexpr unsigned int kDumpMaxBytes = 500;

// Appends and remembers the first failure, so that the dump goes on building
// what it can and reports the allocator's code at the end.
class CDumpText {
 public:
  explicit CDumpText(CXYString<wchar_t>* pOut) : m_pOut(pOut) {}
  void Add(const wchar_t* psz) { Keep(m_pOut->Add(psz)); }
  void Add(const wchar_t* p, int n) { Keep(m_pOut->nConcat(p, n)); }
  // The code to answer: a failed append wins over a success.
  int nResult(int nCode) const { return m_nError != 0 ? m_nError : nCode; }

 private:
  void Keep(int nCode) {
    if (m_nError == 0 && nCode != 0) m_nError = nCode;
  }
  CXYString<wchar_t>* m_pOut;
  int m_nError = 0;
};

void AppendHex(CDumpText* pText, const unsigned char* p, unsigned int n) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  wchar_t awc[2 * 64];
  while (n > 0) {
    const unsigned int nChunk = n < 64 ? n : 64;
    for (unsigned int i = 0; i < nChunk; ++i) {
      awc[2 * i] = kDigits[p[i] >> 4];
      awc[2 * i + 1] = kDigits[p[i] & 0xF];
    }
    pText->Add(awc, static_cast<int>(2 * nChunk));
    p += nChunk;
    n -= nChunk;
  }
}

}  // namespace

int nGetString(CXYString<wchar_t>* pOut, const CAny& v, const wchar_t* pszPrefix, int bDetail) {
  const int nPrefix = pszPrefix != nullptr ? static_cast<int>(std::wcslen(pszPrefix)) : 0;
  int nCode = pOut->nAffecteConversion(pszPrefix, nPrefix);
  if (nCode != 0) return nCode;
  CDumpText text(pOut);

  const unsigned char nTypeCode = v.nGetTypeCode();
  if (nTypeCode == VX_NONE) {
    text.Add(L"<Empty>");
    return text.nResult(0);
  }
  const CAny_Intern* piBehaviour = v.pclGetIntern();
  if (bDetail) {
    unsigned int nSize = 0;
    piBehaviour->nGetDataSize(&nSize);
    wchar_t awcHeader[64];
    std::swprintf(awcHeader, sizeof awcHeader / sizeof *awcHeader, L"Type=%d, Len=%d, Value=",
                  static_cast<int>(nTypeCode), static_cast<int>(nSize));
    text.Add(awcHeader);
  }
  if (v.bIsNull()) {
    text.Add(L"<NULL>");
    return text.nResult(0);
  }

  // The text comes from a copy cast to a wide zero-terminated string; the
  // value itself is not changed.
  {
    CAny copy(v);
    nCode = copy.__nCastTo(VX_PSTRW, nullptr, 1);
    if (bFailed(nCode)) {
      text.Add(L"<ERROR>");
      return text.nResult(nCode);
    }
    if (copy.bIsNull()) {
      text.Add(L"<ERROR>");
      return text.nResult(103);
    }
    // Casts keep flag 0x400: the type code alone says whether the copy is
    // wide text now.
    if (copy.nGetTypeCode() != VX_PSTRW) {
      text.Add(L"<ERROR>");
      return text.nResult(kVXNotBound);
    }
    const wchar_t* psz = nullptr;
    nCode = copy.pclGetIntern()->nFillBuffer(&psz);
    if (bFailed(nCode)) {
      text.Add(L"<ERROR>");
      return text.nResult(nCode);
    }
    if (psz != nullptr) text.Add(psz);
  }

  if (bDetail) {
    void* pData = nullptr;
    unsigned int nSize = 0;
    if (!bFailed(piBehaviour->nGetDataAdr(&pData)) && !bFailed(piBehaviour->nGetDataSize(&nSize))) {
      text.Add(L", Value(binary)=");
      if (nSize > kDumpMaxBytes) {
        text.Add(L"(first 500 bytes only) ");
        nSize = kDumpMaxBytes;
      }
      if (pData != nullptr) AppendHex(&text, static_cast<const unsigned char*>(pData), nSize);
    }
  }
  return text.nResult(0);
}

int nGetString(CXYString<wchar_t>* pOut, const CAny* pv, const wchar_t* pszPrefix, int bDetail) {
  if (pv != nullptr) return nGetString(pOut, *pv, pszPrefix, bDetail);
  const int nPrefix = pszPrefix != nullptr ? static_cast<int>(std::wcslen(pszPrefix)) : 0;
  const int nCode = pOut->nAffecteConversion(pszPrefix, nPrefix);
  if (nCode != 0) return nCode;
  return pOut->Add(L"<NULL>");
}

int nGetString(CTString* pOut, const CAny* pv, const wchar_t* pszPrefix, int bDetail) {
  CXYString<wchar_t> str;
  const int nCode = nGetString(&str, pv, pszPrefix, bDetail);
  *pOut = str.pszGet();
  return nCode;
}

int nGetString(CTString* pOut, const CAny& v, const wchar_t* pszPrefix, int bDetail) {
  return nGetString(pOut, &v, pszPrefix, bDetail);
}
