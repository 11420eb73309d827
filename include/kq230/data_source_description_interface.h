// INADataSourceDescription: the description of a data source (a table of the
// database or the result of a query), the same interface whichever side made
// it: the server describes its files with it, the driver answers its own
// descriptions through it.
//
// Called through the table of virtual operations: the slot order is the
// contract; never reorder, insert or remove an operation. Declared so far up
// to the logical name (slot 7), which is all the driver reads of the
// server's descriptions yet; the item, key and memo slots follow in their
// order with the driver's own descriptions.
//
// Texts: zero-terminated wide texts owned by the description, valid while
// it lives; null when absent.
// Ownership: counted through slots 5 and 6; no virtual destructor in the
// interface: only its maker deletes it.
// Threads: the driver calls it under its lock.
#ifndef KQ230_DATA_SOURCE_DESCRIPTION_INTERFACE_H_
#define KQ230_DATA_SOURCE_DESCRIPTION_INTERFACE_H_

class INADataSourceDescription {
 public:
  // Slots 0-4: the version head.
  virtual int nGetVersion() = 0;                   // slot 0
  virtual int nGetCompatSince() = 0;               // slot 1
  virtual int nGetNAVersion() { return -1; }       // slot 2
  virtual int nGetNACompatSince() { return -1; }   // slot 3
  virtual void NAVersion_EmptySlot_3() {}          // slot 4

  virtual void ExternalAddRef() = 0;   // slot 5
  virtual int nExternalRelease() = 0;  // slot 6

  // Slot 7: the name under which the server knows the source.
  virtual const wchar_t* pszGetLogicalName() = 0;

 protected:
  ~INADataSourceDescription() = default;
};

#endif  // KQ230_DATA_SOURCE_DESCRIPTION_INTERFACE_H_
