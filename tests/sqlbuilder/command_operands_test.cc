// The command's column operands: a column with its table through the
// connection's name writers, names the writers refuse, which date and time
// columns are compared as text, and the conversion that makes them text.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/connection_description.h"
#include "driver/na_error.h"
#include "kq230/sql_parser_interface.h"
#include "sqlbuilder/command.h"
#include "tests/sqlbuilder/search_fixture.h"

namespace kqtest {
namespace {

const eOPEXPRESSION kNoOperator = static_cast<eOPEXPRESSION>(-1);
const eOPEXPRESSION kEqual = OPEXP_EGAL;
const eOPEXPRESSION kLike = static_cast<eOPEXPRESSION>(32);
const eOPEXPRESSION kIsNull = static_cast<eOPEXPRESSION>(33);
constexpr CNASqlElt::eSQLELT kWhere = CNASqlElt::SQLELT_WHERE;
constexpr CNASqlElt::eSQLELT kSelectList = CNASqlElt::SQLELT_SELECT_LIST;
constexpr unsigned int kErrBadValue = 44;

StandInItemDecl Decl(const wchar_t* pszName, int nType, int nSize) {
  StandInItemDecl decl;
  decl.name = pszName;
  decl.type = nType;
  decl.size = nSize;
  return decl;
}

// A connection (every name in backquotes, as the MariaDB dialect writes them) whose code page and
// support of time items the test chooses.
class OperandConnection : public ItemsTestConnection {
 public:
  OperandConnection(INAConnectionDescription* piHost, int nCodePage, int bTimeItems)
      : ItemsTestConnection(piHost, kServerKindMariaDB), m_bTimeItems(bTimeItems) {
    _SetConnectionCodePage(nCodePage);
  }
  int bSupportItemTime() override { return m_bTimeItems; }

 private:
  int m_bTimeItems;
};

class CommandOperands : public SearchFixture {
 protected:
  void SetUp() override {
    SearchFixture::SetUp();
    ASSERT_TRUE(
        Build({Decl(L"N", NA_IT_I4, 4), Decl(L"D", NA_IT_DATE8, 9), Decl(L"DT", NA_IT_DATETIME, 8),
               Decl(L"T", NA_IT_HEURE, 7), Decl(L"S", NA_IT_TEXTE, 20)}));
  }
  void TearDown() override {
    if (m_pclOther != nullptr) {
      EXPECT_EQ(m_pclOther->nRelease(), 0);
    }
    SearchFixture::TearDown();
  }

  // A command on the record's connection, or on an OperandConnection of
  // that code page and time support.
  CNACommand* CommandOn(int nCodePage, int bTimeItems) {
    if (m_pclOther != nullptr) m_pclOther->nRelease();
    m_pclOther = new OperandConnection(&m_host, nCodePage, bTimeItems);
    m_pclOther->AddRef();
    auto* p = static_cast<CNACommand*>(m_pclDriver->pclAllocCommand(m_pclError, m_pclOther));
    p->AddRef();
    return p;
  }

