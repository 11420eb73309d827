#include "platform/file_object.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "core/xmalloc.h"
#include "platform/disk_file.h"

namespace {
constexpr unsigned int kCopyBlock = 65536;
}  // namespace

CXFile::CXFile() = default;

CXFile::CXFile(IXStream* pStream) : m_pStream(pStream) {
  if (m_pStream != nullptr) m_pStream->dwAddRef();
}

CXFile::~CXFile() { _FreeStream(); }

bool CXFile::bEnsureStream() {
  if (m_pStream != nullptr) return true;
  SetStream(__xpclAllocDiskFile());
  if (m_pStream == nullptr) return false;
  m_bOwnStream = 1;
  return true;
}

int CXFile::bOpen(const wchar_t* pszPath, IXStream::eACCESS eAccess, IXStream::eSHARE eShare,
                  IXStream::eCREATE eCreate, IXStream::eFLAG eFlag, int* pbCreated) {
  if (!bEnsureStream()) return 0;
  return m_pStream->bOpen(pszPath, eAccess, eShare, eCreate, eFlag, pbCreated);
}

int CXFile::Close() { return m_pStream != nullptr ? m_pStream->Close() : 0; }

int CXFile::bReopen(IXStream::eACCESS eAccess, IXStream::eSHARE eShare, IXStream::eCREATE eCreate,
                    IXStream::eFLAG eFlag) {
  return m_pStream->bReopen(eAccess, eShare, eCreate, eFlag);
}

int CXFile::bWrite(long long nPosition, const void* pData, unsigned int nSize,
                   unsigned int* pnWritten) {
  return m_pStream->bWrite(nPosition, pData, nSize, pnWritten);
}

int CXFile::bRead(long long nPosition, void* pBuffer, unsigned int nSize, unsigned int* pnRead) {
  return m_pStream->bRead(nPosition, pBuffer, nSize, pnRead);
}

int CXFile::bWrite(const void* pData, unsigned int nSize, unsigned int* pnWritten) {
  return m_pStream->bWrite(pData, nSize, pnWritten);
}

int CXFile::bRead(void* pBuffer, unsigned int nSize, unsigned int* pnRead) {
  return m_pStream->bRead(pBuffer, nSize, pnRead);
}

int CXFile::bSeek(long long nOffset, IXStream::eSEEK eOrigin) {
  return m_pStream->bSeek(nOffset, eOrigin);
}

long long CXFile::oGetSize() { return m_pStream->oGetSize(); }
long long CXFile::oGetSizeFast() { return m_pStream->oGetSizeFast(); }
int CXFile::bFlush() { return m_pStream->bFlush(); }

int CXFile::bSetSize(long long nSize, IXStream::eGROW eMode) {
  return m_pStream->bSetSize(nSize, eMode);
}

int CXFile::bIncreaseSize(long long nSize) { return m_pStream->bIncreaseSize(nSize); }

int CXFile::bWriteString(const char* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  const int b = bWriteStringList(pszFormat, args);
  va_end(args);
  return b;
}

int CXFile::bWriteStringList(const char* pszFormat, va_list args) {
  return m_pStream->bWriteStringList(pszFormat, args);
}

int CXFile::bWriteString(const wchar_t* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  const int b = bWriteStringList(pszFormat, args);
  va_end(args);
  return b;
}

int CXFile::bWriteStringList(const wchar_t* pszFormat, va_list args) {
  return m_pStream->bWriteStringList(pszFormat, args);
}

int CXFile::bReadLine(char* pszBuffer, unsigned int nCapacity, int* pbTruncated,
                      unsigned int nOptions) {
  return m_pStream->bReadLine(pszBuffer, nCapacity, pbTruncated, nOptions);
}

int CXFile::bReadLine(wchar_t* pszBuffer, unsigned int nCapacity, int* pbTruncated,
                      unsigned int nOptions) {
  return m_pStream->bReadLine(pszBuffer, nCapacity, pbTruncated, nOptions);
}

