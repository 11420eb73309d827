// The open-addressing hash table: its size levels on growth and shrink, the
// iteration rules, the order of equal keys, a random run against standard
// containers, refused allocations on every growth and shrink road, the end of
// the ladder of primes, and the reference counting of CRefHashTable.
#include "core/hash_table_bounce.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tests/core/failing_heap.h"

namespace {

void* Key(uintptr_t n) { return reinterpret_cast<void*>(n); }
uintptr_t Num(const void* p) { return reinterpret_cast<uintptr_t>(p); }

// Integer keys, spread by a multiplicative hash so that chains stay short
// whatever the keys' pattern.
class CIntTable : public CHashTableBounce {
 public:
  explicit CIntTable(unsigned int n = 7) : CHashTableBounce(n) {
    SetCmp(_nHTBDefaultCompare);
    SetHashVal([](const void* p) { return unsigned(Num(p) * 2654435761u); });
  }
  // Puts the table on another level without touching its arrays, to reach the
  // top of the ladder without gigabytes of memory.
  void ForceLevel(int nLevel) { m_nLevel = nLevel; }
  bool bHasArrays() const { return m_pElements != nullptr; }
};

void Fill(CHashTableBounce& t, uintptr_t nFirst, uintptr_t nCount) {
  for (uintptr_t k = nFirst; k < nFirst + nCount; ++k)
    ASSERT_TRUE(t.bAddElement(Key(k), Key(k + 1000000)));
}

void ExpectAllFound(const CHashTableBounce& t, uintptr_t nFirst, uintptr_t nCount) {
  for (uintptr_t k = nFirst; k < nFirst + nCount; ++k) {
    void* pValue = nullptr;
    void* pKey = nullptr;
    ASSERT_TRUE(t.bGetElement(Key(k), &pValue, &pKey)) << k;
    EXPECT_EQ(Num(pValue), k + 1000000);
    EXPECT_EQ(Num(pKey), k);
  }
}

TEST(HashTableBounceTest, TheLadderHasTwentyNinePrimesAndCapacitiesAreHalfOfThem) {
  EXPECT_EQ(CHashTableBounce::g__ToutPretToutChaud[0], 17u);
  EXPECT_EQ(CHashTableBounce::g__ToutPretToutChaud[28], 4294967291u);
  EXPECT_EQ(CHashTableBounce::g__ToutPretToutChaud[28] / 2, 2147483645u);
  for (int i = 1; i < CHashTableBounce::kNumLevels; ++i)
    EXPECT_LT(CHashTableBounce::g__ToutPretToutChaud[i - 1], CHashTableBounce::g__ToutPretToutChaud[i]);
}

TEST(HashTableBounceTest, TheInitialSizeChoosesTheFirstLevelThatHoldsIt) {
  struct Case { unsigned int n; int nLevel; unsigned int nCapacity; unsigned int nBuckets; };
  const Case cases[] = {{7, 0, 8, 17}, {8, 0, 8, 17}, {9, 1, 26, 53}, {48, 2, 48, 97}, {49, 3, 96, 193}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    CIntTable t(c.n);
    EXPECT_EQ(t.nGetLevel(), c.nLevel);
    EXPECT_EQ(t.nGetCapacity(), c.nCapacity);
    EXPECT_EQ(t.nGetBucketCount(), c.nBuckets);
  }
}

TEST(HashTableBounceTest, TheNinthEntryMovesTheTableToTheNextLevelAndKeepsEveryEntry) {
  CIntTable t(7);
  Fill(t, 1, 8);
  EXPECT_EQ(t.nGetCapacity(), 8u);
  Fill(t, 9, 1);
  EXPECT_EQ(t.nGetLevel(), 1);
  EXPECT_EQ(t.nGetCapacity(), 26u);
  EXPECT_EQ(t.nGetBucketCount(), 53u);
  EXPECT_EQ(t.dwGetNumElement(), 9u);
  ExpectAllFound(t, 1, 9);
}

TEST(HashTableBounceTest, ATableBuiltWithZeroHasNoArraysUntilItsFirstEntryWhichGoesToLevelOne) {
  CIntTable t(0);
  EXPECT_FALSE(t.bHasArrays());
  EXPECT_FALSE(t.bGetElement(Key(1), nullptr, nullptr));
  EXPECT_EQ(t.pGetElement(Key(1)), nullptr);
  Fill(t, 1, 1);
  EXPECT_EQ(t.nGetLevel(), 1);
  EXPECT_EQ(t.nGetCapacity(), 26u);
}

TEST(HashTableBounceTest, ARemovalShrinksToTheSmallestLevelThatStillFits) {
  // fill, remove down to, level before, level after.
  struct Case { uintptr_t nFill; uintptr_t nLeft; int nBefore; int nAfter; };
  const Case cases[] = {
      {9, 4, 1, 1},    // 4 is not below 17 / 4
      {9, 3, 1, 0},    // 3 < 17 / 4
      {49, 24, 3, 3},  // 24 is not below 97 / 4
      {49, 23, 3, 1},  // 23 < 24; level 2 passed over (23 < 53 / 2), 23 >= 17 / 2
      {49, 3, 3, 0},   // through level 1 at 23, then level 0 below 4
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.nFill << " -> " << c.nLeft);
    CIntTable t(7);
    Fill(t, 0, c.nFill);
    EXPECT_EQ(t.nGetLevel(), c.nBefore);
    for (uintptr_t k = c.nLeft; k < c.nFill; ++k) ASSERT_TRUE(t.bDeleteElement(Key(k), nullptr, nullptr));
    EXPECT_EQ(t.nGetLevel(), c.nAfter);
    EXPECT_EQ(t.nGetCapacity(), CHashTableBounce::g__ToutPretToutChaud[c.nAfter] / 2);
    ExpectAllFound(t, 0, c.nLeft);
    for (uintptr_t k = c.nLeft; k < c.nFill; ++k) EXPECT_FALSE(t.bGetElement(Key(k), nullptr, nullptr));
  }
}

