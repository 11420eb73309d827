// The record cache over the stand-in server's descriptions: rows of every
// item type back byte for byte, packed slots, chunk boundaries, the index's
// blocks, the byte cap, the identifier hash, heap calls per row, bad input,
// and random operations against a reference model.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "host/harness/standin_descriptions.h"
#include "items/record_value_interface.h"
#include "statements/record_buffer.h"
#include "statements/record_cache.h"
#include "tests/support/heap_call_count.h"
#include "tests/support/standin_items.h"


namespace kqtest {
namespace {

using Source = StandInSource;

using Bytes = std::vector<unsigned char>;

Bytes BufferBytes(const CNAZBRecord& r) {
  return Bytes(r.pbyGetBuffer(), r.pbyGetBuffer() + r.nGetBufferLength());
}

const unsigned char* U(const char* p) { return reinterpret_cast<const unsigned char*>(p); }

// Wide characters as the raw store takes them (4 bytes each).
Bytes Wide(const std::wstring& s) {
  Bytes b(s.size() * sizeof(wchar_t));
  if (!b.empty()) std::memcpy(b.data(), s.data(), b.size());
  return b;
}

void StoreText(CNAZBRecord& r, INAItemDescription* piItem, const std::string& s, int nIndex = -1) {
  r.SetItemValue(piItem, U(s.data()), static_cast<unsigned int>(s.size()), nIndex);
}

void StoreWide(CNAZBRecord& r, INAItemDescription* piItem, const std::wstring& s) {
  const Bytes b = Wide(s);
  r.SetItemValue(piItem, b.data(), static_cast<unsigned int>(b.size()));
}

template <class T>
void StoreNumber(CNAZBRecord& r, INAItemDescription* piItem, T v) {
  unsigned char b[sizeof(T)];
  std::memcpy(b, &v, sizeof v);
  r.SetItemValue(piItem, b, sizeof b);
}

// One memo as the model keeps it.
struct Memo {
  bool present = false;
  Bytes data;
};

std::vector<_stRecordCacheMemo> MemoSpans(const std::vector<Memo>& memos) {
  std::vector<_stRecordCacheMemo> spans;
  for (const Memo& m : memos) {
    _stRecordCacheMemo s;
    s.bPresent = m.present ? 1 : 0;
    s.pbyData = m.data.empty() ? nullptr : m.data.data();
    s.nSize = static_cast<unsigned int>(m.data.size());
    spans.push_back(s);
  }
  return spans;
}

std::vector<Memo> MemosOf(const CNARecordCache& cache, long long llRow) {
  std::vector<Memo> memos;
  const int n = cache.nGetMemoCount(llRow);
  for (int i = 0; i < n; ++i) {
    _stRecordCacheMemo s;
    EXPECT_EQ(cache.eGetMemo(llRow, i, &s), RCS_OK);
    Memo m;
    m.present = s.bPresent != 0;
    if (s.nSize > 0) m.data.assign(s.pbyData, s.pbyData + s.nSize);
    memos.push_back(m);
  }
  return memos;
}

bool SameMemos(const std::vector<Memo>& a, const std::vector<Memo>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].present != b[i].present || a[i].data != b[i].data) return false;
  }
  return true;
}

Bytes IdentifierOf(const CNARecordCache& cache, long long llRow) {
  const unsigned char* p = nullptr;
  unsigned int n = 0;
  EXPECT_EQ(cache.eGetIdentifier(llRow, &p, &n), RCS_OK);
  return n == 0 ? Bytes() : Bytes(p, p + n);
}

// Row llRow read into a buffer first filled with 0xCC, so that a byte the
// cache does not write shows.
Bytes ReadBack(const CNARecordCache& cache, CNAZBRecord& out, long long llRow, int* pnState = nullptr) {
  std::memset(out.pbyGetNullValuesFlags(), 0xCC, static_cast<size_t>(out.nGetBufferLength()));
  EXPECT_EQ(cache.eGetAt(llRow, &out, pnState), RCS_OK) << "row " << llRow;
  return BufferBytes(out);
}

class RecordCacheTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(StandInDescriptionCounts::g_nLive, 0); }
};

// Every kind of slot the cache packs differently, and the fixed-width ones.
std::vector<StandInItemDecl> EveryKindOfItem() {
  return {ItemDecl(L"text", NA_IT_TEXTE, 12),    ItemDecl(L"bin", NA_IT_BINAIRE, 10),
          ItemDecl(L"uni", NA_IT_UNICODE, 12),   ItemDecl(L"num", NA_IT_I4, 4),
          ItemDecl(L"real", NA_IT_R8, 8),        ItemDecl(L"big", NA_IT_I8, 8),
          ItemDecl(L"day", NA_IT_DATE8, 9),      ItemDecl(L"memo", NA_IT_MEMOTEXTE, 8),
          ItemDecl(L"blob", NA_IT_MEMOBINAIRE, 8), ItemDecl(L"arr", NA_IT_TEXTE, 4, 3),
          ItemDecl(L"odd", NA_IT_UNICODE, 7),    ItemDecl(L"dec", NA_IT_DECIMAL, 17)};
}

