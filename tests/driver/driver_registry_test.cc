// The driver object's registry in process: table objects shared by data
// source, query results private to a context, contexts and their data
// accesses, the openings that closes may give back, the teardown, and the
// query dump. Connections of the test's own open without a server; table
// objects and data accesses are the minimal ones of tables/, scripted where
// a query's outcome matters.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/wide_string.h"
#include "driver/connection_description.h"
#include "driver/na_context.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "host/harness/standin_connection.h"
#include "host/harness/standin_objects.h"
#include "tables/na_data_access.h"
#include "tables/na_table.h"
#include "tests/support/bound_framework.h"
#include "values/any.h"

namespace {

int gnLiveConnections = 0;
int gnCloses = 0;
bool gbRefuseOpen = false;
int gnLiveTables = 0;
int gnLiveAccesses = 0;

class CTestConnection : public CNAConnectionDescription {
 public:
  CTestConnection(const wchar_t* pszIdentification, INAConnectionDescription* piHost)
      : CNAConnectionDescription(pszIdentification, piHost) {
    ++gnLiveConnections;
  }
  ~CTestConnection() override { --gnLiveConnections; }
  int bOpen(CNAError* pclError) override {
    if (gbRefuseOpen)
      return CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), 9, 99, nullptr, nullptr, nullptr, 8);
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

// What a scripted query answers.
struct _stScript {
  int bResult = 1;
  int bKept = 1;
  int bPrepared = 0;
  int bDeleted = 1;
};
_stScript gstScript;

// The minimal table object with the query, deletion and closing scripted.
class CScriptedTable : public CNATable {
 public:
  using CNATable::CNATable;
  int bExecuteQuery(int* pbKept, INAContext*, const wchar_t*, ISQLParserInformation*,
                    unsigned int, const INAQueryExecution*) override {
    ++m_nRuns;
    if (!gstScript.bResult)
      return CNAError::g_nRaise(pclGetError(), eNA_ERRORTYPE(3), 6, 77, nullptr, nullptr,
                                nullptr, 29);
    *pbKept = gstScript.bKept;
    return 1;
  }
  int bQueryPrepared() override { return gstScript.bPrepared; }
  int bSupprimeFichier(INAContext*) override {
    ++m_nDeletes;
    if (!gstScript.bDeleted)
      return CNAError::g_nRaise(pclGetError(), eNA_ERRORTYPE(3), 6, 78, nullptr, nullptr,
                                nullptr, 29);
    return 1;
  }
  int bHFerme(INAContext*) override {
    ++m_nCloses;
    return 1;
  }
  int bHMode(INAContext*, _eNA_HMODE eMode) override { return eMode != _eNA_HMODE(99); }

  int m_nRuns = 0;
  int m_nDeletes = 0;
  int m_nCloses = 0;
};

class CCountedTable : public CScriptedTable {
 public:
  CCountedTable(const wchar_t* pszID, INADataSourceDescription* piSource,
                CNAConnectionDescription* pclConnection, CNAError* pclError)
      : CScriptedTable(pszID, piSource, pclConnection, pclError) {
    ++gnLiveTables;
  }

 protected:
  ~CCountedTable() override { --gnLiveTables; }
};

class CCountedAccess : public CNADataAccess {
 public:
  CCountedAccess(INADataSourceDescription* piSource, CNAConnectionDescription* pclConnection,
                 CNAError* pclError)
      : CNADataAccess(piSource, pclConnection, pclError) {
    ++gnLiveAccesses;
  }
  ~CCountedAccess() override { --gnLiveAccesses; }
  int bIsOpened() override { return 1; }
  int bHFerme() override {
    ++m_nCloses;
    return 1;
  }
  static int m_nCloses;
};
int CCountedAccess::m_nCloses = 0;

class CTestDriver : public CNADriver {
 public:
  CNAConnectionDescription* _pclAllocConnectionDescription(
      const wchar_t* pszIdentification, INAConnectionDescription* piHost) override {
    return new CTestConnection(pszIdentification, piHost);
  }
  CNATableBase* _pclAllocTable(const wchar_t* pszID, INADataSourceDescription* piSource,
                               CNAConnectionDescription* pclConnection,
                               CNAError* pclError) override {
    return new CCountedTable(pszID, piSource, pclConnection, pclError);
  }
  CNADataAccessBase* pclAllocDataAccess(INADataSourceDescription* piSource,
                                        CNAConnectionDescription* pclConnection,
                                        CNAError* pclError) const override {
    return new CCountedAccess(piSource, pclConnection, pclError);
  }
};

std::string Narrow(const wchar_t* psz) {
  std::string str;
  for (; psz != nullptr && *psz != 0; ++psz) str += *psz < 128 ? char(*psz) : '?';
  return str;
}

struct ReleaseHost {
  void operator()(CStandInConnection* p) const { p->nExternalRelease(); }
  void operator()(CStandInDataSource* p) const { p->nExternalRelease(); }
};
using StandIn = std::unique_ptr<CStandInConnection, ReleaseHost>;
using Source = std::unique_ptr<CStandInDataSource, ReleaseHost>;

StandIn NewStandIn(const wchar_t* pszUser = L"kq", const wchar_t* pszPassword = L"Secret1") {
  CStandInConnection::_stValues st;
  st.strUser = pszUser;
  st.strPassword = pszPassword;
  st.strDataSource = L"127.0.0.1";
  st.strExtendedInfo = L"Server Port=3306";
  st.strProvider = L"MariaDB";
  st.strConnectionName = L"CNX";
  return StandIn(CStandInConnection::pclNew(st));
}

Source NewSource(const wchar_t* pszName) { return Source(CStandInDataSource::pclNew(pszName)); }

class DriverRegistry : public kqtest::BoundFrameworkTest {
 protected:
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    gnCloses = 0;
    gbRefuseOpen = false;
    gstScript = _stScript();
    CCountedAccess::m_nCloses = 0;
    m_nLiveSources = CStandInDataSource::g_nLive;
    m_pclDriver = new CTestDriver();
    m_pclDriver->ExternalAddRef();
    m_pclDriver->bInitDriver();
  }
  void TearDown() override {
    if (m_pclDriver != nullptr) {
      EXPECT_EQ(m_pclDriver->nExternalRelease(), 0);
    }
    EXPECT_EQ(gnLiveConnections, 0);
    EXPECT_EQ(gnLiveTables, 0);
    EXPECT_EQ(gnLiveAccesses, 0);
    EXPECT_EQ(CStandInDataSource::g_nLive, m_nLiveSources);
    EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
    BoundFrameworkTest::TearDown();
  }
  INADriver* Driver() { return m_pclDriver; }
  std::string LastError() { return Narrow(m_pclDriver->piGetLastError()->pszGetError()); }
  unsigned int LastCode() { return m_pclDriver->piGetLastError()->dwGetErrorId(); }

