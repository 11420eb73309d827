#include "statements/record_cache.h"
#include "statements/row_numbers.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/xmalloc.h"
#include "kq230/data_source_description_interface.h"
#include "kq230/item_description_interface.h"
#include "statements/record_buffer.h"

// A text or binary slot (bUnicode 0) or a Unicode slot (bUnicode 1, an even
// size) of the values area.
struct CNARecordCache::_stSegment {
  int nOffset;
  int nSize;
  int bUnicode;
};

// One row of the index. nNext chains the rows of one hash bucket (-1: end
// of the chain, kNotHashed: the row has no identifier).
struct CNARecordCache::_stEntry {
  unsigned int dwPosition;
  int nState;
  int nNext;
  unsigned int dwHash;
};

struct CNARecordCache::_stChunk {
  unsigned char* pby;
  int nCapacity;
  int nUsed;
};

namespace {

// A position is the chunk's number above the offset inside it: offsets stay
// below kRecordCacheChunkMax = 2^21.
constexpr int kOffsetBits = 21;
constexpr unsigned int kOffsetMask = (1u << kOffsetBits) - 1;
constexpr int kMaxChunks = 1 << (32 - kOffsetBits);
static_assert(kRecordCacheChunkMax == (1 << kOffsetBits), "offsets fill their bits");

constexpr int kNotHashed = -2;
// Row numbers inside the cache are ints; far more rows than the address
// space can hold index entries for.
constexpr int kMaxRows = 0x40000000;
// Bytes a varint of 32 bits can take.
constexpr int kMaxVarint = 5;

// Bucket counts of the identifier hash, each prime about twice the last; the
// hash grows when it holds twice as many rows as buckets.
constexpr int kBucketLadder[] = {7,       17,      37,       79,       163,      331,      673,
                                 1361,    2729,    5471,     10949,    21911,    43853,    87719,
                                 175447,  350899,  701819,   1403641,  2807303,  5614657,  11229331,
                                 22458671, 44917381, 89834777, 179669557, 359339171};
static_assert(kBucketLadder[0] == kRecordCacheFirstBuckets, "the hash starts at its first size");

int nVarintSize(unsigned int v) {
  int n = 1;
  while (v >= 0x80) {
    v >>= 7;
    ++n;
  }
  return n;
}

unsigned char* pbyPutVarint(unsigned char* p, unsigned int v) {
  while (v >= 0x80) {
    *p++ = static_cast<unsigned char>(v | 0x80);
    v >>= 7;
  }
  *p++ = static_cast<unsigned char>(v);
  return p;
}

const unsigned char* pbyGetVarint(const unsigned char* p, unsigned int* pv) {
  unsigned int v = 0;
  int nShift = 0;
  for (;;) {
    const unsigned int b = *p++;
    v |= (b & 0x7F) << nShift;
    if ((b & 0x80) == 0) break;
    nShift += 7;
  }
  *pv = v;
  return p;
}

// Bytes of the slot without its trailing zeros. Text slots are mostly
// empty room after a short value: the room is looked at a word at a time.
unsigned int nTrimmedSize(const unsigned char* p, unsigned int n) {
  while (n >= 4) {
    unsigned int w;
    std::memcpy(&w, p + n - 4, sizeof w);
    if (w != 0) break;
    n -= 4;
  }
  while (n > 0 && p[n - 1] == 0) --n;
  return n;
}

// Where a packed row is written, or only measured (p null).
struct RowWriter {
  unsigned char* p;
  long long n = 0;

  void Bytes(const unsigned char* pbySource, unsigned int nSize) {
    if (p != nullptr && nSize != 0) {
      std::memcpy(p, pbySource, nSize);
      p += nSize;
    }
    n += nSize;
  }
  void Varint(unsigned int v) {
    if (p != nullptr) {
      unsigned char* pEnd = pbyPutVarint(p, v);
      n += pEnd - p;
      p = pEnd;
    } else {
      n += nVarintSize(v);
    }
  }
  // The low bytes of nUnits UTF-16 units (the slot is little-endian: the
  // low byte comes first).
  void LowBytes(const unsigned char* pbyUnits, unsigned int nUnits) {
    if (p != nullptr) {
      for (unsigned int i = 0; i < nUnits; ++i) p[i] = pbyUnits[2 * i];
      p += nUnits;
    }
    n += nUnits;
  }
};

}  // namespace

