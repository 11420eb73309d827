// The database text of values: the server hands every fetched cell over as
// text (8-bit in the connection's code page), and schema queries give default
// values as wide text. These readers turn such text into the record form of
// an item (its slot in the record buffer) or into a plain value; the value
// conversion holder's database-text members (CNAConvertVariant::bSetValueDB
// with text, bSetValueFromDB, bSetValueDB of a language value; defined in
// database_text.cc) are built on them.
//
// Temporal text is read by its separators, never by its length:
//   date        YYYY-MM-DD                     (also YYYYMMDD)
//   date-time   date, ' ' or 'T', time         (also YYYYMMDDHHMMSS and
//                                               YYYYMMDD HH:MM:SS[.f])
//   time        [-]H..HHH:MM[:SS][.f]           (also HHMM and HHMMSS)
// with 0 to 6 fraction digits truncated to milliseconds. Anything else is
// refused (false): the caller reports a conversion error instead of storing
// a zeroed or shifted value. Zero dates (0000-00-00) are read as the empty
// date. A time outside 00:00:00 to 23:59:59.999 (negative, or 24 hours and
// more, as TIME columns hold) is refused where it must become a time of day.
//
// Numbers are read with "." as the decimal point whatever the process locale
// (the server always writes it so); text that is not a whole number of the
// target's syntax, or out of its range, is refused.
//
// Room in a slot is computed in signed arithmetic and clamped at 0: a slot
// too small for its layout receives what fits and never more than its
// capacity.
//
// Ownership: pure functions over the caller's buffers.
// Threads: no state; any thread may call.
#ifndef KQ230_ITEMS_DATABASE_TEXT_H_
#define KQ230_ITEMS_DATABASE_TEXT_H_

#include <cstddef>
#include <cstdint>

#include "items/item_types.h"

// A temporal text as read.
struct stDBTemporal {
  bool bHasDate = false;
  int nYear = 0, nMonth = 0, nDay = 0;  // all 0: the zero date
  bool bHasTime = false;
  bool bNegative = false;  // a negative TIME
  int nHours = 0;          // 0 .. 838 for TIME columns
  int nMinutes = 0, nSeconds = 0, nMilliseconds = 0;

  // Whether the time is a time of day (0 to 23:59:59.999, not negative).
  bool bIsTimeOfDay() const { return !bNegative && nHours < 24; }
  // Milliseconds since midnight. REQUIRES: bIsTimeOfDay().
  uint32_t dwGetMilli() const {
    return uint32_t(nHours) * 3600000u + uint32_t(nMinutes) * 60000u + uint32_t(nSeconds) * 1000u +
           uint32_t(nMilliseconds);
  }
  // year * 65536 + month * 256 + day.
  uint32_t dwGetDateWord() const {
    return (uint32_t(nYear) << 16) | (uint32_t(nMonth) << 8) | uint32_t(nDay);
  }
};

// Reads n bytes of p. True with *pOut filled when the text is one of the
// layouts above; false (and *pOut unspecified) otherwise.
// REQUIRES: pOut non-null; p readable for n bytes (null only with n of 0).
bool DBText_bParseTemporal(const char* p, size_t n, stDBTemporal* pOut);

// The record form of a temporal value for an item of type eItemType into
// the slot (zeroed first, then filled):
//   NA_IT_DATE8     the 8-bit text YYYYMMDD (the time is not looked at; a
//                   time alone leaves the slot zeroed)
//   NA_IT_DATETIME  the date word (0 for a time alone) and the milliseconds
//   NA_IT_HEURE     the 8-bit text HHMMSS and up to 3 fraction digits, as many
//                   as the slot holds before its last byte (a date alone
//                   gives all '0')
//   any other type  nothing (the slot stays zeroed)
// False, the slot zeroed, for NA_IT_EMPTY (no item to tell the layout) and
// when a time that is not a time of day must become a time or a date-time.
// REQUIRES: pSlot holds nCapacity bytes (null only with 0).
bool DBText_bWriteTemporal(eNA_ITEMTYPE eItemType, const stDBTemporal& stValue,
                           unsigned char* pSlot, size_t nCapacity);

// The boolean of a database text: false when empty or when the first byte is
// 0, '0', 'F' or 'f'; true otherwise ("1", "T", "x" ...).
bool DBText_bBoolean(const char* p, size_t n);

// A number of language type nVXType (2 UI1, 3 UI2, 4 UI4, 5 UI8, 6 I1, 7 I2,
// 8 I4, 9 I8, 10 CY, 11 R4, 12 R8, 14 UIX) read from n bytes of p and written
// at pDest in its natural width (1 to 10 bytes). Integers take an optional
// sign and digits, and a fraction that is dropped (toward zero); reals take
// the usual decimal and exponent syntax; money takes up to 6 decimals (more
// are dropped). Blanks around the number are allowed. False, nothing
// written, for an empty or malformed text, a value outside the type's range,
// or any other type.
// REQUIRES: pDest holds DBText_nNumberSize(nVXType) bytes.
bool DBText_bParseNumber(const char* p, size_t n, unsigned short nVXType, void* pDest);
// Bytes of the number types above; 0 for any other type.
size_t DBText_nNumberSize(unsigned short nVXType);

// The record form of a binary (NA_IT_BINAIRE): a 16-bit length, the bytes,
// zeros up to the capacity. The bytes are cut to the room after the length
// (capacity - 2, clamped at 0) and to 65535.
// REQUIRES: pSlot holds nCapacity bytes; p holds n bytes.
void DBText_WriteBinary(const unsigned char* p, size_t n, unsigned char* pSlot, size_t nCapacity);

#endif  // KQ230_ITEMS_DATABASE_TEXT_H_
