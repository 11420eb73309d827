#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/memory_recycler.h"
#include "core/simple_buffer.h"
#include "core/xmalloc.h"
#include "core/xmath.h"

TEST(Xmalloc, ResizeOfNullAllocatesAndDeleteOfNullDoesNothing) {
  void* p = XMALLOC_pResize_(nullptr, 16);
  ASSERT_NE(p, nullptr);
  std::memset(p, 0xAB, 16);
  p = XMALLOC_pResize_(p, 64);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(static_cast<unsigned char*>(p)[15], 0xAB);
  XMALLOC_Del_(p);
  XMALLOC_Del_(nullptr);
}

TEST(Xmalloc, FailedResizeLeavesTheOldBlockOwnedByTheCaller) {
  void* p = XMALLOC_pNew_(8);
  ASSERT_NE(p, nullptr);
  std::memcpy(p, "abcdefg", 8);
  // More than a 32-bit process can ever hold.
  void* q = XMALLOC_pResize_(p, 0xFFFFFFF0u);
  EXPECT_EQ(q, nullptr);
  EXPECT_STREQ(static_cast<char*>(p), "abcdefg");
  XMALLOC_Del_(p);
}

TEST(Xmalloc, StatisticsHooksAreInert) {
  EXPECT_EQ(Alloc_bDump(L"x", 1), 0);
  EXPECT_EQ(Alloc_bMarque(), 0);
  EXPECT_EQ(Alloc_nTailleTotale(), 0);
}

TEST(SimpleBuffer, SettingTheSameSizeKeepsTheBytes) {
  CSimpleBuffer buffer("hello", 6);
  buffer.SetSize(6);
  EXPECT_STREQ(static_cast<const char*>(buffer.pGetData()), "hello");
}

TEST(SimpleBuffer, SettingAnotherSizeGivesAFreshBlockAndZeroGivesNull) {
  CSimpleBuffer buffer(16u);
  ASSERT_NE(buffer.pGetData(), nullptr);
  EXPECT_EQ(buffer.nGetSize(), 16u);
  buffer.SetSize(32);
  EXPECT_NE(buffer.pGetData(), nullptr);
  EXPECT_EQ(buffer.nGetSize(), 32u);
  buffer.SetSize(0);
  EXPECT_EQ(buffer.pGetData(), nullptr);
  EXPECT_EQ(buffer.nGetSize(), 0u);
}

TEST(SimpleBuffer, CopiesAnotherBuffer) {
  CSimpleBuffer source("bytes", 5);
  CSimpleBuffer copy(&source);
  ASSERT_EQ(copy.nGetSize(), 5u);
  EXPECT_EQ(std::memcmp(copy.pGetData(), "bytes", 5), 0);
  EXPECT_NE(copy.pGetData(), source.pGetData());
}

TEST(SimpleBuffer, AFailedAllocationLeavesNullDataAndIsRetriedAtTheSameSize) {
  CSimpleBuffer buffer;
  buffer.SetSize(0xFFFFFFF0u);  // cannot be had in 32 bits
  EXPECT_EQ(buffer.pGetData(), nullptr);
  EXPECT_EQ(buffer.nGetSize(), 0xFFFFFFF0u);
  buffer.CopyBuffer("ab", 2);
  ASSERT_NE(buffer.pGetData(), nullptr);
  EXPECT_EQ(std::memcmp(buffer.pGetData(), "ab", 2), 0);
}

TEST(XMath, PrimeTestByTrialDivision) {
  struct Case {
    unsigned int n;
    int bPrime;
  };
  const Case cases[] = {{0, 0},   {1, 1},   {2, 1},          {3, 1},          {4, 0},
                        {7, 1},   {9, 0},   {25, 0},         {49, 0},         {97, 1},
                        {121, 0}, {65537, 1}, {4294967291u, 1}, {4294967295u, 0}, {2147483647u, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    EXPECT_EQ(CXMath::bEstPremier(c.n), c.bPrime);
  }
}

TEST(XMath, PrimeTestAgreesWithASieveBelowTenThousand) {
  std::vector<bool> composite(10000, false);
  for (unsigned i = 2; i * i < composite.size(); ++i)
    if (!composite[i])
      for (unsigned j = i * i; j < composite.size(); j += i) composite[j] = true;
  for (unsigned n = 2; n < composite.size(); ++n) {
    ASSERT_EQ(CXMath::bEstPremier(n), composite[n] ? 0 : 1) << n;
  }
}

TEST(XMath, RoundsHalfAwayFromZero) {
  struct Case {
    double dValue;
    int nDecimals;
    double dExpected;
  };
  const Case cases[] = {
      {2.5, 0, 3.0},     {-2.5, 0, -3.0},  {2.4999, 0, 2.0}, {1.2345, 2, 1.23},
      {1.235, 1, 1.2},   {-1.26, 1, -1.3}, {123.0, -2, 123.0}, {0.0, 3, 0.0},
      // The product comes from the double as stored: 1.005 is 1.00499999...
      {1.005, 2, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dValue);
    EXPECT_DOUBLE_EQ(CXMath::dRound(c.dValue, c.nDecimals), c.dExpected);
  }
}

TEST(MemoryRecycler, ReusesBlocksAndEmptiesThemAll) {
  CRecycleurMemoire a(16), b(64);
  void* p1 = a.pNew();
  void* p2 = b.pNew();
  ASSERT_NE(p1, nullptr);
  ASSERT_NE(p2, nullptr);
  a.Recycle(p1);
  b.Recycle(p2);
  EXPECT_EQ(a.pNew(), p1);
  a.Recycle(p1);
  EXPECT_EQ(a.nGetCachedCount(), 1);
  CRecycleurMemoire::s_VideTous();
  EXPECT_EQ(a.nGetCachedCount(), 0);
  EXPECT_EQ(b.nGetCachedCount(), 0);
}