TEST_F(RecordCacheTest, EveryItemTypeReadsBackByteForByte) {
  Source src(EveryKindOfItem());
  struct Case {
    const char* name;
    std::function<void(CNAZBRecord&)> fill;
    std::vector<Memo> memos;
  };
  auto memoNull = [&](CNAZBRecord& r) {
    r.SetItemValueDefined(src.Item(7), 0);
    r.SetItemValueDefined(src.Item(8), 0);
  };
  const Case cases[] = {
      {"every item NULL", memoNull, {{}, {}}},
      {"text at full slot", [&](CNAZBRecord& r) { StoreText(r, src.Item(0), "ABCDEFGHIJKLMNOP"); }, {}},
      {"empty text, present", [&](CNAZBRecord& r) { StoreText(r, src.Item(0), ""); }, {}},
      {"binary with zeros inside and at its end",
       [&](CNAZBRecord& r) { r.SetItemValue(src.Item(1), U("\0\x01\0\0\x02\0\0\0"), 8); }, {}},
      {"binary with a trailing zero byte",
       [&](CNAZBRecord& r) { r.SetItemValue(src.Item(1), U("\x05\0"), 2); }, {}},
      {"Unicode with a non-BMP character at the slot's end",
       [&](CNAZBRecord& r) { StoreWide(r, src.Item(2), L"abcd\U0001F600"); }, {}},
      {"Unicode all below 0x100",
       [&](CNAZBRecord& r) { StoreWide(r, src.Item(2), L"caf\u00e9\u00ff"); }, {}},
      {"Unicode with one unit above 0xFF",
       [&](CNAZBRecord& r) { StoreWide(r, src.Item(2), L"\u00e9t\u20ac"); }, {}},
      {"odd-sized Unicode slot", [&](CNAZBRecord& r) { StoreWide(r, src.Item(10), L"xyz"); }, {}},
      {"numbers at their limits",
       [&](CNAZBRecord& r) {
         StoreNumber<int32_t>(r, src.Item(3), INT32_MIN);
         StoreNumber<double>(r, src.Item(4), -0.0);
         StoreNumber<int64_t>(r, src.Item(5), INT64_MAX);
         StoreText(r, src.Item(6), "20261211");
         unsigned char dec[17];
         for (int i = 0; i < 17; ++i) dec[i] = static_cast<unsigned char>(i * 15);
         r.SetItemValue(src.Item(11), dec, sizeof dec);
       },
       {}},
      {"memos with contents, empty and absent",
       [&](CNAZBRecord& r) {
         r.SetItemValueDefined(src.Item(7), 1);
         r.SetItemValueDefined(src.Item(8), 1);
       },
       {{true, {'m', 0, 'e', 0}}, {true, {}}, {false, {}}}},
      {"array elements, one left empty",
       [&](CNAZBRecord& r) {
         StoreText(r, src.Item(9), "ab", 0);
         StoreText(r, src.Item(9), "xyzw", 2);
       },
       {}},
      {"bytes after a text's terminator and in an odd slot's last byte",
       [&](CNAZBRecord& r) {
         StoreText(r, src.Item(0), "ab");
         r.pbyGetItemValue(src.Item(0))[7] = 0x5A;
         r.pbyGetItemValue(src.Item(10))[6] = 0x77;
         r.pbyGetItemValue(src.Item(2))[5] = 0x01;
       },
       {}},
      {"random bytes everywhere",
       [&](CNAZBRecord& r) {
         std::mt19937 rng(7);
         unsigned char* p = r.pbyGetNullValuesFlags();
         for (int i = 0; i < r.nGetBufferLength(); ++i) p[i] = static_cast<unsigned char>(rng());
       },
       {{true, {1, 2, 3}}}},
  };

  CNARecordCache cache;
  ASSERT_EQ(cache.eInit(src.p), RCS_OK);
  std::vector<Bytes> stored;
  CNAZBRecord out;
  ASSERT_EQ(out.bInit(src.p, INIT_ZEROED), 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CNAZBRecord r;
    ASSERT_EQ(r.bInit(src.p, INIT_ZEROED), 1);
    c.fill(r);
    const std::vector<_stRecordCacheMemo> spans = MemoSpans(c.memos);
    const long long llRow = cache.llGetEndRow();
    ASSERT_EQ(cache.eAppend(&r, static_cast<int>(llRow), nullptr, 0, spans.data(),
                            static_cast<int>(spans.size())),
              RCS_OK);
    stored.push_back(BufferBytes(r));
    int nState = -1;
    EXPECT_EQ(ReadBack(cache, out, llRow, &nState), stored.back());
    EXPECT_EQ(nState, llRow);
    EXPECT_TRUE(SameMemos(MemosOf(cache, llRow), c.memos));
  }
  // Later rows leave the earlier ones as they were.
  for (size_t i = 0; i < stored.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(ReadBack(cache, out, static_cast<long long>(i)), stored[i]);
  }
  EXPECT_TRUE(cache.bVerify());
}

TEST_F(RecordCacheTest, TextAndUnicodeSlotsTakeOnlyTheirUsedBytes) {
  Source src({ItemDecl(L"t", NA_IT_TEXTE, 200), ItemDecl(L"u", NA_IT_UNICODE, 200), ItemDecl(L"n", NA_IT_I4, 4)});
  CNARecordCache cache;
  ASSERT_EQ(cache.eInit(src.p), RCS_OK);
  CNAZBRecord r;
  ASSERT_EQ(r.bInit(src.p, INIT_ZEROED), 1);
  auto size = [&](const std::function<void()>& fill) {
    fill();
    EXPECT_EQ(cache.eAppend(&r, 0), RCS_OK);
    return cache.nGetRowSize(cache.llGetEndRow() - 1);
  };
  // Empty slots: identifier length, flags, two lengths, the number, memo
  // count.
  const int nEmpty = size([] {});
  EXPECT_EQ(nEmpty, 1 + 1 + 1 + 1 + 4 + 1);
  EXPECT_EQ(size([&] { StoreText(r, src.Item(0), "hello"); }), nEmpty + 5);
  const int nNarrow = size([&] { StoreWide(r, src.Item(1), L"abcdefghi\u00e9"); });
  const int nWide = size([&] { StoreWide(r, src.Item(1), L"abcdefghi\u0151"); });
  EXPECT_EQ(nNarrow, nEmpty + 5 + 10) << "one byte per unit";
  EXPECT_EQ(nWide, nNarrow + 10) << "two bytes per unit once one unit passes 0xFF";
}

