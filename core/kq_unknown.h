// CKQUnknown: the reference-counted root of the framework's objects (the error
// object, the streams and CNARefArray derive from it).
//
// Ownership: an object is born with count 0; its first holder's increment
// brings it to 1. A holder takes a reference by an atomic increment
// (dwAddRef) and gives it back with dwRelease, which destroys the object
// through its deleting destructor when the count reaches 0. There is no
// virtual add-reference.
// Threads: the count changes only by atomic operations; everything else about
// a derived object is the caller's to serialise (the driver mutex).
#ifndef KQ230_CORE_KQ_UNKNOWN_H_
#define KQ230_CORE_KQ_UNKNOWN_H_

class CKQUnknown {
 public:
  CKQUnknown() = default;
  // A copy is a new object: it starts without holders.
  CKQUnknown(const CKQUnknown&) : m_nRefCount(0) {}
  CKQUnknown& operator=(const CKQUnknown&) { return *this; }
  virtual ~CKQUnknown();

  // Drops one reference and answers the new count; at 0 the object is gone.
  virtual unsigned int dwRelease();

  // Takes one reference; answers the new count.
  unsigned int dwAddRef();
  int nGetRefCount() const;

 private:
  int m_nRefCount = 0;
};

// The reference operations that the reference arrays call on their elements
// (found by argument-dependent lookup; another counted family, such as the
// native-access objects, declares its own pair).
inline void KQAddRef(CKQUnknown* p) { p->dwAddRef(); }
inline void KQRelease(CKQUnknown* p) { p->dwRelease(); }

#endif  // KQ230_CORE_KQ_UNKNOWN_H_
