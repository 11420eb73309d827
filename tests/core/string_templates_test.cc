// String templates: buffer creation, line reading, the printf length estimate
// (with a differential check against the real formatting), and the instances
// that the driver exports.
#include "core/string_templates.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "host/harness/host_harness.h"
#include "core/message_formatting.h"
#include "tests/core/failing_heap.h"

namespace {

using kqtest::FailingHeap;

// A temporary file holding bytes, positioned at its start.
class TempFile {
 public:
  explicit TempFile(const std::string& bytes) : m_pFile(std::tmpfile()) {
    if (m_pFile == nullptr) return;
    // Written past the stream, which so keeps no orientation: the wide
    // reader may still make it wide.
    if (::write(fileno(m_pFile), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
      std::abort();
    std::rewind(m_pFile);
  }
  ~TempFile() {
    if (m_pFile != nullptr) std::fclose(m_pFile);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  FILE* get() const { return m_pFile; }

 private:
  FILE* m_pFile;
};

// UTF-16 units in the machine's byte order, as bytes.
std::string Utf16Bytes(std::initializer_list<unsigned short> units) {
  std::string s;
  for (unsigned short u : units) s.append(reinterpret_cast<const char*>(&u), 2);
  return s;
}

template <class T>
struct Buffer {
  T* p = nullptr;
  int nSize = 0;
  ~Buffer() { std::free(p); }
};

TEST(StringTemplates, CreatesBuffersForTheCharactersAndATerminator) {
  wchar_t* pw = STRG_pszCreate<wchar_t>(3);
  char* pa = STRG_pszCreate<char>(3);
  ASSERT_NE(pw, nullptr);
  ASSERT_NE(pa, nullptr);
  std::wmemcpy(pw, L"abc", 4);  // the sanitizer sees a write past n + 1
  std::memcpy(pa, "abc", 4);
  std::free(pw);
  std::free(pa);
}

TEST(StringTemplates, AnEmptyFileGivesMinusOneAndAnAllocatedEmptyBuffer) {
  {
    TempFile file("");
    Buffer<char> buffer;
    EXPECT_EQ(STRG_nGetLine<char>(&buffer.p, &buffer.nSize, file.get()), -1);
    ASSERT_NE(buffer.p, nullptr);
    EXPECT_EQ(buffer.nSize, 64);
    EXPECT_STREQ(buffer.p, "");
  }
  {
    TempFile file("");
    Buffer<wchar_t> buffer;
    EXPECT_EQ(STRG_nGetLine<wchar_t>(&buffer.p, &buffer.nSize, file.get()), -1);
    ASSERT_NE(buffer.p, nullptr);
    EXPECT_EQ(buffer.nSize, 256);
  }
}

TEST(StringTemplates, LinesKeepTheirLineFeedAndTheLastNeedsNone) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"two lines", "ab\ncd\n", {"ab\n", "cd\n"}},
      {"last line without line feed", "ab\ncd", {"ab\n", "cd"}},
      {"carriage return kept", "a\r\nb", {"a\r\n", "b"}},
      {"empty lines", "\n\n", {"\n", "\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    {
      TempFile file(c.bytes);
      Buffer<char> buffer;
      for (const std::string& line : c.lines) {
        EXPECT_EQ(STRG_nGetLine<char>(&buffer.p, &buffer.nSize, file.get()),
                  static_cast<int>(line.size()));
        EXPECT_EQ(std::string(buffer.p), line);
      }
      EXPECT_EQ(STRG_nGetLine<char>(&buffer.p, &buffer.nSize, file.get()), -1);
    }
    {
      TempFile file(c.bytes);
      Buffer<wchar_t> buffer;
      for (const std::string& line : c.lines) {
        EXPECT_EQ(STRG_nGetLine<wchar_t>(&buffer.p, &buffer.nSize, file.get()),
                  static_cast<int>(line.size()));
        EXPECT_EQ(std::wstring(buffer.p), std::wstring(line.begin(), line.end()));
      }
      EXPECT_EQ(STRG_nGetLine<wchar_t>(&buffer.p, &buffer.nSize, file.get()), -1);
    }
  }
}

TEST(StringTemplates, LongLinesGrowTheBufferStepByStep) {
  const std::string line(1000, 'x');
  {
    TempFile file(line + "\nrest");
    Buffer<char> buffer;
    EXPECT_EQ(STRG_nGetLine<char>(&buffer.p, &buffer.nSize, file.get()), 1001);
    EXPECT_EQ(std::string(buffer.p), line + "\n");
    EXPECT_EQ(buffer.nSize % 64, 0);
    EXPECT_GE(buffer.nSize, 1002);
    EXPECT_LT(buffer.nSize, 1002 + 64);
  }
  {
    TempFile file(line + "\nrest");
    Buffer<wchar_t> buffer;
    EXPECT_EQ(STRG_nGetLine<wchar_t>(&buffer.p, &buffer.nSize, file.get()), 1001);
    EXPECT_EQ(std::wcslen(buffer.p), 1001u);
    EXPECT_EQ(buffer.nSize % 256, 0);
    EXPECT_GE(buffer.nSize, 1002 * 4);
    EXPECT_LT(buffer.nSize, 1002 * 4 + 256);
  }
}

TEST(StringTemplates, Utf16FilesAreReadOneUnitAtATime) {
  // "a", "é", line feed; then a surrogate pair, which stays two lone units;
  // then one odd byte, which is no unit at all.
  const std::string bytes =
      Utf16Bytes({u'a', 0xE9, u'\n', 0xD83D, 0xDE00, u'\n', u'z'}) + std::string(1, 'q');
  TempFile file(bytes);
  Buffer<wchar_t> buffer;
  EXPECT_EQ((__STRG_nGetLine<wchar_t, unsigned short>(buffer.p, buffer.nSize, file.get())), 6);
  EXPECT_EQ(std::wstring(buffer.p), L"a\u00e9\n");
  EXPECT_EQ((__STRG_nGetLine<wchar_t, unsigned short>(buffer.p, buffer.nSize, file.get())), 6);
  EXPECT_EQ(std::wstring(buffer.p), std::wstring({wchar_t(0xD83D), wchar_t(0xDE00), L'\n'}));
  // "z" is read; the odd byte ends the file.
  EXPECT_EQ((__STRG_nGetLine<wchar_t, unsigned short>(buffer.p, buffer.nSize, file.get())), 3);
  EXPECT_EQ(std::wstring(buffer.p), L"z");
  EXPECT_EQ((__STRG_nGetLine<wchar_t, unsigned short>(buffer.p, buffer.nSize, file.get())), -1);
}

TEST(StringTemplates, OutOfMemoryIsADistinctResultAndTheBufferStaysTheCallers) {
  const std::string line(300, 'y');
  {
    TempFile file(line + "\n");
    Buffer<char> buffer;
    FailingHeap::Arm(1);  // the first buffer
    EXPECT_EQ(STRG_nGetLine<char>(&buffer.p, &buffer.nSize, file.get()), STRG_GETLINE_NO_MEMORY);
    FailingHeap::Disarm();
    EXPECT_EQ(buffer.p, nullptr);
  }
  {
    TempFile file(line + "\n");
    Buffer<char> buffer;
    FailingHeap::Arm(3);  // the second growth
    EXPECT_EQ(STRG_nGetLine<char>(&buffer.p, &buffer.nSize, file.get()), STRG_GETLINE_NO_MEMORY);
    FailingHeap::Disarm();
    ASSERT_NE(buffer.p, nullptr);
    EXPECT_EQ(buffer.nSize, 128);
    EXPECT_EQ(std::string(buffer.p), std::string(127, 'y'));
  }
  // A 12-byte line is a line, not a failure.
  TempFile file("eleven char\n");
  Buffer<char> buffer;
  EXPECT_EQ(STRG_nGetLine<char>(&buffer.p, &buffer.nSize, file.get()), 12);
}

TEST(StringTemplates, CharactersComeOneAtATime) {
  TempFile file("ab");
  EXPECT_EQ((STRG_nGetChar<char, char>(file.get())), 'a');
  EXPECT_EQ((STRG_nGetChar<char, char>(file.get())), 'b');
  EXPECT_EQ((STRG_nGetChar<char, char>(file.get())), -1);
  TempFile wide("x");
  EXPECT_EQ((STRG_nGetChar<wchar_t, wchar_t>(wide.get())), L'x');
  EXPECT_EQ((STRG_nGetChar<wchar_t, wchar_t>(wide.get())), -1);
  TempFile odd("\x41");
  EXPECT_EQ((STRG_nGetChar<wchar_t, unsigned short>(odd.get())), -1);
}

// ---------------------------------------------------------------------------
// Printf length

template <class T>
int Estimate(const T* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  const int n = STRG_nCalculeLongueurPrintf<T>(pszFormat, args);
  va_end(args);
  return n;
}

TEST(PrintfLength, CountsAsTheWindowsPrintfWrites) {
  EXPECT_EQ(Estimate<char>("%s=%d", "abc", 5), 3 + 1 + 32);
  EXPECT_EQ(Estimate<char>("%s=%d", static_cast<const char*>(nullptr), 5), 6 + 1 + 32);
  EXPECT_EQ(Estimate<char>("%.2s", "abcdef"), 2);
  EXPECT_EQ(Estimate<char>("%10s", "abc"), 10);
  EXPECT_EQ(Estimate<char>("%10.2s", "abcdef"), 10);
  EXPECT_EQ(Estimate<char>("%s", ""), 1);
  EXPECT_EQ(Estimate<char>("100%%"), 4);
  EXPECT_EQ(Estimate<char>("%*d", 40, 1), 40);
  EXPECT_EQ(Estimate<char>("%#x", 1), 34);
  EXPECT_EQ(Estimate<char>("%I64d|%d", 1LL << 40, 7), 32 + 1 + 32);
  EXPECT_EQ(Estimate<wchar_t>(L"ab%d", 5), 4 + 4 + 32);
  EXPECT_EQ(Estimate<wchar_t>(L"%s", L"wide"), 4);
  EXPECT_EQ(Estimate<wchar_t>(L"%S", "narrow"), 6);
  EXPECT_EQ(Estimate<wchar_t>(L"%n%y"), 0);
  EXPECT_EQ(Estimate<wchar_t>(static_cast<const wchar_t*>(nullptr)), 0);
}

// The argument list of one random call, packed as the 32-bit x86 calling
// convention packs variable arguments (4-byte slots, 8-byte values in two).
static_assert(std::is_same_v<va_list, char*>, "a va_list points at the packed arguments");

class PackedArguments {
 public:
  template <class V>
  void Push(V value) {
    const size_t n = m_bytes.size();
    m_bytes.resize(n + sizeof(V));
    std::memcpy(m_bytes.data() + n, &value, sizeof(V));
  }
  va_list List() {
    m_bytes.resize(m_bytes.size() + 64, 0);  // slack for a stray read
    return reinterpret_cast<char*>(m_bytes.data());
  }