TEST_F(RecordCacheTest, ARowThatWouldStraddleAChunkStartsTheNextOne) {
  Source src({ItemDecl(L"t", NA_IT_TEXTE, 60000), ItemDecl(L"m", NA_IT_MEMOTEXTE, 8)});
  CNARecordCache cache;
  ASSERT_EQ(cache.eInit(src.p), RCS_OK);
  CNAZBRecord r;
  ASSERT_EQ(r.bInit(src.p, INIT_ZEROED), 1);
  CNAZBRecord out;
  ASSERT_EQ(out.bInit(src.p, INIT_ZEROED), 1);
  std::vector<Bytes> stored;
  std::mt19937 rng(3);
  for (int i = 0; i < 120; ++i) {
    // Rows of varying length, most near the slot's size.
    std::string s(59999 - rng() % 3000, static_cast<char>('a' + i % 26));
    StoreText(r, src.Item(0), s);
    ASSERT_EQ(cache.eAppend(&r, 0), RCS_OK) << i;
    stored.push_back(BufferBytes(r));
  }
  int nFullChunks = 0;
  for (int k = 0; k < cache.nGetChunkCount(); ++k) {
    EXPECT_LE(cache.nGetChunkCapacity(k), kRecordCacheChunkMax);
    if (cache.nGetChunkCapacity(k) == kRecordCacheChunkMax) ++nFullChunks;
  }
  EXPECT_GE(nFullChunks, 2);
  for (long long i = 1; i < 120; ++i) {
    const int nChunk = cache.nGetChunkOfRow(i);
    const int nBefore = cache.nGetChunkOfRow(i - 1);
    ASSERT_GE(nChunk, nBefore);
    if (nChunk != nBefore) {
      EXPECT_EQ(nChunk, nBefore + 1);
      EXPECT_GT(cache.nGetChunkUsed(nBefore) + cache.nGetRowSize(i), cache.nGetChunkCapacity(nBefore))
          << "row " << i << " would have fitted the chunk before";
    }
  }
  for (size_t i = 0; i < stored.size(); ++i) ASSERT_EQ(ReadBack(cache, out, static_cast<long long>(i)), stored[i]);
  EXPECT_TRUE(cache.bVerify());
}

TEST_F(RecordCacheTest, ARowFillingAWholeChunkFitsAndOneByteMoreIsRefused) {
  Source src({ItemDecl(L"n", NA_IT_I4, 4), ItemDecl(L"m", NA_IT_MEMOBINAIRE, 8)});
  CNARecordCache cache;
  ASSERT_EQ(cache.eInit(src.p), RCS_OK);
  CNAZBRecord r;
  ASSERT_EQ(r.bInit(src.p, INIT_ZEROED), 1);
  StoreNumber<int32_t>(r, src.Item(0), 5);
  _stRecordCacheMemo memo;
  memo.bPresent = 1;
  ASSERT_EQ(cache.eAppend(&r, 0, nullptr, 0, &memo, 1), RCS_OK);
  // The empty memo's length takes one byte, a memo of about 2 MB three.
  const int nBase = cache.nGetRowSize(0);
  Bytes data(static_cast<size_t>(kRecordCacheChunkMax - nBase - 1), 0xAB);
  memo.pbyData = data.data();
  memo.nSize = static_cast<unsigned int>(data.size());
  EXPECT_EQ(cache.eAppend(&r, 0, nullptr, 0, &memo, 1), RCS_ROW_TOO_LARGE);
  EXPECT_EQ(cache.llGetCount(), 1);
  memo.nSize -= 1;
  ASSERT_EQ(cache.eAppend(&r, 0, nullptr, 0, &memo, 1), RCS_OK);
  EXPECT_EQ(cache.nGetRowSize(1), kRecordCacheChunkMax);
  EXPECT_EQ(cache.nGetChunkCapacity(cache.nGetChunkOfRow(1)), kRecordCacheChunkMax);
  _stRecordCacheMemo back;
  ASSERT_EQ(cache.eGetMemo(1, 0, &back), RCS_OK);
  ASSERT_EQ(back.nSize, memo.nSize);
  EXPECT_EQ(std::memcmp(back.pbyData, data.data(), back.nSize), 0);
  // An identifier no chunk can hold.
  Bytes id(static_cast<size_t>(kRecordCacheChunkMax), 1);
  EXPECT_EQ(cache.eAppend(&r, 0, id.data(), static_cast<unsigned int>(id.size())),
            RCS_IDENTIFIER_TOO_LARGE);
  EXPECT_EQ(cache.llGetCount(), 2);
  EXPECT_TRUE(cache.bVerify());
}

