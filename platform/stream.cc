#include "platform/stream.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>

#include "core/error_object.h"
#include "core/message_formatting.h"
#include "core/module_info.h"

namespace {

constexpr unsigned int kFormatBuffer = 1024;

// The line reader on characters of type C (1 or 4 bytes); see the header.
template <typename C>
int ReadLine(IXStream* pStream, C* pszBuffer, unsigned int nCapacity, int* pbTruncated,
             unsigned int nOptions) {
  constexpr unsigned int kChunk = IXStream::kReadLineChunk;
  constexpr long long kUnit = sizeof(C);
  constexpr C kCR = C(13);
  constexpr C kLF = C(10);
  if (pbTruncated != nullptr) *pbTruncated = 0;
  // A buffer without room for one character could never move on.
  if (pszBuffer == nullptr || nCapacity < 2) {
    if (pszBuffer != nullptr && nCapacity == 1) pszBuffer[0] = 0;
    return 0;
  }
  pszBuffer[0] = 0;
  const bool bPairOnly = (nOptions & IXStream::kReadLineCRLFOnly) != 0;
  unsigned int nHave = 0;
  bool bGathered = false;
  for (;;) {
    C aChunk[kChunk + 1];
    unsigned int nBytes = 0;
    if (!pStream->bRead(aChunk, static_cast<unsigned int>(kChunk * kUnit), &nBytes)) return 0;
    if (nBytes > kChunk * kUnit) nBytes = static_cast<unsigned int>(kChunk * kUnit);
    unsigned int n = static_cast<unsigned int>(nBytes / kUnit);
    if (n == 0) return bGathered ? 1 : 0;
    bGathered = true;
    const bool bFull = n == kChunk;
    aChunk[n] = 0;

    // The earliest line end of the chunk. A CR that ends a full chunk may be
    // the first half of a pair: it is left for the next chunk.
    long nEnd = -1;
    unsigned int nEndLength = 0;
    bool bCut = false;
    for (unsigned int i = 0; i < n; ++i) {
      const C c = aChunk[i];
      if (c == kCR) {
        if (i + 1 < n) {
          if (aChunk[i + 1] == kLF) {
            nEnd = static_cast<long>(i);
            nEndLength = 2;
            break;
          }
          if (!bPairOnly) {
            nEnd = static_cast<long>(i);
            nEndLength = 1;
            break;
          }
        } else if (bFull) {
          n = i;
          bCut = true;
          break;
        } else if (!bPairOnly) {
          nEnd = static_cast<long>(i);
          nEndLength = 1;
          break;
        }
      } else if (c == kLF && !bPairOnly) {
        nEnd = static_cast<long>(i);
        nEndLength = 1;
        break;
      }
    }
    const unsigned int nText = nEnd >= 0 ? static_cast<unsigned int>(nEnd) : n;

    if (static_cast<unsigned long long>(nHave) + nText >= nCapacity) {
      // The line goes on beyond the buffer: what fits, and the stream stands
      // just after the last character given.
      const unsigned int nFit = nCapacity - 1 - nHave;
      std::memcpy(pszBuffer + nHave, aChunk, nFit * sizeof(C));
      pszBuffer[nHave + nFit] = 0;
      if (pbTruncated != nullptr) *pbTruncated = 1;
      const long long nDelta = nFit * kUnit - static_cast<long long>(nBytes);
      return nDelta == 0 ? 1 : pStream->bSeek(nDelta, IXStream::eSEEK_CURRENT);
    }
    std::memcpy(pszBuffer + nHave, aChunk, nText * sizeof(C));
    nHave += nText;
    pszBuffer[nHave] = 0;
    if (nEnd >= 0) {
      const long long nDelta = (nEnd + nEndLength) * kUnit - static_cast<long long>(nBytes);
      return nDelta == 0 ? 1 : pStream->bSeek(nDelta, IXStream::eSEEK_CURRENT);
    }
    if (bCut) {
      if (!pStream->bSeek(n * kUnit - static_cast<long long>(nBytes), IXStream::eSEEK_CURRENT))
        return 0;
      continue;
    }
    if (!bFull) return 1;
  }
}

}  // namespace

IXStream::IXStream() {
  m_pclXError = new (std::nothrow) CXError(&gstMyModuleInfo76);
  if (m_pclXError != nullptr) m_pclXError->dwAddRef();
}

