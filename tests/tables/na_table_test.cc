// The table object as the server drives it.
//
// Through the host: kq230maria.so loaded by the stand-in server against the
// fixture's MariaDB, the way the server calls INATable: a context that never
// opened the table, opening, forwarding, closing, several file objects and
// tables in one context, contexts closed and their identifiers reused, the
// table's last release, and two server threads on one table.
//
// In process: what the boundary cannot show or provoke. A driver of the
// test's own makes the real table object over connections and data accesses
// whose opening and closing the test scripts (a close that fails, an open
// that fails on a data access that existed before), and the test reads the
// counts: live data accesses and tables, the table's data-access table, the
// lookup memo, the driver's contexts.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "driver/connection_description.h"
#include "driver/driver_lock.h"
#include "driver/na_context.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "host/harness/host_harness.h"
#include "host/harness/standin_connection.h"
#include "host/harness/standin_descriptions.h"
#include "host/harness/standin_gauge.h"
#include "host/harness/standin_objects.h"
#include "kq230/item_type.h"
#include "kq230/na_error_interface.h"
#include "kq230/na_table_interface.h"
#include "tables/na_data_access.h"
#include "tables/na_table.h"
#include "tests/host/native_access_fixture.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/second_session.h"
#include "tests/support/bound_framework.h"
#include "tests/support/standin_items.h"

