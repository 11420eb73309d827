#include "driver/na_driver.h"

#include "values/index_key.h"

CNADriver* CNADriver::s_pclDriver = nullptr;

// The key builder reads the database-engine interface of the current driver
// object: each change of either hands it over.
CNADriver::CNADriver() {
  s_pclDriver = this;
  CZBConvertKey::SetZBForNA(m_piZB);
}

CNADriver::~CNADriver() {
  // Only the current object clears the pointer: a stray second object going
  // away must not leave the driver without its object.
  if (s_pclDriver == this) {
    s_pclDriver = nullptr;
    CZBConvertKey::SetZBForNA(nullptr);
  }
}

int CNADriver::bSetZB(IZBForNA* piZB) {
  m_piZB = piZB;
  if (s_pclDriver == this) CZBConvertKey::SetZBForNA(piZB);
  return 1;
}
