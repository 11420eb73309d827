// A browse through the table object whose server is killed mid-browse and
// restarted, as the server would live it: kq230maria.so loaded by the
// stand-in host, a server of this program's own (its data kept by the kill).
// The rows the browse holds read backwards while the server is down; a read
// past them fails with the native code of the lost link or of the
// connection that cannot be made; after the restart the browse goes on from
// its row as read, without a row skipped or repeated.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "host/harness/standin_connection.h"
#include "host/harness/standin_descriptions.h"
#include "host/harness/standin_objects.h"
#include "kq230/item_description_interface.h"
#include "kq230/item_type.h"
#include "kq230/na_error_interface.h"
#include "kq230/na_table_interface.h"
#include "kq230/zb_record.h"
#include "tests/host/native_access_fixture.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/second_session.h"
#include "tests/support/standin_items.h"
#include "tests/tables/private_server_dir.h"

namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

using kq230::test_support::MariadbServer;
using kq230::test_support::SecondSession;
using kqtest::Decl;

constexpr unsigned short kPrimary = 0x8000;
constexpr unsigned short kDuplicates = 0x2000;

class TableLostLinkTest : public kqtest::NativeAccessTest {
 protected:
  static void SetUpTestSuite() {
    s_bStarted = false;
    for (int i = 0; i < 3 && !s_bStarted; ++i) s_bStarted = kqtest::bPrivateServer("start");
    if (s_bStarted) {
      const std::string env = kqtest::PrivateServerDir() + "/server.env";
      setenv("KQ_MARIADB_ENV", env.c_str(), 1);
    }
  }
  static void TearDownTestSuite() {
    unsetenv("KQ_MARIADB_ENV");
    kqtest::bPrivateServer("stop");
  }

  void SetUp() override {
    ASSERT_TRUE(s_bStarted) << "the program's own server did not start";
    kqtest::NativeAccessTest::SetUp();
    if (HasFatalFailure()) return;
    std::string strError;
    ASSERT_TRUE(kq230::test_support::ReadMariadbServer(std::getenv("KQ_MARIADB_ENV"), &m_server,
                                                       &strError))
        << strError;
    SecondSession other;
    ASSERT_TRUE(other.Open(m_server, &strError)) << strError;
    std::string sql = "CREATE OR REPLACE TABLE kqlost (id INT NOT NULL PRIMARY KEY, "
                      "name VARCHAR(20) CHARACTER SET utf8mb4 NULL, KEY(name))";
    ASSERT_EQ(other.Run(sql), 0u) << other.Error();
    sql = "INSERT INTO kqlost VALUES ";
    for (int i = 1; i <= 60; ++i) {
      if (i > 1) sql += ",";
      sql += "(" + std::to_string(i) + "," +
             (i % 9 == 0 ? std::string("NULL") : "'n" + std::to_string(i % 13) + "'") + ")";
    }
    ASSERT_EQ(other.Run(sql), 0u) << other.Error();
    // The rows in the browse's order, as the server gives them.
    for (int i = 0;; ++i) {
      long long id = 0;
      if (!other.Number("SELECT id FROM kqlost ORDER BY name, id LIMIT 1 OFFSET " +
                            std::to_string(i),
                        &id))
        break;
      m_expected.push_back(id);
    }
    ASSERT_EQ(m_expected.size(), 60u);
    // Windows of 5 rows.
    CStandInConnection::_stValues stValues =
        CStandInConnection::stFromFacts(m_stFacts, CStandInConnection::ROUTE_SOCKET);
    stValues.strExtendedInfo = stValues.strExtendedInfo.value_or(L"") + L";KQ Cache Size=5";
    m_piHost = CStandInConnection::pclNew(stValues);
    m_piSource = CStandInDescription::pclNew(
        L"kqlost", {Decl(L"id", NA_IT_I4, 4, kPrimary, false), Decl(L"name", NA_IT_UNICODE, 42, kDuplicates)},
        12);
    m_piTable = m_piDriver->piGetTable(m_piHost, m_piSource);
    ASSERT_NE(m_piTable, nullptr) << LastError();
    ASSERT_EQ(m_piTable->bHOuvre(&m_context, static_cast<_eNA_ACCESS>(0), L""), 1) << Error();
  }

