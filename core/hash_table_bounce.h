// CHashTableBounce: the driver's hash table of (key, value) pairs, both
// pointer-sized, kept in one array of four-word elements whose buckets hold
// 1-based element indices. It grows and shrinks through a fixed ladder of 29
// prime bucket counts; the element capacity is always half the prime, so the
// load factor stays under one half. A table is two heap blocks whatever its
// size, and no allocation is made per entry.
//
// The typed tables built on it:
//   CRefHashTable<K, V>      integer or pointer keys compared and hashed by
//                            value; V is a pointer to a reference-counted
//                            object, one reference held per stored value.
//   CNARefHashTable<K, V>    the access layer's CRefHashTable (same behaviour).
//   CRefStringHashTable<V>   wide-string keys compared and hashed without
//                            regard to case and accents; the table owns heap
//                            copies of its keys.
//
// Ownership: CHashTableBounce stores keys and values as given and frees only
// its two arrays; the typed tables add the reference counting and key copies.
// Keys and values handed back by bDeleteElement and by a removing bParseTable
// become the caller's (a value's reference, a string table's key copy).
// Threads: none of its own; the owners serialise access (the driver mutex).
// Invariant, once the arrays exist: bucket count == g__ToutPretToutChaud[level],
// capacity == bucket count / 2, count + free elements == capacity; every
// non-zero bucket and link names an element in use.
//
// Failures: a refused allocation never loses an entry. bAddElement answers 0
// and adds nothing; a removal whose shrink is refused keeps the old arrays and
// still reports the removal (1), so the caller releases what it got back. The
// table never grows past its last level (2147483645 elements).
#ifndef KQ230_CORE_HASH_TABLE_BOUNCE_H_
#define KQ230_CORE_HASH_TABLE_BOUNCE_H_

#include <cstdint>

#include "core/xmalloc.h"

class CHashTableBounce {
 public:
  typedef int (*PFNCMP)(const void* pKey1, const void* pKey2);
  typedef unsigned int (*PFNHASH)(const void* pKey);

  // One entry: key, value and the 1-based links of its bucket chain. A free
  // element has previous -1 and its next link chains the free list.
  struct _stELEMENT {
    void* pKey;
    void* pValue;
    int nPrev;
    int nNext;
  };

  static constexpr int kNumLevels = 29;
  // Bucket counts of the size levels 0 to 28.
  static const unsigned int g__ToutPretToutChaud[kNumLevels];

  // n == 0: no arrays until the first insertion (which goes to level 1).
  // Otherwise the arrays of the first level that holds n elements; when that
  // allocation is refused the table starts without arrays, as with 0.
  explicit CHashTableBounce(unsigned int n);
  virtual ~CHashTableBounce();

  CHashTableBounce(const CHashTableBounce&) = delete;
  CHashTableBounce& operator=(const CHashTableBounce&) = delete;

