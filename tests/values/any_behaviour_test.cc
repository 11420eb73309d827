// The per-type behaviour classes: steps, sizes and fills, the SetValue
// overrides, code-page and UTF-16 setters and object references.
#include "values/any_behaviour.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "tests/values/any_test_support.h"
#include "values/money.h"

namespace kqtest {
namespace {

// --- Steps ----------------------------------------------------------------------

// The ten bytes of the 80-bit count of millionths r.
CMoney Money(long long r) {
  CMoney m;
  const unsigned long long u = static_cast<unsigned long long>(r);
  for (int i = 0; i < 4; ++i) m.w[i] = static_cast<unsigned short>(u >> (16 * i));
  m.w[4] = r < 0 ? 0xFFFF : 0;
  return m;
}

struct StepCase {
  const char* pszName;
  unsigned short wType;
  std::string start;  // the area's bytes before the step
  bool bUp;
  std::string expected;
  int nResult;
};

template <typename T>
std::string Bytes(T v) {
  return std::string(reinterpret_cast<const char*>(&v), sizeof v);
}

TEST_F(BehaviourClass, StepsWrapAndReportLeavingTheRange) {
  const unsigned long long kU8Max = ~0ULL;
  const unsigned long long kTop = 1ULL << 63;
  CMoney mMax, mMin;
  SetMonetaireToMax(&mMax);
  SetMonetaireToMin(&mMin);
  CMoney mMaxWrapped = mMax, mMinWrapped = mMin;
  pstAddMonetaire(&mMaxWrapped, &gstMillion);
  pstAddMonetaire(&mMinWrapped, &gstMoinsMillion);
  const StepCase cases[] = {
      {"UI1 255 up", VX_UI1, Bytes<uint8_t>(255), true, Bytes<uint8_t>(0), 1},
      {"UI1 0 down", VX_UI1, Bytes<uint8_t>(0), false, Bytes<uint8_t>(255), 1},
      {"UI1 5 up", VX_UI1, Bytes<uint8_t>(5), true, Bytes<uint8_t>(6), 0},
      {"UI2 65535 up", VX_UI2, Bytes<uint16_t>(65535), true, Bytes<uint16_t>(0), 1},
      {"UI2 0 down", VX_UI2, Bytes<uint16_t>(0), false, Bytes<uint16_t>(65535), 1},
      {"UI4 max up", VX_UI4, Bytes<uint32_t>(~0u), true, Bytes<uint32_t>(0), 1},
      {"UI4 0 down", VX_UI4, Bytes<uint32_t>(0), false, Bytes<uint32_t>(~0u), 1},
      {"UI4 7 down", VX_UI4, Bytes<uint32_t>(7), false, Bytes<uint32_t>(6), 0},
      {"UI8 max up wraps", VX_UI8, Bytes(kU8Max), true, Bytes<uint64_t>(0), 1},
      {"UI8 2^63-1 up", VX_UI8, Bytes(kTop - 1), true, Bytes(kTop), 0},
      {"UI8 2^63 up", VX_UI8, Bytes(kTop), true, Bytes(kTop + 1), 0},
      {"UI8 0 down wraps", VX_UI8, Bytes<uint64_t>(0), false, Bytes(kU8Max), 1},
      {"UI8 2^63 down", VX_UI8, Bytes(kTop), false, Bytes(kTop - 1), 0},
      {"I1 127 up", VX_I1, Bytes<int8_t>(127), true, Bytes<int8_t>(-128), 1},
      {"I1 -128 down", VX_I1, Bytes<int8_t>(-128), false, Bytes<int8_t>(127), 1},
      {"I1 -1 up", VX_I1, Bytes<int8_t>(-1), true, Bytes<int8_t>(0), 0},
      {"I2 max up", VX_I2, Bytes<int16_t>(32767), true, Bytes<int16_t>(-32768), 1},
      {"I2 min down", VX_I2, Bytes<int16_t>(-32768), false, Bytes<int16_t>(32767), 1},
      {"I4 max up", VX_I4, Bytes<int32_t>(INT32_MAX), true, Bytes<int32_t>(INT32_MIN), 1},
      {"I4 min down", VX_I4, Bytes<int32_t>(INT32_MIN), false, Bytes<int32_t>(INT32_MAX), 1},
      {"I4 0 down", VX_I4, Bytes<int32_t>(0), false, Bytes<int32_t>(-1), 0},
      {"UIX max up", VX_UIX, Bytes<int32_t>(INT32_MAX), true, Bytes<int32_t>(INT32_MIN), 1},
      {"UIX -1 up", VX_UIX, Bytes<int32_t>(-1), true, Bytes<int32_t>(0), 0},
      {"I8 max up wraps silently", VX_I8, Bytes<int64_t>(INT64_MAX), true, Bytes<int64_t>(INT64_MIN), 0},
      {"I8 min down wraps silently", VX_I8, Bytes<int64_t>(INT64_MIN), false, Bytes<int64_t>(INT64_MAX), 0},
      {"R8 up", VX_R8, Bytes(1.5), true, Bytes(2.5), 0},
      {"R8 max up", VX_R8, Bytes(DBL_MAX), true, Bytes(DBL_MAX), 0},
      {"R4 down", VX_R4, Bytes(0.5f), false, Bytes(-0.5f), 0},
      {"R4 lowest down stays finite", VX_R4, Bytes(-FLT_MAX), false, Bytes(-FLT_MAX), 0},
      {"R4 infinity up", VX_R4, Bytes(INFINITY), true, Bytes(INFINITY), 1},
      {"CY 0 up", VX_CY, Bytes(Money(0)), true, Bytes(Money(1000000)), 0},
      {"CY keeps every millionth above 9e9 units", VX_CY, Bytes(Money(9000000001000001LL)), true,
       Bytes(Money(9000000002000001LL)), 0},
      {"CY near 2^62 millionths down", VX_CY, Bytes(Money(4611686018427387903LL)), false,
       Bytes(Money(4611686018426387903LL)), 0},
      {"CY max up overflows", VX_CY, Bytes(mMax), true, Bytes(mMaxWrapped), 1},
      {"CY min down overflows", VX_CY, Bytes(mMin), false, Bytes(mMinWrapped), 1},
  };
  for (const StepCase& c : cases) {
    SCOPED_TRACE(c.pszName);
    CAny v;
    v.__SetType(c.wType, 0);
    std::memcpy(v.pbyGetValeur(), c.start.data(), c.start.size());
    const int nResult = c.bUp ? v.pclGetIntern()->nIncremente() : v.pclGetIntern()->nDecremente();
    EXPECT_EQ(nResult, c.nResult);
    EXPECT_EQ(AreaBytes(v, c.expected.size()), c.expected);
  }
}

TEST_F(BehaviourClass, R4StepOnNotANumberReportsIt) {
  CAny v;
  v.SetR4(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(v.pclGetIntern()->nIncremente(), 1);
}

TEST_F(BehaviourClass, TypesWithoutStepsAnswer105) {
  for (unsigned short wType : {VX_NONE, VX_BOOL, VX_DECIMAL, VX_DSTRW, VX_DATETIME, VX_CARA}) {
    SCOPED_TRACE(wType);
    CAny v;
    v.__SetType(wType, 0);
    EXPECT_EQ(v.pclGetIntern()->nIncremente(), 105);
    EXPECT_EQ(v.pclGetIntern()->nDecremente(), 105);
  }
}

TEST_F(BehaviourClass, SignFollowsEachTypesOwnRule) {
  struct Case {
    const char* pszName;
    std::function<void(CAny&)> set;
    int bPositive;
  };
  const Case cases[] = {
      {"I1 -1", [](CAny& v) { v.SetI1(-1); }, 0},
      {"I2 0", [](CAny& v) { v.SetI2(0); }, 1},
      {"I4 -5", [](CAny& v) { v.SetI4(-5); }, 0},
      {"I8 min", [](CAny& v) { v.SetI8(INT64_MIN); }, 0},
      {"UI8 top bit", [](CAny& v) { v.SetUI8(1ULL << 63); }, 1},
      {"R4 -0.5", [](CAny& v) { v.SetR4(-0.5f); }, 0},
      {"R8 0", [](CAny& v) { v.SetR8(0.0); }, 1},
      {"CY -1 millionth",
       [](CAny& v) {
         const CMoney m = Money(-1);
         v.__SetType(VX_CY, 0);
         v.pclGetIntern()->SetValue(&m);
       },
       0},
      {"UIX all bits", [](CAny& v) { v.__SetType(VX_UIX, 0); v.SetValueByte("\xFF\xFF\xFF\xFF", 4); }, 1},
      {"untyped", [](CAny& v) { v.__SetType(VX_NONE, 0); }, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    CAny v;
    c.set(v);
    EXPECT_EQ(v.pclGetIntern()->bIsPositive(), c.bPositive);
  }
}

// --- Sizes and fills ---------------------------------------------------------------

struct SizeCase {
  const char* pszName;
  std::function<void(CAny&)> set;
  int rSize;
  unsigned int nSize, nData, nUtil;
};

TEST_F(BehaviourClass, SizeFamiliesOfEveryClass) {
  const SizeCase cases[] = {
      {"untyped", [](CAny&) {}, 102, 0, 0, 0},
      {"BOOL", [](CAny& v) { v.SetBOOL(1); }, 0, 4, 4, 4},
      {"UI1", [](CAny& v) { v.SetUI1(1); }, 0, 1, 1, 1},
      {"UI8", [](CAny& v) { v.SetUI8(1); }, 0, 8, 8, 8},
      {"CY", [](CAny& v) { v.__SetType(VX_CY, 0); }, 0, 10, 10, 10},
      {"DECIMAL", [](CAny& v) { v.__SetType(VX_DECIMAL, 0); }, 0, 4, 18, 18},
      {"CARA", [](CAny& v) { v.__SetType(VX_CARA, 0); }, 0, 1, 1, 1},
      {"CARW", [](CAny& v) { v.__SetType(VX_CARW, 0); }, 0, 4, 4, 4},
      {"PSTRA abc", [](CAny& v) { v.__SetType(VX_PSTRA, 0); v.pclGetIntern()->SetValue("abc"); }, 0, 4, 4, 3},
      {"PSTRW abc", [](CAny& v) { v.__SetType(VX_PSTRW, 0); v.pclGetIntern()->SetValue(L"abc"); }, 0, 4, 16, 12},
      {"DSTRA empty", [](CAny& v) { v.__SetType(VX_DSTRA, 0); }, 0, 4, 1, 0},
      {"DSTRW ab", [](CAny& v) { v.__SetType(VX_DSTRW, 0); v.SetValueByte(L"ab", 8); }, 0, 4, 12, 8},
      {"BIN 5", [](CAny& v) { v.SetBIN(reinterpret_cast<const unsigned char*>("12345"), 5); }, 0, 4, 5, 5},
      {"BUFFER 6", [](CAny& v) { v.__SetType(VX_BUFFER, 0); v.SetValueByte("abcdef", 6); }, 0, 8, 6, 6},
      {"DATEA", [](CAny& v) { v.SetDATEA("20240131"); }, 0, 8, 9, 8},
      {"TIMEA 1200", [](CAny& v) { v.SetTIMEA("1200"); }, 0, 9, 10, 4},
      {"DATEW", [](CAny& v) { v.SetDATEW(L"20240131"); }, 0, 32, 36, 32},
      {"TIMEW 1200", [](CAny& v) { v.SetTIMEW(L"1200"); }, 0, 36, 40, 16},
      {"DATETIME", [](CAny& v) { v.__SetType(VX_DATETIME, 0); }, 0, 8, 8, 8},
      {"POINT", [](CAny& v) { v.__SetType(VX_POINT, 0); }, 0, 8, 8, 8},
      {"RECTANGLE", [](CAny& v) { v.__SetType(VX_RECTANGLE, 0); }, 0, 16, 16, 16},
      {"MEMOIMG", [](CAny& v) { v.__SetType(VX_MEMOIMG, 0); }, 0, 4, 4, 4},
      {"OBJET_BASE", [](CAny& v) { v.__SetType(VX_OBJET_BASE, 0); }, 0, 4, 4, 4},
  };
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(c.pszName);
    CAny v;
    c.set(v);
    unsigned int n = 77;
    EXPECT_EQ(v.pclGetIntern()->nGetSize(&n), c.rSize);
    EXPECT_EQ(n, c.nSize);
    EXPECT_EQ(v.pclGetIntern()->nGetDataSize(&n), c.rSize);
    EXPECT_EQ(n, c.nData);
    EXPECT_EQ(v.pclGetIntern()->nGetUtilDataSize(&n), c.rSize);
    EXPECT_EQ(n, c.nUtil);
  }
}

// Every fill writes exactly the size its family reports: a guard byte after
// that size stays untouched.
TEST_F(BehaviourClass, FillsWriteExactlyTheReportedSize) {
  const std::function<void(CAny&)> setters[] = {
      [](CAny& v) { v.SetI4(-7); },
      [](CAny& v) { v.SetDATEA("20240131"); },
      [](CAny& v) { v.SetTIMEA("1200"); },
      [](CAny& v) { v.SetDATEW(L"2024"); },
      [](CAny& v) { v.SetTIMEW(L"12"); },
      [](CAny& v) { v.__SetType(VX_PSTRA, 0); v.pclGetIntern()->SetValue("xyz"); },
      [](CAny& v) { v.__SetType(VX_PSTRW, 0); v.pclGetIntern()->SetValue(L"xyz"); },
      [](CAny& v) { v.__SetType(VX_DSTRA, 0); v.SetValueByte("hello", 5); },
      [](CAny& v) { v.__SetType(VX_DSTRW, 0); v.SetValueByte(L"hello", 20); },
      [](CAny& v) { v.SetBIN(reinterpret_cast<const unsigned char*>("\1\2\3"), 3); },
      [](CAny& v) { v.__SetType(VX_RECTANGLE, 0); },
  };
  int i = 0;
  for (const auto& set : setters) {
    SCOPED_TRACE(i++);
    CAny v;
    set(v);
    unsigned int nData = 0, nUtil = 0;
    v.pclGetIntern()->nGetDataSize(&nData);
    v.pclGetIntern()->nGetUtilDataSize(&nUtil);
    std::vector<unsigned char> buffer(nData + 1, 0xEE);
    EXPECT_EQ(v.pclGetIntern()->nFillDataBuffer(buffer.data()), 0);
    EXPECT_EQ(buffer[nData], 0xEE);
    std::vector<unsigned char> util(nUtil + 1, 0xEE);
    EXPECT_EQ(v.pclGetIntern()->nFillUtilDataBuffer(util.data()), 0);
    EXPECT_EQ(util[nUtil], 0xEE);
    EXPECT_EQ(std::memcmp(buffer.data(), util.data(), nUtil), 0);
  }
}

TEST_F(BehaviourClass, ZeroTerminatedStringsGiveTheEmptyTextForNull) {
  CAny a;
  a.__SetType(VX_PSTRA, 0);
  a.pclGetIntern()->SetValue("");
  EXPECT_EQ(a.pGetPointeur(), nullptr);
  const char* psz = nullptr;
  EXPECT_EQ(a.pclGetIntern()->nGetPCASTR(&psz), 0);
  ASSERT_NE(psz, nullptr);
  EXPECT_STREQ(psz, "");
  unsigned int n = 0;
  a.pclGetIntern()->nGetDataSize(&n);
  EXPECT_EQ(n, 1u);
  void* p = nullptr;
  a.pclGetIntern()->nGetDataAdr(&p);
  EXPECT_NE(p, nullptr);

  CAny w;
  w.__SetType(VX_PSTRW, 0);
  const wchar_t* pszW = nullptr;
  w.pclGetIntern()->nFillBuffer(&pszW);
  ASSERT_NE(pszW, nullptr);
  EXPECT_STREQ(pszW, L"");
}

TEST_F(BehaviourClass, PstrSettersTakeCharactersAndBytes) {
  CAny a;
  a.__SetType(VX_PSTRA, 0);
  a.SetValueByte("abcdef", 3);
  const char* psz = nullptr;
  a.pclGetIntern()->nGetPCASTR(&psz);
  EXPECT_STREQ(psz, "abc");
  a.pclGetIntern()->SetValue(psz);  // its own text
  a.pclGetIntern()->nGetPCASTR(&psz);
  EXPECT_STREQ(psz, "abc");

  CAny w;
  w.__SetType(VX_PSTRW, 0);
  w.SetValueByte(L"abcdef", 12);  // bytes: three characters
  const wchar_t* pszW = nullptr;
  w.pclGetIntern()->nGetPCWSTR(&pszW);
  EXPECT_STREQ(pszW, L"abc");
}

TEST_F(BehaviourClass, SetValueOptionPreallocatesAZeroFilledText) {
  CAny a;
  a.__SetType(VX_PSTRA, 0);
  a.pclGetIntern()->SetValueOption("ab", 5, 1);
  const char* psz = static_cast<const char*>(a.pGetPointeur());
  ASSERT_NE(psz, nullptr);
  EXPECT_EQ(std::string(psz, 6), std::string("ab\0\0\0\0", 6));
  a.pclGetIntern()->SetValueOption("abcdef", 2, 0);
  a.pclGetIntern()->nGetPCASTR(&psz);
  EXPECT_STREQ(psz, "ab");

  CAny w;
  w.__SetType(VX_PSTRW, 0);
  w.pclGetIntern()->SetValueOption(L"xyz", 2, 1);
  const wchar_t* pszW = static_cast<const wchar_t*>(w.pGetPointeur());
  ASSERT_NE(pszW, nullptr);
  EXPECT_EQ(std::wstring(pszW, 3), std::wstring(L"xy\0", 3));
  w.pclGetIntern()->SetValueOption(nullptr, 3, 1);
  pszW = static_cast<const wchar_t*>(w.pGetPointeur());
  ASSERT_NE(pszW, nullptr);
  EXPECT_EQ(std::wstring(pszW, 4), std::wstring(L"\0\0\0\0", 4));
}

// --- Two-argument SetValue -----------------------------------------------------------

TEST_F(BehaviourClass, BoolFromTwoBytesKeepsTheUpperBytesZero) {
  CAny v;
  v.SetBOOL(-1);
  v.SetValueByte("\x01\x02\x03\x04", 2);
  EXPECT_EQ(AreaBytes(v, 4), std::string("\x01\x02\0\0", 4));
}

TEST_F(BehaviourClass, WideCountedTextFromBytesRoundsDownToWholeCharacters) {
  struct Case {
    unsigned int nBytes;
    const wchar_t* pszExpected;
  };
  const Case cases[] = {{7, L"a"}, {3, L""}, {0, L""}, {8, L"ab"}, {12, L"abc"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nBytes);
    CAny v;
    v.__SetType(VX_DSTRW, 0);
    v.SetValueByte(L"zzzz", 16);
    v.SetValueByte(L"abcd", c.nBytes);
    const wchar_t* psz = nullptr;
    v.pclGetIntern()->nGetPCWSTR(&psz);
    EXPECT_STREQ(psz, c.pszExpected);
    if (*c.pszExpected == 0) {
      EXPECT_EQ(v.pGetPointeur(), nullptr);
    }
  }
}

TEST_F(BehaviourClass, CountedTextFromBytesFollowsTheLengthRules) {
  struct Case {
    const char* pszName;
    const char* p;
    unsigned int n;
    const char* pszExpected;
  };
  const Case cases[] = {
      {"all bits: up to the zero", "hello", 0xFFFFFFFFu, "hello"},
      {"all bits on null: empty", nullptr, 0xFFFFFFFFu, ""},
      {"three bytes", "hello", 3, "hel"},
      {"zero: empty", "hello", 0, ""},
      {"negative as int: empty", "hello", 0x80000000u, ""},
      {"null: empty", nullptr, 3, ""},
      {"embedded zero kept", "a\0b", 3, "a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    CAny v;
    v.__SetType(VX_DSTRA, 0);
    v.SetValueByte("previous", 8);
    v.SetValueByte(c.p, c.n);
    const char* psz = nullptr;
    v.pclGetIntern()->nGetPCASTR(&psz);
    EXPECT_STREQ(psz, c.pszExpected);
  }
}

TEST_F(BehaviourClass, CountedTextFromBytesReusesAnOwnBufferAndLeavesASharedOne) {
  CAny a;
  a.__SetType(VX_DSTRA, 0);
  a.SetValueByte("0123456789", 10);
  const void* pOwn = a.pGetPointeur();
  a.SetValueByte("abc", 3);
  EXPECT_EQ(a.pGetPointeur(), pOwn);

  CAny b(a);
  b.SetValueByte("xyz", 3);
  EXPECT_NE(b.pGetPointeur(), pOwn);
  const char* psz = nullptr;
  a.pclGetIntern()->nGetPCASTR(&psz);
  EXPECT_STREQ(psz, "abc");
  b.pclGetIntern()->nGetPCASTR(&psz);
  EXPECT_STREQ(psz, "xyz");
}

TEST_F(BehaviourClass, CountedTextThatCannotGrowKeepsItsContent) {
  CAny a;
  a.__SetType(VX_DSTRA, 0);
  a.SetValueByte("ab", 2);
  Control().FailStrAllocationAt(1);
  a.SetValueByte("a much longer text than before", 30);
  Control().FailStrAllocationAt(0);
  const char* psz = nullptr;
  a.pclGetIntern()->nGetPCASTR(&psz);
  EXPECT_STREQ(psz, "ab");
}

TEST_F(BehaviourClass, SharedCountedTextThatCannotGetABufferIsLeftEmpty) {
  CAny a;
  a.__SetType(VX_DSTRA, 0);
  a.SetValueByte("ab", 2);
  CAny b(a);
  Control().FailStrAllocationAt(1);
  b.SetValueByte("cd", 2);
  Control().FailStrAllocationAt(0);
  EXPECT_EQ(b.pGetPointeur(), nullptr);
  const char* psz = nullptr;
  a.pclGetIntern()->nGetPCASTR(&psz);
  EXPECT_STREQ(psz, "ab");
}

TEST_F(BehaviourClass, FillBufferSharesTheCountedBuffer) {
  CAny v;
  v.__SetType(VX_DSTRW, 0);
  v.SetValueByte(L"shared", 24);
  CXYString<wchar_t> out(L"old");
  EXPECT_EQ(v.pclGetIntern()->nFillBuffer(&out), 0);
  EXPECT_EQ(out.pGetData(), v.pGetPointeur());
  // The value's own field as the output: nothing happens.
  EXPECT_EQ(v.pclGetIntern()->nFillBuffer(v.pbyGetValeur()), 0);
  const wchar_t* psz = nullptr;
  v.pclGetIntern()->nGetPCWSTR(&psz);
  EXPECT_STREQ(psz, L"shared");

  CAny b;
  b.SetBIN(reinterpret_cast<const unsigned char*>("xyz"), 3);
  CVXBIN bin;
  EXPECT_EQ(b.pclGetIntern()->nFillBuffer(&bin), 0);
  EXPECT_EQ(bin.pbyGet(), b.pGetPointeur());
}

TEST_F(BehaviourClass, BinaryFromBytesCopiesAndFromABinarySharesIt) {
  CVXBIN source(reinterpret_cast<const unsigned char*>("\1\2\3\4"), 4);
  CAny v;
  v.__SetType(VX_BIN, 0);
  v.pclGetIntern()->SetValue(&source);
  EXPECT_EQ(v.pGetPointeur(), source.pbyGet());
  v.pclGetIntern()->SetValue(v.pbyGetValeur());  // itself: kept
  EXPECT_EQ(v.pGetPointeur(), source.pbyGet());
  v.SetValueByte("\5\6", 2);
  EXPECT_NE(v.pGetPointeur(), source.pbyGet());
  EXPECT_EQ(source.nGetSize(), 4);
  unsigned char aby[2] = {};
  v.pclGetIntern()->nFillDataBuffer(aby);
  EXPECT_EQ(aby[0], 5);
  EXPECT_EQ(aby[1], 6);
}

TEST_F(BehaviourClass, BufferValuesPointAtTheCallersBlockAndCopiesToo) {
  const char block[] = "block";
  CAny v;
  v.__SetType(VX_BUFFER, 0);
  v.pclGetIntern()->SetValue(block);
  unsigned int n = 9;
  v.pclGetIntern()->nGetDataSize(&n);
  EXPECT_EQ(n, 0u);
  v.SetValueByte(block, 5);
  CAny copy(v);
  void* p = nullptr;
  copy.pclGetIntern()->nGetDataAdr(&p);
  EXPECT_EQ(p, block);
  char out[5] = {};
  copy.pclGetIntern()->nFillDataBuffer(out);
  EXPECT_EQ(std::string(out, 5), "block");
}

TEST_F(BehaviourClass, DateAndTimeTextsAreCutAndTerminated) {
  CAny v;
  v.SetDATEA("2024013199");
  const char* psz = nullptr;
  v.pclGetIntern()->nGetPCASTR(&psz);
  EXPECT_STREQ(psz, "20240131");
  v.SetTIMEW(L"1234567891234");
  const wchar_t* pszW = nullptr;
  v.pclGetIntern()->nGetPCWSTR(&pszW);
  EXPECT_STREQ(pszW, L"123456789");
  v.SetTIME(L"12");
  v.pclGetIntern()->nGetPCWSTR(&pszW);
  EXPECT_STREQ(pszW, L"12");
}

// --- Characters --------------------------------------------------------------------

TEST_F(BehaviourClass, OneCharacterTextsHaveLengthOneEvenForTheZeroCharacter) {
  CAny a;
  a.__SetType(VX_CARA, 0);
  unsigned int n = 0;
  EXPECT_EQ(a.pclGetIntern()->nGetSTRLEN(&n), 0);
  EXPECT_EQ(n, 1u);
  a.pclGetIntern()->SetValue("x");
  const char* psz = nullptr;
  a.pclGetIntern()->nGetPCASTR(&psz);
  EXPECT_STREQ(psz, "x");

  CAny w;
  w.__SetType(VX_CARW, 0);
  n = 0;
  EXPECT_EQ(w.pclGetIntern()->nGetSTRLEN(&n), 0);
  EXPECT_EQ(n, 1u);
}

TEST_F(BehaviourClass, CodePageSettersConvertOneCharacter) {
  CAny a;
  a.__SetType(VX_CARA, 0);
  const wchar_t euro = 0x20AC;
  a.pclGetIntern()->SetValueFromUNICODE(&euro);
  EXPECT_EQ(a.pbyGetValeur()[0], 0x80);  // the euro sign of code page 1252
  const wchar_t eAcute = 0xE9;
  a.pclGetIntern()->SetValueFromUNICODE_CP(1252, &eAcute);
  EXPECT_EQ(a.pbyGetValeur()[0], 0xE9);

  CAny w;
  w.__SetType(VX_CARW, 0);
  w.pclGetIntern()->SetValueFromANSI("\x80");
  const wchar_t* psz = nullptr;
  w.pclGetIntern()->nGetPCWSTR(&psz);
  EXPECT_EQ(psz[0], 0x20AC);
  EXPECT_EQ(psz[1], 0);
  w.pclGetIntern()->SetValueFromANSI_CP(1252, "\xE9", 1);
  w.pclGetIntern()->nGetPCWSTR(&psz);
  EXPECT_EQ(psz[0], 0xE9);
}

TEST_F(BehaviourClass, DateAndTimeTextsConvertBetweenWidths) {
  CAny a;
  a.__SetType(VX_DATEA, 0);
  a.pclGetIntern()->SetValueFromUNICODE(L"2024013199");
  const char* psz = nullptr;
  a.pclGetIntern()->nGetPCASTR(&psz);
  EXPECT_STREQ(psz, "20240131");

  CAny t;
  t.__SetType(VX_TIMEA, 0);
  t.pclGetIntern()->SetValueFromUNICODE(L"1200");
  t.pclGetIntern()->nGetPCASTR(&psz);
  EXPECT_STREQ(psz, "1200");

  CAny w;
  w.__SetType(VX_TIMEW, 0);
  w.pclGetIntern()->SetValueFromANSI("123456789999");
  const wchar_t* pszW = nullptr;
  w.pclGetIntern()->nGetPCWSTR(&pszW);
  EXPECT_STREQ(pszW, L"123456789");
  w.__SetType(VX_DATEW, 0);
  w.pclGetIntern()->SetValueFromANSI("20241231xx", 6);
  w.pclGetIntern()->nGetPCWSTR(&pszW);
  EXPECT_STREQ(pszW, L"202412");
}

TEST_F(BehaviourClass, WideTextFromAnsiCountsOnlyTheCharactersOfTheText) {
  CAny v;
  v.__SetType(VX_DSTRW, 0);
  v.pclGetIntern()->SetValueFromANSI("abc");
  unsigned int n = 0;
  v.pclGetIntern()->nGetSTRLEN(&n);
  EXPECT_EQ(n, 3u);
  const wchar_t* psz = nullptr;
  v.pclGetIntern()->nGetPCWSTR(&psz);
  EXPECT_STREQ(psz, L"abc");
  v.pclGetIntern()->SetValueFromANSI_CP(65001, "\xC3\xA9t\xC3\xA9");
  v.pclGetIntern()->nGetPCWSTR(&psz);
  EXPECT_STREQ(psz, L"\u00E9t\u00E9");
  v.pclGetIntern()->SetValueFromANSI_CP(1252, "\xE9tabc", 2);
  v.pclGetIntern()->nGetPCWSTR(&psz);
  EXPECT_STREQ(psz, L"\u00E9t");
}

TEST_F(BehaviourClass, ZeroTerminatedWideTextFromAnsi) {
  CAny v;
  v.__SetType(VX_PSTRW, 0);
  v.pclGetIntern()->SetValueFromANSI("\x80x");
  const wchar_t* psz = nullptr;
  v.pclGetIntern()->nGetPCWSTR(&psz);
  EXPECT_STREQ(psz, L"\u20ACx");
  v.pclGetIntern()->SetValueFromANSI_CP(65001, "\xC3\xA9", 2);
  v.pclGetIntern()->nGetPCWSTR(&psz);
  EXPECT_STREQ(psz, L"\u00E9");
  v.pclGetIntern()->SetValueFromANSI(nullptr);
  EXPECT_EQ(v.pGetPointeur(), nullptr);
}

// --- UTF-16 setters -------------------------------------------------------------------

// The units live in a heap block of exactly n units, so that a read past the
// n given is caught under the address sanitizer; the unit after them in the
// stack copy would otherwise pair with the last one.
std::unique_ptr<unsigned short[]> Units(std::initializer_list<unsigned short> units) {
  std::unique_ptr<unsigned short[]> p(new unsigned short[units.size()]);
  std::copy(units.begin(), units.end(), p.get());
  return p;
}

TEST_F(BehaviourClass, Utf16SettersReadExactlyTheUnitsGiven) {
  struct Case {
    const char* pszName;
    std::initializer_list<unsigned short> units;
    int n;
    std::wstring expected;
  };
  const Case cases[] = {
      {"plain", {'a', 'b', 'c'}, 3, L"abc"},
      {"first two of three", {'a', 'b', 'c'}, 2, L"ab"},
      {"pair", {0xD83D, 0xDE00, 'x'}, 3, L"\U0001F600x"},
      {"high surrogate last", {'a', 0xD83D}, 2, std::wstring(L"a") + wchar_t(0xD83D)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    auto p = Units(c.units);
    CAny d;
    d.__SetType(VX_DSTRW, 0);
    CAny_VXDSTRW::s_SetFromUTF16(&d, p.get(), c.n);
    const wchar_t* psz = nullptr;
    d.pclGetIntern()->nGetPCWSTR(&psz);
    EXPECT_EQ(std::wstring(psz), c.expected);
    unsigned int nLen = 0;
    d.pclGetIntern()->nGetSTRLEN(&nLen);
    EXPECT_EQ(nLen, c.expected.size());

    CAny z;
    z.__SetType(VX_PSTRW, 0);
    CAny_VXPSTRW::s_SetFromUTF16(&z, p.get(), c.n);
    z.pclGetIntern()->nGetPCWSTR(&psz);
    EXPECT_EQ(std::wstring(psz), c.expected);

    CAny w;
    w.__SetType(VX_CARW, 0);
    CAny_VXCARW::s_SetFromUTF16(&w, p.get(), c.n);
    w.pclGetIntern()->nGetPCWSTR(&psz);
    EXPECT_EQ(psz[0], c.expected[0]);
  }
}

TEST_F(BehaviourClass, Utf16SettersWithoutUnits) {
  auto p = Units({'a'});
  CAny d;
  d.__SetType(VX_DSTRW, 0);
  d.SetValueByte(L"keep", 16);
  CAny_VXDSTRW::s_SetFromUTF16(&d, p.get(), 0);
  EXPECT_EQ(d.pGetPointeur(), nullptr);  // emptied

  CAny z;
  z.__SetType(VX_PSTRW, 0);
  z.pclGetIntern()->SetValue(L"keep");
  CAny_VXPSTRW::s_SetFromUTF16(&z, p.get(), -1);
  const wchar_t* psz = nullptr;
  z.pclGetIntern()->nGetPCWSTR(&psz);
  EXPECT_STREQ(psz, L"keep");  // left as it was
}

TEST_F(BehaviourClass, Utf16SetterOfASharedTextLeavesTheOtherHolderIntact) {
  auto p = Units({'n', 'e', 'w'});
  CAny a;
  a.__SetType(VX_DSTRW, 0);
  a.SetValueByte(L"old", 12);
  CAny b(a);
  CAny_VXDSTRW::s_SetFromUTF16(&b, p.get(), 3);
  const wchar_t* psz = nullptr;
  a.pclGetIntern()->nGetPCWSTR(&psz);
  EXPECT_STREQ(psz, L"old");
  b.pclGetIntern()->nGetPCWSTR(&psz);
  EXPECT_STREQ(psz, L"new");
}

// --- Object references ------------------------------------------------------------------

TEST_F(BehaviourClass, ObjectReferencesAreTakenAndGivenBackInBalance) {
  for (unsigned short wType : std::initializer_list<unsigned short>{VX_OBJET_BASE, VX_DINO, 135}) {
    SCOPED_TRACE(wType);
    FakeObjetBase object;
    {
      CAny v;
      v.__SetType(wType, 0);
      v.pclGetIntern()->SetValue(&object);
      EXPECT_EQ(object.nRefs, 2);
      v.pclGetIntern()->SetValue(&object);  // the same object again
      EXPECT_EQ(object.nRefs, 2);
      CAny copy(v);
      EXPECT_EQ(copy.wGetType(), wType);
      EXPECT_EQ(object.nRefs, 3);
      void* p = nullptr;
      copy.pclGetIntern()->nFillBuffer(&p);
      EXPECT_EQ(p, &object);
      EXPECT_EQ(object.nRefs, 3);
    }
    EXPECT_EQ(object.nRefs, 1);
  }
}

TEST_F(BehaviourClass, TabValAnyUsesItsSecondAndThirdOperations) {
  FakeTabValAny first, second;
  {
    CAny v;
    v.__SetType(VX_TABVALANY, 0);
    v.pclGetIntern()->SetValue(&first);
    EXPECT_EQ(first.nRefs, 2);
    v.pclGetIntern()->SetValue(&second);
    EXPECT_EQ(first.nRefs, 1);
    EXPECT_EQ(second.nRefs, 2);
  }
  EXPECT_EQ(second.nRefs, 1);
}

TEST_F(BehaviourClass, CountedObjectsIncrementTheirCountWordAndReleaseThroughTheThirdOperation) {
  for (unsigned short wType : {VX_MEMOIMG, VX_POLICE, VX_CONVOYEUR}) {
    SCOPED_TRACE(wType);
    FakeCountedObject object;
    {
      CAny v;
      v.__SetType(wType, 0);
      v.pclGetIntern()->SetValue(&object);
      EXPECT_EQ(object.nCount, 2);
      CAny copy(v);
      EXPECT_EQ(object.nCount, 3);
    }
    EXPECT_EQ(object.nCount, 1);
  }
}

}  // namespace
}  // namespace kqtest
