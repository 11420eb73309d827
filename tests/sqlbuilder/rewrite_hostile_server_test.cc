// The hostile corpus (hostile_corpus.txt) through parsed queries rewritten
// for MariaDB: as literals of comparisons, of LIKE patterns with their
// ESCAPE, of computed columns and of sub-queries, as the value of a marker,
// as literals that a computed column's text keeps (written again from their
// values), and as the physical names of tables and columns; in the default
// sql_mode, with NO_BACKSLASH_ESCAPES, with ANSI_QUOTES and with both. Each
// statement returns exactly the rows its value names, and a probe table
// stays untouched (no injection).
//
// The query texts are written as the stand-in parser reads them: a quote is
// doubled inside a literal, a backquote inside a quoted name, the backslash
// is an ordinary character. A value holding a character 0 cannot stand in a
// query text (the parser reads a C string), nor in a marker's value (the
// stand-in's values are C strings too): it is left to the command's own
// hostile test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/sqlbuilder/hostile_corpus.h"
#include "tests/sqlbuilder/rewrite_server_fixture.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

const wchar_t* const kModes[] = {L"DEFAULT", L"'NO_BACKSLASH_ESCAPES'", L"'ANSI_QUOTES'",
                                 L"'NO_BACKSLASH_ESCAPES,ANSI_QUOTES'"};

// The value as a literal of a query text: quotes doubled.
std::wstring Literal(const std::wstring& v) {
  std::wstring out = L"'";
  for (wchar_t c : v) {
    out += c;
    if (c == L'\'') out += L'\'';
  }
  return out + L"'";
}

// The value as a LIKE prefix with "#" as its escape character.
std::wstring Prefix(const std::wstring& v) {
  std::wstring out;
  for (wchar_t c : v) {
    if (c == L'%' || c == L'_' || c == L'#') out += L'#';
    out += c;
  }
  return out + L"%";
}

// The value as a hexadecimal literal of its UTF-8 bytes ('' when empty):
// the test's own way to name a value whatever the sql_mode.
std::wstring HexLiteral(const std::wstring& v) {
  const std::wstring hex = Hex(Utf8(v));
  return hex.empty() ? L"''" : L"X'" + hex + L"'";
}

class RewriteHostileServerTest : public RewriteServerTest {
 protected:
  void SetUp() override {
    RewriteServerTest::SetUp();
    if (HasFatalFailure()) return;
    m_corpus = ReadHostileCorpus(KQ_HOSTILE_CORPUS);
    ASSERT_GT(m_corpus.size(), 30u);
    m_strProbe = Unique(L"kq_rw_probe");
    ASSERT_TRUE(m_session.bRun(L"CREATE OR REPLACE TABLE " + Quote(m_strProbe) + L" (n INT)"));
    m_created.push_back(m_strProbe);
    ASSERT_TRUE(m_session.bRun(L"INSERT INTO " + Quote(m_strProbe) + L" VALUES (7)"));
  }

  void SetMode(const wchar_t* pszMode) {
    ASSERT_TRUE(m_session.bRun(std::wstring(L"SET SESSION sql_mode = ") + pszMode));
  }
  void ExpectProbeIntact() {
    EXPECT_TRUE(m_session.bSays(L"(SELECT COUNT(*) FROM " + Quote(m_strProbe) +
                                L") = 1 AND (SELECT n FROM " + Quote(m_strProbe) + L") = 7"));
  }

  // The ids of the corpus entries whose value equals v (or begins with it).
  std::string Ids(const std::wstring& v, bool bPrefix) const {
    std::string ids;
    for (size_t j = 0; j < m_corpus.size(); ++j) {
      const std::wstring& other = m_corpus[j].value;
      if (bPrefix ? other.compare(0, v.size(), v) != 0 : other != v) continue;
      ids += (ids.empty() ? "" : ";") + std::to_string(j + 1);
    }
    return ids;
  }

  std::vector<CorpusEntry> m_corpus;
  std::wstring m_strProbe;
};

