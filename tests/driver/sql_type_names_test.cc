// The connection's type names and expressions, without a server: server type
// names read as item types (with the bounded declared lengths), the date and
// time expressions of every server kind, the SQL type text of an item (the
// decimal bounds, the refused Unicode item, the native type map made through
// the item layer's services), default texts as the server reports them, the
// NCLOB type by server version and the names of the client's field types.
#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "core/mixed_width_concat.h"
#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/item_description.h"
#include "items/item_services.h"
#include "items/item_types.h"
#include "mariadb/mysql_connection.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/support/bound_framework.h"
#include "tests/values/bound_values.h"
#include "values/any.h"

namespace kqtest {
namespace {

// The generic base, with the kind, the version and the Unicode switch a test
// sets.
class KindConnection : public CNAConnectionDescription {
 public:
  using CNAConnectionDescription::CNAConnectionDescription;
  int bOpen(CNAError*) override { return 0; }
  int bIsOpen() const override { return 0; }
  int bClose(CNAError*) override { return 1; }
  void _InitZB2NativeType() override { ++nAdjusted; }
  void SetKind(int n) { _SetServerKind(n); }
  void SetVersion(const wchar_t* psz) {
    _SetServerVersion(psz);
    _bDecomposeServerVersion(nullptr);
  }
  void SetUnicodeAllowed(int b) { _SetUnicodeItemsAllowed(b); }
  int nAdjusted = 0;
};

struct Error {
  Error() : p(new CNAError) { p->AddRef(); }
  ~Error() { p->nRelease(); }
  std::string Dump() const {
    CTString cs = p->StringDump();
    const wchar_t* w = cs.pszGet();
    return std::string(w, w + std::wcslen(w));
  }
  CNAError* p;
};

// A description that keeps the type it was given: the descriptions' own
// decimal rule would turn a decimal of 40 digits into a double.
class TypedItem : public CNAItemDescription {
 public:
  eNA_ITEMTYPE eNAGetItemType() override { return eType; }
  eNA_ITEMTYPE eType = NA_IT_EMPTY;
};

// An item description of the type, size and digits.
struct Item {
  Item(eNA_ITEMTYPE e, int nSize, int nInt = 0, int nDec = 0, const wchar_t* pszDBType = nullptr) {
    p = new TypedItem;
    p->eType = e;
    p->AddRef();
    ok = p->bInit(L"col", L"tab", L"col", 1, nSize, e, 0, 0, 0, nInt, nDec, nullptr, nullptr);
    // The decimal rule of the descriptions may change a decimal into a double:
    // the digits are set as the case wants them.
    p->SetIntegerPart(nInt);
    p->SetDecimalPart(nDec);
    if (pszDBType != nullptr) p->SetNativeType(pszDBType, 0);
  }
  ~Item() { p->nRelease(); }
  TypedItem* p;
  int ok;
};

std::string Narrow(const wchar_t* w) {
  std::string s;
  for (; w != nullptr && *w != 0; ++w) s.push_back(static_cast<char>(*w));
  return s;
}

// The value conversions of the stand-in server are bound: default values are
// read through them.
class SqlTypeNames : public BoundValuesTest {
 protected:
  void SetUp() override {
    BoundValuesTest::SetUp();
    m_pclDriver = new CNADriver;
    m_pclDriver->SetItemServices(g_pclGetItemServices());
  }
  void TearDown() override {
    delete m_pclDriver;
    BoundValuesTest::TearDown();
  }
  KindConnection* Make(int nKind) {
    auto* p = new KindConnection(L"Connection=types", &m_host);
    p->AddRef();
    p->SetKind(nKind);
    return p;
  }
  HostConnectionFake m_host;
  CNADriver* m_pclDriver = nullptr;
};

TEST_F(SqlTypeNames, ServerTypeNamesMapToItemTypesWithBoundedSizes) {
  struct Case {
    const wchar_t* name;
    const wchar_t* charset;
    eNA_ITEMTYPE type;
    int size;
    int kind = 5;
  };
  const Case cases[] = {
      // Display widths, UNSIGNED anywhere as a word, at the start skipped.
      {L"int(11) unsigned", nullptr, NA_IT_UI4, 4},
      {L"INT(10)", nullptr, NA_IT_I4, 4},
      {L"unsigned bigint", nullptr, NA_IT_UI8, 8},
      {L"smallint(5) unsigned zerofill", nullptr, NA_IT_UI2, 2},
      {L"tinyint(3) unsigned", nullptr, NA_IT_UI1, 1},
      {L"tinyint(1)", nullptr, NA_IT_I1, 1},
      {L"mediumint(8) unsigned", nullptr, NA_IT_UI4, 4},
      {L"int unsignedx", nullptr, NA_IT_I4, 4},
      {L"INT8", nullptr, NA_IT_I8, 8},
      {L"int2", nullptr, NA_IT_I2, 2},
      {L"bigint(20)", nullptr, NA_IT_I8, 8},
      {L"bit(1)", nullptr, NA_IT_I1, 1},
      {L"boolean", nullptr, NA_IT_I1, 1},
      // Texts: declared length + 1, doubled (+2) for Unicode sets.
      {L"varchar(40)", L"latin1_swedish_ci", NA_IT_TEXTE, 41},
      {L"varchar(300)", L"utf8", NA_IT_UNICODE, 602},
      {L"varchar(300)", L"utf8mb4_general_ci", NA_IT_UNICODE, 602},
      {L"varchar(300)", L"UCS2", NA_IT_UNICODE, 602},
      {L"varchar( 12 )", nullptr, NA_IT_TEXTE, 13},
      {L"nvarchar(10)", nullptr, NA_IT_UNICODE, 22},
      {L"nchar(3)", nullptr, NA_IT_UNICODE, 8},
      {L"character", nullptr, NA_IT_TEXTE, 2},
      {L"CHAR", nullptr, NA_IT_CHAR, 1},
      {L"char(10)", nullptr, NA_IT_TEXTE, 11},
      {L"char(1)", nullptr, NA_IT_TEXTE, 2},
      // The 65535 promotion.
      {L"varchar(65534)", nullptr, NA_IT_TEXTE, 65535},
      {L"varchar(65535)", nullptr, NA_IT_MEMOTEXTE, 8},
      {L"varchar(40000)", L"utf8mb4", NA_IT_MEMOUNICODE, 8},
      {L"varbinary(70000)", nullptr, NA_IT_MEMOBINAIRE, 8},
      {L"varbinary(16)", nullptr, NA_IT_BINAIRE, 18},
      {L"binary(16)", nullptr, NA_IT_BINAIRE, 18},
      // Memos and the rest.
      {L"longtext", L"utf8mb4_bin", NA_IT_MEMOUNICODE, 8},
      {L"text", L"latin1", NA_IT_MEMOTEXTE, 8},
      {L"tinytext", nullptr, NA_IT_MEMOTEXTE, 8},
      {L"mediumblob", nullptr, NA_IT_MEMOBINAIRE, 8},
      {L"blob", L"binary", NA_IT_MEMOBINAIRE, 8},
      {L"enum('a','b')", nullptr, NA_IT_MEMOTEXTE, 8},
      {L"set('a','b')", nullptr, NA_IT_MEMOTEXTE, 8},
      {L"json", nullptr, NA_IT_MEMOTEXTE, 8},
      {L"geometry", nullptr, NA_IT_MEMOTEXTE, 8},
      {L"", nullptr, NA_IT_MEMOTEXTE, 8},
      {L"float unsigned", nullptr, NA_IT_R4, 4},
      {L"double precision", nullptr, NA_IT_R8, 8},
      {L"real", nullptr, NA_IT_R4, 4},
      {L"real", nullptr, NA_IT_R8, 8, 13},
      // Dates and times.
      {L"year(4)", nullptr, NA_IT_DATE8, 9},
      {L"date", nullptr, NA_IT_DATE8, 9},
      {L"datetime(3)", nullptr, NA_IT_DATETIME, 8},
      {L"timestamp", nullptr, NA_IT_DATETIME, 8},
      {L"time(3)", nullptr, NA_IT_HEURE, 6},
      // Decimals through the descriptions' rule (integer digits, decimals).
      {L"decimal(12,2)", nullptr, NA_IT_MONETAIRE, 10},
      {L"decimal(17,6)", nullptr, NA_IT_DECIMAL, 8},
      {L"numeric(19)", nullptr, NA_IT_I8, 8},
      {L"numeric(20,0)", nullptr, NA_IT_DECIMAL, 9},
      {L"dec(4)", nullptr, NA_IT_I2, 2},
      {L"decimal", nullptr, NA_IT_R8, 8},
      {L"decimal(5,10)", nullptr, NA_IT_R8, 8},
      // Huge, negative, unclosed and malformed lengths stay bounded.
      {L"VARCHAR(99999999999)", nullptr, NA_IT_MEMOTEXTE, 8},
      {L"VARCHAR(99999999999999999999999999999)", L"utf8", NA_IT_MEMOUNICODE, 8},
      {L"NCHAR(99999999999)", nullptr, NA_IT_MEMOUNICODE, 8},
      {L"BINARY(99999999999)", nullptr, NA_IT_MEMOBINAIRE, 8},
      {L"CHAR(-1)", nullptr, NA_IT_TEXTE, 2},
      {L"BINARY(", nullptr, NA_IT_BINAIRE, 3},
      {L"varchar(12", nullptr, NA_IT_TEXTE, 2},
      {L"varchar(1x)", nullptr, NA_IT_TEXTE, 2},
      {L"decimal(99999999999,99999999999)", nullptr, NA_IT_R8, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.name) + " / " + Narrow(c.charset) + " kind " + std::to_string(c.kind));
    KindConnection* p = Make(c.kind);
    eNA_ITEMTYPE e = NA_IT_EMPTY;
    int nSize = -7, nInt = -7, nDec = -7;
    EXPECT_EQ(p->bSQLTypeNameToNAType(nullptr, &e, &nSize, &nInt, &nDec, c.name, c.charset), 1);
    EXPECT_EQ(e, c.type);
    EXPECT_EQ(nSize, c.size);
    EXPECT_GE(nSize, 1);
    p->nRelease();
  }
}

TEST_F(SqlTypeNames, DecimalTypeNamesGiveTheirDigits) {
  struct Case {
    const wchar_t* name;
    int nInt, nDec;
  };
  const Case cases[] = {{L"decimal(12,2)", 10, 2}, {L"NUMERIC( 20 , 0 )", 20, 0},
                        {L"decimal(10)", 10, 0},   {L"decimal", 0, 0},
                        {L"decimal(5,10)", -5, 10}, {L"decimal(99999999999,3)", 997, 3}};
  KindConnection* p = Make(5);
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.name));
    eNA_ITEMTYPE e = NA_IT_EMPTY;
    int nSize = 0, nInt = -7, nDec = -7;
    p->bSQLTypeNameToNAType(nullptr, &e, &nSize, &nInt, &nDec, c.name, nullptr);
    EXPECT_EQ(nInt, c.nInt);
    EXPECT_EQ(nDec, c.nDec);
  }
  p->nRelease();
}

