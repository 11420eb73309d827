// The module entry as the server drives it: kq230maria.so loaded with dlopen,
// started with the stand-in virtual machine's handle.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "host/harness/host_harness.h"

namespace {

// The services of one binding, in the order the server expects them.
const std::string kBindingWithoutLibShop =
    "3053:9 3053:10 3053:12 3053:13 3053:15 3053:14 3053:17 "
    "3053:1 3053:5 3053:2 3053:3 3053:4 3053:8";
const std::string kBindingWithLibShop =
    "3053:9 3053:10 3053:12 3053:13 3053:15 3053:14 3053:17 3053:7 "
    "3053:1 3053:5 3053:2 3053:3 3053:4 3053:8";

class ModuleEntry : public testing::Test {
 protected:
  void SetUp() override {
    std::string strError;
    ASSERT_TRUE(m_harness.bLoad(&strError)) << strError;
  }
  void TearDown() override {
    // Leave nothing bound, whatever the test did: extra stops are harmless.
    for (int i = 0; i < 8; ++i) m_harness.nStop();
  }
  // Whether the singleton exists, seen through 4963: with the factory above
  // level 1 it answers 1 only when the singleton is there to act.
  // REQUIRES: a start has succeeded since the driver was loaded (the factory
  // is bound then and stays bound).
  bool Bound() {
    m_harness.Control().SetFactoryLevel(2);
    const int n = m_harness.nExecution(4963, nullptr);
    m_harness.Control().SetFactoryLevel(0);
    return n == 1;
  }
  // Whether nothing is left of an earlier binding: a new start binds afresh.
  // Leaves the driver stopped.
  bool BindsAfresh() {
    ClearLog();
    const bool bOk = m_harness.nStart() == 1 && m_harness.strLog() == kBindingWithLibShop;
    m_harness.nStop();
    return bOk;
  }
  void ClearLog() {
    // Reset clears settings too; tests set theirs after calling this.
    m_harness.Control().Reset();
  }

