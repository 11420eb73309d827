// Reads arbitrary bytes as a message file: the typed header, the message
// file's header, the index and the texts, through the checks of the format
// and the loaders of texts by number (numbers taken from the index's own
// entries and from the input). Nothing may read past a buffer or allocate
// what the file only announces.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "core/wide_string.h"
#include "platform/message_file.h"

namespace {

// One file per fuzzing process, rewritten for each input.
const std::wstring& FilePath() {
  static const std::wstring path = [] {
    static const std::string narrow = "/tmp/kq-message-file-fuzz-" + std::to_string(getpid()) + ".kqm";
    std::atexit([] { unlink(narrow.c_str()); });
    return std::wstring(narrow.begin(), narrow.end());
  }();
  return path;
}

uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::wstring& path = FilePath();
  const std::string narrow(path.begin(), path.end());
  FILE* pFile = std::fopen(narrow.c_str(), "wb");
  if (pFile == nullptr) return 0;
  std::fwrite(pData, 1, nSize, pFile);
  std::fclose(pFile);

  CKQMFile check;
  check.bVerifieFormat(path.c_str());

  CKQMFile f;
  if (!f.bOpen(path.c_str(), CKQFile::eFORMAT_DEFAULT, IXStream::eACCESS_READ, IXStream::eSHARE_NONE,
               IXStream::eCREATE_EXISTING, IXStream::eFLAG_NONE)) {
    return 0;
  }
  // Numbers: a few fixed ones, and every aligned 32-bit word of the input
  // (the index's own numbers among them).
  std::vector<uint32_t> numbers = {0, 1, 2, 0xFFFFFFFF};
  for (size_t i = 0; i + 4 <= nSize && numbers.size() < 64; i += 4) numbers.push_back(Get32(pData + i));
  for (uint32_t n : numbers) {
    CTString clText;
    f.bLoadString(n, &clText);
    wchar_t sz[7];
    const int nLength = f.nLoadString(n, sz, 7);
    if (nLength < 0) std::abort();
    if (nLength > 0 && std::wcslen(sz) > 6) std::abort();  // cut and terminated within 7
    f.__oGetOffsetRessource(n);
  }
  f.Close();
  return 0;
}
