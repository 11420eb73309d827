// How file operations record their failures on an error object.
//
// Every failure of the disk files, the file-system operations, the path
// operations and the directory search is written the same way: the error
// object is reset, its level becomes 3, it is bound to module 76, its system
// error is the errno of the failing call (or the lock-conflict code), the
// operation's numbered message goes first with the file name(s) as inserts,
// and the file name is information item 1 (a second name, the destination of
// a copy or rename, is item 2).
//
// CFileFailure is the root of CDiskFile's static operations (its members are
// reached as CDiskFile::_bOnError and CDiskFile::_OnMemoryError).
//
// Ownership: nothing is kept; the error object is the caller's.
// Threads: no state; errno is read and written (thread-local).
#ifndef KQ230_PLATFORM_FILE_FAILURE_H_
#define KQ230_PLATFORM_FILE_FAILURE_H_

class CXError;

// The value that stands in place of errno when a byte-range lock is refused
// because another holder has the range. The retrying open waits only on it.
inline constexpr unsigned int kLockConflict = 0x80000000u;

// The characters a fixed path buffer holds, its terminator included.
inline constexpr unsigned int kPathBufferChars = 261;

class CFileFailure {
 public:
  // Reads errno and resets the error object. A success (or a null error
  // object) answers 0; a failure sets level 3 and the system error errno and
  // answers 1, after which the caller binds module 76 and adds its message.
  static int _bOnError(int bSuccess, CXError* pError);
  // Resets the error object, then level 3, module 76 and the debug text
  // "##MemoryException##". Null: nothing.
  static void _OnMemoryError(CXError* pError);
};

// Records one failure as described above. pError null: nothing. nMessage 0:
// no message. The variable arguments are the message's inserts (a wide text
// for "%s", an unsigned int for "%u"). pszItem1 and pszItem2 may be null.
// errno is nSystemError afterwards (the lock-conflict code included), so that
// a caller can read it back.
void RecordFileFailure(CXError* pError, unsigned int nSystemError, const wchar_t* pszItem1,
                       const wchar_t* pszItem2, unsigned int nMessage, ...);

#endif  // KQ230_PLATFORM_FILE_FAILURE_H_
