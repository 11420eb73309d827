// Type names and default texts against the fixture's server: for every item
// type, the column that the connection's type text creates shows in SHOW
// FULL COLUMNS a type (and collation) that the type-name reader maps back to
// the expected item type; and the default texts the server reports in
// information_schema ('it''s', NULL, current_timestamp(), b'101') give a
// value or a clear error. Each test has its own tables: CTest runs them in
// parallel.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "driver/na_error.h"
#include "items/item_description.h"
#include "items/item_types.h"
#include "mariadb/mysql_connection.h"
#include "mariadb/mysql_driver.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/driver_server_fixture.h"
#include "tests/mariadb/server_session.h"
#include "tests/values/bound_values.h"
#include "values/any.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept = kq230::test_support::KeepClientLibraryForTheProgram();

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
std::string Narrow(const wchar_t* w) {
  std::string s;
  for (; w != nullptr && *w != 0; ++w) s.push_back(static_cast<char>(*w));
  return s;
}

// A description that keeps the type it was given (the descriptions' decimal
// rule would retype some decimals).
class TypedItem : public CNAItemDescription {
 public:
  eNA_ITEMTYPE eNAGetItemType() override { return eType; }
  eNA_ITEMTYPE eType = NA_IT_EMPTY;
};

struct Item {
  Item(eNA_ITEMTYPE e, int nSize, int nInt = 0, int nDec = 0) {
    p = new TypedItem;
    p->eType = e;
    p->AddRef();
    p->bInit(L"c", L"t", L"c", 1, nSize, e, 0, 0, 0, nInt, nDec, nullptr, nullptr);
    p->SetIntegerPart(nInt);
    p->SetDecimalPart(nDec);
  }
  ~Item() { p->nRelease(); }
  TypedItem* p;
};

class TypeNameRoundTrip : public ServerSuite<BoundValuesTest> {
 protected:
  void SetUp() override {
    BoundValuesTest::SetUp();
    m_pclDriver = new CMySQLDriver;
    ASSERT_TRUE(m_session.bOpen(L"Connection=typenames"));
    m_pcl = m_session.pclConnection();
  }
  void TearDown() override {
    m_session.Close();
    delete m_pclDriver;
    ServerSession::EndClientLibrary();
    BoundValuesTest::TearDown();
  }

  void Run(const std::wstring& sql) { ASSERT_TRUE(m_session.bRun(sql)); }
  std::vector<ServerSession::Row> Fetch(const std::string& sql) { return m_session.Rows(sql); }

  ServerSession m_session;
  CMySQLDriver* m_pclDriver = nullptr;
  CMySQLConnection* m_pcl = nullptr;
};

