// The link list read from a table's definition, over definition texts as
// SHOW CREATE TABLE writes them (and texts it does not write): the fields
// and rule codes of a line, the flag that asks for them, composed keys of a
// stand-in description naming a column group, clauses of an unexpected
// shape skipped without losing the rest, quoted names read with their
// doubled back quotes, references to another database, and every cut of a
// definition read without a read past its end. Also the line writer for
// catalogue callers and the rule words.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/string_concat.h"
#include "driver/connection_description.h"
#include "statements/driver_sql.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/sqlbuilder/backquote_connection.h"
#include "tests/support/standin_items.h"
#include "tests/values/bound_values.h"

namespace kqtest {
namespace {

constexpr unsigned short kComposed = 0x1000;
constexpr unsigned short kDup = 0x2000;
constexpr unsigned short kUnique = 0x4000;
constexpr unsigned short kPrimary = 0x8000;
constexpr unsigned int kDetailed = 0x20;

// The interface without a driver: the parser and the key naming work on
// the descriptions they are given; a description they would have to read
// from a database cannot be had.
// It makes no statement, and counts the requests.
class CParserOnlySQL final : public CNADriverSQL {
 public:
  CParserOnlySQL() : CNADriverSQL(nullptr, nullptr) {}
  ~CParserOnlySQL() override = default;
  CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription*, CNAError*) override {
    ++m_nStatementRequests;
    return nullptr;
  }
  int m_nStatementRequests = 0;
};

// A table c with columns a, b, x and two keys: ab (a, b) and the primary key
// id.
std::vector<StandInItemDecl> TableItems() {
  return {Decl(L"id", NA_IT_I4, 4, kPrimary, false), Decl(L"a", NA_IT_I4, 4),
          Decl(L"b", NA_IT_I4, 4), Decl(L"x", NA_IT_I4, 4),
          Decl(L"ab", NA_IT_BINAIRE, 8, kComposed | kDup, true, {L"a", L"b"}),
          Decl(L"xa", NA_IT_BINAIRE, 8, kComposed | kUnique, true, {L"x", L"a"})};
}

std::wstring Definition(const std::wstring& clauses) {
  return L"CREATE TABLE `c` (\n  `id` int(11) NOT NULL,\n  `a` int(11) DEFAULT NULL,\n"
         L"  `b` int(11) DEFAULT NULL,\n  PRIMARY KEY (`id`),\n" +
         clauses + L"\n) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4";
}

class LinkParser : public BoundValuesTest {
 protected:
  void SetUp() override {
    BoundValuesTest::SetUp();
    m_source = std::make_unique<StandInSource>(TableItems());
    ASSERT_NE(m_source->p, nullptr);
  }
  void TearDown() override {
    m_source.reset();
    BoundValuesTest::TearDown();
  }

  // The lines read from the text (flags as given), and the parser's answer.
  std::wstring Links(const std::wstring& definition, unsigned int nFlags = kDetailed,
                     int* pbResult = nullptr) {
    CXYStringConcat<wchar_t> clOut;
    const int bResult = m_sql._bExtraitLink_FromShowCreateTable(
        &clOut, definition.c_str(), L"c", nullptr, m_source->p, static_cast<int>(nFlags));
    if (pbResult != nullptr) *pbResult = bResult;
    return clOut.pszGet();
  }

