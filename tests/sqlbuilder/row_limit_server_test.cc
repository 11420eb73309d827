// Row limits on the real server: the formatted text of each SELECT command
// with a row limit and a row offset (or a TOP of its own) returns exactly the rows [offset,
// offset + limit) of the ordered query, whatever ends the text (";", a locking
// clause, a comment) and whatever its literals and quoted names hold; limits
// past 32 bits stay whole, and limits of 0 or below leave every row.
#include <mysql.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/wide_string.h"
#include "driver/na_error.h"
#include "sqlbuilder/command.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/mariadb/server_env.h"
#include "tests/sqlbuilder/backquote_connection.h"
#include "tests/support/bound_framework.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

using kq230::test_support::ClientLibrary;
using kq230::test_support::MariadbServer;

constexpr int kRows = 25;

class RowLimitServerTest : public BoundFrameworkTest {
 protected:
  static void SetUpTestSuite() {
    s_library = new ClientLibrary;
    if (!s_library->Load(&s_setupError)) return;
    MariadbServer server;
    if (!kq230::test_support::ReadMariadbServer(KQ_DEFAULT_MARIADB_ENV, &server, &s_setupError))
      return;
    s_mysql = s_library->init(nullptr);
    if (s_mysql == nullptr) {
      s_setupError = "mysql_init failed";
      return;
    }
    if (s_library->real_connect(s_mysql, server.host.c_str(), server.user.c_str(),
                                server.password.c_str(), server.database.c_str(), server.port,
                                nullptr, 0) == nullptr) {
      s_setupError = s_library->error_of(s_mysql);
      return;
    }
    // The column named "limit" and the texts make the statement's own words
    // look like clauses that the rewriting must pass over. A temporary table:
    // the session's own, so that test programs running at once never meet.
    std::string sql =
        "CREATE OR REPLACE TEMPORARY TABLE kq_rowlimit (id INT PRIMARY KEY, "
        "`limit` VARCHAR(20), txt VARCHAR(40)) ENGINE=InnoDB";
    if (!Run(sql)) return;
    sql = "INSERT INTO kq_rowlimit VALUES ";
    for (int i = 1; i <= kRows; ++i) {
      sql += "(" + std::to_string(i) + ",'LIMIT 1','row %d%s -- " + std::to_string(i) + "')";
      if (i < kRows) sql += ",";
    }
    Run(sql);
  }

  static void TearDownTestSuite() {
    if (s_mysql != nullptr) {
      s_library->close(s_mysql);
      s_mysql = nullptr;
    }
    delete s_library;
    s_library = nullptr;
    std::string().swap(s_setupError);
  }

  static bool Run(const std::string& sql) {
    if (s_library->real_query(s_mysql, sql.data(), sql.size()) != 0) {
      s_setupError = sql + ": " + s_library->error_of(s_mysql);
      return false;
    }
    return true;
  }

  void SetUp() override {
    BoundFrameworkTest::SetUp();
    m_pclConnection = new BackquoteConnection(&m_host, kServerKindMariaDB, 65001);
    m_pclConnection->AddRef();
    m_pclError = new CNAError;
    m_pclError->AddRef();
    ASSERT_EQ(s_setupError, "");
  }
  void TearDown() override {
    m_pclError->nRelease();
    m_pclConnection->nRelease();
    BoundFrameworkTest::TearDown();
  }

  // The ids the statement returns, in order; an error is a failure.
  static std::vector<int> Ids(const std::string& sql) {
    std::vector<int> ids;
    if (s_library->real_query(s_mysql, sql.data(), sql.size()) != 0) {
      ADD_FAILURE() << sql << ": " << s_library->error_of(s_mysql);
      return ids;
    }
    MYSQL_RES* result = s_library->store_result(s_mysql);
    if (result == nullptr) {
      ADD_FAILURE() << sql << ": no result: " << s_library->error_of(s_mysql);
      return ids;
    }
    while (MYSQL_ROW row = s_library->fetch_row(result)) ids.push_back(std::stoi(row[0]));
    s_library->free_result(result);
    return ids;
  }

  // Rows [offset, offset + limit) of 1 .. kRows; every row when the limit is
  // none.
  static std::vector<int> Expected(long long llLimit, long long llOffset) {
    std::vector<int> ids;
    const long long llFirst = llLimit < 0 ? 0 : std::max(llOffset, 0LL);
    for (long long i = llFirst; i < kRows; ++i) {
      if (llLimit >= 0 && i - llFirst >= llLimit) break;
      ids.push_back(static_cast<int>(i + 1));
    }
    return ids;
  }

