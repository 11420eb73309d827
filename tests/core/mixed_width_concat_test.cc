// CTStringConcatAW: one primary form by mode (wide -2, UTF-8 65001, 8-bit
// 1252), the other built on request and dropped on every change, arguments of
// either width converted on entry, and the editing operations, checked
// against a model over random operations in each mode.
#include "core/mixed_width_concat.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/bound_framework.h"

namespace {

// The bytes of a wide text in UTF-8 or 1252 (the test's alphabet: ASCII and
// U+00E9).
std::string Encode(const std::wstring& w, int nCodePage) {
  std::string s;
  for (wchar_t c : w) {
    if (c < 0x80) {
      s += static_cast<char>(c);
    } else if (nCodePage == 65001) {
      s += static_cast<char>(0xC0 | (c >> 6));
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      s += static_cast<char>(c);
    }
  }
  return s;
}

struct ModeCase {
  const char* name;
  int nMode;
  int nCodePage;
};
const ModeCase kModes[] = {
    {"wide", -2, 1252}, {"UTF-8", 65001, 1252}, {"1252", 1252, 1252}, {"wide, UTF-8 word", -2, 65001}};

// ---------------------------------------------------------------------------
// The cache

TEST(MixedWidthConcat, InUtf8ModeTheWideFormIsBuiltOnRequestAndDroppedOnChange) {
  CTStringConcatAW sql(65001, 1252);
  sql.Add(L"\u00E9", 1);
  EXPECT_STREQ(sql.pszGetA(), "\xC3\xA9");
  const wchar_t* pw = sql.pszGetW();
  EXPECT_STREQ(pw, L"\u00E9");
  EXPECT_EQ(sql.pszGetW(), pw);  // reused while nothing changes
  sql.Add(L"x", 1);
  EXPECT_STREQ(sql.pszGetW(), L"\u00E9x");  // rebuilt after the change
  EXPECT_STREQ(sql.pszGetA(), "\xC3\xA9x");
}

TEST(MixedWidthConcat, InWideModeThe8BitFormIsInTheCodePageWord) {
  CTStringConcatAW sql(-2, 1252);
  sql.Add(L"caf\u00E9", 4);
  EXPECT_STREQ(sql.pszGetA(), "caf\xE9");
  EXPECT_STREQ(sql.pszGetW(), L"caf\u00E9");
  sql.Tronque(0);
  EXPECT_STREQ(sql.pszGetA(), "");
  EXPECT_STREQ(sql.pszGetW(), L"");
}

TEST(MixedWidthConcat, In1252ModeArgumentsOfEitherWidthAreConvertedOnEntry) {
  CTStringConcatAW sql(1252, 65001);
  sql.Add(L"\u00E9", 1);
  sql.Add("\xC3\xA9", 2, static_cast<unsigned int>(-1));  // the code page word: UTF-8
  sql.Add("\xE9", 1, 1252);                                // same as the mode: as it is
  sql.AddUTF8("\xC3\xA9", 2);
  sql.Add("\x83\x5C", 2, 932);  // a character 1252 lacks: "?"
  EXPECT_STREQ(sql.pszGetA(), "\xE9\xE9\xE9\xE9?");
  EXPECT_STREQ(sql.pszGetW(), L"\u00E9\u00E9\u00E9\u00E9?");
}

TEST(MixedWidthConcat, NumbersGoToThePrimaryForm) {
  for (const auto& m : kModes) {
    SCOPED_TRACE(m.name);
    CTStringConcatAW sql(m.nMode, m.nCodePage);
    sql.AddNumber(7, 3);
    sql.AddNumber(12345, 3);
    sql.AddNumber(-5LL, 4);
    sql.AddNumberHexa(static_cast<unsigned char>(0xAB));
    sql.AddNumberHexa(static_cast<unsigned short>(0xC));
    sql.AddNumberHexa(0x1u);
    sql.AddNumberHexa(0x2ULL);
    EXPECT_STREQ(sql.pszGetA(), "007123-5AB000C000000010000000000000002");
  }
}

TEST(MixedWidthConcat, ReadsCharactersAndBlanks) {
  CTStringConcatAW wide(-2, 1252);
  wide.Add(L"a \u00E9", 3);
  EXPECT_EQ(wide.cGetCharW(2), L'\u00E9');
  EXPECT_EQ(wide.cGetCharW(3), 0);
  EXPECT_EQ(wide.cGetCharW(-1), 0);
  EXPECT_EQ(wide.cGetCharA(0), 0);  // no 8-bit form yet in wide mode
  wide.pszGetA();
  EXPECT_EQ(wide.cGetCharA(2), 0xE9);
  EXPECT_TRUE(wide.bIsCharSpace(1));
  EXPECT_FALSE(wide.bIsCharSpace(0));
  EXPECT_FALSE(wide.bIsCharSpace(99));

  CTStringConcatAW utf8(65001, 1252);
  utf8.Add(L"\u00E9 ", 2);
  EXPECT_EQ(utf8.cGetCharA(1), 0xA9);  // bytes of the primary form
  EXPECT_EQ(utf8.cGetCharW(0), L'\u00E9');
  EXPECT_TRUE(utf8.bIsCharSpace(2));  // byte positions
  CTStringConcatAW empty(65001, 1252);
  EXPECT_FALSE(empty.bIsCharSpace(0));
  EXPECT_EQ(empty.cGetCharA(0), 0);
}

TEST(MixedWidthConcat, SearchesInThePrimaryFormWhateverTheWidthOfThePattern) {
  for (const auto& m : kModes) {
    SCOPED_TRACE(m.name);
    CTStringConcatAW sql(m.nMode, 1252);
    sql.Add(L"a\u00E9b\u00E9", 4);
    const bool bUtf8 = m.nMode == 65001;
    EXPECT_EQ(sql.nPos(L'b', 0), bUtf8 ? 3 : 2);
    EXPECT_EQ(sql.nPos(L'\u00E9', 2), bUtf8 ? 4 : 3);  // a character of two bytes
    EXPECT_EQ(sql.nPos('b', 0), bUtf8 ? 3 : 2);
    EXPECT_EQ(sql.nPos("\xE9", 0), 1);  // 8-bit patterns are in the code page word
    EXPECT_EQ(sql.nPos(L"b\u00E9", 0), bUtf8 ? 3 : 2);
    EXPECT_EQ(sql.nPos(L"z", 0), -1);
    EXPECT_EQ(sql.nPos(L"b", 99), -1);
  }
}

// ---------------------------------------------------------------------------
// Editing: the documented cases

TEST(MixedWidthConcat, ReplacesARange) {
  struct Case {
    int start, n;
    const wchar_t* text;
    const wchar_t* expected;
  };
  const Case cases[] = {{3, -1, L"X", L"abcX"},   {1, 2, L"XYZ", L"aXYZdef"}, {0, 6, L"", L""},
                        {6, 0, L"!", L"abcdef!"}, {2, 100, L"-", L"ab-"},     {7, 1, L"X", L"abcdef"},
                        {-1, 1, L"X", L"abcdef"}};
  for (const auto& m : kModes) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << m.name << " " << c.start << "," << c.n);
      CTStringConcatAW sql(m.nMode, m.nCodePage);
      sql.Add(L"abcdef");
      sql.Remplace(c.start, c.n, c.text, static_cast<int>(std::wcslen(c.text)));
      EXPECT_STREQ(sql.pszGetW(), c.expected);
      CTStringConcatAW narrow(m.nMode, m.nCodePage);
      narrow.Add(L"abcdef");
      const std::string text = Encode(c.text, 1252);
      narrow.Remplace(c.start, c.n, text.c_str(), static_cast<int>(text.size()));
      EXPECT_STREQ(narrow.pszGetW(), c.expected);
    }
  }
}

