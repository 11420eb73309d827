// The record buffer, the record value and the statement's current row, over
// the stand-in server's descriptions: layout and slots at the boundary, raw
// stores by item type, NULL marks, language values in and out, clones,
// copies and the serialised form, heap calls, memo holders, and cells handed
// to value holders.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "core/error_object.h"
#include "items/convert_variant.h"
#include "items/record_buffer_interface.h"
#include "statements/record_buffer.h"
#include "statements/record_value.h"
#include "statements/statement.h"
#include "tests/support/heap_call_count.h"
#include "tests/support/standin_items.h"
#include "tests/values/bound_values.h"
#include "values/any.h"
#include "values/date_time_base.h"


namespace kqtest {
namespace {

using Source = StandInSource;

class RecordBufferTest : public BoundValuesTest {
 protected:
  void TearDown() override {
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, 0);
    BoundValuesTest::TearDown();
  }
};

TEST_F(RecordBufferTest, TheFlagFieldHoldsOneBitPerPhysicalItemBeforeTheValues) {
  for (int nItems : {0, 1, 8, 9, 17}) {
    std::vector<StandInItemDecl> items;
    for (int i = 0; i < nItems; ++i) items.push_back(ItemDecl((L"i" + std::to_wstring(i)).c_str(), NA_IT_I4, 4));
    Source src(items);
    CNAZBRecord buffer;
    ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);
    const int nFlags = nItems == 0 ? 0 : (nItems - 1) / 8 + 1;
    EXPECT_EQ(buffer.nGetFlagFieldSize(), nFlags) << nItems;
    EXPECT_EQ(buffer.nGetBufferLength(), nFlags + 4 * nItems);
    EXPECT_EQ(buffer.pbyGetValues(), buffer.pbyGetNullValuesFlags() + nFlags);
    for (int i = 0; i < nItems; ++i) EXPECT_FALSE(buffer.bItemValueDefined(src.Item(i)));
    unsigned char aby[80] = {};
    buffer.vSetValues(aby, sizeof aby);
    for (int i = 0; i < nItems; ++i) EXPECT_TRUE(buffer.bItemValueDefined(src.Item(i)));
  }
}

TEST_F(RecordBufferTest, DefinedBitsFollowAReferenceModelOverRandomOperations) {
  std::vector<StandInItemDecl> items;
  for (int i = 0; i < 21; ++i) items.push_back(ItemDecl((L"i" + std::to_wstring(i)).c_str(), NA_IT_I2, 2));
  Source src(items);
  CNAZBRecord buffer;
  ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);
  std::vector<bool> model(21, false);
  std::mt19937 rng(20);
  for (int step = 0; step < 2000; ++step) {
    const int i = static_cast<int>(rng() % 21);
    const bool b = (rng() & 1) != 0;
    buffer.SetItemValueDefined(src.Item(i), b ? 1 : 0);
    model[static_cast<size_t>(i)] = b;
    for (int k = 0; k < 21; ++k)
      ASSERT_EQ(buffer.bItemValueDefined(src.Item(k)) != 0, model[static_cast<size_t>(k)]);
  }
  // Most significant bit first.
  for (int k = 0; k < 21; ++k) buffer.SetItemValueDefined(src.Item(k), k == 0 || k == 9 ? 1 : 0);
  EXPECT_EQ(buffer.pbyGetNullValuesFlags()[0], 0x80);
  EXPECT_EQ(buffer.pbyGetNullValuesFlags()[1], 0x40);
}

