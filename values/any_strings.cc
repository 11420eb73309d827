// The text and binary behaviour classes: zero-terminated strings owned by the
// value (PSTRA, PSTRW), counted strings and binaries shared by reference
// (DSTRA, DSTRW, BIN) and the caller's memory block (BUFFER).
//
// The value area of a counted type holds the buffer pointer exactly as a
// CXYString<T> or CVXBIN object does (one pointer), so the area is handled
// through those classes in place.
#include <cstring>
#include <cwchar>

#include "core/module_entry.h"
#include "core/unicode.h"
#include "core/xmalloc.h"
#include "core/zstring.h"
#include "values/any.h"
#include "values/any_behaviour.h"

namespace {

constexpr unsigned short kBothFlags = kVXNullFlag | kVXSecondFlag;
constexpr unsigned int kDefaultCodePage = 1252;
// SetValueOption: make a zero-filled buffer of n characters.
constexpr unsigned int kOptionPreallocate = 0x1;

CVXBIN& Bin(unsigned char* pbyArea) { return *reinterpret_cast<CVXBIN*>(pbyArea); }
const CVXBIN& Bin(const unsigned char* pbyArea) {
  return *reinterpret_cast<const CVXBIN*>(pbyArea);
}

template <typename T>
T* PointerField(const unsigned char* pbyArea) {
  T* p;
  std::memcpy(&p, pbyArea, sizeof p);
  return p;
}
template <typename T>
void SetPointerField(unsigned char* pbyArea, T* p) {
  std::memcpy(pbyArea, &p, sizeof p);
}

int FillSize(unsigned int* pn, unsigned int n) {
  if (pn != nullptr) *pn = n;
  return 0;
}
int FillAddress(void** pp, const void* p) {
  if (pp != nullptr) *pp = const_cast<void*>(p);
  return 0;
}

// Clears the target's flags and gives it the source's, for the classes that
// carry them.
void CopyFlags(const CAny* pSource, CAny* pTarget) {
  pTarget->SetTypeWord(static_cast<unsigned short>(
      (pTarget->wGetType() & kVXClearFlagsMask) | (pSource->wGetType() & kBothFlags)));
}

// The server's current code page, as the locale service gives it.
int CurrentCodePage() {
  IInfoLocale* piLocale = CInformationDLL::ms_piInfoLocale;
  return piLocale != nullptr ? piLocale->vnGetCurrentCodePage() : static_cast<int>(kDefaultCodePage);
}

}  // namespace

// ---------------------------------------------------------------------------
// CAny_VXPSTRA: an owned heap copy of an 8-bit text.

CAny_VXPSTRA::~CAny_VXPSTRA() noexcept(false) { __DeleteStr(); }

