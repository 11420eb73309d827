// The setup program's own message module: its numbered messages, its error
// table (one user error per archive result code, _eKQzipResult), and the
// writing of messages to standard error.
//
// The texts are packed on their first lookup into static buffers (no heap is
// kept), so that the framework's lookup and formatting (DLLRES_bFormatMessage,
// CXError's user errors) read them as they read the driver's block.
//
// Ownership: constant data and static buffers. Threads: the setup program is
// single-threaded; the first lookup of a message is not guarded.
#ifndef KQ230_INSTALLER_SETUP_MESSAGES_H_
#define KQ230_INSTALLER_SETUP_MESSAGES_H_

#include "core/module_info.h"

class CTString;

// The module description of the setup program (module id 76 like the
// driver's: one maker, one module; its own table and messages).
extern const _stMyModuleInfo gstMyModuleInfoSetup;

// The program's messages (texts ours; inserts in brackets).
inline constexpr unsigned int kMsgNotSuperUser = 4219;       // none
inline constexpr unsigned int kMsgOperationFailed = 4903;    // (path or entry name)
inline constexpr unsigned int kMsgNoBinaryDirectory = 4976;  // none
inline constexpr unsigned int kMsgCannotExamine = 4977;      // (name, system text)
inline constexpr unsigned int kMsgInstalled = 7993;          // (product)
inline constexpr unsigned int kMsgNotInstalled = 7994;       // (product)

// The user error of an archive result code (0 for KQZIP_OK or an unknown
// code), and the message number of that user error.
unsigned int nSetupUserErrorOfResult(int eResult);
unsigned int nSetupMessageOfResult(int eResult);

// Writes a wide text to standard error in UTF-8.
void WriteToStandardError(const wchar_t* pszText);
// The system's text of an errno value, as wide text (empty for 0).
void SystemErrorText(int nErrno, CTString* pclText);

#endif  // KQ230_INSTALLER_SETUP_MESSAGES_H_