TEST_F(RecordCacheTest, TheIndexGrowsByBlocksOf500Rows) {
  Source src({ItemDecl(L"n", NA_IT_I4, 4)});
  CNARecordCache cache;
  ASSERT_EQ(cache.eInit(src.p), RCS_OK);
  CNAZBRecord r;
  ASSERT_EQ(r.bInit(src.p, INIT_ZEROED), 1);
  for (int i = 0; i < 1234; ++i) {
    StoreNumber<int32_t>(r, src.Item(0), i * 7);
    ASSERT_EQ(cache.eAppend(&r, i), RCS_OK);
    ASSERT_EQ(cache.nGetIndexCapacity(), (i / kRecordCacheIndexStep + 1) * kRecordCacheIndexStep) << i;
  }
  CNAZBRecord out;
  ASSERT_EQ(out.bInit(src.p, INIT_ZEROED), 1);
  for (int i = 0; i < 1234; ++i) {
    int nState = -1;
    ASSERT_EQ(cache.eGetAt(i, &out, &nState), RCS_OK);
    int32_t v;
    std::memcpy(&v, out.pbyGetItemValue(src.Item(0)), sizeof v);
    ASSERT_EQ(v, i * 7);
    ASSERT_EQ(nState, i);
  }
  EXPECT_TRUE(cache.bVerify());
}

TEST_F(RecordCacheTest, StoringAndReadingRowsCallsNoAllocatorPerRow) {
  Source src({ItemDecl(L"n", NA_IT_I4, 4), ItemDecl(L"t", NA_IT_TEXTE, 40), ItemDecl(L"u", NA_IT_UNICODE, 40),
              ItemDecl(L"m", NA_IT_MEMOTEXTE, 8)});
  CNARecordCache cache;
  ASSERT_EQ(cache.eInit(src.p), RCS_OK);
  CNAZBRecord r;
  ASSERT_EQ(r.bInit(src.p, INIT_ZEROED), 1);
  CNAZBRecord out;
  ASSERT_EQ(out.bInit(src.p, INIT_ZEROED), 1);
  StoreText(r, src.Item(1), "some text of a row");
  StoreWide(r, src.Item(2), L"\u00e9t\U0001F600");
  const unsigned char memoBytes[] = "memo";
  _stRecordCacheMemo memo;
  memo.bPresent = 1;
  memo.pbyData = memoBytes;
  memo.nSize = 4;
  constexpr int kRows = 5000;
  {
    HeapCallCount count;
    for (int i = 0; i < kRows; ++i) {
      StoreNumber<int32_t>(r, src.Item(0), i);
      ASSERT_EQ(cache.eAppend(&r, 0, reinterpret_cast<const unsigned char*>(&i), sizeof i, &memo, 1),
                RCS_OK);
    }
    // Index blocks, chunks and the hash's growth only.
    EXPECT_LE(count.nCalls(), kRows / kRecordCacheIndexStep + 40);
  }
  {
    HeapCallCount count;
    for (int i = 0; i < kRows; ++i) {
      ASSERT_EQ(cache.eGetAt(i, &out), RCS_OK);
      _stRecordCacheMemo back;
      ASSERT_EQ(cache.eGetMemo(i, 0, &back), RCS_OK);
      ASSERT_EQ(cache.llFindRow(reinterpret_cast<const unsigned char*>(&i), sizeof i), i);
    }
    EXPECT_EQ(count.nCalls(), 0);
  }
  // The counter does see the allocator.
  HeapCallCount control;
  cache.SupprimeTout();
  ASSERT_EQ(cache.eAppend(&r, 0), RCS_OK);
  EXPECT_GE(control.nCalls(), 2);
}

TEST_F(RecordCacheTest, EmptyingFromARowKeepsTheBlocksForTheRowsToCome) {
  Source src({ItemDecl(L"n", NA_IT_I4, 4), ItemDecl(L"t", NA_IT_TEXTE, 40000)});
  CNARecordCache cache;
  ASSERT_EQ(cache.eInit(src.p), RCS_OK);
  CNAZBRecord r;
  ASSERT_EQ(r.bInit(src.p, INIT_ZEROED), 1);
  CNAZBRecord out;
  ASSERT_EQ(out.bInit(src.p, INIT_ZEROED), 1);
  StoreText(r, src.Item(1), "a short row");
  auto fill = [&](int nRows) {
    for (int i = 0; i < nRows; ++i) {
      StoreNumber<int32_t>(r, src.Item(0), i);
      ASSERT_EQ(cache.eAppend(&r, 0, reinterpret_cast<const unsigned char*>(&i), sizeof i), RCS_OK);
    }
  };
  fill(3000);
  const long long llHeld = cache.llGetBytesHeld();
  const int nChunks = cache.nGetChunkCount();
  ASSERT_GE(nChunks, 2);
  cache.EmptyFrom(3000);
  EXPECT_EQ(cache.nGetChunkCount(), 0);
  EXPECT_EQ(cache.llGetBytesUsed(), 0);
  EXPECT_EQ(cache.llGetBytesHeld(), llHeld);
  EXPECT_TRUE(cache.bVerify());
  {
    HeapCallCount count;
    fill(3000);
    EXPECT_EQ(count.nCalls(), 0) << "the same rows again take no block";
  }
  EXPECT_EQ(cache.nGetChunkCount(), nChunks);
  EXPECT_EQ(cache.llFindRow(U("\x07\0\0\0"), 4), 3007);
  // A row larger than the first kept chunk takes a larger one in its place.
  cache.EmptyFrom(0);
  StoreText(r, src.Item(1), std::string(39000, 'x'));
  ASSERT_EQ(cache.eAppend(&r, 5), RCS_OK);
  EXPECT_GE(cache.nGetChunkCapacity(0), cache.nGetRowSize(0));
  EXPECT_EQ(ReadBack(cache, out, 0), BufferBytes(r));
  EXPECT_TRUE(cache.bVerify());
  // SupprimeTout gives every block back.
  cache.SupprimeTout();
  EXPECT_LT(cache.llGetBytesHeld(), 1024);
  EXPECT_TRUE(cache.bVerify());
}

