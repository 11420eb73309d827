// CDateTimeBase: the language's date-time (type 26, DATETIME) as the driver
// holds it in a CAny and in record buffers: a calendar date and a time of day
// to the millisecond, with no time zone. CDateTime is the server's date-time
// object, whose first 8 bytes are a CDateTimeBase.
//
// Layout (8 bytes, read and written in place by the server): day (8 bits,
// 1-31), month (8 bits, 1-12), year (16 bits, 1-9999), milliseconds since
// midnight (32 bits, 0-86,399,999). The empty value has all four at 0. The
// first three form one 32-bit word, year * 65536 + month * 256 + day, whose
// unsigned order is the chronological order of dates; every comparison here
// uses it.
//
// Calendar: day numbers count days with day 1 = 1800-01-01 (day 0 is
// 1799-12-31, 1970-01-01 is 62092, 9999-12-31 is 2,994,988). From 1582-10-15
// on the calendar is the Gregorian one; before it, the Julian one (leap years
// every fourth year), so that day numbers, weekdays and Julian days agree
// across the change. In October 1582 the days 5 to 14 count as the 15th.
//
// Texts: the full text YYYYMMDDHHMMSSmmm (17 digits), its halves YYYYMMDD and
// HHMMSSmmm, and the display text "Y-M-D h:m:s,ms" without padding. The binary
// form is the full text as 17 bytes in a CVXBIN, without terminator.
//
// Values whose fields do not fit the text widths (a year past 9999, a time of
// 100 hours or more) come only from the unchecked setters (Set, DepuisBinaire,
// the raw bytes of a record). Every formatter is bounded for them: the
// fixed-size outputs (binary form, counted string, date and time texts)
// refuse them with 110 or 111 rather than write a text the server would
// misread; the others write the wider text, cut to the room given.
//
// Ownership: a plain 8-byte value, trivially copyable; texts returned by
// pszCreeChaine belong to the caller; counted strings and binary buffers
// passed in are only assigned.
// Threads: none of its own; one value is used by one thread at a time. The
// initial texts ms_pcszValeurInitDate / ms_pcszValeurInitTime are set at start
// and read afterwards.
//
// Results: setters and shifts answer 1 (done) or 0 (refused, value unchanged
// unless said otherwise); the n functions answer 0, 110 (kDateInvalide), 111
// (kHeureInvalide) or a counted string's or binary buffer's code.
#ifndef KQ230_VALUES_DATE_TIME_BASE_H_
#define KQ230_VALUES_DATE_TIME_BASE_H_

#include <cstddef>
#include <cstdint>

#include "core/wide_string.h"

struct _SYSTEMTIME;
template <typename T>
class CXYString;
class CVXBIN;
class CDureeBase;

// An invalid date, an invalid time.
inline constexpr int kDateInvalide = 110;
inline constexpr int kHeureInvalide = 111;

class CDateTimeBase {
 public:
  static constexpr unsigned int kMsParJour = 86400000u;
  // Day numbers of 1970-01-01 and of the last day of year 9999.
  static constexpr int kJour1970 = 62092;
  static constexpr int kJourMax = 2994988;
  // Lengths of the texts.
  static constexpr unsigned int kLongueurTexte = 17;       // YYYYMMDDHHMMSSmmm
  static constexpr unsigned int kLongueurTexteDate = 8;    // YYYYMMDD
  static constexpr unsigned int kLongueurTexteHeure = 9;   // HHMMSSmmm
  // The widest full text any 8 bytes can give (5 + 3 + 3 + 4 + 2 + 2 + 3
  // digits), plus the terminator.
  static constexpr unsigned int kLongueurMaxTexte = 23;

  // Days of each month, in an ordinary and in a leap year.
  static const unsigned char ms_pbyNbJoursMois[12];
  static const unsigned char ms_pbyNbJoursMoisBissextile[12];
  // The initial contents of new date and time texts (CAny types 24, 25, 128,
  // 129); either may be null. Null until the host sets them.
  static const wchar_t* ms_pcszValeurInitDate;
  static const wchar_t* ms_pcszValeurInitTime;

