// Record identifiers: which items name a row for each kind of key, and the
// bytes built from a row: equal for rows the key cannot tell apart, whatever
// follows a text in its slot; different for different keys; no heap call.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/counted_string.h"
#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "items/column.h"
#include "items/record.h"
#include "kq230/item_type.h"
#include "statements/record_buffer.h"
#include "statements/record_id.h"
#include "tests/items/record_test_support.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/support/heap_call_count.h"
#include "tests/support/standin_items.h"
#include "tests/values/bound_values.h"

namespace {

constexpr unsigned short kPrimary = 0x8000, kUnique = 0x4000, kDup = 0x2000, kComposed = 0x1000;

using kqtest::Decl;

class RecordIds : public kqtest::BoundValuesTest {
 protected:
  void SetUp() override {
    kqtest::BoundValuesTest::SetUp();
    m_nLiveBefore = StandInDescriptionCounts::g_nLive;
    m_pclError = new CNAError;
    m_pclError->AddRef();
    m_pclConnection = new kqtest::ItemsTestConnection(&m_host, kServerKindMariaDB);
    m_pclConnection->AddRef();
  }
  void TearDown() override {
    m_layout.bInit(nullptr);  // gives the columns back before the record goes
    for (CNAZBRecord* p : m_buffers) delete p;
    m_buffers.clear();
    Drop();
    EXPECT_EQ(m_pclConnection->nRelease(), 0);
    m_pclError->nRelease();
    EXPECT_EQ(m_host.nOutstanding(), 0);
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, m_nLiveBefore) << "stand-in objects left";
    kqtest::BoundValuesTest::TearDown();
  }

  bool Build(const std::vector<StandInItemDecl>& items) {
    m_layout.bInit(nullptr);
    Drop();
    m_piSource = CStandInDescription::pclNew(L"T", items, 12);
    if (m_piSource == nullptr) return false;
    m_pclRecord = new CNARecord(m_pclError, &m_access);
    m_pclRecord->AddRef();
    return m_pclRecord->bInitRecord(m_piSource, nullptr, m_pclConnection) != 0 &&
           m_layout.bInit(m_pclRecord) != 0;
  }
  void Drop() {
    if (m_pclRecord != nullptr) {
      EXPECT_EQ(m_pclRecord->nRelease(), 0);
    }
    m_pclRecord = nullptr;
    if (m_piSource != nullptr) m_piSource->nExternalRelease();
    m_piSource = nullptr;
  }
  std::vector<std::wstring> LayoutNames() const {
    std::vector<std::wstring> names;
    for (int i = 0; i < m_layout.nGetItemCount(); ++i)
      names.emplace_back(m_layout.pclGetColumnNoRef(i)->pszGetName());
    return names;
  }
  // A new empty row (every item NULL), kept until the test ends.
  CNAZBRecord* Row() {
    auto* p = static_cast<CNAZBRecord*>(m_pclRecord->pclGetTemplateNoRef()->pclGetCloneBase());
    m_buffers.push_back(p);
    for (int i = 0; i < m_pclRecord->nGetColumnNbr(); ++i) {
      CNAColumn* pclColumn = m_pclRecord->pclGetColumnNoRef(i);
      if (!pclColumn->bIsComposedKey()) p->SetItemValueDefined(pclColumn->piGetItemNoRef(), 0);
    }
    return p;
  }
  INAItemDescription* ItemOf(const wchar_t* pszName) {
    return m_pclRecord->pclGetColumnNoRef(pszName)->piGetItemNoRef();
  }
  // Raw bytes into the item's slot (as the server's row put them), then
  // the item is present.
  void SetBytes(CNAZBRecord* p, const wchar_t* pszItem, const std::string& bytes) {
    unsigned int nSlot = 0;
    unsigned char* pSlot = p->_pbyGetItemPtrAndSize(ItemOf(pszItem), -1, &nSlot);
    ASSERT_NE(pSlot, nullptr);
    ASSERT_LE(bytes.size(), nSlot);
    std::memset(pSlot, 0, nSlot);
    std::memcpy(pSlot, bytes.data(), bytes.size());
    p->SetItemValueDefined(ItemOf(pszItem), 1);
    std::memcpy(pSlot, bytes.data(), bytes.size());  // a present slot is not cleared
  }
  void SetInt(CNAZBRecord* p, const wchar_t* pszItem, int n) {
    SetBytes(p, pszItem, std::string(reinterpret_cast<const char*>(&n), sizeof n));
  }
  std::string Id(const CNAZBRecord* p) {
    std::vector<unsigned char> out(m_layout.nGetMaxSize() + 1);
    const unsigned int n = m_layout.nBuild(p, out.data(), static_cast<unsigned int>(out.size()));
    EXPECT_GT(n, 0u);
    return std::string(reinterpret_cast<const char*>(out.data()), n);
  }