TEST(SqlTypeDeclaredLength, IsTheNumberInParenthesesOrOne) {
  struct Case {
    const wchar_t* name;
    const wchar_t* prefix;
    int n;
  };
  const Case cases[] = {
      {L"VARCHAR(40)", L"VARCHAR", 40},
      {L"VARCHAR ( 40 ) ", L"VARCHAR", 40},
      {L"VARCHAR(0)", L"VARCHAR", 0},
      {L"VARCHAR", L"VARCHAR", 1},
      {L"VARCHAR()", L"VARCHAR", 1},
      {L"VARCHAR(40", L"VARCHAR", 1},
      {L"VARCHAR(4 0)", L"VARCHAR", 1},
      {L"CHAR(-1)", L"CHAR", 1},
      {L"BINARY(", L"BINARY", 1},
      {L"VARCHAR x(4)", L"VARCHAR", 1},
      {L"VARCHAR(2147483647)", L"VARCHAR", CNAConnectionDescription::kMaxDeclaredLength},
      {L"VARCHAR(99999999999999999999999)", L"VARCHAR",
       CNAConnectionDescription::kMaxDeclaredLength},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.name));
    EXPECT_EQ(CNAConnectionDescription::_nGetSizeInTypeDecl(c.name, c.prefix), c.n);
  }
}

