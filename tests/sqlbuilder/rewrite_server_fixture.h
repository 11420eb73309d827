// RewriteServerTest: the fixture of the tests that parse queries with the
// stand-in parser over an analysis, rewrite them with a command of the
// driver's MariaDB connection (bFormatCondition) and run the formatted text
// on the fixture's server. Tables of the analysis get physical names unique
// to the process (the server is shared by tests running in parallel).
//
// A case's expected statement is written as a template: "[x]" marks a
// parameter whose formatted literal is x (the statement text holds nothing
// there, the parameter's position is where the "[" stands), "@T" stands for
// the quoted physical name of the analysis's table T (one letter).
//
// Ownership: the fixture owns the analysis, the value maker's installation,
// one reference on the error object and on the driver, and the session; the
// digests and commands a test makes are released by the test (Rewritten
// releases its own). Threads: one test at a time.
#ifndef KQ230_TESTS_SQLBUILDER_REWRITE_SERVER_FIXTURE_H_
#define KQ230_TESTS_SQLBUILDER_REWRITE_SERVER_FIXTURE_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "host/parser/standin_analysis.h"
#include "host/parser/standin_query_parameters.h"
#include "host/parser/standin_sql_parser.h"
#include "items/convert_variant.h"
#include "mariadb/mysql_driver.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/parameter.h"
#include "sqlbuilder/parsed_query_info.h"
#include "tests/host/standin_any_maker.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/server_session.h"
#include "tests/support/standin_items.h"
#include "tests/support/utf8_reference.h"
#include "tests/values/bound_values.h"

namespace kqtest {

// Item types of the analysis's declarations.
inline constexpr int kRwTexte = 2, kRwI4 = 5, kRwR8 = 7, kRwHeure = 11, kRwDate8 = 14,
                     kRwUnicode = 29;
inline constexpr unsigned short kRwPrimary = 0x8000, kRwAsc = 0x0800, kRwDup = 0x2000;

// A parameter as a case expects it: operator, flags, language type of its
// value (the holder's type code).
struct RwParam {
  int op;
  unsigned int flags;
  unsigned short type;
  bool operator==(const RwParam& o) const {
    return op == o.op && flags == o.flags && type == o.type;
  }
};
inline std::ostream& operator<<(std::ostream& os, const RwParam& p) {
  return os << "{op " << p.op << ", flags 0x" << std::hex << p.flags << std::dec << ", type "
            << p.type << "}";
}

// What a rewrite gave: the statement text, the parameters (position and
// what RwParam compares), the formatted text ("<null: error>" when refused).
struct RwResult {
  int bOk = 0;
  unsigned int nUserError = 0;  // the error object's user error after the rewrite
  std::wstring statement;
  std::vector<unsigned int> positions;
  std::vector<RwParam> params;
  std::wstring formatted;
};

class RewriteServerTest : public BoundValuesTest {
 protected:
  static void SetUpTestSuite() { ServerSession::ReadServer(); }
  static void TearDownTestSuite() { ServerSession::ForgetServer(); }

  void SetUp() override {
    BoundValuesTest::SetUp();
    ASSERT_EQ(ServerSession::SetupError(), "");
    m_nParserLive = StandInParserCounts::g_nLive;
    m_nDescriptionsLive = StandInDescriptionCounts::g_nLive;
    m_pclDriver = new CMySQLDriver();
    m_pclDriver->ExternalAddRef();
    m_pclError = new CNAError();
    m_pclError->AddRef();
    m_pAnalysis = std::make_unique<CStandInAnalysis>();
    ASSERT_TRUE(m_session.bOpen(L"Connection=rewrite"));
  }

  void TearDown() override {
    for (const std::wstring& t : m_created) m_session.bRun(L"DROP TABLE IF EXISTS " + Quote(t));
    m_session.bRun(L"SET SESSION sql_mode = DEFAULT");
    m_pclError->nRelease();
    m_session.Close();
    EXPECT_EQ(m_pclDriver->nExternalRelease(), 0);
    ServerSession::EndClientLibrary();
    m_pAnalysis.reset();
    EXPECT_EQ(StandInParserCounts::g_nLive, m_nParserLive) << "parser objects left";
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, m_nDescriptionsLive) << "descriptions left";
    EXPECT_EQ(m_maker.Maker().nLive(), 0) << "stand-in values left";
    BoundValuesTest::TearDown();
  }

