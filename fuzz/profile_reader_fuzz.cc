// Reads arbitrary bytes as an INI file through the profile functions, in the
// 8-bit and the wide forms (UTF-16 files when the input starts with the byte
// order mark), listing sections and keys into small buffers, and writes one
// key into it. Nothing may read or write past a buffer; every answer must fit
// the buffer it was given.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "platform/profile_files.h"

namespace {

const std::string& FilePath() {
  static const std::string path = [] {
    std::atexit([] { unlink(FilePath().c_str()); });
    return "/tmp/kq-profile-fuzz-" + std::to_string(getpid()) + ".ini";
  }();
  return path;
}

void Check(unsigned int n, unsigned int nSize, size_t nLength) {
  if (n >= nSize || nLength != n) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::string& path = FilePath();
  const std::wstring wpath(path.begin(), path.end());
  FILE* pFile = std::fopen(path.c_str(), "wb");
  if (pFile == nullptr) return 0;
  std::fwrite(pData, 1, nSize, pFile);
  std::fclose(pFile);

  const char* sections[] = {"S", "Main", "", nullptr};
  const char* keys[] = {"K", "Name", "", nullptr};
  for (const char* pszSection : sections) {
    for (const char* pszKey : keys) {
      for (unsigned int nBuffer : {1u, 2u, 9u, 300u}) {
        std::string buffer(nBuffer, '#');
        const unsigned int n =
            GetPrivateProfileStringA(pszSection, pszKey, "default", buffer.data(), nBuffer, path.c_str());
        Check(n, nBuffer, std::strlen(buffer.c_str()));
        std::wstring wide(nBuffer, L'#');
        const std::wstring wsection = pszSection ? std::wstring(pszSection, pszSection + std::strlen(pszSection)) : L"";
        const std::wstring wkey = pszKey ? std::wstring(pszKey, pszKey + std::strlen(pszKey)) : L"";
        const unsigned int nw = GetPrivateProfileStringW(pszSection ? wsection.c_str() : nullptr,
                                                         pszKey ? wkey.c_str() : nullptr, L"default",
                                                         wide.data(), nBuffer, wpath.c_str());
        Check(nw, nBuffer, std::wcslen(wide.c_str()));
      }
    }
  }
  GetPrivateProfileInt(L"S", L"K", 5, wpath.c_str());
  WritePrivateProfileStringW(L"S", L"K", L"value", wpath.c_str());
  wchar_t sz[8];
  GetPrivateProfileStringW(L"S", L"K", L"", sz, 8, wpath.c_str());
  WritePrivateProfileStringA("Main", nullptr, nullptr, path.c_str());
  return 0;
}
