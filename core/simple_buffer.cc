#include "core/simple_buffer.h"

#include <cstring>

#include "core/xmalloc.h"

CSimpleBuffer::CSimpleBuffer(unsigned int nSize) { SetSize(nSize); }

CSimpleBuffer::CSimpleBuffer(const void* pBytes, unsigned int nLength) {
  CopyBuffer(pBytes, nLength);
}

CSimpleBuffer::CSimpleBuffer(const CSimpleBuffer* pOther) {
  if (pOther != nullptr) CopyBuffer(pOther->m_pData, pOther->m_pData ? pOther->m_nSize : 0);
}

CSimpleBuffer::~CSimpleBuffer() { XMALLOC_Del_(m_pData); }

void CSimpleBuffer::SetSize(unsigned int nSize) {
  // The same size keeps the block; but a block that could not be obtained
  // before is asked for again rather than leaving the buffer unusable.
  if (nSize == m_nSize && (m_pData != nullptr || nSize == 0)) return;
  XMALLOC_Del_(m_pData);
  m_pData = nullptr;
  m_nSize = nSize;
  if (nSize != 0) m_pData = XMALLOC_pNew_(nSize);
}

void CSimpleBuffer::CopyBuffer(const void* pBytes, unsigned int nLength) {
  SetSize(nLength);
  if (m_pData != nullptr && nLength != 0) std::memcpy(m_pData, pBytes, nLength);
}
