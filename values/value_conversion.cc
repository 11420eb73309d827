// The binding to the server's conversion entries and decimal factory, and the
// casts of CAny that go through them.
//
// The server's library owns every conversion rule; this file only moves value
// areas in and out of its entry and decides who releases what:
//   - into a 40-byte scratch area (__nCastTo): the new value keeps its own copy
//     (SetValue shares a counted buffer, copies a zero-terminated string,
//     assigns a decimal), then the release entry drops what the scratch area
//     held;
//   - into a counted-string handle (__nFillString): the handle is a local
//     string whose destructor drops its reference after the output shared it.
#include "values/value_conversion.h"

#include <dlfcn.h>

#include <cwchar>

#include "core/counted_string.h"
#include "core/locale_compare.h"
#include "values/any.h"

PFNVXCONVERSION gpfnConvDepExt = nullptr;
PFNVXFINCONVERSION gpfnFinConv = nullptr;
HINSTANCE ghConvVM = nullptr;
int gnVersionConvVM = 0;
int gnVersionCompatConvVM = 0;
IVXDecimalFactory* gpiVMFactory = nullptr;

namespace {

constexpr unsigned int kOptionsCast = 1;
constexpr unsigned int kOptionsFill = 0;
constexpr unsigned short kFlagsKeptByCasts = kVXNullFlag | kVXSecondFlag;

bool bFailed(int nResult) { return nResult > kVXLastSuccess; }

// The types whose converted content SetValue receives as the pointer held in
// the scratch area's first word, rather than as the area's address: the
// zero-terminated strings and the decimal (copied or assigned from), and the
// object references, which take a reference of their own (the release entry
// then drops the scratch area's). Given the area's address, those would hold
// or call through a pointer into this function's stack.
bool bTakesPointer(unsigned short nType) {
  switch (nType) {
    case VX_PSTRA:
    case VX_PSTRW:
    case VX_DECIMAL:
    case VX_MEMOIMG:
    case VX_CONVOYEUR:
    case VX_POLICE:
    case VX_TABVALANY:
    case VX_OBJET_BASE:
    case VX_DINO:
    case 135:
    case 136:
    case 141:
    case 142:
    case 143:
      return true;
    default:
      return false;
  }
}

bool bCountedWide(unsigned char nCode) { return nCode == VX_DSTRW || nCode == 148 || nCode == 149; }

// Scratch areas are read as the value area of their type: pointers, 64-bit
// numbers and doubles, so they are aligned like a value's area at least.
struct alignas(8) ScratchArea {
  unsigned char aby[kVXValueAreaSize] = {};
};

}  // namespace

// ---------------------------------------------------------------------------
// Binding.

KQ_EXPORT int bInitVXConvFromVM(HINSTANCE hLibrary, int nVersion, int nCompat) {
  if (nCompat > 2 || nVersion < 2) return 0;
  // A null handle would make dlsym search the whole process (RTLD_DEFAULT) and
  // bind whatever carries the names: refuse it like a wrong version.
  if (hLibrary == nullptr) return 0;
  gpfnConvDepExt = reinterpret_cast<PFNVXCONVERSION>(dlsym(hLibrary, "nConversionDepassementExt"));
  if (gpfnConvDepExt == nullptr) return 0;
  // Stored even when missing: a release entry of an earlier library must not
  // be paired with this library's conversions.
  gpfnFinConv = reinterpret_cast<PFNVXFINCONVERSION>(dlsym(hLibrary, "FinConversion"));
  if (gpfnFinConv == nullptr) return 0;
  ghConvVM = hLibrary;
  gnVersionConvVM = nVersion;
  gnVersionCompatConvVM = nCompat;
  return bInitFactory(hLibrary);
}

int bInitFactory(HINSTANCE hLibrary) {
  if (hLibrary == nullptr) return 0;
  auto pfnQuery = reinterpret_cast<PFNVXQUERYPROXY>(dlsym(hLibrary, "pQueryProxy"));
  if (pfnQuery == nullptr) return 0;
  // A library that answers no factory cannot make DECIMAL values: report it,
  // and keep the factory that made the DECIMAL values alive now, if any.
  auto* piFactory = static_cast<IVXDecimalFactory*>(pfnQuery(kVXProxyDecimalFactory));
  if (piFactory == nullptr) return 0;
  gpiVMFactory = piFactory;
  return 1;
}

int bInitVXConvFromServeur_AVERIFIER(HINSTANCE hOtherLibrary) {
  if (hOtherLibrary == nullptr) return 1;  // dlsym(null) would find our own export
  auto pfnInit = reinterpret_cast<int (*)(HINSTANCE, int, int)>(
      dlsym(hOtherLibrary, "bInitVXConvFromVM"));
  if (pfnInit == nullptr) return 1;
  return pfnInit(ghConvVM, gnVersionConvVM, gnVersionCompatConvVM);
}

// ---------------------------------------------------------------------------
// Casts.