  // --- Fields -----------------------------------------------------------------
  int nGetJour() const { return m_byJour; }
  int nGetMois() const { return m_byMois; }
  int nGetAnnee() const { return m_wAnnee; }
  unsigned int dwGetMilli() const { return m_dwMilli; }
  // Parts of the time of day (from the milliseconds field).
  int nGetHeure() const { return static_cast<int>(m_dwMilli / 3600000u); }
  int nGetMinute() const { return static_cast<int>(m_dwMilli / 60000u % 60u); }
  int nGetSeconde() const { return static_cast<int>(m_dwMilli / 1000u % 60u); }
  int nGetMilliseconde() const { return static_cast<int>(m_dwMilli % 1000u); }
  // year * 65536 + month * 256 + day.
  uint32_t dwGetDate() const {
    return (uint32_t(m_wAnnee) << 16) | (uint32_t(m_byMois) << 8) | m_byJour;
  }
  // Day, month and year all 0 (the milliseconds are not looked at).
  bool bDateVide() const { return m_byJour == 0 && m_byMois == 0 && m_wAnnee == 0; }
  // 1 <= year <= 9999, 1 <= month <= 12, 1 <= day <= the month's length.
  bool bDateValide() const;

  // --- Initialisation and setters ------------------------------------------
  // The empty value.
  void InitDate();
  // bModifieAnnee(wYear), bModifieMois(wMonth), bModifieJour(wDay),
  // bModifieHeure(wHour), bModifieMinute(wMinute), bModifieSeconde(wSecond),
  // bModifieMilli(wMilliseconds), in that order; a field out of range keeps
  // its previous value. 1 when every field was taken, else 0.
  // REQUIRES: pst not null.
  int InitDate(_SYSTEMTIME* pst);
  // The local time (GetLocalTime) through InitDate(_SYSTEMTIME*).
  int InitDateCourante();
  // The same, then milliseconds 0.
  int InitDateCouranteSansHeures();
  // The UTC time (GetSystemTime), its fields copied as they come.
  void InitDateCouranteUTC();
  // Stores the fields without any check (milliseconds = hour * 3,600,000 +
  // minute * 60,000 + second * 1,000 + ms, in 32-bit unsigned arithmetic);
  // each field keeps the low bits its width holds. Returns the value.
  CDateTimeBase& Set(int nAnnee, int nMois, int nJour, int nHeure, int nMinute,
                     int nSeconde, int nMilli);

  // Refused unless h (taken unsigned) <= 23; the hour is replaced, minutes,
  // seconds and milliseconds kept.
  int bModifieHeure(int h);
  // Refused above 59 (taken unsigned); only that part is replaced.
  int bModifieMinute(int m);
  int bModifieSeconde(int s);
  // Refused above 999 (taken unsigned); the milliseconds within the second.
  int bModifieMilli(int ms);
  // Refused unless 1 <= d <= 31; the day becomes d, corrected to the month's
  // last day when the month and year are set.
  int bModifieJour(int d);
  // Refused unless 1 <= m <= 12; the day is then corrected.
  int bModifieMois(int m);
  // Refused unless 1 <= y <= 9999; the day is then corrected.
  int bModifieAnnee(int y);

  // --- Shifts -------------------------------------------------------------------
  // n days. An empty date: 1, unchanged. Refused (0, unchanged) when the date
  // is invalid or the result falls outside 0001-01-01 to 9999-12-31.
  int bDecaleJour(int n);
  // n months (n % 12 to the month with a carry into the year, n / 12 to the
  // year), the day corrected to the new month's end. Refused (unchanged) when
  // the month is not 1 to 12 or the new year falls outside 1 to 9999. When
  // the current year itself is outside 1 to 9999 the year shift is refused
  // (0) after the new month and corrected day are stored.
  int bDecaleMois(int n);
  // n years, the day corrected to the month's end. Refused (unchanged) when
  // the current year or the new one is outside 1 to 9999.
  int bDecaleAnnee(int n);
  // n milliseconds: the new time of day is stored, then the whole days
  // (with the carry) are shifted by bDecaleJour; the time of day stays even
  // when that is refused. 1 or the day shift's result.
  int bDecaleMilli(long long n);

