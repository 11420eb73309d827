// The small shared types of the SQL builder and the statements: column-name
// lists (also built from a statement's record), NULL-selection sets and
// their combinations (a table of the rules, then random operations against
// a model), the defines of a command, and the order of located pieces of a
// query's text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "items/column.h"
#include "items/column_list.h"
#include "items/column_null_selection.h"
#include "items/convert_variant.h"
#include "items/define.h"
#include "items/item_description.h"
#include "items/record.h"
#include "items/sql_element.h"
#include "items/statement_interface.h"
#include "tests/items/record_test_support.h"
#include "tests/values/bound_values.h"

namespace {

// ---------------------------------------------------------------------------
// Column-name lists

TEST(ColumnList, AnEmptyNameStillCountsAndLeavesItsComma) {
  CColumnList list;
  EXPECT_STREQ(list.pszGetText(), L"");
  ASSERT_TRUE(list.AddColumn(L"A"));
  ASSERT_TRUE(list.AddColumn(L"B"));
  ASSERT_TRUE(list.AddColumn(L""));
  EXPECT_STREQ(list.pszGetText(), L"A,B,");
  EXPECT_EQ(list.nGetLength(), 4);
  EXPECT_EQ(list.nGetColumnCount(), 3);
  ASSERT_TRUE(list.AddColumn(nullptr));
  EXPECT_STREQ(list.pszGetText(), L"A,B,,");
  EXPECT_EQ(list.nGetColumnCount(), 4);
}

TEST(ColumnList, TheBufferGrowsByWholeStepsAndEmptyingKeepsIt) {
  CColumnList list;
  const std::wstring name(1023, L'x');
  ASSERT_TRUE(list.AddColumn(name.c_str()));
  EXPECT_EQ(list.nGetCapacity(), 1024) << "1023 characters and the terminator fit one step";
  ASSERT_TRUE(list.AddColumn(L"y"));
  EXPECT_EQ(list.nGetCapacity(), 2048);
  EXPECT_EQ(list.nGetLength(), 1025);
  EXPECT_EQ(std::wstring(list.pszGetText()), name + L",y");
  list.Empty();
  EXPECT_STREQ(list.pszGetText(), L"");
  EXPECT_EQ(list.nGetColumnCount(), 0);
  EXPECT_EQ(list.nGetCapacity(), 2048);
  ASSERT_TRUE(list.AddColumn(L"z"));
  EXPECT_STREQ(list.pszGetText(), L"z") << "no comma before the first name after Empty";
}

// A statement that gives its record and its bind/define flags.
class TestStatement : public CNAStatementBase {
 public:
  TestStatement(CNARecord* pclRecord, unsigned int nFlags) : m_pclRecord(pclRecord), m_nFlags(nFlags) {}
  int bGetSQLColumnValue(CNAConvertVariant*, unsigned int) override { return 0; }
  unsigned int nGetBindDefineFlag() const override { return m_nFlags; }
  CNARecord* pclGetRecordNoRef() const override { return m_pclRecord; }

