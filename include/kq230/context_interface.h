// INAContext: a context of the application server, as the driver sees it.
//
// The server runs its programs in contexts (each with its own file positions
// and locks) and passes the calling context with every table operation. The
// driver asks it for two numbers only: the context's identifier (one driver
// context per value) and the data identifier (the server's file object within
// that context: one data access per value within a context).
//
// The server calls nothing on it through the driver, and the driver calls only
// these two slots, in this order; never reorder, insert or remove one.
//
// Ownership: the server's; the driver borrows it for the length of one call
// and keeps neither the object nor a reference. No virtual destructor: the
// driver never deletes it.
// Threads: the server's business; the driver calls it under its lock.
#ifndef KQ230_CONTEXT_INTERFACE_H_
#define KQ230_CONTEXT_INTERFACE_H_

class INAContext {
 public:
  // Slot 0: the server context's identifier.
  virtual unsigned int dwGetContextID() = 0;
  // Slot 1: the identifier of the server's file object within the context.
  virtual unsigned int dwGetDataID() = 0;

 protected:
  ~INAContext() = default;
};

#endif  // KQ230_CONTEXT_INTERFACE_H_
