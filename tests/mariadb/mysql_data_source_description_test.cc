// The MariaDB table description against the fixture's server: automatic
// identifiers, composite and single-column keys with their key words,
// nullable keys, generated columns, defaults, table names that need escaping
// in the catalogue query, and a missing table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/counted_string.h"
#include "driver/na_error.h"
#include "items/item_description.h"
#include "kq230/item_type.h"
#include "mariadb/mysql_connection.h"
#include "mariadb/mysql_data_source_description.h"
#include "mariadb/mysql_driver.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/driver_server_fixture.h"
#include "tests/mariadb/server_session.h"
#include "tests/support/utf8_reference.h"
#include "tests/values/bound_values.h"
#include "values/any.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

class MySQLDataSourceDescription : public DriverServerTest {
 protected:
  MySQLDataSourceDescription() : DriverServerTest(L"Connection=descriptions") {}
  void TearDown() override {
    for (CMySQLDataSourceDescription* p : m_descriptions) EXPECT_EQ(p->nExternalRelease(), 0);
    m_descriptions.clear();
    DriverServerTest::TearDown();
  }

  // A description read from the server; null (and a failure) when reading
  // fails unless bExpectFailure.
  CMySQLDataSourceDescription* Describe(const std::wstring& name, bool bExpectFailure = false) {
    auto* p = new CMySQLDataSourceDescription(m_session.pclConnection(), m_pclError);
    p->ExternalAddRef();
    m_descriptions.push_back(p);
    m_pclError->Reset();
    const int b = p->bInitDataSourceDescriptionFromDB(name.c_str(), 0);
    if (bExpectFailure) {
      EXPECT_EQ(b, 0);
    } else {
      EXPECT_EQ(b, 1) << Utf8(m_pclError->StringDump().pszGet());
    }
    return p;
  }
  CNAItemDescription* Item(CMySQLDataSourceDescription* p, const wchar_t* name) {
    CNAItemDescription* pclItem = p->pclNAGetItem(name, 0);
    EXPECT_NE(pclItem, nullptr) << Utf8(name);
    return pclItem;
  }
  std::string DefaultText(CMySQLDataSourceDescription* p, const wchar_t* name) {
    CNAItemDescription* pclItem = Item(p, name);
    if (pclItem == nullptr) return "(no item)";
    CAny* pv = pclItem->pclGetDefaultValue(0);
    return pv == nullptr ? "(none)" : ValueText(*pv);
  }

  std::vector<CMySQLDataSourceDescription*> m_descriptions;
};

TEST_F(MySQLDataSourceDescription, AutoIncrementKeysBecomeAutomaticIdentifiersBySize) {
  struct Case {
    const char* table;
    const char* type;
    eNA_ITEMTYPE expected;
  } const cases[] = {{"kqdsd_auto4", "INT", NA_IT_IDAUTO4}, {"kqdsd_auto8", "BIGINT", NA_IT_IDAUTO}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    CreateTable(c.table, std::string("id ") + c.type + " AUTO_INCREMENT PRIMARY KEY, v INT");
    CMySQLDataSourceDescription* p = Describe(std::wstring(c.table, c.table + strlen(c.table)));
    CNAItemDescription* pclId = Item(p, L"id");
    ASSERT_NE(pclId, nullptr);
    EXPECT_EQ(pclId->eNAGetItemType(), c.expected);
    EXPECT_EQ(pclId->wGetKeyFlags(), 0x8800);
    EXPECT_EQ(pclId->nGetKeyIndice(), 0);
    EXPECT_EQ(pclId->bNullable(), 0);
    EXPECT_EQ(Item(p, L"v")->wGetKeyFlags(), 0);
    EXPECT_EQ(p->nGetNumItems(), 2);
    EXPECT_EQ(p->nGetNumKeys(), 1);
  }
}

