// CDureeBase: the language's duration (type 27, DUREE) as the driver holds it
// in a CAny and in record buffers: a signed count of milliseconds. CDuree is
// the server's duration object, whose first 8 bytes are a CDureeBase.
//
// Texts: the millisecond text is an optional "-", the whole days in decimal
// (at least one digit), then exactly nine digits HHMMSSmmm ("0000000000" is
// zero); the centisecond text ends in eight digits HHMMSScc instead. The
// binary form is the millisecond text in 8-bit characters without terminator
// (at most 22 bytes: the sign, 12 digits of days, 9 digits). A third reader
// takes durations written with units ("1h30min", "2j 4h", "500ms").
//
// The centisecond text rounds the whole count to the nearest centisecond
// (halves upward: 15 ms is 2 cs, -15 ms is -1 cs) before it is split into
// fields, so its last field always has two digits and reads back as written
// (within 5 ms of the 64-bit limits the count is held at the last one that
// reads back).
// Day counts are 64-bit throughout: every duration formats and reads back.
//
// Ownership: a plain 8-byte value, trivially copyable; texts returned by
// pszCreeChaine belong to the caller; counted strings and binary buffers
// passed in are only assigned.
// Threads: none of its own; one value is used by one thread at a time.
//
// Results: 0 success; 112 (kDureeHorsLimite) a text too short for the fixed
// readers or a number out of range; the unit reader answers -1 when nothing
// formed a group; errors of counted strings and binary buffers are passed on.
#ifndef KQ230_VALUES_DURATION_BASE_H_
#define KQ230_VALUES_DURATION_BASE_H_

#include <cstdint>

template <typename T>
class CXYString;
class CVXBIN;

// A duration text too short, or a number out of range.
inline constexpr int kDureeHorsLimite = 112;

class CDureeBase {
 public:
  // Milliseconds in one day, hour, minute and second.
  static constexpr long long kMsParJour = 86400000LL;
  static constexpr long long kMsParHeure = 3600000LL;
  static constexpr long long kMsParMinute = 60000LL;
  static constexpr long long kMsParSeconde = 1000LL;
  // The longest millisecond text: "-", 12 digits of days (2^63 ms is
  // 106751991167 days), HHMMSSmmm.
  static constexpr int kLongueurMaxTexte = 22;
  // The longest digit run the unit reader takes (separators not counted).
  static constexpr int kLongueurMaxNombre = 100;

  // Display formats: days, hours, minutes, seconds, then milliseconds or
  // centiseconds, in the Windows convention of the wide printf family.
  static const wchar_t* const ms_pcszFormatAffichageMillieme;  // "%d%02d%02d%02d%03d"
  static const wchar_t* const ms_cpszFormatAffichageCentieme;  // "%d%02d%02d%02d%02d"

  constexpr CDureeBase() = default;
  constexpr explicit CDureeBase(long long llMillisecondes) : m_llDuree(llMillisecondes) {}

  // --- Access -----------------------------------------------------------------
  constexpr long long llGetDuree() const { return m_llDuree; }
  constexpr void SetDuree(long long llMillisecondes) { m_llDuree = llMillisecondes; }

  // --- Comparison -----------------------------------------------------------
  // -1, 0 or 1 by signed comparison. REQUIRES: a and b not null.
  static int nCompare(const CDureeBase* a, const CDureeBase* b);

  // --- Texts out -------------------------------------------------------------
  // Writes the duration in format into out, at most n characters plus the
  // terminator (a "-" first when the duration is negative, counted in n).
  // Answers the number of characters written after the sign, or -1 when the
  // text does not fit (out then holds an empty text when n allows one).
  // The two display formats are written directly, with 64-bit days; any other
  // format goes to snwprintfWin with five int arguments and answers -1 when
  // the days do not fit an int.
  // REQUIRES: out holds n + 1 characters; format not null.
  int __nVersChaine(wchar_t* out, const wchar_t* format, unsigned int n) const;
  // The millisecond text in 8-bit characters, terminated.
  void VersChaine(char (&out)[25]) const;
  // A new terminated wide millisecond text (STR_pszCreate); the caller frees
  // it with STR_Delete. Null when the allocation fails.
  wchar_t* pszCreeChaine() const;
  // The millisecond (centisecond) text assigned to s: 0 or the counted
  // string's code. REQUIRES: s not null.
  int nVersChaine(CXYString<wchar_t>* s) const;
  int nVersChaineCentieme(CXYString<wchar_t>* s) const;
  // The binary form: the millisecond text's characters as bytes, sign
  // included, no terminator. 0 or the buffer's code (then unchanged).
  // nFlags is kept for the server's calling convention and not used.
  // REQUIRES: pBin not null.
  int nVersBinaire(CVXBIN* pBin, unsigned int nFlags) const;

  // --- Texts in --------------------------------------------------------------
  // Reads a millisecond (centisecond) text: an optional sign ("+", "-" or
  // their fullwidth forms U+FF0B, U+FF0D), then days and HHMMSSmmm
  // (HHMMSScc). The fields are read like wcstol reads them (leading blanks, a
  // sign, digits up to the first non-digit; fullwidth digits count as
  // digits) and not checked against their ranges. 112 when fewer than 10 (9)
  // characters follow the sign or the total does not fit 64 bits; the
  // duration is then unchanged. Null reads as an empty text.
  int nDepuisChaine(const wchar_t* text);
  int nDepuisChaineCentieme(const wchar_t* text);
  // The first 24 bytes of the buffer (none for null), widened, read with
  // nDepuisChaine. nFlags is not used.
  int nDepuisBinaire(const CVXBIN* pBin, unsigned int nFlags);

  // Reads a duration written with units from the start of text, replacing
  // the value (0 first). Groups are a number (digits, ASCII or fullwidth,
  // possibly interrupted by " ", "_", U+FF3F) and a unit: d/j (days), h,
  // min, s, ms, lower case or fullwidth, in decreasing order. A later group
  // above its field's limit (23 h, 60 min, 60 s, 999 ms) answers 112; the
  // first group may exceed it and adds its amount (90min is 5,400,000 ms).
  // A run of more than kLongueurMaxNombre digits, or a value that does not
  // fit 64 bits, answers 112 once its unit is accepted.
  // Answers 0 when a group was read, -1 when none was, 112 as above. *ppEnd
  // (when ppEnd is given) is where reading stopped: after the last accepted
  // unit, or text.
  int nDepuisChaineNaturelle(const wchar_t* text, const wchar_t** ppEnd);

 private:
  long long m_llDuree = 0;
};

static_assert(sizeof(CDureeBase) == 8, "the duration is 8 bytes in record buffers");

// The server's duration object: its first 8 bytes are the duration.
class CDuree : public CDureeBase {
 public:
  constexpr CDuree() = default;
  constexpr explicit CDuree(long long llMillisecondes) : CDureeBase(llMillisecondes) {}
};

static_assert(sizeof(CDuree) == 8, "the duration object begins with its 8 bytes");

#endif  // KQ230_VALUES_DURATION_BASE_H_
