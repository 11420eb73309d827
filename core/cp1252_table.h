// The CP1252 (Windows-1252) table: the framework's default 8-bit character set,
// one table for every road from bytes to wide text and back (the character
// functions of core/char_conv.h, MultiByteToWideChar and WideCharToMultiByte
// for code page 1252, the locale-bound comparisons), so that all give the same
// characters.
//
// Header-only so that the conversion loops inline it.
// Threads: constant data only.
#ifndef KQ230_CORE_CP1252_TABLE_H_
#define KQ230_CORE_CP1252_TABLE_H_

#include <cstdint>

namespace kq230::cp1252 {

// Bytes 0x80-0x9F. The five bytes Windows leaves undefined read as the C1
// control of the same value, so that a byte is never dropped on the way in.
inline constexpr wchar_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

inline wchar_t Cp1252ToWide(unsigned char b) {
  return (b & 0xE0) == 0x80 ? kCp1252High[b - 0x80] : static_cast<wchar_t>(b);
}

// The byte of c, or -1. The 27 characters above 255 are found by a switch,
// which the compiler turns into a jump table or a binary search.
inline int WideToCp1252(wchar_t c) {
  uint32_t u = static_cast<uint32_t>(c);
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<int>(u);
  switch (u) {
    case 0x20AC: return 0x80;
    case 0x201A: return 0x82;
    case 0x0192: return 0x83;
    case 0x201E: return 0x84;
    case 0x2026: return 0x85;
    case 0x2020: return 0x86;
    case 0x2021: return 0x87;
    case 0x02C6: return 0x88;
    case 0x2030: return 0x89;
    case 0x0160: return 0x8A;
    case 0x2039: return 0x8B;
    case 0x0152: return 0x8C;
    case 0x017D: return 0x8E;
    case 0x2018: return 0x91;
    case 0x2019: return 0x92;
    case 0x201C: return 0x93;
    case 0x201D: return 0x94;
    case 0x2022: return 0x95;
    case 0x2013: return 0x96;
    case 0x2014: return 0x97;
    case 0x02DC: return 0x98;
    case 0x2122: return 0x99;
    case 0x0161: return 0x9A;
    case 0x203A: return 0x9B;
    case 0x0153: return 0x9C;
    case 0x017E: return 0x9E;
    case 0x0178: return 0x9F;
    default: return -1;
  }
}

}  // namespace kq230::cp1252

#endif  // KQ230_CORE_CP1252_TABLE_H_