const char* pszRecordCacheStatusName(eRECORDCACHESTATUS eStatus) {
  switch (eStatus) {
    case RCS_OK: return "RCS_OK";
    case RCS_CAP_REACHED: return "RCS_CAP_REACHED";
    case RCS_OUT_OF_MEMORY: return "RCS_OUT_OF_MEMORY";
    case RCS_ROW_TOO_LARGE: return "RCS_ROW_TOO_LARGE";
    case RCS_IDENTIFIER_TOO_LARGE: return "RCS_IDENTIFIER_TOO_LARGE";
    case RCS_LAYOUT_MISMATCH: return "RCS_LAYOUT_MISMATCH";
    case RCS_NO_SUCH_ROW: return "RCS_NO_SUCH_ROW";
    case RCS_BAD_ARGUMENT: return "RCS_BAD_ARGUMENT";
  }
  return "?";
}

CNARecordCache::CNARecordCache() {
  static_assert(sizeof(_stEntry) == kRecordCacheEntryBytes, "the cap counts an entry's bytes");
}

CNARecordCache::~CNARecordCache() {
  _FreeRows();
  XMALLOC_Del_(m_pSegments);
}

void CNARecordCache::_FreeRows() {
  for (int i = 0; i < m_nChunksKept; ++i) XMALLOC_Del_(m_pChunks[i].pby);
  XMALLOC_Del_(m_pChunks);
  m_pChunks = nullptr;
  m_nChunks = 0;
  m_nChunksKept = 0;
  m_nChunkSlots = 0;
  for (int i = 0; i < m_nBlocks; ++i) XMALLOC_Del_(m_ppBlocks[i]);
  XMALLOC_Del_(m_ppBlocks);
  m_ppBlocks = nullptr;
  m_nBlocks = 0;
  m_nBlockSlots = 0;
  XMALLOC_Del_(m_pnBuckets);
  m_pnBuckets = nullptr;
  m_nBuckets = 0;
  m_nHashed = 0;
  m_nCount = 0;
  m_llPackedBytes = 0;
}

void CNARecordCache::SupprimeTout() {
  _FreeRows();
  m_llFirstRow = 0;
  m_bComplete = false;
  m_bCapReached = false;
}

void CNARecordCache::EmptyFrom(long long llFirstRow) {
  // The blocks stay for the rows to come: a statement that restarts after
  // the cap fills them again at once.
  for (int i = 0; i < m_nChunks; ++i) m_pChunks[i].nUsed = 0;
  m_nChunks = 0;
  for (int i = 0; i < m_nBuckets && m_pnBuckets != nullptr; ++i) m_pnBuckets[i] = -1;
  m_nHashed = 0;
  m_nCount = 0;
  m_llPackedBytes = 0;
  m_llFirstRow = llFirstRow;
  m_bComplete = false;
  m_bCapReached = false;
}

// ---------------------------------------------------------------------------
// Layout

eRECORDCACHESTATUS CNARecordCache::eInit(INADataSourceDescription* piSource) {
  if (piSource == nullptr) return RCS_LAYOUT_MISMATCH;
  const int nPhysical = piSource->nGetNumItemPhysicallyInFic();
  const int nDisk = piSource->nGetDiskRecordSize();
  if (nPhysical < 0 || nDisk < 0) return RCS_LAYOUT_MISMATCH;
  // The same rule as the record buffer's, so that its buffers match.
  const int nFlags = nPhysical == 0 ? 0 : (nPhysical - 1) / 8 + 1;
  if (static_cast<long long>(nFlags) + nDisk > INT_MAX - CNAZBRecord::kSerializeHeaderSize)
    return RCS_LAYOUT_MISMATCH;

  _stSegment* pSegments = nullptr;
  int nSegments = 0;
  int nSlots = 0;
  bool bOutOfMemory = false;
  const int nItems = piSource->nGetNumItems();
  for (int i = 0; i < nItems && !bOutOfMemory; ++i) {
    INAItemDescription* piItem = piSource->piNAGetItem(static_cast<unsigned int>(i));
    if (piItem == nullptr) continue;
    int bUnicode = -1;
    if (!piItem->bIsComposedKey() && !piItem->bMemo()) {
      switch (piItem->eNAGetItemType()) {
        case NA_IT_TEXTE:
        case NA_IT_BINAIRE:
          bUnicode = 0;
          break;
        case NA_IT_UNICODE:
          bUnicode = 1;
          break;
        default:
          break;
      }
    }
    // Memo slots, numbers, dates and every other fixed-width item stay as
    // they are: only the slots that hold a value of varying length shrink.
    if (bUnicode >= 0) {
      const long long nSize = piItem->nGetItemSize();
      const long long nOffset = piItem->nGetOffset(0);
      const int nDimension = piItem->nGetDimension();
      const long long nKept = bUnicode ? (nSize & ~1LL) : nSize;
      for (int e = 0; e < nDimension && nKept > 0 && nOffset >= 0; ++e) {
        const long long nAt = nOffset + e * nSize;
        // Elements lie one after the other: past the area, so are the rest.
        if (nAt + nKept > nDisk) break;
        if (nSegments == nSlots) {
          const int nNew = nSlots == 0 ? 16 : 2 * nSlots;
          auto* p = static_cast<_stSegment*>(
              XMALLOC_pResize_(pSegments, static_cast<unsigned int>(nNew * sizeof(_stSegment))));
          if (p == nullptr) {
            bOutOfMemory = true;
            break;
          }
          pSegments = p;
          nSlots = nNew;
        }
        pSegments[nSegments++] = {static_cast<int>(nAt), static_cast<int>(nKept), bUnicode};
      }
    }
    piItem->nExternalRelease();
  }
  if (bOutOfMemory) {
    XMALLOC_Del_(pSegments);
    return RCS_OUT_OF_MEMORY;
  }
  // In offset order; a slot that overlaps the one before it (a description
  // that places two items on the same bytes) is kept as plain bytes.
  std::sort(pSegments, pSegments + nSegments,
            [](const _stSegment& a, const _stSegment& b) { return a.nOffset < b.nOffset; });
  int nKept = 0;
  int nEnd = 0;
  for (int i = 0; i < nSegments; ++i) {
    if (pSegments[i].nOffset < nEnd) continue;
    nEnd = pSegments[i].nOffset + pSegments[i].nSize;
    pSegments[nKept++] = pSegments[i];
  }

  XMALLOC_Del_(m_pSegments);
  m_pSegments = pSegments;
  m_nSegments = nKept;
  m_nFlagFieldSize = nFlags;
  m_nBufferLength = nFlags + nDisk;
  SupprimeTout();
  return RCS_OK;
}

