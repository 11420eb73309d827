// The string-keyed hash tables, against the stand-in server's locale service:
// keys that differ only in case or accents are one key, and the table's key
// copies and value references balance on every road, refused allocations
// included.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/hash_table_bounce.h"
#include "core/xmalloc.h"
#include "tests/core/failing_heap.h"
#include "tests/support/bound_framework.h"

namespace {

class CCounted {
 public:
  void AddRef() { ++m_nRefs; }
  int nRelease() { return --m_nRefs; }
  int m_nRefs = 0;
};
void KQAddRef(CCounted* p) { p->AddRef(); }
void KQRelease(CCounted* p) { p->nRelease(); }

class StringHashTest : public kqtest::BoundFrameworkTest {};

struct SamePair {
  const wchar_t* pszA;
  const wchar_t* pszB;
};

const SamePair kSameKeys[] = {
    {L"Résumé", L"RESUME"}, {L"résumé", L"resume"}, {L"ÉCOLE", L"école"},
    {L"Ærø", L"ÆRØ"},       {L"naïve", L"NAIVE"},   {L"", L""},
};

TEST_F(StringHashTest, KeysThatDifferOnlyInCaseOrAccentsCompareEqualAndHashAlike) {
  for (const SamePair& c : kSameKeys) {
    SCOPED_TRACE(testing::Message() << "A=" << std::wstring(c.pszA).size());
    EXPECT_EQ(CHashTableBounce::nStringLogiqueCompare(c.pszA, c.pszB), 0);
    EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(c.pszA),
              CHashTableBounce::dwStringLogiqueHashVal(c.pszB));
  }
}

TEST_F(StringHashTest, KeysThatDifferInALetterAreDifferentKeys) {
  const SamePair cases[] = {{L"abc", L"abd"}, {L"abc", L"abcd"}, {L"", L"a"}, {L"e", L"f"}};
  for (const SamePair& c : cases) {
    SCOPED_TRACE(testing::Message() << std::wstring(c.pszA).size() << "/" << std::wstring(c.pszB).size());
    EXPECT_NE(CHashTableBounce::nStringLogiqueCompare(c.pszA, c.pszB), 0);
  }
}

TEST_F(StringHashTest, TheHashIsDjb2OfTheUpperCaseUnaccentedForm) {
  unsigned int dwExpected = 5381;
  for (wchar_t c : std::wstring(L"ECOLE")) dwExpected = dwExpected * 33 + unsigned(c);
  EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(L"école"), dwExpected);
  EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(L""), 5381u);
  EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(nullptr), 5381u);
}

TEST_F(StringHashTest, LongKeysHashAsAWhole) {
  // Longer than the chunk the hash maps at a time, differing on both sides of
  // the chunk boundaries.
  std::wstring sLower;
  std::wstring sUpper;
  for (int i = 0; i < 1000; ++i) {
    sLower += (i % 7 == 0) ? L'é' : wchar_t(L'a' + i % 26);
    sUpper += (i % 7 == 0) ? L'E' : wchar_t(L'A' + i % 26);
  }
  EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(sLower.c_str()),
            CHashTableBounce::dwStringLogiqueHashVal(sUpper.c_str()));
  std::wstring sOther = sUpper;
  sOther[600] = L'#';
  EXPECT_NE(CHashTableBounce::dwStringLogiqueHashVal(sOther.c_str()),
            CHashTableBounce::dwStringLogiqueHashVal(sUpper.c_str()));
}

TEST_F(StringHashTest, AStringTableFindsAndRemovesAKeyByAnySpellingOfIt) {
  CCounted a;
  CCounted b;
  {
    CRefStringHashTable<CCounted*> t;
    ASSERT_TRUE(t.bAddStringElement(L"Résumé", &a));
    ASSERT_TRUE(t.bAddStringElement(L"Straße", &b));
    EXPECT_EQ(a.m_nRefs, 1);
    for (const wchar_t* psz : {L"RESUME", L"resume", L"rÉsUmÉ"}) {
      void* pValue = nullptr;
      void* pKey = nullptr;
      ASSERT_TRUE(t.bGetElement(psz, &pValue, &pKey));
      EXPECT_EQ(pValue, &a);
      EXPECT_EQ(std::wstring(static_cast<wchar_t*>(pKey)), L"Résumé");  // the stored copy
      EXPECT_NE(pKey, static_cast<const void*>(L"Résumé"));
    }
    void* pValue = nullptr;
    void* pKey = nullptr;
    ASSERT_TRUE(t.bDeleteElement(L"RÉSUMÉ", &pValue, &pKey));
    EXPECT_EQ(pValue, &a);
    t._Release(static_cast<CCounted*>(pValue));  // the caller's, with the key copy
    XMALLOC_Del_(pKey);
    EXPECT_FALSE(t.bGetElement(L"resume", nullptr, nullptr));
    EXPECT_TRUE(t.bGetElement(L"STRASSE", nullptr, nullptr));
  }
  EXPECT_EQ(a.m_nRefs, 0);
  EXPECT_EQ(b.m_nRefs, 0);  // the destructor released it and freed its key
}

TEST_F(StringHashTest, ManyStringKeysSurviveGrowthAndShrink) {
  std::vector<CCounted> objects(300);
  {
    CRefStringHashTable<CCounted*> t;
    for (int i = 0; i < 300; ++i)
      ASSERT_TRUE(t.bAddStringElement((L"clé-" + std::to_wstring(i)).c_str(), &objects[i]));
    for (int i = 0; i < 300; ++i) {
      void* pValue = nullptr;
      ASSERT_TRUE(t.bGetElement((L"CLE-" + std::to_wstring(i)).c_str(), &pValue, nullptr));
      EXPECT_EQ(pValue, &objects[i]);
    }
    for (int i = 0; i < 290; ++i) {
      void* pValue = nullptr;
      void* pKey = nullptr;
      ASSERT_TRUE(t.bDeleteElement((L"Clé-" + std::to_wstring(i)).c_str(), &pValue, &pKey));
      t._Release(static_cast<CCounted*>(pValue));
      XMALLOC_Del_(pKey);
    }
    EXPECT_EQ(t.nGetLevel(), 1);
  }
  for (const CCounted& o : objects) EXPECT_EQ(o.m_nRefs, 0);
}

TEST_F(StringHashTest, ARefusedStringInsertionStoresNothingAndTakesNoReference) {
  CCounted a;
  std::unique_ptr<CRefStringHashTable<CCounted*>> t;
  int nRefusals = 0;
  kqtest::ForEachRefusedAllocation(
      [&] {
        t = std::make_unique<CRefStringHashTable<CCounted*>>();
        for (int i = 0; i < 8; ++i) t->bAddStringElement(std::to_wstring(i).c_str(), nullptr);
      },
      [&] { t->bAddStringElement(L"Nouveau", &a); },
      [&](int k) {
        SCOPED_TRACE(k);
        ++nRefusals;
        EXPECT_EQ(a.m_nRefs, 0);
        EXPECT_EQ(t->dwGetNumElement(), 8u);
        EXPECT_FALSE(t->bGetElement(L"NOUVEAU", nullptr, nullptr));
        t.reset();  // frees the eight key copies
      });
  EXPECT_EQ(nRefusals, 3);  // the key copy, the bucket block, the element block
  t.reset();
  EXPECT_EQ(a.m_nRefs, 0);
}

}  // namespace