  // --- Calendar -------------------------------------------------------------
  // Leap year: divisible by 4, and before 1583, or not by 100, or by 400.
  static int __nBissextile(int nAnnee);
  // Length of a month (1-12) of a year; 0 for another month.
  static int s_nGetNbJourMois(int nMois, int nAnnee);
  // The day when day, month and year are all non-zero and the day passes the
  // month's length: the month's last day; otherwise the day as given.
  static int __nRectifieFinMois(int nJour, int nMois, int nAnnee);
  // Day number of a date. With bVerifie, day 1-31, year 1-9999 and month 1-12
  // are required; without it only month 1-12 (the year is then any 16-bit
  // year). In both modes 1 <= day <= month's length. 1 and *pn set, or 0.
  static int __bDateVersEntier(int nJour, int nMois, int nAnnee, int* pn, int bVerifie);
  // The day number of a valid date, or 0.
  static int s_nDateVersEntier(int nJour, int nMois, int nAnnee);
  // The inverse: 1 with the date of day number n, 0 (outputs untouched) for n
  // before 0001-01-01 or above 2,994,989 (10000-01-01, the largest day
  // accepted). REQUIRES: the three pointers not null.
  static int __bEntierVersDate(int n, int* pnJour, int* pnMois, int* pnAnnee);
  // The value's day number: 0, or 110 for an invalid date (*pn untouched).
  int nVersEntier(int* pn) const;
  // 0 Sunday, 1 Monday, ..., 6 Saturday; -1 for an invalid date.
  int nGetJourDeLaSemaine() const;
  // Day of the year, 1 for January 1; 0 when the month is not 1 to 12.
  int nGetJourDansAnnee() const;
  // Astronomical Julian day number (2000-01-01 is 2,451,545): Gregorian from
  // 1582-10-15, Julian before. Computed from the fields as they are.
  int nVersJourJulien() const;
  // ISO 8601 week date: year, week (1-53) and weekday (Monday 1 to Sunday 7).
  // All three 0 for an invalid date.
  void VersISO8601YWD(int& nAnnee, int& nSemaine, int& nJourSemaine) const;
  // Milliseconds since 1970-01-01 00:00 (an invalid date counts as day 0).
  long long VersMsDepuis1Janvier1970() const;
  // The same in seconds, truncated toward zero.
  long long VersTime32() const;
  // *pDuree = (day number of a * 86,400,000 + a's milliseconds) - (the same of
  // b). With bVerifie, 110 when either date is invalid (duration untouched);
  // without it an invalid date counts as day 0. REQUIRES: pointers not null.
  static int nCalculeDureeEx(const CDateTimeBase* a, const CDateTimeBase* b, int bVerifie,
                             CDureeBase* pDuree);
  static int nCalculeDuree(const CDateTimeBase* a, const CDateTimeBase* b, CDureeBase* pDuree);
  // *pnJours = day number of a - day number of b. a invalid: 0 days and 0.
  // b invalid: counted as day 0, result 0; else 1.
  static int bCalculeDiffJour(const CDateTimeBase* a, const CDateTimeBase* b, int* pnJours);

  // --- Comparisons (-1, 0, 1) --------------------------------------------------
  // By the date word, then the milliseconds, both unsigned.
  static int nCompare(const CDateTimeBase* a, const CDateTimeBase* b);
  // By the date word only.
  static int s_nCompareDateSeule(const CDateTimeBase* a, const CDateTimeBase* b);
  // Texts: both empty (or null) 0, a empty -1, b empty 1, else over the length
  // of the shorter text, so a text equals any text it begins.
  static int nCompareDate(const wchar_t* a, const wchar_t* b);
  static int nCompareHeure(const wchar_t* a, const wchar_t* b);
  // The full text of a against pszTexte as nCompareDate does ("2024" equals
  // every date of 2024).
  static int nCompare(const CDateTimeBase* a, const wchar_t* pszTexte);

