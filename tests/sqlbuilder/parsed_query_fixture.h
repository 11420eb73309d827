// ParsedQueryTest: the fixture of the tests that parse queries with the
// stand-in parser over an analysis they build (CStandInAnalysis), with an
// error object for the driver's objects; the type and key-flag constants
// of an analysis item's declaration (Decl, tests/support/standin_items.h).
// Every test must end with no parser object and no stand-in description
// alive beyond those it found.
//
// Ownership: the fixture owns the analysis and holds one reference on the
// error object; a derived fixture releases what it made before calling
// ParsedQueryTest::TearDown. Threads: one test at a time.
#ifndef KQ230_TESTS_SQLBUILDER_PARSED_QUERY_FIXTURE_H_
#define KQ230_TESTS_SQLBUILDER_PARSED_QUERY_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "host/parser/standin_analysis.h"
#include "host/parser/standin_sql_parser.h"
#include "tests/support/bound_framework.h"
#include "tests/support/standin_items.h"

namespace kqtest {

// Item types and key flags of the declarations.
inline constexpr int kIdAuto = 1, kTexte = 2, kI4 = 5, kR8 = 7, kMemoTexte = 15, kIdAuto4 = 28;
inline constexpr unsigned short kPrimary = 0x8000, kUnique = 0x4000, kDup = 0x2000,
                                kComposed = 0x1000, kAsc = 0x0800, kDesc = 0x0400,
                                kIgnoreCase = 0x0080;

class ParsedQueryTest : public BoundFrameworkTest {
 protected:
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    m_nParserLive = StandInParserCounts::g_nLive;
    m_nDescriptionsLive = StandInDescriptionCounts::g_nLive;
    m_pclError = new CNAError;
    m_pclError->AddRef();
    m_pAnalysis = std::make_unique<CStandInAnalysis>();
  }

  void TearDown() override {
    m_pclError->nRelease();
    m_pAnalysis.reset();
    EXPECT_EQ(StandInParserCounts::g_nLive, m_nParserLive) << "parser objects left";
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, m_nDescriptionsLive) << "descriptions left";
    BoundFrameworkTest::TearDown();
  }

  // A table of the analysis: its items at that item version, its physical
  // name (null: none).
  void Add(const wchar_t* pszName, const std::vector<StandInItemDecl>& items, int nVersion,
           const wchar_t* pszPhysical) {
    CStandInDescription* p = CStandInDescription::pclNew(pszName, items, nVersion);
    ASSERT_NE(p, nullptr);
    m_pAnalysis->AddTable(p, pszPhysical);
    p->nExternalRelease();
  }

  int m_nParserLive = 0;
  int m_nDescriptionsLive = 0;
  CNAError* m_pclError = nullptr;
  std::unique_ptr<CStandInAnalysis> m_pAnalysis;
};

}  // namespace kqtest

#endif  // KQ230_TESTS_SQLBUILDER_PARSED_QUERY_FIXTURE_H_
