// CListeDeBuffer: doubly linked list of fixed-size buffers that are copied
// in, with a built-in cursor (the current element and its index). The
// chained hash table keeps one per bucket.
//
// Ownership: a list owns its elements (one system-heap block each) and frees
// them when they are removed and in its destructor. A copy of a list is a
// second cursor over the same elements: it owns none of them, may move and
// read, and must not outlive the list or add and remove elements itself
// (except as the from/to cursors of ExtraitListe).
// Threads: none; one thread at a time.
// Invariant: count == 0 exactly when first and last are null; the index is -1
// exactly when there is no current element, else the current element's
// position.
#ifndef KQ230_CORE_BUFFER_LIST_H_
#define KQ230_CORE_BUFFER_LIST_H_

class CListeDeBuffer {
 public:
  // One element: its neighbours, then nSize bytes.
  struct CLinkedElement {
    CLinkedElement* pSuivant;
    CLinkedElement* pPrecedent;
    unsigned char* pDonnees() { return reinterpret_cast<unsigned char*>(this + 1); }
  };

  explicit CListeDeBuffer(int nSize);
  // A cursor over other's elements (see the ownership note above).
  CListeDeBuffer(const CListeDeBuffer& other);
  CListeDeBuffer& operator=(const CListeDeBuffer& other);
  ~CListeDeBuffer();

  // Copies nSize bytes at p into a new element, before the current one
  // (bBefore != 0) or after it; the new element becomes current. A list whose
  // cursor fell off an end takes it before the first or after the last.
  // Answers 1, or 0 with the list unchanged when the element cannot be
  // allocated.
  int Ajoute(const void* p, int bBefore);
  // Removes the current element and answers the new count; the one before
  // becomes current (the new first when the first was removed). Without a
  // current element nothing is removed.
  int SupprimeCourant();
  // Frees every element; the list is empty, index -1.
  void SupprimeTout();

  void* pCourant() const { return m_pCourant == nullptr ? nullptr : m_pCourant->pDonnees(); }
  static void* pGetElem(CLinkedElement* p) { return p == nullptr ? nullptr : p->pDonnees(); }
  // Move from the current element to its neighbour, which may be none.
  void VaSuivant();
  void VaPrecedent();
  // Move only when the neighbour exists; answer its bytes, else null.
  void* pVaSuivant();
  void* pVaPrecedent();
  // Moves the cursor to index n by the shortest way and answers its bytes
  // (null for an empty list or an index out of 0..count-1, cursor unchanged).
  void* pVaSurNumero(int n);
  // Called on an empty list: moves into it list's run from from's current
  // element up to, not including, to's current element (or the end). See
  // buffer_list.cc for the cursors afterwards.
  // REQUIRES: this list is empty and owns its elements; from and to are
  // cursors over list with from before to.
  void ExtraitListe(CListeDeBuffer& list, CListeDeBuffer& from, CListeDeBuffer& to);

  int nGetNbElement() const { return m_nNb; }
  int nGetIndiceCourant() const { return m_nIndice; }
  int nGetTaille() const { return m_nTaille; }
  CLinkedElement* pGetPremier() const { return m_pPremier; }
  CLinkedElement* pGetDernier() const { return m_pDernier; }
  CLinkedElement* pGetCourantElement() const { return m_pCourant; }

  // Links an element that some list gave up, as Ajoute(…, 1) would place a
  // copy; and unlinks the current element as SupprimeCourant would, without
  // freeing it. They let the hash table move entries without allocating.
  // REQUIRES: p was allocated for a list of the same element size.
  void _AttacheAvant(CLinkedElement* p);
  // REQUIRES: there is a current element.
  CLinkedElement* _pDetacheCourant();

 private:
  void _Attache(CLinkedElement* p, int bBefore);

  CLinkedElement* m_pPremier = nullptr;
  CLinkedElement* m_pDernier = nullptr;
  CLinkedElement* m_pCourant = nullptr;
  int m_nTaille;
  int m_nNb = 0;
  int m_nIndice = -1;
  bool m_bProprietaire = true;
};

#endif  // KQ230_CORE_BUFFER_LIST_H_
