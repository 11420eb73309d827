// The literals of the connection's SQL dialect without a server: every
// language type as a literal for the generic kinds and for MariaDB's kind,
// casts made and skipped, dates and times in every server kind's form, text
// that is no date, and the hexadecimal helpers against a reference model.
#include <climits>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/mixed_width_concat.h"
#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/item_services.h"
#include "items/item_types.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/values/bound_values.h"
#include "values/date_time_base.h"

namespace kqtest {
namespace {

// The generic connection with a server kind set by the test.
class KindConnection : public CNAConnectionDescription {
 public:
  using CNAConnectionDescription::CNAConnectionDescription;
  int bOpen(CNAError*) override { return 0; }
  int bIsOpen() const override { return 0; }
  int bClose(CNAError*) override { return 1; }
  void _InitZB2NativeType() override {}
  void SetKind(int nKind) { _SetServerKind(nKind); }
};

// A driver object that hands the item layer's services over, as the back
// end does.
class ServicesDriver : public CNADriver {
 public:
  ServicesDriver() { SetItemServices(g_pclGetItemServices()); }
  CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t*,
                                                           INAConnectionDescription*) override {
    return nullptr;
  }
};

class SqlLiterals : public BoundValuesTest {
 protected:
  void SetUp() override {
    BoundValuesTest::SetUp();
    m_pclDriver = new ServicesDriver();
    m_pclDriver->ExternalAddRef();
    m_pclConnection = new KindConnection(L"Connection=literals", &m_host);
    m_pclConnection->AddRef();
  }
  void TearDown() override {
    m_pclConnection->nRelease();
    if (m_pclDriver != nullptr) {
      EXPECT_EQ(m_pclDriver->nExternalRelease(), 0);
    }
    BoundValuesTest::TearDown();
  }

  // The literal of the value for the kind, or "<failed: code>".
  std::wstring Literal(const CAny& clValue, int nKind = kServerKindNone, int eItem = 0,
                       int bFlag = 0) {
    m_pclConnection->SetKind(nKind);
    CTStringConcatAW clOut(kConcatModeWide, -1);
    CNAError clError;
    if (!m_pclConnection->bConvertValueToString(&clError, &clOut, &clValue, eItem, 0, bFlag, 0))
      return L"<failed: " + std::to_wstring(clError.nGetUserErrorCode()) + L">";
    EXPECT_EQ(clError.eGetErrorType(), -1) << "an error left behind a success";
    return clOut.pszGetW();
  }

