// The command and its parameters without a server: positions and their
// moves, cutting, appending another command, resets, kinds, the select list,
// the trace, parameters of the server's parsed query, LIKE patterns and
// literal matches. What the formatted text holds on the server, and that the
// server reads it as meant, is tests/sqlbuilder/command_server_test.cc.
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/na_error.h"
#include "items/convert_variant.h"
#include "kq230/query_parameters_interface.h"
#include "kq230/vm_values.h"
#include "mariadb/mysql_driver.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/parameter.h"
#include "sqlbuilder/parsed_query_info.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/sqlbuilder/backquote_connection.h"
#include "tests/values/bound_values.h"
#include "values/any.h"

namespace kqtest {
namespace {

const eOPEXPRESSION kNoOperator = static_cast<eOPEXPRESSION>(-1);

CAny Wide(const std::wstring& text) {
  CAny v;
  v.__SetType(VX_DSTRW, 0);
  v.SetValueByte(text.data(), static_cast<unsigned int>(text.size() * sizeof(wchar_t)));
  return v;
}

CAny Int(int n) {
  CAny v;
  v.SetI4(n);
  return v;
}

// The server's parameter values of a parsed query: a name, a direction and
// an optional value each.
class ParameterValues : public INAQueryParametersValue {
 public:
  struct Entry {
    std::wstring name;
    int direction;
    bool has_value;
    CAny value;
  };
  std::vector<Entry> entries;
  int refs = 1;

  int nGetVersion() override { return 1; }
  int nGetCompatSince() override { return 1; }
  int AddRef() override { return ++refs; }
  int Release() override { return --refs; }
  int nGetNbParametre() override { return static_cast<int>(entries.size()); }
  int bPrepareRequeteCalled() override { return 1; }
  const CAny* pclGetParameterValue(const wchar_t* pszName) override {
    for (auto& e : entries)
      if (e.name == pszName) return e.has_value ? &e.value : nullptr;
    return nullptr;
  }
  int nGetParameterDirection(const wchar_t* pszName) override {
    for (auto& e : entries)
      if (e.name == pszName) return e.direction;
    return kQueryParamUnknown;
  }
  const wchar_t* pszGetNomParametre(int i) override {
    return i >= 0 && i < static_cast<int>(entries.size()) ? entries[i].name.c_str() : nullptr;
  }
};

class CommandTest : public BoundValuesTest {
 protected:
  void SetUp() override {
    BoundValuesTest::SetUp();
    m_pclDriver = new CMySQLDriver();
    m_pclDriver->ExternalAddRef();
    m_pclConnection = new BackquoteConnection(&m_host);
    m_pclConnection->AddRef();
    m_pclError = new CNAError();
    m_pclError->AddRef();
  }
  void TearDown() override {
    m_pclError->nRelease();
    m_pclConnection->nRelease();
    EXPECT_EQ(m_host.nOutstanding(), 0);
    EXPECT_EQ(m_pclDriver->nExternalRelease(), 0);
    BoundValuesTest::TearDown();
  }

  CNACommand* NewCommand() {
    auto* p = static_cast<CNACommand*>(m_pclDriver->pclAllocCommand(m_pclError, m_pclConnection));
    p->AddRef();
    return p;
  }
  CNAConvertVariant* NewHolder(const CAny& v) {
    auto* p = static_cast<CNAConvertVariant*>(m_pclDriver->pclAllocVariant(m_pclError, m_pclConnection));
    p->InitTypeVariantAny(v.nGetTypeCode(), 0);
    p->bSetValue(&v);
    return p;
  }
  // A parameter holding n, added at the current end of the statement text.
  void AddInt(CNACommand* c, int n, unsigned int flags = 0, const wchar_t* name = nullptr) {
    CNAConvertVariant* h = NewHolder(Int(n));
    h->AddRef();
    ASSERT_EQ(c->bAddParameter(h, kNoOperator, flags, nullptr, name, 0, CNAParameter::NA_PARAM_IN), 1);
    h->nRelease();
  }
  static std::vector<unsigned int> Positions(CNACommand* c) {
    std::vector<unsigned int> v;
    for (unsigned int i = 0; i < c->nGetParameterNbr(); ++i)
      v.push_back(c->pclGetParameterNoRef(i)->nGetPosition());
    return v;
  }

