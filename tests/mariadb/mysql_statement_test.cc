// The MariaDB statement against the fixture's server: its column table and
// its cells equal what the client library itself reads for every MariaDB
// type; DECIMAL and UNSIGNED columns get items that hold their extremes;
// fetching ends with success and end-of-data; seeks count rows from 0; a
// multi-statement text whose later statement fails fails; bad column
// numbers, a missing table and a query over max_allowed_packet are errors.
#include <gtest/gtest.h>
#include <mysql.h>

#include <optional>
#include <string>
#include <vector>

#include "driver/function_loader.h"
#include "driver/na_error.h"
#include "kq230/tab_val_parser.h"
#include "items/convert_variant.h"
#include "mariadb/mysql_connection.h"
#include "mariadb/mysql_driver.h"
#include "mariadb/mysql_statement.h"
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

// An ASCII text as wide text.
std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string WithoutDashes(std::string s) {
  std::erase(s, '-');
  return s;
}

// One column of the every-type table.
struct TypeCase {
  const char* name;        // the column's name
  const char* definition;  // its SQL type
  const char* extreme;     // the value of the first row (SQL)
  eNA_ITEMTYPE item;       // the item type it must get
  int digits;              // DECIMAL: integer digits; else -1 (not checked)
  bool dateText;           // the holder's text drops the "-"
  bool compareText;        // the holder's text must equal the client's cell
};

const TypeCase kTypes[] = {
    {"ti", "TINYINT", "-128", NA_IT_I1, -1, false, true},
    {"tiu", "TINYINT UNSIGNED", "255", NA_IT_UI1, -1, false, true},
    {"si", "SMALLINT", "-32768", NA_IT_I2, -1, false, true},
    {"siu", "SMALLINT UNSIGNED", "65535", NA_IT_UI2, -1, false, true},
    {"mi", "MEDIUMINT", "-8388608", NA_IT_I4, -1, false, true},
    {"miu", "MEDIUMINT UNSIGNED", "16777215", NA_IT_UI4, -1, false, true},
    {"i", "INT", "-2147483648", NA_IT_I4, -1, false, true},
    {"iu", "INT UNSIGNED", "4294967295", NA_IT_UI4, -1, false, true},
    {"bi", "BIGINT", "-9223372036854775808", NA_IT_I8, -1, false, true},
    {"biu", "BIGINT UNSIGNED", "18446744073709551615", NA_IT_UI8, -1, false, true},
    {"d3", "DECIMAL(3,0)", "999", NA_IT_I2, 3, false, true},
    {"d4", "DECIMAL(4,0)", "-9999", NA_IT_I2, 4, false, true},
    {"d5", "DECIMAL(5,0)", "99999", NA_IT_I4, 5, false, true},
    {"d9", "DECIMAL(9,0)", "999999999", NA_IT_I4, 9, false, true},
    {"d10", "DECIMAL(10,0)", "9999999999", NA_IT_I8, 10, false, true},
    {"d18", "DECIMAL(18,0)", "-999999999999999999", NA_IT_I8, 18, false, true},
    {"d19", "DECIMAL(19,0)", "9999999999999999999", NA_IT_DECIMAL, 19, false, true},
    {"d19u", "DECIMAL(19,0) UNSIGNED", "9999999999999999999", NA_IT_UI8, 19, false, true},
    {"d20", "DECIMAL(20,0)", "99999999999999999999", NA_IT_DECIMAL, 20, false, true},
    {"d9u", "DECIMAL(9,0) UNSIGNED", "999999999", NA_IT_I4, 9, false, true},
    {"d102u", "DECIMAL(10,2) UNSIGNED", "99999999.99", NA_IT_MONETAIRE, 8, false, true},
    {"d102n", "DECIMAL(10,2)", "-12345678.99", NA_IT_MONETAIRE, 8, false, true},
    {"d3010n", "DECIMAL(30,10)", "-12345678901234567890.0123456789", NA_IT_DECIMAL, 20, false,
     true},
    {"fl", "FLOAT", "1.5", NA_IT_R4, -1, false, true},
    {"db", "DOUBLE", "-2.25e300", NA_IT_R8, -1, false, false},
    {"dt", "DATE", "'2024-02-29'", NA_IT_DATE8, -1, true, true},
    {"dtm", "DATETIME", "'9999-12-31 23:59:59'", NA_IT_DATETIME, -1, true, true},
    {"ts", "TIMESTAMP NULL", "'2038-01-19 03:14:07'", NA_IT_DATETIME, -1, true, true},
    {"tm", "TIME", "'-838:59:59'", NA_IT_DATETIME, -1, false, true},
    {"yr", "YEAR", "2155", NA_IT_DATETIME, -1, false, true},
    {"bt", "BIT(9)", "b'100000001'", NA_IT_BINAIRE, -1, false, false},
    {"l1", "VARCHAR(20) CHARACTER SET latin1", "'àéîõü ÿ'", NA_IT_UNICODE, -1, false, true},
    {"u8", "VARCHAR(20) CHARACTER SET utf8mb4", "'a\xF0\x9D\x84\x9E\xF0\x9F\x98\x80z'",
     NA_IT_UNICODE, -1, false, true},
    {"ch", "CHAR(3) CHARACTER SET utf8mb4", "'xyz'", NA_IT_UNICODE, -1, false, true},
    {"bl", "BLOB", "x'00FF10'", NA_IT_MEMOBINAIRE, -1, false, false},
    {"tx", "TEXT CHARACTER SET utf8mb4", "'t\xF0\x9F\x98\x80xt'", NA_IT_MEMOUNICODE, -1, false,
     true},
    {"vb", "VARBINARY(8)", "x'0001FE'", NA_IT_TEXTE, -1, false, false},
};

