// INAConnectionDescription: the application server's description of one
// connection (a "Connection" variable of the language): server address,
// user, password, provider, extended information, time-outs and options.
//
// The server passes it to every INADriver operation that names a connection.
// The driver reads it through its table of virtual operations, so the slot
// order is the contract: never reorder, insert or remove an operation. The
// driver calls only the named slots; the reserved ones are the server's and
// are declared so that the named ones sit in their slots.
//
// Texts: a text slot answers a zero-terminated wide text owned by the
// description, or null when the value is absent; the driver copies what it
// keeps and writes an absent value as "NULL" where it prints one.
//
// Ownership: the object belongs to the server and is reference-counted
// through slots 5 and 6. The driver's connection holds one reference for its
// whole life (taken when it is made, dropped when it dies); everything else
// borrows it for the length of one call. The interface has no virtual
// destructor: only the server deletes it.
// Threads: the server's business; the driver calls it under its lock.
#ifndef KQ230_CONNECTION_DESCRIPTION_INTERFACE_H_
#define KQ230_CONNECTION_DESCRIPTION_INTERFACE_H_

#include <cstdint>

#include "kq230/platform_types.h"

// The access a connection is opened for (slot 11). Only "read only" matters
// to the driver (it gives the identification's "access=R"); the server uses
// other values for read and write.
enum _eNA_ACCESS : int {
  NA_ACCESS_READ_ONLY = 1,
};

// The server's connection object, answered by slot 18. Its first 32-bit word
// is the server's own; the connection's name follows it inline, as a
// zero-terminated wide text that runs past the end of this declaration (the
// server allocates the object with the text's length). The driver reads the
// name only through pszNameOf and never writes the object.
struct _stNAHostConnection {
  uint32_t dwServerWord;
  wchar_t szName[1];

  // The name of a host connection object; null for a null object.
  static const wchar_t* pszNameOf(const _stNAHostConnection* p) {
    return p == nullptr ? nullptr
                        : reinterpret_cast<const wchar_t*>(
                              reinterpret_cast<const unsigned char*>(p) + sizeof(uint32_t));
  }
};

class INAConnectionDescription {
 public:
  // Slots 0-4: the version head. Slot 0 is the interface version: from 4 on
  // the description offers its cache size (slot 22).
  virtual int nGetVersion() = 0;             // slot 0
  virtual int nGetCompatSince() = 0;         // slot 1
  virtual int nGetNAVersion() = 0;           // slot 2
  virtual int nGetNACompatSince() = 0;       // slot 3
  virtual void NAVersion_EmptySlot_3() = 0;  // slot 4

  // Slots 5, 6: the reference count. Release answers the remaining count and
  // deletes the description at 0.
  virtual void ExternalAddRef() = 0;         // slot 5
  virtual int nExternalRelease() = 0;        // slot 6

  virtual const wchar_t* pszGetUserName() = 0;      // slot 7
  // Slot 8. The driver passes the password on (to the client library, into
  // the connection string) and never prints it.
  virtual const wchar_t* pszGetPassword() = 0;      // slot 8
  // Slot 9: the data source, the server's address ("host", "host:port").
  virtual const wchar_t* pszGetDataBase() = 0;      // slot 9
  virtual const wchar_t* pszGetDescription() = 0;   // slot 10
  virtual _eNA_ACCESS eGetAccess() = 0;             // slot 11
  // Slots 12, 13: the server's own parameter list; the driver passes the
  // objects on without looking into them.
  virtual int nGetNbParam() = 0;                    // slot 12
  virtual void* pclGetParam(int nIndex) = 0;        // slot 13
  virtual const wchar_t* pszGetProvider() = 0;      // slot 14
  // Slots 15, 16: seconds; the server's defaults when the extended
  // information names none.
  virtual int nGetConnectionTimeout() = 0;          // slot 15
  virtual int nGetCommandTimeout() = 0;             // slot 16
  // Slot 17: "keyword=value;..." texts for the driver (see the connection's
  // extended keywords).
  virtual const wchar_t* pszGetExtendedInfo() = 0;  // slot 17
  // Slot 18: the server's connection object, whose name follows its first
  // word (see _stNAHostConnection); null when the description has none.
  virtual const _stNAHostConnection* pclGetConnection() = 0;  // slot 18
  // Slot 19: cursor options; bit 0 server-side cursor, bit 1 client-side.
  virtual int32_t lGetCursorOptions() = 0;          // slot 19
  virtual int _vnReserved20() = 0;                  // slot 20: not called
  virtual const wchar_t* pszGetDefaultDataBase() = 0;  // slot 21
  // Slot 22: the cache size asked for; only from interface version 4 on.
  virtual int64_t llGetCacheSize() = 0;             // slot 22
  virtual int _vnReserved23() = 0;                  // slot 23: not called
  virtual int _vnReserved24() = 0;                  // slot 24: not called
  virtual const wchar_t* pszGetLogicalConnectionName() = 0;  // slot 25

 protected:
  ~INAConnectionDescription() = default;
};

// The number of slots the driver knows; a stand-in offers exactly these.
constexpr int kINAConnectionDescriptionSlotCount = 26;

#endif  // KQ230_CONNECTION_DESCRIPTION_INTERFACE_H_
