// The literals of the MariaDB connection against the real server of the test
// fixture: each value written by bConvertValueToString reads back from the
// server byte for byte (its HEX, its character set, its number or its stored
// date), in the server's default sql_mode and after the program switched
// NO_BACKSLASH_ESCAPES on the open session; no literal holds a zero byte, and
// a text that tries to leave its literal stays a value.
#include <climits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/mixed_width_concat.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/item_services.h"
#include "mariadb/mysql_connection.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/server_session.h"
#include "tests/support/utf8_reference.h"
#include "tests/values/bound_values.h"
#include "values/date_time_base.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

CAny Dstrw(const std::wstring& text) {
  CAny v;
  v.__SetType(VX_DSTRW, 0);
  v.SetValueByte(text.data(), static_cast<unsigned int>(text.size() * sizeof(wchar_t)));
  return v;
}

// A driver object that hands the item layer's services over (for the casts
// of the date items).
class ServicesDriver : public CNADriver {
 public:
  ServicesDriver() { SetItemServices(g_pclGetItemServices()); }
  CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t*,
                                                           INAConnectionDescription*) override {
    return nullptr;
  }
};

class LiteralRoundTrip : public BoundValuesTest {
 protected:
  static void SetUpTestSuite() { ServerSession::ReadServer(); }
  static void TearDownTestSuite() { ServerSession::ForgetServer(); }
  void SetUp() override {
    BoundValuesTest::SetUp();
    m_pclDriver = new ServicesDriver();
    m_pclDriver->ExternalAddRef();
    ASSERT_TRUE(m_session.bOpen(L"Connection=literals"));
    m_pclConnection = m_session.pclConnection();
  }
  void TearDown() override {
    m_session.Close();
    if (m_pclDriver != nullptr) {
      EXPECT_EQ(m_pclDriver->nExternalRelease(), 0);
    }
    ServerSession::EndClientLibrary();
    BoundValuesTest::TearDown();
  }

  // The literal, as the SQL builder gets it (UTF-8 text for this session).
  std::wstring Literal(const CAny& v, int eItem = 0) {
    CTStringConcatAW clOut(65001, -1);
    CNAError clError;
    EXPECT_EQ(m_pclConnection->bConvertValueToString(&clError, &clOut, &v, eItem, 0, 0, 0), 1)
        << clError.StringDump().pszGet();
    // No zero byte: the 8-bit text is exactly as long as the builder says.
    EXPECT_EQ(std::strlen(clOut.pszGetA()), clOut.nGetLength());
    return clOut.pszGetW();
  }

  bool bServerSays(const std::wstring& cond) { return m_session.bSays(cond); }
  bool bRun(const std::wstring& sql) { return m_session.bRun(sql); }

  ServerSession m_session;
  ServicesDriver* m_pclDriver = nullptr;
  CMySQLConnection* m_pclConnection = nullptr;
};

const wchar_t* const kModes[] = {nullptr, L"NO_BACKSLASH_ESCAPES"};

std::wstring ModeName(const wchar_t* psz) { return psz != nullptr ? psz : L"(the server's)"; }

