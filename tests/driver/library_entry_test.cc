// The library's entry logic in process, with a back end of the test's own:
// what the entry points record and make, which the server cannot see. What the
// server sees of the same code is tested through the stand-in host
// (tests/host/native_access_test.cc).
#include "driver/library_entry.h"

#include <gtest/gtest.h>

#include <future>
#include <new>

#include "driver/driver_lock.h"
#include "driver/na_driver.h"

namespace {

int gnLiveDrivers = 0;
int gnTermCalls = 0;
bool gbFailNext = false;

class CTestDriver : public CNADriver {
 public:
  CTestDriver() { ++gnLiveDrivers; }
  ~CTestDriver() override { --gnLiveDrivers; }
};

CNADriver* NewTestDriver() {
  if (gbFailNext) {
    gbFailNext = false;
    throw std::bad_alloc();
  }
  return new CTestDriver();
}

int TermTestBackEnd() {
  ++gnTermCalls;
  return CNADriver::g_NATermModule();
}

const _stNABackEnd kBackEnd = {&NewTestDriver, &TermTestBackEnd};

class LibraryEntry : public ::testing::Test {
 protected:
  void TearDown() override {
    // Whatever a test left, the next starts from an unloaded library.
    while (CNALibraryEntry::gnNbInit > 0) CNALibraryEntry::g_nExternalTermLibrary(kBackEnd);
    EXPECT_EQ(gnLiveDrivers, 0);
    EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
    gnTermCalls = 0;
  }
};

TEST_F(LibraryEntry, HandshakesAnswerRecordAndWriteAsTheTableSays) {
  ASSERT_EQ(CNALibraryEntry::g_bExternalInitLibrary(nullptr), 1);
  struct Case {
    const char* name;
    int nKind;
    unsigned int nPartner;
    int nAnswer;
    int nOut;  // what the out parameter holds afterwards (it starts at -7)
    unsigned int nZB, nSQL;  // recorded afterwards
  };
  const Case cases[] = {
      {"engine 36 accepted", 7, 36, 1, 36, 36, 0},
      {"parser 35 refused but recorded", 28, 35, 0, 36, 36, 35},
      {"parser 36 accepted", 28, 36, 1, 36, 36, 36},
      {"engine 35 refused but recorded", 7, 35, 0, 36, 35, 36},
      {"other kind: nothing", 5, 100, 0, -7, 35, 36},
      {"engine far above", 7, 0xFFFFFFFFu, 1, 36, 0xFFFFFFFFu, 36},
      {"engine 0", 7, 0, 0, 36, 0, 36},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int nOut = -7;
    EXPECT_EQ(CNALibraryEntry::g_bDLLCompatible(c.nKind, c.nPartner, &nOut), c.nAnswer);
    EXPECT_EQ(nOut, c.nOut);
    EXPECT_EQ(CNADriver::s_nID_KQZB, c.nZB);
    EXPECT_EQ(CNADriver::s_nID_KQSQL, c.nSQL);
  }
  EXPECT_EQ(CNALibraryEntry::g_bDLLCompatible(7, 40, nullptr), 1);  // no out: not written
}

TEST_F(LibraryEntry, NestedInitialisationsOnlyCountAndTheLastTerminationEnds) {
  EXPECT_EQ(CNALibraryEntry::g_nExternalTermLibrary(kBackEnd), 0);  // nothing initialised
  EXPECT_EQ(gnTermCalls, 0);
  EXPECT_EQ(CNALibraryEntry::g_bExternalInitLibrary(nullptr), 1);
  EXPECT_TRUE(CNADriverLock::g_bExists());
  int nOut = 0;
  CNALibraryEntry::g_bDLLCompatible(7, 36, &nOut);
  EXPECT_EQ(CNALibraryEntry::g_bExternalInitLibrary(nullptr), 1);
  EXPECT_EQ(CNADriver::s_nID_KQZB, 36u);  // a nested one clears nothing
  EXPECT_EQ(CNALibraryEntry::g_nExternalTermLibrary(kBackEnd), 1);
  EXPECT_TRUE(CNADriverLock::g_bExists());
  EXPECT_EQ(gnTermCalls, 0);
  EXPECT_EQ(CNALibraryEntry::g_nExternalTermLibrary(kBackEnd), 1);  // the common layer's answer
  EXPECT_EQ(gnTermCalls, 1);
  EXPECT_FALSE(CNADriverLock::g_bExists());
  EXPECT_EQ(CNALibraryEntry::g_nExternalTermLibrary(kBackEnd), 0);
  EXPECT_EQ(gnTermCalls, 1);
}

TEST_F(LibraryEntry, InitialisingAfterTheLastTerminationStartsAfresh) {
  int nOut = 0;
  for (int nSpan = 0; nSpan < 3; ++nSpan) {
    SCOPED_TRACE(nSpan);
    ASSERT_EQ(CNALibraryEntry::g_bExternalInitLibrary(nullptr), 1);
    EXPECT_TRUE(CNADriverLock::g_bExists());
    EXPECT_EQ(CNADriver::s_nID_KQZB, 0u);  // the earlier span's handshake is gone
    EXPECT_EQ(CNADriver::s_nID_KQSQL, 0u);
    CNALibraryEntry::g_bDLLCompatible(7, 36, &nOut);
    CNALibraryEntry::g_bDLLCompatible(28, 37, &nOut);
    INADriver* piDriver = CNALibraryEntry::g_piQueryInterface(kBackEnd);
    ASSERT_NE(piDriver, nullptr);
    EXPECT_EQ(piDriver->nExternalRelease(), 0);
    EXPECT_EQ(CNALibraryEntry::g_nExternalTermLibrary(kBackEnd), 1);
    EXPECT_FALSE(CNADriverLock::g_bExists());
  }
  EXPECT_EQ(gnTermCalls, 3);
}

TEST_F(LibraryEntry, ASecondQueryGivesTheLivingDriverWithOneMoreReference) {
  ASSERT_EQ(CNALibraryEntry::g_bExternalInitLibrary(nullptr), 1);
  INADriver* piFirst = CNALibraryEntry::g_piQueryInterface(kBackEnd);
  ASSERT_NE(piFirst, nullptr);
  EXPECT_EQ(CNADriver::s_pclDriver, piFirst);
  EXPECT_NE(piFirst->piGetLastError(), nullptr);  // the current error is made
  INADriver* piSecond = CNALibraryEntry::g_piQueryInterface(kBackEnd);
  EXPECT_EQ(piSecond, piFirst);
  EXPECT_EQ(gnLiveDrivers, 1);
  EXPECT_EQ(piSecond->nExternalRelease(), 1);
  EXPECT_EQ(piFirst->nExternalRelease(), 0);
  EXPECT_EQ(gnLiveDrivers, 0);
  EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
  // Once it died, the next query makes a new one.
  INADriver* piThird = CNALibraryEntry::g_piQueryInterface(kBackEnd);
  ASSERT_NE(piThird, nullptr);
  EXPECT_EQ(gnLiveDrivers, 1);
  EXPECT_EQ(piThird->nExternalRelease(), 0);
}

TEST_F(LibraryEntry, ADriverThatCannotBeMadeLeavesNothingBehind) {
  ASSERT_EQ(CNALibraryEntry::g_bExternalInitLibrary(nullptr), 1);
  gbFailNext = true;
  EXPECT_THROW(CNALibraryEntry::g_piQueryInterface(kBackEnd), std::bad_alloc);
  EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
  EXPECT_EQ(gnLiveDrivers, 0);
  // The lock is free again: another thread takes it at once.
  EXPECT_TRUE(std::async(std::launch::async, [] {
                if (!CNADriverLock::g_bTryEnter()) return false;
                CNADriverLock::g_Leave();
                return true;
              }).get());
}

TEST_F(LibraryEntry, CheckVersionIsTwentyThreeInAndOutOfASpan) {
  EXPECT_EQ(CNALibraryEntry::g_nCheckVersion(), 23);
  CNALibraryEntry::g_bExternalInitLibrary(nullptr);
  EXPECT_EQ(CNALibraryEntry::g_nCheckVersion(), 23);
  CNALibraryEntry::g_nExternalTermLibrary(kBackEnd);
  EXPECT_EQ(CNALibraryEntry::g_nCheckVersion(), 23);
}

}  // namespace