  HostConnectionFake m_host;
  CMySQLDriver* m_pclDriver = nullptr;
  BackquoteConnection* m_pclConnection = nullptr;
  CNAError* m_pclError = nullptr;
};

TEST_F(CommandTest, AParameterStandsWhereTheTextEndedAndMovesWithInsertions) {
  CNACommand* c = NewCommand();
  c->bComplete(L"SELECT a FROM t WHERE a =");  // 25 characters
  AddInt(c, 7);
  EXPECT_EQ(Positions(c), std::vector<unsigned int>{25});
  c->_OffsetParameter(26, 4);
  EXPECT_EQ(Positions(c), std::vector<unsigned int>{25});
  c->_OffsetParameter(25, 4);
  EXPECT_EQ(Positions(c), std::vector<unsigned int>{29});
  c->Insert(0, L"/*x*/");
  EXPECT_EQ(Positions(c), std::vector<unsigned int>{34});
  EXPECT_STREQ(c->pszGetOriginalSQL(), L"/*x*/SELECT a FROM t WHERE a =");
  c->nRelease();
}

// Positions count wide characters whatever the connection keeps its texts in
// (wide, UTF-8 or a one-byte code page): a reference model follows random
// appends, parameters, insertions, replacements and cuts.
TEST_F(CommandTest, PositionsCountWideCharactersInEveryPrimaryFormOverRandomEdits) {
  struct Form {
    int nCodePage;
    std::vector<std::wstring> pieces;
  };
  const std::vector<std::wstring> kWide = {L"SELECT ", L"a", L" = ", L"\u00e9t\u00e9",
                                           L"\U0001F600", L"\u4e2d\u6587", L"x,y", L"''"};
  const std::vector<std::wstring> kOneByte = {L"SELECT ", L"a", L" = ", L"\u00e9t\u00e9",
                                              L"\u00fc", L"x,y", L"''"};
  const Form kForms[] = {{-2, kWide}, {65001, kWide}, {1252, kOneByte}};
  std::mt19937 random(20);
  for (const Form& form : kForms) {
    SCOPED_TRACE(form.nCodePage);
    auto* pclConnection = new BackquoteConnection(&m_host, kServerKindMariaDB, form.nCodePage);
    pclConnection->AddRef();
    auto* c = static_cast<CNACommand*>(m_pclDriver->pclAllocCommand(m_pclError, pclConnection));
    c->AddRef();
    std::wstring text;
    std::vector<unsigned int> positions;
    auto piece = [&] { return form.pieces[random() % form.pieces.size()]; };
    for (int step = 0; step < 400; ++step) {
      const unsigned int op = random() % 10;
      const auto nLength = static_cast<unsigned int>(text.size());
      if (op < 4) {
        const std::wstring t = piece();
        c->bComplete(t.c_str());
        text += t;
      } else if (op < 7) {
        AddInt(c, step);
        positions.push_back(nLength);
      } else if (op == 7) {
        const unsigned int nAt = random() % (nLength + 1);
        const std::wstring t = piece();
        c->Insert(nAt, t.c_str());
        text.insert(nAt, t);
        for (auto& p : positions)
          if (p >= nAt) p += static_cast<unsigned int>(t.size());
      } else if (op == 8) {
        const unsigned int nAt = random() % (nLength + 1);
        const unsigned int nCount = std::min(random() % 4u, nLength - nAt);
        const std::wstring t = piece();
        c->Replace(nAt, nCount, t.c_str());
        text.replace(nAt, nCount, t);
        for (auto& p : positions)
          if (p >= nAt) p += static_cast<unsigned int>(t.size()) - nCount;
      } else if (nLength > 0) {
        const unsigned int nCut = nLength - random() % std::min(nLength, 8u);
        c->Tronque(nCut, -1);
        text.resize(nCut);
        while (!positions.empty() && positions.back() >= nCut) positions.pop_back();
      }
      ASSERT_EQ(c->nGetTextLength(), text.size()) << "step " << step;
      ASSERT_EQ(Positions(c), positions) << "step " << step;
    }
    EXPECT_EQ(std::wstring(c->pszGetOriginalSQL()), text);
    // A parameter after multi-byte characters lands right after them.
    c->ResetCommand(0);
    c->bComplete(L"SELECT 1 FROM t WHERE '\u00e9\u00e9' = ");
    AddInt(c, 7);
    c->bComplete(L" AND 2 = ");
    AddInt(c, 8);
    EXPECT_STREQ(c->pszGetFormatedSQL(CNACommand::NA_PTC_ALL),
                 L"SELECT 1 FROM t WHERE '\u00e9\u00e9' = 7 AND 2 = 8");
    c->nRelease();
    pclConnection->nRelease();
  }
}

TEST_F(CommandTest, CuttingReleasesParametersByPositionOrByIndex) {
  for (int nMode : {-1, 1}) {
    SCOPED_TRACE(nMode);
    CNACommand* c = NewCommand();
    c->bComplete(L"abcd");
    AddInt(c, 1);  // position 4
    c->bComplete(L"efghijkl");
    AddInt(c, 2);  // 12
    c->bComplete(L"mno");
    AddInt(c, 3);  // 15
    c->Tronque(10, nMode);
    EXPECT_EQ(Positions(c), std::vector<unsigned int>{4});
    EXPECT_STREQ(c->pszGetOriginalSQL(), L"abcdefghij");
    c->nRelease();
  }
}

TEST_F(CommandTest, AppendingSharesOrClonesTheOtherCommandsParameters) {
  CNACommand* a = NewCommand();
  CNACommand* b = NewCommand();
  a->bComplete(L"SELECT 1 WHERE x = ");
  b->bComplete(L"y = ");
  AddInt(b, 5);
  CNAParameter* pclOwn = b->pclGetParameterNoRef(0);
  ASSERT_EQ(a->bAdd(b, CNACommand::NA_ADD_CLONE), 1);
  EXPECT_EQ(a->pclGetParameterNoRef(0)->nGetPosition(), 23u);
  EXPECT_NE(a->pclGetParameterNoRef(0), pclOwn);
  EXPECT_EQ(pclOwn->nGetPosition(), 4u);  // a clone leaves the other's own untouched
  // Shared: the other command's own object moves (it is now one object in two
  // commands).
  a->ResetCommand(0);
  a->bComplete(L"0123456789");
  ASSERT_EQ(a->bAdd(b, CNACommand::NA_ADD_SHARE), 1);
  EXPECT_EQ(a->pclGetParameterNoRef(0), pclOwn);
  EXPECT_EQ(pclOwn->nGetPosition(), 14u);
  EXPECT_STREQ(a->pszGetOriginalSQL(), L"0123456789y = ");
  a->nRelease();
  b->nRelease();
}

TEST_F(CommandTest, ResettingKeepsParametersOnlyWhenAsked) {
  CNACommand* c = NewCommand();
  c->bComplete(L"SELECT ");
  AddInt(c, 1);
  c->SetRowLimit(10);
  c->SetRowOffset(5);
  c->AddDefine(L"x", nullptr);
  c->ResetCommand(1);
  EXPECT_EQ(c->nGetParameterNbr(), 1u);
  EXPECT_EQ(c->nGetDefineNbr(), 0u);
  EXPECT_EQ(c->bIsEmpty(), 1);
  EXPECT_EQ(c->llGetRowLimit(), -1);
  EXPECT_EQ(c->llGetRowOffset(), -1);
  c->ResetCommand(0);
  EXPECT_EQ(c->nGetParameterNbr(), 0u);
  c->nRelease();
}

TEST_F(CommandTest, AnIndexPastTheParametersIsNoParameter) {
  CNACommand* c = NewCommand();
  EXPECT_EQ(c->pclGetParameterNoRef(0), nullptr);
  c->bComplete(L"SELECT ");
  AddInt(c, 1);
  EXPECT_NE(c->pclGetParameterNoRef(0), nullptr);
  for (unsigned int n : {1u, 2u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(c->pclGetParameterNoRef(n), nullptr);
  }
  c->nRelease();
}

TEST_F(CommandTest, KindsFollowTheHostsQueryTypes) {
  const struct {
    int host, set, converted;
  } kCases[] = {{0, 8, 8}, {1, 1, 1}, {2, 1, 1}, {3, 2, 2}, {4, 3, 3},
                {5, 4, 4}, {6, 6, 8}, {7, 9, 8}, {8, 8, 8}, {-3, 8, 8}};
  CNACommand* c = NewCommand();
  for (const auto& k : kCases) {
    SCOPED_TRACE(k.host);
    c->SetQueryType(static_cast<eTYPEREQUETE>(k.host));
    EXPECT_EQ(c->eGetQueryType(), k.set);
    EXPECT_EQ(eConvertTypeQuery(static_cast<eTYPEREQUETE>(k.host)), k.converted);
  }
  c->nRelease();
}

TEST_F(CommandTest, TextsAppendWholeOrNothingAndTheSelectListCommaFollowsTheDefines) {
  CNACommand* c = NewCommand();
  EXPECT_EQ(c->bComplete(L"SELECT "), 1);
  EXPECT_EQ(c->bComplete(L""), 1);
  EXPECT_EQ(c->bComplete(L"abcdef", 2), 1);
  EXPECT_EQ(c->_bAddColumnInSelect(L"x"), 1);  // no define yet: no comma
  EXPECT_STREQ(c->pszGetOriginalSQL(), L"SELECT abx");
  c->AddDefine(L"x", nullptr);
  c->_bAddColumnInSelect(L"y");
  EXPECT_STREQ(c->pszGetOriginalSQL(), L"SELECT abx,y");
  c->bAddReturning(L"id");
  c->bCompleteWithNumber(-42);
  EXPECT_STREQ(c->pszGetOriginalSQL(), L"SELECT abx,y RETURNING id-42");
  wchar_t sz[2] = {L'z', L'z'};
  c->_GetMotifVariableDebut(sz, 1);
  EXPECT_EQ(sz[0], 0);  // bounded: no room for the "{"
  c->_GetMotifVariableDebut(sz, 2);
  EXPECT_STREQ(sz, L"{");
  c->nRelease();
}

TEST_F(CommandTest, AFormattedTextIsKeptWhateverModeIsAskedUntilReset) {
  CNACommand* c = NewCommand();
  c->bComplete(L"SELECT 1");
  const std::wstring first = c->pszGetFormatedSQL(CNACommand::NA_PTC_NONE);
  c->bComplete(L"+1");
  EXPECT_EQ(first, c->pszGetFormatedSQL(CNACommand::NA_PTC_ALL));
  c->ResetFormatedSQL();
  EXPECT_STREQ(c->pszGetFormatedSQL(CNACommand::NA_PTC_ALL), L"SELECT 1+1");
  c->nRelease();
}

TEST_F(CommandTest, TheDumpIsBuiltOnceAndListsEachParameter) {
  CNACommand* c = NewCommand();
  c->bComplete(L"SELECT ");
  AddInt(c, 42);
  AddInt(c, 0, kNAParamCursor);
  const std::wstring dump = c->pszGetCommandDump();
  EXPECT_NE(dump.find(L"SELECT \r\n"), std::wstring::npos) << dump;
  EXPECT_NE(dump.find(L"=2\r\n"), std::wstring::npos) << dump;
  EXPECT_NE(dump.find(L" 0 :\t"), std::wstring::npos) << dump;
  EXPECT_NE(dump.find(L"8 = <42>\r\n"), std::wstring::npos) << dump;
  EXPECT_NE(dump.find(L" 1 :\t = <cursor parameter>>\r\n"), std::wstring::npos) << dump;
  c->bComplete(L"changed");
  EXPECT_EQ(dump, c->pszGetCommandDump());
  c->nRelease();
}

TEST_F(CommandTest, ParametersCompareByEveryFieldAndDescribeTheirDirection) {
  CNAConvertVariant* h = NewHolder(Int(3));
  auto* a = static_cast<CNAParameter*>(m_pclDriver->pclAllocParameter(h, 5, 0, L"p"));
  auto* b = static_cast<CNAParameter*>(m_pclDriver->pclAllocParameter(h, 5, 0, L"p"));
  a->AddRef();
  b->AddRef();
  EXPECT_EQ(a->bEqualsParameter(b), 1);
  b->SetEscapeLike(L'#');
  EXPECT_EQ(a->bEqualsParameter(b), 0);  // same value, other escape character
  EXPECT_EQ(a->bIsDate(), 0);
  EXPECT_EQ(a->bIsText(), 0);
  const struct {
    int direction;
    const wchar_t* text;
  } kCases[] = {{0, L"()"}, {1, L"(IN)"}, {2, L"(OUT)"}, {3, L"(IN|OUT)"}, {4, L"(RETURN)"},
                {7, L"(IN|OUT|RETURN)"}};
  CXYStringConcat<wchar_t> clText;
  clText.Add(L"old", 3);
  for (const auto& k : kCases) {
    a->SetDirection(static_cast<CNAParameter::eNAPARAMETERINOUT>(k.direction));
    a->TypeParam2String(&clText);
    EXPECT_STREQ(clText.pszGet(), k.text);
  }
  CNAParameter* pclClone = b->pclGetClone();
  ASSERT_NE(pclClone, nullptr);
  EXPECT_EQ(pclClone->pclGetValueNoRef(), h);  // the holder is shared
  EXPECT_EQ(pclClone->cGetEscapeLike(), L'#');
  EXPECT_EQ(pclClone->bEqualsParameter(b), 1);
  pclClone->nRelease();
  a->nRelease();
  b->nRelease();
}

TEST_F(CommandTest, AFileParameterLoadsItsFileOnceAsTextOrBinary) {
  const std::string path = ::testing::TempDir() + "kq_param_file.txt";
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("file body", f);
  std::fclose(f);
  const std::wstring wpath(path.begin(), path.end());
  for (bool text : {true, false}) {
    SCOPED_TRACE(text);
    CNAConvertVariant* h = NewHolder(Wide(wpath));
    const unsigned int flags = kNAParamFile | (text ? kNAParamFileText : 0u);
    auto* p = static_cast<CNAParameter*>(m_pclDriver->pclAllocParameter(h, 0, flags, nullptr));
    p->AddRef();
    ASSERT_EQ(p->bLoadFile(m_pclError), 1);
    EXPECT_EQ(p->nGetFlags() & kNAParamFile, 0u);
    EXPECT_EQ(h->nGetVXType(), text ? VX_DSTRA : VX_BIN);
    EXPECT_EQ(h->nGetUtilDataSize(), 9u);
    // Loaded once: the content is no file name any more.
    EXPECT_EQ(p->bLoadFile(m_pclError), 1);
    EXPECT_EQ(h->nGetUtilDataSize(), 9u);
    p->nRelease();
  }
  std::remove(path.c_str());
}

TEST_F(CommandTest, UserParametersTakeTheServersValueAndAMissingValueIsAnErrorNamingIt) {
  ParameterValues values;
  values.entries.push_back({L"name", kQueryParamIn, true, Wide(L"Bob")});
  values.entries.push_back({L"gone", kQueryParamIn, false, CAny()});
  values.entries.push_back({L"out", kQueryParamOut, true, Int(1)});
  auto* pclInfo = new CSQLParserInfo(m_pclError, nullptr, &values, 0);
  pclInfo->AddRef();
  CNACommand* c = NewCommand();
  c->_SetSQLParserInfo(pclInfo);
  c->bComplete(L"SELECT ");
  AddInt(c, 5, kNAParamUser, L"name");  // an integer holder gets a text
  AddInt(c, 6, kNAParamUser | kNAParamCursor, L"gone");  // a cursor is never refreshed
  ASSERT_EQ(c->bUpdateParametersValues(), 1) << m_pclError->StringDump().pszGet();
  CNAConvertVariant* h = c->pclGetParameterNoRef(0)->pclGetValueNoRef();
  EXPECT_EQ(h->nGetVXType(), VX_DSTRW);
  CAny v;
  h->bGetValue(&v);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(h->pGetData())), L"Bob");
  EXPECT_EQ(c->pclGetParameterByNameNoRef(L"NAME"), c->pclGetParameterNoRef(0));
  EXPECT_EQ(c->nGetUserParamIndice(c->pclGetParameterNoRef(1)), 0);  // same position
  EXPECT_EQ(c->pclGetParameterNoRef(0)->bIsParamOUT(&values), 0);
  // A parameter the server has no value for stops the run with its name.
  AddInt(c, 7, kNAParamUser, L"gone");
  EXPECT_EQ(c->bUpdateParametersValues(), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 44u);
  EXPECT_STREQ(m_pclError->pclGetXError()->pszGetUserMessage(),
               L"The query parameter gone has no value.");
  const std::wstring dump = m_pclError->StringDump().pszGet();
  EXPECT_NE(dump.find(L"IEKQMARIA=10.3"), std::wstring::npos) << dump;
  EXPECT_EQ(c->pszGetFormatedSQL(CNACommand::NA_PTC_ALL), nullptr);
  c->nRelease();
  pclInfo->nRelease();
  EXPECT_EQ(values.refs, 1);
}

TEST_F(CommandTest, LikePatternsAreRewrittenWithTheCommandsEscapeCharacter) {
  const struct {
    const wchar_t* pattern;
    wchar_t escape;
    const wchar_t* expected;
  } kCases[] = {
      {L"50\\%", 0, L"50!%"},           // backslash by default
      {L"a\\_b%", L'\\', L"a!_b%"},
      {L"a\\\\b", 0, L"a\\b"},          // an escaped escape is the character itself
      {L"a\\b", 0, L"a\\b"},            // a lone escape stands for itself
      {L"wow!", 0, L"wow!!"},           // the new escape character must match itself
      {L"#%x#_#", L'#', L"!%x!_#"},
      {L"!%", L'!', L"!%"},             // already "!": unchanged
      {L"!!", L'!', L"!!"},
      {L"", 0, L""},
      {L"%", 0, L"%"},
      {L"tail\\", 0, L"tail\\"},
  };
  for (const auto& k : kCases) {
    CTString out;
    ASSERT_EQ(CNACommand::s_bTranslateLikePattern(k.pattern, std::wcslen(k.pattern), k.escape, &out), 1);
    EXPECT_STREQ(out.pszGet(), k.expected) << "pattern " << testing::PrintToString(std::wstring(k.pattern));
  }
}

TEST_F(CommandTest, LiteralMatchesEscapeWildcardsAndTheEscapeCharacterOnly) {
  CNACommand* c = NewCommand();
  const struct {
    const wchar_t* text;
    wchar_t escape;
    const wchar_t* expected;
  } kCases[] = {{L"a_b%", 0, L"a\\_b\\%"},
                {L"it's", 0, L"it's"},  // the literal writer quotes it, not this
                {L"a\\b", 0, L"a\\\\b"},
                {L"x!y%", L'!', L"x!!y!%"},
                {L"", 0, L""}};
  for (const auto& k : kCases) {
    CXYString<wchar_t> out;
    ASSERT_EQ(c->bEscapeLIKEParamAsZBParam(&out, k.text, k.escape), 1);
    EXPECT_STREQ(out.pszGet(), k.expected);
    CXYString<char> outA;
    std::string narrow(k.text, k.text + std::wcslen(k.text));
    ASSERT_EQ(c->bEscapeLIKEParamAsZBParam(&outA, narrow.c_str(), static_cast<char>(k.escape)), 1);
    EXPECT_EQ(std::string(outA.pszGet()), std::string(k.expected, k.expected + std::wcslen(k.expected)));
  }
  c->nRelease();
}

TEST_F(CommandTest, ValueClassesOfLanguageTypes) {
  const struct {
    unsigned short type;
    int expected;
  } kCases[] = {{1, 32}, {2, 1}, {9, 1}, {14, 1}, {10, 64}, {13, 64}, {11, 2}, {12, 2},
                {16, 4}, {19, 4}, {81, 4}, {110, 4}, {24, 8}, {27, 8}, {128, 8}, {129, 8},
                {28, 16}, {29, 16}, {50, 0}, {0, 0}, {15, 0}};
  for (const auto& k : kCases) EXPECT_EQ(CNACommand::VXType2eParamType(k.type), k.expected) << k.type;
}

}  // namespace
}  // namespace kqtest