  HostConnectionFake m_host;
  ServicesDriver* m_pclDriver = nullptr;
  KindConnection* m_pclConnection = nullptr;
};

CAny Pstrw(const wchar_t* psz) {
  CAny v;
  v.__SetType(VX_PSTRW, 0);
  v.SetValueByte(psz, static_cast<unsigned int>(std::wcslen(psz) * sizeof(wchar_t)));
  return v;
}

CAny DateTime(int y, int mo, int d, int h, int mi, int s, int ms) {
  CDateTimeBase base;
  base.Set(y, mo, d, h, mi, s, ms);
  CDateTime dt(base);
  CAny v;
  v.SetDATETIME(dt);
  return v;
}

TEST_F(SqlLiterals, EveryLanguageTypeGivesItsLiteral) {
  CAny vNull;
  vNull.SetI4(7);
  vNull.SetNull(true);
  CAny vNone;
  CAny vTrue, vFalse, vI1, vI2, vI4, vI8, vUI8, vR8, vR4, vCY;
  vTrue.SetBOOL(5);
  vFalse.SetBOOL(0);
  vI1.SetI1(-128);
  vI2.SetI2(-32768);
  vI4.SetI4(INT_MIN);
  vI8.SetI8(LLONG_MIN);
  vUI8.SetUI8(ULLONG_MAX);
  vR8.SetR8(-1.5e300);
  vR4.SetR4(0.25f);
  CAny vBin;
  const unsigned char abyBin[] = {0x00, 0xFF, 0x27, 0x5C, 0x00};
  vBin.SetBIN(abyBin, sizeof abyBin);
  CAny vEmptyBin;
  vEmptyBin.SetBIN(nullptr, 0);
  CAny vCaraZero;
  vCaraZero.__SetType(VX_CARA, 0);
  CAny vPstra;
  vPstra.__SetType(VX_PSTRA, 0);
  vPstra.pclGetIntern()->SetValue("O'Hara");
  CAny vDate, vZeroDate, vTime;
  vDate.SetDATEW(L"20190304");
  vZeroDate.SetDATEW(L"00000000");
  vTime.SetTIMEW(L"050607089");
  const CAny vDateTime = DateTime(2019, 3, 4, 5, 6, 7, 89);

  struct Case {
    const char* name;
    const CAny* value;
    int kind;
    int flag;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {"the NULL flag", &vNull, 5, 0, L"NULL"},
      {"type 0", &vNone, 5, 0, L"NULL"},
      {"true", &vTrue, 5, 0, L"1"},
      {"false", &vFalse, 5, 0, L"0"},
      {"smallest I1", &vI1, 5, 0, L"-128"},
      {"smallest I2", &vI2, 5, 0, L"-32768"},
      {"smallest I4", &vI4, 5, 0, L"-2147483648"},
      {"smallest I8", &vI8, 5, 0, L"-9223372036854775808"},
      {"largest UI8", &vUI8, 5, 0, L"18446744073709551615"},
      {"a double", &vR8, 5, 0, L"-1.5e+300"},
      {"a float", &vR4, 5, 0, L"0.25"},
      {"a quote doubled (generic)", &vPstra, 0, 0, L"'O''Hara'"},
      {"binary whole, zeros included (generic)", &vBin, 0, 0, L"X'00FF275C00'"},
      {"binary whole, zeros included (MariaDB)", &vBin, 5, 0, L"X'00FF275C00'"},
      {"empty binary", &vEmptyBin, 0, 0, L"X''"},
      {"a character 0 is empty", &vCaraZero, 0, 0, L"''"},
      {"date", &vDate, 5, 0, L"'2019-03-04'"},
      {"date, escape clause", &vDate, 5, 1, L"{d '2019-03-04'}"},
      {"zero date on MariaDB", &vZeroDate, 5, 0, L"'0000-00-00'"},
      {"zero date, escape clause", &vZeroDate, 5, 1, L"{d '0000-00-00'}"},
      {"date on kind 1", &vDate, 1, 0, L"TO_DATE( '20190304', 'YYYYMMDD')"},
      {"date on kind 11", &vDate, 11, 0, L"MDY(03,04,2019)"},
      {"time", &vTime, 5, 0, L"'05:06:07.089'"},
      {"time, escape clause", &vTime, 5, 1, L"{t '05:06:07.089'}"},
      {"time on kind 7: no milliseconds", &vTime, 7, 0, L"'05:06:07'"},
      {"time on kind 1", &vTime, 1, 0, L"TO_TIMESTAMP( '050607089', 'HH24MISSFF3')"},
      {"time on kind 11", &vTime, 11, 0, L"DATETIME(05:06) HOUR TO MINUTE"},
      {"date-time", &vDateTime, 5, 0, L"'2019-03-04 05:06:07.089'"},
      {"date-time, escape clause", &vDateTime, 5, 1, L"{ts '2019-03-04 05:06:07.089'}"},
      {"date-time on kind 1", &vDateTime, 1, 0,
       L"TO_TIMESTAMP( '20190304050607089', 'YYYYMMDDHH24MISSFF3')"},
      {"date-time on kind 11", &vDateTime, 11, 0,
       L"DATETIME(2019-03-04 05:06:07.089) YEAR TO FRACTION"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Literal(*c.value, c.kind, 0, c.flag), c.expected);
  }
}

TEST_F(SqlLiterals, TheZeroDateTimeKeepsItsTimeWithAFourDigitYear) {
  // The language's date-time with an empty date and a time of day.
  const CAny v = DateTime(0, 0, 0, 12, 34, 56, 789);
  const std::wstring s = Literal(v, kServerKindMariaDB);
  if (s == L"NULL") GTEST_SKIP() << "the language reads an empty date as no date-time";
  EXPECT_EQ(s, L"'0000-00-00 12:34:56.789'");
  EXPECT_EQ(Literal(v, kServerKindMariaDB, 0, 1), L"{ts '0000-00-00 12:34:56.789'}");
}

TEST_F(SqlLiterals, ADateTimeForATimeItemIsWrittenAsATime) {
  const CAny v = DateTime(2019, 3, 4, 23, 59, 58, 999);
  EXPECT_EQ(Literal(v, kServerKindMariaDB, NA_IT_HEURE), L"'23:59:58.999'");
  // Kind 2 writes a year 0 as 1900.
  const CAny vYear0 = DateTime(0, 1, 2, 3, 4, 5, 6);
  EXPECT_EQ(Literal(vYear0, 2), L"'1900-01-02 03:04:05.006'");
}

TEST_F(SqlLiterals, TextThatIsNoDateOrTimeIsUserError43) {
  struct Case {
    const char* name;
    unsigned short type;
    const wchar_t* text;
  };
  const Case cases[] = {
      {"a letter in a date", VX_DATEW, L"2019x304"},
      {"a quote in a date", VX_DATEW, L"2019'304"},
      {"month 13", VX_DATEW, L"20191304"},
      {"February 30", VX_DATEW, L"20190230"},
      {"hour 24", VX_TIMEW, L"240000000"},
      {"minute 60", VX_TIMEW, L"126000000"},
      {"a blank in a time", VX_TIMEW, L"12 000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CAny v;
    v.__SetType(c.type, 0);
    v.pclGetIntern()->SetValue(c.text);
    for (int nKind : {1, 5, 11}) {
      SCOPED_TRACE(nKind);
      CTStringConcatAW clOut(kConcatModeWide, -1);
      CNAError clError;
      m_pclConnection->SetKind(nKind);
      EXPECT_EQ(m_pclConnection->bConvertValueToString(&clError, &clOut, &v, 0, 0, 0, 0), 0);
      EXPECT_EQ(clError.nGetUserErrorCode(), 43u);
      const std::wstring dump = clError.StringDump().pszGet();
      EXPECT_NE(dump.find(c.type == VX_TIMEW ? L"KQMARIA=1.9" : L"KQMARIA=1.8"), std::wstring::npos)
          << dump;
    }
  }
  // A leap day exists in a leap year.
  CAny v;
  v.SetDATEW(L"20240229");
  EXPECT_EQ(Literal(v, kServerKindMariaDB), L"'2024-02-29'");
}

TEST_F(SqlLiterals, ANumberWhoseTextIsNoNumberIsRefused) {
  CAny v;
  v.SetR8(std::nan(""));
  EXPECT_EQ(Literal(v, kServerKindMariaDB), L"<failed: 44>");
  v.SetR8(INFINITY);
  EXPECT_EQ(Literal(v, kServerKindMariaDB), L"<failed: 44>");
}

TEST_F(SqlLiterals, CastsToTheItemTypeBeforeWriting) {
  struct Case {
    const char* name;
    CAny value;
    int item;
    const wchar_t* expected;
  };
  CAny vI8;
  vI8.SetI8(42);
  CAny vR8;
  vR8.SetR8(2.0);
  Case cases[] = {
      {"a text for an integer item", Pstrw(L"42"), NA_IT_I4, L"42"},
      {"a number for a text item", vI8, NA_IT_TEXTE, L"'42'"},
      {"a double for an integer item", vR8, NA_IT_I8, L"2"},
      {"a text the item cannot hold is written as it is", Pstrw(L"abc"), NA_IT_I4, L"'abc'"},
      {"a date text for a date item", Pstrw(L"20190304"), NA_IT_DATE8, L"'2019-03-04'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Literal(c.value, kServerKindMariaDB, c.item), c.expected);
  }
}

TEST_F(SqlLiterals, FlagZeroKeepsNumbersThatFitAndCastsTheRest) {
  struct Case {
    const char* name;
    CAny value;
    int item;
    int flag;
    unsigned short typeAfter;
  };
  CAny vI2, vI4, vI8Small, vI8Big, vR8;
  vI2.SetI2(3);
  vI4.SetI4(3);
  vI8Small.SetI8(3);
  vI8Big.SetI8(3000000000LL);
  vR8.SetR8(3.5);
  Case cases[] = {
      {"I2 for an I1 item", vI2, NA_IT_I1, 0, VX_I2},
      {"I4 for an R4 item", vI4, NA_IT_R4, 0, VX_I4},
      {"I8 within I4 for an I4 item is cast", vI8Small, NA_IT_I4, 0, VX_I4},
      {"I8 outside I4 for an I4 item stays", vI8Big, NA_IT_I4, 0, VX_I8},
      {"R8 for an I4 item stays", vR8, NA_IT_I4, 0, VX_R8},
      {"R8 for an I4 item with flag 1 is cast", vR8, NA_IT_I4, 1, VX_I4},
      {"I2 for an I4 item is cast", vI2, NA_IT_I4, 0, VX_I4},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    CNAError clError;
    EXPECT_EQ(m_pclConnection->bCastCAnyIntoDBType(&clError, &c.value, c.item, 0, c.flag), 1);
    EXPECT_EQ(c.value.nGetTypeCode(), c.typeAfter);
  }
}

TEST_F(SqlLiterals, ARefusedCastLeavesTheValueAndReportsTheLanguagesCode) {
  CAny v = Pstrw(L"abc");
  CNAError clError;
  EXPECT_EQ(m_pclConnection->bCastCAnyIntoDBType(&clError, &v, NA_IT_I4, 0, 1), 0);
  EXPECT_EQ(v.nGetTypeCode(), VX_PSTRW);
  const wchar_t* psz = nullptr;
  v.pclGetIntern()->nGetPCWSTR(&psz);
  EXPECT_STREQ(psz, L"abc");
  EXPECT_EQ(clError.eGetErrorType(), 0);
  const std::wstring dump = clError.StringDump().pszGet();
  EXPECT_NE(dump.find(L"KQMARIA=1.16"), std::wstring::npos) << dump;
  // Binaries are never cast.
  CAny vBin;
  const unsigned char aby[] = {1, 2};
  vBin.SetBIN(aby, 2);
  EXPECT_EQ(m_pclConnection->bCastCAnyIntoDBType(&clError, &vBin, NA_IT_TEXTE, 0, 1), 1);
  EXPECT_EQ(vBin.nGetTypeCode(), VX_BIN);
  // A short time text for a time item becomes a time.
  CAny vTime = Pstrw(L"12");
  CNAError clTimeError;
  EXPECT_EQ(m_pclConnection->bCastCAnyIntoDBType(&clTimeError, &vTime, NA_IT_DATETIME,
                                                 NA_IT_HEURE, 1),
            1);
  EXPECT_EQ(vTime.nGetTypeCode(), VX_TIMEA);
}

TEST_F(SqlLiterals, WithoutTheItemLayersServicesACastIsAClearError) {
  m_pclDriver->SetItemServices(nullptr);
  CAny v = Pstrw(L"1");
  CNAError clError;
  EXPECT_EQ(m_pclConnection->bCastCAnyIntoDBType(&clError, &v, NA_IT_I4, 0, 1), 0);
  EXPECT_EQ(clError.nGetUserErrorCode(), 8u);
  CNAError clLiteralError;
  CTStringConcatAW clOut(kConcatModeWide, -1);
  EXPECT_EQ(m_pclConnection->bConvertValueToString(&clLiteralError, &clOut, &v, NA_IT_I4, 0, 0, 0),
            0);
  EXPECT_EQ(clLiteralError.nGetUserErrorCode(), 8u);
  // Without a target item nothing is cast: the literal is written.
  EXPECT_EQ(Literal(v, kServerKindMariaDB), L"'1'");
  m_pclDriver->SetItemServices(g_pclGetItemServices());
}

TEST_F(SqlLiterals, GenericEscapingDoublesQuotesAndMarksNationalTexts) {
  struct Case {
    const char* name;
    int kind;
    int mode;
    const wchar_t* text;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {"kind 0", 0, kConcatModeWide, L"a'b''", L"'a''b'''''"},
      {"kind 1 national", 1, kConcatModeWide, L"x'\u00e9", L"N'x''\u00e9'"},
      {"kind 2 national in UTF-8", 2, 65001, L"\U0001F600'", L"N'\U0001F600'''"},
      {"empty", 2, kConcatModeWide, L"", L"''"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_pclConnection->SetKind(c.kind);
    CTStringConcatAW clOut(c.mode, 65001);
    std::wstring text = c.text;
    ASSERT_EQ(m_pclConnection->_bEscapeString(
                  nullptr, &clOut, VX_PSTRW, reinterpret_cast<unsigned char*>(text.data()),
                  static_cast<unsigned int>(text.size() * sizeof(wchar_t))),
              1);
    EXPECT_EQ(std::wstring(clOut.pszGetW()), c.expected);
  }
}

TEST_F(SqlLiterals, TimeDigitsAreWrittenWithTheirSeparators) {
  struct Case {
    const wchar_t* digits;
    const wchar_t* expected;
  };
  const Case cases[] = {{L"", L""},           {L"1", L"1"},
                        {L"1234", L"12:34"},  {L"123456", L"12:34:56"},
                        {L"123456789", L"12:34:56.789"}, {L"1234567891", L"12:34:56.789"},
                        {L"12' OR 1=1 --", L"12"}, {L"1234x6", L"12:34"}};
  for (const Case& c : cases) {
    CTStringConcatAW clOut(kConcatModeWide, -1);
    EXPECT_EQ(CNAConnectionDescription::s_bTimeToStringIncomplete(nullptr, &clOut, c.digits, L"."), 1);
    EXPECT_EQ(std::wstring(clOut.pszGetW()), c.expected) << c.digits;
  }
}

TEST_F(SqlLiterals, HexadecimalRoundTripsAgainstAModel) {
  std::mt19937 rng(19);
  for (int round = 0; round < 200; ++round) {
    std::vector<unsigned char> bytes(rng() % 70);
    for (auto& b : bytes) b = static_cast<unsigned char>(rng());
    CTString cs;
    CNAConnectionDescription::s_BinaryToStringHexa(bytes.data(), static_cast<unsigned int>(bytes.size()), &cs);
    std::wstring model;
    for (unsigned char b : bytes) {
      wchar_t sz[3];
      std::swprintf(sz, 3, L"%02X", b);
      model += sz;
    }
    ASSERT_EQ(std::wstring(cs.pszGet()), model);
    char szNarrow[200];
    ASSERT_EQ(CNAConnectionDescription::s_BinaryToStringHexa(
                  bytes.data(), static_cast<unsigned int>(bytes.size()), szNarrow, sizeof szNarrow),
              static_cast<int>(model.size()));
    // Lower case reads too.
    std::wstring lower = model;
    for (auto& c : lower) c = static_cast<wchar_t>(std::towlower(c));
    std::vector<unsigned char> back(bytes.size() + 3, 0xAA);
    ASSERT_EQ(CNAConnectionDescription::s_StringHexaToBinary(lower.c_str(), back.data(),
                                                             static_cast<unsigned int>(back.size())),
              static_cast<int>(bytes.size()));
    ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), back.begin()));
    ASSERT_EQ(CNAConnectionDescription::s_StringHexaToBinary(szNarrow, back.data(),
                                                             static_cast<unsigned int>(bytes.size())),
              static_cast<int>(bytes.size()));
    ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), back.begin()));
  }
}

