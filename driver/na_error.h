// CNAError: the native-access error object. Every failure of the driver ends
// in one: the driver, each context and each table object own one, and the
// server reads it through INAError after an operation answered 0.
//
// It wraps one framework error of the driver's module (the main error, a
// _CXErrorModule76): the first failure recorded becomes the main error and
// gives the object its error type; later failures are attached to it as
// sub-errors. The "last framework error" is the main error's last sub-error,
// or the main error when it has none: the operations that complete an error
// (database code and message, system error, debug and user messages) apply to
// it, so that they complete the most recent failure.
//
// Raising: a driver operation raises its numbered user error at a place (a
// file number and a site number) with CNAError::g_nRaise, which builds the
// module error (user error and inserts, table and item names, item 16 =
// the user code, the debug line "IEKQMARIA=<file>.<site>\r\nModule=<KQMARIA>\r\n
// Version=<23.0.2.0>"), hands it to the target's AddError, and answers 0 for
// the operation to return.
//
// Texts that come from outside (the database server's messages, the client
// library's texts) are never used as message formats: they go through the
// no-format variants, so a "%1" or "%s" in them stays as written.
//
// Ownership: the object owns its main error (and so its sub-errors) and its
// dump text. It is reference counted (AddRef / nRelease): born at 0, the
// holder that releases the last reference destroys it. The connection
// descriptions passed in are borrowed for the call only.
// Threads: no lock of its own; it is changed by operations that hold the
// driver lock or that run for one server context.
#ifndef KQ230_DRIVER_NA_ERROR_H_
#define KQ230_DRIVER_NA_ERROR_H_

#include "core/error_object.h"
#include "core/wide_string.h"
#include "kq230/na_error_interface.h"

class CNAConnectionDescription;

// File numbers of the debug line, one per raising source unit. Site numbers
// are local to each file.
inline constexpr int kNAFileConnection = 1;  // connection description
inline constexpr int kNAFileDriver = 5;      // driver object
inline constexpr int kNAFileLoader = 9;      // client-library loader

class CNAError : public INAError {
 public:
  CNAError();
  CNAError(const CNAError&) = delete;
  CNAError& operator=(const CNAError&) = delete;

  // ---- INAError, in the interface's slot order
  int nGetVersion() override;         // 1
  int nGetCompatSince() override;     // 1
  int nGetNAVersion() override;       // -1
  int nGetNACompatSince() override;   // -1
  void NAVersion_EmptySlot_3() override;
  // The main error's full dump (options 0x80000fff), kept in the object until
  // the next call or Reset; never null.
  const wchar_t* pszGetError() const override;
  // 0 when the main error's level is 1 (no error), else its user error code.
  unsigned int dwGetErrorId() const override;
  // -1 while the object holds no error.
  eNA_ERRORTYPE eGetErrorType() const override;
  // Items 6 and 7 of the main error, or null.
  const wchar_t* pszGetLogicalTableName() const override;
  const wchar_t* pszGetItemName() const override;
  // The main error (never null; owned by this object).
  CXError* pclGetXError() const override;
  eNAERRORLEVEL eGetErrorLevel() const override;
  void EmptySlot52() override;
  void EmptySlot53() override;
  void EmptySlot54() override;
  void EmptySlot55() override;
  void EmptySlot56() override;
  ~CNAError() override;

  // ---- Own virtual operation
  // Clears the main error, sets the type to -1, empties the dump text.
  virtual void Reset();

  // ---- Reference count (plain int: users hold the driver lock)
  void AddRef() { ++m_nRefCount; }
  // One reference less; the holder that drops the last destroys the object.
  // Answers the new count (0 when destroyed; also 0, nothing changed, when
  // the count was already 0).
  int nRelease();
  int nGetRefCount() const { return m_nRefCount; }

  // ---- Recording errors. Each: on an empty object it sets the type and the
  // main error; otherwise the new error becomes a sub-error of the main one
  // and the type stays (except AddErrorFirst). pclConnection may be null.

