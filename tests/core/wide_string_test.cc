// CTString: the plain wide string. Bound to the stand-in server because the
// case-blind operations ask its locale service and the counted strings its
// allocator.
#include "core/wide_string.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/counted_string.h"
#include "tests/core/failing_heap.h"
#include "tests/support/bound_framework.h"

namespace {

using kqtest::FailingHeap;

std::wstring Text(const CTString& s) { return s.pszGet(); }

class WideString : public kqtest::BoundFrameworkTest {};

TEST_F(WideString, AnEmptyStringReadsAsEmptyAndNeverAsNull) {
  CTString s;
  ASSERT_NE(s.pszGet(), nullptr);
  EXPECT_EQ(Text(s), L"");
  EXPECT_EQ(s.nTaille(), 0);
  s = L"abc";
  s.Vide();
  ASSERT_NE(s.pszGet(), nullptr);
  EXPECT_EQ(s.nTaille(), 0);
  EXPECT_EQ(s.cGetChar(0), 0);
}

TEST_F(WideString, SettingFromItsOwnTextChangesNothing) {
  CTString s(L"abcdef");
  const wchar_t* p = s.pszGet();
  s.Set(p);
  EXPECT_EQ(Text(s), L"abcdef");
  EXPECT_EQ(s.pszGet(), p);
  CTString& same = s;
  s = same;
  EXPECT_EQ(Text(s), L"abcdef");
  s.Set(s.pszGet() + 2);  // a tail of its own text moves down
  EXPECT_EQ(Text(s), L"cdef");
}

TEST_F(WideString, AppendingCountsATerminatorOnlyAsTheLastOfTheCharacters) {
  struct Case {
    const char* name;
    const wchar_t* start;
    const wchar_t* text;
    int n;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {"terminator counted", L"x", L"ab", 3, L"xab"},
      {"empty text with its terminator", L"x", L"", 1, L"x"},
      {"null text", L"x", nullptr, 5, L"x"},
      {"no characters", L"x", L"ab", 0, L"x"},
      {"negative count", L"x", L"ab", -2, L"x"},
      {"part of a text", L"x", L"abc", 2, L"xab"},
      {"onto an empty string", nullptr, L"ab", 2, L"ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTString s(c.start);
    s.Add(c.text, c.n);
    EXPECT_EQ(Text(s), c.expected);
  }
}

TEST_F(WideString, AppendingAPieceOfItsOwnTextIsSafe) {
  CTString s(L"abc");
  for (int i = 0; i < 6; ++i) s.Add(s.pszGet(), s.nTaille());
  EXPECT_EQ(s.nTaille(), 3 * 64);
  EXPECT_EQ(Text(s).substr(0, 9), L"abcabcabc");
  CTString t(L"xy");
  t.Add(t.pszGet(), L"-", t.pszGet());
  EXPECT_EQ(Text(t), L"xyxy-xy");
}

TEST_F(WideString, TruncatingAndCuttingOutsideTheTextChangeNothing) {
  struct Case {
    const char* name;
    void (*edit)(CTString&);
    const wchar_t* expected;
  };
  const Case cases[] = {
      {"Tronque(-1)", [](CTString& s) { s.Tronque(-1); }, L"abcdef"},
      {"Tronque(length + 1)", [](CTString& s) { s.Tronque(7); }, L"abcdef"},
      {"Tronque(2)", [](CTString& s) { s.Tronque(2); }, L"ab"},
      {"Coupe(2, 100)", [](CTString& s) { s.Coupe(2, 100); }, L"ab"},
      {"Coupe(1, 2)", [](CTString& s) { s.Coupe(1, 2); }, L"adef"},
      {"Coupe past the end", [](CTString& s) { s.Coupe(7, 1); }, L"abcdef"},
      {"TronqueDebut(2)", [](CTString& s) { s.TronqueDebut(2); }, L"cdef"},
      {"TronqueDebut past the end", [](CTString& s) { s.TronqueDebut(9); }, L"abcdef"},
      {"Remplace(2, 100, X)", [](CTString& s) { s.Remplace(2, 100, L"X"); }, L"abX"},
      {"Remplace(0, 0, X)", [](CTString& s) { s.Remplace(0, 0, L"X"); }, L"Xabcdef"},
      {"Remplace(1, 2, null)", [](CTString& s) { s.Remplace(1, 2, nullptr); }, L"adef"},
      {"Complete(8, -)", [](CTString& s) { s.Complete(8, L'-'); }, L"abcdef--"},
      {"Complete(3, -)", [](CTString& s) { s.Complete(3, L'-'); }, L"abc"},
      {"Renverse", [](CTString& s) { s.Renverse(); }, L"fedcba"},
      {"Insert at 2", [](CTString& s) { s.Insert(L"XY", -1, 2); }, L"abXYcdef"},
      {"Insert past the end", [](CTString& s) { s.Insert(L"XY", 1, 99); }, L"abcdefX"},
      {"Insert a character", [](CTString& s) { s.Insert(L'Z'); }, L"Zabcdef"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTString s(L"abcdef");
    c.edit(s);
    EXPECT_EQ(Text(s), c.expected);
  }
}

TEST_F(WideString, RangeReplacementOnAnEmptyStringLeavesItEmpty) {
  CTString s;
  s.Remplace(0, 1, L"X");
  EXPECT_EQ(Text(s), L"");
}

TEST_F(WideString, ReplacingAPatternReplacesEveryOccurrenceFromTheStart) {
  struct Case {
    const char* name;
    const wchar_t* text;
    const wchar_t* pattern;
    const wchar_t* replacement;
    int from;
    bool ignoreCase;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {"non-overlapping", L"aaaa", L"aa", L"b", 0, false, L"bb"},
      {"ignoring case", L"aAb", L"A", L"x", 0, true, L"xxb"},
      {"empty pattern", L"abc", L"", L"x", 0, false, L"abc"},
      {"no occurrence", L"abc", L"z", L"x", 0, false, L"abc"},
      {"from a position", L"aaXaa", L"a", L"b", 3, false, L"aaXbb"},
      {"from a position, ignoring case", L"AaXaA", L"a", L"b", 3, true, L"AaXbb"},
      {"growing", L"a.b.c", L".", L"::", 0, false, L"a::b::c"},
      {"to nothing", L"a.b.c", L".", nullptr, 0, false, L"abc"},
      {"case kept without I", L"aAb", L"A", L"x", 0, false, L"axb"},
      {"accented letters by the locale", L"\u00e9\u00c9e", L"\u00c9", L"x", 0, true, L"xxe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTString s(c.text);
    if (c.ignoreCase) {
      s.RemplaceI(c.pattern, c.replacement, c.from);
    } else {
      s.Remplace(c.pattern, c.replacement, c.from);
    }
    EXPECT_EQ(Text(s), c.expected);
  }
}

// The C library's towupper leaves "é" alone under the C locale, while the
// locale service maps it to "É": a count made one way and a copy made the
// other would overflow the result. Many occurrences make any disagreement
// write far past the buffer.
TEST_F(WideString, CaseBlindReplacementCountsAndReplacesByTheSameRule) {
  std::wstring text;
  for (int i = 0; i < 300; ++i) text += i % 2 ? L"\u00c9" : L"\u00e9";
  CTString s(text.c_str());
  s.RemplaceI(L"\u00e9", L"long replacement", 0);
  std::wstring expected;
  for (int i = 0; i < 300; ++i) expected += L"long replacement";
  EXPECT_EQ(Text(s), expected);
}

TEST_F(WideString, SearchesFindOverlappingAndNonOverlappingOccurrences) {
  CTString s(L"aaaa");
  EXPECT_EQ(s.nRPos(L"aa"), 2);
  EXPECT_EQ(s.nNbOcc(L"aa"), 2);
  EXPECT_EQ(s.nPos(L"aa", 1), 1);
  EXPECT_EQ(s.nPos(L"b"), -1);
  EXPECT_EQ(s.nNbOcc(L""), 0);
  CTString t(L"abcABC");
  EXPECT_EQ(t.nUpPos(L"Bc", 2), 4);
  EXPECT_EQ(t.nUpPos(L""), -1);
  EXPECT_EQ(t.nPosParmi(L"CB"), 4);
  EXPECT_EQ(t.nRPos(L'b'), 1);
  EXPECT_EQ(CTString().nPos(L"a"), -1);
}

TEST_F(WideString, NumbersAreReadInAnyBaseUntilTheFirstForeignDigit) {
  struct Case {
    const wchar_t* text;
    int base;
    int start;
    int n;
    long long expected;
  };
  const Case cases[] = {
      {L"1fZ", 16, 0, -1, 31},
      {L"12a", 10, 0, -1, 12},
      {L"", 10, 0, -1, 0},
      {L"zz", 36, 0, -1, 35 * 36 + 35},
      {L"1010", 2, 0, -1, 10},
      {L"777", 8, 1, 1, 7},
      {L"-5", 10, 0, -1, 0},
      {L" 5", 10, 0, -1, 0},
      {L"18446744073709551616", 10, 0, -1, 0},  // 2^64 wraps to 0
      {L"ffffffffffffffff", 16, 0, -1, -1},
      {L"123", 10, 5, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "base " << c.base << " start " << c.start);
    EXPECT_EQ(CTString(c.text).nVal(c.base, c.start, c.n), c.expected);
  }
}

TEST_F(WideString, FieldsAreCutAtEachSeparatorAndMayBeEmpty) {
  CTString s(L"a,,c");
  CTString field(L"untouched");
  EXPECT_TRUE(s.bExtraitChaine(2u, L',', &field));
  EXPECT_EQ(Text(field), L"c");
  EXPECT_TRUE(s.bExtraitChaine(1u, L',', &field));
  EXPECT_EQ(Text(field), L"");
  field = L"untouched";
  EXPECT_FALSE(s.bExtraitChaine(3u, L',', &field));
  EXPECT_EQ(Text(field), L"untouched");
  EXPECT_TRUE(s.bExtraitChaineTok(1, L",", &field));
  EXPECT_EQ(Text(field), L"c");
  EXPECT_FALSE(s.bExtraitChaineTok(2, L",", &field));
  EXPECT_TRUE(s.bExtraitChaineTok(-1, L",", &field));
  EXPECT_EQ(Text(field), L"");

  CTString multi(L"k1::v1::::v3");
  EXPECT_TRUE(multi.bExtraitChaine(3, L"::", &field));
  EXPECT_EQ(Text(field), L"v3");
  int nPos = -1, n = -1;
  EXPECT_TRUE(multi.bExtraitPosTailleChaine(1, L"::", &nPos, &n));
  EXPECT_EQ(nPos, 4);
  EXPECT_EQ(n, 2);
  EXPECT_TRUE(multi.bExtraitEtRemplaceChaine(2, L"::", L"v2"));
  EXPECT_EQ(Text(multi), L"k1::v1::v2::v3");
  CTString trailing(L"a;");
  EXPECT_TRUE(trailing.bExtraitEtRemplaceChaine(1, L";", L"b"));
  EXPECT_EQ(Text(trailing), L"a;b");

  // A separator string: only a null buffer has no field.
  EXPECT_FALSE(CTString().bExtraitChaine(0, L",", &field));
  CTString empty;
  empty.Set(L"", 0u);
  EXPECT_TRUE(empty.bExtraitChaine(0, L",", &field));
  EXPECT_EQ(Text(field), L"");
  EXPECT_FALSE(empty.bExtraitChaine(0u, L',', &field));
}

// Every field, cut one by one, against a plain split of random texts.
TEST_F(WideString, SplittingFieldByFieldMatchesAPlainSplit) {
  std::mt19937 rng(4);
  for (int round = 0; round < 300; ++round) {
    std::wstring text;
    const int n = static_cast<int>(rng() % 12);
    for (int i = 0; i < n; ++i) text += L"ab;;"[rng() % 4];
    std::vector<std::wstring> expected(1);
    for (wchar_t c : text) {
      if (c == L';') {
        expected.emplace_back();
      } else {
        expected.back() += c;
      }
    }
    SCOPED_TRACE(testing::Message() << "text " << std::string(text.begin(), text.end()));
    CTString s(text.c_str());
    if (text.empty()) {
      // A string made from "" has no buffer, hence no field.
      EXPECT_FALSE(s.bExtraitChaine(0, L";", nullptr));
      continue;
    }
    for (size_t k = 0; k < expected.size(); ++k) {
      CTString field;
      ASSERT_TRUE(s.bExtraitChaine(static_cast<int>(k), L";", &field)) << k;
      EXPECT_EQ(Text(field), expected[k]);
    }
    EXPECT_FALSE(s.bExtraitChaine(static_cast<int>(expected.size()), L";", nullptr));
  }
}

TEST_F(WideString, OnlyTrailingBlanksAreRemovedBySansEspace) {
  CTString s(L"ab \t ");
  s.SansEspace();
  EXPECT_EQ(Text(s), L"ab \t");
  CTString blanks(L"   ");
  blanks.SansEspace();
  EXPECT_EQ(blanks.nTaille(), 0);
}

TEST_F(WideString, AnEightBitTextIsReadInCodePage1252) {
  EXPECT_EQ(Text(CTString("\xE9")), L"\u00e9");
  EXPECT_EQ(Text(CTString("\x80")), L"\u20ac");
  CTString s;
  s.SetANSIEx("abcdef", 3, 1252);  // only the bytes asked for
  EXPECT_EQ(Text(s), L"abc");
  s.SetANSIEx("h\xC3\xA9!", -1, 65001);
  EXPECT_EQ(Text(s), L"h\u00e9!");
}

TEST_F(WideString, EllipsisAlwaysLeavesATerminatedTextOfAtMostMaxCharacters) {
  struct Case {
    const char* name;
    const wchar_t* text;
    unsigned int max;
    int where;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {"fits", L"abc", 5, ELLIPSIS_END, L"abc"},
      {"at the end", L"abcdefgh", 5, ELLIPSIS_END, L"ab..."},
      {"at the start", L"abcdefgh", 5, ELLIPSIS_START, L"...gh"},
      {"max below 3", L"abcdefgh", 2, ELLIPSIS_END, L"ab"},
      {"max 0", L"abcdefgh", 0, ELLIPSIS_END, L""},
      {"unknown place", L"abcdefgh", 5, 7, L"abcde"},
      {"null text", nullptr, 5, ELLIPSIS_END, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTString s(L"previous text");
    s.Ellipse(c.text, c.max, static_cast<eELLIPSISPOSITION>(c.where));
    EXPECT_EQ(Text(s), c.expected);
  }
  CTString middle;
  middle.Ellipse(L"abcdefghij", 7, ELLIPSIS_MIDDLE);
  EXPECT_EQ(middle.nTaille(), 7);
  EXPECT_NE(middle.nPos(L"..."), -1);
}

TEST_F(WideString, ComparisonsReadANullBufferAsEmpty) {
  CTString s(L"Abc");
  EXPECT_TRUE(s.bEstEgal(L"Abc"));
  EXPECT_FALSE(s.bEstEgal(L"abc"));
  EXPECT_TRUE(s.bEstEgalI(L"aBC"));
  EXPECT_TRUE(CTString().bEstEgalI(L""));
  EXPECT_FALSE(CTString().bEstEgalI(L"a"));
  EXPECT_TRUE(CTString() == CTString(L""));
  EXPECT_TRUE(s != CTString(L"abc"));
  EXPECT_TRUE(s.bCommencePar(L"Ab"));
  EXPECT_FALSE(s.bCommencePar(L"Abcd"));
  EXPECT_TRUE(s.bTerminePar(L"bc"));
  EXPECT_TRUE(s.bTerminePar(L""));
  EXPECT_TRUE(s.bTermineParI(L"BC"));
  EXPECT_TRUE(s.bCommenceParI(L"aB"));
  EXPECT_TRUE(s.bTerminePar(L'c'));
  EXPECT_FALSE(CTString().bTerminePar(L'c'));
}

TEST_F(WideString, ExtractionsCutAtTheEnds) {
  CTString s(L"abcdef");
  EXPECT_EQ(Text(s.clMilieu(2, 2)), L"cd");
  EXPECT_EQ(Text(s.clMilieu(4, 100)), L"ef");
  EXPECT_EQ(Text(s.clMilieu(7)), L"");
  EXPECT_EQ(Text(s.clGauche(2)), L"ab");
  EXPECT_EQ(Text(s.clDroite(2)), L"ef");
  EXPECT_EQ(Text(s.clDroite(10)), L"abcdef");
  EXPECT_EQ(Text(s.clDroite(0)), L"");
  EXPECT_EQ(Text(s.clExclu(L"dc")), L"ab");
  EXPECT_EQ(Text(s.clContientUniquement(L"ba")), L"ab");
  EXPECT_EQ(Text(s + L"gh"), L"abcdefgh");
}

TEST_F(WideString, SettingFromAPartBeforeOrAfterACharacter) {
  struct Case {
    const char* name;
    const wchar_t* (CTString::*op)(const wchar_t*, wchar_t);
    const wchar_t* text;
    const wchar_t* expected;
    int returned;  // offset into text, -1 null
  };
  const wchar_t* kText = L"a.b.c";
  const Case cases[] = {
      {"FinPremier", &CTString::pszSetFinPremier, kText, L"b.c", 2},
      {"FinDernier", &CTString::pszSetFinDernier, kText, L"c", 4},
      {"DebutPremier", &CTString::pszSetDebutPremier, kText, L"a", 2},
      {"DebutDernier", &CTString::pszSetDebutDernier, kText, L"a.b", 4},
      {"FinPremier absent", &CTString::pszSetFinPremier, L"abc", L"abc", -1},
      {"FinPremierExistant absent", &CTString::pszSetFinPremierExistant, L"abc", L"", 0},
      {"FinDernierExistant absent", &CTString::pszSetFinDernierExistant, L"abc", L"", 0},
      {"DebutPremier absent", &CTString::pszSetDebutPremier, L"abc", L"abc", -1},
      {"DebutDernier absent", &CTString::pszSetDebutDernier, L"abc", L"abc", -1},
      {"DebutPremierExistant absent", &CTString::pszSetDebutPremierExistant, L"abc", L"", 0},
      {"DebutDernierExistant", &CTString::pszSetDebutDernierExistant, kText, L"a.b", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTString s(L"previous");
    const wchar_t* p = (s.*c.op)(c.text, L'.');
    EXPECT_EQ(Text(s), c.expected);
    EXPECT_EQ(p, c.returned < 0 ? nullptr : c.text + c.returned);
  }
}

TEST_F(WideString, SmallEditsAndNumbers) {
  CTString s;
  s.SetI4(-42);
  EXPECT_EQ(Text(s), L"-42");
  s.AddI8(-9223372036854775807LL - 1);
  EXPECT_EQ(Text(s), L"-42-9223372036854775808");
  s = L"a b c";
  s.Insecable();
  EXPECT_EQ(Text(s), L"a\u00a0b\u00a0c");
  s = L"  x  ";
  s.Trim();
  EXPECT_EQ(Text(s), L"x");
  s = L"--x--";
  s.LTrim(L'-');
  EXPECT_EQ(Text(s), L"x--");
  s.RTrim(L'-');
  EXPECT_EQ(Text(s), L"x");
  s = L"abc";
  s.Remplace(L'b', L'X');
  EXPECT_EQ(Text(s), L"aXc");
  s = L'q';
  EXPECT_EQ(Text(s), L"q");
  s = L'\0';
  EXPECT_EQ(s.nTaille(), 0);
}

TEST_F(WideString, CaseMappingsGoThroughTheLocaleService) {
  CTString s(L"\u00e9t\u00e9");
  s.Majuscule();
  EXPECT_EQ(Text(s), L"\u00c9T\u00c9");
  s.Minuscule();
  EXPECT_EQ(Text(s), L"\u00e9t\u00e9");
  s.SansAccent();
  EXPECT_EQ(Text(s), L"ete");
  s.SetStandard(L"\u00e9t\u00e9");
  EXPECT_EQ(Text(s), L"ETE");
}

TEST_F(WideString, CountedStringsAreReadAndAppended) {
  CXYString<wchar_t> counted(L"xyz");
  CTString s(L"ab");
  s.Add(counted);
  EXPECT_EQ(Text(s), L"abxyz");
  s.Set(&counted);
  EXPECT_EQ(Text(s), L"xyz");
  s.Set(CXYString<wchar_t>());
  EXPECT_EQ(s.nTaille(), 0);
}

TEST_F(WideString, PrintfUsesTheWindowsConvention) {
  CTString s(L"old");
  EXPECT_EQ(s.printf(L"%s|%S|%d|%c", L"w\u00e9", "n", 7, L'\u00e9'), 8);
  EXPECT_EQ(Text(s), L"w\u00e9|n|7|\u00e9");
  s.AddPrintf(L"+%03d", 5);
  EXPECT_EQ(Text(s), L"w\u00e9|n|7|\u00e9+005");
}

// The length estimate does not know positional arguments and is far below
// the text here: the text is formatted again with more room, never past it.
TEST_F(WideString, PrintfGrowsPastAnEstimateThatFallsShort) {
  const std::wstring big(5000, L'x');
  CTString s;
  EXPECT_EQ(s.printf(L"%2$s%1$s", L"<", big.c_str()), 5001);
  EXPECT_EQ(Text(s), big + L"<");
  EXPECT_EQ(s.printf(L"%.600f", 1e300), 301 + 1 + 600);
}

TEST_F(WideString, PrintfThatCannotFormatLeavesTheStringUnchanged) {
  CTString s(L"kept");
  // An 8-bit character above 127 has no wide form in the C locale.
  EXPECT_EQ(s.printf(L"%C", 0xE9), -1);
  EXPECT_EQ(Text(s), L"kept");
}

TEST_F(WideString, FormatMessageTakesInsertsFromTheVariableArguments) {
  CTString s(L"old");
  EXPECT_EQ(s.FormatMessageWin(L"%1!d! %2", 7, L"abc"), 5);
  EXPECT_EQ(Text(s), L"7 abc");
  EXPECT_EQ(s.FormatMessageWin(L"bad %"), 0);
  EXPECT_EQ(Text(s), L"7 abc");
  EXPECT_EQ(s.FormatMessageW(L"%s=%d", L"n", 3), 3);
  EXPECT_EQ(Text(s), L"n=3");
  CTStringFormatMessage message(L"%s-%d", L"m", 4);
  EXPECT_EQ(Text(message), L"m-4");
}

TEST_F(WideString, TemporaryNamesKeepTheirPrefix) {
  CTString s;
  s.FichierTemporaire(L"kq\u00e9");
  ASSERT_GT(s.nTaille(), 0);
  EXPECT_EQ(s.cGetChar(0), L'/');
  EXPECT_NE(s.nPos(L"kq\u00e9"), -1);
}

// Every allocation of each operation's road is refused in turn: the string
// keeps its text (or, for the operations that replace it wholesale, is left
// as before as well), and nothing leaks (the leak check of the sanitized
// build sees every block).
TEST_F(WideString, ARefusedAllocationLeavesTheStringAsItWas) {
  struct Case {
    const char* name;
    void (*op)(CTString&);
  };
  const Case cases[] = {
      {"Set", [](CTString& s) { s.Set(L"other text"); }},
      {"Set n", [](CTString& s) { s.Set(L"other text", 5u); }},
      {"Set four", [](CTString& s) { s.Set(L"a", L"b", L"c", L"d"); }},
      {"Set char", [](CTString& s) { s.Set(L'x'); }},
      {"Add", [](CTString& s) { s.Add(L"more"); }},
      {"Add three", [](CTString& s) { s.Add(L"a", L"b", L"c"); }},
      {"Add char", [](CTString& s) { s.Add(L'x'); }},
      {"Insert", [](CTString& s) { s.Insert(L"in", -1, 2); }},
      {"Insert char", [](CTString& s) { s.Insert(L'x'); }},
      {"Complete", [](CTString& s) { s.Complete(30, L'.'); }},
      {"Remplace range", [](CTString& s) { s.Remplace(1, 2, L"XYZ"); }},
      {"Remplace pattern", [](CTString& s) { s.Remplace(L"a", L"AA"); }},
      {"RemplaceI", [](CTString& s) { s.RemplaceI(L"A", L"xx"); }},
      {"Ellipse", [](CTString& s) { s.Ellipse(L"a long text here", 5, ELLIPSIS_END); }},
      {"SetANSIEx", [](CTString& s) { s.SetANSIEx("bytes", -1, 1252); }},
      {"SetStandard", [](CTString& s) { s.SetStandard(L"std"); }},
      {"SetI8", [](CTString& s) { s.SetI8(123456); }},
      {"printf", [](CTString& s) { s.printf(L"%s and %d", L"text", 5); }},
      {"printf, long format",
       [](CTString& s) {
         s.printf(
             L"%s ........................................................................."
             L"........................................................................."
             L".........................................",
             L"x");
       }},
      {"FormatMessageWin", [](CTString& s) { s.FormatMessageWin(L"%1 %2!d!", L"a", 5); }},
      {"FormatMessageW", [](CTString& s) { s.FormatMessageW(L"%s", L"a"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring kStart = L"a start text";
    CTString s(kStart.c_str());
    c.op(s);
    const std::wstring done = Text(s);
    // Some allocations only trim a result to size: refusing them still
    // succeeds. Any other refusal leaves the text as it was.
    kqtest::ForEachRefusedAllocation([&] { s = kStart.c_str(); }, [&] { c.op(s); },
                                     [&](int k) {
                                       SCOPED_TRACE(testing::Message() << "refused #" << k);
                                       const std::wstring now = Text(s);
                                       EXPECT_TRUE(now == kStart || now == done);
                                     });
  }
}

}  // namespace
