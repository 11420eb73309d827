// The stand-in virtual machine's allocator and log, which the driver's tests
// rely on to count buffers and to see what the driver asked for.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>

#include "host/harness/host_harness.h"

namespace {

class StandInVM : public testing::Test {
 protected:
  void SetUp() override {
    std::string strError;
    ASSERT_TRUE(m_harness.bLoad(&strError)) << strError;
    m_piAlloc = m_harness.Control().piGetStrMemAlloc();
  }
  CHostHarness m_harness;
  IStrMemAlloc* m_piAlloc = nullptr;
};

TEST_F(StandInVM, NewBuffersCarryTheCountedHeaderAndZeroTrailer) {
  for (unsigned int nBytes : {0u, 1u, 4u, 7u, 64u}) {
    SCOPED_TRACE(nBytes);
    unsigned char* pData = nullptr;
    ASSERT_EQ(m_piAlloc->vnAllocStrMemEx(&pData, nBytes, 0), 0);
    const _stStrMemHeader* pHeader = StrMemHeader(pData);
    EXPECT_EQ(pHeader->dwFlags, 0u);
    EXPECT_EQ(pHeader->nRefCount, 1);
    EXPECT_GE(pHeader->nCapacity, nBytes);
    EXPECT_EQ(pHeader->nLength, 0u);
    EXPECT_EQ(pData[0], 0);
    const unsigned char zeros[4] = {};
    EXPECT_EQ(std::memcmp(pData + pHeader->nCapacity, zeros, 4), 0);
    EXPECT_EQ(m_harness.Control().nLiveStrBuffers(), 1);
    StrMemHeader(pData)->nRefCount = 0;
    m_piAlloc->vReleaseStrMem(pData);
    EXPECT_EQ(m_harness.Control().nLiveStrBuffers(), 0);
  }
}

TEST_F(StandInVM, ResizingKeepsHeaderAndContent) {
  unsigned char* pData = nullptr;
  ASSERT_EQ(m_piAlloc->vnAllocStrMemEx(&pData, 8, 0), 0);
  std::memcpy(pData, "abcdefgh", 8);
  StrMemHeader(pData)->nLength = 8;
  StrMemHeader(pData)->dwFlags = 1;
  ASSERT_EQ(m_piAlloc->vnReallocStrMemEx(&pData, 400, 0), 0);
  EXPECT_EQ(std::memcmp(pData, "abcdefgh", 8), 0);
  EXPECT_EQ(StrMemHeader(pData)->nLength, 8u);
  EXPECT_EQ(StrMemHeader(pData)->dwFlags, 1u);
  EXPECT_GE(StrMemHeader(pData)->nCapacity, 400u);
  EXPECT_EQ(m_harness.Control().nLiveStrBuffers(), 1);
  StrMemHeader(pData)->nRefCount = 0;
  m_piAlloc->vReleaseStrMem(pData);
}

TEST_F(StandInVM, ReleasesOfABufferStillHeldOrAlreadyFreedAreCaughtNotFreed) {
  unsigned char* pData = nullptr;
  ASSERT_EQ(m_piAlloc->vnAllocStrMemEx(&pData, 8, 0), 0);
  m_piAlloc->vReleaseStrMem(pData);  // count still 1
  EXPECT_EQ(m_harness.Control().nBadStrReleases(), 1);
  EXPECT_EQ(m_harness.Control().nLiveStrBuffers(), 1);
  StrMemHeader(pData)->nRefCount = 0;
  m_piAlloc->vReleaseStrMem(pData);
  EXPECT_EQ(m_harness.Control().nLiveStrBuffers(), 0);
  m_piAlloc->vReleaseStrMem(pData);  // a second release of the same buffer
  EXPECT_EQ(m_harness.Control().nBadStrReleases(), 2);
}

TEST_F(StandInVM, TheNthAllocationFailsWithACodeOfItsOwn) {
  m_harness.Control().FailStrAllocationAt(2);
  unsigned char* p1 = nullptr;
  unsigned char* p2 = nullptr;
  ASSERT_EQ(m_piAlloc->vnAllocStrMemEx(&p1, 8, 0), 0);
  const int nCode = m_piAlloc->vnReallocStrMemEx(&p1, 80, 0);
  EXPECT_EQ(nCode, kStandInAllocFailure);
  EXPECT_TRUE(nCode < 102 || nCode > 112);
  EXPECT_EQ(StrMemHeader(p1)->nCapacity < 80, true) << "a failed resize leaves the buffer";
  ASSERT_EQ(m_piAlloc->vnAllocStrMemEx(&p2, 8, 0), 0) << "only the n-th fails";
  EXPECT_NE(m_piAlloc->vnAllocStrMemEx(&p2, 0xFFFFFFF0u, 0), 0);
  for (unsigned char* p : {p1, p2}) {
    StrMemHeader(p)->nRefCount = 0;
    m_piAlloc->vReleaseStrMem(p);
  }
  EXPECT_EQ(m_harness.Control().nStrAllocations(), 4);
}

TEST_F(StandInVM, LogsEveryExecutionCall) {
  auto pfnExecution =
      reinterpret_cast<PFNVMEXECUTION>(dlsym(m_harness.hVM(), "Execution"));
  ASSERT_NE(pfnExecution, nullptr);
  EXPECT_NE(pfnExecution(3053, 13), 0);
  m_harness.Control().SetServiceAvailable(13, 0);
  EXPECT_EQ(pfnExecution(3053, 13), 0);
  EXPECT_EQ(pfnExecution(3052, 0), 1);
  EXPECT_EQ(pfnExecution(1, 0), 0);
  EXPECT_EQ(m_harness.strLog(), "3053:13 3053:13 3052 1");
}

}  // namespace
