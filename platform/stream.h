// IXStream: the framework's byte-stream interface, a positioned stream with
// 64-bit offsets: open, read, write, seek, size, locks, formatted writes and
// line reading. The disk file (platform/disk_file.h) is the implementation;
// the file object (platform/file_object.h) forwards to a stream.
//
// Every stream owns an error object (module 76) into which each operation
// writes the detail of its failure; operations answer an int success flag,
// and callers copy the detail out (pclGetXError) into their own error object.
// IXStream itself gives the defaults below; a derived stream overrides what
// it supports.
//
// Line reading (bReadLine): lines end with CR LF, CR or LF, whichever comes
// first (with option bit 0x1 only the pair CR LF ends a line, a lone CR or LF
// stays in the text). The stream is read in chunks of 80 characters and
// repositioned so that it always stands just after what a call consumed; the
// result does not depend on where a chunk ends (a CR at the end of a chunk
// is read again as the start of the next one). A line longer than the buffer
// is returned in pieces: capacity - 1 characters with the truncated flag set,
// then the rest on the next calls.
//
// Ownership: reference-counted through CKQUnknown (born with count 0; the
// last dwRelease deletes it). The stream holds one reference on its error
// object and releases it when it dies.
// Threads: the reference count is atomic; everything else is used by one
// thread at a time.
#ifndef KQ230_PLATFORM_STREAM_H_
#define KQ230_PLATFORM_STREAM_H_

#include <cstdarg>

#include "core/kq_unknown.h"

class CDiskFile;
class CTString;
class CXError;

class IXStream : public CKQUnknown {
 public:
  // Access mode: the POSIX access mode in the low bits; other bits are passed
  // to open as they are. -1 stands for read-only.
  enum eACCESS : int {
    eACCESS_DEFAULT = -1,
    eACCESS_READ = 0,
    eACCESS_WRITE = 1,
    eACCESS_READWRITE = 2,
  };
  // The whole-file lock that stands for the share mode.
  enum eSHARE : int {
    eSHARE_SHARED = 0,     // a shared (read) lock: others may read
    eSHARE_EXCLUSIVE = 1,  // an exclusive (write) lock
    eSHARE_NONE = 2,       // no lock
  };
  // Creation: other values are passed to open as creation flags.
  enum eCREATE : int {
    eCREATE_EXISTING = 0,          // the file must exist
    eCREATE_OPEN_OR_CREATE = 64,   // created when missing
    eCREATE_CREATE_OR_EMPTY = 576, // created when missing, emptied otherwise
  };
  enum eFLAG : int {
    eFLAG_NONE = 0,
    eFLAG_DIRECTORY = 65536,  // a directory may be opened
  };
  enum eSEEK : int { eSEEK_BEGIN = 0, eSEEK_CURRENT = 1, eSEEK_END = 2 };
  enum eGROW : int { eGROW_ABSOLUTE = 0, eGROW_FROM_END = 1 };

  // Option of bReadLine: only CR LF ends a line.
  static constexpr unsigned int kReadLineCRLFOnly = 0x1;
  // Characters read per chunk by bReadLine.
  static constexpr unsigned int kReadLineChunk = 80;

  // Makes the error object (module 76) and takes one reference on it. When
  // memory is exhausted the stream has none: pclGetXError answers null and
  // failures are then reported by the results alone.
  IXStream();
  ~IXStream() override;
  IXStream(const IXStream&) = delete;
  IXStream& operator=(const IXStream&) = delete;

