#include "installer/program_location.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>

namespace {

std::string gstrArgv0;

std::string strBaseName(const std::string& strPath) {
  const size_t n = strPath.rfind('/');
  return n == std::string::npos ? strPath : strPath.substr(n + 1);
}

bool bDirectoryOf(const std::string& strPath, std::string* pstrDirectory) {
  const size_t n = strPath.rfind('/');
  if (strPath.empty() || strPath[0] != '/' || n == std::string::npos) return false;
  *pstrDirectory = strPath.substr(0, n + 1);
  return true;
}

}  // namespace

void SetProgramArgument(const char* pszArgv0) { gstrArgv0 = pszArgv0 != nullptr ? pszArgv0 : ""; }

bool bGetProgramDirectory(std::string* pstrDirectory) {
  char szLink[PATH_MAX + 1];
  const ssize_t n = readlink("/proc/self/exe", szLink, sizeof(szLink));
  std::string strExe;
  if (n > 0 && n < static_cast<ssize_t>(sizeof(szLink))) strExe.assign(szLink, static_cast<size_t>(n));
  // The link is ours when it names the program we were started as; an
  // emulator's link names the emulator.
  const bool bLinkIsOurs =
      !strExe.empty() && (gstrArgv0.empty() || strBaseName(strExe) == strBaseName(gstrArgv0));
  if (bLinkIsOurs) return bDirectoryOf(strExe, pstrDirectory);
  if (gstrArgv0.empty()) return false;
  char szReal[PATH_MAX];
  if (realpath(gstrArgv0.c_str(), szReal) == nullptr) return false;
  return bDirectoryOf(szReal, pstrDirectory);
}