TEST_F(MySQLDataSourceDescription, ATwoColumnPrimaryKeyIsOneCompositeItemOfKeyWordD800) {
  CreateTable("kqdsd_pk2", "a INT NOT NULL, b VARCHAR(10) NOT NULL, c INT, PRIMARY KEY (a, b)");
  CMySQLDataSourceDescription* p = Describe(L"kqdsd_pk2");
  ASSERT_EQ(p->nGetNumItems(), 4);
  CNAItemDescription* pclKey = p->pclGetItem(3);
  EXPECT_STREQ(pclKey->pszGetName(), L"PRIMARY");
  EXPECT_EQ(pclKey->eNAGetItemType(), NA_IT_BINAIRE);
  EXPECT_EQ(pclKey->wGetKeyFlags(), 0xD800);
  EXPECT_EQ(pclKey->bIsComposedKey(), 1);
  EXPECT_EQ(pclKey->bNullable(), 0);  // both columns refuse NULL
  ASSERT_EQ(pclKey->nGetNumComponents(), 2);
  EXPECT_STREQ(pclKey->pclGetComponent(0)->pszGetName(), L"a");
  EXPECT_STREQ(pclKey->pclGetComponent(1)->pszGetName(), L"b");
  for (const wchar_t* name : {L"a", L"b", L"c"}) EXPECT_EQ(Item(p, name)->wGetKeyFlags(), 0);
  EXPECT_EQ(p->nGetNumKeys(), 1);
  // The composite item takes no room of the record's disk size.
  EXPECT_EQ(p->nGetDiskRecordSize(), 4 + Item(p, L"b")->nGetTotalSize() + 4);
}

