// The data access against the fixture's server: opening a table whose
// columns the server's description holds (once), refusing one that lacks an
// item or does not exist, closing its statements, and the existence test
// for names that hold LIKE wildcards, quotes, backslashes and multi-byte
// characters, in both readings of backslashes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "items/data_source_description.h"
#include "items/record.h"
#include "kq230/item_type.h"
#include "mariadb/mysql_connection.h"
#include "mariadb/mysql_data_access.h"
#include "mariadb/mysql_driver.h"
#include "sqlbuilder/command.h"
#include "statements/statement.h"
#include "statements/statement_sql.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/driver_server_fixture.h"
#include "tests/mariadb/server_session.h"
#include "tests/support/standin_items.h"
#include "tests/support/utf8_reference.h"
#include "tests/values/bound_values.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

constexpr unsigned short kPrimary = 0x8000;

class DataAccessTest : public DriverServerTest {
 protected:
  DataAccessTest() : DriverServerTest(L"Connection=dataaccess") {}
  void SetUp() override {
    m_nLiveBefore = StandInDescriptionCounts::g_nLive;
    DriverServerTest::SetUp();
  }
  void TearDown() override {
    for (CNADataAccess* p : m_accesses) EXPECT_EQ(p->nRelease(), 0);
    m_accesses.clear();
    for (CStandInDescription* p : m_sources) p->nExternalRelease();
    m_sources.clear();
    DriverServerTest::TearDown();
    // After the driver object: it may hold a description until its end.
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, m_nLiveBefore) << "stand-in objects left";
  }

  // A data access made by the driver's factory over a stand-in description
  // of these items (none: no description).
  CNADataAccess* Access(const wchar_t* pszTable, const std::vector<StandInItemDecl>& items) {
    CStandInDescription* piSource = nullptr;
    if (!items.empty()) {
      piSource = CStandInDescription::pclNew(pszTable, items, 12);
      m_sources.push_back(piSource);
    }
    auto* p = static_cast<CNADataAccess*>(
        m_pclDriver->pclAllocDataAccess(piSource, m_session.pclConnection(), m_pclError));
    p->AddRef();
    m_accesses.push_back(p);
    return p;
  }
  std::string ErrorText() const { return Utf8(m_pclError->StringDump().pszGet()); }

  int m_nLiveBefore = 0;
  std::vector<CNADataAccess*> m_accesses;
  std::vector<CStandInDescription*> m_sources;
};

TEST_F(DataAccessTest, TheDriverMakesTheMariaDBDataAccess) {
  CNADataAccess* p = Access(L"kqda_any", {Decl(L"id", NA_IT_I4, 4)});
  ASSERT_NE(dynamic_cast<CMySQLDataAccess*>(p), nullptr);
  EXPECT_EQ(p->bNbEnrNeedParse(), 0) << "MariaDB counts rows with COUNT(*)";
  EXPECT_EQ(p->bSourceIsQuery(), 0);
  EXPECT_STREQ(p->pszGetDBTableName(), L"`kqda_any`");
}

TEST_F(DataAccessTest, OpensATableOnceAndLaysItsRecordOut) {
  CreateTable("kqda_cust", "id INT NOT NULL PRIMARY KEY, name VARCHAR(20), city VARCHAR(20)");
  CNADataAccess* p = Access(L"kqda_cust", {Decl(L"id", NA_IT_I4, 4, kPrimary, false),
                                           Decl(L"name", NA_IT_TEXTE, 21)});
  m_pclError->Reset();
  ASSERT_EQ(p->bHOuvre(static_cast<_eNA_ACCESS>(0), L"kqda_cust"), 1) << ErrorText();
  EXPECT_EQ(p->bIsOpened(), 1);
  CNARecord* pclRecord = p->pclGetRecordNoRef();
  ASSERT_NE(pclRecord, nullptr);
  EXPECT_EQ(pclRecord->nGetColumnNbr(), 2) << "the server's description lays the record out";
  ASSERT_NE(p->pclGetImportedNoRef(), nullptr);
  EXPECT_EQ(p->pclGetImportedNoRef()->nGetNumItems(), 3) << "the table as the database has it";
  EXPECT_EQ(pclRecord->pclGetColumnNoRef(L"id")->piGetImportedItemDescNoRef(),
            p->pclGetImportedNoRef()->pclNAGetItem(L"id", 0));
  EXPECT_EQ(p->piGetDataSourceNoRef(), static_cast<INADataSourceDescription*>(m_sources.back()));
  ASSERT_EQ(p->pclGetRecordIdLayout()->nGetItemCount(), 1);
  EXPECT_STREQ(p->pclGetRecordIdLayout()->pclGetColumnNoRef(0)->pszGetName(), L"id");

  // An open data access answers at once, keeping what it has.
  ASSERT_TRUE(m_session.bRun("DROP TABLE kqda_cust"));
  EXPECT_EQ(p->bHOuvre(static_cast<_eNA_ACCESS>(0), L"kqda_cust"), 1);
  EXPECT_EQ(p->pclGetRecordNoRef(), pclRecord);

  EXPECT_EQ(p->bHFerme(), 1);
  EXPECT_EQ(p->bIsOpened(), 0);
  EXPECT_EQ(p->pclGetRecordNoRef(), nullptr);
  EXPECT_EQ(p->pclGetImportedNoRef(), nullptr);
  EXPECT_EQ(p->bHFerme(), 1) << "closing twice";
}