namespace {

// Before main: see KeepClientLibraryForTheProgram.
[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

using kq230::test_support::MariadbServer;
using kq230::test_support::SecondSession;
using kq230::test_support::UniqueName;
using kqtest::Decl;

constexpr unsigned int kNotOpened = 19;
constexpr unsigned int kNotOffered = 8;
constexpr unsigned short kPrimary = 0x8000;
const _eNA_ACCESS kReadWrite = static_cast<_eNA_ACCESS>(0);

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// ===========================================================================
// Through the host, against the fixture's server

class TableThroughTheHost : public kqtest::NativeAccessTest {
 protected:
  void SetUp() override {
    m_nLiveDescriptions = StandInDescriptionCounts::g_nLive;
    kqtest::NativeAccessTest::SetUp();
    if (HasFatalFailure()) return;
    const char* pszEnv = std::getenv("KQ_MARIADB_ENV");
    const char* pszPath = pszEnv != nullptr && *pszEnv ? pszEnv : KQ_DEFAULT_MARIADB_ENV;
    std::string strError;
    ASSERT_TRUE(kq230::test_support::ReadMariadbServer(pszPath, &m_server, &strError))
        << strError;
    ASSERT_TRUE(m_other.Open(m_server, &strError)) << strError;
    m_bOtherOpen = true;
    m_strCustomers = UniqueName("kqtab_cust");
    m_strOrders = UniqueName("kqtab_ord");
    ASSERT_EQ(m_other.Run("CREATE OR REPLACE TABLE " + m_strCustomers +
                          " (id INT NOT NULL PRIMARY KEY, name VARCHAR(20))"),
              0u);
    ASSERT_EQ(m_other.Run("CREATE OR REPLACE TABLE " + m_strOrders +
                          " (id INT NOT NULL PRIMARY KEY, amount INT)"),
              0u);
    m_piHost = NewConnection(CStandInConnection::ROUTE_TCP);
  }

  void TearDown() override {
    for (INATable* pi : m_tables) EXPECT_EQ(pi->nExternalRelease(), 0);
    m_tables.clear();
    for (CStandInDescription* p : m_sources) {
      EXPECT_EQ(p->nGetRefCount(), 1) << "the driver still holds a description";
      p->nExternalRelease();
    }
    m_sources.clear();
    if (m_piHost != nullptr) m_piHost->nExternalRelease();
    kqtest::NativeAccessTest::TearDown();
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, m_nLiveDescriptions) << "stand-in objects left";
    if (m_bOtherOpen) {
      m_other.Run("DROP TABLE IF EXISTS " + m_strCustomers);
      m_other.Run("DROP TABLE IF EXISTS " + m_strOrders);
      m_other.Close();
    }
  }

  // A description of the server's analysis for the table (owned by the
  // fixture).
  CStandInDescription* Source(const std::string& strTable,
                              const std::vector<StandInItemDecl>& items) {
    CStandInDescription* p = CStandInDescription::pclNew(Wide(strTable).c_str(), items, 12);
    m_sources.push_back(p);
    return p;
  }
  CStandInDescription* Customers() {
    return Source(m_strCustomers,
                  {Decl(L"id", NA_IT_I4, 4, kPrimary, false), Decl(L"name", NA_IT_TEXTE, 21)});
  }
  CStandInDescription* Orders() {
    return Source(m_strOrders,
                  {Decl(L"id", NA_IT_I4, 4, kPrimary, false), Decl(L"amount", NA_IT_I4, 4)});
  }
  // The driver's table object for the description; the fixture releases it.
  INATable* Table(CStandInDescription* piSource) {
    INATable* pi = m_piDriver->piGetTable(m_piHost, piSource);
    EXPECT_NE(pi, nullptr) << LastError();
    if (pi != nullptr) m_tables.push_back(pi);
    return pi;
  }
  // The server's last release of a table the fixture holds.
  int Release(INATable* pi) {
    for (auto it = m_tables.begin(); it != m_tables.end(); ++it) {
      if (*it == pi) {
        m_tables.erase(it);
        break;
      }
    }
    return pi->nExternalRelease();
  }
  std::string ErrorOf(INATable* pi, INAContext* piContext) {
    return Narrow(pi->piGetLastError(piContext)->pszGetError());
  }
  int Read(INATable* pi, INAContext* piContext) {
    eNA_LOCKTYPE eGot = NA_LOCK_DEFAULT;
    return pi->bHLitxxx(piContext, L"id", NA_PARSE_FIRST, 0, NA_LOCK_NONE, &eGot, 0);
  }
  // The read failed because the context never opened the table: user error
  // 19 naming it.
  void ExpectNotOpened(INATable* pi, INAContext* piContext, const std::string& strTable) {
    INAError* piError = pi->piGetLastError(piContext);
    EXPECT_EQ(piError->dwGetErrorId(), kNotOpened) << Narrow(piError->pszGetError());
    EXPECT_EQ(Narrow(piError->pszGetLogicalTableName()), strTable);
    EXPECT_NE(Narrow(piError->pszGetError()).find(strTable), std::string::npos)
        << Narrow(piError->pszGetError());
  }

  MariadbServer m_server;
  SecondSession m_other;
  bool m_bOtherOpen = false;
  CStandInConnection* m_piHost = nullptr;
  std::string m_strCustomers;
  std::string m_strOrders;
  std::vector<INATable*> m_tables;
  std::vector<CStandInDescription*> m_sources;

 private:
  int m_nLiveDescriptions = 0;
};

TEST_F(TableThroughTheHost, CommandsOfAContextThatNeverOpenedTheTableRaiseNineteenNamingIt) {
  INATable* pi = Table(Customers());
  ASSERT_NE(pi, nullptr);
  CStandInContext ctx(11, 1);
  eNA_LOCKTYPE eGot = NA_LOCK_DEFAULT;
  long long llCount = 0;
  int nPosition = 0;
  struct Case {
    const char* name;
    std::function<int()> call;
  };
  const std::vector<Case> cases = {
      {"bHLitxxx", [&] { return Read(pi, &ctx); }},
      {"bHLit", [&] { return pi->bHLit(&ctx, 1, NA_LOCK_NONE, &eGot); }},
      {"bSkipRecord",
       [&] { return pi->bSkipRecord(&ctx, L"id", NA_PARSE_NEXT, 2, 0, NA_LOCK_NONE, &eGot, 0); }},
      {"bHAjoute", [&] { return pi->bHAjoute(&ctx, 0, NA_LOCK_NONE); }},
      {"bHNbEnr", [&] { return pi->bHNbEnr(&ctx, &llCount, 0, 0); }},
      {"bHSauvePosition", [&] { return pi->bHSauvePosition(&ctx, L"id", &nPosition, 0); }},
      {"bHActiveFiltre", [&] { return pi->bHActiveFiltre(&ctx, L"id", 0); }},
      {"bHFiltre", [&] { return pi->bHFiltre(&ctx, nullptr, nullptr); }},
      {"bSupprimeTout", [&] { return pi->bSupprimeTout(&ctx); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.call(), 0);
    ExpectNotOpened(pi, &ctx, m_strCustomers);
    // The context is unknown to the driver: its error is the driver's.
    EXPECT_EQ(m_piDriver->piGetLastError()->dwGetErrorId(), kNotOpened);
  }
  SCOPED_TRACE("llGetRecNum");
  EXPECT_EQ(pi->llGetRecNum(&ctx), 0);
  ExpectNotOpened(pi, &ctx, m_strCustomers);
}

TEST_F(TableThroughTheHost, CloseFreePositionAndFilterOffAnswerOneWhenTheContextNeverOpenedIt) {
  INATable* pi = Table(Customers());
  ASSERT_NE(pi, nullptr);
  CStandInContext ctx(12, 1);
  struct Case {
    const char* name;
    std::function<int()> call;
    bool bResetsTheError;  // closing keeps what the last command reported
  };
  const std::vector<Case> cases = {
      {"bHFerme", [&] { return pi->bHFerme(&ctx); }, false},
      {"bHLiberePosition", [&] { return pi->bHLiberePosition(&ctx, 3); }, true},
      {"bHDesactiveFiltre", [&] { return pi->bHDesactiveFiltre(&ctx, L"id", 0); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Read(pi, &ctx), 0);  // leaves 19 behind
    EXPECT_EQ(c.call(), 1);
    if (c.bResetsTheError) {
      EXPECT_EQ(pi->piGetLastError(&ctx)->dwGetErrorId(), 0u);
    }
  }
}

TEST_F(TableThroughTheHost, AnOpenedTableForwardsToTheContextsDataAccessUntilItIsClosed) {
  INATable* pi = Table(Customers());
  ASSERT_NE(pi, nullptr);
  CStandInContext ctx(13, 1);
  EXPECT_EQ(pi->bIsOpened(&ctx), 0);
  ASSERT_EQ(pi->bHOuvre(&ctx, kReadWrite, nullptr), 1) << ErrorOf(pi, &ctx);
  EXPECT_EQ(pi->bIsOpened(&ctx), 1);
  int bNeed = -1;
  EXPECT_EQ(pi->bNbEnrNeedParse(&ctx, &bNeed, L"id"), 1);
  EXPECT_EQ(bNeed, 0) << "MariaDB counts the rows without browsing them";
  EXPECT_EQ(pi->bHOuvre(&ctx, kReadWrite, nullptr), 1) << "opening again keeps it open";
  EXPECT_EQ(pi->bIsOpened(&ctx), 1);

  EXPECT_EQ(pi->bHFerme(&ctx), 1);
  EXPECT_EQ(pi->bIsOpened(&ctx), 0);
  EXPECT_EQ(Read(pi, &ctx), 0);
  ExpectNotOpened(pi, &ctx, m_strCustomers);
}

TEST_F(TableThroughTheHost, TheUnsupportedOperationsRaiseEightInTheContextsError) {
  INATable* pi = Table(Customers());
  ASSERT_NE(pi, nullptr);
  CStandInContext ctx(14, 1);
  ASSERT_EQ(pi->bHOuvre(&ctx, kReadWrite, nullptr), 1) << ErrorOf(pi, &ctx);
  void* pMemory = nullptr;
  void* pKey = nullptr;
  unsigned int nSize = 0;
  struct Case {
    const char* name;
    std::function<int()> call;
  };
  const std::vector<Case> cases = {
      {"bHInterditModif", [&] { return pi->bHInterditModif(&ctx); }},
      {"bHFinInterditModif", [&] { return pi->bHFinInterditModif(&ctx); }},
      {"bCalculateKeyValue",
       [&] { return pi->bCalculateKeyValue(&ctx, L"id", &pKey, nullptr, &nSize, 0, 0); }},
      {"FreeMemory", [&] { return pi->FreeMemory(&ctx, &pMemory); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.call(), 0);
    INAError* piError = pi->piGetLastError(&ctx);
    EXPECT_EQ(piError->dwGetErrorId(), kNotOffered) << Narrow(piError->pszGetError());
    EXPECT_EQ(piError->eGetErrorType(), eNA_ERRORTYPE(7));
    EXPECT_EQ(Narrow(piError->pszGetLogicalTableName()), m_strCustomers);
  }
  EXPECT_EQ(pi->bIsOpened(&ctx), 1) << "the data access is untouched";
  EXPECT_EQ(pi->bHFerme(&ctx), 1);
}

TEST_F(TableThroughTheHost, VirtualMovesAreNotOffered) {
  INATable* pi = Table(Customers());
  ASSERT_NE(pi, nullptr);
  CStandInContext ctx(15, 1);
  long long llRecNum = 42;
  EXPECT_EQ(pi->bTableVirtualMoveSupported(), 0);
  EXPECT_EQ(pi->bTableVirtualMove(&ctx, L"id", &llRecNum, 0, 0), 0);
  EXPECT_EQ(llRecNum, 42);
}

TEST_F(TableThroughTheHost, AnOpeningThatFailsLeavesNoDataAccessBehind) {
  // The analysis knows an item the database table lacks.
  INATable* pi = Table(Source(m_strCustomers, {Decl(L"id", NA_IT_I4, 4, kPrimary, false),
                                               Decl(L"phone", NA_IT_TEXTE, 21)}));
  ASSERT_NE(pi, nullptr);
  CStandInContext ctx(16, 1);
  EXPECT_EQ(pi->bHOuvre(&ctx, kReadWrite, nullptr), 0);
  // The data access went, and its context with it: the failure is the
  // table's to tell.
  const std::string strDump = ErrorOf(pi, &ctx);
  EXPECT_NE(strDump.find("phone"), std::string::npos) << strDump;
  EXPECT_EQ(pi->bIsOpened(&ctx), 0);
  EXPECT_EQ(Read(pi, &ctx), 0);
  ExpectNotOpened(pi, &ctx, m_strCustomers);
}

TEST_F(TableThroughTheHost, AFailedOpeningOfAnExistingDataAccessKeepsIt) {
  INATable* pi = Table(Source(m_strCustomers, {Decl(L"id", NA_IT_I4, 4, kPrimary, false),
                                               Decl(L"phone", NA_IT_TEXTE, 21)}));
  ASSERT_NE(pi, nullptr);
  CStandInContext ctx(17, 1);
  CStandInGauge clGauge;
  // Reindexing makes the data access (and fails: it is not offered).
  EXPECT_EQ(pi->bHReindexe(&ctx, 0, &clGauge), 0);
  EXPECT_EQ(pi->piGetLastError(&ctx)->dwGetErrorId(), kNotOffered);
  EXPECT_TRUE(clGauge.Steps().empty()) << "nothing was reindexed";
  EXPECT_EQ(pi->bHOuvre(&ctx, kReadWrite, nullptr), 0);
  // Still there: a command that needs no open table meets it.
  int bNeed = -1;
  EXPECT_EQ(pi->bNbEnrNeedParse(&ctx, &bNeed, L"id"), 1) << ErrorOf(pi, &ctx);
  EXPECT_EQ(pi->bHFerme(&ctx), 1);
  EXPECT_EQ(Read(pi, &ctx), 0);
  ExpectNotOpened(pi, &ctx, m_strCustomers);
}

TEST_F(TableThroughTheHost, TwoTablesUsedInTurnFromOneContextEachFindTheirOwnDataAccess) {
  INATable* piCustomers = Table(Customers());
  INATable* piOrders = Table(Orders());
  ASSERT_NE(piCustomers, nullptr);
  ASSERT_NE(piOrders, nullptr);
  // One server context, one file object per table.
  CStandInContext ctxCustomers(18, 1);
  CStandInContext ctxOrders(18, 2);
  ASSERT_EQ(piCustomers->bHOuvre(&ctxCustomers, kReadWrite, nullptr), 1)
      << ErrorOf(piCustomers, &ctxCustomers);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(piCustomers->bIsOpened(&ctxCustomers), 1);
    EXPECT_EQ(piOrders->bIsOpened(&ctxOrders), i == 0 ? 0 : 1);
    if (i == 0) {
      ASSERT_EQ(piOrders->bHOuvre(&ctxOrders, kReadWrite, nullptr), 1)
          << ErrorOf(piOrders, &ctxOrders);
    }
  }
  EXPECT_EQ(piCustomers->bHFerme(&ctxCustomers), 1);
  EXPECT_EQ(piOrders->bIsOpened(&ctxOrders), 1) << "the other table stays open";
  EXPECT_EQ(piCustomers->bIsOpened(&ctxCustomers), 0);
  EXPECT_EQ(Read(piCustomers, &ctxCustomers), 0);
  ExpectNotOpened(piCustomers, &ctxCustomers, m_strCustomers);
  EXPECT_EQ(piOrders->bHFerme(&ctxOrders), 1);
  EXPECT_EQ(piOrders->bIsOpened(&ctxOrders), 0);
}

TEST_F(TableThroughTheHost, SeveralFileObjectsOfOneContextOpenAndCloseOneTableApart) {
  INATable* pi = Table(Customers());
  ASSERT_NE(pi, nullptr);
  CStandInContext ctxFirst(19, 1);
  CStandInContext ctxSecond(19, 2);
  ASSERT_EQ(pi->bHOuvre(&ctxFirst, kReadWrite, nullptr), 1) << ErrorOf(pi, &ctxFirst);
  EXPECT_EQ(pi->bIsOpened(&ctxSecond), 0);
  ASSERT_EQ(pi->bHOuvre(&ctxSecond, kReadWrite, nullptr), 1) << ErrorOf(pi, &ctxSecond);
  EXPECT_EQ(pi->bHFerme(&ctxFirst), 1);
  EXPECT_EQ(pi->bIsOpened(&ctxFirst), 0);
  EXPECT_EQ(pi->bIsOpened(&ctxSecond), 1);
  EXPECT_EQ(pi->bHFerme(&ctxSecond), 1);
  EXPECT_EQ(pi->bIsOpened(&ctxSecond), 0);
}

TEST_F(TableThroughTheHost, AClosedContextsIdentifierCanBeReusedAndFindsOnlyItsNewDataAccess) {
  INATable* pi = Table(Customers());
  ASSERT_NE(pi, nullptr);
  {
    CStandInContext ctx(20, 1);
    ASSERT_EQ(pi->bHOuvre(&ctx, kReadWrite, nullptr), 1) << ErrorOf(pi, &ctx);
    EXPECT_EQ(pi->bIsOpened(&ctx), 1);
    EXPECT_EQ(m_piDriver->bCloseContext(&ctx), 1);
    // Closed with the context: never answered again.
    EXPECT_EQ(pi->bIsOpened(&ctx), 0);
    EXPECT_EQ(Read(pi, &ctx), 0);
    ExpectNotOpened(pi, &ctx, m_strCustomers);
  }
  // The server reuses the identifiers for a new context.
  CStandInContext ctxNew(20, 1);
  EXPECT_EQ(pi->bIsOpened(&ctxNew), 0);
  ASSERT_EQ(pi->bHOuvre(&ctxNew, kReadWrite, nullptr), 1) << ErrorOf(pi, &ctxNew);
  EXPECT_EQ(pi->bIsOpened(&ctxNew), 1) << "its own data access, not the closed one";
  EXPECT_EQ(m_piDriver->bCloseContext(&ctxNew), 1);
  EXPECT_EQ(pi->bIsOpened(&ctxNew), 0);
  EXPECT_EQ(m_piDriver->bCloseContext(&ctxNew), 0) << "the driver knows the context no more";
}

TEST_F(TableThroughTheHost, ATableGoneAfterItsContextClosedLeavesNothingToAnswer) {
  CStandInDescription* piSource = Customers();
  INATable* pi = Table(piSource);
  ASSERT_NE(pi, nullptr);
  CStandInContext ctx(21, 1);
  ASSERT_EQ(pi->bHOuvre(&ctx, kReadWrite, nullptr), 1) << ErrorOf(pi, &ctx);
  EXPECT_EQ(pi->bIsOpened(&ctx), 1);
  EXPECT_EQ(m_piDriver->bCloseContext(&ctx), 1);
  // The last release: the table and what it held go.
  EXPECT_EQ(Release(pi), 0);
  EXPECT_EQ(piSource->nGetRefCount(), 1) << "the table and its data accesses are gone";
  // A new table object for the same file, the same identifiers.
  INATable* piAgain = Table(piSource);
  ASSERT_NE(piAgain, nullptr);
  EXPECT_EQ(piAgain->bIsOpened(&ctx), 0);
  EXPECT_EQ(Read(piAgain, &ctx), 0);
  ExpectNotOpened(piAgain, &ctx, m_strCustomers);
}

TEST_F(TableThroughTheHost, TheLastReleaseDestroysTheTableAndAnExtraReferenceKeepsIt) {
  CStandInDescription* piSource = Customers();
  INATable* pi = Table(piSource);
  ASSERT_NE(pi, nullptr);
  EXPECT_EQ(piSource->nGetRefCount(), 2) << "the table's reference";
  INATable* piSame = m_piDriver->piGetTable(m_piHost, piSource);
  ASSERT_EQ(piSame, pi) << "one table object per file and connection";
  EXPECT_EQ(piSame->nExternalRelease(), 1);
  EXPECT_EQ(piSource->nGetRefCount(), 2);
  EXPECT_EQ(Release(pi), 0);
  EXPECT_EQ(piSource->nGetRefCount(), 1) << "destroyed";
}

TEST_F(TableThroughTheHost, TheDescriptionIsHandedOutWithAReference) {
  CStandInDescription* piSource = Customers();
  INATable* pi = Table(piSource);
  ASSERT_NE(pi, nullptr);
  const int nBefore = piSource->nGetRefCount();
  INADataSourceDescription* piGot = pi->piGetDataSourceDescription();
  EXPECT_EQ(piGot, static_cast<INADataSourceDescription*>(piSource));
  EXPECT_EQ(piSource->nGetRefCount(), nBefore + 1);
  piGot->nExternalRelease();
}

TEST_F(TableThroughTheHost, TwoThreadsWithTheirOwnContextsOpenAndCloseOneTableInTurn) {
  INATable* pi = Table(Customers());
  ASSERT_NE(pi, nullptr);
  constexpr int kRounds = 8;
  std::atomic<int> nFailures{0};
  auto Run = [&](unsigned int dwContextID) {
    CStandInContext ctx(dwContextID, 1);
    for (int i = 0; i < kRounds; ++i) {
      if (pi->bHOuvre(&ctx, kReadWrite, nullptr) != 1) ++nFailures;
      if (pi->bIsOpened(&ctx) != 1) ++nFailures;
      if (pi->bHFerme(&ctx) != 1) ++nFailures;
      if (pi->bIsOpened(&ctx) != 0) ++nFailures;
      if (Read(pi, &ctx) != 0) ++nFailures;
      // The driver's error is shared: the other thread's next command may
      // have reset it between the read and the look.
      const unsigned int nCode = pi->piGetLastError(&ctx)->dwGetErrorId();
      if (nCode != kNotOpened && nCode != 0) ++nFailures;
    }
    if (m_piDriver->bCloseContext(&ctx) != 0) ++nFailures;  // nothing left to close
  };
  std::thread clFirst(Run, 31u);
  std::thread clSecond(Run, 32u);
  clFirst.join();
  clSecond.join();
  EXPECT_EQ(nFailures.load(), 0);
}

// ===========================================================================
// In process: scripted connections and data accesses

int gnLiveConnections = 0;
int gnLiveTables = 0;
int gnLiveAccesses = 0;
bool gbRefuseOpen = false;
bool gbAccessOpenFails = false;
bool gbAccessCloseFails = false;

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
    m_bOpen = 0;
    return 1;
  }
  void _InitZB2NativeType() override {}

 private:
  int m_bOpen = 0;
};

class CCountedTable : public CNATable {
 public:
  CCountedTable(const wchar_t* pszID, INADataSourceDescription* piSource,
                CNAConnectionDescription* pclConnection, CNAError* pclError)
      : CNATable(pszID, piSource, pclConnection, pclError) {
    ++gnLiveTables;
  }

