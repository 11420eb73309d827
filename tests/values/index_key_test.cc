// Sortable index keys: the byte layouts, key sizes, the fast sort table, text
// keys, and the order of keys against the server's comparison.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "core/xmalloc.h"
#include "driver/na_driver.h"
#include "host/harness/host_harness.h"
#include "tests/support/bound_framework.h"
#include "values/any.h"
#include "values/index_key.h"
#include "values/money.h"
#include "values/value_calc.h"
#include "values/value_conversion.h"

namespace {

using Bytes = std::vector<unsigned char>;

int Sign(int n) { return (n > 0) - (n < 0); }
int MemSign(const Bytes& a, const Bytes& b) {
  size_t n = std::min(a.size(), b.size());
  int r = std::memcmp(a.data(), b.data(), n);
  if (r != 0) return Sign(r);
  return (a.size() > b.size()) - (a.size() < b.size());
}

std::string Hex(const Bytes& b) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string s;
  for (unsigned char c : b) {
    if (!s.empty()) s += ' ';
    s += kHex[c >> 4];
    s += kHex[c & 15];
  }
  return s;
}

// The key of raw value bytes through the dispatcher, trimmed to its length.
Bytes Key(eITEMTYPE eType, const void* pValue, unsigned int nValueSize, unsigned int nKeySize,
          unsigned int nFlags = 0, unsigned int nSourceFlags = 0, int* pnLength = nullptr) {
  Bytes key(nKeySize, 0xEE);
  int n = CZBConvertKey::__nConvertKey(key.data(), nKeySize, pValue, nValueSize, eType, nFlags, 0, 0,
                                       0, nSourceFlags);
  if (pnLength) *pnLength = n;
  return key;
}
template <class T>
Bytes KeyOf(eITEMTYPE eType, T v) {
  int n = 0;
  Bytes k = Key(eType, &v, sizeof v, sizeof v, 0, 0, &n);
  k.resize(static_cast<size_t>(n));
  return k;
}

// The 8 bytes of a CDateTimeBase: day, month, year (16), milliseconds (32).
Bytes DateTime(int nYear, int nMonth, int nDay, uint32_t nMs) {
  Bytes b(8);
  b[0] = static_cast<unsigned char>(nDay);
  b[1] = static_cast<unsigned char>(nMonth);
  b[2] = static_cast<unsigned char>(nYear);
  b[3] = static_cast<unsigned char>(nYear >> 8);
  std::memcpy(&b[4], &nMs, 4);
  return b;
}

// 80-bit money from its top 16 bits (signed) and low 64 bits: the count of
// millionths hi * 2^64 + lo.
CMoney Money(int16_t hi, uint64_t lo) {
  CMoney m;
  for (int i = 0; i < 4; ++i) m.w[i] = static_cast<unsigned short>(lo >> (16 * i));
  m.w[4] = static_cast<unsigned short>(hi);
  return m;
}
CMoney Money(int64_t n) { return Money(static_cast<int16_t>(n < 0 ? -1 : 0), static_cast<uint64_t>(n)); }

// How many units weigh strictly between two weights.
int UnitsBetween(uint16_t wLow, uint16_t wHigh) {
  int n = 0;
  for (uint32_t u = 0; u < 0x10000; ++u) {
    const auto* p = reinterpret_cast<const unsigned char*>(&tabUCS2FastSort[u]);
    uint16_t w = static_cast<uint16_t>(p[0] << 8 | p[1]);
    n += w > wLow && w < wHigh;
  }
  return n;
}