// ---------------------------------------------------------------------------
// Packed rows

long long CNARecordCache::_llPack(const CNAZBRecord* pclRecord, const unsigned char* pbyId,
                                  unsigned int nIdSize, const _stRecordCacheMemo* pMemos,
                                  int nMemos, unsigned char* pbyOut) const {
  RowWriter w{pbyOut};
  w.Varint(nIdSize);
  w.Bytes(pbyId, nIdSize);
  const unsigned char* pbyBuffer = pclRecord->pbyGetNullValuesFlags();
  w.Bytes(pbyBuffer, static_cast<unsigned int>(m_nFlagFieldSize));
  const unsigned char* pbyValues = pbyBuffer + m_nFlagFieldSize;
  int nAt = 0;
  for (int i = 0; i < m_nSegments; ++i) {
    const _stSegment& seg = m_pSegments[i];
    w.Bytes(pbyValues + nAt, static_cast<unsigned int>(seg.nOffset - nAt));
    const unsigned char* pbySlot = pbyValues + seg.nOffset;
    const unsigned int nUsed = nTrimmedSize(pbySlot, static_cast<unsigned int>(seg.nSize));
    if (!seg.bUnicode) {
      w.Varint(nUsed);
      w.Bytes(pbySlot, nUsed);
    } else {
      const unsigned int nUnits = (nUsed + 1) / 2;
      bool bNarrow = true;
      for (unsigned int u = 0; u < nUnits; ++u) {
        if (pbySlot[2 * u + 1] != 0) {
          bNarrow = false;
          break;
        }
      }
      w.Varint(nUnits * 2 + (bNarrow ? 0 : 1));
      if (bNarrow)
        w.LowBytes(pbySlot, nUnits);
      else
        w.Bytes(pbySlot, 2 * nUnits);
    }
    nAt = seg.nOffset + seg.nSize;
  }
  w.Bytes(pbyValues + nAt, static_cast<unsigned int>(m_nBufferLength - m_nFlagFieldSize - nAt));
  w.Varint(static_cast<unsigned int>(nMemos));
  for (int i = 0; i < nMemos; ++i) {
    if (!pMemos[i].bPresent) {
      w.Varint(0);
    } else {
      w.Varint(pMemos[i].nSize + 1);
      w.Bytes(pMemos[i].pbyData, pMemos[i].nSize);
    }
  }
  return w.n;
}

long long CNARecordCache::_llWorstSize(unsigned int nIdSize, const _stRecordCacheMemo* pMemos,
                                       int nMemos) const {
  long long n = kMaxVarint + static_cast<long long>(nIdSize) + m_nBufferLength +
                static_cast<long long>(kMaxVarint) * m_nSegments + kMaxVarint;
  for (int i = 0; i < nMemos; ++i) n += kMaxVarint + (pMemos[i].bPresent ? pMemos[i].nSize : 0);
  return n;
}