  // The formatted text of a SELECT command holding the text, with that row
  // limit and offset, as the statements run it (UTF-8); the row limit the
  // command keeps afterwards into *pllLimitAfter.
  std::string Formatted(const wchar_t* pszText, long long llLimit, long long llOffset,
                        long long* pllLimitAfter) {
    CNACommand* pclCommand = new CNACommand(m_pclError, m_pclConnection);
    pclCommand->AddRef();
    pclCommand->_SetQueryKind(NA_CMD_SELECT);
    pclCommand->bComplete(pszText);
    pclCommand->SetRowLimit(llLimit);
    pclCommand->SetRowOffset(llOffset);
    const char* psz = pclCommand->pszGetFormatedSQLA(CNACommand::NA_PTC_ALL);
    std::string sql = psz != nullptr ? psz : "";
    *pllLimitAfter = pclCommand->llGetRowLimit();
    pclCommand->nRelease();
    return sql;
  }

  HostConnectionFake m_host;
  BackquoteConnection* m_pclConnection = nullptr;
  CNAError* m_pclError = nullptr;

  static ClientLibrary* s_library;
  static MYSQL* s_mysql;
  static std::string s_setupError;
};

ClientLibrary* RowLimitServerTest::s_library = nullptr;
MYSQL* RowLimitServerTest::s_mysql = nullptr;
std::string RowLimitServerTest::s_setupError;

// The statement forms.
const wchar_t* const kTexts[] = {
    L"SELECT id FROM kq_rowlimit ORDER BY id",
    L"SELECT id FROM kq_rowlimit ORDER BY id;",
    L"select id from kq_rowlimit order by id ;\n",
    L"SELECT id FROM kq_rowlimit ORDER BY id FOR UPDATE",
    L"SELECT id FROM kq_rowlimit ORDER BY id LOCK IN SHARE MODE;",
    L"SELECT id FROM kq_rowlimit ORDER BY id -- every row",
    L"SELECT id FROM kq_rowlimit ORDER BY id\n# every row",
    L"SELECT id FROM kq_rowlimit ORDER BY id /* every row; FOR UPDATE */",
    L"SELECT id FROM kq_rowlimit WHERE txt <> '%d%s LIMIT 1 -- x' ORDER BY id",
    L"SELECT id FROM kq_rowlimit WHERE `limit` = 'LIMIT 1' AND txt <> 'it''s \\' LIMIT 2' "
    L"ORDER BY id",
    L"SELECT id FROM kq_rowlimit WHERE id IN (SELECT id FROM kq_rowlimit) ORDER BY id",
};

const long long kLimits[] = {1, 7, kRows, 2147483648LL, 4294967301LL, LLONG_MAX, 0, -3};
const long long kOffsets[] = {-1, 0, 3, kRows - 1, 4294967297LL};

TEST_F(RowLimitServerTest, ARewrittenStatementReturnsExactlyTheRowsOfItsWindow) {
  for (const wchar_t* pszText : kTexts) {
    for (long long llLimit : kLimits) {
      for (long long llOffset : kOffsets) {
        long long llAfter = 0;
        const std::string sql = Formatted(pszText, llLimit, llOffset, &llAfter);
        SCOPED_TRACE(sql);
        EXPECT_EQ(Ids(sql), Expected(llLimit > 0 ? llLimit : -1, llOffset));
      }
    }
  }
}

TEST_F(RowLimitServerTest, ATopBecomesALimitWithTheCommandsOffset) {
  const wchar_t* const kTopTexts[] = {
      // "@" stands for the count.
      L"SELECT TOP @ id FROM kq_rowlimit ORDER BY id",
      L"select top\t@ id from kq_rowlimit order by id for update;",
      L"SELECT TOP @ id FROM kq_rowlimit ORDER BY id -- LIMIT 1",
  };
  const long long kTops[] = {0, 1, 7, 2147483648LL, 4294967301LL, LLONG_MAX};
  for (const wchar_t* pszForm : kTopTexts) {
    for (long long llTop : kTops) {
      for (long long llOffset : kOffsets) {
        std::wstring text(pszForm);
        text.replace(text.find(L'@'), 1, std::to_wstring(llTop));
        long long llAfter = 0;
        // The statement's TOP wins over the command's row limit of 5.
        const std::string sql = Formatted(text.c_str(), 5, llOffset, &llAfter);
        SCOPED_TRACE(sql);
        EXPECT_EQ(llAfter, -1);
        EXPECT_EQ(Ids(sql), Expected(llTop, llOffset));
      }
    }
  }
}

}  // namespace
}  // namespace kqtest