void CAny_VXPSTRA::Duplique(CAny* pTarget) const {
  pTarget->__SetType(VX_PSTRA, 0);
  pTarget->pclGetIntern()->SetValue(PointerField<char>(pbyArea()));
  CopyFlags(pAny(), pTarget);
}
int CAny_VXPSTRA::nGetSize(unsigned int* pn) const { return FillSize(pn, sizeof(char*)); }
int CAny_VXPSTRA::nGetAdr(void** pp) const { return FillAddress(pp, pbyArea()); }
int CAny_VXPSTRA::nFillBuffer(void* pOut) const {
  const char* psz = nullptr;
  nGetPCASTR(&psz);
  std::memcpy(pOut, &psz, sizeof psz);
  return 0;
}
int CAny_VXPSTRA::nGetDataSize(unsigned int* pn) const {
  unsigned int n = 0;
  nGetSTRLEN(&n);
  return FillSize(pn, n + 1);
}
int CAny_VXPSTRA::nGetDataAdr(void** pp) const {
  const char* psz = nullptr;
  nGetPCASTR(&psz);
  return FillAddress(pp, psz);
}
int CAny_VXPSTRA::nFillDataBuffer(void* pOut) const {
  const char* psz = nullptr;
  nGetPCASTR(&psz);
  std::memcpy(pOut, psz, std::strlen(psz) + 1);
  return 0;
}
int CAny_VXPSTRA::nGetUtilDataSize(unsigned int* pn) const { return nGetSTRLEN(pn); }
int CAny_VXPSTRA::nFillUtilDataBuffer(void* pOut) const {
  const char* psz = nullptr;
  nGetPCASTR(&psz);
  std::memcpy(pOut, psz, std::strlen(psz));
  return 0;
}
// The new copy is made before the old text goes, so that p may be the value's
// own text.
void CAny_VXPSTRA::SetValue(const void* p) {
  char* pOld = PointerField<char>(pbyArea());
  SetPointerField<char>(pbyArea(), nullptr);
  __CreateStr(static_cast<const char*>(p));
  STR_DeleteA(pOld);
}
void CAny_VXPSTRA::SetValue(const void* p, unsigned int n) {
  char* pOld = PointerField<char>(pbyArea());
  SetPointerField<char>(pbyArea(), nullptr);
  __CreateStr(static_cast<const char*>(p), n);
  STR_DeleteA(pOld);
}
int CAny_VXPSTRA::nGetPCASTR(const char** pp) const {
  const char* psz = PointerField<const char>(pbyArea());
  if (pp != nullptr) *pp = psz != nullptr ? psz : CAny_Intern::ChaineVideA;
  return 0;
}
int CAny_VXPSTRA::nGetSTRLEN(unsigned int* pn) const {
  const char* psz = PointerField<const char>(pbyArea());
  return FillSize(pn, psz != nullptr ? static_cast<unsigned int>(std::strlen(psz)) : 0);
}
void CAny_VXPSTRA::SetValueOption(const void* p, unsigned int n, unsigned int nOptions) {
  if ((nOptions & kOptionPreallocate) == 0) {
    SetValue(p, n);
    return;
  }
  char* pOld = PointerField<char>(pbyArea());
  char* pNew = STR_pszCreateA(n);
  if (pNew != nullptr) {
    std::memset(pNew, 0, size_t(n) + 1);
    if (p != nullptr) std::strncpy(pNew, static_cast<const char*>(p), n);
  }
  SetPointerField<char>(pbyArea(), pNew);
  STR_DeleteA(pOld);
}
void CAny_VXPSTRA::__CreateStr(const char* p) {
  SetPointerField<char>(pbyArea(), (p == nullptr || *p == 0) ? nullptr : STR_pszCreateA(p));
}
void CAny_VXPSTRA::__CreateStr(const char* p, unsigned int n) {
  SetPointerField<char>(pbyArea(), (p == nullptr || *p == 0) ? nullptr : STR_pszCreateA(n, p));
}
void CAny_VXPSTRA::__DeleteStr() {
  STR_DeleteA(PointerField<char>(pbyArea()));
  SetPointerField<char>(pbyArea(), nullptr);
}

// ---------------------------------------------------------------------------
// CAny_VXPSTRW: an owned heap copy of a wide text.

CAny_VXPSTRW::~CAny_VXPSTRW() noexcept(false) { __DeleteStr(); }

