// The Win32 rectangle functions over RECT and POINT (platform/user32_emulation.h).
//
// Arithmetic on coordinates wraps in 32 bits as on Windows rather than
// overflowing a signed int. Functions that receive a null rectangle answer 0
// (or null) and write nothing.
// Threads: pure functions over their arguments.
#ifndef KQ230_PLATFORM_RECTANGLES_H_
#define KQ230_PLATFORM_RECTANGLES_H_

#include "platform/user32_emulation.h"

// Sets the four sides; 0 for a null rectangle, else 1.
int SetRect(tagRECT* prc, int nLeft, int nTop, int nRight, int nBottom);
// All four 0; answers the rectangle.
tagRECT* SetRectEmpty(tagRECT* prc);
// *prcDst = *prcSrc; 1 (0 when either is null).
int CopyRect(tagRECT* prcDst, const tagRECT* prcSrc);
// Width <= 0 or height <= 0 (a null rectangle counts as empty).
int IsRectEmpty(const tagRECT* prc);
int EqualRect(const tagRECT* prcA, const tagRECT* prcB);
// left <= x < right and top <= y < bottom.
int PtInRect(const tagRECT* prc, tagPOINT pt);
// left and top decrease, right and bottom increase by dx and dy; answers the
// rectangle.
tagRECT* InflateRect(tagRECT* prc, int dx, int dy);
// All four move by dx, dy; answers the rectangle.
tagRECT* OffsetRect(tagRECT* prc, int dx, int dy);
// Both empty: empty result and 0; one empty: the other and 1; else the
// bounding rectangle and 1. out may be a or b.
int UnionRect(tagRECT* prcOut, const tagRECT* prcA, const tagRECT* prcB);
// bEmule_IntersectRect.
int IntersectRect(tagRECT* prcOut, const tagRECT* prcA, const tagRECT* prcB);
// a minus b: an empty a gives an empty result and 0. The result starts as a;
// when a and b intersect across a's whole width, the strip at a's top or
// bottom edge is cut off (across the whole of a: empty result, 0); across
// a's whole height, the strip at its left or right edge. Otherwise a stays.
// 1 when the result is not empty. out may be a or b.
int SubtractRect(tagRECT* prcOut, const tagRECT* prcA, const tagRECT* prcB);

#endif  // KQ230_PLATFORM_RECTANGLES_H_
