// The stand-in server's comparison and arithmetic entries: orderings across
// types, the "Souple" and "TresSouple" text tests, logic, arithmetic with its
// result types and overflow, and the library that lacks "nModuloEx".
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/host/standin_values_fixture.h"

namespace {

using namespace kqtest_standin;

// An operand: its area, its whole type word, and what it owns.
struct Operand {
  Area area;
  unsigned short wType = 0;
  unsigned char* pBuffer = nullptr;
  IVXDecimal* pDecimal = nullptr;
};

class StandInCalc : public StandInValues {
 protected:
  void TearDown() override {
    for (Operand& o : m_operands) {
      Release(o.pBuffer);
      if (o.pDecimal) Bound().factory->DestroyDecimal(o.pDecimal);
    }
    m_operands.clear();
    StandInValues::TearDown();
  }

  template <typename T>
  Operand Num(unsigned short wType, T v) {
    Operand o;
    o.area = AreaOf(v);
    o.wType = wType;
    return o;
  }
  Operand Wide(const std::wstring& s) {
    Operand o;
    o.area = WideArea(s, &o.pBuffer);
    o.wType = VX_DSTRW;
    m_operands.push_back(o);
    return o;
  }
  Operand Narrow8(const std::string& s) {
    Operand o;
    o.pBuffer = Counted(s.data(), s.size());
    o.area = AreaOf(o.pBuffer);
    o.wType = VX_DSTRA;
    m_operands.push_back(o);
    return o;
  }
  Operand Typed(const std::wstring& text, unsigned short wType) {
    Operand o;
    EXPECT_EQ(FromText(text, wType, &o.area), 0) << std::string(text.begin(), text.end());
    o.wType = wType;
    if (wType == VX_DECIMAL) o.pDecimal = static_cast<IVXDecimal*>(Word(o.area));
    m_operands.push_back(o);
    return o;
  }

  int Test2(const char* name, const Operand& a, const Operand& b, int* pn) {
    return Bound().Calc<PFNVXTEST2>(name)(a.area.b, a.wType, b.area.b, b.wType, pn, 0, 0);
  }
  int Arith(const char* name, const Operand& a, const Operand& b, Area* pResult,
            unsigned short* pwType) {
    return Bound().Calc<PFNVXARITH2>(name)(a.area.b, a.wType & 0xFF, b.area.b, b.wType & 0xFF,
                                           pResult->b, pwType, 0, 0);
  }
  // Releases what a result area owns.
  void Dispose(Area* p, unsigned short wType) { Fin(p, wType); }