TEST(MixedWidthConcat, ReplacesEveryOccurrenceOfAPattern) {
  for (const auto& m : kModes) {
    SCOPED_TRACE(m.name);
    CTStringConcatAW sql(m.nMode, m.nCodePage);
    sql.Add(L"abcab");
    sql.Remplace(L"ab", 2, L"x", 1, 0);
    EXPECT_STREQ(sql.pszGetW(), L"xcx");
    sql.Remplace(L"x", 1, L"yz", 2, 1);  // from 1: the first x stays
    EXPECT_STREQ(sql.pszGetW(), L"xcyz");
    sql.Remplace(L"yz", 2, L"zy", 2, 0);  // as long as the pattern: in place
    EXPECT_STREQ(sql.pszGetW(), L"xczy");
    sql.Remplace(L"z", 1, L"zz", 2, 0);  // replacements are not searched again
    EXPECT_STREQ(sql.pszGetW(), L"xczzy");
    sql.Remplace("zz", 2, "\xE9", 1, 0);  // 8-bit, in the code page word (1252 here)
    if (m.nCodePage == 1252) {
      EXPECT_STREQ(sql.pszGetW(), L"xc\u00E9y");
    }
    sql.Remplace(L"", 0, L"q", 1, 0);  // an empty pattern changes nothing
    sql.Remplace(L"q", 1, L"w", 1, 0);
    EXPECT_EQ(sql.nPos(L"w", 0), -1);
  }
}

