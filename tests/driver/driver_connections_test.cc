// The driver object's connection half in process: identifications, the
// shared connection table and its lifecycle, the current error and the
// placeholders, with connections of the test's own that open without a
// server (the real ones are tested against MariaDB in tests/mariadb and
// through the stand-in host in tests/host).
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/wide_string.h"
#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "driver/password_digest.h"
#include "host/harness/standin_connection.h"
#include "tests/support/bound_framework.h"

namespace {

int gnLiveConnections = 0;
int gnOpens = 0;
int gnCloses = 0;
bool gbRefuseOpen = false;

// A connection that opens unless gbRefuseOpen says no, without a server.
class CTestConnection : public CNAConnectionDescription {
 public:
  CTestConnection(const wchar_t* pszIdentification, INAConnectionDescription* piHost)
      : CNAConnectionDescription(pszIdentification, piHost) {
    ++gnLiveConnections;
  }
  ~CTestConnection() override { --gnLiveConnections; }
  int bOpen(CNAError* pclError) override {
    ++gnOpens;
    if (gbRefuseOpen) {
      return CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), 9, 99, nullptr, nullptr, nullptr, 8);
    }
    m_bOpen = 1;
    return 1;
  }
  int bIsOpen() const override { return m_bOpen; }
  int bClose(CNAError*) override {
    ++gnCloses;
    m_bOpen = 0;
    return 1;
  }
  void _InitZB2NativeType() override {}

 private:
  int m_bOpen = 0;
};

class CTestDriver : public CNADriver {
 public:
  CNAConnectionDescription* _pclAllocConnectionDescription(
      const wchar_t* pszIdentification, INAConnectionDescription* piHost) override {
    return new CTestConnection(pszIdentification, piHost);
  }
};

std::string Narrow(const wchar_t* psz) {
  std::string str;
  for (; psz != nullptr && *psz != 0; ++psz) str += *psz < 128 ? char(*psz) : '?';
  return str;
}

// A description with plain values; released by the deleter.
struct ReleaseStandIn {
  void operator()(CStandInConnection* p) const { p->nExternalRelease(); }
};
using StandIn = std::unique_ptr<CStandInConnection, ReleaseStandIn>;

CStandInConnection::_stValues Values(const wchar_t* pszUser = L"kq", const wchar_t* pszPassword = L"Secret1",
                                     const wchar_t* pszSource = L"127.0.0.1",
                                     const wchar_t* pszExtended = L"Server Port=3306") {
  CStandInConnection::_stValues st;
  st.strUser = pszUser;
  st.strPassword = pszPassword;
  st.strDataSource = pszSource;
  st.strExtendedInfo = pszExtended;
  st.strProvider = L"MariaDB";
  st.strConnectionName = L"CNX";
  return st;
}

StandIn NewStandIn(const CStandInConnection::_stValues& st) {
  return StandIn(CStandInConnection::pclNew(st));
}

class DriverConnections : public kqtest::BoundFrameworkTest {
 protected:
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    gnOpens = gnCloses = 0;
    gbRefuseOpen = false;
    m_pclDriver = new CTestDriver();
    m_pclDriver->ExternalAddRef();
    m_pclDriver->bInitDriver();
    m_nLiveDescriptions = CStandInConnection::g_nLive;
  }
  void TearDown() override {
    if (m_pclDriver != nullptr) {
      EXPECT_EQ(m_pclDriver->nExternalRelease(), 0);
    }
    EXPECT_EQ(gnLiveConnections, 0);
    EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
    BoundFrameworkTest::TearDown();
  }
  std::string LastError() { return Narrow(m_pclDriver->piGetLastError()->pszGetError()); }

  CTestDriver* m_pclDriver = nullptr;
  int m_nLiveDescriptions = 0;
};