// The largest number of integer digits an item type holds whole.
int MaxDigits(eNA_ITEMTYPE e) {
  switch (e) {
    case NA_IT_I1: case NA_IT_UI1: return 2;
    case NA_IT_I2: case NA_IT_UI2: return 4;
    case NA_IT_I4: case NA_IT_UI4: return 9;
    case NA_IT_I8: return 18;
    case NA_IT_UI8: return 19;
    case NA_IT_MONETAIRE: return 18;
    case NA_IT_DECIMAL: return 38;
    default: return 0;
  }
}

class MySQLStatement : public DriverServerTest {
 protected:
  MySQLStatement() : DriverServerTest(L"Connection=statements") {}
  void TearDown() override {
    for (CMySQLStatementSQL* p : m_statements) p->nRelease();
    m_statements.clear();
    DriverServerTest::TearDown();
  }

  CMySQLStatementSQL* NewStatement() {
    CMySQLStatementSQL* p =
        CMySQLStatementSQL::s_pclAllocStatementSQL(m_session.pclConnection(), m_pclError);
    EXPECT_NE(p, nullptr);
    p->AddRef();
    m_statements.push_back(p);
    return p;
  }
  // The every-type table: the extremes in row 1, NULLs in row 2. Each test
  // has its own (tests run at the same time on one server).
  void CreateTypesTable(const std::string& table) {
    std::string body = "k INT PRIMARY KEY", values = "1", nulls = "2";
    for (const TypeCase& c : kTypes) {
      body += std::string(", ") + c.name + " " + c.definition;
      values += std::string(", ") + c.extreme;
      nulls += ", NULL";
    }
    CreateTable(table, body);
    ASSERT_TRUE(m_session.bRun("INSERT INTO " + table + " VALUES (" + values + "), (" + nulls +
                               ")"));
  }
  // The client library's fields of a query, read on the session's handle.
  struct ClientField {
    std::string name, table, nameInTable;
    unsigned long length, maxLength;
    unsigned int flags, decimals, charset;
    int type;
  };
  std::vector<ClientField> ClientFields(const std::string& sql) {
    MYSQL* h = m_session.pclConnection()->pGetHandle();
    std::vector<ClientField> out;
    EXPECT_EQ(__mysql_real_query(h, sql.data(), sql.size()), 0) << __mysql_error(h);
    MYSQL_RES* res = __mysql_store_result(h);
    if (res == nullptr) return out;
    unsigned int n = __mysql_num_fields(res);
    MYSQL_FIELD* f = __mysql_fetch_fields(res);
    for (unsigned int i = 0; i < n; ++i)
      out.push_back({f[i].name, f[i].org_table, f[i].org_name, f[i].length, f[i].max_length,
                     f[i].flags, f[i].decimals, f[i].charsetnr, static_cast<int>(f[i].type)});
    __mysql_free_result(res);
    return out;
  }
  // The cell of the current row through the statement's own holder (wide
  // text), as UTF-8.
  std::string Text(CMySQLStatementSQL* p, unsigned int column) {
    CAny v;
    EXPECT_EQ(p->bGetValue(&v, column, 0), 1) << m_pclError->StringDump().pszGet();
    return ValueText(v);
  }
  std::optional<std::string> Raw(CMySQLStatementSQL* p, unsigned int column) {
    unsigned char* cell = nullptr;
    unsigned int n = 0;
    EXPECT_EQ(p->bGetValue(&cell, &n, column), 1);
    if (cell == nullptr) return std::nullopt;
    return std::string(reinterpret_cast<char*>(cell), n);
  }

