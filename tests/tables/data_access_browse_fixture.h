// Test support for the data access's browse on the fixture's server, in
// process: a people table (id primary key, a nullable utf8mb4 name with
// duplicates, NULLs and 4-byte characters, a number), a data access opened
// on it with the connection's cache size, reads that answer the id of the
// row read, and the client library's order of the same rows.
//
// Ownership: the fixture holds one reference on the data access and one
// external reference on the description, released in the tear-down (or by
// Reopen) before the driver's fixture ends.
// Threads: one test at a time.
#ifndef KQ230_TESTS_TABLES_DATA_ACCESS_BROWSE_FIXTURE_H_
#define KQ230_TESTS_TABLES_DATA_ACCESS_BROWSE_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "items/column.h"
#include "items/record.h"
#include "kq230/item_type.h"
#include "mariadb/mysql_connection.h"
#include "mariadb/mysql_data_access.h"
#include "mariadb/mysql_driver.h"
#include "statements/statement.h"
#include "tests/mariadb/driver_server_fixture.h"
#include "tests/mariadb/server_session.h"
#include "tests/support/standin_items.h"
#include "tests/values/bound_values.h"
#include "values/any.h"

namespace kqtest {

constexpr unsigned short kPrimary = 0x8000;
constexpr unsigned short kDuplicates = 0x2000;
constexpr eNA_LOCKTYPE kNoLock = NA_LOCK_NONE;

// The name of person i as an SQL literal: NULL every 17th, a 4-byte
// character and a digit every 11th, else one of 23 names (duplicates).
inline std::string PeopleName(int i) {
  if (i % 17 == 0) return "NULL";
  if (i % 11 == 0) return "'\xF0\x9F\x98\x80" + std::to_string(i % 7) + "'";
  return "'n" + std::to_string(i % 23) + "'";
}

class DataAccessBrowseTest : public DriverServerTest {
 protected:
  DataAccessBrowseTest() : DriverServerTest(L"Connection=browse") {
    // A table of each test's own: CTest runs the tests of a program side by
    // side, each in a process of its own, on the one server.
    const ::testing::TestInfo* pInfo = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string strName =
        pInfo != nullptr ? std::string(pInfo->test_suite_name()) + "." + pInfo->name() : "";
    char sz[32];
    std::snprintf(sz, sizeof sz, "kqbr_%08zx", std::hash<std::string>{}(strName) & 0xFFFFFFFFu);
    m_table = sz;
    m_wtable.assign(m_table.begin(), m_table.end());
  }
  void TearDown() override {
    Release();
    DriverServerTest::TearDown();
  }

  // The people table (m_table): id (primary), name (nullable utf8mb4 with duplicates,
  // some NULL, some 4-byte characters), n.
  void MakePeople(int nRows) {
    CreateTable(m_table,
                "id INT NOT NULL PRIMARY KEY, name VARCHAR(20) CHARACTER SET utf8mb4 NULL, "
                "n INT, KEY(name)");
    if (nRows <= 0) return;
    std::string sql = "INSERT INTO " + m_table + " VALUES ";
    for (int i = 1; i <= nRows; ++i) {
      if (i > 1) sql += ",";
      sql += "(" + std::to_string(i) + "," + PeopleName(i) + "," + std::to_string(i * 3) + ")";
    }
    ASSERT_TRUE(m_session.bRun(sql));
  }

  // Releases the data access and its description (before another Open).
  void Release() {
    if (m_pclAccess != nullptr) {
      EXPECT_EQ(m_pclAccess->nRelease(), 0);
    }
    m_pclAccess = nullptr;
    if (m_piSource != nullptr) m_piSource->nExternalRelease();
    m_piSource = nullptr;
  }

  void Open(long long llCacheSize) {
    m_session.pclConnection()->SetCacheSize(llCacheSize);
    m_piSource = CStandInDescription::pclNew(
        m_wtable.c_str(),
        {Decl(L"id", NA_IT_I4, 4, kPrimary, false), Decl(L"name", NA_IT_UNICODE, 42, kDuplicates),
         Decl(L"n", NA_IT_I4, 4)},
        12);
    m_pclAccess = static_cast<CNADataAccess*>(
        m_pclDriver->pclAllocDataAccess(m_piSource, m_session.pclConnection(), m_pclError));
    m_pclAccess->AddRef();
    m_pclError->Reset();
    ASSERT_EQ(m_pclAccess->bHOuvre(static_cast<_eNA_ACCESS>(0), m_wtable.c_str()), 1) << Dump();
  }

  std::string Dump() const { return Utf8(m_pclError->StringDump().pszGet()); }

  // One read; the id of the row read, or -1 out of range, -2 failed.
  long long Read(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection) {
    m_pclError->Reset();
    eNA_LOCKTYPE eOut = NA_LOCK_DEFAULT;
    if (!m_pclAccess->bHLitxxx(pszItem, eDirection, 1, kNoLock, &eOut, 0)) {
      ADD_FAILURE() << "read failed: " << Dump();
      return -2;
    }
    int bOut = 1;
    m_pclAccess->bHEndehors(pszItem, &bOut);
    if (bOut) return -1;
    CAny clId;
    m_pclAccess->pclGetRecordNoRef()->pclGetColumnNoRef(L"id")->bGetCurrentValue(&clId, 0);
    return std::stoll(ValueText(clId));
  }

  // Random moves of the browse on the item from row `at` of `expected` (the
  // rows in its order, the browse standing on that row): next with odds
  // nNextIn - 1 in nNextIn, the cache freed before a move with odds 1 in
  // nFreeIn (0: never); every row read must be the expected one.
  void WalkAtRandom(const wchar_t* pszItem, const std::vector<long long>& expected, long long at,
                    unsigned int nSeed, int nMoves, unsigned int nNextIn, unsigned int nFreeIn) {
    std::mt19937 rng(nSeed);
    for (int i = 0; i < nMoves; ++i) {
      if (nFreeIn != 0 && rng() % nFreeIn == 0) {
        ASSERT_EQ(m_pclAccess->bFreeCache(), 1);
      }
      const bool next = (rng() % nNextIn) != 0 || at == 0;
      if (next && at + 1 >= static_cast<long long>(expected.size())) continue;
      at += next ? 1 : -1;
      ASSERT_EQ(Read(pszItem, next ? NA_PARSE_NEXT : NA_PARSE_PREVIOUS), expected[at])
          << "move " << i;
    }
  }

  std::vector<long long> Ids(const std::string& orderBy) {
    std::vector<long long> ids;
    for (const std::string& s : m_session.FirstCells("SELECT id FROM " + m_table + " ORDER BY " + orderBy))
      ids.push_back(std::stoll(s));
    return ids;
  }

  // The SELECTs this session ran so far (one more for the asking).
  long long Selects() {
    auto rows = m_session.Rows("SHOW SESSION STATUS LIKE 'Com_select'");
    return rows.empty() || !rows[0][1] ? -1 : std::stoll(*rows[0][1]);
  }

  std::string m_table;
  std::wstring m_wtable;
  INADataSourceDescription* m_piSource = nullptr;
  CNADataAccess* m_pclAccess = nullptr;
};

}  // namespace kqtest

#endif  // KQ230_TESTS_TABLES_DATA_ACCESS_BROWSE_FIXTURE_H_