TEST_F(LiteralRoundTrip, TextsReadBackByteForByteInEveryMode) {
  // The check itself tells a wrong value.
  ASSERT_FALSE(bServerSays(L"HEX('a') = '62'"));
  ASSERT_TRUE(bServerSays(L"HEX('a') = '61'"));
  std::wstring big;
  const std::wstring piece = L"ab'\\c\x1A\r\n\u20AC\U0001F600\"";
  while (big.size() < (1u << 20) / 2) big += piece;
  std::wstring plain(1u << 20, L'q');
  const std::wstring texts[] = {
      L"it's",
      L"'",
      L"''",
      L"\\",
      L"ends in a backslash\\",
      L"\\'",
      L"a\\'); DO SLEEP(5); -- ",
      std::wstring(L"x\0y", 3),
      std::wstring(L"\0", 1),
      L"\r\n",
      L"\x1A",
      L"%_",
      L"\U0001F600 \U00010348",
      L"\u00E9\u20AC",
      big,
      plain,
  };
  for (const wchar_t* pszMode : kModes) {
    SCOPED_TRACE(ModeName(pszMode));
    if (pszMode != nullptr) {
      ASSERT_TRUE(bRun(std::wstring(L"SET sql_mode='") + pszMode + L"'"));
    }
    for (const std::wstring& text : texts) {
      SCOPED_TRACE(testing::Message() << "text of " << text.size() << " characters: "
                                      << std::string(text.begin(), text.begin() + std::min<size_t>(text.size(), 24)).c_str());
      const std::wstring lit = Literal(Dstrw(text));
      EXPECT_TRUE(bServerSays(L"HEX(" + lit + L") = '" + Hex(Utf8(text)) + L"'"))
          << (lit.size() < 200 ? std::string(lit.begin(), lit.end()) : "(long)");
      EXPECT_TRUE(bServerSays(L"CHARSET(" + lit + L") = 'utf8mb4'"));
    }
    // The 8-bit texts of the language's code page reach the server as the
    // same characters.
    CAny vA;
    vA.__SetType(VX_PSTRA, 0);
    vA.pclGetIntern()->SetValue("O'Hara\\ \xE9");
    EXPECT_TRUE(bServerSays(L"HEX(" + Literal(vA) + L") = '" + Hex(Utf8(L"O'Hara\\ \u00E9")) + L"'"));
  }
}

TEST_F(LiteralRoundTrip, BinariesOfEveryByteReadBackWhole) {
  std::vector<unsigned char> bytes(256);
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<unsigned char>(i);
  std::wstring hex;
  for (unsigned char b : bytes) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0xF];
  }
  CAny v;
  v.SetBIN(bytes.data(), 256);
  CAny vTrailingZero;
  const unsigned char abyZero[] = {'a', 0, 0};
  vTrailingZero.SetBIN(abyZero, 3);
  for (const wchar_t* pszMode : kModes) {
    SCOPED_TRACE(ModeName(pszMode));
    if (pszMode != nullptr) {
      ASSERT_TRUE(bRun(std::wstring(L"SET sql_mode='") + pszMode + L"'"));
    }
    EXPECT_TRUE(bServerSays(L"HEX(" + Literal(v) + L") = '" + hex + L"'"));
    EXPECT_TRUE(bServerSays(L"LENGTH(" + Literal(vTrailingZero) + L") = 3"));
    EXPECT_TRUE(bServerSays(L"CHARSET(" + Literal(v) + L") = 'binary'"));
  }
}

TEST_F(LiteralRoundTrip, ExtremeNumbersReadBackExactly) {
  CAny vI8Min, vI8Max, vUI8Max, vI4Min, vR8Big, vR8Small, vDecimal;
  vI8Min.SetI8(LLONG_MIN);
  vI8Max.SetI8(LLONG_MAX);
  vUI8Max.SetUI8(ULLONG_MAX);
  vI4Min.SetI4(INT_MIN);
  vR8Big.SetR8(-1.7976931348623157e308);
  vR8Small.SetR8(2.2250738585072014e-308);
  vDecimal.__SetType(VX_PSTRW, 0);
  const wchar_t szDecimal[] = L"-9999999999999999999999999999.9999999999";
  vDecimal.SetValueByte(szDecimal, sizeof szDecimal - sizeof(wchar_t));
  ASSERT_LT(vDecimal.__nCastTo(VX_DECIMAL, nullptr, 1), 100);
  struct Case {
    const CAny* value;
    const wchar_t* check;  // %s: the literal
  };
  const Case cases[] = {
      {&vI8Min, L"CAST(%s AS CHAR) = '-9223372036854775808'"},
      {&vI8Max, L"CAST(%s AS CHAR) = '9223372036854775807'"},
      {&vUI8Max, L"CAST(%s AS CHAR) = '18446744073709551615'"},
      {&vI4Min, L"CAST(%s AS CHAR) = '-2147483648'"},
      {&vR8Big, L"%s = CAST('-1.7976931348623157e308' AS DOUBLE)"},
      {&vR8Small, L"%s = CAST('2.2250738585072014e-308' AS DOUBLE)"},
      {&vDecimal, L"CAST(%s AS CHAR) = '-9999999999999999999999999999.9999999999'"},
  };
  for (const wchar_t* pszMode : kModes) {
    SCOPED_TRACE(ModeName(pszMode));
    if (pszMode != nullptr) {
      ASSERT_TRUE(bRun(std::wstring(L"SET sql_mode='") + pszMode + L"'"));
    }
    for (const Case& c : cases) {
      std::wstring check = c.check;
      const std::wstring lit = Literal(*c.value);
      check.replace(check.find(L"%s"), 2, lit);
      EXPECT_TRUE(bServerSays(check)) << std::string(check.begin(), check.end());
    }
  }
}

