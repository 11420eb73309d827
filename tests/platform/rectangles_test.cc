// The USER32 emulation (string resources, the alphanumeric table, the three
// rectangle functions) and the Win32 rectangle functions built on it.
#include "platform/rectangles.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>

#include "platform/user32_emulation.h"

namespace {

tagRECT R(int l, int t, int r, int b) { return tagRECT{l, t, r, b}; }

void ExpectRect(const tagRECT& rc, int l, int t, int r, int b) {
  EXPECT_EQ(rc.left, l);
  EXPECT_EQ(rc.top, t);
  EXPECT_EQ(rc.right, r);
  EXPECT_EQ(rc.bottom, b);
}

TEST(User32Emulation, StringResourcesDoNotExist) {
  wchar_t sz[4] = {L'x', 0, 0, 0};
  char sz8[4] = {'x', 0, 0, 0};
  EXPECT_EQ(nEmule_LoadStringW(nullptr, 1, sz, 4), 0);
  EXPECT_EQ(nEmule_LoadStringA(nullptr, 1, sz8, 4), 0);
  EXPECT_EQ(sz[0], L'x');
  EXPECT_EQ(sz8[0], 'x');
}

TEST(User32Emulation, AlphanumericTableHoldsExactlyTheCp1252LettersAndDigits) {
  std::set<int> expected;
  for (int b = '0'; b <= '9'; ++b) expected.insert(b);
  for (int b = 'A'; b <= 'Z'; ++b) expected.insert(b);
  for (int b = 'a'; b <= 'z'; ++b) expected.insert(b);
  for (int b : {131, 138, 140, 142, 154, 156, 158, 159, 178, 179, 185}) expected.insert(b);
  for (int b = 192; b <= 255; ++b) {
    if (b != 215 && b != 247) expected.insert(b);
  }
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(b);
    EXPECT_EQ(bEmule_IsCharAlphaNumericA(static_cast<char>(b)) != 0, expected.count(b) == 1);
  }
  EXPECT_TRUE(bEmule_IsCharAlphaNumericA(static_cast<char>(233)));   // é
  EXPECT_TRUE(bEmule_IsCharAlphaNumericA(static_cast<char>(178)));   // ²
  EXPECT_FALSE(bEmule_IsCharAlphaNumericA('_'));
  EXPECT_FALSE(bEmule_IsCharAlphaNumericA(static_cast<char>(215)));  // ×
  EXPECT_FALSE(bEmule_IsCharAlphaNumericA(static_cast<char>(128)));
}

