// CSimpleBuffer: a byte buffer that owns one heap block of exactly its size.
//
// Ownership: the block comes from XMALLOC_pNew_ and is freed with XMALLOC_Del_
// by SetSize and by the destructor. Resizing does not keep the content.
// Threads: none; one owner at a time.
// Invariant: m_pData is null, or a block of exactly m_nSize bytes. After a
// failed allocation m_pData is null while m_nSize keeps the requested size:
// callers test the data pointer, not the size.
#ifndef KQ230_CORE_SIMPLE_BUFFER_H_
#define KQ230_CORE_SIMPLE_BUFFER_H_

class CSimpleConstBufferBase {
 public:
  const void* pGetData() const { return m_pData; }
  unsigned int nGetSize() const { return m_nSize; }

 protected:
  CSimpleConstBufferBase() = default;
  ~CSimpleConstBufferBase() = default;

  void* m_pData = nullptr;
  unsigned int m_nSize = 0;
};

class CSimpleBufferBase : public CSimpleConstBufferBase {
 public:
  void* pGetData() { return m_pData; }

 protected:
  CSimpleBufferBase() = default;
  ~CSimpleBufferBase() = default;
};

class CSimpleBuffer : public CSimpleBufferBase {
 public:
  CSimpleBuffer() = default;
  explicit CSimpleBuffer(unsigned int nSize);
  CSimpleBuffer(const void* pBytes, unsigned int nLength);
  explicit CSimpleBuffer(const CSimpleBuffer* pOther);
  virtual ~CSimpleBuffer();

  CSimpleBuffer(const CSimpleBuffer&) = delete;
  CSimpleBuffer& operator=(const CSimpleBuffer&) = delete;

  // The same size keeps the content. Any other size frees the old block (its
  // content is lost) and allocates an uninitialised one; 0 leaves null data.
  virtual void SetSize(unsigned int nSize);

  // SetSize(nLength), then copies nLength bytes when the block was obtained.
  // REQUIRES: pBytes holds nLength bytes (or nLength == 0).
  void CopyBuffer(const void* pBytes, unsigned int nLength);
};

#endif  // KQ230_CORE_SIMPLE_BUFFER_H_