TEST_F(LiteralRoundTrip, DatesAndTimesAreStoredAsWritten) {
  CAny vZeroDate, vLastDate, vTime;
  vZeroDate.SetDATEW(L"00000000");
  vLastDate.SetDATEW(L"99991231");
  vTime.SetTIMEW(L"235959999");
  CDateTimeBase last, zero;
  last.Set(9999, 12, 31, 23, 59, 59, 999);
  zero.Set(0, 0, 0, 12, 34, 56, 789);
  CAny vLastDateTime, vZeroDateTime;
  vLastDateTime.SetDATETIME(CDateTime(last));
  vZeroDateTime.SetDATETIME(CDateTime(zero));
  struct Case {
    const CAny* value;
    const wchar_t* column;
    const wchar_t* stored;
  };
  const Case cases[] = {
      {&vZeroDate, L"d", L"0000-00-00"},
      {&vLastDate, L"d", L"9999-12-31"},
      {&vTime, L"t", L"23:59:59.999"},
      {&vLastDateTime, L"dt", L"9999-12-31 23:59:59.999"},
      {&vZeroDateTime, L"dt", L"0000-00-00 12:34:56.789"},
  };
  // The server's default mode is strict: a literal it does not read as the
  // value is refused rather than stored as another.
  for (const wchar_t* pszMode : kModes) {
    SCOPED_TRACE(ModeName(pszMode));
    if (pszMode != nullptr) {
      ASSERT_TRUE(bRun(std::wstring(L"SET sql_mode=CONCAT(@@sql_mode, ',") + pszMode + L"')"));
    }
    ASSERT_TRUE(bRun(L"CREATE TEMPORARY TABLE lit_dates (d DATE, t TIME(3), dt DATETIME(3))"));
    ASSERT_TRUE(bServerSays(L"@@sql_mode LIKE '%STRICT_TRANS_TABLES%'"));
    for (const Case& c : cases) {
      const std::wstring lit = Literal(*c.value);
      SCOPED_TRACE(std::string(lit.begin(), lit.end()));
      ASSERT_TRUE(bRun(L"DELETE FROM lit_dates"));
      ASSERT_TRUE(bRun(std::wstring(L"INSERT INTO lit_dates (") + c.column + L") VALUES (" + lit +
                       L")"));
      EXPECT_TRUE(bServerSays(std::wstring(L"(SELECT CAST(") + c.column +
                              L" AS CHAR) FROM lit_dates) = '" + c.stored + L"'"));
    }
    ASSERT_TRUE(bRun(L"DROP TEMPORARY TABLE lit_dates"));
  }
}

TEST_F(LiteralRoundTrip, TheIntroducerFollowsTheSessionsCharacterSet) {
  // The literal of a text holding a backslash is a hexadecimal one in the
  // session's character set: it compares with the session's texts as a text.
  const std::wstring lit = Literal(Dstrw(L"A\\b"));
  EXPECT_EQ(lit, L"_utf8mb4 X'415C62'");
  EXPECT_TRUE(bServerSays(lit + L" = 'a\\\\B'"));  // the default collation ignores case
  EXPECT_EQ(Literal(Dstrw(L"it's")), L"'it''s'");
}

}  // namespace
}  // namespace kqtest
