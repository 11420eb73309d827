// Numbered messages: the packed block and its index, the unpacker, the host
// loader's conventions, variants and formatting, and the component commands
// through the loaded driver.
#include "core/numbered_messages.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/error_table.h"
#include "core/message_packing.h"
#include "core/wide_string.h"
#include "host/harness/host_harness.h"
#include "tests/support/program_end.h"

namespace {

// The message numbers the block must hold, as ranges.
const uint32_t kPresentRanges[][2] = {
    {3221, 3221},   {3355, 3355},   {25003, 25004}, {25008, 25008}, {25016, 25017}, {25193, 25193},
    {25199, 25199}, {25290, 25298}, {25311, 25311}, {25524, 25524}, {25574, 25575}, {25601, 25602},
    {25607, 25607}, {25609, 25609}, {25613, 25613}, {25615, 25616}, {25621, 25621}, {25624, 25626},
    {25628, 25628}, {25667, 25667}, {25669, 25681}, {25770, 25770}, {25810, 25810}, {25833, 25849},
    {25852, 25852}, {25854, 25854}, {25860, 25869}, {25871, 25875}, {25877, 25878}, {25880, 25881},
    {28001, 28005}, {28008, 28011}, {28123, 28140}, {28145, 28146}, {28227, 28227}, {28248, 28248},
    {28259, 28259}, {28307, 28307}, {28417, 28418}, {28432, 28432}, {28437, 28437}, {28536, 28538},
    {28540, 28544}, {28546, 28546}, {28555, 28555}, {28563, 28566}, {28575, 28576}, {28583, 28591},
    {28622, 28624}, {28636, 28640}, {28839, 28839}, {28842, 28866}, {28876, 28876}, {28884, 28885},
    {28910, 28910}, {28994, 28998},
};

std::vector<uint32_t> PresentNumbers() {
  std::vector<uint32_t> v;
  for (const auto& r : kPresentRanges) {
    for (uint32_t n = r[0]; n <= r[1]; ++n) v.push_back(n);
  }
  return v;
}

std::vector<kqmessages::SourceMessage> SourceMessages() {
  std::ifstream in(KQ_MESSAGES_SOURCE, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  std::vector<kqmessages::SourceMessage> v;
  std::string strError;
  EXPECT_TRUE(kqmessages::bParseSource(ss.str(), &v, &strError)) << strError;
  return v;
}

// The reference decoder: the C library's iconv, straight from UTF-8.
std::wstring Utf8ToWide(const std::string& s) {
  iconv_t cd = iconv_open("UTF-32LE", "UTF-8");
  std::wstring out(s.size() + 1, L'\0');
  char* pIn = const_cast<char*>(s.data());
  size_t nIn = s.size();
  char* pOut = reinterpret_cast<char*>(out.data());
  size_t nOut = out.size() * sizeof(wchar_t);
  const size_t r = iconv(cd, &pIn, &nIn, &pOut, &nOut);
  iconv_close(cd);
  EXPECT_NE(r, static_cast<size_t>(-1));
  out.resize(out.size() - nOut / sizeof(wchar_t));
  return out;
}

std::wstring Load(unsigned int nNumber, int nCapacity = 1024, int* pnResult = nullptr) {
  std::vector<wchar_t> buffer(static_cast<size_t>(nCapacity), L'#');
  const int n = DLLRES_nLoadString(&gstMyModuleInfo76, nNumber, buffer.data(), nCapacity);
  if (pnResult) *pnResult = n;
  return std::wstring(buffer.data());
}

// A host loader with the server's convention: it copies what fits with a
// terminator and answers the text's full length. Unknown numbers give
// g_nMissingResult.
std::map<unsigned int, std::wstring> g_texts;
int g_nMissingResult = 0;
int g_nForcedResult = 0;  // when not 0, answered whatever the text
std::vector<int> g_vCapacities;
// The loader's tables last for the program (a test may leave a text behind
// for the next): given back before the program's leak balance.
const kqtest::ProgramEndRelease kReleaseLoaderTables([] {
  g_texts.clear();
  std::vector<int>().swap(g_vCapacities);
});

int TestLoader(unsigned int nNumber, wchar_t* pszBuffer, int nCapacity) {
  g_vCapacities.push_back(nCapacity);
  auto it = g_texts.find(nNumber);
  if (it == g_texts.end()) return g_nMissingResult;
  const std::wstring& text = it->second;
  const int nCopied = std::min<int>(static_cast<int>(text.size()), nCapacity - 1);
  for (int i = 0; i < nCopied; ++i) pszBuffer[i] = text[static_cast<size_t>(i)];
  pszBuffer[nCopied] = L'\0';
  return g_nForcedResult != 0 ? g_nForcedResult : static_cast<int>(text.size());
}

class NumberedMessages : public testing::Test {
 protected:
  void SetUp() override { ResetLoader(); }
  void TearDown() override { ResetLoader(); }
  static void ResetLoader() {
    gpfnLoadStringKQM = nullptr;
    g_texts.clear();
    g_nMissingResult = 0;
    g_nForcedResult = 0;
    g_vCapacities.clear();
  }
  static void InstallLoader() { gpfnLoadStringKQM = TestLoader; }
};

// ---------------------------------------------------------------------------
// The block and its lookup

TEST_F(NumberedMessages, EveryMessageNumberIsFoundThroughTheBlock) {
  for (uint32_t nNumber : PresentNumbers()) {
    SCOPED_TRACE(nNumber);
    STRessourceModule stRes = {nNumber, 0, nullptr, 0, 0, -1};
    ASSERT_EQ(bGetResAnsi76(stRes), 1);
    EXPECT_NE(stRes.pbyPacked, nullptr);
    EXPECT_GT(stRes.nPackedLength, 0);
    EXPECT_GE(stRes.nUtilisation, 0);
    EXPECT_LE(stRes.nUtilisation, 3);
    int n = 0;
    const std::wstring text = Load(nNumber, 1024, &n);
    EXPECT_GT(n, 0);
    EXPECT_EQ(static_cast<size_t>(n), text.size());
    EXPECT_EQ(DLLRES_nGetUtilisation(&gstMyModuleInfo76, nNumber), stRes.nUtilisation);
  }
}

TEST_F(NumberedMessages, TheSourceHoldsExactlyTheBlocksNumbers) {
  std::vector<uint32_t> vSource;
  for (const auto& msg : SourceMessages()) vSource.push_back(msg.nNumber);
  EXPECT_EQ(vSource, PresentNumbers());
}

TEST_F(NumberedMessages, ThePackerRefusesMalformedSources) {
  const char* const cases[] = {
      "12 \"unclosed",
      "12 text without quotes",
      "12 u4 \"usage above 3\"",
      "12 bold \"unknown option\"",
      "12 \"bad escape \\q\"",
      "12 \"trailing\" x",
      "12 \"a\"\n12 \"not ascending\"",
      "257 \"a marker's number\"",
      "65536 \"too large\"",
      "0 \"too small\"",
      "12 \"\xC3\x28 not UTF-8\"",
      "\"no number\"",
  };
  for (const char* pszSource : cases) {
    SCOPED_TRACE(pszSource);
    std::vector<kqmessages::SourceMessage> v;
    std::string strError;
    EXPECT_FALSE(kqmessages::bParseSource(pszSource, &v, &strError));
    EXPECT_NE(strError.find("line "), std::string::npos);
  }
  std::vector<kqmessages::SourceMessage> v;
  std::string strError;
  ASSERT_TRUE(kqmessages::bParseSource("# c\n\n7 u3 utf16 \"a\\n\\\"b\\\\\"\n", &v, &strError));
  ASSERT_EQ(v.size(), 1u);
  EXPECT_EQ(v[0].nNumber, 7u);
  EXPECT_EQ(v[0].nUsage, 3);
  EXPECT_TRUE(v[0].bUtf16);
  EXPECT_EQ(v[0].strText, "a\n\"b\\");
}

TEST_F(NumberedMessages, NumbersWithoutRecordAreMissing) {
  // 257 is the first record, which no lookup returns; 424242 must stay
  // missing (the module entry's tests rely on it).
  for (uint32_t nNumber : {0u, 1u, 256u, 257u, 258u, 3220u, 3222u, 28867u, 65534u, 424242u}) {
    SCOPED_TRACE(nNumber);
    STRessourceModule stRes = {nNumber, 0, nullptr, 0, 0, -1};
    EXPECT_EQ(bGetResAnsi76(stRes), 0);
    EXPECT_EQ(stRes.nUtilisation, -1);
    int n = -7;
    EXPECT_EQ(Load(nNumber, 16, &n), L"");
    EXPECT_EQ(n, 0);
    EXPECT_EQ(DLLRES_nGetUtilisation(&gstMyModuleInfo76, nNumber), -1);
    CTString clText(L"kept");
    EXPECT_FALSE(DLLRES_bLoadString(&gstMyModuleInfo76, nNumber, &clText));
  }
}

TEST_F(NumberedMessages, TheLastMarkerIsFoundAndEmpty) {
  STRessourceModule stRes = {65535, 0, nullptr, 0, 0, -1};
  ASSERT_EQ(bGetResAnsi76(stRes), 1);
  EXPECT_EQ(stRes.nPackedLength, 0);
  int n = -7;
  EXPECT_EQ(Load(65535, 16, &n), L"");
  EXPECT_EQ(n, 0);
  CTString clText(L"old");
  EXPECT_TRUE(DLLRES_bLoadString(&gstMyModuleInfo76, 65535, &clText));
  EXPECT_EQ(clText.nTaille(), 0);
}

TEST_F(NumberedMessages, NumbersCompareOnTheirLow16Bits) {
  EXPECT_EQ(Load(3221 + 65536), Load(3221));
  EXPECT_EQ(DLLRES_nGetUtilisation(&gstMyModuleInfo76, 28842 + 3 * 65536), 1);
}

TEST_F(NumberedMessages, EveryRecordThePackerWroteUnpacksToItsSourceText) {
  const std::vector<kqmessages::SourceMessage> vSource = SourceMessages();
  std::vector<uint32_t> vOffsets(vSource.size() + 8);
  const int nCount = CResAnsi76::nScanBlock(_pbyBufferRes76, _nTailleBufferRes76, vOffsets.data(),
                                            static_cast<int>(vOffsets.size()));
  ASSERT_EQ(nCount, static_cast<int>(vSource.size()) + 2);
  for (int i = 0; i < nCount; ++i) {
    const unsigned char* pRecord = _pbyBufferRes76 + vOffsets[static_cast<size_t>(i)];
    const unsigned int nNumber = pRecord[2] | (pRecord[3] << 8);
    const unsigned char byFlags = pRecord[4];
    const int nPacked = pRecord[5] | (pRecord[6] << 8);
    SCOPED_TRACE(nNumber);
    if (i == 0 || i == nCount - 1) {
      EXPECT_EQ(nNumber, i == 0 ? 257u : 65535u);
      EXPECT_EQ(nPacked, 0);
      continue;
    }
    const kqmessages::SourceMessage& msg = vSource[static_cast<size_t>(i - 1)];
    ASSERT_EQ(nNumber, msg.nNumber);
    EXPECT_EQ(byFlags & kResFlagUsageMask, msg.nUsage);
    EXPECT_EQ((byFlags & kResFlagUtf16) != 0, msg.bUtf16);
    EXPECT_EQ(byFlags & ~(kResFlagUsageMask | kResFlagUtf16), 0);

    // The bytes, exactly as the source gave them.
    const std::string strExpected =
        msg.bUtf16 ? kqmessages::strUtf8ToUtf16Le(msg.strText) : msg.strText;
    std::vector<unsigned char> bytes(strExpected.size() + 1);
    int nCapacity = static_cast<int>(bytes.size());
    ASSERT_EQ(
        CDataCompressor::nDeCompress(bytes.data(), &nCapacity, pRecord + kResRecordHeader, nPacked),
        CDataCompressor::kOk);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes.data()), static_cast<size_t>(nCapacity)),
              strExpected);