  // An identifier quoted with backquotes, as the test's own statements
  // write names (inner backquotes doubled).
  static std::wstring Quote(const std::wstring& name) {
    std::wstring out = L"`";
    for (wchar_t c : name) {
      out += c;
      if (c == L'`') out += L'`';
    }
    return out + L"`";
  }
  // "name_<pid>": a physical name of this process.
  static std::wstring Unique(const std::wstring& name) {
    return name + L"_" + std::to_wstring(static_cast<long>(getpid()));
  }

  // A table of the analysis, known to the templates as "@" + letter, and
  // created on the server (dropped at the end of the test) with the rows.
  void Table(wchar_t cLetter, const wchar_t* pszLogical, const std::wstring& strPhysical,
             const std::vector<StandInItemDecl>& items, const std::wstring& strColumnsSql,
             const std::wstring& strRows) {
    CStandInDescription* p = CStandInDescription::pclNew(pszLogical, items, 12);
    ASSERT_NE(p, nullptr);
    m_pAnalysis->AddTable(p, strPhysical.c_str());
    p->nExternalRelease();
    m_physical[cLetter] = strPhysical;
    ASSERT_TRUE(m_session.bRun(L"CREATE OR REPLACE TABLE " + Quote(strPhysical) + L" (" +
                               strColumnsSql +
                               L") CHARACTER SET utf8mb4 COLLATE "
                               L"utf8mb4_nopad_bin ENGINE=InnoDB"));
    m_created.push_back(strPhysical);
    if (!strRows.empty()) {
      ASSERT_TRUE(m_session.bRun(L"INSERT INTO " + Quote(strPhysical) + L" VALUES " + strRows));
    }
  }

  // The template with "@T" replaced by the quoted physical names.
  std::wstring Expand(const std::wstring& tmpl) const {
    std::wstring out;
    for (size_t i = 0; i < tmpl.size(); ++i) {
      if (tmpl[i] == L'@' && i + 1 < tmpl.size() && m_physical.count(tmpl[i + 1]) != 0) {
        out += Quote(m_physical.at(tmpl[i + 1]));
        ++i;
      } else {
        out += tmpl[i];
      }
    }
    return out;
  }
  // The statement text a template describes (parameters left out) and the
  // positions of its parameters.
  static std::wstring StatementOf(const std::wstring& tmpl, std::vector<unsigned int>* pPositions) {
    std::wstring out;
    for (size_t i = 0; i < tmpl.size(); ++i) {
      if (tmpl[i] != L'[') {
        out += tmpl[i];
        continue;
      }
      if (pPositions != nullptr) pPositions->push_back(static_cast<unsigned int>(out.size()));
      i = ClosingBracket(tmpl, i);
    }
    return out;
  }
  // The formatted text a template describes: parameters as their literals,
  // a space between a literal and the text that follows it when neither
  // has one there (as the command writes its formatted text).
  static std::wstring FormattedOf(const std::wstring& tmpl) {
    std::wstring out;
    for (size_t i = 0; i < tmpl.size(); ++i) {
      if (tmpl[i] != L'[') {
        out += tmpl[i];
        continue;
      }
      const size_t close = ClosingBracket(tmpl, i);
      out += tmpl.substr(i + 1, close - i - 1);
      i = close;
      if (i + 1 < tmpl.size() && tmpl[i + 1] != L' ' && !out.empty() && out.back() != L' ')
        out += L' ';
    }
    return out;
  }
  // The "]" that closes the "[" at nOpen, past the literal's quotes.
  static size_t ClosingBracket(const std::wstring& tmpl, size_t nOpen) {
    bool bQuoted = false;
    for (size_t j = nOpen + 1; j < tmpl.size(); ++j) {
      if (tmpl[j] == L'\'') bQuoted = !bQuoted;
      if (!bQuoted && tmpl[j] == L']') return j;
    }
    return tmpl.size();
  }

