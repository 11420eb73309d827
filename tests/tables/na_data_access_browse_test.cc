// The data access's browse against the fixture's server, in process: reads
// of the first, last, next and previous record of a browse on an item, in
// windows of the connection's cache size, compared with the order the
// client library reads with the same ORDER BY; rows written by another
// connection between two windows; a browse rebuilt from its row as read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/mariadb/client_library.h"
#include "tests/mariadb/second_session.h"
#include "tests/tables/data_access_browse_fixture.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

struct BrowseCase {
  const char* name;
  long long cacheSize;
  const wchar_t* item;
  const char* orderBy;
};

const BrowseCase kBrowseCases[] = {
    {"primary key, windows of 5", 5, L"id", "id"},
    {"primary key, windows of 100", 100, L"id", "id"},
    {"primary key, windows by row length", -2, L"id", "id"},
    {"nullable item with duplicates, windows of 5", 5, L"name", "name, id"},
    {"nullable item with duplicates, windows of 100", 100, L"name", "name, id"},
    {"nullable item, no windows", -1, L"name", "name, id"},
};

TEST_F(DataAccessBrowseTest, BrowsesBothWaysInTheClientsOrder) {
  MakePeople(300);
  for (const BrowseCase& c : kBrowseCases) {
    SCOPED_TRACE(c.name);
    Open(c.cacheSize);
    std::vector<long long> expected = Ids(c.orderBy);
    const long long llSelectsBefore = Selects();
    std::vector<long long> forward;
    for (long long id = Read(c.item, NA_PARSE_FIRST); id >= 0; id = Read(c.item, NA_PARSE_NEXT))
      forward.push_back(id);
    EXPECT_EQ(forward, expected);
    // The forward browse ran one SELECT per window (and the count query).
    const long long llWindows =
        c.cacheSize > 0 ? static_cast<long long>(expected.size()) / c.cacheSize + 1 : 1;
    EXPECT_GE(Selects() - llSelectsBefore, llWindows);
    EXPECT_LE(Selects() - llSelectsBefore, llWindows + 2);
    std::vector<long long> backward;
    for (long long id = Read(c.item, NA_PARSE_LAST); id >= 0; id = Read(c.item, NA_PARSE_PREVIOUS))
      backward.push_back(id);
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, expected);
    Release();
  }
}

TEST_F(DataAccessBrowseTest, NextAndPreviousMixedAcrossWindowEdgesFollowTheOrder) {
  MakePeople(200);
  for (const BrowseCase& c : kBrowseCases) {
    SCOPED_TRACE(c.name);
    Open(c.cacheSize);
    const std::vector<long long> expected = Ids(c.orderBy);
    ASSERT_EQ(Read(c.item, NA_PARSE_FIRST), expected[0]);
    WalkAtRandom(c.item, expected, 0, 7, 400, 3, 0);
    Release();
  }
}

TEST_F(DataAccessBrowseTest, ABrowseWhoseCacheWasFreedGoesOnFromItsRowAsRead) {
  // Freeing the cache leaves the browse to be rebuilt from the keys of the
  // row read last, forwards or backwards, across windows on both sides.
  MakePeople(120);
  for (const BrowseCase& c : kBrowseCases) {
    SCOPED_TRACE(c.name);
    Open(c.cacheSize);
    const std::vector<long long> expected = Ids(c.orderBy);
    const long long at = static_cast<long long>(expected.size()) - 1;
    ASSERT_EQ(Read(c.item, NA_PARSE_LAST), expected[at]);
    WalkAtRandom(c.item, expected, at, 11, 300, 2, 7);
    Release();
  }
}

