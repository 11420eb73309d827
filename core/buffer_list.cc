#include "core/buffer_list.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

CListeDeBuffer::CListeDeBuffer(int nSize) : m_nTaille(nSize) {}

CListeDeBuffer::CListeDeBuffer(const CListeDeBuffer& other)
    : m_pPremier(other.m_pPremier),
      m_pDernier(other.m_pDernier),
      m_pCourant(other.m_pCourant),
      m_nTaille(other.m_nTaille),
      m_nNb(other.m_nNb),
      m_nIndice(other.m_nIndice),
      m_bProprietaire(false) {}

CListeDeBuffer& CListeDeBuffer::operator=(const CListeDeBuffer& other) {
  if (this == &other) return *this;
  SupprimeTout();
  m_pPremier = other.m_pPremier;
  m_pDernier = other.m_pDernier;
  m_pCourant = other.m_pCourant;
  m_nTaille = other.m_nTaille;
  m_nNb = other.m_nNb;
  m_nIndice = other.m_nIndice;
  m_bProprietaire = false;
  return *this;
}

CListeDeBuffer::~CListeDeBuffer() { SupprimeTout(); }

void CListeDeBuffer::_Attache(CLinkedElement* p, int bBefore) {
  if (m_nNb == 0) {
    p->pSuivant = p->pPrecedent = nullptr;
    m_pPremier = m_pDernier = m_pCourant = p;
    m_nIndice = 0;
    m_nNb = 1;
    return;
  }
  // A list without a current element takes the new one at its end (after
  // the last) or its start (before the first), whichever the caller asked.
  if (m_pCourant == nullptr) {
    m_pCourant = bBefore ? m_pPremier : m_pDernier;
    m_nIndice = bBefore ? 0 : m_nNb - 1;
  }
  if (bBefore) {
    p->pSuivant = m_pCourant;
    p->pPrecedent = m_pCourant->pPrecedent;
    if (m_pCourant->pPrecedent != nullptr)
      m_pCourant->pPrecedent->pSuivant = p;
    else
      m_pPremier = p;
    m_pCourant->pPrecedent = p;
  } else {
    p->pPrecedent = m_pCourant;
    p->pSuivant = m_pCourant->pSuivant;
    if (m_pCourant->pSuivant != nullptr)
      m_pCourant->pSuivant->pPrecedent = p;
    else
      m_pDernier = p;
    m_pCourant->pSuivant = p;
    ++m_nIndice;
  }
  m_pCourant = p;
  ++m_nNb;
}

void CListeDeBuffer::_AttacheAvant(CLinkedElement* p) { _Attache(p, 1); }

int CListeDeBuffer::Ajoute(const void* p, int bBefore) {
  CLinkedElement* pNew =
      static_cast<CLinkedElement*>(malloc(sizeof(CLinkedElement) + size_t(m_nTaille)));
  if (pNew == nullptr) return 0;
  std::memcpy(pNew->pDonnees(), p, size_t(m_nTaille));
  _Attache(pNew, bBefore);
  return 1;
}

CListeDeBuffer::CLinkedElement* CListeDeBuffer::_pDetacheCourant() {
  CLinkedElement* p = m_pCourant;
  if (p->pPrecedent != nullptr)
    p->pPrecedent->pSuivant = p->pSuivant;
  else
    m_pPremier = p->pSuivant;
  if (p->pSuivant != nullptr)
    p->pSuivant->pPrecedent = p->pPrecedent;
  else
    m_pDernier = p->pPrecedent;
  --m_nNb;
  if (m_nNb == 0) {
    m_pCourant = nullptr;
    m_nIndice = -1;
  } else if (p->pPrecedent != nullptr) {
    m_pCourant = p->pPrecedent;
    --m_nIndice;
  } else {
    m_pCourant = m_pPremier;  // the first was removed: its follower takes index 0
  }
  p->pSuivant = p->pPrecedent = nullptr;
  return p;
}

int CListeDeBuffer::SupprimeCourant() {
  if (m_pCourant == nullptr) return m_nNb;
  free(_pDetacheCourant());
  return m_nNb;
}

void CListeDeBuffer::SupprimeTout() {
  if (m_bProprietaire) {
    CLinkedElement* p = m_pPremier;
    while (p != nullptr) {
      CLinkedElement* pNext = p->pSuivant;
      free(p);
      p = pNext;
    }
  }
  m_pPremier = m_pDernier = m_pCourant = nullptr;
  m_nNb = 0;
  m_nIndice = -1;
}