IXStream::~IXStream() {
  if (m_pclXError != nullptr) m_pclXError->dwRelease();
  m_pclXError = nullptr;
}

int IXStream::bOpen(const wchar_t*, eACCESS, eSHARE, eCREATE, eFLAG, int*) { return 1; }
int IXStream::bReopen(eACCESS, eSHARE, eCREATE, eFLAG) { return 1; }

int IXStream::bWrite(long long nPosition, const void* pData, unsigned int nSize,
                     unsigned int* pnWritten) {
  if (nPosition != oGetOffset() && !bSeek(nPosition, eSEEK_BEGIN)) return 0;
  return bWrite(pData, nSize, pnWritten);
}

int IXStream::bRead(long long nPosition, void* pBuffer, unsigned int nSize, unsigned int* pnRead) {
  if (nPosition != oGetOffset() && !bSeek(nPosition, eSEEK_BEGIN)) return 0;
  return bRead(pBuffer, nSize, pnRead);
}

int IXStream::bWrite(const void*, unsigned int, unsigned int*) { return 1; }
int IXStream::bRead(void*, unsigned int, unsigned int*) { return 1; }
int IXStream::bSeek(long long, eSEEK) { return 1; }
long long IXStream::oGetSize() { return 0; }
long long IXStream::oGetSizeFast() { return 0; }
int IXStream::bFlush() { return 1; }
int IXStream::bSetSize(long long, eGROW) { return 1; }
int IXStream::bIncreaseSize(long long) { return 1; }

int IXStream::bWriteString(const char* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  const int b = bWriteStringList(pszFormat, args);
  va_end(args);
  return b;
}

int IXStream::bWriteStringList(const char* pszFormat, va_list args) {
  if (pszFormat == nullptr) return 0;
  char szText[kFormatBuffer];
  if (vsnprintf(szText, sizeof(szText), pszFormat, args) < 0) return 0;
  return bWrite(szText, static_cast<unsigned int>(std::strlen(szText)), nullptr);
}

int IXStream::bWriteString(const wchar_t* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  const int b = bWriteStringList(pszFormat, args);
  va_end(args);
  return b;
}

int IXStream::bWriteStringList(const wchar_t* pszFormat, va_list args) {
  if (pszFormat == nullptr) return 0;
  wchar_t szText[kFormatBuffer];
  szText[0] = 0;
  // Cut at 1,023 characters (and terminated) when longer.
  vsznwprintfWin(szText, kFormatBuffer - 1, pszFormat, args);
  szText[kFormatBuffer - 1] = 0;
  return bWrite(szText, static_cast<unsigned int>(std::wcslen(szText) * sizeof(wchar_t)), nullptr);
}

int IXStream::bReadLine(char* pszBuffer, unsigned int nCapacity, int* pbTruncated,
                        unsigned int nOptions) {
  return ReadLine(this, pszBuffer, nCapacity, pbTruncated, nOptions);
}

int IXStream::bReadLine(wchar_t* pszBuffer, unsigned int nCapacity, int* pbTruncated,
                        unsigned int nOptions) {
  return ReadLine(this, pszBuffer, nCapacity, pbTruncated, nOptions);
}

int IXStream::bExtract(IXStream*, long long) { return 1; }
int IXStream::bLockFile(unsigned long long, unsigned long long) const { return 1; }
int IXStream::bUnlockFile(unsigned long long, unsigned long long) const { return 1; }
int IXStream::bLock(unsigned long long, unsigned long long) const { return 1; }
int IXStream::bUnlock(unsigned long long, unsigned long long) const { return 1; }
const wchar_t* IXStream::pszGetName() const { return nullptr; }
long long IXStream::oGetOffset() { return -1; }
int IXStream::bIsOpen() const { return 1; }
CXError* IXStream::pclGetXError() const { return m_pclXError; }
CXError* IXStream::_pclGetXError() const { return m_pclXError; }
int IXStream::vbSetNameForError(const wchar_t*) { return 1; }
int IXStream::bGetVFSFileName(wchar_t*) { return 0; }
int IXStream::bLockFileEx(int, int) const { return 1; }
wchar_t* IXStream::pszReadLine(wchar_t*, unsigned int, CTString*, const wchar_t*) { return nullptr; }
int IXStream::bExtendFile(long long) { return 1; }
CDiskFile* IXStream::vpclCastDiskFile() { return nullptr; }