TEST_F(RecordBufferTest, RawStoresFollowTheItemType) {
  Source src({ItemDecl(L"text", NA_IT_TEXTE, 10), ItemDecl(L"bin", NA_IT_BINAIRE, 10),
              ItemDecl(L"uni", NA_IT_UNICODE, 8), ItemDecl(L"num", NA_IT_I4, 4),
              ItemDecl(L"memo", NA_IT_MEMOTEXTE, 8)});
  CNAZBRecord buffer;
  ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);

  buffer.vSetItemValue(src.Item(0), reinterpret_cast<const unsigned char*>("ABCDEFGHIJKLMNO"), 15, -1);
  EXPECT_EQ(std::memcmp(buffer.pbyGetItemValue(src.Item(0)), "ABCDEFGHI\0", 10), 0);
  EXPECT_TRUE(buffer.bItemValueDefined(src.Item(0)));

  unsigned char twenty[20];
  for (int i = 0; i < 20; ++i) twenty[i] = static_cast<unsigned char>(0xA0 + i);
  buffer.vSetItemValue(src.Item(1), twenty, 20, -1);
  const unsigned char* pBin = buffer.pbyGetItemValue(src.Item(1));
  EXPECT_EQ(pBin[0] | (pBin[1] << 8), 8);
  EXPECT_EQ(std::memcmp(pBin + 2, twenty, 8), 0);

  const wchar_t wide[] = L"a\u00e9\U0001F600z";
  buffer.vSetItemValue(src.Item(2), reinterpret_cast<const unsigned char*>(wide), 4 * sizeof(wchar_t), -1);
  const unsigned short expected[4] = {u'a', 0xE9, 0xD83D, 0xDE00};  // 'z' does not fit
  const unsigned char* pUni = buffer.pbyGetItemValue(src.Item(2));
  ASSERT_NE(pUni, nullptr);
  EXPECT_EQ(std::memcmp(pUni, expected, 8), 0);

  // Never more than the source gives: a short source is not read past its
  // end, the rest of the slot is zeroed.
  buffer.vSetItemValue(src.Item(3), reinterpret_cast<const unsigned char*>("\x01\x02\x03\x04\x05"), 1, -1);
  EXPECT_EQ(std::memcmp(buffer.pbyGetItemValue(src.Item(3)), "\x01\0\0\0", 4), 0);
  buffer.vSetItemValue(src.Item(3), reinterpret_cast<const unsigned char*>("\x01\x02\x03\x04\x05"), 5, -1);
  EXPECT_EQ(std::memcmp(buffer.pbyGetItemValue(src.Item(3)), "\x01\x02\x03\x04", 4), 0) << "cut to the slot";

  buffer.SetItemValueDefined(src.Item(4), 0);
  EXPECT_EQ(std::memcmp(buffer.pbyGetItemValue(src.Item(4)), "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8), 0);
  buffer.SetItemValueDefined(src.Item(4), 1);
  EXPECT_EQ(std::memcmp(buffer.pbyGetItemValue(src.Item(4)), "\0\0\0\0\0\0\0\0", 8), 0);
  // NULL zeroes a plain slot.
  buffer.SetItemValueDefined(src.Item(3), 0);
  EXPECT_EQ(std::memcmp(buffer.pbyGetItemValue(src.Item(3)), "\0\0\0\0", 4), 0);
}

TEST_F(RecordBufferTest, LanguageValuesGoInAndComeBackThroughTheItemsStorage) {
  Source src({ItemDecl(L"text", NA_IT_TEXTE, 11), ItemDecl(L"num", NA_IT_I4, 4), ItemDecl(L"real", NA_IT_R8, 8),
              ItemDecl(L"uni", NA_IT_UNICODE, 22), ItemDecl(L"day", NA_IT_DATE8, 9),
              ItemDecl(L"arr", NA_IT_I2, 2, 3)});
  CNAZBRecord buffer;
  ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);
  struct Case {
    int item;
    const wchar_t* in;
    const wchar_t* out;
  };
  const Case cases[] = {
      {0, L"hello", L"hello"},
      {0, L"a much longer text", L"a much lon"},
      {1, L"-17", L"-17"},
      {2, L"2.25", L"2.25"},
      {3, L"\u00e9\u20ac", L"\u00e9\u20ac"},
  };
  for (const Case& k : cases) {
    CAny v;
    v.__SetType(VX_PSTRW, 0);
    v.SetValueByte(k.in, static_cast<unsigned int>(std::wcslen(k.in) * sizeof(wchar_t)));
    ASSERT_EQ(buffer.SetItemValue(src.Item(k.item), &v), 1);
    EXPECT_TRUE(buffer.bItemValueDefined(src.Item(k.item)));
    CAny back;
    buffer.GetItemValue(&back, src.Item(k.item));
    EXPECT_EQ(AsText(back), k.out);
  }
  // Elements of an array item.
  CAny n;
  n.SetI4(7);
  ASSERT_EQ(buffer.SetItemValue(src.Item(5), &n, 2), 1);
  CAny e;
  buffer.GetItemValue(&e, src.Item(5), 2);
  EXPECT_EQ(AsText(e), L"7");
  buffer.GetItemValue(&e, src.Item(5), 0);
  EXPECT_EQ(AsText(e), L"0");
  // A NULL value, an untyped value: NULL.
  CAny null;
  null.SetI4(1);
  null.SetNull(true);
  ASSERT_EQ(buffer.SetItemValue(src.Item(1), &null), 1);
  EXPECT_FALSE(buffer.bItemValueDefined(src.Item(1)));
  // A value the item cannot hold: refused, slot unchanged.
  CAny bad;
  bad.__SetType(VX_PSTRW, 0);
  bad.SetValueByte(L"x1", 2 * sizeof(wchar_t));
  ASSERT_EQ(buffer.SetItemValue(src.Item(2), &bad), 0);
  CAny back;
  buffer.GetItemValue(&back, src.Item(2));
  EXPECT_EQ(AsText(back), L"2.25");
}

TEST_F(RecordBufferTest, AnItemOfAnotherLayoutIsNeverWrittenOrReadOutsideTheBuffer) {
  Source small({ItemDecl(L"a", NA_IT_I4, 4)});
  Source big({ItemDecl(L"a", NA_IT_I4, 4), ItemDecl(L"b", NA_IT_TEXTE, 4000)});
  CNAZBRecord buffer;
  ASSERT_EQ(buffer.bInit(small.p, INIT_ZEROED), 1);
  INAItemDescription* piForeign = big.Item(1);
  EXPECT_EQ(buffer.pbyGetItemValue(piForeign), nullptr);
  buffer.vSetItemValue(piForeign, reinterpret_cast<const unsigned char*>("xyz"), 3, -1);
  CAny v;
  v.SetI4(3);
  EXPECT_EQ(buffer.SetItemValue(piForeign, &v), 0);
  CAny back;
  buffer.GetItemValue(&back, piForeign);
  EXPECT_TRUE(back.bIsNull());
  EXPECT_EQ(buffer.pbyGetItemValue(big.Item(0), 5), nullptr) << "element past the item";
}

TEST_F(RecordBufferTest, ClonesAndCopiesKeepTheLayoutAndTheBytes) {
  Source src({ItemDecl(L"a", NA_IT_I4, 4), ItemDecl(L"b", NA_IT_TEXTE, 6)});
  CNAZBRecord buffer;
  ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);
  buffer.vSetItemValue(src.Item(1), reinterpret_cast<const unsigned char*>("abc"), 3, -1);
  CNAZBRecord* pclClone = buffer.pclGetClone();
  ASSERT_NE(pclClone, nullptr);
  EXPECT_TRUE(buffer.bEquals(pclClone));
  pclClone->SetItemValueDefined(src.Item(1), 0);
  EXPECT_FALSE(buffer.bEquals(pclClone));
  pclClone->Copy(&buffer);
  EXPECT_TRUE(buffer.bEquals(pclClone));
  EXPECT_FALSE(buffer.bEquals(nullptr));
  delete pclClone;
}

// A record identifier that counts its references.
class CountedId : public CNARecordIdBase {
 public:
  void RecordIdToString(CXYString<wchar_t>*, const wchar_t*, int) const override {}
};