TEST_F(SqlTypeNames, DateAndTimeItemsAreComparedAsTextOfTheirRecordForm) {
  struct Case {
    int kind;
    eNA_ITEMTYPE type;
    int size;
    const char* expected;
    int result = 1;
  };
  const Case cases[] = {
      {5, NA_IT_DATE8, 9, "DATE_FORMAT(e,'%Y%m%d')"},
      {5, NA_IT_HEURE, 5, "TIME_FORMAT(e,'%H%i')"},
      {5, NA_IT_HEURE, 6, "SUBSTR(TIME_FORMAT(e,'%H%i%S'), 1, 5)"},
      {5, NA_IT_HEURE, 7, "TIME_FORMAT(e,'%H%i%S')"},
      {5, NA_IT_HEURE, 8, "SUBSTR(TIME_FORMAT(e,'%H%i%S%f'), 1, 7)"},
      {5, NA_IT_HEURE, 10, "SUBSTR(TIME_FORMAT(e,'%H%i%S%f'), 1, 9)"},
      {5, NA_IT_HEURE, 40, "SUBSTR(TIME_FORMAT(e,'%H%i%S%f'), 1, 9)"},
      {5, NA_IT_DATETIME, 8, "SUBSTR(DATE_FORMAT(e,'%Y%m%d%H%i%S%f'), 1, 17)"},
      {5, NA_IT_TEXTE, 10, "e", 0},
      {5, NA_IT_DATE6, 7, "e", 0},
      {2, NA_IT_DATE8, 9, "REPLACE(CONVERT(varchar(10),e,20),'-','')"},
      {2, NA_IT_HEURE, 5, "SUBSTRING(REPLACE(CONVERT(varchar(8),e,108),':',''), 1, 4)"},
      {2, NA_IT_HEURE, 6, "SUBSTRING(REPLACE(CONVERT(varchar(8),e,108),':',''), 1, 5)"},
      {2, NA_IT_HEURE, 7, "REPLACE(CONVERT(varchar(8),e,108),':','')"},
      {2, NA_IT_HEURE, 10,
       "SUBSTRING(REPLACE(REPLACE(CONVERT(varchar(12),e,114),':',''),'.',''), 1, 9)"},
      {3, NA_IT_DATE8, 9, "FORMAT(e,'YYYYMMdd')"},
      {3, NA_IT_HEURE, 5, "FORMAT(e,'HHmm')"},
      {3, NA_IT_HEURE, 7, "FORMAT(e,'HHmmss')"},
      {3, NA_IT_HEURE, 9, "(FORMAT(e,'HHmmss') + '00')"},
      {4, NA_IT_DATE8, 9, "CONVERT(VARCHAR(8),e,112)"},
      {4, NA_IT_HEURE, 5, "STUFF(CONVERT(VARCHAR(5),e,108), 3, 1, NULL)"},
      {4, NA_IT_HEURE, 7, "STUFF(STUFF(CONVERT(VARCHAR(8),e,108), 3, 1, NULL), 5, 1, NULL)"},
      {7, NA_IT_DATE8, 9, "REPLACE(CHAR(DATE(e)), '-', '')"},
      {7, NA_IT_HEURE, 5, "SUBSTR(REPLACE(CHAR(TIME(e)), '.', ''), 1, 4)"},
      {7, NA_IT_HEURE, 7, "REPLACE(CHAR(TIME(e)), '.', '')"},
      {11, NA_IT_DATE8, 9, "TO_CHAR(e,'%Y%m%d')"},
      {11, NA_IT_HEURE, 5, "TO_CHAR(e,'%H%M')"},
      {11, NA_IT_HEURE, 7, "TO_CHAR(e,'%H%M%S')"},
      {13, NA_IT_DATE8, 9, "strftime('%Y%m%d',e)"},
      {13, NA_IT_HEURE, 5, "strftime('%H%M',e)"},
      {13, NA_IT_HEURE, 7, "strftime('%H%M%S',e)"},
      {13, NA_IT_HEURE, 10, "SUBSTR(REPLACE(strftime('%H%M%f',e),'.',''), 1, 9)"},
      {1, NA_IT_DATE8, 9, "TO_CHAR(e,'YYYYMMDD')"},
      {1, NA_IT_HEURE, 5, "TO_CHAR(e,'HH24MI')"},
      {1, NA_IT_HEURE, 6, "SUBSTR(TO_CHAR(e,'HH24MISS'), 1, 5)"},
      {1, NA_IT_HEURE, 7, "TO_CHAR(e,'HH24MISS')"},
      {0, NA_IT_DATE8, 9, "TO_CHAR(e,'YYYYMMDD')"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("kind " + std::to_string(c.kind) + " type " + std::to_string(c.type) +
                 " size " + std::to_string(c.size));
    KindConnection* p = Make(c.kind);
    Item item(c.type, c.size);
    CTStringConcatAW out(kConcatModeWide);
    EXPECT_EQ(p->bConvertExpressionToString(nullptr, &out, L"e", item.p, nullptr), c.result);
    EXPECT_EQ(Narrow(out.pszGetW()), c.expected);
    p->nRelease();
  }
}

TEST_F(SqlTypeNames, LongTimesOfTheDefaultKindFollowTheItemsTypeName) {
  struct Case {
    const wchar_t* dbType;
    const char* expected;
  };
  const Case cases[] = {
      {L"TIMESTAMP(3)", "SUBSTR(TO_CHAR(e,'HH24MISSFF3'), 1, 9)"},
      {L"DATE", "SUBSTR((TO_CHAR(e,'HH24MISS')+'000'), 1, 9)"},
      {L"VARCHAR2(10)", "SUBSTR(TO_CHAR( CAST(e AS TIMESTAMP),'HH24MISSFF3'), 1, 9)"},
  };
  KindConnection* p = Make(1);
  for (const Case& c : cases) {
    Item item(NA_IT_HEURE, 10, 0, 0, c.dbType);
    CTStringConcatAW out(kConcatModeWide);
    EXPECT_EQ(p->bConvertExpressionToString(nullptr, &out, L"e", item.p, nullptr), 1);
    EXPECT_EQ(Narrow(out.pszGetW()), c.expected);
  }
  p->nRelease();
}

std::string TypeText(CNAConnectionDescription* p, const Item& item, Error* pError, int* pnResult) {
  CXYString<wchar_t> out;
  *pnResult = p->bGetMatchingSQLType(pError->p, item.p, &out);
  std::string s = Narrow(out.pszGet());
  out.ReleaseDynStr();
  return s;
}

TEST_F(SqlTypeNames, DecimalColumnsKeepTheirDecimalsUpTo30AndAtMost64Digits) {
  struct Case {
    int nInt, nDec;
    const char* expected;
  };
  const Case cases[] = {
      {10, 2, "NUMERIC(12,2)"},   {30, 8, "NUMERIC(38,8)"},   {30, 40, "NUMERIC(60,30)"},
      {60, 10, "NUMERIC(64,10)"}, {100, 100, "NUMERIC(64,30)"}, {64, 0, "NUMERIC(64,0)"},
      {0, 0, "NUMERIC(1,0)"},     {-5, 3, "NUMERIC(3,3)"},     {INT_MAX, INT_MAX, "NUMERIC(64,30)"},
  };
  CMySQLConnection* p = new CMySQLConnection(L"Connection=decimal", &m_host);
  p->AddRef();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.nInt) + "," + std::to_string(c.nDec));
    Item item(NA_IT_DECIMAL, 16, c.nInt, c.nDec);
    Error error;
    int nResult = 0;
    EXPECT_EQ(TypeText(p, item, &error, &nResult), c.expected);
    EXPECT_EQ(nResult, 1) << error.Dump();
  }
  p->nRelease();
}

