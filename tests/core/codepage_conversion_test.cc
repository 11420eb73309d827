// Code-page conversion over iconv, checked against iconv called directly.
#include "core/codepage_conversion.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstring>
#include <cwchar>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/char_conv.h"
#include "tests/support/program_end.h"

namespace {

using std::string;
using std::wstring;

// ---------------------------------------------------------------------------
// iconv called directly: the reference.

// The whole of in converted from one name to another with a fresh descriptor,
// shift state flushed; false when iconv refuses anything.
bool bIConvDirect(const char* pszTo, const char* pszFrom, const string& in, string* pOut) {
  iconv_t cd = iconv_open(pszTo, pszFrom);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  string out(in.size() * 8 + 16, '\0');
  char* pIn = const_cast<char*>(in.data());
  size_t nIn = in.size();
  char* pOutNext = out.data();
  size_t nFree = out.size();
  bool bOk = iconv(cd, &pIn, &nIn, &pOutNext, &nFree) != static_cast<size_t>(-1) &&
             iconv(cd, nullptr, nullptr, &pOutNext, &nFree) != static_cast<size_t>(-1);
  iconv_close(cd);
  out.resize(out.size() - nFree);
  *pOut = out;
  return bOk;
}

string WideBytes(const wstring& w) {
  return string(reinterpret_cast<const char*>(w.data()), w.size() * sizeof(wchar_t));
}

wstring BytesWide(const string& s) {
  wstring w(s.size() / sizeof(wchar_t), L'\0');
  std::memcpy(w.data(), s.data(), w.size() * sizeof(wchar_t));
  return w;
}

// The descriptors of bIConvChar, one per code page name from UTF-32LE: opening
// one per character would load iconv's module each time. Kept for the whole
// program and closed before its leak balance (tests/support/program_end.h).
// Threads: the main thread's only.
class CIConvCharDescriptors {
 public:
  CIConvCharDescriptors() = default;
  ~CIConvCharDescriptors() { Close(); }
  CIConvCharDescriptors(const CIConvCharDescriptors&) = delete;
  CIConvCharDescriptors& operator=(const CIConvCharDescriptors&) = delete;

  // The descriptor for pszName, or (iconv_t)-1 when iconv does not know it.
  iconv_t cd(const char* pszName) {
    auto it = m_descriptors.find(pszName);
    if (it == m_descriptors.end())
      it = m_descriptors.emplace(pszName, iconv_open(pszName, "UTF-32LE")).first;
    return it->second;
  }

