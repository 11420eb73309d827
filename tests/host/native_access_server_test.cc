// Connections through the stand-in host against the throwaway MariaDB server:
// the driver opens, shares and closes them through INADriver, reports a
// refused opening with the server's code and never its password, and gives
// back every reference and buffer of the server's.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <string>

#include "host/harness/host_harness.h"
#include "host/harness/standin_connection.h"
#include "tests/host/native_access_fixture.h"
#include "tests/mariadb/client_library.h"

namespace {

// Before main: see KeepClientLibraryForTheProgram.
[[maybe_unused]] const bool gbClientLibraryKept = kq230::test_support::KeepClientLibraryForTheProgram();

class NativeAccessServer : public kqtest::NativeAccessTest {};

TEST_F(NativeAccessServer, OpensByTcpAndBySocketAndTheCloseBalancesTheReferences) {
  for (auto eRoute : {CStandInConnection::ROUTE_TCP, CStandInConnection::ROUTE_SOCKET}) {
    SCOPED_TRACE(eRoute == CStandInConnection::ROUTE_TCP ? "TCP" : "socket");
    CStandInConnection* piHost =
        CStandInConnection::pclNew(CStandInConnection::stFromFacts(m_stFacts, eRoute));
    CStandInConnection* piSame =
        CStandInConnection::pclNew(CStandInConnection::stFromFacts(m_stFacts, eRoute));
    ASSERT_EQ(m_piDriver->bOpenConnection(piHost), 1)
        << Narrow(m_piDriver->piGetLastError()->pszGetError());
    ASSERT_EQ(m_piDriver->bOpenConnection(piSame), 1);  // joins the same session
    EXPECT_EQ(piSame->nAddRefCalls(), 0);
    EXPECT_EQ(m_piDriver->bCloseConnection(piSame), 1);
    EXPECT_EQ(m_piDriver->bCloseConnection(piHost), 1);
    EXPECT_EQ(piHost->nAddRefCalls(), piHost->nReleaseCalls());
    EXPECT_GE(piHost->nAddRefCalls(), 1);
    piHost->nExternalRelease();
    piSame->nExternalRelease();
  }
}

TEST_F(NativeAccessServer, AWrongPasswordGivesTheServersCodeAndNeverThePassword) {
  CStandInConnection::_stValues stValues =
      CStandInConnection::stFromFacts(m_stFacts, CStandInConnection::ROUTE_TCP);
  stValues.strPassword = L"Wr0ngPassw0rdXyz";
  CStandInConnection* piHost = CStandInConnection::pclNew(stValues);
  EXPECT_EQ(m_piDriver->bOpenConnection(piHost), 0);
  INAError* piError = m_piDriver->piGetLastError();
  EXPECT_EQ(piError->eGetErrorLevel(), 2);
  const std::string strDump = Narrow(piError->pszGetError());
  EXPECT_NE(strDump.find("1045"), std::string::npos) << strDump;
  EXPECT_EQ(strDump.find("Wr0ngPassw0rdXyz"), std::string::npos) << strDump;
  EXPECT_EQ(strDump.find(m_stFacts.strPassword), std::string::npos);
  // Nothing stays registered: the description got its reference back.
  EXPECT_EQ(piHost->nGetRefCount(), 1);
  EXPECT_EQ(piHost->nAddRefCalls(), piHost->nReleaseCalls());
  EXPECT_EQ(m_piDriver->bCloseConnection(piHost), 1);
  piHost->nExternalRelease();
}

TEST_F(NativeAccessServer, UsersThatDifferOnlyInCaseDoNotShareASession) {
  CStandInConnection::_stValues stValues =
      CStandInConnection::stFromFacts(m_stFacts, CStandInConnection::ROUTE_TCP);
  CStandInConnection* piRight = CStandInConnection::pclNew(stValues);
  std::wstring strUpper = *stValues.strUser;
  for (wchar_t& c : strUpper) c = towupper(c);
  stValues.strUser = strUpper;
  CStandInConnection* piUpper = CStandInConnection::pclNew(stValues);
  ASSERT_EQ(m_piDriver->bOpenConnection(piRight), 1);
  // The server knows no such user: a shared session would have answered 1.
  EXPECT_EQ(m_piDriver->bOpenConnection(piUpper), 0);
  EXPECT_NE(Narrow(m_piDriver->piGetLastError()->pszGetError()).find("1045"), std::string::npos);
  EXPECT_EQ(m_piDriver->bCloseConnection(piRight), 1);
  piRight->nExternalRelease();
  piUpper->nExternalRelease();
}

}  // namespace
