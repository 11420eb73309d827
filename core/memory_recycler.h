// CRecycleurMemoire: a cache of freed blocks of one size, kept for reuse.
//
// Every recycler links itself into the process-wide list ms_pclListeRecycleur
// when constructed and leaves it when destroyed; the end of the module's
// service binding empties them all (s_VideTous), so that no cached block
// outlives the server's binding.
// Ownership: the cached blocks belong to the recycler; they came from
// XMALLOC_pNew_ and go back through XMALLOC_Del_.
// Threads: none of its own; callers serialise (the driver lock).
#ifndef KQ230_CORE_MEMORY_RECYCLER_H_
#define KQ230_CORE_MEMORY_RECYCLER_H_

class CRecycleurMemoire {
 public:
  // REQUIRES: nBlockSize >= sizeof(void*): the chain is linked through the
  // first word of each cached block.
  explicit CRecycleurMemoire(unsigned int nBlockSize);
  ~CRecycleurMemoire();

  CRecycleurMemoire(const CRecycleurMemoire&) = delete;
  CRecycleurMemoire& operator=(const CRecycleurMemoire&) = delete;

  // A cached block, or a new one; null when memory is exhausted.
  void* pNew();
  // Keeps the block for reuse. REQUIRES: it came from pNew of this recycler.
  void Recycle(void* pBlock);
  // Frees every cached block.
  void Vide();
  int nGetCachedCount() const { return m_nCount; }

  // Empties every recycler of the process.
  static void s_VideTous();

  static CRecycleurMemoire* ms_pclListeRecycleur;

 private:
  unsigned int m_nBlockSize;
  void* m_pFirst = nullptr;
  int m_nCount = 0;
  CRecycleurMemoire* m_pclNext = nullptr;
};

#endif  // KQ230_CORE_MEMORY_RECYCLER_H_
