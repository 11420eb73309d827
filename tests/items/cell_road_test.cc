// The direct roads of fetched cells into a column's slot: every cell of the
// tables below goes through the holder's database text (bSetValueDB) and
// through the general road it used to take (the language's reading of the
// wide text for decimals, the text setter with its converters for texts);
// both must leave the same bytes, length, NULL mark and answer, at the
// slot's own size and at sizes that cut the value. Then the common cells are
// counted: none may make a heap call once the holder is set up.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/na_error.h"
#include "items/convert_variant.h"
#include "items/item_description.h"
#include "tests/items/holder_test_support.h"
#include "tests/support/heap_call_count.h"
#include "tests/values/bound_values.h"

namespace {

class CellRoad : public kqtest::BoundValuesTest {};

using Error = kqtest::TestError;
using Holder = kqtest::TestHolder;
using Slot = kqtest::TestSlot;
constexpr unsigned char kFill = kqtest::kTestSlotFill;
// A DECIMAL(16,2) for decimal items; the size matters to no road here.
struct Item : kqtest::TestItem {
  explicit Item(eNA_ITEMTYPE e)
      : TestItem(e, 16, e == NA_IT_DECIMAL ? 16 : 0, e == NA_IT_DECIMAL ? 2 : 0) {}
};

// A column's holder over a slot (mode 3) or a language value (nullptr: mode
// 1), set up as the record sets it up, the database buffer included.
void Prepare(eNA_ITEMTYPE eItem, unsigned short nVX, const Item& item, CNAConvertVariant* h,
             Slot* pSlot) {
  if (pSlot != nullptr)
    ASSERT_TRUE(h->bInitTypeVariant(NA_VT_BUFFER, pSlot->p(), pSlot->n, nVX));
  else
    h->InitTypeVariantAny(nVX, 0);
  if (eItem != NA_IT_EMPTY) h->SetItemDesc(item.p, nullptr);
  h->pclGetValue()->__SetType(nVX, 0);
  ASSERT_TRUE(h->bInitBufferDB());
}

// The road a cell of this type took before the direct ones.
int SetByGeneralRoad(CNAConvertVariant* h, const std::optional<std::string>& cell,
                     unsigned int nCodePage) {
  if (!cell) return h->bSetValueDBAsLanguageText(nullptr, 0, nCodePage);
  const unsigned int n = static_cast<unsigned int>(cell->size());
  if (h->nGetVXType() == VX_DECIMAL) return h->bSetValueDBAsLanguageText(cell->data(), n, nCodePage);
  if (n == 0) return h->bSetValue(reinterpret_cast<const unsigned char*>(cell->data()), 0u);
  return h->_bSetValue(cell->data(), n, nCodePage);
}

int SetByCellRoad(CNAConvertVariant* h, const std::optional<std::string>& cell,
                  unsigned int nCodePage) {
  if (!cell) return h->bSetValueDB(static_cast<const char*>(nullptr), 0, nCodePage);
  return h->bSetValueDB(cell->data(), static_cast<unsigned int>(cell->size()), nCodePage);
}

std::string Hex(const std::string& s) {
  static const char kDigits[] = "0123456789abcdef";
  std::string r;
  for (unsigned char c : s) {
    r += kDigits[c >> 4];
    r += kDigits[c & 15];
  }
  return r;
}

struct Column {
  eNA_ITEMTYPE eItem;
  unsigned short nVX;
  unsigned int nCodePage;
  std::vector<unsigned int> capacities;
};

// Holds one cell to the general road at every capacity of its column, in a
// slot and (bAlsoValue) in a language value.
void ExpectSameAsGeneralRoad(const Column& col, const std::optional<std::string>& cell,
                             bool bAlsoValue) {
  for (unsigned int nCap : col.capacities) {
    SCOPED_TRACE(testing::Message() << "cell " << (cell ? Hex(*cell) : "NULL") << " item "
                                    << col.eItem << " type " << col.nVX << " cp " << col.nCodePage
                                    << " cap " << nCap);
    Error errGeneral, errCell;
    Item item(col.eItem);
    Slot slotGeneral(nCap), slotCell(nCap);
    Holder general(errGeneral.p), direct(errCell.p);
    Prepare(col.eItem, col.nVX, item, general.p, &slotGeneral);
    Prepare(col.eItem, col.nVX, item, direct.p, &slotCell);
    const int nGeneral = SetByGeneralRoad(general.p, cell, col.nCodePage);
    const int nCell = SetByCellRoad(direct.p, cell, col.nCodePage);
    EXPECT_EQ(nCell, nGeneral);
    EXPECT_EQ(Hex(slotCell.bytes()), Hex(slotGeneral.bytes()));
    EXPECT_EQ(direct->nGetUsedLength(), general->nGetUsedLength());
    EXPECT_EQ(direct->bIsNull(), general->bIsNull());
    EXPECT_EQ(errCell.p->nGetUserErrorCode(), errGeneral.p->nGetUserErrorCode());
  }
  if (!bAlsoValue) return;
  SCOPED_TRACE(testing::Message() << "cell " << (cell ? Hex(*cell) : "NULL") << " item "
                                  << col.eItem << " as a language value");
  Error errGeneral, errCell;
  Item item(col.eItem);
  Holder general(errGeneral.p), direct(errCell.p);
  Prepare(col.eItem, col.nVX, item, general.p, nullptr);
  Prepare(col.eItem, col.nVX, item, direct.p, nullptr);
  EXPECT_EQ(SetByCellRoad(direct.p, cell, col.nCodePage),
            SetByGeneralRoad(general.p, cell, col.nCodePage));
  EXPECT_EQ(direct->bIsNull(), general->bIsNull());
  ASSERT_EQ(direct->nGetSize(), general->nGetSize());
  if (direct->nGetSize() > 0 && direct->pGetData() != nullptr && general->pGetData() != nullptr) {
    EXPECT_EQ(Hex(std::string(static_cast<const char*>(direct->pGetData()), direct->nGetSize())),
              Hex(std::string(static_cast<const char*>(general->pGetData()), general->nGetSize())));
  }
}

std::string Repeat(const std::string& s, int n) {
  std::string r;
  for (int i = 0; i < n; ++i) r += s;
  return r;
}

TEST_F(CellRoad, DecimalCellsWriteTheLanguagesDecimalFormAsItsCastDoes) {
  const Column col{NA_IT_DECIMAL, VX_DECIMAL, 65001, {18, 8, 9, 2, 1, 24}};
  const std::string k38Nines = Repeat("9", 38);
  const std::optional<std::string> kCells[] = {
      // Zero in every spelling: no scale, no sign.
      "0", "-0", "0.00", "-0.000", "+0", "000",
      // Plain values, signs, leading and trailing zeros, points at the ends.
      "1", "-1", "+7.25", "123.45", "-123.45", ".5", "-.5", "5.", "00012.3400", "-0.0012",
      // DECIMAL(20,0) limits, DECIMAL(10,2) UNSIGNED maximum, DECIMAL(65,30)
      // shapes the language rounds or refuses.
      "99999999999999999999", "-99999999999999999999", "18446744073709551616", "99999999.99",
      "0.01", "-99999999.99",
      // 38 significant digits and 38 decimals: the largest stored as they stand.
      k38Nines, "-" + k38Nines, "0." + Repeat("0", 37) + "1", "-0." + Repeat("9", 38),
      "1234567890123456789.0123456789012345678",
      // Past 38 digits or decimals: rounded, dropped or refused as the cast does.
      "1" + k38Nines, "-1" + k38Nines, "9." + k38Nines, "0." + Repeat("0", 38) + "5",
      "0." + Repeat("0", 40), Repeat("9", 65) + "." + Repeat("9", 30), "1." + Repeat("5", 40),
      // Shapes of another syntax: the cast's own reading decides.
      "1e5", "-1.5E-3", " 12", "12 ", "1,5", "abc", "-", ".", "+", "1.2.3", "--1", "0x10",
      std::string("1\0" "2", 3), "nan", "inf",
      // No cell at all, and an empty one.
      std::nullopt, ""};
  for (const auto& cell : kCells) ExpectSameAsGeneralRoad(col, cell, false);
}

TEST_F(CellRoad, UnicodeCellsWriteTheSameUTF16AsTheConverters) {
  const Column utf8{NA_IT_UNICODE, VX_DSTRW, 65001, {26, 82, 0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 600}};
  const std::string kSmile = "\xF0\x9F\x98\x80";  // U+1F600, a pair in UTF-16
  const std::optional<std::string> kCells[] = {
      "abc", "caf\xC3\xA9", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", kSmile, "a" + kSmile,
      "ab" + kSmile, "abc" + kSmile + "d", Repeat(kSmile, 100), "\xF4\x8F\xBF\xBF",
      "\xEF\xBF\xBE", "\xEF\xBB\xBF" "bom", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80",
      "\xED\x9F\xBF", "\xEE\x80\x80", "\xF0\x90\x80\x80",
      // Ill-formed: cut, stray, overlong, surrogate, past U+10FFFF, 5 bytes.
      "\xC3", "ab\xC3", "\xC3\x28", "ab\x80" "cd", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\x80",
      "\xE0\x9F\xBF", "\xED\xA0\x80", "\xED\xBF\xBF", "\xF0\x80\x80\x80", "\xF0\x8F\xBF\xBF",
      "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xF8\x88\x80\x80\x80", "\xFF", "\xFE",
      Repeat("\xC3\xA9", 200) + "\xC3",
      // A NUL ends the text as the converters' terminator does.
      std::string("abc\0def", 7), std::string("\0abc", 4),
      // Longer than the stack decoding of the general road.
      Repeat("x", 300), Repeat("\xC3\xA9", 300), Repeat("\xE2\x82\xAC", 90),
      std::nullopt, ""};
  for (const auto& cell : kCells) ExpectSameAsGeneralRoad(utf8, cell, true);
  const Column memo{NA_IT_MEMOUNICODE, VX_DSTRW, 65001, {}};
  for (const auto& cell : kCells) ExpectSameAsGeneralRoad(memo, cell, true);

  const Column latin1{NA_IT_UNICODE, VX_DSTRW, 1252, {26, 0, 2, 3, 4, 600}};
  const std::optional<std::string> kLatin1[] = {
      "abc", "caf\xE9", "\x80\x81\x8D\x8F\x90\x9D\x9F\xA0\xFF", std::string("a\0b", 3),
      Repeat("\xE9", 300), ""};
  for (const auto& cell : kLatin1) ExpectSameAsGeneralRoad(latin1, cell, true);
}

TEST_F(CellRoad, EightBitCellsOfAUTF8ConnectionWriteTheLanguagesCodePageAsTheConvertersDo) {
  const std::optional<std::string> kCells[] = {
      "abc", "caf\xC3\xA9", "\xE2\x82\xAC" "5", "\xE6\x97\xA5\xE6\x9C\xAC", "ab\xF0\x9F\x98\x80",
      "\xC5\x93\xC5\xA0", "\xC3", "ab\x80", "\xED\xA0\x80", std::string("\xC3\xA9\0x", 4),
      std::string("\0\xC3\xA9", 3), Repeat("\xC3\xA9", 128), Repeat("\xC3\xA9", 129),
      // Longer than the stack's conversion: unmappable characters, a NUL and
      // ill-formed text past the first piece.
      Repeat("a\xE2\x82\xAC\xE6\x97\xA5\xF0\x9F\x98\x80", 60),
      Repeat("\xC3\xA9", 200) + std::string("\0tail", 5) + Repeat("\xC3\xA9", 20),
      Repeat("\xC3\xA9", 200) + "\xC3", Repeat("x", 250) + Repeat("\xC3\xA9", 300), ""};
  const Column kColumns[] = {{NA_IT_TEXTE, VX_DSTRA, 65001, {16, 0, 1, 2, 3, 4, 257, 258, 300, 2000}},
                             {NA_IT_CHAR, VX_CARA, 65001, {1, 0, 2}},
                             {NA_IT_MEMOTEXTE, VX_DSTRA, 65001, {}}};
  for (const Column& col : kColumns)
    for (const auto& cell : kCells) ExpectSameAsGeneralRoad(col, cell, true);
}

// ---- Heap calls

struct CountedCell {
  eNA_ITEMTYPE eItem;
  unsigned short nVX;
  unsigned int nCapacity;
  std::optional<std::string> cell;
  std::string slot;  // the slot's bytes after it
};

template <typename T>
std::string Le(T v) {
  return std::string(reinterpret_cast<const char*>(&v), sizeof v);
}
std::string Zeros(size_t n) { return std::string(n, '\0'); }
std::string Utf16(const std::u16string& s, size_t nCapacity) {
  std::string r;
  for (char16_t c : s) r += Le<uint16_t>(static_cast<uint16_t>(c));
  return r + Zeros(nCapacity - r.size());
}
std::string DecimalForm(int nScale, int64_t nCoefficient) {
  std::string r = {static_cast<char>(38), static_cast<char>(nScale)};
  r += Le<int64_t>(nCoefficient);
  r += std::string(8, nCoefficient < 0 ? '\xFF' : '\0');
  return r;
}
std::string DateTime(int y, int mo, int d, int h, int mi, int s, int ms) {
  return Le<uint32_t>((uint32_t(y) << 16) | (uint32_t(mo) << 8) | uint32_t(d)) +
         Le<uint32_t>(uint32_t(h) * 3600000u + uint32_t(mi) * 60000u + uint32_t(s) * 1000u +
                      uint32_t(ms));
}

TEST_F(CellRoad, CommonCellsReachTheirSlotWithoutAHeapCall) {
  const CountedCell kCells[] = {
      // Integers of every size at their limits, as integer and DECIMAL
      // columns give them.
      {NA_IT_I1, VX_I1, 1, "-128", Le<int8_t>(-128)},
      {NA_IT_UI1, VX_UI1, 1, "255", Le<uint8_t>(255)},
      {NA_IT_I2, VX_I2, 2, "-32768", Le<int16_t>(-32768)},
      {NA_IT_UI2, VX_UI2, 2, "65535", Le<uint16_t>(65535)},
      {NA_IT_I4, VX_I4, 4, "-2147483648", Le<int32_t>(INT32_MIN)},
      {NA_IT_I4, VX_I4, 4, "2147483647", Le<int32_t>(INT32_MAX)},
      {NA_IT_UI4, VX_UI4, 4, "4294967295", Le<uint32_t>(UINT32_MAX)},
      {NA_IT_I8, VX_I8, 8, "-9223372036854775808", Le<int64_t>(INT64_MIN)},
      {NA_IT_UI8, VX_UI8, 8, "18446744073709551615", Le<uint64_t>(UINT64_MAX)},
      {NA_IT_I4, VX_I4, 4, "1234.00", Le<int32_t>(1234)},
      {NA_IT_R8, VX_R8, 8, "-12.5", Le<double>(-12.5)},
      // Decimals.
      {NA_IT_DECIMAL, VX_DECIMAL, 18, "-1234.56", DecimalForm(2, -123456)},
      {NA_IT_DECIMAL, VX_DECIMAL, 18, "99999999.99", DecimalForm(2, 9999999999)},
      {NA_IT_DECIMAL, VX_DECIMAL, 18, "0.00", DecimalForm(0, 0)},
      {NA_IT_DECIMAL, VX_DECIMAL, 18, "99999999999999999999",
       std::string("\x26\x00\xff\xff\x0f\x63\x2d\x5e\xc7\x6b\x05\x00\x00\x00\x00\x00\x00\x00", 18)},
      // Texts: 8-bit, Unicode, a pair at the slot's end, a long cell.
      {NA_IT_TEXTE, VX_DSTRA, 8, "abc", "abc" + Zeros(5)},
      {NA_IT_TEXTE, VX_DSTRA, 8, "caf\xC3\xA9", "caf\xE9" + Zeros(4)},
      {NA_IT_UNICODE, VX_DSTRW, 10, "caf\xC3\xA9", Utf16(u"caf\u00e9", 10)},
      {NA_IT_UNICODE, VX_DSTRW, 8, "ab\xF0\x9F\x98\x80", Utf16(u"ab", 8)},
      {NA_IT_UNICODE, VX_DSTRW, 10, "ab\xF0\x9F\x98\x80", Utf16(u"ab\U0001F600", 10)},
      {NA_IT_UNICODE, VX_DSTRW, 26, Repeat("\xC3\xA9", 300), Utf16(std::u16string(12, u'\u00e9'), 26)},
      {NA_IT_TEXTE, VX_DSTRA, 300, Repeat("\xC3\xA9", 400), Repeat("\xE9", 299) + Zeros(1)},
      {NA_IT_CHAR, VX_CARA, 1, "\xC3\xA9", "\xE9"},
      // Dates, date-times and times as the back end hands them over.
      {NA_IT_DATETIME, VX_DATETIME, 8, "20240229 13:45:07", DateTime(2024, 2, 29, 13, 45, 7, 0)},
      {NA_IT_DATETIME, VX_DATETIME, 8, "20240229", DateTime(2024, 2, 29, 0, 0, 0, 0)},
      {NA_IT_DATETIME, VX_DATETIME, 8, "00000000 00:00:00", Zeros(8)},
      {NA_IT_DATE8, VX_DATETIME, 9, "20240229", "20240229" + Zeros(1)},
      {NA_IT_HEURE, VX_DATETIME, 10, "13:45:07.125", "134507125" + Zeros(1)},
      // NULL and the empty text.
      {NA_IT_I4, VX_I4, 4, std::nullopt, Zeros(4)},
      {NA_IT_UNICODE, VX_DSTRW, 8, "", Zeros(8)},
  };
  {
    // The count sees the general road's conversions: a zero below is earned.
    Error err;
    Item item(NA_IT_DECIMAL);
    Slot slot(18);
    Holder h(err.p);
    Prepare(NA_IT_DECIMAL, VX_DECIMAL, item, h.p, &slot);
    ASSERT_TRUE(h->bSetValueDBAsLanguageText("1.5", 3, 65001));
    kqtest::HeapCallCount count;
    ASSERT_TRUE(h->bSetValueDBAsLanguageText("-1234.56", 8, 65001));
    EXPECT_GT(count.nCalls(), 0);
  }
  for (const CountedCell& c : kCells) {
    SCOPED_TRACE(testing::Message() << "cell " << (c.cell ? Hex(*c.cell) : "NULL") << " item "
                                    << c.eItem << " type " << c.nVX);
    Error err;
    Item item(c.eItem);
    Slot slot(c.nCapacity);
    Holder h(err.p);
    Prepare(c.eItem, c.nVX, item, h.p, &slot);
    // A first cell sets up what the holder keeps for every later one.
    ASSERT_TRUE(SetByCellRoad(h.p, c.cell, 65001));
    int nCalls;
    int bOk;
    {
      kqtest::HeapCallCount count;
      bOk = SetByCellRoad(h.p, c.cell, 65001);
      nCalls = count.nCalls();
    }
    EXPECT_TRUE(bOk);
    EXPECT_EQ(nCalls, 0);
    EXPECT_EQ(Hex(slot.bytes()), Hex(c.slot));
  }
}

}  // namespace
