// A data-source description filled from the result columns of a real
// statement: a table of the fixture's server whose names hold quotes,
// backquotes, backslashes, "%", "_" and 2- and 3-byte UTF-8 characters is
// selected through the client library, each MYSQL_FIELD becomes a result
// column as the back end's statement makes them, and the description that
// the driver's factories make keeps every name exactly, numbers the key
// columns in order and lays the record out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/function_loader.h"
#include "driver/na_error.h"
#include "items/code_page_converters.h"
#include "items/data_source_description.h"
#include "items/item_description.h"
#include "mariadb/mysql_connection.h"
#include "mariadb/mysql_driver.h"
#include "statements/statement_sql.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/server_session.h"
#include "tests/support/bound_framework.h"

namespace {

using kqtest::ServerSession;

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

// A statement whose result is a client-library result set: its column table
// is built from the fields, as the back end's statement builds it. The item
// types are the few this test selects (the connection's full conversion
// belongs to the back end).
class CFieldsStatement : public CNAStatementSQL {
 public:
  CFieldsStatement(CNAConnectionDescription* pclConnection, CNAError* pclError, MYSQL_RES* pRes)
      : CNAStatementSQL(pclConnection, pclError), m_pRes(pRes) {
    _SetColumnCount(static_cast<int>(__mysql_num_fields(pRes)));
  }
  int nBuilt = 0;

 protected:
  int _bInitTabNAColumn() override {
    ++nBuilt;
    if (!_bAllocTabNAColumn()) return 0;
    const int nCodePage = pclGetConnection()->nGetConnectionCodePage();
    MYSQL_FIELD* pFields = __mysql_fetch_fields(m_pRes);
    for (int i = 0; _pclGetColumnForFill(i) != nullptr; ++i) {
      const MYSQL_FIELD& f = pFields[i];
      CNAColumnSQL* p = _pclGetColumnForFill(i);
      CNACodePageCnvOUTPtr clName(f.name, static_cast<int>(f.name_length), nCodePage);
      CNACodePageCnvOUTPtr clTable(f.org_table, static_cast<int>(f.org_table_length), nCodePage);
      CNACodePageCnvOUTPtr clInTable(f.org_name, static_cast<int>(f.org_name_length), nCodePage);
      p->SetNames(clName.pszGetForZB(), clTable.pszGetForZB(), clInTable.pszGetForZB());
      p->SetField(static_cast<long long>(f.length), f.flags, static_cast<int>(f.charsetnr));
      switch (f.type) {
        case MYSQL_TYPE_LONG:
          p->SetItemType(NA_IT_I4, 4, 0, 0);
          p->SetNativeType(L"INT", f.type);
          break;
        case MYSQL_TYPE_LONGLONG:
          p->SetItemType(NA_IT_I8, 8, 0, 0);
          p->SetNativeType(L"BIGINT", f.type);
          break;
        case MYSQL_TYPE_NEWDECIMAL: {
          const int nDecimals = static_cast<int>(f.decimals);
          const int nInteger = static_cast<int>(f.length) - nDecimals - 2;
          p->SetItemType(NA_IT_DECIMAL, CNAItemDescription::s_nDecimalSize(nInteger + nDecimals),
                         nInteger, nDecimals);
          p->SetNativeType(L"DECIMAL", f.type);
          break;
        }
        case MYSQL_TYPE_DATETIME:
          p->SetItemType(NA_IT_DATETIME, 8, 0, static_cast<int>(f.decimals));
          p->SetNativeType(L"DATETIME", f.type);
          break;
        default:  // text of the utf8mb4 connection: 4 bytes a character
          p->SetItemType(NA_IT_TEXTE, static_cast<int>(f.length / 4) + 1, 0, 0);
          p->SetNativeType(L"VARCHAR", f.type);
          break;
      }
    }
    return 1;
  }

 private:
  MYSQL_RES* m_pRes;
};

class DescriptionFromResult : public kqtest::BoundFrameworkTest {
 protected:
  static void SetUpTestSuite() { ServerSession::ReadServer(); }
  static void TearDownTestSuite() { ServerSession::ForgetServer(); }
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    m_pclDriver = new CMySQLDriver();
    m_pclDriver->ExternalAddRef();
    m_pclDriver->bInitDriver();
    m_pclError = new CNAError;
    m_pclError->AddRef();
    ASSERT_TRUE(m_session.bOpen(L"Connection=descriptions"));
    m_pclConnection = m_session.pclConnection();
  }
  void TearDown() override {
    if (m_pRes != nullptr) __mysql_free_result(m_pRes);
    if (m_pclConnection != nullptr)
      for (const std::wstring& table : m_tables) Run(L"DROP TABLE IF EXISTS " + table);
    m_session.Close();
    m_pclError->nRelease();
    EXPECT_EQ(m_pclDriver->nExternalRelease(), 0);
    ServerSession::EndClientLibrary();
    BoundFrameworkTest::TearDown();
  }