const unsigned char* CNARecordCache::_pbySkipValues(const unsigned char* p) const {
  unsigned int n;
  p = pbyGetVarint(p, &n);
  p += n + m_nFlagFieldSize;
  int nAt = 0;
  for (int i = 0; i < m_nSegments; ++i) {
    const _stSegment& seg = m_pSegments[i];
    p += seg.nOffset - nAt;
    p = pbyGetVarint(p, &n);
    p += seg.bUnicode ? ((n & 1) ? n - 1 : n / 2) : n;
    nAt = seg.nOffset + seg.nSize;
  }
  return p + (m_nBufferLength - m_nFlagFieldSize - nAt);
}

int CNARecordCache::_nRowSize(const unsigned char* pbyRow) const {
  const unsigned char* p = _pbySkipValues(pbyRow);
  unsigned int nMemos;
  p = pbyGetVarint(p, &nMemos);
  for (unsigned int i = 0; i < nMemos; ++i) {
    unsigned int n;
    p = pbyGetVarint(p, &n);
    if (n != 0) p += n - 1;
  }
  return static_cast<int>(p - pbyRow);
}

CNARecordCache::_stEntry* CNARecordCache::_pEntry(int nIndex) const {
  return m_ppBlocks[nIndex / kRecordCacheIndexStep] + nIndex % kRecordCacheIndexStep;
}

const unsigned char* CNARecordCache::_pbyRow(const _stEntry* pEntry) const {
  return m_pChunks[pEntry->dwPosition >> kOffsetBits].pby + (pEntry->dwPosition & kOffsetMask);
}

unsigned char* CNARecordCache::_pbyReserve(int nSize, unsigned int* pdwPosition) {
  if (m_nChunks > 0) {
    _stChunk& last = m_pChunks[m_nChunks - 1];
    if (last.nCapacity - last.nUsed >= nSize) {
      *pdwPosition = (static_cast<unsigned int>(m_nChunks - 1) << kOffsetBits) |
                     static_cast<unsigned int>(last.nUsed);
      return last.pby + last.nUsed;
    }
  }
  // A row never straddles two chunks: the rest of this one stays unused.
  if (m_nChunks >= kMaxChunks) return nullptr;
  long long nCapacity = m_nChunks == 0 ? kRecordCacheFirstChunk
                                       : 2LL * m_pChunks[m_nChunks - 1].nCapacity;
  if (nCapacity > kRecordCacheChunkMax) nCapacity = kRecordCacheChunkMax;
  if (nCapacity < nSize) nCapacity = nSize;
  if (m_nChunks < m_nChunksKept) {
    // A chunk kept from before the cache was emptied, replaced when it is
    // too small for this row.
    _stChunk& kept = m_pChunks[m_nChunks];
    if (kept.nCapacity < nSize) {
      auto* pby = static_cast<unsigned char*>(XMALLOC_pNew_(static_cast<unsigned int>(nCapacity)));
      if (pby == nullptr) return nullptr;
      XMALLOC_Del_(kept.pby);
      kept = {pby, static_cast<int>(nCapacity), 0};
    }
    kept.nUsed = 0;
    *pdwPosition = static_cast<unsigned int>(m_nChunks) << kOffsetBits;
    return m_pChunks[m_nChunks++].pby;
  }
  if (m_nChunks == m_nChunkSlots) {
    const int nNew = m_nChunkSlots == 0 ? 8 : 2 * m_nChunkSlots;
    auto* p = static_cast<_stChunk*>(
        XMALLOC_pResize_(m_pChunks, static_cast<unsigned int>(nNew * sizeof(_stChunk))));
    if (p == nullptr) return nullptr;
    m_pChunks = p;
    m_nChunkSlots = nNew;
  }
  auto* pby = static_cast<unsigned char*>(XMALLOC_pNew_(static_cast<unsigned int>(nCapacity)));
  if (pby == nullptr) return nullptr;
  m_pChunks[m_nChunks] = {pby, static_cast<int>(nCapacity), 0};
  *pdwPosition = static_cast<unsigned int>(m_nChunks) << kOffsetBits;
  m_nChunksKept = ++m_nChunks;
  return pby;
}

int CNARecordCache::_bGrowIndex() {
  if (m_nCount < m_nBlocks * kRecordCacheIndexStep) return 1;
  if (m_nBlocks == m_nBlockSlots) {
    const int nNew = m_nBlockSlots == 0 ? 4 : 2 * m_nBlockSlots;
    auto** pp = static_cast<_stEntry**>(
        XMALLOC_pResize_(m_ppBlocks, static_cast<unsigned int>(nNew * sizeof(_stEntry*))));
    if (pp == nullptr) return 0;
    m_ppBlocks = pp;
    m_nBlockSlots = nNew;
  }
  auto* pBlock = static_cast<_stEntry*>(
      XMALLOC_pNew_(static_cast<unsigned int>(kRecordCacheIndexStep * sizeof(_stEntry))));
  if (pBlock == nullptr) return 0;
  m_ppBlocks[m_nBlocks++] = pBlock;
  return 1;
}