 private:
  std::vector<unsigned char> m_bytes;
};

// One random format in the Windows convention with its arguments. The texts
// are ASCII except wide texts bound for wide output (the test runs in the C
// locale, where only those convert).
template <class T>
struct RandomCall {
  std::basic_string<T> format;
  PackedArguments args;
  std::vector<std::string> narrow;
  std::vector<std::wstring> wide;
};

template <class T>
void MakeCall(std::mt19937& rng, RandomCall<T>& call) {
  constexpr bool kWide = std::is_same_v<T, wchar_t>;
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  auto add = [&](const std::string& s) { call.format.append(s.begin(), s.end()); };
  call.narrow.reserve(16);
  call.wide.reserve(16);
  const int nPieces = 1 + pick(6);
  for (int piece = 0; piece < nPieces; ++piece) {
    const int kind = pick(8);
    if (kind == 0) {
      add(std::string("lit ") + (pick(2) ? "%%" : "x"));
      continue;
    }
    std::string spec = "%";
    const int nFlags = pick(3);
    for (int i = 0; i < nFlags; ++i) spec += "-+ 0#"[pick(5)];
    const int nWidthKind = pick(3);
    if (nWidthKind == 1) spec += std::to_string(pick(60));
    if (nWidthKind == 2) spec += "*";
    const int nPrecisionKind = pick(3);
    if (nPrecisionKind == 1) spec += "." + std::to_string(pick(kind == 5 ? 700 : 40));
    if (nPrecisionKind == 2) spec += ".*";
    // Stars take their values first, in order.
    auto pushStars = [&] {
      if (nWidthKind == 2) call.args.Push(static_cast<int>(pick(121)) - 60);
      if (nPrecisionKind == 2) call.args.Push(static_cast<int>(pick(50)) - 5);
    };
    switch (kind) {
      case 1: {  // integers
        const int size = pick(4);
        const char conv = "diouxX"[pick(6)];
        pushStars();
        if (size == 3) {
          spec += kWide && pick(2) ? "I64" : "ll";  // the 8-bit family has no I64
          call.args.Push(static_cast<long long>((uint64_t(rng()) << 32) | rng()));
        } else {
          spec += size == 1 ? "h" : size == 2 ? "l" : "";
          call.args.Push(static_cast<int>(rng()));
        }
        spec += conv;
        break;
      }
      case 2: {  // characters
        const int form = pick(4);
        pushStars();
        // Which width the character has in this instance.
        const bool bWideChar = form == 0 ? kWide : form == 1 ? !kWide : form == 3;
        spec += form == 0 ? "c" : form == 1 ? "C" : form == 2 ? "hc" : "lc";
        call.args.Push(static_cast<int>(bWideChar && kWide ? 0x41 + pick(2000) : 0x21 + pick(90)));
        break;
      }
      case 3:
      case 4: {  // texts
        const int form = pick(4);
        pushStars();
        const bool bWideText = form == 0 ? kWide : form == 1 ? !kWide : form == 3;
        spec += form == 0 ? "s" : form == 1 ? "S" : form == 2 ? "hs" : "ls";
        const int nLength = pick(4) == 0 ? 0 : pick(80);
        if (pick(10) == 0) {
          call.args.Push(static_cast<const void*>(nullptr));
        } else if (bWideText) {
          std::wstring text;
          for (int i = 0; i < nLength; ++i)
            text += static_cast<wchar_t>(kWide ? 0x20 + pick(0x300) : 0x20 + pick(0x5F));
          call.wide.push_back(text);
          call.args.Push(static_cast<const void*>(call.wide.back().c_str()));
        } else {
          std::string text;
          for (int i = 0; i < nLength; ++i) text += static_cast<char>(0x20 + pick(0x5F));
          call.narrow.push_back(text);
          call.args.Push(static_cast<const void*>(call.narrow.back().c_str()));
        }
        break;
      }
      case 5:
      case 6: {  // floating point, from tiny to the largest
        pushStars();
        spec += "eEfgG"[pick(5)];
        const double aValues[] = {0.0,    -1.5,       1e308, -1.7976931348623157e308,
                                  1e-300, 123456.789, 3.0e15};
        call.args.Push(aValues[pick(7)] * (pick(2) ? 1 : -1));
        break;
      }
      default: {  // pointers
        pushStars();
        spec += "p";
        call.args.Push(static_cast<const void*>(pick(2) ? &call : nullptr));
        break;
      }
    }
    add(spec);
  }
}

int RealLength(const wchar_t* pszFormat, va_list args) {
  wchar_t* p = nullptr;
  errno = 0;
  const int n = vaswprintf(&p, pszFormat, args);
  const bool bFailed = n < 0 || errno == EILSEQ;
  std::free(p);
  return bFailed ? -1 : n;
}

int RealLength(const char* pszFormat, va_list args) {
  va_list ap;
  va_copy(ap, args);
  const int n = std::vsnprintf(nullptr, 0, pszFormat, ap);
  va_end(ap);
  return n;
}

template <class T>
void CheckEstimateIsAnUpperBound(unsigned int seed) {
  std::mt19937 rng(seed);
  int nFormatted = 0;
  for (int round = 0; round < 3000; ++round) {
    RandomCall<T> call;
    MakeCall(rng, call);
    va_list args = call.args.List();
    const int nReal = RealLength(call.format.c_str(), args);
    if (nReal < 0) continue;
    ++nFormatted;
    const int nEstimate = STRG_nCalculeLongueurPrintf<T>(call.format.c_str(), args);
    ASSERT_GE(nEstimate, nReal) << "format: "
                                << std::string(call.format.begin(), call.format.end());
  }
  EXPECT_GT(nFormatted, 2500);
}

TEST(PrintfLength, IsNeverBelowTheWideText) { CheckEstimateIsAnUpperBound<wchar_t>(162); }

TEST(PrintfLength, IsNeverBelowTheEightBitText) { CheckEstimateIsAnUpperBound<char>(1162); }

// ---------------------------------------------------------------------------
// The exported instances, found by name in the loaded driver.

class StringTemplateExports : public testing::Test {
 protected:
  void SetUp() override {
    std::string strError;
    ASSERT_TRUE(m_harness.bLoad(&strError)) << strError;
  }
  CHostHarness m_harness;
};

TEST_F(StringTemplateExports, TheDriverExportsCreationCharacterAndLineReading) {
  using PFNCREATE = wchar_t* (*)(unsigned int);
  using PFNGETCHAR = int (*)(FILE*);
  using PFNGETLINE = int (*)(wchar_t**, int*, FILE*);
  const auto pfnCreate = reinterpret_cast<PFNCREATE>(m_harness.pSymbol("STRG_pszCreate"));
  const auto pfnGetChar = reinterpret_cast<PFNGETCHAR>(m_harness.pSymbol("STRG_nGetChar"));
  const auto pfnGetLine = reinterpret_cast<PFNGETLINE>(m_harness.pSymbol("STRG_nGetLine"));
  ASSERT_NE(pfnCreate, nullptr);
  ASSERT_NE(pfnGetChar, nullptr);
  ASSERT_NE(pfnGetLine, nullptr);

  wchar_t* p = pfnCreate(4);
  ASSERT_NE(p, nullptr);
  std::wmemcpy(p, L"abcd", 5);
  std::free(p);

  TempFile file("xline\nnext");
  EXPECT_EQ(pfnGetChar(file.get()), L'x');
  Buffer<wchar_t> buffer;
  EXPECT_EQ(pfnGetLine(&buffer.p, &buffer.nSize, file.get()), 5);
  EXPECT_EQ(std::wstring(buffer.p), L"line\n");
  EXPECT_EQ(buffer.nSize, 256);
}

}  // namespace
