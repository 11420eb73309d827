// The road from a statement's result columns to a data-source description,
// without a server: the statement base's column lookup (numbers, errors 50
// and 51, the table built once on first need), names that no server gives
// today (characters outside the basic plane, decoded from the UTF-8 bytes
// the client library hands over) kept exactly, and the driver objects'
// factories: the back end's make the item layer's objects, the generic
// driver's make none and every filling step reports memory running out.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/code_page_converters.h"
#include "items/convert_variant.h"
#include "items/data_source_description.h"
#include "items/item_description.h"
#include "mariadb/mysql_driver.h"
#include "statements/statement_sql.h"
#include "tests/support/bound_framework.h"

namespace {

// One result column as a test declares it; names in UTF-8, as the client
// library gives them.
struct ColumnDecl {
  std::string name, table, nameInTable;
  eNA_ITEMTYPE eType;
  int nSize;
  unsigned int dwFieldFlags;
};

// A statement whose column table is built from declarations (or refused).
class CDeclaredStatement : public CNAStatementSQL {
 public:
  CDeclaredStatement(CNAError* pclError, std::vector<ColumnDecl> columns, bool bRefuse = false)
      : CNAStatementSQL(nullptr, pclError), m_columns(std::move(columns)), m_bRefuse(bRefuse) {
    _SetColumnCount(static_cast<int>(m_columns.size()));
  }
  int nBuilt = 0;

 protected:
  int _bInitTabNAColumn() override {
    ++nBuilt;
    if (m_bRefuse || !_bAllocTabNAColumn()) return 0;
    for (size_t i = 0; i < m_columns.size(); ++i) {
      const ColumnDecl& d = m_columns[i];
      CNAColumnSQL* p = _pclGetColumnForFill(static_cast<int>(i));
      CNACodePageCnvOUTPtr clName(d.name.data(), static_cast<int>(d.name.size()), 65001);
      CNACodePageCnvOUTPtr clTable(d.table.data(), static_cast<int>(d.table.size()), 65001);
      CNACodePageCnvOUTPtr clInTable(d.nameInTable.data(), static_cast<int>(d.nameInTable.size()),
                                     65001);
      p->SetNames(clName.pszGetForZB(), clTable.pszGetForZB(), clInTable.pszGetForZB());
      p->SetItemType(d.eType, d.nSize, 0, 0);
      p->SetField(d.nSize, d.dwFieldFlags, 45);
      p->SetNativeType(L"T", 1);
    }
    return 1;
  }

 private:
  std::vector<ColumnDecl> m_columns;
  bool m_bRefuse;
};

// The generic driver: no factory of the item layer.
class CGenericDriver : public CNADriver {};

class StatementColumns : public kqtest::BoundFrameworkTest {
 protected:
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    m_pclError = new CNAError;
    m_pclError->AddRef();
  }
  void TearDown() override {
    EXPECT_EQ(m_pclError->nRelease(), 0);
    BoundFrameworkTest::TearDown();
  }
  CNADataSourceDescription* NewDescription() {
    auto* p = new CNADataSourceDescription(nullptr, m_pclError);
    p->ExternalAddRef();
    return p;
  }
  CNAError* m_pclError = nullptr;
};

TEST_F(StatementColumns, ColumnsAreNumberedLookedUpOnceAndRefusedOutsideTheCount) {
  auto* pclA = new CDeclaredStatement(m_pclError, {{"a", "", "", NA_IT_I4, 4, 0}});
  auto* pclB = new CDeclaredStatement(m_pclError, {});
  pclA->AddRef();
  pclB->AddRef();
  EXPECT_EQ(pclB->nGetStatementNumber(), pclA->nGetStatementNumber() + 1);
  int nCount = -1;
  EXPECT_EQ(pclA->bGetColumnNbr(&nCount, 0), 1);
  EXPECT_EQ(nCount, 1);
  CNAColumnSQL* p = pclA->pclGetNAColumnSQL(0);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(pclA->pclGetNAColumnSQL(0), p);
  EXPECT_EQ(pclA->nBuilt, 1);
  struct Case {
    int i;
    unsigned int nError;
  } cases[] = {{1, 50}, {2, 50}, {-1, 51}, {-2147483647 - 1, 51}};
  for (const Case& c : cases) {
    m_pclError->Reset();
    EXPECT_EQ(pclA->pclGetNAColumnSQL(c.i), nullptr) << c.i;
    EXPECT_EQ(m_pclError->dwGetErrorId(), c.nError) << c.i;
  }
  // No column: index 0 is already past the count.
  m_pclError->Reset();
  EXPECT_EQ(pclB->pclGetNAColumnSQL(0), nullptr);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 50u);
  EXPECT_EQ(pclB->nBuilt, 0);
  // A reset forgets the result.
  pclA->bReset();
  EXPECT_EQ(pclA->bGetColumnNbr(&nCount, 0), 1);
  EXPECT_EQ(nCount, 0);
  pclA->nRelease();
  pclB->nRelease();
}