    // The wide text, against iconv.
    const std::wstring expected = Utf8ToWide(msg.strText);
    int n = 0;
    EXPECT_EQ(Load(nNumber, 4096, &n), expected);
    EXPECT_EQ(static_cast<size_t>(n), expected.size());
    STRessourceModule stRes = {nNumber, 0, nullptr, 0, 0, -1};
    ASSERT_TRUE(bGetResAnsi76(stRes));
    wchar_t* pszWhole = CDataCompressor::s_pszDeCompress(stRes);
    ASSERT_NE(pszWhole, nullptr);
    EXPECT_EQ(std::wstring(pszWhole), expected);
    free(pszWhole);
  }
}

TEST_F(NumberedMessages, TextsUseOnlyConversionsCallersCanFill) {
  // A conversion that no caller fills would read past the arguments.
  for (const auto& msg : SourceMessages()) {
    SCOPED_TRACE(msg.nNumber);
    const std::string& s = msg.strText;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] != '%') continue;
      ASSERT_LT(i + 1, s.size()) << "a % ends the text";
      EXPECT_NE(std::string("sdu%").find(s[i + 1]), std::string::npos) << s;
      ++i;
    }
  }
}

TEST_F(NumberedMessages, TextsLongerThanTheBufferAreCutAndTerminated) {
  const std::wstring whole = Load(28124);
  ASSERT_GT(whole.size(), 20u);
  struct Case {
    int nCapacity;
    int nExpected;
  };
  const int nLength = static_cast<int>(whole.size());
  const Case cases[] = {{1, 0}, {2, 1}, {10, 9}, {nLength, nLength - 1}, {nLength + 1, nLength}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nCapacity);
    int n = -1;
    const std::wstring text = Load(28124, c.nCapacity, &n);
    EXPECT_EQ(n, c.nExpected);
    EXPECT_EQ(text, whole.substr(0, static_cast<size_t>(c.nExpected)));
  }
  wchar_t szUntouched[1] = {L'#'};
  EXPECT_EQ(DLLRES_nLoadString(&gstMyModuleInfo76, 28124, szUntouched, 0), 0);
  EXPECT_EQ(szUntouched[0], L'#');
  EXPECT_EQ(DLLRES_nLoadString(&gstMyModuleInfo76, 28124, nullptr, 16), 0);
}