TEST_F(RecordBufferTest, RecordValuesCloneTheirBufferShareTheirIdentifierAndCopyMemos) {
  Source src({ItemDecl(L"a", NA_IT_I4, 4), ItemDecl(L"m", NA_IT_MEMOTEXTE, 8)});
  CNAError* pclError = new CNAError;
  pclError->AddRef();
  CNAZBRecord tpl;
  ASSERT_EQ(tpl.bInit(src.p, INIT_ZEROED), 1);
  auto* pclValue = new CNARecordValue(pclError);
  pclValue->AddRef();
  ASSERT_EQ(pclValue->bCopyNAZBRecord(&tpl), 1);
  auto* pclId = new CountedId;
  pclId->dwAddRef();
  ASSERT_EQ(pclValue->bShareRecordID(pclId), 1);
  EXPECT_EQ(pclId->nGetRefCount(), 2);
  auto* pclMemo = new CNAConvertVariant(pclError, nullptr);
  pclMemo->AddRef();
  pclMemo->InitTypeVariantAny(VX_PSTRW, 0);
  pclMemo->bSetValue(L"memo text", static_cast<unsigned int>(-1));
  ASSERT_EQ(pclValue->bShareMemoValue(0, pclMemo), 1);
  EXPECT_EQ(pclMemo->nGetRefCount(), 2);
  pclValue->SetState(kRecordValueDeleted);

  CNARecordValueBase* pclClone = pclValue->pclGetClone(COPY_ALL);
  ASSERT_NE(pclClone, nullptr);
  pclClone->AddRef();
  EXPECT_TRUE(pclClone->bEquals(pclValue, 1));
  EXPECT_EQ(pclClone->pclGetRecordIdNoRef(), pclId);
  EXPECT_EQ(pclId->nGetRefCount(), 3);
  EXPECT_NE(pclClone->pclGetMemoValueNoRef(0), pclMemo) << "memo holders are cloned";
  EXPECT_EQ(pclClone->nGetState(), kRecordValueDeleted);

  // A copy into a value that shares a holder keeps sharing it.
  pclMemo->bSetValue(L"changed", static_cast<unsigned int>(-1));
  EXPECT_FALSE(pclClone->bEquals(pclValue, 1));
  EXPECT_TRUE(pclClone->bEquals(pclValue, 0));
  ASSERT_EQ(pclValue->bCopyRecordValue(pclClone, COPY_ALL), 1);
  EXPECT_EQ(pclValue->pclGetMemoValueNoRef(0), pclMemo);
  EXPECT_TRUE(pclClone->bEquals(pclValue, 1));

  pclClone->nRelease();
  pclValue->nRelease();
  EXPECT_EQ(pclId->nGetRefCount(), 1);
  EXPECT_EQ(pclMemo->nGetRefCount(), 1);
  pclId->dwRelease();
  pclMemo->nRelease();
  pclError->nRelease();
}

TEST_F(RecordBufferTest, TheStatementHandsItsCurrentRowsCellsToValueHolders) {
  CNAError* pclError = new CNAError;
  pclError->AddRef();
  auto* pclStatement = new CNAStatement(static_cast<CNAConnectionDescription*>(nullptr), pclError);
  pclStatement->AddRef();
  auto* pclHolder = new CNAConvertVariant(pclError, nullptr);
  pclHolder->AddRef();
  pclHolder->InitTypeVariantAny(VX_I4, 0);

  EXPECT_EQ(pclStatement->bGetSQLColumnValue(pclHolder, 0), 0) << "no current row";
  EXPECT_EQ(pclError->nGetUserErrorCode(), CNAStatement::kErrNoCurrentRow);
  const char* cells[] = {"42", nullptr, "4x2"};
  const unsigned long lengths[] = {2, 0, 3};
  ASSERT_EQ(pclStatement->SetCurrentRow(cells, lengths, 3, 65001), 1);
  ASSERT_EQ(pclStatement->bGetSQLColumnValue(pclHolder, 0), 1);
  CAny v;
  pclHolder->bGetValue(&v);
  EXPECT_EQ(AsText(v), L"42");
  ASSERT_EQ(pclStatement->bGetSQLColumnValue(pclHolder, 1), 1);
  EXPECT_TRUE(pclHolder->bIsNull());
  EXPECT_EQ(pclStatement->bGetSQLColumnValue(pclHolder, 2), 0) << "no number";
  EXPECT_EQ(pclError->nGetUserErrorCode(), 53u);
  EXPECT_EQ(pclStatement->bGetSQLColumnValue(pclHolder, 3), 0) << "no such column";
  EXPECT_EQ(pclError->nGetUserErrorCode(), CNAStatement::kErrNoSuchColumn);

  pclHolder->nRelease();
  pclStatement->nRelease();
  pclError->nRelease();
}


// ---------------------------------------------------------------------------
// The boundary: slots and fields the server reads.

// The slot of a virtual member function pointer (Itanium ABI: 1 + the slot's
// byte offset); -1 when it is not virtual.
template <class PMF>
int SlotOf(PMF pmf) {
  static_assert(sizeof(PMF) == 2 * sizeof(uintptr_t), "Itanium member-function pointer");
  uintptr_t words[2];
  std::memcpy(words, &pmf, sizeof words);
  if ((words[0] & 1) == 0) return -1;
  return static_cast<int>((words[0] - 1) / sizeof(void*));
}

