// CNARecordValueBase and CNARecordIdBase: one row's values and the record
// cache's identifier of a row, as the items see them. Both belong to the
// statements and the record cache (statements/record_value.h), one floor
// above the items, yet the record of a data access keeps its original and
// current row in record values and traces their identifier. The items
// therefore declare here what they call; the statements implement it.
//
// A record value holds its record buffer (owned), its record identifier (one
// reference), the holders of its memo items (one reference each, by memo
// index) and a state word in which 128 means deleted.
//
// Ownership: a record value is counted through CInterf (born at 0, its
// creator takes the first reference); a record identifier through
// CKQUnknown. Memo holders are shared, not copied, by bShareMemoValue.
// Threads: none of their own; used under the driver lock.
#ifndef KQ230_ITEMS_RECORD_VALUE_INTERFACE_H_
#define KQ230_ITEMS_RECORD_VALUE_INTERFACE_H_

#include "core/kq_unknown.h"
#include "driver/reference_counted.h"

template <class T>
class CXYString;
class CNAConvertVariant;
class CNAZBRecordBase;

// Which items a copy or clone takes: 255 means all of them (the only value
// the items use).
enum eCOPYFLAGS : int { COPY_ALL = 255 };

// State word of a record value.
inline constexpr int kRecordValueDeleted = 128;

class CNARecordIdBase : public CKQUnknown {
 public:
  // Replaces *pOut with the prefix followed by the identifier's trace text.
  virtual void RecordIdToString(CXYString<wchar_t>* pOut, const wchar_t* pszPrefix,
                                int bFlag) const = 0;
};

class CNARecordValueBase : public CInterf {
 public:
  // The row's buffer (never null once the value is made).
  virtual CNAZBRecordBase* pclGetNAZBRecord() const = 0;
  // Copies the given buffer's bytes into this value's buffer (same layout);
  // a value without buffer takes a clone. 0 when memory runs out.
  virtual int bCopyNAZBRecord(const CNAZBRecordBase* pclBuffer) = 0;
  // Keeps the identifier (one reference; null: none) instead of its own.
  virtual int bShareRecordID(CNARecordIdBase* pclId) = 0;
  virtual CNARecordIdBase* pclGetRecordIdNoRef() const = 0;
  // A new value (count 0) with a copy of the items, the identifier shared
  // and the memo holders cloned; null when memory runs out.
  virtual CNARecordValueBase* pclGetClone(eCOPYFLAGS eFlags) const = 0;
  // This value becomes a copy of the other (buffer bytes, identifier,
  // memo holders copied, state).
  virtual int bCopyRecordValue(const CNARecordValueBase* pclOther, eCOPYFLAGS eFlags) = 0;
  // Equal buffers (and, with bWithMemos, equal memo values).
  virtual int bEquals(const CNARecordValueBase* pclOther, int bWithMemos) const = 0;
  // Keeps the holder (one reference) for memo nMemo, the memo table made on
  // first use; 0 when it cannot grow.
  virtual int bShareMemoValue(int nMemo, CNAConvertVariant* pclValue) = 0;
  // The holder of memo nMemo; null when none.
  virtual CNAConvertVariant* pclGetMemoValueNoRef(int nMemo) const = 0;
  // Size of the memo table (memos 0 .. count - 1 may have a holder).
  virtual int nGetMemoCount() const = 0;
  virtual int nGetState() const = 0;
  virtual void SetState(int nState) = 0;
};

#endif  // KQ230_ITEMS_RECORD_VALUE_INTERFACE_H_
