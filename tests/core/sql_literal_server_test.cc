// The escaped texts against the project's MariaDB server: SELECT '<escaped>'
// must give back the original text, in the default sql_mode and under
// NO_BACKSLASH_ESCAPES, in UTF-8 and in the double-byte character sets whose
// characters hold the byte 0x5C.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/codepage_conversion.h"
#include "core/mixed_width_concat.h"
#include "core/sql_escape.h"
#include "core/sql_literal.h"
#include "core/xmalloc.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/server_env.h"

namespace {

using kq230::test_support::ClientLibrary;
using kq230::test_support::MariadbServer;

class SqlLiteralServer : public ::testing::Test {
 protected:
  struct Closer {
    void operator()(MYSQL* mysql) const { library_->close(mysql); }
  };
  using Connection = std::unique_ptr<MYSQL, Closer>;

  // Loaded once: the library's global initialisation belongs to the process.
  static void SetUpTestSuite() {
    library_ = new ClientLibrary;
    if (library_->Load(&setup_error_))
      ReadMariadbServer(KQ_DEFAULT_MARIADB_ENV, &server_, &setup_error_);
  }
  static void TearDownTestSuite() {
    delete library_;
    library_ = nullptr;
    // Swapped, not assigned: an assigned empty text would keep its room, and
    // the program's leak balance counts it.
    MariadbServer none;
    std::swap(server_, none);
    std::string().swap(setup_error_);
  }

  void SetUp() override {
    ASSERT_EQ(setup_error_, "");
    mysql_.reset(library_->init(nullptr));
    ASSERT_NE(mysql_, nullptr);
    unsigned protocol = MYSQL_PROTOCOL_TCP;
    library_->options(mysql_.get(), MYSQL_OPT_PROTOCOL, &protocol);
    ASSERT_NE(library_->real_connect(mysql_.get(), server_.host.c_str(), server_.user.c_str(),
                                     server_.password.c_str(), server_.database.c_str(),
                                     server_.port, nullptr, 0),
              nullptr)
        << library_->error_of(mysql_.get());
  }

  // Runs a statement without result.
  void Run(const std::string& sql) {
    ASSERT_EQ(library_->real_query(mysql_.get(), sql.data(), sql.size()), 0)
        << sql << ": " << library_->error_of(mysql_.get());
  }

  void SetMode(bool bNoBackslashEscapes) {
    Run(bNoBackslashEscapes ? "SET SESSION sql_mode = 'NO_BACKSLASH_ESCAPES'"
                            : "SET SESSION sql_mode = DEFAULT");
  }

  // The one value of "SELECT <literal>", as bytes; an error as "<error ...>".
  std::string Select(const std::string& literal) {
    const std::string sql = "SELECT " + literal;
    if (library_->real_query(mysql_.get(), sql.data(), sql.size()) != 0)
      return "<error " + std::string(library_->error_of(mysql_.get())) + ">";
    MYSQL_RES* result = library_->store_result(mysql_.get());
    if (result == nullptr) return "<no result>";
    std::string value = "<no row>";
    if (library_->num_fields(result) != 1) value = "<more than one column>";
    else if (MYSQL_ROW row = library_->fetch_row(result))
      value = row[0] == nullptr ? "<NULL>" : std::string(row[0], library_->fetch_lengths(result)[0]);
    library_->free_result(result);
    return value;
  }

