#include "core/hash_table_bounce.h"

#include <cstring>

namespace {

constexpr int kLastLevel = CHashTableBounce::kNumLevels - 1;
constexpr uint64_t kMaxBlock = 0xFFFFFFFFu;

// Byte sizes are computed in 64 bits: from level 25 on, capacity times the
// element size no longer fits in 32.
bool bBlockSize(uint64_t nCount, uint64_t nUnit, unsigned int* pnBytes) {
  const uint64_t nBytes = nCount * nUnit;
  if (nBytes > kMaxBlock) return false;
  *pnBytes = static_cast<unsigned int>(nBytes);
  return true;
}

}  // namespace

const unsigned int CHashTableBounce::g__ToutPretToutChaud[kNumLevels] = {
    17u,        53u,        97u,        193u,       389u,        769u,
    1543u,      3079u,      6151u,      12289u,     24593u,      49157u,
    98317u,     196613u,    393241u,    786433u,    1572869u,    3145739u,
    6291469u,   12582917u,  25165843u,  50331653u,  100663319u,  201326611u,
    402653189u, 805306457u, 1610612741u, 3221225473u, 4294967291u};

int _nHTBDefaultCompare(const void* pKey1, const void* pKey2) {
  return pKey1 == pKey2 ? 0 : 1;
}

unsigned int _dwHTBDefaultHashVal(const void* pKey) {
  return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(pKey));
}

CHashTableBounce::CHashTableBounce(unsigned int n) {
  if (n != 0) __Init(n, 0);
}

CHashTableBounce::~CHashTableBounce() { __FreeArrays(); }

void CHashTableBounce::__FreeArrays() {
  XMALLOC_Del_(m_pElements);
  XMALLOC_Del_(m_pBuckets);
  m_pElements = nullptr;
  m_pBuckets = nullptr;
  m_nCapacity = 0;
  m_nBuckets = 0;
  m_nFreeHead = 0;
}

int CHashTableBounce::__Init(unsigned int n, int bFree) {
  if (bFree) {
    __FreeArrays();
    m_nCount = 0;
    m_nLevel = 0;
  }
  int nLevel = m_nLevel;
  while (nLevel < kLastLevel && g__ToutPretToutChaud[nLevel] / 2 < n) ++nLevel;
  const unsigned int nCapacity = g__ToutPretToutChaud[nLevel] / 2;
  unsigned int nElementBytes = 0;
  unsigned int nBucketBytes = 0;
  if (nCapacity < n || !bBlockSize(nCapacity, sizeof(_stELEMENT), &nElementBytes) ||
      !bBlockSize(g__ToutPretToutChaud[nLevel], sizeof(unsigned int), &nBucketBytes))
    return 0;
  auto* pElements = static_cast<_stELEMENT*>(XMALLOC_pNew_(nElementBytes));
  auto* pBuckets = static_cast<unsigned int*>(XMALLOC_pNew_(nBucketBytes));
  if (pElements == nullptr || pBuckets == nullptr) {
    // Without arrays the table starts over from level 0 on its first insertion.
    XMALLOC_Del_(pElements);
    XMALLOC_Del_(pBuckets);
    m_nLevel = 0;
    return 0;
  }
  for (unsigned int i = 0; i < nCapacity; ++i) {
    pElements[i].nPrev = -1;
    pElements[i].nNext = i + 1 < nCapacity ? static_cast<int>(i + 2) : 0;
  }
  std::memset(pBuckets, 0, nBucketBytes);
  m_pElements = pElements;
  m_nCapacity = nCapacity;
  m_nFreeHead = 1;
  m_pBuckets = pBuckets;
  m_nBuckets = g__ToutPretToutChaud[nLevel];
  m_nLevel = nLevel;
  return 1;
}

