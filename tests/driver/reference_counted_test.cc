// CInterf: the reference-counted base of the native-access objects, and the
// CInterfRef holder.
#include "driver/reference_counted.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

namespace {

// A counted object that reports its death by its number.
class CProbe : public CInterf {
 public:
  CProbe(int nId, std::vector<int>* pDeaths) : m_nId(nId), m_pDeaths(pDeaths) {}
  ~CProbe() override { m_pDeaths->push_back(m_nId); }

 private:
  int m_nId;
  std::vector<int>* m_pDeaths;
};

TEST(ReferenceCounted, TheReleaseOfTheLastReferenceDestroysTheObject) {
  std::vector<int> deaths;
  auto* p = new CProbe(1, &deaths);
  EXPECT_EQ(p->nGetRefCount(), 0);
  EXPECT_EQ(p->_NotToBeCalled(), 0);
  p->AddRef();
  p->AddRef();
  EXPECT_EQ(p->nRelease(), 1);
  EXPECT_TRUE(deaths.empty());
  EXPECT_EQ(p->nRelease(), 0);
  EXPECT_EQ(deaths, std::vector<int>{1});
}

TEST(ReferenceCounted, ReleasingAnObjectAtCountZeroChangesNothing) {
  std::vector<int> deaths;
  CProbe probe(1, &deaths);  // never counted: its owner destroys it
  EXPECT_EQ(probe.nRelease(), 0);
  EXPECT_EQ(probe.nGetRefCount(), 0);
  EXPECT_TRUE(deaths.empty());
}

TEST(ReferenceCounted, AHeldObjectSurvivesTheReleaseToZero) {
  std::vector<int> deaths;
  auto* p = new CProbe(1, &deaths);
  p->SetHold(1);
  p->AddRef();
  EXPECT_EQ(p->nRelease(), 0);
  EXPECT_TRUE(deaths.empty());
  EXPECT_EQ(p->nGetRefCount(), 0);
  EXPECT_EQ(p->nRelease(), 0);  // still at 0, still alive
  EXPECT_TRUE(deaths.empty());
  delete p;
  EXPECT_EQ(deaths, std::vector<int>{1});
}

TEST(ReferenceCounted, NullIsSkippedByTheReferenceOperations) {
  KQAddRef(static_cast<CInterf*>(nullptr));
  KQRelease(static_cast<CInterf*>(nullptr));
  CInterfRef<CProbe> empty;
  EXPECT_FALSE(empty);
  empty.Reset();
  EXPECT_EQ(empty.pGet(), nullptr);
}

TEST(ReferenceCounted, HoldersTakeAndGiveBackOneReferenceEach) {
  std::vector<int> deaths;
  auto* p = new CProbe(7, &deaths);
  {
    CInterfRef<CProbe> a(p);
    EXPECT_EQ(p->nGetRefCount(), 1);
    CInterfRef<CProbe> b(a);
    EXPECT_EQ(p->nGetRefCount(), 2);
    CInterfRef<CProbe> c(std::move(b));
    EXPECT_EQ(p->nGetRefCount(), 2);
    EXPECT_EQ(b.pGet(), nullptr);
    c.Reset(p);  // the same object again: no death on the way
    EXPECT_EQ(p->nGetRefCount(), 2);
    a = c;
    EXPECT_EQ(p->nGetRefCount(), 2);
    a = std::move(a);  // NOLINT: self-move is harmless
    EXPECT_TRUE(deaths.empty());
  }
  EXPECT_EQ(deaths, std::vector<int>{7});
}

// Random reference operations on a few objects, checked against a model of
// the references: an object dies exactly when its last reference goes.
TEST(ReferenceCounted, CountsFollowAModelOverRandomOperations) {
  std::mt19937 rng(20240516);
  std::vector<int> deaths;
  constexpr int kObjects = 6;
  struct Refs {
    int nOwn;   // taken by the test with AddRef
    int nHeld;  // taken by holders
  };
  std::vector<CProbe*> objects;
  std::map<int, Refs> model;
  for (int i = 0; i < kObjects; ++i) {
    objects.push_back(new CProbe(i, &deaths));
    objects[i]->AddRef();
    model[i] = {1, 0};
  }
  std::vector<CInterfRef<CProbe>> holders;
  for (int step = 0; step < 2000 && !model.empty(); ++step) {
    auto it = model.begin();
    std::advance(it, rng() % model.size());
    const int id = it->first;
    Refs& refs = it->second;
    switch (rng() % 4) {
      case 0:  // a holder takes one
        holders.emplace_back(objects[id]);
        ++refs.nHeld;
        break;
      case 1:  // a holder gives one back
        for (size_t h = 0; h < holders.size(); ++h) {
          if (holders[h].pGet() == objects[id]) {
            holders.erase(holders.begin() + static_cast<long>(h));
            --refs.nHeld;
            break;
          }
        }
        break;
      case 2:  // the test takes one more
        objects[id]->AddRef();
        ++refs.nOwn;
        break;
      default:  // the test gives one back
        if (refs.nOwn > 0) {
          const int nExpected = refs.nOwn + refs.nHeld - 1;
          EXPECT_EQ(objects[id]->nRelease(), nExpected);
          --refs.nOwn;
        }
        break;
    }
    if (refs.nOwn + refs.nHeld == 0) {
      model.erase(it);
      ASSERT_FALSE(deaths.empty());
      EXPECT_EQ(deaths.back(), id);
    }
    for (const auto& [liveId, live] : model)
      ASSERT_EQ(objects[liveId]->nGetRefCount(), live.nOwn + live.nHeld);
    ASSERT_EQ(deaths.size(), static_cast<size_t>(kObjects) - model.size());
  }
  // The test's own references first, then the holders': everything dies.
  for (const auto& [liveId, live] : model)
    for (int r = 0; r < live.nOwn; ++r) objects[liveId]->nRelease();
  holders.clear();
  EXPECT_EQ(deaths.size(), static_cast<size_t>(kObjects));
}

}  // namespace