TEST_F(SqlTypeNames, OtherItemsTakeTheConnectionsOneTypeMapAdjustedOnce) {
  // The generic connection: the defaults alone, adjusted once by its hook.
  KindConnection* pGeneric = Make(0);
  Error error;
  int nResult = 0;
  EXPECT_EQ(TypeText(pGeneric, Item(NA_IT_TEXTE, 41), &error, &nResult), "VARCHAR(40)");
  EXPECT_EQ(TypeText(pGeneric, Item(NA_IT_UNICODE, 22), &error, &nResult), "NVARCHAR(10)");
  EXPECT_EQ(TypeText(pGeneric, Item(NA_IT_DECIMAL, 16, 10, 2), &error, &nResult),
            "NUMERIC(12,2)");
  EXPECT_EQ(pGeneric->nAdjusted, 1);
  EXPECT_EQ(pGeneric->pclGetNativeTypeMap(nullptr), pGeneric->pclGetNativeTypeMap(nullptr));
  // No entry for a binary memo in the defaults: a clear error, not an empty
  // column type.
  EXPECT_EQ(TypeText(pGeneric, Item(NA_IT_MEMOBINAIRE, 8), &error, &nResult), "");
  EXPECT_EQ(nResult, 0);
  EXPECT_EQ(error.p->nGetUserErrorCode(), 8u);
  pGeneric->nRelease();

  // The MariaDB connection: its final map over the same one.
  CMySQLConnection* p = new CMySQLConnection(L"Connection=map", &m_host);
  p->AddRef();
  const struct {
    eNA_ITEMTYPE type;
    int size;
    const char* expected;
  } cases[] = {
      {NA_IT_TEXTE, 41, "VARCHAR(40)"},
      {NA_IT_UNICODE, 22, "VARCHAR(10) CHARACTER SET utf8mb4"},
      {NA_IT_MEMOBINAIRE, 8, "LONGBLOB"},
      {NA_IT_UI8, 8, "BIGINT UNSIGNED"},
      {NA_IT_DATETIME, 8, "DATETIME(3)"},
  };
  for (const auto& c : cases) {
    Error e;
    EXPECT_EQ(TypeText(p, Item(c.type, c.size), &e, &nResult), c.expected);
    EXPECT_EQ(nResult, 1) << e.Dump();
  }
  p->nRelease();
}