  CTestDriver* m_pclDriver = nullptr;
  int m_nLiveSources = 0;
};

// ---------------------------------------------------------------------------
// Table objects

TEST_F(DriverRegistry, TablesAreSharedByDataSourceNameAndConnection) {
  StandIn clHost = NewStandIn();
  StandIn clOtherUser = NewStandIn(L"other");
  Source clCustomer = NewSource(L"CUSTOMER"), clCustomer2 = NewSource(L"CUSTOMER");
  Source clOrders = NewSource(L"ORDERS");
  INATable* piA = Driver()->piGetTable(clHost.get(), clCustomer.get());
  INATable* piB = Driver()->piGetTable(clHost.get(), clCustomer2.get());
  INATable* piC = Driver()->piGetTable(clHost.get(), clOrders.get());
  INATable* piD = Driver()->piGetTable(clOtherUser.get(), clCustomer.get());
  ASSERT_NE(piA, nullptr);
  EXPECT_EQ(piA, piB);
  EXPECT_NE(piA, piC);
  EXPECT_NE(piA, piD);
  auto* pclA = static_cast<CNATable*>(static_cast<CNATableBase*>(piA));
  EXPECT_EQ(pclA->nGetExternalCount(), 2);
  EXPECT_EQ(pclA->nGetInternalCount(), 1);  // the registration's
  const std::string strID = Narrow(pclA->pszGetIdentification());
  EXPECT_EQ(strID.rfind("Table=CUSTOMER;Connection=CNX;", 0), 0u) << strID;
  EXPECT_EQ(m_pclDriver->nGetTableCount(), 3u);
  // The connection lives while a table object holds it, though never opened.
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 2u);
  for (INATable* pi : {piA, piB, piC, piD}) pi->nExternalRelease();
  EXPECT_EQ(m_pclDriver->nGetTableCount(), 0u);
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 0u);
  EXPECT_EQ(gnLiveTables, 0);
}

TEST_F(DriverRegistry, ATableWithoutDescriptionOrConnectionIsATypedError) {
  Source clSource = NewSource(L"T");
  EXPECT_EQ(Driver()->piGetTable(nullptr, clSource.get()), nullptr);
  StandIn clHost = NewStandIn();
  EXPECT_EQ(Driver()->piGetTable(clHost.get(), nullptr), nullptr);
  EXPECT_EQ(LastCode(), 5u);
  EXPECT_EQ(m_pclDriver->nGetTableCount(), 0u);
}

TEST_F(DriverRegistry, ReleasingTheLastReferenceButTheRegistrationsUnregisters) {
  StandIn clHost = NewStandIn();
  Source clSource = NewSource(L"T");
  CNAConnectionDescription* pclConnection = m_pclDriver->_pclGetConnection(clHost.get());
  CNATableBase* pclTable = m_pclDriver->_pclGetTable(clSource.get(), pclConnection);
  ASSERT_NE(pclTable, nullptr);
  // The server's releases past 0 are ignored.
  EXPECT_EQ(pclTable->nExternalRelease(), 0);
  EXPECT_EQ(m_pclDriver->nGetTableCount(), 1u);
  pclTable->AddRef();
  EXPECT_EQ(m_pclDriver->nReleaseTable(pclTable), 2);
  EXPECT_EQ(m_pclDriver->nGetTableCount(), 1u);
  EXPECT_EQ(m_pclDriver->nReleaseTable(pclTable), 0);  // one left: the registration's
  EXPECT_EQ(m_pclDriver->nGetTableCount(), 0u);
  EXPECT_EQ(gnLiveTables, 0);
  m_pclDriver->nReleaseConnection(pclConnection);
}

