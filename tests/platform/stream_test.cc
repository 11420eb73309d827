// The stream interface: IXStream's defaults, its reference count, positioned
// reads, formatted writes, and the line readers checked against a model of
// the line rules over random texts (8-bit and wide, both option sets, many
// buffer sizes) and at the chunk boundaries of 80 and 160 characters.
#include "platform/stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/error_object.h"

namespace {

// A stream over bytes in memory: sequential reads and writes, seeks, and a
// count of the seeks made.
class CMemoryStream : public IXStream {
 public:
  explicit CMemoryStream(std::string bytes = {}) : m_bytes(std::move(bytes)) {}
  ~CMemoryStream() override {
    if (m_pbDestroyed != nullptr) *m_pbDestroyed = true;
  }
  int Close() override { return 0; }
  eACCESS veGetAccess() const override { return eACCESS_READWRITE; }
  using IXStream::bRead;
  using IXStream::bWrite;
  int bRead(void* p, unsigned int n, unsigned int* pnRead) override {
    const size_t k = m_pos >= m_bytes.size() ? 0 : std::min<size_t>(n, m_bytes.size() - m_pos);
    std::memcpy(p, m_bytes.data() + m_pos, k);
    m_pos += k;
    if (pnRead != nullptr) *pnRead = static_cast<unsigned int>(k);
    return pnRead != nullptr || k == n;
  }
  int bWrite(const void* p, unsigned int n, unsigned int* pnWritten) override {
    if (m_bytes.size() < m_pos + n) m_bytes.resize(m_pos + n);
    std::memcpy(m_bytes.data() + m_pos, p, n);
    m_pos += n;
    if (pnWritten != nullptr) *pnWritten = n;
    return 1;
  }
  int bSeek(long long nOffset, eSEEK eOrigin) override {
    ++m_nSeeks;
    const long long nBase = eOrigin == eSEEK_BEGIN ? 0
                            : eOrigin == eSEEK_CURRENT ? static_cast<long long>(m_pos)
                                                       : static_cast<long long>(m_bytes.size());
    if (nBase + nOffset < 0) return 0;
    m_pos = static_cast<size_t>(nBase + nOffset);
    return 1;
  }
  long long oGetOffset() override { return static_cast<long long>(m_pos); }