void CAny_VXPSTRW::Duplique(CAny* pTarget) const {
  pTarget->__SetType(VX_PSTRW, 0);
  pTarget->pclGetIntern()->SetValue(PointerField<wchar_t>(pbyArea()));
  CopyFlags(pAny(), pTarget);
}
int CAny_VXPSTRW::nGetSize(unsigned int* pn) const { return FillSize(pn, sizeof(wchar_t*)); }
int CAny_VXPSTRW::nGetAdr(void** pp) const { return FillAddress(pp, pbyArea()); }
int CAny_VXPSTRW::nFillBuffer(void* pOut) const {
  const wchar_t* psz = nullptr;
  nGetPCWSTR(&psz);
  std::memcpy(pOut, &psz, sizeof psz);
  return 0;
}
int CAny_VXPSTRW::nGetDataSize(unsigned int* pn) const {
  unsigned int n = 0;
  nGetSTRLEN(&n);
  return FillSize(pn, (n + 1) * sizeof(wchar_t));
}
int CAny_VXPSTRW::nGetDataAdr(void** pp) const {
  const wchar_t* psz = nullptr;
  nGetPCWSTR(&psz);
  return FillAddress(pp, psz);
}
int CAny_VXPSTRW::nFillDataBuffer(void* pOut) const {
  const wchar_t* psz = nullptr;
  nGetPCWSTR(&psz);
  std::memcpy(pOut, psz, (std::wcslen(psz) + 1) * sizeof(wchar_t));
  return 0;
}
int CAny_VXPSTRW::nGetUtilDataSize(unsigned int* pn) const {
  unsigned int n = 0;
  nGetSTRLEN(&n);
  return FillSize(pn, n * sizeof(wchar_t));
}
int CAny_VXPSTRW::nFillUtilDataBuffer(void* pOut) const {
  const wchar_t* psz = nullptr;
  nGetPCWSTR(&psz);
  std::memcpy(pOut, psz, std::wcslen(psz) * sizeof(wchar_t));
  return 0;
}
void CAny_VXPSTRW::SetValue(const void* p) {
  wchar_t* pOld = PointerField<wchar_t>(pbyArea());
  SetPointerField<wchar_t>(pbyArea(), nullptr);
  __CreateStr(static_cast<const wchar_t*>(p));
  STR_DeleteW(pOld);
}
// n is in bytes.
void CAny_VXPSTRW::SetValue(const void* p, unsigned int n) {
  wchar_t* pOld = PointerField<wchar_t>(pbyArea());
  SetPointerField<wchar_t>(pbyArea(), nullptr);
  __CreateStr(static_cast<const wchar_t*>(p), n / sizeof(wchar_t));
  STR_DeleteW(pOld);
}
int CAny_VXPSTRW::nGetPCWSTR(const wchar_t** pp) const {
  const wchar_t* psz = PointerField<const wchar_t>(pbyArea());
  if (pp != nullptr) *pp = psz != nullptr ? psz : CAny_Intern::ChaineVide;
  return 0;
}
int CAny_VXPSTRW::nGetSTRLEN(unsigned int* pn) const {
  const wchar_t* psz = PointerField<const wchar_t>(pbyArea());
  return FillSize(pn, psz != nullptr ? static_cast<unsigned int>(std::wcslen(psz)) : 0);
}

namespace {
void SetPstrwFromAnsi(unsigned char* pbyArea, int nCodePage, const void* p, unsigned int n) {
  wchar_t* pOld = PointerField<wchar_t>(pbyArea);
  wchar_t* pNew = nullptr;
  if (p != nullptr && n != 0)
    pNew = pszCSTR2XSTR(static_cast<const char*>(p), static_cast<int>(n), nCodePage);
  SetPointerField<wchar_t>(pbyArea, pNew);
  STR_DeleteW(pOld);
}
unsigned int SafeStrlen(const void* p) {
  return p != nullptr ? static_cast<unsigned int>(std::strlen(static_cast<const char*>(p))) : 0;
}
}  // namespace

void CAny_VXPSTRW::SetValueFromANSI(const void* p) {
  SetPstrwFromAnsi(pbyArea(), kDefaultCodePage, p, SafeStrlen(p));
}
void CAny_VXPSTRW::SetValueFromANSI(const void* p, unsigned int n) {
  SetPstrwFromAnsi(pbyArea(), kDefaultCodePage, p, n);
}
void CAny_VXPSTRW::SetValueFromANSI_CP(int nCodePage, const void* p) {
  SetPstrwFromAnsi(pbyArea(), nCodePage, p, SafeStrlen(p));
}
void CAny_VXPSTRW::SetValueFromANSI_CP(int nCodePage, const void* p, unsigned int n) {
  SetPstrwFromAnsi(pbyArea(), nCodePage, p, n);
}
// n is in characters here.
void CAny_VXPSTRW::SetValueOption(const void* p, unsigned int n, unsigned int nOptions) {
  wchar_t* pOld = PointerField<wchar_t>(pbyArea());
  wchar_t* pNew = nullptr;
  if ((nOptions & kOptionPreallocate) == 0) {
    const wchar_t* ps = static_cast<const wchar_t*>(p);
    if (ps != nullptr && *ps != 0) pNew = STR_pszCreateW_UNALIGNED(n, ps);
  } else if (uint64_t(n) + 1 <= 0xFFFFFFFFu / sizeof(wchar_t)) {
    const size_t nBytes = (size_t(n) + 1) * sizeof(wchar_t);
    pNew = static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<unsigned int>(nBytes)));
    if (pNew != nullptr) {
      std::memset(pNew, 0, nBytes);
      if (p != nullptr) std::wcsncpy(pNew, static_cast<const wchar_t*>(p), n);
    }
  }
  SetPointerField<wchar_t>(pbyArea(), pNew);
  STR_DeleteW(pOld);
}
void CAny_VXPSTRW::__CreateStr(const wchar_t* p) {
  SetPointerField<wchar_t>(pbyArea(),
                           (p == nullptr || *p == 0) ? nullptr : STR_pszCreateW_UNALIGNED(p));
}
void CAny_VXPSTRW::__CreateStr(const wchar_t* p, unsigned int n) {
  SetPointerField<wchar_t>(pbyArea(),
                           (p == nullptr || *p == 0) ? nullptr : STR_pszCreateW_UNALIGNED(n, p));
}
void CAny_VXPSTRW::__DeleteStr() {
  STR_DeleteW(PointerField<wchar_t>(pbyArea()));
  SetPointerField<wchar_t>(pbyArea(), nullptr);
}

