// The user's own search: set, cancel, copy, and whether the record's current
// value still matches it, exactly or ignoring case by the language's rule.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sqlbuilder/user_search.h"
#include "tests/sqlbuilder/search_fixture.h"

namespace kqtest {
namespace {

StandInItemDecl Decl(const wchar_t* pszName, int nType, int nSize) {
  StandInItemDecl decl;
  decl.name = pszName;
  decl.type = nType;
  decl.size = nSize;
  return decl;
}

class UserSearch : public SearchFixture {
 protected:
  void SetUp() override {
    SearchFixture::SetUp();
    ASSERT_TRUE(Build({Decl(L"NAME", NA_IT_TEXTE, 21), Decl(L"WNAME", NA_IT_UNICODE, 42),
                       Decl(L"N", NA_IT_I4, 4), Decl(L"R", NA_IT_R8, 8)}));
  }
  void Set(const wchar_t* pszColumn, const CAny& v) {
    ASSERT_TRUE(Column(pszColumn)->bSetValue(&v, 0));
  }
  static CAny Real(double d) {
    CAny v;
    v.SetR8(d);
    return v;
  }
};

TEST_F(UserSearch, WithNoSearchEveryRecordMatches) {
  CNAUserSearch clSearch;
  EXPECT_EQ(clSearch.piGetItemNoRef(), nullptr);
  EXPECT_EQ(clSearch.bGetHTrouve(m_pclRecord), 1);
  EXPECT_EQ(clSearch.bGetHTrouve(nullptr), 1);
}

TEST_F(UserSearch, ANullItemIsNoSearch) {
  CNAUserSearch clSearch;
  const CAny v = Wide(L"x");
  clSearch.SetUserSearch(nullptr, &v, 1);
  EXPECT_EQ(clSearch.piGetItemNoRef(), nullptr);
  EXPECT_EQ(clSearch.nGetMode(), 0u);
  EXPECT_EQ(clSearch.bGetHTrouve(m_pclRecord), 1);
}

TEST_F(UserSearch, SetKeepsTheItemTheValueAndTheModeAndCancelDropsThem) {
  CNAUserSearch clSearch;
  const CAny v = Wide(L"Smith");
  clSearch.SetUserSearch(Item(L"NAME"), &v, 1);
  EXPECT_EQ(clSearch.piGetItemNoRef(), Item(L"NAME"));
  EXPECT_EQ(clSearch.nGetMode(), 1u);
  EXPECT_EQ(clSearch.pGetValue()->nGetTypeCode(), v.nGetTypeCode());
  clSearch.CancelUserSearch();
  EXPECT_EQ(clSearch.piGetItemNoRef(), nullptr);
  EXPECT_EQ(clSearch.nGetMode(), 0u);
  EXPECT_EQ(clSearch.pGetValue()->nGetTypeCode(), 0u);
}

TEST_F(UserSearch, SettingTheSameItemAgainKeepsItAlive) {
  // The item held is given again: its reference must not be dropped first.
  CNAUserSearch clSearch;
  const CAny a = Wide(L"a");
  const CAny b = Wide(L"b");
  clSearch.SetUserSearch(Item(L"NAME"), &a, 0);
  clSearch.SetUserSearch(clSearch.piGetItemNoRef(), &b, 0);
  Set(L"NAME", Wide(L"b"));
  EXPECT_EQ(clSearch.bGetHTrouve(m_pclRecord), 1);
}

TEST_F(UserSearch, CopyTakesTheOthersSearchOrCancels) {
  CNAUserSearch clFrom;
  const CAny v = Int(7);
  clFrom.SetUserSearch(Item(L"N"), &v, 1);
  CNAUserSearch clTo;
  clTo.Copy(&clFrom);
  EXPECT_EQ(clTo.piGetItemNoRef(), Item(L"N"));
  EXPECT_EQ(clTo.nGetMode(), 1u);
  Set(L"N", Int(7));
  EXPECT_EQ(clTo.bGetHTrouve(m_pclRecord), 1);

  CNAUserSearch clEmpty;
  clTo.Copy(&clEmpty);
  EXPECT_EQ(clTo.piGetItemNoRef(), nullptr);
  EXPECT_EQ(clTo.nGetMode(), 0u);
  clTo.Copy(&clFrom);
  clTo.Copy(nullptr);
  EXPECT_EQ(clTo.piGetItemNoRef(), nullptr);
  clTo.Copy(&clTo);
  EXPECT_EQ(clTo.piGetItemNoRef(), nullptr);
}

TEST_F(UserSearch, AnItemTheRecordDoesNotHoldNeverMatches) {
  // A second record's item is not a column of the fixture's record.
  StandInItemDecl other = Decl(L"OTHER", NA_IT_I4, 4);
  CStandInItem* piOther = CStandInItem::pclNew(other, 12);
  ASSERT_NE(piOther, nullptr);
  {
    CNAUserSearch clSearch;
    const CAny v = Int(1);
    clSearch.SetUserSearch(piOther, &v, 0);
    EXPECT_EQ(clSearch.bGetHTrouve(m_pclRecord), 0);
  }
  piOther->nExternalRelease();
}

struct MatchCase {
  const char* what;
  const wchar_t* column;
  CAny current;  // type 0: the column is left undefined (NULL)
  CAny searched;
  unsigned int mode;
  int expected;
};

TEST_F(UserSearch, TheRecordMatchesByTheModesComparison) {
  const MatchCase cases[] = {
      {"same text, exact", L"NAME", Wide(L"Smith"), Wide(L"Smith"), 0, 1},
      {"other case, exact", L"NAME", Wide(L"Smith"), Wide(L"SMITH"), 0, 0},
      {"other case, ignoring case", L"NAME", Wide(L"Smith"), Wide(L"SMITH"), 1, 1},
      {"lower case searched, ignoring case", L"NAME", Wide(L"SMITH"), Wide(L"smith"), 1, 1},
      {"other text, ignoring case", L"NAME", Wide(L"Smith"), Wide(L"Smyth"), 1, 0},
      {"a prefix is not the value, ignoring case", L"NAME", Wide(L"Smith"), Wide(L"smi"), 1, 0},
      {"accents still count, ignoring case", L"NAME", Wide(L"Elan"), Wide(L"\u00C9lan"), 1, 0},
      {"Unicode, other case, ignoring case", L"WNAME", Wide(L"\u00E9t\u00E9"),
       Wide(L"\u00C9T\u00C9"), 1, 1},
      {"Unicode, other case, exact", L"WNAME", Wide(L"\u00E9t\u00E9"), Wide(L"\u00C9T\u00C9"), 0,
       0},
      {"number, exact", L"N", Int(12), Int(12), 0, 1},
      {"other number, ignoring case", L"N", Int(12), Int(13), 1, 0},
      {"close reals stay different, ignoring case", L"R", Real(1.0), Real(1.0 + 1e-12), 1, 0},
      {"NULL column, NULL searched", L"N", CAny(), Null(), 0, 1},
      {"NULL column, text searched, ignoring case", L"NAME", CAny(), Wide(L"a"), 1, 0},
      {"text column, NULL searched, ignoring case", L"NAME", Wide(L"a"), Null(), 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.current.nGetTypeCode() == 0) {
      ASSERT_TRUE(Column(c.column)->bSetValueNULL());
    } else {
      Set(c.column, c.current);
    }
    CNAUserSearch clSearch;
    clSearch.SetUserSearch(Item(c.column), &c.searched, c.mode);
    EXPECT_EQ(clSearch.bGetHTrouve(m_pclRecord), c.expected);
  }
}

}  // namespace
}  // namespace kqtest
