// A browse whose server is killed and restarted, on a server of this
// program's own (scripts/mariadb-server.sh start, kill, restart): the rows
// the browse holds stay readable while the server is down, a read past them
// fails with the native code of the lost link (or of the connection that
// could not be made again), and once the server is back the browse goes on
// from its row as read, without a row skipped or repeated.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/mariadb/client_library.h"
#include "tests/tables/private_server_fixture.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

class LostLinkTest : public PrivateServerBrowseTest {
 protected:
  unsigned int Native() const { return m_pclError->dwGetDataBaseErrorCode(); }

  // A read expected to fail; its native code.
  unsigned int FailingRead(eNA_PARSEDIRECTION eDirection) {
    m_pclError->Reset();
    eNA_LOCKTYPE eOut = NA_LOCK_DEFAULT;
    EXPECT_EQ(m_pclAccess->bHLitxxx(L"name", eDirection, 1, kNoLock, &eOut, 0), 0);
    return Native();
  }
};

TEST_F(LostLinkTest, ABrowseReadsItsRowsWhileTheServerIsDownAndGoesOnAfterItsRestart) {
  MakePeople(60);
  Open(5);
  const std::vector<long long> expected = Ids("name, id");
  // Rows 0 to 20 read: the windows up to row 24 are held.
  ASSERT_EQ(Read(L"name", NA_PARSE_FIRST), expected[0]);
  for (int i = 1; i <= 20; ++i) ASSERT_EQ(Read(L"name", NA_PARSE_NEXT), expected[i]);

  ASSERT_TRUE(bPrivateServer("kill"));
  for (int i = 19; i >= 0; --i)
    ASSERT_EQ(Read(L"name", NA_PARSE_PREVIOUS), expected[i]) << "held rows, server down";
  for (int i = 1; i <= 24; ++i)
    ASSERT_EQ(Read(L"name", NA_PARSE_NEXT), expected[i]) << "held rows, server down";
  // Past them: the lost link, then the connection that cannot be made.
  const unsigned int nFirst = FailingRead(NA_PARSE_NEXT);
  EXPECT_TRUE(nFirst == 2006 || nFirst == 2013 || nFirst == 2002) << nFirst;
  const unsigned int nSecond = FailingRead(NA_PARSE_NEXT);
  EXPECT_TRUE(nSecond == 2006 || nSecond == 2013 || nSecond == 2002) << nSecond;

  ASSERT_TRUE(bPrivateServer("restart"));
  // The browse goes on after the last row it read.
  for (int i = 25; i < static_cast<int>(expected.size()); ++i)
    ASSERT_EQ(Read(L"name", NA_PARSE_NEXT), expected[i]) << Dump();
  EXPECT_EQ(Read(L"name", NA_PARSE_NEXT), -1);
  EXPECT_EQ(Read(L"name", NA_PARSE_PREVIOUS), expected.back());
}

TEST_F(LostLinkTest, AReadInsideATransactionIsNotRepeatedOnANewConnection) {
  MakePeople(30);
  Open(5);
  ASSERT_EQ(Read(L"name", NA_PARSE_FIRST), Ids("name, id")[0]);
  ASSERT_TRUE(m_session.pclConnection()->bTransactionBegin(m_pclError, L"T")) << Dump();
  ASSERT_EQ(m_pclAccess->bFreeCache(), 1);
  ASSERT_TRUE(bPrivateServer("kill"));
  ASSERT_TRUE(bPrivateServer("restart"));
  // The link is lost with the transaction's work: the read fails and says
  // so, even though the server is back.
  const unsigned int nNative = FailingRead(NA_PARSE_NEXT);
  EXPECT_TRUE(nNative == 2006 || nNative == 2013) << nNative;
  // The program rolls it back; the connection is then free to connect.
  m_session.pclConnection()->bTransactionRollBack(m_pclError, L"T");
}

}  // namespace
}  // namespace kqtest
