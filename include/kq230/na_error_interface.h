// INAError: a failure of the driver as the application server reads it, after
// an operation of the driver, a table or a description answered 0.
//
// The server calls it through its table of virtual operations, so the slot
// order is the contract: never reorder, insert or remove an operation. The
// two destructors follow the seventeen operations (slots 17 and 18); they are
// protected: the server never deletes an error object, its owner (the
// driver, a context, a table) does.
//
// Ownership: the object belongs to the driver. A pointer that the server gets
// from piGetLastError holds no reference and stays valid until the next
// operation on the same owner.
// Threads: none of its own; the driver changes error objects under its lock
// or for one server context at a time.
#ifndef KQ230_NA_ERROR_INTERFACE_H_
#define KQ230_NA_ERROR_INTERFACE_H_

#include "kq230/platform_types.h"

class CXError;  // the framework's error object (core/error_object.h)

// The kind of a failure, as the server sorts it: -1 while the object holds no
// error; 0 a plain failure; 2 a lock conflict or deadlock; 3 a duplicate key;
// 7 an operation this driver does not offer; 8 a missing mandatory value.
// The server may pass or receive other values: any int is representable.
enum eNA_ERRORTYPE : int {};

// Levels of a framework error: 1 information (no failure), 2 error, 3 fatal.
enum eNAERRORLEVEL : int {};

class INAError {
 public:
  // Slots 0-4: the version head shared by the native-access interfaces.
  virtual int nGetVersion() = 0;                 // slot 0: 1
  virtual int nGetCompatSince() = 0;             // slot 1: 1
  virtual int nGetNAVersion() = 0;               // slot 2: -1
  virtual int nGetNACompatSince() = 0;           // slot 3: -1
  virtual void NAVersion_EmptySlot_3() = 0;      // slot 4: nothing

  // Slot 5: the full dump of the error (main error and sub-errors), valid
  // until the next call on this object. Never null.
  virtual const wchar_t* pszGetError() const = 0;
  // Slot 6: the user error code, 0 when the main error is only information.
  virtual unsigned int dwGetErrorId() const = 0;
  // Slot 7: the failure's kind (see eNA_ERRORTYPE).
  virtual eNA_ERRORTYPE eGetErrorType() const = 0;
  // Slots 8, 9: the logical table name and item name the failure concerns,
  // or null.
  virtual const wchar_t* pszGetLogicalTableName() const = 0;
  virtual const wchar_t* pszGetItemName() const = 0;
  // Slot 10: the framework error itself (owned by this object).
  virtual CXError* pclGetXError() const = 0;
  // Slot 11: the main error's level.
  virtual eNAERRORLEVEL eGetErrorLevel() const = 0;

  // Slots 12-16: reserved by the server's interface; they do nothing.
  virtual void EmptySlot52() = 0;
  virtual void EmptySlot53() = 0;
  virtual void EmptySlot54() = 0;
  virtual void EmptySlot55() = 0;
  virtual void EmptySlot56() = 0;

 protected:
  virtual ~INAError() = default;
};

// The number of INAError's own slots; an implementation's virtual operations
// start here.
constexpr int kINAErrorSlotCount = 17;

#endif  // KQ230_NA_ERROR_INTERFACE_H_