TEST_F(DataAccessTest, AnOpeningThatFailsLeavesItClosedWithItsErrorAtLevelTwo) {
  CreateTable("kqda_short", "id INT NOT NULL PRIMARY KEY, name VARCHAR(20)");
  struct Case {
    const char* name;
    const wchar_t* table;
    unsigned int nUserError;     // 0: not checked
    unsigned int nNativeError;   // 0: not checked
  } const cases[] = {
      {"an item the table lacks", L"kqda_short", 20, 0},
      {"a table that does not exist", L"kqda_missing", 0, 1146},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CNADataAccess* p = Access(c.table, {Decl(L"id", NA_IT_I4, 4, kPrimary, false),
                                        Decl(L"phone", NA_IT_TEXTE, 21)});
    m_pclError->Reset();
    EXPECT_EQ(p->bHOuvre(static_cast<_eNA_ACCESS>(0), c.table), 0);
    EXPECT_EQ(p->bIsOpened(), 0);
    EXPECT_EQ(p->pclGetRecordNoRef(), nullptr);
    EXPECT_EQ(p->pclGetImportedNoRef(), nullptr);
    EXPECT_EQ(static_cast<int>(m_pclError->eGetErrorLevel()), 2);
    if (c.nUserError != 0) {
      EXPECT_EQ(m_pclError->dwGetErrorId(), c.nUserError) << ErrorText();
      EXPECT_NE(ErrorText().find("phone"), std::string::npos) << ErrorText();
    }
    if (c.nNativeError != 0) {
      EXPECT_EQ(m_pclError->dwGetDataBaseErrorCode(), c.nNativeError);
    }
  }
}

TEST_F(DataAccessTest, ClosingLetsEveryStatementGo) {
  CreateTable("kqda_st", "id INT NOT NULL PRIMARY KEY, name VARCHAR(20)");
  CNADataAccess* p = Access(L"kqda_st", {Decl(L"id", NA_IT_I4, 4, kPrimary, false),
                                         Decl(L"name", NA_IT_TEXTE, 21)});
  ASSERT_EQ(p->bHOuvre(static_cast<_eNA_ACCESS>(0), nullptr), 1) << ErrorText();
  CNAStatement* pclByName = p->_pclInitStatement(L"name");
  ASSERT_NE(pclByName, nullptr);
  EXPECT_EQ(p->_pclInitStatement(L"NAME"), pclByName) << "items compare without regard to case";
  CNAStatement* pclById = p->_pclInitStatement(L"id");
  ASSERT_NE(pclById, nullptr);
  EXPECT_NE(pclById, pclByName);
  EXPECT_EQ(p->nGetStatementCount(), 2);
  EXPECT_EQ(p->pclGetCurrentStatementNoRef(), pclById);
  EXPECT_EQ(pclByName->pclGetDataAccessNoRef(), static_cast<CNAStatementsDataAccess*>(p));
  pclByName->AddRef();  // held past the closing, as a caller might
  EXPECT_EQ(pclByName->nGetRefCount(), 2);

  EXPECT_EQ(p->bHFerme(), 1);
  EXPECT_EQ(p->nGetStatementCount(), 0);
  EXPECT_EQ(p->pclGetCurrentStatementNoRef(), nullptr);
  EXPECT_EQ(pclByName->nGetRefCount(), 1) << "the data access gave its reference back";
  EXPECT_EQ(pclByName->pclGetDataAccessNoRef(), nullptr) << "no call back into the data access";
  EXPECT_EQ(pclByName->pclGetRecordNoRef(), nullptr) << "the record went with the data access";
  // Whatever the holder still asks of it fails cleanly.
  EXPECT_EQ(pclByName->bExecute(0, 1), 1) << "no command: nothing to run";
  EXPECT_EQ(pclByName->bFetch(NA_PARSE_FIRST, 0, 1, nullptr), 1);
  EXPECT_EQ(pclByName->HEndehors(), 1);
  EXPECT_EQ(pclByName->nRelease(), 0);

  // Opened again, it starts with no statement; its release lets the new
  // ones go too (the leak balance of the program checks it).
  ASSERT_EQ(p->bHOuvre(static_cast<_eNA_ACCESS>(0), nullptr), 1) << ErrorText();
  EXPECT_EQ(p->nGetStatementCount(), 0);
  ASSERT_NE(p->_pclInitStatement(L""), nullptr);
}

