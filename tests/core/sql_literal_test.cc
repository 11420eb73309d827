// The string-literal writer: each form read back by the server's rules
// (tests/core/mariadb_literal_lexer.h) in the modes it is meant for, texts
// with every character that matters to a literal, zeros included, and code
// pages whose characters hold the byte 0x5C.
#include "core/sql_literal.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/codepage_conversion.h"
#include "tests/core/mariadb_literal_lexer.h"

namespace {

using kqtest::LexCharset;
using kqtest::LexOneLiteral;

std::string Utf8(const std::wstring& w) {
  std::string s;
  for (wchar_t wc : w) {
    const auto c = static_cast<unsigned int>(wc);
    if (c < 0x80) {
      s += static_cast<char>(c);
    } else if (c < 0x800) {
      s += static_cast<char>(0xC0 | (c >> 6));
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      s += static_cast<char>(0xE0 | (c >> 12));
      s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return s;
}

std::string In(int nCodePage, const std::wstring& w) {
  if (w.empty()) return "";
  const int n = WideCharToMultiByte(static_cast<unsigned>(nCodePage), 0, w.data(),
                                    static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(static_cast<unsigned>(nCodePage), 0, w.data(), static_cast<int>(w.size()),
                      s.data(), n, nullptr, nullptr);
  return s;
}

std::string Literal(const std::string& text, int nCodePage, eSQLLITERALFORM eForm,
                    const char* pszIntroducer = nullptr) {
  CXYStringConcat<char> out(16);
  EXPECT_EQ(AddSqlStringLiteral(out, text.data(), static_cast<int>(text.size()), nCodePage, eForm,
                                pszIntroducer),
            1);
  return std::string(out.pszGet(), out.nGetLength());
}

std::wstring Literal(const std::wstring& text, int nCodePage, eSQLLITERALFORM eForm,
                     const char* pszIntroducer = nullptr) {
  CXYStringConcat<wchar_t> out(16);
  EXPECT_EQ(AddSqlStringLiteral(out, text.data(), static_cast<int>(text.size()), nCodePage, eForm,
                                pszIntroducer),
            1);
  return std::wstring(out.pszGet(), out.nGetLength());
}

std::vector<std::wstring> RandomTexts(unsigned seed, int nCount) {
  const wchar_t kAlphabet[] = {L'\'', L'\\', L'%', L'_', L'"', L'e', L'a', L'\u00E9', 0};
  std::mt19937 rng(seed);
  std::vector<std::wstring> texts;
  for (int k = 0; k < nCount; ++k) {
    std::wstring s;
    const size_t n = rng() % 24;
    for (size_t i = 0; i < n; ++i) s += kAlphabet[rng() % 9];
    texts.push_back(s);
  }
  return texts;
}

struct FormInMode {
  const char* name;
  eSQLLITERALFORM eForm;
  bool bBackslashEscapes;
};
// Every form in every mode it promises to be right in.
const FormInMode kPromises[] = {
    {"backslash form, default mode", eSqlLiteralBackslash, true},
    {"doubled-quote form, NO_BACKSLASH_ESCAPES", eSqlLiteralDoubledQuote, false},
    {"any-mode form, default mode", eSqlLiteralAnyMode, true},
    {"any-mode form, NO_BACKSLASH_ESCAPES", eSqlLiteralAnyMode, false},
};

TEST(SqlLiteral, EachFormLexesAsOneLiteralHoldingTheTextInTheModesItPromises) {
  for (const auto& promise : kPromises) {
    SCOPED_TRACE(promise.name);
    for (const std::wstring& w : RandomTexts(29, 20000)) {
      const std::string text = Utf8(w);
      // Wide text sent in UTF-8, and the same text as 8-bit UTF-8.
      const std::string fromWide = Utf8(Literal(w, 65001, promise.eForm, "utf8mb4"));
      const std::string fromBytes = Literal(text, 65001, promise.eForm, "utf8mb4");
      EXPECT_EQ(fromWide, fromBytes);
      const auto lexed = LexOneLiteral(fromBytes, promise.bBackslashEscapes, LexCharset::kUtf8);
      ASSERT_TRUE(lexed.bOk) << testing::PrintToString(text) << " -> " << fromBytes << ": "
                             << lexed.error;
      ASSERT_EQ(lexed.value, text) << fromBytes;
    }
  }
}

TEST(SqlLiteral, TheSingleModeFormsAreWrongInTheOtherMode) {
  // Why the any-mode form exists: a text holding «\'» read in the wrong mode.
  const std::string text = R"(\'; DROP TABLE t; --)";
  const std::string backslash = Literal(text, 65001, eSqlLiteralBackslash);
  EXPECT_FALSE(LexOneLiteral(backslash, false, LexCharset::kUtf8).bOk) << backslash;
  const std::string doubled = Literal(text, 65001, eSqlLiteralDoubledQuote);
  EXPECT_FALSE(LexOneLiteral(doubled, true, LexCharset::kUtf8).bOk) << doubled;
}

TEST(SqlLiteral, WritesTheDocumentedForms) {
  struct Case {
    const char* name;
    std::string text;
    eSQLLITERALFORM eForm;
    const char* pszIntroducer;
    std::string expected;
  };
  const Case cases[] = {
      {"backslash form", std::string("it's a\\b\0c", 10), eSqlLiteralBackslash, nullptr,
       R"('it\'s a\\b\0c')"},
      {"doubled-quote form", "it's a\\b", eSqlLiteralDoubledQuote, nullptr, R"('it''s a\b')"},
      {"any mode without backslash", "it's", eSqlLiteralAnyMode, "utf8mb4", R"('it''s')"},
      {"any mode with backslash", "a\\'", eSqlLiteralAnyMode, "utf8mb4", "_utf8mb4 X'615C27'"},
      {"any mode with a zero, no introducer", std::string("a\0", 2), eSqlLiteralAnyMode, nullptr,
       "X'6100'"},
      {"empty text", "", eSqlLiteralAnyMode, "utf8mb4", "''"},
      {"empty text, backslash form", "", eSqlLiteralBackslash, nullptr, "''"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Literal(c.text, 65001, c.eForm, c.pszIntroducer), c.expected);
  }
}

TEST(SqlLiteral, ShiftJisTextIsEscapedAsTheServerSplitsIt) {
  // «ソ'» is 0x83 0x5C 0x27: the 0x5C belongs to the character, the quote
  // stands alone.
  const std::string text = "\x83\x5C'\x83\x5C";
  EXPECT_EQ(Literal(text, 932, eSqlLiteralBackslash), "'\x83\x5C\\'\x83\x5C'");
  EXPECT_EQ(Literal(text, 932, eSqlLiteralDoubledQuote), "'\x83\x5C''\x83\x5C'");
  // The any-mode form does not trust the split: any byte 0x5C makes it hex.
  EXPECT_EQ(Literal(text, 932, eSqlLiteralAnyMode, "cp932"), "_cp932 X'835C27835C'");
  for (const auto& promise : kPromises) {
    SCOPED_TRACE(promise.name);
    const std::string literal = Literal(text, 932, promise.eForm, "cp932");
    const auto lexed = LexOneLiteral(literal, promise.bBackslashEscapes, LexCharset::kSjis);
    ASSERT_TRUE(lexed.bOk) << lexed.error;
    EXPECT_EQ(lexed.value, text);
  }
}

TEST(SqlLiteral, WideTextIsEscapedInTheBytesItWillBeSentIn) {
  // glibc writes U+00A5 as 0x5C in code page 932: escaped as wide text, «¥'»
  // would become «\'» on the wire after the escaping, closing nothing and
  // escaping the quote. The writer escapes the bytes and brings the result
  // back to wide text.
  const std::wstring text = L"\u00A5'; DROP TABLE t; --";
  ASSERT_EQ(In(932, L"\u00A5"), "\x5C");
  for (const auto& promise : kPromises) {
    SCOPED_TRACE(promise.name);
    const std::wstring literal = Literal(text, 932, promise.eForm, "cp932");
    const std::string wire = In(932, literal);
    const auto lexed = LexOneLiteral(wire, promise.bBackslashEscapes, LexCharset::kSjis);
    ASSERT_TRUE(lexed.bOk) << wire << ": " << lexed.error;
    EXPECT_EQ(lexed.value, In(932, text));
  }
}

TEST(SqlLiteral, WideTextInShiftJisKeepsItsValueInEveryPromisedMode) {
  const wchar_t kAlphabet[] = {L'\'', L'\\', L'%', L'a', L'\u30BD', L'\u8868', L'\u00A5', 0};
  std::mt19937 rng(932);
  for (int k = 0; k < 3000; ++k) {
    std::wstring w;
    const size_t n = rng() % 12;
    for (size_t i = 0; i < n; ++i) w += kAlphabet[rng() % 8];
    for (const auto& promise : kPromises) {
      const std::string wire = In(932, Literal(w, 932, promise.eForm, "cp932"));
      const auto lexed = LexOneLiteral(wire, promise.bBackslashEscapes, LexCharset::kSjis);
      ASSERT_TRUE(lexed.bOk) << promise.name << ": " << wire << ": " << lexed.error;
      ASSERT_EQ(lexed.value, In(932, w)) << promise.name;
    }
  }
}

TEST(SqlLiteral, CodePagesWhoseAsciiIsNotAsciiAreWrittenInHexadecimal) {
  EXPECT_EQ(Literal(std::string("a'"), 1047, eSqlLiteralBackslash), "X'6127'");
  EXPECT_EQ(Literal(std::string("a'"), 50220, eSqlLiteralDoubledQuote, "x"), "_x X'6127'");
}

TEST(SqlLiteral, TheMixedBuilderWritesInItsMode) {
  const std::wstring text = L"\u00E9'\\";
  struct Case {
    const char* name;
    int nMode;
    int nCodePage;
  };
  const Case cases[] = {{"wide, sent in UTF-8", -2, 65001},
                        {"UTF-8", 65001, 65001},
                        {"1252", 1252, 1252},
                        {"wide, sent in 1252", -2, 1252}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CTStringConcatAW sql(c.nMode, c.nCodePage);
    sql.Add(L"SELECT ");
    ASSERT_EQ(AddSqlStringLiteral(sql, text.c_str(), -1, eSqlLiteralBackslash, nullptr), 1);
    const std::string wire = sql.pszGetA();
    const int nWire = c.nMode == -2 ? c.nCodePage : c.nMode;
    ASSERT_EQ(wire.substr(0, 7), "SELECT ");
    const auto lexed = LexOneLiteral(wire.substr(7), true, LexCharset::kSingleByte);
    ASSERT_TRUE(lexed.bOk) << lexed.error;
    EXPECT_EQ(lexed.value, In(nWire, text));
    EXPECT_STREQ(sql.pszGetW(), L"SELECT '\u00E9\\'\\\\'");
  }
}

}  // namespace