// Exactly n units are read: the count of characters is bounded by n, and the
// length stored is what the conversion wrote (a surrogate pair is one
// character).
void CAny_VXPSTRW::s_SetFromUTF16(CAny* pAny, const unsigned short* p, int n) {
  if (pAny == nullptr || n <= 0 || p == nullptr) return;
  unsigned char* pbyArea = pAny->pbyGetValeur();
  const int nBound = UTF16ToWideChar(p, n, nullptr, 0);
  wchar_t* pOld = PointerField<wchar_t>(pbyArea);
  wchar_t* pNew = nBound >= 0 ? STR_pszCreateW(static_cast<unsigned int>(nBound)) : nullptr;
  if (pNew != nullptr) {
    const int nDone = nBound > 0 ? UTF16ToWideChar(p, n, pNew, nBound) : 0;
    pNew[nDone > 0 ? nDone : 0] = 0;
  }
  SetPointerField<wchar_t>(pbyArea, pNew);
  STR_DeleteW(pOld);
}

// ---------------------------------------------------------------------------
// Counted strings. Shared operations over CXYString<T> in the area.

namespace {

template <typename T>
CXYString<T>& Str(unsigned char* pbyArea) {
  return *reinterpret_cast<CXYString<T>*>(pbyArea);
}
template <typename T>
const CXYString<T>& Str(const unsigned char* pbyArea) {
  return *reinterpret_cast<const CXYString<T>*>(pbyArea);
}

template <typename T>
unsigned int Bytes(const unsigned char* pbyArea) {
  return static_cast<unsigned int>(Str<T>(pbyArea).nGetLongueur()) * sizeof(T);
}

// Out shares the value's buffer; nothing when out is the value's own field.
template <typename T>
void ShareInto(const unsigned char* pbyArea, void* pOut) {
  CXYString<T>* pStr = static_cast<CXYString<T>*>(pOut);
  if (static_cast<const void*>(pStr) == static_cast<const void*>(pbyArea)) return;
  *pStr = Str<T>(pbyArea);
}

// n units of p: the own buffer is reused (regrown), a shared one replaced by
// a new one; a shared value that cannot get a new buffer is left empty.
template <typename T>
void AssignUnits(unsigned char* pbyArea, const T* p, int n) {
  CXYString<T>& s = Str<T>(pbyArea);
  const bool bShared = CountedBuffer_bShared(reinterpret_cast<unsigned char*>(s.pGetData()));
  int nResult;
  if constexpr (std::is_same_v<T, char>)
    nResult = s.nAffecte(p, n);
  else
    nResult = s.nAffecteConversion(p, n);
  if (nResult != 0 && nResult != kCountedTooLong && bShared) s.ReleaseDynStr();
}

}  // namespace

CAny_VXDSTRA::~CAny_VXDSTRA() noexcept(false) { Str<char>(pbyArea()).ReleaseDynStr(); }

