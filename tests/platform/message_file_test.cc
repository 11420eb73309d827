// Message files written by a generator and read back (code pages, buffer
// cuts, many numbers against a model), and a corpus of corrupt files (huge
// counts and lengths, offsets past the end, every truncation) that must fail
// cleanly.
#include "platform/message_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/error_object.h"
#include "core/wide_string.h"
#include "tests/platform/file_test_support.h"

namespace {

using kqtest::WriteBytes;

std::string Le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}
std::string Le64(uint64_t v) { return Le32(static_cast<uint32_t>(v)) + Le32(static_cast<uint32_t>(v >> 32)); }

// A message file as the format lays it out, with knobs to spoil it.
struct MessageFileLayout {
  uint32_t dwVersion = 2;
  uint32_t dwType = 0x50001;
  uint32_t dwHeaderSize = 20;
  uint32_t dwGap = 0;  // bytes between the header and the index (R)
  std::map<uint32_t, std::string> texts;
  // Overrides of what the file announces.
  bool bCount = false;
  uint32_t nCount = 0;
  bool bOffsetIndex = false;
  uint32_t dwOffsetIndex = 0;
  std::map<uint32_t, int64_t> offsets;   // per number: the entry's offset
  std::map<uint32_t, uint32_t> lengths;  // per number: the record's length
};

std::string Build(const MessageFileLayout& s) {
  std::string out = Le32(0x00544E51) + Le32(s.dwHeaderSize) + Le32(s.dwType) + std::string(2, '\0') + "\x17" +
                    std::string(1, '\0') + std::string(4, '\0');
  out += std::string(s.dwHeaderSize - 20, 'h');
  out += Le32(s.dwVersion) + Le32(s.bOffsetIndex ? s.dwOffsetIndex : s.dwGap);
  out += std::string(s.dwGap, 'g');
  out += Le32(s.bCount ? s.nCount : static_cast<uint32_t>(s.texts.size()));
  std::string records;
  std::string entries;
  for (const auto& [n, text] : s.texts) {
    auto itOffset = s.offsets.find(n);
    entries += Le32(n) + Le64(itOffset != s.offsets.end() ? static_cast<uint64_t>(itOffset->second) : records.size());
    auto itLength = s.lengths.find(n);
    records += "\xAA" + Le32(itLength != s.lengths.end() ? itLength->second : static_cast<uint32_t>(text.size())) + text;
  }
  return out + entries + records;
}

class MessageFile : public kqtest::BoundFrameworkTest {
 protected:
  std::wstring Write(const MessageFileLayout& layout) {
    WriteBytes(m_dir.Path("messages.kqm"), Build(layout));
    return m_dir.WPath("messages.kqm");
  }
  int Open(CKQMFile& f, const std::wstring& path) {
    return f.bOpen(path.c_str(), CKQFile::eFORMAT_DEFAULT, IXStream::eACCESS_READ, IXStream::eSHARE_NONE,
                   IXStream::eCREATE_EXISTING, IXStream::eFLAG_NONE);
  }
  std::wstring Load(CKQMFile& f, uint32_t n) {
    CTString s;
    if (!f.bLoadString(n, &s)) return L"<none>";
    return s.pszGet();
  }

  kqtest::TempDir m_dir;
};

TEST_F(MessageFile, VersionOneTextsAreWindows1252AndLaterOnesUtf8) {
  MessageFileLayout layout;
  layout.dwVersion = 1;
  layout.texts = {{10, "\xE9t\xE9 \x80"}};
  CKQMFile f1;
  ASSERT_EQ(Open(f1, Write(layout)), 1);
  EXPECT_EQ(f1.nGetCodePage(), 1252u);
  EXPECT_EQ(Load(f1, 10), L"\u00e9t\u00e9 \u20ac");
  f1.Close();

  layout.dwVersion = 2;
  layout.texts = {{10, "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC"}};
  CKQMFile f2;
  ASSERT_EQ(Open(f2, Write(layout)), 1);
  EXPECT_EQ(f2.nGetCodePage(), 65001u);
  EXPECT_EQ(Load(f2, 10), L"\u00e9t\u00e9 \u20ac");
}

