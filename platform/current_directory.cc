#include "platform/current_directory.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/code_pages.h"
#include "core/codepage_conversion.h"
#include "core/locale_compare.h"
#include "core/scratch_buffer.h"
#include "core/unicode.h"

int SetCurrentDirectoryW(const wchar_t* pszPath) {
  if (pszPath == nullptr) {
    errno = EINVAL;
    return 0;
  }
  const int nBytes = nGetUTF8Len(pszPath);
  if (nBytes <= 0) return 0;
  CScratchBuffer<char, 1024> clPath(static_cast<size_t>(nBytes));
  if (clPath.p() == nullptr) {
    errno = ENOMEM;
    return 0;
  }
  if (WideCharToMultiByte(65001, 0, pszPath, -1, clPath.p(), nBytes, nullptr, nullptr) != nBytes)
    return 0;
  for (char* p = clPath.p(); *p != '\0'; ++p) {
    if (*p == '\\') *p = '/';  // the framework's paths read a backslash as '/'
  }
  return chdir(clPath.p()) == 0 ? 1 : 0;
}

int SetCurrentDirectoryA(const char* pszPath) {
  if (pszPath == nullptr) {
    errno = EINVAL;
    return 0;
  }
  // Without the server's locale service there is no current character set:
  // the code page is then the default one.
  const int nCharset = STR_piGetInfoLocale() != nullptr ? STR_nGetCurrentChangeCharset() : 0;
  const unsigned int nCodePage = dwGetCodePageFromCharset(nCharset);
  const unsigned int nIn = static_cast<unsigned int>(std::strlen(pszPath));
  const int nNeeded = MultiByteToUTF8(nCodePage, pszPath, nIn, nullptr, 0, 0);
  if (nNeeded < 0 || (nNeeded == 0 && nIn != 0)) {
    errno = EILSEQ;
    return 0;
  }
  CScratchBuffer<char, 1024> clPath(static_cast<size_t>(nNeeded) + 1);
  if (clPath.p() == nullptr) {
    errno = ENOMEM;
    return 0;
  }
  const int nWritten = MultiByteToUTF8(nCodePage, pszPath, nIn, clPath.p(),
                                       static_cast<unsigned int>(nNeeded) + 1, 0);
  if (nWritten != nNeeded) {
    errno = EILSEQ;
    return 0;
  }
  clPath.p()[nWritten] = '\0';
  return chdir(clPath.p()) == 0 ? 1 : 0;
}
