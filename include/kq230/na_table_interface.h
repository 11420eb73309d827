// INATable: a table object as the application server holds it: a database
// table or the kept result of a query, on which the server calls its record
// commands.
//
// The driver hands table objects out through INADriver (piGetTable,
// bHExecuteRequeteSQL[Ex]) with one external reference for the server. The
// server calls it through its table of virtual operations, so the slot order
// is the contract: never reorder, insert or remove an operation. Only the
// version head and the server's references are declared yet; the record
// commands (slot 7 on: piGetLastError, bIsOpened, ... bHLitxxx ...) join in
// their order when the table's record operations are built.
//
// Ownership: counted; nExternalRelease answers the new count, and the object
// dies once neither the server nor the driver holds it. No virtual destructor
// in the interface: the server never deletes it.
// Threads: every operation takes the driver's lock.
#ifndef KQ230_NA_TABLE_INTERFACE_H_
#define KQ230_NA_TABLE_INTERFACE_H_

class INATable {
 public:
  // Slots 0-4: the version head.
  virtual int nGetVersion() = 0;                   // slot 0: 11
  virtual int nGetCompatSince() = 0;               // slot 1: 8
  virtual int nGetNAVersion() { return -1; }       // slot 2
  virtual int nGetNACompatSince() { return -1; }   // slot 3
  virtual void NAVersion_EmptySlot_3() {}          // slot 4

  // Slots 5, 6: the server's references.
  virtual void ExternalAddRef() = 0;   // slot 5
  virtual int nExternalRelease() = 0;  // slot 6

 protected:
  ~INATable() = default;
};

#endif  // KQ230_NA_TABLE_INTERFACE_H_
