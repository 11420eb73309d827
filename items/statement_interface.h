// CNAStatementBase: the statement of a data access as the items see it. The
// statement (statements/statement.h) belongs to the floor above the items,
// yet a column reads its value from the statement's current row and a column
// list asks which columns the statement binds and defines. The items
// therefore declare here what they call; the statements implement it.
//
// Ownership: counted through CInterf (born at 0, the creator takes the first
// reference). The record answered is the statement's, no reference added.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_ITEMS_STATEMENT_INTERFACE_H_
#define KQ230_ITEMS_STATEMENT_INTERFACE_H_

#include "driver/reference_counted.h"

class CNAConvertVariant;
class CNARecord;

// Bits of the bind and define flags.
inline constexpr unsigned int kStatementMemoBound = 0x1;
inline constexpr unsigned int kStatementMemoDefined = 0x2;

class CNAStatementBase : public CInterf {
 public:
  // Copies the current row's result column nColumn (from 0) into the holder,
  // converted to the holder's type (a NULL cell makes it NULL). 0 with the
  // error recorded when there is no current row, no such column, or the
  // cell is no value of the holder's type.
  virtual int bGetSQLColumnValue(CNAConvertVariant* pclValue, unsigned int nColumn) = 0;
  // Bit 0: memos are bound; bit 1: memos are defined.
  virtual unsigned int nGetBindDefineFlag() const = 0;
  // The statement's record; null when it has none.
  virtual CNARecord* pclGetRecordNoRef() const = 0;
};

#endif  // KQ230_ITEMS_STATEMENT_INTERFACE_H_