 protected:
  ~CCountedTable() override { --gnLiveTables; }
};

// Opens and closes as scripted, without a server.
class CScriptedAccess : public CNADataAccess {
 public:
  CScriptedAccess(INADataSourceDescription* piSource, CNAConnectionDescription* pclConnection,
                  CNAError* pclError)
      : CNADataAccess(piSource, pclConnection, pclError) {
    ++gnLiveAccesses;
  }
  ~CScriptedAccess() override { --gnLiveAccesses; }
  int bHOuvre(_eNA_ACCESS, const wchar_t*) override {
    if (gbAccessOpenFails)
      return CNAError::g_nRaise(pclGetError(), eNA_ERRORTYPE(0), 9, 98, nullptr, nullptr,
                                nullptr, 8);
    m_bOpen = 1;
    return 1;
  }
  int bIsOpened() override { return m_bOpen; }
  int bHFerme() override {
    m_bOpen = 0;
    if (gbAccessCloseFails)
      return CNAError::g_nRaise(pclGetError(), eNA_ERRORTYPE(0), 9, 97, nullptr, nullptr,
                                nullptr, 8);
    return 1;
  }
  int bNbEnrNeedParse() override { return 1; }

 private:
  int m_bOpen = 0;
};

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
    return new CScriptedAccess(piSource, pclConnection, pclError);
  }
};

