// Test support for search conditions, searches and filters: a MariaDB driver
// object (it makes the holders, parameters and commands), a connection that
// quotes names with backquotes and reaches no server, and a record over a
// stand-in description of the items the test declares. Helpers build values
// of the language and write a condition into a new command, answering the
// statement text and the formatted text (every parameter written out).
//
// Ownership: the fixture holds one reference on each object it makes and
// checks at the end that the host's objects, the stand-in descriptions and
// the decimals were all released.
// Threads: one test at a time.
#ifndef KQ230_TESTS_SQLBUILDER_SEARCH_FIXTURE_H_
#define KQ230_TESTS_SQLBUILDER_SEARCH_FIXTURE_H_

#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "items/column.h"
#include "items/convert_variant.h"
#include "items/record.h"
#include "kq230/vm_values.h"
#include "mariadb/mysql_driver.h"
#include "sqlbuilder/command.h"
#include "tests/items/record_test_support.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/values/bound_values.h"
#include "values/any.h"

namespace kqtest {

class SearchFixture : public BoundValuesTest {
 protected:
  void SetUp() override {
    BoundValuesTest::SetUp();
    m_nLiveBefore = StandInDescriptionCounts::g_nLive;
    m_pclDriver = new CMySQLDriver();
    m_pclDriver->ExternalAddRef();
    m_pclError = new CNAError;
    m_pclError->AddRef();
  }
  void TearDown() override {
    DropRecord();
    if (m_pclConnection != nullptr) {
      EXPECT_EQ(m_pclConnection->nRelease(), 0);
    }
    m_pclConnection = nullptr;
    m_pclError->nRelease();
    EXPECT_EQ(m_host.nOutstanding(), 0);
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, m_nLiveBefore) << "stand-in objects left";
    EXPECT_EQ(m_pclDriver->nExternalRelease(), 0);
    BoundValuesTest::TearDown();
  }

  // A record over a new stand-in description CUSTOMER of these items, on a
  // connection of the server kind (MariaDB by default).
  bool Build(const std::vector<StandInItemDecl>& items, int nKind = kServerKindMariaDB) {
    DropRecord();
    if (m_pclConnection != nullptr) m_pclConnection->nRelease();
    m_pclConnection = new ItemsTestConnection(&m_host, nKind);
    m_pclConnection->AddRef();
    m_access = std::make_unique<TestItemsDataAccess>(m_pclConnection, L"CUSTOMER");
    m_piSource = CStandInDescription::pclNew(L"CUSTOMER", items, 12);
    if (m_piSource == nullptr) return false;
    m_pclRecord = new CNARecord(m_pclError, m_access.get());
    m_pclRecord->AddRef();
    return m_pclRecord->bInitRecord(m_piSource, nullptr, m_pclConnection) != 0;
  }
  void DropRecord() {
    if (m_pclRecord != nullptr) {
      EXPECT_EQ(m_pclRecord->nRelease(), 0);
    }
    m_pclRecord = nullptr;
    if (m_piSource != nullptr) m_piSource->nExternalRelease();
    m_piSource = nullptr;
  }

  CNAColumn* Column(const wchar_t* pszName) { return m_pclRecord->pclGetColumnNoRef(pszName); }
  // The item of the record's description by name (no reference added).
  INAItemDescription* Item(const wchar_t* pszName) {
    CNAColumn* pclColumn = Column(pszName);
    return pclColumn != nullptr ? pclColumn->piGetItemNoRef() : nullptr;
  }

  // A new command of the connection, with one reference (the caller
  // releases it).
  CNACommand* NewCommand() {
    auto* p = static_cast<CNACommand*>(m_pclDriver->pclAllocCommand(m_pclError, m_pclConnection));
    p->AddRef();
    return p;
  }
  // A new holder of the value, typed after the value; count 0.
  CNAConvertVariant* NewHolder(const CAny& v) {
    auto* p = static_cast<CNAConvertVariant*>(
        m_pclDriver->pclAllocVariant(m_pclError, m_pclConnection));
    p->InitTypeVariantAny(v.nGetTypeCode(), 0);
    p->bSetValue(&v);
    return p;
  }
  // The command's formatted text, every value class written out.
  static std::wstring Formatted(CNACommand* pclCommand) {
    const wchar_t* psz = pclCommand->pszGetFormatedSQL(CNACommand::NA_PTC_ALL);
    return psz != nullptr ? std::wstring(psz) : std::wstring(L"<refused>");
  }
  static std::wstring Text(CNACommand* pclCommand) {
    const wchar_t* psz = pclCommand->pszGetOriginalSQL();
    return psz != nullptr ? std::wstring(psz) : std::wstring();
  }

  // ---- Values of the language
  static CAny Wide(const std::wstring& text) {
    CAny v;
    v.__SetType(VX_DSTRW, 0);
    v.SetValueByte(text.data(), static_cast<unsigned int>(text.size() * sizeof(wchar_t)));
    return v;
  }
  static CAny Int(int n) {
    CAny v;
    v.SetI4(n);
    return v;
  }
  static CAny Null() {
    CAny v;
    v.SetNull(true);
    return v;
  }

  int m_nLiveBefore = 0;
  HostConnectionFake m_host;
  CMySQLDriver* m_pclDriver = nullptr;
  CNAError* m_pclError = nullptr;
  ItemsTestConnection* m_pclConnection = nullptr;
  std::unique_ptr<TestItemsDataAccess> m_access;
  CStandInDescription* m_piSource = nullptr;
  CNARecord* m_pclRecord = nullptr;
};

}  // namespace kqtest

#endif  // KQ230_TESTS_SQLBUILDER_SEARCH_FIXTURE_H_