TEST_F(RecordCacheTest, TheCapRefusesTheRowThatWouldPassItAndTheCacheGoesOnFromTheCurrentRow) {
  Source src({ItemDecl(L"n", NA_IT_I4, 4), ItemDecl(L"t", NA_IT_TEXTE, 20)});
  CNARecordCache cache;
  ASSERT_EQ(cache.eInit(src.p), RCS_OK);
  EXPECT_EQ(cache.llGetByteCap(), kRecordCacheDefaultCap);
  CNAZBRecord r;
  ASSERT_EQ(r.bInit(src.p, INIT_ZEROED), 1);
  StoreText(r, src.Item(1), "0123456789");
  ASSERT_EQ(cache.eAppend(&r, 0), RCS_OK);
  const long long llPerRow = cache.llGetBytesUsed();
  EXPECT_EQ(llPerRow, cache.nGetRowSize(0) + kRecordCacheEntryBytes);
  // Room for ten rows and one ten bytes shorter.
  cache.SetByteCap(llPerRow * 11 - 10);
  for (int i = 1; i < 10; ++i) ASSERT_EQ(cache.eAppend(&r, i), RCS_OK);
  EXPECT_FALSE(cache.bIsCapReached());
  EXPECT_EQ(cache.eAppend(&r, 10), RCS_CAP_REACHED);
  EXPECT_TRUE(cache.bIsCapReached());
  EXPECT_EQ(cache.llGetCount(), 10);
  EXPECT_LE(cache.llGetBytesUsed(), cache.llGetByteCap());
  EXPECT_TRUE(cache.bVerify());
  // The shorter row still fits, to the byte.
  StoreText(r, src.Item(1), "");
  EXPECT_EQ(cache.eAppend(&r, 10), RCS_OK);
  EXPECT_EQ(cache.llGetBytesUsed(), cache.llGetByteCap());

  // The statement empties the cache and goes on from its current row.
  cache.EmptyFrom(7);
  EXPECT_FALSE(cache.bIsCapReached());
  EXPECT_EQ(cache.llGetCount(), 0);
  EXPECT_EQ(cache.llGetFirstRow(), 7);
  EXPECT_TRUE(cache.bMustFetch(7));
  EXPECT_FALSE(cache.bMustFetch(3)) << "before the rows held: found again another way";
  EXPECT_EQ(cache.Insere(8, &r, 0), RCS_NO_SUCH_ROW);
  StoreNumber<int32_t>(r, src.Item(0), 77);
  ASSERT_EQ(cache.Insere(7, &r, 0), RCS_OK);
  CNAZBRecord out;
  ASSERT_EQ(out.bInit(src.p, INIT_ZEROED), 1);
  EXPECT_EQ(ReadBack(cache, out, 7), BufferBytes(r));
  EXPECT_EQ(cache.eGetAt(6, &out), RCS_NO_SUCH_ROW);
  EXPECT_EQ(cache.llGetEndRow(), 8);

  // A cap below one row: the first row is taken all the same, so that a
  // statement that restarts always moves on.
  cache.SupprimeTout();
  cache.SetByteCap(1);
  EXPECT_EQ(cache.eAppend(&r, 0), RCS_OK);
  EXPECT_EQ(cache.eAppend(&r, 0), RCS_CAP_REACHED);
  EXPECT_EQ(cache.llGetCount(), 1);
}

TEST_F(RecordCacheTest, MustFetchAndOutOfRangeFollowTheRowsHeldAndTheCompleteFlag) {
  Source src({ItemDecl(L"n", NA_IT_I4, 4)});
  CNARecordCache cache;
  ASSERT_EQ(cache.eInit(src.p), RCS_OK);
  CNAZBRecord r;
  ASSERT_EQ(r.bInit(src.p, INIT_ZEROED), 1);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(cache.eAppend(&r, 0), RCS_OK);
  struct Case {
    bool complete;
    long long row;
    int mustFetch;
    int endehors;
  };
  const Case cases[] = {
      {false, -1, 0, 1}, {false, 0, 0, 0}, {false, 4, 0, 0}, {false, 5, 1, 0}, {false, 900, 1, 0},
      {true, -1, 0, 1},  {true, 0, 0, 0},  {true, 4, 0, 0},  {true, 5, 0, 1},  {true, 900, 0, 1},
  };
  for (const Case& c : cases) {
    cache.SetFetchComplete(c.complete ? 1 : 0);
    EXPECT_EQ(cache.bMustFetch(c.row), c.mustFetch) << c.complete << " " << c.row;
    EXPECT_EQ(cache.bEndehors(c.row), c.endehors) << c.complete << " " << c.row;
  }
  struct Move {
    eNA_PARSEDIRECTION direction;
    long long current;
    long long step;
    long long target;
  };
  const Move moves[] = {
      {NA_PARSE_FIRST, 3, 1, 0},      {NA_PARSE_FIRST, 3, 3, 2},    {NA_PARSE_LAST, 0, 1, 4},
      {NA_PARSE_LAST, 0, 2, 3},       {NA_PARSE_NEXT, 2, 1, 3},     {NA_PARSE_NEXT, 4, 1, 5},
      {NA_PARSE_PREVIOUS, 0, 1, -1},  {NA_PARSE_CURRENT, 2, 9, 2},
      {NA_PARSE_NEXT, 2, LLONG_MAX, LLONG_MAX}, {NA_PARSE_PREVIOUS, -2, LLONG_MAX, LLONG_MIN},
  };
  for (const Move& m : moves)
    EXPECT_EQ(cache.nGetPosition(m.current, m.direction, m.step), m.target)
        << m.direction << " " << m.current << " " << m.step;
}