TEST(HashTableBounceTest, RemovalsWhileAnIterationIsOpenNeverShrinkTheTable) {
  CIntTable t(7);
  Fill(t, 0, 26);
  ASSERT_EQ(t.nGetLevel(), 1);
  unsigned int nPos = 0;
  ASSERT_TRUE(t.bParseTable(&nPos, 0, nullptr, nullptr));  // opens the iteration
  for (uintptr_t k = 0; k < 25; ++k) ASSERT_TRUE(t.bDeleteElement(Key(k), nullptr, nullptr));
  EXPECT_EQ(t.nGetLevel(), 1);
  while (t.bParseTable(&nPos, 1, nullptr, nullptr)) {
  }
  EXPECT_EQ(t.nGetOpenParsing(), 0);
  EXPECT_EQ(t.nGetLevel(), 1);
  EXPECT_EQ(t.dwGetNumElement(), 0u);
  Fill(t, 100, 2);
  ASSERT_TRUE(t.bDeleteElement(Key(100), nullptr, nullptr));
  EXPECT_EQ(t.nGetLevel(), 0);  // the first removal after the iteration shrinks
  ExpectAllFound(t, 101, 1);
}

TEST(HashTableBounceTest, AnIterationLeftEarlyKeepsTheTableFromShrinkingUntilStopParsing) {
  CIntTable t(7);
  Fill(t, 0, 9);
  unsigned int nPos = 0;
  ASSERT_TRUE(t.bParseTable(&nPos, 0, nullptr, nullptr));
  for (uintptr_t k = 0; k < 6; ++k) ASSERT_TRUE(t.bDeleteElement(Key(k), nullptr, nullptr));
  EXPECT_EQ(t.nGetLevel(), 1);
  t.StopParsing();
  EXPECT_EQ(t.nGetOpenParsing(), 0);
  ASSERT_TRUE(t.bDeleteElement(Key(6), nullptr, nullptr));
  EXPECT_EQ(t.nGetLevel(), 0);
  ExpectAllFound(t, 7, 2);
}

