// Character data of the stand-in server's one locale: the case pairs and base
// letters of ASCII, Latin-1 and Latin Extended-A, the upper half of code page
// 1252, and the characters that mapping flag 0x4 drops.
//
// Ownership: constant data with static storage; nothing to free.
// Threads: read-only, so any number of threads may read at once.
//
// The data lives in locale_tables.cc as plain arrays so that a reviewer can
// check it line by line against a character chart; locale_info.cc holds the
// logic. Every table is constant-initialised, so it is usable from the
// constructors of other static objects.
#ifndef KQ230_HOST_VM_LOCALE_TABLES_H_
#define KQ230_HOST_VM_LOCALE_TABLES_H_

#include <cstdint>
#include <span>

namespace standin_locale {

// The letter tables cover U+0000..U+017F; every other character is its own
// upper case, lower case and base letter.
inline constexpr uint32_t kLetterTableEnd = 0x180;

// Simple (one-for-one) case mappings. The only one-to-two mapping the locale
// knows, upper-case ß to "SS", is made by the code, not by the table; ß is its
// own entry here. Characters whose upper case lies outside the tables (µ, ŉ)
// keep their own value, so that an 8-bit text never turns into '?' merely by
// being upper-cased.
extern const std::span<const uint16_t, kLetterTableEnd> kUpperCase;
extern const std::span<const uint16_t, kLetterTableEnd> kLowerCase;

// The letter without its diacritics: é -> e, Å -> A, ł -> l, Ø -> O, İ -> I.
// Ligatures and letters in their own right stay (Æ æ Œ œ Ĳ ĳ ß Þ þ Ŋ ŋ ĸ ı ſ).
// The table keeps the case, and it commutes with both case tables.
extern const std::span<const uint16_t, kLetterTableEnd> kBaseLetter;

// Code page 1252, bytes 0x80..0x9F. The five bytes that the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 controls of the
// same value, so that every byte decodes and re-encodes to itself.
extern const std::span<const uint16_t, 32> kCp1252High;

// An inclusive range of code points.
struct CodePointRange {
  uint32_t nFirst;
  uint32_t nLast;
};

// What mapping flag 0x4 drops, as sorted, disjoint ranges.
// White space: U+0009..U+000D, U+0020 and U+00A0.
// Punctuation: ASCII punctuation and symbols (the C locale's ispunct set);
// the Latin-1 punctuation and symbols U+00A1..U+00BF, but not the letters
// ª µ º nor the numbers ² ³ ¹ ¼ ½ ¾; × and ÷; the spacing accents ˆ and ˜,
// the euro sign and the trade mark sign that code page 1252 holds; and the
// General Punctuation block U+2010..U+2027 and U+2030..U+205E (dashes, quotes,
// bullet, ellipsis, daggers, per mille, single guillemets). Digits, letters,
// controls and everything else stay.
extern const std::span<const CodePointRange> kWhiteSpace;
extern const std::span<const CodePointRange> kPunctuation;

}  // namespace standin_locale

#endif  // KQ230_HOST_VM_LOCALE_TABLES_H_
