// The connection description without a server: keywords of the extended
// information, the connection string, the values asked of the server's
// description, server-kind answers, versions, name quoting and the
// connection's native information in errors.
#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "core/error_object.h"
#include "core/mixed_width_concat.h"
#include "driver/na_error.h"
#include "driver/sql_dialect.h"
#include "mariadb/mysql_connection.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/support/bound_framework.h"

namespace kqtest {
namespace {

// The generic base, as it is before a back end sets its kind.
class GenericConnection : public CNAConnectionDescription {
 public:
  using CNAConnectionDescription::CNAConnectionDescription;
  int bOpen(CNAError*) override { return 0; }
  int bIsOpen() const override { return 0; }
  int bClose(CNAError*) override { return 1; }
  void _InitZB2NativeType() override {}
};

class ConnectionDescriptionTest : public BoundFrameworkTest {
 protected:
  // A MariaDB connection on the fake, holding one reference.
  CMySQLConnection* Make(const wchar_t* pszExtended) {
    if (pszExtended != nullptr) m_host.extended = pszExtended;
    auto* p = new CMySQLConnection(L"Connection=test", &m_host);
    p->AddRef();
    return p;
  }

  HostConnectionFake m_host;
};

TEST_F(ConnectionDescriptionTest, ReadsKeywordsAndLeavesTheRestOfTheExtendedInformation) {
  struct Case {
    const char* name;
    const wchar_t* extended;
    int cursor, lockTimeout, connectionTimeout, unicode;
    long long cacheSize;
    const wchar_t* rest;
  };
  const Case cases[] = {
      {"blanks around = and server in lower case", L"KQ Cursor Location = server ;Other=1", 2, -1,
       15, 1, 1234, L"Other=1"},
      {"client, then a number", L"KQ Cursor Location=Client;KQ Lock Timeout=7", 1, 7, 15, 1, 1234,
       L""},
      {"a keyword without = is no keyword", L"KQ Lock Timeout;A=b", 0, -1, 15, 1, 1234,
       L"KQ Lock Timeout;A=b"},
      {"empty values take the server's", L"KQ Connection Timeout=;KQ Lock Timeout=", 0, -1, 15, 1,
       1234, L""},
      {"a non-numeric value reads as far as it is a number",
       L"KQ Connection Timeout=12abc;KQ Lock Timeout=abc;KQ Cache Size=99x", 0, 0, 12, 1, 99, L""},
      {"a keyword inside another's value is not read",
       L"Application=x KQ Lock Timeout=5;Note=KQ Unicode Support=0", 0, -1, 15, 1, 1234,
       L"Application=x KQ Lock Timeout=5;Note=KQ Unicode Support=0"},
      {"Unicode switched off", L"KQ Unicode Support=0", 0, -1, 15, 0, 1234, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CMySQLConnection* p = Make(c.extended);
    EXPECT_EQ(p->eGetCursorLocation(), c.cursor);
    EXPECT_EQ(p->nGetLockTimeout(), c.lockTimeout);
    EXPECT_EQ(p->nGetConnectionTimeout(), c.connectionTimeout);
    EXPECT_EQ(p->nGetCommandTimeout(), 30);
    EXPECT_EQ(p->bUnicodeSupport(), c.unicode);
    EXPECT_EQ(p->llGetCacheSize(), c.cacheSize);
    EXPECT_STREQ(p->pszGetExtendedInfo(), c.rest);
    p->nRelease();
  }
}

TEST_F(ConnectionDescriptionTest, TextKeywordsAreKeptAsText) {
  CMySQLConnection* p = Make(
      L"SSL Key=/k.pem; SSL CA = /ca.pem;KQ CLIENT LIBRARY=/opt/lib/libmariadb.so.3;"
      L"KQ RECORD LOCK=FOR UPDATE;Unix Socket=/tmp/s.sock;Server Port=3307;Client Flag=32");
  EXPECT_STREQ(p->csGetSSLKey().pszGet(), L"/k.pem");
  EXPECT_STREQ(p->csGetSSLCA().pszGet(), L"/ca.pem");
  EXPECT_STREQ(p->csGetSSLCert().pszGet(), L"");
  EXPECT_STREQ(p->csGetClientLibraryWanted().pszGet(), L"/opt/lib/libmariadb.so.3");
  EXPECT_STREQ(p->pszGetNoLockHint(), L"FOR UPDATE");
  // The back end's own keywords stay in the extended information.
  EXPECT_STREQ(p->pszGetExtendedInfo(), L"Unix Socket=/tmp/s.sock;Server Port=3307;Client Flag=32");
  CTString csSocket;
  EXPECT_TRUE(p->bGetUnixSocket(&csSocket));
  EXPECT_STREQ(csSocket.pszGet(), L"/tmp/s.sock");
  EXPECT_EQ(p->nGetPort(), 3307);
  EXPECT_EQ(p->nGetClientFlag(), 32);
  p->nRelease();
}

TEST_F(ConnectionDescriptionTest, CacheSizeAndCursorComeFromTheServerWhenNotGiven) {
  m_host.nVersion = 3;
  m_host.lCursorOptions = 2;
  CMySQLConnection* p = Make(L"");
  EXPECT_EQ(p->llGetCacheSize(), -2);
  EXPECT_EQ(p->eGetCursorLocation(), 1);
  p->nRelease();
  m_host.nVersion = 4;
  m_host.lCursorOptions = 3;
  p = Make(L"");
  EXPECT_EQ(p->llGetCacheSize(), 1234);
  EXPECT_EQ(p->eGetCursorLocation(), 2);
  p->nRelease();
}

TEST_F(ConnectionDescriptionTest, ConnectionStringWritesAbsentValuesAsNULL) {
  m_host.dataSource = L"db.example";
  m_host.user = L"bob";
  m_host.password = L"pw";
  CMySQLConnection* p = Make(L"A=1");
  EXPECT_STREQ(p->pszGetConnectionString(),
               L"Provider=NULL;ExtendedInformation=A=1;Data source=db.example;user id=bob;"
               L"password=pw");
  p->nRelease();
}

TEST_F(ConnectionDescriptionTest, DefaultDatabaseIsLookedUpOnceInItsThreePlaces) {
  m_host.defaultDatabase = L"hostdb";
  CMySQLConnection* p = Make(L"");
  EXPECT_STREQ(p->pszGetDefaultDataBaseEx(), L"hostdb");
  EXPECT_STREQ(p->pszGetDefaultDataBaseEx(), L"hostdb");
  EXPECT_EQ(m_host.nDefaultDatabaseCalls, 1);
  p->nRelease();

  m_host.provider = L"Driver=x;Initial Catalog = provdb";
  p = Make(L"");
  EXPECT_STREQ(p->pszGetDefaultDataBaseEx(), L"provdb");
  p->nRelease();

  p = Make(L"Initial Catalog=extdb");
  EXPECT_STREQ(p->pszGetDefaultDataBaseEx(), L"extdb");
  p->nRelease();
}

TEST_F(ConnectionDescriptionTest, HoldsOneReferenceOnTheServersDescriptionForItsLife) {
  CMySQLConnection* p = Make(L"");
  EXPECT_EQ(m_host.nAddRefs, 1);
  EXPECT_EQ(m_host.nOutstanding(), 1);
  p->nRelease();
  EXPECT_EQ(m_host.nAddRefs, 1);
  EXPECT_EQ(m_host.nOutstanding(), 0);
}

TEST_F(ConnectionDescriptionTest, ConnectionNameIsReadInlineAfterTheFirstWord) {
  m_host.name = L"MyCnx";
  CMySQLConnection* p = Make(L"");
  EXPECT_STREQ(p->pszGetConnectionName(), L"MyCnx");
  p->nRelease();
}

TEST_F(ConnectionDescriptionTest, ServerKindAnswersOfTheBaseAndOfMariaDB) {
  auto* pGeneric = new GenericConnection(L"g", &m_host);
  pGeneric->AddRef();
  EXPECT_EQ(pGeneric->nGetServerKind(), 0);
  EXPECT_EQ(pGeneric->bSupportSubQuery(), 0);
  EXPECT_EQ(pGeneric->bSupportLimitOrTop(), 0);
  EXPECT_EQ(pGeneric->nGetVarCharMaxLen(), -1);
  EXPECT_EQ(pGeneric->nGetNVarCharMaxLen(), -1);
  EXPECT_STREQ(pGeneric->pszGetVarCharType(), L"VARCHAR");
  EXPECT_STREQ(pGeneric->pszGetCLOBType(), L"CLOB");
  EXPECT_EQ(pGeneric->nGetOrderByMaxExpressionNbr(), INT_MAX);
  pGeneric->nRelease();

  CMySQLConnection* p = Make(L"");
  EXPECT_EQ(p->nGetServerKind(), 5);
  EXPECT_EQ(p->bSupportSubQuery(), 0);
  EXPECT_EQ(p->bSupportLimitOrTop(), 1);
  EXPECT_EQ(p->nGetVarCharMaxLen(), 255);
  EXPECT_STREQ(p->pszGetOpeningQuote(), L"`");
  EXPECT_STREQ(p->pszGetClosingQuote(), L"`");
  EXPECT_EQ(p->bSupportOrderByMemo(), 1);
  p->nRelease();
}

TEST(ConnectionVersions, ServerVersionTextsDecomposeIntoTheirNumbers) {
  struct Case {
    const wchar_t* text;
    int major, minor, release;
  };
  const Case cases[] = {
      {L"10.11.19-MariaDB-0+deb12u1", 10, 11, 19},
      {L"5.0", 5, 0, -7},  // the release is left as it was
      {L"3.23.58", 3, 23, 58},
      {L"", -7, -7, -7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
    int major = -7, minor = -7, release = -7;
    CTString cs(c.text);
    EXPECT_EQ(CNAConnectionDescription::g_bDecomposeVersion(nullptr, &cs, &major, &minor,
                                                            &release),
              1);
    EXPECT_EQ(major, c.major);
    EXPECT_EQ(minor, c.minor);
    EXPECT_EQ(release, c.release);
  }
}

TEST(ConnectionVersions, ClientVersionTextsScanDigitByDigit) {
  struct Case {
    const wchar_t* text;
    int major, minor, revision;
  };
  const Case cases[] = {
      {L"3.3.20", 3, 3, 20},          {L"5.0", 5, 0, 0},
      {L"3.23.58", 3, 23, 58},        {L"10.5.12-MariaDB", 10, 5, 12},
      {L"4.0.27", 4, 0, 27},          {L"", 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
    int major = -1, minor = -1, revision = -1;
    CMySQLConnection::s_ScanClientVersion(c.text, &major, &minor, &revision);
    EXPECT_EQ(major, c.major);
    EXPECT_EQ(minor, c.minor);
    EXPECT_EQ(revision, c.revision);
  }
}

TEST_F(ConnectionDescriptionTest, NamesAreQuotedSoThatNoneCanLeaveItsIdentifier) {
  struct Case {
    const wchar_t* name;
    const wchar_t* item;   // bFormatItemName
    const wchar_t* table;  // bFormatTableName
  };
  const Case cases[] = {
      {L"client", L"`client`", L"`client`"},
      {L"db.client", L"`db.client`", L"`db`.`client`"},
      {L"`client`", L"`client`", L"`client`"},
      {L"`db`.`client`", L"```db``.``client```", L"`db`.`client`"},
      {L"`a.b`.c", L"```a.b``.c`", L"`a.b`.`c`"},
      {L"x`; DROP TABLE t; --", L"`x``; DROP TABLE t; --`", L"`x``; DROP TABLE t; --`"},
      {L"`abc", L"```abc`", L"```abc`"},
      {L"`a``b`", L"`a``b`", L"`a``b`"},
      {L"`a`b`", L"```a``b```", L"```a``b```"},
      {L"", L"``", L"``"},
      {L"``", L"``````", L"``````"},
  };
  CMySQLConnection* p = Make(L"");
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
    CTString csItem, csTable;
    EXPECT_EQ(p->bFormatItemName(nullptr, c.name, &csItem), 1);
    EXPECT_STREQ(csItem.pszGet(), c.item);
    EXPECT_EQ(p->bFormatTableName(nullptr, c.name, &csTable), 1);
    EXPECT_STREQ(csTable.pszGet(), c.table);
    // Every quoted item name reads back as the name (the empty name has
    // no identifier to read back: the server refuses "``" itself).
    CTString csBack;
    p->UnFormatItemName(csItem.pszGet(), &csBack);
    if (*c.name != L'\0' && !SqlName_bIsQuoted(c.name, L"`", L"`")) {
      EXPECT_STREQ(csBack.pszGet(), c.name);
    }
  }
  p->nRelease();
}

TEST_F(ConnectionDescriptionTest, UnquotingStripsOnlyAWellFormedQuotedName) {
  CMySQLConnection* p = Make(L"");
  struct Case {
    const wchar_t* in;
    const wchar_t* out;
  };
  const Case cases[] = {{L"`abc`", L"abc"}, {L"`a``b`", L"a`b"}, {L"abc", L"abc"},
                        {L"`abc", L"`abc"}, {L"``", L"``"},      {L"`a`b`", L"`a`b`"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.in)));
    CTString cs(c.in);
    p->UnFormatItemName(cs.pszGet(), &cs);  // in place
    EXPECT_STREQ(cs.pszGet(), c.out);
  }
  p->nRelease();
}

TEST(ConnectionNames, TableNamesDecomposeIntoTheirParts) {
  struct Case {
    const wchar_t* name;
    const wchar_t *first, *second, *table;
  };
  const Case cases[] = {{L"t", L"", L"", L"t"},
                        {L" o . t ", L"", L"o", L"t"},
                        {L"a.b.c.d", L"a", L"b", L"c.d"}};
  for (const Case& c : cases) {
    CTString a(L"x"), b(L"x"), t(L"x");
    CNAConnectionDescription::DecomposeTableName(&a, &b, &t, c.name);
    EXPECT_STREQ(a.pszGet(), c.first);
    EXPECT_STREQ(b.pszGet(), c.second);
    EXPECT_STREQ(t.pszGet(), c.table);
  }
}

TEST(ConnectionNames, ProviderTextsHideTheirPasswords) {
  struct Case {
    const wchar_t* in;
    const wchar_t* out;
  };
  const Case cases[] = {
      {L"Driver=x;Password=Secret1;Port=1", L"Driver=x;Password=*****;Port=1"},
      {L" pwd = Secret1 ", L" pwd =*****"},
      {L"PASSWORD=;A=b", L"PASSWORD=*****;A=b"},
      {L"Note=password=x", L"Note=password=x"},
      {L"A=b", L"A=b"},
      {L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.in)));
    CTString cs;
    SqlDialect_MaskProvider(&cs, c.in);
    EXPECT_STREQ(cs.pszGet(), c.out);
  }
  CTString cs;
  SqlDialect_MaskProvider(&cs, nullptr);
  EXPECT_STREQ(cs.pszGet(), L"NULL");
}