struct ReleaseHost {
  void operator()(CStandInConnection* p) const { p->nExternalRelease(); }
  void operator()(CStandInDataSource* p) const { p->nExternalRelease(); }
};

class TableInProcess : public kqtest::BoundFrameworkTest {
 protected:
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    // The library's start makes the driver lock; the threads need it.
    m_bMadeLock = !CNADriverLock::g_bExists();
    ASSERT_EQ(CNADriverLock::g_bCreate(), 1);
    gbRefuseOpen = gbAccessOpenFails = gbAccessCloseFails = false;
    m_nLiveSources = CStandInDataSource::g_nLive;
    m_pclDriver = new CTestDriver();
    m_pclDriver->ExternalAddRef();
    m_pclDriver->bInitDriver();
    CStandInConnection::_stValues st;
    st.strUser = L"kq";
    st.strPassword = L"Secret1";
    st.strDataSource = L"127.0.0.1";
    st.strProvider = L"MariaDB";
    st.strConnectionName = L"CNX";
    m_host.reset(CStandInConnection::pclNew(st));
    m_customers.reset(CStandInDataSource::pclNew(L"CUSTOMER"));
    m_orders.reset(CStandInDataSource::pclNew(L"ORDERS"));
  }
  void TearDown() override {
    for (INATable* pi : m_tables) pi->nExternalRelease();
    m_tables.clear();
    if (m_pclDriver != nullptr) {
      EXPECT_EQ(m_pclDriver->nExternalRelease(), 0);
    }
    EXPECT_FALSE(CNATable::g_bMemoHolds()) << "the memo outlived its tables";
    m_customers.reset();
    m_orders.reset();
    m_host.reset();
    EXPECT_EQ(gnLiveConnections, 0);
    EXPECT_EQ(gnLiveTables, 0);
    EXPECT_EQ(gnLiveAccesses, 0);
    EXPECT_EQ(CStandInDataSource::g_nLive, m_nLiveSources);
    if (m_bMadeLock) CNADriverLock::g_Destroy();
    BoundFrameworkTest::TearDown();
  }

  CNATable* Table(CStandInDataSource* piSource) {
    INATable* pi = m_pclDriver->piGetTable(m_host.get(), piSource);
    EXPECT_NE(pi, nullptr);
    if (pi == nullptr) return nullptr;
    m_tables.push_back(pi);
    return static_cast<CNATable*>(static_cast<CNATableBase*>(pi));
  }
  void Forget(CNATable* pcl) {
    for (auto it = m_tables.begin(); it != m_tables.end(); ++it) {
      if (*it == static_cast<INATable*>(pcl)) {
        m_tables.erase(it);
        return;
      }
    }
  }
  int Read(CNATable* pcl, INAContext* piContext) {
    eNA_LOCKTYPE eGot = NA_LOCK_DEFAULT;
    return pcl->bHLitxxx(piContext, L"id", NA_PARSE_FIRST, 0, NA_LOCK_NONE, &eGot, 0);
  }
  unsigned int LastCode(CNATable* pcl, INAContext* piContext) {
    return pcl->piGetLastError(piContext)->dwGetErrorId();
  }

  CTestDriver* m_pclDriver = nullptr;
  std::unique_ptr<CStandInConnection, ReleaseHost> m_host;
  std::unique_ptr<CStandInDataSource, ReleaseHost> m_customers;
  std::unique_ptr<CStandInDataSource, ReleaseHost> m_orders;
  std::vector<INATable*> m_tables;
  int m_nLiveSources = 0;
  bool m_bMadeLock = false;
};