  void Close() {
    for (const auto& [strName, cd] : m_descriptors) {
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
    m_descriptors.clear();
  }

 private:
  std::map<string, iconv_t> m_descriptors;
};

CIConvCharDescriptors& CharDescriptors() {
  static CIConvCharDescriptors descriptors;
  static const kqtest::ProgramEndRelease release([] { CharDescriptors().Close(); });
  return descriptors;
}

// The bytes of one character in a code page by iconv directly; false when the
// code page has no form for it. One descriptor per name, reset before each
// character (the callers use stateless code pages).
bool bIConvChar(const char* pszName, wchar_t c, string* pOut) {
  iconv_t cd = CharDescriptors().cd(pszName);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char acOut[16];
  char* pIn = reinterpret_cast<char*>(&c);
  size_t nIn = sizeof c;
  char* pOutNext = acOut;
  size_t nFree = sizeof acOut;
  if (iconv(cd, &pIn, &nIn, &pOutNext, &nFree) == static_cast<size_t>(-1) ||
      iconv(cd, nullptr, nullptr, &pOutNext, &nFree) == static_cast<size_t>(-1))
    return false;
  pOut->assign(acOut, sizeof acOut - nFree);
  return true;
}

// Code page text to wide by MultiByteToWideChar, through the two-pass road of
// the callers (size, then convert); false when either pass answers 0.
bool bToWide(unsigned int nCodePage, const string& in, wstring* pOut, unsigned int dwFlags = 0) {
  const int nNeeded = MultiByteToWideChar(nCodePage, dwFlags, in.data(),
                                          static_cast<int>(in.size()), nullptr, 0);
  if (nNeeded == 0) return false;
  wstring out(static_cast<size_t>(nNeeded), L'\0');
  const int nWritten = MultiByteToWideChar(nCodePage, dwFlags, in.data(),
                                           static_cast<int>(in.size()), out.data(), nNeeded);
  EXPECT_EQ(nWritten, nNeeded) << "the counting pass and the conversion disagree";
  if (nWritten != nNeeded) return false;
  *pOut = out;
  return true;
}

// Wide text to a code page by WideCharToMultiByte, two passes; false on 0.
bool bFromWide(unsigned int nCodePage, const wstring& in, string* pOut, int* pbUsed = nullptr,
               const char* pszDefault = nullptr) {
  int bUsedCount = -1;
  const int nNeeded = WideCharToMultiByte(nCodePage, 0, in.data(), static_cast<int>(in.size()),
                                          nullptr, 0, pszDefault, &bUsedCount);
  if (nNeeded == 0) return false;
  string out(static_cast<size_t>(nNeeded), '\0');
  int bUsed = -1;
  const int nWritten = WideCharToMultiByte(nCodePage, 0, in.data(), static_cast<int>(in.size()),
                                           out.data(), nNeeded, pszDefault, &bUsed);
  EXPECT_EQ(nWritten, nNeeded) << "the counting pass and the conversion disagree";
  EXPECT_EQ(bUsed, bUsedCount);
  if (nWritten != nNeeded) return false;
  if (pbUsed != nullptr) *pbUsed = bUsed;
  *pOut = out;
  return true;
}

// Characters that random texts draw from: ASCII, Latin-1, the CP1252 extras
// and the five C1 controls it reads, Cyrillic, Greek, Hebrew, kana, CJK, Hangul,
// full-width forms, characters beyond the BMP, a surrogate and a value beyond
// Unicode (which no code page holds).
wchar_t RandomChar(std::mt19937& rng) {
  static const std::pair<unsigned int, unsigned int> kRanges[] = {
      {0x20, 0x7E},     {0x01, 0x1F},     {0xA0, 0xFF},     {0x80, 0x9F},
      {0x152, 0x192},   {0x2013, 0x2122}, {0x400, 0x45F},   {0x391, 0x3C9},
      {0x5D0, 0x5EA},   {0x3041, 0x30FF}, {0x4E00, 0x9FA5}, {0xAC00, 0xD7A3},
      {0xFF01, 0xFF9F}, {0x1F600, 0x1F64F}, {0x20000, 0x2A6D6}, {0xD800, 0xDFFF},
      {0x110000, 0x110010},
  };
  const auto& range = kRanges[rng() % (sizeof kRanges / sizeof kRanges[0])];
  return static_cast<wchar_t>(range.first + rng() % (range.second - range.first + 1));
}

// A random text that the code page holds whole: every character is one that
// iconv encodes. For 1252 the five bytes iconv rejects are left out (they are
// checked against the framework's table below).
string RandomCodePageText(std::mt19937& rng, const char* pszName, size_t nChars) {
  string text;
  while (nChars > 0) {
    const wchar_t c = RandomChar(rng);
    if (c == 0) continue;
    string bytes;
    if (!bIConvChar(pszName, c, &bytes)) continue;
    text += bytes;
    --nChars;
  }
  return text;
}

const unsigned int kCheckedCodePages[] = {1252, 65001, 932, 936, 1251};

// ---------------------------------------------------------------------------
// The table of names

TEST(CodePageNames, TheTableGivesThePartsNames) {
  EXPECT_STREQ(CodePageToIConv(437), "CP1252");
  EXPECT_STREQ(CodePageToIConv(1), "CP437");
  EXPECT_STREQ(CodePageToIConv(28597), "ISO-8859-7");
  EXPECT_STREQ(CodePageToIConv(0), "CP1252");
  EXPECT_STREQ(CodePageToIConv(-1), "CP1252");
  EXPECT_STREQ(CodePageToIConv(1250), "CP1250");
  EXPECT_STREQ(CodePageToIConv(1258), "CP1258");
  EXPECT_STREQ(CodePageToIConv(1259), "CP1252");
  EXPECT_STREQ(CodePageToIConv(28591), "ISO-8859-1");
  EXPECT_STREQ(CodePageToIConv(28599), "ISO-8859-9");
  EXPECT_STREQ(CodePageToIConv(28600), "CP1252");
  EXPECT_STREQ(CodePageToIConv(28603), "ISO-8859-13");
  EXPECT_STREQ(CodePageToIConv(28605), "ISO-8859-15");
  EXPECT_STREQ(CodePageToIConv(1047), "IBM1047");
  EXPECT_STREQ(CodePageToIConv(20932), "EUC-JP");
  EXPECT_STREQ(CodePageToIConv(54936), "GB18030");
  EXPECT_STREQ(CodePageToIConv(65001), "UTF-8");
  int nCount = 0;
  const _stCodePageName* pTable = CodePage_pGetTable(&nCount);
  EXPECT_EQ(nCount, 37);
  for (int i = 0; i < nCount; ++i) {
    EXPECT_STREQ(CodePageToIConv(static_cast<int>(pTable[i].nCodePage)), pTable[i].pszIConvName);
  }
}

TEST(CodePageNames, EveryNameOfTheTableOpensInBothDirections) {
  int nCount = 0;
  const _stCodePageName* pTable = CodePage_pGetTable(&nCount);
  for (int i = 0; i < nCount; ++i) {
    SCOPED_TRACE(pTable[i].pszIConvName);
    for (const char* pszWide : {"UTF32LE", "UTF32LE//IGNORE"}) {
      iconv_t cd = iconv_open(pszWide, pTable[i].pszIConvName);
      EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << "to " << pszWide;
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
    iconv_t cd = iconv_open(pTable[i].pszIConvName, "UTF32LE");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << "from UTF32LE";
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    // And through the functions themselves: "A" both ways (EBCDIC has its own
    // byte for it).
    wchar_t acWide[2] = {};
    char acBytes[8] = {};
    ASSERT_EQ(WideCharToMultiByte(pTable[i].nCodePage, 0, L"A", 1, acBytes, 8, nullptr, nullptr), 1);
    ASSERT_EQ(MultiByteToWideChar(pTable[i].nCodePage, 0, acBytes, 1, acWide, 2), 1);
    EXPECT_EQ(acWide[0], L'A');
  }
}

TEST(CodePageNames, OnlyCp1255AndCp1258HoldBackAndOnlyIso2022JpShifts) {
  // The conversions flush iconv's state only for these three (see
  // codepage_conversion.cc): check that no other converter of the table keeps
  // anything back when decoding (single bytes, and each byte after a letter
  // or a lead byte) or writes anything on a flush when encoding.
  auto bFlushWrites = [](iconv_t cd, const string& in) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* pIn = const_cast<char*>(in.data());
    size_t nIn = in.size();
    char acOut[64];
    char* pOut = acOut;
    size_t nFree = sizeof acOut;
    if (iconv(cd, &pIn, &nIn, &pOut, &nFree) == static_cast<size_t>(-1)) return false;
    const size_t nBefore = nFree;
    iconv(cd, nullptr, nullptr, &pOut, &nFree);
    return nFree != nBefore;
  };
  int nCount = 0;
  const _stCodePageName* pTable = CodePage_pGetTable(&nCount);
  for (int i = 0; i < nCount; ++i) {
    const string name = pTable[i].pszIConvName;
    SCOPED_TRACE(name);
    iconv_t cdDecode = iconv_open("UTF-32LE", name.c_str());
    iconv_t cdEncode = iconv_open(name.c_str(), "UTF-32LE");
    ASSERT_NE(cdDecode, reinterpret_cast<iconv_t>(-1));
    ASSERT_NE(cdEncode, reinterpret_cast<iconv_t>(-1));
    bool bHolds = false;
    for (int b = 0; b < 256 && !bHolds; ++b) {
      for (int lead : {-1, int{'a'}, 0x83, 0xA4, 0xE0}) {
        string in;
        if (lead >= 0) in += static_cast<char>(lead);
        in += static_cast<char>(b);
        if (bFlushWrites(cdDecode, in)) bHolds = true;
      }
    }
    bool bShifts = false;
    for (unsigned int c = 1; c < 0x10000 && !bShifts; c += c < 0x3100 ? 1 : 7) {
      const wchar_t w = static_cast<wchar_t>(c);
      if (bFlushWrites(cdEncode, string(reinterpret_cast<const char*>(&w), sizeof w))) bShifts = true;
    }
    iconv_close(cdDecode);
    iconv_close(cdEncode);
    EXPECT_EQ(bHolds, name == "CP1255" || name == "CP1258");
    EXPECT_EQ(bShifts, name == "ISO-2022-JP");
  }
}

// ---------------------------------------------------------------------------
// CP1252: the framework's table on both roads

TEST(Cp1252, EveryByteReadsAsTheFrameworksTableSays) {
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    wchar_t w = 0xFFFF;
    ASSERT_EQ(MultiByteToWideChar(1252, 0, &c, 1, &w, 1), 1) << b;
    EXPECT_EQ(w, STR_FromCP1252(c)) << b;
    // And iconv agrees wherever it defines the byte.
    string viaIConv;
    if (bIConvDirect("UTF-32LE", "CP1252", string(1, c), &viaIConv)) {
      EXPECT_EQ(BytesWide(viaIConv), wstring(1, w)) << b;
    } else {
      EXPECT_TRUE(b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) << b;
      EXPECT_EQ(w, static_cast<wchar_t>(b));  // the C1 control of the same value
    }
  }
}

TEST(Cp1252, TheFiveBytesIConvRejectsConvertStrictlyToo) {
  const char acBytes[] = {'\x81', '\x8D', '\x8F', '\x90', '\x9D'};
  wchar_t acWide[5] = {};
  ASSERT_EQ(MultiByteToWideChar(1252, MB_ERR_INVALID_CHARS, acBytes, 5, acWide, 5), 5);
  EXPECT_EQ(wstring(acWide, 5), wstring(L"\x81\x8D\x8F\x90\x9D"));
  // Code page 0 and unknown code pages are 1252.
  for (unsigned int nCodePage : {0u, 437u, 12345u, 0xFFFFFFFFu}) {
    ASSERT_EQ(MultiByteToWideChar(nCodePage, 0, acBytes, 5, acWide, 5), 5) << nCodePage;
    EXPECT_EQ(wstring(acWide, 5), wstring(L"\x81\x8D\x8F\x90\x9D")) << nCodePage;
  }
}

TEST(Cp1252, EveryCharacterThatHasAByteGetsIt) {
  // The whole wide side: every code point up to U+FFFF, plus a few beyond.
  int nWithByte = 0;
  for (unsigned int c = 1; c <= 0x10FFFF; c = c < 0x10000 ? c + 1 : c + 0x3FF) {
    const wchar_t w = static_cast<wchar_t>(c);
    unsigned char b = 0;
    const bool bHasByte = STR_bIsCp1252(w, b) != 0;
    char acOut[4] = {};
    int bUsed = -1;
    ASSERT_EQ(WideCharToMultiByte(1252, 0, &w, 1, acOut, 4, nullptr, &bUsed), 1) << c;
    if (bHasByte) {
      ++nWithByte;
      EXPECT_EQ(static_cast<unsigned char>(acOut[0]), b) << c;
      EXPECT_EQ(bUsed, 0) << c;
      EXPECT_EQ(STR_FromCP1252(acOut[0]), w) << c;  // and back
    } else {
      EXPECT_EQ(acOut[0], '?') << c;
      EXPECT_EQ(bUsed, 1) << c;
    }
  }
  EXPECT_EQ(nWithByte, 127 + 96 + 27);  // 1-127, 160-255, the 27 of 0x80-0x9F
}

TEST(Cp1252, WideToCp1252AgreesWithIConvWhereIConvHasAByte) {
  for (unsigned int c = 1; c < 0x2200; ++c) {
    const wchar_t w = static_cast<wchar_t>(c);
    string viaIConv;
    const bool bIConv = bIConvChar("CP1252", w, &viaIConv);
    char acOut[4] = {};
    int bUsed = 0;
    ASSERT_EQ(WideCharToMultiByte(1252, 0, &w, 1, acOut, 4, nullptr, &bUsed), 1);
    if (bIConv) {
      EXPECT_EQ(string(acOut, 1), viaIConv) << c;
    } else {
      EXPECT_EQ(bUsed, 1) << c;
    }
  }
}

TEST(Cp1252, OneToOneBetweenCodePages) {
  // 1252 to 1252 is the text itself, the five bytes included.
  string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  string out(all.size(), '\0');
  ASSERT_EQ(MultiByteToMultiByte(1252, all.data(), static_cast<unsigned>(all.size()), 0, out.data(),
                                 static_cast<unsigned>(out.size()), 0),
            255);
  EXPECT_EQ(out, all);
  // 1252 to UTF-8 reads 0x81 as U+0081.
  char acUtf8[8] = {};
  ASSERT_EQ(MultiByteToMultiByte(1252, "\x81\x80", 2, 65001, acUtf8, sizeof acUtf8, 0), 5);
  EXPECT_EQ(string(acUtf8, 5), "\xC2\x81\xE2\x82\xAC");
  // UTF-8 to 1252: the euro sign has a byte, U+0081 none (no replacement here).
  ASSERT_EQ(MultiByteToMultiByte(65001, "\xE2\x82\xAC", 3, 1252, acUtf8, sizeof acUtf8, 0), 1);
  EXPECT_EQ(acUtf8[0], '\x80');
  EXPECT_EQ(MultiByteToMultiByte(65001, "\xC2\x81", 2, 1252, acUtf8, sizeof acUtf8, 0), 0);
  EXPECT_EQ(MultiByteToMultiByte(65001, "a\xCE\xA9", 3, 1252, nullptr, 0, 0), 0);
}

// ---------------------------------------------------------------------------
// Random texts against iconv called directly

TEST(AgainstIConv, CodePageTextsDecodeAsIConvDecodesThem) {
  std::mt19937 rng(20240611);
  for (unsigned int nCodePage : kCheckedCodePages) {
    const char* pszName = CodePageToIConv(static_cast<int>(nCodePage));
    SCOPED_TRACE(pszName);
    for (int nRound = 0; nRound < 60; ++nRound) {
      // Now and then a text longer than the counting pass's scratch area.
      const size_t nChars = nRound % 20 == 0 ? 1500 : rng() % 40 + 1;
      const string text = RandomCodePageText(rng, pszName, nChars);
      string expected;
      ASSERT_TRUE(bIConvDirect("UTF-32LE", pszName, text, &expected));
      wstring got;
      ASSERT_TRUE(bToWide(nCodePage, text, &got)) << nRound;
      EXPECT_EQ(got, BytesWide(expected)) << nRound;
      ASSERT_TRUE(bToWide(nCodePage, text, &got, MB_ERR_INVALID_CHARS)) << nRound;
      EXPECT_EQ(got, BytesWide(expected)) << nRound;
    }
  }
}

TEST(AgainstIConv, RandomBytesFailExactlyWhereIConvFails) {
  std::mt19937 rng(77);
  for (unsigned int nCodePage : kCheckedCodePages) {
    const char* pszName = CodePageToIConv(static_cast<int>(nCodePage));
    SCOPED_TRACE(pszName);
    int nAccepted = 0;
    for (int nRound = 0; nRound < 400; ++nRound) {
      string bytes(rng() % 12 + 1, '\0');
      for (char& c : bytes) c = static_cast<char>(rng() % 2 ? rng() % 256 : 0x40 + rng() % 0x40);
      string expected;
      bool bIConvOk = bIConvDirect("UTF-32LE", pszName, bytes, &expected);
      if (nCodePage == 1252) {
        // The framework's table defines every byte.
        bIConvOk = true;
        expected.clear();
        for (char c : bytes) expected += WideBytes(wstring(1, STR_FromCP1252(c)));
      }
      wstring got;
      const bool bOk = bToWide(nCodePage, bytes, &got);
      ASSERT_EQ(bOk, bIConvOk) << nRound;
      if (bOk) {
        ++nAccepted;
        EXPECT_EQ(got, BytesWide(expected)) << nRound;
      }
      wstring gotStrict;
      EXPECT_EQ(bToWide(nCodePage, bytes, &gotStrict, MB_ERR_INVALID_CHARS), bIConvOk) << nRound;
    }
    EXPECT_GT(nAccepted, 0);
  }
}

TEST(AgainstIConv, WideTextsEncodeAsIConvEncodesEachCharacter) {
  std::mt19937 rng(4242);
  for (unsigned int nCodePage : kCheckedCodePages) {
    const char* pszName = CodePageToIConv(static_cast<int>(nCodePage));
    SCOPED_TRACE(pszName);
    for (int nRound = 0; nRound < 60; ++nRound) {
      wstring text(nRound % 20 == 0 ? 1500 : rng() % 40 + 1, L'\0');
      for (wchar_t& c : text) {
        do c = RandomChar(rng); while (c == 0);
      }
      // The reference: each character by iconv, "?" where it has none.
      string expected;
      bool bReplaced = false;
      for (wchar_t c : text) {
        string bytes;
        if (nCodePage == 1252) {
          unsigned char b = 0;
          // iconv's CP1252 and the framework's table agree on the wide side.
          if (bIConvChar("CP1252", c, &bytes)) {
            ASSERT_TRUE(STR_bIsCp1252(c, b)) << static_cast<unsigned>(c);
          }
        }
        if (bIConvChar(pszName, c, &bytes)) {
          expected += bytes;
        } else {
          expected += '?';
          bReplaced = true;
        }
      }
      string got;
      int bUsed = -1;
      ASSERT_TRUE(bFromWide(nCodePage, text, &got, &bUsed)) << nRound;
      EXPECT_EQ(got, expected) << nRound;
      EXPECT_EQ(bUsed != 0, bReplaced) << nRound;
    }
  }
}

TEST(AgainstIConv, EveryCodePageOfTheTableConvertsAsIConvDoes) {
  std::mt19937 rng(1361);
  int nCount = 0;
  const _stCodePageName* pTable = CodePage_pGetTable(&nCount);
  for (int i = 0; i < nCount; ++i) {
    SCOPED_TRACE(pTable[i].pszIConvName);
    for (size_t nChars : {size_t{1}, size_t{30}, size_t{1200}}) {
      const string text = RandomCodePageText(rng, pTable[i].pszIConvName, nChars);
      string expected;
      ASSERT_TRUE(bIConvDirect("UTF-32LE", pTable[i].pszIConvName, text, &expected));
      wstring wide;
      ASSERT_TRUE(bToWide(pTable[i].nCodePage, text, &wide)) << nChars;
      EXPECT_EQ(wide, BytesWide(expected)) << nChars;
      string back, expectedBack;
      ASSERT_TRUE(bIConvDirect(pTable[i].pszIConvName, "UTF-32LE", expected, &expectedBack));
      ASSERT_TRUE(bFromWide(pTable[i].nCodePage, wide, &back)) << nChars;
      EXPECT_EQ(back, expectedBack) << nChars;
    }
  }
}

TEST(AgainstIConv, CodePageToCodePageAsIConvDoesIt) {
  std::mt19937 rng(99);
  const std::pair<unsigned int, unsigned int> kPairs[] = {
      {932, 65001}, {65001, 932}, {936, 1251}, {1251, 65001}, {65001, 936}, {932, 936}};
  for (const auto& pair : kPairs) {
    const char* pszFrom = CodePageToIConv(static_cast<int>(pair.first));
    const char* pszTo = CodePageToIConv(static_cast<int>(pair.second));
    SCOPED_TRACE(testing::Message() << pszFrom << " -> " << pszTo);
    for (int nRound = 0; nRound < 40; ++nRound) {
      const string text = RandomCodePageText(rng, pszFrom, nRound % 20 == 0 ? 1500 : rng() % 30 + 1);
      string expected;
      const bool bIConvOk = bIConvDirect(pszTo, pszFrom, text, &expected);
      const int nNeeded = MultiByteToMultiByte(pair.first, text.data(),
                                               static_cast<unsigned>(text.size()), pair.second,
                                               nullptr, 0, 0);
      if (!bIConvOk) {
        EXPECT_EQ(nNeeded, 0);
        continue;
      }
      ASSERT_EQ(nNeeded, static_cast<int>(expected.size()));
      string got(expected.size(), '\0');
      ASSERT_EQ(MultiByteToMultiByte(pair.first, text.data(), static_cast<unsigned>(text.size()),
                                     pair.second, got.data(), static_cast<unsigned>(got.size()), 0),
                nNeeded);
      EXPECT_EQ(got, expected);
    }
  }
}

// ---------------------------------------------------------------------------
// Lengths, terminators, sizes

TEST(MultiByteToWideChar, LengthMinusOneCountsTheTerminator) {
  // The documented case: one three-byte UTF-8 character.
  EXPECT_EQ(MultiByteToWideChar(65001, 0, "\xE2\x82\xAC", -1, nullptr, 0), 2);
  wchar_t acOut[4] = {L'x', L'x', L'x', L'x'};
  ASSERT_EQ(MultiByteToWideChar(65001, 0, "\xE2\x82\xAC", -1, acOut, 4), 2);
  EXPECT_EQ(acOut[0], 0x20AC);
  EXPECT_EQ(acOut[1], 0);
  EXPECT_EQ(acOut[2], L'x');
  EXPECT_EQ(MultiByteToWideChar(932, 0, "", -1, acOut, 4), 1);
  EXPECT_EQ(acOut[0], 0);
}

TEST(MultiByteToWideChar, OutputSizesZeroAndOneAndTooSmall) {
  std::mt19937 rng(5);
  for (unsigned int nCodePage : kCheckedCodePages) {
    SCOPED_TRACE(nCodePage);
    const string text = RandomCodePageText(rng, CodePageToIConv(static_cast<int>(nCodePage)), 5);
    const int n = static_cast<int>(text.size());
    // Size 0 counts, whatever the pointer.
    wchar_t acGuard[8];
    std::wmemset(acGuard, L'#', 8);
    EXPECT_EQ(MultiByteToWideChar(nCodePage, 0, text.data(), n, acGuard + 1, 0), 5);
    // Size 1 for five characters: nothing beyond the one unit.
    errno = 0;
    EXPECT_EQ(MultiByteToWideChar(nCodePage, 0, text.data(), n, acGuard + 1, 1), 0);
    EXPECT_EQ(errno, E2BIG);
    EXPECT_EQ(acGuard[0], L'#');
    EXPECT_EQ(acGuard[2], L'#');
    // Size 4 for five: 0; 5: all.
    EXPECT_EQ(MultiByteToWideChar(nCodePage, 0, text.data(), n, acGuard + 1, 4), 0);
    EXPECT_EQ(acGuard[5], L'#');
    EXPECT_EQ(MultiByteToWideChar(nCodePage, 0, text.data(), n, acGuard + 1, 5), 5);
    EXPECT_EQ(acGuard[6], L'#');
    // Size 1 for one character.
    const string one = RandomCodePageText(rng, CodePageToIConv(static_cast<int>(nCodePage)), 1);
    EXPECT_EQ(MultiByteToWideChar(nCodePage, 0, one.data(), static_cast<int>(one.size()),
                                  acGuard + 1, 1), 1);
  }
}

TEST(MultiByteToWideChar, BadArgumentsGiveZero) {
  wchar_t acOut[4];
  EXPECT_EQ(MultiByteToWideChar(1252, 0, nullptr, 3, acOut, 4), 0);
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -2, acOut, 4), 0);
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 3, acOut, -1), 0);
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 0, acOut, 4), 0);
  EXPECT_EQ(MultiByteToWideChar(932, 0, "abc", 0, nullptr, 0), 0);
}

