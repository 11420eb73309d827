// Environment variables, the running program's path, makepath and threads.
#include "platform/environment.h"

#include <gtest/gtest.h>

#include <limits.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/threads.h"

namespace {

TEST(Environment, WideValueIsDecodedAndCutToTheBuffer) {
  setenv("KQ_ENV_TEST", "h\xC3\xA9llo", 1);  // "héllo"
  wchar_t sz[16];
  EXPECT_EQ(GetEnvironmentVariableW(L"KQ_ENV_TEST", sz, 16), 5u);
  EXPECT_STREQ(sz, L"h\u00e9llo");
  wchar_t szSmall[5];
  std::wmemset(szSmall, L'#', 5);
  EXPECT_EQ(GetEnvironmentVariableW(L"KQ_ENV_TEST", szSmall, 5), 6u);  // the size needed
  EXPECT_STREQ(szSmall, L"h\u00e9ll");
  EXPECT_EQ(GetEnvironmentVariableW(L"KQ_ENV_TEST", nullptr, 0), 6u);
  unsetenv("KQ_ENV_TEST");
}

TEST(Environment, MissingVariableGivesZero) {
  unsetenv("KQ_ENV_MISSING");
  wchar_t sz[4] = {L'x', 0, 0, 0};
  errno = 0;
  EXPECT_EQ(GetEnvironmentVariableW(L"KQ_ENV_MISSING", sz, 4), 0u);
  EXPECT_EQ(errno, ENOENT);
  char sz8[4];
  EXPECT_EQ(GetEnvironmentVariableA("KQ_ENV_MISSING", sz8, 4), 0u);
}

TEST(Environment, EightBitValueIsInTheCurrentCodePage) {
  // No locale service is bound here: the code page is Windows-1252.
  setenv("KQ_ENV_TEST8", "caf\xC3\xA9", 1);
  char sz[8];
  EXPECT_EQ(GetEnvironmentVariableA("KQ_ENV_TEST8", sz, 8), 4u);
  EXPECT_STREQ(sz, "caf\xE9");
  char szSmall[3];
  EXPECT_EQ(GetEnvironmentVariableA("KQ_ENV_TEST8", szSmall, 3), 5u);
  EXPECT_STREQ(szSmall, "ca");
  unsetenv("KQ_ENV_TEST8");
}

TEST(Environment, SettingAndRemovingVariables) {
  EXPECT_TRUE(SetEnvironmentVariable(L"KQ_ENV_SET", L"\u00e0 b"));
  EXPECT_STREQ(std::getenv("KQ_ENV_SET"), "\xC3\xA0 b");
  EXPECT_TRUE(SetEnvironmentVariable(L"KQ_ENV_SET", nullptr));
  EXPECT_EQ(std::getenv("KQ_ENV_SET"), nullptr);
  EXPECT_TRUE(SetEnvironmentVariable(L"KQ_ENV_SET", nullptr));  // absent: still true
  EXPECT_FALSE(SetEnvironmentVariable(L"BAD=NAME", L"x"));
}

TEST(Environment, ModuleFileNameIsTheRunningProgram) {
  char szLink[PATH_MAX + 1];
  const ssize_t n = readlink("/proc/self/exe", szLink, PATH_MAX);
  ASSERT_GT(n, 0);
  szLink[n] = 0;
  wchar_t sz[PATH_MAX + 1];
  EXPECT_EQ(GetModuleFileNameW(nullptr, sz, PATH_MAX + 1), 1);
  EXPECT_EQ(std::wstring(sz), std::wstring(szLink, szLink + n));
  wchar_t szSmall[5];
  EXPECT_EQ(GetModuleFileNameW(nullptr, szSmall, 5), 1);
  EXPECT_EQ(std::wstring(szSmall), std::wstring(szLink, szLink + 4));
  EXPECT_EQ(GetModuleFileNameW(nullptr, szSmall, 0), 0);
  char sz8[PATH_MAX + 1];
  EXPECT_EQ(GetModuleFileNameA(nullptr, sz8, sizeof sz8), 1);
  EXPECT_STREQ(sz8, szLink);
}

TEST(Environment, MakepathJoinsTheParts) {
  struct Case { const wchar_t *dir, *name, *ext, *expected; };
  const Case cases[] = {
      {L"/usr/lib", L"libx", L"so", L"/usr/lib/libx.so"},
      {L"/usr/lib/", L"libx", L".so", L"/usr/lib/libx.so"},
      {L"/usr/lib", L"", L"so", L"/usr/lib/"},
      {L"/usr/lib", nullptr, nullptr, L"/usr/lib/"},
      {L"", L"name", L"txt", L"name.txt"},
      {nullptr, L"name", L"", L"name"},
  };
  for (const Case& c : cases) {
    wchar_t sz[kMaxPathChars];
    makepath(sz, L"C:", c.dir, c.name, c.ext);
    EXPECT_STREQ(sz, c.expected);
  }
  std::wstring longDir(400, L'd');
  wchar_t sz[kMaxPathChars + 8];
  std::wmemset(sz, L'#', kMaxPathChars + 8);
  makepath(sz, nullptr, longDir.c_str(), L"n", L"e");
  EXPECT_EQ(std::wcslen(sz), kMaxPathChars - 1);
  EXPECT_EQ(sz[kMaxPathChars], L'#');
}

std::atomic<int> g_nRuns{0};

void* CountRun(void* pArgument) {
  g_nRuns.fetch_add(*static_cast<int*>(pArgument));
  return nullptr;
}

TEST(Threads, DetachedAndJoinableThreadsRunTheirFunction) {
  g_nRuns = 0;
  int nOne = 1, nTen = 10;
  const uintptr_t detached = _beginthread(&CountRun, 0, &nOne);
  ASSERT_NE(detached, static_cast<uintptr_t>(-1));
  unsigned long nId = 0;
  const uintptr_t joinable = _beginthreadex(nullptr, 1, &CountRun, &nTen, 0, &nId);  // stack raised
  ASSERT_NE(joinable, 0u);
  EXPECT_EQ(nId, joinable);
  EXPECT_EQ(pthread_join(static_cast<pthread_t>(joinable), nullptr), 0);
  unsigned long nId2 = 0;
  const uintptr_t created = CreateThread(nullptr, 256 * 1024, &CountRun, &nTen, 0, &nId2);
  ASSERT_NE(created, 0u);
  EXPECT_EQ(pthread_join(static_cast<pthread_t>(created), nullptr), 0);
  const auto start = std::chrono::steady_clock::now();
  while (g_nRuns.load() != 21 && std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(g_nRuns.load(), 21);
}

TEST(Threads, PriorityOfTheOrdinaryPolicyIsZero) {
  EXPECT_EQ(SetThreadPriority(static_cast<unsigned long>(pthread_self()), 0), 1);
  errno = 0;
  EXPECT_EQ(SetThreadPriority(static_cast<unsigned long>(pthread_self()), 5), 0);
  EXPECT_EQ(errno, EINVAL);
}

}  // namespace
