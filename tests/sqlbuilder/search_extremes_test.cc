// The types' extreme values of searches and filters: what s_SetAnyToMin and
// s_SetAnyToMax make for every type, that eCheckValue recognises each of
// them (so that a filter bound at an extreme is no bound), that ordinary
// values and NULL are not extremes, the maximal texts (the high marker of
// searches) and the blank test of SQL text.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/counted_string.h"
#include "kq230/host_services.h"
#include "kq230/vm_values.h"
#include "sqlbuilder/record_search.h"
#include "tests/values/bound_values.h"
#include "values/any.h"
#include "values/date_time_base.h"
#include "values/money.h"

namespace {

// The protected static helpers of the maximal texts, without an object.
struct Peek : CNARecherche {
  using CNARecherche::_bCutHighMarker;
  using CNARecherche::_bEndsWithZeroCharacter;
  using CNARecherche::_bIsMaximalText;
};

template <typename T>
T Area(const CAny& v) {
  T x;
  std::memcpy(&x, v.pbyGetValeur(), sizeof x);
  return x;
}

CAny Typed(unsigned short nType) {
  CAny v;
  v.__SetType(nType, 0);
  return v;
}

CAny WideText(const std::wstring& s, unsigned short nType = VX_DSTRW) {
  CAny v;
  v.__SetType(nType, 0);
  v.SetValueByte(s.data(), static_cast<unsigned int>(s.size() * sizeof(wchar_t)));
  return v;
}

CAny NarrowText(const std::string& s) {
  CAny v;
  v.__SetType(VX_DSTRA, 0);
  v.SetValueByte(s.data(), static_cast<unsigned int>(s.size()));
  return v;
}

std::wstring WideOf(const CAny& v) {
  const wchar_t* p = nullptr;
  if (v.pclGetIntern()->nGetPCWSTR(&p) != 0 || p == nullptr) return L"<none>";
  return p;
}
std::string NarrowOf(const CAny& v) {
  const char* p = nullptr;
  if (v.pclGetIntern()->nGetPCASTR(&p) != 0 || p == nullptr) return "<none>";
  return p;
}

std::wstring MoneyText(const CAny& v) {
  const CMoney m = Area<CMoney>(v);
  wchar_t sz[kMoneyDecimalTextSize];
  return pszMonetaireVersChaineC(sz, &m);
}

class SearchExtremes : public kqtest::BoundValuesTest {};

const unsigned short kTypesWithExtremes[] = {
    VX_BOOL, VX_UI1, VX_UI2, VX_UI4, VX_UIX, VX_UI8, VX_I1, VX_I2, VX_I4, VX_I8,
    VX_CY, VX_R4, VX_R8, VX_DECIMAL, VX_DATEW, VX_TIMEW, VX_DATETIME, VX_DUREE,
    VX_DATEA, VX_TIMEA,
};

TEST_F(SearchExtremes, EveryMinimumMadeIsRecognisedAsTheMinimum) {
  for (unsigned short nType : kTypesWithExtremes) {
    SCOPED_TRACE(nType);
    CAny v = Typed(nType);
    CNARecherche::s_SetAnyToMin(&v);
    EXPECT_EQ(v.nGetTypeCode(), nType);
    EXPECT_FALSE(v.bIsNull());
    EXPECT_EQ(CNARecherche::eCheckValue(&v), 1);
  }
}

TEST_F(SearchExtremes, EveryMaximumMadeIsRecognisedAsTheMaximum) {
  for (unsigned short nType : kTypesWithExtremes) {
    SCOPED_TRACE(nType);
    CAny v = Typed(nType);
    CNARecherche::s_SetAnyToMax(&v);
    EXPECT_EQ(v.nGetTypeCode(), nType);
    EXPECT_FALSE(v.bIsNull());
    EXPECT_EQ(CNARecherche::eCheckValue(&v), 2);
  }
}

TEST_F(SearchExtremes, TheNumbersTakeTheirTypesRange) {
  struct Case {
    unsigned short nType;
    long long llMin;
    unsigned long long ullMax;
  };
  const Case cases[] = {
      {VX_UI1, 0, UCHAR_MAX},        {VX_UI2, 0, USHRT_MAX},       {VX_UI4, 0, UINT_MAX},
      {VX_UIX, 0, UINT32_MAX},       {VX_UI8, 0, ULLONG_MAX},      {VX_I1, SCHAR_MIN, SCHAR_MAX},
      {VX_I2, SHRT_MIN, SHRT_MAX},   {VX_I4, INT_MIN, INT_MAX},    {VX_I8, LLONG_MIN, LLONG_MAX},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nType);
    CAny lo = Typed(c.nType), hi = Typed(c.nType);
    CNARecherche::s_SetAnyToMin(&lo);
    CNARecherche::s_SetAnyToMax(&hi);
    long long llLo = 0;
    unsigned long long ullHi = 0;
    switch (c.nType) {
      case VX_UI1: llLo = Area<unsigned char>(lo); ullHi = Area<unsigned char>(hi); break;
      case VX_UI2: llLo = Area<unsigned short>(lo); ullHi = Area<unsigned short>(hi); break;
      case VX_UI4: case VX_UIX: llLo = Area<uint32_t>(lo); ullHi = Area<uint32_t>(hi); break;
      case VX_UI8: llLo = static_cast<long long>(Area<uint64_t>(lo)); ullHi = Area<uint64_t>(hi); break;
      case VX_I1: llLo = Area<signed char>(lo); ullHi = static_cast<unsigned long long>(Area<signed char>(hi)); break;
      case VX_I2: llLo = Area<short>(lo); ullHi = static_cast<unsigned long long>(Area<short>(hi)); break;
      case VX_I4: llLo = Area<int>(lo); ullHi = static_cast<unsigned long long>(Area<int>(hi)); break;
      case VX_I8: llLo = Area<long long>(lo); ullHi = static_cast<unsigned long long>(Area<long long>(hi)); break;
    }
    EXPECT_EQ(llLo, c.llMin);
    EXPECT_EQ(ullHi, c.ullMax);
  }
  CAny r4 = Typed(VX_R4), r8 = Typed(VX_R8);
  CNARecherche::s_SetAnyToMin(&r4);
  CNARecherche::s_SetAnyToMax(&r8);
  EXPECT_EQ(Area<float>(r4), -FLT_MAX);
  EXPECT_EQ(Area<double>(r8), DBL_MAX);
  CAny b = Typed(VX_BOOL);
  CNARecherche::s_SetAnyToMax(&b);
  EXPECT_NE(Area<int>(b), 0);
  CNARecherche::s_SetAnyToMin(&b);
  EXPECT_EQ(Area<int>(b), 0);
}