TEST_F(TypeNameRoundTrip, EveryItemTypesColumnReadsBackAsTheExpectedItemType) {
  struct Case {
    eNA_ITEMTYPE type;
    int size, nInt, nDec;
    eNA_ITEMTYPE back;  // what the column's reported type is read as
    int backSize;       // 0: not checked
  };
  const Case cases[] = {
      {NA_IT_IDAUTO, 8, 0, 0, NA_IT_I8, 8},
      {NA_IT_IDAUTO4, 4, 0, 0, NA_IT_I4, 4},
      {NA_IT_I1, 1, 0, 0, NA_IT_I1, 1},
      {NA_IT_I2, 2, 0, 0, NA_IT_I2, 2},
      {NA_IT_I4, 4, 0, 0, NA_IT_I4, 4},
      {NA_IT_I8, 8, 0, 0, NA_IT_I8, 8},
      {NA_IT_UI1, 1, 0, 0, NA_IT_UI1, 1},
      {NA_IT_UI2, 2, 0, 0, NA_IT_UI2, 2},
      {NA_IT_UI4, 4, 0, 0, NA_IT_UI4, 4},
      {NA_IT_UI8, 8, 0, 0, NA_IT_UI8, 8},
      {NA_IT_BOOLEEN, 1, 0, 0, NA_IT_I1, 1},
      // Money's 24 digits are more than the money layout's 10 integer digits.
      {NA_IT_MONETAIRE, 10, 0, 0, NA_IT_DECIMAL, 0},
      {NA_IT_DECIMAL, 9, 10, 2, NA_IT_MONETAIRE, 10},
      {NA_IT_DECIMAL, 16, 30, 8, NA_IT_DECIMAL, 0},
      {NA_IT_DECIMAL, 9, 15, 0, NA_IT_I8, 8},
      {NA_IT_DECIMAL, 16, 60, 40, NA_IT_R8, 8},  // 34 + 30 digits: more than a decimal holds
      {NA_IT_R4, 4, 0, 0, NA_IT_R4, 4},
      {NA_IT_R8, 8, 0, 0, NA_IT_R8, 8},
      {NA_IT_REELTURBO, 8, 0, 0, NA_IT_R8, 8},
      {NA_IT_CHAR, 1, 0, 0, NA_IT_TEXTE, 2},
      {NA_IT_IMAGE, 11, 0, 0, NA_IT_TEXTE, 12},  // an image counts its bytes, no terminator
      {NA_IT_TEXTE, 41, 0, 0, NA_IT_TEXTE, 41},
      {NA_IT_TEXTE, 256, 0, 0, NA_IT_TEXTE, 256},
      {NA_IT_MEMOTEXTE, 8, 0, 0, NA_IT_MEMOTEXTE, 8},
      {NA_IT_UNICODE, 82, 0, 0, NA_IT_UNICODE, 82},
      {NA_IT_MEMOUNICODE, 8, 0, 0, NA_IT_MEMOUNICODE, 8},
      {NA_IT_BINAIRE, 18, 0, 0, NA_IT_BINAIRE, 18},
      {NA_IT_MEMOBINAIRE, 8, 0, 0, NA_IT_MEMOBINAIRE, 8},
      {NA_IT_MEMOBINAIRE4, 8, 0, 0, NA_IT_MEMOBINAIRE, 8},
      {NA_IT_DATE6, 7, 0, 0, NA_IT_DATE8, 9},
      {NA_IT_DATE8, 9, 0, 0, NA_IT_DATE8, 9},
      {NA_IT_HEURE, 10, 0, 0, NA_IT_HEURE, 6},
      {NA_IT_DATETIME, 8, 0, 0, NA_IT_DATETIME, 8},
      {NA_IT_TIMELENGHT, 8, 0, 0, NA_IT_I8, 8},
      {NA_IT_ENUMERATION, 4, 0, 0, NA_IT_I4, 4},
      {NA_IT_COMBINAISON, 10, 0, 0, NA_IT_BINAIRE, 12},  // its bytes, without a length word
  };
  for (const Case& c : cases) {
    Item item(c.type, c.size, c.nInt, c.nDec);
    CNAError clError;
    CXYString<wchar_t> text;
    ASSERT_EQ(m_pcl->bGetMatchingSQLType(&clError, item.p, &text), 1)
        << c.type << " " << Narrow(clError.StringDump().pszGet());
    const std::wstring type = text.pszGet() != nullptr ? text.pszGet() : L"";
    text.ReleaseDynStr();
    SCOPED_TRACE(std::to_string(c.type) + " -> " + Narrow(type.c_str()));
    Run(L"DROP TABLE IF EXISTS kq_type_round_trip");
    Run(L"CREATE TABLE kq_type_round_trip (c " + type + L") CHARACTER SET latin1");
    const auto rows = Fetch("SHOW FULL COLUMNS FROM kq_type_round_trip");
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_TRUE(rows[0][1].has_value());
    const std::wstring reported = Wide(*rows[0][1]);
    const std::wstring collation = rows[0][2].has_value() ? Wide(*rows[0][2]) : L"";
    SCOPED_TRACE("reported " + Narrow(reported.c_str()) + " " + Narrow(collation.c_str()));
    eNA_ITEMTYPE e = NA_IT_EMPTY;
    int nSize = 0, nInt = 0, nDec = 0;
    ASSERT_EQ(m_pcl->bSQLTypeNameToNAType(&clError, &e, &nSize, &nInt, &nDec, reported.c_str(),
                                          rows[0][2].has_value() ? collation.c_str() : nullptr),
              1);
    EXPECT_EQ(e, c.back);
    if (c.backSize != 0) {
      EXPECT_EQ(nSize, c.backSize);
    }
    if (c.type == NA_IT_DECIMAL && c.back == NA_IT_DECIMAL) {
      EXPECT_EQ(nInt, c.nInt);
      EXPECT_EQ(nDec, c.nDec);
    }
  }
  Run(L"DROP TABLE IF EXISTS kq_type_round_trip");
}