  // ---- Operations, in the interface's order, with IXStream's defaults.
  virtual int bOpen(const wchar_t* pszPath, eACCESS eAccess, eSHARE eShare, eCREATE eCreate,
                    eFLAG eFlag, int* pbCreated);  // 1
  virtual int Close() = 0;
  virtual int bReopen(eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag);  // 1
  // Positioned forms: the sequential operation where the stream stands when
  // the position is oGetOffset(), else after bSeek(position, 0) (0 when the
  // seek fails).
  virtual int bWrite(long long nPosition, const void* pData, unsigned int nSize,
                     unsigned int* pnWritten);
  virtual int bRead(long long nPosition, void* pBuffer, unsigned int nSize, unsigned int* pnRead);
  virtual int bWrite(const void* pData, unsigned int nSize, unsigned int* pnWritten);  // 1
  virtual int bRead(void* pBuffer, unsigned int nSize, unsigned int* pnRead);          // 1
  virtual int bSeek(long long nOffset, eSEEK eOrigin);                                 // 1
  virtual long long oGetSize();      // 0
  virtual long long oGetSizeFast();  // 0
  virtual int bFlush();              // 1
  virtual int bSetSize(long long nSize, eGROW eMode);  // 1
  virtual int bIncreaseSize(long long nSize);          // 1
  // vsnprintf into 1,024 bytes (longer output is cut at 1,023) written with
  // the sequential bWrite.
  virtual int bWriteString(const char* pszFormat, ...);
  virtual int bWriteStringList(const char* pszFormat, va_list args);
  // The wide form (Windows convention): the characters as they lie in
  // memory, 4 bytes each, cut at 1,023 characters.
  virtual int bWriteString(const wchar_t* pszFormat, ...);
  virtual int bWriteStringList(const wchar_t* pszFormat, va_list args);
  // The next line into buffer (at most capacity - 1 characters and a zero);
  // *pbTruncated (may be null) says whether the line goes on. 1 with a line;
  // 0 at the end of the stream or when a read or seek fails. A capacity
  // below 2 (no room for a character) reads nothing and answers 0.
  virtual int bReadLine(char* pszBuffer, unsigned int nCapacity, int* pbTruncated,
                        unsigned int nOptions);
  // The same on 4-byte characters (chunks of 320 bytes). Bytes after the
  // last whole character at the end of the stream are not part of any line.
  virtual int bReadLine(wchar_t* pszBuffer, unsigned int nCapacity, int* pbTruncated,
                        unsigned int nOptions);
  virtual int bExtract(IXStream* pDestination, long long nSize);  // 1
  virtual int bLockFile(unsigned long long nStart, unsigned long long nLength) const;    // 1
  virtual int bUnlockFile(unsigned long long nStart, unsigned long long nLength) const;  // 1
  virtual int bLock(unsigned long long nStart, unsigned long long nLength) const;        // 1
  virtual int bUnlock(unsigned long long nStart, unsigned long long nLength) const;      // 1
  virtual const wchar_t* pszGetName() const;  // null
  virtual long long oGetOffset();             // -1
  virtual int bIsOpen() const;                // 1
  // The stream's own error object; no reference is added.
  virtual CXError* pclGetXError() const;
  virtual CXError* _pclGetXError() const;
  virtual int vbSetNameForError(const wchar_t* pszName);  // 1
  virtual eACCESS veGetAccess() const = 0;
  virtual int bGetVFSFileName(wchar_t* pszBuffer);  // 0
  virtual int bLockFileEx(int bLock, int bExclusive) const;  // 1
  virtual wchar_t* pszReadLine(wchar_t* pszBuffer, unsigned int nCapacity, CTString* pOverflow,
                               const wchar_t* pszSeparator);  // null
  virtual int bExtendFile(long long nSize);  // 1
  virtual CDiskFile* vpclCastDiskFile();     // null
  // Reserved: they do nothing.
  virtual void m571EmptyMethodXStream() const {}
  virtual void m572EmptyMethodXStream() const {}
  virtual void m573EmptyMethodXStream() const {}
  virtual void m574EmptyMethodXStream() const {}
  virtual void m575EmptyMethodXStream() const {}
  virtual void m576EmptyMethodXStream() const {}
  virtual void m577EmptyMethodXStream() const {}
  virtual void m578EmptyMethodXStream() const {}
  virtual void m579EmptyMethodXStream() const {}
  virtual void m580EmptyMethodXStream() const {}
  virtual void m581EmptyMethodXStream() const {}
  virtual void m582EmptyMethodXStream() const {}
  virtual void m583EmptyMethodXStream() const {}

 protected:
  CXError* m_pclXError = nullptr;
};

#endif  // KQ230_PLATFORM_STREAM_H_