TEST(RecordBufferBoundary, EveryOperationSitsInItsSlot) {
  using B = CNAZBRecordBase;
  using R = CNAZBRecord;
  struct Case {
    const char* name;
    int expected;
    int base;
    int record;
  };
  const Case cases[] = {
      {"vpclGetClone", 2, SlotOf(&B::vpclGetClone), SlotOf(&R::vpclGetClone)},
      {"vSetValues", 3, SlotOf(&B::vSetValues), SlotOf(&R::vSetValues)},
      {"vpbyGetItemValue", 4,
       SlotOf(static_cast<unsigned char* (B::*)(INAItemDescription*, int)>(&B::vpbyGetItemValue)),
       SlotOf(static_cast<unsigned char* (R::*)(INAItemDescription*, int)>(&R::vpbyGetItemValue))},
      {"vpbyGetItemValue const", 5,
       SlotOf(static_cast<const unsigned char* (B::*)(INAItemDescription*, int) const>(
           &B::vpbyGetItemValue)),
       SlotOf(static_cast<const unsigned char* (R::*)(INAItemDescription*, int) const>(
           &R::vpbyGetItemValue))},
      {"vSetItemValue bytes", 6,
       SlotOf(static_cast<void (B::*)(INAItemDescription*, const unsigned char*, unsigned int, int)>(
           &B::vSetItemValue)),
       SlotOf(static_cast<void (R::*)(INAItemDescription*, const unsigned char*, unsigned int, int)>(
           &R::vSetItemValue))},
      {"vSetItemValue value", 7,
       SlotOf(static_cast<int (B::*)(INAItemDescription*, const CAny*, int)>(&B::vSetItemValue)),
       SlotOf(static_cast<int (R::*)(INAItemDescription*, const CAny*, int)>(&R::vSetItemValue))},
      {"vGetItemValue value", 8,
       SlotOf(static_cast<void (B::*)(CAny*, INAItemDescription*, int) const>(&B::vGetItemValue)),
       SlotOf(static_cast<void (R::*)(CAny*, INAItemDescription*, int) const>(&R::vGetItemValue))},
      {"vGetItemValue bytes", 9,
       SlotOf(static_cast<void (B::*)(unsigned char*, INAItemDescription*, int) const>(
           &B::vGetItemValue)),
       SlotOf(static_cast<void (R::*)(unsigned char*, INAItemDescription*, int) const>(
           &R::vGetItemValue))},
      {"vSetItemValueDefined", 10, SlotOf(&B::vSetItemValueDefined),
       SlotOf(&R::vSetItemValueDefined)},
      {"vbItemValueDefined", 11, SlotOf(&B::vbItemValueDefined), SlotOf(&R::vbItemValueDefined)},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    EXPECT_EQ(k.base, k.expected);
    EXPECT_EQ(k.record, k.expected) << "the implementation adds no slot before it";
  }
  // Slots 0 and 1 are the destructors: the table has exactly these twelve.
  EXPECT_EQ(kCNAZBRecordSlotCount, 12);
}

TEST_F(RecordBufferTest, TheFieldsSitWhereTheServerReadsThem) {
  std::vector<StandInItemDecl> items;
  for (int i = 0; i < 9; ++i) items.push_back(ItemDecl((L"i" + std::to_wstring(i)).c_str(), NA_IT_I4, 4));
  Source src(items);
  CNAZBRecord buffer;
  ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);
  const unsigned char* pObject = reinterpret_cast<const unsigned char*>(&buffer);
  auto Word = [&](size_t nAt) {
    uintptr_t w;
    std::memcpy(&w, pObject + nAt * sizeof(void*), sizeof w);
    return w;
  };
  static_assert(sizeof(int) == sizeof(void*), "32-bit fields and pointers alike on i386");
  EXPECT_EQ(sizeof(CNAZBRecord), 7 * sizeof(void*));
  EXPECT_EQ(static_cast<int>(Word(1)), buffer.nGetBufferLength());
  EXPECT_EQ(Word(2), reinterpret_cast<uintptr_t>(buffer.pbyGetBuffer()));
  EXPECT_EQ(static_cast<int>(Word(3)), 9);
  EXPECT_EQ(Word(4), reinterpret_cast<uintptr_t>(buffer.pbyGetValues()));
  EXPECT_EQ(static_cast<int>(Word(5)), 2);
  EXPECT_EQ(Word(6), reinterpret_cast<uintptr_t>(buffer.pbyGetNullValuesFlags()));
  EXPECT_EQ(buffer.pbyGetNullValuesFlags(), buffer.pbyGetBuffer());
}

// ---------------------------------------------------------------------------
// Raw stores

// A source of exactly its bytes on the heap: a read past its end is caught
// by the sanitizer.
std::vector<unsigned char> Bytes(const void* p, size_t n) {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  return std::vector<unsigned char>(b, b + n);
}

std::vector<unsigned char> Wide(const wchar_t* psz) {
  return Bytes(psz, std::wcslen(psz) * sizeof(wchar_t));
}

