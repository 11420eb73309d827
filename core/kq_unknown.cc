#include "core/kq_unknown.h"

CKQUnknown::~CKQUnknown() = default;

unsigned int CKQUnknown::dwRelease() {
  const int nNew = __atomic_sub_fetch(&m_nRefCount, 1, __ATOMIC_ACQ_REL);
  if (nNew == 0) delete this;
  return static_cast<unsigned int>(nNew);
}

unsigned int CKQUnknown::dwAddRef() {
  return static_cast<unsigned int>(__atomic_add_fetch(&m_nRefCount, 1, __ATOMIC_ACQ_REL));
}

int CKQUnknown::nGetRefCount() const { return __atomic_load_n(&m_nRefCount, __ATOMIC_ACQUIRE); }