TEST_F(DataAccessBrowseTest, ABrowseRebuiltAtEitherEndTurnsBackOntoItsRow) {
  // The cache freed on the last (first) row: the next (previous) read is
  // out of range, and the read back the other way gives that row again.
  MakePeople(30);
  for (const BrowseCase& c : kBrowseCases) {
    SCOPED_TRACE(c.name);
    Open(c.cacheSize);
    const std::vector<long long> expected = Ids(c.orderBy);
    ASSERT_EQ(Read(c.item, NA_PARSE_LAST), expected.back());
    ASSERT_EQ(m_pclAccess->bFreeCache(), 1);
    EXPECT_EQ(Read(c.item, NA_PARSE_NEXT), -1);
    EXPECT_EQ(Read(c.item, NA_PARSE_PREVIOUS), expected.back());
    EXPECT_EQ(Read(c.item, NA_PARSE_PREVIOUS), expected[expected.size() - 2]);
    ASSERT_EQ(Read(c.item, NA_PARSE_FIRST), expected.front());
    ASSERT_EQ(m_pclAccess->bFreeCache(), 1);
    EXPECT_EQ(Read(c.item, NA_PARSE_PREVIOUS), -1);
    EXPECT_EQ(Read(c.item, NA_PARSE_NEXT), expected.front());
    EXPECT_EQ(Read(c.item, NA_PARSE_NEXT), expected[1]);
    Release();
  }
}

TEST_F(DataAccessBrowseTest, ASkipReadsTheRowThatManyRowsOnAndTheBrowseGoesOnBothWays) {
  MakePeople(150);
  for (const BrowseCase& c : kBrowseCases) {
    SCOPED_TRACE(c.name);
    Open(c.cacheSize);
    const std::vector<long long> expected = Ids(c.orderBy);
    struct Skip {
      eNA_PARSEDIRECTION direction;
      long long step;
      long long rank;  // -1: out of range
    } const skips[] = {
        {NA_PARSE_FIRST, 1, 0},    {NA_PARSE_FIRST, 77, 76}, {NA_PARSE_NEXT, 30, 106},
        {NA_PARSE_PREVIOUS, 100, 6}, {NA_PARSE_PREVIOUS, 7, -1}, {NA_PARSE_LAST, 1, 149},
        {NA_PARSE_LAST, 40, 110}, {NA_PARSE_FIRST, 151, -1},
    };
    for (const Skip& k : skips) {
      SCOPED_TRACE(k.step);
      m_pclError->Reset();
      eNA_LOCKTYPE eOut = NA_LOCK_DEFAULT;
      ASSERT_EQ(m_pclAccess->bSkipRecord(c.item, k.direction, k.step, 1, kNoLock, &eOut, 0), 1)
          << Dump();
      int bOut = 0;
      m_pclAccess->bHEndehors(c.item, &bOut);
      if (k.rank < 0) {
        EXPECT_EQ(bOut, 1);
        continue;
      }
      ASSERT_EQ(bOut, 0);
      CAny clId;
      m_pclAccess->pclGetRecordNoRef()->pclGetColumnNoRef(L"id")->bGetCurrentValue(&clId, 0);
      EXPECT_EQ(std::stoll(ValueText(clId)), expected[k.rank]);
      if (k.rank > 0) {
        EXPECT_EQ(Read(c.item, NA_PARSE_PREVIOUS), expected[k.rank - 1]);
        EXPECT_EQ(Read(c.item, NA_PARSE_NEXT), expected[k.rank]);
      }
    }
    Release();
  }
}

