// The one-level transaction and the least table object, in process, over a
// connection that records the SQL it is asked to run instead of reaching a
// server (the real server's side is in tests/mariadb/).
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/connection_description.h"
#include "driver/na_context.h"
#include "driver/na_error.h"
#include "kq230/data_source_description_interface.h"
#include "tables/na_data_access.h"
#include "tables/na_table.h"
#include "tables/na_transaction.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/support/bound_framework.h"

namespace kqtest {
namespace {

// A connection that is always open and answers each statement from a script
// of results (1 when the script runs out), keeping what it was sent.
class RecordingConnection : public CNAConnectionDescription {
 public:
  explicit RecordingConnection(INAConnectionDescription* piHost)
      : CNAConnectionDescription(L"Connection=recording", piHost) {
    _SetQuotes(L"`", L"`");
  }
  int bOpen(CNAError*) override { return 1; }
  int bIsOpen() const override { return 1; }
  int bClose(CNAError*) override { return 1; }
  void _InitZB2NativeType() override {}
  CNATransactionBase* pclAllocTransaction() override { return new CNATransaction(this); }
  int bExecuteQueryNoResult(CNAError* pclError, const wchar_t* pszQuery) override {
    sent.emplace_back(pszQuery);
    int bResult = 1;
    if (!results.empty()) {
      bResult = results.front();
      results.erase(results.begin());
    }
    if (!bResult)
      CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), 101, 40, this, nullptr, nullptr, 54);
    return bResult;
  }

  std::vector<std::wstring> sent;
  std::vector<int> results;
};

class TransactionTest : public BoundFrameworkTest {
 protected:
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    m_pclConnection = new RecordingConnection(&m_host);
    m_pclConnection->AddRef();
  }
  void TearDown() override {
    m_pclConnection->nRelease();
    EXPECT_EQ(m_host.nOutstanding(), 0);
    BoundFrameworkTest::TearDown();
  }
  std::vector<std::wstring>& Sent() { return m_pclConnection->sent; }

  HostConnectionFake m_host;
  RecordingConnection* m_pclConnection = nullptr;
  CNAError m_clError;
};

TEST_F(TransactionTest, BeginCommitAndRollbackSendTheirStatementsAndFollowTheOpenFlag) {
  EXPECT_EQ(m_pclConnection->_bTransactionOpened(), 0);
  ASSERT_EQ(m_pclConnection->bTransactionBegin(&m_clError, L"T1"), 1);
  EXPECT_EQ(m_pclConnection->_bTransactionOpened(), 1);
  EXPECT_EQ(m_pclConnection->bAutoCloseEnabled(), 0);  // the transaction keeps it open
  EXPECT_EQ(m_pclConnection->bTransactionCommit(&m_clError, L"t1"), 1);  // any case
  EXPECT_EQ(m_pclConnection->_bTransactionOpened(), 0);
  ASSERT_EQ(m_pclConnection->bTransactionBegin(&m_clError, nullptr), 1);
  EXPECT_EQ(m_pclConnection->bTransactionRollBack(&m_clError, nullptr), 1);
  // A rollback of a level that is not open sends nothing.
  EXPECT_EQ(m_pclConnection->bTransactionRollBack(&m_clError, L""), 1);
  EXPECT_EQ(Sent(), (std::vector<std::wstring>{L"BEGIN", L"COMMIT", L"BEGIN", L"ROLLBACK"}));
  EXPECT_EQ(m_clError.eGetErrorType(), -1);
}

TEST_F(TransactionTest, CommitOrRollbackWithoutATransactionRaisesNineNamingIt) {
  for (bool bCommit : {true, false}) {
    SCOPED_TRACE(bCommit ? "commit" : "rollback");
    m_clError.Reset();
    EXPECT_EQ(bCommit ? m_pclConnection->bTransactionCommit(&m_clError, L"Payroll")
                      : m_pclConnection->bTransactionRollBack(&m_clError, L"Payroll"),
              0);
    EXPECT_EQ(m_clError.dwGetErrorId(), 9u);
    EXPECT_NE(std::wstring(m_clError.pszGetError()).find(L"Payroll"), std::wstring::npos);
  }
  EXPECT_TRUE(Sent().empty());
}