  std::vector<CMySQLStatementSQL*> m_statements;
};

TEST_F(MySQLStatement, FieldRecordsAreReadWithTheLoadedLibrarysLayout) {
  // Connector/C calls itself 3.x yet gives the 4.1 records.
  EXPECT_EQ(CMySQLStatementSQL::s_nFieldRecordSize(), static_cast<int>(sizeof(MYSQL_FIELD)));
  EXPECT_EQ(sizeof(MYSQL_FIELD), 84u);
}

TEST_F(MySQLStatement, ColumnFactsEqualTheClientsFieldsForEveryType) {
  CreateTypesTable("kq_stmt_types_facts");
  const std::string select = "SELECT * FROM kq_stmt_types_facts ORDER BY k";
  std::vector<ClientField> client = ClientFields(select);
  CMySQLStatementSQL* p = NewStatement();
  ASSERT_EQ(p->bExecuteDirect(Widen(select).c_str(), nullptr, 0), 1)
      << m_pclError->StringDump().pszGet();
  int count = 0;
  p->bGetColumnNbr(&count, 0);
  ASSERT_EQ(count, static_cast<int>(client.size()));
  for (int i = 0; i < count; ++i) {
    SCOPED_TRACE(client[i].name);
    CNAColumnSQL* c = p->pclGetNAColumnSQL(i);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(Utf8(c->pszGetName()), client[i].name);
    EXPECT_EQ(Utf8(c->pszGetTableName()), client[i].table);
    EXPECT_EQ(Utf8(c->pszGetNameInTable()), client[i].nameInTable);
    EXPECT_EQ(c->nGetNativeTypeCode(), client[i].type);
    EXPECT_EQ(c->llGetLength(), static_cast<long long>(client[i].length != 0
                                                           ? client[i].length
                                                           : client[i].maxLength));
    EXPECT_EQ(c->dwGetFieldFlags(), client[i].flags);
    EXPECT_EQ(c->nGetCharsetNumber(), static_cast<int>(client[i].charset));
    EXPECT_EQ(c->nGetDecimalDigits(), static_cast<int>(client[i].decimals));
  }
}