TEST_F(DataAccessBrowseTest, APendingAutomaticFilterMovesOnlyTheSameBrowseOffItsCache) {
  // The decision of a read that meets a pending automatic filter: the
  // current browse, on the same item (whatever its case), with no search,
  // neither the access flag nor the statement's own flag nor the default
  // item asked, falls back (here, with its cache switched off). The browse
  // reads on in order either way.
  MakePeople(40);
  const std::vector<long long> expected = Ids("name, id");
  struct Case {
    const char* name;
    int bAccessQueryAsGiven;
    int bOwnBrowse;
    const wchar_t* pszItem;
    NA_WRITEPARSEFLAGS nExtra;
    bool bFallsBack;
  } const cases[] = {
      {"same browse", 0, 0, L"name", 0, true},
      {"same item in another case", 0, 0, L"NAME", 0, true},
      {"access flag", 1, 0, L"name", 0, false},
      {"statement's own browse", 0, 1, L"name", 0, false},
      {"both flags", 1, 1, L"name", 0, false},
      {"default item asked", 0, 0, L"name", CNADataAccess::kReadDefaultItem, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Open(5);
    ASSERT_EQ(Read(L"name", NA_PARSE_FIRST), expected[0]);
    ASSERT_EQ(Read(L"name", NA_PARSE_NEXT), expected[1]);
    CNAStatement* pclStatement = m_pclAccess->pclGetCurrentStatementNoRef();
    ASSERT_TRUE(pclStatement->bIsCacheEnabled());
    m_pclAccess->SetAccessFlags(c.bAccessQueryAsGiven ? CNADataAccess::kAccessQueryAsGiven : 0);
    pclStatement->SetStatementFlags(c.bOwnBrowse ? CNAStatement::kStatementOwnBrowse : 0);
    m_pclAccess->SetFiltreAuto(1);
    eNA_LOCKTYPE eOut = NA_LOCK_DEFAULT;
    m_pclError->Reset();
    ASSERT_EQ(m_pclAccess->bHLitxxx(c.pszItem, NA_PARSE_NEXT, 1, kNoLock, &eOut,
                                    CNADataAccess::kReadCacheOffOnFallback | c.nExtra),
              1)
        << Dump();
    EXPECT_EQ(m_pclAccess->bIsFiltreAutoPending(), 0) << "the read takes the pending filter";
    if (c.nExtra == 0) {
      EXPECT_EQ(pclStatement->bIsCacheEnabled() ? false : true, c.bFallsBack);
      CAny clId;
      m_pclAccess->pclGetRecordNoRef()->pclGetColumnNoRef(L"id")->bGetCurrentValue(&clId, 0);
      EXPECT_EQ(std::stoll(ValueText(clId)), expected[2]);
      EXPECT_EQ(Read(L"name", NA_PARSE_NEXT), expected[3]);
      EXPECT_EQ(Read(L"name", NA_PARSE_PREVIOUS), expected[2]);
    } else {
      EXPECT_TRUE(pclStatement->bIsCacheEnabled()) << "another browse: this one keeps its rows";
    }
    Release();
  }
}

TEST_F(DataAccessBrowseTest, ATableWithoutUniqueKeyBrowsesBothWaysInOneWindow) {
  const std::string table = m_table + "_nokey";
  const std::wstring wtable(table.begin(), table.end());
  CreateTable(table, "id INT NULL, name VARCHAR(10) NULL");
  ASSERT_TRUE(m_session.bRun("INSERT INTO " + table +
                             " VALUES (3,'c'),(1,'a'),(2,'b'),(2,'b'),(NULL,'z'),(5,NULL)"));
  m_session.pclConnection()->SetCacheSize(2);
  m_piSource = CStandInDescription::pclNew(
      wtable.c_str(), {Decl(L"id", NA_IT_I4, 4, kDuplicates), Decl(L"name", NA_IT_TEXTE, 11)}, 12);
  m_pclAccess = static_cast<CNADataAccess*>(
      m_pclDriver->pclAllocDataAccess(m_piSource, m_session.pclConnection(), m_pclError));
  m_pclAccess->AddRef();
  ASSERT_EQ(m_pclAccess->bHOuvre(static_cast<_eNA_ACCESS>(0), wtable.c_str()), 1) << Dump();
  auto Ids = [&](eNA_PARSEDIRECTION eStart, eNA_PARSEDIRECTION eMove) {
    std::vector<std::string> v;
    eNA_LOCKTYPE eOut = NA_LOCK_DEFAULT;
    for (eNA_PARSEDIRECTION e = eStart;; e = eMove) {
      EXPECT_EQ(m_pclAccess->bHLitxxx(L"id", e, 1, kNoLock, &eOut, 0), 1) << Dump();
      int bOut = 1;
      m_pclAccess->bHEndehors(L"id", &bOut);
      if (bOut || v.size() > 10) break;
      CAny clId;
      m_pclAccess->pclGetRecordNoRef()->pclGetColumnNoRef(L"id")->bGetCurrentValue(&clId, 0);
      v.push_back(clId.bIsNull() ? "NULL" : ValueText(clId));
    }
    return v;
  };
  const std::vector<std::string> forward = {"NULL", "1", "2", "2", "3", "5"};
  EXPECT_EQ(Ids(NA_PARSE_FIRST, NA_PARSE_NEXT), forward);
  EXPECT_EQ(Ids(NA_PARSE_LAST, NA_PARSE_PREVIOUS),
            std::vector<std::string>(forward.rbegin(), forward.rend()));
  EXPECT_EQ(m_pclAccess->pclGetCurrentStatementNoRef()->bKeysetWindows(), 0);

  // Rebuilt from its row as read: walked to again from the start, unless
  // the read forbids what cannot be rebuilt from keys (user error 83).
  eNA_LOCKTYPE eOut = NA_LOCK_DEFAULT;
  ASSERT_EQ(m_pclAccess->bHLitxxx(L"id", NA_PARSE_FIRST, 1, kNoLock, &eOut, 0), 1);
  ASSERT_EQ(m_pclAccess->bHLitxxx(L"id", NA_PARSE_NEXT, 1, kNoLock, &eOut, 0), 1);
  ASSERT_EQ(m_pclAccess->bHLitxxx(L"id", NA_PARSE_NEXT, 1, kNoLock, &eOut, 0), 1);
  ASSERT_EQ(m_pclAccess->bFreeCache(), 1);
  ASSERT_EQ(m_pclAccess->bHLitxxx(L"id", NA_PARSE_NEXT, 1, kNoLock, &eOut, 0), 1) << Dump();
  CAny clId;
  m_pclAccess->pclGetRecordNoRef()->pclGetColumnNoRef(L"id")->bGetCurrentValue(&clId, 0);
  EXPECT_EQ(ValueText(clId), "2");
  ASSERT_EQ(m_pclAccess->bFreeCache(), 1);
  m_pclError->Reset();
  EXPECT_EQ(m_pclAccess->bHLitxxx(L"id", NA_PARSE_NEXT, 1, kNoLock, &eOut,
                                  CNADataAccess::kReadCacheOffOnFallback),
            0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), CNADataAccess::kErrCannotUpdateParse);
}