// ---------------------------------------------------------------------------
// Identifier hash

unsigned int CNARecordCache::dwHashIdentifier(const unsigned char* pbyId, unsigned int nIdSize) {
  // FNV-1a: identifiers are short key values; every byte counts.
  unsigned int h = 2166136261u;
  for (unsigned int i = 0; i < nIdSize; ++i) {
    h ^= pbyId[i];
    h *= 16777619u;
  }
  return h;
}

void CNARecordCache::_HashLink(int nIndex, _stEntry* pEntry) {
  int& nHead = m_pnBuckets[pEntry->dwHash % static_cast<unsigned int>(m_nBuckets)];
  pEntry->nNext = nHead;
  nHead = nIndex;
  ++m_nHashed;
}

void CNARecordCache::_HashUnlink(int nIndex, _stEntry* pEntry) {
  if (pEntry->nNext == kNotHashed) return;
  int* pnLink = &m_pnBuckets[pEntry->dwHash % static_cast<unsigned int>(m_nBuckets)];
  while (*pnLink != nIndex) pnLink = &_pEntry(*pnLink)->nNext;
  *pnLink = pEntry->nNext;
  pEntry->nNext = kNotHashed;
  --m_nHashed;
}

void CNARecordCache::_MaybeGrowBuckets() {
  if (m_nHashed <= 2 * m_nBuckets) return;
  int nNew = m_nBuckets;
  for (int n : kBucketLadder) {
    if (n > m_nBuckets) {
      nNew = n;
      break;
    }
  }
  if (nNew == m_nBuckets) return;
  auto* pn = static_cast<int*>(XMALLOC_pNew_(static_cast<unsigned int>(nNew * sizeof(int))));
  // Without the larger table the chains only grow longer: still correct.
  if (pn == nullptr) return;
  XMALLOC_Del_(m_pnBuckets);
  m_pnBuckets = pn;
  m_nBuckets = nNew;
  for (int i = 0; i < nNew; ++i) pn[i] = -1;
  m_nHashed = 0;
  for (int i = 0; i < m_nCount; ++i) {
    _stEntry* pEntry = _pEntry(i);
    if (pEntry->nNext != kNotHashed) _HashLink(i, pEntry);
  }
}

long long CNARecordCache::llFindRow(const unsigned char* pbyId, unsigned int nIdSize) const {
  if (pbyId == nullptr || nIdSize == 0 || m_pnBuckets == nullptr) return -1;
  const unsigned int dwHash = dwHashIdentifier(pbyId, nIdSize);
  int nBest = -1;
  for (int i = m_pnBuckets[dwHash % static_cast<unsigned int>(m_nBuckets)]; i >= 0;) {
    const _stEntry* pEntry = _pEntry(i);
    if (pEntry->dwHash == dwHash && (nBest < 0 || i < nBest)) {
      unsigned int n;
      const unsigned char* p = pbyGetVarint(_pbyRow(pEntry), &n);
      if (n == nIdSize && std::memcmp(p, pbyId, n) == 0) nBest = i;
    }
    i = pEntry->nNext;
  }
  return nBest < 0 ? -1 : m_llFirstRow + nBest;
}

// ---------------------------------------------------------------------------
// Rows

