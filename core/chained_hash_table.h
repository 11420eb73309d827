// CHashBase: the framework's chained hash table: an array of buckets, each a
// CListeDeBuffer of (key, value) pointer pairs, with a dynamic mode that grows
// and shrinks the bucket array to prime sizes as entries come and go. A
// derived class supplies the hash of a key and the equality of two keys. The
// driver's own tables use the open-addressing CHashTableBounce; this one is
// part of the framework that the library carries.
//
// Ownership: the table stores key and value pointers as given and owns
// neither. Its bucket array is one XMALLOC_ block.
// Threads: none of its own; callers hold the driver lock.
// Failures: a resize whose bucket array cannot be had keeps the old buckets
// (entries stay reachable); an entry whose element cannot be allocated is not
// added and Ajoute answers 0. A table without buckets (made with 0) answers
// "absent" and refuses plain Ajoute; AjouteDYN first gives it a bucket.
#ifndef KQ230_CORE_CHAINED_HASH_TABLE_H_
#define KQ230_CORE_CHAINED_HASH_TABLE_H_

#include "core/buffer_list.h"

class CHashBase {
 public:
  // Levels 3 (growth) and 1 (shrink); nBuckets empty lists (none for 0, or
  // when the bucket array cannot be had).
  explicit CHashBase(int nBuckets);
  virtual ~CHashBase();

  CHashBase(const CHashBase&) = delete;
  CHashBase& operator=(const CHashBase&) = delete;

  // The hash of a key, and whether a stored key equals a key (non-zero).
  virtual unsigned int dwHashVal(void* pKey) const = 0;
  virtual int bEgal(void* pStoredKey, void* pKey) const = 0;

  void SetNiveau(int nGrowth, int nShrink);
  // Adds the pair before its bucket's current element; no duplicate test.
  int Ajoute(void* pKey, void* pValue);
  // Grows when count >= buckets x growth level, then Ajoute.
  int AjouteDYN(void* pKey, void* pValue);
  // Finds the first stored key equal to pKey in its bucket (the bucket's
  // cursor stays on it); value and stored key through the non-null pointers.
  int bRecherche(void* pKey, void** pValue, void** pStoredKey);
  // The same without moving any cursor.
  int bRechercheConst(void* pKey, void** pValue, void** pStoredKey) const;
  int bSupprime(void* pKey);
  // bSupprime, then shrinks when count < buckets x shrink level.
  int bSupprimeDYN(void* pKey);
  void SupprimeTout();
  // Takes out the first entry of the first non-empty bucket from *pBucket on
  // (left at that bucket); *pValue null when there is none.
  void SupprimeCourant(int* pBucket, void** pValue, void** pKey);
  // Moves every entry to n buckets. Nothing for n < 1 or n == buckets;
  // answers 0 (table unchanged) when the new buckets cannot be had.
  int RedimensionneTable(int n);

  int nGetNbElement() const { return m_nNb; }
  int nGetNbBucket() const { return m_nNbBucket; }
  int nGetNiveauPlus() const { return m_nNiveauPlus; }
  int nGetNiveauMoins() const { return m_nNiveauMoins; }

 protected:
  void _RedimentionneTablePlus();
  void _RedimentionneTableMoins();

 private:
  struct _stPaire {
    void* pKey;
    void* pValue;
  };
  static CListeDeBuffer* _pAlloueBuckets(int n);
  static void _LibereBuckets(CListeDeBuffer* p, int n);
  CListeDeBuffer* _pBucket(void* pKey) const;

  int m_nNiveauPlus = 3;
  int m_nNiveauMoins = 1;
  int m_nNbBucket = 0;
  CListeDeBuffer* m_pBuckets = nullptr;
  int m_nNb = 0;
};

// String hashes (0 for a null or empty text): the sum of the character codes
// (8-bit characters as signed values), or of their upper-case forms.
unsigned int dwHashValT(const wchar_t* psz);
unsigned int dwHashValTA(const char* psz);
unsigned int dwHashValTi(const wchar_t* psz);
unsigned int dwHashValTiA(const char* psz);

#endif  // KQ230_CORE_CHAINED_HASH_TABLE_H_
