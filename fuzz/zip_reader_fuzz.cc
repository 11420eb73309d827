// Reads arbitrary bytes as a ZIP archive: the end record search, the ZIP64
// records, the central directory, then every entry's local header and data
// (stored or inflated), and the installation plan of the directory. No read
// may leave the input, no entry may give more bytes than it declares, and
// every failure must be one of the reader's result codes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "installer/install_plan.h"
#include "installer/zip_reader.h"
#include "installer/zip_source.h"

namespace {

class CountingSink : public IZipSink {
 public:
  bool bWrite(const void*, uint32_t nBytes) override {
    m_nBytes += nBytes;
    return true;
  }
  uint64_t m_nBytes = 0;
};

void CheckResult(int eResult) {
  if (eResult < 0 || eResult >= kKQzipResultCount) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  CZipMemorySource clSource(pData, nSize);
  const int64_t nEnd = CWinZip::nSearchCentralDir(&clSource);
  if (nEnd >= 0 && static_cast<uint64_t>(nEnd) + 22 > nSize) std::abort();
  CWinZip clZip;
  const int eOpen = clZip.eOpen(&clSource);
  CheckResult(eOpen);
  if (eOpen != KQZIP_OK) {
    if (!clZip.vGetEntries().empty()) std::abort();
    return 0;
  }
  const std::vector<_stZipEntry>& vEntries = clZip.vGetEntries();
  for (size_t i = 0; i < vEntries.size() && i < 64; ++i) {
    CountingSink clSink;
    const int eResult = clZip.eExtract(i, &clSink);
    CheckResult(eResult);
    if (clSink.m_nBytes > vEntries[i].nSize) std::abort();
    if (eResult == KQZIP_OK && clSink.m_nBytes != vEntries[i].nSize) std::abort();
  }
  std::vector<_stPlannedEntry> vPlan;
  size_t nFailed = 0;
  CheckResult(ePlanInstall(vEntries, &vPlan, &nFailed));
  return 0;
}
