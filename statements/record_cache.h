// CNARecordCache: the rows a statement has fetched, kept packed in memory so
// that a browse can move forwards and backwards, and find a row again by its
// identifier, without going back to the server.
//
// Rows. Each row is the record buffer (CNAZBRecord) of one result row, with
// its state word (kRecordValueDeleted: crossed out since it was read), its
// identifier bytes and the contents of its memos. Row numbers are the
// result's (signed 64-bit, 0 = the first row of the result); the cache holds
// the consecutive rows llGetFirstRow() .. llGetEndRow() - 1. A statement that
// hits the byte cap empties the cache and goes on from its current row
// (EmptyFrom), so the first row held need not be 0.
//
// Packed form of one row, written into chunks (blocks of at most
// kRecordCacheChunkMax bytes that are never moved, the first one small, each
// next one twice the last):
//   varint identifier length, identifier bytes;
//   the defined-flags field as it is;
//   the values area in offset order: fixed-width slots (numbers, dates,
//   decimals, memo slots, padding) as they are; 8-bit text and binary slots
//   as a varint length and their bytes without the trailing zeros; Unicode
//   slots as a varint (units * 2 + wide) and their UTF-16 units without the
//   trailing zero units, one byte per unit when every unit is below 0x100,
//   else two;
//   varint memo count, then per memo a varint (0: none, else size + 1) and
//   its bytes.
// Only trailing zeros are dropped, and the reader zero-fills them again, so
// every buffer reads back byte for byte as it was stored whatever its slots
// hold. A row never straddles two chunks: one that does not fit the rest of
// the current chunk starts the next one.
//
// Row index: one entry per row (position in the chunks, state, hash chain)
// in blocks of kRecordCacheIndexStep entries; rows never move in it.
// Identifiers: a chained hash of kRecordCacheFirstBuckets buckets that grows
// (prime sizes) as rows come, so that finding a row by its identifier stays
// a few comparisons. The identifier is the values of the primary key, else
// of the first unique key that allows no NULL, else of every column; the
// caller builds the bytes, the cache stores and compares them.
//
// Heap: chunks, index blocks and hash buckets are the only blocks; storing a
// row takes none of its own (one block per 500 rows, one per chunk, the
// buckets as they grow), and none at all while the blocks kept by EmptyFrom
// last; reading a row, its memos or its identifier and finding a row take
// none.
//
// Speed (bench/record_cache_bench, 100,000 rows of the fetch reference's six
// columns, under qemu-i386 on a loaded machine): storing with identifier and
// memo about 6 times, reading back about 3 times the CPU time of memcpy of the
// whole buffer and memo into / out of one arena; 165 bytes per row against
// the buffer's 221.
//
// Bound: the bytes used (packed rows, including the room of rows replaced
// by longer ones, plus one index entry per row) never pass the byte cap
// (kRecordCacheDefaultCap unless set); a row that would pass it is refused
// with RCS_CAP_REACHED and nothing changes. An empty cache always takes its
// first row, so that a statement that restarts after the cap always moves.
//
// Failures are typed (eRECORDCACHESTATUS): a row larger than a chunk, an
// identifier that can never fit, a buffer of another layout, a row number
// outside the rows held or memory running out leave the cache as it was.
//
// Ownership: counted (CInterf, born at 0); the statement that creates it
// takes the first reference. The cache owns its chunks and index; memo and
// identifier bytes it hands out stay valid until the cache is emptied or
// that row replaced.
// Threads: none of its own; used by one statement under the driver lock.
#ifndef KQ230_STATEMENTS_RECORD_CACHE_H_
#define KQ230_STATEMENTS_RECORD_CACHE_H_

#include "driver/reference_counted.h"
#include "kq230/parse_direction.h"

class CNAZBRecord;
class INADataSourceDescription;

// The largest chunk: no packed row is longer.
inline constexpr int kRecordCacheChunkMax = 0x200000;
// The first chunk: small, for the many statements that read a few rows.
inline constexpr int kRecordCacheFirstChunk = 0x4000;
// Rows per block of the row index.
inline constexpr int kRecordCacheIndexStep = 500;
// Buckets of the identifier hash while it holds few rows.
inline constexpr int kRecordCacheFirstBuckets = 7;
// Default byte cap of one cache.
inline constexpr long long kRecordCacheDefaultCap = 64LL * 1024 * 1024;
// Bytes of one row's index entry, counted against the cap with the row.
inline constexpr int kRecordCacheEntryBytes = 16;

enum eRECORDCACHESTATUS : int {
  RCS_OK = 0,
  // The row would take the bytes used past the cap: nothing stored.
  RCS_CAP_REACHED = 1,
  RCS_OUT_OF_MEMORY = 2,
  // The packed row would be longer than a chunk.
  RCS_ROW_TOO_LARGE = 3,
  // The identifier alone is longer than a chunk can hold.
  RCS_IDENTIFIER_TOO_LARGE = 4,
  // The buffer is not of the cache's layout, or the cache has none yet.
  RCS_LAYOUT_MISMATCH = 5,
  // The row number is outside the rows held (or, storing, neither one of
  // them nor the next).
  RCS_NO_SUCH_ROW = 6,
  // A null pointer with a length, a negative count, a null buffer.
  RCS_BAD_ARGUMENT = 7,
};

