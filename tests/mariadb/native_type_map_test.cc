// The MariaDB final type map against the fixture's server: one column per
// item type, made from the connection's map, stores each type's extreme
// values and gives them back unchanged; values past a type's range are
// refused by the server, never clipped. Each test has its own table: CTest
// runs them in parallel.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver/na_error.h"
#include "items/sql_type_map.h"
#include "mariadb/mysql_connection.h"
#include "mariadb/mysql_driver.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/driver_server_fixture.h"
#include "tests/mariadb/server_session.h"
#include "tests/support/bound_framework.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept = kq230::test_support::KeepClientLibraryForTheProgram();

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::wstring FromUtf8(const std::string& s) {
  CXYString<wchar_t> w;
  w.nAffecteUTF8(s.data(), static_cast<int>(s.size()));
  std::wstring r = w.pszGet() != nullptr ? w.pszGet() : L"";
  w.ReleaseDynStr();
  return r;
}

class NativeTypeMap : public ServerSuite<BoundFrameworkTest> {
 protected:
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    // The connection makes its map through the item layer's services, which
    // the back end's driver object holds.
    m_pclDriver = new CMySQLDriver;
    ASSERT_TRUE(m_session.bOpen(L"Connection=typemap"));
    m_pcl = m_session.pclConnection();
  }
  void TearDown() override {
    m_session.Close();
    delete m_pclDriver;
    ServerSession::EndClientLibrary();
    BoundFrameworkTest::TearDown();
  }

  void Run(const std::wstring& sql) { ASSERT_TRUE(m_session.bRun(sql)); }

  std::wstring TypeText(const stNATypeItemFacts& st) {
    CNAError clError;
    CNAMapConvertType* map = m_pcl->pclGetNativeTypeMap(&clError);
    EXPECT_NE(map, nullptr) << clError.StringDump().pszGet();
    if (map == nullptr) return L"";
    CXYString<wchar_t> out;
    EXPECT_TRUE(map->bFormat(st, &out)) << st.eItemType;
    std::wstring s = out.pszGet() != nullptr ? out.pszGet() : L"";
    out.ReleaseDynStr();
    return s;
  }

  ServerSession m_session;
  CMySQLDriver* m_pclDriver = nullptr;
  CMySQLConnection* m_pcl = nullptr;
};

stNATypeItemFacts Item(eNA_ITEMTYPE e, int nSize = 8, int nLogical = 8, int nInt = 0, int nDec = 0) {
  stNATypeItemFacts st;
  st.eItemType = e;
  st.nItemSize = nSize;
  st.nLogicalSize = nLogical;
  st.nIntegerPart = nInt;
  st.nDecimalPart = nDec;
  return st;
}

TEST_F(NativeTypeMap, EveryItemTypeHasAColumnTypeOfMariaDB) {
  for (int e = 1; e <= 33; ++e) {
    if (e == 8) continue;
    const std::wstring s = TypeText(Item(static_cast<eNA_ITEMTYPE>(e), 10, 10, 10, 2));
    EXPECT_EQ(s.find(L"NTEXT"), std::wstring::npos);
    EXPECT_EQ(s.find(L"TIMESTAMP"), std::wstring::npos);
    EXPECT_EQ(s.find(L"NVARCHAR"), std::wstring::npos);
  }
  EXPECT_EQ(TypeText(Item(NA_IT_R8)), L"DOUBLE");
  EXPECT_EQ(TypeText(Item(NA_IT_UI4)), L"INT UNSIGNED");
  EXPECT_EQ(TypeText(Item(NA_IT_DATETIME)), L"DATETIME(3)");
  EXPECT_EQ(TypeText(Item(NA_IT_DECIMAL, 20, 0, 30, 8)), L"DECIMAL(38,8)");
  EXPECT_EQ(TypeText(Item(NA_IT_UNICODE, 82, 40)), L"VARCHAR(40) CHARACTER SET utf8mb4");
}

