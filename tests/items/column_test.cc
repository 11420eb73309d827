// The columns of a record over the stand-in server's analysis: values read
// and written in place in the record buffer, the defined and modified
// tests, the NULL rules by server kind, composed-key bytes, memos and their
// modified state, the trace text, and names written for SQL.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/string_concat.h"
#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "items/column.h"
#include "items/convert_variant.h"
#include "items/item_description.h"
#include "items/record.h"
#include "items/record_buffer_interface.h"
#include "tests/items/record_test_support.h"
#include "tests/values/bound_values.h"
#include "values/any.h"
#include "values/date_time_base.h"

namespace kqtest {
namespace {

StandInItemDecl Item(const wchar_t* name, int type, int size, unsigned short keys = 0,
                     bool nullAllowed = true) {
  StandInItemDecl d;
  d.name = name;
  d.type = type;
  d.size = size;
  d.keyFlags = keys;
  d.nullAllowed = nullAllowed;
  return d;
}

CAny Text(const wchar_t* psz) {
  CAny v;
  v.__SetType(VX_PSTRW, 0);
  v.SetValueByte(psz, static_cast<unsigned int>(std::wcslen(psz) * sizeof(wchar_t)));
  return v;
}

CAny Int(int n) {
  CAny v;
  v.SetI4(n);
  return v;
}

std::wstring Trace(CNAColumn* pclColumn, int bWithName) {
  CXYStringConcat<wchar_t> text;
  text.Add(L"old", 3);
  pclColumn->bCurrentValueToString(&text, bWithName);
  return text.pszGet();
}

class ColumnTest : public BoundValuesTest {
 protected:
  void SetUp() override {
    BoundValuesTest::SetUp();
    m_pclError = new CNAError;
    m_pclError->AddRef();
    m_pclConnection = new ItemsTestConnection(&m_host, kServerKindMariaDB);
    m_pclConnection->AddRef();
    m_pclAccess = new TestItemsDataAccess(m_pclConnection, L"customer");
    m_pclAccess->AddRef();
  }
  void TearDown() override {
    if (m_pclRecord != nullptr) m_pclRecord->nRelease();
    if (m_piSource != nullptr) m_piSource->nExternalRelease();
    m_pclAccess->nRelease();
    m_pclConnection->nRelease();
    m_pclError->nRelease();
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, 0) << "stand-in descriptions left alive";
    BoundValuesTest::TearDown();
  }

  // The record over a description of those items (every item of version
  // nVersion) on a connection of the server kind.
  void Build(const std::vector<StandInItemDecl>& items, int nVersion = 12,
             int nServerKind = kServerKindMariaDB) {
    m_pclConnection->SetServerKind(nServerKind);
    m_piSource = CStandInDescription::pclNew(L"customer", items, nVersion);
    ASSERT_NE(m_piSource, nullptr);
    m_pclRecord = new CNARecord(m_pclError, m_pclAccess);
    m_pclRecord->AddRef();
    ASSERT_EQ(m_pclRecord->bInitRecord(m_piSource, nullptr, m_pclConnection), 1);
  }
  void TearDownRecord() {
    if (m_pclRecord != nullptr) m_pclRecord->nRelease();
    m_pclRecord = nullptr;
    if (m_piSource != nullptr) m_piSource->nExternalRelease();
    m_piSource = nullptr;
  }
  CNAColumn* Column(const wchar_t* name) {
    CNAColumn* p = m_pclRecord->pclGetColumnNoRef(name);
    EXPECT_NE(p, nullptr) << "no column";
    return p;
  }
  CNAZBRecordBase* Current() { return m_pclRecord->pclGetNAZBRecord(); }

