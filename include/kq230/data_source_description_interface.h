// INADataSourceDescription: the description of a data source (a table of the
// database or the result of a query), the same interface whichever side made
// it: the server describes its files with it, the driver answers its own
// descriptions through it.
//
// Called through the table of virtual operations: the slot order is the
// contract; never reorder, insert or remove an operation. The five version
// operations come first; overloads sit in their declaration order. Slot
// numbers are given in the comments (counting from 0).
//
// The operations past the logical name have the answers of an empty
// description as their bodies (no item, no key, null texts), so that a
// description that only names a source (a test's or a placeholder's) need
// not spell them out; every real description answers them all.
//
// Indexes: an index at or above the count answers null, never a stray item.
// Items handed out carry one external reference for the caller.
//
// Texts: zero-terminated wide texts owned by the description, valid while
// it lives; null when absent.
// Ownership: counted through slots 5 and 6; no virtual destructor in the
// interface: only its maker deletes it.
// Threads: the driver calls it under its lock.
#ifndef KQ230_DATA_SOURCE_DESCRIPTION_INTERFACE_H_
#define KQ230_DATA_SOURCE_DESCRIPTION_INTERFACE_H_

class INAItemDescription;

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

  virtual const wchar_t* pszGetPhysicalName() { return nullptr; }    // 8
  virtual const wchar_t* pszGetDefaultDirectory() { return nullptr; }  // 9
  virtual int nGetDiskRecordSize() { return 0; }                      // 10
  virtual void EmptySlot44() {}                                       // 11
  virtual int nGetNumItems() { return 0; }                            // 12
  virtual int nGetNumKeys() { return 0; }                             // 13
  virtual int nGetNumMemos() { return 0; }                            // 14
  virtual int nGetNumItemPhysicallyInFic() { return 0; }              // 15
  // The item of that name (compared without regard to case and accents).
  virtual INAItemDescription* piNAGetItem(const wchar_t* pszName) {   // 16
    (void)pszName;
    return nullptr;
  }
  // Item, key or memo n, counted from 0.
  virtual INAItemDescription* piNAGetItem(unsigned int n) {           // 17
    (void)n;
    return nullptr;
  }
  virtual INAItemDescription* piNAGetKey(unsigned int n) {            // 18
    (void)n;
    return nullptr;
  }
  virtual INAItemDescription* piNAGetMemo(unsigned int n) {           // 19
    (void)n;
    return nullptr;
  }
  virtual int eGetNASubDataType() { return 0; }                       // 20
  virtual const wchar_t* pszGetDBTableName() { return nullptr; }      // 21
  // The item to browse on, one external reference for the caller.
  virtual INAItemDescription* piGetBestParseItemDesc() { return nullptr; }  // 22
  virtual const wchar_t* pszGetExtendedInfo() { return nullptr; }     // 23
  virtual const wchar_t* pszGetType() { return nullptr; }             // 24
  virtual const wchar_t* pszGetOwner() { return nullptr; }            // 25
  virtual const wchar_t* pszGetDefaultDatabase() { return nullptr; }  // 26
  virtual const wchar_t* pszGetExtension() { return nullptr; }        // 27
  virtual const wchar_t* pszGetCaption() { return nullptr; }          // 28
  virtual int bGetNullSupported() { return 0; }                       // 29
  virtual void EmptySlot136() {}  // 30
  virtual void EmptySlot137() {}  // 31
  virtual void EmptySlot138() {}  // 32
  virtual void EmptySlot139() {}  // 33
  virtual void EmptySlot140() {}  // 34
  virtual void EmptySlot141() {}  // 35
  virtual void EmptySlot142() {}  // 36
  virtual void EmptySlot143() {}  // 37
  virtual void EmptySlot144() {}  // 38
  virtual void EmptySlot145() {}  // 39

 protected:
  ~INADataSourceDescription() = default;
};

// On the 32-bit server an interface object is its one table pointer.
static_assert(sizeof(void*) != 4 || sizeof(INADataSourceDescription) == 4,
              "INADataSourceDescription is a bare table of operations");

#endif  // KQ230_DATA_SOURCE_DESCRIPTION_INTERFACE_H_
