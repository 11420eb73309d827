// CTableauDeBuffer: the framework's one growable array, an untyped contiguous
// vector of fixed-size elements copied in and out byte for byte; and its typed
// forms CTTableau (elements of type T), CTTableauPtr (pointers to T), CRefArray
// (pointers to counted objects, one reference held per element) and
// CNARefArray (a CRefArray that is itself a counted object).
//
// Ownership: the array owns its storage (XMALLOC_ blocks) and frees it in its
// destructor. It never owns what its elements point to, except CRefArray and
// CNARefArray, which hold one reference per element: every typed insertion
// takes one (KQAddRef), every typed removal and the destructor drop one
// (KQRelease), from the last element to the first.
// Threads: none of its own; one thread at a time (callers hold the driver lock).
// Invariant: 0 <= count <= capacity; storage is null when capacity is 0,
// except after Initialise(p, 0), which holds an empty block. Elements occupy 0..count-1; the slots
// beyond count are spare.
//
// Failures: an allocation that fails leaves the array as it was (storage,
// contents and references) and the operation answers 0; operations that can
// allocate answer 1 on success. No index is checked: indices out of the
// stated ranges are the caller's fault.
#ifndef KQ230_CORE_GROWABLE_ARRAY_H_
#define KQ230_CORE_GROWABLE_ARRAY_H_

#include <type_traits>

#include "core/kq_unknown.h"

// A run of elements for PermuteMultiple: first index, number of elements.
struct _STBlocATrier {
  int nPremier;
  int nNombre;
};

class CTableauDeBuffer {
 public:
  // An empty array without storage. A growth step below 1 is taken as 1 (a
  // step of 0 would never make room).
  CTableauDeBuffer(int nElementSize, int nGrowthStep, int nSlack);
  virtual ~CTableauDeBuffer();

  CTableauDeBuffer(const CTableauDeBuffer&) = delete;
  CTableauDeBuffer& operator=(const CTableauDeBuffer&) = delete;

  // The one place where the storage grows: by the growth step (20 instead of
  // a step of 1 once the capacity is above 100, for elements of at most 256
  // bytes). Answers 1, or 0 when the block could not be had or its size would
  // not fit 32 bits; the old block and its contents are then kept.
  virtual int Agrandir();

  // Gives the array a new block of exactly n copies of *p (n == 0: an empty
  // block). Answers 0 and leaves the array unchanged when allocation fails.
  // REQUIRES: the array holds no storage; n >= 0.
  virtual int Initialise(const void* p, int n);

  // Shrinks the storage to exactly count elements (frees it when empty). A
  // refused reallocation keeps the larger block; nothing is lost.
  virtual void Compacter();

  // Appends a copy of the element at p; grows first when full.
  int Ajoute(const void* p);
  // Inserts a copy at index i, shifting i..count-1 up. REQUIRES: 0 <= i <= count.
  int Insere(const void* p, int i);
  // Overwrites element i. REQUIRES: 0 <= i < count.
  void SetAt(const void* p, int i);
  // Sets element i to *p; beyond count, fills the gap with copies of *pFill.
  // REQUIRES: i >= 0.
  int Etend(int i, const void* p, const void* pFill);
  // Removes n elements from index i, closing the gap; the storage stays.
  // REQUIRES: 0 <= i, n >= 0, i + n <= count.
  void Supprime(int i, int n);
  // Drops the last n elements; nothing moves. REQUIRES: 0 <= n <= count.
  void SupprimeDernier(int n);
  // Removes element i, then compacts when more than the slack is spare.
  void SupprimeCompacte(int i);
  // Frees the storage; count and capacity 0.
  void SupprimeToutEtLibere();
  // Makes the capacity at least n.
  int AlloueMemoire(int n);
  // Makes room for n more elements, by whole growth steps.
  int AgranditMemoire(int n);
  // Moves one element from index nFrom to nTo, shifting those between.
  void Deplace(int nFrom, int nTo);
  void Swap(int i, int j);
  // Rebuilds the order: 0..nFirst-1, then each run of pBlocs in order, then
  // the rest in place. Answers 0 (order unchanged) when the new block cannot
  // be had. REQUIRES: the runs are a permutation of the indices they cover.
  int PermuteMultiple(int nFirst, const _STBlocATrier* pBlocs, unsigned int nBlocs);
  // Becomes a byte copy of src's elements. Answers 0 and keeps this array's
  // own elements when the room cannot be had.
  int _Duplique(const CTableauDeBuffer& src);
  // Takes over src's storage, count and capacity; src is left without storage.
  void Recupere(CTableauDeBuffer& src) { _RecupereDonnees(&src); }
  void _RecupereDonnees(CTableauDeBuffer* src);

  // For arrays of pointer-sized elements: the first element for which
  // pfn(nCtx, element) answers 0 (null when none), or its index (-1).
  void* pRechercheLineaireCriterePointeur(int nCtx, int (*pfn)(int, const void*)) const;
  int nRechercheLineaireCriterePointeur(int nCtx, int (*pfn)(int, const void*)) const;

  int nGetNbElement() const { return m_nNbElement; }
  int nGetCapacite() const { return m_nCapacite; }
  int nGetTailleElement() const { return m_nTailleElement; }
  int nGetPas() const { return m_nPas; }
  int nGetMarge() const { return m_nMarge; }
  void* pGetBuffer() { return m_pBuffer; }
  const void* pGetBuffer() const { return m_pBuffer; }
  void* pGetElement(int i) { return m_pBuffer + i * m_nTailleElement; }
  const void* pGetElement(int i) const { return m_pBuffer + i * m_nTailleElement; }