TEST(User32Emulation, IntersectionOfRectangles) {
  struct Case { const char* name; tagRECT a, b; int result; tagRECT out; };
  const Case cases[] = {
      {"overlap", R(0, 0, 10, 10), R(5, 5, 15, 15), 1, R(5, 5, 10, 10)},
      {"inside", R(0, 0, 10, 10), R(2, 3, 4, 5), 1, R(2, 3, 4, 5)},
      {"touching edge", R(0, 0, 10, 10), R(10, 0, 20, 10), 0, R(0, 0, 0, 0)},
      {"apart", R(0, 0, 10, 10), R(20, 20, 30, 30), 0, R(0, 0, 0, 0)},
      {"empty a covered by b", R(5, 5, 5, 8), R(0, 0, 10, 10), 0, R(0, 0, 0, 0)},
      {"empty b", R(0, 0, 10, 10), R(3, 3, 2, 4), 0, R(0, 0, 0, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tagRECT out = R(9, 9, 9, 9);
    EXPECT_EQ(bEmule_IntersectRect(&out, &c.a, &c.b), c.result);
    ExpectRect(out, c.out.left, c.out.top, c.out.right, c.out.bottom);
  }
  tagRECT a = R(0, 0, 10, 10), b = R(5, 5, 15, 15);
  EXPECT_EQ(bEmule_IntersectRect(&a, &a, &b), 1);  // out is an input
  ExpectRect(a, 5, 5, 10, 10);
}

TEST(User32Emulation, OffsetMovesAllFourSides) {
  tagRECT rc = R(0, 0, 10, 10);
  EXPECT_EQ(bEmule_OffsetRect(&rc, -5, 3), 1);
  ExpectRect(rc, -5, 3, 5, 13);
  EXPECT_TRUE(bEmule_IsRectEmpty(&(rc = R(1, 1, 1, 5))));
  EXPECT_FALSE(bEmule_IsRectEmpty(&(rc = R(1, 1, 2, 5))));
}

TEST(Rectangles, SettingCopyingAndComparing) {
  tagRECT rc, copy;
  EXPECT_EQ(SetRect(nullptr, 1, 2, 3, 4), 0);
  EXPECT_EQ(SetRect(&rc, 1, 2, 3, 4), 1);
  ExpectRect(rc, 1, 2, 3, 4);
  EXPECT_EQ(CopyRect(&copy, &rc), 1);
  EXPECT_TRUE(EqualRect(&copy, &rc));
  EXPECT_EQ(SetRectEmpty(&copy), &copy);
  ExpectRect(copy, 0, 0, 0, 0);
  EXPECT_TRUE(IsRectEmpty(&copy));
  EXPECT_FALSE(EqualRect(&copy, &rc));
}

TEST(Rectangles, PointsInsideIncludeTheTopLeftEdgesOnly) {
  const tagRECT rc = R(0, 0, 10, 5);
  EXPECT_TRUE(PtInRect(&rc, tagPOINT{0, 0}));
  EXPECT_TRUE(PtInRect(&rc, tagPOINT{9, 4}));
  EXPECT_FALSE(PtInRect(&rc, tagPOINT{10, 4}));
  EXPECT_FALSE(PtInRect(&rc, tagPOINT{9, 5}));
  EXPECT_FALSE(PtInRect(&rc, tagPOINT{-1, 0}));
}

TEST(Rectangles, InflateOffsetAndUnion) {
  tagRECT rc = R(10, 10, 20, 20);
  EXPECT_EQ(InflateRect(&rc, 2, -3), &rc);
  ExpectRect(rc, 8, 13, 22, 17);
  EXPECT_EQ(OffsetRect(&rc, 1, 1), &rc);
  ExpectRect(rc, 9, 14, 23, 18);
  tagRECT extreme = R(INT_MAX - 1, 0, INT_MAX, 1);
  OffsetRect(&extreme, 2, 0);  // wraps as on Windows, no overflow
  EXPECT_EQ(extreme.right, INT_MIN + 1);

  tagRECT out;
  const tagRECT a = R(0, 0, 5, 5), b = R(10, 10, 12, 12), empty = R(3, 3, 3, 3);
  EXPECT_EQ(UnionRect(&out, &a, &b), 1);
  ExpectRect(out, 0, 0, 12, 12);
  EXPECT_EQ(UnionRect(&out, &empty, &b), 1);
  ExpectRect(out, 10, 10, 12, 12);
  EXPECT_EQ(UnionRect(&out, &empty, &empty), 0);
  ExpectRect(out, 0, 0, 0, 0);
  EXPECT_EQ(IntersectRect(&out, &a, &b), 0);
}

TEST(Rectangles, SubtractionCutsOnlyWholeStrips) {
  struct Case { const char* name; tagRECT a, b; int result; tagRECT out; };
  const Case cases[] = {
      {"upper half across the width", R(0, 0, 10, 10), R(-1, -1, 11, 5), 1, R(0, 5, 10, 10)},
      {"lower strip", R(0, 0, 10, 10), R(0, 7, 10, 20), 1, R(0, 0, 10, 7)},
      {"left strip across the height", R(0, 0, 10, 10), R(-5, 0, 3, 10), 1, R(3, 0, 10, 10)},
      {"right strip", R(0, 0, 10, 10), R(6, -2, 12, 12), 1, R(0, 0, 6, 10)},
      {"middle band stays", R(0, 0, 10, 10), R(0, 3, 10, 6), 1, R(0, 0, 10, 10)},
      {"corner stays", R(0, 0, 10, 10), R(5, 5, 15, 15), 1, R(0, 0, 10, 10)},
      {"covered", R(0, 0, 10, 10), R(-1, -1, 11, 11), 0, R(0, 0, 0, 0)},
      {"apart", R(0, 0, 10, 10), R(20, 20, 30, 30), 1, R(0, 0, 10, 10)},
      {"empty a", R(0, 0, 0, 10), R(0, 0, 10, 10), 0, R(0, 0, 0, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tagRECT out = R(9, 9, 9, 9);
    EXPECT_EQ(SubtractRect(&out, &c.a, &c.b), c.result);
    ExpectRect(out, c.out.left, c.out.top, c.out.right, c.out.bottom);
  }
}

}  // namespace
