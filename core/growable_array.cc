#include "core/growable_array.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include "core/xmalloc.h"

namespace {

// An array that was given step 1 switches to steps of 20 past 100 elements,
// so that a long one-by-one fill does not reallocate on every element.
constexpr int kStepOneLimit = 100;
constexpr int kStepOneReplacement = 20;
constexpr int kStepOneMaxElementSize = 256;

}  // namespace

CTableauDeBuffer::CTableauDeBuffer(int nElementSize, int nGrowthStep, int nSlack)
    : m_nTailleElement(nElementSize), m_nPas(nGrowthStep < 1 ? 1 : nGrowthStep), m_nMarge(nSlack) {}

CTableauDeBuffer::~CTableauDeBuffer() { XMALLOC_Del_(m_pBuffer); }

int CTableauDeBuffer::Agrandir() {
  int nStep = m_nPas;
  if (nStep == 1 && m_nCapacite > kStepOneLimit && m_nTailleElement <= kStepOneMaxElementSize)
    nStep = kStepOneReplacement;
  const int64_t nNewCapacity = int64_t(m_nCapacite) + nStep;
  const uint64_t nBytes = uint64_t(nNewCapacity) * uint64_t(m_nTailleElement);
  if (nNewCapacity > INT32_MAX || nBytes > UINT32_MAX || nBytes == 0) return 0;
  void* pNew = XMALLOC_pResize_(m_pBuffer, static_cast<unsigned int>(nBytes));
  // A refused block leaves the old one and its elements in place: freeing it
  // here would lose the elements and whatever they hold.
  if (pNew == nullptr) return 0;
  m_pBuffer = static_cast<unsigned char*>(pNew);
  m_nCapacite = static_cast<int>(nNewCapacity);
  return 1;
}

int CTableauDeBuffer::_bAgranditDe(int nStep) {
  const int nSaved = m_nPas;
  m_nPas = nStep;
  const int bOk = Agrandir();
  m_nPas = nSaved;
  return bOk;
}

int CTableauDeBuffer::Initialise(const void* p, int n) {
  if (n < 0) return 0;
  const uint64_t nBytes = uint64_t(n) * uint64_t(m_nTailleElement);
  if (nBytes > UINT32_MAX) return 0;
  // An empty block is still a block: one byte stands for it so that the
  // answer of the heap tells success from failure.
  void* pNew = XMALLOC_pNew_(nBytes == 0 ? 1 : static_cast<unsigned int>(nBytes));
  if (pNew == nullptr) return 0;
  XMALLOC_Del_(m_pBuffer);
  m_pBuffer = static_cast<unsigned char*>(pNew);
  m_nCapacite = n;
  m_nNbElement = n;
  for (int i = 0; i < n; ++i) std::memcpy(pGetElement(i), p, m_nTailleElement);
  return 1;
}

void CTableauDeBuffer::Compacter() {
  if (m_nNbElement == 0) {
    SupprimeToutEtLibere();
    return;
  }
  if (m_nNbElement == m_nCapacite) return;
  void* pNew = XMALLOC_pResize_(m_pBuffer, unsigned(m_nNbElement) * unsigned(m_nTailleElement));
  if (pNew == nullptr) return;  // the larger block keeps serving
  m_pBuffer = static_cast<unsigned char*>(pNew);
  m_nCapacite = m_nNbElement;
}

int CTableauDeBuffer::Ajoute(const void* p) {
  if (m_nNbElement == m_nCapacite && !Agrandir()) return 0;
  std::memcpy(pGetElement(m_nNbElement), p, m_nTailleElement);
  ++m_nNbElement;
  return 1;
}

int CTableauDeBuffer::Insere(const void* p, int i) {
  if (m_nNbElement == m_nCapacite && !Agrandir()) return 0;
  std::memmove(pGetElement(i + 1), pGetElement(i), size_t(m_nNbElement - i) * m_nTailleElement);
  std::memcpy(pGetElement(i), p, m_nTailleElement);
  ++m_nNbElement;
  return 1;
}

void CTableauDeBuffer::SetAt(const void* p, int i) {
  std::memcpy(pGetElement(i), p, m_nTailleElement);
}

int CTableauDeBuffer::Etend(int i, const void* p, const void* pFill) {
  if (i < m_nNbElement) {
    SetAt(p, i);
    return 1;
  }
  if (i == m_nNbElement) return Ajoute(p);
  if (i >= m_nCapacite && !_bAgranditDe(i + m_nPas - m_nCapacite)) return 0;
  for (int k = m_nNbElement; k < i; ++k) std::memcpy(pGetElement(k), pFill, m_nTailleElement);
  std::memcpy(pGetElement(i), p, m_nTailleElement);
  m_nNbElement = i + 1;
  return 1;
}

void CTableauDeBuffer::Supprime(int i, int n) {
  if (n <= 0) return;
  const int nAfter = m_nNbElement - (i + n);
  if (nAfter > 0)
    std::memmove(pGetElement(i), pGetElement(i + n), size_t(nAfter) * m_nTailleElement);
  m_nNbElement -= n;
}

void CTableauDeBuffer::SupprimeDernier(int n) { m_nNbElement -= n; }

void CTableauDeBuffer::SupprimeCompacte(int i) {
  Supprime(i, 1);
  if (m_nCapacite - m_nNbElement > m_nMarge) Compacter();
}

void CTableauDeBuffer::SupprimeToutEtLibere() {
  XMALLOC_Del_(m_pBuffer);
  m_pBuffer = nullptr;
  m_nNbElement = 0;
  m_nCapacite = 0;
}

int CTableauDeBuffer::AlloueMemoire(int n) {
  if (m_nCapacite >= n) return 1;
  return _bAgranditDe(n - m_nCapacite);
}