  int m_nLiveBefore = 0;
  kqtest::HostConnectionFake m_host;
  CNAError* m_pclError = nullptr;
  kqtest::ItemsTestConnection* m_pclConnection = nullptr;
  kqtest::TestItemsDataAccess m_access{nullptr, L"T"};
  CStandInDescription* m_piSource = nullptr;
  CNARecord* m_pclRecord = nullptr;
  CNARecordIdLayout m_layout;
  std::vector<CNAZBRecord*> m_buffers;
};

TEST_F(RecordIds, TheLayoutTakesTheStrongestKeyAndTheWholeRowWithoutOne) {
  struct Case {
    const char* name;
    std::vector<StandInItemDecl> items;
    std::vector<std::wstring> expected;
    int bWholeRow;
  };
  const std::vector<Case> cases = {
      {"a primary key alone",
       {Decl(L"NAME", NA_IT_TEXTE, 21, kUnique, false), Decl(L"ID", NA_IT_I4, 4, kPrimary, false),
        Decl(L"CITY", NA_IT_TEXTE, 21)},
       {L"ID"},
       0},
      {"an automatic identifier is the primary key",
       {Decl(L"CITY", NA_IT_TEXTE, 21), Decl(L"ID", NA_IT_IDAUTO, 8, kUnique, false)},
       {L"ID"},
       0},
      {"a composed primary key by its components",
       {Decl(L"A", NA_IT_I4, 4, 0, false), Decl(L"B", NA_IT_TEXTE, 11, 0, false),
        Decl(L"C", NA_IT_I4, 4), Decl(L"PK", NA_IT_BINAIRE, 15, kComposed | kPrimary, false, {L"B", L"A"})},
       {L"B", L"A"},
       0},
      {"the first unique key that refuses NULL, past a nullable one",
       {Decl(L"NAME", NA_IT_TEXTE, 21, kDup), Decl(L"MAIL", NA_IT_TEXTE, 31, kUnique, true),
        Decl(L"CODE", NA_IT_TEXTE, 11, kUnique, false), Decl(L"N", NA_IT_I4, 4, kUnique, false)},
       {L"CODE"},
       0},
      {"a composed unique key that refuses NULL",
       {Decl(L"MAIL", NA_IT_TEXTE, 31, kUnique, true), Decl(L"A", NA_IT_I4, 4, 0, false),
        Decl(L"B", NA_IT_I4, 4, 0, false),
        Decl(L"AB", NA_IT_BINAIRE, 8, kComposed | kUnique, false, {L"A", L"B"})},
       {L"A", L"B"},
       0},
      {"only nullable unique keys: every column but memos and composed keys",
       {Decl(L"MAIL", NA_IT_TEXTE, 31, kUnique, true), Decl(L"NOTES", NA_IT_MEMOTEXTE, 8),
        Decl(L"A", NA_IT_I4, 4), Decl(L"B", NA_IT_I4, 4),
        Decl(L"AB", NA_IT_BINAIRE, 8, kComposed | kUnique, true, {L"A", L"B"})},
       {L"MAIL", L"A", L"B"},
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Build(c.items));
    EXPECT_EQ(LayoutNames(), c.expected);
    EXPECT_EQ(m_layout.bIsWholeRow(), c.bWholeRow);
  }
}

TEST_F(RecordIds, RowsWithTheSameKeyGiveTheSameBytesWhateverTheirOtherValues) {
  ASSERT_TRUE(Build({Decl(L"CODE", NA_IT_TEXTE, 11, kUnique, false), Decl(L"N", NA_IT_I4, 4)}));
  CNAZBRecord* a = Row();
  CNAZBRecord* b = Row();
  CNAZBRecord* c = Row();
  SetBytes(a, L"CODE", "K1");
  SetInt(a, L"N", 1);
  SetBytes(b, L"CODE", "K1");
  SetInt(b, L"N", 2);
  SetBytes(c, L"CODE", "K2");
  SetInt(c, L"N", 1);
  EXPECT_EQ(Id(a), Id(b));
  EXPECT_NE(Id(a), Id(c));
}

