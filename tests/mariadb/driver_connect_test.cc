// Connections through the driver as the server drives it: kq230maria.so
// loaded by the stand-in server, its driver object opening and closing
// connections described by the stand-in (INAConnectionDescription) on the
// fixture's real server.
#include <cwctype>
#include <string>

#include <gtest/gtest.h>

#include "host/harness/host_harness.h"
#include "host/harness/standin_connection.h"
#include "kq230/na_error_interface.h"
#include "tests/host/native_access_fixture.h"
#include "tests/mariadb/client_library.h"

namespace {

// Before main: see KeepClientLibraryForTheProgram.
[[maybe_unused]] const bool gbClientLibraryKept = kq230::test_support::KeepClientLibraryForTheProgram();

class DriverConnectTest : public kqtest::NativeAccessTest {
 protected:
  CStandInConnection* New(CStandInConnection::eRoute eRoute) { return NewConnection(eRoute); }
  std::wstring Dump() { return m_piDriver->piGetLastError()->pszGetError(); }
};

TEST_F(DriverConnectTest, EqualDescriptionsShareOneSessionUntilTheLastClose) {
  for (auto eRoute : {CStandInConnection::ROUTE_TCP, CStandInConnection::ROUTE_SOCKET}) {
    SCOPED_TRACE(eRoute == CStandInConnection::ROUTE_TCP ? "tcp" : "socket");
    CStandInConnection* pA = New(eRoute);
    CStandInConnection* pB = New(eRoute);
    ASSERT_EQ(m_piDriver->bOpenConnection(pA), 1) << testing::PrintToString(Dump());
    ASSERT_EQ(m_piDriver->bOpenConnection(pB), 1) << testing::PrintToString(Dump());
    // One connection, made for the first description and held by it alone.
    EXPECT_EQ(pA->nAddRefCalls(), 1);
    EXPECT_EQ(pB->nAddRefCalls(), 0);
    EXPECT_EQ(m_piDriver->bCloseConnection(pB), 1);
    EXPECT_EQ(pA->nGetRefCount(), 2);  // still open for pA's opening
    EXPECT_EQ(m_piDriver->bCloseConnection(pA), 1);
    // The last close closed and unregistered it: its reference is back.
    EXPECT_EQ(pA->nGetRefCount(), 1);
    EXPECT_EQ(pA->nAddRefCalls(), pA->nReleaseCalls());
    pA->nExternalRelease();
    pB->nExternalRelease();
  }
}

TEST_F(DriverConnectTest, PasswordsAndUsersDifferingInCaseAreDifferentSessions) {
  CStandInConnection* pA = New(CStandInConnection::ROUTE_SOCKET);
  CStandInConnection* pB = New(CStandInConnection::ROUTE_SOCKET);
  std::wstring strPassword = *pA->Values().strPassword;
  for (wchar_t& c : strPassword)
    c = static_cast<wchar_t>(towupper(c) == static_cast<wint_t>(c) ? towlower(c) : towupper(c));
  pB->Values().strPassword = strPassword;
  ASSERT_EQ(m_piDriver->bOpenConnection(pA), 1);
  if (strPassword != *pA->Values().strPassword) {
    EXPECT_EQ(m_piDriver->bOpenConnection(pB), 0);  // not the shared session
    EXPECT_EQ(pB->nAddRefCalls(), pB->nReleaseCalls());
    EXPECT_EQ(m_piDriver->piGetLastError()->eGetErrorLevel(), 2);
  }
  EXPECT_EQ(m_piDriver->bCloseConnection(pA), 1);
  pA->nExternalRelease();
  pB->nExternalRelease();
}

TEST_F(DriverConnectTest, AWrongPasswordAnswersZeroAtLevelTwoAndLeavesNothingBehind) {
  CStandInConnection* p = New(CStandInConnection::ROUTE_TCP);
  p->Values().strPassword = L"Wrong-Secret-1";
  EXPECT_EQ(m_piDriver->bOpenConnection(p), 0);
  INAError* piError = m_piDriver->piGetLastError();
  EXPECT_EQ(piError->eGetErrorLevel(), 2);
  std::wstring dump = Dump();
  EXPECT_NE(dump.find(L"<1045>"), std::wstring::npos) << testing::PrintToString(dump);
  EXPECT_EQ(dump.find(L"Wrong-Secret-1"), std::wstring::npos);
  std::wstring strReal(m_stFacts.strPassword.begin(), m_stFacts.strPassword.end());
  EXPECT_EQ(dump.find(strReal), std::wstring::npos);
  // Unregistered: the connection gave its reference back.
  EXPECT_EQ(p->nAddRefCalls(), p->nReleaseCalls());
  EXPECT_EQ(p->nGetRefCount(), 1);
  p->nExternalRelease();
}

}  // namespace
