#include "statements/driver_sql.h"

#include "driver/na_driver.h"

CNADriverSQL* CNADriverSQL::s_pclGetFromDriver() {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  if (pclDriver == nullptr) return nullptr;
  // The driver core hands its SQL side out untyped: only the back ends
  // above this folder make one, always of this class.
  return static_cast<CNADriverSQL*>(pclDriver->pclGetDriverSQL());
}
