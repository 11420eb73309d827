// The application server's database-engine interface as the driver sees it
// (IZBForNA), and the text-sorting service that it lends (IZBTextSort).
//
// The server hands IZBForNA to the driver through CNADriver::bSetZB; the
// driver reaches the text-sorting service through it when it builds the key
// of a wide text with a sort mapping (values/index_key.h).
//
// Both interfaces are called through their tables of virtual operations, so
// the slot order is the contract: never reorder, insert or remove an
// operation. Ordinal names ("the seventh operation") count from 1, as in
// kq230/vm_values.h: slot n is ordinal n + 1. So the seventh operation of
// IZBForNA is slot 6, and the sixteenth and seventeenth operations of the
// text-sorting service are slots 15 and 16.
//
// The driver uses only the operations named below; the reserved ones are the
// server's own and are never called by the driver. They are declared so that
// the named ones sit in their slots.
//
// Ownership: both objects belong to the server; the driver takes no reference
// and never releases them. Neither has a virtual destructor.
// Threads: the server's business; the driver calls them from whichever thread
// the server called it on.
#ifndef KQ230_ZB_FOR_NA_H_
#define KQ230_ZB_FOR_NA_H_

#include <cstdint>

#include "kq230/platform_types.h"

// The text-sorting service: writes the sort form of a text as zero-terminated
// UTF-16 units. What the form looks like is the server's: the driver only
// needs it to be terminated, and its units' order to be the texts' order once
// the driver has turned them into big-endian weights (or swapped them).
class IZBTextSort {
 public:
  virtual int _vnReserved0() = 0;
  virtual int _vnReserved1() = 0;
  virtual int _vnReserved2() = 0;
  virtual int _vnReserved3() = 0;
  virtual int _vnReserved4() = 0;
  virtual int _vnReserved5() = 0;
  virtual int _vnReserved6() = 0;
  virtual int _vnReserved7() = 0;
  virtual int _vnReserved8() = 0;
  virtual int _vnReserved9() = 0;
  virtual int _vnReserved10() = 0;
  virtual int _vnReserved11() = 0;
  virtual int _vnReserved12() = 0;
  virtual int _vnReserved13() = 0;
  virtual int _vnReserved14() = 0;

  // Sixteenth operation (slot 15): the sort form of nChars UTF-16 units.
  // Seventeenth operation (slot 16): the sort form of nChars 4-byte
  // characters (UTF-32).
  //
  // pKey holds nKeyUnits units; at most nKeyUnits - 1 units of the form are
  // written, then a zero unit, and the answer is the count written without
  // the terminator (0, and nothing written, when nKeyUnits is 0). The three
  // switches come from the key's flags (0x40, 0x20, and 0x80 together with
  // 0x01 or 0x02); the server gives them their effect.
  // REQUIRES: pText holds nChars units (it may be null when nChars is 0);
  // pKey holds nKeyUnits units.
  virtual int vnSortFormUTF16(uint16_t* pKey, unsigned int nKeyUnits, const uint16_t* pText,
                              unsigned int nChars, int bIgnorePunct, int bIgnoreAccent,
                              int bIgnoreCase) = 0;
  virtual int vnSortFormUTF32(uint16_t* pKey, unsigned int nKeyUnits, const wchar_t* pText,
                              unsigned int nChars, int bIgnorePunct, int bIgnoreAccent,
                              int bIgnoreCase) = 0;

 protected:
  ~IZBTextSort() = default;
};

// The database-engine interface. Only its seventh operation is the driver's.
class IZBForNA {
 public:
  virtual int _vnReserved0() = 0;
  virtual int _vnReserved1() = 0;
  virtual int _vnReserved2() = 0;
  virtual int _vnReserved3() = 0;
  virtual int _vnReserved4() = 0;
  virtual int _vnReserved5() = 0;
  // Seventh operation (slot 6): the text-sorting service; it lives as long as
  // this interface.
  virtual IZBTextSort* piGetTextSort() = 0;

 protected:
  ~IZBForNA() = default;
};

#endif  // KQ230_ZB_FOR_NA_H_
