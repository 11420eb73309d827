// The behaviour classes of values that hold a server object: DECIMAL (an
// object of the decimal factory, owned by the value) and the counted object
// references (MEMOIMG, POLICE, CONVOYEUR, TABVALANY, OBJET_BASE, DINO).
//
// The objects are the server's; the driver knows only a few slots of their
// tables of virtual operations. Those slots are called through the table with
// the object as their only argument, which is how the platform's C++ ABI
// passes `this` to a member function without parameters.
#include <atomic>
#include <cstring>

#include "values/any.h"
#include "values/any_behaviour.h"
#include "values/value_conversion.h"

namespace {

constexpr unsigned short kBothFlags = kVXNullFlag | kVXSecondFlag;

void* PointerField(const unsigned char* pbyArea) {
  void* p;
  std::memcpy(&p, pbyArea, sizeof p);
  return p;
}
void SetPointerField(unsigned char* pbyArea, const void* p) { std::memcpy(pbyArea, &p, sizeof p); }

int FillSize(unsigned int* pn, unsigned int n) {
  if (pn != nullptr) *pn = n;
  return 0;
}

// Calls the ordinal-th (from 1) virtual operation of a server object.
void CallSlot(void* pObject, int nOrdinal) {
  typedef void (*PFNSLOT)(void*);
  PFNSLOT* pVTable = *static_cast<PFNSLOT**>(pObject);
  pVTable[nOrdinal - 1](pObject);
}

// The reference count of MEMOIMG, POLICE and CONVOYEUR objects: the 32-bit
// word after the table pointer.
void AddRefCountWord(void* pObject) {
  int32_t* pnCount = reinterpret_cast<int32_t*>(static_cast<unsigned char*>(pObject) + sizeof(void*));
  __atomic_add_fetch(pnCount, 1, __ATOMIC_SEQ_CST);
}

// Releases the object the area holds through the given slot; the area is
// cleared first, so that a release that throws leaves no stale pointer.
void ReleaseObject(unsigned char* pbyArea, int nReleaseOrdinal) {
  void* pObject = PointerField(pbyArea);
  SetPointerField(pbyArea, nullptr);
  if (pObject != nullptr) CallSlot(pObject, nReleaseOrdinal);
}

// p replaces the held object: the new reference is taken before the old one
// is given back, so that storing the object already held is safe.
void ReplaceObject(unsigned char* pbyArea, const void* p, int nAddRefOrdinal, int nReleaseOrdinal) {
  void* pOld = PointerField(pbyArea);
  if (p != nullptr) CallSlot(const_cast<void*>(p), nAddRefOrdinal);
  SetPointerField(pbyArea, p);
  if (pOld != nullptr) CallSlot(pOld, nReleaseOrdinal);
}

IVXDecimal* Decimal(const unsigned char* pbyArea) {
  return static_cast<IVXDecimal*>(PointerField(pbyArea));
}

}  // namespace

// ---------------------------------------------------------------------------
// CAny_VXDECIMAL

CAny_VXDECIMAL::~CAny_VXDECIMAL() noexcept(false) {
  IVXDecimal* pDecimal = Decimal(pbyArea());
  SetPointerField(pbyArea(), nullptr);
  if (pDecimal != nullptr && gpiVMFactory != nullptr) gpiVMFactory->DestroyDecimal(pDecimal);
}

void CAny_VXDECIMAL::Duplique(CAny* pTarget) const {
  pTarget->__SetType(VX_DECIMAL, 0);
  pTarget->pclGetIntern()->SetValue(Decimal(pbyArea()));
  pTarget->SetTypeWord(static_cast<unsigned short>(
      (pTarget->wGetType() & kVXClearFlagsMask) | (pAny()->wGetType() & kBothFlags)));
}
int CAny_VXDECIMAL::nGetSize(unsigned int* pn) const { return FillSize(pn, sizeof(void*)); }
int CAny_VXDECIMAL::nGetAdr(void** pp) const {
  if (pp != nullptr) *pp = const_cast<unsigned char*>(pbyArea());
  return 0;
}
int CAny_VXDECIMAL::nFillBuffer(void* pOut) const {
  IVXDecimal* pDecimal = Decimal(pbyArea());
  std::memcpy(pOut, &pDecimal, sizeof pDecimal);
  return 0;
}
int CAny_VXDECIMAL::nGetDataSize(unsigned int* pn) const { return FillSize(pn, kVXDecimalFormSize); }
// The 18-byte form exists only when written out: no address to give.
int CAny_VXDECIMAL::nGetDataAdr(void** pp) const {
  if (pp != nullptr) *pp = nullptr;
  return 105;
}
int CAny_VXDECIMAL::nFillDataBuffer(void* pOut) const {
  IVXDecimal* pDecimal = Decimal(pbyArea());
  if (pDecimal == nullptr) return 105;
  pDecimal->WriteForm(pOut);
  return 0;
}
void CAny_VXDECIMAL::SetValue(const void* p) {
  IVXDecimal* pDecimal = Decimal(pbyArea());
  const IVXDecimal* pOther = static_cast<const IVXDecimal*>(p);
  if (pDecimal != nullptr && pOther != nullptr && pOther != pDecimal) pDecimal->Assign(pOther);
}
void CAny_VXDECIMAL::SetValue(const void* p, unsigned int) {
  IVXDecimal* pDecimal = Decimal(pbyArea());
  if (pDecimal != nullptr && p != nullptr) pDecimal->SetFromForm(p);
}
int CAny_VXDECIMAL::bIsPositive() const {
  IVXDecimal* pDecimal = Decimal(pbyArea());
  return pDecimal == nullptr || pDecimal->bIsNegative() == 0;
}

