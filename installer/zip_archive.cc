#include "installer/zip_archive.h"

#include <cerrno>
#include <string>

#include "core/unicode.h"

int CKQWinZip::eOuvreArchive(const wchar_t* pszPath, int, int, int) {
  if (pszPath == nullptr) {
    errno = EINVAL;
    return KQZIP_CANNOT_OPEN;
  }
  std::string strPath(static_cast<size_t>(UTF8ByteLen(pszPath)) + 1, '\0');
  WideToUTF8(strPath.data(), static_cast<unsigned int>(strPath.size()), pszPath);
  return eOuvreArchiveA(strPath.c_str());
}

int CKQWinZip::eOuvreArchiveA(const char* pszPath) {
  FermeArchive();
  if (!m_clSource.bOpen(pszPath)) return KQZIP_CANNOT_OPEN;
  const int nResult = m_clZip.eOpen(&m_clSource);
  if (nResult != KQZIP_OK) FermeArchive();
  return nResult;
}

void CKQWinZip::FermeArchive() {
  m_clZip.Close();
  m_clSource.Close();
}