  CParserOnlySQL m_sql;
  std::unique_ptr<StandInSource> m_source;
};

TEST_F(LinkParser, ATableWithoutForeignKeysGivesTheEmptyTextAndSucceeds) {
  int bResult = 0;
  EXPECT_EQ(Links(Definition(L"  KEY `k` (`a`)"), kDetailed, &bResult), L"");
  EXPECT_EQ(bResult, 1);
}

TEST_F(LinkParser, AOneColumnForeignKeyGivesAllNineFields) {
  const std::wstring def = Definition(
      L"  CONSTRAINT `fk1` FOREIGN KEY (`a`) REFERENCES `t2` (`id`) ON DELETE CASCADE");
  EXPECT_EQ(Links(def), L"fk1\tt2\tid\t0,N\tc\ta\t0,1\t2021\t2022");
}

TEST_F(LinkParser, WithoutTheDetailFlagNoLineIsWritten) {
  const std::wstring def = Definition(
      L"  CONSTRAINT `fk1` FOREIGN KEY (`a`) REFERENCES `t2` (`id`) ON DELETE CASCADE");
  for (unsigned int nFlags : {0x00u, 0x01u, 0x03u, 0x10u, 0x1Fu}) {
    int bResult = 0;
    EXPECT_EQ(Links(def, nFlags, &bResult), L"") << nFlags;
    EXPECT_EQ(bResult, 1);
  }
}

TEST_F(LinkParser, EveryRuleClauseGivesItsUpdateThenItsDeleteCode) {
  struct Case {
    const wchar_t* clause;
    const wchar_t* codes;  // update, delete
  } const cases[] = {
      {L"", L"2021\t2021"},
      {L" ON DELETE CASCADE", L"2021\t2022"},
      {L" ON UPDATE CASCADE", L"2022\t2021"},
      {L" ON UPDATE SET NULL", L"2023\t2021"},
      {L" ON DELETE SET NULL ON UPDATE CASCADE", L"2022\t2023"},
      {L" ON DELETE NO ACTION ON UPDATE NO ACTION", L"2020\t2020"},
      // The server leaves RESTRICT out, and InnoDB refuses SET DEFAULT;
      // written by hand they are read, and the clause after them too.
      {L" ON DELETE RESTRICT ON UPDATE CASCADE", L"2022\t2021"},
      {L" ON DELETE SET DEFAULT ON UPDATE SET NULL", L"2023\t2021"},
      {L" on delete cascade on update no action", L"2020\t2022"},
      {L"\tON\tDELETE\tCASCADE", L"2021\t2022"},
      {L" ON DELETE ANYTHING", L"2021\t2021"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "clause \"" << std::wstring(c.clause) << "\"");
    const std::wstring def =
        Definition(std::wstring(L"  CONSTRAINT `f` FOREIGN KEY (`a`) REFERENCES `t2` (`id`)") +
                   c.clause);
    EXPECT_EQ(Links(def), std::wstring(L"f\tt2\tid\t0,N\tc\ta\t0,1\t") + c.codes);
  }
}

TEST_F(LinkParser, AColumnGroupIsNamedByTheComposedKeyWithExactlyItsColumns) {
  struct Case {
    const wchar_t* columns;
    const wchar_t* shown;
  } const cases[] = {
      {L"`a`, `b`", L"ab"},
      {L"`A`,`B`", L"ab"},     // names compare without case
      {L"`x`, `a`", L"xa"},
      {L"`b`, `a`", L"b,a"},   // the order matters
      {L"`a`, `x`", L"a,x"},   // no key of these columns
      {L"`a`, `b`, `x`", L"a,b,x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "columns " << std::wstring(c.columns));
    const std::wstring def = Definition(std::wstring(L"  CONSTRAINT `f` FOREIGN KEY (") +
                                        c.columns + L") REFERENCES `t2` (`id`)");
    EXPECT_EQ(Links(def), std::wstring(L"f\tt2\tid\t0,N\tc\t") + c.shown + L"\t0,1\t2021\t2021");
  }
}

TEST_F(LinkParser, AReferencedColumnGroupWhoseTableCannotBeDescribedDropsOnlyItsLink) {
  const std::wstring def = Definition(
      L"  CONSTRAINT `f1` FOREIGN KEY (`a`, `b`) REFERENCES `t2` (`x`, `y`),\n"
      L"  CONSTRAINT `f2` FOREIGN KEY (`a`) REFERENCES `t2` (`id`)");
  EXPECT_EQ(Links(def), L"f2\tt2\tid\t0,N\tc\ta\t0,1\t2021\t2021");
}

TEST_F(LinkParser, LinesAreSeparatedByCarriageReturnLineFeed) {
  const std::wstring def = Definition(
      L"  CONSTRAINT `f1` FOREIGN KEY (`a`) REFERENCES `t2` (`id`) ON DELETE CASCADE,\n"
      L"  CONSTRAINT `f2` FOREIGN KEY (`b`) REFERENCES `t3` (`k`) ON UPDATE CASCADE");
  EXPECT_EQ(Links(def),
            L"f1\tt2\tid\t0,N\tc\ta\t0,1\t2021\t2022\r\n"
            L"f2\tt3\tk\t0,N\tc\tb\t0,1\t2022\t2021");
}

TEST_F(LinkParser, TheWordConstraintInsideQuotedTextNeitherEndsTheParseNorMakesALink) {
  const std::wstring real =
      L"  CONSTRAINT `f` FOREIGN KEY (`a`) REFERENCES `t2` (`id`) ON DELETE CASCADE";
  const std::wstring line = L"f\tt2\tid\t0,N\tc\ta\t0,1\t2021\t2022";
  struct Case {
    const char* name;
    std::wstring before;
  } const cases[] = {
      {"a comment holding the word", L"  `n` int COMMENT 'CONSTRAINT here',\n"},
      {"a comment holding a whole clause",
       L"  `n` int COMMENT 'CONSTRAINT `g` FOREIGN KEY (`a`) REFERENCES `t9` (`id`)',\n"},
      {"a comment with escaped quotes",
       L"  `n` int COMMENT 'it''s \\' CONSTRAINT `g` FOREIGN KEY (`a`) REFERENCES `t9` (`id`)',\n"},
      {"a column named CONSTRAINT", L"  `CONSTRAINT` int DEFAULT NULL,\n"},
      {"a CHECK constraint first", L"  CONSTRAINT `ch` CHECK (`CONSTRAINT` <> 5),\n"},
      {"a bare CONSTRAINT keyword", L"  CONSTRAINT CHECK (`b` > 0),\n"},
      {"the word in a default", L"  `n` varchar(20) DEFAULT 'x CONSTRAINT `y`',\n"},
      {"a longer word", L"  CONSTRAINTS `g` FOREIGN KEY (`a`) REFERENCES `t9` (`id`),\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Links(Definition(c.before + real)), line);
  }
}

TEST_F(LinkParser, AClauseOfAnotherShapeIsSkippedAndTheNextOneRead) {
  const std::wstring next = L"  CONSTRAINT `f` FOREIGN KEY (`a`) REFERENCES `t2` (`id`)";
  const std::wstring line = L"f\tt2\tid\t0,N\tc\ta\t0,1\t2021\t2021";
  const wchar_t* const broken[] = {
      L"  CONSTRAINT `g` UNIQUE (`a`),\n",
      L"  CONSTRAINT `g` FOREIGN (`a`) REFERENCES `t9` (`id`),\n",
      L"  CONSTRAINT `g` FOREIGN KEY `a` REFERENCES `t9` (`id`),\n",
      L"  CONSTRAINT `g` FOREIGN KEY (`a` `b`) REFERENCES `t9` (`id`),\n",
      L"  CONSTRAINT `g` FOREIGN KEY () REFERENCES `t9` (`id`),\n",
      L"  CONSTRAINT `g` FOREIGN KEY (`a`) REFERENCE `t9` (`id`),\n",
      L"  CONSTRAINT `g` FOREIGN KEY (`a`) REFERENCES t9 (`id`),\n",
      L"  CONSTRAINT `g` FOREIGN KEY (`a`) REFERENCES `t9` `id`,\n",
      L"  CONSTRAINT `g` FOREIGN KEY (`a`) REFERENCES `db`. (`id`),\n",
      L"  CONSTRAINT `g` FOREIGN KEYS (`a`) REFERENCES `t9` (`id`),\n",
  };
  for (const wchar_t* psz : broken) {
    SCOPED_TRACE(testing::Message() << std::wstring(psz));
    EXPECT_EQ(Links(Definition(psz + next)), line);
  }
}

TEST_F(LinkParser, NamesAreReadWithTheirDoubledBackQuotesAsOne) {
  const std::wstring def = Definition(
      L"  CONSTRAINT `f``5` FOREIGN KEY (`a``b`) REFERENCES `t``2` (`i``d`)");
  EXPECT_EQ(Links(def), L"f`5\tt`2\ti`d\t0,N\tc\ta`b\t0,1\t2021\t2021");
}

TEST_F(LinkParser, AReferenceToAnotherDatabaseShowsTheDatabaseAndTheTable) {
  const std::wstring def = Definition(
      L"  CONSTRAINT `f` FOREIGN KEY (`a`) REFERENCES `other`.`t2` (`id`) ON DELETE CASCADE");
  EXPECT_EQ(Links(def), L"f\tother.t2\tid\t0,N\tc\ta\t0,1\t2021\t2022");
  // Its table out of the description's reach, a column group keeps its link.
  const std::wstring group = Definition(
      L"  CONSTRAINT `g` FOREIGN KEY (`a`, `b`) REFERENCES `other`.`t2` (`x`, `y`)");
  EXPECT_EQ(Links(group), L"g\tother.t2\tx,y\t0,N\tc\tab\t0,1\t2021\t2021");
}

TEST_F(LinkParser, EveryCutOfADefinitionIsReadWithinItsEnd) {
  const std::wstring def = Definition(
      L"  `n` int COMMENT 'it''s',\n"
      L"  CONSTRAINT `f``1` FOREIGN KEY (`a`, `b`) REFERENCES `db`.`t2` (`id`) "
      L"ON DELETE SET NULL ON UPDATE NO ACTION");
  const std::wstring full = L"f`1\tdb.t2\tid\t0,N\tc\tab\t0,1\t2020\t2023";
  ASSERT_EQ(Links(def), full);
  for (size_t n = 0; n <= def.size(); ++n) {
    // A heap block of exactly the cut and its zero: a read past it is seen
    // by the address sanitizer.
    std::unique_ptr<wchar_t[]> p(new wchar_t[n + 1]);
    def.copy(p.get(), n);
    p[n] = 0;
    CXYStringConcat<wchar_t> clOut;
    ASSERT_EQ(m_sql._bExtraitLink_FromShowCreateTable(&clOut, p.get(), L"c", nullptr, m_source->p,
                                                      kDetailed),
              1);
    const std::wstring got = clOut.pszGet();
    // Before the referenced columns close there is no line; after, the line
    // with the rules read so far.
    if (!got.empty()) {
      EXPECT_EQ(got.substr(0, 26), full.substr(0, 26)) << n;
    }
    if (n == def.size()) {
      EXPECT_EQ(got, full);
    }
  }
}

TEST_F(LinkParser, WithoutADescriptionToBeHadTheParseFails) {
  CXYStringConcat<wchar_t> clOut;
  EXPECT_EQ(m_sql._bExtraitLink_FromShowCreateTable(&clOut, Definition(L"").c_str(), L"c",
                                                    nullptr, nullptr, kDetailed),
            0);
  EXPECT_EQ(std::wstring(clOut.pszGet()), L"");
}

TEST_F(LinkParser, TheComposedKeyNamingAnswersOneWhetherAKeyMatchedOrNot) {
  struct Case {
    const wchar_t* in;
    int n;
    const wchar_t* out;
  } const cases[] = {
      {L"a,b", 2, L"ab"}, {L"x,A", 2, L"xa"}, {L"a,b", 3, L"a,b"}, {L"a", 1, L"a"}, {L"", 0, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::wstring(c.in) << " " << c.n);
    CXYString<wchar_t> str(c.in);
    EXPECT_EQ(m_sql._bGetNomCleComposee(m_source->p, &str, c.n, L"c", nullptr), 1);
    EXPECT_EQ(std::wstring(str.pszGet()), c.out);
    str.ReleaseDynStr();
  }
  CXYString<wchar_t> str(L"a,b");
  EXPECT_EQ(m_sql._bGetNomCleComposee(nullptr, &str, 2, L"c", nullptr), 0);
  EXPECT_EQ(std::wstring(str.pszGet()), L"a,b");
  str.ReleaseDynStr();
}

TEST_F(LinkParser, AConnectionOfAnotherServerKindRunsNothingAndLeavesTheValue) {
  HostConnectionFake clHost;
  for (int nKind : {kServerKindNone, 1, 4, 6}) {
    SCOPED_TRACE(nKind);
    auto* pclConnection = new BackquoteConnection(&clHost, nKind);
    pclConnection->AddRef();
    CAny clValue;
    clValue.SetI4(7);
    EXPECT_EQ(m_sql.bGetLinkList(&clValue, pclConnection, L"c", m_source->p, kDetailed), 1);
    int n = 0;
    EXPECT_EQ(clValue.nGetINT(&n), 0);
    EXPECT_EQ(n, 7);
    pclConnection->nRelease();
  }
  EXPECT_EQ(m_sql.m_nStatementRequests, 0);
}

TEST_F(LinkParser, ADefinitionThatCannotBeRunFailsAndLeavesTheValue) {
  HostConnectionFake clHost;
  auto* pclConnection = new BackquoteConnection(&clHost, kServerKindMariaDB, 65001);
  pclConnection->AddRef();
  CAny clValue;
  clValue.SetI4(7);
  EXPECT_EQ(m_sql.bGetLinkList(&clValue, pclConnection, L"c", m_source->p, kDetailed), 0);
  EXPECT_EQ(m_sql.m_nStatementRequests, 1);
  int n = 0;
  EXPECT_EQ(clValue.nGetINT(&n), 0);
  EXPECT_EQ(n, 7);
  pclConnection->nRelease();
}

TEST(LinkLineWriter, WritesTablesWithTheirOwnersAndTheRulesOnlyWithTheDetailFlag) {
  using E = CNADriverSQL::eSQLForeignKeysRules;
  CXYStringConcat<wchar_t> clOut;
  EXPECT_EQ(CNADriverSQL::s_bConcatConstraint(&clOut, 0, L"", L"t1", L"a", L"", L"t2", L"id",
                                              CNADriverSQL::kRuleCascade,
                                              CNADriverSQL::kRuleNoAction),
            1);
  EXPECT_EQ(std::wstring(clOut.pszGet()), L"t1_t2\tt1\ta\t0,N\tt2\tid\t0,1");
  EXPECT_EQ(CNADriverSQL::s_bConcatConstraint(&clOut, kDetailed, L"o1", L"t1", L"a,b", nullptr,
                                              L"t2", L"k", CNADriverSQL::kRuleSetDefault,
                                              static_cast<E>(5)),
            1);
  EXPECT_EQ(std::wstring(clOut.pszGet()),
            L"t1_t2\tt1\ta\t0,N\tt2\tid\t0,1\r\n"
            L"o1.t1_t2\to1.t1\ta,b\t0,N\tt2\tk\t0,1\t2023\t");
  struct Case {
    E e;
    const wchar_t* code;
  } const codes[] = {{CNADriverSQL::kRuleCascade, L"2022"},   {CNADriverSQL::kRuleRestrict, L"2021"},
                     {CNADriverSQL::kRuleSetNull, L"2023"},   {CNADriverSQL::kRuleNoAction, L"2020"},
                     {CNADriverSQL::kRuleSetDefault, L"2023"}, {static_cast<E>(-1), L""}};
  for (const Case& c : codes) {
    CXYStringConcat<wchar_t> clLine;
    CNADriverSQL::s_bConcatConstraint(&clLine, kDetailed, nullptr, L"a", L"x", nullptr, L"b",
                                      L"y", c.e, c.e);
    EXPECT_EQ(std::wstring(clLine.pszGet()),
              std::wstring(L"a_b\ta\tx\t0,N\tb\ty\t0,1\t") + c.code + L"\t" + c.code)
        << static_cast<int>(c.e);
  }
}

TEST(LinkRuleWords, AreReadUpperCasedAndAnythingElseIsMinusOne) {
  struct Case {
    const wchar_t* text;
    int rule;
  } const cases[] = {{L"NO ACTION", 3}, {L"restrict", 1},  {L"Set Null", 2}, {L"SET DEFAULT", 4},
                     {L"cascade", 0},   {L"CASCADE ", -1}, {L"SET", -1},     {L"", -1},
                     {nullptr, -1}};
  for (const Case& c : cases) {
    auto e = static_cast<CNADriverSQL::eSQLForeignKeysRules>(99);
    EXPECT_EQ(CNADriverSQL::_bTextToeSQLForeignKeysRules(&e, c.text), 1);
    EXPECT_EQ(static_cast<int>(e), c.rule) << (c.text ? std::wstring(c.text) : L"(null)");
  }
}

}  // namespace
}  // namespace kqtest