void CListeDeBuffer::VaSuivant() {
  if (m_pCourant == nullptr) return;
  m_pCourant = m_pCourant->pSuivant;
  m_nIndice = m_pCourant == nullptr ? -1 : m_nIndice + 1;
}

void CListeDeBuffer::VaPrecedent() {
  if (m_pCourant == nullptr) return;
  m_pCourant = m_pCourant->pPrecedent;
  m_nIndice = m_pCourant == nullptr ? -1 : m_nIndice - 1;
}

void* CListeDeBuffer::pVaSuivant() {
  if (m_pCourant == nullptr || m_pCourant->pSuivant == nullptr) return nullptr;
  m_pCourant = m_pCourant->pSuivant;
  ++m_nIndice;
  return m_pCourant->pDonnees();
}

void* CListeDeBuffer::pVaPrecedent() {
  if (m_pCourant == nullptr || m_pCourant->pPrecedent == nullptr) return nullptr;
  m_pCourant = m_pCourant->pPrecedent;
  --m_nIndice;
  return m_pCourant->pDonnees();
}

void* CListeDeBuffer::pVaSurNumero(int n) {
  if (n < 0 || n >= m_nNb) return nullptr;
  const int nFromEnd = m_nNb - 1 - n;
  // Without a current element the walk starts from an end.
  const int nFromCurrent =
      m_pCourant == nullptr ? m_nNb : (n > m_nIndice ? n - m_nIndice : m_nIndice - n);
  CLinkedElement* p;
  if (n <= nFromCurrent && n <= nFromEnd) {
    p = m_pPremier;
    for (int i = 0; i < n; ++i) p = p->pSuivant;
  } else if (nFromEnd <= nFromCurrent) {
    p = m_pDernier;
    for (int i = 0; i < nFromEnd; ++i) p = p->pPrecedent;
  } else {
    p = m_pCourant;
    if (n > m_nIndice)
      for (int i = m_nIndice; i < n; ++i) p = p->pSuivant;
    else
      for (int i = m_nIndice; i > n; --i) p = p->pPrecedent;
  }
  m_pCourant = p;
  m_nIndice = n;
  return p->pDonnees();
}

// When the run reaches the end of the list, no element follows it to carry
// the cursors: list's cursor, if it lay in the run, goes to its new last
// element (none when the list became empty), as after a removal; from and to
// are left without a current element, as to was.
void CListeDeBuffer::ExtraitListe(CListeDeBuffer& list, CListeDeBuffer& from, CListeDeBuffer& to) {
  CLinkedElement* pStart = from.m_pCourant;
  CLinkedElement* pEnd = to.m_pCourant;  // first element kept after the run
  if (pStart == nullptr || pStart == pEnd) return;
  const int nStart = from.m_nIndice;
  const int nEndIndex = pEnd == nullptr ? list.m_nNb : to.m_nIndice;
  const int nRun = nEndIndex - nStart;
  if (nRun <= 0) return;
  CLinkedElement* pRunLast = pEnd == nullptr ? list.m_pDernier : pEnd->pPrecedent;
  CLinkedElement* pBefore = pStart->pPrecedent;

  if (pBefore != nullptr)
    pBefore->pSuivant = pEnd;
  else
    list.m_pPremier = pEnd;
  if (pEnd != nullptr)
    pEnd->pPrecedent = pBefore;
  else
    list.m_pDernier = pBefore;
  list.m_nNb -= nRun;

  if (list.m_pCourant != nullptr && list.m_nIndice >= nStart) {
    if (list.m_nIndice >= nEndIndex) {
      list.m_nIndice -= nRun;
    } else if (pEnd != nullptr) {
      list.m_pCourant = pEnd;
      list.m_nIndice = nStart;
    } else {
      list.m_pCourant = list.m_pDernier;
      list.m_nIndice = list.m_pDernier == nullptr ? -1 : list.m_nNb - 1;
    }
  }

  SupprimeTout();
  pStart->pPrecedent = nullptr;
  pRunLast->pSuivant = nullptr;
  m_pPremier = m_pCourant = pStart;
  m_pDernier = pRunLast;
  m_nNb = nRun;
  m_nIndice = 0;
  m_bProprietaire = true;

  for (CListeDeBuffer* pCursor : {&from, &to}) {
    pCursor->m_pPremier = list.m_pPremier;
    pCursor->m_pDernier = list.m_pDernier;
    pCursor->m_nNb = list.m_nNb;
    pCursor->m_pCourant = pEnd;
    pCursor->m_nIndice = pEnd == nullptr ? -1 : nStart;
  }
}
