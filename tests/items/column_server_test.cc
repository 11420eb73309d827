// Columns against the fixture's MariaDB server: a row fetched by the client
// library reaches each column through the statement's current row, and the
// names the columns write for SQL are names the server accepts and
// resolves, whatever quotes they hold.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "items/column.h"
#include "items/convert_variant.h"
#include "items/record.h"
#include "statements/statement.h"
#include "tests/items/record_test_support.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/driver_server_fixture.h"
#include "tests/mariadb/server_session.h"
#include "tests/support/utf8_reference.h"
#include "tests/values/bound_values.h"
#include "values/any.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

StandInItemDecl Item(const wchar_t* name, int type, int size) {
  StandInItemDecl d;
  d.name = name;
  d.type = type;
  d.size = size;
  return d;
}

class ColumnServer : public ServerSuite<BoundValuesTest> {
 protected:
  void SetUp() override {
    BoundValuesTest::SetUp();
    ASSERT_TRUE(m_session.bOpen(L"Connection=columns"));
    m_pclError = new CNAError;
    m_pclError->AddRef();
  }
  void TearDown() override {
    if (m_pclRecord != nullptr) m_pclRecord->nRelease();
    if (m_pclAccess != nullptr) m_pclAccess->nRelease();
    if (m_piSource != nullptr) m_piSource->nExternalRelease();
    m_pclError->nRelease();
    m_session.Close();
    ServerSession::EndClientLibrary();
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, 0);
    BoundValuesTest::TearDown();
  }

  // A record over the items on the session's connection.
  void Build(const std::vector<StandInItemDecl>& items) {
    m_piSource = CStandInDescription::pclNew(L"people", items, 12);
    ASSERT_NE(m_piSource, nullptr);
    m_pclAccess = new TestItemsDataAccess(m_session.pclConnection(), L"people");
    m_pclAccess->AddRef();
    m_pclRecord = new CNARecord(m_pclError, m_pclAccess);
    m_pclRecord->AddRef();
    ASSERT_EQ(m_pclRecord->bInitRecord(m_piSource, nullptr, m_session.pclConnection()), 1);
  }

  ServerSession m_session;
  CNAError* m_pclError = nullptr;
  CStandInDescription* m_piSource = nullptr;
  TestItemsDataAccess* m_pclAccess = nullptr;
  CNARecord* m_pclRecord = nullptr;
};

TEST_F(ColumnServer, AFetchedRowReachesEachColumnThroughTheStatement) {
  Build({Item(L"name", NA_IT_TEXTE, 11), Item(L"age", NA_IT_I4, 4), Item(L"notes", NA_IT_MEMOTEXTE, 8),
         Item(L"price", NA_IT_R8, 8), Item(L"label", NA_IT_UNICODE, 22), Item(L"missing", NA_IT_I4, 4)});
  std::vector<ServerSession::Row> rows = m_session.Rows(
      "SELECT 'Dupont', 42, 'a long note', 12.5, _utf8mb4 x'C3A974C3A920F09F9880', NULL");
  ASSERT_EQ(rows.size(), 1u);
  const ServerSession::Row& row = rows[0];
  std::vector<const char*> cells;
  std::vector<unsigned long> lengths;
  for (const auto& cell : row) {
    cells.push_back(cell ? cell->data() : nullptr);
    lengths.push_back(cell ? static_cast<unsigned long>(cell->size()) : 0);
  }
  auto* pclStatement = new CNAStatement(m_session.pclConnection(), m_pclError);
  pclStatement->AddRef();
  pclStatement->SetRecord(m_pclRecord);
  ASSERT_EQ(pclStatement->SetCurrentRow(cells.data(), lengths.data(), static_cast<int>(cells.size()),
                                        65001),
            1);
  struct Expected {
    const wchar_t* column;
    const wchar_t* text;  // null: NULL
  };
  const Expected expected[] = {
      {L"name", L"Dupont"},           {L"age", L"42"},
      {L"notes", L"a long note"},     {L"price", L"12.5"},
      {L"label", L"\u00e9t\u00e9 \U0001F600"}, {L"missing", nullptr},
  };
  for (const Expected& e : expected) {
    CNAColumn* c = m_pclRecord->pclGetColumnNoRef(e.column);
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->bSetValueFromDB(pclStatement, 0), 1) << Utf8(e.column);
    CAny v;
    ASSERT_EQ(c->bGetCurrentValue(&v, 0), 1);
    if (e.text == nullptr) {
      EXPECT_TRUE(v.bIsNull());
      EXPECT_FALSE(c->bValueDefined());
    } else {
      EXPECT_EQ(AsText(v), e.text) << Utf8(e.column);
      EXPECT_TRUE(c->bValueDefined());
    }
  }
  EXPECT_FALSE(m_pclRecord->pclGetColumnNoRef(L"notes")->bMemoModified());
  // A plain column reads nothing from a statement.
  CNAColumn clPlain(m_pclError, m_piSource->pclGetItem(0));
  clPlain.AddRef();
  EXPECT_EQ(clPlain.CNAColumn::bSetValueFromDB(pclStatement, 0), 0);
  clPlain.SetHold(1);
  clPlain.nRelease();
  pclStatement->nRelease();
}