TEST_F(RecordIds, WhatFollowsATextInItsSlotNeverChangesTheBytes) {
  ASSERT_TRUE(Build({Decl(L"CODE", NA_IT_TEXTE, 11, kUnique, false), Decl(L"N", NA_IT_I4, 4)}));
  const std::string clean = Id([&] {
    CNAZBRecord* p = Row();
    SetBytes(p, L"CODE", "abc");
    return p;
  }());
  struct Case {
    const char* name;
    std::string bytes;
  } const cases[] = {
      {"a former longer value after the terminator", std::string("abc\0XYZW", 8)},
      {"trailing blanks", "abc     "},
      {"trailing blanks then a former value", std::string("abc  \0Q", 7)},
      {"the slot full of blanks", "abc        "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CNAZBRecord* p = Row();
    SetBytes(p, L"CODE", c.bytes);
    EXPECT_EQ(Id(p), clean);
  }
}

TEST_F(RecordIds, TextsThatWouldShiftIntoEachOtherAndNullsStayApart) {
  ASSERT_TRUE(Build({Decl(L"A", NA_IT_TEXTE, 11), Decl(L"B", NA_IT_TEXTE, 11),
                     Decl(L"U", NA_IT_UNICODE, 12)}));
  ASSERT_EQ(m_layout.bIsWholeRow(), 1);
  CNAZBRecord* ab_c = Row();
  SetBytes(ab_c, L"A", "ab");
  SetBytes(ab_c, L"B", "c");
  CNAZBRecord* a_bc = Row();
  SetBytes(a_bc, L"A", "a");
  SetBytes(a_bc, L"B", "bc");
  EXPECT_NE(Id(ab_c), Id(a_bc));

  CNAZBRecord* empty = Row();
  SetBytes(empty, L"A", "");
  CNAZBRecord* null = Row();
  EXPECT_NE(Id(empty), Id(null)) << "an empty text is a value, NULL is none";

  // UTF-16 text: padding after the terminator and trailing blanks count for
  // nothing; another character does.
  CNAZBRecord* u1 = Row();
  SetBytes(u1, L"U", std::string("h\0i\0", 4));
  CNAZBRecord* u2 = Row();
  SetBytes(u2, L"U", std::string("h\0i\0 \0\0\0Z\0", 10));
  CNAZBRecord* u3 = Row();
  SetBytes(u3, L"U", std::string("h\0j\0", 4));
  EXPECT_EQ(Id(u1), Id(u2));
  EXPECT_NE(Id(u1), Id(u3));
}

TEST_F(RecordIds, AComposedKeysBytesFollowItsComponentsAndTooSmallABufferAnswersZero) {
  ASSERT_TRUE(Build({Decl(L"A", NA_IT_I4, 4, 0, false), Decl(L"B", NA_IT_TEXTE, 11, 0, false),
                     Decl(L"C", NA_IT_I4, 4),
                     Decl(L"PK", NA_IT_BINAIRE, 15, kComposed | kPrimary, false, {L"A", L"B"})}));
  CNAZBRecord* p = Row();
  SetInt(p, L"A", 7);
  SetBytes(p, L"B", "xy");
  SetInt(p, L"C", 1);
  CNAZBRecord* q = Row();
  SetInt(q, L"A", 7);
  SetBytes(q, L"B", "xy");
  SetInt(q, L"C", 2);
  const std::string id = Id(p);
  EXPECT_EQ(id, Id(q));
  // A, present, 4 bytes; B, present, its count and 2 bytes.
  EXPECT_EQ(id.size(), 1u + 4u + 1u + 4u + 2u);
  EXPECT_LE(id.size(), m_layout.nGetMaxSize());
  std::vector<unsigned char> small(id.size() - 1);
  EXPECT_EQ(m_layout.nBuild(p, small.data(), static_cast<unsigned int>(small.size())), 0u);
  EXPECT_EQ(m_layout.nBuild(nullptr, small.data(), static_cast<unsigned int>(small.size())), 0u);
}

TEST_F(RecordIds, BuildingCallsNoAllocator) {
  ASSERT_TRUE(Build({Decl(L"A", NA_IT_TEXTE, 31), Decl(L"B", NA_IT_I8, 8),
                     Decl(L"C", NA_IT_BINAIRE, 20), Decl(L"D", NA_IT_UNICODE, 20)}));
  CNAZBRecord* p = Row();
  SetBytes(p, L"A", "some text   ");
  SetBytes(p, L"C", std::string("\3\0abc", 5));
  std::vector<unsigned char> out(m_layout.nGetMaxSize());
  unsigned int n = 0;
  {
    kqtest::HeapCallCount count;
    for (int i = 0; i < 100; ++i)
      n = m_layout.nBuild(p, out.data(), static_cast<unsigned int>(out.size()));
    EXPECT_EQ(count.nCalls(), 0);
  }
  EXPECT_GT(n, 0u);
}

TEST_F(RecordIds, AnIdentifierKeepsItsKindAndBytesAndTracesThem) {
  CNARecordId* a = new CNARecordId(CNARecordId::KIND_RECORD_VALUES);
  a->dwAddRef();
  CNARecordId* b = new CNARecordId(CNARecordId::KIND_ROWID);
  b->dwAddRef();
  const unsigned char small[] = {1, 0xAB};
  std::vector<unsigned char> large(100, 0x5A);
  ASSERT_TRUE(a->bSetBytes(small, sizeof small));
  ASSERT_TRUE(b->bSetBytes(small, sizeof small));
  EXPECT_FALSE(a->bEquals(b)) << "another kind";
  CXYString<wchar_t> text;
  a->RecordIdToString(&text, L"id=", 0);
  EXPECT_STREQ(text.pszGet(), L"id=values 01AB");
  ASSERT_TRUE(a->bSetBytes(large.data(), static_cast<unsigned int>(large.size())));
  EXPECT_EQ(a->nGetSize(), 100u);
  EXPECT_EQ(std::memcmp(a->pbyGetBytes(), large.data(), large.size()), 0);
  ASSERT_TRUE(b->bSetBytes(nullptr, 5));
  EXPECT_EQ(b->nGetSize(), 0u);
  EXPECT_EQ(a->dwRelease(), 0u);
  EXPECT_EQ(b->dwRelease(), 0u);
}

}  // namespace