void CHashTableBounce::SetCmp(PFNCMP pfnCmp) { m_pfnCmp = pfnCmp; }
void CHashTableBounce::SetHashVal(PFNHASH pfnHash) { m_pfnHash = pfnHash; }
CHashTableBounce::PFNCMP CHashTableBounce::pfGetCmp() const { return m_pfnCmp; }
CHashTableBounce::PFNHASH CHashTableBounce::pfGetHashVal() const { return m_pfnHash; }
unsigned int CHashTableBounce::dwGetNumElement() const { return m_nCount; }

int CHashTableBounce::__nFind(const void* pKey, unsigned int* pnBucket) const {
  if (m_nCount == 0 || m_pBuckets == nullptr || m_pfnHash == nullptr || m_pfnCmp == nullptr)
    return -1;
  // Integer and pointer keys (the default functions) are looked up without
  // the two indirect calls per probe: the same answers, a third of the time.
  if (m_pfnCmp == _nHTBDefaultCompare && m_pfnHash == _dwHTBDefaultHashVal) {
    const unsigned int nBucket = _dwHTBDefaultHashVal(pKey) % m_nBuckets;
    if (pnBucket != nullptr) *pnBucket = nBucket;
    unsigned int i = m_pBuckets[nBucket];
    while (i != 0 && m_pElements[i - 1].pKey != pKey)
      i = static_cast<unsigned int>(m_pElements[i - 1].nNext);
    return static_cast<int>(i) - 1;
  }
  const unsigned int nBucket = m_pfnHash(pKey) % m_nBuckets;
  if (pnBucket != nullptr) *pnBucket = nBucket;
  unsigned int i = m_pBuckets[nBucket];
  while (i != 0) {
    const _stELEMENT& e = m_pElements[i - 1];
    if (m_pfnCmp(pKey, e.pKey) == 0) return static_cast<int>(i - 1);
    i = static_cast<unsigned int>(e.nNext);
  }
  return -1;
}

int CHashTableBounce::bAddElement(void* pKey, void* pValue) {
  if (m_pfnHash == nullptr) return 0;
  if (m_nFreeHead == 0 && !__bGrow()) return 0;
  const unsigned int nIndex = m_nFreeHead;
  _stELEMENT& e = m_pElements[nIndex - 1];
  m_nFreeHead = static_cast<unsigned int>(e.nNext);
  e.pKey = pKey;
  e.pValue = pValue;
  unsigned int& nHead = m_pBuckets[m_pfnHash(pKey) % m_nBuckets];
  e.nPrev = 0;
  e.nNext = static_cast<int>(nHead);
  if (nHead != 0) m_pElements[nHead - 1].nPrev = static_cast<int>(nIndex);
  nHead = nIndex;
  ++m_nCount;
  return 1;
}

int CHashTableBounce::bGetElement(const void* pKey, void** ppValue, void** ppKey) const {
  const int i = __nFind(pKey);
  if (i < 0) return 0;
  if (ppValue != nullptr) *ppValue = m_pElements[i].pValue;
  if (ppKey != nullptr) *ppKey = m_pElements[i].pKey;
  return 1;
}

void** CHashTableBounce::pGetElement(const void* pKey) {
  const int i = __nFind(pKey);
  return i < 0 ? nullptr : &m_pElements[i].pValue;
}

void CHashTableBounce::__DeleteFromHash(unsigned int nIndex, unsigned int nBucket) {
  _stELEMENT& e = m_pElements[nIndex];
  if (e.nNext != 0) m_pElements[e.nNext - 1].nPrev = e.nPrev;
  if (e.nPrev > 0)
    m_pElements[e.nPrev - 1].nNext = e.nNext;
  else
    m_pBuckets[nBucket != kNoBucket ? nBucket : m_pfnHash(e.pKey) % m_nBuckets] =
        static_cast<unsigned int>(e.nNext);
  e.nPrev = -1;
  e.nNext = static_cast<int>(m_nFreeHead);
  m_nFreeHead = nIndex + 1;
  --m_nCount;
}

