// The driver's operations through the stand-in host against the throwaway
// MariaDB server: the slots answered outright, the errors of unregistered
// connections, table objects and queries as the server gets them, the
// interfaces that the driver only keeps, and a teardown with connections,
// table objects and contexts still registered that leaves the host's
// counters at 0.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/harness/host_harness.h"
#include "host/harness/standin_connection.h"
#include "host/harness/standin_objects.h"
#include "kq230/na_driver_sql_interface.h"
#include "kq230/na_table_interface.h"
#include "tests/host/native_access_fixture.h"
#include "tests/mariadb/client_library.h"

namespace {

// Before main: see KeepClientLibraryForTheProgram.
[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

class NativeAccessDriver : public kqtest::NativeAccessTest {
 protected:
  CStandInConnection* NewHost() { return NewConnection(CStandInConnection::ROUTE_TCP); }
  unsigned int LastCode() { return m_piDriver->piGetLastError()->dwGetErrorId(); }
  int LastType() { return m_piDriver->piGetLastError()->eGetErrorType(); }
};

TEST_F(NativeAccessDriver, UnregisteredConnectionsRaiseUserErrorFourteenAtSitesOneToFive) {
  CStandInConnection* piHost = NewHost();
  struct Case {
    const char* site;
    int (*call)(INADriver*, INAConnectionDescription*);
  } const cases[] = {
      {"5.1", [](INADriver* pi, INAConnectionDescription* pc) { return pi->bSQLBloqueTable(pc, L"T"); }},
      {"5.2", [](INADriver* pi, INAConnectionDescription* pc) { return pi->bSQLBloqueRequete(pc, nullptr); }},
      {"5.3", [](INADriver* pi, INAConnectionDescription* pc) { return pi->bHConnexionDiagnose(nullptr, pc, L"x", 0); }},
      {"5.4", [](INADriver* pi, INAConnectionDescription* pc) { return pi->bTransactionCommit(pc, nullptr); }},
      {"5.5", [](INADriver* pi, INAConnectionDescription* pc) { return pi->bTransactionRollBack(pc, L"t"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.site);
    EXPECT_EQ(c.call(m_piDriver, piHost), 0);
    EXPECT_EQ(LastCode(), 14u);
    EXPECT_EQ(LastType(), 0);
    EXPECT_NE(LastError().find(std::string("IEKQMARIA=") + c.site), std::string::npos);
    EXPECT_EQ(LastError().find(m_stFacts.strPassword), std::string::npos);
  }
  EXPECT_EQ(piHost->nAddRefCalls(), piHost->nReleaseCalls());
  piHost->nExternalRelease();
}

TEST_F(NativeAccessDriver, SlotsThatAnswerOutrightAnswerAsTheServerExpects) {
  EXPECT_EQ(m_piDriver->nGetVersion(), 18);
  EXPECT_EQ(m_piDriver->nGetCompatSince(), 17);
  EXPECT_EQ(m_piDriver->bGetProviderList(nullptr), 0);
  EXPECT_EQ(LastCode(), 8u);
  EXPECT_EQ(LastType(), 7);
  EXPECT_NE(LastError().find("IEKQMARIA=5.6"), std::string::npos);
  CStandInConnection* piHost = NewHost();
  EXPECT_EQ(m_piDriver->bFiltreAuto(nullptr, piHost, 0, L"CUSTOMER", nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(LastCode(), 8u);
  EXPECT_EQ(LastType(), 7);
  EXPECT_NE(LastError().find("CUSTOMER"), std::string::npos);
  EXPECT_NE(LastError().find("IEKQMARIA=5.7"), std::string::npos);
  EXPECT_EQ(m_piDriver->piGetInterface(2), nullptr);
  EXPECT_EQ(LastType(), -1);  // reset
  // Kept interfaces are only kept: each of these aborts on any call.
  CStandInAborting clShop("ILibShop"), clVM("IVMData"), clZB("IZBForNA"), clCopy("INACopyCtx");
  EXPECT_EQ(m_piDriver->bSetVMAndLibShop(clShop.piAs<ILibShop>(), clVM.piAs<IVMData>()), 1);
  EXPECT_EQ(m_piDriver->bSetZB(clZB.piAs<IZBForNA>()), 1);
  CStandInContext clFrom(1, 1), clTo(2, 1);
  EXPECT_EQ(m_piDriver->bCopyContext(clCopy.piAs<INACopyCtx>(), &clFrom, &clTo, 0), 0);
  EXPECT_EQ(m_piDriver->bValidConnection(piHost), 1);
  EXPECT_EQ(m_piDriver->bSetQueryParameters(&clFrom, piHost, nullptr), 1);
  // Identifier 1: the handle-level SQL interface (its lists and links have
  // tests of their own), with a reference for the server.
  auto* piSQL = static_cast<INADriverSQL*>(m_piDriver->piGetInterface(1));
  EXPECT_NE(piSQL, nullptr);
  EXPECT_EQ(LastType(), -1);
  if (piSQL != nullptr) {
    EXPECT_EQ(piSQL->nExternalRelease(), 0);
  }
  // A table the server does not have: the server's own error.
  EXPECT_EQ(m_piDriver->piGetTableDesc(L"kq_no_such_table", piHost), nullptr);
  EXPECT_NE(LastError().find("1146"), std::string::npos) << LastError();
  // Its absence is an answer of the existence test.
  int bExists = -1;
  EXPECT_EQ(m_piDriver->bTableExists(&bExists, L"kq_no_such_table", piHost), 1) << LastError();
  EXPECT_EQ(bExists, 0);
  EXPECT_EQ(piHost->nAddRefCalls(), piHost->nReleaseCalls());
  // The stand-in's own interfaces back before the stop.
  m_piDriver->bSetVMAndLibShop(m_harness.Control().piGetLibShop(0), nullptr);
  m_piDriver->bSetZB(m_harness.Control().piGetZBForNA());
  piHost->nExternalRelease();
}

TEST_F(NativeAccessDriver, TablesAndQueriesReachTheServerAsTableObjects) {
  CStandInConnection* piHost = NewHost();
  CStandInDataSource* piSource = CStandInDataSource::pclNew(L"CUSTOMER");
  CStandInDataSource* piSame = CStandInDataSource::pclNew(L"CUSTOMER");
  ASSERT_EQ(m_piDriver->bOpenConnection(piHost), 1) << LastError();
  INATable* piTable = m_piDriver->piGetTable(piHost, piSource);
  ASSERT_NE(piTable, nullptr) << LastError();
  EXPECT_EQ(m_piDriver->piGetTable(piHost, piSame), piTable);
  EXPECT_EQ(piTable->nGetVersion(), 11);
  EXPECT_EQ(piTable->nGetCompatSince(), 8);
  EXPECT_GE(piSource->nGetRefCount(), 2);  // the table object keeps its description
  // Lock modes reach the table objects, which set them in the context.
  CStandInContext clContext(9, 1);
  EXPECT_EQ(m_piDriver->bHMode(&clContext, _eNA_HMODE(1)), 1);
  // A query: the minimal table object does not run queries yet; nothing is
  // kept and the server gets null.
  CStandInParsedQuery clParsed;
  INATable* piQuery = reinterpret_cast<INATable*>(1);
  EXPECT_EQ(m_piDriver->bHExecuteRequeteSQL(&piQuery, &clContext, L"Q", piHost, clParsed.piAs<ISQLParserInformation>(), 0), 0);
  EXPECT_EQ(piQuery, nullptr);
  EXPECT_EQ(LastCode(), 8u);
  EXPECT_EQ(clParsed.nGetRefCount(), 0);
  EXPECT_EQ(m_piDriver->bFreeDataSource(&clContext, L"Q", piHost), 1);
  // Deleting a file without its description deletes nothing.
  EXPECT_EQ(m_piDriver->bSupprimeFichier(&clContext, piHost, L"CUSTOMER", nullptr), 0);
  EXPECT_EQ(LastCode(), 8u);
  EXPECT_EQ(m_piDriver->bSupprimeFichier(&clContext, piHost, L"CUSTOMER", piSource), 0);
  // Contexts: a name set for the next file stays until the context closes.
  m_piDriver->SetNextLogicalName(&clContext, L"C1");
  EXPECT_EQ(m_piDriver->bCloseContext(&clContext), 1);
  EXPECT_EQ(m_piDriver->bCloseContext(&clContext), 0);
  m_piDriver->SetNextLogicalName(nullptr, L"C1");
  EXPECT_EQ(LastCode(), 8u);
  EXPECT_EQ(piTable->nExternalRelease(), 1);
  EXPECT_EQ(piTable->nExternalRelease(), 0);
  EXPECT_EQ(m_piDriver->bCloseConnection(piHost), 1);
  EXPECT_EQ(piHost->nAddRefCalls(), piHost->nReleaseCalls());
  for (auto* pi : {piSource, piSame}) pi->nExternalRelease();
  piHost->nExternalRelease();
}

TEST(StandInParsedQuery, ItsReferenceWordFollowsItsTableOfOperations) {
  CStandInParsedQuery clParsed;
  int32_t nWord;
  std::memcpy(&nWord, reinterpret_cast<const unsigned char*>(&clParsed) + sizeof(void*),
              sizeof nWord);
  EXPECT_EQ(nWord, 0);
  // What a locked increment by the driver would do to the word.
  __atomic_add_fetch(reinterpret_cast<int32_t*>(reinterpret_cast<unsigned char*>(&clParsed) +
                                                sizeof(void*)),
                     1, __ATOMIC_SEQ_CST);
  EXPECT_EQ(clParsed.nGetRefCount(), 1);
}

TEST_F(NativeAccessDriver, TheStopWithEverythingRegisteredLeavesTheHostsCountersAtZero) {
  CStandInConnection* piHost = NewHost();
  CStandInDataSource* piSource = CStandInDataSource::pclNew(L"T");
  ASSERT_EQ(m_piDriver->bOpenConnection(piHost), 1) << LastError();
  ASSERT_EQ(m_piDriver->bOpenConnection(piHost), 1);
  INATable* piTable = m_piDriver->piGetTable(piHost, piSource);
  ASSERT_NE(piTable, nullptr);
  CStandInContext clContext(4, 2);
  m_piDriver->SetNextLogicalName(&clContext, L"ALIAS");
  // The server lets the driver go first; its table reference outlives it.
  EXPECT_EQ(m_harness.nStopNativeAccess(m_piDriver), 1);
  m_piDriver = nullptr;
  EXPECT_EQ(piTable->nExternalRelease(), 0);
  EXPECT_EQ(piHost->nGetRefCount(), 1);
  EXPECT_EQ(piHost->nAddRefCalls(), piHost->nReleaseCalls());
  piSource->nExternalRelease();
  piHost->nExternalRelease();
}

}  // namespace