TEST(HashTableBounceTest, EqualKeysAreFoundAndRemovedNewestFirst) {
  CIntTable t(7);
  ASSERT_TRUE(t.bAddElement(Key(5), Key(1)));
  ASSERT_TRUE(t.bAddElement(Key(5), Key(2)));
  ASSERT_TRUE(t.bAddElement(Key(5), Key(3)));
  void* pValue = nullptr;
  ASSERT_TRUE(t.bGetElement(Key(5), &pValue, nullptr));
  EXPECT_EQ(Num(pValue), 3u);
  for (uintptr_t nExpected : {3u, 2u, 1u}) {
    ASSERT_TRUE(t.bDeleteElement(Key(5), &pValue, nullptr));
    EXPECT_EQ(Num(pValue), nExpected);
  }
  EXPECT_FALSE(t.bDeleteElement(Key(5), &pValue, nullptr));
}

TEST(HashTableBounceTest, IteratingAnEmptyTableAnswersZeroAndLeavesTheCounterAsItWas) {
  for (unsigned int n : {0u, 7u}) {
    SCOPED_TRACE(n);
    CIntTable t(n);
    unsigned int nPos = 0;
    EXPECT_FALSE(t.bParseTable(&nPos, 0, nullptr, nullptr));
    EXPECT_EQ(t.nGetOpenParsing(), 0);
  }
}

TEST(HashTableBounceTest, DeleteAllEmptiesBackToTheLevelOfItsArgument) {
  struct Case { unsigned int n; unsigned int nCapacity; };
  for (const Case& c : {Case{0, 8}, Case{7, 8}, Case{30, 48}}) {
    SCOPED_TRACE(c.n);
    CIntTable t(7);
    Fill(t, 0, 100);
    t.DeleteAll(c.n);
    EXPECT_EQ(t.dwGetNumElement(), 0u);
    EXPECT_EQ(t.nGetCapacity(), c.nCapacity);
    EXPECT_FALSE(t.bGetElement(Key(1), nullptr, nullptr));
    Fill(t, 0, 3);
    ExpectAllFound(t, 0, 3);
  }
}

TEST(HashTableBounceTest, DeleteAllLeavesAnEmptyTableAsItIs) {
  CIntTable t(100);
  t.DeleteAll(0);
  EXPECT_EQ(t.nGetCapacity(), 194u);
}

TEST(HashTableBounceTest, AValueCanBeChangedInPlaceAndThroughTheIterationPosition) {
  CIntTable t(7);
  Fill(t, 1, 3);
  void** ppValue = t.pGetElement(Key(2));
  ASSERT_NE(ppValue, nullptr);
  *ppValue = Key(42);
  unsigned int nPos = 0;
  void* pKey = nullptr;
  while (t.bParseTable(&nPos, 0, nullptr, &pKey)) {
    void* pOld = nullptr;
    ASSERT_TRUE(t.bParseSetElement(nPos, Key(Num(pKey) * 10), &pOld));
    if (Num(pKey) == 2) {
      EXPECT_EQ(Num(pOld), 42u);
    }
  }
  void* pValue = nullptr;
  ASSERT_TRUE(t.bGetElement(Key(3), &pValue, nullptr));
  EXPECT_EQ(Num(pValue), 30u);
}

