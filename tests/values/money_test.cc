// CMoney checked against a model: a plain sign-and-magnitude integer of 256
// bits with schoolbook arithmetic and bit-by-bit division, slow and obvious.
// (The 32-bit target has no __int128; the model is wide enough for every
// product and quotient of two 80-bit values.)
#include "values/money.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

// ---------------------------------------------------------------------------
// The model.

using Mag = std::array<uint32_t, 8>;

int MagCmp(const Mag& a, const Mag& b) {
  for (int i = 7; i >= 0; --i)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

Mag MagAdd(const Mag& a, const Mag& b) {
  Mag r{};
  uint64_t c = 0;
  for (int i = 0; i < 8; ++i) {
    c += uint64_t(a[i]) + b[i];
    r[i] = uint32_t(c);
    c >>= 32;
  }
  return r;
}

Mag MagSub(const Mag& a, const Mag& b) {  // a >= b
  Mag r{};
  int64_t borrow = 0;
  for (int i = 0; i < 8; ++i) {
    int64_t d = int64_t(a[i]) - b[i] - borrow;
    borrow = d < 0;
    r[i] = uint32_t(d);
  }
  return r;
}

Mag MagMul(const Mag& a, const Mag& b) {
  Mag r{};
  for (int i = 0; i < 8; ++i)
    for (int j = 0; i + j < 8; ++j) {
      uint64_t c = uint64_t(a[i]) * b[j];
      for (int k = i + j; k < 8 && c; ++k) {
        c += r[k];
        r[k] = uint32_t(c);
        c >>= 32;
      }
    }
  return r;
}

bool Bit(const Mag& a, int i) { return (a[i / 32] >> (i % 32)) & 1; }

void MagDivMod(const Mag& a, const Mag& b, Mag* q, Mag* r) {
  *q = Mag{};
  *r = Mag{};
  for (int i = 255; i >= 0; --i) {
    *r = MagAdd(*r, *r);
    (*r)[0] |= Bit(a, i);
    if (MagCmp(*r, b) >= 0) {
      *r = MagSub(*r, b);
      (*q)[i / 32] |= 1u << (i % 32);
    }
  }
}

Mag MagOf(uint64_t v) {
  Mag m{};
  m[0] = uint32_t(v);
  m[1] = uint32_t(v >> 32);
  return m;
}

Mag Pow2(int n) {
  Mag m{};
  m[n / 32] = 1u << (n % 32);
  return m;
}

struct Big {
  bool neg = false;
  Mag mag{};
};

Big Norm(Big x) {
  if (MagCmp(x.mag, Mag{}) == 0) x.neg = false;
  return x;
}

Big Neg(Big x) {
  x.neg = !x.neg;
  return Norm(x);
}

Big Add(const Big& a, const Big& b) {
  if (a.neg == b.neg) return Norm({a.neg, MagAdd(a.mag, b.mag)});
  if (MagCmp(a.mag, b.mag) >= 0) return Norm({a.neg, MagSub(a.mag, b.mag)});
  return Norm({b.neg, MagSub(b.mag, a.mag)});
}

int Cmp(const Big& a, const Big& b) {
  if (a.neg != b.neg) return a.neg ? -1 : 1;
  int c = MagCmp(a.mag, b.mag);
  return a.neg ? -c : c;
}

// |n| / |d| rounded half away from zero, sign of n * d.
Big DivRound(const Big& n, const Big& d) {
  Mag q, r;
  MagDivMod(n.mag, d.mag, &q, &r);
  if (MagCmp(MagAdd(r, r), d.mag) >= 0) q = MagAdd(q, MagOf(1));
  return Norm({n.neg != d.neg, q});
}

const Big kMillionBig{false, MagOf(1000000)};

Big FromMoney(const CMoney& m) {
  Mag raw{};
  raw[0] = m.w[0] | uint32_t(m.w[1]) << 16;
  raw[1] = m.w[2] | uint32_t(m.w[3]) << 16;
  raw[2] = m.w[4];
  if (m.w[4] & 0x8000) return Norm({true, MagSub(Pow2(80), raw)});
  return {false, raw};
}

bool InRange(const Big& x) {
  return x.neg ? MagCmp(x.mag, Pow2(79)) <= 0 : MagCmp(x.mag, Pow2(79)) < 0;
}

CMoney ToMoney(const Big& x) {
  Mag raw = x.neg ? MagSub(Pow2(80), x.mag) : x.mag;
  CMoney m;
  for (int i = 0; i < 5; ++i) m.w[i] = uint16_t(raw[i / 2] >> (16 * (i % 2)));
  return m;
}

uint32_t MagDivSmall(Mag* a, uint32_t d) {
  uint64_t rem = 0;
  for (int i = 7; i >= 0; --i) {
    uint64_t cur = rem << 32 | (*a)[i];
    (*a)[i] = uint32_t(cur / d);
    rem = cur % d;
  }
  return uint32_t(rem);
}

std::string MagText(Mag a, uint32_t radix) {
  std::string s;
  do {
    s.insert(s.begin(), "0123456789ABCDEF"[MagDivSmall(&a, radix)]);
  } while (MagCmp(a, Mag{}) != 0);
  return s;
}

// The shortest decimal text of a count of millionths.
std::string DecimalText(const Big& x) {
  Mag q = x.mag;
  uint32_t frac = MagDivSmall(&q, 1000000);
  std::string s = (x.neg ? "-" : "") + MagText(q, 10);
  if (frac != 0) {
    char f[8];
    std::snprintf(f, sizeof f, "%06u", frac);
    std::string fs = f;
    fs.erase(fs.find_last_not_of('0') + 1);
    s += "." + fs;
  }
  return s;
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
std::string Narrow(const wchar_t* s) {
  std::string r;
  for (; *s; ++s) r += char(*s);
  return r;
}

std::string TextOf(const CMoney& m) {
  wchar_t buf[kMoneyDecimalTextSize];
  return Narrow(pszMonetaireVersChaineC(buf, &m));
}

CMoney Read(const std::wstring& text, bool* ok = nullptr) {
  CMoney m{};
  CMoney* r = pstChaineVersMonetaire(&m, text.c_str());
  if (ok) *ok = r == &m;
  return m;
}

CMoney Money(const char* text) {
  bool ok;
  CMoney m = Read(Wide(text), &ok);
  EXPECT_TRUE(ok) << text;
  return m;
}

bool Same(const CMoney& a, const CMoney& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Random 80-bit values with a random bit length, so that small, large and
// boundary-near values all come up.
class RandomMoney {
 public:
  explicit RandomMoney(uint32_t seed) : rng_(seed) {}

  CMoney Next() {
    int bits = int(rng_() % 81);
    CMoney m{};
    for (int i = 0; i < 5; ++i) m.w[i] = uint16_t(rng_());
    for (int i = 0; i < 5; ++i) {
      int keep = bits - 16 * i;
      if (keep <= 0) m.w[i] = 0;
      else if (keep < 16) m.w[i] &= uint16_t((1u << keep) - 1);
    }
    if (bits == 80 || rng_() % 2 == 0) return m;
    return *NegMonetaire(&m);
  }

  uint32_t operator()() { return rng_(); }

 private:
  std::mt19937 rng_;
};

constexpr int kRounds = 20000;

// ---------------------------------------------------------------------------
// Arithmetic against the model.

TEST(Money, AddingAndSubtractingMatchTheModelAndFlagOverflowExactly) {
  RandomMoney gen(1);
  for (int i = 0; i < kRounds; ++i) {
    CMoney a = gen.Next(), b = gen.Next();
    for (bool subtract : {false, true}) {
      Big expected = subtract ? Add(FromMoney(a), Neg(FromMoney(b))) : Add(FromMoney(a), FromMoney(b));
      CMoney r = a;
      bool ok = (subtract ? pstSubMonetaire(&r, &b) : pstAddMonetaire(&r, &b)) == &r;
      ASSERT_EQ(ok, InRange(expected)) << TextOf(a) << (subtract ? " - " : " + ") << TextOf(b);
      if (ok) {
        ASSERT_TRUE(Same(r, ToMoney(expected))) << TextOf(a) << " +- " << TextOf(b);
      }
    }
  }
}

TEST(Money, MultiplyingMatchesTheModelRoundedHalfAwayFromZero) {
  RandomMoney gen(2);
  for (int i = 0; i < kRounds; ++i) {
    CMoney a = gen.Next(), b = gen.Next();
    Big fa = FromMoney(a), fb = FromMoney(b);
    Big product{fa.neg != fb.neg, MagMul(fa.mag, fb.mag)};
    Big expected = DivRound(Norm(product), kMillionBig);
    CMoney r = a;
    bool ok = pstMulMonetaire(&r, &b) == &r;
    ASSERT_EQ(ok, InRange(expected)) << TextOf(a) << " * " << TextOf(b);
    if (ok) {
      ASSERT_TRUE(Same(r, ToMoney(expected))) << TextOf(a) << " * " << TextOf(b);
    }
  }
}

TEST(Money, DividingMatchesTheModelRoundedHalfAwayFromZero) {
  RandomMoney gen(3);
  for (int i = 0; i < kRounds; ++i) {
    CMoney a = gen.Next(), b = gen.Next();
    Big fa = FromMoney(a), fb = FromMoney(b);
    CMoney r = a;
    bool ok = pstDivMonetaire(&r, &b) == &r;
    if (MagCmp(fb.mag, Mag{}) == 0) {
      ASSERT_FALSE(ok);
      continue;
    }
    Big expected = DivRound(Norm({fa.neg, MagMul(fa.mag, kMillionBig.mag)}), fb);
    ASSERT_EQ(ok, InRange(expected)) << TextOf(a) << " / " << TextOf(b);
    if (ok) {
      ASSERT_TRUE(Same(r, ToMoney(expected))) << TextOf(a) << " / " << TextOf(b);
    }
  }
}

TEST(Money, RoundingMatchesTheModelInEveryDirection) {
  RandomMoney gen(4);
  for (int i = 0; i < kRounds / 4; ++i) {
    CMoney a = gen.Next();
    Big fa = FromMoney(a);
    for (short n = 0; n <= 5; ++n) {
      static const uint32_t kUnit[] = {1000000, 100000, 10000, 1000, 100, 10};
      Mag q, rem;
      MagDivMod(fa.mag, MagOf(kUnit[n]), &q, &rem);
      bool cut = MagCmp(rem, Mag{}) != 0;
      bool halfOrMore = MagCmp(MagAdd(rem, rem), MagOf(kUnit[n])) >= 0;
      struct Way {
        const char* name;
        CMoney* (*fn)(CMoney*, short);
        bool up;  // whether the magnitude goes up to the next unit
      } ways[] = {
          {"nearest", pstArrMonetaire, halfOrMore},
          {"toward minus infinity", pstArrMonetaireInf, cut && fa.neg},
          {"toward plus infinity", pstArrMonetaireSup, cut && !fa.neg},
      };
      for (const Way& w : ways) {
        Mag mq = w.up ? MagAdd(q, MagOf(1)) : q;
        Big expected = Norm({fa.neg, MagMul(mq, MagOf(kUnit[n]))});
        CMoney r = a;
        bool ok = w.fn(&r, n) == &r;
        ASSERT_EQ(ok, InRange(expected)) << w.name << " " << n << " " << TextOf(a);
        if (ok) {
          ASSERT_TRUE(Same(r, ToMoney(expected))) << w.name << " " << n << " " << TextOf(a);
        }
      }
    }
  }
}

TEST(Money, IntegerAndFractionPartsMatchTheModel) {
  RandomMoney gen(5);
  for (int i = 0; i < kRounds / 4; ++i) {
    CMoney a = gen.Next();
    Big fa = FromMoney(a);
    Mag q, rem;
    MagDivMod(fa.mag, kMillionBig.mag, &q, &rem);
    CMoney frac = a;
    ASSERT_EQ(pstDecMonetaire(&frac), &frac);
    ASSERT_TRUE(Same(frac, ToMoney({false, rem})));
    // Floor: a negative value with a fraction goes one lower.
    bool down = fa.neg && MagCmp(rem, Mag{}) != 0;
    Big floor = Norm({fa.neg, MagMul(down ? MagAdd(q, MagOf(1)) : q, kMillionBig.mag)});
    CMoney ent = a;
    bool ok = pstEntMonetaire(&ent) == &ent;
    ASSERT_EQ(ok, InRange(floor)) << TextOf(a);
    if (ok) {
      ASSERT_TRUE(Same(ent, ToMoney(floor))) << TextOf(a);
    }
  }
}

TEST(Money, ComparisonAndKeysOrderAsTheModel) {
  RandomMoney gen(6);
  for (int i = 0; i < kRounds; ++i) {
    CMoney a = gen.Next(), b = i % 7 == 0 ? a : gen.Next();
    int expected = Cmp(FromMoney(a), FromMoney(b));
    ASSERT_EQ(nCmpMonetaire(&a, &b), expected);
    unsigned char ka[kMoneyKeySize], kb[kMoneyKeySize];
    MonetaireVersCleZB(ka, &a);
    MonetaireVersCleZB(kb, &b);
    int c = std::memcmp(ka, kb, sizeof ka);
    ASSERT_EQ((c > 0) - (c < 0), expected);
  }
}

TEST(Money, IntegerConversionsMatchTheModel) {
  RandomMoney gen(7);
  for (int i = 0; i < kRounds; ++i) {
    CMoney a = gen.Next();
    Big fa = FromMoney(a);
    Big rounded = DivRound(fa, kMillionBig);
    uint64_t low = uint64_t(rounded.mag[0]) | uint64_t(rounded.mag[1]) << 32;
    uint64_t expected = rounded.neg ? 0 - low : low;
    ASSERT_EQ(uint64_t(lMonetaireVersTresLong(&a)), expected) << TextOf(a);
    ASSERT_EQ(lMonetaireVersTresLongSansSigne(&a), expected);
    ASSERT_EQ(uint32_t(lMonetaireVersInt32(&a)), uint32_t(expected));
    // Integer parts and back: any integer in range converts exactly.
    long long n = (long long)expected;
    CMoney back;
    bool fits = InRange(Norm({rounded.neg, MagMul(rounded.mag, kMillionBig.mag)}));
    ASSERT_EQ(pstTresLongVersMonetaire(&back, n) == &back, fits);
    if (fits) {
      ASSERT_EQ(lMonetaireVersTresLong(&back), n);
    }
  }
}

// ---------------------------------------------------------------------------
// Overflow and its edges.

TEST(Money, AddingOneToTheMaximumOverflows) {
  CMoney m;
  SetMonetaireToMax(&m);
  EXPECT_EQ(pstAddMonetaire(&m, &gstMillion), nullptr);
}

TEST(Money, IncrementAndDecrementAnswerZeroOnOverflow) {
  CMoney max, min;
  SetMonetaireToMax(&max);
  SetMonetaireToMin(&min);
  EXPECT_EQ(bIncrementeMonetaire(&max), 0);
  EXPECT_EQ(bDecrementeMonetaire(&min), 0);
  CMoney one = Money("1");
  EXPECT_EQ(bIncrementeMonetaire(&one), 1);
  EXPECT_EQ(TextOf(one), "2");
  EXPECT_EQ(bDecrementeMonetaire(&one), 1);
  EXPECT_EQ(bDecrementeMonetaire(&one), 1);
  EXPECT_EQ(TextOf(one), "0");
}

TEST(Money, SumsOfTwoNegativesThatFitAreAccepted) {
  // Sums whose top word is 0x8000 and first word 0, down to the minimum.
  CMoney min;
  SetMonetaireToMin(&min);
  struct Case {
    const char* name;
    CMoney a, b, sum;
  } cases[] = {
      {"minimum + 2^17 and -2^16", {{0, 2, 0, 0, 0x8000}}, {{0, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}},
       {{0, 1, 0, 0, 0x8000}}},
      {"minimum + 1 and -1", {{1, 0, 0, 0, 0x8000}}, {{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}}, min},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CMoney r = c.a;
    ASSERT_EQ(pstAddMonetaire(&r, &c.b), &r);
    EXPECT_TRUE(Same(r, c.sum));
  }
}

TEST(Money, SubtractingTheMinimumOverflowsUnlessTheResultFits) {
  CMoney min, zero{}, minusOne = gstMoinsMillion;
  SetMonetaireToMin(&min);
  EXPECT_EQ(pstSubMonetaire(&zero, &min), nullptr);
  CMoney r = minusOne;
  ASSERT_EQ(pstSubMonetaire(&r, &min), &r);
  EXPECT_EQ(TextOf(r), "604462909807314586.353088");
}

TEST(Money, DivisionByZeroIsRefused) {
  CMoney a = Money("1"), zero{};
  EXPECT_EQ(pstDivMonetaire(&a, &zero), nullptr);
  CMoney z{};
  EXPECT_EQ(pstDivMonetaire(&z, &zero), nullptr);
}

TEST(Money, MultiplyingByTenRefusesNegativesAndOverflow) {
  CMoney m = Money("60446290980731458.735308");
  EXPECT_EQ(bMul10Monetaire(&m), 1);
  EXPECT_EQ(TextOf(m), "604462909807314587.35308");
  EXPECT_EQ(bMul10Monetaire(&m), 0);
  CMoney neg = Money("-1");
  EXPECT_EQ(bMul10Monetaire(&neg), 0);
}

TEST(Money, MultiplyingByAWordKeepsTheSign) {
  CMoney m{{3, 0, 0, 0, 0}};
  NegMonetaire(&m);
  ASSERT_EQ(bMulMonetaireWord(&m, 1000, L'7'), 1);
  EXPECT_EQ(TextOf(m), "-0.003007");
  CMoney max;
  SetMonetaireToMax(&max);
  EXPECT_EQ(bMulMonetaireWord(&max, 2, L'0'), 0);
}

// ---------------------------------------------------------------------------
// Known values.

TEST(Money, ArithmeticGivesTheDocumentedResults) {
  struct Case {
    const char* a;
    char op;
    const char* b;
    const char* result;
  } cases[] = {
      {"1", '/', "3", "0.333333"},   {"2", '/', "3", "0.666667"},   {"-2", '/', "3", "-0.666667"},
      {"1.5", '*', "1.5", "2.25"},   {"0.000001", '*', "0.5", "0.000001"},
      {"-0.000001", '*', "0.5", "-0.000001"},                       {"0.000001", '*', "0.49", "0"},
      {"-12.5", '+', "12.5", "0"},   {"100", '-', "0.000001", "99.999999"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + c.op + c.b);
    CMoney a = Money(c.a), b = Money(c.b);
    CMoney* r = c.op == '/' ? pstDivMonetaire(&a, &b)
                : c.op == '*' ? pstMulMonetaire(&a, &b)
                : c.op == '+' ? pstAddMonetaire(&a, &b)
                              : pstSubMonetaire(&a, &b);
    ASSERT_EQ(r, &a);
    EXPECT_EQ(TextOf(a), c.result);
  }
}

TEST(Money, RoundingGivesTheDocumentedResults) {
  struct Case {
    const char* value;
    CMoney* (*fn)(CMoney*, short);
    short n;
    const char* result;
  } cases[] = {
      {"2.5", pstArrMonetaire, 0, "3"},          {"-2.5", pstArrMonetaire, 0, "-3"},
      {"1.2345", pstArrMonetaire, 3, "1.235"},   {"1.2345", pstArrMonetaire, 6, "1.2345"},
      {"1.2345", pstArrMonetaire, -1, "1.2345"}, {"1.231", pstArrMonetaireSup, 2, "1.24"},
      {"1.5", pstArrMonetaireSup, 2, "1.5"},     {"-1.231", pstArrMonetaireInf, 2, "-1.24"},
      {"1.239", pstArrMonetaireInf, 2, "1.23"},  {"-1.239", pstArrMonetaireSup, 2, "-1.23"},
      {"1.239", pstArrMonetaireInf, -3, "1.239"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.value) + " to " + std::to_string(c.n));
    CMoney m = Money(c.value);
    ASSERT_EQ(c.fn(&m, c.n), &m);
    EXPECT_EQ(TextOf(m), c.result);
  }
  CMoney m = Money("-12.5");
  EXPECT_EQ(TextOf(*pstEntMonetaire(&m)), "-13");
  m = Money("12.5");
  EXPECT_EQ(TextOf(*pstEntMonetaire(&m)), "12");
  m = Money("-12.25");
  EXPECT_EQ(TextOf(*pstDecMonetaire(&m)), "0.25");
}

TEST(Money, RoundingTheMaximumToAWholeNumberFits) {
  // 604462909807314587.353087 rounds down to ...587: the half unit added on
  // the way must not count as an overflow.
  CMoney m;
  SetMonetaireToMax(&m);
  ASSERT_EQ(pstArrMonetaire(&m, 0), &m);
  EXPECT_EQ(TextOf(m), "604462909807314587");
  SetMonetaireToMax(&m);
  EXPECT_EQ(pstArrMonetaireSup(&m, 0), nullptr);
}

TEST(Money, ConversionToInt32TestsTheIntRange) {
  struct Case {
    const char* value;
    int ok;
    int n;
  } cases[] = {
      {"2.5", 1, 2},
      {"-2.5", 1, -2},
      {"2147483647.4", 1, 2147483647},
      {"2147483648", 0, int(0x80000000u)},
      {"-2147483648", 1, int(0x80000000u)},
      {"-2147483649", 0, 2147483647},
      {"3000000000", 0, int(3000000000u)},
      {"4294967296", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    CMoney m = Money(c.value);
    int n = 12345;
    EXPECT_EQ(bMonetaireVersInt32(&m, &n), c.ok);
    EXPECT_EQ(n, c.n);
  }
  CMoney m = Money("2.5");
  EXPECT_EQ(lMonetaireVersInt32(&m), 3);
}

TEST(Money, ConversionToInt64AlwaysFits) {
  CMoney m;
  long long n = 0;
  SetMonetaireToMin(&m);
  EXPECT_EQ(bMonetaireVersTresLong(&m, &n), 1);
  EXPECT_EQ(n, -604462909807314587LL);
  SetMonetaireToMax(&m);
  EXPECT_EQ(bMonetaireVersTresLong(&m, &n), 1);
  EXPECT_EQ(n, 604462909807314587LL);
  unsigned long long u = 0;
  m = Money("2.5");
  EXPECT_EQ(bMonetaireVersTresLongSansSigne(&m, &u), 1);
  EXPECT_EQ(u, 3u);
}

TEST(Money, IntegersConvertExactlyOrAreRefused) {
  CMoney m;
  ASSERT_EQ(pstInt32VersMonetaire(&m, -2147483647 - 1), &m);
  EXPECT_EQ(TextOf(m), "-2147483648");
  EXPECT_EQ(nCmpMonetaireEtInt32(&m, -2147483647 - 1), 0);
  EXPECT_EQ(nCmpMonetaireEtInt32(&m, 0), -1);
  ASSERT_EQ(pstTresLongSansSigneVersMonetaire(&m, 604462909807314587ULL), &m);
  EXPECT_EQ(TextOf(m), "604462909807314587");
  EXPECT_EQ(pstTresLongSansSigneVersMonetaire(&m, 604462909807314588ULL), nullptr);
  EXPECT_EQ(pstTresLongVersMonetaire(&m, std::numeric_limits<long long>::min()), nullptr);
  EXPECT_EQ(pstTresLongVersMonetaire(&m, -604462909807314588LL), nullptr);
}

TEST(Money, NullOperandsCompareAsDocumented) {
  CMoney zero{};
  EXPECT_EQ(nCmpMonetaire(nullptr, &zero), 1);
  EXPECT_EQ(nCmpMonetaire(nullptr, nullptr), 1);
  EXPECT_EQ(nCmpMonetaire(&zero, nullptr), -1);
}

TEST(Money, KeysOfMinusOneZeroAndAMillionthAscend) {
  CMoney values[] = {gstMoinsMillion, CMoney{}, CMoney{{1, 0, 0, 0, 0}}};
  unsigned char keys[3][kMoneyKeySize];
  for (int i = 0; i < 3; ++i) MonetaireVersCleZB(keys[i], &values[i]);
  EXPECT_LT(std::memcmp(keys[0], keys[1], kMoneyKeySize), 0);
  EXPECT_LT(std::memcmp(keys[1], keys[2], kMoneyKeySize), 0);
  const unsigned char zeroKey[kMoneyKeySize] = {0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(keys[1], zeroKey, kMoneyKeySize), 0);
}

TEST(Money, ConstantsHoldTheirCounts) {
  EXPECT_EQ(TextOf(gstMillion), "1");
  EXPECT_EQ(TextOf(gstMoinsMillion), "-1");
  EXPECT_EQ(TextOf(gstVersLong), "0.065536");
  CMoney m;
  EXPECT_EQ(TextOf(*SetMonetaireToMin(&m)), "-604462909807314587.353088");
  EXPECT_EQ(TextOf(*SetMonetaireToMax(&m)), "604462909807314587.353087");
}

// ---------------------------------------------------------------------------
// Texts.

TEST(Money, DecimalTextsReadAsDocumented) {
  struct Case {
    const wchar_t* text;
    const char* value;  // null: refused
  } cases[] = {
      {L"12.3456789", "12.345678"},
      {L"-0.5", "-0.5"},
      {L" +7", "7"},
      {L"", "0"},
      {L"1e3", "1"},
      {L"12abc", "12"},
      {L"5", "5"},
      {L"5.", "5"},
      {L"5.0", "5"},
      {L".5", "0.5"},
      {L"\xFF0D" L"3.25", "-3.25"},
      {L"\xFF0B" L"3", "3"},
      {L"- 3", "0"},
      {L"1.2.3", "1.2"},
      {L"\xFF11", "0"},  // fullwidth digit: not a digit here
      {L"604462909807314587.353087", "604462909807314587.353087"},
      {L"-604462909807314587.353088", "-604462909807314587.353088"},
      {L"604462909807314587.353088", nullptr},
      {L"-604462909807314587.353089", nullptr},
      {L"604462909807314588", nullptr},
      {L"0000000000000000000000000000000000000001.5", "1.5"},
      {L"604462909807314587.3530879999999999", "604462909807314587.353087"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    bool ok;
    CMoney m = Read(c.text, &ok);
    ASSERT_EQ(ok, c.value != nullptr);
    if (ok) {
      EXPECT_EQ(TextOf(m), c.value);
    }
  }
}

TEST(Money, ALongDigitRunIsRefusedAsAnOverflow) {
  for (const std::wstring& run : {std::wstring(200, L'9'), std::wstring(25, L'1'), L"-" + std::wstring(200, L'7'),
                                  L"0." + std::wstring(200, L'9') + L"x" + std::wstring(200, L'9')}) {
    SCOPED_TRACE(Narrow(run.c_str()));
    bool ok;
    CMoney m = Read(run, &ok);
    if (run[0] == L'0') {
      EXPECT_TRUE(ok);
      EXPECT_EQ(TextOf(m), "0.999999");
    } else {
      EXPECT_FALSE(ok);
    }
  }
}

TEST(Money, DecimalTextsWriteAsDocumented) {
  struct Case {
    CMoney m;
    const char* text;
  } cases[] = {
      {{{0, 0, 0, 0, 0}}, "0"},
      {{{1, 0, 0, 0, 0}}, "0.000001"},
      {{{5, 0, 0, 0, 0}}, "0.000005"},
      {{{0x2F70, 0xFFFC, 0xFFFF, 0xFFFF, 0xFFFF}}, "-0.25"},  // R = -250,000
      {{{0xE100, 0x05F5, 0, 0, 0}}, "100"},
  };
  for (const Case& c : cases) EXPECT_EQ(TextOf(c.m), c.text);
}

TEST(Money, DecimalTextsMatchTheModelAndReadBack) {
  RandomMoney gen(8);
  for (int i = 0; i < kRounds; ++i) {
    CMoney a = gen.Next();
    std::string text = TextOf(a);
    ASSERT_EQ(text, DecimalText(FromMoney(a)));
    ASSERT_LT(text.size(), size_t(kMoneyDecimalTextSize));
    bool ok;
    CMoney back = Read(Wide(text), &ok);
    ASSERT_TRUE(ok) << text;
    ASSERT_TRUE(Same(back, a)) << text;
  }
}

TEST(Money, RandomDecimalTextsReadAsTheModel) {
  RandomMoney gen(9);
  for (int i = 0; i < kRounds; ++i) {
    std::string intDigits, fracDigits;
    int ni = int(gen() % 24), nf = int(gen() % 10);
    for (int k = 0; k < ni; ++k) intDigits += char('0' + gen() % 10);
    for (int k = 0; k < nf; ++k) fracDigits += char('0' + gen() % 10);
    bool negative = gen() % 2;
    std::string text = (negative ? "-" : "") + intDigits + (gen() % 2 || nf ? "." : "") + fracDigits;
    // The model: the integer digits and six decimals (cut, not rounded).
    Mag mag{};
    std::string all = intDigits + (fracDigits + "000000").substr(0, 6);
    for (char ch : all) mag = MagAdd(MagMul(mag, MagOf(10)), MagOf(uint32_t(ch - '0')));
    Big expected = Norm({negative, mag});
    bool ok;
    CMoney m = Read(Wide(text), &ok);
    ASSERT_EQ(ok, InRange(expected)) << text;
    if (ok) {
      ASSERT_TRUE(Same(m, ToMoney(expected))) << text;
    }
  }
}

TEST(Money, HexadecimalTextsMatchTheModelAndReadBack) {
  RandomMoney gen(10);
  for (int i = 0; i < kRounds; ++i) {
    CMoney a = gen.Next();
    Big fa = FromMoney(a);
    Mag raw = fa.neg ? MagSub(Pow2(80), fa.mag) : fa.mag;
    wchar_t hex[kMoneyHexTextSize];
    pszMonetaireVersChaineHexa(hex, &a);
    ASSERT_EQ(Narrow(hex), MagText(raw, 16));
    CMoney back{};
    ASSERT_EQ(pstChaineHexaVersMonetaire(&back, hex), &back);
    ASSERT_TRUE(Same(back, a)) << Narrow(hex);
    // Octal: a negative value as the 81-bit two's complement.
    wchar_t oct[kMoneyOctalTextSize];
    pszMonetaireVersChaineOctale(oct, &a);
    ASSERT_EQ(Narrow(oct), MagText(fa.neg ? MagSub(Pow2(81), fa.mag) : fa.mag, 8));
  }
}

TEST(Money, HexadecimalTextsReadAsDocumented) {
  struct Case {
    const wchar_t* text;
    const char* hex;  // as written back; null: refused
  } cases[] = {
      {L"  7a120", "7A120"},
      {L"", "0"},
      {L"xyz", "0"},
      {L"ff-1", "FF"},
      {L"FFFFFFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFFFFFF"},
      {L"0000000000FFFFFFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFFFFFF"},
      {L"1FFFFFFFFFFFFFFFFFFFF", nullptr},  // 21 significant digits
      {L"123456789012345678901234567890", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    std::wstring text = c.text;
    CMoney m{};
    CMoney* r = pstChaineHexaVersMonetaire(&m, text.data());
    ASSERT_EQ(r != nullptr, c.hex != nullptr);
    EXPECT_EQ(text, c.text);  // the caller's text is left as it was
    wchar_t hex[kMoneyHexTextSize];
    if (r) {
      EXPECT_EQ(Narrow(pszMonetaireVersChaineHexa(hex, &m)), c.hex);
    }
  }
}

TEST(Money, OctalTextsOfTheEdges) {
  CMoney m{};
  wchar_t oct[kMoneyOctalTextSize];
  EXPECT_EQ(Narrow(pszMonetaireVersChaineOctale(oct, &m)), "0");
  m = CMoney{{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}};  // R = -1
  EXPECT_EQ(Narrow(pszMonetaireVersChaineOctale(oct, &m)), "777777777777777777777777777");
  SetMonetaireToMin(&m);
  EXPECT_EQ(Narrow(pszMonetaireVersChaineOctale(oct, &m)), "600000000000000000000000000");
  SetMonetaireToMax(&m);
  EXPECT_EQ(Narrow(pszMonetaireVersChaineOctale(oct, &m)), "177777777777777777777777777");
}

TEST(Money, DoublesConvertAsSixDecimalTextsDo) {
  RandomMoney gen(11);
  for (int i = 0; i < kRounds / 4; ++i) {
    double x = std::ldexp(double(gen()) / 4294967296.0, int(gen() % 60)) * (gen() % 2 ? 1 : -1);
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", x);
    CMoney m;
    ASSERT_EQ(pstDoubleVersMonetaire(&m, x), &m) << text;
    ASSERT_TRUE(Same(m, Money(text))) << text;
    ASSERT_EQ(dMonetaireVersDouble(&m), std::strtod(TextOf(m).c_str(), nullptr)) << text;
  }
}

TEST(Money, NonFiniteAndOutOfRangeDoublesAreRefused) {
  const double cases[] = {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300, -1e300, 6.1e17, -6.1e17, 1e18};
  for (double x : cases) {
    SCOPED_TRACE(x);
    CMoney m{};
    EXPECT_EQ(pstDoubleVersMonetaire(&m, x), nullptr);
  }
  CMoney m;
  ASSERT_EQ(pstDoubleVersMonetaire(&m, -1e-9), &m);  // "-0.000000"
  EXPECT_TRUE(bMonetaireZero(&m));
}

TEST(Money, NoTextReaderRunsPastItsInput) {
  // Any wide text: the readers stop at the terminator whatever came before.
  RandomMoney gen(12);
  const wchar_t alphabet[] = L"0123456789.+- aF\xFF0B\xFF0D\xFF10\x7FFFFFFF";
  for (int i = 0; i < kRounds / 4; ++i) {
    std::wstring text;
    int n = int(gen() % 40);
    for (int k = 0; k < n; ++k) text += alphabet[gen() % (sizeof alphabet / sizeof *alphabet - 1)];
    CMoney m{};
    if (pstChaineVersMonetaire(&m, text.c_str())) {
      std::string back = TextOf(m);
      ASSERT_LT(back.size(), size_t(kMoneyDecimalTextSize));
    }
    pstChaineHexaVersMonetaire(&m, text.c_str());
  }
  CMoney m{{1, 0, 0, 0, 0}};
  EXPECT_EQ(pstChaineVersMonetaire(&m, nullptr), &m);
  EXPECT_TRUE(bMonetaireZero(&m));
}

}  // namespace