// A minimum of 0 would make a filter "from the minimum" drop every
// negative amount.
TEST_F(SearchExtremes, TheMoneyMinimumIsTheMostNegativeAmount) {
  CAny lo = Typed(VX_CY), hi = Typed(VX_CY);
  CNARecherche::s_SetAnyToMin(&lo);
  CNARecherche::s_SetAnyToMax(&hi);
  EXPECT_EQ(MoneyText(lo), L"-604462909807314587.353087");
  EXPECT_EQ(MoneyText(hi), L"604462909807314587.353087");
}

TEST_F(SearchExtremes, OrdinaryMoneyAmountsAreNoExtremes) {
  for (const wchar_t* psz : {L"0", L"-1", L"-604462909807314587.353086", L"12.5"}) {
    SCOPED_TRACE(psz);
    CMoney m;
    ASSERT_NE(pstChaineVersMonetaire(&m, psz), nullptr);
    CAny v = Typed(VX_CY);
    v.pclGetIntern()->SetValue(&m);
    EXPECT_EQ(CNARecherche::eCheckValue(&v), 0);
  }
}

// The last day MariaDB holds: a maximum of 3000-12-31 would drop every
// later row from a filter "up to the maximum".
TEST_F(SearchExtremes, DateMaximaAreTheLastDayMariaDBHolds) {
  CAny dt = Typed(VX_DATETIME);
  CNARecherche::s_SetAnyToMax(&dt);
  const auto stMax = Area<CDateTimeBase>(dt);
  EXPECT_EQ(stMax.nGetAnnee(), 9999);
  EXPECT_EQ(stMax.nGetMois(), 12);
  EXPECT_EQ(stMax.nGetJour(), 31);
  EXPECT_EQ(stMax.dwGetMilli(), 86399999u);
  CNARecherche::s_SetAnyToMin(&dt);
  EXPECT_TRUE(Area<CDateTimeBase>(dt).bDateVide());
  EXPECT_EQ(Area<CDateTimeBase>(dt).dwGetMilli(), 0u);

  struct Case {
    unsigned short nType;
    const char* pszMin;
    const char* pszMax;
  };
  const Case cases[] = {
      {VX_DATEW, "", "99991231"},
      {VX_TIMEW, "0000", "235959999"},
      {VX_DATEA, "", "99991231"},
      {VX_TIMEA, "0000", "235959999"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nType);
    CAny lo = Typed(c.nType), hi = Typed(c.nType);
    CNARecherche::s_SetAnyToMin(&lo);
    CNARecherche::s_SetAnyToMax(&hi);
    if (c.nType == VX_DATEW || c.nType == VX_TIMEW) {
      EXPECT_EQ(WideOf(lo), std::wstring(c.pszMin, c.pszMin + std::strlen(c.pszMin)));
      EXPECT_EQ(WideOf(hi), std::wstring(c.pszMax, c.pszMax + std::strlen(c.pszMax)));
    } else {
      EXPECT_EQ(NarrowOf(lo), c.pszMin);
      EXPECT_EQ(NarrowOf(hi), c.pszMax);
    }
  }
}