  void TearDown() override {
    if (m_piTable != nullptr) {
      m_piTable->bHFerme(&m_context);
      EXPECT_EQ(m_piTable->nExternalRelease(), 0);
    }
    if (m_piSource != nullptr) m_piSource->nExternalRelease();
    if (m_piHost != nullptr) m_piHost->nExternalRelease();
    kqtest::NativeAccessTest::TearDown();
  }

  std::string Error() { return Narrow(m_piTable->piGetLastError(&m_context)->pszGetError()); }
  // The server's code of the last failure, as the error's dump gives it.
  unsigned int Native() {
    const std::string strDump = Error();
    std::smatch m;
    if (std::regex_search(strDump, m, std::regex("EIT_BASECODE : <([0-9]+)>")))
      return static_cast<unsigned int>(std::stoul(m[1].str()));
    return 0;
  }

  // One read on the name: the id read, -1 out of range, -2 failed.
  long long Read(eNA_PARSEDIRECTION eDirection) {
    eNA_LOCKTYPE eGot = NA_LOCK_DEFAULT;
    if (!m_piTable->bHLitxxx(&m_context, L"name", eDirection, 1, NA_LOCK_NONE, &eGot, 0))
      return -2;
    int bOut = 1;
    m_piTable->bHEnDehors(&m_context, L"name", &bOut);
    if (bOut) return -1;
    CNAZBRecordBase* pRecord = nullptr;
    if (!m_piTable->bGetRecord(&m_context, &pRecord) || pRecord == nullptr) return -2;
    // The item comes with a reference of its own.
    INAItemDescription* piId = m_piSource->piNAGetItem(0u);
    const unsigned char* p = pRecord->vpbyGetItemValue(piId, -1);
    int id = 0;
    if (p != nullptr) std::memcpy(&id, p, sizeof id);
    piId->nExternalRelease();
    return p != nullptr ? id : -2;
  }

  static inline bool s_bStarted = false;
  MariadbServer m_server;
  std::vector<long long> m_expected;
  CStandInContext m_context{41, 1};
  CStandInConnection* m_piHost = nullptr;
  CStandInDescription* m_piSource = nullptr;
  INATable* m_piTable = nullptr;
};

TEST_F(TableLostLinkTest, TheBrowseReadsItsRowsWhileTheServerIsDownAndGoesOnAfterTheRestart) {
  ASSERT_EQ(Read(NA_PARSE_FIRST), m_expected[0]) << Error();
  for (int i = 1; i <= 20; ++i) ASSERT_EQ(Read(NA_PARSE_NEXT), m_expected[i]) << Error();

  ASSERT_TRUE(kqtest::bPrivateServer("kill"));
  for (int i = 19; i >= 0; --i)
    ASSERT_EQ(Read(NA_PARSE_PREVIOUS), m_expected[i]) << "held rows, server down";
  for (int i = 1; i <= 24; ++i)
    ASSERT_EQ(Read(NA_PARSE_NEXT), m_expected[i]) << "held rows, server down";
  EXPECT_EQ(Read(NA_PARSE_NEXT), -2);
  const unsigned int nFirst = Native();
  EXPECT_TRUE(nFirst == 2006 || nFirst == 2013 || nFirst == 2002) << Error();
  EXPECT_EQ(Read(NA_PARSE_NEXT), -2);
  const unsigned int nSecond = Native();
  EXPECT_TRUE(nSecond == 2006 || nSecond == 2013 || nSecond == 2002) << Error();

  ASSERT_TRUE(kqtest::bPrivateServer("restart"));
  for (size_t i = 25; i < m_expected.size(); ++i)
    ASSERT_EQ(Read(NA_PARSE_NEXT), m_expected[i]) << Error();
  EXPECT_EQ(Read(NA_PARSE_NEXT), -1);
  EXPECT_EQ(Read(NA_PARSE_PREVIOUS), m_expected.back());
}

}  // namespace
