// Test support for statements on the fixture's MariaDB server: a data access
// as the statements see it (CNAStatementsDataAccess) that gives a record its
// buffers and record values, names its table and counts the notices the
// statements send it; and a fixture that opens the driver's own connection
// on the fixture's server, makes tables there, reads a table's description
// from the server (CMySQLDataSourceDescription), builds a record over it and
// makes statements and commands on that data access. Rows are compared with
// what the client library itself reads on the same connection, never with a
// stand-in.
//
// Ownership: the data access is counted as CInterf (born at 0); the fixture
// holds one reference on every object it makes and releases them in its
// tear-down, statements first (they call back into the data access), then
// checks that each statement went at its last reference.
// Threads: one test at a time.
#ifndef KQ230_TESTS_STATEMENTS_STATEMENT_TEST_SUPPORT_H_
#define KQ230_TESTS_STATEMENTS_STATEMENT_TEST_SUPPORT_H_

#include <new>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/na_error.h"
#include "items/record.h"
#include "mariadb/mysql_data_source_description.h"
#include "mariadb/mysql_driver.h"
#include "sqlbuilder/command.h"
#include "statements/record_buffer.h"
#include "statements/record_value.h"
#include "statements/statement.h"
#include "statements/statements_data_access_interface.h"
#include "tests/items/record_test_support.h"
#include "tests/mariadb/driver_server_fixture.h"
#include "tests/mariadb/server_session.h"
#include "tests/values/bound_values.h"

namespace kqtest {

// The items' test data access with the statements' call-backs. It reads a
// table, never a query, and lays buffers out zeroed: a default value is the
// server's to give, not the record's.
class TestStatementsDataAccess : public BasicTestItemsDataAccess<CNAStatementsDataAccess> {
 public:
  TestStatementsDataAccess(CNAConnectionDescription* pclConnection, const std::wstring& strTable)
      : BasicTestItemsDataAccess(pclConnection, strTable.c_str()) {}

  // ---- CNAStatementsDataAccess
  INADataSourceDescription* piGetDataSourceNoRef() const override { return m_piSource; }
  CNARecord* pclGetRecordNoRef() const override { return m_pclRecord; }
  int bHasDataSourceDescription() const override { return m_piSource != nullptr; }
  int bInitImportedDataSourceDesc(CNAStatement*) override {
    ++nImportedAsked;
    return 1;
  }
  void ClosingStatement(CNAStatement*) override { ++nClosings; }
  int bOnRecordRefreshed(CNAStatement*) override {
    ++nRefreshes;
    return 1;
  }
  void RaiseLongestRow(int nBytes) override {
    if (nBytes > nLongestRow) nLongestRow = nBytes;
  }
  unsigned int nGetUserCode() const override { return kUserCode; }

  // ---- Set by the fixture (not counted: the fixture holds both)
  static constexpr unsigned int kUserCode = 4242;
  INADataSourceDescription* m_piSource = nullptr;
  CNARecord* m_pclRecord = nullptr;
  // What the statements told it.
  int nImportedAsked = 0;
  int nClosings = 0;
  int nRefreshes = 0;
  int nLongestRow = 0;
};

class StatementServerTest : public DriverServerTest {
 public:
  // A cell of a row: no value for SQL NULL.
  using Cell = std::optional<std::string>;
  using Row = std::vector<Cell>;

 protected:
  StatementServerTest() : DriverServerTest(L"Connection=fetching") {}
  void TearDown() override;

  CMySQLConnection* Connection() { return m_session.pclConnection(); }

  // Runs statements on the session; false (and a failure) when one fails.
  bool Run(const std::string& sql) { return m_session.bRun(sql); }
  // Opens the table as a data access would: its description read from the
  // server, the data access and a record over the description. False (and
  // a failure) when any step fails.
  bool OpenTable(const std::wstring& strTable);

  // A new statement of the data access (one reference, the fixture's).
  CNAStatement* NewStatement();
  // A new command of the connection (one reference, the fixture's).
  CNACommand* NewCommand();
  // A command holding sql as a query of that kind.
  CNACommand* NewCommand(const std::wstring& sql, int eKind);
  // The browse's SELECT written by the statement into a new command (null
  // and a failure when it is refused), as the data access would ask it.
  CNACommand* BuildSelect(CNAStatement* pclStatement, const wchar_t* pszItem, int bAscending);
  // The command's formatted text as UTF-8 (every parameter written out).
  static std::string Sql(CNACommand* pclCommand);

  // The reference: every row of sql as the client library reads it on the
  // session's handle (store mode). A failed query fails the test.
  std::vector<Row> ClientRows(const std::string& sql);
  // sql streamed by the client library (use mode): the rows it hands out
  // before the stream ends, and the server's error number at that end (0
  // for a clean end).
  std::vector<Row> ClientRowsStreamed(const std::string& sql, unsigned int* pnError);

  // The record's current values, column by column, as the client's cells
  // would read them: the value's text as UTF-8, no value for NULL.
  Row RecordRow();
  // The error's dump, for failure messages.
  std::string ErrorDump();

  CMySQLDataSourceDescription* m_pclDescription = nullptr;
  TestStatementsDataAccess* m_pclAccess = nullptr;
  CNARecord* m_pclRecord = nullptr;
  std::vector<CNAStatement*> m_statements;
  std::vector<CNACommand*> m_commands;
};

}  // namespace kqtest

#endif  // KQ230_TESTS_STATEMENTS_STATEMENT_TEST_SUPPORT_H_