TEST_F(SqlLiterals, HexadecimalReadingStopsAtTheBufferAndReportsBadDigits) {
  unsigned char aby[4] = {9, 9, 9, 9};
  // The buffer bounds the writing: a text twice as long stops at its end.
  EXPECT_EQ(CNAConnectionDescription::s_StringHexaToBinary(L"0102030405060708", aby, 2), 2);
  EXPECT_EQ(aby[0], 1);
  EXPECT_EQ(aby[1], 2);
  EXPECT_EQ(aby[2], 9);  // past the size: untouched
  // An odd last digit is left out; a non-hexadecimal digit is reported.
  EXPECT_EQ(CNAConnectionDescription::s_StringHexaToBinary(L"ABC", aby, 4), 1);
  EXPECT_EQ(aby[0], 0xAB);
  EXPECT_EQ(aby[1], 0);  // cleared
  EXPECT_EQ(CNAConnectionDescription::s_StringHexaToBinary(L"01G2", aby, 4), -1);
  EXPECT_EQ(aby[0], 1);
  EXPECT_EQ(CNAConnectionDescription::s_StringHexaToBinary("0x12", aby, 4), -1);
  EXPECT_EQ(CNAConnectionDescription::s_StringHexaToBinary(static_cast<const wchar_t*>(nullptr), aby, 4), 0);
  // The 8-bit writer never passes its buffer.
  char sz[4];
  const unsigned char abyIn[] = {1, 2};
  EXPECT_EQ(CNAConnectionDescription::s_BinaryToStringHexa(abyIn, 2, sz, sizeof sz), -1);
  EXPECT_STREQ(sz, "");
  char szFit[5];
  EXPECT_EQ(CNAConnectionDescription::s_BinaryToStringHexa(abyIn, 2, szFit, sizeof szFit), 4);
  EXPECT_STREQ(szFit, "0102");
}

}  // namespace
}  // namespace kqtest
