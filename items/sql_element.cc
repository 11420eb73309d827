// CNASqlElt: located elements of a query's text and their order.
#include "items/sql_element.h"

CNASqlElt::~CNASqlElt() = default;

int CNASqlElt::pfnCmpELT(CNASqlElt* const* ppA, CNASqlElt* const* ppB) {
  // Unsigned on purpose: a start of 4294967295 (the parser's "nowhere")
  // sorts after every real position instead of before them.
  const unsigned int nA = (*ppA)->m_nStart;
  const unsigned int nB = (*ppB)->m_nStart;
  if (nA == nB) return 0;
  return nA < nB ? -1 : 1;
}

int CNASqlElt::s_nCompareForSort(const void* pA, const void* pB) {
  return pfnCmpELT(static_cast<CNASqlElt* const*>(pA), static_cast<CNASqlElt* const*>(pB));
}