TEST_F(NumberedMessages, AModuleWithoutLookupHasNoMessages) {
  _stMyModuleInfo stModule = gstMyModuleInfo76;
  stModule.pfnGetRes = nullptr;
  wchar_t szBuffer[8];
  EXPECT_EQ(DLLRES_nLoadString(&stModule, 3221, szBuffer, 8), 0);
  EXPECT_EQ(DLLRES_nLoadString(nullptr, 3221, szBuffer, 8), 0);
  EXPECT_EQ(DLLRES_nGetUtilisation(nullptr, 3221), -1);
}

// ---------------------------------------------------------------------------
// The host loader

TEST_F(NumberedMessages, AHostLoaderThatKnowsTheNumberIsAskedFirst) {
  InstallLoader();
  g_texts[3221] = L"from the host";
  int n = 0;
  EXPECT_EQ(Load(3221, 64, &n), L"from the host");
  EXPECT_EQ(n, 13);
  CTString clText;
  ASSERT_TRUE(DLLRES_bLoadString(&gstMyModuleInfo76, 3221, &clText));
  EXPECT_STREQ(clText.pszGet(), L"from the host");
  // The usage value comes from the block only.
  EXPECT_EQ(DLLRES_nGetUtilisation(&gstMyModuleInfo76, 3221), 2);
  g_texts[424242] = L"host only";
  EXPECT_EQ(DLLRES_nGetUtilisation(&gstMyModuleInfo76, 424242), -1);
}