eRECORDCACHESTATUS CNARecordCache::Insere(long long llRow, const CNAZBRecord* pclRecord,
                                          int nState, const unsigned char* pbyId,
                                          unsigned int nIdSize, const _stRecordCacheMemo* pMemos,
                                          int nMemos) {
  if (pclRecord == nullptr || nMemos < 0 || (nMemos > 0 && pMemos == nullptr) ||
      (nIdSize > 0 && pbyId == nullptr))
    return RCS_BAD_ARGUMENT;
  for (int i = 0; i < nMemos; ++i) {
    if (pMemos[i].bPresent && pMemos[i].nSize > 0 && pMemos[i].pbyData == nullptr)
      return RCS_BAD_ARGUMENT;
  }
  if (m_nBufferLength < 0 || pclRecord->pbyGetNullValuesFlags() == nullptr ||
      pclRecord->nGetBufferLength() != m_nBufferLength ||
      pclRecord->nGetFlagFieldSize() != m_nFlagFieldSize)
    return RCS_LAYOUT_MISMATCH;
  const bool bAppend = llRow == llGetEndRow();
  if (!bAppend && !bHolds(llRow)) return RCS_NO_SUCH_ROW;
  if (nIdSize > static_cast<unsigned int>(kRecordCacheChunkMax - 2 * kMaxVarint))
    return RCS_IDENTIFIER_TOO_LARGE;
  for (int i = 0; i < nMemos; ++i) {
    if (pMemos[i].bPresent && pMemos[i].nSize > static_cast<unsigned int>(kRecordCacheChunkMax))
      return RCS_ROW_TOO_LARGE;
  }
  if (bAppend && m_nCount >= kMaxRows) {
    m_bCapReached = true;
    return RCS_CAP_REACHED;
  }
  // Everything that can fail comes before the first change.
  if (bAppend && !_bGrowIndex()) return RCS_OUT_OF_MEMORY;
  if (nIdSize > 0 && m_pnBuckets == nullptr) {
    m_pnBuckets = static_cast<int*>(
        XMALLOC_pNew_(static_cast<unsigned int>(kRecordCacheFirstBuckets * sizeof(int))));
    if (m_pnBuckets == nullptr) return RCS_OUT_OF_MEMORY;
    m_nBuckets = kRecordCacheFirstBuckets;
    for (int i = 0; i < m_nBuckets; ++i) m_pnBuckets[i] = -1;
  }

  const int nIndex = bAppend ? m_nCount : static_cast<int>(llRow - m_llFirstRow);
  _stEntry* pEntry = _pEntry(nIndex);
  const long long llUsed = llGetBytesUsed();
  unsigned int dwPosition = 0;
  long long nSize;
  bool bNewBytes = true;
  if (bAppend) {
    // The hot road: when even the longest form fits the current chunk, the
    // row is packed straight into it and measured as it goes.
    unsigned char* pbyDirect = nullptr;
    if (m_nChunks > 0) {
      _stChunk& last = m_pChunks[m_nChunks - 1];
      if (_llWorstSize(nIdSize, pMemos, nMemos) <= last.nCapacity - last.nUsed) {
        pbyDirect = last.pby + last.nUsed;
        dwPosition = (static_cast<unsigned int>(m_nChunks - 1) << kOffsetBits) |
                     static_cast<unsigned int>(last.nUsed);
      }
    }
    if (pbyDirect != nullptr) {
      nSize = _llPack(pclRecord, pbyId, nIdSize, pMemos, nMemos, pbyDirect);
      // A refused row leaves only bytes in unused room behind.
      if (m_nCount > 0 && llUsed + nSize + kRecordCacheEntryBytes > m_llCap) {
        m_bCapReached = true;
        return RCS_CAP_REACHED;
      }
    } else {
      nSize = _llPack(pclRecord, pbyId, nIdSize, pMemos, nMemos, nullptr);
      if (nSize > kRecordCacheChunkMax) return RCS_ROW_TOO_LARGE;
      if (m_nCount > 0 && llUsed + nSize + kRecordCacheEntryBytes > m_llCap) {
        m_bCapReached = true;
        return RCS_CAP_REACHED;
      }
      unsigned char* pby = _pbyReserve(static_cast<int>(nSize), &dwPosition);
      if (pby == nullptr) return RCS_OUT_OF_MEMORY;
      _llPack(pclRecord, pbyId, nIdSize, pMemos, nMemos, pby);
    }
  } else {
    nSize = _llPack(pclRecord, pbyId, nIdSize, pMemos, nMemos, nullptr);
    if (nSize > kRecordCacheChunkMax) return RCS_ROW_TOO_LARGE;
    unsigned char* pbyOld = const_cast<unsigned char*>(_pbyRow(pEntry));
    if (nSize <= _nRowSize(pbyOld)) {
      // In place: the row keeps its room (the rest of it stays unused).
      dwPosition = pEntry->dwPosition;
      bNewBytes = false;
      _llPack(pclRecord, pbyId, nIdSize, pMemos, nMemos, pbyOld);
    } else {
      if (llUsed + nSize > m_llCap) {
        m_bCapReached = true;
        return RCS_CAP_REACHED;
      }
      unsigned char* pby = _pbyReserve(static_cast<int>(nSize), &dwPosition);
      if (pby == nullptr) return RCS_OUT_OF_MEMORY;
      _llPack(pclRecord, pbyId, nIdSize, pMemos, nMemos, pby);
    }
    _HashUnlink(nIndex, pEntry);
  }

  if (bNewBytes) {
    m_pChunks[dwPosition >> kOffsetBits].nUsed += static_cast<int>(nSize);
    m_llPackedBytes += nSize;
  }
  pEntry->dwPosition = dwPosition;
  pEntry->nState = nState;
  pEntry->nNext = kNotHashed;
  pEntry->dwHash = 0;
  if (bAppend) ++m_nCount;
  if (nIdSize > 0) {
    pEntry->dwHash = dwHashIdentifier(pbyId, nIdSize);
    _HashLink(nIndex, pEntry);
    _MaybeGrowBuckets();
  }
  return RCS_OK;
}