TEST_F(SqlTypeNames, AUnicodeItemOnAConnectionThatRefusesThemIsError46) {
  m_host.dataSource = L"dbhost";
  m_host.defaultDatabase = L"shop";
  KindConnection* p = Make(5);
  p->SetUnicodeAllowed(0);
  for (eNA_ITEMTYPE e : {NA_IT_UNICODE, NA_IT_MEMOUNICODE}) {
    Error error;
    int nResult = -1;
    EXPECT_EQ(TypeText(p, Item(e, 22), &error, &nResult), "");
    EXPECT_EQ(nResult, 0);
    EXPECT_EQ(error.p->nGetUserErrorCode(), 46u);
    const std::string dump = error.Dump();
    EXPECT_NE(dump.find("shop"), std::string::npos) << dump;
    EXPECT_NE(dump.find("dbhost"), std::string::npos) << dump;
    EXPECT_NE(dump.find("1.11"), std::string::npos) << dump;
  }
  // Other items are still answered.
  Error error;
  int nResult = 0;
  EXPECT_EQ(TypeText(p, Item(NA_IT_TEXTE, 11), &error, &nResult), "VARCHAR(10)");
  p->nRelease();
}

TEST_F(SqlTypeNames, WithoutTheItemLayersServicesTheAnswerIsAnErrorNotACrash) {
  m_pclDriver->SetItemServices(nullptr);
  KindConnection* p = Make(5);
  Error error;
  int nResult = -1;
  EXPECT_EQ(TypeText(p, Item(NA_IT_TEXTE, 11), &error, &nResult), "");
  EXPECT_EQ(nResult, 0);
  EXPECT_EQ(error.p->nGetUserErrorCode(), 8u);
  CAny v;
  Item item(NA_IT_I4, 4);
  EXPECT_EQ(p->bConvertStringToDefaultValue(&v, L"1", item.p, nullptr), 0);
  EXPECT_EQ(p->pclGetNativeTypeMap(nullptr), nullptr);
  p->nRelease();
}

