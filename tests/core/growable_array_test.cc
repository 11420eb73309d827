// CTableauDeBuffer and its typed forms: growth and compaction rules, the
// element moves checked against std::vector, the reference arrays' counting
// (fake counted objects), and every allocation refused in turn.
#include "core/growable_array.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "tests/core/failing_heap.h"

namespace {

using kqtest::FailingHeap;
using kqtest::ForEachRefusedAllocation;

std::vector<int> Contents(const CTTableau<int>& a) {
  return std::vector<int>(a.pGetData(), a.pGetData() + a.nGetNbElement());
}

// A counted object that logs its releases, in order, to a fixed log (no heap:
// the refused-allocation runs count the heap calls).
struct ReleaseLog {
  int aIds[64];
  int nCount = 0;
};

struct FakeCounted {
  int nId = 0;
  int nRefs = 0;
  ReleaseLog* pLog = nullptr;
};

void KQAddRef(FakeCounted* p) { ++p->nRefs; }
void KQRelease(FakeCounted* p) {
  --p->nRefs;
  if (p->pLog != nullptr && p->pLog->nCount < 64) p->pLog->aIds[p->pLog->nCount++] = p->nId;
}

TEST(GrowableArray, GrowsByTheStepAndBy20PastAHundredWhenTheStepIsOne) {
  struct Case {
    const char* name;
    int nElementSize;
    int nStep;
    int nAdds;
    std::vector<int> expected;  // distinct capacities in order
  };
  std::vector<int> stepOne;
  for (int i = 1; i <= 101; ++i) stepOne.push_back(i);
  for (int c = 121; c <= 201; c += 20) stepOne.push_back(c);
  std::vector<int> bigElements;
  for (int i = 1; i <= 150; ++i) bigElements.push_back(i);
  const Case cases[] = {
      {"step 1, 4-byte elements", 4, 1, 200, stepOne},
      {"step 1, 300-byte elements keep growing one by one", 300, 1, 150, bigElements},
      {"step 10 stays 10",
       4,
       10,
       150,
       {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150}},
      {"step 0 is taken as 1", 4, 0, 3, {1, 2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTableauDeBuffer a(c.nElementSize, c.nStep, 30);
    std::vector<unsigned char> element(c.nElementSize, 7);
    std::vector<int> seen;
    for (int i = 0; i < c.nAdds; ++i) {
      ASSERT_EQ(a.Ajoute(element.data()), 1);
      if (seen.empty() || seen.back() != a.nGetCapacite()) seen.push_back(a.nGetCapacite());
    }
    EXPECT_EQ(seen, c.expected);
    EXPECT_EQ(a.nGetNbElement(), c.nAdds);
  }
}

TEST(GrowableArray, CompactsOnlyWhenMoreThanTheSlackIsSpare) {
  CTTableau<int> a(100, 30);
  for (int i = 0; i < 100; ++i) a.Ajoute(i);
  ASSERT_EQ(a.nGetCapacite(), 100);
  while (a.nGetNbElement() > 70) a.SupprimeCompacte(0);
  EXPECT_EQ(a.nGetCapacite(), 100);  // 30 spare: not more than the slack
  a.SupprimeCompacte(0);
  EXPECT_EQ(a.nGetCapacite(), 69);
  EXPECT_EQ(a[0], 31);
  EXPECT_EQ(a[68], 99);
}

TEST(GrowableArray, CompactingAnEmptyArrayFreesItsStorageAndTheNextAddTakesOneStep) {
  CTTableau<int> a(10, 30);
  a.Ajoute(1);
  a.Supprime(0, 1);
  a.Compacter();
  EXPECT_EQ(a.pGetBuffer(), nullptr);
  EXPECT_EQ(a.nGetCapacite(), 0);
  a.Ajoute(2);
  EXPECT_EQ(a.nGetCapacite(), 10);
  EXPECT_EQ(a[0], 2);
}

TEST(GrowableArray, RemovingNothingOrTheTailMovesNothing) {
  CTTableau<int> a(1, 30);
  for (int i = 0; i < 5; ++i) a.Ajoute(i);
  const void* pBefore = a.pGetBuffer();
  a.Supprime(2, 0);
  EXPECT_EQ(Contents(a), (std::vector<int>{0, 1, 2, 3, 4}));
  a.Supprime(3, 2);
  EXPECT_EQ(Contents(a), (std::vector<int>{0, 1, 2}));
  a.SupprimeDernier(1);
  EXPECT_EQ(Contents(a), (std::vector<int>{0, 1}));
  EXPECT_EQ(a.pGetBuffer(), pBefore);
  EXPECT_EQ(a.nGetCapacite(), 5);
}

TEST(GrowableArray, ExtendingBeyondTheEndFillsTheGap) {
  CTTableau<int> a(1, 30);
  ASSERT_EQ(a.Etend(5, 9, -1), 1);
  EXPECT_EQ(Contents(a), (std::vector<int>{-1, -1, -1, -1, -1, 9}));
  EXPECT_EQ(a.nGetCapacite(), 6);
  a.Etend(2, 4, -1);
  a.Etend(6, 5, -1);
  EXPECT_EQ(Contents(a), (std::vector<int>{-1, -1, 4, -1, -1, 9, 5}));
}

TEST(GrowableArray, ReservingGrowsByWholeStepsOrToTheAskedCapacity) {
  CTTableau<int> a(10, 30);
  a.AgranditMemoire(0);
  EXPECT_EQ(a.nGetCapacite(), 0);
  a.AgranditMemoire(11);
  EXPECT_EQ(a.nGetCapacite(), 20);
  a.AlloueMemoire(27);
  EXPECT_EQ(a.nGetCapacite(), 27);
  a.AlloueMemoire(5);
  EXPECT_EQ(a.nGetCapacite(), 27);
  EXPECT_EQ(a.nGetPas(), 10);  // the temporary step is restored
}

int nIsNot(int nCtx, const void* p) { return reinterpret_cast<intptr_t>(p) == nCtx ? 0 : 1; }

TEST(GrowableArray, LinearSearchAnswersTheFirstMatchOrNothing) {
  CTTableau<intptr_t> a(1, 30);
  EXPECT_EQ(a.nRechercheLineaireCriterePointeur(3, nIsNot), -1);
  EXPECT_EQ(a.pRechercheLineaireCriterePointeur(3, nIsNot), nullptr);
  for (intptr_t v : {5, 3, 7, 3}) a.Ajoute(v);
  EXPECT_EQ(a.nRechercheLineaireCriterePointeur(3, nIsNot), 1);
  EXPECT_EQ(a.pRechercheLineaireCriterePointeur(7, nIsNot), reinterpret_cast<void*>(7));
  EXPECT_EQ(a.nRechercheLineaireCriterePointeur(8, nIsNot), -1);
}

TEST(GrowableArray, PermutingRunsRebuildsTheOrder) {
  CTTableau<int> a(1, 30);
  for (int i = 0; i < 8; ++i) a.Ajoute(i);
  const _STBlocATrier blocs[] = {{5, 1}, {2, 2}, {4, 1}};  // covers 2..5
  ASSERT_EQ(a.PermuteMultiple(2, blocs, 3), 1);
  EXPECT_EQ(Contents(a), (std::vector<int>{0, 1, 5, 2, 3, 4, 6, 7}));
  EXPECT_EQ(a.nGetCapacite(), 8);
}

TEST(GrowableArray, TakingOverAndExchangingMoveWholeStates) {
  CTTableau<int> a(1, 30), b(5, 20);
  a.Ajoute(1);
  a.Ajoute(2);
  b.Ajoute(3);
  EchangeTableau(&a, &b);
  EXPECT_EQ(Contents(a), std::vector<int>{3});
  EXPECT_EQ(a.nGetPas(), 5);
  EXPECT_EQ(Contents(b), (std::vector<int>{1, 2}));
  a.Recupere(b);
  EXPECT_EQ(Contents(a), (std::vector<int>{1, 2}));
  EXPECT_EQ(a.nGetPas(), 5);  // its own step
  EXPECT_EQ(b.nGetNbElement(), 0);
  EXPECT_EQ(b.pGetBuffer(), nullptr);
  ASSERT_EQ(b._Duplique(a), 1);
  EXPECT_EQ(Contents(b), (std::vector<int>{1, 2}));
}

TEST(GrowableArray, RandomOperationsMatchAVector) {
  std::mt19937 rng(5);
  CTTableau<int> a(1, 30);
  std::vector<int> model;
  for (int step = 0; step < 20000; ++step) {
    const int n = static_cast<int>(model.size());
    const int v = static_cast<int>(rng() % 1000);
    switch (rng() % 9) {
      case 0:
      case 1:
        a.Ajoute(v);
        model.push_back(v);
        break;
      case 2: {
        const int i = static_cast<int>(rng() % (n + 1));
        a.Insere(v, i);
        model.insert(model.begin() + i, v);
        break;
      }
      case 3:
        if (n > 0) {
          const int i = static_cast<int>(rng() % n);
          const int k = static_cast<int>(rng() % (n - i + 1));
          a.Supprime(i, k);
          model.erase(model.begin() + i, model.begin() + i + k);
        }
        break;
      case 4:
        if (n > 0) {
          const int i = static_cast<int>(rng() % n);
          a.SupprimeCompacte(i);
          model.erase(model.begin() + i);
          ASSERT_LE(a.nGetCapacite() - a.nGetNbElement(), 30 + 20);
        }
        break;
      case 5:
        if (n > 0) {
          const int i = static_cast<int>(rng() % n), j = static_cast<int>(rng() % n);
          a.Deplace(i, j);
          const int x = model[i];
          model.erase(model.begin() + i);
          model.insert(model.begin() + j, x);
        }
        break;
      case 6:
        if (n > 0) {
          const int i = static_cast<int>(rng() % n), j = static_cast<int>(rng() % n);
          a.Swap(i, j);
          std::swap(model[i], model[j]);
        }
        break;
      case 7: {
        const int i = static_cast<int>(rng() % (n + 3));
        a.Etend(i, v, -7);
        if (i >= n) model.resize(i + 1, -7);
        model[i] = v;
        break;
      }
      case 8:
        if (rng() % 8 == 0) {
          a.Compacter();
          ASSERT_EQ(a.nGetCapacite(), n);
        }
        break;
    }
    ASSERT_LE(a.nGetNbElement(), a.nGetCapacite());
    ASSERT_EQ(Contents(a), model) << "step " << step;
  }
}

TEST(GrowableArray, SizesThatDoNotFit32BitsAreRefusedWithoutAllocating) {
  CTableauDeBuffer a(0x10000000, 1, 30);  // 256 MB elements
  FailingHeap::Arm(0);
  EXPECT_EQ(a.AlloueMemoire(17), 0);
  EXPECT_EQ(FailingHeap::Disarm(), 0) << "asked the heap";
  EXPECT_EQ(a.nGetCapacite(), 0);
  EXPECT_EQ(a.pGetBuffer(), nullptr);
}

// The sound form of a failed growth: the old block and its elements stay,
// and the add answers the failure.
TEST(GrowableArray, AFailedGrowthKeepsTheElementsAndAnswersTheFailure) {
  CTTableau<int> a(1, 30);
  for (int i = 0; i < 10; ++i) a.Ajoute(i);
  const void* pBefore = a.pGetBuffer();
  FailingHeap::Arm(1);
  const int bOk = a.Ajoute(10);
  FailingHeap::Disarm();
  EXPECT_EQ(bOk, 0);
  EXPECT_EQ(a.pGetBuffer(), pBefore);
  EXPECT_EQ(a.nGetCapacite(), 10);
  EXPECT_EQ(Contents(a), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(a.Ajoute(10), 1);
}

TEST(GrowableArray, EveryRefusedAllocationLeavesTheElementsInPlace) {
  struct Case {
    const char* name;
    void (*op)(CTTableau<int>&, int&);  // int: the operation's answer
    std::vector<int> whenRefused;
  };
  const std::vector<int> start = {0, 1, 2, 3, 4};
  const Case cases[] = {
      {"Ajoute when full", [](CTTableau<int>& a, int& r) { r = a.Ajoute(9); }, start},
      {"Insere when full", [](CTTableau<int>& a, int& r) { r = a.Insere(9, 0); }, start},
      {"Etend beyond the end", [](CTTableau<int>& a, int& r) { r = a.Etend(8, 9, -1); }, start},
      {"AlloueMemoire", [](CTTableau<int>& a, int& r) { r = a.AlloueMemoire(50); }, start},
      {"AgranditMemoire", [](CTTableau<int>& a, int& r) { r = a.AgranditMemoire(3); }, start},
      {"PermuteMultiple",
       [](CTTableau<int>& a, int& r) {
         const _STBlocATrier b[] = {{1, 1}, {0, 1}};
         r = a.PermuteMultiple(0, b, 2);
       },
       start},
      {"Compacter after removals",
       [](CTTableau<int>& a, int& r) {
         a.AlloueMemoire(40);
         a.SupprimeCompacte(4);  // 36 spare: compacts
         r = a.nGetNbElement() == 4 ? 0 : -1;
       },
       {0, 1, 2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTTableau<int>* pArray = nullptr;
    int nAnswer = -1;
    ForEachRefusedAllocation(
        [&] {
          delete pArray;
          pArray = new CTTableau<int>(1, 30);
          for (int v : start) pArray->Ajoute(v);
        },
        [&] { c.op(*pArray, nAnswer); },
        [&](int k) {
          SCOPED_TRACE(k);
          EXPECT_EQ(nAnswer, 0);
          EXPECT_EQ(Contents(*pArray), c.whenRefused);
          EXPECT_LE(pArray->nGetNbElement(), pArray->nGetCapacite());
          EXPECT_EQ(pArray->Ajoute(42), 1);  // still usable
        });
    delete pArray;
  }
}

TEST(GrowableArray, ARefusedInitialisationOrCopyChangesNothing) {
  CTTableau<int> a(1, 30);
  FailingHeap::Arm(1);
  EXPECT_EQ(a.Initialise(7, 4), 0);
  FailingHeap::Disarm();
  EXPECT_EQ(a.nGetNbElement(), 0);
  EXPECT_EQ(a.pGetBuffer(), nullptr);
  ASSERT_EQ(a.Initialise(7, 4), 1);
  EXPECT_EQ(Contents(a), (std::vector<int>{7, 7, 7, 7}));

  CTTableau<int> b(1, 30);
  b.Ajoute(1);
  FailingHeap::Arm(1);
  EXPECT_EQ(b._Duplique(a), 0);
  FailingHeap::Disarm();
  EXPECT_EQ(Contents(b), std::vector<int>{1});
}

class RefArray : public testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 5; ++i) aObjects[i] = {i, 0, &log};
  }
  ReleaseLog log;
  FakeCounted aObjects[5];
};

TEST_F(RefArray, DestructionReleasesFromTheLastToTheFirst) {
  {
    CRefArray<FakeCounted> a(1, 30);
    for (FakeCounted& o : aObjects) a.Ajoute(&o);
    a.Ajoute(nullptr);  // null elements take and drop nothing
    for (FakeCounted& o : aObjects) EXPECT_EQ(o.nRefs, 1);
  }
  EXPECT_EQ(std::vector<int>(log.aIds, log.aIds + log.nCount), (std::vector<int>{4, 3, 2, 1, 0}));
  for (FakeCounted& o : aObjects) EXPECT_EQ(o.nRefs, 0);
}

TEST_F(RefArray, RemovingAllReleasesFromTheLastToTheFirstAndKeepsTheStorage) {
  CRefArray<FakeCounted> a(10, 30);
  for (FakeCounted& o : aObjects) a.Ajoute(&o);
  a.SupprimeTout();
  EXPECT_EQ(std::vector<int>(log.aIds, log.aIds + log.nCount), (std::vector<int>{4, 3, 2, 1, 0}));
  EXPECT_EQ(a.nGetNbElement(), 0);
  EXPECT_EQ(a.nGetCapacite(), 10);
}

TEST_F(RefArray, EveryInsertionTakesAReferenceAndEveryRemovalDropsOne) {
  CRefArray<FakeCounted> a(1, 30);
  a.Ajoute(&aObjects[0]);
  a.Insere(&aObjects[1], 0);
  a.Ajoute(&aObjects[2]);
  a.Ajoute(&aObjects[0]);
  EXPECT_EQ(aObjects[0].nRefs, 2);
  a.SetAt(&aObjects[3], 3);  // replaces the second &aObjects[0]
  EXPECT_EQ(aObjects[0].nRefs, 1);
  EXPECT_EQ(aObjects[3].nRefs, 1);
  a.SetAt(&aObjects[3], 3);  // the same element again: taken, then dropped
  EXPECT_EQ(aObjects[3].nRefs, 1);
  a.Supprime(1, 2);  // aObjects[0], then [2]: released last first
  EXPECT_EQ(std::vector<int>(log.aIds, log.aIds + log.nCount), (std::vector<int>{0, 3, 2, 0}));
  EXPECT_EQ(aObjects[0].nRefs, 0);
  EXPECT_EQ(aObjects[2].nRefs, 0);
  a.SupprimeCompacte(0);
  EXPECT_EQ(aObjects[1].nRefs, 0);
  CRefArray<FakeCounted> b(1, 30);
  ASSERT_EQ(b._Duplique(a), 1);
  EXPECT_EQ(aObjects[3].nRefs, 2);
}

TEST_F(RefArray, ARefusedGrowthTakesNoReference) {
  CRefArray<FakeCounted> a(1, 30);
  a.Ajoute(&aObjects[0]);
  FailingHeap::Arm(1);
  EXPECT_EQ(a.Ajoute(&aObjects[1]), 0);
  EXPECT_EQ(a.Insere(&aObjects[1], 0), 1) << "only the first allocation was refused";
  FailingHeap::Disarm();
  EXPECT_EQ(aObjects[0].nRefs, 1);
  EXPECT_EQ(aObjects[1].nRefs, 1);
  EXPECT_EQ(a.nGetNbElement(), 2);
}

// Whatever allocation is refused, each object holds exactly as many
// references as the arrays hold copies of it.
TEST_F(RefArray, EveryRefusedAllocationKeepsTheReferencesBalanced) {
  struct Case {
    const char* name;
    void (*op)(CRefArray<FakeCounted>&, CRefArray<FakeCounted>&, FakeCounted*);
  };
  const Case cases[] = {
      {"Ajoute when full",
       [](CRefArray<FakeCounted>& a, CRefArray<FakeCounted>&, FakeCounted* o) { a.Ajoute(&o[4]); }},
      {"Insere when full", [](CRefArray<FakeCounted>& a, CRefArray<FakeCounted>&,
                              FakeCounted* o) { a.Insere(&o[4], 1); }},
      {"Initialise", [](CRefArray<FakeCounted>&, CRefArray<FakeCounted>& b,
                        FakeCounted* o) { b.Initialise(&o[0], 3); }},
      {"_Duplique",
       [](CRefArray<FakeCounted>& a, CRefArray<FakeCounted>& b, FakeCounted*) { b._Duplique(a); }},
      {"SupprimeCompacte",
       [](CRefArray<FakeCounted>& a, CRefArray<FakeCounted>&, FakeCounted*) {
         a.AlloueMemoire(40);
         a.SupprimeCompacte(0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CRefArray<FakeCounted>* pA = nullptr;
    CRefArray<FakeCounted>* pB = nullptr;
    auto reset = [&] {
      delete pA;
      delete pB;
      pA = new CRefArray<FakeCounted>(1, 30);
      pB = new CRefArray<FakeCounted>(1, 30);
      for (int i = 0; i < 4; ++i) pA->Ajoute(&aObjects[i]);
    };
    kqtest::ForEachRefusedAllocation(
        reset, [&] { c.op(*pA, *pB, aObjects); },
        [&](int k) {
          SCOPED_TRACE(k);
          for (FakeCounted& o : aObjects) {
            int nCopies = 0;
            for (auto* p : {pA, pB})
              for (int i = 0; i < p->nGetNbElement(); ++i) nCopies += (*p)[i] == &o;
            EXPECT_EQ(o.nRefs, nCopies) << "object " << o.nId;
          }
        });
    delete pA;
    delete pB;
    for (FakeCounted& o : aObjects) EXPECT_EQ(o.nRefs, 0);
  }
}

struct CountedElement : CKQUnknown {
  explicit CountedElement(int* pDestroyed) : m_pDestroyed(pDestroyed) {}
  ~CountedElement() override { ++*m_pDestroyed; }
  int* m_pDestroyed;
};

TEST(NARefArray, DiesAtItsLastReleaseAndReleasesItsElements) {
  int nDestroyed = 0;
  auto* pArray = new CNARefArray<CountedElement>(1, 30);
  pArray->dwAddRef();
  pArray->dwAddRef();
  auto* pKept = new CountedElement(&nDestroyed);
  pKept->dwAddRef();
  pArray->Ajoute(new CountedElement(&nDestroyed));
  pArray->Ajoute(pKept);
  EXPECT_EQ(pArray->dwRelease(), 1u);
  EXPECT_EQ(nDestroyed, 0);
  EXPECT_EQ(pArray->dwRelease(), 0u);
  EXPECT_EQ(nDestroyed, 1);
  EXPECT_EQ(pKept->nGetRefCount(), 1);
  pKept->dwRelease();
  EXPECT_EQ(nDestroyed, 2);
}

}  // namespace
