// CScratchBuffer: a buffer for one call's work, in automatic storage while
// it is small and on the heap (XMALLOC_pNew_) beyond.
//
// Ownership: the buffer is the object's and goes with it.
// Threads: none of its own; an object is used by one thread.
// Failure: when the heap cannot give the size (or the size does not fit in
// 32 bits), p() is null; callers check it before use.
#ifndef KQ230_CORE_SCRATCH_BUFFER_H_
#define KQ230_CORE_SCRATCH_BUFFER_H_

#include <climits>
#include <cstddef>

#include "core/xmalloc.h"

template <typename T, size_t kInline>
class CScratchBuffer {
 public:
  explicit CScratchBuffer(size_t nCount) {
    if (nCount <= kInline) {
      m_p = m_aInline;
    } else if (nCount <= UINT_MAX / sizeof(T)) {
      m_p = static_cast<T*>(XMALLOC_pNew_(static_cast<unsigned int>(nCount * sizeof(T))));
      m_bHeap = m_p != nullptr;
    }
  }
  ~CScratchBuffer() {
    if (m_bHeap) XMALLOC_Del_(m_p);
  }
  CScratchBuffer(const CScratchBuffer&) = delete;
  CScratchBuffer& operator=(const CScratchBuffer&) = delete;

  T* p() const { return m_p; }

 private:
  T m_aInline[kInline];
  T* m_p = nullptr;
  bool m_bHeap = false;
};

#endif  // KQ230_CORE_SCRATCH_BUFFER_H_
