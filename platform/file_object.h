// CXFile: the framework's file object, a small object that holds one stream
// (IXStream) and forwards the stream operations to it. It borrows a stream
// its creator hands in, or makes its own disk stream (CDiskFile) the first
// time it is opened. The typed product file derives from it; the value
// conversions store values into files and load files into values with it.
//
// Ownership: the file object holds one counted reference on its stream (taken
// by an atomic increment, given back with dwRelease). A stream it made itself
// starts with no other holder and dies with the file object (or with the next
// SetStream); a borrowed stream lives on while its creator holds it.
// Setting the stream takes the new reference before the old one goes, so
// setting the stream already held keeps it alive.
//
// Failures: each operation answers the stream's result, and the stream's
// error object (pclGetXError) holds the detail. The file object's own
// failures are a default stream that cannot be made (bOpen, bSetNameForError,
// bCreateStream answer 0) and the copy buffer of bExtract (0).
// REQUIRES: a stream, for every forwarding operation not marked otherwise.
//
// Threads: one thread at a time per file object.
#ifndef KQ230_PLATFORM_FILE_OBJECT_H_
#define KQ230_PLATFORM_FILE_OBJECT_H_

#include <cstdarg>

#include "platform/stream.h"

class CXFile {
 public:
  CXFile();
  // Borrows the stream (one reference). REQUIRES: pStream is not null.
  explicit CXFile(IXStream* pStream);
  virtual ~CXFile();
  CXFile(const CXFile&) = delete;
  CXFile& operator=(const CXFile&) = delete;

  // Makes the default stream when there is none, then opens it.
  virtual int bOpen(const wchar_t* pszPath, IXStream::eACCESS eAccess, IXStream::eSHARE eShare,
                    IXStream::eCREATE eCreate, IXStream::eFLAG eFlag, int* pbCreated);
  // Without a stream: 0, nothing done.
  virtual int Close();
  virtual int bReopen(IXStream::eACCESS eAccess, IXStream::eSHARE eShare, IXStream::eCREATE eCreate,
                      IXStream::eFLAG eFlag);
  virtual int bWrite(long long nPosition, const void* pData, unsigned int nSize,
                     unsigned int* pnWritten);
  virtual int bRead(long long nPosition, void* pBuffer, unsigned int nSize, unsigned int* pnRead);
  virtual int bWrite(const void* pData, unsigned int nSize, unsigned int* pnWritten);
  virtual int bRead(void* pBuffer, unsigned int nSize, unsigned int* pnRead);
  virtual int bSeek(long long nOffset, IXStream::eSEEK eOrigin);
  virtual long long oGetSize();
  virtual long long oGetSizeFast();
  virtual int bFlush();
  virtual int bSetSize(long long nSize, IXStream::eGROW eMode);
  virtual int bIncreaseSize(long long nSize);
  virtual int bWriteString(const char* pszFormat, ...);
  virtual int bWriteStringList(const char* pszFormat, va_list args);
  virtual int bWriteString(const wchar_t* pszFormat, ...);
  virtual int bWriteStringList(const wchar_t* pszFormat, va_list args);
  virtual int bReadLine(char* pszBuffer, unsigned int nCapacity, int* pbTruncated,
                        unsigned int nOptions);
  virtual int bReadLine(wchar_t* pszBuffer, unsigned int nCapacity, int* pbTruncated,
                        unsigned int nOptions);
  // Copies size bytes (negative: the rest of this file) from this object's
  // position to the destination's, through both objects' own operations; a
  // source that ends first still answers 1. The source stands right after
  // the last byte copied.
  virtual int bExtract(CXFile* pDestination, long long nSize);
  virtual int bLockFile(unsigned long long nStart, unsigned long long nLength) const;
  virtual int bUnlockFile(unsigned long long nStart, unsigned long long nLength) const;
  virtual int bLock(unsigned long long nStart, unsigned long long nLength) const;
  virtual int bUnlock(unsigned long long nStart, unsigned long long nLength) const;
  // Null without a stream.
  virtual const wchar_t* pszGetName() const;
  virtual long long oGetOffset();
  // 0 without a stream.
  virtual int bIsOpen() const;
  // Null without a stream.
  virtual CXError* pclGetXError() const;
  // Releases the stream; the object is then empty.
  virtual void _FreeStream();
  // A new disk stream with no holder yet (count 0), or null.
  virtual IXStream* __xpclAllocDiskFile();
  virtual CXError* _pclGetXError();
  // The stream's wide line reader with options 0.
  virtual int bReadLineUNICODE(wchar_t* pszBuffer, unsigned int nCapacity, int* pbTruncated);
  // -1 without a stream.
  virtual IXStream::eACCESS veGetAccess() const;
  virtual void m246EmptyMethodXStream() const {}
  virtual void m247EmptyMethodXStream() const {}
  virtual void m248EmptyMethodXStream() const {}
  virtual void m249EmptyMethodXStream() const {}
  virtual void m250EmptyMethodXStream() const {}
  virtual void m251EmptyMethodXStream() const {}
  virtual void m252EmptyMethodXStream() const {}
  virtual void m253EmptyMethodXStream() const {}
  virtual void m254EmptyMethodXStream() const {}
  virtual void m255EmptyMethodXStream() const {}
  virtual void m256EmptyMethodXStream() const {}
  virtual void m257EmptyMethodXStream() const {}

  // The stream when it came from outside; null when this object made it or
  // has none.
  IXStream* piGetStream() const;
  // Holds pStream (may be null) instead of the current stream; the
  // own-stream flag is 0 afterwards.
  void SetStream(IXStream* pStream);
  // SetStream(a new disk stream) and the own-stream flag 1; 0 when no stream
  // could be made.
  int bCreateStream();
  // Makes the default stream as bOpen does, then sets the stream's name for
  // errors.
  int bSetNameForError(const wchar_t* pszName);
  // The text's characters as they lie in memory (4 bytes each), then "\r\n"
  // in the same form; 0 as soon as a write fails.
  int bWriteLine(const wchar_t* pszText);
  // The text's bytes, then the two bytes "\r\n".
  int bWriteLine(const char* pszText);

 private:
  // Makes the default stream when there is none; false when it cannot.
  bool bEnsureStream();

  IXStream* m_pStream = nullptr;
  int m_bOwnStream = 0;
};

#endif  // KQ230_PLATFORM_FILE_OBJECT_H_