TEST_F(RecordCacheTest, IdentifiersFindTheirRowAmongCollisionsInSevenBuckets) {
  Source src({ItemDecl(L"n", NA_IT_I4, 4)});
  CNARecordCache cache;
  ASSERT_EQ(cache.eInit(src.p), RCS_OK);
  CNAZBRecord r;
  ASSERT_EQ(r.bInit(src.p, INIT_ZEROED), 1);
  // Identifiers that all fall into one of the seven buckets.
  std::vector<std::string> ids;
  for (int i = 0; ids.size() < 13; ++i) {
    const std::string s = "key" + std::to_string(i);
    if (CNARecordCache::dwHashIdentifier(U(s.data()), static_cast<unsigned int>(s.size())) % 7 == 3)
      ids.push_back(s);
  }
  auto find = [&](const std::string& s) {
    return cache.llFindRow(U(s.data()), static_cast<unsigned int>(s.size()));
  };
  for (size_t i = 0; i < ids.size(); ++i) {
    ASSERT_EQ(cache.eAppend(&r, 0, U(ids[i].data()), static_cast<unsigned int>(ids[i].size())), RCS_OK);
    // A row without an identifier between them.
    ASSERT_EQ(cache.eAppend(&r, 0), RCS_OK);
  }
  ASSERT_EQ(cache.nGetBucketCount(), kRecordCacheFirstBuckets);
  for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(find(ids[i]), static_cast<long long>(2 * i)) << ids[i];
  // Same bucket, other bytes; a prefix; nothing.
  std::string absent;
  for (int i = 1000;; ++i) {
    absent = "key" + std::to_string(i);
    if (CNARecordCache::dwHashIdentifier(U(absent.data()), static_cast<unsigned int>(absent.size())) % 7 == 3)
      break;
  }
  EXPECT_EQ(find(absent), -1);
  EXPECT_EQ(find("key"), -1);
  EXPECT_EQ(cache.llFindRow(nullptr, 0), -1);
  EXPECT_EQ(cache.llFindRow(U("x"), 0), -1) << "an empty identifier finds nothing";
  // A second row with an identifier already held: the first row is found.
  ASSERT_EQ(cache.eAppend(&r, 0, U(ids[4].data()), static_cast<unsigned int>(ids[4].size())), RCS_OK);
  EXPECT_EQ(find(ids[4]), 8);
  // A replaced row takes its new identifier; the old one is gone with it.
  ASSERT_EQ(cache.Insere(8, &r, 0, U(absent.data()), static_cast<unsigned int>(absent.size())), RCS_OK);
  EXPECT_EQ(find(absent), 8);
  EXPECT_EQ(find(ids[4]), cache.llGetEndRow() - 1);
  EXPECT_TRUE(cache.bVerify());
  // The hash grows with its rows; every identifier is still found.
  for (int i = 0; i < 1000; ++i) {
    const std::string s = "more" + std::to_string(i);
    ASSERT_EQ(cache.eAppend(&r, 0, U(s.data()), static_cast<unsigned int>(s.size())), RCS_OK);
  }
  EXPECT_GT(cache.nGetBucketCount(), kRecordCacheFirstBuckets);
  EXPECT_EQ(find(absent), 8);
  EXPECT_EQ(find("more999"), cache.llGetEndRow() - 1);
  for (size_t i = 0; i < ids.size(); ++i) {
    if (i != 4) {
      EXPECT_EQ(find(ids[i]), static_cast<long long>(2 * i));
    }
  }
  EXPECT_TRUE(cache.bVerify());
}