TEST_F(DataAccessBrowseTest, AnEmptyTableIsOutOfRangeEveryWayAndAnUnknownItemIsAnError) {
  MakePeople(0);
  Open(5);
  for (eNA_PARSEDIRECTION e : {NA_PARSE_FIRST, NA_PARSE_NEXT, NA_PARSE_LAST, NA_PARSE_PREVIOUS,
                               NA_PARSE_CURRENT}) {
    SCOPED_TRACE(static_cast<int>(e));
    EXPECT_EQ(Read(L"name", e), -1);
  }
  m_pclError->Reset();
  eNA_LOCKTYPE eOut = NA_LOCK_DEFAULT;
  EXPECT_EQ(m_pclAccess->bHLitxxx(L"no_such_item", NA_PARSE_FIRST, 1, kNoLock, &eOut, 0), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), CNAStatement::kErrUnknownItem);
  EXPECT_NE(Utf8(m_pclError->pszGetError()).find("no_such_item"), std::string::npos);
  // The browse of a known item still reads.
  EXPECT_EQ(Read(L"id", NA_PARSE_FIRST), -1);
}

TEST_F(DataAccessBrowseTest, AMemoOfTheRowReadComesWholeAsAValueAndIntoAFile) {
  const std::string table = m_table + "_m";
  const std::wstring wtable(table.begin(), table.end());
  CreateTable(table, "id INT NOT NULL PRIMARY KEY, doc LONGBLOB");
  std::string bytes;
  for (int i = 0; i < 70000; ++i) bytes += static_cast<char>((i * 7) % 256);
  std::string hex;
  for (unsigned char c : bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    hex += kHex[c >> 4];
    hex += kHex[c & 15];
  }
  ASSERT_TRUE(m_session.bRun("INSERT INTO " + table + " VALUES (1, X'" + hex + "'), (2, NULL)"));
  m_piSource = CStandInDescription::pclNew(
      wtable.c_str(),
      {Decl(L"id", NA_IT_I4, 4, kPrimary, false), Decl(L"doc", NA_IT_MEMOBINAIRE, 8)}, 12);
  m_pclAccess = static_cast<CNADataAccess*>(
      m_pclDriver->pclAllocDataAccess(m_piSource, m_session.pclConnection(), m_pclError));
  m_pclAccess->AddRef();
  ASSERT_EQ(m_pclAccess->bHOuvre(static_cast<_eNA_ACCESS>(0), wtable.c_str()), 1) << Dump();
  ASSERT_EQ(Read(L"id", NA_PARSE_FIRST), 1);
  CAny clDoc;
  ASSERT_EQ(m_pclAccess->bGetBLOB(1, &clDoc), 1) << Dump();
  EXPECT_FALSE(clDoc.bIsNull());
  const std::string file = std::string(::testing::TempDir()) + "/" + table + ".bin";
  const std::wstring wfile(file.begin(), file.end());
  ASSERT_EQ(m_pclAccess->bExtraitMemo(1, wfile.c_str()), 1) << Dump();
  std::string written;
  if (FILE* f = std::fopen(file.c_str(), "rb")) {
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) written.append(buf, n);
    std::fclose(f);
  }
  EXPECT_EQ(written, bytes);
  // A NULL memo gives an empty file; a number that is no memo, an error.
  ASSERT_EQ(Read(L"id", NA_PARSE_NEXT), 2);
  ASSERT_EQ(m_pclAccess->bExtraitMemo(1, wfile.c_str()), 1) << Dump();
  FILE* f = std::fopen(file.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(std::fgetc(f), EOF);
  std::fclose(f);
  std::remove(file.c_str());
  // A file that cannot be made: user error 15 naming it, with the reason.
  m_pclError->Reset();
  const std::wstring wbad = L"/nonexistent_kq_dir/memo.bin";
  EXPECT_EQ(m_pclAccess->bExtraitMemo(1, wbad.c_str()), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), CNADataAccess::kErrFileNotWritten);
  const std::string strText = Utf8(m_pclError->pszGetError());
  const size_t nAt = strText.find("/nonexistent_kq_dir/memo.bin could not be opened: ");
  ASSERT_NE(nAt, std::string::npos) << strText;
  const size_t nReason = nAt + std::strlen("/nonexistent_kq_dir/memo.bin could not be opened: ");
  EXPECT_TRUE(nReason < strText.size() && strText[nReason] != '\n') << "a reason follows the name";
  m_pclError->Reset();
  EXPECT_EQ(m_pclAccess->bExtraitMemo(0, wfile.c_str()), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), CNADataAccess::kErrUnknownItemNumber);
  EXPECT_EQ(m_pclAccess->bGetBLOB(9, &clDoc), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), CNADataAccess::kErrUnknownItemNumber);
}

