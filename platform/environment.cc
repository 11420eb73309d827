#include "platform/environment.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>

#include "core/code_pages.h"
#include "core/codepage_conversion.h"
#include "core/locale_compare.h"
#include "core/unicode.h"
#include "core/xmalloc.h"
#include "core/zstring.h"

namespace {

struct FreeBlock {
  void operator()(void* p) const { XMALLOC_Del_(p); }
};
using WideText = std::unique_ptr<wchar_t, FreeBlock>;

// A new UTF-8 copy of a wide text (std::free), or null.
char* NewUTF8(const wchar_t* psz) {
  const int n = UTF8ByteLen(psz);
  char* p = static_cast<char*>(std::malloc(static_cast<size_t>(n) + 1));
  if (p != nullptr) WideToUTF8(p, psz);
  return p;
}

// A new wide copy of a UTF-8 text (XMALLOC_Del_), or null.
wchar_t* NewWide(const char* psz) {
  const int n = UTF8ToWideLen(psz);
  auto* p = static_cast<wchar_t*>(XMALLOC_pNew_((static_cast<unsigned int>(n) + 1) * sizeof(wchar_t)));
  if (p != nullptr) UTF8ToWide(p, static_cast<unsigned int>(n) + 1, psz);
  return p;
}

unsigned int CurrentCodePage() {
  if (STR_piGetInfoLocale() == nullptr) return 1252;
  return dwGetCodePageFromCharset(STR_nGetCurrentChangeCharset());
}

// Copies n units of the value into the buffer as the Win32 function does and
// answers its result.
template <class T>
unsigned int CopyValue(const T* pValue, size_t n, T* pBuffer, unsigned int nSize) {
  if (nSize != 0) {
    const size_t nCopy = n < nSize - 1 ? n : nSize - 1;
    std::memcpy(pBuffer, pValue, nCopy * sizeof(T));
    pBuffer[nCopy] = 0;
  }
  return n < nSize ? static_cast<unsigned int>(n) : static_cast<unsigned int>(n + 1);
}

}  // namespace

unsigned int GetEnvironmentVariableW(const wchar_t* pszName, wchar_t* pszBuffer, unsigned int nSize) {
  if (pszName == nullptr) {
    errno = EINVAL;
    return 0;
  }
  char* pszUTF8 = NewUTF8(pszName);
  if (pszUTF8 == nullptr) return 0;
  const char* pszValue = std::getenv(pszUTF8);
  std::free(pszUTF8);
  if (pszValue == nullptr) {
    errno = ENOENT;
    return 0;
  }
  WideText pszWide(NewWide(pszValue));
  if (!pszWide) return 0;
  return CopyValue(pszWide.get(), std::wcslen(pszWide.get()), pszBuffer, nSize);
}

unsigned int GetEnvironmentVariableA(const char* pszName, char* pszBuffer, unsigned int nSize) {
  if (pszName == nullptr) {
    errno = EINVAL;
    return 0;
  }
  const unsigned int nCodePage = CurrentCodePage();
  const unsigned int nNameIn = static_cast<unsigned int>(std::strlen(pszName));
  const int nNameBytes = MultiByteToUTF8(nCodePage, pszName, nNameIn, nullptr, 0, 0);
  if (nNameBytes < 0) return 0;
  std::unique_ptr<char[]> pszUTF8(new (std::nothrow) char[static_cast<size_t>(nNameBytes) + 1]);
  if (!pszUTF8) return 0;
  std::memset(pszUTF8.get(), 0, static_cast<size_t>(nNameBytes) + 1);
  if (nNameIn != 0 &&
      MultiByteToUTF8(nCodePage, pszName, nNameIn, pszUTF8.get(), nNameBytes + 1, 0) == 0) {
    return 0;
  }
  const char* pszValue = std::getenv(pszUTF8.get());
  if (pszValue == nullptr) {
    errno = ENOENT;
    return 0;
  }
  const unsigned int nValueIn = static_cast<unsigned int>(std::strlen(pszValue));
  const int nBytes = UTF8ToMultiByte(nCodePage, pszValue, nValueIn, nullptr, 0, 0, nullptr, nullptr);
  if (nBytes < 0) return 0;
  std::unique_ptr<char[]> pszConverted(new (std::nothrow) char[static_cast<size_t>(nBytes) + 1]);
  if (!pszConverted) return 0;
  std::memset(pszConverted.get(), 0, static_cast<size_t>(nBytes) + 1);
  if (nValueIn != 0 && UTF8ToMultiByte(nCodePage, pszValue, nValueIn, pszConverted.get(), nBytes + 1, 0,
                                       nullptr, nullptr) == 0) {
    return 0;
  }
  return CopyValue(pszConverted.get(), std::strlen(pszConverted.get()), pszBuffer, nSize);
}

int SetEnvironmentVariable(const wchar_t* pszName, const wchar_t* pszValue) {
  if (pszName == nullptr) {
    errno = EINVAL;
    return 0;
  }
  char* pszUTF8Name = NewUTF8(pszName);
  if (pszUTF8Name == nullptr) return 0;
  int bDone;
  if (pszValue == nullptr) {
    unsetenv(pszUTF8Name);
    bDone = 1;
  } else {
    char* pszUTF8Value = NewUTF8(pszValue);
    bDone = pszUTF8Value != nullptr && setenv(pszUTF8Name, pszUTF8Value, 1) == 0;
    std::free(pszUTF8Value);
  }
  std::free(pszUTF8Name);
  return bDone;
}

int GetModuleFileNameW(HINSTANCE, wchar_t* pszBuffer, unsigned int nSize) {
  if (pszBuffer == nullptr || nSize == 0) return 0;
  pszBuffer[0] = 0;
  // The whole link, then cut on a character boundary: a byte-wise cut could
  // split a UTF-8 sequence.
  char szLink[PATH_MAX + 1];
  const ssize_t n = readlink("/proc/self/exe", szLink, PATH_MAX);
  if (n <= 0) return 0;
  szLink[n] = 0;
  UTF8ToWide(pszBuffer, nSize, szLink);
  return 1;
}

int GetModuleFileNameA(HINSTANCE, char* pszBuffer, unsigned int nSize) {
  if (pszBuffer == nullptr || nSize == 0) return 0;
  const ssize_t n = readlink("/proc/self/exe", pszBuffer, nSize - 1);
  if (n <= 0) {
    pszBuffer[0] = 0;
    return 0;
  }
  pszBuffer[n] = 0;
  return 1;
}

void makepath(wchar_t* pszOut, const wchar_t*, const wchar_t* pszDir, const wchar_t* pszFileName,
              const wchar_t* pszExt) {
  pszOut[0] = 0;
  if (pszDir != nullptr && pszDir[0] != 0) {
    STR_nCat(pszOut, kMaxPathChars, pszDir);
    if (pszDir[std::wcslen(pszDir) - 1] != L'/') STR_nCat(pszOut, kMaxPathChars, L"/");
  }
  if (pszFileName != nullptr && pszFileName[0] != 0) {
    STR_nCat(pszOut, kMaxPathChars, pszFileName);
    if (pszExt != nullptr && pszExt[0] != 0) {
      if (pszExt[0] != L'.') STR_nCat(pszOut, kMaxPathChars, L".");
      STR_nCat(pszOut, kMaxPathChars, pszExt);
    }
  }
}
