// The conversions reuse their iconv descriptors: each thread opens a
// descriptor once per conversion it makes, and closes them when it ends.
//
// This program interposes iconv_open and iconv_close (the framework is linked
// into it statically, so its calls bind to the definitions below), counts the
// calls per thread, and passes them on to the C library.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <iconv.h>

#include <atomic>
#include <string>
#include <thread>

#include "core/codepage_conversion.h"

namespace {

std::atomic<int> g_nOpens{0};
std::atomic<int> g_nCloses{0};
thread_local int t_nOpens = 0;

using PFNICONVOPEN = iconv_t (*)(const char*, const char*);
using PFNICONVCLOSE = int (*)(iconv_t);

}  // namespace

extern "C" iconv_t iconv_open(const char* pszTo, const char* pszFrom) {
  static const PFNICONVOPEN pfnNext =
      reinterpret_cast<PFNICONVOPEN>(dlsym(RTLD_NEXT, "iconv_open"));
  ++g_nOpens;
  ++t_nOpens;
  return pfnNext(pszTo, pszFrom);
}

extern "C" int iconv_close(iconv_t cd) {
  static const PFNICONVCLOSE pfnNext =
      reinterpret_cast<PFNICONVCLOSE>(dlsym(RTLD_NEXT, "iconv_close"));
  ++g_nCloses;
  return pfnNext(cd);
}

namespace {

// One round of every kind of conversion through iconv (932 and 936 have no
// road of their own), with an output and without.
void ConvertOnce() {
  wchar_t acWide[16];
  char acBytes[16];
  MultiByteToWideChar(932, 0, "\x83\x5C", 2, acWide, 16);
  MultiByteToWideChar(932, 0, "\x83\x5C", 2, nullptr, 0);
  MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, "\x83\x5C", 2, acWide, 16);
  WideCharToMultiByte(936, 0, L"\x4E2D\x3A9\x0E01", 3, acBytes, 16, nullptr, nullptr);
  WideCharToMultiByte(936, 0, L"\x4E2D\x3A9\x0E01", 3, nullptr, 0, nullptr, nullptr);
  MultiByteToMultiByte(932, "\x83\x5C", 2, 936, acBytes, 16, 0);
  MultiByteToMultiByte(932, "\x83\x5C", 2, 65001, nullptr, 0, 0);
}

TEST(IConvReuse, AThreadOpensEachConverterOnce) {
  std::thread worker([] {
    ConvertOnce();
    const int nFirst = t_nOpens;
    EXPECT_GT(nFirst, 0);
    for (int i = 0; i < 500; ++i) ConvertOnce();
    EXPECT_EQ(t_nOpens, nFirst) << "a later conversion opened a descriptor";
  });
  worker.join();
}

TEST(IConvReuse, AThreadClosesItsConvertersWhenItEnds) {
  const int nOpensBefore = g_nOpens.load();
  const int nClosesBefore = g_nCloses.load();
  std::thread worker([] {
    for (int i = 0; i < 10; ++i) ConvertOnce();
  });
  worker.join();
  const int nOpened = g_nOpens.load() - nOpensBefore;
  EXPECT_GT(nOpened, 0);
  // Opens that iconv refused (the names glibc does not know) need no close.
  EXPECT_LE(g_nCloses.load() - nClosesBefore, nOpened);
  EXPECT_GT(g_nCloses.load() - nClosesBefore, 0);
}

TEST(IConvReuse, ThreadsDoNotShareConverters) {
  // Each of two threads opens its own: the second thread's first round opens
  // as many as the first thread's did.
  int nFirst = 0, nSecond = 0;
  std::thread a([&] {
    ConvertOnce();
    nFirst = t_nOpens;
  });
  a.join();
  std::thread b([&] {
    ConvertOnce();
    nSecond = t_nOpens;
  });
  b.join();
  EXPECT_GT(nFirst, 0);
  EXPECT_EQ(nFirst, nSecond);
}

TEST(IConvReuse, Utf8AndCp1252NeedNoConverter) {
  std::thread worker([] {
    wchar_t acWide[16];
    char acBytes[16];
    for (int i = 0; i < 50; ++i) {
      MultiByteToWideChar(65001, 0, "caf\xC3\xA9", 5, acWide, 16);
      MultiByteToWideChar(1252, 0, "caf\xE9\x81", 5, acWide, 16);
      WideCharToMultiByte(65001, 0, L"caf\xE9\xD800", 5, acBytes, 16, nullptr, nullptr);
      WideCharToMultiByte(1252, 0, L"caf\xE9\x3A9", 5, acBytes, 16, nullptr, nullptr);
      MultiByteToMultiByte(1252, "caf\xE9", 4, 0, acBytes, 16, 0);
    }
    EXPECT_EQ(t_nOpens, 0);
  });
  worker.join();
}

}  // namespace
