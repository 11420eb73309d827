#include "platform/temp_names.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "core/error_object.h"
#include "core/wide_string.h"

namespace {

bool bWritableDirectory(const char* psz) {
  struct stat64 stStat;
  return psz != nullptr && *psz != '\0' && stat64(psz, &stStat) == 0 && S_ISDIR(stStat.st_mode) &&
         access(psz, W_OK | X_OK) == 0;
}

}  // namespace

int CTempNames::bGetCurrentDirectory(wchar_t* pszBuffer, CXError* pError) {
  if (!Unix_getcwd(pszBuffer, kPathBufferChars)) {
    RecordFileFailure(pError, static_cast<unsigned int>(errno), nullptr, nullptr, 28307);
    return 0;
  }
  if (pError != nullptr) pError->RAZ();
  return 1;
}

void CTempNames::GetHomeDir(CTString* pstrHome) {
  if (pstrHome == nullptr) return;
  const char* pszHome = getenv("HOME");
  if (pszHome == nullptr || *pszHome == '\0') {
    const struct passwd* pEntry = getpwuid(getuid());
    pszHome = pEntry != nullptr ? pEntry->pw_dir : nullptr;
  }
  if (pszHome == nullptr || *pszHome == '\0') {
    pstrHome->Set(L".");
    return;
  }
  pstrHome->SetANSIEx(pszHome, -1, 65001);
}

int CTempNames::bGetTempDirectory(wchar_t* pszBuffer, CXError* pError) {
  if (pszBuffer == nullptr) {
    RecordFileFailure(pError, EFAULT, nullptr, nullptr, 28133);
    return 0;
  }
  // tempnam's choice, without tempnam itself (which the linker warns about
  // and which builds a name nobody uses here).
  const char* pszDir = getenv("TMPDIR");
  if (!bWritableDirectory(pszDir)) pszDir = P_tmpdir;
  if (!bWritableDirectory(pszDir)) pszDir = "/tmp";
  if (!bWritableDirectory(pszDir)) {
    RecordFileFailure(pError, static_cast<unsigned int>(errno != 0 ? errno : ENOENT), nullptr,
                      nullptr, 28133);
    return 0;
  }
  const int n = Utf8ToWidePath(pszBuffer, kPathBufferChars - 1, pszDir);
  if (n < 0) {
    RecordFileFailure(pError, ENAMETOOLONG, nullptr, nullptr, 28133);
    return 0;
  }
  if (n == 0 || pszBuffer[n - 1] != L'/') {
    pszBuffer[n] = L'/';
    pszBuffer[n + 1] = 0;
  }
  if (pError != nullptr) pError->RAZ();
  return 1;
}

int CTempNames::bGetTempName(wchar_t* pszDestination, const wchar_t* pszDirectory,
                             const wchar_t* pszPrefix, CXError* pError, unsigned int nCapacity) {
  const wchar_t* pszDir = pszDirectory != nullptr ? pszDirectory : L"";
  const wchar_t* pszPre = pszPrefix != nullptr ? pszPrefix : L"";
  auto fail = [&](int nErr) {
    RecordFileFailure(pError, static_cast<unsigned int>(nErr), pszDir, nullptr, 28134, pszDir,
                      pszPre);
    return 0;
  };
  if (pszDestination == nullptr) return fail(EFAULT);
  if (std::wcspbrk(pszPre, L"/\\") != nullptr) return fail(EINVAL);
  const size_t nDir = std::wcslen(pszDir);
  const bool bSlash = nDir != 0 && pszDir[nDir - 1] != L'/' && pszDir[nDir - 1] != L'\\';
  const size_t nPre = std::wcslen(pszPre);
  const size_t nTotal = nDir + (bSlash ? 1 : 0) + nPre + 6;
  if (nTotal >= nCapacity) return fail(ENAMETOOLONG);
  CScratchBuffer<wchar_t, 512> clTemplate(nTotal + 1);
  if (clTemplate.p() == nullptr) return fail(ENOMEM);
  wchar_t* p = clTemplate.p();
  std::wmemcpy(p, pszDir, nDir);
  size_t o = nDir;
  if (bSlash) p[o++] = L'/';
  std::wmemcpy(p + o, pszPre, nPre);
  o += nPre;
  std::wmemcpy(p + o, L"XXXXXX", 6);
  o += 6;
  p[o] = 0;
  CUtf8Path clBytes(p, true);
  if (clBytes.psz() == nullptr) return fail(errno);
  // mkstemp rewrites its template in place: a copy of our own.
  CScratchBuffer<char, 1024> clName(static_cast<size_t>(clBytes.nBytes()) + 1);
  if (clName.p() == nullptr) return fail(ENOMEM);
  std::memcpy(clName.p(), clBytes.psz(), static_cast<size_t>(clBytes.nBytes()) + 1);
  const int fd = mkstemp64(clName.p());
  if (fd < 0) return fail(errno);
  close(fd);
  // The six characters mkstemp chose are ASCII letters and digits: they
  // replace the X's one for one.
  const char* pszChosen = clName.p() + clBytes.nBytes() - 6;
  for (int i = 0; i < 6; ++i) p[o - 6 + i] = static_cast<wchar_t>(pszChosen[i]);
  pszBackSlash2Slash(p);
  std::wmemcpy(pszDestination, p, o + 1);
  if (pError != nullptr) pError->RAZ();
  return 1;
}

int CTempNames::bGetTempName(wchar_t* pszDestination, const wchar_t* pszPrefix, CXError* pError,
                             unsigned int nCapacity) {
  wchar_t szDirectory[kPathBufferChars];
  if (!bGetTempDirectory(szDirectory, pError)) return 0;
  if (!bIsADirectory(szDirectory, nullptr) && !bCreateDirectory(szDirectory, pError)) return 0;
  return bGetTempName(pszDestination, szDirectory, pszPrefix, pError, nCapacity);
}
