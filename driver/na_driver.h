// CNADriver: the driver object, one per loaded library. The server talks to
// the driver through it; the rest of the driver finds it through
// CNADriver::s_pclDriver.
//
// So far it holds only what the sortable index keys need: the server's
// database-engine interface (IZBForNA), which it hands to the key builder
// (values/index_key.h): through it a wide text's key with a
// sort mapping reaches the server's text-sorting service.
//
// Ownership: the server owns the IZBForNA it hands over; the driver object
// keeps the pointer without taking a reference and never calls release on it.
// s_pclDriver does not own the object: whoever creates the driver object
// destroys it, and the object clears s_pclDriver when it goes.
// Threads: s_pclDriver and the stored interface are written while the driver
// starts (before any key is built) and only read afterwards; callers
// serialise through the driver lock.
#ifndef KQ230_DRIVER_NA_DRIVER_H_
#define KQ230_DRIVER_NA_DRIVER_H_

#include "kq230/zb_for_na.h"

class CNADriver {
 public:
  // The single driver object: set by the constructor, null before the object
  // exists and after it is destroyed.
  static CNADriver* s_pclDriver;

  CNADriver();
  ~CNADriver();

  CNADriver(const CNADriver&) = delete;
  CNADriver& operator=(const CNADriver&) = delete;

  // Stores the server's database-engine interface, replacing any earlier one
  // (null included). Takes no reference and makes no call on it. Answers 1.
  int bSetZB(IZBForNA* piZB);

  // The interface last stored by bSetZB; null until then.
  IZBForNA* piGetZB() const { return m_piZB; }

 private:
  IZBForNA* m_piZB = nullptr;
};

#endif  // KQ230_DRIVER_NA_DRIVER_H_
