// The record buffer as the server sees it: the image of one record of a data
// source (the current record of a data access, every record kept in a record
// cache, every row of a buffer table). CNAZBRecordBase declares what crosses
// the boundary: the six fields in their order and the table of virtual
// operations in its slot order. The driver's one implementation is
// CNAZBRecord (statements/record_buffer.h), which adds neither a field nor a
// virtual operation, so that an object of it is exactly this layout. The
// items, one floor below the statements, reach buffers through this class
// (items/record_buffer_interface.h forwards here).
//
// Layout (i386: 28 bytes): the table pointer, then
//   offset  4  buffer length (32-bit signed): bit-field size + disk record size
//   offset  8  the buffer: one heap block, bit field then values area
//   offset 12  physical item count (32-bit signed)
//   offset 16  the values area (buffer + bit-field size)
//   offset 20  bit-field size (32-bit signed): (count - 1) / 8 + 1, 0 for no item
//   offset 24  the bit field (= the buffer)
// Bit field: the item of physical index i owns byte i / 8, bit 7 - i % 8
// (most significant bit first); 1 = a value is present, 0 = NULL. An item
// whose physical index is -1 uses index 0.
//
// Items are addressed by their description: index < 0 means the whole item
// (nGetTotalSize bytes at values + nGetOffset(0)); index >= 0 one element of
// an array item (nGetItemSize bytes, index × size further on).
//
// Slots (counting from 0): 0 and 1 the destructors (complete, deleting), then
// the operations in their declaration order below. Never reorder, insert or
// remove one: the server calls them by slot.
//
// Ownership: a plain object owned by whoever made it, deleted through the
// virtual destructor; the buffer is the object's own.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_ZB_RECORD_H_
#define KQ230_ZB_RECORD_H_

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
  // Slots 0 and 1.
  virtual ~CNAZBRecordBase() = default;

  // Slot 2: a new buffer of the same layout and bytes, owned by the caller;
  // null when memory runs out.
  virtual CNAZBRecordBase* vpclGetClone() const = 0;
  // Slot 3: copies n bytes to the start of the values area (never more than
  // it holds) and marks every item present.
  virtual void vSetValues(const unsigned char* p, int n) = 0;
  // Slots 4 and 5: the address of the item (nIndex < 0) or of one element;
  // null when it lies outside the values area.
  virtual unsigned char* vpbyGetItemValue(INAItemDescription* piItem, int nIndex) = 0;
  virtual const unsigned char* vpbyGetItemValue(INAItemDescription* piItem, int nIndex) const = 0;
  // Slot 6: raw store of n bytes by the rule of the item's type, then the
  // item is present.
  virtual void vSetItemValue(INAItemDescription* piItem, const unsigned char* p, unsigned int n,
                             int nIndex) = 0;
  // Slot 7: store of a language value converted to the item's storage. An
  // invalid value (flag 0x100 or type 0) makes the element NULL (answer 1).
  // A value that cannot be converted answers 0 and leaves slot and bit as
  // they were.
  virtual int vSetItemValue(INAItemDescription* piItem, const CAny* pValue, int nIndex) = 0;
  // Slot 8: the item's value as a language value of the item's language
  // type (the defined bit is not consulted: the caller does).
  virtual void vGetItemValue(CAny* pOut, INAItemDescription* piItem, int nIndex) const = 0;
  // Slot 9: the item's bytes (size as in the addressing) copied to pOut.
  virtual void vGetItemValue(unsigned char* pOut, INAItemDescription* piItem, int nIndex) const = 0;
  // Slot 10: marks the item present (bDefined != 0) or NULL (a NULL slot is
  // zeroed; a memo's slot holds eight 0xFF bytes when NULL, eight zero bytes
  // when present).
  virtual void vSetItemValueDefined(INAItemDescription* piItem, int bDefined, int nIndex) = 0;
  // Slot 11: the item's defined bit. The bit is the one of the description's
  // physical index; the server passes that index too, and it is not needed.
  virtual int vbItemValueDefined(INAItemDescription* piItem, int nPhysicalIndex) const = 0;

  // ---- Non-virtual forms, for code that holds the interface only (the
  // items). CNAZBRecord answers the same names without the table.
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
  int bItemValueDefined(INAItemDescription* piItem) const { return vbItemValueDefined(piItem, -1); }

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

// Number of slots of the table (the two destructors included).
inline constexpr int kCNAZBRecordSlotCount = 12;

static_assert(sizeof(void*) != 4 || sizeof(CNAZBRecordBase) == 28,
              "table pointer and six 32-bit fields on the 32-bit server");

#endif  // KQ230_ZB_RECORD_H_