TEST_F(SearchExtremes, DateTimesAtTheEndOfTheRangeAreMaximaAndOthersAreNot) {
  struct Case {
    const char* name;
    int y, mo, d, h, mi, s, ms;
    int eExpected;
  };
  const Case cases[] = {
      {"empty", 0, 0, 0, 0, 0, 0, 0, 1},
      {"last instant", 9999, 12, 31, 23, 59, 59, 999, 2},
      {"the server's maximum day", 9999, 12, 30, 23, 59, 59, 999, 2},
      {"an ordinary last millisecond", 9999, 12, 29, 23, 59, 59, 999, 0},
      {"the old maximum", 3000, 12, 31, 0, 0, 0, 0, 0},
      {"midnight of the last day", 9999, 12, 31, 0, 0, 0, 0, 0},
      {"first day", 1000, 1, 1, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CDateTimeBase dt;
    dt.Set(c.y, c.mo, c.d, c.h, c.mi, c.s, c.ms);
    CAny v = Typed(VX_DATETIME);
    v.pclGetIntern()->SetValue(&dt);
    EXPECT_EQ(CNARecherche::eCheckValue(&v), c.eExpected);
  }
  CAny v = Typed(VX_DATETIME);
  std::memcpy(v.pbyGetValeur() + 4, "\xFF\xFF\xFF\xFF", 4);  // milliseconds past a day
  EXPECT_EQ(CNARecherche::eCheckValue(&v), 2);
}

// A duration of 0 is an ordinary value: a filter from 0 ms must not keep
// the negative durations.
TEST_F(SearchExtremes, DurationsAreExtremesOnlyAtTheEndsOfTheirRange) {
  struct Case {
    long long ll;
    int eExpected;
  };
  const Case cases[] = {
      {LLONG_MIN, 1}, {LLONG_MAX, 2}, {0, 0}, {-1, 0}, {-86400000, 0}, {86400000, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ll);
    CAny v = Typed(VX_DUREE);
    v.pclGetIntern()->SetValue(&c.ll);
    EXPECT_EQ(CNARecherche::eCheckValue(&v), c.eExpected);
  }
}

TEST_F(SearchExtremes, OrdinaryValuesAreNoExtremes) {
  std::vector<CAny> values;
  CAny v;
  v.SetI4(0); values.push_back(v);
  v.SetI4(-2147483647); values.push_back(v);
  v.SetUI1(1); values.push_back(v);
  v.SetUI8(ULLONG_MAX - 1); values.push_back(v);
  v.SetI8(LLONG_MIN + 1); values.push_back(v);
  v.SetR8(1e308); values.push_back(v);
  v.SetR4(-1.0f); values.push_back(v);
  v.SetDATEW(L"20240229"); values.push_back(v);
  v.SetTIMEA("235959998"); values.push_back(v);
  v.SetTIMEW(L"000000000"); values.push_back(v);
  values.push_back(WideText(L"abc"));
  values.push_back(WideText(L""));
  values.push_back(NarrowText("ab\xFF"));  // a counted 8-bit text: 0xFF is a character
  for (size_t i = 0; i < values.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(CNARecherche::eCheckValue(&values[i]), 0);
  }
}

TEST_F(SearchExtremes, NullValuesAndUntypedValuesAreNoExtremes) {
  CAny v;
  EXPECT_EQ(CNARecherche::eCheckValue(&v), 0);
  EXPECT_EQ(CNARecherche::eCheckValue(nullptr), 0);
  v.SetI4(INT_MAX);
  v.SetNull(true);
  EXPECT_EQ(CNARecherche::eCheckValue(&v), 0);
  CNARecherche::s_SetAnyToMin(&v);
  EXPECT_FALSE(v.bIsNull()) << "an extreme is a value";
  EXPECT_EQ(CNARecherche::eCheckValue(&v), 1);
}

TEST_F(SearchExtremes, TypesWithoutExtremesAreLeftUnchanged) {
  CAny v = WideText(L"keep");
  CNARecherche::s_SetAnyToMin(&v);
  CNARecherche::s_SetAnyToMax(&v);
  EXPECT_EQ(v.nGetTypeCode(), VX_DSTRW);
  EXPECT_EQ(WideOf(v), L"keep");
}

TEST_F(SearchExtremes, DecimalExtremesAreTheWidestDecimals) {
  CAny lo = Typed(VX_DECIMAL), hi = Typed(VX_DECIMAL);
  CNARecherche::s_SetAnyToMin(&lo);
  CNARecherche::s_SetAnyToMax(&hi);
  int nCmp = 0;
  ASSERT_EQ(nCompare(lo, hi, &nCmp, 0), 0);
  EXPECT_LT(nCmp, 0);
  CAny one;
  one.SetI4(123);
  ASSERT_EQ(one.__nCastTo(VX_DECIMAL, nullptr, 0), 0);
  EXPECT_EQ(CNARecherche::eCheckValue(&one), 0);
}

// The high marker of searches: the last character of an upper bound that
// means "every text beginning with the rest".
TEST_F(SearchExtremes, TextsEndingWithTheHighMarkerAreMaxima) {
  CAny flagged = WideText(std::wstring(L"abc") + kHighMarkerW);
  EXPECT_EQ(CNARecherche::eCheckValue(&flagged), 2) << "the wide marker unit";
  CXYString<wchar_t> str(L"abc");
  ASSERT_EQ(str.nSetFlags(kCountedFlagHighMarker), 0);
  CAny byFlag;
  byFlag.__SetType(VX_DSTRW, 0);
  byFlag.pclGetIntern()->SetValue(&str);
  EXPECT_EQ(CNARecherche::eCheckValue(&byFlag), 2) << "the counted text's flag";

  CAny pstr;
  pstr.__SetType(VX_PSTRA, 0);
  pstr.pclGetIntern()->SetValue("ab\xFF");
  EXPECT_EQ(CNARecherche::eCheckValue(&pstr), 2);
  CAny date;
  date.SetDATEA("2023\xFF");
  EXPECT_EQ(CNARecherche::eCheckValue(&date), 2);
  CAny wideChar;
  wideChar.__SetType(VX_CARW, 0);
  const wchar_t c = kHighMarkerW;
  wideChar.pclGetIntern()->SetValue(&c);
  EXPECT_EQ(CNARecherche::eCheckValue(&wideChar), 2);
  EXPECT_TRUE(Peek::_bIsMaximalText(&flagged));
  CAny dateMax;
  dateMax.SetDATEW(L"99991231");
  EXPECT_FALSE(Peek::_bIsMaximalText(&dateMax)) << "the date maximum carries no marker";
}

TEST_F(SearchExtremes, CuttingTheMarkerLeavesThePrefix) {
  CAny wide = WideText(std::wstring(L"abc") + kHighMarkerW);
  ASSERT_TRUE(Peek::_bCutHighMarker(&wide));
  EXPECT_EQ(wide.nGetTypeCode(), VX_DSTRW);
  EXPECT_EQ(WideOf(wide), L"abc");
  EXPECT_EQ(CNARecherche::eCheckValue(&wide), 0);

  CAny pstr;
  pstr.__SetType(VX_PSTRA, 0);
  pstr.pclGetIntern()->SetValue("xy\xFF");
  ASSERT_TRUE(Peek::_bCutHighMarker(&pstr));
  EXPECT_EQ(pstr.nGetTypeCode(), VX_DSTRA);
  EXPECT_EQ(NarrowOf(pstr), "xy");

  CAny date;
  date.SetDATEA("2023\xFF");
  ASSERT_TRUE(Peek::_bCutHighMarker(&date));
  EXPECT_EQ(date.nGetTypeCode(), VX_DATEA);
  EXPECT_EQ(NarrowOf(date), "2023");

  CAny alone = WideText(std::wstring(1, kHighMarkerW));
  EXPECT_FALSE(Peek::_bCutHighMarker(&alone)) << "nothing would remain";
  EXPECT_EQ(CNARecherche::eCheckValue(&alone), 2) << "unchanged";

  std::wstring longText(40, L'q');
  CAny longer = WideText(longText + kHighMarkerW);
  ASSERT_TRUE(Peek::_bCutHighMarker(&longer));
  EXPECT_EQ(WideOf(longer), longText);
}

TEST_F(SearchExtremes, AValueEndingWithACharacterZeroIsRecognised) {
  CAny v = WideText(std::wstring(L"ab") + L'\0');
  EXPECT_TRUE(Peek::_bEndsWithZeroCharacter(&v));
  CAny w = WideText(L"ab");
  EXPECT_FALSE(Peek::_bEndsWithZeroCharacter(&w));
  CAny n;
  n.SetI4(0);
  EXPECT_FALSE(Peek::_bEndsWithZeroCharacter(&n));
}

}  // namespace