  // A digest of the parsed text (one reference, the caller's); the parser's
  // complaint, if any, in *pWhy.
  CSQLParserInfo* Digest(const std::wstring& text, CStandInQueryParameters* pclValues = nullptr,
                         std::wstring* pWhy = nullptr) {
    CStandInSQLParser clParser(m_pAnalysis.get());
    CStandInSQLInfo* piInfo = clParser.pclParse(text.c_str(), pclValues);
    if (pWhy != nullptr) *pWhy = clParser.strGetLastError();
    auto* p = new CSQLParserInfo(m_pclError, piInfo, pclValues, 0);
    p->AddRef();
    piInfo->Release();
    return p;
  }
  CSQLParserInfo* ConditionDigest(const wchar_t* pszTable, const std::wstring& condition) {
    CStandInSQLParser clParser(m_pAnalysis.get());
    CStandInSQLInfo* piInfo = clParser.pclParseCondition(pszTable, condition.c_str());
    EXPECT_EQ(clParser.strGetLastError(), L"");
    auto* p = new CSQLParserInfo(m_pclError, piInfo, nullptr, 0);
    p->AddRef();
    piInfo->Release();
    return p;
  }

  // A command of the driver on the session's connection (one reference).
  CNACommand* NewCommand() {
    auto* p = static_cast<CNACommand*>(
        m_pclDriver->pclAllocCommand(m_pclError, m_session.pclConnection()));
    p->AddRef();
    return p;
  }

  // What the command holds now.
  RwResult Read(CNACommand* c, int bOk) {
    RwResult r;
    r.bOk = bOk;
    const wchar_t* psz = c->pszGetOriginalSQL();
    r.statement = psz != nullptr ? psz : L"";
    for (unsigned int i = 0; i < c->nGetParameterNbr(); ++i) {
      CNAParameter* p = c->pclGetParameterNoRef(i);
      r.positions.push_back(p->nGetPosition());
      const unsigned short nType =
          p->pclGetValueNoRef() != nullptr ? p->pclGetValueNoRef()->nGetVXType() : 0;
      r.params.push_back({static_cast<int>(p->eGetOperator()), p->nGetFlags(), nType});
    }
    const wchar_t* pszFormatted = c->pszGetFormatedSQL(CNACommand::NA_PTC_ALL);
    r.formatted = pszFormatted != nullptr
                      ? pszFormatted
                      : L"<null: " + std::wstring(m_pclError->StringDump().pszGet()) + L">";
    return r;
  }

  // Parses and rewrites the text (bFormatCondition with other, keepSort,
  // mode); with bServerValues the parameters then take the server's values
  // of their names, as a statement does before it runs. The command is
  // released.
  RwResult Rewritten(const std::wstring& text, int bKeepSort, int nMode,
                     CNACommand* pclOther = nullptr, CStandInQueryParameters* pclValues = nullptr,
                     bool bServerValues = false) {
    std::wstring why;
    CSQLParserInfo* pclInfo = Digest(text, pclValues, &why);
    CNACommand* c = NewCommand();
    m_pclError->Reset();
    int bOk = c->bFormatCondition(pclInfo, pclOther, bKeepSort, nMode);
    if (bServerValues) bOk = bOk && c->bUpdateParametersValues();
    const unsigned int nUserError = m_pclError->nGetUserErrorCode();
    RwResult r = Read(c, bOk);
    r.nUserError = nUserError;
    c->nRelease();
    pclInfo->nRelease();
    return r;
  }

  // Every row of the query, cells joined by "|" (NULL as "NULL"), rows
  // joined by ";", sorted unless bOrdered.
  std::string Rows(const std::wstring& sql, bool bOrdered) {
    std::vector<std::string> rows;
    for (const ServerSession::Row& row : m_session.Rows(Utf8(sql))) {
      std::string line;
      for (size_t k = 0; k < row.size(); ++k) {
        if (k > 0) line += "|";
        line += row[k].has_value() ? *row[k] : "NULL";
      }
      rows.push_back(line);
    }
    if (!bOrdered) std::sort(rows.begin(), rows.end());
    std::string out;
    for (size_t i = 0; i < rows.size(); ++i) out += (i > 0 ? ";" : "") + rows[i];
    return out;
  }

  CMySQLDriver* m_pclDriver = nullptr;
  CNAError* m_pclError = nullptr;
  ServerSession m_session;
  StandInAnyMakerScope m_maker;
  std::unique_ptr<CStandInAnalysis> m_pAnalysis;
  std::map<wchar_t, std::wstring> m_physical;
  std::vector<std::wstring> m_created;
  int m_nParserLive = 0;
  int m_nDescriptionsLive = 0;
};

}  // namespace kqtest

#endif  // KQ230_TESTS_SQLBUILDER_REWRITE_SERVER_FIXTURE_H_
