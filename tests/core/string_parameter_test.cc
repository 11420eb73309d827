// CStringParameter: name=value parameters of ";"-separated strings such as
// connection strings. A name counts only where a parameter begins.
#include "core/string_parameter.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/bound_framework.h"

namespace {

class StringParameter : public kqtest::BoundFrameworkTest {};

struct Read {
  bool bFound;
  std::wstring value;
};

Read ReadValue(const wchar_t* text, const wchar_t* name) {
  CTString s(text);
  CTString value;
  int bFound = -1;
  EXPECT_EQ(CStringParameter::s_bGetParameterValue(&value, &bFound, &s, name, 0), 1);
  EXPECT_STREQ(s.pszGet(), text == nullptr ? L"" : text);  // unchanged without remove
  return {bFound == 1, value.pszGet()};
}

TEST_F(StringParameter, FindsAValueByNameIgnoringCaseAndBlanks) {
  struct Case {
    const char* name;
    const wchar_t* text;
    const wchar_t* param;
    bool bFound;
    const wchar_t* value;
  };
  const Case cases[] = {
      {"blanks around = and after the value", L"Data Source = srv ; User ID=me", L"data source",
       true, L"srv"},
      {"the second parameter", L"Data Source = srv ; User ID=me", L"user id", true, L"me"},
      {"empty value before ;", L"b=;c=3", L"b", true, L""},
      {"empty value at the end", L"a=1;b=", L"b", true, L""},
      {"blanks only as value", L"a=1;b=   ", L"b", true, L""},
      {"value holding =", L"password=a=b==c;user id=x", L"password", true, L"a=b==c"},
      {"a value ends at ;", L"password=ab;cd;user id=x", L"password", true, L"ab"},
      {"a name not followed by = is skipped", L"user identity=x;user id=y", L"user id", true, L"y"},
      {"a name inside a longer name is not found", L"xuser id=y", L"user id", false, L""},
      {"a name inside another value is not found", L"password=user id=evil;user id=bob",
       L"user id", true, L"bob"},
      {"a value alone, name inside it only", L"password=user id=evil", L"user id", false, L""},
      {"a name after ; and blanks", L"a=1;   user id =  bob", L"USER ID", true, L"bob"},
      {"blanks at the very start", L"   a = 1", L"a", true, L"1"},
      {"a name at the end of another value", L"x=a;b=2", L"a", false, L""},
      {"absent", L"a=1", L"b", false, L""},
      {"empty string", L"", L"a", false, L""},
      {"empty name", L"=1", L"", false, L""},
      {"empty parameters between ;", L";;a=1;;b=2", L"b", true, L"2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Read r = ReadValue(c.text, c.param);
    EXPECT_EQ(r.bFound, c.bFound);
    EXPECT_EQ(r.value, c.value);
  }
}

TEST_F(StringParameter, RemovesAParameterWithItsSeparators) {
  struct Case {
    const wchar_t* text;
    const wchar_t* name;
    const wchar_t* expected;
    const wchar_t* value;
  };
  const Case cases[] = {
      {L"a=1;b=2;c=3", L"b", L"a=1;c=3", L"2"},
      {L"a=1;b=2;c=3", L"a", L"b=2;c=3", L"1"},
      {L"a=1;b=2;c=3", L"c", L"a=1;b=2;", L"3"},
      {L"a=1 ;  b = 2 ; ;c=3", L"b", L"a=1 ;c=3", L"2"},
      {L"b=2", L"b", L"", L"2"},
      {L" ; b=2 ;; ", L"b", L"", L"2"},
      {L"b=2; ;a=1", L"b", L"a=1", L"2"},
      {L"b=;a=1", L"b", L"a=1", L""},
      {L"a=1", L"z", L"a=1", L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)) + " without " +
                 testing::PrintToString(std::wstring(c.name)));
    CTString s(c.text);
    CTString value;
    int bFound = 0;
    CStringParameter::s_bGetParameterValue(&value, &bFound, &s, c.name, 1);
    EXPECT_STREQ(s.pszGet(), c.expected);
    EXPECT_STREQ(value.pszGet(), c.value);
  }
}