// The value's text, or "NULL".
std::string Text(const CAny& v) {
  if (v.bIsNull()) return "NULL";
  CAny copy(v);
  CXYString<wchar_t> s;
  copy.__nFillString(s, nullptr);
  std::string r = Narrow(s.pszGet());
  s.ReleaseDynStr();
  return r;
}

TEST_F(SqlTypeNames, DefaultTextsAsTheServerReportsThemGiveAValueOrAClearError) {
  struct Case {
    eNA_ITEMTYPE type;
    int size;
    const wchar_t* text;
    int result;
    const char* expected;  // the value's text; "NULL" for NULL
    unsigned int error = 0;
  };
  const Case cases[] = {
      {NA_IT_I4, 4, nullptr, 1, "NULL"},
      {NA_IT_I4, 4, L"NULL", 1, "NULL"},
      {NA_IT_TEXTE, 11, L"null", 1, "NULL"},
      {NA_IT_TEXTE, 11, L"", 1, ""},
      {NA_IT_I4, 4, L"42", 1, "42"},
      {NA_IT_I4, 4, L"'-17'", 1, "-17"},
      {NA_IT_TEXTE, 11, L"'it''s'", 1, "it's"},
      {NA_IT_TEXTE, 11, L"'a\\\\b'", 1, "a\\b"},
      {NA_IT_TEXTE, 11, L"'a\\'b'", 1, "a'b"},
      {NA_IT_TEXTE, 11, L"'line\\nnext'", 1, "line\nnext"},
      {NA_IT_TEXTE, 11, L"'NULL'", 1, "NULL"},  // the text, not a NULL: see below
      {NA_IT_I4, 4, L"b'101'", 1, "5"},
      {NA_IT_I8, 8, L"b'1111111111111111111111111111111111111111111111111111111111111111'", 0,
       "NULL", 53},
      {NA_IT_DATETIME, 8, L"current_timestamp()", 0, "NULL", 53},
      {NA_IT_I4, 4, L"nextval(seq)", 0, "NULL", 53},
      {NA_IT_BOOLEEN, 1, L"1", 1, "1"},
  };
  KindConnection* p = Make(5);
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text) + " as " + std::to_string(c.type));
    Item item(c.type, c.size);
    Error error;
    CAny v;
    EXPECT_EQ(p->bConvertStringToDefaultValue(&v, c.text, item.p, error.p), c.result)
        << error.Dump();
    EXPECT_EQ(v.nGetTypeCode(), ConverteItemToVXType(c.type));
    if (std::string(c.expected) == "NULL" && c.text != nullptr && c.text[0] == L'\'') {
      EXPECT_FALSE(v.bIsNull());
    } else {
      EXPECT_EQ(Text(v), c.expected);
    }
    if (c.error != 0) {
      EXPECT_EQ(error.p->nGetUserErrorCode(), c.error);
    }
  }
  p->nRelease();
}

