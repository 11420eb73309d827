// The driver object's catalogue slots as the server calls them, through the
// stand-in host and the loaded kq230maria.so, against the throwaway MariaDB
// server: the tables of the connection's database, the databases with their
// tables, the column type names, a table's description by name, and whether
// tables exist (present, missing, and named with backquotes, quotes, ";" and
// "--").
//
// The tables live in the fixture's database under names made from the
// process's number, so that programs running at once keep apart; root makes
// and drops them over the server's socket. Lists of that shared database are
// read for this program's tables only.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/counted_string.h"
#include "core/module_entry.h"
#include "kq230/data_source_description_interface.h"
#include "kq230/vm_values.h"
#include "tests/host/native_access_fixture.h"
#include "tests/mariadb/client_library.h"
#include "values/any.h"

namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

// The wide text the driver wrote into a value; "<not a list>" for another
// type. The read goes through the value's own operations (the driver's).
std::wstring ListText(const CAny& clValue) {
  if (clValue.wGetType() != VX_DSTRW) return L"<not a list>";
  void* pData = nullptr;
  unsigned int nBytes = 0;
  clValue.pclGetIntern()->nGetDataAdr(&pData);
  if (clValue.pclGetIntern()->nGetUtilDataSize(&nBytes) != 0)
    clValue.pclGetIntern()->nGetDataSize(&nBytes);
  if (pData == nullptr) return L"";
  return std::wstring(static_cast<const wchar_t*>(pData), nBytes / sizeof(wchar_t));
}

std::vector<std::wstring> Split(const std::wstring& str, const std::wstring& sep) {
  std::vector<std::wstring> parts;
  size_t from = 0;
  for (;;) {
    const size_t at = str.find(sep, from);
    parts.push_back(str.substr(from, at == std::wstring::npos ? std::wstring::npos : at - from));
    if (at == std::wstring::npos) return parts;
    from = at + sep.size();
  }
}

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class NativeAccessLists : public kqtest::NativeAccessTest {
 protected:
  void SetUp() override {
    NativeAccessTest::SetUp();
    if (HasFatalFailure()) return;
    // Counted strings the test reads back come from the server's allocator.
    CInformationModule::ms_piStrMemAlloc = m_harness.Control().piGetStrMemAlloc();
    m_prefix = "kq25s_" + std::to_string(getpid()) + "_";
    const std::string db = "`" + m_stFacts.strDatabase + "`.";
    std::string sql;
    for (const std::string& name : Names()) {
      const std::string quoted = db + Quote(name);
      sql += "DROP TABLE IF EXISTS " + quoted + "; CREATE TABLE " + quoted +
             " (id INT PRIMARY KEY, a INT NOT NULL, b INT NOT NULL, UNIQUE KEY a_b (a, b));";
    }
    ASSERT_TRUE(bRunAsRoot(sql));
    m_bMade = true;
    m_piHost = NewConnection(CStandInConnection::ROUTE_TCP);
  }

  void TearDown() override {
    if (m_piHost != nullptr) {
      EXPECT_EQ(m_piHost->nAddRefCalls(), m_piHost->nReleaseCalls());
      m_piHost->nExternalRelease();
    }
    if (m_bMade) {
      std::string sql;
      for (const std::string& name : Names())
        sql += "DROP TABLE IF EXISTS `" + m_stFacts.strDatabase + "`." + Quote(name) + ";";
      EXPECT_TRUE(bRunAsRoot(sql));
    }
    NativeAccessTest::TearDown();
    CInformationModule::ms_piStrMemAlloc = nullptr;
  }

  // This program's tables: two plain ones ('_' and 'a' sort apart under the
  // server's collation and by character code) and the odd names.
  std::vector<std::string> Names() const {
    return {m_prefix + "ta", m_prefix + "t_b", m_prefix + "x`; DROP TABLE t; --",
            m_prefix + "it's", m_prefix + "semi;colon"};
  }
  static std::string Quote(const std::string& name) {
    std::string quoted = "`";
    for (char c : name) quoted += c == '`' ? std::string("``") : std::string(1, c);
    return quoted + "`";
  }

  bool bRunAsRoot(const std::string& sql) {
    const std::string command = "mariadb --no-defaults --protocol=socket --socket='" +
                                m_stFacts.strSocket + "' --user=root --batch";
    std::FILE* pipe = popen(command.c_str(), "w");
    if (pipe == nullptr) return false;
    std::fwrite(sql.data(), 1, sql.size(), pipe);
    return pclose(pipe) == 0;
  }

  // The lines of a list that name this program's tables.
  std::vector<std::wstring> OurLines(const std::wstring& list, const std::wstring& sep) {
    std::vector<std::wstring> lines;
    for (const std::wstring& line : Split(list, sep))
      if (line.rfind(Widen(m_prefix), 0) == 0) lines.push_back(line);
    return lines;
  }

  std::string m_prefix;
  bool m_bMade = false;
  CStandInConnection* m_piHost = nullptr;
};