TEST_F(RecordBufferTest, RawStoresTakeWhatTheSourceAndTheSlotBothHoldAndZeroTheRest) {
  struct Case {
    const char* name;
    int type;
    int size;
    std::vector<unsigned char> source;
    std::vector<unsigned char> expected;
  };
  const std::vector<unsigned char> twenty = Bytes("ABCDEFGHIJKLMNOPQRST", 20);
  const Case cases[] = {
      {"text longer than its slot", NA_IT_TEXTE, 10, Bytes("ABCDEFGHIJKLMNO", 15),
       Bytes("ABCDEFGHI\0", 10)},
      {"short text", NA_IT_TEXTE, 10, Bytes("abc", 3), Bytes("abc\0\0\0\0\0\0\0", 10)},
      {"text with a zero inside", NA_IT_TEXTE, 6, Bytes("ab\0cd", 5), Bytes("ab\0\0\0\0", 6)},
      {"time text", NA_IT_HEURE, 10, Bytes("134507089", 9), Bytes("134507089\0", 10)},
      {"binary longer than its slot", NA_IT_BINAIRE, 10, twenty, Bytes("\x08\0ABCDEFGH", 10)},
      {"short binary", NA_IT_BINAIRE, 10, Bytes("xyz", 3), Bytes("\x03\0xyz\0\0\0\0\0", 10)},
      {"empty binary", NA_IT_BINAIRE, 6, {}, Bytes("\0\0\0\0\0\0", 6)},
      {"Unicode that fits", NA_IT_UNICODE, 8, Wide(L"ab"), Bytes("a\0b\0\0\0\0\0", 8)},
      {"Unicode pair at the slot's end", NA_IT_UNICODE, 8, Wide(L"ab\U0001F600"),
       Bytes("a\0b\0\x3D\xD8\x00\xDE", 8)},
      {"Unicode pair one unit past the slot", NA_IT_UNICODE, 6, Wide(L"ab\U0001F600"),
       Bytes("a\0b\0\0\0", 6)},
      {"Unicode pair in an odd slot", NA_IT_UNICODE, 7, Wide(L"ab\U0001F600"),
       Bytes("a\0b\0\0\0\0", 7)},
      {"Unicode cut at the slot", NA_IT_UNICODE, 4, Wide(L"abc"), Bytes("a\0b\0", 4)},
      {"integer from one byte", NA_IT_I4, 4, Bytes("\x01", 1), Bytes("\x01\0\0\0", 4)},
      {"integer from more than its size", NA_IT_I4, 4, Bytes("\x01\x02\x03\x04\x05", 5),
       Bytes("\x01\x02\x03\x04", 4)},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    // The item last in the record: a read or write past its slot leaves the
    // block.
    Source src({ItemDecl(L"before", NA_IT_I2, 2), ItemDecl(L"it", k.type, k.size)});
    CNAZBRecord buffer;
    ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);
    // A former value fills the slot: nothing of it may stay behind.
    std::memset(buffer.pbyGetItemValue(src.Item(1)), 0x5A, static_cast<size_t>(k.size));
    buffer.SetItemValue(src.Item(1), k.source.empty() ? nullptr : k.source.data(),
                        static_cast<unsigned int>(k.source.size()));
    ASSERT_EQ(k.expected.size(), static_cast<size_t>(k.size));
    EXPECT_EQ(Bytes(buffer.pbyGetItemValue(src.Item(1)), k.expected.size()), k.expected);
    EXPECT_TRUE(buffer.bItemValueDefined(src.Item(1)));
  }
}

TEST_F(RecordBufferTest, ANonBmpCharacterAtTheSlotsEndComesBackWhole) {
  Source src({ItemDecl(L"u", NA_IT_UNICODE, 8), ItemDecl(L"odd", NA_IT_TEXTE, 1), ItemDecl(L"v", NA_IT_UNICODE, 8)});
  CNAZBRecord buffer;
  ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);
  for (int i : {0, 2}) {  // the second slot starts at an odd offset
    const std::vector<unsigned char> in = Wide(L"ab\U0001F600");
    buffer.SetItemValue(src.Item(i), in.data(), static_cast<unsigned int>(in.size()));
    CAny v;
    buffer.GetItemValue(&v, src.Item(i));
    EXPECT_EQ(v.nGetTypeCode(), VX_DSTRW);
    EXPECT_EQ(AsText(v), L"ab\U0001F600") << i;
  }
}

TEST_F(RecordBufferTest, AnEightBitTextFillingItsSlotIsReadNoFurther) {
  Source src({ItemDecl(L"n", NA_IT_I4, 4), ItemDecl(L"t", NA_IT_TEXTE, 6)});
  CNAZBRecord buffer;
  ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);
  // No terminator anywhere: the slot ends the block.
  unsigned char aby[10];
  std::memset(aby, 'x', sizeof aby);
  buffer.SetValues(aby, sizeof aby);
  CAny v;
  buffer.GetItemValue(&v, src.Item(1));
  EXPECT_EQ(AsText(v), L"xxxxxx");
}