  OperandConnection* m_pclOther = nullptr;
};

struct TableAndItemCase {
  const char* what;
  const wchar_t* table;
  const wchar_t* item;
  const wchar_t* expected;
};

TEST_F(CommandOperands, TableAndItemAreJoinedByAPointEachThroughItsWriter) {
  const TableAndItemCase cases[] = {
      {"no table", nullptr, L"NAME", L"`NAME`"},
      {"empty table", L"", L"NAME", L"`NAME`"},
      {"plain names", L"CUSTOMER", L"NAME", L"`CUSTOMER`.`NAME`"},
      {"an item with a blank", L"CUSTOMER", L"FIRST NAME", L"`CUSTOMER`.`FIRST NAME`"},
      {"a reserved word", L"ORDER", L"SELECT", L"`ORDER`.`SELECT`"},
      {"a backquote is doubled", L"T", L"a`b", L"`T`.`a``b`"},
      {"a database and its table", L"shop.orders", L"id", L"`shop`.`orders`.`id`"},
  };
  CNACommand* pclCommand = NewCommand();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CTString csOut(L"previous text");
    EXPECT_EQ(pclCommand->_FormatTableAndItemName(&csOut, c.table, c.item), 1);
    EXPECT_STREQ(csOut.pszGet(), c.expected);
  }
  pclCommand->nRelease();
}

struct RefusedCase {
  const char* what;
  const wchar_t* table;
  const wchar_t* item;
};

TEST_F(CommandOperands, ANameTheWritersRefuseIsAnErrorAndWritesNothing) {
  const RefusedCase cases[] = {
      {"no item", L"CUSTOMER", nullptr},
      {"an empty item after a table", L"CUSTOMER", L""},
      {"an empty item alone", nullptr, L""},
      {"an item outside the code page", L"CUSTOMER", L"NAM\u0100"},
      {"a table outside the code page", L"CUST\u0100", L"NAME"},
  };
  CNACommand* pclCommand = CommandOn(1252, 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    m_pclError->Reset();
    CTString csOut(L"previous text");
    EXPECT_EQ(pclCommand->_FormatTableAndItemName(&csOut, c.table, c.item), 0);
    EXPECT_STREQ(csOut.pszGet(), L"");
    EXPECT_EQ(m_pclError->nGetUserErrorCode(), kErrBadValue);
  }
  pclCommand->nRelease();
}

TEST_F(CommandOperands, ARefusedNameOfADateColumnIsAnErrorBeforeAnyConversion) {
  CNACommand* pclCommand = CommandOn(1252, 0);
  m_pclError->Reset();
  CTString csOut(L"previous text");
  EXPECT_EQ(pclCommand->FormatExpressionItemName(&csOut, kWhere, kLike, nullptr, Item(L"D"),
                                                 L"CUSTOMER", L"D\u0100"),
            0);
  EXPECT_STREQ(csOut.pszGet(), L"");
  EXPECT_EQ(m_pclError->nGetUserErrorCode(), kErrBadValue);
  pclCommand->nRelease();
}

struct CompareAsTextCase {
  const char* what;
  CNASqlElt::eSQLELT kind;
  eNA_ITEMTYPE type;
  int op;
  eNA_ITEMTYPE expected;
};

TEST_F(CommandOperands, DateAndTimeColumnsAreComparedAsTextUnderTextOperatorsAndTimesAlways) {
  const CompareAsTextCase cases[] = {
      {"date under =", kWhere, NA_IT_DATE8, 9, NA_IT_EMPTY},
      {"date under >=", kWhere, NA_IT_DATE8, 14, NA_IT_EMPTY},
      {"date under LIKE", kWhere, NA_IT_DATE8, 32, NA_IT_TEXTE},
      {"date-time under LIKE", kWhere, NA_IT_DATETIME, 32, NA_IT_TEXTE},
      {"date-time under <", kWhere, NA_IT_DATETIME, 11, NA_IT_EMPTY},
      {"date under a string function (15)", kWhere, NA_IT_DATE8, 15, NA_IT_TEXTE},
      {"date under a string function (21)", kWhere, NA_IT_DATE8, 21, NA_IT_TEXTE},
      {"date under 22 (no time)", kWhere, NA_IT_DATE8, 22, NA_IT_EMPTY},
      {"date under 42", kWhere, NA_IT_DATE8, 42, NA_IT_TEXTE},
      {"date under 46", kWhere, NA_IT_DATE8, 46, NA_IT_TEXTE},
      {"date under 47 (a column)", kWhere, NA_IT_DATE8, 47, NA_IT_EMPTY},
      {"date under 50", kWhere, NA_IT_DATE8, 50, NA_IT_TEXTE},
      {"date under 57", kWhere, NA_IT_DATE8, 57, NA_IT_TEXTE},
      {"date under 58", kWhere, NA_IT_DATE8, 58, NA_IT_EMPTY},
      {"date with no operator", kWhere, NA_IT_DATE8, -1, NA_IT_EMPTY},
      {"time under = in WHERE", kWhere, NA_IT_HEURE, 9, NA_IT_TEXTE},
      {"time with no operator in WHERE", kWhere, NA_IT_HEURE, -1, NA_IT_TEXTE},
      {"time in GROUP BY", CNASqlElt::SQLELT_GROUPBY, NA_IT_HEURE, -1, NA_IT_TEXTE},
      {"time in HAVING", CNASqlElt::SQLELT_HAVING, NA_IT_HEURE, -1, NA_IT_TEXTE},
      {"time in ORDER BY", CNASqlElt::SQLELT_ORDERBY, NA_IT_HEURE, -1, NA_IT_TEXTE},
      {"time in the select list", kSelectList, NA_IT_HEURE, -1, NA_IT_EMPTY},
      {"time compared in the select list", kSelectList, NA_IT_HEURE, 13, NA_IT_TEXTE},
      {"time in a range test (23) of the select list", kSelectList, NA_IT_HEURE, 23, NA_IT_TEXTE},
      {"time IS NULL", kWhere, NA_IT_HEURE, 33, NA_IT_EMPTY},
      {"date IS NULL", kWhere, NA_IT_DATE8, 33, NA_IT_EMPTY},
      {"number under LIKE", kWhere, NA_IT_I4, 32, NA_IT_EMPTY},
      {"text under LIKE", kWhere, NA_IT_TEXTE, 32, NA_IT_EMPTY},
      {"6-character date under LIKE", kWhere, NA_IT_DATE6, 32, NA_IT_EMPTY},
  };
  CNACommand* pclCommand = NewCommand();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(pclCommand->eGetFormatExpressionColonne(c.kind, c.type,
                                                      static_cast<eOPEXPRESSION>(c.op), nullptr),
              c.expected);
  }
  pclCommand->nRelease();
}