TEST_F(DriverRegistry, TransactionEndsAndLockCancelsReachTheTablesOfTheirConnection) {
  StandIn clHost = NewStandIn(), clOther = NewStandIn(L"other");
  Source clT1 = NewSource(L"T1"), clT2 = NewSource(L"T2");
  INATable* pi1 = Driver()->piGetTable(clHost.get(), clT1.get());
  INATable* pi2 = Driver()->piGetTable(clHost.get(), clT2.get());
  INATable* pi3 = Driver()->piGetTable(clOther.get(), clT1.get());
  CNAConnectionDescription* pclConnection = m_pclDriver->_pclFindConnection(clHost.get());
  m_pclDriver->_SetTransactionTermined(pclConnection);
  m_pclDriver->CancelRecordLock(clHost.get(), nullptr);
  auto Table = [](INATable* pi) { return static_cast<CNATable*>(static_cast<CNATableBase*>(pi)); };
  EXPECT_EQ(Table(pi1)->nGetTransactionTerminatedCount(), 1);
  EXPECT_EQ(Table(pi2)->nGetTransactionTerminatedCount(), 1);
  EXPECT_EQ(Table(pi3)->nGetTransactionTerminatedCount(), 0);
  for (INATable* pi : {pi1, pi2, pi3}) {
    EXPECT_EQ(Table(pi)->nGetCancelRecordLockCount(), 1);
  }
  unsigned int nPos = 0;
  int nFound = 0;
  while (CNATableBase* pcl = m_pclDriver->pclEnumTableByConnection(&nPos, pclConnection)) {
    EXPECT_EQ(pcl->pclGetConnection(), pclConnection);
    pcl->nRelease();
    ++nFound;
  }
  EXPECT_EQ(nFound, 2);
  m_pclDriver->nReleaseConnection(pclConnection);
  EXPECT_EQ(Driver()->bHMode(nullptr, _eNA_HMODE(1)), 1);
  EXPECT_EQ(Driver()->bHMode(nullptr, _eNA_HMODE(99)), 0);
  for (INATable* pi : {pi1, pi2, pi3}) pi->nExternalRelease();
}

// ---------------------------------------------------------------------------
// Queries

TEST_F(DriverRegistry, QueryOutcomesDecideWhatStaysRegistered) {
  struct Case {
    const char* name;
    _stScript script;
    unsigned int dwFlags;
    bool bRegisteredBefore;  // a kept result of an earlier run
    int nResult;
    bool bOut;               // a table object handed out
    bool bRegisteredAfter;
  };
  const Case cases[] = {
      {"kept result", {1, 1, 0, 1}, 0, false, 1, true, true},
      {"no result set", {1, 0, 0, 1}, 0, false, 1, false, false},
      {"no result set, earlier one dropped", {1, 0, 0, 1}, 0, true, 1, false, false},
      {"no result set under flag 0x10", {1, 0, 0, 1}, 0x10, true, 1, false, true},
      {"no result set, prepared", {1, 0, 1, 1}, 0, true, 1, false, true},
      {"failure", {0, 0, 0, 1}, 0, true, 0, false, false},
      {"failure under flag 0x10", {0, 0, 0, 1}, 0x10, true, 0, false, true},
      {"failure, prepared", {0, 0, 1, 1}, 0, true, 0, false, true},
      {"failure, new", {0, 0, 0, 1}, 0, false, 0, false, false},
  };
  StandIn clHost = NewStandIn();
  CStandInContext clContext(7, 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    INATable* piEarlier = nullptr;
    if (c.bRegisteredBefore) {
      gstScript = _stScript();
      ASSERT_EQ(Driver()->bHExecuteRequeteSQL(&piEarlier, &clContext, L"Q", clHost.get(),
                                              nullptr, 0), 1);
      ASSERT_NE(piEarlier, nullptr);
    }
    gstScript = c.script;
    INATable* piOut = reinterpret_cast<INATable*>(1);
    EXPECT_EQ(Driver()->bHExecuteRequeteSQLEx(&piOut, &clContext, L"Q", clHost.get(), nullptr,
                                              c.dwFlags, nullptr), c.nResult);
    EXPECT_EQ(piOut != nullptr, c.bOut);
    EXPECT_EQ(m_pclDriver->nGetTableCount(), c.bRegisteredAfter ? 1u : 0u);
    if (c.nResult == 0) {
      EXPECT_EQ(LastCode(), 29u);  // the table object's error, copied
    }
    if (piOut != nullptr) {
      if (piEarlier != nullptr) {
        EXPECT_EQ(piOut, piEarlier);
      }
      piOut->nExternalRelease();
    }
    if (piEarlier != nullptr) piEarlier->nExternalRelease();
    // A result that stayed registered without a server reference goes with
    // its context's release of it.
    if (CNATableBase* pcl = m_pclDriver->_pclGetQuery(&clContext, L"Q",
                                                      m_pclDriver->_pclFindConnection(clHost.get()),
                                                      0)) {
      m_pclDriver->_bReleaseTable(pcl);
      pcl->nRelease();
      m_pclDriver->nReleaseConnection(pcl->pclGetConnection());
    }
    EXPECT_EQ(m_pclDriver->nGetTableCount(), 0u);
    EXPECT_EQ(gnLiveTables, 0);
  }
}

