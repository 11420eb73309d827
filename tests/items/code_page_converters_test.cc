// The code-page converters: wide text to the client library's code page and
// back, with the stand-in server's string allocator bound.
#include "items/code_page_converters.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/bound_framework.h"

namespace {

class CodePageConverters : public kqtest::BoundFrameworkTest {};

// A text that each code page can and cannot hold: é and € are in 1252, the
// emoji is not (it becomes "?"), and needs a surrogate pair in UTF-16.
const wchar_t kText[] = L"caf\u00e9 \u20ac \U0001F600";

TEST_F(CodePageConverters, WideTextReachesTheDatabaseInItsCodePage) {
  struct Case {
    const char* pszName;
    int nCodePage;
    std::string bytes;
  };
  const Case cases[] = {
      {"UTF-8", 65001, "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"1252", 1252, "caf\xE9 \x80 ?"},
      {"UTF-16", kCodePageUTF16,
       std::string("c\0a\0f\0\xE9\0 \0\xAC\x20 \0\x3D\xD8\x00\xDE", 18)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    CNACodePageCnvIN cnv(kText, -1, c.nCodePage);
    ASSERT_NE(cnv.pszGetForDB(), nullptr);
    EXPECT_FALSE(cnv.bFailed());
    ASSERT_EQ(cnv.nGetLengthForDB(), static_cast<int>(c.bytes.size()));
    EXPECT_EQ(std::string(cnv.pszGetForDB(), c.bytes.size()), c.bytes);
    // Terminated, two zero bytes for UTF-16.
    EXPECT_EQ(cnv.pszGetForDB()[c.bytes.size()], '\0');
    if (c.nCodePage == kCodePageUTF16) {
      EXPECT_EQ(cnv.pszGetForDB()[c.bytes.size() + 1], '\0');
    }
  }
}

TEST_F(CodePageConverters, AnAbsentParameterStaysAbsentAndAnEmptyOneEmpty) {
  CNACodePageCnvIN absent(nullptr, -1, 65001);
  EXPECT_EQ(absent.pszGetForDB(), nullptr);
  EXPECT_EQ(absent.nGetLengthForDB(), 0);
  CNACodePageCnvIN empty(L"", -1, 65001);
  ASSERT_NE(empty.pszGetForDB(), nullptr);
  EXPECT_STREQ(empty.pszGetForDB(), "");
  // A length takes only that many characters.
  CNACodePageCnvIN part(L"abcdef", 3, 1252);
  EXPECT_STREQ(part.pszGetForDB(), "abc");
}

TEST_F(CodePageConverters, DatabaseTextBecomesWideText) {
  struct Case {
    const char* pszName;
    int nCodePage;
    std::string bytes;
    std::wstring expected;
  };
  const Case cases[] = {
      {"UTF-8", 65001, "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", kText},
      {"1252", 1252, "caf\xE9 \x80", L"caf\u00e9 \u20ac"},
      {"UTF-16", kCodePageUTF16, std::string("c\0a\0f\0\xE9\0 \0\x3D\xD8\x00\xDE", 14),
       L"caf\u00e9 \U0001F600"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    // With an explicit length: from an unaligned copy, no terminator needed.
    std::string shifted = "x" + c.bytes + "garbage";
    CNACodePageCnvOUTPtr withLength(shifted.data() + 1, static_cast<int>(c.bytes.size()),
                                    c.nCodePage);
    EXPECT_EQ(std::wstring(withLength.pszGetForZB()), c.expected);
    // Zero-terminated.
    std::string terminated = "x" + c.bytes + std::string(2, '\0');
    CNACodePageCnvOUT untilZero(terminated.data() + 1, c.nCodePage);
    EXPECT_EQ(std::wstring(untilZero.pszGetForZB()), c.expected);
    EXPECT_EQ(std::wstring(untilZero.pszGetForZB()), c.expected);  // converted once, kept
  }
}

TEST_F(CodePageConverters, EmptyGivesEmptyAndNoSourceGivesNull) {
  CNACodePageCnvOUT empty("", 65001);
  ASSERT_NE(empty.pszGetForZB(), nullptr);
  EXPECT_STREQ(empty.pszGetForZB(), L"");
  CNACodePageCnvOUTPtr emptyPtr("abc", 0, 1252);
  ASSERT_NE(emptyPtr.pszGetForZB(), nullptr);
  EXPECT_STREQ(emptyPtr.pszGetForZB(), L"");
  CNACodePageCnvOUTPtr negative("abc", -5, 1252);
  EXPECT_STREQ(negative.pszGetForZB(), L"");
  CNACodePageCnvOUTPtr none(nullptr, 4, 1252);
  EXPECT_EQ(none.pszGetForZB(), nullptr);
  CNACodePageCnvOUT noneZ(nullptr, 1252);
  EXPECT_EQ(noneZ.pszGetForZB(), nullptr);
  // An odd trailing byte of UTF-16 text is not half a character.
  CNACodePageCnvOUTPtr odd("a\0b", 3, kCodePageUTF16);
  EXPECT_STREQ(odd.pszGetForZB(), L"a");
}

TEST_F(CodePageConverters, MalformedUTF8LosesOnlyTheBadSequence) {
  // A server message cut inside a character, or sent in another charset,
  // must not lose the rest of its text.
  struct Case {
    const char* pszName;
    std::string bytes;
    std::wstring expected;
  };
  const Case cases[] = {
      {"cut at the end", "Access denied \xC3", L"Access denied \uFFFD"},
      {"a Latin-1 byte", "caf\xE9 ok", L"caf\uFFFD ok"},
      {"overlong slash", "a\xC0\xAF" "b", L"a\uFFFDb"},
      {"surrogate", "a\xED\xA0\x80" "b", L"a\uFFFDb"},
      {"lone continuation", "\x80x", L"\uFFFDx"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    CNACodePageCnvOUTPtr cnv(c.bytes.data(), static_cast<int>(c.bytes.size()), 65001);
    EXPECT_EQ(std::wstring(cnv.pszGetForZB()), c.expected);
  }
}

}  // namespace