TEST_F(MySQLDataSourceDescription, AColumnInAUniqueAndANonUniqueIndexKeepsTheStrongerKey) {
  // Both orders of declaration; the server lists the indexes in its own.
  struct Case {
    const char* table;
    const char* indexes;
  } const cases[] = {
      {"kqdsd_un1", "UNIQUE KEY u1 (u), KEY m1 (u)"},
      {"kqdsd_un2", "KEY m1 (u), UNIQUE KEY u1 (u)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    CreateTable(c.table, std::string("u INT NOT NULL, d INT, ") + c.indexes + ", KEY md (d)");
    CMySQLDataSourceDescription* p = Describe(std::wstring(c.table, c.table + strlen(c.table)));
    EXPECT_EQ(Item(p, L"u")->wGetKeyFlags(), 0x4800);
    EXPECT_EQ(Item(p, L"d")->wGetKeyFlags(), 0x2800);
    EXPECT_EQ(p->nGetNumKeys(), 2);
  }
}

// Index rows in any order the server might list them, read from a query
// that answers in SHOW INDEX's columns: table, non-unique, key name, place,
// column name.
TEST_F(MySQLDataSourceDescription, IndexRowsInAnyOrderKeepTheStrongestKeyAndSkipUnnamedParts) {
  CreateTable("kqdsd_rows", "a INT NOT NULL, b INT NOT NULL, c INT, d INT");
  CMySQLDataSourceDescription* p = Describe(L"kqdsd_rows");
  ASSERT_EQ(p->nGetNumKeys(), 0);
  const wchar_t* rows =
      L"SELECT 't' AS t, '0' AS n, 'ua' AS k, '1' AS s, 'a' AS c"
      L" UNION ALL SELECT 't', '1', 'ma', '1', 'a'"   // unique, then duplicates
      L" UNION ALL SELECT 't', '1', 'mb', '1', 'b'"   // duplicates, then unique
      L" UNION ALL SELECT 't', '0', 'ub', '1', 'b'"
      L" UNION ALL SELECT 't', '1', 'fx', '1', NULL"  // a part over an expression
      L" UNION ALL SELECT 't', '1', 'md', '1', 'd'"
      L" UNION ALL SELECT 't', '1', 'cd', '1', 'c'"   // a key of two columns
      L" UNION ALL SELECT 't', '1', 'cd', '2', NULL"
      L" UNION ALL SELECT 't', '1', 'cd', '3', 'd'";
  EXPECT_EQ(p->_bRunSchemaQuery(rows, 1, 0), 1) << Utf8(m_pclError->StringDump().pszGet());
  EXPECT_EQ(Item(p, L"a")->wGetKeyFlags(), 0x4800);
  EXPECT_EQ(Item(p, L"b")->wGetKeyFlags(), 0x4800);
  EXPECT_EQ(Item(p, L"c")->wGetKeyFlags(), 0);
  EXPECT_EQ(Item(p, L"d")->wGetKeyFlags(), 0x2800);
  CNAItemDescription* pclKey = p->pclNAGetItem(L"cd", 0);
  ASSERT_NE(pclKey, nullptr);
  EXPECT_EQ(pclKey->wGetKeyFlags(), 0x3800);
  EXPECT_EQ(pclKey->bNullable(), 1);  // over columns that take NULL
  ASSERT_EQ(pclKey->nGetNumComponents(), 2);
  EXPECT_STREQ(pclKey->pclGetComponent(0)->pszGetName(), L"c");
  EXPECT_STREQ(pclKey->pclGetComponent(1)->pszGetName(), L"d");
  EXPECT_EQ(p->nGetNumKeys(), 4);
}

TEST_F(MySQLDataSourceDescription, ANullableUniqueKeyStaysNullable) {
  CreateTable("kqdsd_nu", "n INT NOT NULL, u VARCHAR(8) NULL, UNIQUE KEY (u)");
  CMySQLDataSourceDescription* p = Describe(L"kqdsd_nu");
  CNAItemDescription* pclU = Item(p, L"u");
  EXPECT_EQ(pclU->wGetKeyFlags(), 0x4800);
  EXPECT_EQ(pclU->bNullable(), 1);
  EXPECT_EQ(pclU->vbConstraintNullAllowed(), 1);
  EXPECT_EQ(Item(p, L"n")->bNullable(), 0);
  // Not the item to browse on for a unique order without NULLs: there is
  // none; the key still is chosen, as the only one.
  INAItemDescription* piBest = p->piGetBestParseItemDesc();
  ASSERT_NE(piBest, nullptr);
  EXPECT_STREQ(piBest->pszGetName(), L"u");
  piBest->nExternalRelease();
}

TEST_F(MySQLDataSourceDescription, GeneratedColumnsAreVirtualOrStoredComputedItems) {
  CreateTable("kqdsd_gen",
              "a INT, v INT AS (a * 2) VIRTUAL, s INT AS (a + 1) STORED, "
              "p INT AS (a + 3) PERSISTENT");
  CMySQLDataSourceDescription* p = Describe(L"kqdsd_gen");
  struct Case {
    const wchar_t* name;
    int computed, persisted;
    const wchar_t* expression;
  } const cases[] = {
      {L"a", 0, 0, L""},
      {L"v", 1, 0, L"`a` * 2"},
      {L"s", 1, 1, L"`a` + 1"},
      {L"p", 1, 1, L"`a` + 3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.name));
    CNAItemDescription* pclItem = Item(p, c.name);
    ASSERT_NE(pclItem, nullptr);
    EXPECT_EQ(pclItem->vbIsComputedColumnAll(), c.computed);
    EXPECT_EQ(pclItem->vbComputedColumnPersist(), c.persisted);
    EXPECT_STREQ(pclItem->vpszGetComputedColumnExpression(), c.expression);
    EXPECT_EQ(pclItem->bUpdatable(), c.computed ? 0 : 1);
  }
}

TEST_F(MySQLDataSourceDescription, DefaultsReadBackAsTheValuesTheServerStores) {
  CreateTable("kqdsd_def",
              "n INT DEFAULT 5, q VARCHAR(20) DEFAULT 'it''s', b VARCHAR(20) DEFAULT 'a\\\\b', "
              "w VARCHAR(20) DEFAULT 'NULL', z VARCHAR(20) DEFAULT NULL, "
              "d DECIMAL(6,2) DEFAULT 1.50, t TIMESTAMP NULL DEFAULT current_timestamp()");
  CMySQLDataSourceDescription* p = Describe(L"kqdsd_def");
  EXPECT_EQ(DefaultText(p, L"n"), "5");
  EXPECT_EQ(DefaultText(p, L"q"), "it's");
  EXPECT_EQ(DefaultText(p, L"b"), "a\\b");
  EXPECT_EQ(DefaultText(p, L"w"), "NULL");
  EXPECT_FALSE(Item(p, L"w")->pclGetDefaultValue(0)->bIsNull());
  EXPECT_TRUE(Item(p, L"z")->pclGetDefaultValue(0)->bIsNull());
  EXPECT_EQ(DefaultText(p, L"d"), "1.5");
  // An expression is no value of the item's type: the item keeps the empty
  // default of its type (a NULL), and that is no failure.
  CAny* pclNoDefault = Item(p, L"t")->pclGetDefaultValue(0);
  EXPECT_TRUE(pclNoDefault->bIsNull());
  EXPECT_EQ(pclNoDefault->nGetTypeCode(), Item(p, L"t")->eGetItemVXType());
  EXPECT_EQ(m_pclError->dwGetErrorId(), 0u);
}

TEST_F(MySQLDataSourceDescription, TableNamesThatNeedEscapingAreDescribed) {
  struct Case {
    const char* quoted;  // as SQL writes it
    std::wstring name;   // as the program names it
  } const cases[] = {
      {"`kqdsd_tick``x`", L"kqdsd_tick`x"},
      {"`kqdsd_quote'x`", L"kqdsd_quote'x"},
      {"`kqdsd_back\\x`", L"kqdsd_back\\x"},
      {"`kqdsd_\xC3\xA9t\xC3\xA9_\xE2\x82\xAC`", L"kqdsd_\u00E9t\u00E9_\u20AC"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.quoted);
    CreateTable(c.quoted, "id INT NOT NULL PRIMARY KEY, `col'\\` VARCHAR(4)");
    CMySQLDataSourceDescription* p = Describe(c.name);
    ASSERT_EQ(p->nGetNumItems(), 2);
    EXPECT_STREQ(p->pclGetItem(0)->pszGetName(), L"id");
    EXPECT_STREQ(p->pclGetItem(1)->pszGetName(), L"col'\\");
    EXPECT_EQ(p->pclGetItem(0)->wGetKeyFlags(), 0xC800);
    EXPECT_STREQ(p->pclGetItem(0)->pszGetSourceName(), c.name.c_str());
  }
}

TEST_F(MySQLDataSourceDescription, AMissingTableFailsWithTheServersNativeError) {
  CMySQLDataSourceDescription* p = Describe(L"kqdsd_missing", true);
  EXPECT_EQ(m_pclError->dwGetDataBaseErrorCode(), 1146u);
  EXPECT_EQ(p->nGetNumItems(), 0);
}

TEST_F(MySQLDataSourceDescription, KeyTypesFromTextsAndFieldFlags) {
  struct TextCase {
    const wchar_t* text;
    unsigned short expected;
  } const texts[] = {{L"PRI", 0x8800}, {L"pri", 0x8800}, {L"PRIMARY", 0x8800}, {L"UNI", 0x4800},
                     {L"uni", 0x4800}, {L"MUL", 0},      {L"", 0},           {L"PR", 0}};
  for (const TextCase& c : texts)
    EXPECT_EQ(CMySQLDataSourceDescription::s_nKeyType(c.text), c.expected) << Utf8(c.text);
  EXPECT_EQ(CMySQLDataSourceDescription::s_nKeyType(static_cast<const wchar_t*>(nullptr)), 0);
  struct FlagCase {
    unsigned int flags;
    unsigned short expected;
  } const flags[] = {{0x2, 0x8800}, {0x6, 0x8800}, {0x4, 0x4800},
                     {0xC, 0x4800}, {0x8, 0x2800}, {0x4000, 0}, {0, 0}};
  for (const FlagCase& c : flags)
    EXPECT_EQ(CMySQLDataSourceDescription::s_nKeyType(c.flags), c.expected) << c.flags;
}

TEST_F(MySQLDataSourceDescription, CatalogueDefaultsAreUnquoted) {
  struct Case {
    const wchar_t* text;  // null: SQL NULL
    const wchar_t* value;
    int null;
  } const cases[] = {
      {nullptr, L"", 1},          {L"NULL", L"", 1},           {L"'NULL'", L"NULL", 0},
      {L"5", L"5", 0},            {L"'it''s'", L"it's", 0},    {L"'a\\\\b'", L"a\\b", 0},
      {L"'a\\nb'", L"a\nb", 0},   {L"''", L"", 0},             {L"'", L"'", 0},
      {L"current_timestamp()", L"current_timestamp()", 0},   {L"'x\\0y'", L"x", 0},
  };
  for (const Case& c : cases) {
    CTString out;
    int bNull = -1;
    CMySQLDataSourceDescription::s_DecodeCatalogueDefault(c.text, &out, &bNull);
    EXPECT_STREQ(out.pszGet(), c.value) << (c.text ? Utf8(c.text) : "NULL");
    EXPECT_EQ(bNull, c.null) << (c.text ? Utf8(c.text) : "NULL");
  }
}

TEST_F(MySQLDataSourceDescription, GeneratedKindsFromExtraTexts) {
  struct Case {
    const wchar_t* extra;
    int kind;
  } const cases[] = {{L"VIRTUAL GENERATED", 1}, {L"STORED GENERATED", 2}, {L"PERSISTENT", 2},
                     {L"virtual", 1},           {L"auto_increment", 0},   {L"", 0},
                     {L"DEFAULT_GENERATED", 0}, {nullptr, 0}};
  for (const Case& c : cases)
    EXPECT_EQ(CMySQLDataSourceDescription::s_nGeneratedKind(c.extra), c.kind)
        << (c.extra ? Utf8(c.extra) : "null");
}

}  // namespace
}  // namespace kqtest