  std::string m_bytes;
  size_t m_pos = 0;
  int m_nSeeks = 0;
  bool* m_pbDestroyed = nullptr;
};

// A stream that gives only what IXStream gives.
class CBareStream : public IXStream {
 public:
  int Close() override { return 0; }
  eACCESS veGetAccess() const override { return eACCESS_READ; }
};

// ---------------------------------------------------------------------------
// Root and defaults

TEST(StreamRoot, ReleaseAtCountOneDestroysAndAtCountTwoKeepsTheObject) {
  bool bDestroyed = false;
  auto* p = new CMemoryStream;
  p->m_pbDestroyed = &bDestroyed;
  EXPECT_EQ(p->dwAddRef(), 1u);
  EXPECT_EQ(p->dwAddRef(), 2u);
  EXPECT_EQ(p->dwRelease(), 1u);
  EXPECT_FALSE(bDestroyed);
  EXPECT_EQ(p->dwRelease(), 0u);
  EXPECT_TRUE(bDestroyed);
}

TEST(StreamRoot, TheDefaultsAreThoseOfTheInterface) {
  CBareStream clStream;
  char sz[4];
  unsigned int n = 7;
  EXPECT_EQ(clStream.bOpen(L"x", IXStream::eACCESS_READ, IXStream::eSHARE_NONE,
                           IXStream::eCREATE_EXISTING, IXStream::eFLAG_NONE, nullptr),
            1);
  EXPECT_EQ(clStream.bRead(sz, 4, &n), 1);
  EXPECT_EQ(clStream.bWrite(sz, 4, &n), 1);
  EXPECT_EQ(clStream.bSeek(3, IXStream::eSEEK_BEGIN), 1);
  EXPECT_EQ(clStream.oGetSize(), 0);
  EXPECT_EQ(clStream.oGetSizeFast(), 0);
  EXPECT_EQ(clStream.oGetOffset(), -1);
  EXPECT_EQ(clStream.pszGetName(), nullptr);
  EXPECT_EQ(clStream.bIsOpen(), 1);
  EXPECT_EQ(clStream.bGetVFSFileName(nullptr), 0);
  EXPECT_EQ(clStream.pszReadLine(nullptr, 0, nullptr, nullptr), nullptr);
  EXPECT_EQ(clStream.vpclCastDiskFile(), nullptr);
  EXPECT_EQ(clStream.bLockFile(0, 1), 1);
  EXPECT_EQ(clStream.bExtract(nullptr, 5), 1);
  ASSERT_NE(clStream.pclGetXError(), nullptr);
  EXPECT_EQ(clStream.pclGetXError(), clStream._pclGetXError());
  EXPECT_EQ(clStream.pclGetXError()->nGetModuleId(), 76u);
  EXPECT_EQ(clStream.pclGetXError()->eGetErrorLevel(), CXError::EL_NOERROR);
  EXPECT_EQ(clStream.pclGetXError()->nGetRefCount(), 1) << "the stream holds one reference";
}

TEST(StreamRoot, APositionedReadAtTheCurrentOffsetMakesNoSeek) {
  CMemoryStream clStream("abcdef");
  char sz[3] = {};
  unsigned int n = 0;
  ASSERT_EQ(clStream.bRead(0LL, sz, 2, &n), 1);
  EXPECT_EQ(clStream.m_nSeeks, 0);
  EXPECT_EQ(std::string(sz, 2), "ab");
  ASSERT_EQ(clStream.bRead(4LL, sz, 2, &n), 1);
  EXPECT_EQ(clStream.m_nSeeks, 1);
  EXPECT_EQ(std::string(sz, 2), "ef");
  EXPECT_EQ(clStream.bWrite(-5LL, sz, 2, &n), 0) << "a failing seek fails the write";
}

TEST(StreamFormattedWrite, AnEightBitWriteIsCutAt1023Bytes) {
  CMemoryStream clStream;
  const std::string text(1500, 'x');
  ASSERT_EQ(clStream.bWriteString("%s!", text.c_str()), 1);
  EXPECT_EQ(clStream.m_bytes, std::string(1023, 'x'));
  CMemoryStream clShort;
  ASSERT_EQ(clShort.bWriteString("%d-%s", 42, "ok"), 1);
  EXPECT_EQ(clShort.m_bytes, "42-ok");
}

TEST(StreamFormattedWrite, AWideWriteWritesFourBytesPerCharacterInTheWindowsConvention) {
  CMemoryStream clStream;
  ASSERT_EQ(clStream.bWriteString(L"%s=%d", L"ab", 7), 1);
  const wchar_t expected[] = L"ab=7";
  EXPECT_EQ(clStream.m_bytes, std::string(reinterpret_cast<const char*>(expected), 16));
  CMemoryStream clLong;
  const std::wstring text(2000, L'y');
  ASSERT_EQ(clLong.bWriteString(L"%s", text.c_str()), 1);
  EXPECT_EQ(clLong.m_bytes.size(), 1023u * 4u);
}

// ---------------------------------------------------------------------------
// Line reading

template <typename C>
std::string Bytes(const std::basic_string<C>& s) {
  return std::string(reinterpret_cast<const char*>(s.data()), s.size() * sizeof(C));
}

struct Line {
  std::string text;
  int truncated;
  bool operator==(const Line& o) const { return text == o.text && truncated == o.truncated; }
};

std::ostream& operator<<(std::ostream& os, const Line& l) {
  std::string shown;
  for (char c : l.text) shown += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
  return os << "{" << shown << "," << l.truncated << "}";
}

// The line rules: the earliest CR LF, CR or LF ends a line (only CR LF with
// bPairOnly); a line longer than capacity - 1 comes in pieces, all but the
// last flagged as truncated.
std::vector<Line> Model(const std::string& s, bool bPairOnly, unsigned int nCapacity) {
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < s.size()) {
    size_t k = i;
    size_t nEnd = 0;
    for (; k < s.size(); ++k) {
      if (s[k] == '\r' && k + 1 < s.size() && s[k + 1] == '\n') {
        nEnd = 2;
        break;
      }
      if (!bPairOnly && (s[k] == '\r' || s[k] == '\n')) {
        nEnd = 1;
        break;
      }
    }
    lines.push_back(s.substr(i, k - i));
    i = k + nEnd;
  }
  std::vector<Line> out;
  for (const auto& l : lines) {
    std::string rest = l;
    while (rest.size() > nCapacity - 1) {
      out.push_back({rest.substr(0, nCapacity - 1), 1});
      rest = rest.substr(nCapacity - 1);
    }
    out.push_back({rest, 0});
  }
  return out;
}