int CTableauDeBuffer::AgranditMemoire(int n) {
  if (n <= 0 || int64_t(m_nNbElement) + n <= m_nCapacite) return 1;
  const int64_t nMissing = int64_t(m_nNbElement) + n - m_nCapacite;
  const int64_t nSteps = (nMissing + m_nPas - 1) / m_nPas;
  const int64_t nGrowth = nSteps * m_nPas;
  if (nGrowth > INT32_MAX) return 0;
  return _bAgranditDe(static_cast<int>(nGrowth));
}

void CTableauDeBuffer::Deplace(int nFrom, int nTo) {
  if (nFrom == nTo) return;
  // An element is at most a few hundred bytes in the system; larger ones take
  // a heap buffer, and a refused one leaves the order as it was.
  unsigned char aLocal[512];
  unsigned char* pTemp = aLocal;
  if (m_nTailleElement > int(sizeof(aLocal))) {
    pTemp = static_cast<unsigned char*>(XMALLOC_pNew_(m_nTailleElement));
    if (pTemp == nullptr) return;
  }
  std::memcpy(pTemp, pGetElement(nFrom), m_nTailleElement);
  if (nFrom < nTo)
    std::memmove(pGetElement(nFrom), pGetElement(nFrom + 1),
                 size_t(nTo - nFrom) * m_nTailleElement);
  else
    std::memmove(pGetElement(nTo + 1), pGetElement(nTo), size_t(nFrom - nTo) * m_nTailleElement);
  std::memcpy(pGetElement(nTo), pTemp, m_nTailleElement);
  if (pTemp != aLocal) XMALLOC_Del_(pTemp);
}

void CTableauDeBuffer::Swap(int i, int j) {
  if (i == j) return;
  unsigned char* a = static_cast<unsigned char*>(pGetElement(i));
  unsigned char* b = static_cast<unsigned char*>(pGetElement(j));
  for (int k = 0; k < m_nTailleElement; ++k) {
    const unsigned char c = a[k];
    a[k] = b[k];
    b[k] = c;
  }
}

int CTableauDeBuffer::PermuteMultiple(int nFirst, const _STBlocATrier* pBlocs,
                                      unsigned int nBlocs) {
  if (m_nCapacite == 0) return 1;
  unsigned char* pNew = static_cast<unsigned char*>(
      XMALLOC_pNew_(unsigned(m_nCapacite) * unsigned(m_nTailleElement)));
  if (pNew == nullptr) return 0;
  const size_t nSize = m_nTailleElement;
  std::memcpy(pNew, m_pBuffer, size_t(nFirst) * nSize);
  int nCopied = nFirst;
  for (unsigned int b = 0; b < nBlocs; ++b) {
    // Runs that follow one another in the old order go in one piece.
    int nStart = pBlocs[b].nPremier;
    int nCount = pBlocs[b].nNombre;
    while (b + 1 < nBlocs && pBlocs[b + 1].nPremier == nStart + nCount) {
      ++b;
      nCount += pBlocs[b].nNombre;
    }
    std::memcpy(pNew + size_t(nCopied) * nSize, m_pBuffer + size_t(nStart) * nSize,
                size_t(nCount) * nSize);
    nCopied += nCount;
  }
  if (nCopied < m_nNbElement)
    std::memcpy(pNew + size_t(nCopied) * nSize, m_pBuffer + size_t(nCopied) * nSize,
                size_t(m_nNbElement - nCopied) * nSize);
  XMALLOC_Del_(m_pBuffer);
  m_pBuffer = pNew;
  return 1;
}

int CTableauDeBuffer::_Duplique(const CTableauDeBuffer& src) {
  if (&src == this) return 1;
  // The room is made before anything is dropped, so that a refusal leaves
  // this array's elements in place.
  if (!AlloueMemoire(src.m_nNbElement)) return 0;
  if (src.m_nNbElement > 0)
    std::memcpy(m_pBuffer, src.m_pBuffer, size_t(src.m_nNbElement) * m_nTailleElement);
  m_nNbElement = src.m_nNbElement;
  return 1;
}

void CTableauDeBuffer::_RecupereDonnees(CTableauDeBuffer* src) {
  if (src == this) return;
  XMALLOC_Del_(m_pBuffer);
  m_pBuffer = src->m_pBuffer;
  m_nNbElement = src->m_nNbElement;
  m_nCapacite = src->m_nCapacite;
  src->m_pBuffer = nullptr;
  src->m_nNbElement = 0;
  src->m_nCapacite = 0;
}

void EchangeTableau(CTableauDeBuffer* a, CTableauDeBuffer* b) {
  std::swap(a->m_nTailleElement, b->m_nTailleElement);
  std::swap(a->m_nNbElement, b->m_nNbElement);
  std::swap(a->m_nCapacite, b->m_nCapacite);
  std::swap(a->m_nPas, b->m_nPas);
  std::swap(a->m_nMarge, b->m_nMarge);
  std::swap(a->m_pBuffer, b->m_pBuffer);
}

void* CTableauDeBuffer::pRechercheLineaireCriterePointeur(int nCtx,
                                                          int (*pfn)(int, const void*)) const {
  const int i = nRechercheLineaireCriterePointeur(nCtx, pfn);
  return i < 0 ? nullptr : static_cast<void* const*>(pGetBuffer())[i];
}

int CTableauDeBuffer::nRechercheLineaireCriterePointeur(int nCtx,
                                                        int (*pfn)(int, const void*)) const {
  const void* const* pElements = static_cast<const void* const*>(pGetBuffer());
  for (int i = 0; i < m_nNbElement; ++i)
    if (pfn(nCtx, pElements[i]) == 0) return i;
  return -1;
}
