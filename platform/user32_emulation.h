// The few functions of the Win32 user-interface library that shared framework
// code calls, emulated on Linux under the names nEmule_ / bEmule_: string
// resources do not exist here, the alphanumeric test reads a fixed table of
// Windows-1252 byte values, and the rectangle functions work on the Win32
// RECT layout.
//
// Threads: pure functions over their arguments and a constant table.
#ifndef KQ230_PLATFORM_USER32_EMULATION_H_
#define KQ230_PLATFORM_USER32_EMULATION_H_

#include "kq230/platform_types.h"

// Win32 RECT: a rectangle is empty when left >= right or top >= bottom.
typedef struct tagRECT {
  int left;
  int top;
  int right;
  int bottom;
} RECT;

// Win32 POINT.
typedef struct tagPOINT {
  int x;
  int y;
} POINT;

// There are no string resources: both answer 0 and leave the buffer alone.
int nEmule_LoadStringW(HINSTANCE hInstance, unsigned int nId, wchar_t* pszBuffer, int nSize);
int nEmule_LoadStringA(HINSTANCE hInstance, unsigned int nId, char* pszBuffer, int nSize);

// Whether the byte c (taken unsigned) is a digit or a letter of code page
// 1252: 48-57, 65-90, 97-122, 131, 138, 140, 142, 154, 156, 158, 159, 178,
// 179, 185, 192-214, 216-246, 248-255 (so not 215 "x" nor 247 "/").
int bEmule_IsCharAlphaNumericA(char c);
// The same table, one bit per byte value: bit (b & 7) of byte (b >> 3).
extern const unsigned char g_abyAlphaNumericCP1252[32];

// REQUIRES (the rectangle functions): the pointers are not null.
int bEmule_IsRectEmpty(const tagRECT* prc);
// Adds dx to left and right, dy to top and bottom; answers 1.
int bEmule_OffsetRect(tagRECT* prc, int dx, int dy);
// When a and b are both non-empty and overlap, out becomes their
// intersection and the answer is 1; otherwise out is all zeros and 0. out may
// be a or b.
int bEmule_IntersectRect(tagRECT* prcOut, const tagRECT* prcA, const tagRECT* prcB);

#endif  // KQ230_PLATFORM_USER32_EMULATION_H_