  CHostHarness m_harness;
};

TEST_F(ModuleEntry, StartFetchesTheServicesInTheServersOrder) {
  ASSERT_EQ(m_harness.nStart(20), 1);
  EXPECT_EQ(m_harness.strLog(), kBindingWithLibShop);
}

TEST_F(ModuleEntry, StartWithALibraryShopInTheRecordDoesNotAskForOne) {
  ASSERT_EQ(m_harness.nStart(20, m_harness.Control().piGetLibShop(1)), 1);
  EXPECT_EQ(m_harness.strLog(), kBindingWithoutLibShop);
}

TEST_F(ModuleEntry, ShortStartRecordsAreReadOnlyAsFarAsTheyReach) {
  // Each record is allocated with exactly its size: ASan catches a read past it.
  for (uint32_t nSize : {8u, 12u, 16u, 20u}) {
    SCOPED_TRACE(nSize);
    ClearLog();
    m_harness.Control().SetServiceAvailable(7, 1);
    // A library shop passed in a record too short to hold it is not seen.
    ASSERT_EQ(m_harness.nStart(nSize, m_harness.Control().piGetLibShop(1), 1, 2), 1);
    EXPECT_EQ(m_harness.strLog(), nSize >= 20 ? kBindingWithoutLibShop : kBindingWithLibShop);
    EXPECT_EQ(m_harness.nStop(), 1);
  }
}

TEST_F(ModuleEntry, StartsAndStopsAreCountedAndTheLastStopEndsTheBinding) {
  ASSERT_EQ(m_harness.nStart(), 1);
  ASSERT_EQ(m_harness.nStart(), 1);
  EXPECT_TRUE(Bound());
  EXPECT_EQ(m_harness.nStop(), 1);
  EXPECT_TRUE(Bound()) << "one start is still open";
  EXPECT_EQ(m_harness.nStop(), 1);
  EXPECT_FALSE(Bound());
}

TEST_F(ModuleEntry, ASecondStartDoesNotBindAgain) {
  ASSERT_EQ(m_harness.nStart(), 1);
  ClearLog();
  ASSERT_EQ(m_harness.nStart(), 1);
  EXPECT_EQ(m_harness.strLog(), "");
}

TEST_F(ModuleEntry, StopsWithoutStartsAreHarmless) {
  EXPECT_EQ(m_harness.nStop(), 1);
  EXPECT_EQ(m_harness.nStop(), 1);
  ASSERT_EQ(m_harness.nStart(), 1);
  EXPECT_EQ(m_harness.nStop(), 1);
  EXPECT_EQ(m_harness.nStop(), 1);
  EXPECT_FALSE(Bound());
  EXPECT_TRUE(BindsAfresh());
  EXPECT_EQ(m_harness.Control().nBadStrReleases(), 0);
}

TEST_F(ModuleEntry, StartFailsWhenTheServerLacksTheAllocatorOrTheLocaleService) {
  for (int nService : {12, 13}) {
    SCOPED_TRACE(nService);
    ClearLog();
    m_harness.Control().SetServiceAvailable(nService, 0);
    EXPECT_EQ(m_harness.nStart(), 0);
    // A failed start leaves nothing behind: the next one binds afresh.
    m_harness.Control().SetServiceAvailable(nService, 1);
    EXPECT_TRUE(BindsAfresh());
  }
}

TEST_F(ModuleEntry, OtherMissingServicesAreStoredAsNull) {
  m_harness.Control().SetServiceAvailable(9, 0);
  m_harness.Control().SetServiceAvailable(15, 0);
  EXPECT_EQ(m_harness.nStart(), 1);
}

TEST_F(ModuleEntry, AHandleWithoutExecutionBindsNothing) {
  void* hOther = dlopen("libm.so.6", RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(hOther, nullptr);
  EXPECT_EQ(m_harness.nStartWithHandle(hOther), 0);
  EXPECT_EQ(m_harness.strLog(), "");
  EXPECT_TRUE(BindsAfresh());
  dlclose(hOther);
}

TEST_F(ModuleEntry, ANullHandleOrRecordIsRefused) {
  EXPECT_EQ(m_harness.nStartWithHandle(nullptr), 0);
  EXPECT_EQ(m_harness.nExecution(3985, nullptr), 0);
  EXPECT_TRUE(BindsAfresh());
}

TEST_F(ModuleEntry, DinoTypesFollowTheFactorysLevel) {
  struct Case {
    bool bStarted;
    int nLevel;
    int nExpected;
  };
  // Up to level 1 there is nothing to initialise; above it the singleton must
  // exist to do it.
  const Case cases[] = {{false, 0, 1}, {false, 2, 1}, {true, 0, 1},
                        {true, 1, 1},  {true, 2, 1},  {true, 7, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bStarted << " level " << c.nLevel);
    if (c.bStarted) {
      ASSERT_EQ(m_harness.nStart(), 1);
    }
    m_harness.Control().SetFactoryLevel(c.nLevel);
    EXPECT_EQ(m_harness.nExecution(4963, nullptr), c.nExpected);
    if (c.bStarted) m_harness.nStop();
  }
}

TEST_F(ModuleEntry, DinoTypesWithoutASingletonAnswerTwoOnceTheFactoryIsBound) {
  // The factory stays bound after the binding ends; the singleton does not.
  ASSERT_EQ(m_harness.nStart(), 1);
  m_harness.nStop();
  m_harness.Control().SetFactoryLevel(2);
  EXPECT_EQ(m_harness.nExecution(4963, nullptr), 2);
}

TEST_F(ModuleEntry, NotificationsAndUnknownCodes) {
  struct Case {
    unsigned int nCode;
    int nWithout;  // answer before any start
    int nWith;     // answer while bound
  };
  const Case cases[] = {
      {4879, 1, 1}, {5684, 1, 1}, {5864, 1, 1}, {5238, 0, 0},
      {0, 0, 0},    {1, 0, 0},    {3986, 0, 0}, {0xFFFFFFFFu, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nCode);
    EXPECT_EQ(m_harness.nExecution(c.nCode, nullptr), c.nWithout);
    ASSERT_EQ(m_harness.nStart(), 1);
    EXPECT_EQ(m_harness.nExecution(c.nCode, nullptr), c.nWith);
    m_harness.nStop();
  }
}

TEST_F(ModuleEntry, ComponentCommands) {
  wchar_t szBuffer[16] = L"garbage";
  _stLoadStringRequest stRequest = {20, 424242, szBuffer, 16, -7};
  // No message of that number: 0 written into the record, buffer terminated.
  EXPECT_EQ(m_harness.nCommandeComposante(3, &stRequest), 0);
  EXPECT_EQ(stRequest.nResult, 0);
  EXPECT_EQ(szBuffer[0], L'\0');
  EXPECT_EQ(m_harness.nCommandeComposante(3, nullptr), 0);
  EXPECT_EQ(m_harness.nCommandeComposante(4, reinterpret_cast<void*>(424242)), -1);
  EXPECT_EQ(m_harness.nCommandeComposante(2, nullptr), 1);
  EXPECT_EQ(m_harness.nCommandeComposante(0, nullptr), 0);
  EXPECT_EQ(m_harness.nCommandeComposante(99, nullptr), 0);
}

TEST_F(ModuleEntry, OffersNoExternalResources) {
  auto pfn = reinterpret_cast<void* (*)(const void*, unsigned int, const wchar_t*, void*)>(
      m_harness.pSymbol("DLLRES_pLoadResourceModule"));
  ASSERT_NE(pfn, nullptr);
  EXPECT_EQ(pfn(nullptr, 1, L"x", nullptr), nullptr);
}

TEST_F(ModuleEntry, ExportsOnlyUnmangledEntryPoints) {
  // The framework's internals must not leak out of the library.
  EXPECT_EQ(m_harness.pSymbol("ModuleEntry_nExecution"), nullptr);
  EXPECT_EQ(m_harness.pSymbol("gpclExecutionDLL76"), nullptr);
  EXPECT_EQ(m_harness.pSymbol("_ZN17CBaseExecutionDLL21ms_nNbInitialisationE"), nullptr);
}

TEST_F(ModuleEntry, EveryStartAndStopBalancesTheStringBuffers) {
  ASSERT_EQ(m_harness.nStart(), 1);
  m_harness.nStop();
  EXPECT_EQ(m_harness.Control().nLiveStrBuffers(), 0);
  EXPECT_EQ(m_harness.Control().nBadStrReleases(), 0);
}

}  // namespace