TEST_F(MessageFile, NumbersNotInTheIndexGiveNothing) {
  MessageFileLayout layout;
  layout.texts = {{5, "five"}, {7, "seven"}};
  CKQMFile f;
  ASSERT_EQ(Open(f, Write(layout)), 1);
  EXPECT_EQ(Load(f, 6), L"<none>");
  wchar_t sz[8] = L"x";
  EXPECT_EQ(f.nLoadString(6, sz, 8), 0);
  EXPECT_EQ(f.__oGetOffsetRessource(6), 0);
  EXPECT_EQ(Load(f, 7), L"seven");
}

TEST_F(MessageFile, BufferedLoadCutsTerminatesAndAnswersTheByteLength) {
  MessageFileLayout layout;
  layout.texts = {{1, "\xC3\xA9l\xC3\xA9phant"}};  // 8 characters in 10 bytes
  CKQMFile f;
  ASSERT_EQ(Open(f, Write(layout)), 1);
  wchar_t sz[5];
  std::wmemset(sz, L'#', 5);
  EXPECT_EQ(f.nLoadString(1, sz, 5), 10);
  EXPECT_STREQ(sz, L"\u00e9l\u00e9p");
  wchar_t szBig[32];
  EXPECT_EQ(f.nLoadString(1, szBig, 32), 10);
  EXPECT_STREQ(szBig, L"\u00e9l\u00e9phant");
  wchar_t szOne[1] = {L'#'};
  EXPECT_EQ(f.nLoadString(1, szOne, 1), 10);
  EXPECT_EQ(szOne[0], 0);
}

TEST_F(MessageFile, LongerTypedHeadersAndGapsBeforeTheIndexAreFollowed) {
  MessageFileLayout layout;
  layout.dwHeaderSize = 36;
  layout.dwGap = 13;
  layout.texts = {{1, "one"}, {0xFFFFFFFF, "last"}, {0x80000000, "high"}};
  const std::wstring path = Write(layout);
  CKQMFile f;
  ASSERT_EQ(Open(f, path), 1);
  EXPECT_EQ(Load(f, 0xFFFFFFFF), L"last");
  EXPECT_EQ(Load(f, 0x80000000), L"high");
  EXPECT_EQ(Load(f, 1), L"one");
  // B = H + 8 + R + 4 + 12 N; the first record is at B.
  EXPECT_EQ(f.__oGetOffsetRessource(1), 36 + 8 + 13 + 4 + 36);
  f.Close();
  CKQMFile check;
  EXPECT_EQ(check.bVerifieFormat(path.c_str()), 1);
  EXPECT_EQ(check.bIsOpen(), 0);
}

TEST_F(MessageFile, ManyTextsMatchAModel) {
  std::mt19937 rng(31);
  MessageFileLayout layout;
  for (int i = 0; i < 2000; ++i) {
    const uint32_t n = rng();
    std::string text(rng() % 40, 'a');
    for (char& c : text) c = static_cast<char>('a' + rng() % 26);
    layout.texts[n] = text;
  }
  CKQMFile f;
  ASSERT_EQ(Open(f, Write(layout)), 1);
  EXPECT_EQ(f.nGetNbEntries(), 0u);  // loaded on first use
  for (int i = 0; i < 3000; ++i) {
    const bool bPresent = rng() % 2 == 0;
    auto it = layout.texts.begin();
    std::advance(it, rng() % layout.texts.size());
    const uint32_t n = bPresent ? it->first : static_cast<uint32_t>(rng());
    auto found = layout.texts.find(n);
    const std::wstring expected =
        found == layout.texts.end() ? L"<none>" : std::wstring(found->second.begin(), found->second.end());
    ASSERT_EQ(Load(f, n), expected) << n;
  }
  EXPECT_EQ(f.nGetNbEntries(), layout.texts.size());
}

TEST_F(MessageFile, UnreadableIndexFailsTheCheckAndClosesTheFile) {
  MessageFileLayout layout;
  layout.texts = {{1, "one"}};
  std::string bytes = Build(layout);
  bytes.resize(20 + 8 + 2);  // the count itself is cut
  WriteBytes(m_dir.Path("cut.kqm"), bytes);
  CKQMFile f;
  EXPECT_EQ(f.bVerifieFormat(m_dir.WPath("cut.kqm").c_str()), 0);
  EXPECT_EQ(f.bIsOpen(), 0);
}