TEST_F(TableInProcess, ACloseThatFailsStillRemovesTheDataAccess) {
  CNATable* pcl = Table(m_customers.get());
  ASSERT_NE(pcl, nullptr);
  CStandInContext ctx(1, 1);
  ASSERT_EQ(pcl->bHOuvre(&ctx, kReadWrite, nullptr), 1);
  EXPECT_EQ(pcl->dwGetDataAccessCount(), 1u);
  EXPECT_EQ(pcl->bIsOpened(&ctx), 1);
  gbAccessCloseFails = true;
  EXPECT_EQ(pcl->bHFerme(&ctx), 0);
  EXPECT_EQ(LastCode(pcl, &ctx), kNotOffered) << "the close's failure reaches the table's error";
  EXPECT_EQ(pcl->dwGetDataAccessCount(), 0u);
  EXPECT_EQ(gnLiveAccesses, 0);
  EXPECT_FALSE(CNATable::g_bMemoHolds());
  EXPECT_EQ(m_pclDriver->nGetContextCount(), 0u);
  EXPECT_EQ(Read(pcl, &ctx), 0);
  EXPECT_EQ(LastCode(pcl, &ctx), kNotOpened);
}

TEST_F(TableInProcess, AFailedOpeningRemovesOnlyADataAccessItMade) {
  CNATable* pcl = Table(m_customers.get());
  ASSERT_NE(pcl, nullptr);
  CStandInContext ctx(1, 1);
  gbAccessOpenFails = true;
  EXPECT_EQ(pcl->bHOuvre(&ctx, kReadWrite, nullptr), 0);
  EXPECT_EQ(LastCode(pcl, &ctx), kNotOffered) << "the data access's failure, on the table";
  EXPECT_EQ(pcl->dwGetDataAccessCount(), 0u);
  EXPECT_EQ(gnLiveAccesses, 0);
  EXPECT_EQ(m_pclDriver->nGetContextCount(), 0u);

  // Made by another command first (reindexing, not offered), it stays.
  EXPECT_EQ(pcl->bHReindexe(&ctx, 0, nullptr), 0);
  EXPECT_EQ(gnLiveAccesses, 1);
  EXPECT_EQ(pcl->bHOuvre(&ctx, kReadWrite, nullptr), 0);
  EXPECT_EQ(pcl->dwGetDataAccessCount(), 1u);
  EXPECT_EQ(gnLiveAccesses, 1);
  EXPECT_EQ(m_pclDriver->nGetContextCount(), 1u);
  EXPECT_EQ(pcl->bHFerme(&ctx), 1);
  EXPECT_EQ(gnLiveAccesses, 0);
  EXPECT_EQ(m_pclDriver->nGetContextCount(), 0u);
}