TEST_F(ColumnServer, NamesWrittenByColumnsAreResolvedByTheServer) {
  // A name already written as one well-formed quoted name is taken as
  // such (the analysis may hold names written for SQL): "`quoted`" is the
  // column quoted.
  const std::vector<std::wstring> names = {L"plain", L"a`b", L"`", L"x' OR 1=1 --", L"\u00e9t\u00e9",
                                           L"back\\slash", L"`quoted`", L"`a`b`"};
  const std::vector<std::wstring> onServer = {L"plain", L"a`b", L"`", L"x' OR 1=1 --", L"\u00e9t\u00e9",
                                              L"back\\slash", L"quoted", L"`a`b`"};
  std::vector<StandInItemDecl> items;
  for (const auto& n : names) items.push_back(Item(n.c_str(), NA_IT_I4, 4));
  Build(items);
  std::wstring create = L"CREATE TABLE kq_column_names (";
  std::string select = "SELECT ";
  for (size_t i = 0; i < names.size(); ++i) {
    CNAColumn* c = m_pclRecord->pclGetColumnNoRef(static_cast<int>(i));
    create += std::wstring(i ? L", " : L"") + c->pszGetFormatedName() + L" INT";
    select += (i ? ", " : "") + Utf8(c->pszGetFormatedName());
  }
  ASSERT_TRUE(m_session.bRun("DROP TABLE IF EXISTS kq_column_names"));
  ASSERT_TRUE(m_session.bRun(create + L") CHARACTER SET utf8mb4"));
  std::string insert = "INSERT INTO kq_column_names VALUES (";
  for (size_t i = 0; i < names.size(); ++i) insert += (i ? ", " : "") + std::to_string(i + 1);
  ASSERT_TRUE(m_session.bRun(insert + ")"));
  // Every column is there under its own name, each with its own value.
  std::vector<ServerSession::Row> rows = m_session.Rows(select + " FROM kq_column_names");
  ASSERT_EQ(rows.size(), 1u);
  ASSERT_EQ(rows[0].size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(rows[0][i].value_or("NULL"), std::to_string(i + 1));
  std::vector<ServerSession::Row> cols = m_session.Rows(
      "SELECT COLUMN_NAME FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND "
      "TABLE_NAME = 'kq_column_names' ORDER BY ORDINAL_POSITION");
  ASSERT_EQ(cols.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(cols[i][0].value_or(""), Utf8(onServer[i]));
  ASSERT_TRUE(m_session.bRun("DROP TABLE kq_column_names"));
}

}  // namespace
}  // namespace kqtest