TEST_F(DriverRegistry, QueryResultsArePrivateToTheirContext) {
  StandIn clHost = NewStandIn();
  CStandInContext clOne(1, 1), clTwo(2, 1);
  INATable *piOne = nullptr, *piTwo = nullptr, *piAgain = nullptr;
  ASSERT_EQ(Driver()->bHExecuteRequeteSQL(&piOne, &clOne, L"Q", clHost.get(), nullptr, 0), 1);
  ASSERT_EQ(Driver()->bHExecuteRequeteSQL(&piTwo, &clTwo, L"Q", clHost.get(), nullptr, 0), 1);
  ASSERT_EQ(Driver()->bHExecuteRequeteSQL(&piAgain, &clOne, L"Q", clHost.get(), nullptr, 0), 1);
  EXPECT_NE(piOne, piTwo);
  EXPECT_EQ(piOne, piAgain);
  EXPECT_EQ(m_pclDriver->nGetTableCount(), 2u);
  EXPECT_EQ(Narrow(static_cast<CNATableBase*>(piTwo)->pszGetIdentification()).rfind(
                "CTX=2;Table=Q;Connection=CNX;", 0),
            0u);
  // Freeing the data source closes the context's access on it; a query that
  // the context never ran frees nothing and succeeds.
  EXPECT_EQ(Driver()->bFreeDataSource(&clOne, L"Q", clHost.get()), 1);
  EXPECT_EQ(static_cast<CScriptedTable*>(static_cast<CNATableBase*>(piOne))->m_nCloses, 1);
  EXPECT_EQ(Driver()->bFreeDataSource(&clOne, L"NEVER", clHost.get()), 1);
  // No out pointer: the result is still kept.
  EXPECT_EQ(Driver()->bHExecuteRequeteSQL(nullptr, &clTwo, L"R", clHost.get(), nullptr, 0), 1);
  EXPECT_EQ(m_pclDriver->nGetTableCount(), 3u);
  for (INATable* pi : {piOne, piTwo, piAgain}) pi->nExternalRelease();
  EXPECT_EQ(m_pclDriver->nGetTableCount(), 1u);  // R: no server reference, the driver's own
}

TEST_F(DriverRegistry, QueriesWithoutContextOrConnectionFailWithTheirError) {
  StandIn clHost = NewStandIn();
  INATable* piOut = reinterpret_cast<INATable*>(1);
  EXPECT_EQ(Driver()->bHExecuteRequeteSQL(&piOut, nullptr, L"Q", clHost.get(), nullptr, 0), 0);
  EXPECT_EQ(piOut, nullptr);
  EXPECT_EQ(LastCode(), 8u);
  EXPECT_NE(LastError().find("no server context"), std::string::npos);
  CStandInContext clContext(0, 0);  // 0 is an identifier like any other
  EXPECT_EQ(Driver()->bHExecuteRequeteSQL(&piOut, &clContext, L"Q", nullptr, nullptr, 0), 0);
  EXPECT_EQ(Driver()->bHExecuteRequeteSQL(&piOut, &clContext, nullptr, clHost.get(), nullptr, 0),
            1);
  piOut->nExternalRelease();
  EXPECT_EQ(Driver()->bFreeDataSource(nullptr, L"Q", clHost.get()), 0);
}

// ---------------------------------------------------------------------------
// Contexts

TEST_F(DriverRegistry, AContextIsMadeOnceAndDroppedWhenItHoldsNothing) {
  CStandInContext clServer(42, 1);
  int bCreated = -1;
  CNAContext* pclContext = m_pclDriver->pclGetContext(&clServer, &bCreated);
  ASSERT_NE(pclContext, nullptr);
  EXPECT_EQ(bCreated, 1);
  EXPECT_EQ(pclContext->dwGetContextID(), 42u);
  EXPECT_EQ(pclContext->nGetVersion(), 2);
  CNAContext* pclAgain = m_pclDriver->pclGetContext(&clServer, &bCreated);
  EXPECT_EQ(pclAgain, pclContext);
  EXPECT_EQ(bCreated, 0);
  EXPECT_EQ(m_pclDriver->nReleaseContext(&clServer, pclAgain), 0);  // nothing held: dropped
  EXPECT_EQ(m_pclDriver->nGetContextCount(), 0u);
  EXPECT_EQ(m_pclDriver->nReleaseContext(&clServer, pclContext), 0);
  EXPECT_EQ(m_pclDriver->pclFindContext(&clServer), nullptr);
  EXPECT_EQ(m_pclDriver->pclFindContext(nullptr), nullptr);
  EXPECT_EQ(m_pclDriver->pclGetContext(nullptr, &bCreated), nullptr);
  EXPECT_EQ(bCreated, 0);
  EXPECT_EQ(LastCode(), 8u);
  EXPECT_EQ(Driver()->bCloseContext(&clServer), 0);  // unknown
  EXPECT_EQ(Driver()->bCloseContext(nullptr), 0);
}