TEST_F(ConnectionDescriptionTest, NativeInformationListsTheParametersButNeverThePassword) {
  m_host.provider = L"Driver=x;Password=Secret1";
  m_host.user = L"bob";
  m_host.password = L"Secret1";
  m_host.dataSource = L"127.0.0.1";
  m_host.defaultDatabase = L"kqtest";
  CMySQLConnection* p = Make(L"KQ Lock Timeout=9;KQ Cursor Location=Server;KQ RECORD LOCK=tag");
  CNAError clError;
  clError.AddError(eNA_ERRORTYPE(0), kNAFileConnection, 99, p, 8u);
  CTString csDump = clError.StringDump();
  std::wstring dump = csDump.pszGet();
  EXPECT_EQ(dump.find(L"Secret1"), std::wstring::npos) << csDump.pszGet();
  for (const wchar_t* want : {L"Driver=x;Password=*****", L"bob", L"127.0.0.1", L"kqtest",
                              L"Server", L"tag", L"9"})
    EXPECT_NE(dump.find(want), std::wstring::npos) << "missing " << testing::PrintToString(
                                                          std::wstring(want));
  p->nRelease();
}

TEST_F(ConnectionDescriptionTest, NullServerTextsReadAsNULLInTheNativeInformation) {
  CMySQLConnection* p = Make(nullptr);
  CNAError clError;
  clError.AddError(eNA_ERRORTYPE(0), kNAFileConnection, 99, p, 8u);
  std::wstring dump = clError.StringDump().pszGet();
  EXPECT_NE(dump.find(L"NULL"), std::wstring::npos);
  p->nRelease();
}

