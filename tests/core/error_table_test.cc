// The driver's module description and error table.
#include "core/error_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/module_info.h"
#include "core/numbered_messages.h"
#include "tests/support/bound_framework.h"

namespace {

// The rows as the server's error reporting expects them: user code, message.
const uint32_t kRows[88][2] = {
    {1, 25624},  {2, 25016},  {4, 25625},  {5, 25017},  {6, 25626},  {12, 28546},    {34, 28885},
    {42, 25524}, {43, 28575}, {44, 25574}, {45, 25602}, {7, 28432},  {8, 28437},     {9, 28536},
    {10, 28537}, {11, 28538}, {13, 28540}, {14, 28542}, {15, 28541}, {16, 28543},    {17, 28544},
    {18, 28563}, {19, 28417}, {20, 28565}, {21, 28576}, {73, 25860}, {22, 28585},    {80, 25878},
    {67, 25861}, {68, 25862}, {69, 25863}, {70, 25864}, {71, 25865}, {72, 25866},    {23, 28586},
    {24, 28587}, {25, 28588}, {26, 28589}, {27, 28590}, {28, 28591}, {29, 28624},    {30, 28636},
    {31, 28839}, {29, 28624}, {32, 28876}, {33, 28884}, {35, 28910}, {37, 28994},    {38, 25003},
    {39, 25004}, {40, 25008}, {41, 25199}, {46, 25607}, {47, 25609}, {48, 25613},    {49, 25615},
    {52, 25616}, {74, 25868}, {53, 25621}, {54, 25628}, {55, 25667}, {56, 25681},    {81, 28566},
    {58, 25854}, {59, 25867}, {78, 25575}, {79, 25877}, {50, 28583}, {51, 28584},    {57, 25833},
    {77, 25873}, {82, 25880}, {83, 25881}, {60, 25293}, {61, 25294}, {62, 25295},    {63, 25296},
    {64, 25297}, {65, 25298}, {66, 25292}, {75, 25871}, {76, 25872}, {84, 28995},   {85, 28996},
    {86, 28997}, {87, 28998}, {760101, 3221}, {760102, 3355},
};

TEST(ErrorTable, HoldsTheRowsInOrderWithTheirDetailAndLevel) {
  for (uint32_t i = 0; i < kErrorDefCount76; ++i) {
    const uint32_t nCode = kRows[i][0];
    SCOPED_TRACE(nCode);
    const _stErrorDef& row = gstErrorDef76[i];
    EXPECT_EQ(row.nUserCode, nCode);
    EXPECT_EQ(row.nMessage, kRows[i][1]);
    const bool bDetailIsMessage = nCode >= 17 && nCode <= 20;
    EXPECT_EQ(row.nDetailId, bDetailIsMessage ? row.nMessage : nCode);
    EXPECT_EQ(row.nLevel, nCode == 21 || nCode == 73 ? 2u : 3u);
  }
}

TEST(ErrorTable, EveryRowsMessageExists) {
  for (const _stErrorDef& row : gstErrorDef76) {
    SCOPED_TRACE(row.nUserCode);
    wchar_t szText[512];
    EXPECT_GT(DLLRES_nLoadString(&gstMyModuleInfo76, row.nMessage, szText, 512), 0);
    EXPECT_GE(DLLRES_nGetUtilisation(&gstMyModuleInfo76, row.nMessage), 0);
  }
}

TEST(ErrorTable, LookupFindsTheFirstRowOfACode) {
  struct Case {
    uint32_t nCode;
    uint32_t nMessage;
    uint32_t nDetail;
    uint32_t nLevel;
  };
  const Case cases[] = {
      {760101, 3221, 760101, 3}, {760102, 3355, 760102, 3}, {19, 28417, 28417, 3},
      {21, 28576, 21, 2},        {1, 25624, 1, 3},          {66, 25292, 66, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nCode);
    const _stErrorDef* pRow = ErrorDef_pFind(&gstMyModuleInfo76, c.nCode);
    ASSERT_NE(pRow, nullptr);
    EXPECT_EQ(pRow->nMessage, c.nMessage);
    EXPECT_EQ(pRow->nDetailId, c.nDetail);
    EXPECT_EQ(pRow->nLevel, c.nLevel);
    EXPECT_EQ(ErrorDef_nGetMessage(&gstMyModuleInfo76, c.nCode), c.nMessage);
  }
  // Code 29 has two identical rows: the search stops at the first.
  EXPECT_EQ(ErrorDef_pFind(&gstMyModuleInfo76, 29), &gstErrorDef76[40]);
}

TEST(ErrorTable, CodesWithoutRowAreNotFound) {
  for (uint32_t nCode : {0u, 3u, 36u, 88u, 89u, 760100u, 760103u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(nCode);
    EXPECT_EQ(ErrorDef_pFind(&gstMyModuleInfo76, nCode), nullptr);
    EXPECT_EQ(ErrorDef_nGetMessage(&gstMyModuleInfo76, nCode), 0u);
  }
  EXPECT_EQ(ErrorDef_pFind(nullptr, 1), nullptr);
}

TEST(ErrorTable, OnlyTheModulesCountOfRowsIsSearched) {
  _stMyModuleInfo stShort = gstMyModuleInfo76;
  stShort.nNbErrorDef = 5;
  EXPECT_NE(ErrorDef_pFind(&stShort, 6), nullptr);   // row 5
  EXPECT_EQ(ErrorDef_pFind(&stShort, 12), nullptr);  // row 6
}

TEST(ErrorTable, CodesCompareByTheirSignedDifference) {
  EXPECT_EQ(ErrorDef_nCompare(5, 5), 0);
  EXPECT_LT(ErrorDef_nCompare(4, 5), 0);
  EXPECT_GT(ErrorDef_nCompare(760101, 5), 0);
  EXPECT_LT(ErrorDef_nCompare(0x80000000u, 0), 0);
}

TEST(ModuleInfo, DescribesTheDriver) {
  EXPECT_EQ(gstMyModuleInfo76.pstErrorDef, gstErrorDef76);
  EXPECT_EQ(gstMyModuleInfo76.nNbErrorDef, 88u);
  EXPECT_EQ(gstMyModuleInfo76.nModuleId, 76u);
  EXPECT_STREQ(gstMyModuleInfo76.pszModuleFile, L"kq230maria.so");
  EXPECT_STREQ(gstMyModuleInfo76.pszVersion, L"23.0.2.0");
  EXPECT_EQ(gstMyModuleInfo76.pfnGetRes, &bGetResAnsi76);
  for (uint32_t dw : gstMyModuleInfo76.adwReserved) EXPECT_EQ(dw, 0u);
}

// The version comparison reads the server's locale information.
class ModuleVersion : public kqtest::BoundFrameworkTest {};

TEST_F(ModuleVersion, VersionsCompareNumberByNumber) {
  struct Case {
    const char* a;
    const char* b;
    int nSign;
  };
  const Case cases[] = {
      {"23.0.2.0", "23.0.2.0", 0}, {"23.0.10.0", "23.0.2.0", 1}, {"23.0.2.0", "23.1.0.0", -1},
      {"9.0.0.0", "23.0.0.0", -1}, {"23.0.2", "23.0.2.0", -1},   {"23.0.2.1", "23.0.2.0", 1},
  };
  auto sign = [](int n) { return (n > 0) - (n < 0); };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(sign(nCompareVersionModuleA(c.a, c.b)), c.nSign);
    const std::wstring a(c.a, c.a + strlen(c.a));
    const std::wstring b(c.b, c.b + strlen(c.b));
    EXPECT_EQ(sign(nCompareVersionModule(a.c_str(), b.c_str())), c.nSign);
  }
}

}  // namespace
