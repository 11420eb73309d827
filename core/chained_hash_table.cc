#include "core/chained_hash_table.h"

#include <cctype>
#include <cstdint>
#include <cwctype>
#include <new>

#include "core/xmalloc.h"
#include "core/xmath.h"

namespace {

// Below this many buckets a table does not shrink: small tables would
// otherwise rehash back and forth as a few entries come and go.
constexpr int kSmallestShrunkTable = 43;

int nPremierDepuis(int64_t n) {
  while (n < INT32_MAX && !CXMath::bEstPremier(static_cast<unsigned int>(n))) ++n;
  return static_cast<int>(n);
}

}  // namespace

CListeDeBuffer* CHashBase::_pAlloueBuckets(int n) {
  const uint64_t nBytes = uint64_t(n) * sizeof(CListeDeBuffer);
  if (n < 1 || nBytes > UINT32_MAX) return nullptr;
  CListeDeBuffer* p =
      static_cast<CListeDeBuffer*>(XMALLOC_pNew_(static_cast<unsigned int>(nBytes)));
  if (p == nullptr) return nullptr;
  for (int i = 0; i < n; ++i) new (p + i) CListeDeBuffer(sizeof(_stPaire));
  return p;
}

void CHashBase::_LibereBuckets(CListeDeBuffer* p, int n) {
  if (p == nullptr) return;
  for (int i = 0; i < n; ++i) p[i].~CListeDeBuffer();
  XMALLOC_Del_(p);
}

CHashBase::CHashBase(int nBuckets) {
  if (nBuckets > 0) {
    m_pBuckets = _pAlloueBuckets(nBuckets);
    if (m_pBuckets != nullptr) m_nNbBucket = nBuckets;
  }
}

CHashBase::~CHashBase() { _LibereBuckets(m_pBuckets, m_nNbBucket); }

void CHashBase::SetNiveau(int nGrowth, int nShrink) {
  m_nNiveauPlus = nGrowth;
  m_nNiveauMoins = nShrink;
}

CListeDeBuffer* CHashBase::_pBucket(void* pKey) const {
  if (m_nNbBucket == 0) return nullptr;
  return &m_pBuckets[dwHashVal(pKey) % unsigned(m_nNbBucket)];
}

int CHashBase::Ajoute(void* pKey, void* pValue) {
  CListeDeBuffer* pList = _pBucket(pKey);
  if (pList == nullptr) return 0;
  const _stPaire stPaire = {pKey, pValue};
  if (!pList->Ajoute(&stPaire, 1)) return 0;
  ++m_nNb;
  return 1;
}

int CHashBase::AjouteDYN(void* pKey, void* pValue) {
  _RedimentionneTablePlus();
  return Ajoute(pKey, pValue);
}

int CHashBase::bRecherche(void* pKey, void** pValue, void** pStoredKey) {
  CListeDeBuffer* pList = _pBucket(pKey);
  if (pList == nullptr || pList->nGetNbElement() == 0) return 0;
  for (void* p = pList->pVaSurNumero(0); p != nullptr; p = pList->pVaSuivant()) {
    const _stPaire* pPaire = static_cast<const _stPaire*>(p);
    if (bEgal(pPaire->pKey, pKey)) {
      if (pValue != nullptr) *pValue = pPaire->pValue;
      if (pStoredKey != nullptr) *pStoredKey = pPaire->pKey;
      return 1;
    }
  }
  return 0;
}

int CHashBase::bRechercheConst(void* pKey, void** pValue, void** pStoredKey) const {
  const CListeDeBuffer* pList = _pBucket(pKey);
  if (pList == nullptr) return 0;
  for (CListeDeBuffer::CLinkedElement* p = pList->pGetPremier(); p != nullptr; p = p->pSuivant) {
    const _stPaire* pPaire = reinterpret_cast<const _stPaire*>(p->pDonnees());
    if (bEgal(pPaire->pKey, pKey)) {
      if (pValue != nullptr) *pValue = pPaire->pValue;
      if (pStoredKey != nullptr) *pStoredKey = pPaire->pKey;
      return 1;
    }
  }
  return 0;
}