  virtual void SetCmp(PFNCMP pfnCmp);
  virtual void SetHashVal(PFNHASH pfnHash);
  virtual unsigned int dwGetNumElement() const;
  // Adds the pair at the head of its chain, without looking for an equal key:
  // a later lookup finds the newest of equal keys. 1, or 0 when the growth it
  // needed was refused (nothing added).
  // REQUIRES: the compare and hash functions are set.
  virtual int bAddElement(void* pKey, void* pValue);
  // Removes the first (newest) element whose key compares equal and hands its
  // value and key back through the pointers that are not null. 1 when an
  // element was removed, 0 when absent. Outside iterations the removal may
  // shrink the table; a refused shrink keeps the old arrays.
  virtual int bDeleteElement(const void* pKey, void** ppValue, void** ppKey);
  // 1 with the value and stored key of the first equal key, 0 when absent.
  virtual int bGetElement(const void* pKey, void** ppValue, void** ppKey) const;
  // Iteration in element order. *pPos is 0 to start (which opens an
  // iteration); 1 and *pPos set to the element's 1-based index for each
  // element; 0 at the end (which closes the iteration). With bDelete the
  // element is taken out (never shrinking the table meanwhile).
  // REQUIRES: *pPos is 0 or a value the previous call left.
  virtual int bParseTable(unsigned int* pPos, int bDelete, void** ppValue, void** ppKey);
  // Closes an iteration left before bParseTable answered 0.
  virtual void StopParsing();
  // Address of the stored value word of the first equal key (the caller may
  // change the value in place), or null.
  virtual void** pGetElement(const void* pKey);
  virtual int __bGrow();
  virtual int __bReduce();
  virtual void __RehashElement();
  virtual void __Compact(unsigned int nCapacity);
  virtual PFNCMP pfGetCmp() const;
  virtual PFNHASH pfGetHashVal() const;
  // Empties a table that holds elements and re-initialises it at the level
  // that holds n elements (0 meaning 7); an empty table is left as it is.
  virtual void DeleteAll(unsigned int n);
  // Replace the value (key) of the element at the 1-based position that
  // bParseTable left; the old one through pOld when not null. 1, or 0 for a
  // position out of range or a free element. The element keeps its chain.
  virtual int bParseSetElement(unsigned int nPos, void* pValue, void** ppOld);
  virtual int bParseSetKey(unsigned int nPos, void* pKey, void** ppOld);

  // Wide-string keys: equal without regard to case and accents (STR_nCompareW
  // with flags 3), and the djb2 hash of the key mapped with flags 3.
  // REQUIRES: the locale service is bound; keys are zero-terminated.
  static int nStringLogiqueCompare(const void* pKey1, const void* pKey2);
  static unsigned int dwStringLogiqueHashVal(const void* pKey);

  // Read-only views of the state, for owners' diagnostics and the tests.
  int nGetLevel() const { return m_nLevel; }
  unsigned int nGetCapacity() const { return m_nCapacity; }
  unsigned int nGetBucketCount() const { return m_nBuckets; }
  int nGetOpenParsing() const { return m_nParsing; }

 protected:
  // Arrays of the first level from the current one that holds n elements;
  // with bFree the old arrays are freed first (count and level back to 0).
  // 1, or 0 when n is past the last level or an allocation was refused (the
  // table then has no arrays).
  int __Init(unsigned int n, int bFree);
  static constexpr unsigned int kNoBucket = 0xFFFFFFFFu;
  // 0-based index of the first element whose key compares equal, or -1; its
  // bucket through pnBucket when not null.
  int __nFind(const void* pKey, unsigned int* pnBucket = nullptr) const;
  // Unlinks an element in use and frees it; nBucket is its bucket when the
  // caller knows it (saves hashing the key again), else kNoBucket.
  void __DeleteFromHash(unsigned int nIndex, unsigned int nBucket = kNoBucket);
  void __FreeArrays();

  _stELEMENT* m_pElements = nullptr;
  unsigned int m_nCapacity = 0;
  unsigned int m_nFreeHead = 0;
  unsigned int* m_pBuckets = nullptr;
  unsigned int m_nBuckets = 0;
  unsigned int m_nCount = 0;
  int m_nParsing = 0;
  PFNCMP m_pfnCmp = nullptr;
  PFNHASH m_pfnHash = nullptr;
  int m_nLevel = 0;
};

// Integer and pointer keys: equal exactly when the same value, hashed to
// themselves.
int _nHTBDefaultCompare(const void* pKey1, const void* pKey2);
unsigned int _dwHTBDefaultHashVal(const void* pKey);

// CRefHashTable<K, V>: keys K (an integer or a pointer, stored in the key
// word), values V (a pointer to a reference-counted object). Code that stores
// a value adds one reference with _AddRef; bDeleteElement leaves the release to
// the caller; the destructor releases every value still stored.
// _AddRef and _Release call the free functions KQAddRef(V) and KQRelease(V),
// found by argument-dependent lookup, as CRefArray does (core/kq_unknown.h
// gives those of CKQUnknown); an element type that counts otherwise (external
// references) gives its own.
template <class K, class V>
class CRefHashTable : public CHashTableBounce {
 public:
  explicit CRefHashTable(unsigned int n = 7) : CHashTableBounce(n) {
    SetCmp(_nHTBDefaultCompare);
    SetHashVal(_dwHTBDefaultHashVal);
  }
  ~CRefHashTable() override { __ReleaseAll(); }

