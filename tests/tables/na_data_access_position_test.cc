// Where a data access stands and how it comes back, in process on the
// fixture's server: record numbers (an integer key's value, else numbers of
// the data access kept with their rows), reads by number and rows deleted
// since, saved positions (from the cache and from the keys), relative
// positions in thousandths.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/mariadb/client_library.h"
#include "tests/tables/data_access_browse_fixture.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

class DataAccessPositionTest : public DataAccessBrowseTest {
 protected:
  long long ReadNumber(long long llRecNum) {
    m_pclError->Reset();
    eNA_LOCKTYPE eOut = NA_LOCK_DEFAULT;
    if (!m_pclAccess->bHLit(llRecNum, kNoLock, &eOut)) return -2;
    int bOut = 1;
    m_pclAccess->bHEndehors(L"", &bOut);
    return bOut ? -1 : CurrentId();
  }
  long long CurrentId() {
    CAny clId;
    m_pclAccess->pclGetRecordNoRef()->pclGetColumnNoRef(L"id")->bGetCurrentValue(&clId, 0);
    return std::stoll(ValueText(clId));
  }
  // Moves the browse on the item to the n-th row (from 0) of its order.
  long long ReadNth(const wchar_t* pszItem, int n) {
    long long id = Read(pszItem, NA_PARSE_FIRST);
    for (int i = 0; i < n; ++i) id = Read(pszItem, NA_PARSE_NEXT);
    return id;
  }
  unsigned int LastUserError() const { return m_pclError->dwGetErrorId(); }
  std::string LastText() const { return Utf8(m_pclError->pszGetError()); }
};

TEST_F(DataAccessPositionTest, AnIntegerKeyNumbersItsRowsAndReadsThemBackInAnyDataAccess) {
  MakePeople(40);
  Open(5);
  ASSERT_EQ(ReadNth(L"name", 12), Ids("name, id")[12]);
  const long long llNumber = m_pclAccess->llGetRecNum();
  EXPECT_EQ(llNumber, CurrentId()) << "the key's value is the number";
  unsigned int dwState = 99;
  ASSERT_EQ(m_pclAccess->bGetRecNumState(llNumber, &dwState), 1) << Dump();
  EXPECT_EQ(dwState, CNADataAccess::kRecNumPresent);

  // Another data access on the table reads the same number.
  const long long llId = CurrentId();
  Release();
  Open(100);
  EXPECT_EQ(ReadNumber(llNumber), llId) << Dump();
  EXPECT_EQ(Read(L"", NA_PARSE_NEXT), -1) << "a read by number is one row";

  // Deleted since: out of range, the record as it was read, marked deleted.
  ASSERT_TRUE(m_session.bRun("DELETE FROM " + m_table + " WHERE id=" + std::to_string(llId)));
  EXPECT_EQ(ReadNumber(llNumber), -1);
  EXPECT_EQ(CurrentId(), llId);
  ASSERT_EQ(m_pclAccess->bGetRecNumState(llNumber, &dwState), 1);
  EXPECT_EQ(dwState, CNADataAccess::kRecNumDeleted);
}