  void Run(const std::wstring& sql) { ASSERT_TRUE(m_session.bRun(sql)); }
  void CreateTable(const std::wstring& name, const std::wstring& body) {
    m_tables.push_back(name);
    Run(L"DROP TABLE IF EXISTS " + name);
    Run(L"CREATE TABLE " + name + L" (" + body + L") CHARACTER SET utf8mb4");
  }
  // The result of a query (UTF-8 text), kept until the end of the test.
  MYSQL_RES* Select(const std::string& sql) {
    MYSQL* h = m_pclConnection->pGetHandle();
    EXPECT_EQ(__mysql_real_query(h, sql.data(), sql.size()), 0) << __mysql_error(h);
    m_pRes = __mysql_store_result(h);
    EXPECT_NE(m_pRes, nullptr);
    return m_pRes;
  }
  // A description from the driver's factory, filled from the result.
  CNADataSourceDescription* Describe(MYSQL_RES* pRes, const wchar_t* pszLogicalName) {
    auto* pclDesc = static_cast<CNADataSourceDescription*>(
        m_pclDriver->pclAllocDataSourceDescription(m_pclConnection, m_pclError));
    EXPECT_NE(pclDesc, nullptr);
    pclDesc->ExternalAddRef();
    if (pszLogicalName != nullptr) pclDesc->SetLogicalName(pszLogicalName);
    auto* pclStatement = new CFieldsStatement(m_pclConnection, m_pclError, pRes);
    pclStatement->AddRef();
    EXPECT_EQ(pclDesc->bInitDataSourceDescriptionFromStatement(pclStatement), 1)
        << m_pclError->StringDump().pszGet();
    EXPECT_EQ(pclStatement->nBuilt, 1);
    pclStatement->nRelease();
    return pclDesc;
  }

  kqtest::ServerSession m_session;
  CMySQLDriver* m_pclDriver = nullptr;
  CMySQLConnection* m_pclConnection = nullptr;
  CNAError* m_pclError = nullptr;
  MYSQL_RES* m_pRes = nullptr;
  std::vector<std::wstring> m_tables;
};


TEST_F(DescriptionFromResult, NamesAreKeptExactlyKeysNumberedAndTheRecordLaidOut) {
  // The server keeps names in the basic plane (it answers a character past
  // it with "?"): the 4-byte names are proved on result columns built
  // directly (statement_columns_test.cc).
  CreateTable(L"`kq_desc ``q\"t\u20AC`",
              L"`id` INT PRIMARY KEY, `it's \"q\"` VARCHAR(20), `back``tick` DECIMAL(12,2) UNIQUE, "
              L"`back\\slash` BIGINT, `pct%_und` DATETIME(3), `\u4E2D\u00E9` VARCHAR(5), "
              L"KEY (`back\\slash`)");
  // Statements given as UTF-8 reach the server as written: the table, the
  // column and the value name what the wide text above names.
  ASSERT_TRUE(m_session.bRun(
      "INSERT INTO `kq_desc ``q\"t\xE2\x82\xAC` (`id`, `\xE4\xB8\xAD\xC3\xA9`) VALUES "
      "(1, '\xC3\xA9t\xC3\xA9')"));
  EXPECT_EQ(m_session.FirstCells("SELECT `\xE4\xB8\xAD\xC3\xA9` FROM `kq_desc ``q\"t\xE2\x82\xAC`"),
            std::vector<std::string>{"\xC3\xA9t\xC3\xA9"});
  MYSQL_RES* pRes = Select(
      "SELECT * FROM `kq_desc ``q\"t\xE2\x82\xAC`");
  ASSERT_NE(pRes, nullptr);
  CNADataSourceDescription* pclDesc = Describe(pRes, L"CUSTOMERS");
  const std::wstring table = L"kq_desc `q\"t\u20AC";
  struct Expected {
    std::wstring name;
    int nType, nSize, nKeyIndex;
    unsigned short wKeyFlags;
    int nIntegerDigits, nDecimalDigits;
  } expected[] = {
      {L"id", NA_IT_I4, 4, 0, 0x8800, 0, 0},
      {L"it's \"q\"", NA_IT_TEXTE, 21, -1, 0, 0, 0},
      {L"back`tick", NA_IT_DECIMAL, CNAItemDescription::s_nDecimalSize(12), 1, 0x4800, 10, 2},
      {L"back\\slash", NA_IT_I8, 8, 2, 0x2800, 0, 0},
      {L"pct%_und", NA_IT_DATETIME, 8, -1, 0, 0, 3},
      {L"\u4E2D\u00E9", NA_IT_TEXTE, 6, -1, 0, 0, 0},
  };
  ASSERT_EQ(pclDesc->nGetNumItems(), 6);
  EXPECT_EQ(pclDesc->nGetNumKeys(), 3);
  EXPECT_EQ(pclDesc->nGetOrigin(), CNADataSourceDescription::ORIGIN_STATEMENT);
  int nOffset = 0;
  for (int i = 0; i < 6; ++i) {
    const Expected& e = expected[i];
    CNAItemDescription* p = pclDesc->pclGetItem(i);
    SCOPED_TRACE(i);
    EXPECT_EQ(std::wstring(p->pszGetName()), e.name);
    EXPECT_EQ(std::wstring(p->pszGetSourceName()), table);
    EXPECT_EQ(std::wstring(p->pszGetNameInSource()), e.name);
    EXPECT_EQ(static_cast<int>(p->eNAGetItemType()), e.nType);
    EXPECT_EQ(p->nGetItemSize(), e.nSize);
    EXPECT_EQ(p->nGetPhysicalIndice(), i);
    EXPECT_EQ(p->nGetKeyIndice(), e.nKeyIndex);
    EXPECT_EQ(p->wGetKeyFlags(), e.wKeyFlags);
    EXPECT_EQ(p->nGetIntegerPart(), e.nIntegerDigits);
    EXPECT_EQ(p->nGetDecimalPart(), e.nDecimalDigits);
    EXPECT_NE(p->nGetNativeTypeCode(), 0);
    EXPECT_EQ(p->nGetOffset(0), nOffset);
    nOffset += e.nSize;
  }
  for (int k = 0; k < 3; ++k) EXPECT_EQ(pclDesc->pclGetKey(k)->nGetKeyIndice(), k);
  EXPECT_EQ(pclDesc->nGetMemoryRecordSize(), nOffset);
  EXPECT_EQ(pclDesc->nGetDiskRecordSize(), nOffset);
  // Looked up by their exact names, as the server asks.
  for (const Expected& e : expected) {
    INAItemDescription* pi = pclDesc->piNAGetItem(e.name.c_str());
    ASSERT_NE(pi, nullptr);
    pi->nExternalRelease();
  }
  // A name with the LIKE wildcards matches only itself.
  EXPECT_EQ(pclDesc->piNAGetItem(L"pctX_und"), nullptr);
  EXPECT_EQ(pclDesc->piNAGetItem(L"pct%Xund"), nullptr);
  EXPECT_EQ(pclDesc->nExternalRelease(), 0);
}