  static void _AddRef(V p) {
    if (p != nullptr) KQAddRef(p);
  }
  static void _Release(V p) {
    if (p != nullptr) KQRelease(p);
  }

  unsigned int dwGetNumElement() const override { return m_nCount; }
  void StopParsing() override { CHashTableBounce::StopParsing(); }

  // The key word of a K.
  static void* pKeyOf(K key) { return (void*)(uintptr_t)key; }

 protected:
  // Walks every entry without removal, releases every value, then empties the
  // table. The arrays go with the base destructor.
  void __ReleaseAll() {
    unsigned int nPos = 0;
    void* pValue = nullptr;
    while (CHashTableBounce::bParseTable(&nPos, 0, &pValue, nullptr))
      _Release(static_cast<V>(pValue));
    CHashTableBounce::DeleteAll(7);
  }
};

template <class K, class V>
class CNARefHashTable : public CRefHashTable<K, V> {
 public:
  explicit CNARefHashTable(unsigned int n = 7) : CRefHashTable<K, V>(n) {}
};

// CRefStringHashTable<V>: wide-string keys equal without regard to case and
// accents. The table owns a heap copy (XMALLOC_pNew_) of every stored key:
// bAddStringElement makes it; bDeleteElement and a removing bParseTable hand
// it to the caller, who frees it with XMALLOC_Del_; the destructor takes every
// entry out, releasing its value and freeing its key.
// REQUIRES: the locale service is bound whenever keys are compared or hashed.
template <class V>
class CRefStringHashTable : public CRefHashTable<wchar_t*, V> {
 public:
  explicit CRefStringHashTable(unsigned int n = 7) : CRefHashTable<wchar_t*, V>(n) {
    this->SetCmp(CHashTableBounce::nStringLogiqueCompare);
    this->SetHashVal(CHashTableBounce::dwStringLogiqueHashVal);
  }
  ~CRefStringHashTable() override {
    unsigned int nPos = 0;
    void* pValue = nullptr;
    void* pKey = nullptr;
    while (CHashTableBounce::bParseTable(&nPos, 1, &pValue, &pKey)) {
      this->_Release(static_cast<V>(pValue));
      XMALLOC_Del_(pKey);
    }
  }

  // Stores a copy of pszKey with pValue, adding one reference to the value.
  // 1, or 0 when the copy or the growth was refused (nothing stored, no
  // reference taken).
  int bAddStringElement(const wchar_t* pszKey, V pValue) {
    wchar_t* pCopy = __pszCopyKey(pszKey);
    if (pCopy == nullptr) return 0;
    if (!this->bAddElement(pCopy, pValue)) {
      XMALLOC_Del_(pCopy);
      return 0;
    }
    this->_AddRef(pValue);
    return 1;
  }

 private:
  static wchar_t* __pszCopyKey(const wchar_t* pszKey);
};

template <class V>
wchar_t* CRefStringHashTable<V>::__pszCopyKey(const wchar_t* pszKey) {
  if (pszKey == nullptr) pszKey = L"";
  unsigned int n = 0;
  while (pszKey[n] != 0) ++n;
  const uint64_t nBytes = (uint64_t(n) + 1) * sizeof(wchar_t);
  if (nBytes > 0xFFFFFFFFu) return nullptr;
  wchar_t* p = static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<unsigned int>(nBytes)));
  if (p == nullptr) return nullptr;
  for (unsigned int i = 0; i <= n; ++i) p[i] = pszKey[i];
  return p;
}

#endif  // KQ230_CORE_HASH_TABLE_BOUNCE_H_