TEST_F(NativeTypeMap, EachTypesExtremesAreStoredAndReadBackUnchanged) {
  std::string sAllBytes, sAllHex;
  for (int i = 0; i < 256; ++i) {
    sAllBytes.push_back(static_cast<char>(i));
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", i);
    sAllHex += hex;
  }
  const std::string sMemo(70000, 'm');
  const std::string sEmoji = "\xF0\x9F\x98\x80\xC3\xA9\xE2\x82\xAC";  // 4-, 2- and 3-byte characters
  std::string sMemoUnicode;
  while (sMemoUnicode.size() < 70000 * 4) sMemoUnicode += "\xF0\x9F\x98\x80";
  struct Case {
    stNATypeItemFacts st;
    std::wstring literal;  // SQL literal inserted
    std::string expected;  // the text fetched back
    bool bHex = false;     // fetched through HEX()
  };
  const Case cases[] = {
      {Item(NA_IT_I8), L"-9223372036854775808", "-9223372036854775808"},
      {Item(NA_IT_I8), L"9223372036854775807", "9223372036854775807"},
      {Item(NA_IT_IDAUTO), L"9223372036854775807", "9223372036854775807"},
      {Item(NA_IT_UI8), L"18446744073709551615", "18446744073709551615"},
      {Item(NA_IT_UI4), L"4294967295", "4294967295"},
      {Item(NA_IT_UI2), L"65535", "65535"},
      {Item(NA_IT_UI1), L"255", "255"},
      {Item(NA_IT_I4), L"-2147483648", "-2147483648"},
      {Item(NA_IT_IDAUTO4), L"2147483647", "2147483647"},
      {Item(NA_IT_I2), L"-32768", "-32768"},
      {Item(NA_IT_I1), L"-128", "-128"},
      {Item(NA_IT_ENUMERATION), L"-2147483648", "-2147483648"},
      {Item(NA_IT_TIMELENGHT), L"-9223372036854775808", "-9223372036854775808"},
      {Item(NA_IT_BOOLEEN), L"1", "1"},
      {Item(NA_IT_R8), L"0.1234567890123", "0.1234567890123"},
      {Item(NA_IT_R8), L"-1.7976931348623157e308", "-1.7976931348623157e308"},
      {Item(NA_IT_REELTURBO), L"2.2250738585072014e-308", "2.2250738585072014e-308"},
      {Item(NA_IT_MONETAIRE), L"-604462909807314587.353088", "-604462909807314587.353088"},
      {Item(NA_IT_DECIMAL, 20, 0, 30, 8), L"-123456789012345678901234567890.12345678",
       "-123456789012345678901234567890.12345678"},
      {Item(NA_IT_DATETIME), L"'9999-12-31 23:59:59.999'", "9999-12-31 23:59:59.999"},
      {Item(NA_IT_DATETIME), L"'1000-01-01 00:00:00.001'", "1000-01-01 00:00:00.001"},
      {Item(NA_IT_HEURE, 10), L"'23:59:59.999'", "23:59:59.999"},
      {Item(NA_IT_DATE8, 9), L"'9999-12-31'", "9999-12-31"},
      {Item(NA_IT_DATE6, 7), L"'0001-01-01'", "0001-01-01"},
      {Item(NA_IT_CHAR, 1, 1), L"'z'", "z"},
      {Item(NA_IT_TEXTE, 41, 40), L"'ends with blanks  '", "ends with blanks  "},
      {Item(NA_IT_IMAGE, 11, 10), L"'img  '", "img  "},
      {Item(NA_IT_MEMOTEXTE), L"'" + Wide(sMemo) + L"'", sMemo},
      {Item(NA_IT_UNICODE, 20, 3), L"'" + FromUtf8(sEmoji) + L"'", sEmoji},
      {Item(NA_IT_MEMOUNICODE), L"'" + FromUtf8(sMemoUnicode) + L"'", sMemoUnicode},
      {Item(NA_IT_BINAIRE, 258, 256), L"X'" + Wide(sAllHex) + L"'", sAllHex, true},
      {Item(NA_IT_MEMOBINAIRE), L"X'" + Wide(sAllHex) + L"'", sAllHex, true},
      {Item(NA_IT_MEMOBINAIRE4), L"X'" + Wide(sAllHex) + L"'", sAllHex, true},
      {Item(NA_IT_COMBINAISON, 10, 8), L"X'FFFFFFFFFFFFFFFF'", "FFFFFFFFFFFFFFFF", true},
  };
  for (const Case& c : cases) {
    const std::wstring type = TypeText(c.st);
    SCOPED_TRACE(std::string(type.begin(), type.end()) + " <- " + c.expected.substr(0, 40));
    Run(L"DROP TABLE IF EXISTS kq_type_map_extremes");
    Run(L"CREATE TABLE kq_type_map_extremes (c " + type + L") CHARACTER SET latin1");
    Run(L"INSERT INTO kq_type_map_extremes VALUES (" + c.literal + L")");
    const auto rows = m_session.FirstCells(c.bHex ? "SELECT HEX(c) FROM kq_type_map_extremes" : "SELECT c FROM kq_type_map_extremes");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].size(), c.expected.size());
    EXPECT_TRUE(rows[0] == c.expected) << rows[0].substr(0, 80);
  }
  Run(L"DROP TABLE IF EXISTS kq_type_map_extremes");
}

TEST_F(NativeTypeMap, OutOfRangeValuesAreRefusedNotClipped) {
  // Strict mode: a value the column cannot hold is an error, never a silent
  // change; the map's columns are as wide as their item types and no wider.
  const struct {
    eNA_ITEMTYPE e;
    const wchar_t* literal;
  } cases[] = {{NA_IT_UI4, L"4294967296"}, {NA_IT_UI2, L"-1"}, {NA_IT_I1, L"128"}};
  for (const auto& c : cases) {
    Run(L"DROP TABLE IF EXISTS kq_type_map_range");
    Run(L"CREATE TABLE kq_type_map_range (c " + TypeText(Item(c.e)) + L")");
    CNAError clError;
    const std::wstring sql = std::wstring(L"INSERT INTO kq_type_map_range VALUES (") + c.literal + L")";
    EXPECT_EQ(m_pcl->bExecuteQueryNoResult(&clError, sql.c_str()), 0) << static_cast<int>(c.e);
  }
  Run(L"DROP TABLE IF EXISTS kq_type_map_range");
}

}  // namespace
}  // namespace kqtest
