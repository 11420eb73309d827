// Drives the message block's unpacker with arbitrary packed texts, capacities
// and text kinds, scans arbitrary bytes as a block, and checks that whatever
// the packer writes unpacks to exactly what it was given. Nothing may read or
// write past a buffer; every output must be terminated within its capacity.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/message_packing.h"
#include "core/numbered_messages.h"

namespace {

void UnpackBytes(const uint8_t* pData, size_t nSize, int nCapacity) {
  // Exactly nCapacity bytes on the heap, so that ASan sees a write past them.
  std::vector<unsigned char> out(static_cast<size_t>(nCapacity));
  int n = nCapacity;
  const int nCode = CDataCompressor::nDeCompress(out.data(), &n, pData, static_cast<int>(nSize));
  if (memchr(out.data(), 0, out.size()) == nullptr) std::abort();
  if (n < 0) std::abort();
  if (nCode == CDataCompressor::kOk && n > nCapacity - 1) std::abort();
  if (nCode == CDataCompressor::kCut && n <= nCapacity - 1) std::abort();
  // The unpacking buffers of the wide forms rely on this bound.
  if (n > static_cast<int>(nSize * 3 / 2 + 1)) std::abort();
}

void UnpackWide(const uint8_t* pData, size_t nSize, int nCapacity, int nKind) {
  std::vector<wchar_t> out(static_cast<size_t>(nCapacity));
  STRessourceModule stRes = {1, 0, pData, static_cast<int>(nSize), nKind, 0};
  int n = nCapacity;
  const int nCode = CDataCompressor::s_nDeCompress(out.data(), &n, stRes);
  if (nCode == CDataCompressor::kOk || nCode == CDataCompressor::kCut) {
    if (n < 0 || n > nCapacity - 1 || out[static_cast<size_t>(n)] != L'\0') std::abort();
  }
  wchar_t* pszWhole = CDataCompressor::s_pszDeCompress(stRes);
  free(pszWhole);
}

void RoundTrip(const uint8_t* pData, size_t nSize) {
  const std::string strBytes(reinterpret_cast<const char*>(pData), nSize);
  const std::string strPacked = kqmessages::strPack(strBytes);
  std::vector<unsigned char> out(nSize + 1);
  int n = static_cast<int>(out.size());
  const int nCode = CDataCompressor::nDeCompress(
      out.data(), &n, reinterpret_cast<const unsigned char*>(strPacked.data()),
      static_cast<int>(strPacked.size()));
  if (nCode != CDataCompressor::kOk || n != static_cast<int>(nSize)) std::abort();
  if (memcmp(out.data(), pData, nSize) != 0) std::abort();
}

void ScanBlock(const uint8_t* pData, size_t nSize) {
  uint32_t anOffsets[64];
  const int nCount = CResAnsi76::nScanBlock(pData, static_cast<unsigned int>(nSize), anOffsets, 64);
  for (int i = 0; i < nCount && i < 64; ++i) {
    const unsigned int nOffset = anOffsets[i];
    if (nOffset + kResRecordHeader > nSize) std::abort();
    const unsigned int nPacked = pData[nOffset + 5] | (pData[nOffset + 6] << 8);
    if (nOffset + kResRecordHeader + nPacked > nSize) std::abort();
    // Every record the scan accepts unpacks safely.
    UnpackBytes(pData + nOffset + kResRecordHeader, nPacked, 64);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  if (nSize < 2 || nSize > 65535) return 0;
  const uint8_t byMode = pData[0];
  const int nCapacity = 1 + pData[1];
  pData += 2;
  nSize -= 2;
  switch (byMode % 4) {
    case 0:
      UnpackBytes(pData, nSize, nCapacity);
      break;
    case 1:
      UnpackWide(pData, nSize, nCapacity, (byMode >> 2) % 4);
      break;
    case 2:
      RoundTrip(pData, nSize);
      break;
    case 3:
      ScanBlock(pData, nSize);
      break;
  }
  return 0;
}