TEST(MixedWidthConcat, InsertsAtAPositionOrAppendsOutsideTheText) {
  for (const auto& m : kModes) {
    SCOPED_TRACE(m.name);
    CTStringConcatAW sql(m.nMode, m.nCodePage);
    sql.Insert(L"ab", 2, 5);  // into an empty text
    sql.Insert(L"X", 1, 0);
    EXPECT_STREQ(sql.pszGetW(), L"Xab");
    sql.Insert(L"Y", 1, -1);
    EXPECT_STREQ(sql.pszGetW(), L"XabY");
    sql.Insert("Z", 1, 1);
    EXPECT_STREQ(sql.pszGetW(), L"XZabY");
    sql.Insert(L"", 0, 0);
    sql.Insert(static_cast<const wchar_t*>(nullptr), 3, 0);
    EXPECT_STREQ(sql.pszGetW(), L"XZabY");
  }
}

TEST(MixedWidthConcat, CutsAndTruncates) {
  for (const auto& m : kModes) {
    SCOPED_TRACE(m.name);
    CTStringConcatAW sql(m.nMode, m.nCodePage);
    sql.Add(L"abc");
    sql.Coupe(1, 100);
    EXPECT_STREQ(sql.pszGetW(), L"a");
    sql.Add(L"bcdef");
    sql.Coupe(1, 2);
    EXPECT_STREQ(sql.pszGetW(), L"adef");
    sql.Coupe(9, 1);
    sql.Coupe(1, 0);
    EXPECT_STREQ(sql.pszGetW(), L"adef");
    sql.Tronque(3);
    EXPECT_STREQ(sql.pszGetW(), L"ade");
    sql.Tronque(9);
    EXPECT_STREQ(sql.pszGetW(), L"ade");
    sql.Coupe(0, 100);
    EXPECT_STREQ(sql.pszGetW(), L"");
    sql.Add(L"x");
    sql.Tronque(-4);
    EXPECT_STREQ(sql.pszGetA(), "");
  }
}

TEST(MixedWidthConcat, OperationsNeedingAPositionLeaveAnEmptyTextEmpty) {
  for (const auto& m : kModes) {
    SCOPED_TRACE(m.name);
    CTStringConcatAW sql(m.nMode, m.nCodePage);
    sql.Remplace(0, 1, L"x", 1);
    sql.Remplace(0, 1, "x", 1);
    sql.Coupe(0, 1);
    sql.Tronque(1);
    sql.Remplace(L"a", 1, L"b", 1, 0);
    EXPECT_STREQ(sql.pszGetW(), L"");
    EXPECT_STREQ(sql.pszGetA(), "");
    EXPECT_FALSE(sql.bEchec());
  }
}

TEST(MixedWidthConcat, ChangingTheModeCarriesTheTextOver) {
  CTStringConcatAW sql(-2, 1252);
  sql.Add(L"caf\u00E9");
  sql.SetMode(65001, 1252);
  EXPECT_EQ(sql.nGetLength(), 5u);
  EXPECT_STREQ(sql.pszGetA(), "caf\xC3\xA9");
  sql.SetMode(1252, 65001);
  EXPECT_STREQ(sql.pszGetA(), "caf\xE9");
  EXPECT_STREQ(sql.pszGetW(), L"caf\u00E9");
}

