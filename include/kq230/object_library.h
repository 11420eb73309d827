// The application server's object library (kq230obj.so) as the driver sees
// it: one entry that shows a graphical message box.
//
// The driver never loads the library: it uses it only when the process has
// already loaded it (dlopen with RTLD_NOLOAD), found beside the running
// program or in the working directory. Shared by the driver and the stand-in
// server's library of the same name.
#ifndef KQ230_OBJECT_LIBRARY_H_
#define KQ230_OBJECT_LIBRARY_H_

// A window handle of the server's; only passed on.
struct HWND__;
typedef HWND__* HWND;

// The library's file name and its entry.
inline constexpr const char* kObjectLibraryFileName = "kq230obj.so";
inline constexpr const char* kMessageBoxEntryName = "MessageBox_QT_W";

// "MessageBox_QT_W"(window, text, caption, type): shows the box and answers
// the button chosen (the Win32 IDOK ... IDNO values), or -1 when no box was
// shown (the driver then asks on the console).
typedef int (*PFNMESSAGEBOXQTW)(HWND__* hWnd, const wchar_t* pszText, const wchar_t* pszCaption,
                                unsigned int nType);

#endif  // KQ230_OBJECT_LIBRARY_H_