TEST_F(StatementColumns, AColumnTableThatCannotBeBuiltFailsTheDescriptionWithoutAnotherError) {
  auto* pclStatement = new CDeclaredStatement(m_pclError, {{"a", "", "", NA_IT_I4, 4, 0}}, true);
  pclStatement->AddRef();
  CNADataSourceDescription* pclDesc = NewDescription();
  pclDesc->SetLogicalName(L"Q");
  m_pclError->Reset();
  EXPECT_EQ(pclDesc->bInitDataSourceDescriptionFromStatement(pclStatement), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 0u);
  EXPECT_EQ(pclDesc->nGetNumItems(), 0);
  EXPECT_EQ(pclDesc->nExternalRelease(), 0);
  pclStatement->nRelease();
}

TEST_F(StatementColumns, NamesOutsideTheBasicPlaneAndWildcardsAreKeptExactly) {
  // U+1F600 and U+10348 (4 UTF-8 bytes each), quotes, backquote, backslash,
  // "%" and "_"; the second column repeats the first's name.
  const std::string smile = "\xF0\x9F\x98\x80", hwair = "\xF0\x90\x8D\x88";
  auto* pclStatement = new CDeclaredStatement(
      m_pclError, {{"n" + smile + "'\"`\\%_", "t" + hwair, "c" + smile, NA_IT_I4, 4, 0x2},
                   {"n" + smile + "'\"`\\%_", "", "", NA_IT_TEXTE, 11, 0x8},
                   {hwair, "t" + hwair, hwair, NA_IT_I8, 8, 0x4}});
  pclStatement->AddRef();
  CNADataSourceDescription* pclDesc = NewDescription();
  pclDesc->SetLogicalName(L"RESULT");
  ASSERT_EQ(pclDesc->bInitDataSourceDescriptionFromStatement(pclStatement), 1)
      << m_pclError->StringDump().pszGet();
  const std::wstring wSmile = L"\U0001F600", wHwair = L"\U00010348";
  const std::wstring name = L"n" + wSmile + L"'\"`\\%_";
  ASSERT_EQ(pclDesc->nGetNumItems(), 3);
  EXPECT_EQ(std::wstring(pclDesc->pclGetItem(0)->pszGetName()), name);
  EXPECT_EQ(std::wstring(pclDesc->pclGetItem(0)->pszGetSourceName()), L"t" + wHwair);
  EXPECT_EQ(std::wstring(pclDesc->pclGetItem(0)->pszGetNameInSource()), L"c" + wSmile);
  EXPECT_EQ(std::wstring(pclDesc->pclGetItem(1)->pszGetName()), name + L"2");
  EXPECT_EQ(std::wstring(pclDesc->pclGetItem(1)->pszGetSourceName()), L"RESULT");
  EXPECT_EQ(std::wstring(pclDesc->pclGetItem(1)->pszGetNameInSource()), name);
  EXPECT_EQ(std::wstring(pclDesc->pclGetItem(2)->pszGetName()), wHwair);
  // Primary, duplicates, unique: key indexes in column order.
  const unsigned short flags[] = {0x8800, 0x2800, 0x4800};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(pclDesc->pclGetItem(i)->wGetKeyFlags(), flags[i]) << i;
    EXPECT_EQ(pclDesc->pclGetItem(i)->nGetKeyIndice(), i) << i;
    EXPECT_EQ(pclDesc->pclGetKey(i), pclDesc->pclGetItem(i)) << i;
  }
  EXPECT_EQ(pclDesc->nGetMemoryRecordSize(), 4 + 11 + 8);
  INAItemDescription* pi = pclDesc->piNAGetItem(name.c_str());
  ASSERT_NE(pi, nullptr);
  EXPECT_EQ(pi, static_cast<INAItemDescription*>(pclDesc->pclGetItem(0)));
  pi->nExternalRelease();
  EXPECT_EQ(pclDesc->nExternalRelease(), 0);
  pclStatement->nRelease();
}