class MixedWidthConcatBound : public kqtest::BoundFrameworkTest {};

TEST_F(MixedWidthConcatBound, UpperCasesThePrimaryForm) {
  for (const auto& m : kModes) {
    SCOPED_TRACE(m.name);
    CTStringConcatAW sql(m.nMode, m.nCodePage);
    sql.Add(L"select caf\u00E9");
    sql.pszGetA();
    sql.Majuscule();
    if (m.nMode != 65001)  // the 8-bit case mapping leaves UTF-8 bytes alone
      EXPECT_STREQ(sql.pszGetW(), L"SELECT CAF\u00C9");
    else
      EXPECT_EQ(std::wstring(sql.pszGetW()).substr(0, 10), L"SELECT CAF");
  }
}

// ---------------------------------------------------------------------------
// Model

// Random appends, insertions, replacements and cuts in every mode, against a
// wide string; positions are chosen on character boundaries and given in
// units of the primary form.
TEST(MixedWidthConcat, MatchesAWideStringOverRandomOperations) {
  const wchar_t kAlphabet[] = {L'a', L'b', L' ', L'\u00E9', L'\''};
  for (const auto& m : kModes) {
    SCOPED_TRACE(m.name);
    std::mt19937 rng(static_cast<unsigned>(m.nMode + 100));
    CTStringConcatAW sql(m.nMode, m.nCodePage);
    std::wstring model;
    const int nUnitPage = m.nMode == -2 ? 0 : m.nMode;
    // The offset of character i in the primary form's units.
    auto units = [&](size_t i) {
      return nUnitPage == 0 ? static_cast<int>(i)
                            : static_cast<int>(Encode(model.substr(0, i), nUnitPage).size());
    };
    auto chunk = [&] {
      std::wstring s;
      for (size_t n = rng() % 4; n > 0; --n) s += kAlphabet[rng() % 5];
      return s;
    };
    for (int k = 0; k < 1500; ++k) {
      const size_t i = model.empty() ? 0 : rng() % (model.size() + 1);
      switch (rng() % 7) {
        case 0: {
          const std::wstring s = chunk();
          sql.Add(s.c_str(), static_cast<int>(s.size()));
          model += s;
          break;
        }
        case 1: {
          // 8-bit text in the code page word.
          const std::wstring w = chunk();
          const std::string s = Encode(w, m.nCodePage);
          sql.Add(s.c_str(), static_cast<int>(s.size()), static_cast<unsigned int>(-1));
          model += w;
          break;
        }
        case 2: {
          const std::wstring s = chunk();
          const int nAt = units(i);
          sql.Insert(s.c_str(), static_cast<int>(s.size()), nAt);
          if (!s.empty()) model.insert(i, s);
          break;
        }
        case 3: {
          if (model.empty()) break;
          const size_t n = rng() % (model.size() - i + 1);
          const std::wstring s = chunk();
          sql.Remplace(units(i), units(i + n) - units(i), s.c_str(), static_cast<int>(s.size()));
          model.replace(i, n, s);
          break;
        }
        case 4: {
          const size_t n = rng() % 3 + 1;
          if (i + n <= model.size()) {
            sql.Coupe(units(i), units(i + n) - units(i));
            model.erase(i, n);
          }
          break;
        }
        case 5: {
          const std::wstring pattern(1, kAlphabet[rng() % 5]);
          const std::wstring text = chunk();
          sql.Remplace(pattern.c_str(), 1, text.c_str(), static_cast<int>(text.size()), 0);
          if (!model.empty()) {
            std::wstring out;
            for (wchar_t c : model) out += c == pattern[0] ? text : std::wstring(1, c);
            model = out;
          }
          break;
        }
        default:
          if (rng() % 8 == 0) {
            sql.Tronque(units(i));
            model.resize(i);
          }
          break;
      }
      ASSERT_EQ(std::wstring(sql.pszGetW()), model) << "step " << k;
      if (k % 16 == 0) {
        const int nWire = m.nMode == -2 ? m.nCodePage : m.nMode;
        ASSERT_EQ(std::string(sql.pszGetA()), Encode(model, nWire)) << "step " << k;
      }
    }
    EXPECT_FALSE(sql.bEchec());
  }
}

}  // namespace