TEST_F(DescriptionFromResult, AliasesComputedColumnsAndRepeatedNamesOfAnUnnamedResult) {
  CreateTable(L"kq_desc_alias", L"`id` INT PRIMARY KEY, `v` BIGINT");
  MYSQL_RES* pRes =
      Select("SELECT `id` AS `al\\ias%`, 1 + `v` AS `sum`, `v`, `v` FROM kq_desc_alias");
  ASSERT_NE(pRes, nullptr);
  CNADataSourceDescription* pclDesc = Describe(pRes, nullptr);
  // No logical name: the statement's address names the result.
  ASSERT_NE(std::wstring(pclDesc->pszGetLogicalName()), L"");
  EXPECT_EQ(std::wstring(pclDesc->pszGetDBTableName()), pclDesc->pszGetLogicalName());
  EXPECT_EQ(std::wstring(pclDesc->pszGetLogicalName()).find_first_not_of(L"0123456789"),
            std::wstring::npos);
  ASSERT_EQ(pclDesc->nGetNumItems(), 4);
  CNAItemDescription* pclAlias = pclDesc->pclGetItem(0);
  EXPECT_STREQ(pclAlias->pszGetName(), L"al\\ias%");
  EXPECT_STREQ(pclAlias->pszGetNameInSource(), L"id");
  EXPECT_STREQ(pclAlias->pszGetSourceName(), L"kq_desc_alias");
  // A computed column has no table: the description's own name stands in,
  // and its result name is its name in the source.
  CNAItemDescription* pclSum = pclDesc->pclGetItem(1);
  EXPECT_STREQ(pclSum->pszGetSourceName(), pclDesc->pszGetPhysicalName());
  EXPECT_STREQ(pclSum->pszGetNameInSource(), L"sum");
  EXPECT_EQ(pclSum->wGetKeyFlags(), 0);
  // The second "v" is renamed; both come from the same column.
  EXPECT_STREQ(pclDesc->pclGetItem(2)->pszGetName(), L"v");
  EXPECT_STREQ(pclDesc->pclGetItem(3)->pszGetName(), L"v2");
  EXPECT_STREQ(pclDesc->pclGetItem(3)->pszGetNameInSource(), L"v");
  EXPECT_EQ(pclDesc->nGetNumKeys(), 1);
  EXPECT_EQ(pclDesc->nExternalRelease(), 0);
}

}  // namespace