eRECORDCACHESTATUS CNARecordCache::eGetAt(long long llRow, CNAZBRecord* pclOut,
                                          int* pnState) const {
  if (pclOut == nullptr) return RCS_BAD_ARGUMENT;
  if (!bHolds(llRow)) return RCS_NO_SUCH_ROW;
  if (pclOut->pbyGetNullValuesFlags() == nullptr || pclOut->nGetBufferLength() != m_nBufferLength ||
      pclOut->nGetFlagFieldSize() != m_nFlagFieldSize)
    return RCS_LAYOUT_MISMATCH;
  const _stEntry* pEntry = _pEntry(static_cast<int>(llRow - m_llFirstRow));
  const unsigned char* p = _pbyRow(pEntry);
  unsigned int n;
  p = pbyGetVarint(p, &n);
  p += n;
  unsigned char* pbyBuffer = pclOut->pbyGetNullValuesFlags();
  std::memcpy(pbyBuffer, p, static_cast<size_t>(m_nFlagFieldSize));
  p += m_nFlagFieldSize;
  unsigned char* pbyValues = pbyBuffer + m_nFlagFieldSize;
  int nAt = 0;
  for (int i = 0; i < m_nSegments; ++i) {
    const _stSegment& seg = m_pSegments[i];
    const size_t nPlain = static_cast<size_t>(seg.nOffset - nAt);
    std::memcpy(pbyValues + nAt, p, nPlain);
    p += nPlain;
    unsigned char* pbySlot = pbyValues + seg.nOffset;
    p = pbyGetVarint(p, &n);
    unsigned int nBytes;
    if (!seg.bUnicode) {
      nBytes = n;
      std::memcpy(pbySlot, p, nBytes);
      p += nBytes;
    } else {
      const unsigned int nUnits = n >> 1;
      nBytes = 2 * nUnits;
      if (n & 1) {
        std::memcpy(pbySlot, p, nBytes);
        p += nBytes;
      } else {
        for (unsigned int u = 0; u < nUnits; ++u) {
          pbySlot[2 * u] = p[u];
          pbySlot[2 * u + 1] = 0;
        }
        p += nUnits;
      }
    }
    std::memset(pbySlot + nBytes, 0, static_cast<size_t>(seg.nSize) - nBytes);
    nAt = seg.nOffset + seg.nSize;
  }
  std::memcpy(pbyValues + nAt, p, static_cast<size_t>(m_nBufferLength - m_nFlagFieldSize - nAt));
  if (pnState != nullptr) *pnState = pEntry->nState;
  return RCS_OK;
}

int CNARecordCache::nGetMemoCount(long long llRow) const {
  if (!bHolds(llRow)) return 0;
  unsigned int n;
  pbyGetVarint(_pbySkipValues(_pbyRow(_pEntry(static_cast<int>(llRow - m_llFirstRow)))), &n);
  return static_cast<int>(n);
}

eRECORDCACHESTATUS CNARecordCache::eGetMemo(long long llRow, int nMemo,
                                            _stRecordCacheMemo* pOut) const {
  if (pOut == nullptr || nMemo < 0) return RCS_BAD_ARGUMENT;
  if (!bHolds(llRow)) return RCS_NO_SUCH_ROW;
  *pOut = _stRecordCacheMemo{};
  const unsigned char* p =
      _pbySkipValues(_pbyRow(_pEntry(static_cast<int>(llRow - m_llFirstRow))));
  unsigned int nMemos;
  p = pbyGetVarint(p, &nMemos);
  for (unsigned int i = 0; i < nMemos; ++i) {
    unsigned int n;
    p = pbyGetVarint(p, &n);
    if (i == static_cast<unsigned int>(nMemo)) {
      if (n != 0) {
        pOut->pbyData = p;
        pOut->nSize = n - 1;
        pOut->bPresent = 1;
      }
      break;
    }
    if (n != 0) p += n - 1;
  }
  return RCS_OK;
}

eRECORDCACHESTATUS CNARecordCache::eGetIdentifier(long long llRow, const unsigned char** ppbyId,
                                                  unsigned int* pnIdSize) const {
  if (ppbyId == nullptr || pnIdSize == nullptr) return RCS_BAD_ARGUMENT;
  if (!bHolds(llRow)) return RCS_NO_SUCH_ROW;
  *ppbyId = pbyGetVarint(_pbyRow(_pEntry(static_cast<int>(llRow - m_llFirstRow))), pnIdSize);
  return RCS_OK;
}

int CNARecordCache::nGetState(long long llRow) const {
  if (!bHolds(llRow)) return -1;
  return _pEntry(static_cast<int>(llRow - m_llFirstRow))->nState;
}

eRECORDCACHESTATUS CNARecordCache::eSetState(long long llRow, int nState) {
  if (!bHolds(llRow)) return RCS_NO_SUCH_ROW;
  _pEntry(static_cast<int>(llRow - m_llFirstRow))->nState = nState;
  return RCS_OK;
}