TEST_F(SqlTypeNames, WideMemosOfMariaDBAreUtf8mb4FromServer553) {
  struct Case {
    const wchar_t* version;
    const char* expected;
  };
  const Case cases[] = {
      {L"3.23.58", "LONGBLOB"},
      {L"5.5.2", "LONGTEXT CHARACTER SET ucs2"},
      {L"5.5.3", "LONGTEXT CHARACTER SET utf8mb4"},
      {L"5.1.70", "LONGTEXT CHARACTER SET ucs2"},
      {L"5.6.0", "LONGTEXT CHARACTER SET utf8mb4"},
      {L"10.11.6-MariaDB", "LONGTEXT CHARACTER SET utf8mb4"},
  };
  for (const Case& c : cases) {
    KindConnection* p = Make(5);
    p->SetVersion(c.version);
    EXPECT_EQ(Narrow(p->pszGetNCLOBType()), c.expected) << Narrow(c.version);
    p->nRelease();
  }
  KindConnection* p = Make(0);
  EXPECT_EQ(Narrow(p->pszGetNCLOBType()), "NCLOB");
  p->nRelease();
}

TEST_F(SqlTypeNames, ClientFieldTypeCodesHaveTheirMariaDBNames) {
  struct Case {
    int code;
    const char* name;  // null: unknown
  };
  const Case cases[] = {
      {0, "DECIMAL"},    {1, "TINYINT"}, {2, "SMALLINT"}, {3, "INT"},        {4, "FLOAT"},
      {5, "DOUBLE"},     {7, "TIMESTAMP"}, {8, "BIGINT"}, {9, "MEDIUMINT"},  {10, "DATE"},
      {11, "TIME"},      {12, "DATETIME"}, {13, "YEAR"},  {15, "VARCHAR"},   {16, "BIT"},
      {245, "JSON"},     {246, "DECIMAL"}, {247, "ENUM"}, {248, "SET"},      {249, "TINYBLOB"},
      {250, "MEDIUMBLOB"}, {251, "LONGBLOB"}, {252, "BLOB"}, {253, "VARCHAR"}, {254, "CHAR"},
      {255, "GEOMETRY"}, {20, nullptr},    {244, nullptr}, {256, nullptr},   {-1, nullptr},
      {INT_MIN, nullptr},
  };
  CMySQLConnection* p = new CMySQLConnection(L"Connection=names", &m_host);
  p->AddRef();
  for (const Case& c : cases) {
    CTString cs(L"untouched");
    EXPECT_EQ(p->bDBTypeToString(&cs, c.code), c.name != nullptr ? 1 : 0) << c.code;
    EXPECT_EQ(Narrow(cs.pszGet()), c.name != nullptr ? c.name : "untouched") << c.code;
  }
  p->nRelease();
  KindConnection* pGeneric = Make(0);
  CTString cs;
  EXPECT_EQ(pGeneric->bDBTypeToString(&cs, 3), 0);
  pGeneric->nRelease();
}

}  // namespace
}  // namespace kqtest
