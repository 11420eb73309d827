#include "platform/uuid.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

struct _stUuidState {
  long nLastSeconds = 0;
  long nLastMicros = 0;
  unsigned int nClockSeq = 0;  // 13 bits
  int nAdjustment = 0;
  bool bHasLastTime = false;
  bool bInitialised = false;
  unsigned char abyNode[6] = {};
};

_stUuidState g_stUuid;

// Fills n bytes from the kernel's random source. When neither getrandom nor
// /dev/urandom answers, the bytes come from the clock and the process id:
// unique enough for a node, and never left uninitialised.
void RandomBytes(unsigned char* p, size_t n) {
  size_t nDone = 0;
  while (nDone < n) {
    ssize_t r = getrandom(p + nDone, n - nDone, 0);
    if (r > 0) {
      nDone += static_cast<size_t>(r);
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    break;
  }
  if (nDone == n) return;
  int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    while (nDone < n) {
      ssize_t r = read(fd, p + nDone, n - nDone);
      if (r > 0) {
        nDone += static_cast<size_t>(r);
      } else if (!(r < 0 && errno == EINTR)) {
        break;
      }
    }
    close(fd);
  }
  if (nDone == n) return;
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  unsigned long long x = (static_cast<unsigned long long>(tv.tv_sec) << 20) ^ tv.tv_usec ^
                         (static_cast<unsigned long long>(getpid()) << 40);
  for (; nDone < n; ++nDone) {
    x = x * 6364136223846793005ULL + 1442695040888963407ULL;
    p[nDone] = static_cast<unsigned char>(x >> 56);
  }
}

void PutBigEndian(unsigned char* p, unsigned long long v, int nBytes) {
  for (int i = nBytes - 1; i >= 0; --i) {
    p[i] = static_cast<unsigned char>(v);
    v >>= 8;
  }
}

}  // namespace

int UuidCreate(_GUID* pGuid) {
  int nResult = 0;
  if (!g_stUuid.bInitialised) {
    RandomBytes(g_stUuid.abyNode, sizeof g_stUuid.abyNode);
    g_stUuid.abyNode[0] |= 0x80;
    g_stUuid.bInitialised = true;
    nResult = RPC_S_UUID_LOCAL_ONLY;
  }
  struct timeval tv;
  for (;;) {
    gettimeofday(&tv, nullptr);
    if (!g_stUuid.bHasLastTime) {
      unsigned char aby[2];
      RandomBytes(aby, sizeof aby);
      g_stUuid.nClockSeq = ((aby[0] << 8) | aby[1]) & 0x1FFF;
      g_stUuid.nLastSeconds = tv.tv_sec;
      g_stUuid.nLastMicros = tv.tv_usec;
      g_stUuid.bHasLastTime = true;
      g_stUuid.nAdjustment = 0;
      break;
    }
    if (tv.tv_sec < g_stUuid.nLastSeconds ||
        (tv.tv_sec == g_stUuid.nLastSeconds && tv.tv_usec < g_stUuid.nLastMicros)) {
      g_stUuid.nClockSeq = (g_stUuid.nClockSeq + 1) & 0x1FFF;
      g_stUuid.nAdjustment = 0;
      break;
    }
    if (tv.tv_sec == g_stUuid.nLastSeconds && tv.tv_usec == g_stUuid.nLastMicros) {
      if (g_stUuid.nAdjustment >= 9) continue;  // ten in this microsecond: wait for the next
      ++g_stUuid.nAdjustment;
      break;
    }
    g_stUuid.nAdjustment = 0;
    break;
  }
  g_stUuid.nLastSeconds = tv.tv_sec;
  g_stUuid.nLastMicros = tv.tv_usec;
  const unsigned long long nTimestamp =
      static_cast<unsigned long long>(tv.tv_sec) * 10000000ULL +
      static_cast<unsigned long long>(tv.tv_usec) * 10ULL + g_stUuid.nAdjustment +
      0x01B21DD213814000ULL;
  unsigned char aby[16];
  PutBigEndian(aby, nTimestamp & 0xFFFFFFFFULL, 4);
  PutBigEndian(aby + 4, (nTimestamp >> 32) & 0xFFFF, 2);
  PutBigEndian(aby + 6, ((nTimestamp >> 48) & 0x0FFF) | 0x1000, 2);
  PutBigEndian(aby + 8, g_stUuid.nClockSeq | 0x8000, 2);
  std::memcpy(aby + 10, g_stUuid.abyNode, 6);
  std::memcpy(pGuid, aby, sizeof aby);
  return nResult;
}

int IsEqualGUID(const _GUID& a, const _GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