TEST_F(DataAccessTest, ATableExistsOnlyUnderItsOwnNameInEitherReadingOfBackslashes) {
  const char* created[] = {
      "`kqda_xzy`",       "`kqda_pXXq`",         "`kqda_back\\slash`", "`kqda_bsX`",
      "`kqda_quo'te`",    "`kqda_bq``tick`",     "`kqda_\xC3\xA9\xE2\x82\xAC\xE4\xB8\xAD`",
  };
  for (const char* quoted : created) CreateTable(quoted, "id INT");
  struct Case {
    const char* name;
    std::wstring table;
    int bExists;
  };
  const std::vector<Case> cases = {
      {"a plain name", L"kqda_xzy", 1},
      {"\"_\" matches no other character", L"kqda_x_y", 0},
      {"\"%\" matches no other characters", L"kqda_p%q", 0},
      {"\"%\" alone", L"kqda_%", 0},
      {"a backslash", L"kqda_back\\slash", 1},
      {"a backslash matches no other character", L"kqda_bs\\", 0},
      {"a quote", L"kqda_quo'te", 1},
      {"a backquote", L"kqda_bq`tick", 1},
      {"multi-byte characters", L"kqda_\u00E9\u20AC\u4E2D", 1},
      {"a prefix of them", L"kqda_\u00E9\u20AC", 0},
      {"a table that does not exist", L"kqda_none", 0},
  };
  CNADataAccess* p = Access(L"kqda_xzy", {Decl(L"id", NA_IT_I4, 4)});
  for (const char* mode : {"", ",NO_BACKSLASH_ESCAPES"}) {
    SCOPED_TRACE(std::string("sql_mode") + mode);
    if (*mode != '\0') {
      ASSERT_TRUE(m_session.bRun(std::string("SET SESSION sql_mode = CONCAT(@@sql_mode, '") +
                                 mode + "')"));
    }
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      int bExists = -1;
      m_pclError->Reset();
      EXPECT_EQ(p->bFichierExiste(c.table.c_str(), &bExists), 1) << ErrorText();
      EXPECT_EQ(bExists, c.bExists);
    }
  }
}

TEST_F(DataAccessTest, TheExistenceTestReportsAConnectionTheServerDropped) {
  CNADataAccess* p = Access(L"kqda_any", {Decl(L"id", NA_IT_I4, 4)});
  // The session ends itself: the server drops it in the middle of the
  // statement, which fails as it should.
  CNAError clKill;
  m_session.pclConnection()->bExecuteQueryNoResult(&clKill, L"KILL CONNECTION_ID()");
  int bExists = -1;
  m_pclError->Reset();
  EXPECT_EQ(p->bFichierExiste(L"kqda_any", &bExists), 0);
  EXPECT_EQ(bExists, 0);
  const unsigned int nNative = m_pclError->dwGetDataBaseErrorCode();
  EXPECT_TRUE(nNative == 2006 || nNative == 2013) << ErrorText();
}