TEST_F(TransactionTest, AnotherLevelsNameEndsNothingAndSaysSo) {
  ASSERT_EQ(m_pclConnection->bTransactionBegin(&m_clError, L"Outer"), 1);
  EXPECT_EQ(m_pclConnection->bTransactionCommit(&m_clError, L"Other"), 0);
  EXPECT_EQ(m_clError.dwGetErrorId(), 9u);
  m_clError.Reset();
  EXPECT_EQ(m_pclConnection->bTransactionRollBack(&m_clError, L"Other"), 0);
  EXPECT_EQ(m_clError.dwGetErrorId(), 9u);
  EXPECT_EQ(m_pclConnection->_bTransactionOpened(), 1);  // still running
  EXPECT_EQ(Sent(), std::vector<std::wstring>{L"BEGIN"});
  EXPECT_EQ(m_pclConnection->bTransactionRollBack(&m_clError, L"OUTER"), 1);
}

TEST_F(TransactionTest, ABeginInsideAnOpenTransactionIsNotBuiltYet) {
  ASSERT_EQ(m_pclConnection->bTransactionBegin(&m_clError, L"A"), 1);
  EXPECT_EQ(m_pclConnection->bTransactionBegin(&m_clError, L"B"), 0);
  EXPECT_EQ(m_clError.dwGetErrorId(), 8u);
  EXPECT_NE(std::wstring(m_clError.pszGetError()).find(L"not built yet"), std::wstring::npos);
  EXPECT_EQ(Sent(), std::vector<std::wstring>{L"BEGIN"});
}

TEST_F(TransactionTest, ARefusedBeginLeavesTheLevelClosedAndARefusedCommitEndsItAnyway) {
  m_pclConnection->results = {0};
  EXPECT_EQ(m_pclConnection->bTransactionBegin(&m_clError, L"T"), 0);
  EXPECT_EQ(m_pclConnection->_bTransactionOpened(), 0);
  m_pclConnection->results = {1, 0};
  ASSERT_EQ(m_pclConnection->bTransactionBegin(&m_clError, L"T"), 1);
  m_clError.Reset();
  EXPECT_EQ(m_pclConnection->bTransactionCommit(&m_clError, nullptr), 0);
  EXPECT_EQ(m_clError.dwGetErrorId(), 54u);
  EXPECT_EQ(m_pclConnection->_bTransactionOpened(), 0);
}

TEST_F(TransactionTest, ATransactionTheLostConnectionEndedCommitsNothingAndReportsTheLoss) {
  ASSERT_EQ(m_pclConnection->bTransactionBegin(&m_clError, L"T"), 1);
  m_pclConnection->_AbortTransaction(2013, L"Lost connection to server during query");
  unsigned int nNative = 0;
  EXPECT_EQ(m_pclConnection->_bTransactionAborted(&nNative), 1);
  EXPECT_EQ(nNative, 2013u);
  // Still in the way: the connection neither closes nor begins anew under it.
  EXPECT_EQ(m_pclConnection->_bTransactionOpened(), 1);
  EXPECT_EQ(m_pclConnection->bAutoCloseEnabled(), 0);
  EXPECT_EQ(m_pclConnection->bTransactionBegin(&m_clError, L"T2"), 0);
  EXPECT_EQ(m_clError.dwGetDataBaseErrorCode(), 2013u);
  m_clError.Reset();
  EXPECT_EQ(m_pclConnection->bTransactionCommit(&m_clError, nullptr), 0);
  EXPECT_EQ(m_clError.dwGetErrorId(), 22u);
  EXPECT_EQ(m_clError.dwGetDataBaseErrorCode(), 2013u);
  EXPECT_NE(std::wstring(m_clError.pszGetError()).find(L"Lost connection"), std::wstring::npos);
  // Ended: nothing was sent for it after BEGIN, and a new one begins.
  EXPECT_EQ(m_pclConnection->_bTransactionOpened(), 0);
  EXPECT_EQ(Sent(), std::vector<std::wstring>{L"BEGIN"});
  m_clError.Reset();
  ASSERT_EQ(m_pclConnection->bTransactionBegin(&m_clError, L"T2"), 1);
  EXPECT_EQ(m_pclConnection->bTransactionCommit(&m_clError, L"T2"), 1);
}

TEST_F(TransactionTest, ARollbackOfATransactionTheLostConnectionEndedSucceedsWithoutSending) {
  ASSERT_EQ(m_pclConnection->bTransactionBegin(&m_clError, nullptr), 1);
  m_pclConnection->_AbortTransaction(2006, L"Server has gone away");
  EXPECT_EQ(m_pclConnection->bTransactionRollBack(&m_clError, nullptr), 1);
  EXPECT_EQ(m_pclConnection->_bTransactionAborted(nullptr), 0);
  EXPECT_EQ(m_pclConnection->_bTransactionOpened(), 0);
  EXPECT_EQ(Sent(), std::vector<std::wstring>{L"BEGIN"});
  // A loss outside a transaction changes nothing.
  m_pclConnection->_AbortTransaction(2006, L"Server has gone away");
  EXPECT_EQ(m_pclConnection->_bTransactionAborted(nullptr), 0);
}

