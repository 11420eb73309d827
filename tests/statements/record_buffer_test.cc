// The record buffer, the record value and the statement's current row, over
// the stand-in server's descriptions: layout, raw stores by item type, NULL
// marks, language values in and out, clones and copies, memo holders, and
// cells handed to value holders.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "items/convert_variant.h"
#include "statements/record_buffer.h"
#include "statements/record_value.h"
#include "statements/statement.h"
#include "tests/values/bound_values.h"
#include "values/any.h"

namespace kqtest {
namespace {

StandInItemDecl Item(const wchar_t* name, int type, int size, int dimension = 1) {
  StandInItemDecl d;
  d.name = name;
  d.type = type;
  d.size = size;
  d.dimension = dimension;
  return d;
}

// A stand-in description, released at scope end.
struct Source {
  explicit Source(const std::vector<StandInItemDecl>& items)
      : p(CStandInDescription::pclNew(L"file", items, 12)) {}
  ~Source() {
    if (p != nullptr) p->nExternalRelease();
  }
  INAItemDescription* Item(int i) const { return p->pclGetItem(i); }
  CStandInDescription* p;
};

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
    for (int i = 0; i < nItems; ++i) items.push_back(Item((L"i" + std::to_wstring(i)).c_str(), NA_IT_I4, 4));
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
  for (int i = 0; i < 21; ++i) items.push_back(Item((L"i" + std::to_wstring(i)).c_str(), NA_IT_I2, 2));
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
  Source src({Item(L"text", NA_IT_TEXTE, 10), Item(L"bin", NA_IT_BINAIRE, 10),
              Item(L"uni", NA_IT_UNICODE, 8), Item(L"num", NA_IT_I4, 4),
              Item(L"memo", NA_IT_MEMOTEXTE, 8)});
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
  Source src({Item(L"text", NA_IT_TEXTE, 11), Item(L"num", NA_IT_I4, 4), Item(L"real", NA_IT_R8, 8),
              Item(L"uni", NA_IT_UNICODE, 22), Item(L"day", NA_IT_DATE8, 9),
              Item(L"arr", NA_IT_I2, 2, 3)});
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
  Source small({Item(L"a", NA_IT_I4, 4)});
  Source big({Item(L"a", NA_IT_I4, 4), Item(L"b", NA_IT_TEXTE, 4000)});
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
  Source src({Item(L"a", NA_IT_I4, 4), Item(L"b", NA_IT_TEXTE, 6)});
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
  Source src({Item(L"a", NA_IT_I4, 4), Item(L"m", NA_IT_MEMOTEXTE, 8)});
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
  auto* pclStatement = new CNAStatement(nullptr, pclError);
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

}  // namespace
}  // namespace kqtest