int CXFile::bExtract(CXFile* pDestination, long long nSize) {
  if (pDestination == nullptr) return 0;
  if (nSize < 0) nSize = oGetSize() - oGetOffset();
  if (nSize <= 0) return 1;
  void* pBlock = XMALLOC_pNew_(kCopyBlock);
  if (pBlock == nullptr) return 0;
  int nResult = 1;
  while (nSize > 0) {
    unsigned int nRead = 0;
    if (!bRead(pBlock, kCopyBlock, &nRead)) {
      nResult = 0;
      break;
    }
    unsigned int nCopy = nRead;
    if (static_cast<long long>(nRead) > nSize) {
      // Read past what is due: the source goes back to just after the last
      // byte copied.
      nCopy = static_cast<unsigned int>(nSize);
      if (!bSeek(-static_cast<long long>(nRead - nCopy), IXStream::eSEEK_CURRENT)) {
        nResult = 0;
        break;
      }
    }
    if (nCopy != 0 && !pDestination->bWrite(pBlock, nCopy, nullptr)) {
      nResult = 0;
      break;
    }
    nSize -= nCopy;
    if (nRead < kCopyBlock) break;  // the end of the source
  }
  XMALLOC_Del_(pBlock);
  return nResult;
}

int CXFile::bLockFile(unsigned long long nStart, unsigned long long nLength) const {
  return m_pStream->bLockFile(nStart, nLength);
}

int CXFile::bUnlockFile(unsigned long long nStart, unsigned long long nLength) const {
  return m_pStream->bUnlockFile(nStart, nLength);
}

int CXFile::bLock(unsigned long long nStart, unsigned long long nLength) const {
  return m_pStream->bLock(nStart, nLength);
}

int CXFile::bUnlock(unsigned long long nStart, unsigned long long nLength) const {
  return m_pStream->bUnlock(nStart, nLength);
}

const wchar_t* CXFile::pszGetName() const {
  return m_pStream != nullptr ? m_pStream->pszGetName() : nullptr;
}

long long CXFile::oGetOffset() { return m_pStream->oGetOffset(); }

int CXFile::bIsOpen() const { return m_pStream != nullptr ? m_pStream->bIsOpen() : 0; }

CXError* CXFile::pclGetXError() const {
  return m_pStream != nullptr ? m_pStream->pclGetXError() : nullptr;
}

void CXFile::_FreeStream() {
  IXStream* pStream = m_pStream;
  m_pStream = nullptr;
  m_bOwnStream = 0;
  if (pStream != nullptr) pStream->dwRelease();
}

IXStream* CXFile::__xpclAllocDiskFile() { return new (std::nothrow) CDiskFile; }

CXError* CXFile::_pclGetXError() { return m_pStream->_pclGetXError(); }

int CXFile::bReadLineUNICODE(wchar_t* pszBuffer, unsigned int nCapacity, int* pbTruncated) {
  return m_pStream->bReadLine(pszBuffer, nCapacity, pbTruncated, 0);
}

IXStream::eACCESS CXFile::veGetAccess() const {
  return m_pStream != nullptr ? m_pStream->veGetAccess() : IXStream::eACCESS_DEFAULT;
}

IXStream* CXFile::piGetStream() const { return m_bOwnStream ? nullptr : m_pStream; }

void CXFile::SetStream(IXStream* pStream) {
  // The new reference first: the stream given may be the one held, whose
  // release would otherwise destroy it.
  if (pStream != nullptr) pStream->dwAddRef();
  _FreeStream();
  m_pStream = pStream;
  m_bOwnStream = 0;
}

int CXFile::bCreateStream() {
  SetStream(__xpclAllocDiskFile());
  if (m_pStream == nullptr) return 0;
  m_bOwnStream = 1;
  return 1;
}

int CXFile::bSetNameForError(const wchar_t* pszName) {
  if (!bEnsureStream()) return 0;
  return m_pStream->vbSetNameForError(pszName);
}

int CXFile::bWriteLine(const wchar_t* pszText) {
  static const wchar_t kEnd[2] = {L'\r', L'\n'};
  const size_t n = pszText != nullptr ? std::wcslen(pszText) : 0;
  if (n != 0 &&
      !m_pStream->bWrite(pszText, static_cast<unsigned int>(n * sizeof(wchar_t)), nullptr))
    return 0;
  return m_pStream->bWrite(kEnd, sizeof(kEnd), nullptr);
}

int CXFile::bWriteLine(const char* pszText) {
  const size_t n = pszText != nullptr ? std::strlen(pszText) : 0;
  if (n != 0 && !m_pStream->bWrite(pszText, static_cast<unsigned int>(n), nullptr)) return 0;
  return m_pStream->bWrite("\r\n", 2, nullptr);
}
