// The binary value CVXBIN: sharing, flags, the byte operations (checked
// against std::string as a reference model), limits and allocation failures.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/binary_buffer.h"
#include "tests/support/bound_framework.h"

namespace {

using Bytes = std::string;

const unsigned char* U(const Bytes& b) { return reinterpret_cast<const unsigned char*>(b.data()); }
const unsigned char* U(const char* p) { return reinterpret_cast<const unsigned char*>(p); }

CVXBIN Bin(const Bytes& b) {
  CVXBIN v;
  EXPECT_EQ(v.nAssign(U(b), static_cast<int>(b.size()), 0), 0);
  return v;
}
Bytes Of(const CVXBIN& v) {
  return v.pbyGet() == nullptr ? Bytes() : Bytes(reinterpret_cast<const char*>(v.pbyGet()), v.nGetSize());
}
int RefCount(const CVXBIN& v) { return StrMemHeader(v.pbyGet())->nRefCount; }
void SetFlags(CVXBIN& v, unsigned int dw) { StrMemHeader(v.pbyGet())->dwFlags = dw; }

class BinaryBuffer : public kqtest::BoundFrameworkTest {};

TEST_F(BinaryBuffer, CopiesShareAndWritingToACopyLeavesTheOriginalIntact) {
  CVXBIN a = Bin("bytes");
  CVXBIN b(a);
  EXPECT_EQ(RefCount(a), 2);
  ASSERT_EQ(b.nConcat(U("++"), 2), 0);
  EXPECT_EQ(Of(a), "bytes");
  EXPECT_EQ(Of(b), "bytes++");
  EXPECT_EQ(RefCount(a), 1);
  EXPECT_EQ(RefCount(b), 1);
}

TEST_F(BinaryBuffer, FlagsFollowTheRulesOfEachOperation) {
  struct Case {
    const char* name;
    std::function<int(CVXBIN&)> op;
    bool bShare;
    unsigned int dwExpected;
  };
  const Case cases[] = {
      {"append keeps bit 0", [](CVXBIN& v) { return v.nConcat(U("x"), 1); }, false, 3},
      {"append to a shared buffer copies the flags word", [](CVXBIN& v) { return v.nConcat(U("x"), 1); }, true, 3},
      {"truncate clears bit 0", [](CVXBIN& v) { return v.Tronque(2); }, false, 2},
      {"truncate of a shared buffer starts at 0", [](CVXBIN& v) { return v.Tronque(2); }, true, 0},
      {"set size of a shared buffer starts at 0", [](CVXBIN& v) { return v.nSetSize(8, 0); }, true, 0},
      {"assigning into an own buffer keeps them", [](CVXBIN& v) { return v.nAssign(U("zz"), 2, 0); }, false, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CVXBIN v = Bin("abcd");
    SetFlags(v, 3);
    CVXBIN other;
    if (c.bShare) other = v;
    ASSERT_EQ(c.op(v), 0);
    EXPECT_EQ(v.dwGetFlags(), c.dwExpected);
    if (c.bShare) {
      EXPECT_EQ(other.dwGetFlags(), 3u);
    }
  }
}

TEST_F(BinaryBuffer, TakeMovesTheReferenceAndAssignSharesAPrefix) {
  CVXBIN a = Bin("payload");
  CVXBIN b;
  b.Take(&a);
  EXPECT_EQ(a.pbyGet(), nullptr);
  EXPECT_EQ(Of(b), "payload");
  EXPECT_EQ(RefCount(b), 1);

  CVXBIN c;
  c.Assign(&b, 3);
  EXPECT_EQ(Of(c), "pay");
  EXPECT_EQ(Of(b), "payload");
  c.Assign(&b, -1);
  EXPECT_EQ(c.pbyGet(), b.pbyGet());
  c.Assign(&c, 0);
  EXPECT_EQ(c.pbyGet(), nullptr);
}

TEST_F(BinaryBuffer, ConcatInitJoinsTwoValues) {
  struct Case {
    const char* name;
    Bytes a, b;
    unsigned int nFlags;
    Bytes expected;
    bool bAEmptiedAfter;
  };
  const Case cases[] = {
      {"a empty shares b", "", "xy", 0, "xy", false},
      {"b empty shares a", "ab", "", 0, "ab", false},
      {"both", "ab", "cd", 0, "abcd", false},
      {"taking an unshared a", "ab", "cd", 1, "abcd", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CVXBIN a = Bin(c.a), b = Bin(c.b), r;
    ASSERT_EQ(r.nConcatInit(&a, &b, c.nFlags), 0);
    EXPECT_EQ(Of(r), c.expected);
    EXPECT_EQ(a.pbyGet() == nullptr, c.bAEmptiedAfter || c.a.empty());
    EXPECT_EQ(Of(b), c.b);
  }
  // A shared a stays shared when taken.
  CVXBIN a = Bin("ab"), keep(a), b = Bin("cd"), r;
  ASSERT_EQ(r.nConcatInit(&a, &b, 1), 0);
  EXPECT_EQ(Of(r), "abcd");
  EXPECT_EQ(Of(a), "ab");
  EXPECT_EQ(Of(keep), "ab");
  // Flags bit 0 of the new buffer comes from b.
  CVXBIN marked = Bin("z");
  SetFlags(marked, 1);
  ASSERT_EQ(r.nConcatInit(&keep, &marked, 0), 0);
  EXPECT_EQ(r.dwGetFlags(), 1u);
}

TEST_F(BinaryBuffer, ConcatSeparateurLeavesOutARepeatedSeparator) {
  struct Case {
    const char* name;
    Bytes self, sep;
    const char* other;  // null: no other value
    int bSkipOnEmpty;
    Bytes expected;
  };
  const Case cases[] = {
      {"plain", "a", ",", "b", 0, "a,b"},
      {"this ends with it", "a,", ",", "b", 0, "a,b"},
      {"other begins with it", "a", ",", ",b", 0, "a,b"},
      {"empty this, skip", "", ",", "b", 1, "b"},
      {"empty this, no skip", "", ",", "b", 0, ",b"},
      {"other given but empty", "a", ",", "", 0, "a"},
      {"no other", "a", ",", nullptr, 0, "a,"},
      {"no other, this ends with it", "a,", ",", nullptr, 0, "a,"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CVXBIN self = Bin(c.self), sep = Bin(c.sep), other = Bin(c.other ? c.other : "");
    ASSERT_EQ(self.nConcatSeparateur(&sep, c.other ? &other : nullptr, c.bSkipOnEmpty), 0);
    EXPECT_EQ(Of(self), c.expected);
  }
  CVXBIN self = Bin("ab");
  ASSERT_EQ(self.nConcatSeparateur(&self, &self, 0), 0) << "the value itself as both pieces";
  EXPECT_EQ(Of(self), "abab");
}

TEST_F(BinaryBuffer, ReadingOperationsFollowTheirBounds) {
  const CVXBIN v = Bin("abcabc");
  struct Mid {
    int at, n;
    Bytes expected;
  };
  for (const Mid& m : {Mid{1, 2, "bc"}, Mid{4, -1, "bc"}, Mid{4, 99, "bc"}, Mid{-1, 2, ""},
                       Mid{6, 1, ""}, Mid{2, 0, ""}}) {
    SCOPED_TRACE(testing::Message() << "milieu " << m.at << "," << m.n);
    EXPECT_EQ(Of(v.clMilieu(m.at, m.n)), m.expected);
  }
  struct Pos {
    Bytes what;
    int from, expected;
  };
  for (const Pos& p : {Pos{"bc", 0, 1}, Pos{"bc", 2, 4}, Pos{"bc", 5, -1}, Pos{"bc", -1, -1},
                       Pos{"", 0, -1}, Pos{"x", 0, -1}}) {
    SCOPED_TRACE(testing::Message() << "pos " << p.what << " from " << p.from);
    EXPECT_EQ(v.nPos(U(p.what), static_cast<int>(p.what.size()), p.from), p.expected);
  }
  EXPECT_EQ(CVXBIN().nPos(U("a"), 1, 0), -1);
}

TEST_F(BinaryBuffer, ComparisonAndTestsReadBytesAsUnsigned) {
  struct Case {
    Bytes a, b;
    int nCompare, nCompare2;  // all bytes; at most 2
    int bBegins, bEnds, bContains;
  };
  const Case cases[] = {
      {"abc", "abc", 0, 0, 1, 1, 1}, {"abc", "abd", -1, 0, 0, 0, 0},
      {"\x80", "\x7F", 1, 1, 0, 0, 0}, {"ab", "abc", -1, 0, 0, 0, 0},
      {"abc", "", 1, 1, 1, 1, 1},      {"xabcx", "abc", 1, 1, 0, 0, 1},
      {"", "", 0, 0, 1, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.a + " / " + c.b);
    const CVXBIN a = Bin(c.a), b = Bin(c.b);
    EXPECT_EQ(CVXBIN::nCompare(&a, &b), c.nCompare);
    EXPECT_EQ(CVXBIN::nCompare(&a, &b, 2), c.nCompare2);
    EXPECT_EQ(CVXBIN::bCommencePar(&a, &b), c.bBegins);
    EXPECT_EQ(CVXBIN::bTerminePar(&a, &b), c.bEnds);
    EXPECT_EQ(CVXBIN::bContient(&a, &b), c.bContains);
  }
}

TEST_F(BinaryBuffer, RepeatAndReplaceMakeTheExpectedBytes) {
  CVXBIN v = Bin("ab");
  ASSERT_EQ(v.nRepete(v, 3), 0);
  EXPECT_EQ(Of(v), "ababab");
  struct Case {
    int at, n;
    Bytes with, expected;
  };
  const Case cases[] = {
      {1, 2, "XYZ", "aXYZbab"}, {4, 99, "!", "abab!"}, {0, 6, "", ""},
      {6, 1, "no", "ababab"},   {-1, 1, "no", "ababab"}, {2, -1, "", "ab"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.at << "," << c.n);
    CVXBIN r = Bin("ababab");
    CVXBIN shared(r);
    ASSERT_EQ(r.Remplace(c.at, c.n, Bin(c.with)), 0);
    EXPECT_EQ(Of(r), c.expected);
    EXPECT_EQ(Of(shared), "ababab");
  }
  CVXBIN self = Bin("abc");
  ASSERT_EQ(self.Remplace(1, 1, self), 0);
  EXPECT_EQ(Of(self), "aabcc");
}

TEST_F(BinaryBuffer, SizesAndLimits) {
  CVXBIN v;
  ASSERT_EQ(v.nSetSize(3, 0), 0);
  EXPECT_EQ(v.nGetSize(), 3);
  ASSERT_EQ(v.nSetMemorySize(100, 0), 0);
  EXPECT_EQ(v.nGetSize(), 3);
  EXPECT_GE(StrMemHeader(v.pbyGet())->nCapacity, 100u);
  v.__FillDynBin(U("xyz"), 3, 3);
  EXPECT_EQ(v.nGetSize(), 6);
  v.SetUtilSize(1000);  // beyond the capacity: refused
  EXPECT_EQ(v.nGetSize(), 6);

  const Bytes before = Of(v);
  struct Case {
    const char* name;
    std::function<int()> op;
  };
  const Case cases[] = {
      {"assign past the limit", [&] { return v.nAssign(U("x"), kCountedMaxUnits + 1, 0); }},
      {"assign a negative length", [&] { return v.nAssign(U("x"), -2, 0); }},
      {"size past the limit", [&] { return v.nSetSize(kCountedMaxUnits + 1, 0); }},
      {"negative size", [&] { return v.nSetSize(-1, 0); }},
      {"reserve past the limit", [&] { return v.nSetMemorySize(kCountedMaxUnits + 1, 0); }},
      {"reserve a negative size", [&] { return v.nSetMemorySize(-1, 0); }},
      {"append past the limit", [&] { return v.nConcat(U("x"), kCountedMaxUnits - 2); }},
      {"repeat past the limit", [&] { return v.nRepete(v, kCountedMaxUnits / 3); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.op(), kCountedTooLong);
    EXPECT_EQ(Of(v), before);
  }
  CVXBIN init;
  EXPECT_EQ(init.nAssignInit(U("x"), kCountedMaxUnits + 1), kCountedTooLong);
  EXPECT_EQ(init.pbyGet(), nullptr);
}

TEST_F(BinaryBuffer, AFailedAllocationLeavesTheValueAsItWas) {
  struct Case {
    const char* name;
    std::function<int(CVXBIN&, CVXBIN&)> op;
  };
  const Case cases[] = {
      {"append", [](CVXBIN& v, CVXBIN&) { return v.nConcat(U("more"), 4); }},
      {"assign", [](CVXBIN& v, CVXBIN&) { return v.nAssign(U("other text"), 10, 0); }},
      {"truncate", [](CVXBIN& v, CVXBIN&) { return v.Tronque(2); }},
      {"set size", [](CVXBIN& v, CVXBIN&) { return v.nSetSize(50, 0); }},
      {"reserve", [](CVXBIN& v, CVXBIN&) { return v.nSetMemorySize(50, 0); }},
      {"replace", [](CVXBIN& v, CVXBIN& w) { return v.Remplace(1, 1, w); }},
      {"repeat", [](CVXBIN& v, CVXBIN& w) { return v.nRepete(w, 3); }},
      {"separator", [](CVXBIN& v, CVXBIN& w) { return v.nConcatSeparateur(&w, &w, 0); }},
      {"concat init taking", [](CVXBIN& v, CVXBIN& w) {
         CVXBIN r;
         const int n = r.nConcatInit(&w, &v, 1);
         if (n == 0) w = r;
         return n;
       }},
      {"middle", [](CVXBIN& v, CVXBIN& w) { return w.nMilieu(&v, 1, 2); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (int nAt = 1; nAt < 16; ++nAt) {
      CVXBIN v = Bin("value"), w = Bin("with"), shared(v);
      const int nBefore = Control().nStrAllocations();
      Control().FailStrAllocationAt(nAt);
      const int nResult = c.op(v, w);
      const bool bFailed = Control().nStrAllocations() - nBefore >= nAt;
      Control().FailStrAllocationAt(0);
      if (!bFailed) {
        EXPECT_EQ(nResult, 0);
        EXPECT_GT(nAt, 1) << "the operation asked nothing of the allocator";
        break;
      }
      EXPECT_EQ(nResult, kStandInAllocFailure);
      EXPECT_EQ(Of(v), "value");
      EXPECT_EQ(Of(w), "with");
      EXPECT_EQ(Of(shared), "value");
    }
  }
}

TEST_F(BinaryBuffer, CodePageConversionsFillTheBytes) {
  CVXBIN v;
  ASSERT_EQ(v.nAffecteToUNICODE("\xE9t\xE9", -1, 1252, 0), 0);
  ASSERT_EQ(v.nGetSize(), 12);
  EXPECT_EQ(reinterpret_cast<const wchar_t*>(v.pbyGet())[0], L'\xE9');
  CVXBIN a;
  ASSERT_EQ(a.nAffecteToANSI(&v, 65001, 0, nullptr, nullptr), 0);
  EXPECT_EQ(Of(a), "\xC3\xA9t\xC3\xA9");
  ASSERT_EQ(a.nAffecteToANSI(L"x", 1, 1252, 0, nullptr, nullptr, 3), 0);
  EXPECT_EQ(Of(a), "x");
  EXPECT_GE(StrMemHeader(a.pbyGet())->nCapacity, 4u);
  ASSERT_EQ(a.nAffecteANSIToANSI("caf\xE9", -1, 1252, 65001), 0);
  EXPECT_EQ(Of(a), "caf\xC3\xA9");
  ASSERT_EQ(a.nAffecteANSIToANSI(reinterpret_cast<const char*>(a.pbyGet()), a.nGetSize(), 65001, 1252), 0)
      << "from the value's own bytes";
  EXPECT_EQ(Of(a), "caf\xE9");
}

// Random operations on values that share buffers, against std::string.
TEST_F(BinaryBuffer, RandomOperationsAgreeWithAReferenceModel) {
  std::mt19937 rng(77);
  constexpr int kValues = 4;
  std::vector<CVXBIN> values(kValues);
  std::vector<Bytes> model(kValues);
  auto randomBytes = [&] {
    Bytes b(rng() % 6, ' ');
    for (char& c : b) c = static_cast<char>('a' + rng() % 3);
    return b;
  };
  for (int nStep = 0; nStep < 3000; ++nStep) {
    const int i = static_cast<int>(rng() % kValues), j = static_cast<int>(rng() % kValues);
    const Bytes piece = randomBytes();
    const int at = static_cast<int>(rng() % 8) - 1, n = static_cast<int>(rng() % 8) - 1;
    Bytes& m = model[i];
    const Bytes other = model[j];
    switch (rng() % 7) {
      case 0:
        ASSERT_EQ(values[i].nAssign(U(piece), static_cast<int>(piece.size()), 0), 0);
        m = piece;
        break;
      case 1:
        ASSERT_EQ(values[i].nConcat(U(piece), static_cast<int>(piece.size())), 0);
        m += piece;
        break;
      case 2:
        values[i] = values[j];
        m = other;
        break;
      case 3:
        ASSERT_EQ(values[i].Tronque(n), 0);
        if (n >= 0 && static_cast<size_t>(n) <= m.size()) m.resize(n);
        break;
      case 4:
        ASSERT_EQ(values[i].Remplace(at, n, values[j]), 0);
        if (at >= 0 && static_cast<size_t>(at) < m.size()) m.replace(at, n < 0 ? Bytes::npos : n, other);
        break;
      case 5: {
        ASSERT_EQ(values[j].nMilieu(&values[i], at, n), 0);
        m = (at < 0 || static_cast<size_t>(at) >= other.size() || n == 0)
                ? Bytes()
                : other.substr(at, n < 0 ? Bytes::npos : n);
        break;
      }
      case 6:
        ASSERT_EQ(values[i].nConcat(values[j].pbyGet(), values[j].nGetSize()), 0);
        m += other;
        break;
    }
    for (int k = 0; k < kValues; ++k) ASSERT_EQ(Of(values[k]), model[k]) << "step " << nStep << " value " << k;
  }
}

}  // namespace
