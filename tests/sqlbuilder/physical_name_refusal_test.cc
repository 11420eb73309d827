// A physical table name that the parser announces but that the digest
// (CSQLParserInfo) cannot take whole is refused with an error that names the
// table, in the digest's error object; a table the parser knows no physical
// name for, or a parser that throws, answers null without one.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "host/parser/standin_analysis.h"
#include "host/parser/standin_sql_parser.h"
#include "sqlbuilder/parsed_query_info.h"
#include "tests/support/bound_framework.h"

namespace {

constexpr int kI4 = 5;

class PhysicalNameRefusal : public kqtest::BoundFrameworkTest {
 protected:
  void SetUp() override {
    kqtest::BoundFrameworkTest::SetUp();
    m_nParserLive = StandInParserCounts::g_nLive;
    m_nDescriptionsLive = StandInDescriptionCounts::g_nLive;
    m_pclError = new CNAError;
    m_pclError->AddRef();
  }
  void TearDown() override {
    m_pclError->nRelease();
    EXPECT_EQ(StandInParserCounts::g_nLive, m_nParserLive) << "parser objects left";
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, m_nDescriptionsLive) << "descriptions left";
    kqtest::BoundFrameworkTest::TearDown();
  }

  // An analysis of one table T (one item A) with that physical name (null:
  // none), and the digest of "SELECT A FROM T" over it; the physical name of
  // T asked once, as text ("(null)" when none).
  std::wstring AskPhysicalName(const wchar_t* pszPhysical, bool bParserThrows = false) {
    CStandInAnalysis clAnalysis;
    StandInItemDecl item;
    item.name = L"A";
    item.type = kI4;
    item.size = 4;
    CStandInDescription* pclTable = CStandInDescription::pclNew(L"T", {item}, 12);
    EXPECT_NE(pclTable, nullptr);
    if (pclTable == nullptr) return L"(no table)";
    clAnalysis.AddTable(pclTable, pszPhysical);
    pclTable->nExternalRelease();
    if (bParserThrows) clAnalysis.SetFaults(CStandInAnalysis::kFaultPhysicalName);
    CStandInSQLParser clParser(&clAnalysis);
    CStandInSQLInfo* piInfo = clParser.pclParse(L"SELECT A FROM T", nullptr);
    EXPECT_NE(piInfo, nullptr);
    if (piInfo == nullptr) return L"(no parse)";
    auto* pclDigest = new CSQLParserInfo(m_pclError, piInfo, nullptr, 0);
    pclDigest->AddRef();
    piInfo->Release();
    const wchar_t* psz = pclDigest->pszGetPhysicalName(L"T");
    std::wstring answer = psz != nullptr ? psz : L"(null)";
    pclDigest->nRelease();
    return answer;
  }

  std::wstring UserMessage() {
    const wchar_t* psz = m_pclError->pclGetXError()->pszGetUserMessage();
    return psz != nullptr ? psz : L"";
  }

  int m_nParserLive = 0;
  int m_nDescriptionsLive = 0;
  CNAError* m_pclError = nullptr;
};

TEST_F(PhysicalNameRefusal, ANameTooLongForTheBufferIsAnErrorNamingTheTable) {
  for (int nLength : {261, 262, 1000}) {
    SCOPED_TRACE(nLength);
    m_pclError->Reset();
    const std::wstring strPhysical(static_cast<size_t>(nLength), L'p');
    EXPECT_EQ(AskPhysicalName(strPhysical.c_str()), L"(null)");
    EXPECT_EQ(m_pclError->nGetUserErrorCode(), 44u);
    EXPECT_EQ(UserMessage(),
              L"The physical name of the table T cannot be used: the parser gave a name of " +
                  std::to_wstring(nLength) +
                  L" characters, and only a name of at most 260 characters, handed over in full, "
                  L"is accepted.");
    const std::wstring dump = m_pclError->StringDump().pszGet();
    EXPECT_NE(dump.find(L"IEKQMARIA=14.1"), std::wstring::npos) << dump;
  }
}

TEST_F(PhysicalNameRefusal, UsableOrAbsentNamesAndParserFaultsRecordNoError) {
  const std::wstring strLongest(260, L'q');
  const struct {
    const char* what;
    const wchar_t* physical;
    bool throws;
    std::wstring answer;
  } kCases[] = {
      {"the longest name that fits", strLongest.c_str(), false, strLongest},
      {"a short name", L"t_physical", false, L"t_physical"},
      {"no physical name: callers take the table's own", nullptr, false, L"(null)"},
      {"the parser throws", L"t_physical", true, L"(null)"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    m_pclError->Reset();
    EXPECT_EQ(AskPhysicalName(c.physical, c.throws), c.answer);
    EXPECT_EQ(m_pclError->nGetUserErrorCode(), 0u) << m_pclError->StringDump().pszGet();
  }
}

}  // namespace