TEST_F(TableInProcess, ARefusedConnectionMakesNoDataAccess) {
  CNATable* pcl = Table(m_customers.get());
  ASSERT_NE(pcl, nullptr);
  CStandInContext ctx(1, 1);
  gbRefuseOpen = true;
  for (int bCreate = 0; bCreate < 2; ++bCreate) {
    SCOPED_TRACE(bCreate ? "bHCreation" : "bHOuvre");
    EXPECT_EQ(bCreate ? pcl->bHCreation(&ctx, nullptr) : pcl->bHOuvre(&ctx, kReadWrite, nullptr),
              0);
    EXPECT_EQ(LastCode(pcl, &ctx), kNotOffered) << "the connection's error";
    EXPECT_EQ(gnLiveAccesses, 0);
    EXPECT_EQ(m_pclDriver->nGetContextCount(), 0u);
  }
}

TEST_F(TableInProcess, TheMemoNeverAnswersADataAccessOfAClosedOrReusedContext) {
  CNATable* pcl = Table(m_customers.get());
  ASSERT_NE(pcl, nullptr);
  CStandInContext ctx(1, 1);
  ASSERT_EQ(pcl->bHOuvre(&ctx, kReadWrite, nullptr), 1);
  EXPECT_EQ(pcl->bIsOpened(&ctx), 1);
  EXPECT_TRUE(CNATable::g_bMemoHolds());
  EXPECT_EQ(m_pclDriver->bCloseContext(&ctx), 1);
  EXPECT_EQ(pcl->bIsOpened(&ctx), 0);
  EXPECT_FALSE(CNATable::g_bMemoHolds()) << "a closed context's data access is forgotten";
  // Reused identifiers: a new data access, and the closed one is let go.
  ASSERT_EQ(pcl->bHOuvre(&ctx, kReadWrite, nullptr), 1);
  EXPECT_EQ(pcl->bIsOpened(&ctx), 1);
  EXPECT_EQ(pcl->dwGetDataAccessCount(), 1u) << "the closed context's data access left the table";
  EXPECT_EQ(gnLiveAccesses, 1);
  EXPECT_EQ(pcl->bHFerme(&ctx), 1);
  EXPECT_EQ(gnLiveAccesses, 0);
  EXPECT_EQ(m_pclDriver->nGetContextCount(), 0u);
}

