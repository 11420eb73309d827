// Escaping of quotes, backslashes and LIKE wildcards, and its undoing: the
// documented cases, the server's reading of what the escapers write (through
// tests/core/mariadb_literal_lexer.h), and double-byte code pages.
#include "core/sql_escape.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "core/xmalloc.h"
#include "tests/core/mariadb_literal_lexer.h"

namespace {

using kqtest::LexCharset;
using kqtest::LexOneLiteral;

// The texts of the cases are written as they stand, with raw strings.
std::string Owned(char* p) {
  std::string s = p == nullptr ? "<null>" : p;
  XMALLOC_Del_(p);
  return s;
}

std::wstring Owned(wchar_t* p) {
  std::wstring s = p == nullptr ? L"<null>" : p;
  XMALLOC_Del_(p);
  return s;
}

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

struct Options {
  int o[8];
};

std::string Escaped(const std::string& src, Options op, char q, char e, int nCodePage = 1252) {
  std::vector<char> dst(2 * src.size() + 1, '#');
  const int n = Escape(src.c_str(), dst.data(), op.o[0], op.o[1], op.o[2], op.o[3], op.o[4],
                       op.o[5], op.o[6], op.o[7], q, e, nCodePage);
  EXPECT_EQ(n, static_cast<int>(std::strlen(dst.data())));
  return dst.data();
}

std::wstring Escaped(const std::wstring& src, Options op, wchar_t q, wchar_t e) {
  std::vector<wchar_t> dst(2 * src.size() + 1, L'#');
  Escape(src.c_str(), dst.data(), op.o[0], op.o[1], op.o[2], op.o[3], op.o[4], op.o[5], op.o[6],
         op.o[7], q, e);
  return dst.data();
}

// ---------------------------------------------------------------------------
// Escape

TEST(SqlEscape, EscapeAppliesEachOptionAsItsRuleSays) {
  struct Case {
    const char* name;
    const char* src;
    Options op;
    char q, e;
    const char* expected;
  };
  const Case cases[] = {
      {"quote doubled with o1", R"(it's)", {{1, 0, 0, 0, 0, 0, 0, 0}}, '\'', '\\', R"(it''s)"},
      {"quote prefixed by q", R"(it's)", {{1, 0, 0, 0, 0, 0, 0, 0}}, '\\', '\\', R"(it\'s)"},
      {"quote left without o1", R"(it's)", {{0, 0, 0, 0, 0, 0, 0, 0}}, '\'', '\\', R"(it's)"},
      {"wildcards with o4 and o5", R"(50%_x)", {{0, 0, 0, 1, 1, 0, 0, 0}}, '\'', '\\', R"(50\%\_x)"},
      {"wildcards with another e", R"(50%_x)", {{0, 0, 0, 1, 1, 0, 0, 0}}, '\'', '!', R"(50!%!_x)"},
      {"escaped % kept as is without o6", R"(\%)", {{0, 0, 1, 1, 0, 0, 0, 0}}, '\'', '\\', R"(\%)"},
      {"escaped % with o6, o3, o4", R"(\%)", {{0, 0, 1, 1, 0, 1, 0, 0}}, '\'', '\\', R"(\\\%)"},
      {"escaped % with o6 only", R"(\%)", {{0, 0, 0, 0, 0, 1, 0, 0}}, '\'', '\\', R"(\%)"},
      {"escaped _ with o7, o3, o5", R"(\_)", {{0, 0, 1, 0, 1, 0, 1, 0}}, '\'', '\\', R"(\\\_)"},
      {"e e with o8 and o3", R"(\\)", {{0, 0, 1, 0, 0, 0, 0, 1}}, '\'', '\\', R"(\\\\)"},
      {"e e with o3 only", R"(\\)", {{0, 0, 1, 0, 0, 0, 0, 0}}, '\'', '\\', R"(\\)"},
      {"lone e with o3", R"(a\b)", {{0, 0, 1, 0, 0, 0, 0, 0}}, '\'', '\\', R"(a\\b)"},
      {"lone e at the end with o3", R"(a\)", {{0, 0, 1, 0, 0, 0, 0, 0}}, '\'', '\\', R"(a\\)"},
      {"backslash doubled with o2 when e differs", R"(a\b)", {{0, 1, 0, 0, 0, 0, 0, 0}}, '\'', '!', R"(a\\b)"},
      {"backslash not doubled with o2 when e is it", R"(a\b)", {{0, 1, 0, 0, 0, 0, 0, 0}}, '\'', '\\', R"(a\b)"},
      {"all eight, as the SQL builder calls it", R"(a'b%c\_d)", {{1, 1, 1, 1, 1, 1, 1, 1}}, '\'', '\\', R"(a''b\%c\\\_d)"},
      {"empty", "", {{1, 1, 1, 1, 1, 1, 1, 1}}, '\'', '\\', ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Escaped(c.src, c.op, c.q, c.e), c.expected);
  }
}

TEST(SqlEscape, WideAndEightBitTwinsAgreeCharacterForCharacter) {
  std::mt19937 rng(7);
  const char kAlphabet[] = {'\'', '\\', '%', '_', '"', 'e', 'a', '!'};
  for (int k = 0; k < 2000; ++k) {
    std::string s;
    const int n = static_cast<int>(rng() % 12);
    for (int i = 0; i < n; ++i) s += kAlphabet[rng() % sizeof kAlphabet];
    Options op;
    for (int& o : op.o) o = static_cast<int>(rng() % 2);
    const char e = rng() % 2 ? '\\' : '!';
    const std::wstring w(s.begin(), s.end());
    const std::string narrow = Escaped(s, op, '\'', e);
    EXPECT_EQ(Escaped(w, op, L'\'', static_cast<wchar_t>(e)), std::wstring(narrow.begin(), narrow.end()))
        << s;
  }
}

TEST(SqlEscape, PszEscapeGivesTheSameTextInAnExactBlockAboveTheWorkBufferToo) {
  // 2048 bytes of work buffer are in automatic storage; longer texts go to the
  // heap. Both roads give the same.
  for (size_t n : {size_t{3}, size_t{1023}, size_t{1024}, size_t{5000}}) {
    SCOPED_TRACE(n);
    std::string src;
    for (size_t i = 0; i < n; ++i) src += "a'\\%"[i % 4];
    const std::string expected = Escaped(src, {{1, 0, 1, 0, 0, 0, 0, 1}}, '\'', '\\');
    EXPECT_EQ(Owned(pszEscape(src.c_str(), 1, 0, 1, 0, 0, 0, 0, 1, '\'', '\\', 1252)), expected);
    const std::wstring w(src.begin(), src.end());
    EXPECT_EQ(Owned(pszEscape(w.c_str(), 1, 0, 1, 0, 0, 0, 0, 1, L'\'', L'\\')),
              std::wstring(expected.begin(), expected.end()));
  }
}

// ---------------------------------------------------------------------------
// Purging

TEST(SqlEscape, PurgeFunctionsUndoTheirEscapingInPlace) {
  struct Case {
    const char* name;
    void (*purge)(char*);
    const char* src;
    const char* expected;
  };
  const Case cases[] = {
      {"PurgeQuote with backslash", [](char* s) { PurgeQuote(s, 1, 1252); }, R"(a''b\'c)", R"(a'b'c)"},
      {"PurgeQuote without backslash", [](char* s) { PurgeQuote(s, 0, 1252); }, R"(a''b\'c)", R"(a'b\'c)"},
      {"PurgeEscape", [](char* s) { PurgeEscape(s, '\\', 1252); }, R"(a\%b\\c)", R"(a%b\c)"},
      {"PurgeEscape keeps a lone e", [](char* s) { PurgeEscape(s, '\\', 1252); }, R"(a\b\)", R"(a\b\)"},
      {"PurgeEscape does not look again", [](char* s) { PurgeEscape(s, '\\', 1252); }, R"(\\%)", R"(\%)"},
      {"PurgeEscapeEscape", [](char* s) { PurgeEscapeEscape(s, '\\', 1252); }, R"(a\%b\\c)", R"(a\%b\c)"},
      {"PurgeEscapeEscape of three", [](char* s) { PurgeEscapeEscape(s, '\\', 1252); }, R"(\\\)", R"(\\)"},
      {"PurgeDoubleQuote", [](char* s) { PurgeDoubleQuote(s, 1252); }, R"(say ""hi"")", R"(say "hi")"},
      {"PurgeDoubleQuote of five", [](char* s) { PurgeDoubleQuote(s, 1252); }, R"(a"""""b)", R"(a"""b)"},
      {"PurgeEscapeBackSlash", [](char* s) { PurgeEscapeBackSlash(s, 1252); }, R"(a\\b\'c'')", R"(a\b'c')"},
      {"PurgeEscapeBackSlash of four", [](char* s) { PurgeEscapeBackSlash(s, 1252); }, R"(\\\\x)", R"(\\x)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string s = c.src;
    c.purge(s.data());
    EXPECT_STREQ(s.c_str(), c.expected);
  }
}

TEST(SqlEscape, PurgeQuoteExaminesAQuoteAgainAfterEachCollapse) {
  // Scanning from the end, a collapse leaves a quote whose left neighbour is
  // examined again: a quote absorbs every quote and backslash before it.
  struct Case {
    const char* src;
    int bBackslash;
    const char* expected;
  };
  const Case cases[] = {
      {R"(\\')", 1, R"(')"},      {R"(\\\')", 1, R"(')"},   {R"(a\'\'b)", 1, R"(a'b)"},
      {R"(''')", 0, R"(')"},      {R"('''')", 1, R"(')"},   {R"(\'\x)", 1, R"('\x)"},
      {R"(x\\)", 1, R"(x\\)"},    {R"(\\')", 0, R"(\\')"},  {R"('\\)", 1, R"('\\)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.src);
    std::string s = c.src;
    PurgeQuote(s.data(), c.bBackslash, 1252);
    EXPECT_STREQ(s.c_str(), c.expected);
    std::wstring w(c.src, c.src + std::strlen(c.src));
    PurgeQuote(w.data(), c.bBackslash);
    EXPECT_EQ(std::wstring(w.c_str()), std::wstring(c.expected, c.expected + std::strlen(c.expected)));
  }
}

// ---------------------------------------------------------------------------
// ChangeEscape

TEST(SqlEscape, ChangeEscapeRewritesTheEscapeSequences) {
  const char* src = "a!%b!_c!!d";
  const int n = nChangeEscapeLength(src, "%", "[", "]", "_", "[", "]", '!', 1252);
  std::vector<char> dst(static_cast<size_t>(n) + 1);
  EXPECT_EQ(ChangeEscape(src, dst.data(), "%", "[", "]", "_", "[", "]", '!', 1252), n);
  EXPECT_STREQ(dst.data(), "a[%]b[_]c!d");
  EXPECT_EQ(Owned(pszChangeEscape(L"a!%b!_c!!d", L"%", L"[", L"]", L"_", L"[", L"]", L'!')),
            L"a[%]b[_]c!d");
}

TEST(SqlEscape, ChangeEscapeSizesItsResultForLongReplacements) {
  // Each pair can grow to the sum of its three replacement texts.
  std::string src;
  for (int i = 0; i < 3000; ++i) src += "!%";
  const std::string before(100, '<'), after(100, '>');
  const std::string out = Owned(pszChangeEscape(src.c_str(), "%", before.c_str(), after.c_str(), "_",
                                                nullptr, nullptr, '!', 1252));
  EXPECT_EQ(out.size(), 3000u * 201u);
  EXPECT_EQ(out.substr(0, 201), before + "%" + after);
}

TEST(SqlEscape, ChangeEscapeCopiesALoneEscapeAndHandlesTheNextCharacterOnItsOwn) {
  EXPECT_EQ(Owned(pszChangeEscape(L"!a!", L"%", L"", L"", L"_", L"", L"", L'!')), L"!a!");
  EXPECT_EQ(Owned(pszChangeEscape(L"!!!%", L"P", nullptr, nullptr, L"_", nullptr, nullptr, L'!')),
            L"!P");
}

// ---------------------------------------------------------------------------
// pszVerrueEscapeMySQL

TEST(SqlEscape, VerrueEscapesQuotesAndDoublesLoneBackslashes) {
  struct Case {
    const char* src;
    const char* expected;
  };
  const Case cases[] = {
      {R"(O'Hara\n)", R"(O\'Hara\\n)"},
      {R"(a\%b\_c)", R"(a\%b\_c)"},
      {R"(a\\b)", R"(a\\b)"},
      {R"(a\\\b)", R"(a\\\\b)"},
      {R"(end\)", R"(end\\)"},
      {R"(it''s)", R"(it\'s)"},
      {R"(it\'s)", R"(it\'s)"},
      {R"(\\')", R"(\')"},  // the known fault: must not come out as \\'
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.src);
    EXPECT_EQ(Owned(pszVerrueEscapeMySQL(c.src, L'\\', 1252)), c.expected);
    const std::wstring w(c.src, c.src + std::strlen(c.src));
    const std::wstring expected(c.expected, c.expected + std::strlen(c.expected));
    EXPECT_EQ(Owned(pszVerrueEscapeMySQL(w.c_str(), L'\\')), expected);
  }
}

TEST(SqlEscape, VerrueRefusesAnEscapeCharacterThatCannotKeepTheLiteralClosed) {
  EXPECT_EQ(pszVerrueEscapeMySQL(L"a'b", L'\''), nullptr);
  EXPECT_EQ(pszVerrueEscapeMySQL(L"a'b", L'"'), nullptr);
  EXPECT_EQ(pszVerrueEscapeMySQL("a'b", L'\''), nullptr);
  EXPECT_EQ(pszVerrueEscapeMySQL("a'b", static_cast<wchar_t>(0x4E00)), nullptr);  // no 1252 byte
}

// The value the server reads from '<pszVerrueEscapeMySQL(text, '\')>' in the
// default mode: quote escaping removed as PurgeQuote (rescanning) removes it,
// and each run of m backslashes read as ceil(m / 2) backslashes (a pair is an
// escaped backslash; a lone one became a literal one).
std::string VerrueValue(const std::string& text) {
  std::string purged = text;
  PurgeQuote(purged.data(), 1, 1252);
  purged.resize(std::strlen(purged.c_str()));
  std::string value;
  for (size_t i = 0; i < purged.size();) {
    if (purged[i] != '\\') {
      value += purged[i++];
      continue;
    }
    size_t m = 0;
    while (i < purged.size() && purged[i] == '\\') ++m, ++i;
    value.append((m + 1) / 2, '\\');
  }
  return value;
}

// Random texts over the characters that matter to a literal.
std::vector<std::wstring> RandomTexts(unsigned seed, int nCount, bool bWithZero) {
  const wchar_t kAlphabet[] = {L'\'', L'\\', L'%', L'_', L'"', L'e', L'a', L'\u00E9', 0};
  const size_t nAlphabet = bWithZero ? 9 : 8;
  std::mt19937 rng(seed);
  std::vector<std::wstring> texts;
  for (int k = 0; k < nCount; ++k) {
    std::wstring s;
    const size_t n = rng() % 24;
    for (size_t i = 0; i < n; ++i) s += kAlphabet[rng() % nAlphabet];
    texts.push_back(s);
  }
  return texts;
}

TEST(SqlEscape, VerrueOutputAlwaysLexesAsOneLiteralWithTheDocumentedValue) {
  for (const std::wstring& w : RandomTexts(13, 20000, false)) {
    const std::string text = Utf8(w);
    SCOPED_TRACE(text);
    const std::string body = Utf8(Owned(pszVerrueEscapeMySQL(w.c_str(), L'\\')));
    const auto lexed = LexOneLiteral("'" + body + "'", true, LexCharset::kUtf8);
    ASSERT_TRUE(lexed.bOk) << body << ": " << lexed.error;
    EXPECT_EQ(lexed.value, VerrueValue(text)) << body;
    // The 8-bit twin in UTF-8 writes the same bytes.
    EXPECT_EQ(Owned(pszVerrueEscapeMySQL(text.c_str(), L'\\', 65001)), body);
  }
}

TEST(SqlEscape, VerrueWithAnotherEscapeCharacterStillKeepsTheLiteralClosed) {
  for (const std::wstring& w : RandomTexts(17, 5000, false)) {
    const std::string body = Utf8(Owned(pszVerrueEscapeMySQL(w.c_str(), L'e')));
    const auto lexed = LexOneLiteral("'" + body + "'", true, LexCharset::kUtf8);
    EXPECT_TRUE(lexed.bOk) << Utf8(w) << " -> " << body << ": " << lexed.error;
  }
}

TEST(SqlEscape, EscapeWithQuoteAndEscapeOptionsKeepsTheValueOfAnyText) {
  // o1 (quote), o3 (escape the escape character) and o8, with the backslash as
  // e: the body of a literal whose value, in the default mode, is the text.
  for (wchar_t q : {L'\\', L'\''}) {
    for (const std::wstring& w : RandomTexts(q, 10000, false)) {
      const std::string text = Utf8(w);
      SCOPED_TRACE(text);
      const std::string body = Utf8(Owned(pszEscape(w.c_str(), 1, 0, 1, 0, 0, 0, 0, 1, q, L'\\')));
      const auto lexed = LexOneLiteral("'" + body + "'", true, LexCharset::kUtf8);
      ASSERT_TRUE(lexed.bOk) << body << ": " << lexed.error;
      EXPECT_EQ(lexed.value, text) << body;
    }
  }
}

TEST(SqlEscape, EscapeWithoutEscapingTheEscapeCharacterCanCloseTheLiteralEarly) {
  // Why the header names the safe option sets: o1 alone with the backslash as
  // e leaves «\'» as «\''», whose second quote ends the literal.
  const std::string body = Escaped(R"(\'; DROP TABLE t; --)", {{1, 0, 0, 0, 0, 0, 0, 0}}, '\'', '\\');
  EXPECT_FALSE(LexOneLiteral("'" + body + "'", true, LexCharset::kSingleByte).bOk);
}

// ---------------------------------------------------------------------------
// Double-byte code pages

TEST(SqlEscape, ASecondByte5CIsNotTakenForABackslashInShiftJis) {
  // "ソ" is 0x83 0x5C in Shift-JIS. Taken for a backslash, it would be doubled
  // and the server, which reads 0x83 0x5C as one character, would see the
  // extra 0x5C escape the closing quote.
  const std::string so = "\x83\x5C";
  EXPECT_EQ(Escaped(so, {{1, 0, 1, 0, 0, 0, 0, 1}}, '\'', '\\', 932), so);
  EXPECT_EQ(Escaped(so, {{1, 0, 1, 0, 0, 0, 0, 1}}, '\'', '\\', 1252), "\x83\x5C\x5C");
  EXPECT_EQ(Owned(pszVerrueEscapeMySQL(so.c_str(), L'\\', 932)), so);
  std::string s = so + "'";
  PurgeQuote(s.data(), 1, 932);
  EXPECT_STREQ(s.c_str(), (so + "'").c_str());  // 0x5C is no backslash: the quote stays alone
  std::string t = so + "\\\\";
  PurgeEscapeBackSlash(t.data(), 932);
  EXPECT_STREQ(t.c_str(), (so + "\\").c_str());
}

TEST(SqlEscape, EightBitFormsFollowTheServersCharacterBoundaries) {
  // Lead and second bytes as the server reads them, with bytes around them
  // that matter to a literal; the 8-bit output must lex as one literal whose
  // value is the text (o1, o3, o8 with the backslash) or the Verrue value.
  struct Page {
    int nCodePage;
    LexCharset cs;
    std::vector<std::string> extra;
  };
  const Page pages[] = {
      {932, LexCharset::kSjis, {"\x83\x5C", "\x95\x5C", "\x81", "\xA1", "\xE0\x40", "\xFC\xFC"}},
      {936, LexCharset::kGbk, {"\x81\x5C", "\xFE\x40", "\x80", "\xFF"}},
      // 0x81 is a lead byte for Windows' cp950 but not for the server's big5.
      {950, LexCharset::kBig5, {"\xA4\x5C", "\x81", "\xF9\xFE", "\xFA"}},
  };
  const std::vector<std::string> common = {"'", "\\", "%", "_", "a"};
  for (const auto& page : pages) {
    SCOPED_TRACE(page.nCodePage);
    std::vector<std::string> alphabet = common;
    alphabet.insert(alphabet.end(), page.extra.begin(), page.extra.end());
    std::mt19937 rng(static_cast<unsigned>(page.nCodePage));
    for (int k = 0; k < 5000; ++k) {
      std::string text;
      const size_t n = rng() % 16;
      for (size_t i = 0; i < n; ++i) text += alphabet[rng() % alphabet.size()];
      const std::string body = Owned(pszEscape(text.c_str(), 1, 0, 1, 0, 0, 0, 0, 1, '\\', '\\',
                                               page.nCodePage));
      auto lexed = LexOneLiteral("'" + body + "'", true, page.cs);
      ASSERT_TRUE(lexed.bOk) << testing::PrintToString(text) << ": " << lexed.error;
      EXPECT_EQ(lexed.value, text);
      const std::string verrue = Owned(pszVerrueEscapeMySQL(text.c_str(), L'\\', page.nCodePage));
      lexed = LexOneLiteral("'" + verrue + "'", true, page.cs);
      EXPECT_TRUE(lexed.bOk) << testing::PrintToString(text) << ": " << lexed.error;
    }
  }
}

TEST(SqlEscape, EightBitFormsRefuseCodePagesWhoseAsciiIsNotAscii) {
  for (int nCodePage : {50220, 1047}) {
    SCOPED_TRACE(nCodePage);
    char dst[16] = "xx";
    EXPECT_EQ(Escape("a'b", dst, 1, 0, 0, 0, 0, 0, 0, 0, '\'', '\\', nCodePage), -1);
    EXPECT_STREQ(dst, "");
    EXPECT_EQ(pszEscape("a'b", 1, 0, 0, 0, 0, 0, 0, 0, '\'', '\\', nCodePage), nullptr);
    EXPECT_EQ(pszVerrueEscapeMySQL("a'b", L'\\', nCodePage), nullptr);
    std::string s = "a''b";
    PurgeQuote(s.data(), 1, nCodePage);
    EXPECT_STREQ(s.c_str(), "a''b");
  }
}

}  // namespace
