// The SQL type map: defaults, replacement, the filling of sizes and digits,
// and texts that must never be read as printf formats.
#include "items/sql_type_map.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/bound_framework.h"

namespace {

class SqlTypeMap : public kqtest::BoundFrameworkTest {};

std::wstring sFormat(const CNAMapConvertType& map, const stNATypeItemFacts& st, bool* pbFound) {
  CXYString<wchar_t> out;
  out.nAffecteConversion(L"untouched", 9);
  *pbFound = map.bFormat(st, &out) != 0;
  std::wstring s = out.pszGet() != nullptr ? out.pszGet() : L"";
  out.ReleaseDynStr();
  return s;
}

stNATypeItemFacts Item(eNA_ITEMTYPE e, int nSize, int nLogical, int nInt = 0, int nDec = 0) {
  stNATypeItemFacts st;
  st.eItemType = e;
  st.nItemSize = nSize;
  st.nLogicalSize = nLogical;
  st.nIntegerPart = nInt;
  st.nDecimalPart = nDec;
  return st;
}

TEST_F(SqlTypeMap, DefaultsGiveTheGenericTypeTexts) {
  CNAMapConvertType map;
  map._Init();
  EXPECT_EQ(map.dwGetNumElement(), 30u);
  struct Case {
    stNATypeItemFacts st;
    const wchar_t* pszExpected;  // null: no entry
  };
  const Case cases[] = {
      {Item(NA_IT_TEXTE, 41, 40), L"VARCHAR(40)"},
      {Item(NA_IT_DECIMAL, 8, 0, 10, 2), L"NUMERIC(12,2)"},
      {Item(NA_IT_I4, 4, 4), L"INTEGER"},
      {Item(NA_IT_DATETIME, 8, 8), L"TIMESTAMP"},
      {Item(NA_IT_MEMOUNICODE, 8, 8), L"NTEXT"},
      {Item(NA_IT_MEMOBINAIRE, 8, 8), nullptr},
      {Item(NA_IT_MEMOBINAIRE4, 8, 8), nullptr},
      {Item(NA_IT_EMPTY, 0, 0), nullptr},
      {Item(static_cast<eNA_ITEMTYPE>(8), 0, 0), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.st.eItemType));
    bool bFound;
    const std::wstring s = sFormat(map, c.st, &bFound);
    if (c.pszExpected == nullptr) {
      EXPECT_FALSE(bFound);
      EXPECT_EQ(s, L"untouched");
    } else {
      EXPECT_TRUE(bFound);
      EXPECT_EQ(s, c.pszExpected);
    }
  }
}

TEST_F(SqlTypeMap, TimeFractionDigitsComeFromTheItemSizeAndNeverGoNegative) {
  CNAMapConvertType map;
  ASSERT_TRUE(map.Add(NA_IT_HEURE, L"TIME(%d)", 1));
  const struct {
    int nSize;
    const wchar_t* psz;
  } cases[] = {{10, L"TIME(3)"}, {7, L"TIME(0)"}, {5, L"TIME(0)"}, {0, L"TIME(0)"},
               {-3, L"TIME(0)"}, {40, L"TIME(6)"}};
  for (const auto& c : cases) {
    bool bFound;
    EXPECT_EQ(sFormat(map, Item(NA_IT_HEURE, c.nSize, 0), &bFound), c.psz) << c.nSize;
  }
}

TEST_F(SqlTypeMap, AddReplacesAndRemoveDropsAnEntry) {
  CNAMapConvertType map;
  map._Init();
  ASSERT_TRUE(map.Add(NA_IT_R8, L"DOUBLE", 0));
  ASSERT_TRUE(map.Add(NA_IT_R8, L"DOUBLE PRECISION", 0));
  EXPECT_EQ(map.dwGetNumElement(), 30u);
  bool bFound;
  EXPECT_EQ(sFormat(map, Item(NA_IT_R8, 8, 8), &bFound), L"DOUBLE PRECISION");
  EXPECT_TRUE(map.Remove(NA_IT_R8));
  EXPECT_FALSE(map.Remove(NA_IT_R8));
  sFormat(map, Item(NA_IT_R8, 8, 8), &bFound);
  EXPECT_FALSE(bFound);
  EXPECT_EQ(map.dwGetNumElement(), 29u);
}

TEST_F(SqlTypeMap, AnEntryStaysAliveWhileSomeoneHoldsItAfterItsReplacement) {
  CNAMapConvertType map;
  ASSERT_TRUE(map.Add(NA_IT_TEXTE, L"VARCHAR(%d)", 1));
  CInterfRef<CNATypeInfo> clOld(map.pclGet(NA_IT_TEXTE));
  ASSERT_TRUE(map.Add(NA_IT_TEXTE, L"TEXT", 0));
  EXPECT_EQ(clOld->nGetRefCount(), 1);
  EXPECT_STREQ(clOld->pszGetText(), L"VARCHAR(%d)");
}

TEST_F(SqlTypeMap, TypeTextsAreFilledBySubstitutionNeverAsFormats) {
  // A back end's text with other "%" sequences is written as it is: a "%s"
  // must not read a string pointer that was never passed.
  const struct {
    const wchar_t* pszText;
    const wchar_t* pszExpected;
  } cases[] = {
      {L"VARCHAR(%d)", L"VARCHAR(12)"},
      {L"A%sB%n%x", L"A%sB%n%x"},
      {L"P(%d,%d,%d)", L"P(12,0,0)"},
      {L"100%% %d", L"100% 12"},
      {L"TRAIL%", L"TRAIL%"},
      {L"", L""},
  };
  for (const auto& c : cases) {
    CNAMapConvertType map;
    ASSERT_TRUE(map.Add(NA_IT_TEXTE, c.pszText, 1));
    bool bFound;
    EXPECT_EQ(sFormat(map, Item(NA_IT_TEXTE, 13, 12), &bFound), c.pszExpected);
    EXPECT_TRUE(bFound);
  }
}

}  // namespace