TEST_F(StringParameter, ReplacesOrAppendsAValue) {
  struct Case {
    const wchar_t* text;
    const wchar_t* name;
    const wchar_t* value;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"a=1;b=22", L"b", L"5", L"a=1;b=5"},
      {L"a=1", L"b", L"5", L"a=1;b=5"},
      {L"", L"b", L"5", L"b=5"},
      {L"b=;a=1", L"b", L"5", L"b=5;a=1"},
      {L"a=1;b=", L"b", L"5", L"a=1;b=5"},
      {L"b = old value ;a=1", L"b", L"new", L"b = new;a=1"},
      {L"pwd=b=1;b=2", L"b", L"9", L"pwd=b=1;b=9"},
      {L"a=1", L"b", L"x=y", L"a=1;b=x=y"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
    CTString s(c.text);
    EXPECT_EQ(CStringParameter::s_bReplaceParameterValue(&s, c.value, c.name), 1);
    EXPECT_STREQ(s.pszGet(), c.expected);
  }
}

TEST_F(StringParameter, RefusesToWriteAValueHoldingASeparator) {
  // Written, «x;user id=root» would be read back as the value x and a second
  // user id.
  CTString s(L"user id=bob");
  EXPECT_EQ(CStringParameter::s_bReplaceParameterValue(&s, L"x;user id=root", L"password"), 0);
  EXPECT_STREQ(s.pszGet(), L"user id=bob");

  CStringParameter password(L"password");
  password.SetParameterValue(L"x;user id=root", -1);
  CTString out(L"user id=bob");
  EXPECT_EQ(password.bCompleteConnectionString(&out), 0);
  EXPECT_STREQ(out.pszGet(), L"user id=bob");
}

TEST_F(StringParameter, RebuildsAConnectionStringFromParameters) {
  CStringParameter source(L"Data source");
  CStringParameter user(L"user id");
  CStringParameter unset(L"Initial Catalog");
  source.SetParameterValue(L"srv  ", -1);
  user.SetParameterValue(L"bobby", 3);
  CTString out;
  EXPECT_EQ(source.bCompleteConnectionString(&out), 1);
  EXPECT_EQ(unset.bCompleteConnectionString(&out), 1);
  EXPECT_EQ(user.bCompleteConnectionString(&out), 1);
  EXPECT_STREQ(out.pszGet(), L"Data source=srv;user id=bob");
  // And reads back.
  CStringParameter again(L"USER ID");
  EXPECT_EQ(again.bInitParameterValue(&out, 1), 1);
  EXPECT_EQ(again.bDefined(), 1);
  EXPECT_STREQ(again.pszGetValue(), L"bob");
  EXPECT_STREQ(out.pszGet(), L"Data source=srv;");  // only blanks before a name go with it
  CStringParameter absent(L"password");
  absent.bInitParameterValue(&out, 0);
  EXPECT_EQ(absent.bDefined(), 0);
  EXPECT_EQ(CStringParameter::s_bParameterDefined(&out, L"data SOURCE"), 1);
  EXPECT_EQ(CStringParameter::s_bParameterDefined(&out, L"source"), 0);
}

TEST_F(StringParameter, SettingAValue) {
  CStringParameter p(L"dir");
  p.SetParameterValue(nullptr, -1);
  EXPECT_EQ(p.bDefined(), 0);
  p.SetParameterValue(L"", -1);
  EXPECT_EQ(p.bDefined(), 1);
  EXPECT_STREQ(p.pszGetValue(), L"");

  struct Case {
    const wchar_t* text;
    const wchar_t* expected;
  };
  const Case cases[] = {{L"/tmp/x", L"/tmp/x\\"}, {L"/tmp/x\\", L"/tmp/x\\"}, {L"", L""},
                        {L"c:\\dir  ", L"c:\\dir\\"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
    p.SetParameterValueRep(c.text, -1);
    EXPECT_STREQ(p.pszGetValue(), c.expected);
    EXPECT_EQ(p.bDefined(), 1);
  }
}

TEST_F(StringParameter, ThePositionSearchReportsWhereNameAndValueLie) {
  CTString s(L"a=1; bb = 22 ;c=");
  int nName = 7, nStart = 7, nEnd = 7;
  ASSERT_TRUE(CStringParameter::_s_bGetParameterPos(nName, nStart, nEnd, &s, L"bb"));
  EXPECT_EQ(nName, 5);
  EXPECT_EQ(nStart, 10);
  EXPECT_EQ(nEnd, 12);  // the value's trailing blank is in the span
  ASSERT_TRUE(CStringParameter::_s_bGetParameterPos(nName, nStart, nEnd, &s, L"c"));
  EXPECT_LT(nEnd, nStart);
  EXPECT_FALSE(CStringParameter::_s_bGetParameterPos(nName, nStart, nEnd, &s, L"d"));
  EXPECT_EQ(nName, 0);
  EXPECT_EQ(nStart, -1);
  EXPECT_EQ(nEnd, -1);
}

}  // namespace
