// CVXMemoImage: the language's image memo, the object that a value of type 30
// (VX_MEMOIMG) refers to. An image may be known by a file name, by the record
// that holds it (table, item, record number), by an image object of the
// server, by a source of bytes, or by its bytes; the memo's service is to
// turn whatever it knows into the bytes (bConvertToBIN, pclGetBinDataEx) and
// to make a binary language value of them (s_pclBinFromMemoImage).
//
// The image objects, byte sources, loaders and callbacks are the server's
// (include/kq230/image_objects.h): the memo only calls them. An image
// object's byte operation exists from its version 8 on, so it is called only
// after the version check, wherever it is called.
//
// Ownership: reference-counted (CKQUnknown, born with count 0). The memo owns
// its texts, holds one reference on its image object and on its byte source,
// and shares its bytes (a counted CVXBIN buffer). Setting an object takes the
// new reference before the old one goes, so setting the object already held,
// or copying a memo into itself, keeps everything alive.
// Threads: one thread at a time per memo; the references on the server's
// objects are the server's to make safe.
#ifndef KQ230_VALUES_MEMO_IMAGE_H_
#define KQ230_VALUES_MEMO_IMAGE_H_

#include <cstdint>

#include "core/binary_buffer.h"
#include "core/kq_unknown.h"
#include "kq230/image_objects.h"

class CAny;

class CVXMemoImage : public CKQUnknown {
 public:
  typedef ISourceBinaireVX ISourceBinaire;
  // Fills the memo's bytes (SetBinData).
  typedef void (*PFNSAUVEVXBIN)(CVXMemoImage* pImage);
  // The source image of the memo.
  typedef IImageVX* (*PFNGETSOURCEIMAGE)(CVXMemoImage* pImage);

  // Flags word.
  static constexpr int kFlagBytes = 0x1;          // bit 0: the bytes are present
  static constexpr int kFlagImageObject = 0x10;   // bit 4: an image object is held
  static constexpr int kFlagLoadMark6 = 0x40;     // bit 6: load-type mark
  static constexpr int kFlagByteSource = 0x80;    // bit 7: a byte source is held
  static constexpr int kFlagLoadMark15 = 0x8000;  // bit 15: load-type mark

  // The load types; their meaning beyond the flags SetLoadType sets is the
  // server's.
  enum eLOADTYPE : int {
    eLT_DEFAUT = 0,        // clears bit 15
    eLT_MARQUE = 1,        // sets bit 15
    eLT_SANS_MARQUE = 2,   // clears bit 15
    eLT_IMAGE = 3,         // sets bit 4, clears bit 15
    eLT_CHARGEE = 4,       // sets bit 6
    eLT_SOURCE = 5,        // sets bit 7, clears bit 15
  };

  // All pointers null, record number -1, flags 0, no bytes, count 0.
  CVXMemoImage();
  ~CVXMemoImage() override;
  CVXMemoImage(const CVXMemoImage&) = delete;
  CVXMemoImage& operator=(const CVXMemoImage&) = delete;

  // ---- Virtual setters, in the server's slot order after dwRelease.
  // Texts: the previous copy is freed, a copy of the new one kept (null: none).
  virtual void SetNomImage(const wchar_t* pszName);
  virtual void SetNomTable(const wchar_t* pszName);
  virtual void SetNomRubrique(const wchar_t* pszName);
  virtual void SetChamp(void* pChamp);
  virtual void SetCallback(void* pCallback);
  virtual void SetContexteZB(void* pContexte);
  virtual void SetNumEnr(long long llNumEnr);
  virtual void SetNomTableNumEnr(const wchar_t* pszName);
  virtual void SetNomRubriqueNumEnr(const wchar_t* pszName);
  // Shares the bytes and sets bit 0.
  virtual void SetBinData(const CVXBIN& clBin);
  virtual void SetCallbackSauveVXBin(void* pfn);
  virtual void SetCallbackGetSourceImage(void* pfn);

  // Holds the image object (one reference) instead of the current one; bit 4
  // set, cleared for null.
  void SetVXImage(IImageVX* piImage);
  // The same for the byte source with bit 7.
  void SetSourceBinaire(ISourceBinaire* piSource);
  void SetLoadType(eLOADTYPE eType);

  // The bytes; when bit 0 is clear they are first filled, by the save
  // callback, else by the image object (version above 7), else by the byte
  // source. The flags do not change.
  CVXBIN* pclGetBinDataEx();
  // The source-image callback's answer, or null without callback.
  IImageVX* piGetSourceImage();
  // Every setter with the other memo's values (texts copied, bytes shared,
  // objects referenced), then its flags word. Copying a memo into itself does
  // nothing.
  void CopieFrom(const CVXMemoImage& other);
  // 1 when the bytes are present, or when the first way that works made them:
  // the loader for a non-empty image name, else the file of that name; the
  // save callback; the image object (version above 7); the byte source.
  // Otherwise 0. A way that fails falls through to the next; the loader's
  // error object is local and discarded.
  int bConvertToBIN(IImageLoader* piLoader);
  // A new CAny of type 28 holding the converted bytes of a copy of pImage,
  // its NULL and 0x400 flags cleared; null when the conversion fails. The
  // caller owns the value (delete). The temporary copy is released.
  static CAny* s_pclBinFromMemoImage(CVXMemoImage* pImage, IImageLoader* piLoader);

  // ---- Reading
  const wchar_t* pszGetNomImage() const { return m_pszNomImage; }
  const wchar_t* pszGetNomTable() const { return m_pszNomTable; }
  const wchar_t* pszGetNomRubrique() const { return m_pszNomRubrique; }
  const wchar_t* pszGetNomTableNumEnr() const { return m_pszNomTableNumEnr; }
  const wchar_t* pszGetNomRubriqueNumEnr() const { return m_pszNomRubriqueNumEnr; }
  void* pGetChamp() const { return m_pChamp; }
  void* pGetCallback() const { return m_pCallback; }
  void* pGetContexteZB() const { return m_pContexteZB; }
  long long llGetNumEnr() const { return m_llNumEnr; }
  int nGetFlags() const { return m_nFlags; }
  const CVXBIN& clGetBin() const { return m_clBin; }
  IImageVX* piGetVXImage() const { return m_piImage; }
  ISourceBinaire* piGetSourceBinaire() const { return m_piSource; }

 private:
  // The image object's bytes into *pclBin when its version has the operation.
  bool _bImageBytes(CVXBIN* pclBin);

  wchar_t* m_pszNomImage = nullptr;
  wchar_t* m_pszNomTable = nullptr;
  wchar_t* m_pszNomRubrique = nullptr;
  void* m_pChamp = nullptr;
  void* m_pCallback = nullptr;
  void* m_pContexteZB = nullptr;
  long long m_llNumEnr = -1;
  wchar_t* m_pszNomTableNumEnr = nullptr;
  wchar_t* m_pszNomRubriqueNumEnr = nullptr;
  int m_nFlags = 0;
  CVXBIN m_clBin;
  PFNSAUVEVXBIN m_pfnSauveVXBin = nullptr;
  PFNGETSOURCEIMAGE m_pfnGetSourceImage = nullptr;
  IImageVX* m_piImage = nullptr;
  ISourceBinaire* m_piSource = nullptr;
};

#endif  // KQ230_VALUES_MEMO_IMAGE_H_