int CAny::__nCastTo(unsigned short nType, const STOCAW* pstOCAW, unsigned int nOptions) {
  if (nGetTypeCode() == nType) return 0;
  if (gpfnConvDepExt == nullptr || gpfnFinConv == nullptr) return kVXNotBound;
  // A DECIMAL result needs an object of the factory to assign into.
  if (nType == VX_DECIMAL && gpiVMFactory == nullptr) return kVXNotBound;

  ScratchArea stScratch;
  const int nResult =
      gpfnConvDepExt(pbyGetValeur(), nGetTypeCode(), stScratch.aby, nType, nOptions, pstOCAW);
  if (bFailed(nResult)) return nResult;

  const unsigned short wSaved = wGetType();
  try {
    __SetType(nType, 0);
  } catch (...) {
    // The factory failed to make the DECIMAL: what the entry converted must
    // still go back to the server.
    gpfnFinConv(stScratch.aby, nType);
    throw;
  }
  if (bTakesPointer(nType)) {
    void* p;
    std::memcpy(&p, stScratch.aby, sizeof p);
    pclGetIntern()->SetValue(p);
  } else if (nType == VX_BUFFER) {
    // A BUFFER is the block's pointer and size, as its copies take them.
    void* p;
    uint32_t n;
    std::memcpy(&p, stScratch.aby, sizeof p);
    std::memcpy(&n, stScratch.aby + sizeof p, sizeof n);
    pclGetIntern()->SetValue(p, n);
  } else {
    pclGetIntern()->SetValue(stScratch.aby);
  }
  SetTypeWord(static_cast<unsigned short>((wGetType() & kVXClearFlagsMask) |
                                          (wSaved & kFlagsKeptByCasts)));
  gpfnFinConv(stScratch.aby, nType);
  return nResult;
}

int CAny::__nCastToString(const wchar_t** ppsz, const STOCAW* pstOCAW) {
  const wchar_t* pszLocal = nullptr;
  if (pclGetIntern()->nGetPCWSTR(ppsz != nullptr ? ppsz : &pszLocal) == 0) return 0;
  const int nResult = __nCastTo(VX_DSTRW, pstOCAW, kOptionsCast);
  // Every success code hands out the text: a caller that takes 1 to 99 for
  // success must not be left with a null pointer.
  if (!bFailed(nResult) && ppsz != nullptr) pclGetIntern()->nGetPCWSTR(ppsz);
  return nResult;
}

int CAny::__nCastToString(const char** ppsz, const STOCAW* pstOCAW) {
  const char* pszLocal = nullptr;
  if (pclGetIntern()->nGetPCASTR(ppsz != nullptr ? ppsz : &pszLocal) == 0) return 0;
  const int nResult = __nCastTo(VX_DSTRA, pstOCAW, kOptionsCast);
  if (!bFailed(nResult) && ppsz != nullptr) pclGetIntern()->nGetPCASTR(ppsz);
  return nResult;
}

// REQUIRES: pDest addresses a whole 40-byte value area (the entry may write
// all of it); the caller owns what the entry leaves there.
int CAny::__s_nCastTo(void* pDest, const wchar_t* psz, unsigned short nType,
                      const STOCAW* pstOCAW) {
  if (gpfnConvDepExt == nullptr || pDest == nullptr) return kVXNotBound;
  // The source of type PSTRW is given as the address of its pointer.
  return gpfnConvDepExt(&psz, VX_PSTRW, pDest, nType, kOptionsCast, pstOCAW);
}

// ---------------------------------------------------------------------------
// Counted text.

int CAny::__nFillString(CXYString<wchar_t>& str, const STOCAW* pstOCAW) const {
  if (bCountedWide(nGetTypeCode())) {
    pclGetIntern()->nFillBuffer(&str);
    return 0;
  }
  const wchar_t* psz = nullptr;
  if (pclGetIntern()->nGetPCWSTR(&psz) == 0) {
    if (psz == nullptr || *psz == 0) {
      str.ReleaseDynStr();
      return 0;
    }
    const size_t n = std::wcslen(psz);
    if (n > static_cast<size_t>(kCountedMaxUnits)) return kCountedTooLong;
    // Reuses a buffer of the string's own (grown when too small), replaces a
    // shared one; on failure the string is unchanged.
    return str.nAffecteConversion(psz, static_cast<int>(n));
  }
  if (gpfnConvDepExt == nullptr) return kVXNotBound;
  CXYString<wchar_t> strConverted;
  const int nResult = gpfnConvDepExt(pbyGetValeur(), nGetTypeCode(), &strConverted, VX_DSTRW,
                                     kOptionsFill, pstOCAW);
  if (bFailed(nResult)) return nResult;
  str = strConverted;
  return nResult;
}

int CAny::__nFillString(CXYString<char>& str, const STOCAW* pstOCAW) const {
  if (nGetTypeCode() == VX_DSTRA) {
    pclGetIntern()->nFillBuffer(&str);
    return 0;
  }
  const char* psz = nullptr;
  if (pclGetIntern()->nGetPCASTR(&psz) == 0) {
    if (psz == nullptr || *psz == 0) {
      str.ReleaseDynStr();
      return 0;
    }
    const size_t n = std::strlen(psz);
    if (n > static_cast<size_t>(kCountedMaxUnits)) return kCountedTooLong;
    return str.nAffecte(psz, static_cast<int>(n));
  }
  if (gpfnConvDepExt == nullptr) return kVXNotBound;
  CXYString<char> strConverted;
  const int nResult = gpfnConvDepExt(pbyGetValeur(), nGetTypeCode(), &strConverted, VX_DSTRA,
                                     kOptionsFill, pstOCAW);
  if (bFailed(nResult)) return nResult;
  str = strConverted;
  return nResult;
}

int CAny::__nSetString(const wchar_t* psz, int n, const STOCAW* pstOCAW) {
  const int nCodePage =
      pstOCAW != nullptr ? static_cast<int>(pstOCAW->nCodePage) : STR_nGetCurrentCodePage();
  CXYString<char> strConverted;
  const int nResult = strConverted.__nConversion(psz, n, 0, nCodePage, 0, nullptr);
  if (nResult < 100) {
    __SetType(VX_DSTRA, 0);
    pclGetIntern()->SetValue(&strConverted);
    SetTypeWord(wGetType() & kVXClearFlagsMask);
  }
  return nResult;
}
