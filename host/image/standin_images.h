// The stand-in server's image objects (include/kq230/image_objects.h): an
// image, a byte source and an image loader, for the tests of the driver's
// image memo value.
//
// Choices of the stand-in (the real objects decode and load pictures; these
// hold bytes given by the test):
// - Reference counts start at 1 (the test's own reference) and the objects
//   are never destroyed by a release: the test owns them and checks that the
//   driver gave back every reference it took (nRefCount() back to 1).
// - Each object counts the calls of each operation it offers.
// - Bytes are handed over in a new counted buffer of the allocator given at
//   construction (the one the framework under test is bound to); a target
//   CVXBIN that already holds a buffer has that reference given back first.
// - The image answers the version set (8 by default) and its byte operation
//   fails when told to; the source likewise; the loader knows the names the
//   test registers and fails for any other.
// - The loader fills the CSimpleBuffer through its own SetSize (slot 2 of its
//   table) and leaves the error object alone.
//
// Threads: none; tests use them from one thread.
#ifndef KQ230_HOST_IMAGE_STANDIN_IMAGES_H_
#define KQ230_HOST_IMAGE_STANDIN_IMAGES_H_

#include <map>
#include <string>

#include "kq230/host_services.h"
#include "kq230/image_objects.h"

namespace standin_images {

// Makes *pBin (a CVXBIN seen as one buffer pointer) hold a new counted buffer
// with the bytes. False, *pBin left empty, when the allocator refuses.
bool bFillBin(IStrMemAlloc* piAlloc, CVXBIN* pBin, const std::string& bytes);

class CStandInImage final : public IImageVX {
 public:
  CStandInImage(IStrMemAlloc* piAlloc, std::string bytes) : m_piAlloc(piAlloc), m_bytes(std::move(bytes)) {}

  unsigned int vdwAddRef() override { return static_cast<unsigned int>(++m_nRefCount); }
  unsigned int vdwRelease() override { return static_cast<unsigned int>(--m_nRefCount); }
  void _vReserved2() override {}
  void _vReserved3() override {}
  void _vReserved4() override {}
  void _vReserved5() override {}
  void _vReserved6() override {}
  void _vReserved7() override {}
  int vnGetVersion() override {
    ++m_nVersionCalls;
    return m_nVersion;
  }
  void _vReserved9() override {}
  void _vReserved10() override {}
  void _vReserved11() override {}
  void _vReserved12() override {}
  void _vReserved13() override {}
  void _vReserved14() override {}
  void _vReserved15() override {}
  void _vReserved16() override {}
  void _vReserved17() override {}
  void _vReserved18() override {}
  void _vReserved19() override {}
  void _vReserved20() override {}
  void _vReserved21() override {}
  void _vReserved22() override {}
  void _vReserved23() override {}
  void _vReserved24() override {}
  void _vReserved25() override {}
  void _vReserved26() override {}
  void _vReserved27() override {}
  void _vReserved28() override {}
  int vbGetBinData(CVXBIN* pBin) override;

  void SetVersion(int n) { m_nVersion = n; }
  void SetFail(bool b) { m_bFail = b; }
  int nRefCount() const { return m_nRefCount; }
  int nVersionCalls() const { return m_nVersionCalls; }
  int nBinCalls() const { return m_nBinCalls; }

 private:
  IStrMemAlloc* m_piAlloc;
  std::string m_bytes;
  int m_nRefCount = 1;
  int m_nVersion = 8;
  bool m_bFail = false;
  int m_nVersionCalls = 0;
  int m_nBinCalls = 0;
};

class CStandInByteSource final : public ISourceBinaireVX {
 public:
  CStandInByteSource(IStrMemAlloc* piAlloc, std::string bytes) : m_piAlloc(piAlloc), m_bytes(std::move(bytes)) {}

  unsigned int vdwAddRef() override { return static_cast<unsigned int>(++m_nRefCount); }
  unsigned int vdwRelease() override { return static_cast<unsigned int>(--m_nRefCount); }
  int vbGetBinData(CVXBIN* pBin) override;

  void SetFail(bool b) { m_bFail = b; }
  int nRefCount() const { return m_nRefCount; }
  int nBinCalls() const { return m_nBinCalls; }

 private:
  IStrMemAlloc* m_piAlloc;
  std::string m_bytes;
  int m_nRefCount = 1;
  bool m_bFail = false;
  int m_nBinCalls = 0;
};

class CStandInImageLoader final : public IImageLoader {
 public:
  int _vnReserved0() override { return 0; }
  int vbLoadImage(const wchar_t* pszName, CSimpleBuffer* pBuffer, int* pnOut, CXError* pError) override;

  void AddImage(const std::wstring& name, std::string bytes) { m_images[name] = std::move(bytes); }
  int nLoadCalls() const { return m_nLoadCalls; }
  const std::wstring& LastName() const { return m_lastName; }

 private:
  std::map<std::wstring, std::string> m_images;
  int m_nLoadCalls = 0;
  std::wstring m_lastName;
};

}  // namespace standin_images

#endif  // KQ230_HOST_IMAGE_STANDIN_IMAGES_H_