TEST(MultiByteToWideChar, CountedInputIsNotReadPastItsLength) {
  // The bytes after the length are not part of the text (and not terminated:
  // a read past the length would show under ASan).
  for (unsigned int nCodePage : kCheckedCodePages) {
    std::vector<char> bytes = {'a', 'b', 'c'};
    wchar_t acOut[3];
    ASSERT_EQ(MultiByteToWideChar(nCodePage, 0, bytes.data(), 3, acOut, 3), 3) << nCodePage;
    EXPECT_EQ(wstring(acOut, 3), L"abc");
  }
}

TEST(MultiByteToWideChar, TheLastLetterOfAVietnameseOrHebrewTextIsKept) {
  // glibc's CP1258 and CP1255 hold each base letter back until they know
  // whether a combining mark follows (and then compose them); the
  // conversion's end must still give the letter.
  struct Case { unsigned int nCodePage; string text; };
  const Case cases[] = {{1258, "A"}, {1258, "A\xEC"}, {1258, "Vi\xEA\xDE"}, {1258, "a\xECz"},
                        {1255, "\xE0"}, {1255, "\xF9\xD1"}, {1255, "a\xE1"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    string expected;
    ASSERT_TRUE(bIConvDirect("UTF-32LE", CodePageToIConv(static_cast<int>(c.nCodePage)), c.text,
                             &expected));
    ASSERT_FALSE(expected.empty());
    wstring got;
    ASSERT_TRUE(bToWide(c.nCodePage, c.text, &got));
    EXPECT_EQ(got, BytesWide(expected));
    // And between code pages.
    string utf8Expected;
    ASSERT_TRUE(bIConvDirect("UTF-8", CodePageToIConv(static_cast<int>(c.nCodePage)), c.text,
                             &utf8Expected));
    string utf8(utf8Expected.size(), '\0');
    EXPECT_EQ(MultiByteToMultiByte(c.nCodePage, c.text.data(), static_cast<unsigned>(c.text.size()),
                                   65001, utf8.data(), static_cast<unsigned>(utf8.size()), 0),
              static_cast<int>(utf8Expected.size()));
    EXPECT_EQ(utf8, utf8Expected);
  }
  wchar_t acOut[2] = {};
  ASSERT_EQ(MultiByteToWideChar(1258, 0, "A\xEC", 2, acOut, 2), 1);
  EXPECT_EQ(acOut[0], 0xC1);  // A and a combining acute: one letter
}

TEST(MultiByteToWideChar, ADoubleByteCharacterWhoseTrailIsABackslashIsOneCharacter) {
  // CP932 0x83 0x5C is KATAKANA LETTER SO, not 0x83 and a backslash.
  wchar_t acOut[4] = {};
  ASSERT_EQ(MultiByteToWideChar(932, 0, "\x83\x5C" "a\\", 4, acOut, 4), 3);
  EXPECT_EQ(acOut[0], 0x30BD);
  EXPECT_EQ(acOut[1], L'a');
  EXPECT_EQ(acOut[2], L'\\');
  EXPECT_EQ(MultiByteToWideChar(932, 0, "\x83\x5C", -1, nullptr, 0), 2);
  // And back: the character gives its two bytes.
  char acBytes[4] = {};
  ASSERT_EQ(WideCharToMultiByte(932, 0, L"\x30BD\\", 2, acBytes, 4, nullptr, nullptr), 3);
  EXPECT_EQ(string(acBytes, 3), "\x83\x5C\\");
}

TEST(MultiByteToWideChar, TruncatedOrMalformedInputGivesZero) {
  // nGood: a prefix of the bytes that converts.
  struct Case { const char* name; unsigned int nCodePage; string bytes; int nGood; };
  const Case cases[] = {
      {"CP932 lead byte at the end", 932, "ab\x83", 2},
      {"CP936 lead byte at the end", 936, "ab\xC4", 2},
      {"UTF-8 two of three bytes", 65001, "ab\xE2\x82", 2},
      {"UTF-8 one of four bytes", 65001, "\xF0", 0},
      {"UTF-8 lead byte then ASCII", 65001, "\xC3" "a", 0},
      {"UTF-8 overlong slash", 65001, "\xC0\xAF", 0},
      {"UTF-8 lone continuation byte", 65001, "x\x80", 1},
      {"UTF-8 surrogate", 65001, "\xED\xA0\x80", 0},
      {"UTF-8 beyond U+10FFFF", 65001, "\xF4\x90\x80\x80", 0},
      {"UTF-8 five-byte lead", 65001, "\xF8\x88\x80\x80\x80", 0},
      {"UTF-8 six-byte lead", 65001, "\xFC\x84\x80\x80\x80\x80", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    wchar_t acOut[8];
    const int n = static_cast<int>(c.bytes.size());
    EXPECT_EQ(MultiByteToWideChar(c.nCodePage, 0, c.bytes.data(), n, nullptr, 0), 0);
    EXPECT_EQ(MultiByteToWideChar(c.nCodePage, 0, c.bytes.data(), n, acOut, 8), 0);
    EXPECT_EQ(MultiByteToWideChar(c.nCodePage, MB_ERR_INVALID_CHARS, c.bytes.data(), n, acOut, 8), 0);
    if (c.nGood > 0) {
      EXPECT_EQ(MultiByteToWideChar(c.nCodePage, 0, c.bytes.data(), c.nGood, acOut, 8), c.nGood);
    }
  }
}

TEST(WideCharToMultiByte, TheLastCharacterWithoutAFormBecomesTheDefault) {
  // The documented case: the last character has no Windows-1252 form.
  char acOut[8] = {};
  int bUsed = -1;
  ASSERT_EQ(WideCharToMultiByte(1252, 0, L"ab\x3A9", 3, acOut, 8, nullptr, &bUsed), 3);
  EXPECT_EQ(string(acOut, 3), "ab?");
  EXPECT_EQ(bUsed, 1);
  // A default of several bytes is written whole.
  ASSERT_EQ(WideCharToMultiByte(1251, 0, L"\x3A9x", 2, acOut, 8, "<->", &bUsed), 4);
  EXPECT_EQ(string(acOut, 4), "<->x");
  EXPECT_EQ(WideCharToMultiByte(1251, 0, L"\x3A9\x20AC\x0E01", 3, nullptr, 0, "[]", &bUsed), 2 + 1 + 2);
  EXPECT_EQ(bUsed, 1);
  // A default that no longer fits: 0.
  EXPECT_EQ(WideCharToMultiByte(1252, 0, L"ab\x3A9", 3, acOut, 4, "<->", &bUsed), 0);
  // Surrogates and values beyond Unicode have no form anywhere.
  for (unsigned int nCodePage : kCheckedCodePages) {
    const wchar_t acBad[] = {0xD800, static_cast<wchar_t>(0x110000), static_cast<wchar_t>(-1)};
    ASSERT_EQ(WideCharToMultiByte(nCodePage, 0, acBad, 3, acOut, 8, nullptr, &bUsed), 3) << nCodePage;
    EXPECT_EQ(string(acOut, 3), "???") << nCodePage;
  }
}

TEST(WideCharToMultiByte, TheUsedDefaultFlagIsResetOnEveryCall) {
  int bUsed = 1;
  char acOut[4];
  ASSERT_EQ(WideCharToMultiByte(65001, 0, L"a", 1, acOut, 4, nullptr, &bUsed), 1);
  EXPECT_EQ(bUsed, 0);
}

TEST(WideCharToMultiByte, OutputSizesZeroAndOne) {
  char acGuard[8];
  for (unsigned int nCodePage : kCheckedCodePages) {
    SCOPED_TRACE(nCodePage);
    std::memset(acGuard, '#', sizeof acGuard);
    EXPECT_EQ(WideCharToMultiByte(nCodePage, 0, L"\x4E2D", 1, acGuard + 1, 0, nullptr, nullptr),
              nCodePage == 65001 ? 3 : nCodePage == 1252 || nCodePage == 1251 ? 1 : 2);
    EXPECT_EQ(acGuard[1], '#');
    // One byte of room: enough for "a", not for a two-byte character.
    EXPECT_EQ(WideCharToMultiByte(nCodePage, 0, L"a", 1, acGuard + 1, 1, nullptr, nullptr), 1);
    EXPECT_EQ(acGuard[2], '#');
    if (nCodePage == 932 || nCodePage == 936 || nCodePage == 65001) {
      errno = 0;
      EXPECT_EQ(WideCharToMultiByte(nCodePage, 0, L"\x4E2D", 1, acGuard + 1, 1, nullptr, nullptr), 0);
      EXPECT_EQ(errno, E2BIG);
      EXPECT_EQ(acGuard[2], '#');
    }
    EXPECT_EQ(acGuard[0], '#');
  }
  EXPECT_EQ(WideCharToMultiByte(1252, 0, nullptr, 1, acGuard, 8, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(1252, 0, L"a", -2, acGuard, 8, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(1252, 0, L"a", 1, acGuard, -1, nullptr, nullptr), 0);
}

TEST(WideCharToMultiByte, SizesComeFromACountingPassWhereCharactersGrow) {
  // GB18030 writes U+0080 and characters beyond the BMP in four bytes (UTF-8:
  // two and four); EUC-JP writes JIS X 0212 letters such as U+00E9 in three
  // (UTF-8: two). Sizing by the UTF-8 length would cut them.
  struct Case { unsigned int nCodePage; wstring text; int nBytes; };
  const Case cases[] = {
      {54936, wstring(100, L'\x80'), 400},
      {54936, L"a\x1F600" L"b", 6},
      {20932, wstring(50, L'\xE9'), 150},
      {20932, L"\xFF71", 2},  // half-width katakana: two bytes (UTF-8: three)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nCodePage);
    string expected;
    ASSERT_TRUE(bIConvDirect(CodePageToIConv(static_cast<int>(c.nCodePage)), "UTF-32LE",
                             WideBytes(c.text), &expected));
    ASSERT_EQ(static_cast<int>(expected.size()), c.nBytes);
    string got;
    ASSERT_TRUE(bFromWide(c.nCodePage, c.text, &got));
    EXPECT_EQ(got, expected);
    // One byte short fails whole.
    string tooSmall(static_cast<size_t>(c.nBytes - 1), '\0');
    EXPECT_EQ(WideCharToMultiByte(c.nCodePage, 0, c.text.data(), static_cast<int>(c.text.size()),
                                  tooSmall.data(), c.nBytes - 1, nullptr, nullptr), 0);
    // And back.
    wstring back;
    ASSERT_TRUE(bToWide(c.nCodePage, got, &back));
    EXPECT_EQ(back, c.text);
  }
}

TEST(WideCharToMultiByte, StatefulCodePagesEndInTheirInitialState) {
  // ISO-2022-JP: the text ends with the return to ASCII, and a replacement
  // is written in ASCII.
  const wstring text = L"\x3042\x0100\x3042";
  string got;
  int bUsed = 0;
  ASSERT_TRUE(bFromWide(50220, text, &got, &bUsed));
  EXPECT_EQ(bUsed, 1);
  EXPECT_EQ(got, "\x1B$B$\"\x1B(B?\x1B$B$\"\x1B(B");
  wstring back;
  ASSERT_TRUE(bToWide(50220, got, &back));
  EXPECT_EQ(back, L"\x3042?\x3042");
  // Between code pages too.
  char acOut[16] = {};
  ASSERT_EQ(MultiByteToMultiByte(65001, "\xE3\x81\x82", 3, 50220, acOut, sizeof acOut, 0), 8);
  EXPECT_EQ(string(acOut, 8), "\x1B$B$\"\x1B(B");
  EXPECT_EQ(MultiByteToMultiByte(65001, "\xE3\x81\x82", 3, 50220, nullptr, 0, 0), 8);
}

TEST(WideCharToMultiByte, AnOutputOfExactlyTheCountedSizeIsEnough) {
  // glibc may call the output full while room is left (EUC-JP wants two bytes
  // before any non-ASCII character, even one it then refuses) or before input
  // that writes nothing (a character replaced by an empty default, an escape
  // sequence): the size the counting pass gives must still be enough.
  const wstring text = L"8\x113F6h\x113F6";
  ASSERT_EQ(WideCharToMultiByte(20932, 0, text.data(), 4, nullptr, 0, "", nullptr), 2);
  char acOut[2] = {};
  int bUsed = 0;
  ASSERT_EQ(WideCharToMultiByte(20932, 0, text.data(), 4, acOut, 2, "", &bUsed), 2);
  EXPECT_EQ(string(acOut, 2), "8h");
  EXPECT_EQ(bUsed, 1);
  EXPECT_EQ(WideCharToMultiByte(20932, 0, text.data(), 4, acOut, 1, "", &bUsed), 0);
  // ISO-2022-JP text that ends with its return to ASCII: one character.
  wchar_t acWide[1] = {};
  ASSERT_EQ(MultiByteToWideChar(50220, 0, "\x1B$B$\"\x1B(B", 8, nullptr, 0), 1);
  ASSERT_EQ(MultiByteToWideChar(50220, 0, "\x1B$B$\"\x1B(B", 8, acWide, 1), 1);
  EXPECT_EQ(acWide[0], 0x3042);
  char acUtf8[3] = {};
  ASSERT_EQ(MultiByteToMultiByte(50220, "\x1B$B$\"\x1B(B", 8, 65001, acUtf8, 3, 0), 3);
  EXPECT_EQ(string(acUtf8, 3), "\xE3\x81\x82");
}

TEST(WideCharToMultiByte, Utf8LengthCountsTheTerminator) {
  EXPECT_EQ(nGetUTF8Len(L""), 1);
  EXPECT_EQ(nGetUTF8Len(L"a\xE9\x20AC\x1F600"), 1 + 2 + 3 + 4 + 1);
  EXPECT_EQ(nGetUTF8Len(nullptr), 0);
}

TEST(MultiByteToMultiByte, SizesAndBadInput) {
  char acOut[8];
  std::memset(acOut, '#', sizeof acOut);
  EXPECT_EQ(MultiByteToMultiByte(932, "\x83\x5C", 2, 65001, acOut, 2, 0), 0);  // needs 3
  EXPECT_EQ(acOut[2], '#');
  EXPECT_EQ(MultiByteToMultiByte(932, "\x83\x5C", 2, 65001, acOut, 3, 0), 3);
  EXPECT_EQ(string(acOut, 3), "\xE3\x82\xBD");
  EXPECT_EQ(MultiByteToMultiByte(932, "\x83", 1, 65001, acOut, 8, 0), 0);  // truncated
  EXPECT_EQ(MultiByteToMultiByte(932, "\x83\x5C", static_cast<unsigned>(-1), 65001, nullptr, 0, 0), 4);
  EXPECT_EQ(MultiByteToMultiByte(932, nullptr, 2, 65001, acOut, 8, 0), 0);
  EXPECT_EQ(MultiByteToMultiByte(1252, "ab", 2, 1252, acOut, 1, 0), 0);
  EXPECT_EQ(MultiByteToMultiByte(1252, "ab", 2, 1252, nullptr, 0, 0), 2);
}

// ---------------------------------------------------------------------------
// Threads: each keeps its own converters

TEST(ConverterThreads, ConcurrentConversionsGiveTheSameResults) {
  const wstring text = L"Gr\xFC\xDF" L"e \x4E2D\x6587 \x41F\x440\x438\x432\x435\x442 \x20AC";
  std::vector<string> expected;
  std::vector<wstring> expectedBack;
  for (unsigned int nCodePage : kCheckedCodePages) {
    string bytes;
    ASSERT_TRUE(bFromWide(nCodePage, text, &bytes));
    wstring back;
    ASSERT_TRUE(bToWide(nCodePage, bytes, &back));
    expected.push_back(bytes);
    expectedBack.push_back(back);
  }
  EXPECT_EQ(expectedBack[1], text);  // UTF-8 holds it all
  std::vector<std::thread> threads;
  std::vector<int> failures(6, 0);
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 100; ++i) {
        for (size_t k = 0; k < expected.size(); ++k) {
          const unsigned int nCodePage = kCheckedCodePages[k];
          char acOut[64];
          const int n = WideCharToMultiByte(nCodePage, 0, text.data(), static_cast<int>(text.size()),
                                            acOut, 64, nullptr, nullptr);
          if (string(acOut, n > 0 ? static_cast<size_t>(n) : 0) != expected[k]) ++failures[t];
          wchar_t acWide[64];
          const int m = MultiByteToWideChar(nCodePage, 0, expected[k].data(),
                                            static_cast<int>(expected[k].size()), acWide, 64);
          if (wstring(acWide, m > 0 ? static_cast<size_t>(m) : 0) != expectedBack[k]) ++failures[t];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < 6; ++t) EXPECT_EQ(failures[t], 0) << t;
}

}  // namespace