  friend void EchangeTableau(CTableauDeBuffer* a, CTableauDeBuffer* b);

 protected:
  // Grows by exactly nStep elements (the rule of step 1 still applies), the
  // growth step restored afterwards.
  int _bAgranditDe(int nStep);

  int m_nTailleElement;
  int m_nNbElement = 0;
  int m_nCapacite = 0;
  int m_nPas;
  int m_nMarge;
  unsigned char* m_pBuffer = nullptr;
};

// Exchanges the complete states of two arrays.
void EchangeTableau(CTableauDeBuffer* a, CTableauDeBuffer* b);

// CTTableau: typed array of T, copied by value.
template <class T>
class CTTableau : public CTableauDeBuffer {
  static_assert(std::is_trivially_copyable_v<T>, "elements are copied byte for byte");

 public:
  explicit CTTableau(int nGrowthStep = 1, int nSlack = 30)
      : CTableauDeBuffer(sizeof(T), nGrowthStep, nSlack) {}

  virtual int Initialise(const T& value, int n) { return CTableauDeBuffer::Initialise(&value, n); }
  using CTableauDeBuffer::Initialise;

  int Ajoute(const T& value) { return CTableauDeBuffer::Ajoute(&value); }
  int Insere(const T& value, int i) { return CTableauDeBuffer::Insere(&value, i); }
  void SetAt(const T& value, int i) { CTableauDeBuffer::SetAt(&value, i); }
  int Etend(int i, const T& value, const T& fill) {
    return CTableauDeBuffer::Etend(i, &value, &fill);
  }

  T& operator[](int i) { return pGetData()[i]; }
  const T& operator[](int i) const { return pGetData()[i]; }
  T* pGetData() { return static_cast<T*>(pGetBuffer()); }
  const T* pGetData() const { return static_cast<const T*>(pGetBuffer()); }
};

// CTTableauPtr: array of pointers to T. It frees its storage only, never the
// objects.
template <class T>
class CTTableauPtr : public CTTableau<T*> {
 public:
  explicit CTTableauPtr(int nGrowthStep = 1, int nSlack = 30)
      : CTTableau<T*>(nGrowthStep, nSlack) {}
};

// CRefArray: array of counted references. The element type's reference
// operations are the free functions KQAddRef(T*) and KQRelease(T*), found by
// argument-dependent lookup (core/kq_unknown.h gives those of CKQUnknown).
// Operations that would copy an element without its reference (the untyped
// ones, Etend) are not offered.
template <class T>
class CRefArray : public CTTableauPtr<T> {
  using Base = CTableauDeBuffer;

 public:
  explicit CRefArray(int nGrowthStep = 1, int nSlack = 30) : CTTableauPtr<T>(nGrowthStep, nSlack) {}
  ~CRefArray() override { SupprimeTout(); }

  static void _AddRef(T* p) {
    if (p != nullptr) KQAddRef(p);
  }
  static void _Release(T* p) {
    if (p != nullptr) KQRelease(p);
  }

  void Compacter() override { Base::Compacter(); }

  // Each stored copy takes a reference; a refused allocation takes none.
  int Initialise(T* const& p, int n) override {
    if (!Base::Initialise(&p, n)) return 0;
    for (int i = 0; i < n; ++i) _AddRef(p);
    return 1;
  }
  int Ajoute(T* p) {
    if (!Base::Ajoute(&p)) return 0;
    _AddRef(p);
    return 1;
  }
  int Insere(T* p, int i) {
    if (!Base::Insere(&p, i)) return 0;
    _AddRef(p);
    return 1;
  }
  // The new element gains a reference before the old one loses its own, so
  // that storing the element already there keeps it alive.
  void SetAt(T* p, int i) {
    T* pOld = (*this)[i];
    _AddRef(p);
    Base::SetAt(&p, i);
    _Release(pOld);
  }
  // Removes n elements from index i, releasing each, the last first.
  void Supprime(int i, int n) {
    for (int k = i + n - 1; k >= i; --k) {
      T* p = (*this)[k];
      Base::Supprime(k, 1);
      _Release(p);
    }
  }
  void SupprimeDernier(int n) { Supprime(this->nGetNbElement() - n, n); }
  void SupprimeCompacte(int i) {
    T* p = (*this)[i];
    Base::SupprimeCompacte(i);
    _Release(p);
  }
  // Releases and removes every element from the last to the first; the
  // storage stays. An element's release may not touch this array.
  void SupprimeTout() {
    while (this->nGetNbElement() > 0) {
      const int nLast = this->nGetNbElement() - 1;
      T* p = (*this)[nLast];
      Base::SupprimeDernier(1);
      _Release(p);
    }
  }
  // Becomes a copy of src, each element taking a reference; this array's
  // own elements are released first. Answers 0 (and keeps them) on failure.
  int _Duplique(const CRefArray& src) {
    if (&src == this) return 1;
    if (!this->AlloueMemoire(src.nGetNbElement())) return 0;
    SupprimeTout();
    for (int i = 0; i < src.nGetNbElement(); ++i) Ajoute(src[i]);
    return 1;
  }

 private:
  using Base::Etend;
};

// CNARefArray: a CRefArray that is itself counted through CKQUnknown (its
// second base) and dies at its last dwRelease.
template <class T>
class CNARefArray : public CRefArray<T>, public CKQUnknown {
 public:
  explicit CNARefArray(int nGrowthStep = 1, int nSlack = 30) : CRefArray<T>(nGrowthStep, nSlack) {}
  ~CNARefArray() override = default;
};

#endif  // KQ230_CORE_GROWABLE_ARRAY_H_