TEST_F(DataAccessPositionTest, RowsWithoutAnIntegerKeyGetNumbersOfTheDataAccess) {
  const std::string table = m_table + "_c";
  const std::wstring wcodes(table.begin(), table.end());
  CreateTable(table, "code VARCHAR(10) NOT NULL PRIMARY KEY, v INT");
  ASSERT_TRUE(m_session.bRun("INSERT INTO " + table + " VALUES ('a''b',1),('b\\\\c',2),('c',3)"));
  m_piSource = CStandInDescription::pclNew(
      wcodes.c_str(), {Decl(L"code", NA_IT_TEXTE, 11, kPrimary, false), Decl(L"v", NA_IT_I4, 4)},
      12);
  m_pclAccess = static_cast<CNADataAccess*>(
      m_pclDriver->pclAllocDataAccess(m_piSource, m_session.pclConnection(), m_pclError));
  m_pclAccess->AddRef();
  ASSERT_EQ(m_pclAccess->bHOuvre(static_cast<_eNA_ACCESS>(0), wcodes.c_str()), 1) << Dump();
  std::vector<long long> numbers;
  std::vector<std::string> codes;
  eNA_LOCKTYPE eOut = NA_LOCK_DEFAULT;
  for (eNA_PARSEDIRECTION e = NA_PARSE_FIRST;; e = NA_PARSE_NEXT) {
    ASSERT_EQ(m_pclAccess->bHLitxxx(L"code", e, 1, kNoLock, &eOut, 0), 1) << Dump();
    int bOut = 0;
    m_pclAccess->bHEndehors(L"code", &bOut);
    if (bOut) break;
    numbers.push_back(m_pclAccess->llGetRecNum());
    CAny clCode;
    m_pclAccess->pclGetRecordNoRef()->pclGetColumnNoRef(L"code")->bGetCurrentValue(&clCode, 0);
    codes.push_back(ValueText(clCode));
    EXPECT_EQ(m_pclAccess->llGetRecNum(), numbers.back()) << "asked twice, the same number";
  }
  ASSERT_EQ(numbers.size(), 3u);
  for (size_t i = 0; i < numbers.size(); ++i) {
    SCOPED_TRACE(codes[i]);
    EXPECT_GE(numbers[i], CNADataAccess::kFirstMappedRecNum);
    ASSERT_EQ(m_pclAccess->bHLit(numbers[i], kNoLock, &eOut), 1) << Dump();
    CAny clCode;
    m_pclAccess->pclGetRecordNoRef()->pclGetColumnNoRef(L"code")->bGetCurrentValue(&clCode, 0);
    EXPECT_EQ(ValueText(clCode), codes[i]);
  }
  // A number never given is an error naming it.
  m_pclError->Reset();
  EXPECT_EQ(m_pclAccess->bHLit(CNADataAccess::kFirstMappedRecNum + 77, kNoLock, &eOut), 0);
  EXPECT_EQ(LastUserError(), CNADataAccess::kErrUnknownRecNum);
  EXPECT_NE(LastText().find(std::to_string(CNADataAccess::kFirstMappedRecNum + 77)),
            std::string::npos)
      << LastText();
}

TEST_F(DataAccessPositionTest, ASavedPositionComesBackFromTheCacheOrFromTheKeys) {
  MakePeople(60);
  Open(5);
  const std::vector<long long> expected = Ids("name, id");
  ASSERT_EQ(ReadNth(L"name", 23), expected[23]);
  int nPosition = 0;
  ASSERT_EQ(m_pclAccess->bHSauvePosition(&nPosition, L"name", 0), 1) << Dump();
  EXPECT_EQ(nPosition, 1);
  int nStart = 0;
  ASSERT_EQ(Read(L"name", NA_PARSE_FIRST), expected[0]);
  ASSERT_EQ(m_pclAccess->bHSauvePosition(&nStart, L"name", 0), 1);
  EXPECT_EQ(nStart, 2);
  int nOrder = 0;
  ASSERT_EQ(m_pclAccess->bCompareTablePosition(nStart, nPosition, &nOrder), 1) << Dump();
  EXPECT_EQ(nOrder, -1);
  ASSERT_EQ(m_pclAccess->bCompareTablePosition(nPosition, nStart, &nOrder), 1);
  EXPECT_EQ(nOrder, 1);

  // From the cache: the browse goes on from there.
  ASSERT_EQ(m_pclAccess->bHRetourPosition(nPosition, nullptr, 1, 0), 1) << Dump();
  EXPECT_EQ(CurrentId(), expected[23]);
  EXPECT_EQ(Read(L"name", NA_PARSE_NEXT), expected[24]);
  // From the keys, the cache gone: both ways on.
  ASSERT_EQ(m_pclAccess->bFreeCache(), 1);
  ASSERT_EQ(m_pclAccess->bHRetourPosition(nPosition, nullptr, 0, 0), 1) << Dump();
  EXPECT_EQ(CurrentId(), expected[23]);
  EXPECT_EQ(Read(L"name", NA_PARSE_PREVIOUS), expected[22]);
  EXPECT_EQ(Read(L"name", NA_PARSE_NEXT), expected[23]);
  EXPECT_EQ(Read(L"name", NA_PARSE_NEXT), expected[24]);

  // Returned without keeping it, the position is gone.
  m_pclError->Reset();
  EXPECT_EQ(m_pclAccess->bHRetourPosition(nPosition, nullptr, 1, 0), 0);
  EXPECT_EQ(LastUserError(), CNADataAccess::kErrUnknownPosition);
  EXPECT_NE(LastText().find("1"), std::string::npos);
  EXPECT_EQ(m_pclAccess->bHLiberePosition(nStart), 1);
  EXPECT_EQ(m_pclAccess->bHLiberePosition(nStart), 0);
  EXPECT_EQ(LastUserError(), CNADataAccess::kErrUnknownPosition);
}