TEST_F(DataAccessTest, AQueryResultBecomesTheImportedDescriptionOfADataAccessWithoutOne) {
  CNADataAccess* pclQuery = Access(L"", {});
  EXPECT_EQ(pclQuery->bHasDataSourceDescription(), 0);
  CNAStatement* pclStatement = pclQuery->_pclInitStatement(L"");
  ASSERT_NE(pclStatement, nullptr);
  CNAStatementSQL* pclResult = pclStatement->pclGetStatementSQLNoRef();
  ASSERT_NE(pclResult, nullptr) << ErrorText();
  ASSERT_EQ(pclResult->bExecuteDirect(L"SELECT 1 AS num, 'x' AS txt", nullptr, 0), 1)
      << ErrorText();
  ASSERT_EQ(pclQuery->bInitImportedDataSourceDesc(pclStatement), 1) << ErrorText();
  ASSERT_NE(pclQuery->pclGetImportedNoRef(), nullptr);
  EXPECT_EQ(pclQuery->piGetDataSourceNoRef(),
            static_cast<INADataSourceDescription*>(pclQuery->pclGetImportedNoRef()));
  EXPECT_EQ(pclQuery->bHasDataSourceDescription(), 1);
  ASSERT_EQ(pclQuery->pclGetImportedNoRef()->nGetNumItems(), 2);
  EXPECT_STREQ(pclQuery->pclGetImportedNoRef()->pclGetItem(0)->pszGetName(), L"num");
  EXPECT_STREQ(pclQuery->pclGetImportedNoRef()->pclGetItem(1)->pszGetName(), L"txt");
  pclResult->bReset();

  // A table's data access reads by the server's description: nothing to
  // import.
  CNADataAccess* pclTable = Access(L"kqda_any", {Decl(L"id", NA_IT_I4, 4)});
  CNAStatement* pclOther = pclTable->_pclInitStatement(L"id");
  ASSERT_NE(pclOther, nullptr);
  EXPECT_EQ(pclTable->bInitImportedDataSourceDesc(pclOther), 1);
  EXPECT_EQ(pclTable->pclGetImportedNoRef(), nullptr);
}

TEST_F(DataAccessTest, BrowsesTablesWhoseNamesHoldQuotesBackslashesAndMultiByteCharacters) {
  struct Case {
    const char* quoted;
    std::wstring name;
  };
  const Case cases[] = {
      {"`kqda_br_back\\slash`", L"kqda_br_back\\slash"},
      {"`kqda_br_quo'te`", L"kqda_br_quo'te"},
      {"`kqda_br_bq``tick`", L"kqda_br_bq`tick"},
      {"`kqda_br_\xC3\xA9\xE2\x82\xAC\xE4\xB8\xAD`", L"kqda_br_\u00E9\u20AC\u4E2D"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.quoted);
    CreateTable(c.quoted, "id INT NOT NULL PRIMARY KEY, v VARCHAR(10)");
    ASSERT_TRUE(m_session.bRun(std::string("INSERT INTO ") + c.quoted +
                               " VALUES (3, 'c'), (1, 'a'), (2, 'b')"));
    CNADataAccess* p = Access(c.name.c_str(), {Decl(L"id", NA_IT_I4, 4, kPrimary, false),
                                               Decl(L"v", NA_IT_TEXTE, 11)});
    m_pclError->Reset();
    ASSERT_EQ(p->bHOuvre(static_cast<_eNA_ACCESS>(0), nullptr), 1) << ErrorText();
    for (int bCached : {0, 1}) {
      SCOPED_TRACE(bCached ? "cached" : "not cached");
      CNAStatement* s = p->_pclInitStatement(L"id");
      ASSERT_NE(s, nullptr);
      auto* pclCommand = static_cast<CNACommand*>(
          m_pclDriver->pclAllocCommand(m_pclError, m_session.pclConnection()));
      pclCommand->AddRef();
      ASSERT_EQ(s->bBuildQuerySELECT(pclCommand, 0, L"id", 1, nullptr), 1) << ErrorText();
      pclCommand->nRelease();
      if (bCached) s->EnableCache(1);
      ASSERT_EQ(s->bExecute(0, 1), 1) << ErrorText();
      std::wstring strRead;
      for (eNA_PARSEDIRECTION e = NA_PARSE_FIRST;; e = NA_PARSE_NEXT) {
        ASSERT_EQ(s->bFetch(e, 0, 1, nullptr), 1) << ErrorText();
        if (s->HEndehors()) break;
        CAny v;
        ASSERT_EQ(p->pclGetRecordNoRef()->pclGetColumnNoRef(L"v")->bGetCurrentValue(&v, 0), 1);
        strRead += AsText(v);
      }
      EXPECT_EQ(strRead, L"abc");
      s->Close();
    }
    EXPECT_EQ(p->bHFerme(), 1);
  }
}

}  // namespace
}  // namespace kqtest