TEST_F(RewriteHostileServerTest, HostileLiteralsReturnExactlyTheirRowsInEverySqlMode) {
  std::wstring rows;
  for (size_t i = 0; i < m_corpus.size(); ++i) {
    rows += (i > 0 ? L", (" : L"(") + std::to_wstring(i + 1) + L", CONVERT(" +
            HexLiteral(m_corpus[i].value) + L" USING utf8mb4))";
  }
  Table(L'H', L"HOSTILE", Unique(L"kq_rw_hostile"),
        {Decl(L"ID", kRwI4, 4, kRwPrimary | kRwAsc, false), Decl(L"V", kRwUnicode, 300)},
        L"ID INT PRIMARY KEY, V VARCHAR(300)", rows);
  size_t nChecked = 0;
  for (const wchar_t* mode : kModes) {
    SetMode(mode);
    for (const CorpusEntry& e : m_corpus) {
      if (e.value.find(L'\0') != std::wstring::npos) continue;
      const std::wstring lit = Literal(e.value);
      const struct {
        const char* form;
        std::wstring query;
        std::string ids;
      } kForms[] = {
          {"comparison", L"SELECT ID FROM HOSTILE WHERE V = " + lit, Ids(e.value, false)},
          {"LIKE with ESCAPE",
           L"SELECT ID FROM HOSTILE WHERE V LIKE " + Literal(Prefix(e.value)) + L" ESCAPE '#'",
           Ids(e.value, true)},
          {"computed column",
           L"SELECT ID, CONCAT(V, " + lit + L") AS VV FROM HOSTILE WHERE VV = " +
               Literal(e.value + e.value),
           Ids(e.value, false)},
          {"sub-query",
           L"SELECT ID FROM HOSTILE WHERE ID IN (SELECT ID FROM HOSTILE WHERE V = " + lit + L")",
           Ids(e.value, false)},
          // The value given by the server for a "{name}" marker.
          {"marker", L"SELECT ID FROM HOSTILE WHERE V = {v}", Ids(e.value, false)},
      };
      CStandInQueryParameters* pclValues = CStandInQueryParameters::pclNew();
      pclValues->SetValue(L"v", StandInValue::Text(e.value));
      for (const auto& f : kForms) {
        SCOPED_TRACE(testing::Message()
                     << e.label << ", " << f.form << ", mode " << Utf8(std::wstring(mode)));
        const RwResult r = Rewritten(f.query, 1, 0, nullptr, pclValues);
        EXPECT_EQ(r.bOk, 1) << Utf8(std::wstring(m_pclError->StringDump().pszGet()));
        EXPECT_FALSE(r.params.empty()) << "literal left in the text: " << Utf8(r.statement);
        if (r.bOk != 1) continue;
        // Only the first cell: the id.
        std::string got;
        for (const ServerSession::Row& row : m_session.Rows(Utf8(r.formatted + L" ORDER BY 1")))
          got += (got.empty() ? "" : ";") + (row[0].has_value() ? *row[0] : "NULL");
        EXPECT_EQ(got, f.ids) << Utf8(r.formatted);
        ++nChecked;
      }
      pclValues->Release();
      // A computed column's text for a caller without a command (a search
      // over the query): its literals stay in the text, written again from
      // their values, so they mean the same in every sql_mode.
      const struct {
        const char* form;
        std::wstring column;
        std::wstring condition;  // "%" stands for the column's text
        std::string ids;
      } kKept[] = {
          {"kept in a computed column", L"CONCAT(V, " + lit + L")",
           L"% = CONVERT(" + HexLiteral(e.value + e.value) + L" USING utf8mb4)",
           Ids(e.value, false)},
          {"kept in a computed LIKE", L"V LIKE " + Literal(Prefix(e.value)) + L" ESCAPE '#'", L"%",
           Ids(e.value, true)},
      };
      for (const auto& f : kKept) {
        SCOPED_TRACE(testing::Message()
                     << e.label << ", " << f.form << ", mode " << Utf8(std::wstring(mode)));
        CSQLParserInfo* pclInfo = Digest(L"SELECT ID, " + f.column + L" AS VV FROM HOSTILE");
        CTString csColumn;
        m_pclError->Reset();
        EXPECT_EQ(CNACommand::s_bFormatExpressionColonneCalculee(
                      &csColumn, pclInfo, L"VV", CNASqlElt::SQLELT_WHERE, m_pclError,
                      m_session.pclConnection()),
                  1)
            << Utf8(std::wstring(m_pclError->StringDump().pszGet()));
        pclInfo->nRelease();
        std::wstring condition = f.condition;
        condition.replace(condition.find(L'%'), 1, csColumn.pszGet());
        const std::wstring sql = Expand(L"SELECT ID FROM @H WHERE ") + condition + L" ORDER BY 1";
        EXPECT_EQ(Rows(sql, true), f.ids) << Utf8(sql);
        ++nChecked;
      }
    }
    ExpectProbeIntact();
    EXPECT_TRUE(m_session.bSays(Expand(L"(SELECT COUNT(*) FROM @H) = ") +
                                std::to_wstring(m_corpus.size())));
  }
  size_t nUsable = 0;
  for (const CorpusEntry& e : m_corpus) nUsable += e.value.find(L'\0') == std::wstring::npos;
  EXPECT_EQ(nChecked, nUsable * 7 * 4);
}