  static ClientLibrary* library_;
  static MariadbServer server_;
  static std::string setup_error_;
  Connection mysql_;
};

ClientLibrary* SqlLiteralServer::library_ = nullptr;
MariadbServer SqlLiteralServer::server_;
std::string SqlLiteralServer::setup_error_;

// Before main: see KeepClientLibraryForTheProgram.
[[maybe_unused]] const bool gbClientLibraryKept =
    kq230::test_support::KeepClientLibraryForTheProgram();

std::string Bytes(int nCodePage, const std::wstring& w) {
  if (w.empty()) return "";
  const int n = WideCharToMultiByte(static_cast<unsigned>(nCodePage), 0, w.data(),
                                    static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(static_cast<unsigned>(nCodePage), 0, w.data(), static_cast<int>(w.size()),
                      s.data(), n, nullptr, nullptr);
  return s;
}

// The literal of a wide text written by the mixed builder in wide mode, as
// the client library receives it (8-bit, in the code page word).
std::string WideLiteral(const std::wstring& text, int nCodePage, eSQLLITERALFORM eForm,
                        const char* pszIntroducer) {
  CTStringConcatAW sql(-2, nCodePage);
  AddSqlStringLiteral(sql, text.data(), static_cast<int>(text.size()), eForm, pszIntroducer);
  return sql.pszGetA();
}

std::string ByteLiteral(const std::string& text, int nCodePage, eSQLLITERALFORM eForm,
                        const char* pszIntroducer) {
  CXYStringConcat<char> out(64);
  AddSqlStringLiteral(out, text.data(), static_cast<int>(text.size()), nCodePage, eForm,
                      pszIntroducer);
  return std::string(out.pszGet(), out.nGetLength());
}

std::vector<std::wstring> Texts(unsigned seed, int nRandom) {
  std::vector<std::wstring> texts = {
      L"",
      L"it's",
      L"\\",
      L"\\'",
      L"\\\\'",
      L"'; DROP TABLE t; --",
      L"\\'; SELECT 1; --",
      L"50%_off\\%",
      std::wstring(L"nul\0inside", 10),
      L"caf\u00E9 \"quoted\" ''",
  };
  const wchar_t kAlphabet[] = {L'\'', L'\\', L'%', L'_', L'"', L'e', L'a', L'\u00E9', 0};
  std::mt19937 rng(seed);
  for (int k = 0; k < nRandom; ++k) {
    std::wstring s;
    for (size_t n = rng() % 20; n > 0; --n) s += kAlphabet[rng() % 9];
    texts.push_back(s);
  }
  return texts;
}

struct FormInMode {
  const char* name;
  eSQLLITERALFORM eForm;
  bool bNoBackslashEscapes;
};
const FormInMode kPromises[] = {
    {"backslash form, default mode", eSqlLiteralBackslash, false},
    {"doubled-quote form, NO_BACKSLASH_ESCAPES", eSqlLiteralDoubledQuote, true},
    {"any-mode form, default mode", eSqlLiteralAnyMode, false},
    {"any-mode form, NO_BACKSLASH_ESCAPES", eSqlLiteralAnyMode, true},
};

TEST_F(SqlLiteralServer, SelectingTheLiteralGivesBackTheTextInEachPromisedMode) {
  Run("SET NAMES utf8mb4");
  const std::vector<std::wstring> texts = Texts(41, 300);
  for (const auto& promise : kPromises) {
    SCOPED_TRACE(promise.name);
    SetMode(promise.bNoBackslashEscapes);
    for (const std::wstring& w : texts) {
      const std::string text = Bytes(65001, w);
      const std::string literal = WideLiteral(w, 65001, promise.eForm, "utf8mb4");
      ASSERT_EQ(Select(literal), text) << literal;
      ASSERT_EQ(ByteLiteral(text, 65001, promise.eForm, "utf8mb4"), literal);
    }
  }
}

TEST_F(SqlLiteralServer, TheAnyModeFormSurvivesAModeChangedAfterItWasWritten) {
  // The literal is written once, then the program changes sql_mode: the
  // any-mode form reads the same either way.
  Run("SET NAMES utf8mb4");
  for (const std::wstring& w : Texts(43, 100)) {
    const std::string literal = WideLiteral(w, 65001, eSqlLiteralAnyMode, "utf8mb4");
    SetMode(false);
    const std::string inDefault = Select(literal);
    SetMode(true);
    ASSERT_EQ(Select(literal), inDefault) << literal;
    ASSERT_EQ(inDefault, Bytes(65001, w)) << literal;
  }
}

TEST_F(SqlLiteralServer, EscapeAndVerrueBodiesReadBackInTheDefaultMode) {
  Run("SET NAMES utf8mb4");
  SetMode(false);
  for (const std::wstring& w : Texts(47, 300)) {
    const std::wstring terminated = w.c_str();  // these functions stop at a NUL
    const std::string text = Bytes(65001, terminated);
    wchar_t* p = pszEscape(terminated.c_str(), 1, 0, 1, 0, 0, 0, 0, 1, L'\\', L'\\');
    ASSERT_NE(p, nullptr);
    const std::string body = Bytes(65001, p);
    XMALLOC_Del_(p);
    ASSERT_EQ(Select("'" + body + "'"), text) << body;

    // The Verrue form: one literal whose value drops quote escaping and reads
    // each run of m backslashes as ceil(m / 2), as documented.
    wchar_t* v = pszVerrueEscapeMySQL(terminated.c_str(), L'\\');
    ASSERT_NE(v, nullptr);
    const std::string verrue = Bytes(65001, v);
    XMALLOC_Del_(v);
    std::string purged = text;
    PurgeQuote(purged.data(), 1, 65001);
    purged.resize(std::strlen(purged.c_str()));
    std::string expected;
    for (size_t i = 0; i < purged.size();) {
      size_t m = 0;
      while (i < purged.size() && purged[i] == '\\') ++m, ++i;
      expected.append((m + 1) / 2, '\\');
      if (i < purged.size()) expected += purged[i++];
    }
    ASSERT_EQ(Select("'" + verrue + "'"), expected) << verrue;
  }
}

TEST_F(SqlLiteralServer, ShiftJisCharactersHoldingTheByte5CStayWhole) {
  // «ソ» is 0x83 0x5C and «表» 0x95 0x5C; «¥» becomes 0x5C itself in glibc's
  // code page 932.
  Run("SET NAMES cp932");
  const std::vector<std::wstring> texts = {
      L"\u30BD", L"\u30BD'", L"\u8868\\", L"'\u8868'", L"\u00A5'; SELECT 1; --",
      L"\u30BD\u00A5\\'", std::wstring(L"\u30BD\0\u8868", 3)};
  for (const auto& promise : kPromises) {
    SCOPED_TRACE(promise.name);
    SetMode(promise.bNoBackslashEscapes);
    for (const std::wstring& w : texts) {
      const std::string text = Bytes(932, w);
      const std::string fromWide = WideLiteral(w, 932, promise.eForm, "cp932");
      EXPECT_EQ(Select(fromWide), text) << fromWide;
      const std::string fromBytes = ByteLiteral(text, 932, promise.eForm, "cp932");
      EXPECT_EQ(Select(fromBytes), text) << fromBytes;
    }
  }
  // Lead bytes without their second byte, as 8-bit text.
  for (const auto& promise : kPromises) {
    SCOPED_TRACE(promise.name);
    SetMode(promise.bNoBackslashEscapes);
    for (const std::string& text : {std::string("\x83'"), std::string("x\x83"),
                                    std::string("\x83'\x83\x5C'")}) {
      const std::string literal = ByteLiteral(text, 932, promise.eForm, nullptr);
      EXPECT_EQ(Select(literal), text) << literal;
    }
  }
  // The 8-bit escapers of the dialect, in the default mode.
  SetMode(false);
  for (const std::wstring& w : texts) {
    const std::string text = Bytes(932, std::wstring(w.c_str()));
    char* p = pszEscape(text.c_str(), 1, 0, 1, 0, 0, 0, 0, 1, '\'', '\\', 932);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Select(std::string("'") + p + "'"), text) << p;
    XMALLOC_Del_(p);
    char* v = pszVerrueEscapeMySQL(text.c_str(), L'\\', 932);
    ASSERT_NE(v, nullptr);
    const std::string verrue = Select(std::string("'") + v + "'");
    EXPECT_EQ(verrue.find("<error"), std::string::npos) << v;
    XMALLOC_Del_(v);
  }
}

TEST_F(SqlLiteralServer, Big5IsSplitAsTheServerSplitsIt) {
  // 0xA4 0x5C is one big5 character; 0x81 is no lead byte for the server's
  // big5 (though it is for Windows' 950), so 0x81 0x5C is a byte and a
  // backslash. Such bytes are no big5 text: the hexadecimal form goes without
  // introducer (a binary string), which the server does not check.
  Run("SET NAMES big5");
  // 0xA4 followed by a quote is a lead byte without its second byte: a
  // backslash written after it would complete it.
  const std::vector<std::string> texts = {"\xA4\x5C", "\xA4\x5C'", "\x81\x5C", "\x81\x5C'",
                                          "'\xA4\x5C\\'", "\xA4'", "a\xA4", "\xA4\\'"};
  for (const auto& promise : kPromises) {
    SCOPED_TRACE(promise.name);
    SetMode(promise.bNoBackslashEscapes);
    for (const std::string& text : texts) {
      const std::string literal = ByteLiteral(text, 950, promise.eForm, nullptr);
      EXPECT_EQ(Select(literal), text) << literal;
    }
  }
}

}  // namespace
