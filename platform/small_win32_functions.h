// One-line Win32 and C runtime functions: standard handles, language ids,
// version information, MulDiv, byte fills and the 8-bit alphanumeric test.
//
// Threads: pure functions of their arguments (GetVersionEx asks uname).
#ifndef KQ230_PLATFORM_SMALL_WIN32_FUNCTIONS_H_
#define KQ230_PLATFORM_SMALL_WIN32_FUNCTIONS_H_

#include <cstdint>

inline constexpr unsigned int STD_INPUT_HANDLE = static_cast<unsigned int>(-10);
inline constexpr unsigned int STD_OUTPUT_HANDLE = static_cast<unsigned int>(-11);
inline constexpr unsigned int STD_ERROR_HANDLE = static_cast<unsigned int>(-12);
// The neutral default language (0x800).
inline constexpr unsigned short LANG_SYSTEM_DEFAULT_NEUTRAL = 0x800;
// The platform id that GetVersionEx reports for Linux.
inline constexpr unsigned int VER_PLATFORM_LINUX = 1000;

typedef struct _OSVERSIONINFO {
  uint32_t dwOSVersionInfoSize;
  uint32_t dwMajorVersion;
  uint32_t dwMinorVersion;
  uint32_t dwBuildNumber;
  uint32_t dwPlatformId;
  wchar_t szCSDVersion[128];
} OSVERSIONINFO;

// The file descriptor of the standard handle: -10 gives 0, -11 gives 1, -12
// gives 2; any other value -1 (INVALID_HANDLE_VALUE).
intptr_t GetStdHandle(unsigned int nStdHandle);

unsigned short GetSystemDefaultLangID();
unsigned short GetUserDefaultLangID();

// Clears the structure except its length field and sets the platform id to
// VER_PLATFORM_LINUX; true when uname succeeds (its data is not used).
// REQUIRES: pInfo is not null and holds a whole _OSVERSIONINFO.
int GetVersionEx(_OSVERSIONINFO* pInfo);

// a * b / c rounded half away from zero, with a 64-bit product (a 32-bit one
// wraps for ordinary window sizes). -1 when c is 0 or the result does not
// fit in an int (below -2147483647 or above 2147483647), as on Windows.
int MulDiv(int a, int b, int c);

// Every character up to the terminator becomes c; answers psz.
char* _strset(char* psz, int c);
// The same for at most n characters (nothing for n = 0, a null or an empty
// string). Answers the position after the last character set, psz when none
// was.
char* _strnset(char* psz, int c, unsigned int n);

// The 8-bit alphanumeric test of code page 1252 (bEmule_IsCharAlphaNumericA).
int LinuxIsCharAlphaNumericA(char c);

#endif  // KQ230_PLATFORM_SMALL_WIN32_FUNCTIONS_H_
