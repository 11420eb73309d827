#include "driver/password_digest.h"

#include <fcntl.h>
#include <sys/random.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

namespace {

uint64_t gllKey[4];
bool gbKeyDrawn = false;

inline uint64_t Rotl(uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }

inline void SipRound(uint64_t& v0, uint64_t& v1, uint64_t& v2, uint64_t& v3) {
  v0 += v1;
  v1 = Rotl(v1, 13);
  v1 ^= v0;
  v0 = Rotl(v0, 32);
  v2 += v3;
  v3 = Rotl(v3, 16);
  v3 ^= v2;
  v0 += v3;
  v3 = Rotl(v3, 21);
  v3 ^= v0;
  v2 += v1;
  v1 = Rotl(v1, 17);
  v1 ^= v2;
  v2 = Rotl(v2, 32);
}

inline uint64_t ReadLE64(const unsigned char* p) {
  uint64_t n = 0;
  for (int i = 7; i >= 0; --i) n = (n << 8) | p[i];
  return n;
}

// Fills the buffer from the system's random source. getrandom first; when the
// kernel lacks it, /dev/urandom; as a last resort (neither available) a mix of
// clocks and addresses, which still differs per process.
void FillRandom(unsigned char* pBuffer, unsigned int nBytes) {
  unsigned int nDone = 0;
  while (nDone < nBytes) {
    ssize_t n = getrandom(pBuffer + nDone, nBytes - nDone, 0);
    if (n <= 0) break;
    nDone += static_cast<unsigned int>(n);
  }
  if (nDone < nBytes) {
    int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      while (nDone < nBytes) {
        ssize_t n = read(fd, pBuffer + nDone, nBytes - nDone);
        if (n <= 0) break;
        nDone += static_cast<unsigned int>(n);
      }
      close(fd);
    }
  }
  if (nDone < nBytes) {
    struct timespec stNow[2];
    clock_gettime(CLOCK_REALTIME, &stNow[0]);
    clock_gettime(CLOCK_MONOTONIC, &stNow[1]);
    uint64_t llSeed = uint64_t(stNow[0].tv_nsec) ^ (uint64_t(stNow[0].tv_sec) << 20) ^
                      uint64_t(stNow[1].tv_nsec) ^ uint64_t(getpid()) ^
                      uint64_t(reinterpret_cast<uintptr_t>(&nDone));
    for (; nDone < nBytes; ++nDone) {
      llSeed = llSeed * 6364136223846793005ULL + 1442695040888963407ULL;
      pBuffer[nDone] = static_cast<unsigned char>(llSeed >> 56);
    }
  }
}

}  // namespace

uint64_t CNAPasswordDigest::g_llSipHash24(uint64_t k0, uint64_t k1, const unsigned char* pData,
                                          unsigned int nBytes) {
  uint64_t v0 = 0x736f6d6570736575ULL ^ k0;
  uint64_t v1 = 0x646f72616e646f6dULL ^ k1;
  uint64_t v2 = 0x6c7967656e657261ULL ^ k0;
  uint64_t v3 = 0x7465646279746573ULL ^ k1;
  const unsigned int nWhole = nBytes - nBytes % 8;
  for (unsigned int i = 0; i < nWhole; i += 8) {
    const uint64_t m = ReadLE64(pData + i);
    v3 ^= m;
    SipRound(v0, v1, v2, v3);
    SipRound(v0, v1, v2, v3);
    v0 ^= m;
  }
  uint64_t b = uint64_t(nBytes & 0xFF) << 56;
  for (unsigned int i = 0; i < nBytes % 8; ++i) b |= uint64_t(pData[nWhole + i]) << (8 * i);
  v3 ^= b;
  SipRound(v0, v1, v2, v3);
  SipRound(v0, v1, v2, v3);
  v0 ^= b;
  v2 ^= 0xFF;
  for (int i = 0; i < 4; ++i) SipRound(v0, v1, v2, v3);
  return v0 ^ v1 ^ v2 ^ v3;
}

void CNAPasswordDigest::g_DrawKey() {
  unsigned char aBytes[sizeof(gllKey)];
  FillRandom(aBytes, sizeof(aBytes));
  std::memcpy(gllKey, aBytes, sizeof(gllKey));
  std::memset(aBytes, 0, sizeof(aBytes));
  gbKeyDrawn = true;
}

void CNAPasswordDigest::g_Digest(const wchar_t* pszPassword, wchar_t* pszOut) {
  if (!gbKeyDrawn) g_DrawKey();
  if (pszPassword == nullptr) pszPassword = L"";
  // The 4-byte characters are hashed where they lie (i386 is little-endian),
  // so that no copy of the password is made.
  unsigned int nChars = 0;
  while (pszPassword[nChars] != 0) ++nChars;
  const unsigned char* pBytes = reinterpret_cast<const unsigned char*>(pszPassword);
  const unsigned int nBytes = nChars * sizeof(wchar_t);
  const uint64_t llHigh = g_llSipHash24(gllKey[0], gllKey[1], pBytes, nBytes);
  const uint64_t llLow = g_llSipHash24(gllKey[2], gllKey[3], pBytes, nBytes);
  static const wchar_t kHex[] = L"0123456789abcdef";
  for (int i = 0; i < 16; ++i) {
    pszOut[i] = kHex[(llHigh >> (60 - 4 * i)) & 0xF];
    pszOut[16 + i] = kHex[(llLow >> (60 - 4 * i)) & 0xF];
  }
  pszOut[kDigestChars] = 0;
}
