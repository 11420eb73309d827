// The process's working directory set from a wide or an 8-bit path, as the
// Win32 functions of the same name.
//
// Threads: changes the process-wide working directory; callers serialise.
#ifndef KQ230_PLATFORM_CURRENT_DIRECTORY_H_
#define KQ230_PLATFORM_CURRENT_DIRECTORY_H_

// chdir to the path converted to UTF-8 (a backslash read as '/'); 1 on
// success, else 0 with errno set.
int SetCurrentDirectoryW(const wchar_t* pszPath);
// chdir to the 8-bit path, converted to UTF-8 from the code page of the
// server's current character set; 1 on success, else 0 with errno set.
int SetCurrentDirectoryA(const char* pszPath);

#endif  // KQ230_PLATFORM_CURRENT_DIRECTORY_H_
