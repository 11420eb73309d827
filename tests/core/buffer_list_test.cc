// CListeDeBuffer: the cursor rules, a random walk against std::vector, the
// extraction of a run, and refused element allocations.
#include "core/buffer_list.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/core/failing_heap.h"

namespace {

using kqtest::FailingHeap;

std::vector<int> Contents(const CListeDeBuffer& l) {
  std::vector<int> v;
  for (CListeDeBuffer::CLinkedElement* p = l.pGetPremier(); p != nullptr; p = p->pSuivant)
    v.push_back(*static_cast<int*>(CListeDeBuffer::pGetElem(p)));
  return v;
}

int Current(const CListeDeBuffer& l) { return *static_cast<int*>(l.pCourant()); }

CListeDeBuffer* pMakeList(int n) {
  auto* p = new CListeDeBuffer(sizeof(int));
  for (int i = 0; i < n; ++i) p->Ajoute(&i, 0);
  return p;
}

TEST(BufferList, AddingAfterTheOnlyElementMakesTheNewOneLastAndCurrent) {
  CListeDeBuffer l(sizeof(int));
  int a = 1, b = 2;
  l.Ajoute(&a, 0);
  EXPECT_EQ(l.nGetIndiceCourant(), 0);
  l.Ajoute(&b, 0);
  EXPECT_EQ(l.nGetIndiceCourant(), 1);
  EXPECT_EQ(Current(l), 2);
  EXPECT_EQ(l.pGetDernier(), l.pGetCourantElement());
  int c = 0;
  l.Ajoute(&c, 1);  // before the current: the index stays
  EXPECT_EQ(l.nGetIndiceCourant(), 1);
  EXPECT_EQ(Contents(l), (std::vector<int>{1, 0, 2}));
}

TEST(BufferList, RemovingMovesTheCursorBackOrToTheNewFirst) {
  CListeDeBuffer l(sizeof(int));
  int a = 1;
  l.Ajoute(&a, 0);
  EXPECT_EQ(l.SupprimeCourant(), 0);
  EXPECT_EQ(l.nGetIndiceCourant(), -1);
  EXPECT_EQ(l.pCourant(), nullptr);
  EXPECT_EQ(l.pGetPremier(), nullptr);

  CListeDeBuffer* p = pMakeList(3);
  p->pVaSurNumero(0);
  EXPECT_EQ(p->SupprimeCourant(), 2);
  EXPECT_EQ(p->nGetIndiceCourant(), 0);
  EXPECT_EQ(Current(*p), 1);
  p->pVaSurNumero(1);
  p->SupprimeCourant();
  EXPECT_EQ(p->nGetIndiceCourant(), 0);
  EXPECT_EQ(Current(*p), 1);
  delete p;
}

TEST(BufferList, StepMovesStopAtTheEndsWhileFreeMovesFallOff) {
  CListeDeBuffer* p = pMakeList(3);
  EXPECT_EQ(p->pVaSuivant(), nullptr);  // on the last
  EXPECT_EQ(Current(*p), 2);
  EXPECT_EQ(p->nGetIndiceCourant(), 2);
  p->VaSuivant();
  EXPECT_EQ(p->pCourant(), nullptr);
  EXPECT_EQ(p->nGetIndiceCourant(), -1);
  p->pVaSurNumero(0);
  EXPECT_EQ(p->pVaPrecedent(), nullptr);
  EXPECT_EQ(Current(*p), 0);
  p->VaPrecedent();
  EXPECT_EQ(p->nGetIndiceCourant(), -1);
  delete p;
}

TEST(BufferList, MovingToAnIndexWalksTheShortestWay) {
  CListeDeBuffer* p = pMakeList(1000);
  p->pVaSurNumero(0);
  ASSERT_EQ(*static_cast<int*>(p->pVaSurNumero(999)), 999);
  EXPECT_EQ(p->nGetIndiceCourant(), 999);
  for (int n : {500, 2, 998, 501, 0}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(*static_cast<int*>(p->pVaSurNumero(n)), n);
    EXPECT_EQ(p->nGetIndiceCourant(), n);
  }
  EXPECT_EQ(p->pVaSurNumero(1000), nullptr);
  EXPECT_EQ(p->nGetIndiceCourant(), 0);
  delete p;
  CListeDeBuffer empty(sizeof(int));
  EXPECT_EQ(empty.pVaSurNumero(0), nullptr);
}

TEST(BufferList, RandomEditsMatchAVectorWithACursor) {
  std::mt19937 rng(11);
  CListeDeBuffer l(sizeof(int));
  std::vector<int> model;
  int nCursor = -1;
  for (int step = 0; step < 20000; ++step) {
    const int v = static_cast<int>(rng() % 1000);
    const int n = static_cast<int>(model.size());
    switch (rng() % 4) {
      case 0: {
        if (nCursor < 0 && n > 0) break;  // placement without a cursor: see the header
        const int bBefore = static_cast<int>(rng() % 2);
        ASSERT_EQ(l.Ajoute(&v, bBefore), 1);
        if (n == 0) {
          model.push_back(v);
          nCursor = 0;
        } else if (bBefore) {
          model.insert(model.begin() + nCursor, v);
        } else {
          model.insert(model.begin() + nCursor + 1, v);
          ++nCursor;
        }
        break;
      }
      case 1:
        if (nCursor >= 0) {
          model.erase(model.begin() + nCursor);
          ASSERT_EQ(l.SupprimeCourant(), n - 1);
          if (model.empty())
            nCursor = -1;
          else if (nCursor > 0)
            --nCursor;
        }
        break;
      case 2:
        if (n > 0) {
          nCursor = static_cast<int>(rng() % n);
          ASSERT_EQ(*static_cast<int*>(l.pVaSurNumero(nCursor)), model[nCursor]);
        }
        break;
      case 3:
        if (nCursor >= 0 && l.pVaSuivant() != nullptr) ++nCursor;
        break;
    }
    ASSERT_EQ(l.nGetIndiceCourant(), nCursor);
    ASSERT_EQ(l.nGetNbElement(), static_cast<int>(model.size()));
    if (step % 97 == 0) {
      ASSERT_EQ(Contents(l), model);
    }
  }
}

TEST(BufferList, ExtractingARunSplitsTheListAndCarriesTheCursors) {
  CListeDeBuffer* pList = pMakeList(6);  // cursor at 5
  pList->pVaSurNumero(3);
  CListeDeBuffer from(*pList), to(*pList);
  from.pVaSurNumero(1);
  to.pVaSurNumero(4);
  CListeDeBuffer run(sizeof(int));
  run.ExtraitListe(*pList, from, to);
  EXPECT_EQ(Contents(run), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(run.nGetIndiceCourant(), 0);
  EXPECT_EQ(Contents(*pList), (std::vector<int>{0, 4, 5}));
  EXPECT_EQ(pList->nGetNbElement(), 3);
  EXPECT_EQ(Current(*pList), 4) << "the cursor lay in the run";
  EXPECT_EQ(pList->nGetIndiceCourant(), 1);
  EXPECT_EQ(from.nGetIndiceCourant(), 1);
  EXPECT_EQ(Current(to), 4);
  EXPECT_EQ(from.nGetNbElement(), 3);
  delete pList;
}

TEST(BufferList, ExtractingARunToTheEndLeavesTheCursorsOnTheNewLast) {
  CListeDeBuffer* pList = pMakeList(5);  // cursor at 4, inside the run
  CListeDeBuffer from(*pList), to(*pList);
  from.pVaSurNumero(2);
  to.VaSuivant();  // no current element: the run goes to the end
  CListeDeBuffer run(sizeof(int));
  run.ExtraitListe(*pList, from, to);
  EXPECT_EQ(Contents(run), (std::vector<int>{2, 3, 4}));
  EXPECT_EQ(Contents(*pList), (std::vector<int>{0, 1}));
  EXPECT_EQ(Current(*pList), 1);
  EXPECT_EQ(pList->nGetIndiceCourant(), 1);
  EXPECT_EQ(from.pCourant(), nullptr);
  EXPECT_EQ(from.nGetIndiceCourant(), -1);
  delete pList;
}

TEST(BufferList, ExtractingNothingChangesNothing) {
  CListeDeBuffer* pList = pMakeList(4);
  CListeDeBuffer from(*pList), to(*pList);  // both on the last element
  CListeDeBuffer run(sizeof(int));
  run.ExtraitListe(*pList, from, to);
  EXPECT_EQ(run.nGetNbElement(), 0);
  EXPECT_EQ(Contents(*pList), (std::vector<int>{0, 1, 2, 3}));
  delete pList;
}

TEST(BufferList, ARefusedElementLeavesTheListAsItWas) {
  CListeDeBuffer* pList = pMakeList(3);
  const int v = 9;
  FailingHeap::Arm(1);
  EXPECT_EQ(pList->Ajoute(&v, 1), 0);
  FailingHeap::Disarm();
  EXPECT_EQ(Contents(*pList), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(pList->nGetIndiceCourant(), 2);
  delete pList;
}

}  // namespace