TEST_F(ConnectionDescriptionTest, AClientLibraryOtherThanTheLoadedOneIsRefused) {
  CNAConnectionDescription::m_csClientLibrary = L"/usr/lib/i386-linux-gnu/libmariadb.so.3";
  struct Case {
    const wchar_t* wanted;
    int ok;
  };
  const Case cases[] = {{L"", 1},
                        {L"/USR/lib/i386-linux-gnu/libmariadb.so.3", 1},
                        {L"libmariadb.so.3", 1},
                        {L"/opt/libmariadb.so.3", 0},
                        {L"libmysqlclient.so", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.wanted)));
    std::wstring extended = std::wstring(L"KQ CLIENT LIBRARY=") + c.wanted;
    CMySQLConnection* p = Make(extended.c_str());
    CNAError clError;
    EXPECT_EQ(p->_bCheckClientLibraryWanted(&clError), c.ok);
    EXPECT_EQ(clError.nGetUserErrorCode(), c.ok ? 0u : 74u);
    p->nRelease();
  }
  CNAConnectionDescription::g_ResetClientLibraryInfo();
}

}  // namespace
}  // namespace kqtest

namespace kqtest {
namespace {
// A character the session's 8-bit code page lacks would reach the server
// as "?": the literal is refused with user error 44 naming it.
TEST_F(ConnectionDescriptionTest, ALiteralTheSessionsCodePageCannotHoldIsRefused) {
  CMySQLConnection* p = Make(L"");
  ASSERT_EQ(p->nGetLanguageCodePage(), 1252) << "a connection not opened writes in 1252";
  struct Case {
    std::wstring text;
    bool ok;
  };
  const Case cases[] = {{L"caf\u00e9 \u20ac", true}, {L"\u4e2d", false}, {L"a\u0394b", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    CNAError clError;
    CTStringConcatAW clOut;
    const int bDone = p->_bEscapeString(&clError, &clOut, 16,
                                        reinterpret_cast<unsigned char*>(const_cast<wchar_t*>(
                                            c.text.c_str())),
                                        static_cast<unsigned int>(c.text.size() * sizeof(wchar_t)));
    EXPECT_EQ(bDone != 0, c.ok);
    if (!c.ok) {
      EXPECT_EQ(clError.nGetUserErrorCode(), 44u);
      EXPECT_NE(std::wstring(clError.pszGetError()).find(L"1252"), std::wstring::npos)
          << clError.pszGetError();
    }
  }
  p->nRelease();
}
}  // namespace
}  // namespace kqtest