// ---------------------------------------------------------------------------
// Object references. The fill operations hand the pointer out without a
// reference.

#define KQ_DEFINE_OBJECT(Class, kCode, bKeepFlags)                                            \
  int Class::nGetSize(unsigned int* pn) const { return FillSize(pn, sizeof(void*)); }         \
  int Class::nGetAdr(void** pp) const {                                                       \
    if (pp != nullptr) *pp = const_cast<unsigned char*>(pbyArea());                           \
    return 0;                                                                                 \
  }                                                                                           \
  int Class::nFillBuffer(void* pOut) const {                                                  \
    std::memcpy(pOut, pbyArea(), sizeof(void*));                                              \
    return 0;                                                                                 \
  }                                                                                           \
  int Class::nGetDataSize(unsigned int* pn) const { return nGetSize(pn); }                    \
  int Class::nGetDataAdr(void** pp) const { return nGetAdr(pp); }                             \
  int Class::nFillDataBuffer(void* pOut) const { return nFillBuffer(pOut); }                  \
  void Class::Duplique(CAny* pTarget) const {                                                 \
    pTarget->__SetType(kCode, 0);                                                             \
    pTarget->pclGetIntern()->SetValue(PointerField(pbyArea()));                               \
    unsigned short w = pTarget->wGetType() & kVXClearFlagsMask;                               \
    if (bKeepFlags) w = static_cast<unsigned short>(w | (pAny()->wGetType() & kBothFlags));   \
    pTarget->SetTypeWord(w);                                                                  \
  }

// MEMOIMG, POLICE, CONVOYEUR: the count word after the table; release is the
// third operation.
#define KQ_DEFINE_COUNTED_OBJECT(Class, kCode)                              \
  KQ_DEFINE_OBJECT(Class, kCode, true)                                      \
  Class::~Class() noexcept(false) { ReleaseObject(pbyArea(), 3); }          \
  void Class::SetValue(const void* p) {                                     \
    SetPointerField(pbyArea(), p);                                          \
    if (p != nullptr) AddRefCountWord(const_cast<void*>(p));                \
  }

KQ_DEFINE_COUNTED_OBJECT(CAny_VXMEMOIMG, VX_MEMOIMG)
KQ_DEFINE_COUNTED_OBJECT(CAny_VXPOLICE, VX_POLICE)
KQ_DEFINE_COUNTED_OBJECT(CAny_VXCONVOYEUR, VX_CONVOYEUR)

KQ_DEFINE_OBJECT(CAny_VXTABVALANY, VX_TABVALANY, false)
CAny_VXTABVALANY::~CAny_VXTABVALANY() noexcept(false) { ReleaseObject(pbyArea(), 3); }
void CAny_VXTABVALANY::SetValue(const void* p) { ReplaceObject(pbyArea(), p, 2, 3); }

// The copy keeps the kind (135 to 143) of the source.
KQ_DEFINE_OBJECT(CAny_VXOBJET_BASE, pAny()->wGetType(), false)
CAny_VXOBJET_BASE::~CAny_VXOBJET_BASE() noexcept(false) { ReleaseObject(pbyArea(), 2); }
void CAny_VXOBJET_BASE::SetValue(const void* p) { ReplaceObject(pbyArea(), p, 1, 2); }

KQ_DEFINE_OBJECT(CAny_VXDINO, VX_DINO, false)
CAny_VXDINO::~CAny_VXDINO() noexcept(false) { ReleaseObject(pbyArea(), 2); }
void CAny_VXDINO::SetValue(const void* p) { ReplaceObject(pbyArea(), p, 1, 2); }
