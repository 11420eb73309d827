// The data access's searches against the fixture's server, in process:
// exact and generic seeks on a unique item and on a nullable utf8mb4 item
// with duplicates and 4-byte characters, the found flag, the browse that
// goes on from a seek (next and previous) in the order the client library
// reads with the same ORDER BY, values with quotes, backslashes, NULs and
// trailing blanks in both readings of backslashes, cancelling a search,
// changing the browse's item on the current record, and composite key
// values built from their components. What the server finds is the
// reference: the expected rows are read by the client library with the
// value written as a hexadecimal literal.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "items/column.h"
#include "items/record.h"
#include "kq230/item_type.h"
#include "kq230/vm_values.h"
#include "mariadb/mysql_connection.h"
#include "mariadb/mysql_data_access.h"
#include "mariadb/mysql_driver.h"
#include "statements/statement.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/driver_server_fixture.h"
#include "tests/tables/data_access_browse_fixture.h"
#include "tests/mariadb/server_session.h"
#include "tests/support/standin_items.h"
#include "tests/support/utf8_reference.h"
#include "tests/values/bound_values.h"
#include "values/any.h"

namespace kqtest {
namespace {

[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

using namespace std::string_literals;

// kPrimary, kDuplicates and kNoLock: the browse fixture's.
constexpr unsigned short kComposed = 0x1000;

// A wide text value of the language (characters 0 kept).
CAny WideText(const std::wstring& text) {
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

// The text as an SQL literal both readings of backslashes read alike.
std::string Literal(const std::wstring& text) {
  const std::string bytes = Utf8(text);
  if (bytes.empty()) return "''";
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s = "_utf8mb4 X'";
  for (unsigned char c : bytes) {
    s += kDigits[c >> 4];
    s += kDigits[c & 15];
  }
  return s + "'";
}

// One row's place in a browse: its id, or -1 out of range, -2 failed; and
// whether it was found.
struct Place {
  long long id;
  int found;
  bool operator==(const Place&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Place& p) {
  return os << "{" << p.id << (p.found ? ", found}" : "}");
}

class DataAccessSearchTest : public DriverServerTest {
 protected:
  DataAccessSearchTest() : DriverServerTest(L"Connection=search") {
    // Tables of each test's own: CTest runs the tests of a program side by
    // side, each in a process of its own, on the one server.
    const ::testing::TestInfo* pInfo = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string strName = pInfo != nullptr ? pInfo->name() : "";
    char sz[32];
    std::snprintf(sz, sizeof sz, "kqse_%08zx", std::hash<std::string>{}(strName) & 0xFFFFFFFFu);
    m_people = sz;
    m_bag = m_people + "_bag";
    m_people_w.assign(m_people.begin(), m_people.end());
    m_bag_w.assign(m_bag.begin(), m_bag.end());
  }
  std::string m_people;
  std::string m_bag;
  std::wstring m_people_w;
  std::wstring m_bag_w;
  void TearDown() override {
    Close();
    DriverServerTest::TearDown();
  }
  void Close() {
    if (m_pclAccess != nullptr) {
      EXPECT_EQ(m_pclAccess->nRelease(), 0);
    }
    m_pclAccess = nullptr;
    if (m_piSource != nullptr) m_piSource->nExternalRelease();
    m_piSource = nullptr;
  }

  // kqse_people: id (primary), name (nullable utf8mb4 with duplicates, some
  // NULL, some 4-byte characters), city and n (the composite key ck).
  void MakePeople(int nRows) {
    CreateTable(m_people,
                "id INT NOT NULL PRIMARY KEY, name VARCHAR(20) CHARACTER SET utf8mb4 NULL, "
                "city VARCHAR(10) CHARACTER SET utf8mb4 NULL, n INT NOT NULL, KEY(name), "
                "KEY ck (city, n)");
    std::string sql = "INSERT INTO " + m_people + " VALUES ";
    for (int i = 1; i <= nRows; ++i) {
      if (i > 1) sql += ",";
      const std::string name = PeopleName(i);
      const std::string city = "'c" + std::to_string(i % 5) + "'";
      sql += "(" + std::to_string(i) + "," + name + "," + city + "," + std::to_string(i % 4) + ")";
    }
    ASSERT_TRUE(m_session.bRun(sql));
  }

  // Rows from id 1001 on with the values given as names.
  void AddNames(const std::vector<std::wstring>& names) {
    for (size_t i = 0; i < names.size(); ++i) {
      ASSERT_TRUE(m_session.bRun("INSERT INTO " + m_people + " VALUES (" + std::to_string(1001 + i) +
                                 "," + Literal(names[i]) + ",'h',0)"));
    }
  }

  void Open(long long llCacheSize) {
    Close();
    m_session.pclConnection()->SetCacheSize(llCacheSize);
    m_piSource = CStandInDescription::pclNew(
        m_people_w.c_str(),
        {Decl(L"id", NA_IT_I4, 4, kPrimary, false), Decl(L"name", NA_IT_UNICODE, 42, kDuplicates),
         Decl(L"city", NA_IT_UNICODE, 22, kDuplicates), Decl(L"n", NA_IT_I4, 4, 0, false),
         Decl(L"ck", NA_IT_BINAIRE, 24, kComposed | kDuplicates, true, {L"city", L"n"})},
        12);
    m_pclAccess = static_cast<CNADataAccess*>(
        m_pclDriver->pclAllocDataAccess(m_piSource, m_session.pclConnection(), m_pclError));
    m_pclAccess->AddRef();
    m_pclError->Reset();
    ASSERT_EQ(m_pclAccess->bHOuvre(static_cast<_eNA_ACCESS>(0), m_people_w.c_str()), 1) << Dump();
  }

  std::string Dump() const { return Utf8(m_pclError->StringDump().pszGet()); }

  // Where the data access stands after a read of the item.
  Place Here(const wchar_t* pszItem) {
    int bOut = 1;
    m_pclAccess->bHEndehors(pszItem, &bOut);
    if (bOut) return {-1, 0};
    int bFound = 0, bEvaluated = 0;
    m_pclAccess->bEvalHTrouve(pszItem, &bFound, &bEvaluated);
    CAny clId;
    m_pclAccess->pclGetRecordNoRef()->pclGetColumnNoRef(L"id")->bGetCurrentValue(&clId, 0);
    return {std::stoll(ValueText(clId)), bFound};
  }

  Place Seek(const wchar_t* pszItem, const CAny& value, bool bGeneric) {
    m_pclError->Reset();
    eNA_LOCKTYPE eOut = NA_LOCK_DEFAULT;
    if (!m_pclAccess->bHRecherche(pszItem, &value, bGeneric ? 1 : 0, 0, kNoLock, &eOut, 1, 0)) {
      ADD_FAILURE() << "seek failed: " << Dump();
      return {-2, 0};
    }
    return Here(pszItem);
  }

  Place Read(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection) {
    m_pclError->Reset();
    eNA_LOCKTYPE eOut = NA_LOCK_DEFAULT;
    if (!m_pclAccess->bHLitxxx(pszItem, eDirection, 1, kNoLock, &eOut, 0)) {
      ADD_FAILURE() << "read failed: " << Dump();
      return {-2, 0};
    }
    return Here(pszItem);
  }

  // Reads on in one direction until out of range (at most nMax rows).
  std::vector<Place> ReadOn(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection, Place first,
                            size_t nMax = 2000) {
    std::vector<Place> seen;
    for (Place p = first; p.id >= 0 && seen.size() < nMax; p = Read(pszItem, eDirection))
      seen.push_back(p);
    return seen;
  }

  std::vector<long long> Ids(const std::string& sql) {
    std::vector<long long> ids;
    for (const std::string& s : m_session.FirstCells(sql)) ids.push_back(std::stoll(s));
    return ids;
  }

  // The browse of the item in the client's order, each row marked found
  // when the server's condition holds for it.
  std::vector<Place> Expected(const std::string& orderBy, const std::string& cond) {
    const std::vector<long long> all = Ids("SELECT id FROM " + m_people + " ORDER BY " + orderBy);
    const std::vector<long long> hits =
        Ids("SELECT id FROM " + m_people + " WHERE " + cond + " ORDER BY " + orderBy);
    std::vector<Place> places;
    for (long long id : all)
      places.push_back({id, std::find(hits.begin(), hits.end(), id) != hits.end() ? 1 : 0});
    return places;
  }

  // Where a seek lands in that browse: the first row found, else the first
  // row after the value (after: the server's condition for "after").
  size_t Landing(const std::vector<Place>& places, const std::string& orderBy,
                 const std::string& after) {
    for (size_t i = 0; i < places.size(); ++i)
      if (places[i].found) return i;
    const std::vector<long long> next =
        Ids("SELECT id FROM " + m_people + " WHERE " + after + " ORDER BY " + orderBy + " LIMIT 1");
    if (next.empty()) return places.size();
    for (size_t i = 0; i < places.size(); ++i)
      if (places[i].id == next[0]) return i;
    return places.size();
  }

  INADataSourceDescription* m_piSource = nullptr;
  CNADataAccess* m_pclAccess = nullptr;
};

// One seek and the server's reading of it.
struct SeekCase {
  const char* name;
  const wchar_t* item;
  const char* orderBy;
  bool generic;
  std::wstring text;  // searched on name; on id: the number
  int number;
};

// A text that ends with a character 0 is sought exactly even when generic:
// the 0 ends the value the program means.
bool bGenericPrefix(const SeekCase& c) {
  return c.generic && !(!c.text.empty() && c.text.back() == L'\0');
}

std::string Condition(const SeekCase& c) {
  if (std::wstring(c.item) == L"id") return "id = " + std::to_string(c.number);
  // "!" escapes the pattern (no value here holds "!", "%" or "_"): a
  // backslash is then a plain character in both modes.
  if (bGenericPrefix(c)) return "name LIKE CONCAT(" + Literal(c.text) + ", '%') ESCAPE '!'";
  return "name = " + Literal(c.text);
}

std::string After(const SeekCase& c) {
  if (std::wstring(c.item) == L"id") return "id > " + std::to_string(c.number);
  if (bGenericPrefix(c))
    return "name > " + Literal(c.text) + " AND name NOT LIKE CONCAT(" + Literal(c.text) +
           ", '%') ESCAPE '!'";
  return "name > " + Literal(c.text);
}

CAny SeekValue(const SeekCase& c) {
  return std::wstring(c.item) == L"id" ? Int(c.number) : WideText(c.text);
}

const SeekCase kSeekCases[] = {
    {"unique item, found", L"id", "id", false, L"", 37},
    {"unique item, generic, found", L"id", "id", true, L"", 12},
    {"unique item, between two rows", L"id", "id", false, L"", 1000},
    {"unique item, past the last row", L"id", "id", false, L"", 5000},
    {"duplicates, exact", L"name", "name, id", false, L"n5", 0},
    {"duplicates, generic", L"name", "name, id", true, L"n1", 0},
    {"duplicates, exact, nothing equal", L"name", "name, id", false, L"n10a", 0},
    {"duplicates, generic, nothing begins so", L"name", "name, id", true, L"n0z", 0},
    {"4-byte characters, exact", L"name", "name, id", false, L"\U0001F600" L"3", 0},
    {"4-byte characters, generic", L"name", "name, id", true, L"\U0001F600", 0},
    {"past every name", L"name", "name, id", true, L"zz", 0},
    {"generic, the empty text", L"name", "name, id", true, L"", 0},
};

const long long kCacheSizes[] = {5, -1};

TEST_F(DataAccessSearchTest, ASeekReadsOnInTheItemsOrderFoundOnlyOnTheSearchedRows) {
  MakePeople(150);
  for (long long llCache : kCacheSizes) {
    Open(llCache);
    for (const SeekCase& c : kSeekCases) {
      SCOPED_TRACE(std::string(c.name) + ", cache " + std::to_string(llCache));
      const std::vector<Place> all = Expected(c.orderBy, Condition(c));
      const size_t nAt = Landing(all, c.orderBy, After(c));
      const std::vector<Place> expected(all.begin() + static_cast<long>(nAt), all.end());
      const Place first = Seek(c.item, SeekValue(c), c.generic);
      EXPECT_EQ(ReadOn(c.item, NA_PARSE_NEXT, first), expected);
    }
  }
}

TEST_F(DataAccessSearchTest, PreviousAfterASeekReadsTheRowsBeforeTheLandingInReverseOrder) {
  MakePeople(150);
  for (long long llCache : kCacheSizes) {
    Open(llCache);
    for (const SeekCase& c : kSeekCases) {
      SCOPED_TRACE(std::string(c.name) + ", cache " + std::to_string(llCache));
      const std::vector<Place> all = Expected(c.orderBy, Condition(c));
      const size_t nAt = Landing(all, c.orderBy, After(c));
      if (nAt >= all.size()) continue;  // out of range: nothing to go back from
      std::vector<Place> expected(all.begin(), all.begin() + static_cast<long>(nAt) + 1);
      std::reverse(expected.begin(), expected.end());
      const Place first = Seek(c.item, SeekValue(c), c.generic);
      EXPECT_EQ(ReadOn(c.item, NA_PARSE_PREVIOUS, first), expected);
    }
  }
}

TEST_F(DataAccessSearchTest, NextAndPreviousMixedFromASeekFollowTheItemsOrderAcrossItsParts) {
  MakePeople(120);
  for (long long llCache : kCacheSizes) {
    Open(llCache);
    std::mt19937 rng(5);
    for (const SeekCase& c : kSeekCases) {
      SCOPED_TRACE(std::string(c.name) + ", cache " + std::to_string(llCache));
      const std::vector<Place> all = Expected(c.orderBy, Condition(c));
      const long long nAt = static_cast<long long>(Landing(all, c.orderBy, After(c)));
      if (nAt >= static_cast<long long>(all.size())) continue;
      ASSERT_EQ(Seek(c.item, SeekValue(c), c.generic), all[static_cast<size_t>(nAt)]);
      long long at = nAt;
      for (int i = 0; i < 120; ++i) {
        const bool next = (rng() % 2) != 0;
        if (next ? at + 1 >= static_cast<long long>(all.size()) : at == 0) continue;
        at += next ? 1 : -1;
        ASSERT_EQ(Read(c.item, next ? NA_PARSE_NEXT : NA_PARSE_PREVIOUS),
                  all[static_cast<size_t>(at)])
            << "move " << i << (next ? " next" : " previous");
      }
    }
  }
}

TEST_F(DataAccessSearchTest, TheFoundFlagTellsAFoundRowFromTheNextOneAndOutOfRange) {
  MakePeople(40);
  Open(5);
  EXPECT_EQ(Seek(L"id", Int(7), false), (Place{7, 1}));
  // Ids are 1 to 40: nothing after 41.
  EXPECT_EQ(Seek(L"id", Int(41), false), (Place{-1, 0}));
  ASSERT_TRUE(m_session.bRun("DELETE FROM " + m_people + " WHERE id = 8"));
  EXPECT_EQ(Seek(L"id", Int(8), false), (Place{9, 0}));
  // A first read drops the search: every row is found again.
  EXPECT_EQ(Read(L"id", NA_PARSE_FIRST), (Place{1, 1}));
  EXPECT_EQ(Read(L"id", NA_PARSE_NEXT), (Place{2, 1}));
}

// Values that break SQL writers: each is sought exact and generic on the
// Unicode item in both readings of backslashes; the rows found are exactly
// those the server finds equal to (or beginning with) the value.
TEST_F(DataAccessSearchTest, HostileValuesFindExactlyTheServersRowsInBothBackslashModes) {
  const std::vector<std::wstring> hostile = {
      L"'",          L"\\",          L"\\'",       L"'\\",         L"a\\'b",       L"O'Brien",
      L"x\\",        L"x",           L"x ",        L"x  ",         L"a",           L"a\0b"s,
      L"\0"s,        L"\U0001F600",  L"\U0001F600'", L"'\U0001F600\\", L"-- x",     L"\"q\"",
      L"a\0"s,       L" x",
  };
  MakePeople(30);
  AddNames(hostile);
  Open(5);
  for (const char* mode : {"DEFAULT", "'NO_BACKSLASH_ESCAPES'"}) {
    ASSERT_TRUE(m_session.bRun(std::string("SET SESSION sql_mode = ") + mode));
    for (const std::wstring& text : hostile) {
      for (bool bGeneric : {false, true}) {
        const SeekCase c{"hostile", L"name", "name, id", bGeneric, text, 0};
        SCOPED_TRACE(Utf8(text) + (bGeneric ? " generic" : " exact") + " in " + mode);
        const std::vector<Place> all = Expected(c.orderBy, Condition(c));
        ASSERT_TRUE(std::any_of(all.begin(), all.end(), [](const Place& p) { return p.found; }))
            << "every value is a row's name";
        // The rows found, then the browse past them: the continuation's
        // condition holds the value too.
        const size_t nAt = Landing(all, c.orderBy, After(c));
        const std::vector<Place> expected(all.begin() + static_cast<long>(nAt), all.end());
        EXPECT_EQ(ReadOn(L"name", NA_PARSE_NEXT, Seek(L"name", WideText(text), bGeneric)),
                  expected);
      }
    }
    EXPECT_EQ(Ids("SELECT COUNT(*) FROM " + m_people), std::vector<long long>{30 + 20});
  }
  ASSERT_TRUE(m_session.bRun("SET SESSION sql_mode = DEFAULT"));
}

TEST_F(DataAccessSearchTest, CancellingTheSearchKeepsTheRowAndBrowsesEveryRowOfTheItem) {
  MakePeople(100);
  for (long long llCache : kCacheSizes) {
    SCOPED_TRACE(llCache);
    Open(llCache);
    const std::vector<long long> all = Ids("SELECT id FROM " + m_people + " ORDER BY name, id");
    const Place first = Seek(L"name", WideText(L"n5"), false);
    ASSERT_EQ(first.found, 1);
    const Place second = Read(L"name", NA_PARSE_NEXT);
    ASSERT_EQ(second.found, 1);
    m_pclError->Reset();
    ASSERT_EQ(m_pclAccess->bHAnnuleRecherche(L"name"), 1) << Dump();
    EXPECT_EQ(Here(L"name").id, second.id);
    // Every row after it, each found: no search is left.
    const size_t nAt = static_cast<size_t>(
        std::find(all.begin(), all.end(), second.id) - all.begin());
    std::vector<Place> expected;
    for (size_t i = nAt + 1; i < all.size(); ++i) expected.push_back({all[i], 1});
    EXPECT_EQ(ReadOn(L"name", NA_PARSE_NEXT, Read(L"name", NA_PARSE_NEXT)), expected);
    // And back from the end over the rows before the search too.
    std::vector<Place> back;
    for (size_t i = all.size(); i-- > 0;) back.push_back({all[i], 1});
    EXPECT_EQ(ReadOn(L"name", NA_PARSE_PREVIOUS, Read(L"name", NA_PARSE_LAST)), back);
  }
}

// Without a key that tells rows apart the browse cannot be rebuilt from its
// row: cancelling keeps the rows read so far and counts every row as found,
// the browse still going on past the searched ones.
TEST_F(DataAccessSearchTest, CancellingOnATableWithoutUniqueKeyCountsEveryRowAsFound) {
  CreateTable(m_bag, "name VARCHAR(10) CHARACTER SET utf8mb4 NULL, n INT, KEY(name)");
  ASSERT_TRUE(m_session.bRun(
      "INSERT INTO " + m_bag + " VALUES ('a',1),('b',2),('b',3),('c',4),('c',5),('d',6),(NULL,7)"));
  m_piSource = CStandInDescription::pclNew(
      m_bag_w.c_str(), {Decl(L"name", NA_IT_UNICODE, 22, kDuplicates), Decl(L"n", NA_IT_I4, 4)}, 12);
  m_pclAccess = static_cast<CNADataAccess*>(
      m_pclDriver->pclAllocDataAccess(m_piSource, m_session.pclConnection(), m_pclError));
  m_pclAccess->AddRef();
  ASSERT_EQ(m_pclAccess->bHOuvre(static_cast<_eNA_ACCESS>(0), m_bag_w.c_str()), 1) << Dump();
  auto Name = [this]() {
    CAny v;
    m_pclAccess->pclGetRecordNoRef()->pclGetColumnNoRef(L"name")->bGetCurrentValue(&v, 0);
    return ValueText(v);
  };
  eNA_LOCKTYPE eOut = NA_LOCK_DEFAULT;
  const CAny b = WideText(L"b");
  ASSERT_EQ(m_pclAccess->bHRecherche(L"name", &b, 0, 0, kNoLock, &eOut, 1, 0), 1) << Dump();
  ASSERT_EQ(Name(), "b");
  ASSERT_EQ(m_pclAccess->bHAnnuleRecherche(L"name"), 1) << Dump();
  std::vector<std::string> names;
  std::vector<int> found;
  for (;;) {
    ASSERT_EQ(m_pclAccess->bHLitxxx(L"name", NA_PARSE_NEXT, 1, kNoLock, &eOut, 0), 1) << Dump();
    int bOut = 1, bFound = 0, bEvaluated = 0;
    m_pclAccess->bHEndehors(L"name", &bOut);
    if (bOut) break;
    m_pclAccess->bEvalHTrouve(L"name", &bFound, &bEvaluated);
    names.push_back(Name());
    found.push_back(bFound);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"b", "c", "c", "d"}));
  EXPECT_EQ(found, (std::vector<int>{1, 1, 1, 1}));
}

TEST_F(DataAccessSearchTest, ChangingTheKeyGoesOnFromTheCurrentRecordInTheNewItemsOrder) {
  MakePeople(90);
  for (long long llCache : kCacheSizes) {
    SCOPED_TRACE(llCache);
    Open(llCache);
    const std::vector<long long> byName = Ids("SELECT id FROM " + m_people + " ORDER BY name, id");
    const std::vector<long long> byId = Ids("SELECT id FROM " + m_people + " ORDER BY id");
    auto After = [](const std::vector<long long>& v, long long id) {
      const auto it = std::find(v.begin(), v.end(), id);
      return it + 1 == v.end() ? -1 : *(it + 1);
    };
    auto Before = [](const std::vector<long long>& v, long long id) {
      const auto it = std::find(v.begin(), v.end(), id);
      return it == v.begin() ? -1 : *(it - 1);
    };
    for (long long id : {1LL, 23LL, 44LL, 66LL, 90LL}) {
      SCOPED_TRACE(id);
      // On id: change to name, next and previous in the name's order.
      ASSERT_EQ(Seek(L"id", Int(static_cast<int>(id)), false).id, id);
      m_pclError->Reset();
      ASSERT_EQ(m_pclAccess->bHChangeCle(L"name", 0), 1) << Dump();
      EXPECT_EQ(Here(L"name").id, id);
      EXPECT_EQ(Read(L"name", NA_PARSE_NEXT).id, After(byName, id));
      ASSERT_EQ(Seek(L"id", Int(static_cast<int>(id)), false).id, id);
      ASSERT_EQ(m_pclAccess->bHChangeCle(L"name", 0), 1) << Dump();
      EXPECT_EQ(Read(L"name", NA_PARSE_PREVIOUS).id, Before(byName, id));
      // On name: change back to id.
      ASSERT_EQ(m_pclAccess->bHChangeCle(L"id", 0), 1) << Dump();
      const long long back = Before(byName, id);
      if (back >= 0) {
        EXPECT_EQ(Read(L"id", NA_PARSE_NEXT).id, After(byId, back));
      }
    }
  }
}

TEST_F(DataAccessSearchTest, ACompositeKeyValueBuiltFromItsComponentsIsSoughtExactAndGeneric) {
  MakePeople(60);
  for (long long llCache : kCacheSizes) {
    SCOPED_TRACE(llCache);
    Open(llCache);
    const std::string orderBy = "city, n, id";
    // Both components: exact.
    CAny city = WideText(L"c3"), n = Int(2);
    CAny* values[] = {&city, &n};
    CAny key;
    m_pclError->Reset();
    ASSERT_EQ(m_pclAccess->bHConstruitValCle(&key, L"ck", 2, values), 1) << Dump();
    EXPECT_EQ(key.nGetTypeCode(), VX_BIN);
    std::vector<Place> found;
    for (long long id : Ids("SELECT id FROM " + m_people + " WHERE city = 'c3' AND n = 2 ORDER BY " +
                            orderBy))
      found.push_back({id, 1});
    ASSERT_FALSE(found.empty());
    std::vector<Place> seen;
    for (Place p = Seek(L"ck", key, false); p.id >= 0 && p.found; p = Read(L"ck", NA_PARSE_NEXT))
      seen.push_back(p);
    EXPECT_EQ(seen, found);
    // The first component alone: generic, every n of that city. Building
    // the value leaves the record as it was.
    CAny cityOnly = WideText(L"c1");
    CAny* prefix[] = {&cityOnly};
    const Place before = Here(L"ck");
    ASSERT_EQ(m_pclAccess->bHConstruitValCle(&key, L"ck", 1, prefix), 1) << Dump();
    EXPECT_EQ(Here(L"ck"), before);
    found.clear();
    for (long long id : Ids("SELECT id FROM " + m_people + " WHERE city = 'c1' ORDER BY " + orderBy))
      found.push_back({id, 1});
    seen.clear();
    for (Place p = Seek(L"ck", key, true); p.id >= 0 && p.found; p = Read(L"ck", NA_PARSE_NEXT))
      seen.push_back(p);
    EXPECT_EQ(seen, found);
    // A plain item's key value is the value itself.
    CAny id = Int(42);
    CAny* one[] = {&id};
    ASSERT_EQ(m_pclAccess->bHConstruitValCle(&key, L"id", 1, one), 1) << Dump();
    EXPECT_EQ(Seek(L"id", key, false), (Place{42, 1}));
  }
}

TEST_F(DataAccessSearchTest, BadInputIsATypedErrorAndLeavesTheBrowseUsable) {
  MakePeople(20);
  Open(5);
  eNA_LOCKTYPE eOut = NA_LOCK_DEFAULT;
  const CAny seven = Int(7);
  struct ErrorCase {
    const char* name;
    const wchar_t* item;
    unsigned int code;
  };
  for (const ErrorCase& c : {ErrorCase{"unknown item", L"nope", CNAStatement::kErrUnknownItem},
                             ErrorCase{"no item", L"", CNAStatement::kErrUnknownItem}}) {
    SCOPED_TRACE(c.name);
    m_pclError->Reset();
    EXPECT_EQ(m_pclAccess->bHRecherche(c.item, &seven, 0, 0, kNoLock, &eOut, 1, 0), 0);
    EXPECT_EQ(m_pclError->dwGetErrorId(), c.code) << Dump();
    m_pclError->Reset();
    EXPECT_EQ(m_pclAccess->bHChangeCle(c.item, 0), 0);
    EXPECT_EQ(m_pclError->dwGetErrorId(), c.code) << Dump();
    m_pclError->Reset();
    CAny key;
    CAny* values[] = {&key};
    EXPECT_EQ(m_pclAccess->bHConstruitValCle(&key, c.item, 1, values), 0);
    EXPECT_EQ(m_pclError->dwGetErrorId(), c.code) << Dump();
  }
  m_pclError->Reset();
  EXPECT_EQ(m_pclAccess->bHAnnuleRecherche(L"nope"), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), CNAStatement::kErrUnknownItem) << Dump();
  // A text the integer item cannot hold: the search's conversion error
  // (user error 53), never a search of every row.
  m_pclError->Reset();
  const CAny text = WideText(L"abc");
  EXPECT_EQ(m_pclAccess->bHRecherche(L"id", &text, 0, 0, kNoLock, &eOut, 1, 0), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), 53u) << Dump();
  // The browse still reads.
  EXPECT_EQ(Read(L"id", NA_PARSE_FIRST), (Place{1, 1}));
  EXPECT_EQ(Seek(L"id", Int(3), false), (Place{3, 1}));

  // Closed: error 19 for each.
  ASSERT_EQ(m_pclAccess->bHFerme(), 1);
  m_pclError->Reset();
  EXPECT_EQ(m_pclAccess->bHRecherche(L"id", &seven, 0, 0, kNoLock, &eOut, 1, 0), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), CNADataAccess::kErrNotOpened);
  m_pclError->Reset();
  EXPECT_EQ(m_pclAccess->bHAnnuleRecherche(L"id"), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), CNADataAccess::kErrNotOpened);
  m_pclError->Reset();
  EXPECT_EQ(m_pclAccess->bHChangeCle(L"id", 0), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), CNADataAccess::kErrNotOpened);
  m_pclError->Reset();
  CAny key;
  CAny* values[] = {&key};
  EXPECT_EQ(m_pclAccess->bHConstruitValCle(&key, L"ck", 1, values), 0);
  EXPECT_EQ(m_pclError->dwGetErrorId(), CNADataAccess::kErrNotOpened);
}

}  // namespace
}  // namespace kqtest