TEST_F(StatementColumns, TheBackEndsFactoriesMakeTheItemLayersObjects) {
  auto* pclDriver = new CMySQLDriver();
  pclDriver->ExternalAddRef();
  pclDriver->bInitDriver();
  ASSERT_EQ(CNADriver::s_pclDriver, pclDriver);
  auto* pclItem = static_cast<CNAItemDescription*>(pclDriver->pclAllocItemDescription());
  ASSERT_NE(pclItem, nullptr);
  pclItem->ExternalAddRef();
  EXPECT_EQ(pclItem->nGetVersion(), 12);
  EXPECT_EQ(pclItem->nExternalRelease(), 0);
  auto* pclDesc = static_cast<CNADataSourceDescription*>(
      pclDriver->pclAllocDataSourceDescription(nullptr, m_pclError));
  ASSERT_NE(pclDesc, nullptr);
  pclDesc->ExternalAddRef();
  EXPECT_EQ(pclDesc->pclGetError(), m_pclError);
  // Through the factory, as the description fills itself.
  EXPECT_EQ(pclDesc->bAddItem(L"ID", nullptr, nullptr, 1, 4, NA_IT_I4, -1, -1, 0, 0, 0), 1);
  EXPECT_EQ(pclDesc->nGetNumItems(), 1);
  EXPECT_EQ(pclDesc->nExternalRelease(), 0);
  // A value holder on the given error, or the driver's current one.
  for (CNAError* pclOn : {m_pclError, static_cast<CNAError*>(nullptr)}) {
    auto* pclVariant = static_cast<CNAConvertVariant*>(pclDriver->pclAllocVariant(pclOn, nullptr));
    ASSERT_NE(pclVariant, nullptr);
    pclVariant->AddRef();
    EXPECT_EQ(pclVariant->nRelease(), 0);
  }
  EXPECT_EQ(pclDriver->nExternalRelease(), 0);
  EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
}

TEST_F(StatementColumns, WithTheGenericDriverEveryFillingStepReportsMemoryRunningOut) {
  auto* pclDriver = new CGenericDriver();
  pclDriver->ExternalAddRef();
  pclDriver->bInitDriver();
  EXPECT_EQ(pclDriver->pclAllocItemDescription(), nullptr);
  EXPECT_EQ(pclDriver->pclAllocDataSourceDescription(nullptr, m_pclError), nullptr);
  EXPECT_EQ(pclDriver->pclAllocVariant(m_pclError, nullptr), nullptr);
  auto IsOutOfMemory = [&] {
    return m_pclError->pclGetXError()->dwGetSystemErrorCode() == 12u &&
           m_pclError->pclGetXError()->eGetErrorLevel() == CXError::EL_ERROR;
  };
  CNADataSourceDescription* pclDesc = NewDescription();
  pclDesc->SetLogicalName(L"T");
  // An item added by hand (no factory needed) to copy later.
  auto* pclHand = new CNAItemDescription;
  pclHand->bInit(L"A", nullptr, nullptr, 1, 4, NA_IT_I4, -1, -1, 0, 0, 0, nullptr, nullptr);
  ASSERT_EQ(pclDesc->_AddItem(pclHand), 1);
  struct Step {
    const char* what;
    std::function<bool()> run;
  } steps[] = {
      {"bAddItem", [&] { return pclDesc->bAddItem(L"B", nullptr, nullptr, 1, 4, NA_IT_I4, -1, -1,
                                                  0, 0, 0) != 0; }},
      {"from a statement", [&] {
         auto* pclStatement = new CDeclaredStatement(m_pclError, {{"c", "", "", NA_IT_I4, 4, 0}});
         pclStatement->AddRef();
         const bool b = pclDesc->bInitDataSourceDescriptionFromStatement(pclStatement) != 0;
         pclStatement->nRelease();
         return b;
       }},
      {"a copy", [&] {
         CNADataSourceDescription* pclCopy =
             pclDesc->pclGetCloneDataSourceDescription(CNAItemDescription::CLONE_PLAIN);
         return pclCopy != nullptr;
       }},
      {"an item copy", [&] {
         return pclHand->pclGetCloneItemDescription(pclDesc, CNAItemDescription::CLONE_PLAIN) !=
                nullptr;
       }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    m_pclError->Reset();
    EXPECT_FALSE(step.run());
    EXPECT_TRUE(IsOutOfMemory());
  }
  EXPECT_EQ(pclDesc->nGetNumItems(), 1);
  EXPECT_EQ(pclDesc->nExternalRelease(), 0);
  EXPECT_EQ(pclDriver->nExternalRelease(), 0);
}

}  // namespace
