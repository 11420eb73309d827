// CHashBase: growth and shrink through prime bucket counts, a random run
// against std::unordered_multimap, refused allocations, and the string hashes.
#include "core/chained_hash_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <unordered_map>

#include "tests/core/failing_heap.h"

namespace {

using kqtest::FailingHeap;

// Integer keys carried in the key pointer; a hash that spreads them badly on
// purpose (few bits), so that buckets hold chains.
class IntTable : public CHashBase {
 public:
  explicit IntTable(int nBuckets) : CHashBase(nBuckets) {}
  unsigned int dwHashVal(void* pKey) const override {
    return static_cast<unsigned int>(Key(pKey)) * 7u;
  }
  int bEgal(void* pStoredKey, void* pKey) const override { return Key(pStoredKey) == Key(pKey); }
  static void* P(intptr_t n) { return reinterpret_cast<void*>(n); }
  static intptr_t Key(void* p) { return reinterpret_cast<intptr_t>(p); }
};

TEST(ChainedHashTable, GrowsToTheNextPrimeAboveTwiceTheBucketsOnlyAtTheGrowthLevel) {
  IntTable t(43);
  for (int i = 0; i < 128; ++i) t.Ajoute(IntTable::P(i), IntTable::P(i));
  t.AjouteDYN(IntTable::P(128), IntTable::P(128));  // 128 < 43 x 3
  EXPECT_EQ(t.nGetNbBucket(), 43);
  t.AjouteDYN(IntTable::P(129), IntTable::P(129));  // 129 >= 43 x 3
  EXPECT_EQ(t.nGetNbBucket(), 89);
  EXPECT_EQ(t.nGetNbElement(), 130);
  for (int i = 0; i < 130; ++i) {
    void* pValue = nullptr;
    ASSERT_TRUE(t.bRechercheConst(IntTable::P(i), &pValue, nullptr)) << i;
    EXPECT_EQ(IntTable::Key(pValue), i);
  }
}

TEST(ChainedHashTable, ShrinksToHalfButNeverBelow43Buckets) {
  IntTable t(89);
  for (int i = 0; i < 90; ++i) t.Ajoute(IntTable::P(i), nullptr);
  t.bSupprimeDYN(IntTable::P(0));  // 89 left, not below 89 x 1
  EXPECT_EQ(t.nGetNbBucket(), 89);
  t.bSupprimeDYN(IntTable::P(1));  // 88 < 89: from 44 upwards, 47
  EXPECT_EQ(t.nGetNbBucket(), 47);
  IntTable small(43);
  small.Ajoute(IntTable::P(1), nullptr);
  small.bSupprimeDYN(IntTable::P(1));  // 23 is raised to 43: no change
  EXPECT_EQ(small.nGetNbBucket(), 43);
}

TEST(ChainedHashTable, ATableWithoutBucketsTakesEntriesOnlyThroughTheDynamicAdd) {
  IntTable t(0);
  EXPECT_EQ(t.Ajoute(IntTable::P(1), nullptr), 0);
  EXPECT_FALSE(t.bRecherche(IntTable::P(1), nullptr, nullptr));
  EXPECT_FALSE(t.bSupprime(IntTable::P(1)));
  EXPECT_EQ(t.AjouteDYN(IntTable::P(1), IntTable::P(5)), 1);
  EXPECT_EQ(t.nGetNbBucket(), 1);
  void* pValue = nullptr;
  EXPECT_TRUE(t.bRecherche(IntTable::P(1), &pValue, nullptr));
  EXPECT_EQ(IntTable::Key(pValue), 5);
}

TEST(ChainedHashTable, TakingOutFromAnEmptyTableLeavesTheValueNull) {
  IntTable t(7);
  int nBucket = 0;
  void* pValue = IntTable::P(1);
  void* pKey = IntTable::P(1);
  t.SupprimeCourant(&nBucket, &pValue, &pKey);
  EXPECT_EQ(pValue, nullptr);
  EXPECT_EQ(nBucket, 0);
  EXPECT_EQ(t.nGetNbElement(), 0);
  t.Ajoute(IntTable::P(3), IntTable::P(30));  // bucket 21 mod 7 = 0
  t.Ajoute(IntTable::P(1), IntTable::P(10));  // bucket 7 mod 7 = 0
  t.SupprimeCourant(&nBucket, &pValue, &pKey);
  EXPECT_EQ(IntTable::Key(pKey), 1);  // the newest is first in its bucket
  EXPECT_EQ(IntTable::Key(pValue), 10);
  t.SupprimeTout();
  EXPECT_EQ(t.nGetNbElement(), 0);
  EXPECT_FALSE(t.bRechercheConst(IntTable::P(3), nullptr, nullptr));
}

TEST(ChainedHashTable, RandomOperationsMatchAMultimap) {
  std::mt19937 rng(3);
  IntTable t(0);
  std::unordered_multimap<intptr_t, intptr_t> model;
  intptr_t nNextValue = 1;
  for (int step = 0; step < 30000; ++step) {
    const intptr_t k = static_cast<intptr_t>(rng() % 300);
    switch (rng() % 3) {
      case 0:
        ASSERT_EQ(t.AjouteDYN(IntTable::P(k), IntTable::P(nNextValue)), 1);
        model.emplace(k, nNextValue++);
        break;
      case 1: {
        void* pValue = nullptr;
        const int bFound = t.bRechercheConst(IntTable::P(k), &pValue, nullptr);
        ASSERT_EQ(bFound != 0, model.count(k) > 0);
        if (!bFound) {
          ASSERT_FALSE(t.bSupprimeDYN(IntTable::P(k)));
          break;
        }
        // The entry found is the one removed.
        auto range = model.equal_range(k);
        auto it = range.first;
        while (it != range.second && it->second != IntTable::Key(pValue)) ++it;
        ASSERT_NE(it, range.second);
        model.erase(it);
        ASSERT_TRUE(t.bSupprimeDYN(IntTable::P(k)));
        break;
      }
      case 2: {
        void* pValue = nullptr;
        void* pKey = nullptr;
        const int bFound = t.bRecherche(IntTable::P(k), &pValue, &pKey);
        ASSERT_EQ(bFound != 0, model.count(k) > 0);
        if (bFound) {
          ASSERT_EQ(IntTable::Key(pKey), k);
        }
        break;
      }
    }
    ASSERT_EQ(t.nGetNbElement(), static_cast<int>(model.size()));
  }
  // Taking every entry out one by one gives back exactly the model.
  int nBucket = 0;
  for (;;) {
    void* pValue = nullptr;
    void* pKey = nullptr;
    t.SupprimeCourant(&nBucket, &pValue, &pKey);
    if (pValue == nullptr) break;
    auto range = model.equal_range(IntTable::Key(pKey));
    auto it = range.first;
    while (it != range.second && it->second != IntTable::Key(pValue)) ++it;
    ASSERT_NE(it, range.second);
    model.erase(it);
  }
  EXPECT_TRUE(model.empty());
  EXPECT_EQ(t.nGetNbElement(), 0);
}

TEST(ChainedHashTable, ARefusedResizeKeepsEveryEntryReachable) {
  IntTable t(43);
  for (int i = 0; i < 129; ++i) t.Ajoute(IntTable::P(i), IntTable::P(i + 1));
  FailingHeap::Arm(1);  // the new bucket array
  const int bAdded = t.AjouteDYN(IntTable::P(500), IntTable::P(501));
  FailingHeap::Disarm();
  EXPECT_EQ(bAdded, 1) << "the entry goes into the old buckets";
  EXPECT_EQ(t.nGetNbBucket(), 43);
  FailingHeap::Arm(1);
  EXPECT_EQ(t.RedimensionneTable(200), 0);
  FailingHeap::Disarm();
  for (int i = 0; i < 129; ++i)
    ASSERT_TRUE(t.bRechercheConst(IntTable::P(i), nullptr, nullptr)) << i;
  EXPECT_TRUE(t.bRechercheConst(IntTable::P(500), nullptr, nullptr));
  EXPECT_EQ(t.nGetNbElement(), 130);
}

TEST(ChainedHashTable, ARefusedEntryIsNotCounted) {
  IntTable t(7);
  FailingHeap::Arm(1);
  EXPECT_EQ(t.Ajoute(IntTable::P(1), IntTable::P(2)), 0);
  FailingHeap::Disarm();
  EXPECT_EQ(t.nGetNbElement(), 0);
  EXPECT_FALSE(t.bRechercheConst(IntTable::P(1), nullptr, nullptr));
}

TEST(StringHash, SumsTheCharactersOrTheirUpperCaseForms) {
  struct Case {
    const char* name;
    unsigned int nGot;
    unsigned int nExpected;
  };
  const Case cases[] = {
      {"wide sum", dwHashValT(L"ab"), 97u + 98u},
      {"null wide text", dwHashValT(nullptr), 0u},
      {"empty 8-bit text", dwHashValTA(""), 0u},
      {"8-bit characters count as signed", dwHashValTA("\xff"), 0xffffffffu},
      {"case-blind wide", dwHashValTi(L"ab"), dwHashValTi(L"AB")},
      {"case-blind 8-bit", dwHashValTiA("aBc"), dwHashValTA("ABC")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.nGot, c.nExpected);
  }
  EXPECT_NE(dwHashValT(L"ab"), dwHashValT(L"AB"));
}

}  // namespace