TEST_F(CommandOperands, ATimeIsComparedAsTextOnlyUnderTextOperatorsWhereTheServerHoldsTimes) {
  const CompareAsTextCase cases[] = {
      {"time under = in WHERE", kWhere, NA_IT_HEURE, 9, NA_IT_EMPTY},
      {"time in ORDER BY", CNASqlElt::SQLELT_ORDERBY, NA_IT_HEURE, -1, NA_IT_EMPTY},
      {"time under LIKE", kWhere, NA_IT_HEURE, 32, NA_IT_TEXTE},
  };
  CNACommand* pclCommand = CommandOn(1252, 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(pclCommand->eGetFormatExpressionColonne(c.kind, c.type,
                                                      static_cast<eOPEXPRESSION>(c.op), nullptr),
              c.expected);
  }
  pclCommand->nRelease();
}

struct ItemNameCase {
  const char* what;
  const wchar_t* item;  // the record's item, or null for none
  eOPEXPRESSION op;
  const wchar_t* table;
  const wchar_t* name;
  const wchar_t* expected;
};

TEST_F(CommandOperands, AColumnIsWrittenPlainOrConvertedToItsRecordText) {
  const ItemNameCase cases[] = {
      {"number under =", L"N", kEqual, L"CUSTOMER", L"N", L"`CUSTOMER`.`N`"},
      {"number under LIKE", L"N", kLike, L"CUSTOMER", L"N", L"`CUSTOMER`.`N`"},
      {"no description", nullptr, kLike, L"CUSTOMER", L"D", L"`CUSTOMER`.`D`"},
      {"date under =", L"D", kEqual, L"CUSTOMER", L"D", L"`CUSTOMER`.`D`"},
      {"date under LIKE", L"D", kLike, L"CUSTOMER", L"D", L"DATE_FORMAT(`CUSTOMER`.`D`,'%Y%m%d')"},
      {"date under LIKE, no table", L"D", kLike, nullptr, L"D", L"DATE_FORMAT(`D`,'%Y%m%d')"},
      {"date under LIKE, quoted names", L"D", kLike, L"my table", L"my date",
       L"DATE_FORMAT(`my table`.`my date`,'%Y%m%d')"},
      {"date-time under LIKE", L"DT", kLike, L"CUSTOMER", L"DT",
       L"SUBSTR(DATE_FORMAT(`CUSTOMER`.`DT`,'%Y%m%d%H%i%S%f'), 1, 17)"},
      {"date-time under =", L"DT", kEqual, L"CUSTOMER", L"DT", L"`CUSTOMER`.`DT`"},
      {"time under =", L"T", kEqual, L"CUSTOMER", L"T", L"TIME_FORMAT(`CUSTOMER`.`T`,'%H%i%S')"},
      {"time IS NULL", L"T", kIsNull, L"CUSTOMER", L"T", L"`CUSTOMER`.`T`"},
      {"time with no operator", L"T", kNoOperator, L"CUSTOMER", L"T",
       L"TIME_FORMAT(`CUSTOMER`.`T`,'%H%i%S')"},
  };
  CNACommand* pclCommand = NewCommand();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    INAItemDescription* piItem = c.item != nullptr ? Item(c.item) : nullptr;
    if (c.item != nullptr) {
      ASSERT_NE(piItem, nullptr);
    }
    CTString csOut(L"previous text");
    EXPECT_EQ(pclCommand->FormatExpressionItemName(&csOut, kWhere, c.op, nullptr, piItem, c.table,
                                                   c.name),
              1);
    EXPECT_STREQ(csOut.pszGet(), c.expected);
  }
  pclCommand->nRelease();
}

TEST_F(CommandOperands, AnItemWithNoConversionIsWrittenPlainEvenWhenAskedToConvert) {
  // A dialect may ask to convert a column the connection has no text form
  // for: the column is then compared as it is, never dropped.
  CNACommand* pclCommand = NewCommand();
  CTString csOut;
  EXPECT_EQ(pclCommand->_bFormatAndConvertItemInClause(kWhere, Item(L"S"), L"CUSTOMER", L"S",
                                                       &csOut, kLike, nullptr),
            1);
  EXPECT_STREQ(csOut.pszGet(), L"`CUSTOMER`.`S`");
  pclCommand->nRelease();
}

}  // namespace
}  // namespace kqtest
