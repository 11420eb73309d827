// The small types that the record commands of a table object (INATable)
// carry between the server and the driver: lock kinds, the operation hint,
// the precision of a relative position, and the progress gauge of a long
// operation.
//
// The enumerations' values are the server's; the driver passes them through
// and names only those it acts on. The gauge is the server's object: its
// layout here is our own reading of what a long operation needs (a range and
// a position); that the real server lays it out the same way is an
// assumption.
//
// Ownership: the gauge is the server's, borrowed for one call.
// Threads: plain types; the gauge is called under the driver's lock.
#ifndef KQ230_TABLE_TYPES_H_
#define KQ230_TABLE_TYPES_H_

// The lock a record command asks for, and the one it got (out arguments).
enum eNA_LOCKTYPE : int {
  NA_LOCK_DEFAULT = 0,
  NA_LOCK_NONE = 1,       // read without a lock
  NA_LOCK_WRITE = 2,      // lock the record against writes
  NA_LOCK_READWRITE = 3,  // lock the record against reads and writes
};

// The next operation the program announces (bSetNextOperation): a hint the
// driver keeps and does not act on.
enum eNA_OPERATION : int {
  NA_OPERATION_NONE = 0,
};

// The scale of a relative position (bHPositionCourante, bHPositionne): the
// driver answers and takes thousandths whatever the precision asked.
enum eNA_PRECISION : int {
  NA_PRECISION_DEFAULT = 0,
};

// The server's progress gauge of a long operation (reindexing).
class IGaugeControl {
 public:
  // The number of steps the operation will make.
  virtual void SetRange(long long llSteps) = 0;
  // How many steps are done.
  virtual void SetPosition(long long llStep) = 0;

 protected:
  ~IGaugeControl() = default;
};

#endif  // KQ230_TABLE_TYPES_H_
