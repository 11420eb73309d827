// The process's environment variables and the running program's path, as the
// Win32 functions of the same names, plus makepath.
//
// Names and values are UTF-8 in the environment. The wide functions convert
// from and to wide text; the 8-bit ones use the code page of the server's
// current character set (Windows-1252 while no locale service is bound).
// Failures go to errno in the Win32 manner, never to an error object.
//
// Threads: the environment is process-wide; setenv and unsetenv are not safe
// while another thread reads it (callers serialise, the driver mutex).
#ifndef KQ230_PLATFORM_ENVIRONMENT_H_
#define KQ230_PLATFORM_ENVIRONMENT_H_

#include "kq230/platform_types.h"

// Path buffers of the framework: 260 characters and a terminator.
inline constexpr unsigned int kMaxPathChars = 261;

// 0 when the variable does not exist (errno ENOENT) or a text does not
// convert. Otherwise the value is copied into the buffer cut to nSize - 1
// characters and terminated (nothing written when nSize is 0); the answer is
// the value's length when it fits (length < nSize), else the length plus one
// (the size needed, terminator included).
unsigned int GetEnvironmentVariableW(const wchar_t* pszName, wchar_t* pszBuffer, unsigned int nSize);
// The same in bytes of the current character set's code page.
unsigned int GetEnvironmentVariableA(const char* pszName, char* pszBuffer, unsigned int nSize);
// A null value removes the variable (true even when it did not exist);
// otherwise setenv with overwrite, true on success.
int SetEnvironmentVariable(const wchar_t* pszName, const wchar_t* pszValue);

// The running program's path (/proc/self/exe) in the buffer of nSize
// characters, cut to nSize - 1 characters and terminated. 1 on success; 0
// with an empty buffer (when nSize > 0) on failure. The module handle is not
// used. The result is not a length.
int GetModuleFileNameW(HINSTANCE hModule, wchar_t* pszBuffer, unsigned int nSize);
int GetModuleFileNameA(HINSTANCE hModule, char* pszBuffer, unsigned int nSize);

// Joins directory, file name and extension into pszOut: the directory
// followed by "/" when it does not end with one (an empty or null directory
// gives an empty start); then the file name when not empty; then, only after
// a file name, the extension when not empty, preceded by "." unless it starts
// with one. The drive is not used. The text is cut to kMaxPathChars - 1
// characters.
// REQUIRES: pszOut holds kMaxPathChars characters.
void makepath(wchar_t* pszOut, const wchar_t* pszDrive, const wchar_t* pszDir,
              const wchar_t* pszFileName, const wchar_t* pszExt);

#endif  // KQ230_PLATFORM_ENVIRONMENT_H_
