#include "installer/zip_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool CZipMemorySource::bReadAt(uint64_t nPosition, void* pBuffer, uint32_t nBytes) {
  if (nPosition > m_nSize || nBytes > m_nSize - nPosition) {
    errno = 0;
    return false;
  }
  if (nBytes != 0) std::memcpy(pBuffer, m_pbyData + nPosition, nBytes);
  return true;
}

CZipFileSource::~CZipFileSource() { Close(); }

bool CZipFileSource::bOpen(const char* pszPath) {
  Close();
  const int nFd = open(pszPath, O_RDONLY | O_CLOEXEC | O_LARGEFILE);
  if (nFd < 0) return false;
  struct stat64 st;
  if (fstat64(nFd, &st) != 0) {
    const int nErr = errno;
    close(nFd);
    errno = nErr;
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    close(nFd);
    errno = EINVAL;
    return false;
  }
  m_nFd = nFd;
  m_nSize = static_cast<uint64_t>(st.st_size);
  return true;
}

void CZipFileSource::Close() {
  if (m_nFd >= 0) close(m_nFd);
  m_nFd = -1;
  m_nSize = 0;
}

bool CZipFileSource::bReadAt(uint64_t nPosition, void* pBuffer, uint32_t nBytes) {
  if (m_nFd < 0 || nPosition > m_nSize || nBytes > m_nSize - nPosition) {
    errno = m_nFd < 0 ? EBADF : 0;
    return false;
  }
  auto* pby = static_cast<unsigned char*>(pBuffer);
  while (nBytes > 0) {
    const ssize_t n = pread64(m_nFd, pby, nBytes, static_cast<off64_t>(nPosition));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {  // the file shrank under us
      errno = 0;
      return false;
    }
    pby += n;
    nPosition += static_cast<uint64_t>(n);
    nBytes -= static_cast<uint32_t>(n);
  }
  return true;
}