TEST_F(RecordBufferTest, MemoMarksAreEightBytesWhateverTheMemosType) {
  for (int type : {NA_IT_MEMOTEXTE, NA_IT_MEMOBINAIRE, NA_IT_MEMOUNICODE}) {
    Source src({ItemDecl(L"m", type, 8)});
    CNAZBRecord buffer;
    ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);
    buffer.SetItemValueDefined(src.Item(0), 0);
    EXPECT_EQ(Bytes(buffer.pbyGetItemValue(src.Item(0)), 8), Bytes("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8))
        << type;
    EXPECT_FALSE(buffer.bItemValueDefined(src.Item(0)));
    buffer.SetItemValueDefined(src.Item(0), 1);
    EXPECT_EQ(Bytes(buffer.pbyGetItemValue(src.Item(0)), 8), Bytes("\0\0\0\0\0\0\0\0", 8)) << type;
    EXPECT_TRUE(buffer.bItemValueDefined(src.Item(0)));
  }
}

TEST_F(RecordBufferTest, ATableOfMarksSetsTheGivenBitsAndClearsTheNullOnes) {
  Source src({ItemDecl(L"a", NA_IT_I4, 4), ItemDecl(L"m", NA_IT_MEMOTEXTE, 8), ItemDecl(L"c", NA_IT_I2, 2)});
  CNAZBRecord buffer;
  ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);
  unsigned char aby[14];
  std::memset(aby, 0x11, sizeof aby);
  buffer.SetValues(aby, sizeof aby);
  INAItemDescription* const items[] = {src.Item(0), src.Item(1), src.Item(2)};
  const int physical[] = {0, 1, 2};
  const int defined[] = {0, 0, 1};
  buffer.SetTabItemValueDefined(items, 3, physical, defined);
  EXPECT_EQ(buffer.pbyGetNullValuesFlags()[0] & 0xE0, 0x20);
  EXPECT_EQ(Bytes(buffer.pbyGetItemValue(src.Item(0)), 4), Bytes("\0\0\0\0", 4));
  EXPECT_EQ(Bytes(buffer.pbyGetItemValue(src.Item(1)), 8), Bytes("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8));
  EXPECT_EQ(Bytes(buffer.pbyGetItemValue(src.Item(2)), 2), Bytes("\x11\x11", 2)) << "present keeps its bytes";
}

// ---------------------------------------------------------------------------
// Language values

TEST_F(RecordBufferTest, ADateTimeGivesATimeItemItsTimeOfDay) {
  Source src({ItemDecl(L"h", NA_IT_HEURE, 10)});
  CNAZBRecord buffer;
  ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);
  CDateTime clDate;
  clDate.Set(2024, 2, 29, 13, 45, 7, 89);
  CAny v;
  v.SetDATETIME(clDate);
  ASSERT_EQ(buffer.SetItemValue(src.Item(0), &v), 1);
  EXPECT_EQ(Bytes(buffer.pbyGetItemValue(src.Item(0)), 10), Bytes("134507089\0", 10));
  EXPECT_TRUE(buffer.bItemValueDefined(src.Item(0)));
  // And a time text cast for the item becomes a date-time of that time.
  CAny t;
  t.__SetType(VX_PSTRA, 0);
  t.SetValueByte("134507089", 9);
  ASSERT_EQ(CNAZBRecord::nCastTo(&t, VX_DATETIME, src.Item(0)), 0);
  ASSERT_EQ(t.nGetTypeCode(), VX_DATETIME);
  CDateTimeBase clBack;
  std::memcpy(&clBack, t.pbyGetValeur(), sizeof clBack);
  EXPECT_EQ(clBack.dwGetMilli(), clDate.dwGetMilli());
}

TEST_F(RecordBufferTest, ADecimalIsStoredAtTheItemsPrecisionAndScale) {
  StandInItemDecl d = ItemDecl(L"d", NA_IT_DECIMAL, 18);
  d.integerDigits = 5;
  d.decimalDigits = 2;
  Source src({d});
  CNAZBRecord buffer;
  ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);
  CAny v;
  v.__SetType(VX_PSTRW, 0);
  v.SetValueByte(L"-123.456", 8 * sizeof(wchar_t));
  ASSERT_LT(v.__nCastTo(VX_DECIMAL, nullptr, 1), 100);
  ASSERT_EQ(buffer.SetItemValue(src.Item(0), &v), 1);
  const unsigned char* p = buffer.pbyGetItemValue(src.Item(0));
  EXPECT_EQ(p[0], 7) << "precision = integer digits + decimals";
  EXPECT_EQ(p[1], 2) << "scale = decimals";
  EXPECT_EQ(AsText(v), L"-123.456") << "the caller's value is not touched";
  CAny back;
  buffer.GetItemValue(&back, src.Item(0));
  EXPECT_EQ(back.nGetTypeCode(), VX_DECIMAL);
  EXPECT_EQ(AsText(back), L"-123.46");
}

TEST_F(RecordBufferTest, ADecimalInASlotShorterThanItsFormKeepsItsSign) {
  // A slot of 9 bytes holds precision, scale and the coefficient's low
  // bytes: values read back whole, negative ones included.
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"-0.0005", L"-0.0005"}, {L"-12345.6789", L"-12345.6789"}, {L"0.0005", L"0.0005"},
      {L"12345.6789", L"12345.6789"}, {L"-1", L"-1.0000"}};
  for (const auto& [psz, pszBack] : cases) {
    SCOPED_TRACE(Utf8(psz));
    StandInItemDecl d = ItemDecl(L"d", NA_IT_DECIMAL, 9);
    d.integerDigits = 6;
    d.decimalDigits = 4;
    Source src({d});
    CNAZBRecord buffer;
    ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);
    CAny v;
    v.__SetType(VX_PSTRW, 0);
    v.SetValueByte(psz, static_cast<unsigned int>(std::wcslen(psz) * sizeof(wchar_t)));
    ASSERT_LT(v.__nCastTo(VX_DECIMAL, nullptr, 1), 100);
    ASSERT_EQ(buffer.SetItemValue(src.Item(0), &v), 1);
    CAny back;
    buffer.GetItemValue(&back, src.Item(0));
    EXPECT_EQ(AsText(back), pszBack);
  }
}

// ---------------------------------------------------------------------------
// Whole buffers

TEST_F(RecordBufferTest, ACopyFromAShorterBufferNeverReadsPastIt) {
  Source small({ItemDecl(L"a", NA_IT_I4, 4)});
  Source big({ItemDecl(L"a", NA_IT_I4, 4), ItemDecl(L"b", NA_IT_TEXTE, 12)});
  CNAZBRecord shortOne;
  CNAZBRecord longOne;
  ASSERT_EQ(shortOne.bInit(small.p, INIT_ZEROED), 1);
  ASSERT_EQ(longOne.bInit(big.p, INIT_ZEROED), 1);
  unsigned char aby[4] = {1, 2, 3, 4};
  shortOne.SetValues(aby, 4);
  longOne.SetValues(reinterpret_cast<const unsigned char*>("zzzzzzzzzzzzzzzz"), 16);
  longOne.Copy(&shortOne);
  EXPECT_EQ(Bytes(longOne.pbyGetBuffer(), 5), Bytes("\xFF\x01\x02\x03\x04", 5));
  EXPECT_EQ(Bytes(longOne.pbyGetItemValue(big.Item(1)), 12), std::vector<unsigned char>(12, 0));
}