TEST_F(TableInProcess, TheMemoLetsGoOfADataAccessWhenItsTableDies) {
  CNATable* pcl = Table(m_customers.get());
  ASSERT_NE(pcl, nullptr);
  CStandInContext ctx(1, 1);
  ASSERT_EQ(pcl->bHOuvre(&ctx, kReadWrite, nullptr), 1);
  EXPECT_EQ(pcl->bIsOpened(&ctx), 1);
  EXPECT_EQ(m_pclDriver->bCloseContext(&ctx), 1);
  EXPECT_EQ(gnLiveAccesses, 1) << "held by the table (and the memo)";
  Forget(pcl);
  EXPECT_EQ(pcl->nExternalRelease(), 0);
  EXPECT_EQ(gnLiveTables, 0);
  EXPECT_EQ(gnLiveAccesses, 0);
  EXPECT_FALSE(CNATable::g_bMemoHolds());
  CNATable* pclAgain = Table(m_customers.get());
  ASSERT_NE(pclAgain, nullptr);
  EXPECT_EQ(pclAgain->bIsOpened(&ctx), 0);
  EXPECT_EQ(Read(pclAgain, &ctx), 0);
  EXPECT_EQ(LastCode(pclAgain, &ctx), kNotOpened);
}

TEST_F(TableInProcess, TwoTablesInTurnFromOneContextKeepTheirOwnDataAccesses) {
  CNATable* pclCustomers = Table(m_customers.get());
  CNATable* pclOrders = Table(m_orders.get());
  ASSERT_NE(pclCustomers, nullptr);
  ASSERT_NE(pclOrders, nullptr);
  CStandInContext ctxCustomers(1, 1);
  CStandInContext ctxOrders(1, 2);
  ASSERT_EQ(pclCustomers->bHOuvre(&ctxCustomers, kReadWrite, nullptr), 1);
  ASSERT_EQ(pclOrders->bHOuvre(&ctxOrders, kReadWrite, nullptr), 1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(pclCustomers->bIsOpened(&ctxCustomers), 1);
    EXPECT_EQ(pclOrders->bIsOpened(&ctxOrders), 1);
  }
  EXPECT_EQ(pclCustomers->bHFerme(&ctxCustomers), 1);
  EXPECT_EQ(pclCustomers->dwGetDataAccessCount(), 0u);
  EXPECT_EQ(pclOrders->dwGetDataAccessCount(), 1u);
  EXPECT_EQ(pclOrders->bIsOpened(&ctxOrders), 1);
  EXPECT_EQ(Read(pclCustomers, &ctxCustomers), 0);
  EXPECT_EQ(LastCode(pclCustomers, &ctxCustomers), kNotOpened);
  EXPECT_EQ(pclOrders->bHFerme(&ctxOrders), 1);
  EXPECT_EQ(gnLiveAccesses, 0);
  EXPECT_EQ(m_pclDriver->nGetContextCount(), 0u);
}

