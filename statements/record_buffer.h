// CNAZBRecord: the in-memory image of one record of a data source: the
// defined-flags field (one bit per physical item, most significant bit
// first; 1 = a value is present) followed by the values area laid out as
// the engine's disk record. The current record of a data access, every
// record value and every row of a buffer table are such buffers. Its layout
// and table of virtual operations are the boundary's (kq230/zb_record.h):
// this class adds neither a field nor a virtual operation. The virtual
// operations forward to the non-virtual ones of the same name, which the
// driver calls directly.
//
// Raw stores follow the item type: 8-bit texts, DATE6, HEURE and DATE8 are
// cut to the slot with a terminating zero; NA_IT_BINAIRE is a 16-bit length
// then the bytes; Unicode items are UTF-16 (S / 2 units for a slot of S
// bytes, a pair never split); everything else is copied as far as both the
// source and the slot go, the rest of the slot zeroed. Language values are
// converted to the item's language type and stored the same way.
//
// Bad input: an item whose slot lies outside the values area (a description
// of another data source, an offset the description could not compute) is
// never written or read: the address is null, stores do nothing and reads
// give a NULL value. A serialised form whose counters disagree with each
// other or with its size is refused whole.
//
// Heap: the buffer is one block of the core allocator, taken by bInit,
// clones and Deserialize (reused when the length stays). Raw stores and
// reads, marks, copies and comparisons call no allocator; a language value
// read out allocates only what the value itself holds (its text, binary or
// decimal object).
//
// Ownership: the buffer owns its one block; the object is owned by whoever
// made it (a record value, the record's template, a cache).
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_STATEMENTS_RECORD_BUFFER_H_
#define KQ230_STATEMENTS_RECORD_BUFFER_H_

#include "kq230/zb_record.h"

class INADataSourceDescription;

class CNAZBRecord final : public CNAZBRecordBase {
 public:
  // Size of the counters before the buffer in the serialised form.
  static constexpr int kSerializeHeaderSize = 12;

  CNAZBRecord() = default;
  ~CNAZBRecord() override;

  // Lays the buffer out for the description (every item NULL), then with
  // INIT_DEFAULT_VALUES gives every item that is no composed key its default
  // value. 0, the object unchanged, when the block cannot be had or the
  // description's sizes are negative or too large.
  int bInit(INADataSourceDescription* piSource, eINITTYPE eInit);

  // ---- Table of operations (kq230/zb_record.h): each forwards.
  CNAZBRecord* vpclGetClone() const override { return pclGetClone(); }
  void vSetValues(const unsigned char* p, int n) override { SetValues(p, n); }
  unsigned char* vpbyGetItemValue(INAItemDescription* piItem, int nIndex) override {
    return pbyGetItemValue(piItem, nIndex);
  }
  const unsigned char* vpbyGetItemValue(INAItemDescription* piItem, int nIndex) const override {
    return pbyGetItemValue(piItem, nIndex);
  }
  void vSetItemValue(INAItemDescription* piItem, const unsigned char* p, unsigned int n,
                     int nIndex) override {
    SetItemValue(piItem, p, n, nIndex);
  }
  int vSetItemValue(INAItemDescription* piItem, const CAny* pValue, int nIndex) override {
    return SetItemValue(piItem, pValue, nIndex);
  }
  void vGetItemValue(CAny* pOut, INAItemDescription* piItem, int nIndex) const override {
    GetItemValue(pOut, piItem, nIndex);
  }
  void vGetItemValue(unsigned char* pOut, INAItemDescription* piItem, int nIndex) const override {
    GetItemValue(pOut, piItem, nIndex);
  }
  void vSetItemValueDefined(INAItemDescription* piItem, int bDefined, int nIndex) override {
    SetItemValueDefined(piItem, bDefined, nIndex);
  }
  int vbItemValueDefined(INAItemDescription* piItem, int) const override {
    return bItemValueDefined(piItem);
  }