TEST_F(DriverRegistry, DataAccessesAreOnePerFileObjectOfAContext) {
  StandIn clHost = NewStandIn(), clOther = NewStandIn(L"other");
  CNAConnectionDescription* pclA = m_pclDriver->_pclGetConnection(clHost.get());
  CNAConnectionDescription* pclB = m_pclDriver->_pclGetConnection(clOther.get());
  Source clSource = NewSource(L"CUSTOMER");
  CStandInContext clServer(5, 10);
  Driver()->SetNextLogicalName(&clServer, L"C1");
  CNAContext* pclContext = m_pclDriver->pclFindContext(&clServer);
  ASSERT_NE(pclContext, nullptr);  // kept for the name it waits to give
  EXPECT_STREQ(pclContext->pszGetNextLogicalName(), L"C1");
  int bCreated = -1;
  CNADataAccessBase* pcl1 = pclContext->pclGetDataAccess(&clServer, pclA, clSource.get(), &bCreated);
  EXPECT_EQ(bCreated, 1);
  CNADataAccessBase* pclSame = pclContext->pclGetDataAccess(&clServer, pclA, clSource.get(), &bCreated);
  EXPECT_EQ(bCreated, 0);
  EXPECT_EQ(pcl1, pclSame);
  clServer.SetDataID(11);
  CNADataAccessBase* pcl2 = pclContext->pclGetDataAccess(&clServer, pclB, clSource.get(), &bCreated);
  EXPECT_EQ(bCreated, 1);
  EXPECT_NE(pcl1, pcl2);
  EXPECT_EQ(pclContext->dwGetDataAccessCount(), 2u);
  EXPECT_EQ(static_cast<CNADataAccess*>(pcl1)->pclGetContext(), pclContext);
  EXPECT_EQ(static_cast<CNADataAccess*>(pcl1)->pclGetError(), pclContext->pclGetError());
  // By alias: only the data accesses on the connection asked for.
  const std::wstring strAlias = pcl1->pszGetAliasName();
  if (!strAlias.empty()) {
    CNADataAccessBase* pclFound = pclContext->pclFindDataAccessByAliasName(pclA, strAlias.c_str());
    EXPECT_EQ(pclFound, pcl1);
    if (pclFound != nullptr) pclFound->nRelease();
    EXPECT_EQ(pclContext->pclFindDataAccessByAliasName(pclB, L"no such alias"), nullptr);
  }
  // A lock mode for a name that matches none still becomes the default.
  EXPECT_EQ(pclContext->bHMode(L"NO SUCH FILE", _eNA_HMODE(4)), 1);
  EXPECT_EQ(pclContext->eGetDefaultMode(), _eNA_HMODE(4));
  // Removal takes only the entry of that data access.
  clServer.SetDataID(10);
  EXPECT_EQ(pclContext->RemoveDataAccess(&clServer, pcl2), 0);
  EXPECT_EQ(pclContext->RemoveDataAccess(&clServer, pcl1), 1);
  EXPECT_EQ(pclContext->pclFindDataAccess(&clServer), nullptr);
  for (CNADataAccessBase* pcl : {pcl1, pclSame, pcl2}) pcl->nRelease();
  // Closing the context closes what is open and drops the context.
  EXPECT_EQ(m_pclDriver->nReleaseContext(&clServer, pclContext), 1);
  EXPECT_EQ(Driver()->bCloseContext(&clServer), 1);
  EXPECT_EQ(CCountedAccess::m_nCloses, 1);
  EXPECT_EQ(m_pclDriver->nGetContextCount(), 0u);
  EXPECT_EQ(gnLiveAccesses, 0);
  // Closing an empty context does nothing more.
  CNAContext* pclEmpty = m_pclDriver->pclGetContext(&clServer, nullptr);
  pclEmpty->CloseAllDataAccess();
  EXPECT_EQ(pclEmpty->pclFindDataAccess(&clServer), nullptr);
  m_pclDriver->nReleaseContext(&clServer, pclEmpty);
  m_pclDriver->nReleaseConnection(pclA);
  m_pclDriver->nReleaseConnection(pclB);
}

// ---------------------------------------------------------------------------
// Openings and closings

TEST_F(DriverRegistry, ACloseGivesBackOnlyWhatAnOpeningTook) {
  StandIn clHost = NewStandIn();
  Source clSource = NewSource(L"T");
  // A table object holds the connection; the server never opened it.
  INATable* piTable = Driver()->piGetTable(clHost.get(), clSource.get());
  ASSERT_NE(piTable, nullptr);
  CNAConnectionDescription* pclConnection =
      static_cast<CNATableBase*>(piTable)->pclGetConnection();
  const int nHeld = pclConnection->nGetRefCount();
  // Closes beyond the openings take nothing from the table's holding.
  EXPECT_EQ(Driver()->bCloseConnection(clHost.get()), 1);
  EXPECT_EQ(Driver()->bCloseConnection(clHost.get()), 1);
  EXPECT_EQ(pclConnection->nGetRefCount(), nHeld);
  EXPECT_EQ(gnLiveConnections, 1);
  // Two openings, three closes: the third gives back nothing.
  EXPECT_EQ(Driver()->bOpenConnection(clHost.get()), 1);
  EXPECT_EQ(Driver()->bOpenConnection(clHost.get()), 1);
  EXPECT_EQ(pclConnection->nGetRefCount(), nHeld + 2);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Driver()->bCloseConnection(clHost.get()), 1);
  EXPECT_EQ(pclConnection->nGetRefCount(), nHeld);
  EXPECT_TRUE(pclConnection->bIsOpen());
  // The table's release is the last user's: the connection closes and goes.
  EXPECT_EQ(piTable->nExternalRelease(), 0);
  EXPECT_EQ(gnLiveConnections, 0);
  EXPECT_EQ(gnCloses, 1);
}

