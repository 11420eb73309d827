// Text cells of a UTF-8 connection into 8-bit and Unicode items: what the
// holder stores equals what the code-page converters make of the cell (the
// reference model below), whether the holder takes its short road (plain
// ASCII; short well-formed UTF-8 decoded on the stack) or the converters'
// own: embedded NULs, ill-formed bytes, texts around the short road's
// 256-byte bound, every slot capacity from 0 to 5 and larger.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/na_error.h"
#include "items/code_page_converters.h"
#include "items/convert_variant.h"
#include "items/item_description.h"
#include "tests/items/holder_test_support.h"
#include "tests/values/bound_values.h"

namespace {

class FetchedTextCells : public kqtest::BoundValuesTest {};

using Error = kqtest::TestError;
using Holder = kqtest::TestHolder;
struct Item : kqtest::TestItem {
  explicit Item(eNA_ITEMTYPE e) : TestItem(e, 600) {}
};

// ---- The reference: the converters, as the holder's long road uses them.

// The cell as wide text, cut at its first NUL.
std::wstring ReferenceWide(const std::string& cell) {
  CNACodePageCnvOUTPtr clOut(cell.data(), static_cast<int>(cell.size()), 65001);
  const wchar_t* psz = clOut.pszGetForZB();
  return psz != nullptr ? std::wstring(psz) : std::wstring();
}

// The 1252 bytes of the cell; false when the code page cannot hold it.
bool bReferenceAnsi(const std::string& cell, std::string* pOut) {
  const std::wstring wide = ReferenceWide(cell);
  CNACodePageCnvIN clIn(wide.c_str(), -1, 1252);
  const char* p = clIn.pszGetForDB();
  if (clIn.bFailed()) return false;
  *pOut = std::string(p, static_cast<size_t>(clIn.nGetLengthForDB()));
  return true;
}

// The UTF-16 record form of wide text in nCapacity bytes: the units that fit
// before the 2-byte terminator (a pair is never split), then zeros.
std::string Utf16Slot(const std::wstring& wide, size_t nCapacity) {
  const size_t nMaxUnits = nCapacity > 2 ? (nCapacity - 2) / 2 : 0;
  std::string out;
  for (wchar_t wc : wide) {
    unsigned int c = static_cast<unsigned int>(wc);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    std::string units;
    if (c >= 0x10000) {
      const unsigned int v = c - 0x10000, hi = 0xD800 + (v >> 10), lo = 0xDC00 + (v & 0x3FF);
      units = {char(hi & 0xFF), char(hi >> 8), char(lo & 0xFF), char(lo >> 8)};
    } else {
      units = {char(c & 0xFF), char(c >> 8)};
    }
    if (out.size() + units.size() > 2 * nMaxUnits) break;
    out += units;
  }
  return out + std::string(nCapacity - out.size(), '\0');
}

std::string AnsiSlot(const std::string& text, size_t nCapacity) {
  const size_t nKeep = std::min(text.size(), nCapacity > 0 ? nCapacity - 1 : 0);
  return text.substr(0, nKeep) + std::string(nCapacity - nKeep, '\0');
}

std::string Repeat(const std::string& s, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

const std::string kCells[] = {
    "Customer 17 East",
    std::string("a\0b", 3),
    "\x01\x7f tab\tend",
    "caf\xc3\xa9",
    "Zo\xc3\xab \xc5\x81\xc3\xb3\x64\xc5\xba \xe6\x9d\xb1\xe4\xba\xac \xf0\x9f\x98\x80",
    std::string("\xc3\xa9\0\xc3\xa9", 5),
    // Ill-formed: cut inside a character, bytes UTF-8 never uses, an
    // encoded surrogate, an overlong form.
    "ab\xc3",
    "\xff\xfe ok",
    "a\xed\xa0\x80z",
    "\xc0\xaf",
    // Around the short road's bound, in bytes and in characters.
    std::string(255, 'x'),
    std::string(256, 'y'),
    std::string(257, 'z'),
    Repeat("\xc3\xa9", 128),
    "a" + Repeat("\xc3\xa9", 128),
    Repeat("\xf0\x9f\x98\x80", 64) + "!",
};

const unsigned int kCapacities[] = {0, 1, 2, 3, 4, 5, 41, 82, 600};

std::string Printable(const std::string& cell) {
  std::string out;
  for (unsigned char c : cell) {
    if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      char sz[8];
      std::snprintf(sz, sizeof sz, "\\x%02x", c);
      out += sz;
    }
  }
  return out.size() > 80 ? out.substr(0, 80) + "..." : out;
}

TEST_F(FetchedTextCells, SlotsHoldWhatTheConvertersMakeOfTheCellAtEveryCapacity) {
  for (const std::string& cell : kCells) {
    const std::wstring wide = ReferenceWide(cell);
    std::string ansi;
    const bool bAnsiHolds = bReferenceAnsi(cell, &ansi);
    for (eNA_ITEMTYPE eItem : {NA_IT_TEXTE, NA_IT_UNICODE}) {
      for (unsigned int nCap : kCapacities) {
        SCOPED_TRACE(testing::Message() << '"' << Printable(cell) << "\" item " << eItem
                                        << " cap " << nCap);
        Error err;
        Item item(eItem);
        std::string slot(nCap + 1, '\xAB');  // one mark byte past the slot
        Holder h(err.p);
        const unsigned short nVX = ConverteItemToVXType(eItem);
        ASSERT_TRUE(h->bInitTypeVariant(
            NA_VT_BUFFER, nCap == 0 ? nullptr : reinterpret_cast<unsigned char*>(slot.data()),
            nCap, nVX));
        h->SetItemDesc(item.p, nullptr);
        const int bOk =
            h->bSetValueDB(cell.data(), static_cast<unsigned int>(cell.size()), 65001u);
        EXPECT_EQ(slot.back(), '\xAB') << "written past the slot";
        if (eItem == NA_IT_TEXTE && !bAnsiHolds) {
          EXPECT_FALSE(bOk) << "a cell 1252 cannot hold is refused";
          continue;
        }
        ASSERT_TRUE(bOk);
        const std::string expected =
            eItem == NA_IT_TEXTE ? AnsiSlot(ansi, nCap) : Utf16Slot(wide, nCap);
        EXPECT_EQ(slot.substr(0, nCap), expected);
      }
    }
  }
}

TEST_F(FetchedTextCells, LanguageValuesHoldWhatTheConvertersMakeOfTheCell) {
  for (const std::string& cell : kCells) {
    const std::wstring wide = ReferenceWide(cell);
    std::string ansi;
    const bool bAnsiHolds = bReferenceAnsi(cell, &ansi);
    for (eNA_ITEMTYPE eItem : {NA_IT_TEXTE, NA_IT_UNICODE}) {
      SCOPED_TRACE(testing::Message() << '"' << Printable(cell) << "\" item " << eItem);
      Error err;
      Item item(eItem);
      Holder h(err.p);
      h->InitTypeVariantAny(ConverteItemToVXType(eItem), 0);
      h->SetItemDesc(item.p, nullptr);
      const int bOk = h->bSetValueDB(cell.data(), static_cast<unsigned int>(cell.size()), 65001u);
      if (eItem == NA_IT_TEXTE && !bAnsiHolds) {
        EXPECT_FALSE(bOk) << "a cell 1252 cannot hold is refused";
        continue;
      }
      ASSERT_TRUE(bOk);
      const std::string expected =
          eItem == NA_IT_TEXTE
              ? ansi
              : std::string(reinterpret_cast<const char*>(wide.data()),
                            wide.size() * sizeof(wchar_t));
      ASSERT_EQ(h->nGetUtilDataSize(), expected.size());
      EXPECT_EQ(std::string(static_cast<const char*>(h->pGetData()), expected.size()), expected);
    }
  }
}

}  // namespace