uint16_t Weight(char16_t c) {
  // The table holds each weight so that memory reads it big-endian.
  const auto* p = reinterpret_cast<const unsigned char*>(&tabUCS2FastSort[c]);
  return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

// ---------------------------------------------------------------------------
// Layouts

TEST(IndexKey, FixedLayoutsGiveTheirDocumentedBytes) {
  struct Case {
    const char* name;
    Bytes key;
    const char* expected;
  };
  const Bytes kDate = DateTime(2024, 1, 15, 12u * 3600u * 1000u);
  const CMoney kMinusOne = gstMoinsMillion;
  const Case cases[] = {
      {"I4 -1", KeyOf(KEY_ITEM_I4, int32_t{-1}), "7F FF FF FF"},
      {"I4 0", KeyOf(KEY_ITEM_I4, int32_t{0}), "80 00 00 00"},
      {"I4 1", KeyOf(KEY_ITEM_I4, int32_t{1}), "80 00 00 01"},
      {"R8 -0.5", KeyOf(KEY_ITEM_R8, -0.5), "40 1F FF FF FF FF FF FF"},
      {"R8 0.5", KeyOf(KEY_ITEM_R8, 0.5), "BF E0 00 00 00 00 00 00"},
      {"R4 -1", KeyOf(KEY_ITEM_R4, -1.0f), "40 7F FF FF"},
      {"UI2 0x1234", KeyOf(KEY_ITEM_UI2, uint16_t{0x1234}), "12 34"},
      {"I2 -2", KeyOf(KEY_ITEM_I2, int16_t{-2}), "7F FE"},
      {"I1 -128", KeyOf(KEY_ITEM_I1, int8_t{-128}), "00"},
      {"boolean true", KeyOf(KEY_ITEM_BOOL, int8_t{1}), "81"},
      {"UI1 0xAB", KeyOf(KEY_ITEM_UI1, uint8_t{0xAB}), "AB"},
      {"character 'A'", KeyOf(KEY_ITEM_CARA, uint8_t{'A'}), "41"},
      {"UI4 0x01020304", KeyOf(KEY_ITEM_UI4, uint32_t{0x01020304}), "01 02 03 04"},
      {"item 23 0x01020304", KeyOf(KEY_ITEM_UI4_2, uint32_t{0x01020304}), "01 02 03 04"},
      {"I8 -1", KeyOf(KEY_ITEM_I8, int64_t{-1}), "7F FF FF FF FF FF FF FF"},
      {"duration 1 ms", KeyOf(KEY_ITEM_DUREE, int64_t{1}), "80 00 00 00 00 00 00 01"},
      {"UI8 max", KeyOf(KEY_ITEM_UI8, ~uint64_t{0}), "FF FF FF FF FF FF FF FF"},
      {"date-time 2024-01-15 12:00", Key(KEY_ITEM_DATETIME, kDate.data(), 8, 8), "07 E8 01 0F 02 93 2E 00"},
      {"money -1", Key(KEY_ITEM_CY, &kMinusOne, 10, 10), "7F FF FF FF FF FF FF F0 BD C0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Hex(c.key), c.expected);
  }
}

TEST(IndexKey, NegativeZeroKeysAsZero) {
  EXPECT_EQ(KeyOf(KEY_ITEM_R8, -0.0), KeyOf(KEY_ITEM_R8, 0.0));
  EXPECT_EQ(KeyOf(KEY_ITEM_R4, -0.0f), KeyOf(KEY_ITEM_R4, 0.0f));
}

TEST(IndexKey, BinaryKeysAreLowerCaseHexFilledWithZeroCharacters) {
  struct Case {
    const char* name;
    Bytes value;
    unsigned int nKeySize;
    const char* expected;
    int nLength;
  };
  const Case cases[] = {
      {"two bytes in six", {0x0A, 0xFF}, 6, "0aff00", 4},
      {"exact fit", {0x12, 0xAB}, 4, "12ab", 4},
      {"longer than the key: whole pairs only", {0x12, 0x34, 0x56}, 5, "12340", 4},
      {"empty value", {}, 3, "000", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int n = -1;
    Bytes k = Key(KEY_ITEM_BIN, c.value.empty() ? "" : static_cast<const void*>(c.value.data()),
                  static_cast<unsigned int>(c.value.size()), c.nKeySize, 0, 0, &n);
    EXPECT_EQ(std::string(k.begin(), k.end()), c.expected);
    EXPECT_EQ(n, c.nLength);
  }
}

TEST(IndexKey, CombinationsAreCopiedUpToTheKeySize) {
  const unsigned char v[] = {9, 8, 7, 6, 5};
  int n = 0;
  Bytes k = Key(KEY_ITEM_COMBINATION, v, 5, 3, 0, 0, &n);
  EXPECT_EQ(Hex(k), "09 08 07");
  EXPECT_EQ(n, 3);
  k = Key(KEY_ITEM_COMBINATION, v, 2, 4, 0, 0, &n);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(Hex(k), "09 08 EE EE");
}

TEST(IndexKey, TypesWithoutAnEncoderGiveAnEmptyKeyAndWriteNothing) {
  const int32_t v = 5;
  for (unsigned int t : {0u, 13u, 25u, 100u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(t);
    int n = -1;
    Bytes k = Key(static_cast<eITEMTYPE>(t), &v, 4, 4, 0, 0, &n);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(Hex(k), "EE EE EE EE");
  }
}

TEST(IndexKey, BadInputGivesAnEmptyOrShortenedKeyWithoutOverrun) {
  const int64_t v = 0x0102030405060708LL;
  int n = -1;
  // A null value.
  EXPECT_EQ(CZBConvertKey::__nConvertKey(Bytes(8).data(), 8, nullptr, 8, KEY_ITEM_I8, 0, 0, 0, 0, 0), 0);
  // A value shorter than its layout's width is not read.
  Bytes k = Key(KEY_ITEM_I8, &v, 4, 8, 0, 0, &n);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(Hex(k), "EE EE EE EE EE EE EE EE");
  // A key shorter than the layout keeps the layout's first bytes.
  k = Key(KEY_ITEM_I8, &v, 8, 3, 0, 0, &n);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(Hex(k), "81 02 03");
}

// ---------------------------------------------------------------------------
// Sizes and the type tables

TEST(IndexKey, KeySizesFollowTheItemType) {
  struct Case {
    unsigned int eType, nSize, nExpected;
  };
  const Case cases[] = {{22, 0, 32}, {17, 5, 10}, {1, 5, 6},  {12, 0, 1}, {20, 8, 18},
                        {21, 0, 2},  {4, 4, 4},   {14, 10, 10}, {13, 7, 7}, {99, 3, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.eType);
    EXPECT_EQ(CZBConvertKey::nCalculateKeySize(static_cast<eITEMTYPE>(c.eType), c.nSize), c.nExpected);
  }
}

TEST(IndexKey, LanguageTypesMapToTheirItemTypes) {
  struct Case {
    unsigned short nType;
    unsigned int eItem;
  };
  const Case cases[] = {
      {1, 19},  {2, 8},   {3, 9},   {4, 10},  {5, 11},  {6, 2},   {7, 3},   {8, 4},   {9, 5},
      {10, 14}, {11, 6},  {12, 7},  {13, 22}, {16, 21}, {17, 18}, {18, 1},  {19, 1},  {21, 1},
      {22, 1},  {23, 1},  {24, 1},  {25, 1},  {128, 1}, {129, 1}, {26, 15}, {27, 16}, {28, 17},
      {29, 13}, {110, 20}, {135, 23}, {136, 24},
      // Everything else keys as a signed 32-bit number.
      {0, 4},   {14, 4},  {15, 4},  {20, 4},  {30, 4},  {111, 4}, {134, 4}, {137, 4}, {200, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nType);
    EXPECT_EQ(static_cast<unsigned int>(CZBConvertKey::eGetItemType(c.nType)), c.eItem);
  }
  EXPECT_EQ(CZBConvertKey::nCalculateKeySize(static_cast<unsigned short>(200), 4u), 4u);
  EXPECT_EQ(CZBConvertKey::nCalculateKeySize(static_cast<unsigned short>(VX_DSTRW), 8u), 18u);
  EXPECT_EQ(CZBConvertKey::nCalculateKeySize(static_cast<unsigned short>(VX_DECIMAL), 18u), 32u);
}

TEST(IndexKey, InvertingFlipsEveryBitOfEveryLength) {
  for (unsigned int n = 0; n <= 9; ++n) {
    Bytes b(n), expected(n);
    for (unsigned int i = 0; i < n; ++i) {
      b[i] = static_cast<unsigned char>(i * 37 + 1);
      expected[i] = static_cast<unsigned char>(~b[i]);
    }
    CConvertKey::__InvertKey(b.data(), n);
    EXPECT_EQ(b, expected) << n;
  }
}

// ---------------------------------------------------------------------------
// Order of the fixed layouts against reference models

template <class T, class Gen>
void ExpectKeyOrderFollowsValues(eITEMTYPE eType, Gen gen, const char* name) {
  SCOPED_TRACE(name);
  std::mt19937 rng(12345);
  for (int i = 0; i < 2000; ++i) {
    T a = gen(rng), b = gen(rng);
    if (i % 10 == 0) b = a;
    int nExpected = (a > b) - (a < b);
    Bytes ka = KeyOf(eType, a), kb = KeyOf(eType, b);
    ASSERT_EQ(MemSign(ka, kb), nExpected) << +a << " vs " << +b;
    CConvertKey::__InvertKey(ka.data(), static_cast<unsigned int>(ka.size()));
    CConvertKey::__InvertKey(kb.data(), static_cast<unsigned int>(kb.size()));
    ASSERT_EQ(MemSign(ka, kb), -nExpected) << "inverted: " << +a << " vs " << +b;
  }
}

template <class T>
T RandomBits(std::mt19937& rng) {
  uint64_t n = (uint64_t{rng()} << 32) | rng();
  // Small magnitudes too, where signs and carries meet.
  if (rng() % 4 == 0) n = static_cast<uint64_t>(static_cast<int64_t>(rng() % 7) - 3);
  return static_cast<T>(n);
}

TEST(IndexKey, IntegerKeysSortAsTheirValues) {
  ExpectKeyOrderFollowsValues<int8_t>(KEY_ITEM_I1, RandomBits<int8_t>, "I1");
  ExpectKeyOrderFollowsValues<uint8_t>(KEY_ITEM_UI1, RandomBits<uint8_t>, "UI1");
  ExpectKeyOrderFollowsValues<int16_t>(KEY_ITEM_I2, RandomBits<int16_t>, "I2");
  ExpectKeyOrderFollowsValues<uint16_t>(KEY_ITEM_UI2, RandomBits<uint16_t>, "UI2");
  ExpectKeyOrderFollowsValues<int32_t>(KEY_ITEM_I4, RandomBits<int32_t>, "I4");
  ExpectKeyOrderFollowsValues<uint32_t>(KEY_ITEM_UI4, RandomBits<uint32_t>, "UI4");
  ExpectKeyOrderFollowsValues<int64_t>(KEY_ITEM_I8, RandomBits<int64_t>, "I8");
  ExpectKeyOrderFollowsValues<uint64_t>(KEY_ITEM_UI8, RandomBits<uint64_t>, "UI8");
}

TEST(IndexKey, FloatingKeysSortAsTheirValues) {
  auto gen8 = [](std::mt19937& rng) {
    switch (rng() % 5) {
      case 0: return static_cast<double>(static_cast<int>(rng() % 7) - 3) / 2;  // -1.5..1.5, zeros
      case 1: return rng() % 2 ? HUGE_VAL : -HUGE_VAL;
      case 2: return std::ldexp(static_cast<double>(static_cast<int32_t>(rng())), -1074);  // subnormals
      default: {
        uint64_t n = (uint64_t{rng()} << 32) | rng();
        double d;
        std::memcpy(&d, &n, 8);
        return std::isnan(d) ? 0.25 : d;
      }
    }
  };
  ExpectKeyOrderFollowsValues<double>(KEY_ITEM_R8, gen8, "R8");
  auto gen4 = [&](std::mt19937& rng) {
    float f = static_cast<float>(gen8(rng));
    return std::isnan(f) ? 0.5f : f;
  };
  ExpectKeyOrderFollowsValues<float>(KEY_ITEM_R4, gen4, "R4");
}

TEST(IndexKey, DateTimeAndMoneyKeysSortAsTheirValues) {
  std::mt19937 rng(7);
  for (int i = 0; i < 2000; ++i) {
    int y1 = 1 + rng() % 9999, m1 = 1 + rng() % 12, d1 = 1 + rng() % 31;
    int y2 = rng() % 3 ? y1 : 1 + rng() % 9999, m2 = rng() % 2 ? m1 : 1 + rng() % 12,
        d2 = rng() % 2 ? d1 : 1 + rng() % 31;
    uint32_t ms1 = rng() % 86400000u, ms2 = rng() % 2 ? ms1 : rng() % 86400000u;
    auto a = std::make_tuple(y1, m1, d1, ms1), b = std::make_tuple(y2, m2, d2, ms2);
    Bytes va = DateTime(y1, m1, d1, ms1), vb = DateTime(y2, m2, d2, ms2);
    ASSERT_EQ(MemSign(Key(KEY_ITEM_DATETIME, va.data(), 8, 8), Key(KEY_ITEM_DATETIME, vb.data(), 8, 8)),
              (a > b) - (a < b));
  }
  // Money: 80-bit two's complement, checked against (signed top, unsigned
  // low) pairs, which order as the 80-bit values.
  for (int i = 0; i < 2000; ++i) {
    auto gen = [&]() {
      if (rng() % 3 == 0) return std::make_pair(static_cast<int16_t>(rng() % 3 - 1), uint64_t{rng() % 3});
      return std::make_pair(static_cast<int16_t>(rng()), (uint64_t{rng()} << 32) | rng());
    };
    auto a = gen(), b = rng() % 8 ? gen() : a;
    CMoney ma = Money(a.first, a.second), mb = Money(b.first, b.second);
    ASSERT_EQ(MemSign(Key(KEY_ITEM_CY, &ma, 10, 10), Key(KEY_ITEM_CY, &mb, 10, 10)), (a > b) - (a < b));
  }
}

// ---------------------------------------------------------------------------
// The fast sort table

TEST(FastSortTable, GivesTheSampleWeights) {
  struct Case {
    char16_t c;
    uint16_t w;
  };
  const Case cases[] = {{0x0000, 0x0000}, {u' ', 0x0A3D}, {u'0', 0x1684}, {u'9', 0x1851},
                        {u'a', 0x1877},   {u'A', 0x187B}, {u'à', 0x1884}, {u'b', 0x18D8},
                        {u'B', 0x18DB},   {u'é', 0x1966}, {u'É', 0x1967}, {u'z', 0x1D4C},
                        {u'Z', 0x1D4F},   {0xFFFF, 0xFFFF}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.c));
    EXPECT_EQ(Weight(c.c), c.w);
  }
}

TEST(FastSortTable, LowerCaseSortsJustBeforeUpperCaseAndAccentsRightAfterTheirLetter) {
  const std::u16string kLetters = u"abcdefghijklmnopqrstuvwxyz";
  for (size_t i = 0; i < kLetters.size(); ++i) {
    char16_t lower = kLetters[i], upper = static_cast<char16_t>(lower - 32);
    SCOPED_TRACE(static_cast<char>(lower));
    EXPECT_LT(Weight(lower), Weight(upper));
    EXPECT_EQ(UnitsBetween(Weight(lower), Weight(upper)), 0);
    if (i + 1 < kLetters.size()) {
      EXPECT_LT(Weight(upper), Weight(kLetters[i + 1]));
    }
  }
  // Latin-1 letters with accents: after their base's capital, before the next
  // letter; each lower case just before its capital.
  struct Accented {
    char16_t lower, upper, base;
  };
  const Accented accented[] = {{u'à', u'À', u'a'}, {u'á', u'Á', u'a'}, {u'â', u'Â', u'a'},
                               {u'ä', u'Ä', u'a'}, {u'ç', u'Ç', u'c'}, {u'è', u'È', u'e'},
                               {u'é', u'É', u'e'}, {u'ê', u'Ê', u'e'}, {u'ë', u'Ë', u'e'},
                               {u'î', u'Î', u'i'}, {u'ñ', u'Ñ', u'n'}, {u'ô', u'Ô', u'o'},
                               {u'ö', u'Ö', u'o'}, {u'ù', u'Ù', u'u'}, {u'ü', u'Ü', u'u'},
                               {u'ý', u'Ý', u'y'}};
  for (const Accented& a : accented) {
    SCOPED_TRACE(static_cast<int>(a.lower));
    EXPECT_GT(Weight(a.lower), Weight(static_cast<char16_t>(a.base - 32)));
    EXPECT_LT(Weight(a.upper), Weight(static_cast<char16_t>(a.base + 1)));
    EXPECT_LT(Weight(a.lower), Weight(a.upper));
    EXPECT_EQ(UnitsBetween(Weight(a.lower), Weight(a.upper)), 0);
  }
  // Grave before acute before circumflex, as their marks' code points.
  EXPECT_LT(Weight(u'È'), Weight(u'é'));
  EXPECT_LT(Weight(u'É'), Weight(u'ê'));
}

TEST(FastSortTable, OrdersBlanksPunctuationDigitsAndLetters) {
  const std::u16string kAscending = u"\t !/0123456789aAbB";
  for (size_t i = 0; i + 1 < kAscending.size(); ++i)
    EXPECT_LT(Weight(kAscending[i]), Weight(kAscending[i + 1])) << i;
  // Every printable ASCII character has a weight of its own.
  std::vector<uint16_t> w;
  for (char16_t c = 0x20; c < 0x7F; ++c) w.push_back(Weight(c));
  std::sort(w.begin(), w.end());
  EXPECT_EQ(std::adjacent_find(w.begin(), w.end()), w.end());
  // Compatibility forms sort as their letter.
  EXPECT_EQ(Weight(u'ａ'), Weight(u'a'));
}

// ---------------------------------------------------------------------------
// Wide texts without the server: unmapped keys

TEST(WideTextKey, UnmappedUtf16IsCopiedZeroFilledAndTerminated) {
  const char16_t text[] = u"abc";  // 8 bytes, terminator included
  int n = 0;
  Bytes k = Key(KEY_ITEM_DSTRW, text, 8, 12, 0, 0, &n);
  EXPECT_EQ(n, 8);
  EXPECT_EQ(Hex(k), "61 00 62 00 63 00 00 00 00 00 00 00");
  // A text longer than the key: cut, and the last unit is a terminator.
  k = Key(KEY_ITEM_DSTRW, text, 8, 4, 0, 0, &n);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(Hex(k), "61 00 00 00");
}

TEST(WideTextKey, FourByteTextsGoThroughUtf16) {
  const wchar_t text[] = L"a\U0001F600b";
  int n = 0;
  Bytes k = Key(KEY_ITEM_DSTRW, text, sizeof text, 14, 0, KEY_SOURCE_WIDE32, &n);
  // a, the surrogate pair, b, terminator; the rest zero.
  EXPECT_EQ(Hex(k), "61 00 3D D8 00 DE 62 00 00 00 00 00 00 00");
  EXPECT_EQ(n, 10);
  // A text cut by the key: its last unit is the terminator.
  k = Key(KEY_ITEM_DSTRW, text, sizeof text, 6, 0, KEY_SOURCE_WIDE32, &n);
  EXPECT_EQ(Hex(k), "61 00 3D D8 00 00");
  EXPECT_EQ(n, 6);
}

TEST(WideTextKey, WeightsAndByteSwapGiveBigEndianOrder) {
  const char16_t text[] = u"aB";
  Bytes k = Key(KEY_ITEM_DSTRW, text, 6, 8, KEY_FLAG_WEIGHTS);
  EXPECT_EQ(Hex(k), "18 77 18 DB 00 00 00 00");
  k = Key(KEY_ITEM_DSTRW, text, 6, 8, KEY_FLAG_BIG_ENDIAN);
  EXPECT_EQ(Hex(k), "00 61 00 42 00 00 00 00");
}

TEST(WideTextKey, KeysTooSmallForOneUnitAreEmpty) {
  const char16_t text[] = u"a";
  for (unsigned int nKeySize : {0u, 1u}) {
    Bytes k(2, 0xEE);
    EXPECT_EQ(CZBConvertKey::__nConvertKey(k.data(), nKeySize, text, 4, KEY_ITEM_DSTRW, 0, 0, 0, 0, 0), 0);
  }
}

TEST(EightBitTextKey, UnmappedTextIsCopiedAndKeepsATrailingHighMarker) {
  struct Case {
    const char* name;
    std::string text;  // terminator included where the value holds one
    unsigned int nKeySize;
    std::string expected;
    int nLength;
  };
  const Case cases[] = {
      {"plain", std::string("abc\0", 4), 6, std::string("abc\0\0\0", 6), 4},
      {"cut to the key", std::string("abcdef\0", 7), 4, std::string("abc\0", 4), 4},
      {"high marker kept", std::string("ab\xFF\0", 4), 6, std::string("ab\xFF\0\0\0", 6), 4},
      {"high marker behind blanks", std::string("a\xFF  \0", 5), 6, std::string("a\xFF  \0\0", 6), 5},
      {"empty", std::string("\0", 1), 3, std::string("\0\0\0", 3), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int n = 0;
    Bytes k = Key(KEY_ITEM_STRA, c.text.data(), static_cast<unsigned int>(c.text.size()), c.nKeySize, 0,
                  0, &n);
    EXPECT_EQ(std::string(k.begin(), k.end()), c.expected);
    EXPECT_EQ(n, c.nLength);
  }
}

// ---------------------------------------------------------------------------
// Keys that need the server: mappings, casts, decimals, the comparison entry

class ServerKey : public kqtest::BoundFrameworkTest {
 protected:
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    void* hVM = dlopen(CHostHarness::pszDefaultVMPath(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(hVM, nullptr);
    ASSERT_EQ(bInitVXConvFromVM(static_cast<HINSTANCE>(hVM), 4, 1), 1);
    ASSERT_EQ(bInitVXCalcFromVM(hVM, 4, 1), 1);
    dlclose(hVM);
    ASSERT_EQ(m_driver.bSetZB(Control().piGetZBForNA()), 1);
  }

  // The key of a value through CConvertKey into a buffer of nKeySize bytes.
  static Bytes ValueKey(CAny& v, unsigned short nType, unsigned int nKeySize, unsigned short nFlags = 0,
                        int nInt = 0, int nDec = 0, int* pnLength = nullptr) {
    Bytes k(nKeySize, 0xEE);
    int n = CConvertKey::nConvertKeyAndGetSize(&v, k.data(), nKeySize, nType, nFlags, nInt, nDec);
    if (pnLength) *pnLength = n;
    return k;
  }
  static CAny Text(const wchar_t* psz) {
    CAny v;
    v.__SetType(VX_DSTRW, 0);
    v.pclGetIntern()->SetValue(psz, static_cast<unsigned int>(wcslen(psz) * sizeof(wchar_t)));
    return v;
  }

  CNADriver m_driver;
};

TEST_F(ServerKey, ValuesGiveTheDocumentedKeysAscendingAndDescending) {
  CAny v;
  struct Case {
    const char* name;
    int n;
    unsigned short nFlags;
    const char* expected;
  };
  const Case cases[] = {
      {"-1", -1, 0, "7F FF FF FF"},
      {"0", 0, 0, "80 00 00 00"},
      {"1", 1, 0, "80 00 00 01"},
      {"1 descending", 1, KEY_FLAG_DESCENDING, "7F FF FF FE"},
      {"0 descending", 0, KEY_FLAG_DESCENDING, "7F FF FF FF"},
      {"the flags of the record cache", 1, 0x2800, "80 00 00 01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    v.SetI4(c.n);
    int n = 0;
    EXPECT_EQ(Hex(ValueKey(v, 0, 4, c.nFlags, 0, 0, &n)), c.expected);
    EXPECT_EQ(n, 4);
  }
  // Cast to the key's type first: an I4 keyed as I2, a real as R8.
  v.SetI4(-2);
  EXPECT_EQ(Hex(ValueKey(v, VX_I2, 2)), "7F FE");
  v.SetR8(0.5);
  EXPECT_EQ(Hex(ValueKey(v, VX_R8, 8)), "BF E0 00 00 00 00 00 00");
  // The descending key inverts the whole buffer, past the bytes written.
  v.SetI2(0);
  EXPECT_EQ(Hex(ValueKey(v, VX_I2, 4, KEY_FLAG_DESCENDING)), "7F FF 11 11");
}

TEST_F(ServerKey, AllocatingFormSizesTheKeyByType) {
  CAny v = Text(L"abc");
  unsigned char* pKey = reinterpret_cast<unsigned char*>(1);
  int n = CConvertKey::nConvertKeyAndGetSize(&v, &pKey, 0, 0, 0, 0);
  ASSERT_NE(pKey, nullptr);
  // 3 characters and the terminator, 4 bytes each: 16 bytes, key 2 x 16 + 2.
  EXPECT_EQ(n, 8);
  EXPECT_EQ(Hex(Bytes(pKey, pKey + 10)), "61 00 62 00 63 00 00 00 00 00");
  XMALLOC_Del_(pKey);

  v.SetI8(-1);
  n = CConvertKey::nConvertKeyAndGetSize(&v, &pKey, 0, 0, 0, 0);
  ASSERT_NE(pKey, nullptr);
  EXPECT_EQ(n, 8);
  EXPECT_EQ(Hex(Bytes(pKey, pKey + 8)), "7F FF FF FF FF FF FF FF");
  XMALLOC_Del_(pKey);
}

TEST_F(ServerKey, NullAndUntypedValuesKeyAsEmptyTextAndStayUnchanged) {
  CAny vNull;
  vNull.SetI4(42);
  vNull.SetNull(true);
  const unsigned short wBefore = vNull.wGetType();
  CAny vEmpty = Text(L"");

  Bytes kNull = ValueKey(vNull, VX_DSTRW, 10);
  EXPECT_EQ(vNull.wGetType(), wBefore) << "the caller's value lost its NULL flag";
  int nValue = 0;
  EXPECT_EQ(vNull.nGetINT(&nValue), 105);  // still flagged NULL, so no plain I4
  EXPECT_EQ(kNull, ValueKey(vEmpty, VX_DSTRW, 10));

  CAny vUntyped;
  EXPECT_EQ(ValueKey(vUntyped, VX_DSTRW, 10), kNull);
  EXPECT_EQ(vUntyped.wGetType(), 0);
  // A null pointer is a NULL value too.
  EXPECT_EQ(CConvertKey::nConvertKeyAndGetSize(nullptr, Bytes(10).data(), 10, VX_DSTRW, 0, 0, 0), 2);
}

TEST_F(ServerKey, FailedCastsGiveTheKeyOfTheTypesEmptyValue) {
  CAny v = Text(L"x");
  int n = 0;
  // "x" is no number: the key is that of 0, not the text's bytes.
  EXPECT_EQ(Hex(ValueKey(v, VX_I8, 8, 0, 0, 0, &n)), "80 00 00 00 00 00 00 00");
  EXPECT_EQ(n, 8);
  EXPECT_EQ(Hex(ValueKey(v, VX_R8, 8)), "80 00 00 00 00 00 00 00");
  EXPECT_EQ(Hex(ValueKey(v, VX_CY, 10)), "80 00 00 00 00 00 00 00 00 00");
  // An unknown target type has no layout: the empty key.
  EXPECT_EQ(CConvertKey::nConvertKeyAndGetSize(&v, Bytes(4).data(), 4, 200, 0, 0, 0), 0);
}

TEST_F(ServerKey, BufferValuesHaveNoKey) {
  CAny v;
  static const unsigned char kBytes[] = {1, 2, 3};
  v.__SetType(VX_BUFFER, 0);
  v.pclGetIntern()->SetValue(kBytes, 3);
  int n = -1;
  Bytes k = ValueKey(v, 0, 3, 0, 0, 0, &n);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(Hex(k), "EE EE EE");
}

TEST_F(ServerKey, WideTextsOfFourBytesKeyEveryCharacter) {
  // Each character counts: texts that share only their first character get
  // different keys, mapped or not.
  for (unsigned int nFlags : {0u, KEY_FLAG_BIG_ENDIAN, KEY_FLAG_WEIGHTS, KEY_FLAG_WEIGHTS | KEY_FLAG_IGNORE_CASE,
                              KEY_FLAG_NO_ACCENT | KEY_FLAG_BIG_ENDIAN}) {
    SCOPED_TRACE(nFlags);
    CAny a = Text(L"ab"), b = Text(L"ac");
    const auto nKeyFlags = static_cast<unsigned short>(nFlags);
    EXPECT_NE(ValueKey(a, 0, 18, nKeyFlags), ValueKey(b, 0, 18, nKeyFlags));
  }
}

TEST_F(ServerKey, MappedWideTextsFollowTheServersSortForm) {
  struct Case {
    const char* name;
    const wchar_t* a;
    const wchar_t* b;
    unsigned short nFlags;
    int nExpected;
  };
  const unsigned short kCase = KEY_FLAG_IGNORE_CASE | KEY_FLAG_BIG_ENDIAN;
  const Case cases[] = {
      {"unmapped: case counts", L"abc", L"ABC", KEY_FLAG_BIG_ENDIAN, 1},
      {"ignoring case", L"abc", L"ABC", kCase, 0},
      {"ignoring case, order kept", L"abc", L"ABD", kCase, -1},
      {"ignoring accents", L"été", L"ete", KEY_FLAG_NO_ACCENT | KEY_FLAG_BIG_ENDIAN, 0},
      {"ignoring punctuation", L"a-b c", L"abc", KEY_FLAG_NO_PUNCT | KEY_FLAG_BIG_ENDIAN, 0},
      {"weights ignoring case and accents", L"Élan",
       L"elan", KEY_FLAG_IGNORE_CASE | KEY_FLAG_WEIGHTS | KEY_FLAG_NO_ACCENT, 0},
      {"0x80 alone maps nothing", L"abc", L"ABC", KEY_FLAG_IGNORE_CASE, 1},
      {"beyond the BMP", L"a\U0001F600", L"a\U0001F601", kCase, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CAny a = Text(c.a), b = Text(c.b);
    EXPECT_EQ(MemSign(ValueKey(a, 0, 34, c.nFlags), ValueKey(b, 0, 34, c.nFlags)), c.nExpected);
  }
  // The length is that of the mapped form, in bytes.
  CAny v = Text(L"a b");
  int n = 0;
  ValueKey(v, 0, 34, KEY_FLAG_NO_PUNCT | KEY_FLAG_BIG_ENDIAN, 0, 0, &n);
  EXPECT_EQ(n, 4);
}

TEST_F(ServerKey, MappedKeysWithoutTheServersServiceStayUnmapped) {
  CAny a = Text(L"abc"), b = Text(L"ABC");
  ASSERT_EQ(m_driver.bSetZB(nullptr), 1);
  const unsigned short kFlags = KEY_FLAG_IGNORE_CASE | KEY_FLAG_BIG_ENDIAN;
  EXPECT_NE(ValueKey(a, 0, 18, kFlags), ValueKey(b, 0, 18, kFlags));
  EXPECT_EQ(ValueKey(a, 0, 18, kFlags), ValueKey(a, 0, 18, KEY_FLAG_BIG_ENDIAN));
}

TEST_F(ServerKey, EightBitTextsAreMappedThroughTheLocale) {
  auto key = [](const char* psz, unsigned int nFlags) {
    int n = 0;
    return Key(KEY_ITEM_STRA, psz, static_cast<unsigned int>(strlen(psz) + 1), 12, nFlags, 0, &n);
  };
  EXPECT_EQ(key("abc", KEY_FLAG_IGNORE_CASE), key("ABC", 0));
  EXPECT_EQ(key("\xE9t\xE9", KEY_FLAG_NO_ACCENT), key("ete", 0));               // "été" in CP1252
  EXPECT_EQ(key("\xE9t\xE9", KEY_FLAG_NO_ACCENT | KEY_FLAG_IGNORE_CASE), key("ETE", 0));
  EXPECT_EQ(key("a, b", KEY_FLAG_NO_PUNCT), key("ab", 0));
  EXPECT_NE(key("abc", 0), key("ABC", 0));
  // The high marker of a search bound survives the mapping (ÿ would map to Ÿ).
  EXPECT_EQ(key("ab\xFF", KEY_FLAG_IGNORE_CASE)[2], 0xFF);
  EXPECT_EQ(key("ab\xFF  ", KEY_FLAG_IGNORE_CASE)[2], 0xFF);
  // A mapped key is defined to its last byte, whatever the buffer held.
  Bytes k1(12, 0x00), k2(12, 0x77);
  CZBConvertKey::__nConvertKey(k1.data(), 12, "ab", 3, KEY_ITEM_STRA, KEY_FLAG_IGNORE_CASE, 0, 0, 0, 0);
  CZBConvertKey::__nConvertKey(k2.data(), 12, "ab", 3, KEY_ITEM_STRA, KEY_FLAG_IGNORE_CASE, 0, 0, 0, 0);
  EXPECT_EQ(k1, k2);
}

TEST_F(ServerKey, DecimalKeysFollowTheDecimalOrderEvenBeyondThePrecision) {
  auto dec = [](const wchar_t* psz) {
    CAny v = Text(psz);
    EXPECT_EQ(v.__nCastTo(VX_DECIMAL, nullptr, 1), 0) << "cast";
    return v;
  };
  CAny a = dec(L"-12.5"), b = dec(L"3.25"), c = dec(L"123456"), d = dec(L"3.250");
  int n = 0;
  Bytes ka = ValueKey(a, 0, 32, 0, 5, 2, &n);
  EXPECT_EQ(n, 32);
  Bytes kb = ValueKey(b, 0, 32, 0, 5, 2), kc = ValueKey(c, 0, 32, 0, 5, 2), kd = ValueKey(d, 0, 32, 0, 5, 2);
  EXPECT_LT(MemSign(ka, kb), 0);
  EXPECT_EQ(kb, kd);
  // 123456 has six integer digits, beyond a precision of 5 + 2: it still keys
  // above 3.25 and not as zero.
  EXPECT_GT(MemSign(kc, kb), 0);
  CAny zero = dec(L"0");
  EXPECT_NE(kc, ValueKey(zero, 0, 32, 0, 5, 2));
  // A shorter key is the prefix of the full one.
  EXPECT_EQ(ValueKey(b, 0, 5, 0, 5, 2), Bytes(kb.begin(), kb.begin() + 5));
  // The value's own object is not changed by keying.
  CAny e = dec(L"1.239");
  Bytes k1 = ValueKey(e, 0, 32, 0, 5, 2);
  EXPECT_NE(k1, ValueKey(e, 0, 32, 0, 10, 3)) << "1.24 and 1.239 at their scales";
}

TEST_F(ServerKey, ValueKeysEqualTheEncodersKeysOfTheSameBytes) {
  // Every part of the driver must build the same bytes for the same value,
  // whether it starts from a dynamic value or from the value's bytes.
  CAny v;
  v.SetI4(-123456);
  int32_t n4 = -123456;
  EXPECT_EQ(ValueKey(v, 0, 4), Key(KEY_ITEM_I4, &n4, 4, 4));
  v.SetR8(-2.75);
  double d = -2.75;
  EXPECT_EQ(ValueKey(v, 0, 8), Key(KEY_ITEM_R8, &d, 8, 8));
  Bytes dt = DateTime(1999, 12, 31, 86399999u);
  v.__SetType(VX_DATETIME, 0);
  v.pclGetIntern()->SetValue(dt.data());
  EXPECT_EQ(ValueKey(v, 0, 8), Key(KEY_ITEM_DATETIME, dt.data(), 8, 8));
  CMoney m = Money(-987654321LL);
  v.__SetType(VX_CY, 0);
  v.pclGetIntern()->SetValue(&m);
  EXPECT_EQ(ValueKey(v, 0, 10), Key(KEY_ITEM_CY, &m, 10, 10));
  const unsigned char bin[] = {0x00, 0x7F, 0xFF};
  v.SetBIN(bin, 3);
  EXPECT_EQ(ValueKey(v, 0, 8), Key(KEY_ITEM_BIN, bin, 3, 8));
  const wchar_t text[] = L"Déjà vu";
  CAny t = Text(text);
  for (unsigned short nFlags : {static_cast<unsigned short>(0), static_cast<unsigned short>(KEY_FLAG_WEIGHTS),
                                static_cast<unsigned short>(KEY_FLAG_WEIGHTS | KEY_FLAG_IGNORE_CASE)}) {
    SCOPED_TRACE(nFlags);
    EXPECT_EQ(ValueKey(t, 0, 40, nFlags), Key(KEY_ITEM_DSTRW, text, sizeof text, 40, nFlags, KEY_SOURCE_WIDE32));
  }
  // Decimals: the value's own object and the factory's object set from the
  // same data give the same key.
  CAny dec = Text(L"3.25");
  ASSERT_EQ(dec.__nCastTo(VX_DECIMAL, nullptr, 1), 0);
  IVXDecimal* piDecimal = nullptr;
  ASSERT_EQ(dec.pclGetIntern()->nFillBuffer(&piDecimal), 0);
  ASSERT_NE(piDecimal, nullptr);
  Bytes kValue = ValueKey(dec, 0, 32, 0, 5, 2);
  CAny copy(dec);
  copy.pclGetIntern()->nFillBuffer(&piDecimal);
  piDecimal->SetPrecisionScale(7, 2);
  Bytes kData(32);
  EXPECT_EQ(CZBConvertKey::__nConvertKey(kData.data(), 32, piDecimal->pGetData(), piDecimal->nGetDataSize(),
                                         KEY_ITEM_DECIMAL, 0, 7, 2, 0, 0),
            32);
  EXPECT_EQ(kValue, kData);
}

TEST(NADriver, KeepsTheServersInterfaceWithoutCallingIt) {
  struct CountingZB final : IZBForNA {
    int _vnReserved0() override { return ++nCalls; }
    int _vnReserved1() override { return ++nCalls; }
    int _vnReserved2() override { return ++nCalls; }
    int _vnReserved3() override { return ++nCalls; }
    int _vnReserved4() override { return ++nCalls; }
    int _vnReserved5() override { return ++nCalls; }
    IZBTextSort* piGetTextSort() override {
      ++nCalls;
      return nullptr;
    }
    int nCalls = 0;
  } a, b;
  EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
  {
    CNADriver driver;
    EXPECT_EQ(CNADriver::s_pclDriver, &driver);
    EXPECT_EQ(driver.piGetZB(), nullptr);
    EXPECT_EQ(driver.bSetZB(&a), 1);
    EXPECT_EQ(driver.piGetZB(), &a);
    EXPECT_EQ(driver.bSetZB(&b), 1);
    EXPECT_EQ(driver.piGetZB(), &b);
    // A key that asks for no mapping never reaches the interface.
    const wchar_t text[] = L"x";
    Key(KEY_ITEM_DSTRW, text, sizeof text, 8, KEY_FLAG_WEIGHTS, KEY_SOURCE_WIDE32);
    // A service that answers null leaves the key unmapped.
    Bytes k = Key(KEY_ITEM_DSTRW, text, sizeof text, 8, KEY_FLAG_NO_ACCENT | KEY_FLAG_BIG_ENDIAN,
                  KEY_SOURCE_WIDE32);
    EXPECT_EQ(Hex(k), "00 78 00 00 00 00 00 00");
  }
  EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
  EXPECT_EQ(a.nCalls, 0);
  EXPECT_EQ(b.nCalls, 1);  // the mapped key asked for the service once
}

// The property: for random values of every key type, the order of the keys
// is the order the server's comparison entry gives, and the reverse with 0x400.
TEST_F(ServerKey, KeyOrderIsTheComparisonEntrysOrder) {
  std::mt19937 rng(2024);
  auto randomText = [&](int nMax) {
    std::wstring s;
    int n = static_cast<int>(rng() % (nMax + 1));
    for (int i = 0; i < n; ++i) s += static_cast<wchar_t>(L'a' + rng() % 4);
    return s;
  };
  using Maker = std::function<CAny(std::mt19937&)>;
  struct TypeCase {
    const char* name;
    unsigned short nType;
    unsigned int nKeySize;
    unsigned short nFlags;
    Maker make;
  };
  auto num = [](unsigned short t) {
    return [t](std::mt19937& r) {
      CAny v;
      uint64_t n = (uint64_t{r()} << 32) | r();
      if (r() % 3 == 0) n = static_cast<uint64_t>(static_cast<int64_t>(r() % 5) - 2);
      v.__SetType(t, 0);
      v.pclGetIntern()->SetValue(&n);
      return v;
    };
  };
  const TypeCase types[] = {
      {"UI1", VX_UI1, 1, 0, num(VX_UI1)},
      {"UI2", VX_UI2, 2, 0, num(VX_UI2)},
      {"UI4", VX_UI4, 4, 0, num(VX_UI4)},
      {"UI8", VX_UI8, 8, 0, num(VX_UI8)},
      {"I1", VX_I1, 1, 0, num(VX_I1)},
      {"I2", VX_I2, 2, 0, num(VX_I2)},
      {"I4", VX_I4, 4, 0, num(VX_I4)},
      {"I8", VX_I8, 8, 0, num(VX_I8)},
      {"BOOL", VX_BOOL, 1, 0, [](std::mt19937& r) { CAny v; v.SetBOOL(static_cast<int>(r() % 2)); return v; }},
      {"R4", VX_R4, 4, 0,
       [](std::mt19937& r) { CAny v; v.SetR4(static_cast<float>(static_cast<int32_t>(r())) / 1024.0f); return v; }},
      {"R8", VX_R8, 8, 0,
       [](std::mt19937& r) {
         CAny v;
         v.SetR8(r() % 4 == 0 ? -0.0 : static_cast<double>(static_cast<int32_t>(r())) / 3.0);
         return v;
       }},
      {"CY", VX_CY, 10, 0,
       [](std::mt19937& r) {
         CAny v;
         CMoney m = Money(static_cast<int64_t>((uint64_t{r()} << 32) | r()) / 8 * 7);
         v.__SetType(VX_CY, 0);
         v.pclGetIntern()->SetValue(&m);
         return v;
       }},
      {"DATETIME", VX_DATETIME, 8, 0,
       [](std::mt19937& r) {
         CAny v;
         Bytes b = DateTime(1800 + r() % 400, 1 + r() % 12, 1 + r() % 28, r() % 86400000u);
         v.__SetType(VX_DATETIME, 0);
         v.pclGetIntern()->SetValue(b.data());
         return v;
       }},
      {"DUREE", VX_DUREE, 8, 0,
       [](std::mt19937& r) {
         CAny v;
         int64_t n = static_cast<int64_t>((uint64_t{r()} << 32) | r()) >> (r() % 40);
         v.__SetType(VX_DUREE, 0);
         v.pclGetIntern()->SetValue(&n);
         return v;
       }},
      {"DECIMAL", VX_DECIMAL, 32, 0,
       [](std::mt19937& r) {
         wchar_t sz[40];
         swprintf(sz, 40, L"%d.%02u", static_cast<int>(r() % 2000000) - 1000000, r() % 100);
         CAny v = Text(sz);
         v.__nCastTo(VX_DECIMAL, nullptr, 1);
         return v;
       }},
      {"BIN of 4 bytes", VX_BIN, 8, 0,
       [](std::mt19937& r) {
         CAny v;
         uint32_t n = r() % 3 ? r() : r() % 3;
         v.SetBIN(reinterpret_cast<const unsigned char*>(&n), 4);
         return v;
       }},
      {"DSTRW big-endian", VX_DSTRW, 34, KEY_FLAG_BIG_ENDIAN,
       [&](std::mt19937&) { return Text(randomText(7).c_str()); }},
      {"DSTRW weights", VX_DSTRW, 34, KEY_FLAG_WEIGHTS,
       [&](std::mt19937&) { return Text(randomText(7).c_str()); }},
      {"DSTRA", VX_DSTRA, 9, 0,
       [&](std::mt19937&) {
         CAny v = Text(randomText(7).c_str());
         v.__nCastTo(VX_DSTRA, nullptr, 1);
         return v;
       }},
  };
  for (const TypeCase& t : types) {
    SCOPED_TRACE(t.name);
    for (int i = 0; i < 300; ++i) {
      CAny a = t.make(rng);
      CAny b = i % 7 == 0 ? CAny(a) : t.make(rng);
      ASSERT_EQ(a.nGetTypeCode(), t.nType);
      int nCompare = 0;
      ASSERT_LE(::nCompare(a, b, &nCompare, 0), kVXLastSuccess);
      const int nLevels = t.nType == VX_DECIMAL ? 10 : 0;
      Bytes ka = ValueKey(a, 0, t.nKeySize, t.nFlags, nLevels, 2);
      Bytes kb = ValueKey(b, 0, t.nKeySize, t.nFlags, nLevels, 2);
      ASSERT_EQ(MemSign(ka, kb), Sign(nCompare)) << Hex(ka) << " / " << Hex(kb);
      const unsigned short nDown = t.nFlags | KEY_FLAG_DESCENDING;
      ASSERT_EQ(MemSign(ValueKey(a, 0, t.nKeySize, nDown, nLevels, 2), ValueKey(b, 0, t.nKeySize, nDown, nLevels, 2)),
                -Sign(nCompare));
    }
  }
}

}  // namespace
