#include "platform/user32_emulation.h"

// Digits, ASCII letters, and the letters (with their accents) and superscript
// digits of Windows-1252.
const unsigned char g_abyAlphaNumericCP1252[32] = {
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x03,  //   0- 63: '0'-'9'
    0xFE, 0xFF, 0xFF, 0x07, 0xFE, 0xFF, 0xFF, 0x07,  //  64-127: 'A'-'Z', 'a'-'z'
    0x08, 0x54, 0x00, 0xD4, 0x00, 0x00, 0x0C, 0x02,  // 128-191: 131 138 140 142 154 156 158 159 178 179 185
    0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF,  // 192-255 without 215 and 247
};

int nEmule_LoadStringW(HINSTANCE, unsigned int, wchar_t*, int) { return 0; }

int nEmule_LoadStringA(HINSTANCE, unsigned int, char*, int) { return 0; }

int bEmule_IsCharAlphaNumericA(char c) {
  const unsigned char b = static_cast<unsigned char>(c);
  return (g_abyAlphaNumericCP1252[b >> 3] >> (b & 7)) & 1;
}

int bEmule_IsRectEmpty(const tagRECT* prc) {
  return prc->left >= prc->right || prc->top >= prc->bottom;
}

int bEmule_OffsetRect(tagRECT* prc, int dx, int dy) {
  // Unsigned sums: a rectangle near the int limits wraps as the Win32 one does
  // instead of overflowing a signed int.
  prc->left = static_cast<int>(static_cast<unsigned int>(prc->left) + static_cast<unsigned int>(dx));
  prc->right = static_cast<int>(static_cast<unsigned int>(prc->right) + static_cast<unsigned int>(dx));
  prc->top = static_cast<int>(static_cast<unsigned int>(prc->top) + static_cast<unsigned int>(dy));
  prc->bottom = static_cast<int>(static_cast<unsigned int>(prc->bottom) + static_cast<unsigned int>(dy));
  return 1;
}

int bEmule_IntersectRect(tagRECT* prcOut, const tagRECT* prcA, const tagRECT* prcB) {
  if (bEmule_IsRectEmpty(prcA) || bEmule_IsRectEmpty(prcB) || prcA->left >= prcB->right ||
      prcB->left >= prcA->right || prcA->top >= prcB->bottom || prcB->top >= prcA->bottom) {
    *prcOut = tagRECT{0, 0, 0, 0};
    return 0;
  }
  // Read everything before writing: out may be one of the inputs.
  const tagRECT rc = {prcA->left > prcB->left ? prcA->left : prcB->left,
                      prcA->top > prcB->top ? prcA->top : prcB->top,
                      prcA->right < prcB->right ? prcA->right : prcB->right,
                      prcA->bottom < prcB->bottom ? prcA->bottom : prcB->bottom};
  *prcOut = rc;
  return 1;
}
