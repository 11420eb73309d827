// Time-based UUIDs: layout, first-call result, uniqueness and time order.
#include "platform/uuid.h"

#include <gtest/gtest.h>

#include <sys/time.h>

#include <cstring>
#include <set>
#include <string>

#include "tests/platform/child_process.h"

namespace {

std::string Bytes(const _GUID& g) { return std::string(reinterpret_cast<const char*>(&g), sizeof g); }

unsigned long long Timestamp(const unsigned char* b) {
  unsigned long long low = (0ULL + b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
  unsigned long long mid = (0ULL + b[4]) << 8 | b[5];
  unsigned long long high = ((0ULL + b[6]) << 8 | b[7]) & 0x0FFF;
  return high << 48 | mid << 32 | low;
}

// In a child of its own, which has made no UUID yet (the test program may
// run every test twice).
TEST(Uuid, FirstCallSaysTheNodeIsLocalAndLaterCallsSucceed) {
  EXPECT_EQ(kqtest::RunInChild([] {
              _GUID g;
              if (UuidCreate(&g) != RPC_S_UUID_LOCAL_ONLY) return 1;
              return UuidCreate(&g) == 0 ? 0 : 2;
            }),
            0);
}

TEST(Uuid, LayoutCarriesVersionVariantNodeAndTheClock) {
  _GUID a, b;
  UuidCreate(&a);
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  UuidCreate(&b);
  const auto* pa = reinterpret_cast<const unsigned char*>(&a);
  const auto* pb = reinterpret_cast<const unsigned char*>(&b);
  EXPECT_EQ(pa[6] >> 4, 1);           // version 1
  EXPECT_EQ(pa[8] & 0xC0, 0x80);      // variant
  EXPECT_EQ(pa[10] & 0x80, 0x80);     // made-up node
  EXPECT_EQ(0, std::memcmp(pa + 10, pb + 10, 6));  // one node per process
  const unsigned long long now = static_cast<unsigned long long>(tv.tv_sec) * 10000000ULL +
                                 static_cast<unsigned long long>(tv.tv_usec) * 10ULL + 0x01B21DD213814000ULL;
  EXPECT_LE(Timestamp(pa), now + 10);
  EXPECT_GE(Timestamp(pa) + 10000000ULL, now);
  EXPECT_GT(Timestamp(pb), Timestamp(pa));
}

TEST(Uuid, ManyUuidsInQuickSuccessionAreAllDifferent) {
  std::set<std::string> seen;
  for (int i = 0; i < 5000; ++i) {
    _GUID g;
    UuidCreate(&g);
    ASSERT_TRUE(seen.insert(Bytes(g)).second) << "duplicate at " << i;
  }
}

TEST(Uuid, EqualityComparesAllSixteenBytes) {
  _GUID a, b;
  UuidCreate(&a);
  b = a;
  EXPECT_TRUE(IsEqualGUID(a, b));
  b.Data4[7] ^= 1;
  EXPECT_FALSE(IsEqualGUID(a, b));
}

}  // namespace