TEST_F(NumberedMessages, ALoaderAnsweringNothingFallsBackToTheBlock) {
  const std::wstring fromBlock = Load(3221);
  InstallLoader();
  for (int nMissing : {0, -1}) {
    SCOPED_TRACE(nMissing);
    g_nMissingResult = nMissing;
    EXPECT_EQ(Load(3221), fromBlock);
    CTString clText;
    ASSERT_TRUE(DLLRES_bLoadString(&gstMyModuleInfo76, 3221, &clText));
    EXPECT_EQ(std::wstring(clText.pszGet()), fromBlock);
    EXPECT_EQ(Load(424242), L"");
  }
}

TEST_F(NumberedMessages, ALoaderResultOfTheCapacityOrMoreIsCutToCapacityLessOne) {
  InstallLoader();
  g_texts[900] = L"0123456789";
  struct Case {
    const char* name;
    int nCapacity;
    int nExpected;
  };
  const Case cases[] = {
      {"fits with room", 16, 10},
      {"fits exactly with its terminator", 11, 10},
      {"exactly the capacity", 10, 9},
      {"more than the capacity", 4, 3},
      {"room for the terminator only", 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int n = -1;
    const std::wstring text = Load(900, c.nCapacity, &n);
    EXPECT_EQ(n, c.nExpected);
    EXPECT_EQ(text, std::wstring(L"0123456789").substr(0, static_cast<size_t>(c.nExpected)));
  }
}

TEST_F(NumberedMessages, ALoaderLengthNeverPassesWhatTheBufferHolds) {
  InstallLoader();
  g_texts[901] = L"abc";
  g_nForcedResult = 100;  // announces more than it wrote
  int n = -1;
  EXPECT_EQ(Load(901, 64, &n), L"abc");
  EXPECT_EQ(n, 3);
  CTString clText;
  ASSERT_TRUE(KQM_bLoadString(901, &clText));
  EXPECT_STREQ(clText.pszGet(), L"abc");
}

TEST_F(NumberedMessages, ALongLoaderTextIsFetchedAgainAndKeptWhole) {
  InstallLoader();
  for (size_t nLength : {255u, 256u, 300u, 5000u}) {
    SCOPED_TRACE(nLength);
    g_vCapacities.clear();
    std::wstring text(nLength, L'x');
    text[nLength - 1] = L'!';
    g_texts[902] = text;
    CTString clText;
    ASSERT_TRUE(KQM_bLoadString(902, &clText));
    EXPECT_EQ(std::wstring(clText.pszGet()), text);
    if (nLength < 256) {
      EXPECT_EQ(g_vCapacities, std::vector<int>({256}));
    } else {
      EXPECT_EQ(g_vCapacities, std::vector<int>({256, static_cast<int>(nLength) + 1}));
    }
  }
}

TEST_F(NumberedMessages, ALoaderAnnouncingAnImpossibleLengthFallsBackToTheBlock) {
  const std::wstring fromBlock = Load(3221);
  InstallLoader();
  g_texts[3221] = L"short";
  for (int nAnnounced : {0x7FFFFFFF, 0x20000000}) {
    SCOPED_TRACE(nAnnounced);
    g_nForcedResult = nAnnounced;
    CTString clText;
    ASSERT_TRUE(DLLRES_bLoadString(&gstMyModuleInfo76, 3221, &clText));
    EXPECT_EQ(std::wstring(clText.pszGet()), fromBlock);
  }
}

TEST_F(NumberedMessages, WithoutLoaderTheLoaderCallsFindNothing) {
  wchar_t szBuffer[8] = L"x";
  EXPECT_EQ(KQM_nLoadString(3221, szBuffer, 8), 0);
  CTString clText;
  EXPECT_FALSE(KQM_bLoadString(3221, &clText));
}

// ---------------------------------------------------------------------------
// Variants and formatting

TEST_F(NumberedMessages, VariantsAreThePiecesBetweenSeparators) {
  const std::wstring whole = Load(28866);
  ASSERT_NE(whole.find(szSeparateurSingulierPluriel), std::wstring::npos);
  CTString clVariant;
  ASSERT_TRUE(__bLoadStringSingulierPluriel(&gstMyModuleInfo76, 0, 28866, clVariant));
  EXPECT_STREQ(clVariant.pszGet(), L"%u sub-error");
  ASSERT_TRUE(__bLoadStringSingulierPluriel(&gstMyModuleInfo76, 1, 28866, clVariant));
  EXPECT_STREQ(clVariant.pszGet(), L"%u sub-errors");
  EXPECT_FALSE(__bLoadStringSingulierPluriel(&gstMyModuleInfo76, 2, 28866, clVariant));
  EXPECT_FALSE(__bLoadStringSingulierPluriel(&gstMyModuleInfo76, 0, 424242, clVariant));
  // A message without separator is its own variant 0.
  ASSERT_TRUE(__bLoadStringSingulierPluriel(&gstMyModuleInfo76, 0, 3221, clVariant));
  EXPECT_EQ(std::wstring(clVariant.pszGet()), Load(3221));
}

TEST_F(NumberedMessages, SingularAndPluralFormsAreFormatted) {
  CTString clText;
  ASSERT_TRUE(DLLRES_bFormatMessageSingulierPluriel(&gstMyModuleInfo76, 0, 28866, &clText, 1));
  EXPECT_STREQ(clText.pszGet(), L"1 sub-error");
  ASSERT_TRUE(DLLRES_bFormatMessageSingulierPluriel(&gstMyModuleInfo76, 1, 28866, &clText, 3));
  EXPECT_STREQ(clText.pszGet(), L"3 sub-errors");
  EXPECT_FALSE(DLLRES_bFormatMessageSingulierPluriel(&gstMyModuleInfo76, 5, 28866, &clText, 3));
  EXPECT_STREQ(clText.pszGet(), L"3 sub-errors");
}

TEST_F(NumberedMessages, MessagesAreFormattedWithTheirInserts) {
  CTString clText;
  ASSERT_TRUE(DLLRES_bFormatMessage(&gstMyModuleInfo76, 28124, &clText, L"b.txt", L"a.txt"));
  EXPECT_STREQ(clText.pszGet(), L"The file could not be renamed to b.txt from a.txt.");

  wchar_t* pszText = nullptr;
  const int n = DLLRES_nFormatMessage(&gstMyModuleInfo76, 28145, &pszText, L"f.dat", 0u, 2u);
  ASSERT_NE(pszText, nullptr);
  EXPECT_STREQ(pszText, L"Bytes of f.dat could not be locked (start 0, length 2).");
  EXPECT_EQ(n, static_cast<int>(wcslen(pszText)));
  free(pszText);
}

TEST_F(NumberedMessages, AMissingMessageFormatsNothing) {
  CTString clText(L"kept");
  EXPECT_FALSE(DLLRES_bFormatMessage(&gstMyModuleInfo76, 424242, &clText, L"x"));
  EXPECT_STREQ(clText.pszGet(), L"kept");
  wchar_t* pszText = reinterpret_cast<wchar_t*>(&clText);  // anything but null
  EXPECT_EQ(DLLRES_nFormatMessage(&gstMyModuleInfo76, 424242, &pszText), 0);
  EXPECT_EQ(pszText, nullptr);
}

TEST_F(NumberedMessages, FormattingAFormatGivesANewTextOrNothing) {
  wchar_t* pszText = nullptr;
  EXPECT_EQ(DLLRES_dwFormatMessage(L"abc", &pszText, nullptr), 3u);
  ASSERT_NE(pszText, nullptr);
  EXPECT_STREQ(pszText, L"abc");
  free(pszText);
  EXPECT_EQ(DLLRES_dwFormatMessage(static_cast<const wchar_t*>(nullptr), &pszText, nullptr), 0u);
  EXPECT_EQ(pszText, nullptr);
  CTString clText(L"kept");
  EXPECT_EQ(DLLRES_dwFormatMessage(L"", &clText, nullptr), 0u);
  EXPECT_STREQ(clText.pszGet(), L"kept");
}

// ---------------------------------------------------------------------------
// The unpacker

std::string Unpack(const std::string& strPacked, int nCapacity, int* pnCode, int* pnCount) {
  std::vector<unsigned char> out(static_cast<size_t>(nCapacity), 0xEE);
  int n = nCapacity;
  *pnCode = CDataCompressor::nDeCompress(out.data(), &n,
                                         reinterpret_cast<const unsigned char*>(strPacked.data()),
                                         static_cast<int>(strPacked.size()));
  *pnCount = n;
  EXPECT_NE(std::find(out.begin(), out.end(), 0), out.end()) << "not terminated";
  return std::string(reinterpret_cast<char*>(out.data()));
}

// One pair holding three codes.
std::string Pair(int a, int b, int c) {
  const int m = a * 1600 + b * 40 + c + 256;
  const int hi = (m - 1) / 255;
  return std::string{static_cast<char>(hi), static_cast<char>(m - 255 * hi)};
}

TEST_F(NumberedMessages, TheUnpackerReadsCodesSetsShiftsAndEscapes) {
  struct Case {
    const char* name;
    std::string strPacked;
    std::string strExpected;
  };
  // Set 0 entry 6 is 'a'; set 1 entry 5 'A'; set 2 entry 11 '0'; set 3 entry 0 '^'.
  const Case cases[] = {
      {"three letters", Pair(8 + 6, 8 + 7, 8 + 8), "abc"},
      {"a lone last byte is one code", Pair(14, 15, 16) + std::string(1, 8 + 6 + 1), "abca"},
      {"a shift applies once", Pair(1, 13, 14), "Aa"},
      {"a lock stays", Pair(5, 13, 13), "AA"},
      {"a lock drops a pending shift", Pair(2, 4, 14), "a"},
      {"the fourth set", Pair(3, 8, 14), "^a"},
      {"one raw byte, the shift still pending", Pair(3, 38, 0) + "\x01" + std::string(1, 8 + 1),
       "\x01^"},
      {"a lock after raw bytes", Pair(3, 38, 0) + "\x01" + Pair(4, 14, 4),
       "\x01"
       "a"},
      {"a run of raw bytes, the shift still pending",
       Pair(3, 39, 0) + "\x02\x05\x06" + Pair(8, 4, 14), "\x05\x06^a"},
      {"escape from the fourth set itself", Pair(7, 38, 0) + "\x7F", "\x7F"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int nCode = -1;
    int nCount = -1;
    EXPECT_EQ(Unpack(c.strPacked, 64, &nCode, &nCount), c.strExpected);
    EXPECT_EQ(nCode, CDataCompressor::kOk);
    EXPECT_EQ(nCount, static_cast<int>(c.strExpected.size()));
  }
}

TEST_F(NumberedMessages, CorruptPackedTextsEndWithACode) {
  struct Case {
    const char* name;
    std::string strPacked;
    int nCode;
  };
  const Case cases[] = {
      {"a zero byte in a pair", std::string("\x01\x00", 2), CDataCompressor::kBadByte},
      {"a zero last byte", Pair(14, 14, 14) + std::string(1, '\0'), CDataCompressor::kBadByte},
      {"a pair past code 39", "\xFF\xFF", CDataCompressor::kBadCode},
      {"a lone byte past code 39", std::string(1, 42), CDataCompressor::kBadCode},
      {"the fourth set's unused entry", Pair(7, 3, 38), CDataCompressor::kBadCode},
      {"one raw byte missing", Pair(3, 38, 0), CDataCompressor::kBadEscape},
      {"the count missing", Pair(3, 39, 0), CDataCompressor::kBadEscape},
      {"raw bytes past the end",
       Pair(3, 39, 0) + "\x09"
                        "ab",
       CDataCompressor::kBadEscape},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int nCode = -1;
    int nCount = -1;
    Unpack(c.strPacked, 64, &nCode, &nCount);
    EXPECT_EQ(nCode, c.nCode);
  }
}

TEST_F(NumberedMessages, UnpackingIntoASmallBufferCountsTheWholeText) {
  const std::string strPacked = kqmessages::strPack("hello world");
  for (int nCapacity : {1, 2, 11, 12}) {
    SCOPED_TRACE(nCapacity);
    int nCode = -1;
    int nCount = -1;
    const std::string s = Unpack(strPacked, nCapacity, &nCode, &nCount);
    EXPECT_EQ(nCount, 11);
    EXPECT_EQ(nCode, nCapacity >= 12 ? CDataCompressor::kOk : CDataCompressor::kCut);
    EXPECT_EQ(s, std::string("hello world").substr(0, static_cast<size_t>(nCapacity - 1)));
  }
}

TEST_F(NumberedMessages, RandomBytesSurviveThePackingRoundTrip) {
  std::mt19937 rng(4);
  for (int i = 0; i < 500; ++i) {
    std::string s(rng() % 300, '\0');
    // Mostly text, sometimes any byte: both roads of the packer.
    for (char& c : s) c = static_cast<char>(rng() % 4 == 0 ? rng() % 256 : 32 + rng() % 95);
    const std::string strPacked = kqmessages::strPack(s);
    // The unpacking buffers are sized on this bound.
    EXPECT_LE(s.size(), strPacked.size() * 3 / 2 + 1);
    int nCode = -1;
    int nCount = -1;
    std::vector<unsigned char> out(s.size() + 1);
    int n = static_cast<int>(out.size());
    nCode = CDataCompressor::nDeCompress(out.data(), &n,
                                         reinterpret_cast<const unsigned char*>(strPacked.data()),
                                         static_cast<int>(strPacked.size()));
    nCount = n;
    ASSERT_EQ(nCode, CDataCompressor::kOk);
    ASSERT_EQ(nCount, static_cast<int>(s.size()));
    ASSERT_EQ(std::string(reinterpret_cast<char*>(out.data()), s.size()), s);
  }
}

TEST_F(NumberedMessages, WideUnpackingConvertsEitherTextKind) {
  const std::string strUtf8 = "caf\xC3\xA9 \xF0\x9F\x98\x80";
  const std::wstring expected = L"caf\u00E9 \U0001F600";
  struct Case {
    const char* name;
    std::string strBytes;
    int nKind;
  };
  const Case cases[] = {
      {"UTF-8", strUtf8, kResTextUtf8},
      {"UTF-16LE with a surrogate pair", kqmessages::strUtf8ToUtf16Le(strUtf8), kResTextUtf16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string strPacked = kqmessages::strPack(c.strBytes);
    STRessourceModule stRes = {1,
                               0,
                               reinterpret_cast<const unsigned char*>(strPacked.data()),
                               static_cast<int>(strPacked.size()),
                               c.nKind,
                               0};
    wchar_t szOut[32];
    int n = 32;
    EXPECT_EQ(CDataCompressor::s_nDeCompress(szOut, &n, stRes), CDataCompressor::kOk);
    EXPECT_EQ(std::wstring(szOut), expected);
    EXPECT_EQ(n, static_cast<int>(expected.size()));
    n = 4;
    EXPECT_EQ(CDataCompressor::s_nDeCompress(szOut, &n, stRes), CDataCompressor::kCut);
    EXPECT_EQ(std::wstring(szOut), L"caf");
    EXPECT_EQ(n, 3);
  }
}

TEST_F(NumberedMessages, AnUnknownTextKindGivesCode4AndLengthMinus1) {
  const std::string strPacked = kqmessages::strPack("abc");
  STRessourceModule stRes = {1,
                             0,
                             reinterpret_cast<const unsigned char*>(strPacked.data()),
                             static_cast<int>(strPacked.size()),
                             3,
                             0};
  wchar_t szOut[8] = L"junk";
  int n = 8;
  EXPECT_EQ(CDataCompressor::s_nDeCompress(szOut, &n, stRes), CDataCompressor::kBadByte);
  EXPECT_EQ(n, -1);
  EXPECT_EQ(szOut[0], L'\0');
  EXPECT_EQ(CDataCompressor::s_pszDeCompress(stRes), nullptr);
}

TEST_F(NumberedMessages, BytesThatAreNotUtf8GiveNoText) {
  const std::string strPacked = kqmessages::strPack("ab\xFF");
  STRessourceModule stRes = {1,
                             0,
                             reinterpret_cast<const unsigned char*>(strPacked.data()),
                             static_cast<int>(strPacked.size()),
                             kResTextUtf8,
                             0};
  wchar_t szOut[8] = L"junk";
  int n = 8;
  EXPECT_NE(CDataCompressor::s_nDeCompress(szOut, &n, stRes), CDataCompressor::kOk);
  EXPECT_EQ(szOut[0], L'\0');
  EXPECT_EQ(n, 0);
}

TEST_F(NumberedMessages, TheBlockScanRefusesMalformedBlocks) {
  struct Case {
    const char* name;
    std::vector<unsigned char> block;
    int nExpected;
  };
  const Case cases[] = {
      {"empty block", {0, 0}, 0},
      {"one empty record", {7, 0, 1, 1, 0, 0, 0, 0, 0}, 1},
      {"no ending size", {7, 0, 1, 1, 0, 0, 0}, -1},
      {"half an ending size", {7, 0, 1, 1, 0, 0, 0, 0}, -1},
      {"a record past the end", {9, 0, 1, 1, 0, 0, 0, 0, 0}, -1},
      {"a size below the header", {3, 0, 1, 1, 0, 0, 0, 0}, -1},
      {"packed text past the record", {7, 0, 1, 1, 0, 1, 0, 0, 0}, -1},
      {"spare bytes after the text", {9, 0, 1, 1, 0, 1, 0, 42, 0, 0, 0}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint32_t anOffsets[4];
    EXPECT_EQ(CResAnsi76::nScanBlock(c.block.data(), static_cast<unsigned int>(c.block.size()),
                                     anOffsets, 4),
              c.nExpected);
  }
}

// ---------------------------------------------------------------------------
// The layer's other entries

TEST_F(NumberedMessages, NoExternalResourcesAreUsed) {
  EXPECT_EQ(DLLRES_bUtiliseDLLRes(), 0);
  EXPECT_EQ(ghGetRessourceHandle(), nullptr);
  DLLRES_SetFichierKQM(L"/nonexistent.kqm");
  EXPECT_GT(Load(3221).size(), 0u);
  void* hLibm = dlopen("libm.so.6", RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(hLibm, nullptr);
  EXPECT_EQ(
      DLLRES_pLoadResource(&gstMyModuleInfo76, static_cast<HINSTANCE>(hLibm), 1, L"x", nullptr),
      nullptr);
  dlclose(hLibm);
  EXPECT_EQ(DLLRES_pLoadResource(&gstMyModuleInfo76, nullptr, 1, L"x", nullptr), nullptr);
}

_stLoadStringRequest g_stSeen;
int g_nSeenCode;
int RecordCommand(int nCode, void* pArgument) {
  g_nSeenCode = nCode;
  g_stSeen = *static_cast<_stLoadStringRequest*>(pArgument);
  return 0;
}

TEST_F(NumberedMessages, ForcingTheResourcesSendsAnEmptyLoadRequest) {
  EXPECT_EQ(DLLRES_bForceInitRessource(nullptr), 0);
  EXPECT_EQ(DLLRES_bForceInitRessource(RecordCommand), 1);
  EXPECT_EQ(g_nSeenCode, 3);
  EXPECT_EQ(g_stSeen.nSize, 20u);
  EXPECT_EQ(g_stSeen.nNumber, 0u);
  EXPECT_EQ(g_stSeen.pszBuffer, nullptr);
  EXPECT_EQ(g_stSeen.nCapacity, 0);
}

// ---------------------------------------------------------------------------
// The component commands, through the driver as the server loads it

class ComponentCommands : public NumberedMessages {
 protected:
  void SetUp() override {
    NumberedMessages::SetUp();
    std::string strError;
    ASSERT_TRUE(m_harness.bLoad(&strError)) << strError;
    ASSERT_EQ(m_harness.nStart(), 1);
  }
  void TearDown() override {
    m_harness.nCommandeComposante(2, nullptr);
    m_harness.nStop();
    NumberedMessages::TearDown();
  }
  int LoadThroughDriver(unsigned int nNumber, wchar_t* pszBuffer, int nCapacity) {
    _stLoadStringRequest stRequest = {20, nNumber, pszBuffer, nCapacity, -7};
    const int n = m_harness.nCommandeComposante(3, &stRequest);
    EXPECT_EQ(stRequest.nResult, n);
    return n;
  }
  CHostHarness m_harness;
};

TEST_F(ComponentCommands, Command3LoadsMessagesOfTheBlock) {
  const std::wstring expected = Load(28124);
  wchar_t szBuffer[256];
  EXPECT_EQ(LoadThroughDriver(28124, szBuffer, 256), static_cast<int>(expected.size()));
  EXPECT_EQ(std::wstring(szBuffer), expected);
  EXPECT_EQ(LoadThroughDriver(28124, szBuffer, 8), 7);
  EXPECT_EQ(std::wstring(szBuffer), expected.substr(0, 7));
  EXPECT_EQ(LoadThroughDriver(424242, szBuffer, 256), 0);
  EXPECT_EQ(szBuffer[0], L'\0');
}

TEST_F(ComponentCommands, Command4GivesTheUsageValue) {
  struct Case {
    uintptr_t nNumber;
    int nExpected;
  };
  const Case cases[] = {{25624, 0}, {28842, 1}, {3221, 2}, {424242, -1}, {257, -1}, {65535, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nNumber);
    EXPECT_EQ(m_harness.nCommandeComposante(4, reinterpret_cast<void*>(c.nNumber)), c.nExpected);
  }
}

TEST_F(ComponentCommands, AnInstalledLoaderServesCommand3AndIsClamped) {
  g_texts[3221] = L"host text";
  ASSERT_EQ(m_harness.nCommandeComposante(2, reinterpret_cast<void*>(&TestLoader)), 1);
  wchar_t szBuffer[64];
  EXPECT_EQ(LoadThroughDriver(3221, szBuffer, 64), 9);
  EXPECT_STREQ(szBuffer, L"host text");
  // The loader answers its full length (9) for a buffer of 5.
  EXPECT_EQ(LoadThroughDriver(3221, szBuffer, 5), 4);
  EXPECT_STREQ(szBuffer, L"host");
  // Numbers the loader does not know still come from the block.
  EXPECT_EQ(std::wstring(szBuffer, static_cast<size_t>(LoadThroughDriver(28124, szBuffer, 64))),
            Load(28124));
  // Command 4 never asks the loader.
  g_vCapacities.clear();
  EXPECT_EQ(m_harness.nCommandeComposante(4, reinterpret_cast<void*>(uintptr_t{3221})), 2);
  EXPECT_TRUE(g_vCapacities.empty());
}

}  // namespace