TEST_F(NativeAccessLists, TableListNamesTheDatabasesTablesInTheServersOrderOrSorted) {
  const std::wstring p = Widen(m_prefix);
  const std::wstring db = Widen(m_stFacts.strDatabase);
  struct Case {
    unsigned int nFlags;
    std::vector<std::wstring> lines;
  };
  const Case cases[] = {
      {0x01, {p + L"it's", p + L"semi;colon", p + L"ta", p + L"t_b", p + L"x`; DROP TABLE t; --"}},
      {0x11, {p + L"it's", p + L"semi;colon", p + L"t_b", p + L"ta", p + L"x`; DROP TABLE t; --"}},
      {0x21,
       {p + L"it's\t" + db + L"\t\tTABLE", p + L"semi;colon\t" + db + L"\t\tTABLE",
        p + L"ta\t" + db + L"\t\tTABLE", p + L"t_b\t" + db + L"\t\tTABLE",
        p + L"x`; DROP TABLE t; --\t" + db + L"\t\tTABLE"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nFlags);
    CAny clValue;
    ASSERT_EQ(m_piDriver->bGetTableList(&clValue, m_piHost, c.nFlags), 1) << LastError();
    EXPECT_EQ(OurLines(ListText(clValue), L"\r\n"), c.lines);
  }
  CAny clEmpty;
  EXPECT_EQ(m_piDriver->bGetTableList(&clEmpty, m_piHost, 0), 1);
  EXPECT_EQ(ListText(clEmpty), L"");
}

TEST_F(NativeAccessLists, DatabaseListGivesTheFixturesDatabaseWithItsTables) {
  CXYString<wchar_t> clList;
  ASSERT_EQ(m_piDriver->bGetDatabaseList(&clList, m_piHost, 0x01), 1) << LastError();
  const std::wstring list(clList.pszGet(), static_cast<size_t>(clList.nGetLongueur()));
  clList.ReleaseDynStr();
  const std::wstring db = Widen(m_stFacts.strDatabase);
  std::wstring line;
  for (const std::wstring& each : Split(list, L"\r\n"))
    if (each.rfind(db + L"\t", 0) == 0) line = each;
  ASSERT_FALSE(line.empty()) << kqtest::NativeAccessTest::Narrow(list.c_str());
  const std::vector<std::wstring> ours = OurLines(line, L"\t");
  const std::wstring p = Widen(m_prefix);
  const std::vector<std::wstring> expected = {p + L"it's", p + L"semi;colon", p + L"ta",
                                              p + L"t_b", p + L"x`; DROP TABLE t; --"};
  EXPECT_EQ(ours, expected);
}

TEST_F(NativeAccessLists, TableExistsForPresentMissingAndOddlyNamedTables) {
  const std::wstring p = Widen(m_prefix);
  struct Case {
    std::wstring name;
    int bExists;
  };
  const Case cases[] = {
      {p + L"ta", 1},
      {p + L"missing", 0},
      {p + L"x`; DROP TABLE t; --", 1},
      {p + L"it's", 1},
      {p + L"semi;colon", 1},
      {p + L"x'; DROP TABLE " + p + L"ta; --", 0},
      {Widen(m_stFacts.strDatabase) + L"." + p + L"ta", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.name.c_str()));
    int bExists = -1;
    EXPECT_EQ(m_piDriver->bTableExists(&bExists, c.name.c_str(), m_piHost), 1) << LastError();
    EXPECT_EQ(bExists, c.bExists);
  }
  // Nothing ran as SQL: the tables are all still there.
  int bExists = 0;
  EXPECT_EQ(m_piDriver->bTableExists(&bExists, (p + L"ta").c_str(), m_piHost), 1);
  EXPECT_EQ(bExists, 1);
}

TEST_F(NativeAccessLists, ColumnFormatsAreTheNativeTypeNames) {
  CAny clValue;
  EXPECT_EQ(m_piDriver->bSQLFormatColonne(m_piHost, &clValue), 1);
  const std::vector<std::wstring> names = Split(ListText(clValue), L"\r\n");
  EXPECT_EQ(names.size(), 23u);
  for (const wchar_t* psz : {L"BIGINT", L"VARCHAR", L"LONGTEXT", L"DECIMAL", L"DATETIME(3)"})
    EXPECT_NE(std::find(names.begin(), names.end(), psz), names.end()) << Narrow(psz);
}

TEST_F(NativeAccessLists, TableDescriptionByNameHoldsColumnsAndTheComposedKey) {
  INADataSourceDescription* piSource =
      m_piDriver->piGetTableDesc(Widen(m_prefix + "x`; DROP TABLE t; --").c_str(), m_piHost);
  ASSERT_NE(piSource, nullptr) << LastError();
  EXPECT_EQ(piSource->nGetNumItems(), 4);  // id, a, b and the key a_b
  piSource->nExternalRelease();
  EXPECT_EQ(m_piDriver->piGetTableDesc(Widen(m_prefix + "missing").c_str(), m_piHost), nullptr);
}

}  // namespace
