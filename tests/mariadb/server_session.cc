#include "tests/mariadb/server_session.h"

#include <gtest/gtest.h>

#include <utility>

#include "core/unicode.h"
#include "driver/function_loader.h"
#include "driver/na_error.h"

namespace kqtest {

namespace {

// What SIGNAL SQLSTATE '45000' answers (ER_SIGNAL_EXCEPTION).
constexpr unsigned int kSignalled = 1644;

kq230::test_support::MariadbServer gServer;
std::string gSetupError;

// UTF-8 to wide text; false when the bytes are not well-formed UTF-8.
bool bWide(const std::string& s, std::wstring* pOut) {
  pOut->clear();
  if (s.empty()) return true;
  const int nInput = static_cast<int>(s.size());
  const int n = UTF8ToWideStrict(s.data(), nInput, nullptr, 0);
  if (n < 0) return false;
  pOut->resize(static_cast<size_t>(n));
  return UTF8ToWideStrict(s.data(), nInput, pOut->data(), n) == n;
}

// The facts of the fixture's server are UTF-8 text; one that is not well-formed
// fails the test.
std::wstring Wide(const std::string& s) {
  std::wstring w;
  if (!bWide(s, &w)) ADD_FAILURE() << "not UTF-8: " << s.substr(0, 300);
  return w;
}

// The start of a statement for a failure message, as UTF-8.
std::string Start(const std::wstring& s) {
  std::string out;
  for (wchar_t c : s.substr(0, 300)) {
    char bytes[8];
    const int n = UTF32ToUTF8(c, bytes);
    out.append(bytes, static_cast<size_t>(n > 0 ? n : 0));
  }
  return out;
}

}  // namespace

bool bServerSays(CMySQLConnection* pclConnection, const std::wstring& cond) {
  if (pclConnection == nullptr) {
    ADD_FAILURE() << "no connection to ask";
    return false;
  }
  const std::wstring sql = L"BEGIN NOT ATOMIC IF (" + cond +
                           L") IS NOT TRUE THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = "
                           L"'false'; END IF; END";
  CNAError clError;
  if (pclConnection->bExecuteQueryNoResult(&clError, sql.c_str()) == 1) return true;
  if (clError.dwGetDataBaseErrorCode() != kSignalled)
    ADD_FAILURE() << "the check did not run: " << clError.StringDump().pszGet() << "\n"
                  << Start(cond);
  return false;
}

void ServerSession::ReadServer() {
  kq230::test_support::ReadMariadbServer(KQ_DEFAULT_MARIADB_ENV, &gServer, &gSetupError);
}

void ServerSession::ForgetServer() {
  kq230::test_support::MariadbServer none;
  std::swap(gServer, none);
  std::string().swap(gSetupError);
}

const kq230::test_support::MariadbServer& ServerSession::Server() { return gServer; }
const std::string& ServerSession::SetupError() { return gSetupError; }

void ServerSession::EndClientLibrary() {
  CMySQLConnection::g_TermNativeLibrary();
  CNAFunctionLoader::g_Term();
}

void ServerSession::Describe(HostConnectionFake* pHost, Transport eTransport,
                            const std::wstring& extra) {
  pHost->user = Wide(gServer.user);
  pHost->password = Wide(gServer.password);
  pHost->defaultDatabase = Wide(gServer.database);
  if (eTransport == kTcp) {
    pHost->dataSource = Wide(gServer.host);
    pHost->extended = L"Server Port=" + std::to_wstring(gServer.port) + extra;
  } else {
    pHost->dataSource = L"localhost";
    pHost->extended = L"Unix Socket=" + Wide(gServer.socket) + extra;
  }
}

bool ServerSession::bOpen(const wchar_t* pszName) {
  if (!gSetupError.empty()) {
    ADD_FAILURE() << gSetupError;
    return false;
  }
  Close();
  Describe(&m_host);
  m_pclConnection = new CMySQLConnection(pszName, &m_host);
  m_pclConnection->AddRef();
  CNAError clError;
  if (m_pclConnection->bOpen(&clError) != 1) {
    ADD_FAILURE() << "the connection did not open: " << clError.StringDump().pszGet();
    return false;
  }
  if (m_pclConnection->nGetConnectionCodePage() != 65001) {
    ADD_FAILURE() << "the connection is not utf8mb4";
    return false;
  }
  return true;
}

void ServerSession::Close() {
  if (m_pclConnection == nullptr) return;
  CNAError clError;
  m_pclConnection->bClose(&clError);
  m_pclConnection->nRelease();
  m_pclConnection = nullptr;
  EXPECT_EQ(m_host.nOutstanding(), 0) << "the connection still holds its host description";
}

bool ServerSession::bRun(const std::wstring& sql) {
  CNAError clError;
  if (m_pclConnection != nullptr &&
      m_pclConnection->bExecuteQueryNoResult(&clError, sql.c_str()) == 1)
    return true;
  ADD_FAILURE() << clError.StringDump().pszGet() << "\n" << Start(sql);
  return false;
}

bool ServerSession::bRun(const std::string& sql) {
  std::wstring wide;
  if (!bWide(sql, &wide)) {
    ADD_FAILURE() << "the statement is not UTF-8: " << sql.substr(0, 300);
    return false;
  }
  return bRun(wide);
}

std::vector<ServerSession::Row> ServerSession::Rows(const std::string& sql) {
  std::vector<Row> rows;
  MYSQL* h = m_pclConnection != nullptr ? m_pclConnection->pGetHandle() : nullptr;
  if (h == nullptr) {
    ADD_FAILURE() << "no open connection for " << sql.substr(0, 300);
    return rows;
  }
  if (__mysql_real_query(h, sql.data(), sql.size()) != 0) {
    ADD_FAILURE() << __mysql_error(h) << "\n" << sql.substr(0, 300);
    return rows;
  }
  MYSQL_RES* res = __mysql_store_result(h);
  if (res == nullptr) return rows;
  const unsigned int n = __mysql_num_fields(res);
  while (MYSQL_ROW row = __mysql_fetch_row(res)) {
    unsigned long* lengths = __mysql_fetch_lengths(res);
    Row cells;
    for (unsigned int i = 0; i < n; ++i) {
      if (row[i] == nullptr)
        cells.emplace_back();
      else
        cells.emplace_back(std::string(row[i], lengths[i]));
    }
    rows.push_back(std::move(cells));
  }
  __mysql_free_result(res);
  return rows;
}

std::vector<std::string> ServerSession::FirstCells(const std::string& sql) {
  std::vector<std::string> cells;
  for (const Row& row : Rows(sql))
    cells.push_back(row.empty() || !row[0] ? std::string("NULL") : *row[0]);
  return cells;
}

}  // namespace kqtest