  HostConnectionFake m_host;
  CNAError* m_pclError = nullptr;
  ItemsTestConnection* m_pclConnection = nullptr;
  TestItemsDataAccess* m_pclAccess = nullptr;
  CStandInDescription* m_piSource = nullptr;
  CNARecord* m_pclRecord = nullptr;
};

TEST_F(ColumnTest, AnItemNotDefinedReadsAsNullOfItsTypeAndTracesAsNull) {
  Build({Item(L"name", NA_IT_TEXTE, 11), Item(L"age", NA_IT_I4, 4)});
  for (const wchar_t* name : {L"name", L"age"}) {
    CNAColumn* c = Column(name);
    CAny v;
    ASSERT_EQ(c->bGetCurrentValue(&v, 0), 1);
    EXPECT_TRUE(v.bIsNull());
    EXPECT_EQ(v.nGetTypeCode(), c->eGetVXType());
    EXPECT_FALSE(c->bValueDefined());
    EXPECT_TRUE(c->bNullOrEquivalent());
    EXPECT_EQ(Trace(c, 1), std::wstring(L"<") + name + L"> = <NULL>");
    EXPECT_EQ(Trace(c, 0), L"");
  }
}

TEST_F(ColumnTest, ValuesSetAreKeptInTheRecordBufferAndReadBack) {
  Build({Item(L"name", NA_IT_TEXTE, 11), Item(L"age", NA_IT_I4, 4),
         Item(L"label", NA_IT_UNICODE, 22), Item(L"price", NA_IT_R8, 8)});
  struct Case {
    const wchar_t* column;
    CAny value;
    const wchar_t* text;
  };
  CAny price;
  price.SetR8(12.5);
  const Case cases[] = {
      {L"name", Text(L"Dupont"), L"Dupont"},
      {L"age", Int(42), L"42"},
      {L"label", Text(L"\u00e9t\u00e9 \U0001F600"), L"\u00e9t\u00e9 \U0001F600"},
      {L"price", price, L"12.5"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "column " << std::string(k.column, k.column + std::wcslen(k.column)));
    CNAColumn* c = Column(k.column);
    ASSERT_EQ(c->bSetValue(&k.value, 0), 1);
    EXPECT_TRUE(Current()->bItemValueDefined(c->piGetItemNoRef()));
    EXPECT_TRUE(c->bValueDefined());
    CAny back;
    ASSERT_EQ(c->bGetCurrentValue(&back, 0), 1);
    EXPECT_FALSE(back.bIsNull());
    EXPECT_EQ(AsText(back), k.text);
    EXPECT_EQ(Trace(c, 0), k.text);
    EXPECT_EQ(Trace(c, 1), std::wstring(L"<") + k.column + L"> = <" + k.text + L">");
    // The holder works on the slot itself.
    EXPECT_EQ(c->pclGetNAValue()->pbyGetBuffer(), c->pGetValuePtr(static_cast<CNARecord*>(nullptr)));
    EXPECT_FALSE(c->pclGetNAValue()->bIsNull());
  }
  // A NULL value clears the bit and the slot.
  CNAColumn* c = Column(L"age");
  ASSERT_EQ(c->bSetValueNULL(), 1);
  EXPECT_FALSE(Current()->bItemValueDefined(c->piGetItemNoRef()));
  EXPECT_TRUE(c->pclGetNAValue()->bIsNull());
}

TEST_F(ColumnTest, AValueTheItemCannotHoldIsAConversionErrorAndChangesNothing) {
  Build({Item(L"age", NA_IT_I4, 4)});
  CNAColumn* c = Column(L"age");
  CAny v = Int(7);
  ASSERT_EQ(c->bSetValue(&v, 0), 1);
  CAny bad = Text(L"not a number");
  EXPECT_EQ(c->bSetValue(&bad, 0), 0);
  CAny back;
  ASSERT_EQ(c->bGetCurrentValue(&back, 0), 1);
  EXPECT_EQ(AsText(back), L"7");
  EXPECT_EQ(m_pclError->nGetUserErrorCode(), 53u);
}

TEST_F(ColumnTest, ModifiedComparesDefinedBitsAndBytesWithTheOriginalRow) {
  Build({Item(L"name", NA_IT_TEXTE, 11), Item(L"age", NA_IT_I4, 4)});
  CNAColumn* name = Column(L"name");
  CNAColumn* age = Column(L"age");
  EXPECT_FALSE(name->bValueModified());
  CAny v = Text(L"abc");
  name->bSetValue(&v, 0);
  EXPECT_TRUE(name->bValueModified());  // defined now, not in the original
  EXPECT_FALSE(age->bValueModified());
  ASSERT_EQ(m_pclRecord->bCopyCurrentRecordToOriginalRecord(), 1);
  EXPECT_FALSE(name->bValueModified());
  EXPECT_TRUE(name->bOriginalValueDefined());
  CAny w = Text(L"abd");
  name->bSetValue(&w, 0);
  EXPECT_TRUE(name->bValueModified());  // same bit, other bytes
  CAny orig;
  name->bGetOriginalValue(&orig, 0);
  EXPECT_EQ(AsText(orig), L"abc");
  name->bSetValue(&v, 0);
  EXPECT_FALSE(name->bValueModified());
  name->bSetValueNULL();
  EXPECT_TRUE(name->bValueModified());
}

TEST_F(ColumnTest, SameValueComparesOneTypeFamilyByBytesAndOthersByTheLanguage) {
  Build({Item(L"name", NA_IT_TEXTE, 11), Item(L"label", NA_IT_UNICODE, 22), Item(L"age", NA_IT_I4, 4),
         Item(L"bytes", NA_IT_MEMOBINAIRE, 8)});
  CNAColumn* name = Column(L"name");
  CNAColumn* label = Column(L"label");
  CAny nullValue;
  nullValue.__SetType(VX_PSTRW, 0);
  nullValue.SetNull(true);
  EXPECT_TRUE(name->bSameValue(&nullValue, 0)) << "undefined equals NULL only";
  CAny ab = Text(L"ab");
  EXPECT_FALSE(name->bSameValue(&ab, 0));

  CAny abc = Text(L"abc");
  label->bSetValue(&abc, 0);
  // The column's value is a counted wide string (16), the given one an
  // owned wide string (110): the same family, compared by their bytes
  // (terminator included).
  EXPECT_TRUE(label->bSameValue(&abc, 0));
  EXPECT_FALSE(label->bSameValue(&ab, 0));
  EXPECT_FALSE(label->bSameValue(&ab, CNAColumn::kSameValuePrefix)) << "the terminator differs";
  CAny abcd = Text(L"abcd");
  EXPECT_FALSE(label->bSameValue(&abcd, CNAColumn::kSameValuePrefix)) << "the column's data is shorter";

  // Raw data: trailing zero bytes of the column's data are no difference;
  // other trailing bytes are, unless a prefix is enough.
  CNAColumn* bytes = Column(L"bytes");
  CAny stored;
  stored.SetBIN(reinterpret_cast<const unsigned char*>("ab\0\0"), 4);
  ASSERT_EQ(bytes->bSetValue(&stored, 0), 1);
  CAny given;
  given.SetBIN(reinterpret_cast<const unsigned char*>("ab"), 2);
  EXPECT_TRUE(bytes->bSameValue(&given, 0));
  stored.SetBIN(reinterpret_cast<const unsigned char*>("abc"), 3);
  ASSERT_EQ(bytes->bSetValue(&stored, 0), 1);
  EXPECT_FALSE(bytes->bSameValue(&given, 0));
  EXPECT_TRUE(bytes->bSameValue(&given, CNAColumn::kSameValuePrefix));

  CNAColumn* age = Column(L"age");
  CAny n = Int(5);
  age->bSetValue(&n, 0);
  CAny r;
  r.SetR8(5.0);
  EXPECT_TRUE(age->bSameValue(&r, 0)) << "other types: the language's equality";
  r.SetR8(5.5);
  EXPECT_FALSE(age->bSameValue(&r, 0));
}

struct NullCase {
  const char* name;
  int serverKind;
  int itemType;
  int itemSize;
  bool nullAllowed;
  int valueKind;  // 0 NULL flag, 1 empty text, 2 text "x", 3 zero date-time, 4 date-time, 5 empty binary, 6 I4 0
  bool expected;
};

CAny MakeValue(int kind) {
  CAny v;
  switch (kind) {
    case 0:
      v = Text(L"x");
      v.SetNull(true);
      break;
    case 1:
      v = Text(L"");
      break;
    case 2:
      v = Text(L"x");
      break;
    case 3: {
      CDateTime d;
      std::memset(static_cast<void*>(&d), 0, sizeof d);
      v.SetDATETIME(d);
      break;
    }
    case 4: {
      CDateTime d;
      d.Set(2024, 5, 17, 10, 0, 0, 0);
      v.SetDATETIME(d);
      break;
    }
    case 5:
      v.SetBIN(nullptr, 0);
      break;
    default:
      v.SetI4(0);
      break;
  }
  return v;
}

TEST_F(ColumnTest, NullOrEquivalentFollowsTheServerKindTheItemTypeAndTheNullRule) {
  const NullCase cases[] = {
      {"NULL flag on a number", 5, NA_IT_I4, 4, true, 0, true},
      {"zero number on kind 5", 5, NA_IT_I4, 4, true, 6, false},
      {"zero number on kind 1", 1, NA_IT_I4, 4, true, 6, false},
      {"empty text, kind 5", 5, NA_IT_TEXTE, 11, true, 1, false},
      {"empty text, kind 1, nullable", 1, NA_IT_TEXTE, 11, true, 1, true},
      {"empty text, kind 1, not nullable", 1, NA_IT_TEXTE, 11, false, 1, false},
      {"text, kind 1", 1, NA_IT_TEXTE, 11, true, 2, false},
      {"empty Unicode, kind 1", 1, NA_IT_UNICODE, 22, true, 1, true},
      {"empty binary, kind 1", 1, NA_IT_BINAIRE, 10, true, 5, true},
      {"empty binary, kind 5", 5, NA_IT_BINAIRE, 10, true, 5, false},
      {"empty date text, kind 5", 5, NA_IT_DATE8, 9, true, 1, true},
      {"empty date text, kind 5, not nullable", 5, NA_IT_DATE8, 9, false, 1, true},
      {"zero date-time", 5, NA_IT_DATETIME, 8, true, 3, true},
      {"date-time", 5, NA_IT_DATETIME, 8, true, 4, false},
      {"zero date-time on a text item, kind 1", 1, NA_IT_TEXTE, 11, true, 3, true},
  };
  for (const NullCase& k : cases) {
    SCOPED_TRACE(k.name);
    TearDownRecord();
    Build({Item(L"c", k.itemType, k.itemSize, 0, k.nullAllowed)}, 12, k.serverKind);
    CAny v = MakeValue(k.valueKind);
    EXPECT_EQ(Column(L"c")->bNullOrEquivalent(&v) != 0, k.expected);
  }
}

TEST_F(ColumnTest, NullAcceptanceAskOnlyNewItemsAndKnowKeysOfOlderOnes) {
  struct Case {
    const char* name;
    int version;
    StandInItemDecl item;
    bool nullable, uniqueNotNull;
  };
  const Case cases[] = {
      {"v12 nullable", 12, Item(L"c", NA_IT_I4, 4, 0, true), true, false},
      {"v12 not null", 12, Item(L"c", NA_IT_I4, 4, 0, false), false, false},
      {"v12 unique not null", 12, Item(L"c", NA_IT_I4, 4, 0x4000, false), false, true},
      {"v12 unique nullable", 12, Item(L"c", NA_IT_I4, 4, 0x4000, true), true, false},
      {"v12 primary", 12, Item(L"c", NA_IT_I4, 4, 0x8000, true), true, true},
      {"v8 plain", 8, Item(L"c", NA_IT_I4, 4), true, false},
      {"v8 primary", 8, Item(L"c", NA_IT_I4, 4, 0x8000), false, true},
      {"v8 automatic identifier", 8, Item(L"c", NA_IT_IDAUTO, 8), false, false},
      {"v8 unique automatic identifier", 8, Item(L"c", NA_IT_IDAUTO4, 4, 0x4000), false, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    TearDownRecord();
    Build({k.item}, k.version);
    CNAColumn* c = Column(L"c");
    EXPECT_EQ(c->bIsNullable() != 0, k.nullable);
    EXPECT_EQ(c->bIsNullableOnDataBase() != 0, k.nullable);
    EXPECT_EQ(c->bUniqueNotNull() != 0, k.uniqueNotNull);
  }
}

TEST_F(ColumnTest, AComposedKeyIsTheBytesOfItsComponentsEachZeroFilledToItsWidth) {
  StandInItemDecl key = Item(L"key", NA_IT_BINAIRE, 14, 0x5000);
  key.components = {L"code", L"num"};
  Build({Item(L"code", NA_IT_TEXTE, 11), Item(L"num", NA_IT_I4, 4), key});
  CNAColumn* k = Column(L"key");
  ASSERT_TRUE(k->bIsComposedKey());
  ASSERT_NE(k->pclGetTabComponent(), nullptr);
  EXPECT_EQ(k->pclGetTabComponent()->nGetNbElement(), 2);
  EXPECT_FALSE(k->bValueDefined());
  EXPECT_FALSE(k->bMustDefine(3));
  EXPECT_FALSE(k->bMustBind(3));
  CAny code = Text(L"AB");
  CAny num = Int(0x01020304);
  Column(L"code")->bSetValue(&code, 0);
  Column(L"num")->bSetValue(&num, 0);
  EXPECT_TRUE(k->bValueDefined());
  EXPECT_TRUE(k->bIsComposedKeyComponent(Column(L"num")));
  EXPECT_TRUE(k->bValueModified());
  CAny v;
  ASSERT_EQ(k->bGetCurrentValue(&v, 0), 1);
  EXPECT_EQ(v.nGetTypeCode(), VX_BIN);
  EXPECT_EQ(v.wGetType() & 0x500, 0);
  const unsigned char expected[14] = {'A', 'B', 0, 0, 0, 0, 0, 0, 0, 0, 4, 3, 2, 1};
  void* p = nullptr;
  unsigned int n = 0;
  v.pclGetIntern()->nGetDataAdr(&p);
  v.pclGetIntern()->nGetDataSize(&n);
  ASSERT_EQ(n, sizeof expected);
  EXPECT_EQ(std::memcmp(p, expected, n), 0);
}

TEST_F(ColumnTest, AUnicodeComponentPastTheKeysRoomAddsNoByteToTheKey) {
  // The key is one byte past the text: the Unicode component has room for
  // no whole unit and must leave that byte zero (and write nothing beyond).
  StandInItemDecl key = Item(L"key", NA_IT_BINAIRE, 11, 0x5000);
  key.components = {L"code", L"label"};
  Build({Item(L"code", NA_IT_TEXTE, 11), Item(L"label", NA_IT_UNICODE, 22), key});
  CNAColumn* k = Column(L"key");
  ASSERT_TRUE(k->bIsComposedKey());
  CAny code = Text(L"AB");
  CAny label = Text(L"XYZXYZXYZ");
  ASSERT_EQ(Column(L"code")->bSetValue(&code, 0), 1);
  ASSERT_EQ(Column(L"label")->bSetValue(&label, 0), 1);
  CAny v;
  ASSERT_EQ(k->bGetCurrentValue(&v, 0), 1);
  const unsigned char expected[11] = {'A', 'B', 0, 0, 0, 0, 0, 0, 0, 0, 0};
  void* p = nullptr;
  unsigned int n = 0;
  v.pclGetIntern()->nGetDataAdr(&p);
  v.pclGetIntern()->nGetDataSize(&n);
  ASSERT_EQ(n, sizeof expected);
  EXPECT_EQ(std::memcmp(p, expected, n), 0);
}

TEST_F(ColumnTest, AMemoIsModifiedOnlyByADifferentValueOrAnAttachedFile) {
  Build({Item(L"id", NA_IT_I4, 4), Item(L"notes", NA_IT_MEMOTEXTE, 8)});
  CNAColumn* memo = Column(L"notes");
  ASSERT_TRUE(memo->bIsMemo());
  EXPECT_EQ(memo->nGetMemoIndice(), 0);
  EXPECT_EQ(Column(L"id")->nGetMemoIndice(), -1);
  EXPECT_TRUE(memo->bMustDefine(2));
  EXPECT_FALSE(memo->bMustDefine(1));
  EXPECT_TRUE(memo->bMustBind(1));
  EXPECT_FALSE(memo->bMustBind(2));
  // The record's current row shares the memo's holder.
  EXPECT_EQ(m_pclRecord->pclGetCurrentRecordNoRef()->pclGetMemoValueNoRef(0), memo->pclGetNAValue());

  CAny nullText = Text(L"");
  nullText.SetNull(true);
  ASSERT_EQ(memo->bSetValueToDB(&nullText, 0), 1);
  EXPECT_FALSE(memo->bMemoModified()) << "NULL over an undefined original";
  CAny hello = Text(L"hello");
  ASSERT_EQ(memo->bSetValue(&hello, 0), 1);  // as read
  EXPECT_FALSE(memo->bMemoModified());
  EXPECT_TRUE(memo->bValueDefined());
  EXPECT_TRUE(Current()->bItemValueDefined(memo->piGetItemNoRef()));
  ASSERT_EQ(m_pclRecord->bCopyCurrentRecordToOriginalRecord(), 1);
  ASSERT_EQ(memo->bSetValueToDB(&hello, 0), 1);
  EXPECT_FALSE(memo->bMemoModified()) << "the same value";
  CAny other = Text(L"world");
  ASSERT_EQ(memo->bSetValueToDB(&other, 0), 1);
  EXPECT_TRUE(memo->bMemoModified());
  CAny back;
  memo->bGetCurrentValue(&back, 0);
  EXPECT_EQ(AsText(back), L"world");
  EXPECT_TRUE(memo->bValueModified());

  // Back to the original holder's value: not modified.
  CNAConvertVariant* pclOriginal = m_pclRecord->pclGetOriginalRecordNoRef()->pclGetMemoValueNoRef(0);
  ASSERT_NE(pclOriginal, nullptr);
  ASSERT_EQ(memo->bRestaureOriginalValue(pclOriginal), 1);
  EXPECT_FALSE(memo->bMemoModified());
  memo->bGetCurrentValue(&back, 0);
  EXPECT_EQ(AsText(back), L"hello");

  // Unread: traced as such, read later.
  memo->SetValueIsUnreadYet();
  EXPECT_TRUE(memo->bValueIsUnreadYet());
  EXPECT_EQ(Trace(memo, 1), L"<notes> = <UNREAD YET>");
  ASSERT_EQ(memo->bSetValueToDB(&other, 0), 1);
  EXPECT_TRUE(memo->bMemoModified()) << "a value not read yet counts as changed";
}

TEST_F(ColumnTest, AnAttachedMemoFileIsReadWhenTheValueIsAsked) {
  Build({Item(L"blob", NA_IT_MEMOBINAIRE, 8)});
  char szPath[] = "/tmp/kq_column_memo_XXXXXX";
  const int fd = mkstemp(szPath);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "\x00\x01\xFF", 3), 3);
  close(fd);
  const std::wstring wPath(szPath, szPath + std::strlen(szPath));
  CNAColumn* memo = Column(L"blob");
  ASSERT_EQ(memo->bHAttacheMemo(wPath.c_str()), 1);
  EXPECT_TRUE(memo->bMemoModified());
  EXPECT_TRUE(memo->bValueDefined());
  EXPECT_FALSE(memo->bNullOrEquivalent());
  CAny v;
  ASSERT_EQ(memo->bGetBLOB(&v), 1);
  void* p = nullptr;
  unsigned int n = 0;
  v.pclGetIntern()->nGetDataAdr(&p);
  v.pclGetIntern()->nGetDataSize(&n);
  ASSERT_EQ(n, 3u);
  EXPECT_EQ(std::memcmp(p, "\x00\x01\xFF", 3), 0);
  // Extracted again to another file.
  const std::string out = std::string(szPath) + ".out";
  const std::wstring wOut(out.begin(), out.end());
  ASSERT_EQ(memo->bHExtraitMemo(wOut.c_str()), 1);
  FILE* f = std::fopen(out.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  unsigned char aby[8] = {};
  EXPECT_EQ(std::fread(aby, 1, sizeof aby, f), 3u);
  std::fclose(f);
  EXPECT_EQ(std::memcmp(aby, "\x00\x01\xFF", 3), 0);
  unlink(out.c_str());
  unlink(szPath);
  // A missing file is an error, not a crash.
  ASSERT_EQ(memo->bHAttacheMemo(L"/nonexistent/kq/memo"), 1);
  EXPECT_EQ(memo->bGetCurrentValue(&v, 0), 0);
}

TEST_F(ColumnTest, NamesAreWrittenForSqlWithInnerQuotesDoubled) {
  StandInItemDecl odd = Item(L"a`b", NA_IT_I4, 4);
  StandInItemDecl renamed = Item(L"shown", NA_IT_I4, 4);
  renamed.nameInSource = L"stored";
  renamed.sourceName = L"sales.orders";
  Build({odd, renamed});
  CNAColumn* c = Column(L"a`b");
  EXPECT_STREQ(c->pszGetFormatedName(), L"`a``b`");
  EXPECT_STREQ(c->pszGetFormatedSelectName(0), L"`a``b`");
  CNAColumn* r = Column(L"shown");
  EXPECT_STREQ(r->pszGetOriginalName(), L"stored");
  EXPECT_STREQ(r->pszGetFormatedName(), L"`shown`");
  EXPECT_STREQ(r->pszGetFormatedOriginalName(), L"`stored`");
  EXPECT_STREQ(r->pszGetTableName(), L"customer");

  // Over a query: the table alias (or the source table) before the name.
  TearDownRecord();
  m_pclAccess->m_bQuery = 1;
  Build({odd, renamed});
  r = Column(L"shown");
  EXPECT_STREQ(r->pszGetFormatedSelectName(0), L"`sales`.`orders`.`stored`");
  EXPECT_STREQ(r->pszGetFormatedSelectName(1), L"`sales`.`orders`.`stored`") << "the first call decides";
  c = Column(L"a`b");
  ASSERT_EQ(c->bSetAliasNomTable(L"t`1"), 1);
  EXPECT_STREQ(c->pszGetAliasNomTable(), L"t`1");
  EXPECT_STREQ(c->pszGetFormatedAliasNomTable(), L"`t``1`");
  EXPECT_STREQ(c->pszGetFormatedSelectName(0), L"`t``1`.`a``b`");
  m_pclAccess->m_bQuery = 0;
}

TEST_F(ColumnTest, AComputedColumnOfAQueryIsNeverBound) {
  m_pclAccess->m_bQuery = 1;
  Build({Item(L"total", NA_IT_I4, 4)});
  CNAColumn* c = Column(L"total");
  EXPECT_EQ(c->eGetTypeColonne(), 0) << "no description of the driver's";
  EXPECT_TRUE(c->bMustBind(0));
  auto* pclImported = new CNAItemDescription;
  pclImported->AddRef();
  ASSERT_EQ(pclImported->bInit(L"total", L"", L"total", 1, 4, NA_IT_I4, 0, 0, 0, 0, 0, nullptr, nullptr), 1);
  pclImported->SetCalculated(1);
  ASSERT_EQ(c->bSetImportedItemDesc(pclImported), 1);
  EXPECT_NE(c->eGetTypeColonne(), 0);
  EXPECT_FALSE(c->bMustBind(0));
  EXPECT_TRUE(c->bMustDefine(0));
  m_pclAccess->m_bQuery = 0;
  EXPECT_EQ(c->eGetTypeColonne(), 0) << "a table has no computed columns";
  EXPECT_TRUE(c->bMustBind(0));
  pclImported->nRelease();
}

}  // namespace
}  // namespace kqtest