TEST_F(RecordCacheTest, BadInputIsATypedErrorAndChangesNothing) {
  Source src({ItemDecl(L"n", NA_IT_I4, 4), ItemDecl(L"t", NA_IT_TEXTE, 8)});
  Source other({ItemDecl(L"n", NA_IT_I4, 4)});
  CNARecordCache cache;
  CNAZBRecord r;
  ASSERT_EQ(r.bInit(src.p, INIT_ZEROED), 1);
  CNAZBRecord foreign;
  ASSERT_EQ(foreign.bInit(other.p, INIT_ZEROED), 1);
  CNAZBRecord empty;
  EXPECT_EQ(cache.eAppend(&r, 0), RCS_LAYOUT_MISMATCH) << "no layout yet";
  EXPECT_EQ(cache.eInit(nullptr), RCS_LAYOUT_MISMATCH);
  ASSERT_EQ(cache.eInit(src.p), RCS_OK);
  ASSERT_EQ(cache.eAppend(&r, 128), RCS_OK);
  const long long llUsed = cache.llGetBytesUsed();

  _stRecordCacheMemo nullMemo;
  nullMemo.bPresent = 1;
  nullMemo.nSize = 3;
  struct Case {
    const char* name;
    std::function<eRECORDCACHESTATUS()> call;
    eRECORDCACHESTATUS expected;
  };
  const Case cases[] = {
      {"null buffer", [&] { return cache.eAppend(nullptr, 0); }, RCS_BAD_ARGUMENT},
      {"buffer never laid out", [&] { return cache.eAppend(&empty, 0); }, RCS_LAYOUT_MISMATCH},
      {"buffer of another layout", [&] { return cache.eAppend(&foreign, 0); }, RCS_LAYOUT_MISMATCH},
      {"identifier length without bytes", [&] { return cache.eAppend(&r, 0, nullptr, 4); }, RCS_BAD_ARGUMENT},
      {"memo length without bytes",
       [&] { return cache.eAppend(&r, 0, nullptr, 0, &nullMemo, 1); }, RCS_BAD_ARGUMENT},
      {"memos without their array", [&] { return cache.eAppend(&r, 0, nullptr, 0, nullptr, 2); }, RCS_BAD_ARGUMENT},
      {"negative memo count", [&] { return cache.eAppend(&r, 0, nullptr, 0, &nullMemo, -1); }, RCS_BAD_ARGUMENT},
      {"row past the next one", [&] { return cache.Insere(5, &r, 0); }, RCS_NO_SUCH_ROW},
      {"row before the first", [&] { return cache.Insere(-1, &r, 0); }, RCS_NO_SUCH_ROW},
      {"read of a row not held", [&] { return cache.eGetAt(1, &r); }, RCS_NO_SUCH_ROW},
      {"read of row -1", [&] { return cache.eGetAt(-1, &r); }, RCS_NO_SUCH_ROW},
      {"read into another layout", [&] { return cache.eGetAt(0, &foreign); }, RCS_LAYOUT_MISMATCH},
      {"read into a buffer never laid out", [&] { return cache.eGetAt(0, &empty); }, RCS_LAYOUT_MISMATCH},
      {"read into nothing", [&] { return cache.eGetAt(0, nullptr); }, RCS_BAD_ARGUMENT},
      {"state of a row not held", [&] { return cache.eSetState(3, 1); }, RCS_NO_SUCH_ROW},
      {"memo of a row not held",
       [&] {
         _stRecordCacheMemo m;
         return cache.eGetMemo(2, 0, &m);
       },
       RCS_NO_SUCH_ROW},
      {"negative memo number",
       [&] {
         _stRecordCacheMemo m;
         return cache.eGetMemo(0, -1, &m);
       },
       RCS_BAD_ARGUMENT},
      {"identifier of a row not held",
       [&] {
         const unsigned char* p;
         unsigned int n;
         return cache.eGetIdentifier(9, &p, &n);
       },
       RCS_NO_SUCH_ROW},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.call(), c.expected) << pszRecordCacheStatusName(c.call());
    EXPECT_EQ(cache.llGetCount(), 1);
    EXPECT_EQ(cache.llGetBytesUsed(), llUsed);
    EXPECT_EQ(cache.nGetState(0), 128);
    EXPECT_TRUE(cache.bVerify());
  }
  EXPECT_EQ(foreign.pbyGetBuffer()[0], 0) << "a refused read leaves the buffer as it was";
  EXPECT_EQ(cache.nGetState(1), -1);
  EXPECT_EQ(cache.nGetMemoCount(1), 0);
  // A memo the row did not store reads as absent.
  _stRecordCacheMemo m;
  m.bPresent = 1;
  EXPECT_EQ(cache.eGetMemo(0, 3, &m), RCS_OK);
  EXPECT_EQ(m.bPresent, 0);
  // A failed layout keeps the former layout and its rows.
  EXPECT_EQ(cache.eInit(nullptr), RCS_LAYOUT_MISMATCH);
  EXPECT_EQ(cache.llGetCount(), 1);
}

// The reference model: the rows a cache should hold.
struct ModelRow {
  Bytes buffer;
  int state = 0;
  Bytes id;
  std::vector<Memo> memos;
};

