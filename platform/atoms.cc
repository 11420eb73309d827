#include "platform/atoms.h"

#include <cstdlib>
#include <cwchar>
#include <new>

int CAtom::gnId = 1;

CAtomList gclAtomList;

namespace {

unsigned short AtomOf(const CAtom* p) { return static_cast<unsigned short>(p->m_nId & 0xFFFF); }

}  // namespace

CAtomList::~CAtomList() {
  CAtom* p = m_pHead;
  m_pHead = nullptr;
  while (p != nullptr) {
    CAtom* pNext = p->m_pNext;
    std::free(p->m_pszName);
    delete p;
    p = pNext;
  }
}

CAtom* CAtomList::pclFind(const wchar_t* pszName) const {
  for (CAtom* p = m_pHead; p != nullptr; p = p->m_pNext) {
    if (wcscasecmp(p->m_pszName, pszName) == 0) return p;
  }
  return nullptr;
}

CAtom* CAtomList::pclFind(unsigned short nAtom) const {
  for (CAtom* p = m_pHead; p != nullptr; p = p->m_pNext) {
    if (AtomOf(p) == nAtom) return p;
  }
  return nullptr;
}

int CAtomList::nCount() const {
  int n = 0;
  for (CAtom* p = m_pHead; p != nullptr; p = p->m_pNext) ++n;
  return n;
}

unsigned short AddAtom(const wchar_t* pszName) {
  if (pszName == nullptr) return 0;
  if (CAtom* p = gclAtomList.pclFind(pszName)) {
    ++p->m_nRefCount;
    return AtomOf(p);
  }
  // The next id whose atom is neither 0 nor held by a live entry; at most one
  // full turn of the 16-bit atoms.
  int nId = CAtom::gnId;
  int nTries = 0;
  while ((nId & 0xFFFF) == 0 || gclAtomList.pclFind(static_cast<unsigned short>(nId & 0xFFFF))) {
    if (++nTries > 0x10000) return 0;  // every atom is in use
    nId = static_cast<int>(static_cast<unsigned int>(nId) + 1u);
  }
  wchar_t* pszCopy = wcsdup(pszName);
  if (pszCopy == nullptr) return 0;
  auto* pAtom = new (std::nothrow) CAtom;
  if (pAtom == nullptr) {
    std::free(pszCopy);
    return 0;
  }
  pAtom->m_nId = nId;
  pAtom->m_pszName = pszCopy;
  CAtom::gnId = static_cast<int>(static_cast<unsigned int>(nId) + 1u);
  CAtom** ppLink = &gclAtomList.m_pHead;
  while (*ppLink != nullptr) ppLink = &(*ppLink)->m_pNext;
  *ppLink = pAtom;
  return AtomOf(pAtom);
}

unsigned short FindAtom(const wchar_t* pszName) {
  if (pszName == nullptr) return 0;
  CAtom* p = gclAtomList.pclFind(pszName);
  return p != nullptr ? AtomOf(p) : 0;
}

unsigned short DeleteAtom(unsigned short nAtom) {
  CAtom** ppLink = &gclAtomList.m_pHead;
  while (*ppLink != nullptr && AtomOf(*ppLink) != nAtom) ppLink = &(*ppLink)->m_pNext;
  CAtom* p = *ppLink;
  if (p == nullptr || nAtom == 0) return nAtom;
  if (--p->m_nRefCount <= 0) {
    *ppLink = p->m_pNext;
    std::free(p->m_pszName);
    delete p;
  }
  return 0;
}

int GetAtomName(unsigned short nAtom, wchar_t* pszBuffer, int nSize) {
  if (nAtom == 0 || nSize <= 0 || pszBuffer == nullptr) return 0;
  CAtom* p = gclAtomList.pclFind(nAtom);
  if (p == nullptr) return 0;
  const size_t nLength = std::wcslen(p->m_pszName);
  const size_t nCopy = nLength < static_cast<size_t>(nSize) - 1 ? nLength : static_cast<size_t>(nSize) - 1;
  std::wmemcpy(pszBuffer, p->m_pszName, nCopy);
  pszBuffer[nCopy] = 0;
  return static_cast<int>(nCopy);
}