long long CNARecordCache::nGetPosition(long long llCurrent, eNA_PARSEDIRECTION eDirection,
                                       long long llStep) const {
  switch (eDirection) {
    case NA_PARSE_FIRST: return llSaturatedAdd(-1, llStep);
    case NA_PARSE_LAST: return llSaturatedSub(llGetEndRow(), llStep);
    case NA_PARSE_NEXT: return llSaturatedAdd(llCurrent, llStep);
    case NA_PARSE_PREVIOUS: return llSaturatedSub(llCurrent, llStep);
    default: return llCurrent;
  }
}

// ---------------------------------------------------------------------------
// Inspection

long long CNARecordCache::llGetBytesHeld() const {
  long long n = static_cast<long long>(sizeof *this);
  for (int i = 0; i < m_nChunksKept; ++i) n += m_pChunks[i].nCapacity;
  n += static_cast<long long>(m_nChunkSlots) * sizeof(_stChunk);
  n += static_cast<long long>(m_nBlocks) * kRecordCacheIndexStep * sizeof(_stEntry);
  n += static_cast<long long>(m_nBlockSlots) * sizeof(_stEntry*);
  if (m_pnBuckets != nullptr) n += static_cast<long long>(m_nBuckets) * sizeof(int);
  n += static_cast<long long>(m_nSegments) * sizeof(_stSegment);
  return n;
}

int CNARecordCache::nGetChunkCapacity(int nChunk) const {
  return nChunk >= 0 && nChunk < m_nChunks ? m_pChunks[nChunk].nCapacity : 0;
}

int CNARecordCache::nGetChunkUsed(int nChunk) const {
  return nChunk >= 0 && nChunk < m_nChunks ? m_pChunks[nChunk].nUsed : 0;
}

int CNARecordCache::nGetChunkOfRow(long long llRow) const {
  if (!bHolds(llRow)) return -1;
  return static_cast<int>(_pEntry(static_cast<int>(llRow - m_llFirstRow))->dwPosition >> kOffsetBits);
}

int CNARecordCache::nGetRowSize(long long llRow) const {
  if (!bHolds(llRow)) return 0;
  return _nRowSize(_pbyRow(_pEntry(static_cast<int>(llRow - m_llFirstRow))));
}

int CNARecordCache::bVerify() const {
  long long nUsed = 0;
  if (m_nChunks < 0 || m_nChunks > m_nChunksKept || m_nChunksKept > m_nChunkSlots) return 0;
  for (int i = 0; i < m_nChunksKept; ++i) {
    const _stChunk& c = m_pChunks[i];
    if (c.pby == nullptr || c.nCapacity <= 0 || c.nCapacity > kRecordCacheChunkMax ||
        c.nUsed < 0 || c.nUsed > c.nCapacity || (i >= m_nChunks && c.nUsed != 0))
      return 0;
    nUsed += c.nUsed;
  }
  if (nUsed != m_llPackedBytes) return 0;
  if (m_nCount < 0 || m_nCount > m_nBlocks * kRecordCacheIndexStep) return 0;
  int nWithId = 0;
  for (int i = 0; i < m_nCount; ++i) {
    const _stEntry* pEntry = _pEntry(i);
    const int nChunk = static_cast<int>(pEntry->dwPosition >> kOffsetBits);
    const int nOffset = static_cast<int>(pEntry->dwPosition & kOffsetMask);
    if (nChunk >= m_nChunks) return 0;
    if (nOffset + _nRowSize(_pbyRow(pEntry)) > m_pChunks[nChunk].nUsed) return 0;
    unsigned int nId;
    pbyGetVarint(_pbyRow(pEntry), &nId);
    if ((nId > 0) != (pEntry->nNext != kNotHashed)) return 0;
    if (nId > 0) ++nWithId;
  }
  if (nWithId != m_nHashed) return 0;
  if (m_nHashed > 0 && m_pnBuckets == nullptr) return 0;
  int nLinked = 0;
  for (int b = 0; b < m_nBuckets && m_pnBuckets != nullptr; ++b) {
    for (int i = m_pnBuckets[b]; i != -1;) {
      if (i < 0 || i >= m_nCount || ++nLinked > m_nHashed) return 0;
      const _stEntry* pEntry = _pEntry(i);
      if (pEntry->dwHash % static_cast<unsigned int>(m_nBuckets) != static_cast<unsigned int>(b))
        return 0;
      unsigned int nId;
      const unsigned char* p = pbyGetVarint(_pbyRow(pEntry), &nId);
      if (dwHashIdentifier(p, nId) != pEntry->dwHash) return 0;
      i = pEntry->nNext;
    }
  }
  return nLinked == m_nHashed ? 1 : 0;
}
