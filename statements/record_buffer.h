// CNAZBRecord: the in-memory image of one record of a data source: the
// defined-flags field (one bit per physical item, most significant bit
// first; 1 = a value is present) followed by the values area laid out as
// the engine's disk record. The current record of a data access and every
// record value are such buffers. The items reach it through
// CNAZBRecordBase (items/record_buffer_interface.h), whose fields it fills.
//
// Raw stores follow the item type: 8-bit texts, DATE6, HEURE and DATE8 are
// cut to the slot with a terminating zero; NA_IT_BINAIRE is a 16-bit length
// then the bytes; Unicode items are UTF-16; everything else is copied at the
// slot's size. Language values are converted to and from the slot through a
// conversion holder over the slot (the holder's record form is this
// buffer's), so both sides share one set of rules.
//
// Bad input: an item whose slot lies outside the values area (a description
// of another data source, an offset the description could not compute) is
// never written or read: the address is null, stores do nothing and reads
// give a NULL value.
//
// Ownership: the buffer owns its one heap block; it is owned by whoever made
// it (a record value, the record's template). Not counted.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_STATEMENTS_RECORD_BUFFER_H_
#define KQ230_STATEMENTS_RECORD_BUFFER_H_

#include "items/record_buffer_interface.h"

class INADataSourceDescription;

class CNAZBRecord final : public CNAZBRecordBase {
 public:
  CNAZBRecord() = default;
  ~CNAZBRecord() override;

  // Lays the buffer out for the description (every item NULL), then with
  // INIT_DEFAULT_VALUES gives every item that is no composed key its default
  // value. 0 when the block cannot be had or the description's sizes are
  // negative or too large.
  int bInit(INADataSourceDescription* piSource, eINITTYPE eInit);

  // ---- CNAZBRecordBase
  CNAZBRecordBase* vpclGetClone() const override { return pclGetClone(); }
  void vSetValues(const unsigned char* p, int n) override;
  unsigned char* vpbyGetItemValue(INAItemDescription* piItem, int nIndex) override;
  const unsigned char* vpbyGetItemValue(INAItemDescription* piItem, int nIndex) const override;
  void vSetItemValue(INAItemDescription* piItem, const unsigned char* p, unsigned int n,
                     int nIndex) override;
  int vSetItemValue(INAItemDescription* piItem, const CAny* pValue, int nIndex) override;
  void vGetItemValue(CAny* pOut, INAItemDescription* piItem, int nIndex) const override;
  void vGetItemValue(unsigned char* pOut, INAItemDescription* piItem, int nIndex) const override;
  void vSetItemValueDefined(INAItemDescription* piItem, int bDefined, int nIndex) override;
  int vbItemValueDefined(INAItemDescription* piItem) const override;

  // A new buffer with the same layout and bytes; null when memory runs out.
  CNAZBRecord* pclGetClone() const;
  // Copies the other buffer's bytes over this one's (as many as both hold).
  void Copy(const CNAZBRecordBase* pclOther);
  // Same lengths and same bytes; 0 for null.
  int bEquals(const CNAZBRecordBase* pclOther) const;
  // The slot and its size; null (size 0) outside the values area.
  unsigned char* _pbyGetItemPtrAndSize(INAItemDescription* piItem, int nIndex,
                                       unsigned int* pnSize) const;

 private:
  int _bAlloc(int nLength);
  void _SetDefaultValue(INAItemDescription* piItem);
  int _nBit(INAItemDescription* piItem) const;
  void _WriteMemoMark(INAItemDescription* piItem, const unsigned char* pMark);
};

#endif  // KQ230_STATEMENTS_RECORD_BUFFER_H_