TEST_F(TableInProcess, TheServersLastReleaseWithOtherHoldersLeavesTheTableAlive) {
  CNATable* pcl = Table(m_customers.get());
  ASSERT_NE(pcl, nullptr);
  Forget(pcl);
  pcl->AddRef();  // a running operation of the driver
  EXPECT_EQ(pcl->nExternalRelease(), 0);
  EXPECT_EQ(gnLiveTables, 1);
  EXPECT_EQ(pcl->nExternalRelease(), 0) << "once too often: ignored";
  EXPECT_EQ(pcl->nGetExternalCount(), 0);
  EXPECT_EQ(pcl->nGetInternalCount(), 2);
  EXPECT_EQ(pcl->nRelease(), 1);  // the registration's is left
  EXPECT_EQ(gnLiveTables, 1);
}

TEST_F(TableInProcess, TheServersLastReleaseDestroysATableOnlyTheDriverHolds) {
  CNATable* pcl = Table(m_customers.get());
  ASSERT_NE(pcl, nullptr);
  Forget(pcl);
  EXPECT_EQ(pcl->nGetInternalCount(), 1);
  EXPECT_EQ(pcl->nExternalRelease(), 0);
  EXPECT_EQ(gnLiveTables, 0);
  EXPECT_EQ(m_pclDriver->nGetTableCount(), 0u);
}

TEST_F(TableInProcess, AQueryTableHasNoDescriptionToHandOut) {
  auto* pcl = new CCountedTable(L"CTX=1;Table=q;x", nullptr, nullptr, nullptr);
  pcl->ExternalAddRef();
  EXPECT_EQ(pcl->piGetDataSourceDescription(), nullptr);
  EXPECT_EQ(pcl->nExternalRelease(), 0);
  EXPECT_EQ(gnLiveTables, 0);
}

TEST_F(TableInProcess, TheTransactionsEndReachesEveryDataAccessOfTheTable) {
  CNATable* pcl = Table(m_customers.get());
  ASSERT_NE(pcl, nullptr);
  CStandInContext ctxA(1, 1), ctxB(2, 1);
  ASSERT_EQ(pcl->bHOuvre(&ctxA, kReadWrite, nullptr), 1);
  ASSERT_EQ(pcl->bHOuvre(&ctxB, kReadWrite, nullptr), 1);
  pcl->SetTransactionTermined();
  pcl->CancelRecordLock(m_host.get(), nullptr);
  EXPECT_EQ(pcl->nGetTransactionTerminatedCount(), 1);
  EXPECT_EQ(pcl->nGetCancelRecordLockCount(), 1);
  EXPECT_EQ(pcl->dwGetDataAccessCount(), 2u);
  EXPECT_EQ(pcl->bHFerme(&ctxA), 1);
  EXPECT_EQ(pcl->bHFerme(&ctxB), 1);
}

TEST_F(TableInProcess, TwoThreadsOpeningAndClosingLeaveEveryCountAtZero) {
  CNATable* pcl = Table(m_customers.get());
  ASSERT_NE(pcl, nullptr);
  std::atomic<int> nFailures{0};
  auto Run = [&](unsigned int dwContextID) {
    for (int i = 0; i < 40; ++i) {
      CStandInContext ctx(dwContextID, 1 + i % 3);
      if (pcl->bHOuvre(&ctx, kReadWrite, nullptr) != 1) ++nFailures;
      if (pcl->bIsOpened(&ctx) != 1) ++nFailures;
      int bNeed = 0;
      if (pcl->bNbEnrNeedParse(&ctx, &bNeed, nullptr) != 1 || bNeed != 1) ++nFailures;
      if (i % 4 == 3) {
        if (m_pclDriver->bCloseContext(&ctx) != 1) ++nFailures;
      } else if (pcl->bHFerme(&ctx) != 1) {
        ++nFailures;
      }
      if (pcl->bIsOpened(&ctx) != 0) ++nFailures;
    }
  };
  std::thread clFirst(Run, 7u);
  std::thread clSecond(Run, 8u);
  clFirst.join();
  clSecond.join();
  EXPECT_EQ(nFailures.load(), 0);
  EXPECT_EQ(m_pclDriver->nGetContextCount(), 0u);
  // Data accesses of closed contexts may wait in the table until the next
  // one is made or the table dies; none is open, none is reachable.
  EXPECT_LE(pcl->dwGetDataAccessCount(), 2u);
}

}  // namespace
