// CNATransactionBase: what the driver core asks of a connection's transaction.
// The transaction itself (tables/na_transaction.h) lives above the driver
// core; a connection makes it through its pclAllocTransaction hook, which the
// back end supplies, and holds one reference on it.
//
// Results: 1 for success, 0 for failure with the detail in the error given.
// Ownership: a CInterf (driver/reference_counted.h): counted references, the
// last release destroys it.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_DRIVER_TRANSACTION_INTERFACE_H_
#define KQ230_DRIVER_TRANSACTION_INTERFACE_H_

#include "driver/reference_counted.h"

class CNAError;

class CNATransactionBase : public CInterf {
 public:
  // Begins the transaction under the name (may be null); the result becomes
  // the open state.
  virtual int bBegin(CNAError* pclError, const wchar_t* pszName, int nFlag) = 0;
  // End the named or the innermost transaction.
  virtual int bCommit(CNAError* pclError, const wchar_t* pszName) = 0;
  virtual int bRollBack(CNAError* pclError, const wchar_t* pszName) = 0;
  // Begins an internal transaction inside the innermost open one.
  virtual int bInternalTransactionBegin(CNAError* pclError, const wchar_t* pszName) = 0;
  virtual int bResume(CNAError* pclError) = 0;
  virtual int bSetActive(CNAError* pclError, int bActive) = 0;
  // Whether the transaction is running. A transaction that ended as aborted
  // (SetAborted) counts as running until it is committed or rolled back, so
  // that its connection neither closes nor reconnects under it.
  virtual int bIsOpened() const = 0;

  // ---- Lost connection
  // The native connection was lost (server error nNative with its message)
  // while the transaction ran: the server has discarded its work. It ends as
  // aborted: nothing more is sent for it; the next commit answers 0 with the
  // native code, a rollback answers 1 (there is nothing left to undo).
  virtual void SetAborted(unsigned int nNative, const wchar_t* pszMessage) = 0;
  virtual int bIsAborted() const = 0;
  // The native code of the loss (0 when not aborted).
  virtual unsigned int nGetAbortNativeCode() const = 0;
  // Raises the loss (the native code and message) into pclError at the
  // debug point (nFile, nSite); 0.
  virtual int nReportAborted(CNAError* pclError, int nFile, int nSite) = 0;
};

#endif  // KQ230_DRIVER_TRANSACTION_INTERFACE_H_
