// Time-based (version 1) UUIDs, as the Win32 UuidCreate makes them on a
// machine without a network card, and GUID comparison.
//
// The node is six random bytes (the first with the bit 0x80 set) and the
// clock sequence 13 random bits, both drawn once per process from the
// kernel's random source (getrandom, or /dev/urandom when that call is
// missing): an unseeded rand() would give every process the same node.
//
// Threads: the generator state is process-wide and unguarded; callers
// serialise (the driver mutex).
#ifndef KQ230_PLATFORM_UUID_H_
#define KQ230_PLATFORM_UUID_H_

#include <cstdint>

typedef struct _GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID;

// The first call's result: the node was just made up (RPC_S_UUID_LOCAL_ONLY).
inline constexpr int RPC_S_UUID_LOCAL_ONLY = 1824;

// Bytes 0-3 the low 32 bits of the 60-bit timestamp (100 ns since
// 1582-10-15), most significant first; 4-5 its bits 32-47; 6-7 its bits
// 48-59 with the version 1 in the top four bits; 8-9 the clock sequence with
// the variant bit 0x8000; 10-15 the node. Two UUIDs made in the same
// microsecond differ by an adjustment of the timestamp (at most 9 per
// microsecond; beyond that the clock is read again); a clock that goes back
// advances the clock sequence. Answers RPC_S_UUID_LOCAL_ONLY on the first
// call of the process, 0 afterwards.
// REQUIRES: pGuid is not null.
int UuidCreate(_GUID* pGuid);

// The 16 bytes are equal.
int IsEqualGUID(const _GUID& a, const _GUID& b);

#endif  // KQ230_PLATFORM_UUID_H_