  // --- Texts out -------------------------------------------------------------
  // The full text, as printf's "%04u%02u%02u%02u%02u%02u%03u" of the fields
  // (17 characters for a value whose fields fit), terminated. Answers the
  // number of characters. REQUIRES: out holds kLongueurMaxTexte characters.
  template <typename T>
  unsigned int nFormateTexte(T* out) const;
  // The first min(n, 17) characters of the full text and a terminator.
  // REQUIRES: out holds min(n, 17) + 1 characters.
  template <typename T>
  void __VersChaine(T* out, unsigned int n) const;
  void VersChaine(char* out, unsigned int n) const;
  void VersChaine(wchar_t* out, unsigned int n) const;
  // The first min(n, 8) characters of the date text (of the time text,
  // min(n, 9)) and a terminator; 0. 110 (111) with an empty text when the
  // date (time) does not fit its width.
  // REQUIRES: out holds min(n, 8) + 1 (min(n, 9) + 1) characters.
  template <typename T>
  int nVersDate(T* out, unsigned int n) const;
  template <typename T>
  int nVersHeure(T* out, unsigned int n) const;
  // A new terminated wide full text (STR_pszCreate); the caller frees it with
  // STR_Delete. Null when the allocation fails.
  wchar_t* pszCreeChaine() const;
  void VersChaine(CTString* pstr) const;
  CTString VersChaine() const;
  // The full text assigned to *pstr: 0, 110/111 for a value that does not fit
  // 17 digits (string unchanged), or the counted string's code.
  int nVersChaine(CXYString<wchar_t>* pstr) const;
  // "%d-%d-%d %d:%d:%d,%d" of year, month, day, hours, minutes, seconds,
  // milliseconds.
  CTString VersChaineFormate() const;
  // Year, month, day, hour, minute, second, milliseconds (each cut to 16
  // bits); wDayOfWeek untouched. 0. REQUIRES: pst not null.
  int nVersSysteme(_SYSTEMTIME* pst) const;

  // --- Texts in --------------------------------------------------------------
  // Milliseconds from a time text, unchecked: hours (0, 2), minutes (2, 2),
  // seconds (4, 2), milliseconds (6, 3, scaled) by nGetPropDateTime. Returns
  // the new milliseconds field.
  template <typename T>
  unsigned int __SetPartieHeure(const T* pszTexte);
  // At least 8 characters, the first 8 digits; year (0, 4) 1-9999, month
  // (4, 2) 1-12, day (6, 2) within the month: the date is stored (time kept)
  // and 1 returned; otherwise 0, unchanged.
  template <typename T>
  int __bSetPartieDateValide(const T* pszTexte);
  // Null or empty: midnight, 1. Lengths 1, 3 and 5 refused. At most 9
  // characters count; characters 0-5 must be digits, a non-digit from index 6
  // ends the text. HHMMSS then 1, 2 or 3 digits of milliseconds (scaled).
  // Hours <= 23, minutes and seconds <= 59, else 0 (unchanged).
  template <typename T>
  int __bSetPartieHeureValide(const T* pszTexte);
  // Unchecked readers into a SYSTEMTIME (wDayOfWeek untouched): the time text
  // (date fields 0), the date text (time fields 0). 0.
  // REQUIRES: pst not null.
  static int nHeureVersSysteme(const wchar_t* pszTexte, _SYSTEMTIME* pst);
  static int nDateVersSysteme(const wchar_t* pszTexte, _SYSTEMTIME* pst);

