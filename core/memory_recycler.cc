#include "core/memory_recycler.h"

#include <cstring>

#include "core/xmalloc.h"

CRecycleurMemoire* CRecycleurMemoire::ms_pclListeRecycleur = nullptr;

CRecycleurMemoire::CRecycleurMemoire(unsigned int nBlockSize)
    : m_nBlockSize(nBlockSize < sizeof(void*) ? sizeof(void*) : nBlockSize),
      m_pclNext(ms_pclListeRecycleur) {
  ms_pclListeRecycleur = this;
}

CRecycleurMemoire::~CRecycleurMemoire() {
  Vide();
  for (CRecycleurMemoire** pp = &ms_pclListeRecycleur; *pp != nullptr; pp = &(*pp)->m_pclNext) {
    if (*pp == this) {
      *pp = m_pclNext;
      break;
    }
  }
}

void* CRecycleurMemoire::pNew() {
  if (m_pFirst == nullptr) return XMALLOC_pNew_(m_nBlockSize);
  void* pBlock = m_pFirst;
  std::memcpy(&m_pFirst, pBlock, sizeof(void*));
  --m_nCount;
  return pBlock;
}

void CRecycleurMemoire::Recycle(void* pBlock) {
  if (pBlock == nullptr) return;
  std::memcpy(pBlock, &m_pFirst, sizeof(void*));
  m_pFirst = pBlock;
  ++m_nCount;
}

void CRecycleurMemoire::Vide() {
  while (m_pFirst != nullptr) {
    void* pBlock = m_pFirst;
    std::memcpy(&m_pFirst, pBlock, sizeof(void*));
    XMALLOC_Del_(pBlock);
  }
  m_nCount = 0;
}

void CRecycleurMemoire::s_VideTous() {
  for (CRecycleurMemoire* p = ms_pclListeRecycleur; p != nullptr; p = p->m_pclNext) p->Vide();
}