TEST_F(DriverConnections, TheIdentificationNamesEveryValueButThePassword) {
  struct Case {
    const char* name;
    CStandInConnection::_stValues values;
    const char* expected;  // with the digest replaced by "#D"
  };
  CStandInConnection::_stValues stNulls;  // every text absent, no connection object
  CStandInConnection::_stValues stReadOnly = Values();
  stReadOnly.eAccess = NA_ACCESS_READ_ONLY;
  const Case cases[] = {
      {"plain", Values(),
       "Connection=CNX;Provider=MariaDB;ExtendedInformation=Server Port=3306;"
       "Data source=127.0.0.1;user id=kq;password=#D;access=RW"},
      {"read only", stReadOnly,
       "Connection=CNX;Provider=MariaDB;ExtendedInformation=Server Port=3306;"
       "Data source=127.0.0.1;user id=kq;password=#D;access=R"},
      {"nothing given", stNulls,
       "Connection=NULL;Provider=NULL;ExtendedInformation=NULL;Data source=NULL;"
       "user id=NULL;password=NULL;access=RW"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StandIn clHost = NewStandIn(c.values);
    CTString clId;
    ASSERT_EQ(m_pclDriver->bBuildCnxIdentification(&clId, clHost.get()), 1);
    std::string str = Narrow(clId.pszGet());
    const size_t nHash = str.find("password=#");
    if (nHash != std::string::npos) {
      const std::string strDigest = str.substr(nHash + 10, 32);
      EXPECT_EQ(strDigest.find_first_not_of("0123456789abcdef"), std::string::npos);
      EXPECT_EQ(str.find("Secret1"), std::string::npos);
      str.replace(nHash + 10, 32, "D");
    }
    EXPECT_EQ(str, c.expected);
  }
  CTString clUntouched(L"x");
  EXPECT_EQ(m_pclDriver->bBuildCnxIdentification(&clUntouched, nullptr), 0);
  EXPECT_STREQ(clUntouched.pszGet(), L"x");
}

TEST_F(DriverConnections, PasswordDigestsTellPasswordsApartExactlyAndChangeWithTheKey) {
  wchar_t a[33], b[33], c[33], e[33];
  CNAPasswordDigest::g_Digest(L"Secret1", a);
  CNAPasswordDigest::g_Digest(L"Secret1", b);
  CNAPasswordDigest::g_Digest(L"secret1", c);
  CNAPasswordDigest::g_Digest(L"", e);
  EXPECT_STREQ(a, b);
  EXPECT_STRNE(a, c);
  EXPECT_STRNE(a, e);
  CNAPasswordDigest::g_DrawKey();
  CNAPasswordDigest::g_Digest(L"Secret1", b);
  EXPECT_STRNE(a, b);  // a new library span draws a new key
  // The digest's core is SipHash-2-4: the reference vectors (key 00..0f).
  unsigned char abyData[15];
  for (int i = 0; i < 15; ++i) abyData[i] = static_cast<unsigned char>(i);
  const uint64_t k0 = 0x0706050403020100ULL, k1 = 0x0f0e0d0c0b0a0908ULL;
  EXPECT_EQ(CNAPasswordDigest::g_llSipHash24(k0, k1, abyData, 0), 0x726fdb47dd0e0e31ULL);
  EXPECT_EQ(CNAPasswordDigest::g_llSipHash24(k0, k1, abyData, 15), 0xa129ca6149be45e5ULL);
}

TEST_F(DriverConnections, EqualDescriptionsShareOneSessionAndTheLastCloseEndsIt) {
  StandIn clA = NewStandIn(Values());
  StandIn clB = NewStandIn(Values());  // another object with the same values
  ASSERT_EQ(m_pclDriver->bOpenConnection(clA.get()), 1);
  ASSERT_EQ(m_pclDriver->bOpenConnection(clB.get()), 1);
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 1u);
  EXPECT_EQ(gnLiveConnections, 1);
  EXPECT_EQ(gnOpens, 2);  // the second opening asks the open connection again
  EXPECT_EQ(clA->nGetRefCount(), 2);  // the creator's and the connection's
  EXPECT_EQ(clB->nGetRefCount(), 1);  // the shared connection holds A's
  EXPECT_EQ(m_pclDriver->bCloseConnection(clA.get()), 1);
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 1u);
  EXPECT_EQ(gnCloses, 0);
  EXPECT_EQ(m_pclDriver->bCloseConnection(clB.get()), 1);
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 0u);
  EXPECT_EQ(gnCloses, 1);
  EXPECT_EQ(gnLiveConnections, 0);
  EXPECT_EQ(clA->nAddRefCalls(), clA->nReleaseCalls());  // the driver's are balanced
  EXPECT_EQ(clA->nGetRefCount(), 1);
}

