#include "core/xmalloc.h"

#include <cstdlib>

void* XMALLOC_pNew_(unsigned int nSize) { return std::malloc(nSize); }

void XMALLOC_Del_(void* pBlock) { std::free(pBlock); }

void* XMALLOC_pResize_(void* pBlock, unsigned int nSize) {
  if (pBlock == nullptr) return XMALLOC_pNew_(nSize);
  return std::realloc(pBlock, nSize);
}

int Alloc_bDump(const wchar_t*, int) { return 0; }
int Alloc_bMarque() { return 0; }
int Alloc_nTailleTotale() { return 0; }
