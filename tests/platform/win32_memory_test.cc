// Heap and global blocks, and the memory status.
#include "platform/win32_memory.h"

#include <gtest/gtest.h>

#include <malloc.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/memory_status.h"

namespace {

bool AllBytes(const void* p, size_t n, unsigned char b) {
  const auto* q = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < n; ++i) {
    if (q[i] != b) return false;
  }
  return true;
}

TEST(HeapBlocks, ZeroMemoryFlagZeroesTheCallersBytesAndTheSizeIsKept) {
  void* p = HeapAlloc(nullptr, HEAP_ZERO_MEMORY, 100);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(AllBytes(p, 100, 0));
  EXPECT_EQ(HeapSize(nullptr, 0, p), 100u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 4, 0u);
  EXPECT_EQ(HeapFree(nullptr, 0, p), 1);
}

TEST(HeapBlocks, GrowingWithZeroMemoryZeroesOnlyTheAddedBytes) {
  auto* p = static_cast<unsigned char*>(HeapAlloc(nullptr, 0, 16));
  ASSERT_NE(p, nullptr);
  std::memset(p, 0xAB, 16);
  p = static_cast<unsigned char*>(HeapReAlloc(nullptr, HEAP_ZERO_MEMORY, p, 64));
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(AllBytes(p, 16, 0xAB));
  EXPECT_TRUE(AllBytes(p + 16, 48, 0));
  EXPECT_EQ(HeapSize(nullptr, 0, p), 64u);
  p = static_cast<unsigned char*>(HeapReAlloc(nullptr, HEAP_ZERO_MEMORY, p, 8));
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(AllBytes(p, 8, 0xAB));
  EXPECT_EQ(HeapSize(nullptr, 0, p), 8u);
  HeapFree(nullptr, 0, p);
}

TEST(HeapBlocks, SizesWhoseHeaderWouldWrapAreRefused) {
  // size + 4 would wrap to a 2-byte block that the caller then overruns.
  EXPECT_EQ(HeapAlloc(nullptr, 0, 0xFFFFFFFEu), nullptr);
  try {
    HeapAlloc(nullptr, HEAP_GENERATE_EXCEPTIONS, 0xFFFFFFFDu);
    ADD_FAILURE() << "no exception";
  } catch (unsigned int n) {
    EXPECT_EQ(n, STATUS_NO_MEMORY);
  }
  void* p = HeapAlloc(nullptr, 0, 4);
  ASSERT_NE(p, nullptr);
  std::memset(p, 0x11, 4);
  EXPECT_EQ(HeapReAlloc(nullptr, 0, p, 0xFFFFFFFFu), nullptr);
  EXPECT_TRUE(AllBytes(p, 4, 0x11));  // still the caller's, unchanged
  EXPECT_EQ(HeapReAlloc(nullptr, 0, nullptr, 4), nullptr);
  HeapFree(nullptr, 0, p);
  EXPECT_EQ(HeapFree(nullptr, 0, nullptr), 1);
}