 private:
  CNARecord* m_pclRecord;
  unsigned int m_nFlags;
};

class ColumnListOfARecord : public kqtest::BoundValuesTest {};

TEST_F(ColumnListOfARecord, MemosOnlyWhenDefinedComposedKeysNeverIdentifiersWhenAsked) {
  auto item = [](const wchar_t* psz, int nType, int nSize, unsigned short wKey = 0,
                 std::vector<std::wstring> components = {}) {
    StandInItemDecl d;
    d.name = psz;
    d.type = nType;
    d.size = nSize;
    d.keyFlags = wKey;
    d.components = std::move(components);
    return d;
  };
  const int nLive = StandInDescriptionCounts::g_nLive;
  kqtest::HostConnectionFake host;
  auto* pclConnection = new kqtest::ItemsTestConnection(&host, kServerKindMariaDB);
  pclConnection->AddRef();
  kqtest::TestItemsDataAccess access(pclConnection, L"T");
  CStandInDescription* piSource = CStandInDescription::pclNew(
      L"T",
      {item(L"ID", NA_IT_IDAUTO4, 4, 0x4000), item(L"NA`ME", NA_IT_TEXTE, 11),
       item(L"NOTES", NA_IT_MEMOTEXTE, 8), item(L"AGE", NA_IT_I4, 4),
       item(L"K", NA_IT_BINAIRE, 15, 0x1000 | 0x2000, {L"NA`ME", L"AGE"})},
      12);
  ASSERT_NE(piSource, nullptr);
  CNAError* pclError = new CNAError;
  pclError->AddRef();
  auto* pclRecord = new CNARecord(pclError, &access);
  pclRecord->AddRef();
  ASSERT_TRUE(pclRecord->bInitRecord(piSource, nullptr, pclConnection));

  struct Case {
    unsigned int nFlags;
    int bWithIdAuto;
    const wchar_t* pszExpected;
  };
  const Case cases[] = {
      {0, 0, L"`NA``ME`,`AGE`"},
      {0, 1, L"`ID`,`NA``ME`,`AGE`"},
      {kStatementMemoDefined, 0, L"`NA``ME`,`NOTES`,`AGE`"},
      {kStatementMemoBound, 1, L"`ID`,`NA``ME`,`AGE`"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags " << c.nFlags << ", identifier " << c.bWithIdAuto);
    TestStatement statement(pclRecord, c.nFlags);
    CColumnList list;
    ASSERT_TRUE(list.BuildColumnList(&statement, c.bWithIdAuto));
    EXPECT_STREQ(list.pszGetText(), c.pszExpected);
  }
  TestStatement withoutRecord(nullptr, 0);
  CColumnList list;
  EXPECT_TRUE(list.BuildColumnList(&withoutRecord, 1));
  EXPECT_EQ(list.nGetColumnCount(), 0);

  EXPECT_EQ(pclRecord->nRelease(), 0);
  piSource->nExternalRelease();
  pclError->nRelease();
  EXPECT_EQ(pclConnection->nRelease(), 0);
  EXPECT_EQ(StandInDescriptionCounts::g_nLive, nLive);
}

// ---------------------------------------------------------------------------
// NULL-selection sets

// Columns for the sets: only their identity and original names count.
class NullSelection : public kqtest::BoundValuesTest {
 protected:
  void SetUp() override {
    kqtest::BoundValuesTest::SetUp();
    const wchar_t* names[][2] = {{L"C0", L""}, {L"C1", L"Orig1"}, {L"C2", L""}, {L"C3", L""},
                                 {L"C4", L""}};
    for (auto& n : names) {
      auto* pclItem = new CNAItemDescription;
      pclItem->AddRef();
      pclItem->bInit(n[0], L"T", n[1], 1, 4, NA_IT_I4, 0, 0, 0, 0, 0, nullptr, nullptr);
      auto* pclColumn = new CNASQLColumn(nullptr, pclItem);
      pclColumn->AddRef();
      pclItem->nRelease();
      m_columns.push_back(pclColumn);
    }
  }
  void TearDown() override {
    for (CNAColumn* p : m_columns) EXPECT_EQ(p->nRelease(), 0);
    kqtest::BoundValuesTest::TearDown();
  }
  std::vector<CNAColumn*> m_columns;
};

TEST_F(NullSelection, OneColumnCombinesByTheRulesOfAndAndOr) {
  CNAColumn* c = m_columns[0];
  struct Case {
    const char* name;
    int nStart;  // -1: absent, else the flag already in the set
    eNAOperator eOp;
    int bFlag;
    int nCount;
    int bExpected;
  };
  const Case cases[] = {
      {"absent, OR with 0: unchanged", -1, NA_OP_OR, 0, 0, 1},
      {"absent, OR with 1: unchanged", -1, NA_OP_OR, 1, 0, 1},
      {"absent, AND with 1: unchanged", -1, NA_OP_AND, 1, 0, 1},
      {"absent, AND with 0: appended with 0", -1, NA_OP_AND, 0, 1, 0},
      {"0, OR with 1", 0, NA_OP_OR, 1, 1, 1},
      {"0, OR with 0", 0, NA_OP_OR, 0, 1, 0},
      {"1, AND with 0", 1, NA_OP_AND, 0, 1, 0},
      {"1, AND with 1", 1, NA_OP_AND, 1, 1, 1},
      {"0, AND with 1", 0, NA_OP_AND, 1, 1, 0},
      {"1, another operator counts as OR", 0, NA_OP_EQUAL, 1, 1, 1},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    CColumnNullValueExcluded set;
    if (k.nStart >= 0) {
      ASSERT_TRUE(set.bSetColumnValuesNullSelected(c, k.nStart));
    }
    ASSERT_TRUE(set.bCombineColumnValuesNullSelected(k.eOp, c, k.bFlag));
    EXPECT_EQ(set.nGetCount(), k.nCount);
    EXPECT_EQ(set.bColumnValuesNullSelected(c), k.bExpected);
  }
}

TEST_F(NullSelection, SetsCombineCopyAndAnswerByName) {
  CNAColumn* a = m_columns[0];
  CNAColumn* b = m_columns[1];
  CColumnNullValueExcluded empty;
  EXPECT_EQ(empty.bColumnValuesNullSelected(a), 1) << "an absent column lets NULLs through";
  EXPECT_EQ(empty._nGetColumnValuesNullSelectedIndice(a), -1);

  CColumnNullValueExcluded left;
  left.bSetColumnValuesNullSelected(a, 0);
  left.bSetColumnValuesNullSelected(b, 0);
  left.bSetColumnValuesNullSelected(nullptr, 0);
  EXPECT_EQ(left.nGetCount(), 2) << "a null column is ignored";
  EXPECT_EQ(left.bColumnValuesNullSelected(L"orig1"), 0) << "by original name, any case";
  EXPECT_EQ(left.bColumnValuesNullSelected(L"C1"), 1) << "the item name is not the original";
  EXPECT_EQ(left.bColumnValuesNullSelected(L"c0"), 0);
  EXPECT_EQ(left.bColumnValuesNullSelected(static_cast<const wchar_t*>(nullptr)), 1);

  // A null operand under OR: every NULL goes through; under AND: nothing.
  CColumnNullValueExcluded s1;
  s1.bCopyColumnValuesNullSelected(&left, 0);
  ASSERT_TRUE(s1.bCombineColumnValuesNullSelected(NA_OP_AND, nullptr));
  EXPECT_EQ(s1.nGetCount(), 2);
  ASSERT_TRUE(s1.bCombineColumnValuesNullSelected(NA_OP_OR, nullptr));
  EXPECT_EQ(s1.nGetCount(), 0);

  // Negated copy, and copying a set into itself doubles it.
  CColumnNullValueExcluded negated;
  negated.bCopyColumnValuesNullSelected(&left, 1);
  EXPECT_EQ(negated.bColumnValuesNullSelected(a), 1);
  negated.bCopyColumnValuesNullSelected(&negated, 0);
  EXPECT_EQ(negated.nGetCount(), 4);
  negated.bCopyColumnValuesNullSelected(nullptr, 1);
  EXPECT_EQ(negated.nGetCount(), 4);

  // A node from two operands.
  CColumnNullValueExcluded right;
  right.bSetColumnValuesNullSelected(a, 1);
  struct Case {
    const char* name;
    eNAOperator eOp;
    CColumnNullValueExcluded* pA;
    CColumnNullValueExcluded* pB;
    int nCount;
    int bA, bB;
  };
  const Case cases[] = {
      {"both null", NA_OP_AND, nullptr, nullptr, 0, 1, 1},
      {"OR with one null", NA_OP_OR, &left, nullptr, 0, 1, 1},
      {"OR with the other null", NA_OP_OR, nullptr, &left, 0, 1, 1},
      {"AND with B null: a copy of A", NA_OP_AND, &left, nullptr, 2, 0, 0},
      {"AND with A null: a copy of B", NA_OP_AND, nullptr, &left, 2, 0, 0},
      {"OR of both", NA_OP_OR, &left, &right, 2, 1, 0},
      {"AND of both", NA_OP_AND, &left, &right, 2, 0, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    CColumnNullValueExcluded node;
    ASSERT_TRUE(node.bCombineColumnValuesNullSelected(k.eOp, k.pA, k.pB));
    EXPECT_EQ(node.nGetCount(), k.nCount);
    EXPECT_EQ(node.bColumnValuesNullSelected(a), k.bA);
    EXPECT_EQ(node.bColumnValuesNullSelected(b), k.bB);
  }
  left.Reset();
  EXPECT_EQ(left.nGetCount(), 0);
}

// The model: an ordered list of (column, flag); lookups find the first.
using Model = std::vector<std::pair<int, int>>;

int ModelFind(const Model& m, int c) {
  for (size_t i = 0; i < m.size(); ++i) {
    if (m[i].first == c) return static_cast<int>(i);
  }
  return -1;
}
void ModelCombine(Model* m, eNAOperator op, int c, int f) {
  const int i = ModelFind(*m, c);
  if (i >= 0) {
    int& g = (*m)[static_cast<size_t>(i)].second;
    g = op == NA_OP_AND ? (g && f) : (g || f);
  } else if (op == NA_OP_AND && !f) {
    m->emplace_back(c, 0);
  }
}

TEST_F(NullSelection, RandomOperationsMatchTheModel) {
  std::mt19937 rng(20240229);
  constexpr int kSets = 3;
  CColumnNullValueExcluded sets[kSets];
  Model models[kSets];
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned int>(n)); };
  for (int step = 0; step < 4000; ++step) {
    const int s = pick(kSets);
    const int o = pick(kSets);
    const int c = pick(static_cast<int>(m_columns.size()));
    const int f = pick(2);
    const eNAOperator op = pick(3) == 0 ? NA_OP_OR : (pick(2) ? NA_OP_AND : NA_OP_NOT);
    switch (pick(7)) {
      case 0: {
        ASSERT_TRUE(sets[s].bSetColumnValuesNullSelected(m_columns[c], f));
        const int i = ModelFind(models[s], c);
        if (i >= 0) {
          models[s][static_cast<size_t>(i)].second = f;
        } else {
          models[s].emplace_back(c, f);
        }
        break;
      }
      case 1:
      case 2:
        ASSERT_TRUE(sets[s].bCombineColumnValuesNullSelected(op, m_columns[c], f));
        ModelCombine(&models[s], op, c, f);
        break;
      case 3: {
        ASSERT_TRUE(sets[s].bCombineColumnValuesNullSelected(op, &sets[o]));
        const Model other = models[o];
        for (const auto& e : other) ModelCombine(&models[s], op, e.first, e.second);
        break;
      }
      case 4:
        ASSERT_TRUE(sets[s].bCombineColumnValuesNullSelected(op, nullptr));
        if (op == NA_OP_OR) models[s].clear();
        break;
      case 5:
        // Keep the sets small: copies can repeat columns.
        if (models[s].size() + models[o].size() > 12) {
          sets[s].Reset();
          models[s].clear();
        } else {
          ASSERT_TRUE(sets[s].bCopyColumnValuesNullSelected(&sets[o], f));
          const Model other = models[o];
          for (const auto& e : other) models[s].emplace_back(e.first, f ? !e.second : e.second);
        }
        break;
      default:
        if (pick(4) == 0) {
          sets[s].Reset();
          models[s].clear();
        }
        break;
    }
    for (int k = 0; k < kSets; ++k) {
      ASSERT_EQ(sets[k].nGetCount(), static_cast<int>(models[k].size())) << "step " << step;
      for (int i = 0; i < sets[k].nGetCount(); ++i) {
        ASSERT_EQ(sets[k].pclGetColumnNoRef(i), m_columns[models[k][static_cast<size_t>(i)].first]);
        ASSERT_EQ(sets[k].bGetFlag(i) != 0, models[k][static_cast<size_t>(i)].second != 0);
      }
      for (int col = 0; col < static_cast<int>(m_columns.size()); ++col) {
        const int i = ModelFind(models[k], col);
        const int bExpected = i < 0 ? 1 : (models[k][static_cast<size_t>(i)].second != 0);
        ASSERT_EQ(sets[k].bColumnValuesNullSelected(m_columns[col]) != 0, bExpected != 0)
            << "step " << step;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Defines

TEST_F(NullSelection, ADefineHoldsItsColumnOrItsNamedHolderAndGivesThemBack) {
  CNAColumn* pclColumn = m_columns[1];
  {
    CNADefine empty;
    EXPECT_STREQ(empty.pszGetName(), L"");
    EXPECT_EQ(empty.pclGetCnx(), nullptr);
    EXPECT_EQ(empty.bIsCursor(), 0);
  }
  const int nColumnRefs = pclColumn->nGetRefCount();
  {
    auto* pclDefine = new CNADefine(pclColumn);
    pclDefine->AddRef();
    EXPECT_EQ(pclColumn->nGetRefCount(), nColumnRefs + 1);
    EXPECT_STREQ(pclDefine->pszGetName(), L"C1") << "the column's name, not its original";
    EXPECT_EQ(pclDefine->pclGetValueNoRef(), pclColumn->pclGetNAValue());
    EXPECT_EQ(pclDefine->nRelease(), 0);
  }
  EXPECT_EQ(pclColumn->nGetRefCount(), nColumnRefs);

  auto* pclHolder = new CNAConvertVariant(nullptr, nullptr);
  pclHolder->AddRef();
  {
    CNARefArray<CNADefine> defines(50, 30);
    defines.Ajoute(new CNADefine(L"total", pclHolder));
    defines.Ajoute(new CNADefine(nullptr, nullptr));
    EXPECT_EQ(pclHolder->nGetRefCount(), 2);
    EXPECT_STREQ(defines[0]->pszGetName(), L"total");
    EXPECT_STREQ(defines[1]->pszGetName(), L"");
    EXPECT_EQ(defines[0]->pclGetCnx(), nullptr);
    EXPECT_EQ(defines[0]->pclGetColumnNoRef(), nullptr);
  }
  EXPECT_EQ(pclHolder->nRelease(), 0);
}

// ---------------------------------------------------------------------------
// Located pieces of a query's text

TEST(SqlElement, PiecesSortByStartAsUnsignedNumbers) {
  std::vector<CNASqlElt*> pieces = {
      new CNASqlElt(CNASqlElt::SQLELT_ORDERBY, 4294967295u, 4294967295u),
      new CNASqlElt(CNASqlElt::SQLELT_WHERE, 40, 60),
      new CNASqlElt(CNASqlElt::SQLELT_FROM, 0, 10),
      new CNASqlElt(CNASqlElt::SQLELT_GROUPBY, 2147483648u, 2147483650u),
      new CNASqlElt(CNASqlElt::SQLELT_SELECT_LIST, 40, 41),
  };
  EXPECT_EQ(CNASqlElt::pfnCmpELT(&pieces[1], &pieces[4]), 0);
  EXPECT_EQ(CNASqlElt::pfnCmpELT(&pieces[2], &pieces[0]), -1);
  EXPECT_EQ(CNASqlElt::pfnCmpELT(&pieces[0], &pieces[2]), 1);
  EXPECT_EQ(CNASqlElt::pfnCmpELT(&pieces[3], &pieces[1]), 1) << "2^31 is no negative start";
  std::qsort(pieces.data(), pieces.size(), sizeof(CNASqlElt*), CNASqlElt::s_nCompareForSort);
  std::vector<unsigned int> starts;
  for (CNASqlElt* p : pieces) starts.push_back(p->nGetStart());
  EXPECT_EQ(starts, (std::vector<unsigned int>{0, 40, 40, 2147483648u, 4294967295u}));
  EXPECT_EQ(pieces[0]->eGetKind(), CNASqlElt::SQLELT_FROM);
  pieces[0]->SetText(L"`t`");
  EXPECT_STREQ(pieces[0]->pszGetText(), L"`t`");
  EXPECT_EQ(pieces[0]->nGetRefCount(), 0) << "made with a zero count";
  for (CNASqlElt* p : pieces) delete p;
}

}  // namespace
