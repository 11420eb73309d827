#include "platform/small_win32_functions.h"

#include <sys/utsname.h>

#include <cstring>

#include "platform/user32_emulation.h"

#if defined(__i386__)
static_assert(sizeof(_OSVERSIONINFO) == 20 + 128 * sizeof(wchar_t), "Win32 layout, wide text");
#endif

intptr_t GetStdHandle(unsigned int nStdHandle) {
  switch (nStdHandle) {
    case STD_INPUT_HANDLE:
      return 0;
    case STD_OUTPUT_HANDLE:
      return 1;
    case STD_ERROR_HANDLE:
      return 2;
    default:
      return -1;
  }
}

unsigned short GetSystemDefaultLangID() { return LANG_SYSTEM_DEFAULT_NEUTRAL; }

unsigned short GetUserDefaultLangID() { return LANG_SYSTEM_DEFAULT_NEUTRAL; }

int GetVersionEx(_OSVERSIONINFO* pInfo) {
  const uint32_t nSize = pInfo->dwOSVersionInfoSize;
  std::memset(pInfo, 0, sizeof *pInfo);
  pInfo->dwOSVersionInfoSize = nSize;
  pInfo->dwPlatformId = VER_PLATFORM_LINUX;
  struct utsname stName;
  return uname(&stName) == 0;
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  long long nA = a, nC = c;
  if (nC < 0) {
    nA = -nA;
    nC = -nC;
  }
  long long nProduct = nA * b;
  const bool bNegative = (nA < 0) != (b < 0);
  nProduct += bNegative ? -(nC / 2) : nC / 2;
  const long long nResult = nProduct / nC;
  if (nResult > 2147483647LL || nResult < -2147483647LL) return -1;
  return static_cast<int>(nResult);
}

char* _strset(char* psz, int c) {
  if (psz == nullptr) return psz;
  for (char* p = psz; *p != 0; ++p) *p = static_cast<char>(c);
  return psz;
}

char* _strnset(char* psz, int c, unsigned int n) {
  if (psz == nullptr || n == 0 || *psz == 0) return psz;
  char* p = psz;
  for (; n > 0 && *p != 0; --n) *p++ = static_cast<char>(c);
  return p;
}

int LinuxIsCharAlphaNumericA(char c) { return bEmule_IsCharAlphaNumericA(c); }
