// CNAPasswordDigest: the keyed digest that stands for a password inside the
// driver's connection identifications.
//
// Connections are shared by identification, so the identification must tell
// two passwords apart exactly, yet it is a text that may reach a dump or a
// message, so it must not hold the password. A keyed digest does both: two
// passwords give the same digest only if they are equal (up to a 2^-128
// chance), and without the key, which is drawn from the system's random
// source each time the library starts and never leaves the process, the
// digest tells nothing about the password (no dictionary can be run on it).
//
// The digest is SipHash-2-4, run twice with two halves of a 256-bit key, over
// the password's 4-byte characters; it is written as 32 lower-case hex
// digits.
//
// Threads: g_DrawKey runs at library start (no operation runs then); digests
// are made under the driver lock. The key is process-wide.
#ifndef KQ230_DRIVER_PASSWORD_DIGEST_H_
#define KQ230_DRIVER_PASSWORD_DIGEST_H_

#include <cstdint>

class CNAPasswordDigest {
 public:
  static constexpr int kDigestChars = 32;

  // Draws a new key: digests made before no longer match those made after.
  static void g_DrawKey();
  // Writes the digest of pszPassword (null reads as empty) as 32 hex digits
  // and a terminating zero into pszOut. Draws the key first when none was
  // drawn yet.
  // REQUIRES: pszOut holds kDigestChars + 1 characters.
  static void g_Digest(const wchar_t* pszPassword, wchar_t* pszOut);

  // SipHash-2-4 of nBytes bytes under the 128-bit key (k0, k1). Exposed for
  // the tests, which check it against the published test vectors.
  static uint64_t g_llSipHash24(uint64_t k0, uint64_t k1, const unsigned char* pData,
                                 unsigned int nBytes);
};

#endif  // KQ230_DRIVER_PASSWORD_DIGEST_H_