// Whether MariaDB can hold the value as a table or column name: no
// character 0, none past the BMP, no "." (a table name's schema
// separator), no trailing blank, not empty, short enough.
bool bUsableAsName(const std::wstring& v) {
  if (v.empty() || v.size() > 40 || v.back() == L' ') return false;
  for (wchar_t c : v)
    if (c == 0 || c == L'.' || static_cast<unsigned long>(c) > 0xFFFF) return false;
  return true;
}

TEST_F(RewriteHostileServerTest, HostileTableAndColumnNamesAreQuotedInEverySqlMode) {
  size_t nChecked = 0, nUsable = 0;
  for (const CorpusEntry& e : m_corpus) {
    if (!bUsableAsName(e.value)) continue;
    ++nUsable;
    SCOPED_TRACE(e.label);
    SetMode(L"DEFAULT");
    // A fresh analysis: one table whose physical name and column hold the
    // value. The column's name does not begin with the value: a name that
    // begins with the dialect's quote is taken as quoted already (the
    // writers' rule for names their callers quoted).
    m_pAnalysis = std::make_unique<CStandInAnalysis>();
    m_physical.clear();
    const std::wstring physical = Unique(L"kq_rw_n") + L"_" + e.value;
    const std::wstring name = L"c" + e.value;
    Table(L'N', L"NAMED", physical,
          {Decl(L"ID", kRwI4, 4, kRwPrimary | kRwAsc, false), Decl(name.c_str(), kRwUnicode, 20)},
          L"ID INT PRIMARY KEY, " + Quote(name) + L" VARCHAR(20)", L"(1, 'a'), (2, 'b')");
    if (HasFatalFailure()) return;
    const std::wstring column = Quote(name);  // the stand-in reads `` as one backquote
    for (const wchar_t* mode : kModes) {
      SetMode(mode);
      SCOPED_TRACE(Utf8(std::wstring(mode)));
      const RwResult r =
          Rewritten(L"SELECT ID, " + column + L" FROM NAMED WHERE " + column + L" = 'b'", 1, 0);
      EXPECT_EQ(r.bOk, 1) << Utf8(std::wstring(m_pclError->StringDump().pszGet()));
      EXPECT_NE(r.statement.find(Quote(physical)), std::wstring::npos) << Utf8(r.statement);
      EXPECT_EQ(Rows(r.formatted, false), "2|b") << Utf8(r.formatted);
      ++nChecked;
    }
    SetMode(L"DEFAULT");
    ExpectProbeIntact();
    ASSERT_TRUE(m_session.bRun(L"DROP TABLE " + Quote(physical)));
    m_created.pop_back();
  }
  EXPECT_GT(nUsable, 25u);
  EXPECT_EQ(nChecked, nUsable * 4);
}

}  // namespace
}  // namespace kqtest