TEST_F(DriverConnections, DescriptionsThatDifferOnlyInCaseAreSeparateSessions) {
  struct Case {
    const char* name;
    CStandInConnection::_stValues other;
  };
  const Case cases[] = {
      {"password", Values(L"kq", L"secret1")},
      {"user", Values(L"KQ", L"Secret1")},
      {"data source", Values(L"kq", L"Secret1", L"LOCALHOST")},
      {"database in the extended information",
       Values(L"kq", L"Secret1", L"127.0.0.1", L"Server Port=3306;Initial Catalog=KQTEST")},
  };
  StandIn clBase = NewStandIn(Values(L"kq", L"Secret1", L"127.0.0.1",
                                     L"Server Port=3306;Initial Catalog=kqtest"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StandIn clOther = NewStandIn(c.other);
    StandIn clSame = NewStandIn(clBase->Values());
    ASSERT_EQ(m_pclDriver->bOpenConnection(clBase.get()), 1);
    ASSERT_EQ(m_pclDriver->bOpenConnection(clOther.get()), 1);
    ASSERT_EQ(m_pclDriver->bOpenConnection(clSame.get()), 1);
    EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 2u);
    m_pclDriver->bCloseConnection(clBase.get());
    m_pclDriver->bCloseConnection(clOther.get());
    m_pclDriver->bCloseConnection(clSame.get());
    EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 0u);
  }
}

TEST_F(DriverConnections, AFailedOpeningLeavesNothingRegisteredAndTheNextStartsAnew) {
  StandIn clHost = NewStandIn(Values());
  gbRefuseOpen = true;
  EXPECT_EQ(m_pclDriver->bOpenConnection(clHost.get()), 0);
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 0u);
  EXPECT_EQ(gnLiveConnections, 0);
  EXPECT_EQ(m_pclDriver->piGetLastError()->eGetErrorLevel(), 2);
  EXPECT_EQ(m_pclDriver->piGetLastError()->dwGetErrorId(), 8u);
  EXPECT_EQ(clHost->nGetRefCount(), 1);  // the dead connection gave its reference back
  gbRefuseOpen = false;
  EXPECT_EQ(m_pclDriver->bOpenConnection(clHost.get()), 1);
  EXPECT_EQ(m_pclDriver->piGetLastError()->eGetErrorType(), -1);  // reset by the opening
  EXPECT_EQ(gnLiveConnections, 1);
  m_pclDriver->bCloseConnection(clHost.get());
  EXPECT_EQ(gnLiveConnections, 0);
}

TEST_F(DriverConnections, AFailedReopeningKeepsTheSessionThatAnotherOpeningHolds) {
  StandIn clHost = NewStandIn(Values());
  ASSERT_EQ(m_pclDriver->bOpenConnection(clHost.get()), 1);
  gbRefuseOpen = true;
  EXPECT_EQ(m_pclDriver->bOpenConnection(clHost.get()), 0);
  // Unregistering it would strand the first opening's reference.
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 1u);
  gbRefuseOpen = false;
  EXPECT_EQ(m_pclDriver->bCloseConnection(clHost.get()), 1);
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 0u);
  EXPECT_EQ(gnLiveConnections, 0);
  EXPECT_EQ(clHost->nGetRefCount(), 1);
}

TEST_F(DriverConnections, ClosingWhatWasNeverOpenedAnswersOneAndRegistersNothing) {
  StandIn clHost = NewStandIn(Values());
  EXPECT_EQ(m_pclDriver->bCloseConnection(clHost.get()), 1);
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 0u);
  EXPECT_EQ(clHost->nAddRefCalls(), 0);
  EXPECT_EQ(m_pclDriver->bCloseConnection(nullptr), 1);
  EXPECT_EQ(m_pclDriver->bOpenConnection(nullptr), 0);
}

TEST_F(DriverConnections, ConnectionsAreFoundByNameWithoutRegardToCaseAndByNumber) {
  StandIn clHost = NewStandIn(Values());
  ASSERT_EQ(m_pclDriver->bOpenConnection(clHost.get()), 1);
  CNAConnectionDescription* pclByName = m_pclDriver->pclGetConnectionByName(L"cnx");
  ASSERT_NE(pclByName, nullptr);
  CNAConnectionDescription* pclByID = m_pclDriver->pclGetConnectionByID(pclByName->nGetID());
  EXPECT_EQ(pclByID, pclByName);
  EXPECT_EQ(m_pclDriver->pclGetConnectionByName(L"other"), nullptr);
  EXPECT_EQ(m_pclDriver->pclGetConnectionByID(pclByName->nGetID() + 1000), nullptr);
  m_pclDriver->nReleaseConnection(pclByID);
  m_pclDriver->nReleaseConnection(pclByName);
  // Closing by number drops the opening's reference as bCloseConnection does.
  EXPECT_EQ(m_pclDriver->_bCloseConnectionById(pclByName->nGetID()), 1);
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 0u);
  EXPECT_EQ(gnLiveConnections, 0);
}