TEST_F(DriverRegistry, OpeningsAndClosesFollowAModelWithTablesHoldingConnections) {
  std::vector<StandIn> hosts;
  hosts.push_back(NewStandIn(L"a"));
  hosts.push_back(NewStandIn(L"b"));
  Source clSource = NewSource(L"T");
  std::map<int, int> opens;
  std::map<int, INATable*> tables;
  std::mt19937 rng(99);
  for (int nStep = 0; nStep < 1500; ++nStep) {
    SCOPED_TRACE(nStep);
    const int h = static_cast<int>(rng() % hosts.size());
    switch (rng() % 4) {
      case 0:
        if (Driver()->bOpenConnection(hosts[h].get())) ++opens[h];
        break;
      case 1:
        ASSERT_EQ(Driver()->bCloseConnection(hosts[h].get()), 1);
        if (opens[h] > 0) --opens[h];
        break;
      case 2:
        if (tables[h] == nullptr) tables[h] = Driver()->piGetTable(hosts[h].get(), clSource.get());
        break;
      default:
        if (tables[h] != nullptr) {
          tables[h]->nExternalRelease();
          tables[h] = nullptr;
        }
    }
    unsigned int nUsed = 0;
    for (int i = 0; i < static_cast<int>(hosts.size()); ++i) {
      const bool bUsed = opens[i] > 0 || tables[i] != nullptr;
      nUsed += bUsed;
      CNAConnectionDescription* pcl = m_pclDriver->_pclFindConnection(hosts[i].get());
      ASSERT_EQ(pcl != nullptr, bUsed);
      if (pcl != nullptr) {
        // The registration, the find, each opening, the table object.
        ASSERT_EQ(pcl->nGetRefCount(), 2 + opens[i] + (tables[i] != nullptr));
        m_pclDriver->nReleaseConnection(pcl);
      }
    }
    ASSERT_EQ(m_pclDriver->nGetConnectionCount(), nUsed);
    ASSERT_EQ(gnLiveConnections, static_cast<int>(nUsed));
  }
  for (auto& [h, pi] : tables)
    if (pi != nullptr) pi->nExternalRelease();
  for (auto& [h, n] : opens)
    while (n-- > 0) Driver()->bCloseConnection(hosts[h].get());
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 0u);
}

TEST_F(DriverRegistry, ReleasingAnUnregisteredConnectionLeavesItsSuccessorRegistered) {
  StandIn clHost = NewStandIn();
  // A failed opening while only the registration and the operation hold the
  // connection unregisters it; the operation's holder keeps it.
  CNAConnectionDescription* pclOld = m_pclDriver->_pclGetConnection(clHost.get());
  gbRefuseOpen = true;
  EXPECT_EQ(m_pclDriver->_bOpenConnection(pclOld), 0);
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 0u);
  EXPECT_EQ(pclOld->nGetRefCount(), 1);
  pclOld->AddRef();  // a second holder, as a table object would be
  gbRefuseOpen = false;
  // A new connection under the same key.
  ASSERT_EQ(Driver()->bOpenConnection(clHost.get()), 1);
  CNAConnectionDescription* pclNew = m_pclDriver->_pclFindConnection(clHost.get());
  ASSERT_NE(pclNew, pclOld);
  m_pclDriver->nReleaseConnection(pclNew);
  // The old connection's releases, down to its last user's, never touch the
  // new one's entry.
  EXPECT_EQ(m_pclDriver->nReleaseConnection(pclOld), 1);
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 1u);
  EXPECT_EQ(m_pclDriver->nReleaseConnection(pclOld), 0);
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 1u);
  EXPECT_EQ(gnLiveConnections, 1);
  CNAConnectionDescription* pclFound = m_pclDriver->_pclFindConnection(clHost.get());
  EXPECT_EQ(pclFound, pclNew);
  EXPECT_TRUE(pclFound->bIsOpen());
  m_pclDriver->nReleaseConnection(pclFound);
  EXPECT_EQ(Driver()->bCloseConnection(clHost.get()), 1);
  EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 0u);
}

// ---------------------------------------------------------------------------
// Deleting a table

TEST_F(DriverRegistry, DeletingATableAnswersTheOpeningsAndTheDeletionsResult) {
  StandIn clHost = NewStandIn();
  Source clSource = NewSource(L"T");
  CStandInContext clContext(1, 1);
  gbRefuseOpen = true;
  EXPECT_EQ(Driver()->bSupprimeFichier(&clContext, clHost.get(), L"T", clSource.get()), 0);
  EXPECT_EQ(LastCode(), 8u);
  gbRefuseOpen = false;
  EXPECT_EQ(Driver()->bSupprimeFichier(&clContext, clHost.get(), L"T", nullptr), 0);
  EXPECT_EQ(LastCode(), 8u);
  EXPECT_EQ(gnLiveTables, 0);  // nothing was made to delete
  gstScript.bDeleted = 0;
  EXPECT_EQ(Driver()->bSupprimeFichier(&clContext, clHost.get(), L"T", clSource.get()), 0);
  EXPECT_EQ(LastCode(), 29u);
  gstScript.bDeleted = 1;
  EXPECT_EQ(Driver()->bSupprimeFichier(&clContext, clHost.get(), L"T", clSource.get()), 1);
  EXPECT_EQ(m_pclDriver->piGetLastError()->eGetErrorType(), -1);
  // The table object made for it stays shared until the teardown.
  EXPECT_EQ(m_pclDriver->nGetTableCount(), 1u);
}

// ---------------------------------------------------------------------------
// Teardown