void CAny_VXDSTRA::Duplique(CAny* pTarget) const {
  pTarget->__SetType(VX_DSTRA, 0);
  pTarget->pclGetIntern()->SetValue(pbyArea());
  CopyFlags(pAny(), pTarget);
}
int CAny_VXDSTRA::nGetSize(unsigned int* pn) const { return FillSize(pn, sizeof(void*)); }
int CAny_VXDSTRA::nGetAdr(void** pp) const { return FillAddress(pp, pbyArea()); }
int CAny_VXDSTRA::nFillBuffer(void* pOut) const {
  ShareInto<char>(pbyArea(), pOut);
  return 0;
}
int CAny_VXDSTRA::nGetDataSize(unsigned int* pn) const {
  return FillSize(pn, Bytes<char>(pbyArea()) + 1);
}
int CAny_VXDSTRA::nGetDataAdr(void** pp) const {
  return FillAddress(pp, Str<char>(pbyArea()).pszGet());
}
int CAny_VXDSTRA::nFillDataBuffer(void* pOut) const {
  std::memcpy(pOut, Str<char>(pbyArea()).pszGet(), Bytes<char>(pbyArea()) + 1);
  return 0;
}
int CAny_VXDSTRA::nGetUtilDataSize(unsigned int* pn) const {
  return FillSize(pn, Bytes<char>(pbyArea()));
}
int CAny_VXDSTRA::nFillUtilDataBuffer(void* pOut) const {
  std::memcpy(pOut, Str<char>(pbyArea()).pszGet(), Bytes<char>(pbyArea()));
  return 0;
}
void CAny_VXDSTRA::SetValue(const void* p) {
  if (p == nullptr) {
    Str<char>(pbyArea()).ReleaseDynStr();
    return;
  }
  Str<char>(pbyArea()) = *static_cast<const CXYString<char>*>(p);
}
void CAny_VXDSTRA::SetValue(const void* p, unsigned int n) {
  const char* psz = static_cast<const char*>(p);
  if (n == 0xFFFFFFFFu) {
    n = psz != nullptr ? static_cast<unsigned int>(std::strlen(psz)) : 0;
  }
  if (psz == nullptr || static_cast<int>(n) <= 0) {
    Str<char>(pbyArea()).ReleaseDynStr();
    return;
  }
  if (n > static_cast<unsigned int>(kCountedMaxUnits)) return;
  AssignUnits<char>(pbyArea(), psz, static_cast<int>(n));
}
int CAny_VXDSTRA::nGetPCASTR(const char** pp) const {
  if (pp != nullptr) *pp = Str<char>(pbyArea()).pszGet();
  return 0;
}
int CAny_VXDSTRA::nGetSTRLEN(unsigned int* pn) const {
  return FillSize(pn, Bytes<char>(pbyArea()));
}

CAny_VXDSTRW::~CAny_VXDSTRW() noexcept(false) { Str<wchar_t>(pbyArea()).ReleaseDynStr(); }