  // --- Binary form ------------------------------------------------------------
  // *pBin becomes the 17 bytes of the full text: 0, 110/111 for a value that
  // does not fit 17 digits, or the buffer's code (then unchanged). nFlags is
  // kept for the server's calling convention. REQUIRES: pBin not null.
  int nVersBinaire(CVXBIN* pBin, unsigned int nFlags) const;
  // The first 17 bytes (none for null) read as text, unchecked: milliseconds
  // 0, year (0, 4), month (4, 2), day (6, 2), then, when the text is longer
  // than 8 characters, the time from the rest by __SetPartieHeure.
  void DepuisBinaire(const CVXBIN* pBin, unsigned int nFlags);
  // The same text, checked: 110 for a refused date, 111 for a refused time
  // (the value then unchanged); fewer than 9 characters mean midnight. 0.
  int nDepuisBinaireValide(const CVXBIN* pBin, unsigned int nFlags);

  // --- Digit routines -----------------------------------------------------------
  // The number in the len characters of text from index start, read as strtol
  // reads base 10 (leading blanks, a sign, digits up to a non-digit; out of
  // range saturates). Null or empty text: 0. A text ending before start + len:
  // with bEchelle and start inside the text, the characters left are read and
  // the result multiplied by 10 for each one missing (saturating); otherwise
  // 0.
  static int nGetPropDateTime(const char* text, unsigned int start, unsigned int len,
                              int bEchelle);
  static int nGetPropDateTime(const wchar_t* text, unsigned int start, unsigned int len,
                              int bEchelle);
  // Writes value right-aligned and zero-padded in buf[start, start + width),
  // then a terminator at buf[total]. When total < start + width, the
  // positions from start up to total are filled with '0' instead. 1, or 0
  // (nothing written) when value is negative or has more digits than width.
  // REQUIRES: buf holds total + 1 characters.
  static int SetPropDateTime(char* buf, unsigned int start, unsigned int width, int value,
                             unsigned int total);
  static int SetPropDateTime(wchar_t* buf, unsigned int start, unsigned int width,
                             int value, unsigned int total);

 private:
  unsigned char m_byJour;
  unsigned char m_byMois;
  unsigned short m_wAnnee;
  unsigned int m_dwMilli;

  friend struct CDateTimeBaseLayout;
};

// Writes v as n digits, no terminator: n >= 4 four digits, n = 3 three, n = 2
// two, any other n one.
// REQUIRES: 0 <= v < 10^digits written (otherwise the characters are not
// digits); out holds the characters written.
template <typename T>
inline void FAST_SETI2DATE(T* out, int v, int n) {
  if (n >= 4) {
    out[0] = static_cast<T>('0' + v / 1000);
    v %= 1000;
    out[1] = static_cast<T>('0' + v / 100);
    v %= 100;
    out[2] = static_cast<T>('0' + v / 10);
    out[3] = static_cast<T>('0' + v % 10);
  } else if (n == 3) {
    out[0] = static_cast<T>('0' + v / 100);
    v %= 100;
    out[1] = static_cast<T>('0' + v / 10);
    out[2] = static_cast<T>('0' + v % 10);
  } else if (n == 2) {
    out[0] = static_cast<T>('0' + v / 10);
    out[1] = static_cast<T>('0' + v % 10);
  } else {
    out[0] = static_cast<T>('0' + v);
  }
}

struct CDateTimeBaseLayout {
  static_assert(sizeof(CDateTimeBase) == 8, "the date-time is 8 bytes in record buffers");
  static_assert(offsetof(CDateTimeBase, m_byJour) == 0, "day in the lowest byte");
  static_assert(offsetof(CDateTimeBase, m_byMois) == 1, "month in the second byte");
  static_assert(offsetof(CDateTimeBase, m_wAnnee) == 2, "year in the high half word");
  static_assert(offsetof(CDateTimeBase, m_dwMilli) == 4, "milliseconds after the date");
};

// The server's date-time object: its first 8 bytes are the date-time. A new
// one is the empty value.
class CDateTime : public CDateTimeBase {
 public:
  CDateTime() { InitDate(); }
  explicit CDateTime(const CDateTimeBase& dt) : CDateTimeBase(dt) {}
};

static_assert(sizeof(CDateTime) == 8, "the date-time object begins with its 8 bytes");

#endif  // KQ230_VALUES_DATE_TIME_BASE_H_
