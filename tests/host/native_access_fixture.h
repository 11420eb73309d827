// NativeAccessTest: the fixture of the tests that drive kq230maria.so as the
// server does. It reads the throwaway MariaDB server's facts, loads the driver
// through the stand-in host and starts the native access (exports, services,
// driver object); at the end it stops the driver and checks that every string
// buffer and every stand-in description the driver was given is back.
//
// Ownership: the fixture owns the harness and the driver's external reference;
// descriptions made by NewConnection belong to the test, which releases them.
// Threads: one test thread.
#ifndef KQ230_TESTS_HOST_NATIVE_ACCESS_FIXTURE_H_
#define KQ230_TESTS_HOST_NATIVE_ACCESS_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "host/harness/host_harness.h"
#include "host/harness/standin_connection.h"
#include "host/harness/standin_objects.h"
#include "kq230/na_error_interface.h"

namespace kqtest {

class NativeAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* pszEnv = std::getenv("KQ_MARIADB_ENV");
    std::string strError;
    ASSERT_TRUE(bReadServerFacts(pszEnv && *pszEnv ? pszEnv : KQ_DEFAULT_MARIADB_ENV, &m_stFacts,
                                 &strError))
        << strError;
    ASSERT_TRUE(m_harness.bLoad(&strError)) << strError;
    m_piDriver = m_harness.piStartNativeAccess(&strError);
    ASSERT_NE(m_piDriver, nullptr) << strError;
    m_nLiveConnections = CStandInConnection::g_nLive;
    m_nLiveSources = CStandInDataSource::g_nLive;
  }

  void TearDown() override {
    if (m_piDriver != nullptr) {
      EXPECT_EQ(m_harness.nStopNativeAccess(m_piDriver), 1);
      m_piDriver = nullptr;
    }
    if (m_harness.hVM() != nullptr) {
      EXPECT_EQ(m_harness.Control().nLiveStrBuffers(), 0);
    }
    EXPECT_EQ(CStandInConnection::g_nLive, m_nLiveConnections);
    EXPECT_EQ(CStandInDataSource::g_nLive, m_nLiveSources);
  }

  // A new description of the fixture's server over a route; the test
  // releases it (nExternalRelease).
  CStandInConnection* NewConnection(CStandInConnection::eRoute eRoute) {
    return CStandInConnection::pclNew(CStandInConnection::stFromFacts(m_stFacts, eRoute));
  }

  // ASCII of a wide text; other characters as '?'.
  static std::string Narrow(const wchar_t* psz) {
    std::string str;
    for (; psz != nullptr && *psz != 0; ++psz) str += *psz < 128 ? char(*psz) : '?';
    return str;
  }

  // The driver's last error as the server shows it (its dump).
  std::string LastError() { return Narrow(m_piDriver->piGetLastError()->pszGetError()); }

  _stServerFacts m_stFacts;
  CHostHarness m_harness;
  INADriver* m_piDriver = nullptr;

 private:
  int m_nLiveConnections = 0;
  int m_nLiveSources = 0;
};

}  // namespace kqtest

#endif  // KQ230_TESTS_HOST_NATIVE_ACCESS_FIXTURE_H_
