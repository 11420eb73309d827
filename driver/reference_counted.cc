// CInterf: see reference_counted.h.
#include "driver/reference_counted.h"

CInterf::~CInterf() = default;

int CInterf::_NotToBeCalled() const { return 0; }

int CInterf::nRelease() {
  // A count already at 0 belongs to an object nobody holds yet (or one that a
  // hold flag kept alive): releasing it again must neither wrap nor destroy.
  if (m_nRefCount == 0) return 0;
  --m_nRefCount;
  if (m_nRefCount == 0 && m_nHold == 0) {
    delete this;
    return 0;
  }
  return m_nRefCount;
}