TEST_F(DataAccessBrowseTest, RowsWrittenByOthersBetweenWindowsNeverSkipOrRepeatAnUnchangedRow) {
  MakePeople(60);
  Open(5);
  kq230::test_support::SecondSession other;
  std::string strError;
  ASSERT_TRUE(other.Open(ServerSession::Server(), &strError)) << strError;
  std::vector<long long> seen;
  long long id = Read(L"name", NA_PARSE_FIRST);
  for (int i = 0; id >= 0; ++i) {
    seen.push_back(id);
    // Between windows: a row added before, one after, one deleted ahead.
    if (i % 5 == 4) {
      ASSERT_EQ(other.Run("INSERT INTO " + m_table + " VALUES (" + std::to_string(1000 + i) +
                          ",'a',0),(" + std::to_string(2000 + i) + ",'zz',0)"),
                0u)
          << other.Error();
      ASSERT_EQ(other.Run("DELETE FROM " + m_table + " WHERE id=" + std::to_string(60 - i)), 0u)
          << other.Error();
    }
    id = Read(L"name", NA_PARSE_NEXT);
  }
  // Every row that was there from start to end came once, in order.
  std::vector<long long> unchanged;
  for (long long v : Ids("name, id"))
    if (v <= 60) unchanged.push_back(v);
  std::vector<long long> seenUnchanged;
  for (long long v : seen)
    if (v <= 60 && std::find(unchanged.begin(), unchanged.end(), v) != unchanged.end())
      seenUnchanged.push_back(v);
  EXPECT_EQ(seenUnchanged, unchanged);
  std::vector<long long> sorted = seen;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "a row repeated";
}

}  // namespace
}  // namespace kqtest
