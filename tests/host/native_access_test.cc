// The driver's five native-access exports and its driver object as the server
// sees them: kq230maria.so loaded by the stand-in host, bound by name, and
// driven in the server's start and stop order.
#include <gtest/gtest.h>

#include <string>

#include "host/harness/host_harness.h"
#include "kq230/na_driver_sql_interface.h"

namespace {

class NativeAccess : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string strError;
    ASSERT_TRUE(m_harness.bLoad(&strError)) << strError;
    ASSERT_TRUE(m_harness.bHasNativeAccessExports());
  }
  CHostHarness m_harness;
};

TEST_F(NativeAccess, CheckVersionIsTwentyThreeAtAnyTime) {
  EXPECT_EQ(m_harness.nCheckVersion(), 23);
  INADriver* piDriver = m_harness.piStartNativeAccess(nullptr);
  ASSERT_NE(piDriver, nullptr);
  EXPECT_EQ(m_harness.nCheckVersion(), 23);
  m_harness.nStopNativeAccess(piDriver);
  EXPECT_EQ(m_harness.nCheckVersion(), 23);
}

TEST_F(NativeAccess, HandshakesAnswerAndWriteTheDriversVersion) {
  ASSERT_EQ(m_harness.bExternalInitLibrary(), 1);
  struct Case {
    const char* name;
    int nKind;
    unsigned int nPartner;
    int nAnswer;
    int nOut;  // the out parameter starts at 99
  };
  const Case cases[] = {
      {"database engine 36", 7, 36, 1, 36},
      {"SQL parser 35", 28, 35, 0, 36},
      {"SQL parser 36", 28, 36, 1, 36},
      {"unknown kind 5", 5, 100, 0, 99},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int nOut = 99;
    EXPECT_EQ(m_harness.bDLLCompatible(c.nKind, c.nPartner, &nOut), c.nAnswer);
    EXPECT_EQ(nOut, c.nOut);
  }
  EXPECT_EQ(m_harness.nExternalTermLibrary(), 1);
}

TEST_F(NativeAccess, InitialisationsAreCountedAndTheLastTerminationEnds) {
  EXPECT_EQ(m_harness.nExternalTermLibrary(), 0);  // nothing to end
  EXPECT_EQ(m_harness.bExternalInitLibrary(), 1);
  EXPECT_EQ(m_harness.bExternalInitLibrary(), 1);
  EXPECT_EQ(m_harness.nExternalTermLibrary(), 1);  // one left
  EXPECT_EQ(m_harness.nExternalTermLibrary(), 1);  // the termination's answer
  EXPECT_EQ(m_harness.nExternalTermLibrary(), 0);
}

TEST_F(NativeAccess, TheServerCanStartAndStopTheDriverAgainWhileItStaysLoaded) {
  for (int nRound = 0; nRound < 3; ++nRound) {
    SCOPED_TRACE(nRound);
    std::string strError;
    INADriver* piDriver = m_harness.piStartNativeAccess(&strError);
    ASSERT_NE(piDriver, nullptr) << strError;
    EXPECT_EQ(piDriver->nGetVersion(), 18);
    EXPECT_EQ(m_harness.nStopNativeAccess(piDriver), 1);
    EXPECT_EQ(m_harness.Control().nLiveStrBuffers(), 0);
  }
}

TEST_F(NativeAccess, TheDriverObjectAnswersItsVersionsAndIsSharedByASecondQuery) {
  INADriver* piDriver = m_harness.piStartNativeAccess(nullptr);
  ASSERT_NE(piDriver, nullptr);
  EXPECT_EQ(piDriver->nGetVersion(), 18);
  EXPECT_EQ(piDriver->nGetCompatSince(), 17);
  EXPECT_EQ(piDriver->nGetNAVersion(), -1);
  EXPECT_EQ(piDriver->nGetNACompatSince(), -1);
  INAError* piError = piDriver->piGetLastError();
  ASSERT_NE(piError, nullptr);
  EXPECT_EQ(piError->nGetVersion(), 1);
  EXPECT_EQ(piError->nGetCompatSince(), 1);
  EXPECT_EQ(piError->eGetErrorType(), -1);
  INADriver* piAgain = m_harness.piQueryInterface();
  EXPECT_EQ(piAgain, piDriver);
  EXPECT_EQ(piAgain->nExternalRelease(), 1);  // the server's first reference remains
  EXPECT_EQ(piDriver->bValidConnection(nullptr), 1);
  EXPECT_EQ(piDriver->bCopyContext(nullptr, nullptr, nullptr, 0), 0);
  // Identifier 1 is the handle-level SQL interface, one per driver, with a
  // reference for the server; no other identifier names an interface.
  auto* piSQL = static_cast<INADriverSQL*>(piDriver->piGetInterface(1));
  ASSERT_NE(piSQL, nullptr);
  EXPECT_EQ(piSQL->nGetVersion(), 4);
  EXPECT_EQ(piSQL->nGetCompatSince(), 2);
  EXPECT_EQ(static_cast<INADriverSQL*>(piDriver->piGetInterface(1)), piSQL);
  EXPECT_EQ(piSQL->nExternalRelease(), 1);
  EXPECT_EQ(piSQL->nExternalRelease(), 0);
  EXPECT_EQ(piDriver->piGetInterface(2), nullptr);
  EXPECT_EQ(piDriver->piGetInterface(0), nullptr);
  EXPECT_EQ(m_harness.nStopNativeAccess(piDriver), 1);
}

}  // namespace