// Random openings (some refused) and closings of a few descriptions, two of
// which name one session, against a model: per session the openings that
// succeeded and were not closed yet; a session is registered and open
// exactly while that count is above 0.
TEST_F(DriverConnections, TheTableFollowsAModelOverRandomOpeningsAndClosings) {
  std::vector<StandIn> hosts;
  hosts.push_back(NewStandIn(Values(L"a")));
  hosts.push_back(NewStandIn(Values(L"a")));  // the same session as hosts[0]
  hosts.push_back(NewStandIn(Values(L"A")));
  hosts.push_back(NewStandIn(Values(L"b", L"pw")));
  hosts.push_back(NewStandIn(Values(L"b", L"PW")));
  const int kSession[] = {0, 0, 1, 2, 3};
  std::map<int, int> model;
  std::mt19937 rng(1234);
  for (int nStep = 0; nStep < 2000; ++nStep) {
    const int h = static_cast<int>(rng() % hosts.size());
    const int s = kSession[h];
    SCOPED_TRACE(nStep);
    if (rng() % 2 == 0) {
      gbRefuseOpen = rng() % 5 == 0;
      const int bOpened = m_pclDriver->bOpenConnection(hosts[h].get());
      EXPECT_EQ(bOpened, gbRefuseOpen ? 0 : 1);
      if (bOpened) ++model[s];
    } else if (model[s] > 0) {
      EXPECT_EQ(m_pclDriver->bCloseConnection(hosts[h].get()), 1);
      --model[s];
    }
    unsigned int nOpenSessions = 0;
    for (const auto& [nSession, nCount] : model) nOpenSessions += nCount > 0;
    ASSERT_EQ(m_pclDriver->nGetConnectionCount(), nOpenSessions);
    ASSERT_EQ(gnLiveConnections, static_cast<int>(nOpenSessions));
  }
  gbRefuseOpen = false;
  for (int h = 0; h < static_cast<int>(hosts.size()); ++h)
    while (model[kSession[h]] > 0) {
      m_pclDriver->bCloseConnection(hosts[h].get());
      --model[kSession[h]];
    }
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 0u);
  for (const StandIn& clHost : hosts) {
    EXPECT_EQ(clHost->nGetRefCount(), 1);
    EXPECT_EQ(clHost->nAddRefCalls(), clHost->nReleaseCalls());
  }
}

TEST_F(DriverConnections, TheDriverReleasesItsConnectionsWhenItDies) {
  StandIn clHost = NewStandIn(Values());
  ASSERT_EQ(m_pclDriver->bOpenConnection(clHost.get()), 1);
  EXPECT_EQ(m_pclDriver->nExternalRelease(), 0);
  m_pclDriver = nullptr;
  EXPECT_EQ(gnLiveConnections, 0);
  EXPECT_EQ(clHost->nGetRefCount(), 1);
}

TEST_F(DriverConnections, TwentyFiveLabelsAreLoadedWithABlankAndThreeStayEmpty) {
  for (int i = 0; i < NAQDL_COUNT; ++i) {
    SCOPED_TRACE(i);
    const std::wstring str = m_pclDriver->pszGetQueryDumpLabel(i);
    if (i < NAQDL_LOADED_COUNT) {
      ASSERT_GE(str.size(), 2u);
      EXPECT_EQ(str.back(), L' ');
      EXPECT_EQ(CNADriver::g_csGetQueryDumpLabel(i).pszGet(), str);
    } else {
      EXPECT_TRUE(str.empty());
    }
  }
  EXPECT_STREQ(m_pclDriver->pszGetQueryDumpLabel(-1), L"");
  EXPECT_STREQ(m_pclDriver->pszGetQueryDumpLabel(NAQDL_COUNT), L"");
  EXPECT_STREQ(m_pclDriver->pszGetQueryDumpLabel(NAQDL_PROVIDER), L"Provider:  ");
}