TEST(GlobalBlocks, ZeroInitZeroesNewBlocks) {
  void* p = GlobalAlloc(GMEM_ZEROINIT, 33);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(AllBytes(p, 33, 0));
  EXPECT_EQ(GlobalLock(p), p);
  EXPECT_EQ(GlobalUnlock(p), 1);
  EXPECT_EQ(GlobalFree(p), nullptr);
  EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST(GlobalBlocks, ReAllocWithZeroInitKeepsTheContentAndZeroesTheGrowth) {
  auto* p = static_cast<unsigned char*>(GlobalAlloc(GMEM_ZEROINIT, 40));
  ASSERT_NE(p, nullptr);
  std::memset(p, 0x5A, 40);
  p = static_cast<unsigned char*>(GlobalReAlloc(p, 4000, GMEM_ZEROINIT));
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(AllBytes(p, 40, 0x5A));  // Windows zeroes only the growth
  EXPECT_TRUE(AllBytes(p + 40, 4000 - 40, 0));
  EXPECT_EQ(GlobalReAlloc(p, 1, GMEM_MODIFY), p);
  GlobalFree(p);
}

TEST(GlobalBlocks, ReAllocWithZeroInitZeroesFromTheOldBlocksRealSize) {
  auto* p = static_cast<unsigned char*>(GlobalAlloc(0, 100));
  ASSERT_NE(p, nullptr);
  const size_t nOld = malloc_usable_size(p);
  std::memset(p, 0x77, nOld);
  p = static_cast<unsigned char*>(GlobalReAlloc(p, 5000, GMEM_ZEROINIT));
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(AllBytes(p, nOld, 0x77));
  EXPECT_TRUE(AllBytes(p + nOld, 5000 - nOld, 0));
  GlobalFree(p);
}

TEST(GlobalBlocks, ZeroMemoryClearsTheBytes) {
  unsigned char ab[8];
  std::memset(ab, 0xFF, sizeof ab);
  ZeroMemory(ab, 5);
  EXPECT_TRUE(AllBytes(ab, 5, 0));
  EXPECT_TRUE(AllBytes(ab + 5, 3, 0xFF));
}

class MemInfoFile : public testing::Test {
 protected:
  void SetUp() override {
    char sz[] = "/tmp/kq-meminfo-XXXXXX";
    int fd = mkstemp(sz);
    ASSERT_GE(fd, 0);
    close(fd);
    m_path = sz;
  }
  void TearDown() override { unlink(m_path.c_str()); }
  void Write(const std::string& text) {
    FILE* f = std::fopen(m_path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs(text.c_str(), f);
    std::fclose(f);
  }
  std::string m_path;
};

TEST_F(MemInfoFile, KilobyteLinesSetTheAmountsAndBuffersAndCacheAreAvailable) {
  Write("MemTotal:       1000 kB\nMemFree:         100 kB\nMemAvailable:    500 kB\n"
        "Buffers:          50 kB\nCached:          150 kB\nSwapCached:        7 kB\n"
        "SwapTotal:       200 kB\nSwapFree:        100 kB\n");
  MEMORYSTATUSEX st;
  std::memset(&st, 0xEE, sizeof st);
  ASSERT_TRUE(__bReadMeminfo(m_path.c_str(), &st));
  EXPECT_EQ(st.dwLength, 40u);
  EXPECT_EQ(st.ullTotalPhys, 1000u * 1024);
  EXPECT_EQ(st.ullAvailPhys, 300u * 1024);
  EXPECT_EQ(st.ullTotalPageFile, 200u * 1024);
  EXPECT_EQ(st.ullAvailPageFile, 100u * 1024);
  // (1000 + 200 - 100 - 300) / (1200 / 100) in bytes.
  EXPECT_EQ(st.dwMemoryLoad, (800u * 1024) / (1200u * 1024 / 100));
  EXPECT_EQ(st.ullTotalVirtual, 0xEEEEEEEEEEEEEEEEULL);  // beyond the 40 bytes: untouched
}

TEST_F(MemInfoFile, OldFormLinesAddTheirAmountsInBytes) {
  Write("        total:    used:    free:  shared: buffers:  cached:\n"
        "Mem:  1000 600 400 0 100 200\nSwap: 500 100 400\n");
  MEMORYSTATUSEX st = {};
  ASSERT_TRUE(__bReadMeminfo(m_path.c_str(), &st));
  EXPECT_EQ(st.ullTotalPhys, 1000u);
  EXPECT_EQ(st.ullAvailPhys, 700u);
  EXPECT_EQ(st.ullTotalPageFile, 500u);
  EXPECT_EQ(st.ullAvailPageFile, 400u);
}

TEST_F(MemInfoFile, GarbageAndTinyAmountsGiveNoLoadAndNoDivisionByZero) {
  std::string garbage("MemTotal: 0 kB\n\x01\x02\xFF\n", 20);
  garbage += std::string(600, 'x') + "\nMem: 50 0 60 0 0 0\n";
  Write(garbage);
  MEMORYSTATUSEX st = {};
  ASSERT_TRUE(__bReadMeminfo(m_path.c_str(), &st));
  EXPECT_EQ(st.dwMemoryLoad, 0u);
  EXPECT_FALSE(__bReadMeminfo("/nonexistent/meminfo", &st));
}

TEST(MemoryStatus, ReportsTheMachinesMemoryAndAnswersSuccess) {
  __ResetMemoryStatusCache();
  MEMORYSTATUSEX st = {};
  EXPECT_EQ(GlobalMemoryStatusEx(&st), 1);
  EXPECT_EQ(st.dwLength, 40u);
  EXPECT_GT(st.ullTotalPhys, 0u);
  EXPECT_LE(st.ullAvailPhys, st.ullTotalPhys);
  EXPECT_LE(st.dwMemoryLoad, 100u);
  MEMORYSTATUS st32 = {};
  GlobalMemoryStatus(&st32);
  EXPECT_EQ(st32.dwLength, 24u);
  EXPECT_EQ(st32.dwTotalPhys, static_cast<uint32_t>(st.ullTotalPhys));
}

}  // namespace
