// CStandInInfoLocale: the stand-in server's locale information service
// (IInfoLocale), with one fixed locale whose behaviour is fully determined by
// the tables of locale_tables.cc. It never consults the process locale, so the
// driver's tests give the same answers on every machine.
//
// The locale:
// - Texts. A length of -1 reads to the terminator; any other negative length
//   reads as 0; a null text reads as "" whatever its length. An explicit
//   length is taken as it is: a zero unit inside it is a character.
// - 8-bit texts are in the current code page: 1252 (every byte is a character;
//   the five bytes the code page leaves undefined stand for the C1 controls of
//   the same value) or 65001 (UTF-8). In UTF-8 a byte that does not start a
//   well-formed, shortest-form sequence of a scalar value reads as U+FFFD and
//   reading resumes at the next byte. Output goes back to the same code page;
//   a character that the code page cannot hold, and in UTF-8 every byte that
//   read as U+FFFD, is written '?'. Writing such a byte as the three bytes of
//   U+FFFD would let one input byte become three output bytes, past the
//   two-for-one bound that callers size their buffers by.
// - Wide texts are UTF-32; any 32-bit value is taken as a character, and
//   values that are not letters of the tables map to themselves.
// - Mapping flags: 0x1 upper case, 0x100 lower case (0x1 wins when both are
//   given), 0x2 no accents, 0x4 no white space and punctuation; the character
//   sets and the case rules are described in locale_tables.h. Only upper-case
//   ß yields two characters ("SS"), so no input character yields more than
//   two. Other flag bits are ignored by mappings.
// - Locale identifiers given to slots 5, 6, 9, 11 and 12 are accepted and
//   ignored: the stand-in has one locale, so those slots answer exactly like
//   their current-locale counterparts.
//
// Comparisons map both texts with the mapping part of the flags (0x1, 0x2,
// 0x4; 0x100 does not take part) and answer -1, 0 or 1. Two texts compare
// equal exactly when their mapped texts are equal, whatever the order flag;
// hash tables keyed by map(text) rely on this. The order:
// - without 0x20000000, the mapped texts' code points as unsigned values,
//   a proper prefix first;
// - with 0x20000000, the locale's order by levels, each compared as a
//   sequence with a proper prefix first: primary the text mapped with 0x3
//   (plus 0x4 when given), so "a" < "B" < "c" and "e" < "é" < "f"; then, unless
//   0x2 is given, the accents (an unaccented character before any accented
//   letter, accented letters by the code point of their capital, so
//   "e" < "è" < "é"); then, unless 0x1 is given, the case (lower case and
//   uncased before upper case); last the mapped code points, which makes the
//   order total ("i" < "ı").
// 0x40000000 (8-bit texts) is accepted and ignored: the slot already says the
// width; so are every other bit (the driver's request bit 0x10000000 for the
// current locale, should it arrive, and the language's 0x80000000 that
// lexicographic comparisons pass on). A sort key (slot 9) always follows the
// locale's order, as if 0x20000000 were given: the levels' weights in an
// order-preserving encoding, levels separated by 0x01, no zero byte before the
// terminator; its flags take part as in a comparison (the driver passes 0).
//
// Argument orders, as the driver calls them: slots 5/6 (id, flags, a, length,
// b, length) and 7/8 the same without the id; 9, 11 and 12 (id, flags, input,
// length, output, size); 13 and 14 (flags, output, size, input, length), the
// output first. Asking for the current locale through slots 7/8, 13 and 14, or
// through slots 5/6, 11 and 12 with the id that slot 4 reports, gives the same
// answer.
//
// Output (slots 9, 11..14): with an output buffer of nOutSize > 0 units, at most
// nOutSize - 1 units are written, then a terminator; the answer is the count
// written, without the terminator. What is written is always the longest
// prefix of the full result that fits in whole characters (whole sort-key
// weights), so a UTF-8 sequence is never cut. Without output (null buffer or
// size 0) the answer is the count a large enough buffer would receive. Answers
// saturate at INT_MAX. The output may overlap the input: the input is then
// read from a private copy (an allocation failure then answers 0 with the
// output, when it has room, set to "").
//
// Ownership: the object holds only its four settings; tables are static.
// Threads: every operation reads the settings once, atomically, and touches no
// other shared mutable state, so any number of threads may map and compare at
// once, and a setter may run while they do (a call sees the old or the new
// value, never a mixture within one call).
#ifndef KQ230_HOST_VM_LOCALE_INFO_H_
#define KQ230_HOST_VM_LOCALE_INFO_H_

