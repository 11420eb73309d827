// The application server's image objects as the driver's image memo value
// (values/memo_image.h) calls them. The server makes them; the driver only
// calls the operations below, through their tables of virtual operations, so
// the slot order is the contract: never reorder, insert or remove one. None
// of them has a virtual destructor: objects belong to the server, which the
// driver's references keep alive.
//
// Framework objects handed across (the server is built on the same
// framework):
// - CVXBIN: one pointer to the first byte of a counted buffer of the
//   server's string allocator (_stStrMemHeader before it), null when empty.
//   An operation that fills one finds it empty; a filler that finds a buffer
//   there gives back that reference first.
// - CSimpleBuffer: a table of virtual operations (slots 0 and 1 its
//   destructor, slot 2 SetSize(unsigned int), which replaces the block by an
//   uninitialised one of that size), then the block's address and its size.
// - CXError: the framework's error object; a loader may leave it as it is.
//
// Threads: the server's objects are its own business; the driver calls them
// from the thread the server called it on.
#ifndef KQ230_IMAGE_OBJECTS_H_
#define KQ230_IMAGE_OBJECTS_H_

class CVXBIN;
class CSimpleBuffer;
class CXError;

// An image held by the server.
class IImageVX {
 public:
  virtual unsigned int vdwAddRef() = 0;   // 0
  virtual unsigned int vdwRelease() = 0;  // 1
  virtual void _vReserved2() = 0;
  virtual void _vReserved3() = 0;
  virtual void _vReserved4() = 0;
  virtual void _vReserved5() = 0;
  virtual void _vReserved6() = 0;
  virtual void _vReserved7() = 0;
  // 8: the image object's version; the byte operation (29) exists from
  // version 8 on, so it is called only when this answers more than 7.
  virtual int vnGetVersion() = 0;
  virtual void _vReserved9() = 0;
  virtual void _vReserved10() = 0;
  virtual void _vReserved11() = 0;
  virtual void _vReserved12() = 0;
  virtual void _vReserved13() = 0;
  virtual void _vReserved14() = 0;
  virtual void _vReserved15() = 0;
  virtual void _vReserved16() = 0;
  virtual void _vReserved17() = 0;
  virtual void _vReserved18() = 0;
  virtual void _vReserved19() = 0;
  virtual void _vReserved20() = 0;
  virtual void _vReserved21() = 0;
  virtual void _vReserved22() = 0;
  virtual void _vReserved23() = 0;
  virtual void _vReserved24() = 0;
  virtual void _vReserved25() = 0;
  virtual void _vReserved26() = 0;
  virtual void _vReserved27() = 0;
  virtual void _vReserved28() = 0;
  // 29: the image's bytes into *pBin; non-zero on success.
  virtual int vbGetBinData(CVXBIN* pBin) = 0;

 protected:
  ~IImageVX() = default;
};

// A source of bytes (the memo image's "source binaire").
class ISourceBinaireVX {
 public:
  virtual unsigned int vdwAddRef() = 0;   // 0
  virtual unsigned int vdwRelease() = 0;  // 1
  // 2: the bytes into *pBin; non-zero on success.
  virtual int vbGetBinData(CVXBIN* pBin) = 0;

 protected:
  ~ISourceBinaireVX() = default;
};

// The server's image loader.
class IImageLoader {
 public:
  virtual int _vnReserved0() = 0;
  // 1: loads the image of that name into *pBuffer (SetSize, then the bytes);
  // *pnOut receives a value of the loader's; a failure may be described in
  // *pError. Non-zero on success.
  virtual int vbLoadImage(const wchar_t* pszName, CSimpleBuffer* pBuffer, int* pnOut,
                          CXError* pError) = 0;

 protected:
  ~IImageLoader() = default;
};

#endif  // KQ230_IMAGE_OBJECTS_H_