TEST_F(TypeNameRoundTrip, DefaultTextsAsTheServerReportsThemGiveAValueOrAClearError) {
  Run(L"DROP TABLE IF EXISTS kq_type_defaults");
  Run(L"CREATE TABLE kq_type_defaults ("
      L"quoted VARCHAR(10) DEFAULT 'it''s',"
      L"slashed VARCHAR(10) DEFAULT 'a\\\\b',"
      L"nothing INT DEFAULT NULL,"
      L"number INT DEFAULT -17,"
      L"stamp DATETIME DEFAULT current_timestamp(),"
      L"day DATE DEFAULT '2019-03-04',"
      L"bits BIT(3) DEFAULT b'101'"
      L") CHARACTER SET latin1");
  struct Case {
    const char* column;
    int result;
    const char* expected;  // the value's text; "NULL" for NULL
  };
  const Case cases[] = {
      {"quoted", 1, "it's"},  {"slashed", 1, "a\\b"}, {"nothing", 1, "NULL"},
      {"number", 1, "-17"},   {"stamp", 0, "NULL"},   {"day", 1, "20190304"},
      {"bits", 1, "5"},
  };
  const auto rows = Fetch(
      "SELECT COLUMN_NAME, COLUMN_TYPE, COLUMN_DEFAULT FROM information_schema.COLUMNS "
      "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'kq_type_defaults'");
  ASSERT_EQ(rows.size(), std::size(cases));
  for (const auto& row : rows) {
    const Case* pc = nullptr;
    for (const Case& c : cases)
      if (*row[0] == c.column) pc = &c;
    ASSERT_NE(pc, nullptr) << *row[0];
    const std::wstring type = Wide(*row[1]);
    const std::wstring text = row[2].has_value() ? Wide(*row[2]) : L"";
    SCOPED_TRACE(*row[0] + " " + *row[1] + " default " + (row[2] ? *row[2] : "(null)"));
    eNA_ITEMTYPE e = NA_IT_EMPTY;
    int nSize = 0, nInt = 0, nDec = 0;
    m_pcl->bSQLTypeNameToNAType(nullptr, &e, &nSize, &nInt, &nDec, type.c_str(), nullptr);
    Item item(e, nSize, nInt, nDec);
    // Counted: the conversion holder holds a reference on it while it reads.
    CNAError* pclError = new CNAError;
    pclError->AddRef();
    CAny v;
    EXPECT_EQ(m_pcl->bConvertStringToDefaultValue(&v, row[2].has_value() ? text.c_str() : nullptr,
                                                  item.p, pclError),
              pc->result);
    const unsigned int nCode = pclError->nGetUserErrorCode();
    pclError->nRelease();
    if (pc->result == 0) {
      // current_timestamp() is an expression, no value of the column.
      EXPECT_EQ(nCode, 53u);
      EXPECT_TRUE(v.bIsNull());
      continue;
    }
    if (std::string(pc->expected) == "NULL") {
      EXPECT_TRUE(v.bIsNull());
      continue;
    }
    CXYString<wchar_t> s;
    CAny copy(v);
    copy.__nFillString(s, nullptr);
    EXPECT_EQ(Narrow(s.pszGet()), pc->expected);
    s.ReleaseDynStr();
  }
  Run(L"DROP TABLE IF EXISTS kq_type_defaults");
}

}  // namespace
}  // namespace kqtest
