// The wide-string key functions of the hash tables: keys that are equal
// without regard to case and accents compare equal and hash alike.
#include "core/hash_table_bounce.h"
#include "core/locale_compare.h"

namespace {

constexpr unsigned int kMapFlags = STR_FLAG_UPPER | STR_FLAG_NO_ACCENT;
// Characters mapped per call. The mapping with flags 3 works character by
// character (one character gives at most two), so mapping a key chunk by
// chunk gives its whole mapped form without a heap block per hash.
constexpr int kChunk = 256;

const wchar_t* pszKeyText(const void* pKey) {
  return pKey != nullptr ? static_cast<const wchar_t*>(pKey) : L"";
}

}  // namespace

int CHashTableBounce::nStringLogiqueCompare(const void* pKey1, const void* pKey2) {
  return STR_nCompareW(pszKeyText(pKey1), pszKeyText(pKey2), kMapFlags);
}

unsigned int CHashTableBounce::dwStringLogiqueHashVal(const void* pKey) {
  const wchar_t* psz = pszKeyText(pKey);
  wchar_t szMapped[2 * kChunk + 1];
  unsigned int dwHash = 5381;
  while (*psz != 0) {
    int n = 0;
    while (n < kChunk && psz[n] != 0) ++n;
    int nMapped = STR_nMapStringEx(kMapFlags, szMapped, 2 * kChunk + 1, psz, n);
    if (nMapped < 0) nMapped = 0;
    if (nMapped > 2 * kChunk) nMapped = 2 * kChunk;
    for (int i = 0; i < nMapped; ++i)
      dwHash = dwHash * 33 + static_cast<unsigned int>(szMapped[i]);
    psz += n;
  }
  return dwHash;
}