TEST_F(DataAccessPositionTest, APositionWhoseRowWasDeletedComesBackOutOfRange) {
  MakePeople(30);
  Open(5);
  const long long id = ReadNth(L"id", 9);
  int nPosition = 0;
  ASSERT_EQ(m_pclAccess->bHSauvePosition(&nPosition, L"id", 0), 1);
  ASSERT_EQ(m_pclAccess->bFreeCache(), 1);
  ASSERT_TRUE(m_session.bRun("DELETE FROM " + m_table + " WHERE id=" + std::to_string(id)));
  ASSERT_EQ(m_pclAccess->bHRetourPosition(nPosition, nullptr, 1, 0), 1) << Dump();
  int bOut = 0;
  m_pclAccess->bHEndehors(L"id", &bOut);
  EXPECT_EQ(bOut, 1);
}

TEST_F(DataAccessPositionTest, ThousandthsGoFromTheFirstRowToTheLast) {
  MakePeople(101);
  Open(5);
  const std::vector<long long> expected = Ids("name, id");
  struct Case {
    unsigned int dwPosition;
    int nRank;
  } const cases[] = {{0, 0}, {1000, 100}, {500, 50}, {250, 25}, {2000, 100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dwPosition);
    m_pclError->Reset();
    ASSERT_EQ(m_pclAccess->bHPositionne(L"name", c.dwPosition, NA_PRECISION_DEFAULT, 0), 1)
        << Dump();
    EXPECT_EQ(CurrentId(), expected[c.nRank]);
    int nBack = -1;
    ASSERT_EQ(m_pclAccess->bHPositionCourante(&nBack, L"name", NA_PRECISION_DEFAULT), 1) << Dump();
    EXPECT_EQ(nBack, c.nRank * 10);
    // The browse goes on from the row, both ways, from its keys.
    if (c.nRank + 1 < static_cast<int>(expected.size())) {
      EXPECT_EQ(Read(L"name", NA_PARSE_NEXT), expected[c.nRank + 1]);
      EXPECT_EQ(Read(L"name", NA_PARSE_PREVIOUS), expected[c.nRank]);
    }
    if (c.nRank > 0) {
      EXPECT_EQ(Read(L"name", NA_PARSE_PREVIOUS), expected[c.nRank - 1]);
    }
  }
}

TEST_F(DataAccessPositionTest, AnEmptyTableIsPositionedOutOfRange) {
  MakePeople(0);
  Open(5);
  ASSERT_EQ(m_pclAccess->bHPositionne(L"name", 500, NA_PRECISION_DEFAULT, 0), 1) << Dump();
  int bOut = 0;
  m_pclAccess->bHEndehors(L"name", &bOut);
  EXPECT_EQ(bOut, 1);
  int nPosition = -1;
  ASSERT_EQ(m_pclAccess->bHPositionCourante(&nPosition, L"name", NA_PRECISION_DEFAULT), 1);
  EXPECT_EQ(nPosition, 0);
}

}  // namespace
}  // namespace kqtest