TEST_F(RecordBufferTest, TheSerialisedFormComesBackAsAnEqualBuffer) {
  for (int nItems : {0, 8, 9}) {
    SCOPED_TRACE(nItems);
    std::vector<StandInItemDecl> items;
    for (int i = 0; i < nItems; ++i) items.push_back(ItemDecl((L"i" + std::to_wstring(i)).c_str(), NA_IT_I2, 2));
    Source src(items);
    CNAZBRecord buffer;
    ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);
    for (int i = 0; i < nItems; i += 2) {
      const unsigned char v[2] = {static_cast<unsigned char>(i), 0x7F};
      buffer.SetItemValue(src.Item(i), v, 2);
    }
    const int n = buffer.nGetBufferLength();
    ASSERT_EQ(buffer.nGetSerializeSize(), n + 12);
    EXPECT_EQ(buffer.nGetSerializeValuesOffset(), buffer.nGetFlagFieldSize() + 12);
    std::vector<unsigned char> form(static_cast<size_t>(n + 12));
    EXPECT_EQ(buffer.Serialize(form.data(), n + 11), 0) << "too small";
    ASSERT_EQ(buffer.Serialize(form.data(), n + 12), 1);
    CNAZBRecord back;
    unsigned char* pValues = back.Deserialize(form.data(), n + 12);
    ASSERT_NE(pValues, nullptr);
    EXPECT_EQ(pValues, back.pbyGetValues());
    EXPECT_TRUE(back.bEquals(&buffer));
    EXPECT_EQ(back.nGetPhysicalItemCount(), nItems);
    if (nItems > 0) {
      EXPECT_EQ(std::memcmp(form.data() + back.nGetSerializeValuesOffset(), buffer.pbyGetValues(), 2), 0);
    }
  }
}

TEST_F(RecordBufferTest, DisagreeingCountersAreRefusedAndNothingIsReadPastTheForm) {
  Source src({ItemDecl(L"a", NA_IT_I4, 4), ItemDecl(L"b", NA_IT_I2, 2)});
  CNAZBRecord buffer;
  ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);
  buffer.SetItemValue(src.Item(1), reinterpret_cast<const unsigned char*>("\x05\x06"), 2);
  std::vector<unsigned char> good(static_cast<size_t>(buffer.nGetSerializeSize()));
  ASSERT_EQ(buffer.Serialize(good.data(), static_cast<int>(good.size())), 1);
  struct Case {
    const char* name;
    int length;
    int physical;
    int flags;
    int cut;  // bytes taken off the end of the form
  };
  const Case cases[] = {
      {"length past the form", 8, 2, 1, 0},
      {"form cut short", 7, 2, 1, 1},
      {"negative length", -1, 2, 1, 0},
      {"negative item count", 7, -2, 1, 0},
      {"bit field too small for the items", 7, 9, 1, 0},
      {"bit field for no items", 7, 0, 1, 0},
      {"bit field past the length", 0, 2, 1, 7},
      {"counters cut", 7, 2, 1, 9},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    std::vector<unsigned char> form = good;
    auto Put = [&](size_t at, int v) {
      for (int i = 0; i < 4; ++i) form[at + i] = static_cast<unsigned char>(static_cast<unsigned int>(v) >> (8 * i));
    };
    Put(0, k.length);
    Put(4, k.physical);
    Put(8, k.flags);
    // Exactly the bytes offered, on the heap.
    std::vector<unsigned char> offered(form.begin(), form.end() - k.cut);
    CNAZBRecord target;
    ASSERT_EQ(target.bInit(src.p, INIT_ZEROED), 1);
    CNAZBRecord* pclBefore = target.pclGetClone();
    ASSERT_NE(pclBefore, nullptr);
    EXPECT_EQ(target.Deserialize(offered.data(), static_cast<int>(offered.size())), nullptr);
    EXPECT_TRUE(target.bEquals(pclBefore)) << "left as it was";
    EXPECT_EQ(target.nGetPhysicalItemCount(), 2);
    delete pclBefore;
  }
  CNAZBRecord target;
  EXPECT_NE(target.Deserialize(good.data(), static_cast<int>(good.size())), nullptr) << "the good form";
  EXPECT_TRUE(target.bEquals(&buffer));
}

TEST_F(RecordBufferTest, StoresReadsMarksAndCopiesCallNoAllocator) {
  Source src({ItemDecl(L"t", NA_IT_TEXTE, 12), ItemDecl(L"b", NA_IT_BINAIRE, 10), ItemDecl(L"u", NA_IT_UNICODE, 9),
              ItemDecl(L"n", NA_IT_I4, 4), ItemDecl(L"m", NA_IT_MEMOTEXTE, 8), ItemDecl(L"r", NA_IT_R8, 8),
              ItemDecl(L"x", NA_IT_UNICODE, 2000)});
  CNAZBRecord buffer;
  CNAZBRecord other;
  ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);
  ASSERT_EQ(other.bInit(src.p, INIT_ZEROED), 1);
  std::vector<unsigned char> form(static_cast<size_t>(buffer.nGetSerializeSize()));
  const std::vector<unsigned char> wide = Wide(L"\u00e9t\U0001F600\u00e9t\u00e9");
  std::vector<unsigned char> longWide;
  for (int i = 0; i < 990; ++i) longWide.insert(longWide.end(), wide.begin(), wide.begin() + 4);
  unsigned char out[2000];
  CAny n;
  n.SetI4(41);
  CAny r;
  r.SetR8(0.5);
  CAny back;
  back.SetI4(0);
  HeapCallCount count;
  for (int round = 0; round < 50; ++round) {
    buffer.SetItemValue(src.Item(0), reinterpret_cast<const unsigned char*>("some text"), 9);
    buffer.SetItemValue(src.Item(1), reinterpret_cast<const unsigned char*>("bytes"), 5);
    buffer.SetItemValue(src.Item(2), wide.data(), static_cast<unsigned int>(wide.size()));
    buffer.SetItemValue(src.Item(6), longWide.data(), static_cast<unsigned int>(longWide.size()));
    buffer.SetItemValue(src.Item(3), &n);
    buffer.SetItemValue(src.Item(5), &r);
    buffer.SetItemValueDefined(src.Item(4), round % 2);
    buffer.SetItemValueDefined(src.Item(3), 1);
    buffer.GetItemValue(&back, src.Item(3));
    for (int i = 0; i < 7; ++i) {
      buffer.GetItemValue(out, src.Item(i));
      (void)buffer.bItemValueDefined(src.Item(i));
    }
    other.Copy(&buffer);
    EXPECT_TRUE(other.bEquals(&buffer));
    buffer.Serialize(form.data(), static_cast<int>(form.size()));
    other.Deserialize(form.data(), static_cast<int>(form.size()));
  }
  const int nCalls = count.nCalls();
  EXPECT_EQ(nCalls, 0);
  EXPECT_EQ(AsText(back), L"41");
  // The counter does see the allocator: a clone takes two blocks.
  HeapCallCount control;
  delete buffer.pclGetClone();
  EXPECT_GE(control.nCalls(), 2);
}


