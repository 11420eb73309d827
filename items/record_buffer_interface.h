// The record buffer as the items see it: CNAZBRecordBase, declared at the
// boundary (kq230/zb_record.h) because the server reads the same objects.
// The buffer itself (statements/record_buffer.h, CNAZBRecord) belongs to the
// statements and the record cache, one floor above the items, yet the
// columns and the record of a data access read and write their values in
// it: the items call it through this interface and never include the
// statements.
//
// Ownership: the items never make a buffer themselves: the data access makes
// them (items/items_data_access_interface.h).
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_ITEMS_RECORD_BUFFER_INTERFACE_H_
#define KQ230_ITEMS_RECORD_BUFFER_INTERFACE_H_

#include "kq230/zb_record.h"

#endif  // KQ230_ITEMS_RECORD_BUFFER_INTERFACE_H_