int CHashBase::bSupprime(void* pKey) {
  if (!bRecherche(pKey, nullptr, nullptr)) return 0;
  _pBucket(pKey)->SupprimeCourant();
  --m_nNb;
  return 1;
}

int CHashBase::bSupprimeDYN(void* pKey) {
  if (!bSupprime(pKey)) return 0;
  _RedimentionneTableMoins();
  return 1;
}

void CHashBase::SupprimeTout() {
  if (m_nNb == 0) return;
  for (int i = 0; i < m_nNbBucket; ++i) m_pBuckets[i].SupprimeTout();
  m_nNb = 0;
}

void CHashBase::SupprimeCourant(int* pBucket, void** pValue, void** pKey) {
  *pValue = nullptr;
  for (int i = *pBucket < 0 ? 0 : *pBucket; i < m_nNbBucket; ++i) {
    CListeDeBuffer& list = m_pBuckets[i];
    if (list.nGetNbElement() == 0) continue;
    *pBucket = i;
    const _stPaire* pPaire = static_cast<const _stPaire*>(list.pVaSurNumero(0));
    *pValue = pPaire->pValue;
    if (pKey != nullptr) *pKey = pPaire->pKey;
    list.SupprimeCourant();
    --m_nNb;
    return;
  }
}

int CHashBase::RedimensionneTable(int n) {
  if (n < 1 || n == m_nNbBucket) return 1;
  CListeDeBuffer* pNew = _pAlloueBuckets(n);
  if (pNew == nullptr) return 0;
  // The elements themselves change lists: moving them allocates nothing, so
  // once the new buckets exist no entry can be lost.
  for (int i = 0; i < m_nNbBucket; ++i) {
    CListeDeBuffer& old = m_pBuckets[i];
    while (old.nGetNbElement() > 0) {
      old.pVaSurNumero(0);
      CListeDeBuffer::CLinkedElement* p = old._pDetacheCourant();
      const _stPaire* pPaire = reinterpret_cast<const _stPaire*>(p->pDonnees());
      pNew[dwHashVal(pPaire->pKey) % unsigned(n)]._AttacheAvant(p);
    }
  }
  _LibereBuckets(m_pBuckets, m_nNbBucket);
  m_pBuckets = pNew;
  m_nNbBucket = n;
  return 1;
}

void CHashBase::_RedimentionneTablePlus() {
  if (int64_t(m_nNb) < int64_t(m_nNbBucket) * m_nNiveauPlus) return;
  RedimensionneTable(nPremierDepuis(int64_t(m_nNbBucket) * 2));
}

void CHashBase::_RedimentionneTableMoins() {
  if (int64_t(m_nNb) >= int64_t(m_nNbBucket) * m_nNiveauMoins) return;
  int n = nPremierDepuis(m_nNbBucket / 2);
  if (n < kSmallestShrunkTable) n = kSmallestShrunkTable;
  RedimensionneTable(n);
}

unsigned int dwHashValT(const wchar_t* psz) {
  unsigned int h = 0;
  if (psz != nullptr)
    for (; *psz != 0; ++psz) h += static_cast<unsigned int>(*psz);
  return h;
}

unsigned int dwHashValTA(const char* psz) {
  unsigned int h = 0;
  if (psz != nullptr)
    for (; *psz != 0; ++psz)
      h += static_cast<unsigned int>(static_cast<int>(static_cast<signed char>(*psz)));
  return h;
}

unsigned int dwHashValTi(const wchar_t* psz) {
  unsigned int h = 0;
  if (psz != nullptr)
    for (; *psz != 0; ++psz) h += static_cast<unsigned int>(towupper(static_cast<wint_t>(*psz)));
  return h;
}

unsigned int dwHashValTiA(const char* psz) {
  unsigned int h = 0;
  if (psz != nullptr)
    for (; *psz != 0; ++psz)
      h += static_cast<unsigned int>(toupper(static_cast<unsigned char>(*psz)));
  return h;
}