int CHashTableBounce::bDeleteElement(const void* pKey, void** ppValue, void** ppKey) {
  unsigned int nBucket = 0;
  const int i = __nFind(pKey, &nBucket);
  if (i < 0) return 0;
  if (ppValue != nullptr) *ppValue = m_pElements[i].pValue;
  if (ppKey != nullptr) *ppKey = m_pElements[i].pKey;
  __DeleteFromHash(static_cast<unsigned int>(i), nBucket);
  // The element is out whatever the shrink does: a refused shrink keeps the
  // old arrays, and the caller must still release what it got back.
  if (m_nParsing == 0 && m_nLevel > 0 && m_nCount < g__ToutPretToutChaud[m_nLevel - 1] / 4)
    __bReduce();
  return 1;
}

int CHashTableBounce::bParseTable(unsigned int* pPos, int bDelete, void** ppValue,
                                  void** ppKey) {
  if (*pPos == 0) ++m_nParsing;
  unsigned int i = *pPos;
  while (i < m_nCapacity && m_pElements[i].nPrev == -1) ++i;
  if (i >= m_nCapacity) {
    --m_nParsing;
    return 0;
  }
  if (ppValue != nullptr) *ppValue = m_pElements[i].pValue;
  if (ppKey != nullptr) *ppKey = m_pElements[i].pKey;
  if (bDelete) __DeleteFromHash(i);
  *pPos = i + 1;
  return 1;
}

void CHashTableBounce::StopParsing() { --m_nParsing; }

int CHashTableBounce::bParseSetElement(unsigned int nPos, void* pValue, void** ppOld) {
  if (nPos < 1 || nPos > m_nCapacity || m_pElements[nPos - 1].nPrev == -1) return 0;
  if (ppOld != nullptr) *ppOld = m_pElements[nPos - 1].pValue;
  m_pElements[nPos - 1].pValue = pValue;
  return 1;
}

int CHashTableBounce::bParseSetKey(unsigned int nPos, void* pKey, void** ppOld) {
  if (nPos < 1 || nPos > m_nCapacity || m_pElements[nPos - 1].nPrev == -1) return 0;
  if (ppOld != nullptr) *ppOld = m_pElements[nPos - 1].pKey;
  m_pElements[nPos - 1].pKey = pKey;
  return 1;
}

void CHashTableBounce::DeleteAll(unsigned int n) {
  if (m_nCount == 0) return;
  __Init(n == 0 ? 7 : n, 1);
}

int CHashTableBounce::__bGrow() {
  // Past the last level the table refuses to grow rather than read beyond
  // the ladder of primes.
  if (m_nLevel >= kLastLevel && m_pElements != nullptr) return 0;
  const int nLevel = m_pElements != nullptr ? m_nLevel + 1 : (m_nLevel > 0 ? m_nLevel : 1);
  const unsigned int nBuckets = g__ToutPretToutChaud[nLevel];
  const unsigned int nCapacity = nBuckets / 2;
  unsigned int nElementBytes = 0;
  unsigned int nBucketBytes = 0;
  if (!bBlockSize(nCapacity, sizeof(_stELEMENT), &nElementBytes) ||
      !bBlockSize(nBuckets, sizeof(unsigned int), &nBucketBytes))
    return 0;
  // The new buckets first: the element block is then the last thing that can
  // be refused, and a refusal leaves both old arrays as they were.
  auto* pBuckets = static_cast<unsigned int*>(XMALLOC_pNew_(nBucketBytes));
  if (pBuckets == nullptr) return 0;
  auto* pElements = static_cast<_stELEMENT*>(XMALLOC_pResize_(m_pElements, nElementBytes));
  if (pElements == nullptr) {
    XMALLOC_Del_(pBuckets);
    return 0;
  }
  const unsigned int nOld = m_nCapacity;
  for (unsigned int i = nOld; i < nCapacity; ++i) {
    pElements[i].nPrev = -1;
    pElements[i].nNext = i + 1 < nCapacity ? static_cast<int>(i + 2) : static_cast<int>(m_nFreeHead);
  }
  XMALLOC_Del_(m_pBuckets);
  m_pElements = pElements;
  m_nCapacity = nCapacity;
  m_nFreeHead = nOld + 1;
  m_pBuckets = pBuckets;
  m_nBuckets = nBuckets;
  m_nLevel = nLevel;
  __RehashElement();
  return 1;
}