TEST_F(MySQLStatement, EveryTypeGetsAnItemThatHoldsItsExtremes) {
  CreateTypesTable("kq_stmt_types_items");
  CMySQLStatementSQL* p = NewStatement();
  ASSERT_EQ(p->bExecuteDirect(L"SELECT * FROM kq_stmt_types_items", nullptr, 0), 1);
  for (size_t i = 0; i < std::size(kTypes); ++i) {
    const TypeCase& c = kTypes[i];
    SCOPED_TRACE(c.definition);
    CNAColumnSQL* col = p->pclGetNAColumnSQL(static_cast<int>(i) + 1);
    ASSERT_NE(col, nullptr);
    if (c.item == NA_IT_TEXTE && col->eGetItemType() == NA_IT_UNICODE) continue;  // VARBINARY
    EXPECT_EQ(col->eGetItemType(), c.item);
    if (c.digits >= 0) {
      EXPECT_EQ(col->nGetIntegerDigits(), c.digits);
      EXPECT_LE(c.digits, MaxDigits(col->eGetItemType()));
    }
  }
}

TEST_F(MySQLStatement, CellsEqualTheClientsCellsForEveryTypeAndNull) {
  CreateTypesTable("kq_stmt_types_cells");
  const std::string select = "SELECT * FROM kq_stmt_types_cells ORDER BY k";
  std::vector<ServerSession::Row> rows = m_session.Rows(select);
  ASSERT_EQ(rows.size(), 2u);
  CMySQLStatementSQL* p = NewStatement();
  ASSERT_EQ(p->bExecuteDirect(Widen(select).c_str(), nullptr, 0), 1);
  EXPECT_EQ(p->llGetRowCount(), 2);
  for (size_t r = 0; r < rows.size(); ++r) {
    ASSERT_EQ(p->bFetch(0), 1);
    ASSERT_FALSE(p->bIsEndOfData());
    for (size_t i = 0; i < std::size(kTypes); ++i) {
      const TypeCase& c = kTypes[i];
      SCOPED_TRACE(std::string(c.definition) + " row " + std::to_string(r));
      const unsigned int column = static_cast<unsigned int>(i) + 1;
      const std::optional<std::string>& expected = rows[r][column];
      EXPECT_EQ(Raw(p, column), expected);
      if (!expected.has_value()) {
        EXPECT_EQ(Text(p, column), "NULL");
      } else if (c.compareText) {
        EXPECT_EQ(Text(p, column), c.dateText ? WithoutDashes(*expected) : *expected);
      }
    }
  }
  ASSERT_EQ(p->bFetch(0), 1);
  EXPECT_TRUE(p->bIsEndOfData());
}

TEST_F(MySQLStatement, FourByteCharactersReachAUnicodeHolderWhole) {
  CMySQLStatementSQL* p = NewStatement();
  ASSERT_EQ(p->bExecuteDirect(L"SELECT CONCAT('a', _utf8mb4 x'F09D849E', 'z')", nullptr, 0), 1);
  ASSERT_EQ(p->bFetch(0), 1);
  CAny v;
  ASSERT_EQ(p->bGetValue(&v, 0, 0), 1);
  CXYString<wchar_t> s;
  v.__nFillString(s, nullptr);
  EXPECT_EQ(std::wstring(s.pszGet()), std::wstring(L"a\U0001D11Ez"));
  s.ReleaseDynStr();
}

TEST_F(MySQLStatement, FetchingPastTheLastRowSucceedsWithEndOfDataAndNoCurrentRow) {
  for (int store : {1, 0}) {
    SCOPED_TRACE(store ? "store mode" : "use mode");
    CMySQLStatementSQL* p = NewStatement();
    p->SetStoreMode(store);
    ASSERT_EQ(p->bExecuteDirect(L"SELECT 10 UNION ALL SELECT 11 UNION ALL SELECT 12", nullptr, 0),
              1);
    EXPECT_EQ(p->llGetRowCount(), store ? 3 : -1);  // a stream is not counted
    for (int r = 0; r < 3; ++r) {
      ASSERT_EQ(p->bFetch(0), 1);
      EXPECT_EQ(p->llGetCurrentRow(), r);
      EXPECT_EQ(Text(p, 0), std::to_string(10 + r));
    }
    EXPECT_EQ(p->bFetch(0), 1);
    EXPECT_TRUE(p->bIsEndOfData());
    EXPECT_EQ(p->llGetRowCount(), 3);
    m_pclError->Reset();
    CAny v;
    EXPECT_EQ(p->bGetValue(&v, 0, 0), 0);
    EXPECT_EQ(m_pclError->dwGetErrorId(), 7u);
    m_pclError->Reset();
    p->bReset();
  }
  // The connection serves the next text: nothing was left unread.
  EXPECT_EQ(m_session.FirstCells("SELECT 5"), std::vector<std::string>{"5"});
}