// The name of a status ("RCS_CAP_REACHED"), for traces; "?" for others.
const char* pszRecordCacheStatusName(eRECORDCACHESTATUS eStatus);

// One memo's contents as a row stores or gives it back. Absent (bPresent 0)
// is a NULL memo; present with nSize 0 an empty one.
struct _stRecordCacheMemo {
  const unsigned char* pbyData = nullptr;
  unsigned int nSize = 0;
  int bPresent = 0;
};

class CNARecordCache final : public CInterf {
 public:
  CNARecordCache();
  ~CNARecordCache() override;
  CNARecordCache(const CNARecordCache&) = delete;
  CNARecordCache& operator=(const CNARecordCache&) = delete;

  // ---- Layout
  // Takes the layout of the description's records (bit field, values area,
  // which slots are texts, binaries and Unicode texts) and empties the
  // cache. Items that overlap another or lie outside the values area are
  // kept as plain bytes. RCS_LAYOUT_MISMATCH for a null description or
  // negative sizes, RCS_OUT_OF_MEMORY; the cache keeps its former layout
  // and rows then.
  eRECORDCACHESTATUS eInit(INADataSourceDescription* piSource);
  int bHasLayout() const { return m_nBufferLength >= 0; }

  // ---- Rows
  // Stores the buffer under row llRow: the next row (llGetEndRow()) is
  // appended, a row held is replaced (in place when its packed form is not
  // longer, else at the end of the chunks). pbyId/nIdSize: the row's
  // identifier (none when nIdSize is 0); pMemos: nMemos memo contents
  // (copied in). Every failure leaves the cache unchanged.
  // REQUIRES: pbyId holds nIdSize bytes; each present memo's pbyData holds
  // its nSize bytes.
  eRECORDCACHESTATUS Insere(long long llRow, const CNAZBRecord* pclRecord, int nState,
                            const unsigned char* pbyId = nullptr, unsigned int nIdSize = 0,
                            const _stRecordCacheMemo* pMemos = nullptr, int nMemos = 0);
  // Insere at llGetEndRow().
  eRECORDCACHESTATUS eAppend(const CNAZBRecord* pclRecord, int nState,
                             const unsigned char* pbyId = nullptr, unsigned int nIdSize = 0,
                             const _stRecordCacheMemo* pMemos = nullptr, int nMemos = 0) {
    return Insere(llGetEndRow(), pclRecord, nState, pbyId, nIdSize, pMemos, nMemos);
  }
  // Writes row llRow into the buffer (bit field and values, byte for byte
  // as stored) and its state into *pnState (may be null). The buffer must
  // be laid out for the cache's description (RCS_LAYOUT_MISMATCH, buffer
  // untouched, otherwise).
  eRECORDCACHESTATUS eGetAt(long long llRow, CNAZBRecord* pclOut, int* pnState = nullptr) const;
  int bGetAt(long long llRow, CNAZBRecord* pclOut) const { return eGetAt(llRow, pclOut) == RCS_OK; }
  // Number of memos stored with row llRow (0 for a row not held).
  int nGetMemoCount(long long llRow) const;
  // Memo nMemo of row llRow; absent when the row stored fewer memos.
  eRECORDCACHESTATUS eGetMemo(long long llRow, int nMemo, _stRecordCacheMemo* pOut) const;
  // The identifier bytes of row llRow (size 0: none).
  eRECORDCACHESTATUS eGetIdentifier(long long llRow, const unsigned char** ppbyId,
                                    unsigned int* pnIdSize) const;
  // The lowest row held whose identifier is these bytes; -1 when none (an
  // empty identifier finds nothing).
  long long llFindRow(const unsigned char* pbyId, unsigned int nIdSize) const;

  // State word of a row (kRecordValueDeleted: crossed out); -1 for a row
  // not held.
  int nGetState(long long llRow) const;
  eRECORDCACHESTATUS eSetState(long long llRow, int nState);

  // ---- Positions
  long long llGetCount() const { return m_nCount; }
  long long llGetFirstRow() const { return m_llFirstRow; }
  long long llGetEndRow() const { return m_llFirstRow + m_nCount; }
  int bHolds(long long llRow) const { return llRow >= m_llFirstRow && llRow < llGetEndRow(); }
  // Every row of the result has been stored (the fetch ran out).
  void SetFetchComplete(int bComplete = 1) { m_bComplete = bComplete != 0; }
  int bIsFetchComplete() const { return m_bComplete ? 1 : 0; }
  // Row llRow lies beyond the rows held and more may come.
  int bMustFetch(long long llRow) const { return llRow >= llGetEndRow() && !m_bComplete; }
  // Row llRow is outside the result: before its first row, or past the last
  // row of a complete cache.
  int bEndehors(long long llRow) const {
    return llRow < 0 || (m_bComplete && llRow >= llGetEndRow());
  }
  // The row a move reaches from llCurrent: first counts from before row 0,
  // last back from the end of the rows held, next and previous from
  // llCurrent, the current row stays. An unknown direction stays too.
  long long nGetPosition(long long llCurrent, eNA_PARSEDIRECTION eDirection, long long llStep) const;