TEST_F(DriverRegistry, TheTeardownLeavesNothingAndLateReleasesDoNoHarm) {
  StandIn clHost = NewStandIn();
  Source clSource = NewSource(L"T");
  CStandInContext clContext(3, 1);
  ASSERT_EQ(Driver()->bOpenConnection(clHost.get()), 1);
  ASSERT_EQ(Driver()->bOpenConnection(clHost.get()), 1);
  INATable* piTable = Driver()->piGetTable(clHost.get(), clSource.get());
  INATable* piQuery = nullptr;
  ASSERT_EQ(Driver()->bHExecuteRequeteSQL(&piQuery, &clContext, L"Q", clHost.get(), nullptr, 0), 1);
  CNAConnectionDescription* pclConnection = m_pclDriver->_pclFindConnection(clHost.get());
  CNAContext* pclContext = m_pclDriver->pclGetContext(&clContext, nullptr);
  pclContext->pclGetDataAccess(&clContext, pclConnection, clSource.get(), nullptr)->nRelease();
  m_pclDriver->nReleaseContext(&clContext, pclContext);
  m_pclDriver->nReleaseConnection(pclConnection);
  EXPECT_EQ(m_pclDriver->nExternalRelease(), 0);
  m_pclDriver = nullptr;
  EXPECT_EQ(gnLiveAccesses, 0);
  // The server still holds two table objects, and through them the
  // connection (closed); its releases after the driver are harmless.
  EXPECT_EQ(gnLiveConnections, 1);
  EXPECT_EQ(piTable->nExternalRelease(), 0);
  EXPECT_EQ(piQuery->nExternalRelease(), 0);
  EXPECT_EQ(gnLiveTables, 0);
  EXPECT_EQ(gnLiveConnections, 0);
  EXPECT_EQ(clHost->nGetRefCount(), 1);
}

// ---------------------------------------------------------------------------
// Slots answered outright

