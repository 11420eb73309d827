// CInterf: the reference-counted base of the native-access objects that
// several owners share (connections, commands, columns, statements, type
// entries ...). An object lives while somebody counts a reference to it; the
// release that brings the count from 1 to 0 destroys it through its deleting
// destructor. Objects handed to the server are not CInterf objects: they keep
// their own external counts.
//
// Layout (read by nothing outside the driver, kept for the derived classes'
// slot numbering): the table of virtual operations, the count, the hold flag.
// Virtual slots: the two destructors, then _NotToBeCalled, so that every
// derived class's own operations begin at the fourth slot.
//
// Ownership: an object is born with count 0 and hold flag 0; its creator takes
// the first reference. A non-zero hold flag keeps an object alive through the
// release that reaches 0 (nothing in the driver sets it; tests and owners that
// destroy an object themselves may).
// Threads: counts are plain integers, not atomic. Every user runs under the
// driver lock or inside one data access, so no two threads touch one count at
// a time.
#ifndef KQ230_DRIVER_REFERENCE_COUNTED_H_
#define KQ230_DRIVER_REFERENCE_COUNTED_H_

class CInterf {
 public:
  CInterf() = default;
  // A copy is a new object: it starts without holders and without hold.
  CInterf(const CInterf&) : m_nRefCount(0), m_nHold(0) {}
  CInterf& operator=(const CInterf&) { return *this; }
  virtual ~CInterf();

  // Never called; it keeps the third slot so that derived operations start at
  // the fourth. Answers 0.
  virtual int _NotToBeCalled() const;

  // One more reference.
  void AddRef() { ++m_nRefCount; }
  // One reference less. Count already 0: answers 0 and changes nothing.
  // Otherwise the new count; at 0 with the hold flag clear the object is
  // destroyed (the answer is then 0 and the object must not be touched).
  int nRelease();

  int nGetRefCount() const { return m_nRefCount; }
  int bIsHeld() const { return m_nHold != 0; }
  // While set, reaching count 0 does not destroy the object; clearing it does
  // not destroy an object already at 0 either (its owner deletes it).
  void SetHold(int bHold) { m_nHold = bHold ? 1 : 0; }

 private:
  int m_nRefCount = 0;
  int m_nHold = 0;
};

// The reference operations of the reference arrays and holders (found by
// argument-dependent lookup, like CKQUnknown's pair). Null is skipped.
inline void KQAddRef(CInterf* p) {
  if (p != nullptr) p->AddRef();
}
inline void KQRelease(CInterf* p) {
  if (p != nullptr) p->nRelease();
}

// CInterfRef<T>: a holder of one counted reference, for fields and locals that
// must keep an object alive. Copying takes another reference; Reset and the
// destructor release it.
// REQUIRES: T derives from CInterf.
template <class T>
class CInterfRef {
 public:
  CInterfRef() = default;
  // Takes one reference on p (null: none).
  explicit CInterfRef(T* p) : m_p(p) { KQAddRef(m_p); }
  CInterfRef(const CInterfRef& other) : m_p(other.m_p) { KQAddRef(m_p); }
  CInterfRef(CInterfRef&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
  ~CInterfRef() { KQRelease(m_p); }
  CInterfRef& operator=(const CInterfRef& other) {
    Reset(other.m_p);
    return *this;
  }
  CInterfRef& operator=(CInterfRef&& other) noexcept {
    if (this != &other) {
      T* pOld = m_p;
      m_p = other.m_p;
      other.m_p = nullptr;
      KQRelease(pOld);
    }
    return *this;
  }

  // Holds p instead (one reference taken on it first, then the old one
  // released, so that p == current is safe).
  void Reset(T* p = nullptr) {
    KQAddRef(p);
    T* pOld = m_p;
    m_p = p;
    KQRelease(pOld);
  }
  T* pGet() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }

 private:
  T* m_p = nullptr;
};

#endif  // KQ230_DRIVER_REFERENCE_COUNTED_H_