  // ---- Values
  // Copies n bytes (at most the values area) to the start of the values area
  // and marks every item present (every byte of the bit field 0xFF).
  void SetValues(const unsigned char* p, int n);
  // The slot of the item (nIndex < 0) or of one element; null outside the
  // values area.
  unsigned char* pbyGetItemValue(INAItemDescription* piItem, int nIndex = -1) {
    unsigned int n;
    return _pbyGetItemPtrAndSize(piItem, nIndex, &n);
  }
  const unsigned char* pbyGetItemValue(INAItemDescription* piItem, int nIndex = -1) const {
    unsigned int n;
    return _pbyGetItemPtrAndSize(piItem, nIndex, &n);
  }
  // Raw store of n bytes at p (null: the slot zeroed) by the item type's
  // rule, then the item is present.
  void SetItemValue(INAItemDescription* piItem, const unsigned char* p, unsigned int n,
                    int nIndex = -1);
  // Store of a language value: an invalid one (flag 0x100 or type 0) makes
  // the element NULL (1). Otherwise converted to the item's language type
  // and stored, the item present (1). 0, slot and bit unchanged, when it
  // cannot be converted, the item's objects refuse it, or the slot lies
  // outside the buffer.
  int SetItemValue(INAItemDescription* piItem, const CAny* pValue, int nIndex = -1);
  // The item's value as a language value of its language type, flags 0x100
  // and 0x400 cleared; NULL of that type when the slot lies outside the
  // buffer. Throws the error an enumeration or combination object filled
  // when it refuses the bytes (_CXErrorModule76).
  void GetItemValue(CAny* pOut, INAItemDescription* piItem, int nIndex = -1) const;
  // The slot's bytes copied to pOut. REQUIRES: pOut holds the slot's size.
  void GetItemValue(unsigned char* pOut, INAItemDescription* piItem, int nIndex = -1) const;
  // The item's bit (its physical index, -1 counting as 0).
  int bItemValueDefined(INAItemDescription* piItem) const;
  // Present (the bit set; a memo's slot eight zero bytes) or NULL (the bit
  // cleared; a memo's slot eight 0xFF bytes, any other slot zeroed).
  void SetItemValueDefined(INAItemDescription* piItem, int bDefined, int nIndex = -1);
  // The same for nCount items with the physical indexes given (-1 counting
  // as 0); a NULL item has its element 0 cleared.
  // REQUIRES: the three arrays hold nCount entries.
  void SetTabItemValueDefined(INAItemDescription* const* ppiItems, int nCount,
                              const int* pnPhysicalIndexes, const int* pbDefined);
  // A language value cast to nType for the item: a time text (18, 19) for a
  // NA_IT_HEURE item cast to 26 becomes a date-time of that time of day (0);
  // anything else is the language's cast.
  static int nCastTo(CAny* pValue, unsigned short nType, INAItemDescription* piItem);

  // ---- Whole buffers
  // A new buffer with the same counters and bytes; null when memory runs out.
  CNAZBRecord* pclGetClone() const;
  // Takes the other buffer's counters and bytes; for an object without a
  // buffer. 0 when the block cannot be had (the object then unchanged).
  int _bCopyWithInit(const CNAZBRecordBase* pclOther);
  // Copies the other buffer's bytes over this one's; both should have the
  // same layout. A shorter other is never read past: the rest is zeroed.
  void Copy(const CNAZBRecordBase* pclOther);
  // Same lengths, same bit-field size and same bytes; 0 for null.
  int bEquals(const CNAZBRecordBase* pclOther) const;
  // Replaces the whole buffer (bit field and values, no counters) by n bytes
  // of a buffer table's entry. 0, nothing changed, unless n is the buffer's
  // length. REQUIRES: p holds n bytes.
  int bSetBufferBytes(const unsigned char* p, int n);

  // ---- Serialised form: buffer length, physical item count, bit-field size
  // (32-bit little-endian each), then the buffer's bytes.
  int nGetSerializeSize() const { return m_nBufferLength + kSerializeHeaderSize; }
  int nGetSerializeValuesOffset() const { return m_nFlagFieldSize + kSerializeHeaderSize; }
  // Writes the form into nSize bytes at pOut; 0 (nothing written) when they
  // are too few.
  int Serialize(unsigned char* pOut, int nSize) const;
  // Reads a form of nSize bytes: the buffer takes its counters and bytes
  // (the block reused when the length stays). Answers the values area; null,
  // the object unchanged, when the counters disagree (with each other or
  // with nSize) or the block cannot be had.
  unsigned char* Deserialize(const unsigned char* pIn, int nSize);

  // The slot and its size; null (size 0) outside the values area.
  unsigned char* _pbyGetItemPtrAndSize(INAItemDescription* piItem, int nIndex,
                                       unsigned int* pnSize) const;

 private:
  // Replaces the block by one of nLength bytes under these counters.
  int _bAllocate(int nLength, int nPhysicalCount, int nFlagFieldSize, bool bZero);
  void _Free();
  void _SetDefaultValue(INAItemDescription* piItem);
  int _SetItemValue(INAItemDescription* piItem, const CAny* pValue, int nIndex);
  void _MarkBit(int nPhysicalIndex, INAItemDescription* piItem, int bDefined, int nIndex);
};

static_assert(sizeof(CNAZBRecord) == sizeof(CNAZBRecordBase),
              "the record buffer is exactly the boundary's layout");

#endif  // KQ230_STATEMENTS_RECORD_BUFFER_H_
