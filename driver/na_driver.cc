#include "driver/na_driver.h"

CNADriver* CNADriver::s_pclDriver = nullptr;

CNADriver::CNADriver() { s_pclDriver = this; }

CNADriver::~CNADriver() {
  // Only the current object clears the pointer: a stray second object going
  // away must not leave the driver without its object.
  if (s_pclDriver == this) s_pclDriver = nullptr;
}

int CNADriver::bSetZB(IZBForNA* piZB) {
  m_piZB = piZB;
  return 1;
}