// ---------------------------------------------------------------------------
// Enumeration and combination items: the server's objects do the converting.
// Built once the stand-in has the objects that convert (its header then
// comes with the stand-in's descriptions).
#if defined(KQ230_HOST_HARNESS_STANDIN_ENUMERATION_H_)

// The stand-in's window on language values. An enumeration or combination
// value is a server object (types 135, 136); the test's stands for the
// member number it holds in nMember.
class AnyAccess final : public IStandInValueAccess {
 public:
  long long nMember = 0;
  bool bGetInteger(const CAny* p, long long* pn) override {
    if (p->nGetTypeCode() != 135 && p->nGetTypeCode() != 136) return false;
    *pn = nMember;
    return true;
  }
  bool bGetText(const CAny*, std::wstring*) override { return false; }
  bool bSetInteger(CAny* p, long long n) override {
    p->SetI8(n);
    return true;
  }
  bool bSetText(CAny* p, const std::wstring& str) override {
    p->__SetType(VX_PSTRW, 0);
    p->SetValueByte(str.c_str(), static_cast<unsigned int>(str.size() * sizeof(wchar_t)));
    return true;
  }
  void SetError(CXError* pclError, unsigned int nCode, const std::wstring& str) override {
    pclError->SetUserErrorCode(nCode);
    pclError->AddDebugMessageNoFormat(str.c_str());
  }
};

TEST_F(RecordBufferTest, AnEnumerationItemAsksItsObjectForTheCodeAndBack) {
  AnyAccess access;
  CStandInEnumeration* pclEnum = CStandInEnumeration::pclNew({L"RED", L"GREEN", L"BLUE"}, &access);
  StandInItemDecl d = ItemDecl(L"e", NA_IT_ENUMERATION, 4);
  d.enumeration = pclEnum;
  {
    Source src({ItemDecl(L"odd", NA_IT_TEXTE, 1), d});
    CNAZBRecord buffer;
    ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);
    CAny v;
    v.__SetType(135, 0);
    access.nMember = 2;
    ASSERT_EQ(buffer.SetItemValue(src.Item(1), &v), 1);
    EXPECT_EQ(pclEnum->Calls().nToRecord, 1);
    EXPECT_EQ(Bytes(buffer.pbyGetItemValue(src.Item(1)), 4), Bytes("\x02\0\0\0", 4));
    EXPECT_TRUE(buffer.bItemValueDefined(src.Item(1)));
    CAny back;
    buffer.GetItemValue(&back, src.Item(1));
    EXPECT_EQ(pclEnum->Calls().nFromRecord, 1);
    EXPECT_EQ(pclEnum->Calls().lastRecord, Bytes("\x02\0\0\0", 4));
    EXPECT_EQ(AsText(back), L"GREEN");
    // A value the object refuses leaves the slot; bytes it refuses throw
    // the error it filled.
    access.nMember = 9;
    EXPECT_EQ(buffer.SetItemValue(src.Item(1), &v), 0);
    EXPECT_EQ(Bytes(buffer.pbyGetItemValue(src.Item(1)), 4), Bytes("\x02\0\0\0", 4));
    buffer.SetItemValue(src.Item(1), reinterpret_cast<const unsigned char*>("\x07\0\0\0"), 4);
    try {
      buffer.GetItemValue(&back, src.Item(1));
      ADD_FAILURE() << "no error thrown";
    } catch (const CXError& e) {
      EXPECT_EQ(e.nGetUserErrorCode(), kStandInEnumerationRefused);
    }
  }
  pclEnum->nRelease();
}

TEST_F(RecordBufferTest, ACombinationItemAsksItsObjectForItsBytesAndBack) {
  AnyAccess access;
  CStandInCombination* pclComb =
      CStandInCombination::pclNew({L"A", L"B", L"C", L"D", L"E", L"F", L"G", L"H", L"I"}, &access);
  StandInItemDecl d = ItemDecl(L"c", NA_IT_COMBINAISON, 2);
  d.combination = pclComb;
  {
    Source src({d});
    CNAZBRecord buffer;
    ASSERT_EQ(buffer.bInit(src.p, INIT_ZEROED), 1);
    CAny v;
    v.__SetType(136, 0);
    access.nMember = 0x105;
    ASSERT_EQ(buffer.SetItemValue(src.Item(0), &v), 1);
    EXPECT_EQ(pclComb->Calls().nToRecord, 1);
    EXPECT_EQ(Bytes(buffer.pbyGetItemValue(src.Item(0)), 2), Bytes("\x05\x01", 2));
    CAny back;
    buffer.GetItemValue(&back, src.Item(0));
    EXPECT_EQ(pclComb->Calls().nFromRecord, 1);
    EXPECT_EQ(pclComb->Calls().lastRecord, Bytes("\x05\x01", 2));
    EXPECT_EQ(AsText(back), L"261");
    access.nMember = 0x400;  // no such member
    EXPECT_EQ(buffer.SetItemValue(src.Item(0), &v), 0);
    EXPECT_EQ(Bytes(buffer.pbyGetItemValue(src.Item(0)), 2), Bytes("\x05\x01", 2)) << "refused: unchanged";
    buffer.SetItemValue(src.Item(0), reinterpret_cast<const unsigned char*>("\x00\x04"), 2);
    EXPECT_THROW(buffer.GetItemValue(&back, src.Item(0)), CXError);
  }
  pclComb->nRelease();
}

#endif  // KQ230_HOST_HARNESS_STANDIN_ENUMERATION_H_

}  // namespace
}  // namespace kqtest