TEST_F(MySQLStatement, SeekingCountsRowsFromZero) {
  CMySQLStatementSQL* p = NewStatement();
  ASSERT_EQ(p->bExecuteDirect(L"SELECT 0 UNION ALL SELECT 1 UNION ALL SELECT 2", nullptr, 0), 1);
  struct Case {
    long long seek;
    const char* first;  // nullptr: end of data
    const char* next;
  };
  const Case cases[] = {{0, "0", "1"}, {1, "1", "2"}, {2, "2", nullptr}, {3, nullptr, nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seek);
    ASSERT_EQ(p->bDataSeek(c.seek), 1);
    for (const char* want : {c.first, c.next}) {
      ASSERT_EQ(p->bFetch(0), 1);
      if (want == nullptr) {
        EXPECT_TRUE(p->bIsEndOfData());
        break;
      }
      EXPECT_EQ(Text(p, 0), want);
    }
  }
}

TEST_F(MySQLStatement, AStreamedResultRefusesSeeks) {
  CMySQLStatementSQL* p = NewStatement();
  p->SetStoreMode(0);
  ASSERT_EQ(p->bExecuteDirect(L"SELECT 1", nullptr, 0), 1);
  EXPECT_EQ(p->bDataSeek(0), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 38u);
}

TEST_F(MySQLStatement, AStatementWithoutRowsHasNoColumnsInBothModes) {
  CreateTable("kq_stmt_upd", "k INT");
  for (int store : {1, 0}) {
    CMySQLStatementSQL* p = NewStatement();
    p->SetStoreMode(store);
    ASSERT_EQ(p->bExecuteDirect(L"INSERT INTO kq_stmt_upd VALUES (1), (2)", nullptr, 0), 1);
    int count = -1;
    p->bGetColumnNbr(&count, 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(p->llGetRowCount(), 0);
    unsigned long long affected = 0;
    EXPECT_EQ(p->bGetAffected_rows(&affected), 1);
    EXPECT_EQ(affected, 2u);
  }
}

TEST_F(MySQLStatement, TheFirstResultSetWithRowsIsTheResult) {
  CMySQLStatementSQL* p = NewStatement();
  ASSERT_EQ(p->bExecuteDirect(L"DO 1; SELECT 7; SELECT 8", nullptr, 0), 1)
      << m_pclError->StringDump().pszGet();
  ASSERT_EQ(p->bFetch(0), 1);
  EXPECT_EQ(Text(p, 0), "7");
  EXPECT_EQ(m_session.FirstCells("SELECT 9"), std::vector<std::string>{"9"});
}

TEST_F(MySQLStatement, AMultiStatementTextWhoseSecondStatementFailsFails) {
  for (int store : {1, 0}) {
    SCOPED_TRACE(store ? "store mode" : "use mode");
    m_pclError->Reset();
    CMySQLStatementSQL* p = NewStatement();
    p->SetStoreMode(store);
    int ok = p->bExecuteDirect(L"SELECT 1; SELECT * FROM kq_stmt_missing_table", nullptr, 0);
    if (!store && ok) {
      ASSERT_EQ(p->bFetch(0), 1);  // the first set's row
      ok = p->bFetch(0);           // its end: the failed statement after it
    }
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(m_pclError->dwGetErrorId(), 22u);
    EXPECT_EQ(m_pclError->dwGetDataBaseErrorCode(), 1146u);
    p->bReset();
    EXPECT_EQ(m_session.FirstCells("SELECT 2"), std::vector<std::string>{"2"});
  }
}

TEST_F(MySQLStatement, AMissingTableIsTheServersErrorWithItsNativeCode) {
  CMySQLStatementSQL* p = NewStatement();
  EXPECT_EQ(p->bExecuteDirect(L"SELECT * FROM kq_stmt_missing_table", nullptr, 0), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 22u);
  EXPECT_EQ(m_pclError->dwGetDataBaseErrorCode(), 1146u);
  const std::wstring dump = m_pclError->StringDump().pszGet();
  EXPECT_NE(dump.find(L"kq_stmt_missing_table"), std::wstring::npos) << "the query dump";
}

TEST_F(MySQLStatement, ColumnsOutsideTheResultAreErrorsNotReads) {
  CMySQLStatementSQL* p = NewStatement();
  ASSERT_EQ(p->bExecuteDirect(L"SELECT 1, 2", nullptr, 0), 1);
  ASSERT_EQ(p->bFetch(0), 1);
  struct Case {
    int column;
    unsigned int error;
  };
  for (const Case& c : {Case{-1, 51u}, Case{2, 50u}, Case{1000000, 50u}}) {
    SCOPED_TRACE(c.column);
    m_pclError->Reset();
    EXPECT_EQ(p->pclGetNAColumnSQL(c.column), nullptr);
    EXPECT_EQ(m_pclError->dwGetErrorId(), c.error);
    m_pclError->Reset();
    CAny v;
    EXPECT_EQ(p->bGetValue(&v, static_cast<unsigned int>(c.column), 0), 0);
    EXPECT_EQ(m_pclError->dwGetErrorId(), c.error);
    m_pclError->Reset();
    unsigned char* cell = nullptr;
    unsigned int n = 0;
    EXPECT_EQ(p->bGetValue(&cell, &n, static_cast<unsigned int>(c.column)), 0);
    EXPECT_EQ(m_pclError->dwGetErrorId(), c.error);
  }
}

TEST_F(MySQLStatement, RowsColumnNamesAndRequestedValuesComeAsText) {
  CMySQLStatementSQL* p = NewStatement();
  ASSERT_EQ(p->bExecuteDirect(L"SELECT 'a' AS x, NULL AS y, 'c' AS z", nullptr, 0), 1);
  CAny list;
  ASSERT_EQ(p->bGetColumnList(&list, 0), 1);
  EXPECT_EQ(ValueText(list), "x\r\ny\r\nz");
  CAny row;
  EXPECT_EQ(p->bGetRow(&row, L";", 0, 0), 0);  // no current row yet
  EXPECT_EQ(m_pclError->dwGetErrorId(), 7u);
  ASSERT_EQ(p->bFetch(0), 1);
  for (int count : {0, 3, 7}) {
    ASSERT_EQ(p->bGetRow(&row, L";", count, 0), 1);
    EXPECT_EQ(ValueText(row), "a;;c");
  }
  ASSERT_EQ(p->bGetRow(&row, L";", 2, 0), 1);
  EXPECT_EQ(ValueText(row), "a;");
  CAny value;
  CMySQLStatementSQL* q = NewStatement();
  ASSERT_EQ(q->bGetRequestedValue(&value, 1, L"SELECT 1, 'two'"), 1);
  EXPECT_EQ(ValueText(value), "two");
  CAny untouched;
  untouched.SetI4(5);
  EXPECT_EQ(q->bGetRequestedValue(&untouched, 0, L"SELECT 1 FROM DUAL WHERE 0"), 1);
  EXPECT_EQ(ValueText(untouched), "5");
}

TEST(MySQLColumnTypes, ClientTypesMapToItemTypesAndSizes) {
  struct Case {
    const char* name;
    int type;
    long long length;
    int precision, decimals, charset, isUnsigned;
    eNA_ITEMTYPE item;
    int size;
  };
  const Case cases[] = {
      {"BIT(0)", 16, 0, 0, 0, 63, 0, NA_IT_BINAIRE, 3},
      {"BIT(9)", 16, 9, 0, 0, 63, 0, NA_IT_BINAIRE, 11},
      {"VARCHAR(40000) utf8mb4", 253, 160000, 0, 0, 45, 0, NA_IT_MEMOUNICODE, 8},
      {"VARCHAR(100) latin1", 253, 100, 0, 0, 8, 0, NA_IT_TEXTE, 101},
      {"VARCHAR(10) utf8mb4", 253, 40, 0, 0, 45, 0, NA_IT_UNICODE, 82},
      {"VARCHAR(20000) utf8mb3 (2n past 65534)", 253, 60000, 0, 0, 33, 0, NA_IT_MEMOUNICODE, 8},
      {"VARBINARY(10)", 253, 10, 0, 0, 63, 0, NA_IT_TEXTE, 11},
      {"LONGBLOB", 251, 0xFFFFFFFFLL, 0, 0, 63, 0, NA_IT_MEMOBINAIRE, 8},
      {"TEXT latin1", 252, 65535, 0, 0, 8, 0, NA_IT_MEMOTEXTE, 8},
      {"TEXT utf8mb4", 252, 262140, 0, 0, 224, 0, NA_IT_MEMOUNICODE, 8},
      {"TINYINT UNSIGNED", 1, 3, 0, 0, 63, 1, NA_IT_UI1, 1},
      {"INT24 UNSIGNED", 9, 8, 0, 0, 63, 1, NA_IT_UI4, 4},
      {"ENUM", 247, 1, 0, 0, 45, 0, NA_IT_I4, 4},
      {"NULL", 6, 0, 0, 0, 63, 0, NA_IT_EMPTY, 0},
      {"DATE", 10, 10, 0, 0, 63, 0, NA_IT_DATE8, 9},
      {"DECIMAL(3,0)", 246, 4, 3, 0, 63, 0, NA_IT_I2, 2},
      {"DECIMAL(19,0) UNSIGNED", 246, 19, 19, 0, 63, 1, NA_IT_UI8, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    eNA_ITEMTYPE e = NA_IT_EMPTY;
    int size = -1;
    CMySQLStatementSQL::s_ConvertItemType(&e, &size, c.type, c.length, c.precision, c.decimals,
                                          c.charset, c.isUnsigned);
    EXPECT_EQ(e, c.item);
    EXPECT_EQ(size, c.size);
  }
}

TEST(MySQLColumnTypes, DecimalIntegerDigitsCountTheSignAndPointOnlyWhenPresent) {
  struct Case {
    long long length;
    int decimals, isUnsigned, digits;
  };
  // DECIMAL(3,0), (20,0), (10,2), (10,2) UNSIGNED, (5,0) UNSIGNED, (30,10).
  const Case cases[] = {{4, 0, 0, 3}, {21, 0, 0, 20}, {12, 2, 0, 8},
                        {11, 2, 1, 8}, {5, 0, 1, 5},  {32, 10, 0, 20}};
  for (const Case& c : cases)
    EXPECT_EQ(CMySQLStatementSQL::s_nDecimalIntegerDigits(c.length, c.decimals, c.isUnsigned),
              c.digits)
        << c.length << "," << c.decimals;
}

TEST(MySQLColumnTypes, UnicodeCharacterSetsAreRecognisedByNumber) {
  for (int n : {12, 17, 33, 35, 45, 46, 54, 55, 56, 60, 61, 62, 76, 83, 90, 91, 99, 224, 2048})
    EXPECT_TRUE(CMySQLStatementSQL::s_bCharsetUnicode(n)) << n;
  for (int n : {0, 1, 8, 11, 13, 47, 63, 77, 84, 98})
    EXPECT_FALSE(CMySQLStatementSQL::s_bCharsetUnicode(n)) << n;
}

TEST_F(MySQLStatement, ParametersAreWrittenIntoTheTextAsLiterals) {
  CAny number, text, null;
  number.SetI4(-42);
  const wchar_t kQuoted[] = L"it's a \\ \U0001F600";
  text.__SetType(VX_PSTRW, 0);
  text.SetValueByte(kQuoted, static_cast<unsigned int>((std::size(kQuoted) - 1) * sizeof(wchar_t)));
  null.SetNull(true);
  const std::wstring sql = L"SELECT {n}, {t}, {z} IS NULL";
  const _stTabValMarqueur markers[] = {{&number, 7, 3, kTabValFlagUserParameter, L"n"},
                                       {&text, 12, 3, kTabValFlagUserParameter, L"t"},
                                       {nullptr, 17, 3, kTabValFlagUserParameter, L"z"}};
  CTabValParser parser{3, markers, 0, nullptr};
  CMySQLStatementSQL* p = NewStatement();
  ASSERT_EQ(p->bExecuteDirect(sql.c_str(), &parser, 0), 1) << m_pclError->StringDump().pszGet();
  ASSERT_EQ(p->bFetch(0), 1);
  EXPECT_EQ(Text(p, 0), "-42");
  EXPECT_EQ(Text(p, 1), Utf8(kQuoted));
  EXPECT_EQ(Text(p, 2), "1");
}

TEST_F(MySQLStatement, TheQueryDumpKeepsFiveThousandCharacters) {
  std::wstring sql = L"SELECT * FROM kq_stmt_missing_table WHERE a = '";
  sql.append(6000 - sql.size() - 1, L'b');
  sql += L"'";
  ASSERT_EQ(sql.size(), 6000u);
  CMySQLStatementSQL* p = NewStatement();
  EXPECT_EQ(p->bExecuteDirect(sql.c_str(), nullptr, 0), 0);
  const std::wstring dump = m_pclError->StringDump().pszGet();
  EXPECT_NE(dump.find(sql.substr(0, 5000)), std::wstring::npos);
  EXPECT_EQ(dump.find(sql.substr(0, 5001)), std::wstring::npos);
}

TEST_F(MySQLStatement, StatementNumbersFollowTheOrderOfConstruction) {
  CMySQLStatementSQL* a = NewStatement();
  CMySQLStatementSQL* b = NewStatement();
  CMySQLStatementSQL* c = NewStatement();
  EXPECT_EQ(b->nGetStatementNumber(), a->nGetStatementNumber() + 1);
  EXPECT_EQ(c->nGetStatementNumber(), b->nGetStatementNumber() + 1);
}

TEST_F(MySQLStatement, AQueryOverMaxAllowedPacketIsUserErrorTwentySixFirst) {
  const std::vector<std::string> limit =
      m_session.FirstCells("SELECT @@global.max_allowed_packet");
  ASSERT_EQ(limit.size(), 1u);
  const unsigned long long packet = std::stoull(limit[0]);
  std::string sql = "SELECT '";
  sql.append(static_cast<size_t>(packet) + 1024, 'a');
  sql += "'";
  CMySQLStatementSQL* p = NewStatement();
  EXPECT_EQ(p->bExecuteDirect(sql.c_str(), 0), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 26u) << m_pclError->StringDump().pszGet();
  const std::wstring dump = m_pclError->StringDump().pszGet();
  EXPECT_NE(dump.find(std::to_wstring(packet)), std::wstring::npos) << dump;
  EXPECT_NE(dump.find(std::to_wstring(sql.size())), std::wstring::npos) << dump;
  EXPECT_NE(m_pclError->dwGetDataBaseErrorCode(), 0u);
  // The connection serves the next statement.
  m_pclError->Reset();
  CMySQLStatementSQL* q = NewStatement();
  ASSERT_EQ(q->bExecuteDirect(L"SELECT 3", nullptr, 0), 1) << m_pclError->StringDump().pszGet();
}

}  // namespace
}  // namespace kqtest