TEST_F(DriverConnections, OperationsNotBuiltYetRaiseUserErrorEightAndSaySo) {
  INADriver* pi = m_pclDriver;
  StandIn clHost = NewStandIn(Values());
  // A driver without a back end has no handle-level SQL interface: the lists
  // it would answer fail and say why (the connection had for them is given
  // back).
  EXPECT_EQ(pi->bGetDatabaseList(nullptr, clHost.get(), 0), 0);
  EXPECT_EQ(pi->piGetLastError()->dwGetErrorId(), 8u);
  EXPECT_EQ(pi->piGetLastError()->eGetErrorType(), 7);
  EXPECT_NE(LastError().find("bGetDatabaseList: not built yet"), std::string::npos);
  EXPECT_EQ(pi->bGetTableList(nullptr, clHost.get(), 0), 0);
  EXPECT_NE(LastError().find("bGetTableList: not built yet"), std::string::npos);
  EXPECT_EQ(LastError().find("bGetDatabaseList"), std::string::npos);
  EXPECT_EQ(pi->piGetTableDesc(L"T", clHost.get()), nullptr);
  EXPECT_NE(LastError().find("piGetTableDesc: not built yet"), std::string::npos);
  int bExists = -1;
  EXPECT_EQ(pi->bTableExists(&bExists, L"T", clHost.get()), 0);
  EXPECT_EQ(bExists, 0);
  // What was opened for them is closed again.
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 0u);
  // A null description names no connection: user error 2.
  EXPECT_EQ(pi->bTransactionBegin(nullptr, L"t"), 0);
  EXPECT_EQ(pi->piGetLastError()->dwGetErrorId(), 2u);
  // The generic driver makes no table objects.
  INATable* piTable = reinterpret_cast<INATable*>(1);
  EXPECT_EQ(pi->bHExecuteRequeteSQL(&piTable, nullptr, L"Q", clHost.get(), nullptr, 0), 0);
  EXPECT_EQ(piTable, nullptr);
  EXPECT_EQ(pi->piGetInterface(1), nullptr);
  EXPECT_EQ(pi->piGetLastError()->eGetErrorType(), -1);
  // What the interface answers outright.
  EXPECT_EQ(pi->bCopyContext(nullptr, nullptr, nullptr, 0), 0);
  EXPECT_EQ(pi->bValidConnection(nullptr), 1);
  EXPECT_EQ(pi->bSetQueryParameters(nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(pi->bGetLinkList(nullptr, L"T", nullptr, clHost.get(), 0), 1);
  EXPECT_EQ(pi->bGetProviderList(nullptr), 0);
  EXPECT_EQ(pi->piGetLastError()->eGetErrorType(), 7);
  EXPECT_NE(LastError().find("IEKQMARIA=5.6"), std::string::npos);
  EXPECT_EQ(pi->bFiltreAuto(nullptr, nullptr, 0, L"CUSTOMER", nullptr, nullptr, nullptr), 0);
  EXPECT_NE(LastError().find("IEKQMARIA=5.7"), std::string::npos);
  EXPECT_NE(LastError().find("CUSTOMER"), std::string::npos);
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 0u);
}

TEST_F(DriverConnections, VersionsAndKeptInterfaces) {
  INADriver* pi = m_pclDriver;
  EXPECT_EQ(pi->nGetVersion(), 18);
  EXPECT_EQ(pi->nGetCompatSince(), 17);
  EXPECT_EQ(pi->nGetNAVersion(), -1);
  EXPECT_EQ(pi->nGetNACompatSince(), -1);
  INAError* piError = pi->piGetLastError();
  EXPECT_EQ(piError->nGetVersion(), 1);
  EXPECT_EQ(piError->nGetCompatSince(), 1);
  auto* piShop = reinterpret_cast<ILibShop*>(0x10);
  auto* piVM = reinterpret_cast<IVMData*>(0x20);
  EXPECT_EQ(pi->bSetVMAndLibShop(piShop, piVM), 1);
  EXPECT_EQ(m_pclDriver->piGetLibShop(), piShop);
  EXPECT_EQ(m_pclDriver->piGetVMData(), piVM);
  EXPECT_EQ(m_pclDriver->llGetDefaultRecordLimit(), -1);
  pi->ExternalAddRef();
  EXPECT_EQ(pi->nExternalRelease(), 1);
}

}  // namespace