// Kinds 148 and 149 copy as the plain wide string.
void CAny_VXDSTRW::Duplique(CAny* pTarget) const {
  pTarget->__SetType(VX_DSTRW, 0);
  pTarget->pclGetIntern()->SetValue(pbyArea());
  CopyFlags(pAny(), pTarget);
}
int CAny_VXDSTRW::nGetSize(unsigned int* pn) const { return FillSize(pn, sizeof(void*)); }
int CAny_VXDSTRW::nGetAdr(void** pp) const { return FillAddress(pp, pbyArea()); }
int CAny_VXDSTRW::nFillBuffer(void* pOut) const {
  ShareInto<wchar_t>(pbyArea(), pOut);
  return 0;
}
int CAny_VXDSTRW::nGetDataSize(unsigned int* pn) const {
  return FillSize(pn, Bytes<wchar_t>(pbyArea()) + sizeof(wchar_t));
}
int CAny_VXDSTRW::nGetDataAdr(void** pp) const {
  return FillAddress(pp, Str<wchar_t>(pbyArea()).pszGet());
}
int CAny_VXDSTRW::nFillDataBuffer(void* pOut) const {
  std::memcpy(pOut, Str<wchar_t>(pbyArea()).pszGet(), Bytes<wchar_t>(pbyArea()) + sizeof(wchar_t));
  return 0;
}
int CAny_VXDSTRW::nGetUtilDataSize(unsigned int* pn) const {
  return FillSize(pn, Bytes<wchar_t>(pbyArea()));
}
int CAny_VXDSTRW::nFillUtilDataBuffer(void* pOut) const {
  std::memcpy(pOut, Str<wchar_t>(pbyArea()).pszGet(), Bytes<wchar_t>(pbyArea()));
  return 0;
}
void CAny_VXDSTRW::SetValue(const void* p) {
  if (p == nullptr) {
    Str<wchar_t>(pbyArea()).ReleaseDynStr();
    return;
  }
  Str<wchar_t>(pbyArea()) = *static_cast<const CXYString<wchar_t>*>(p);
}
// n is in bytes, rounded down to whole characters.
void CAny_VXDSTRW::SetValue(const void* p, unsigned int n) {
  if (p == nullptr || n < sizeof(wchar_t)) {
    Str<wchar_t>(pbyArea()).ReleaseDynStr();
    return;
  }
  AssignUnits<wchar_t>(pbyArea(), static_cast<const wchar_t*>(p),
                       static_cast<int>(n / sizeof(wchar_t)));
}
int CAny_VXDSTRW::nGetPCWSTR(const wchar_t** pp) const {
  if (pp != nullptr) *pp = Str<wchar_t>(pbyArea()).pszGet();
  return 0;
}
int CAny_VXDSTRW::nGetSTRLEN(unsigned int* pn) const {
  return FillSize(pn, Bytes<wchar_t>(pbyArea()) / sizeof(wchar_t));
}

// The text is counted by its bytes, without the terminator: the terminator is
// no character of the value.
void CAny_VXDSTRW::SetValueFromANSI(const void* p) { SetValueFromANSI(p, SafeStrlen(p)); }
void CAny_VXDSTRW::SetValueFromANSI(const void* p, unsigned int n) {
  SetValueFromANSI_CP(CurrentCodePage(), p, n);
}
void CAny_VXDSTRW::SetValueFromANSI_CP(int nCodePage, const void* p) {
  SetValueFromANSI_CP(nCodePage, p, SafeStrlen(p));
}
void CAny_VXDSTRW::SetValueFromANSI_CP(int nCodePage, const void* p, unsigned int n) {
  Str<wchar_t>(pbyArea()).__nConversion(static_cast<const char*>(p), static_cast<int>(n), 0,
                                         nCodePage, 0, nullptr);
}

// Exactly n units are read; the length is what the conversion wrote.
void CAny_VXDSTRW::s_SetFromUTF16(CAny* pAny, const unsigned short* p, int n) {
  if (pAny == nullptr) return;
  CXYString<wchar_t>& s = Str<wchar_t>(pAny->pbyGetValeur());
  if (n <= 0 || p == nullptr) {
    s.ReleaseDynStr();
    return;
  }
  const int nBound = UTF16ToWideChar(p, n, nullptr, 0);
  if (nBound <= 0) {
    s.ReleaseDynStr();
    return;
  }
  int nResult = s.pGetData() != nullptr ? s.__nPrepareModification(nBound, 0)
                                        : s.__nNew(nBound, nullptr, 0, 0);
  if (nResult != 0 || s.pGetData() == nullptr) {
    s.ReleaseDynStr();
    return;
  }
  const int nDone = UTF16ToWideChar(p, n, s.pGetData(), nBound);
  if (nDone <= 0) {
    s.ReleaseDynStr();
    return;
  }
  s.SetUtilLength(nDone);
}

// ---------------------------------------------------------------------------
// CAny_VXBIN: a counted binary buffer.

CAny_VXBIN::~CAny_VXBIN() noexcept(false) { Bin(pbyArea()).Assign(nullptr, 0); }