TEST_F(RecordCacheTest, RowsFollowAReferenceModelOverRandomOperations) {
  Source src({ItemDecl(L"n", NA_IT_I4, 4), ItemDecl(L"t", NA_IT_TEXTE, 30), ItemDecl(L"b", NA_IT_BINAIRE, 12),
              ItemDecl(L"u", NA_IT_UNICODE, 18), ItemDecl(L"m", NA_IT_MEMOTEXTE, 8), ItemDecl(L"r", NA_IT_R8, 8),
              ItemDecl(L"a", NA_IT_UNICODE, 6, 3), ItemDecl(L"d", NA_IT_DATE8, 9)});
  CNARecordCache cache;
  ASSERT_EQ(cache.eInit(src.p), RCS_OK);
  CNAZBRecord r;
  ASSERT_EQ(r.bInit(src.p, INIT_ZEROED), 1);
  CNAZBRecord out;
  ASSERT_EQ(out.bInit(src.p, INIT_ZEROED), 1);
  std::mt19937 rng(22);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned int>(n)); };

  auto randomRow = [&]() {
    ModelRow row;
    if (pick(20) == 0) {
      // Any bytes at all.
      unsigned char* p = r.pbyGetNullValuesFlags();
      for (int i = 0; i < r.nGetBufferLength(); ++i) p[i] = static_cast<unsigned char>(rng());
    } else {
      StoreNumber<int32_t>(r, src.Item(0), static_cast<int32_t>(rng()));
      StoreText(r, src.Item(1), std::string(static_cast<size_t>(pick(35)), static_cast<char>('a' + pick(26))));
      Bytes bin(static_cast<size_t>(pick(12)));
      for (unsigned char& c : bin) c = pick(3) == 0 ? 0 : static_cast<unsigned char>(rng());
      r.SetItemValue(src.Item(2), bin.empty() ? nullptr : bin.data(), static_cast<unsigned int>(bin.size()));
      std::wstring w;
      for (int i = pick(11); i > 0; --i) {
        const int kind = pick(3);
        w += kind == 0 ? static_cast<wchar_t>(1 + pick(0xFF))
             : kind == 1 ? static_cast<wchar_t>(0x100 + pick(0xD700))
                         : static_cast<wchar_t>(0x10000 + pick(0xFFFFF));
      }
      StoreWide(r, src.Item(3), w);
      StoreNumber<double>(r, src.Item(5), static_cast<double>(rng()) / 7.0);
      for (int e = 0; e < 3; ++e) {
        const Bytes b = Wide(std::wstring(static_cast<size_t>(pick(4)), static_cast<wchar_t>(0x41 + pick(0x300))));
        r.SetItemValue(src.Item(6), b.empty() ? nullptr : b.data(), static_cast<unsigned int>(b.size()), e);
      }
      StoreText(r, src.Item(7), "2026121" + std::to_string(pick(10)));
      for (int i = 0; i < 8; ++i) {
        if (pick(4) == 0) r.SetItemValueDefined(src.Item(i), 0);
      }
    }
    row.buffer = BufferBytes(r);
    row.state = pick(4) == 0 ? kRecordValueDeleted : pick(3);
    if (pick(4) != 0) {
      const std::string s = "id" + std::to_string(pick(300));
      row.id.assign(s.begin(), s.end());
    }
    for (int i = pick(3); i > 0; --i) {
      Memo m;
      m.present = pick(3) != 0;
      if (m.present) m.data.resize(static_cast<size_t>(pick(40)), static_cast<unsigned char>(pick(3)));
      row.memos.push_back(m);
    }
    return row;
  };
  auto store = [&](long long llRow, const ModelRow& row) {
    const std::vector<_stRecordCacheMemo> spans = MemoSpans(row.memos);
    return cache.Insere(llRow, &r, row.state, row.id.empty() ? nullptr : row.id.data(),
                        static_cast<unsigned int>(row.id.size()), spans.data(), static_cast<int>(spans.size()));
  };

  std::vector<ModelRow> model;
  long long llFirst = 0;
  bool bComplete = false;
  for (int step = 0; step < 6000; ++step) {
    const int op = pick(100);
    if (op < 55) {
      const ModelRow row = randomRow();
      ASSERT_EQ(store(llFirst + static_cast<long long>(model.size()), row), RCS_OK);
      model.push_back(row);
    } else if (op < 65 && !model.empty()) {
      const int i = pick(static_cast<int>(model.size()));
      const ModelRow row = randomRow();
      ASSERT_EQ(store(llFirst + i, row), RCS_OK);
      model[static_cast<size_t>(i)] = row;
    } else if (op < 70 && !model.empty()) {
      const int i = pick(static_cast<int>(model.size()));
      const int nState = pick(2) ? kRecordValueDeleted : 0;
      ASSERT_EQ(cache.eSetState(llFirst + i, nState), RCS_OK);
      model[static_cast<size_t>(i)].state = nState;
    } else if (op < 72) {
      bComplete = !bComplete;
      cache.SetFetchComplete(bComplete ? 1 : 0);
    } else if (op == 72 && pick(4) == 0) {
      llFirst = pick(2) ? 0 : llFirst + static_cast<long long>(model.size()) / 2;
      cache.EmptyFrom(llFirst);
      model.clear();
      bComplete = false;
    } else if (op < 85 && !model.empty()) {
      const int i = pick(static_cast<int>(model.size()));
      const ModelRow& m = model[static_cast<size_t>(i)];
      int nState = -1;
      ASSERT_EQ(ReadBack(cache, out, llFirst + i, &nState), m.buffer) << "step " << step;
      ASSERT_EQ(nState, m.state);
      ASSERT_EQ(cache.nGetState(llFirst + i), m.state);
      ASSERT_EQ(IdentifierOf(cache, llFirst + i), m.id);
      ASSERT_TRUE(SameMemos(MemosOf(cache, llFirst + i), m.memos));
    } else {
      const std::string s = "id" + std::to_string(pick(300));
      const Bytes id(s.begin(), s.end());
      long long llExpected = -1;
      for (size_t i = 0; i < model.size() && llExpected < 0; ++i) {
        if (model[i].id == id) llExpected = llFirst + static_cast<long long>(i);
      }
      ASSERT_EQ(cache.llFindRow(id.data(), static_cast<unsigned int>(id.size())), llExpected) << s;
    }
    ASSERT_EQ(cache.llGetCount(), static_cast<long long>(model.size()));
    ASSERT_EQ(cache.llGetFirstRow(), llFirst);
    const long long llProbe = llFirst - 2 + pick(static_cast<int>(model.size()) + 4);
    const long long llEnd = llFirst + static_cast<long long>(model.size());
    ASSERT_EQ(cache.bMustFetch(llProbe) != 0, llProbe >= llEnd && !bComplete);
    ASSERT_EQ(cache.bEndehors(llProbe) != 0, llProbe < 0 || (bComplete && llProbe >= llEnd));
    if (step % 250 == 0) {
      ASSERT_TRUE(cache.bVerify()) << "step " << step;
    }
  }
  for (size_t i = 0; i < model.size(); ++i)
    ASSERT_EQ(ReadBack(cache, out, llFirst + static_cast<long long>(i)), model[i].buffer);
  EXPECT_TRUE(cache.bVerify());
}

}  // namespace
}  // namespace kqtest