  // The error copied in (CXError::Copy), then the connection's native
  // information added to the main error. A null pclError records nothing.
  void AddError(eNA_ERRORTYPE eType, const CXError* pclError,
                CNAConnectionDescription* pclConnection);
  // User error nCode of the driver's module with its inserts (the code's
  // message's %1-style places, in order), then the debug line (nFile, nSite)
  // and the connection's native information (main error only).
  // REQUIRES: the variable arguments match the code's message.
  void AddError(eNA_ERRORTYPE eType, int nFile, int nSite,
                CNAConnectionDescription* pclConnection, unsigned int nCode, ...);
  // The same without inserts.
  void AddError(eNA_ERRORTYPE eType, unsigned int nCode, int nFile, int nSite,
                CNAConnectionDescription* pclConnection);
  // As AddError on an empty object. Otherwise the new error comes first: the
  // type is replaced, the main error receives the new user error and debug
  // line, and the former content (with its sub-errors) becomes its first
  // sub-error.
  void AddErrorFirst(eNA_ERRORTYPE eType, int nFile, int nSite,
                     CNAConnectionDescription* pclConnection, unsigned int nCode, ...);
  // An error from three result codes (CXError::SetAnyError), with the table
  // and item names and the debug line; type 0 on an empty object. Native
  // information only on the main error.
  void SetAnyError(int nKind, int nA, int nB, int nFile, int nSite,
                   CNAConnectionDescription* pclConnection, const wchar_t* pszTable,
                   const wchar_t* pszItem);
  // A database error: user error nCode with the inserts (the connection's
  // database name, "" without one; the native code); a non-empty message is
  // added as a user message and becomes the system error message, both
  // verbatim; a non-zero native code becomes item 15; then the names.
  void _SetDataBaseError(eNA_ERRORTYPE eType, CNAConnectionDescription* pclConnection,
                         unsigned int nCode, unsigned int nNativeCode,
                         const wchar_t* pszMessage, const wchar_t* pszTable,
                         const wchar_t* pszItem);
  // Unless pclOther is this object (or null): its type and a copy of its main
  // error replace this one's.
  void Copy(const INAError* pclOther);
  // Attaches a copy of pclError as a sub-error unless its level is 1 (or it
  // is null).
  void AddSubError(const CXError* pclError);
  // g_SetInfoNames on the main error.
  void SetInfoNames(const wchar_t* pszTable, const wchar_t* pszItem);
  // Levels 1, 2 and 3 set the main error's level; any other value changes
  // nothing.
  void SetErrorLevel(eNAERRORLEVEL eLevel);
  // The main error's full dump.
  CTString StringDump() const;

  // ---- Completing the last framework error
  void SetDataBaseErrorCode(unsigned int nCode);    // item 15
  unsigned int dwGetDataBaseErrorCode() const;      // item 15, 0 when absent
  void SetDataBaseErrorMessage(const wchar_t* psz); // item 18, verbatim
  unsigned int dwGetADOErrorCode() const;           // item 17, 0 when absent
  void SetSystemErrorCode(unsigned int nCode);
  unsigned int dwGetSystemErrorCode() const;
  const wchar_t* pszGetSystemErrorMessage() const;
  unsigned int nGetUserErrorCode() const;
  // The debug line of (nFile, nSite).
  void AddDebugInfo(int nFile, int nSite);
  // A debug text verbatim, appended or put first.
  void AddDebugMessageNoFormat(const wchar_t* pszText);
  void AddDebugMessageNoFormatFirst(const wchar_t* pszText);
  // The module's debug message nNumber with its inserts (nothing for -1).
  void AddDebugMessage(unsigned int nNumber, ...);
  // A user text verbatim.
  void AddUserMessageNoFormat(const wchar_t* pszText);
  // The module's user message nNumber with its inserts, appended or first.
  void AddUserMessage(unsigned int nNumber, ...);
  void AddUserMessageFirst(unsigned int nNumber, ...);

  // The last framework error (never null).
  CXError* pclGetLastXError() const;

  // ---- Helpers on framework errors
  // Item 6 = table name when it is not empty, and then item 7 = item name when
  // that is not empty; nothing at all when the table name is empty.
  static void g_SetInfoNames(CXError* pclError, const wchar_t* pszTable, const wchar_t* pszItem);
  // Appends the debug line of (nFile, nSite), unformatted, as a debug message.
  static void g_AddDebugInfo(CXError* pclError, int nFile, int nSite);
  // The debug line's text for (nFile, nSite).
  static CTString g_csDebugLine(int nFile, int nSite);
  // With a connection: its native information on the error; else nothing.
  static void g_AddInfoNative(CXError* pclError, CNAConnectionDescription* pclConnection);

  // The raise sequence: a module error with user error nCode and its inserts,
  // the names (null: none), item 16 = nCode and the debug line (nFile, nSite),
  // added to pclTarget with eType and pclConnection; dropped without a target.
  // Answers 0, for the raising operation to return.
  // REQUIRES: the variable arguments match the code's message.
  static int g_nRaise(CNAError* pclTarget, eNA_ERRORTYPE eType, int nFile, int nSite,
                      CNAConnectionDescription* pclConnection, const wchar_t* pszTable,
                      const wchar_t* pszItem, unsigned int nCode, ...);

 private:
  bool bIsEmpty() const { return m_eType == kNoErrorType; }
  void RaiseInto(_CXErrorModule76& clError, int nFile, int nSite, unsigned int nCode,
                 char** ppArgs);

  static constexpr int kNoErrorType = -1;

  int m_nRefCount = 0;
  int m_eType = kNoErrorType;
  _CXErrorModule76 m_clError;
  mutable CTString m_csDump;
};

#endif  // KQ230_DRIVER_NA_ERROR_H_
