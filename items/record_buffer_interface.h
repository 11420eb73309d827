// CNAZBRecordBase: the record buffer of one row as the items see it. The
// buffer itself (statements/record_buffer.h, CNAZBRecord) belongs to the
// statements and the record cache, one floor above the items, yet the
// columns and the record of a data access read and write their values in it.
// The items therefore declare here what they call, and the statements
// implement it; the items never include the statements.
//
// Layout: one heap block: the defined-flags field (one bit per physical item,
// most significant bit first; 1 = a value is present, 0 = NULL), then the
// values area laid out as the engine's disk record (each item at the offset
// and with the size its description gives). The fields are kept here so that
// reading them costs no call.
//
// Items are addressed by their description: nIndex < 0 means the whole item
// (its total size), nIndex >= 0 one element of an array item. An item whose
// physical index is -1 uses the bit of index 0. Descriptions must be those of
// the data source the buffer was initialised from: offsets are not checked
// against the buffer.
//
// Ownership: a plain object owned by whoever made it (deleted through the
// virtual destructor); the items never make one themselves: the data access
// makes them (items/items_data_access_interface.h).
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_ITEMS_RECORD_BUFFER_INTERFACE_H_
#define KQ230_ITEMS_RECORD_BUFFER_INTERFACE_H_

class CAny;
class INAItemDescription;

// How a new buffer is filled: 1 also gives every item its default value;
// anything else leaves it zeroed (every item NULL).
enum eINITTYPE : int { INIT_ZEROED = 0, INIT_DEFAULT_VALUES = 1 };

class CNAZBRecordBase {
 public:
  CNAZBRecordBase() = default;
  CNAZBRecordBase(const CNAZBRecordBase&) = delete;
  CNAZBRecordBase& operator=(const CNAZBRecordBase&) = delete;
  virtual ~CNAZBRecordBase() = default;

  // ---- Virtual operations, in slot order after the destructors
  // A new buffer of the same layout and bytes (owned by the caller); null
  // when memory runs out.
  virtual CNAZBRecordBase* vpclGetClone() const = 0;
  // Copies n bytes to the start of the values area (bounded by it) and marks
  // every item present.
  virtual void vSetValues(const unsigned char* p, int n) = 0;
  // Address of the item (nIndex < 0) or of one element.
  virtual unsigned char* vpbyGetItemValue(INAItemDescription* piItem, int nIndex) = 0;
  virtual const unsigned char* vpbyGetItemValue(INAItemDescription* piItem, int nIndex) const = 0;
  // Raw store of n bytes by the item type's rule, then the item is present.
  virtual void vSetItemValue(INAItemDescription* piItem, const unsigned char* p, unsigned int n,
                             int nIndex) = 0;
  // Store of a language value converted to the item's storage; an invalid
  // value (flag 0x100 or type 0) makes the element NULL. A value that cannot
  // be converted answers 0 and leaves the slot and its bit as they were.
  virtual int vSetItemValue(INAItemDescription* piItem, const CAny* pValue, int nIndex) = 0;
  // The item's value as a language value of the item's language type (the
  // defined bit is not consulted: the caller does).
  virtual void vGetItemValue(CAny* pOut, INAItemDescription* piItem, int nIndex) const = 0;
  // The item's bytes (size as in the addressing) copied to pOut.
  virtual void vGetItemValue(unsigned char* pOut, INAItemDescription* piItem, int nIndex) const = 0;
  // Marks the item present (bDefined != 0) or NULL (a NULL slot is zeroed, a
  // NULL memo holds eight 0xFF bytes).
  virtual void vSetItemValueDefined(INAItemDescription* piItem, int bDefined, int nIndex) = 0;
  // The item's defined bit.
  virtual int vbItemValueDefined(INAItemDescription* piItem) const = 0;

  // ---- Non-virtual forms (the names the callers use)
  CNAZBRecordBase* pclGetCloneBase() const { return vpclGetClone(); }
  unsigned char* pbyGetItemValue(INAItemDescription* piItem, int nIndex = -1) {
    return vpbyGetItemValue(piItem, nIndex);
  }
  const unsigned char* pbyGetItemValue(INAItemDescription* piItem, int nIndex = -1) const {
    return vpbyGetItemValue(piItem, nIndex);
  }
  int SetItemValue(INAItemDescription* piItem, const CAny* pValue, int nIndex = -1) {
    return vSetItemValue(piItem, pValue, nIndex);
  }
  void GetItemValue(CAny* pOut, INAItemDescription* piItem, int nIndex = -1) const {
    vGetItemValue(pOut, piItem, nIndex);
  }
  void SetItemValueDefined(INAItemDescription* piItem, int bDefined, int nIndex = -1) {
    vSetItemValueDefined(piItem, bDefined, nIndex);
  }
  int bItemValueDefined(INAItemDescription* piItem) const { return vbItemValueDefined(piItem); }

  // ---- Layout
  unsigned char* pbyGetValues() const { return m_pbyValues; }
  unsigned char* pbyGetNullValuesFlags() const { return m_pbyNullValuesFlags; }
  int nGetFlagFieldSize() const { return m_nFlagFieldSize; }
  int nGetBufferLength() const { return m_nBufferLength; }
  int nGetPhysicalItemCount() const { return m_nPhysicalItemCount; }
  const unsigned char* pbyGetBuffer() const { return m_pbyBuffer; }

 protected:
  int m_nBufferLength = 0;
  unsigned char* m_pbyBuffer = nullptr;
  int m_nPhysicalItemCount = 0;
  unsigned char* m_pbyValues = nullptr;
  int m_nFlagFieldSize = 0;
  unsigned char* m_pbyNullValuesFlags = nullptr;
};

#endif  // KQ230_ITEMS_RECORD_BUFFER_INTERFACE_H_