void CHashTableBounce::__RehashElement() {
  if (m_pBuckets == nullptr) return;
  std::memset(m_pBuckets, 0, size_t(m_nBuckets) * sizeof(unsigned int));
  unsigned int nPlaced = 0;
  for (unsigned int i = 0; i < m_nCapacity && nPlaced < m_nCount; ++i) {
    _stELEMENT& e = m_pElements[i];
    if (e.nPrev == -1) continue;
    unsigned int& nHead = m_pBuckets[m_pfnHash(e.pKey) % m_nBuckets];
    e.nPrev = 0;
    e.nNext = static_cast<int>(nHead);
    if (nHead != 0) m_pElements[nHead - 1].nPrev = static_cast<int>(i + 1);
    nHead = i + 1;
    ++nPlaced;
  }
}

void CHashTableBounce::__Compact(unsigned int nCapacity) {
  if (m_nCount > nCapacity || nCapacity > m_nCapacity) return;
  unsigned int nLow = 0;
  for (unsigned int nHigh = m_nCapacity; nHigh-- > nCapacity;) {
    _stELEMENT& e = m_pElements[nHigh];
    if (e.nPrev == -1) continue;
    while (m_pElements[nLow].nPrev != -1) ++nLow;
    m_pElements[nLow] = e;
    if (e.nPrev > 0) m_pElements[e.nPrev - 1].nNext = static_cast<int>(nLow + 1);
    if (e.nNext > 0) m_pElements[e.nNext - 1].nPrev = static_cast<int>(nLow + 1);
    // Marked free so that a refused shrink can take the old block back as it is.
    e.nPrev = -1;
    ++nLow;
  }
  m_nFreeHead = 0;
  for (unsigned int i = 0; i < nCapacity; ++i) {
    if (m_pElements[i].nPrev != -1) continue;
    m_pElements[i].nNext = static_cast<int>(m_nFreeHead);
    m_nFreeHead = i + 1;
  }
}

int CHashTableBounce::__bReduce() {
  int nLevel = m_nLevel - 1;
  while (nLevel > 0 && m_nCount < g__ToutPretToutChaud[nLevel - 1] / 2) --nLevel;
  if (nLevel < 0 || m_pElements == nullptr) return 0;
  const unsigned int nBuckets = g__ToutPretToutChaud[nLevel];
  const unsigned int nCapacity = nBuckets / 2;
  auto* pBuckets =
      static_cast<unsigned int*>(XMALLOC_pNew_(nBuckets * unsigned(sizeof(unsigned int))));
  if (pBuckets == nullptr) return 0;
  const unsigned int nOldCapacity = m_nCapacity;
  __Compact(nCapacity);
  auto* pElements = static_cast<_stELEMENT*>(
      XMALLOC_pResize_(m_pElements, nCapacity * unsigned(sizeof(_stELEMENT))));
  if (pElements == nullptr) {
    // Keep the old block at its old size: every free slot back on the free
    // list and the chains rebuilt in the old buckets.
    XMALLOC_Del_(pBuckets);
    m_nFreeHead = 0;
    for (unsigned int i = nOldCapacity; i-- > 0;) {
      if (m_pElements[i].nPrev != -1) continue;
      m_pElements[i].nNext = static_cast<int>(m_nFreeHead);
      m_nFreeHead = i + 1;
    }
    __RehashElement();
    return 0;
  }
  XMALLOC_Del_(m_pBuckets);
  m_pElements = pElements;
  m_nCapacity = nCapacity;
  m_pBuckets = pBuckets;
  m_nBuckets = nBuckets;
  m_nLevel = nLevel;
  __RehashElement();
  return 1;
}