TEST(HashTableBounceTest, SettingThroughAPositionOutOfRangeOrOnAFreeElementAnswersZero) {
  CIntTable t(7);
  Fill(t, 1, 1);
  for (unsigned int nPos : {0u, 2u, 8u, 9u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(nPos);
    EXPECT_FALSE(t.bParseSetElement(nPos, nullptr, nullptr));
    EXPECT_FALSE(t.bParseSetKey(nPos, nullptr, nullptr));
  }
}

// 100,000 random operations against std::unordered_multimap (the content) and
// std::vector (what an iteration must visit). Phases favour insertion and then
// removal, so the table climbs several levels and comes back down.
TEST(HashTableBounceTest, ARandomRunAgreesWithAStandardMultimap) {
  std::mt19937 rng(20261210);
  CIntTable t(7);
  std::unordered_multimap<uintptr_t, uintptr_t> model;
  uintptr_t nNextValue = 1;
  int nMaxLevel = 0;
  for (int nOp = 0; nOp < 100000; ++nOp) {
    const bool bGrowPhase = (nOp / 10000) % 2 == 0;
    const unsigned int r = rng() % 100;
    const uintptr_t k = rng() % 3000;
    if (r < (bGrowPhase ? 55u : 25u)) {
      ASSERT_TRUE(t.bAddElement(Key(k), Key(nNextValue)));
      model.emplace(k, nNextValue++);
    } else if (r < 75) {
      void* pValue = nullptr;
      const int bFound = t.bGetElement(Key(k), &pValue, nullptr);
      auto range = model.equal_range(k);
      ASSERT_EQ(bFound != 0, range.first != range.second) << nOp;
      if (bFound) {
        ASSERT_TRUE(std::any_of(range.first, range.second,
                                [&](const auto& kv) { return kv.second == Num(pValue); }));
      }
    } else if (r < 99) {
      void* pValue = nullptr;
      void* pKey = nullptr;
      const int bFound = t.bDeleteElement(Key(k), &pValue, &pKey);
      auto range = model.equal_range(k);
      ASSERT_EQ(bFound != 0, range.first != range.second) << nOp;
      if (bFound) {
        ASSERT_EQ(Num(pKey), k);
        auto it = std::find_if(range.first, range.second,
                               [&](const auto& kv) { return kv.second == Num(pValue); });
        ASSERT_NE(it, range.second);
        model.erase(it);
      }
    } else {
      // Iterate, removing about a third of the entries; the level must hold.
      const int nLevel = t.nGetLevel();
      std::vector<std::pair<uintptr_t, uintptr_t>> seen;
      std::vector<std::pair<uintptr_t, uintptr_t>> expected(model.begin(), model.end());
      std::vector<std::pair<uintptr_t, uintptr_t>> removed;
      unsigned int nPos = 0;
      void* pValue = nullptr;
      void* pKey = nullptr;
      for (;;) {
        const int bDelete = rng() % 3 == 0;
        if (!t.bParseTable(&nPos, bDelete, &pValue, &pKey)) break;
        seen.emplace_back(Num(pKey), Num(pValue));
        if (bDelete) removed.emplace_back(Num(pKey), Num(pValue));
      }
      ASSERT_EQ(t.nGetOpenParsing(), 0);
      ASSERT_EQ(t.nGetLevel(), nLevel);
      std::sort(seen.begin(), seen.end());
      std::sort(expected.begin(), expected.end());
      ASSERT_EQ(seen, expected) << nOp;
      for (const auto& kv : removed) {
        auto range = model.equal_range(kv.first);
        auto it = std::find_if(range.first, range.second,
                               [&](const auto& e) { return e.second == kv.second; });
        ASSERT_NE(it, range.second);
        model.erase(it);
      }
      for (const auto& kv : removed)
        ASSERT_EQ(t.bGetElement(Key(kv.first), nullptr, nullptr) != 0, model.count(kv.first) != 0);
    }
    ASSERT_EQ(t.dwGetNumElement(), model.size()) << nOp;
    ASSERT_EQ(t.nGetBucketCount(), CHashTableBounce::g__ToutPretToutChaud[t.nGetLevel()]);
    ASSERT_EQ(t.nGetCapacity(), t.nGetBucketCount() / 2);
    nMaxLevel = std::max(nMaxLevel, t.nGetLevel());
  }
  EXPECT_GE(nMaxLevel, 5);
}

// ---------------------------------------------------------------------------
// Refused allocations: nothing lost, nothing leaked, the table still usable.

using kqtest::FailingHeap;
using kqtest::ForEachRefusedAllocation;

TEST(HashTableBounceTest, ARefusedGrowthAddsNothingAndKeepsEveryEntry) {
  // entries before the growing insertion: 0 (first arrays), 8 (level 0 -> 1).
  for (unsigned int nInitial : {0u, 7u}) {
    SCOPED_TRACE(nInitial);
    const uintptr_t nBefore = nInitial == 0 ? 0 : 8;
    std::unique_ptr<CIntTable> t;
    int nRefusals = 0;
    ForEachRefusedAllocation(
        [&] {
          t = std::make_unique<CIntTable>(nInitial);
          Fill(*t, 0, nBefore);
        },
        [&] { t->bAddElement(Key(500), Key(501)); },
        [&](int k) {
          SCOPED_TRACE(k);
          ++nRefusals;
          EXPECT_EQ(t->dwGetNumElement(), nBefore);
          EXPECT_FALSE(t->bGetElement(Key(500), nullptr, nullptr));
          ExpectAllFound(*t, 0, nBefore);
          EXPECT_EQ(t->nGetCapacity(), nBefore == 0 ? 0u : 8u);
          Fill(*t, 500, 1);  // usable again once the heap gives
          ExpectAllFound(*t, 0, nBefore);
        });
    EXPECT_EQ(nRefusals, 2);  // the bucket block and the element block
    t.reset();
  }
}

TEST(HashTableBounceTest, ARefusedAllocationAtConstructionLeavesAnEmptyUsableTable) {
  std::unique_ptr<CIntTable> t;
  ForEachRefusedAllocation([&] { t.reset(); }, [&] { t = std::make_unique<CIntTable>(7); },
                           [&](int k) {
                             SCOPED_TRACE(k);
                             EXPECT_FALSE(t->bHasArrays());
                             Fill(*t, 0, 30);
                             ExpectAllFound(*t, 0, 30);
                           });
  t.reset();
}

TEST(HashTableBounceTest, ARefusedShrinkStillReportsTheRemovalAndKeepsTheOldArrays) {
  // fill, removal that shrinks, level before.
  struct Case { uintptr_t nFill; uintptr_t nLeft; int nLevel; };
  for (const Case& c : {Case{9, 3, 1}, Case{49, 23, 3}}) {
    SCOPED_TRACE(c.nFill);
    std::unique_ptr<CIntTable> t;
    int nRefusals = 0;
    ForEachRefusedAllocation(
        [&] {
          t = std::make_unique<CIntTable>(7);
          Fill(*t, 0, c.nFill);
          for (uintptr_t k = c.nLeft + 1; k < c.nFill; ++k) t->bDeleteElement(Key(k), nullptr, nullptr);
          ASSERT_EQ(t->nGetLevel(), c.nLevel);
        },
        [&] {
          void* pValue = nullptr;
          EXPECT_TRUE(t->bDeleteElement(Key(c.nLeft), &pValue, nullptr));
          EXPECT_EQ(Num(pValue), c.nLeft + 1000000);
        },
        [&](int k) {
          SCOPED_TRACE(k);
          ++nRefusals;
          EXPECT_EQ(t->nGetLevel(), c.nLevel);
          EXPECT_EQ(t->dwGetNumElement(), c.nLeft);
          EXPECT_FALSE(t->bGetElement(Key(c.nLeft), nullptr, nullptr));
          ExpectAllFound(*t, 0, c.nLeft);
          Fill(*t, 1000, c.nFill);  // every free slot is usable again
          ExpectAllFound(*t, 0, c.nLeft);
          ExpectAllFound(*t, 1000, c.nFill);
        });
    EXPECT_EQ(nRefusals, 2);  // the bucket block and the element block
    t.reset();
  }
}

TEST(HashTableBounceTest, ARefusedDeleteAllLeavesAnEmptyUsableTable) {
  std::unique_ptr<CIntTable> t;
  ForEachRefusedAllocation(
      [&] {
        t = std::make_unique<CIntTable>(7);
        Fill(*t, 0, 20);
      },
      [&] { t->DeleteAll(0); },
      [&](int k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(t->dwGetNumElement(), 0u);
        EXPECT_FALSE(t->bGetElement(Key(1), nullptr, nullptr));
        Fill(*t, 0, 20);
        ExpectAllFound(*t, 0, 20);
      });
  t.reset();
}

// ---------------------------------------------------------------------------
// The end of the ladder.

TEST(HashTableBounceTest, GrowthPastTheLastLevelOrPastAFourGigabyteBlockIsRefusedWithoutAllocating) {
  // Level 25 would need 402653228 x 16 bytes, which no 32-bit size holds.
  for (int nLevel : {24, 27, 28}) {
    SCOPED_TRACE(nLevel);
    CIntTable t(7);
    Fill(t, 0, 8);
    t.ForceLevel(nLevel);
    FailingHeap::Arm(0);
    EXPECT_FALSE(t.bAddElement(Key(99), Key(99)));
    EXPECT_EQ(FailingHeap::Disarm(), 0);
    EXPECT_EQ(t.dwGetNumElement(), 8u);
    t.ForceLevel(0);
    ExpectAllFound(t, 0, 8);
  }
}

TEST(HashTableBounceTest, AnInitialSizePastTheLadderGivesATableWithoutArrays) {
  for (unsigned int n : {2147483645u, 2147483646u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(n);
    FailingHeap::Arm(0);
    CIntTable t(n);
    EXPECT_EQ(FailingHeap::Disarm(), 0);
    EXPECT_FALSE(t.bHasArrays());
    Fill(t, 0, 3);
    ExpectAllFound(t, 0, 3);
  }
}

// ---------------------------------------------------------------------------
// CRefHashTable: one reference per stored value, released at destruction.

class CCounted {
 public:
  void AddRef() { ++m_nRefs; }
  int nRelease() {
    ++m_nReleases;
    return --m_nRefs;
  }
  int m_nRefs = 0;
  int m_nReleases = 0;
};
void KQAddRef(CCounted* p) { p->AddRef(); }
void KQRelease(CCounted* p) { p->nRelease(); }

TEST(RefHashTableTest, IntegerKeysCompareByValueAndHashToThemselves) {
  CRefHashTable<int, CCounted*> t;
  EXPECT_EQ(t.pfGetCmp()(Key(4), Key(4)), 0);
  EXPECT_NE(t.pfGetCmp()(Key(4), Key(5)), 0);
  EXPECT_EQ(t.pfGetHashVal()(Key(12345)), 12345u);
  EXPECT_EQ(t.nGetCapacity(), 8u);
}

TEST(RefHashTableTest, DestructionReleasesEveryStoredValueOnce) {
  std::vector<CCounted> objects(40);
  {
    CNARefHashTable<int, CCounted*> t;
    for (int i = 0; i < 40; ++i) {
      t._AddRef(&objects[i]);
      ASSERT_TRUE(t.bAddElement(t.pKeyOf(i), &objects[i]));
    }
    void* pValue = nullptr;
    ASSERT_TRUE(t.bDeleteElement(t.pKeyOf(7), &pValue, nullptr));  // the caller's to release
    t._Release(static_cast<CCounted*>(pValue));
    t._AddRef(nullptr);
    t._Release(nullptr);
  }
  for (const CCounted& o : objects) {
    EXPECT_EQ(o.m_nRefs, 0);
    EXPECT_EQ(o.m_nReleases, 1);
  }
}

}  // namespace