template <typename C>
std::vector<Line> ReadAll(const std::string& s, bool bPairOnly, unsigned int nCapacity) {
  std::basic_string<C> text(s.begin(), s.end());
  CMemoryStream clStream(Bytes(text));
  std::vector<C> buffer(nCapacity);
  std::vector<Line> out;
  for (int nGuard = 0; nGuard < 10000; ++nGuard) {
    int bTruncated = -1;
    const int b = clStream.bReadLine(buffer.data(), nCapacity, &bTruncated,
                                     bPairOnly ? IXStream::kReadLineCRLFOnly : 0u);
    if (!b) break;
    std::string line;
    for (size_t i = 0; buffer[i] != 0; ++i) line += static_cast<char>(buffer[i]);
    out.push_back({line, bTruncated});
  }
  return out;
}

TEST(StreamReadLine, LinesEndAtTheEarliestCrOrLfOrPair) {
  struct Case {
    const char* name;
    std::string text;
    bool pair;
    std::vector<Line> lines;
  };
  const Case cases[] = {
      {"pair then text", "ab\r\ncd", false, {{"ab", 0}, {"cd", 0}}},
      {"lone CR and LF", "a\rb\nc", false, {{"a", 0}, {"b", 0}, {"c", 0}}},
      {"LF before a later CR", "a\nb\rc", false, {{"a", 0}, {"b", 0}, {"c", 0}}},
      {"LF CR is two ends", "a\n\rb", false, {{"a", 0}, {"", 0}, {"b", 0}}},
      {"pairs only keep lone ones", "a\rb\r\n", true, {{"a\rb", 0}}},
      {"pairs only, LF then pair", "a\nb\r\nc", true, {{"a\nb", 0}, {"c", 0}}},
      {"empty lines", "\n\n", false, {{"", 0}, {"", 0}}},
      {"CR at the very end", "ab\r", false, {{"ab", 0}}},
      {"CR at the very end, pairs only", "ab\r", true, {{"ab\r", 0}}},
      {"nothing", "", false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadAll<char>(c.text, c.pair, 100), c.lines);
    EXPECT_EQ(ReadAll<wchar_t>(c.text, c.pair, 100), c.lines);
  }
}

TEST(StreamReadLine, ChunkBoundariesAt80And160DoNotChangeTheLines) {
  for (bool bPair : {false, true}) {
    for (size_t nBefore : {78u, 79u, 80u, 81u, 158u, 159u, 160u, 161u}) {
      for (const std::string& end : {std::string("\r\n"), std::string("\r"), std::string("\n")}) {
        SCOPED_TRACE(testing::Message() << "pair " << bPair << " before " << nBefore << " end "
                                        << end.size() << (end[0] == '\r' ? "CR" : "LF"));
        const std::string text = std::string(nBefore, 'x') + end + "tail";
        EXPECT_EQ(ReadAll<char>(text, bPair, 1000), Model(text, bPair, 1000));
        EXPECT_EQ(ReadAll<wchar_t>(text, bPair, 1000), Model(text, bPair, 1000));
      }
    }
  }
}