TEST_F(MessageFile, FailedIndexLoadIsNotRetriedUntilPurge) {
  MessageFileLayout layout;
  layout.texts = {{1, "one"}};
  layout.bCount = true;
  layout.nCount = 1000;
  const std::wstring path = Write(layout);
  CKQMFile f;
  ASSERT_EQ(Open(f, path), 1);
  EXPECT_EQ(f._bChargeIndex(), 0);
  // The file is mended behind the object's back: the old verdict stands.
  layout.bCount = false;
  Write(layout);
  EXPECT_EQ(f._bChargeIndex(), 0);
  f.Purge();
  f.Close();
  ASSERT_EQ(Open(f, path), 1);
  EXPECT_EQ(Load(f, 1), L"one");
}

TEST_F(MessageFile, CorruptCountsOffsetsAndLengthsFailCleanly) {
  struct Case { const char* name; MessageFileLayout layout; };
  auto base = [] {
    MessageFileLayout s;
    s.texts = {{1, "one"}, {2, "two"}, {3, "three"}};
    return s;
  };
  std::vector<Case> cases;
  {
    Case c{"count 0xFFFFFFFF", base()};
    c.layout.bCount = true;
    c.layout.nCount = 0xFFFFFFFF;
    cases.push_back(c);
  }
  {
    Case c{"count whose 12-fold wraps 32 bits", base()};
    c.layout.bCount = true;
    c.layout.nCount = 0x15555556;  // 12 * N = 0x100000008
    cases.push_back(c);
  }
  {
    Case c{"count one too many", base()};
    c.layout.bCount = true;
    c.layout.nCount = 4;
    c.layout.texts = {{1, ""}, {2, ""}, {3, ""}};
    cases.push_back(c);
  }
  {
    Case c{"index offset past the end", base()};
    c.layout.bOffsetIndex = true;
    c.layout.dwOffsetIndex = 100000;
    cases.push_back(c);
  }
  {
    Case c{"index offset 0xFFFFFFFF", base()};
    c.layout.bOffsetIndex = true;
    c.layout.dwOffsetIndex = 0xFFFFFFFF;
    cases.push_back(c);
  }
  for (int64_t offset : {int64_t(-1), int64_t(-6), int64_t(1000000), int64_t(0x7FFFFFFFFFFFFFFF),
                         int64_t(0x8000000000000000ULL), int64_t(11)}) {
    Case c{"text offset", base()};
    c.layout.offsets[2] = offset;
    cases.push_back(c);
  }
  for (uint32_t length : {0xFFFFFFFFu, 0x7FFFFFFFu, 100u, 0x80000000u}) {
    Case c{"text length", base()};
    c.layout.lengths[3] = length;
    cases.push_back(c);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CKQMFile f;
    ASSERT_EQ(Open(f, Write(c.layout)), 1);
    int nFailures = 0;
    for (uint32_t n : {1u, 2u, 3u}) {
      CTString s;
      const int bLoaded = f.bLoadString(n, &s);
      if (bLoaded) {
        EXPECT_LE(s.nTaille(), 5);
        continue;
      }
      ++nFailures;
      // The refusal is recorded where the caller reads stream failures.
      const CXError* pError = f.pclGetXError();
      ASSERT_NE(pError, nullptr);
      EXPECT_EQ(pError->eGetErrorLevel(), CXError::EL_ERROR);
      wchar_t sz[16];
      EXPECT_EQ(f.nLoadString(n, sz, 16), 0);
    }
    // Positions stay within what 64 bits hold, whatever the index says.
    for (uint32_t n : {1u, 2u, 3u}) EXPECT_GE(f.__oGetOffsetRessource(n), 0);
    EXPECT_GT(nFailures, 0);
  }
}

TEST_F(MessageFile, EveryTruncationOfAValidFileFailsOrReadsWhatIsThere) {
  MessageFileLayout layout;
  layout.texts = {{1, "alpha"}, {2, "beta"}, {9, "gamma"}};
  const std::string bytes = Build(layout);
  for (size_t n = 0; n < bytes.size(); ++n) {
    SCOPED_TRACE(n);
    WriteBytes(m_dir.Path("t.kqm"), bytes.substr(0, n));
    CKQMFile f;
    if (!Open(f, m_dir.WPath("t.kqm"))) {
      EXPECT_EQ(f.bIsOpen(), 0);
      continue;
    }
    for (uint32_t k : {1u, 2u, 9u}) {
      const std::wstring text = Load(f, k);
      const std::string& full = layout.texts[k];
      EXPECT_TRUE(text == L"<none>" || text == std::wstring(full.begin(), full.end()));
    }
  }
}

}  // namespace
