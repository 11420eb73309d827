#include "tests/statements/statement_test_support.h"

#include "items/column.h"
#include "tests/mariadb/client_library.h"
#include "tests/support/utf8_reference.h"
#include "values/any.h"

namespace kqtest {

using kq230::test_support::ClientLibrary;
using kq230::test_support::ClientLibraryForTheProgram;

void StatementServerTest::TearDown() {
  // Statements first: they call back into the data access as they close.
  for (CNAStatement* p : m_statements) {
    p->DetachDataAccess();
    EXPECT_EQ(p->nRelease(), 0) << "a statement kept alive";
  }
  m_statements.clear();
  for (CNACommand* p : m_commands) p->nRelease();
  m_commands.clear();
  if (m_pclRecord != nullptr) {
    EXPECT_EQ(m_pclRecord->nRelease(), 0);
  }
  m_pclRecord = nullptr;
  if (m_pclDescription != nullptr) m_pclDescription->nExternalRelease();
  m_pclDescription = nullptr;
  if (m_pclAccess != nullptr) m_pclAccess->nRelease();
  m_pclAccess = nullptr;
  DriverServerTest::TearDown();
}

bool StatementServerTest::OpenTable(const std::wstring& strTable) {
  m_pclDescription = new CMySQLDataSourceDescription(Connection(), m_pclError);
  m_pclDescription->ExternalAddRef();
  m_pclError->Reset();
  if (!m_pclDescription->bInitDataSourceDescriptionFromDB(strTable.c_str(), 0)) {
    ADD_FAILURE() << "description of " << Utf8(strTable) << ": " << ErrorDump();
    return false;
  }
  m_pclAccess = new TestStatementsDataAccess(Connection(), strTable);
  m_pclAccess->AddRef();
  m_pclAccess->m_piSource = m_pclDescription;
  m_pclRecord = new CNARecord(m_pclError, m_pclAccess);
  m_pclRecord->AddRef();
  m_pclAccess->m_pclRecord = m_pclRecord;
  if (!m_pclRecord->bInitRecord(m_pclDescription, nullptr, Connection())) {
    ADD_FAILURE() << "record over " << Utf8(strTable) << ": " << ErrorDump();
    return false;
  }
  return true;
}

CNAStatement* StatementServerTest::NewStatement() {
  auto* p = new CNAStatement(m_pclAccess, m_pclError);
  p->AddRef();
  m_statements.push_back(p);
  return p;
}

CNACommand* StatementServerTest::NewCommand() {
  auto* p = static_cast<CNACommand*>(m_pclDriver->pclAllocCommand(m_pclError, Connection()));
  p->AddRef();
  m_commands.push_back(p);
  return p;
}

CNACommand* StatementServerTest::NewCommand(const std::wstring& sql, int eKind) {
  CNACommand* p = NewCommand();
  EXPECT_TRUE(p->bComplete(sql.c_str()));
  p->_SetQueryKind(eKind);
  return p;
}

CNACommand* StatementServerTest::BuildSelect(CNAStatement* pclStatement, const wchar_t* pszItem,
                                             int bAscending) {
  CNACommand* p = NewCommand();
  m_pclError->Reset();
  if (!pclStatement->bBuildQuerySELECT(p, 0, pszItem, bAscending, nullptr)) {
    ADD_FAILURE() << "SELECT on " << Utf8(pszItem != nullptr ? pszItem : L"") << ": "
                  << ErrorDump();
    return nullptr;
  }
  return p;
}

std::string StatementServerTest::Sql(CNACommand* pclCommand) {
  const wchar_t* psz = pclCommand->pszGetFormatedSQL(CNACommand::NA_PTC_ALL);
  return psz != nullptr ? Utf8(psz) : std::string("<refused>");
}

namespace {

StatementServerTest::Row ReadRow(ClientLibrary& lib, MYSQL_RES* res, MYSQL_ROW row) {
  const unsigned int n = lib.num_fields(res);
  const unsigned long* lengths = lib.fetch_lengths(res);
  StatementServerTest::Row cells;
  for (unsigned int i = 0; i < n; ++i) {
    if (row[i] == nullptr)
      cells.emplace_back();
    else
      cells.emplace_back(std::string(row[i], lengths[i]));
  }
  return cells;
}

}  // namespace

std::vector<StatementServerTest::Row> StatementServerTest::ClientRows(const std::string& sql) {
  ClientLibrary& lib = ClientLibraryForTheProgram();
  MYSQL* h = Connection()->pGetHandle();
  std::vector<Row> rows;
  if (lib.real_query(h, sql.data(), sql.size()) != 0) {
    ADD_FAILURE() << lib.error_of(h) << "\n" << sql.substr(0, 300);
    return rows;
  }
  MYSQL_RES* res = lib.store_result(h);
  if (res == nullptr) {
    if (lib.errno_of(h) != 0) ADD_FAILURE() << lib.error_of(h) << "\n" << sql.substr(0, 300);
    return rows;
  }
  while (MYSQL_ROW row = lib.fetch_row(res)) rows.push_back(ReadRow(lib, res, row));
  lib.free_result(res);
  return rows;
}

std::vector<StatementServerTest::Row> StatementServerTest::ClientRowsStreamed(
    const std::string& sql, unsigned int* pnError) {
  ClientLibrary& lib = ClientLibraryForTheProgram();
  MYSQL* h = Connection()->pGetHandle();
  std::vector<Row> rows;
  *pnError = 0;
  if (lib.real_query(h, sql.data(), sql.size()) != 0) {
    *pnError = lib.errno_of(h);
    return rows;
  }
  MYSQL_RES* res = lib.use_result(h);
  if (res == nullptr) {
    *pnError = lib.errno_of(h);
    return rows;
  }
  while (MYSQL_ROW row = lib.fetch_row(res)) rows.push_back(ReadRow(lib, res, row));
  *pnError = lib.errno_of(h);
  lib.free_result(res);
  return rows;
}

StatementServerTest::Row StatementServerTest::RecordRow() {
  Row cells;
  for (int i = 0; i < m_pclRecord->nGetColumnNbr(); ++i) {
    CNAColumn* pclColumn = m_pclRecord->pclGetColumnNoRef(i);
    if (pclColumn->bIsComposedKey()) break;
    CAny v;
    if (!pclColumn->bGetCurrentValue(&v, 0)) {
      cells.emplace_back("<unreadable>");
    } else if (v.bIsNull()) {
      cells.emplace_back();
    } else {
      cells.emplace_back(Utf8(AsText(v)));
    }
  }
  return cells;
}

std::string StatementServerTest::ErrorDump() { return Utf8(m_pclError->StringDump().pszGet()); }

}  // namespace kqtest