TEST(StreamReadLine, ALastLineOf80Or160CharactersWithoutEndComesWhole) {
  for (size_t n : {80u, 160u}) {
    SCOPED_TRACE(n);
    const std::string text(n, 'z');
    CMemoryStream clStream(text);
    std::vector<char> buffer(400);
    int bTruncated = -1;
    ASSERT_EQ(clStream.bReadLine(buffer.data(), 400, &bTruncated, 0), 1);
    EXPECT_EQ(std::string(buffer.data()), text);
    EXPECT_EQ(bTruncated, 0);
    EXPECT_EQ(clStream.bReadLine(buffer.data(), 400, &bTruncated, 0), 0);
  }
}

TEST(StreamReadLine, ALineOfCapacityMinusOneFitsAndOneMoreIsCut) {
  CMemoryStream clExact("abcd\nx");
  char sz[5];
  int bTruncated = -1;
  ASSERT_EQ(clExact.bReadLine(sz, 5, &bTruncated, 0), 1);
  EXPECT_STREQ(sz, "abcd");
  EXPECT_EQ(bTruncated, 0);

  CMemoryStream clLonger("abcde\nx");
  ASSERT_EQ(clLonger.bReadLine(sz, 5, &bTruncated, 0), 1);
  EXPECT_STREQ(sz, "abcd");
  EXPECT_EQ(bTruncated, 1);
  EXPECT_EQ(clLonger.m_pos, 4u) << "the stream stands after the last character given";
  ASSERT_EQ(clLonger.bReadLine(sz, 5, &bTruncated, 0), 1);
  EXPECT_STREQ(sz, "e");
  EXPECT_EQ(bTruncated, 0);
}

TEST(StreamReadLine, TheStreamStandsJustAfterTheLineEnd) {
  CMemoryStream clStream("ab\r\ncd\ref");
  char sz[16];
  ASSERT_EQ(clStream.bReadLine(sz, 16, nullptr, 0), 1);
  EXPECT_EQ(clStream.m_pos, 4u);
  ASSERT_EQ(clStream.bReadLine(sz, 16, nullptr, 0), 1);
  EXPECT_EQ(clStream.m_pos, 7u);
}

TEST(StreamReadLine, TooSmallABufferReadsNothing) {
  CMemoryStream clStream("abc\n");
  char sz[1] = {'q'};
  EXPECT_EQ(clStream.bReadLine(sz, 1, nullptr, 0), 0);
  EXPECT_EQ(sz[0], 0);
  EXPECT_EQ(clStream.bReadLine(static_cast<char*>(nullptr), 10, nullptr, 0), 0);
  EXPECT_EQ(clStream.m_pos, 0u);
}

TEST(StreamReadLine, RandomTextsReadAsTheModelSays) {
  std::mt19937 rng(1234);
  const char alphabet[] = {'a', 'b', '\r', '\n'};
  const unsigned int capacities[] = {2, 3, 10, 79, 80, 81, 161, 2000};
  for (int nRound = 0; nRound < 300; ++nRound) {
    std::string text(rng() % 420, 'a');
    // Mostly letters, so that long lines cross chunks.
    for (auto& c : text) c = rng() % 6 == 0 ? alphabet[2 + rng() % 2] : alphabet[rng() % 2];
    const bool bPair = rng() % 2 == 0;
    const unsigned int nCapacity = capacities[rng() % std::size(capacities)];
    SCOPED_TRACE(testing::Message() << "round " << nRound << " capacity " << nCapacity);
    const auto expected = Model(text, bPair, nCapacity);
    ASSERT_EQ(ReadAll<char>(text, bPair, nCapacity), expected);
    ASSERT_EQ(ReadAll<wchar_t>(text, bPair, nCapacity), expected);
  }
}

}  // namespace