void CAny_VXBIN::Duplique(CAny* pTarget) const {
  pTarget->__SetType(VX_BIN, 0);
  pTarget->pclGetIntern()->SetValue(pbyArea());
  CopyFlags(pAny(), pTarget);
}
int CAny_VXBIN::nGetSize(unsigned int* pn) const { return FillSize(pn, sizeof(void*)); }
int CAny_VXBIN::nGetAdr(void** pp) const { return FillAddress(pp, pbyArea()); }
int CAny_VXBIN::nFillBuffer(void* pOut) const {
  CVXBIN* pBin = static_cast<CVXBIN*>(pOut);
  if (static_cast<const void*>(pBin) != static_cast<const void*>(pbyArea())) *pBin = Bin(pbyArea());
  return 0;
}
int CAny_VXBIN::nGetDataSize(unsigned int* pn) const {
  return FillSize(pn, static_cast<unsigned int>(Bin(pbyArea()).nGetSize()));
}
int CAny_VXBIN::nGetDataAdr(void** pp) const { return FillAddress(pp, Bin(pbyArea()).pbyGet()); }
int CAny_VXBIN::nFillDataBuffer(void* pOut) const {
  const CVXBIN& b = Bin(pbyArea());
  if (b.pbyGet() != nullptr) std::memcpy(pOut, b.pbyGet(), static_cast<size_t>(b.nGetSize()));
  return 0;
}
int CAny_VXBIN::nGetUtilDataSize(unsigned int* pn) const { return nGetDataSize(pn); }
int CAny_VXBIN::nFillUtilDataBuffer(void* pOut) const { return nFillDataBuffer(pOut); }
void CAny_VXBIN::SetValue(const void* p) {
  CVXBIN& b = Bin(pbyArea());
  const CVXBIN* pOther = static_cast<const CVXBIN*>(p);
  if (pOther == &b) return;
  b.Assign(pOther, -1);
}
void CAny_VXBIN::SetValue(const void* p, unsigned int n) {
  if (n > static_cast<unsigned int>(kCountedMaxUnits)) return;
  Bin(pbyArea()).nAssign(static_cast<const unsigned char*>(p), static_cast<int>(n), 0);
}

// ---------------------------------------------------------------------------
// CAny_VXBUFFER: the caller's block, pointer at offset 0 and size at offset 4.

namespace {
struct BufferField {
  const unsigned char* p;
  uint32_t n;
};
static_assert(sizeof(BufferField) == 8, "pointer and 32-bit size");
BufferField ReadBuffer(const unsigned char* pbyArea) {
  BufferField f;
  std::memcpy(&f, pbyArea, sizeof f);
  return f;
}
}  // namespace

void CAny_VXBUFFER::Duplique(CAny* pTarget) const {
  const BufferField f = ReadBuffer(pbyArea());
  pTarget->__SetType(VX_BUFFER, 0);
  pTarget->pclGetIntern()->SetValue(f.p, f.n);
  CopyFlags(pAny(), pTarget);
}
int CAny_VXBUFFER::nGetSize(unsigned int* pn) const { return FillSize(pn, sizeof(BufferField)); }
int CAny_VXBUFFER::nGetAdr(void** pp) const { return FillAddress(pp, pbyArea()); }
int CAny_VXBUFFER::nFillBuffer(void* pOut) const {
  std::memcpy(pOut, pbyArea(), sizeof(BufferField));
  return 0;
}
int CAny_VXBUFFER::nGetDataSize(unsigned int* pn) const {
  return FillSize(pn, ReadBuffer(pbyArea()).n);
}
int CAny_VXBUFFER::nGetDataAdr(void** pp) const { return FillAddress(pp, ReadBuffer(pbyArea()).p); }
int CAny_VXBUFFER::nFillDataBuffer(void* pOut) const {
  const BufferField f = ReadBuffer(pbyArea());
  if (f.p != nullptr && f.n != 0) std::memcpy(pOut, f.p, f.n);
  return 0;
}
void CAny_VXBUFFER::SetValue(const void* p) { SetValue(p, 0); }
void CAny_VXBUFFER::SetValue(const void* p, unsigned int n) {
  const BufferField f = {static_cast<const unsigned char*>(p), n};
  std::memcpy(pbyArea(), &f, sizeof f);
}