// ---------------------------------------------------------------------------
// The least table object and data access

class SourceFake : public INADataSourceDescription {
 public:
  int nGetVersion() override { return 6; }
  int nGetCompatSince() override { return 6; }
  void ExternalAddRef() override { ++nRefs; }
  int nExternalRelease() override { return --nRefs; }
  const wchar_t* pszGetLogicalName() override { return name.c_str(); }
  int nRefs = 0;
  std::wstring name = L"Customer";
};

TEST_F(TransactionTest, ATableLivesWhileEitherCountHoldsItAndReleasesWhatItHeld) {
  SourceFake source;
  CNAError* pclError = new CNAError;
  pclError->AddRef();
  const int nConnectionRefs = m_pclConnection->nGetRefCount();
  auto* pclTable = new CNATable(L"Table=Customer;x", &source, m_pclConnection, pclError);
  EXPECT_EQ(source.nRefs, 1);
  EXPECT_EQ(m_pclConnection->nGetRefCount(), nConnectionRefs + 1);
  EXPECT_STREQ(pclTable->pszGetLogicalName(), L"Customer");
  EXPECT_STREQ(pclTable->pszGetIdentification(), L"Table=Customer;x");
  pclTable->AddRef();
  pclTable->ExternalAddRef();
  EXPECT_EQ(pclTable->nRelease(), 0);  // the server still holds it
  EXPECT_EQ(pclTable->nGetExternalCount(), 1);
  pclTable->SetTransactionTermined();
  pclTable->CancelRecordLock(&m_host, nullptr);
  EXPECT_EQ(pclTable->nGetTransactionTerminatedCount(), 1);
  EXPECT_EQ(pclTable->nGetCancelRecordLockCount(), 1);
  // Without a driver object the server's last release ends it.
  EXPECT_EQ(pclTable->nExternalRelease(), 0);
  EXPECT_EQ(source.nRefs, 0);
  EXPECT_EQ(m_pclConnection->nGetRefCount(), nConnectionRefs);
  EXPECT_EQ(pclError->nGetRefCount(), 1);
  pclError->nRelease();
}

TEST_F(TransactionTest, ReleasingATablePastZeroChangesNothing) {
  auto* pclTable = new CNATable(L"Table=q", nullptr, nullptr, nullptr);
  pclTable->AddRef();
  pclTable->ExternalAddRef();
  EXPECT_EQ(pclTable->nExternalRelease(), 0);
  EXPECT_EQ(pclTable->nExternalRelease(), 0);  // once too often: ignored
  EXPECT_EQ(pclTable->nGetInternalCount(), 1);
  EXPECT_STREQ(pclTable->pszGetLogicalName(), L"");
  EXPECT_EQ(pclTable->nRelease(), 0);  // destroyed
}

TEST_F(TransactionTest, ADataAccessQuotesItsTableNameAndTakesItsAliasFromTheContext) {
  SourceFake source;
  source.name = L"x`; DROP TABLE t; --";
  auto* pclAccess = new CNADataAccess(&source, m_pclConnection, nullptr);
  pclAccess->AddRef();
  EXPECT_STREQ(pclAccess->pszGetLogicalName(), L"x`; DROP TABLE t; --");
  EXPECT_STREQ(pclAccess->pszGetDBTableName(), L"`x``; DROP TABLE t; --`");
  EXPECT_STREQ(pclAccess->pszGetAliasName(), L"x`; DROP TABLE t; --");
  EXPECT_EQ(pclAccess->bIsOpened(), 0);
  EXPECT_EQ(pclAccess->bHMode(static_cast<_eNA_HMODE>(3)), 1);
  EXPECT_EQ(pclAccess->eGetMode(), static_cast<_eNA_HMODE>(3));
  EXPECT_EQ(pclAccess->bHFerme(), 1);
  EXPECT_EQ(pclAccess->pclGetConnection(), m_pclConnection);
  // Joining a context with a next logical name gives the alias.
  auto* pclContext = new CNAContext;
  pclContext->AddRef();
  pclContext->SetNextLogicalName(L"C2");
  pclAccess->SetContext(pclContext);
  EXPECT_STREQ(pclAccess->pszGetAliasName(), L"C2");
  EXPECT_EQ(pclAccess->pclGetContext(), pclContext);
  pclAccess->SetContext(nullptr);
  pclContext->nRelease();
  pclAccess->nRelease();
  EXPECT_EQ(source.nRefs, 0);
}

}  // namespace
}  // namespace kqtest