#include <atomic>

#include "kq230/host_services.h"

class CStandInInfoLocale final : public IInfoLocale {
 public:
  static constexpr int kCodePageWestern = 1252;
  static constexpr int kCodePageUtf8 = 65001;
  static constexpr int kCharsetNone = 127;
  static constexpr unsigned int kLcidFrench = 1036;

  // Code page 1252, charset 0, current and safe LCID 1036.
  CStandInInfoLocale() = default;

  CStandInInfoLocale(const CStandInInfoLocale&) = delete;
  CStandInInfoLocale& operator=(const CStandInInfoLocale&) = delete;

  // 1252 or 65001; any other value is taken, and reported, as 1252, so that
  // the driver never believes in a code page that the stand-in does not apply.
  void SetCurrentCodePage(int nCodePage);
  // Reported as given by slot 2; kCharsetNone means "none".
  void SetCurrentCharset(int nCharset);
  // Reported as given by slot 4.
  void SetCurrentLCID(unsigned int nLCID);
  // Reported as given by slot 15.
  void SetSafeLCID(unsigned int nLCID);

  // Slots 0, 1 and 10 answer 0.
  int _vnReserved0() override;
  int _vnReserved1() override;
  int vnGetCurrentCharset() override;
  int vnGetCurrentCodePage() override;
  unsigned int vnGetCurrentLCID() override;
  // REQUIRES (all texts below): a text with an explicit length n >= 0 holds at
  // least n units; a text with length -1 is terminated.
  int vnCompareA(unsigned int nLCID, unsigned int dwFlags, const char* pszA, int nA,
                 const char* pszB, int nB) override;
  int vnCompareW(unsigned int nLCID, unsigned int dwFlags, const wchar_t* pszA, int nA,
                 const wchar_t* pszB, int nB) override;
  int vnCompareCurrentA(unsigned int dwFlags, const char* pszA, int nA, const char* pszB,
                        int nB) override;
  int vnCompareCurrentW(unsigned int dwFlags, const wchar_t* pszA, int nA, const wchar_t* pszB,
                        int nB) override;
  // REQUIRES (all outputs below): a non-null output holds nOutSize units.
  int vnMapSortKeyA(unsigned int nLCID, unsigned int dwFlags, const char* pszIn, int nIn,
                    char* pszOut, unsigned int nOutSize) override;
  int _vnReserved10() override;
  int vnMapStringA(unsigned int nLCID, unsigned int dwFlags, const char* pszIn, int nIn,
                   char* pszOut, unsigned int nOutSize) override;
  int vnMapStringW(unsigned int nLCID, unsigned int dwFlags, const wchar_t* pszIn, int nIn,
                   wchar_t* pszOut, unsigned int nOutSize) override;
  int vnPrepareStringA(unsigned int dwFlags, char* pszOut, unsigned int nOutSize, const char* pszIn,
                       int nIn) override;
  int vnMapStringCurrentW(unsigned int dwFlags, wchar_t* pszOut, unsigned int nOutSize,
                          const wchar_t* pszIn, int nIn) override;
  unsigned int vnGetSafeCurrentLCID() override;

 private:
  std::atomic<int> m_nCodePage{kCodePageWestern};
  std::atomic<int> m_nCharset{0};
  std::atomic<unsigned int> m_nLCID{kLcidFrench};
  std::atomic<unsigned int> m_nSafeLCID{kLcidFrench};
};

#endif  // KQ230_HOST_VM_LOCALE_INFO_H_