  // ---- Emptying
  // No rows, not complete, cap not reached, rows start again at 0; the
  // layout and the cap stay. Gives the chunks, the index and the hash back.
  void SupprimeTout();
  // No rows, not complete, cap not reached, the next row stored being row
  // llFirstRow (a statement going on after the cap from its current row).
  // Chunks, index blocks and buckets are kept for the rows to come.
  void EmptyFrom(long long llFirstRow);

  // ---- Bytes
  // The cap on the bytes used (at least one row is always taken).
  void SetByteCap(long long llBytes) { m_llCap = llBytes; }
  long long llGetByteCap() const { return m_llCap; }
  // A row was refused for the cap since the cache was last emptied.
  int bIsCapReached() const { return m_bCapReached ? 1 : 0; }
  // Packed rows (with the room of replaced rows) plus one index entry per
  // row: what the cap bounds.
  long long llGetBytesUsed() const {
    return m_llPackedBytes + static_cast<long long>(m_nCount) * kRecordCacheEntryBytes;
  }
  // Every block the cache holds (chunks whole, kept ones too, index blocks
  // whole, buckets, layout).
  long long llGetBytesHeld() const;

  // ---- Inspection (tests, traces)
  int nGetChunkCount() const { return m_nChunks; }
  int nGetChunkCapacity(int nChunk) const;
  int nGetChunkUsed(int nChunk) const;
  // The chunk that holds row llRow; -1 for a row not held.
  int nGetChunkOfRow(long long llRow) const;
  // Packed bytes of row llRow; 0 for a row not held.
  int nGetRowSize(long long llRow) const;
  // Rows the index can take before its next block.
  int nGetIndexCapacity() const { return m_nBlocks * kRecordCacheIndexStep; }
  int nGetBucketCount() const { return m_nBuckets; }
  // The hash of identifier bytes (its bucket is the hash modulo the count).
  static unsigned int dwHashIdentifier(const unsigned char* pbyId, unsigned int nIdSize);
  // Checks every invariant of chunks, index and hash; 1 when they hold.
  int bVerify() const;

 private:
  struct _stSegment;
  struct _stEntry;
  struct _stChunk;

  _stEntry* _pEntry(int nIndex) const;
  const unsigned char* _pbyRow(const _stEntry* pEntry) const;
  // Bytes of the packed form (pbyOut null: only measured).
  long long _llPack(const CNAZBRecord* pclRecord, const unsigned char* pbyId, unsigned int nIdSize,
                    const _stRecordCacheMemo* pMemos, int nMemos, unsigned char* pbyOut) const;
  long long _llWorstSize(unsigned int nIdSize, const _stRecordCacheMemo* pMemos, int nMemos) const;
  // The start of the memo part of a packed row, and its length end.
  const unsigned char* _pbySkipValues(const unsigned char* p) const;
  int _nRowSize(const unsigned char* p) const;
  // Room for nSize bytes at the end of the chunks (a new chunk when the
  // current one lacks it); the position through *pdwPosition.
  unsigned char* _pbyReserve(int nSize, unsigned int* pdwPosition);
  int _bGrowIndex();
  void _HashLink(int nIndex, _stEntry* pEntry);
  void _HashUnlink(int nIndex, _stEntry* pEntry);
  void _MaybeGrowBuckets();
  void _FreeRows();

  // Layout (-1: none yet).
  int m_nBufferLength = -1;
  int m_nFlagFieldSize = 0;
  _stSegment* m_pSegments = nullptr;
  int m_nSegments = 0;

  // Chunks.
  // Chunks 0 .. m_nChunks - 1 hold rows; those up to m_nChunksKept - 1 are
  // kept empty from before the cache was last emptied.
  _stChunk* m_pChunks = nullptr;
  int m_nChunks = 0;
  int m_nChunksKept = 0;
  int m_nChunkSlots = 0;

  // Index.
  _stEntry** m_ppBlocks = nullptr;
  int m_nBlocks = 0;
  int m_nBlockSlots = 0;
  int m_nCount = 0;
  long long m_llFirstRow = 0;

  // Identifier hash: the first row of each bucket's chain (-1: none).
  int* m_pnBuckets = nullptr;
  int m_nBuckets = 0;
  int m_nHashed = 0;

  long long m_llPackedBytes = 0;
  long long m_llCap = kRecordCacheDefaultCap;
  bool m_bComplete = false;
  bool m_bCapReached = false;
};

#endif  // KQ230_STATEMENTS_RECORD_CACHE_H_
