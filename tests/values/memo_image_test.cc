// The image memo value through the stand-in server's image objects: setters,
// the ways to the bytes and their order, the version check of the image
// object, references taken and given back, copies, and the binary value.
#include "values/memo_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <unistd.h>
#include <string>

#include "host/image/standin_images.h"
#include "tests/support/bound_framework.h"
#include "values/any.h"

namespace {

using standin_images::CStandInByteSource;
using standin_images::CStandInImage;
using standin_images::CStandInImageLoader;

std::string Bytes(const CVXBIN& bin) {
  return bin.pbyGet() == nullptr ? std::string()
                                 : std::string(reinterpret_cast<const char*>(bin.pbyGet()),
                                               static_cast<size_t>(bin.nGetSize()));
}

class MemoImage : public kqtest::BoundFrameworkTest {
 protected:
  IStrMemAlloc* Alloc() const { return Control().piGetStrMemAlloc(); }
  CVXBIN Bin(const std::string& s) const {
    return CVXBIN(reinterpret_cast<const unsigned char*>(s.data()), static_cast<int>(s.size()));
  }
};

int g_nSaveCalls = 0;
CVXMemoImage* g_pSaved = nullptr;
void SaveCallback(CVXMemoImage* p) {
  ++g_nSaveCalls;
  g_pSaved = p;
  const char bytes[] = "from callback";
  p->SetBinData(CVXBIN(reinterpret_cast<const unsigned char*>(bytes), 13));
}

IImageVX* g_piSourceImage = nullptr;
IImageVX* SourceImageCallback(CVXMemoImage*) { return g_piSourceImage; }

TEST_F(MemoImage, StartsEmptyAndKeepsCopiesOfItsTexts) {
  CVXMemoImage m;
  EXPECT_EQ(m.pszGetNomImage(), nullptr);
  EXPECT_EQ(m.llGetNumEnr(), -1);
  EXPECT_EQ(m.nGetFlags(), 0);
  EXPECT_EQ(m.nGetRefCount(), 0);
  std::wstring name = L"photo.png";
  m.SetNomImage(name.c_str());
  name[0] = L'X';
  EXPECT_STREQ(m.pszGetNomImage(), L"photo.png");
  m.SetNomImage(m.pszGetNomImage());  // its own text
  EXPECT_STREQ(m.pszGetNomImage(), L"photo.png");
  m.SetNomTable(L"T");
  m.SetNomRubrique(L"R");
  m.SetNomTableNumEnr(L"TN");
  m.SetNomRubriqueNumEnr(L"RN");
  m.SetNumEnr(42);
  m.SetNomTable(nullptr);
  EXPECT_EQ(m.pszGetNomTable(), nullptr);
  EXPECT_STREQ(m.pszGetNomRubriqueNumEnr(), L"RN");
  EXPECT_EQ(m.llGetNumEnr(), 42);
}

TEST_F(MemoImage, LoadTypesSetAndClearTheirFlags) {
  struct Case { int type; int before, after; };
  const Case cases[] = {
      {0, 0x8000, 0},     {1, 0, 0x8000},       {2, 0x8001, 0x1},  {3, 0x8000, 0x10},
      {4, 0x1, 0x41},     {5, 0x8000, 0x80},    {6, 0x8041, 0x8041}, {-1, 0x10, 0x10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    CVXMemoImage m;
    if (c.before & 0x1) m.SetBinData(CVXBIN());
    if (c.before & 0x8000) m.SetLoadType(CVXMemoImage::eLT_MARQUE);
    if (c.before & 0x40) m.SetLoadType(CVXMemoImage::eLT_CHARGEE);
    if (c.before & 0x10) m.SetLoadType(CVXMemoImage::eLT_IMAGE);
    ASSERT_EQ(m.nGetFlags(), c.before);
    m.SetLoadType(static_cast<CVXMemoImage::eLOADTYPE>(c.type));
    EXPECT_EQ(m.nGetFlags(), c.after);
  }
}

TEST_F(MemoImage, PresentBytesConvertWithoutCallingAnyone) {
  CStandInImageLoader loader;
  loader.AddImage(L"img", "loaded");
  CStandInImage image(Alloc(), "image bytes");
  CVXMemoImage m;
  m.SetNomImage(L"img");
  m.SetVXImage(&image);
  m.SetCallbackSauveVXBin(reinterpret_cast<void*>(&SaveCallback));
  m.SetBinData(Bin("already"));
  g_nSaveCalls = 0;
  EXPECT_EQ(m.bConvertToBIN(&loader), 1);
  EXPECT_EQ(Bytes(m.clGetBin()), "already");
  EXPECT_EQ(loader.nLoadCalls(), 0);
  EXPECT_EQ(g_nSaveCalls, 0);
  EXPECT_EQ(image.nBinCalls(), 0);
  EXPECT_STREQ(m.pszGetNomImage(), L"img");
}

TEST_F(MemoImage, LoaderReadsTheNamedImageAndTheNameIsCleared) {
  CStandInImageLoader loader;
  loader.AddImage(L"logo", std::string("\x89PNG\0\x01", 6));
  CVXMemoImage m;
  m.SetNomImage(L"logo");
  EXPECT_EQ(m.bConvertToBIN(&loader), 1);
  EXPECT_EQ(loader.LastName(), L"logo");
  EXPECT_EQ(Bytes(m.clGetBin()), std::string("\x89PNG\0\x01", 6));
  EXPECT_EQ(m.pszGetNomImage(), nullptr);
  EXPECT_EQ(m.nGetFlags() & CVXMemoImage::kFlagBytes, CVXMemoImage::kFlagBytes);
}

TEST_F(MemoImage, FailedLoaderFallsThroughToTheByteSourceAndKeepsTheName) {
  CStandInImageLoader loader;  // knows nothing
  CStandInByteSource source(Alloc(), "source bytes");
  {
    CVXMemoImage m;
    m.SetNomImage(L"unknown");
    m.SetSourceBinaire(&source);
    EXPECT_EQ(source.nRefCount(), 2);
    EXPECT_EQ(m.bConvertToBIN(&loader), 1);
    EXPECT_EQ(loader.nLoadCalls(), 1);
    EXPECT_EQ(Bytes(m.clGetBin()), "source bytes");
    EXPECT_STREQ(m.pszGetNomImage(), L"unknown");
    EXPECT_EQ(m.piGetSourceBinaire(), nullptr);  // released and forgotten
    EXPECT_EQ(m.nGetFlags() & CVXMemoImage::kFlagByteSource, 0);
    EXPECT_EQ(source.nRefCount(), 1);
  }
  EXPECT_EQ(source.nRefCount(), 1);
}

TEST_F(MemoImage, WithoutLoaderTheNameIsAFileToRead) {
  char szPath[] = "/tmp/kq-memo-XXXXXX";
  const int fd = mkstemp(szPath);
  ASSERT_GE(fd, 0);
  close(fd);
  {
    std::ofstream out(szPath, std::ios::binary);
    out << "file bytes";
  }
  const std::string path = szPath;
  CVXMemoImage m;
  m.SetNomImage(std::wstring(path.begin(), path.end()).c_str());
  EXPECT_EQ(m.bConvertToBIN(nullptr), 1);
  EXPECT_EQ(Bytes(m.clGetBin()), "file bytes");
  EXPECT_EQ(m.pszGetNomImage(), nullptr);
  unlink(szPath);

  CVXMemoImage missing;
  missing.SetNomImage(L"/nonexistent/picture.png");
  EXPECT_EQ(missing.bConvertToBIN(nullptr), 0);
  EXPECT_STREQ(missing.pszGetNomImage(), L"/nonexistent/picture.png");
}

TEST_F(MemoImage, SaveCallbackComesBeforeTheObjects) {
  CStandInImage image(Alloc(), "image");
  CVXMemoImage m;
  m.SetVXImage(&image);
  m.SetCallbackSauveVXBin(reinterpret_cast<void*>(&SaveCallback));
  g_nSaveCalls = 0;
  EXPECT_EQ(m.bConvertToBIN(nullptr), 1);
  EXPECT_EQ(g_nSaveCalls, 1);
  EXPECT_EQ(g_pSaved, &m);
  EXPECT_EQ(Bytes(m.clGetBin()), "from callback");
  EXPECT_EQ(image.nBinCalls(), 0);
}

TEST_F(MemoImage, ImageObjectGivesItsBytesFromVersion8AndIsReleased) {
  CStandInImage image(Alloc(), "pixels");
  CVXMemoImage m;
  m.SetVXImage(&image);
  EXPECT_EQ(image.nRefCount(), 2);
  EXPECT_EQ(m.bConvertToBIN(nullptr), 1);
  EXPECT_EQ(Bytes(m.clGetBin()), "pixels");
  EXPECT_EQ(m.piGetVXImage(), nullptr);
  EXPECT_EQ(m.nGetFlags() & CVXMemoImage::kFlagImageObject, 0);
  EXPECT_EQ(image.nRefCount(), 1);
}

TEST_F(MemoImage, OlderImageObjectsAreNeverAskedForBytes) {
  // Before version 8 the byte operation's slot is something else: calling it
  // would run an unrelated operation of the server's.
  CStandInImage old(Alloc(), "pixels");
  old.SetVersion(7);
  CStandInByteSource source(Alloc(), "fallback");
  {
    CVXMemoImage m;
    m.SetVXImage(&old);
    EXPECT_EQ(m.bConvertToBIN(nullptr), 0);
    EXPECT_EQ(old.nBinCalls(), 0);
    EXPECT_EQ(Bytes(*m.pclGetBinDataEx()), "");
    EXPECT_EQ(old.nBinCalls(), 0);
    m.SetSourceBinaire(&source);
    EXPECT_EQ(m.bConvertToBIN(nullptr), 1);
    EXPECT_EQ(Bytes(m.clGetBin()), "fallback");
    EXPECT_EQ(old.nBinCalls(), 0);
    EXPECT_GT(old.nVersionCalls(), 0);
  }
  EXPECT_EQ(old.nRefCount(), 1);
  EXPECT_EQ(source.nRefCount(), 1);
}

TEST_F(MemoImage, FailingObjectsLeaveNoBytes) {
  CStandInImage image(Alloc(), "pixels");
  image.SetFail(true);
  CStandInByteSource source(Alloc(), "bytes");
  source.SetFail(true);
  CVXMemoImage m;
  m.SetVXImage(&image);
  m.SetSourceBinaire(&source);
  EXPECT_EQ(m.bConvertToBIN(nullptr), 0);
  EXPECT_EQ(image.nBinCalls(), 1);
  EXPECT_EQ(source.nBinCalls(), 1);
  EXPECT_EQ(m.piGetVXImage(), &image);  // kept: the way failed
  EXPECT_EQ(m.piGetSourceBinaire(), &source);
  CVXMemoImage empty;
  EXPECT_EQ(empty.bConvertToBIN(nullptr), 0);
}

TEST_F(MemoImage, GetBinDataFillsInOrderWithoutChangingTheFlags) {
  CStandInImage image(Alloc(), "pixels");
  CStandInByteSource source(Alloc(), "bytes");
  CVXMemoImage m;
  m.SetVXImage(&image);
  m.SetSourceBinaire(&source);
  const int nFlags = m.nGetFlags();
  EXPECT_EQ(Bytes(*m.pclGetBinDataEx()), "pixels");
  EXPECT_EQ(source.nBinCalls(), 0);
  EXPECT_EQ(m.nGetFlags(), nFlags);
  EXPECT_EQ(m.piGetVXImage(), &image);  // nothing released here
  // Filling again gives back the bytes it held first.
  EXPECT_EQ(Bytes(*m.pclGetBinDataEx()), "pixels");
  EXPECT_EQ(image.nBinCalls(), 2);
}

TEST_F(MemoImage, CopiesShareBytesAndTakeTheirOwnReferences) {
  CStandInImage image(Alloc(), "pixels");
  CStandInByteSource source(Alloc(), "bytes");
  CVXMemoImage a;
  a.SetNomImage(L"name");
  a.SetNumEnr(7);
  a.SetBinData(Bin("shared bytes"));
  a.SetVXImage(&image);
  a.SetSourceBinaire(&source);
  a.SetLoadType(CVXMemoImage::eLT_MARQUE);
  {
    CVXMemoImage b;
    b.CopieFrom(a);
    EXPECT_EQ(b.clGetBin().pbyGet(), a.clGetBin().pbyGet());
    EXPECT_STREQ(b.pszGetNomImage(), L"name");
    EXPECT_NE(b.pszGetNomImage(), a.pszGetNomImage());
    EXPECT_EQ(b.llGetNumEnr(), 7);
    EXPECT_EQ(b.nGetFlags(), a.nGetFlags());
    EXPECT_EQ(image.nRefCount(), 3);
    EXPECT_EQ(source.nRefCount(), 3);
  }
  EXPECT_EQ(image.nRefCount(), 2);
  a.CopieFrom(a);  // into itself: everything stays
  EXPECT_STREQ(a.pszGetNomImage(), L"name");
  EXPECT_EQ(Bytes(a.clGetBin()), "shared bytes");
  EXPECT_EQ(image.nRefCount(), 2);
  a.SetVXImage(&image);  // the object already held
  EXPECT_EQ(image.nRefCount(), 2);
  EXPECT_EQ(a.piGetVXImage(), &image);
  a.SetVXImage(nullptr);
  EXPECT_EQ(image.nRefCount(), 1);
  EXPECT_EQ(a.nGetFlags() & CVXMemoImage::kFlagImageObject, 0);
}

TEST_F(MemoImage, BinaryValueIsMadeFromAConvertedCopy) {
  CStandInImage image(Alloc(), "value bytes");
  CVXMemoImage m;
  m.SetVXImage(&image);
  CAny* pValue = CVXMemoImage::s_pclBinFromMemoImage(&m, nullptr);
  ASSERT_NE(pValue, nullptr);
  EXPECT_EQ(pValue->wGetType(), VX_BIN);
  unsigned int n = 0;
  void* p = nullptr;
  pValue->pclGetIntern()->nGetDataSize(&n);
  pValue->pclGetIntern()->nGetDataAdr(&p);
  EXPECT_EQ(std::string(static_cast<const char*>(p), n), "value bytes");
  // The original keeps its image object; the copy was released.
  EXPECT_EQ(m.piGetVXImage(), &image);
  EXPECT_EQ(image.nRefCount(), 2);
  delete pValue;

  CVXMemoImage nothing;
  EXPECT_EQ(CVXMemoImage::s_pclBinFromMemoImage(&nothing, nullptr), nullptr);
}

TEST_F(MemoImage, SourceImageComesFromItsCallback) {
  CVXMemoImage m;
  EXPECT_EQ(m.piGetSourceImage(), nullptr);
  CStandInImage image(Alloc(), "x");
  g_piSourceImage = &image;
  m.SetCallbackGetSourceImage(reinterpret_cast<void*>(&SourceImageCallback));
  EXPECT_EQ(m.piGetSourceImage(), &image);
}

TEST_F(MemoImage, LastReleaseDestroysTheMemoAndGivesBackItsObjects) {
  CStandInImage image(Alloc(), "x");
  auto* p = new CVXMemoImage;
  p->dwAddRef();
  p->SetVXImage(&image);
  p->SetBinData(Bin("bytes"));
  EXPECT_EQ(p->dwRelease(), 0u);
  EXPECT_EQ(image.nRefCount(), 1);
}

}  // namespace