  std::vector<Operand> m_operands;
};

TEST_F(StandInCalc, ComparisonOrdersValuesAcrossTypes) {
  Operand dt = Typed(L"20240115123000000", VX_DATETIME);
  struct Case {
    const char* name;
    Operand a, b;
    int nCode, nOrder;
  } cases[] = {
      {"I4 < R8", Num<int32_t>(VX_I4, 2), Num<double>(VX_R8, 2.5), 0, -1},
      {"UI8 max > I8 -1", Num<uint64_t>(VX_UI8, ~0ull), Num<int64_t>(VX_I8, -1), 0, 1},
      {"I8 min < UI1 0", Num<int64_t>(VX_I8, std::numeric_limits<int64_t>::min()),
       Num<uint8_t>(VX_UI1, 0), 0, -1},
      {"CY 1.5 = DECIMAL 1.50", Typed(L"1.5", VX_CY), Typed(L"1.50", VX_DECIMAL), 0, 0},
      {"R8 0.1 = DECIMAL 0.1", Num<double>(VX_R8, 0.1), Typed(L"0.1", VX_DECIMAL), 0, 0},
      {"R4 0.1 = R8 0.1 as reals differ", Num<float>(VX_R4, 0.1f), Num<double>(VX_R8, 0.1), 0, 1},
      {"NaN below numbers", Num<double>(VX_R8, std::nan("")), Num<int32_t>(VX_I4, -5), 0, -1},
      {"BOOL = I4 1", Num<int32_t>(VX_BOOL, 7), Num<int32_t>(VX_I4, 1), 0, 0},
      {"DUREE vs I8 ms", Num<int64_t>(VX_DUREE, 1000), Num<int64_t>(VX_I8, 999), 0, 1},
      {"DUREE vs duration text", Num<int64_t>(VX_DUREE, 86400000), Wide(L"1000000000"), 0, 0},
      {"DUREE vs other text", Num<int64_t>(VX_DUREE, 1), Wide(L"1"), kStandInBadDuration, 0},
      {"texts by code point", Wide(L"abc"), Wide(L"abd"), 0, -1},
      {"upper case first", Wide(L"B"), Wide(L"a"), 0, -1},
      {"prefix first", Wide(L"ab"), Wide(L"abc"), 0, -1},
      {"8-bit = wide", Narrow8("\xE9t\xE9"), Wide(L"\u00E9t\u00E9"), 0, 0},
      {"text read as number", Wide(L"10"), Num<int32_t>(VX_I4, 9), 0, 1},
      {"text that is no number", Wide(L"x"), Num<int32_t>(VX_I4, 9), kStandInNotANumber, 0},
      {"date-time vs partial text", dt, Wide(L"2024"), 0, 0},
      {"date-time vs later text", dt, Wide(L"20240116"), 0, -1},
      {"date vs date-time, dates only", Typed(L"20240115", VX_DATEA), dt, 0, 0},
      {"time vs date-time, times only", Typed(L"123000000", VX_TIMEW), dt, 0, 0},
      {"date vs time", Typed(L"20240115", VX_DATEA), Typed(L"1200", VX_TIMEA),
       kStandInNotConvertible, 0},
      {"date-time vs number", dt, Num<int32_t>(VX_I4, 1), kStandInNotConvertible, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int n = 99;
    ASSERT_EQ(Test2("nComparaisonEx", c.a, c.b, &n), c.nCode);
    if (c.nCode) {
      EXPECT_EQ(n, 99) << "a failure writes nothing";
      continue;
    }
    EXPECT_EQ(n, c.nOrder);
    // The predicates agree with the ordering, both ways round.
    int e, s, i, r;
    ASSERT_EQ(Test2("nEgaliteEx", c.a, c.b, &e), 0);
    ASSERT_EQ(Test2("nSuperieurEx", c.a, c.b, &s), 0);
    ASSERT_EQ(Test2("nInferieurEx", c.a, c.b, &i), 0);
    ASSERT_EQ(Test2("nComparaisonEx", c.b, c.a, &r), 0);
    EXPECT_EQ(e, c.nOrder == 0);
    EXPECT_EQ(s, c.nOrder > 0);
    EXPECT_EQ(i, c.nOrder < 0);
    EXPECT_EQ(r, -c.nOrder);
  }
}

// Property: numbers of mixed types order as their exact decimal values.
TEST_F(StandInCalc, NumbersOfMixedTypesOrderAsTheirDecimalValues) {
  std::mt19937_64 rng(5);
  std::vector<std::pair<Operand, std::string>> items;
  for (int i = 0; i < 80; ++i) {
    int64_t small = static_cast<int64_t>(rng() % 2001) - 1000;  // many ties across types
    Operand o;
    switch (rng() % 8) {
      case 0: o = Num<int8_t>(VX_I1, static_cast<int8_t>(small % 128)); break;
      case 1: o = Num<uint16_t>(VX_UI2, static_cast<uint16_t>(small < 0 ? -small : small)); break;
      case 2: o = Num<int32_t>(VX_I4, static_cast<int32_t>(small)); break;
      case 3: o = Num<uint64_t>(VX_UI8, rng() >> (rng() % 64)); break;
      case 4: o = Num<int64_t>(VX_I8, static_cast<int64_t>(rng()) >> (rng() % 64)); break;
      case 5: o = Num<double>(VX_R8, static_cast<double>(small) / 8); break;
      case 6: {
        std::string t = std::to_string(small) + "." + std::to_string(rng() % 1000);
        o = Typed(std::wstring(t.begin(), t.end()), VX_CY);
        break;
      }
      default: {
        std::string t = std::to_string(small) + "." + std::to_string(rng() % 100000);
        o = Typed(std::wstring(t.begin(), t.end()), VX_DECIMAL);
        break;
      }
    }
    items.emplace_back(o, Narrow(Text(o.area, o.wType)));
  }
  for (const auto& a : items) {
    for (const auto& b : items) {
      int n = 99;
      ASSERT_EQ(Test2("nComparaisonEx", a.first, b.first, &n), 0);
      ASSERT_EQ(n, CompareDecimalTexts(a.second, b.second)) << a.second << " vs " << b.second;
    }
  }
}

// Reals whose decimal text has far more digits (or far more decimals) than any
// exact number still order by their value, both ways round.
TEST_F(StandInCalc, RealsFarBeyondTheExactRangeStillOrderAgainstExactNumbers) {
  struct Case {
    const char* name;
    double d;
    Operand other;
    int nExpected;  // the real against the other operand
  } cases[] = {
      {"huge real above a small integer", 1e300, Num<int32_t>(VX_I4, 5), 1},
      {"huge negative real below a decimal", -1e300, Typed(L"5", VX_DECIMAL), -1},
      {"1e100 above the largest UI8", 1e100, Num<uint64_t>(VX_UI8, UINT64_MAX), 1},
      {"tiny real below a 20-digit decimal", 1.5e-100, Typed(L"12345678901234567890", VX_DECIMAL), -1},
      {"tiny real above a negative money", 1.5e-100, Typed(L"-922337203685.5", VX_CY), 1},
      {"tiny real above -1", 1.5e-100, Num<int64_t>(VX_I8, -1), 1},
      {"1.5e-60 below the largest UI8", 1.5e-60, Num<uint64_t>(VX_UI8, UINT64_MAX), -1},
      {"-1.5e-60 above the smallest I8", -1.5e-60, Num<int64_t>(VX_I8, INT64_MIN), 1},
      {"-1.5e-60 above the largest negative decimal", -1.5e-60, Typed(L"-0.00000000000000000000000000000000000001", VX_DECIMAL), 1},
      {"tiny negative real below 0", -1e-200, Num<int32_t>(VX_I4, 0), -1},
      {"tiny positive real above 0", 1e-200, Num<int32_t>(VX_I4, 0), 1},
      {"tiny positive real below the smallest decimal", 1e-200, Typed(L"0.00000000000000000000000000000000000001", VX_DECIMAL), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Operand real = Num<double>(VX_R8, c.d);
    int n = 99;
    ASSERT_EQ(Test2("nComparaisonEx", real, c.other, &n), 0);
    EXPECT_EQ(n, c.nExpected);
    ASSERT_EQ(Test2("nComparaisonEx", c.other, real, &n), 0);
    EXPECT_EQ(n, -c.nExpected);
  }
}

// A number text with 152 decimals against an integer: bringing both to one
// scale would need far more than 256 bits, yet the order is the values'.
TEST_F(StandInCalc, NumbersOfFarApartScalesOrderByValue) {
  const std::wstring tiny = L"0." + std::wstring(76, L'0') + std::wstring(76, L'9');
  // 10^58 times this integer just passes 2^256.
  Operand big = Num<uint64_t>(VX_UI8, 11579208923731619543ull);
  int n = 99;
  ASSERT_EQ(Test2("nComparaisonEx", Wide(tiny), big, &n), 0);
  EXPECT_EQ(n, -1);
  ASSERT_EQ(Test2("nComparaisonEx", big, Wide(tiny), &n), 0);
  EXPECT_EQ(n, 1);
}

TEST_F(StandInCalc, NullOperandsAnswer103AndWriteNothing) {
  Operand a = Num<int32_t>(VX_I4, 1), b = Num<int32_t>(VX_I4, 1);
  Operand nullA = a, nullB = b;
  nullA.wType |= kVXNullFlag;
  nullB.wType |= kVXNullFlag;
  // Entries 7 to 23 are the two-operand tests.
  for (int i = 6; i < 23; ++i) {
    const char* name = kCalcNames[i];
    SCOPED_TRACE(name);
    int n = 42;
    EXPECT_EQ(Test2(name, nullA, b, &n), kStandInNullOperand);
    EXPECT_EQ(Test2(name, a, nullB, &n), kStandInNullOperand);
    EXPECT_EQ(n, 42);
  }
  int n = 42;
  EXPECT_EQ(Bound().Calc<PFNVXTEST1>("nNONLogiqueEx")(nullA.area.b, nullA.wType, &n, 0, 0),
            kStandInNullOperand);
  EXPECT_EQ(n, 42);
}

TEST_F(StandInCalc, SoupleIgnoresCaseAndAccentsAndTresSoupleAlsoBlanksAndPunctuation) {
  struct Case {
    const char* name;
    const wchar_t* a;
    const wchar_t* b;
    int expected;
  } cases[] = {
      {"nEgaliteEx", L"\u00C9lan", L"elan", 0},
      {"nSoupleEgalEx", L"\u00C9lan", L"elan", 1},
      {"nSoupleEgalEx", L"\u00C9lan", L"e lan", 0},
      {"nPresqueEgalEx", L"ABC", L"abc", 1},
      {"nPresqueEgalEx", L"\u00C9", L"e", 0},
      {"nCommenceParEx", L"Dupont", L"Dup", 1},
      {"nCommenceParEx", L"Dupont", L"dup", 0},
      {"nCommenceParSoupleEx", L"D\u00FCpont", L"DUP", 1},
      {"nCommenceParTresSoupleEx", L"J.-P. Dupont", L"jp d", 1},
      {"nCommenceParSoupleEx", L"J.-P. Dupont", L"jp d", 0},
      {"nContientEx", L"Jean-Pierre", L"Pierre", 1},
      {"nContientEx", L"Jean-Pierre", L"pierre", 0},
      {"nContientSoupleEx", L"Jean-Pierre", L"PI\u00C8RRE", 1},
      {"nContientSoupleEx", L"Jean-Pierre Dupont", L"pierredupont", 0},
      {"nContientTresSoupleEx", L"Jean-Pierre Dupont", L"pierredupont", 1},
      {"nTermineParEx", L"fa\u00E7ade", L"\u00E7ade", 1},
      {"nTermineParSoupleEx", L"fa\u00E7ade", L"CADE", 1},
      {"nTermineParTresSoupleEx", L"fin !", L"FIN", 1},
      {"nTermineParEx", L"abc", L"abcd", 0},
      {"nContientEx", L"abc", L"", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + ": " + Narrow(c.a) + " / " + Narrow(c.b));
    int n = -1;
    ASSERT_EQ(Test2(c.name, Wide(c.a), Wide(c.b), &n), 0);
    EXPECT_EQ(n, c.expected);
  }
}

TEST_F(StandInCalc, TextTestsWorkOnTheTextFormOfAnyValue) {
  int n = -1;
  ASSERT_EQ(Test2("nCommenceParEx", Num<int32_t>(VX_I4, 12345), Wide(L"123"), &n), 0);
  EXPECT_EQ(n, 1);
  ASSERT_EQ(Test2("nContientEx", Typed(L"20240115", VX_DATEW), Wide(L"0115"), &n), 0);
  EXPECT_EQ(n, 1);
}

TEST_F(StandInCalc, NumbersAreAlmostEqualWithinARelativeBillionth) {
  int n = -1;
  ASSERT_EQ(Test2("nPresqueEgalEx", Num<double>(VX_R8, 1.0), Num<double>(VX_R8, 1.0 + 1e-12), &n),
            0);
  EXPECT_EQ(n, 1);
  ASSERT_EQ(Test2("nPresqueEgalEx", Num<double>(VX_R8, 1.0), Num<double>(VX_R8, 1.0001), &n), 0);
  EXPECT_EQ(n, 0);
}

TEST_F(StandInCalc, LogicalEntriesTakeBooleansAndNumbers) {
  struct Case {
    const char* name;
    Operand a, b;
    int nCode, expected;
  } cases[] = {
      {"nETLogiqueEx", Num<int32_t>(VX_BOOL, 1), Num<int32_t>(VX_BOOL, 1), 0, 1},
      {"nETLogiqueEx", Num<int32_t>(VX_BOOL, 1), Num<double>(VX_R8, 0.0), 0, 0},
      {"nOULogiqueEx", Num<int32_t>(VX_BOOL, 0), Num<int8_t>(VX_I1, -1), 0, 1},
      {"nOULogiqueEx", Num<int32_t>(VX_BOOL, 0), Typed(L"0", VX_CY), 0, 0},
      {"nETLogiqueEx", Num<int32_t>(VX_BOOL, 1), Wide(L"1"), kStandInNotConvertible, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int n = -1;
    ASSERT_EQ(Test2(c.name, c.a, c.b, &n), c.nCode);
    if (c.nCode == 0) {
      EXPECT_EQ(n, c.expected);
    }
  }
  auto Not = Bound().Calc<PFNVXTEST1>("nNONLogiqueEx");
  int n = -1;
  Operand t = Num<int32_t>(VX_BOOL, 1), z = Num<uint64_t>(VX_UI8, 0);
  ASSERT_EQ(Not(t.area.b, t.wType, &n, 0, 0), 0);
  EXPECT_EQ(n, 0);
  ASSERT_EQ(Not(z.area.b, z.wType, &n, 0, 0), 0);
  EXPECT_EQ(n, 1);
}

TEST_F(StandInCalc, ArithmeticTypesItsResultsAndDetectsOverflow) {
  struct Case {
    const char* name;
    const char* entry;
    Operand a, b;
    int nCode;
    unsigned short wType;
    const wchar_t* text;
  } cases[] = {
      {"UI1 + UI1", "nAdditionEx", Num<uint8_t>(VX_UI1, 200), Num<uint8_t>(VX_UI1, 100), 0,
       VX_UI4, L"300"},
      {"I4 max + 1", "nAdditionEx", Num<int32_t>(VX_I4, 2147483647), Num<int32_t>(VX_I4, 1),
       kStandInOverflow, 0, nullptr},
      {"I2 + UI4", "nAdditionEx", Num<int16_t>(VX_I2, -5), Num<uint32_t>(VX_UI4, 3), 0, VX_I4,
       L"-2"},
      {"UI8 + I1", "nAdditionEx", Num<uint64_t>(VX_UI8, 10), Num<int8_t>(VX_I1, -20), 0, VX_I8,
       L"-10"},
      {"UI4 - UI4 below zero", "nSoustractionEx", Num<uint32_t>(VX_UI4, 1),
       Num<uint32_t>(VX_UI4, 2), kStandInOverflow, 0, nullptr},
      {"UI8 max + 1", "nAdditionEx", Num<uint64_t>(VX_UI8, ~0ull), Num<uint8_t>(VX_UI1, 1),
       kStandInOverflow, 0, nullptr},
      {"I8 * I8 overflow", "nMultiplicationEx", Num<int64_t>(VX_I8, 1LL << 32),
       Num<int64_t>(VX_I8, 1LL << 31), kStandInOverflow, 0, nullptr},
      {"I4 / I4 is real", "nDivisionEx", Num<int32_t>(VX_I4, 7), Num<int32_t>(VX_I4, 2), 0,
       VX_R8, L"3.5"},
      {"I4 / 0", "nDivisionEx", Num<int32_t>(VX_I4, 7), Num<int32_t>(VX_I4, 0),
       kStandInDivisionByZero, 0, nullptr},
      {"I4 % -2", "nModuloEx", Num<int32_t>(VX_I4, 7), Num<int32_t>(VX_I4, -2), 0, VX_I4, L"1"},
      {"-7 % 2", "nModuloEx", Num<int32_t>(VX_I4, -7), Num<int32_t>(VX_I4, 2), 0, VX_I4, L"-1"},
      {"I4 % 0", "nModuloEx", Num<int32_t>(VX_I4, 7), Num<int32_t>(VX_I4, 0),
       kStandInDivisionByZero, 0, nullptr},
      {"R8 * I4", "nMultiplicationEx", Num<double>(VX_R8, 0.5), Num<int32_t>(VX_I4, 3), 0,
       VX_R8, L"1.5"},
      {"R4 fmod", "nModuloEx", Num<float>(VX_R4, 5.5f), Num<int32_t>(VX_I4, 2), 0, VX_R8,
       L"1.5"},
      {"CY 0.1 + CY 0.2", "nAdditionEx", Typed(L"0.1", VX_CY), Typed(L"0.2", VX_CY), 0, VX_CY,
       L"0.3"},
      {"CY max + 0.000001", "nAdditionEx", Typed(L"604462909807314587.353087", VX_CY),
       Typed(L"0.000001", VX_CY), kStandInOverflow, 0, nullptr},
      {"CY min - 0.000001", "nSoustractionEx", Typed(L"-604462909807314587.353088", VX_CY),
       Typed(L"0.000001", VX_CY), kStandInOverflow, 0, nullptr},
      {"CY above 2^63 millionths + 1", "nAdditionEx", Typed(L"9999999999999.999999", VX_CY),
       Num<int32_t>(VX_I4, 1), 0, VX_CY, L"10000000000000.999999"},
      {"CY / 3 rounds", "nDivisionEx", Typed(L"1", VX_CY), Num<int32_t>(VX_I4, 3), 0, VX_CY,
       L"0.333333"},
      {"CY * R8", "nMultiplicationEx", Typed(L"2.5", VX_CY), Num<double>(VX_R8, 0.1), 0, VX_CY,
       L"0.25"},
      {"DECIMAL / 3", "nDivisionEx", Typed(L"1", VX_DECIMAL), Num<int32_t>(VX_I4, 3), 0,
       VX_DECIMAL, L"0.3333333333333333333333333333333333333"},
      {"DECIMAL + CY", "nAdditionEx", Typed(L"1.25", VX_DECIMAL), Typed(L"0.005", VX_CY), 0,
       VX_DECIMAL, L"1.255000"},
      {"DECIMAL % DECIMAL", "nModuloEx", Typed(L"-7.5", VX_DECIMAL), Typed(L"2", VX_DECIMAL), 0,
       VX_DECIMAL, L"-1.5"},
      {"text + text", "nAdditionEx", Wide(L"ab"), Narrow8("cd"), 0, VX_DSTRW, L"abcd"},
      {"text * number", "nMultiplicationEx", Wide(L"1.5"), Num<int32_t>(VX_I4, 2), 0, VX_DECIMAL,
       L"3.0"},
      {"text * no number", "nMultiplicationEx", Wide(L"x"), Num<int32_t>(VX_I4, 2),
       kStandInNotANumber, 0, nullptr},
      {"DUREE + DUREE", "nAdditionEx", Num<int64_t>(VX_DUREE, 1500), Num<int64_t>(VX_DUREE, 500),
       0, VX_DUREE, L"0000002000"},
      {"DUREE / DUREE", "nDivisionEx", Num<int64_t>(VX_DUREE, 3000),
       Num<int64_t>(VX_DUREE, 2000), 0, VX_R8, L"1.5"},
      {"DUREE * 1.5", "nMultiplicationEx", Num<int64_t>(VX_DUREE, 1001), Num<double>(VX_R8, 1.5),
       0, VX_DUREE, L"0000001502"},
      {"DATETIME + DUREE past month end", "nAdditionEx",
       Typed(L"20240131230000000", VX_DATETIME), Num<int64_t>(VX_DUREE, 2 * 3600000LL), 0,
       VX_DATETIME, L"20240201010000000"},
      {"DATETIME - DUREE over 29 February", "nSoustractionEx",
       Typed(L"20240301000000000", VX_DATETIME), Num<int64_t>(VX_DUREE, 1), 0, VX_DATETIME,
       L"20240229235959999"},
      {"DATETIME - DATETIME", "nSoustractionEx", Typed(L"20240301000000000", VX_DATETIME),
       Typed(L"20240228000000000", VX_DATETIME), 0, VX_DUREE, L"2000000000"},
      {"DATETIME past year 9999", "nAdditionEx", Typed(L"99991231235959999", VX_DATETIME),
       Num<int64_t>(VX_DUREE, 1), kStandInOverflow, 0, nullptr},
      {"DATETIME * 2", "nMultiplicationEx", Typed(L"20240301000000000", VX_DATETIME),
       Num<int32_t>(VX_I4, 2), kStandInNotConvertible, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Area result;
    std::memset(result.b, 0x77, sizeof result.b);
    Area before = result;
    unsigned short wType = 0xEEEE;
    ASSERT_EQ(Arith(c.entry, c.a, c.b, &result, &wType), c.nCode);
    if (c.nCode) {
      EXPECT_EQ(wType, 0xEEEE);
      EXPECT_EQ(std::memcmp(result.b, before.b, sizeof result.b), 0) << "a failure writes nothing";
      continue;
    }
    EXPECT_EQ(wType, c.wType);
    EXPECT_EQ(Text(result, wType), c.text);
    Dispose(&result, wType);
  }
}

// Reference model: 64-bit integer addition of counts of millionths whose sum
// cannot overflow 64 bits, formatted as money text.
TEST_F(StandInCalc, MoneyAdditionIsExactForRandomValues) {
  std::mt19937_64 rng(7);
  auto MoneyText = [](int64_t n) {
    uint64_t m = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
    std::string s = std::to_string(m / 1000000);
    std::string frac = std::to_string(m % 1000000);
    frac.insert(0, 6 - frac.size(), '0');
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
    if (!frac.empty()) s += "." + frac;
    if (n < 0) s.insert(0, "-");
    return std::wstring(s.begin(), s.end());
  };
  for (int i = 0; i < 200; ++i) {
    int64_t x = static_cast<int64_t>(rng()) >> 2, y = static_cast<int64_t>(rng()) >> 2;
    Operand a = Typed(MoneyText(x), VX_CY), b = Typed(MoneyText(y), VX_CY);
    Area result;
    unsigned short wType = 0;
    ASSERT_EQ(Arith("nAdditionEx", a, b, &result, &wType), 0);
    ASSERT_EQ(wType, VX_CY);
    ASSERT_EQ(Text(result, VX_CY), MoneyText(x + y)) << x << " + " << y;
  }
}

// Reference model: std::chrono's civil calendar (Gregorian, which the
// stand-in's calendar is from 1583 on).
TEST_F(StandInCalc, DateTimePlusDurationMatchesTheCivilCalendar) {
  using namespace std::chrono;
  std::mt19937_64 rng(11);
  auto Text17 = [](const year_month_day& d, int64_t ms) {
    char sz[32];
    std::snprintf(sz, sizeof sz, "%04d%02u%02u%02d%02d%02d%03d", static_cast<int>(d.year()),
                  static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day()),
                  static_cast<int>(ms / 3600000), static_cast<int>(ms / 60000 % 60),
                  static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
    return std::wstring(sz, sz + 17);
  };
  for (int i = 0; i < 200; ++i) {
    sys_days start = sys_days{year{1600} / 1 / 1} + days{static_cast<int>(rng() % 2500000)};
    int64_t nStartMs = static_cast<int64_t>(rng() % 86400000);
    int64_t nStep = static_cast<int64_t>(rng() % 200000000000ull) - 100000000000LL;
    Operand a = Typed(Text17(year_month_day{start}, nStartMs), VX_DATETIME);
    Operand d = Num<int64_t>(VX_DUREE, nStep);
    int64_t nTotal = nStartMs + nStep;
    int64_t nDays = nTotal >= 0 ? nTotal / 86400000 : -((-nTotal + 86399999) / 86400000);
    sys_days end = start + days{static_cast<int>(nDays)};
    Area result;
    unsigned short wType = 0;
    ASSERT_EQ(Arith("nAdditionEx", a, d, &result, &wType), 0);
    ASSERT_EQ(wType, VX_DATETIME);
    EXPECT_EQ(Text(result, VX_DATETIME), Text17(year_month_day{end}, nTotal - nDays * 86400000));
    // And the difference gives the step back.
    Operand b;
    b.area = result;
    b.wType = VX_DATETIME;
    Area diff;
    ASSERT_EQ(Arith("nSoustractionEx", b, a, &diff, &wType), 0);
    ASSERT_EQ(wType, VX_DUREE);
    EXPECT_EQ(Get<int64_t>(diff), nStep);
  }
}

TEST_F(StandInCalc, ResultTypeQueriesAgreeWithTheArithmetic) {
  struct Op {
    const char* query;
    const char* entry;
  } ops[] = {{"wAjouteEx", "nAdditionEx"},
             {"wSoustraitEx", "nSoustractionEx"},
             {"wMultiplieEx", "nMultiplicationEx"},
             {"wDiviseEx", "nDivisionEx"},
             {"wModuloEx", "nModuloEx"}};
  const unsigned short types[] = {VX_BOOL, VX_UI1, VX_UI2, VX_UI4, VX_UI8, VX_I1,  VX_I2,
                                  VX_I4,   VX_I8,  VX_UIX, VX_R4,  VX_R8,  VX_DUREE};
  for (const Op& op : ops) {
    for (unsigned short ta : types) {
      for (unsigned short tb : types) {
        SCOPED_TRACE(std::string(op.entry) + " " + std::to_string(ta) + ", " + std::to_string(tb));
        // The value 1 in every numeric layout.
        Operand a, b;
        a.wType = ta;
        b.wType = tb;
        if (ta == VX_R4) a.area = AreaOf<float>(1);
        else if (ta == VX_R8) a.area = AreaOf<double>(1);
        else a.area = AreaOf<uint64_t>(1);
        if (tb == VX_R4) b.area = AreaOf<float>(1);
        else if (tb == VX_R8) b.area = AreaOf<double>(1);
        else b.area = AreaOf<uint64_t>(1);
        unsigned short wQuery = Bound().Calc<PFNVXRESULTTYPE>(op.query)(ta, tb, 0);
        Area result;
        unsigned short wType = 0;
        int r = Arith(op.entry, a, b, &result, &wType);
        if (wQuery == 0) {
          EXPECT_EQ(r, kStandInNotConvertible);
        } else if (r == 0) {
          EXPECT_EQ(wType, wQuery);
        } else {
          // Subtraction of unsigned values may leave their type.
          EXPECT_EQ(r, kStandInOverflow);
        }
      }
    }
  }
}

TEST_F(StandInCalc, CanCompareAgreesWithTheComparison) {
  std::vector<Operand> samples = {Num<int32_t>(VX_I4, 1),       Num<double>(VX_R8, 1),
                                  Num<int32_t>(VX_BOOL, 1),     Typed(L"1", VX_CY),
                                  Typed(L"1", VX_DECIMAL),      Num<int64_t>(VX_DUREE, 1),
                                  Wide(L"1"),                   Narrow8("1"),
                                  Typed(L"20240101", VX_DATEW), Typed(L"120000", VX_TIMEA),
                                  Typed(L"20240101", VX_DATETIME)};
  for (const Operand& a : samples) {
    for (const Operand& b : samples) {
      SCOPED_TRACE(std::to_string(a.wType) + " vs " + std::to_string(b.wType));
      int n;
      int r = Test2("nComparaisonEx", a, b, &n);
      int bCan = Bound().Calc<PFNVXCANCOMPARE>("bCanCompareEx")(a.wType, b.wType, 0);
      EXPECT_EQ(bCan != 0, r != kStandInNotConvertible) << "result " << r;
    }
  }
}

// Every entry on every pair of well-formed operands either succeeds, and
// what the result owns is given back, or fails without writing.
TEST_F(StandInCalc, EveryEntrySucceedsOrFailsCleanlyOnEveryPairOfTypes) {
  unsigned char* pBin = Counted("\x01\x02", 2);
  Operand bin;
  bin.area = AreaOf(pBin);
  bin.wType = VX_BIN;
  std::vector<Operand> samples = {
      Num<int32_t>(VX_BOOL, 1),        Num<uint8_t>(VX_UI1, 3),
      Num<int64_t>(VX_I8, -4),         Num<uint64_t>(VX_UI8, ~0ull),
      Num<float>(VX_R4, 0.5f),         Num<double>(VX_R8, -2),
      Typed(L"1.25", VX_CY),           Typed(L"-3.5", VX_DECIMAL),
      Typed(L"0", VX_DECIMAL),         Num<int64_t>(VX_DUREE, 1000),
      Wide(L"7"),                      Wide(L"word"),
      Narrow8("8"),                    Typed(L"20240229", VX_DATEW),
      Typed(L"1200", VX_TIMEA),        Typed(L"20240229120000000", VX_DATETIME),
      bin,                             Num<uint64_t>(VX_POINT, 0),
      Num<uint64_t>(VX_OBJET_BASE, 0), Num<uint64_t>(VX_NONE, 0)};
  for (int i = 6; i < 23; ++i) {
    for (const Operand& a : samples) {
      for (const Operand& b : samples) {
        int n = 1234;
        int r = Test2(kCalcNames[i], a, b, &n);
        if (r > kVXLastSuccess) {
          EXPECT_EQ(n, 1234) << kCalcNames[i] << " " << a.wType << ", " << b.wType;
        } else {
          EXPECT_NE(n, 1234) << kCalcNames[i] << " " << a.wType << ", " << b.wType;
        }
      }
    }
  }
  for (int i = 25; i < 30; ++i) {
    for (const Operand& a : samples) {
      for (const Operand& b : samples) {
        Area result;
        std::memset(result.b, 0x3C, sizeof result.b);
        Area before = result;
        unsigned short wType = 0xEEEE;
        int r = Arith(kCalcNames[i], a, b, &result, &wType);
        if (r > kVXLastSuccess) {
          EXPECT_EQ(wType, 0xEEEE);
          EXPECT_EQ(std::memcmp(result.b, before.b, sizeof result.b), 0)
              << kCalcNames[i] << " " << a.wType << ", " << b.wType;
        } else {
          Dispose(&result, wType);
        }
      }
    }
  }
  Release(pBin);
}

TEST_F(StandInCalc, NegationKeepsSignedTypesAndWidensUnsignedOnes) {
  auto Neg = Bound().Calc<PFNVXARITH1>("nNegationEx");
  struct Case {
    const char* name;
    Operand a;
    int nCode;
    unsigned short wType;
    const wchar_t* text;
  } cases[] = {
      {"I4", Num<int32_t>(VX_I4, 5), 0, VX_I4, L"-5"},
      {"I4 min", Num<int32_t>(VX_I4, std::numeric_limits<int32_t>::min()), kStandInOverflow, 0,
       nullptr},
      {"UI4", Num<uint32_t>(VX_UI4, 4000000000u), 0, VX_I8, L"-4000000000"},
      {"UI8 2^63", Num<uint64_t>(VX_UI8, 1ull << 63), 0, VX_I8, L"-9223372036854775808"},
      {"UI8 over I8", Num<uint64_t>(VX_UI8, (1ull << 63) + 1), kStandInOverflow, 0, nullptr},
      {"BOOL", Num<int32_t>(VX_BOOL, 1), 0, VX_I4, L"-1"},
      {"R8", Num<double>(VX_R8, 2.5), 0, VX_R8, L"-2.5"},
      {"CY min", Typed(L"-604462909807314587.353088", VX_CY), kStandInOverflow, 0, nullptr},
      {"DUREE", Num<int64_t>(VX_DUREE, 1), 0, VX_DUREE, L"-0000000001"},
      {"text", Wide(L"1"), kStandInNotConvertible, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Area result;
    unsigned short wType = 0;
    ASSERT_EQ(Neg(c.a.area.b, c.a.wType, result.b, &wType, 0, 0), c.nCode);
    if (c.nCode) continue;
    EXPECT_EQ(wType, c.wType);
    EXPECT_EQ(Text(result, wType), c.text);
  }
}

TEST_F(StandInCalc, NegatingADecimalReusesTheObjectAlreadyInTheResult) {
  auto Neg = Bound().Calc<PFNVXARITH1>("nNegationEx");
  Operand a = Typed(L"12.5", VX_DECIMAL);
  IVXDecimal* pResultObject = Bound().factory->pCreateDecimal(0);
  Area result = AreaOf(pResultObject);
  unsigned short wType = 0;
  ASSERT_EQ(Neg(a.area.b, VX_DECIMAL, result.b, &wType, 0, 0), 0);
  EXPECT_EQ(Word(result), pResultObject);
  EXPECT_EQ(Control().nLiveDecimals(), 2);
  EXPECT_EQ(Text(result, VX_DECIMAL), L"-12.5");
  EXPECT_EQ(pResultObject->bIsNegative(), 1);
  Bound().factory->DestroyDecimal(pResultObject);
}

TEST_F(StandInCalc, AForcedCalculationResultAppliesToTheNextCallOnly) {
  Operand a = Num<int32_t>(VX_I4, 1), b = Num<int32_t>(VX_I4, 2);
  int n = 55;
  Control().ForceNextCalcResult(120);
  // A type query answers a type, so it leaves the forced code in place.
  EXPECT_EQ(Bound().Calc<PFNVXRESULTTYPE>("wAjouteEx")(VX_I4, VX_I4, 0), VX_I4);
  EXPECT_EQ(Test2("nEgaliteEx", a, b, &n), 120);
  EXPECT_EQ(n, 55);
  EXPECT_EQ(Test2("nEgaliteEx", a, b, &n), 0);
  EXPECT_EQ(n, 0);
  Area result;
  unsigned short wType = 0;
  Control().ForceNextCalcResult(3);
  EXPECT_EQ(Arith("nAdditionEx", a, b, &result, &wType), 3);
  EXPECT_EQ(wType, VX_I4);
  EXPECT_EQ(Get<int32_t>(result), 3);
  EXPECT_EQ(Control().nCalcCalls(), 4);
}

// The partial library, loaded once for the process: a dlopen and dlclose on
// every run would leave the loader's own bookkeeping behind. Loaded before
// main, so that it counts in the start of the program's leak balance.
struct PartialLibrary {
  void* h = nullptr;
  std::string strLoadError;
};
const PartialLibrary& Partial() {
  static const PartialLibrary library = [] {
    PartialLibrary l;
    l.h = dlopen(KQ_STANDIN_PARTIAL_VM_PATH, RTLD_NOW | RTLD_LOCAL);
    if (l.h == nullptr) {
      const char* pszError = dlerror();
      l.strLoadError = pszError ? pszError : "unknown error";
    }
    return l;
  }();
  return library;
}
[[maybe_unused]] const bool gbPartialLoadedBeforeMain = (Partial(), true);

TEST(StandInPartialLibrary, ExportsTheFirst29CalculationEntriesOnly) {
  void* const h = Partial().h;
  ASSERT_NE(h, nullptr) << Partial().strLoadError;
  for (int i = 0; i < 30; ++i) {
    SCOPED_TRACE(kCalcNames[i]);
    EXPECT_EQ(dlsym(h, kCalcNames[i]) != nullptr, i < 29);
  }
  for (const char* name : {"nConversionDepassementExt", "FinConversion", "pQueryProxy"})
    EXPECT_EQ(dlsym(h, name), nullptr) << name;
}

}  // namespace
