// The conversion holder's database text: fetched-cell texts into a column's
// fixed raw slot (mode 3) at its own size and at every capacity from 0 to 5,
// and into a language value (mode 1), through both the 8-bit and the wide
// entry points. A text no layout reads is conversion error 53 and leaves the
// slot or the value as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "driver/na_error.h"
#include "items/convert_variant.h"
#include "items/item_description.h"
#include "tests/items/holder_test_support.h"
#include "tests/values/bound_values.h"

namespace {

class DatabaseTextHolder : public kqtest::BoundValuesTest {};

using Error = kqtest::TestError;
using Holder = kqtest::TestHolder;
using Item = kqtest::TestItem;
using Slot = kqtest::TestSlot;
constexpr unsigned char kFill = kqtest::kTestSlotFill;

template <typename T>
std::string Le(T v) {
  return std::string(reinterpret_cast<const char*>(&v), sizeof v);
}
// The record form of a date-time: the date word, then the milliseconds.
std::string Dt(int y, int mo, int d, int h, int mi, int s, int ms) {
  return Le<uint32_t>((uint32_t(y) << 16) | (uint32_t(mo) << 8) | uint32_t(d)) +
         Le<uint32_t>(uint32_t(h) * 3600000u + uint32_t(mi) * 60000u + uint32_t(s) * 1000u +
                      uint32_t(ms));
}
std::string Zeros(size_t n) { return std::string(n, '\0'); }
std::string Bin(const std::string& payload, size_t nCapacity) {
  return Le<uint16_t>(static_cast<uint16_t>(payload.size())) + payload +
         Zeros(nCapacity - 2 - payload.size());
}

// How a slot smaller than the layout is cut.
enum class Cut { kPrefix, kTerminated, kBinary };

struct Case {
  const char* pszText;
  eNA_ITEMTYPE eItem;  // the analysis item (NA_IT_EMPTY: none)
  unsigned short nVX;  // the column's language type
  std::optional<std::string> slot;  // the whole slot; none: the text is refused
  Cut eCut = Cut::kPrefix;
  std::string any = "";  // the mode-1 value's bytes when they differ from the slot's
};

// The slot a capacity of nCap receives.
std::string Expected(const Case& c, unsigned int nCap) {
  const std::string& full = *c.slot;
  if (nCap >= full.size()) return full + Zeros(nCap - full.size());
  switch (c.eCut) {
    case Cut::kPrefix:
      return full.substr(0, nCap);
    case Cut::kTerminated:
      return nCap == 0 ? "" : full.substr(0, nCap - 1) + Zeros(1);
    case Cut::kBinary: {
      if (nCap < 2) return Zeros(nCap);
      const uint16_t nLen = static_cast<uint16_t>(uint8_t(full[0]) | (uint8_t(full[1]) << 8));
      const size_t nKeep = std::min<size_t>(nLen, nCap - 2);
      return Le<uint16_t>(static_cast<uint16_t>(nKeep)) + full.substr(2, nKeep);
    }
  }
  return "";
}

const Case kCases[] = {
    // Date-times of every precision, a zero date, a time alone, a compact date.
    {"2024-02-29 13:45:07", NA_IT_DATETIME, VX_DATETIME, Dt(2024, 2, 29, 13, 45, 7, 0)},
    {"2024-02-29 13:45:07.1", NA_IT_DATETIME, VX_DATETIME, Dt(2024, 2, 29, 13, 45, 7, 100)},
    {"2024-02-29 13:45:07.12", NA_IT_DATETIME, VX_DATETIME, Dt(2024, 2, 29, 13, 45, 7, 120)},
    {"2024-02-29 13:45:07.125", NA_IT_DATETIME, VX_DATETIME, Dt(2024, 2, 29, 13, 45, 7, 125)},
    {"2024-02-29 13:45:07.1259", NA_IT_DATETIME, VX_DATETIME, Dt(2024, 2, 29, 13, 45, 7, 125)},
    {"9999-12-31 23:59:59.999999", NA_IT_DATETIME, VX_DATETIME, Dt(9999, 12, 31, 23, 59, 59, 999)},
    {"2024-02-29", NA_IT_DATETIME, VX_DATETIME, Dt(2024, 2, 29, 0, 0, 0, 0)},
    {"20240229", NA_IT_DATETIME, VX_DATETIME, Dt(2024, 2, 29, 0, 0, 0, 0)},
    {"0000-00-00 00:00:00", NA_IT_DATETIME, VX_DATETIME, Zeros(8)},
    {"13:45:07.5", NA_IT_DATETIME, VX_DATETIME, Dt(0, 0, 0, 13, 45, 7, 500)},
    // A TIME column's values outside a day, and shapes no layout reads.
    {"-01:00:00", NA_IT_DATETIME, VX_DATETIME, std::nullopt},
    {"100:00:00", NA_IT_DATETIME, VX_DATETIME, std::nullopt},
    {"2024/02/29", NA_IT_DATETIME, VX_DATETIME, std::nullopt},
    {"2024-02-29 13:45:07.1234567", NA_IT_DATETIME, VX_DATETIME, std::nullopt},
    {"2024-02-29 13:4x", NA_IT_DATETIME, VX_DATETIME, std::nullopt},
    // Date items keep the date, time items the time, as their 8-bit text.
    {"2024-02-29", NA_IT_DATE8, VX_DATETIME, std::string("20240229") + Zeros(1), Cut::kTerminated,
     Dt(2024, 2, 29, 0, 0, 0, 0)},
    {"2024-02-29 13:45:07.5", NA_IT_DATE8, VX_DATETIME, std::string("20240229") + Zeros(1),
     Cut::kTerminated, Dt(2024, 2, 29, 0, 0, 0, 0)},
    {"2024/02/29", NA_IT_DATE8, VX_DATETIME, std::nullopt},
    {"13:45:07.125", NA_IT_HEURE, VX_DATETIME, std::string("134507125") + Zeros(1),
     Cut::kTerminated, Dt(0, 0, 0, 13, 45, 7, 125)},
    {"2024-02-29 08:05:00", NA_IT_HEURE, VX_DATETIME, std::string("080500000") + Zeros(1),
     Cut::kTerminated, Dt(0, 0, 0, 8, 5, 0, 0)},
    {"-00:00:01", NA_IT_HEURE, VX_DATETIME, std::nullopt},
    {"838:59:59", NA_IT_HEURE, VX_DATETIME, std::nullopt},
    // Without an item no layout can be chosen.
    {"2024-02-29", NA_IT_EMPTY, VX_DATETIME, std::nullopt},
    // Numbers: "." whatever the locale, extremes, fractions dropped toward
    // zero for integers, anything else refused.
    {"-2", NA_IT_EMPTY, VX_I4, Le<int32_t>(-2)},
    {"12.9", NA_IT_EMPTY, VX_I4, Le<int32_t>(12)},
    {"4294967295", NA_IT_EMPTY, VX_UI4, Le<uint32_t>(4294967295u)},
    {"-9223372036854775808", NA_IT_EMPTY, VX_I8, Le<int64_t>(INT64_MIN)},
    {"18446744073709551615", NA_IT_EMPTY, VX_UI8, Le<uint64_t>(UINT64_MAX)},
    {"-128", NA_IT_EMPTY, VX_I1, Le<int8_t>(-128)},
    {"12.5", NA_IT_EMPTY, VX_R8, Le<double>(12.5)},
    {"0.1234567890123", NA_IT_EMPTY, VX_R8, Le<double>(0.1234567890123)},
    {"-1.5e3", NA_IT_EMPTY, VX_R4, Le<float>(-1500.0f)},
    {"65536", NA_IT_EMPTY, VX_UI2, std::nullopt},
    {"12,5", NA_IT_EMPTY, VX_R8, std::nullopt},
    {"12x", NA_IT_EMPTY, VX_I4, std::nullopt},
    {"abc", NA_IT_EMPTY, VX_R8, std::nullopt},
    // BOOL texts.
    {"1", NA_IT_EMPTY, VX_BOOL, std::string("\x01", 1)},
    {"T", NA_IT_EMPTY, VX_BOOL, std::string("\x01", 1)},
    {"x", NA_IT_EMPTY, VX_BOOL, std::string("\x01", 1)},
    {"0", NA_IT_EMPTY, VX_BOOL, Zeros(1)},
    {"false", NA_IT_EMPTY, VX_BOOL, Zeros(1)},
    {"F", NA_IT_EMPTY, VX_BOOL, Zeros(1)},
    // Binaries: a length word, the bytes, zeros.
    {"ab\x01\xff", NA_IT_BINAIRE, VX_BIN, Bin("ab\x01\xff", 8), Cut::kBinary, "ab\x01\xff"},
    // 8-bit text of the UTF-8 connection into the language's code page.
    {"caf\xc3\xa9", NA_IT_EMPTY, VX_DSTRA, std::string("caf\xe9") + Zeros(2), Cut::kTerminated,
     "caf\xe9"},
};

bool bAscii(const char* psz) {
  for (; *psz != 0; ++psz)
    if (static_cast<unsigned char>(*psz) > 0x7F) return false;
  return true;
}

// A holder of the case's column over a slot (mode 3) or a language value
// (mode 1).
void Prepare(const Case& c, const Item& item, CNAConvertVariant* h, Slot* pSlot) {
  if (pSlot != nullptr)
    ASSERT_TRUE(h->bInitTypeVariant(NA_VT_BUFFER, pSlot->p(), pSlot->n, c.nVX));
  else
    h->InitTypeVariantAny(c.nVX, 0);
  h->SetItemDesc(item.p, nullptr);
  // The item retypes the holder; the column reads it as its own type.
  h->pclGetValue()->__SetType(c.nVX, 0);
}

int Set(CNAConvertVariant* h, const char* psz, bool bWide) {
  const unsigned int n = static_cast<unsigned int>(std::strlen(psz));
  if (!bWide) return h->bSetValueDB(psz, n, 65001);
  std::wstring cs(psz, psz + n);
  return h->bSetValueDB(cs.c_str(), n);
}

TEST_F(DatabaseTextHolder, FetchedTextsFillSlotsOfEveryCapacityOrAreRefused) {
  for (const Case& c : kCases) {
    const unsigned int nFull = c.slot ? static_cast<unsigned int>(c.slot->size()) : 8;
    for (bool bWide : {false, true}) {
      if (bWide && !bAscii(c.pszText)) continue;
      for (unsigned int nCap : {nFull, 0u, 1u, 2u, 3u, 4u, 5u}) {
        SCOPED_TRACE(testing::Message() << '"' << c.pszText << "\" item " << c.eItem << " type "
                                        << c.nVX << " cap " << nCap << (bWide ? " wide" : ""));
        Error err;
        Item item(c.eItem);
        Slot slot(nCap);
        Holder h(err.p);
        Prepare(c, item, h.p, &slot);
        const int bOk = Set(h.p, c.pszText, bWide);
        if (!c.slot) {
          EXPECT_FALSE(bOk);
          EXPECT_EQ(err.p->nGetUserErrorCode(), 53u);
          EXPECT_EQ(slot.bytes(), std::string(nCap, static_cast<char>(kFill)));
          continue;
        }
        ASSERT_TRUE(bOk);
        EXPECT_EQ(slot.bytes(), Expected(c, nCap));
        EXPECT_LE(h->nGetUsedLength(), nCap);
        EXPECT_FALSE(h->bIsNull());
      }
    }
  }
}

TEST_F(DatabaseTextHolder, FetchedTextsBecomeLanguageValuesOrLeaveThemUntouched) {
  for (const Case& c : kCases) {
    for (bool bWide : {false, true}) {
      if (bWide && !bAscii(c.pszText)) continue;
      SCOPED_TRACE(testing::Message() << '"' << c.pszText << "\" item " << c.eItem << " type "
                                      << c.nVX << (bWide ? " wide" : ""));
      Error err;
      Item item(c.eItem);
      Holder h(err.p);
      Prepare(c, item, h.p, nullptr);
      h->SetNull();
      const int bOk = Set(h.p, c.pszText, bWide);
      if (!c.slot) {
        EXPECT_FALSE(bOk);
        EXPECT_EQ(err.p->nGetUserErrorCode(), 53u);
        EXPECT_TRUE(h->bIsNull());
        continue;
      }
      ASSERT_TRUE(bOk);
      EXPECT_EQ(h->nGetVXType(), c.nVX);
      EXPECT_FALSE(h->bIsNull());
      std::string expected = c.any.empty() ? *c.slot : c.any;
      if (c.nVX == VX_BOOL) expected = expected.substr(0, 1);
      ASSERT_GE(h->nGetSize(), expected.size());
      EXPECT_EQ(std::string(static_cast<const char*>(h->pGetData()), expected.size()), expected);
    }
  }
}

TEST_F(DatabaseTextHolder, NullAndEmptyTextsAndLanguageTextsTakeTheDatabaseRoad) {
  Error err;
  Item item(NA_IT_DATETIME);
  Slot slot(8);
  Holder h(err.p);
  Prepare({"", NA_IT_DATETIME, VX_DATETIME, Zeros(8)}, item, h.p, &slot);
  // A language text reaches the same reader as a fetched cell.
  CAny text;
  text.__SetType(VX_DSTRW, 0);
  text.SetValueByte(L"2024-02-29 13:45:07.125", 23 * sizeof(wchar_t));
  ASSERT_TRUE(h->bSetValueDB(&text));
  EXPECT_EQ(slot.bytes(), Dt(2024, 2, 29, 13, 45, 7, 125));
  text.SetValueByte(L"2024-02-29 13:4x", 16 * sizeof(wchar_t));
  EXPECT_FALSE(h->bSetValueDB(&text));
  EXPECT_EQ(slot.bytes(), Dt(2024, 2, 29, 13, 45, 7, 125)) << "a refused text changes nothing";
  // An empty cell is the empty date; a missing one is NULL.
  ASSERT_TRUE(h->bSetValueDB("", 0u, 65001));
  EXPECT_EQ(slot.bytes(), Zeros(8));
  ASSERT_TRUE(h->bSetValueDB(static_cast<const char*>(nullptr), 0u, 65001));
  EXPECT_TRUE(h->bIsNull());
  ASSERT_TRUE(h->bSetValueFromDB(L"2024-02-29", static_cast<unsigned int>(-1)));
  EXPECT_FALSE(h->bIsNull());
  EXPECT_EQ(slot.bytes(), Dt(2024, 2, 29, 0, 0, 0, 0));
  ASSERT_TRUE(h->bSetValueFromDB(nullptr, 0));
  EXPECT_TRUE(h->bIsNull());
  // A wide text that is not ASCII is no number.
  Holder number(err.p);
  number->InitTypeVariantAny(VX_I4, 0);
  EXPECT_FALSE(number->bSetValueFromDB(L"1\u0663", 2));
  EXPECT_EQ(err.p->nGetUserErrorCode(), 53u);
}

}  // namespace