TEST_F(DriverRegistry, UnregisteredConnectionsRaiseUserErrorFourteenAtTheirSite) {
  StandIn clHost = NewStandIn();
  CAny clValue;
  struct Case {
    const char* site;
    int (*call)(INADriver*, INAConnectionDescription*, CAny*);
  } const cases[] = {
      {"5.1", [](INADriver* pi, INAConnectionDescription* pc, CAny*) { return pi->bSQLBloqueTable(pc, L"T"); }},
      {"5.2", [](INADriver* pi, INAConnectionDescription* pc, CAny*) { return pi->bSQLBloqueRequete(pc, nullptr); }},
      {"5.3", [](INADriver* pi, INAConnectionDescription* pc, CAny* pv) { return pi->bHConnexionDiagnose(pv, pc, L"x", 0); }},
      {"5.4", [](INADriver* pi, INAConnectionDescription* pc, CAny*) { return pi->bTransactionCommit(pc, nullptr); }},
      {"5.5", [](INADriver* pi, INAConnectionDescription* pc, CAny*) { return pi->bTransactionRollBack(pc, nullptr); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.site);
    for (INAConnectionDescription* pc : {static_cast<INAConnectionDescription*>(clHost.get()),
                                         static_cast<INAConnectionDescription*>(nullptr)}) {
      EXPECT_EQ(c.call(Driver(), pc, &clValue), 0);
      EXPECT_EQ(LastCode(), 14u);
      EXPECT_EQ(m_pclDriver->piGetLastError()->eGetErrorType(), 0);
      EXPECT_NE(LastError().find(std::string("IEKQMARIA=") + c.site), std::string::npos);
      EXPECT_EQ(m_pclDriver->nGetConnectionCount(), 0u);
    }
  }
}

TEST_F(DriverRegistry, ListsThatAreNotOfferedAnswerTheEmptyText) {
  for (int nWhich = 0; nWhich < 2; ++nWhich) {
    SCOPED_TRACE(nWhich);
    CAny clValue;
    clValue.SetI4(5);
    clValue.SetNull(true);
    EXPECT_EQ(nWhich == 0 ? Driver()->bGetListeSource(&clValue, 3)
                          : Driver()->bSQLFormatColonne(nullptr, &clValue),
              1);
    EXPECT_EQ(clValue.wGetType(), VX_PSTRW);
    const wchar_t* psz = nullptr;
    clValue.pclGetIntern()->nGetPCWSTR(&psz);
    ASSERT_NE(psz, nullptr);
    EXPECT_STREQ(psz, L"");
  }
  EXPECT_EQ(Driver()->bGetListeSource(nullptr, 0), 1);
  EXPECT_EQ(Driver()->piGetInterface(2), nullptr);
  EXPECT_EQ(Driver()->piGetInterface(1), nullptr);
}

// ---------------------------------------------------------------------------
// Query dump

// A text value (shown as it is, whatever the conversions bound).
CAny* NewValue(const wchar_t* psz) {
  auto* p = new CAny();
  p->__SetType(VX_PSTRW, 0);
  p->pclGetIntern()->SetValue(psz);
  return p;
}

TEST_F(DriverRegistry, TheQueryDumpListsTheTextAndEachParameter) {
  const std::wstring strText = m_pclDriver->pszGetQueryDumpLabel(NAQDL_QUERY_TEXT);
  const std::wstring strCount = m_pclDriver->pszGetQueryDumpLabel(NAQDL_PARAMETER_COUNT);
  const std::wstring strParameter = m_pclDriver->pszGetQueryDumpLabel(NAQDL_PARAMETER);
  const std::wstring strType = m_pclDriver->pszGetQueryDumpLabel(NAQDL_LANGUAGE_TYPE);
  const std::wstring strValue = m_pclDriver->pszGetQueryDumpLabel(NAQDL_VALUE);
  const std::wstring strFailure = m_pclDriver->pszGetQueryDumpLabel(NAQDL_CONVERSION_FAILURE);
  std::unique_ptr<CAny> cl1(NewValue(L"1")), cl2(NewValue(L"it's")), clNull(NewValue(L"3"));
  clNull->SetNull(true);
  const CAny* apOne[] = {cl1.get()};
  const CAny* apThree[] = {cl1.get(), cl2.get(), clNull.get()};
  auto Line = [&](int n, const CAny& v, const std::wstring& strShown) {
    return strParameter + L" " + std::to_wstring(n) + L" :\t" + strType + L" = <" +
           std::to_wstring(v.nGetTypeCode()) + L">\t" + strValue + L" = <" + strShown + L">\r\n";
  };
  const std::wstring strHead = strText + L"SELECT ?\r\n";
  struct Case {
    const char* name;
    const _stQueryDumpParameters* parameters;
    unsigned int max;
    std::wstring expected;
  };
  const _stQueryDumpParameters stNone = {nullptr, 0};
  const _stQueryDumpParameters stOne = {apOne, 1};
  const _stQueryDumpParameters stThree = {apThree, 3};
  const std::wstring strThree = strHead + strCount + L"=3\r\n" + Line(0, *cl1, L"1") +
                                Line(1, *cl2, L"it's") + Line(2, *clNull, strFailure);
  const Case cases[] = {
      {"no list", nullptr, 0xFFFFFFFFu, strHead},
      {"zero parameters", &stNone, 0xFFFFFFFFu, strHead + strCount + L"=0\r\n"},
      {"one parameter", &stOne, 0xFFFFFFFFu, strHead + strCount + L"=1\r\n" + Line(0, *cl1, L"1")},
      {"three, the last a null that does not convert", &stThree, 0xFFFFFFFFu, strThree},
      {"maximum 0", &stThree, 0, L""},
      {"maximum that reads as negative", &stThree, 0x80000000u, L""},
      {"maximum 10", &stThree, 10, strText.substr(0, 10)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTString clOut(L"old");
    EXPECT_EQ(m_pclDriver->bGetQueryDump(&clOut, L"SELECT ?", c.parameters, c.max), 1);
    EXPECT_EQ(std::wstring(clOut.pszGet()), c.expected);
  }
  // A limit stops the listing once reached, then cuts.
  CTString clOut;
  const int nLimit = static_cast<int>(strHead.size() + strCount.size() + 5);
  m_pclDriver->bGetQueryDump(&clOut, L"SELECT ?", &stThree, static_cast<unsigned int>(nLimit));
  EXPECT_EQ(std::wstring(clOut.pszGet()), strThree.substr(0, nLimit));
}

TEST_F(DriverRegistry, TheQueryDumpMasksPasswordLiterals) {
  struct Case {
    const wchar_t* query;
    const wchar_t* shown;
  } const cases[] = {
      {L"CREATE USER 'u'@'%' IDENTIFIED BY 'Secret1'", L"CREATE USER 'u'@'%' IDENTIFIED BY '*****'"},
      {L"alter user u identified\r\n by \"S'ec\"\"ret\"", L"alter user u identified\r\n by \"*****\""},
      {L"GRANT ALL ON *.* TO u IDENTIFIED BY PASSWORD '*ABC'", L"GRANT ALL ON *.* TO u IDENTIFIED BY PASSWORD '*****'"},
      {L"SET PASSWORD = PASSWORD( 'a\\'b' )", L"SET PASSWORD = PASSWORD( '*****' )"},
      {L"CREATE USER u IDENTIFIED VIA ed25519 USING PASSWORD('pw')", L"CREATE USER u IDENTIFIED VIA ed25519 USING PASSWORD('*****')"},
      {L"SELECT 'IDENTIFIED BY ''x''' FROM t", L"SELECT 'IDENTIFIED BY ''x''' FROM t"},
      {L"SELECT `password`('x') , mypassword('y')", L"SELECT `password`('x') , mypassword('y')"},
      {L"ALTER USER u IDENTIFIED BY 'unterminated", L"ALTER USER u IDENTIFIED BY '*****"},
  };
  const std::wstring strLabel = m_pclDriver->pszGetQueryDumpLabel(NAQDL_QUERY_TEXT);
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.query));
    CTString clOut;
    m_pclDriver->bGetQueryDump(&clOut, c.query, nullptr, 0xFFFFFFFFu);
    EXPECT_EQ(std::wstring(clOut.pszGet()), strLabel + c.shown + L"\r\n");
  }
}

TEST_F(DriverRegistry, AReleaseOfTheDriverPastZeroChangesNothing) {
  // A second driver object: the first stays the library's.
  auto* pclOther = new CTestDriver();
  EXPECT_EQ(CNADriver::s_pclDriver, m_pclDriver);
  EXPECT_EQ(pclOther->nExternalRelease(), 0);
  EXPECT_EQ(pclOther->nGetExternalCount(), 0);
  delete pclOther;
  EXPECT_EQ(CNADriver::s_pclDriver, m_pclDriver);
  EXPECT_EQ(m_pclDriver->nGetExternalCount(), 1);
}

TEST_F(DriverRegistry, GeneratedItemNamesCountFromOneThousand) {
  CTString clName;
  CNADriver::g_GenerateItemName(&clName, 0);
  EXPECT_STREQ(clName.pszGet(), L"Expr1000");
  CNADriver::g_GenerateItemName(&clName, 5);
  EXPECT_STREQ(clName.pszGet(), L"Expr1005");
  CNADriver::g_GenerateItemName(&clName, -1001);
  EXPECT_STREQ(clName.pszGet(), L"Expr-1");
}

}  // namespace
