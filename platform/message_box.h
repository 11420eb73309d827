// MessageBox: a graphical box through the application server's object library
// when the process has already loaded it, otherwise a question on the console
// (the text on standard error, the answer read from standard input).
//
// The object library is never loaded here: only a library already in the
// process is found (RTLD_NOLOAD), as "kq230obj.so" beside the running
// program, then in the working directory (include/kq230/object_library.h).
//
// Console answers: the first character of one word read from standard input
// gives the button: "a" IDABORT, "c" IDCANCEL, "i" IDIGNORE, "n" IDNO, "r"
// IDRETRY (after a one-line hint for a debugger), "y" IDYES, anything else
// (the end of the input included) IDOK. The word is read byte by byte and the
// rest of it skipped, whatever its length.
//
// Threads: writes to standard error and reads standard input; callers
// serialise.
#ifndef KQ230_PLATFORM_MESSAGE_BOX_H_
#define KQ230_PLATFORM_MESSAGE_BOX_H_

#include "kq230/object_library.h"

// Win32 button sets (the low four bits of the type) and answers.
inline constexpr unsigned int MB_OK = 0;
inline constexpr unsigned int MB_OKCANCEL = 1;
inline constexpr unsigned int MB_ABORTRETRYIGNORE = 2;
inline constexpr unsigned int MB_YESNOCANCEL = 3;
inline constexpr unsigned int MB_YESNO = 4;
inline constexpr unsigned int MB_RETRYCANCEL = 5;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// The object library's "MessageBox_QT_W" when the library is loaded and
// shows a box (an answer other than -1); otherwise the console form.
int MessageBox(HWND__* hWnd, const wchar_t* pszText, const wchar_t* pszCaption, unsigned int nType);
// Always the console form; the text is UTF-16 (converted to wide first).
int MessageBoxW(HWND__* hWnd, const unsigned short* pszText, const wchar_t* pszCaption, unsigned int nType);

// The console form: the caption (UTF-8) and a line end on standard error,
// then the text and a line end (bWide 1: pszText is wide text, written as
// UTF-8; 0: it is in fact an 8-bit text, written unchanged), then the prompt
// of the button set, then the answer is read. Null texts write empty lines.
int _MessageBox_NO_GUI(const wchar_t* pszText, const wchar_t* pszCaption, unsigned int nType, int bWide);

// The prompt of a button set: types above 5 share the prompt of type 2.
const char* _pszMessageBoxPrompt(unsigned int nType);

// Writes the text to standard error ("%ls", no line end).
void OutputDebugString(const wchar_t* pszText);

#endif  // KQ230_PLATFORM_MESSAGE_BOX_H_
