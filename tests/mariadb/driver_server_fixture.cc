#include "tests/mariadb/driver_server_fixture.h"

#include <gtest/gtest.h>

namespace kqtest {

void DriverServerTest::SetUp() {
  BoundValuesTest::SetUp();
  ASSERT_EQ(ServerSession::SetupError(), "");
  // The driver object is the process's: statements, data accesses and
  // descriptions ask it for their back-end objects.
  m_pclDriver = new CMySQLDriver();
  m_pclDriver->ExternalAddRef();
  m_pclDriver->bInitDriver();
  m_pclError = new CNAError;
  m_pclError->AddRef();
  ASSERT_TRUE(m_session.bOpen(m_pszConnection));
}

void DriverServerTest::TearDown() {
  if (m_session.pclConnection() != nullptr)
    for (const std::string& table : m_tables) m_session.bRun("DROP TABLE IF EXISTS " + table);
  m_tables.clear();
  m_session.Close();
  // A set-up stopped early leaves these unmade.
  if (m_pclError != nullptr) m_pclError->nRelease();
  m_pclError = nullptr;
  if (m_pclDriver != nullptr) {
    EXPECT_EQ(m_pclDriver->nExternalRelease(), 0);
  }
  m_pclDriver = nullptr;
  ServerSession::EndClientLibrary();
  BoundValuesTest::TearDown();
}

void DriverServerTest::CreateTable(const std::string& quoted, const std::string& body) {
  m_tables.push_back(quoted);
  ASSERT_TRUE(m_session.bRun("DROP TABLE IF EXISTS " + quoted));
  ASSERT_TRUE(m_session.bRun("CREATE TABLE " + quoted + " (" + body + ") CHARACTER SET utf8mb4"));
}

}  // namespace kqtest
